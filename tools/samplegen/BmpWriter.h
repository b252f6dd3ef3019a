// Tamra sample images: writing pictures as bitmap files of several layouts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "samplegen/Picture.h"

namespace tamra::samples {

// How a picture is stored in a file. All layouts use the 14-byte file header and the 40-byte
// information header, uncompressed rows padded with zeros to 4 bytes.
struct BmpLayout {
    // 8: palette indices; 16: 5-5-5; 24: blue, green, red; 32: blue, green, red, 0.
    std::uint16_t bitsPerPixel = 24;
    // 8 bits only: with the sample palette (stored in reverse order, so an index is not a grey
    // level), or without a palette, the index then being the grey level of the pixel.
    bool palette = true;
    // Negative height in the header, first row at the top.
    bool topDown = false;
};

// Grey level a reader matching colours to a 256-entry grey ramp gives: the ramp entry nearest in
// squared RGB distance, lowest index on a tie.
std::uint8_t nearestGrey(Rgb colour);

// The picture as the file holds it: unchanged, except for 8 bits without a palette, where each
// pixel becomes its grey level.
Picture storedPicture(const Picture& picture, const BmpLayout& layout);

// Header fields are little-endian whatever the host; the buffer must already hold them.
void putLittleEndian16(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t value);
void putLittleEndian32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t value);

std::vector<std::uint8_t> encodeBmp(const Picture& picture, const BmpLayout& layout);
bool writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes);
bool writeBmp(const std::string& path, const Picture& picture, const BmpLayout& layout);

}  // namespace tamra::samples
