// tamra-grab: the summary of a session.
#include "Report.h"

#include <cstdio>

namespace tamra_grab {
namespace {

std::string format(const char* pattern, double a, double b = 0.0, double c = 0.0) {
    char text[160];
    std::snprintf(text, sizeof text, pattern, a, b, c);
    return text;
}

// The library's own counts; in a triggered run they must account for every trigger.
void printCounters(std::ostream& out, const PhaseResult& phase) {
    const LibraryCounters& c = phase.counters;
    if (!c.available) {
        out << "  library counters  not available in this library\n";
        return;
    }
    out << "  library counted   " << c.triggersGiven << " triggers (" << c.triggersMerged
        << " merged), " << c.framesComposed << " composed, " << c.framesDelivered << " delivered, "
        << c.framesDropped << " dropped, " << c.framesDiscardedAtStop << " discarded at Stop, "
        << c.framesSubstituted << " with stand-in planes\n";
    if (phase.mode != TriggerMode::FreeRun) {
        out << "  accounted         " << (phase.addsUp() ? "yes" : "NO")
            << ": triggers = delivered + dropped + discarded at Stop + merged\n";
    }
}

void printPhase(std::ostream& out, const PhaseResult& phase) {
    out << phase.name;
    if (phase.mode == TriggerMode::FreeRun) out << ", frame delay " << phase.delayMs << " ms";
    out << format(": %.2f s", phase.seconds) << "\n";
    if (phase.mode != TriggerMode::FreeRun) {
        out << "  triggers given    " << phase.triggers << "\n";
    }
    out << "  frames delivered  " << phase.delivered
        << format("  (%.1f per second)", phase.framesPerSecond()) << "\n";
    out << "  frames dropped    " << phase.dropped
        << "  (overruns: the client still held the slot)\n";
    out << "  drops reported    " << phase.reported << "  (trash callback calls)\n";
    printCounters(out, phase);
    if (phase.latency.samples > 0) {
        out << "  latency           "
            << format("mean %.3f ms, p99 %.3f ms", phase.latency.meanMs, phase.latency.p99Ms)
            << "  (trigger to callback, " << phase.latency.samples << " frames)\n";
    }
}

}  // namespace

LibraryCounters Report::totals() const {
    LibraryCounters sum;
    for (const PhaseResult& phase : phases) {
        const LibraryCounters& c = phase.counters;
        if (!c.available) return {};
        sum.available = true;
        sum.triggersGiven += c.triggersGiven;
        sum.triggersMerged += c.triggersMerged;
        sum.framesComposed += c.framesComposed;
        sum.framesDelivered += c.framesDelivered;
        sum.framesDropped += c.framesDropped;
        sum.framesDiscardedAtStop += c.framesDiscardedAtStop;
        sum.framesSubstituted += c.framesSubstituted;
    }
    return sum;
}

void Report::print(std::ostream& out) const {
    if (!sampleTree.empty()) out << "sample tree       " << sampleTree << "\n";
    if (grab.is_object()) {
        out << "images            " << grab.value("imagePath", std::string()) << "\n";
        out << "geometry          " << grab.value("width", 0u) << " x " << grab.value("height", 0u)
            << ", " << grab.value("bitsPerPixel", 0u) << " bits, " << grab.value("cameras", 0)
            << " camera(s), " << grab.value("bufferCount", 0u) << " ring buffers\n";
    }
    for (const PhaseResult& phase : phases) printPhase(out, phase);
    if (composition.frames > 0) {
        out << "composition       "
            << format("%.3f ms per frame (max %.3f ms", composition.meanMs, composition.maxMs)
            << ", " << composition.frames << " frames)\n";
    }
    for (const std::string& line : outputLines) out << line << "\n";
    for (const std::string& text : lineChecks) out << text << "\n";
    if (interruptedBy != 0) out << "interrupted       by signal " << interruptedBy << "\n";
}

nlohmann::json Report::toJson() const {
    nlohmann::json json;
    json["tool"] = "tamra-grab";
    json["ok"] = error.empty();
    if (!error.empty()) json["error"] = error;
    json["options"] = options;
    json["grab"] = grab;
    if (!sampleTree.empty()) json["sampleTree"] = sampleTree;
    json["phases"] = nlohmann::json::array();
    for (const PhaseResult& phase : phases) json["phases"].push_back(phase.toJson());
    json["compositionMs"] = {
        {"frames", composition.frames}, {"mean", composition.meanMs}, {"max", composition.maxMs}};
    json["outputs"] = outputs;
    json["lineChecks"] = lineChecks;
    json["interrupted"] = interruptedBy != 0;
    if (!folderReport.is_null()) json["folderReport"] = folderReport;
    if (!conversion.is_null()) json["conversion"] = conversion;
    totals().addTo(json);
    json["frames"] = nlohmann::json::array();
    for (const FrameRecord& frame : frames) json["frames"].push_back(frame.toJson());
    json["framesNotRecorded"] = framesNotRecorded;
    return json;
}

}  // namespace tamra_grab
