// Emulator bitmap files: the 14-byte file header and the 40-byte information header.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>

#include <tamra/PlatformTypes.h>

namespace tamra::emulator {

inline constexpr std::size_t kFileHeaderBytes = 14;
inline constexpr std::size_t kInfoHeaderBytes = 40;
inline constexpr std::uint16_t kBitmapFileType = 0x4D42;  // "BM"
inline constexpr std::uint32_t kCompressionNone = 0;
inline constexpr std::uint32_t kCompressionBitFields = 3;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

struct BitmapFileHeader {
    std::uint16_t type = 0;
    std::uint32_t pixelOffset = 0;  // bfOffBits
};

// Reads both headers from the start of a stream: the file header, and when its type is "BM",
// the information header (fields little-endian). True only when 40 information-header bytes
// were read; fileHeader may be null.
bool readBitmapHeaders(std::FILE* file, BitmapFileHeader* fileHeader, BITMAPINFOHEADER& info);
// The same, telling where the headers ended.
enum class HeaderRead { Complete, ShortFileHeader, NotBitmap, ShortInfoHeader };
HeaderRead readHeaders(std::FILE* file, BitmapFileHeader* fileHeader, BITMAPINFOHEADER& info);

// The conform test of a header: with conforming on every header passes; otherwise the width,
// the height (both as stored, so signed) and the bit count must match the grab's, a 32-bit
// header also matching a 24-bit grab.
struct ConformRule {
    bool enabled = true;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t bitsPerPixel = 8;
    bool accepts(const BITMAPINFOHEADER& header) const;
};

// The stored width rounded up to a multiple of 4, in 32-bit arithmetic.
std::int32_t roundedWidth(std::int32_t width);

// Magnitude of a stored height.
std::uint32_t heightMagnitude(std::int32_t height);

}  // namespace tamra::emulator
