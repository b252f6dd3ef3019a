// Tamra grab library: threads as Win32 threads.
#include "platform/Thread.h"

#include <windows.h>

#include <atomic>

namespace tamra::platform {
namespace {

// An exception escaping a body ends the process here rather than inside the system.
std::uint32_t runBody(const Thread::Body& body) noexcept {
    return body();
}

}  // namespace

std::uint32_t currentThreadId() {
    return static_cast<std::uint32_t>(GetCurrentThreadId());
}

// Refused only for lack of rights; the thread then simply stays normal.
void setCurrentThreadPriority(ThreadPriority priority) {
    const int level = priority == ThreadPriority::TimeCritical ? THREAD_PRIORITY_TIME_CRITICAL
                                                               : THREAD_PRIORITY_NORMAL;
    (void)SetThreadPriority(GetCurrentThread(), level);
}

// Shared between the owner and the thread. The owner deletes it after the join, except when
// the owner was destroyed on the thread itself: the thread then deletes it when the body ends.
struct Thread::Native {
    HANDLE handle = nullptr;
    Body body;
    ThreadPriority priority = ThreadPriority::Normal;
    std::uint32_t exitCode = 0;
    std::uint32_t threadId = 0;  // set before the thread is resumed
    std::atomic<bool> finished{false};
    bool ownedByThread = false;  // written and read only on the thread itself

    static DWORD WINAPI run(LPVOID argument) {
        Thread::entry(argument);
        return 0;
    }
};

// Runs on the new thread, which starts only after its owner has recorded its id.
void* Thread::entry(void* argument) {
    auto* native = static_cast<Native*>(argument);
    if (native->priority != ThreadPriority::Normal) setCurrentThreadPriority(native->priority);
    native->exitCode = runBody(native->body);
    if (native->ownedByThread) {
        CloseHandle(native->handle);
        delete native;
    } else {
        native->finished.store(true);
    }
    return nullptr;
}

Thread::~Thread() {
    if (!started_) return;
    // Destroyed by its own body, e.g. a callback that stops its own acquisition: nobody can
    // wait for this thread any more, so it releases itself once the body returns.
    if (isCurrent()) {
        native_->ownedByThread = true;
        return;
    }
    join();
}

// The thread is created suspended, so that its id is recorded before its body can look at its
// owner. The stack size is the memory committed at the start, as the plain system call takes
// it; the reservation stays the executable's, so a deep client callback does not overflow.
bool Thread::start(Body body, std::size_t stackSize, ThreadPriority priority) {
    if (started_ && !reapFinished()) return false;
    if (!body) return false;
    native_ = new Native;
    native_->body = std::move(body);
    native_->priority = priority;
    DWORD threadId = 0;
    native_->handle =
        CreateThread(nullptr, stackSize, &Native::run, native_, CREATE_SUSPENDED, &threadId);
    if (native_->handle == nullptr) {
        delete native_;
        native_ = nullptr;
        return false;
    }
    native_->threadId = static_cast<std::uint32_t>(threadId);
    id_ = native_->threadId;
    started_ = true;
    ResumeThread(native_->handle);
    return true;
}

std::uint32_t Thread::join() {
    if (!started_ || isCurrent()) return 0;
    WaitForSingleObject(native_->handle, INFINITE);
    CloseHandle(native_->handle);
    const std::uint32_t exitCode = native_->exitCode;
    delete native_;
    native_ = nullptr;
    started_ = false;
    id_ = 0;
    return exitCode;
}

bool Thread::isCurrent() const {
    return started_ && native_->threadId == currentThreadId();
}

// A thread that joined itself is left for its owner: once its body has ended, the next start
// collects it instead of refusing.
bool Thread::reapFinished() {
    if (isCurrent() || !native_->finished.load()) return false;
    join();
    return true;
}

}  // namespace tamra::platform
