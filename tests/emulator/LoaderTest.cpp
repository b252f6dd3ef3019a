// Bitmap loading: every sample flavour decodes to its picture, scaled and converted onto the
// frame surface; malformed files are refused before anything is drawn. Palettes and bit fields
// of other writers are checked against the bitmap suite.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include <tamra/Observe.h>
#include "emulator/BitmapFile.h"
#include "emulator/FrameComposer.h"
#include "support/ImageFiles.h"

namespace {

using images_test::expectedPlane;
using images_test::firstDifference;

using images_test::put;
using images_test::TempDir;
using tamra::emulator::ConformRule;
using tamra::emulator::FrameComposer;
namespace samples = tamra::samples;

struct Loader {
    FrameComposer composer;
    ConformRule rule;

    bool surface(std::uint32_t width, std::uint32_t height, std::uint32_t bytesPerPixel) {
        return composer.createSurface(width, height, 8 * bytesPerPixel, bytesPerPixel);
    }
    bool load(const std::string& path) {
        return composer.load(path.c_str(), composer.targetFormat(), rule);
    }
    const std::uint8_t* pixels() { return composer.surface().bits(); }
};

struct Target {
    std::uint32_t width, height, bytesPerPixel;
};

// Every sample flavour, and large files read and drawn a band of rows at a time in both stored
// orders: every surface row must sample its own source row, whichever band holds it, at every
// size and depth.
TEST(Loader, EveryFlavourDrawsItsPictureAtAnySizeAndDepth) {
    TempDir root("flavours");
    std::vector<std::pair<std::string, samples::Picture>> files;
    for (const auto& entry :
         samples::writeSampleTree(root.str(), images_test::treeOptions(96, 72, 1))) {
        files.emplace_back(root.file(entry.relativePath), images_test::loaderView(entry));
    }
    const samples::Picture large = samples::renderScene(samples::Scene::Pass, 1, 2, 256, 600);
    for (std::uint16_t bits : {8, 16, 24, 32}) {
        for (bool topDown : {false, true}) {
            const std::string path =
                root.file(std::to_string(bits) + (topDown ? "t.bmp" : "b.bmp"));
            const samples::BmpLayout layout{bits, true, topDown};
            ASSERT_TRUE(samples::writeBmp(path, large, layout));
            files.emplace_back(path, samples::storedPicture(large, layout));
        }
    }
    const Target targets[] = {{96, 72, 1},   {96, 72, 3},   {96, 72, 4},   {41, 29, 1},
                              {250, 190, 3}, {256, 600, 4}, {160, 1111, 1}};
    for (const Target& target : targets) {
        Loader loader;
        ASSERT_TRUE(loader.surface(target.width, target.height, target.bytesPerPixel));
        for (const auto& file : files) {
            std::memset(loader.composer.surface().bits(), 0x5A,
                        loader.composer.surface().sizeInBytes());
            ASSERT_TRUE(loader.load(file.first)) << file.first;
            const auto expected =
                expectedPlane(file.second, target.width, target.height, target.bytesPerPixel);
            EXPECT_EQ(firstDifference(loader.pixels(), expected), -1)
                << file.first << " onto " << target.width << "x" << target.height << "x"
                << target.bytesPerPixel;
        }
    }
}

TEST(Loader, ANarrowFileFillsItsRoundedColumnsFromThePaddingNotFromTheFileBefore) {
    TempDir root("narrow");
    samples::Picture white(640, 8, samples::Rgb{255, 255, 255});
    samples::Picture narrow(638, 8, samples::Rgb{99, 99, 99});
    ASSERT_TRUE(samples::writeBmp(root.file("white.bmp"), white, samples::BmpLayout{}));
    ASSERT_TRUE(samples::writeBmp(root.file("narrow.bmp"), narrow, samples::BmpLayout{}));
    Loader loader;
    ASSERT_TRUE(loader.surface(640, 8, 3));
    ASSERT_TRUE(loader.load(root.file("white.bmp")));
    ASSERT_TRUE(loader.load(root.file("narrow.bmp")));
    for (std::uint32_t y = 0; y < 8; ++y) {
        const std::uint8_t* row = loader.pixels() + (y * 640 + 637) * 3;
        EXPECT_EQ(std::vector<std::uint8_t>(row, row + 9),
                  std::vector<std::uint8_t>({99, 99, 99, 0, 0, 0, 0, 0, 0}))
            << "row " << y;
    }
}

TEST(Loader, WithConformingOffOnlyFilesOfTheGrabsGeometryLoad) {
    TempDir root("conform");
    const samples::Picture picture = samples::renderScene(samples::Scene::Pass, 0, 0, 40, 30);
    const samples::Picture narrow = samples::renderScene(samples::Scene::Pass, 0, 0, 38, 30);
    ASSERT_TRUE(samples::writeBmp(root.file("24.bmp"), picture, {24, true, false}));
    ASSERT_TRUE(samples::writeBmp(root.file("32.bmp"), picture, {32, true, false}));
    ASSERT_TRUE(samples::writeBmp(root.file("top.bmp"), picture, {24, true, true}));
    ASSERT_TRUE(samples::writeBmp(root.file("38.bmp"), narrow, {24, true, false}));
    Loader loader;
    ASSERT_TRUE(loader.surface(40, 30, 3));
    // 32 bits also match a 24-bit grab; the loader compares the rounded width; a top-down file
    // has a negative height as stored.
    const std::pair<const char*, ConformRule> rules[] = {
        {"24", {false, 40, 30, 24}},  {"32", {false, 40, 30, 24}}, {"38", {false, 40, 30, 24}},
        {"top", {false, 40, 30, 24}}, {"24", {false, 40, 30, 32}}, {"24", {false, 44, 30, 24}}};
    std::vector<bool> loaded;
    for (const auto& [file, rule] : rules) {
        loader.rule = rule;
        loaded.push_back(loader.load(root.file(std::string(file) + ".bmp")));
    }
    EXPECT_EQ(loaded, std::vector<bool>({true, true, true, false, false, false}));
}

// ---- Malformed files.

std::vector<std::uint8_t> validFile() {
    return samples::encodeBmp(samples::renderScene(samples::Scene::Pass, 0, 0, 16, 8),
                              samples::BmpLayout{24, true, false});
}

struct Malformed {
    const char* name;
    std::vector<std::uint8_t> bytes;
    const char* reason;  // the loader's reason, word for word
};

std::vector<Malformed> malformedFiles() {
    std::vector<Malformed> files;
    const std::vector<std::uint8_t> bytes = validFile();  // 16 x 8 at 24 bits: 438 bytes
    // Each file differs from a valid one in one field (offset, value, width); named by its reason.
    auto patched = [&files, &bytes](std::size_t at, std::uint32_t value, const char* reason,
                                    int width = 4) {
        files.push_back({reason, bytes, reason});
        put(files.back().bytes, at, value, width);
    };
    files.push_back({"empty", {}, "the file ends inside the 14-byte file header"});
    files.push_back({"part of the file header",
                     {bytes.begin(), bytes.begin() + 10},
                     "the file ends inside the 14-byte file header"});
    files.push_back({"part of the information header",
                     {bytes.begin(), bytes.begin() + 40},
                     "the file ends inside the 40-byte information header"});
    files.push_back(
        {"truncated", {bytes.begin(), bytes.end() - 5}, "pixel data ends 5 bytes early"});
    // clang-format off
    patched(0, 'B' | 'N' << 8, "not a bitmap: the file does not start with \"BM\"", 2);
    patched(14, 108, "BITMAPV4 header (108 bytes) is refused");
    patched(14, 124, "BITMAPV5 header (124 bytes) is refused");
    patched(14, 12, "OS/2 core header (12 bytes) is refused");
    patched(18, 0, "width 0 is not played");
    patched(18, static_cast<std::uint32_t>(-16), "width -16 is not played");
    patched(18, 0x7FFFFFFF, "width 2147483647 is more than the 65533 pixels played");
    patched(18, 70000, "width 70000 is more than the 65533 pixels played");
    patched(22, 0, "height 0 is not played");
    patched(22, 0x7FFFFFFF, "height 2147483647 is more than the 65536 rows played");
    patched(22, 0x80000000u, "height 2147483648 is more than the 65536 rows played");
    patched(10, static_cast<std::uint32_t>(bytes.size()) + 1, "pixel data ends 385 bytes early");
    patched(10, 60, "pixel data ends 6 bytes early");
    patched(10, 0xFFFFFFF0u, "pixel data ends 4294967226 bytes early");
    patched(10, 0, "pixel data at byte 0 overlaps the headers, masks and palette (54 bytes)");
    patched(10, 20, "pixel data at byte 20 overlaps the headers, masks and palette (54 bytes)");
    patched(46, 257, "a palette of 257 entries is more than the 256 played");
    patched(28, 1, "1-bit palette images are not played", 2);
    patched(28, 2, "2-bit palette images are not played", 2);
    patched(28, 4, "4-bit palette images are not played", 2);
    patched(28, 0, "0 bits per pixel (an embedded JPEG or PNG image) is not played", 2);
    patched(28, 64, "64 bits per pixel are not played", 2);
    patched(30, 1, "RLE8 compression is not played");
    patched(30, 2, "RLE4 compression is not played");
    patched(30, 3, "bit fields at 24 bits are not played (only at 16 and 32 bits)");
    patched(30, 4, "embedded JPEG images are not played");
    patched(30, 5, "embedded PNG images are not played");
    patched(30, 6, "alpha bit fields are not played");
    // clang-format on
    std::vector<std::uint8_t> zeroMasks = validFile();
    put(zeroMasks, 28, 32, 2);
    for (auto [at, value] : {std::pair{30, 3}, {22, 1}, {54, 0}, {58, 0}, {62, 0}}) {
        put(zeroMasks, at, std::uint32_t(value));
    }
    files.push_back({"bit fields with no masks", zeroMasks, "the bit-field masks are all zero"});
    std::vector<std::uint8_t> splitMask = zeroMasks;
    put(splitMask, 54, 0x00FF00FF);
    files.push_back({"bit fields with a split mask", splitMask,
                     "bit-field masks 00FF00FF 00000000 00000000 are not three separate runs of "
                     "bits"});
    std::vector<std::uint8_t> masksOverlapped = splitMask;
    for (auto [at, value] : {std::pair{54, 0xFF0000}, {58, 0xFF00}, {62, 0xFF}, {10, 60}}) {
        put(masksOverlapped, at, std::uint32_t(value));
    }
    files.push_back({"pixel data inside the bit-field masks", masksOverlapped,
                     "pixel data at byte 60 overlaps the headers, masks and palette (66 bytes)"});
    std::vector<std::uint8_t> eightBit =
        samples::encodeBmp(samples::Picture(8, 4), samples::BmpLayout{8, false, false});
    std::vector<std::uint8_t> palette = eightBit;
    put(eightBit, 46, 200);
    files.push_back({"8-bit palette running into nothing", eightBit,
                     "the palette of 200 entries runs 768 bytes past the end of the file"});
    put(palette, 46, 4);
    files.push_back({"pixel data inside the palette", palette,
                     "pixel data at byte 54 overlaps the headers, masks and palette (70 bytes)"});
    return files;
}

// Each refusal carries its reason, and TamraCheckImageFile, which runs the same rule, gives the
// same one.
TEST(Loader, MalformedFilesAreRefusedBeforeAnythingIsDrawnWithTheirReason) {
    TempDir root("malformed");
    Loader loader;
    ASSERT_TRUE(loader.surface(32, 16, 3));
    std::memset(loader.composer.surface().bits(), 0x5A, 32 * 16 * 3);
    const auto refused = [&loader](const std::string& path, const char* reason) {
        const bool loaded = loader.load(path);
        char text[TAMRA_REASON_CHARS] = "unchanged";
        const int plays = TamraCheckImageFile(path.c_str(), 32, 16, 3, 1, text, sizeof text);
        EXPECT_EQ(std::make_tuple(loaded, std::string(loader.composer.verdict().reason), plays,
                                  std::string(text)),
                  std::make_tuple(false, std::string(reason), 0, std::string(reason)));
    };
    for (const Malformed& file : malformedFiles()) {
        SCOPED_TRACE(file.name);
        images_test::writeBytes(root.file("x.bmp"), file.bytes);
        refused(root.file("x.bmp"), file.reason);
    }
    std::filesystem::create_directories(root.file("folder.bmp"));
    refused(root.file("folder.bmp"), "not a regular file");
    refused(root.file("missing.bmp"), "file not found");
    refused("", "no file name");
    const std::uint8_t* pixels = loader.pixels();
    EXPECT_TRUE(
        std::all_of(pixels, pixels + 32 * 16 * 3, [](std::uint8_t b) { return b == 0x5A; }));
    // The loader is still usable afterwards.
    images_test::writeBytes(root.file("good.bmp"), validFile());
    EXPECT_TRUE(loader.load(root.file("good.bmp")) && loader.composer.verdict().plays);
    EXPECT_STREQ(loader.composer.verdict().reason, "");
    Loader bare;  // nothing loads without a surface, or after it is gone, or at 12 bits
    const bool bareLoads = bare.load(root.file("good.bmp"));
    loader.composer.destroySurface();
    EXPECT_EQ(std::vector<bool>({bareLoads, loader.load(root.file("good.bmp")),
                                 loader.composer.createSurface(8, 8, 12, 2)}),
              std::vector<bool>(3, false));
}

// With conforming off the folder scan leaves out a file whose stored header differs from the
// grab, and the loader refuses one whose rounded width differs; the check says which.
TEST(CheckImageFile, ConformingOffGeometryArgumentsAndTheReasonBuffer) {
    TempDir root("check");
    const std::string path = root.file("good.bmp");
    images_test::writeBytes(path, validFile());  // 16 x 8 at 24 bits
    // 14 pixels wide: listed by the scan at a 14-pixel grab, refused by the loader at 16.
    samples::writeBmp(root.file("narrow.bmp"),
                      samples::renderScene(samples::Scene::Pass, 0, 0, 14, 8), {24, true, false});
    const std::string narrow = root.file("narrow.bmp");
    struct Case {
        const char* path;
        std::uint32_t width, height, bytesPerPixel;
        int conform, result;
        const char* reason;
    } cases[] = {
        {path.c_str(), 16, 8, 3, 0, 1, ""},
        {path.c_str(), 16, 8, 4, 0, 0,
         "left out of the folder: the file is 16 x 8 at 24 bits, the grab 16 x 8 at 32 bits, and "
         "conforming is off"},
        {narrow.c_str(), 14, 8, 3, 0, 0,
         "the file is 16 x 8 at 24 bits, the grab 14 x 8 at 24 bits, and conforming is off"},
        {path.c_str(), 16, 8, 5, 1, 0, "5 bytes per pixel is not a grab layout"},
        {path.c_str(), 0, 8, 3, 1, 0, "a 0 x 8 frame at 3 bytes per pixel cannot be composed"},
        {nullptr, 16, 8, 3, 1, 0, "no file name"},
    };
    for (const Case& c : cases) {
        char reason[TAMRA_REASON_CHARS] = "unchanged";
        EXPECT_EQ(TamraCheckImageFile(c.path, c.width, c.height, c.bytesPerPixel, c.conform, reason,
                                      sizeof reason),
                  c.result);
        EXPECT_STREQ(reason, c.reason);
    }
    EXPECT_EQ(TamraCheckImageFile(path.c_str(), 16, 8, 4, 1, nullptr, 0), 1);
    // A short buffer takes the start of the reason, terminated.
    char shortReason[5];
    EXPECT_EQ(TamraCheckImageFile(root.file("none.bmp").c_str(), 16, 8, 3, 1, shortReason,
                                  sizeof shortReason),
              0);
    EXPECT_STREQ(shortReason, "file");
}

TEST(SubstitutePattern, BytesFollowTheDiagonalBandFormula) {
    for (std::uint32_t bytesPerPixel : {1u, 2u, 3u, 4u}) {
        for (std::uint32_t n : {0u, 1u, 7u, 26u, 429496730u}) {
            const auto expected = images_test::expectedPattern(13, 5, bytesPerPixel, n);
            std::vector<std::uint8_t> plane(expected.size() + 4, 0xEE);
            tamra::emulator::writeSubstitutePattern(plane.data(), expected.size(), 13,
                                                    bytesPerPixel, n);
            EXPECT_EQ(firstDifference(plane.data(), expected), -1) << bytesPerPixel << " " << n;
            EXPECT_EQ(plane[expected.size()], 0xEE);  // nothing past the plane
        }
    }
    // Worked values: 1 byte per pixel, frame 3: row 0 column 0 is 30, row 3 column 4 is 37.
    std::vector<std::uint8_t> plane(8 * 4);
    tamra::emulator::writeSubstitutePattern(plane.data(), plane.size(), 8, 1, 3);
    EXPECT_EQ(std::vector<int>({plane[0], plane[3 * 8 + 4]}), std::vector<int>({30, 37}));
}

}  // namespace
