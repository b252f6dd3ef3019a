// Tile counts and the mosaic a client gets from ApplyImageTransform, and the display check's
// refusals.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "imaging_support.h"

namespace {

using imaging_test::CoreGrab;
using imaging_test::patternByte;

// A frame of stacked tiles, each th rows of tw pixels; tile t's pixel (x, y) is
// patternByte(x, y, 0, t), and `cameras` such runs of tiles follow one another.
std::vector<std::uint8_t> stackedTiles(std::uint32_t tw, std::uint32_t th, std::uint32_t tiles,
                                       std::uint32_t cameras = 1) {
    std::vector<std::uint8_t> frame;
    for (std::uint32_t c = 0; c < cameras; ++c) {
        for (std::uint32_t t = 0; t < tiles; ++t) {
            for (std::uint32_t y = 0; y < th; ++y) {
                for (std::uint32_t x = 0; x < tw; ++x) {
                    frame.push_back(patternByte(x, y, c, t));
                }
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

class Tiling : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(grab.Initialize(), 1); }
    CoreGrab grab;
};

TEST_F(Tiling, CountsOfZeroBecomeOneAndIsTilingFollowsTheCounts) {
    EXPECT_EQ(grab.GetHorzTiles(), 1u);
    EXPECT_EQ(grab.GetVertTiles(), 1u);
    EXPECT_EQ(grab.SetTiling(0, 0), 1);
    EXPECT_EQ(grab.GetHorzTiles(), 1u);
    EXPECT_EQ(grab.GetVertTiles(), 1u);
    EXPECT_EQ(grab.IsTiling(), 0);
    EXPECT_EQ(grab.SetTiling(1, 4), 1);
    EXPECT_EQ(grab.GetVertTiles(), 4u);
    EXPECT_EQ(grab.IsTiling(), 1);
    EXPECT_EQ(grab.SetTiling(3, 0), 1);
    EXPECT_EQ(grab.GetHorzTiles(), 3u);
    EXPECT_EQ(grab.GetVertTiles(), 1u);
    EXPECT_EQ(grab.IsTiling(), 1);
}

TEST_F(Tiling, TwoByTwoTilesFormTheMosaicOfTheReportedSize) {
    grab.SetTiling(2, 2);
    ASSERT_EQ(grab.Create(0, 0, 1280, 960, 8, 2, 0), 1);
    EXPECT_EQ(grab.GetWidth(), 1280u);
    EXPECT_EQ(grab.GetHeight(), 960u);
    EXPECT_EQ(grab.GetWidthByteCount(), 640u);  // one tile
    auto frame = stackedTiles(640, 480, 4);
    const unsigned char* mosaic = grab.ApplyImageTransform(frame.data(), 0);
    ASSERT_NE(mosaic, frame.data());
    EXPECT_EQ(misplacedPixels(mosaic, 640, 480, 2, 2), 0);
}

TEST_F(Tiling, SideBySideTilesAreReordered) {
    grab.SetTiling(2, 1);
    ASSERT_EQ(grab.Create(0, 0, 128, 40, 8, 2, 0), 1);
    auto frame = stackedTiles(64, 40, 2);
    const unsigned char* mosaic = grab.ApplyImageTransform(frame.data(), 0);
    EXPECT_EQ(misplacedPixels(mosaic, 64, 40, 2, 1), 0);
    std::vector<std::uint8_t> direct(frame.size());
    EXPECT_EQ(grab.VertToHorzPlanes(frame.data(), direct.data()), direct.data());
    EXPECT_EQ(misplacedPixels(direct.data(), 64, 40, 2, 1), 0);
}

TEST_F(Tiling, StackedTilesAlreadyAreTheMosaic) {
    grab.SetTiling(1, 4);
    ASSERT_EQ(grab.Create(0, 0, 64, 160, 8, 2, 0), 1);
    auto frame = stackedTiles(64, 40, 4);
    const auto before = frame;
    EXPECT_EQ(grab.ApplyImageTransform(frame.data(), 0), frame.data());
    EXPECT_EQ(frame, before);
}

// Each camera's run of tiles becomes that camera's own mosaic.
TEST_F(Tiling, EveryCameraOfAFrameGetsItsOwnMosaic) {
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

TEST_F(Tiling, MosaicImageIsNeverKept) {
    EXPECT_EQ(grab.GetMosaicImage(0), nullptr);
    grab.SetTiling(2, 1);
    ASSERT_EQ(grab.Create(0, 0, 128, 40, 8, 2, 0), 1);
    auto frame = stackedTiles(64, 40, 2);
    grab.ApplyImageTransform(frame.data(), 0);
    EXPECT_EQ(grab.GetMosaicImage(0), nullptr);
    EXPECT_EQ(grab.GetMosaicImage(-1), nullptr);
    EXPECT_EQ(grab.GetMosaicImage(7), nullptr);
}

TEST(Display, RefusesBeforeInitialisationBeforeCreationAndWithoutAWindow) {
    CoreGrab grab;
    unsigned char image[16] = {};
    int unknownWindowStorage = 0;
    // A pointer-sized value no window manager and no registration knows.
    const HWND unknownWindow = reinterpret_cast<HWND>(&unknownWindowStorage);
    EXPECT_EQ(grab.Display(unknownWindow, image), 0);
    EXPECT_EQ(std::string(grab.GetLastErrorMsg()), "CIGrab::Display: Grab not initialized");
    ASSERT_EQ(grab.Initialize(), 1);
    EXPECT_EQ(grab.Display(unknownWindow, image), 0);
    EXPECT_EQ(std::string(grab.GetLastErrorMsg()), "CIGrab::Display: Grab not created");
    ASSERT_EQ(grab.Create(0, 0, 64, 48, 8, 2, 0), 1);
    EXPECT_EQ(grab.Display(unknownWindow, image), 0);
    EXPECT_EQ(std::string(grab.GetLastErrorMsg()), "CIGrab::Display: Invalid argument");
    EXPECT_EQ(grab.Display(nullptr, image), 0);
    EXPECT_EQ(std::string(grab.GetLastErrorMsg()), "CIGrab::Display: Invalid argument");
}

}  // namespace
