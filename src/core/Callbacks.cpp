// Tamra grab library: client callback registrations, the debug catcher and the frame rate.
//
// Registrations are plain pairs read by the back end's threads while they run: a client
// registers before Start and unregisters after Stop (or leaves it to Terminate).
#include <tamra/CIGrab.h>

void IXGrab::RegisterTrashCallback(IFW_GRAB_CALLBACK callback, void* context) {
    trashCallback_ = callback;
    trashContext_ = context;
}

void IXGrab::RegisterBufferCallback(IFW_GRAB_CALLBACK callback, void* context) {
    bufferCallback_ = callback;
    bufferContext_ = context;
}

void IXGrab::RegisterBufferCallbackEx(IFW_GRAB_CALLBACK_EX callback, void* context) {
    bufferCallbackEx_ = callback;
    bufferContextEx_ = context;
}

void IXGrab::RegisterChangeSolutionCallback(IFW_GRAB_CALLBACK callback, void* context) {
    changeSolutionCallback_ = callback;
    changeSolutionContext_ = context;
}

void IXGrab::RegisterAcqThreadExitCallback(IFW_ACQ_THREAD_EXIT_CALLBACK callback, void* context) {
    acqThreadExitCallback_ = callback;
    acqThreadExitContext_ = context;
}

void IXGrab::UnRegisterTrashCallback() {
    RegisterTrashCallback(nullptr, nullptr);
}

// The extended buffer callback has no operation of its own: both go together.
void IXGrab::UnRegisterBufferCallback() {
    RegisterBufferCallback(nullptr, nullptr);
    RegisterBufferCallbackEx(nullptr, nullptr);
}

void IXGrab::UnRegisterChangeSolutionCallback() {
    RegisterChangeSolutionCallback(nullptr, nullptr);
}

void IXGrab::UnRegisterAcqThreadExitCallback() {
    RegisterAcqThreadExitCallback(nullptr, nullptr);
}

// Terminate's order: trash, error, buffer, change-solution, acquisition-thread exit.
void IXGrab::unregisterCallbacks() {
    UnRegisterTrashCallback();
    UnRegisterErrorCallback();
    UnRegisterBufferCallback();
    UnRegisterChangeSolutionCallback();
    UnRegisterAcqThreadExitCallback();
}

void IXGrab::AcqThreadExitting() {
    if (acqThreadExitCallback_ != nullptr) acqThreadExitCallback_(acqThreadExitContext_);
}

void IXGrab::SetDbgCatcher(IFW_DBG_CATCHER catcher, void* context) {
    dbgCatcher_ = catcher;
    dbgContext_ = context;
}

void IXGrab::DbgPrint(char* text) {
    if (dbgCatcher_ != nullptr) dbgCatcher_(dbgContext_, text);
}

// Exponential smoothing over time stamps in microseconds. A repeated stamp would divide by zero;
// it is ignored and leaves the rate and the stored stamp as they were.
void IXGrab::UpdateFrameRate(double timeStamp) {
    if (lastFrameTimeStamp_ == 0.0) {
        lastFrameTimeStamp_ = timeStamp;
        return;
    }
    if (timeStamp == lastFrameTimeStamp_) return;
    const double instantaneous = 1000000.0 / (timeStamp - lastFrameTimeStamp_);
    frameRate_ = frameRate_ != 0.0 ? 0.75 * frameRate_ + 0.25 * instantaneous : instantaneous;
    lastFrameTimeStamp_ = timeStamp;
}

double IXGrab::GetFrameRate() {
    return frameRate_;
}

char* CIGrab::GetLastErrorMsg() {
    return IXGrab::GetLastErrorMsg();
}
