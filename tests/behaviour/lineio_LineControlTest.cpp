// Trigger method, strobe, rejector, recycler and verdict outputs as a client sees them.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include <tamra/Tamra.h>

#include "lineio_support.h"

namespace {

using lineio_test::GrabKind;
using lineio_test::LineGrab;

struct NamedCall {
    const char* operation;
    std::function<int(IXGrab&)> call;
};

// Operations that only report the grab state: 1 when initialised, else the refusal.
std::vector<NamedCall> checkOnlyOutputs() {
    return {
        {"SetTriggerParams", [](IXGrab& g) { return g.SetTriggerParams(); }},
        {"SetRejectorPulseControl", [](IXGrab& g) { return g.SetRejectorPulseControl(); }},
        {"SetDummyDecisionFIFO", [](IXGrab& g) { return g.SetDummyDecisionFIFO(3, 9); }},
        {"SetDecisionOutput",
         [](IXGrab& g) { return g.SetDecisionOutput(7, IFW_DECISION_OUTPUT_FAIL); }},
        {"SetGPO0", [](IXGrab& g) { return g.SetGPO0(); }},
        {"SetGPO1", [](IXGrab& g) { return g.SetGPO1(1); }},
        {"SetReady", [](IXGrab& g) { return g.SetReady(-4); }},
        {"SetPass", [](IXGrab& g) { return g.SetPass(0xFFFFFFFFu); }},
        {"SetFail", [](IXGrab& g) { return g.SetFail(2); }},
        {"SetRecycle", [](IXGrab& g) { return g.SetRecycle(1); }},
        {"ToggleLed", [](IXGrab& g) { return g.ToggleLed(1); }},
        {"EmulationTrigger", [](IXGrab& g) { return g.EmulationTrigger(); }},
        {"SetActiveCommPort", [](IXGrab& g) { return g.SetActiveCommPort(4); }},
    };
}

class LineControl : public testing::TestWithParam<GrabKind> {};

TEST_P(LineControl, CheckOnlyOutputsSucceedOnAnInitialisedGrabAndLeaveTheLastErrorAlone) {
    auto grab = GetParam().make(true);
    ASSERT_EQ(grab->SetRejectorDelay(5), 0);  // leaves a message behind
    const std::string before = grab->GetLastErrorMsg();
    for (const NamedCall& op : checkOnlyOutputs()) {
        SCOPED_TRACE(op.operation);
        EXPECT_EQ(op.call(*grab), 1);
        EXPECT_EQ(std::string(grab->GetLastErrorMsg()), before);
    }
}

TEST_P(LineControl, SettersStoreBeforeTheStateCheckAndRaiseZeroToOne) {
    auto grab = GetParam().make(false);
    grab->SetStrobeDuration(0);
    EXPECT_EQ(grab->GetStrobeDuration(), 1u);
    grab->SetStrobeOffset(0);
    EXPECT_EQ(grab->GetStrobeOffset(), 1u);
    grab->SetExternalTriggerDelay(0);
    EXPECT_EQ(grab->GetExternalTriggerDelay(), 1u);
    grab->SetStrobeDuration(750);

    // Made before Initialize, still in force afterwards.
    grab->Initialize();
    EXPECT_EQ(grab->GetStrobeDuration(), 750u);
    EXPECT_EQ(grab->SetStrobeOffset(12), 1);
    EXPECT_EQ(grab->GetStrobeOffset(), 12u);
}

TEST_P(LineControl, ExternalTriggerDelayAnswersOneOnlyOnceEnabled) {
    auto grab = GetParam().make(true);
    EXPECT_EQ(grab->SetExternalTriggerDelay(40), 0);
    EXPECT_STREQ(grab->GetLastErrorMsg(), "");  // refused without a message
    EXPECT_EQ(grab->GetExternalTriggerDelay(), 40u);
    EXPECT_EQ(grab->SetExternalTriggerDelayEnable(1), 1);
    EXPECT_EQ(grab->GetExternalTriggerDelayEnable(), 1);
    EXPECT_EQ(grab->SetExternalTriggerDelay(41), 1);
}

TEST_P(LineControl, TriggerMethodAndStrobeEnableAreStoredOnAnUninitialisedGrab) {
    auto grab = GetParam().make(false);
    grab->SetTriggerMethod(IXGrab::TRIG_EXTERNAL);
    EXPECT_EQ(grab->GetTriggerMethod(), IXGrab::TRIG_EXTERNAL);
    grab->SetTriggerMethod(static_cast<IXGrab::TriggerMethod>(1));
    EXPECT_EQ(grab->GetTriggerMethod(), IXGrab::TRIG_EXTERNAL);
    grab->SetStrobeEnable(7);
    EXPECT_EQ(grab->GetStrobeEnable(), 7);
}

TEST_P(LineControl, SoftTriggerIsAcceptedOnlyUnderTheSoftwareMethod) {
    auto grab = GetParam().make(true);
    EXPECT_EQ(grab->GenerateSoftTrigger(0), 0);
    for (auto method : {IXGrab::TRIG_FREE_RUN, IXGrab::TRIG_EXTERNAL}) {
        grab->SetTriggerMethod(method);
        EXPECT_EQ(grab->GenerateSoftTrigger(0), 0);
    }
    grab->SetTriggerMethod(IXGrab::TRIG_SOFTWARE);
    EXPECT_EQ(grab->GenerateSoftTrigger(0), 1);
    EXPECT_EQ(grab->GenerateSoftTrigger(3), 1);
}

TEST_P(LineControl, CameraFormOfTriggerMethodActsOnlyForAllCameras) {
    auto grab = GetParam().make(true);
    EXPECT_EQ(grab->SetCamTriggerMethod(IXGrab::TRIG_SOFTWARE, 0), 1);
    EXPECT_EQ(grab->GetTriggerMethod(), IXGrab::TRIG_NONE);
    EXPECT_EQ(grab->SetCamTriggerMethod(static_cast<IXGrab::TriggerMethod>(9), 2), 1);
    EXPECT_STREQ(grab->GetLastErrorMsg(), "");
    EXPECT_EQ(grab->SetCamTriggerMethod(IXGrab::TRIG_SOFTWARE, -1), 1);
    EXPECT_EQ(grab->GetTriggerMethod(), IXGrab::TRIG_SOFTWARE);

    auto cold = GetParam().make(false);
    EXPECT_EQ(cold->SetCamTriggerMethod(IXGrab::TRIG_FREE_RUN, -1), 0);
    EXPECT_EQ(cold->GetTriggerMethod(), IXGrab::TRIG_FREE_RUN);
}

TEST_P(LineControl, RejectorControlStoresTheApplicationStateOnlyWhenInitialised) {
    auto grab = GetParam().make(true);
    EXPECT_EQ(grab->RejectorControl(1), 0);  // no rejector: 0 without a message
    EXPECT_STREQ(grab->GetLastErrorMsg(), "");
    EXPECT_EQ(grab->RejectorTestControl(1), 0);
    EXPECT_STREQ(grab->GetLastErrorMsg(), "");
}

TEST_P(LineControl, PlainStoresAnswerOneInEveryState) {
    auto grab = GetParam().make(false);
    EXPECT_EQ(grab->SetExternalTriggerDelayEnable(-3), 1);
    EXPECT_EQ(grab->GetExternalTriggerDelayEnable(), -3);
    EXPECT_EQ(grab->SetHwSolutionIDNumBits(6), 1);
    EXPECT_EQ(grab->SetSolutionChangeState(2), 1);
    EXPECT_EQ(grab->SetSolutionLoaded(4, 5), 1);
    grab->SetMaxTrigFreq(60);
    grab->GenerateManualTrigger(0);
    EXPECT_STREQ(grab->GetLastErrorMsg(), "");
}

INSTANTIATE_TEST_SUITE_P(BothClasses, LineControl, testing::ValuesIn(lineio_test::bothGrabKinds()),
                         lineio_test::kindName);

// ---- What only the core class offers, and the stop/restart sequences.

TEST(CoreLineControl, DelaysAndApplicationStateReadBack) {
    LineGrab<CIGrab> grab;
    EXPECT_EQ(grab.GetRejectorDelay(), 100u);
    EXPECT_EQ(grab.GetRecycleDelay(), 100u);
    grab.SetRejectorDelay(250);
    EXPECT_EQ(grab.GetRejectorDelay(), 250u);
    grab.SetRecycleDelay(0);
    EXPECT_EQ(grab.GetRecycleDelay(), 1u);

    EXPECT_EQ(grab.RejectorControl(1), 0);
    EXPECT_EQ(grab.IsAppRunning(), 0);  // refused before Initialize: nothing stored
    grab.Initialize();
    EXPECT_EQ(grab.RejectorControl(1), 0);
    EXPECT_EQ(grab.IsAppRunning(), 1);
    EXPECT_EQ(grab.RejectorControl(0), 0);
    EXPECT_EQ(grab.IsAppRunning(), 0);
    EXPECT_EQ(grab.SetPartsBetweenSensors(17), 1);
    EXPECT_EQ(grab.GetPartsBetweenSensors(), 17u);
}

// A back end sees a change of trigger method or strobe as stop, new parameters, start when
// running, and as new parameters alone when stopped; a stop that fails abandons the change.
TEST(CoreLineControl, MethodAndStrobeChangesStopAndRestartARunningGrab) {
    using Calls = std::vector<std::string>;
    const auto method = [](int m) {
        return [m](IXGrab& g) { return g.SetTriggerMethod(static_cast<IXGrab::TriggerMethod>(m)); };
    };
    const auto strobe = [](int enable) {
        return [enable](IXGrab& g) {
            g.SetStrobeEnable(enable);
            return g.GetStrobeEnable();
        };
    };
    const struct {
        const char* what;
        bool running;
        int stopResult;
        std::function<int(IXGrab&)> change;
        int result;
        Calls calls;
        IXGrab::TriggerMethod after;
    } cases[] = {
        {"new method",
         true,
         1,
         method(IXGrab::TRIG_SOFTWARE),
         1,
         {"Stop", "SetTriggerParams", "Start"},
         IXGrab::TRIG_SOFTWARE},
        {"same method", true, 1, method(IXGrab::TRIG_NONE), 1, {}, IXGrab::TRIG_NONE},
        {"refused method", true, 1, method(7), 1, {"Stop", "Start"}, IXGrab::TRIG_NONE},
        {"failed stop", true, 0, method(IXGrab::TRIG_FREE_RUN), 0, {"Stop"}, IXGrab::TRIG_NONE},
        {"stopped",
         false,
         1,
         method(IXGrab::TRIG_EXTERNAL),
         1,
         {"SetTriggerParams"},
         IXGrab::TRIG_EXTERNAL},
        {"strobe", true, 1, strobe(1), 1, {"Stop", "SetTriggerParams", "Start"}, IXGrab::TRIG_NONE},
        {"strobe stopped", false, 1, strobe(0), 0, {"SetTriggerParams"}, IXGrab::TRIG_NONE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        LineGrab<CIGrab> grab;
        grab.Initialize();
        if (c.running) grab.markRunning();
        grab.stopResult = c.stopResult;
        EXPECT_EQ(c.change(grab), c.result);
        EXPECT_EQ(grab.calls, c.calls);
        EXPECT_EQ(grab.GetTriggerMethod(), c.after);
        EXPECT_EQ(grab.IsGrabRunning(), c.running ? 1 : 0);
        if (c.stopResult == 0) {
            EXPECT_STREQ(grab.GetLastErrorMsg(), "");  // abandoned silently
        }
    }
}

}  // namespace
