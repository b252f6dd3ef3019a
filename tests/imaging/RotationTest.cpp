// Rotation against the per-pixel reference: every byte of the destination buffer must agree,
// inside and outside the destination rectangle, for every pixel layout, whole and fractional
// angles, odd and block-multiple sizes, clipped rectangles and shifts. A few worked cases pin
// the reference itself (sense of rotation, shift, bound) and the argument checks. The portable
// word kernels, which a target with vectors never reaches whole through a rotation, are checked
// directly.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "RotationReference.h"
#include "imaging/rotation/PixelRows.h"
#include "imaging/rotation/Rotation.h"

namespace tamra::imaging {
namespace {

using RotateFn = int (*)(const std::uint8_t*, ImageSize, int, const ImageRect*, std::uint8_t*, int,
                         const ImageRect*, double, double, double, int);

struct LayoutCase {
    const char* name;
    RotateFn rotate;
    RotateFn rotateCenter;
    int pixelBytes;
    int copyBytes;
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

// Pseudo-random bytes (splitmix64): cheap enough for the multi-megabyte buffers below.
std::vector<std::uint8_t> noise(std::size_t size, std::uint64_t seed) {
    std::vector<std::uint8_t> bytes(size);
    std::uint64_t state = seed * 0x9E3779B97F4A7C15ull;
    for (std::size_t i = 0; i < size; i += 8) {
        std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        z ^= z >> 31;
        for (std::size_t k = 0; k < 8 && i + k < size; ++k) {
            bytes[i + k] = static_cast<std::uint8_t>(z >> (8 * k));
        }
    }
    return bytes;
}

// Rotates one scene both ways into identically pre-filled buffers; returns a failure text or "".
// With a centre, the production side takes the centre and the reference the shift it implies.
std::string compareOnce(const LayoutCase& layout, const Scene& scene, double angle, double xShift,
                        double yShift, std::uint32_t seed, const double* centre = nullptr) {
    const int srcStep = scene.srcWidth * layout.pixelBytes + 5;  // rows padded on purpose
    const int dstStep = scene.dstWidth * layout.pixelBytes + 3;
    const auto src = noise(static_cast<std::size_t>(srcStep) * scene.srcHeight, seed);
    auto expected = noise(static_cast<std::size_t>(dstStep) * scene.dstHeight, seed + 1);
    auto actual = expected;
    const RotateFn rotate = centre != nullptr ? layout.rotateCenter : layout.rotate;
    const int status =
        rotate(src.data(), {scene.srcWidth, scene.srcHeight}, srcStep, &scene.srcRect,
               actual.data(), dstStep, &scene.dstRect, angle, centre ? centre[0] : xShift,
               centre ? centre[1] : yShift, kInterpolationNearest);
    if (centre != nullptr) GetRotateShift(centre[0], centre[1], angle, &xShift, &yShift);
    const auto& s = scene.srcRect;
    const auto& d = scene.dstRect;
    testing::referenceRotate({src.data(), scene.srcWidth, scene.srcHeight, srcStep},
                             {s.x, s.y, s.width, s.height}, expected.data(), dstStep,
                             {d.x, d.y, d.width, d.height}, angle, xShift, yShift,
                             layout.pixelBytes, layout.copyBytes);
    if (status != kRotateOk) return "status " + std::to_string(status);
    for (std::size_t i = 0; i < actual.size(); ++i) {
        if (actual[i] != expected[i]) {
            return "first difference at byte " + std::to_string(i) + " (row " +
                   std::to_string(i / dstStep) + ", byte " + std::to_string(i % dstStep) + ")";
        }
    }
    return "";
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
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) EXPECT_EQ(dst[(w - 1 - x) * h + y], src[y * w + x]);
    }

    double xs = 0.0, ys = 0.0;
    ASSERT_EQ(GetRotateShift(10.0, 4.0, 90.0, &xs, &ys), kRotateOk);
    EXPECT_EQ(xs, 6.0);
    EXPECT_EQ(ys, 14.0);
    ASSERT_EQ(GetRotateShift(10.0, 4.0, -90.0, &xs, &ys), kRotateOk);
    EXPECT_EQ(xs, 14.0);
    EXPECT_EQ(ys, -6.0);
    for (double angle = 1.0; angle < 360.0; angle += 17.0) {
        ASSERT_EQ(GetRotateShift(12.5, 7.25, angle, &xs, &ys), kRotateOk);
        const double r = angle * 3.141592653589793 / 180.0;
        EXPECT_NEAR(std::cos(r) * 12.5 + std::sin(r) * 7.25 + xs, 12.5, 1e-9) << angle;
        EXPECT_NEAR(-std::sin(r) * 12.5 + std::cos(r) * 7.25 + ys, 7.25, 1e-9) << angle;
    }

