// tamra-grab: the summary of a session, as text for people and as JSON for scripts.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "GrabSession.h"
#include "LibraryRecords.h"

namespace tamra_grab {

struct Report {
    nlohmann::json options;
    nlohmann::json grab;
    std::string sampleTree;  // the generated tree, when no folder was given
    std::vector<PhaseResult> phases;
    CompositionStats composition;
    std::vector<std::string> outputLines;
    nlohmann::json outputs;
    std::vector<std::string> lineChecks;  // what the line checks reported
    nlohmann::json folderReport;          // the tree as the library reads it
    nlohmann::json conversion;            // the converted tree, when one was made
    std::vector<FrameRecord> frames;      // the first delivered frames, as the library recorded
    std::uint64_t framesNotRecorded = 0;
    int interruptedBy = 0;  // the signal that ended the run, or 0
    std::string error;      // empty when the session succeeded

    // The library's counters over every run of the session.
    LibraryCounters totals() const;

    void print(std::ostream& out) const;
    nlohmann::json toJson() const;
};

}  // namespace tamra_grab
