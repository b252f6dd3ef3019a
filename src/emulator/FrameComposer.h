// Emulator internals: FrameComposer.
#pragma once

namespace tamra::emulator {

class FrameComposer {
public:
};

}  // namespace tamra::emulator
