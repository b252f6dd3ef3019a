// Python module: what the library records about each frame and run, through <tamra/Observe.h>:
// the source file of every plane and the counts of what happened to every frame and trigger.
#pragma once

#include <cstdint>

#include <pybind11/pybind11.h>

#include <tamra/Tamra.h>

#include <tamra/Observe.h>

namespace tamra_python {

// One delivered frame's description, filled on the delivery thread without the GIL.
struct FrameMeta {
    std::uint64_t number = 0;  // since start
    std::uint32_t slot = 0;    // ring slot
    double time = 0.0;         // seconds on the clock of time.monotonic()
    double composeMicroseconds = -1.0;
    TamraFrameRecord record{};
    bool recorded = false;
};

// Fills number, slot and the plane records from the library's record of frame; false (meta
// unchanged) when it has none. Delivery thread, inside the buffer callback.
bool readFrameRecord(IXGrab& grab, const unsigned char* frame, FrameMeta& meta);

// (source files, substituted flags, reasons) as tuples, one entry per plane; empty without a
// record. Needs the GIL.
pybind11::tuple planeRecords(const FrameMeta& meta);

// The library's own counters as a dict, or None when the grab keeps none. Needs the GIL; ok
// tells whether counters were read.
pybind11::object counterDict(const TamraCounters& counters, bool ok);

}  // namespace tamra_python
