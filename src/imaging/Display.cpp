// The window-display check: it validates its arguments and draws nothing.
#include <tamra/CIGrab.h>

#include "core/GrabState.h"
#include "core/Reasons.h"
#include "platform/WindowRegistry.h"

int CIGrab::Display(HWND window, unsigned char* image) {
    if (!grabState().life.initialized) return fail("Display", tamra::reason::kNotInitialized);
    if (!grabState().life.created) return fail("Display", tamra::reason::kNotCreated);
    if (!tamra::platform::isWindow(window) || image == nullptr) {
        return fail("Display", tamra::reason::kInvalidArgument);
    }
    return 1;
}
