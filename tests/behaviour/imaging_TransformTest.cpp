// ApplyImageTransform as a client sees it: rotation sense and geometry, mirror and flip of every
// pixel size, the two work-buffer halves, "no fill", and frames that grow after the first call.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "imaging_support.h"

namespace {

using imaging_test::CoreGrab;
using imaging_test::patternByte;
using imaging_test::patternFrame;
using imaging_test::RootGrab;

constexpr std::uint8_t kUntouched = 0xEE;

std::uint8_t pixelByte(const std::uint8_t* image, std::uint32_t w, std::uint32_t bpp,
                       std::uint32_t x, std::uint32_t y, std::uint32_t b = 0) {
    return image[(static_cast<std::size_t>(y) * w + x) * bpp + b];
}

// Makes the next result of `grab` land in a half whose every byte is kUntouched: the halves
// alternate, so the half written now comes back two calls later.
template <class Grab>
unsigned char* primedResult(Grab& grab, std::vector<std::uint8_t>& frame, std::size_t bytes) {
    unsigned char* first = grab.ApplyImageTransform(frame.data(), 0);
    std::memset(first, kUntouched, bytes);
    grab.ApplyImageTransform(frame.data(), 0);
    return grab.ApplyImageTransform(frame.data(), 0);
}

class CoreTransform : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(grab.Initialize(), 1); }
    CoreGrab grab;
};

