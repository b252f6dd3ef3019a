// Grab-core frame rate, camera selection and camera attributes.
#include <tuple>

#include "grab_support.h"

namespace grab_test {
namespace {

TEST(CoreFrameRate, SmoothsTheRateOverMicrosecondStampsAndIgnoresZeroStamps) {
    CIGrab grab;
    const double period = 1000000.0 / 30.0;
    grab.UpdateFrameRate(0.0);  // no stamp: the next one is the first
    grab.UpdateFrameRate(1000.0);
    EXPECT_EQ(grab.GetFrameRate(), 0.0) << "the first stamp is only stored";
    grab.UpdateFrameRate(1000.0 + period);
    EXPECT_NEAR(grab.GetFrameRate(), 30.0, 1e-9);
    grab.UpdateFrameRate(1000.0 + period);  // a repeat is ignored
    EXPECT_NEAR(grab.GetFrameRate(), 30.0, 1e-9);
    grab.UpdateFrameRate(1000.0 + period + period / 2);  // 60 frames per second
    EXPECT_NEAR(grab.GetFrameRate(), 0.75 * 30.0 + 0.25 * 60.0, 1e-9);
}

TEST(CoreCameras, PlanesArePresentedAsEightCamerasOfWhichOnlyTheFirstIsSelectable) {
    CoreGrab grab;
    EXPECT_EQ(grab.GetNumCameras(), 1);
    EXPECT_EQ(grab.SetClientActiveCamera(1), 0);
    EXPECT_EQ(grab.SetClientActiveCamera(-1), 1) << "works in every state";
    grab.Initialize();
    ASSERT_EQ(grab.SetImageColor(IFW_IMAGE_COLOR_PLANES), 1);
    EXPECT_EQ(grab.GetNumCameras(), 8);
    EXPECT_EQ(grab.SetClientActiveCamera(0), 1);
    EXPECT_EQ(grab.SetClientActiveCamera(1), 0);
    EXPECT_EQ(grab.SetClientActiveCamera(8), 0);
    EXPECT_STREQ(grab.GetLastErrorMsg(), "") << "refused silently";
}

TEST(CoreCameras, AttributesDescribeTheDeliveredImage) {
    CoreGrab grab;
    IFW_CAM_ATTR a{};
    grab.Initialize();
    EXPECT_EQ(grab.GetCamAttr(nullptr), 0);
    EXPECT_STREQ(grab.GetLastErrorMsg(), "CIGrab::GetCamAttr: Invalid argument");
    const auto attributes = [&] {
        EXPECT_EQ(grab.GetCamAttr(&a), 1);
        return std::make_tuple(a.Width, a.Height, a.Format, a.BytesPerPixel, a.BitsPerPixel);
    };
    EXPECT_EQ(attributes(), std::make_tuple(640u, 480u, 0u, 1u, 8u));
    const struct {
        IFW_IMAGE_COLOR_TYPE colour;
        std::uint32_t format, bytes;
    } layouts[] = {{IFW_IMAGE_COLOR_PLANES, 8, 1},
                   {IFW_IMAGE_COLOR_COLOR32, 4, 4},
                   {IFW_IMAGE_COLOR_COLOR24, 5, 3},
                   {IFW_IMAGE_COLOR_MONO8_ALT, 0, 1}};
    for (const auto& layout : layouts) {
        ASSERT_EQ(grab.SetImageColor(layout.colour), 1);
        EXPECT_EQ(attributes(),
                  std::make_tuple(640u, 480u, layout.format, layout.bytes, 8 * layout.bytes))
            << layout.colour;
    }
    grab.setRotation(90);
    ASSERT_EQ(grab.Create(0, 0, 642, 300, 8, 2, 0), 1);
    EXPECT_EQ(attributes(), std::make_tuple(640u, 300u, 0u, 1u, 8u)) << "what GetWidth reports";
}

}  // namespace
}  // namespace grab_test
