// Grab-core callbacks, debug catcher, frame rate, camera selection and camera attributes.
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "grab_support.h"

namespace grab_test {
namespace {

struct CatcherLog {
    std::vector<std::string> texts;
    std::vector<void*> contexts;
};

int catcher(void* context, char* text) {
    auto* log = static_cast<CatcherLog*>(context);
    log->contexts.push_back(context);
    log->texts.emplace_back(text);
    return 7;
}

int exitCallback(void* context) {
    ++*static_cast<int*>(context);
    return 0;
}

TEST(CoreCallbacks, AcquisitionThreadExitCallsTheRegisteredCallbackOnly) {
    CoreGrab grab;
    int exits = 0;
    grab.AcqThreadExitting();  // nothing registered: nothing happens
    grab.RegisterAcqThreadExitCallback(exitCallback, &exits);
    grab.AcqThreadExitting();
    EXPECT_EQ(exits, 1);
    grab.UnRegisterAcqThreadExitCallback();
    grab.AcqThreadExitting();
    EXPECT_EQ(exits, 1);
    grab.RegisterAcqThreadExitCallback(exitCallback, &exits);
    grab.Terminate();
    grab.AcqThreadExitting();
    EXPECT_EQ(exits, 1) << "Terminate unregisters it";
}

TEST(CoreCallbacks, DebugCatcherGetsItsContextFirstAndTheTextSecond) {
    CoreGrab grab;
    char text[] = "hello";
    grab.DbgPrint(text);  // no catcher: nothing happens
    CatcherLog log;
    grab.SetDbgCatcher(catcher, &log);
    grab.DbgPrint(text);
    ASSERT_EQ(log.texts.size(), 1u);
    EXPECT_EQ(log.texts[0], "hello");
    EXPECT_EQ(log.contexts[0], &log);
    grab.Start();  // a failure reaches the client only through the last-error buffer
    EXPECT_EQ(log.texts.size(), 1u);
}

TEST(CoreFrameRate, SmoothsTheRateOverMicrosecondStamps) {
    CIGrab grab;
    EXPECT_EQ(grab.GetFrameRate(), 0.0);
    const double period = 1000000.0 / 30.0;
    grab.UpdateFrameRate(1000.0);
    EXPECT_EQ(grab.GetFrameRate(), 0.0) << "the first stamp is only stored";
    grab.UpdateFrameRate(1000.0 + period);
    EXPECT_NEAR(grab.GetFrameRate(), 30.0, 1e-9);
    grab.UpdateFrameRate(1000.0 + 2 * period);
    EXPECT_NEAR(grab.GetFrameRate(), 30.0, 1e-9);
    grab.UpdateFrameRate(1000.0 + 2 * period + period / 2);  // 60 frames per second
    EXPECT_NEAR(grab.GetFrameRate(), 0.75 * 30.0 + 0.25 * 60.0, 1e-9);
}

TEST(CoreFrameRate, ZeroStampCountsAsNoPreviousStampAndRepeatsAreIgnored) {
    CIGrab grab;
    grab.UpdateFrameRate(0.0);
    grab.UpdateFrameRate(100000.0);
    EXPECT_EQ(grab.GetFrameRate(), 0.0) << "0.0 was no stamp, so 100000 is the first";
    grab.UpdateFrameRate(200000.0);
    EXPECT_NEAR(grab.GetFrameRate(), 10.0, 1e-9);
    grab.UpdateFrameRate(200000.0);
    EXPECT_TRUE(std::isfinite(grab.GetFrameRate()));
    EXPECT_NEAR(grab.GetFrameRate(), 10.0, 1e-9);
}

// ---- Cameras.

TEST(CoreCameras, PlanesArePresentedAsEightCamerasOfWhichOnlyTheFirstIsSelectable) {
    CoreGrab grab;
    EXPECT_EQ(grab.GetNumCameras(), 1);
    EXPECT_EQ(grab.SetClientActiveCamera(1), 0);
    EXPECT_EQ(grab.SetClientActiveCamera(-1), 1) << "works in every state";
    EXPECT_STREQ(grab.GetLastErrorMsg(), "");
    grab.Initialize();
    ASSERT_EQ(grab.SetImageColor(IFW_IMAGE_COLOR_PLANES), 1);
    EXPECT_EQ(grab.GetNumCameras(), 8);
    EXPECT_EQ(grab.SetClientActiveCamera(0), 1);
    EXPECT_EQ(grab.SetClientActiveCamera(1), 0);
    EXPECT_EQ(grab.SetClientActiveCamera(8), 0);
    EXPECT_STREQ(grab.GetLastErrorMsg(), "") << "refused silently";
}

TEST(CoreCameras, CountActiveCameraAndDetectionAreCheckedButChangeNothing) {
    CoreGrab grab;
    grab.SetNumCameras(-4);
    EXPECT_EQ(grab.GetExpicitSetNumCameras(), -4);
    EXPECT_EQ(grab.GetNumCameras(), 1) << "the core's count stays";
    grab.Initialize();
    EXPECT_EQ(grab.SetActiveCamera(0, 99), 1);
    EXPECT_EQ(grab.SetActiveCamera(1, 0), 0);
    EXPECT_EQ(grab.SetActiveCamera(-3, 0), 1);
    EXPECT_EQ(grab.GetActiveCamera(), 0);
    for (int camera : {-1, 0, 3, 7, 8, 1000}) EXPECT_EQ(grab.IsCameraDetected(camera), 0);
}

TEST(CoreCameras, AttributesDescribeTheDeliveredImage) {
    CoreGrab grab;
    IFW_CAM_ATTR attr{};
    grab.Initialize();
    EXPECT_EQ(grab.GetCamAttr(nullptr), 0);
    EXPECT_STREQ(grab.GetLastErrorMsg(), "CIGrab::GetCamAttr: Invalid argument");

    ASSERT_EQ(grab.GetCamAttr(&attr), 1);
    EXPECT_EQ(attr.Width, 640u);
    EXPECT_EQ(attr.Height, 480u);
    EXPECT_EQ(attr.BytesPerPixel, 1u);
    EXPECT_EQ(attr.BitsPerPixel, 8u);
    EXPECT_EQ(attr.Format, 0u);

    const struct {
        IFW_IMAGE_COLOR_TYPE colour;
        std::uint32_t format, bytes;
    } layouts[] = {{IFW_IMAGE_COLOR_PLANES, 8, 1},
                   {IFW_IMAGE_COLOR_COLOR32, 4, 4},
                   {IFW_IMAGE_COLOR_COLOR24, 5, 3},
                   {IFW_IMAGE_COLOR_MONO8_ALT, 0, 1}};
    for (const auto& layout : layouts) {
        ASSERT_EQ(grab.SetImageColor(layout.colour), 1);
        ASSERT_EQ(grab.GetCamAttr(&attr), 1);
        EXPECT_EQ(attr.Format, layout.format) << layout.colour;
        EXPECT_EQ(attr.BytesPerPixel, layout.bytes) << layout.colour;
        EXPECT_EQ(attr.BitsPerPixel, 8 * layout.bytes) << layout.colour;
    }

    grab.setRotation(90);
    ASSERT_EQ(grab.Create(0, 0, 642, 300, 8, 2, 0), 1);
    ASSERT_EQ(grab.GetCamAttr(&attr), 1);
    EXPECT_EQ(attr.Width, 640u) << "what GetWidth reports";
    EXPECT_EQ(attr.Height, 300u);
}

TEST(CoreCameras, IdentitySettings) {
    CoreGrab grab;
    EXPECT_EQ(grab.GetHardwareRevision(), 256u);
    EXPECT_STREQ(grab.productName(), "");
    wchar_t name[] = L"Line 7 \u00e9";
    grab.SetProductName(name);
    // Narrow text: UTF-8 on POSIX, the ANSI code page on Windows.
    EXPECT_EQ(std::string(grab.productName()), tamra::testing::narrowText(L"Line 7 \u00e9"));
#if !defined(_WIN32)
    EXPECT_STREQ(grab.productName(), "Line 7 \xc3\xa9");
#endif
    std::wstring longName(400, L'x');
    grab.SetProductName(longName.data());
    EXPECT_EQ(std::strlen(grab.productName()), 259u) << "cut to fit its 260-byte buffer";
}

}  // namespace
}  // namespace grab_test