TEST_F(CoreTransform, QuarterTurnClockwiseMakesTheTopRowTheRightHandColumn) {
    grab.SetRotateTransform(90);
    // The displayed frame is 480 x 640; the camera delivers 640 x 480.
    ASSERT_EQ(grab.Create(0, 0, 480, 640, 8, 2, 0), 1);
    EXPECT_EQ(grab.GetWidth(), 480u);
    EXPECT_EQ(grab.GetHeight(), 640u);
    auto frame = patternFrame(640, 480, 1);
    const unsigned char* out = grab.ApplyImageTransform(frame.data(), 0);
    ASSERT_NE(out, frame.data());
    int wrong = 0;
    for (std::uint32_t y = 0; y < 480; ++y) {
        for (std::uint32_t x = 0; x < 640; ++x) {
            wrong += pixelByte(out, 480, 1, 479 - y, x) != patternByte(x, y, 0);
        }
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(pixelByte(out, 480, 1, 479, 0), patternByte(0, 0, 0));
    EXPECT_EQ(pixelByte(out, 480, 1, 479, 639), patternByte(639, 0, 0));
}

TEST_F(CoreTransform, TransposingRotationReportsTheAskedSizeAndStoresItTurned) {
    EXPECT_EQ(grab.SetRotateTransform(90), 1);
    ASSERT_EQ(grab.Create(0, 0, 640, 480, 8, 2, 0), 1);
    EXPECT_EQ(grab.GetWidth(), 640u);
    EXPECT_EQ(grab.GetHeight(), 480u);
    EXPECT_EQ(grab.GetWidthByteCount(), 480u);
    EXPECT_EQ(grab.GetHeightByteCount(), 640u);
}

TEST_F(CoreTransform, IdentityReturnsTheCallersFrameUntouched) {
    ASSERT_EQ(grab.Create(0, 0, 64, 48, 8, 2, 0), 1);
    auto frame = patternFrame(64, 48, 1);
    const auto before = frame;
    EXPECT_EQ(grab.ApplyImageTransform(frame.data(), 0), frame.data());
    EXPECT_EQ(grab.ApplyImageTransform(frame.data(), 5), frame.data());
    EXPECT_EQ(frame, before);
}

TEST_F(CoreTransform, SuccessiveCallsAlternateBetweenTheTwoHalves) {
    grab.SetRotateTransform(180);
    ASSERT_EQ(grab.Create(0, 0, 64, 48, 8, 2, 0), 1);
    auto frame = patternFrame(64, 48, 1);
    unsigned char* first = grab.ApplyImageTransform(frame.data(), 0);
    unsigned char* second = grab.ApplyImageTransform(frame.data(), 0);
    unsigned char* third = grab.ApplyImageTransform(frame.data(), 0);
    EXPECT_NE(first, second);
    EXPECT_EQ(first, third);
    const auto distance = first > second ? first - second : second - first;
    EXPECT_EQ(distance, 64 * 48);
    EXPECT_EQ(std::memcmp(first, second, 64 * 48), 0);
}

TEST_F(CoreTransform, HalfTurnAboutTheCentreKeepsRowZeroAndColumnZero) {
    grab.SetRotateTransform(180);
    ASSERT_EQ(grab.Create(0, 0, 64, 48, 8, 2, 0), 1);
    auto frame = patternFrame(64, 48, 1);
    const unsigned char* out = primedResult(grab, frame, 64 * 48);
    for (std::uint32_t y = 0; y < 48; ++y) {
        for (std::uint32_t x = 0; x < 64; ++x) {
            const std::uint8_t expected =
                x == 0 || y == 0 ? kUntouched : patternByte(64 - x, 48 - y, 0);
            ASSERT_EQ(pixelByte(out, 64, 1, x, y), expected) << x << "," << y;
        }
    }
}

TEST_F(CoreTransform, SmallAngleKeepsTheSizeAndTheCorners) {
    grab.SetRotateTransform(10);
    ASSERT_EQ(grab.Create(0, 0, 640, 480, 8, 2, 0), 1);
    EXPECT_EQ(grab.GetWidth(), 640u);
    EXPECT_EQ(grab.GetHeight(), 480u);
    auto frame = patternFrame(640, 480, 1);
    const unsigned char* out = primedResult(grab, frame, 640 * 480);
    EXPECT_EQ(pixelByte(out, 640, 1, 0, 0), kUntouched);
    EXPECT_EQ(pixelByte(out, 640, 1, 639, 0), kUntouched);
    EXPECT_EQ(pixelByte(out, 640, 1, 0, 479), kUntouched);
    EXPECT_EQ(pixelByte(out, 640, 1, 639, 479), kUntouched);
    EXPECT_EQ(pixelByte(out, 640, 1, 320, 240), patternByte(320, 240, 0));
    // Clockwise as displayed: the top middle (320, 48), 192 rows above the centre, moves right
    // to about (353.3, 50.9); destination (353, 51) reads it back from (319.67, 48.1).
    EXPECT_EQ(pixelByte(out, 640, 1, 353, 51), patternByte(320, 48, 0));
    // The top edge now falls to the right: near the top, the left is covered, the right is not.
    EXPECT_EQ(pixelByte(out, 640, 1, 130, 5), patternByte(92, 42, 0));
    EXPECT_EQ(pixelByte(out, 640, 1, 510, 5), kUntouched);
}

TEST_F(CoreTransform, MirrorBeforeATransposingTurnWorksOnTheTurnedSourceSize) {
    // 100 degrees clockwise is transposing: the camera image is 480 wide and 640 high.
    grab.SetRotateTransform(100);
    ASSERT_EQ(grab.Create(0, 0, 640, 480, 8, 2, 0), 1);
    const auto frame = patternFrame(480, 640, 1);
    auto mirrored = frame;
    for (std::uint32_t y = 0; y < 640; ++y) {
        for (std::uint32_t x = 0; x < 480; ++x) mirrored[y * 480 + x] = frame[y * 480 + 479 - x];
    }
    // Turning a frame the client mirrored itself, into halves filled two ways, tells which
    // destination pixels the turn covers and what they hold.
    const unsigned char* plain = primedResult(grab, mirrored, 640 * 480);
    const std::vector<std::uint8_t> expected(plain, plain + 640 * 480);
    unsigned char* refill = grab.ApplyImageTransform(mirrored.data(), 0);
    std::memset(refill, 0x11, 640 * 480);
    grab.ApplyImageTransform(mirrored.data(), 0);
    const unsigned char* plainAgain = grab.ApplyImageTransform(mirrored.data(), 0);

    grab.SetImgTransform(IFW_IMG_TRANSFORM_MIRROR);
    auto input = frame;
    const unsigned char* combined = grab.ApplyImageTransform(input.data(), 0);
    int covered = 0, wrong = 0;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        if (expected[i] != plainAgain[i]) continue;
        ++covered;
        wrong += combined[i] != expected[i];
    }
    EXPECT_GT(covered, 640 * 480 / 2);
    EXPECT_EQ(wrong, 0);
}

class PixelSizes : public CoreTransform, public ::testing::WithParamInterface<std::uint32_t> {};

