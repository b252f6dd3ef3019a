// Test helpers: what the running test process can tell about itself, on each platform.
#pragma once

#include <filesystem>
#include <string>

namespace tamra::testing {

// Threads of this process, or -1 where the system does not tell.
int processThreadCount();

// Kernel id of the calling thread, or -1 where the system does not tell.
long currentThreadId();

// Waits, without a time limit, until the thread of this process with this kernel id is asleep
// in a wait (the handshake "it is now inside its wait"); false at once where the system does not
// tell.
bool waitUntilThreadBlocks(long threadId);

// Folder of the running test executable.
std::filesystem::path executableFolder();

// Narrow text as the library carries it: UTF-8 on POSIX, the ANSI code page on Windows.
std::string narrowText(const std::wstring& text);

// A wide file name as the file system takes it: UTF-8 on POSIX (whatever the locale).
std::filesystem::path pathOf(const std::wstring& name);

// Code page of narrow text on Windows; 0 elsewhere.
unsigned int ansiCodePage();

}  // namespace tamra::testing
