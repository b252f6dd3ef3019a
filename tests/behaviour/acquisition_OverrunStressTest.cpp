// A slow client loses no composed frame (overruns go to the trash callback); start/stop under
// load and from inside callbacks must not deadlock, crash or leak.
#include <algorithm>
#include <tuple>
#include <utility>

#include "grab_support.h"

namespace grab_test {
namespace {

using EmulatorOverrun = EmulatorTest;

constexpr std::uint32_t kBuffers = 5;
constexpr std::uint32_t kRingSlots = kBuffers - 1;
constexpr int kFiles = 3;

// Free run at 33 ms against a client that blocks on its first frame: slots 1 to 3 fill, then
// slot 0 is still locked and each further turn is an overrun told through the spare slot.
TEST_F(EmulatorOverrun, BlockedClientGetsTheSpareSlotReportedAndNoFrameIsLost) {
    playNumbered(kFiles, kBuffers);
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
    playNumbered(1, kBuffers);
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
    playNumbered(1, 3);
    grab_->RegisterTrashCallback(FrameLog::onTrash, &log_);
    ASSERT_EQ(grab_->Start(), 1);
    ASSERT_TRUE(grab_test::waitForComposed(*grab_, 10));
    ASSERT_EQ(grab_->Stop(), 1);
    EXPECT_TRUE(log_.trash().empty());
    EXPECT_NE(std::string(grab_->GetImageFileName(0, 0, 0)), "");
}

using EmulatorStress = EmulatorTest;

TEST_F(EmulatorStress, HundredsOfStartsAndStopsWithFramesInFlight) {
    playNumbered(2, 3);
    grab_->SetTriggerMethod(IXGrab::TRIG_SOFTWARE);
    log_.attach(*grab_);
    constexpr int kRounds = 300;
    for (int round = 0; round < kRounds; ++round) {
        ASSERT_EQ(grab_->Start(), 1) << "round " << round;
        grab_->GenerateSoftTrigger(0);
        if (round % 25 == 0) {
            // Now and then let a frame through, so stops also meet idle threads.
            ASSERT_TRUE(log_.waitForFrames(log_.frameCount() + 1)) << "round " << round;
        }
        ASSERT_EQ(grab_->Stop(), 1);
        ASSERT_EQ(grab_->IsGrabRunning(), 0);
    }
    EXPECT_EQ(log_.exitCount(), static_cast<std::size_t>(kRounds));
    ASSERT_EQ(grab_->Start(), 1);
    const std::size_t before = log_.frameCount();
    ASSERT_TRUE(triggerAndWait(before + 1));
}

TEST_F(EmulatorStress, StartStopAgainstAFreeRunningProducerAndABlockedClient) {
    playNumbered(1, 3);
    log_.attach(*grab_);
    for (int round = 0; round < 100; ++round) {
        ASSERT_EQ(grab_->Start(), 1);
        if (round % 10 == 0) {
            log_.holdGate();
            ASSERT_TRUE(log_.waitForTrash(log_.trash().size() + 1)) << "round " << round;
            log_.openGate();
        }
        ASSERT_EQ(grab_->Stop(), 1);
    }
}

TEST_F(EmulatorStress, StopFromInsideTheCallbackEndsAcquisitionWithoutWaiting) {
    playNumbered(1);
    grab_->SetTriggerMethod(IXGrab::TRIG_SOFTWARE);
    std::atomic<int> stopResult{-1};
    log_.setAction([this, &stopResult](const Delivery&) { stopResult = grab_->Stop(); });
    log_.attach(*grab_);
    for (int round = 0; round < 50; ++round) {
        ASSERT_EQ(grab_->Start(), 1);
        ASSERT_TRUE(triggerAndWait(static_cast<std::size_t>(round) + 1));
        ASSERT_TRUE(log_.waitForExits(static_cast<std::size_t>(round) + 1));
        EXPECT_EQ(stopResult.load(), 1);
        EXPECT_EQ(grab_->IsGrabRunning(), 0);
        // Triggers after the stop are accepted and produce nothing.
        EXPECT_EQ(grab_->GenerateSoftTrigger(0), 1);
        if (round % 2 == 0) {
            ASSERT_EQ(grab_->Stop(), 1);  // else Start joins the old threads
        }
    }
    EXPECT_EQ(log_.frameCount(), 50u);
}

TEST_F(EmulatorStress, OverrunReporterMayStopAcquisitionToo) {
    playNumbered(1, 3);
    log_.attach(*grab_);
    CIGrabEmu* grab = grab_.get();
    grab_->RegisterTrashCallback(
        [](unsigned char*, unsigned int, std::int64_t, void* context) {
            return static_cast<CIGrabEmu*>(context)->Stop();
        },
        grab);
    log_.holdGate();
    ASSERT_EQ(grab_->Start(), 1);
    EXPECT_TRUE(
        grab_test::eventually([&] { return grab_->IsGrabRunning() == 0; }, milliseconds(5000)));
    log_.openGate();  // the delivery thread ends once the blocked client returns
    ASSERT_TRUE(log_.waitForExits(1));
    EXPECT_EQ(grab_->Stop(), 1);
}

}  // namespace
}  // namespace grab_test
