// Test helpers: thread count, executable folder and narrow text per platform.
#include "support/ProcessInfo.h"

#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// The Toolhelp header needs the declarations above.
#include <tlhelp32.h>
#else
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <thread>
#endif

namespace tamra::testing {

#if defined(_WIN32)

// Walks the system-wide thread snapshot for the threads owned by this process.
int processThreadCount() {
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return -1;
    const DWORD self = GetCurrentProcessId();
    int count = 0;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID == self) ++count;
        entry.dwSize = sizeof entry;
    }
    CloseHandle(snapshot);
    return count > 0 ? count : -1;
}

// The longest path the system takes: no retry for a longer one.
std::filesystem::path executableFolder() {
    std::wstring path(32768, L'\0');
    path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
    return std::filesystem::path(path).parent_path();
}

std::string narrowText(const std::wstring& text) {
    const int units = static_cast<int>(text.size());
    const int bytes =
        WideCharToMultiByte(CP_ACP, 0, text.data(), units, nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<std::size_t>(bytes > 0 ? bytes : 0), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), units, result.data(), bytes, nullptr, nullptr);
    return result;
}

std::filesystem::path pathOf(const std::wstring& name) {
    return name;
}

long currentThreadId() {
    return -1;
}
bool waitUntilThreadBlocks(long) {
    return false;
}
unsigned int ansiCodePage() {
    return GetACP();
}

#else

int processThreadCount() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("Threads:", 0) == 0) return std::stoi(line.substr(8));
    return -1;
}

long currentThreadId() {
    return static_cast<long>(::syscall(SYS_gettid));
}

namespace {

// The state letter of /proc/self/task/<id>/stat, after the name (which may hold parentheses).
char threadState(long threadId) {
    std::ifstream stat("/proc/self/task/" + std::to_string(threadId) + "/stat");
    std::string text;
    std::getline(stat, text);
    const std::size_t close = text.rfind(')');
    return close == std::string::npos || close + 2 >= text.size() ? '?' : text[close + 2];
}

}  // namespace

bool waitUntilThreadBlocks(long threadId) {
    if (threadId < 0) return false;
    for (;;) {
        const char state = threadState(threadId);
        if (state == 'S') return true;
        if (state == '?' || state == 'Z' || state == 'X') return false;  // gone
        std::this_thread::yield();
    }
}

std::filesystem::path executableFolder() {
    std::error_code error;
    return std::filesystem::read_symlink("/proc/self/exe", error).parent_path();
}

// UTF-8 of each code point; wchar_t holds whole code points here.
std::string narrowText(const std::wstring& text) {
    std::string result;
    for (const wchar_t c : text) {
        const auto code = static_cast<std::uint32_t>(c);
        const int tail = code < 0x80 ? 0 : code < 0x800 ? 1 : code < 0x10000 ? 2 : 3;
        // The lead byte: tail + 1 high bits set (none for ASCII), then the top of the code.
        result += static_cast<char>((tail ? (0xFF00 >> (tail + 1)) & 0xFF : 0) | code >> 6 * tail);
        for (int i = tail - 1; i >= 0; --i)
            result += static_cast<char>(0x80 | ((code >> 6 * i) & 0x3F));
    }
    return result;
}

std::filesystem::path pathOf(const std::wstring& name) {
    return std::filesystem::path(narrowText(name));
}

unsigned int ansiCodePage() {
    return 0;
}

#endif

}  // namespace tamra::testing
