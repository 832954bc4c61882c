// Every SIMD level of the span kernels against the scalar kernels, called
// directly over the whole kernel table (whole blits at every level are the
// differential test's). Each comparison draws a round's random input, the
// same at every level, and returns the destination bytes, which must be
// identical at every level.
#include <algorithm>
#include <cstdlib>

#include "surface/internal/span_kernels.h"
#include "surface_test.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// Kernel arguments for a random source of kW x kH over the given buffers.
constexpr std::int32_t kW = 40, kH = 30;

Gfx_SpanArgs RandomArgs(Lcg& rng, const std::vector<std::uint32_t>& src, const Bytes& srcAlpha, bool byteLayout) {
    Gfx_SpanArgs a{};
    // Bytes in any order, the top one a channel or not; or wider channels.
    const std::uint32_t shifts[4][3] = {{16, 8, 0}, {24, 16, 8}, {8, 16, 24}, {20, 10, 0}};
    const std::uint32_t* shift = shifts[byteLayout ? rng.Below(3) : 3];
    for (int ch = 0; ch < 3; ++ch) {
        a.srcShift[ch] = a.dstShift[ch] = shift[ch];
        a.srcMask[ch] = a.dstMask[ch] = byteLayout ? 0xFF : 0x3F;
    }
    a.keyPixel = src[rng.Below(kW * kH)];
    a.fillPixel = rng.Word();  // and its channels, as the blit gives them (levels may read either)
    a.fillR = static_cast<std::int32_t>(a.fillPixel >> a.srcShift[0] & a.srcMask[0]);
    a.fillG = static_cast<std::int32_t>(a.fillPixel >> a.srcShift[1] & a.srcMask[1]);
    a.fillB = static_cast<std::int32_t>(a.fillPixel >> a.srcShift[2] & a.srcMask[2]);
    a.brightR = rng.Range(-300, 300);
    a.brightG = rng.Chance(10) ? 40000 : rng.Range(-300, 300);
    a.brightB = rng.Chance(10) ? -40000 : 0;
    a.contR = rng.Range(-256, 768);
    a.contG = rng.Chance(10) ? 20000 : 256;
    a.contB = rng.Range(0, 2047);
    a.alpha256 = rng.Chance(50) ? 256 : rng.Range(0, 255);
    const bool bottomUp = rng.Chance(33);
    a.srcBase = src.data() + (bottomUp ? (kH - 1) * kW : 0);
    a.srcAlphaBase = srcAlpha.data() + (bottomUp ? (kH - 1) * kW : 0);
    a.srcPitch = a.srcAlphaPitch = bottomUp ? -kW : kW;
    a.x0 = rng.Range(0, 3);
    a.y0 = rng.Range(0, 3);
    a.x1 = a.x0 + 1 + rng.Range(0, kW - a.x0 - 1);
    a.y1 = a.y0 + 1 + rng.Range(0, kH - a.y0 - 1);
    a.imgW = kW;
    a.imgH = kH;
    return a;
}

struct KernelInput {
    std::vector<std::uint32_t> src, dst;
    Bytes srcAlpha, dstAlpha;
    // Noise from a cheap xorshift seeded by the round: the sanitizer tree
    // runs this unoptimised, for every level of every round.
    KernelInput(Lcg& rng, std::size_t dstPixels)
        : src(kW * kH), dst(dstPixels), srcAlpha(kW * kH), dstAlpha(dstPixels), x(rng.Word() | 1u) {
        // Alpha in runs: whole groups of vectors transparent, opaque or neither.
        std::uint32_t run = 0;
        for (std::size_t i = 0; i < src.size(); ++i) {
            src[i] = Next();
            if (Next() % 10 == 0) run = Next() % 3 == 0 ? 255 * (Next() % 2) : Next() % 256;
            srcAlpha[i] = static_cast<std::uint8_t>(Next() % 10 == 0 ? Next() % 256 : run);
        }
        for (std::size_t i = 0; i < dst.size(); ++i) {
            dst[i] = Next();
            dstAlpha[i] = static_cast<std::uint8_t>(Next() % 3 == 0 ? 255 : Next() % 256);
        }
    }
    Bytes Result() const {
        Bytes out(reinterpret_cast<const std::uint8_t*>(dst.data()),
                  reinterpret_cast<const std::uint8_t*>(dst.data() + dst.size()));
        out.insert(out.end(), dstAlpha.begin(), dstAlpha.end());
        return out;
    }

private:
    std::uint32_t x;
    std::uint32_t Next() {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        return x;
    }
};

