// Platform windows: a window exists while it is registered here.
#pragma once

namespace tamra::platform {

void registerWindow(void* window);
void unregisterWindow(void* window);
bool isWindow(void* window);

}  // namespace tamra::platform
