// Emulator bitmap files: the rule that decides whether a file plays, with its reason in words.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include <tamra/PlatformTypes.h>

#include "emulator/BitmapFile.h"
#include "platform/raster/Bitmap.h"

namespace tamra::emulator {

inline constexpr std::size_t kReasonChars = 128;

// Whether a file plays and, when it does not, why. Fixed-size, so that deciding allocates
// nothing on the frame path.
struct Verdict {
    bool plays = true;
    char reason[kReasonChars] = {};
};

// The format check of printf-like functions; MinGW names the printf its headers chose.
#if defined(__MINGW32__)
#define TAMRA_PRINTF_LIKE __attribute__((format(__MINGW_PRINTF_FORMAT, 1, 2)))
#elif defined(__GNUC__)
#define TAMRA_PRINTF_LIKE __attribute__((format(printf, 1, 2)))
#else
#define TAMRA_PRINTF_LIKE
#endif

// A refusal whose reason is formatted like printf, cut to kReasonChars - 1 characters.
Verdict refused(const char* format, ...) TAMRA_PRINTF_LIKE;

// The file as the loader reads it, filled in by examineBitmap as far as the checks went.
struct BitmapLayout {
    BitmapFileHeader fileHeader;
    BITMAPINFOHEADER info{};  // width rounded up to a multiple of 4, biSizeImage to match
    std::int32_t storedWidth = 0;
    platform::ChannelMasks masks;      // bit-field files only
    std::uint32_t paletteEntries = 0;  // 8-bit files: entries read after the headers
    std::size_t fileRowBytes = 0;
    std::size_t pixelBytes = 0;
};

// Opens a file for reading. The reasons tell an empty name, a missing file and one that
// cannot be opened apart.
Verdict openBitmap(const char* path, File& file);

// Every check the loader makes before it reads a pixel, in its order: the "BM" type and both
// headers are there, the header passes the conform rule (width rounded up to a multiple of 4),
// the header is 40 bytes, the layout is one the loader reads (8, 16, 24 or 32 bits,
// uncompressed or 16/32-bit bit fields with usable masks, at most 256 palette entries, sizes
// the raster layer holds), the palette lies in the file, and the pixel data starts at or after
// the end of the headers, palette and masks and ends within the file. path only serves the
// reason when the stream is a folder. Leaves the stream at an unspecified position.
Verdict examineBitmap(std::FILE* file, const char* path, const ConformRule& rule,
                      BitmapLayout& layout);

// The conform test with its reason: header is compared as given (the loader rounds its width
// first, the folder scan does not).
Verdict conformVerdict(const ConformRule& rule, const BITMAPINFOHEADER& header);

}  // namespace tamra::emulator
