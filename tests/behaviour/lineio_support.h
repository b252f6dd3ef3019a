// Test helpers for the line-control, GPIO, sensor and hardware-class behaviour tests.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include <tamra/Tamra.h>

namespace lineio_test {

// A back end in the shape of the real ones: the core does the common work, the override sets
// the state flag. Start marks the grab running without any frame source; calls are recorded.
template <class Base>
class LineGrab : public Base {
public:
    ~LineGrab() override { this->Terminate(); }

    int Initialize() override {
        if (Base::Initialize() == 0) return 0;
        this->setInitializedFlag(1);
        return 1;
    }
    int Stop() override {
        calls.push_back("Stop");
        if (stopResult == 0) return 0;
        return Base::Stop();
    }
    int Start() override {
        calls.push_back("Start");
        this->setRunningFlag(1);
        return 1;
    }
    int SetTriggerParams() override {
        calls.push_back("SetTriggerParams");
        return Base::SetTriggerParams();
    }
    void markRunning() { this->setRunningFlag(1); }

    std::vector<std::string> calls;
    int stopResult = 1;
};

// One grab class under test: its message prefix and how to make a fresh object of it.
struct GrabKind {
    std::string prefix;
    std::function<std::unique_ptr<IXGrab>(bool initialise)> make;
};

inline std::unique_ptr<IXGrab> initialiseIf(std::unique_ptr<IXGrab> grab, bool initialise) {
    if (initialise) grab->Initialize();
    return grab;
}

inline std::vector<GrabKind> bothGrabKinds() {
    return {
        {"IXGrab",
         [](bool init) { return initialiseIf(std::make_unique<LineGrab<IXGrab>>(), init); }},
        {"CIGrab",
         [](bool init) { return initialiseIf(std::make_unique<LineGrab<CIGrab>>(), init); }},
    };
}

inline std::string kindName(const testing::TestParamInfo<GrabKind>& info) {
    return info.param.prefix;
}

// Records every storage call in order, answers reads from its map and can fail on demand.
class RecordingStorage : public XiStorage {
public:
    struct Call {
        std::string op;
        std::string key;
    };

    int WriteFloat(const char* key, float value) override {
        return write("WriteFloat", key, std::to_string(value));
    }
    int WriteInt(const char* key, int value) override {
        return write("WriteInt", key, std::to_string(value));
    }
    int ReadFloat(const char* key, float* value, float dflt) override {
        return read(
            "ReadFloat", key, [&](const std::string& text) { *value = std::stof(text); },
            std::to_string(dflt));
    }
    int ReadInt(const char* key, int* value, int dflt) override {
        return read(
            "ReadInt", key, [&](const std::string& text) { *value = std::stoi(text); },
            std::to_string(dflt));
    }

    std::vector<Call> calls;
    std::vector<std::pair<std::string, std::string>> values;  // key, text; insertion order
    std::vector<std::string> defaults;                        // default passed to each read
    int failWriteNumber = 0;                                  // 1-based write that fails; 0: none
    bool failReads = false;

    const std::string* find(const std::string& key) const {
        for (const auto& entry : values)
            if (entry.first == key) return &entry.second;
        return nullptr;
    }

private:
    int write(const char* op, const char* key, std::string text) {
        calls.push_back({op, key});
        ++writes_;
        if (writes_ == failWriteNumber) return 5;
        values.emplace_back(key, std::move(text));
        return 0;
    }
    template <class Assign>
    int read(const char* op, const char* key, Assign assign, std::string dflt) {
        calls.push_back({op, key});
        defaults.push_back(std::move(dflt));
        const std::string* text = find(key);
        if (failReads || text == nullptr) return 1;
        assign(*text);
        return 0;
    }
    int writes_ = 0;
};

}  // namespace lineio_test
