// Tamra grab library: POSIX file system services (known folders, attributes, search, opening).
// The known folders follow the XDG base directories.
#include "platform/FileSystem.h"

#include <dirent.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/Text.h"

namespace tamra::platform {
namespace {

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}

// Known folders carry no trailing separator: callers append segments that start with one.
std::string withoutTrailingSeparators(std::string path) {
    while (!path.empty() && path.back() == kSeparator) path.pop_back();
    return path;
}

std::string homeDirectory() {
    std::string home = environment("HOME");
    if (!home.empty()) return home;
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::string scratch(size > 0 ? static_cast<std::size_t>(size) : 16384u, '\0');
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, scratch.data(), scratch.size(), &found) == 0 &&
        found != nullptr && found->pw_dir != nullptr) {
        return found->pw_dir;
    }
    return {};
}

std::string localAppData() {
    const std::string dataHome = environment("XDG_DATA_HOME");
    if (!dataHome.empty() && dataHome.front() == kSeparator) return dataHome;
    const std::string home = homeDirectory();
    if (home.empty()) return {};
    return withoutTrailingSeparators(home) + "/.local/share";
}

std::string commonAppData() {
    const std::string dirs = environment("XDG_DATA_DIRS");
    std::size_t begin = 0;
    while (begin <= dirs.size()) {
        std::size_t end = dirs.find(':', begin);
        if (end == std::string::npos) end = dirs.size();
        if (end > begin && dirs[begin] == kSeparator) return dirs.substr(begin, end - begin);
        begin = end + 1;
    }
    return "/usr/local/share";
}

unsigned char foldAscii(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

bool isContinuationByte(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

// Wildcard match of a whole name: '*' any run of bytes, '?' one character (a whole UTF-8
// sequence), everything else one byte compared without ASCII case. Iterative, with one
// back-tracking point per '*', so long names cannot blow the stack.
bool matchesPattern(const unsigned char* name, const unsigned char* pattern) {
    const unsigned char* starPattern = nullptr;
    const unsigned char* starName = nullptr;
    while (*name != 0) {
        if (*pattern == '*') {
            starPattern = ++pattern;
            starName = name;
        } else if (*pattern == '?') {
            ++pattern;
            ++name;
            while (isContinuationByte(*name)) ++name;
        } else if (*pattern != 0 && foldAscii(*pattern) == foldAscii(*name)) {
            ++pattern;
            ++name;
        } else if (starPattern != nullptr) {
            pattern = starPattern;
            name = ++starName;
        } else {
            return false;
        }
    }
    while (*pattern == '*') ++pattern;
    return *pattern == 0;
}

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

}  // namespace

bool isAbsolutePath(const char* path) {
    return path != nullptr && path[0] == kSeparator;
}

bool isAbsolutePath(const wchar_t* path) {
    return path != nullptr && path[0] == kWideSeparator;
}

std::wstring systemKnownFolder(KnownFolder folder) {
    const std::string path = folder == KnownFolder::LocalAppData ? localAppData() : commonAppData();
    return toWide(path.c_str());
}

std::wstring currentDirectory() {
    std::string buffer(256, '\0');
    while (getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE || buffer.size() > (1u << 20)) return {};
        buffer.resize(buffer.size() * 2);
    }
    return toWide(buffer.c_str());
}

std::wstring executablePath() {
    std::string buffer(256, '\0');
    for (;;) {
        const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0) return {};
        if (static_cast<std::size_t>(length) < buffer.size()) {
            buffer.resize(static_cast<std::size_t>(length));
            return toWide(buffer.c_str());
        }
        if (buffer.size() > (1u << 20)) return {};
        buffer.resize(buffer.size() * 2);
    }
}

bool isDirectory(const char* path) {
    struct stat info {};
    return path != nullptr && stat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

bool isDirectory(const wchar_t* path) {
    return path != nullptr && isDirectory(toNarrow(path).c_str());
}

bool pathExists(const char* path) {
    struct stat info {};
    return path != nullptr && stat(path, &info) == 0;
}

std::vector<std::string> systemMatchingEntries(const char* pattern) {
    std::vector<std::string> names;
    if (pattern == nullptr) return names;
    const char* lastSeparator = std::strrchr(pattern, kSeparator);
    std::string folder = ".";
    const char* namePattern = pattern;
    if (lastSeparator != nullptr) {
        folder.assign(pattern, lastSeparator);
        if (folder.empty()) folder = std::string(1, kSeparator);
        namePattern = lastSeparator + 1;
    }
    std::unique_ptr<DIR, DirCloser> dir(opendir(folder.c_str()));
    if (!dir) return names;
    const auto* wanted = reinterpret_cast<const unsigned char*>(namePattern);
    while (const dirent* entry = readdir(dir.get())) {
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
        if (matchesPattern(reinterpret_cast<const unsigned char*>(name), wanted)) {
            names.emplace_back(name);
        }
    }
    return names;
}

// A directory is not a file to read: refuse it as the Windows C library does, instead of
// handing out a stream whose every read fails.
FILE* openFile(const char* path, const char* mode) {
    if (path == nullptr || mode == nullptr || path[0] == '\0') return nullptr;
    FILE* file = std::fopen(path, mode);
    if (file == nullptr) return nullptr;
    struct stat info {};
    if (fstat(fileno(file), &info) == 0 && S_ISDIR(info.st_mode)) {
        std::fclose(file);
        errno = EISDIR;
        return nullptr;
    }
    return file;
}

FILE* openFile(const wchar_t* path, const wchar_t* mode) {
    if (path == nullptr || mode == nullptr) return nullptr;
    return openFile(toNarrow(path).c_str(), toNarrow(mode).c_str());
}

}  // namespace tamra::platform
