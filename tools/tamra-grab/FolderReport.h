// tamra-grab: the image tree as the library will read it, told before the first frame.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include <tamra/Tamra.h>

#include "GrabOptions.h"

namespace tamra_grab {

struct FolderReport {
    struct CameraList {
        int camera = 0;
        std::string folder;
        bool exists = false;
        bool listed = true;          // the library lists only its first GetNumCameras() cameras
        std::size_t counts[4] = {};  // loose, pass, fail, calib: bitmaps found
    };
    struct StandIn {
        std::string file;
        std::string reason;
    };
    struct Adjusted {
        std::string what;
        std::string asked;
        std::string got;
        std::string why;
    };
    std::string folder;  // the user's folder
    std::string played;  // the tree the library reads: the folder or its converted copy
    std::string firstFile;
    std::string firstFileGeometry;  // "62 x 40, 8 bits" as stored in the file
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t bytesPerPixel = 1;
    std::vector<CameraList> cameras;  // one per plane (camera x tile)
    std::vector<StandIn> standIns;
    std::vector<std::string> notRead;
    std::vector<Adjusted> adjusted;
    bool checked = false;  // whether the library judged each file

    void print(std::ostream& out) const;
    nlohmann::json toJson() const;
};

// Reads the tree the grab was created on (played: the folder or its converted copy) and the
// values the grab took, through the public getters.
FolderReport describeFolder(const std::string& folder, const std::string& played, IXGrab& grab,
                            const GrabOptions& options);

}  // namespace tamra_grab
