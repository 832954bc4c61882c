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

__m256i Red(const std::uint8_t* p) { return _mm256_and_si256(_mm256_srli_epi32(Load(p), 16), _mm256_set1_epi32(0xFF)); }

std::uint32_t Row24to6(const std::uint8_t* src, std::uint32_t count, std::uint8_t* dst, const std::uint32_t*) {
    // Packing works per 128-bit half; the permutation puts the groups of
    // four back in order.
    const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
    std::uint32_t i = 0;
    for (; i + 32 <= count; i += 32) {
        const std::uint8_t* s = src + 4 * i;
        const __m256i ab = _mm256_packs_epi32(Red(s), Red(s + 32));
        const __m256i cd = _mm256_packs_epi32(Red(s + 64), Red(s + 96));
        Store(dst + i, _mm256_permutevar8x32_epi32(_mm256_packus_epi16(ab, cd), order));
    }
    _mm256_zeroupper();
    return i;
}

std::uint32_t Row24to23(const std::uint8_t* src, std::uint32_t count, std::uint8_t* dst, const std::uint32_t*) {
    std::uint32_t i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m256i p = Load(src + 4 * i);
        Store(dst + 4 * i, _mm256_or_si256(_mm256_slli_epi32(p, 8), _mm256_srli_epi32(p, 24)));
    }
    _mm256_zeroupper();
    return i;
}

// As on SSE2, sixteen pixels at a time; the unpacking works per half, so the
// halves are put back in pixel order before storing.
std::uint32_t Row14to24(const std::uint8_t* src, std::uint32_t count, std::uint8_t* dst, const std::uint32_t*) {
    const __m256i m5 = _mm256_set1_epi16(0x1F), m6 = _mm256_set1_epi16(0x3F), m3 = _mm256_set1_epi16(7),
                  m2 = _mm256_set1_epi16(3);
    std::uint32_t i = 0;
    for (; i + 16 <= count; i += 16) {
        const __m256i v = Load(src + 2 * i);
        const __m256i b = _mm256_and_si256(v, m5);
        const __m256i g = _mm256_and_si256(_mm256_srli_epi16(v, 5), m6);
        const __m256i r = _mm256_srli_epi16(v, 11);
        const __m256i b8 = _mm256_or_si256(_mm256_slli_epi16(b, 3), _mm256_and_si256(b, m3));
        const __m256i g8 = _mm256_or_si256(_mm256_slli_epi16(g, 2), _mm256_and_si256(g, m2));
        const __m256i r8 = _mm256_or_si256(_mm256_slli_epi16(r, 3), _mm256_and_si256(r, m3));
        const __m256i gb = _mm256_or_si256(_mm256_slli_epi16(g8, 8), b8);
        const __m256i lo = _mm256_unpacklo_epi16(gb, r8), hi = _mm256_unpackhi_epi16(gb, r8);
        Store(dst + 4 * i, _mm256_permute2x128_si256(lo, hi, 0x20));
        Store(dst + 4 * i + 32, _mm256_permute2x128_si256(lo, hi, 0x31));
    }
    _mm256_zeroupper();
    return i;
}

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

const Gfx_ConvertRowTable& Gfx_ConvertRows_Avx2() {
    static const Gfx_ConvertRowTable table{"avx2", {Row21to24, Row24to6, Row24to23, Row14to24, Row4to24}};
    return table;
}
