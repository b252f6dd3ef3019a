// Raster drawing: memory device contexts, the nearest-sample stretch copy and the black fill.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "platform/raster/Bitmap.h"

namespace tamra::platform {

// Raster operations understood by the copies.
inline constexpr std::uint32_t kSrcCopy = 0x00CC0020;
inline constexpr std::uint32_t kBlackness = 0x00000042;

// Stretch modes. Every mode copies as colour-on-colour does (nearest sample, no blending);
// the mode is kept because drawing code sets it.
inline constexpr int kStretchBlackOnWhite = 1;
inline constexpr int kStretchColorOnColor = 3;
inline constexpr int kStretchHalftone = 4;

struct Rect {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
};

// Work memory of the copies, kept with a context so that repeated copies allocate nothing once
// the column map has reached its largest size.
struct StretchScratch {
    std::vector<std::uint32_t> columnOffsets;  // source byte offset for each drawn column
    std::array<std::uint8_t, 256> indexMap{};  // source palette index -> destination index
    std::array<std::uint32_t, 256> colours{};  // source palette as 0x00RRGGBB
    std::array<std::array<std::uint8_t, 256>, 3> channelScale{};  // n-bit channel -> 8 bits
};

// A memory drawing context: the bitmap selected into it, its stretch mode, and work memory.
// Not copyable; one thread at a time.
class DeviceContext {
public:
    DeviceContext() = default;
    DeviceContext(const DeviceContext&) = delete;
    DeviceContext& operator=(const DeviceContext&) = delete;

    // Returns the bitmap selected before (null when none). The context does not own it.
    Bitmap* selectBitmap(Bitmap* bitmap);
    Bitmap* selectedBitmap() const { return bitmap_; }
    // Returns the previous mode, or 0 (and nothing changes) for a mode outside 1 to 4.
    int setStretchMode(int mode);
    int stretchMode() const { return stretchMode_; }
    StretchScratch& scratch() { return scratch_; }

private:
    Bitmap* bitmap_ = nullptr;
    int stretchMode_ = kStretchBlackOnWhite;
    StretchScratch scratch_;
};

// True when stretchBlt of a whole bitmap of source's layout onto a whole bitmap of
// destination's layout of the same size copies each row's pixel bytes unchanged.
bool copiesRowsVerbatim(const Bitmap& source, const Bitmap& destination);

// Copies the source rectangle of the bitmap selected into source onto the destination
// rectangle of the bitmap selected into destination (rectangles in picture coordinates, row 0
// at the top whatever the stored order). Destination column d of a span of D columns reads
// source column floor(d x S / D) of a span of S, and the same for rows. Pixels are converted to
// the destination format; a paletted destination takes the palette entry nearest in squared RGB
// distance (lowest index on a tie). The destination rectangle is clipped to its bitmap.
// False when a context has no bitmap, a width or height is not positive, the source rectangle
// leaves the source bitmap, or the raster operation is not kSrcCopy.
bool stretchBlt(DeviceContext& destination, const Rect& to, DeviceContext& source, const Rect& from,
                std::uint32_t rasterOp);

// kBlackness: clears the rectangle (clipped) to all-zero bits: black for RGB layouts and
// palette entry 0 for a paletted bitmap; source may be null. kSrcCopy: an unscaled stretchBlt
// from (sourceX, sourceY). False for anything else, or when a needed bitmap is missing.
bool bitBlt(DeviceContext& destination, const Rect& to, DeviceContext* source, std::int32_t sourceX,
            std::int32_t sourceY, std::uint32_t rasterOp);

}  // namespace tamra::platform
