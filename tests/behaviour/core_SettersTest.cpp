// Grab-core geometry setters and the colour layout: refusals, changes of an object that is not
// created, re-creation of a created one (restarting a running acquisition) and no-ops.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "core_support.h"

namespace core_test {
namespace {

constexpr std::uint32_t kVga = 640 * 480;

std::unique_ptr<CoreGrab> initialised() {
    auto grab = std::make_unique<CoreGrab>();
    grab->Initialize();
    return grab;
}

std::unique_ptr<CoreGrab> running() {
    auto grab = initialised();
    grab->Create(0, 0, 640, 480, 8, 5, 5000);
    grab->Start();
    grab->clearCalls();
    return grab;
}

// ---- Refusals: the message names the public operation, and nothing changes.

struct Refusal {
    const char* name;
    std::function<int(CoreGrab&)> call;
    const char* message;
};

class CoreSetterRefusal : public testing::TestWithParam<Refusal> {};

TEST_P(CoreSetterRefusal, LeavesTheGeometryAsItWas) {
    for (bool created : {false, true}) {
        auto grab = initialised();
        ASSERT_EQ(grab->SetOffsetX(100), 1);
        ASSERT_EQ(grab->SetOffsetY(50), 1);
        if (created) {
            ASSERT_EQ(grab->Create(kKeep, kKeep, kKeep, kKeep, kKeep, kKeep, kKeep), 1);
        }
        grab->clearCalls();
        EXPECT_EQ(GetParam().call(*grab), 0);
        EXPECT_STREQ(grab->GetLastErrorMsg(), GetParam().message);
        EXPECT_EQ(grab->GetOffsetX(), 100u);
        EXPECT_EQ(grab->GetOffsetY(), 50u);
        EXPECT_EQ(grab->GetWidth(), 640u);
        EXPECT_EQ(grab->GetHeight(), 480u);
        EXPECT_EQ(grab->GetAoiWidth(), created ? 540u : 640u);
        EXPECT_EQ(grab->count("Create"), 0);
        EXPECT_EQ(grab->IsGrabCreated(), created ? 1 : 0);
    }
}

const Refusal kRefusals[] = {
    {"OffsetX", [](CoreGrab& g) { return g.SetOffsetX(633); },
     "CIGrab::SetOffsetX: Crop boundaries exceed max image size"},
    {"OffsetY", [](CoreGrab& g) { return g.SetOffsetY(473); },
     "CIGrab::SetOffsetY: Crop boundaries exceed max image size"},
    {"OffsetXWrapping", [](CoreGrab& g) { return g.SetOffsetX(0xFFFFFFFAu); },
     "CIGrab::SetOffsetX: Crop boundaries exceed max image size"},
    {"InternalWidth", [](CoreGrab& g) { return g.iSetWidth(107); },
     "CIGrab::SetWidth: Crop boundaries exceed max image size"},
    {"Width", [](CoreGrab& g) { return g.SetWidth(107); },
     "CIGrab::SetWidth: Crop boundaries exceed max image size"},
    {"InternalHeight", [](CoreGrab& g) { return g.iSetHeight(57); },
     "CIGrab::SetHeight: Crop boundaries exceed max image size"},
    {"Height", [](CoreGrab& g) { return g.SetHeight(57); },
     "CIGrab::SetHeight: Crop boundaries exceed max image size"},
    {"AoiWidthNegative", [](CoreGrab& g) { return g.SetAoiWidth(0x80000000u); },
     "CIGrab::SetAoiWidth: Crop boundaries exceed max image size"},
    {"AoiWidthSmall", [](CoreGrab& g) { return g.SetAoiWidth(7); },
     "CIGrab::SetAoiWidth: Crop boundaries exceed max image size"},
    {"AoiHeightNegative", [](CoreGrab& g) { return g.SetAoiHeight(0xFFFFFFFFu); },
     "CIGrab::SetAoiHeight: Crop boundaries exceed max image size"},
    {"WindowWidth", [](CoreGrab& g) { return g.SetWindowGen(100, 0, 107, 480); },
     "CIGrab::SetWindowGen: Crop boundaries exceed max image size"},
    {"WindowHeight", [](CoreGrab& g) { return g.SetWindowGen(0, 30, 640, 37); },
     "CIGrab::SetWindowGen: Crop boundaries exceed max image size"},
};

INSTANTIATE_TEST_SUITE_P(Setters, CoreSetterRefusal, testing::ValuesIn(kRefusals),
                         caseName<Refusal>);

// ---- Objects that are not created: only the named fields change.

TEST(CoreSetters, UncreatedObjectOnlyChangesTheNamedFields) {
    auto grab = initialised();
    EXPECT_EQ(grab->SetOffsetX(10), 1);
    EXPECT_EQ(grab->GetOffsetX(), 10u);
    EXPECT_EQ(grab->GetAoiWidth(), 640u) << "the AOI follows at the next Create";
    EXPECT_EQ(grab->iSetWidth(800), 1);
    EXPECT_EQ(grab->GetWidth(), 800u);
    EXPECT_EQ(grab->GetWidthByteCount(), 0u);
    EXPECT_EQ(grab->SetAoiWidth(100), 1);
    EXPECT_EQ(grab->GetAoiWidth(), 100u);
    EXPECT_EQ(grab->GetWidth(), 110u) << "offset plus AOI";
    EXPECT_EQ(grab->SetBitsPP(12), 1);
    EXPECT_EQ(grab->GetBytesPP(), 2u);
    EXPECT_EQ(grab->SetTimeOut(kDefault), 1);
    EXPECT_EQ(grab->GetTimeOut(), 5000u);
    EXPECT_EQ(grab->count("Create"), 0);

    ASSERT_EQ(grab->Create(kKeep, kKeep, kKeep, kKeep, kKeep, kKeep, kKeep), 1);
    EXPECT_EQ(grab->GetOffsetX(), 10u);
    EXPECT_EQ(grab->GetAoiWidth(), 100u);
    EXPECT_EQ(grab->GetBitPP(), 12u);
    EXPECT_EQ(grab->GetWidthByteCount(), 220u);
}

TEST(CoreSetters, BytesAndBitsPerPixelFollowEachOther) {
    auto grab = initialised();
    EXPECT_EQ(grab->SetBytesPP(3), 1);
    EXPECT_EQ(grab->GetBitPP(), 24u);
    EXPECT_EQ(grab->SetBytesPP(0), 1);
    EXPECT_EQ(grab->GetBytesPP(), 1u);
    EXPECT_EQ(grab->GetBitPP(), 8u);
    EXPECT_EQ(grab->SetBytesPP(9), 1);
    EXPECT_EQ(grab->GetBytesPP(), 4u);
    EXPECT_EQ(grab->SetBitsPP(4), 1);
    EXPECT_EQ(grab->GetBitPP(), 8u);
    EXPECT_EQ(grab->GetBytesPP(), 1u);
    EXPECT_EQ(grab->SetBitsPP(33), 1);
    EXPECT_EQ(grab->GetBitPP(), 32u);
}

TEST(CoreSetters, WideImagesKeepAtMostThreeBuffers) {
    auto grab = initialised();
    EXPECT_EQ(grab->SetBufferCount(8), 1);
    EXPECT_EQ(grab->GetBufferCount(), 8u);
    grab->iSetWidth(641);
    EXPECT_EQ(grab->SetBufferCount(5), 1);
    EXPECT_EQ(grab->GetBufferCount(), 3u);
    EXPECT_EQ(grab->SetBufferCount(2), 1);
    EXPECT_EQ(grab->GetBufferCount(), 2u);
    EXPECT_EQ(grab->SetBufferCount(0), 1);
    EXPECT_EQ(grab->GetBufferCount(), 1u);
    grab->iSetWidth(640);
    EXPECT_EQ(grab->SetBufferCount(kDefault), 1);
    EXPECT_EQ(grab->GetBufferCount(), 5u);
}

// ---- Created objects: the stored value re-creates nothing; a change re-creates and restarts.

TEST(CoreSetters, StoredValuesReturnAtOnce) {
    auto grab = running();
    EXPECT_EQ(grab->SetOffsetX(0), 1);
    EXPECT_EQ(grab->SetOffsetY(kKeep), 1);
    EXPECT_EQ(grab->iSetWidth(640), 1);
    EXPECT_EQ(grab->SetWidth(kKeep), 1);
    EXPECT_EQ(grab->SetHeight(480), 1);
    EXPECT_EQ(grab->SetAoiWidth(640), 1);
    EXPECT_EQ(grab->SetAoiHeight(480), 1);
    EXPECT_EQ(grab->SetWindowGen(0, 0, 640, 480), 1);
    EXPECT_EQ(grab->SetBitsPP(8), 1);
    EXPECT_EQ(grab->SetBytesPP(1), 1);
    EXPECT_EQ(grab->SetBufferCount(5), 1);
    EXPECT_EQ(grab->SetTimeOut(5000), 1);
    EXPECT_TRUE(grab->calls.empty()) << grab->calls.front();
    EXPECT_EQ(grab->IsGrabRunning(), 1);
}

struct Recreation {
    const char* name;
    std::function<int(CoreGrab&)> call;
    CreateArgs expected;
};

class CoreSetterRecreation : public testing::TestWithParam<Recreation> {};

TEST_P(CoreSetterRecreation, RecreatesWithTheStoredGeometryAndRestarts) {
    auto grab = running();
    EXPECT_EQ(GetParam().call(*grab), 1);
    ASSERT_EQ(grab->createArgs.size(), 1u);
    EXPECT_EQ(grab->createArgs[0], GetParam().expected);
    EXPECT_EQ(grab->count("Start"), 1);
    EXPECT_EQ(grab->IsGrabCreated(), 1);
    EXPECT_EQ(grab->IsGrabRunning(), 1);
}

TEST_P(CoreSetterRecreation, DoesNotStartAStoppedObject) {
    auto grab = running();
    grab->Stop();
    grab->clearCalls();
    EXPECT_EQ(GetParam().call(*grab), 1);
    EXPECT_EQ(grab->createArgs.size(), 1u);
    EXPECT_EQ(grab->count("Start"), 0);
    EXPECT_EQ(grab->IsGrabRunning(), 0);
}

const Recreation kRecreations[] = {
    {"OffsetX",
     [](CoreGrab& g) { return g.SetOffsetX(16); },
     {16, 0, 640, 480, kKeep, kKeep, kKeep}},
    {"OffsetY", [](CoreGrab& g) { return g.SetOffsetY(8); }, {0, 8, 640, 480, kKeep, kKeep, kKeep}},
    {"Width", [](CoreGrab& g) { return g.SetWidth(320); }, {0, 0, 320, 480, kKeep, kKeep, kKeep}},
    {"Height", [](CoreGrab& g) { return g.SetHeight(240); }, {0, 0, 640, 240, kKeep, kKeep, kKeep}},
    {"AoiWidth",
     [](CoreGrab& g) { return g.SetAoiWidth(100); },
     {0, 0, 100, 480, kKeep, kKeep, kKeep}},
    {"AoiHeight",
     [](CoreGrab& g) { return g.SetAoiHeight(100); },
     {0, 0, 640, 100, kKeep, kKeep, kKeep}},
    {"WindowGen",
     [](CoreGrab& g) { return g.SetWindowGen(8, 4, 320, 240); },
     {8, 4, 320, 240, kKeep, kKeep, kKeep}},
    {"BitsPP", [](CoreGrab& g) { return g.SetBitsPP(16); }, {0, 0, 640, 480, 16, kKeep, kKeep}},
    {"BytesPP", [](CoreGrab& g) { return g.SetBytesPP(3); }, {0, 0, 640, 480, 24, kKeep, kKeep}},
    {"BufferCount", [](CoreGrab& g) { return g.SetBufferCount(2); }, {0, 0, 640, 480, 8, 2, kKeep}},
    {"TimeOut", [](CoreGrab& g) { return g.SetTimeOut(7); }, {0, 0, 640, 480, 8, 5, 7}},
};

INSTANTIATE_TEST_SUITE_P(Setters, CoreSetterRecreation, testing::ValuesIn(kRecreations),
                         caseName<Recreation>);

TEST(CoreSetters, RecreationRecomputesTheSizes) {
    auto grab = running();
    ASSERT_EQ(grab->SetOffsetX(16), 1);
    EXPECT_EQ(grab->GetAoiWidth(), 624u);
    EXPECT_EQ(grab->GetOffsetXByteCount(), 16u);
    ASSERT_EQ(grab->SetBitsPP(16), 1);
    EXPECT_EQ(grab->GetAoiWidthByteCount(), 1248u);
    EXPECT_EQ(grab->GetRingBufferSize(), 2 * kVga * 5);
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

TEST(CoreSetters, WidthAndHeightFollowATransposingRotation) {
    auto grab = initialised();
    grab->setRotation(90);
    EXPECT_EQ(grab->SetWidth(800), 1);
    EXPECT_EQ(grab->widthSet(), 1);
    EXPECT_EQ(grab->GetWidth(), 800u) << "stored as the height";
    EXPECT_EQ(grab->GetHeight(), 640u) << "the stored width, untouched";
    EXPECT_EQ(grab->SetHeight(400), 1);
    EXPECT_EQ(grab->heightSet(), 1);
    EXPECT_EQ(grab->GetHeight(), 400u);
    EXPECT_EQ(grab->GetWidth(), 800u);
}

TEST(RootSetters, WidthAndHeightAreRefusedAndClearTheirFlags) {
    RootGrab grab;
    grab.Initialize();
    EXPECT_EQ(grab.SetWidth(320), 0);
    EXPECT_EQ(grab.SetHeight(240), 0);
    EXPECT_EQ(grab.widthSet(), 0);
    EXPECT_EQ(grab.heightSet(), 0);
    EXPECT_EQ(grab.GetWidth(), 640u);
    EXPECT_STREQ(grab.GetLastErrorMsg(), "");
    ASSERT_EQ(grab.Create(kKeep, kKeep, kKeep, kKeep, kKeep, kKeep, kKeep), 1);
    grab.clearCalls();
    EXPECT_EQ(grab.SetBufferCount(2), 1);
    ASSERT_EQ(grab.createArgs.size(), 1u);
    EXPECT_EQ(grab.createArgs[0], (CreateArgs{0, 0, 640, 480, 8, 2, kKeep}));
}

// ---- Colour layout.

TEST(CoreImageColor, RefusalsAndNoOps) {
    CoreGrab grab;
    EXPECT_EQ(grab.SetImageColor(IFW_IMAGE_COLOR_COLOR32), 0);
    EXPECT_STREQ(grab.GetLastErrorMsg(), "CIGrab::SetImageColor: Grab not initialized");
    EXPECT_EQ(grab.GetImageColor(), IFW_IMAGE_COLOR_MONO8);
    grab.Initialize();
    grab.Start();  // leaves "CIGrab::Start: Grab not created"
    EXPECT_EQ(grab.SetImageColor(IFW_IMAGE_COLOR_MONO8), 0);
    EXPECT_STREQ(grab.GetLastErrorMsg(), "CIGrab::Start: Grab not created");
    EXPECT_EQ(grab.SetImageColor(IFW_IMAGE_COLOR_COLOR24), 1);
    EXPECT_EQ(grab.SetImageColor(IFW_IMAGE_COLOR_COLOR24), 0);
}

TEST(CoreImageColor, LayoutSetsPixelSizesAndByteCounts) {
    auto grab = initialised();
    ASSERT_EQ(grab->Create(8, 4, 640, 480, 8, 5, 0), 1);
    ASSERT_EQ(grab->SetImageColor(IFW_IMAGE_COLOR_COLOR32), 1);
    EXPECT_EQ(grab->GetImageColor(), IFW_IMAGE_COLOR_COLOR32);
    EXPECT_EQ(grab->GetBytesPP(), 4u);
    EXPECT_EQ(grab->GetBitPP(), 32u);
    EXPECT_EQ(grab->GetWidthByteCount(), 2560u);
    EXPECT_EQ(grab->GetHeightByteCount(), 1920u);
    EXPECT_EQ(grab->GetImageSizeInPixels(), kVga);
    EXPECT_EQ(grab->GetImageSizeInBytes(), 4 * kVga);
    EXPECT_EQ(grab->GetOffsetXByteCount(), 32u);
    EXPECT_EQ(grab->GetOffsetYByteCount(), 16u);
    EXPECT_EQ(grab->GetAoiWidthByteCount(), 632u * 4);
    EXPECT_EQ(grab->GetAoiHeightByteCount(), 476u * 4);

    ASSERT_EQ(grab->SetImageColor(IFW_IMAGE_COLOR_COLOR24), 1);
    EXPECT_EQ(grab->GetBytesPP(), 3u);
    EXPECT_EQ(grab->GetBitPP(), 24u);
    ASSERT_EQ(grab->SetImageColor(IFW_IMAGE_COLOR_MONO8_ALT), 1);
    EXPECT_EQ(grab->GetBytesPP(), 1u);
    EXPECT_EQ(grab->GetBitPP(), 8u);
    EXPECT_EQ(grab->GetImageSizeInBytes(), kVga);
    EXPECT_EQ(grab->GetAoiWidthByteCount(), 632u);
    EXPECT_EQ(grab->GetNumCameras(), 1);
}

TEST(CoreImageColor, RunningAcquisitionIsStoppedAndStartedAgain) {
    auto grab = running();
    ASSERT_EQ(grab->SetImageColor(IFW_IMAGE_COLOR_PLANES), 1);
    EXPECT_EQ(grab->calls, (std::vector<std::string>{"Stop", "Start", "Stop"}));
    EXPECT_EQ(grab->IsGrabRunning(), 1);
}

TEST(CoreImageColor, SlotsAreLaidAfreshOverTheSameRing) {
    auto grab = initialised();
    ASSERT_EQ(grab->Create(0, 0, 640, 480, 8, 5, 0), 1);
    unsigned char* ring = grab->ring();
    ASSERT_EQ(grab->GetRingBufferSize(), 15 * kVga);
    ASSERT_EQ(grab->SetImageColor(IFW_IMAGE_COLOR_PLANES), 1);
    EXPECT_EQ(grab->count("Create"), 1) << "no re-creation";
    EXPECT_EQ(grab->ring(), ring);
    for (std::uint32_t i = 0; i < 5; ++i) EXPECT_EQ(grab->slot(i), ring + i * 3 * kVga);
}

TEST(CoreImageColor, ALayoutTooWideForTheRingGetsNewBuffers) {
    auto grab = initialised();
    ASSERT_EQ(grab->Create(0, 0, 640, 480, 8, 5, 0), 1);
    grab->clearCalls();
    ASSERT_EQ(grab->SetImageColor(IFW_IMAGE_COLOR_COLOR32), 1);
    EXPECT_EQ(grab->count("Create"), 1);
    EXPECT_EQ(grab->IsGrabCreated(), 1);
    EXPECT_EQ(grab->GetRingBufferSize(), 4 * kVga * 5);
    const std::uint32_t last = grab->GetBufferCount() - 1;
    EXPECT_LE(grab->slot(last) + 4 * kVga, grab->ring() + grab->GetRingBufferSize());
}

TEST(CoreImageColor, TransformBufferIsSizedForTheNewLayout) {
    auto grab = initialised();
    ASSERT_EQ(grab->SetImageColor(IFW_IMAGE_COLOR_COLOR24), 1);
    EXPECT_EQ(grab->transformBufferSize(), 0u) << "made by the transform when first needed";
    grab->giveTransformBuffer(10);
    ASSERT_EQ(grab->SetImageColor(IFW_IMAGE_COLOR_PLANES), 1);
    EXPECT_EQ(grab->transformBufferSize(), 2u * 8u * kVga);
}

TEST(RootImageColor, LeavesTheOffsetAndAoiByteCountsAlone) {
    RootGrab grab;
    grab.Initialize();
    ASSERT_EQ(grab.Create(8, 0, 640, 480, 8, 5, 0), 1);
    ASSERT_EQ(grab.SetImageColor(IFW_IMAGE_COLOR_COLOR32), 1);
    EXPECT_EQ(grab.widthBytes(), 2560u);
    EXPECT_EQ(grab.imageBytes(), 4 * kVga);
    EXPECT_EQ(grab.bitsPerPixel(), 32u);
    EXPECT_EQ(grab.offsetXBytes(), 0u);
    EXPECT_EQ(grab.aoiWidthBytes(), 0u);
}

}  // namespace
}  // namespace core_test
