// Tamra grab library: the emulator's acquisition engine, the ring hand-off between its threads.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>

#include "emulator/Observation.h"

class CIGrabEmu;

namespace tamra::platform {
class Semaphore;
class Thread;
}  // namespace tamra::platform

namespace tamra::emulator {

// The crop window of one frame as its planes lie in frame slot 0 (one image after the other)
// and as they are packed into a ring slot (one window after the other).
struct CropGeometry {
    std::size_t widthBytes = 0;    // one source row
    std::size_t imageBytes = 0;    // one source plane
    std::size_t offsetXBytes = 0;  // window start within a row
    std::size_t offsetYRows = 0;   // window start within a plane
    std::size_t aoiWidthBytes = 0;
    std::size_t aoiRows = 0;
    std::uint64_t planes = 0;        // cameras x tiles
    std::size_t frameSlotBytes = 0;  // what the composed frame holds
    std::size_t ringSlotBytes = 0;   // what each written ring slot holds
};

// The copy that one frame costs, clamped so that it stays inside both buffers.
struct CropPlan {
    std::uint32_t planes = 0;
    std::uint32_t rows = 0;
    std::size_t rowBytes = 0;
    std::size_t sourceStride = 0;
    std::size_t sourceStart = 0;
    std::size_t sourcePlaneBytes = 0;
};

// Each plane's window starts at that plane's own offset. The window is cut at its plane's right
// edge and last row, and planes that the frame slot or ring slot cannot hold are left out (at
// most eight: one file list per camera).
CropPlan planCrop(const CropGeometry& geometry);
// Copies whole rows; a window as wide as the image is one copy per plane.
void copyCropWindow(const CropPlan& plan, const unsigned char* frame, unsigned char* slot);

// Three threads share a ring of n slots: the producer fills slots 0 to n - 2 in turn, the
// delivery thread hands them to the buffer callbacks first in, first out, and slot n - 1 is the
// spare slot that the overrun reporter hands to the trash callback.
//
// The hand-off takes no mutex. A slot's lock flag is set by the producer before it writes the
// slot and cleared by the delivery thread after the callback has returned (release / acquire,
// so the producer never writes pixels the client may still read). The frame-ready semaphore
// carries the order, one count per frame. The write index belongs to the producer, the read
// index to the delivery thread.
//
// Ownership: created by CIGrabEmu's constructor. Slot state lives from Create to Destroy;
// semaphores and threads exist exactly while running (Start to Stop).
class Acquisition {
public:
    Acquisition();
    ~Acquisition();
    Acquisition(const Acquisition&) = delete;
    Acquisition& operator=(const Acquisition&) = delete;

    // Frame tags, fill counters and lock flags for a ring of bufferCount slots, all zero.
    // Returns false, holding nothing, when the memory cannot be had.
    bool allocateSlotState(std::uint32_t bufferCount);
    void releaseSlotState();

    // Lock flags of slots 0 to n - 2; the spare slot and any index past it answer 0.
    int lockSlot(unsigned int slot);
    int unlockSlot(unsigned int slot);
    int isSlotLocked(unsigned int slot) const;
    std::uint32_t fillCount(unsigned int slot) const;

    // Start: the five semaphores with their maximum counts. False when one cannot be made
    // (a ring of one slot gives a frame-ready maximum of 0); the caller then stops.
    bool createSemaphores(std::uint32_t bufferCount);
    void clearLocks();
    // Fixes the crop plan, then starts delivery (32 KiB stack), overrun reporter (default
    // stack) and producer (32 KiB). False when a thread cannot be started; the caller then
    // stops, which wakes and joins whatever did start.
    bool startThreads(CIGrabEmu& emu);

    // Stop, after the running flag was cleared: wakes every thread, joins producer, reporter
    // and delivery thread in that order and closes the semaphores. On one of this engine's
    // own threads (a callback calling Stop) it only wakes them and returns: the threads end
    // after the callback returns, and the next stop from a client thread joins them.
    void stop();
    // True on one of this engine's threads, that is, inside one of the client's callbacks.
    bool isOwnThread() const;
    // On an own thread: stops acquisition (as Stop from a callback does), writes
    // "CIGrab::<operation>: Called from an acquisition callback" and returns true.
    bool refusedOnOwnThread(CIGrabEmu& emu, const char* operation);

    // Releases the trigger semaphore once, when it exists; a pending trigger absorbs the
    // call, so triggers that arrive while one is pending are lost.
    void releaseTrigger();

    // Thread bodies; their results are the threads' exit codes.
    std::uint32_t produce(CIGrabEmu& emu);
    std::uint32_t deliver(CIGrabEmu& emu);
    std::uint32_t reportOverruns(CIGrabEmu& emu);

    // Counters and frame records (see Observation).
    Observation& observation() { return observation_; }

private:
    // Fixed at Start from the geometry and the memory that really exists, so that a layout
    // change after Create can never make the copy leave its buffers.
    void prepareCrop(CIGrabEmu& emu);
    // True when the wait took a trigger.
    bool pace(CIGrabEmu& emu);
    void recordOverrun();
    void writeFrame(CIGrabEmu& emu, std::uint32_t slot, std::uint64_t number);
    void handOver(CIGrabEmu& emu, std::uint32_t slot);
    void wakeAll();
    void closeSemaphores();

    // Slot state: written by Create/Destroy on the client thread, used by the threads.
    std::uint32_t slotCount_ = 0;
    std::unique_ptr<std::atomic<std::int64_t>[]> frameTags_;
    std::unique_ptr<std::atomic<std::uint32_t>[]> fillCounters_;
    std::unique_ptr<std::atomic<std::uint32_t>[]> lockFlags_;
    std::uint32_t writeIndex_ = 0;  // producer only
    std::uint32_t readIndex_ = 0;   // delivery thread only
    std::uint32_t cameraCount_ = 1;
    CropPlan crop_;
    Observation observation_;

    // Kernel objects, existing only while running. The trigger semaphore is released by
    // client threads at any time, so its lifetime is guarded by triggerLock_.
    std::unique_ptr<platform::Semaphore> spareReady_;
    std::unique_ptr<platform::Semaphore> frameReady_;
    std::unique_ptr<platform::Semaphore> trigger_;
    std::unique_ptr<platform::Semaphore> trashStarted_;
    std::unique_ptr<platform::Semaphore> deliveryStarted_;
    mutable std::mutex triggerLock_;

    // Declared last: threads end (joined) before the state above is destroyed.
    std::unique_ptr<platform::Thread> delivery_;
    std::unique_ptr<platform::Thread> trash_;
    std::unique_ptr<platform::Thread> producer_;
};

}  // namespace tamra::emulator
