// Raster surfaces: device-independent bitmaps of 8 (paletted), 16, 24 and 32 bits per pixel.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tamra::platform {

// One palette entry, in the byte order of bitmap files.
struct PaletteColour {
    std::uint8_t blue = 0;
    std::uint8_t green = 0;
    std::uint8_t red = 0;
    std::uint8_t reserved = 0;
};

// Where the red, green and blue bits of a 16- or 32-bit pixel are. All zero means the default
// layout: 5-5-5 for 16 bits, 8-8-8 (blue in the lowest byte) for 32 bits. A mask must be one run
// of set bits; a zero mask in a non-default set is a channel that always reads 0.
struct ChannelMasks {
    std::uint32_t red = 0;
    std::uint32_t green = 0;
    std::uint32_t blue = 0;
    bool isDefault() const { return red == 0 && green == 0 && blue == 0; }
};

struct BitmapFormat {
    std::uint32_t width = 0;
    // Negative: top-down, the first stored row is the top of the picture.
    std::int32_t height = 0;
    std::uint16_t bitsPerPixel = 8;
    ChannelMasks masks;
    // 8 bits: the palette; entries past paletteSize are black. No entries at all means the
    // 256-level grey ramp (entry i is grey level i).
    const PaletteColour* palette = nullptr;
    std::uint32_t paletteSize = 0;
    // Bytes from one stored row to the next; 0 pads rows to a multiple of 4 bytes, as bitmap
    // files do. Must hold at least width x bytes per pixel.
    std::uint32_t stride = 0;
};

// Largest width or height a bitmap may have, and largest pixel block.
inline constexpr std::uint32_t kMaxBitmapDimension = 1u << 16;
inline constexpr std::size_t kMaxBitmapBytes = std::size_t{1} << 30;

// Row stride of a bitmap file row: width x bits rounded up to whole 32-bit words.
std::size_t paddedRowBytes(std::uint32_t width, std::uint32_t bitsPerPixel);

// Masks a bitmap of that depth can be made with: the default (all zero), or at 16 and 32 bits
// three separate runs of bits within the pixel.
bool validChannelMasks(const ChannelMasks& masks, std::uint16_t bitsPerPixel);

// A bitmap owning its pixel memory. Re-creating it with a format that fits the memory it already
// holds allocates nothing, so one bitmap can take a new picture every frame.
class Bitmap {
public:
    Bitmap() = default;
    // A copy would draw on the original's memory.
    Bitmap(const Bitmap&) = delete;
    Bitmap& operator=(const Bitmap&) = delete;

    // Lays the bitmap out for a format. Refuses (false, and the bitmap is left empty) a width
    // or height of 0 or beyond kMaxBitmapDimension, a bit count other than 8, 16, 24 or 32, a
    // palette beyond 256 entries, a mask that is not one run of bits or overlaps another, a
    // stride too short, a block beyond kMaxBitmapBytes, or memory that cannot be had.
    // clear: zero the pixels; otherwise they hold whatever the memory held.
    bool create(const BitmapFormat& format, bool clear = true);
    // Lays the bitmap out as |like| (size, depth, palette, masks) over memory the caller owns,
    // which must hold like.sizeInBytes() bytes for as long as the bitmap is drawn on. Nothing is
    // allocated, cleared or copied; own memory is kept for a later create. False when like is
    // empty or memory null.
    bool view(const Bitmap& like, std::uint8_t* memory);
    // A view of rows first to first + count - 1 of a top-down bitmap, over its memory: row 0
    // of the view is row first of like. False (and left empty) for a bottom-up or empty like,
    // no rows, or rows past its bottom.
    bool viewRows(const Bitmap& like, std::uint32_t first, std::uint32_t count);
    // Empties the bitmap and frees its memory.
    void release();

    bool empty() const { return width_ == 0; }
    std::uint32_t width() const { return width_; }
    std::uint32_t height() const { return height_; }
    bool topDown() const { return topDown_; }
    std::uint16_t bitsPerPixel() const { return bitsPerPixel_; }
    std::uint32_t bytesPerPixel() const { return bitsPerPixel_ / 8u; }
    std::uint32_t stride() const { return stride_; }
    std::size_t sizeInBytes() const { return std::size_t{stride_} * height_; }
    // Pixel memory in stored order (for a bottom-up bitmap, the bottom row first).
    std::uint8_t* bits() { return data_; }
    const std::uint8_t* bits() const { return data_; }
    // Row y of the picture, counted from the top whatever the stored order.
    std::uint8_t* row(std::uint32_t y) { return data_ + rowOffset(y); }
    const std::uint8_t* row(std::uint32_t y) const { return data_ + rowOffset(y); }

    const std::array<PaletteColour, 256>& palette() const { return palette_; }
    std::uint32_t paletteSize() const { return paletteSize_; }
    // 8 bits with the 256-level grey ramp as palette.
    bool isGreyRamp() const { return greyRamp_; }
    // The masks in force: the default layout spelled out when the format gave none.
    const ChannelMasks& masks() const { return masks_; }

private:
    void forgetLayout();
    std::size_t rowOffset(std::uint32_t y) const {
        return std::size_t{stride_} * (topDown_ ? y : height_ - 1 - y);
    }

    std::uint32_t width_ = 0;
    std::uint32_t height_ = 0;
    bool topDown_ = false;
    std::uint16_t bitsPerPixel_ = 0;
    std::uint32_t stride_ = 0;
    std::array<PaletteColour, 256> palette_{};
    std::uint32_t paletteSize_ = 0;
    bool greyRamp_ = false;
    ChannelMasks masks_;
    std::vector<std::uint8_t> pixels_;
    // The pixels drawn on: pixels_ after create, the caller's memory after view.
    std::uint8_t* data_ = nullptr;
};

}  // namespace tamra::platform
