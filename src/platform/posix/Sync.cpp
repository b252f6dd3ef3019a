// Tamra grab library: semaphore, auto-reset event and re-entrant mutex on the standard library.
// Every timed wait runs against a steady-clock deadline, so spurious wake-ups and changes of the
// wall clock neither shorten nor stretch it.
#include "platform/Sync.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace tamra::platform {
namespace {

using Lock = std::unique_lock<std::mutex>;

// Waits until ready() holds or the time runs out; true when ready() holds on return.
template <typename Ready>
bool waitFor(std::condition_variable& changed, Lock& lock, std::uint32_t milliseconds,
             Ready ready) {
    if (milliseconds == kInfinite) {
        changed.wait(lock, ready);
        return true;
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    return changed.wait_until(lock, deadline, ready);
}

}  // namespace

// ---- Semaphore

struct Semaphore::Native {
    std::mutex mutex;
    std::condition_variable released;
    std::int32_t count;
    std::int32_t maximum;
};

Semaphore::Semaphore(std::int32_t initial, std::int32_t maximum)
    : native_(nullptr), valid_(maximum >= 1 && initial >= 0 && initial <= maximum) {
    if (valid_) native_ = new Native{{}, {}, initial, maximum};
}

Semaphore::~Semaphore() {
    delete native_;
}

bool Semaphore::release(std::int32_t count, std::int32_t* previous) {
    if (native_ == nullptr || count < 1) return false;
    std::lock_guard<std::mutex> guard(native_->mutex);
    // Compared as a difference so that a huge count cannot overflow.
    if (count > native_->maximum - native_->count) return false;
    if (previous != nullptr) *previous = native_->count;
    native_->count += count;
    // Notified under the lock: a woken waiter may destroy the semaphore as soon as it returns.
    if (count == 1) {
        native_->released.notify_one();
    } else {
        native_->released.notify_all();
    }
    return true;
}

WaitResult Semaphore::wait(std::uint32_t milliseconds) {
    if (native_ == nullptr) return WaitResult::Failed;
    Lock lock(native_->mutex);
    if (!waitFor(native_->released, lock, milliseconds, [this] { return native_->count > 0; })) {
        return WaitResult::Timeout;
    }
    --native_->count;
    return WaitResult::Signaled;
}

// ---- AutoResetEvent

struct AutoResetEvent::Native {
    std::mutex mutex;
    std::condition_variable signal;
    bool signaled;
};

AutoResetEvent::AutoResetEvent(bool signaled) : native_(new Native{{}, {}, signaled}) {}

AutoResetEvent::~AutoResetEvent() {
    delete native_;
}

void AutoResetEvent::set() {
    std::lock_guard<std::mutex> guard(native_->mutex);
    native_->signaled = true;
    native_->signal.notify_one();
}

void AutoResetEvent::reset() {
    std::lock_guard<std::mutex> guard(native_->mutex);
    native_->signaled = false;
}

WaitResult AutoResetEvent::wait(std::uint32_t milliseconds) {
    Lock lock(native_->mutex);
    if (!waitFor(native_->signal, lock, milliseconds, [this] { return native_->signaled; })) {
        return WaitResult::Timeout;
    }
    native_->signaled = false;
    return WaitResult::Signaled;
}

// ---- RecursiveMutex

struct RecursiveMutex::Native {
    std::mutex mutex;
    std::condition_variable freed;
    std::thread::id owner;  // default-constructed: nobody
    std::uint32_t depth = 0;
};

RecursiveMutex::RecursiveMutex(bool initiallyOwned) : native_(new Native) {
    if (initiallyOwned) {
        native_->owner = std::this_thread::get_id();
        native_->depth = 1;
    }
}

RecursiveMutex::~RecursiveMutex() {
    delete native_;
}

WaitResult RecursiveMutex::wait(std::uint32_t milliseconds) {
    const std::thread::id self = std::this_thread::get_id();
    Lock lock(native_->mutex);
    if (native_->depth > 0 && native_->owner == self) {
        ++native_->depth;
        return WaitResult::Signaled;
    }
    if (!waitFor(native_->freed, lock, milliseconds, [this] { return native_->depth == 0; })) {
        return WaitResult::Timeout;
    }
    native_->owner = self;
    native_->depth = 1;
    return WaitResult::Signaled;
}

bool RecursiveMutex::release() {
    std::lock_guard<std::mutex> guard(native_->mutex);
    if (native_->depth == 0 || native_->owner != std::this_thread::get_id()) return false;
    if (--native_->depth > 0) return true;
    native_->owner = std::thread::id();
    native_->freed.notify_one();
    return true;
}

}  // namespace tamra::platform
