// The feature registers mapped onto the emulator through the public interface of libTamra, and
// its frames handed to the stream.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include <tamra/Tamra.h>

#include "gev/Device.h"
#include "gev/Streamer.h"

namespace tamra::gev {

struct CameraSettings {
    std::string folder;
    std::uint32_t width = 640;
    std::uint32_t height = 480;
    std::uint32_t pixelFormat = pixel::Mono8;
    std::uint32_t cameraCount = 1;
    std::uint32_t frameDelayMs = 0;
    std::uint32_t imageSet = 0;  // feature::kImageSet*
};

class TamraCamera : public FeatureBackend {
public:
    TamraCamera(Streamer& streamer, std::function<std::uint64_t()> ticks);
    ~TamraCamera() override;
    TamraCamera(const TamraCamera&) = delete;
    TamraCamera& operator=(const TamraCamera&) = delete;

    // Makes the emulator and plays settings.folder; false with the emulator's message.
    bool open(const CameraSettings& settings, std::string& error);
    void close();

    Status readFeature(std::uint32_t address, std::uint32_t& value) override;
    Status writeFeature(std::uint32_t address, std::uint32_t value) override;
    Status readFeatureBlock(std::uint32_t address, std::uint8_t* data, std::uint32_t size) override;
    Status writeFeatureBlock(std::uint32_t address, const std::uint8_t* data,
                             std::uint32_t size) override;
    bool isSlowWrite(std::uint32_t address) const override;
    void controlReleased() override;

    bool running() const { return running_; }
    std::uint64_t overruns() const { return overruns_.load(); }

private:
    static int onFrame(unsigned char* buffer, unsigned int count, std::int64_t tag, void* self);
    static int onTrash(unsigned char* buffer, unsigned int count, std::int64_t tag, void* self);
    bool apply(std::string& error);
    Status start();
    void stop();
    Status setImageSet(std::uint32_t value);
    Status setGeometry(std::uint32_t address, std::uint32_t value);
    IXGrab::TriggerMethod triggerMethod() const;
    FrameLayout layout() const;
    std::string playedFolder() const;

    Streamer& streamer_;
    std::function<std::uint64_t()> ticks_;
    std::unique_ptr<IXGrab, void (*)(IXGrab*)> grab_;
    CameraSettings settings_;
    bool dirty_ = false;
    bool running_ = false;
    std::uint32_t triggerMode_ = 0;
    std::uint32_t triggerSource_ = 0;
    std::atomic<std::size_t> payload_{0};
    std::atomic<std::uint64_t> overruns_{0};
    std::atomic<std::uint64_t> delivered_{0};
};

}  // namespace tamra::gev
