// Deterministic synthetic inspection images for demos, tests and benchmarks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "samplegen/BmpWriter.h"
#include "samplegen/Picture.h"

namespace tamra::samples {

struct TreeOptions {
    std::uint32_t width = 640;
    std::uint32_t height = 480;
    // Camera 0 uses the root folder, camera k (1 to 7) the folder Cam<k>.
    int cameras = 2;
    // Adds part_04.bmp to camera 0's folder: 24 bits, two pixels narrower than the others.
    bool narrowFile = true;
};

// One file of a sample tree.
struct TreeEntry {
    std::string relativePath;  // with '/' separators, e.g. "Cam1/pass/pass_00.bmp"
    int camera = 0;
    bool calibration = false;  // in the calib/ folder
    Scene scene = Scene::Pass;
    int index = 0;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    BmpLayout layout;

    Picture picture() const { return renderScene(scene, camera, index, width, height); }
    // What a reader finds in the file (see storedPicture).
    Picture stored() const { return storedPicture(picture(), layout); }
};

// The entries of a tree, per camera in serving order: the loose files part_00 .. part_03
// (24-bit bottom-up, 8-bit with palette, 8-bit without palette, 32-bit top-down, and part_04
// when narrowFile is set), pass/pass_00 (16-bit) and pass/pass_01 (24-bit top-down),
// fail/fail_00 (24-bit) and fail/fail_01 (8-bit with palette), then calib/calib_00 (8-bit).
std::vector<TreeEntry> sampleTreeEntries(const TreeOptions& options);

// Writes the tree under root (created when missing; existing files are overwritten) and returns
// its entries. Throws std::runtime_error when a folder or file cannot be written.
std::vector<TreeEntry> writeSampleTree(const std::string& root, const TreeOptions& options);

// The entries of one camera's main list (loose, pass, fail) or calibration list, in order.
std::vector<TreeEntry> cameraList(const std::vector<TreeEntry>& entries, int camera,
                                  bool calibration);

}  // namespace tamra::samples
