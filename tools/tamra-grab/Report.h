// tamra-grab: the summary of a session, as text for people and as JSON for scripts.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "GrabSession.h"

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
    std::string error;                    // empty when the session succeeded

    void print(std::ostream& out) const;
    nlohmann::json toJson() const;
};

}  // namespace tamra_grab
