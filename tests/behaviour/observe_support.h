// Test helpers for the observability extension.
#pragma once

#include <chrono>
#include <cstdint>
#include <thread>

#include <tamra/Observe.h>
#include <tamra/Tamra.h>

namespace observe_test {

// Waits until the producer has composed count frames since Start; false after ten seconds.
// The producer calls no client code, so its counter is the handshake.
inline bool waitForComposed(IXGrab& grab, std::uint64_t count) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    TamraCounters counters{};
    while (TamraGetCounters(&grab, &counters) == 1 && counters.framesComposed < count) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::yield();
    }
    return counters.framesComposed >= count;
}

}  // namespace observe_test
