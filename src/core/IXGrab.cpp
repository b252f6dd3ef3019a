// Tamra grab library: IXGrab construction, the last-error buffer and the state queries.
#include <tamra/IXGrab.h>

#include <cstdio>
#include <cstring>

#include "core/Reasons.h"

XiStorage::~XiStorage() = default;

IXGrab::IXGrab() : className_("IXGrab") {}

IXGrab::~IXGrab() = default;

IFW_IGRABTYPE IXGrab::GetGrabType() {
    return IFW_IGRAB_CORE;
}

// ---- Messages. Any thread may fail (the I/O scheduler's edges, a back end's threads), so the
// buffer is written under its lock; GetLastErrorMsg takes the same lock before it hands the
// buffer out, so a reader sees every message completed before its call.

int IXGrab::fail(const char* operation, const char* reason) {
    std::lock_guard<std::mutex> lock(lastErrorLock_);
    std::snprintf(lastError_, sizeof lastError_, "%s::%s: %s", className_, operation, reason);
    return 0;
}

int IXGrab::failInit(const char* reason) {
    std::lock_guard<std::mutex> lock(lastErrorLock_);
    std::snprintf(lastError_, sizeof lastError_, "%s Init: %s", className_, reason);
    return 0;
}

int IXGrab::requireInitialized(const char* operation) {
    if (initialized_.load() != 0) return 1;
    return fail(operation, tamra::reason::kNotInitialized);
}

void IXGrab::setLastError(const char* text) {
    std::lock_guard<std::mutex> lock(lastErrorLock_);
    std::snprintf(lastError_, sizeof lastError_, "%s", text != nullptr ? text : "");
}

char* IXGrab::GetLastErrorMsg() {
    std::lock_guard<std::mutex> lock(lastErrorLock_);
    return lastError_;
}

// ---- State queries.

int IXGrab::IsGrabInitialized() {
    return initialized_.load();
}

int IXGrab::IsGrabRunning() {
    return running_.load();
}

// ---- Frame delay: stored first, so a value set before Initialize is kept (the emulator raises
// it to its own minimum afterwards).

int IXGrab::SetFrameDelay(unsigned int milliseconds) {
    frameDelay_.store(milliseconds == 0 ? 1 : milliseconds);
    return requireInitialized("SetFrameDelay");
}

unsigned int IXGrab::GetFrameDelay() {
    return frameDelay_.load();
}
