// Composing one emulator frame from a bitmap file: open, read, stretch and convert, copy into
// the frame slot. Frames per second are the items, frame bytes the bytes processed. Beside each
// case, when available, the pipeline a client would write with OpenCV (imread, cvtColor when the
// colour layout changes, nearest-neighbour resize when the size does, one thread), and the
// floor: reading the whole file with fread and copying the frame's bytes once.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <tamra/CIGrabEmu.h>

#include "samplegen/SampleTree.h"

#ifdef TAMRA_BENCH_OPENCV
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#endif

namespace {

namespace fs = std::filesystem;
namespace samples = tamra::samples;

struct Case {
    const char* name;
    std::uint32_t fileWidth, fileHeight;
    std::uint16_t fileBits;
    bool palette;  // 8-bit files: the sample palette, else none (grey levels)
    std::uint32_t width, height;
    IFW_IMAGE_COLOR_TYPE colour;
    std::uint32_t frameChannels;
};

constexpr Case kCases[] = {
    {"8to8/640x480", 640, 480, 8, true, 640, 480, IFW_IMAGE_COLOR_MONO8, 1},
    {"24to8/640x480", 640, 480, 24, false, 640, 480, IFW_IMAGE_COLOR_MONO8, 1},
    {"32to8/640x480", 640, 480, 32, false, 640, 480, IFW_IMAGE_COLOR_MONO8, 1},
    {"8to24/640x480", 640, 480, 8, false, 640, 480, IFW_IMAGE_COLOR_COLOR24, 3},
    {"palette8to24/640x480", 640, 480, 8, true, 640, 480, IFW_IMAGE_COLOR_COLOR24, 3},
    {"24to24/640x480", 640, 480, 24, false, 640, 480, IFW_IMAGE_COLOR_COLOR24, 3},
    {"24to8/1024x768to640x480", 1024, 768, 24, false, 640, 480, IFW_IMAGE_COLOR_MONO8, 1},
    {"24to8/2592x1944to1280x1024", 2592, 1944, 24, false, 1280, 1024, IFW_IMAGE_COLOR_MONO8, 1},
};

// A folder holding one sample file, removed afterwards.
class OneFileFolder {
public:
    explicit OneFileFolder(const Case& c) {
        path_ = fs::temp_directory_path() /
                ("tamra-bench-" + std::to_string(c.fileWidth) + "x" + std::to_string(c.fileHeight) +
                 "x" + std::to_string(c.fileBits) + (c.palette ? "p" : ""));
        fs::create_directories(path_);
        samples::writeBmp(
            file(), samples::renderScene(samples::Scene::Pass, 0, 0, c.fileWidth, c.fileHeight),
            samples::BmpLayout{c.fileBits, c.palette, false});
    }
    ~OneFileFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    std::string path() const { return path_.string(); }
    std::string file() const { return (path_ / "frame.bmp").string(); }

private:
    fs::path path_;
};

void reportFrames(benchmark::State& state, const Case& c) {
    const std::int64_t frameBytes = std::int64_t{c.width} * c.height * c.frameChannels;
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * frameBytes);
    state.counters["frames/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void composeFrames(benchmark::State& state, Case c) {
    OneFileFolder folder(c);
    CIGrabEmu grab;
    grab.Initialize();
    grab.SetImageColor(c.colour);
    std::string path = folder.path();
    if (!grab.EmulateFromNewImagePath(path.data(), c.width, c.height) || !grab.IsGrabCreated()) {
        state.SkipWithError("the emulator could not be created");
        return;
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(grab.GrabSimplified(0));
    }
    reportFrames(state, c);
}

void readAndCopyFloor(benchmark::State& state, Case c) {
    OneFileFolder folder(c);
    const std::string file = folder.file();
    std::vector<char> bytes(fs::file_size(file));
    const std::size_t frameBytes = std::size_t{c.width} * c.height * c.frameChannels;
    // The copy moves a whole frame, more than the file holds when the frame is the wider.
    std::vector<char> pixels(std::max(bytes.size(), frameBytes));
    std::vector<char> frame(frameBytes);
    for (auto _ : state) {
        std::FILE* stream = std::fopen(file.c_str(), "rb");
        if (stream == nullptr ||
            std::fread(pixels.data(), 1, bytes.size(), stream) != bytes.size()) {
            state.SkipWithError("the file could not be read");
        }
        if (stream != nullptr) std::fclose(stream);
        std::memcpy(frame.data(), pixels.data(), frameBytes);
        benchmark::DoNotOptimize(frame.data());
        benchmark::ClobberMemory();
    }
    reportFrames(state, c);
}

#ifdef TAMRA_BENCH_OPENCV
void opencvPipeline(benchmark::State& state, Case c) {
    cv::setNumThreads(1);
    OneFileFolder folder(c);
    const std::string file = folder.file();
    cv::Mat converted, frame;
    for (auto _ : state) {
        cv::Mat image = cv::imread(file, cv::IMREAD_UNCHANGED);
        if (static_cast<std::uint32_t>(image.channels()) != c.frameChannels) {
            const int code =
                c.frameChannels == 1
                    ? (image.channels() == 4 ? cv::COLOR_BGRA2GRAY : cv::COLOR_BGR2GRAY)
                    : (image.channels() == 4 ? cv::COLOR_BGRA2BGR : cv::COLOR_GRAY2BGR);
            cv::cvtColor(image, converted, code);
            image = converted;
        }
        if (static_cast<std::uint32_t>(image.cols) != c.width ||
            static_cast<std::uint32_t>(image.rows) != c.height) {
            cv::resize(image, frame,
                       cv::Size(static_cast<int>(c.width), static_cast<int>(c.height)), 0, 0,
                       cv::INTER_NEAREST);
            image = frame;
        }
        benchmark::DoNotOptimize(image.data);
        benchmark::ClobberMemory();
    }
    reportFrames(state, c);
}
#endif

void registerAll() {
    for (const Case& c : kCases) {
        const std::string name(c.name);
        benchmark::RegisterBenchmark(("tamra/" + name).c_str(), composeFrames, c)
            ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(("floor/" + name).c_str(), readAndCopyFloor, c)
            ->Unit(benchmark::kMicrosecond);
#ifdef TAMRA_BENCH_OPENCV
        benchmark::RegisterBenchmark(("opencv/" + name).c_str(), opencvPipeline, c)
            ->Unit(benchmark::kMicrosecond);
#endif
    }
}

const bool registered = (registerAll(), true);

}  // namespace
