// The hardware classes: their family type values and the defaults their constructors set.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include <tamra/Tamra.h>

#include "lineio_support.h"

namespace {

using lineio_test::RecordingStorage;

struct CoreDefaults {
    std::uint32_t rejectorDelay = 100;
    std::uint32_t recycleDelay = 100;
    double exposure = 100.0;
};

void expectCoreDefaults(CIGrab& grab, const CoreDefaults& expected) {
    EXPECT_EQ(grab.GetRejectorDelay(), expected.rejectorDelay);
    EXPECT_EQ(grab.GetRecycleDelay(), expected.recycleDelay);
    EXPECT_DOUBLE_EQ(grab.GetExposure(), expected.exposure);
    EXPECT_EQ(grab.GetBrightness(), 50u);
    EXPECT_EQ(grab.GetContrast(), 50u);
    EXPECT_EQ(grab.GetStrobeDuration(), 200u);
    EXPECT_EQ(grab.GetTriggerMethod(), IXGrab::TRIG_NONE);
    EXPECT_EQ(grab.IsGrabInitialized(), 0);
    EXPECT_STREQ(grab.GetLastErrorMsg(), "");
}

TEST(HardwareClasses, EachReportsItsFamilyAndItsDefaults) {
    CIGrabTrell trell;
    CIGrabKesto kesto;
    CIGrabVortan vortan;
    CIGrab1394 firewire;
    CIGrabBrixo brixo;
    CIGrabGev gev(0);
    CIGrabZeph zeph;
    EXPECT_EQ(trell.GetGrabType(), IFW_IGRAB_TRELL);
    EXPECT_EQ(kesto.GetGrabType(), IFW_IGRAB_KESTO);
    EXPECT_EQ(vortan.GetGrabType(), IFW_IGRAB_VORTAN);
    EXPECT_EQ(firewire.GetGrabType(), IFW_IGRAB_1394);
    EXPECT_EQ(brixo.GetGrabType(), IFW_IGRAB_BRIXO);
    EXPECT_EQ(gev.GetGrabType(), IFW_IGRAB_GEV);
    EXPECT_EQ(zeph.GetGrabType(), IFW_IGRAB_ZEPH);
    expectCoreDefaults(trell, {1500, 1500, 100.0});
    expectCoreDefaults(kesto, {1500, 100, 100.0});
    expectCoreDefaults(vortan, {1500, 100, 512.0});
    expectCoreDefaults(firewire, {});
    expectCoreDefaults(brixo, {});
    expectCoreDefaults(gev, {});
    expectCoreDefaults(zeph, {});
}

TEST(HardwareClasses, BrixoLtTypeFollowsTheMarkerFoundAtConstruction) {
    // The marker is only looked at here; the machine is never changed.
    std::error_code error;
    const bool marker = std::filesystem::exists("/windows/sicam.txt", error);
    CIGrabBrixoLT grab;
    EXPECT_EQ(grab.GetGrabType(), marker ? IFW_IGRAB_BRIXOLT_ALT : IFW_IGRAB_BRIXOLT);
    expectCoreDefaults(grab, {1500, 100, 100.0});
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
        EXPECT_EQ(out.Polarity, want.Polarity);
        EXPECT_EQ(out.Offset, want.Offset);
        EXPECT_EQ(out.Duration, want.Duration);
        EXPECT_EQ(out.Driver, want.Driver);
        EXPECT_EQ(out.initVal, want.initVal);
    }
    IFW_GPI_CONFIG in{};
    grab.GetGPIConfig(0, &in);
    EXPECT_EQ(in.Debounce, 200);
}

TEST(HardwareClasses, TrellSavesItsPresetOutputs) {
    CIGrabTrell grab;
    RecordingStorage storage;
    EXPECT_EQ(grab.SaveStorage(&storage), 1);
    EXPECT_EQ(storage.calls.size(), 288u);
    EXPECT_EQ(*storage.find("GPO0.Driver"), "4");
    EXPECT_EQ(*storage.find("GPO1.Offset"), "50000");
    EXPECT_EQ(*storage.find("GPO1.Driver"), "3");
    EXPECT_EQ(*storage.find("GPO2.Offset"), "50000");
    EXPECT_EQ(*storage.find("GPO2.Driver"), "2");
    EXPECT_EQ(*storage.find("GPO3.Driver"), "0");
}

TEST(HardwareClasses, GevIgnoresItsConstructorArgument) {
    CIGrabGev first(0);
    CIGrabGev second(0xFFFFFFFFu);
    EXPECT_EQ(first.GetGrabType(), second.GetGrabType());
    EXPECT_EQ(first.GetRejectorDelay(), second.GetRejectorDelay());
    EXPECT_EQ(first.AcqAsyncThread(), 0u);
    EXPECT_EQ(second.AcqSyncThread(), 0u);
}

TEST(HardwareClasses, ThreadEntriesReturnZeroAndChangeNothing) {
    CIGrabTrell trell;
    CIGrabZeph zeph;
    CIGrab1394 firewire;
    EXPECT_EQ(trell.AcqThread(), 0u);
    trell.ChangeSolutionInterrupt();
    EXPECT_EQ(zeph.AcqThread(), 0u);
    EXPECT_EQ(firewire.AcqThread(), 0u);
    EXPECT_EQ(zeph.IsGrabInitialized(), 0);
    EXPECT_STREQ(zeph.GetLastErrorMsg(), "");
}

// Each class behaves as the core otherwise: same refusals, same messages.
TEST(HardwareClasses, LineControlIsTheCoresWithTheCoresMessages) {
    std::unique_ptr<CIGrab> grabs[] = {
        std::make_unique<CIGrabTrell>(), std::make_unique<CIGrabKesto>(),
        std::make_unique<CIGrabBrixoLT>(), std::make_unique<CIGrabGev>(3)};
    for (auto& grab : grabs) {
        EXPECT_EQ(grab->SetRejectorDelay(0), 0);
        EXPECT_STREQ(grab->GetLastErrorMsg(), "CIGrab::SetRejectorDelay: Grab not initialized");
        EXPECT_EQ(grab->GetRejectorDelay(), 1u);
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
