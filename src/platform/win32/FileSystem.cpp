// Tamra grab library: Win32 file system services (known folders, attributes, search, opening).
#include "platform/FileSystem.h"

#include <shlobj.h>
#include <windows.h>

#include <cstdio>

#include "platform/Text.h"

namespace tamra::platform {
namespace {

constexpr int kLocalAppDataFolder = 0x1C;   // CSIDL_LOCAL_APPDATA
constexpr int kCommonAppDataFolder = 0x23;  // CSIDL_COMMON_APPDATA

bool isDirectoryAttribute(DWORD attributes) {
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool isDotEntry(const wchar_t* name) {
    return name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0'));
}

// Grows the buffer until the whole value fits; fill returns the characters written, a length of
// at least the buffer size when the buffer is too small, or 0 on failure.
template <typename Fill>
std::wstring filledBuffer(Fill fill) {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = fill(buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return {};
        if (length < buffer.size()) {
            buffer.resize(length);
            return buffer;
        }
        if (buffer.size() > 32768) return {};
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace

// A path is absolute when it starts at the root of the current drive or names a drive.
bool isAbsolutePath(const char* path) {
    return path != nullptr && (path[0] == kSeparator || (path[0] != '\0' && path[1] == ':'));
}

bool isAbsolutePath(const wchar_t* path) {
    return path != nullptr && (path[0] == kWideSeparator || (path[0] != L'\0' && path[1] == L':'));
}

std::wstring systemKnownFolder(KnownFolder folder) {
    const int id = folder == KnownFolder::LocalAppData ? kLocalAppDataFolder : kCommonAppDataFolder;
    wchar_t path[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, id, nullptr, 0, path))) return {};
    return path;
}

// Both calls return the size needed (or, truncated, the whole buffer) when the buffer is small.
std::wstring currentDirectory() {
    return filledBuffer(
        [](wchar_t* buffer, DWORD size) { return GetCurrentDirectoryW(size, buffer); });
}

std::wstring executablePath() {
    return filledBuffer(
        [](wchar_t* buffer, DWORD size) { return GetModuleFileNameW(nullptr, buffer, size); });
}

bool isDirectory(const char* path) {
    return path != nullptr && isDirectoryAttribute(GetFileAttributesA(path));
}

bool isDirectory(const wchar_t* path) {
    return path != nullptr && isDirectoryAttribute(GetFileAttributesW(path));
}

bool pathExists(const char* path) {
    return path != nullptr && GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

// The system matches the pattern (its own rules: case-insensitive, directories included).
std::vector<std::string> systemMatchingEntries(const char* pattern) {
    std::vector<std::string> names;
    if (pattern == nullptr) return names;
    WIN32_FIND_DATAW entry{};
    HANDLE search = FindFirstFileExW(toWide(pattern).c_str(), FindExInfoBasic, &entry,
                                     FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        if (!isDotEntry(entry.cFileName)) names.push_back(toNarrow(entry.cFileName));
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    return names;
}

// The C library refuses a directory itself, as the file cannot be opened for data.
FILE* openFile(const char* path, const char* mode) {
    if (path == nullptr || mode == nullptr || path[0] == '\0') return nullptr;
    return std::fopen(path, mode);
}

FILE* openFile(const wchar_t* path, const wchar_t* mode) {
    if (path == nullptr || mode == nullptr || path[0] == L'\0') return nullptr;
    return _wfopen(path, mode);
}

}  // namespace tamra::platform
