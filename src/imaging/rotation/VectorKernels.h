// 16-byte vector kernels for the permutation copies, on targets where SSE2 is always present
// (every x86-64 processor): square block transposes and reversed copies of pixel runs. Every
// kernel moves exactly the bytes of its scalar counterpart in PixelRows.h.
#pragma once

#include <cstdint>

#if defined(__SSE2__) || defined(_M_X64)
#define TAMRA_IMAGING_SSE2 1
#include <emmintrin.h>
#endif

namespace tamra::imaging::detail {

// Reverses the order of count one-byte pixels in whole 32-byte groups where the processor has
// 32-byte vectors (dst pixel i = src pixel count - 1 - i); returns how many pixels it reversed,
// always a multiple of 32 and 0 elsewhere. The rest is left to the caller.
std::int64_t reverseBytesWide(std::uint8_t* dst, const std::uint8_t* src, std::int64_t count);
// The same for three-byte pixels, 16 at a time, where the processor has byte shuffles.
std::int64_t reverseTriplesWide(std::uint8_t* dst, const std::uint8_t* src, std::int64_t count);
// The same for four-byte pixels, 8 at a time; keepFourth writes only their first three bytes.
std::int64_t reverseQuadsWide(std::uint8_t* dst, const std::uint8_t* src, std::int64_t count,
                              bool keepFourth);

// Transposes an 8 x 8 block of pixels: block row j is read from src + j x srcStride and block row
// i written to dst + i x dstStride, destination pixel (i, j) taking source pixel (j, i). Only
// the block's own bytes are read and written; keeping the fourth byte of 4-byte pixels leaves
// it as the destination held it.
using BlockTranspose = void (*)(const std::uint8_t* src, std::int64_t srcStride, std::uint8_t* dst,
                                std::int64_t dstStride);
// The transposes of 3- and 4-byte pixels where the processor has 32-byte vectors; null
// elsewhere, and the caller then moves the pixels its own way.
BlockTranspose tripleBlockTransposeWide();
BlockTranspose quadBlockTransposeWide(bool keepFourth);
// The same for a 16 x 16 block of 2-byte pixels.
BlockTranspose pairBlockTransposeWide();

// Nearest-neighbour sampling along a rotated row: positions in 32.32 fixed point (plus one half)
// advanced by a fixed step, and the window [margin, margin + safeWidth] of fractions far enough
// from a pixel edge for the whole part to be the exact decision.
struct FixedStepping {
    std::int64_t x, y;
    std::int64_t stepX, stepY;
    std::uint32_t margin;
    std::uint32_t safeWidth;
    std::int64_t srcStep;
};
// Writes the source byte offsets (row x srcStep + column x pixel bytes) of the first pixels of
// count, a multiple of the vector width, and returns how many; sets anyNearEdge when one of their
// fractions lies outside the safe window. Callers guarantee every offset of a pixel whose
// fraction is safe fits in 31 bits.
using OffsetStepper = std::int64_t (*)(const FixedStepping& stepping, std::int64_t count,
                                       std::int64_t* offsets, bool& anyNearEdge);
// The stepper for pixels of 1 to 4 bytes where the processor has 32-byte vectors; null elsewhere.
OffsetStepper offsetStepperWide(int pixelBytes);

}  // namespace tamra::imaging::detail

#ifdef TAMRA_IMAGING_SSE2

namespace tamra::imaging::detail {

inline __m128i loadVector(const std::uint8_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

inline void storeVector(std::uint8_t* p, __m128i v) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
}

template <int ElementBytes>
inline __m128i unpackLow(__m128i a, __m128i b) {
    if constexpr (ElementBytes == 1) {
        return _mm_unpacklo_epi8(a, b);
    } else if constexpr (ElementBytes == 2) {
        return _mm_unpacklo_epi16(a, b);
    } else {
        static_assert(ElementBytes == 4, "elements of 1, 2 or 4 bytes");
        return _mm_unpacklo_epi32(a, b);
    }
}

template <int ElementBytes>
inline __m128i unpackHigh(__m128i a, __m128i b) {
    if constexpr (ElementBytes == 1) {
        return _mm_unpackhi_epi8(a, b);
    } else if constexpr (ElementBytes == 2) {
        return _mm_unpackhi_epi16(a, b);
    } else {
        static_assert(ElementBytes == 4, "elements of 1, 2 or 4 bytes");
        return _mm_unpackhi_epi32(a, b);
    }
}

// Transposes an n x n block of ElementBytes elements, n = 16 / ElementBytes, held one row per
// vector. Interleaving row i with row i + n/2 into rows 2i and 2i + 1 rotates the bits of the
// (row, column) index left by one; log2(n) rounds swap row and column.
template <int ElementBytes>
inline void transposeVectors(__m128i (&rows)[16 / ElementBytes]) {
    constexpr int kCount = 16 / ElementBytes;
    for (int round = 0; (1 << round) < kCount; ++round) {
        __m128i next[kCount];
        for (int i = 0; i < kCount / 2; ++i) {
            next[2 * i] = unpackLow<ElementBytes>(rows[i], rows[i + kCount / 2]);
            next[2 * i + 1] = unpackHigh<ElementBytes>(rows[i], rows[i + kCount / 2]);
        }
        for (int i = 0; i < kCount; ++i) rows[i] = next[i];
    }
}

// Pixels of 1, 2 or 4 bytes of a vector in reverse order.
template <int PixelBytes>
inline __m128i reversePixels(__m128i v) {
    v = _mm_shuffle_epi32(v, 0x1B);
    if constexpr (PixelBytes <= 2) {
        v = _mm_shufflehi_epi16(_mm_shufflelo_epi16(v, 0xB1), 0xB1);
    }
    if constexpr (PixelBytes == 1) {
        v = _mm_or_si128(_mm_slli_epi16(v, 8), _mm_srli_epi16(v, 8));
    }
    return v;
}

// Stores the first three bytes of each 4-byte pixel, keeping every fourth byte of dst.
inline void storeKeepingFourth(std::uint8_t* dst, __m128i v) {
    const __m128i colour = _mm_set1_epi32(0x00FFFFFF);
    const __m128i kept = _mm_andnot_si128(colour, loadVector(dst));
    storeVector(dst, _mm_or_si128(_mm_and_si128(v, colour), kept));
}

}  // namespace tamra::imaging::detail

#endif
