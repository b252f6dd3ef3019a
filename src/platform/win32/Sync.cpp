// Tamra grab library: semaphore, auto-reset event and re-entrant mutex as Win32 kernel objects.
#include "platform/Sync.h"

#include <windows.h>

namespace tamra::platform {
namespace {

// An abandoned mutex is owned by the waiter all the same, as the platform itself treats it.
WaitResult waitOn(HANDLE handle, std::uint32_t milliseconds) {
    if (handle == nullptr) return WaitResult::Failed;
    switch (WaitForSingleObject(handle, milliseconds)) {
        case WAIT_OBJECT_0:
        case WAIT_ABANDONED:
            return WaitResult::Signaled;
        case WAIT_TIMEOUT:
            return WaitResult::Timeout;
        default:
            return WaitResult::Failed;
    }
}

void closeIfOpen(HANDLE handle) {
    if (handle != nullptr) CloseHandle(handle);
}

}  // namespace

// ---- Semaphore

struct Semaphore::Native {
    HANDLE handle;
};

Semaphore::Semaphore(std::int32_t initial, std::int32_t maximum)
    : native_(nullptr), valid_(maximum >= 1 && initial >= 0 && initial <= maximum) {
    if (!valid_) return;
    HANDLE handle = CreateSemaphoreW(nullptr, initial, maximum, nullptr);
    valid_ = handle != nullptr;
    if (valid_) native_ = new Native{handle};
}

Semaphore::~Semaphore() {
    if (native_ != nullptr) closeIfOpen(native_->handle);
    delete native_;
}

// The kernel refuses a release past the maximum and leaves the count as it was.
bool Semaphore::release(std::int32_t count, std::int32_t* previous) {
    if (native_ == nullptr || count < 1) return false;
    LONG before = 0;
    if (!ReleaseSemaphore(native_->handle, count, &before)) return false;
    if (previous != nullptr) *previous = static_cast<std::int32_t>(before);
    return true;
}

WaitResult Semaphore::wait(std::uint32_t milliseconds) {
    return native_ == nullptr ? WaitResult::Failed : waitOn(native_->handle, milliseconds);
}

// ---- AutoResetEvent

struct AutoResetEvent::Native {
    HANDLE handle;
};

AutoResetEvent::AutoResetEvent(bool signaled)
    : native_(new Native{CreateEventW(nullptr, FALSE, signaled ? TRUE : FALSE, nullptr)}) {}

AutoResetEvent::~AutoResetEvent() {
    closeIfOpen(native_->handle);
    delete native_;
}

void AutoResetEvent::set() {
    if (native_->handle != nullptr) SetEvent(native_->handle);
}

void AutoResetEvent::reset() {
    if (native_->handle != nullptr) ResetEvent(native_->handle);
}

WaitResult AutoResetEvent::wait(std::uint32_t milliseconds) {
    return waitOn(native_->handle, milliseconds);
}

// ---- RecursiveMutex

struct RecursiveMutex::Native {
    HANDLE handle;
};

RecursiveMutex::RecursiveMutex(bool initiallyOwned)
    : native_(new Native{CreateMutexW(nullptr, initiallyOwned ? TRUE : FALSE, nullptr)}) {}

RecursiveMutex::~RecursiveMutex() {
    closeIfOpen(native_->handle);
    delete native_;
}

WaitResult RecursiveMutex::wait(std::uint32_t milliseconds) {
    return waitOn(native_->handle, milliseconds);
}

// The kernel refuses a release by a thread that does not own the mutex.
bool RecursiveMutex::release() {
    return native_->handle != nullptr && ReleaseMutex(native_->handle) != FALSE;
}

}  // namespace tamra::platform
