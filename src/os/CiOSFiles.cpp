// Tamra grab library: CiOS file opening with fallbacks, and the directory test.
#include <tamra/CiOS.h>

#include <cwchar>
#include <string>

#include "os/AppData.h"
#include "os/BoundedPath.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

namespace tamra::os {
namespace {

namespace platform = tamra::platform;

// A name or composed path longer than a path buffer is never opened: a cut path could name a
// different file, and the original platform refuses such paths as well.
FILE* openWithinLimit(const wchar_t* path, const wchar_t* mode) {
    if (path == nullptr || std::wcslen(path) >= kMaxPath) return nullptr;
    return platform::openFile(path, mode);
}

// Folder of the host executable with its trailing separator, cut to a path buffer as the
// fixed-size module-name query would; empty when the path has no separator.
std::wstring executableFolder() {
    wchar_t exe[kMaxPath];
    BoundedPath<wchar_t>(exe).append(platform::executablePath().c_str());
    const wchar_t* last = std::wcsrchr(exe, platform::kWideSeparator);
    if (last == nullptr) return {};
    return std::wstring(exe, static_cast<std::size_t>(last - exe) + 1);
}

}  // namespace
}  // namespace tamra::os

using tamra::os::kMaxPath;
namespace platform = tamra::platform;

FILE* CiOS::AppDataFopen(wchar_t* path, const wchar_t* subFolder, const wchar_t* fileName,
                         const wchar_t* mode) {
    wchar_t local[kMaxPath];
    wchar_t* buffer = path != nullptr ? path : local;
    buffer[0] = L'\0';
    if (tamra::os::composeWideAppDataPath(buffer, subFolder, fileName)) {
        if (FILE* file = tamra::os::openWithinLimit(buffer, mode)) return file;
    }
    // The caller sees the bare name from here on, whichever place the fall-back opens.
    tamra::os::BoundedPath<wchar_t>(buffer).append(fileName);
    return fopenBin(fileName, mode);
}

FILE* CiOS::fopenBin(const wchar_t* fileName, const wchar_t* mode) {
    if (fileName == nullptr) return nullptr;
    if (FILE* file = tamra::os::openWithinLimit(fileName, mode)) return file;
    const std::wstring folder = tamra::os::executableFolder();
    if (folder.empty() || tamra::os::isAbsoluteName(fileName)) {
        return tamra::os::openWithinLimit(fileName, mode);
    }
    const bool prefixed = fileName[0] == L'.' && fileName[1] == platform::kWideSeparator;
    const std::wstring besideExecutable = folder + (prefixed ? fileName + 2 : fileName);
    return tamra::os::openWithinLimit(besideExecutable.c_str(), mode);
}

FILE* CiOS::szFopenBin(const char* fileName, const wchar_t* mode) {
    if (fileName == nullptr) return nullptr;
    return fopenBin(platform::toWide(fileName).c_str(), mode);
}

int CiOS::DirectoryExists(const char* path) {
    return platform::isDirectory(path) ? 1 : 0;
}

int CiOS::DirectoryExists(const wchar_t* path) {
    return platform::isDirectory(path) ? 1 : 0;
}
