#include "surface/internal/span_kernels.h"

#include <array>
#include <cstring>
#include <utility>

#include "surface/blit_kernel.h"
#include "surface/internal/span_taps.h"

// Every kernel follows the same pattern: copy the per-call values it needs
// into locals (stores through the destination pointer could otherwise alias
// the argument record and force a reload per pixel), then run one loop with
// no option left to test. Options fixed for the call are template
// parameters; the table at the end instantiates each combination.

namespace {

// The per-pixel helpers are forced inline: left to the inliner's
// heuristics, some (the bilinear ones) end up as calls per pixel.

struct Rgb {
    std::int32_t r, g, b;
};

// One pixel layout: shifts and masks of red, green and blue.
struct Layout {
    std::uint32_t sh0, sh1, sh2;
    std::uint32_t m0, m1, m2;

    [[gnu::always_inline]] inline Rgb Get(std::uint32_t p) const {
        return {static_cast<std::int32_t>((p >> sh0) & m0), static_cast<std::int32_t>((p >> sh1) & m1),
                static_cast<std::int32_t>((p >> sh2) & m2)};
    }
    // Repacking sets the three channels and clears every other bit.
    [[gnu::always_inline]] inline std::uint32_t Pack(Rgb c) const {
        return static_cast<std::uint32_t>(c.r) << sh0 | static_cast<std::uint32_t>(c.g) << sh1 |
               static_cast<std::uint32_t>(c.b) << sh2;
    }
};

Layout SourceLayout(const Gfx_SpanArgs& a) {
    return {a.srcShift[0], a.srcShift[1], a.srcShift[2], a.srcMask[0], a.srcMask[1], a.srcMask[2]};
}

Layout DestLayout(const Gfx_SpanArgs& a) {
    return {a.dstShift[0], a.dstShift[1], a.dstShift[2], a.dstMask[0], a.dstMask[1], a.dstMask[2]};
}

// Index clamped to [lo, hi]. When the range is empty the lower bound wins:
// lo is always a valid index, hi then may not be.
[[gnu::always_inline]] inline std::int64_t ClampIndex(std::int64_t c, std::int64_t lo, std::int64_t hi) {
    if (c > hi) c = hi;
    if (c < lo) c = lo;
    return c;
}

// The weight of a pixel in 1/256: the opacity, times the source alpha byte
// when there is one. With full opacity the byte itself is the weight.
template <bool SrcA, bool Full>
[[gnu::always_inline]] inline std::int32_t Weight(std::int32_t sourceAlpha, std::int32_t alpha256) {
    if constexpr (!SrcA) {
        return Full ? 256 : alpha256;
    } else if constexpr (Full) {
        return sourceAlpha;
    } else {
        return (sourceAlpha * alpha256) >> 8;
    }
}

// d + (s - d) * w / 256 with an arithmetic shift, so negative differences
// round towards minus infinity.
[[gnu::always_inline]] inline std::int32_t Mix(std::int32_t d, std::int32_t s, std::int32_t w) {
    return d + (((s - d) * w) >> 8);
}

// A colour of weight a (0 < a < 255) over the destination pixel. With a
// destination alpha plane the coverage accumulates and the colour weight is
// rescaled by it, so drawing onto a transparent pixel takes the colour
// entirely.
template <bool DstA>
[[gnu::always_inline]] inline void Compose(std::uint32_t* d, std::uint8_t* da, std::int32_t a, Rgb s,
                                           const Layout& dl) {
    const Rgb dc = dl.Get(*d);
    std::int32_t w = a;
    if constexpr (DstA) {
        const std::int32_t dA = *da;
        if (dA != 255) {
            const std::int32_t na = dA + (((256 - dA) * a) >> 8);
            *da = static_cast<std::uint8_t>(na);
            w = (a * 256) / na;
        }
    }
    *d = dl.Pack({Mix(dc.r, s.r, w), Mix(dc.g, s.g, w), Mix(dc.b, s.b, w)});
}

// Contrast around 128, then brightness, then clamping. Unused effects carry
// neutral values (contrast 256, brightness 0), which leave a channel exactly
// as it was.
struct ColorAdjust {
    Rgb cont, bright;

