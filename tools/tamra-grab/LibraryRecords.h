// tamra-grab: what the library itself counts and records (the observability extension), read
// through one small adapter. A library built without the extension gives "not available".
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include <nlohmann/json.hpp>

#include <tamra/Tamra.h>

namespace tamra_grab {

// The library's own counts of one run, from Start.
struct LibraryCounters {
    bool available = false;
    std::uint64_t triggersGiven = 0;
    std::uint64_t triggersMerged = 0;
    std::uint64_t framesComposed = 0;
    std::uint64_t framesDelivered = 0;
    std::uint64_t framesDropped = 0;
    std::uint64_t framesDiscardedAtStop = 0;
    std::uint64_t framesSubstituted = 0;

    // Every accepted trigger ended in exactly one way; true when the counts say so.
    bool triggersAddUp() const;
    // The counters under their summary keys (triggers_given, ...), or nothing when unavailable.
    void addTo(nlohmann::json& json) const;
};

LibraryCounters readCounters(IXGrab& grab);

// Whether the library can say why a file plays as the stand-in pattern.
bool fileChecksAvailable();

// The library's verdict on one file under a geometry: true when it plays; otherwise the reason.
// Without the extension the verdict is unknown: true, with reason "not checked".
bool checkImageFile(const std::string& path, std::uint32_t width, std::uint32_t height,
                    std::uint32_t bytesPerPixel, bool conform, std::string* reason);

// One delivered frame as the library recorded it: its number since Start, the ring slot and
// each plane's source file.
constexpr int kMaxPlanes = 8;
struct PlaneRecord {
    char sourceFile[260] = {};
    bool substituted = false;
    char reason[128] = {};
};
struct FrameRecord {
    std::uint64_t number = 0;
    std::uint32_t slot = 0;
    std::uint32_t planeCount = 0;
    double composeMicroseconds = 0.0;
    double arrivalSeconds = 0.0;  // since the run started, on the client's clock
    double latencyMs = -1.0;      // trigger to callback when this frame's trigger was timed
    PlaneRecord planes[kMaxPlanes];
    nlohmann::json toJson() const;
};

// Copies frame records out of the library. Its working space is made once, here, so that the
// delivery thread neither allocates nor needs a large stack.
class FrameRecorder {
public:
    FrameRecorder();
    ~FrameRecorder();
    FrameRecorder(const FrameRecorder&) = delete;
    FrameRecorder& operator=(const FrameRecorder&) = delete;
    // Delivery thread, inside the buffer callback: copies the frame's record. False without the
    // extension or when the library has none for this frame.
    bool read(IXGrab& grab, const unsigned char* frame, FrameRecord* record);

private:
    struct Scratch;
    std::unique_ptr<Scratch> scratch_;
};

}  // namespace tamra_grab
