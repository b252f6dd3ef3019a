// Tamra grab library: trigger method, strobe, rejector, recycler and verdict outputs.
//
// No back end of this build drives a physical line: these operations validate, store and report.
// Store-then-check setters keep their value even when the grab is not initialised, so settings a
// client makes before Initialize are in force afterwards.
#include <tamra/CIGrab.h>

#include "core/GrabState.h"
#include "core/Reasons.h"
#include "platform/Thread.h"

namespace {

// A delay or duration of 0 would disable the line; the device takes 1 as its shortest value.
unsigned int atLeastOne(unsigned int value) {
    return value == 0 ? 1 : value;
}

// Free run, external and software trigger: the only methods a device can be switched to.
bool isSelectableMethod(std::uint32_t method) {
    return method - 2u <= 2u;
}

}  // namespace

// ---- Trigger method.

int IXGrab::SetTriggerMethod(TriggerMethod method) {
    if (method != grabState().line.triggerMethod.load()) {
        const bool wasRunning = grabState().life.running.load() != 0;
        if (wasRunning && Stop() == 0) return 0;
        if (isSelectableMethod(method)) {
            grabState().line.triggerMethod.store(method);
            if (grabState().life.initialized.load() != 0) SetTriggerParams();
        } else {
            fail("SetTriggerMethod", tamra::reason::kNoTriggerMethod);
        }
        if (wasRunning) Start();
    }
    // The result is the state check of this class's own SetTriggerParams, so a refused method
    // still answers 1 on an initialised grab with the refusal left in the last-error buffer.
    return requireInitialized("SetTriggerParams");
}

int IXGrab::SetCamTriggerMethod(TriggerMethod method, int camera) {
    return camera == -1 ? SetTriggerMethod(method) : 1;
}

IXGrab::TriggerMethod IXGrab::GetTriggerMethod() {
    return static_cast<TriggerMethod>(grabState().line.triggerMethod.load());
}

int IXGrab::GenerateSoftTrigger(int) {
    return grabState().line.triggerMethod.load() == TRIG_SOFTWARE ? 1 : 0;
}

void IXGrab::GenerateManualTrigger(int) {
    grabState().line.manualTriggerRequest = 1;
}

void IXGrab::SetMaxTrigFreq(int frequency) {
    grabState().line.maxTrigFreq = frequency;
}

// ---- External trigger delay and strobe.

int IXGrab::SetExternalTriggerDelay(unsigned int delay) {
    grabState().line.externalTriggerDelay = atLeastOne(delay);
    if (requireInitialized("SetExternalTriggerDelay") == 0) return 0;
    return grabState().line.externalTriggerDelayEnable != 0 ? 1 : 0;
}

unsigned int IXGrab::GetExternalTriggerDelay() {
    return grabState().line.externalTriggerDelay;
}

int IXGrab::SetExternalTriggerDelayEnable(int enable) {
    grabState().line.externalTriggerDelayEnable = enable;
    return 1;
}

int IXGrab::GetExternalTriggerDelayEnable() {
    return grabState().line.externalTriggerDelayEnable;
}

void IXGrab::SetStrobeEnable(int enable) {
    const bool wasRunning = grabState().life.running.load() != 0;
    if (wasRunning) Stop();
    grabState().line.strobeEnable = enable;
    SetTriggerParams();
    if (wasRunning) Start();
}

int IXGrab::GetStrobeEnable() {
    return grabState().line.strobeEnable;
}

int IXGrab::SetStrobeOffset(unsigned int offset) {
    grabState().line.strobeOffset = atLeastOne(offset);
    return requireInitialized("SetStrobeOffset");
}

unsigned int IXGrab::GetStrobeOffset() {
    return grabState().line.strobeOffset;
}

int IXGrab::SetStrobeDuration(unsigned int duration) {
    grabState().line.strobeDuration = atLeastOne(duration);
    return requireInitialized("SetStrobeDuration");
}

unsigned int IXGrab::GetStrobeDuration() {
    return grabState().line.strobeDuration;
}

// ---- Rejector and recycler.

int IXGrab::SetRejectorDelay(unsigned int delay) {
    grabState().line.rejectorDelay = atLeastOne(delay);
    if (requireInitialized("SetRejectorDelay") == 0) return 0;
    return grabState().line.rejectorPresent != 0
               ? 1
               : fail("SetRejectorDelay", tamra::reason::kRejectorNotEnabled);
}

