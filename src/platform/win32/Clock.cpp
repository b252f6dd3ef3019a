// Tamra grab library: the Win32 performance counter and sleeping.
#include "platform/Clock.h"

#include <windows.h>

namespace tamra::platform {

bool performanceFrequency(std::int64_t* frequency) {
    LARGE_INTEGER value{};
    if (frequency == nullptr || !QueryPerformanceFrequency(&value)) return false;
    *frequency = value.QuadPart;
    return true;
}

std::int64_t performanceCounter() {
    LARGE_INTEGER value{};
    QueryPerformanceCounter(&value);
    return value.QuadPart;
}

// 0 gives up the rest of the time slice.
void sleepMilliseconds(std::uint32_t milliseconds) {
    Sleep(milliseconds);
}

// Sleep's granularity is the system timer's, which is not the library's to change.
void preferPreciseWakeUps() {}

}  // namespace tamra::platform
