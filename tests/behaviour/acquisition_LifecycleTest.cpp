// The emulator's lifecycle as a client drives it: refusals, frame delay, serial-port answers,
// the bits rule of Create, the image path and deletion in every state.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>

#include <tamra/Tamra.h>

#include "grab_support.h"

namespace {

using grab_test::EmulatorTest;
using grab_test::kKeep;
using grab_test::milliseconds;
using grab_test::writeNumberedFiles;

// Which state refuses what is in acquisition_StateTest.cpp.
TEST(EmulatorObject, NewEmulatorIsIdleAndKeepsAFrameDelayOfAtLeastThirtyThree) {
    CIGrabEmu grab;
    EXPECT_EQ(grab.GetGrabType(), IFW_IGRAB_EMULATOR);
    EXPECT_STREQ(grab.GetImagePath(), "");
    EXPECT_EQ(grab.GenerateSoftTrigger(3), 1) << "accepted in every state";
    EXPECT_EQ(grab.SetFrameDelay(10), 0);
    EXPECT_EQ(grab.GetFrameDelay(), 10u);
    ASSERT_EQ(grab.Initialize(), 1);
    EXPECT_EQ(grab.GetFrameDelay(), 33u);
    for (auto [asked, kept] : {std::pair{10u, 33u}, {0u, 33u}, {100u, 100u}}) {
        EXPECT_EQ(grab.SetFrameDelay(asked), 1);
        EXPECT_EQ(grab.GetFrameDelay(), kept);
    }
}

TEST(EmulatorObject, AnswersSerialPortQuestionsForItsOnePort) {
    CIGrabEmu grab;
    EXPECT_EQ(grab.GetCommPortNum(0, IFW_COMPORT_CAMERA), 1);
    EXPECT_EQ(grab.GetCommPortNum(7, IFW_COMPORT_PLC), 0);
    EXPECT_EQ(grab.GetCommPortNum(0, IFW_COMPORT_AUX), 0);
    EXPECT_EQ(grab.GetCommPortNum(0, static_cast<IFW_COMPORT_KIND>(5)), 1);
    ASSERT_EQ(grab.Initialize(), 1);
    EXPECT_EQ(grab.SetActiveCommPort(0), 1);
    EXPECT_EQ(grab.SetActiveCommPort(1), 0);
}

using EmulatorLifecycle = EmulatorTest;

TEST_F(EmulatorLifecycle, BitsOfMinus24AskForTwentyFourAndPositiveBitsKeepTheCurrentDepth) {
    writeNumberedFiles(folder_.path(), 1, kWidth, kHeight);
    playFolder();
    ASSERT_EQ(grab_->Create(0, 0, kWidth, kHeight, 24, 5, 5000), 1);
    EXPECT_EQ(grab_->GetBitPP(), 8u);
    ASSERT_EQ(grab_->Create(0, 0, kWidth, kHeight, static_cast<std::uint32_t>(-24), 5, 5000), 1);
    EXPECT_EQ(grab_->GetBitPP(), 24u);
}

TEST_F(EmulatorLifecycle, RingOfOneSlotCannotStart) {
    writeNumberedFiles(folder_.path(), 1, kWidth, kHeight);
    playFolder(kWidth, kHeight, 1);
    EXPECT_EQ(grab_->Start(), 0);
    EXPECT_EQ(grab_->IsGrabRunning(), 0);
    ASSERT_EQ(grab_->Create(0, 0, kWidth, kHeight, kKeep, 2, kKeep), 1);
    EXPECT_EQ(grab_->Start(), 1);
    EXPECT_EQ(grab_->IsGrabRunning(), 1);
}

TEST_F(EmulatorLifecycle, NewImagePathWithoutSizeChangesOnlyThePath) {
    writeNumberedFiles(folder_.path(), 1, kWidth, kHeight);
    playFolder();
    std::string other = (folder_.path() / "elsewhere").string();
    EXPECT_EQ(grab_->EmulateFromNewImagePath(other.data(), 0, 480), 0);
    EXPECT_STREQ(grab_->GetImagePath(), other.c_str());
    EXPECT_EQ(grab_->IsGrabCreated(), 1);
    EXPECT_EQ(grab_->GetWidth(), kWidth);
}

TEST_F(EmulatorLifecycle, NewImagePathLeavesTheGrabCreatedButStopped) {
    writeNumberedFiles(folder_.path(), 2, kWidth, kHeight);
    playFolder();
    log_.attach(*grab_);
    ASSERT_EQ(grab_->Start(), 1);
    std::string path = folder_.string();
    EXPECT_EQ(grab_->EmulateFromNewImagePath(path.data(), 2 * kWidth, kHeight), 1);
    EXPECT_EQ(grab_->IsGrabCreated(), 1);
    EXPECT_EQ(grab_->IsGrabRunning(), 0);
    EXPECT_EQ(grab_->GetWidth(), 2 * kWidth);
    EXPECT_STREQ(grab_->GetImagePath(), path.c_str());
}

TEST_F(EmulatorLifecycle, TerminateKeepsTheObjectReusable) {
    writeNumberedFiles(folder_.path(), 1, kWidth, kHeight);
    playFolder();
    ASSERT_EQ(grab_->Start(), 1);
    EXPECT_EQ(grab_->Terminate(), 1);
    EXPECT_EQ(grab_->IsGrabInitialized(), 0);
    EXPECT_EQ(grab_->IsGrabCreated(), 0);
    EXPECT_EQ(grab_->IsGrabRunning(), 0);
    EXPECT_STREQ(grab_->GetImagePath(), folder_.string().c_str());
    ASSERT_EQ(grab_->Initialize(), 1);
    EXPECT_EQ(grab_->Create(0, 0, kWidth, kHeight, kKeep, kKeep, kKeep), 1);
}

// Deleting needs no prior call in any state; leaks and stray threads show under the sanitizers.
TEST(EmulatorObject, DeletingReleasesEverythingInEveryState) {
    grab_test::TempFolder folder;
    writeNumberedFiles(folder.path(), 2, 64, 48);
    std::string path = folder.string();
    for (int state = 0; state < 4; ++state) {
        IXGrab* grab = new CIGrabEmu();
        if (state >= 1) {
            ASSERT_EQ(grab->Initialize(), 1);
        }
        if (state >= 2) {
            ASSERT_EQ(grab->EmulateFromNewImagePath(path.data(), 64, 48), 1);
        }
        if (state >= 3) {
            ASSERT_EQ(grab->Start(), 1);
        }
        delete grab;
    }
    IXGrab* running = new CIGrabEmu();
    ASSERT_EQ(running->Initialize(), 1);
    ASSERT_EQ(running->EmulateFromNewImagePath(path.data(), 64, 48), 1);
    ASSERT_EQ(running->Start(), 1);
    EXPECT_EQ(TamraGrabDelete(running), 1);
}

}  // namespace
