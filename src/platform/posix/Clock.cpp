// Tamra grab library: the monotonic performance counter and sleeping.
#include "platform/Clock.h"

#include <cerrno>
#include <ctime>

#include <sched.h>
#ifdef __linux__
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace tamra::platform {
namespace {

constexpr std::int64_t kNanosecondsPerSecond = 1000000000;

#ifdef __linux__
// The first version of the system's scheduling attributes (not every C library declares it).
struct SchedulingAttributes {
    std::uint32_t size;
    std::uint32_t policy;
    std::uint64_t flags;
    std::int32_t nice;
    std::uint32_t priority;
    std::uint64_t runtime;
    std::uint64_t deadline;
    std::uint64_t period;
};

// The slice a normal thread asks for: the scheduler lets a thread of shorter slice preempt
// sooner when it wakes, without giving it a larger share of the processor.
constexpr std::uint64_t kShortSliceNanoseconds = 100000;

// Only a normal thread asks, and it keeps its nice value; kernels without custom slices ignore
// the request, and a refusal changes nothing.
void askForShortSlices() {
    if (sched_getscheduler(0) != SCHED_OTHER) return;
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)));
    if (errno != 0) return;
    SchedulingAttributes attributes{};
    attributes.size = sizeof attributes;
    attributes.policy = SCHED_OTHER;
    attributes.nice = nice;
    attributes.runtime = kShortSliceNanoseconds;
    syscall(SYS_sched_setattr, 0, &attributes, 0);
}
#endif

}  // namespace

bool performanceFrequency(std::int64_t* frequency) {
    if (frequency == nullptr) return false;
    *frequency = kNanosecondsPerSecond;
    return true;
}

// Nanoseconds of the monotonic clock: never goes back when the wall clock is set.
std::int64_t performanceCounter() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * kNanosecondsPerSecond + now.tv_nsec;
}

// Sleeps at least the given time, resuming after signals; 0 gives up the rest of the time slice.
void sleepMilliseconds(std::uint32_t milliseconds) {
    if (milliseconds == 0) {
        sched_yield();
        return;
    }
    timespec remaining{};
    remaining.tv_sec = static_cast<time_t>(milliseconds / 1000);
    remaining.tv_nsec = static_cast<long>(milliseconds % 1000) * 1000000L;
    while (clock_nanosleep(CLOCK_MONOTONIC, 0, &remaining, &remaining) == EINTR) {
    }
}

// Linux lets a timer of a normal thread fire up to 50 us late by default (the timer slack); 1 ns
// is the least it takes. On a busy machine a woken thread also waits for the running one's slice
// to end, which a short slice of its own cuts short. Elsewhere nothing changes.
void preferPreciseWakeUps() {
#ifdef __linux__
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    askForShortSlices();
#endif
}

}  // namespace tamra::platform
