// Grab-core geometry setters and the colour layout as a client sees them: refusals, clamping,
// changes of an object that is not created, and re-creation of a created one.
#include <tuple>
#include <utility>

#include "grab_support.h"

namespace grab_test {
namespace {

constexpr std::uint32_t kVga = 640 * 480;

std::unique_ptr<CoreGrab> running() {
    auto grab = initialisedCore();
    grab->Create(0, 0, 640, 480, 8, 5, 5000);
    grab->Start();
    grab->creates = 0;
    return grab;
}

struct NamedSetter {
    const char* name;
    std::function<int(CoreGrab&)> call;
};

TEST(CoreSetters, CropRefusalsNameTheSetterAndLeaveTheGeometryAsItWas) {
    const NamedSetter refusals[] = {
        {"SetOffsetX", [](CoreGrab& g) { return g.SetOffsetX(633); }},
        {"SetOffsetY", [](CoreGrab& g) { return g.SetOffsetY(473); }},
        {"SetOffsetX", [](CoreGrab& g) { return g.SetOffsetX(0xFFFFFFFAu); }},
        {"SetWidth", [](CoreGrab& g) { return g.SetWidth(107); }},
        {"SetHeight", [](CoreGrab& g) { return g.SetHeight(57); }},
        {"SetAoiWidth", [](CoreGrab& g) { return g.SetAoiWidth(0x80000000u); }},
        {"SetAoiWidth", [](CoreGrab& g) { return g.SetAoiWidth(7); }},
        {"SetAoiHeight", [](CoreGrab& g) { return g.SetAoiHeight(0xFFFFFFFFu); }},
        {"SetWindowGen", [](CoreGrab& g) { return g.SetWindowGen(100, 0, 107, 480); }},
        {"SetWindowGen", [](CoreGrab& g) { return g.SetWindowGen(0, 30, 640, 37); }},
    };
    for (const NamedSetter& refusal : refusals) {
        for (bool created : {false, true}) {
            SCOPED_TRACE(std::string(refusal.name) + (created ? " created" : " not created"));
            auto grab = initialisedCore();
            ASSERT_EQ(grab->SetOffsetX(100), 1);
            ASSERT_EQ(grab->SetOffsetY(50), 1);
            if (created) {
                ASSERT_EQ(grab->Create(kKeep, kKeep, kKeep, kKeep, kKeep, kKeep, kKeep), 1);
            }
            EXPECT_EQ(refusal.call(*grab), 0);
            EXPECT_EQ(
                std::string(grab->GetLastErrorMsg()),
                std::string("CIGrab::") + refusal.name + ": Crop boundaries exceed max image size");
            EXPECT_EQ((std::vector<std::uint32_t>{grab->GetOffsetX(), grab->GetOffsetY(),
                                                  grab->GetWidth(), grab->GetHeight(),
                                                  grab->GetAoiWidth()}),
                      (std::vector<std::uint32_t>{100, 50, 640, 480, created ? 540u : 640u}));
            EXPECT_EQ(grab->IsGrabCreated(), created ? 1 : 0);
        }
    }
}

TEST(CoreSetters, PixelSizesAndBufferCountsAreClamped) {
    auto grab = initialisedCore();
    for (auto [bytes, bits, expected] :
         {std::tuple{3u, 0u, 3u}, {0u, 0u, 1u}, {9u, 0u, 4u}, {0u, 4u, 1u}, {0u, 33u, 4u}}) {
        EXPECT_EQ(bits == 0 ? grab->SetBytesPP(bytes) : grab->SetBitsPP(bits), 1);
        EXPECT_EQ(std::make_pair(grab->GetBytesPP(), grab->GetBitPP()),
                  std::make_pair(expected, 8 * expected));
    }
    // Wider than 640 pixels: at most three buffers, and never none.
    const struct {
        std::uint32_t width, asked, kept;
    } counts[] = {{640, 8, 8}, {641, 5, 3}, {641, 2, 2}, {641, 0, 1}, {640, kDefault, 5}};
    for (const auto& count : counts) {
        grab->iSetWidth(count.width);
        EXPECT_EQ(grab->SetBufferCount(count.asked), 1);
        EXPECT_EQ(grab->GetBufferCount(), count.kept) << count.width << " " << count.asked;
    }
}

// A change re-creates with the stored geometry and restarts a grab that was running.
TEST(CoreSetters, AChangeRecreatesWithTheStoredGeometryAndRestartsOnlyARunningGrab) {
    using Geometry = std::vector<std::uint32_t>;  // offsets, width, height, bits, count, time-out
    const std::pair<std::function<int(CoreGrab&)>, Geometry> rows[] = {
        {[](CoreGrab& g) { return g.SetOffsetX(16); }, {16, 0, 640, 480, 8, 5, 5000}},
        {[](CoreGrab& g) { return g.SetOffsetY(8); }, {0, 8, 640, 480, 8, 5, 5000}},
        {[](CoreGrab& g) { return g.SetWidth(320); }, {0, 0, 320, 480, 8, 5, 5000}},
        {[](CoreGrab& g) { return g.SetHeight(240); }, {0, 0, 640, 240, 8, 5, 5000}},
        {[](CoreGrab& g) { return g.SetAoiWidth(100); }, {0, 0, 100, 480, 8, 5, 5000}},
        {[](CoreGrab& g) { return g.SetAoiHeight(100); }, {0, 0, 640, 100, 8, 5, 5000}},
        {[](CoreGrab& g) { return g.SetWindowGen(8, 4, 320, 240); }, {8, 4, 320, 240, 8, 5, 5000}},
        {[](CoreGrab& g) { return g.SetBitsPP(16); }, {0, 0, 640, 480, 16, 5, 5000}},
        {[](CoreGrab& g) { return g.SetBytesPP(3); }, {0, 0, 640, 480, 24, 5, 5000}},
        {[](CoreGrab& g) { return g.SetBufferCount(2); }, {0, 0, 640, 480, 8, 2, 5000}},
        {[](CoreGrab& g) { return g.SetTimeOut(7); }, {0, 0, 640, 480, 8, 5, 7}},
    };
    for (const auto& [set, expected] : rows) {
        for (bool wasRunning : {true, false}) {
            SCOPED_TRACE(::testing::PrintToString(expected) +
                         (wasRunning ? " running" : " stopped"));
            auto grab = running();
            if (!wasRunning) grab->Stop();
            const std::uint32_t slots = expected[4] > 8 ? 1 : 3;
            const Geometry actual{grab->GetOffsetX(), grab->GetOffsetY(), grab->GetWidth(),
                                  grab->GetHeight(),  grab->GetBitPP(),   grab->GetBufferCount(),
                                  grab->GetTimeOut()};
            EXPECT_NE(actual, expected);
            EXPECT_EQ(set(*grab), 1);
            EXPECT_EQ(std::make_tuple(grab->creates, grab->IsGrabCreated(), grab->IsGrabRunning()),
                      std::make_tuple(1, 1, wasRunning ? 1 : 0));
            EXPECT_EQ((Geometry{grab->GetOffsetX(), grab->GetOffsetY(), grab->GetWidth(),
                                grab->GetHeight(), grab->GetBitPP(), grab->GetBufferCount(),
                                grab->GetTimeOut()}),
                      expected);
            EXPECT_EQ(grab->GetAoiWidth(), expected[2] - expected[0]);
            EXPECT_EQ(grab->GetRingBufferSize(), slots * grab->GetImageSizeInBytes() * expected[5]);
        }
    }
}

TEST(CoreSetters, ASetterReportsSuccessEvenWhenItsRecreationFails) {
    auto grab = running();
    grab->Stop();
    EXPECT_EQ(grab->SetWindowGen(0, 0, 70000, 70000), 1);
    EXPECT_EQ(grab->IsGrabCreated(), 0);
    EXPECT_STREQ(grab->GetLastErrorMsg(), "CIGrab Init: Image ring buffer allocation failed");

    auto restarted = running();
    EXPECT_EQ(restarted->SetWindowGen(0, 0, 70000, 70000), 1);
    EXPECT_EQ(restarted->IsGrabRunning(), 0);
    EXPECT_STREQ(restarted->GetLastErrorMsg(), "CIGrab::Start: Grab not created")
        << "the restart after the failed re-creation is refused in turn";
}

// ---- Colour layout.

TEST(CoreImageColor, LayoutSetsPixelSizesAndByteCountsAndKeepsTheGrabRunning) {
    auto grab = initialisedCore();
    ASSERT_EQ(grab->Create(8, 4, 640, 480, 8, 5, 0), 1);
    ASSERT_EQ(grab->Start(), 1);
    const struct {
        IFW_IMAGE_COLOR_TYPE colour;
        std::uint32_t bytes;
    } layouts[] = {
        {IFW_IMAGE_COLOR_COLOR32, 4}, {IFW_IMAGE_COLOR_COLOR24, 3}, {IFW_IMAGE_COLOR_MONO8_ALT, 1}};
    for (const auto& layout : layouts) {
        SCOPED_TRACE(layout.colour);
        ASSERT_EQ(grab->SetImageColor(layout.colour), 1);
        EXPECT_EQ(std::make_pair(grab->GetImageColor(), grab->IsGrabRunning()),
                  std::make_pair(layout.colour, 1));
        const std::uint32_t b = layout.bytes;
        EXPECT_EQ((std::vector<std::uint32_t>{
                      grab->GetBytesPP(), grab->GetBitPP(), grab->GetWidthByteCount(),
                      grab->GetHeightByteCount(), grab->GetImageSizeInPixels(),
                      grab->GetImageSizeInBytes(), grab->GetOffsetXByteCount(),
                      grab->GetOffsetYByteCount(), grab->GetAoiWidthByteCount(),
                      grab->GetAoiHeightByteCount()}),
                  (std::vector<std::uint32_t>{b, 8 * b, 640 * b, 480 * b, kVga, kVga * b, 8 * b,
                                              4 * b, 632 * b, 476 * b}));
    }
    EXPECT_EQ(grab->GetNumCameras(), 1);
}

TEST(CoreImageColor, SlotsAreLaidOverTheRingOrTheRingIsMadeAnewWhenTooSmall) {
    auto grab = initialisedCore();
    ASSERT_EQ(grab->Create(0, 0, 640, 480, 8, 5, 0), 1);
    unsigned char* ring = grab->ring();
    ASSERT_EQ(grab->GetRingBufferSize(), 15 * kVga);
    grab->creates = 0;
    ASSERT_EQ(grab->SetImageColor(IFW_IMAGE_COLOR_PLANES), 1);
    EXPECT_EQ(grab->creates, 0) << "three planes fit the ring";
    EXPECT_EQ(grab->ring(), ring);
    for (std::uint32_t i = 0; i < 5; ++i) EXPECT_EQ(grab->slot(i), ring + i * 3 * kVga);

    ASSERT_EQ(grab->SetImageColor(IFW_IMAGE_COLOR_COLOR32), 1);
    EXPECT_EQ(grab->creates, 1);
    EXPECT_EQ(grab->IsGrabCreated(), 1);
    EXPECT_EQ(grab->GetRingBufferSize(), 4 * kVga * 5);
    const std::uint32_t last = grab->GetBufferCount() - 1;
    EXPECT_LE(grab->slot(last) + 4 * kVga, grab->ring() + grab->GetRingBufferSize());
}

}  // namespace
}  // namespace grab_test