    [[gnu::always_inline]] inline static std::int32_t Channel(std::int32_t c, std::int32_t k, std::int32_t add) {
        c = (((c - 128) * k) >> 8) + 128;
        c += add;
        if (c < 0) c = 0;
        if (c > 255) c = 255;
        return c;
    }
    [[gnu::always_inline]] inline Rgb operator()(Rgb c) const {
        return {Channel(c.r, cont.r, bright.r), Channel(c.g, cont.g, bright.g), Channel(c.b, cont.b, bright.b)};
    }
};

// What the adjusting kernels do with colour: the fill colour as it is, the
// sampled colour as it is (filtering only), or the sampled colour adjusted.
enum class ColorMode { Fill, Raw, Adjust };

// ---------------------------------------------------------------------------
// Bilinear sampling: the taps of span_taps.h, interpolated in x, then in y.

[[gnu::always_inline]] inline std::int32_t Lerp16(std::int32_t p0, std::int32_t p1, std::int32_t f) {
    return p0 + (((p1 - p0) * f) >> 16);
}

[[gnu::always_inline]] inline std::int32_t Bilerp(std::int32_t p00, std::int32_t p01, std::int32_t p10,
                                                  std::int32_t p11, std::int32_t fx, std::int32_t fy) {
    return Lerp16(Lerp16(p00, p01, fx), Lerp16(p10, p11, fx), fy);
}

[[gnu::always_inline]] inline Rgb BilerpRgb(const Layout& l, std::uint32_t p00, std::uint32_t p01, std::uint32_t p10,
                                            std::uint32_t p11, std::int32_t fx, std::int32_t fy) {
    const Rgb c00 = l.Get(p00), c01 = l.Get(p01), c10 = l.Get(p10), c11 = l.Get(p11);
    return {Bilerp(c00.r, c01.r, c10.r, c11.r, fx, fy), Bilerp(c00.g, c01.g, c10.g, c11.g, fx, fy),
            Bilerp(c00.b, c01.b, c10.b, c11.b, fx, fy)};
}

// The two source rows of a bilinear sample, colour and alpha.
struct RowPair {
    const std::uint32_t* c0;
    const std::uint32_t* c1;
    const std::uint8_t* a0;
    const std::uint8_t* a1;
    std::int32_t fy;
};

template <bool NeedColor, bool SrcA>
[[gnu::always_inline]] inline RowPair BilinearRows(const Gfx_SpanArgs& s, std::int64_t v) {
    const SpanTaps t = SpanBilinearTaps(v, s.y0, s.y1, s.imgH);
    RowPair r{nullptr, nullptr, nullptr, nullptr, t.f};
    if constexpr (NeedColor) {
        r.c0 = s.srcBase + t.a * s.srcPitch;
        r.c1 = s.srcBase + t.b * s.srcPitch;
    }
    if constexpr (SrcA) {
        r.a0 = s.srcAlphaBase + t.a * s.srcAlphaPitch;
        r.a1 = s.srcAlphaBase + t.b * s.srcAlphaPitch;
    }
    return r;
}

// ---------------------------------------------------------------------------
// The pixel step shared by the blending and adjusting kernels: weight 0
// skips, 255 and above writes the pixel (and makes the destination opaque),
// anything between composes.

template <bool DstA>
[[gnu::always_inline]] inline void Put(std::uint32_t* d, std::uint8_t* da, std::int32_t a, std::uint32_t opaquePixel,
                                       Rgb c, const Layout& dl) {
    if (a >= 255) {
        *d = opaquePixel;
        if constexpr (DstA) *da = 255;
        return;
    }
    Compose<DstA>(d, da, a, c, dl);
}

// The per-call values of the blending and adjusting kernels, copied out of
// the argument record once (see the top of the file), and their per-pixel
// steps. The callables passed in read the source only where the variant
// has what they read.
template <ColorMode Mode, bool SrcA, bool DstA, bool Full>
struct Painter {
    Layout sl, dl;
    std::uint32_t fillPixel;
    Rgb fill;
    ColorAdjust adjust;
    std::int32_t alpha256;
    std::uint32_t* dst;
    std::uint8_t* dstAlpha;
    std::int32_t count;

