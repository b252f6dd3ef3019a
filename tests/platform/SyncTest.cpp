// Semaphore, auto-reset event and re-entrant mutex as seen by their users.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <future>
#include <thread>
#include <vector>

#include "platform/Sync.h"
#include "support/ProcessInfo.h"

namespace tamra::platform {
namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

long long msSince(steady_clock::time_point start) {
    return std::chrono::duration_cast<milliseconds>(steady_clock::now() - start).count();
}

// Starts body on a thread and returns once it is asleep in its wait (where the system tells).
std::thread startBlocked(std::function<void()> body) {
    std::promise<long> id;
    std::thread thread([&id, body] {
        id.set_value(tamra::testing::currentThreadId());
        body();
    });
    tamra::testing::waitUntilThreadBlocks(id.get_future().get());
    return thread;
}

TEST(Semaphore, ReleasePastMaximumFailsAndChangesNothing) {
    Semaphore semaphore(0, 2);
    std::int32_t previous = -1;
    ASSERT_TRUE(semaphore.release(1, &previous));
    EXPECT_EQ(previous, 0);
    previous = -1;
    EXPECT_FALSE(semaphore.release(2, &previous));
    EXPECT_EQ(previous, -1) << "a failed release reports nothing";
    for (std::int32_t count : {INT32_MAX, 0, -1}) EXPECT_FALSE(semaphore.release(count)) << count;
    ASSERT_TRUE(semaphore.release(1, &previous));
    EXPECT_EQ(previous, 1);
    EXPECT_FALSE(semaphore.release());
    EXPECT_EQ(semaphore.wait(0), WaitResult::Signaled);
    EXPECT_EQ(semaphore.wait(0), WaitResult::Signaled);
    EXPECT_EQ(semaphore.wait(0), WaitResult::Timeout);
}

TEST(Semaphore, EveryReleaseIsConsumedOnce) {
    constexpr int kFrames = 2000;
    Semaphore ready(0, 4);
    std::atomic<int> consumed{0};
    std::thread consumer([&] {
        for (int i = 0; i < kFrames; ++i) {
            if (ready.wait(kInfinite) == WaitResult::Signaled) ++consumed;
        }
    });
    for (int produced = 0; produced < kFrames;) {
        if (ready.release()) {
            ++produced;
        } else {
            std::this_thread::yield();
        }
    }
    consumer.join();
    EXPECT_EQ(consumed.load(), kFrames);
    EXPECT_EQ(ready.wait(0), WaitResult::Timeout);
}

TEST(Waitable, TimedWaitsRunOutAfterTheTime) {
    Semaphore semaphore(0, 1);
    AutoResetEvent event;
    RecursiveMutex mutex(true);
    std::vector<Waitable*> objects{&semaphore, &event};
    for (Waitable* object : objects) {
        const auto start = steady_clock::now();
        EXPECT_EQ(object->wait(50), WaitResult::Timeout);
        EXPECT_GE(msSince(start), 50);
        EXPECT_LT(msSince(start), 5000);
    }
    std::thread other([&] {
        const auto start = steady_clock::now();
        EXPECT_EQ(mutex.wait(50), WaitResult::Timeout);
        EXPECT_GE(msSince(start), 50);
    });
    other.join();
}

TEST(AutoResetEvent, OneWaitConsumesTheSignal) {
    AutoResetEvent event;
    EXPECT_EQ(event.wait(0), WaitResult::Timeout);
    event.set();
    event.set();  // not counted: still one signal
    EXPECT_EQ(event.wait(0), WaitResult::Signaled);
    EXPECT_EQ(event.wait(0), WaitResult::Timeout);

    AutoResetEvent initially(true);
    EXPECT_EQ(static_cast<Waitable&>(initially).wait(0), WaitResult::Signaled);
    EXPECT_EQ(initially.wait(0), WaitResult::Timeout);
    initially.set();
    initially.reset();
    EXPECT_EQ(initially.wait(0), WaitResult::Timeout);
}

// With both waiters asleep, one set wakes exactly one of them; the other wakes only on the next.
TEST(AutoResetEvent, SetReleasesExactlyOneWaiter) {
    AutoResetEvent event;
    Semaphore woke(0, 2);
    std::atomic<int> signaled{0};
    auto waiter = [&](std::uint32_t timeout) {
        if (event.wait(timeout) == WaitResult::Signaled) ++signaled;
        woke.release();
    };
    std::thread first = startBlocked([&] { waiter(kInfinite); });
    std::thread second = startBlocked([&] { waiter(60000); });
    event.set();
    EXPECT_EQ(woke.wait(10000), WaitResult::Signaled);
    EXPECT_EQ(woke.wait(100), WaitResult::Timeout);
    EXPECT_EQ(signaled.load(), 1);
    event.set();
    first.join();
    second.join();
    EXPECT_EQ(signaled.load(), 2);
}

WaitResult waitOnOtherThread(RecursiveMutex& mutex) {
    WaitResult result = WaitResult::Failed;
    std::thread other([&] {
        result = mutex.wait(0);
        if (result == WaitResult::Signaled) mutex.release();
    });
    other.join();
    return result;
}

TEST(RecursiveMutex, OwnerReentersAndOthersTimeOut) {
    RecursiveMutex mutex;
    ASSERT_EQ(mutex.wait(0), WaitResult::Signaled);
    ASSERT_EQ(mutex.wait(kInfinite), WaitResult::Signaled);
    EXPECT_EQ(waitOnOtherThread(mutex), WaitResult::Timeout);
    bool releasedElsewhere = true;
    std::thread other([&] { releasedElsewhere = mutex.release(); });
    other.join();
    EXPECT_FALSE(releasedElsewhere);

    EXPECT_TRUE(mutex.release());
    EXPECT_EQ(waitOnOtherThread(mutex), WaitResult::Timeout) << "one entry still held";
    EXPECT_TRUE(mutex.release());
    EXPECT_EQ(waitOnOtherThread(mutex), WaitResult::Signaled);
    EXPECT_FALSE(mutex.release()) << "no longer the owner";

    RecursiveMutex initiallyOwned(true);
    EXPECT_EQ(waitOnOtherThread(initiallyOwned), WaitResult::Timeout);
    EXPECT_TRUE(initiallyOwned.release());
    EXPECT_EQ(waitOnOtherThread(initiallyOwned), WaitResult::Signaled);
}

}  // namespace
}  // namespace tamra::platform
