// Rotation against a per-pixel reference: every byte of the destination buffer must agree,
// inside and outside the destination rectangle, for every pixel layout, whole and fractional
// angles, odd and block-multiple sizes, clipped rectangles and shifts. Worked cases pin the
// reference itself and the argument checks; the portable word kernels, which a target with
// vectors never reaches whole through a rotation, are checked directly.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "imaging/rotation/PixelRows.h"
#include "imaging/rotation/Rotation.h"

namespace tamra::imaging {
namespace {

constexpr double kRadiansPerDegree = 3.141592653589793 / 180.0;

// The oracle: each destination pixel decided on its own, in double precision, by the definition
// (nearest source pixel of the inverse turn). Writes nothing when the turned source's corners
// miss the destination rectangle or the clipped source is empty.
void referenceRotate(const std::uint8_t* src, ImageSize size, int srcStep, ImageRect s,
                     std::uint8_t* dst, int dstStep, ImageRect d, double angle, double xShift,
                     double yShift, int pixelBytes, int copyBytes) {
    const int x0 = std::max(s.x, 0), y0 = std::max(s.y, 0);
    const int x1 = std::min(s.x + s.width, size.width) - 1;
    const int y1 = std::min(s.y + s.height, size.height) - 1;
    double reduced = std::fmod(angle, 360.0);
    if (reduced < 0.0) reduced += 360.0;
    const double quarter[] = {0.0, 1.0, 0.0, -1.0};  // sine of whole quarter turns, exactly
    const int q = static_cast<int>(reduced / 90.0);
    const bool exact = std::fmod(reduced, 90.0) == 0.0;
    const double sine = exact ? quarter[q] : std::sin(reduced * kRadiansPerDegree);
    const double cosine = exact ? quarter[(q + 1) % 4] : std::cos(reduced * kRadiansPerDegree);
    double minX = 1e300, maxX = -1e300, minY = 1e300, maxY = -1e300;
    for (int corner = 0; corner < 4; ++corner) {
        const double x = (corner & 1) ? x1 : x0, y = (corner & 2) ? y1 : y0;
        minX = std::min(minX, cosine * x + sine * y + xShift);
        maxX = std::max(maxX, cosine * x + sine * y + xShift);
        minY = std::min(minY, -sine * x + cosine * y + yShift);
        maxY = std::max(maxY, -sine * x + cosine * y + yShift);
    }
    const double right = double(d.x) + d.width - 1, bottom = double(d.y) + d.height - 1;
    if (x0 > x1 || y0 > y1 || maxX < d.x || minX > right || maxY < d.y || minY > bottom) return;
    for (std::int64_t yd = d.y; yd <= static_cast<std::int64_t>(bottom); ++yd) {
        for (std::int64_t xd = d.x; xd <= static_cast<std::int64_t>(right); ++xd) {
            const double dx = double(xd) - xShift, dy = double(yd) - yShift;
            const double col = std::floor(cosine * dx - sine * dy + 0.5);
            const double row = std::floor(sine * dx + cosine * dy + 0.5);
            if (col < x0 || col > x1 || row < y0 || row > y1) continue;
            std::memcpy(dst + yd * dstStep + xd * pixelBytes,
                        src + std::int64_t(row) * srcStep + std::int64_t(col) * pixelBytes,
                        copyBytes);
        }
    }
}

using RotateFn = int (*)(const std::uint8_t*, ImageSize, int, const ImageRect*, std::uint8_t*, int,
                         const ImageRect*, double, double, double, int);

struct LayoutCase {
    const char* name;
    RotateFn rotate, rotateCenter;
    int pixelBytes, copyBytes;
};

const LayoutCase kLayouts[] = {{"C1", RotateImage8uC1, RotateCenterImage8uC1, 1, 1},
                               {"C2", RotateImage8uC2, RotateCenterImage8uC2, 2, 2},
                               {"C3", RotateImage8uC3, RotateCenterImage8uC3, 3, 3},
                               {"AC4", RotateImage8uAC4, RotateCenterImage8uAC4, 4, 3}};

struct Scene {
    int srcWidth, srcHeight;
    ImageRect srcRect;
    int dstWidth, dstHeight;
    ImageRect dstRect;
};

std::vector<std::uint8_t> noise(std::size_t size, std::uint32_t seed) {
    std::vector<std::uint8_t> bytes(size);
    std::minstd_rand random(seed + 1);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(random() >> 7);
    return bytes;
}

// Rotates one scene both ways into identically pre-filled buffers (rows padded on purpose);
// returns a failure text or "". With a centre, the reference takes the shift it implies.
std::string compareOnce(const LayoutCase& layout, const Scene& scene, double angle, double xs,
                        double ys, std::uint32_t seed, const double* centre = nullptr) {
    const int srcStep = scene.srcWidth * layout.pixelBytes + 5;
    const int dstStep = scene.dstWidth * layout.pixelBytes + 3;
    const auto src = noise(std::size_t(srcStep) * scene.srcHeight, seed);
    auto expected = noise(std::size_t(dstStep) * scene.dstHeight, seed + 7);
    auto actual = expected;
    const int status = (centre ? layout.rotateCenter : layout.rotate)(
        src.data(), {scene.srcWidth, scene.srcHeight}, srcStep, &scene.srcRect, actual.data(),
        dstStep, &scene.dstRect, angle, centre ? centre[0] : xs, centre ? centre[1] : ys,
        kInterpolationNearest);
    if (centre != nullptr) GetRotateShift(centre[0], centre[1], angle, &xs, &ys);
    referenceRotate(src.data(), {scene.srcWidth, scene.srcHeight}, srcStep, scene.srcRect,
                    expected.data(), dstStep, scene.dstRect, angle, xs, ys, layout.pixelBytes,
                    layout.copyBytes);
    if (status != kRotateOk) return "status " + std::to_string(status);
    const auto diff = std::mismatch(actual.begin(), actual.end(), expected.begin()).first;
    const auto at = diff - actual.begin();
    return diff == actual.end() ? ""
                                : "differs at row " + std::to_string(at / dstStep) + ", byte " +
                                      std::to_string(at % dstStep);
}

#define EXPECT_SAME_AS_REFERENCE(layout, scene, angle, xs, ys, ...)                          \
    EXPECT_EQ(compareOnce(layout, scene, angle, xs, ys, __VA_ARGS__), "")                    \
        << (layout).name << " " << (scene).srcWidth << "x" << (scene).srcHeight << " angle " \
        << (angle) << " shift (" << (xs) << ", " << (ys) << ")"

// Odd sizes, sizes of whole vector blocks, clipped and offset rectangles, destinations larger
// and smaller than the source, and destinations the turned source misses.
const Scene kScenes[] = {
    {37, 23, {0, 0, 37, 23}, 37, 23, {0, 0, 37, 23}},
    {37, 23, {0, 0, 37, 23}, 23, 37, {0, 0, 23, 37}},
    {64, 32, {0, 0, 64, 32}, 32, 64, {0, 0, 32, 64}},
    {48, 16, {0, 0, 48, 16}, 48, 16, {0, 0, 48, 16}},
    {41, 29, {5, 3, 50, 40}, 47, 35, {4, 2, 39, 31}},  // source rectangle clipped by the image
    {16, 9, {2, 1, 11, 6}, 30, 30, {0, 0, 30, 30}},
    {1, 1, {0, 0, 1, 1}, 5, 5, {0, 0, 5, 5}},
    {1, 13, {0, 0, 1, 13}, 15, 15, {1, 1, 14, 14}},
    {13, 1, {0, 0, 13, 1}, 15, 15, {0, 0, 15, 15}},
    {8, 8, {0, 0, 8, 8}, 64, 64, {40, 40, 20, 20}},  // far from the turned source
    {8, 8, {20, 20, 4, 4}, 16, 16, {0, 0, 16, 16}},  // source rectangle outside the image
};

TEST(RotationDifferential, WholeAnglesAboutTheCentreMatchTheReference) {
    std::uint32_t seed = 1;
    for (const LayoutCase& layout : kLayouts) {
        for (const Scene& scene : kScenes) {
            const double centre[2] = {scene.dstWidth * 0.5, scene.dstHeight * 0.5};
            for (int angle = 0; angle < 360; ++angle) {
                EXPECT_SAME_AS_REFERENCE(layout, scene, angle, 0.0, 0.0, seed++, centre);
            }
        }
    }
}

TEST(RotationDifferential, ArbitraryAndWholeShiftsMatchTheReference) {
    std::mt19937 random(7);
    std::uniform_real_distribution<double> shift(-20.0, 40.0);
    std::uint32_t seed = 100;
    for (const LayoutCase& layout : kLayouts) {
        for (const Scene& scene : kScenes) {
            for (int angle = -360; angle <= 720; angle += 7) {
                const double xs = shift(random);
                const double ys = shift(random);
                EXPECT_SAME_AS_REFERENCE(layout, scene, angle, xs, ys, seed++);
                EXPECT_SAME_AS_REFERENCE(layout, scene, angle, std::round(xs), std::round(ys),
                                         seed++);
            }
        }
    }
}

TEST(RotationDifferential, QuarterTurnsWithWholeShiftsAtEveryOffsetMatchTheReference) {
    const Scene scene{29, 19, {3, 2, 21, 15}, 40, 40, {2, 3, 35, 33}};
    std::uint32_t seed = 500;
    for (const LayoutCase& layout : kLayouts) {
        for (int angle : {0, 90, 180, 270, -90, 450}) {
            for (int xs = -30; xs <= 60; xs += 7) {
                for (int ys = -30; ys <= 60; ys += 5) {
                    EXPECT_SAME_AS_REFERENCE(layout, scene, angle, xs, ys, seed++);
                }
            }
        }
    }
}

// Half-pixel shifts put many source positions exactly on pixel edges, where rounding decides.
TEST(RotationDifferential, PositionsOnPixelEdgesMatchTheReference) {
    const Scene scene{33, 27, {0, 0, 33, 27}, 33, 27, {0, 0, 33, 27}};
    std::uint32_t seed = 900;
    for (const LayoutCase& layout : kLayouts) {
        for (double angle : {0.0, 90.0, 180.0, 270.0, 45.0, 135.0, 30.0, 60.0, 0.5, 89.5}) {
            for (double xs : {0.5, -0.5, 16.5, 3.25}) {
                for (double ys : {0.5, -0.5, 13.5, 7.75}) {
                    EXPECT_SAME_AS_REFERENCE(layout, scene, angle, xs, ys, seed++);
                }
            }
        }
    }
}

TEST(RotationDifferential, FrameSizedImagesMatchTheReference) {
    const Scene same{641, 481, {0, 0, 641, 481}, 641, 481, {0, 0, 641, 481}};
    const Scene turned{641, 481, {0, 0, 641, 481}, 481, 641, {0, 0, 481, 641}};
    std::uint32_t seed = 1300;
    for (const LayoutCase& layout : {kLayouts[0], kLayouts[3]}) {
        for (double angle : {1.0, 10.0, 45.0, 100.0, 181.0, 315.0, 359.0}) {
            double xs = 0.0, ys = 0.0;
            GetRotateShift(320.5, 240.5, angle, &xs, &ys);
            EXPECT_SAME_AS_REFERENCE(layout, same, angle, xs, ys, seed++);
            EXPECT_SAME_AS_REFERENCE(layout, turned, angle, xs - 80.0, ys + 80.0, seed++);
        }
    }
    // Quarter turns through whole tiles and blocks, and their ragged edges.
    for (const LayoutCase& layout : kLayouts) {
        for (double angle : {90.0, 180.0, 270.0}) {
            double xs = 0.0, ys = 0.0;
            GetRotateShift(320.0, 240.0, angle, &xs, &ys);
            EXPECT_SAME_AS_REFERENCE(layout, same, angle, xs, ys, seed++);
            EXPECT_SAME_AS_REFERENCE(layout, turned, angle, xs - 80.0, ys + 80.0, seed++);
            EXPECT_SAME_AS_REFERENCE(layout, turned, angle, xs - 77.0, ys + 83.0, seed++);
        }
    }
}

// Beyond the range where positions are stepped in fixed point every pixel is evaluated on its
// own; a one-row destination far to the right reaches that range with little memory.
TEST(RotationDifferential, FarCoordinatesMatchTheReference) {
    constexpr int kFar = (1 << 24) + 100;
    const Scene scene{64, 64, {0, 0, 64, 64}, kFar + 70, 1, {kFar, 0, 64, 1}};
    std::uint32_t seed = 1700;
    for (double angle : {0.5, 359.5, 3.0}) {
        EXPECT_SAME_AS_REFERENCE(kLayouts[0], scene, angle, kFar, -10.0, seed++);
        EXPECT_SAME_AS_REFERENCE(kLayouts[0], scene, angle, kFar - 0.5, -10.5, seed++);
    }
}

// The reference decides by definition; these pin the definition: 90 degrees turns
// counter-clockwise as displayed, the shift keeps the centre fixed, the bound is the turned box.
TEST(RotationWorked, SenseShiftAndBoundOfATurn) {
    const int w = 5, h = 3;
    std::vector<std::uint8_t> src(w * h);
    std::iota(src.begin(), src.end(), std::uint8_t{1});
    std::vector<std::uint8_t> dst(h * w, 0xEE);
    const ImageRect srcRect{0, 0, w, h};
    const ImageRect dstRect{0, 0, h, w};
    // Shift (0, w - 1) places the turned image at the origin: x' = y, y' = (w - 1) - x.
    ASSERT_EQ(RotateImage8uC1(src.data(), {w, h}, w, &srcRect, dst.data(), h, &dstRect, 90.0, 0.0,
                              w - 1.0, kInterpolationNearest),
              kRotateOk);
    EXPECT_EQ(dst, std::vector<std::uint8_t>({5, 10, 15, 4, 9, 14, 3, 8, 13, 2, 7, 12, 1, 6, 11}));

    double xs = 0.0, ys = 0.0, xs2 = 0.0, ys2 = 0.0;
    GetRotateShift(10.0, 4.0, 90.0, &xs, &ys);
    GetRotateShift(10.0, 4.0, -90.0, &xs2, &ys2);
    EXPECT_EQ(std::vector<double>({xs, ys, xs2, ys2}), std::vector<double>({6, 14, 14, -6}));
    for (double angle = 1.0; angle < 360.0; angle += 17.0) {
        ASSERT_EQ(GetRotateShift(12.5, 7.25, angle, &xs, &ys), kRotateOk);
        const double r = angle * 3.141592653589793 / 180.0;
        EXPECT_NEAR(std::cos(r) * 12.5 + std::sin(r) * 7.25 + xs, 12.5, 1e-9) << angle;
        EXPECT_NEAR(-std::sin(r) * 12.5 + std::cos(r) * 7.25 + ys, 7.25, 1e-9) << angle;
    }

    const ImageRect frame{0, 0, 640, 480};
    double a[2][2], b[2][2];
    ASSERT_EQ(GetRotateBound(&frame, a, 90.0, 0.0, 0.0), kRotateOk);
    ASSERT_EQ(GetRotateBound(&frame, b, 0.0, 3.5, -2.0), kRotateOk);
    EXPECT_EQ(std::vector<double>(
                  {a[0][0], a[0][1], a[1][0], a[1][1], b[0][0], b[0][1], b[1][0], b[1][1]}),
              std::vector<double>({0.0, -639.0, 479.0, 0.0, 3.5, -2.0, 642.5, 477.0}));
}

TEST(RotationWorked, InvalidArgumentsAreRefusedWithoutWriting) {
    const int w = 4, h = 4;
    const std::vector<std::uint8_t> src(w * h, 1);
    std::vector<std::uint8_t> dst(w * h, 0xEE);
    const ImageRect ok{0, 0, w, h}, negative{-1, 0, w, h}, empty{0, 0, 0, h};
    const std::uint8_t* s = src.data();
    std::uint8_t* d = dst.data();
    const double nan = std::nan("");
    // clang-format off
    struct Case { const std::uint8_t* src; ImageSize size; int srcStep; const ImageRect* srcRect;
        std::uint8_t* dst; int dstStep; const ImageRect* dstRect; double angle, shift;
        int interpolation, status; } cases[] = {
        // clang-format on
        {nullptr, {w, h}, w, &ok, d, w, &ok, 0, 0, 1, kRotateNullPointer},
        {s, {w, h}, w, &ok, nullptr, w, &ok, 0, 0, 1, kRotateNullPointer},
        {s, {w, h}, w, nullptr, d, w, &ok, 0, 0, 1, kRotateNullPointer},
        {s, {w, h}, w, &ok, d, w, nullptr, 0, 0, 1, kRotateNullPointer},
        {s, {0, h}, w, &ok, d, w, &ok, 0, 0, 1, kRotateBadSize},
        {s, {w, -3}, w, &ok, d, w, &ok, 0, 0, 1, kRotateBadSize},
        {s, {w, h}, w, &negative, d, w, &ok, 0, 0, 1, kRotateBadRect},
        {s, {w, h}, w, &ok, d, w, &empty, 0, 0, 1, kRotateBadRect},
        {s, {w, h}, w, &ok, d, w, &ok, 0, 0, 0, kRotateBadInterpolation},
        {s, {w, h}, w - 1, &ok, d, w, &ok, 0, 0, 1, kRotateBadStep},
        {s, {w, h}, w, &ok, d, w - 1, &ok, 0, 0, 1, kRotateBadStep},
        {s, {w, h}, w, &ok, d, w, &ok, nan, 0, 1, kRotateBadNumber},
        {s, {w, h}, w, &ok, d, w, &ok, 0, INFINITY, 1, kRotateBadNumber},
    };
    for (const Case& c : cases) {
        for (const LayoutCase& layout : {kLayouts[0], kLayouts[2]}) {
            for (RotateFn rotate : {layout.rotate, layout.rotateCenter}) {
                const int step = layout.pixelBytes;
                EXPECT_EQ(
                    rotate(c.src, c.size, c.srcStep * step, c.srcRect, c.dst, c.dstStep * step,
                           c.dstRect, c.angle, c.shift, c.shift, c.interpolation),
                    c.status)
                    << layout.name << " case " << (&c - cases);
            }
        }
    }
    EXPECT_EQ(dst, std::vector<std::uint8_t>(w * h, 0xEE));
    double bound[2][2], xs = 0.0;
    EXPECT_EQ(
        std::vector<int>({GetRotateBound(&negative, bound, 0.0, 0.0, 0.0),
                          GetRotateBound(&empty, bound, 0.0, 0.0, 0.0),
                          GetRotateBound(nullptr, bound, 0.0, 0.0, 0.0),
                          GetRotateShift(1.0, 1.0, 30.0, &xs, nullptr)}),
        std::vector<int>({kRotateBadRect, kRotateBadRect, kRotateNullPointer, kRotateNullPointer}));
}

TEST(PortableKernels, TransposeAndReverseWordsMoveWholePixels) {
    std::uint8_t block[8][8], row[8];
    std::iota(&block[0][0], &block[0][0] + 64, std::uint8_t{1});
    std::uint64_t words[8];
    for (int r = 0; r < 8; ++r) words[r] = detail::load64(block[r]);
    detail::transpose8x8(words);
    for (int r = 0; r < 8; ++r) {
        detail::store64(row, words[r]);
        for (int c = 0; c < 8; ++c) EXPECT_EQ(row[c], block[c][r]) << r << "," << c;
    }
    const auto bytes = [&](std::uint64_t word) {
        detail::store64(row, word);
        return std::vector<std::uint8_t>(row, row + 8);
    };
    const std::uint64_t word = detail::load64(block[0]);
    EXPECT_EQ(std::vector<std::vector<std::uint8_t>>({bytes(detail::reverseUnits<1>(word)),
                                                      bytes(detail::reverseUnits<2>(word)),
                                                      bytes(detail::reverseUnits<4>(word))}),
              std::vector<std::vector<std::uint8_t>>(
                  {{8, 7, 6, 5, 4, 3, 2, 1}, {7, 8, 5, 6, 3, 4, 1, 2}, {5, 6, 7, 8, 1, 2, 3, 4}}));
}

// Every length up to a few vectors, so that vector, word and single-pixel steps all meet.
template <int PixelBytes, int CopyBytes>
void checkReverse() {
    for (int count = 0; count <= 100; ++count) {
        std::vector<std::uint8_t> src(static_cast<std::size_t>(count) * PixelBytes + 4);
        for (std::size_t i = 0; i < src.size(); ++i) src[i] = static_cast<std::uint8_t>(i * 7 + 3);
        std::vector<std::uint8_t> dst(src.size(), 0xEE);
        detail::reverseRow<PixelBytes, CopyBytes>(dst.data(), src.data(), count);
        for (std::size_t i = 0; i < dst.size(); ++i) {
            const std::size_t pixel = i / PixelBytes, b = i % PixelBytes;
            const bool copied = pixel < static_cast<std::size_t>(count) && b < CopyBytes;
            ASSERT_EQ(dst[i], copied ? src[(count - 1 - pixel) * PixelBytes + b] : 0xEE)
                << PixelBytes << "/" << CopyBytes << " count " << count << " byte " << i;
        }
    }
}

TEST(PortableKernels, ReversedRowsMoveExactlyTheCopiedBytes) {
    checkReverse<1, 1>();
    checkReverse<2, 2>();
    checkReverse<3, 3>();
    checkReverse<4, 4>();
    checkReverse<4, 3>();
}

}  // namespace
}  // namespace tamra::imaging
