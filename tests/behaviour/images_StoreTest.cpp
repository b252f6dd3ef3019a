// The emulator's image store seen by a client: the conform test, the first-file geometry rule,
// image interjection and the accessors with fixed answers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <tamra/Tamra.h>

#include "support/ImageFiles.h"
#include "support/NativePath.h"

namespace {

using images_test::expectedPlane;
using images_test::firstDifference;
using images_test::TempDir;
using Names = std::vector<std::string>;
namespace samples = tamra::samples;

constexpr std::uint32_t kKeep = 0xFFFFFFFEu;

void play(CIGrabEmu& grab, const std::string& folder, std::uint32_t width, std::uint32_t height) {
    std::string path = folder;
    ASSERT_EQ(grab.EmulateFromNewImagePath(path.data(), width, height), 1);
    ASSERT_EQ(grab.IsGrabCreated(), 1) << grab.GetLastErrorMsg();
}

Names servedNames(CIGrabEmu& grab, int frames) {
    Names names;
    for (int i = 0; i < frames; ++i) {
        grab.GrabSimplified(0);
        names.emplace_back(grab.GetImageFileName(0, 0, 0));
    }
    return names;
}

void writePicture(const TempDir& root, const char* name, std::uint32_t width, std::uint32_t height,
                  samples::BmpLayout layout) {
    samples::writeBmp(root.file(name),
                      samples::renderScene(samples::Scene::Pass, 0, 0, width, height), layout);
}

TEST(ImagesStore, WithConformingOffOnlyFilesMatchingTheGeometryArePlayed) {
    TempDir root("conformoff");
    writePicture(root, "a.bmp", 64, 48, {8, true, false});
    writePicture(root, "b.bmp", 64, 48, {24, true, false});  // 24 bits in an 8-bit grab
    writePicture(root, "c.bmp", 62, 48, {8, true, false});   // 62 wide as stored
    writePicture(root, "d.bmp", 64, 48, {8, false, true});   // top-down: its height is -48
    writePicture(root, "e.bmp", 64, 48, {8, false, false});
    images_test::writeBytes(root.file("f.bmp"), {'B', 'M'});
    CIGrabEmu grab;
    ASSERT_EQ(grab.Initialize(), 1);
    grab.SetImgSrcConformEnable(0);
    play(grab, root.str(), 64, 48);
    EXPECT_EQ(servedNames(grab, 4), (Names{root.file("a.bmp"), root.file("e.bmp"),
                                           root.file("a.bmp"), root.file("e.bmp")}));
}

TEST(ImagesStore, WithConformingOnAnyBitmapIsScaledOntoTheGeometryInGrey) {
    TempDir root("conformon");
    const auto picture = samples::renderScene(samples::Scene::Fail, 1, 2, 1024, 768);
    samples::writeBmp(root.file("big.bmp"), picture, samples::BmpLayout{24, true, false});
    CIGrabEmu grab;
    ASSERT_EQ(grab.Initialize(), 1);
    play(grab, root.str(), 640, 480);
    EXPECT_EQ(firstDifference(grab.GrabSimplified(0), expectedPlane(picture, 640, 480, 1)), -1);
    EXPECT_EQ(std::string(grab.GetImageFileName(0, 0, 0)), root.file("big.bmp"));
}

TEST(ImagesStore, TheFirstFileSetsTheGeometryUnlessTheClientSetTheWidth) {
    TempDir root("firstfile");
    writePicture(root, "a.bmp", 638, 300, {8, true, true});  // top-down
    writePicture(root, "b.bmp", 200, 100, {});
    CIGrabEmu grab;
    ASSERT_EQ(grab.Initialize(), 1);
    play(grab, root.str(), 320, 240);
    ASSERT_EQ(grab.Create(0, 0, kKeep, kKeep, kKeep, kKeep, kKeep), 1);
    // 638 rounded up to a multiple of 4, the magnitude of the stored -300.
    EXPECT_EQ(grab.GetWidth() * 1000 + grab.GetHeight(), 640300u);
    ASSERT_EQ(grab.SetWidth(320), 1);
    ASSERT_EQ(grab.Create(0, 0, kKeep, kKeep, kKeep, kKeep, kKeep), 1);
    EXPECT_EQ(grab.GetWidth() * 1000 + grab.GetHeight(), 320300u);
}

TEST(ImagesStore, WithConformingOffTheFirstFileSetsTheGeometryAndStillFailsItsOwnTest) {
    TempDir root("firstnarrow");
    writePicture(root, "a.bmp", 638, 480, {8, true, false});
    writePicture(root, "b.bmp", 640, 480, {8, true, false});
    CIGrabEmu grab;
    ASSERT_EQ(grab.Initialize(), 1);
    grab.SetImgSrcConformEnable(0);
    play(grab, root.str(), 640, 480);
    ASSERT_EQ(grab.Create(0, 0, kKeep, kKeep, kKeep, kKeep, kKeep), 1);
    EXPECT_EQ(grab.GetWidth(), 640u);
    EXPECT_EQ(servedNames(grab, 2), (Names{root.file("b.bmp"), root.file("b.bmp")}));
}

// The interject source is a private emulator on its own default image path, which falls back
// to "./images" under the current directory.
TEST(ImagesStore, InterjectionServesFramesOfAPrivateEmulator) {
    TempDir root("interject");
    const auto list = samples::cameraList(
        samples::writeSampleTree(root.file("images"), images_test::treeOptions(64, 48, 1)), 0,
        false);
    const images_test::CurrentDirectory inRoot(root.path());
    const std::string folder = std::filesystem::current_path().string();

    CIGrabEmu grab;
    ASSERT_EQ(grab.Initialize(), 1);
    play(grab, root.file("elsewhere"), 64, 48);
    EXPECT_EQ(grab.GetImageFileName(0, 0, 0)[0], '\0');
    EXPECT_EQ(grab.CIGrab::GetImageFileName(0, 0, 0), nullptr);  // no interject source yet
    for (std::size_t i = 0; i < 3; ++i) {
        const unsigned char* frame = grab.GetNextInterjectImage(IFW_EMU_IMAGE_CALIB, 5, 5);
        ASSERT_NE(frame, nullptr);
        EXPECT_EQ(
            firstDifference(frame, expectedPlane(images_test::loaderView(list[i]), 64, 48, 1)), -1);
        grab.SetImgInterjectState(0);
        EXPECT_EQ(grab.CIGrab::GetImageFileName(0, 0, 0), nullptr);
        grab.SetImgInterjectState(1);
        EXPECT_EQ(std::string(grab.CIGrab::GetImageFileName(-1, -1, -1)),
                  tamra::testing::joinPath(folder, "images/" + list[i].relativePath));
    }
}

}  // namespace
