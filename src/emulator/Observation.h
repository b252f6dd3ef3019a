// Emulator observation: the counters of triggers and frames, and a record per ring slot.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include <tamra/Observe.h>

namespace tamra::emulator {

struct Verdict;

// Kept by the acquisition engine. The records live from Create to Destroy, one per ring slot,
// so that writing one allocates nothing. A slot's record is written by the producer while it
// holds the slot's lock flag, before the frame-ready semaphore hands the slot on, and read by
// the delivery thread inside the callback, before the flag is cleared: the same hand-off that
// orders the pixels orders the record. The spare slot has no lock flag; its record is made
// when asked for, from an atomic frame number.
//
// Trigger accounting: a client trigger that the trigger semaphore takes is pending until the
// producer turns it into a frame (composed or dropped); one it refuses has merged. Stop, once
// every thread has ended, counts what is still pending, and every composed frame not
// delivered, as discarded.
class Observation {
public:
    // Create: one zeroed record per slot of a ring of slotCount slots. False, holding nothing,
    // when the memory cannot be had.
    bool allocate(std::uint32_t slotCount);
    void release();

    // Start, before a trigger can be given: counters and frame numbers start again from zero.
    void restart();
    // Start, before the threads run: the slots' addresses, for finding a frame's record.
    void noteSlots(unsigned char* const* slots);

    // Client threads, under the engine's trigger lock: a trigger is offered to the trigger
    // semaphore (before the release, so that the producer never takes one not yet counted),
    // then, when the semaphore refuses it, merged.
    void triggerOffered();
    void triggerMerged();

    // Producer. startFrame numbers the next frame and takes the trigger it answers, if any.
    std::uint64_t startFrame(bool triggered);
    void frameDropped(std::uint64_t number);
    void beginCompose(std::uint32_t slot, std::uint64_t number);
    // Composing a plane: file is null when the plane's list is empty; reason null when played.
    void notePlane(int plane, const std::string* file, const char* reason);
    void endCompose();

    // Delivery thread.
    void frameDelivered();

    // Stop, after every thread has ended.
    void settleAtStop();

    TamraCounters counters() const;
    // The record of the slot that starts at frame; false when frame starts no slot.
    bool record(const unsigned char* frame, TamraFrameRecord& out) const;

private:
    std::uint32_t slotCount_ = 0;
    std::unique_ptr<TamraFrameRecord[]> records_;
    std::unique_ptr<const unsigned char*[]> slots_;

    std::atomic<std::uint64_t> triggersGiven_{0};
    std::atomic<std::uint64_t> triggersMerged_{0};
    std::atomic<std::uint64_t> framesComposed_{0};
    std::atomic<std::uint64_t> framesDelivered_{0};
    std::atomic<std::uint64_t> framesDropped_{0};
    std::atomic<std::uint64_t> framesSubstituted_{0};
    std::atomic<std::uint64_t> ringDiscarded_{0};
    std::atomic<std::uint64_t> pendingDiscarded_{0};
    std::atomic<std::int64_t> pendingTriggers_{0};
    std::atomic<std::uint64_t> lastDropped_{0};

    // Producer only.
    std::uint64_t frameNumber_ = 0;
    TamraFrameRecord* composing_ = nullptr;
    bool substituting_ = false;
    std::int64_t composeStart_ = 0;
    std::int64_t ticksPerSecond_ = 0;
};

}  // namespace tamra::emulator
