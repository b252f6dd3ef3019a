// The production rotation (permutation copies, spans, fixed-point stepping) against the
// per-pixel reference: every byte of the destination buffer must agree, inside and outside the
// destination rectangle, over all whole angles and many sizes, rectangles and shifts.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "RotationReference.h"
#include "imaging/rotation/Rotation.h"

namespace tamra::imaging {
namespace {

using testing::ReferenceImage;
using testing::ReferenceRect;

using RotateFn = int (*)(const std::uint8_t*, ImageSize, int, const ImageRect*, std::uint8_t*, int,
                         const ImageRect*, double, double, double, int);

struct LayoutCase {
    const char* name;
    RotateFn rotate;
    int pixelBytes;
    int copyBytes;
};

const LayoutCase kLayouts[] = {{"C1", RotateImage8uC1, 1, 1},
                               {"C2", RotateImage8uC2, 2, 2},
                               {"C3", RotateImage8uC3, 3, 3},
                               {"AC4", RotateImage8uAC4, 4, 3}};

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
std::string compareOnce(const LayoutCase& layout, const Scene& scene, double angle, double xShift,
                        double yShift, std::uint32_t seed) {
    const int srcStep = scene.srcWidth * layout.pixelBytes + 5;  // rows padded on purpose
    const int dstStep = scene.dstWidth * layout.pixelBytes + 3;
    const auto src = noise(static_cast<std::size_t>(srcStep) * scene.srcHeight, seed);
    auto expected = noise(static_cast<std::size_t>(dstStep) * scene.dstHeight, seed + 1);
    auto actual = expected;
    const int status = layout.rotate(src.data(), {scene.srcWidth, scene.srcHeight}, srcStep,
                                     &scene.srcRect, actual.data(), dstStep, &scene.dstRect, angle,
                                     xShift, yShift, kInterpolationNearest);
    const ReferenceRect srcRect{scene.srcRect.x, scene.srcRect.y, scene.srcRect.width,
                                scene.srcRect.height};
    const ReferenceRect dstRect{scene.dstRect.x, scene.dstRect.y, scene.dstRect.width,
                                scene.dstRect.height};
    testing::referenceRotate(ReferenceImage{src.data(), scene.srcWidth, scene.srcHeight, srcStep},
                             srcRect, expected.data(), dstStep, dstRect, angle, xShift, yShift,
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

#define EXPECT_SAME_AS_REFERENCE(layout, scene, angle, xs, ys, seed)                          \
    do {                                                                                      \
        const std::string failure = compareOnce(layout, scene, angle, xs, ys, seed);          \
        EXPECT_EQ(failure, "") << (layout).name << " angle " << (angle) << " shift (" << (xs) \
                               << ", " << (ys) << ")";                                        \
    } while (0)

// Odd sizes, clipped and offset rectangles, destinations larger and smaller than the source.
const Scene kScenes[] = {
    {37, 23, {0, 0, 37, 23}, 37, 23, {0, 0, 37, 23}},
    {37, 23, {0, 0, 37, 23}, 23, 37, {0, 0, 23, 37}},
    {41, 29, {5, 3, 50, 40}, 47, 35, {4, 2, 39, 31}},  // source rectangle clipped by the image
    {16, 9, {2, 1, 11, 6}, 30, 30, {0, 0, 30, 30}},
    {1, 1, {0, 0, 1, 1}, 5, 5, {0, 0, 5, 5}},
    {1, 13, {0, 0, 1, 13}, 15, 15, {1, 1, 14, 14}},
    {13, 1, {0, 0, 13, 1}, 15, 15, {0, 0, 15, 15}},
};

TEST(RotationDifferential, WholeAnglesAboutTheCentreMatchTheReference) {
    std::uint32_t seed = 1;
    for (const LayoutCase& layout : kLayouts) {
        for (const Scene& scene : kScenes) {
            for (int angle = 0; angle < 360; ++angle) {
                double xs = 0.0, ys = 0.0;
                GetRotateShift(scene.dstWidth * 0.5, scene.dstHeight * 0.5, angle, &xs, &ys);
                EXPECT_SAME_AS_REFERENCE(layout, scene, angle, xs, ys, seed++);
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

}  // namespace
}  // namespace tamra::imaging
