// ApplyImageTransform as a client sees it: where each pixel goes under rotation, mirror and flip
// of every pixel size, "no fill", the two work-buffer halves, tile mosaics, and frames that grow
// after the first call.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <vector>

#include "grab_support.h"

namespace {

using grab_test::CoreGrab;
using grab_test::RootGrab;
using images_test::patternByte;
using images_test::patternFrame;

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

// Which camera pixel (sx, sy) a displayed pixel (x, y) of a w x h frame shows; false where none.
// A half turn about the centre (w/2, h/2) maps row 0 and column 0 outside.
// clang-format off
enum Rule { kClockwise, kCounterClockwise, kHalfTurnAboutCentre, kHalfTurn, kMirror, kFlip, kNone };
bool source(Rule rule, int x, int y, int w, int h, int& sx, int& sy) {
    switch (rule) {
        case kClockwise: sx = y, sy = w - 1 - x; return true;
        case kCounterClockwise: sx = h - 1 - y, sy = x; return true;
        case kHalfTurnAboutCentre: sx = w - x, sy = h - y; return x > 0 && y > 0;
        case kHalfTurn: sx = w - 1 - x, sy = h - 1 - y; return true;
        case kMirror: sx = w - 1 - x, sy = y; return true;
        case kFlip: sx = x, sy = h - 1 - y; return true;
        default: return false;
    }
}
// clang-format on

struct PlacementCase {
    const char* name;
    bool root;  // the root interface turns by quarter turns of one-byte pixels only
    int angle;
    IFW_IMG_TRANSFORM_TYPE transform;
    std::uint32_t width, height, bytesPerPixel;
    Rule rule;
};

// Angles are clockwise as displayed; a quarter turn makes the camera image w x h a h x w frame.
const PlacementCase kPlacements[] = {
    {"core 90", false, 90, IFW_IMG_TRANSFORM_NONE, 480, 640, 1, kClockwise},
    {"core 270 x1", false, 270, IFW_IMG_TRANSFORM_NONE, 40, 64, 1, kCounterClockwise},
    {"core 270 x2", false, 270, IFW_IMG_TRANSFORM_NONE, 40, 64, 2, kCounterClockwise},
    {"core 270 x3", false, 270, IFW_IMG_TRANSFORM_NONE, 40, 64, 3, kCounterClockwise},
    {"core 270 x4", false, 270, IFW_IMG_TRANSFORM_NONE, 40, 64, 4, kCounterClockwise},
    {"core 180", false, 180, IFW_IMG_TRANSFORM_NONE, 64, 48, 1, kHalfTurnAboutCentre},
    {"mirror x1", false, 0, IFW_IMG_TRANSFORM_MIRROR, 37, 33, 1, kMirror},
    {"mirror x2", false, 0, IFW_IMG_TRANSFORM_MIRROR, 37, 33, 2, kMirror},
    {"mirror x3", false, 0, IFW_IMG_TRANSFORM_MIRROR, 37, 33, 3, kMirror},
    {"mirror x4", false, 0, IFW_IMG_TRANSFORM_MIRROR, 37, 33, 4, kMirror},
    {"flip x1", false, 0, IFW_IMG_TRANSFORM_FLIP, 37, 33, 1, kFlip},
    {"flip x3", false, 0, IFW_IMG_TRANSFORM_FLIP, 37, 33, 3, kFlip},
    {"flip x4", false, 0, IFW_IMG_TRANSFORM_FLIP, 37, 33, 4, kFlip},
    {"root 90", true, 90, IFW_IMG_TRANSFORM_NONE, 48, 64, 1, kClockwise},
    {"root 180", true, 180, IFW_IMG_TRANSFORM_NONE, 64, 48, 1, kHalfTurn},
    {"root 10", true, 10, IFW_IMG_TRANSFORM_NONE, 64, 48, 1, kNone},
    {"root 180 x4", true, 180, IFW_IMG_TRANSFORM_NONE, 64, 48, 4, kNone},
};

template <class Grab>
void checkPlacement(const PlacementCase& c) {
    SCOPED_TRACE(c.name);
    Grab grab;
    ASSERT_EQ(grab.Initialize(), 1);
    grab.SetRotateTransform(c.angle);
    grab.SetImgTransform(c.transform);
    ASSERT_EQ(grab.Create(0, 0, c.width, c.height, 8 * c.bytesPerPixel, 2, 0), 1);
    const int w = static_cast<int>(grab.GetWidth()), h = static_cast<int>(grab.GetHeight());
    const std::uint32_t bpp = grab.GetBytesPP();
    ASSERT_EQ(bpp, c.bytesPerPixel);
    // A transposing turn keeps the asked size and stores the camera image turned.
    const bool transposed = c.angle % 180 == 90;
    if constexpr (std::is_base_of_v<CIGrab, Grab>) {
        EXPECT_TRUE(bpp != 1 || grab.GetWidthByteCount() * grab.GetHeightByteCount() == 1u * w * h);
        EXPECT_TRUE(bpp != 1 || int(grab.GetWidthByteCount()) == (transposed ? h : w));
    }
    auto frame = patternFrame(transposed ? h : w, transposed ? w : h, bpp);
    const unsigned char* out = primedResult(grab, frame, std::size_t{bpp} * w * h);
    // Turns by any angle keep the fourth byte of four-byte pixels; mirror and flip move it.
    const std::uint32_t moved = bpp == 4 && c.angle != 0 ? 3 : bpp;
    int wrong = 0;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            int sx = 0, sy = 0;
            const bool shown = source(c.rule, x, y, w, h, sx, sy);
            for (std::uint32_t b = 0; b < bpp; ++b) {
                const std::uint8_t expected =
                    shown && b < moved ? patternByte(sx, sy, b) : kUntouched;
                wrong += pixelByte(out, w, bpp, x, y, b) != expected;
            }
        }
    }
    EXPECT_EQ(wrong, 0);
}

