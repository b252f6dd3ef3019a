// The ring's slot state and the engine's kernel objects, outside any grab object.
#include <gtest/gtest.h>

#include <cstdint>

#include "emulator/Acquisition.h"

namespace {

using tamra::emulator::Acquisition;

TEST(SlotState, LockFlagsExistForEverySlotButTheSpare) {
    Acquisition engine;
    ASSERT_TRUE(engine.allocateSlotState(5));
    for (unsigned int slot = 0; slot < 4; ++slot) {
        EXPECT_EQ(engine.isSlotLocked(slot), 0);
        EXPECT_EQ(engine.lockSlot(slot), 1);
        EXPECT_EQ(engine.isSlotLocked(slot), 1);
    }
    EXPECT_EQ(engine.unlockSlot(2), 1);
    EXPECT_EQ(engine.isSlotLocked(2), 0);
    EXPECT_EQ(engine.isSlotLocked(3), 1);
    for (unsigned int beyond : {4u, 5u, 0xFFFFFFFFu}) {
        EXPECT_EQ(engine.lockSlot(beyond), 0);
        EXPECT_EQ(engine.isSlotLocked(beyond), 0);
        EXPECT_EQ(engine.unlockSlot(beyond), 0);
    }
    engine.clearLocks();
    for (unsigned int slot = 0; slot < 4; ++slot) EXPECT_EQ(engine.isSlotLocked(slot), 0);
}

TEST(SlotState, NothingAnswersBeforeCreateOrAfterDestroyAndNewStateStartsAtZero) {
    Acquisition engine;
    EXPECT_EQ(engine.lockSlot(0), 0);
    EXPECT_EQ(engine.fillCount(0), 0u);
    ASSERT_TRUE(engine.allocateSlotState(4));
    ASSERT_EQ(engine.lockSlot(1), 1);
    ASSERT_TRUE(engine.allocateSlotState(4));
    EXPECT_EQ(engine.isSlotLocked(1), 0);
    for (unsigned int slot = 0; slot < 4; ++slot) EXPECT_EQ(engine.fillCount(slot), 0u);
    ASSERT_EQ(engine.lockSlot(0), 1);
    engine.releaseSlotState();
    EXPECT_EQ(engine.isSlotLocked(0), 0);
    EXPECT_EQ(engine.lockSlot(0), 0);
}

TEST(EngineObjects, RingOfOneSlotGetsNoFrameReadySemaphore) {
    Acquisition engine;
    EXPECT_FALSE(engine.createSemaphores(1));
    engine.stop();  // closes what was made
    EXPECT_TRUE(engine.createSemaphores(2));
    engine.stop();
}

TEST(EngineObjects, StopAndTriggerAreSafeWithoutThreadsOrSemaphores) {
    Acquisition engine;
    engine.releaseTrigger();
    engine.stop();
    engine.stop();
    EXPECT_FALSE(engine.isOwnThread());
    ASSERT_TRUE(engine.createSemaphores(3));
    engine.releaseTrigger();
    engine.releaseTrigger();  // past the maximum: lost, not an error
    engine.stop();
    engine.releaseTrigger();
}

}  // namespace
