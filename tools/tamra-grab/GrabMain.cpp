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

#include "Convert.h"
#include "FolderReport.h"
#include "GrabOptions.h"
#include "GrabSession.h"
#include "ImageTree.h"
#include "Interrupt.h"
#include "Report.h"
#include "samplegen/SampleTree.h"

namespace {

using namespace tamra_grab;

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
constexpr int kCompositionFrames = 50;

// A sample tree in a folder of its own under the temporary folder, removed afterwards, or in
// the folder --keep-samples names, kept.
class SampleFolder {
public:
    explicit SampleFolder(std::string keep) : keep_(std::move(keep)) {}
    ~SampleFolder() {
        std::error_code ignored;
        if (!path_.empty() && keep_.empty()) std::filesystem::remove_all(path_, ignored);
    }
    SampleFolder(const SampleFolder&) = delete;
    SampleFolder& operator=(const SampleFolder&) = delete;
    std::string create() {
        std::random_device seed;
        path_ = keep_.empty() ? std::filesystem::temp_directory_path() /
                                    ("tamra-grab-samples-" + std::to_string(seed()))
                              : std::filesystem::path(keep_);
        tamra::samples::writeSampleTree(path_.string(), tamra::samples::TreeOptions{});
        return path_.string();
    }

private:
    std::string keep_;
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
    if (file == "-") {
        std::cout << report.toJson().dump(2) << "\n";
        return static_cast<bool>(std::cout.flush());
    }
    std::ofstream out(file, std::ios::trunc);
    out << report.toJson().dump(2) << "\n";
    return static_cast<bool>(out);
}

// Folders with images the library would not play are played from a converted copy.
std::string prepareFolder(const GrabOptions& options, const std::string& folder, Report& report,
                          std::ostream& out) {
    std::string why;
    if (options.folder.empty() || options.noConvert ||
        !needsConversion(folder, kMaxCameras, &why)) {
        return folder;
    }
    if (!decodersAvailable()) {
        std::cerr << "tamra-grab: " << why << " is not played: this build cannot convert it\n";
        return folder;
    }
    out << "converting        " << folder << " first: " << why << "\n";
    const Conversion conversion = convertCached(folder, kMaxCameras);
    if (!conversion.error.empty()) {
        report.error = "cannot convert " + folder + ": " + conversion.error;
        return {};
    }
    conversion.print(out);
    report.conversion = conversion.toJson();
    return conversion.tree;
}

Progress::Style progressStyle(const std::string& option) {
    if (option == "never") return Progress::Style::Off;
    if (option == "always" || stderrIsTerminal()) return Progress::Style::Live;
    return Progress::Style::Lines;
}

void runPhases(const GrabOptions& options, GrabSession& session, Report& report) {
    Progress progress(progressStyle(options.progress));
    if (options.mode == TriggerMode::Demo) {
        report.phases.push_back(session.run(TriggerMode::Software, 0, 0.0, progress));
        if (!interrupted())
            report.phases.push_back(session.run(TriggerMode::FreeRun, 0, 0.0, progress));
    } else {
        report.phases.push_back(
            session.run(options.mode, options.frames, options.seconds, progress));
    }
    for (const PhaseResult& phase : report.phases) {
        if (!report.error.empty() || phase.interrupted) continue;
        if (phase.delivered == 0) {
            report.error = "no frame was delivered in the " + phase.name + " run";
        } else if (!phase.addsUp()) {
            report.error = "the library's counters do not account for every trigger in the " +
                           phase.name + " run";
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
    // With the JSON on standard output, the text for people goes to standard error.
    std::ostream& out = options.jsonFile == "-" ? std::cerr : std::cout;
    SampleFolder samples(options.keepSamples);
    const std::string folder = options.folder.empty() ? samples.create() : options.folder;
    if (options.folder.empty()) report.sampleTree = folder;
    const std::string played = prepareFolder(options, folder, report, out);
    if (!played.empty() && countBitmaps(played) == 0) {
        std::cerr << "tamra-grab: no bitmap files in " << played
                  << "; every frame shows the stand-in pattern\n";
    }
    if (!played.empty()) {
        GrabSession session(options);
        std::string error;
        if (session.open(played, error) && runLineChecks(options, session, report, error)) {
            report.grab = session.describe();
            const FolderReport folderReport =
                describeFolder(folder, played, session.grab(), options);
            folderReport.print(out);
            out.flush();
            report.folderReport = folderReport.toJson();
            runPhases(options, session, report);
            if (!interrupted()) report.composition = session.measureComposition(kCompositionFrames);
        }
        session.finishOutputs(error);
        if (report.error.empty()) report.error = error;
        report.outputLines = session.outputLines();
        report.outputs = session.outputJson();
        report.frames = session.frameRecords();
        report.framesNotRecorded = session.framesNotRecorded();
    }
    report.interruptedBy = interruptSignal();
    report.print(out);
    if (!options.jsonFile.empty() && !writeJson(options.jsonFile, report)) {
        std::cerr << "tamra-grab: cannot write " << options.jsonFile << "\n";
        return kExitFailure;
    }
    if (report.interruptedBy != 0) return 128 + report.interruptedBy;
    if (!report.error.empty()) {
        std::cerr << "tamra-grab: " << report.error << "\n";
        return kExitFailure;
    }
    return 0;
}

// tamra-grab convert SRC DST: the conversion alone.
int runConvert(const std::string& source, const std::string& target) {
    if (!decodersAvailable()) {
        std::cerr << "tamra-grab: this build cannot decode PNG, JPEG or TIFF files\n";
        return kExitFailure;
    }
    const Conversion conversion = convertTree(source, target, kMaxCameras);
    if (!conversion.error.empty()) {
        std::cerr << "tamra-grab: " << conversion.error << "\n";
        return kExitUsage;
    }
    conversion.print(std::cout);
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
    app.set_version_flag("--version", std::string("tamra-grab ") + TAMRA_GRAB_VERSION);
    std::string convertSource, convertTarget;
    CLI::App* convert = app.add_subcommand(
        "convert",
        "Converts a folder tree of PNG, JPEG, TIFF or BMP files into bitmaps the emulator plays, "
        "with the same camera and set folders, numbered in the files' numeric name order");
    convert->add_option("SRC", convertSource, "Folder tree to convert")
        ->required()
        ->check(CLI::ExistingDirectory);
    convert->add_option("DST", convertTarget, "New or empty folder for the bitmaps")->required();
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& failure) {
        return app.exit(failure) == 0 ? 0 : kExitUsage;
    }
    if (convert->parsed()) return runConvert(convertSource, convertTarget);
    settleMode(options);
    std::string problem = checkGrabOptions(options);
    if (problem.empty()) problem = checkOutputPaths(options);
    if (!problem.empty()) {
        std::cerr << "tamra-grab: " << problem << "\nRun with --help for more information.\n";
        return kExitUsage;
    }
    installInterruptHandlers();
    try {
        return runSession(options);
    } catch (const std::exception& failure) {
        std::cerr << "tamra-grab: " << failure.what() << "\n";
        return kExitFailure;
    }
}
