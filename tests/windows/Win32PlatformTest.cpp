// The Win32 platform layer as a client and the rest of the library meet it: the shell's known
// folders, drive-letter and backslash paths, the ANSI code page, the system's directory search,
// profile files, real windows, thread priorities and communication handles.
#include <gtest/gtest.h>

#include <tamra/Tamra.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "Win32Support.h"
#include "platform/FileSystem.h"
#include "platform/Profile.h"
#include "platform/Serial.h"
#include "platform/Text.h"
#include "platform/Thread.h"
#include "platform/WindowRegistry.h"
#include "support/ProcessLock.h"

namespace {

namespace platform = tamra::platform;
using win32_test::environmentVariable;
using win32_test::ScratchFolder;

constexpr std::size_t kPath = 260;

std::string appDataPath(const char* subFolder, const char* fileName) {
    char buffer[kPath] = {};
    CiOS::AppDataPath(buffer, subFolder, fileName);
    return buffer;
}

// ---- Paths and known folders

TEST(Win32Paths, DriveLettersAndBackslashRootsAreAbsolute) {
    for (const char* absolute :
         {"C:\\data\\a.bmp", "c:relative.bmp", "\\\\server\\share\\a.bmp", "\\root.bmp", "?:odd"}) {
        EXPECT_TRUE(platform::isAbsolutePath(absolute)) << absolute;
        EXPECT_EQ(appDataPath("Cam", absolute), absolute) << "returned unchanged";
    }
    for (const char* relative : {"/forward.bmp", "images", ".\\images", ""}) {
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

class Win32AppDataTest : public ::testing::Test {
protected:
    void SetUp() override {
        scratch_.makeCurrent();  // no oem.ini here: the default brand applies
        CiOS::ResetOEMName();
        local_ = win32_test::narrow(environmentVariable(L"LOCALAPPDATA"));
        common_ = win32_test::narrow(environmentVariable(L"ProgramData"));
        camera_ = "TamraWin" + std::to_string(GetCurrentProcessId());
        userFolder_ = win32_test::fs::path(local_) / "Quillon" / camera_;
    }
    void TearDown() override {
        std::error_code ignored;
        win32_test::fs::remove_all(userFolder_, ignored);
        // The brand folder too, when nothing else lives in it: other tests expect it missing.
        win32_test::fs::remove(userFolder_.parent_path(), ignored);
        CiOS::ResetOEMName();
    }

    // The known folders are the user's real ones, shared with the other test processes.
    tamra::testing::ProcessLock lock_{L"tamra-tests-known-folders"};
    ScratchFolder scratch_{"appdata"};
    std::string local_;
    std::string common_;
    std::string camera_;
    win32_test::fs::path userFolder_;
};

TEST_F(Win32AppDataTest, ComposesUnderTheUsersFolderWithBackslashes) {
    win32_test::fs::create_directories(userFolder_);
    EXPECT_EQ(appDataPath(camera_.c_str(), ".\\images"),
              local_ + "\\Quillon\\" + camera_ + "\\images");
    EXPECT_EQ(appDataPath(camera_.c_str(), nullptr), local_ + "\\Quillon\\" + camera_ + "\\");
    EXPECT_EQ(appDataPath(camera_.c_str(), "/images"),
              local_ + "\\Quillon\\" + camera_ + "\\/images");
}

TEST_F(Win32AppDataTest, FallsBackToTheAllUsersFolder) {
    EXPECT_EQ(appDataPath(camera_.c_str(), ".\\images"),
              common_ + "\\Quillon\\" + camera_ + "\\images");
    EXPECT_FALSE(win32_test::fs::exists(win32_test::fs::path(common_) / "Quillon" / camera_));
}

TEST_F(Win32AppDataTest, TakesTheBrandFromOemIniInTheCurrentFolder) {
    scratch_.write("oem.ini", "[Config]\r\nOEMName = \\Brand\\\r\n");
    const std::string composed = appDataPath(camera_.c_str(), ".\\images");
    EXPECT_EQ(composed, common_ + "\\Brand\\" + camera_ + "\\images");
}

// ---- Profiles

TEST(Win32Profile, ReadsSectionsAndKeysWithoutCaseRelativeToTheCurrentFolder) {
    ScratchFolder scratch("profile");
    scratch.makeCurrent();
    scratch.write("oem.ini",
                  "[Other]\r\nOEMName=wrong\r\n[CONFIG]\r\noemname =  \\Brand\\  \r\n"
                  "Quoted=\"two words\"\r\n");
    EXPECT_EQ(platform::readProfileString(".\\oem.ini", L"Config", L"OEMName", L"dflt"),
              L"\\Brand\\");
    EXPECT_EQ(platform::readProfileString(".\\oem.ini", L"Config", L"Missing", L"dflt"), L"dflt");
    EXPECT_EQ(platform::readProfileString(".\\none.ini", L"Config", L"OEMName", L"dflt"), L"dflt");
    // The system drops one pair of quotes around a value; the POSIX reader keeps them.
    EXPECT_EQ(platform::readProfileString(".\\oem.ini", L"Config", L"Quoted", nullptr),
              L"two words");
}

TEST(Win32Profile, LongValuesAreReadWhole) {
    ScratchFolder scratch("profile-long");
    const std::string value(1000, 'v');
    scratch.write("long.ini", "[Config]\r\nKey=" + value + "\r\n");
    EXPECT_EQ(platform::toNarrow(platform::readProfileString(scratch.file("long.ini").c_str(),
                                                             L"Config", L"Key", L"")
                                     .c_str()),
              value);
}

// ---- Text

TEST(Win32Text, ConvertsThroughTheAnsiCodePage) {
    static_assert(sizeof(wchar_t) == 2, "wide characters are UTF-16 units here");
    if (GetACP() != 1252)
        GTEST_SKIP() << "expectations written for code page 1252, not " << GetACP();
    EXPECT_EQ(platform::toNarrow(L"Gr\u00fcn \u00e9t\u00e9"), "Gr\xfcn \xe9t\xe9");
    EXPECT_EQ(platform::toWide("Gr\xfcn \x80"), L"Gr\u00fcn \u20ac");
    // Not in the code page: the default character.
    EXPECT_EQ(platform::toNarrow(L"a\u4e2db"), "a?b");
    const std::string outside = platform::toNarrow(L"\U0001F600");
    EXPECT_FALSE(outside.empty());
    EXPECT_EQ(outside.find_first_not_of('?'), std::string::npos) << outside;
}

TEST(Win32Text, BoundedFormsKeepWholeCharactersAndTerminate) {
    char narrow[4];
    EXPECT_EQ(platform::toNarrow(L"abcdef", narrow, sizeof narrow), 3u);
    EXPECT_STREQ(narrow, "abc");
    wchar_t wide[3];
    EXPECT_EQ(platform::toWide("xyz", wide, 3), 2u);
    EXPECT_EQ(std::wstring(wide), L"xy");
    EXPECT_EQ(platform::toWide(nullptr, wide, 3), 0u);
    EXPECT_EQ(wide[0], L'\0');
}

// ---- Directory search

TEST(Win32FileSearch, MatchesWithoutCaseIncludesFoldersAndSortsByFoldedName) {
    ScratchFolder scratch("search");
    for (const char* name : {"b.BMP", "A.bmp", "c.bmp", "notes.txt", "a.bmp.txt"}) {
        scratch.write(name, "x");
    }
    win32_test::fs::create_directories(scratch.path() / "D.bmp");
    win32_test::fs::create_directories(scratch.path() / "sub");
    const std::vector<std::string> expected = {"A.bmp", "b.BMP", "c.bmp", "D.bmp"};
    EXPECT_EQ(platform::findFiles((scratch.str() + "\\*.bmp").c_str()), expected);
    EXPECT_TRUE(platform::findFiles((scratch.str() + "\\missing\\*.bmp").c_str()).empty());
    const auto all = platform::findFiles((scratch.str() + "\\*").c_str());
    EXPECT_EQ(all.size(), 7u) << "never . or ..";
}

// ---- Windows for the display check

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

// ---- Threads

TEST(Win32Thread, TimeCriticalIsTheSystemPriorityLevel) {
    int seen = THREAD_PRIORITY_ERROR_RETURN;
    platform::Thread thread;
    ASSERT_TRUE(thread.start(
        [&seen] {
            seen = GetThreadPriority(GetCurrentThread());
            return 0u;
        },
        32 * 1024, platform::ThreadPriority::TimeCritical));
    thread.join();
    EXPECT_EQ(seen, THREAD_PRIORITY_TIME_CRITICAL);
}

TEST(Win32Thread, IdsAreTheSystemThreadIds) {
    platform::Thread thread;
    DWORD inside = 0;
    ASSERT_TRUE(thread.start([&inside] {
        inside = GetCurrentThreadId();
        return 7u;
    }));
    const std::uint32_t id = thread.id();
    EXPECT_EQ(thread.join(), 7u);
    EXPECT_EQ(id, inside);
    EXPECT_EQ(platform::currentThreadId(), GetCurrentThreadId());
}

// ---- Serial ports

TEST(Win32Serial, AMissingPortFailsWithTheSystemsErrorCode) {
    IXGrab grab;
    SetLastError(0);
    EXPECT_EQ(grab.OpenComPort(L"\\\\.\\COM219"), INVALID_HANDLE_VALUE);
    const DWORD error = GetLastError();
    EXPECT_TRUE(error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) << error;
    EXPECT_EQ(grab.OpenComPort(nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(Win32Serial, PseudoTerminalsAreNotOffered) {
    std::string path = "unchanged";
    EXPECT_EQ(platform::openPseudoTerminal(&path), INVALID_HANDLE_VALUE);
    EXPECT_TRUE(path.empty());
    EXPECT_EQ(platform::lastErrorCode(), ERROR_NOT_SUPPORTED);
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
        name_ = L"\\\\.\\" + port;
        handle_ = grab_.OpenComPort(name_.c_str());
        ASSERT_NE(handle_, INVALID_HANDLE_VALUE) << "open: " << GetLastError();
    }
    void TearDown() override {
        if (handle_ != INVALID_HANDLE_VALUE) grab_.CloseComPort(handle_);
    }
    void setTimeouts(DWORD interval, DWORD readTotal) {
        COMMTIMEOUTS timeouts{interval, 0, readTotal, 0, 2000};
        ASSERT_EQ(grab_.SetCommTimeouts(handle_, &timeouts), 1) << GetLastError();
    }

    IXGrab grab_;
    std::wstring name_;
    void* handle_ = INVALID_HANDLE_VALUE;
};

// A pseudo-terminal keeps neither byte size nor parity (always 8 bits, no parity), so only the
// settings it keeps are compared.
TEST_F(Win32LoopbackPort, TheLineSettingsAreTheDcbOfTheSystem) {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    ASSERT_EQ(grab_.GetCommState(handle_, &dcb), 1) << GetLastError();
    dcb.BaudRate = 19200;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = TWOSTOPBITS;
    ASSERT_EQ(grab_.SetCommState(handle_, &dcb), 1) << GetLastError();
    DCB read{};
    read.DCBlength = sizeof read;
    ASSERT_EQ(grab_.GetCommState(handle_, &read), 1);
    EXPECT_EQ(read.BaudRate, 19200u);
    EXPECT_EQ(read.StopBits, TWOSTOPBITS);
    dcb.BaudRate = 4800;
    dcb.StopBits = ONESTOPBIT;
    ASSERT_EQ(grab_.SetCommState(handle_, &dcb), 1);
    ASSERT_EQ(grab_.GetCommState(handle_, &read), 1);
    EXPECT_EQ(read.BaudRate, 4800u);
    EXPECT_EQ(read.StopBits, ONESTOPBIT);
}

TEST_F(Win32LoopbackPort, BytesComeBackAndQueuesCanBeCountedAndPurged) {
    setTimeouts(0, 3000);
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
    setTimeouts(0, 300);
    char buffer[4];
    std::uint32_t count = 77;
    const ULONGLONG start = GetTickCount64();
    EXPECT_EQ(grab_.ReadComPort(handle_, buffer, 4, &count), 1);
    EXPECT_EQ(count, 0u);
    EXPECT_GE(GetTickCount64() - start, 250u);
}

bool runsUnderWine() {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

TEST_F(Win32LoopbackPort, ASecondOpenIsRefusedWhileTheFirstIsOpen) {
    if (runsUnderWine()) GTEST_SKIP() << "Wine does not refuse a second open of a serial device";
    EXPECT_EQ(grab_.OpenComPort(name_.c_str()), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

// ---- The DLL itself

TEST(TamraDll, ExportsTheFactoryUnderItsPlainNames) {
    HMODULE dll = LoadLibraryW(L"Tamra.dll");
    ASSERT_NE(dll, nullptr) << "Tamra.dll beside the test: " << GetLastError();
    using Instantiate = IXGrab* (*)(char*);
    using Delete = int (*)(IXGrab*);
    auto instantiate = reinterpret_cast<Instantiate>(
        reinterpret_cast<void*>(GetProcAddress(dll, "TamraGrabInstantiate")));
    auto destroy =
        reinterpret_cast<Delete>(reinterpret_cast<void*>(GetProcAddress(dll, "TamraGrabDelete")));
    ASSERT_NE(instantiate, nullptr);
    ASSERT_NE(destroy, nullptr);
    char type[] = "EMULATOR";
    IXGrab* grab = instantiate(type);
    ASSERT_NE(grab, nullptr);
    EXPECT_EQ(grab->GetGrabType(), IFW_IGRAB_EMULATOR);
    destroy(grab);
    FreeLibrary(dll);
}

}  // namespace
