// Test helpers for the image tests: temporary trees, file surgery, the frames the loading and
// composition rules predict for a sample picture, and frame patterns for the
// transforms. Public headers only.
#pragma once

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <tamra/Tamra.h>

#include "samplegen/SampleTree.h"

namespace images_test {

namespace fs = std::filesystem;
using tamra::samples::Picture;
using tamra::samples::Rgb;

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
public:
    explicit TempDir(const std::string& tag) {
        // Test processes run side by side: the name must not depend on this process alone.
        std::random_device entropy;
        const std::uint64_t unique = (std::uint64_t{entropy()} << 32) ^ entropy();
        path_ = fs::temp_directory_path() / ("tamra-images-" + tag + "-" + std::to_string(unique));
        fs::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    const fs::path& path() const { return path_; }
    std::string str() const { return path_.string(); }
    // relative is written with '/'; the path comes back with the native separator, as the
    // emulator composes it.
    std::string file(const std::string& relative) const {
        return (path_ / relative).make_preferred().string();
    }

private:
    fs::path path_;
};

inline tamra::samples::TreeOptions treeOptions(std::uint32_t width, std::uint32_t height,
                                               int cameras) {
    tamra::samples::TreeOptions options;
    options.width = width, options.height = height, options.cameras = cameras;
    return options;
}

// Makes a folder the current directory until the end of the scope.
class CurrentDirectory {
public:
    explicit CurrentDirectory(const fs::path& folder) : previous_(fs::current_path()) {
        fs::current_path(folder);
    }
    ~CurrentDirectory() {
        std::error_code ignored;
        fs::current_path(previous_, ignored);
    }

private:
    fs::path previous_;
};

inline std::vector<std::uint8_t> readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

inline void writeBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

// Little-endian field of `bytes` (2 or 4 bytes) at `at`.
inline void put(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value,
                int width = 4) {
    for (int i = 0; i < width; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// Grey level nearest a colour on the 256-level ramp, by search (lowest level on a tie).
inline std::uint8_t greyBySearch(Rgb colour) {
    static std::map<std::uint32_t, std::uint8_t> memo;
    const auto key = static_cast<std::uint32_t>(colour.r << 16 | colour.g << 8 | colour.b);
    if (const auto found = memo.find(key); found != memo.end()) return found->second;
    int best = 0;
    long bestDistance = -1;
    for (int level = 0; level < 256; ++level) {
        const long dr = colour.r - level, dg = colour.g - level, db = colour.b - level;
        const long distance = dr * dr + dg * dg + db * db;
        if (bestDistance < 0 || distance < bestDistance) bestDistance = distance, best = level;
    }
    return memo[key] = static_cast<std::uint8_t>(best);
}

// The picture as the loader sees a sample file: its width rounded up to a multiple of 4, the
// added columns holding what the file's row padding and a zeroed bitmap give (index 0 for an
// 8-bit file: the last sample colour with a palette, black without; black for the others).
inline Picture loaderView(const tamra::samples::TreeEntry& entry) {
    const Picture stored = entry.stored();
    const bool paletted = entry.layout.bitsPerPixel == 8 && entry.layout.palette;
    Picture view((stored.width() + 3) / 4 * 4, stored.height(),
                 paletted ? tamra::samples::samplePalette().back() : Rgb{0, 0, 0});
    for (std::uint32_t y = 0; y < stored.height(); ++y) {
        for (std::uint32_t x = 0; x < stored.width(); ++x) view.set(x, y, stored.at(x, y));
    }
    return view;
}

// Frame bytes predicted for a picture drawn onto width x height at 1, 3 or 4 bytes per pixel:
// destination pixel (x, y) reads picture pixel (floor(x W / width), floor(y H / height)).
inline std::vector<std::uint8_t> expectedPlane(const Picture& picture, std::uint32_t width,
                                               std::uint32_t height, std::uint32_t bytesPerPixel) {
    std::vector<std::uint8_t> plane(std::size_t{width} * height * bytesPerPixel, 0);
    for (std::uint32_t y = 0; y < height; ++y) {
        const auto sy = static_cast<std::uint32_t>(std::uint64_t{y} * picture.height() / height);
        for (std::uint32_t x = 0; x < width; ++x) {
            const auto sx = static_cast<std::uint32_t>(std::uint64_t{x} * picture.width() / width);
            const Rgb colour = picture.at(sx, sy);
            std::uint8_t* p = &plane[(std::size_t{y} * width + x) * bytesPerPixel];
            const std::uint8_t bgr[] = {colour.b, colour.g, colour.r};
            bytesPerPixel == 1 ? void(p[0] = greyBySearch(colour)) : void(std::copy_n(bgr, 3, p));
        }
    }
    return plane;
}

// The substitute pattern of one plane for frame counter n, straight from its definition.
inline std::vector<std::uint8_t> expectedPattern(std::uint32_t width, std::uint32_t height,
                                                 std::uint32_t bytesPerPixel, std::uint32_t n) {
    std::vector<std::uint8_t> plane;
    const std::uint64_t shift = std::uint64_t{static_cast<std::uint32_t>(n * 10u)} / bytesPerPixel;
    for (std::uint64_t r = 0; r < height; ++r) {
        for (std::uint64_t c = 0; c < width; ++c) {
            for (std::uint64_t b = 0; b < bytesPerPixel; ++b) {
                plane.push_back(
                    static_cast<std::uint8_t>((bytesPerPixel + b) * (r + c + shift) % 256));
            }
        }
    }
    return plane;
}

// Index of the first differing byte, or -1.
inline long firstDifference(const std::uint8_t* frame, const std::vector<std::uint8_t>& expected) {
    for (std::size_t i = 0; i < expected.size(); ++i) {
        if (frame[i] != expected[i]) return static_cast<long>(i);
    }
    return -1;
}

// Byte b of pixel (x, y) of camera image c: varied enough that a misplaced byte shows.
inline std::uint8_t patternByte(std::uint32_t x, std::uint32_t y, std::uint32_t b,
                                std::uint32_t c = 0) {
    return static_cast<std::uint8_t>(x * 31 + y * 17 + b * 101 + c * 53 + ((x * y) >> 3) + 1);
}

// A frame of `cameras` images of w x h pixels of bpp bytes, one after another.
inline std::vector<std::uint8_t> patternFrame(std::uint32_t w, std::uint32_t h, std::uint32_t bpp,
                                              std::uint32_t cameras = 1) {
    std::vector<std::uint8_t> frame;
    for (std::uint32_t c = 0; c < cameras; ++c) {
        for (std::uint32_t y = 0; y < h; ++y) {
            for (std::uint32_t x = 0; x < w; ++x) {
                for (std::uint32_t b = 0; b < bpp; ++b) frame.push_back(patternByte(x, y, b, c));
            }
        }
    }
    return frame;
}

}  // namespace images_test
