// Emulator observation: the counters of triggers and frames, and a record per ring slot.
#include "emulator/Observation.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "platform/Clock.h"

namespace tamra::emulator {

namespace {

constexpr auto kRelaxed = std::memory_order_relaxed;
constexpr const char* kNoFile = "no image file is listed for this camera plane";

void copyText(char* destination, std::size_t capacity, const char* text, std::size_t length) {
    length = std::min(length, capacity - 1);
    std::memcpy(destination, text, length);
    destination[length] = '\0';
}

}  // namespace

bool Observation::allocate(std::uint32_t slotCount) {
    release();
    records_.reset(new (std::nothrow) TamraFrameRecord[slotCount]());
    slots_.reset(new (std::nothrow) const unsigned char*[slotCount]());
    if (!records_ || !slots_) {
        release();
        return false;
    }
    slotCount_ = slotCount;
    return true;
}

void Observation::release() {
    slotCount_ = 0;
    records_.reset();
    slots_.reset();
}

void Observation::restart() {
    for (auto* counter :
         {&triggersGiven_, &triggersMerged_, &framesComposed_, &framesDelivered_, &framesDropped_,
          &framesSubstituted_, &ringDiscarded_, &pendingDiscarded_, &lastDropped_}) {
        counter->store(0);
    }
    pendingTriggers_.store(0);
    frameNumber_ = 0;
    composing_ = nullptr;
    if (!platform::performanceFrequency(&ticksPerSecond_)) ticksPerSecond_ = 0;
}

void Observation::noteSlots(unsigned char* const* slots) {
    for (std::uint32_t i = 0; i < slotCount_; ++i) slots_[i] = slots[i];
}

void Observation::triggerOffered() {
    triggersGiven_.fetch_add(1, kRelaxed);
    pendingTriggers_.fetch_add(1);
}

void Observation::triggerMerged() {
    pendingTriggers_.fetch_sub(1);
    triggersMerged_.fetch_add(1, kRelaxed);
}

std::uint64_t Observation::startFrame(bool triggered) {
    if (triggered) pendingTriggers_.fetch_sub(1);
    return ++frameNumber_;
}

void Observation::frameDropped(std::uint64_t number) {
    lastDropped_.store(number, kRelaxed);
    framesDropped_.fetch_add(1, kRelaxed);
}

void Observation::beginCompose(std::uint32_t slot, std::uint64_t number) {
    composing_ = slot < slotCount_ ? &records_[slot] : nullptr;
    substituting_ = false;
    composeStart_ = platform::performanceCounter();
    if (composing_ == nullptr) return;
    composing_->number = number;
    composing_->slot = slot;
    composing_->planeCount = 0;
    composing_->composeMicroseconds = 0;
}

void Observation::notePlane(int plane, const std::string* file, const char* reason) {
    if (file == nullptr && reason == nullptr) reason = kNoFile;
    if (reason != nullptr) substituting_ = true;
    if (composing_ == nullptr || plane < 0 || plane >= TAMRA_MAX_PLANES) return;
    TamraPlaneRecord& record = composing_->planes[plane];
    if (file != nullptr) {
        copyText(record.sourceFile, sizeof record.sourceFile, file->data(), file->size());
    } else {
        record.sourceFile[0] = '\0';
    }
    record.substituted = reason != nullptr ? 1 : 0;
    const char* text = reason != nullptr ? reason : "";
    copyText(record.reason, sizeof record.reason, text, std::strlen(text));
    composing_->planeCount =
        std::max(composing_->planeCount, static_cast<std::uint32_t>(plane) + 1);
}

void Observation::endCompose() {
    framesComposed_.fetch_add(1, kRelaxed);
    if (substituting_) framesSubstituted_.fetch_add(1, kRelaxed);
    if (composing_ != nullptr && ticksPerSecond_ > 0) {
        const auto ticks = static_cast<double>(platform::performanceCounter() - composeStart_);
        composing_->composeMicroseconds = ticks * 1e6 / static_cast<double>(ticksPerSecond_);
    }
    composing_ = nullptr;
}

void Observation::frameDelivered() {
    framesDelivered_.fetch_add(1, kRelaxed);
}

// Idempotent: a second Stop finds nothing more pending, and the ring's count is recomputed.
void Observation::settleAtStop() {
    const std::uint64_t composed = framesComposed_.load();
    const std::uint64_t delivered = framesDelivered_.load();
    ringDiscarded_.store(composed > delivered ? composed - delivered : 0);
    const std::int64_t pending = pendingTriggers_.exchange(0);
    if (pending > 0) pendingDiscarded_.fetch_add(static_cast<std::uint64_t>(pending));
}

TamraCounters Observation::counters() const {
    TamraCounters counters{};
    counters.triggersGiven = triggersGiven_.load(kRelaxed);
    counters.triggersMerged = triggersMerged_.load(kRelaxed);
    counters.framesComposed = framesComposed_.load(kRelaxed);
    counters.framesDelivered = framesDelivered_.load(kRelaxed);
    counters.framesDropped = framesDropped_.load(kRelaxed);
    counters.framesDiscardedAtStop =
        ringDiscarded_.load(kRelaxed) + pendingDiscarded_.load(kRelaxed);
    counters.framesSubstituted = framesSubstituted_.load(kRelaxed);
    return counters;
}

bool Observation::record(const unsigned char* frame, TamraFrameRecord& out) const {
    if (frame == nullptr || slotCount_ < 2) return false;
    const std::uint32_t spare = slotCount_ - 1;
    for (std::uint32_t slot = 0; slot < spare; ++slot) {
        if (slots_[slot] != frame) continue;
        std::memcpy(&out, &records_[slot], sizeof out);
        return true;
    }
    if (slots_[spare] != frame) return false;
    out = TamraFrameRecord{};
    out.number = lastDropped_.load(kRelaxed);
    out.slot = spare;
    return true;
}

}  // namespace tamra::emulator
