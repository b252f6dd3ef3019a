// Platform windows: the set of window handles known to exist, for the display check.
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
    Registry& r = registry();
    const std::lock_guard<std::mutex> guard(r.lock);
    return r.windows.count(window) != 0;
}

}  // namespace tamra::platform
