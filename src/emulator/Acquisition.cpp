// Tamra grab library: the emulator's producer, delivery and overrun threads and their hand-off.
#include "emulator/Acquisition.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "core/GrabState.h"
#include "emulator/FrameComposer.h"
#include "platform/Clock.h"
#include "platform/Sync.h"
#include "platform/Thread.h"

namespace tamra::emulator {
namespace {

constexpr std::size_t kWorkerStackBytes = 32 * 1024;
constexpr std::uint32_t kProducerExitCode = 0;
constexpr std::uint32_t kDeliveryExitCode = 213;
constexpr std::uint32_t kTrashExitCode = 214;
constexpr std::uint32_t kMaxPlanes = 8;  // one file list per camera, eight cameras
// After a trigger the producer pauses briefly before composing, as the camera it stands in for
// settles; a stop is noticed right after the pause.
constexpr std::uint32_t kTriggerSettleMs = 1;

// The engine whose thread is running here; null on every thread the engine did not start.
thread_local const Acquisition* currentEngine = nullptr;

// Keeps a client callback's exception inside the worker that called it.
template <typename Call>
void callClient(Call&& call) noexcept {
    try {
        call();
    } catch (...) {
    }
}

template <typename T>
std::unique_ptr<std::atomic<T>[]> zeroedAtomics(std::uint32_t count) {
    std::unique_ptr<std::atomic<T>[]> values(new (std::nothrow) std::atomic<T>[count]);
    if (values) {
        for (std::uint32_t i = 0; i < count; ++i) values[i].store(0, std::memory_order_relaxed);
    }
    return values;
}

std::unique_ptr<platform::Semaphore> makeSemaphore(std::int32_t maximum) {
    auto semaphore = std::make_unique<platform::Semaphore>(0, maximum);
    if (!semaphore->valid()) semaphore.reset();
    return semaphore;
}

bool isTriggered(std::uint32_t method) {
    return method == IXGrab::TRIG_EXTERNAL || method == IXGrab::TRIG_SOFTWARE;
}

}  // namespace

CropPlan planCrop(const CropGeometry& geometry) {
    CropPlan plan;
    plan.sourceStride = geometry.widthBytes;
    plan.sourcePlaneBytes = geometry.imageBytes;
    const std::size_t offsetX = std::min(geometry.offsetXBytes, geometry.widthBytes);
    const std::size_t planeRows =
        geometry.widthBytes ? geometry.imageBytes / geometry.widthBytes : 0;
    const std::size_t offsetY = std::min(geometry.offsetYRows, planeRows);
    plan.sourceStart = offsetX + offsetY * geometry.widthBytes;
    plan.rowBytes = std::min(geometry.aoiWidthBytes, geometry.widthBytes - offsetX);
    plan.rows = static_cast<std::uint32_t>(std::min(geometry.aoiRows, planeRows - offsetY));

    std::uint64_t planes = std::min<std::uint64_t>(geometry.planes, kMaxPlanes);
    const std::size_t windowBytes = std::size_t{plan.rows} * plan.rowBytes;
    if (windowBytes > 0)
        planes = std::min<std::uint64_t>(planes, geometry.ringSlotBytes / windowBytes);
    if (geometry.imageBytes > 0) {
        planes = std::min<std::uint64_t>(planes, geometry.frameSlotBytes / geometry.imageBytes);
    }
    plan.planes = static_cast<std::uint32_t>(planes);
    return plan;
}

void copyCropWindow(const CropPlan& plan, const unsigned char* frame, unsigned char* slot) {
    const std::size_t windowBytes = std::size_t{plan.rows} * plan.rowBytes;
    for (std::uint32_t plane = 0; plane < plan.planes; ++plane) {
        const unsigned char* source = frame + plane * plan.sourcePlaneBytes + plan.sourceStart;
        if (plan.rowBytes == plan.sourceStride) {
            std::memcpy(slot, source, windowBytes);
            slot += windowBytes;
            continue;
        }
        for (std::uint32_t row = 0; row < plan.rows; ++row) {
            std::memcpy(slot, source, plan.rowBytes);
            slot += plan.rowBytes;
            source += plan.sourceStride;
        }
    }
}

Acquisition::Acquisition() = default;

Acquisition::~Acquisition() {
    stop();
}

bool Acquisition::allocateSlotState(std::uint32_t bufferCount) {
    releaseSlotState();
    const std::uint32_t lockCount = bufferCount > 0 ? bufferCount - 1 : 0;
    frameTags_ = zeroedAtomics<std::int64_t>(bufferCount);
    fillCounters_ = zeroedAtomics<std::uint32_t>(bufferCount);
    lockFlags_ = zeroedAtomics<std::uint32_t>(lockCount);
    if (!frameTags_ || !fillCounters_ || !lockFlags_ || !observation_.allocate(bufferCount)) {
        releaseSlotState();
        return false;
    }
    slotCount_ = bufferCount;
    return true;
}

void Acquisition::releaseSlotState() {
    observation_.release();
    lockFlags_.reset();
    fillCounters_.reset();
    frameTags_.reset();
    slotCount_ = 0;
}

int Acquisition::lockSlot(unsigned int slot) {
    if (slot + 1ull >= slotCount_ || !lockFlags_) return 0;
    lockFlags_[slot].store(1, std::memory_order_relaxed);
    return 1;
}

// Release: the client's reads of the slot happen before the producer sees it free again.
int Acquisition::unlockSlot(unsigned int slot) {
    if (slot + 1ull >= slotCount_ || !lockFlags_) return 0;
    lockFlags_[slot].store(0, std::memory_order_release);
    return 1;
}

int Acquisition::isSlotLocked(unsigned int slot) const {
    if (slot + 1ull >= slotCount_ || !lockFlags_) return 0;
    return static_cast<int>(lockFlags_[slot].load(std::memory_order_acquire));
}

std::uint32_t Acquisition::fillCount(unsigned int slot) const {
    if (slot >= slotCount_ || !fillCounters_) return 0;
    return fillCounters_[slot].load(std::memory_order_relaxed);
}

void Acquisition::clearLocks() {
    for (std::uint32_t i = 0; i + 1 < slotCount_; ++i) lockFlags_[i].store(0);
}

bool Acquisition::createSemaphores(std::uint32_t bufferCount) {
    observation_.restart();
    try {
        const auto ringSlots = static_cast<std::int32_t>(bufferCount) - 1;
        spareReady_ = makeSemaphore(1);
        if (!spareReady_) return false;
        frameReady_ = makeSemaphore(ringSlots);
        if (!frameReady_) return false;
        {
            std::lock_guard<std::mutex> guard(triggerLock_);
            trigger_ = makeSemaphore(1);
            if (!trigger_) return false;
        }
        trashStarted_ = makeSemaphore(1);
        if (!trashStarted_) return false;
        deliveryStarted_ = makeSemaphore(1);
        return deliveryStarted_ != nullptr;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool Acquisition::startThreads(GrabState& state, const FrameLayout& layout, ComposeFrame compose,
                               void* owner) {
    // A ring that Create did not size for these semaphores cannot be run.
    if (slotCount_ < 2 || slotCount_ != state.geometry.bufferCount || !state.ring.slots) {
        return false;
    }
    state_ = &state;
    compose_ = compose;
    owner_ = owner;
    prepareCrop(layout);
    observation_.noteSlots(state.ring.slots.get());
    writeIndex_ = 0;
    readIndex_ = 0;
    try {
        delivery_ = std::make_unique<platform::Thread>();
        trash_ = std::make_unique<platform::Thread>();
        producer_ = std::make_unique<platform::Thread>();
        if (!delivery_->start([this] { return deliver(); }, kWorkerStackBytes)) return false;
        if (!trash_->start([this] { return reportOverruns(); })) return false;
        return producer_->start([this] { return produce(); }, kWorkerStackBytes);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

void Acquisition::stop() {
    wakeAll();
    if (isOwnThread()) return;
    // Join all three before forgetting any: a callback still running on the delivery thread
    // may look at the engine until that thread has ended.
    for (auto* thread : {producer_.get(), trash_.get(), delivery_.get()}) {
        if (thread && thread->joinable()) thread->join();
    }
    producer_.reset();
    trash_.reset();
    delivery_.reset();
    closeSemaphores();
    observation_.settleAtStop();
}

bool Acquisition::isOwnThread() const {
    return currentEngine == this;
}

// The other two threads end as Stop made them; the calling thread cannot be joined by anyone, so
// it takes the exit callback it still owes and deletes the engine when it ends.
void Acquisition::orphan() {
    wakeAll();
    for (auto* thread : {producer_.get(), trash_.get(), delivery_.get()}) {
        if (thread && thread->joinable() && !thread->isCurrent()) thread->join();
    }
    if (delivery_ && delivery_->isCurrent()) orphanExit_ = state_->callbacks.acqThreadExit.get();
    state_ = nullptr;
    owner_ = nullptr;
    orphaned_ = true;
}

// The exit callback comes last, so that a client waiting for it knows that nothing of the grab
// or its engine is left.
std::uint32_t Acquisition::finishOrphaned(std::uint32_t exitCode) {
    const CallbackRecord<IFW_ACQ_THREAD_EXIT_CALLBACK> exit = orphanExit_;
    delete this;  // the thread objects free themselves once this body returns
    currentEngine = nullptr;
    if (exit.function) callClient([&exit] { exit.function(exit.context); });
    return exitCode;
}

// Counted: every client trigger the running engine accepts ends as a frame or as merged.
void Acquisition::releaseTrigger() {
    std::lock_guard<std::mutex> guard(triggerLock_);
    if (!trigger_) return;
    observation_.triggerOffered();
    if (!trigger_->release()) observation_.triggerMerged();
}

// Wakes a producer waiting for a trigger or pausing, and both consumers, so that each of them
// sees the cleared running flag. A release past a maximum fails harmlessly: the waiter it was
// meant for has a count pending already.
void Acquisition::wakeAll() {
    {
        std::lock_guard<std::mutex> guard(triggerLock_);
        if (trigger_) trigger_->release();
    }
    if (frameReady_) frameReady_->release();
    if (spareReady_) spareReady_->release();
}

void Acquisition::closeSemaphores() {
    deliveryStarted_.reset();
    trashStarted_.reset();
    frameReady_.reset();
    spareReady_.reset();
    std::lock_guard<std::mutex> guard(triggerLock_);
    trigger_.reset();
}

void Acquisition::prepareCrop(const FrameLayout& layout) {
    const Geometry& stored = state_->geometry;
    cameraCount_ = static_cast<std::uint32_t>(layout.cameras);
    CropGeometry geometry;
    geometry.widthBytes = stored.widthByteCount;
    geometry.imageBytes = stored.imageSizeInBytes;
    geometry.offsetXBytes = stored.offsetXByteCount;
    geometry.offsetYRows = stored.offsetY;
    geometry.aoiWidthBytes = stored.aoiWidthByteCount;
    geometry.aoiRows = stored.aoiHeight;
    geometry.planes = layout.planes;
    geometry.frameSlotBytes = static_cast<std::size_t>(layout.frameSlotBytes);
    geometry.ringSlotBytes = static_cast<std::size_t>(layout.ringSlotBytes);
    crop_ = planCrop(geometry);
}

bool Acquisition::running() const {
    return state_->life.running.load() != 0;
}

std::uint32_t Acquisition::produce() {
    currentEngine = this;
    // The settle pause after a trigger then lasts its millisecond, not up to 50 us more, nor
    // until a busy processor's running thread has used up its slice.
    platform::preferPreciseWakeUps();
    // No frame before both consumers run.
    deliveryStarted_->wait(platform::kInfinite);
    trashStarted_->wait(platform::kInfinite);
    while (running()) {
        const bool triggered = pace();
        if (!running()) break;
        const std::uint64_t number = observation_.startFrame(triggered);
        if (isSlotLocked(writeIndex_)) {
            observation_.frameDropped(number);
            recordOverrun();
            continue;
        }
        writeFrame(writeIndex_, number);
        writeIndex_ = (writeIndex_ + 1) % (slotCount_ - 1);
        frameReady_->release();
    }
    // Both consumers wake and end.
    frameReady_->release();
    spareReady_->release();
    return kProducerExitCode;
}

// Triggered methods wait for a trigger; every other method free-runs, pausing the frame delay
// after each frame. The pause is a wait on the trigger semaphore, which in free run only Stop
// releases, so a stop ends the pause at once. The method is read afresh for every frame.
bool Acquisition::pace() {
    if (isTriggered(state_->line.triggerMethod.load())) {
        const bool taken = trigger_->wait(platform::kInfinite) == platform::WaitResult::Signaled;
        platform::sleepMilliseconds(kTriggerSettleMs);
        return taken;
    }
    return trigger_->wait(state_->source.frameDelay.load()) == platform::WaitResult::Signaled;
}

// The client still holds the slot the next frame would go to: drop this frame and tell the
// overrun reporter, whose spare slot's fill counter counts every overrun.
void Acquisition::recordOverrun() {
    const std::uint32_t spare = slotCount_ - 1;
    frameTags_[spare].store(0, std::memory_order_relaxed);
    fillCounters_[spare].fetch_add(1, std::memory_order_relaxed);
    spareReady_->release();
}

void Acquisition::writeFrame(std::uint32_t slot, std::uint64_t number) {
    lockSlot(slot);
    observation_.beginCompose(slot, number);
    frameTags_[slot].store(0, std::memory_order_relaxed);
    fillCounters_[slot].fetch_add(1, std::memory_order_relaxed);
    const unsigned char* frame = nullptr;
    try {
        frame = compose_(owner_);
    } catch (...) {
        frame = nullptr;  // the slot keeps its previous pixels; acquisition goes on
    }
    if (frame) copyCropWindow(crop_, frame, state_->ring.slots[slot]);
    observation_.endCompose();
}

// After every client call the thread checks whether that call deleted the grab.
std::uint32_t Acquisition::deliver() {
    currentEngine = this;
    // The frame reaches the callback as soon after the producer's hand-off as it can.
    platform::preferPreciseWakeUps();
    deliveryStarted_->release();
    state_->life.acqThreadId.store(platform::currentThreadId());
    while (running()) {
        frameReady_->wait(platform::kInfinite);
        if (!running()) break;
        const std::uint32_t slot = readIndex_;
        observation_.frameDelivered();
        handOver(slot);
        if (orphaned_) return finishOrphaned(kDeliveryExitCode);
        readIndex_ = (slot + 1) % (slotCount_ - 1);
        unlockSlot(slot);
    }
    const auto exit = state_->callbacks.acqThreadExit.get();
    if (exit.function) callClient([&exit] { exit.function(exit.context); });
    if (orphaned_) {
        orphanExit_ = {};  // owed no more
        return finishOrphaned(kDeliveryExitCode);
    }
    return kDeliveryExitCode;
}

// The plain buffer callback must be registered for anything to be delivered; in asynchronous
// mode the extended callback then receives the frame once per camera instead.
void Acquisition::handOver(std::uint32_t slot) {
    const auto plain = state_->callbacks.buffer.get();
    if (!plain.function) return;
    unsigned char* buffer = state_->ring.slots[slot];
    const unsigned int count = fillCounters_[slot].load(std::memory_order_relaxed);
    const std::int64_t tag = frameTags_[slot].load(std::memory_order_relaxed);
    if (!state_->camera.asyncMode) {
        callClient([&] { plain.function(buffer, count, tag, plain.context); });
        return;
    }
    const auto extended = state_->callbacks.bufferEx.get();
    if (!extended.function) return;
    for (std::uint32_t camera = 0; camera < cameraCount_ && !orphaned_; ++camera) {
        IFW_GRAB_BUF_DESC desc{};
        desc.Buffer = buffer;
        desc.CameraIndex = camera;
        callClient([&] { extended.function(&desc, count, tag, extended.context); });
    }
}

std::uint32_t Acquisition::reportOverruns() {
    currentEngine = this;
    trashStarted_->release();
    const std::uint32_t spare = slotCount_ - 1;
    while (running()) {
        spareReady_->wait(platform::kInfinite);
        if (!running()) break;
        const auto trash = state_->callbacks.trash.get();
        if (!trash.function) continue;
        unsigned char* buffer = state_->ring.slots[spare];
        const unsigned int count = fillCounters_[spare].load(std::memory_order_relaxed);
        const std::int64_t tag = frameTags_[spare].load(std::memory_order_relaxed);
        callClient([&] { trash.function(buffer, count, tag, trash.context); });
        if (orphaned_) return finishOrphaned(kTrashExitCode);
    }
    return kTrashExitCode;
}

}  // namespace tamra::emulator
