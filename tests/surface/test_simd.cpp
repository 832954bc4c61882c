// Every SIMD level of the span kernels against the scalar kernels. One table
// of comparisons: each row draws a round's random input (the same at every
// level) and returns the destination bytes, which must be identical at every
// level. A new kernel family or calling pattern is one more row.
#include <string>

#include "surface/internal/span_kernels.h"
#include "surface_test.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

template <typename T>
void Append(Bytes& out, const std::vector<T>& v) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(v.data());
    out.insert(out.end(), p, p + v.size() * sizeof(T));
}

// The 32-bit layouts the kernels may meet; the SIMD kernels vectorise the
// byte layouts and must hand the others to the scalar loops unchanged.
constexpr std::int32_t kFormats[] = {GFX_FMT_ARGB8888, GFX_FMT_ARGB8888, GFX_FMT_ARGB8888, GFX_FMT_RGBA8888,
                                     GFX_FMT_ABGR8888, GFX_FMT_BGRA8888, GFX_FMT_CH32};

// Colours mostly from a small palette (so that key colours match), rows
// now and then bottom-up.
C_Image* RandomColor(Lcg& rng, std::uint32_t w, std::uint32_t h, std::int32_t format, const std::uint32_t* palette) {
    C_Image* image = NewPlane(w, h, format);
    auto* p = reinterpret_cast<std::uint32_t*>(image->data);
    for (std::uint32_t i = 0; i < image->dataSize / 4; ++i) p[i] = rng.Chance(25) ? rng.Word() : palette[rng.Below(4)];
    image->bottomUp = static_cast<std::uint8_t>(rng.Chance(25));
    return image;
}

// Alpha 0, 255 and between, in runs so that whole vectors take the quick
// paths too.
C_Image* RandomAlpha(Lcg& rng, std::uint32_t w, std::uint32_t h) {
    C_Image* image = NewPlane(w, h, GFX_FMT_CH8);
    std::uint8_t v = 0;
    for (std::uint32_t i = 0; i < image->dataSize; ++i) {
        if (rng.Chance(17)) v = static_cast<std::uint8_t>(rng.Chance(25) ? 0 : rng.Chance(33) ? 255 : rng.Below(256));
        image->data[i] = rng.Chance(20) ? static_cast<std::uint8_t>(rng.Below(256)) : v;
    }
    image->bottomUp = static_cast<std::uint8_t>(rng.Chance(25));
    return image;
}

C_Color IntColor(std::uint32_t p) {
    return C_Color(static_cast<std::int32_t>(p >> 16 & 0xFF), static_cast<std::int32_t>(p >> 8 & 0xFF),
                   static_cast<std::int32_t>(p & 0xFF), static_cast<std::int32_t>(p >> 24));
}

C_Frame RandomFrame(Lcg& rng, std::int32_t w, std::int32_t h) {
    const std::int32_t x0 = rng.Range(-2, w + 1), y0 = rng.Range(-2, h + 1);
    return C_Frame(x0, y0, x0 + rng.Range(0, w + 1), y0 + rng.Range(0, h + 1));
}

