// Test helpers for the line-control, GPIO and sensor behaviour tests.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <tamra/Tamra.h>

namespace lineio_test {

// A back end in the shape of the real ones; Start marks it running, calls are recorded.
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

}  // namespace lineio_test
