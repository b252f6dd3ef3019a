// Python module: what the library records about each frame and run, when it records it.
//
// The observability extension (<tamra/Observe.h>) names the source file of every plane and counts
// what happened to every frame. Builds against a library without it fall back to the binding's
// own counting: frame numbers and slots from delivery order, and no source files.
#pragma once

#include <cstdint>

#include <pybind11/pybind11.h>

#include <tamra/Tamra.h>

#if __has_include(<tamra/Observe.h>)
#include <tamra/Observe.h>
#define TAMRA_PYTHON_OBSERVE 1
#else
#define TAMRA_PYTHON_OBSERVE 0
#endif

namespace tamra_python {

// One delivered frame's description, filled on the delivery thread without the GIL.
struct FrameMeta {
    std::uint64_t number = 0;  // since start
    std::uint32_t slot = 0;    // ring slot
    double time = 0.0;         // seconds on the clock of time.monotonic()
    double composeMicroseconds = -1.0;
#if TAMRA_PYTHON_OBSERVE
    TamraFrameRecord record{};
    bool recorded = false;
#endif
};

// Fills number, slot and the plane records from the library's record of frame; false (meta
// unchanged) when the library keeps none. Delivery thread, inside the buffer callback.
bool readFrameRecord(IXGrab& grab, const unsigned char* frame, FrameMeta& meta);

// (source files, substituted flags, reasons) as tuples, one entry per plane; empty without
// records. Needs the GIL.
pybind11::tuple planeRecords(const FrameMeta& meta);

// The library's own counters as a dict, or None when it keeps none.
pybind11::object libraryCounters(IXGrab& grab);

// Whether this build reads the library's records.
constexpr bool observesFrames() {
    return TAMRA_PYTHON_OBSERVE != 0;
}

}  // namespace tamra_python
