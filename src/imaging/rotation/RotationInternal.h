// Rotation internals shared by the argument checks, the quarter-turn copies and the resampler.
#pragma once

#include <cstdint>
#include <cstring>

namespace tamra::imaging::detail {

// The angle reduced to [0, 360) with its sine and cosine; quarter is 0 to 3 for an exact quarter
// turn (sine and cosine then exactly 0 or +-1), -1 otherwise.
struct Turn {
    double sine;
    double cosine;
    int quarter;
};

Turn reduceTurn(double angle);

// Source position of destination pixel (xd, yd): the inverse of the forward map, evaluated in
// exactly this order. Every path that decides a pixel reproduces this arithmetic bit for bit.
inline void sourcePosition(const Turn& turn, double xShift, double yShift, std::int64_t xd,
                           std::int64_t yd, double& xs, double& ys) {
    const double dx = static_cast<double>(xd) - xShift;
    const double dy = static_cast<double>(yd) - yShift;
    xs = turn.cosine * dx - turn.sine * dy;
    ys = turn.sine * dx + turn.cosine * dy;
}

// Pixel layouts: bytes from one pixel to the next, and bytes copied of each pixel.
enum class Layout { C1, C2, C3, AC4 };

template <Layout L>
struct LayoutTraits;
template <>
struct LayoutTraits<Layout::C1> {
    static constexpr int kPixelBytes = 1;
    static constexpr int kCopyBytes = 1;
};
template <>
struct LayoutTraits<Layout::C2> {
    static constexpr int kPixelBytes = 2;
    static constexpr int kCopyBytes = 2;
};
template <>
struct LayoutTraits<Layout::C3> {
    static constexpr int kPixelBytes = 3;
    static constexpr int kCopyBytes = 3;
};
template <>
struct LayoutTraits<Layout::AC4> {
    static constexpr int kPixelBytes = 4;
    static constexpr int kCopyBytes = 3;
};

template <Layout L>
inline void copyPixel(std::uint8_t* dst, const std::uint8_t* src) {
    std::memcpy(dst, src, LayoutTraits<L>::kCopyBytes);
}

// One validated rotation: the source rectangle already clipped to the image (inclusive pixel
// bounds), the destination rectangle as inclusive bounds, and the pointers of pixel (0, 0).
struct RotateJob {
    const std::uint8_t* src;
    std::int64_t srcStep;
    std::int64_t srcX0, srcX1, srcY0, srcY1;
    std::uint8_t* dst;
    std::int64_t dstStep;
    std::int64_t dstX0, dstX1, dstY0, dstY1;
    Turn turn;
    double xShift;
    double yShift;
};

// Exact quarter turn with whole-number shifts: a permutation copy of the covered pixels.
void copyQuarterTurn(const RotateJob& job, Layout layout);
// Any other rotation: per-row spans of covered pixels, nearest-neighbour sampling.
void resampleRotation(const RotateJob& job, Layout layout);

}  // namespace tamra::imaging::detail
