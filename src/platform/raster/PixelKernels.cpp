// Row kernels of the stretch copy: scalar references and the vector forms chosen at run time.
// The library is built for the baseline processor, so the wider forms are compiled for their
// own instruction set and only called after the processor has been asked.
#include "platform/raster/PixelKernels.h"

#include <cstring>

#if defined(__GNUC__) && defined(__x86_64__)
#define TAMRA_RASTER_X86 1
// GCC 12's 512-bit intrinsics pass an undefined vector as the unused merge operand and then
// warn that it is uninitialized (GCC bug 105593); the warning is about the header alone.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#ifndef __clang__
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <immintrin.h>
#endif

namespace tamra::platform::kernels {

namespace {

template <std::size_t kStep>
void greyRowScalar(const std::uint8_t* in, std::uint8_t* out, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i, in += kStep) out[i] = greyOfSum(in[0] + in[1] + in[2]);
}

void greyColumnsScalar(const std::uint8_t* in, std::size_t, const std::uint32_t* offsets,
                       std::uint8_t* out, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* p = in + offsets[i];
        out[i] = greyOfSum(p[0] + p[1] + p[2]);
    }
}

void paletteRowScalar(const PaletteTable& palette, const std::uint8_t* in, std::uint8_t* out,
                      std::size_t count) {
    const std::uint32_t* colours = palette.colours;
    for (std::size_t i = 0; i < count; ++i, out += 3) {
        const std::uint32_t c = colours[in[i]];
        out[0] = static_cast<std::uint8_t>(c);
        out[1] = static_cast<std::uint8_t>(c >> 8);
        out[2] = static_cast<std::uint8_t>(c >> 16);
    }
}

// Word stores: each pixel is stored as 4 bytes, its fourth overwritten by the next pixel; the
// last pixel of the row is stored byte by byte so that nothing past the row is touched.
void paletteRowWords(const PaletteTable& palette, const std::uint8_t* in, std::uint8_t* out,
                     std::size_t count) {
    if (count == 0) return;
    const std::uint32_t* colours = palette.colours;
    std::size_t i = 0;
    for (; i + 4 < count; i += 4, out += 12) {
        const std::uint32_t a = colours[in[i]], b = colours[in[i + 1]];
        const std::uint32_t c = colours[in[i + 2]], d = colours[in[i + 3]];
        std::memcpy(out, &a, 4);
        std::memcpy(out + 3, &b, 4);
        std::memcpy(out + 6, &c, 4);
        std::memcpy(out + 9, &d, 4);
    }
    for (; i + 1 < count; ++i, out += 3) {
        const std::uint32_t a = colours[in[i]];
        std::memcpy(out, &a, 4);
    }
    paletteRowScalar(palette, in + i, out, 1);
}

void mappedRowScalar(const std::uint8_t* map, const std::uint8_t* in, std::uint8_t* out,
                     std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) out[i] = map[in[i]];
}

// Eight looked-up bytes gathered into one word and stored at once: one store in eight.
void mappedRowWords(const std::uint8_t* map, const std::uint8_t* in, std::uint8_t* out,
                    std::size_t count) {
    std::size_t i = 0;
    for (; i + 8 <= count; i += 8) {
        std::uint64_t word = 0;
        for (int k = 0; k < 8; ++k) word |= std::uint64_t{map[in[i + k]]} << (8 * k);
        std::memcpy(out + i, &word, 8);
    }
    mappedRowScalar(map, in + i, out + i, count - i);
}

constexpr RowKernels kScalar{greyRowScalar<3>, greyRowScalar<4>, greyColumnsScalar,
                             paletteRowScalar, mappedRowScalar};

#ifdef TAMRA_RASTER_X86

// Sums of 16-bit lanes (at most 765) to grey levels in one rounding multiply: (s x 10923 +
// 2^14) >> 15 equals (s + 1) / 3 for every sum up to 765, where 10923 / 2^15 is still too close
// to 1/3 to move s / 3 + 1/2 across a whole number.
__attribute__((target("avx2"))) inline __m256i greyOfSums(__m256i sums) {
    return _mm256_mulhrs_epi16(sums, _mm256_set1_epi16(10923));
}

