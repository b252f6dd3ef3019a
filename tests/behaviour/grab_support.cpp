// Test helpers for the grab core and the emulator.
#include "grab_support.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "samplegen/BmpWriter.h"

namespace grab_test {

namespace {
FrameLog& logOf(void* context) {
    return *static_cast<FrameLog*>(context);
}
}  // namespace

void writeGreyFile(const std::filesystem::path& file, std::uint32_t width, std::uint32_t height,
                   const std::function<std::uint8_t(std::uint32_t, std::uint32_t)>& value) {
    tamra::samples::Picture picture(width, height);
    for (std::uint32_t y = 0; y < height; ++y) {
        for (std::uint32_t x = 0; x < width; ++x) {
            const std::uint8_t level = value(x, y);
            picture.set(x, y, {level, level, level});
        }
    }
    std::filesystem::create_directories(file.parent_path());
    tamra::samples::BmpLayout layout;
    layout.bitsPerPixel = 8;
    layout.palette = false;
    tamra::samples::writeBmp(file.string(), picture, layout);
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
    logOf(log).recordFrame({buffer, count, tag, 0, {}, {}, {}, {}});
    return 0;
}

int FrameLog::onFrameEx(IFW_GRAB_BUF_DESC* desc, unsigned int count, std::int64_t tag, void* log) {
    logOf(log).recordFrame({desc->Buffer, count, tag, desc->CameraIndex, {}, {}, {}, {}});
    return 0;
}

int FrameLog::onTrash(unsigned char* buffer, unsigned int count, std::int64_t tag, void* log) {
    FrameLog& self = logOf(log);
    Delivery delivery{buffer, count, tag, 0, std::this_thread::get_id(), Clock::now(), {}, {}};
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
    // Notified under the lock: once the waiter returns, the log may be gone (a grab deleted from
    // its own callback leaves its thread running to here).
    std::lock_guard<std::mutex> guard(self.lock_);
    ++self.exits_;
    self.exitThread_ = std::this_thread::get_id();
    self.changed_.notify_all();
    return 0;
}

void FrameLog::attach(IXGrab& grab) {
    grab_ = &grab;
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
    if (grab_ != nullptr) TamraGetFrameRecord(grab_, delivery.buffer, &delivery.record);
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

}  // namespace grab_test
