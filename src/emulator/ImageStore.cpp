// Emulator image store: the per-camera file lists, the folder scan and the conform test.
#include "emulator/ImageStore.h"

#include <algorithm>
#include <cstdlib>

#include <tamra/CIGrabEmu.h>

#include "core/GrabState.h"
#include "emulator/BitmapFile.h"
#include "emulator/FrameComposer.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "platform/raster/Bitmap.h"

namespace tamra::emulator {

namespace {

// Sub-folders searched in each camera folder, in serving order; null is the folder itself.
struct Search {
    const char* subFolder;
    bool calibration;
};
constexpr Search kSearches[] = {
    {nullptr, false}, {"pass", false}, {"fail", false}, {"calib", true}};

std::string cameraFolder(const std::string& root, int camera) {
    if (camera == 0) return root;
    return root + platform::kSeparator + "Cam" + std::to_string(camera);
}

// Full paths of the bitmap files (and folders named like them) in one search, in the platform's
// order. Paths that would not fit a 260-character buffer are left out, as is everything when the
// pattern itself would not fit.
std::vector<std::string> findImages(const std::string& folder, const Search& search) {
    std::string prefix = folder + platform::kSeparator;
    if (search.subFolder != nullptr) prefix += std::string(search.subFolder) + platform::kSeparator;
    const std::string pattern = prefix + "*.bmp";
    std::vector<std::string> paths;
    if (folder.size() >= kPathCapacity || pattern.size() >= kPathCapacity) return paths;
    for (const std::string& name : platform::findFiles(pattern.c_str())) {
        std::string path = prefix + name;
        if (path.size() < kPathCapacity) paths.push_back(std::move(path));
    }
    return paths;
}

}  // namespace

unsigned int ImageStore::scan(const std::string& root, int cameraCount, const ScanRules& rules) {
    clear();
    std::array<std::size_t, kMaxCameras> mainLimit{};
    std::array<std::size_t, kMaxCameras> calibrationLimit{};
    unsigned int seen = 0;
    for (int camera = 0; camera < kMaxCameras && camera < cameraCount; ++camera) {
        const std::string folder = cameraFolder(root, camera);
        for (const Search& search : kSearches) {
            const std::size_t found = findImages(folder, search).size();
            (search.calibration ? calibrationLimit : mainLimit)[camera] += found;
            if (!search.calibration) seen += static_cast<unsigned int>(found);
        }
    }
    bool firstCandidate = true;
    for (int camera = 0; camera < kMaxCameras; ++camera) {
        if (mainLimit[camera] == 0 && calibrationLimit[camera] == 0) continue;
        CameraLists& lists = cameras_[camera];
        lists.main.reserve(mainLimit[camera]);
        lists.calibration.reserve(calibrationLimit[camera]);
        const std::string folder = cameraFolder(root, camera);
        for (const Search& search : kSearches) {
            std::vector<std::string>& list = search.calibration ? lists.calibration : lists.main;
            const std::size_t limit = (search.calibration ? calibrationLimit : mainLimit)[camera];
            for (std::string& path : findImages(folder, search)) {
                if (list.size() >= limit) break;
                if (!search.calibration && firstCandidate) {
                    firstCandidate = false;
                    if (rules.firstMainCandidate) rules.firstMainCandidate(path);
                }
                if (!rules.conforms || rules.conforms(path)) list.push_back(std::move(path));
            }
        }
    }
    return seen;
}

void ImageStore::clear() {
    for (CameraLists& lists : cameras_) lists = CameraLists();
}

const std::string* ImageStore::next(int camera, std::uint32_t category) {
    if (camera < 0 || camera >= kMaxCameras) return nullptr;
    CameraLists& lists = cameras_[camera];
    const bool calibration = category == IFW_EMU_IMAGE_CALIB;
    if (!calibration && category != IFW_EMU_IMAGE_NORMAL && category != IFW_EMU_IMAGE_PATTERN) {
        return nullptr;
    }
    const std::vector<std::string>& list = calibration ? lists.calibration : lists.main;
    std::size_t& cursor = calibration ? lists.calibrationCursor : lists.mainCursor;
    if (list.empty()) return nullptr;
    const std::string* file = &list[cursor];
    cursor = (cursor + 1) % list.size();
    return file;
}

std::size_t ImageStore::count(int camera, bool calibration) const {
    return list(camera, calibration).size();
}

const std::vector<std::string>& ImageStore::list(int camera, bool calibration) const {
    static const std::vector<std::string> none;
    if (camera < 0 || camera >= kMaxCameras) return none;
    return calibration ? cameras_[camera].calibration : cameras_[camera].main;
}

}  // namespace tamra::emulator

