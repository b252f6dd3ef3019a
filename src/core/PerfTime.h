// Tamra grab library: the millisecond clock built on the performance counter.
#pragma once

#include <cstdint>

namespace tamra {

// Milliseconds per counter tick for a counter of the given frequency, or -1.0 when the
// platform has none (available false or a frequency that is not positive).
double millisecondScale(bool available, std::int64_t frequency);

// counter × scale when the scale is positive, else 0.0.
double millisecondsAt(std::int64_t counter, double scale);

// The performance counter in milliseconds from an arbitrary origin, with the process-wide scale
// computed once while the library is loaded; 0.0 on a machine without a counter.
double PerfTimeMs();

}  // namespace tamra
