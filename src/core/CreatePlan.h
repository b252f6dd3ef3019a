// Tamra grab library: what one Create resolved and sized, between its steps.
#pragma once

#include <cstdint>

namespace tamra {

// The geometry a Create stores and the ring it allocates. Sizes are 64-bit so that a geometry
// whose products exceed 32 bits is seen as such instead of wrapping.
struct CreatePlan {
    std::uint32_t offsetX, offsetY, width, height, bits, bufferCount, timeOut;
    std::uint32_t bytesPerPixel = 0;
    std::uint64_t pixels = 0;
    std::uint64_t slotStride = 0;
    std::uint64_t ringSize = 0;
};

}  // namespace tamra
