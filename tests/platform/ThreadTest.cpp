// Platform threads: stack sizes, exit codes, identity and the ways a thread gets joined.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>

#include "platform/Sync.h"
#include "platform/Thread.h"
#include "support/ProcessInfo.h"

namespace tamra::platform {
namespace {

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

}  // namespace
}  // namespace tamra::platform
