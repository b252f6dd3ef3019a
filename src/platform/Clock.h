// Platform clock: the monotonic performance counter and sleeping.
#pragma once

#include <cstdint>

namespace tamra::platform {

// Counter ticks per second; false when the platform has no such counter.
bool performanceFrequency(std::int64_t* frequency);
std::int64_t performanceCounter();
void sleepMilliseconds(std::uint32_t milliseconds);

}  // namespace tamra::platform
