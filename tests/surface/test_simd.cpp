// Every SIMD level of the span kernels against the scalar reference: the
// same randomised blits run once per level on identical inputs must leave
// identical destination pixels and alpha bytes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "quillory.h"
#include "surface/internal/span_kernels.h"

namespace {

std::uint32_t g_seed = 1;

// The classic LCG, local so the tests do not disturb the framework's state.
std::uint32_t Rnd() {
    g_seed = g_seed * 214013u + 2531011u;
    return (g_seed >> 16) & 0x7FFFu;
}
std::uint32_t Rnd(std::uint32_t n) { return Rnd() % n; }
std::uint32_t Rnd32() { return Rnd() << 17 ^ Rnd() << 2 ^ Rnd(); }
float RndF(float lo, float hi) { return lo + (hi - lo) * static_cast<float>(Rnd()) / 32767.0f; }

std::vector<std::int32_t> Levels() {
    std::vector<std::int32_t> levels;
    for (std::int32_t l = GFX_SIMD_SSE2; l < GFX_SIMD_LEVEL_COUNT; ++l)
        if (Gfx_SimdLevelAvailable(l)) levels.push_back(l);
    return levels;
}

// Restores the process's level after a test.
struct LevelGuard {
    std::int32_t saved = Gfx_Blit_GetSimdLevel();
    ~LevelGuard() { Gfx_Blit_SetSimdLevel(saved); }
};

// The 32-bit layouts the kernels may meet; the SIMD kernels vectorise the
// byte layouts and must hand the others to the scalar loops unchanged.
constexpr std::int32_t kFormats[] = {GFX_FMT_ARGB8888, GFX_FMT_ARGB8888, GFX_FMT_ARGB8888, GFX_FMT_RGBA8888,
                                     GFX_FMT_ABGR8888, GFX_FMT_BGRA8888, GFX_FMT_CH32};

std::unique_ptr<C_Image> ColorImage(std::uint32_t w, std::uint32_t h, std::int32_t format,
                                    const std::vector<std::uint32_t>& palette) {
    auto image = std::make_unique<C_Image>();
    image->CreateEmpty(w, h, format, GFX_FMT_NONE);
    auto* p = reinterpret_cast<std::uint32_t*>(image->data);
    for (std::uint32_t i = 0; i < image->dataSize / 4; ++i)
        p[i] = palette.empty() || Rnd(4) == 0 ? Rnd32() : palette[Rnd(static_cast<std::uint32_t>(palette.size()))];
    image->bottomUp = static_cast<std::uint8_t>(Rnd(4) == 0);
    return image;
}

// Alpha with the three cases the rule tells apart: 0, 255 and between.
// Runs of equal bytes let whole vectors take the quick paths too.
std::unique_ptr<C_Image> AlphaImage(std::uint32_t w, std::uint32_t h) {
    auto image = std::make_unique<C_Image>();
    image->CreateEmpty(w, h, GFX_FMT_CH8, GFX_FMT_NONE);
    std::uint8_t v = 0;
    for (std::uint32_t i = 0; i < image->dataSize; ++i) {
        if (Rnd(6) == 0) {
            const std::uint32_t kind = Rnd(4);
            v = static_cast<std::uint8_t>(kind == 0 ? 0 : kind == 1 ? 255 : Rnd(256));
        }
        image->data[i] = Rnd(5) == 0 ? static_cast<std::uint8_t>(Rnd(256)) : v;
    }
    image->bottomUp = static_cast<std::uint8_t>(Rnd(4) == 0);
    return image;
}

C_Color IntColor(std::uint32_t p) {
    return C_Color(static_cast<std::int32_t>(p >> 16 & 0xFF), static_cast<std::int32_t>(p >> 8 & 0xFF),
                   static_cast<std::int32_t>(p & 0xFF), static_cast<std::int32_t>(p >> 24));
}

C_Frame RandomFrame(std::uint32_t w, std::uint32_t h) {
    const auto x0 = static_cast<std::int32_t>(Rnd(w + 4)) - 2, y0 = static_cast<std::int32_t>(Rnd(h + 4)) - 2;
    return C_Frame(x0, y0, x0 + static_cast<std::int32_t>(Rnd(w + 2)), y0 + static_cast<std::int32_t>(Rnd(h + 2)));
}

struct Case {
    std::unique_ptr<C_Image> srcColor, srcAlpha, dstColor, dstAlpha;
    bool hasSrcColor = true, selfDraw = false;
    C_DrawParams params;
    bool hasParams = true;
    C_Rect srcRect;
    bool hasSrcRect = false;
    C_Frame clip, clip2;
    bool hasClip = false, hasClip2 = false;
    C_Vector2D position;
    std::string text;  // the case, for failure messages
};

Case RandomCase(int round) {
    Case c;
    const std::uint32_t sw = 1 + Rnd(Rnd(3) == 0 ? 90 : 40), sh = 1 + Rnd(40);
    const std::uint32_t dw = 1 + Rnd(120), dh = 1 + Rnd(70);
    const std::int32_t srcFormat = kFormats[Rnd(sizeof kFormats / sizeof kFormats[0])];
    const std::int32_t dstFormat = Rnd(4) == 0 ? kFormats[Rnd(sizeof kFormats / sizeof kFormats[0])] : srcFormat;
    std::vector<std::uint32_t> palette;
    for (int i = 0; i < 4; ++i) palette.push_back(Rnd32());
    c.hasSrcColor = Rnd(8) != 0;
    c.srcColor = ColorImage(sw, sh, srcFormat, palette);
    if (!c.hasSrcColor || Rnd(2) == 0) c.srcAlpha = AlphaImage(sw, sh);
    c.dstColor = ColorImage(dw, dh, dstFormat, palette);
    if (Rnd(3) == 0) c.dstAlpha = AlphaImage(dw, dh);
    c.selfDraw = c.hasSrcColor && Rnd(12) == 0;

    C_DrawParams& p = c.params;
    c.hasParams = Rnd(10) != 0;
    const std::uint32_t path = Rnd(3);  // unscaled, scaled, rotated
    if (path == 1) {
        p.scale = C_Vector2D(Rnd(2) ? RndF(0.2f, 4.0f) : 2.0f, Rnd(3) ? RndF(0.2f, 4.0f) : 1.0f);
    } else if (path == 2) {
        p.angle = Rnd(4) == 0 ? 90.0f * static_cast<float>(1 + Rnd(3)) : RndF(-360.0f, 360.0f);
        p.scale = Rnd(2) ? C_Vector2D(1.0f, 1.0f) : C_Vector2D(RndF(0.3f, 3.0f), RndF(0.3f, 3.0f));
    }
    p.pivot = C_Vector2D(RndF(-5.0f, 20.0f), RndF(-5.0f, 20.0f), static_cast<std::uint8_t>(Rnd(3) | Rnd(3) << 4));
    p.flipH = static_cast<std::uint8_t>(Rnd(3) == 0);
    p.flipV = static_cast<std::uint8_t>(Rnd(3) == 0);
    p.wrapH = static_cast<std::uint8_t>(Rnd(10) == 0);
    const std::uint32_t op = Rnd(5);
    p.opacity = op == 0 ? RndF(0.0f, 1.0f) : op == 1 ? 0.5f : op == 2 ? 0.004f : 1.0f;
    p.filter = Rnd(2);
    p.useKeyColor = static_cast<std::uint8_t>(Rnd(4) == 0);
    p.keyColor = IntColor(palette[Rnd(4)]);
    p.useFillColor = static_cast<std::uint8_t>(Rnd(5) == 0);
    p.fillColor = IntColor(Rnd32());
    p.useBrightness = static_cast<std::uint8_t>(Rnd(4) == 0);
    p.brightness = C_Color(RndF(-1.0f, 1.0f), RndF(-1.0f, 1.0f), Rnd(8) ? RndF(-1.0f, 1.0f) : 200.0f, 0.0f);
    p.useContrast = static_cast<std::uint8_t>(Rnd(4) == 0);
    // Mostly factors the vectors take; now and then one past their range.
    p.contrast = C_Color(RndF(-2.0f, 4.0f), RndF(0.0f, 2.0f), Rnd(8) ? RndF(0.0f, 3.0f) : 100.0f, 0.0f);

    c.hasSrcRect = Rnd(3) == 0;
    c.srcRect = C_Rect(RndF(-2.0f, static_cast<float>(sw)), RndF(-2.0f, static_cast<float>(sh)),
                       RndF(0.0f, static_cast<float>(sw) + 3), RndF(0.0f, static_cast<float>(sh) + 3));
    c.hasClip = Rnd(3) == 0;
    c.clip = RandomFrame(dw, dh);
    c.hasClip2 = Rnd(4) == 0;
    c.clip2 = RandomFrame(dw, dh);
    c.position = C_Vector2D(RndF(-30.0f, static_cast<float>(dw) + 10), RndF(-30.0f, static_cast<float>(dh) + 10),
                            static_cast<std::uint8_t>(Rnd(3) | Rnd(3) << 4));
    c.text = "round " + std::to_string(round) + ": src " + std::to_string(sw) + "x" + std::to_string(sh) + " fmt " +
             std::to_string(srcFormat) + (c.hasSrcColor ? "" : " alpha-only") + (c.srcAlpha ? " +alpha" : "") +
             ", dst " + std::to_string(dw) + "x" + std::to_string(dh) + " fmt " + std::to_string(dstFormat) +
             (c.dstAlpha ? " +alpha" : "") + (c.selfDraw ? " self" : "") + ", scale " + std::to_string(p.scale.x) +
             "," + std::to_string(p.scale.y) + " angle " + std::to_string(p.angle) + " opacity " +
             std::to_string(p.opacity) + " filter " + std::to_string(p.filter) + " key " +
             std::to_string(p.useKeyColor) + " fill " + std::to_string(p.useFillColor) + " bright " +
             std::to_string(p.useBrightness) + " contrast " + std::to_string(p.useContrast) + " flips " +
             std::to_string(p.flipH) + std::to_string(p.flipV);
    return c;
}

std::unique_ptr<C_Image> Copy(const C_Image* image) {
    if (!image) return nullptr;
    auto copy = std::make_unique<C_Image>();
    copy->CreateEmpty(image->width, image->height, image->format, GFX_FMT_NONE);
    std::memcpy(copy->data, image->data, image->dataSize);
    copy->bottomUp = image->bottomUp;
    return copy;
}

struct Result {
    std::vector<std::uint8_t> color, alpha;
};

// Draws the case at the current level onto fresh copies of its destination.
Result Draw(const Case& c) {
    auto dstColor = Copy(c.dstColor.get()), dstAlpha = Copy(c.dstAlpha.get());
    auto srcColor = Copy(c.srcColor.get()), srcAlpha = Copy(c.srcAlpha.get());
    C_Surface dst(1, dstColor.get(), dstAlpha.get());
    C_Surface src(1, nullptr);
    if (c.selfDraw) {
        src.AddPlane(dstColor.get(), GFX_PLANE_COLOR);
        if (dstAlpha) src.AddPlane(dstAlpha.get(), GFX_PLANE_ALPHA);
    } else {
        if (c.hasSrcColor) src.AddPlane(srcColor.get(), GFX_PLANE_COLOR);
        if (srcAlpha) src.AddPlane(srcAlpha.get(), GFX_PLANE_ALPHA);
    }
    Gfx_Surface_BlitTransformed(&src, &dst, c.hasSrcRect ? &c.srcRect : nullptr, c.hasClip ? &c.clip : nullptr,
                                c.hasClip2 ? &c.clip2 : nullptr, &c.position, 0, c.hasParams ? &c.params : nullptr);
    Result r;
    r.color.assign(dstColor->data, dstColor->data + dstColor->dataSize);
    if (dstAlpha) r.alpha.assign(dstAlpha->data, dstAlpha->data + dstAlpha->dataSize);
    return r;
}

// The first differing 32-bit pixel or byte, or -1.
long FirstDifference(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b, std::size_t unit) {
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i)
        if (a[i] != b[i]) return static_cast<long>(i / unit);
    return a.size() == b.size() ? -1 : 0;
}

