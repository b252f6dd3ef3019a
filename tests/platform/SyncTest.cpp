// Semaphore, auto-reset event and re-entrant mutex as seen by their users.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

#include "platform/Clock.h"
#include "platform/Sync.h"

namespace tamra::platform {
namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

milliseconds since(steady_clock::time_point start) {
    return std::chrono::duration_cast<milliseconds>(steady_clock::now() - start);
}

// ---- Semaphore

TEST(Semaphore, RejectsImpossibleCounts) {
    for (auto [initial, maximum] : {std::pair{0, 0}, {0, -1}, {-1, 1}, {2, 1}}) {
        Semaphore semaphore(initial, maximum);
        EXPECT_FALSE(semaphore.valid()) << initial << "/" << maximum;
        EXPECT_FALSE(semaphore.release());
        EXPECT_EQ(semaphore.wait(0), WaitResult::Failed);
    }
    EXPECT_TRUE(Semaphore(0, 1).valid());
    EXPECT_TRUE(Semaphore(1, 1).valid());
}

TEST(Semaphore, ReleasePastMaximumFailsAndChangesNothing) {
    Semaphore semaphore(0, 2);
    std::int32_t previous = -1;
    ASSERT_TRUE(semaphore.release(1, &previous));
    EXPECT_EQ(previous, 0);

    previous = -1;
    EXPECT_FALSE(semaphore.release(2, &previous));
    EXPECT_EQ(previous, -1) << "a failed release reports nothing";
    EXPECT_FALSE(semaphore.release(INT32_MAX));
    EXPECT_FALSE(semaphore.release(0));
    EXPECT_FALSE(semaphore.release(-1));

    ASSERT_TRUE(semaphore.release(1, &previous));
    EXPECT_EQ(previous, 1);
    EXPECT_FALSE(semaphore.release());

    EXPECT_EQ(semaphore.wait(0), WaitResult::Signaled);
    EXPECT_EQ(semaphore.wait(0), WaitResult::Signaled);
    EXPECT_EQ(semaphore.wait(0), WaitResult::Timeout);
}

TEST(Semaphore, ExtraTriggersAreLost) {
    Semaphore trigger(0, 1);
    EXPECT_TRUE(trigger.release());
    EXPECT_FALSE(trigger.release());
    EXPECT_FALSE(trigger.release());
    EXPECT_EQ(trigger.wait(0), WaitResult::Signaled);
    EXPECT_EQ(trigger.wait(0), WaitResult::Timeout);
}

TEST(Semaphore, TimedWaitRunsOutAfterTheTime) {
    Semaphore semaphore(0, 1);
    const auto start = steady_clock::now();
    EXPECT_EQ(semaphore.wait(60), WaitResult::Timeout);
    const milliseconds waited = since(start);
    EXPECT_GE(waited.count(), 60);
    EXPECT_LT(waited.count(), 5000);
}

TEST(Semaphore, ReleaseFromAnotherThreadWakesWaiter) {
    Semaphore semaphore(0, 1);
    std::thread releaser([&] {
        sleepMilliseconds(30);
        semaphore.release();
    });
    EXPECT_EQ(semaphore.wait(kInfinite), WaitResult::Signaled);
    releaser.join();

    std::thread again([&] {
        sleepMilliseconds(30);
        semaphore.release();
    });
    const auto start = steady_clock::now();
    EXPECT_EQ(semaphore.wait(10000), WaitResult::Signaled);
    EXPECT_LT(since(start).count(), 5000) << "the release, not the time-out, ended the wait";
    again.join();
}

TEST(Semaphore, ReleaseOfSeveralWakesAsManyWaiters) {
    Semaphore semaphore(0, 3);
    std::atomic<int> woken{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 3; ++i) {
        waiters.emplace_back([&] {
            if (semaphore.wait(kInfinite) == WaitResult::Signaled) ++woken;
        });
    }
    sleepMilliseconds(20);
    ASSERT_TRUE(semaphore.release(3));
    for (auto& waiter : waiters) waiter.join();
    EXPECT_EQ(woken.load(), 3);
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
    int produced = 0;
    while (produced < kFrames) {
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

// ---- AutoResetEvent

TEST(AutoResetEvent, OneWaitConsumesTheSignal) {
    AutoResetEvent event;
    EXPECT_EQ(event.wait(0), WaitResult::Timeout);
    event.set();
    event.set();  // not counted: still one signal
    EXPECT_EQ(event.wait(0), WaitResult::Signaled);
    EXPECT_EQ(event.wait(0), WaitResult::Timeout);

    AutoResetEvent initially(true);
    EXPECT_EQ(initially.wait(0), WaitResult::Signaled);
    EXPECT_EQ(initially.wait(0), WaitResult::Timeout);
}

TEST(AutoResetEvent, ResetDropsAPendingSignal) {
    AutoResetEvent event(true);
    event.reset();
    EXPECT_EQ(event.wait(0), WaitResult::Timeout);
}

TEST(AutoResetEvent, TimedWaitRunsOutAfterTheTime) {
    AutoResetEvent event;
    const auto start = steady_clock::now();
    EXPECT_EQ(event.wait(50), WaitResult::Timeout);
    EXPECT_GE(since(start).count(), 50);
    EXPECT_LT(since(start).count(), 5000);
}

TEST(AutoResetEvent, SetReleasesExactlyOneOfTwoWaiters) {
    AutoResetEvent event;
    std::atomic<int> signaled{0};
    std::atomic<int> timedOut{0};
    auto waiter = [&] {
        const WaitResult result = event.wait(400);
        if (result == WaitResult::Signaled) ++signaled;
        if (result == WaitResult::Timeout) ++timedOut;
    };
    std::thread first(waiter);
    std::thread second(waiter);
    sleepMilliseconds(20);
    event.set();
    first.join();
    second.join();
    EXPECT_EQ(signaled.load(), 1);
    EXPECT_EQ(timedOut.load(), 1);
}

TEST(AutoResetEvent, SetFromAnotherThreadWakesAnUnlimitedWait) {
    AutoResetEvent event;
    std::thread setter([&] {
        sleepMilliseconds(30);
        event.set();
    });
    EXPECT_EQ(event.wait(kInfinite), WaitResult::Signaled);
    setter.join();
}

// ---- RecursiveMutex

WaitResult waitOnOtherThread(RecursiveMutex& mutex, std::uint32_t timeout,
                             bool releaseAfter = true) {
    WaitResult result = WaitResult::Failed;
    std::thread other([&] {
        result = mutex.wait(timeout);
        if (result == WaitResult::Signaled && releaseAfter) mutex.release();
    });
    other.join();
    return result;
}

bool releaseOnOtherThread(RecursiveMutex& mutex) {
    bool released = true;
    std::thread other([&] { released = mutex.release(); });
    other.join();
    return released;
}

TEST(RecursiveMutex, OwnerReentersAndOthersTimeOut) {
    RecursiveMutex mutex;
    ASSERT_EQ(mutex.wait(0), WaitResult::Signaled);
    ASSERT_EQ(mutex.wait(0), WaitResult::Signaled);
    ASSERT_EQ(mutex.wait(kInfinite), WaitResult::Signaled);

    const auto start = steady_clock::now();
    EXPECT_EQ(waitOnOtherThread(mutex, 50), WaitResult::Timeout);
    EXPECT_GE(since(start).count(), 50);
    EXPECT_FALSE(releaseOnOtherThread(mutex));

    EXPECT_TRUE(mutex.release());
    EXPECT_TRUE(mutex.release());
    EXPECT_EQ(waitOnOtherThread(mutex, 0), WaitResult::Timeout) << "one entry still held";
    EXPECT_TRUE(mutex.release());
    EXPECT_EQ(waitOnOtherThread(mutex, 0), WaitResult::Signaled);
    EXPECT_FALSE(mutex.release()) << "no longer the owner";
}

TEST(RecursiveMutex, InitiallyOwnedByItsCreator) {
    RecursiveMutex mutex(true);
    EXPECT_EQ(waitOnOtherThread(mutex, 0), WaitResult::Timeout);
    EXPECT_TRUE(mutex.release());
    EXPECT_EQ(waitOnOtherThread(mutex, 0), WaitResult::Signaled);
}

TEST(RecursiveMutex, ReleaseHandsOverToAWaitingThread) {
    RecursiveMutex mutex;
    ASSERT_EQ(mutex.wait(0), WaitResult::Signaled);
    std::atomic<bool> acquired{false};
    std::thread other([&] {
        if (mutex.wait(kInfinite) == WaitResult::Signaled) {
            acquired = true;
            mutex.release();
        }
    });
    sleepMilliseconds(30);
    EXPECT_FALSE(acquired.load());
    EXPECT_TRUE(mutex.release());
    other.join();
    EXPECT_TRUE(acquired.load());
}

TEST(RecursiveMutex, KeepsNestedUpdatesExclusive) {
    constexpr int kThreads = 3;
    constexpr int kRounds = 2000;
    RecursiveMutex mutex;
    int total = 0;  // guarded by the mutex only
    std::vector<std::thread> workers;
    for (int t = 0; t < kThreads; ++t) {
        workers.emplace_back([&] {
            for (int i = 0; i < kRounds; ++i) {
                if (mutex.wait(kInfinite) != WaitResult::Signaled) return;
                mutex.wait(kInfinite);
                ++total;
                mutex.release();
                mutex.release();
            }
        });
    }
    for (auto& worker : workers) worker.join();
    EXPECT_EQ(total, kThreads * kRounds);
}

TEST(Waitable, WaitsThroughTheBaseClass) {
    Semaphore semaphore(1, 1);
    AutoResetEvent event(true);
    RecursiveMutex mutex;
    for (Waitable* object : std::vector<Waitable*>{&semaphore, &event, &mutex}) {
        EXPECT_EQ(object->wait(0), WaitResult::Signaled);
    }
    EXPECT_EQ(static_cast<Waitable&>(semaphore).wait(0), WaitResult::Timeout);
    EXPECT_EQ(static_cast<Waitable&>(event).wait(0), WaitResult::Timeout);
}

}  // namespace
}  // namespace tamra::platform
