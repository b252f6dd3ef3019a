// Row kernels shared by the rotation copies and the mirror: forward and reversed pixel copies,
// and the 8 x 8 byte transpose of the quarter turns. Pixels are PixelBytes apart; CopyBytes of
// each are written (fewer than PixelBytes leaves the rest of each destination pixel alone).
#pragma once

#include <cstdint>
#include <cstring>

#include "imaging/rotation/VectorKernels.h"

// The word-level kernels read byte k of a loaded word at bits 8k to 8k + 7.
#if defined(__BYTE_ORDER__) && defined(__ORDER_LITTLE_ENDIAN__) && \
    __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "the pixel row kernels assume a little-endian target"
#endif

namespace tamra::imaging::detail {

inline std::uint64_t load64(const std::uint8_t* p) {
    std::uint64_t value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

inline void store64(std::uint8_t* p, std::uint64_t value) {
    std::memcpy(p, &value, sizeof value);
}

inline std::uint64_t byteSwap64(std::uint64_t v) {
#if defined(__GNUC__) || defined(__clang__)
    return __builtin_bswap64(v);
#else
    v = ((v & 0x00FF00FF00FF00FFull) << 8) | ((v >> 8) & 0x00FF00FF00FF00FFull);
    v = ((v & 0x0000FFFF0000FFFFull) << 16) | ((v >> 16) & 0x0000FFFF0000FFFFull);
    return (v << 32) | (v >> 32);
#endif
}

// Bytes of a loaded word in memory order, reversed in units of PixelBytes (1, 2 or 4).
template <int PixelBytes>
inline std::uint64_t reverseUnits(std::uint64_t v) {
    if constexpr (PixelBytes == 1) {
        return byteSwap64(v);
    } else if constexpr (PixelBytes == 2) {
        v = byteSwap64(v);
        return ((v & 0x00FF00FF00FF00FFull) << 8) | ((v >> 8) & 0x00FF00FF00FF00FFull);
    } else {
        static_assert(PixelBytes == 4, "units of 1, 2 or 4 bytes");
        return (v << 32) | (v >> 32);
    }
}

template <int PixelBytes, int CopyBytes>
inline void copyRow(std::uint8_t* dst, const std::uint8_t* src, std::int64_t count) {
    if constexpr (PixelBytes == CopyBytes) {
        std::memcpy(dst, src, static_cast<std::size_t>(count) * PixelBytes);
    } else {
        for (std::int64_t i = 0; i < count; ++i) {
            std::memcpy(dst + i * PixelBytes, src + i * PixelBytes, CopyBytes);
        }
    }
}

// Three-byte pixels from pixel i on reversed with one 4-byte load and store each. The extra byte
// loaded belongs to the next source pixel (inside the row for every pixel but the last one,
// which only destination pixel 0 reads), and the extra byte stored lands on the next destination
// pixel, which the following store rewrites; the final pixel is left to the caller.
inline std::int64_t reverseThreeBytePixels(std::uint8_t* dst, const std::uint8_t* src,
                                           std::int64_t count, std::int64_t i) {
    if (count - i < 2) return i;
    if (i == 0) {
        std::memcpy(dst, src + (count - 1) * 3, 3);
        i = 1;
    }
    for (; i < count - 1; ++i) {
        std::uint32_t pixel;
        std::memcpy(&pixel, src + (count - 1 - i) * 3, 4);
        std::memcpy(dst + i * 3, &pixel, 4);
    }
    return i;
}

// dst pixel i receives src pixel (count - 1 - i).
template <int PixelBytes, int CopyBytes>
inline void reverseRow(std::uint8_t* dst, const std::uint8_t* src, std::int64_t count) {
    std::int64_t i = 0;
    constexpr bool kWholeUnits =
        PixelBytes == CopyBytes && (PixelBytes == 1 || PixelBytes == 2 || PixelBytes == 4);
    if constexpr (PixelBytes == 1 && CopyBytes == 1) i = reverseBytesWide(dst, src, count);
    if constexpr (PixelBytes == 4) i = reverseQuadsWide(dst, src, count, CopyBytes == 3);
#ifdef TAMRA_IMAGING_SSE2
    if constexpr (kWholeUnits || (PixelBytes == 4 && CopyBytes == 3)) {
        constexpr std::int64_t kPerVector = 16 / PixelBytes;
        for (; i + kPerVector <= count; i += kPerVector) {
            const __m128i v =
                reversePixels<PixelBytes>(loadVector(src + (count - i - kPerVector) * PixelBytes));
            if constexpr (kWholeUnits) {
                storeVector(dst + i * PixelBytes, v);
            } else {
                storeKeepingFourth(dst + i * PixelBytes, v);
            }
        }
    }
#endif
    if constexpr (kWholeUnits) {
        // Whole 8-byte words, each reversed in place of pixels: no per-byte work.
        constexpr std::int64_t kPerWord = 8 / PixelBytes;
        for (; i + kPerWord <= count; i += kPerWord) {
            const std::uint8_t* from = src + (count - i - kPerWord) * PixelBytes;
            store64(dst + i * PixelBytes, reverseUnits<PixelBytes>(load64(from)));
        }
    }
    if constexpr (PixelBytes == 3 && CopyBytes == 3) {
        i = reverseTriplesWide(dst, src, count);
        i = reverseThreeBytePixels(dst, src, count, i);
    }
    for (; i < count; ++i) {
        std::memcpy(dst + i * PixelBytes, src + (count - 1 - i) * PixelBytes, CopyBytes);
    }
}

// Transposes an 8 x 8 byte block held as eight little-endian row words: afterwards word i holds
// what was column i. Three rounds swap 1, 2 and 4 wide sub-blocks across the diagonal.
inline void transpose8x8(std::uint64_t w[8]) {
    constexpr std::uint64_t kMasks[3] = {0x00FF00FF00FF00FFull, 0x0000FFFF0000FFFFull,
                                         0x00000000FFFFFFFFull};
    for (int round = 0; round < 3; ++round) {
        const int distance = 1 << round;
        const int shift = 8 * distance;
        for (int i = 0; i < 8; ++i) {
            if ((i & distance) != 0) continue;
            const std::uint64_t t = ((w[i] >> shift) ^ w[i + distance]) & kMasks[round];
            w[i + distance] ^= t;
            w[i] ^= t << shift;
        }
    }
}

}  // namespace tamra::imaging::detail
