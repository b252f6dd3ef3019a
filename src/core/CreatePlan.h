// Tamra grab library: what one Create resolved and sized, between its steps.
#pragma once

#include <cstdint>

#include "core/FrameLayout.h"

namespace tamra {

// The geometry a Create stores and the layout of the ring it allocates.
struct CreatePlan {
    std::uint32_t offsetX, offsetY, width, height, bits, bufferCount, timeOut;
    std::uint32_t bytesPerPixel = 0;
    FrameLayout layout{};
};

}  // namespace tamra
