// Test helper: the frames the emulator delivers for a folder, one per software trigger; the
// reference another build of the library or a network client must reproduce byte for byte.
#pragma once

#include <tamra/Tamra.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

namespace tamra::testing {

using Frames = std::vector<std::vector<std::uint8_t>>;

struct EmulatorPlay {
    IFW_IMAGE_COLOR_TYPE colour = IFW_IMAGE_COLOR_MONO8;
    int cameras = 1;                    // 0: the emulator's own count
    std::uint32_t width = 0xFFFFFFFEu;  // the default keeps the size of the files
    std::uint32_t height = 0xFFFFFFFEu;
};

// Every plane of each frame, as far as a ring slot holds them; throws when a frame does not come.
inline Frames playEmulator(const std::string& folder, const EmulatorPlay& play, std::size_t count) {
    struct Sink {
        std::mutex mutex;
        std::condition_variable arrived;
        Frames frames;
        std::size_t size;
    } sink{};
    char type[16] = "EMULATOR";
    std::unique_ptr<IXGrab, int (*)(IXGrab*)> grab(TamraGrabInstantiate(type), TamraGrabDelete);
    auto* core = dynamic_cast<CIGrab*>(grab.get());
    if (core == nullptr || !grab->Initialize()) throw std::runtime_error("no emulator");
    grab->SetImageColor(play.colour);
    if (play.cameras > 0) grab->SetNumCameras(play.cameras);
    grab->EmulateFromNewImagePath(std::string(folder).data(), play.width, play.height);
    if (!core->IsGrabCreated()) throw std::runtime_error(folder + ": " + grab->GetLastErrorMsg());
    const std::size_t window = std::size_t{core->GetAoiWidthByteCount()} * core->GetAoiHeight();
    sink.size =
        std::min(window * static_cast<std::size_t>(std::max(1, grab->GetNumCameras())),
                 std::size_t{core->GetRingBufferSize()} / std::max(1u, grab->GetBufferCount()));
    grab->RegisterBufferCallback(
        [](unsigned char* buffer, unsigned int, std::int64_t, void* context) {
            auto* s = static_cast<Sink*>(context);
            std::lock_guard<std::mutex> lock(s->mutex);
            s->frames.emplace_back(buffer, buffer + s->size);
            s->arrived.notify_all();
            return 0;
        },
        &sink);
    grab->SetTriggerMethod(IXGrab::TRIG_SOFTWARE);
    if (!grab->Start()) throw std::runtime_error(grab->GetLastErrorMsg());
    for (std::size_t i = 0; i < count; ++i) {
        grab->GenerateSoftTrigger(0);
        std::unique_lock<std::mutex> lock(sink.mutex);
        if (!sink.arrived.wait_for(lock, std::chrono::seconds(20),
                                   [&] { return sink.frames.size() > i; }))
            throw std::runtime_error(folder + ": frame " + std::to_string(i) + " did not arrive");
    }
    grab->Stop();
    return sink.frames;
}

}  // namespace tamra::testing
