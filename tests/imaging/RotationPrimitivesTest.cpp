// Worked cases of the rotation primitives: angle reduction, the sense of rotation, centre
// rotation, bounds and shifts, "no fill", the untouched fourth byte, and argument checks.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <numeric>
#include <vector>

#include "imaging/rotation/Rotation.h"

namespace tamra::imaging {
namespace {

constexpr std::uint8_t kUntouched = 0xEE;

// A w x h one-byte image whose pixel (x, y) is 1 + x + y * w (wrapping past 255).
std::vector<std::uint8_t> numbered(int w, int h) {
    std::vector<std::uint8_t> image(static_cast<std::size_t>(w) * h);
    std::iota(image.begin(), image.end(), std::uint8_t{1});
    return image;
}

std::uint8_t at(const std::vector<std::uint8_t>& image, int w, int x, int y) {
    return image[static_cast<std::size_t>(y) * w + x];
}

TEST(RotationPrimitives, NinetyDegreesTurnsCounterClockwiseAsDisplayed) {
    const int w = 5, h = 3;
    const auto src = numbered(w, h);
    std::vector<std::uint8_t> dst(h * w, kUntouched);
    const ImageRect srcRect{0, 0, w, h};
    const ImageRect dstRect{0, 0, h, w};
    // Shift (0, w - 1) places the turned image at the origin: x' = y, y' = (w - 1) - x.
    ASSERT_EQ(RotateImage8uC1(src.data(), {w, h}, w, &srcRect, dst.data(), h, &dstRect, 90.0, 0.0,
                              w - 1.0, kInterpolationNearest),
              kRotateOk);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            EXPECT_EQ(at(dst, h, y, w - 1 - x), at(src, w, x, y)) << x << "," << y;
        }
    }
    // The pixel right of the origin ends up directly above the origin's pixel.
    EXPECT_EQ(at(dst, h, 0, w - 2), at(src, w, 1, 0));
    EXPECT_EQ(at(dst, h, 0, w - 1), at(src, w, 0, 0));
}

TEST(RotationPrimitives, AnglesReduceModuloFullTurns) {
    const int w = 7, h = 4;
    const auto src = numbered(w, h);
    const ImageRect srcRect{0, 0, w, h};
    const ImageRect dstRect{0, 0, 9, 9};
    auto rotated = [&](double angle) {
        std::vector<std::uint8_t> dst(81, kUntouched);
        EXPECT_EQ(RotateImage8uC1(src.data(), {w, h}, w, &srcRect, dst.data(), 9, &dstRect, angle,
                                  4.0, 4.0, kInterpolationNearest),
                  kRotateOk);
        return dst;
    };
    EXPECT_EQ(rotated(450.0), rotated(90.0));
    EXPECT_EQ(rotated(-90.0), rotated(270.0));
    EXPECT_EQ(rotated(-330.0), rotated(30.0));
    EXPECT_EQ(rotated(720.0), rotated(0.0));
    EXPECT_NE(rotated(90.0), rotated(270.0));
}

TEST(RotationPrimitives, HalfTurnAboutTheCentreLeavesRowZeroAndColumnZero) {
    const int w = 6, h = 4;
    const auto src = numbered(w, h);
    std::vector<std::uint8_t> dst(w * h, kUntouched);
    const ImageRect rect{0, 0, w, h};
    ASSERT_EQ(RotateCenterImage8uC1(src.data(), {w, h}, w, &rect, dst.data(), w, &rect, 180.0,
                                    w * 0.5, h * 0.5, kInterpolationNearest),
              kRotateOk);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            if (x == 0 || y == 0) {
                EXPECT_EQ(at(dst, w, x, y), kUntouched) << x << "," << y;
            } else {
                EXPECT_EQ(at(dst, w, x, y), at(src, w, w - x, h - y)) << x << "," << y;
            }
        }
    }
}

TEST(RotationPrimitives, ArbitraryAngleWithinTheSameFrameKeepsTheCorners) {
    const int w = 40, h = 30;
    const std::vector<std::uint8_t> src(w * h, 0x11);
    for (double angle : {45.0, 10.0, 315.0}) {
        std::vector<std::uint8_t> dst(w * h, kUntouched);
        const ImageRect rect{0, 0, w, h};
        ASSERT_EQ(RotateCenterImage8uC1(src.data(), {w, h}, w, &rect, dst.data(), w, &rect, angle,
                                        w * 0.5, h * 0.5, kInterpolationNearest),
                  kRotateOk);
        EXPECT_EQ(at(dst, w, 0, 0), kUntouched) << angle;
        EXPECT_EQ(at(dst, w, w - 1, 0), kUntouched) << angle;
        EXPECT_EQ(at(dst, w, 0, h - 1), kUntouched) << angle;
        EXPECT_EQ(at(dst, w, w - 1, h - 1), kUntouched) << angle;
        EXPECT_EQ(at(dst, w, w / 2, h / 2), 0x11) << angle;
    }
}

