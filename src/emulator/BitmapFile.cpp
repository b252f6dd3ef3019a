// Emulator bitmap files: the 14-byte file header and the 40-byte information header.
#include "emulator/BitmapFile.h"

namespace tamra::emulator {

namespace {

std::uint16_t read16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

std::uint32_t read32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}

std::int32_t readSigned32(const std::uint8_t* p) {
    return static_cast<std::int32_t>(read32(p));
}

BITMAPINFOHEADER decodeInfoHeader(const std::uint8_t* p) {
    BITMAPINFOHEADER info{};
    info.biSize = read32(p);
    info.biWidth = readSigned32(p + 4);
    info.biHeight = readSigned32(p + 8);
    info.biPlanes = read16(p + 12);
    info.biBitCount = read16(p + 14);
    info.biCompression = read32(p + 16);
    info.biSizeImage = read32(p + 20);
    info.biXPelsPerMeter = readSigned32(p + 24);
    info.biYPelsPerMeter = readSigned32(p + 28);
    info.biClrUsed = read32(p + 32);
    info.biClrImportant = read32(p + 36);
    return info;
}

}  // namespace

bool readBitmapHeaders(std::FILE* file, BitmapFileHeader* fileHeader, BITMAPINFOHEADER& info) {
    return readHeaders(file, fileHeader, info) == HeaderRead::Complete;
}

HeaderRead readHeaders(std::FILE* file, BitmapFileHeader* fileHeader, BITMAPINFOHEADER& info) {
    std::uint8_t bytes[kFileHeaderBytes] = {};
    if (std::fread(bytes, 1, kFileHeaderBytes, file) != kFileHeaderBytes) {
        return HeaderRead::ShortFileHeader;
    }
    BitmapFileHeader header;
    header.type = read16(bytes);
    header.pixelOffset = read32(bytes + 10);
    if (fileHeader != nullptr) *fileHeader = header;
    if (header.type != kBitmapFileType) return HeaderRead::NotBitmap;
    std::uint8_t infoBytes[kInfoHeaderBytes] = {};
    if (std::fread(infoBytes, 1, kInfoHeaderBytes, file) != kInfoHeaderBytes) {
        return HeaderRead::ShortInfoHeader;
    }
    info = decodeInfoHeader(infoBytes);
    return HeaderRead::Complete;
}

bool ConformRule::accepts(const BITMAPINFOHEADER& header) const {
    if (enabled) return true;
    const bool sameSize = std::int64_t{header.biWidth} == std::int64_t{width} &&
                          std::int64_t{header.biHeight} == std::int64_t{height};
    const bool sameDepth =
        header.biBitCount == bitsPerPixel || (header.biBitCount == 32 && bitsPerPixel == 24);
    return sameSize && sameDepth;
}

std::int32_t roundedWidth(std::int32_t width) {
    return static_cast<std::int32_t>((static_cast<std::uint32_t>(width) + 3) & ~3u);
}

std::uint32_t heightMagnitude(std::int32_t height) {
    return height < 0 ? 0u - static_cast<std::uint32_t>(height)
                      : static_cast<std::uint32_t>(height);
}

}  // namespace tamra::emulator
