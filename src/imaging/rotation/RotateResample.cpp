// Nearest-neighbour rotation by any angle.
//
// A destination pixel is decided by sourcePosition() and rounding half up; this file reproduces
// that decision exactly while doing far less work per pixel:
//
// 1. Spans. Along a destination row, both rounded source coordinates are monotone in x (each is
//    a correctly rounded affine expression with a fixed sign of slope), so the covered pixels of
//    a row form one interval. Its ends are found with the exact decision, searching from where
//    the affine expressions cross the source edges.
// 2. Stepping. Inside the span the source position is carried in 32.32 fixed point and advanced
//    by the rounded sine and cosine. The distance between that value and the exact real position
//    is bounded (rounding of the start value, of each step, and of the double evaluation; see
//    stepMargin()). Where the fixed-point fraction keeps more than that bound away from a pixel
//    edge, its integer part is the exact decision; closer to an edge (about one pixel in a
//    million) the pixel is decided by the exact evaluation instead.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "imaging/rotation/RotationInternal.h"
#include "imaging/rotation/VectorKernels.h"

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

// The same search started at hint, where the linear form of the predicate's value changes: a few
// steps from there settle it unless rounding moved the edge further, which the binary search
// then handles. The answer is only returned once both of its neighbours were checked.
template <class Pred>
std::int64_t lowestTrueNear(std::int64_t a, std::int64_t b, double hint, Pred pred) {
    const double start = std::ceil(hint);
    std::int64_t x = b + 1;
    if (!(start >= static_cast<double>(a))) {
        x = a;
    } else if (start <= static_cast<double>(b)) {
        x = static_cast<std::int64_t>(start);
    }
    for (int walk = 0; walk < 4; ++walk) {
        if (x > b || pred(x)) {
            if (x == a || !pred(x - 1)) return x;
            --x;
        } else {
            ++x;
        }
    }
    return lowestTrue(a, b, pred);
}

// Interval of x in [a, b] whose rounded coordinate value(x) lies in [lo, hi], for value
// non-decreasing (rising) or non-increasing in x; root(t) estimates where value(x) reaches t.
template <class Value, class Root>
void coordinateSpan(std::int64_t a, std::int64_t b, bool rising, std::int64_t lo, std::int64_t hi,
                    Value value, Root root, std::int64_t& first, std::int64_t& last) {
    const double low = static_cast<double>(lo);
    const double top = static_cast<double>(hi) + 1.0;
    auto atLeastLo = [&](std::int64_t x) { return value(x) >= low; };
    auto belowTop = [&](std::int64_t x) { return value(x) < top; };
    auto belowLo = [&](std::int64_t x) { return !atLeastLo(x); };
    auto atLeastTop = [&](std::int64_t x) { return !belowTop(x); };
    if (rising) {
        first = lowestTrueNear(a, b, root(low), atLeastLo);
        last = lowestTrueNear(a, b, root(top), atLeastTop) - 1;
    } else {
        first = lowestTrueNear(a, b, root(top), belowTop);
        last = lowestTrueNear(a, b, root(low), belowLo) - 1;
    }
}

class RowSampler {
public:
    explicit RowSampler(const RotateJob& job) : job_(job) {}

