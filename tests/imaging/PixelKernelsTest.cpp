// The word-level kernels that stand in for vector instructions where a target has none; on
// targets with vectors the rotations take other paths, so they are checked here directly.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "imaging/rotation/PixelRows.h"

namespace tamra::imaging::detail {
namespace {

TEST(PixelKernels, EightByEightTransposeSwapsRowsAndColumns) {
    std::uint8_t block[8][8];
    for (int r = 0; r < 8; ++r) {
        for (int c = 0; c < 8; ++c) block[r][c] = static_cast<std::uint8_t>(r * 8 + c + 1);
    }
    std::uint64_t words[8];
    for (int r = 0; r < 8; ++r) words[r] = load64(block[r]);
    transpose8x8(words);
    for (int r = 0; r < 8; ++r) {
        std::uint8_t row[8];
        store64(row, words[r]);
        for (int c = 0; c < 8; ++c) EXPECT_EQ(row[c], block[c][r]) << r << "," << c;
    }
}

TEST(PixelKernels, WordsReverseWholePixels) {
    std::uint8_t bytes[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    std::uint8_t out[8];
    store64(out, reverseUnits<1>(load64(bytes)));
    EXPECT_EQ(std::vector<std::uint8_t>(out, out + 8),
              (std::vector<std::uint8_t>{8, 7, 6, 5, 4, 3, 2, 1}));
    store64(out, reverseUnits<2>(load64(bytes)));
    EXPECT_EQ(std::vector<std::uint8_t>(out, out + 8),
              (std::vector<std::uint8_t>{7, 8, 5, 6, 3, 4, 1, 2}));
    store64(out, reverseUnits<4>(load64(bytes)));
    EXPECT_EQ(std::vector<std::uint8_t>(out, out + 8),
              (std::vector<std::uint8_t>{5, 6, 7, 8, 1, 2, 3, 4}));
}

// Every length up to a few vectors, so that vector, word and single-pixel steps all meet.
template <int PixelBytes, int CopyBytes>
void checkReverse() {
    for (int count = 0; count <= 100; ++count) {
        std::vector<std::uint8_t> src(static_cast<std::size_t>(count) * PixelBytes + 4);
        for (std::size_t i = 0; i < src.size(); ++i) src[i] = static_cast<std::uint8_t>(i * 7 + 3);
        std::vector<std::uint8_t> dst(src.size(), 0xEE);
        reverseRow<PixelBytes, CopyBytes>(dst.data(), src.data(), count);
        for (int i = 0; i < count; ++i) {
            for (int b = 0; b < PixelBytes; ++b) {
                const std::uint8_t expected =
                    b < CopyBytes ? src[(count - 1 - i) * PixelBytes + b] : 0xEE;
                ASSERT_EQ(dst[i * PixelBytes + b], expected)
                    << PixelBytes << "/" << CopyBytes << " count " << count << " pixel " << i;
            }
        }
        for (std::size_t i = static_cast<std::size_t>(count) * PixelBytes; i < dst.size(); ++i) {
            ASSERT_EQ(dst[i], 0xEE) << "written past the row, count " << count;
        }
    }
}

TEST(PixelKernels, ReversedRowsMoveExactlyTheCopiedBytes) {
    checkReverse<1, 1>();
    checkReverse<2, 2>();
    checkReverse<3, 3>();
    checkReverse<4, 4>();
    checkReverse<4, 3>();
}

}  // namespace
}  // namespace tamra::imaging::detail
