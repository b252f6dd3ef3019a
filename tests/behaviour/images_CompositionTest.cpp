// Frames composed by the emulator from a folder tree: order, content per colour layout, several
// cameras, the substitute pattern and unusable files.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include <tamra/Tamra.h>

#include "support/ImageFiles.h"

namespace {

using images_test::expectedPattern;
using images_test::expectedPlane;
using images_test::firstDifference;
using images_test::TempDir;
namespace samples = tamra::samples;

constexpr std::uint32_t kWidth = 160;
constexpr std::uint32_t kHeight = 120;

// An initialised emulator playing a folder.
struct Player {
    Player() { EXPECT_EQ(grab.Initialize(), 1); }
    void play(std::string folder) {
        ASSERT_EQ(grab.EmulateFromNewImagePath(folder.data(), kWidth, kHeight), 1);
        ASSERT_EQ(grab.IsGrabCreated(), 1) << grab.GetLastErrorMsg();
    }
    const std::uint8_t* frame() { return grab.GrabSimplified(0); }
    std::size_t planeBytes() {
        return std::size_t{grab.GetWidth()} * grab.GetHeight() * grab.GetBytesPP();
    }

    CIGrabEmu grab;
};

std::vector<std::uint8_t> expectedFor(const samples::TreeEntry& entry,
                                      std::uint32_t bytesPerPixel) {
    return expectedPlane(images_test::loaderView(entry), kWidth, kHeight, bytesPerPixel);
}

TEST(ImagesComposition, EachCameraPlaysItsListInOrderIntoItsOwnPlane) {
    TempDir root("order");
    const auto entries =
        samples::writeSampleTree(root.str(), images_test::treeOptions(kWidth, kHeight, 2));
    const auto camera0 = samples::cameraList(entries, 0, false);
    const auto camera1 = samples::cameraList(entries, 1, false);
    Player player;
    player.grab.SetNumCameras(2);
    player.play(root.str());
    EXPECT_STREQ(player.grab.GetImageFileName(0, 0, 0), "");
    const std::size_t plane = player.planeBytes();
    for (std::size_t i = 0; i < 2 * camera0.size(); ++i) {
        const std::uint8_t* frame = player.frame();
        ASSERT_NE(frame, nullptr);
        const auto& first = camera0[i % camera0.size()];
        const auto& second = camera1[i % camera1.size()];
        EXPECT_EQ(firstDifference(frame, expectedFor(first, 1)), -1)
            << "frame " << i << " " << first.relativePath;
        EXPECT_EQ(firstDifference(frame + plane, expectedFor(second, 1)), -1)
            << "frame " << i << " " << second.relativePath;
        EXPECT_EQ(std::string(player.grab.GetImageFileName(5, 9, 9)),
                  root.file(first.relativePath));
    }
    // The client's active camera names the file reported.
    ASSERT_EQ(player.grab.SetClientActiveCamera(1), 1);
    player.frame();
    EXPECT_EQ(std::string(player.grab.GetImageFileName(0, 0, 0)),
              root.file(camera1[2 * camera0.size() % camera1.size()].relativePath));
}

TEST(ImagesComposition, ColourLayoutsCarryTheFileColoursAndOutgrowTheirSlotSafely) {
    TempDir root("colour");
    const auto entries =
        samples::writeSampleTree(root.str(), images_test::treeOptions(kWidth, kHeight, 1));
    const auto list = samples::cameraList(entries, 0, false);
    Player player;
    player.play(root.str());  // mono8 frame slot
    std::size_t served = 0;
    for (auto [type, bytes] : {std::pair{IFW_IMAGE_COLOR_COLOR32, 4u},
                               {IFW_IMAGE_COLOR_COLOR24, 3u},
                               {IFW_IMAGE_COLOR_MONO8, 1u}}) {
        ASSERT_EQ(player.grab.SetImageColor(type), 1);
        EXPECT_EQ(player.grab.GetBytesPP(), bytes);
        for (int i = 0; i < 3; ++i, ++served) {
            const auto& entry = list[served % list.size()];
            EXPECT_EQ(firstDifference(player.frame(), expectedFor(entry, bytes)), -1)
                << entry.relativePath << " at " << bytes << " bytes per pixel";
        }
    }
}

TEST(ImagesComposition, PlanesLayoutComposesThreeCamerasAndPatternsTheMissingOne) {
    TempDir root("planes");
    const auto entries =
        samples::writeSampleTree(root.str(), images_test::treeOptions(kWidth, kHeight, 2));
    Player player;
    ASSERT_EQ(player.grab.SetImageColor(IFW_IMAGE_COLOR_PLANES), 1);
    EXPECT_EQ(player.grab.GetNumCameras(), 3);
    player.play(root.str());
    const std::size_t plane = player.planeBytes();
    const std::uint8_t* frame = player.frame();
    for (int c = 0; c < 2; ++c) {
        const auto expected = expectedFor(samples::cameraList(entries, c, false)[0], 1);
        EXPECT_EQ(firstDifference(frame + c * plane, expected), -1) << "camera " << c;
    }
    EXPECT_EQ(firstDifference(frame + 2 * plane, expectedPattern(kWidth, kHeight, 1, 0)), -1);
}

TEST(ImagesComposition, WithoutFilesEveryFrameIsTheMovingPattern) {
    TempDir root("empty");
    images_test::writeBytes(root.file("readme.txt"), {'h', 'i'});
    Player player;
    player.play(root.str());
    for (std::uint32_t n = 0; n < 4; ++n) {
        EXPECT_EQ(firstDifference(player.frame(), expectedPattern(kWidth, kHeight, 1, n)), -1)
            << "frame " << n;
    }
    ASSERT_EQ(player.grab.SetImageColor(IFW_IMAGE_COLOR_COLOR24), 1);
    // The frame counter carries on: the next frame is the fifth since the scan.
    EXPECT_EQ(firstDifference(player.frame(), expectedPattern(kWidth, kHeight, 3, 4)), -1);
    EXPECT_STREQ(player.grab.GetImageFileName(0, 0, 0), "");
}

TEST(ImagesComposition, UnusableFilesGiveThePatternAndLeaveTheRestOfTheFrameAlone) {
    TempDir root("unusable");
    const samples::Picture picture =
        samples::renderScene(samples::Scene::Pass, 0, 0, kWidth, kHeight);
    const auto bytes = samples::encodeBmp(picture, samples::BmpLayout{});
    auto rle = samples::encodeBmp(picture, samples::BmpLayout{8, true, false});
    images_test::put(rle, 30, 1);
    std::filesystem::create_directories(root.file("b.bmp"));
    const std::pair<const char*, std::vector<std::uint8_t>> files[] = {
        {"a.bmp", bytes},
        {"c.bmp", {'t', 'e', 'x', 't'}},
        {"d.bmp", {bytes.begin(), bytes.begin() + bytes.size() / 2}},
        {"e.bmp", rle},
        {"Cam1/x.bmp", bytes}};
    for (const auto& [name, content] : files) images_test::writeBytes(root.file(name), content);

    Player player;
    player.grab.SetNumCameras(2);
    player.play(root.str());
    const std::size_t plane = player.planeBytes();
    const auto image = expectedPlane(picture, kWidth, kHeight, 1);
    for (std::uint32_t n = 0; n < 6; ++n) {
        const std::uint8_t* frame = player.frame();
        const bool loads = n % 5 == 0;
        const auto expected = loads ? image : expectedPattern(kWidth, kHeight, 1, n);
        EXPECT_EQ(firstDifference(frame, expected), -1) << "frame " << n;
        EXPECT_EQ(firstDifference(frame + plane, image), -1) << "frame " << n;
        // A plane that failed keeps the name of the last file loaded.
        EXPECT_EQ(std::string(player.grab.GetImageFileName(0, 0, 0)), root.file("a.bmp"));
    }
}

}  // namespace
