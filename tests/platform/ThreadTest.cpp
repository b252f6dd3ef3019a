// Platform threads: stack sizes, exit codes, identity and the ways a thread gets joined.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <memory>

#include "platform/Clock.h"
#include "platform/Sync.h"
#include "platform/Thread.h"
#include "support/ProcessInfo.h"

namespace tamra::platform {
namespace {

// Touches nearly all of a stack of the given size, as a body with large locals would: the size
// asked for is the room the body gets, whatever the thread library keeps for itself.
template <std::size_t kBytes>
std::uint32_t useStack() {
    volatile unsigned char block[kBytes];
    std::memset(const_cast<unsigned char*>(block), 0x5A, kBytes);
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < kBytes; i += 512) sum += block[i];
    return sum;
}

TEST(Thread, SmallStacksHoldWhatTheyPromise) {
    Thread producer;
    ASSERT_TRUE(
        producer.start([] { return useStack<30 * 1024>() == 60 * 0x5A ? 214u : 1u; }, 32768));
    EXPECT_EQ(producer.join(), 214u);

    Thread housekeeping;
    ASSERT_TRUE(
        housekeeping.start([] { return useStack<62 * 1024>() == 124 * 0x5A ? 7u : 1u; }, 65536));
    EXPECT_EQ(housekeeping.join(), 7u);
}

// A tiny stack is raised to what the system needs; time-critical threads run with or without
// the privilege to raise their priority.
TEST(Thread, TinyStacksAndTimeCriticalThreadsStillRun) {
    Thread tiny;
    ASSERT_TRUE(tiny.start([] { return 3u; }, 1));
    EXPECT_EQ(tiny.join(), 3u);
    Thread scheduler;
    ASSERT_TRUE(scheduler.start([] { return 15u; }, 0, ThreadPriority::TimeCritical));
    EXPECT_EQ(scheduler.join(), 15u);
}

TEST(Thread, KnowsItsOwnIdentity) {
    const std::uint32_t mainId = currentThreadId();
    EXPECT_NE(mainId, 0u);
    EXPECT_EQ(currentThreadId(), mainId);

    Thread worker;
    EXPECT_FALSE(worker.joinable());
    EXPECT_FALSE(worker.isCurrent());
    std::atomic<std::uint32_t> seenId{0};
    std::atomic<bool> seenCurrent{false};
    std::atomic<std::uint32_t> seenOwnerId{0};
    ASSERT_TRUE(worker.start([&] {
        seenId = currentThreadId();
        seenCurrent = worker.isCurrent();
        seenOwnerId = worker.id();
        return 0u;
    }));
    EXPECT_TRUE(worker.joinable());
    EXPECT_FALSE(worker.isCurrent());
    const std::uint32_t reportedId = worker.id();
    worker.join();

    EXPECT_NE(seenId.load(), 0u);
    EXPECT_NE(seenId.load(), mainId);
    EXPECT_EQ(reportedId, seenId.load());
    EXPECT_EQ(seenOwnerId.load(), seenId.load()) << "the id is recorded before the body runs";
    EXPECT_TRUE(seenCurrent.load());
    EXPECT_FALSE(worker.joinable());
}

TEST(Thread, RefusesAnEmptyBodyOrASecondStartWhileRunning) {
    Semaphore finish(0, 1);
    std::atomic<int> secondRuns{0};
    Thread worker;
    EXPECT_FALSE(worker.start(Thread::Body()));
    EXPECT_FALSE(worker.joinable());
    ASSERT_TRUE(
        worker.start([&] { return finish.wait(kInfinite) == WaitResult::Signaled ? 1u : 0u; }));
    EXPECT_FALSE(worker.start([&] {
        ++secondRuns;
        return 2u;
    }));
    finish.release();
    EXPECT_EQ(worker.join(), 1u);
    EXPECT_EQ(secondRuns.load(), 0);

    ASSERT_TRUE(worker.start([] { return 0xFFFFFFFFu; })) << "a joined thread object starts again";
    EXPECT_EQ(worker.join(), 0xFFFFFFFFu);
    EXPECT_EQ(worker.join(), 0u) << "nothing left to join";
}

// The body ends only once the owner is asleep, in the destructor's join.
TEST(Thread, DestructorJoinsARunningThread) {
    std::atomic<bool> finished{false};
    const long ownerId = tamra::testing::currentThreadId();
    {
        Thread worker;
        ASSERT_TRUE(worker.start([&] {
            tamra::testing::waitUntilThreadBlocks(ownerId);
            finished = true;
            return 0u;
        }));
    }
    EXPECT_TRUE(finished.load());
}

TEST(Thread, JoinFromItselfReturnsAtOnce) {
    Thread worker;
    std::atomic<std::uint32_t> selfJoin{1};
    ASSERT_TRUE(worker.start([&] {
        selfJoin = worker.join();
        return 5u;
    }));
    EXPECT_EQ(worker.join(), 5u) << "the owner still collects the exit code";
    EXPECT_EQ(selfJoin.load(), 0u);
}

TEST(Thread, StartAfterASelfJoinCollectsTheEndedThread) {
    Thread worker;
    ASSERT_TRUE(worker.start([&] { return worker.join() + 4u; }));
    // The first body may still be on its way out; a start succeeds as soon as it has ended.
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    bool restarted = false;
    while (!restarted && std::chrono::steady_clock::now() < giveUp) {
        restarted = worker.start([] { return 8u; });
        if (!restarted) sleepMilliseconds(1);
    }
    ASSERT_TRUE(restarted);
    EXPECT_EQ(worker.join(), 8u);
}

TEST(Thread, OwnerDestroyedByItsOwnThread) {
    auto worker = std::make_unique<Thread>();
    Semaphore go(0, 1);
    Semaphore done(0, 1);
    ASSERT_TRUE(worker->start([&] {
        go.wait(kInfinite);
        worker.reset();  // a callback tearing down its own acquisition
        done.release();
        return 0u;
    }));
    go.release();
    EXPECT_EQ(done.wait(10000), WaitResult::Signaled);
    EXPECT_EQ(worker, nullptr);
}

}  // namespace
}  // namespace tamra::platform
