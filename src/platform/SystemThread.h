// Platform threads, the system's part: creating, joining and letting go of one thread. The
// portable Thread (platform/Thread.cpp) builds its start handshake, identity and joins on these.
#pragma once

#include <cstddef>

namespace tamra::platform {

struct SystemThread;

using SystemThreadEntry = void (*)(void* argument);

// Starts entry(argument) on a new thread whose body gets at least stackSize bytes of stack
// (0: the system default). Null, and nothing started, when the system refuses.
SystemThread* startSystemThread(std::size_t stackSize, SystemThreadEntry entry, void* argument);
// Waits without a time limit for the thread to end, then frees it.
void joinSystemThread(SystemThread* thread);
// Called by the thread itself when nobody will join it: its resources go when it returns.
void detachSystemThread(SystemThread* thread);

}  // namespace tamra::platform
