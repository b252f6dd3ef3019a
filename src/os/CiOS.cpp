// Tamra grab library: CiOS application-data paths under the OEM-brandable folder.
#include <tamra/CiOS.h>

#include <cstring>
#include <mutex>
#include <string>

#include "os/AppData.h"
#include "os/BoundedPath.h"
#include "platform/FileSystem.h"
#include "platform/Profile.h"
#include "platform/Text.h"

namespace tamra::os {
namespace {

namespace platform = tamra::platform;
using platform::KnownFolder;

// Process-wide OEM branding, filled on first use and kept until reset or re-read. An empty
// string means "not read yet"; static storage starts all four empty.
struct OemCache {
    wchar_t nameW[kMaxPath];
    char nameA[kMaxPath];
    wchar_t folderNameW[kMaxPath];
    char folderNameA[kMaxPath];
};

OemCache oemCache;
// Guards oemCache only. Held for the profile read and the copies, never while composing.
std::mutex oemCacheMutex;

constexpr char kProfilePath[] = {'.', platform::kSeparator, 'o', 'e', 'm', '.', 'i', 'n', 'i', 0};
constexpr wchar_t kSection[] = L"Config";

std::wstring defaultOemName() {
    return platform::kWideSeparator + std::wstring(L"Quillon") + platform::kWideSeparator;
}

// The profile value, cut to a path buffer as the fixed-size read would.
void readOemValue(const wchar_t* key, const wchar_t* dflt, wchar_t* out) {
    const std::wstring value = platform::readProfileString(kProfilePath, kSection, key, dflt);
    BoundedPath<wchar_t>(out).append(value.c_str());
}

void loadOemNameLocked() {
    readOemValue(L"OEMName", defaultOemName().c_str(), oemCache.nameW);
    platform::toNarrow(oemCache.nameW, oemCache.nameA, kMaxPath);
}

void loadOemFolderNameLocked(const wchar_t* dflt) {
    readOemValue(L"OEMFolderName", dflt != nullptr ? dflt : L"", oemCache.folderNameW);
    platform::toNarrow(oemCache.folderNameW, oemCache.folderNameA, kMaxPath);
}

// Wide path: fills both names when the wide OEM name is not read yet, then hands out copies so
// that the composition reads no shared state. Once filled, the sub-folder of later calls no
// longer changes the cached folder name.
void cachedWideNames(const wchar_t* subFolder, wchar_t* name, wchar_t* folderName) {
    std::lock_guard<std::mutex> lock(oemCacheMutex);
    if (oemCache.nameW[0] == L'\0') {
        loadOemNameLocked();
        loadOemFolderNameLocked(subFolder != nullptr ? subFolder : L"");
    }
    std::memcpy(name, oemCache.nameW, sizeof oemCache.nameW);
    std::memcpy(folderName, oemCache.folderNameW, sizeof oemCache.folderNameW);
}

// Narrow path: tests and fills only the OEM name; the folder name is never used there.
void cachedNarrowName(char* name) {
    std::lock_guard<std::mutex> lock(oemCacheMutex);
    if (oemCache.nameA[0] == '\0') loadOemNameLocked();
    std::memcpy(name, oemCache.nameA, sizeof oemCache.nameA);
}

void appendKnownFolder(BoundedPath<wchar_t>& path, KnownFolder folder) {
    path.append(platform::knownFolderPath(folder).c_str());
}

void appendKnownFolder(BoundedPath<char>& path, KnownFolder folder) {
    path.append(platform::toNarrow(platform::knownFolderPath(folder).c_str()).c_str());
}

template <typename Char>
void composeFolder(BoundedPath<Char>& path, KnownFolder folder, const Char* oemName,
                   const Char* subFolder) {
    path.clear();
    appendKnownFolder(path, folder);
    path.append(oemName);
    if (subFolder != nullptr) {
        path.append(subFolder);
        path.append(Char(platform::kSeparator));
    }
}

template <typename Char>
const Char* withoutCurrentDirectoryPrefix(const Char* name) {
    const bool prefixed = name[0] == Char('.') && name[1] == Char(platform::kSeparator);
    return prefixed ? name + 2 : name;
}

// The per-user folder when that directory exists, else the all-users one, untested; then the
// file name. Nothing is created. Returns false when the path had to be cut.
template <typename Char>
bool composeAppDataPath(Char* buffer, const Char* oemName, const Char* subFolder,
                        const Char* fileName) {
    BoundedPath<Char> path(buffer);
    composeFolder(path, KnownFolder::LocalAppData, oemName, subFolder);
    if (!platform::isDirectory(path.c_str())) {
        composeFolder(path, KnownFolder::CommonAppData, oemName, subFolder);
    }
    if (fileName != nullptr) path.append(withoutCurrentDirectoryPrefix(fileName));
    return !path.truncated();
}

template <typename Char>
bool copyName(Char* buffer, const Char* name) {
    BoundedPath<Char> path(buffer);
    path.append(name);
    return !path.truncated();
}

template <typename Char>
bool isAbsoluteNameOf(const Char* name) {
    if (name == nullptr) return false;
    return platform::isAbsolutePath(name) || (name[0] != Char(0) && name[1] == Char(':'));
}

}  // namespace

bool isAbsoluteName(const char* name) {
    return isAbsoluteNameOf(name);
}

bool isAbsoluteName(const wchar_t* name) {
    return isAbsoluteNameOf(name);
}

bool composeWideAppDataPath(wchar_t* buffer, const wchar_t* subFolder, const wchar_t* fileName) {
    if (isAbsoluteName(fileName)) return copyName(buffer, fileName);
    wchar_t oemName[kMaxPath];
    wchar_t folderName[kMaxPath];
    cachedWideNames(subFolder, oemName, folderName);
    return composeAppDataPath(buffer, oemName, subFolder != nullptr ? folderName : nullptr,
                              fileName);
}

}  // namespace tamra::os

