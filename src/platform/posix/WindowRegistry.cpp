// Tamra grab library: no window manager is asked on POSIX, so only registered windows exist.
#include "platform/WindowRegistry.h"

namespace tamra::platform {

bool isSystemWindow(void*) {
    return false;
}

}  // namespace tamra::platform
