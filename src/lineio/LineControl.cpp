// Tamra grab library: trigger method, strobe, rejector, recycler and verdict outputs.
//
// No back end of this build drives a physical line: these operations validate, store and report.
// Store-then-check setters keep their value even when the grab is not initialised, so settings a
// client makes before Initialize are in force afterwards.
#include <tamra/CIGrab.h>

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
    if (method != triggerMethod_.load()) {
        const bool wasRunning = running_.load() != 0;
        if (wasRunning && Stop() == 0) return 0;
        if (isSelectableMethod(method)) {
            triggerMethod_.store(method);
            if (initialized_.load() != 0) SetTriggerParams();
        } else {
            fail("SetTriggerMethod", "No trigger method specified");
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
    return static_cast<TriggerMethod>(triggerMethod_.load());
}

int IXGrab::GenerateSoftTrigger(int) {
    return triggerMethod_.load() == TRIG_SOFTWARE ? 1 : 0;
}

void IXGrab::GenerateManualTrigger(int) {
    manualTriggerRequest_ = 1;
}

void IXGrab::SetMaxTrigFreq(int frequency) {
    maxTrigFreq_ = frequency;
}

// ---- External trigger delay and strobe.

int IXGrab::SetExternalTriggerDelay(unsigned int delay) {
    externalTriggerDelay_ = atLeastOne(delay);
    if (requireInitialized("SetExternalTriggerDelay") == 0) return 0;
    return externalTriggerDelayEnable_ != 0 ? 1 : 0;
}

unsigned int IXGrab::GetExternalTriggerDelay() {
    return externalTriggerDelay_;
}

int IXGrab::SetExternalTriggerDelayEnable(int enable) {
    externalTriggerDelayEnable_ = enable;
    return 1;
}

int IXGrab::GetExternalTriggerDelayEnable() {
    return externalTriggerDelayEnable_;
}

void IXGrab::SetStrobeEnable(int enable) {
    const bool wasRunning = running_.load() != 0;
    if (wasRunning) Stop();
    strobeEnable_ = enable;
    SetTriggerParams();
    if (wasRunning) Start();
}

int IXGrab::GetStrobeEnable() {
    return strobeEnable_;
}

int IXGrab::SetStrobeOffset(unsigned int offset) {
    strobeOffset_ = atLeastOne(offset);
    return requireInitialized("SetStrobeOffset");
}

unsigned int IXGrab::GetStrobeOffset() {
    return strobeOffset_;
}

int IXGrab::SetStrobeDuration(unsigned int duration) {
    strobeDuration_ = atLeastOne(duration);
    return requireInitialized("SetStrobeDuration");
}

unsigned int IXGrab::GetStrobeDuration() {
    return strobeDuration_;
}

// ---- Rejector and recycler.

int IXGrab::SetRejectorDelay(unsigned int delay) {
    rejectorDelay_ = atLeastOne(delay);
    if (requireInitialized("SetRejectorDelay") == 0) return 0;
    return rejectorPresent_ != 0 ? 1 : fail("SetRejectorDelay", "Rejector not enabled");
}

int IXGrab::SetRecycleDelay(unsigned int delay) {
    recycleDelay_ = atLeastOne(delay);
    if (requireInitialized("SetRecycleDelay") == 0) return 0;
    return recyclerPresent_ != 0 ? 1 : fail("SetRecycleDelay", "Recycler not enabled");
}

int IXGrab::RejectorControl(int state) {
    if (requireInitialized("RejectorControl") == 0) return 0;
    appRunning_.store(state);
    return rejectorPresent_ != 0 ? 1 : 0;
}

int IXGrab::RejectorTestControl(int state) {
    if (requireInitialized("RejectorTestControl") == 0) return 0;
    if (rejectorPresent_ == 0) return 0;
    rejectorTestState_ = state;
    // Start restarts a running acquisition so the device picks up the test state.
    if (running_.load() != 0) Start();
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
    solutionIdNumBits_ = bits;
    return 1;
}

int IXGrab::SetSolutionChangeState(int state) {
    solutionChangeState_ = state;
    return 1;
}

int IXGrab::SetSolutionLoaded(int first, int second) {
    solutionLoaded_[0] = first;
    solutionLoaded_[1] = second;
    return 1;
}

// ---- Re-delivery of frames to the buffer callback.

void IXGrab::ReTrigger(int index) {
    const IFW_GRAB_CALLBACK callback = bufferCallback_;
    void* const context = bufferContext_;
    if (callback == nullptr || context == nullptr) return;
    if (GetFramePtr(index) == nullptr) return;
    // On the acquisition thread this would re-enter the callback from inside a delivery.
    if (tamra::platform::currentThreadId() == acqThreadId_.load()) return;
    const unsigned int count = GetFrameCount(index);
    callback(GetFramePtr(index), count, 0, context);
}

void IXGrab::ReTrigger(unsigned char* frame, int index) {
    const IFW_GRAB_CALLBACK callback = bufferCallback_;
    void* const context = bufferContext_;
    if (callback == nullptr || context == nullptr || frame == nullptr) return;
    // The guard stops a callback that calls ReTrigger again from recursing without end.
    if (reDeliveryGuard_ != 0) return;
    reDeliveryGuard_ = 1;
    callback(frame, GetFrameCount(index), 0, context);
    reDeliveryGuard_ = 0;
}

// ---- Settings that only the core class reports.

unsigned int CIGrab::GetPartsBetweenSensors() {
    return partsBetweenSensors_;
}

int CIGrab::SetPartsBetweenSensors(unsigned int count) {
    partsBetweenSensors_ = count;
    return 1;
}

int CIGrab::IsAppRunning() {
    return appRunning_.load();
}

std::uint32_t CIGrab::GetRecycleDelay() {
    return recycleDelay_;
}

std::uint32_t CIGrab::GetRejectorDelay() {
    return rejectorDelay_;
}
