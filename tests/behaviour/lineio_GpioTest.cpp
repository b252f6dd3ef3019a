// GPIO records and their persistence in a client store.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include <tamra/Tamra.h>

#include "grab_support.h"

namespace {

using grab_test::LineGrab;

const IFW_GPI_CONFIG kDefaultInput{1, 200, 0, 3.0f, 0};
const IFW_GPO_CONFIG kDefaultOutput{1, 0, 1000, 0, 0};

// Records compare whole; every field is a plain int or an exactly stored float.
template <typename Record>
void expectRecord(const Record& got, const Record& want) {
    EXPECT_EQ(std::memcmp(&got, &want, sizeof got), 0) << testing::PrintToString(got);
}

// Records every storage call in order, answers reads from its map and can fail on demand.
class RecordingStorage : public XiStorage {
public:
    struct Call {
        std::string op, key, dflt;
    };
    int WriteFloat(const char* key, float value) override {
        return write("WriteFloat", key, std::to_string(value));
    }
    int WriteInt(const char* key, int value) override {
        return write("WriteInt", key, std::to_string(value));
    }
    int ReadFloat(const char* key, float* value, float dflt) override {
        const std::string* text = read("ReadFloat", key, std::to_string(dflt));
        if (text != nullptr) *value = std::stof(*text);
        return text != nullptr ? 0 : 1;
    }
    int ReadInt(const char* key, int* value, int dflt) override {
        const std::string* text = read("ReadInt", key, std::to_string(dflt));
        if (text != nullptr) *value = std::stoi(*text);
        return text != nullptr ? 0 : 1;
    }

