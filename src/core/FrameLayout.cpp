// Tamra grab library: the frame layout, every frame size worked out in one place.
#include "core/FrameLayout.h"

#include <algorithm>

#include <tamra/Types.h>

namespace tamra {
namespace {

// Work size: what a back-end family composes a frame in, beside the slots themselves.
std::uint64_t workSize(const LayoutInput& in, std::uint64_t pixels) {
    const std::uint64_t p = pixels, b = in.bytesPerPixel, t = in.tiles;
    // Small 8-bit frames are composed with room for three planes.
    const std::uint64_t n = (b == 1 && p < 0x300000) ? std::max<std::uint64_t>(in.cameras, 3)
                                                     : std::uint64_t{in.cameras};
    if (!in.coreTable || in.grabType == IFW_IGRAB_EMULATOR) return layoutProduct({p, n, b, t});
    if (t > 1)
        return in.grabType == IFW_IGRAB_TRELL ? layoutProduct({p, b, 4}) : layoutProduct({p, b, t});
    if (in.grabType == IFW_IGRAB_TRELL) return layoutProduct({p, 16});
    if (in.grabType == IFW_IGRAB_BRIXO) return layoutProduct({p, 3});
    return layoutProduct({p, n, b});
}

}  // namespace

std::uint64_t layoutProduct(std::uint64_t a, std::uint64_t b) {
    if (a == 0 || b == 0) return 0;
    if (a >= kLayoutTooLarge || b >= kLayoutTooLarge || a > kLayoutTooLarge / b) {
        return kLayoutTooLarge;
    }
    return std::min(a * b, kLayoutTooLarge);
}

std::uint64_t layoutProduct(std::initializer_list<std::uint64_t> factors) {
    std::uint64_t result = 1;
    for (std::uint64_t factor : factors) result = layoutProduct(result, factor);
    return result;
}

FrameLayout layOutFrames(const LayoutInput& in) {
    FrameLayout layout;
    layout.cameras = in.cameras;
    layout.pixels = layoutProduct(in.width, in.height);
    layout.planeBytes = layoutProduct(layout.pixels, in.bytesPerPixel);
    layout.planes = layoutProduct(in.cameras, in.tiles);
    layout.ringSlotBytes = layoutProduct({layout.pixels, in.slotPlanes, in.sampleBytes});
    layout.ringBytes =
        layoutProduct(std::max(workSize(in, layout.pixels), layout.ringSlotBytes), in.bufferCount);
    const std::uint64_t composedCameras =
        in.bytesPerPixel == 1 ? std::max<std::uint64_t>(in.cameras, 3) : in.cameras;
    layout.frameSlotBytes = layoutProduct({layout.planeBytes, in.tiles, composedCameras});
    return layout;
}

}  // namespace tamra
