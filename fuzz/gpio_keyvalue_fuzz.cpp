// Fuzz target: the key=value file tamra-grab --gpio-load reads, applied to an emulator's GPIO
// records. A malformed file is refused with a reason; nothing may crash.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

#include <tamra/Tamra.h>

#include "tamra-grab/LineTools.h"

namespace {

namespace fs = std::filesystem;

void removeFile();

// Never destroyed, so the exit handler that removes the file can still name it.
const std::string& filePath() {
    static const std::string* path = [] {
        auto* made = new std::string(
            (fs::temp_directory_path() / ("tamra-fuzz-gpio-" + std::to_string(getpid()) + ".txt"))
                .string());
        std::atexit(removeFile);
        return made;
    }();
    return *path;
}

void removeFile() {
    std::error_code ignored;
    fs::remove(filePath(), ignored);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    {
        std::ofstream file(filePath(), std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    static CIGrabEmu grab;
    tamra::tools::KeyValueFileStore store;
    std::string problem;
    if (!store.load(filePath(), &problem)) {
        if (problem.empty()) std::abort();  // a refusal always says why
        return 0;
    }
    grab.LoadStorage(&store);
    // The records the file set are saved again in full, whatever the file held.
    tamra::tools::KeyValueFileStore saved;
    grab.SaveStorage(&saved);
    if (saved.size() == 0) std::abort();
    (void)store.unusedKeys();
    return 0;
}
