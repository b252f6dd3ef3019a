// Grab-core lifecycle as a client sees it: the state flags, the two threads of the core, and the
// exported factory. Which state refuses what is in acquisition_StateTest.cpp.
#include <cstdio>
#include <cstring>

#include "grab_support.h"

namespace grab_test {
namespace {

// Initialised, created, running, and whether a ring is left.
std::vector<int> flagsOf(CoreGrab& g) {
    return {g.IsGrabInitialized(), g.IsGrabCreated(), g.IsGrabRunning(),
            g.GetFramePtr(0) != nullptr};
}

TEST(CoreLifecycle, FlagsFollowTheBackEndThroughTheWholeLifecycle) {
    CoreGrab grab;
    ASSERT_EQ(grab.Initialize(), 1);
    ASSERT_EQ(grab.Create(kKeep, kKeep, kKeep, kKeep, kKeep, kKeep, kKeep), 1);
    ASSERT_EQ(grab.Start(), 1);
    ASSERT_EQ(grab.Start(), 1) << "a running object is stopped and started again";
    EXPECT_EQ(flagsOf(grab), (std::vector<int>{1, 1, 1, 1}));
    EXPECT_EQ(grab.Stop(), 1);
    EXPECT_EQ(flagsOf(grab), (std::vector<int>{1, 1, 0, 1}));
    grab.Start();
    EXPECT_EQ(grab.Destroy(), 1);
    EXPECT_EQ(flagsOf(grab), (std::vector<int>{1, 0, 0, 0}));
    EXPECT_EQ(grab.GetRingBufferSize(), 0u);
    EXPECT_EQ(grab.Terminate(), 1);
    EXPECT_EQ(flagsOf(grab), (std::vector<int>{0, 0, 0, 0}));
    EXPECT_EQ(grab.IsIORunning(), 1);
}

TEST(CoreLifecycle, ARefusedCreateHasDestroyedThePreviousBuffers) {
    CoreGrab grab;
    grab.Initialize();
    ASSERT_EQ(grab.Create(0, 0, 640, 480, 8, 5, 5000), 1);
    ASSERT_EQ(grab.Start(), 1);
    EXPECT_EQ(grab.Create(0, 700, 640, 480, 8, 5, 5000), 0);
    EXPECT_STREQ(grab.GetLastErrorMsg(), "CIGrab::Create: Crop boundaries exceed max image size");
    EXPECT_EQ(flagsOf(grab), (std::vector<int>{1, 0, 0, 0}));
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
    // A joined thread may stay listed by the system for a moment after the join returns.
    const auto settlesAt = [](int count) {
        return eventually([&] { return processThreadCount() == count; });
    };
    for (int i = 0; i < 20; ++i) {
        CoreGrab grab;
        ASSERT_EQ(grab.Initialize(), 1);
        ASSERT_EQ(grab.Create(0, 0, 320 + 8 * i, 240, 8, 3, 100), 1);
        ASSERT_EQ(grab.Start(), 1);
        ASSERT_EQ(grab.GeneratePulseOutPort(2, 1, 5, 5), 1);
        if (i > 0) continue;
        EXPECT_EQ(processThreadCount(), before + 2) << "scheduler and housekeeping";
        grab.Destroy();
        EXPECT_TRUE(settlesAt(before + 1)) << "Destroy stops housekeeping only";
        grab.Terminate();
        EXPECT_TRUE(settlesAt(before));
    }
    EXPECT_TRUE(settlesAt(before));
    RootGrab root;
    root.Initialize();
    ASSERT_EQ(root.Create(kKeep, kKeep, kKeep, kKeep, kKeep, kKeep, kKeep), 1);
    EXPECT_EQ(processThreadCount(), before) << "the root class starts no thread";
}

IXGrab* instantiate(const char* type, std::string* bufferAfter = nullptr) {
    char buffer[16] = {};
    std::snprintf(buffer, sizeof buffer, "%s", type);
    IXGrab* grab = TamraGrabInstantiate(buffer);
    if (bufferAfter != nullptr) *bufferAfter = std::string(buffer, sizeof buffer);
    return grab;
}

class FactoryWord : public testing::TestWithParam<const char*> {};

// Every word yields an emulator, and the first eight bytes of the buffer are cleared.
TEST_P(FactoryWord, YieldsAnEmulatorAndClearsTheBuffer) {
    std::string after;
    IXGrab* grab = instantiate(GetParam(), &after);
    ASSERT_NE(grab, nullptr);
    EXPECT_EQ(grab->GetGrabType(), IFW_IGRAB_EMULATOR);
    char expected[16] = {};
    std::snprintf(expected, sizeof expected, "%s", GetParam());
    std::memset(expected, 0, 8);
    EXPECT_EQ(after, std::string(expected, sizeof expected));
    EXPECT_EQ(TamraGrabDelete(grab), 1);
}

INSTANTIATE_TEST_SUITE_P(TypeStrings, FactoryWord,
                         testing::Values("EMULATOR", "my-EMULATOR-x", "ZALBO-cam-12345", "emulator",
                                         "TRELL", "?"));

TEST(Factory, EmptyStringLeavesTheBufferAlone) {
    char buffer[16] = {'\0', 'K', 'E', 'E', 'P'};
    IXGrab* grab = TamraGrabInstantiate(buffer);
    ASSERT_NE(grab, nullptr);
    EXPECT_EQ(grab->GetGrabType(), IFW_IGRAB_EMULATOR);
    EXPECT_EQ(std::string(buffer, 5), std::string("\0KEEP", 5));
    EXPECT_EQ(TamraGrabDelete(grab), 1);
}

TEST(Factory, EveryCallMakesANewObjectAndDeletingNullReturnsZero) {
    IXGrab* first = instantiate("EMULATOR");
    IXGrab* second = instantiate("EMULATOR");
    EXPECT_NE(first, second);
    EXPECT_EQ(first->IsGrabInitialized(), 0);
    TamraGrabDelete(first);
    TamraGrabDelete(second);
    EXPECT_EQ(TamraGrabDelete(nullptr), 0);
}

}  // namespace
}  // namespace grab_test
