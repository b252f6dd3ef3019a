// General-purpose input and output records and their persistence in a client store. The
// tamra-grab key=value file round trip is in tests/lineio/LineToolsTest.cpp.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include <tamra/Tamra.h>

#include "lineio_support.h"

namespace {

using lineio_test::LineGrab;

const IFW_GPI_CONFIG kDefaultInput{1, 200, 0, 3.0f, 0};
const IFW_GPO_CONFIG kDefaultOutput{1, 0, 1000, 0, 0};

void expectInput(const IFW_GPI_CONFIG& in, const IFW_GPI_CONFIG& want) {
    EXPECT_EQ(in.Polarity, want.Polarity);
    EXPECT_EQ(in.Debounce, want.Debounce);
    EXPECT_EQ(in.Level, want.Level);
    EXPECT_FLOAT_EQ(in.Threshold, want.Threshold);
    EXPECT_EQ(in.Options, want.Options);
}

void expectOutput(const IFW_GPO_CONFIG& out, const IFW_GPO_CONFIG& want) {
    EXPECT_EQ(std::memcmp(&out, &want, sizeof(out)), 0) << out.Duration << " " << out.Offset;
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

// Counts every record the core re-applies through the virtual setters.
class SetterCountingGrab : public LineGrab<CIGrab> {
public:
    void SetGPIConfig(std::uint32_t index, IFW_GPI_CONFIG* config) override {
        inputs.push_back(index);
        debounces.push_back(config->Debounce);
        CIGrab::SetGPIConfig(index, config);
    }
    void SetGPOConfig(std::uint32_t index, IFW_GPO_CONFIG* config) override {
        outputs.push_back(index);
        CIGrab::SetGPOConfig(index, config);
    }
    std::vector<std::uint32_t> inputs, outputs;
    std::vector<int> debounces;
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
            expectInput(in, kDefaultInput);
            expectOutput(out, kDefaultOutput);
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
        expectInput(readIn, {0, 35, 0, 1.25f, 6});
        expectOutput(readOut, out);
        grab.GetGPIConfig(6, &readIn);
        expectInput(readIn, kDefaultInput);
    }
}

TEST(GpioRecords, AttributeRecordIsCleared) {
    CIGrab grab;
    IFW_GPIO_ATTR attr;
    std::memset(&attr, 0xAB, sizeof(attr));
    EXPECT_EQ(grab.GetGpioAttr(&attr), 1);
    for (unsigned char byte : attr.Reserved) ASSERT_EQ(byte, 0);
    EXPECT_EQ(grab.GetGpioAttr(nullptr), 1);
}

// Save and load walk the same keys in the same order; thresholds are floats, the level is
// neither saved nor loaded, and a load offers the current value as the default.
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

TEST(GpioStorage, TheFirstFailedWriteEndsTheSaveSilently) {
    for (std::size_t failing : {3u, 128u + 5u * 4u + 2u}) {
        CIGrab grab;
        RecordingStorage storage;
        storage.failWriteNumber = failing;
        EXPECT_EQ(grab.SaveStorage(&storage), 1);
        ASSERT_EQ(storage.calls.size(), failing);
        EXPECT_EQ(storage.calls.back().key, expectedKeys()[failing - 1]);
        EXPECT_STREQ(grab.GetLastErrorMsg(), "");
    }
}

// Every record is re-applied through the setters, which see the loaded values; only stored keys
// change anything, and a store whose reads all fail changes nothing.
TEST(GpioStorage, LoadingReappliesEveryRecordWithOnlyTheStoredKeysChanged) {
    std::vector<std::uint32_t> all;
    for (std::uint32_t i = 0; i < 32; ++i) all.push_back(i);
    for (bool failReads : {false, true}) {
        SCOPED_TRACE(failReads);
        SetterCountingGrab grab;
        RecordingStorage storage;
        storage.values = {{"GPI30.Debounce", "15"}, {"GPO5.Duration", "40"}};
        storage.failReads = failReads;
        EXPECT_EQ(grab.LoadStorage(&storage), 1);
        EXPECT_EQ(grab.inputs, all);
        EXPECT_EQ(grab.outputs, all);
        ASSERT_EQ(grab.debounces.size(), 32u);
        EXPECT_EQ(grab.debounces[30], failReads ? 200 : 15);
        for (std::uint32_t i = 0; i < 32; ++i) {
            SCOPED_TRACE(i);
            IFW_GPI_CONFIG in{};
            IFW_GPO_CONFIG out{};
            grab.GetGPIConfig(i, &in);
            grab.GetGPOConfig(i, &out);
            IFW_GPI_CONFIG wantIn = kDefaultInput;
            IFW_GPO_CONFIG wantOut = kDefaultOutput;
            if (i == 30 && !failReads) wantIn.Debounce = 15;
            if (i == 5 && !failReads) wantOut.Duration = 40;
            expectInput(in, wantIn);
            expectOutput(out, wantOut);
        }
    }
}

TEST(GpioStorage, TheRootClassKeepsNothing) {
    IXGrab grab;
    RecordingStorage storage;
    storage.values = {{"GPO5.Duration", "40"}};
    EXPECT_EQ(grab.SaveStorage(&storage), 1);
    EXPECT_EQ(grab.LoadStorage(&storage), 1);
    EXPECT_TRUE(storage.calls.empty());
    IFW_GPO_CONFIG out{};
    grab.GetGPOConfig(5, &out);
    EXPECT_EQ(out.Duration, 1000);
}

}  // namespace
