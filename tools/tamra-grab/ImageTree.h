// tamra-grab: the folders of an image tree as the emulator reads them, and the image files in
// and around them.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace tamra_grab {

// Sets a camera folder holds, in the emulator's reading order; the last is the calibration set.
extern const char* const kSets[4];  // "", "pass", "fail", "calib"
constexpr int kMaxCameras = 8;

// Camera k's folder: the root for camera 0, Cam<k> below it otherwise.
std::filesystem::path cameraFolder(const std::filesystem::path& root, int camera);

// Whether the name ends in an image extension tamra-grab can read (any case).
bool isImageName(const std::filesystem::path& path);
bool isBitmapName(const std::filesystem::path& path);

// Image files directly in a folder, in the order a person expects: names compared without case,
// runs of digits by their value (img2 before img10). Empty for a missing folder.
std::vector<std::filesystem::path> imageFilesIn(const std::filesystem::path& folder);

// Bitmap files directly in a folder in the order the emulator plays them (names compared
// without case, character by character).
std::vector<std::filesystem::path> bitmapsAsPlayed(const std::filesystem::path& folder);

// Every folder the emulator reads for the given number of camera lists, relative to the root.
std::vector<std::filesystem::path> readFolders(int cameras);

// Image files anywhere under root outside the folders read for the given cameras, and, unless
// the tree is played converted, the images in them that are not bitmaps.
std::vector<std::filesystem::path> imagesNotRead(const std::filesystem::path& root, int cameras,
                                                 bool converted);

}  // namespace tamra_grab
