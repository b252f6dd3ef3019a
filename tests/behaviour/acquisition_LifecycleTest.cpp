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

// Deleting needs no prior call in any state; leaks and stray threads show under the sanitizers.
TEST(EmulatorObject, DeletingReleasesEverythingInEveryState) {
    grab_test::TempFolder folder;
    writeNumberedFiles(folder.path(), 2, 64, 48);
    std::string path = folder.string();
    for (int state = 0; state < 5; ++state) {
        IXGrab* grab = new CIGrabEmu();
        EXPECT_TRUE(state < 1 || grab->Initialize() == 1);
        EXPECT_TRUE(state < 2 || grab->EmulateFromNewImagePath(path.data(), 64, 48) == 1);
        EXPECT_TRUE(state < 3 || grab->Start() == 1);
        if (state < 4)
            delete grab;
        else
            EXPECT_EQ(TamraGrabDelete(grab), 1);
    }
}

}  // namespace
