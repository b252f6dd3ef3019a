// Grab-core lifecycle as a client sees it: the state flags, the two threads of the core, and the
// defaults of the root class. Which state refuses what is in acquisition_StateTest.cpp.
#include <string>
#include <thread>

#include "grab_support.h"

namespace grab_test {
namespace {

TEST(CoreLifecycle, FreshObjectIsIdleAndHasNoMessage) {
    CIGrab grab;
    EXPECT_STREQ(grab.GetLastErrorMsg(), "");
    EXPECT_EQ(grab.Terminate(), 1);
    EXPECT_EQ(grab.GetGrabType(), IFW_IGRAB_CORE);
    EXPECT_EQ(grab.IsGrabInitialized(), 0);
    EXPECT_EQ(grab.IsGrabCreated(), 0);
    EXPECT_EQ(grab.IsGrabRunning(), 0);
    EXPECT_EQ(grab.IsIORunning(), 0);
    EXPECT_EQ(grab.GetAcqThreadID(), 0u);
}

TEST(CoreLifecycle, ASuccessLeavesTheLastMessageInPlace) {
    CoreGrab grab;
    grab.Initialize();
    EXPECT_EQ(grab.Start(), 0);
    ASSERT_EQ(grab.Create(kKeep, kKeep, kKeep, kKeep, kKeep, kKeep, kKeep), 1);
    ASSERT_EQ(grab.Start(), 1);
    EXPECT_STREQ(grab.GetLastErrorMsg(), "CIGrab::Start: Grab not created");
    EXPECT_EQ(grab.GetLastErrorMsg(), grab.GetLastErrorMsg()) << "the buffer itself is returned";
}

TEST(CoreLifecycle, BareCoreStartsItsSchedulerButStaysUninitialised) {
    CIGrab grab;
    EXPECT_EQ(grab.Initialize(), 1);
    EXPECT_EQ(grab.IsGrabInitialized(), 0);
    EXPECT_EQ(grab.IsIORunning(), 1);
    EXPECT_EQ(grab.Initialize(), 1) << "the flag the back end sets is still clear";
    EXPECT_EQ(grab.Create(0, 0, 640, 480, 8, 5, 5000), 0);
    EXPECT_STREQ(grab.GetLastErrorMsg(), "CIGrab::Create: Grab not initialized");
    EXPECT_EQ(grab.Terminate(), 1);
    EXPECT_EQ(grab.IsIORunning(), 1) << "never cleared";
}

TEST(CoreLifecycle, FlagsFollowTheBackEndThroughTheWholeLifecycle) {
    CoreGrab grab;
    ASSERT_EQ(grab.Initialize(), 1);
    ASSERT_EQ(grab.Create(kKeep, kKeep, kKeep, kKeep, kKeep, kKeep, kKeep), 1);
    ASSERT_EQ(grab.Start(), 1);
    EXPECT_EQ(grab.IsGrabRunning(), 1);
    ASSERT_EQ(grab.Start(), 1) << "a running object is stopped and started again";
    EXPECT_EQ(grab.IsGrabRunning(), 1);
    EXPECT_EQ(grab.Stop(), 1);
    EXPECT_EQ(grab.IsGrabRunning(), 0);
    EXPECT_EQ(grab.IsGrabCreated(), 1);
    grab.Start();
    EXPECT_EQ(grab.Destroy(), 1);
    EXPECT_EQ(grab.IsGrabRunning(), 0);
    EXPECT_EQ(grab.IsGrabCreated(), 0);
    EXPECT_EQ(grab.GetFramePtr(0), nullptr);
    EXPECT_EQ(grab.GetRingBufferSize(), 0u);
    EXPECT_EQ(grab.IsGrabInitialized(), 1);
    EXPECT_EQ(grab.Terminate(), 1);
    EXPECT_EQ(grab.IsGrabInitialized(), 0);
    EXPECT_EQ(grab.IsIORunning(), 1);
}

TEST(CoreLifecycle, ARefusedCreateHasDestroyedThePreviousBuffers) {
    CoreGrab grab;
    grab.Initialize();
    ASSERT_EQ(grab.Create(0, 0, 640, 480, 8, 5, 5000), 1);
    ASSERT_EQ(grab.Start(), 1);
    EXPECT_EQ(grab.Create(0, 700, 640, 480, 8, 5, 5000), 0);
    EXPECT_STREQ(grab.GetLastErrorMsg(), "CIGrab::Create: Crop boundaries exceed max image size");
    EXPECT_EQ(grab.IsGrabCreated(), 0);
    EXPECT_EQ(grab.IsGrabRunning(), 0);
    EXPECT_EQ(grab.GetFramePtr(0), nullptr);
    EXPECT_EQ(grab.GetOffsetY(), 0u) << "a refused geometry is not stored";
}

TEST(CoreLifecycle, HousekeepingTogglesTheLedOnItsOwnThreadOnceASecondUntilDestroy) {
    CoreGrab grab;
    grab.Initialize();
    ASSERT_EQ(grab.Create(kKeep, kKeep, kKeep, kKeep, kKeep, kKeep, kKeep), 1);
    const Clock::time_point created = Clock::now();
    ASSERT_TRUE(eventually([&] { return grab.toggles.load() >= 1; }, milliseconds(5000)));
    EXPECT_GE(Clock::now() - created, milliseconds(950)) << "only after a full second";
    EXPECT_EQ(grab.toggleValue.load(), 1u);
    EXPECT_FALSE(grab.toggledOnClientThread.load());
    EXPECT_STREQ(grab.GetLastErrorMsg(), "") << "ToggleLed succeeds on an initialised grab";

    const Clock::time_point before = Clock::now();
    grab.Destroy();
    // The thread would otherwise sit out the rest of its one-second wait.
    EXPECT_LT(Clock::now() - before, milliseconds(900));
    const int toggles = grab.toggles.load();
    std::this_thread::sleep_for(milliseconds(1200));  // time for a toggle that must not come
    EXPECT_EQ(grab.toggles.load(), toggles) << "no toggle after Destroy";
}

TEST(CoreLifecycle, NoThreadIsLeftAfterTerminate) {
    // A sanitizer runtime starts its own helper thread with the first thread; let it.
    std::thread([] {}).join();
    const int before = processThreadCount();
    if (before < 0) GTEST_SKIP() << "the thread count is not available here";
    for (int i = 0; i < 20; ++i) {
        CoreGrab grab;
        ASSERT_EQ(grab.Initialize(), 1);
        ASSERT_EQ(grab.Create(0, 0, 320 + 8 * i, 240, 8, 3, 100), 1);
        ASSERT_EQ(grab.Start(), 1);
        ASSERT_EQ(grab.GeneratePulseOutPort(2, 1, 5, 5), 1);
        if (i > 0) continue;
        EXPECT_EQ(processThreadCount(), before + 2) << "scheduler and housekeeping";
        grab.Destroy();
        EXPECT_EQ(processThreadCount(), before + 1) << "Destroy stops housekeeping only";
        grab.Terminate();
        EXPECT_EQ(processThreadCount(), before);
    }
    EXPECT_EQ(processThreadCount(), before);
    RootGrab root;
    root.Initialize();
    ASSERT_EQ(root.Create(kKeep, kKeep, kKeep, kKeep, kKeep, kKeep, kKeep), 1);
    EXPECT_EQ(processThreadCount(), before) << "the root class starts no thread";
}

TEST(CoreLifecycle, AnObjectCanBeInitialisedAgainAfterTerminate) {
    CoreGrab grab;
    grab.Initialize();
    grab.Terminate();
    ASSERT_EQ(grab.Initialize(), 1);
    ASSERT_EQ(grab.SetOutputPort(9, 0), 1);
    grab.GeneratePulseOutPort(9, 1, 10, 0);
    EXPECT_TRUE(eventually([&] { return grab.GetOutputPortVal(9) == 1; }))
        << "the scheduler runs again after a new Initialize";
}

TEST(CoreLifecycle, DeletingThroughTheRootRunsTheBackEndsDestructor) {
    IXGrab* grab = new CoreGrab;
    grab->Initialize();
    grab->Create(kKeep, kKeep, kKeep, kKeep, kKeep, kKeep, kKeep);
    delete grab;  // the back end terminates; sanitizers check that nothing is left
    SUCCEED();
}

TEST(RootLifecycle, RootDefaultsThatDifferFromTheCore) {
    RootGrab grab;
    EXPECT_EQ(grab.GeneratePulseOutPort(3, 1, 0, 10), 0);
    grab.Initialize();
    EXPECT_EQ(grab.IsGrabInitialized(), 1);
    EXPECT_EQ(grab.GetCamAttr(nullptr), 0);
    EXPECT_STREQ(grab.GetLastErrorMsg(), "IXGrab::GetCamAttr: Invalid argument");
    EXPECT_EQ(grab.SetFrameDelay(0), 1);
    EXPECT_EQ(grab.GetFrameDelay(), 1u);
    IXGrab bare;
    EXPECT_EQ(bare.Initialize(), 1);
    EXPECT_EQ(bare.IsGrabInitialized(), 0);
}

TEST(CoreLifecycle, FrameDelayIsStoredBeforeTheStateCheck) {
    CoreGrab grab;
    EXPECT_EQ(grab.GetFrameDelay(), 1u);
    EXPECT_EQ(grab.SetFrameDelay(10), 0);
    EXPECT_EQ(grab.GetFrameDelay(), 10u);
    grab.Initialize();
    EXPECT_EQ(grab.SetFrameDelay(0), 1);
    EXPECT_EQ(grab.GetFrameDelay(), 1u) << "0 is stored as 1";
}

}  // namespace
}  // namespace grab_test
