// Python module: settings table, GPIO records and hardware classes.
#include "Settings.h"

#include <cstring>
#include <memory>

namespace tamra_python {
namespace {

using U = unsigned int;

CIGrab* core(IXGrab& grab) {
    return dynamic_cast<CIGrab*>(&grab);
}

int setCore(IXGrab& grab, double value, int (CIGrab::*setter)(unsigned int)) {
    CIGrab* c = core(grab);
    return c != nullptr ? (c->*setter)(static_cast<U>(value)) : 0;
}

double getCore(IXGrab& grab, std::uint32_t (CIGrab::*getter)()) {
    CIGrab* c = core(grab);
    return c != nullptr ? (c->*getter)() : 0.0;
}

// clang-format off
const std::vector<Setting> kSettings = {
    {"trigger_method", false,
     [](IXGrab& g) -> double { return g.GetTriggerMethod(); },
     [](IXGrab& g, double v) { return g.SetTriggerMethod(static_cast<IXGrab::TriggerMethod>(v)); },
     true},
    {"frame_delay", false,
     [](IXGrab& g) -> double { return g.GetFrameDelay(); },
     [](IXGrab& g, double v) { return g.SetFrameDelay(static_cast<U>(v)); },
     true},
    {"strobe_enable", false,
     [](IXGrab& g) -> double { return g.GetStrobeEnable(); },
     [](IXGrab& g, double v) { g.SetStrobeEnable(static_cast<int>(v)); return 1; }},
    {"strobe_offset", false,
     [](IXGrab& g) -> double { return g.GetStrobeOffset(); },
     [](IXGrab& g, double v) { return g.SetStrobeOffset(static_cast<U>(v)); }},
    {"strobe_duration", false,
     [](IXGrab& g) -> double { return g.GetStrobeDuration(); },
     [](IXGrab& g, double v) { return g.SetStrobeDuration(static_cast<U>(v)); }},
    {"external_trigger_delay", false,
     [](IXGrab& g) -> double { return g.GetExternalTriggerDelay(); },
     [](IXGrab& g, double v) { return g.SetExternalTriggerDelay(static_cast<U>(v)); }},
    {"external_trigger_delay_enable", false,
     [](IXGrab& g) -> double { return g.GetExternalTriggerDelayEnable(); },
     [](IXGrab& g, double v) { return g.SetExternalTriggerDelayEnable(static_cast<int>(v)); }},
    {"rejector_delay", false,
     [](IXGrab& g) { return getCore(g, &CIGrab::GetRejectorDelay); },
     [](IXGrab& g, double v) { return g.SetRejectorDelay(static_cast<U>(v)); }},
    {"recycle_delay", false,
     [](IXGrab& g) { return getCore(g, &CIGrab::GetRecycleDelay); },
     [](IXGrab& g, double v) { return g.SetRecycleDelay(static_cast<U>(v)); }},
    {"parts_between_sensors", false,
     [](IXGrab& g) -> double { CIGrab* c = core(g); return c ? c->GetPartsBetweenSensors() : 0; },
     [](IXGrab& g, double v) { return setCore(g, v, &CIGrab::SetPartsBetweenSensors); }},
    {"brightness", false,
     [](IXGrab& g) -> double { return g.GetBrightness(); },
     [](IXGrab& g, double v) { return g.SetBrightness(static_cast<U>(v)); }},
    {"contrast", false,
     [](IXGrab& g) -> double { return g.GetContrast(); },
     [](IXGrab& g, double v) { return g.SetContrast(static_cast<U>(v)); }},
    {"exposure", true,
     [](IXGrab& g) { return g.GetExposure(); },
     [](IXGrab& g, double v) { return g.SetExposure(v, 0); }},
    {"lut_floor", false,
     [](IXGrab& g) -> double { return g.GetLUTFloor(); },
     [](IXGrab& g, double v) { return setCore(g, v, &CIGrab::SetLUTFloor); }},
    {"lut_ceiling", false,
     [](IXGrab& g) -> double { return g.GetLUTCeiling(); },
     [](IXGrab& g, double v) { return setCore(g, v, &CIGrab::SetLUTCeiling); }},
    {"grab_type", false, [](IXGrab& g) -> double { return g.GetGrabType(); }, nullptr},
    {"width", false, [](IXGrab& g) -> double { return g.GetWidth(); }, nullptr},
    {"height", false, [](IXGrab& g) -> double { return g.GetHeight(); }, nullptr},
    {"bytes_per_pixel", false, [](IXGrab& g) -> double { return g.GetBytesPP(); }, nullptr},
    {"buffer_count", false, [](IXGrab& g) -> double { return g.GetBufferCount(); }, nullptr},
    {"cameras", false, [](IXGrab& g) -> double { return g.GetNumCameras(); }, nullptr},
    {"pixel_format", false, [](IXGrab& g) -> double { return g.GetImageColor(); }, nullptr},
    {"hardware_revision", false,
     [](IXGrab& g) -> double { return g.GetHardwareRevision(); }, nullptr},
};
// clang-format on

int asInt(double value) {
    return static_cast<int>(value);
}

}  // namespace

const std::vector<Setting>& settings() {
    return kSettings;
}

const Setting* findSetting(const std::string& name) {
    for (const Setting& setting : kSettings) {
        if (name == setting.name) return &setting;
    }
    return nullptr;
}

Record inputRecord(const IFW_GPI_CONFIG& c) {
    return {{"polarity", c.Polarity},
            {"debounce", c.Debounce},
            {"level", c.Level},
            {"threshold", c.Threshold},
            {"options", c.Options}};
}

Record outputRecord(const IFW_GPO_CONFIG& c) {
    return {{"polarity", c.Polarity},
            {"offset", c.Offset},
            {"duration", c.Duration},
            {"driver", c.Driver},
            {"initial_value", c.initVal}};
}

bool applyInput(const Record& fields, IFW_GPI_CONFIG& c, std::string& unknown) {
    for (const auto& [name, value] : fields) {
        if (name == "polarity")
            c.Polarity = asInt(value);
        else if (name == "debounce")
            c.Debounce = asInt(value);
        else if (name == "level")
            c.Level = asInt(value);
        else if (name == "threshold")
            c.Threshold = static_cast<float>(value);
        else if (name == "options")
            c.Options = asInt(value);
        else
            return unknown = name, false;
    }
    return true;
}

bool applyOutput(const Record& fields, IFW_GPO_CONFIG& c, std::string& unknown) {
    for (const auto& [name, value] : fields) {
        if (name == "polarity")
            c.Polarity = asInt(value);
        else if (name == "offset")
            c.Offset = asInt(value);
        else if (name == "duration")
            c.Duration = asInt(value);
        else if (name == "driver")
            c.Driver = asInt(value);
        else if (name == "initial_value")
            c.initVal = asInt(value);
        else
            return unknown = name, false;
    }
    return true;
}

int MapStorage::WriteFloat(const char* key, float value) {
    values[key] = {true, value};
    return 0;
}

int MapStorage::WriteInt(const char* key, int value) {
    values[key] = {false, static_cast<double>(value)};
    return 0;
}

// A missing key reads as the default and reports status 1, as a store without the key would.
int MapStorage::ReadFloat(const char* key, float* value, float dflt) {
    const auto found = values.find(key);
    *value = found != values.end() ? static_cast<float>(found->second.number) : dflt;
    return found != values.end() ? 0 : 1;
}

int MapStorage::ReadInt(const char* key, int* value, int dflt) {
    const auto found = values.find(key);
    *value = found != values.end() ? static_cast<int>(found->second.number) : dflt;
    return found != values.end() ? 0 : 1;
}

namespace {

template <typename Class, typename... Args>
HardwareClass describeClass(const char* name, Args... args) {
    auto grab = std::make_unique<Class>(args...);
    HardwareClass result{name, {}, {}};
    for (const Setting& setting : kSettings) result.values[setting.name] = setting.get(*grab);
    for (std::uint32_t i = 0; i < 3; ++i) {
        IFW_GPO_CONFIG config{};
        grab->GetGPOConfig(i, &config);
        result.outputs.push_back(outputRecord(config));
    }
    return result;
}

}  // namespace

std::vector<HardwareClass> hardwareClasses() {
    return {describeClass<CIGrab>("Core"),         describeClass<CIGrabEmu>("Emulator"),
            describeClass<CIGrabTrell>("Trell"),   describeClass<CIGrabKesto>("Kesto"),
            describeClass<CIGrabVortan>("Vortan"), describeClass<CIGrab1394>("1394"),
            describeClass<CIGrabBrixo>("Brixo"),   describeClass<CIGrabBrixoLT>("BrixoLT"),
            describeClass<CIGrabGev>("Gev", 0u),   describeClass<CIGrabZeph>("Zeph")};
}

}  // namespace tamra_python
