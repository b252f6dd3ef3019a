// The crop copy's clamps keep it inside both buffers whatever the geometry holds.
#include <gtest/gtest.h>

#include <cstdint>
#include <tuple>

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

std::tuple<std::uint32_t, std::uint32_t, std::size_t> shape(const CropPlan& plan) {
    return {plan.planes, plan.rows, plan.rowBytes};
}

TEST(CropPlan, WindowNeverReachesPastItsPlane) {
    EXPECT_EQ(shape(planCrop(geometry(0, 0, 3))), std::make_tuple(3u, 30u, 40u));
    CropGeometry grown = geometry(10, 20);
    grown.aoiWidthBytes = 40;  // as if the offsets had grown after Create
    grown.aoiRows = 30;
    EXPECT_EQ(shape(planCrop(grown)), std::make_tuple(1u, 10u, 30u));
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
