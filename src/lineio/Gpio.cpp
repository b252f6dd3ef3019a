// Tamra grab library: general-purpose input and output records and their persistence.
//
// The records are kept in the object and handed back; no back end of this build drives a line.
// Persistence goes through the client's XiStorage under keys such as "GPI3.Debounce".
#include <cstdio>
#include <cstring>

#include <tamra/CIGrab.h>

#include "core/GrabState.h"

namespace {

// One stored field of a record: its key format and where it lives. A float field has
// floatMember set and intMember null, an int field the other way round.
struct GpiField {
    const char* keyFormat;
    int IFW_GPI_CONFIG::*intMember;
    float IFW_GPI_CONFIG::*floatMember;
};

struct GpoField {
    const char* keyFormat;
    int IFW_GPO_CONFIG::*member;
};

// Key order is part of the storage format: clients' stores see exactly this sequence.
constexpr GpiField kGpiFields[] = {
    {"GPI%d.Debounce", &IFW_GPI_CONFIG::Debounce, nullptr},
    {"GPI%d.Polarity", &IFW_GPI_CONFIG::Polarity, nullptr},
    {"GPI%d.Threshold", nullptr, &IFW_GPI_CONFIG::Threshold},
    {"GPI%d.Options", &IFW_GPI_CONFIG::Options, nullptr},
};

constexpr GpoField kGpoFields[] = {
    {"GPO%d.Polarity", &IFW_GPO_CONFIG::Polarity}, {"GPO%d.Offset", &IFW_GPO_CONFIG::Offset},
    {"GPO%d.Duration", &IFW_GPO_CONFIG::Duration}, {"GPO%d.Driver", &IFW_GPO_CONFIG::Driver},
    {"GPO%d.initVal", &IFW_GPO_CONFIG::initVal},
};

// Longest key is "GPI31.Threshold"; room to spare.
using KeyBuffer = char[32];

void formatKey(KeyBuffer& key, const char* format, std::uint32_t index) {
    std::snprintf(key, sizeof(KeyBuffer), format, static_cast<int>(index));
}

bool saveGpi(XiStorage& storage, std::uint32_t index, const IFW_GPI_CONFIG& record) {
    KeyBuffer key;
    for (const GpiField& field : kGpiFields) {
        formatKey(key, field.keyFormat, index);
        const int status = field.floatMember != nullptr
                               ? storage.WriteFloat(key, record.*field.floatMember)
                               : storage.WriteInt(key, record.*field.intMember);
        if (status != 0) return false;
    }
    return true;
}

bool saveGpo(XiStorage& storage, std::uint32_t index, const IFW_GPO_CONFIG& record) {
    KeyBuffer key;
    for (const GpoField& field : kGpoFields) {
        formatKey(key, field.keyFormat, index);
        if (storage.WriteInt(key, record.*field.member) != 0) return false;
    }
    return true;
}

// A read that fails leaves its field as it was; the others are still asked for.
void loadGpi(XiStorage& storage, std::uint32_t index, IFW_GPI_CONFIG& record) {
    KeyBuffer key;
    for (const GpiField& field : kGpiFields) {
        formatKey(key, field.keyFormat, index);
        if (field.floatMember != nullptr) {
            float& target = record.*field.floatMember;
            float value = target;
            if (storage.ReadFloat(key, &value, target) == 0) target = value;
        } else {
            int& target = record.*field.intMember;
            int value = target;
            if (storage.ReadInt(key, &value, target) == 0) target = value;
        }
    }
}

void loadGpo(XiStorage& storage, std::uint32_t index, IFW_GPO_CONFIG& record) {
    KeyBuffer key;
    for (const GpoField& field : kGpoFields) {
        formatKey(key, field.keyFormat, index);
        int& target = record.*field.member;
        int value = target;
        if (storage.ReadInt(key, &value, target) == 0) target = value;
    }
}

}  // namespace

// ---- Records.

using tamra::kGpioCount;

int IXGrab::GetGpioAttr(IFW_GPIO_ATTR* attr) {
    if (attr != nullptr) std::memset(attr, 0, sizeof(*attr));
    return 1;
}

void IXGrab::GetGPIConfig(std::uint32_t index, IFW_GPI_CONFIG* config) {
    if (config == nullptr || index >= kGpioCount) return;
    *config = grabState().line.gpiConfig[index];
    // The stored level is never reported: the input is read live, bit n for input n.
    const auto levels = static_cast<std::uint32_t>(GetGPInputValue(1));
    config->Level = static_cast<int>((levels >> index) & 1u);
}

void IXGrab::SetGPIConfig(std::uint32_t index, IFW_GPI_CONFIG* config) {
    if (config == nullptr || index >= kGpioCount) return;
    // LoadStorage re-applies the object's own entry; copying it onto itself is a no-op.
    if (config != &grabState().line.gpiConfig[index]) grabState().line.gpiConfig[index] = *config;
}

void IXGrab::GetGPOConfig(std::uint32_t index, IFW_GPO_CONFIG* config) {
    if (config == nullptr || index >= kGpioCount) return;
    *config = grabState().line.gpoConfig[index];
}

void IXGrab::SetGPOConfig(std::uint32_t index, IFW_GPO_CONFIG* config) {
    if (config == nullptr || index >= kGpioCount) return;
    if (config != &grabState().line.gpoConfig[index]) grabState().line.gpoConfig[index] = *config;
}

// ---- Persistence: the root class keeps nothing; the core writes and reads both tables.

int IXGrab::SaveStorage(XiStorage*) {
    return 1;
}

int IXGrab::LoadStorage(XiStorage*) {
    return 1;
}

// The first failed write ends the saving; the caller is not told, so the result is always 1.
int CIGrab::SaveStorage(XiStorage* storage) {
    bool saving = true;
    for (std::uint32_t i = 0; saving && i < kGpioCount; ++i)
        saving = saveGpi(*storage, i, grabState().line.gpiConfig[i]);
    for (std::uint32_t i = 0; saving && i < kGpioCount; ++i)
        saving = saveGpo(*storage, i, grabState().line.gpoConfig[i]);
    return 1;
}

// Every entry is re-applied through the virtual setters so a back end sees each loaded record.
int CIGrab::LoadStorage(XiStorage* storage) {
    for (std::uint32_t i = 0; i < kGpioCount; ++i) {
        loadGpi(*storage, i, grabState().line.gpiConfig[i]);
        SetGPIConfig(i, &grabState().line.gpiConfig[i]);
    }
    for (std::uint32_t i = 0; i < kGpioCount; ++i) {
        loadGpo(*storage, i, grabState().line.gpoConfig[i]);
        SetGPOConfig(i, &grabState().line.gpoConfig[i]);
    }
    return 1;
}
