// Emulator internals: Acquisition.
#pragma once

namespace tamra::emulator {

class Acquisition {
public:
};

}  // namespace tamra::emulator
