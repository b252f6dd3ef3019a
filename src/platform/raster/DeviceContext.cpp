// Raster drawing: memory device contexts, the nearest-sample stretch copy and the black fill.
#include "platform/raster/DeviceContext.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

#include "platform/raster/PixelKernels.h"

namespace tamra::platform {

namespace {

// A colour as 0x00RRGGBB.
using Colour = std::uint32_t;

constexpr Colour packColour(std::uint32_t red, std::uint32_t green, std::uint32_t blue) {
    return red << 16 | green << 8 | blue;
}
constexpr std::uint32_t redOf(Colour colour) {
    return colour >> 16 & 0xFF;
}
constexpr std::uint32_t greenOf(Colour colour) {
    return colour >> 8 & 0xFF;
}
constexpr std::uint32_t blueOf(Colour colour) {
    return colour & 0xFF;
}

Colour colourOf(const PaletteColour& entry) {
    return packColour(entry.red, entry.green, entry.blue);
}

// Nearest entry of the 256-level grey ramp for each sum r + g + b: the squared distance to
// level i is 3i^2 - 2i(r+g+b) + const, smallest at the integer nearest (r+g+b)/3, which is
// never halfway between two levels.
const std::array<std::uint8_t, 766>& greyForSum() {
    static const std::array<std::uint8_t, 766> table = [] {
        std::array<std::uint8_t, 766> levels{};
        for (std::size_t sum = 0; sum < levels.size(); ++sum) {
            levels[sum] = static_cast<std::uint8_t>((sum + 1) / 3);
        }
        return levels;
    }();
    return table;
}

std::uint8_t nearestPaletteIndex(const Bitmap& bitmap, Colour colour) {
    std::uint32_t best = 0;
    std::int32_t bestDistance = 0x7FFFFFFF;
    for (std::uint32_t i = 0; i < bitmap.paletteSize(); ++i) {
        const PaletteColour& entry = bitmap.palette()[i];
        const std::int32_t dr = static_cast<std::int32_t>(redOf(colour)) - entry.red;
        const std::int32_t dg = static_cast<std::int32_t>(greenOf(colour)) - entry.green;
        const std::int32_t db = static_cast<std::int32_t>(blueOf(colour)) - entry.blue;
        const std::int32_t distance = dr * dr + dg * dg + db * db;
        if (distance < bestDistance) {
            bestDistance = distance;
            best = i;
        }
    }
    return static_cast<std::uint8_t>(best);
}

std::uint32_t lowestSetBit(std::uint32_t mask) {
    std::uint32_t shift = 0;
    while (shift < 32 && (mask >> shift & 1u) == 0) ++shift;
    return shift;
}

std::uint32_t bitCount(std::uint32_t mask) {
    std::uint32_t count = 0;
    for (; mask != 0; mask &= mask - 1) ++count;
    return count;
}

template <std::uint32_t kBytes>
std::uint32_t loadPixel(const std::uint8_t* p) {
    std::uint32_t value = 0;
    for (std::uint32_t i = 0; i < kBytes; ++i) value |= std::uint32_t{p[i]} << (8 * i);
    return value;
}

template <std::uint32_t kBytes>
void storePixel(std::uint8_t* p, std::uint32_t value) {
    for (std::uint32_t i = 0; i < kBytes; ++i) p[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// One channel of a masked pixel, widened or narrowed to 8 bits: n bits scale by 255 / (2^n - 1)
// rounded to nearest; a channel wider than 8 bits keeps its top 8.
struct ChannelDecoder {
    std::uint32_t mask = 0;
    std::uint32_t shift = 0;
    std::uint32_t drop = 0;
    const std::uint8_t* scale = nullptr;
    std::uint32_t operator()(std::uint32_t pixel) const {
        return scale[((pixel & mask) >> shift) >> drop];
    }
};

ChannelDecoder makeDecoder(std::uint32_t mask, std::array<std::uint8_t, 256>& scale) {
    ChannelDecoder decoder;
    decoder.scale = scale.data();
    scale[0] = 0;
    if (mask == 0) return decoder;
    const std::uint32_t width = bitCount(mask);
    decoder.mask = mask;
    decoder.shift = lowestSetBit(mask);
    decoder.drop = width > 8 ? width - 8 : 0;
    const std::uint32_t maximum = (1u << (width - decoder.drop)) - 1;
    for (std::uint32_t level = 0; level <= maximum; ++level) {
        scale[level] = static_cast<std::uint8_t>((level * 255 + maximum / 2) / maximum);
    }
    return decoder;
}

// One 8-bit level stored into a channel of n bits: level x (2^n - 1) / 255 rounded to nearest.
struct ChannelEncoder {
    std::uint32_t shift = 0;
    std::uint64_t maximum = 0;
    std::uint32_t operator()(std::uint32_t level) const {
        return static_cast<std::uint32_t>((level * maximum + 127) / 255) << shift;
    }
};

ChannelEncoder makeEncoder(std::uint32_t mask) {
    if (mask == 0) return {};
    const std::uint32_t shift = lowestSetBit(mask);
    return {shift, std::uint64_t{mask >> shift}};
}

// Source readers: a pixel's address to its colour (or, for ReadIndex, its palette index).
struct ReadIndex {
    std::uint32_t operator()(const std::uint8_t* p) const { return *p; }
};
struct ReadPalette {
    const Colour* colours;
    Colour operator()(const std::uint8_t* p) const { return colours[*p]; }
};
struct ReadBgr {
    Colour operator()(const std::uint8_t* p) const { return packColour(p[2], p[1], p[0]); }
};
template <std::uint32_t kBytes>
struct ReadMasked {
    ChannelDecoder red, green, blue;
    Colour operator()(const std::uint8_t* p) const {
        const std::uint32_t pixel = loadPixel<kBytes>(p);
        return packColour(red(pixel), green(pixel), blue(pixel));
    }
};

// Destination writers.
struct WriteMapped {
    static constexpr std::uint32_t kBytes = 1;
    const std::uint8_t* map;
    void operator()(std::uint8_t* p, std::uint32_t index) const { *p = map[index]; }
};
struct WriteGrey {
    static constexpr std::uint32_t kBytes = 1;
    const std::uint8_t* greyForSum;
    void operator()(std::uint8_t* p, Colour c) const {
        *p = greyForSum[redOf(c) + greenOf(c) + blueOf(c)];
    }
};
// Any other palette: a full search, remembered for runs of the same colour.
struct WriteNearest {
    static constexpr std::uint32_t kBytes = 1;
    const Bitmap* palette;
    mutable Colour last = 0xFFFFFFFF;
    mutable std::uint8_t lastIndex = 0;
    void operator()(std::uint8_t* p, Colour c) const {
        if (c != last) {
            last = c;
            lastIndex = nearestPaletteIndex(*palette, c);
        }
        *p = lastIndex;
    }
};
struct WriteBgr {
    static constexpr std::uint32_t kBytes = 3;
    void operator()(std::uint8_t* p, Colour c) const {
        p[0] = static_cast<std::uint8_t>(blueOf(c));
        p[1] = static_cast<std::uint8_t>(greenOf(c));
        p[2] = static_cast<std::uint8_t>(redOf(c));
    }
};
struct WriteBgrx {
    static constexpr std::uint32_t kBytes = 4;
    void operator()(std::uint8_t* p, Colour c) const { storePixel<4>(p, c); }
};
template <std::uint32_t kSize>
struct WriteMasked {
    static constexpr std::uint32_t kBytes = kSize;
    ChannelEncoder red, green, blue;
    void operator()(std::uint8_t* p, Colour c) const {
        storePixel<kBytes>(p, red(redOf(c)) | green(greenOf(c)) | blue(blueOf(c)));
    }
};

bool isDefault32(const ChannelMasks& masks) {
    return masks.red == 0x00FF0000 && masks.green == 0x0000FF00 && masks.blue == 0x000000FF;
}

// One copy: the rectangles and the visible (clipped) destination area.
struct Job {
    const Bitmap& source;
    Bitmap& destination;
    Rect from;
    Rect to;
    std::int64_t x0, x1, y0, y1;
    const std::uint32_t* columns;
};

// Runs convertRow once per source row sampled; a destination row that samples the same source
// row as the row before it is a copy of that row.
template <class ConvertRow>
void drawRows(const Job& job, ConvertRow convertRow) {
    const std::size_t bytesPerPixel = job.destination.bytesPerPixel();
    const std::size_t rowBytes = static_cast<std::size_t>(job.x1 - job.x0) * bytesPerPixel;
    std::int64_t previousSource = -1;
    const std::uint8_t* previousRow = nullptr;
    for (std::int64_t y = job.y0; y < job.y1; ++y) {
        const std::int64_t sourceY = job.from.y + (y - job.to.y) * job.from.height / job.to.height;
        std::uint8_t* out = job.destination.row(static_cast<std::uint32_t>(y)) +
                            static_cast<std::size_t>(job.x0) * bytesPerPixel;
        if (sourceY == previousSource) {
            std::memcpy(out, previousRow, rowBytes);
        } else {
            convertRow(job.source.row(static_cast<std::uint32_t>(sourceY)), out);
        }
        previousSource = sourceY;
        previousRow = out;
    }
}

// Byte offset in a source row of the first drawn column of an unscaled copy.
std::size_t firstSourceByte(const Job& job) {
    return static_cast<std::size_t>(job.from.x + (job.x0 - job.to.x)) * job.source.bytesPerPixel();
}

// Colour rows matched to the grey ramp by the row kernels; false for a layout they lack
// (scaled 4-byte rows), which the general loop then draws.
bool drawGreyRows(const Job& job) {
    const kernels::RowKernels& rows = kernels::bestKernels();
    const std::size_t count = static_cast<std::size_t>(job.x1 - job.x0);
    const std::size_t step = job.source.bytesPerPixel();
    if (job.from.width == job.to.width) {
        const std::size_t first = firstSourceByte(job);
        const kernels::GreyRow row = step == 3 ? rows.greyFromBgr : rows.greyFromBgrx;
        drawRows(job,
                 [&](const std::uint8_t* in, std::uint8_t* out) { row(in + first, out, count); });
        return true;
    }
    if (step != 3) return false;
    const std::size_t readable = job.source.stride();
    drawRows(job, [&](const std::uint8_t* in, std::uint8_t* out) {
        rows.greyFromBgrColumns(in, readable, job.columns, out, count);
    });
    return true;
}

// The palette is split for the kernels once per copy, not once per row.
void drawPaletteRows(const Job& job, const Colour* colours) {
    const kernels::PaletteRow row = kernels::bestKernels().bgrFromPalette;
    const std::size_t count = static_cast<std::size_t>(job.x1 - job.x0);
    const std::size_t first = firstSourceByte(job);
    kernels::PaletteTable palette;
    kernels::fillPaletteTable(palette, colours);
    drawRows(job, [&](const std::uint8_t* in, std::uint8_t* out) {
        row(palette, in + first, out, count);
    });
}

void drawMappedRows(const Job& job, const std::uint8_t* map) {
    const kernels::MappedRow row = kernels::bestKernels().mapIndices;
    const std::size_t count = static_cast<std::size_t>(job.x1 - job.x0);
    const std::size_t first = firstSourceByte(job);
    drawRows(job,
             [&](const std::uint8_t* in, std::uint8_t* out) { row(map, in + first, out, count); });
}

template <class Read, class Write>
void drawPixels(const Job& job, Read read, Write write) {
    if constexpr (std::is_same_v<Read, ReadBgr> && std::is_same_v<Write, WriteGrey>) {
        if (drawGreyRows(job)) return;
    }
    if constexpr (std::is_same_v<Read, ReadPalette> && std::is_same_v<Write, WriteBgr>) {
        if (job.from.width == job.to.width) return drawPaletteRows(job, read.colours);
    }
    if constexpr (std::is_same_v<Read, ReadIndex> && std::is_same_v<Write, WriteMapped>) {
        if (job.from.width == job.to.width) return drawMappedRows(job, write.map);
    }
    const std::size_t count = static_cast<std::size_t>(job.x1 - job.x0);
    if (job.from.width == job.to.width) {
        // Unscaled columns: walk the source row instead of looking each column up.
        const std::size_t step = job.source.bytesPerPixel();
        const std::size_t first = static_cast<std::size_t>(job.from.x + (job.x0 - job.to.x)) * step;
        drawRows(job, [&](const std::uint8_t* in, std::uint8_t* out) {
            in += first;
            for (std::size_t i = 0; i < count; ++i, in += step, out += Write::kBytes) {
                write(out, read(in));
            }
        });
        return;
    }
    const std::uint32_t* columns = job.columns;
    drawRows(job, [&](const std::uint8_t* in, std::uint8_t* out) {
        for (std::size_t i = 0; i < count; ++i, out += Write::kBytes)
            write(out, read(in + columns[i]));
    });
}

void copyRows(const Job& job) {
    const std::size_t bytesPerPixel = job.source.bytesPerPixel();
    const std::size_t offset =
        static_cast<std::size_t>(job.from.x + (job.x0 - job.to.x)) * bytesPerPixel;
    const std::size_t rowBytes = static_cast<std::size_t>(job.x1 - job.x0) * bytesPerPixel;
    drawRows(job, [&](const std::uint8_t* in, std::uint8_t* out) {
        std::memcpy(out, in + offset, rowBytes);
    });
}

template <class Read>
void drawInto(const Job& job, Read read) {
    const Bitmap& out = job.destination;
    const ChannelMasks& masks = out.masks();
    switch (out.bitsPerPixel()) {
        case 8:
            if (out.isGreyRamp()) {
                drawPixels(job, read, WriteGrey{greyForSum().data()});
            } else {
                drawPixels(job, read, WriteNearest{&out});
            }
            break;
        case 16:
            drawPixels(job, read,
                       WriteMasked<2>{makeEncoder(masks.red), makeEncoder(masks.green),
                                      makeEncoder(masks.blue)});
            break;
        case 24:
            drawPixels(job, read, WriteBgr{});
            break;
        default:
            if (isDefault32(masks)) {
                drawPixels(job, read, WriteBgrx{});
            } else {
                drawPixels(job, read,
                           WriteMasked<4>{makeEncoder(masks.red), makeEncoder(masks.green),
                                          makeEncoder(masks.blue)});
            }
            break;
    }
}

// Palette to palette goes through one 256-entry index map made once per copy.
bool buildIndexMap(const Bitmap& source, const Bitmap& destination, StretchScratch& scratch) {
    bool identity = true;
    for (std::uint32_t i = 0; i < 256; ++i) {
        const Colour colour = scratch.colours[i];
        const std::uint8_t index =
            destination.isGreyRamp()
                ? greyForSum()[redOf(colour) + greenOf(colour) + blueOf(colour)]
                : nearestPaletteIndex(destination, colour);
        scratch.indexMap[i] = index;
        identity = identity && index == i;
    }
    return identity && source.paletteSize() == destination.paletteSize();
}

template <std::uint32_t kBytes>
ReadMasked<kBytes> maskedReader(const ChannelMasks& masks, StretchScratch& scratch) {
    return {makeDecoder(masks.red, scratch.channelScale[0]),
            makeDecoder(masks.green, scratch.channelScale[1]),
            makeDecoder(masks.blue, scratch.channelScale[2])};
}

bool sameMasks(const ChannelMasks& a, const ChannelMasks& b) {
    return a.red == b.red && a.green == b.green && a.blue == b.blue;
}

void draw(const Job& job, StretchScratch& scratch) {
    const Bitmap& in = job.source;
    const Bitmap& out = job.destination;
    const bool unscaledWidth = job.from.width == job.to.width;
    const bool sameDepth = in.bitsPerPixel() == out.bitsPerPixel();
    if (in.bitsPerPixel() == 8) {
        for (std::uint32_t i = 0; i < 256; ++i) scratch.colours[i] = colourOf(in.palette()[i]);
        if (out.bitsPerPixel() != 8) return drawInto(job, ReadPalette{scratch.colours.data()});
        const bool identity = buildIndexMap(in, out, scratch);
        if (identity && unscaledWidth) return copyRows(job);
        return drawPixels(job, ReadIndex{}, WriteMapped{scratch.indexMap.data()});
    }
    const bool sameLayout =
        sameDepth && (in.bitsPerPixel() == 24 || sameMasks(in.masks(), out.masks()));
    if (sameLayout && unscaledWidth) return copyRows(job);
    switch (in.bitsPerPixel()) {
        case 16:
            return drawInto(job, maskedReader<2>(in.masks(), scratch));
        case 24:
            return drawInto(job, ReadBgr{});
        default:
            if (isDefault32(in.masks())) return drawInto(job, ReadBgr{});
            return drawInto(job, maskedReader<4>(in.masks(), scratch));
    }
}

bool insideBitmap(const Rect& rect, const Bitmap& bitmap) {
    return rect.x >= 0 && rect.y >= 0 &&
           std::int64_t{rect.x} + rect.width <= std::int64_t{bitmap.width()} &&
           std::int64_t{rect.y} + rect.height <= std::int64_t{bitmap.height()};
}

// Source byte offset of each visible destination column: floor(d x S / D), exact.
bool mapColumns(const Job& job, StretchScratch& scratch) {
    const std::size_t count = static_cast<std::size_t>(job.x1 - job.x0);
    if (count > scratch.columnOffsets.size()) {
        try {
            scratch.columnOffsets.resize(count);
        } catch (const std::bad_alloc&) {
            return false;
        }
    }
    // Stepped without a division per column: whole + rest / D is d x S / D for the current d.
    const std::int64_t bytesPerPixel = job.source.bytesPerPixel();
    const std::int64_t sourceWidth = job.from.width;
    const std::int64_t width = job.to.width;
    const std::int64_t first = (job.x0 - job.to.x) * sourceWidth;
    std::int64_t whole = first / width;
    std::int64_t rest = first % width;
    for (std::size_t i = 0; i < count; ++i) {
        scratch.columnOffsets[i] = static_cast<std::uint32_t>((job.from.x + whole) * bytesPerPixel);
        whole += sourceWidth / width;
        rest += sourceWidth % width;
        if (rest >= width) {
            rest -= width;
            ++whole;
        }
    }
    return true;
}

}  // namespace

// The layouts draw copies rows of (palettes are left out: they copy only when the index map
// happens to be the identity).
bool copiesRowsVerbatim(const Bitmap& source, const Bitmap& destination) {
    const std::uint16_t bits = source.bitsPerPixel();
    return bits != 8 && bits == destination.bitsPerPixel() &&
           source.width() == destination.width() &&
           (bits == 24 || sameMasks(source.masks(), destination.masks()));
}

Bitmap* DeviceContext::selectBitmap(Bitmap* bitmap) {
    Bitmap* previous = bitmap_;
    bitmap_ = bitmap;
    return previous;
}

int DeviceContext::setStretchMode(int mode) {
    if (mode < kStretchBlackOnWhite || mode > kStretchHalftone) return 0;
    const int previous = stretchMode_;
    stretchMode_ = mode;
    return previous;
}

bool stretchBlt(DeviceContext& destination, const Rect& to, DeviceContext& source, const Rect& from,
                std::uint32_t rasterOp) {
    Bitmap* out = destination.selectedBitmap();
    const Bitmap* in = source.selectedBitmap();
    if (rasterOp != kSrcCopy || out == nullptr || in == nullptr || out->empty() || in->empty()) {
        return false;
    }
    if (to.width <= 0 || to.height <= 0 || from.width <= 0 || from.height <= 0) return false;
    if (!insideBitmap(from, *in)) return false;
    const std::int64_t x0 = std::max<std::int64_t>(to.x, 0);
    const std::int64_t y0 = std::max<std::int64_t>(to.y, 0);
    const std::int64_t x1 = std::min<std::int64_t>(std::int64_t{to.x} + to.width, out->width());
    const std::int64_t y1 = std::min<std::int64_t>(std::int64_t{to.y} + to.height, out->height());
    if (x0 >= x1 || y0 >= y1) return true;
    StretchScratch& scratch = destination.scratch();
    Job job{*in, *out, from, to, x0, x1, y0, y1, nullptr};
    // Only a scaled width looks its columns up.
    if (from.width != to.width) {
        if (!mapColumns(job, scratch)) return false;
        job.columns = scratch.columnOffsets.data();
    }
    draw(job, scratch);
    return true;
}

bool bitBlt(DeviceContext& destination, const Rect& to, DeviceContext* source, std::int32_t sourceX,
            std::int32_t sourceY, std::uint32_t rasterOp) {
    if (rasterOp == kSrcCopy) {
        if (source == nullptr) return false;
        return stretchBlt(destination, to, *source, Rect{sourceX, sourceY, to.width, to.height},
                          kSrcCopy);
    }
    Bitmap* out = destination.selectedBitmap();
    if (rasterOp != kBlackness || out == nullptr || out->empty()) return false;
    const std::int64_t x0 = std::max<std::int64_t>(to.x, 0);
    const std::int64_t y0 = std::max<std::int64_t>(to.y, 0);
    const std::int64_t x1 = std::min<std::int64_t>(std::int64_t{to.x} + to.width, out->width());
    const std::int64_t y1 = std::min<std::int64_t>(std::int64_t{to.y} + to.height, out->height());
    const std::size_t bytesPerPixel = out->bytesPerPixel();
    for (std::int64_t y = y0; y < y1; ++y) {
        std::memset(out->row(static_cast<std::uint32_t>(y)) + x0 * bytesPerPixel, 0,
                    static_cast<std::size_t>(x1 - x0) * bytesPerPixel);
    }
    return true;
}

}  // namespace tamra::platform
