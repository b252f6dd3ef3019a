// Tamra grab library: kernel handles are the system's own. Every call is the Win32 call with the
// same arguments, so results, error codes (GetLastError) and the objects themselves are exactly
// what the client's own Win32 code would see.
#include "platform/KernelHandles.h"

#include <windows.h>

namespace tamra::platform::kernel {

// The interface spells LONG as a 32-bit integer; here LONG is a 32-bit long, a different type
// with the same representation, so the counts pass through unchanged.
static_assert(sizeof(LONG) == sizeof(std::int32_t), "LONG is 32 bits");

int closeHandle(void* handle) {
    return ::CloseHandle(handle);
}

void* createMutex(SECURITY_ATTRIBUTES* attributes, int initiallyOwned, const wchar_t* name) {
    return ::CreateMutexW(attributes, initiallyOwned, name);
}

void* createSemaphore(SECURITY_ATTRIBUTES* attributes, std::int32_t initialCount,
                      std::int32_t maximumCount, const wchar_t* name) {
    return ::CreateSemaphoreW(attributes, initialCount, maximumCount, name);
}

void* currentThread() {
    return ::GetCurrentThread();
}

int releaseMutex(void* handle) {
    return ::ReleaseMutex(handle);
}

// The system writes the previous count only when it releases, as it does for its own callers.
int releaseSemaphore(void* handle, std::int32_t releaseCount, std::int32_t* previousCount) {
    return ::ReleaseSemaphore(handle, releaseCount, reinterpret_cast<LONG*>(previousCount));
}

// The result is dropped; a refusal still shows in GetLastError.
void setThreadPriority(void* thread, int priority) {
    (void)::SetThreadPriority(thread, priority);
}

void sleep(std::uint32_t milliseconds) {
    ::Sleep(milliseconds);
}

std::uint32_t waitForSingleObject(void* handle, std::uint32_t milliseconds) {
    return ::WaitForSingleObject(handle, milliseconds);
}

}  // namespace tamra::platform::kernel