// 8 pixels whose first bytes are the low bytes of the 32-bit lanes of v: their channel sums.
// Two multiply-adds: bytes weighted 1, 1, 1, 0 give 16-bit pair sums (at most 510, never
// saturating), which the second adds into 32 bits; the fourth byte drops out.
__attribute__((target("avx2"))) inline __m256i sumsOfWords(__m256i v) {
    const __m256i firstThree = _mm256_set1_epi32(0x00010101);
    return _mm256_madd_epi16(_mm256_maddubs_epi16(v, firstThree), _mm256_set1_epi16(1));
}

// 32 grey levels from the channel sums of four groups of 8 pixels, in order.
__attribute__((target("avx2"))) inline __m256i packGrey(__m256i s0, __m256i s1, __m256i s2,
                                                        __m256i s3) {
    // Packs interleave the 128-bit halves; one 64-bit permute at the end restores the order.
    const __m256i low = greyOfSums(_mm256_packus_epi32(s0, s1));
    const __m256i high = greyOfSums(_mm256_packus_epi32(s2, s3));
    const __m256i bytes = _mm256_packus_epi16(low, high);
    return _mm256_permutevar8x32_epi32(bytes, _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7));
}

// 4-byte pixels: each 32-bit lane is one pixel.
__attribute__((target("avx2"))) void greyFromBgrxAvx2(const std::uint8_t* in, std::uint8_t* out,
                                                      std::size_t count) {
    std::size_t i = 0;
    for (; i + 32 <= count; i += 32) {
        const auto* p = reinterpret_cast<const __m256i*>(in + 4 * i);
        const __m256i grey = packGrey(
            sumsOfWords(_mm256_loadu_si256(p)), sumsOfWords(_mm256_loadu_si256(p + 1)),
            sumsOfWords(_mm256_loadu_si256(p + 2)), sumsOfWords(_mm256_loadu_si256(p + 3)));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), grey);
    }
    greyRowScalar<4>(in + 4 * i, out + i, count - i);
}

// 3-byte pixels: 8 pixels (24 bytes) spread to one pixel per 32-bit lane, each 128-bit half
// taking 4 pixels (12 bytes) with a byte shuffle.
__attribute__((target("avx2"))) inline __m256i spreadTriples(const std::uint8_t* p) {
    const __m256i spread = _mm256_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1, 0,
                                            1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 12));
    return _mm256_shuffle_epi8(_mm256_set_m128i(high, low), spread);
}

__attribute__((target("avx2"))) void greyFromBgrAvx2(const std::uint8_t* in, std::uint8_t* out,
                                                     std::size_t count) {
    std::size_t i = 0;
    // Each load reads 16 bytes for 12, so the last 4 bytes of the row are never loaded here.
    for (; i + 32 + 2 <= count; i += 32) {
        const std::uint8_t* p = in + 3 * i;
        const __m256i grey =
            packGrey(sumsOfWords(spreadTriples(p)), sumsOfWords(spreadTriples(p + 24)),
                     sumsOfWords(spreadTriples(p + 48)), sumsOfWords(spreadTriples(p + 72)));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), grey);
    }
    greyRowScalar<3>(in + 3 * i, out + i, count - i);
}

// Scaled rows: one 4-byte gather per pixel while the fourth byte is still readable; the pixels
// after that are read byte by byte.
__attribute__((target("avx2"))) void greyColumnsAvx2(const std::uint8_t* in, std::size_t readable,
                                                     const std::uint32_t* offsets,
                                                     std::uint8_t* out, std::size_t count) {
    const auto* base = reinterpret_cast<const int*>(in);
    std::size_t i = 0;
    for (; i + 32 <= count && std::size_t{offsets[i + 31]} + 4 <= readable; i += 32) {
        __m256i sums[4];
        for (int k = 0; k < 4; ++k) {
            const __m256i at =
                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(offsets + i + 8 * k));
            sums[k] = sumsOfWords(_mm256_i32gather_epi32(base, at, 1));
        }
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i),
                            packGrey(sums[0], sums[1], sums[2], sums[3]));
    }
    greyColumnsScalar(in, readable, offsets + i, out + i, count - i);
}

