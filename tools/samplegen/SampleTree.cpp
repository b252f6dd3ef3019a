// Deterministic synthetic inspection images for demos, tests and benchmarks.
#include "samplegen/SampleTree.h"

#include <filesystem>
#include <stdexcept>

namespace tamra::samples {

namespace {

std::string cameraFolder(int camera) {
    return camera == 0 ? std::string() : "Cam" + std::to_string(camera) + "/";
}

TreeEntry makeEntry(int camera, const std::string& name, Scene scene, int index,
                    const TreeOptions& options, BmpLayout layout) {
    TreeEntry entry;
    entry.relativePath = cameraFolder(camera) + name;
    entry.camera = camera;
    entry.calibration = scene == Scene::Calibration;
    entry.scene = scene;
    entry.index = index;
    entry.width = options.width;
    entry.height = options.height;
    entry.layout = layout;
    return entry;
}

void addCamera(std::vector<TreeEntry>& entries, int camera, const TreeOptions& options) {
    const BmpLayout rgb24{24, true, false};
    const BmpLayout pal8{8, true, false};
    entries.push_back(makeEntry(camera, "part_00.bmp", Scene::Pass, 0, options, rgb24));
    entries.push_back(makeEntry(camera, "part_01.bmp", Scene::Pass, 1, options, pal8));
    entries.push_back(
        makeEntry(camera, "part_02.bmp", Scene::Pass, 2, options, BmpLayout{8, false, false}));
    entries.push_back(
        makeEntry(camera, "part_03.bmp", Scene::Pass, 3, options, BmpLayout{32, true, true}));
    if (camera == 0 && options.narrowFile && options.width > 2) {
        TreeEntry narrow = makeEntry(camera, "part_04.bmp", Scene::Pass, 4, options, rgb24);
        narrow.width = options.width - 2;
        entries.push_back(narrow);
    }
    entries.push_back(
        makeEntry(camera, "pass/pass_00.bmp", Scene::Pass, 5, options, BmpLayout{16, true, false}));
    entries.push_back(
        makeEntry(camera, "pass/pass_01.bmp", Scene::Pass, 6, options, BmpLayout{24, true, true}));
    entries.push_back(makeEntry(camera, "fail/fail_00.bmp", Scene::Fail, 0, options, rgb24));
    entries.push_back(makeEntry(camera, "fail/fail_01.bmp", Scene::Fail, 1, options, pal8));
    entries.push_back(
        makeEntry(camera, "calib/calib_00.bmp", Scene::Calibration, 0, options, pal8));
}

}  // namespace

std::vector<TreeEntry> sampleTreeEntries(const TreeOptions& options) {
    std::vector<TreeEntry> entries;
    for (int camera = 0; camera < options.cameras && camera < 8; ++camera) {
        addCamera(entries, camera, options);
    }
    return entries;
}

std::vector<TreeEntry> writeSampleTree(const std::string& root, const TreeOptions& options) {
    const std::vector<TreeEntry> entries = sampleTreeEntries(options);
    for (const TreeEntry& entry : entries) {
        const std::filesystem::path path = std::filesystem::path(root) / entry.relativePath;
        std::error_code error;
        std::filesystem::create_directories(path.parent_path(), error);
        if (error || !writeBmp(path.string(), entry.picture(), entry.layout)) {
            throw std::runtime_error("cannot write " + path.string());
        }
    }
    return entries;
}

std::vector<TreeEntry> cameraList(const std::vector<TreeEntry>& entries, int camera,
                                  bool calibration) {
    std::vector<TreeEntry> list;
    for (const TreeEntry& entry : entries) {
        if (entry.camera == camera && entry.calibration == calibration) list.push_back(entry);
    }
    return list;
}

}  // namespace tamra::samples
