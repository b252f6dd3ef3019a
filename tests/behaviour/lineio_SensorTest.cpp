// Brightness, contrast, exposure, lookup table and register fields as a client sees them.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
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
}

TEST_P(Sensor, BrightnessAboveOneHundredIsRefusedAndNotStored) {
    auto grab = GetParam().make(true);
    EXPECT_EQ(grab->SetBrightness(100), 1);
    EXPECT_EQ(grab->SetBrightness(101), 0);
    EXPECT_EQ(std::string(grab->GetLastErrorMsg()),
              message("SetBrightness", "Invalid brightness value"));
    EXPECT_EQ(grab->GetBrightness(), 100u);
    EXPECT_EQ(grab->SetBrightness(0), 1);
    EXPECT_EQ(grab->GetBrightness(), 0u);
}

TEST_P(Sensor, ContrastRangeIsCheckedWhateverTheState) {
    for (bool initialise : {false, true}) {
        auto grab = GetParam().make(initialise);
        EXPECT_EQ(grab->SetContrast(200), 0);
        EXPECT_EQ(std::string(grab->GetLastErrorMsg()),
                  message("SetContrast", "Invalid contrast value"));
        EXPECT_EQ(grab->GetContrast(), 50u);
    }
}

TEST_P(Sensor, SettingsMadeBeforeInitializeAreKept) {
    auto grab = GetParam().make(false);
    EXPECT_EQ(grab->SetBrightness(70), 0);
    EXPECT_EQ(std::string(grab->GetLastErrorMsg()),
              message("SetBrightness", "Grab not initialized"));
    EXPECT_EQ(grab->SetContrast(20), 0);
    EXPECT_EQ(std::string(grab->GetLastErrorMsg()), message("SetContrast", "Grab not initialized"));
    EXPECT_EQ(grab->SetExposure(-5.0, 0), 0);
    EXPECT_EQ(std::string(grab->GetLastErrorMsg()), message("SetExposure", "Grab not initialized"));
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
    EXPECT_EQ(grab->SetCamBrightness(140, 0), 0);
    EXPECT_EQ(std::string(grab->GetLastErrorMsg()),
              message("SetBrightness", "Invalid brightness value"));
}

TEST_P(Sensor, LookupTableBufferIsCheckedNotKept) {
    unsigned char table[256] = {};
    auto cold = GetParam().make(false);
    EXPECT_EQ(cold->WriteLUTBuf(0, 256, table), 0);
    EXPECT_EQ(std::string(cold->GetLastErrorMsg()), message("WriteLUTBuf", "Grab not initialized"));

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
    EXPECT_EQ(grab.SetLUTFloor(12), 0);
    EXPECT_STREQ(grab.GetLastErrorMsg(), "CIGrab::SetLUTFloor: Grab not initialized");
    EXPECT_EQ(grab.SetLUTCeiling(200), 0);
    EXPECT_STREQ(grab.GetLastErrorMsg(), "CIGrab::SetLUTCeiling: Grab not initialized");
    EXPECT_EQ(grab.GetLUTFloor(), 12u);
    EXPECT_EQ(grab.GetLUTCeiling(), 200u);
    EXPECT_EQ(grab.InvLinearizeLUT(), 0);
    EXPECT_STREQ(grab.GetLastErrorMsg(), "CIGrab::InvLinearizeLUT: Grab not initialized");
    EXPECT_EQ(grab.GetLUTFloor(), 255u);
    EXPECT_EQ(grab.GetLUTCeiling(), 0u);
    EXPECT_EQ(grab.LinearizeLUT(), 0);
    EXPECT_STREQ(grab.GetLastErrorMsg(), "CIGrab::LinearizeLUT: Grab not initialized");
    EXPECT_EQ(grab.GetLUTFloor(), 0u);
    EXPECT_EQ(grab.GetLUTCeiling(), 255u);

    grab.Initialize();
    EXPECT_EQ(grab.InvLinearizeLUT(), 1);
    EXPECT_EQ(grab.SetLUTFloor(3), 1);
    EXPECT_EQ(grab.SetLUTCeiling(4), 1);
    EXPECT_EQ(grab.LinearizeLUT(), 1);
}

// A device whose registers all read 0xA5 and whose writes are recorded.
class RegisterGrab : public LineGrab<CIGrab> {
public:
    std::uint32_t ReadReg(std::uint32_t reg) override {
        reads.push_back(reg);
        return value;
    }
    void WriteReg(std::uint32_t reg, std::uint32_t written) override {
        writes.emplace_back(reg, written);
    }
    std::uint32_t value = 0xA5;
    std::vector<std::uint32_t> reads;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> writes;

    std::uint32_t written(std::uint32_t shift, std::uint32_t width, std::uint32_t field) {
        writes.clear();
        WriteRegField(0x40, shift, width, field);
        return writes.size() == 1 && writes[0].first == 0x40 ? writes[0].second : 0xDEADBEEF;
    }
};

TEST(RegisterFields, ReadThroughTheDeviceHook) {
    RegisterGrab grab;
    EXPECT_EQ(grab.ReadRegField(0x10, 4, 4), 0xAu);
    EXPECT_EQ(grab.ReadRegField(0x10, 0, 0), 0u);
    EXPECT_EQ(grab.ReadRegField(0x10, 0, 40), 0xA5u);
    EXPECT_EQ(grab.ReadRegField(0x10, 1, 3), 0x2u);
    EXPECT_EQ(grab.ReadRegField(0x10, 36, 4), 0xAu);  // the shift counts modulo 32
    EXPECT_EQ(grab.reads, (std::vector<std::uint32_t>(5, 0x10)));
    EXPECT_TRUE(grab.writes.empty());
}

TEST(RegisterFields, WriteIsAReadModifyWriteOfTheField) {
    RegisterGrab grab;
    EXPECT_EQ(grab.written(0, 4, 0x73), 0xA3u);  // value bits above the field are dropped
    EXPECT_EQ(grab.written(8, 4, 0xF), 0xFA5u);
    EXPECT_EQ(grab.written(4, 0, 0xF), 0xA5u);
    EXPECT_EQ(grab.written(4, 4, 0x0), 0x05u);
    EXPECT_EQ(grab.written(0, 32, 0x12345678), 0x12345678u);
    EXPECT_EQ(grab.reads.size(), 5u);
}

TEST(RegisterFields, AFieldRunningPastBit31ContinuesAtBit0WithZeros) {
    RegisterGrab grab;
    grab.value = 0xFFFFFFFFu;
    // Bits 28..31 take the value, bits 0..3 are in the field but receive the shifted-out zeros.
    EXPECT_EQ(grab.written(28, 8, 0xFF), 0xFFFFFFF0u);
    grab.value = 0xA5;
    EXPECT_EQ(grab.written(28, 8, 0xFF), 0xF00000A0u);
    EXPECT_EQ(grab.ReadRegField(0, 28, 8), 0x0u);
    grab.value = 0xF00000A5;
    EXPECT_EQ(grab.ReadRegField(0, 28, 8), 0xFu);
}

TEST(RegisterFields, AShiftPlusWidthThatWrapsWritesTheRegisterBackUnchanged) {
    RegisterGrab grab;
    EXPECT_EQ(grab.written(0xFFFFFFF0u, 0x20, 0xFFFFFFFFu), 0xA5u);
    EXPECT_EQ(grab.written(0xFFFFFFFFu, 1, 1), 0xA5u);
    // Just below the wrap the field lives at the shift taken modulo 32.
    EXPECT_EQ(grab.written(0xFFFFFFE0u, 8, 0x3C), 0x3Cu);
}

}  // namespace
