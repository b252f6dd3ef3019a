// Tamra grab library: threads on pthreads, the system's part (identity, priority, create, join).
#include "platform/Thread.h"
#include "platform/SystemThread.h"

#include <algorithm>

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

std::size_t effectiveStackSize(std::size_t requested) {
    const long minimum = sysconf(_SC_THREAD_STACK_MIN);
    std::size_t floor = minimum > 0 ? static_cast<std::size_t>(minimum) : PTHREAD_STACK_MIN;
    std::size_t size = std::max(requested * kStackScale, floor) + kStaticTlsRoom;
    const long page = sysconf(_SC_PAGESIZE);
    const std::size_t pageSize = page > 0 ? static_cast<std::size_t>(page) : 4096;
    return (size + pageSize - 1) / pageSize * pageSize;
}

}  // namespace

struct SystemThread {
    pthread_t handle{};
    SystemThreadEntry entry;
    void* argument;

    // The entry may let go of this record (detach), so it is read before the entry runs.
    static void* run(void* self) {
        const auto* thread = static_cast<SystemThread*>(self);
        const SystemThreadEntry entry = thread->entry;
        void* const argument = thread->argument;
        entry(argument);
        return nullptr;
    }
};

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

SystemThread* startSystemThread(std::size_t stackSize, SystemThreadEntry entry, void* argument) {
    auto* thread = new SystemThread{{}, entry, argument};
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    if (stackSize != 0) pthread_attr_setstacksize(&attributes, effectiveStackSize(stackSize));
    const int created = pthread_create(&thread->handle, &attributes, &SystemThread::run, thread);
    pthread_attr_destroy(&attributes);
    if (created != 0) {
        delete thread;
        return nullptr;
    }
    return thread;
}

void joinSystemThread(SystemThread* thread) {
    pthread_join(thread->handle, nullptr);
    delete thread;
}

void detachSystemThread(SystemThread* thread) {
    pthread_detach(pthread_self());
    delete thread;
}

}  // namespace tamra::platform