int IXGrab::SetRecycleDelay(unsigned int delay) {
    grabState().line.recycleDelay = atLeastOne(delay);
    if (requireInitialized("SetRecycleDelay") == 0) return 0;
    return grabState().line.recyclerPresent != 0
               ? 1
               : fail("SetRecycleDelay", tamra::reason::kRecyclerNotEnabled);
}

int IXGrab::RejectorControl(int state) {
    if (requireInitialized("RejectorControl") == 0) return 0;
    grabState().life.appRunning.store(state);
    return grabState().line.rejectorPresent != 0 ? 1 : 0;
}

int IXGrab::RejectorTestControl(int state) {
    if (requireInitialized("RejectorTestControl") == 0) return 0;
    if (grabState().line.rejectorPresent == 0) return 0;
    grabState().line.rejectorTestState = state;
    // Start restarts a running acquisition so the device picks up the test state.
    if (grabState().life.running.load() != 0) Start();
    return 1;
}

// ---- Check-only outputs: nothing to drive in this build, so only the state is reported.

int IXGrab::SetTriggerParams() {
    return requireInitialized("SetTriggerParams");
}
int IXGrab::EmulationTrigger() {
    return requireInitialized("EmulationTrigger");
}
int IXGrab::SetRejectorPulseControl() {
    return requireInitialized("SetRejectorPulseControl");
}
int IXGrab::SetDummyDecisionFIFO(unsigned int, unsigned int) {
    return requireInitialized("SetDummyDecisionFIFO");
}
int IXGrab::SetDecisionOutput(std::uint32_t, IFW_DECISION_OUTPUT_TYPE) {
    return requireInitialized("SetDecisionOutput");
}
int IXGrab::SetGPO0() {
    return requireInitialized("SetGPO0");
}
int IXGrab::SetGPO1(unsigned int) {
    return requireInitialized("SetGPO1");
}
int IXGrab::SetReady(int) {
    return requireInitialized("SetReady");
}
int IXGrab::SetPass(std::uint32_t) {
    return requireInitialized("SetPass");
}
int IXGrab::SetFail(std::uint32_t) {
    return requireInitialized("SetFail");
}
int IXGrab::SetRecycle(std::uint32_t) {
    return requireInitialized("SetRecycle");
}
int IXGrab::ToggleLed(std::uint32_t) {
    return requireInitialized("ToggleLed");
}

// No input is wired in this build: every level reads 0.
int IXGrab::GetGPInputValue(int) {
    requireInitialized("GetGPInputValue");
    return 0;
}

// ---- Solution selection.

int IXGrab::SetHwSolutionIDNumBits(int bits) {
    grabState().line.solutionIdNumBits = bits;
    return 1;
}

int IXGrab::SetSolutionChangeState(int state) {
    grabState().line.solutionChangeState = state;
    return 1;
}

int IXGrab::SetSolutionLoaded(int first, int second) {
    grabState().line.solutionLoaded[0] = first;
    grabState().line.solutionLoaded[1] = second;
    return 1;
}

// ---- Re-delivery of frames to the buffer callback.

void IXGrab::ReTrigger(int index) {
    const auto [callback, context] = grabState().callbacks.buffer.get();
    if (callback == nullptr || context == nullptr) return;
    if (GetFramePtr(index) == nullptr) return;
    // On the acquisition thread this would re-enter the callback from inside a delivery.
    if (tamra::platform::currentThreadId() == grabState().life.acqThreadId.load()) return;
    const unsigned int count = GetFrameCount(index);
    callback(GetFramePtr(index), count, 0, context);
}

void IXGrab::ReTrigger(unsigned char* frame, int index) {
    const auto [callback, context] = grabState().callbacks.buffer.get();
    if (callback == nullptr || context == nullptr || frame == nullptr) return;
    // The guard stops a callback that calls ReTrigger again from recursing without end.
    if (grabState().line.reDeliveryGuard != 0) return;
    grabState().line.reDeliveryGuard = 1;
    callback(frame, GetFrameCount(index), 0, context);
    grabState().line.reDeliveryGuard = 0;
}

// ---- Settings that only the core class reports.

unsigned int CIGrab::GetPartsBetweenSensors() {
    return grabState().line.partsBetweenSensors;
}

int CIGrab::SetPartsBetweenSensors(unsigned int count) {
    grabState().line.partsBetweenSensors = count;
    return 1;
}

int CIGrab::IsAppRunning() {
    return grabState().life.appRunning.load();
}

std::uint32_t CIGrab::GetRecycleDelay() {
    return grabState().line.recycleDelay;
}

std::uint32_t CIGrab::GetRejectorDelay() {
    return grabState().line.rejectorDelay;
}
