// Tamra grab library: IXGrab construction, the last-error buffer and the state queries.
#include <tamra/IXGrab.h>

#include <cstdio>
#include <cstring>

#include "core/Failure.h"
#include "core/GrabState.h"
#include "core/LifecycleRules.h"
#include "core/Reasons.h"

XiStorage::~XiStorage() = default;

IXGrab::IXGrab() : state_(std::make_unique<tamra::GrabState>()) {}

IXGrab::~IXGrab() = default;

// ---- What a back end reaches of the state.

void IXGrab::setInitializedFlag(int value) {
    grabState().life.initialized.store(value);
}

void IXGrab::setCreatedFlag(int value) {
    grabState().life.created.store(value);
}

void IXGrab::setRunningFlag(int value) {
    grabState().life.running.store(value);
}

unsigned char* IXGrab::ringSlot(std::uint32_t index) const {
    const tamra::Ring& ring = grabState().ring;
    if (!ring.slots || index >= grabState().geometry.bufferCount) return nullptr;
    return ring.slots[index];
}

IFW_IGRABTYPE IXGrab::GetGrabType() {
    return IFW_IGRAB_CORE;
}

// ---- Messages. Any thread may fail (the I/O scheduler's edges, a back end's threads), so the
// buffer is written under its lock; GetLastErrorMsg takes the same lock before it hands the
// buffer out, so a reader sees every message completed before its call.

namespace {

template <typename... Args>
void writeLastError(tamra::Diagnostics& diagnostics, const char* format, Args... args) {
    std::lock_guard<std::mutex> lock(diagnostics.lastErrorLock);
    std::snprintf(diagnostics.lastError, sizeof diagnostics.lastError, format, args...);
}

}  // namespace

int tamra::fail(GrabState& state, const char* operation, const char* reason) {
    writeLastError(state.diagnostics, "%s::%s: %s", state.className, operation, reason);
    return 0;
}

int tamra::failInit(GrabState& state, const char* reason) {
    writeLastError(state.diagnostics, "%s Init: %s", state.className, reason);
    return 0;
}

int tamra::admitted(GrabState& state, GrabOperation operation, const char* name, bool inCallback) {
    const char* refusal = refusalOf(operation, phaseOf(state.life, inCallback));
    return refusal == nullptr ? 1 : fail(state, name, refusal);
}

int IXGrab::fail(const char* operation, const char* reason) {
    return tamra::fail(grabState(), operation, reason);
}

int IXGrab::failInit(const char* reason) {
    return tamra::failInit(grabState(), reason);
}

int IXGrab::admitted(tamra::GrabOperation operation, const char* name, bool inCallback) {
    return tamra::admitted(grabState(), operation, name, inCallback);
}

int IXGrab::requireInitialized(const char* operation) {
    if (grabState().life.initialized.load() != 0) return 1;
    return fail(operation, tamra::reason::kNotInitialized);
}

void IXGrab::setLastError(const char* text) {
    writeLastError(grabState().diagnostics, "%s", text != nullptr ? text : "");
}

char* IXGrab::GetLastErrorMsg() {
    std::lock_guard<std::mutex> lock(grabState().diagnostics.lastErrorLock);
    return grabState().diagnostics.lastError;
}

// ---- State queries.

int IXGrab::IsGrabInitialized() {
    return grabState().life.initialized.load();
}

int IXGrab::IsGrabRunning() {
    return grabState().life.running.load();
}

// ---- Frame delay: stored first, so a value set before Initialize is kept (the emulator raises
// it to its own minimum afterwards).

int IXGrab::SetFrameDelay(unsigned int milliseconds) {
    grabState().source.frameDelay.store(milliseconds == 0 ? 1 : milliseconds);
    return requireInitialized("SetFrameDelay");
}

unsigned int IXGrab::GetFrameDelay() {
    return grabState().source.frameDelay.load();
}
