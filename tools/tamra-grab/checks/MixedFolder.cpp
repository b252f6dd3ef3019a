// Writes the folder a new user might point tamra-grab at: PNG files numbered 1, 2 and 10, a
// bitmap with the version-5 header, a 4-bit bitmap, a truncated bitmap and a sub-folder.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <stb/stb_image_write.h>

#include "samplegen/BmpWriter.h"

namespace {

namespace fs = std::filesystem;
using tamra::samples::putLittleEndian16;
using tamra::samples::putLittleEndian32;
using tamra::samples::writeFile;

constexpr int kWidth = 64;
constexpr int kHeight = 48;

bool writePng(const fs::path& path, std::uint8_t level) {
    const std::vector<std::uint8_t> pixels(kWidth * kHeight, level);
    return stbi_write_png(path.string().c_str(), kWidth, kHeight, 1, pixels.data(), kWidth) != 0;
}

// A flat bitmap with the given header size and bit depth (4 bits: a 16-entry grey palette).
std::vector<std::uint8_t> bitmap(std::uint32_t headerBytes, std::uint16_t bits,
                                 std::uint8_t level) {
    const std::uint32_t paletteEntries = bits <= 8 ? 1u << bits : 0;
    const std::uint32_t rowBytes = (kWidth * bits + 31) / 32 * 4;
    const std::uint32_t offset = 14 + headerBytes + paletteEntries * 4;
    std::vector<std::uint8_t> out(offset + rowBytes * kHeight, 0);
    out[0] = 'B';
    out[1] = 'M';
    putLittleEndian32(out, 2, static_cast<std::uint32_t>(out.size()));
    putLittleEndian32(out, 10, offset);
    putLittleEndian32(out, 14, headerBytes);
    putLittleEndian32(out, 18, kWidth);
    putLittleEndian32(out, 22, kHeight);
    putLittleEndian16(out, 26, 1);
    putLittleEndian16(out, 28, bits);
    putLittleEndian32(out, 34, rowBytes * kHeight);
    putLittleEndian32(out, 46, paletteEntries);
    for (std::uint32_t i = 0; i < paletteEntries; ++i) {
        const auto grey = static_cast<std::uint8_t>(i * 255 / (paletteEntries - 1));
        for (int c = 0; c < 3; ++c) out[14 + headerBytes + i * 4 + c] = grey;
    }
    for (std::uint32_t y = 0; y < kHeight; ++y) {
        for (std::uint32_t x = 0; x < rowBytes; ++x) {
            std::uint8_t& byte = out[offset + y * rowBytes + x];
            if (bits == 4) byte = static_cast<std::uint8_t>((level / 17) * 0x11);
            if (bits == 24) byte = level;
        }
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: tamra-grab-mixed-folder DIR\n");
        return 2;
    }
    const fs::path root(argv[1]);
    fs::create_directories(root / "sub");
    std::vector<std::uint8_t> truncated = bitmap(40, 24, 200);
    truncated.resize(truncated.size() - 812);
    const bool ok = writePng(root / "a1.png", 60) && writePng(root / "a2.png", 90) &&
                    writePng(root / "a10.png", 120) && writePng(root / "sub" / "x.png", 10) &&
                    writeFile((root / "v5.bmp").string(), bitmap(124, 24, 180)) &&
                    writeFile((root / "four.bmp").string(), bitmap(40, 4, 255)) &&
                    writeFile((root / "truncated.bmp").string(), truncated);
    return ok ? 0 : 1;
}
