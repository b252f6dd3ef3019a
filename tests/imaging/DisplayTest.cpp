// The display check against the platform window registry: a registered window is accepted and
// left alone; the registry itself is safe to use from several threads.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include <tamra/CIGrab.h>

#include "platform/WindowRegistry.h"

namespace {

struct CreatedGrab : CIGrab {
    CreatedGrab() { setInitializedFlag(1), setCreatedFlag(1); }
};

TEST(Display, AcceptsARegisteredWindowAndLeavesItAsItWas) {
    CreatedGrab grab;
    int window[4] = {1, 2, 3, 4};
    // A window handle is a pointer-sized value the display check only looks up.
    const HWND handle = reinterpret_cast<HWND>(&window);
    unsigned char image[8] = {};
    const std::string invalid = "CIGrab::Display: Invalid argument";
    EXPECT_EQ(grab.Display(handle, image), 0);
    EXPECT_EQ(grab.GetLastErrorMsg(), invalid);
    tamra::platform::registerWindow(&window);
    EXPECT_EQ(grab.Display(handle, image), 1);
    EXPECT_EQ(grab.Display(handle, nullptr), 0);
    EXPECT_EQ(grab.GetLastErrorMsg(), invalid);
    EXPECT_EQ(std::vector<int>(window, window + 4), std::vector<int>({1, 2, 3, 4}));
    tamra::platform::unregisterWindow(&window);
    EXPECT_EQ(grab.Display(handle, image), 0);
}

TEST(WindowRegistry, ConcurrentRegistrationsAreAllSeen) {
    constexpr int kThreads = 4;
    constexpr int kPerThread = 500;
    std::vector<int> handles(kThreads * kPerThread);
    std::atomic<int> misses{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kPerThread; ++i) {
                int* handle = &handles[t * kPerThread + i];
                tamra::platform::registerWindow(handle);
                if (!tamra::platform::isWindow(handle)) ++misses;
            }
            for (int i = 0; i < kPerThread; i += 2) {
                tamra::platform::unregisterWindow(&handles[t * kPerThread + i]);
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(misses.load(), 0);
    EXPECT_EQ(std::count_if(handles.begin(), handles.end(),
                            [](int& h) { return tamra::platform::isWindow(&h); }),
              kThreads * kPerThread / 2);
    for (int& handle : handles) tamra::platform::unregisterWindow(&handle);
}

}  // namespace
