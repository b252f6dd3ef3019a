// The Win32 platform layer as a client meets it, with the client's own Win32 calls beside it;
// and frames identical to those of the Linux build.
#include <gtest/gtest.h>

#include <tamra/Tamra.h>
#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <thread>

#include "FrameRecord.h"
#include "platform/FileSystem.h"
#include "platform/Profile.h"
#include "platform/Text.h"
#include "platform/Thread.h"

namespace {

namespace fs = std::filesystem;
namespace platform = tamra::platform;

std::wstring environmentVariable(const wchar_t* name) {
    wchar_t value[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(name, value, MAX_PATH);
    return length < MAX_PATH ? std::wstring(value, length) : std::wstring();
}

// A name of this process in the temporary folder.
fs::path scratch(const std::string& tag) {
    return fs::temp_directory_path() /
           ("tamra-" + std::to_string(GetCurrentProcessId()) + "-" + tag);
}

// The error code a call leaves, starting from none, so that a stale code cannot pass.
DWORD lastErrorOf(const std::function<void()>& call) {
    SetLastError(ERROR_SUCCESS);
    call();
    return GetLastError();
}

DCB emptyDcb() {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    return dcb;
}

struct HandleCloser {
    void operator()(void* handle) const { CloseHandle(handle); }
};
using Owned = std::unique_ptr<void, HandleCloser>;

TEST(Win32Paths, DriveLettersAndBackslashRootsAreAbsolute) {
    for (const char* absolute :
         {"C:\\data\\a.bmp", "c:relative.bmp", "\\\\server\\share\\a.bmp", "\\root.bmp", "?:odd"}) {
        char buffer[MAX_PATH] = {};
        EXPECT_TRUE(platform::isAbsolutePath(absolute)) << absolute;
        EXPECT_STREQ(CiOS::AppDataPath(buffer, "Cam", absolute), absolute) << "kept unchanged";
    }
    for (const char* relative : {"/forward.bmp", "images", ".\\images", "C-\\images", ""})
        EXPECT_FALSE(platform::isAbsolutePath(relative)) << relative;
    EXPECT_TRUE(platform::isAbsolutePath(L"D:\\x") && !platform::isAbsolutePath(L"/x"));
}

TEST(Win32KnownFolders, AreTheShellFoldersOfTheUser) {
    const std::wstring local = platform::knownFolderPath(platform::KnownFolder::LocalAppData);
    const std::wstring common = platform::knownFolderPath(platform::KnownFolder::CommonAppData);
    // The shell sets these variables from the same folders for every process it starts.
    EXPECT_EQ(local, environmentVariable(L"LOCALAPPDATA"));
    EXPECT_EQ(common, environmentVariable(L"ProgramData"));
    for (const std::wstring& folder : {local, common}) {
        ASSERT_TRUE(folder.size() >= 3 && folder[1] == L':');
        EXPECT_NE(folder.back(), L'\\');
        EXPECT_TRUE(platform::isDirectory(folder.c_str()));
    }
}

// The system's reader: relative to the current folder, one pair of quotes dropped (the POSIX
// reader keeps them), long values whole.
TEST(Win32Profile, ReadsRelativeToTheCurrentFolderAndDropsQuotes) {
    const fs::path file = scratch("win.ini"), previous = fs::current_path();
    const std::string longValue(1000, 'v');
    std::ofstream(file) << "[Config]\nQuoted=\"two words\"\nLong=" << longValue;
    fs::current_path(file.parent_path());
    const auto read = [&](const wchar_t* key) {
        return platform::readProfileString((".\\" + file.filename().string()).c_str(), L"Config",
                                           key, L"");
    };
    EXPECT_EQ(read(L"Quoted"), L"two words");
    EXPECT_EQ(platform::toNarrow(read(L"Long").c_str()), longValue);
    fs::current_path(previous);
    fs::remove(file);
}

TEST(Win32Text, ConvertsThroughTheAnsiCodePage) {
    static_assert(sizeof(wchar_t) == 2, "wide characters are UTF-16 units here");
    if (GetACP() != 1252) GTEST_SKIP() << "expectations for code page 1252, not " << GetACP();
    const wchar_t loneSurrogate[] = {L'a', static_cast<wchar_t>(0xD800), L'b', 0};
    EXPECT_EQ(platform::toNarrow(L"Gr\u00fcn \u00e9t\u00e9 \u20ac"), "Gr\xfcn \xe9t\xe9 \x80");
    EXPECT_EQ(platform::toWide("Gr\xfcn \xe9t\xe9 \x80"), L"Gr\u00fcn \u00e9t\u00e9 \u20ac");
    EXPECT_EQ(platform::toNarrow(L"a\u4e2db"), "a?b");  // not in the code page
    EXPECT_EQ(platform::toNarrow(loneSurrogate), "a?b");
    const std::string outside = platform::toNarrow(L"\U0001F600");
    EXPECT_TRUE(!outside.empty() && outside.find_first_not_of('?') == std::string::npos);
    // Every byte is a character: UTF-8 is not decoded.
    EXPECT_EQ(platform::toWide("caf\xC3\xA9 \x80"), L"caf\u00C3\u00A9 \u20ac");

    // The bounded forms keep whole characters, terminate and never write past the capacity.
    char narrow[8] = "#######";
    EXPECT_EQ(platform::toNarrow(L"ab\u20acc", narrow, 3), 2u);
    EXPECT_EQ(std::string(narrow, 4), std::string("ab\0#", 4));
    wchar_t wide[6] = L"#####";
    EXPECT_EQ(platform::toWide("xyz", wide, 3), 2u);
    EXPECT_EQ(std::wstring(wide, 4), std::wstring(L"xy\0#", 4));
    EXPECT_EQ(platform::toWide(nullptr, wide, 3), 0u);
    EXPECT_EQ(wide[0], L'\0');
}

TEST(Win32Serial, AMissingPortFailsWithTheSystemsErrorCode) {
    IXGrab grab;
    const DWORD error = lastErrorOf([&] { grab.OpenComPort(L"\\\\.\\COM219"); });
    EXPECT_TRUE(error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) << error;
    void* handle = nullptr;
    EXPECT_EQ(lastErrorOf([&] { handle = grab.OpenComPort(nullptr); }),
              static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(handle, INVALID_HANDLE_VALUE);
}

// A COM port of the Wine prefix mapped onto a pseudo-terminal that sends every byte back
// (tests/windows/pty-echo.py, started by scripts/test-windows).
class Win32LoopbackPort : public ::testing::Test {
protected:
    void SetUp() override {
        const std::wstring port = environmentVariable(L"TAMRA_LOOPBACK_PORT");
        if (port.empty()) GTEST_SKIP() << "TAMRA_LOOPBACK_PORT names no echoing COM port";
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

// A pseudo-terminal keeps neither byte size nor parity, so only what it keeps is compared.
TEST_F(Win32LoopbackPort, TheLineSettingsAreTheDcbOfTheSystem) {
    DCB dcb = emptyDcb();
    ASSERT_EQ(grab_.GetCommState(handle_, &dcb), 1) << GetLastError();
    for (const auto& [baud, stopBits] :
         {std::pair<DWORD, BYTE>{19200, TWOSTOPBITS}, {4800, ONESTOPBIT}}) {
        dcb.BaudRate = baud;
        dcb.StopBits = stopBits;
        ASSERT_EQ(grab_.SetCommState(handle_, &dcb), 1) << GetLastError();
        DCB read = emptyDcb();
        ASSERT_EQ(grab_.GetCommState(handle_, &read), 1);
        EXPECT_EQ(std::make_pair(read.BaudRate, read.StopBits), std::make_pair(baud, stopBits));
    }
}

TEST_F(Win32LoopbackPort, BytesComeBackQueuesArePurgedAndReadsTimeOut) {
    setTimeouts(3000);
    const char sent[] = "tamra\x01\xff";
    std::uint32_t count = 0;
    ASSERT_EQ(grab_.WriteComPort(handle_, sent, 7, &count), 1) << GetLastError();
    EXPECT_EQ(count, 7u);
    char received[8] = {};
    ASSERT_EQ(grab_.ReadComPort(handle_, received, 7, &count), 1) << GetLastError();
    EXPECT_EQ(std::string(received, count), std::string(sent, 7));

    ASSERT_EQ(grab_.WriteComPort(handle_, "abc", 3, &count), 1);
    COMSTAT status{};
    std::uint32_t errors = 99;
    for (int i = 0; i < 100 && status.cbInQue < 3; ++i) {  // a bounded wait for the echo
        Sleep(20);
        ASSERT_EQ(grab_.ClearCommError(handle_, &errors, &status), 1) << GetLastError();
    }
    EXPECT_EQ(std::make_pair(status.cbInQue, errors), std::make_pair(DWORD{3}, 0u));
    grab_.PurgeComPort(handle_);
    ASSERT_EQ(grab_.ClearCommError(handle_, &errors, &status), 1);
    EXPECT_EQ(status.cbInQue, 0u);
    // Nothing left to read: a read with a total time-out returns nothing after that time.
    setTimeouts(300);
    count = 77;
    const ULONGLONG start = GetTickCount64();
    EXPECT_EQ(grab_.ReadComPort(handle_, received, 4, &count), 1);
    EXPECT_EQ(count, 0u);
    EXPECT_GE(GetTickCount64() - start, 250u);
}

TEST_F(Win32LoopbackPort, OperationsOnAClosedPortFailWithTheInvalidHandleCode) {
    grab_.CloseComPort(handle_);
    void* closed = std::exchange(handle_, INVALID_HANDLE_VALUE);
    DCB dcb = emptyDcb();
    COMSTAT status{};
    char buffer[4] = {};
    std::uint32_t count = 0;
    const std::function<int()> calls[] = {
        [&] { return grab_.GetCommState(closed, &dcb); },
        [&] { return grab_.ClearCommError(closed, nullptr, &status); },
        [&] { return grab_.ReadComPort(closed, buffer, 4, &count); },
        [&] { return grab_.WriteComPort(closed, buffer, 4, &count); },
    };
    for (const auto& call : calls) {
        int result = -1;
        EXPECT_EQ(lastErrorOf([&] { result = call(); }), static_cast<DWORD>(ERROR_INVALID_HANDLE));
        EXPECT_EQ(result, 0);
    }
    EXPECT_STREQ(grab_.GetLastErrorMsg(), "");  // port failures never touch the grab's message
}

// CiOS kernel handles are the system's own: the client and the library count on one object.
TEST(Win32Handles, NamedObjectsOpenAcrossTheLibraryAndTheClient) {
    const std::wstring name = L"tamra-win32-" + std::to_wstring(GetCurrentProcessId());
    Owned created(CiOS::CreateSemaphoreW(nullptr, 1, 4, (name + L"s").c_str()));
    ASSERT_NE(created.get(), nullptr);
    HANDLE openedHandle = nullptr;
    EXPECT_EQ(
        lastErrorOf([&] { openedHandle = CreateSemaphoreW(nullptr, 0, 1, (name + L"s").c_str()); }),
        static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    Owned opened(openedHandle);
    ASSERT_NE(opened.get(), created.get());
    // One object: the client's counts were ignored, the library's count of one is taken once.
    EXPECT_EQ(WaitForSingleObject(opened.get(), 0), WAIT_OBJECT_0);
    EXPECT_EQ(CiOS::WaitForSingleObject(created.get(), 0), WAIT_TIMEOUT);
    EXPECT_EQ(CiOS::ReleaseSemaphore(opened.get(), 4, nullptr), 1);
    EXPECT_FALSE(ReleaseSemaphore(created.get(), 1, nullptr));  // four is the maximum
    void* wrongKind = nullptr;  // the name belongs to a semaphore: no mutex under it
    EXPECT_EQ(
        lastErrorOf([&] { wrongKind = CiOS::CreateMutexW(nullptr, 0, (name + L"s").c_str()); }),
        static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(wrongKind, nullptr);

    // A mutex the client's thread owns: the library's handle to it releases that ownership.
    Owned clients(CreateMutexW(nullptr, TRUE, (name + L"m").c_str()));
    void* libraryHandle = nullptr;
    EXPECT_EQ(
        lastErrorOf([&] { libraryHandle = CiOS::CreateMutexW(nullptr, 0, (name + L"m").c_str()); }),
        static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    Owned library(libraryHandle);
    ASSERT_NE(library.get(), nullptr);
    EXPECT_EQ(CiOS::ReleaseMutex(library.get()), 1);
    EXPECT_FALSE(ReleaseMutex(clients.get()));
    // A thread that ends while owning it abandons it, and the next wait says so.
    std::thread([&] { CiOS::WaitForSingleObject(library.get(), 0); }).join();
    EXPECT_EQ(CiOS::WaitForSingleObject(clients.get(), 0), WAIT_ABANDONED);
}

TEST(Win32Handles, SecurityAttributesReachTheSystem) {
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    SECURITY_ATTRIBUTES private_{sizeof(SECURITY_ATTRIBUTES), nullptr, FALSE};
    const std::pair<Owned, bool> cases[] = {
        {Owned(CiOS::CreateSemaphoreW(&inheritable, 0, 1, nullptr)), true},
        {Owned(CiOS::CreateMutexW(&inheritable, 0, nullptr)), true},
        {Owned(CiOS::CreateSemaphoreW(&private_, 0, 1, nullptr)), false}};
    for (const auto& [handle, inherits] : cases) {
        DWORD flags = 0;
        ASSERT_TRUE(GetHandleInformation(handle.get(), &flags));
        EXPECT_EQ((flags & HANDLE_FLAG_INHERIT) != 0, inherits);
    }
}

TEST(Win32Handles, ThreadPrioritiesAndIdsAreTheSystemsForAnyThread) {
    int seen = THREAD_PRIORITY_ERROR_RETURN;
    platform::Thread thread;  // the library's own threads take the system's levels too
    ASSERT_TRUE(thread.start([&] { return seen = GetThreadPriority(GetCurrentThread()), 7u; },
                             32 * 1024, platform::ThreadPriority::TimeCritical));
    EXPECT_EQ(thread.join(), 7u);
    EXPECT_EQ(seen, THREAD_PRIORITY_TIME_CRITICAL);
    EXPECT_EQ(platform::currentThreadId(), GetCurrentThreadId());
    EXPECT_EQ(CiOS::GetCurrentThread(), GetCurrentThread());
    CiOS::SetThreadPriority(CiOS::GetCurrentThread(), THREAD_PRIORITY_ABOVE_NORMAL);
    EXPECT_EQ(GetThreadPriority(GetCurrentThread()), THREAD_PRIORITY_ABOVE_NORMAL);
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_NORMAL);
    // Another thread, by a real handle: every level of the system, not only normal and 15.
    Owned release(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    Owned other(CreateThread(
        nullptr, 0, [](LPVOID event) { return WaitForSingleObject(event, INFINITE); },
        release.get(), 0, nullptr));
    ASSERT_NE(other.get(), nullptr);
    for (int level : {THREAD_PRIORITY_LOWEST, THREAD_PRIORITY_BELOW_NORMAL, THREAD_PRIORITY_HIGHEST,
                      THREAD_PRIORITY_TIME_CRITICAL}) {
        CiOS::SetThreadPriority(other.get(), level);
        EXPECT_EQ(GetThreadPriority(other.get()), level);
    }
    SetEvent(release.get());
    EXPECT_EQ(CiOS::WaitForSingleObject(other.get(), 10000), WAIT_OBJECT_0);
}

TEST(Win32Handles, FailuresCarryTheSystemsErrorCodesAndPseudoHandlesWork) {
    void* semaphore = CiOS::CreateSemaphoreW(nullptr, 1, 1, nullptr);
    void* mutex = CiOS::CreateMutexW(nullptr, 0, nullptr);
    ASSERT_TRUE(semaphore && mutex);
    std::int32_t previous = -1;
    const DWORD invalid = ERROR_INVALID_HANDLE;
    const std::pair<std::function<bool()>, DWORD> cases[] = {
        {[] { return CiOS::CloseHandle(nullptr) == 0; }, invalid},
        {[] { return CiOS::WaitForSingleObject(nullptr, 0) == WAIT_FAILED; }, invalid},
        {[] { return CiOS::SetThreadPriority(nullptr, 0), true; }, invalid},
        {[] { return !CiOS::CreateSemaphoreW(nullptr, 2, 1, nullptr); }, ERROR_INVALID_PARAMETER},
        {[&] { return !CiOS::ReleaseSemaphore(semaphore, 1, &previous); }, ERROR_TOO_MANY_POSTS},
        {[&] { return CiOS::ReleaseMutex(mutex) == 0; }, ERROR_NOT_OWNER},
        {[&] { return CiOS::ReleaseMutex(semaphore) == 0; }, invalid},
        {[&] { return !CiOS::ReleaseSemaphore(mutex, 1, nullptr); }, invalid},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        bool failed = false;
        EXPECT_EQ(lastErrorOf([&] { failed = cases[i].first(); }), cases[i].second) << i;
        EXPECT_TRUE(failed) << i;
    }
    EXPECT_EQ(previous, -1);  // written only by a release that happened
    EXPECT_EQ(CiOS::CloseHandle(semaphore) + CiOS::CloseHandle(mutex), 2);
    EXPECT_EQ(lastErrorOf([&] { EXPECT_EQ(CiOS::CloseHandle(semaphore), 0); }), invalid);
    // The pseudo-handles: the process is alive, so a wait on it times out; closing changes nothing.
    EXPECT_EQ(CiOS::WaitForSingleObject(GetCurrentProcess(), 0), WAIT_TIMEOUT);
    EXPECT_EQ(CiOS::CloseHandle(GetCurrentProcess()) + CiOS::CloseHandle(CiOS::GetCurrentThread()),
              2);
    EXPECT_EQ(CiOS::WaitForSingleObject(CiOS::GetCurrentThread(), 0), WAIT_TIMEOUT);
}

TEST(FramesAcrossPlatforms, MatchTheLinuxBuildByteForByte) {
    const char* reference = std::getenv("TAMRA_REFERENCE_FRAMES");
    if (reference == nullptr || *reference == '\0')
        GTEST_SKIP() << "TAMRA_REFERENCE_FRAMES names no file of tamra-frames (Linux build)";
    std::ostringstream expected;
    expected << std::ifstream(reference, std::ios::binary).rdbuf();
    ASSERT_FALSE(expected.str().empty()) << reference;
    const fs::path tree = scratch("frames");
    fs::remove_all(tree);
    EXPECT_EQ(tamra_frames::recordSampleTree(tree.string()), expected.str());
    fs::remove_all(tree);
}

}  // namespace
