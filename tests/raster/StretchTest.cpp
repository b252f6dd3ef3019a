// Raster copies: the nearest-sample stretch, colour conversion between every pair of layouts,
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

struct Colour {
    int r, g, b;
    bool operator==(const Colour& o) const { return r == o.r && g == o.g && b == o.b; }
};

std::ostream& operator<<(std::ostream& out, const Colour& c) {
    return out << "(" << c.r << "," << c.g << "," << c.b << ")";
}

BitmapFormat format(std::uint32_t width, std::int32_t height, std::uint16_t bits) {
    BitmapFormat f;
    f.width = width;
    f.height = height;
    f.bitsPerPixel = bits;
    return f;
}

// A distinct colour for each source pixel, so that any sampling mistake shows.
Colour probe(std::uint32_t x, std::uint32_t y) {
    return {static_cast<int>(x * 7 % 256), static_cast<int>(y * 11 % 256),
            static_cast<int>((x + y) % 256)};
}

void put24(Bitmap& bitmap, std::uint32_t x, std::uint32_t y, Colour c) {
    std::uint8_t* p = bitmap.row(y) + 3 * x;
    p[0] = static_cast<std::uint8_t>(c.b);
    p[1] = static_cast<std::uint8_t>(c.g);
    p[2] = static_cast<std::uint8_t>(c.r);
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
};

// ---- Sampling rule.

struct Sizes {
    std::uint32_t sourceWidth, sourceHeight, width, height;
    bool topDownSource;
};

class StretchSampling : public ::testing::TestWithParam<Sizes> {};

