// Tamra grab library: the display check asks the window manager for real windows.
#include "platform/WindowRegistry.h"

#include <windows.h>

namespace tamra::platform {

bool isSystemWindow(void* window) {
    return window != nullptr && IsWindow(static_cast<HWND>(window)) != FALSE;
}

}  // namespace tamra::platform
