// The row kernels this processor runs write exactly what their scalar references write, over
// random pixels, every width from 0 past two vector blocks, and unaligned starts.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <random>
#include <vector>

#include "platform/raster/PixelKernels.h"
#include "platform/raster/RowRead.h"

namespace {

using namespace tamra::platform::kernels;

constexpr std::size_t kMaxCount = 150;

std::vector<std::uint8_t> randomBytes(std::size_t count, std::mt19937& random) {
    std::vector<std::uint8_t> bytes(count);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
    return bytes;
}

TEST(PixelKernels, GreyLevelIsNearestRampEntry) {
    for (std::uint32_t sum = 0; sum <= 765; ++sum) {
        const int level = greyOfSum(sum);
        const int here = (3 * level - static_cast<int>(sum)) * (3 * level - static_cast<int>(sum));
        for (int other : {level - 1, level + 1}) {
            if (other < 0 || other > 255) continue;
            const int there =
                (3 * other - static_cast<int>(sum)) * (3 * other - static_cast<int>(sum));
            EXPECT_LT(here, there) << "sum " << sum;
        }
    }
}

TEST(PixelKernels, GreyRowsMatchScalar) {
    std::mt19937 random(7);
    for (std::size_t step : {3u, 4u}) {
        const GreyRow best = step == 3 ? bestKernels().greyFromBgr : bestKernels().greyFromBgrx;
        const GreyRow scalar =
            step == 3 ? scalarKernels().greyFromBgr : scalarKernels().greyFromBgrx;
        for (std::size_t count = 0; count <= kMaxCount; ++count) {
            for (std::size_t start : {0u, 1u}) {
                // Exactly the row's bytes, so that a read past them is caught by the sanitizers.
                const auto row = randomBytes(start + step * count, random);
                std::vector<std::uint8_t> expected(count + 1, 0xA5), actual(count + 1, 0xA5);
                scalar(row.data() + start, expected.data(), count);
                best(row.data() + start, actual.data(), count);
                ASSERT_EQ(expected, actual) << step << "-byte pixels, " << count << " wide";
            }
        }
    }
}

// One pixel for every channel sum, so that each vector form's division by three is checked over
// its whole range.
TEST(PixelKernels, EveryChannelSumGivesItsRampLevel) {
    constexpr std::size_t kSums = 766;
    for (std::size_t step : {3u, 4u}) {
        std::vector<std::uint8_t> row(step * kSums, 0);
        std::vector<std::uint8_t> expected(kSums), actual(kSums);
        for (std::uint32_t sum = 0; sum < kSums; ++sum) {
            std::uint8_t* pixel = row.data() + step * sum;
            pixel[0] = static_cast<std::uint8_t>(std::min<std::uint32_t>(sum, 255));
            pixel[1] = static_cast<std::uint8_t>(std::min<std::uint32_t>(sum - pixel[0], 255));
            pixel[2] = static_cast<std::uint8_t>(sum - pixel[0] - pixel[1]);
            expected[sum] = greyOfSum(sum);
        }
        const GreyRow best = step == 3 ? bestKernels().greyFromBgr : bestKernels().greyFromBgrx;
        best(row.data(), actual.data(), kSums);
        EXPECT_EQ(expected, actual) << step << "-byte pixels";
        std::vector<std::uint32_t> offsets(kSums);
        for (std::uint32_t i = 0; i < kSums; ++i) offsets[i] = static_cast<std::uint32_t>(step * i);
        if (step == 3) {
            bestKernels().greyFromBgrColumns(row.data(), row.size(), offsets.data(), actual.data(),
                                             kSums);
            EXPECT_EQ(expected, actual) << "columns";
        }
    }
}

TEST(PixelKernels, ScaledGreyRowsMatchScalar) {
    std::mt19937 random(11);
    for (std::size_t sourceWidth : {1u, 3u, 37u, 64u, 101u}) {
        const auto row = randomBytes(3 * sourceWidth, random);
        for (std::size_t count = 1; count <= kMaxCount; count += 7) {
            std::vector<std::uint32_t> offsets(count);
            for (std::size_t d = 0; d < count; ++d) {
                offsets[d] = static_cast<std::uint32_t>(3 * (d * sourceWidth / count));
            }
            std::vector<std::uint8_t> expected(count), actual(count);
            scalarKernels().greyFromBgrColumns(row.data(), row.size(), offsets.data(),
                                               expected.data(), count);
            bestKernels().greyFromBgrColumns(row.data(), row.size(), offsets.data(), actual.data(),
                                             count);
            ASSERT_EQ(expected, actual) << sourceWidth << " to " << count;
        }
    }
}

// Rows wide enough for whole blocks of columns, at steps on both sides of the widest a block
// of columns read at once can span, ending at the last readable byte.
TEST(PixelKernels, WideScaledGreyRowsMatchScalar) {
    struct Scale {
        std::size_t sourceWidth, count;
    };
    std::mt19937 random(19);
    for (const Scale scale : {Scale{1024, 640}, Scale{2592, 1280}, Scale{400, 150}, Scale{540, 200},
                              Scale{560, 200}, Scale{300, 300}, Scale{130, 257}}) {
        const auto row = randomBytes(3 * scale.sourceWidth, random);
        std::vector<std::uint32_t> offsets(scale.count);
        for (std::size_t d = 0; d < scale.count; ++d) {
            offsets[d] = static_cast<std::uint32_t>(3 * (d * scale.sourceWidth / scale.count));
        }
        std::vector<std::uint8_t> expected(scale.count), actual(scale.count);
        scalarKernels().greyFromBgrColumns(row.data(), row.size(), offsets.data(), expected.data(),
                                           scale.count);
        bestKernels().greyFromBgrColumns(row.data(), row.size(), offsets.data(), actual.data(),
                                         scale.count);
        ASSERT_EQ(expected, actual) << scale.sourceWidth << " to " << scale.count;
    }
}

TEST(PixelKernels, PaletteRowsMatchScalarAndStayInTheRow) {
    std::mt19937 random(13);
    std::vector<std::uint32_t> colours(256);
    for (auto& c : colours) c = random() & 0xFFFFFFu;
    PaletteTable palette;
    fillPaletteTable(palette, colours.data());
    for (std::size_t count = 0; count <= kMaxCount; ++count) {
        const auto indices = randomBytes(count, random);
        std::vector<std::uint8_t> expected(3 * count + 1, 0xA5), actual(3 * count + 1, 0xA5);
        scalarKernels().bgrFromPalette(palette, indices.data(), expected.data(), count);
        bestKernels().bgrFromPalette(palette, indices.data(), actual.data(), count);
        ASSERT_EQ(expected, actual) << count << " wide";
        EXPECT_EQ(actual.back(), 0xA5) << "a byte past the row was written";
    }
}

TEST(PixelKernels, MappedRowsMatchScalar) {
    std::mt19937 random(17);
    const auto map = randomBytes(256, random);
    for (std::size_t count = 0; count <= kMaxCount; ++count) {
        const auto indices = randomBytes(count, random);
        std::vector<std::uint8_t> expected(count + 1, 0xA5), actual(count + 1, 0xA5);
        scalarKernels().mapIndices(map.data(), indices.data(), expected.data(), count);
        bestKernels().mapIndices(map.data(), indices.data(), actual.data(), count);
        ASSERT_EQ(expected, actual) << count << " wide";
    }
}

// Rows read from a file land at their places in either order, with nothing else written, and a
// file too short for the rows is told.
TEST(RowRead, RowsLandInEitherOrderAndAShortFileIsTold) {
    constexpr std::size_t kRowBytes = 5, kRows = 150, kOffset = 7;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::tmpfile(), &std::fclose);
    ASSERT_TRUE(file);
    std::mt19937 random(23);
    const auto bytes = randomBytes(kOffset + kRowBytes * kRows, random);
    ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), file.get()), bytes.size());
    ASSERT_EQ(std::fflush(file.get()), 0);
    constexpr std::size_t kStride = kRowBytes + 2;
    for (const bool reversed : {false, true}) {
        std::vector<std::uint8_t> rows(kStride * kRows, 0xA5);
        std::uint8_t* first = rows.data() + (reversed ? kStride * (kRows - 1) : 0);
        const std::ptrdiff_t step = reversed ? -std::ptrdiff_t{kStride} : std::ptrdiff_t{kStride};
        ASSERT_TRUE(
            tamra::platform::readRowsAt(file.get(), kOffset, first, step, kRowBytes, kRows));
        for (std::size_t r = 0; r < kRows; ++r) {
            const std::uint8_t* row = first + static_cast<std::ptrdiff_t>(r) * step;
            for (std::size_t b = 0; b < kStride; ++b) {
                const std::uint8_t want = b < kRowBytes ? bytes[kOffset + r * kRowBytes + b] : 0xA5;
                ASSERT_EQ(row[b], want) << "stored row " << r << ", byte " << b;
            }
        }
    }
    std::vector<std::uint8_t> rows(kRowBytes * kRows);
    EXPECT_FALSE(tamra::platform::readRowsAt(file.get(), kOffset + 1, rows.data(), kRowBytes,
                                             kRowBytes, kRows));
}

}  // namespace
