// The performance counter and sleeping.
#include <gtest/gtest.h>

#include <cstdint>

#include "platform/Clock.h"

namespace tamra::platform {
namespace {

constexpr std::int64_t kNanosecondsPerMillisecond = 1000000;

TEST(PerformanceCounter, CountsNanoseconds) {
    std::int64_t frequency = 0;
    ASSERT_TRUE(performanceFrequency(&frequency));
    EXPECT_EQ(frequency, 1000000000);
    EXPECT_FALSE(performanceFrequency(nullptr));
}

TEST(PerformanceCounter, NeverGoesBack) {
    std::int64_t previous = performanceCounter();
    EXPECT_GT(previous, 0);
    for (int i = 0; i < 100000; ++i) {
        const std::int64_t now = performanceCounter();
        ASSERT_GE(now, previous);
        previous = now;
    }
}

TEST(Sleep, LastsAtLeastTheTimeAsked) {
    const std::int64_t before = performanceCounter();
    sleepMilliseconds(30);
    const std::int64_t elapsed = performanceCounter() - before;
    EXPECT_GE(elapsed, 30 * kNanosecondsPerMillisecond);
    EXPECT_LT(elapsed, 5000 * kNanosecondsPerMillisecond);
}

TEST(Sleep, ZeroOnlyYields) {
    const std::int64_t before = performanceCounter();
    sleepMilliseconds(0);
    EXPECT_LT(performanceCounter() - before, 1000 * kNanosecondsPerMillisecond);
}

}  // namespace
}  // namespace tamra::platform
