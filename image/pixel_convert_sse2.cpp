// Vector rows of the demo's conversions on SSE2. SSE2 has no byte shuffle
// and no gather, so 4 → 24 keeps its scalar table row.
#include <emmintrin.h>

#include <cstdint>

#include "image/internal/pixel_convert_simd.h"

namespace {

__m128i Load(const std::uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
void Store(std::uint8_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }

// Four 3-byte pixels from one 16-byte load, which needs 16 readable bytes:
// 6 pixels left cover it.
std::uint32_t Row21to24(const std::uint8_t* src, std::uint32_t count, std::uint8_t* dst, const std::uint32_t*) {
    const __m128i low24 = _mm_set1_epi32(0x00FFFFFF);
    std::uint32_t i = 0;
    for (; i + 6 <= count; i += 4) {
        const __m128i v = Load(src + 3 * i);
        const __m128i p01 = _mm_unpacklo_epi32(v, _mm_srli_si128(v, 3));
        const __m128i p23 = _mm_unpacklo_epi32(_mm_srli_si128(v, 6), _mm_srli_si128(v, 9));
        Store(dst + 4 * i, _mm_and_si128(_mm_unpacklo_epi64(p01, p23), low24));
    }
    return i;
}

__m128i Red(const std::uint8_t* p) { return _mm_and_si128(_mm_srli_epi32(Load(p), 16), _mm_set1_epi32(0xFF)); }

std::uint32_t Row24to6(const std::uint8_t* src, std::uint32_t count, std::uint8_t* dst, const std::uint32_t*) {
    std::uint32_t i = 0;
    for (; i + 16 <= count; i += 16) {
        const std::uint8_t* s = src + 4 * i;
        const __m128i ab = _mm_packs_epi32(Red(s), Red(s + 16));
        const __m128i cd = _mm_packs_epi32(Red(s + 32), Red(s + 48));
        Store(dst + i, _mm_packus_epi16(ab, cd));
    }
    return i;
}

std::uint32_t Row24to23(const std::uint8_t* src, std::uint32_t count, std::uint8_t* dst, const std::uint32_t*) {
    std::uint32_t i = 0;
    for (; i + 4 <= count; i += 4) {
        const __m128i p = Load(src + 4 * i);
        Store(dst + 4 * i, _mm_or_si128(_mm_slli_epi32(p, 8), _mm_srli_epi32(p, 24)));
    }
    return i;
}

// 5-6-5 in 16-bit lanes: each channel widened by appending its low bits,
// then blue and green form the low half of the pixel, red the high half.
std::uint32_t Row14to24(const std::uint8_t* src, std::uint32_t count, std::uint8_t* dst, const std::uint32_t*) {
    const __m128i m5 = _mm_set1_epi16(0x1F), m6 = _mm_set1_epi16(0x3F), m3 = _mm_set1_epi16(7),
                  m2 = _mm_set1_epi16(3);
    std::uint32_t i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m128i v = Load(src + 2 * i);
        const __m128i b = _mm_and_si128(v, m5);
        const __m128i g = _mm_and_si128(_mm_srli_epi16(v, 5), m6);
        const __m128i r = _mm_srli_epi16(v, 11);
        const __m128i b8 = _mm_or_si128(_mm_slli_epi16(b, 3), _mm_and_si128(b, m3));
        const __m128i g8 = _mm_or_si128(_mm_slli_epi16(g, 2), _mm_and_si128(g, m2));
        const __m128i r8 = _mm_or_si128(_mm_slli_epi16(r, 3), _mm_and_si128(r, m3));
        const __m128i gb = _mm_or_si128(_mm_slli_epi16(g8, 8), b8);
        Store(dst + 4 * i, _mm_unpacklo_epi16(gb, r8));
        Store(dst + 4 * i + 16, _mm_unpackhi_epi16(gb, r8));
    }
    return i;
}

}  // namespace

const Gfx_ConvertRowTable& Gfx_ConvertRows_Sse2() {
    static const Gfx_ConvertRowTable table{"sse2", {Row21to24, Row24to6, Row24to23, Row14to24, nullptr}};
    return table;
}
