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
    f.width = width;
    f.height = height;
    f.bitsPerPixel = bits;
    return f;
}

TEST(RasterBitmap, RowsArePaddedToWholeWordsUnlessAStrideIsGiven) {
    Bitmap bitmap;
    ASSERT_TRUE(bitmap.create(format(5, 3, 24)));
    EXPECT_EQ(bitmap.stride(), 16u);
    EXPECT_EQ(bitmap.sizeInBytes(), 48u);
    ASSERT_TRUE(bitmap.create(format(7, 2, 16)));
    EXPECT_EQ(bitmap.stride(), 16u);
    BitmapFormat packed = format(5, 3, 24);
    packed.stride = 15;
    ASSERT_TRUE(bitmap.create(packed));
    EXPECT_EQ(bitmap.stride(), 15u);
    EXPECT_EQ(bitmap.sizeInBytes(), 45u);
}

TEST(RasterBitmap, RowZeroIsTheTopOfThePictureInBothStoredOrders) {
    Bitmap bottomUp;
    ASSERT_TRUE(bottomUp.create(format(4, 3, 8)));
    EXPECT_FALSE(bottomUp.topDown());
    EXPECT_EQ(bottomUp.row(0), bottomUp.bits() + 2 * bottomUp.stride());
    EXPECT_EQ(bottomUp.row(2), bottomUp.bits());

    Bitmap topDown;
    ASSERT_TRUE(topDown.create(format(4, -3, 8)));
    EXPECT_TRUE(topDown.topDown());
    EXPECT_EQ(topDown.height(), 3u);
    EXPECT_EQ(topDown.row(0), topDown.bits());
    EXPECT_EQ(topDown.row(2), topDown.bits() + 2 * topDown.stride());
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
    const BitmapFormat refused[] = {format(0, 4, 8),
                                    format(4, 0, 8),
                                    format(4, 4, 1),
                                    format(4, 4, 4),
                                    format(4, 4, 12),
                                    format(70000, 1, 8),
                                    format(1, -70000, 8),
                                    format(65536, 65536, 32),
                                    bigPalette,
                                    with(format(10, 2, 24), {}, 29),
                                    with(format(4, 4, 16), {0x7C00, 0x03E0, 0x0015}),
                                    with(format(4, 4, 32), {0xFF0000, 0x01FF00, 0xFF}),
                                    with(format(4, 4, 16), {0x1F0000, 0x03E0, 0x001F}),
                                    with(format(4, 4, 24), {0xFF0000, 0xFF00, 0xFF})};
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
    EXPECT_TRUE(bitmap.isGreyRamp());
    EXPECT_EQ(bitmap.paletteSize(), 256u);
    EXPECT_EQ(bitmap.palette()[200].red, 200);

    std::vector<PaletteColour> colours(256);
    for (int i = 0; i < 256; ++i) {
        const auto level = static_cast<std::uint8_t>(i);
        colours[i] = {level, level, level, 0};
    }
    colours[17].green = 18;
    BitmapFormat almostRamp = format(4, 4, 8);
    almostRamp.palette = colours.data();
    almostRamp.paletteSize = 256;
    ASSERT_TRUE(bitmap.create(almostRamp));
    EXPECT_FALSE(bitmap.isGreyRamp());
    EXPECT_EQ(bitmap.palette()[17].green, 18);
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
    EXPECT_EQ(view.bits(), memory.data());
    EXPECT_EQ(view.width(), 6u);
    EXPECT_EQ(view.height(), 3u);
    EXPECT_FALSE(view.topDown());
    EXPECT_EQ(view.stride(), model.stride());
    EXPECT_EQ(view.row(0), memory.data() + 2 * model.stride());
    EXPECT_EQ(view.paletteSize(), 2u);
    EXPECT_EQ(view.palette()[1].green, 5);
    EXPECT_FALSE(view.isGreyRamp());

    ASSERT_TRUE(view.create(format(4, 4, 24)));
    EXPECT_EQ(view.bits(), ownBlock);
    EXPECT_FALSE(view.view(Bitmap{}, memory.data()));
    EXPECT_TRUE(view.empty());
    EXPECT_FALSE(view.view(model, nullptr));
    EXPECT_TRUE(view.empty());
}

TEST(RasterBitmap, ARowViewStartsAtItsFirstRowAndStaysInsideATopDownBitmap) {
    Bitmap model;
    ASSERT_TRUE(model.create(format(5, -6, 24)));
    Bitmap rows;
    ASSERT_TRUE(rows.viewRows(model, 2, 3));
    EXPECT_EQ(rows.bits(), model.row(2));
    EXPECT_EQ(rows.row(2), model.row(4));
    EXPECT_EQ(rows.height(), 3u);
    EXPECT_EQ(rows.stride(), model.stride());
    EXPECT_TRUE(rows.viewRows(model, 0, 6));
    EXPECT_FALSE(rows.viewRows(model, 4, 3));
    EXPECT_TRUE(rows.empty());
    EXPECT_FALSE(rows.viewRows(model, 6, 0));
    Bitmap bottomUp;
    ASSERT_TRUE(bottomUp.create(format(5, 6, 24)));
    EXPECT_FALSE(rows.viewRows(bottomUp, 0, 1));
}

}  // namespace
