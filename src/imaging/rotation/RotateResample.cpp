// Nearest-neighbour rotation by any angle.
//
// A destination pixel is decided by sourcePosition() and rounding half up; this file reproduces
// that decision exactly while doing far less work per pixel:
//
// 1. Spans. Along a destination row, both rounded source coordinates are monotone in x (each is
//    a correctly rounded affine expression with a fixed sign of slope), so the covered pixels of
//    a row form one interval. Binary searches with the exact decision find its ends.
// 2. Stepping. Inside the span the source position is carried in 32.32 fixed point and advanced
//    by the rounded sine and cosine. The distance between that value and the exact real position
//    is bounded (rounding of the start value, of each step, and of the double evaluation; see
//    stepMargin()). Where the fixed-point fraction keeps more than that bound away from a pixel
//    edge, its integer part is the exact decision; closer to an edge (about one pixel in a
//    million) the pixel is decided by the exact evaluation instead.
#include <algorithm>
#include <cmath>

#include "imaging/rotation/RotationInternal.h"

namespace tamra::imaging::detail {

namespace {

constexpr double kFixedOne = 4294967296.0;  // 2^32
constexpr std::int64_t kFixedHalf = std::int64_t{1} << 31;
// Coordinates and shifts up to 2^24 keep every fixed-point value far inside 64 bits.
constexpr double kSteppingLimit = 16777216.0;

// Lowest x in [a, b] with pred(x) true for a predicate false then true; b + 1 if none.
template <class Pred>
std::int64_t lowestTrue(std::int64_t a, std::int64_t b, Pred pred) {
    std::int64_t lo = a;
    std::int64_t hi = b + 1;
    while (lo < hi) {
        const std::int64_t mid = lo + (hi - lo) / 2;
        if (pred(mid)) {
            hi = mid;
        } else {
            lo = mid + 1;
        }
    }
    return lo;
}

// Highest x in [a, b] with pred(x) true for a predicate true then false; a - 1 if none.
template <class Pred>
std::int64_t highestTrue(std::int64_t a, std::int64_t b, Pred pred) {
    return lowestTrue(a, b, [&](std::int64_t x) { return !pred(x); }) - 1;
}

// Interval of x in [a, b] whose rounded coordinate value(x) lies in [lo, hi], for value
// non-decreasing (rising) or non-increasing in x.
template <class Value>
void coordinateSpan(std::int64_t a, std::int64_t b, bool rising, std::int64_t lo, std::int64_t hi,
                    Value value, std::int64_t& first, std::int64_t& last) {
    auto atLeastLo = [&](std::int64_t x) { return value(x) >= static_cast<double>(lo); };
    auto belowTop = [&](std::int64_t x) { return value(x) < static_cast<double>(hi) + 1.0; };
    if (rising) {
        first = lowestTrue(a, b, atLeastLo);
        last = highestTrue(a, b, belowTop);
    } else {
        first = lowestTrue(a, b, belowTop);
        last = highestTrue(a, b, atLeastLo);
    }
}

class RowSampler {
public:
    explicit RowSampler(const RotateJob& job) : job_(job) {}

    // Covered pixels [first, last] of destination row y (first > last when none).
    void span(std::int64_t y, std::int64_t& first, std::int64_t& last) const {
        std::int64_t xFirst, xLast, yFirst, yLast;
        coordinateSpan(
            job_.dstX0, job_.dstX1, job_.turn.cosine >= 0.0, job_.srcX0, job_.srcX1,
            [&](std::int64_t x) { return rounded(x, y, true); }, xFirst, xLast);
        coordinateSpan(
            job_.dstX0, job_.dstX1, job_.turn.sine >= 0.0, job_.srcY0, job_.srcY1,
            [&](std::int64_t x) { return rounded(x, y, false); }, yFirst, yLast);
        first = std::max(xFirst, yFirst);
        last = std::min(xLast, yLast);
    }

    // The exact decision: source column and row of destination (x, y).
    void exact(std::int64_t x, std::int64_t y, std::int64_t& col, std::int64_t& row) const {
        double xs, ys;
        sourcePosition(job_.turn, job_.xShift, job_.yShift, x, y, xs, ys);
        col = static_cast<std::int64_t>(std::floor(xs + 0.5));
        row = static_cast<std::int64_t>(std::floor(ys + 0.5));
    }

private:
    double rounded(std::int64_t x, std::int64_t y, bool column) const {
        double xs, ys;
        sourcePosition(job_.turn, job_.xShift, job_.yShift, x, y, xs, ys);
        return column ? xs + 0.5 : ys + 0.5;
    }

