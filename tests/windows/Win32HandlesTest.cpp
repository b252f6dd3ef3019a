// CiOS kernel handles are the system's own: a client mixes them with its own Win32 calls, opens
// the library's named objects by name, and reads the system's results and error codes.
#include <gtest/gtest.h>

#include <tamra/CiOS.h>
#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace {

// Closes a handle when the test leaves, whatever it asserted.
struct HandleCloser {
    void operator()(void* handle) const { ::CloseHandle(handle); }
};
using Owned = std::unique_ptr<void, HandleCloser>;

// Unique in the session: named objects are seen by every process there.
std::wstring uniqueName(const wchar_t* tag) {
    return L"tamra-win32-handles-" + std::wstring(tag) + L"-" +
           std::to_wstring(::GetCurrentProcessId());
}

// The error code a call leaves, starting from none, so that a stale code cannot pass.
DWORD lastErrorOf(const std::function<void()>& call) {
    ::SetLastError(ERROR_SUCCESS);
    call();
    return ::GetLastError();
}

DWORD WINAPI waitForEvent(LPVOID event) {
    return ::WaitForSingleObject(static_cast<HANDLE>(event), INFINITE);
}

TEST(Win32Handles, ASemaphoreIsOneObjectForTheLibraryAndTheClient) {
    Owned semaphore(CiOS::CreateSemaphoreW(nullptr, 0, 3, nullptr));
    ASSERT_NE(semaphore.get(), nullptr);
    LONG previous = -1;
    ASSERT_TRUE(::ReleaseSemaphore(semaphore.get(), 2, &previous));
    EXPECT_EQ(previous, 0);
    EXPECT_EQ(CiOS::WaitForSingleObject(semaphore.get(), 0), WAIT_OBJECT_0);
    EXPECT_EQ(::WaitForSingleObject(semaphore.get(), 0), WAIT_OBJECT_0);
    EXPECT_EQ(::WaitForSingleObject(semaphore.get(), 0), WAIT_TIMEOUT);

    // A duplicate made by the client reaches the same count.
    HANDLE duplicate = nullptr;
    ASSERT_TRUE(::DuplicateHandle(::GetCurrentProcess(), semaphore.get(), ::GetCurrentProcess(),
                                  &duplicate, 0, FALSE, DUPLICATE_SAME_ACCESS));
    std::int32_t before = -1;
    EXPECT_EQ(CiOS::ReleaseSemaphore(duplicate, 1, &before), 1);
    EXPECT_EQ(before, 0);
    EXPECT_EQ(CiOS::CloseHandle(duplicate), 1);
    EXPECT_EQ(CiOS::WaitForSingleObject(semaphore.get(), 0), WAIT_OBJECT_0);

    // The library waits on objects it never made: a thread that ends signals its handle.
    Owned thread(::CreateThread(
        nullptr, 0, [](LPVOID) -> DWORD { return 0; }, nullptr, 0, nullptr));
    ASSERT_NE(thread.get(), nullptr);
    EXPECT_EQ(CiOS::WaitForSingleObject(thread.get(), 10000), WAIT_OBJECT_0);
}