TEST(Simd, LevelChoiceFallsBackToWhatIsAvailable) {
    EXPECT_TRUE(Gfx_SimdLevelAvailable(GFX_SIMD_SCALAR));
    EXPECT_FALSE(Gfx_SimdLevelAvailable(GFX_SIMD_LEVEL_COUNT));
    EXPECT_EQ(Gfx_SimdFallback(-4), GFX_SIMD_SCALAR);
    for (std::int32_t l = 0; l < GFX_SIMD_LEVEL_COUNT; ++l) {
        EXPECT_LE(Gfx_SimdFallback(l), l);
        EXPECT_TRUE(Gfx_SimdLevelAvailable(Gfx_SimdFallback(l)));
        EXPECT_EQ(Gfx_SimdLevelFromName(Gfx_SimdLevelName(l)), l);
    }
    EXPECT_EQ(Gfx_SimdLevelFromName("avx512"), -1);
    EXPECT_EQ(Gfx_SimdLevelFromName(nullptr), -1);
    EXPECT_TRUE(Gfx_SimdLevelAvailable(Gfx_SimdDefaultLevel()));
    // Without QUILLORY_SIMD the process runs the best level there is; with
    // it, the named level or the best below it.
    const char* env = std::getenv("QUILLORY_SIMD");
    const std::int32_t named = Gfx_SimdLevelFromName(env);
    EXPECT_EQ(Gfx_SimdDefaultLevel(), Gfx_SimdFallback(named >= 0 ? named : GFX_SIMD_LEVEL_COUNT)) << (env ? env : "");
    EXPECT_EQ(Gfx_Blit_GetSimdLevel(), Gfx_SimdDefaultLevel());

    LevelGuard guard;
    for (std::int32_t l = 0; l < GFX_SIMD_LEVEL_COUNT; ++l) {
        EXPECT_EQ(Gfx_Blit_SetSimdLevel(l), Gfx_SimdLevelAvailable(l));
        if (Gfx_SimdLevelAvailable(l)) {
            EXPECT_EQ(Gfx_Blit_GetSimdLevel(), l);
        }
    }
    // Every table has an entry for every kernel and variant.
    for (std::int32_t l = 0; l < GFX_SIMD_LEVEL_COUNT; ++l) {
        const Gfx_SpanKernelTable* t = Gfx_SpanKernelsForLevel(l);
        ASSERT_EQ(t != nullptr, Gfx_SimdLevelAvailable(l));
        if (!t) continue;
        EXPECT_STREQ(t->name, Gfx_SimdLevelName(l));
        for (const auto& row : t->fn)
            for (const Gfx_SpanFn fn : row) EXPECT_NE(fn, nullptr);
    }
}

