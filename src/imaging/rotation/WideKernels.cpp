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

}  // namespace tamra::imaging::detail

#endif
