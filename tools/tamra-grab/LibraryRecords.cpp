// tamra-grab: the adapter to the library's counters, frame records and file checks.
#include "LibraryRecords.h"

#include <algorithm>
#include <cstring>

#if __has_include(<tamra/Observe.h>)
#include <tamra/Observe.h>
#define TAMRA_GRAB_OBSERVE 1
#endif

namespace tamra_grab {

bool LibraryCounters::triggersAddUp() const {
    return triggersGiven ==
           framesDelivered + framesDropped + framesDiscardedAtStop + triggersMerged;
}

void LibraryCounters::addTo(nlohmann::json& json) const {
    if (!available) return;
    json["triggers_given"] = triggersGiven;
    json["triggers_merged"] = triggersMerged;
    json["frames_composed"] = framesComposed;
    json["frames_delivered"] = framesDelivered;
    json["frames_dropped"] = framesDropped;
    json["frames_discarded_at_stop"] = framesDiscardedAtStop;
    json["frames_substituted"] = framesSubstituted;
}

nlohmann::json FrameRecord::toJson() const {
    nlohmann::json planesJson = nlohmann::json::array();
    for (std::uint32_t i = 0; i < std::min<std::uint32_t>(planeCount, kMaxPlanes); ++i) {
        nlohmann::json plane = {{"source", planes[i].sourceFile},
                                {"substituted", planes[i].substituted}};
        if (planes[i].substituted) plane["reason"] = planes[i].reason;
        planesJson.push_back(plane);
    }
    return {{"number", number},
            {"slot", slot},
            {"time", arrivalSeconds},
            {"composeUs", composeMicroseconds},
            {"latencyMs", latencyMs >= 0.0 ? nlohmann::json(latencyMs) : nlohmann::json()},
            {"planes", planesJson}};
}

#ifdef TAMRA_GRAB_OBSERVE

LibraryCounters readCounters(IXGrab& grab) {
    LibraryCounters counters;
    TamraCounters raw{};
    if (TamraGetCounters(&grab, &raw) != 1) return counters;
    counters.available = true;
    counters.triggersGiven = raw.triggersGiven;
    counters.triggersMerged = raw.triggersMerged;
    counters.framesComposed = raw.framesComposed;
    counters.framesDelivered = raw.framesDelivered;
    counters.framesDropped = raw.framesDropped;
    counters.framesDiscardedAtStop = raw.framesDiscardedAtStop;
    counters.framesSubstituted = raw.framesSubstituted;
    return counters;
}

bool fileChecksAvailable() {
    return true;
}

bool checkImageFile(const std::string& path, std::uint32_t width, std::uint32_t height,
                    std::uint32_t bytesPerPixel, bool conform, std::string* reason) {
    char text[TAMRA_REASON_CHARS] = {};
    const int plays = TamraCheckImageFile(path.c_str(), width, height, bytesPerPixel,
                                          conform ? 1 : 0, text, sizeof text);
    if (reason) *reason = text;
    return plays == 1;
}

struct FrameRecorder::Scratch {
    TamraFrameRecord raw;
};

FrameRecorder::FrameRecorder() : scratch_(std::make_unique<Scratch>()) {}
FrameRecorder::~FrameRecorder() = default;

bool FrameRecorder::read(IXGrab& grab, const unsigned char* frame, FrameRecord* record) {
    TamraFrameRecord& raw = scratch_->raw;
    if (TamraGetFrameRecord(&grab, frame, &raw) != 1) return false;
    record->number = raw.number;
    record->slot = raw.slot;
    record->planeCount = std::min<std::uint32_t>(raw.planeCount, kMaxPlanes);
    record->composeMicroseconds = raw.composeMicroseconds;
    for (std::uint32_t i = 0; i < record->planeCount; ++i) {
        std::memcpy(record->planes[i].sourceFile, raw.planes[i].sourceFile,
                    sizeof record->planes[i].sourceFile);
        record->planes[i].sourceFile[sizeof record->planes[i].sourceFile - 1] = '\0';
        record->planes[i].substituted = raw.planes[i].substituted != 0;
        std::memcpy(record->planes[i].reason, raw.planes[i].reason,
                    sizeof record->planes[i].reason);
        record->planes[i].reason[sizeof record->planes[i].reason - 1] = '\0';
    }
    return true;
}

#else

LibraryCounters readCounters(IXGrab&) {
    return {};
}

bool fileChecksAvailable() {
    return false;
}

bool checkImageFile(const std::string&, std::uint32_t, std::uint32_t, std::uint32_t, bool,
                    std::string* reason) {
    if (reason) *reason = "not checked";
    return true;
}

struct FrameRecorder::Scratch {};

FrameRecorder::FrameRecorder() = default;
FrameRecorder::~FrameRecorder() = default;

bool FrameRecorder::read(IXGrab&, const unsigned char*, FrameRecord*) {
    return false;
}

#endif

}  // namespace tamra_grab
