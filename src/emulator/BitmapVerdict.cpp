// Emulator bitmap files: the rule that decides whether a file plays, with its reason in words.
#include "emulator/BitmapVerdict.h"

#include <cstdarg>

#include "platform/FileSystem.h"

namespace tamra::emulator {

namespace {

using platform::kMaxBitmapDimension;

constexpr std::uint32_t kMaskBytes = 12;
constexpr std::uint32_t kPaletteEntryBytes = 4;
constexpr std::uint32_t kMaxPaletteEntries = 256;
constexpr std::uint32_t kCompressionRle8 = 1;
constexpr std::uint32_t kCompressionRle4 = 2;
constexpr std::uint32_t kCompressionJpeg = 4;
constexpr std::uint32_t kCompressionPng = 5;
constexpr std::uint32_t kCompressionAlphaBitFields = 6;

unsigned long long widen(std::uint64_t value) {
    return static_cast<unsigned long long>(value);
}

std::uint32_t readLittle32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}

Verdict headerVerdict(HeaderRead read, const char* path) {
    switch (read) {
        case HeaderRead::Complete:
            return Verdict{};
        case HeaderRead::NotBitmap:
            return refused("not a bitmap: the file does not start with \"BM\"");
        case HeaderRead::ShortInfoHeader:
            return refused("the file ends inside the 40-byte information header");
        case HeaderRead::ShortFileHeader:
            break;
    }
    // A folder opens like a file on some systems; its first read fails.
    if (path != nullptr && platform::isDirectory(path)) return refused("not a regular file");
    return refused("the file ends inside the 14-byte file header");
}

const char* headerName(std::uint32_t size) {
    switch (size) {
        case 12:
            return "OS/2 core header";
        case 16:
        case 64:
            return "OS/2 2.x header";
        case 52:
            return "BITMAPV2 header";
        case 56:
            return "BITMAPV3 header";
        case 108:
            return "BITMAPV4 header";
        case 124:
            return "BITMAPV5 header";
        default:
            return "information header";
    }
}

Verdict depthVerdict(std::uint16_t bits) {
    if (bits == 1 || bits == 2 || bits == 4) {
        return refused("%u-bit palette images are not played", unsigned{bits});
    }
    if (bits == 0) return refused("0 bits per pixel (an embedded JPEG or PNG image) is not played");
    return refused("%u bits per pixel are not played", unsigned{bits});
}

Verdict compressionVerdict(std::uint32_t compression, std::uint16_t bits) {
    switch (compression) {
        case kCompressionRle8:
            return refused("RLE8 compression is not played");
        case kCompressionRle4:
            return refused("RLE4 compression is not played");
        case kCompressionBitFields:
            return refused("bit fields at %u bits are not played (only at 16 and 32 bits)",
                           unsigned{bits});
        case kCompressionJpeg:
            return refused("embedded JPEG images are not played");
        case kCompressionPng:
            return refused("embedded PNG images are not played");
        case kCompressionAlphaBitFields:
            return refused("alpha bit fields are not played");
        default:
            return refused("compression type %u is not played", unsigned{compression});
    }
}

// 8, 16, 24 or 32 bits, uncompressed (or bit fields at 16 and 32 bits), a palette of at most
// 256 entries, and sizes the raster layer can hold. Packed 1- to 4-bit rows and run-length or
// embedded-image compression are among what is refused.
Verdict layoutVerdict(const BITMAPINFOHEADER& info, std::int32_t storedWidth) {
    const std::uint16_t bits = info.biBitCount;
    if (bits != 8 && bits != 16 && bits != 24 && bits != 32) return depthVerdict(bits);
    const bool bitFields =
        info.biCompression == kCompressionBitFields && (bits == 16 || bits == 32);
    if (info.biCompression != kCompressionNone && !bitFields) {
        return compressionVerdict(info.biCompression, bits);
    }
    if (storedWidth <= 0) return refused("width %d is not played", storedWidth);
    if (static_cast<std::uint32_t>(storedWidth) > kMaxBitmapDimension - 3) {
        return refused("width %d is more than the %u pixels played", storedWidth,
                       kMaxBitmapDimension - 3);
    }
    const std::uint32_t height = heightMagnitude(info.biHeight);
    if (height == 0) return refused("height 0 is not played");
    if (height > kMaxBitmapDimension) {
        return refused("height %u is more than the %u rows played", height, kMaxBitmapDimension);
    }
    if (info.biClrUsed > kMaxPaletteEntries) {
        return refused("a palette of %u entries is more than the 256 played", info.biClrUsed);
    }
    return Verdict{};
}

// Bit-field files keep their three masks right after the information header.
Verdict maskVerdict(std::FILE* file, BitmapLayout& layout) {
    std::uint8_t masks[kMaskBytes];
    if (std::fseek(file, static_cast<long>(kFileHeaderBytes + kInfoHeaderBytes), SEEK_SET) != 0 ||
        std::fread(masks, 1, kMaskBytes, file) != kMaskBytes) {
        return refused("the file ends inside the bit-field masks");
    }
    layout.masks = {readLittle32(masks), readLittle32(masks + 4), readLittle32(masks + 8)};
    // All-zero masks would read as the default layout, which is not what the file says.
    if (layout.masks.isDefault()) return refused("the bit-field masks are all zero");
    if (!platform::validChannelMasks(layout.masks, layout.info.biBitCount)) {
        return refused("bit-field masks %08X %08X %08X are not three separate runs of bits",
                       layout.masks.red, layout.masks.green, layout.masks.blue);
    }
    return Verdict{};
}

// Where the palette and the pixels lie: the palette (read for 8-bit files) ends within the file,
// and the pixel data starts after the headers, masks and declared palette and ends within it.
Verdict extentVerdict(std::FILE* file, BitmapLayout& layout) {
    const BITMAPINFOHEADER& info = layout.info;
    if (std::fseek(file, 0, SEEK_END) != 0) return refused("the file size cannot be read");
    const long end = std::ftell(file);
    if (end < 0) return refused("the file size cannot be read");
    const auto size = static_cast<std::uint64_t>(end);
    const bool bitFields = info.biCompression == kCompressionBitFields;
    const std::uint64_t headers =
        kFileHeaderBytes + kInfoHeaderBytes + (bitFields ? kMaskBytes : 0);
    const std::uint64_t tables = headers + std::uint64_t{kPaletteEntryBytes} * info.biClrUsed;
    layout.paletteEntries = info.biBitCount == 8 && !bitFields ? info.biClrUsed : 0;
    if (layout.paletteEntries > 0 && tables > size) {
        return refused("the palette of %u entries runs %llu bytes past the end of the file",
                       layout.paletteEntries, widen(tables - size));
    }
    const std::uint32_t offset = layout.fileHeader.pixelOffset;
    if (offset < tables) {
        return refused("pixel data at byte %u overlaps the headers, masks and palette (%llu bytes)",
                       offset, widen(tables));
    }
    layout.fileRowBytes =
        platform::paddedRowBytes(static_cast<std::uint32_t>(layout.storedWidth), info.biBitCount);
    layout.pixelBytes = layout.fileRowBytes * heightMagnitude(info.biHeight);
    const std::uint64_t pixelEnd = std::uint64_t{offset} + layout.pixelBytes;
    if (pixelEnd > size) return refused("pixel data ends %llu bytes early", widen(pixelEnd - size));
    return Verdict{};
}

}  // namespace

