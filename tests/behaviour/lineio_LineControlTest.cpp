// Trigger method, strobe, rejector, recycler and verdict outputs as a client sees them.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include <tamra/Tamra.h>

#include "grab_support.h"

namespace {

using grab_test::GrabKind;
using grab_test::LineGrab;

TEST(LineControl, SettersStoreBeforeTheStateCheckAndRaiseZeroToOne) {
    for (const GrabKind& kind : grab_test::bothGrabKinds()) {
        SCOPED_TRACE(kind.prefix);
        auto grab = kind.make(false);
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
}

TEST(LineControl, SoftTriggerIsAcceptedOnlyUnderTheSoftwareMethod) {
    for (const GrabKind& kind : grab_test::bothGrabKinds()) {
        SCOPED_TRACE(kind.prefix);
        auto grab = kind.make(true);
        EXPECT_EQ(grab->GenerateSoftTrigger(0), 0);
        for (auto method : {IXGrab::TRIG_FREE_RUN, IXGrab::TRIG_EXTERNAL}) {
            grab->SetTriggerMethod(method);
            EXPECT_EQ(grab->GenerateSoftTrigger(0), 0);
        }
        grab->SetTriggerMethod(IXGrab::TRIG_SOFTWARE);
        EXPECT_EQ(grab->GenerateSoftTrigger(0), 1);
        EXPECT_EQ(grab->GenerateSoftTrigger(3), 1);
    }
}

// ---- What only the core class offers, and the stop/restart sequences.

// A method or strobe change is stop, new parameters, start; a failed stop abandons it.
TEST(CoreLineControl, MethodAndStrobeChangesStopAndRestartARunningGrab) {
    using Calls = std::vector<std::string>;
    const Calls restart{"Stop", "SetTriggerParams", "Start"}, params{"SetTriggerParams"};
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
        {"new method", true, 1, method(IXGrab::TRIG_SOFTWARE), 1, restart, IXGrab::TRIG_SOFTWARE},
        {"same method", true, 1, method(IXGrab::TRIG_NONE), 1, {}, IXGrab::TRIG_NONE},
        {"refused method", true, 1, method(7), 1, {"Stop", "Start"}, IXGrab::TRIG_NONE},
        {"failed stop", true, 0, method(IXGrab::TRIG_FREE_RUN), 0, {"Stop"}, IXGrab::TRIG_NONE},
        {"stopped", false, 1, method(IXGrab::TRIG_EXTERNAL), 1, params, IXGrab::TRIG_EXTERNAL},
        {"strobe", true, 1, strobe(1), 1, restart, IXGrab::TRIG_NONE},
        {"strobe stopped", false, 1, strobe(0), 0, params, IXGrab::TRIG_NONE},
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
