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

// The operations the shared rows are written in.
struct Sse2 {
    using V = __m128i;
    static constexpr std::uint32_t kLanes = 4;
    static V Load(const std::uint8_t* p) { return ::Load(p); }
    static void Store(std::uint8_t* p, V v) { ::Store(p, v); }
    static V Set32(std::int32_t v) { return _mm_set1_epi32(v); }
    static V Set16(std::int16_t v) { return _mm_set1_epi16(v); }
    static V And(V a, V b) { return _mm_and_si128(a, b); }
    static V Or(V a, V b) { return _mm_or_si128(a, b); }
    static V Slli32(V v, int n) { return _mm_slli_epi32(v, n); }
    static V Srli32(V v, int n) { return _mm_srli_epi32(v, n); }
    static V Slli16(V v, int n) { return _mm_slli_epi16(v, n); }
    static V Srli16(V v, int n) { return _mm_srli_epi16(v, n); }
    static V PackS32(V a, V b) { return _mm_packs_epi32(a, b); }
    static V PackU16(V a, V b) { return _mm_packus_epi16(a, b); }
    static V InPixelOrder(V v) { return v; }
    static void StoreInterleaved16(std::uint8_t* p, V lo, V hi) {
        Store(p, _mm_unpacklo_epi16(lo, hi));
        Store(p + 16, _mm_unpackhi_epi16(lo, hi));
    }
    static void End() {}
};

}  // namespace

#include "image/internal/pixel_convert_rows.h"

const Gfx_ConvertRowTable& Gfx_ConvertRows_Sse2() {
    using Rows = ConvertRows<Sse2>;
    static const Gfx_ConvertRowTable table{"sse2",
                                           {Row21to24, Rows::Row24to6, Rows::Row24to23, Rows::Row14to24, nullptr}};
    return table;
}