using tamra::emulator::File;
using tamra::emulator::ImageStore;

namespace {

// A path beginning with "." is taken relative to the current directory by dropping that one
// character, so "./images" becomes "<current directory>/images".
std::string scanRoot(const char* path) {
    if (path[0] != '.') return path;
    return tamra::platform::toNarrow(tamra::platform::currentDirectory().c_str()) + (path + 1);
}

}  // namespace

void CIGrabEmu::ClearFileList() {
    store_->clear();
}

int CIGrabEmu::GetImageTypeCount(IFW_EMULATOR_IMAGETYPE) {
    return 0;
}

char* CIGrabEmu::GetImagePath() {
    return imagePath_;
}

char* CIGrabEmu::GetImageFileName(int, int, int) {
    return currentFileName_;
}

int CIGrabEmu::GetNumCameras() {
    if (grabState().camera.explicitNumCameras != 0) return grabState().camera.explicitNumCameras;
    return grabState().geometry.imageColor == IFW_IMAGE_COLOR_PLANES ? 3 : 1;
}

unsigned int CIGrabEmu::CountImageFiles(const char* path) {
    if (path == nullptr) path = ".";
    ClearFileList();
    composer_->resetFrameCounter();
    return CountImageFilesSimplified(path);
}

unsigned int CIGrabEmu::CountImageFilesSimplified(const char* path) {
    ClearFileList();
    ImageStore::ScanRules rules;
    // First-file geometry rule: the first candidate sets the image size unless the client set
    // the width. A top-down file stores a negative height; its magnitude is the size. A header
    // the loader would refuse for its size leaves the geometry alone.
    rules.firstMainCandidate = [this](const std::string& candidate) {
        BITMAPINFOHEADER header{};
        if (grabState().geometry.widthSet != 0 || !ReadBitmapInfoHeader(candidate.c_str(), &header))
            return;
        const std::uint32_t height = tamra::emulator::heightMagnitude(header.biHeight);
        if (header.biWidth <= 0 || height == 0 ||
            static_cast<std::uint32_t>(header.biWidth) > tamra::platform::kMaxBitmapDimension ||
            height > tamra::platform::kMaxBitmapDimension) {
            return;
        }
        grabState().geometry.width =
            static_cast<std::uint32_t>(tamra::emulator::roundedWidth(header.biWidth));
        grabState().geometry.height = height;
    };
    rules.conforms = [this](const std::string& candidate) {
        return ImageConform(candidate.c_str()) != 0;
    };
    const unsigned int seen =
        store_->scan(scanRoot(path != nullptr ? path : "."), GetNumCameras(), rules);
    SetFrameSlotCount(1);
    return seen;
}

int CIGrabEmu::ReadBitmapInfoHeader(const char* path, BITMAPINFOHEADER* header) {
    if (path == nullptr || header == nullptr) return 0;
    File file(tamra::platform::openFile(path, "rb"));
    if (!file) return 0;
    return tamra::emulator::readBitmapHeaders(file.get(), nullptr, *header) ? 1 : 0;
}

int CIGrabEmu::ImageConform(const char* path) {
    if (grabState().source.conformEnable != 0) return 1;
    BITMAPINFOHEADER header{};
    if (!ReadBitmapInfoHeader(path, &header)) return 0;
    return ImageConform(&header);
}

// The stored width is compared, so with conforming off a file whose width is not a multiple of
// 4 never matches a geometry rounded to one, and a top-down file's negative height never
// matches.
int CIGrabEmu::ImageConform(BITMAPINFOHEADER* header) {
    if (header == nullptr) return 0;
    const tamra::emulator::ConformRule rule{grabState().source.conformEnable != 0,
                                            grabState().geometry.width, grabState().geometry.height,
                                            grabState().geometry.bitsPerPixel};
    return rule.accepts(*header) ? 1 : 0;
}
