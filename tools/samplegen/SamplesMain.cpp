// tamra-samples: writes a deterministic tree of synthetic inspection images into a folder.
#include <cstdio>
#include <exception>
#include <string>

#include <CLI/CLI.hpp>

#include "samplegen/SampleTree.h"

int main(int argc, char** argv) {
    CLI::App app{"Writes a folder tree of synthetic inspection bitmaps for the camera emulator"};
    std::string root;
    tamra::samples::TreeOptions options;
    app.add_option("folder", root, "Folder to write the tree into")->required();
    app.add_option("--width", options.width, "Image width in pixels")
        ->check(CLI::Range(8u, 16384u));
    app.add_option("--height", options.height, "Image height in pixels")
        ->check(CLI::Range(8u, 16384u));
    app.add_option("--cameras", options.cameras, "Number of cameras (1 to 8)")
        ->check(CLI::Range(1, 8));
    bool uniform = false;
    app.add_flag("--no-narrow", uniform, "Leave out the file two pixels narrower than the rest");
    CLI11_PARSE(app, argc, argv);
    options.narrowFile = !uniform;
    try {
        const auto entries = tamra::samples::writeSampleTree(root, options);
        std::printf("%zu files written under %s\n", entries.size(), root.c_str());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "tamra-samples: %s\n", error.what());
        return 1;
    }
    return 0;
}
