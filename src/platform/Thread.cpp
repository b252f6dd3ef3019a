// Tamra grab library: threads with one owner, the part that is the same on every system. The
// system creates, joins and lets go of the thread (platform/SystemThread.h); the start handshake
// that makes the id visible before the body runs, and the joins, are here.
#include "platform/Thread.h"

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "platform/SystemThread.h"

namespace tamra::platform {
namespace {

// An exception escaping a body ends the process here rather than inside the system.
std::uint32_t runBody(const Thread::Body& body) noexcept {
    return body();
}

}  // namespace

// Shared between the owner and the thread. The owner deletes it after the join, except when
// the owner was destroyed on the thread itself: the thread then deletes it when the body ends.
struct Thread::Native {
    SystemThread* system = nullptr;
    Body body;
    ThreadPriority priority = ThreadPriority::Normal;
    std::uint32_t exitCode = 0;
    std::atomic<std::uint32_t> threadId{0};
    std::atomic<bool> finished{false};
    bool ownedByThread = false;  // written and read only on the thread itself
    bool recorded = false;       // the owner has recorded the id; guarded by startMutex
    std::mutex startMutex;
    std::condition_variable started;
};

// Runs on the new thread. It reports its id and waits until the owner has recorded it, so that
// the body sees its owner complete; then it runs the body at the asked priority.
void Thread::entry(void* argument) {
    auto* native = static_cast<Native*>(argument);
    {
        std::unique_lock<std::mutex> lock(native->startMutex);
        native->threadId.store(currentThreadId());
        native->started.notify_one();
        native->started.wait(lock, [native] { return native->recorded; });
    }
    if (native->priority != ThreadPriority::Normal) setCurrentThreadPriority(native->priority);
    native->exitCode = runBody(native->body);
    if (native->ownedByThread) {
        detachSystemThread(native->system);
        delete native;
    } else {
        native->finished.store(true);
    }
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

bool Thread::start(Body body, std::size_t stackSize, ThreadPriority priority) {
    if (started_ && !reapFinished()) return false;
    if (!body) return false;
    auto native = std::make_unique<Native>();
    native->body = std::move(body);
    native->priority = priority;
    native->system = startSystemThread(stackSize, &Thread::entry, native.get());
    if (native->system == nullptr) return false;
    native_ = native.release();
    started_ = true;
    std::unique_lock<std::mutex> lock(native_->startMutex);
    native_->started.wait(lock, [this] { return native_->threadId.load() != 0; });
    id_ = native_->threadId.load();
    native_->recorded = true;
    native_->started.notify_one();
    return true;
}

std::uint32_t Thread::join() {
    if (!started_ || isCurrent()) return 0;
    joinSystemThread(native_->system);
    const std::uint32_t exitCode = native_->exitCode;
    delete native_;
    native_ = nullptr;
    started_ = false;
    id_ = 0;
    return exitCode;
}

bool Thread::isCurrent() const {
    return started_ && native_->threadId.load() == currentThreadId();
}

// A thread that joined itself is left for its owner: once its body has ended, the next start
// collects it instead of refusing.
bool Thread::reapFinished() {
    if (isCurrent() || !native_->finished.load()) return false;
    join();
    return true;
}

}  // namespace tamra::platform
