// Tamra grab library: the frame layout, every frame size worked out in one place.
#pragma once

#include <cstdint>
#include <initializer_list>

namespace tamra {

// What the sizes depend on. Sides are one tile's; planes are cameras x tiles.
struct LayoutInput {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t bytesPerPixel = 1;  // of the delivered image
    std::uint32_t sampleBytes = 1;    // per pixel and plane in a ring slot
    std::uint64_t slotPlanes = 1;     // planes a ring slot holds
    std::uint32_t cameras = 1;
    std::uint64_t tiles = 1;
    std::uint32_t bufferCount = 1;
    // Work size of the back-end family beside the slots: its grab type, and whether CIGrab's
    // table applies (IXGrab uses its last row for every type).
    int grabType = 0;
    bool coreTable = false;
};

// Sizes are 64-bit and saturate just above the 32-bit range, so a geometry whose sizes do not
// fit in 32 bits is seen as such instead of wrapping into a ring smaller than its slots.
struct FrameLayout {
    std::uint32_t cameras = 0;
    std::uint64_t pixels = 0;          // one plane
    std::uint64_t planeBytes = 0;      // one plane of the delivered image
    std::uint64_t planes = 0;          // planes a frame is composed of: cameras x tiles
    std::uint64_t ringSlotBytes = 0;   // stride of the ring's slots
    std::uint64_t ringBytes = 0;       // the whole ring
    std::uint64_t frameSlotBytes = 0;  // where a frame is composed, with room for three planes
                                       // of small 8-bit frames
};

inline constexpr std::uint64_t kLayoutTooLarge = std::uint64_t{0xFFFFFFFFu} + 1;

FrameLayout layOutFrames(const LayoutInput& in);
// Saturating product of the layout; kLayoutTooLarge when the result leaves 32 bits.
std::uint64_t layoutProduct(std::uint64_t a, std::uint64_t b);
std::uint64_t layoutProduct(std::initializer_list<std::uint64_t> factors);

}  // namespace tamra