TEST(Simd, RandomBlitsMatchTheScalarKernelsAtEveryLevel) {
    const std::vector<std::int32_t> levels = Levels();
    if (levels.empty()) GTEST_SKIP() << "no SIMD level in this build or on this processor";
    LevelGuard guard;
    g_seed = 12345;
    int compared = 0;
    for (int round = 0; round < 3000; ++round) {
        const Case c = RandomCase(round);
        ASSERT_TRUE(Gfx_Blit_SetSimdLevel(GFX_SIMD_SCALAR));
        const Result reference = Draw(c);
        for (const std::int32_t level : levels) {
            ASSERT_TRUE(Gfx_Blit_SetSimdLevel(level));
            const Result r = Draw(c);
            const long pixel = FirstDifference(reference.color, r.color, 4);
            const long alpha = FirstDifference(reference.alpha, r.alpha, 1);
            ASSERT_EQ(pixel, -1) << Gfx_SimdLevelName(level) << ", " << c.text;
            ASSERT_EQ(alpha, -1) << Gfx_SimdLevelName(level) << ", " << c.text;
            ++compared;
        }
    }
    EXPECT_GT(compared, 0);
}

// Kernel calls the blit never makes: coordinates far outside 32 bits,
// channel layouts of other widths, walks from either side.
TEST(Simd, KernelsMatchTheScalarKernelsOnRawArguments) {
    const std::vector<std::int32_t> levels = Levels();
    if (levels.empty()) GTEST_SKIP() << "no SIMD level in this build or on this processor";
    g_seed = 777;
    constexpr std::int32_t kW = 24, kH = 12;
    std::vector<std::uint32_t> src(kW * kH), dst0(64), dst1(64);
    std::vector<std::uint8_t> srcAlpha(kW * kH), dstAlpha0(64), dstAlpha1(64);
    const Gfx_SpanKernelTable& scalar = Gfx_SpanKernels_Scalar();
    for (int round = 0; round < 4000; ++round) {
        for (auto& p : src) p = Rnd32();
        for (auto& a : srcAlpha) a = static_cast<std::uint8_t>(Rnd(3) == 0 ? 255 * Rnd(2) : Rnd(256));
        for (std::size_t i = 0; i < dst0.size(); ++i) {
            dst0[i] = dst1[i] = Rnd32();
            dstAlpha0[i] = dstAlpha1[i] = static_cast<std::uint8_t>(Rnd(3) == 0 ? 255 : Rnd(256));
        }
        Gfx_SpanArgs a{};
        const bool bytes = Rnd(4) != 0;
        const std::uint32_t shifts[2][3] = {{16, 8, 0}, {20, 10, 0}};
        for (int ch = 0; ch < 3; ++ch) {
            a.srcShift[ch] = a.dstShift[ch] = shifts[bytes ? 0 : 1][ch];
            a.srcMask[ch] = a.dstMask[ch] = bytes ? 0xFF : 0x3F;
        }
        a.keyPixel = src[Rnd(kW * kH)];
        a.fillPixel = Rnd32();
        a.fillR = static_cast<std::int32_t>(Rnd(256));
        a.fillG = static_cast<std::int32_t>(Rnd(256));
        a.fillB = static_cast<std::int32_t>(Rnd(256));
        a.brightR = static_cast<std::int32_t>(Rnd(600)) - 300;
        a.brightG = Rnd(10) == 0 ? 40000 : static_cast<std::int32_t>(Rnd(600)) - 300;
        a.brightB = Rnd(10) == 0 ? -40000 : 0;
        a.contR = static_cast<std::int32_t>(Rnd(1024)) - 256;
        a.contG = Rnd(10) == 0 ? 20000 : 256;
        a.contB = static_cast<std::int32_t>(Rnd(2048));
        a.alpha256 = Rnd(2) ? 256 : static_cast<std::int32_t>(Rnd(256));
        a.srcBase = src.data();
        a.srcPitch = kW;
        a.srcAlphaBase = srcAlpha.data();
        a.srcAlphaPitch = kW;
        a.x0 = static_cast<std::int32_t>(Rnd(4));
        a.y0 = static_cast<std::int32_t>(Rnd(4));
        a.x1 = a.x0 + 1 + static_cast<std::int32_t>(Rnd(kW - a.x0));
        a.y1 = a.y0 + 1 + static_cast<std::int32_t>(Rnd(kH - a.y0));
        a.imgW = kW;
        a.imgH = kH;
        a.count = static_cast<std::int32_t>(Rnd(20));
        a.src = src.data() + 40;  // room for 20 pixels either way
        a.srcAlpha = srcAlpha.data() + 40;
        const bool far = Rnd(8) == 0;
        a.u = far ? (std::int64_t{1} << 40) + Rnd32() : static_cast<std::int64_t>(Rnd32() % (40 << 16)) - (8 << 16);
        a.v = static_cast<std::int64_t>(Rnd32() % (20 << 16)) - (4 << 16);
        a.du = static_cast<std::int64_t>(Rnd32() % (6 << 16)) - (3 << 16);
        a.dv = static_cast<std::int64_t>(Rnd32() % (4 << 16)) - (2 << 16);
        const auto id = static_cast<std::uint32_t>(Rnd(GFX_SPAN_KERNEL_COUNT));
        const std::uint32_t variant = Rnd(GFX_SPAN_VARIANT_COUNT);
        const bool dstA = (variant & GFX_SPAN_DST_ALPHA) != 0;
        const bool srcA = (variant & GFX_SPAN_SRC_ALPHA) != 0;
        if (!srcA) {
            a.srcAlphaBase = nullptr;
            a.srcAlpha = nullptr;
        }

        a.dst = dst0.data() + 3;
        a.dstAlpha = dstA ? dstAlpha0.data() + 3 : nullptr;
        scalar.fn[id][variant](a);
        for (const std::int32_t level : levels) {
            std::vector<std::uint32_t> d = dst1;
            std::vector<std::uint8_t> da = dstAlpha1;
            a.dst = d.data() + 3;
            a.dstAlpha = dstA ? da.data() + 3 : nullptr;
            Gfx_SpanKernelsForLevel(level)->fn[id][variant](a);
            ASSERT_EQ(d, dst0) << Gfx_SimdLevelName(level) << " round " << round << " kernel " << id << " variant "
                               << variant;
            ASSERT_EQ(da, dstAlpha0) << Gfx_SimdLevelName(level) << " round " << round << " kernel " << id;
        }
    }
}

}  // namespace

