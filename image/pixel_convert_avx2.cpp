// Vector rows of the demo's conversions on AVX2. Each row clears the upper
// register halves before it returns (no AVX-to-SSE transition penalty in
// the scalar code that finishes the row).
#include <immintrin.h>

#include <cstdint>

#include "image/internal/pixel_convert_simd.h"

namespace {

__m256i Load(const std::uint8_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
void Store(std::uint8_t* p, __m256i v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); }

// Eight 3-byte pixels from one 32-byte load (11 pixels left cover it): the
// upper half takes bytes 12..27, then each half spreads its four pixels.
std::uint32_t Row21to24(const std::uint8_t* src, std::uint32_t count, std::uint8_t* dst, const std::uint32_t*) {
    const __m256i halves = _mm256_setr_epi32(0, 1, 2, 3, 3, 4, 5, 6);
    const __m256i spread = _mm256_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1,  //
                                            0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    std::uint32_t i = 0;
    for (; i + 11 <= count; i += 8) {
        const __m256i v = _mm256_permutevar8x32_epi32(Load(src + 3 * i), halves);
        Store(dst + 4 * i, _mm256_shuffle_epi8(v, spread));
    }
    _mm256_zeroupper();
    return i;
}

// The operations the shared rows are written in. Packing and unpacking
// work per 128-bit half; InPixelOrder and StoreInterleaved16 put the halves
// back in pixel order.
struct Avx2 {
    using V = __m256i;
    static constexpr std::uint32_t kLanes = 8;
    static V Load(const std::uint8_t* p) { return ::Load(p); }
    static void Store(std::uint8_t* p, V v) { ::Store(p, v); }
    static V Set32(std::int32_t v) { return _mm256_set1_epi32(v); }
    static V Set16(std::int16_t v) { return _mm256_set1_epi16(v); }
    static V And(V a, V b) { return _mm256_and_si256(a, b); }
    static V Or(V a, V b) { return _mm256_or_si256(a, b); }
    static V Slli32(V v, int n) { return _mm256_slli_epi32(v, n); }
    static V Srli32(V v, int n) { return _mm256_srli_epi32(v, n); }
    static V Slli16(V v, int n) { return _mm256_slli_epi16(v, n); }
    static V Srli16(V v, int n) { return _mm256_srli_epi16(v, n); }
    static V PackS32(V a, V b) { return _mm256_packs_epi32(a, b); }
    static V PackU16(V a, V b) { return _mm256_packus_epi16(a, b); }
    static V InPixelOrder(V v) { return _mm256_permutevar8x32_epi32(v, _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7)); }
    static void StoreInterleaved16(std::uint8_t* p, V lo, V hi) {
        const V a = _mm256_unpacklo_epi16(lo, hi), b = _mm256_unpackhi_epi16(lo, hi);
        Store(p, _mm256_permute2x128_si256(a, b, 0x20));
        Store(p + 32, _mm256_permute2x128_si256(a, b, 0x31));
    }
    static void End() { _mm256_zeroupper(); }
};

std::uint32_t Row4to24(const std::uint8_t* src, std::uint32_t count, std::uint8_t* dst, const std::uint32_t* palette) {
    std::uint32_t i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m256i idx = _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(src + i)));
        Store(dst + 4 * i, _mm256_i32gather_epi32(reinterpret_cast<const int*>(palette), idx, 4));
    }
    _mm256_zeroupper();
    return i;
}

}  // namespace

#include "image/internal/pixel_convert_rows.h"

const Gfx_ConvertRowTable& Gfx_ConvertRows_Avx2() {
    using Rows = ConvertRows<Avx2>;
    static const Gfx_ConvertRowTable table{"avx2",
                                           {Row21to24, Rows::Row24to6, Rows::Row24to23, Rows::Row14to24, Row4to24}};
    return table;
}