constexpr RowKernels kAvx2{greyFromBgrAvx2, greyFromBgrxAvx2, greyColumnsAvx2, paletteRowWords,
                           mappedRowWords};

// 64 indices at a time through the whole map held in four 64-byte registers: two 128-entry
// byte permutes, and the top bit of each index picks between them.
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) void mappedRowVbmi(const std::uint8_t* map,
                                                                          const std::uint8_t* in,
                                                                          std::uint8_t* out,
                                                                          std::size_t count) {
    const __m512i t0 = _mm512_loadu_si512(map);
    const __m512i t1 = _mm512_loadu_si512(map + 64);
    const __m512i t2 = _mm512_loadu_si512(map + 128);
    const __m512i t3 = _mm512_loadu_si512(map + 192);
    std::size_t i = 0;
    for (; i + 64 <= count; i += 64) {
        const __m512i indices = _mm512_loadu_si512(in + i);
        const __m512i low = _mm512_permutex2var_epi8(t0, indices, t1);
        const __m512i high = _mm512_permutex2var_epi8(t2, indices, t3);
        _mm512_storeu_si512(out + i,
                            _mm512_mask_blend_epi8(_mm512_movepi8_mask(indices), low, high));
    }
    mappedRowWords(map, in + i, out + i, count - i);
}

// Byte permutes that interleave 64 blue, green and red bytes into 192 bytes of 3-byte pixels:
// output vector k, byte m holds channel n % 3 of pixel n / 3, n = 64k + m. The first permute
// takes blue or green (index bit 6 picks green), the second puts red where the channel is 2.
struct Interleave {
    std::uint8_t blueGreen[3][64];
    std::uint8_t red[3][64];
    std::uint64_t redLanes[3];
};

constexpr Interleave makeInterleave() {
    Interleave table{};
    for (int k = 0; k < 3; ++k) {
        for (int m = 0; m < 64; ++m) {
            const int n = 64 * k + m;
            const int pixel = n / 3;
            const int channel = n % 3;
            table.blueGreen[k][m] = static_cast<std::uint8_t>(pixel | (channel == 1 ? 64 : 0));
            table.red[k][m] = static_cast<std::uint8_t>(pixel);
            if (channel == 2) table.redLanes[k] |= std::uint64_t{1} << m;
        }
    }
    return table;
}

// 512-bit form of the sum to grey level above.
__attribute__((target("avx512f,avx512bw"))) inline __m512i greyOfSums512(__m512i sums) {
    return _mm512_mulhrs_epi16(sums, _mm512_set1_epi16(10923));
}

// Byte indices that deinterleave 32 3-byte pixels held in two registers: blue and green of
// pixel j to 16-bit lane j, and red to the low byte of lane j (the high byte is masked to 0).
struct Deinterleave {
    std::uint8_t blueGreen[64];
    std::uint8_t red[64];
    std::uint8_t evenBytes[64];
};

constexpr Deinterleave makeDeinterleave() {
    Deinterleave table{};
    for (int j = 0; j < 32; ++j) {
        table.blueGreen[2 * j] = static_cast<std::uint8_t>(3 * j);
        table.blueGreen[2 * j + 1] = static_cast<std::uint8_t>(3 * j + 1);
        table.red[2 * j] = static_cast<std::uint8_t>(3 * j + 2);
    }
    for (int k = 0; k < 64; ++k) table.evenBytes[k] = static_cast<std::uint8_t>(2 * k);
    return table;
}

constexpr std::uint64_t kLowBytes = 0x5555555555555555u;

// Channel sums of the 32 pixels starting at byte 0 of low (continuing into high), in 16-bit
// lanes and in order: blue + green by one multiply-add, red added from its own permute.
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) inline __m512i sumsOfTriples(
    __m512i low, __m512i high, __m512i blueGreen, __m512i red) {
    const __m512i pairs = _mm512_permutex2var_epi8(low, blueGreen, high);
    const __m512i reds = _mm512_maskz_permutex2var_epi8(kLowBytes, low, red, high);
    return _mm512_add_epi16(_mm512_maddubs_epi16(pairs, _mm512_set1_epi8(1)), reds);
}