namespace {

// An enlarged copy repeats destination rows from the first row drawn from
// each source row; a key colour that never matches walks every row through
// the kernel and must give the same picture.
TEST(Simd, EnlargedCopyRowsMatchRowsDrawnOneByOne) {
    g_seed = 31;
    auto picture = ColorImage(37, 23, GFX_FMT_ARGB8888, {});
    picture->bottomUp = 0;
    auto* p = reinterpret_cast<std::uint32_t*>(picture->data);
    for (std::uint32_t i = 0; i < picture->dataSize / 4; ++i) p[i] &= 0x00FFFFFF;  // no pixel is the key
    C_Surface src(1, picture.get());
    for (const float sy : {1.0f, 2.0f, 2.7f, 0.6f}) {
        C_DrawParams params;
        params.scale = C_Vector2D(1.7f, sy);
        params.flipV = static_cast<std::uint8_t>(sy > 2.5f);
        const C_Vector2D at(-3.5f, 4.25f);
        auto a = ColorImage(90, 80, GFX_FMT_ARGB8888, {}), b = Copy(a.get());
        C_Surface da(1, a.get()), db(1, b.get());
        Gfx_Surface_BlitTransformed(&src, &da, nullptr, nullptr, nullptr, &at, 0, &params);
        params.useKeyColor = 1;
        params.keyColor = C_Color(0, 0, 0, 255);
        Gfx_Surface_BlitTransformed(&src, &db, nullptr, nullptr, nullptr, &at, 0, &params);
        EXPECT_EQ(std::memcmp(a->data, b->data, a->dataSize), 0) << "scale y " << sy;
    }
}

}  // namespace

