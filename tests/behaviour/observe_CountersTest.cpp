// The emulator's counters as a client reads them: every trigger ends in exactly one of
// delivered, dropped, discarded at Stop or merged; frames left in the ring at Stop are counted;
// Start begins the count again.
#include <gtest/gtest.h>

#include <cstdint>
#include <future>
#include <tuple>
#include <utility>

#include <tamra/Observe.h>
#include <tamra/Tamra.h>

#include "grab_support.h"

namespace {

using grab_test::EmulatorTest;
using grab_test::milliseconds;
using grab_test::writeNumberedFiles;

using EmulatorCounters = EmulatorTest;

TamraCounters countersOf(IXGrab& grab) {
    TamraCounters counters{};
    EXPECT_EQ(TamraGetCounters(&grab, &counters), 1);
    return counters;
}

std::uint64_t endings(const TamraCounters& c) {
    return c.framesDelivered + c.framesDropped + c.framesDiscardedAtStop + c.triggersMerged;
}

// Ring of two slots. Trigger 1 is delivered and held by the client, trigger 2 is composed into
// the other slot, trigger 3 finds slot 0 still held and is dropped; then a burst of triggers
// merges or drops, and Stop comes from inside the held callback: frame 2 never leaves the ring.
TEST_F(EmulatorCounters, FastTriggersAgainstASlowClientAddUpAndStopCountsTheRing) {
    writeNumberedFiles(folder_.path(), 2, kWidth, kHeight);
    playFolder(kWidth, kHeight, 3);
    grab_->SetTriggerMethod(IXGrab::TRIG_SOFTWARE);
    TamraCounters seenInCallback{};
    std::promise<void> counted, stoppedInside;
    std::promise<void> letGo;  // destroyed first: a failed test still lets the callback go
    log_.setAction([&, released = letGo.get_future().share()](const grab_test::Delivery&) {
        TamraGetCounters(grab_.get(), &seenInCallback);
        counted.set_value();
        released.wait();
        grab_->Stop();
        stoppedInside.set_value();
    });
    log_.attach(*grab_);
    ASSERT_EQ(grab_->Start(), 1);
    grab_->GenerateSoftTrigger(0);
    ASSERT_EQ(counted.get_future().wait_for(milliseconds(10000)), std::future_status::ready);
    grab_->GenerateSoftTrigger(0);
    ASSERT_TRUE(grab_test::waitForComposed(*grab_, 2));
    grab_->GenerateSoftTrigger(0);
    ASSERT_TRUE(log_.waitForTrash(1));
    constexpr int kBurst = 200;
    for (int i = 0; i < kBurst; ++i) grab_->GenerateSoftTrigger(0);
    letGo.set_value();
    stoppedInside.get_future().wait();
    ASSERT_EQ(grab_->Stop(), 1);

    const TamraCounters c = countersOf(*grab_);
    EXPECT_EQ(std::make_tuple(c.triggersGiven, c.framesComposed, c.framesDelivered,
                              c.framesSubstituted, endings(c)),
              std::make_tuple(3u + kBurst, 2u, 1u, 0u, 3u + kBurst));
    EXPECT_GE(c.framesDropped, 1u);
    EXPECT_GE(c.framesDiscardedAtStop, 1u);
    // Inside the first callback its own frame already counted as delivered.
    EXPECT_EQ(std::make_pair(seenInCallback.framesDelivered, seenInCallback.triggersGiven),
              std::make_pair(std::uint64_t{1}, std::uint64_t{1}));
    // Readable after Stop, and a second Stop counts nothing twice.
    ASSERT_EQ(grab_->Stop(), 1);
    EXPECT_EQ(endings(countersOf(*grab_)), endings(c));
}

// Free run: no triggers, and every composed frame is delivered or discarded at Stop. Start
// begins the count again.
TEST_F(EmulatorCounters, FreeRunCountsComposedFramesAndStartResetsTheCount) {
    writeNumberedFiles(folder_.path(), 1, kWidth, kHeight);
    playFolder(kWidth, kHeight, 3);
    log_.attach(*grab_);
    log_.holdGate();
    ASSERT_EQ(grab_->Start(), 1);
    ASSERT_TRUE(log_.waitForTrash(2));
    log_.openGate();
    ASSERT_EQ(grab_->Stop(), 1);
    TamraCounters c = countersOf(*grab_);
    EXPECT_EQ(c.triggersGiven, 0u);
    EXPECT_GE(c.framesDropped, 2u);
    EXPECT_GE(c.framesComposed, 2u);
    EXPECT_EQ(c.framesDelivered, log_.frameCount());
    EXPECT_EQ(c.framesComposed, c.framesDelivered + c.framesDiscardedAtStop);

    grab_->SetTriggerMethod(IXGrab::TRIG_SOFTWARE);
    ASSERT_EQ(grab_->Start(), 1);
    c = countersOf(*grab_);
    EXPECT_EQ(c.framesComposed + c.framesDelivered + c.framesDropped + c.framesDiscardedAtStop +
                  c.triggersGiven,
              0u);
    ASSERT_TRUE(triggerAndWait(log_.frameCount() + 1));
    ASSERT_EQ(grab_->Stop(), 1);
    c = countersOf(*grab_);
    EXPECT_EQ(c.triggersGiven, 1u);
    EXPECT_EQ(c.framesDelivered, 1u);
    EXPECT_EQ(c.triggersGiven, endings(c));
}

TEST(ObserveArguments, OnlyAnEmulatorAnswers) {
    TamraCounters counters{};
    TamraFrameRecord record{};
    unsigned char byte = 0;
    EXPECT_EQ(TamraGetCounters(nullptr, &counters), 0);
    EXPECT_EQ(TamraGetFrameRecord(nullptr, &byte, &record), 0);
    CIGrabBrixo other;
    EXPECT_EQ(TamraGetCounters(&other, &counters), 0);
    EXPECT_EQ(TamraGetFrameRecord(&other, &byte, &record), 0);
    CIGrabEmu emulator;
    EXPECT_EQ(TamraGetCounters(&emulator, nullptr), 0);
    EXPECT_EQ(TamraGetCounters(&emulator, &counters), 1);
    EXPECT_EQ(counters.triggersGiven + counters.framesComposed, 0u);
    // Not created: no slot to find.
    EXPECT_EQ(TamraGetFrameRecord(&emulator, &byte, &record), 0);
}

}  // namespace