// 64 pixels (192 bytes, three loads) at a time.
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) void greyFromBgrVbmi(const std::uint8_t* in,
                                                                            std::uint8_t* out,
                                                                            std::size_t count) {
    static constexpr Deinterleave kTable = makeDeinterleave();
    const __m512i blueGreen = _mm512_loadu_si512(kTable.blueGreen);
    const __m512i red = _mm512_loadu_si512(kTable.red);
    // The second 32 pixels start 32 bytes into the middle register.
    const __m512i blueGreenLate = _mm512_add_epi8(blueGreen, _mm512_set1_epi8(32));
    const __m512i redLate = _mm512_add_epi8(red, _mm512_set1_epi8(32));
    const __m512i evenBytes = _mm512_loadu_si512(kTable.evenBytes);
    std::size_t i = 0;
    for (; i + 64 <= count; i += 64) {
        const std::uint8_t* p = in + 3 * i;
        const __m512i v0 = _mm512_loadu_si512(p);
        const __m512i v1 = _mm512_loadu_si512(p + 64);
        const __m512i v2 = _mm512_loadu_si512(p + 128);
        const __m512i first = greyOfSums512(sumsOfTriples(v0, v1, blueGreen, red));
        const __m512i second = greyOfSums512(sumsOfTriples(v1, v2, blueGreenLate, redLate));
        _mm512_storeu_si512(out + i, _mm512_permutex2var_epi8(first, evenBytes, second));
    }
    greyFromBgrAvx2(in + 3 * i, out + i, count - i);
}

// Bytes 0 to n - 1 of a 64-byte block, n clamped to 0..64.
inline std::uint64_t firstBytes(std::int64_t n) {
    if (n <= 0) return 0;
    return n >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << n) - 1;
}

// Scaled rows without gathers: the 16 pixels of a group whose columns lie within 128 bytes
// (steps up to about 2.7 source pixels) are picked by one byte permute from two masked loads,
// which never read past readable. The permute indices come from the column offsets.
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) inline __m512i sumsOfColumns(
    const std::uint8_t* in, std::size_t readable, const std::uint32_t* offsets) {
    const std::uint32_t base = offsets[0];
    const auto avail = static_cast<std::int64_t>(readable) - base;
    const __m512i low = _mm512_maskz_loadu_epi8(firstBytes(avail), in + base);
    const __m512i high = _mm512_maskz_loadu_epi8(firstBytes(avail - 64), in + base + 64);
    const __m512i relative =
        _mm512_sub_epi32(_mm512_loadu_si512(offsets), _mm512_set1_epi32(static_cast<int>(base)));
    // Low byte of each lane to its first three bytes, plus 0, 1, 2.
    const __m512i spread = _mm512_shuffle_epi8(
        relative, _mm512_set4_epi32(0x0C0C0C0C, 0x08080808, 0x04040404, 0x00000000));
    const __m512i indices = _mm512_add_epi32(spread, _mm512_set1_epi32(0x00020100));
    const __m512i pixels = _mm512_maskz_permutex2var_epi8(0x7777777777777777u, low, indices, high);
    return _mm512_madd_epi16(_mm512_maddubs_epi16(pixels, _mm512_set1_epi32(0x00010101)),
                             _mm512_set1_epi16(1));
}

__attribute__((target("avx512f,avx512bw,avx512vbmi"))) void greyColumnsVbmi(
    const std::uint8_t* in, std::size_t readable, const std::uint32_t* offsets, std::uint8_t* out,
    std::size_t count) {
    const auto fits = [&](std::size_t at) { return offsets[at + 15] - offsets[at] + 3 <= 128; };
    const __m512i order = _mm512_setr_epi32(0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15);
    std::size_t i = 0;
    for (; i + 64 <= count && fits(i) && fits(i + 16) && fits(i + 32) && fits(i + 48); i += 64) {
        const __m512i s0 = sumsOfColumns(in, readable, offsets + i);
        const __m512i s1 = sumsOfColumns(in, readable, offsets + i + 16);
        const __m512i s2 = sumsOfColumns(in, readable, offsets + i + 32);
        const __m512i s3 = sumsOfColumns(in, readable, offsets + i + 48);
        // Packs work within 128-bit lanes; one dword permute restores the order.
        const __m512i low = greyOfSums512(_mm512_packus_epi32(s0, s1));
        const __m512i high = greyOfSums512(_mm512_packus_epi32(s2, s3));
        _mm512_storeu_si512(out + i,
                            _mm512_permutexvar_epi32(order, _mm512_packus_epi16(low, high)));
    }
    greyColumnsAvx2(in, readable, offsets + i, out + i, count - i);
}

