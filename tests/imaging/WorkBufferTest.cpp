// The transform work buffer: two frames of the geometry in force after every call, and a call
// counter shared by the objects of one implementation.
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
        grabState().geometry.width = width;
        grabState().geometry.height = height;
        grabState().geometry.bytesPerPixel = bytesPerPixel;
        grabState().geometry.imageSizeInBytes = width * height * bytesPerPixel;
    }
    std::size_t workBufferSize() const { return grabState().transform.buffer.size(); }
};

TEST(WorkBuffer, AlwaysHoldsTwoFramesOfTheCurrentGeometry) {
    WorkBufferGrab grab;
    grab.setTile(64, 48, 1);
    grab.SetRotateTransform(30);
    std::vector<unsigned char> frame(640 * 480 * 4 * 4, 1);
    grab.ApplyImageTransform(frame.data(), 0);
    EXPECT_EQ(grab.workBufferSize(), 2u * 64 * 48);
    grab.setTile(640, 480, 1);  // a larger Create without a colour change, then more tiles
    grab.SetTiling(2, 2);
    grab.ApplyImageTransform(frame.data(), 0);
    EXPECT_EQ(grab.workBufferSize(), 2u * 640 * 480 * 4);
    grab.setTile(640, 480, 4);
    grab.ApplyImageTransform(frame.data(), 0);
    EXPECT_EQ(grab.workBufferSize(), 2u * 640 * 480 * 4 * 4);
    // A smaller frame keeps the larger buffer: nothing is given back per call.
    grab.setTile(64, 48, 1);
    grab.SetTiling(1, 1);
    grab.ApplyImageTransform(frame.data(), 0);
    EXPECT_EQ(grab.workBufferSize(), 2u * 640 * 480 * 4 * 4);
}

// Halves alternate on one object whatever another object's calls do to the shared counter, as
// long as the other object's calls come in pairs; a single call in between shifts the phase.
TEST(WorkBuffer, TheCallCounterIsSharedBetweenObjects) {
    WorkBufferGrab a, b;
    a.setTile(64, 48, 1);
    b.setTile(64, 48, 1);
    a.SetImgTransform(IFW_IMG_TRANSFORM_FLIP);
    b.SetImgTransform(IFW_IMG_TRANSFORM_FLIP);
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
            for (std::size_t i = 0; i < frame.size(); ++i) {
                frame[i] = static_cast<unsigned char>(i % 64);
            }
            for (int call = 0; call < 200; ++call) {
                const unsigned char* out = grab.ApplyImageTransform(frame.data(), 0);
                wrong[t] += out[0] != 63 || out[63] != 0;
            }
        });
    }
    for (auto& thread : threads) thread.join();
    for (int t = 0; t < kThreads; ++t) EXPECT_EQ(wrong[t], 0) << "thread " << t;
}

}  // namespace
