// Tamra grab library: a grab's failure messages and lifecycle refusals, for the core's internal
// helpers; IXGrab's fail, failInit and admitted give back ends the same.
#pragma once

#include "core/LifecycleRules.h"

namespace tamra {

struct GrabState;

// Writes "<class>::<operation>: <reason>" into the last-error buffer and returns 0.
int fail(GrabState& state, const char* operation, const char* reason);
// Writes "<class> Init: <reason>" (the allocation failures of Create) and returns 0.
int failInit(GrabState& state, const char* reason);
// Returns 1 when the lifecycle state admits the operation (inCallback: on one of acquisition's
// own threads), else writes its refusal "<class>::<name>: <reason>" and returns 0.
int admitted(GrabState& state, GrabOperation operation, const char* name, bool inCallback = false);

}  // namespace tamra
