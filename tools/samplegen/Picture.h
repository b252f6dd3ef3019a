// Tamra sample images: synthetic inspection pictures drawn with integer geometry only.
#pragma once

#include <cstdint>
#include <vector>

namespace tamra::samples {

struct Rgb {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
    bool operator==(const Rgb& other) const { return r == other.r && g == other.g && b == other.b; }
    bool operator!=(const Rgb& other) const { return !(*this == other); }
};

// Every picture is drawn from these colours only, so an 8-bit file holds it exactly through a
// palette, and every channel value survives a 5-bit round trip (16-bit files are exact too).
const std::vector<Rgb>& samplePalette();

// A picture held top row first, one Rgb per pixel.
class Picture {
public:
    Picture() = default;
    Picture(std::uint32_t width, std::uint32_t height, Rgb fill = {});

    std::uint32_t width() const { return width_; }
    std::uint32_t height() const { return height_; }
    Rgb at(std::uint32_t x, std::uint32_t y) const { return pixels_[y * width_ + x]; }
    void set(std::uint32_t x, std::uint32_t y, Rgb colour) { pixels_[y * width_ + x] = colour; }
    // Clipped to the picture; x1 and y1 are exclusive.
    void fillRect(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1, Rgb colour);
    void fillEllipse(std::int64_t cx, std::int64_t cy, std::int64_t rx, std::int64_t ry,
                     Rgb colour);

private:
    std::uint32_t width_ = 0;
    std::uint32_t height_ = 0;
    std::vector<Rgb> pixels_;
};

enum class Scene { Pass, Fail, Calibration };

// Deterministic picture of a part on a background for one camera: rulers along the top and
// left edge (a colour per column and per row, so scaling errors show), an orientation marker
// near the top-left corner, and the part, whose position follows the index. Fail pictures add
// a defect; calibration pictures are a checkerboard target. Any size of at least 1 x 1.
Picture renderScene(Scene scene, int camera, int index, std::uint32_t width, std::uint32_t height);

}  // namespace tamra::samples
