// Raster copies: clipping and sub-rectangles of the nearest-sample stretch (whose sampling rule
// the loader tests check at many sizes), colour conversion between every pair of layouts,
// palette matching and the black fill.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/raster/DeviceContext.h"

namespace {

using namespace tamra::platform;

using Colour = std::array<int, 3>;  // red, green, blue

BitmapFormat format(std::uint32_t width, std::int32_t height, std::uint16_t bits,
                    ChannelMasks masks = {}, const std::vector<PaletteColour>* palette = nullptr) {
    BitmapFormat f;
    f.width = width;
    f.height = height;
    f.bitsPerPixel = bits;
    f.masks = masks;
    if (palette != nullptr) {
        f.palette = palette->data();
        f.paletteSize = static_cast<std::uint32_t>(palette->size());
    }
    return f;
}

// A distinct colour for each source pixel, so that any sampling mistake shows.
Colour probe(std::uint32_t x, std::uint32_t y) {
    return {static_cast<int>(x * 7 % 256), static_cast<int>(y * 11 % 256),
            static_cast<int>((x + y) % 256)};
}

void put24(Bitmap& bitmap, std::uint32_t x, std::uint32_t y, Colour c) {
    std::uint8_t* p = bitmap.row(y) + 3 * x;
    for (int i = 0; i < 3; ++i) p[i] = static_cast<std::uint8_t>(c[2 - i]);
}

Colour get24(const Bitmap& bitmap, std::uint32_t x, std::uint32_t y) {
    const std::uint8_t* p = bitmap.row(y) + 3 * x;
    return {p[2], p[1], p[0]};
}

struct Surfaces {
    Bitmap source;
    Bitmap destination;
    DeviceContext sourceDc;
    DeviceContext destinationDc;
    Surfaces() {
        sourceDc.selectBitmap(&source);
        destinationDc.selectBitmap(&destination);
        destinationDc.setStretchMode(kStretchColorOnColor);
    }
    void probeSource(std::uint32_t width, std::int32_t height) {
        ASSERT_TRUE(source.create(format(width, height, 24)));
        for (std::uint32_t y = 0; y < source.height(); ++y) {
            for (std::uint32_t x = 0; x < width; ++x) put24(source, x, y, probe(x, y));
        }
    }
    bool copy(Rect to, Rect from) {
        return stretchBlt(destinationDc, to, sourceDc, from, kSrcCopy);
    }
};

TEST(Stretch, SubRectanglesMapOntoEachOtherAndTheDestinationIsClipped) {
    Surfaces surfaces;
    surfaces.probeSource(10, 10);
    ASSERT_TRUE(surfaces.destination.create(format(6, 6, 24)));
    // Destination span of 8 starting at -2: columns -2 and -1 fall outside and are not drawn.
    ASSERT_TRUE(surfaces.copy({-2, 1, 8, 4}, {2, 3, 4, 2}));
    for (std::uint32_t y = 0; y < 6; ++y) {
        for (std::uint32_t x = 0; x < 6; ++x) {
            const bool drawn = y >= 1 && y < 5;
            const Colour expected =
                drawn ? probe(2 + (x + 2) * 4 / 8, 3 + (y - 1) * 2 / 4) : Colour{0, 0, 0};
            EXPECT_EQ(get24(surfaces.destination, x, y), expected) << x << "," << y;
        }
    }
}

TEST(Stretch, UnscaledConvertingCopiesKeepTheirOffsetsWhenClipped) {
    Surfaces surfaces;
    ASSERT_TRUE(surfaces.source.create(format(10, 10, 24)));
    for (std::uint32_t y = 0; y < 10; ++y) {
        for (std::uint32_t x = 0; x < 10; ++x) put24(surfaces.source, x, y, {int(x * 20), 0, 1});
    }
    for (bool wholeRows : {false, true}) {
        ASSERT_TRUE(surfaces.destination.create(format(5, 3, wholeRows ? 24 : 8)));
        ASSERT_TRUE(surfaces.copy({-1, 1, 4, 2}, {2, 3, 4, 2}));
        for (std::uint32_t x = 0; x < 5; ++x) {
            const int red = x < 3 ? static_cast<int>(x + 3) * 20 : 0;
            if (wholeRows) {
                EXPECT_EQ(get24(surfaces.destination, x, 1), (Colour{red, 0, x < 3 ? 1 : 0})) << x;
            } else {
                EXPECT_EQ(surfaces.destination.row(1)[x], x < 3 ? (red + 2) / 3 : 0) << x;
            }
            EXPECT_EQ(surfaces.destination.row(0)[x], 0);
        }
    }
}

TEST(Stretch, RefusesWhatItCannotDoAndDrawsNothing) {
    Surfaces surfaces;
    DeviceContext empty;
    ASSERT_TRUE(surfaces.source.create(format(4, 4, 24)));
    ASSERT_TRUE(surfaces.destination.create(format(4, 4, 24)));
    put24(surfaces.source, 0, 0, {1, 2, 3});
    const Rect whole{0, 0, 4, 4};
    EXPECT_FALSE(stretchBlt(empty, whole, surfaces.sourceDc, whole, kSrcCopy));
    EXPECT_FALSE(stretchBlt(surfaces.destinationDc, whole, empty, whole, kSrcCopy));
    EXPECT_FALSE(stretchBlt(surfaces.destinationDc, whole, surfaces.sourceDc, whole, 0x00EE0086));
    for (const Rect& to : {Rect{0, 0, 0, 4}}) EXPECT_FALSE(surfaces.copy(to, whole));
    for (const Rect& from : {Rect{0, 0, 4, -4}, Rect{1, 0, 4, 4}, Rect{-1, 0, 2, 2}}) {
        EXPECT_FALSE(surfaces.copy(whole, from));
    }
    EXPECT_FALSE(bitBlt(surfaces.destinationDc, whole, nullptr, 0, 0, kSrcCopy));
    EXPECT_EQ(get24(surfaces.destination, 0, 0), (Colour{0, 0, 0}));
    // Entirely outside the destination: nothing to draw, which is not a failure.
    EXPECT_TRUE(surfaces.copy({4, 0, 4, 4}, whole));
    // Unknown stretch modes are refused and leave the mode as it was.
    EXPECT_EQ(empty.setStretchMode(kStretchColorOnColor), kStretchBlackOnWhite);
    EXPECT_EQ(empty.setStretchMode(9), 0);
    EXPECT_EQ(empty.stretchMode(), kStretchColorOnColor);
}

TEST(Stretch, BlacknessClearsTheClippedRectangleOnly) {
    Surfaces surfaces;
    ASSERT_TRUE(surfaces.destination.create(format(4, 3, 32)));
    for (std::uint32_t y = 0; y < 3; ++y) std::fill_n(surfaces.destination.row(y), 16, 0xAB);
    ASSERT_TRUE(bitBlt(surfaces.destinationDc, Rect{2, -1, 5, 2}, nullptr, 0, 0, kBlackness));
    std::vector<std::uint8_t> expected(48, 0xAB), actual(48);
    std::fill_n(expected.begin() + 8, 8, 0);  // row 0 from pixel 2 on
    for (std::size_t i = 0; i < 48; ++i) actual[i] = surfaces.destination.row(i / 16)[i % 16];
    EXPECT_EQ(actual, expected);
    DeviceContext empty;
    EXPECT_FALSE(bitBlt(empty, Rect{0, 0, 1, 1}, nullptr, 0, 0, kBlackness));
    EXPECT_FALSE(bitBlt(surfaces.destinationDc, Rect{0, 0, 1, 1}, nullptr, 0, 0, 0x00FF0062));
}

// ---- Colour conversion between layouts, each with an independent way to read one pixel.

enum class Layout { GreyRamp, Palette, Rgb555, Rgb565, Rgb24, Rgb32, Rgb32Wide };
const char* const kLayoutNames[] = {"GreyRamp", "Palette", "Rgb555",   "Rgb565",
                                    "Rgb24",    "Rgb32",   "Rgb32Wide"};

const std::vector<PaletteColour>& testPalette() {
    static const std::vector<PaletteColour> palette = [] {
        std::vector<PaletteColour> colours;
        for (int i = 0; i < 40; ++i) {
            colours.push_back({std::uint8_t(i * 37), std::uint8_t(i * 91), std::uint8_t(i * 53)});
        }
        return colours;
    }();
    return palette;
}

BitmapFormat layoutFormat(Layout layout, std::uint32_t width, std::int32_t height) {
    const std::uint16_t bits[] = {8, 8, 16, 16, 24, 32, 32};
    const ChannelMasks masks[] = {
        {}, {}, {}, {0xF800, 0x07E0, 0x001F}, {}, {}, {0x3FF00000, 0x000FFC00, 0x3FF}};
    const int i = static_cast<int>(layout);
    return format(width, height, bits[i], masks[i],
                  layout == Layout::Palette ? &testPalette() : nullptr);
}

int expand(unsigned value, unsigned bits) {
    const unsigned maximum = (1u << bits) - 1;
    return static_cast<int>((value * 255 + maximum / 2) / maximum);
}

// Distance-ordered search, written apart from the library's, lowest index on ties; without a
// palette, the grey ramp.
Colour nearest(const std::vector<PaletteColour>* palette, Colour c) {
    Colour best{};
    long bestDistance = -1;
    for (std::size_t i = 0; i < (palette ? palette->size() : 256); ++i) {
        const auto level = static_cast<int>(i);
        const Colour entry =
            palette ? Colour{(*palette)[i].red, (*palette)[i].green, (*palette)[i].blue}
                    : Colour{level, level, level};
        const long dr = c[0] - entry[0], dg = c[1] - entry[1], db = c[2] - entry[2];
        const long distance = dr * dr + dg * dg + db * db;
        if (bestDistance < 0 || distance < bestDistance) bestDistance = distance, best = entry;
    }
    return best;
}

// clang-format off
Colour readPixel(const Bitmap& bitmap, Layout layout, std::uint32_t x, std::uint32_t y) {
    const std::uint8_t* p = bitmap.row(y);
    const auto le = [&](unsigned n) {  // pixel x of n bytes, little-endian
        std::uint32_t v = 0;
        for (unsigned i = n; i-- > 0;) v = v << 8 | p[n * x + i];
        return v;
    };
    const auto five = [](unsigned v) { return expand(v & 31, 5); };
    const auto entry = [&] { return bitmap.palette()[p[x]]; };
    switch (layout) {
        case Layout::GreyRamp: return {p[x], p[x], p[x]};
        case Layout::Palette: return {entry().red, entry().green, entry().blue};
        case Layout::Rgb555: return {five(le(2) >> 10), five(le(2) >> 5), five(le(2))};
        case Layout::Rgb565: return {five(le(2) >> 11), expand(le(2) >> 5 & 63, 6), five(le(2))};
        case Layout::Rgb24: return {p[3 * x + 2], p[3 * x + 1], p[3 * x]};
        case Layout::Rgb32: return {p[4 * x + 2], p[4 * x + 1], p[4 * x]};
        default: return {int(le(4) >> 22 & 255), int(le(4) >> 12 & 255), int(le(4) >> 2 & 255)};
    }
}

// What a destination pixel must hold for a source colour.
Colour expectedAfterConversion(Layout to, Colour c) {
    const auto bits = [](int v, unsigned n) { return expand((v * ((1 << n) - 1) + 127) / 255, n); };
    switch (to) {
        case Layout::GreyRamp: return nearest(nullptr, c);
        case Layout::Palette: return nearest(&testPalette(), c);
        case Layout::Rgb555: return {bits(c[0], 5), bits(c[1], 5), bits(c[2], 5)};
        case Layout::Rgb565: return {bits(c[0], 5), bits(c[1], 6), bits(c[2], 5)};
        default: return c;
    }
}
// clang-format on

TEST(Conversion, EachPixelBecomesTheNearestColourTheDestinationCanHold) {
    for (int from = 0; from < 7; ++from) {
        for (int to = 0; to < 7; ++to) {
            Surfaces surfaces;
            ASSERT_TRUE(surfaces.source.create(layoutFormat(Layout(from), 64, 8)));
            // Every byte value at every byte position, so every index and channel value occurs.
            for (std::uint32_t y = 0; y < 8; ++y) {
                std::uint8_t* row = surfaces.source.row(y);
                for (std::uint32_t i = 0; i < 64 * surfaces.source.bytesPerPixel(); ++i) {
                    row[i] = static_cast<std::uint8_t>(i * 29 + y * 101 + 7);
                    if (Layout(from) == Layout::Rgb555 && i % 2 == 1) row[i] &= 0x7F;
                }
            }
            // Same size: this runs the converting copy, and the whole-row copy for equal layouts.
            ASSERT_TRUE(surfaces.destination.create(layoutFormat(Layout(to), 64, -8)));
            ASSERT_TRUE(surfaces.copy({0, 0, 64, 8}, {0, 0, 64, 8}));
            for (std::uint32_t y = 0; y < 8; ++y) {
                for (std::uint32_t x = 0; x < 64; ++x) {
                    const Colour source = readPixel(surfaces.source, Layout(from), x, y);
                    ASSERT_EQ(readPixel(surfaces.destination, Layout(to), x, y),
                              expectedAfterConversion(Layout(to), source))
                        << kLayoutNames[from] << " -> " << kLayoutNames[to] << " at " << x << ","
                        << y;
                }
            }
        }
    }
}

// Worked one-row conversions: palette ties, the grey ramp by distance (not a luminance),
// indices past a palette, narrow and missing mask channels, masks that differ in one channel
// only (no plain copy).
TEST(Conversion, WorkedRowsOfTheMatchingRules) {
    const std::vector<PaletteColour> ties = {{0, 0, 2, 0}, {0, 0, 0, 0}, {0, 0, 2, 0}};
    const std::vector<PaletteColour> white = {{255, 255, 255, 0}};
    struct Case {
        const char* name;
        BitmapFormat from;
        std::vector<std::uint8_t> pixels;
        BitmapFormat to;
        std::vector<std::uint8_t> expected;
    } cases[] = {
        // clang-format off
        {"ties go to the lowest index", format(2, 1, 24), {0, 0, 1, 0, 0, 2},
         format(2, 1, 8, {}, &ties), {0, 0}},
        {"the nearest grey level", format(4, 1, 24), {0, 0, 255, 0, 255, 0, 0, 0, 2, 254, 255, 255},
         format(4, 1, 8), {85, 85, 1, 255}},
        {"indices past the palette read black", format(2, 1, 8, {}, &white), {0, 200},
         format(2, 1, 24), {255, 255, 255, 0, 0, 0}},
        {"2-bit red, 3-bit green, no blue", format(3, 1, 16, {0x0003, 0x001C, 0}),
         {0x1F, 0, 0x09, 0, 0, 0}, format(3, 1, 24), {0, 255, 255, 0, 73, 85, 0, 0, 0}},
        {"masks that differ in red", format(1, 1, 16, {0x7C00, 0x03E0, 0x001F}),
         {0x00, 0x7C}, format(1, 1, 16, {0x7800, 0x03E0, 0x001F}), {0x00, 0x78}},
        {"masks that differ in blue", format(1, 1, 16, {0x7C00, 0x03E0, 0x001F}),
         {0x1F, 0x00}, format(1, 1, 16, {0x7C00, 0x03E0, 0x000F}), {0x0F, 0x00}},
        // clang-format on
    };
    for (const Case& c : cases) {
        Surfaces surfaces;
        ASSERT_TRUE(surfaces.source.create(c.from));
        std::copy(c.pixels.begin(), c.pixels.end(), surfaces.source.row(0));
        ASSERT_TRUE(surfaces.destination.create(c.to));
        const std::int32_t width = static_cast<std::int32_t>(c.from.width);
        ASSERT_TRUE(surfaces.copy({0, 0, width, 1}, {0, 0, width, 1}));
        const std::uint8_t* row = surfaces.destination.row(0);
        EXPECT_EQ(std::vector<std::uint8_t>(row, row + c.expected.size()), c.expected) << c.name;
    }
}

}  // namespace