// A whole random blit (any path, effect and plane set, sometimes a surface
// drawn onto itself) through the public call.
Bytes WholeBlit(std::uint32_t round, std::int32_t level) {
    Lcg rng(round * 7919u + 12345u);
    const std::uint32_t sw = 1 + rng.Below(rng.Chance(33) ? 90 : 40), sh = 1 + rng.Below(40);
    const std::uint32_t dw = 1 + rng.Below(120), dh = 1 + rng.Below(70);
    const std::int32_t srcFormat = rng.Pick(kFormats), dstFormat = rng.Chance(25) ? rng.Pick(kFormats) : srcFormat;
    const std::uint32_t palette[4] = {rng.Word(), rng.Word(), rng.Word(), rng.Word()};
    const bool hasSrcColor = !rng.Chance(12), selfDraw = hasSrcColor && rng.Chance(8);
    std::unique_ptr<C_Image> srcColor(RandomColor(rng, sw, sh, srcFormat, palette)), srcAlpha;
    if (!hasSrcColor || rng.Chance(50)) srcAlpha.reset(RandomAlpha(rng, sw, sh));
    std::unique_ptr<C_Image> dstColor(RandomColor(rng, dw, dh, dstFormat, palette)), dstAlpha;
    if (rng.Chance(33)) dstAlpha.reset(RandomAlpha(rng, dw, dh));

    C_DrawParams p;
    const std::uint32_t path = rng.Below(3);  // unscaled, scaled, rotated
    if (path == 1) p.scale = C_Vector2D(rng.Chance(50) ? rng.Uniform(0.2f, 4.0f) : 2.0f, rng.Uniform(0.2f, 4.0f));
    if (path == 2) {
        p.angle = rng.Chance(25) ? 90.0f * static_cast<float>(rng.Range(1, 3)) : rng.Uniform(-360.0f, 360.0f);
        if (rng.Chance(50)) p.scale = C_Vector2D(rng.Uniform(0.3f, 3.0f), rng.Uniform(0.3f, 3.0f));
    }
    p.pivot = C_Vector2D(rng.Uniform(-5.0f, 20.0f), rng.Uniform(-5.0f, 20.0f),
                         static_cast<std::uint8_t>(rng.Below(3) | rng.Below(3) << 4));
    p.flipH = static_cast<std::uint8_t>(rng.Chance(33));
    p.flipV = static_cast<std::uint8_t>(rng.Chance(33));
    p.wrapH = static_cast<std::uint8_t>(rng.Chance(10));
    const float opacities[] = {0.5f, 0.004f, 1.0f, 1.0f};
    p.opacity = rng.Chance(20) ? rng.Uniform(0.0f, 1.0f) : rng.Pick(opacities);
    p.filter = rng.Below(2);
    p.useKeyColor = static_cast<std::uint8_t>(rng.Chance(25));
    p.keyColor = IntColor(palette[rng.Below(4)]);
    p.useFillColor = static_cast<std::uint8_t>(rng.Chance(20));
    p.fillColor = IntColor(rng.Word());
    p.useBrightness = static_cast<std::uint8_t>(rng.Chance(25));
    p.brightness = C_Color(rng.Uniform(-1.0f, 1.0f), rng.Uniform(-1.0f, 1.0f),
                           rng.Chance(12) ? 200.0f : rng.Uniform(-1.0f, 1.0f), 0.0f);
    p.useContrast = static_cast<std::uint8_t>(rng.Chance(25));
    // Mostly factors the vectors take; now and then one past their range.
    p.contrast = C_Color(rng.Uniform(-2.0f, 4.0f), rng.Uniform(0.0f, 2.0f),
                         rng.Chance(12) ? 100.0f : rng.Uniform(0.0f, 3.0f), 0.0f);
    const C_Rect rect(rng.Uniform(-2.0f, static_cast<float>(sw)), rng.Uniform(-2.0f, static_cast<float>(sh)),
                      rng.Uniform(0.0f, static_cast<float>(sw) + 3), rng.Uniform(0.0f, static_cast<float>(sh) + 3));
    const C_Frame clip = RandomFrame(rng, static_cast<std::int32_t>(dw), static_cast<std::int32_t>(dh));
    const C_Frame clip2 = RandomFrame(rng, static_cast<std::int32_t>(dw), static_cast<std::int32_t>(dh));
    const C_Vector2D at(rng.Uniform(-30.0f, static_cast<float>(dw) + 10),
                        rng.Uniform(-30.0f, static_cast<float>(dh) + 10),
                        static_cast<std::uint8_t>(rng.Below(3) | rng.Below(3) << 4));
    const bool hasRect = rng.Chance(33), hasClip = rng.Chance(33), hasClip2 = rng.Chance(25),
               hasParams = !rng.Chance(10);

    C_Surface dst(1, dstColor.get(), dstAlpha.get());
    C_Surface src(1, nullptr);
    if (selfDraw) {
        src.AddPlane(dstColor.get(), GFX_PLANE_COLOR);
        if (dstAlpha) src.AddPlane(dstAlpha.get(), GFX_PLANE_ALPHA);
    } else {
        if (hasSrcColor) src.AddPlane(srcColor.get(), GFX_PLANE_COLOR);
        if (srcAlpha) src.AddPlane(srcAlpha.get(), GFX_PLANE_ALPHA);
    }
    SimdLevelGuard guard;
    Gfx_Blit_SetSimdLevel(level);
    Gfx_Surface_BlitTransformed(&src, &dst, hasRect ? &rect : nullptr, hasClip ? &clip : nullptr,
                                hasClip2 ? &clip2 : nullptr, &at, 0, hasParams ? &p : nullptr);
    Bytes out = BytesOf(dstColor.get()), alpha = BytesOf(dstAlpha.get());
    out.insert(out.end(), alpha.begin(), alpha.end());
    return out;
}

