// Brightness, contrast, exposure, lookup table and register fields as a client sees them.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <tamra/Tamra.h>

#include "lineio_support.h"

namespace {

using lineio_test::GrabKind;
using lineio_test::LineGrab;

class Sensor : public testing::TestWithParam<GrabKind> {
protected:
    std::string message(const char* operation, const char* reason) const {
        return GetParam().prefix + "::" + operation + ": " + reason;
    }
};

TEST_P(Sensor, ConstructionDefaults) {
    auto grab = GetParam().make(false);
    EXPECT_EQ(grab->GetBrightness(), 50u);
    EXPECT_EQ(grab->GetContrast(), 50u);
    EXPECT_DOUBLE_EQ(grab->GetExposure(), 100.0);
    EXPECT_EQ(grab->GetLUTFloor(), 0u);
    EXPECT_EQ(grab->GetLUTCeiling(), 255u);
    EXPECT_EQ(grab->GetTriggerMethod(), IXGrab::TRIG_NONE);
    EXPECT_EQ(grab->GetExternalTriggerDelay(), 1u);
    EXPECT_EQ(grab->GetExternalTriggerDelayEnable(), 0);
    EXPECT_EQ(grab->GetStrobeEnable(), 0);
    EXPECT_EQ(grab->GetStrobeOffset(), 1u);
    EXPECT_EQ(grab->GetStrobeDuration(), 200u);
}

// Each bad argument is refused with its reason, whatever the state, and changes nothing; a
// refused trigger method still answers 1 on an initialised grab.
TEST_P(Sensor, BadArgumentsAreRefusedWithTheirReasonAndChangeNothing) {
    using Call = std::function<int(IXGrab&)>;
    const auto method = [](std::uint32_t refused) -> Call {
        return [refused](IXGrab& g) {
            g.SetTriggerMethod(IXGrab::TRIG_SOFTWARE);
            return g.SetTriggerMethod(static_cast<IXGrab::TriggerMethod>(refused));
        };
    };
    const auto software = [](IXGrab& g) { return g.GetTriggerMethod() == IXGrab::TRIG_SOFTWARE; };
    const auto brightness = [](IXGrab& g) { return g.GetBrightness() == 50u; };
    const auto contrast = [](IXGrab& g) { return g.GetContrast() == 50u; };
    const auto any = [](IXGrab&) { return true; };
    const struct {
        bool initialise;
        Call call;
        int result;
        const char *operation, *reason;
        std::function<bool(IXGrab&)> unchanged;
    } cases[] = {
        {true, [](IXGrab& g) { return g.SetBrightness(101); }, 0, "SetBrightness",
         "Invalid brightness value", brightness},
        {true, [](IXGrab& g) { return g.SetCamBrightness(140, 0); }, 0, "SetBrightness",
         "Invalid brightness value", brightness},
        {false, [](IXGrab& g) { return g.SetContrast(200); }, 0, "SetContrast",
         "Invalid contrast value", contrast},
        {true, [](IXGrab& g) { return g.SetContrast(200); }, 0, "SetContrast",
         "Invalid contrast value", contrast},
        {true, method(0), 1, "SetTriggerMethod", "No trigger method specified", software},
        {true, method(1), 1, "SetTriggerMethod", "No trigger method specified", software},
        {true, method(5), 1, "SetTriggerMethod", "No trigger method specified", software},
        {true, method(0xFFFFFFFFu), 1, "SetTriggerMethod", "No trigger method specified", software},
        {true, [](IXGrab& g) { return g.SetRejectorDelay(250); }, 0, "SetRejectorDelay",
         "Rejector not enabled", any},
        {true, [](IXGrab& g) { return g.SetRecycleDelay(0); }, 0, "SetRecycleDelay",
         "Recycler not enabled", any},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.operation << (c.initialise ? "" : " uninitialised"));
        auto grab = GetParam().make(c.initialise);
        EXPECT_EQ(c.call(*grab), c.result);
        EXPECT_EQ(std::string(grab->GetLastErrorMsg()), message(c.operation, c.reason));
        EXPECT_TRUE(c.unchanged(*grab));
    }
}

TEST_P(Sensor, SettingsMadeBeforeInitializeAreKept) {
    auto grab = GetParam().make(false);
    grab->SetBrightness(70);
    grab->SetContrast(20);
    grab->SetExposure(-5.0, 0);
    grab->Initialize();
    EXPECT_EQ(grab->GetBrightness(), 70u);
    EXPECT_EQ(grab->GetContrast(), 20u);
    EXPECT_DOUBLE_EQ(grab->GetExposure(), -5.0);
    EXPECT_EQ(grab->SetExposure(2.5, 9), 1);
    EXPECT_DOUBLE_EQ(grab->GetCamExposure(4), 2.5);
}

TEST_P(Sensor, PerCameraFormsShareTheOneValue) {
    auto grab = GetParam().make(true);
    EXPECT_EQ(grab->SetCamBrightness(40, 7), 1);
    EXPECT_EQ(grab->GetCamBrightness(3), 40u);
    EXPECT_EQ(grab->GetBrightness(), 40u);
    for (std::uint32_t edge : {100u, 0u}) {
        EXPECT_EQ(grab->SetBrightness(edge), 1);
        EXPECT_EQ(grab->GetBrightness(), edge);
    }
}

