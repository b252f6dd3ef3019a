// Tamra grab library: threads on pthreads.
#include "platform/Thread.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>

#include <limits.h>
#include <pthread.h>
#include <sched.h>
#include <sys/syscall.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define TAMRA_SANITIZED_STACKS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define TAMRA_SANITIZED_STACKS 1
#endif
#endif

namespace tamra::platform {
namespace {

// glibc carves static thread-local storage out of the requested stack; this keeps the size the
// caller asked for usable by the body itself.
constexpr std::size_t kStaticTlsRoom = 64 * 1024;
#ifdef TAMRA_SANITIZED_STACKS
// Instrumented frames are many times larger, and client callbacks run on these threads.
constexpr std::size_t kStackScale = 16;
#else
constexpr std::size_t kStackScale = 1;
#endif
// Any real-time priority puts the thread ahead of every normal one; the lowest levels suffice.
constexpr int kTimeCriticalFifoPriority = 10;

// An exception escaping a body ends the process here rather than inside the thread library.
std::uint32_t runBody(const Thread::Body& body) noexcept {
    return body();
}

std::size_t effectiveStackSize(std::size_t requested) {
    const long minimum = sysconf(_SC_THREAD_STACK_MIN);
    std::size_t floor = minimum > 0 ? static_cast<std::size_t>(minimum) : PTHREAD_STACK_MIN;
    std::size_t size = std::max(requested * kStackScale, floor) + kStaticTlsRoom;
    const long page = sysconf(_SC_PAGESIZE);
    const std::size_t pageSize = page > 0 ? static_cast<std::size_t>(page) : 4096;
    return (size + pageSize - 1) / pageSize * pageSize;
}

}  // namespace

std::uint32_t currentThreadId() {
    thread_local const std::uint32_t id = static_cast<std::uint32_t>(syscall(SYS_gettid));
    return id;
}

void setCurrentThreadPriority(ThreadPriority priority) {
    sched_param param{};
    if (priority == ThreadPriority::TimeCritical) {
        const int highest = sched_get_priority_max(SCHED_FIFO);
        param.sched_priority = std::min(kTimeCriticalFifoPriority, highest);
        // Refused without the real-time privilege; the thread then simply stays normal.
        (void)pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);
    } else {
        (void)pthread_setschedparam(pthread_self(), SCHED_OTHER, &param);
    }
}

// Shared between the owner and the thread. The owner deletes it after the join, except when
// the owner was destroyed on the thread itself: the thread then deletes it when the body ends.
struct Thread::Native {
    pthread_t handle{};
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
void* Thread::entry(void* argument) {
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
        delete native;
    } else {
        native->finished.store(true);
    }
    return nullptr;
}

Thread::~Thread() {
    if (!started_) return;
    if (isCurrent()) {
        // Destroyed by its own body, e.g. a callback that stops its own acquisition: nobody can
        // wait for this thread any more, so it releases itself once the body returns.
        native_->ownedByThread = true;
        pthread_detach(pthread_self());
        return;
    }
    join();
}

bool Thread::start(Body body, std::size_t stackSize, ThreadPriority priority) {
    if (started_ && !reapFinished()) return false;
    if (!body) return false;
    native_ = new Native;
    native_->body = std::move(body);
    native_->priority = priority;
    started_ = true;
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    if (stackSize != 0) pthread_attr_setstacksize(&attributes, effectiveStackSize(stackSize));
    const int created = pthread_create(&native_->handle, &attributes, &Thread::entry, native_);
    pthread_attr_destroy(&attributes);
    if (created != 0) {
        delete native_;
        native_ = nullptr;
        started_ = false;
        return false;
    }
    std::unique_lock<std::mutex> lock(native_->startMutex);
    native_->started.wait(lock, [this] { return native_->threadId.load() != 0; });
    id_ = native_->threadId.load();
    native_->recorded = true;
    native_->started.notify_one();
    return true;
}

std::uint32_t Thread::join() {
    if (!started_ || isCurrent()) return 0;
    pthread_join(native_->handle, nullptr);
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
