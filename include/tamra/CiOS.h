// Tamra grab library: CiOS, operating-system services with only static members.
#pragma once

#include <cstdint>
#include <cstdio>

#include <tamra/Export.h>
#include <tamra/PlatformTypes.h>

// Application-data paths under an OEM-brandable folder, file opening with fallbacks, a directory
// test and thin pass-throughs to the kernel objects of the platform.
//
// Paths: every path buffer holds 260 characters including the terminator. A composition that
// would not fit is cut at 259 characters and terminated, so nothing is ever written past a
// buffer; the path calls report no errors, so cutting keeps their "always returns the buffer"
// contract. The open calls never open a cut path (it could name another file): a name or
// composed path longer than 259 characters counts as a failed attempt and the next fall-back
// is tried. Absolute means: starts with the separator ('/' here), or has ':' as its second
// character.
//
// Threads: the OEM name cache is guarded by a mutex, so concurrent first use is safe and the
// first reader's values win; a single thread sees exactly the unguarded behaviour.
//
// Handles: under Windows the handle calls are the system's own, with its objects, results and
// last-error codes, so CiOS handles mix freely with a client's Win32 code. Elsewhere handles are
// looked up in a table of live objects: closed, unknown or mismatched handles fail (0 or
// WAIT_FAILED) and are never dereferenced; a wait in progress keeps its object alive when
// another thread closes the handle; names given to CreateMutexW / CreateSemaphoreW are shared
// within the process only, and attributes are accepted and ignored. There GetCurrentThread
// returns a pseudo-handle that names the calling thread for SetThreadPriority (15,
// time-critical, asks for real-time scheduling; every other level runs at normal priority); it
// cannot be waited on.
class TAMRA_API CiOS {
public:
    CiOS& operator=(const CiOS&) { return *this; }

    // Composes <per-user data folder><OEM name><sub-folder>/<file name>, or the same under the
    // all-users folder when that directory does not exist; an absolute file name is copied
    // unchanged and a leading "./" is dropped. The narrow form appends the sub-folder itself;
    // the wide form appends the cached OEM folder name instead. Both fill the OEM cache from
    // ./oem.ini on first use. Return the buffer (null only for a null buffer). Any thread.
    static char* AppDataPath(char* buffer, const char* subFolder, const char* fileName);
    static wchar_t* AppDataPath(wchar_t* buffer, const wchar_t* subFolder, const wchar_t* fileName);
    // As AppDataPath, but reads ./oem.ini on every call and neither reads nor fills the cache.
    static char* AppDataPathOnce(char* buffer, const char* subFolder, const char* fileName);
    static wchar_t* AppDataPathOnce(wchar_t* buffer, const wchar_t* subFolder,
                                    const wchar_t* fileName);
    // Opens the wide AppDataPath of the file; failing that, the file as fopenBin does, leaving
    // the bare file name in path. path may be null. The caller closes the stream; null when
    // every attempt failed.
    static FILE* AppDataFopen(wchar_t* path, const wchar_t* subFolder, const wchar_t* fileName,
                              const wchar_t* mode);
    // Opens the name as given, else (for a relative name) beside the host executable, without
    // a leading "./". The caller closes the stream; null when both attempts failed.
    static FILE* fopenBin(const wchar_t* fileName, const wchar_t* mode);
    static FILE* szFopenBin(const char* fileName, const wchar_t* mode);
    // 1 when the path names an existing directory, else 0 (files, missing paths, null).
    static int DirectoryExists(const char* path);
    static int DirectoryExists(const wchar_t* path);
    // Re-read "OEMName" (default "/Quillon/") or "OEMFolderName" (default dflt, or empty) from
    // section "Config" of ./oem.ini into the cache at once.
    static void GetOEMName();
    static void GetOEMFolderName(const wchar_t* dflt);
    // Empties the cache, so that the next AppDataPath reads ./oem.ini again.
    static void ResetOEMName();

    // Kernel objects as handles. Create calls return null on failure; the others return 1 or 0,
    // and WaitForSingleObject WAIT_OBJECT_0 (0), WAIT_TIMEOUT (0x102) or WAIT_FAILED
    // (0xFFFFFFFF), with 0xFFFFFFFF milliseconds waiting without a limit. Waits block the calling
    // thread; every call is safe from any thread.
    static int CloseHandle(void* handle);
    static void* CreateMutexW(SECURITY_ATTRIBUTES* attributes, int initiallyOwned,
                              const wchar_t* name);
    static void* CreateSemaphoreW(SECURITY_ATTRIBUTES* attributes, std::int32_t initialCount,
                                  std::int32_t maximumCount, const wchar_t* name);
    static void* GetCurrentThread();
    // Fails when the calling thread does not own the mutex.
    static int ReleaseMutex(void* handle);
    // Fails, changing nothing, when the count would pass the maximum or is not positive.
    static int ReleaseSemaphore(void* handle, std::int32_t releaseCount,
                                std::int32_t* previousCount);
    static void SetThreadPriority(void* thread, int priority);
    static void Sleep(std::uint32_t milliseconds);
    static std::uint32_t WaitForSingleObject(void* handle, std::uint32_t milliseconds);
};