TEST_P(PixelSizes, MirrorAndFlipMoveWholePixels) {
    const std::uint32_t bpp = GetParam();
    const std::uint32_t w = 37, h = 33;
    ASSERT_EQ(grab.Create(0, 0, w, h, 8 * bpp, 2, 0), 1);
    ASSERT_EQ(grab.GetBytesPP(), bpp);
    const std::uint32_t width = grab.GetWidth();
    const std::uint32_t height = grab.GetHeight();
    auto frame = patternFrame(width, height, bpp);
    grab.SetImgTransform(IFW_IMG_TRANSFORM_MIRROR);
    const unsigned char* mirrored = grab.ApplyImageTransform(frame.data(), 0);
    grab.SetImgTransform(IFW_IMG_TRANSFORM_FLIP);
    const unsigned char* flipped = grab.ApplyImageTransform(frame.data(), 0);
    int wrong = 0;
    for (std::uint32_t y = 0; y < height; ++y) {
        for (std::uint32_t x = 0; x < width; ++x) {
            for (std::uint32_t b = 0; b < bpp; ++b) {
                wrong +=
                    pixelByte(mirrored, width, bpp, x, y, b) != patternByte(width - 1 - x, y, b);
                wrong +=
                    pixelByte(flipped, width, bpp, x, y, b) != patternByte(x, height - 1 - y, b);
            }
        }
    }
    EXPECT_EQ(wrong, 0);
}

TEST_P(PixelSizes, QuarterTurnsMoveWholePixels) {
    const std::uint32_t bpp = GetParam();
    grab.SetRotateTransform(270);  // a counter-clockwise quarter turn as displayed
    ASSERT_EQ(grab.Create(0, 0, 40, 64, 8 * bpp, 2, 0), 1);
    // Camera image 64 x 40; the displayed frame 40 x 64.
    auto frame = patternFrame(64, 40, bpp);
    const unsigned char* out = grab.ApplyImageTransform(frame.data(), 0);
    const std::uint32_t copied = bpp == 4 ? 3 : bpp;
    int wrong = 0;
    for (std::uint32_t y = 0; y < 40; ++y) {
        for (std::uint32_t x = 0; x < 64; ++x) {
            // Clockwise 270 is counter-clockwise 90: (x, y) goes to (y, 63 - x).
            for (std::uint32_t b = 0; b < copied; ++b) {
                wrong += pixelByte(out, 40, bpp, y, 63 - x, b) != patternByte(x, y, b);
            }
        }
    }
    EXPECT_EQ(wrong, 0);
}

INSTANTIATE_TEST_SUITE_P(OneToFourBytes, PixelSizes, ::testing::Values(1u, 2u, 3u, 4u));

TEST_F(CoreTransform, ColourWithFourBytesNeverChangesTheFourthByte) {
    ASSERT_EQ(grab.SetImageColor(IFW_IMAGE_COLOR_COLOR32), 1);
    grab.SetRotateTransform(33);
    ASSERT_EQ(grab.Create(0, 0, 64, 48, 32, 2, 0), 1);
    ASSERT_EQ(grab.GetBytesPP(), 4u);
    auto frame = patternFrame(64, 48, 4);
    const unsigned char* out = primedResult(grab, frame, 64 * 48 * 4);
    int written = 0;
    for (std::uint32_t i = 0; i < 64 * 48; ++i) {
        ASSERT_EQ(out[i * 4 + 3], kUntouched) << "pixel " << i;
        written += out[i * 4] != kUntouched;
    }
    EXPECT_GT(written, 64 * 48 / 2);
}

