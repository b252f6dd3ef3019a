// Frames composed from a generated sample tree as text two builds can compare: size and hash.
#pragma once

#include <cstdint>
#include <sstream>
#include <string>
#include <utility>

#include "samplegen/SampleTree.h"
#include "support/EmulatorFrames.h"

namespace tamra_frames {

// Writes the sample tree under root and plays it in every configuration; throws when it cannot.
inline std::string recordSampleTree(const std::string& root) {
    tamra::samples::TreeOptions options;
    options.width = 96;
    options.height = 64;
    options.cameras = 2;
    tamra::samples::writeSampleTree(root, options);
    // Each colour layout; sizes that keep, shrink (odd: padded rows) and enlarge the files; the
    // third plane of two cameras is the missing-file pattern; eleven frames wrap every list.
    const std::pair<const char*, tamra::testing::EmulatorPlay> configurations[] = {
        {"mono8-2cams-native", {IFW_IMAGE_COLOR_MONO8, 2}},
        {"color24-2cams-61x47", {IFW_IMAGE_COLOR_COLOR24, 2, 61, 47}},
        {"color32-1cam-150x100", {IFW_IMAGE_COLOR_COLOR32, 1, 150, 100}},
        {"planes-3planes-native", {IFW_IMAGE_COLOR_PLANES, 0}},
    };
    std::ostringstream text;
    for (const auto& [name, play] : configurations) {
        const auto frames = tamra::testing::playEmulator(root, play, 11);
        for (std::size_t f = 0; f < frames.size(); ++f) {
            std::uint64_t hash = 14695981039346656037ull;  // FNV-1a: any changed byte shows
            for (const std::uint8_t byte : frames[f]) hash = (hash ^ byte) * 1099511628211ull;
            text << name << " frame " << f << ": " << frames[f].size() << " bytes, hash "
                 << std::hex << hash << std::dec << '\n';
        }
    }
    return text.str();
}

}  // namespace tamra_frames