TEST(Transform, EveryPixelLandsWhereTheTransformPutsIt) {
    for (const PlacementCase& c : kPlacements)
        c.root ? checkPlacement<RootGrab>(c) : checkPlacement<CoreGrab>(c);
}

struct CoreTransform : ::testing::Test {
    void SetUp() override { ASSERT_EQ(grab.Initialize(), 1); }
    CoreGrab grab;
};

TEST_F(CoreTransform, IdentityReturnsTheCallersFrameAndOthersAlternateBetweenTwoHalves) {
    ASSERT_EQ(grab.Create(0, 0, 64, 48, 8, 2, 0), 1);
    auto frame = patternFrame(64, 48, 1);
    EXPECT_EQ(grab.ApplyImageTransform(frame.data(), 5), frame.data());
    EXPECT_EQ(frame, patternFrame(64, 48, 1));
    grab.SetRotateTransform(180);
    unsigned char* first = grab.ApplyImageTransform(frame.data(), 0);
    unsigned char* second = grab.ApplyImageTransform(frame.data(), 0);
    EXPECT_EQ(first, grab.ApplyImageTransform(frame.data(), 0));
    EXPECT_EQ(first > second ? first - second : second - first, 64 * 48);
    EXPECT_EQ(std::memcmp(first, second, 64 * 48), 0);
}

TEST_F(CoreTransform, SmallAngleKeepsTheSizeAndTheCornersAndTurnsClockwise) {
    grab.SetRotateTransform(10);
    ASSERT_EQ(grab.Create(0, 0, 640, 480, 8, 2, 0), 1);
    EXPECT_EQ(grab.GetWidth() * 1000 + grab.GetHeight(), 640480u);
    auto frame = patternFrame(640, 480, 1);
    const unsigned char* out = primedResult(grab, frame, 640 * 480);
    for (auto [x, y] : {std::pair{0, 0}, {639, 0}, {0, 479}, {639, 479}}) {
        EXPECT_EQ(pixelByte(out, 640, 1, x, y), kUntouched);
    }
    EXPECT_EQ(pixelByte(out, 640, 1, 320, 240), patternByte(320, 240, 0));
    // The top middle (320, 48), 192 rows above the centre, moves right to about (353.3, 50.9);
    // destination (353, 51) reads it back from (319.67, 48.1).
    EXPECT_EQ(pixelByte(out, 640, 1, 353, 51), patternByte(320, 48, 0));
    // The top edge now falls to the right: near the top, the left is covered, the right is not.
    EXPECT_EQ(pixelByte(out, 640, 1, 130, 5), patternByte(92, 42, 0));
    EXPECT_EQ(pixelByte(out, 640, 1, 510, 5), kUntouched);
}

TEST_F(CoreTransform, ColourWithFourBytesNeverChangesTheFourthByteAtAnyAngle) {
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

// Mirroring comes first and works on the camera image, which a transposing turn makes 480 wide
// and 640 high: the same as turning a frame the client mirrored itself.
TEST_F(CoreTransform, MirrorBeforeATransposingTurnWorksOnTheTurnedSourceSize) {
    CoreGrab plain;
    ASSERT_EQ(plain.Initialize(), 1);
    for (CoreGrab* g : {&grab, &plain}) {
        g->SetRotateTransform(100);
        ASSERT_EQ(g->Create(0, 0, 640, 480, 8, 2, 0), 1);
    }
    grab.SetImgTransform(IFW_IMG_TRANSFORM_MIRROR);
    auto frame = patternFrame(480, 640, 1);
    auto turned = frame;
    for (std::uint32_t y = 0; y < 640; ++y) std::reverse(&turned[y * 480], &turned[y * 480 + 480]);
    const unsigned char* out = primedResult(plain, turned, 640 * 480);
    const std::vector<std::uint8_t> expected(out, out + 640 * 480);
    out = grab.ApplyImageTransform(frame.data(), 0);
    int covered = 0, wrong = 0;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        if (expected[i] == kUntouched) continue;  // not covered by the turn (or that very value)
        ++covered;
        wrong += out[i] != expected[i];
    }
    EXPECT_GT(covered, 640 * 480 / 2);
    EXPECT_EQ(wrong, 0);
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
    EXPECT_EQ(std::memcmp(out, fresh.ApplyImageTransform(same.data(), 0), 1280 * 960), 0);
}

