// Tamra grab library: the monotonic performance counter and sleeping.
#include "platform/Clock.h"

#include <cerrno>
#include <ctime>

#include <sched.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif

namespace tamra::platform {
namespace {

constexpr std::int64_t kNanosecondsPerSecond = 1000000000;

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
// is the least it takes. Elsewhere nothing changes.
void preferPreciseWakeUps() {
#ifdef __linux__
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
#endif
}

}  // namespace tamra::platform
