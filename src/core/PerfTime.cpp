// Tamra grab library: the millisecond clock built on the performance counter.
#include "core/PerfTime.h"

#include "platform/Clock.h"

namespace tamra {
namespace {

double loadTimeScale() {
    std::int64_t frequency = 0;
    const bool available = platform::performanceFrequency(&frequency);
    return millisecondScale(available, frequency);
}

// Computed during static initialisation, before any grab object exists; only read afterwards.
const double kMillisecondScale = loadTimeScale();

}  // namespace

double millisecondScale(bool available, std::int64_t frequency) {
    if (!available || frequency <= 0) return -1.0;
    return 1000.0 / static_cast<double>(frequency);
}

double millisecondsAt(std::int64_t counter, double scale) {
    return scale > 0.0 ? static_cast<double>(counter) * scale : 0.0;
}

double PerfTimeMs() {
    if (!(kMillisecondScale > 0.0)) return 0.0;
    return millisecondsAt(platform::performanceCounter(), kMillisecondScale);
}

}  // namespace tamra
