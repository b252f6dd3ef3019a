// Fuzz target: ./oem.ini as the OEM branding reads it, through the public path functions. Any
// text must give a path that fits its buffer and is terminated.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

#include <tamra/Tamra.h>

namespace {

namespace fs = std::filesystem;

// The documented capacity of a path buffer.
constexpr std::size_t kPathChars = 260;

// Never destroyed, so the exit handler that removes the folder can still name it.
const fs::path& ownFolder() {
    static const fs::path* made =
        new fs::path(fs::temp_directory_path() / ("tamra-fuzz-oem-" + std::to_string(getpid())));
    return *made;
}

void removeOwnFolder() {
    std::error_code ignored;
    fs::remove_all(ownFolder(), ignored);
}

void enterOwnFolder() {
    static const bool entered = [] {
        fs::create_directories(ownFolder());
        fs::current_path(ownFolder());
        std::atexit(removeOwnFolder);
        return true;
    }();
    (void)entered;
}

template <typename Char>
void requireTerminated(const Char* buffer) {
    for (std::size_t i = 0; i < kPathChars; ++i)
        if (buffer[i] == Char{}) return;
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    enterOwnFolder();
    {
        std::ofstream file("oem.ini", std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    char narrow[kPathChars];
    wchar_t wide[kPathChars];
    CiOS::AppDataPathOnce(narrow, "images", "file.bmp");
    requireTerminated(narrow);
    CiOS::AppDataPathOnce(wide, L"images", L"file.bmp");
    requireTerminated(wide);
    // The cached forms read the same file once per reset.
    CiOS::ResetOEMName();
    CiOS::GetOEMFolderName(L"images");
    CiOS::AppDataPath(narrow, "images", "file.bmp");
    requireTerminated(narrow);
    CiOS::AppDataPath(wide, L"images", L"file.bmp");
    requireTerminated(wide);
    return 0;
}