    // Covered pixels [first, last] of destination row y (first > last when none).
    void span(std::int64_t y, std::int64_t& first, std::int64_t& last) const {
        std::int64_t xFirst, xLast, yFirst, yLast;
        // Both coordinates plus one half are linear in x: slope x (x - xShift) + offset.
        const double dy = static_cast<double>(y) - job_.yShift;
        const double xOffset = 0.5 - job_.turn.sine * dy;
        const double yOffset = 0.5 + job_.turn.cosine * dy;
        coordinateSpan(
            job_.dstX0, job_.dstX1, job_.turn.cosine >= 0.0, job_.srcX0, job_.srcX1,
            [&](std::int64_t x) { return rounded(x, y, true); },
            [&](double t) { return job_.xShift + (t - xOffset) / job_.turn.cosine; }, xFirst,
            xLast);
        coordinateSpan(
            job_.dstX0, job_.dstX1, job_.turn.sine >= 0.0, job_.srcY0, job_.srcY1,
            [&](std::int64_t x) { return rounded(x, y, false); },
            [&](double t) { return job_.xShift + (t - yOffset) / job_.turn.sine; }, yFirst, yLast);
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

// Fixed-point source position of a span pixel, in 2^-32 pixel units, plus one half.
struct FixedPoint {
    std::int64_t x;
    std::int64_t y;
};

// What stepping along a span needs: the step per destination pixel, the safety margin (see
// stepMargin()) and the source row length.
struct Stepping {
    FixedPoint step;
    std::uint32_t margin;
    std::uint32_t safeWidth;  // fractions in [margin, margin + safeWidth] are far from an edge
    std::int64_t srcStep;
};

inline bool nearPixelEdge(FixedPoint p, const Stepping& s) {
    return static_cast<std::uint32_t>(static_cast<std::uint32_t>(p.x) - s.margin) > s.safeWidth ||
           static_cast<std::uint32_t>(static_cast<std::uint32_t>(p.y) - s.margin) > s.safeWidth;
}

#ifdef TAMRA_IMAGING_SSE2
// Source offsets two pixels at a time, one pixel per 64-bit lane; advances p past them and
// returns how many it did. The shifts are logical: a lane whose position is negative is flagged
// near an edge (its fraction cannot be safe), so its offset is replaced before use.
template <int PixelBytes>
std::int64_t vectorOffsets(FixedPoint& p, const Stepping& s, std::int64_t count,
                           std::int64_t* offsets, bool& anyNearEdge) {
    if (s.srcStep > 0xFFFFFFFF) return 0;
    __m128i xs = _mm_set_epi64x(p.x + s.step.x, p.x);
    __m128i ys = _mm_set_epi64x(p.y + s.step.y, p.y);
    const __m128i stepX = _mm_set1_epi64x(2 * s.step.x);
    const __m128i stepY = _mm_set1_epi64x(2 * s.step.y);
    const __m128i rowBytes = _mm_set1_epi64x(s.srcStep);
    const __m128i bias = _mm_set1_epi32(static_cast<int>(0x80000000u));
    const __m128i low = _mm_set1_epi32(static_cast<int>(s.margin));
    const __m128i limit = _mm_xor_si128(_mm_set1_epi32(static_cast<int>(s.safeWidth)), bias);
    __m128i flags = _mm_setzero_si128();
    std::int64_t k = 0;
    for (; k + 2 <= count; k += 2) {
        const __m128i fx = _mm_xor_si128(_mm_sub_epi32(xs, low), bias);
        const __m128i fy = _mm_xor_si128(_mm_sub_epi32(ys, low), bias);
        flags = _mm_or_si128(flags,
                             _mm_or_si128(_mm_cmpgt_epi32(fx, limit), _mm_cmpgt_epi32(fy, limit)));
        const __m128i col = _mm_srli_epi64(xs, 32);
        __m128i colBytes = col;
        if constexpr (PixelBytes == 2) colBytes = _mm_slli_epi64(col, 1);
        if constexpr (PixelBytes == 3) colBytes = _mm_add_epi64(col, _mm_slli_epi64(col, 1));
        if constexpr (PixelBytes == 4) colBytes = _mm_slli_epi64(col, 2);
        const __m128i offset =
            _mm_add_epi64(_mm_mul_epu32(_mm_srli_epi64(ys, 32), rowBytes), colBytes);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(offsets + k), offset);
        xs = _mm_add_epi64(xs, stepX);
        ys = _mm_add_epi64(ys, stepY);
    }
    // Only the low half of each lane holds a fraction.
    anyNearEdge = anyNearEdge || (_mm_movemask_epi8(flags) & 0x0F0F) != 0;
    p.x += k * s.step.x;
    p.y += k * s.step.y;
    return k;
}
#endif

// Source offsets of count pixels from their fixed-point positions, starting at p and advancing
// it; true when any of them lies near a pixel edge.
template <int PixelBytes>
bool chunkOffsets(FixedPoint& p, const Stepping& s, OffsetStepper wide, std::int64_t count,
                  std::int64_t* offsets) {
    bool anyNearEdge = false;
    std::int64_t k = 0;
    if (wide != nullptr) {
        const FixedStepping fixed{p.x, p.y, s.step.x, s.step.y, s.margin, s.safeWidth, s.srcStep};
        k = wide(fixed, count, offsets, anyNearEdge);
        p.x += k * s.step.x;
        p.y += k * s.step.y;
    }
#ifdef TAMRA_IMAGING_SSE2
    k += vectorOffsets<PixelBytes>(p, s, count - k, offsets + k, anyNearEdge);
#endif
    for (; k < count; ++k, p.x += s.step.x, p.y += s.step.y) {
        anyNearEdge |= nearPixelEdge(p, s);
        offsets[k] = (p.y >> 32) * s.srcStep + (p.x >> 32) * PixelBytes;
    }
    return anyNearEdge;
}

// A word limit saying that no offset of a chunk is near the end of the source.
constexpr std::int64_t kEveryWordReadable = INT64_MAX;

// Copies count pixels from src + offsets[k]. Four offsets are read before any byte is stored,
// since the stores (bytes, which may alias anything) would otherwise order every later read.
// Three-byte pixels move as 4-byte words while the word's extra byte is readable (offsets below
// wordLimit) and the byte it spills onto is the next pixel's, rewritten by the next store.
template <Layout L>
void gatherPixels(std::uint8_t* out, const std::uint8_t* src, const std::int64_t* offsets,
                  std::int64_t count, std::int64_t wordLimit) {
    constexpr int kPixel = LayoutTraits<L>::kPixelBytes;
    std::int64_t k = 0;
    if constexpr (L == Layout::C3) {
        if (wordLimit == kEveryWordReadable) {
            for (; k + 1 < count; ++k, out += kPixel) {
                std::uint32_t word;
                std::memcpy(&word, src + offsets[k], 4);
                std::memcpy(out, &word, 4);
            }
        }
        for (; k + 1 < count; ++k, out += kPixel) {
            const std::int64_t o = offsets[k];
            if (o >= wordLimit) {
                copyPixel<L>(out, src + o);
                continue;
            }
            std::uint32_t word;
            std::memcpy(&word, src + o, 4);
            std::memcpy(out, &word, 4);
        }
    }
    for (; k + 4 <= count; k += 4, out += 4 * kPixel) {
        const std::int64_t o0 = offsets[k], o1 = offsets[k + 1];
        const std::int64_t o2 = offsets[k + 2], o3 = offsets[k + 3];
        copyPixel<L>(out, src + o0);
        copyPixel<L>(out + kPixel, src + o1);
        copyPixel<L>(out + 2 * kPixel, src + o2);
        copyPixel<L>(out + 3 * kPixel, src + o3);
    }
    for (; k < count; ++k, out += kPixel) copyPixel<L>(out, src + offsets[k]);
}

// Steps through a span in chunks: the source offsets of a chunk from the fixed-point positions
// with one flag for the whole chunk; in a flagged chunk (rare) the pixels near an edge are
// decided again exactly; then the pixels are copied.
template <Layout L>
void stepSpan(const RotateJob& job, const RowSampler& sampler, std::uint32_t margin,
              OffsetStepper wide, std::int64_t y, std::int64_t first, std::int64_t last) {
    constexpr int kPixel = LayoutTraits<L>::kPixelBytes;
    constexpr std::int64_t kChunk = 256;
    double xs, ys;
    sourcePosition(job.turn, job.xShift, job.yShift, first, y, xs, ys);
    FixedPoint at{std::llround(xs * kFixedOne) + kFixedHalf,
                  std::llround(ys * kFixedOne) + kFixedHalf};
    const Stepping stepping{
        {std::llround(job.turn.cosine * kFixedOne), std::llround(job.turn.sine * kFixedOne)},
        margin,
        0xFFFFFFFFu - 2 * margin,
        job.srcStep};
    std::uint8_t* out = job.dst + y * job.dstStep + first * kPixel;
    // The last pixel of the source rectangle may end the caller's buffer.
    const std::int64_t wordLimit = job.srcY1 * job.srcStep + job.srcX1 * kPixel;
    std::int64_t offsets[kChunk];
    for (std::int64_t x = first; x <= last; x += kChunk) {
        const std::int64_t count = std::min(kChunk, last - x + 1);
        FixedPoint p = at;
        if (chunkOffsets<kPixel>(p, stepping, wide, count, offsets)) {
            FixedPoint q = at;
            for (std::int64_t k = 0; k < count;
                 ++k, q.x += stepping.step.x, q.y += stepping.step.y) {
                if (!nearPixelEdge(q, stepping)) continue;
                std::int64_t col, row;
                sampler.exact(x + k, y, col, row);
                offsets[k] = row * job.srcStep + col * kPixel;
            }
        }
        // Rows are monotone along the chunk, and an exact decision moves one by at most one.
        const bool aboveLastRow = (std::max(at.y, p.y) >> 32) + 1 < job.srcY1;
        gatherPixels<L>(out, job.src, offsets, count,
                        aboveLastRow ? kEveryWordReadable : wordLimit);
        at = p;
        out += count * kPixel;
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
    constexpr int kPixel = LayoutTraits<L>::kPixelBytes;
    // The wide stepper computes offsets in 32 bits.
    const bool narrowOffsets =
        (job.srcY1 + 1) * job.srcStep + (job.srcX1 + 1) * kPixel < (std::int64_t{1} << 31);
    const OffsetStepper wide = narrowOffsets ? offsetStepperWide(kPixel) : nullptr;
    for (std::int64_t y = job.dstY0; y <= job.dstY1; ++y) {
        std::int64_t first, last;
        sampler.span(y, first, last);
        if (first > last) continue;
        if (stepping) {
            stepSpan<L>(job, sampler, margin, wide, y, first, last);
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
