// Counters and frame records: every trigger ends delivered, dropped, discarded at Stop or merged;
// Start begins the count again; each record names the file in its own frame.
#include <fstream>
#include <future>
#include <tuple>
#include <utility>

#include "grab_support.h"

namespace grab_test {
namespace {

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
    playNumbered(2, 3);
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

// Free run: every composed frame is delivered or discarded at Stop; Start resets the count.
TEST_F(EmulatorCounters, FreeRunCountsComposedFramesAndStartResetsTheCount) {
    playNumbered(1, 3);
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

using EmulatorRecords = EmulatorTest;

std::string fileName(const char* path) {
    return std::filesystem::path(path).filename().string();
}

// The client holds frame 1 while frames 2 to 4 are composed and trigger 5 is dropped; later
// callbacks see GetImageFileName name frame 4's file, each record its own frame's.
TEST_F(EmulatorRecords, EachRecordNamesTheFileInItsOwnFrame) {
    playNumbered(5, 5);
    grab_->SetTriggerMethod(IXGrab::TRIG_SOFTWARE);
    // Frames 2 to 4 come after the producer's last frame, so it is idle while they read the name
    // of the file it served last (it writes that name while it composes).
    std::vector<std::string> latestFiles;  // read after Stop, which joins the delivery thread
    log_.setAction([&](const Delivery&) {
        if (log_.frameCount() > 1)
            latestFiles.push_back(fileName(grab_->GetImageFileName(0, 0, 0)));
    });
    log_.attach(*grab_);
    log_.holdGate();
    ASSERT_EQ(grab_->Start(), 1);
    // One trigger at a time, each after the previous frame was composed, so that none merges.
    for (std::uint64_t k = 1; k <= 4; ++k) {
        grab_->GenerateSoftTrigger(0);
        ASSERT_TRUE(grab_test::waitForComposed(*grab_, k));
    }
    grab_->GenerateSoftTrigger(0);
    ASSERT_TRUE(log_.waitForTrash(1));
    log_.openGate();
    ASSERT_TRUE(log_.waitForFrames(4));
    TamraFrameRecord dropped{};
    ASSERT_EQ(TamraGetFrameRecord(grab_.get(), slot(4), &dropped), 1);
    ASSERT_EQ(grab_->Stop(), 1);

    const std::vector<Delivery> frames = log_.frames();
    ASSERT_EQ(frames.size(), 4u);
    for (std::uint32_t k = 0; k < 4; ++k) {
        SCOPED_TRACE("frame " + std::to_string(k + 1));
        const TamraFrameRecord& record = frames[k].record;
        ASSERT_EQ(record.planeCount, 1u);
        EXPECT_EQ(
            std::make_tuple(record.number, record.slot, fileName(record.planes[0].sourceFile),
                            record.planes[0].substituted, std::string(record.planes[0].reason)),
            std::make_tuple(std::uint64_t{k + 1}, k, "frame_0" + std::to_string(k) + ".bmp", 0,
                            std::string()));
        EXPECT_EQ(frames[k].pixels[0], levelOf(static_cast<int>(k)));
        EXPECT_GT(record.composeMicroseconds, 0.0);
    }
    EXPECT_EQ(latestFiles, std::vector<std::string>(3, "frame_03.bmp"));
    EXPECT_EQ(std::make_tuple(dropped.number, dropped.slot, dropped.planeCount),
              std::make_tuple(std::uint64_t{5}, 4u, 0u));
    // A pointer that starts no slot has no record.
    EXPECT_EQ(TamraGetFrameRecord(grab_.get(), slot(0) + 1, &dropped), 0);
}

}  // namespace
}  // namespace grab_test
