// Test helpers for the grab-core behaviour tests: a back end in the shape of the real ones and a
// recorder of output-port changes.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include <tamra/Tamra.h>

#include "core/GrabState.h"
#include "support/ProcessInfo.h"

namespace core_test {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr std::uint32_t kKeep = 0xFFFFFFFEu;
constexpr std::uint32_t kDefault = 0xFFFFFFFFu;

// The arguments of one Create call.
struct CreateArgs {
    std::uint32_t offsetX, offsetY, width, height, bits, count, timeOut;
    bool operator==(const CreateArgs& other) const {
        return offsetX == other.offsetX && offsetY == other.offsetY && width == other.width &&
               height == other.height && bits == other.bits && count == other.count &&
               timeOut == other.timeOut;
    }
};

inline std::ostream& operator<<(std::ostream& out, const CreateArgs& a) {
    return out << "Create(" << a.offsetX << ", " << a.offsetY << ", " << a.width << ", " << a.height
               << ", " << a.bits << ", " << a.count << ", " << a.timeOut << ")";
}

// One change of an output port as the scheduler or the client made it.
struct PortChange {
    unsigned int port;
    int value;
    Clock::time_point at;
    std::thread::id thread;
};

// A back end over IXGrab or CIGrab as the real ones are built: the core does the common work
// and the override sets the state flag. It records the calls the core makes through the
// virtual table and exposes the protected state that a back end reads.
template <class Base>
class TestGrab : public Base {
public:
    ~TestGrab() override { this->Terminate(); }

    IFW_IGRABTYPE GetGrabType() override { return grabType; }
    std::uint32_t GetHardwareRevision() override {
        return hardwareRevision != 0 ? hardwareRevision : Base::GetHardwareRevision();
    }
    int GetNumCameras() override { return cameras != 0 ? cameras : Base::GetNumCameras(); }

    int Initialize() override {
        if (Base::Initialize() == 0) return 0;
        this->setInitializedFlag(1);
        return 1;
    }
    int Create(std::uint32_t offsetX, std::uint32_t offsetY, std::uint32_t width,
               std::uint32_t height, std::uint32_t bits, std::uint32_t count,
               std::uint32_t timeOut) override {
        record("Create");
        createArgs.push_back({offsetX, offsetY, width, height, bits, count, timeOut});
        if (Base::Create(offsetX, offsetY, width, height, bits, count, timeOut) == 0) return 0;
        this->setCreatedFlag(1);
        return 1;
    }
    int Start() override {
        record("Start");
        if (Base::Start() == 0) return 0;
        this->setRunningFlag(1);
        return 1;
    }
    int Stop() override {
        record("Stop");
        return Base::Stop();
    }
    int Destroy() override {
        record("Destroy");
        return Base::Destroy();
    }
    int GetGpioAttr(IFW_GPIO_ATTR* attr) override {
        record("GetGpioAttr");
        return Base::GetGpioAttr(attr);
    }
    int ToggleLed(std::uint32_t value) override {
        toggles.fetch_add(1);
        toggleValue.store(value);
        if (std::this_thread::get_id() == clientThread) toggledOnClientThread.store(true);
        return Base::ToggleLed(value);
    }
    void UnRegisterTrashCallback() override {
        record("UnRegisterTrashCallback");
        Base::UnRegisterTrashCallback();
    }
    void UnRegisterErrorCallback() override {
        record("UnRegisterErrorCallback");
        Base::UnRegisterErrorCallback();
    }
    void UnRegisterBufferCallback() override {
        record("UnRegisterBufferCallback");
        Base::UnRegisterBufferCallback();
    }
    void UnRegisterChangeSolutionCallback() override {
        record("UnRegisterChangeSolutionCallback");
        Base::UnRegisterChangeSolutionCallback();
    }
    void UnRegisterAcqThreadExitCallback() override {
        record("UnRegisterAcqThreadExitCallback");
        Base::UnRegisterAcqThreadExitCallback();
    }
    // Recorded once the core's change (or refusal message) is made, so that a test seeing the
    // record also sees its effects.
    int SetOutputPort(unsigned int port, int value) override {
        const int result = Base::SetOutputPort(port, value);
        std::lock_guard<std::mutex> lock(changesLock_);
        portChanges.push_back({port, value, Clock::now(), std::this_thread::get_id()});
        return result;
    }

