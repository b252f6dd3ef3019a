// Platform windows: a window exists while it is registered here or while the system's window
// manager knows it.
#pragma once

namespace tamra::platform {

void registerWindow(void* window);
void unregisterWindow(void* window);
bool isWindow(void* window);

// The system's own test, one per system: a live window of its window manager. Always false where
// the library has no window manager to ask.
bool isSystemWindow(void* window);

}  // namespace tamra::platform
