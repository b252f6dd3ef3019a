// The performance counter.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <thread>

#include "platform/Clock.h"

namespace tamra::platform {
namespace {

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
    const double counted =
        1000.0 * static_cast<double>(after - before) / static_cast<double>(frequency);
    const double measured =
        std::chrono::duration<double, std::milli>(clockAfter - clockBefore).count();
    EXPECT_GT(counted, measured * 0.5) << counted << " ms counted, " << measured << " ms passed";
    EXPECT_LT(counted, measured * 1.5) << counted << " ms counted, " << measured << " ms passed";
}

}  // namespace
}  // namespace tamra::platform
