// Test helpers for the emulator acquisition tests.
#include "acquisition_support.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>

#include "samplegen/BmpWriter.h"

namespace acquisition_test {

namespace {

using tamra::samples::putLittleEndian16;
using tamra::samples::putLittleEndian32;

FrameLog& logOf(void* context) {
    return *static_cast<FrameLog*>(context);
}

}  // namespace

TempFolder::TempFolder() {
    static std::atomic<unsigned> serial{0};
    std::random_device seed;
    const std::string name =
        "tamra-acq-" + std::to_string(seed()) + "-" + std::to_string(serial.fetch_add(1));
    path_ = std::filesystem::temp_directory_path() / name;
    std::filesystem::create_directories(path_);
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

// Bottom-up rows padded to 4 bytes, no palette: the loader reads an index as its grey level.
void writeGreyFile(const std::filesystem::path& file, std::uint32_t width, std::uint32_t height,
                   const PixelValue& value) {
    const std::uint32_t rowBytes = (width + 3) / 4 * 4;
    const std::uint32_t pixelBytes = rowBytes * height;
    std::vector<std::uint8_t> bytes(54 + pixelBytes, 0);
    bytes[0] = 'B';
    bytes[1] = 'M';
    putLittleEndian32(bytes, 2, static_cast<std::uint32_t>(bytes.size()));
    putLittleEndian32(bytes, 10, 54);
    putLittleEndian32(bytes, 14, 40);
    putLittleEndian32(bytes, 18, width);
    putLittleEndian32(bytes, 22, height);
    putLittleEndian16(bytes, 26, 1);
    putLittleEndian16(bytes, 28, 8);
    putLittleEndian32(bytes, 34, pixelBytes);
    for (std::uint32_t y = 0; y < height; ++y) {
        std::uint8_t* row = bytes.data() + 54 + std::size_t{height - 1 - y} * rowBytes;
        for (std::uint32_t x = 0; x < width; ++x) row[x] = value(x, y);
    }
    std::filesystem::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

std::uint8_t levelOf(int fileIndex) {
    return static_cast<std::uint8_t>(20 + 10 * fileIndex);
}

void writeNumberedFiles(const std::filesystem::path& folder, int count, std::uint32_t width,
                        std::uint32_t height) {
    for (int k = 0; k < count; ++k) {
        char name[32];
        std::snprintf(name, sizeof name, "frame_%02d.bmp", k);
        const std::uint8_t level = levelOf(k);
        writeGreyFile(folder / name, width, height,
                      [level](std::uint32_t, std::uint32_t) { return level; });
    }
}

int FrameLog::onFrame(unsigned char* buffer, unsigned int count, std::int64_t tag, void* log) {
    Delivery delivery;
    delivery.buffer = buffer;
    delivery.count = count;
    delivery.tag = tag;
    logOf(log).recordFrame(std::move(delivery));
    return 0;
}

int FrameLog::onFrameEx(IFW_GRAB_BUF_DESC* desc, unsigned int count, std::int64_t tag, void* log) {
    Delivery delivery;
    delivery.buffer = desc->Buffer;
    delivery.camera = desc->CameraIndex;
    delivery.count = count;
    delivery.tag = tag;
    logOf(log).recordFrame(std::move(delivery));
    return 0;
}

int FrameLog::onTrash(unsigned char* buffer, unsigned int count, std::int64_t tag, void* log) {
    FrameLog& self = logOf(log);
    Delivery delivery{buffer, count, tag, 0, std::this_thread::get_id(), Clock::now(), {}};
    {
        std::lock_guard<std::mutex> guard(self.lock_);
        self.trash_.push_back(std::move(delivery));
    }
    self.changed_.notify_all();
    if (self.trashDelayMs_ > 0) std::this_thread::sleep_for(milliseconds(self.trashDelayMs_));
    return 0;
}

int FrameLog::onExit(void* log) {
    FrameLog& self = logOf(log);
    {
        std::lock_guard<std::mutex> guard(self.lock_);
        ++self.exits_;
        self.exitThread_ = std::this_thread::get_id();
    }
    self.changed_.notify_all();
    return 0;
}

void FrameLog::attach(IXGrab& grab) {
    grab.RegisterBufferCallback(onFrame, this);
    grab.RegisterTrashCallback(onTrash, this);
    grab.RegisterAcqThreadExitCallback(onExit, this);
}

void FrameLog::holdGate() {
    std::lock_guard<std::mutex> guard(lock_);
    gateHeld_ = true;
}

void FrameLog::openGate() {
    {
        std::lock_guard<std::mutex> guard(lock_);
        gateHeld_ = false;
    }
    changed_.notify_all();
}

void FrameLog::setAction(std::function<void(const Delivery&)> action) {
    std::lock_guard<std::mutex> guard(lock_);
    action_ = std::move(action);
}

void FrameLog::recordFrame(Delivery delivery) {
    delivery.thread = std::this_thread::get_id();
    delivery.time = Clock::now();
    if (copyBytes_ > 0 && delivery.buffer) {
        delivery.pixels.assign(delivery.buffer, delivery.buffer + copyBytes_);
    }
    std::function<void(const Delivery&)> action;
    {
        std::lock_guard<std::mutex> guard(lock_);
        frames_.push_back(delivery);
        action = action_;
    }
    changed_.notify_all();
    if (action) action(delivery);
    std::unique_lock<std::mutex> lock(lock_);
    changed_.wait(lock, [this] { return !gateHeld_; });
}

bool FrameLog::waitUntil(const std::function<bool()>& ready, milliseconds timeout) {
    std::unique_lock<std::mutex> lock(lock_);
    return changed_.wait_for(lock, timeout, ready);
}

bool FrameLog::waitForFrames(std::size_t count, milliseconds timeout) {
    return waitUntil([&] { return frames_.size() >= count; }, timeout);
}

bool FrameLog::waitForTrash(std::size_t count, milliseconds timeout) {
    return waitUntil([&] { return trash_.size() >= count; }, timeout);
}

bool FrameLog::waitForExits(std::size_t count, milliseconds timeout) {
    return waitUntil([&] { return exits_ >= count; }, timeout);
}

std::vector<Delivery> FrameLog::frames() const {
    std::lock_guard<std::mutex> guard(lock_);
    return frames_;
}

std::vector<Delivery> FrameLog::trash() const {
    std::lock_guard<std::mutex> guard(lock_);
    return trash_;
}

std::size_t FrameLog::frameCount() const {
    std::lock_guard<std::mutex> guard(lock_);
    return frames_.size();
}

std::size_t FrameLog::exitCount() const {
    std::lock_guard<std::mutex> guard(lock_);
    return exits_;
}

std::thread::id FrameLog::exitThread() const {
    std::lock_guard<std::mutex> guard(lock_);
    return exitThread_;
}

void EmulatorTest::TearDown() {
    log_.openGate();
    otherLog_.openGate();
    grab_.reset();
}

void EmulatorTest::playFolder(std::uint32_t width, std::uint32_t height,
                              std::uint32_t bufferCount) {
    ASSERT_EQ(grab_->Initialize(), 1);
    std::string path = folder_.string();
    ASSERT_EQ(grab_->EmulateFromNewImagePath(path.data(), width, height), 1);
    if (bufferCount != kKeep) {
        ASSERT_EQ(grab_->Create(0, 0, width, height, kKeep, bufferCount, kKeep), 1);
    }
    ASSERT_EQ(grab_->IsGrabCreated(), 1) << grab_->GetLastErrorMsg();
}

void EmulatorTest::startTriggered() {
    grab_->SetTriggerMethod(IXGrab::TRIG_SOFTWARE);
    log_.attach(*grab_);
    ASSERT_EQ(grab_->Start(), 1);
}

bool EmulatorTest::triggerAndWait(std::size_t expected) {
    grab_->GenerateSoftTrigger(0);
    return log_.waitForFrames(expected);
}

unsigned char* EmulatorTest::slot(std::uint32_t index, std::size_t slotBytes) const {
    return grab_->GetFramePtr(0) + index * slotBytes;
}

}  // namespace acquisition_test
