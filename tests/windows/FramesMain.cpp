// tamra-frames: writes the frames a build composes from the generated sample tree, as the
// reference another build of the library (the Windows DLL) is compared with.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>

#include "FrameRecord.h"

int main(int argc, char** argv) {
    if (argc != 3) return std::fprintf(stderr, "usage: tamra-frames <tree> <recording>\n"), 2;
    try {
        std::filesystem::remove_all(argv[1]);
        if (std::ofstream(argv[2], std::ios::binary) << tamra_frames::recordSampleTree(argv[1]))
            return std::printf("tamra-frames: wrote %s\n", argv[2]), 0;
        std::fprintf(stderr, "tamra-frames: cannot write %s\n", argv[2]);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "tamra-frames: %s\n", error.what());
    }
    return 1;
}
