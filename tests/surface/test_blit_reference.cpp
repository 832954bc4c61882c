// The transformed blit against its per-pixel model (reference/): thousands of
// random calls, each drawn by both onto identical destinations at every
// kernel level, must agree on every colour and alpha byte and on the result.
// Hand-worked examples pin both sides to the documented numbers, so that
// agreement means correctness rather than a shared mistake.
#include <array>
#include <cmath>
#include <cstdlib>
#include <string>

#include "surface/reference/blit_reference.h"
#include "surface_test.h"

namespace {

// A value on a grid of 1/8 (exact in every float computation of the set-up)
// or, now and then, an arbitrary float in [lo, hi].
float Coordinate(Lcg& rng, float lo, float hi) {
    if (rng.Chance(30)) return rng.Uniform(lo, hi);
    return static_cast<float>(rng.Range(static_cast<std::int32_t>(lo * 8), static_cast<std::int32_t>(hi * 8))) / 8.0f;
}

struct PlaneChoice {
    bool present = false;
    std::int32_t format = GFX_FMT_NONE;
    bool bottomUp = false;
};

struct Case {
    std::uint32_t seed = 0;
    int index = 0;
    std::uint32_t srcW = 1, srcH = 1, dstW = 1, dstH = 1;
    PlaneChoice srcColor, srcAlpha, dstColor, dstAlpha;
    std::uint32_t contentSeed = 0;
    bool keyInSource = false;                // sprinkle pixels equal to the key colour
    bool useDerived = false;                 // draw from the entries' derived copies...
    PlaneChoice derivedColor, derivedAlpha;  // ...which are these
    bool hasSrcRect = false, hasClip = false, hasClip2 = false, hasParams = false;
    C_Rect srcRect;
    C_Frame clip, clip2;
    C_Vector2D position;
    C_DrawParams params;
};

const std::int32_t kColorFormats[] = {GFX_FMT_ARGB8888, GFX_FMT_ARGB8888, GFX_FMT_ARGB8888,
                                      GFX_FMT_RGBA8888, GFX_FMT_BGRA8888, GFX_FMT_ABGR8888};

std::uint32_t RandomSize(Lcg& rng, std::uint32_t big) {
    if (rng.Chance(10)) return 1;
    if (rng.Chance(15)) return static_cast<std::uint32_t>(rng.Range(2, 3));
    return static_cast<std::uint32_t>(rng.Range(2, static_cast<std::int32_t>(big)));
}

// A frame inside the destination, partly outside it, far outside, or empty.
C_Frame RandomFrame(Lcg& rng, std::int32_t w, std::int32_t h) {
    switch (rng.Range(0, 11)) {
    case 0:  // empty or inverted
    {
        const std::int32_t x = rng.Range(-2, w + 2), y = rng.Range(-2, h + 2);
        return C_Frame(x, y, x - rng.Range(0, 3), y + rng.Range(-2, 5));
    }
    case 1:  // partly outside
        return C_Frame(rng.Range(-w, w / 2), rng.Range(-h, h / 2), rng.Range(w / 2, 2 * w), rng.Range(h / 2, 2 * h));
    case 2:  // entirely outside
        return C_Frame(w + 1, 0, w + 20, h);
    default: {  // inside
        const std::int32_t x0 = rng.Range(0, w - 1), y0 = rng.Range(0, h - 1);
        return C_Frame(x0, y0, rng.Range(x0 + 1, w), rng.Range(y0 + 1, h));
    }
    }
}

C_Frame Intersect(const C_Frame& a, const C_Frame& b) {
    return C_Frame(std::max(a.x0, b.x0), std::max(a.y0, b.y0), std::min(a.x1, b.x1), std::min(a.y1, b.y1));
}

// The position coordinate that puts the anchor at `t`, measured as `code`
// (0 from lo, 1 from hi backwards, 2 from the middle) says.
float PositionFor(float t, std::int32_t lo, std::int32_t hi, int code) {
    if (code == 1) return static_cast<float>(hi) - t;
    if (code == 2) return t - static_cast<float>(lo) - static_cast<float>(hi - lo) / 2.0f;
    return t - static_cast<float>(lo);
}

// Mostly the 32-bit formats the kernels draw and 8-bit alpha planes; now and
// then a plane they must leave alone.
std::int32_t RandomColorFormat(Lcg& rng) { return rng.Chance(3) ? GFX_FMT_RGB888 : rng.Pick(kColorFormats); }
std::int32_t RandomAlphaFormat(Lcg& rng) { return rng.Chance(3) ? GFX_FMT_CH16 : GFX_FMT_CH8; }

float RandomScale(Lcg& rng) {
    static const float kScales[] = {1.0f,  1.0f,    1.0f,  2.0f,  0.5f,    3.0f, 0.25f, 1.5f,
                                    0.75f, 1.0001f, 0.37f, 12.0f, 0.0625f, 7.5f, 0.02f, 40.0f};
    if (rng.Chance(25)) return rng.Uniform(0.05f, 5.0f);
    return rng.Pick(kScales);
}

float RandomAngle(Lcg& rng) {
    static const float kAngles[] = {1e-6f, -1e-5f, 90.0f, 180.0f, 270.0f, -90.0f, 45.0f, -30.0f, 360.0f, 1.0f, 135.0f};
    if (rng.Chance(45)) return 0.0f;
    if (rng.Chance(50)) return rng.Pick(kAngles);
    return rng.Uniform(-400.0f, 400.0f);
}

std::uint8_t RandomAlign(Lcg& rng) {
    static const std::uint8_t kAligns[] = {0x00, 0x01, 0x02, 0x10, 0x11, 0x12, 0x20, 0x21, 0x22, 0x03, 0x30, 0x33};
    if (rng.Chance(40)) return 0;
    return rng.Pick(kAligns);
}

float RandomOpacity(Lcg& rng) {
    static const float kOpacities[] = {1.0f,   1.0f,  1.0f, 0.5f,  0.0f,          0.999f,
                                       0.004f, 0.25f, 1.5f, -0.5f, std::nanf(""), 1e-7f};
    if (rng.Chance(20)) return rng.Uniform(0.0f, 1.0f);
    return rng.Pick(kOpacities);
}

C_Color RandomColor(Lcg& rng, float lo, float hi) {
    return C_Color(rng.Uniform(lo, hi), rng.Uniform(lo, hi), rng.Uniform(lo, hi), rng.Uniform(0.0f, 1.0f));
}

Case RandomCase(std::uint32_t seed, int index, Lcg& rng) {
    Case c;
    c.seed = seed;
    c.index = index;
    c.contentSeed = rng.Word();

    c.srcW = RandomSize(rng, rng.Chance(20) ? 64 : 24);
    c.srcH = RandomSize(rng, rng.Chance(20) ? 64 : 24);
    c.dstW = RandomSize(rng, rng.Chance(10) ? 160 : 56);
    c.dstH = RandomSize(rng, rng.Chance(10) ? 120 : 56);

    c.srcColor = {!rng.Chance(12), RandomColorFormat(rng), rng.Chance(10)};
    c.srcAlpha = {rng.Chance(45), RandomAlphaFormat(rng), rng.Chance(10)};
    c.dstColor = {!rng.Chance(1), rng.Chance(70) ? c.srcColor.format : RandomColorFormat(rng), rng.Chance(30)};
    c.dstAlpha = {rng.Chance(40), RandomAlphaFormat(rng), rng.Chance(20)};
    if (!c.srcColor.present && !c.srcAlpha.present && !rng.Chance(10)) c.srcAlpha.present = true;
    if ((c.useDerived = rng.Chance(8))) {
        c.derivedColor = {rng.Chance(80), RandomColorFormat(rng), false};
        c.derivedAlpha = {rng.Chance(50), RandomAlphaFormat(rng), false};
    }

    const std::int32_t sw = static_cast<std::int32_t>(c.srcW), sh = static_cast<std::int32_t>(c.srcH);
    const std::int32_t dw = static_cast<std::int32_t>(c.dstW), dh = static_cast<std::int32_t>(c.dstH);

    if ((c.hasSrcRect = rng.Chance(35))) {
        // Mostly a part of the image (possibly reaching past its edges,
        // possibly narrower than a pixel); now and then anything at all.
        const bool wild = rng.Chance(15);
        const float x0 = wild ? Coordinate(rng, -3.0f, static_cast<float>(sw) + 1.0f)
                              : Coordinate(rng, -2.0f, static_cast<float>(sw) - 0.5f);
        const float y0 = wild ? Coordinate(rng, -3.0f, static_cast<float>(sh) + 1.0f)
                              : Coordinate(rng, -2.0f, static_cast<float>(sh) - 0.5f);
        const float w = wild ? Coordinate(rng, -1.0f, static_cast<float>(sw) + 3.0f)
                             : Coordinate(rng, 0.25f, static_cast<float>(sw) + 2.0f);
        const float h = wild ? Coordinate(rng, -1.0f, static_cast<float>(sh) + 3.0f)
                             : Coordinate(rng, 0.25f, static_cast<float>(sh) + 2.0f);
        c.srcRect = C_Rect(x0, y0, x0 + w, y0 + h);
    }
    if ((c.hasClip = rng.Chance(40))) c.clip = RandomFrame(rng, dw, dh);
    if ((c.hasClip2 = rng.Chance(25))) c.clip2 = RandomFrame(rng, dw, dh);

    // Mostly around the destination; now and then far off it. Far positions go
    // with scales of at least 1 below, so that every 16.16 coordinate of the
    // call stays within 32 bits (beyond that the fixed-point set-up is not
    // defined).
    const bool far = rng.Chance(4);
    const std::uint8_t align = RandomAlign(rng);
    if (far) {
        c.position = C_Vector2D(Coordinate(rng, -5000.0f, 5000.0f), Coordinate(rng, -5000.0f, 5000.0f), align);
    } else {
        // A point in or just around the part of the destination the clip
        // rectangles leave (or the whole destination when they leave
        // nothing), expressed from the edge the align byte names.
        const C_Frame anchor = c.hasClip ? c.clip : C_Frame(0, 0, dw, dh);
        C_Frame open(0, 0, dw, dh);
        if (c.hasClip) open = Intersect(open, c.clip);
        if (c.hasClip2) open = Intersect(open, c.clip2);
        if (open.x1 <= open.x0 || open.y1 <= open.y0) open = C_Frame(0, 0, dw, dh);
        const float margin = rng.Chance(20) ? 12.0f : 2.0f;
        const float tx = Coordinate(rng, static_cast<float>(open.x0) - margin, static_cast<float>(open.x1) + margin);
        const float ty = Coordinate(rng, static_cast<float>(open.y0) - margin, static_cast<float>(open.y1) + margin);
        c.position = C_Vector2D(PositionFor(tx, anchor.x0, anchor.x1, align & 0x0F),
                                PositionFor(ty, anchor.y0, anchor.y1, (align & 0xF0) >> 4), align);
    }

    if (!(c.hasParams = !rng.Chance(12))) return c;
    C_DrawParams& p = c.params;
    const float scale = RandomScale(rng);
    p.scale = C_Vector2D(scale, rng.Chance(60) ? scale : RandomScale(rng));
    if (rng.Chance(25)) p.scale = C_Vector2D(1.0f, 1.0f);
    if (rng.Chance(4)) p.scale.x = -p.scale.x;
    if (rng.Chance(4)) p.scale.y = -p.scale.y;
    if (far) p.scale = C_Vector2D(std::max(p.scale.x, 1.0f), std::max(p.scale.y, 1.0f));
    p.angle = RandomAngle(rng);
    if (rng.Chance(40))
        p.pivot = C_Vector2D(Coordinate(rng, -4.0f, static_cast<float>(sw) + 4.0f),
                             Coordinate(rng, -4.0f, static_cast<float>(sh) + 4.0f), RandomAlign(rng));
    p.flipH = static_cast<std::uint8_t>(rng.Chance(30));
    p.flipV = static_cast<std::uint8_t>(rng.Chance(30));
    p.wrapH = static_cast<std::uint8_t>(rng.Chance(15));
    p.wrapV = static_cast<std::uint8_t>(rng.Chance(15));
    p.opacity = RandomOpacity(rng);
    p.filter = static_cast<std::uint32_t>(rng.Chance(40));
    if ((c.keyInSource = rng.Chance(30))) {
        p.useKeyColor = 1;
        p.keyColor = C_Color(static_cast<std::int32_t>(rng.Range(0, 255)), rng.Range(0, 255), rng.Range(0, 255),
                             rng.Range(0, 255));
    }
    if (rng.Chance(25)) {
        p.useFillColor = 1;
        p.fillColor = RandomColor(rng, 0.0f, 1.0f);
    }
    if (rng.Chance(20)) {
        p.useBrightness = 1;
        p.brightness = RandomColor(rng, -1.0f, 1.0f);
    }
    if (rng.Chance(20)) {
        p.useContrast = 1;
        p.contrast = rng.Chance(20) ? C_Color(1.0f, 1.0f, 1.0f, 0.0f) : RandomColor(rng, -1.0f, 3.0f);
    }
    if (rng.Chance(30)) {
        // Opaque: the copy, key and fill kernels.
        c.srcAlpha.present = c.dstAlpha.present = false;
        c.srcColor.present = true;
        p.opacity = 1.0f;
        p.useBrightness = p.useContrast = 0;
        if (rng.Chance(60)) p.filter = 0;
    }
    return c;
}

// ---------------------------------------------------------------------------
// Running one case on both sides.

// The six planes of a call: source colour and alpha, destination colour and
// alpha, the source's derived colour and alpha copies.
using Planes = std::array<std::unique_ptr<C_Image>, 6>;
enum { kSrcColor, kSrcAlpha, kDstColor, kDstAlpha, kDerivedColor, kDerivedAlpha };

// Alpha bytes favour the two ends, where the rules branch.
std::unique_ptr<C_Image> MakePlane(const PlaneChoice& choice, std::uint32_t w, std::uint32_t h, Lcg& rng, bool alpha) {
    if (!choice.present) return nullptr;
    std::unique_ptr<C_Image> img(NewPlane(w, h, choice.format));
    img->bottomUp = choice.bottomUp ? 1 : 0;
    for (std::uint32_t i = 0; i < img->dataSize; ++i) {
        const int pick = rng.Range(0, 9);
        img->data[i] = static_cast<std::uint8_t>(!alpha || pick > 6 ? rng.Range(0, 255)
                                                 : pick < 3         ? 0
                                                 : pick < 6         ? 255
                                                                    : 128);
    }
    return img;
}

Planes BuildPlanes(const Case& c) {
    Lcg rng(c.contentSeed);
    Planes p;
    p[kSrcColor] = MakePlane(c.srcColor, c.srcW, c.srcH, rng, false);
    p[kSrcAlpha] = MakePlane(c.srcAlpha, c.srcW, c.srcH, rng, true);
    p[kDstColor] = MakePlane(c.dstColor, c.dstW, c.dstH, rng, false);
    p[kDstAlpha] = MakePlane(c.dstAlpha, c.dstW, c.dstH, rng, true);
    if (c.useDerived) {
        p[kDerivedColor] = MakePlane(c.derivedColor, c.srcW, c.srcH, rng, false);
        p[kDerivedAlpha] = MakePlane(c.derivedAlpha, c.srcW, c.srcH, rng, true);
    }
    C_Image* src = p[kSrcColor].get();
    if (c.keyInSource && src && src->bpp == 32) {
        const std::uint32_t key = Gfx_GetFormattedColor_32bit(src->format, &c.params.keyColor);
        for (std::uint32_t row = 0; row < src->height; ++row)
            for (std::uint32_t col = 0; col < src->width; ++col)
                if (rng.Chance(30))
                    Px(src, col, row) = key;
                else if (rng.Chance(15))  // the key but for one bit, which must still draw
                    Px(src, col, row) = key ^ (1u << rng.Range(0, 31));
    }
    return p;
}

// Where two planes first differ, as "(x, y): blit .., reference ..".
std::string Difference(const char* name, const C_Image* real, const C_Image* ref) {
    if (!real) return "";
    const std::uint32_t unit = real->bpp / 8;
    for (std::uint32_t row = 0; row < real->height; ++row)
        for (std::uint32_t i = 0; i < real->rowBytes; ++i) {
            if (real->Row(row)[i] == ref->Row(row)[i]) continue;
            const std::uint32_t col = i / unit;
            std::uint32_t a = 0, b = 0;
            std::memcpy(&a, real->Row(row) + col * unit, unit);
            std::memcpy(&b, ref->Row(row) + col * unit, unit);
            return std::string(name) + " plane at (" + std::to_string(col) + ", " + std::to_string(row) + "): blit " +
                   std::to_string(a) + ", reference " + std::to_string(b) + ";";
        }
    return "";
}

struct Outcome {
    std::string report;  // empty when both sides agree
    bool drew = false;   // the destination changed
};

std::unique_ptr<C_Surface> Wrap(const Planes& p, bool source) {
    auto s = std::make_unique<C_Surface>(1, p[source ? kSrcColor : kDstColor].get(),
                                         p[source ? kSrcAlpha : kDstAlpha].get());
    // The derived copies hang on the source's entries.
    if (C_SurfacePlane* entry = source ? s->GetPlaneEntry(1) : nullptr) entry->derived = p[kDerivedColor].get();
    if (C_SurfacePlane* entry = source ? s->GetPlaneEntry(2) : nullptr) entry->derived = p[kDerivedAlpha].get();
    return s;
}

Outcome RunCase(const Case& c) {
    Planes real = BuildPlanes(c), ref;
    for (std::size_t i = 0; i < real.size(); ++i) ref[i] = CopyOf(real[i].get());
    const auto before = BytesOf(real[kDstColor].get()), alphaBefore = BytesOf(real[kDstAlpha].get());
    const auto realSrc = Wrap(real, true), realDst = Wrap(real, false), refSrc = Wrap(ref, true),
               refDst = Wrap(ref, false);
    const C_Rect* srcRect = c.hasSrcRect ? &c.srcRect : nullptr;
    const C_Frame* clip = c.hasClip ? &c.clip : nullptr;
    const C_Frame* clip2 = c.hasClip2 ? &c.clip2 : nullptr;
    const C_DrawParams* params = c.hasParams ? &c.params : nullptr;
    Gfx_GetBlitKernel().useDerived = c.useDerived ? 1 : 0;
    const bool realOk =
        Gfx_Surface_BlitTransformed(realSrc.get(), realDst.get(), srcRect, clip, clip2, &c.position, 0, params);
    Gfx_GetBlitKernel().useDerived = 0;
    const bool refOk = blitref::BlitTransformed(refSrc.get(), refDst.get(), srcRect, clip, clip2, &c.position, 0,
                                                params, c.useDerived);

    Outcome out;
    if (realOk != refOk) out.report += std::string(" result: blit ") + (realOk ? "true;" : "false;");
    out.report += Difference(" colour", real[kDstColor].get(), ref[kDstColor].get());
    out.report += Difference(" alpha", real[kDstAlpha].get(), ref[kDstAlpha].get());
    for (const int i : {kSrcColor, kSrcAlpha, kDerivedColor, kDerivedAlpha})
        if (BytesOf(real[i].get()) != BytesOf(ref[i].get())) out.report += " the blit changed its source;";
    out.drew = before != BytesOf(real[kDstColor].get()) || alphaBefore != BytesOf(real[kDstAlpha].get());
    return out;
}

// The drawing path a call takes: unscaled, scaled or rotated.
int PathOf(const Case& c) {
    if (!c.hasParams || (c.params.angle == 0.0f && c.params.scale.x == 1.0f && c.params.scale.y == 1.0f)) return 0;
    return c.params.angle == 0.0f ? 1 : 2;
}

// Fewer under the sanitizers, which make every call many times slower.
#if defined(__SANITIZE_ADDRESS__)
constexpr int kCasesPerSeed = 2000;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr int kCasesPerSeed = 2000;
#else
constexpr int kCasesPerSeed = 12000;
#endif
#else
constexpr int kCasesPerSeed = 12000;
#endif

class BlitReference : public ::testing::TestWithParam<std::uint32_t> {};

// kCasesPerSeed random calls from the seed at every kernel level, stopping at
// the first few disagreements. BLITREF_CASE=<n> runs case n alone.
TEST_P(BlitReference, RandomCallsAgree) {
    const char* only = std::getenv("BLITREF_CASE");
    const int onlyIndex = only ? std::atoi(only) : -1;
    SimdLevelGuard guard;
    for (const std::int32_t level : AvailableSimdLevels()) {
        ASSERT_TRUE(Gfx_Blit_SetSimdLevel(level));
        Lcg rng(GetParam());
        int failures = 0, calls[3] = {0, 0, 0}, drew[3] = {0, 0, 0};
        for (int i = 0; i < kCasesPerSeed && failures < 3; ++i) {
            const Case c = RandomCase(GetParam(), i, rng);
            if (onlyIndex >= 0 && i != onlyIndex) continue;
            const Outcome out = RunCase(c);
            ++calls[PathOf(c)];
            drew[PathOf(c)] += out.drew;
            if (out.report.empty()) continue;
            ++failures;
            ADD_FAILURE() << "level " << Gfx_SimdLevelName(level) << ", case " << i << ":" << out.report;
        }
        // The comparison means something only if every path drew often.
        for (int path = 0; path < 3 && onlyIndex < 0; ++path) {
            EXPECT_GT(calls[path], kCasesPerSeed / 6) << "path " << path;
            EXPECT_GT(drew[path], calls[path] / 5) << "path " << path;
        }
    }
    EXPECT_EQ(blitref::OutOfBoundsAccesses(), 0);
}

INSTANTIATE_TEST_SUITE_P(Seeds, BlitReference, ::testing::Values(1u, 20240607u, 0xC0FFEEu));

// ---------------------------------------------------------------------------
// Hand-worked examples on one-row pictures, run on both sides.

using BlitFn = bool (*)(C_Surface*, C_Surface*, const C_Rect*, const C_Frame*, const C_Frame*, const C_Vector2D*,
                        std::uint32_t, const C_DrawParams*);

bool ReferenceBlit(C_Surface* src, C_Surface* dst, const C_Rect* srcRect, const C_Frame* clip, const C_Frame* clip2,
                   const C_Vector2D* position, std::uint32_t mode, const C_DrawParams* params) {
    return blitref::BlitTransformed(src, dst, srcRect, clip, clip2, position, mode, params);
}

using Words = std::vector<std::uint32_t>;
using Bytes = std::vector<std::uint8_t>;

// A one-row surface from colour words and alpha bytes (either may be empty:
// no such plane).
struct Row {
    std::unique_ptr<C_Image> color, alpha;
    std::unique_ptr<C_Surface> surface;
    Row(const Words& words, const Bytes& bytes) {
        if (!words.empty()) color.reset(NewPlane(static_cast<std::uint32_t>(words.size()), 1, GFX_FMT_ARGB8888));
        if (color) std::memcpy(color->data, words.data(), color->dataSize);
        if (!bytes.empty()) alpha.reset(NewPlane(static_cast<std::uint32_t>(bytes.size()), 1, GFX_FMT_CH8));
        if (alpha) std::memcpy(alpha->data, bytes.data(), alpha->dataSize);
        surface = std::make_unique<C_Surface>(1, color.get(), alpha.get());
    }
};

// Parameter records of the examples.
void Plain(C_DrawParams&) {}
void Half(C_DrawParams& p) { p.opacity = 0.5f; }
void Over(C_DrawParams& p) { p.opacity = 1.5f; }
void NotANumber(C_DrawParams& p) { p.opacity = std::nanf(""); }
void Zero(C_DrawParams& p) { p.opacity = 0.0f; }
void Contrast(C_DrawParams& p) { p.useContrast = 1, p.contrast = C_Color(2.0f, 2.0f, 2.0f, 0.0f); }
void Bright(C_DrawParams& p) { p.useBrightness = 1, p.brightness = C_Color(0.5f, 0.5f, 0.5f, 0.0f); }
void BrightFill(C_DrawParams& p) { Bright(p), p.useFillColor = 1, p.fillColor = C_Color(1.0f, 0.0f, 0.0f, 0.0f); }
void Mirror(C_DrawParams& p) { p.flipH = 1; }
void MirrorKey(C_DrawParams& p) { p.flipH = p.useKeyColor = 1, p.keyColor = C_Color(std::int32_t{1}, 2, 3, 0); }
void MirrorKeyFill(C_DrawParams& p) { MirrorKey(p), p.useFillColor = 1, p.fillColor = C_Color(0.0f, 0.0f, 1.0f, 0.0f); }
void Wrap(C_DrawParams& p) { p.wrapH = 1; }
void Green(C_DrawParams& p) { p.fillColor = C_Color(0.0f, 1.0f, 0.0f, 0.0f); }  // useFillColor stays 0
void Tall(C_DrawParams& p) { p.scale = C_Vector2D(1.0f, 2.0f); }
void TallBilinear(C_DrawParams& p) { Tall(p), p.filter = 1; }

constexpr std::uint32_t kKey = 0x00010203, kE = 0xEEEEEEEE, kC = 0x00123456, kW = 0x00FFFFFF;
// Red 0, 100, 200 and 40, and the means of neighbours 50, 150, 120 and 20.
const Words kRamp = {0, 0x640000, 0xC80000, 0x280000}, kRampMeans = {0x320000, 0x960000, 0x780000, 0x140000};

struct Example {
    const char* what;
    Words src;
    Bytes srcAlpha;
    Words dst;
    Bytes dstAlpha;
    C_Vector2D at;
    void (*setup)(C_DrawParams&);  // null: no parameter record
    Words want;
    Bytes wantAlpha;
    bool ok;
};

// Differences round down; contrast, then brightness, then the clamp; a
// negative position rounds down, a whole one a pixel further; a position may
// be anchored to the far edge or the centre; opacity outside 0..1 is 1; an
// alpha-only source is coverage of the fill colour (black without a record).
const Example kExamples[] = {
    {"half opacity", {0xFF0000}, {}, {0xFF}, {}, {}, Half, {0x7F007F}, {}, true},
    // Over alpha 0 the colour is the source's; over 128: na = 192, a' = 170, 255 * 170 >> 8 = 169.
    {"dst alpha", {kW, kW}, {128, 128}, {0, 0}, {0, 128}, {}, Plain, {kW, 0xA9A9A9}, {128, 192}, true},
    {"opaque alpha", {0xAB123456}, {255}, {0}, {7}, {}, nullptr, {0xAB123456}, {255}, true},
    {"contrast", {0xC84040, 0xC0C0C0}, {}, {0, 0}, {}, {}, Contrast, {0xFF0000, kW}, {}, true},
    {"brightness", {0xC84040, 0xC0C0C0}, {}, {0, 0}, {}, {}, Bright, {0xFFC0C0, kW}, {}, true},
    {"fill unadjusted", {0xC84040}, {}, {0}, {}, {}, BrightFill, {0xFF0000}, {}, true},
    {"at -0.5", {1, 2, 3, 4}, {}, Words(6, 0), {}, {-0.5f, 0}, nullptr, {2, 3, 4, 0, 0, 0}, {}, true},
    {"at -1", {1, 2, 3, 4}, {}, Words(6, 0), {}, {-1.0f, 0}, nullptr, {3, 4, 0, 0, 0, 0}, {}, true},
    {"at 2.7", {1, 2, 3, 4}, {}, Words(6, 0), {}, {2.7f, 0}, nullptr, {0, 0, 1, 2, 3, 4}, {}, true},
    {"far edge", {kC}, {}, Words(5, 0), {}, {3, 0, 0x01}, nullptr, {0, 0, kC, 0, 0}, {}, true},
    // 5 / 2 = 2.5, less 0.25: column 2 (integer halving would give column 1).
    {"odd centre", {kC}, {}, Words(5, 0), {}, {-0.25f, 0, 0x02}, nullptr, {0, 0, kC, 0, 0}, {}, true},
    // The mirror pivots on the right edge: the picture spans -2..1.
    {"mirrored", {1, 2, 3, 4}, {}, Words(4, 0), {}, {2.5f, 0}, Mirror, {2, 1, 0, 0}, {}, true},
    {"mirrored key", {5, kKey, 6, 7}, {}, Words(4, kE), {}, {4, 0}, MirrorKey, {7, 6, kE, 5}, {}, true},
    {"key fill", {5, 6, kKey, kKey}, {}, Words(4, kE), {}, {4, 0}, MirrorKeyFill, {kE, kE, 0xFF, 0xFF}, {}, true},
    {"opacity 1.5", {kW}, {128}, {0}, {}, {}, Over, {0x7F7F7F}, {}, true},
    {"opacity NaN", {kW}, {128}, {0}, {}, {}, NotANumber, {0x7F7F7F}, {}, true},
    {"opacity 0", {kW, kW}, {}, {kC, kC}, {}, {}, Zero, {kC, kC}, {}, true},
    // At 8.5 the copy one width back starts at -1.5, that is at column -2.
    {"wrap", {kW, kW, kW}, {}, Words(10, 0), {}, {8.5f, 0}, Wrap, {kW, 0, 0, 0, 0, 0, 0, 0, kW, kW}, {}, true},
    {"alpha only", {}, {255}, {kC}, {}, {}, Green, {0x00FF00}, {}, true},
    {"alpha only, no record", {}, {255}, {kC}, {}, {}, nullptr, {0}, {}, true},
    // u runs 0.5, 1.5, 2.5, 3.5: the last pair wraps to column 0.
    {"bilinear wraps", kRamp, {}, Words(4, 0), {}, {-0.5f, 0}, TallBilinear, kRampMeans, {}, true},
    // Scaled, both edges are inclusive: 4 columns cover 5.
    {"scaled coverage", {kW, kW, kW, kW}, {}, Words(7, 0), {}, {1, 0}, Tall, {0, kW, kW, kW, kW, kW, 0}, {}, true},
    {"no source", {}, {}, {kC}, {}, {}, nullptr, {kC}, {}, false},
    {"no source, mirrored", {}, {}, {kC}, {}, {}, Mirror, {kC}, {}, false},
};

class BlitExamples : public ::testing::TestWithParam<BlitFn> {};

TEST_P(BlitExamples, DrawTheWorkedNumbers) {
    for (const Example& e : kExamples) {
        Row src(e.src, e.srcAlpha), dst(e.dst, e.dstAlpha);
        C_DrawParams p;
        if (e.setup) e.setup(p);
        EXPECT_EQ(GetParam()(src.surface.get(), dst.surface.get(), nullptr, nullptr, nullptr, &e.at, 0,
                             e.setup ? &p : nullptr),
                  e.ok)
            << e.what;
        EXPECT_EQ(Words(reinterpret_cast<std::uint32_t*>(dst.color->data),
                        reinterpret_cast<std::uint32_t*>(dst.color->data) + e.dst.size()),
                  e.want)
            << e.what;
        EXPECT_EQ(BytesOf(dst.alpha.get()), e.wantAlpha) << e.what;
    }
}

// Scaled by 0.9 at 3.5 the picture would reach column 0 through the clip, but
// the region limited to the image rejects the call first.
TEST_P(BlitExamples, TrivialRejectionUsesTheRegionLimitedToTheImage) {
    Row src({kC}, {}), dst(Words(4, 0), {});
    C_DrawParams p;
    p.scale = C_Vector2D(0.9f, 1.0f);
    const C_Frame clip(-4, 0, 4, 1);
    for (const float x : {3.5f, 4.25f}) {
        const C_Vector2D at(x, 0.0f);
        ASSERT_TRUE(GetParam()(src.surface.get(), dst.surface.get(), nullptr, &clip, nullptr, &at, 0, &p));
        EXPECT_EQ(Px(dst.color.get(), 0, 0), x == 3.5f ? 0u : kC) << x;
    }
}

INSTANTIATE_TEST_SUITE_P(BothSides, BlitExamples, ::testing::Values(&Gfx_Surface_BlitTransformed, &ReferenceBlit),
                         [](const ::testing::TestParamInfo<BlitFn>& info) {
                             return info.index == 0 ? std::string("Blit") : std::string("Reference");
                         });

}  // namespace
