// Raster bitmaps: layouts, refused formats and memory reuse.
#include <gtest/gtest.h>

#include <vector>

#include "platform/raster/Bitmap.h"

using tamra::platform::Bitmap;
using tamra::platform::BitmapFormat;
using tamra::platform::ChannelMasks;
using tamra::platform::PaletteColour;

namespace {

BitmapFormat format(std::uint32_t width, std::int32_t height, std::uint16_t bits) {
    BitmapFormat f;
    f.width = width, f.height = height, f.bitsPerPixel = bits;
    return f;
}

// Stride and size; row 0 is the top of the picture in both stored orders.
TEST(RasterBitmap, RowsArePaddedToWholeWordsUnlessAStrideIsGivenAndRowZeroIsTheTop) {
    Bitmap b;
    const auto layout = [&b](BitmapFormat f, std::uint32_t stride = 0) {
        f.stride = stride;
        EXPECT_TRUE(b.create(f));
        return std::vector<long>({long(b.stride()), long(b.sizeInBytes()), long(b.height()),
                                  b.topDown(), long(b.row(0) - b.bits()),
                                  long(b.row(b.height() - 1) - b.bits())});
    };
    EXPECT_EQ(layout(format(5, 3, 24)), std::vector<long>({16, 48, 3, 0, 32, 0}));
    EXPECT_EQ(layout(format(7, 2, 16)), std::vector<long>({16, 32, 2, 0, 16, 0}));
    EXPECT_EQ(layout(format(5, 3, 24), 15), std::vector<long>({15, 45, 3, 0, 30, 0}));
    EXPECT_EQ(layout(format(4, -3, 8)), std::vector<long>({4, 12, 3, 1, 0, 8}));
}

TEST(RasterBitmap, RefusesFormatsItCannotHoldAndIsLeftEmpty) {
    std::vector<PaletteColour> colours(257);
    auto with = [](BitmapFormat f, ChannelMasks masks, std::uint32_t stride = 0) {
        f.masks = masks;
        f.stride = stride;
        return f;
    };
    BitmapFormat bigPalette = format(4, 4, 8);
    bigPalette.palette = colours.data();
    bigPalette.paletteSize = 257;
    // Sizes, depths, a block too large, a palette too large, a stride too short, a split mask,
    // overlapping masks, a mask wider than the pixel, masks at 24 bits.
    // clang-format off
    const BitmapFormat refused[] = {
        format(0, 4, 8), format(4, 0, 8), format(4, 4, 1), format(4, 4, 4), format(4, 4, 12),
        format(70000, 1, 8), format(1, -70000, 8), format(65536, 65536, 32), bigPalette,
        with(format(10, 2, 24), {}, 29), with(format(4, 4, 16), {0x7C00, 0x03E0, 0x0015}),
        with(format(4, 4, 32), {0xFF0000, 0x01FF00, 0xFF}),
        with(format(4, 4, 16), {0x1F0000, 0x03E0, 0x001F}),
        with(format(4, 4, 24), {0xFF0000, 0xFF00, 0xFF})};
    // clang-format on
    for (const BitmapFormat& f : refused) {
        Bitmap bitmap;
        ASSERT_TRUE(bitmap.create(format(8, 8, 8)));
        EXPECT_FALSE(bitmap.create(f)) << f.width << "x" << f.height << "x" << f.bitsPerPixel;
        EXPECT_TRUE(bitmap.empty());
    }
}

TEST(RasterBitmap, EightBitsWithoutPaletteReadsAsTheGreyRamp) {
    Bitmap bitmap;
    ASSERT_TRUE(bitmap.create(format(4, 4, 8)));
    EXPECT_EQ(std::vector<int>(
                  {bitmap.isGreyRamp(), int(bitmap.paletteSize()), bitmap.palette()[200].red}),
              std::vector<int>({1, 256, 200}));

    std::vector<PaletteColour> colours(256);
    for (int i = 0; i < 256; ++i) colours[i] = {std::uint8_t(i), std::uint8_t(i), std::uint8_t(i)};
    colours[17].green = 18;
    BitmapFormat almostRamp = format(4, 4, 8);
    almostRamp.palette = colours.data();
    almostRamp.paletteSize = 256;
    ASSERT_TRUE(bitmap.create(almostRamp));
    EXPECT_EQ(std::make_pair(bitmap.isGreyRamp(), int(bitmap.palette()[17].green)),
              std::make_pair(false, 18));
}

TEST(RasterBitmap, RecreatingWithinItsMemoryKeepsTheBlockAndClearsOnlyWhenAsked) {
    Bitmap bitmap;
    ASSERT_TRUE(bitmap.create(format(640, 480, 24)));
    const std::uint8_t* block = bitmap.bits();
    ASSERT_TRUE(bitmap.create(format(100, -50, 8)));
    EXPECT_EQ(bitmap.bits(), block);
    bitmap.row(1)[2] = 99;
    ASSERT_TRUE(bitmap.create(format(100, -50, 8), false));
    EXPECT_EQ(bitmap.row(1)[2], 99);
    ASSERT_TRUE(bitmap.create(format(640, 480, 24)));
    EXPECT_EQ(bitmap.bits(), block);
    EXPECT_EQ(bitmap.row(478)[2], 0);
}

TEST(RasterBitmap, AViewTakesItsModelsLayoutOverTheCallersMemoryAndCreateReturnsToItsOwn) {
    Bitmap model;
    std::vector<PaletteColour> colours = {{1, 2, 3, 0}, {4, 5, 6, 0}};
    BitmapFormat paletted = format(6, 3, 8);
    paletted.palette = colours.data();
    paletted.paletteSize = 2;
    ASSERT_TRUE(model.create(paletted));
    Bitmap view;
    ASSERT_TRUE(view.create(format(4, 4, 24)));
    const std::uint8_t* ownBlock = view.bits();
    std::vector<std::uint8_t> memory(model.sizeInBytes());
    ASSERT_TRUE(view.view(model, memory.data()));
    EXPECT_EQ(std::vector<std::ptrdiff_t>(
                  {view.bits() - memory.data(), std::ptrdiff_t(view.width()),
                   std::ptrdiff_t(view.height()), view.topDown(), std::ptrdiff_t(view.stride()),
                   view.row(0) - memory.data(), std::ptrdiff_t(view.paletteSize()),
                   view.palette()[1].green, view.isGreyRamp()}),
              std::vector<std::ptrdiff_t>({0, 6, 3, 0, std::ptrdiff_t(model.stride()),
                                           2 * std::ptrdiff_t(model.stride()), 2, 5, 0}));

    ASSERT_TRUE(view.create(format(4, 4, 24)));
    EXPECT_EQ(view.bits(), ownBlock);
    EXPECT_FALSE(view.view(Bitmap{}, memory.data()) || !view.empty());
    EXPECT_FALSE(view.view(model, nullptr) || !view.empty());
}

TEST(RasterBitmap, ARowViewStartsAtItsFirstRowAndStaysInsideATopDownBitmap) {
    Bitmap model;
    ASSERT_TRUE(model.create(format(5, -6, 24)));
    Bitmap rows;
    ASSERT_TRUE(rows.viewRows(model, 2, 3));
    EXPECT_EQ(
        std::vector<std::ptrdiff_t>({rows.bits() - model.row(2), rows.row(2) - model.row(4),
                                     std::ptrdiff_t(rows.height()), std::ptrdiff_t(rows.stride())}),
        std::vector<std::ptrdiff_t>({0, 0, 3, std::ptrdiff_t(model.stride())}));
    Bitmap bottomUp;
    ASSERT_TRUE(bottomUp.create(format(5, 6, 24)));
    EXPECT_EQ(
        std::vector<bool>({rows.viewRows(model, 0, 6), rows.viewRows(model, 4, 3), rows.empty(),
                           rows.viewRows(model, 6, 0), rows.viewRows(bottomUp, 0, 1)}),
        std::vector<bool>({true, false, true, false, false}));
}

}  // namespace
