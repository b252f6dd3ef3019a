// The timed output scheduler's list order, its bounded lock and its thread.
#include "core/IoScheduler.h"

#include <memory>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "../behaviour/core_support.h"
#include "core/PerfTime.h"

namespace {

using tamra::IoScheduler;

std::unique_ptr<IoScheduler::Event> event(double due, unsigned int port) {
    auto e = std::make_unique<IoScheduler::Event>();
    e->dueTime = due;
    e->port = port;
    e->value = 1;
    e->duration = 0.0;
    return e;
}

std::vector<unsigned int> drain(IoScheduler& scheduler, double now) {
    std::vector<unsigned int> ports;
    while (auto due = scheduler.takeDue(now)) ports.push_back(due->port);
    return ports;
}

TEST(IoSchedulerList, KeepsEntriesByDueTimeAndEqualDueTimesLastScheduledFirst) {
    IoScheduler scheduler;
    scheduler.insert(event(5.0, 1));
    scheduler.insert(event(5.0, 2));
    scheduler.insert(event(3.0, 3));
    scheduler.insert(event(7.0, 4));
    scheduler.insert(event(5.0, 5));
    scheduler.insert(event(7.0, 6));
    EXPECT_EQ(scheduler.head()->port, 3u);
    EXPECT_EQ(drain(scheduler, 100.0), (std::vector<unsigned int>{3, 5, 2, 1, 6, 4}));
    EXPECT_EQ(scheduler.head(), nullptr);
}

TEST(IoSchedulerList, TakesOnlyWhatIsDue) {
    IoScheduler scheduler;
    scheduler.insert(event(10.0, 1));
    scheduler.insert(event(20.0, 2));
    EXPECT_EQ(drain(scheduler, 9.99), std::vector<unsigned int>{});
    EXPECT_EQ(drain(scheduler, 10.0), std::vector<unsigned int>{1}) << "due at equal time";
    EXPECT_EQ(drain(scheduler, 15.0), std::vector<unsigned int>{});
    EXPECT_EQ(scheduler.head()->port, 2u);
}

TEST(IoSchedulerList, ALongListIsReleasedWithoutRecursion) {
    auto scheduler = std::make_unique<IoScheduler>();
    // Appending at the tail walks the list once per entry; descending due times insert at the
    // head instead, so building a long list stays fast.
    for (int i = 0; i < 300000; ++i) scheduler->insert(event(-i, 0));
    scheduler.reset();
    SUCCEED();
}

TEST(IoSchedulerThread, StopIsPromptAndRepeatable) {
    IoScheduler scheduler;
    EXPECT_FALSE(scheduler.hasThread());
    ASSERT_TRUE(scheduler.startThread([&scheduler] {
        while (!scheduler.quitRequested()) scheduler.waitForWake(tamra::platform::kInfinite);
        return std::uint32_t{0};
    }));
    EXPECT_TRUE(scheduler.hasThread());
    scheduler.stopThread();
    EXPECT_FALSE(scheduler.hasThread());
    EXPECT_TRUE(scheduler.quitRequested());
    scheduler.stopThread();
}

// A core whose test can reach the scheduler's list directly.
class ListGrab : public core_test::CoreGrab {
public:
    tamra::IoScheduler& scheduler() { return *grabState().core.ioScheduler; }
};

TEST(IoSchedulerThread, EqualDueTimesRunInTheReverseOrderOfScheduling) {
    ListGrab grab;
    grab.Initialize();
    const double due = tamra::PerfTimeMs() + 30.0;
    {
        IoScheduler::Guard guard(grab.scheduler());
        ASSERT_TRUE(guard.owns());
        for (unsigned int port : {8u, 9u, 10u}) grab.scheduler().insert(event(due, port));
    }
    grab.scheduler().wake();
    ASSERT_TRUE(core_test::eventually([&] { return grab.changesSnapshot().size() == 3; }));
    std::vector<unsigned int> order;
    for (const core_test::PortChange& c : grab.changesSnapshot()) order.push_back(c.port);
    EXPECT_EQ(order, (std::vector<unsigned int>{10, 9, 8}));
}

TEST(IoSchedulerThread, AnEntryThatCannotGetTheLockIsDropped) {
    ListGrab grab;
    grab.Initialize();
    std::atomic<bool> held{false}, release{false};
    std::thread holder([&] {
        IoScheduler::Guard guard(grab.scheduler());
        held = true;
        while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    });
    while (!held) std::this_thread::yield();
    const auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(grab.ScheduleIOEvent(11, 1, 0, 0), 1);
    const auto waited = std::chrono::steady_clock::now() - before;
    release = true;
    holder.join();
    EXPECT_GE(waited, std::chrono::milliseconds(1900)) << "the wait is bounded at 2,000 ms";
    EXPECT_EQ(grab.scheduler().head(), nullptr);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(grab.changesSnapshot().empty());
}

TEST(PerfTime, ScaleComesFromTheCounterFrequency) {
    EXPECT_DOUBLE_EQ(tamra::millisecondScale(true, 1000000000), 1e-6);
    EXPECT_DOUBLE_EQ(tamra::millisecondScale(true, 1000), 1.0);
    EXPECT_EQ(tamra::millisecondScale(false, 1000), -1.0);
    EXPECT_EQ(tamra::millisecondScale(true, 0), -1.0);
    EXPECT_DOUBLE_EQ(tamra::millisecondsAt(5000, 0.5), 2500.0);
    EXPECT_EQ(tamra::millisecondsAt(5000, -1.0), 0.0) << "no counter: the clock reads 0";
}

TEST(PerfTime, ReadsMillisecondsOfTheMonotonicCounter) {
    const double first = tamra::PerfTimeMs();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    const double second = tamra::PerfTimeMs();
    EXPECT_GT(first, 0.0);
    EXPECT_GE(second - first, 29.0);
    EXPECT_LT(second - first, 5000.0);
}

}  // namespace
