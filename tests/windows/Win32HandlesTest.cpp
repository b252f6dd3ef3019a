// CiOS kernel handles are the system's own: a client mixes them with its own Win32 calls, opens
// the library's named objects by name, and reads the system's results and error codes.
#include <gtest/gtest.h>

#include <tamra/CiOS.h>
#include <windows.h>

#include <cstdint>
#include <string>
#include <thread>

namespace {

// Closes a handle when the test leaves, whatever it asserted.
class Owned {
public:
    explicit Owned(HANDLE handle) : handle_(handle) {}
    ~Owned() {
        if (handle_ != nullptr) ::CloseHandle(handle_);
    }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    HANDLE get() const { return handle_; }

private:
    HANDLE handle_;
};

// Unique in the session: named objects are seen by every process there.
std::wstring uniqueName(const wchar_t* tag) {
    return L"tamra-win32-handles-" + std::wstring(tag) + L"-" +
           std::to_wstring(::GetCurrentProcessId());
}

// The error code a call leaves, starting from none, so that a stale code cannot pass.
template <typename Call>
DWORD lastErrorOf(Call call) {
    ::SetLastError(ERROR_SUCCESS);
    call();
    return ::GetLastError();
}

DWORD WINAPI endAtOnce(LPVOID) {
    return 0;
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
    Owned thread(::CreateThread(nullptr, 0, &endAtOnce, nullptr, 0, nullptr));
    ASSERT_NE(thread.get(), nullptr);
    EXPECT_EQ(CiOS::WaitForSingleObject(thread.get(), 10000), WAIT_OBJECT_0);
}

TEST(Win32Handles, NamedObjectsOfTheLibraryOpenWithTheClientsOwnCalls) {
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
    void* mutex = nullptr;
    EXPECT_EQ(lastErrorOf([&] { mutex = CiOS::CreateMutexW(nullptr, 0, name.c_str()); }),
              static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(mutex, nullptr);
}

TEST(Win32Handles, AMutexOfTheClientIsOpenedByNameAndOwnedAsTheSystemOwnsIt) {
    const std::wstring name = uniqueName(L"mutex");
    Owned clients(::CreateMutexW(nullptr, TRUE, name.c_str()));
    ASSERT_NE(clients.get(), nullptr);
    void* libraryHandle = nullptr;
    EXPECT_EQ(lastErrorOf([&] { libraryHandle = CiOS::CreateMutexW(nullptr, 0, name.c_str()); }),
              static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    Owned library(libraryHandle);
    ASSERT_NE(library.get(), nullptr);
    // The client's thread owns it: the library's handle releases that ownership.
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
    const auto inherits = [](HANDLE handle) {
        DWORD flags = 0;
        EXPECT_TRUE(::GetHandleInformation(handle, &flags));
        return (flags & HANDLE_FLAG_INHERIT) != 0;
    };
    Owned semaphore(CiOS::CreateSemaphoreW(&inheritable, 0, 1, nullptr));
    Owned mutex(CiOS::CreateMutexW(&inheritable, 0, nullptr));
    Owned plain(CiOS::CreateSemaphoreW(&private_, 0, 1, nullptr));
    ASSERT_NE(semaphore.get(), nullptr);
    ASSERT_NE(mutex.get(), nullptr);
    ASSERT_NE(plain.get(), nullptr);
    EXPECT_TRUE(inherits(semaphore.get()));
    EXPECT_TRUE(inherits(mutex.get()));
    EXPECT_FALSE(inherits(plain.get()));
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

TEST(Win32Handles, FailuresCarryTheSystemsErrorCodes) {
    const DWORD invalidHandle = ERROR_INVALID_HANDLE;
    EXPECT_EQ(lastErrorOf([] { EXPECT_EQ(CiOS::CloseHandle(nullptr), 0); }), invalidHandle);
    EXPECT_EQ(lastErrorOf([] { EXPECT_EQ(CiOS::WaitForSingleObject(nullptr, 0), WAIT_FAILED); }),
              invalidHandle);
    EXPECT_EQ(lastErrorOf([] { CiOS::SetThreadPriority(nullptr, THREAD_PRIORITY_NORMAL); }),
              invalidHandle);
    EXPECT_EQ(
        lastErrorOf([] { EXPECT_EQ(CiOS::CreateSemaphoreW(nullptr, 2, 1, nullptr), nullptr); }),
        static_cast<DWORD>(ERROR_INVALID_PARAMETER));

    void* semaphore = CiOS::CreateSemaphoreW(nullptr, 1, 1, nullptr);
    void* mutex = CiOS::CreateMutexW(nullptr, 0, nullptr);
    ASSERT_NE(semaphore, nullptr);
    ASSERT_NE(mutex, nullptr);
    std::int32_t previous = -1;
    EXPECT_EQ(lastErrorOf([&] { EXPECT_EQ(CiOS::ReleaseSemaphore(semaphore, 1, &previous), 0); }),
              static_cast<DWORD>(ERROR_TOO_MANY_POSTS));
    EXPECT_EQ(previous, -1);  // written only by a release that happened
    EXPECT_EQ(lastErrorOf([&] { EXPECT_EQ(CiOS::ReleaseMutex(mutex), 0); }),
              static_cast<DWORD>(ERROR_NOT_OWNER));
    EXPECT_EQ(lastErrorOf([&] { EXPECT_EQ(CiOS::ReleaseMutex(semaphore), 0); }), invalidHandle);
    EXPECT_EQ(lastErrorOf([&] { EXPECT_EQ(CiOS::ReleaseSemaphore(mutex, 1, nullptr), 0); }),
              invalidHandle);

    EXPECT_EQ(CiOS::CloseHandle(semaphore), 1);
    EXPECT_EQ(CiOS::CloseHandle(mutex), 1);
    EXPECT_EQ(lastErrorOf([&] { EXPECT_EQ(CiOS::CloseHandle(semaphore), 0); }), invalidHandle);
}

TEST(Win32Handles, PseudoHandlesNameTheProcessAndTheThread) {
    // -1 is the process itself: alive, so a wait on it times out, and closing it changes nothing.
    EXPECT_EQ(CiOS::WaitForSingleObject(::GetCurrentProcess(), 0), WAIT_TIMEOUT);
    EXPECT_EQ(CiOS::CloseHandle(::GetCurrentProcess()), 1);
    EXPECT_EQ(CiOS::CloseHandle(CiOS::GetCurrentThread()), 1);
    EXPECT_EQ(CiOS::WaitForSingleObject(CiOS::GetCurrentThread(), 0), WAIT_TIMEOUT);
}

}  // namespace
