// Kernels for instruction sets beyond the baseline, chosen at run time: the library is built for
// the baseline, so these are compiled for their instruction set alone and called only after the
// processor has been asked.
#include "imaging/rotation/VectorKernels.h"

#if defined(__GNUC__) && defined(__x86_64__)
#include <immintrin.h>

#include <array>

namespace tamra::imaging::detail {

namespace {

__attribute__((target("avx2"))) std::int64_t reverseBytesAvx2(std::uint8_t* dst,
                                                              const std::uint8_t* src,
                                                              std::int64_t count) {
    const __m256i reversed = _mm256_setr_epi8(15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0,
                                              15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0);
    std::int64_t i = 0;
    for (; i + 32 <= count; i += 32) {
        __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + count - i - 32));
        v = _mm256_shuffle_epi8(v, reversed);   // within each 16-byte half
        v = _mm256_permute4x64_epi64(v, 0x4E);  // then the halves
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i), v);
    }
    return i;
}

__attribute__((target("avx2"))) std::int64_t reverseQuadsAvx2(std::uint8_t* dst,
                                                              const std::uint8_t* src,
                                                              std::int64_t count, bool keepFourth) {
    const __m256i reversed = _mm256_setr_epi32(7, 6, 5, 4, 3, 2, 1, 0);
    const __m256i colour = _mm256_set1_epi32(0x00FFFFFF);
    std::int64_t i = 0;
    for (; i + 8 <= count; i += 8) {
        __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + (count - i - 8) * 4));
        v = _mm256_permutevar8x32_epi32(v, reversed);
        __m256i* out = reinterpret_cast<__m256i*>(dst + i * 4);
        if (keepFourth) {
            v = _mm256_or_si256(_mm256_and_si256(v, colour),
                                _mm256_andnot_si256(colour, _mm256_loadu_si256(out)));
        }
        _mm256_storeu_si256(out, v);
    }
    return i;
}

// Byte shuffles that reverse 16 three-byte pixels held in three vectors: output vector o takes
// from input vector v the lanes of table[o][v], 0x80 marking a lane that comes from elsewhere.
using TripleShuffles = std::array<std::array<std::array<std::uint8_t, 16>, 3>, 3>;

constexpr TripleShuffles tripleShuffles() {
    TripleShuffles table{};
    for (int o = 0; o < 3; ++o) {
        for (int v = 0; v < 3; ++v) {
            for (int k = 0; k < 16; ++k) {
                const int j = 16 * o + k;                   // output byte
                const int from = 3 * (15 - j / 3) + j % 3;  // its byte in the input
                table[o][v][k] = static_cast<std::uint8_t>(from / 16 == v ? from % 16 : 0x80);
            }
        }
    }
    return table;
}

__attribute__((target("ssse3"))) std::int64_t reverseTriplesSsse3(std::uint8_t* dst,
                                                                  const std::uint8_t* src,
                                                                  std::int64_t count) {
    static constexpr TripleShuffles kTable = tripleShuffles();
    __m128i shuffles[3][3];
    for (int o = 0; o < 3; ++o) {
        for (int v = 0; v < 3; ++v) {
            shuffles[o][v] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(kTable[o][v].data()));
        }
    }
    std::int64_t i = 0;
    for (; i + 16 <= count; i += 16) {
        const std::uint8_t* from = src + (count - i - 16) * 3;
        __m128i in[3];
        for (int v = 0; v < 3; ++v) {
            in[v] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 16 * v));
        }
        for (int o = 0; o < 3; ++o) {
            const __m128i out = _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(in[0], shuffles[o][0]),
                                                          _mm_shuffle_epi8(in[1], shuffles[o][1])),
                                             _mm_shuffle_epi8(in[2], shuffles[o][2]));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i * 3 + 16 * o), out);
        }
    }
    return i;
}

