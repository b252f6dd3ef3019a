// The emulator's counters as a client reads them: every trigger ends in exactly one of
// delivered, dropped, discarded at Stop or merged; frames left in the ring at Stop are counted;
// Start begins the count again.
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

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

// A client whose first buffer callback blocks until the test lets it go, and then stops the
// grab from inside the callback, so that the frames behind it stay in the ring.
class StoppingClient {
public:
    explicit StoppingClient(IXGrab& grab) : grab_(grab) {
        grab.RegisterBufferCallback(&StoppingClient::onFrame, this);
        grab.RegisterTrashCallback(&StoppingClient::onTrash, this);
    }

    bool waitForFrames(int count) {
        return waitUntil([&] { return frames_ >= count; });
    }
    bool waitForTrash(int count) {
        return waitUntil([&] { return trash_ >= count; });
    }
    // The first callback has stopped the grab and is returning.
    bool waitForStopInside() {
        return waitUntil([&] { return stopped_; });
    }
    void letGo() {
        std::lock_guard<std::mutex> guard(lock_);
        released_ = true;
        changed_.notify_all();
    }
    // Read inside the first callback, before it was let go.
    TamraCounters seenInCallback() const { return seenInCallback_; }

private:
    static int onFrame(unsigned char*, unsigned int, std::int64_t, void* self) {
        auto& client = *static_cast<StoppingClient*>(self);
        TamraGetCounters(&client.grab_, &client.seenInCallback_);
        std::unique_lock<std::mutex> guard(client.lock_);
        ++client.frames_;
        client.changed_.notify_all();
        client.changed_.wait(guard, [&] { return client.released_; });
        guard.unlock();
        client.grab_.Stop();
        guard.lock();
        client.stopped_ = true;
        client.changed_.notify_all();
        return 0;
    }
    static int onTrash(unsigned char*, unsigned int, std::int64_t, void* self) {
        auto& client = *static_cast<StoppingClient*>(self);
        std::lock_guard<std::mutex> guard(client.lock_);
        ++client.trash_;
        client.changed_.notify_all();
        return 0;
    }
    template <typename Ready>
    bool waitUntil(Ready ready) {
        std::unique_lock<std::mutex> guard(lock_);
        return changed_.wait_for(guard, milliseconds(10000), ready);
    }

    IXGrab& grab_;
    std::mutex lock_;
    std::condition_variable changed_;
    int frames_ = 0;
    int trash_ = 0;
    bool released_ = false;
    bool stopped_ = false;
    TamraCounters seenInCallback_{};
};

// Ring of two slots. Trigger 1 is delivered and held by the client, trigger 2 is composed into
// the other slot, trigger 3 finds slot 0 still held and is dropped; then a burst of triggers
// merges or drops, and Stop comes from inside the held callback: frame 2 never leaves the ring.
TEST_F(EmulatorCounters, FastTriggersAgainstASlowClientAddUpAndStopCountsTheRing) {
    writeNumberedFiles(folder_.path(), 2, kWidth, kHeight);
    playFolder(kWidth, kHeight, 3);
    grab_->SetTriggerMethod(IXGrab::TRIG_SOFTWARE);
    StoppingClient client(*grab_);
    ASSERT_EQ(grab_->Start(), 1);
    grab_->GenerateSoftTrigger(0);
    ASSERT_TRUE(client.waitForFrames(1));
    grab_->GenerateSoftTrigger(0);
    ASSERT_TRUE(grab_test::waitForComposed(*grab_, 2));
    grab_->GenerateSoftTrigger(0);
    ASSERT_TRUE(client.waitForTrash(1));
    constexpr int kBurst = 200;
    for (int i = 0; i < kBurst; ++i) grab_->GenerateSoftTrigger(0);
    client.letGo();
    ASSERT_TRUE(client.waitForStopInside());
    ASSERT_EQ(grab_->Stop(), 1);

    const TamraCounters c = countersOf(*grab_);
    EXPECT_EQ(c.triggersGiven, 3u + kBurst);
    EXPECT_EQ(c.framesComposed, 2u);
    EXPECT_EQ(c.framesDelivered, 1u);
    EXPECT_GE(c.framesDropped, 1u);
    EXPECT_GE(c.framesDiscardedAtStop, 1u);
    EXPECT_EQ(c.framesSubstituted, 0u);
    EXPECT_EQ(c.triggersGiven, endings(c));
    // Inside the first callback its own frame already counted as delivered.
    EXPECT_EQ(client.seenInCallback().framesDelivered, 1u);
    EXPECT_EQ(client.seenInCallback().triggersGiven, 1u);
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