TEST(RotationPrimitives, Ac4NeverWritesTheFourthByte) {
    const int w = 9, h = 7;
    std::vector<std::uint8_t> src(w * h * 4);
    std::iota(src.begin(), src.end(), std::uint8_t{0});
    for (double angle : {0.0, 90.0, 180.0, 33.0}) {
        std::vector<std::uint8_t> dst(w * h * 4, kUntouched);
        const ImageRect rect{0, 0, w, h};
        ASSERT_EQ(RotateCenterImage8uAC4(src.data(), {w, h}, w * 4, &rect, dst.data(), w * 4, &rect,
                                         angle, w * 0.5, h * 0.5, kInterpolationNearest),
                  kRotateOk);
        int written = 0;
        for (int i = 0; i < w * h; ++i) {
            EXPECT_EQ(dst[i * 4 + 3], kUntouched) << angle << " pixel " << i;
            written += dst[i * 4] != kUntouched || dst[i * 4 + 1] != kUntouched;
        }
        EXPECT_GT(written, w * h / 2) << angle;
    }
}

TEST(RotationPrimitives, DestinationOutsideTheMappedSourceStaysUntouched) {
    const int w = 8, h = 8;
    const auto src = numbered(w, h);
    std::vector<std::uint8_t> dst(64 * 64, kUntouched);
    const ImageRect srcRect{0, 0, w, h};
    const ImageRect farAway{40, 40, 20, 20};
    for (double angle : {0.0, 90.0, 30.0}) {
        EXPECT_EQ(RotateImage8uC1(src.data(), {w, h}, w, &srcRect, dst.data(), 64, &farAway, angle,
                                  0.0, 0.0, kInterpolationNearest),
                  kRotateOk);
    }
    // A source rectangle wholly outside the image clips to nothing.
    const ImageRect outside{20, 20, 4, 4};
    const ImageRect whole{0, 0, 64, 64};
    EXPECT_EQ(RotateImage8uC1(src.data(), {w, h}, w, &outside, dst.data(), 64, &whole, 0.0, 0.0,
                              0.0, kInterpolationNearest),
              kRotateOk);
    EXPECT_EQ(dst, std::vector<std::uint8_t>(64 * 64, kUntouched));
}

TEST(RotationPrimitives, SourceRectangleLimitsWhatIsCopied) {
    const int w = 10, h = 6;
    const auto src = numbered(w, h);
    std::vector<std::uint8_t> dst(w * h, kUntouched);
    const ImageRect part{2, 1, 3, 2};  // columns 2..4, rows 1..2
    const ImageRect whole{0, 0, w, h};
    ASSERT_EQ(RotateImage8uC1(src.data(), {w, h}, w, &part, dst.data(), w, &whole, 0.0, 1.0, 2.0,
                              kInterpolationNearest),
              kRotateOk);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const bool covered = x >= 3 && x <= 5 && y >= 3 && y <= 4;
            EXPECT_EQ(at(dst, w, x, y), covered ? at(src, w, x - 1, y - 2) : kUntouched)
                << x << "," << y;
        }
    }
}

TEST(RotationPrimitives, BoundOfAQuarterTurn) {
    const int w = 640, h = 480;
    const ImageRect rect{0, 0, w, h};
    double bound[2][2];
    ASSERT_EQ(GetRotateBound(&rect, bound, 90.0, 0.0, 0.0), kRotateOk);
    EXPECT_EQ(bound[0][0], 0.0);
    EXPECT_EQ(bound[1][0], h - 1.0);
    EXPECT_EQ(bound[0][1], -(w - 1.0));
    EXPECT_EQ(bound[1][1], 0.0);
    ASSERT_EQ(GetRotateBound(&rect, bound, 0.0, 3.5, -2.0), kRotateOk);
    EXPECT_EQ(bound[0][0], 3.5);
    EXPECT_EQ(bound[1][0], w - 1 + 3.5);
    EXPECT_EQ(bound[0][1], -2.0);
    EXPECT_EQ(bound[1][1], h - 1 - 2.0);
}

