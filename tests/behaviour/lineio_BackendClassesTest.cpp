// The hardware classes: the family each reports, the delays and outputs that differ from the
// core's, and a clean end through the root pointer.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>

#include <tamra/Tamra.h>

namespace {

TEST(HardwareClasses, EachReportsItsFamilyAndItsOwnDelays) {
    std::error_code error;  // the marker is only looked at, never created
    const bool marker = std::filesystem::exists("/windows/sicam.txt", error);
    const struct {
        std::function<std::unique_ptr<CIGrab>()> make;
        IFW_IGRABTYPE type;
        std::uint32_t rejectorDelay, recycleDelay;
        double exposure;
    } classes[] = {
        {[] { return std::make_unique<CIGrabTrell>(); }, IFW_IGRAB_TRELL, 1500, 1500, 100.0},
        {[] { return std::make_unique<CIGrabKesto>(); }, IFW_IGRAB_KESTO, 1500, 100, 100.0},
        {[] { return std::make_unique<CIGrabVortan>(); }, IFW_IGRAB_VORTAN, 1500, 100, 512.0},
        {[] { return std::make_unique<CIGrabBrixoLT>(); },
         marker ? IFW_IGRAB_BRIXOLT_ALT : IFW_IGRAB_BRIXOLT, 1500, 100, 100.0},
        {[] { return std::make_unique<CIGrab1394>(); }, IFW_IGRAB_1394, 100, 100, 100.0},
        {[] { return std::make_unique<CIGrabBrixo>(); }, IFW_IGRAB_BRIXO, 100, 100, 100.0},
        {[] { return std::make_unique<CIGrabGev>(0xFFFFFFFFu); }, IFW_IGRAB_GEV, 100, 100, 100.0},
        {[] { return std::make_unique<CIGrabZeph>(); }, IFW_IGRAB_ZEPH, 100, 100, 100.0},
    };
    for (const auto& c : classes) {
        SCOPED_TRACE(c.type);
        const auto grab = c.make();
        EXPECT_EQ(grab->GetGrabType(), c.type);
        EXPECT_EQ(grab->GetRejectorDelay(), c.rejectorDelay);
        EXPECT_EQ(grab->GetRecycleDelay(), c.recycleDelay);
        EXPECT_DOUBLE_EQ(grab->GetExposure(), c.exposure);
        EXPECT_EQ(grab->GetBrightness(), 50u);
        EXPECT_EQ(grab->IsGrabInitialized(), 0);
    }
}

TEST(HardwareClasses, TrellPresetsItsFirstThreeOutputs) {
    CIGrabTrell grab;
    const IFW_GPO_CONFIG expected[3] = {
        {1, 0, 1000, 4, 0}, {1, 50000, 1000, 3, 0}, {1, 50000, 1000, 2, 0}};
    for (std::uint32_t i = 0; i < 32; ++i) {
        SCOPED_TRACE(i);
        IFW_GPO_CONFIG out{};
        grab.GetGPOConfig(i, &out);
        const IFW_GPO_CONFIG want = i < 3 ? expected[i] : IFW_GPO_CONFIG{1, 0, 1000, 0, 0};
        EXPECT_EQ(out.Offset, want.Offset);
        EXPECT_EQ(out.Duration, want.Duration);
        EXPECT_EQ(out.Driver, want.Driver);
    }
}

// Deleting through the root pointer runs each family's destructor, which terminates the core;
// an initialised object leaves no thread behind (the sanitizer builds check the rest).
TEST(HardwareClasses, DeletingAnInitialisedObjectThroughTheRootPointerIsClean) {
    std::unique_ptr<IXGrab> grabs[] = {
        std::make_unique<CIGrabTrell>(),   std::make_unique<CIGrabKesto>(),
        std::make_unique<CIGrabVortan>(),  std::make_unique<CIGrab1394>(),
        std::make_unique<CIGrabBrixoLT>(), std::make_unique<CIGrabGev>(1),
        std::make_unique<CIGrabZeph>()};
    for (auto& grab : grabs) {
        EXPECT_EQ(grab->Initialize(), 1);
        EXPECT_EQ(grab->IsGrabInitialized(), 0);  // the core alone never declares itself ready
        grab.reset();
    }
}

}  // namespace
