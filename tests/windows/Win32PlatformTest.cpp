// The Win32 platform layer as a client and the rest of the library meet it: drive-letter and
// backslash paths, the shell's known folders, the ANSI code page, profile files, real windows,
// thread priorities, communication handles; and the frames the library composes, which must be
// those of the Linux build.
#include <gtest/gtest.h>

#include <tamra/Tamra.h>
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "FrameRecord.h"
#include "platform/FileSystem.h"
#include "platform/Profile.h"
#include "platform/Text.h"
#include "platform/Thread.h"
#include "platform/WindowRegistry.h"

namespace {

namespace fs = std::filesystem;
namespace platform = tamra::platform;

std::wstring environmentVariable(const wchar_t* name) {
    wchar_t value[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(name, value, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(value, length) : std::wstring();
}

// A fresh folder of its own, which is also the current folder while it lives.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::string& tag)
        : path_(fs::temp_directory_path() /
                ("tamra-win-" + tag + "-" + std::to_string(GetCurrentProcessId()))),
          previous_(fs::current_path()) {
        fs::remove_all(path_);
        fs::create_directories(path_);
        fs::current_path(path_);
    }
    ~ScratchFolder() {
        std::error_code ignored;
        fs::current_path(previous_, ignored);
        fs::remove_all(path_, ignored);
    }
    std::string file(const std::string& name) const { return (path_ / name).string(); }
    void write(const std::string& name, const std::string& text) const {
        std::ofstream(path_ / name, std::ios::binary) << text;
    }

private:
    fs::path path_;
    fs::path previous_;
};

std::string appDataPath(const char* subFolder, const char* fileName) {
    char buffer[MAX_PATH] = {};
    CiOS::AppDataPath(buffer, subFolder, fileName);
    return buffer;
}

TEST(Win32Paths, DriveLettersAndBackslashRootsAreAbsolute) {
    for (const char* absolute :
         {"C:\\data\\a.bmp", "c:relative.bmp", "\\\\server\\share\\a.bmp", "\\root.bmp", "?:odd"}) {
        EXPECT_TRUE(platform::isAbsolutePath(absolute)) << absolute;
        EXPECT_EQ(appDataPath("Cam", absolute), absolute) << "returned unchanged";
    }
    for (const char* relative : {"/forward.bmp", "images", ".\\images", "C-\\images", ""}) {
        EXPECT_FALSE(platform::isAbsolutePath(relative)) << relative;
    }
    EXPECT_TRUE(platform::isAbsolutePath(L"D:\\x"));
    EXPECT_FALSE(platform::isAbsolutePath(L"/x"));
}

TEST(Win32KnownFolders, AreTheShellFoldersOfTheUser) {
    const std::wstring local = platform::knownFolderPath(platform::KnownFolder::LocalAppData);
    const std::wstring common = platform::knownFolderPath(platform::KnownFolder::CommonAppData);
    // The shell sets these variables from the same folders for every process it starts.
    EXPECT_EQ(local, environmentVariable(L"LOCALAPPDATA"));
    EXPECT_EQ(common, environmentVariable(L"ProgramData"));
    for (const std::wstring& folder : {local, common}) {
        ASSERT_GE(folder.size(), 3u);
        EXPECT_EQ(folder[1], L':');
        EXPECT_NE(folder.back(), L'\\');
        EXPECT_TRUE(platform::isDirectory(folder.c_str()));
    }
}

// What the system's reader does beyond the common rules: paths relative to the current folder,
// one pair of quotes dropped around a value (the POSIX reader keeps them), long values whole.
TEST(Win32Profile, ReadsRelativeToTheCurrentFolderAndDropsQuotes) {
    ScratchFolder scratch("profile");
    const std::string longValue(1000, 'v');
    scratch.write("oem.ini", "[Config]\r\nQuoted=\"two words\"\r\nLong=" + longValue + "\r\n");
    EXPECT_EQ(platform::readProfileString(".\\oem.ini", L"Config", L"Quoted", L""), L"two words");
    EXPECT_EQ(platform::toNarrow(
                  platform::readProfileString(".\\oem.ini", L"Config", L"Long", L"").c_str()),
              longValue);
}

TEST(Win32Text, ConvertsThroughTheAnsiCodePage) {
    static_assert(sizeof(wchar_t) == 2, "wide characters are UTF-16 units here");
    if (GetACP() != 1252)
        GTEST_SKIP() << "expectations written for code page 1252, not " << GetACP();
    const wchar_t loneSurrogate[] = {L'a', static_cast<wchar_t>(0xD800), L'b', 0};
    const struct {
        const wchar_t* wide;
        const char* narrow;
    } toNarrow[] = {{L"Gr\u00fcn \u00e9t\u00e9 \u20ac", "Gr\xfcn \xe9t\xe9 \x80"},
                    {L"a\u4e2db", "a?b"},  // not in the code page: the default character
                    {loneSurrogate, "a?b"}};
    for (const auto& c : toNarrow) EXPECT_EQ(platform::toNarrow(c.wide), c.narrow);
    EXPECT_EQ(platform::toWide(toNarrow[0].narrow), toNarrow[0].wide);
    const std::string outside = platform::toNarrow(L"\U0001F600");
    EXPECT_FALSE(outside.empty());
    EXPECT_EQ(outside.find_first_not_of('?'), std::string::npos) << outside;
    // Every byte is a character: UTF-8 is not decoded.
    EXPECT_EQ(platform::toWide("caf\xC3\xA9 \x80"), L"caf\u00C3\u00A9 \u20ac");

    // The bounded forms keep whole characters, terminate and never write past the capacity.
    char narrow[8];
    std::memset(narrow, '#', sizeof narrow);
    EXPECT_EQ(platform::toNarrow(L"ab\u20acc", narrow, 3), 2u);
    EXPECT_STREQ(narrow, "ab");
    EXPECT_EQ(narrow[3], '#');
    wchar_t wide[6];
    std::fill(std::begin(wide), std::end(wide), L'#');
    EXPECT_EQ(platform::toWide("xyz", wide, 3), 2u);
    EXPECT_EQ(std::wstring(wide), L"xy");
    EXPECT_EQ(wide[3], L'#');
    EXPECT_EQ(platform::toWide(nullptr, wide, 3), 0u);
    EXPECT_EQ(wide[0], L'\0');
}

TEST(Win32Display, ARealWindowCountsWhileItExists) {
    HWND window = CreateWindowExW(0, L"STATIC", L"tamra", 0, 0, 0, 10, 10, HWND_MESSAGE, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    if (window == nullptr) GTEST_SKIP() << "the window manager made no window: " << GetLastError();
    EXPECT_TRUE(platform::isWindow(window));
    DestroyWindow(window);
    EXPECT_FALSE(platform::isWindow(window));
    int fake = 0;
    EXPECT_FALSE(platform::isWindow(&fake)) << "not a window and not registered";
}

TEST(Win32Thread, PrioritiesAndIdsAreTheSystems) {
    int seen = THREAD_PRIORITY_ERROR_RETURN;
    DWORD inside = 0;
    platform::Thread thread;
    ASSERT_TRUE(thread.start(
        [&] {
            seen = GetThreadPriority(GetCurrentThread());
            inside = GetCurrentThreadId();
            return 7u;
        },
        32 * 1024, platform::ThreadPriority::TimeCritical));
    const std::uint32_t id = thread.id();
    EXPECT_EQ(thread.join(), 7u);
    EXPECT_EQ(seen, THREAD_PRIORITY_TIME_CRITICAL);
    EXPECT_EQ(id, inside);
    EXPECT_EQ(platform::currentThreadId(), GetCurrentThreadId());
}

TEST(Win32Serial, AMissingPortFailsWithTheSystemsErrorCode) {
    IXGrab grab;
    SetLastError(0);
    EXPECT_EQ(grab.OpenComPort(L"\\\\.\\COM219"), INVALID_HANDLE_VALUE);
    const DWORD error = GetLastError();
    EXPECT_TRUE(error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) << error;
    EXPECT_EQ(grab.OpenComPort(nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

// A COM port of the Wine prefix mapped onto a pseudo-terminal that sends every byte back
// (tests/windows/pty-echo.py, started by scripts/test-windows).
class Win32LoopbackPort : public ::testing::Test {
protected:
    void SetUp() override {
        const std::wstring port = environmentVariable(L"TAMRA_LOOPBACK_PORT");
        if (port.empty()) {
            GTEST_SKIP() << "no loopback port: TAMRA_LOOPBACK_PORT names a COM port that echoes "
                            "(scripts/test-windows maps one onto a pseudo-terminal)";
        }
        handle_ = grab_.OpenComPort((L"\\\\.\\" + port).c_str());
        ASSERT_NE(handle_, INVALID_HANDLE_VALUE) << "open: " << GetLastError();
    }
    void TearDown() override {
        if (handle_ != INVALID_HANDLE_VALUE) grab_.CloseComPort(handle_);
    }
    void setTimeouts(DWORD readTotal) {
        COMMTIMEOUTS timeouts{0, 0, readTotal, 0, 2000};
        ASSERT_EQ(grab_.SetCommTimeouts(handle_, &timeouts), 1) << GetLastError();
    }

    IXGrab grab_;
    void* handle_ = INVALID_HANDLE_VALUE;
};

// A pseudo-terminal keeps neither byte size nor parity (always 8 bits, no parity), so only the
// settings it keeps are compared.
TEST_F(Win32LoopbackPort, TheLineSettingsAreTheDcbOfTheSystem) {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    ASSERT_EQ(grab_.GetCommState(handle_, &dcb), 1) << GetLastError();
    for (const auto& [baud, stopBits] :
         {std::pair<DWORD, BYTE>{19200, TWOSTOPBITS}, std::pair<DWORD, BYTE>{4800, ONESTOPBIT}}) {
        dcb.BaudRate = baud;
        dcb.StopBits = stopBits;
        ASSERT_EQ(grab_.SetCommState(handle_, &dcb), 1) << GetLastError();
        DCB read{};
        read.DCBlength = sizeof read;
        ASSERT_EQ(grab_.GetCommState(handle_, &read), 1);
        EXPECT_EQ(read.BaudRate, baud);
        EXPECT_EQ(read.StopBits, stopBits);
    }
}

TEST_F(Win32LoopbackPort, BytesComeBackAndQueuesCanBeCountedAndPurged) {
    setTimeouts(3000);
    const char sent[] = "tamra\x01\xff";
    std::uint32_t count = 0;
    ASSERT_EQ(grab_.WriteComPort(handle_, sent, 7, &count), 1) << GetLastError();
    EXPECT_EQ(count, 7u);
    char received[8] = {};
    ASSERT_EQ(grab_.ReadComPort(handle_, received, 7, &count), 1) << GetLastError();
    ASSERT_EQ(count, 7u);
    EXPECT_EQ(std::memcmp(received, sent, 7), 0);

    ASSERT_EQ(grab_.WriteComPort(handle_, "abc", 3, &count), 1);
    COMSTAT status{};
    std::uint32_t errors = 99;
    // A bounded wait for the echo to arrive.
    for (int i = 0; i < 100 && status.cbInQue < 3; ++i) {
        Sleep(20);
        ASSERT_EQ(grab_.ClearCommError(handle_, &errors, &status), 1) << GetLastError();
    }
    EXPECT_EQ(status.cbInQue, 3u);
    EXPECT_EQ(errors, 0u);
    grab_.PurgeComPort(handle_);
    ASSERT_EQ(grab_.ClearCommError(handle_, &errors, &status), 1);
    EXPECT_EQ(status.cbInQue, 0u);
}

TEST_F(Win32LoopbackPort, AReadWithATotalTimeOutReturnsWhatArrived) {
    setTimeouts(300);
    char buffer[4];
    std::uint32_t count = 77;
    const ULONGLONG start = GetTickCount64();
    EXPECT_EQ(grab_.ReadComPort(handle_, buffer, 4, &count), 1);
    EXPECT_EQ(count, 0u);
    EXPECT_GE(GetTickCount64() - start, 250u);
}

TEST_F(Win32LoopbackPort, OperationsOnAClosedPortFailWithTheInvalidHandleCode) {
    grab_.CloseComPort(handle_);
    void* closed = handle_;
    handle_ = INVALID_HANDLE_VALUE;
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    COMSTAT status{};
    char buffer[4] = {};
    std::uint32_t count = 0;
    const std::pair<const char*, std::function<int()>> calls[] = {
        {"GetCommState", [&] { return grab_.GetCommState(closed, &dcb); }},
        {"ClearCommError", [&] { return grab_.ClearCommError(closed, nullptr, &status); }},
        {"ReadComPort", [&] { return grab_.ReadComPort(closed, buffer, 4, &count); }},
        {"WriteComPort", [&] { return grab_.WriteComPort(closed, buffer, 4, &count); }},
    };
    for (const auto& [what, call] : calls) {
        SetLastError(0);
        EXPECT_EQ(call(), 0) << what;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE)) << what;
    }
    EXPECT_STREQ(grab_.GetLastErrorMsg(), "");  // port failures never touch the grab's message
}

TEST(FramesAcrossPlatforms, MatchTheLinuxBuildByteForByte) {
    const char* reference = std::getenv("TAMRA_REFERENCE_FRAMES");
    if (reference == nullptr || *reference == '\0') {
        GTEST_SKIP() << "no reference: TAMRA_REFERENCE_FRAMES names the file that tamra-frames "
                        "of the Linux build writes (scripts/test-windows does this)";
    }
    std::ostringstream expected;
    expected << std::ifstream(reference, std::ios::binary).rdbuf();
    ASSERT_FALSE(expected.str().empty()) << reference;
    ScratchFolder scratch("frames");
    EXPECT_EQ(tamra_frames::recordSampleTree(scratch.file("tree")), expected.str());
}

}  // namespace
