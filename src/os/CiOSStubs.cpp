// Placeholder definitions so the library links while this subsystem is being built;
// replaced by the real implementation.
#include <tamra/Tamra.h>

// NOLINTBEGIN
char* CiOS::AppDataPath(char*, const char*, const char*) { return nullptr; }
wchar_t* CiOS::AppDataPath(wchar_t*, const wchar_t*, const wchar_t*) { return nullptr; }
char* CiOS::AppDataPathOnce(char*, const char*, const char*) { return nullptr; }
wchar_t* CiOS::AppDataPathOnce(wchar_t*, const wchar_t*, const wchar_t*) { return nullptr; }
FILE* CiOS::AppDataFopen(wchar_t*, const wchar_t*, const wchar_t*, const wchar_t*) { return nullptr; }
FILE* CiOS::fopenBin(const wchar_t*, const wchar_t*) { return nullptr; }
FILE* CiOS::szFopenBin(const char*, const wchar_t*) { return nullptr; }
int CiOS::DirectoryExists(const char*) { return 0; }
int CiOS::DirectoryExists(const wchar_t*) { return 0; }
void CiOS::GetOEMName() {}
void CiOS::GetOEMFolderName(const wchar_t*) {}
void CiOS::ResetOEMName() {}
int CiOS::CloseHandle(void*) { return 0; }
void* CiOS::CreateMutexW(SECURITY_ATTRIBUTES*, int, const wchar_t*) { return nullptr; }
void* CiOS::CreateSemaphoreW(SECURITY_ATTRIBUTES*, std::int32_t, std::int32_t, const wchar_t*) { return nullptr; }
void* CiOS::GetCurrentThread() { return nullptr; }
int CiOS::ReleaseMutex(void*) { return 0; }
int CiOS::ReleaseSemaphore(void*, std::int32_t, std::int32_t*) { return 0; }
void CiOS::SetThreadPriority(void*, int) {}
void CiOS::Sleep(std::uint32_t) {}
std::uint32_t CiOS::WaitForSingleObject(void*, std::uint32_t) { return 0; }
