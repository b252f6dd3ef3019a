// Tamra grab library: steps of the lifecycle operations that IXGrab and CIGrab share: the
// housekeeping thread, the end of the I/O scheduler and the unregistration at Terminate.
#pragma once

class CIGrab;
class IXGrab;

namespace tamra {

struct GrabState;

// Starts the thread that calls the grab's ToggleLed(1) every second until it is stopped; a
// thread that cannot be created goes unnoticed.
void startHousekeeping(CIGrab& grab, GrabState& state);
// Wakes and joins the housekeeping thread, if any.
void stopHousekeeping(GrabState& state);
// Joins the I/O scheduler's thread, if any.
void stopIoScheduler(GrabState& state);
// Terminate's order: trash, error, buffer, change-solution, acquisition-thread exit; each
// through the grab's virtual table.
void unregisterCallbacks(IXGrab& grab);

}  // namespace tamra
