// tamra-grab: the command line.
#include "GrabOptions.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>

#include <CLI/CLI.hpp>

namespace tamra_grab {
namespace {

// Names as the command line takes them; CLI11 checks membership, these maps translate.
const std::map<std::string, TriggerMode> kModes = {{"software", TriggerMode::Software},
                                                   {"external", TriggerMode::External},
                                                   {"free", TriggerMode::FreeRun}};

const std::map<std::string, IFW_IMAGE_COLOR_TYPE> kColors = {{"mono8", IFW_IMAGE_COLOR_MONO8},
                                                             {"planes", IFW_IMAGE_COLOR_PLANES},
                                                             {"rgb24", IFW_IMAGE_COLOR_COLOR24},
                                                             {"rgb32", IFW_IMAGE_COLOR_COLOR32}};

void addRunOptions(CLI::App& app, GrabOptions& options) {
    app.add_option("folder", options.folder,
                   "Image folder tree to play (default: a sample tree generated in a temporary "
                   "folder)")
        ->check(CLI::ExistingDirectory);
    app.add_option_function<std::string>(
           "--trigger", [&options](const std::string& name) { options.mode = kModes.at(name); },
           "software, external or free (default: 200 software-triggered frames, then 2 s of free "
           "run)")
        ->check(CLI::IsMember({"software", "external", "free"}));
    app.add_option("--frames", options.frames,
                   "Frames to trigger, or in free run frames to wait for")
        ->check(CLI::Range(1u, 10000000u));
    app.add_option("--duration", options.seconds, "Length of the run in seconds")
        ->check(CLI::Range(0.001, 86400.0));
    app.add_option("--rate", options.rate,
                   "Triggers per second; 0 (default) triggers each time the previous frame "
                   "arrived")
        ->check(CLI::Range(0.0, 100000.0));
    app.add_option("--delay", options.delayMs,
                   "Free-run pause after each frame in ms (the emulator's minimum is 33)")
        ->capture_default_str()
        ->check(CLI::Range(0u, 3600000u));
    app.add_option("--slow", options.slowMs,
                   "Time the client spends in each frame callback, in ms, to show overruns")
        ->check(CLI::Range(0u, 60000u));
}

void addImageOptions(CLI::App& app, GrabOptions& options) {
    const char* group = "Image";
    app.add_option("--width", options.width, "Image width (default: the first image's)")
        ->check(CLI::Range(32u, 16384u))
        ->group(group);
    app.add_option("--height", options.height, "Image height (default: the first image's)")
        ->check(CLI::Range(32u, 16384u))
        ->group(group);
    app.add_option_function<std::string>(
           "--color", [&options](const std::string& name) { options.color = kColors.at(name); },
           "mono8, planes, rgb24 or rgb32")
        ->check(CLI::IsMember({"mono8", "planes", "rgb24", "rgb32"}))
        ->group(group);
    app.add_option("--cameras", options.cameras, "Number of cameras, 1 to 8")
        ->check(CLI::Range(1, 8))
        ->group(group);
    app.add_option("--buffers", options.buffers, "Ring buffer count, at least 2")
        ->check(CLI::Range(2u, 256u))
        ->group(group);
    app.add_flag("--mirror", options.mirror, "Mirror each delivered frame left to right")
        ->group(group);
    app.add_flag("--flip", options.flip, "Flip each delivered frame top to bottom")->group(group);
    app.add_option("--rotate", options.rotate, "Rotate each delivered frame clockwise by DEG")
        ->check(CLI::Range(0u, 359u))
        ->group(group);
    app.add_option_function<std::string>(
           "--tiles",
           [&options](const std::string& text) {
               unsigned h = 0, v = 0;
               char tail = 0;
               if (std::sscanf(text.c_str(), "%ux%u%c", &h, &v, &tail) != 2 || h < 1 || v < 1 ||
                   h > 8 || v > 8) {
                   throw CLI::ValidationError("--tiles", "expected HxV, each from 1 to 8");
               }
               options.tilesH = h;
               options.tilesV = v;
           },
           "Tiles per frame as HxV, laid out as a mosaic on delivery")
        ->group(group);
}

void addOutputOptions(CLI::App& app, GrabOptions& options) {
    const char* group = "Output";
    app.add_option("--save", options.saveFolder, "Write each delivered frame as a BMP into DIR")
        ->group(group);
    app.add_option("--contact-sheet", options.contactSheet,
                   "Write the first 16 frames, scaled down, as one BMP file")
        ->group(group);
    app.add_option("--json", options.jsonFile,
                   "Write the summary as JSON to FILE; - writes it to standard output (the text "
                   "summary then goes to standard error)")
        ->group(group);
    app.add_option("--records", options.records,
                   "Frame records (number, slot, time, source files) kept for the JSON")
        ->capture_default_str()
        ->check(CLI::Range(0u, 100000u))
        ->group(group);
    app.add_option("--keep-samples", options.keepSamples,
                   "Without a folder: write the generated sample tree into DIR and keep it")
        ->group(group);
    app.add_flag("--no-convert", options.noConvert,
                 "Play the folder as it is, without converting PNG, JPEG, TIFF or other BMP "
                 "files first")
        ->group(group);
    app.add_option("--progress", options.progress, "auto (on a terminal only), always or never")
        ->check(CLI::IsMember({"auto", "always", "never"}))
        ->capture_default_str()
        ->group(group);
}

}  // namespace

void addGrabOptions(CLI::App& app, GrabOptions& options) {
    addRunOptions(app, options);
    addImageOptions(app, options);
    addOutputOptions(app, options);
    tamra::tools::addLineOptions(app, options.line);
}

void settleMode(GrabOptions& options) {
    if (options.mode == TriggerMode::Demo &&
        (options.frames > 0 || options.seconds > 0.0 || options.rate > 0.0)) {
        options.mode = TriggerMode::Software;
    }
}

std::string checkGrabOptions(const GrabOptions& options) {
    const int cameras = options.cameras > 0 ? options.cameras : 1;
    if (options.tilesH * options.tilesV * static_cast<std::uint32_t>(cameras) > 8) {
        return "cameras x tiles may not exceed 8 planes per frame";
    }
    if (options.mode == TriggerMode::FreeRun && options.rate > 0.0) {
        return "--rate applies to software and external triggers, not to free run";
    }
    if (!options.keepSamples.empty() && !options.folder.empty()) {
        return "--keep-samples applies when no folder is given";
    }
    return {};
}

namespace {

// Whether a file can be made in the folder: a probe file is created and removed.
bool folderWritable(const std::filesystem::path& folder) {
    std::error_code error;
    const std::filesystem::path probe =
        folder / (".tamra-grab-probe-" + std::to_string(std::random_device{}()));
    { std::ofstream(probe).put('x'); }
    const bool made = std::filesystem::exists(probe, error);
    std::filesystem::remove(probe, error);
    return made;
}

std::string checkOutputFile(const char* option, const std::string& file) {
    if (file.empty() || file == "-") return {};
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path path(file);
    if (fs::is_directory(path, error)) return std::string(option) + ": " + file + " is a folder";
    const fs::path parent = path.has_parent_path() ? path.parent_path() : fs::path(".");
    if (!fs::is_directory(parent, error))
        return std::string(option) + ": no folder " + parent.string();
    if (!folderWritable(parent))
        return std::string(option) + ": cannot write into " + parent.string();
    return {};
}

}  // namespace

std::string checkOutputPaths(const GrabOptions& options) {
    std::string problem = checkOutputFile("--json", options.jsonFile);
    if (problem.empty()) problem = checkOutputFile("--contact-sheet", options.contactSheet);
    for (const std::string* folder : {&options.saveFolder, &options.keepSamples}) {
        if (!problem.empty() || folder->empty()) continue;
        const char* option = folder == &options.saveFolder ? "--save" : "--keep-samples";
        std::error_code error;
        std::filesystem::create_directories(*folder, error);
        if (!std::filesystem::is_directory(*folder, error) || !folderWritable(*folder))
            problem = std::string(option) + ": cannot write into " + *folder;
    }
    return problem;
}

const char* modeName(TriggerMode mode) {
    switch (mode) {
        case TriggerMode::Software:
            return "software";
        case TriggerMode::External:
            return "external";
        case TriggerMode::FreeRun:
            return "free";
        default:
            return "demo";
    }
}

const char* colorName(IFW_IMAGE_COLOR_TYPE color) {
    for (const auto& entry : kColors) {
        if (entry.second == color) return entry.first.c_str();
    }
    return "mono8";
}

nlohmann::json GrabOptions::toJson() const {
    return {{"folder", folder.empty() ? nlohmann::json() : nlohmann::json(folder)},
            {"trigger", modeName(mode)},
            {"frames", frames},
            {"duration", seconds},
            {"rate", rate},
            {"delayMs", delayMs},
            {"width", width},
            {"height", height},
            {"color", colorName(color)},
            {"cameras", cameras},
            {"buffers", buffers},
            {"slowMs", slowMs},
            {"save", saveFolder},
            {"contactSheet", contactSheet},
            {"mirror", mirror},
            {"flip", flip},
            {"rotate", rotate},
            {"tiles", std::to_string(tilesH) + "x" + std::to_string(tilesV)}};
}

}  // namespace tamra_grab
