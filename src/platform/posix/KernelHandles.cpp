// Tamra grab library: kernel handles on POSIX, the library's own objects (platform/Sync.h) in a
// process-wide handle table. Results follow the Win32 calls of the same names; names are shared
// within the process only, and only the calling thread's priority can be changed.
#include "platform/KernelHandles.h"

#include <chrono>
#include <thread>

#include "platform/Sync.h"
#include "platform/Thread.h"
#include "platform/posix/HandleTable.h"

namespace tamra::platform::kernel {
namespace {

constexpr std::uint32_t kWaitObject0 = 0;
constexpr std::uint32_t kWaitTimeout = 0x102;
constexpr std::uint32_t kWaitFailed = 0xFFFFFFFF;
constexpr int kThreadPriorityTimeCritical = 15;

// The value Windows uses for "the calling thread"; no table handle ever takes it.
void* const kCurrentThread = reinterpret_cast<void*>(static_cast<std::intptr_t>(-2));

template <typename Object>
std::shared_ptr<Object> findAs(void* handle) {
    return std::dynamic_pointer_cast<Object>(HandleTable::instance().find(handle));
}

}  // namespace

int closeHandle(void* handle) {
    if (handle == kCurrentThread) return 1;
    return HandleTable::instance().close(handle) ? 1 : 0;
}

void* createMutex(SECURITY_ATTRIBUTES*, int initiallyOwned, const wchar_t* name) {
    return HandleTable::instance().open<RecursiveMutex>(
        name, [initiallyOwned] { return std::make_shared<RecursiveMutex>(initiallyOwned != 0); });
}

void* createSemaphore(SECURITY_ATTRIBUTES*, std::int32_t initialCount, std::int32_t maximumCount,
                      const wchar_t* name) {
    return HandleTable::instance().open<Semaphore>(
        name, [initialCount, maximumCount]() -> std::shared_ptr<Semaphore> {
            auto semaphore = std::make_shared<Semaphore>(initialCount, maximumCount);
            return semaphore->valid() ? semaphore : nullptr;
        });
}

void* currentThread() {
    return kCurrentThread;
}

int releaseMutex(void* handle) {
    const auto mutex = findAs<RecursiveMutex>(handle);
    return mutex && mutex->release() ? 1 : 0;
}

int releaseSemaphore(void* handle, std::int32_t releaseCount, std::int32_t* previousCount) {
    const auto semaphore = findAs<Semaphore>(handle);
    if (!semaphore || releaseCount <= 0) return 0;
    return semaphore->release(releaseCount, previousCount) ? 1 : 0;
}

// Only the calling thread's priority can be changed; the levels between normal and
// time-critical have no counterpart and run at normal priority.
void setThreadPriority(void* thread, int priority) {
    if (thread != kCurrentThread) return;
    setCurrentThreadPriority(priority == kThreadPriorityTimeCritical ? ThreadPriority::TimeCritical
                                                                     : ThreadPriority::Normal);
}

void sleep(std::uint32_t milliseconds) {
    if (milliseconds == 0) {
        std::this_thread::yield();
        return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

std::uint32_t waitForSingleObject(void* handle, std::uint32_t milliseconds) {
    const auto object = HandleTable::instance().find(handle);
    if (!object) return kWaitFailed;
    switch (object->wait(milliseconds)) {
        case WaitResult::Signaled:
            return kWaitObject0;
        case WaitResult::Timeout:
            return kWaitTimeout;
        case WaitResult::Failed:
            break;
    }
    return kWaitFailed;
}

}  // namespace tamra::platform::kernel