namespace {

// A source rectangle thinner than a pixel leaves an empty integer row range;
// the kernel then reads row y0, and so must the repeated rows.
TEST(Simd, EnlargedCopyOfASubPixelRectangle) {
    g_seed = 5;
    auto picture = ColorImage(8, 8, GFX_FMT_ARGB8888, {});
    picture->bottomUp = 0;
    C_Surface src(1, picture.get());
    C_DrawParams params;
    params.scale = C_Vector2D(3.0f, 4.0f);
    const C_Rect thin(1.0f, 0.2f, 5.0f, 0.7f);
    const C_Vector2D at(2.0f, 1.0f);
    auto a = ColorImage(40, 30, GFX_FMT_ARGB8888, {}), b = Copy(a.get());
    C_Surface da(1, a.get()), db(1, b.get());
    Gfx_Surface_BlitTransformed(&src, &da, &thin, nullptr, nullptr, &at, 0, &params);
    params.useKeyColor = 1;
    params.keyColor = C_Color(1, 2, 3, 4);  // matches no pixel of this picture
    Gfx_Surface_BlitTransformed(&src, &db, &thin, nullptr, nullptr, &at, 0, &params);
    EXPECT_EQ(std::memcmp(a->data, b->data, a->dataSize), 0);
}

}  // namespace

