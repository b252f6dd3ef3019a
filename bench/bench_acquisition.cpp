// Emulator acquisition: the fastest software-triggered frame rate with its trigger-to-callback
// latency, the composition of one frame, and the crop copy into the ring.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include <tamra/Tamra.h>

#include "emulator/Acquisition.h"
#include "samplegen/SampleTree.h"

namespace {

using Clock = std::chrono::steady_clock;

// A generated sample tree of one camera at the given size, removed afterwards.
class SampleFolder {
public:
    SampleFolder(std::uint32_t width, std::uint32_t height) {
        std::random_device seed;
        path_ = std::filesystem::temp_directory_path() /
                ("tamra-bench-" + std::to_string(seed()) + "-" + std::to_string(width));
        tamra::samples::TreeOptions options;
        options.width = width;
        options.height = height;
        options.cameras = 1;
        options.narrowFile = false;
        tamra::samples::writeSampleTree(path_.string(), options);
    }
    ~SampleFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    std::string string() const { return path_.string(); }

private:
    std::filesystem::path path_;
};

// Counts frames and records when each arrived; the benchmark thread waits on it.
struct FrameClock {
    std::mutex lock;
    std::condition_variable arrived;
    std::uint64_t frames = 0;
    Clock::time_point last;

    static int onFrame(unsigned char*, unsigned int, std::int64_t, void* context) {
        auto* self = static_cast<FrameClock*>(context);
        const Clock::time_point now = Clock::now();
        {
            std::lock_guard<std::mutex> guard(self->lock);
            ++self->frames;
            self->last = now;
        }
        self->arrived.notify_one();
        return 0;
    }
};

bool openEmulator(CIGrabEmu& grab, const SampleFolder& folder, std::uint32_t width,
                  std::uint32_t height) {
    std::string path = folder.string();
    return grab.Initialize() == 1 &&
           grab.EmulateFromNewImagePath(path.data(), width, height) == 1 &&
           grab.IsGrabCreated() == 1;
}

double percentile(std::vector<double> values, double fraction) {
    if (values.empty()) return 0.0;
    std::sort(values.begin(), values.end());
    const auto rank = static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1));
    return values[rank];
}

// One iteration: a software trigger and the wait for its buffer callback. Items per second
// is the triggered frame rate; the latency counters are in milliseconds.
void BM_TriggeredFrame(benchmark::State& state) {
    const auto width = static_cast<std::uint32_t>(state.range(0));
    const auto height = static_cast<std::uint32_t>(state.range(1));
    SampleFolder folder(width, height);
    CIGrabEmu grab;
    if (!openEmulator(grab, folder, width, height)) {
        state.SkipWithError("the emulator cannot play the sample tree");
        return;
    }
    FrameClock clock;
    grab.RegisterBufferCallback(FrameClock::onFrame, &clock);
    grab.SetTriggerMethod(IXGrab::TRIG_SOFTWARE);
    grab.Start();
    std::vector<double> latencies;
    for (auto _ : state) {
        std::unique_lock<std::mutex> lock(clock.lock);
        const std::uint64_t before = clock.frames;
        const Clock::time_point triggered = Clock::now();
        grab.GenerateSoftTrigger(0);
        clock.arrived.wait(lock, [&] { return clock.frames > before; });
        latencies.push_back(
            std::chrono::duration<double, std::milli>(clock.last - triggered).count());
    }
    grab.Stop();
    state.SetItemsProcessed(state.iterations());
    state.counters["median_ms"] = percentile(latencies, 0.5);
    state.counters["p99_ms"] = percentile(latencies, 0.99);
}
BENCHMARK(BM_TriggeredFrame)
    ->Args({640, 480})
    ->Args({1280, 1024})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// Composition alone, on the stopped grab: the next file of each plane read, scaled and
// copied into frame slot 0.
void BM_ComposeFrame(benchmark::State& state) {
    const auto width = static_cast<std::uint32_t>(state.range(0));
    const auto height = static_cast<std::uint32_t>(state.range(1));
    SampleFolder folder(width, height);
    CIGrabEmu grab;
    if (!openEmulator(grab, folder, width, height)) {
        state.SkipWithError("the emulator cannot play the sample tree");
        return;
    }
    for (auto _ : state) benchmark::DoNotOptimize(grab.GrabSimplified(0));
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * std::int64_t{width} * height);
}
BENCHMARK(BM_ComposeFrame)->Args({640, 480})->Args({1280, 1024})->Unit(benchmark::kMicrosecond);

// The crop copy of one mono frame into a ring slot: the full image (one copy) and a window
// 16 pixels in from the top-left corner (one copy per row).
void BM_CropCopy(benchmark::State& state) {
    const auto width = static_cast<std::size_t>(state.range(0));
    const auto height = static_cast<std::size_t>(state.range(1));
    const auto offset = static_cast<std::size_t>(state.range(2));
    std::vector<unsigned char> frame(width * height, 0x5A);
    std::vector<unsigned char> slot(width * height);
    tamra::emulator::CropGeometry geometry;
    geometry.widthBytes = width;
    geometry.imageBytes = width * height;
    geometry.offsetXBytes = offset;
    geometry.offsetYRows = offset;
    geometry.aoiWidthBytes = width - offset;
    geometry.aoiRows = height - offset;
    geometry.planes = 1;
    geometry.frameSlotBytes = frame.size();
    geometry.ringSlotBytes = slot.size();
    const tamra::emulator::CropPlan plan = tamra::emulator::planCrop(geometry);
    for (auto _ : state) {
        tamra::emulator::copyCropWindow(plan, frame.data(), slot.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() *
                            static_cast<std::int64_t>(plan.rows * plan.rowBytes));
}
BENCHMARK(BM_CropCopy)
    ->Args({640, 480, 0})
    ->Args({640, 480, 16})
    ->Args({1280, 1024, 0})
    ->Args({1280, 1024, 16})
    ->Unit(benchmark::kMicrosecond);

}  // namespace
