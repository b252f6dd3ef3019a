// Lifecycle states as a client meets them: which operation each state refuses and with what
// message (for the emulator and for the plain core), callbacks replaced while frames flow,
// deleting the grab from inside its own callback or in any state, and the emulator's own rules.
#include <cstring>
#include <tuple>
#include <utility>

#include "grab_support.h"

namespace grab_test {
namespace {

// An operation's result and message in a state ("": the previous one stays; "X::..." is whole).
struct Outcome {
    int result;
    const char* message;
};

constexpr Outcome kOk{1, ""};
constexpr const char kNotInit[] = "Grab not initialized";
constexpr const char kAlready[] = "Grab already initialized";
constexpr const char kNotCreated[] = "Grab not created";
constexpr const char kInCallback[] = "Called from an acquisition callback";
constexpr Outcome kRefusedNotInit{0, kNotInit};

std::string expectedMessage(const std::string& className, const char* operation,
                            const char* message, const std::string& before) {
    if (message[0] == '\0') return before;
    if (std::string(message).find("::") != std::string::npos) return message;
    const std::string name(operation);
    return className + "::" + name.substr(0, name.find('(')) + ": " + message;
}

enum Phase { kNotInitialized, kInitialized, kCreated, kRunning, kCallback };  // the emulator's

struct EmulatorRow {
    const char* name;
    std::function<int(CIGrabEmu&, std::string& folder)> call;
    Outcome outcomes[5];  // by Phase
};

// Outside a callback a new image path re-creates; before Initialize that Create refuses.
#define EMU(call) #call, [](CIGrabEmu & g, std::string&) { return g.call; }
const EmulatorRow kEmulatorTable[] = {
    {EMU(Initialize()), {kOk, {0, kAlready}, {0, kAlready}, {0, kAlready}, {0, kAlready}}},
    {EMU(Create(0, 0, 64, 48, 8, 5, 5000)), {kRefusedNotInit, kOk, kOk, kOk, {0, kInCallback}}},
    {EMU(Start()), {{0, kNotCreated}, {0, kNotCreated}, kOk, kOk, {0, kInCallback}}},
    {EMU(Stop()), {kOk, kOk, kOk, kOk, kOk}},
    {EMU(Destroy()), {kOk, kOk, kOk, kOk, {0, kInCallback}}},
    {EMU(Terminate()), {kOk, kOk, kOk, kOk, {0, kInCallback}}},
    {EMU(SetImageColor(IFW_IMAGE_COLOR_COLOR32)),
     {kRefusedNotInit, kOk, kOk, kOk, {0, kInCallback}}},
    {"EmulateFromNewImagePath",
     [](CIGrabEmu& g, std::string& folder) {
         return g.EmulateFromNewImagePath(folder.data(), 64, 48);
     },
     {{1, "CIGrab::Create: Grab not initialized"}, kOk, kOk, kOk, {0, kInCallback}}},
    {EMU(SetFrameDelay(50)), {kRefusedNotInit, kOk, kOk, kOk, kOk}},
    {EMU(EmulationTrigger()), {kRefusedNotInit, kOk, kOk, kOk, kOk}},
    {EMU(SetActiveCommPort(0)), {kRefusedNotInit, kOk, kOk, kOk, kOk}},
};
#undef EMU

using EmulatorStates = EmulatorTest;

TEST_F(EmulatorStates, EachOperationIsAdmittedOrRefusedByTheStateWithItsMessage) {
    writeNumberedFiles(folder_.path(), 1, kWidth, kHeight);
    std::string folder = folder_.string();
    for (const EmulatorRow& row : kEmulatorTable) {
        for (int phase = 0; phase <= kCallback; ++phase) {
            const Outcome& outcome = row.outcomes[phase];
            SCOPED_TRACE(std::string(row.name) + " in phase " + std::to_string(phase));
            log_.openGate();
            grab_ = std::make_unique<CIGrabEmu>();
            EXPECT_TRUE(phase != kInitialized || grab_->Initialize() == 1);
            if (phase >= kCreated) playFolder();
            EXPECT_TRUE(phase != kRunning || grab_->Start() == 1);
            int result = -1;
            std::string before = grab_->GetLastErrorMsg();
            std::string after;
            if (phase != kCallback) {
                result = row.call(*grab_, folder);
                after = grab_->GetLastErrorMsg();
            } else {
                // Only Initialize leaves acquisition running; the callback then stops it.
                const bool keepsRunning = std::string(row.name) == "Initialize()";
                int runningAfter = -1;
                grab_->SetTriggerMethod(IXGrab::TRIG_SOFTWARE);
                log_.setAction([&](const Delivery&) {
                    result = row.call(*grab_, folder);
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
                if (outcome.result == 0 || keepsRunning) {
                    EXPECT_EQ(runningAfter, keepsRunning ? 1 : 0);
                }
                EXPECT_EQ(grab_->IsGrabCreated(), 1);
                log_.setAction(nullptr);
            }
            EXPECT_EQ(result, outcome.result);
            EXPECT_EQ(after, expectedMessage("CIGrab", row.name, outcome.message, before));
        }
    }
}

// ---- The plain core, CIGrab and IXGrab: not initialised, initialised, created.

struct NamedCall {
    const char* name;
    std::function<int(IXGrab&)> call;
};

struct CoreGroup {
    Outcome outcomes[3];
    bool root;
    std::vector<NamedCall> calls;
};

CIGrab& core(IXGrab& grab) {  // for operations only the core class offers
    return dynamic_cast<CIGrab&>(grab);
}

const Outcome kOff{0, ""};  // refused without a message
const Outcome kNotCreatedYet{0, kNotCreated};
const Outcome kNoRejector{0, "Rejector not enabled"}, kNoRecycler{0, "Recycler not enabled"};

// One operation as a row: its call, named by the text up to its first parenthesis.
#define OP(call)                                 \
    {                                            \
#call, [](IXGrab & g) { return g.call; } \
    }
#define CORE_OP(call)                                  \
    {                                                  \
#call, [](IXGrab & g) { return core(g).call; } \
    }

const CoreGroup kCoreTable[] = {
    {{kOk, {0, kAlready}, {0, kAlready}}, true, {OP(Initialize())}},
    {{kNotCreatedYet, kNotCreatedYet, kOk}, true, {OP(Start())}},
    {{kOk, kOk, kOk}, true, {OP(Stop()), OP(Destroy()), OP(Terminate())}},
    {{kRefusedNotInit, kOk, kOk},
     true,
     {OP(Create(0, 0, 64, 48, 8, 2, 0)),
      OP(SetImageColor(IFW_IMAGE_COLOR_COLOR32)),
      OP(SetOutputPort(3, 0)),
      {"GetCamAttr",
       [](IXGrab& g) {
           IFW_CAM_ATTR attr{};
           return g.GetCamAttr(&attr);
       }},
      // Outputs that only report the state.
      OP(SetTriggerParams()),
      OP(SetRejectorPulseControl()),
      OP(SetDummyDecisionFIFO(3, 9)),
      OP(SetDecisionOutput(7, IFW_DECISION_OUTPUT_FAIL)),
      OP(SetGPO0()),
      OP(SetGPO1(1)),
      OP(SetReady(-4)),
      OP(SetPass(0xFFFFFFFFu)),
      OP(SetFail(2)),
      OP(SetRecycle(1)),
      OP(ToggleLed(1)),
      OP(EmulationTrigger()),
      OP(SetActiveCommPort(4)),
      // Setters that keep their value whatever the state and then report it.
      OP(SetStrobeDuration(30)),
      OP(SetStrobeOffset(30)),
      OP(SetBrightness(70)),
      OP(SetContrast(20)),
      OP(SetExposure(-5.0, 0)),
      {"WriteLUTBuf",
       [](IXGrab& g) {
           unsigned char table[256] = {};
           return g.WriteLUTBuf(0, 256, table);
       }}}},
    {{kRefusedNotInit, kOk, kOk},
     false,
     {OP(SetFrameDelay(10)), CORE_OP(SetActiveCamera(0, 0)), CORE_OP(SetLUTFloor(12)),
      CORE_OP(SetLUTCeiling(200)), CORE_OP(InvLinearizeLUT()), CORE_OP(LinearizeLUT())}},
    // Once initialised these answer 0 until their output is enabled or their input is high.
    {{kRefusedNotInit, kOff, kOff},
     true,
     {OP(GetGPInputValue(1)),
      OP(GetCommPortNum(1, IFW_COMPORT_CAMERA)),
      OP(SetExternalTriggerDelay(30)),
      OP(RejectorControl(1)),
      OP(RejectorTestControl(1)),
      // Reading an input's record (it returns nothing) reads its level too.
      {"GetGPInputValue",
       [](IXGrab& g) {
           IFW_GPI_CONFIG config{};
           g.GetGPIConfig(3, &config);
           return 0;
       }}}},
    {{kRefusedNotInit, kOff, kOff}, false, {CORE_OP(IsCameraDetected(0))}},
    {{kRefusedNotInit, kNoRejector, kNoRejector}, true, {OP(SetRejectorDelay(30))}},
    {{kRefusedNotInit, kNoRecycler, kNoRecycler}, true, {OP(SetRecycleDelay(30))}},
    {{kRefusedNotInit, kNotCreatedYet, {0, "CIGrab::Display: Invalid argument"}},
     false,
     {{"Display",
       [](IXGrab& g) {
           static int unknownWindowStorage = 0;  // a window no window manager knows
           unsigned char image[16] = {};
           return core(g).Display(reinterpret_cast<HWND>(&unknownWindowStorage), image);
       }}}},
};
#undef OP
#undef CORE_OP

template <class Grab>
void expectCoreCall(const CoreGroup& group, const NamedCall& op, const std::string& className) {
    for (int state = 0; state < 3; ++state) {
        SCOPED_TRACE(className + "::" + op.name + " in state " + std::to_string(state));
        Grab grab;
        if (state >= 1) {
            ASSERT_EQ(grab.Initialize(), 1);
        }
        if (state >= 2) {
            ASSERT_EQ(grab.Create(0, 0, 64, 48, 8, 2, 0), 1);
        }
        const std::string before = grab.GetLastErrorMsg();
        const Outcome& outcome = group.outcomes[state];
        EXPECT_EQ(op.call(grab), outcome.result);
        EXPECT_EQ(grab.GetLastErrorMsg(),
                  expectedMessage(className, op.name, outcome.message, before));
    }
}

TEST(CoreStates, EachOperationIsAdmittedOrRefusedByTheStateWithItsMessage) {
    for (const CoreGroup& group : kCoreTable) {
        for (const NamedCall& op : group.calls) {
            expectCoreCall<CoreGrab>(group, op, "CIGrab");
            if (group.root) expectCoreCall<RootGrab>(group, op, "IXGrab");
        }
    }
}

TEST(CoreStates, HardwareClassesRefuseAsTheCoreDoesWithTheCoresName) {
    std::unique_ptr<IXGrab> grabs[] = {
        std::make_unique<CIGrabTrell>(), std::make_unique<CIGrabKesto>(),
        std::make_unique<CIGrabBrixoLT>(), std::make_unique<CIGrabGev>(3)};
    for (auto& grab : grabs) {
        EXPECT_EQ(grab->SetRejectorDelay(0), 0);
        EXPECT_STREQ(grab->GetLastErrorMsg(), "CIGrab::SetRejectorDelay: Grab not initialized");
    }
}

// The two registrations alternate; each function records into its own log, so a function
// called with the other's context shows as a buffer in the wrong list.
TEST_F(EmulatorStates, CallbacksReplacedWhileFramesFlowAlwaysGetTheirOwnContext) {
    playNumbered(1, 3);
    grab_->SetTriggerMethod(IXGrab::TRIG_SOFTWARE);
    ASSERT_EQ(grab_->Start(), 1);
    const auto deadline = Clock::now() + std::chrono::seconds(30);
    for (int round = 0; log_.frameCount() + otherLog_.trash().size() < 100; ++round) {
        ASSERT_LT(Clock::now(), deadline) << "frames stopped coming";
        if (round % 2 == 0) {
            grab_->RegisterBufferCallback(FrameLog::onFrame, &log_);
        } else {
            grab_->RegisterBufferCallback(FrameLog::onTrash, &otherLog_);
        }
        grab_->GenerateSoftTrigger(0);
    }
    grab_->Stop();
    EXPECT_EQ(log_.trash().size() + otherLog_.frameCount(), 0u);
}

// The grab deletes itself in its first buffer callback; the exit callback ends the wait.
TEST_F(EmulatorStates, DeletingTheGrabInsideItsOwnCallbackEndsItsThreadCleanly) {
    writeNumberedFiles(folder_.path(), 2, kWidth, kHeight);
    std::string folder = folder_.string();
    for (bool throughFactory : {false, true}) {
        SCOPED_TRACE(throughFactory ? "TamraGrabDelete" : "delete");
        auto* grab = new CIGrabEmu(0);
        IXGrab* target = grab;  // the callback's to delete
        int deleteResult = -1;
        ASSERT_EQ(grab->Initialize(), 1);
        ASSERT_EQ(grab->EmulateFromNewImagePath(folder.data(), kWidth, kHeight), 1);
        grab->SetTriggerMethod(IXGrab::TRIG_SOFTWARE);
        log_.setAction([&](const Delivery&) {
            IXGrab* own = std::exchange(target, nullptr);
            if (own == nullptr) return;
            if (throughFactory) {
                deleteResult = TamraGrabDelete(own);
            } else {
                delete own;
            }
        });
        log_.attach(*grab);
        const std::size_t exits = log_.exitCount();
        ASSERT_EQ(grab->Start(), 1);
        grab->GenerateSoftTrigger(0);
        ASSERT_TRUE(log_.waitForExits(exits + 1));
        EXPECT_EQ(target, nullptr);
        // Terminate is refused inside the callback; the object is deleted all the same.
        EXPECT_EQ(deleteResult, throughFactory ? 0 : -1);
    }
}

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

TEST_F(EmulatorLifecycle, CreateRulesAndANewImagePath) {
    playNumbered(2, 1);
    EXPECT_EQ(grab_->Start(), 0) << "a ring of one slot cannot start";
    EXPECT_EQ(grab_->IsGrabRunning(), 0);
    ASSERT_EQ(grab_->Create(0, 0, kWidth, kHeight, kKeep, 2, kKeep), 1);
    ASSERT_EQ(grab_->Start(), 1);
    // A new image path leaves the grab created but stopped.
    std::string path = folder_.string();
    EXPECT_EQ(grab_->EmulateFromNewImagePath(path.data(), 2 * kWidth, kHeight), 1);
    EXPECT_EQ(std::make_tuple(grab_->IsGrabCreated(), grab_->IsGrabRunning(), grab_->GetWidth()),
              std::make_tuple(1, 0, 2 * kWidth));
    EXPECT_STREQ(grab_->GetImagePath(), path.c_str());
    // Bits of -24 ask for 24; positive bits keep the current depth.
    ASSERT_EQ(grab_->Create(0, 0, kWidth, kHeight, 24, 5, 5000), 1);
    EXPECT_EQ(grab_->GetBitPP(), 8u);
    ASSERT_EQ(grab_->Create(0, 0, kWidth, kHeight, static_cast<std::uint32_t>(-24), 5, 5000), 1);
    EXPECT_EQ(grab_->GetBitPP(), 24u);
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
}  // namespace grab_test
