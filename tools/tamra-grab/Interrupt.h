// tamra-grab: Ctrl-C and termination requests end the run cleanly instead of killing it.
#pragma once

namespace tamra_grab {

// SIGINT and SIGTERM set a flag that the run loops poll; a second signal ends the program at
// once, as if no handler were installed.
void installInterruptHandlers();
// The signal received, or 0.
int interruptSignal();
inline bool interrupted() {
    return interruptSignal() != 0;
}

}  // namespace tamra_grab
