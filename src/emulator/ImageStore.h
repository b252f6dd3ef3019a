// Emulator internals: ImageStore.
#pragma once

namespace tamra::emulator {

class ImageStore {
public:
};

}  // namespace tamra::emulator
