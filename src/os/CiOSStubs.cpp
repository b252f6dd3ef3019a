// Placeholder definitions so the library links while this subsystem is being built;
// replaced by the real implementation.
#include <tamra/Tamra.h>

// NOLINTBEGIN
int CiOS::CloseHandle(void*) {
    return 0;
}
void* CiOS::CreateMutexW(SECURITY_ATTRIBUTES*, int, const wchar_t*) {
    return nullptr;
}
void* CiOS::CreateSemaphoreW(SECURITY_ATTRIBUTES*, std::int32_t, std::int32_t, const wchar_t*) {
    return nullptr;
}
void* CiOS::GetCurrentThread() {
    return nullptr;
}
int CiOS::ReleaseMutex(void*) {
    return 0;
}
int CiOS::ReleaseSemaphore(void*, std::int32_t, std::int32_t*) {
    return 0;
}
void CiOS::SetThreadPriority(void*, int) {}
void CiOS::Sleep(std::uint32_t) {}
std::uint32_t CiOS::WaitForSingleObject(void*, std::uint32_t) {
    return 0;
}
