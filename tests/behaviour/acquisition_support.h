// Test helpers for the emulator acquisition tests: image folders, a frame recorder and a grab
// fixture that plays such a folder.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include <tamra/Tamra.h>

namespace acquisition_test {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr std::uint32_t kKeep = 0xFFFFFFFEu;

// A folder of its own under the system's temporary folder, removed with its contents.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string string() const { return path_.string(); }

private:
    std::filesystem::path path_;
};

using PixelValue = std::function<std::uint8_t(std::uint32_t x, std::uint32_t y)>;

// Writes an 8-bit grey bitmap (no palette, so a pixel's index is its grey level) of
// width x height whose pixel (x, y), counted from the top-left, is value(x, y).
void writeGreyFile(const std::filesystem::path& file, std::uint32_t width, std::uint32_t height,
                   const PixelValue& value);

// Writes count uniform files frame_00.bmp, frame_01.bmp, ... into folder; file k is grey level
// levelOf(k) everywhere, so a delivered frame tells which file it came from.
void writeNumberedFiles(const std::filesystem::path& folder, int count, std::uint32_t width,
                        std::uint32_t height);
std::uint8_t levelOf(int fileIndex);

struct Delivery {
    unsigned char* buffer = nullptr;
    unsigned int count = 0;
    std::int64_t tag = -1;
    std::uint32_t camera = 0;  // extended callback only
    std::thread::id thread;
    Clock::time_point time;
    std::vector<std::uint8_t> pixels;  // the first copyBytes bytes of the buffer
};

// Records every callback the grab makes, with the calling thread and time. A held gate makes
// the buffer callbacks block until it is opened, standing in for a slow client.
class FrameLog {
public:
    explicit FrameLog(std::size_t copyBytes = 0) : copyBytes_(copyBytes) {}
    ~FrameLog() { openGate(); }
    FrameLog(const FrameLog&) = delete;
    FrameLog& operator=(const FrameLog&) = delete;

    static int onFrame(unsigned char* buffer, unsigned int count, std::int64_t tag, void* log);
    static int onFrameEx(IFW_GRAB_BUF_DESC* desc, unsigned int count, std::int64_t tag, void* log);
    static int onTrash(unsigned char* buffer, unsigned int count, std::int64_t tag, void* log);
    static int onExit(void* log);

    void attach(IXGrab& grab);  // buffer, trash and thread-exit callbacks
    void holdGate();
    void openGate();
    // Runs inside each buffer callback, after it was recorded (and before the gate).
    void setAction(std::function<void(const Delivery&)> action);
    void setTrashDelay(milliseconds delay) { trashDelayMs_ = static_cast<int>(delay.count()); }
    // Set before the grab starts.
    void setCopyBytes(std::size_t bytes) { copyBytes_ = bytes; }

    bool waitForFrames(std::size_t count, milliseconds timeout = milliseconds(5000));
    bool waitForTrash(std::size_t count, milliseconds timeout = milliseconds(5000));
    bool waitForExits(std::size_t count, milliseconds timeout = milliseconds(5000));

    std::vector<Delivery> frames() const;
    std::vector<Delivery> trash() const;
    std::size_t frameCount() const;
    std::size_t exitCount() const;
    std::thread::id exitThread() const;

private:
    void recordFrame(Delivery delivery);
    bool waitUntil(const std::function<bool()>& ready, milliseconds timeout);

    std::size_t copyBytes_;
    mutable std::mutex lock_;
    std::condition_variable changed_;
    std::vector<Delivery> frames_;
    std::vector<Delivery> trash_;
    std::size_t exits_ = 0;
    std::thread::id exitThread_;
    bool gateHeld_ = false;
    std::function<void(const Delivery&)> action_;
    std::atomic<int> trashDelayMs_{0};
};

// An emulator playing a folder of its own. TearDown opens the logs' gates before deleting the
// grab, so that a test failing while the client blocks cannot hang; the logs outlive the grab.
class EmulatorTest : public ::testing::Test {
protected:
    static constexpr std::uint32_t kWidth = 64;
    static constexpr std::uint32_t kHeight = 48;

    void TearDown() override;

    // Initialises the grab and points it at the folder with the given geometry (created, not
    // running), then re-creates with the buffer count unless it is kKeep.
    void playFolder(std::uint32_t width = kWidth, std::uint32_t height = kHeight,
                    std::uint32_t bufferCount = kKeep);
    // Software trigger, log_ attached, started.
    void startTriggered();
    // Sends one software trigger and waits until the frame count reaches expected.
    bool triggerAndWait(std::size_t expected);
    // Slot i of the ring, with slots of one mono image each.
    unsigned char* slot(std::uint32_t index, std::size_t slotBytes = kWidth * kHeight) const;

    TempFolder folder_;
    FrameLog log_{kWidth * kHeight};
    FrameLog otherLog_;
    std::unique_ptr<CIGrabEmu> grab_ = std::make_unique<CIGrabEmu>();
};

}  // namespace acquisition_test