    // Protected state a back end reads.
    unsigned char* ring() const { return this->grabState().ring.buffer; }
    unsigned char* slot(std::uint32_t i) const { return this->grabState().ring.slots[i]; }
    int hookSupplied() const { return this->grabState().ring.hookSupplied; }
    void setRotation(std::uint32_t degrees) { this->grabState().transform.rotation = degrees; }
    void setTiles(std::uint32_t horizontal, std::uint32_t vertical) {
        this->grabState().transform.horzTiles = horizontal;
        this->grabState().transform.vertTiles = vertical;
    }
    void setInitialized(int value) { this->setInitializedFlag(value); }
    void markRunning() { this->setRunningFlag(1); }
    const char* productName() const { return this->grabState().camera.productName; }
    std::size_t transformBufferSize() const { return this->grabState().transform.buffer.size(); }
    void giveTransformBuffer(std::size_t size) { this->grabState().transform.buffer.resize(size); }
    std::uint32_t offsetXBytes() const { return this->grabState().geometry.offsetXByteCount; }
    std::uint32_t aoiWidthBytes() const { return this->grabState().geometry.aoiWidthByteCount; }
    std::uint32_t widthBytes() const { return this->grabState().geometry.widthByteCount; }
    std::uint32_t ringBytes() const { return this->grabState().geometry.ringBufferSize; }
    std::uint32_t imageBytes() const { return this->grabState().geometry.imageSizeInBytes; }
    std::uint32_t bitsPerPixel() const { return this->grabState().geometry.bitsPerPixel; }
    std::uint32_t aoiWidth() const { return this->grabState().geometry.aoiWidth; }
    std::uint32_t offsetX() const { return this->grabState().geometry.offsetX; }
    std::uint32_t timeOut() const { return this->grabState().geometry.timeOut; }
    int widthSet() const { return this->grabState().geometry.widthSet; }
    int heightSet() const { return this->grabState().geometry.heightSet; }
    IFW_GRAB_CALLBACK bufferCallback() const {
        return this->grabState().callbacks.buffer.get().function;
    }
    void* bufferContext() const { return this->grabState().callbacks.buffer.get().context; }
    IFW_GRAB_CALLBACK_EX bufferCallbackEx() const {
        return this->grabState().callbacks.bufferEx.get().function;
    }
    IFW_GRAB_CALLBACK trashCallback() const {
        return this->grabState().callbacks.trash.get().function;
    }
    IFW_GRAB_CALLBACK changeSolutionCallback() const {
        return this->grabState().callbacks.changeSolution.get().function;
    }
    void setAcqThreadId(std::uint32_t id) { this->grabState().life.acqThreadId = id; }

    std::vector<PortChange> changesSnapshot() {
        std::lock_guard<std::mutex> lock(changesLock_);
        return portChanges;
    }
    int count(const std::string& call) const {
        int n = 0;
        for (const std::string& c : calls) n += c == call ? 1 : 0;
        return n;
    }
    void clearCalls() {
        calls.clear();
        createArgs.clear();
    }

    IFW_IGRABTYPE grabType = IFW_IGRAB_CORE;
    std::uint32_t hardwareRevision = 0;  // 0: the core's
    int cameras = 0;                     // 0: the core's
    std::vector<std::string> calls;
    std::vector<CreateArgs> createArgs;
    std::atomic<int> toggles{0};
    std::atomic<std::uint32_t> toggleValue{0};
    std::atomic<bool> toggledOnClientThread{false};
    std::thread::id clientThread = std::this_thread::get_id();

private:
    // Lifecycle calls come from the client thread only; port changes also from the scheduler.
    void record(const char* call) {
        if (std::this_thread::get_id() == clientThread) calls.push_back(call);
    }
    std::mutex changesLock_;
    std::vector<PortChange> portChanges;
};

using CoreGrab = TestGrab<CIGrab>;
using RootGrab = TestGrab<IXGrab>;

// Test names of parameterised cases that carry a name.
template <class Case>
std::string caseName(const testing::TestParamInfo<Case>& testInfo) {
    return testInfo.param.name;
}

using tamra::testing::processThreadCount;

// Polls until pred holds or the limit passes; returns whether it held.
template <class Pred>
bool eventually(Pred pred, milliseconds limit = milliseconds(3000)) {
    const Clock::time_point end = Clock::now() + limit;
    while (!pred()) {
        if (Clock::now() >= end) return false;
        std::this_thread::sleep_for(milliseconds(2));
    }
    return true;
}

}  // namespace core_test
