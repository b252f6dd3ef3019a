// Emulator bitmap loading: a file examined by the loader's rule, read and stretched onto the
// frame surface.
#include <algorithm>
#include <cstring>
#include <limits>

#include "emulator/BitmapVerdict.h"
#include "emulator/FrameComposer.h"
#include "platform/raster/RowRead.h"

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
    verdict = prepareSource(file.get(), layout);
    if (!verdict.plays) return verdict;
    if (std::fseek(file.get(), static_cast<long>(layout.fileHeader.pixelOffset), SEEK_SET) != 0) {
        return refused("the pixel rows cannot be read");
    }
    // Only the header is read through target, whatever the palette room behind it.
    BITMAPINFOHEADER targetHeader;
    std::memcpy(&targetHeader, target, sizeof targetHeader);
    const DrawSize size = drawSize(targetHeader);
    if (drawsInBands(layout.fileRowBytes, size)) {
        if (readsStraightIntoSurface(layout.fileRowBytes, size)) {
            return readIntoSurface(file.get(), layout.fileHeader.pixelOffset, layout.fileRowBytes);
        }
        return readAndDrawBands(file.get(), size);
    }
    if (!readRows(file.get(), layout.fileRowBytes)) return refused("the pixel rows cannot be read");
    if (!drawSource(size)) return refused("the picture cannot be drawn onto the frame");
    return verdict;
}

// An 8-bit file's palette follows the information header (without one, the grey ramp).
Verdict FrameComposer::prepareSource(std::FILE* file, const BitmapLayout& layout) {
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

FrameComposer::DrawSize FrameComposer::drawSize(const BITMAPINFOHEADER& target) {
    constexpr std::uint32_t kLargest = std::numeric_limits<std::int32_t>::max();
    return DrawSize{static_cast<std::int32_t>(
                        std::min<std::uint32_t>(heightMagnitude(target.biWidth), kLargest)),
                    static_cast<std::int32_t>(
                        std::min<std::uint32_t>(heightMagnitude(target.biHeight), kLargest))};
}

bool FrameComposer::drawSource(const DrawSize& size) {
    return drawRows(destinationDc_, platform::Rect{0, 0, size.width, size.height});
}

// Draws the whole source onto to, as placed in the bitmap selected into destination.
bool FrameComposer::drawRows(platform::DeviceContext& destination, const platform::Rect& to) {
    platform::Bitmap* previous = sourceDc_.selectBitmap(&source_);
    const bool drawn =
        platform::stretchBlt(destination, to, sourceDc_,
                             platform::Rect{0, 0, static_cast<std::int32_t>(source_.width()),
                                            static_cast<std::int32_t>(source_.height())},
                             platform::kSrcCopy);
    sourceDc_.selectBitmap(previous);
    return drawn;
}

// Rows are read and drawn a band at a time, while the band is still in the cache, when the file
// rows are the bitmap rows and the stretch is sure to draw (a top-down surface, a non-empty
// size): every surface row samples one source row, so drawing the rows of each band gives the
// frame a single stretch would.
bool FrameComposer::drawsInBands(std::size_t fileRowBytes, const DrawSize& size) {
    const platform::Bitmap* out = destinationDc_.selectedBitmap();
    return fileRowBytes == source_.stride() && out != nullptr && !out->empty() && out->topDown() &&
           size.width > 0 && size.height > 0;
}

// The stretch would copy the file's rows unchanged onto a surface of the file's size whose rows
// are exactly the file's rows: then they are read straight into their surface rows.
bool FrameComposer::readsStraightIntoSurface(std::size_t fileRowBytes, const DrawSize& size) {
    const platform::Bitmap& out = *destinationDc_.selectedBitmap();
    return platform::copiesRowsVerbatim(source_, out) && out.height() == source_.height() &&
           out.stride() == fileRowBytes &&
           std::size_t{out.width()} * out.bytesPerPixel() == fileRowBytes &&
           static_cast<std::uint32_t>(size.width) == out.width() &&
           static_cast<std::uint32_t>(size.height) == out.height();
}

Verdict FrameComposer::readIntoSurface(std::FILE* file, std::uint64_t pixelOffset,
                                       std::size_t fileRowBytes) {
    platform::Bitmap& out = *destinationDc_.selectedBitmap();
    const std::uint32_t rows = source_.height();
    // Stored row r is picture row r of a top-down file, row rows - 1 - r of a bottom-up one.
    const auto pictureRow = [&](std::uint32_t stored) {
        return source_.topDown() ? stored : rows - 1 - stored;
    };
    std::uint8_t* first = out.row(pictureRow(0));
    const std::ptrdiff_t step = rows > 1 ? out.row(pictureRow(1)) - first : 0;
    if (!platform::readRowsAt(file, pixelOffset, first, step, fileRowBytes, rows)) {
        return refused("the pixel rows cannot be read");
    }
    return Verdict{};
}

// A read error ends the load with it at once; a failed draw is told only after every row was
// read, so that the verdict is the one the whole-file read and draw would give.
Verdict FrameComposer::readAndDrawBands(std::FILE* file, const DrawSize& size) {
    const std::size_t stride = source_.stride();
    const std::uint32_t rows = source_.height();
    const auto bandRows =
        static_cast<std::uint32_t>(std::clamp<std::size_t>(kBandBytes / stride, 1, rows));
    bool drawn = true;
    for (std::uint32_t first = 0; first < rows; first += bandRows) {
        const std::uint32_t count = std::min(bandRows, rows - first);
        if (std::fread(source_.bits() + first * stride, 1, count * stride, file) !=
            count * stride) {
            return refused("the pixel rows cannot be read");
        }
        // Stored rows of a bottom-up bitmap run from the bottom of the picture.
        const std::uint32_t top = source_.topDown() ? first : rows - first - count;
        drawn = drawn && drawBand(top, top + count, size);
    }
    if (!drawn) return refused("the picture cannot be drawn onto the frame");
    return Verdict{};
}

// Surface row y samples source row floor(y x rows / height), so source rows top to end - 1 are
// sampled by surface rows ceil(top x height / rows) to ceil(end x height / rows) - 1.
bool FrameComposer::drawBand(std::uint32_t top, std::uint32_t end, const DrawSize& size) {
    platform::Bitmap& out = *destinationDc_.selectedBitmap();
    const std::int64_t rows = source_.height();
    const auto firstRow = [&](std::int64_t sourceRow) {
        return std::min<std::int64_t>((sourceRow * size.height + rows - 1) / rows, out.height());
    };
    const std::int64_t y0 = firstRow(top);
    const std::int64_t y1 = firstRow(end);
    if (y0 >= y1) return true;
    if (!band_.viewRows(out, static_cast<std::uint32_t>(y0), static_cast<std::uint32_t>(y1 - y0))) {
        return false;
    }
    platform::Bitmap* previous = destinationDc_.selectBitmap(&band_);
    const bool drawn = drawRows(
        destinationDc_, platform::Rect{0, static_cast<std::int32_t>(-y0), size.width, size.height});
    destinationDc_.selectBitmap(previous);
    return drawn;
}

}  // namespace tamra::emulator
