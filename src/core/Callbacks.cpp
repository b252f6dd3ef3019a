// Tamra grab library: client callback registrations, the debug catcher and the frame rate.
//
// Each registration replaces its {function, context} record as a whole, so a client may
// register or unregister while the back end's threads run and each call sees a matching pair.
#include <tamra/CIGrab.h>

#include "core/GrabState.h"
#include "core/LifecycleSteps.h"

void IXGrab::RegisterTrashCallback(IFW_GRAB_CALLBACK callback, void* context) {
    grabState().callbacks.trash.set(callback, context);
}

void IXGrab::RegisterBufferCallback(IFW_GRAB_CALLBACK callback, void* context) {
    grabState().callbacks.buffer.set(callback, context);
}

void IXGrab::RegisterBufferCallbackEx(IFW_GRAB_CALLBACK_EX callback, void* context) {
    grabState().callbacks.bufferEx.set(callback, context);
}

void IXGrab::RegisterChangeSolutionCallback(IFW_GRAB_CALLBACK callback, void* context) {
    grabState().callbacks.changeSolution.set(callback, context);
}

void IXGrab::RegisterAcqThreadExitCallback(IFW_ACQ_THREAD_EXIT_CALLBACK callback, void* context) {
    grabState().callbacks.acqThreadExit.set(callback, context);
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

void tamra::unregisterCallbacks(IXGrab& grab) {
    grab.UnRegisterTrashCallback();
    grab.UnRegisterErrorCallback();
    grab.UnRegisterBufferCallback();
    grab.UnRegisterChangeSolutionCallback();
    grab.UnRegisterAcqThreadExitCallback();
}

void IXGrab::AcqThreadExitting() {
    const auto [callback, context] = grabState().callbacks.acqThreadExit.get();
    if (callback != nullptr) callback(context);
}

void IXGrab::SetDbgCatcher(IFW_DBG_CATCHER catcher, void* context) {
    grabState().callbacks.debug.set(catcher, context);
}

void IXGrab::DbgPrint(char* text) {
    const auto [catcher, context] = grabState().callbacks.debug.get();
    if (catcher != nullptr) catcher(context, text);
}

// Exponential smoothing over time stamps in microseconds. A repeated stamp would divide by zero;
// it is ignored and leaves the rate and the stored stamp as they were.
void IXGrab::UpdateFrameRate(double timeStamp) {
    if (grabState().diagnostics.lastFrameTimeStamp == 0.0) {
        grabState().diagnostics.lastFrameTimeStamp = timeStamp;
        return;
    }
    if (timeStamp == grabState().diagnostics.lastFrameTimeStamp) return;
    const double instantaneous =
        1000000.0 / (timeStamp - grabState().diagnostics.lastFrameTimeStamp);
    grabState().diagnostics.frameRate =
        grabState().diagnostics.frameRate != 0.0
            ? 0.75 * grabState().diagnostics.frameRate + 0.25 * instantaneous
            : instantaneous;
    grabState().diagnostics.lastFrameTimeStamp = timeStamp;
}

double IXGrab::GetFrameRate() {
    return grabState().diagnostics.frameRate;
}

char* CIGrab::GetLastErrorMsg() {
    return IXGrab::GetLastErrorMsg();
}
