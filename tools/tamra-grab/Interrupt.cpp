// tamra-grab: the signal flag.
#include "Interrupt.h"

#include <csignal>

namespace tamra_grab {
namespace {

volatile std::sig_atomic_t received = 0;

void onSignal(int signal) {
    received = signal;
    std::signal(signal, SIG_DFL);  // a second request is not ignored
}

}  // namespace

void installInterruptHandlers() {
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
}

int interruptSignal() {
    return received;
}

}  // namespace tamra_grab