    const RotateJob& job_;
};

bool canStep(const RotateJob& job) {
    const double extremes[] = {static_cast<double>(job.dstX0),
                               static_cast<double>(job.dstX1),
                               static_cast<double>(job.dstY0),
                               static_cast<double>(job.dstY1),
                               static_cast<double>(job.srcX1),
                               static_cast<double>(job.srcY1),
                               job.xShift,
                               job.yShift};
    for (double v : extremes) {
        if (std::fabs(v) > kSteppingLimit) return false;
    }
    return true;
}

// Safety distance, in 2^-32 pixel units, between a fixed-point position and a pixel edge. With
// D the largest |x - xShift| + |y - yShift| over the destination rectangle, the double
// evaluation is within 3.01 * 2^-53 * D of the exact real position and adding one half rounds
// by at most 2^-53 * (D + 1); the start value is rounded by half a unit and each step by half a
// unit. D / 2^16 units cover the first two terms with room to spare.
std::uint32_t stepMargin(const RotateJob& job) {
    const double dx =
        std::max(std::fabs(job.dstX0 - job.xShift), std::fabs(job.dstX1 - job.xShift));
    const double dy =
        std::max(std::fabs(job.dstY0 - job.yShift), std::fabs(job.dstY1 - job.yShift));
    const double steps = static_cast<double>(job.dstX1 - job.dstX0 + 1);
    return static_cast<std::uint32_t>(std::ceil((dx + dy) / 65536.0 + steps / 2.0)) + 4;
}

template <Layout L>
void stepSpan(const RotateJob& job, const RowSampler& sampler, std::uint32_t margin, std::int64_t y,
              std::int64_t first, std::int64_t last) {
    constexpr int kPixel = LayoutTraits<L>::kPixelBytes;
    double xs, ys;
    sourcePosition(job.turn, job.xShift, job.yShift, first, y, xs, ys);
    std::int64_t fx = std::llround(xs * kFixedOne) + kFixedHalf;
    std::int64_t fy = std::llround(ys * kFixedOne) + kFixedHalf;
    const std::int64_t stepX = std::llround(job.turn.cosine * kFixedOne);
    const std::int64_t stepY = std::llround(job.turn.sine * kFixedOne);
    const std::uint32_t safeWidth = 0xFFFFFFFFu - 2 * margin;
    std::uint8_t* out = job.dst + y * job.dstStep + first * kPixel;
    for (std::int64_t x = first; x <= last; ++x, out += kPixel, fx += stepX, fy += stepY) {
        std::int64_t col = fx >> 32;
        std::int64_t row = fy >> 32;
        const bool nearEdge =
            static_cast<std::uint32_t>(static_cast<std::uint32_t>(fx) - margin) > safeWidth ||
            static_cast<std::uint32_t>(static_cast<std::uint32_t>(fy) - margin) > safeWidth;
        if (nearEdge) sampler.exact(x, y, col, row);
        copyPixel<L>(out, job.src + row * job.srcStep + col * kPixel);
    }
}

template <Layout L>
void evaluateSpan(const RotateJob& job, const RowSampler& sampler, std::int64_t y,
                  std::int64_t first, std::int64_t last) {
    constexpr int kPixel = LayoutTraits<L>::kPixelBytes;
    std::uint8_t* out = job.dst + y * job.dstStep + first * kPixel;
    for (std::int64_t x = first; x <= last; ++x, out += kPixel) {
        std::int64_t col, row;
        sampler.exact(x, y, col, row);
        copyPixel<L>(out, job.src + row * job.srcStep + col * kPixel);
    }
}

template <Layout L>
void resample(const RotateJob& job) {
    const RowSampler sampler(job);
    const bool stepping = canStep(job);
    const std::uint32_t margin = stepping ? stepMargin(job) : 0;
    for (std::int64_t y = job.dstY0; y <= job.dstY1; ++y) {
        std::int64_t first, last;
        sampler.span(y, first, last);
        if (first > last) continue;
        if (stepping) {
            stepSpan<L>(job, sampler, margin, y, first, last);
        } else {
            evaluateSpan<L>(job, sampler, y, first, last);
        }
    }
}

}  // namespace

void resampleRotation(const RotateJob& job, Layout layout) {
    switch (layout) {
        case Layout::C1:
            resample<Layout::C1>(job);
            break;
        case Layout::C2:
            resample<Layout::C2>(job);
            break;
        case Layout::C3:
            resample<Layout::C3>(job);
            break;
        case Layout::AC4:
            resample<Layout::AC4>(job);
            break;
    }
}

}  // namespace tamra::imaging::detail
