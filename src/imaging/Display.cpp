// The window-display check: it validates its arguments and draws nothing.
#include <tamra/CIGrab.h>

#include "platform/WindowRegistry.h"

int CIGrab::Display(HWND window, unsigned char* image) {
    if (!initialized_) return fail("Display", "Grab not initialized");
    if (!created_) return fail("Display", "Grab not created");
    if (!tamra::platform::isWindow(window) || image == nullptr) {
        return fail("Display", "Invalid argument");
    }
    return 1;
}
