// The emulator's lifecycle states as a client meets them: which operation each state refuses and
// with what message, callbacks replaced while frames flow, deleting the grab from inside its
// own callback, and a setter that restarts a running grab (the sanitizer builds run these too).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include <tamra/Tamra.h>

#include "acquisition_support.h"

namespace {

using acquisition_test::Delivery;
using acquisition_test::EmulatorTest;
using acquisition_test::levelOf;
using acquisition_test::milliseconds;
using acquisition_test::writeNumberedFiles;

enum class Phase { NotInitialized, Initialized, Created, Running, InCallback };

struct Operation {
    const char* name;
    std::function<int(CIGrabEmu&, std::string& folder)> call;
};

// What each operation does in each phase: its result and the message it leaves ("" when it
// leaves the previous one in place).
struct Outcome {
    int result;
    const char* message;
};

constexpr const char kNotInit[] = "Grab not initialized";
constexpr const char kAlready[] = "Grab already initialized";
constexpr const char kNotCreated[] = "Grab not created";
constexpr const char kInCallback[] = "Called from an acquisition callback";

const Operation kOperations[] = {
    {"Initialize", [](CIGrabEmu& g, std::string&) { return g.Initialize(); }},
    {"Create", [](CIGrabEmu& g, std::string&) { return g.Create(0, 0, 64, 48, 8, 5, 5000); }},
    {"Start", [](CIGrabEmu& g, std::string&) { return g.Start(); }},
    {"Stop", [](CIGrabEmu& g, std::string&) { return g.Stop(); }},
    {"Destroy", [](CIGrabEmu& g, std::string&) { return g.Destroy(); }},
    {"Terminate", [](CIGrabEmu& g, std::string&) { return g.Terminate(); }},
    {"SetImageColor",
     [](CIGrabEmu& g, std::string&) { return g.SetImageColor(IFW_IMAGE_COLOR_COLOR32); }},
    {"EmulateFromNewImagePath",
     [](CIGrabEmu& g, std::string& folder) {
         return g.EmulateFromNewImagePath(folder.data(), 64, 48);
     }},
};

// Rows follow kOperations; columns NotInitialized, Initialized, Created, Running, InCallback.
// Outside a callback a new image path re-creates the grab, so before Initialize it is that
// Create which refuses.
const Outcome kTable[][5] = {
    {{1, ""}, {0, kAlready}, {0, kAlready}, {0, kAlready}, {0, kAlready}},
    {{0, kNotInit}, {1, ""}, {1, ""}, {1, ""}, {0, kInCallback}},
    {{0, kNotCreated}, {0, kNotCreated}, {1, ""}, {1, ""}, {0, kInCallback}},
    {{1, ""}, {1, ""}, {1, ""}, {1, ""}, {1, ""}},
    {{1, ""}, {1, ""}, {1, ""}, {1, ""}, {0, kInCallback}},
    {{1, ""}, {1, ""}, {1, ""}, {1, ""}, {0, kInCallback}},
    {{0, kNotInit}, {1, ""}, {1, ""}, {1, ""}, {0, kInCallback}},
    {{1, "CIGrab::Create: Grab not initialized"}, {1, ""}, {1, ""}, {1, ""}, {0, kInCallback}},
};

std::string expectedMessage(const char* operation, const char* message, const std::string& before) {
    if (message[0] == '\0') return before;
    if (std::string(message).find("::") != std::string::npos) return message;
    return std::string("CIGrab::") + operation + ": " + message;
}

using EmulatorStates = EmulatorTest;

TEST_F(EmulatorStates, EachOperationIsAdmittedOrRefusedByTheStateWithItsMessage) {
    writeNumberedFiles(folder_.path(), 1, kWidth, kHeight);
    std::string folder = folder_.string();
    for (std::size_t op = 0; op < std::size(kOperations); ++op) {
        for (int phase = 0; phase <= static_cast<int>(Phase::InCallback); ++phase) {
            const Operation& operation = kOperations[op];
            const Outcome& outcome = kTable[op][phase];
            SCOPED_TRACE(std::string(operation.name) + " in phase " + std::to_string(phase));
            log_.openGate();
            grab_ = std::make_unique<CIGrabEmu>();
            if (phase == static_cast<int>(Phase::Initialized)) {
                ASSERT_EQ(grab_->Initialize(), 1);
            }
            if (phase >= static_cast<int>(Phase::Created)) playFolder();
            if (phase == static_cast<int>(Phase::Running)) {
                ASSERT_EQ(grab_->Start(), 1);
            }
            int result = -1;
            std::string before = grab_->GetLastErrorMsg();
            std::string after;
            if (phase != static_cast<int>(Phase::InCallback)) {
                result = operation.call(*grab_, folder);
                after = grab_->GetLastErrorMsg();
            } else {
                // Only Initialize leaves acquisition running; the callback then stops it.
                int runningAfter = -1;
                grab_->SetTriggerMethod(IXGrab::TRIG_SOFTWARE);
                log_.setAction([&](const Delivery&) {
                    result = operation.call(*grab_, folder);
                    after = grab_->GetLastErrorMsg();
                    runningAfter = grab_->IsGrabRunning();
                    grab_->Stop();
                });
                log_.attach(*grab_);
                const std::size_t exits = log_.exitCount();
                ASSERT_EQ(grab_->Start(), 1);
                grab_->GenerateSoftTrigger(0);
                ASSERT_TRUE(log_.waitForExits(exits + 1));
                ASSERT_EQ(grab_->Stop(), 1);  // joins the delivery thread
                EXPECT_EQ(runningAfter, op == 0 ? 1 : 0);
                EXPECT_EQ(grab_->IsGrabCreated(), 1);
                log_.setAction(nullptr);
            }
            EXPECT_EQ(result, outcome.result);
            EXPECT_EQ(after, expectedMessage(operation.name, outcome.message, before));
        }
    }
}

// Two registrations, each a function that checks it got its own context.
struct Pairing {
    std::atomic<int> calls{0};
    std::atomic<int> mismatches{0};
};

struct Tagged {
    Pairing* pairing;
    char tag;
};

template <char Tag>
int taggedFrame(unsigned char*, unsigned int, std::int64_t, void* context) {
    auto* tagged = static_cast<Tagged*>(context);
    if (tagged->tag != Tag) tagged->pairing->mismatches.fetch_add(1);
    tagged->pairing->calls.fetch_add(1);
    return 0;
}

TEST_F(EmulatorStates, CallbacksReplacedWhileFramesFlowAlwaysGetTheirOwnContext) {
    writeNumberedFiles(folder_.path(), 1, kWidth, kHeight);
    playFolder(kWidth, kHeight, 3);
    grab_->SetTriggerMethod(IXGrab::TRIG_SOFTWARE);
    Pairing pairing;
    Tagged a{&pairing, 'A'};
    Tagged b{&pairing, 'B'};
    ASSERT_EQ(grab_->Start(), 1);
    constexpr int kCalls = 100;
    const auto deadline = acquisition_test::Clock::now() + std::chrono::seconds(30);
    for (int round = 0; pairing.calls.load() < kCalls; ++round) {
        ASSERT_LT(acquisition_test::Clock::now(), deadline) << "frames stopped coming";
        if (round % 2 == 0) {
            grab_->RegisterBufferCallback(taggedFrame<'A'>, &a);
        } else {
            grab_->RegisterBufferCallback(taggedFrame<'B'>, &b);
        }
        grab_->GenerateSoftTrigger(0);
    }
    grab_->Stop();
    EXPECT_EQ(pairing.mismatches.load(), 0);
}

// The grab deletes itself in its first buffer callback; the exit callback, called when the
// library's thread is done with everything, tells the test that the thread has ended.
struct SelfDelete {
    IXGrab* grab = nullptr;
    bool throughFactory = false;
    int deleteResult = -1;
    std::mutex lock;
    std::condition_variable ended;
    bool exited = false;
};

int deleteOwnGrab(unsigned char*, unsigned int, std::int64_t, void* context) {
    auto* self = static_cast<SelfDelete*>(context);
    if (self->grab == nullptr) return 0;
    IXGrab* grab = self->grab;
    self->grab = nullptr;
    if (self->throughFactory) {
        self->deleteResult = TamraGrabDelete(grab);
    } else {
        delete grab;
    }
    return 0;
}

int noteExit(void* context) {
    auto* self = static_cast<SelfDelete*>(context);
    std::lock_guard<std::mutex> guard(self->lock);
    self->exited = true;
    self->ended.notify_all();
    return 0;
}

TEST_F(EmulatorStates, DeletingTheGrabInsideItsOwnCallbackEndsItsThreadCleanly) {
    writeNumberedFiles(folder_.path(), 2, kWidth, kHeight);
    std::string folder = folder_.string();
    for (bool throughFactory : {false, true}) {
        SCOPED_TRACE(throughFactory ? "TamraGrabDelete" : "delete");
        SelfDelete self;
        self.throughFactory = throughFactory;
        auto* grab = new CIGrabEmu(0);
        self.grab = grab;
        ASSERT_EQ(grab->Initialize(), 1);
        ASSERT_EQ(grab->EmulateFromNewImagePath(folder.data(), kWidth, kHeight), 1);
        grab->SetTriggerMethod(IXGrab::TRIG_SOFTWARE);
        grab->RegisterBufferCallback(deleteOwnGrab, &self);
        grab->RegisterAcqThreadExitCallback(noteExit, &self);
        ASSERT_EQ(grab->Start(), 1);
        grab->GenerateSoftTrigger(0);
        std::unique_lock<std::mutex> lock(self.lock);
        ASSERT_TRUE(self.ended.wait_for(lock, milliseconds(5000), [&] { return self.exited; }));
        EXPECT_EQ(self.grab, nullptr);
        // Terminate is refused inside the callback; the object is deleted all the same.
        EXPECT_EQ(self.deleteResult, throughFactory ? 0 : -1);
    }
}

TEST_F(EmulatorStates, ColourChangeOnARunningGrabStopsAndStartsItOnceAndKeepsTheFileOrder) {
    writeNumberedFiles(folder_.path(), 4, kWidth, kHeight);
    playFolder();
    startTriggered();
    ASSERT_TRUE(triggerAndWait(1));
    ASSERT_TRUE(triggerAndWait(2));
    ASSERT_EQ(log_.exitCount(), 0u);
    ASSERT_EQ(grab_->SetImageColor(IFW_IMAGE_COLOR_COLOR32), 1);
    EXPECT_EQ(log_.exitCount(), 1u) << "one stop";
    EXPECT_EQ(grab_->IsGrabRunning(), 1);
    ASSERT_TRUE(triggerAndWait(3)) << "frames keep coming";
    // The folder was not scanned again: the third frame is the third file, in the new layout
    // (blue, green, red, unused for each pixel).
    const std::vector<Delivery> frames = log_.frames();
    EXPECT_EQ(frames[0].pixels[0], levelOf(0));
    EXPECT_EQ(frames[1].pixels[0], levelOf(1));
    EXPECT_EQ(frames[2].pixels[0], levelOf(2));
    EXPECT_EQ(frames[2].pixels[2], levelOf(2));
}

}  // namespace