// Kernel arguments for a random source of kW x kH over the given buffers.
constexpr std::int32_t kW = 40, kH = 30;

Gfx_SpanArgs RandomArgs(Lcg& rng, const std::vector<std::uint32_t>& src, const Bytes& srcAlpha, bool byteLayout) {
    Gfx_SpanArgs a{};
    const std::uint32_t shifts[2][3] = {{16, 8, 0}, {20, 10, 0}};
    for (int ch = 0; ch < 3; ++ch) {
        a.srcShift[ch] = a.dstShift[ch] = shifts[byteLayout ? 0 : 1][ch];
        a.srcMask[ch] = a.dstMask[ch] = byteLayout ? 0xFF : 0x3F;
    }
    a.keyPixel = src[rng.Below(kW * kH)];
    a.fillPixel = rng.Word();
    a.fillR = rng.Range(0, 255);
    a.fillG = rng.Range(0, 255);
    a.fillB = rng.Range(0, 255);
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
    KernelInput(Lcg& rng, std::size_t dstPixels)
        : src(kW * kH), dst(dstPixels), srcAlpha(kW * kH), dstAlpha(dstPixels) {
        for (std::size_t i = 0; i < src.size(); ++i) {
            src[i] = rng.Word();
            srcAlpha[i] = static_cast<std::uint8_t>(rng.Chance(33) ? 255 * rng.Below(2) : rng.Below(256));
        }
        for (std::size_t i = 0; i < dst.size(); ++i) {
            dst[i] = rng.Word();
            dstAlpha[i] = static_cast<std::uint8_t>(rng.Chance(33) ? 255 : rng.Below(256));
        }
    }
    Bytes Result() const {
        Bytes out;
        Append(out, dst);
        Append(out, dstAlpha);
        return out;
    }
};