// 16 x 16 two-byte pixels: each half of the rows is transposed as two 8 x 8 blocks side by side
// in the 16-byte lanes, and the lanes are then exchanged between the halves.
__attribute__((target("avx2"))) void transposePairsAvx2(const std::uint8_t* src,
                                                        std::int64_t srcStride, std::uint8_t* dst,
                                                        std::int64_t dstStride) {
    __m256i halves[2][8];
    for (int h = 0; h < 2; ++h) {
        __m256i* r = halves[h];
        for (int j = 0; j < 8; ++j) {
            r[j] =
                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + (8 * h + j) * srcStride));
        }
        // Interleaving row i with row i + 4 into rows 2i and 2i + 1, three times, swaps row and
        // column of each lane's 8 x 8 block.
        for (int round = 0; round < 3; ++round) {
            __m256i next[8];
            for (int i = 0; i < 4; ++i) {
                next[2 * i] = _mm256_unpacklo_epi16(r[i], r[i + 4]);
                next[2 * i + 1] = _mm256_unpackhi_epi16(r[i], r[i + 4]);
            }
            for (int i = 0; i < 8; ++i) r[i] = next[i];
        }
    }
    for (int i = 0; i < 8; ++i) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i * dstStride),
                            _mm256_permute2x128_si256(halves[0][i], halves[1][i], 0x20));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + (i + 8) * dstStride),
                            _mm256_permute2x128_si256(halves[0][i], halves[1][i], 0x31));
    }
}

// Eight rows of eight 32-bit lanes: afterwards row i holds what was lane i of every row.
__attribute__((target("avx2"), always_inline)) inline void transposeLanes(__m256i (&r)[8]) {
    __m256i t[8], u[8];
    for (int k = 0; k < 8; k += 2) {
        t[k] = _mm256_unpacklo_epi32(r[k], r[k + 1]);
        t[k + 1] = _mm256_unpackhi_epi32(r[k], r[k + 1]);
    }
    for (int k = 0; k < 8; k += 4) {
        u[k] = _mm256_unpacklo_epi64(t[k], t[k + 2]);
        u[k + 1] = _mm256_unpackhi_epi64(t[k], t[k + 2]);
        u[k + 2] = _mm256_unpacklo_epi64(t[k + 1], t[k + 3]);
        u[k + 3] = _mm256_unpackhi_epi64(t[k + 1], t[k + 3]);
    }
    for (int k = 0; k < 4; ++k) {
        r[k] = _mm256_permute2x128_si256(u[k], u[k + 4], 0x20);
        r[k + 4] = _mm256_permute2x128_si256(u[k], u[k + 4], 0x31);
    }
}

// 3-byte pixels travel one per 32-bit lane: 8 pixels (24 bytes) are spread with two 16-byte
// loads that stay inside them, and packed back to 24 bytes after the transpose.
__attribute__((target("avx2"))) void transposeTriplesAvx2(const std::uint8_t* src,
                                                          std::int64_t srcStride, std::uint8_t* dst,
                                                          std::int64_t dstStride) {
    const __m256i spread = _mm256_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1, 4,
                                            5, 6, -1, 7, 8, 9, -1, 10, 11, 12, -1, 13, 14, 15, -1);
    const __m256i pack = _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1, 0,
                                          1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
    const __m256i join = _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 7, 7);
    __m256i rows[8];
    for (int j = 0; j < 8; ++j) {
        const std::uint8_t* p = src + j * srcStride;
        const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 8));
        rows[j] = _mm256_shuffle_epi8(_mm256_set_m128i(high, low), spread);
    }
    transposeLanes(rows);
    for (int i = 0; i < 8; ++i) {
        const __m256i packed =
            _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(rows[i], pack), join);
        std::uint8_t* out = dst + i * dstStride;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(packed));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 16), _mm256_extracti128_si256(packed, 1));
    }
}