// One call of any kernel and variant, also one the blit never makes:
// coordinates far outside 32 bits, channel layouts of other widths, walks
// from either side.
Bytes RawKernelCall(std::uint32_t round, std::int32_t level) {
    Lcg rng(round + 777u);
    KernelInput in(rng, 128);
    Gfx_SpanArgs a = RandomArgs(rng, in.src, in.srcAlpha, !rng.Chance(25));
    a.count = rng.Chance(50) ? rng.Range(20, 120) : rng.Range(0, 19);  // now and then groups of whole vectors
    a.src = in.src.data() + 600;                                       // room for 120 pixels either way
    a.srcAlpha = in.srcAlpha.data() + 600;
    a.u = rng.Chance(12) ? (std::int64_t{1} << 40) + rng.Word() : rng.Range(-(8 << 16), 32 << 16);
    a.v = rng.Range(-(4 << 16), 16 << 16);
    a.du = rng.Range(-(3 << 16), 3 << 16);
    a.dv = rng.Range(-(2 << 16), 2 << 16);
    const std::uint32_t id = rng.Below(GFX_SPAN_KERNEL_COUNT), variant = rng.Below(GFX_SPAN_VARIANT_COUNT);
    if (!(variant & GFX_SPAN_SRC_ALPHA)) a.srcAlphaBase = a.srcAlpha = nullptr;
    a.dst = in.dst.data() + 3;
    a.dstAlpha = variant & GFX_SPAN_DST_ALPHA ? in.dstAlpha.data() + 3 : nullptr;
    Gfx_SpanKernelsForLevel(level)->fn[id][variant](a);
    return in.Result();
}

// The rows of one scaled call, as the blit runs them: the SIMD levels carry
// what they work out from row to row (bilinear rows in the row cache,
// nearest columns in the column table), and a walk that moves now and then
// must invalidate what was kept. Rounds from kNearestFrom on sample nearest.
constexpr std::uint32_t kNearestFrom = 600;

Bytes ScaledRowSequence(std::uint32_t round, std::int32_t level) {
    constexpr std::int32_t kRows = 24, kMaxCount = 1100;
    Lcg rng(round + 4242u);
    const std::int32_t count = rng.Chance(5) ? kMaxCount : rng.Range(0, 69);
    const std::int32_t pitch = count + 16;  // a row's slack shows a write past its end
    KernelInput in(rng, std::size_t{kRows} * pitch);
    Gfx_SpanArgs a = RandomArgs(rng, in.src, in.srcAlpha, true);
    a.count = count;
    a.du = rng.Range(-(1 << 16), 1 << 16);
    const std::int64_t u0 = rng.Range(-(4 << 16), 36 << 16), v0 = rng.Range(-(4 << 16), 30 << 16);
    const std::int64_t dv = rng.Range(-(1 << 16), 1 << 16);
    std::uint32_t variant = rng.Below(GFX_SPAN_VARIANT_COUNT) | GFX_SPAN_BILINEAR;
    if (!(variant & GFX_SPAN_SRC_ALPHA)) a.srcAlphaBase = nullptr;
    const std::int32_t moveAt = rng.Range(0, 2 * kRows);  // the walk moves here
    const bool nearest = round >= kNearestFrom;
    const std::uint32_t id = nearest ? GFX_SPAN_SCALE_COPY + rng.Below(6) : GFX_SPAN_SCALE_ADJUST;
    if (nearest) variant &= ~GFX_SPAN_BILINEAR;
    const auto cache = std::make_unique<Gfx_SpanRowCache>();
    const auto columns = std::make_unique<Gfx_SpanColumnTable>();
    a.rowCache = nearest ? nullptr : cache.get();
    a.columns = nearest ? columns.get() : nullptr;
    for (std::int32_t r = 0; r < kRows; ++r) {
        a.u = r < moveAt ? u0 : u0 + (3 << 16);
        a.v = v0 + r * dv;
        a.dst = in.dst.data() + r * pitch;
        a.dstAlpha = variant & GFX_SPAN_DST_ALPHA ? in.dstAlpha.data() + r * pitch : nullptr;
        Gfx_SpanKernelsForLevel(level)->fn[id][variant](a);
    }
    return in.Result();
}

