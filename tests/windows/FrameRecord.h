// Frames the emulator composes from a generated sample tree, recorded through the public
// interface so that two builds of the library (Linux and Windows) can be compared byte for byte.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tamra_frames {

// The frames of one way of playing the tree: colour layout, cameras and geometry.
struct Recording {
    std::string name;
    std::vector<std::vector<std::uint8_t>> frames;
};

// Writes the sample tree under root and plays it in every configuration. Throws
// std::runtime_error when the tree cannot be written or a configuration cannot be played.
std::vector<Recording> recordSampleTree(const std::string& root);

// A file of recordings; save throws std::runtime_error when it cannot be written, load when it
// cannot be read or is not such a file.
void saveRecordings(const std::string& file, const std::vector<Recording>& recordings);
std::vector<Recording> loadRecordings(const std::string& file);

// Empty when both hold the same frames; otherwise the first difference, in words.
std::string firstDifference(const std::vector<Recording>& expected,
                            const std::vector<Recording>& actual);

}  // namespace tamra_frames
