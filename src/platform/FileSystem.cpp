// Tamra grab library: the file system services that are the same on every system, built on the
// system's own queries.
#include "platform/FileSystem.h"

#include <algorithm>

namespace tamra::platform {
namespace {

unsigned char foldAscii(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

// Ascending without ASCII case, then by bytes, so that the order is the same on every machine
// whatever order the file system keeps.
bool lessByFoldedName(const std::string& a, const std::string& b) {
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        const auto ca = foldAscii(static_cast<unsigned char>(a[i]));
        const auto cb = foldAscii(static_cast<unsigned char>(b[i]));
        if (ca != cb) return ca < cb;
    }
    if (a.size() != b.size()) return a.size() < b.size();
    return a < b;
}

}  // namespace

// Known folders carry no trailing separator: callers append segments that start with one.
std::wstring knownFolderPath(KnownFolder folder) {
    std::wstring path = systemKnownFolder(folder);
    while (!path.empty() && path.back() == kWideSeparator) path.pop_back();
    return path;
}

std::vector<std::string> findFiles(const char* pattern) {
    std::vector<std::string> names = systemMatchingEntries(pattern);
    std::sort(names.begin(), names.end(), lessByFoldedName);
    return names;
}

}  // namespace tamra::platform
