// Fuzz target: one bitmap file in a folder, played by the emulator through the public interface
// at two geometries and colour layouts. Whatever the file holds, the frame must come out (the
// picture or the stand-in pattern) without an out-of-bounds access.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

#include <tamra/Observe.h>
#include <tamra/Tamra.h>

namespace {

namespace fs = std::filesystem;

struct Layout {
    std::uint32_t width;
    std::uint32_t height;
    IFW_IMAGE_COLOR_TYPE colour;
};

// An odd width exercises the row rounding; the colour layout takes the other pixel writers.
constexpr Layout kLayouts[] = {{160, 120, IFW_IMAGE_COLOR_MONO8},
                               {61, 47, IFW_IMAGE_COLOR_COLOR24}};

void removeFolder();

// Never destroyed, so the exit handler that removes the folder can still name it.
const fs::path& folder() {
    static const fs::path* path = [] {
        auto* made = new fs::path(fs::temp_directory_path() /
                                  ("tamra-fuzz-bitmap-" + std::to_string(getpid())));
        fs::create_directories(*made);
        std::atexit(removeFolder);
        return made;
    }();
    return *path;
}

void removeFolder() {
    std::error_code ignored;
    fs::remove_all(folder(), ignored);
}

CIGrabEmu& player() {
    static CIGrabEmu* grab = [] {
        auto* made = new CIGrabEmu();
        made->Initialize();
        return made;
    }();
    return *grab;
}

// The loader's verdict in words: always terminated within its buffer, empty exactly when the
// file plays.
void checkVerdict(const Layout& layout, std::uint32_t bytesPerPixel, int conform) {
    char reason[TAMRA_REASON_CHARS];
    std::memset(reason, 'x', sizeof reason);
    const std::string path = (folder() / "fuzzed.bmp").string();
    const int plays = TamraCheckImageFile(path.c_str(), layout.width, layout.height, bytesPerPixel,
                                          conform, reason, sizeof reason);
    if (std::memchr(reason, '\0', sizeof reason) == nullptr) std::abort();
    if ((plays == 1) != (reason[0] == '\0')) std::abort();
}

void playAt(const Layout& layout, std::size_t expectedBytes) {
    CIGrabEmu& grab = player();
    grab.SetImageColor(layout.colour);
    std::string path = folder().string();
    if (grab.EmulateFromNewImagePath(path.data(), layout.width, layout.height) == 0) std::abort();
    const std::uint8_t* frame = grab.GrabSimplified(0);
    if (frame == nullptr) return;
    // Touch every byte of the plane, so a short frame buffer shows up under the sanitizer.
    volatile std::uint8_t sum = 0;
    const std::size_t bytes = std::size_t{grab.GetWidth()} * grab.GetHeight() * grab.GetBytesPP();
    if (bytes < expectedBytes) std::abort();
    for (std::size_t i = 0; i < bytes; ++i) sum = static_cast<std::uint8_t>(sum + frame[i]);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    {
        std::ofstream file(folder() / "fuzzed.bmp", std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    for (const Layout& layout : kLayouts) {
        playAt(layout, std::size_t{layout.width} * layout.height);
        checkVerdict(layout, player().GetBytesPP(), 1);
        checkVerdict(layout, player().GetBytesPP(), 0);
    }
    return 0;
}
