// The span kernels on AVX2: eight pixels per vector. Only this file is
// compiled with AVX2 enabled, and its table is used only when the processor
// has AVX2. Every kernel clears the upper register halves before it returns
// or hands pixels to scalar code (End), so no AVX-to-SSE transition penalty
// follows. The kernels themselves are in span_kernels_simd.h.
#include <immintrin.h>

#include <cstdint>
#include <cstring>

#include "core/simd.h"
#include "surface/internal/span_kernels.h"
#include "surface/internal/span_taps.h"

namespace {

struct IsaAvx2 {
    using V = __m256i;
    static constexpr std::int32_t N = 8;
    static constexpr unsigned kAll = 0xFFFFFFFFu;
    static constexpr bool kPermute = true;

    [[gnu::always_inline]] static V Load(const std::uint32_t* p) {
        return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    }
    [[gnu::always_inline]] static void Store(std::uint32_t* p, V v) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
    }
    [[gnu::always_inline]] static V Reverse(V v) {
        return _mm256_permutevar8x32_epi32(v, _mm256_setr_epi32(7, 6, 5, 4, 3, 2, 1, 0));
    }
    // p[0], p[-1], ..., p[-7]
    [[gnu::always_inline]] static V LoadReversed(const std::uint32_t* p) { return Reverse(Load(p - 7)); }
    [[gnu::always_inline]] static V LoadBytes(const std::uint8_t* p) {
        return _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)));
    }
    [[gnu::always_inline]] static V LoadBytesReversed(const std::uint8_t* p) { return Reverse(LoadBytes(p - 7)); }
    [[gnu::always_inline]] static void StoreBytes(std::uint8_t* p, V v) {
        // Per 128-bit half the four values end up in the low 32 bits.
        const V b = _mm256_packus_epi16(_mm256_packs_epi32(v, v), v);
        const V packed = _mm256_permutevar8x32_epi32(b, _mm256_setr_epi32(0, 4, 0, 0, 0, 0, 0, 0));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(p), _mm256_castsi256_si128(packed));
    }
    [[gnu::always_inline]] static void ToArray(std::int32_t* out, V v) {
        _mm256_store_si256(reinterpret_cast<__m256i*>(out), v);
    }
    [[gnu::always_inline]] static V FromArray(const std::int32_t* in) {
        return _mm256_load_si256(reinterpret_cast<const __m256i*>(in));
    }
    [[gnu::always_inline]] static V Gather(const std::uint32_t* base, V idx) {
        return _mm256_i32gather_epi32(reinterpret_cast<const int*>(base), idx, 4);
    }
    // Byte gathers load one byte each: a 32-bit gather could reach past the
    // end of the plane.
    [[gnu::always_inline]] static V GatherBytes(const std::uint8_t* base, V idx) {
        alignas(32) std::int32_t i[8];
        ToArray(i, idx);
        return _mm256_setr_epi32(base[i[0]], base[i[1]], base[i[2]], base[i[3]], base[i[4]], base[i[5]], base[i[6]],
                                 base[i[7]]);
    }

    // The same with the indices in memory.
    [[gnu::always_inline]] static V GatherAt(const std::uint32_t* base, const std::int32_t* idx) {
        return Gather(base, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(idx)));
    }
    [[gnu::always_inline]] static V GatherBytesAt(const std::uint8_t* base, const std::int32_t* i) {
        return _mm256_setr_epi32(base[i[0]], base[i[1]], base[i[2]], base[i[3]], base[i[4]], base[i[5]], base[i[6]],
                                 base[i[7]]);
    }

    // p[i] and p[i + 1] for each index i, with one 64-bit load per lane
    // (cheaper than two gathers). The pairs of lanes 0, 1, 4, 5 and of
    // 2, 3, 6, 7 share a register; one shuffle per half sorts them out.
    // The *At forms take the indices from memory.
    [[gnu::always_inline]] static void LoadPairsAt(const std::uint32_t* base, const std::int32_t* i, V& first,
                                                   V& second) {
        const V a = _mm256_set_m128i(Pairs(base + i[4], base + i[5]), Pairs(base + i[0], base + i[1]));
        const V b = _mm256_set_m128i(Pairs(base + i[6], base + i[7]), Pairs(base + i[2], base + i[3]));
        first = _mm256_castps_si256(_mm256_shuffle_ps(_mm256_castsi256_ps(a), _mm256_castsi256_ps(b), 0x88));
        second = _mm256_castps_si256(_mm256_shuffle_ps(_mm256_castsi256_ps(a), _mm256_castsi256_ps(b), 0xDD));
    }
    [[gnu::always_inline]] static void LoadPairs(const std::uint32_t* base, V idx, V& first, V& second) {
        alignas(32) std::int32_t i[8];
        ToArray(i, idx);
        LoadPairsAt(base, i, first, second);
    }
    [[gnu::always_inline]] static __m128i Pairs(const std::uint32_t* p, const std::uint32_t* q) {
        return _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)),
                                  _mm_loadl_epi64(reinterpret_cast<const __m128i*>(q)));
    }
    // The same for bytes: one 16-bit load per lane.
    [[gnu::always_inline]] static void LoadBytePairs(const std::uint8_t* base, V idx, V& first, V& second) {
        alignas(32) std::int32_t i[8];
        ToArray(i, idx);
        const V v = _mm256_setr_epi32(SpanBytePair(base + i[0]), SpanBytePair(base + i[1]), SpanBytePair(base + i[2]),
                                      SpanBytePair(base + i[3]), SpanBytePair(base + i[4]), SpanBytePair(base + i[5]),
                                      SpanBytePair(base + i[6]), SpanBytePair(base + i[7]));
        first = _mm256_and_si256(v, _mm256_set1_epi32(0xFF));
        second = _mm256_srli_epi32(v, 8);
    }
    // The byte pairs at the same indices of two rows, both in one lane
    // (row r0 in the low half) as SpanByteQuads() takes them apart.
    [[gnu::always_inline]] static V LoadByteQuadsAt(const std::uint8_t* r0, const std::uint8_t* r1,
                                                    const std::int32_t* i) {
        return _mm256_setr_epi32(SpanByteQuad(r0 + i[0], r1 + i[0]), SpanByteQuad(r0 + i[1], r1 + i[1]),
                                 SpanByteQuad(r0 + i[2], r1 + i[2]), SpanByteQuad(r0 + i[3], r1 + i[3]),
                                 SpanByteQuad(r0 + i[4], r1 + i[4]), SpanByteQuad(r0 + i[5], r1 + i[5]),
                                 SpanByteQuad(r0 + i[6], r1 + i[6]), SpanByteQuad(r0 + i[7], r1 + i[7]));
    }
    // 4N alpha bytes (a group of four vectors' pixels) in one vector.
    [[gnu::always_inline]] static V LoadGroup(const std::uint8_t* p) {
        return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    }
    // The weights of a group's four vectors of pixels: its alpha bytes
    // (times alpha256 / 256 unless Full), 255 raised to 256, each in both
    // 16-bit halves of its pixel's lane. A vector's eight bytes are
    // broadcast from memory (a load, no shuffle), and one in-half byte
    // shuffle puts bytes 0-3 into the low half's lanes and 4-7 into the
    // high half's.
    template <bool Full>
    [[gnu::always_inline]] static void GroupWeights(const std::uint8_t* p, V, std::int32_t alpha256, V w[4]) {
        const V spread = _mm256_setr_epi8(0, -1, 0, -1, 1, -1, 1, -1, 2, -1, 2, -1, 3, -1, 3, -1, 4, -1, 4, -1, 5, -1,
                                          5, -1, 6, -1, 6, -1, 7, -1, 7, -1);
        const V a256 = _mm256_set1_epi16(static_cast<std::int16_t>(alpha256));
        const V c255 = _mm256_set1_epi16(255);
#pragma GCC unroll 4
        for (int j = 0; j < 4; ++j) {
            long long q;
            std::memcpy(&q, p + 8 * j, 8);
            V x = _mm256_shuffle_epi8(_mm256_set1_epi64x(q), spread);
            if (!Full) x = _mm256_srli_epi16(_mm256_mullo_epi16(x, a256), 8);
            w[j] = _mm256_sub_epi16(x, _mm256_cmpeq_epi16(x, c255));
        }
    }
    // Stores the lanes of v not set in `mask`; the others are not written.
    [[gnu::always_inline]] static void StoreUnless(std::uint32_t* p, V mask, V v) {
        _mm256_maskstore_epi32(reinterpret_cast<int*>(p), _mm256_xor_si256(mask, _mm256_set1_epi32(-1)), v);
    }
    // Eight pixels, or eight bytes widened to lanes, from p; lanes picked
    // from them by index.
    [[gnu::always_inline]] static V Load8(const std::uint32_t* p) { return Load(p); }
    [[gnu::always_inline]] static V LoadBytes8(const std::uint8_t* p) { return LoadBytes(p); }
    [[gnu::always_inline]] static V Permute(V v, V idx) { return _mm256_permutevar8x32_epi32(v, idx); }
    [[gnu::always_inline]] static std::int32_t First(V v) { return _mm256_cvtsi256_si32(v); }
    [[gnu::always_inline]] static std::int32_t Last(V v) { return _mm256_extract_epi32(v, 7); }

    [[gnu::always_inline]] static void Prefetch(const void* p) {
        _mm_prefetch(static_cast<const char*>(p), _MM_HINT_T0);
    }

    [[gnu::always_inline]] static V Set1(std::int32_t v) { return _mm256_set1_epi32(v); }
    [[gnu::always_inline]] static V Set1_16(std::int16_t v) { return _mm256_set1_epi16(v); }
    [[gnu::always_inline]] static V Set1_64(std::uint64_t v) { return _mm256_set1_epi64x(static_cast<long long>(v)); }
    [[gnu::always_inline]] static V Zero() { return _mm256_setzero_si256(); }
    [[gnu::always_inline]] static V Iota() { return _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7); }

    [[gnu::always_inline]] static V And(V a, V b) { return _mm256_and_si256(a, b); }
    [[gnu::always_inline]] static V Or(V a, V b) { return _mm256_or_si256(a, b); }
    [[gnu::always_inline]] static V AndNot(V mask, V v) { return _mm256_andnot_si256(mask, v); }  // ~mask & v
    [[gnu::always_inline]] static V Select(V mask, V a, V b) { return _mm256_blendv_epi8(b, a, mask); }
    [[gnu::always_inline]] static unsigned Mask(V m) { return static_cast<unsigned>(_mm256_movemask_epi8(m)); }

    [[gnu::always_inline]] static V Add32(V a, V b) { return _mm256_add_epi32(a, b); }
    [[gnu::always_inline]] static V Sub32(V a, V b) { return _mm256_sub_epi32(a, b); }
    [[gnu::always_inline]] static V Add16(V a, V b) { return _mm256_add_epi16(a, b); }
    [[gnu::always_inline]] static V Sub16(V a, V b) { return _mm256_sub_epi16(a, b); }
    [[gnu::always_inline]] static V Add8(V a, V b) { return _mm256_add_epi8(a, b); }
    [[gnu::always_inline]] static V Mulhi16(V a, V b) { return _mm256_mulhi_epi16(a, b); }
    [[gnu::always_inline]] static V Mullo16(V a, V b) { return _mm256_mullo_epi16(a, b); }
    [[gnu::always_inline]] static V Mullo32(V a, V b) { return _mm256_mullo_epi32(a, b); }
    [[gnu::always_inline]] static V Slli32(V a, int n) { return _mm256_slli_epi32(a, n); }
    [[gnu::always_inline]] static V Srli32(V a, int n) { return _mm256_srli_epi32(a, n); }
    [[gnu::always_inline]] static V Srai32(V a, int n) { return _mm256_srai_epi32(a, n); }
    [[gnu::always_inline]] static V Slli16(V a, int n) { return _mm256_slli_epi16(a, n); }
    [[gnu::always_inline]] static V Srli16(V a, int n) { return _mm256_srli_epi16(a, n); }
    [[gnu::always_inline]] static V Srai16(V a, int n) { return _mm256_srai_epi16(a, n); }
    [[gnu::always_inline]] static V Eq32(V a, V b) { return _mm256_cmpeq_epi32(a, b); }
    [[gnu::always_inline]] static V Eq8(V a, V b) { return _mm256_cmpeq_epi8(a, b); }
    [[gnu::always_inline]] static V Min8u(V a, V b) { return _mm256_min_epu8(a, b); }
    [[gnu::always_inline]] static V Gt32(V a, V b) { return _mm256_cmpgt_epi32(a, b); }
    [[gnu::always_inline]] static V Min32(V a, V b) { return _mm256_min_epi32(a, b); }
    [[gnu::always_inline]] static V Max32(V a, V b) { return _mm256_max_epi32(a, b); }

    // Unpacking and packing work inside each 128-bit half; used in pairs
    // they give every pixel back its place.
    [[gnu::always_inline]] static V Lo8(V v) { return _mm256_unpacklo_epi8(v, _mm256_setzero_si256()); }
    [[gnu::always_inline]] static V Hi8(V v) { return _mm256_unpackhi_epi8(v, _mm256_setzero_si256()); }
    [[gnu::always_inline]] static V Pack16(V lo, V hi) { return _mm256_packus_epi16(lo, hi); }
    [[gnu::always_inline]] static V DupLo32(V v) { return _mm256_unpacklo_epi32(v, v); }
    [[gnu::always_inline]] static V DupHi32(V v) { return _mm256_unpackhi_epi32(v, v); }

    [[gnu::always_inline]] static void End() { _mm256_zeroupper(); }
};

}  // namespace

#include "surface/internal/span_kernels_simd.h"

const Gfx_SpanKernelTable& Gfx_SpanKernels_Avx2() {
    static const Gfx_SpanKernelTable table = SpanSimd<IsaAvx2>::MakeTable("avx2");
    return table;
}
