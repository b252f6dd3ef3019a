// The hardware classes: their family, their own delays, a clean end through the root pointer.
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

// Deleting an initialised object through the root pointer ends it cleanly.
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