namespace {

// Kernels that carry state from row to row of a call (the bilinear scale
// kernel's row cache), run over whole calls as the blit runs them and
// compared with the scalar kernel drawing the same rows one by one. A call
// moves its walk now and then, which must invalidate what was kept.
struct RowSequenceKernel {
    const char* name;
    std::uint32_t id, requiredBits;
};

void PrintTo(const RowSequenceKernel& k, std::ostream* os) { *os << k.name; }

class SimdRowSequence : public ::testing::TestWithParam<RowSequenceKernel> {};

TEST_P(SimdRowSequence, MatchesTheScalarKernelRowByRow) {
    const std::vector<std::int32_t> levels = Levels();
    if (levels.empty()) GTEST_SKIP() << "no SIMD level in this build or on this processor";
    const RowSequenceKernel k = GetParam();
    g_seed = 4242;
    constexpr std::int32_t kW = 40, kH = 30, kRows = 24, kMaxCount = 1100;
    std::vector<std::uint32_t> src(kW * kH);
    std::vector<std::uint8_t> srcAlpha(kW * kH);
    std::vector<std::uint32_t> dst0(kRows * kMaxCount), dst1;
    std::vector<std::uint8_t> dstAlpha0(kRows * kMaxCount), dstAlpha1;
    const Gfx_SpanKernelTable& scalar = Gfx_SpanKernels_Scalar();
    for (int round = 0; round < 600; ++round) {
        for (auto& p : src) p = Rnd32();
        for (auto& a : srcAlpha) a = static_cast<std::uint8_t>(Rnd(3) == 0 ? 255 * Rnd(2) : Rnd(256));
        for (std::size_t i = 0; i < dst0.size(); ++i) {
            dst0[i] = Rnd32();
            dstAlpha0[i] = static_cast<std::uint8_t>(Rnd(3) == 0 ? 255 : Rnd(256));
        }
        dst1 = dst0;
        dstAlpha1 = dstAlpha0;
        Gfx_SpanArgs a{};
        const std::uint32_t shifts[3] = {16, 8, 0};
        for (int ch = 0; ch < 3; ++ch) {
            a.srcShift[ch] = a.dstShift[ch] = shifts[ch];
            a.srcMask[ch] = a.dstMask[ch] = 0xFF;
        }
        a.fillR = 200, a.fillG = 100, a.fillB = 7;
        a.contR = a.contG = a.contB = static_cast<std::int32_t>(Rnd(512));
        a.brightR = a.brightG = a.brightB = static_cast<std::int32_t>(Rnd(200)) - 100;
        a.alpha256 = Rnd(2) ? 256 : static_cast<std::int32_t>(Rnd(256));
        const bool bottomUp = Rnd(3) == 0;
        a.srcBase = bottomUp ? src.data() + (kH - 1) * kW : src.data();
        a.srcPitch = bottomUp ? -kW : kW;
        a.srcAlphaBase = bottomUp ? srcAlpha.data() + (kH - 1) * kW : srcAlpha.data();
        a.srcAlphaPitch = a.srcPitch;
        a.x0 = static_cast<std::int32_t>(Rnd(4));
        a.y0 = static_cast<std::int32_t>(Rnd(4));
        a.x1 = a.x0 + 1 + static_cast<std::int32_t>(Rnd(kW - a.x0));
        a.y1 = a.y0 + 1 + static_cast<std::int32_t>(Rnd(kH - a.y0));
        a.imgW = kW;
        a.imgH = kH;
        a.count = Rnd(20) == 0 ? kMaxCount : static_cast<std::int32_t>(Rnd(70));
        a.du = static_cast<std::int64_t>(Rnd32() % (2 << 16)) - (1 << 16);
        const std::int64_t u0 = static_cast<std::int64_t>(Rnd32() % (40 << 16)) - (4 << 16);
        const std::int64_t v0 = static_cast<std::int64_t>(Rnd32() % (34 << 16)) - (4 << 16);
        const std::int64_t dv = static_cast<std::int64_t>(Rnd32() % (2 << 16)) - (1 << 16);
        const std::uint32_t variant = Rnd(GFX_SPAN_VARIANT_COUNT) | k.requiredBits;
        const bool dstA = (variant & GFX_SPAN_DST_ALPHA) != 0;
        if (!(variant & GFX_SPAN_SRC_ALPHA)) a.srcAlphaBase = nullptr;
        const std::int32_t moveAt = static_cast<std::int32_t>(Rnd(2 * kRows));  // the walk moves here

        const auto drawRows = [&](Gfx_SpanFn fn, std::uint32_t* d, std::uint8_t* da, Gfx_SpanRowCache* cache) {
            a.rowCache = cache;
            for (std::int32_t r = 0; r < kRows; ++r) {
                a.u = r < moveAt ? u0 : u0 + (3 << 16);
                a.v = v0 + r * dv;
                a.dst = d + r * kMaxCount;
                a.dstAlpha = dstA ? da + r * kMaxCount : nullptr;
                fn(a);
            }
        };
        drawRows(scalar.fn[k.id][variant], dst0.data(), dstAlpha0.data(), nullptr);
        for (const std::int32_t level : levels) {
            std::vector<std::uint32_t> d = dst1;
            std::vector<std::uint8_t> da = dstAlpha1;
            auto cache = std::make_unique<Gfx_SpanRowCache>();
            drawRows(Gfx_SpanKernelsForLevel(level)->fn[k.id][variant], d.data(), da.data(), cache.get());
            ASSERT_EQ(d, dst0) << k.name << ", " << Gfx_SimdLevelName(level) << " round " << round << " variant "
                               << variant;
            ASSERT_EQ(da, dstAlpha0) << k.name << ", " << Gfx_SimdLevelName(level) << " round " << round;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Kernels, SimdRowSequence,
                         ::testing::Values(RowSequenceKernel{"bilinear scaling through the row cache",
                                                             GFX_SPAN_SCALE_ADJUST, GFX_SPAN_BILINEAR}));

}  // namespace
