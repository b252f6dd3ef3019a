// Behaviour test helpers: back ends shaped as the real ones, image folders, a frame log, a fixture.
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

#include <tamra/Observe.h>
#include <tamra/Tamra.h>

#include "core/GrabState.h"
#include "support/ImageFiles.h"
#include "support/ProcessInfo.h"

namespace grab_test {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using tamra::testing::processThreadCount;

constexpr std::uint32_t kKeep = 0xFFFFFFFEu;
constexpr std::uint32_t kDefault = 0xFFFFFFFFu;

// One change of an output port as the scheduler or the client made it.
struct PortChange {
    unsigned int port;
    int value;
    Clock::time_point at;
    std::thread::id thread;
};

// A back end over IXGrab or CIGrab built as the real ones: the core does the common work, the
// override sets the state flag. It records port changes and LED toggles, and reaches the ring.
template <class Base>
class TestGrab : public Base {
public:
    ~TestGrab() override { this->Terminate(); }

    IFW_IGRABTYPE GetGrabType() override { return grabType; }
    int GetNumCameras() override { return cameras != 0 ? cameras : Base::GetNumCameras(); }

    int Initialize() override {
        if (Base::Initialize() == 0) return 0;
        this->setInitializedFlag(1);
        return 1;
    }
    int Create(std::uint32_t offsetX, std::uint32_t offsetY, std::uint32_t width,
               std::uint32_t height, std::uint32_t bits, std::uint32_t count,
               std::uint32_t timeOut) override {
        ++creates;
        if (Base::Create(offsetX, offsetY, width, height, bits, count, timeOut) == 0) return 0;
        this->setCreatedFlag(1);
        return 1;
    }
    int Start() override {
        if (Base::Start() == 0) return 0;
        this->setRunningFlag(1);
        return 1;
    }
    int ToggleLed(std::uint32_t value) override {
        toggles.fetch_add(1);
        toggleValue.store(value);
        if (std::this_thread::get_id() == clientThread) toggledOnClientThread.store(true);
        return Base::ToggleLed(value);
    }
    // Recorded after the core's change, so that a test seeing the record also sees its effects.
    int SetOutputPort(unsigned int port, int value) override {
        const int result = Base::SetOutputPort(port, value);
        std::lock_guard<std::mutex> lock(changesLock_);
        portChanges_.push_back({port, value, Clock::now(), std::this_thread::get_id()});
        return result;
    }

    unsigned char* ring() const { return this->grabState().ring.buffer; }
    unsigned char* slot(std::uint32_t i) const { return this->grabState().ring.slots[i]; }
    std::uint32_t ringBytes() const { return this->grabState().geometry.ringBufferSize; }
    int hookSupplied() const { return this->grabState().ring.hookSupplied; }
    void setRotation(std::uint32_t degrees) { this->grabState().transform.rotation = degrees; }
    void setTiles(std::uint32_t horizontal) { this->grabState().transform.horzTiles = horizontal; }

    std::vector<PortChange> changesOf(unsigned int port) {
        std::lock_guard<std::mutex> lock(changesLock_);
        std::vector<PortChange> result;
        for (const PortChange& c : portChanges_)
            if (c.port == port) result.push_back(c);
        return result;
    }

    IFW_IGRABTYPE grabType = IFW_IGRAB_CORE;
    int cameras = 0;  // 0: the core's
    int creates = 0;  // Create calls, the core's own included
    std::atomic<int> toggles{0};
    std::atomic<std::uint32_t> toggleValue{0};
    std::atomic<bool> toggledOnClientThread{false};
    std::thread::id clientThread = std::this_thread::get_id();

private:
    std::mutex changesLock_;
    std::vector<PortChange> portChanges_;
};

using CoreGrab = TestGrab<CIGrab>;
using RootGrab = TestGrab<IXGrab>;

inline std::unique_ptr<CoreGrab> initialisedCore(IFW_IGRABTYPE type = IFW_IGRAB_CORE) {
    auto grab = std::make_unique<CoreGrab>();
    grab->grabType = type;
    grab->Initialize();
    return grab;
}

template <class Pred>
bool eventually(Pred pred, milliseconds limit = milliseconds(3000)) {
    const Clock::time_point end = Clock::now() + limit;
    while (!pred()) {
        if (Clock::now() >= end) return false;
        std::this_thread::sleep_for(milliseconds(2));
    }
    return true;
}

// Waits until count frames were composed since Start (the producer calls no client code).
inline bool waitForComposed(IXGrab& grab, std::uint64_t count) {
    TamraCounters counters{};
    return eventually(
        [&] { return TamraGetCounters(&grab, &counters) == 1 && counters.framesComposed >= count; },
        milliseconds(10000));
}

// A folder of its own under the system's temporary folder, removed with its contents.
class TempFolder : public images_test::TempDir {
public:
    TempFolder() : TempDir("acq") {}
    std::string string() const { return path().string(); }
};

// Writes an 8-bit grey bitmap without a palette; pixel (x, y) from the top-left is value(x, y).
void writeGreyFile(const std::filesystem::path& file, std::uint32_t width, std::uint32_t height,
                   const std::function<std::uint8_t(std::uint32_t, std::uint32_t)>& value);

// Writes uniform files frame_00.bmp, ...: file k is grey level levelOf(k) everywhere.
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
    TamraFrameRecord record{};         // read inside the buffer callback
};