    explicit Painter(const Gfx_SpanArgs& s)
        : sl(SourceLayout(s)),
          dl(DestLayout(s)),
          fillPixel(s.fillPixel),
          fill{s.fillR, s.fillG, s.fillB},
          adjust{{s.contR, s.contG, s.contB}, {s.brightR, s.brightG, s.brightB}},
          alpha256(s.alpha256),
          dst(s.dst),
          dstAlpha(s.dstAlpha),
          count(s.count) {}

    // The pixel's weight; alphaAt() gives its source alpha byte.
    template <typename AlphaAt>
    [[gnu::always_inline]] inline std::int32_t WeightAt(AlphaAt alphaAt) const {
        if constexpr (SrcA)
            return Weight<SrcA, Full>(alphaAt(), alpha256);
        else
            return Weight<SrcA, Full>(0, alpha256);
    }

    // Blending: the source pixel pixelAt() (or the fill colour) itself where
    // the weight is full, composed over the destination below that.
    template <typename PixelAt>
    [[gnu::always_inline]] inline void Blend(std::int32_t i, std::int32_t a, PixelAt pixelAt) const {
        if constexpr (Mode == ColorMode::Fill) {
            Put<DstA>(dst + i, DstA ? dstAlpha + i : nullptr, a, fillPixel, fill, dl);
        } else {
            const std::uint32_t p = pixelAt();
            Put<DstA>(dst + i, DstA ? dstAlpha + i : nullptr, a, p, a >= 255 ? Rgb{} : sl.Get(p), dl);
        }
    }

    // Adjusting: the colour rgbAt() samples (or the fill colour), adjusted
    // when the mode says so, repacked in the destination layout.
    template <typename RgbAt>
    [[gnu::always_inline]] inline void Paint(std::int32_t i, std::int32_t a, RgbAt rgbAt) const {
        Rgb c = fill;
        if constexpr (Mode != ColorMode::Fill) c = rgbAt();
        if constexpr (Mode == ColorMode::Adjust) c = adjust(c);
        Put<DstA>(dst + i, DstA ? dstAlpha + i : nullptr, a, dl.Pack(c), c, dl);
    }
};

// ---------------------------------------------------------------------------
// Row family: source and destination walked in step.

void RowCopy(const Gfx_SpanArgs& s) {
    if (s.count < 1) return;
    const std::uint32_t* src = s.src;
    std::uint32_t* dst = s.dst;
    const auto n = static_cast<std::size_t>(s.count);
    // A block copy when the rows are apart; a row drawn onto itself keeps the
    // pixel-by-pixel order.
    const auto d = reinterpret_cast<std::uintptr_t>(dst), p = reinterpret_cast<std::uintptr_t>(src);
    if (d + n * 4 <= p || p + n * 4 <= d) {
        std::memcpy(dst, src, n * 4);
        return;
    }
    for (std::size_t i = 0; i < n; ++i) dst[i] = src[i];
}

void RowCopyMirror(const Gfx_SpanArgs& s) {
    const std::uint32_t* src = s.src;
    std::uint32_t* dst = s.dst;
    for (std::int32_t i = 0; i < s.count; ++i) dst[i] = src[-i];
}

template <bool Mirror>
void RowKey(const Gfx_SpanArgs& s) {
    const std::uint32_t* src = s.src;
    std::uint32_t* dst = s.dst;
    const std::uint32_t key = s.keyPixel;
    const std::int32_t n = s.count;
    for (std::int32_t i = 0; i < n; ++i) {
        const std::uint32_t p = Mirror ? src[-i] : src[i];
        if (p != key) dst[i] = p;
    }
}

void RowFill(const Gfx_SpanArgs& s) {
    std::uint32_t* dst = s.dst;
    const std::uint32_t fill = s.fillPixel;
    for (std::int32_t i = 0; i < s.count; ++i) dst[i] = fill;
}

template <bool Mirror>
void RowKeyFill(const Gfx_SpanArgs& s) {
    const std::uint32_t* src = s.src;
    std::uint32_t* dst = s.dst;
    const std::uint32_t key = s.keyPixel;
    const std::uint32_t fill = s.fillPixel;
    const std::int32_t n = s.count;
    for (std::int32_t i = 0; i < n; ++i) {
        const std::uint32_t p = Mirror ? src[-i] : src[i];
        if (p != key) dst[i] = fill;
    }
}

// The blending (Adjust false) and adjusting kernels of the row family.
template <bool Adjust, ColorMode Mode, bool SrcA, bool DstA, bool Full, bool Mirror>
void RowPaint(const Gfx_SpanArgs& s) {
    const Painter<Mode, SrcA, DstA, Full> o(s);
    const std::uint32_t* src = s.src;
    const std::uint8_t* srcAlpha = s.srcAlpha;
    for (std::int32_t i = 0; i < o.count; ++i) {
        const std::int32_t k = Mirror ? -i : i;
        const std::int32_t a = o.WeightAt([&] { return srcAlpha[k]; });
        if (a == 0) continue;
        if constexpr (Adjust)
            o.Paint(i, a, [&] { return o.sl.Get(src[k]); });
        else
            o.Blend(i, a, [&] { return src[k]; });
    }
}

// ---------------------------------------------------------------------------
// Scale family: one source row per destination row, the column from u.

struct ScaleWalk {
    const std::uint32_t* row;  // the source row
    std::int64_t u, du;
    std::int64_t lo, hi;  // column clamp

