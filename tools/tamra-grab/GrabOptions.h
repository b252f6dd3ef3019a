// tamra-grab: the command line, parsed into one plain record.
#pragma once

#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

#include <tamra/Tamra.h>

#include "LineTools.h"

namespace CLI {
class App;
}

namespace tamra_grab {

enum class TriggerMode { Demo, Software, External, FreeRun };

struct GrabOptions {
    std::string folder;  // empty: a generated sample tree in a temporary folder
    TriggerMode mode = TriggerMode::Demo;
    std::uint32_t frames = 0;  // 0: the mode's default
    double seconds = 0.0;      // 0: the mode's default
    double rate = 0.0;         // triggers per second; 0: each after the previous frame arrived
    unsigned int delayMs = 33;
    std::uint32_t width = 0;  // 0: from the first image
    std::uint32_t height = 0;
    IFW_IMAGE_COLOR_TYPE color = IFW_IMAGE_COLOR_MONO8;
    int cameras = 0;            // 0: what the colour layout implies
    std::uint32_t buffers = 0;  // 0: the grab's default
    unsigned int slowMs = 0;
    std::string saveFolder;
    std::string contactSheet;
    std::string jsonFile;  // "-": standard output
    std::string progress = "auto";
    std::string keepSamples;       // write the generated sample tree here and keep it
    bool noConvert = false;        // play the folder as it is, even with images the library skips
    std::uint32_t records = 1000;  // frame records kept for the JSON
    bool mirror = false;
    bool flip = false;
    std::uint32_t rotate = 0;
    std::uint32_t tilesH = 1;
    std::uint32_t tilesV = 1;
    tamra::tools::LineOptions line;  // the line engineer's checks (LineTools.h)

    bool transforms() const { return mirror || flip || rotate % 360 != 0 || tilesH * tilesV > 1; }
    nlohmann::json toJson() const;
};

// Registers every option on the application; CLI11 checks types and ranges.
void addGrabOptions(CLI::App& app, GrabOptions& options);
// A run length or rate without a trigger mode asks for software triggers.
void settleMode(GrabOptions& options);
// Checks what the option parser cannot: returns an empty string or the problem.
std::string checkGrabOptions(const GrabOptions& options);
// Checks that every output can be written before anything runs: an empty string or the problem.
// Creates the --save folder.
std::string checkOutputPaths(const GrabOptions& options);

const char* modeName(TriggerMode mode);
const char* colorName(IFW_IMAGE_COLOR_TYPE color);

}  // namespace tamra_grab
