// The timed output scheduler's list order, its bounded lock and its thread.
#include "core/IoScheduler.h"

#include <chrono>
#include <future>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include <tamra/Tamra.h>

#include "core/GrabState.h"

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

TEST(IoSchedulerList, TakesWhatIsDueByDueTimeAndEqualDueTimesLastScheduledFirst) {
    IoScheduler scheduler;
    for (auto [due, port] :
         {std::pair{5.0, 1u}, {5.0, 2u}, {3.0, 3u}, {7.0, 4u}, {5.0, 5u}, {7.0, 6u}, {10.0, 7u}})
        scheduler.insert(event(due, port));
    EXPECT_EQ(scheduler.head()->port, 3u);
    EXPECT_EQ(drain(scheduler, 2.99), std::vector<unsigned int>{});
    EXPECT_EQ(drain(scheduler, 3.0), std::vector<unsigned int>{3}) << "due at equal time";
    EXPECT_EQ(drain(scheduler, 9.0), (std::vector<unsigned int>{5, 2, 1, 6, 4}));
    EXPECT_EQ(scheduler.head()->port, 7u);
    EXPECT_EQ(drain(scheduler, 100.0), std::vector<unsigned int>{7});
    EXPECT_EQ(scheduler.head(), nullptr);
}

// A core whose test can reach the scheduler, initialised as a back end would be.
class ListGrab : public CIGrab {
public:
    ListGrab() {
        Initialize();
        setInitializedFlag(1);
    }
    IoScheduler& scheduler() { return *grabState().core.ioScheduler; }
};

TEST(IoSchedulerThread, AnEntryThatCannotGetTheLockIsDropped) {
    ListGrab grab;
    std::promise<void> held, release;
    std::thread holder([&, released = release.get_future()] {
        IoScheduler::Guard guard(grab.scheduler());
        held.set_value();
        released.wait();
    });
    held.get_future().wait();
    const auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(grab.ScheduleIOEvent(11, 1, 0, 0), 1);
    const auto waited = std::chrono::steady_clock::now() - before;
    release.set_value();
    holder.join();
    EXPECT_GE(waited, std::chrono::milliseconds(1900)) << "the wait is bounded at 2,000 ms";
    // Edges run by due time: once a later one has run, a kept earlier one would have too.
    ASSERT_EQ(grab.ScheduleIOEvent(12, 1, 0, 0), 1);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (grab.GetOutputPortVal(12) == 0 && std::chrono::steady_clock::now() < end)
        std::this_thread::yield();
    ASSERT_EQ(grab.GetOutputPortVal(12), 1);
    EXPECT_EQ(grab.GetOutputPortVal(11), 0);
}

}  // namespace