TEST(SimdVsScalar, EveryLevelDrawsTheScalarBytes) {
    const std::vector<std::int32_t> levels = AvailableSimdLevels();
    if (levels.size() < 2) GTEST_SKIP() << "no SIMD level in this build or on this processor";
    const struct {
        const char* name;
        std::uint32_t rounds;
        Bytes (*draw)(std::uint32_t round, std::int32_t level);
    } comparisons[] = {{"raw kernel calls", 6000, RawKernelCall}, {"scaled rows", 2 * kNearestFrom, ScaledRowSequence}};
    for (const auto& c : comparisons)
        for (std::uint32_t round = 0; round < c.rounds; ++round) {
            const Bytes scalar = c.draw(round, GFX_SIMD_SCALAR);
            for (std::size_t i = 1; i < levels.size(); ++i)
                ASSERT_TRUE(c.draw(round, levels[i]) == scalar)
                    << c.name << ", " << Gfx_SimdLevelName(levels[i]) << ", round " << round;
        }
}

// Without QUILLORY_SIMD the process runs the best level there is; with it,
// the named level or the best below it. A level is set only where available.
TEST(Simd, LevelChoiceFallsBackToWhatIsAvailable) {
    const std::int32_t named = Gfx_SimdLevelFromName(std::getenv("QUILLORY_SIMD"));
    EXPECT_EQ(Gfx_Blit_GetSimdLevel(), Gfx_SimdFallback(named >= 0 ? named : GFX_SIMD_LEVEL_COUNT));
    SimdLevelGuard guard;
    for (std::int32_t l = -1; l <= GFX_SIMD_LEVEL_COUNT; ++l) {
        SCOPED_TRACE(l);
        const bool available = Gfx_SimdLevelAvailable(l);
        EXPECT_TRUE(Gfx_SimdLevelAvailable(Gfx_SimdFallback(l)));
        EXPECT_LE(Gfx_SimdFallback(l), std::max(l, 0));
        EXPECT_EQ(Gfx_Blit_SetSimdLevel(l), available);
        EXPECT_EQ(Gfx_Blit_GetSimdLevel() == l, available);
        // Every table has an entry for every kernel and variant.
        const Gfx_SpanKernelTable* t = Gfx_SpanKernelsForLevel(l);
        ASSERT_EQ(t != nullptr, available);
        for (std::size_t k = 0; t && k < GFX_SPAN_KERNEL_COUNT * GFX_SPAN_VARIANT_COUNT; ++k)
            ASSERT_NE(t->fn[k / GFX_SPAN_VARIANT_COUNT][k % GFX_SPAN_VARIANT_COUNT], nullptr);
        EXPECT_EQ(Gfx_SimdLevelFromName(Gfx_SimdLevelName(l)), l >= 0 && l < GFX_SIMD_LEVEL_COUNT ? l : -1);
    }
}

}  // namespace
