// tamra-frames: writes the frames a build composes from the generated sample tree, as the
// reference another build of the library (the Windows DLL) is compared with.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>

#include "FrameRecord.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: tamra-frames <tree folder> <recording file>\n");
        return 2;
    }
    try {
        std::filesystem::remove_all(argv[1]);
        const std::string text = tamra_frames::recordSampleTree(argv[1]);
        std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
        if (!(out << text)) throw std::runtime_error(std::string("cannot write ") + argv[2]);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "tamra-frames: %s\n", error.what());
        return 1;
    }
    std::printf("tamra-frames: wrote %s\n", argv[2]);
    return 0;
}