TEST_P(Sensor, LookupTableBufferIsCheckedNotKept) {
    unsigned char table[256] = {};
    auto grab = GetParam().make(true);
    EXPECT_EQ(grab->WriteLUTBuf(0, 0, table), 0);
    EXPECT_EQ(grab->WriteLUTBuf(0, 256, nullptr), 0);
    EXPECT_STREQ(grab->GetLastErrorMsg(), "");
    EXPECT_EQ(grab->WriteLUTBuf(0, 256, table), 1);
    EXPECT_EQ(grab->WriteLUTBuf(100, 1, table), 1);
}

TEST_P(Sensor, RegisterFieldsOfTheBareClassesReadZero) {
    auto grab = GetParam().make(true);
    grab->WriteRegField(1, 0, 8, 0xFF);
    EXPECT_EQ(grab->ReadRegField(1, 0, 32), 0u);
    EXPECT_EQ(grab->ReadReg(1), 0u);
}

INSTANTIATE_TEST_SUITE_P(BothClasses, Sensor, testing::ValuesIn(lineio_test::bothGrabKinds()),
                         lineio_test::kindName);

TEST(LookupTable, FloorAndCeilingAreStoredBeforeTheStateCheck) {
    LineGrab<CIGrab> grab;
    grab.SetLUTFloor(12);
    grab.SetLUTCeiling(200);
    EXPECT_EQ(grab.GetLUTFloor(), 12u);
    EXPECT_EQ(grab.GetLUTCeiling(), 200u);
    grab.InvLinearizeLUT();
    EXPECT_EQ(grab.GetLUTFloor(), 255u);
    EXPECT_EQ(grab.GetLUTCeiling(), 0u);
    grab.LinearizeLUT();
    EXPECT_EQ(grab.GetLUTFloor(), 0u);
    EXPECT_EQ(grab.GetLUTCeiling(), 255u);

    grab.Initialize();
    EXPECT_EQ(grab.InvLinearizeLUT(), 1);
    EXPECT_EQ(grab.SetLUTFloor(3), 1);
    EXPECT_EQ(grab.SetLUTCeiling(4), 1);
    EXPECT_EQ(grab.LinearizeLUT(), 1);
}

// A device whose registers are one recorded value.
class RegisterGrab : public LineGrab<CIGrab> {
public:
    std::uint32_t ReadReg(std::uint32_t reg) override {
        reads.push_back(reg);
        return value;
    }
    void WriteReg(std::uint32_t reg, std::uint32_t written) override {
        writes.emplace_back(reg, written);
    }
    std::uint32_t value = 0;
    std::vector<std::uint32_t> reads;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> writes;
};

// Reads shift (modulo 32) and mask; widths of 32 or more take every bit.
TEST(RegisterFields, ReadThroughTheDeviceHook) {
    const struct {
        std::uint32_t value, shift, width, field;
    } cases[] = {
        {0xA5, 4, 4, 0xA},
        {0xA5, 0, 0, 0},
        {0xA5, 0, 40, 0xA5},
        {0xA5, 1, 3, 0x2},
        {0xA5, 36, 4, 0xA},
        {0xF00000A5, 28, 8, 0xF},
        {0xFFFFFFFF, 0, 31, 0x7FFFFFFF},
        {0xFFFFFFFF, 0, 0xFFFFFFFF, 0xFFFFFFFF},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.shift << "/" << c.width);
        RegisterGrab grab;
        grab.value = c.value;
        EXPECT_EQ(grab.ReadRegField(0x10, c.shift, c.width), c.field);
        EXPECT_EQ(grab.reads, std::vector<std::uint32_t>{0x10});
        EXPECT_TRUE(grab.writes.empty());
    }
}

// A write is one read-modify-write of the field: value bits above the field are dropped, a field
// running past bit 31 continues at bit 0 and receives the shifted-out zeros there, and a shift
// plus width that wraps past 32 bits (or a width of 0) writes the register back unchanged.
TEST(RegisterFields, WriteIsAReadModifyWriteOfTheField) {
    const struct {
        std::uint32_t old, shift, width, field, written;
    } cases[] = {
        {0xA5, 0, 4, 0x73, 0xA3},
        {0xA5, 8, 4, 0xF, 0xFA5},
        {0xA5, 4, 0, 0xF, 0xA5},
        {0xA5, 4, 4, 0x0, 0x05},
        {0xA5, 0, 32, 0x12345678, 0x12345678},
        {0xA5, 31, 1, 1, 0x800000A5},
        {0xFFFFFFFF, 28, 8, 0xFF, 0xFFFFFFF0},
        {0xA5, 28, 8, 0xFF, 0xF00000A0},
        {0xA5, 0xFFFFFFF0u, 0x20, 0xFFFFFFFF, 0xA5},
        {0xA5, 0xFFFFFFFFu, 1, 1, 0xA5},
        {0xA5, 0xFFFFFFE0u, 8, 0x3C, 0x3C},
        {0xA5, 0, 0xFFFFFFFFu, 0x3C, 0x3C},
        {0xA5, 1, 0xFFFFFFFFu, 0x3C, 0xA5},
        {0xA5, 3, 0x80000000u, 0x3C, 0x1E0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.shift << "/" << c.width);
        RegisterGrab grab;
        grab.value = c.old;
        grab.WriteRegField(0x40, c.shift, c.width, c.field);
        EXPECT_EQ(grab.reads, std::vector<std::uint32_t>{0x40});
        ASSERT_EQ(grab.writes.size(), 1u);
        EXPECT_EQ(grab.writes[0].first, 0x40u);
        EXPECT_EQ(grab.writes[0].second, c.written);
    }
}

}  // namespace
