// Python module: the library's frame records and counters, where it keeps them.
#include "FrameRecord.h"

#include <algorithm>

namespace tamra_python {

namespace py = pybind11;

bool readFrameRecord(IXGrab& grab, const unsigned char* frame, FrameMeta& meta) {
    if (!TamraGetFrameRecord(&grab, frame, &meta.record)) return false;
    meta.recorded = true;
    meta.number = meta.record.number;
    meta.slot = meta.record.slot;
    meta.composeMicroseconds = meta.record.composeMicroseconds;
    return true;
}

py::tuple planeRecords(const FrameMeta& meta) {
    const std::uint32_t planes =
        meta.recorded ? std::min<std::uint32_t>(meta.record.planeCount, TAMRA_MAX_PLANES) : 0;
    py::tuple files(planes), substituted(planes), reasons(planes);
    for (std::uint32_t i = 0; i < planes; ++i) {
        const TamraPlaneRecord& plane = meta.record.planes[i];
        files[i] = plane.sourceFile[0] != '\0' ? py::object(py::str(plane.sourceFile)) : py::none();
        substituted[i] = py::bool_(plane.substituted != 0);
        reasons[i] = py::str(plane.reason);
    }
    return py::make_tuple(files, substituted, reasons);
}

py::object counterDict(const TamraCounters& counters, bool ok) {
    if (!ok) return py::none();
    py::dict result;
    result["triggers_given"] = counters.triggersGiven;
    result["triggers_merged"] = counters.triggersMerged;
    result["frames_composed"] = counters.framesComposed;
    result["frames_delivered"] = counters.framesDelivered;
    result["frames_dropped"] = counters.framesDropped;
    result["frames_discarded_at_stop"] = counters.framesDiscardedAtStop;
    result["frames_substituted"] = counters.framesSubstituted;
    return std::move(result);
}

}  // namespace tamra_python
