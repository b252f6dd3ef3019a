// Platform kernel handles: the handle, mutex, semaphore, wait, sleep and thread-priority calls that
// CiOS hands to its clients. On Windows they are the system's own calls on the system's own
// objects, so a client can mix these handles with its own Win32 code; elsewhere a process-wide
// table of the library's kernel objects gives out handles that behave the same way.
#pragma once

#include <cstdint>

#include <tamra/PlatformTypes.h>

namespace tamra::platform::kernel {

// Results as the Win32 calls of the same names give them: 1 or 0, null for a failed create, and
// WAIT_OBJECT_0 (0), WAIT_TIMEOUT (0x102) or WAIT_FAILED (0xFFFFFFFF) for a wait.
int closeHandle(void* handle);
void* createMutex(SECURITY_ATTRIBUTES* attributes, int initiallyOwned, const wchar_t* name);
void* createSemaphore(SECURITY_ATTRIBUTES* attributes, std::int32_t initialCount,
                      std::int32_t maximumCount, const wchar_t* name);
// The pseudo-handle that names the calling thread.
void* currentThread();
int releaseMutex(void* handle);
int releaseSemaphore(void* handle, std::int32_t releaseCount, std::int32_t* previousCount);
void setThreadPriority(void* thread, int priority);
void sleep(std::uint32_t milliseconds);
std::uint32_t waitForSingleObject(void* handle, std::uint32_t milliseconds);

}  // namespace tamra::platform::kernel