    std::vector<Call> calls;
    std::map<std::string, std::string> values;
    std::size_t failWriteNumber = 0;  // 1-based write that fails; 0: none
    bool failReads = false;

private:
    int write(const char* op, const char* key, std::string text) {
        calls.push_back({op, key, ""});
        if (calls.size() == failWriteNumber) return 5;
        values[key] = std::move(text);
        return 0;
    }
    const std::string* read(const char* op, const char* key, std::string dflt) {
        calls.push_back({op, key, std::move(dflt)});
        const auto found = values.find(key);
        return failReads || found == values.end() ? nullptr : &found->second;
    }
};

// The full key sequence of one save or load, in the order a client's store sees it.
std::vector<std::string> expectedKeys() {
    std::vector<std::string> keys;
    for (int i = 0; i < 32; ++i)
        for (const char* field : {"Debounce", "Polarity", "Threshold", "Options"})
            keys.push_back("GPI" + std::to_string(i) + "." + field);
    for (int i = 0; i < 32; ++i)
        for (const char* field : {"Polarity", "Offset", "Duration", "Driver", "initVal"})
            keys.push_back("GPO" + std::to_string(i) + "." + field);
    return keys;
}

std::vector<std::string> keysOf(const RecordingStorage& storage) {
    std::vector<std::string> keys;
    for (const auto& call : storage.calls) keys.push_back(call.key);
    return keys;
}

// Records what the core re-applies through the virtual setters, and stores nothing itself.
class SetterCountingGrab : public LineGrab<CIGrab> {
public:
    void SetGPIConfig(std::uint32_t index, IFW_GPI_CONFIG* config) override {
        inputs.emplace_back(index, config->Debounce);
    }
    void SetGPOConfig(std::uint32_t index, IFW_GPO_CONFIG* config) override {
        outputs.emplace_back(index, config->Duration);
    }
    std::vector<std::pair<std::uint32_t, int>> inputs, outputs;
};

TEST(GpioRecords, EveryIndexStartsWithTheDefaultsAndBadIndicesOrNullsAreIgnored) {
    IXGrab root;
    CIGrab core;
    IFW_GPI_CONFIG in{9, 9, 9, 9.0f, 9};
    IFW_GPO_CONFIG out{9, 9, 9, 9, 9};
    core.SetGPIConfig(32, &in);
    core.SetGPOConfig(32, &out);
    core.SetGPIConfig(0, nullptr);
    core.SetGPOConfig(0, nullptr);
    core.GetGPIConfig(0, nullptr);
    core.GetGPIConfig(32, &in);
    core.GetGPOConfig(0xFFFFFFFFu, &out);
    EXPECT_EQ(in.Debounce, 9);
    EXPECT_EQ(out.Duration, 9);
    for (IXGrab* grab : {static_cast<IXGrab*>(&root), static_cast<IXGrab*>(&core)}) {
        for (std::uint32_t i = 0; i < 32; ++i) {
            SCOPED_TRACE(i);
            grab->GetGPIConfig(i, &in);
            grab->GetGPOConfig(i, &out);
            expectRecord(in, kDefaultInput);
            expectRecord(out, kDefaultOutput);
        }
    }
}

TEST(GpioRecords, SetThenGetRoundTripsWithTheLevelReadLive) {
    for (bool initialise : {true, false}) {
        LineGrab<CIGrab> grab;
        if (initialise) grab.Initialize();
        IFW_GPI_CONFIG in{0, 35, 1, 1.25f, 6};
        IFW_GPO_CONFIG out{-1, 20, 30, 2, 1};
        grab.SetGPIConfig(7, &in);
        grab.SetGPOConfig(31, &out);
        IFW_GPI_CONFIG readIn{};
        IFW_GPO_CONFIG readOut{};
        grab.GetGPIConfig(7, &readIn);
        grab.GetGPOConfig(31, &readOut);
        // No input is wired: the live level 0 replaces the stored 1.
        expectRecord(readIn, IFW_GPI_CONFIG{0, 35, 0, 1.25f, 6});
        expectRecord(readOut, out);
        grab.GetGPIConfig(6, &readIn);
        expectRecord(readIn, kDefaultInput);
    }
}

// Save and load walk the same keys in order; a load offers the current value as default.
TEST(GpioStorage, SaveAndLoadUseEveryKeyInOrderWithTheRightCall) {
    CIGrab grab;
    IFW_GPO_CONFIG out{1, 0, 55, 0, 0};
    grab.SetGPOConfig(2, &out);
    RecordingStorage saved;
    EXPECT_EQ(grab.SaveStorage(&saved), 1);
    EXPECT_EQ(keysOf(saved), expectedKeys());
    EXPECT_EQ(saved.values["GPI0.Debounce"], "200");
    EXPECT_EQ(std::stof(saved.values["GPI31.Threshold"]), 3.0f);
    EXPECT_EQ(saved.values["GPO2.Duration"], "55");

    RecordingStorage loaded;
    EXPECT_EQ(grab.LoadStorage(&loaded), 1);
    EXPECT_EQ(keysOf(loaded), expectedKeys());
    for (std::size_t i = 0; i < loaded.calls.size(); ++i) {
        const auto& call = loaded.calls[i];
        const bool isFloat = call.key.find(".Threshold") != std::string::npos;
        EXPECT_EQ(saved.calls[i].op, isFloat ? "WriteFloat" : "WriteInt") << call.key;
        EXPECT_EQ(call.op, isFloat ? "ReadFloat" : "ReadInt") << call.key;
        EXPECT_EQ(call.dflt, saved.values[call.key]) << call.key;
    }
}

// Loading re-applies every record through the setters; only stored keys change anything.
TEST(GpioStorage, LoadingReappliesEveryRecordWithOnlyTheStoredKeysChanged) {
    for (bool failReads : {false, true}) {
        SCOPED_TRACE(failReads);
        std::vector<std::pair<std::uint32_t, int>> inputs, outputs;
        for (std::uint32_t i = 0; i < 32; ++i) {
            inputs.emplace_back(i, i == 30 && !failReads ? 15 : kDefaultInput.Debounce);
            outputs.emplace_back(i, i == 5 && !failReads ? 40 : kDefaultOutput.Duration);
        }
        SetterCountingGrab grab;
        RecordingStorage storage;
        storage.values = {{"GPI30.Debounce", "15"}, {"GPO5.Duration", "40"}};
        storage.failReads = failReads;
        EXPECT_EQ(grab.LoadStorage(&storage), 1);
        EXPECT_EQ(grab.inputs, inputs);
        EXPECT_EQ(grab.outputs, outputs);
    }
}

}  // namespace
