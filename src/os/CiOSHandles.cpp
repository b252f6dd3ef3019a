// Tamra grab library: CiOS pass-throughs to the platform's kernel objects and threads.
#include <tamra/CiOS.h>

#include <chrono>
#include <thread>

#include "os/HandleTable.h"
#include "platform/Sync.h"
#include "platform/Thread.h"

namespace tamra::os {
namespace {

namespace platform = tamra::platform;

constexpr std::uint32_t kWaitObject0 = 0;
constexpr std::uint32_t kWaitTimeout = 0x102;
constexpr std::uint32_t kWaitFailed = 0xFFFFFFFF;
constexpr int kThreadPriorityTimeCritical = 15;

// The value the original platform uses for "the calling thread".
void* const kCurrentThread = reinterpret_cast<void*>(static_cast<std::intptr_t>(-2));

template <typename Object>
std::shared_ptr<Object> findAs(void* handle) {
    return std::dynamic_pointer_cast<Object>(HandleTable::instance().find(handle));
}

}  // namespace
}  // namespace tamra::os

using tamra::os::HandleTable;
namespace platform = tamra::platform;

int CiOS::CloseHandle(void* handle) {
    if (handle == tamra::os::kCurrentThread) return 1;
    return HandleTable::instance().close(handle) ? 1 : 0;
}

void* CiOS::CreateMutexW(SECURITY_ATTRIBUTES*, int initiallyOwned, const wchar_t* name) {
    return HandleTable::instance().open<platform::RecursiveMutex>(name, [initiallyOwned] {
        return std::make_shared<platform::RecursiveMutex>(initiallyOwned != 0);
    });
}

void* CiOS::CreateSemaphoreW(SECURITY_ATTRIBUTES*, std::int32_t initialCount,
                             std::int32_t maximumCount, const wchar_t* name) {
    return HandleTable::instance().open<platform::Semaphore>(
        name, [initialCount, maximumCount]() -> std::shared_ptr<platform::Semaphore> {
            auto semaphore = std::make_shared<platform::Semaphore>(initialCount, maximumCount);
            return semaphore->valid() ? semaphore : nullptr;
        });
}

void* CiOS::GetCurrentThread() {
    return tamra::os::kCurrentThread;
}

int CiOS::ReleaseMutex(void* handle) {
    const auto mutex = tamra::os::findAs<platform::RecursiveMutex>(handle);
    return mutex && mutex->release() ? 1 : 0;
}

int CiOS::ReleaseSemaphore(void* handle, std::int32_t releaseCount, std::int32_t* previousCount) {
    const auto semaphore = tamra::os::findAs<platform::Semaphore>(handle);
    if (!semaphore || releaseCount <= 0) return 0;
    return semaphore->release(releaseCount, previousCount) ? 1 : 0;
}

// Only the calling thread's priority can be changed; the levels between normal and
// time-critical have no counterpart and run at normal priority.
void CiOS::SetThreadPriority(void* thread, int priority) {
    if (thread != tamra::os::kCurrentThread) return;
    platform::setCurrentThreadPriority(priority == tamra::os::kThreadPriorityTimeCritical
                                           ? platform::ThreadPriority::TimeCritical
                                           : platform::ThreadPriority::Normal);
}

void CiOS::Sleep(std::uint32_t milliseconds) {
    if (milliseconds == 0) {
        std::this_thread::yield();
        return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

std::uint32_t CiOS::WaitForSingleObject(void* handle, std::uint32_t milliseconds) {
    const auto object = HandleTable::instance().find(handle);
    if (!object) return tamra::os::kWaitFailed;
    switch (object->wait(milliseconds)) {
        case platform::WaitResult::Signaled:
            return tamra::os::kWaitObject0;
        case platform::WaitResult::Timeout:
            return tamra::os::kWaitTimeout;
        case platform::WaitResult::Failed:
            break;
    }
    return tamra::os::kWaitFailed;
}
