// Tamra grab library: what the camera emulator did, beyond the grab interface. A client that never
// calls these functions sees the emulator exactly as without them.
#pragma once

#include <cstdint>

#include <tamra/Export.h>

class IXGrab;

extern "C" {

// What became of the software and hardware triggers and the frames since the last Start. In
// trigger mode every accepted trigger ends in exactly one of: delivered, dropped (the next ring
// slot was still held by the client), discarded at Stop, or merged (it came while another one
// was pending, and the two made one frame). A trigger still pending when Stop comes counts with
// the frames discarded at Stop. So, as counted:
//   triggersGiven == framesDelivered + framesDropped + framesDiscardedAtStop + triggersMerged.
// In free run the producer makes frames without triggers; then framesComposed ==
// framesDelivered + (frames still in the ring, discarded at Stop).
struct TamraCounters {
    std::uint64_t triggersGiven;          // accepted: while running in a trigger mode
    std::uint64_t triggersMerged;         // given while one was already pending
    std::uint64_t framesComposed;         // composed into a ring slot
    std::uint64_t framesDelivered;        // taken from the ring by the delivery thread
    std::uint64_t framesDropped;          // overruns, each reported through the spare slot
    std::uint64_t framesDiscardedAtStop;  // in the ring or pending when Stop came
    std::uint64_t framesSubstituted;      // composed with at least one stand-in plane
};

// Copies the counters. Readable at any time, also after Stop (the discarded frames are counted
// when Stop has ended the threads); Start sets them to zero. 1 on success; 0 when grab or
// counters is null or the grab is not a camera emulator.
TAMRA_API int TamraGetCounters(IXGrab* grab, TamraCounters* counters);

enum { TAMRA_MAX_PLANES = 8, TAMRA_REASON_CHARS = 128, TAMRA_PATH_CHARS = 260 };

// One camera plane (camera x tile) of a composed frame.
struct TamraPlaneRecord {
    char sourceFile[TAMRA_PATH_CHARS];  // the file the plane was read from; empty when none
    int substituted;                    // 1: the plane is the stand-in pattern
    char reason[TAMRA_REASON_CHARS];    // why, in words, when substituted; else empty
};

struct TamraFrameRecord {
    std::uint64_t number;        // 1 for the first frame after Start; dropped frames take one too
    std::uint32_t slot;          // the ring slot, or the spare slot for a dropped frame
    std::uint32_t planeCount;    // planes recorded (0 for a dropped frame, which has none)
    double composeMicroseconds;  // time the producer took to compose the frame
    TamraPlaneRecord planes[TAMRA_MAX_PLANES];
};

// The record of the frame in the buffer a buffer or trash callback received. frame is that
// callback's buffer pointer; the record is valid inside that callback (the slot is rewritten
// once the callback returns). For the trash callback it describes the latest dropped frame.
// 1 on success; 0 for a null argument, a grab that is not a camera emulator or a pointer that is
// not the start of one of its slots.
TAMRA_API int TamraGetFrameRecord(IXGrab* grab, const unsigned char* frame,
                                  TamraFrameRecord* record);

// Whether the emulator plays the file at path under a grab of width x height with
// bytesPerPixel bytes per pixel and the given conform setting: 1 when it does; 0 when the frame
// would show the stand-in pattern instead (or, with conforming off, when the folder scan would
// leave the file out). The reason, in words, goes to reason (reasonChars bytes, always terminated;
// empty when the file plays); reason may be null. The test is the loader's own.
TAMRA_API int TamraCheckImageFile(const char* path, std::uint32_t width, std::uint32_t height,
                                  std::uint32_t bytesPerPixel, int conformEnable, char* reason,
                                  std::uint32_t reasonChars);
}
