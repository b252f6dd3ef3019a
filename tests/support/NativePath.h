// Test helper: paths a test writes with '/', with the separator the library uses here.
#pragma once

#include <algorithm>
#include <string>

namespace tamra::testing {

#if defined(_WIN32)
inline constexpr char kNativeSeparator = '\\';
#else
inline constexpr char kNativeSeparator = '/';
#endif

// Every '/' replaced by the native separator.
inline std::string nativePath(std::string path) {
    std::replace(path.begin(), path.end(), '/', kNativeSeparator);
    return path;
}

inline std::wstring nativePath(std::wstring path) {
    std::replace(path.begin(), path.end(), L'/', static_cast<wchar_t>(kNativeSeparator));
    return path;
}

// base, one native separator, then relative (written with '/').
inline std::string joinPath(const std::string& base, const std::string& relative) {
    return base + kNativeSeparator + nativePath(relative);
}

}  // namespace tamra::testing
