// Platform file system: separators, known folders, attributes, directory search, file opening.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace tamra::platform {

#if defined(_WIN32)
inline constexpr char kSeparator = '\\';
inline constexpr wchar_t kWideSeparator = L'\\';
#else
inline constexpr char kSeparator = '/';
inline constexpr wchar_t kWideSeparator = L'/';
#endif

// Absolute: starts with the separator (on Windows also: second character is a colon).
bool isAbsolutePath(const char* path);
bool isAbsolutePath(const wchar_t* path);

enum class KnownFolder { LocalAppData, CommonAppData };
// Absolute, without a trailing separator; empty when it cannot be determined.
std::wstring knownFolderPath(KnownFolder folder);

std::wstring currentDirectory();
// Full path of the host executable; empty when unknown.
std::wstring executablePath();

bool isDirectory(const char* path);
bool isDirectory(const wchar_t* path);
bool pathExists(const char* path);

// Names (not paths) of the entries that match a pattern such as "<dir>/*.bmp": case-insensitive
// (ASCII) match on the last component, directories included, never "." or "..", in ascending
// case-insensitive order. A missing folder gives an empty list.
std::vector<std::string> findFiles(const char* pattern);

FILE* openFile(const char* path, const char* mode);
FILE* openFile(const wchar_t* path, const wchar_t* mode);

// The system's queries behind knownFolderPath and findFiles, one per system: the folder as the
// system names it (trailing separators allowed), and the matching names in any order.
std::wstring systemKnownFolder(KnownFolder folder);
std::vector<std::string> systemMatchingEntries(const char* pattern);

}  // namespace tamra::platform