TEST(Win32Handles, NamedObjectsOpenAcrossTheLibraryAndTheClient) {
    const std::wstring name = uniqueName(L"semaphore");
    Owned created(CiOS::CreateSemaphoreW(nullptr, 1, 4, name.c_str()));
    ASSERT_NE(created.get(), nullptr);
    HANDLE openedHandle = nullptr;
    EXPECT_EQ(lastErrorOf([&] { openedHandle = ::CreateSemaphoreW(nullptr, 0, 1, name.c_str()); }),
              static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    Owned opened(openedHandle);
    ASSERT_NE(opened.get(), nullptr);
    EXPECT_NE(opened.get(), created.get());
    // One object: the client's counts were ignored, the library's count of one is taken once.
    EXPECT_EQ(::WaitForSingleObject(opened.get(), 0), WAIT_OBJECT_0);
    EXPECT_EQ(CiOS::WaitForSingleObject(created.get(), 0), WAIT_TIMEOUT);
    Owned byOpen(::OpenSemaphoreW(SEMAPHORE_ALL_ACCESS, FALSE, name.c_str()));
    ASSERT_NE(byOpen.get(), nullptr);
    EXPECT_EQ(CiOS::ReleaseSemaphore(byOpen.get(), 4, nullptr), 1);
    EXPECT_FALSE(::ReleaseSemaphore(created.get(), 1, nullptr));  // four is the maximum
    // The name belongs to a semaphore, so no mutex can be made under it.
    void* wrongKind = nullptr;
    EXPECT_EQ(lastErrorOf([&] { wrongKind = CiOS::CreateMutexW(nullptr, 0, name.c_str()); }),
              static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(wrongKind, nullptr);

    // A mutex the client's thread owns: the library's handle to it releases that ownership.
    const std::wstring mutexName = uniqueName(L"mutex");
    Owned clients(::CreateMutexW(nullptr, TRUE, mutexName.c_str()));
    ASSERT_NE(clients.get(), nullptr);
    void* libraryHandle = nullptr;
    EXPECT_EQ(
        lastErrorOf([&] { libraryHandle = CiOS::CreateMutexW(nullptr, 0, mutexName.c_str()); }),
        static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    Owned library(libraryHandle);
    ASSERT_NE(library.get(), nullptr);
    EXPECT_EQ(CiOS::ReleaseMutex(library.get()), 1);
    EXPECT_FALSE(::ReleaseMutex(clients.get()));
    // A thread that ends while owning it abandons it, and the next wait says so.
    std::thread owner(
        [&] { EXPECT_EQ(CiOS::WaitForSingleObject(library.get(), 0), WAIT_OBJECT_0); });
    owner.join();
    EXPECT_EQ(CiOS::WaitForSingleObject(clients.get(), 0), WAIT_ABANDONED);
    EXPECT_EQ(CiOS::ReleaseMutex(clients.get()), 1);
}

TEST(Win32Handles, SecurityAttributesReachTheSystem) {
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    SECURITY_ATTRIBUTES private_{sizeof(SECURITY_ATTRIBUTES), nullptr, FALSE};
    const struct {
        const char* what;
        Owned handle;
        bool inherits;
    } cases[] = {{"semaphore", Owned(CiOS::CreateSemaphoreW(&inheritable, 0, 1, nullptr)), true},
                 {"mutex", Owned(CiOS::CreateMutexW(&inheritable, 0, nullptr)), true},
                 {"private", Owned(CiOS::CreateSemaphoreW(&private_, 0, 1, nullptr)), false}};
    for (const auto& c : cases) {
        DWORD flags = 0;
        ASSERT_TRUE(::GetHandleInformation(c.handle.get(), &flags)) << c.what;
        EXPECT_EQ((flags & HANDLE_FLAG_INHERIT) != 0, c.inherits) << c.what;
    }
}

TEST(Win32Handles, ThreadPrioritiesAreTheSystemsForAnyThread) {
    EXPECT_EQ(CiOS::GetCurrentThread(), ::GetCurrentThread());
    CiOS::SetThreadPriority(CiOS::GetCurrentThread(), THREAD_PRIORITY_ABOVE_NORMAL);
    EXPECT_EQ(::GetThreadPriority(::GetCurrentThread()), THREAD_PRIORITY_ABOVE_NORMAL);
    CiOS::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_NORMAL);
    EXPECT_EQ(::GetThreadPriority(::GetCurrentThread()), THREAD_PRIORITY_NORMAL);

    // Another thread, by a real handle: every level of the system, not only normal and 15.
    Owned release(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    ASSERT_NE(release.get(), nullptr);
    Owned other(::CreateThread(nullptr, 0, &waitForEvent, release.get(), 0, nullptr));
    ASSERT_NE(other.get(), nullptr);
    for (int level : {THREAD_PRIORITY_LOWEST, THREAD_PRIORITY_BELOW_NORMAL, THREAD_PRIORITY_HIGHEST,
                      THREAD_PRIORITY_TIME_CRITICAL}) {
        CiOS::SetThreadPriority(other.get(), level);
        EXPECT_EQ(::GetThreadPriority(other.get()), level);
    }
    ::SetEvent(release.get());
    EXPECT_EQ(CiOS::WaitForSingleObject(other.get(), 10000), WAIT_OBJECT_0);
}

TEST(Win32Handles, FailuresCarryTheSystemsErrorCodesAndPseudoHandlesWork) {
    void* semaphore = CiOS::CreateSemaphoreW(nullptr, 1, 1, nullptr);
    void* mutex = CiOS::CreateMutexW(nullptr, 0, nullptr);
    ASSERT_NE(semaphore, nullptr);
    ASSERT_NE(mutex, nullptr);
    std::int32_t previous = -1;
    const DWORD invalidHandle = ERROR_INVALID_HANDLE;
    const struct {
        const char* what;
        std::function<bool()> failed;
        DWORD error;
    } cases[] = {
        {"close null", [] { return CiOS::CloseHandle(nullptr) == 0; }, invalidHandle},
        {"wait null", [] { return CiOS::WaitForSingleObject(nullptr, 0) == WAIT_FAILED; },
         invalidHandle},
        {"priority null", [] { return CiOS::SetThreadPriority(nullptr, 0), true; }, invalidHandle},
        {"initial over maximum", [] { return !CiOS::CreateSemaphoreW(nullptr, 2, 1, nullptr); },
         ERROR_INVALID_PARAMETER},
        {"past the maximum", [&] { return !CiOS::ReleaseSemaphore(semaphore, 1, &previous); },
         ERROR_TOO_MANY_POSTS},
        {"mutex not owned", [&] { return CiOS::ReleaseMutex(mutex) == 0; }, ERROR_NOT_OWNER},
        {"semaphore as mutex", [&] { return CiOS::ReleaseMutex(semaphore) == 0; }, invalidHandle},
        {"mutex as semaphore", [&] { return !CiOS::ReleaseSemaphore(mutex, 1, nullptr); },
         invalidHandle},
    };
    for (const auto& c : cases) {
        bool failed = false;
        EXPECT_EQ(lastErrorOf([&] { failed = c.failed(); }), c.error) << c.what;
        EXPECT_TRUE(failed) << c.what;
    }
    EXPECT_EQ(previous, -1);  // written only by a release that happened
    EXPECT_EQ(CiOS::CloseHandle(semaphore), 1);
    EXPECT_EQ(CiOS::CloseHandle(mutex), 1);
    EXPECT_EQ(lastErrorOf([&] { EXPECT_EQ(CiOS::CloseHandle(semaphore), 0); }), invalidHandle);

    // The pseudo-handles: the process is alive, so a wait on it times out; closing changes nothing.
    EXPECT_EQ(CiOS::WaitForSingleObject(::GetCurrentProcess(), 0), WAIT_TIMEOUT);
    EXPECT_EQ(CiOS::CloseHandle(::GetCurrentProcess()), 1);
    EXPECT_EQ(CiOS::CloseHandle(CiOS::GetCurrentThread()), 1);
    EXPECT_EQ(CiOS::WaitForSingleObject(CiOS::GetCurrentThread(), 0), WAIT_TIMEOUT);
}

}  // namespace
