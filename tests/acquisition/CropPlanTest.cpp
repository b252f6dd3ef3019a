// The crop copy's clamps, which keep the copy inside both buffers whatever the geometry holds
// (the window's placement in delivered frames is checked in acquisition_DeliveryTest.cpp).
#include <gtest/gtest.h>

#include <cstdint>

#include "emulator/Acquisition.h"

namespace {

using tamra::emulator::CropGeometry;
using tamra::emulator::CropPlan;
using tamra::emulator::planCrop;

// Planes of width x height bytes cropped at (offsetX, offsetY) to the window that remains.
CropGeometry geometry(std::uint32_t offsetX, std::uint32_t offsetY, std::uint32_t planes = 1,
                      std::uint32_t width = 40, std::uint32_t height = 30) {
    CropGeometry g;
    g.widthBytes = width;
    g.imageBytes = width * height;
    g.offsetXBytes = offsetX;
    g.offsetYRows = offsetY;
    g.aoiWidthBytes = width - offsetX;
    g.aoiRows = height - offsetY;
    g.planes = planes;
    g.frameSlotBytes = g.imageBytes * planes;
    g.ringSlotBytes = g.imageBytes * planes;
    return g;
}

TEST(CropPlan, WindowNeverReachesPastItsPlane) {
    const CropPlan full = planCrop(geometry(0, 0, 3));
    EXPECT_EQ(full.planes, 3u);
    EXPECT_EQ(full.rows, 30u);
    EXPECT_EQ(full.rowBytes, 40u);
    CropGeometry grown = geometry(10, 20);
    grown.aoiWidthBytes = 40;  // as if the offsets had grown after Create
    grown.aoiRows = 30;
    const CropPlan plan = planCrop(grown);
    EXPECT_EQ(plan.rowBytes, 30u);
    EXPECT_EQ(plan.rows, 10u);
    grown.offsetXBytes = 400;
    grown.offsetYRows = 300;
    const CropPlan outside = planCrop(grown);
    EXPECT_EQ(outside.rowBytes * outside.rows, 0u);
}

TEST(CropPlan, PlanesAreLimitedByBothSlotsAndByEightCameras) {
    CropGeometry g = geometry(0, 0, 6, 16, 16);
    g.frameSlotBytes = 4 * 256;
    g.ringSlotBytes = 10 * 256;
    EXPECT_EQ(planCrop(g).planes, 4u);
    g.frameSlotBytes = 10 * 256;
    g.ringSlotBytes = 3 * 256 + 255;
    EXPECT_EQ(planCrop(g).planes, 3u);
    g.planes = 20;
    g.ringSlotBytes = 100 * 256;
    g.frameSlotBytes = 100 * 256;
    EXPECT_EQ(planCrop(g).planes, 8u);
}

}  // namespace
