// Emulator bitmap loading: a file examined by the loader's rule, read and stretched onto the
// frame surface.
#include <algorithm>
#include <cstring>
#include <limits>

#include "emulator/BitmapVerdict.h"
#include "emulator/FrameComposer.h"

namespace tamra::emulator {

bool FrameComposer::load(const char* path, const BITMAPINFO* target, const ConformRule& rule) {
    verdict_ = loadVerdict(path, target, rule);
    return verdict_.plays;
}

Verdict FrameComposer::loadVerdict(const char* path, const BITMAPINFO* target,
                                   const ConformRule& rule) {
    if (target == nullptr) return refused("no frame surface to draw on");
    File file;
    Verdict verdict = openBitmap(path, file);
    if (!verdict.plays) return verdict;
    // A buffer of ours, so that reading the file allocates no stream buffer.
    std::setvbuf(file.get(), streamBuffer_.data(), _IOFBF, streamBuffer_.size());
    BitmapLayout layout;
    verdict = examineBitmap(file.get(), path, rule, layout);
    if (!verdict.plays) return verdict;
    verdict = readSource(file.get(), layout);
    if (!verdict.plays) return verdict;
    // Only the header is read through target, whatever the palette room behind it.
    BITMAPINFOHEADER targetHeader;
    std::memcpy(&targetHeader, target, sizeof targetHeader);
    if (!drawSource(targetHeader)) return refused("the picture cannot be drawn onto the frame");
    return verdict;
}

// An 8-bit file's palette follows the information header (without one, the grey ramp).
Verdict FrameComposer::readSource(std::FILE* file, const BitmapLayout& layout) {
    const BITMAPINFOHEADER& info = layout.info;
    platform::BitmapFormat format;
    format.width = static_cast<std::uint32_t>(info.biWidth);
    format.height = info.biHeight;
    format.bitsPerPixel = info.biBitCount;
    format.masks = layout.masks;
    if (layout.paletteEntries > 0) {
        if (!readPalette(file, layout.paletteEntries)) return refused("the palette cannot be read");
        format.palette = palette_.data();
        format.paletteSize = layout.paletteEntries;
    }
    if (!source_.create(format, false)) {
        return refused("a %u x %u picture does not fit the raster layer", format.width,
                       heightMagnitude(info.biHeight));
    }
    if (std::fseek(file, static_cast<long>(layout.fileHeader.pixelOffset), SEEK_SET) != 0 ||
        !readRows(file, layout.fileRowBytes)) {
        return refused("the pixel rows cannot be read");
    }
    return Verdict{};
}

bool FrameComposer::readPalette(std::FILE* file, std::uint32_t entries) {
    if (std::fseek(file, static_cast<long>(kFileHeaderBytes + kInfoHeaderBytes), SEEK_SET) != 0) {
        return false;
    }
    for (std::uint32_t i = 0; i < entries; ++i) {
        std::uint8_t entry[4];
        if (std::fread(entry, 1, 4, file) != 4) return false;
        palette_[i] = platform::PaletteColour{entry[0], entry[1], entry[2], entry[3]};
    }
    return true;
}

// File rows are the stored width padded to 4 bytes; bitmap rows hold the rounded width. All
// rows come in one read and are then spread out from the last to the first (each moves to a
// higher or equal offset). The bytes the file does not fill are zeroed, as in a new bitmap.
bool FrameComposer::readRows(std::FILE* file, std::size_t fileRowBytes) {
    const std::size_t rows = source_.height();
    const std::size_t stride = source_.stride();
    std::uint8_t* bits = source_.bits();
    if (std::fread(bits, 1, fileRowBytes * rows, file) != fileRowBytes * rows) return false;
    if (fileRowBytes == stride) return true;
    for (std::size_t row = rows; row-- > 0;) {
        std::memmove(bits + row * stride, bits + row * fileRowBytes, fileRowBytes);
        std::memset(bits + row * stride + fileRowBytes, 0, stride - fileRowBytes);
    }
    return true;
}

bool FrameComposer::drawSource(const BITMAPINFOHEADER& target) {
    const std::uint32_t width = std::min<std::uint32_t>(heightMagnitude(target.biWidth),
                                                        std::numeric_limits<std::int32_t>::max());
    const std::uint32_t height = std::min<std::uint32_t>(heightMagnitude(target.biHeight),
                                                         std::numeric_limits<std::int32_t>::max());
    platform::Bitmap* previous = sourceDc_.selectBitmap(&source_);
    const bool drawn = platform::stretchBlt(
        destinationDc_,
        platform::Rect{0, 0, static_cast<std::int32_t>(width), static_cast<std::int32_t>(height)},
        sourceDc_,
        platform::Rect{0, 0, static_cast<std::int32_t>(source_.width()),
                       static_cast<std::int32_t>(source_.height())},
        platform::kSrcCopy);
    sourceDc_.selectBitmap(previous);
    return drawn;
}

}  // namespace tamra::emulator
