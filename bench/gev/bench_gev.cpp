// Frames per second a GigE Vision client (Aravis) receives from tamra-gev on loopback, against
// what the emulator's buffer callback gets in-process on the same tree in the same run. Free run
// at the emulator's fastest frame delay; the client's packet size is the device's default (1500)
// or what Aravis negotiates with test packets.
#include <arv.h>
#include <benchmark/benchmark.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <random>
#include <string>

#include <tamra/Tamra.h>

#include "gev/Server.h"
#include "samplegen/SampleTree.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kFrames = 60;

class SampleFolder {
public:
    SampleFolder(std::uint32_t width, std::uint32_t height) {
        std::random_device seed;
        path_ =
            std::filesystem::temp_directory_path() / ("tamra-bench-gev-" + std::to_string(seed()));
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

struct Geometry {
    std::uint32_t width, height, bytes;
};

Geometry geometryOf(const benchmark::State& state) {
    return {static_cast<std::uint32_t>(state.range(0)), static_cast<std::uint32_t>(state.range(1)),
            static_cast<std::uint32_t>(state.range(2))};
}

struct FrameCounter {
    std::mutex lock;
    std::condition_variable arrived;
    int frames = 0;
    Clock::time_point first, last;
    static int onFrame(unsigned char*, unsigned int, std::int64_t, void* context) {
        auto* self = static_cast<FrameCounter*>(context);
        std::lock_guard<std::mutex> guard(self->lock);
        self->last = Clock::now();
        if (self->frames++ == 0) self->first = self->last;
        self->arrived.notify_all();
        return 0;
    }
};

void BM_InProcessFreeRun(benchmark::State& state) {
    const Geometry g = geometryOf(state);
    SampleFolder folder(g.width, g.height);
    for (auto _ : state) {
        char type[16] = "EMULATOR";
        std::unique_ptr<IXGrab, int (*)(IXGrab*)> grab(TamraGrabInstantiate(type), TamraGrabDelete);
        grab->Initialize();
        grab->SetImageColor(g.bytes == 3 ? IFW_IMAGE_COLOR_COLOR24 : IFW_IMAGE_COLOR_MONO8);
        grab->SetNumCameras(1);
        std::string path = folder.string();
        grab->EmulateFromNewImagePath(path.data(), g.width, g.height);
        FrameCounter counter;
        grab->RegisterBufferCallback(FrameCounter::onFrame, &counter);
        grab->SetTriggerMethod(IXGrab::TRIG_FREE_RUN);
        grab->Start();
        {
            std::unique_lock<std::mutex> wait(counter.lock);
            counter.arrived.wait(wait, [&] { return counter.frames > kFrames; });
        }
        grab->Stop();
        const double seconds = std::chrono::duration<double>(counter.last - counter.first).count();
        state.SetIterationTime(seconds);
        state.counters["fps"] = kFrames / seconds;
    }
}

void BM_AravisFreeRun(benchmark::State& state) {
    const Geometry g = geometryOf(state);
    const bool negotiate = state.range(3) != 0;
    SampleFolder folder(g.width, g.height);
    for (auto _ : state) {
        tamra::gev::Server server;
        tamra::gev::ServerOptions options;
        options.camera.folder = folder.string();
        options.camera.width = g.width;
        options.camera.height = g.height;
        options.camera.pixelFormat =
            g.bytes == 3 ? tamra::gev::pixel::BGR8 : tamra::gev::pixel::Mono8;
        std::string error;
        if (!server.start(options, error)) {
            state.SkipWithError(error.c_str());
            return;
        }
        ArvCamera* camera = arv_camera_new("127.0.0.1", nullptr);
        if (camera == nullptr) {
            state.SkipWithError("Aravis cannot open the device");
            return;
        }
        arv_camera_gv_set_packet_size_adjustment(camera, negotiate
                                                             ? ARV_GV_PACKET_SIZE_ADJUSTMENT_ONCE
                                                             : ARV_GV_PACKET_SIZE_ADJUSTMENT_NEVER);
        ArvStream* stream = arv_camera_create_stream(camera, nullptr, nullptr, nullptr);
        const guint payload = arv_camera_get_payload(camera, nullptr);
        for (int i = 0; i < 8; ++i)
            arv_stream_push_buffer(stream, arv_buffer_new(payload, nullptr));
        arv_camera_start_acquisition(camera, nullptr);
        int frames = 0, failures = 0;
        Clock::time_point first, last;
        while (frames <= kFrames && failures < 100) {
            ArvBuffer* buffer = arv_stream_timeout_pop_buffer(stream, 5000000);
            if (buffer == nullptr) break;
            if (arv_buffer_get_status(buffer) == ARV_BUFFER_STATUS_SUCCESS) {
                last = Clock::now();
                if (frames++ == 0) first = last;
            } else {
                ++failures;
            }
            arv_stream_push_buffer(stream, buffer);
        }
        arv_camera_stop_acquisition(camera, nullptr);
        state.counters["packet"] = arv_camera_gv_get_packet_size(camera, nullptr);
        g_object_unref(stream);
        g_object_unref(camera);
        const double seconds = std::chrono::duration<double>(last - first).count();
        state.SetIterationTime(seconds > 0 ? seconds : 1);
        state.counters["fps"] = frames > 1 ? (frames - 1) / seconds : 0;
        state.counters["failed"] = failures;
    }
}

BENCHMARK(BM_InProcessFreeRun)
    ->Args({640, 480, 1})
    ->Args({2592, 1944, 3})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AravisFreeRun)
    ->Args({640, 480, 1, 0})
    ->Args({640, 480, 1, 1})
    ->Args({2592, 1944, 3, 0})
    ->Args({2592, 1944, 3, 1})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
