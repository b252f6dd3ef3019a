// Tamra grab library: CiOS, operating-system services with only static members.
#pragma once

#include <cstdint>
#include <cstdio>

#include <tamra/Export.h>
#include <tamra/PlatformTypes.h>

// Application-data paths under an OEM-brandable folder, file opening with fallbacks, a directory
// test and thin pass-throughs to the kernel objects of the platform.
//
// Paths: buffers hold 260 characters including the terminator. A composition that would not fit
// is truncated at 259 characters and terminated, so nothing is ever written past a buffer.
// The OEM cache is guarded so that concurrent first use from several threads is safe.
class TAMRA_API CiOS {
public:
    CiOS& operator=(const CiOS&) { return *this; }

    static char* AppDataPath(char* buffer, const char* subFolder, const char* fileName);
    static wchar_t* AppDataPath(wchar_t* buffer, const wchar_t* subFolder, const wchar_t* fileName);
    static char* AppDataPathOnce(char* buffer, const char* subFolder, const char* fileName);
    static wchar_t* AppDataPathOnce(wchar_t* buffer, const wchar_t* subFolder, const wchar_t* fileName);
    static FILE* AppDataFopen(wchar_t* path, const wchar_t* subFolder, const wchar_t* fileName, const wchar_t* mode);
    static FILE* fopenBin(const wchar_t* fileName, const wchar_t* mode);
    static FILE* szFopenBin(const char* fileName, const wchar_t* mode);
    static int DirectoryExists(const char* path);
    static int DirectoryExists(const wchar_t* path);
    static void GetOEMName();
    static void GetOEMFolderName(const wchar_t* dflt);
    static void ResetOEMName();

    static int CloseHandle(void* handle);
    static void* CreateMutexW(SECURITY_ATTRIBUTES* attributes, int initiallyOwned, const wchar_t* name);
    static void* CreateSemaphoreW(SECURITY_ATTRIBUTES* attributes, std::int32_t initialCount, std::int32_t maximumCount, const wchar_t* name);
    static void* GetCurrentThread();
    static int ReleaseMutex(void* handle);
    static int ReleaseSemaphore(void* handle, std::int32_t releaseCount, std::int32_t* previousCount);
    static void SetThreadPriority(void* thread, int priority);
    static void Sleep(std::uint32_t milliseconds);
    static std::uint32_t WaitForSingleObject(void* handle, std::uint32_t milliseconds);
};
