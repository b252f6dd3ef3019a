// Frame transforms behind ApplyImageTransform: tile re-ordering into a mosaic, mirror, flip and
// rotation of every camera image of a frame, using a two-frame work buffer.
//
// Frame layout. A frame holds the cameras' images one after another. With tiling, camera i's
// image is its own run of vertical x horizontal tiles, so each camera image takes
// tiles x one tile's image bytes and starts i times that far into the frame; every camera's tiles
// are re-ordered into that camera's own mosaic. Without tiling this is the usual layout of
// camera images one tile's image bytes apart.
//
// Buffers. The work buffer always holds two frames of the geometry in force at the call: it is
// allocated on the first call that needs it and made afresh whenever the frame has grown since,
// so no call writes past it. Sizes are computed in 64 bits; a frame too large to allocate leaves
// the caller's frame untransformed and returns it.
//
// Pixels. Mirror and flip move whole pixels of any size. Rotations choose their layout by bytes
// per pixel: 4 rotates the first three bytes and keeps the fourth, 3 rotates all three, 2 moves
// whole two-byte pixels, anything else one byte at a time.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include <tamra/Types.h>

namespace tamra::imaging {

// What a transform needs to know of the grab object, read at the call.
struct FrameGeometry {
    std::uint32_t tileWidth;
    std::uint32_t tileHeight;
    std::uint32_t bytesPerPixel;
    std::uint32_t horzTiles;
    std::uint32_t vertTiles;
    std::uint32_t cameras;
    std::uint32_t width;     // displayed frame width, GetWidth()
    std::uint32_t height;    // displayed frame height, GetHeight()
    std::uint32_t rotation;  // stored counter-clockwise degrees, 0 to 359
    bool transposing;
    IFW_IMG_TRANSFORM_TYPE transformType;
};

// Whose rules apply: the core re-orders tiles and rotates by any angle; the root interface's
// default never re-orders and turns only by exact quarter turns of 1- or 3-byte pixels.
enum class TransformRules { Core, RootDefault };

// Transforms frame and returns the caller's frame or one half of workBuffer; callCounter picks
// the half. Thread-safe only for distinct work buffers.
unsigned char* transformFrame(const FrameGeometry& geometry, TransformRules rules,
                              std::vector<unsigned char>& workBuffer,
                              std::atomic<std::uint32_t>& callCounter, unsigned char* frame);

// Re-orders one camera's stacked tiles into its mosaic (source and destination must differ).
void reorderTiles(const unsigned char* source, unsigned char* destination, std::uint64_t rowBytes,
                  std::uint32_t tileHeight, std::uint32_t horzTiles, std::uint32_t vertTiles);

}  // namespace tamra::imaging
