// Platform clock: the monotonic performance counter and sleeping.
#pragma once

#include <cstdint>

namespace tamra::platform {

// Counter ticks per second; false when the platform has no such counter.
bool performanceFrequency(std::int64_t* frequency);
std::int64_t performanceCounter();
void sleepMilliseconds(std::uint32_t milliseconds);
// Asks that the calling thread's sleeps and timed waits end, and its wake-ups run, as close to
// their time as the system allows, instead of being batched with other wake-ups or waiting for
// other threads' time slices; lasts for the thread's life. Its share of the processor is
// unchanged.
void preferPreciseWakeUps();

}  // namespace tamra::platform
