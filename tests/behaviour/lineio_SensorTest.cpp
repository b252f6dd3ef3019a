// Brightness, contrast, exposure, lookup table and register fields as a client sees them.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <tamra/Tamra.h>

#include "grab_support.h"

namespace {

using grab_test::GrabKind;
using grab_test::LineGrab;

// Bad arguments are refused with their reason in every state and change nothing.
TEST(Sensor, BadArgumentsAreRefusedWithTheirReasonAndChangeNothing) {
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
        {true, method(5), 1, "SetTriggerMethod", "No trigger method specified", software},
        {true, method(0xFFFFFFFFu), 1, "SetTriggerMethod", "No trigger method specified", software},
        {true, [](IXGrab& g) { return g.SetRejectorDelay(250); }, 0, "SetRejectorDelay",
         "Rejector not enabled", any},
        {true, [](IXGrab& g) { return g.SetRecycleDelay(0); }, 0, "SetRecycleDelay",
         "Recycler not enabled", any},
    };
    for (const GrabKind& kind : grab_test::bothGrabKinds()) {
        for (const auto& c : cases) {
            SCOPED_TRACE(testing::Message() << kind.prefix << "::" << c.operation
                                            << (c.initialise ? "" : " uninitialised"));
            auto grab = kind.make(c.initialise);
            EXPECT_EQ(c.call(*grab), c.result);
            EXPECT_EQ(std::string(grab->GetLastErrorMsg()),
                      kind.prefix + "::" + c.operation + ": " + c.reason);
            EXPECT_TRUE(c.unchanged(*grab));
        }
    }
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
        {0xA5, 36, 4, 0xA},
        {0xF00000A5, 28, 8, 0xF},
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

// A write is one read-modify-write of the field; wrapping shift plus width writes it back as is.
TEST(RegisterFields, WriteIsAReadModifyWriteOfTheField) {
    const struct {
        std::uint32_t old, shift, width, field, written;
    } cases[] = {
        {0xA5, 0, 4, 0x73, 0xA3},
        {0xA5, 4, 0, 0xF, 0xA5},
        {0xA5, 31, 1, 1, 0x800000A5},
        {0xFFFFFFFF, 28, 8, 0xFF, 0xFFFFFFF0},
        {0xA5, 28, 8, 0xFF, 0xF00000A0},
        {0xA5, 0xFFFFFFF0u, 0x20, 0xFFFFFFFF, 0xA5},
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
        EXPECT_EQ(grab.writes, (decltype(grab.writes){{0x40u, c.written}}));
    }
}

}  // namespace