TEST_F(CoreTransform, FramesThatGrowAfterTheFirstCallAreTransformedWhole) {
    grab.SetRotateTransform(10);
    ASSERT_EQ(grab.Create(0, 0, 64, 48, 8, 2, 0), 1);
    auto small = patternFrame(64, 48, 1);
    ASSERT_NE(grab.ApplyImageTransform(small.data(), 0), nullptr);
    // A larger Create, then more tiles: each call must fit its own frame.
    ASSERT_EQ(grab.Create(0, 0, 640, 480, 8, 2, 0), 1);
    auto large = patternFrame(640, 480, 1);
    const unsigned char* out = grab.ApplyImageTransform(large.data(), 0);
    EXPECT_EQ(pixelByte(out, 640, 1, 320, 240), patternByte(320, 240, 0));
    grab.SetTiling(2, 2);
    auto tiled = patternFrame(1280, 960, 1);
    auto same = tiled;  // the caller's frame takes the last stage's result, so copy it first
    out = grab.ApplyImageTransform(tiled.data(), 0);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(grab.GetWidth(), 1280u);
    // Fresh object with the final geometry from the start: the same bytes.
    CoreGrab fresh;
    ASSERT_EQ(fresh.Initialize(), 1);
    fresh.SetRotateTransform(10);
    fresh.SetTiling(2, 2);
    ASSERT_EQ(fresh.Create(0, 0, 1280, 960, 8, 2, 0), 1);
    const unsigned char* expected = fresh.ApplyImageTransform(same.data(), 0);
    EXPECT_EQ(std::memcmp(out, expected, 1280 * 960), 0);
}

class RootTransform : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(grab.Initialize(), 1); }
    RootGrab grab;
};

TEST_F(RootTransform, QuarterTurnsAndHalfTurnCoverEveryPixel) {
    grab.SetRotateTransform(90);
    ASSERT_EQ(grab.Create(0, 0, 48, 64, 8, 2, 0), 1);
    auto frame = patternFrame(64, 48, 1);
    const unsigned char* out = grab.ApplyImageTransform(frame.data(), 0);
    int wrong = 0;
    for (std::uint32_t y = 0; y < 48; ++y) {
        for (std::uint32_t x = 0; x < 64; ++x) {
            wrong += pixelByte(out, 48, 1, 47 - y, x) != patternByte(x, y, 0);
        }
    }
    grab.SetRotateTransform(180);
    ASSERT_EQ(grab.Create(0, 0, 64, 48, 8, 2, 0), 1);
    out = grab.ApplyImageTransform(frame.data(), 0);
    for (std::uint32_t y = 0; y < 48; ++y) {
        for (std::uint32_t x = 0; x < 64; ++x) {
            wrong += pixelByte(out, 64, 1, 63 - x, 47 - y) != patternByte(x, y, 0);
        }
    }
    EXPECT_EQ(wrong, 0);
}

TEST_F(RootTransform, OtherAnglesAndPixelSizesLeaveTheHalfUnwritten) {
    grab.SetRotateTransform(10);
    ASSERT_EQ(grab.Create(0, 0, 64, 48, 8, 2, 0), 1);
    auto frame = patternFrame(64, 48, 1);
    const unsigned char* out = primedResult(grab, frame, 64 * 48);
    EXPECT_NE(out, frame.data());
    EXPECT_EQ(std::vector<std::uint8_t>(out, out + 64 * 48),
              std::vector<std::uint8_t>(64 * 48, kUntouched));
    grab.SetRotateTransform(180);
    ASSERT_EQ(grab.Create(0, 0, 64, 48, 32, 2, 0), 1);
    auto colour = patternFrame(64, 48, 4);
    out = primedResult(grab, colour, 64 * 48 * 4);
    EXPECT_EQ(std::vector<std::uint8_t>(out, out + 64 * 48 * 4),
              std::vector<std::uint8_t>(64 * 48 * 4, kUntouched));
}

TEST_F(RootTransform, NeverReordersTilesAndKeepsItsOwnCounter) {
    grab.SetTiling(2, 1);
    ASSERT_EQ(grab.Create(0, 0, 128, 48, 8, 2, 0), 1);
    auto frame = patternFrame(128, 48, 1);
    EXPECT_EQ(grab.ApplyImageTransform(frame.data(), 0), frame.data());
    EXPECT_EQ(frame, patternFrame(128, 48, 1));

    grab.SetTiling(1, 1);
    grab.SetRotateTransform(180);
    ASSERT_EQ(grab.Create(0, 0, 64, 48, 8, 2, 0), 1);
    CoreGrab other;
    ASSERT_EQ(other.Initialize(), 1);
    other.SetRotateTransform(180);
    ASSERT_EQ(other.Create(0, 0, 64, 48, 8, 2, 0), 1);
    auto small = patternFrame(64, 48, 1);
    unsigned char* first = grab.ApplyImageTransform(small.data(), 0);
    other.ApplyImageTransform(small.data(), 0);
    unsigned char* second = grab.ApplyImageTransform(small.data(), 0);
    EXPECT_NE(first, second);
}

}  // namespace