TEST(RotationPrimitives, ShiftKeepsTheCentreFixed) {
    double xs = 0.0, ys = 0.0;
    ASSERT_EQ(GetRotateShift(10.0, 4.0, 90.0, &xs, &ys), kRotateOk);
    EXPECT_EQ(xs, 6.0);
    EXPECT_EQ(ys, 14.0);
    ASSERT_EQ(GetRotateShift(10.0, 4.0, 180.0, &xs, &ys), kRotateOk);
    EXPECT_EQ(xs, 20.0);
    EXPECT_EQ(ys, 8.0);
    ASSERT_EQ(GetRotateShift(10.0, 4.0, -90.0, &xs, &ys), kRotateOk);
    EXPECT_EQ(xs, 14.0);
    EXPECT_EQ(ys, -6.0);
    ASSERT_EQ(GetRotateShift(10.0, 4.0, 360.0, &xs, &ys), kRotateOk);
    EXPECT_EQ(xs, 0.0);
    EXPECT_EQ(ys, 0.0);
    for (double angle = 1.0; angle < 360.0; angle += 17.0) {
        ASSERT_EQ(GetRotateShift(12.5, 7.25, angle, &xs, &ys), kRotateOk);
        const double r = angle * 3.141592653589793 / 180.0;
        const double s = std::sin(r), c = std::cos(r);
        EXPECT_NEAR(c * 12.5 + s * 7.25 + xs, 12.5, 1e-9) << angle;
        EXPECT_NEAR(-s * 12.5 + c * 7.25 + ys, 7.25, 1e-9) << angle;
    }
}

TEST(RotationPrimitives, InvalidArgumentsAreRefusedWithoutWriting) {
    const int w = 4, h = 4;
    const auto src = numbered(w, h);
    std::vector<std::uint8_t> dst(w * h, kUntouched);
    const ImageRect ok{0, 0, w, h};
    const ImageRect negative{-1, 0, w, h};
    const ImageRect empty{0, 0, 0, h};
    auto call = [&](const std::uint8_t* s, ImageSize size, int srcStep, const ImageRect* sr,
                    std::uint8_t* d, int dstStep, const ImageRect* dr, double angle, int interp) {
        return RotateImage8uC1(s, size, srcStep, sr, d, dstStep, dr, angle, 0.0, 0.0, interp);
    };
    EXPECT_EQ(call(nullptr, {w, h}, w, &ok, dst.data(), w, &ok, 0.0, 1), kRotateNullPointer);
    EXPECT_EQ(call(src.data(), {w, h}, w, &ok, nullptr, w, &ok, 0.0, 1), kRotateNullPointer);
    EXPECT_EQ(call(src.data(), {w, h}, w, nullptr, dst.data(), w, &ok, 0.0, 1), kRotateNullPointer);
    EXPECT_EQ(call(src.data(), {0, h}, w, &ok, dst.data(), w, &ok, 0.0, 1), kRotateBadSize);
    EXPECT_EQ(call(src.data(), {w, -3}, w, &ok, dst.data(), w, &ok, 0.0, 1), kRotateBadSize);
    EXPECT_EQ(call(src.data(), {w, h}, w, &negative, dst.data(), w, &ok, 0.0, 1), kRotateBadRect);
    EXPECT_EQ(call(src.data(), {w, h}, w, &ok, dst.data(), w, &empty, 0.0, 1), kRotateBadRect);
    EXPECT_EQ(call(src.data(), {w, h}, w, &ok, dst.data(), w, &ok, 0.0, 0),
              kRotateBadInterpolation);
    EXPECT_EQ(call(src.data(), {w, h}, w - 1, &ok, dst.data(), w, &ok, 0.0, 1), kRotateBadStep);
    EXPECT_EQ(call(src.data(), {w, h}, w, &ok, dst.data(), w - 1, &ok, 0.0, 1), kRotateBadStep);
    EXPECT_EQ(call(src.data(), {w, h}, w, &ok, dst.data(), w, &ok, std::nan(""), 1),
              kRotateBadNumber);
    EXPECT_EQ(RotateCenterImage8uC3(src.data(), {1, 1}, 3, &ok, dst.data(), 12, &ok, 0.0, INFINITY,
                                    0.0, 1),
              kRotateBadNumber);
    EXPECT_EQ(dst, std::vector<std::uint8_t>(w * h, kUntouched));

    double bound[2][2];
    double xs = 0.0;
    EXPECT_EQ(GetRotateBound(&negative, bound, 0.0, 0.0, 0.0), kRotateBadRect);
    EXPECT_EQ(GetRotateBound(&empty, bound, 0.0, 0.0, 0.0), kRotateBadRect);
    EXPECT_EQ(GetRotateBound(nullptr, bound, 0.0, 0.0, 0.0), kRotateNullPointer);
    EXPECT_EQ(GetRotateShift(1.0, 1.0, 30.0, &xs, nullptr), kRotateNullPointer);
}

}  // namespace
}  // namespace tamra::imaging
