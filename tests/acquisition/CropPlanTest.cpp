// The crop copy from a composed frame into a ring slot: window placement per plane, and the
// clamps that keep the copy inside both buffers.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "emulator/Acquisition.h"

namespace {

using tamra::emulator::copyCropWindow;
using tamra::emulator::CropGeometry;
using tamra::emulator::CropPlan;
using tamra::emulator::planCrop;

// A frame of planes of width x height bytes where byte (plane, x, y) is unique.
struct Frame {
    std::uint32_t width;
    std::uint32_t height;
    std::uint32_t planes;
    std::vector<std::uint8_t> bytes;

    Frame(std::uint32_t w, std::uint32_t h, std::uint32_t p) : width(w), height(h), planes(p) {
        bytes.resize(std::size_t{w} * h * p);
        for (std::uint32_t plane = 0; plane < p; ++plane)
            for (std::uint32_t y = 0; y < h; ++y)
                for (std::uint32_t x = 0; x < w; ++x)
                    bytes[index(plane, x, y)] = value(plane, x, y);
    }
    std::size_t index(std::uint32_t plane, std::uint32_t x, std::uint32_t y) const {
        return (std::size_t{plane} * height + y) * width + x;
    }
    static std::uint8_t value(std::uint32_t plane, std::uint32_t x, std::uint32_t y) {
        return static_cast<std::uint8_t>(x * 7 + y * 13 + plane * 101);
    }
    CropGeometry geometry(std::uint32_t offsetX, std::uint32_t offsetY) const {
        CropGeometry g;
        g.widthBytes = width;
        g.imageBytes = std::size_t{width} * height;
        g.offsetXBytes = offsetX;
        g.offsetYRows = offsetY;
        g.aoiWidthBytes = width - offsetX;
        g.aoiRows = height - offsetY;
        g.planes = planes;
        g.frameSlotBytes = bytes.size();
        g.ringSlotBytes = bytes.size();
        return g;
    }
};

TEST(CropPlan, FullWindowCopiesEveryPlaneUnchanged) {
    const Frame frame(40, 30, 3);
    const CropPlan plan = planCrop(frame.geometry(0, 0));
    EXPECT_EQ(plan.planes, 3u);
    EXPECT_EQ(plan.rows, 30u);
    EXPECT_EQ(plan.rowBytes, 40u);
    std::vector<std::uint8_t> slot(frame.bytes.size() + 16, 0xEE);
    copyCropWindow(plan, frame.bytes.data(), slot.data());
    EXPECT_TRUE(std::equal(frame.bytes.begin(), frame.bytes.end(), slot.begin()));
    EXPECT_EQ(slot[frame.bytes.size()], 0xEE);  // nothing past the frame
}

TEST(CropPlan, EachPlaneIsCutAtItsOwnOffsetAndPackedTightly) {
    const Frame frame(40, 30, 2);
    constexpr std::uint32_t kOffsetX = 5, kOffsetY = 7;
    const CropPlan plan = planCrop(frame.geometry(kOffsetX, kOffsetY));
    std::vector<std::uint8_t> slot(frame.bytes.size(), 0xEE);
    copyCropWindow(plan, frame.bytes.data(), slot.data());
    constexpr std::uint32_t kAoiWidth = 40 - kOffsetX, kAoiRows = 30 - kOffsetY;
    for (std::uint32_t plane = 0; plane < 2; ++plane) {
        for (std::uint32_t y = 0; y < kAoiRows; ++y) {
            for (std::uint32_t x = 0; x < kAoiWidth; ++x) {
                const std::size_t at = (std::size_t{plane} * kAoiRows + y) * kAoiWidth + x;
                ASSERT_EQ(slot[at], Frame::value(plane, x + kOffsetX, y + kOffsetY))
                    << "plane " << plane << " at " << x << ", " << y;
            }
        }
    }
    EXPECT_EQ(slot[2 * kAoiWidth * kAoiRows], 0xEE);
}

TEST(CropPlan, WindowNeverReachesPastItsPlane) {
    const Frame frame(40, 30, 1);
    CropGeometry geometry = frame.geometry(10, 20);
    geometry.aoiWidthBytes = 40;  // as if the offsets had grown after Create
    geometry.aoiRows = 30;
    const CropPlan plan = planCrop(geometry);
    EXPECT_EQ(plan.rowBytes, 30u);
    EXPECT_EQ(plan.rows, 10u);
    geometry.offsetXBytes = 400;
    geometry.offsetYRows = 300;
    const CropPlan outside = planCrop(geometry);
    EXPECT_EQ(outside.rowBytes * outside.rows, 0u);
}

TEST(CropPlan, PlanesAreLimitedByBothSlotsAndByEightCameras) {
    const Frame frame(16, 16, 1);
    CropGeometry geometry = frame.geometry(0, 0);
    geometry.planes = 6;
    geometry.frameSlotBytes = 4 * 256;
    geometry.ringSlotBytes = 10 * 256;
    EXPECT_EQ(planCrop(geometry).planes, 4u);
    geometry.frameSlotBytes = 10 * 256;
    geometry.ringSlotBytes = 3 * 256 + 255;
    EXPECT_EQ(planCrop(geometry).planes, 3u);
    geometry.planes = 20;
    geometry.ringSlotBytes = 100 * 256;
    geometry.frameSlotBytes = 100 * 256;
    EXPECT_EQ(planCrop(geometry).planes, 8u);
}

TEST(CropPlan, EmptyGeometryCopiesNothing) {
    const CropPlan plan = planCrop(CropGeometry{});
    EXPECT_EQ(plan.planes, 0u);
    std::uint8_t untouched = 0x5A;
    copyCropWindow(plan, nullptr, &untouched);
    EXPECT_EQ(untouched, 0x5A);
}

}  // namespace
