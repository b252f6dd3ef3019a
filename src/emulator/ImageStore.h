// Emulator image store: the per-camera file lists found by a scan of the image folder tree.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tamra::emulator {

inline constexpr int kMaxCameras = 8;
// Every path the store composes must fit in this many characters with its terminator.
inline constexpr std::size_t kPathCapacity = 260;

// Lists of full file paths per camera: the main list (the camera folder's loose files, then
// pass/, then fail/) and the calibration list (calib/). Camera 0's folder is the scanned root,
// camera k's is <root>/Cam<k>. Each list is served round-robin by its own cursor.
class ImageStore {
public:
    struct ScanRules {
        // Called with the very first main-list candidate of the listing pass, before its
        // conform test (the first-file geometry rule).
        std::function<void(const std::string& path)> firstMainCandidate;
        // Whether a candidate may be listed.
        std::function<bool(const std::string& path)> conforms;
    };

    // Rebuilds every list from root: a counting pass over cameras 0 to cameraCount - 1 (at
    // most 8), then a listing pass that keeps the candidates the rules accept, never more per
    // list than were counted. Returns the number of main-folder entries the counting pass
    // saw (not the number accepted). Paths that would not fit kPathCapacity are not seen.
    unsigned int scan(const std::string& root, int cameraCount, const ScanRules& rules);
    // Empties every list and sets every cursor back to the first entry.
    void clear();

    // The next file of a camera under an image category (0 and 1: main list, 2: calibration
    // list), advancing that list's cursor; null when the list is empty, the category unknown or
    // the camera outside 0 to 7.
    const std::string* next(int camera, std::uint32_t category);

    std::size_t count(int camera, bool calibration) const;
    const std::vector<std::string>& list(int camera, bool calibration) const;

private:
    struct CameraLists {
        std::vector<std::string> main;
        std::vector<std::string> calibration;
        std::size_t mainCursor = 0;
        std::size_t calibrationCursor = 0;
    };

    std::array<CameraLists, kMaxCameras> cameras_;
};

}  // namespace tamra::emulator