using tamra::os::composeAppDataPath;
using tamra::os::copyName;
using tamra::os::kMaxPath;
namespace platform = tamra::platform;

char* CiOS::AppDataPath(char* buffer, const char* subFolder, const char* fileName) {
    if (buffer == nullptr) return nullptr;
    if (tamra::os::isAbsoluteName(fileName)) {
        copyName(buffer, fileName);
        return buffer;
    }
    char oemName[kMaxPath];
    tamra::os::cachedNarrowName(oemName);
    composeAppDataPath(buffer, oemName, subFolder, fileName);
    return buffer;
}

wchar_t* CiOS::AppDataPath(wchar_t* buffer, const wchar_t* subFolder, const wchar_t* fileName) {
    if (buffer == nullptr) return nullptr;
    tamra::os::composeWideAppDataPath(buffer, subFolder, fileName);
    return buffer;
}

// Reads oem.ini afresh and leaves the cache alone.
char* CiOS::AppDataPathOnce(char* buffer, const char* subFolder, const char* fileName) {
    if (buffer == nullptr) return nullptr;
    if (tamra::os::isAbsoluteName(fileName)) {
        copyName(buffer, fileName);
        return buffer;
    }
    wchar_t oemName[kMaxPath];
    tamra::os::readOemValue(L"OEMName", tamra::os::defaultOemName().c_str(), oemName);
    composeAppDataPath(buffer, platform::toNarrow(oemName).c_str(), subFolder, fileName);
    return buffer;
}

wchar_t* CiOS::AppDataPathOnce(wchar_t* buffer, const wchar_t* subFolder, const wchar_t* fileName) {
    if (buffer == nullptr) return nullptr;
    if (tamra::os::isAbsoluteName(fileName)) {
        copyName(buffer, fileName);
        return buffer;
    }
    wchar_t oemName[kMaxPath];
    wchar_t folderName[kMaxPath];
    tamra::os::readOemValue(L"OEMName", tamra::os::defaultOemName().c_str(), oemName);
    tamra::os::readOemValue(L"OEMFolderName", subFolder != nullptr ? subFolder : L"", folderName);
    composeAppDataPath(buffer, oemName, subFolder != nullptr ? folderName : nullptr, fileName);
    return buffer;
}

void CiOS::GetOEMName() {
    std::lock_guard<std::mutex> lock(tamra::os::oemCacheMutex);
    tamra::os::loadOemNameLocked();
}

void CiOS::GetOEMFolderName(const wchar_t* dflt) {
    std::lock_guard<std::mutex> lock(tamra::os::oemCacheMutex);
    tamra::os::loadOemFolderNameLocked(dflt);
}

void CiOS::ResetOEMName() {
    std::lock_guard<std::mutex> lock(tamra::os::oemCacheMutex);
    tamra::os::oemCache.nameW[0] = L'\0';
    tamra::os::oemCache.nameA[0] = '\0';
    tamra::os::oemCache.folderNameW[0] = L'\0';
    tamra::os::oemCache.folderNameA[0] = '\0';
}
