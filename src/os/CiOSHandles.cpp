// Tamra grab library: CiOS pass-throughs to the platform's kernel handles.
#include <tamra/CiOS.h>

#include "platform/KernelHandles.h"

namespace kernel = tamra::platform::kernel;

int CiOS::CloseHandle(void* handle) {
    return kernel::closeHandle(handle);
}

void* CiOS::CreateMutexW(SECURITY_ATTRIBUTES* attributes, int initiallyOwned, const wchar_t* name) {
    return kernel::createMutex(attributes, initiallyOwned, name);
}

void* CiOS::CreateSemaphoreW(SECURITY_ATTRIBUTES* attributes, std::int32_t initialCount,
                             std::int32_t maximumCount, const wchar_t* name) {
    return kernel::createSemaphore(attributes, initialCount, maximumCount, name);
}

void* CiOS::GetCurrentThread() {
    return kernel::currentThread();
}

int CiOS::ReleaseMutex(void* handle) {
    return kernel::releaseMutex(handle);
}

int CiOS::ReleaseSemaphore(void* handle, std::int32_t releaseCount, std::int32_t* previousCount) {
    return kernel::releaseSemaphore(handle, releaseCount, previousCount);
}

void CiOS::SetThreadPriority(void* thread, int priority) {
    kernel::setThreadPriority(thread, priority);
}

void CiOS::Sleep(std::uint32_t milliseconds) {
    kernel::sleep(milliseconds);
}

std::uint32_t CiOS::WaitForSingleObject(void* handle, std::uint32_t milliseconds) {
    return kernel::waitForSingleObject(handle, milliseconds);
}
