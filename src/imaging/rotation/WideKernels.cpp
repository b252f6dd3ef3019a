// 32-byte kernels for processors that have them, chosen at run time; the library is built for
// the baseline instruction set, so these are compiled for AVX2 alone and called only after the
// processor has been asked.
#include "imaging/rotation/VectorKernels.h"

#if defined(__GNUC__) && defined(__x86_64__)
#include <immintrin.h>

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

bool hasAvx2() {
    static const bool has = __builtin_cpu_supports("avx2") != 0;
    return has;
}

}  // namespace

std::int64_t reverseBytesWide(std::uint8_t* dst, const std::uint8_t* src, std::int64_t count) {
    return hasAvx2() ? reverseBytesAvx2(dst, src, count) : 0;
}

}  // namespace tamra::imaging::detail

#else

namespace tamra::imaging::detail {

std::int64_t reverseBytesWide(std::uint8_t*, const std::uint8_t*, std::int64_t) {
    return 0;
}

}  // namespace tamra::imaging::detail

#endif
