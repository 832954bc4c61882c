// The span kernels on SSE2, the x86-64 baseline: four pixels per vector.
// Only this file is compiled for SSE2 explicitly (it is the default on
// x86-64 anyway); the kernels themselves are in span_kernels_simd.h.
#include <emmintrin.h>

#include <cstdint>
#include <cstring>

#include "core/simd.h"
#include "surface/internal/span_kernels.h"
#include "surface/internal/span_taps.h"

namespace {

struct IsaSse2 {
    using V = __m128i;
    static constexpr std::int32_t N = 4;
    static constexpr unsigned kAll = 0xFFFFu;
    static constexpr bool kPermute = false;  // no lane permutation before SSSE3

    [[gnu::always_inline]] static V Load(const std::uint32_t* p) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    }
    [[gnu::always_inline]] static void Store(std::uint32_t* p, V v) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
    }
    // p[0], p[-1], p[-2], p[-3]
    [[gnu::always_inline]] static V LoadReversed(const std::uint32_t* p) {
        return _mm_shuffle_epi32(Load(p - 3), 0x1B);
    }
    [[gnu::always_inline]] static V LoadBytes(const std::uint8_t* p) {
        std::int32_t w;
        std::memcpy(&w, p, 4);
        const V z = _mm_setzero_si128();
        return _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(w), z), z);
    }
    [[gnu::always_inline]] static V LoadBytesReversed(const std::uint8_t* p) {
        return _mm_shuffle_epi32(LoadBytes(p - 3), 0x1B);
    }
    [[gnu::always_inline]] static void StoreBytes(std::uint8_t* p, V v) {
        const V b = _mm_packus_epi16(_mm_packs_epi32(v, v), v);
        const std::int32_t w = _mm_cvtsi128_si32(b);
        std::memcpy(p, &w, 4);
    }
    [[gnu::always_inline]] static void ToArray(std::int32_t* out, V v) {
        _mm_store_si128(reinterpret_cast<__m128i*>(out), v);
    }
    [[gnu::always_inline]] static V FromArray(const std::int32_t* in) {
        return _mm_load_si128(reinterpret_cast<const __m128i*>(in));
    }
    // No gather instruction: four loads, the indices read from memory
    // (GatherAt: where they already are).
    [[gnu::always_inline]] static V GatherAt(const std::uint32_t* base, const std::int32_t* i) {
        return _mm_setr_epi32(static_cast<std::int32_t>(base[i[0]]), static_cast<std::int32_t>(base[i[1]]),
                              static_cast<std::int32_t>(base[i[2]]), static_cast<std::int32_t>(base[i[3]]));
    }
    [[gnu::always_inline]] static V GatherBytesAt(const std::uint8_t* base, const std::int32_t* i) {
        return _mm_setr_epi32(base[i[0]], base[i[1]], base[i[2]], base[i[3]]);
    }
    [[gnu::always_inline]] static V Gather(const std::uint32_t* base, V idx) {
        alignas(16) std::int32_t i[4];
        ToArray(i, idx);
        return GatherAt(base, i);
    }
    [[gnu::always_inline]] static V GatherBytes(const std::uint8_t* base, V idx) {
        alignas(16) std::int32_t i[4];
        ToArray(i, idx);
        return GatherBytesAt(base, i);
    }

    // p[i] and p[i + 1] for each index i, with one 64-bit load per lane;
    // the *At forms take the indices from memory.
    [[gnu::always_inline]] static void LoadPairsAt(const std::uint32_t* base, const std::int32_t* i, V& first,
                                                   V& second) {
        const V a = _mm_unpacklo_epi64(Pair(base + i[0]), Pair(base + i[1]));
        const V b = _mm_unpacklo_epi64(Pair(base + i[2]), Pair(base + i[3]));
        first = _mm_castps_si128(_mm_shuffle_ps(_mm_castsi128_ps(a), _mm_castsi128_ps(b), 0x88));
        second = _mm_castps_si128(_mm_shuffle_ps(_mm_castsi128_ps(a), _mm_castsi128_ps(b), 0xDD));
    }
    [[gnu::always_inline]] static void LoadPairs(const std::uint32_t* base, V idx, V& first, V& second) {
        alignas(16) std::int32_t i[4];
        ToArray(i, idx);
        LoadPairsAt(base, i, first, second);
    }
    [[gnu::always_inline]] static V Pair(const std::uint32_t* p) {
        return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
    }
    // The same for bytes: one 16-bit load per lane.
    [[gnu::always_inline]] static void LoadBytePairs(const std::uint8_t* base, V idx, V& first, V& second) {
        alignas(16) std::int32_t i[4];
        ToArray(i, idx);
        const V v = _mm_setr_epi32(SpanBytePair(base + i[0]), SpanBytePair(base + i[1]), SpanBytePair(base + i[2]),
                                   SpanBytePair(base + i[3]));
        first = _mm_and_si128(v, _mm_set1_epi32(0xFF));
        second = _mm_srli_epi32(v, 8);
    }
    // The byte pairs at the same indices of two rows, both in one lane
    // (row r0 in the low half) as SpanByteQuads() takes them apart.
    [[gnu::always_inline]] static V LoadByteQuadsAt(const std::uint8_t* r0, const std::uint8_t* r1,
                                                    const std::int32_t* i) {
        return _mm_setr_epi32(SpanByteQuad(r0 + i[0], r1 + i[0]), SpanByteQuad(r0 + i[1], r1 + i[1]),
                              SpanByteQuad(r0 + i[2], r1 + i[2]), SpanByteQuad(r0 + i[3], r1 + i[3]));
    }
    // 4N alpha bytes (a group of four vectors' pixels) in one vector.
    [[gnu::always_inline]] static V LoadGroup(const std::uint8_t* p) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    }
    // The weights of a group's four vectors of pixels: its alpha bytes
    // (times alpha256 / 256 unless Full), 255 raised to 256, each in both
    // 16-bit halves of its pixel's lane. Worked out on eight 16-bit lanes
    // at a time, then each lane doubled.
    template <bool Full>
    [[gnu::always_inline]] static void GroupWeights(const std::uint8_t*, V g, std::int32_t alpha256, V w[4]) {
        const V z = _mm_setzero_si128();
        const V a256 = _mm_set1_epi16(static_cast<std::int16_t>(alpha256));
        const V c255 = _mm_set1_epi16(255);
        V h[2] = {_mm_unpacklo_epi8(g, z), _mm_unpackhi_epi8(g, z)};
#pragma GCC unroll 2
        for (int k = 0; k < 2; ++k) {
            if (!Full) h[k] = _mm_srli_epi16(_mm_mullo_epi16(h[k], a256), 8);
            h[k] = _mm_sub_epi16(h[k], _mm_cmpeq_epi16(h[k], c255));
            w[2 * k] = _mm_unpacklo_epi16(h[k], h[k]);
            w[2 * k + 1] = _mm_unpackhi_epi16(h[k], h[k]);
        }
    }
    // Stores the lanes of v not set in `mask`.
    [[gnu::always_inline]] static void StoreUnless(std::uint32_t* p, V mask, V v) {
        Store(p, _mm_or_si128(_mm_and_si128(mask, Load(p)), _mm_andnot_si128(mask, v)));
    }
    [[gnu::always_inline]] static V Load8(const std::uint32_t* p) { return Load(p); }
    [[gnu::always_inline]] static V LoadBytes8(const std::uint8_t* p) { return LoadBytes(p); }
    [[gnu::always_inline]] static V Permute(V v, V) { return v; }
    [[gnu::always_inline]] static std::int32_t First(V v) { return _mm_cvtsi128_si32(v); }
    [[gnu::always_inline]] static std::int32_t Last(V v) { return _mm_cvtsi128_si32(_mm_shuffle_epi32(v, 0xFF)); }

    [[gnu::always_inline]] static void Prefetch(const void* p) {
        _mm_prefetch(static_cast<const char*>(p), _MM_HINT_T0);
    }

    [[gnu::always_inline]] static V Set1(std::int32_t v) { return _mm_set1_epi32(v); }
    [[gnu::always_inline]] static V Set1_16(std::int16_t v) { return _mm_set1_epi16(v); }
    [[gnu::always_inline]] static V Set1_64(std::uint64_t v) { return _mm_set1_epi64x(static_cast<long long>(v)); }
    [[gnu::always_inline]] static V Zero() { return _mm_setzero_si128(); }
    [[gnu::always_inline]] static V Iota() { return _mm_setr_epi32(0, 1, 2, 3); }

    [[gnu::always_inline]] static V And(V a, V b) { return _mm_and_si128(a, b); }
    [[gnu::always_inline]] static V Or(V a, V b) { return _mm_or_si128(a, b); }
    [[gnu::always_inline]] static V AndNot(V mask, V v) { return _mm_andnot_si128(mask, v); }  // ~mask & v
    [[gnu::always_inline]] static V Select(V mask, V a, V b) {
        return _mm_or_si128(_mm_and_si128(mask, a), _mm_andnot_si128(mask, b));
    }
    [[gnu::always_inline]] static unsigned Mask(V m) { return static_cast<unsigned>(_mm_movemask_epi8(m)); }

    [[gnu::always_inline]] static V Add32(V a, V b) { return _mm_add_epi32(a, b); }
    [[gnu::always_inline]] static V Sub32(V a, V b) { return _mm_sub_epi32(a, b); }
    [[gnu::always_inline]] static V Add16(V a, V b) { return _mm_add_epi16(a, b); }
    [[gnu::always_inline]] static V Sub16(V a, V b) { return _mm_sub_epi16(a, b); }
    [[gnu::always_inline]] static V Add8(V a, V b) { return _mm_add_epi8(a, b); }
    [[gnu::always_inline]] static V Mulhi16(V a, V b) { return _mm_mulhi_epi16(a, b); }
    [[gnu::always_inline]] static V Mullo16(V a, V b) { return _mm_mullo_epi16(a, b); }
    // Low 32 bits of each product, from the two 64-bit multiplies SSE2 has.
    [[gnu::always_inline]] static V Mullo32(V a, V b) {
        const V even = _mm_mul_epu32(a, b);
        const V odd = _mm_mul_epu32(_mm_srli_epi64(a, 32), _mm_srli_epi64(b, 32));
        return _mm_unpacklo_epi32(_mm_shuffle_epi32(even, 0x08), _mm_shuffle_epi32(odd, 0x08));
    }
    [[gnu::always_inline]] static V Slli32(V a, int n) { return _mm_slli_epi32(a, n); }
    [[gnu::always_inline]] static V Srli32(V a, int n) { return _mm_srli_epi32(a, n); }
    [[gnu::always_inline]] static V Srai32(V a, int n) { return _mm_srai_epi32(a, n); }
    [[gnu::always_inline]] static V Slli16(V a, int n) { return _mm_slli_epi16(a, n); }
    [[gnu::always_inline]] static V Srli16(V a, int n) { return _mm_srli_epi16(a, n); }
    [[gnu::always_inline]] static V Srai16(V a, int n) { return _mm_srai_epi16(a, n); }
    [[gnu::always_inline]] static V Eq32(V a, V b) { return _mm_cmpeq_epi32(a, b); }
    [[gnu::always_inline]] static V Eq8(V a, V b) { return _mm_cmpeq_epi8(a, b); }
    [[gnu::always_inline]] static V Min8u(V a, V b) { return _mm_min_epu8(a, b); }
    [[gnu::always_inline]] static V Gt32(V a, V b) { return _mm_cmpgt_epi32(a, b); }
    [[gnu::always_inline]] static V Min32(V a, V b) { return Select(_mm_cmpgt_epi32(a, b), b, a); }
    [[gnu::always_inline]] static V Max32(V a, V b) { return Select(_mm_cmpgt_epi32(a, b), a, b); }

    // Bytes of the low / high two pixels as 16-bit lanes, and back.
    [[gnu::always_inline]] static V Lo8(V v) { return _mm_unpacklo_epi8(v, _mm_setzero_si128()); }
    [[gnu::always_inline]] static V Hi8(V v) { return _mm_unpackhi_epi8(v, _mm_setzero_si128()); }
    [[gnu::always_inline]] static V Pack16(V lo, V hi) { return _mm_packus_epi16(lo, hi); }
    [[gnu::always_inline]] static V DupLo32(V v) { return _mm_unpacklo_epi32(v, v); }
    [[gnu::always_inline]] static V DupHi32(V v) { return _mm_unpackhi_epi32(v, v); }

    [[gnu::always_inline]] static void End() {}
};

}  // namespace

#include "surface/internal/span_kernels_simd.h"

const Gfx_SpanKernelTable& Gfx_SpanKernels_Sse2() {
    static const Gfx_SpanKernelTable table = SpanSimd<IsaSse2>::MakeTable("sse2");
    return table;
}