// One channel of 64 palette entries looked up: two 128-entry byte permutes, the top bit of each
// index picking between them.
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) inline __m512i lookUp(
    const __m512i (&table)[4], __m512i indices) {
    const __m512i low = _mm512_permutex2var_epi8(table[0], indices, table[1]);
    const __m512i high = _mm512_permutex2var_epi8(table[2], indices, table[3]);
    return _mm512_mask_blend_epi8(_mm512_movepi8_mask(indices), low, high);
}

// 64 pixels at a time: three channel look-ups and the interleave, stored as exactly their 192
// bytes.
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) void paletteRowVbmi(
    const PaletteTable& palette, const std::uint8_t* in, std::uint8_t* out, std::size_t count) {
    static constexpr Interleave kInterleave = makeInterleave();
    __m512i tables[3][4];
    for (int c = 0; c < 3; ++c) {
        for (int t = 0; t < 4; ++t) tables[c][t] = _mm512_load_si512(&palette.channels[c][64 * t]);
    }
    __m512i blueGreen[3], red[3];
    for (int k = 0; k < 3; ++k) {
        blueGreen[k] = _mm512_loadu_si512(kInterleave.blueGreen[k]);
        red[k] = _mm512_loadu_si512(kInterleave.red[k]);
    }
    std::size_t i = 0;
    for (; i + 64 <= count; i += 64, out += 192) {
        const __m512i indices = _mm512_loadu_si512(in + i);
        const __m512i b = lookUp(tables[0], indices);
        const __m512i g = lookUp(tables[1], indices);
        const __m512i r = lookUp(tables[2], indices);
        for (int k = 0; k < 3; ++k) {
            const __m512i pair = _mm512_permutex2var_epi8(b, blueGreen[k], g);
            _mm512_storeu_si512(out + 64 * k, _mm512_mask_permutexvar_epi8(
                                                  pair, kInterleave.redLanes[k], red[k], r));
        }
    }
    paletteRowWords(palette, in + i, out, count - i);
}

const RowKernels& chooseKernels() {
    if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("avx512bw") &&
        __builtin_cpu_supports("avx512vbmi")) {
        static constexpr RowKernels kVbmi{greyFromBgrVbmi, greyFromBgrxAvx2, greyColumnsVbmi,
                                          paletteRowVbmi, mappedRowVbmi};
        return kVbmi;
    }
    if (__builtin_cpu_supports("avx2")) return kAvx2;
    static constexpr RowKernels kWords{greyRowScalar<3>, greyRowScalar<4>, greyColumnsScalar,
                                       paletteRowWords, mappedRowWords};
    return kWords;
}

#else

const RowKernels& chooseKernels() {
    static constexpr RowKernels kWords{greyRowScalar<3>, greyRowScalar<4>, greyColumnsScalar,
                                       paletteRowWords, mappedRowWords};
    return kWords;
}

#endif

}  // namespace

#ifdef TAMRA_RASTER_X86
#pragma GCC diagnostic pop
#endif

void fillPaletteTable(PaletteTable& table, const std::uint32_t* colours) {
    for (int i = 0; i < 256; ++i) {
        table.colours[i] = colours[i];
        for (int c = 0; c < 3; ++c) {
            table.channels[c][i] = static_cast<std::uint8_t>(colours[i] >> (8 * c));
        }
    }
}

const RowKernels& scalarKernels() {
    return kScalar;
}

const RowKernels& bestKernels() {
    static const RowKernels& chosen = chooseKernels();
    return chosen;
}

}  // namespace tamra::platform::kernels