TEST(RootTransform, NeverReordersTilesAndKeepsItsOwnCounter) {
    RootGrab grab;
    ASSERT_EQ(grab.Initialize(), 1);
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
    EXPECT_NE(first, grab.ApplyImageTransform(small.data(), 0));
}

// A frame of stacked tiles, each th rows of tw pixels; tile t's pixel (x, y) is
// patternByte(x, y, camera, t), and `cameras` such runs of tiles follow one another.
std::vector<std::uint8_t> stackedTiles(std::uint32_t tw, std::uint32_t th, std::uint32_t tiles,
                                       std::uint32_t cameras = 1) {
    std::vector<std::uint8_t> frame;
    for (std::uint32_t c = 0; c < cameras; ++c) {
        for (std::uint32_t t = 0; t < tiles; ++t) {
            for (std::uint32_t y = 0; y < th; ++y) {
                for (std::uint32_t x = 0; x < tw; ++x) frame.push_back(patternByte(x, y, c, t));
            }
        }
    }
    return frame;
}

// Counts mosaic pixels that do not hold tile (v, h)'s pixel at their place.
int misplacedPixels(const unsigned char* mosaic, std::uint32_t tw, std::uint32_t th,
                    std::uint32_t horz, std::uint32_t vert, std::uint32_t camera = 0) {
    int wrong = 0;
    const std::uint32_t width = tw * horz;
    for (std::uint32_t y = 0; y < th * vert; ++y) {
        for (std::uint32_t x = 0; x < width; ++x) {
            const std::uint32_t tile = (y / th) * horz + x / tw;
            wrong += mosaic[y * width + x] != patternByte(x % tw, y % th, camera, tile);
        }
    }
    return wrong;
}

TEST_F(CoreTransform, CountsOfZeroBecomeOneAndIsTilingFollowsTheCounts) {
    std::vector<std::uint32_t> seen;
    for (auto [h, v] : {std::pair{0u, 0u}, {3u, 0u}, {1u, 4u}}) {
        seen.push_back(grab.SetTiling(h, v) * 1000 + grab.GetHorzTiles() * 100 +
                       grab.GetVertTiles() * 10 + grab.IsTiling());
    }
    EXPECT_EQ(seen, (std::vector<std::uint32_t>{1110, 1311, 1141}));
}

TEST_F(CoreTransform, TilesFormTheMosaicOfTheReportedSize) {
    struct Case {
        std::uint32_t horz, vert, tileWidth, tileHeight;
    };
    for (const Case c : {Case{2, 2, 640, 480}, Case{2, 1, 64, 40}, Case{1, 4, 64, 40}}) {
        SCOPED_TRACE(std::to_string(c.horz) + "x" + std::to_string(c.vert));
        grab.SetTiling(c.horz, c.vert);
        ASSERT_EQ(grab.Create(0, 0, c.horz * c.tileWidth, c.vert * c.tileHeight, 8, 2, 0), 1);
        EXPECT_EQ(
            std::vector<std::uint32_t>(
                {grab.GetWidth(), grab.GetHeight(), grab.GetWidthByteCount()}),
            std::vector<std::uint32_t>({c.horz * c.tileWidth, c.vert * c.tileHeight, c.tileWidth}));
        auto frame = stackedTiles(c.tileWidth, c.tileHeight, c.horz * c.vert);
        auto before = frame;
        const unsigned char* mosaic = grab.ApplyImageTransform(frame.data(), 0);
        // Stacked tiles already are the mosaic.
        EXPECT_EQ(mosaic == frame.data(), c.horz == 1);
        EXPECT_EQ(misplacedPixels(mosaic, c.tileWidth, c.tileHeight, c.horz, c.vert), 0);
        std::vector<std::uint8_t> direct(frame.size());
        EXPECT_EQ(grab.VertToHorzPlanes(before.data(), direct.data()), direct.data());
        EXPECT_EQ(misplacedPixels(direct.data(), c.tileWidth, c.tileHeight, c.horz, c.vert), 0);
        EXPECT_EQ(grab.GetMosaicImage(0), nullptr);  // the mosaic is never kept
    }
}

// Each camera's run of tiles becomes that camera's own mosaic.
TEST_F(CoreTransform, EveryCameraOfAFrameGetsItsOwnMosaic) {
    ASSERT_EQ(grab.SetImageColor(IFW_IMAGE_COLOR_PLANES), 1);
    const auto cameras = static_cast<std::uint32_t>(grab.GetNumCameras());
    ASSERT_GT(cameras, 1u);
    grab.SetTiling(2, 2);
    ASSERT_EQ(grab.Create(0, 0, 128, 80, 8, 2, 0), 1);
    auto frame = stackedTiles(64, 40, 4, cameras);
    const unsigned char* mosaic = grab.ApplyImageTransform(frame.data(), 0);
    for (std::uint32_t c = 0; c < cameras; ++c) {
        EXPECT_EQ(misplacedPixels(mosaic + c * 128 * 80, 64, 40, 2, 2, c), 0) << "camera " << c;
    }
}

}  // namespace