    const ImageRect frame{0, 0, 640, 480};
    double bound[2][2];
    ASSERT_EQ(GetRotateBound(&frame, bound, 90.0, 0.0, 0.0), kRotateOk);
    EXPECT_EQ(std::vector<double>({bound[0][0], bound[0][1], bound[1][0], bound[1][1]}),
              std::vector<double>({0.0, -639.0, 479.0, 0.0}));
    ASSERT_EQ(GetRotateBound(&frame, bound, 0.0, 3.5, -2.0), kRotateOk);
    EXPECT_EQ(std::vector<double>({bound[0][0], bound[0][1], bound[1][0], bound[1][1]}),
              std::vector<double>({3.5, -2.0, 642.5, 477.0}));
}

TEST(RotationWorked, InvalidArgumentsAreRefusedWithoutWriting) {
    const int w = 4, h = 4;
    const std::vector<std::uint8_t> src(w * h, 1);
    std::vector<std::uint8_t> dst(w * h, 0xEE);
    const ImageRect ok{0, 0, w, h}, negative{-1, 0, w, h}, empty{0, 0, 0, h};
    const std::uint8_t* s = src.data();
    std::uint8_t* d = dst.data();
    const double nan = std::nan("");
    struct Case {
        const std::uint8_t* src;
        ImageSize size;
        int srcStep;
        const ImageRect* srcRect;
        std::uint8_t* dst;
        int dstStep;
        const ImageRect* dstRect;
        double angle, shift;
        int interpolation, status;
    } cases[] = {
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
            const int step = layout.pixelBytes;
            EXPECT_EQ(
                layout.rotate(c.src, c.size, c.srcStep * step, c.srcRect, c.dst, c.dstStep * step,
                              c.dstRect, c.angle, c.shift, 0.0, c.interpolation),
                c.status)
                << layout.name << " case " << (&c - cases);
            EXPECT_EQ(layout.rotateCenter(c.src, c.size, c.srcStep * step, c.srcRect, c.dst,
                                          c.dstStep * step, c.dstRect, c.angle, 0.0, c.shift,
                                          c.interpolation),
                      c.status)
                << layout.name << " centre, case " << (&c - cases);
        }
    }
    EXPECT_EQ(dst, std::vector<std::uint8_t>(w * h, 0xEE));
    double bound[2][2];
    double xs = 0.0;
    EXPECT_EQ(GetRotateBound(&negative, bound, 0.0, 0.0, 0.0), kRotateBadRect);
    EXPECT_EQ(GetRotateBound(&empty, bound, 0.0, 0.0, 0.0), kRotateBadRect);
    EXPECT_EQ(GetRotateBound(nullptr, bound, 0.0, 0.0, 0.0), kRotateNullPointer);
    EXPECT_EQ(GetRotateShift(1.0, 1.0, 30.0, &xs, nullptr), kRotateNullPointer);
}

TEST(PortableKernels, TransposeAndReverseWordsMoveWholePixels) {
    std::uint8_t block[8][8];
    for (int r = 0; r < 8; ++r) {
        for (int c = 0; c < 8; ++c) block[r][c] = static_cast<std::uint8_t>(r * 8 + c + 1);
    }
    std::uint64_t words[8];
    for (int r = 0; r < 8; ++r) words[r] = detail::load64(block[r]);
    detail::transpose8x8(words);
    for (int r = 0; r < 8; ++r) {
        std::uint8_t row[8];
        detail::store64(row, words[r]);
        for (int c = 0; c < 8; ++c) EXPECT_EQ(row[c], block[c][r]) << r << "," << c;
    }
    const std::uint8_t bytes[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    const auto reversed = [&](std::uint64_t word) {
        std::vector<std::uint8_t> out(8);
        detail::store64(out.data(), word);
        return out;
    };
    const std::uint64_t word = detail::load64(bytes);
    EXPECT_EQ(reversed(detail::reverseUnits<1>(word)),
              (std::vector<std::uint8_t>{8, 7, 6, 5, 4, 3, 2, 1}));
    EXPECT_EQ(reversed(detail::reverseUnits<2>(word)),
              (std::vector<std::uint8_t>{7, 8, 5, 6, 3, 4, 1, 2}));
    EXPECT_EQ(reversed(detail::reverseUnits<4>(word)),
              (std::vector<std::uint8_t>{5, 6, 7, 8, 1, 2, 3, 4}));
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
