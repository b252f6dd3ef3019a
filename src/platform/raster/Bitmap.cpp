// Raster surfaces: device-independent bitmaps of 8 (paletted), 16, 24 and 32 bits per pixel.
#include "platform/raster/Bitmap.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace tamra::platform {

namespace {

bool isOneRun(std::uint32_t mask) {
    if (mask == 0) return true;
    const std::uint32_t lowest = mask & (~mask + 1);
    return ((mask + lowest) & mask) == 0;
}

ChannelMasks masksInForce(const ChannelMasks& masks, std::uint16_t bitsPerPixel) {
    if (!masks.isDefault()) return masks;
    if (bitsPerPixel == 16) return {0x7C00, 0x03E0, 0x001F};
    return {0x00FF0000, 0x0000FF00, 0x000000FF};
}

bool validFormat(const BitmapFormat& format) {
    const std::uint32_t height = format.height < 0 ? 0u - static_cast<std::uint32_t>(format.height)
                                                   : static_cast<std::uint32_t>(format.height);
    const std::uint16_t bits = format.bitsPerPixel;
    if (format.width == 0 || format.width > kMaxBitmapDimension) return false;
    if (height == 0 || height > kMaxBitmapDimension) return false;
    if (bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
    if (format.paletteSize > 256 || (format.paletteSize > 0 && format.palette == nullptr)) {
        return false;
    }
    if (format.stride != 0 && format.stride < std::size_t{format.width} * (bits / 8u)) {
        return false;
    }
    return validChannelMasks(format.masks, bits);
}

}  // namespace

bool validChannelMasks(const ChannelMasks& masks, std::uint16_t bitsPerPixel) {
    if (masks.isDefault()) return true;
    if (bitsPerPixel != 16 && bitsPerPixel != 32) return false;
    const std::uint32_t all = masks.red | masks.green | masks.blue;
    if (bitsPerPixel == 16 && (all >> 16) != 0) return false;
    const bool overlap = (masks.red & masks.green) != 0 || (masks.red & masks.blue) != 0 ||
                         (masks.green & masks.blue) != 0;
    return !overlap && isOneRun(masks.red) && isOneRun(masks.green) && isOneRun(masks.blue);
}

std::size_t paddedRowBytes(std::uint32_t width, std::uint32_t bitsPerPixel) {
    return (std::size_t{width} * bitsPerPixel + 31) / 32 * 4;
}

bool Bitmap::create(const BitmapFormat& format, bool clear) {
    forgetLayout();
    if (!validFormat(format)) return false;
    const std::uint32_t height = format.height < 0 ? 0u - static_cast<std::uint32_t>(format.height)
                                                   : static_cast<std::uint32_t>(format.height);
    const std::size_t stride =
        format.stride != 0 ? format.stride : paddedRowBytes(format.width, format.bitsPerPixel);
    const std::size_t bytes = stride * height;
    if (bytes > kMaxBitmapBytes) return false;
    // The block only ever grows, so a bitmap re-created every frame settles at its largest size
    // and allocates nothing afterwards.
    if (bytes > pixels_.size()) {
        try {
            pixels_.resize(bytes);
        } catch (const std::bad_alloc&) {
            pixels_ = std::vector<std::uint8_t>();
            data_ = nullptr;
            return false;
        }
    }
    data_ = pixels_.data();
    if (clear) std::memset(data_, 0, bytes);
    width_ = format.width;
    height_ = height;
    topDown_ = format.height < 0;
    bitsPerPixel_ = format.bitsPerPixel;
    stride_ = static_cast<std::uint32_t>(stride);
    palette_.fill(PaletteColour{});
    paletteSize_ = format.bitsPerPixel == 8 ? format.paletteSize : 0;
    if (paletteSize_ > 0) std::copy_n(format.palette, paletteSize_, palette_.begin());
    if (format.bitsPerPixel == 8 && paletteSize_ == 0) {
        for (std::uint32_t i = 0; i < 256; ++i) {
            const auto level = static_cast<std::uint8_t>(i);
            palette_[i] = PaletteColour{level, level, level, 0};
        }
        paletteSize_ = 256;
    }
    greyRamp_ = paletteSize_ == 256;
    for (std::uint32_t i = 0; i < paletteSize_ && greyRamp_; ++i) {
        const PaletteColour& entry = palette_[i];
        greyRamp_ = entry.blue == i && entry.green == i && entry.red == i;
    }
    masks_ = masksInForce(format.masks, format.bitsPerPixel);
    return true;
}

bool Bitmap::view(const Bitmap& like, std::uint8_t* memory) {
    forgetLayout();
    if (like.empty() || memory == nullptr || &like == this) return false;
    data_ = memory;
    width_ = like.width_;
    height_ = like.height_;
    topDown_ = like.topDown_;
    bitsPerPixel_ = like.bitsPerPixel_;
    stride_ = like.stride_;
    palette_ = like.palette_;
    paletteSize_ = like.paletteSize_;
    greyRamp_ = like.greyRamp_;
    masks_ = like.masks_;
    return true;
}

bool Bitmap::viewRows(const Bitmap& like, std::uint32_t first, std::uint32_t count) {
    if (!like.topDown_ || count == 0 || first > like.height_ || count > like.height_ - first ||
        !view(like, like.data_ + std::size_t{like.stride_} * first)) {
        forgetLayout();
        return false;
    }
    height_ = count;
    return true;
}

void Bitmap::release() {
    forgetLayout();
    pixels_ = std::vector<std::uint8_t>();
    data_ = nullptr;
}

void Bitmap::forgetLayout() {
    data_ = pixels_.data();
    width_ = 0;
    height_ = 0;
    topDown_ = false;
    bitsPerPixel_ = 0;
    stride_ = 0;
    paletteSize_ = 0;
    greyRamp_ = false;
}

}  // namespace tamra::platform