    [[gnu::always_inline]] inline std::int64_t Next() {
        const std::int64_t c = ClampIndex(u >> 16, lo, hi);
        u += du;
        return c;
    }
};

[[gnu::always_inline]] inline std::int64_t NearestRow(const Gfx_SpanArgs& s) {
    return ClampIndex(s.v >> 16, s.y0, s.y1 - 1);
}

[[gnu::always_inline]] inline ScaleWalk MakeScaleWalk(const Gfx_SpanArgs& s, bool needRow) {
    return {needRow ? s.srcBase + NearestRow(s) * s.srcPitch : nullptr, s.u, s.du, s.x0, s.x1 - 1};
}

void ScaleCopy(const Gfx_SpanArgs& s) {
    ScaleWalk w = MakeScaleWalk(s, true);
    std::uint32_t* dst = s.dst;
    for (std::int32_t i = 0; i < s.count; ++i) dst[i] = w.row[w.Next()];
}

void ScaleKey(const Gfx_SpanArgs& s) {
    ScaleWalk w = MakeScaleWalk(s, true);
    std::uint32_t* dst = s.dst;
    const std::uint32_t key = s.keyPixel;
    for (std::int32_t i = 0; i < s.count; ++i) {
        const std::uint32_t p = w.row[w.Next()];
        if (p != key) dst[i] = p;
    }
}

void ScaleKeyFill(const Gfx_SpanArgs& s) {
    ScaleWalk w = MakeScaleWalk(s, true);
    std::uint32_t* dst = s.dst;
    const std::uint32_t key = s.keyPixel;
    const std::uint32_t fill = s.fillPixel;
    for (std::int32_t i = 0; i < s.count; ++i) {
        if (w.row[w.Next()] != key) dst[i] = fill;
    }
}

// The blending (Adjust false) and adjusting kernels of the scale family;
// only the adjusting ones interpolate.
template <bool Adjust, ColorMode Mode, bool SrcA, bool DstA, bool Full, bool Bilinear>
void ScalePaint(const Gfx_SpanArgs& s) {
    constexpr bool NeedColor = Mode != ColorMode::Fill;
    const Painter<Mode, SrcA, DstA, Full> o(s);
    const std::int32_t n = o.count;

    if constexpr (Bilinear) {
        static_assert(Adjust, "the blending kernels take nearest samples");
        const RowPair rows = BilinearRows<NeedColor, SrcA>(s, s.v);
        const std::int64_t x0 = s.x0, x1 = s.x1, imgW = s.imgW;
        std::int64_t u = s.u;
        const std::int64_t du = s.du;
        for (std::int32_t i = 0; i < n; ++i, u += du) {
            const SpanTaps t = SpanBilinearTaps(u, x0, x1, imgW);
            const std::int32_t a = o.WeightAt(
                [&] { return Bilerp(rows.a0[t.a], rows.a0[t.b], rows.a1[t.a], rows.a1[t.b], t.f, rows.fy); });
            if (a == 0) continue;
            o.Paint(i, a, [&] {
                return BilerpRgb(o.sl, rows.c0[t.a], rows.c0[t.b], rows.c1[t.a], rows.c1[t.b], t.f, rows.fy);
            });
        }
    } else {
        const std::int64_t row = NearestRow(s);
        ScaleWalk w = MakeScaleWalk(s, NeedColor);
        const std::uint8_t* alphaRow = SrcA ? s.srcAlphaBase + row * s.srcAlphaPitch : nullptr;
        for (std::int32_t i = 0; i < n; ++i) {
            const std::int64_t col = w.Next();
            const std::int32_t a = o.WeightAt([&] { return alphaRow[col]; });
            if (a == 0) continue;
            if constexpr (Adjust)
                o.Paint(i, a, [&] { return o.sl.Get(w.row[col]); });
            else
                o.Blend(i, a, [&] { return w.row[col]; });
        }
    }
}

// ---------------------------------------------------------------------------
// Rotate family: both source coordinates per pixel.

struct RotateWalk {
    std::int64_t u, v, du, dv;
    std::int64_t x0, y0, x1, y1;  // nearest clamps: [x0, x1], [y0, y1]
    const std::uint32_t* base;
    std::ptrdiff_t pitch;