// One kernel call the blit never makes: coordinates far outside 32 bits,
// channel layouts of other widths, walks from either side.
Bytes RawKernelCall(std::uint32_t round, std::int32_t level) {
    Lcg rng(round + 777u);
    KernelInput in(rng, 64);
    Gfx_SpanArgs a = RandomArgs(rng, in.src, in.srcAlpha, !rng.Chance(25));
    a.count = rng.Range(0, 19);
    a.src = in.src.data() + 40;  // room for 20 pixels either way
    a.srcAlpha = in.srcAlpha.data() + 40;
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

// The bilinear scale kernel's rows of one call, as the blit runs them: SIMD
// levels carry a row cache from row to row, and a walk that moves now and
// then must invalidate what was kept.
Bytes BilinearRowSequence(std::uint32_t round, std::int32_t level) {
    constexpr std::int32_t kRows = 24, kMaxCount = 1100;
    Lcg rng(round + 4242u);
    KernelInput in(rng, kRows * kMaxCount);
    Gfx_SpanArgs a = RandomArgs(rng, in.src, in.srcAlpha, true);
    a.count = rng.Chance(5) ? kMaxCount : rng.Range(0, 69);
    a.du = rng.Range(-(1 << 16), 1 << 16);
    const std::int64_t u0 = rng.Range(-(4 << 16), 36 << 16), v0 = rng.Range(-(4 << 16), 30 << 16);
    const std::int64_t dv = rng.Range(-(1 << 16), 1 << 16);
    const std::uint32_t variant = rng.Below(GFX_SPAN_VARIANT_COUNT) | GFX_SPAN_BILINEAR;
    if (!(variant & GFX_SPAN_SRC_ALPHA)) a.srcAlphaBase = nullptr;
    const std::int32_t moveAt = rng.Range(0, 2 * kRows);  // the walk moves here
    const auto cache = std::make_unique<Gfx_SpanRowCache>();
    a.rowCache = level == GFX_SIMD_SCALAR ? nullptr : cache.get();
    for (std::int32_t r = 0; r < kRows; ++r) {
        a.u = r < moveAt ? u0 : u0 + (3 << 16);
        a.v = v0 + r * dv;
        a.dst = in.dst.data() + r * kMaxCount;
        a.dstAlpha = variant & GFX_SPAN_DST_ALPHA ? in.dstAlpha.data() + r * kMaxCount : nullptr;
        Gfx_SpanKernelsForLevel(level)->fn[GFX_SPAN_SCALE_ADJUST][variant](a);
    }
    return in.Result();
}

struct Comparison {
    const char* name;
    std::uint32_t rounds;
    Bytes (*draw)(std::uint32_t round, std::int32_t level);
};

void PrintTo(const Comparison& c, std::ostream* os) { *os << c.name; }

class SimdVsScalar : public ::testing::TestWithParam<Comparison> {};

TEST_P(SimdVsScalar, EveryLevelDrawsTheScalarBytes) {
    const std::vector<std::int32_t> levels = AvailableSimdLevels();
    if (levels.size() < 2) GTEST_SKIP() << "no SIMD level in this build or on this processor";
    const Comparison& c = GetParam();
    for (std::uint32_t round = 0; round < c.rounds; ++round) {
        const Bytes scalar = c.draw(round, GFX_SIMD_SCALAR);
        for (std::size_t i = 1; i < levels.size(); ++i)
            ASSERT_TRUE(c.draw(round, levels[i]) == scalar) << Gfx_SimdLevelName(levels[i]) << ", round " << round;
    }
}

INSTANTIATE_TEST_SUITE_P(Kernels, SimdVsScalar,
                         ::testing::Values(Comparison{"whole blits", 3000, WholeBlit},
                                           Comparison{"raw kernel calls", 4000, RawKernelCall},
                                           Comparison{"bilinear row sequences", 600, BilinearRowSequence}),
                         [](const ::testing::TestParamInfo<Comparison>& info) {
                             std::string name = info.param.name;
                             for (char& ch : name) ch = ch == ' ' ? '_' : ch;
                             return name;
                         });

TEST(Simd, LevelChoiceFallsBackToWhatIsAvailable) {
    EXPECT_TRUE(Gfx_SimdLevelAvailable(GFX_SIMD_SCALAR));
    EXPECT_FALSE(Gfx_SimdLevelAvailable(GFX_SIMD_LEVEL_COUNT));
    EXPECT_EQ(Gfx_SimdFallback(-4), GFX_SIMD_SCALAR);
    EXPECT_EQ(Gfx_SimdLevelFromName("avx512"), -1);
    EXPECT_EQ(Gfx_SimdLevelFromName(nullptr), -1);
    EXPECT_FALSE(Gfx_Blit_SetSimdLevel(99));
    // Without QUILLORY_SIMD the process runs the best level there is; with
    // it, the named level or the best below it.
    const char* env = std::getenv("QUILLORY_SIMD");
    const std::int32_t named = Gfx_SimdLevelFromName(env);
    EXPECT_EQ(Gfx_SimdDefaultLevel(), Gfx_SimdFallback(named >= 0 ? named : GFX_SIMD_LEVEL_COUNT));
    EXPECT_EQ(Gfx_Blit_GetSimdLevel(), Gfx_SimdDefaultLevel());
    SimdLevelGuard guard;
    for (std::int32_t l = 0; l < GFX_SIMD_LEVEL_COUNT; ++l) {
        SCOPED_TRACE(l);
        EXPECT_LE(Gfx_SimdFallback(l), l);
        EXPECT_TRUE(Gfx_SimdLevelAvailable(Gfx_SimdFallback(l)));
        EXPECT_EQ(Gfx_SimdLevelFromName(Gfx_SimdLevelName(l)), l);
        EXPECT_EQ(Gfx_Blit_SetSimdLevel(l), Gfx_SimdLevelAvailable(l));
        if (Gfx_SimdLevelAvailable(l)) {
            EXPECT_EQ(Gfx_Blit_GetSimdLevel(), l);
        }
        // Every table has an entry for every kernel and variant.
        const Gfx_SpanKernelTable* t = Gfx_SpanKernelsForLevel(l);
        ASSERT_EQ(t != nullptr, Gfx_SimdLevelAvailable(l));
        if (!t) continue;
        EXPECT_STREQ(t->name, Gfx_SimdLevelName(l));
        for (const auto& row : t->fn)
            for (const Gfx_SpanFn fn : row) ASSERT_NE(fn, nullptr);
    }
}

}  // namespace
