// tamra-grab: a folder of PNG, JPEG, TIFF or any-header BMP files turned into a tree of the
// bitmaps the emulator plays (40-byte header, uncompressed), once, and cached.
#pragma once

#include <cstdint>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace tamra_grab {

// One image file of the source tree and what became of it.
struct ConvertedFile {
    std::string source;
    std::string target;  // empty when nothing was written
    enum class Action { Copied, Converted, Skipped } action = Action::Copied;
    std::string note;  // why a file was converted or skipped
};

struct Conversion {
    std::string tree;     // the tree to play
    bool reused = false;  // found in the cache
    std::vector<ConvertedFile> files;
    std::string error;  // empty on success
    nlohmann::json toJson() const;
    void print(std::ostream& out) const;
};

// Whether this build decodes PNG, JPEG and TIFF.
bool decodersAvailable();

// Whether playing the folder as it is would miss images: an image that is not a bitmap, or a
// bitmap with a header or layout the emulator does not read, in a folder the emulator reads.
// The reason names the first such file.
bool needsConversion(const std::filesystem::path& root, int cameras, std::string* reason);

// Writes the converted tree into target, which must not exist or be empty. Same camera and set
// folders; files named NNNN_<name>.bmp, numbered in the source's numeric name order, so the
// emulator plays them in that order. Bitmaps the emulator reads are copied unchanged; a file no
// decoder reads is skipped, except a bitmap, which is copied so that it still plays as the
// stand-in pattern in its place.
Conversion convertTree(const std::filesystem::path& source, const std::filesystem::path& target,
                       int cameras);

// convertTree into a cache folder keyed by the source's path, names, sizes and times: reused
// while the source is unchanged.
Conversion convertCached(const std::filesystem::path& source, int cameras);

}  // namespace tamra_grab
