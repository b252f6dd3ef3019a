// The display check against the platform window registry: a registered window is accepted and
// left alone; the registry itself is safe to use from several threads.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include <tamra/CIGrab.h>

#include "platform/WindowRegistry.h"

namespace {

class CreatedGrab : public CIGrab {
public:
    CreatedGrab() {
        setInitializedFlag(1);
        setCreatedFlag(1);
    }
};

struct FakeWindow {
    int pixels[4] = {1, 2, 3, 4};
};

// A window handle is a pointer-sized value the display check only looks up.
HWND asWindow(FakeWindow* window) {
    return reinterpret_cast<HWND>(window);
}

TEST(Display, AcceptsARegisteredWindowAndLeavesItAsItWas) {
    CreatedGrab grab;
    FakeWindow window;
    unsigned char image[8] = {};
    EXPECT_EQ(grab.Display(asWindow(&window), image), 0);
    EXPECT_EQ(std::string(grab.GetLastErrorMsg()), "CIGrab::Display: Invalid argument");

    tamra::platform::registerWindow(&window);
    EXPECT_EQ(grab.Display(asWindow(&window), image), 1);
    EXPECT_EQ(grab.Display(asWindow(&window), nullptr), 0);
    EXPECT_EQ(std::string(grab.GetLastErrorMsg()), "CIGrab::Display: Invalid argument");
    EXPECT_EQ(window.pixels[0], 1);
    EXPECT_EQ(window.pixels[3], 4);

    tamra::platform::unregisterWindow(&window);
    EXPECT_EQ(grab.Display(asWindow(&window), image), 0);
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
    int registered = 0;
    for (int& handle : handles) registered += tamra::platform::isWindow(&handle) ? 1 : 0;
    EXPECT_EQ(registered, kThreads * kPerThread / 2);
    for (int& handle : handles) tamra::platform::unregisterWindow(&handle);
}

}  // namespace
