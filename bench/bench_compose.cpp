// Composing one emulator frame from a bitmap file: open, read, stretch and convert, copy into
// the frame slot. Frames per second are the items, frame bytes the bytes processed.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include <tamra/CIGrabEmu.h>

#include "samplegen/SampleTree.h"

namespace {

namespace fs = std::filesystem;
namespace samples = tamra::samples;

// A folder holding one sample file, removed afterwards.
class OneFileFolder {
public:
    OneFileFolder(std::uint32_t width, std::uint32_t height, std::uint16_t bits) {
        path_ = fs::temp_directory_path() / ("tamra-bench-" + std::to_string(width) + "x" +
                                             std::to_string(height) + "x" + std::to_string(bits));
        fs::create_directories(path_);
        samples::writeBmp((path_ / "frame.bmp").string(),
                          samples::renderScene(samples::Scene::Pass, 0, 0, width, height),
                          samples::BmpLayout{bits, true, false});
    }
    ~OneFileFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    std::string path() const { return path_.string(); }

private:
    fs::path path_;
};

void composeFrames(benchmark::State& state, std::uint32_t fileWidth, std::uint32_t fileHeight,
                   std::uint16_t fileBits, std::uint32_t width, std::uint32_t height,
                   IFW_IMAGE_COLOR_TYPE colour) {
    OneFileFolder folder(fileWidth, fileHeight, fileBits);
    CIGrabEmu grab;
    grab.Initialize();
    grab.SetImageColor(colour);
    std::string path = folder.path();
    if (!grab.EmulateFromNewImagePath(path.data(), width, height) || !grab.IsGrabCreated()) {
        state.SkipWithError("the emulator could not be created");
        return;
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(grab.GrabSimplified(0));
    }
    const std::int64_t frameBytes = std::int64_t{width} * height * grab.GetBytesPP();
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * frameBytes);
    state.counters["frames/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_Mono640From8Bit640(benchmark::State& state) {
    composeFrames(state, 640, 480, 8, 640, 480, IFW_IMAGE_COLOR_MONO8);
}
void BM_Mono640From24Bit1024(benchmark::State& state) {
    composeFrames(state, 1024, 768, 24, 640, 480, IFW_IMAGE_COLOR_MONO8);
}
void BM_Mono1280From24Bit2592(benchmark::State& state) {
    composeFrames(state, 2592, 1944, 24, 1280, 1024, IFW_IMAGE_COLOR_MONO8);
}
void BM_Colour24At640From24Bit640(benchmark::State& state) {
    composeFrames(state, 640, 480, 24, 640, 480, IFW_IMAGE_COLOR_COLOR24);
}

}  // namespace

BENCHMARK(BM_Mono640From8Bit640)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Mono640From24Bit1024)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Mono1280From24Bit2592)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Colour24At640From24Bit640)->Unit(benchmark::kMicrosecond);
