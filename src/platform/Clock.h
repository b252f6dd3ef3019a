// Platform clock: the monotonic performance counter and sleeping.
#pragma once

#include <cstdint>

namespace tamra::platform {

// Counter ticks per second; false when the platform has no such counter.
bool performanceFrequency(std::int64_t* frequency);
std::int64_t performanceCounter();
void sleepMilliseconds(std::uint32_t milliseconds);
// Asks that the calling thread's sleeps and timed waits end as close to their time as the
// system allows, instead of being batched with other wake-ups; lasts for the thread's life.
void preferPreciseWakeUps();

}  // namespace tamra::platform
