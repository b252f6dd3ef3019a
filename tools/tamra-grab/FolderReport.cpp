// tamra-grab: the folder report.
#include "FolderReport.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>

#include "ImageTree.h"
#include "LibraryRecords.h"

namespace tamra_grab {
namespace fs = std::filesystem;

namespace {

constexpr unsigned int kShortestFrameDelayMs = 33;

std::int32_t field(const unsigned char* bytes, int size) {
    std::uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i) value = (value << 8) | bytes[i];
    return static_cast<std::int32_t>(value);
}

// The size a bitmap stores, as text; empty when the file has no bitmap header.
std::string storedGeometry(const fs::path& file, std::int32_t* width) {
    unsigned char header[30] = {};
    std::ifstream in(file, std::ios::binary);
    if (!in.read(reinterpret_cast<char*>(header), sizeof header) || header[0] != 'B' ||
        header[1] != 'M')
        return {};
    *width = field(header + 18, 4);
    return std::to_string(field(header + 18, 4)) + " x " + std::to_string(field(header + 22, 4)) +
           ", " + std::to_string(field(header + 28, 2)) + " bits";
}

void addIfChanged(FolderReport& report, const char* what, std::uint64_t asked, std::uint64_t got,
                  const char* why) {
    if (asked != got)
        report.adjusted.push_back({what, std::to_string(asked), std::to_string(got), why});
}

void collectAdjustments(FolderReport& report, IXGrab& grab, const GrabOptions& options) {
    const std::uint32_t tilesH = std::max<std::uint32_t>(1, options.tilesH);
    if (options.width > 0) {
        addIfChanged(report, "width", options.width, grab.GetWidth() / tilesH,
                     "the library rounds a width up to a multiple of 4 (or 8 when rotated)");
    }
    if (options.buffers > 0) {
        addIfChanged(report, "ring buffers", options.buffers, grab.GetBufferCount(),
                     "at most 3 buffers for widths from 649 to 2047 and above 4000");
    }
    if (options.mode == TriggerMode::FreeRun && options.delayMs < kShortestFrameDelayMs) {
        addIfChanged(report, "frame delay (ms)", options.delayMs, kShortestFrameDelayMs,
                     "the emulator pauses at least 33 ms between frames");
    }
    if (options.cameras > 0) {
        addIfChanged(report, "cameras", static_cast<std::uint64_t>(options.cameras),
                     static_cast<std::uint64_t>(grab.GetNumCameras()),
                     "the library's camera count");
    }
}

// Grouped by folder, a few names each: a whole camera folder left out is one line.
void printNotRead(std::ostream& out, const std::vector<std::string>& files) {
    std::map<std::string, std::vector<std::string>> byFolder;
    for (const std::string& file : files) {
        const fs::path path(file);
        byFolder[path.parent_path().string()].push_back(path.filename().string());
    }
    bool cameraFolders = false;
    for (const auto& entry : byFolder) {
        cameraFolders = cameraFolders || entry.first.find("Cam") != std::string::npos;
        out << "  NOT READ        " << entry.first << ": " << entry.second.size()
            << " image file(s) the library does not read (";
        for (std::size_t i = 0; i < std::min<std::size_t>(3, entry.second.size()); ++i)
            out << (i ? ", " : "") << entry.second[i];
        out << (entry.second.size() > 3 ? ", ...)\n" : ")\n");
    }
    if (cameraFolders) out << "  (the library reads Cam<k> only with --cameras k+1 or more)\n";
}

}  // namespace

