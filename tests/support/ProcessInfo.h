// Test helpers: what the running test process can tell about itself, on each platform.
#pragma once

#include <filesystem>
#include <string>

namespace tamra::testing {

// Threads of this process, or -1 where the system does not tell.
int processThreadCount();

// Folder of the running test executable.
std::filesystem::path executableFolder();

// Narrow text as the library's narrow interface carries it: UTF-8 on POSIX, the ANSI code page
// on Windows ('?' for what the code page cannot carry).
std::string narrowText(const std::wstring& text);

// A file name given as wide text, as the file system takes it: UTF-8 bytes on POSIX (whatever
// the C library's locale), UTF-16 on Windows.
std::filesystem::path pathOf(const std::wstring& name);

// Code page of narrow text on Windows; 0 elsewhere.
unsigned int ansiCodePage();

}  // namespace tamra::testing
