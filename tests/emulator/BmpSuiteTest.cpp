// The public BMP test suite through the loader: every file either loads or is refused, as its
// header predicts, and loaded files give exactly the frames the loading rules predict.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include <tamra/Observe.h>
#include "emulator/BitmapFile.h"
#include "emulator/FrameComposer.h"
#include "support/ImageFiles.h"

namespace {

using images_test::readBytes;
using tamra::emulator::ConformRule;
using tamra::emulator::FrameComposer;

struct SuiteFile {
    std::string path;
    bool plain;
};

std::vector<SuiteFile> manifest() {
    std::ifstream in(std::string(TAMRA_BMPSUITE_DIR) + "/MANIFEST.tsv");
    std::vector<SuiteFile> files;
    std::string line;
    std::getline(in, line);  // column names
    while (std::getline(in, line)) {
        std::vector<std::string> fields;
        std::stringstream row(line);
        for (std::string field; std::getline(row, field, '\t');) fields.push_back(field);
        if (fields.size() == 11) files.push_back({fields[0], fields[10] == "yes"});
    }
    return files;
}

std::string suitePath(const std::string& relative) {
    return std::string(TAMRA_BMPSUITE_DIR) + "/" + relative;
}

std::uint32_t le32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

int channel(std::uint32_t pixel, std::uint32_t mask) {
    if (mask == 0) return 0;
    int shift = 0, bits = 0;
    while ((mask >> shift & 1) == 0) ++shift;
    while (shift + bits < 32 && (mask >> (shift + bits) & 1)) ++bits;
    const std::uint32_t value = (pixel & mask) >> shift >> std::max(bits - 8, 0);
    const std::uint32_t maximum = (1u << std::min(bits, 8)) - 1;
    return static_cast<int>((value * 255 + maximum / 2) / maximum);
}

// An independent reading of a plain file by the loading rules: the width rounded up to a
// multiple of 4, rows as stored (bottom-up unless the height is negative), columns past the
// file row reading zero, 8-bit files through their palette (the grey ramp when the header
// declares none, black past the declared entries), bit fields through their masks.
tamra::samples::Picture referencePicture(const std::vector<std::uint8_t>& b) {
    const std::int32_t width = static_cast<std::int32_t>(le32(b, 18));
    const std::int32_t height = static_cast<std::int32_t>(le32(b, 22));
    const int bits = b[28] | b[29] << 8;
    const std::uint32_t compression = le32(b, 30);
    const std::uint32_t colours = le32(b, 46);
    const std::uint32_t offset = le32(b, 10);
    const std::uint32_t rows = static_cast<std::uint32_t>(height < 0 ? -height : height);
    const std::uint32_t rounded = (static_cast<std::uint32_t>(width) + 3) / 4 * 4;
    const std::size_t fileRow = (static_cast<std::size_t>(width) * bits + 31) / 32 * 4;
    const int bytes = bits / 8;
    std::uint32_t masks[3] = {bits == 16 ? 0x7C00u : 0xFF0000u, bits == 16 ? 0x3E0u : 0xFF00u,
                              bits == 16 ? 0x1Fu : 0xFFu};
    for (int i = 0; i < 3 && compression == 3; ++i) masks[i] = le32(b, 54 + 4 * i);
    tamra::samples::Picture picture(rounded, rows);
    for (std::uint32_t y = 0; y < rows; ++y) {
        const std::size_t row = offset + fileRow * (height < 0 ? y : rows - 1 - y);
        for (std::uint32_t x = 0; x < rounded; ++x) {
            std::uint32_t pixel = 0;
            for (int i = 0; i < bytes; ++i) {
                const std::size_t at = static_cast<std::size_t>(x) * bytes + i;
                if (at < fileRow) pixel |= static_cast<std::uint32_t>(b[row + at]) << (8 * i);
            }
            const auto grey = static_cast<std::uint8_t>(pixel);
            const std::size_t entry = 54 + 4 * pixel;
            using tamra::samples::Rgb;
            picture.set(x, y,
                        bits != 8         ? Rgb{std::uint8_t(channel(pixel, masks[0])),
                                        std::uint8_t(channel(pixel, masks[1])),
                                        std::uint8_t(channel(pixel, masks[2]))}
                        : colours == 0    ? Rgb{grey, grey, grey}
                        : pixel < colours ? Rgb{b[entry + 2], b[entry + 1], b[entry]}
                                          : Rgb{});
        }
    }
    return picture;
}

std::vector<std::uint8_t> loadOnto(const std::string& relative, std::uint32_t width,
                                   std::uint32_t height, std::uint32_t bytesPerPixel, bool* loaded,
                                   std::string* reason = nullptr) {
    FrameComposer composer;
    EXPECT_TRUE(composer.createSurface(width, height, 8 * bytesPerPixel, bytesPerPixel));
    const std::size_t size = std::size_t{width} * height * bytesPerPixel;
    std::fill_n(composer.surface().bits(), size, 0xA5);
    *loaded = composer.load(suitePath(relative).c_str(), composer.targetFormat(), ConformRule{});
    if (reason != nullptr) *reason = composer.verdict().reason;
    return std::vector<std::uint8_t>(composer.surface().bits(), composer.surface().bits() + size);
}

// Where a reason is predicted from the header alone, the check gives it word for word.
const std::map<std::string, std::string>& knownReasons() {
    static const std::map<std::string, std::string> reasons = {
        {"g/pal1.bmp", "1-bit palette images are not played"},
        {"g/pal4.bmp", "4-bit palette images are not played"},
        {"q/pal2.bmp", "2-bit palette images are not played"},
        {"g/pal8rle.bmp", "RLE8 compression is not played"},
        {"g/pal8os2.bmp", "OS/2 core header (12 bytes) is refused"},
        {"g/pal8v4.bmp", "BITMAPV4 header (108 bytes) is refused"},
        {"g/pal8v5.bmp", "BITMAPV5 header (124 bytes) is refused"},
        {"q/rgb32h52.bmp", "BITMAPV2 header (52 bytes) is refused"},
        {"q/rgba32h56.bmp", "BITMAPV3 header (56 bytes) is refused"},
        {"q/pal8os2v2.bmp", "OS/2 2.x header (64 bytes) is refused"},
        {"q/rgba32abf.bmp", "alpha bit fields are not played"},
        {"q/rgba64.bmp", "64 bits per pixel are not played"},
        {"q/pal8oversizepal.bmp", "a palette of 300 entries is more than the 256 played"},
        {"b/badpalettesize.bmp", "a palette of 305402420 entries is more than the 256 played"},
    };
    return reasons;
}

// The verdict column: TamraCheckImageFile plays exactly the files the loader plays, with the
// loader's own reason for the others, and a refusal draws nothing.
TEST(BmpSuite, EachFileLoadsExactlyWhenItsHeaderIsPlainAndRefusalsDrawNothing) {
    const std::vector<SuiteFile> files = manifest();
    ASSERT_EQ(files.size(), 89u);
    std::size_t named = 0;
    for (const SuiteFile& file : files) {
        bool loaded = false;
        std::string loaderReason;
        const std::vector<std::uint8_t> frame =
            loadOnto(file.path, 100, 50, 3, &loaded, &loaderReason);
        char reason[TAMRA_REASON_CHARS] = "unchanged";
        const int plays =
            TamraCheckImageFile(suitePath(file.path).c_str(), 100, 50, 3, 1, reason, sizeof reason);
        EXPECT_EQ(std::make_tuple(loaded, plays == 1, std::string(reason).empty()),
                  std::make_tuple(file.plain, file.plain, file.plain))
            << file.path << ": " << reason;
        EXPECT_EQ(reason, loaderReason) << file.path;
        const auto known = knownReasons().find(file.path);
        if (known != knownReasons().end()) {
            EXPECT_EQ(reason, known->second) << file.path;
            ++named;
        }
        const bool untouched = std::count(frame.begin(), frame.end(), 0xA5) == long(frame.size());
        EXPECT_TRUE(loaded || untouched) << file.path;
    }
    EXPECT_EQ(named, knownReasons().size());
}

TEST(BmpSuite, LoadedFilesGiveTheFramesTheRulesPredictAtEveryDepthAndSize) {
    const std::uint32_t sizes[][3] = {
        {128, 64, 3}, {128, 64, 1}, {100, 50, 4}, {300, 200, 3}, {37, 19, 1}};
    for (const SuiteFile& file : manifest()) {
        if (!file.plain) continue;
        const tamra::samples::Picture reference = referencePicture(readBytes(suitePath(file.path)));
        for (const auto& [width, height, bytes] : sizes) {
            bool loaded = false;
            const auto frame = loadOnto(file.path, width, height, bytes, &loaded);
            ASSERT_TRUE(loaded) << file.path;
            const auto expected = images_test::expectedPlane(reference, width, height, bytes);
            EXPECT_EQ(images_test::firstDifference(frame.data(), expected), -1)
                << file.path << " onto " << width << "x" << height << "x" << bytes;
        }
    }
}

}  // namespace
