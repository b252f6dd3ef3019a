// tamra-grab: the folders of an image tree as the emulator reads them.
#include "ImageTree.h"

#include <algorithm>
#include <cctype>
#include <set>

namespace tamra_grab {
namespace fs = std::filesystem;

const char* const kSets[4] = {"", "pass", "fail", "calib"};

namespace {

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// Compares digit runs by value and everything else without case.
bool naturalLess(const std::string& a, const std::string& b) {
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        const auto ca = static_cast<unsigned char>(a[i]);
        const auto cb = static_cast<unsigned char>(b[j]);
        if (std::isdigit(ca) && std::isdigit(cb)) {
            std::size_t ei = i, ej = j;
            while (ei < a.size() && std::isdigit(static_cast<unsigned char>(a[ei]))) ++ei;
            while (ej < b.size() && std::isdigit(static_cast<unsigned char>(b[ej]))) ++ej;
            std::string da = a.substr(i, ei - i), db = b.substr(j, ej - j);
            da.erase(0, std::min(da.find_first_not_of('0'), da.size()));
            db.erase(0, std::min(db.find_first_not_of('0'), db.size()));
            if (da.size() != db.size()) return da.size() < db.size();
            if (da != db) return da < db;
            i = ei;
            j = ej;
            continue;
        }
        if (std::tolower(ca) != std::tolower(cb)) return std::tolower(ca) < std::tolower(cb);
        ++i;
        ++j;
    }
    if (a.size() - i != b.size() - j) return a.size() - i < b.size() - j;
    return a < b;
}

// A folder as a comparable text: normalised, without a trailing separator. Folder names are
// compared with case, as the file system opens them.
std::string folderKey(const fs::path& folder) {
    std::string text = folder.lexically_normal().string();
    while (text.size() > 1 && (text.back() == '/' || text.back() == '\\')) text.pop_back();
    return text;
}

std::vector<fs::path> filesIn(const fs::path& folder, bool (*wanted)(const fs::path&)) {
    std::vector<fs::path> files;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        if (it->is_regular_file(error) && wanted(it->path())) files.push_back(it->path());
    }
    return files;
}

}  // namespace

fs::path cameraFolder(const fs::path& root, int camera) {
    return camera == 0 ? root : root / ("Cam" + std::to_string(camera));
}

bool isImageName(const fs::path& path) {
    static const std::set<std::string> kExtensions = {".bmp",  ".dib", ".png", ".jpg",
                                                      ".jpeg", ".tif", ".tiff"};
    return kExtensions.count(lower(path.extension().string())) > 0;
}

bool isBitmapName(const fs::path& path) {
    return lower(path.extension().string()) == ".bmp";
}

std::vector<fs::path> imageFilesIn(const fs::path& folder) {
    std::vector<fs::path> files = filesIn(folder, isImageName);
    std::sort(files.begin(), files.end(), [](const fs::path& a, const fs::path& b) {
        return naturalLess(a.filename().string(), b.filename().string());
    });
    return files;
}

std::vector<fs::path> bitmapsAsPlayed(const fs::path& folder) {
    std::vector<fs::path> files = filesIn(folder, isBitmapName);
    std::sort(files.begin(), files.end(), [](const fs::path& a, const fs::path& b) {
        const std::string la = lower(a.filename().string()), lb = lower(b.filename().string());
        return la != lb ? la < lb : a.filename().string() < b.filename().string();
    });
    return files;
}

std::vector<fs::path> readFolders(int cameras) {
    std::vector<fs::path> folders;
    for (int camera = 0; camera < std::min(cameras, kMaxCameras); ++camera) {
        for (const char* set : kSets) {
            folders.push_back(fs::path(folderKey(cameraFolder(fs::path(), camera) / set)));
        }
    }
    return folders;
}

std::vector<fs::path> imagesNotRead(const fs::path& root, int cameras, bool converted) {
    std::set<std::string> read;
    for (const fs::path& folder : readFolders(cameras)) {
        read.insert(folderKey(root / folder));
    }
    std::vector<fs::path> outside;
    std::error_code error;
    for (fs::recursive_directory_iterator it(root, error), end; !error && it != end;
         it.increment(error)) {
        if (!it->is_regular_file(error) || !isImageName(it->path())) continue;
        const std::string parent = folderKey(it->path().parent_path());
        // The emulator reads only bitmaps, so other images in a read folder are not read either.
        if (read.count(parent) == 0 || (!converted && !isBitmapName(it->path())))
            outside.push_back(it->path());
    }
    std::sort(outside.begin(), outside.end());
    return outside;
}

}  // namespace tamra_grab
