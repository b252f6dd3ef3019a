// Example helper: writes the bitmap files the emulator plays, 8-bit grey with a 40-byte header.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace example {

inline void putLittleEndian(std::vector<unsigned char>& bytes, std::uint32_t value, int size) {
    for (int i = 0; i < size; ++i) bytes.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

// pixel(x, y) gives the grey level of column x, row y (row 0 at the top). Without a palette,
// an 8-bit file is read through the identity grey ramp, so a level is the frame's byte value.
template <typename Pixel>
bool writeGreyBitmap(const std::string& path, int width, int height, Pixel pixel) {
    const int rowBytes = (width + 3) / 4 * 4;  // rows are padded to 4 bytes
    std::vector<unsigned char> bytes;
    bytes.push_back('B');
    bytes.push_back('M');
    putLittleEndian(bytes, 14 + 40 + rowBytes * height, 4);  // file size
    putLittleEndian(bytes, 0, 4);                            // reserved
    putLittleEndian(bytes, 14 + 40, 4);                      // pixel data offset
    putLittleEndian(bytes, 40, 4);                           // information header size
    putLittleEndian(bytes, static_cast<std::uint32_t>(width), 4);
    putLittleEndian(bytes, static_cast<std::uint32_t>(height), 4);  // positive: bottom row first
    putLittleEndian(bytes, 1, 2);                                   // planes
    putLittleEndian(bytes, 8, 2);                                   // bits per pixel
    for (int field = 0; field < 6; ++field) putLittleEndian(bytes, 0, 4);  // no palette
    for (int y = height - 1; y >= 0; --y) {
        for (int x = 0; x < rowBytes; ++x) {
            bytes.push_back(x < width ? static_cast<unsigned char>(pixel(x, y)) : 0);
        }
    }
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

inline bool writeFlatBitmap(const std::string& path, int width, int height, int level) {
    return writeGreyBitmap(path, width, height, [level](int, int) { return level; });
}

}  // namespace example
