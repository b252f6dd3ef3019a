// Output ports and timed pulses; the bounds allow a loaded machine to be tens of ms late.
#include <utility>

#include "grab_support.h"

namespace grab_test {
namespace {

// An edge is never early (beyond whole-millisecond waits) and at most kLateBy late.
constexpr double kEarlyByMs = 2, kLateByMs = 40;

void expectEdgeAt(const PortChange& edge, Clock::time_point origin, double expectedMs,
                  const char* what) {
    const double actual = std::chrono::duration<double, std::milli>(edge.at - origin).count();
    EXPECT_GE(actual, expectedMs - kEarlyByMs) << what;
    EXPECT_LE(actual, expectedMs + kLateByMs) << what;
}

TEST(CoreOutputs, PortsChangeOneBitOfTheLowSixteenTakenModuloThirtyTwo) {
    CoreGrab grab;
    for (unsigned int port = 0; port < 16; ++port)
        EXPECT_EQ(grab.GetOutputPortVal(port), port < 8 ? 1 : 0) << port;
    EXPECT_EQ(grab.GetOutputPortVal(32 + 3), 1);
    EXPECT_EQ(grab.SetOutputPort(3, 0), 0);
    EXPECT_EQ(grab.GetOutputPortVal(3), 1) << "refused before Initialize";
    // Whether this runs depends on the scheduler's first pass meeting the initialised flag; it
    // turns an output off that is off anyway.
    EXPECT_EQ(grab.ScheduleIOEvent(13, 0, 0, 0), 1) << "always 1, even without a scheduler";
    grab.Initialize();
    EXPECT_EQ(grab.SetOutputPort(12, 1), 1);
    EXPECT_EQ(grab.SetOutputPort(2, 0), 1);
    EXPECT_EQ(grab.SetOutputPort(32 + 9, 5), 1);
    EXPECT_EQ(grab.SetOutputPort(16, 1), 1) << "accepted, changes nothing";
    EXPECT_EQ(grab.SetOutputPort(31, 1), 1);
    for (unsigned int port = 0; port < 20; ++port) {
        const bool on = (port < 8 && port != 2) || port == 9 || port == 12;
        EXPECT_EQ(grab.GetOutputPortVal(port), on ? 1 : 0) << port;
    }
}

TEST(CoreOutputs, PulsesStartAfterTheirDelayAndLastTheirDuration) {
    for (int delay : {0, 20}) {
        SCOPED_TRACE(delay);
        auto grab = initialisedCore();
        grab->SetOutputPort(3, 0);
        const Clock::time_point origin = Clock::now();
        ASSERT_EQ(grab->GeneratePulseOutPort(3, 1, delay, 50), 1);
        EXPECT_EQ(grab->GetOutputPortVal(3), delay == 0 ? 1 : 0) << "immediate: on at return";
        ASSERT_TRUE(eventually([&] { return grab->changesOf(3).size() == 3; }));
        const std::vector<PortChange> edges = grab->changesOf(3);
        EXPECT_EQ(std::make_pair(edges[1].value, edges[2].value), std::make_pair(1, 0));
        EXPECT_EQ(edges[1].thread == grab->clientThread, delay == 0)
            << "immediate: caller's thread";
        EXPECT_NE(edges[2].thread, grab->clientThread) << "the trailing edge on the scheduler";
        expectEdgeAt(edges[1], origin, delay, "leading edge");
        expectEdgeAt(edges[2], edges[1].at, 50, "duration");
        EXPECT_EQ(grab->GetOutputPortVal(3), 0);
    }
}

TEST(CoreOutputs, DelayedEdgeWithoutDurationOnlyTurnsThePortOn) {
    auto grab = initialisedCore();
    grab->SetOutputPort(3, 0);
    const Clock::time_point origin = Clock::now();
    grab->GeneratePulseOutPort(3, 1, 20, 0);
    ASSERT_TRUE(eventually([&] { return grab->GetOutputPortVal(3) == 1; }));
    expectEdgeAt(grab->changesOf(3).at(1), origin, 20, "single delayed edge");
    // Edges run by due time: once a later one has run, a trailing edge would have too.
    grab->ScheduleIOEvent(10, 1, 40, 0);
    ASSERT_TRUE(eventually([&] { return grab->GetOutputPortVal(10) == 1; }));
    EXPECT_EQ(grab->changesOf(3).size(), 2u);
    EXPECT_EQ(grab->GetOutputPortVal(3), 1);
}

TEST(CoreOutputs, InvertedPulseAndNegativeDelay) {
    auto grab = initialisedCore();
    grab->GeneratePulseOutPort(5, 0, 0, 30);  // port 5 is on: an off pulse
    EXPECT_EQ(grab->GetOutputPortVal(5), 0);
    ASSERT_TRUE(eventually([&] { return grab->GetOutputPortVal(5) == 1; }));
    const Clock::time_point origin = Clock::now();
    grab->ScheduleIOEvent(6, 0, -500, 0);
    ASSERT_TRUE(eventually([&] { return grab->GetOutputPortVal(6) == 0; }));
    expectEdgeAt(grab->changesOf(6).at(0), origin, 0, "negative delay");
}

TEST(CoreOutputs, NothingScheduledRunsAfterTerminate) {
    auto grab = initialisedCore();
    grab->ScheduleIOEvent(13, 1, 80, 0);
    grab->Terminate();
    std::this_thread::sleep_for(milliseconds(200));  // past the edge's due time
    EXPECT_TRUE(grab->changesOf(13).empty());
    EXPECT_EQ(grab->IsIORunning(), 1);
}

TEST(CoreOutputs, ClientAndSchedulerChangesDoNotUndoEachOther) {
    auto grab = initialisedCore();
    // The scheduler flips port 14 while the client flips port 15; a lost update of the shared
    // image would leave one of them in the wrong state.
    for (int round = 0; round < 200; ++round) grab->ScheduleIOEvent(14, round % 2, 0, 0);
    for (int round = 0; round < 20000; ++round) grab->SetOutputPort(15, round % 2);
    grab->SetOutputPort(15, 1);
    ASSERT_TRUE(eventually([&] { return grab->changesOf(14).size() == 200; }));
    EXPECT_EQ(grab->GetOutputPortVal(15), 1);
    EXPECT_EQ(grab->GetOutputPortVal(14), grab->changesOf(14).back().value);
}

}  // namespace
}  // namespace grab_test
