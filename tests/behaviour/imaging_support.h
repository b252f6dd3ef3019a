// Test helpers for the image-transform behaviour tests: a minimal back end and frame patterns.
#pragma once

#include <cstdint>
#include <vector>

#include <tamra/Tamra.h>

namespace imaging_test {

// A back end in the shape of the real ones: the core does the work, the override sets the
// initialised or created flag.
template <class Base>
class Backend : public Base {
public:
    ~Backend() override { this->Terminate(); }
    int Initialize() override {
        if (Base::Initialize() == 0) return 0;
        this->setInitializedFlag(1);
        return 1;
    }
    int Create(std::uint32_t offsetX, std::uint32_t offsetY, std::uint32_t width,
               std::uint32_t height, std::uint32_t bits, std::uint32_t count,
               std::uint32_t timeOut) override {
        if (Base::Create(offsetX, offsetY, width, height, bits, count, timeOut) == 0) return 0;
        this->setCreatedFlag(1);
        return 1;
    }
};

using CoreGrab = Backend<CIGrab>;
using RootGrab = Backend<IXGrab>;

// Byte b of pixel (x, y) of camera image c: varied enough that a misplaced byte shows.
inline std::uint8_t patternByte(std::uint32_t x, std::uint32_t y, std::uint32_t b,
                                std::uint32_t c = 0) {
    return static_cast<std::uint8_t>(x * 31 + y * 17 + b * 101 + c * 53 + ((x * y) >> 3) + 1);
}

// A frame of `cameras` images of w x h pixels of bpp bytes, one after another.
inline std::vector<std::uint8_t> patternFrame(std::uint32_t w, std::uint32_t h, std::uint32_t bpp,
                                              std::uint32_t cameras = 1) {
    std::vector<std::uint8_t> frame(static_cast<std::size_t>(w) * h * bpp * cameras);
    std::size_t i = 0;
    for (std::uint32_t c = 0; c < cameras; ++c) {
        for (std::uint32_t y = 0; y < h; ++y) {
            for (std::uint32_t x = 0; x < w; ++x) {
                for (std::uint32_t b = 0; b < bpp; ++b) frame[i++] = patternByte(x, y, b, c);
            }
        }
    }
    return frame;
}

}  // namespace imaging_test
