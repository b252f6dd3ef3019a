// Tamra sample images: writing pictures as bitmap files of several layouts.
#include "samplegen/BmpWriter.h"

#include <cstdio>
#include <memory>

namespace tamra::samples {

void putLittleEndian16(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t value) {
    out[at] = static_cast<std::uint8_t>(value);
    out[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

void putLittleEndian32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t value) {
    putLittleEndian16(out, at, value & 0xFFFF);
    putLittleEndian16(out, at + 2, value >> 16);
}

namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::size_t kInfoHeaderSize = 40;

std::size_t paletteIndex(Rgb colour) {
    const std::vector<Rgb>& palette = samplePalette();
    for (std::size_t i = 0; i < palette.size(); ++i) {
        if (palette[i] == colour) return palette.size() - 1 - i;
    }
    return 0;
}

void encodePixel(std::uint8_t* out, Rgb colour, const BmpLayout& layout) {
    switch (layout.bitsPerPixel) {
        case 8:
            out[0] = static_cast<std::uint8_t>(layout.palette ? paletteIndex(colour)
                                                              : nearestGrey(colour));
            break;
        case 16: {
            const std::uint32_t packed = (std::uint32_t{colour.r} >> 3) << 10 |
                                         (std::uint32_t{colour.g} >> 3) << 5 | colour.b >> 3;
            out[0] = static_cast<std::uint8_t>(packed);
            out[1] = static_cast<std::uint8_t>(packed >> 8);
            break;
        }
        default:
            out[0] = colour.b;
            out[1] = colour.g;
            out[2] = colour.r;
            if (layout.bitsPerPixel == 32) out[3] = 0;
            break;
    }
}

}  // namespace

std::uint8_t nearestGrey(Rgb colour) {
    const unsigned sum = unsigned{colour.r} + colour.g + colour.b;
    return static_cast<std::uint8_t>((sum + 1) / 3);
}

Picture storedPicture(const Picture& picture, const BmpLayout& layout) {
    if (layout.bitsPerPixel != 8 || layout.palette) return picture;
    Picture stored(picture.width(), picture.height());
    for (std::uint32_t y = 0; y < picture.height(); ++y) {
        for (std::uint32_t x = 0; x < picture.width(); ++x) {
            const std::uint8_t level = nearestGrey(picture.at(x, y));
            stored.set(x, y, {level, level, level});
        }
    }
    return stored;
}

std::vector<std::uint8_t> encodeBmp(const Picture& picture, const BmpLayout& layout) {
    const std::size_t bytesPerPixel = layout.bitsPerPixel / 8u;
    const std::size_t rowSize = (picture.width() * bytesPerPixel + 3) / 4 * 4;
    const bool withPalette = layout.bitsPerPixel == 8 && layout.palette;
    const std::size_t paletteCount = withPalette ? samplePalette().size() : 0;
    const std::size_t pixelOffset = kFileHeaderSize + kInfoHeaderSize + paletteCount * 4;
    std::vector<std::uint8_t> out(pixelOffset + rowSize * picture.height(), 0);

    out[0] = 'B';
    out[1] = 'M';
    putLittleEndian32(out, 2, static_cast<std::uint32_t>(out.size()));
    putLittleEndian32(out, 10, static_cast<std::uint32_t>(pixelOffset));
    putLittleEndian32(out, 14, kInfoHeaderSize);
    putLittleEndian32(out, 18, picture.width());
    const std::int32_t height = static_cast<std::int32_t>(picture.height());
    putLittleEndian32(out, 22, static_cast<std::uint32_t>(layout.topDown ? -height : height));
    putLittleEndian16(out, 26, 1);
    putLittleEndian16(out, 28, layout.bitsPerPixel);
    putLittleEndian32(out, 34, static_cast<std::uint32_t>(rowSize * picture.height()));
    putLittleEndian32(out, 38, 2835);
    putLittleEndian32(out, 42, 2835);
    putLittleEndian32(out, 46, static_cast<std::uint32_t>(paletteCount));

    const std::vector<Rgb>& palette = samplePalette();
    for (std::size_t i = 0; i < paletteCount; ++i) {
        const Rgb colour = palette[paletteCount - 1 - i];
        std::uint8_t* entry = &out[kFileHeaderSize + kInfoHeaderSize + i * 4];
        entry[0] = colour.b;
        entry[1] = colour.g;
        entry[2] = colour.r;
    }
    for (std::uint32_t y = 0; y < picture.height(); ++y) {
        const std::uint32_t fileRow = layout.topDown ? y : picture.height() - 1 - y;
        std::uint8_t* row = &out[pixelOffset + fileRow * rowSize];
        for (std::uint32_t x = 0; x < picture.width(); ++x) {
            encodePixel(row + x * bytesPerPixel, picture.at(x, y), layout);
        }
    }
    return out;
}

bool writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    struct Closer {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    std::unique_ptr<std::FILE, Closer> file(std::fopen(path.c_str(), "wb"));
    if (!file) return false;
    return std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
}

bool writeBmp(const std::string& path, const Picture& picture, const BmpLayout& layout) {
    return writeFile(path, encodeBmp(picture, layout));
}

}  // namespace tamra::samples