TEST_P(StretchSampling, DestinationPixelReadsSourceAtFloorOfDTimesSOverD) {
    const Sizes s = GetParam();
    Surfaces surfaces;
    const std::int32_t height = static_cast<std::int32_t>(s.sourceHeight);
    ASSERT_TRUE(
        surfaces.source.create(format(s.sourceWidth, s.topDownSource ? -height : height, 24)));
    for (std::uint32_t y = 0; y < s.sourceHeight; ++y) {
        for (std::uint32_t x = 0; x < s.sourceWidth; ++x) put24(surfaces.source, x, y, probe(x, y));
    }
    ASSERT_TRUE(
        surfaces.destination.create(format(s.width, -static_cast<std::int32_t>(s.height), 24)));
    ASSERT_TRUE(stretchBlt(
        surfaces.destinationDc,
        Rect{0, 0, static_cast<std::int32_t>(s.width), static_cast<std::int32_t>(s.height)},
        surfaces.sourceDc, Rect{0, 0, static_cast<std::int32_t>(s.sourceWidth), height}, kSrcCopy));
    for (std::uint32_t y = 0; y < s.height; ++y) {
        for (std::uint32_t x = 0; x < s.width; ++x) {
            const std::uint64_t sx = std::uint64_t{x} * s.sourceWidth / s.width;
            const std::uint64_t sy = std::uint64_t{y} * s.sourceHeight / s.height;
            ASSERT_EQ(get24(surfaces.destination, x, y),
                      probe(static_cast<std::uint32_t>(sx), static_cast<std::uint32_t>(sy)))
                << "at " << x << "," << y;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(UpDownAndSame, StretchSampling,
                         ::testing::Values(Sizes{5, 4, 8, 9, false}, Sizes{8, 9, 3, 2, true},
                                           Sizes{7, 7, 7, 7, false}, Sizes{1, 1, 6, 5, true},
                                           Sizes{13, 3, 5, 11, false}, Sizes{640, 2, 639, 3, true},
                                           Sizes{3, 17, 17, 3, false}));

TEST(Stretch, SubRectanglesMapOntoEachOtherAndTheDestinationIsClipped) {
    Surfaces surfaces;
    ASSERT_TRUE(surfaces.source.create(format(10, 10, 24)));
    for (std::uint32_t y = 0; y < 10; ++y) {
        for (std::uint32_t x = 0; x < 10; ++x) put24(surfaces.source, x, y, probe(x, y));
    }
    ASSERT_TRUE(surfaces.destination.create(format(6, 6, 24)));
    // Destination span of 8 starting at -2: columns -2 and -1 fall outside and are not drawn.
    ASSERT_TRUE(stretchBlt(surfaces.destinationDc, Rect{-2, 1, 8, 4}, surfaces.sourceDc,
                           Rect{2, 3, 4, 2}, kSrcCopy));
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
        ASSERT_TRUE(stretchBlt(surfaces.destinationDc, Rect{-1, 1, 4, 2}, surfaces.sourceDc,
                               Rect{2, 3, 4, 2}, kSrcCopy));
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

// A view of the destination draws what the destination itself would, into other memory, and
// leaves the destination alone: colour to grey, scaled, into a bottom-up 8-bit model.
TEST(Stretch, AViewOfTheDestinationDrawsWhatTheDestinationWould) {
    Surfaces s;
    ASSERT_TRUE(s.source.create(format(13, -7, 24)));
    for (std::uint32_t y = 0; y < 7; ++y) {
        for (std::uint32_t x = 0; x < 13; ++x) put24(s.source, x, y, probe(x, y));
    }
    BitmapFormat packed = format(9, 5, 8);
    packed.stride = 9;  // rows without padding, which the stretch would not write
    ASSERT_TRUE(s.destination.create(packed));
    const Rect to{0, 0, 9, 5};
    const Rect from{0, 0, 13, 7};
    ASSERT_TRUE(stretchBlt(s.destinationDc, to, s.sourceDc, from, kSrcCopy));
    const std::vector<std::uint8_t> expected(s.destination.bits(),
                                             s.destination.bits() + s.destination.sizeInBytes());
    std::fill_n(s.destination.bits(), s.destination.sizeInBytes(), 0x5A);

    std::vector<std::uint8_t> memory(s.destination.sizeInBytes(), 0xA5);
    Bitmap view;
    ASSERT_TRUE(view.view(s.destination, memory.data()));
    s.destinationDc.selectBitmap(&view);
    ASSERT_TRUE(stretchBlt(s.destinationDc, to, s.sourceDc, from, kSrcCopy));
    EXPECT_EQ(memory, expected);
    EXPECT_EQ(
        std::count(s.destination.bits(), s.destination.bits() + s.destination.sizeInBytes(), 0x5A),
        static_cast<std::ptrdiff_t>(s.destination.sizeInBytes()));
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
    EXPECT_FALSE(
        stretchBlt(surfaces.destinationDc, Rect{0, 0, 0, 4}, surfaces.sourceDc, whole, kSrcCopy));
    EXPECT_FALSE(
        stretchBlt(surfaces.destinationDc, whole, surfaces.sourceDc, Rect{0, 0, 4, -4}, kSrcCopy));
    EXPECT_FALSE(
        stretchBlt(surfaces.destinationDc, whole, surfaces.sourceDc, Rect{1, 0, 4, 4}, kSrcCopy));
    EXPECT_FALSE(
        stretchBlt(surfaces.destinationDc, whole, surfaces.sourceDc, Rect{-1, 0, 2, 2}, kSrcCopy));
    EXPECT_FALSE(bitBlt(surfaces.destinationDc, whole, nullptr, 0, 0, kSrcCopy));
    EXPECT_EQ(get24(surfaces.destination, 0, 0), (Colour{0, 0, 0}));
    // Entirely outside the destination: nothing to draw, which is not a failure.
    EXPECT_TRUE(
        stretchBlt(surfaces.destinationDc, Rect{4, 0, 4, 4}, surfaces.sourceDc, whole, kSrcCopy));
}

TEST(Stretch, ModesAreKeptAndUnknownModesRefused) {
    DeviceContext dc;
    EXPECT_EQ(dc.setStretchMode(kStretchColorOnColor), kStretchBlackOnWhite);
    EXPECT_EQ(dc.setStretchMode(9), 0);
    EXPECT_EQ(dc.stretchMode(), kStretchColorOnColor);
}

TEST(Stretch, BlacknessClearsTheClippedRectangleOnly) {
    Surfaces surfaces;
    ASSERT_TRUE(surfaces.destination.create(format(4, 3, 32)));
    for (std::uint32_t y = 0; y < 3; ++y) {
        for (std::uint32_t i = 0; i < 16; ++i) surfaces.destination.row(y)[i] = 0xAB;
    }
    ASSERT_TRUE(bitBlt(surfaces.destinationDc, Rect{2, -1, 5, 2}, nullptr, 0, 0, kBlackness));
    for (std::uint32_t y = 0; y < 3; ++y) {
        for (std::uint32_t i = 0; i < 16; ++i) {
            const bool cleared = y == 0 && i >= 8;
            EXPECT_EQ(surfaces.destination.row(y)[i], cleared ? 0 : 0xAB) << y << "," << i;
        }
    }
    DeviceContext empty;
    EXPECT_FALSE(bitBlt(empty, Rect{0, 0, 1, 1}, nullptr, 0, 0, kBlackness));
    EXPECT_FALSE(bitBlt(surfaces.destinationDc, Rect{0, 0, 1, 1}, nullptr, 0, 0, 0x00FF0062));
}

// ---- Colour conversion between layouts.

// Layouts a conversion test runs through, each with an independent way to write and read one
// pixel.
enum class Layout { GreyRamp, Palette, Rgb555, Rgb565, Rgb24, Rgb32, Rgb32Wide };

const std::vector<PaletteColour>& testPalette() {
    static const std::vector<PaletteColour> palette = [] {
        std::vector<PaletteColour> colours;
        for (int i = 0; i < 40; ++i) {
            colours.push_back({static_cast<std::uint8_t>(i * 37 % 256),
                               static_cast<std::uint8_t>(i * 91 % 256),
                               static_cast<std::uint8_t>(i * 53 % 256), 0});
        }
        return colours;
    }();
    return palette;
}

BitmapFormat layoutFormat(Layout layout, std::uint32_t width, std::int32_t height) {
    switch (layout) {
        case Layout::GreyRamp:
            return format(width, height, 8);
        case Layout::Palette: {
            BitmapFormat f = format(width, height, 8);
            f.palette = testPalette().data();
            f.paletteSize = static_cast<std::uint32_t>(testPalette().size());
            return f;
        }
        case Layout::Rgb555:
            return format(width, height, 16);
        case Layout::Rgb565: {
            BitmapFormat f = format(width, height, 16);
            f.masks = {0xF800, 0x07E0, 0x001F};
            return f;
        }
        case Layout::Rgb24:
            return format(width, height, 24);
        case Layout::Rgb32:
            return format(width, height, 32);
        case Layout::Rgb32Wide: {
            BitmapFormat f = format(width, height, 32);
            f.masks = {0x3FF00000, 0x000FFC00, 0x000003FF};
            return f;
        }
    }
    return {};
}

int expand(unsigned value, unsigned bits) {
    const unsigned maximum = (1u << bits) - 1;
    return static_cast<int>((value * 255 + maximum / 2) / maximum);
}

Colour readPixel(const Bitmap& bitmap, Layout layout, std::uint32_t x, std::uint32_t y) {
    const std::uint8_t* p = bitmap.row(y);
    switch (layout) {
        case Layout::GreyRamp:
            return {p[x], p[x], p[x]};
        case Layout::Palette: {
            const PaletteColour& entry = bitmap.palette()[p[x]];
            return {entry.red, entry.green, entry.blue};
        }
        case Layout::Rgb555: {
            const unsigned v = p[2 * x] | p[2 * x + 1] << 8;
            return {expand(v >> 10 & 31, 5), expand(v >> 5 & 31, 5), expand(v & 31, 5)};
        }
        case Layout::Rgb565: {
            const unsigned v = p[2 * x] | p[2 * x + 1] << 8;
            return {expand(v >> 11 & 31, 5), expand(v >> 5 & 63, 6), expand(v & 31, 5)};
        }
        case Layout::Rgb24:
        case Layout::Rgb32: {
            const std::uint8_t* q = p + x * (layout == Layout::Rgb24 ? 3 : 4);
            return {q[2], q[1], q[0]};
        }
        case Layout::Rgb32Wide: {
            const std::uint32_t v = p[4 * x] | p[4 * x + 1] << 8 | p[4 * x + 2] << 16 |
                                    static_cast<std::uint32_t>(p[4 * x + 3]) << 24;
            return {static_cast<int>(v >> 22 & 255), static_cast<int>(v >> 12 & 255),
                    static_cast<int>(v >> 2 & 255)};
        }
    }
    return {};
}

// Distance-ordered search, written apart from the library's, lowest index on ties.
int nearestIndex(const std::vector<PaletteColour>& palette, Colour c) {
    int best = 0;
    long bestDistance = -1;
    for (std::size_t i = 0; i < palette.size(); ++i) {
        const long dr = c.r - palette[i].red, dg = c.g - palette[i].green,
                   db = c.b - palette[i].blue;
        const long distance = dr * dr + dg * dg + db * db;
        if (bestDistance < 0 || distance < bestDistance) {
            bestDistance = distance;
            best = static_cast<int>(i);
        }
    }
    return best;
}

std::vector<PaletteColour> greyRamp() {
    std::vector<PaletteColour> ramp;
    for (int i = 0; i < 256; ++i) {
        const auto level = static_cast<std::uint8_t>(i);
        ramp.push_back({level, level, level, 0});
    }
    return ramp;
}

// What a destination pixel must hold for a source colour.
Colour expectedAfterConversion(Layout to, Colour c) {
    switch (to) {
        case Layout::GreyRamp: {
            const int level = nearestIndex(greyRamp(), c);
            return {level, level, level};
        }
        case Layout::Palette: {
            const PaletteColour& e =
                testPalette()[static_cast<std::size_t>(nearestIndex(testPalette(), c))];
            return {e.red, e.green, e.blue};
        }
        case Layout::Rgb555:
            return {expand((c.r * 31 + 127) / 255, 5), expand((c.g * 31 + 127) / 255, 5),
                    expand((c.b * 31 + 127) / 255, 5)};
        case Layout::Rgb565:
            return {expand((c.r * 31 + 127) / 255, 5), expand((c.g * 63 + 127) / 255, 6),
                    expand((c.b * 31 + 127) / 255, 5)};
        default:
            return c;
    }
}

void fillSource(Bitmap& bitmap, Layout layout) {
    // Every byte value at every byte position, so every index and every channel value occurs.
    for (std::uint32_t y = 0; y < bitmap.height(); ++y) {
        std::uint8_t* row = bitmap.row(y);
        for (std::uint32_t i = 0; i < bitmap.width() * bitmap.bytesPerPixel(); ++i) {
            row[i] = static_cast<std::uint8_t>(i * 29 + y * 101 + 7);
        }
        if (layout == Layout::Rgb555) {
            for (std::uint32_t x = 0; x < bitmap.width(); ++x) row[2 * x + 1] &= 0x7F;
        }
    }
}

const char* layoutName(Layout layout) {
    static const char* names[] = {"GreyRamp", "Palette", "Rgb555",   "Rgb565",
                                  "Rgb24",    "Rgb32",   "Rgb32Wide"};
    return names[static_cast<int>(layout)];
}

class Conversion : public ::testing::TestWithParam<std::tuple<Layout, Layout>> {};

TEST_P(Conversion, EachPixelBecomesTheNearestColourTheDestinationCanHold) {
    const Layout from = std::get<0>(GetParam());
    const Layout to = std::get<1>(GetParam());
    Surfaces surfaces;
    ASSERT_TRUE(surfaces.source.create(layoutFormat(from, 64, 8)));
    fillSource(surfaces.source, from);
    // Same size: this runs the converting copy, and the whole-row copy for equal layouts.
    ASSERT_TRUE(surfaces.destination.create(layoutFormat(to, 64, -8)));
    ASSERT_TRUE(stretchBlt(surfaces.destinationDc, Rect{0, 0, 64, 8}, surfaces.sourceDc,
                           Rect{0, 0, 64, 8}, kSrcCopy));
    for (std::uint32_t y = 0; y < 8; ++y) {
        for (std::uint32_t x = 0; x < 64; ++x) {
            const Colour source = readPixel(surfaces.source, from, x, y);
            ASSERT_EQ(readPixel(surfaces.destination, to, x, y),
                      expectedAfterConversion(to, source))
                << layoutName(from) << " -> " << layoutName(to) << " at " << x << "," << y
                << " source " << source;
        }
    }
}

const Layout kAllLayouts[] = {Layout::GreyRamp, Layout::Palette, Layout::Rgb555,   Layout::Rgb565,
                              Layout::Rgb24,    Layout::Rgb32,   Layout::Rgb32Wide};

INSTANTIATE_TEST_SUITE_P(EveryPair, Conversion,
                         ::testing::Combine(::testing::ValuesIn(kAllLayouts),
                                            ::testing::ValuesIn(kAllLayouts)),
                         [](const auto& param) {
                             return std::string(layoutName(std::get<0>(param.param))) + "To" +
                                    layoutName(std::get<1>(param.param));
                         });

TEST(Palette, TiesGoToTheLowestIndex) {
    const std::vector<PaletteColour> palette = {{0, 0, 2, 0}, {0, 0, 0, 0}, {0, 0, 2, 0}};
    Surfaces surfaces;
    ASSERT_TRUE(surfaces.source.create(format(2, 1, 24)));
    put24(surfaces.source, 0, 0, {1, 0, 0});  // equally far from entries 0 and 1
    put24(surfaces.source, 1, 0, {2, 0, 0});  // entries 0 and 2 hold the same colour
    BitmapFormat f = format(2, 1, 8);
    f.palette = palette.data();
    f.paletteSize = 3;
    ASSERT_TRUE(surfaces.destination.create(f));
    ASSERT_TRUE(stretchBlt(surfaces.destinationDc, Rect{0, 0, 2, 1}, surfaces.sourceDc,
                           Rect{0, 0, 2, 1}, kSrcCopy));
    EXPECT_EQ(surfaces.destination.row(0)[0], 0);
    EXPECT_EQ(surfaces.destination.row(0)[1], 0);
}

TEST(Palette, ColourOntoTheGreyRampTakesTheNearestLevelNotALuminance) {
    Surfaces surfaces;
    ASSERT_TRUE(surfaces.source.create(format(4, 1, 24)));
    put24(surfaces.source, 0, 0, {255, 0, 0});
    put24(surfaces.source, 1, 0, {0, 255, 0});
    put24(surfaces.source, 2, 0, {2, 0, 0});
    put24(surfaces.source, 3, 0, {255, 255, 254});
    ASSERT_TRUE(surfaces.destination.create(format(4, 1, 8)));
    ASSERT_TRUE(stretchBlt(surfaces.destinationDc, Rect{0, 0, 4, 1}, surfaces.sourceDc,
                           Rect{0, 0, 4, 1}, kSrcCopy));
    const std::uint8_t* row = surfaces.destination.row(0);
    EXPECT_EQ(row[0], 85);
    EXPECT_EQ(row[1], 85);
    EXPECT_EQ(row[2], 1);
    EXPECT_EQ(row[3], 255);
}

TEST(Palette, IndicesBeyondTheSourcePaletteReadAsBlack) {
    const std::vector<PaletteColour> palette = {{255, 255, 255, 0}};
    Surfaces surfaces;
    BitmapFormat f = format(2, 1, 8);
    f.palette = palette.data();
    f.paletteSize = 1;
    ASSERT_TRUE(surfaces.source.create(f));
    surfaces.source.row(0)[0] = 0;
    surfaces.source.row(0)[1] = 200;
    ASSERT_TRUE(surfaces.destination.create(format(2, 1, 24)));
    ASSERT_TRUE(stretchBlt(surfaces.destinationDc, Rect{0, 0, 2, 1}, surfaces.sourceDc,
                           Rect{0, 0, 2, 1}, kSrcCopy));
    EXPECT_EQ(get24(surfaces.destination, 0, 0), (Colour{255, 255, 255}));
    EXPECT_EQ(get24(surfaces.destination, 1, 0), (Colour{0, 0, 0}));
}

TEST(Masks, NarrowChannelsWidenToTheFullRangeAndZeroMasksReadZero) {
    Surfaces surfaces;
    BitmapFormat f = format(3, 1, 16);
    f.masks = {0x0003, 0x001C, 0};  // 2-bit red, 3-bit green, no blue
    ASSERT_TRUE(surfaces.source.create(f));
    const std::uint16_t pixels[3] = {0x0003 | 0x001C, 0x0001 | 0x0008, 0};
    for (int x = 0; x < 3; ++x) {
        surfaces.source.row(0)[2 * x] = static_cast<std::uint8_t>(pixels[x]);
        surfaces.source.row(0)[2 * x + 1] = static_cast<std::uint8_t>(pixels[x] >> 8);
    }
    ASSERT_TRUE(surfaces.destination.create(format(3, 1, 24)));
    ASSERT_TRUE(stretchBlt(surfaces.destinationDc, Rect{0, 0, 3, 1}, surfaces.sourceDc,
                           Rect{0, 0, 3, 1}, kSrcCopy));
    EXPECT_EQ(get24(surfaces.destination, 0, 0), (Colour{255, 255, 0}));
    EXPECT_EQ(get24(surfaces.destination, 1, 0), (Colour{85, 73, 0}));
    EXPECT_EQ(get24(surfaces.destination, 2, 0), (Colour{0, 0, 0}));
}

}  // namespace
