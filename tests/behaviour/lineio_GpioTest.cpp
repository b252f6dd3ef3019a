// General-purpose input and output records and their persistence in a client store.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include <tamra/Tamra.h>

#include "lineio_support.h"

namespace {

using lineio_test::LineGrab;
using lineio_test::RecordingStorage;

void expectDefaultInput(const IFW_GPI_CONFIG& in) {
    EXPECT_EQ(in.Polarity, 1);
    EXPECT_EQ(in.Debounce, 200);
    EXPECT_EQ(in.Level, 0);
    EXPECT_FLOAT_EQ(in.Threshold, 3.0f);
    EXPECT_EQ(in.Options, 0);
}

void expectDefaultOutput(const IFW_GPO_CONFIG& out) {
    EXPECT_EQ(out.Polarity, 1);
    EXPECT_EQ(out.Offset, 0);
    EXPECT_EQ(out.Duration, 1000);
    EXPECT_EQ(out.Driver, 0);
    EXPECT_EQ(out.initVal, 0);
}

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

bool isThreshold(const std::string& key) {
    return key.size() > 10 && key.compare(key.size() - 10, 10, ".Threshold") == 0;
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

std::vector<std::uint32_t> zeroTo31() {
    std::vector<std::uint32_t> all;
    for (std::uint32_t i = 0; i < 32; ++i) all.push_back(i);
    return all;
}

TEST(GpioRecords, EveryIndexStartsWithTheDefaultsInBothClasses) {
    IXGrab root;
    CIGrab core;
    for (IXGrab* grab : {static_cast<IXGrab*>(&root), static_cast<IXGrab*>(&core)}) {
        for (std::uint32_t i = 0; i < 32; ++i) {
            SCOPED_TRACE(i);
            IFW_GPI_CONFIG in{};
            IFW_GPO_CONFIG out{};
            grab->GetGPIConfig(i, &in);
            grab->GetGPOConfig(i, &out);
            expectDefaultInput(in);
            expectDefaultOutput(out);
        }
    }
}

TEST(GpioRecords, IndexOutOfRangeAndNullRecordsAreIgnored) {
    CIGrab grab;
    IFW_GPI_CONFIG in{9, 9, 9, 9.0f, 9};
    IFW_GPO_CONFIG out{9, 9, 9, 9, 9};
    grab.GetGPIConfig(32, &in);
    grab.GetGPOConfig(0xFFFFFFFFu, &out);
    EXPECT_EQ(in.Debounce, 9);
    EXPECT_EQ(out.Duration, 9);

    grab.SetGPIConfig(32, &in);
    grab.SetGPOConfig(32, &out);
    grab.SetGPIConfig(0, nullptr);
    grab.SetGPOConfig(0, nullptr);
    grab.GetGPIConfig(0, nullptr);
    grab.GetGPOConfig(0, nullptr);
    IFW_GPI_CONFIG last{};
    IFW_GPO_CONFIG lastOut{};
    grab.GetGPIConfig(31, &last);
    grab.GetGPOConfig(31, &lastOut);
    expectDefaultInput(last);
    expectDefaultOutput(lastOut);
}

TEST(GpioRecords, SetThenGetRoundTripsWithTheLevelReadLive) {
    LineGrab<CIGrab> grab;
    grab.Initialize();
    IFW_GPI_CONFIG in{0, 35, 1, 1.25f, 6};
    IFW_GPO_CONFIG out{-1, 20, 30, 2, 1};
    grab.SetGPIConfig(7, &in);
    grab.SetGPOConfig(31, &out);

    IFW_GPI_CONFIG readIn{};
    IFW_GPO_CONFIG readOut{};
    grab.GetGPIConfig(7, &readIn);
    grab.GetGPOConfig(31, &readOut);
    EXPECT_EQ(readIn.Polarity, 0);
    EXPECT_EQ(readIn.Debounce, 35);
    EXPECT_EQ(readIn.Level, 0);  // no input is wired: the live level replaces the stored 1
    EXPECT_FLOAT_EQ(readIn.Threshold, 1.25f);
    EXPECT_EQ(readIn.Options, 6);
    EXPECT_EQ(std::memcmp(&readOut, &out, sizeof(out)), 0);
    EXPECT_STREQ(grab.GetLastErrorMsg(), "");

    IFW_GPI_CONFIG neighbour{};
    grab.GetGPIConfig(6, &neighbour);
    expectDefaultInput(neighbour);
}

TEST(GpioRecords, ReadingAnInputOfAnUninitialisedGrabStillCopiesTheRecord) {
    CIGrab grab;
    IFW_GPI_CONFIG in{1, 77, 1, 3.0f, 0};
    grab.SetGPIConfig(3, &in);
    IFW_GPI_CONFIG read{};
    grab.GetGPIConfig(3, &read);
    EXPECT_EQ(read.Debounce, 77);
    EXPECT_EQ(read.Level, 0);
    EXPECT_STREQ(grab.GetLastErrorMsg(), "CIGrab::GetGPInputValue: Grab not initialized");
}

TEST(GpioRecords, AttributeRecordIsCleared) {
    CIGrab grab;
    IFW_GPIO_ATTR attr;
    std::memset(&attr, 0xAB, sizeof(attr));
    EXPECT_EQ(grab.GetGpioAttr(&attr), 1);
    for (unsigned char byte : attr.Reserved) ASSERT_EQ(byte, 0);
    EXPECT_EQ(grab.GetGpioAttr(nullptr), 1);
}

TEST(GpioStorage, SaveWritesEveryKeyInOrderWithTheRightCall) {
    CIGrab grab;
    RecordingStorage storage;
    EXPECT_EQ(grab.SaveStorage(&storage), 1);
    ASSERT_EQ(storage.calls.size(), 288u);
    EXPECT_EQ(keysOf(storage), expectedKeys());
    for (const auto& call : storage.calls)
        EXPECT_EQ(call.op, isThreshold(call.key) ? "WriteFloat" : "WriteInt") << call.key;
    EXPECT_EQ(*storage.find("GPI0.Debounce"), "200");
    EXPECT_EQ(std::stof(*storage.find("GPI31.Threshold")), 3.0f);
    EXPECT_EQ(*storage.find("GPO12.Duration"), "1000");
}

TEST(GpioStorage, TheFirstFailedWriteEndsTheSaveSilently) {
    CIGrab grab;
    RecordingStorage storage;
    storage.failWriteNumber = 3;
    EXPECT_EQ(grab.SaveStorage(&storage), 1);
    EXPECT_EQ(keysOf(storage),
              (std::vector<std::string>{"GPI0.Debounce", "GPI0.Polarity", "GPI0.Threshold"}));
    EXPECT_STREQ(grab.GetLastErrorMsg(), "");
}

TEST(GpioStorage, AFailureAmongTheOutputsStopsThere) {
    CIGrab grab;
    RecordingStorage storage;
    storage.failWriteNumber = 128 + 5 * 4 + 2;  // GPO4.Offset
    grab.SaveStorage(&storage);
    ASSERT_EQ(storage.calls.size(), 150u);
    EXPECT_EQ(storage.calls.back().key, "GPO4.Offset");
}

TEST(GpioStorage, LoadAsksForEveryKeyWithTheCurrentValueAsDefault) {
    CIGrab grab;
    IFW_GPO_CONFIG out{1, 0, 55, 0, 0};
    grab.SetGPOConfig(2, &out);
    RecordingStorage storage;
    EXPECT_EQ(grab.LoadStorage(&storage), 1);
    ASSERT_EQ(storage.calls.size(), 288u);
    EXPECT_EQ(keysOf(storage), expectedKeys());
    for (std::size_t i = 0; i < storage.calls.size(); ++i) {
        const auto& call = storage.calls[i];
        EXPECT_EQ(call.op, isThreshold(call.key) ? "ReadFloat" : "ReadInt") << call.key;
        if (call.key == "GPI9.Debounce") {
            EXPECT_EQ(storage.defaults[i], "200");
        }
        if (call.key == "GPO2.Duration") {
            EXPECT_EQ(storage.defaults[i], "55");
        }
    }
}

TEST(GpioStorage, AStoreThatFailsEveryReadChangesNothingButEveryRecordIsReapplied) {
    SetterCountingGrab grab;
    RecordingStorage storage;
    storage.values = {{"GPI0.Debounce", "1"}};
    storage.failReads = true;
    EXPECT_EQ(grab.LoadStorage(&storage), 1);
    EXPECT_EQ(grab.inputs, zeroTo31());
    EXPECT_EQ(grab.outputs, zeroTo31());
    IFW_GPI_CONFIG in{};
    grab.GetGPIConfig(0, &in);
    EXPECT_EQ(in.Debounce, 200);
}

TEST(GpioStorage, OnlyTheStoredKeyChangesOnLoading) {
    CIGrab grab;
    RecordingStorage storage;
    storage.values = {{"GPO5.Duration", "40"}};
    grab.LoadStorage(&storage);
    for (std::uint32_t i = 0; i < 32; ++i) {
        SCOPED_TRACE(i);
        IFW_GPI_CONFIG in{};
        IFW_GPO_CONFIG out{};
        grab.GetGPIConfig(i, &in);
        grab.GetGPOConfig(i, &out);
        expectDefaultInput(in);
        if (i == 5) {
            EXPECT_EQ(out.Duration, 40);
            out.Duration = 1000;
        }
        expectDefaultOutput(out);
    }
}

TEST(GpioStorage, SavedRecordsLoadBackIntoAnotherGrabThroughItsSetters) {
    CIGrab source;
    IFW_GPI_CONFIG in{0, 15, 0, 0.5f, 3};
    IFW_GPO_CONFIG out{0, 250, 90, 4, 1};
    source.SetGPIConfig(30, &in);
    source.SetGPOConfig(1, &out);
    RecordingStorage storage;
    source.SaveStorage(&storage);
    storage.calls.clear();

    SetterCountingGrab target;
    target.LoadStorage(&storage);
    ASSERT_EQ(target.debounces.size(), 32u);
    EXPECT_EQ(target.debounces[30], 15);  // the setter sees the loaded record, not the old one
    IFW_GPI_CONFIG readIn{};
    IFW_GPO_CONFIG readOut{};
    target.GetGPIConfig(30, &readIn);
    target.GetGPOConfig(1, &readOut);
    EXPECT_FLOAT_EQ(readIn.Threshold, 0.5f);
    EXPECT_EQ(readIn.Options, 3);
    EXPECT_EQ(std::memcmp(&readOut, &out, sizeof(out)), 0);
}

TEST(GpioStorage, TheLevelIsNeitherSavedNorLoaded) {
    CIGrab grab;
    RecordingStorage storage;
    grab.SaveStorage(&storage);
    for (const auto& entry : storage.values)
        EXPECT_EQ(entry.first.find("Level"), std::string::npos) << entry.first;
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
