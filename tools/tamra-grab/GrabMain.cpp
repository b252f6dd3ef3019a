// tamra-grab: plays a folder tree of bitmap files as a camera through the emulator and reports
// what a client sees. Without arguments it plays a generated sample tree.
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <sstream>
#include <string>

#include <CLI/CLI.hpp>

#include "GrabOptions.h"
#include "GrabSession.h"
#include "Report.h"
#include "samplegen/SampleTree.h"

namespace {

using namespace tamra_grab;

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
constexpr int kCompositionFrames = 50;

// A sample tree in a folder of its own under the temporary folder, removed afterwards.
class SampleFolder {
public:
    ~SampleFolder() {
        std::error_code ignored;
        if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
    }
    std::string create() {
        std::random_device seed;
        path_ = std::filesystem::temp_directory_path() /
                ("tamra-grab-samples-" + std::to_string(seed()));
        tamra::samples::writeSampleTree(path_.string(), tamra::samples::TreeOptions{});
        return path_.string();
    }

private:
    std::filesystem::path path_;
};

std::size_t countBitmaps(const std::string& folder) {
    std::size_t count = 0;
    std::error_code error;
    for (std::filesystem::recursive_directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        std::string extension = it->path().extension().string();
        std::transform(extension.begin(), extension.end(), extension.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (extension == ".bmp") ++count;
    }
    return count;
}

bool writeJson(const std::string& file, const Report& report) {
    std::ofstream out(file, std::ios::trunc);
    out << report.toJson().dump(2) << "\n";
    return static_cast<bool>(out);
}

void runPhases(const GrabOptions& options, GrabSession& session, Report& report) {
    Progress progress(options.progress == "always" ||
                      (options.progress == "auto" && stderrIsTerminal()));
    if (options.mode == TriggerMode::Demo) {
        report.phases.push_back(session.run(TriggerMode::Software, 0, 0.0, progress));
        report.phases.push_back(session.run(TriggerMode::FreeRun, 0, 0.0, progress));
    } else {
        report.phases.push_back(
            session.run(options.mode, options.frames, options.seconds, progress));
    }
    for (const PhaseResult& phase : report.phases) {
        if (phase.delivered == 0 && report.error.empty()) {
            report.error = "no frame was delivered in the " + phase.name + " run";
        }
    }
}

// The line engineer's checks (GPIO file, serial port) run on the created grab before any frame.
bool runLineChecks(const GrabOptions& options, GrabSession& session, Report& report,
                   std::string& error) {
    if (!options.line.any()) return true;
    std::ostringstream out;
    const int result = tamra::tools::runLineChecks(session.grab(), options.line, out, std::cerr);
    std::istringstream lines(out.str());
    for (std::string text; std::getline(lines, text);) report.lineChecks.push_back(text);
    if (result != 0) error = "the line checks failed";
    return result == 0;
}

// Everything after the command line; the report is printed and written whatever happens.
int runSession(const GrabOptions& options) {
    Report report;
    report.options = options.toJson();
    SampleFolder samples;
    const std::string folder = options.folder.empty() ? samples.create() : options.folder;
    if (options.folder.empty()) report.sampleTree = folder;
    if (countBitmaps(folder) == 0) {
        std::cerr << "tamra-grab: no bitmap files in " << folder
                  << "; every frame shows the substitute pattern\n";
    }
    {
        GrabSession session(options);
        std::string error;
        if (session.open(folder, error) && runLineChecks(options, session, report, error)) {
            report.grab = session.describe();
            runPhases(options, session, report);
            report.composition = session.measureComposition(kCompositionFrames);
        }
        session.finishOutputs(error);
        if (report.error.empty()) report.error = error;
        report.outputLines = session.outputLines();
        report.outputs = session.outputJson();
    }
    report.print(std::cout);
    if (!options.jsonFile.empty() && !writeJson(options.jsonFile, report)) {
        std::cerr << "tamra-grab: cannot write " << options.jsonFile << "\n";
        return kExitFailure;
    }
    if (!report.error.empty()) {
        std::cerr << "tamra-grab: " << report.error << "\n";
        return kExitFailure;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    GrabOptions options;
    CLI::App app{
        "Plays a folder tree of bitmap files as a camera through the Tamra emulator and reports "
        "what a client sees. Without arguments it generates a sample tree in a temporary folder "
        "and plays 200 software-triggered frames, then two seconds of free run.",
        "tamra-grab"};
    addGrabOptions(app, options);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& failure) {
        return app.exit(failure) == 0 ? 0 : kExitUsage;
    }
    settleMode(options);
    const std::string problem = checkGrabOptions(options);
    if (!problem.empty()) {
        std::cerr << "tamra-grab: " << problem << "\nRun with --help for more information.\n";
        return kExitUsage;
    }
    try {
        return runSession(options);
    } catch (const std::exception& failure) {
        std::cerr << "tamra-grab: " << failure.what() << "\n";
        return kExitFailure;
    }
}
