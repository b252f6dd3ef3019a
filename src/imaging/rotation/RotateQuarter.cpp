// Exact quarter turns with whole-number shifts. The map then sends pixel centres onto pixel
// centres, so the rotation is a permutation copy: 0 and 180 degrees copy rows forward or
// reversed, 90 and 270 degrees transpose in cache-sized tiles of square blocks (16-byte vector
// transposes where the target has them). No floating point is used per pixel.
#include <algorithm>

#include "imaging/rotation/PixelRows.h"
#include "imaging/rotation/RotationInternal.h"

namespace tamra::imaging::detail {

namespace {

// Source pixel of destination (x, y): column = colX*x + colY*y + col0, row likewise. The covered
// destination rectangle [x0, x1] x [y0, y1] only holds pixels whose source lies in the clipped
// source rectangle, so every offset formed from it is inside the source image.
struct QuarterPlan {
    const std::uint8_t* src;
    std::int64_t srcStep;
    std::uint8_t* dst;
    std::int64_t dstStep;
    std::int64_t colX, colY, col0;
    std::int64_t rowX, rowY, row0;
    std::int64_t x0, x1, y0, y1;
    std::int64_t srcX1;  // last column of the clipped source
};

std::int64_t sourceOffset(const QuarterPlan& p, std::int64_t x, std::int64_t y,
                          std::int64_t pixelBytes) {
    const std::int64_t col = p.colX * x + p.colY * y + p.col0;
    const std::int64_t row = p.rowX * x + p.rowY * y + p.row0;
    return row * p.srcStep + col * pixelBytes;
}

// Destination range of one coordinate whose source value is sign * d + origin, restricted to
// the source range [lo, hi].
void coveredRange(std::int64_t sign, std::int64_t origin, std::int64_t lo, std::int64_t hi,
                  std::int64_t& first, std::int64_t& last) {
    first = sign > 0 ? lo - origin : origin - hi;
    last = sign > 0 ? hi - origin : origin - lo;
}

QuarterPlan planQuarter(const RotateJob& job) {
    const auto xs = static_cast<std::int64_t>(job.xShift);
    const auto ys = static_cast<std::int64_t>(job.yShift);
    QuarterPlan p{job.src, job.srcStep, job.dst, job.dstStep, 0, 0, 0,        0,
                  0,       0,           0,       0,           0, 0, job.srcX1};
    // Inverse map: column = c*(x - xs) - s*(y - ys), row = s*(x - xs) + c*(y - ys).
    const std::int64_t c = static_cast<std::int64_t>(job.turn.cosine);
    const std::int64_t s = static_cast<std::int64_t>(job.turn.sine);
    p.colX = c;
    p.colY = -s;
    p.col0 = -c * xs + s * ys;
    p.rowX = s;
    p.rowY = c;
    p.row0 = -s * xs - c * ys;
    // Column depends on x alone (c != 0) or on y alone (s != 0); the row on the other axis.
    std::int64_t colFirst, colLast, rowFirst, rowLast;
    coveredRange(c != 0 ? c : -s, p.col0, job.srcX0, job.srcX1, colFirst, colLast);
    coveredRange(c != 0 ? c : s, p.row0, job.srcY0, job.srcY1, rowFirst, rowLast);
    p.x0 = std::max(job.dstX0, c != 0 ? colFirst : rowFirst);
    p.x1 = std::min(job.dstX1, c != 0 ? colLast : rowLast);
    p.y0 = std::max(job.dstY0, c != 0 ? rowFirst : colFirst);
    p.y1 = std::min(job.dstY1, c != 0 ? rowLast : colLast);
    return p;
}

template <Layout L>
void copyRows(const QuarterPlan& p, bool reversed) {
    constexpr int kPixel = LayoutTraits<L>::kPixelBytes;
    constexpr int kCopy = LayoutTraits<L>::kCopyBytes;
    const std::int64_t count = p.x1 - p.x0 + 1;
    for (std::int64_t y = p.y0; y <= p.y1; ++y) {
        std::uint8_t* out = p.dst + y * p.dstStep + p.x0 * kPixel;
        const std::uint8_t* in = p.src + sourceOffset(p, p.x0, y, kPixel);
        if (reversed) {
            reverseRow<kPixel, kCopy>(out, in - (count - 1) * kPixel, count);
        } else {
            copyRow<kPixel, kCopy>(out, in, count);
        }
    }
}

// Gathers the destination block [xa, xb] x [ya, yb] one pixel at a time.
template <Layout L>
void gatherBlock(const QuarterPlan& p, std::int64_t xa, std::int64_t xb, std::int64_t ya,
                 std::int64_t yb) {
    constexpr int kPixel = LayoutTraits<L>::kPixelBytes;
    const std::int64_t step = p.rowX * p.srcStep + p.colX * kPixel;
    for (std::int64_t y = ya; y <= yb; ++y) {
        std::uint8_t* out = p.dst + y * p.dstStep + xa * kPixel;
        std::int64_t offset = sourceOffset(p, xa, y, kPixel);
        std::int64_t x = xa;
        if constexpr (L == Layout::C3) {
            // Along a row of a transposing turn the source column is fixed. Unless it is the
            // last one, a 4-byte load stays inside the source row; each 4-byte store's extra
            // byte is rewritten by the next pixel's store, so the block's last pixel copies 3.
            const std::int64_t col = p.colX * xa + p.colY * y + p.col0;
            if (p.colX == 0 && col < p.srcX1) {
                for (; x < xb; ++x, out += kPixel, offset += step) {
                    std::uint32_t pixel;
                    std::memcpy(&pixel, p.src + offset, 4);
                    std::memcpy(out, &pixel, 4);
                }
            }
        }
        for (; x <= xb; ++x, out += kPixel, offset += step) copyPixel<L>(out, p.src + offset);
    }
}

// Square blocks of a transposing turn. Row j of the block is loaded from the source row of
// destination column xa + j, starting at the smallest source column of the block; after the
// transpose, row i holds source column i of the block in destination column order.
#ifdef TAMRA_IMAGING_SSE2
template <Layout L>
constexpr std::int64_t kBlockSide = L == Layout::C3 ? 0 : 16 / LayoutTraits<L>::kPixelBytes;

template <Layout L>
void transposeBlock(const QuarterPlan& p, std::int64_t xa, std::int64_t ya) {
    constexpr int kPixel = LayoutTraits<L>::kPixelBytes;
    constexpr int kSide = 16 / kPixel;
    const bool columnsRise = p.colY > 0;
    const std::int64_t firstRow = columnsRise ? ya : ya + kSide - 1;
    __m128i rows[kSide];
    for (int j = 0; j < kSide; ++j) {
        rows[j] = loadVector(p.src + sourceOffset(p, xa + j, firstRow, kPixel));
    }
    transposeVectors<kPixel>(rows);
    for (int i = 0; i < kSide; ++i) {
        const std::int64_t y = columnsRise ? ya + i : ya + kSide - 1 - i;
        std::uint8_t* out = p.dst + y * p.dstStep + xa * kPixel;
        if constexpr (L == Layout::AC4) {
            storeKeepingFourth(out, rows[i]);
        } else {
            storeVector(out, rows[i]);
        }
    }
}
#else
template <Layout L>
constexpr std::int64_t kBlockSide = L == Layout::C1 ? 8 : 0;

template <Layout L>
void transposeBlock(const QuarterPlan& p, std::int64_t xa, std::int64_t ya) {
    const bool columnsRise = p.colY > 0;
    const std::int64_t firstRow = columnsRise ? ya : ya + 7;
    std::uint64_t words[8];
    for (int j = 0; j < 8; ++j) words[j] = load64(p.src + sourceOffset(p, xa + j, firstRow, 1));
    transpose8x8(words);
    for (int i = 0; i < 8; ++i) {
        const std::int64_t y = columnsRise ? ya + i : ya + 7 - i;
        store64(p.dst + y * p.dstStep + xa, words[i]);
    }
}
#endif

// Square side-by-side blocks of the tile by block(p, x, y), the uncovered edges by gathers.
template <Layout L, class Block>
void transposeInBlocks(const QuarterPlan& p, std::int64_t side, Block block, std::int64_t xa,
                       std::int64_t xb, std::int64_t ya, std::int64_t yb) {
    const std::int64_t xFull = xa + (xb - xa + 1) / side * side;
    const std::int64_t yFull = ya + (yb - ya + 1) / side * side;
    for (std::int64_t y = ya; y < yFull; y += side) {
        for (std::int64_t x = xa; x < xFull; x += side) block(p, x, y);
    }
    if (xFull <= xb) gatherBlock<L>(p, xFull, xb, ya, yb);
    if (yFull <= yb && xa < xFull) gatherBlock<L>(p, xa, xFull - 1, yFull, yb);
}

// The wide kernels' blocks (16 x 16 for 2-byte pixels, 8 x 8 for 3- and 4-byte ones), null
// where the processor lacks them. Chosen once: the processor does not change between frames.
template <Layout L>
constexpr std::int64_t kWideSide = L == Layout::C2 ? 16 : 8;

template <Layout L>
BlockTranspose wideBlockTranspose() {
    if constexpr (L == Layout::C2) {
        static const BlockTranspose chosen = pairBlockTransposeWide();
        return chosen;
    } else if constexpr (L == Layout::C3) {
        static const BlockTranspose chosen = tripleBlockTransposeWide();
        return chosen;
    } else if constexpr (L == Layout::AC4) {
        static const BlockTranspose chosen = quadBlockTransposeWide(true);
        return chosen;
    } else {
        return nullptr;
    }
}

// One block through a wide kernel, laid out as transposeBlock lays out its blocks.
template <Layout L>
void wideBlock(const QuarterPlan& p, BlockTranspose transpose, std::int64_t xa, std::int64_t ya) {
    constexpr int kPixel = LayoutTraits<L>::kPixelBytes;
    const bool columnsRise = p.colY > 0;
    const std::int64_t firstRow = columnsRise ? ya : ya + kWideSide<L> - 1;
    const std::int64_t from = sourceOffset(p, xa, firstRow, kPixel);
    const std::int64_t srcStride = sourceOffset(p, xa + 1, firstRow, kPixel) - from;
    transpose(p.src + from, srcStride, p.dst + firstRow * p.dstStep + xa * kPixel,
              columnsRise ? p.dstStep : -p.dstStep);
}

template <Layout L>
void transposeTile(const QuarterPlan& p, std::int64_t xa, std::int64_t xb, std::int64_t ya,
                   std::int64_t yb) {
    if (const BlockTranspose wide = wideBlockTranspose<L>()) {
        const auto block = [wide](const QuarterPlan& plan, std::int64_t x, std::int64_t y) {
            wideBlock<L>(plan, wide, x, y);
        };
        return transposeInBlocks<L>(p, kWideSide<L>, block, xa, xb, ya, yb);
    }
    constexpr std::int64_t kSide = kBlockSide<L>;
    if constexpr (kSide > 0) {
        transposeInBlocks<L>(p, kSide, transposeBlock<L>, xa, xb, ya, yb);
    } else {
        gatherBlock<L>(p, xa, xb, ya, yb);
    }
}

template <Layout L>
void transposeRows(const QuarterPlan& p) {
    // Large tiles: every source row of a tile sits on its own page, and each band of tiles
    // revisits all of them, so page-table walks fall with the tile size; a 256 x 256 tile of
    // source and destination still fits the second-level cache.
    constexpr std::int64_t kTile = 256;
    for (std::int64_t ty = p.y0; ty <= p.y1; ty += kTile) {
        const std::int64_t tyEnd = std::min(p.y1, ty + kTile - 1);
        for (std::int64_t tx = p.x0; tx <= p.x1; tx += kTile) {
            transposeTile<L>(p, tx, std::min(p.x1, tx + kTile - 1), ty, tyEnd);
        }
    }
}

template <Layout L>
void copyQuarter(const RotateJob& job) {
    const QuarterPlan plan = planQuarter(job);
    if (plan.x0 > plan.x1 || plan.y0 > plan.y1) return;
    if (job.turn.quarter == 0 || job.turn.quarter == 2) {
        copyRows<L>(plan, job.turn.quarter == 2);
    } else {
        transposeRows<L>(plan);
    }
}

}  // namespace

void copyQuarterTurn(const RotateJob& job, Layout layout) {
    switch (layout) {
        case Layout::C1:
            copyQuarter<Layout::C1>(job);
            break;
        case Layout::C2:
            copyQuarter<Layout::C2>(job);
            break;
        case Layout::C3:
            copyQuarter<Layout::C3>(job);
            break;
        case Layout::AC4:
            copyQuarter<Layout::AC4>(job);
            break;
    }
}

}  // namespace tamra::imaging::detail