FolderReport describeFolder(const std::string& folder, const std::string& played, IXGrab& grab,
                            const GrabOptions& options) {
    FolderReport report;
    report.folder = folder;
    report.played = played;
    auto* core = dynamic_cast<CIGrab*>(&grab);
    report.width = core ? core->GetAoiWidth() : grab.GetWidth();
    report.height = core ? core->GetAoiHeight() : grab.GetHeight();
    report.bytesPerPixel = std::max<std::uint32_t>(1, grab.GetBytesPP());
    report.checked = fileChecksAvailable();
    const int listed = std::max(1, grab.GetNumCameras());
    std::int32_t firstWidth = 0;
    const int planes =
        std::min(kMaxCameras, listed * static_cast<int>(options.tilesH * options.tilesV));
    for (int camera = 0; camera < planes; ++camera) {
        FolderReport::CameraList list;
        list.camera = camera;
        const fs::path cameraRoot = cameraFolder(played, camera);
        list.folder = cameraFolder(folder, camera).string();
        std::error_code error;
        list.exists = fs::is_directory(cameraFolder(folder, camera), error);
        list.listed = camera < listed;
        for (int set = 0; set < 4 && list.listed; ++set) {
            for (const fs::path& file : bitmapsAsPlayed(cameraRoot / kSets[set])) {
                ++list.counts[set];
                if (report.firstFile.empty() && set < 3) {
                    report.firstFile = file.string();
                    report.firstFileGeometry = storedGeometry(file, &firstWidth);
                }
                std::string reason;
                if (!checkImageFile(file.string(), report.width, report.height,
                                    report.bytesPerPixel, true, &reason))
                    report.standIns.push_back({file.string(), reason});
            }
        }
        report.cameras.push_back(list);
    }
    for (const fs::path& file : imagesNotRead(folder, listed, played != folder))
        report.notRead.push_back(file.string());
    collectAdjustments(report, grab, options);
    if (options.width == 0 && firstWidth > 0 &&
        static_cast<std::uint32_t>(firstWidth) != report.width &&
        options.tilesH * options.tilesV == 1 && options.rotate == 0) {
        addIfChanged(report, "width of the first file", static_cast<std::uint64_t>(firstWidth),
                     report.width, "the library rounds a width up to a multiple of 4");
    }
    return report;
}

void FolderReport::print(std::ostream& out) const {
    out << "folder            " << folder << "\n";
    if (played != folder) out << "  played from     " << played << "\n";
    for (const CameraList& list : cameras) {
        out << "  camera " << list.camera << "  " << list.folder;
        if (!list.exists) {
            out << "  MISSING: this plane plays the stand-in pattern\n";
            continue;
        }
        if (!list.listed) {
            out << "  not listed by the library with " << cameras.size()
                << " planes: this plane plays the stand-in pattern\n";
            continue;
        }
        out << "  " << list.counts[0] << " loose, " << list.counts[1] << " pass, " << list.counts[2]
            << " fail (played in this order), " << list.counts[3] << " calib (not played)\n";
    }
    if (!firstFile.empty()) {
        out << "  first file      " << firstFile << " (" << firstFileGeometry << ")\n";
    }
    out << "  frame size      " << width << " x " << height << ", " << 8 * bytesPerPixel
        << " bits per pixel\n";
    if (!checked) out << "  (this library cannot tell which files play as the pattern)\n";
    for (const StandIn& file : standIns) {
        out << "  STAND-IN        " << file.file << ": " << file.reason << "\n";
    }
    printNotRead(out, notRead);
    for (const Adjusted& value : adjusted) {
        out << "  ADJUSTED        " << value.what << " " << value.asked << " -> " << value.got
            << " (" << value.why << ")\n";
    }
}

nlohmann::json FolderReport::toJson() const {
    nlohmann::json json = {{"folder", folder},
                           {"played", played},
                           {"firstFile", firstFile},
                           {"firstFileGeometry", firstFileGeometry},
                           {"width", width},
                           {"height", height},
                           {"bytesPerPixel", bytesPerPixel},
                           {"checked", checked},
                           {"cameras", nlohmann::json::array()},
                           {"standIns", nlohmann::json::array()},
                           {"notRead", notRead},
                           {"adjusted", nlohmann::json::array()}};
    for (const CameraList& list : cameras) {
        json["cameras"].push_back({{"camera", list.camera},
                                   {"folder", list.folder},
                                   {"exists", list.exists},
                                   {"listed", list.listed},
                                   {"loose", list.counts[0]},
                                   {"pass", list.counts[1]},
                                   {"fail", list.counts[2]},
                                   {"calib", list.counts[3]}});
    }
    for (const StandIn& file : standIns)
        json["standIns"].push_back({{"file", file.file}, {"reason", file.reason}});
    for (const Adjusted& value : adjusted) {
        json["adjusted"].push_back(
            {{"what", value.what}, {"asked", value.asked}, {"got", value.got}, {"why", value.why}});
    }
    return json;
}

}  // namespace tamra_grab