template <bool kKeepFourth>
__attribute__((target("avx2"))) void transposeQuadsAvx2(const std::uint8_t* src,
                                                        std::int64_t srcStride, std::uint8_t* dst,
                                                        std::int64_t dstStride) {
    __m256i rows[8];
    for (int j = 0; j < 8; ++j) {
        rows[j] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + j * srcStride));
    }
    transposeLanes(rows);
    const __m256i colour = _mm256_set1_epi32(0x00FFFFFF);
    for (int i = 0; i < 8; ++i) {
        auto* out = reinterpret_cast<__m256i*>(dst + i * dstStride);
        __m256i v = rows[i];
        if constexpr (kKeepFourth) {
            v = _mm256_or_si256(_mm256_and_si256(v, colour),
                                _mm256_andnot_si256(colour, _mm256_loadu_si256(out)));
        }
        _mm256_storeu_si256(out, v);
    }
}

// Lane k of whole and fraction: the 32.32 position start + k x step, fraction top bit flipped.
__attribute__((target("avx2"))) inline void splitLanes(std::int64_t start, std::int64_t step,
                                                       __m256i& whole, __m256i& fraction) {
    alignas(32) std::int32_t w[8], f[8];
    std::int64_t v = start;
    for (int k = 0; k < 8; ++k, v += step) {
        w[k] = static_cast<std::int32_t>(v >> 32);
        f[k] = static_cast<std::int32_t>(static_cast<std::uint32_t>(v) ^ 0x80000000u);
    }
    whole = _mm256_load_si256(reinterpret_cast<const __m256i*>(w));
    fraction = _mm256_load_si256(reinterpret_cast<const __m256i*>(f));
}

// Source offsets of nearest-neighbour samples, eight lanes at a time. The 32.32 positions are
// split into a 32-bit whole part and a 32-bit fraction kept with its top bit flipped, so that a
// signed compare tells an unsigned carry out of the fraction and the distance from a pixel edge.
template <int kPixelBytes>
__attribute__((target("avx2"))) std::int64_t stepOffsetsAvx2(const FixedStepping& s,
                                                             std::int64_t count,
                                                             std::int64_t* offsets,
                                                             bool& anyNearEdge) {
    const __m256i bias = _mm256_set1_epi32(static_cast<int>(0x80000000u));
    __m256i wx, fx, wy, fy;
    splitLanes(s.x, s.stepX, wx, fx);
    splitLanes(s.y, s.stepY, wy, fy);
    const std::int64_t eightX = 8 * s.stepX, eightY = 8 * s.stepY;
    const __m256i stepWx = _mm256_set1_epi32(static_cast<std::int32_t>(eightX >> 32));
    const __m256i stepFx = _mm256_set1_epi32(static_cast<std::int32_t>(eightX));
    const __m256i stepWy = _mm256_set1_epi32(static_cast<std::int32_t>(eightY >> 32));
    const __m256i stepFy = _mm256_set1_epi32(static_cast<std::int32_t>(eightY));
    const __m256i margin = _mm256_set1_epi32(static_cast<std::int32_t>(s.margin));
    const __m256i limit = _mm256_xor_si256(_mm256_set1_epi32(static_cast<int>(s.safeWidth)), bias);
    const __m256i rowBytes = _mm256_set1_epi32(static_cast<std::int32_t>(s.srcStep));
    __m256i flags = _mm256_setzero_si256();
    std::int64_t k = 0;
    for (; k + 8 <= count; k += 8) {
        flags = _mm256_or_si256(
            flags, _mm256_or_si256(_mm256_cmpgt_epi32(_mm256_sub_epi32(fx, margin), limit),
                                   _mm256_cmpgt_epi32(_mm256_sub_epi32(fy, margin), limit)));
        __m256i colBytes = wx;
        if constexpr (kPixelBytes == 2) colBytes = _mm256_add_epi32(wx, wx);
        if constexpr (kPixelBytes == 3) colBytes = _mm256_add_epi32(wx, _mm256_add_epi32(wx, wx));
        if constexpr (kPixelBytes == 4) colBytes = _mm256_slli_epi32(wx, 2);
        const __m256i offset = _mm256_add_epi32(_mm256_mullo_epi32(wy, rowBytes), colBytes);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(offsets + k),
                            _mm256_cvtepi32_epi64(_mm256_castsi256_si128(offset)));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(offsets + k + 4),
                            _mm256_cvtepi32_epi64(_mm256_extracti128_si256(offset, 1)));
        // A carry out of the fraction shows as the biased fraction falling.
        const __m256i nextFx = _mm256_add_epi32(fx, stepFx);
        const __m256i nextFy = _mm256_add_epi32(fy, stepFy);
        wx = _mm256_sub_epi32(_mm256_add_epi32(wx, stepWx), _mm256_cmpgt_epi32(fx, nextFx));
        wy = _mm256_sub_epi32(_mm256_add_epi32(wy, stepWy), _mm256_cmpgt_epi32(fy, nextFy));
        fx = nextFx;
        fy = nextFy;
    }
    anyNearEdge = anyNearEdge || !_mm256_testz_si256(flags, flags);
    return k;
}