// Records every callback with its thread and time; a held gate blocks the buffer callbacks.
class FrameLog {
public:
    explicit FrameLog(std::size_t copyBytes = 0) : copyBytes_(copyBytes) {}
    ~FrameLog() { openGate(); }

    static int onFrame(unsigned char* buffer, unsigned int count, std::int64_t tag, void* log);
    static int onFrameEx(IFW_GRAB_BUF_DESC* desc, unsigned int count, std::int64_t tag, void* log);
    static int onTrash(unsigned char* buffer, unsigned int count, std::int64_t tag, void* log);
    static int onExit(void* log);

    void attach(IXGrab& grab);  // buffer, trash and thread-exit callbacks; frame records
    void holdGate();
    void openGate();
    // Runs inside each buffer callback, after it was recorded (and before the gate).
    void setAction(std::function<void(const Delivery&)> action);
    // A trash callback this slow stands in for a slow client.
    void setTrashDelay(milliseconds delay) { trashDelayMs_ = static_cast<int>(delay.count()); }
    void setCopyBytes(std::size_t bytes) { copyBytes_ = bytes; }

    bool waitForFrames(std::size_t count, milliseconds timeout = milliseconds(5000));
    bool waitForTrash(std::size_t count, milliseconds timeout = milliseconds(5000));
    bool waitForExits(std::size_t count, milliseconds timeout = milliseconds(5000));

    std::vector<Delivery> frames() const { return locked(frames_); }
    std::vector<Delivery> trash() const { return locked(trash_); }
    std::size_t frameCount() const { return locked(frames_).size(); }
    std::size_t exitCount() const { return locked(exits_); }
    std::thread::id exitThread() const { return locked(exitThread_); }

private:
    template <class T>
    T locked(const T& field) const {
        std::lock_guard<std::mutex> guard(lock_);
        return field;
    }
    void recordFrame(Delivery delivery);
    bool waitUntil(const std::function<bool()>& ready, milliseconds timeout);

    std::size_t copyBytes_;
    IXGrab* grab_ = nullptr;
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

// An emulator playing a folder of its own. TearDown opens the gates first, so that a failing
// test cannot hang on a blocked client; the logs outlive the grab.
class EmulatorTest : public ::testing::Test {
protected:
    static constexpr std::uint32_t kWidth = 64;
    static constexpr std::uint32_t kHeight = 48;

    void TearDown() override;

    // Initialises, points the grab at the folder (created, not running), sets the buffer count.
    void playFolder(std::uint32_t width = kWidth, std::uint32_t height = kHeight,
                    std::uint32_t bufferCount = kKeep);
    // Writes that many numbered files into the folder and plays them.
    void playNumbered(int files, std::uint32_t bufferCount = kKeep) {
        writeNumberedFiles(folder_.path(), files, kWidth, kHeight);
        playFolder(kWidth, kHeight, bufferCount);
    }
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

// A back end in the shape of the real ones; Start marks it running, calls are recorded.
template <class Base>
class LineGrab : public Base {
public:
    ~LineGrab() override { this->Terminate(); }

    int Initialize() override {
        if (Base::Initialize() == 0) return 0;
        this->setInitializedFlag(1);
        return 1;
    }
    int Stop() override {
        calls.push_back("Stop");
        if (stopResult == 0) return 0;
        return Base::Stop();
    }
    int Start() override {
        calls.push_back("Start");
        this->setRunningFlag(1);
        return 1;
    }
    int SetTriggerParams() override {
        calls.push_back("SetTriggerParams");
        return Base::SetTriggerParams();
    }
    void markRunning() { this->setRunningFlag(1); }

    std::vector<std::string> calls;
    int stopResult = 1;
};

// One grab class under test: its message prefix and how to make a fresh object of it.
struct GrabKind {
    std::string prefix;
    std::function<std::unique_ptr<IXGrab>(bool initialise)> make;
};

inline std::unique_ptr<IXGrab> initialiseIf(std::unique_ptr<IXGrab> grab, bool initialise) {
    if (initialise) grab->Initialize();
    return grab;
}

inline std::vector<GrabKind> bothGrabKinds() {
    return {
        {"IXGrab",
         [](bool init) { return initialiseIf(std::make_unique<LineGrab<IXGrab>>(), init); }},
        {"CIGrab",
         [](bool init) { return initialiseIf(std::make_unique<LineGrab<CIGrab>>(), init); }},
    };
}

}  // namespace grab_test
