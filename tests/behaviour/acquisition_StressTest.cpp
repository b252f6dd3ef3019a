// Start and stop under load, and lifecycle calls made from inside a callback: none of them may
// deadlock, crash or leak (the sanitizer builds run these too).
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include <tamra/Tamra.h>

#include "grab_support.h"

namespace {

using grab_test::Delivery;
using grab_test::EmulatorTest;
using grab_test::milliseconds;
using grab_test::writeNumberedFiles;

using EmulatorStress = EmulatorTest;

TEST_F(EmulatorStress, HundredsOfStartsAndStopsWithFramesInFlight) {
    writeNumberedFiles(folder_.path(), 2, kWidth, kHeight);
    playFolder(kWidth, kHeight, 3);
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
    writeNumberedFiles(folder_.path(), 1, kWidth, kHeight);
    playFolder(kWidth, kHeight, 3);
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
    writeNumberedFiles(folder_.path(), 1, kWidth, kHeight);
    playFolder();
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
    writeNumberedFiles(folder_.path(), 1, kWidth, kHeight);
    playFolder(kWidth, kHeight, 3);
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