bool hasAvx2() {
    static const bool has = __builtin_cpu_supports("avx2") != 0;
    return has;
}

bool hasSsse3() {
    static const bool has = __builtin_cpu_supports("ssse3") != 0;
    return has;
}

}  // namespace

std::int64_t reverseBytesWide(std::uint8_t* dst, const std::uint8_t* src, std::int64_t count) {
    return hasAvx2() ? reverseBytesAvx2(dst, src, count) : 0;
}

std::int64_t reverseTriplesWide(std::uint8_t* dst, const std::uint8_t* src, std::int64_t count) {
    return hasSsse3() ? reverseTriplesSsse3(dst, src, count) : 0;
}

std::int64_t reverseQuadsWide(std::uint8_t* dst, const std::uint8_t* src, std::int64_t count,
                              bool keepFourth) {
    return hasAvx2() ? reverseQuadsAvx2(dst, src, count, keepFourth) : 0;
}

BlockTranspose tripleBlockTransposeWide() {
    return hasAvx2() ? transposeTriplesAvx2 : nullptr;
}

BlockTranspose pairBlockTransposeWide() {
    return hasAvx2() ? transposePairsAvx2 : nullptr;
}

OffsetStepper offsetStepperWide(int pixelBytes) {
    if (!hasAvx2()) return nullptr;
    switch (pixelBytes) {
        case 1:
            return stepOffsetsAvx2<1>;
        case 2:
            return stepOffsetsAvx2<2>;
        case 3:
            return stepOffsetsAvx2<3>;
        case 4:
            return stepOffsetsAvx2<4>;
        default:
            return nullptr;
    }
}

BlockTranspose quadBlockTransposeWide(bool keepFourth) {
    if (!hasAvx2()) return nullptr;
    return keepFourth ? transposeQuadsAvx2<true> : transposeQuadsAvx2<false>;
}

}  // namespace tamra::imaging::detail

#else

namespace tamra::imaging::detail {

std::int64_t reverseBytesWide(std::uint8_t*, const std::uint8_t*, std::int64_t) {
    return 0;
}

std::int64_t reverseTriplesWide(std::uint8_t*, const std::uint8_t*, std::int64_t) {
    return 0;
}

std::int64_t reverseQuadsWide(std::uint8_t*, const std::uint8_t*, std::int64_t, bool) {
    return 0;
}

BlockTranspose tripleBlockTransposeWide() {
    return nullptr;
}

BlockTranspose pairBlockTransposeWide() {
    return nullptr;
}

OffsetStepper offsetStepperWide(int) {
    return nullptr;
}

BlockTranspose quadBlockTransposeWide(bool) {
    return nullptr;
}

}  // namespace tamra::imaging::detail

#endif
