// The transform work buffer: a call counter shared by the objects of one implementation, and
// objects used from several threads at once.
#include <gtest/gtest.h>

#include <cstdint>
#include <thread>
#include <vector>

#include <tamra/CIGrab.h>

#include "core/GrabState.h"

namespace {

class WorkBufferGrab : public CIGrab {
public:
    WorkBufferGrab() {
        setInitializedFlag(1);
        setCreatedFlag(1);
    }
    void setTile(std::uint32_t width, std::uint32_t height, std::uint32_t bytesPerPixel) {
        auto& g = grabState().geometry;
        g.width = width, g.height = height, g.bytesPerPixel = bytesPerPixel;
        g.imageSizeInBytes = width * height * bytesPerPixel;
    }
};

// Halves alternate on one object whatever another object's calls do to the shared counter, as
// long as the other object's calls come in pairs; a single call in between shifts the phase.
TEST(WorkBuffer, TheCallCounterIsSharedBetweenObjects) {
    WorkBufferGrab a, b;
    for (WorkBufferGrab* g : {&a, &b}) {
        g->setTile(64, 48, 1);
        g->SetImgTransform(IFW_IMG_TRANSFORM_FLIP);
    }
    std::vector<unsigned char> frame(64 * 48, 3);
    unsigned char* first = a.ApplyImageTransform(frame.data(), 0);
    b.ApplyImageTransform(frame.data(), 0);
    unsigned char* second = a.ApplyImageTransform(frame.data(), 0);
    EXPECT_EQ(first, second);
}

TEST(WorkBuffer, CallsFromSeveralThreadsOnSeveralObjectsAllComplete) {
    constexpr int kThreads = 4;
    std::vector<std::thread> threads;
    std::vector<int> wrong(kThreads, 0);
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &wrong] {
            WorkBufferGrab grab;
            grab.setTile(64, 48, 1);
            grab.SetImgTransform(IFW_IMG_TRANSFORM_MIRROR);
            std::vector<unsigned char> frame(64 * 48);
            for (std::size_t i = 0; i < frame.size(); ++i) frame[i] = std::uint8_t(i % 64);
            for (int call = 0; call < 200; ++call) {
                const unsigned char* out = grab.ApplyImageTransform(frame.data(), 0);
                wrong[t] += out[0] != 63 || out[63] != 0;
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(wrong, std::vector<int>(kThreads, 0));
}

}  // namespace
