// Frames the emulator composes from a generated sample tree, as text that two builds of the
// library (Linux and Windows) can compare: one line per frame, with its size and a hash.
#pragma once

#include <cstdint>
#include <sstream>
#include <string>

#include "samplegen/SampleTree.h"
#include "support/EmulatorFrames.h"

namespace tamra_frames {

// Writes the sample tree under root and plays it in every configuration. Throws
// std::runtime_error when the tree cannot be written or a configuration cannot be played.
inline std::string recordSampleTree(const std::string& root) {
    tamra::samples::TreeOptions options;
    options.width = 96;
    options.height = 64;
    options.cameras = 2;
    tamra::samples::writeSampleTree(root, options);
    // Each colour layout once; sizes that keep, shrink (odd, with padded rows) and enlarge the
    // files. The tree has two cameras, so the third plane of the planar layout is the
    // missing-file pattern. Eleven frames serve every list once and the first files again.
    const struct {
        const char* name;
        tamra::testing::EmulatorPlay play;
    } configurations[] = {
        {"mono8-2cams-native", {IFW_IMAGE_COLOR_MONO8, 2}},
        {"color24-2cams-61x47", {IFW_IMAGE_COLOR_COLOR24, 2, 61, 47}},
        {"color32-1cam-150x100", {IFW_IMAGE_COLOR_COLOR32, 1, 150, 100}},
        {"planes-3planes-native", {IFW_IMAGE_COLOR_PLANES, 0}},
    };
    std::ostringstream text;
    for (const auto& c : configurations) {
        const auto frames = tamra::testing::playEmulator(root, c.play, 11);
        for (std::size_t f = 0; f < frames.size(); ++f) {
            std::uint64_t hash = 14695981039346656037ull;  // FNV-1a: any changed byte shows
            for (const std::uint8_t byte : frames[f]) hash = (hash ^ byte) * 1099511628211ull;
            text << c.name << " frame " << f << ": " << frames[f].size() << " bytes, hash "
                 << std::hex << hash << std::dec << '\n';
        }
    }
    return text.str();
}

}  // namespace tamra_frames