Verdict refused(const char* format, ...) {
    Verdict verdict;
    verdict.plays = false;
    std::va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(verdict.reason, sizeof verdict.reason, format, arguments);
    va_end(arguments);
    return verdict;
}

Verdict openBitmap(const char* path, File& file) {
    if (path == nullptr || path[0] == '\0') return refused("no file name");
    file.reset(platform::openFile(path, "rb"));
    if (file) return Verdict{};
    if (!platform::pathExists(path)) return refused("file not found");
    if (platform::isDirectory(path)) return refused("not a regular file");
    return refused("the file cannot be opened for reading");
}

Verdict examineBitmap(std::FILE* file, const char* path, const ConformRule& rule,
                      BitmapLayout& layout) {
    BITMAPINFOHEADER& info = layout.info;
    Verdict verdict = headerVerdict(readHeaders(file, &layout.fileHeader, info), path);
    if (!verdict.plays) return verdict;
    layout.storedWidth = info.biWidth;
    info.biWidth = roundedWidth(layout.storedWidth);
    verdict = conformVerdict(rule, info);
    if (!verdict.plays) return verdict;
    const std::uint32_t bytesPerPixel = (info.biBitCount + 7u) / 8u;
    info.biSizeImage =
        heightMagnitude(info.biHeight) * static_cast<std::uint32_t>(info.biWidth) * bytesPerPixel;
    if (info.biSize != kInfoHeaderBytes) {
        return refused("%s (%u bytes) is refused", headerName(info.biSize), info.biSize);
    }
    verdict = layoutVerdict(info, layout.storedWidth);
    if (!verdict.plays) return verdict;
    if (info.biCompression == kCompressionBitFields) {
        verdict = maskVerdict(file, layout);
        if (!verdict.plays) return verdict;
    }
    return extentVerdict(file, layout);
}

Verdict conformVerdict(const ConformRule& rule, const BITMAPINFOHEADER& header) {
    if (rule.accepts(header)) return Verdict{};
    return refused(
        "the file is %d x %d at %u bits, the grab %u x %u at %u bits, and conforming "
        "is off",
        header.biWidth, header.biHeight, unsigned{header.biBitCount}, rule.width, rule.height,
        rule.bitsPerPixel);
}

}  // namespace tamra::emulator
