// Tamra grab library: the set of window handles registered with this layer (tests and display
// integrations without a real window), which count as windows next to the system's own.
#include "platform/WindowRegistry.h"

#include <mutex>
#include <unordered_set>

namespace tamra::platform {
namespace {

struct Registry {
    std::mutex lock;
    std::unordered_set<void*> windows;
};

// Built on first use, so registration works from static initialisers too.
Registry& registry() {
    static Registry instance;
    return instance;
}

bool isRegistered(void* window) {
    Registry& r = registry();
    const std::lock_guard<std::mutex> guard(r.lock);
    return r.windows.count(window) != 0;
}

}  // namespace

void registerWindow(void* window) {
    if (window == nullptr) return;
    Registry& r = registry();
    const std::lock_guard<std::mutex> guard(r.lock);
    r.windows.insert(window);
}

void unregisterWindow(void* window) {
    Registry& r = registry();
    const std::lock_guard<std::mutex> guard(r.lock);
    r.windows.erase(window);
}

bool isWindow(void* window) {
    if (window == nullptr) return false;
    return isRegistered(window) || isSystemWindow(window);
}

}  // namespace tamra::platform
