// CiOS kernel-object pass-throughs: semaphores, re-entrant mutexes, waits, handles, sleep.
#include <gtest/gtest.h>

#include <tamra/CiOS.h>
#include <chrono>
#include <cstdint>
#include <future>
#include <thread>
#include <vector>

#include "support/ProcessInfo.h"

namespace {

constexpr std::uint32_t kWaitObject0 = 0;
constexpr std::uint32_t kWaitTimeout = 0x102;
constexpr std::uint32_t kWaitFailed = 0xFFFFFFFF;
constexpr std::uint32_t kInfinite = 0xFFFFFFFF;

using Clock = std::chrono::steady_clock;

// Closes a handle when the test leaves, whatever it asserted.
class Handle {
public:
    explicit Handle(void* handle) : handle_(handle) {}
    ~Handle() {
        if (handle_ != nullptr) CiOS::CloseHandle(handle_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    void* get() const { return handle_; }

private:
    void* handle_;
};

// Runs f on another thread and returns its result.
template <typename F>
auto onOtherThread(F f) {
    decltype(f()) result{};
    std::thread thread([&] { result = f(); });
    thread.join();
    return result;
}

// Whether another thread can take the mutex at once (and gives it back).
bool takeElsewhere(void* mutex) {
    return onOtherThread([mutex] {
        const std::uint32_t waited = CiOS::WaitForSingleObject(mutex, 0);
        return waited == kWaitObject0 && CiOS::ReleaseMutex(mutex) == 1;
    });
}

// The pass-throughs keep the system's results and codes (the objects: tests/platform).
TEST(HandleTest, PassThroughsGiveTheSystemsResults) {
    EXPECT_EQ(CiOS::CreateSemaphoreW(nullptr, 0, 0, nullptr), nullptr);
    EXPECT_EQ(CiOS::CreateSemaphoreW(nullptr, 3, 2, nullptr), nullptr);
    Handle semaphore(CiOS::CreateSemaphoreW(nullptr, 1, 2, nullptr));
    ASSERT_NE(semaphore.get(), nullptr);
    EXPECT_EQ(CiOS::WaitForSingleObject(semaphore.get(), 0), kWaitObject0);
    EXPECT_EQ(CiOS::WaitForSingleObject(semaphore.get(), 20), kWaitTimeout);
    std::int32_t previous = -1;
    EXPECT_EQ(CiOS::ReleaseSemaphore(semaphore.get(), 2, &previous), 1);
    EXPECT_EQ(previous, 0);
    EXPECT_EQ(CiOS::ReleaseSemaphore(semaphore.get(), 1, nullptr), 0);  // would pass 2

    Handle owned(CiOS::CreateMutexW(nullptr, 1, nullptr));
    EXPECT_FALSE(takeElsewhere(owned.get()));
    EXPECT_EQ(CiOS::ReleaseMutex(owned.get()), 1);
    EXPECT_TRUE(takeElsewhere(owned.get()));
    const auto start = Clock::now();
    CiOS::Sleep(30);
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(30));
}

TEST(HandleTest, ClosedUnknownAndMismatchedHandlesFailCleanly) {
    void* semaphore = CiOS::CreateSemaphoreW(nullptr, 1, 1, nullptr);
    void* mutex = CiOS::CreateMutexW(nullptr, 0, nullptr);
    ASSERT_NE(semaphore, nullptr);
    ASSERT_NE(mutex, nullptr);
    EXPECT_NE(semaphore, mutex);
    EXPECT_EQ(CiOS::ReleaseMutex(semaphore), 0);
    EXPECT_EQ(CiOS::ReleaseSemaphore(mutex, 1, nullptr), 0);

    EXPECT_EQ(CiOS::CloseHandle(semaphore), 1);
    EXPECT_EQ(CiOS::CloseHandle(mutex), 1);
    EXPECT_EQ(CiOS::CloseHandle(semaphore), 0);
    EXPECT_EQ(CiOS::WaitForSingleObject(semaphore, 0), kWaitFailed);
    EXPECT_EQ(CiOS::ReleaseSemaphore(semaphore, 1, nullptr), 0);
    EXPECT_EQ(CiOS::ReleaseMutex(mutex), 0);

    int local = 0;
#ifdef _WIN32
    // Handles are the system's: -1 names the process itself, and a small made-up value may name
    // one of the process's own objects. A value beyond the most handles a process can hold
    // (2^24) names nothing.
    const std::vector<void*> bogusHandles = {nullptr, reinterpret_cast<void*>(0x7FFFFFFC)};
#else
    const std::vector<void*> bogusHandles = {nullptr, reinterpret_cast<void*>(-1),
                                             static_cast<void*>(&local),
                                             reinterpret_cast<void*>(0x1234)};
#endif
    for (void* bogus : bogusHandles) {
        EXPECT_EQ(CiOS::WaitForSingleObject(bogus, 0), kWaitFailed);
        EXPECT_EQ(CiOS::CloseHandle(bogus), 0);
        EXPECT_EQ(CiOS::ReleaseMutex(bogus), 0);
        EXPECT_EQ(CiOS::ReleaseSemaphore(bogus, 1, nullptr), 0);
    }
    EXPECT_EQ(local, 0);
}

#ifndef _WIN32
// Only the library's own handles: the named object lives on, and its release ends the wait.
TEST(HandleTest, ClosingWhileAnotherThreadWaitsIsSafe) {
    const wchar_t* name = L"tamra-os-test-closed-under-wait";
    void* waitedOn = CiOS::CreateSemaphoreW(nullptr, 0, 1, name);
    Handle other(CiOS::CreateSemaphoreW(nullptr, 0, 1, name));
    ASSERT_NE(waitedOn, nullptr);
    ASSERT_NE(other.get(), nullptr);
    std::promise<long> waiterId;
    std::uint32_t result = kWaitFailed;
    std::thread waiter([&] {
        waiterId.set_value(tamra::testing::currentThreadId());
        result = CiOS::WaitForSingleObject(waitedOn, kInfinite);
    });
    if (!tamra::testing::waitUntilThreadBlocks(waiterId.get_future().get())) {
        CiOS::ReleaseSemaphore(other.get(), 1, nullptr);
        waiter.join();
        GTEST_SKIP() << "the system does not tell when a thread blocks";
    }
    EXPECT_EQ(CiOS::CloseHandle(waitedOn), 1);
    EXPECT_EQ(CiOS::ReleaseSemaphore(other.get(), 1, nullptr), 1);
    waiter.join();
    EXPECT_EQ(result, kWaitObject0);
}
#endif

TEST(HandleTest, NamedObjectsAreSharedWithinTheProcessUntilTheLastHandle) {
    Handle first(CiOS::CreateSemaphoreW(nullptr, 0, 1, L"tamra-os-test-semaphore"));
    Handle second(CiOS::CreateSemaphoreW(nullptr, 1, 5, L"tamra-os-test-semaphore"));
    ASSERT_NE(first.get(), nullptr);
    ASSERT_NE(second.get(), nullptr);
    EXPECT_NE(first.get(), second.get());
    // One object: the second call's counts were ignored, and a release through one handle is
    // seen through the other.
    EXPECT_EQ(CiOS::WaitForSingleObject(second.get(), 0), kWaitTimeout);
    EXPECT_EQ(CiOS::ReleaseSemaphore(first.get(), 1, nullptr), 1);
    EXPECT_EQ(CiOS::ReleaseSemaphore(second.get(), 1, nullptr), 0);
    EXPECT_EQ(CiOS::WaitForSingleObject(second.get(), 0), kWaitObject0);
    // The name belongs to a semaphore, so no mutex can be made under it.
    EXPECT_EQ(CiOS::CreateMutexW(nullptr, 0, L"tamra-os-test-semaphore"), nullptr);
}

}  // namespace
