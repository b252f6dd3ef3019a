// The performance counter and sleeping.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <thread>

#include "platform/Clock.h"

namespace tamra::platform {
namespace {

// The counter's frequency: nanoseconds on POSIX, the system's own on Windows.
std::int64_t ticksPerSecond() {
    std::int64_t frequency = 0;
    EXPECT_TRUE(performanceFrequency(&frequency));
    return frequency;
}

double millisecondsOf(std::int64_t ticks) {
    return 1000.0 * static_cast<double>(ticks) / static_cast<double>(ticksPerSecond());
}

TEST(PerformanceCounter, TicksAtTheFrequencyItReports) {
    std::int64_t frequency = 0;
    ASSERT_TRUE(performanceFrequency(&frequency));
    EXPECT_FALSE(performanceFrequency(nullptr));
#if defined(_WIN32)
    EXPECT_GT(frequency, 0);
#else
    EXPECT_EQ(frequency, 1000000000);
#endif
    // Against the standard steady clock over the same stretch: a wrong frequency is off by a
    // factor of ten or more, far outside these bounds.
    const auto clockBefore = std::chrono::steady_clock::now();
    const std::int64_t before = performanceCounter();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const std::int64_t after = performanceCounter();
    const auto clockAfter = std::chrono::steady_clock::now();
    const double counted = millisecondsOf(after - before);
    const double measured =
        std::chrono::duration<double, std::milli>(clockAfter - clockBefore).count();
    EXPECT_GT(counted, measured * 0.5) << counted << " ms counted, " << measured << " ms passed";
    EXPECT_LT(counted, measured * 1.5) << counted << " ms counted, " << measured << " ms passed";
}

TEST(Sleep, LastsAtLeastTheTimeAsked) {
    const std::int64_t before = performanceCounter();
    sleepMilliseconds(30);
    const double elapsed = millisecondsOf(performanceCounter() - before);
    EXPECT_GE(elapsed, 30.0);
    EXPECT_LT(elapsed, 5000.0);
}

}  // namespace
}  // namespace tamra::platform