    // Clamped (row, column) of the next nearest sample.
    [[gnu::always_inline]] inline void Next(std::int64_t& row, std::int64_t& col) {
        col = ClampIndex(u >> 16, x0, x1);
        row = ClampIndex(v >> 16, y0, y1);
        u += du;
        v += dv;
    }
};

[[gnu::always_inline]] inline RotateWalk MakeRotateWalk(const Gfx_SpanArgs& s) {
    return {s.u, s.v, s.du, s.dv, s.x0, s.y0, s.x1 - 1, s.y1 - 1, s.srcBase, s.srcPitch};
}

void RotateCopy(const Gfx_SpanArgs& s) {
    RotateWalk w = MakeRotateWalk(s);
    std::uint32_t* dst = s.dst;
    for (std::int32_t i = 0; i < s.count; ++i) {
        std::int64_t row, col;
        w.Next(row, col);
        dst[i] = w.base[row * w.pitch + col];
    }
}

void RotateKey(const Gfx_SpanArgs& s) {
    RotateWalk w = MakeRotateWalk(s);
    std::uint32_t* dst = s.dst;
    const std::uint32_t key = s.keyPixel;
    for (std::int32_t i = 0; i < s.count; ++i) {
        std::int64_t row, col;
        w.Next(row, col);
        const std::uint32_t p = w.base[row * w.pitch + col];
        if (p != key) dst[i] = p;
    }
}

void RotateKeyFill(const Gfx_SpanArgs& s) {
    RotateWalk w = MakeRotateWalk(s);
    std::uint32_t* dst = s.dst;
    const std::uint32_t key = s.keyPixel;
    const std::uint32_t fill = s.fillPixel;
    for (std::int32_t i = 0; i < s.count; ++i) {
        std::int64_t row, col;
        w.Next(row, col);
        if (w.base[row * w.pitch + col] != key) dst[i] = fill;
    }
}

// The blending (Adjust false) and adjusting kernels of the rotate family;
// only the adjusting ones interpolate.
template <bool Adjust, ColorMode Mode, bool SrcA, bool DstA, bool Full, bool Bilinear>
void RotatePaint(const Gfx_SpanArgs& s) {
    const Painter<Mode, SrcA, DstA, Full> o(s);
    const std::uint32_t* base = s.srcBase;
    const std::ptrdiff_t pitch = s.srcPitch;
    const std::uint8_t* alphaBase = s.srcAlphaBase;
    const std::ptrdiff_t alphaPitch = s.srcAlphaPitch;
    const std::int32_t n = o.count;

    if constexpr (Bilinear) {
        static_assert(Adjust, "the blending kernels take nearest samples");
        const std::int64_t x0 = s.x0, x1 = s.x1, y0 = s.y0, y1 = s.y1, imgW = s.imgW, imgH = s.imgH;
        std::int64_t u = s.u, v = s.v;
        const std::int64_t du = s.du, dv = s.dv;
        for (std::int32_t i = 0; i < n; ++i, u += du, v += dv) {
            const SpanTaps tx = SpanBilinearTaps(u, x0, x1, imgW);
            const SpanTaps ty = SpanBilinearTaps(v, y0, y1, imgH);
            const std::int32_t a = o.WeightAt([&] {
                const std::uint8_t* a0 = alphaBase + ty.a * alphaPitch;
                const std::uint8_t* a1 = alphaBase + ty.b * alphaPitch;
                return Bilerp(a0[tx.a], a0[tx.b], a1[tx.a], a1[tx.b], tx.f, ty.f);
            });
            if (a == 0) continue;
            o.Paint(i, a, [&] {
                const std::uint32_t* r0 = base + ty.a * pitch;
                const std::uint32_t* r1 = base + ty.b * pitch;
                return BilerpRgb(o.sl, r0[tx.a], r0[tx.b], r1[tx.a], r1[tx.b], tx.f, ty.f);
            });
        }
    } else {
        RotateWalk w = MakeRotateWalk(s);
        for (std::int32_t i = 0; i < n; ++i) {
            std::int64_t row, col;
            w.Next(row, col);
            const std::int32_t a = o.WeightAt([&] { return alphaBase[row * alphaPitch + col]; });
            if (a == 0) continue;
            if constexpr (Adjust)
                o.Paint(i, a, [&] { return o.sl.Get(base[row * pitch + col]); });
            else
                o.Blend(i, a, [&] { return base[row * pitch + col]; });
        }
    }
}

// ---------------------------------------------------------------------------
// The table: every kernel id gets one entry per variant word; bits a kernel
// does not look at map to the same function.

using Row64 = std::array<Gfx_SpanFn, GFX_SPAN_VARIANT_COUNT>;

constexpr bool Has(std::size_t v, std::uint32_t bit) { return (v & bit) != 0; }

constexpr ColorMode ModeOf(std::size_t v) {
    return Has(v, GFX_SPAN_FILL) ? ColorMode::Fill
                                 : (Has(v, GFX_SPAN_ADJUST_COLOR) ? ColorMode::Adjust : ColorMode::Raw);
}

template <std::size_t V>
constexpr bool kSrcA = Has(V, GFX_SPAN_SRC_ALPHA);
template <std::size_t V>
constexpr bool kDstA = Has(V, GFX_SPAN_DST_ALPHA);
template <std::size_t V>
constexpr bool kFull = Has(V, GFX_SPAN_FULL_OPACITY);
// The blending kernels' colour: the fill colour or the source pixel as it is.
template <std::size_t V>
constexpr ColorMode kBlendOf = Has(V, GFX_SPAN_FILL) ? ColorMode::Fill : ColorMode::Raw;

template <std::size_t V>
constexpr Gfx_SpanFn kRowBlend = &RowPaint<false, kBlendOf<V>, kSrcA<V>, kDstA<V>, kFull<V>, Has(V, GFX_SPAN_MIRROR)>;
template <std::size_t V>
constexpr Gfx_SpanFn kRowAdjust = &RowPaint<true, ModeOf(V), kSrcA<V>, kDstA<V>, kFull<V>, Has(V, GFX_SPAN_MIRROR)>;
template <std::size_t V>
constexpr Gfx_SpanFn kRowKeyFill = &RowKeyFill<Has(V, GFX_SPAN_MIRROR)>;
template <std::size_t V>
constexpr Gfx_SpanFn kScaleBlend = &ScalePaint<false, kBlendOf<V>, kSrcA<V>, kDstA<V>, kFull<V>, false>;
template <std::size_t V>
constexpr Gfx_SpanFn kScaleAdjust =
    &ScalePaint<true, ModeOf(V), kSrcA<V>, kDstA<V>, kFull<V>, Has(V, GFX_SPAN_BILINEAR)>;
template <std::size_t V>
constexpr Gfx_SpanFn kRotateBlend = &RotatePaint<false, kBlendOf<V>, kSrcA<V>, kDstA<V>, kFull<V>, false>;
template <std::size_t V>
constexpr Gfx_SpanFn kRotateAdjust =
    &RotatePaint<true, ModeOf(V), kSrcA<V>, kDstA<V>, kFull<V>, Has(V, GFX_SPAN_BILINEAR)>;

template <std::size_t... V>
constexpr Row64 RowBlendRow(std::index_sequence<V...>) {
    return {{kRowBlend<V>...}};
}
template <std::size_t... V>
constexpr Row64 RowAdjustRow(std::index_sequence<V...>) {
    return {{kRowAdjust<V>...}};
}
template <std::size_t... V>
constexpr Row64 RowKeyFillRow(std::index_sequence<V...>) {
    return {{kRowKeyFill<V>...}};
}
template <std::size_t... V>
constexpr Row64 ScaleBlendRow(std::index_sequence<V...>) {
    return {{kScaleBlend<V>...}};
}
template <std::size_t... V>
constexpr Row64 ScaleAdjustRow(std::index_sequence<V...>) {
    return {{kScaleAdjust<V>...}};
}
template <std::size_t... V>
constexpr Row64 RotateBlendRow(std::index_sequence<V...>) {
    return {{kRotateBlend<V>...}};
}
template <std::size_t... V>
constexpr Row64 RotateAdjustRow(std::index_sequence<V...>) {
    return {{kRotateAdjust<V>...}};
}

constexpr Row64 Same(Gfx_SpanFn fn) {
    Row64 row{};
    for (auto& f : row) f = fn;
    return row;
}

Gfx_SpanKernelTable MakeScalarTable() {
    constexpr auto all = std::make_index_sequence<GFX_SPAN_VARIANT_COUNT>{};
    const Row64 rows[GFX_SPAN_KERNEL_COUNT] = {
        Same(&RowCopy),     Same(&RowCopyMirror), Same(&RowKey<false>), Same(&RowKey<true>), Same(&RowFill),
        RowKeyFillRow(all), RowBlendRow(all),     RowAdjustRow(all),    Same(&ScaleCopy),    Same(&ScaleKey),
        Same(&RowFill),     Same(&ScaleKeyFill),  ScaleBlendRow(all),   ScaleAdjustRow(all), Same(&RotateCopy),
        Same(&RotateKey),   Same(&RowFill),       Same(&RotateKeyFill), RotateBlendRow(all), RotateAdjustRow(all),
    };
    Gfx_SpanKernelTable table{"scalar", {}};
    for (std::size_t k = 0; k < GFX_SPAN_KERNEL_COUNT; ++k)
        for (std::size_t v = 0; v < GFX_SPAN_VARIANT_COUNT; ++v) table.fn[k][v] = rows[k][v];
    return table;
}

}  // namespace

const Gfx_SpanKernelTable& Gfx_SpanKernels_Scalar() {
    static const Gfx_SpanKernelTable table = MakeScalarTable();
    return table;
}

const Gfx_SpanKernelTable* Gfx_SpanKernelsForLevel(std::int32_t level) {
    if (!Gfx_SimdLevelAvailable(level)) return nullptr;
    switch (level) {
    case GFX_SIMD_SCALAR: return &Gfx_SpanKernels_Scalar();
#if defined(QUILLORY_X86_SIMD)
    case GFX_SIMD_SSE2: return &Gfx_SpanKernels_Sse2();
    case GFX_SIMD_AVX2: return &Gfx_SpanKernels_Avx2();
#endif
    default: return nullptr;
    }
}
