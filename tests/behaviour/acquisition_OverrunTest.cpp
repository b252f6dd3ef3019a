// A slow client: frames it cannot take are dropped and reported to the trash callback, and
// every frame composed is still delivered in order once the client catches up.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <tuple>
#include <utility>

#include <tamra/Tamra.h>

#include "grab_support.h"

namespace {

using grab_test::Delivery;
using grab_test::EmulatorTest;
using grab_test::FrameLog;
using grab_test::levelOf;
using grab_test::milliseconds;
using grab_test::writeNumberedFiles;

using EmulatorOverrun = EmulatorTest;

constexpr std::uint32_t kBuffers = 5;
constexpr std::uint32_t kRingSlots = kBuffers - 1;
constexpr int kFiles = 3;

// Free run at 33 ms against a client that blocks on its first frame: slots 1 to 3 fill, then
// slot 0 is still locked and each further turn is an overrun told through the spare slot.
TEST_F(EmulatorOverrun, BlockedClientGetsTheSpareSlotReportedAndNoFrameIsLost) {
    writeNumberedFiles(folder_.path(), kFiles, kWidth, kHeight);
    playFolder(kWidth, kHeight, kBuffers);
    log_.attach(*grab_);
    log_.holdGate();
    ASSERT_EQ(grab_->Start(), 1);
    ASSERT_TRUE(log_.waitForTrash(3));
    EXPECT_EQ(log_.frameCount(), 1u);

    const std::vector<Delivery> trash = log_.trash();
    EXPECT_EQ(std::make_pair(trash[0].buffer, trash[0].tag),
              std::make_pair(slot(kRingSlots), std::int64_t{0}));
    // A late reporter's first count may already include a later overrun; it never misses one.
    EXPECT_GE(trash[0].count, 1u);
    EXPECT_NE(trash[0].thread, std::this_thread::get_id());
    for (std::size_t i = 1; i < trash.size(); ++i) EXPECT_GT(trash[i].count, trash[i - 1].count);

    log_.openGate();
    ASSERT_TRUE(log_.waitForFrames(2 * kRingSlots + 1));
    ASSERT_EQ(grab_->Stop(), 1);
    // An overrun composes nothing, so the files, too, go on in order.
    const std::vector<Delivery> frames = log_.frames();
    for (std::size_t k = 0; k < frames.size(); ++k) {
        SCOPED_TRACE("frame " + std::to_string(k));
        EXPECT_EQ(std::make_tuple(frames[k].buffer, frames[k].count, frames[k].pixels[0]),
                  std::make_tuple(slot(static_cast<std::uint32_t>(k % kRingSlots)),
                                  static_cast<unsigned>(k / kRingSlots + 1),
                                  levelOf(static_cast<int>(k % kFiles))));
    }
    EXPECT_NE(frames[0].thread, log_.trash()[0].thread);
}

// The spare-ready semaphore holds one count, so a slow trash callback is called less often
// than overruns happen; the count it receives still includes every one of them.
TEST_F(EmulatorOverrun, OverrunCountIncludesOverrunsThatWereNotReportedOneByOne) {
    writeNumberedFiles(folder_.path(), 1, kWidth, kHeight);
    playFolder(kWidth, kHeight, kBuffers);
    log_.attach(*grab_);
    log_.holdGate();
    log_.setTrashDelay(milliseconds(250));
    ASSERT_EQ(grab_->Start(), 1);
    ASSERT_TRUE(log_.waitForTrash(3, milliseconds(10000)));
    log_.openGate();
    ASSERT_EQ(grab_->Stop(), 1);

    const std::vector<Delivery> trash = log_.trash();
    for (std::size_t i = 1; i < trash.size(); ++i) EXPECT_GT(trash[i].count, trash[i - 1].count);
    EXPECT_GT(trash.back().count, trash.size());
}

// Without a buffer callback each slot is released as its turn comes.
TEST_F(EmulatorOverrun, GrabWithoutBufferCallbackNeverOverruns) {
    writeNumberedFiles(folder_.path(), 1, kWidth, kHeight);
    playFolder(kWidth, kHeight, 3);
    grab_->RegisterTrashCallback(FrameLog::onTrash, &log_);
    ASSERT_EQ(grab_->Start(), 1);
    ASSERT_TRUE(grab_test::waitForComposed(*grab_, 10));
    ASSERT_EQ(grab_->Stop(), 1);
    EXPECT_TRUE(log_.trash().empty());
    EXPECT_NE(std::string(grab_->GetImageFileName(0, 0, 0)), "");
}

}  // namespace
