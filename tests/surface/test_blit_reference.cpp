// The transformed blit against its per-pixel model (reference/): thousands of
// random calls, each drawn by both onto identical destinations, must agree on
// every colour and alpha byte and on the result. A handful of hand-worked
// cases pin both to the documented numbers first.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "image/format.h"
#include "image/image.h"
#include "math/color.h"
#include "math/shapes.h"
#include "math/vector.h"
#include "surface/blit.h"
#include "surface/blit_kernel.h"
#include "surface/reference/blit_reference.h"
#include "surface/surface.h"
#include "surface/draw_params.h"

namespace {

// ---------------------------------------------------------------------------
// Deterministic randomness: the framework's LCG, kept local so the test does
// not disturb the process-wide sequence.

class Lcg {
public:
    explicit Lcg(std::uint32_t seed) : state_(seed) {}
    std::int32_t Next() {
        state_ = state_ * 214013u + 2531011u;
        return static_cast<std::int32_t>((state_ >> 16) & 0x7FFF);
    }
    // 30 random bits.
    std::uint32_t Bits30() { return (static_cast<std::uint32_t>(Next()) << 15) | static_cast<std::uint32_t>(Next()); }
    std::uint32_t Word() { return (Bits30() << 2) ^ static_cast<std::uint32_t>(Next()); }
    // lo..hi inclusive.
    std::int32_t Range(std::int32_t lo, std::int32_t hi) {
        return lo + static_cast<std::int32_t>(Bits30() % static_cast<std::uint32_t>(hi - lo + 1));
    }
    bool Chance(int percent) { return Range(0, 99) < percent; }
    float Uniform(float lo, float hi) { return lo + (hi - lo) * static_cast<float>(Next()) / 32767.0f; }
    // A value on a grid of 1/8 (exact in every float computation of the set-up)
    // or, now and then, an arbitrary float in [lo, hi].
    float Coordinate(float lo, float hi) {
        if (Chance(30)) return Uniform(lo, hi);
        return static_cast<float>(Range(static_cast<std::int32_t>(lo * 8), static_cast<std::int32_t>(hi * 8))) / 8.0f;
    }
    template <typename T, std::size_t N>
    T Pick(const T (&items)[N]) {
        return items[static_cast<std::size_t>(Range(0, static_cast<std::int32_t>(N) - 1))];
    }

private:
    std::uint32_t state_;
};

// ---------------------------------------------------------------------------
// Images and surfaces.

// An image of the given size and format with unset pixels; null on failure.
std::unique_ptr<C_Image> MakeImage(std::uint32_t w, std::uint32_t h, std::int32_t format) {
    auto img = std::make_unique<C_Image>();
    if (!img->CreateEmpty(w, h, format, GFX_FMT_NONE)) return nullptr;
    return img;
}

// A copy with the same picture and the same row order.
std::unique_ptr<C_Image> CloneImage(const C_Image& from) {
    auto img = MakeImage(from.width, from.height, from.format);
    if (!img) return nullptr;
    img->bottomUp = from.bottomUp;
    for (std::uint32_t row = 0; row < from.height; ++row) std::memcpy(img->Row(row), from.Row(row), from.rowBytes);
    return img;
}

std::uint32_t ReadPixel(const C_Image& img, std::uint32_t col, std::uint32_t row) {
    std::uint32_t v = 0;
    std::memcpy(&v, img.Row(row) + col * 4, 4);
    return v;
}

void WritePixel(C_Image& img, std::uint32_t col, std::uint32_t row, std::uint32_t v) {
    std::memcpy(img.Row(row) + col * 4, &v, 4);
}

// A surface borrowing a colour and an alpha plane (either may be null).
std::unique_ptr<C_Surface> Wrap(C_Image* color, C_Image* alpha) {
    return std::make_unique<C_Surface>(1, color, alpha, nullptr, nullptr, nullptr, nullptr);
}

// ---------------------------------------------------------------------------
// One random call.

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

std::string Hex(std::uint32_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08X", v);
    return buf;
}

std::string Num(float v) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%.9g", static_cast<double>(v));
    return buf;
}

std::string Describe(const C_Color& c) {
    return "(" + Num(c.r) + ", " + Num(c.g) + ", " + Num(c.b) + ", " + Num(c.a) + ")";
}

std::string Describe(const PlaneChoice& p) {
    if (!p.present) return "none";
    return "format " + std::to_string(p.format) + (p.bottomUp ? " bottomUp" : "");
}

std::string Describe(const Case& c) {
    std::ostringstream o;
    o << "seed " << c.seed << " case " << c.index << " (content seed " << c.contentSeed << ")\n"
      << "  src " << c.srcW << "x" << c.srcH << " colour " << Describe(c.srcColor) << ", alpha " << Describe(c.srcAlpha)
      << (c.keyInSource ? ", key pixels sprinkled" : "") << "\n"
      << "  dst " << c.dstW << "x" << c.dstH << " colour " << Describe(c.dstColor) << ", alpha " << Describe(c.dstAlpha)
      << "\n";
    if (c.useDerived)
        o << "  useDerived: derived colour " << Describe(c.derivedColor) << ", derived alpha "
          << Describe(c.derivedAlpha) << "\n";
    o << "  srcRect ";
    if (c.hasSrcRect)
        o << "(" << Num(c.srcRect.x0) << ", " << Num(c.srcRect.y0) << ", " << Num(c.srcRect.x1) << ", "
          << Num(c.srcRect.y1) << ")";
    else
        o << "null";
    o << "; clip ";
    if (c.hasClip)
        o << "(" << c.clip.x0 << ", " << c.clip.y0 << ", " << c.clip.x1 << ", " << c.clip.y1 << ")";
    else
        o << "null";
    o << "; clip2 ";
    if (c.hasClip2)
        o << "(" << c.clip2.x0 << ", " << c.clip2.y0 << ", " << c.clip2.x1 << ", " << c.clip2.y1 << ")";
    else
        o << "null";
    o << "\n  position (" << Num(c.position.x) << ", " << Num(c.position.y) << ") align " << Hex(c.position.align)
      << "\n";
    if (!c.hasParams) {
        o << "  params null\n";
        return o.str();
    }
    const C_DrawParams& p = c.params;
    o << "  scale (" << Num(p.scale.x) << ", " << Num(p.scale.y) << ") angle " << Num(p.angle) << " pivot ("
      << Num(p.pivot.x) << ", " << Num(p.pivot.y) << ") align " << Hex(p.pivot.align) << "\n"
      << "  flipH " << int(p.flipH) << " flipV " << int(p.flipV) << " wrapH " << int(p.wrapH) << " wrapV "
      << int(p.wrapV) << " opacity " << Num(p.opacity) << " filter " << p.filter << "\n"
      << "  key " << int(p.useKeyColor) << " " << Describe(p.keyColor) << "; fill " << int(p.useFillColor) << " "
      << Describe(p.fillColor) << "\n"
      << "  brightness " << int(p.useBrightness) << " " << Describe(p.brightness) << "; contrast " << int(p.useContrast)
      << " " << Describe(p.contrast) << "\n";
    return o.str();
}

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
        const std::int32_t x = rng.Range(-2, w + 2);
        const std::int32_t y = rng.Range(-2, h + 2);
        return C_Frame(x, y, x - rng.Range(0, 3), y + rng.Range(-2, 5));
    }
    case 1:  // partly outside
        return C_Frame(rng.Range(-w, w / 2), rng.Range(-h, h / 2), rng.Range(w / 2, 2 * w), rng.Range(h / 2, 2 * h));
    case 2:  // entirely outside
        return C_Frame(w + 1, 0, w + 20, h);
    default: {  // inside
        const std::int32_t x0 = rng.Range(0, w - 1);
        const std::int32_t y0 = rng.Range(0, h - 1);
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
        const float x0 = wild ? rng.Coordinate(-3.0f, static_cast<float>(sw) + 1.0f)
                              : rng.Coordinate(-2.0f, static_cast<float>(sw) - 0.5f);
        const float y0 = wild ? rng.Coordinate(-3.0f, static_cast<float>(sh) + 1.0f)
                              : rng.Coordinate(-2.0f, static_cast<float>(sh) - 0.5f);
        const float w = wild ? rng.Coordinate(-1.0f, static_cast<float>(sw) + 3.0f)
                             : rng.Coordinate(0.25f, static_cast<float>(sw) + 2.0f);
        const float h = wild ? rng.Coordinate(-1.0f, static_cast<float>(sh) + 3.0f)
                             : rng.Coordinate(0.25f, static_cast<float>(sh) + 2.0f);
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
        c.position = C_Vector2D(rng.Coordinate(-5000.0f, 5000.0f), rng.Coordinate(-5000.0f, 5000.0f), align);
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
        const float tx = rng.Coordinate(static_cast<float>(open.x0) - margin, static_cast<float>(open.x1) + margin);
        const float ty = rng.Coordinate(static_cast<float>(open.y0) - margin, static_cast<float>(open.y1) + margin);
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
        p.pivot = C_Vector2D(rng.Coordinate(-4.0f, static_cast<float>(sw) + 4.0f),
                             rng.Coordinate(-4.0f, static_cast<float>(sh) + 4.0f), RandomAlign(rng));
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

struct Planes {
    std::unique_ptr<C_Image> srcColor, srcAlpha, dstColor, dstAlpha, derivedColor, derivedAlpha;
};

std::unique_ptr<C_Image> MakePlane(const PlaneChoice& choice, std::uint32_t w, std::uint32_t h) {
    if (!choice.present) return nullptr;
    auto img = MakeImage(w, h, choice.format);
    if (img) img->bottomUp = choice.bottomUp ? 1 : 0;
    return img;
}

// Alpha bytes favour the two ends, where the rules branch.
std::uint8_t RandomAlphaByte(Lcg& rng) {
    const int pick = rng.Range(0, 9);
    if (pick < 3) return 0;
    if (pick < 6) return 255;
    if (pick == 6) return 128;
    return static_cast<std::uint8_t>(rng.Range(0, 255));
}

void FillBytes(C_Image& img, Lcg& rng, bool alpha) {
    for (std::uint32_t i = 0; i < img.dataSize; ++i)
        img.data[i] = alpha ? RandomAlphaByte(rng) : static_cast<std::uint8_t>(rng.Range(0, 255));
}

Planes BuildPlanes(const Case& c) {
    Lcg rng(c.contentSeed);
    Planes p;
    p.srcColor = MakePlane(c.srcColor, c.srcW, c.srcH);
    p.srcAlpha = MakePlane(c.srcAlpha, c.srcW, c.srcH);
    p.dstColor = MakePlane(c.dstColor, c.dstW, c.dstH);
    p.dstAlpha = MakePlane(c.dstAlpha, c.dstW, c.dstH);
    if (p.srcColor) FillBytes(*p.srcColor, rng, false);
    if (p.srcAlpha) FillBytes(*p.srcAlpha, rng, true);
    if (p.dstColor) FillBytes(*p.dstColor, rng, false);
    if (p.dstAlpha) FillBytes(*p.dstAlpha, rng, true);
    if (c.useDerived) {
        p.derivedColor = MakePlane(c.derivedColor, c.srcW, c.srcH);
        p.derivedAlpha = MakePlane(c.derivedAlpha, c.srcW, c.srcH);
        if (p.derivedColor) FillBytes(*p.derivedColor, rng, false);
        if (p.derivedAlpha) FillBytes(*p.derivedAlpha, rng, true);
    }
    if (c.keyInSource && p.srcColor && p.srcColor->bpp == 32) {
        const std::uint32_t key = Gfx_GetFormattedColor_32bit(p.srcColor->format, &c.params.keyColor);
        for (std::uint32_t row = 0; row < p.srcColor->height; ++row)
            for (std::uint32_t col = 0; col < p.srcColor->width; ++col)
                if (rng.Chance(30))
                    WritePixel(*p.srcColor, col, row, key);
                else if (rng.Chance(15))  // the key but for one bit, which must still draw
                    WritePixel(*p.srcColor, col, row, key ^ (1u << rng.Range(0, 31)));
    }
    return p;
}

// The first byte where two planes differ, reported with the pixel.
bool SamePlane(const char* name, const C_Image* real, const C_Image* ref, std::string& report) {
    if (!real || !ref) return true;
    const std::uint32_t bytesPerPixel = real->bpp / 8;
    for (std::uint32_t row = 0; row < real->height; ++row) {
        const std::uint8_t* a = real->Row(row);
        const std::uint8_t* b = ref->Row(row);
        for (std::uint32_t i = 0; i < real->rowBytes; ++i) {
            if (a[i] == b[i]) continue;
            const std::uint32_t col = i / bytesPerPixel;
            std::uint32_t va = 0, vb = 0;
            std::memcpy(&va, a + col * bytesPerPixel, bytesPerPixel);
            std::memcpy(&vb, b + col * bytesPerPixel, bytesPerPixel);
            report += std::string("  first difference in the destination ") + name + " plane at (" +
                      std::to_string(col) + ", " + std::to_string(row) + "): blit " + Hex(va) + ", reference " +
                      Hex(vb) + "\n";
            return false;
        }
    }
    return true;
}

bool SameBytes(const C_Image* a, const C_Image* b) {
    if (!a || !b) return true;
    return std::memcmp(a->data, b->data, a->dataSize) == 0;
}

// Prints both destinations side by side, one row per line.
void DumpPlanes(const Planes& real, const Planes& ref) {
    const C_Image* images[2][2] = {{real.dstColor.get(), ref.dstColor.get()},
                                   {real.dstAlpha.get(), ref.dstAlpha.get()}};
    for (int plane = 0; plane < 2; ++plane) {
        if (!images[plane][0]) continue;
        const std::uint32_t bytesPerPixel = images[plane][0]->bpp / 8;
        std::printf("%s plane, blit | reference\n", plane == 0 ? "colour" : "alpha");
        for (std::uint32_t row = 0; row < images[plane][0]->height; ++row) {
            for (int side = 0; side < 2; ++side) {
                for (std::uint32_t col = 0; col < images[plane][side]->width; ++col) {
                    std::uint32_t v = 0;
                    std::memcpy(&v, images[plane][side]->Row(row) + col * bytesPerPixel, bytesPerPixel);
                    std::printf(bytesPerPixel == 4 ? "%08X " : "%02X ", v);
                }
                std::printf(side == 0 ? "| " : "\n");
            }
        }
    }
}

// What running one call on both sides found.
struct Outcome {
    std::string report;  // empty when both sides agree
    bool drew = false;   // the destination changed
};

// Draws `c` with the real blit and with the model; the report describes the
// call and the first difference when they disagree.
std::unique_ptr<C_Image> CloneOrNull(const std::unique_ptr<C_Image>& img) { return img ? CloneImage(*img) : nullptr; }

// Hangs the derived copies on the source surface's entries.
void AttachDerived(C_Surface& surface, const Planes& p) {
    if (C_SurfacePlane* entry = surface.GetPlaneEntry(1)) entry->derived = p.derivedColor.get();
    if (C_SurfacePlane* entry = surface.GetPlaneEntry(2)) entry->derived = p.derivedAlpha.get();
}

// The real blit, with the kernel switched to derived copies when asked.
bool RealBlit(const Case& c, C_Surface* src, C_Surface* dst, const C_Rect* srcRect, const C_Frame* clip,
              const C_Frame* clip2, const C_DrawParams* params) {
    C_Blit_Kernel& kernel = Gfx_GetBlitKernel();
    kernel.useDerived = c.useDerived ? 1 : 0;
    const bool ok = Gfx_Surface_BlitTransformed(src, dst, srcRect, clip, clip2, &c.position, 0, params);
    kernel.useDerived = 0;
    return ok;
}

Outcome RunCase(const Case& c) {
    Planes real = BuildPlanes(c);
    const std::unique_ptr<C_Image> colorBefore = CloneOrNull(real.dstColor);
    const std::unique_ptr<C_Image> alphaBefore = CloneOrNull(real.dstAlpha);
    Planes ref;
    ref.srcColor = CloneOrNull(real.srcColor);
    ref.srcAlpha = CloneOrNull(real.srcAlpha);
    ref.dstColor = CloneOrNull(real.dstColor);
    ref.dstAlpha = CloneOrNull(real.dstAlpha);
    ref.derivedColor = CloneOrNull(real.derivedColor);
    ref.derivedAlpha = CloneOrNull(real.derivedAlpha);
    auto realSrc = Wrap(real.srcColor.get(), real.srcAlpha.get());
    auto realDst = Wrap(real.dstColor.get(), real.dstAlpha.get());
    auto refSrc = Wrap(ref.srcColor.get(), ref.srcAlpha.get());
    auto refDst = Wrap(ref.dstColor.get(), ref.dstAlpha.get());
    AttachDerived(*realSrc, real);
    AttachDerived(*refSrc, ref);

    const C_Rect* srcRect = c.hasSrcRect ? &c.srcRect : nullptr;
    const C_Frame* clip = c.hasClip ? &c.clip : nullptr;
    const C_Frame* clip2 = c.hasClip2 ? &c.clip2 : nullptr;
    const C_DrawParams* params = c.hasParams ? &c.params : nullptr;
    const bool realOk = RealBlit(c, realSrc.get(), realDst.get(), srcRect, clip, clip2, params);
    const bool refOk = blitref::BlitTransformed(refSrc.get(), refDst.get(), srcRect, clip, clip2, &c.position, 0,
                                                params, c.useDerived);

    std::string report;
    if (std::getenv("BLITREF_DUMP")) DumpPlanes(real, ref);
    if (realOk != refOk)
        report += std::string("  result: blit ") + (realOk ? "true" : "false") + ", reference " +
                  (refOk ? "true" : "false") + "\n";
    SamePlane("colour", real.dstColor.get(), ref.dstColor.get(), report);
    SamePlane("alpha", real.dstAlpha.get(), ref.dstAlpha.get(), report);
    if (!SameBytes(real.srcColor.get(), ref.srcColor.get()) || !SameBytes(real.srcAlpha.get(), ref.srcAlpha.get()) ||
        !SameBytes(real.derivedColor.get(), ref.derivedColor.get()) ||
        !SameBytes(real.derivedAlpha.get(), ref.derivedAlpha.get()))
        report += "  the blit changed its source\n";
    Outcome out;
    out.drew = !SameBytes(colorBefore.get(), ref.dstColor.get()) || !SameBytes(alphaBefore.get(), ref.dstAlpha.get());
    if (!report.empty()) out.report = Describe(c) + report;
    return out;
}

// Simplifications tried on a failing call, each kept when the call still
// fails, so that the report ends with a small reproducing call.
std::vector<Case> Simplifications(const Case& c) {
    std::vector<Case> out;
    auto add = [&](auto change) {
        Case t = c;
        change(t);
        out.push_back(t);
    };
    if (c.hasParams) {
        add([](Case& t) { t.hasParams = false; });
        if (c.params.wrapH) add([](Case& t) { t.params.wrapH = 0; });
        if (c.params.wrapV) add([](Case& t) { t.params.wrapV = 0; });
        if (c.params.flipH) add([](Case& t) { t.params.flipH = 0; });
        if (c.params.flipV) add([](Case& t) { t.params.flipV = 0; });
        if (c.params.opacity != 1.0f) add([](Case& t) { t.params.opacity = 1.0f; });
        if (c.params.filter) add([](Case& t) { t.params.filter = 0; });
        if (c.params.useKeyColor)
            add([](Case& t) {
                t.params.useKeyColor = 0;
                t.keyInSource = false;
            });
        if (c.params.useFillColor) add([](Case& t) { t.params.useFillColor = 0; });
        if (c.params.useBrightness) add([](Case& t) { t.params.useBrightness = 0; });
        if (c.params.useContrast) add([](Case& t) { t.params.useContrast = 0; });
        if (c.params.angle != 0.0f) add([](Case& t) { t.params.angle = 0.0f; });
        if (c.params.scale.x != 1.0f || c.params.scale.y != 1.0f)
            add([](Case& t) { t.params.scale = C_Vector2D(1.0f, 1.0f); });
        if (c.params.pivot.x != 0.0f || c.params.pivot.y != 0.0f || c.params.pivot.align != 0)
            add([](Case& t) { t.params.pivot = C_Vector2D(0.0f, 0.0f, 0); });
    }
    if (c.useDerived) add([](Case& t) { t.useDerived = false; });
    if (c.hasClip) add([](Case& t) { t.hasClip = false; });
    if (c.hasClip2) add([](Case& t) { t.hasClip2 = false; });
    if (c.hasSrcRect) add([](Case& t) { t.hasSrcRect = false; });
    if (c.position.align != 0) add([](Case& t) { t.position.align = 0; });
    if (c.position.x != std::floor(c.position.x)) add([](Case& t) { t.position.x = std::floor(t.position.x); });
    if (c.position.y != std::floor(c.position.y)) add([](Case& t) { t.position.y = std::floor(t.position.y); });
    if (c.dstAlpha.present) add([](Case& t) { t.dstAlpha.present = false; });
    if (c.srcAlpha.present && c.srcColor.present) add([](Case& t) { t.srcAlpha.present = false; });
    if (c.dstColor.bottomUp) add([](Case& t) { t.dstColor.bottomUp = false; });
    if (c.dstColor.format != c.srcColor.format) add([](Case& t) { t.dstColor.format = t.srcColor.format; });
    if (c.dstW > 1) add([](Case& t) { t.dstW = (t.dstW + 1) / 2; });
    if (c.dstH > 1) add([](Case& t) { t.dstH = (t.dstH + 1) / 2; });
    if (c.srcW > 1) add([](Case& t) { t.srcW = (t.srcW + 1) / 2; });
    if (c.srcH > 1) add([](Case& t) { t.srcH = (t.srcH + 1) / 2; });
    if (c.dstW > 1) add([](Case& t) { t.dstW -= 1; });
    if (c.dstH > 1) add([](Case& t) { t.dstH -= 1; });
    if (c.srcW > 1) add([](Case& t) { t.srcW -= 1; });
    if (c.srcH > 1) add([](Case& t) { t.srcH -= 1; });
    return out;
}

// The smallest failing call reachable by the simplifications, and its report.
std::string Shrink(Case c, std::string report) {
    for (bool progress = true; progress;) {
        progress = false;
        for (const Case& t : Simplifications(c)) {
            std::string r = RunCase(t).report;
            if (r.empty()) continue;
            c = t;
            report = std::move(r);
            progress = true;
            break;
        }
    }
    return report;
}

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

// The instruction-set levels of the span kernels this machine offers; every
// one must draw what the model draws.
std::vector<std::int32_t> AvailableSimdLevels() {
    const std::int32_t saved = Gfx_Blit_GetSimdLevel();
    std::vector<std::int32_t> levels;
    for (std::int32_t level = GFX_SIMD_SCALAR; level < 16; ++level)
        if (Gfx_Blit_SetSimdLevel(level)) levels.push_back(level);
    Gfx_Blit_SetSimdLevel(saved);
    return levels;
}

// The drawing path a call takes.
int PathOf(const Case& c) {
    if (!c.hasParams || (c.params.angle == 0.0f && c.params.scale.x == 1.0f && c.params.scale.y == 1.0f)) return 0;
    return c.params.angle == 0.0f ? 1 : 2;
}

// Runs kCasesPerSeed random calls from `seed` at every kernel level, stopping
// at the first few disagreements. BLITREF_CASE=<n> runs case n alone.
void RunSeed(std::uint32_t seed) {
    const char* only = std::getenv("BLITREF_CASE");
    const int onlyIndex = only ? std::atoi(only) : -1;
    const std::int32_t saved = Gfx_Blit_GetSimdLevel();
    for (const std::int32_t level : AvailableSimdLevels()) {
        ASSERT_TRUE(Gfx_Blit_SetSimdLevel(level));
        Lcg rng(seed);
        int failures = 0;
        int calls[3] = {0, 0, 0};  // per path, the calls made...
        int drew[3] = {0, 0, 0};   // ...and those that changed the destination
        for (int i = 0; i < kCasesPerSeed && failures < 3; ++i) {
            const Case c = RandomCase(seed, i, rng);
            if (onlyIndex >= 0 && i != onlyIndex) continue;
            const Outcome out = RunCase(c);
            ++calls[PathOf(c)];
            if (out.drew) ++drew[PathOf(c)];
            if (out.report.empty()) continue;
            ++failures;
            ADD_FAILURE() << "blit (kernel level " << level << ") and reference disagree:\n"
                          << out.report << "smallest call found that still disagrees:\n"
                          << Shrink(c, out.report);
        }
        std::printf(
            "seed %u, kernel level %d, calls that drew of those made: unscaled %d/%d, scaled %d/%d, "
            "rotated %d/%d\n",
            seed, level, drew[0], calls[0], drew[1], calls[1], drew[2], calls[2]);
        // The comparison means something only if every path drew often.
        if (onlyIndex < 0)
            for (int path = 0; path < 3; ++path) {
                EXPECT_GT(calls[path], kCasesPerSeed / 6) << "path " << path;
                EXPECT_GT(drew[path], calls[path] / 5) << "path " << path;
            }
    }
    Gfx_Blit_SetSimdLevel(saved);
    EXPECT_EQ(blitref::OutOfBoundsAccesses(), 0);
}

TEST(BlitReference, RandomCallsAgreeSeed1) { RunSeed(1); }
TEST(BlitReference, RandomCallsAgreeSeed2) { RunSeed(20240607); }
TEST(BlitReference, RandomCallsAgreeSeed3) { RunSeed(0xC0FFEE); }

}  // namespace

// ---------------------------------------------------------------------------
// Hand-worked cases, run on both sides: they pin the model (and the blit) to
// the documented numbers, so that agreement above means correctness rather
// than a shared mistake.

using BlitFn = bool (*)(C_Surface*, C_Surface*, const C_Rect*, const C_Frame*, const C_Frame*, const C_Vector2D*,
                        std::uint32_t, const C_DrawParams*);

bool ReferenceBlit(C_Surface* src, C_Surface* dst, const C_Rect* srcRect, const C_Frame* clip, const C_Frame* clip2,
                   const C_Vector2D* position, std::uint32_t mode, const C_DrawParams* params) {
    return blitref::BlitTransformed(src, dst, srcRect, clip, clip2, position, mode, params);
}

// A small picture in ARGB8888 with an optional CH8 alpha plane.
struct Picture {
    std::unique_ptr<C_Image> color;
    std::unique_ptr<C_Image> alpha;
    std::unique_ptr<C_Surface> surface;

    Picture(std::uint32_t w, std::uint32_t h, std::uint32_t fill, bool withAlpha = false, std::uint8_t alphaFill = 0,
            bool withColor = true) {
        if (withColor) {
            color = MakeImage(w, h, GFX_FMT_ARGB8888);
            for (std::uint32_t y = 0; y < h; ++y)
                for (std::uint32_t x = 0; x < w; ++x) WritePixel(*color, x, y, fill);
        }
        if (withAlpha) {
            alpha = MakeImage(w, h, GFX_FMT_CH8);
            std::memset(alpha->data, alphaFill, alpha->dataSize);
        }
        surface = Wrap(color.get(), alpha.get());
    }
    std::uint32_t At(std::uint32_t x, std::uint32_t y) const { return ReadPixel(*color, x, y); }
    void Set(std::uint32_t x, std::uint32_t y, std::uint32_t v) { WritePixel(*color, x, y, v); }
    std::uint8_t AlphaAt(std::uint32_t x, std::uint32_t y) const { return alpha->Row(y)[x]; }
};

class BlitExamples : public ::testing::TestWithParam<BlitFn> {
protected:
    bool Draw(Picture& src, Picture& dst, const C_Vector2D& at, const C_DrawParams* params,
              const C_Frame* clip = nullptr, const C_Rect* srcRect = nullptr) {
        return GetParam()(src.surface.get(), dst.surface.get(), srcRect, clip, nullptr, &at, 0, params);
    }
};

TEST_P(BlitExamples, HalfOpacityBlendRoundsDifferencesDown) {
    Picture src(1, 1, 0x00FF0000);
    Picture dst(1, 1, 0x000000FF);
    C_DrawParams p;
    p.opacity = 0.5f;
    ASSERT_TRUE(Draw(src, dst, C_Vector2D(0, 0), &p));
    EXPECT_EQ(dst.At(0, 0), 0x007F007Fu);
}

TEST_P(BlitExamples, DestinationAlphaComposition) {
    Picture src(2, 1, 0x00FFFFFF, true, 128);
    Picture dst(2, 1, 0x00000000, true, 0);
    dst.alpha->data[1] = 128;
    C_DrawParams p;
    ASSERT_TRUE(Draw(src, dst, C_Vector2D(0, 0), &p));
    // Over alpha 0 the colour becomes the source's outright.
    EXPECT_EQ(dst.At(0, 0), 0x00FFFFFFu);
    EXPECT_EQ(dst.AlphaAt(0, 0), 128);
    // Over alpha 128: na = 192, a' = 170, 255 * 170 >> 8 = 169.
    EXPECT_EQ(dst.At(1, 0), 0x00A9A9A9u);
    EXPECT_EQ(dst.AlphaAt(1, 0), 192);
}

TEST_P(BlitExamples, OpaqueSourceAlphaCopiesTheWholeWord) {
    Picture src(1, 1, 0xAB123456, true, 255);
    Picture dst(1, 1, 0x00000000, true, 7);
    ASSERT_TRUE(Draw(src, dst, C_Vector2D(0, 0), nullptr));
    EXPECT_EQ(dst.At(0, 0), 0xAB123456u);
    EXPECT_EQ(dst.AlphaAt(0, 0), 255);
}

TEST_P(BlitExamples, ContrastThenBrightnessThenClamp) {
    Picture src(2, 1, 0);
    src.Set(0, 0, 0x00C84040);  // 200, 64, 64
    src.Set(1, 0, 0x00C0C0C0);  // 192
    Picture dst(2, 1, 0);
    C_DrawParams p;
    p.useContrast = 1;
    p.contrast = C_Color(2.0f, 2.0f, 2.0f, 0.0f);
    ASSERT_TRUE(Draw(src, dst, C_Vector2D(0, 0), &p));
    EXPECT_EQ(dst.At(0, 0), 0x00FF0000u);
    EXPECT_EQ(dst.At(1, 0), 0x00FFFFFFu);

    p.useContrast = 0;
    p.useBrightness = 1;
    p.brightness = C_Color(0.5f, 0.5f, 0.5f, 0.0f);
    ASSERT_TRUE(Draw(src, dst, C_Vector2D(0, 0), &p));
    EXPECT_EQ(dst.At(0, 0), 0x00FFC0C0u);

    // A fill colour is drawn unadjusted.
    p.useFillColor = 1;
    p.fillColor = C_Color(1.0f, 0.0f, 0.0f, 0.0f);
    ASSERT_TRUE(Draw(src, dst, C_Vector2D(0, 0), &p));
    EXPECT_EQ(dst.At(1, 0), 0x00FF0000u);
}

TEST_P(BlitExamples, ScaledCoverage) {
    Picture src(64, 64, 0xFFFFFFFF);
    Picture dst(100, 160, 0);
    C_DrawParams p;
    p.scale = C_Vector2D(1.0f, 2.0f);
    ASSERT_TRUE(Draw(src, dst, C_Vector2D(10.0f, 10.0f), &p));
    std::uint32_t minX = 1000, maxX = 0, minY = 1000, maxY = 0, count = 0;
    for (std::uint32_t y = 0; y < 160; ++y)
        for (std::uint32_t x = 0; x < 100; ++x)
            if (dst.At(x, y) != 0) {
                minX = std::min(minX, x);
                maxX = std::max(maxX, x);
                minY = std::min(minY, y);
                maxY = std::max(maxY, y);
                ++count;
            }
    EXPECT_EQ(minX, 10u);
    EXPECT_EQ(maxX, 74u);
    EXPECT_EQ(minY, 10u);
    EXPECT_EQ(maxY, 137u);
    EXPECT_EQ(count, 65u * 128u);
}

TEST_P(BlitExamples, NegativePositionsRoundDownAndOneMore) {
    Picture src(4, 1, 0);
    for (std::uint32_t x = 0; x < 4; ++x) src.Set(x, 0, x + 1);
    const struct {
        float x;
        std::uint32_t col;
        std::uint32_t expected;
    } cases[] = {{-0.5f, 0, 2}, {-1.0f, 0, 3}, {2.7f, 2, 1}};
    for (const auto& c : cases) {
        Picture dst(6, 1, 0);
        ASSERT_TRUE(Draw(src, dst, C_Vector2D(c.x, 0.0f), nullptr));
        EXPECT_EQ(dst.At(c.col, 0), c.expected) << "x " << c.x;
    }
}

TEST_P(BlitExamples, PositionAnchoredToTheFarCorner) {
    Picture src(1, 1, 0x00123456);
    Picture dst(100, 80, 0);
    ASSERT_TRUE(Draw(src, dst, C_Vector2D(10.0f, 20.0f, 0x11), nullptr));
    EXPECT_EQ(dst.At(90, 60), 0x00123456u);
}

TEST_P(BlitExamples, CentreOfAnOddTargetIsAHalfPixel) {
    Picture src(1, 1, 0x00123456);
    Picture dst(5, 1, 0);
    // 5 / 2 = 2.5, less 0.25: column 2 (integer halving would give column 1).
    ASSERT_TRUE(Draw(src, dst, C_Vector2D(-0.25f, 0.0f, 0x02), nullptr));
    EXPECT_EQ(dst.At(2, 0), 0x00123456u);
    EXPECT_EQ(dst.At(1, 0), 0u);
}

TEST_P(BlitExamples, TrivialRejectionUsesTheRegionLimitedToTheImage) {
    // Scaled by 0.9 at x = -0.5 the picture would cover column 0, but X +
    // trunc(0.9) = -1 lies left of the image, so the call is rejected even
    // though the clip reaches further left.
    Picture src(1, 1, 0x00123456);
    Picture dst(4, 1, 0);
    C_DrawParams p;
    p.scale = C_Vector2D(0.9f, 1.0f);
    const C_Frame clip(-4, 0, 4, 1);
    ASSERT_TRUE(Draw(src, dst, C_Vector2D(3.5f, 0.0f), &p, &clip));
    EXPECT_EQ(dst.At(0, 0), 0u);
    // Drawn when the rejection does not fire.
    ASSERT_TRUE(Draw(src, dst, C_Vector2D(4.25f, 0.0f), &p, &clip));
    EXPECT_EQ(dst.At(0, 0), 0x00123456u);
}

TEST_P(BlitExamples, MirroredCopyClippedOnTheLeftLosesTheRightEnd) {
    Picture src(4, 1, 0);
    for (std::uint32_t x = 0; x < 4; ++x) src.Set(x, 0, x + 1);
    Picture dst(4, 1, 0);
    C_DrawParams p;
    p.flipH = 1;
    // The pivot (0, 0) mirrors to the right edge: the picture spans -2..1.
    ASSERT_TRUE(Draw(src, dst, C_Vector2D(2.5f, 0.0f), &p));
    EXPECT_EQ(dst.At(0, 0), 2u);
    EXPECT_EQ(dst.At(1, 0), 1u);
    EXPECT_EQ(dst.At(2, 0), 0u);
}

TEST_P(BlitExamples, MirroredKeySkipsKeyPixelsInMirroredOrder) {
    const std::uint32_t key = 0x00010203;
    Picture src(4, 1, 0);
    src.Set(0, 0, 5);
    src.Set(1, 0, key);
    src.Set(2, 0, 6);
    src.Set(3, 0, 7);
    Picture dst(4, 1, 0xEEEEEEEE);
    C_DrawParams p;
    p.flipH = 1;
    p.useKeyColor = 1;
    p.keyColor = C_Color(std::int32_t{1}, 2, 3, 0);
    ASSERT_TRUE(Draw(src, dst, C_Vector2D(4.0f, 0.0f), &p));
    EXPECT_EQ(dst.At(0, 0), 7u);
    EXPECT_EQ(dst.At(1, 0), 6u);
    EXPECT_EQ(dst.At(2, 0), 0xEEEEEEEEu);
    EXPECT_EQ(dst.At(3, 0), 5u);
}

TEST_P(BlitExamples, MirroredKeyFillMirrorsTheSilhouette) {
    const std::uint32_t key = 0x00010203;
    Picture src(4, 1, key);
    src.Set(0, 0, 5);
    src.Set(1, 0, 6);
    Picture dst(4, 1, 0xEEEEEEEE);
    C_DrawParams p;
    p.flipH = 1;
    p.useKeyColor = 1;
    p.keyColor = C_Color(std::int32_t{1}, 2, 3, 0);
    p.useFillColor = 1;
    p.fillColor = C_Color(0.0f, 0.0f, 1.0f, 0.0f);
    ASSERT_TRUE(Draw(src, dst, C_Vector2D(4.0f, 0.0f), &p));
    EXPECT_EQ(dst.At(0, 0), 0xEEEEEEEEu);
    EXPECT_EQ(dst.At(1, 0), 0xEEEEEEEEu);
    EXPECT_EQ(dst.At(2, 0), 0x000000FFu);
    EXPECT_EQ(dst.At(3, 0), 0x000000FFu);
}

TEST_P(BlitExamples, OpacityOutsideZeroToOneDrawsAsOpaque) {
    for (const float opacity : {1.5f, -0.5f, std::nanf("")}) {
        Picture src(1, 1, 0x00FFFFFF, true, 128);
        Picture dst(1, 1, 0);
        C_DrawParams p;
        p.opacity = opacity;
        ASSERT_TRUE(Draw(src, dst, C_Vector2D(0, 0), &p));
        // Weighted by the source alpha alone (opacity 1), not by 1.5 or -0.5.
        EXPECT_EQ(dst.At(0, 0), 0x007F7F7Fu) << "opacity " << opacity;
    }
}

TEST_P(BlitExamples, ZeroOpacityDrawsNothing) {
    Picture src(3, 3, 0x00FFFFFF);
    Picture dst(3, 3, 0x00ABCDEF);
    C_DrawParams p;
    p.opacity = 0.0f;
    EXPECT_TRUE(Draw(src, dst, C_Vector2D(0, 0), &p));
    for (std::uint32_t y = 0; y < 3; ++y)
        for (std::uint32_t x = 0; x < 3; ++x) EXPECT_EQ(dst.At(x, y), 0x00ABCDEFu);
}

TEST_P(BlitExamples, WrapCopiesReachAllEightNeighbours) {
    Picture src(3, 3, 0x00FFFFFF);
    Picture dst(10, 10, 0);
    C_DrawParams p;
    p.wrapH = p.wrapV = 1;
    // At 8.5 the copies one width back start at -1.5, that is at column -2.
    ASSERT_TRUE(Draw(src, dst, C_Vector2D(8.5f, 8.5f), &p));
    for (std::uint32_t y = 0; y < 10; ++y)
        for (std::uint32_t x = 0; x < 10; ++x) {
            const bool inX = x == 0 || x >= 8;
            const bool inY = y == 0 || y >= 8;
            EXPECT_EQ(dst.At(x, y), inX && inY ? 0x00FFFFFFu : 0u) << x << ", " << y;
        }
}

TEST_P(BlitExamples, AlphaOnlySourceIsCoverageOfTheFillColour) {
    Picture src(1, 1, 0, true, 255, false);
    Picture dst(1, 1, 0x00ABCDEF);
    C_DrawParams p;
    p.fillColor = C_Color(0.0f, 1.0f, 0.0f, 0.0f);  // useFillColor stays 0
    ASSERT_TRUE(Draw(src, dst, C_Vector2D(0, 0), &p));
    EXPECT_EQ(dst.At(0, 0), 0x0000FF00u);
    // Without a record the fill colour is black.
    Picture dst2(1, 1, 0x00ABCDEF);
    ASSERT_TRUE(Draw(src, dst2, C_Vector2D(0, 0), nullptr));
    EXPECT_EQ(dst2.At(0, 0), 0u);
}

TEST_P(BlitExamples, BilinearSamplePastTheImageEdgeWrapsToItsOtherSide) {
    Picture src(4, 1, 0);
    const std::uint32_t reds[4] = {0, 100, 200, 40};
    for (std::uint32_t x = 0; x < 4; ++x) src.Set(x, 0, reds[x] << 16);
    Picture dst(4, 2, 0);
    C_DrawParams p;
    p.scale = C_Vector2D(1.0f, 2.0f);
    p.filter = 1;
    // x = -0.5 puts u at 0.5, 1.5, 2.5, 3.5 on columns 0..3.
    ASSERT_TRUE(Draw(src, dst, C_Vector2D(-0.5f, 0.0f), &p));
    const std::uint32_t expected[4] = {50, 150, 120, 20};
    for (std::uint32_t x = 0; x < 4; ++x) EXPECT_EQ(dst.At(x, 0), expected[x] << 16) << "column " << x;
}

TEST_P(BlitExamples, MissingPlanesFail) {
    Picture src(2, 2, 0);
    Picture none(2, 2, 0, false, 0, false);
    Picture dst(2, 2, 0);
    EXPECT_FALSE(Draw(src, none, C_Vector2D(0, 0), nullptr));
    EXPECT_FALSE(Draw(none, dst, C_Vector2D(0, 0), nullptr));
    C_DrawParams p;
    p.flipH = 1;
    EXPECT_FALSE(Draw(none, dst, C_Vector2D(0, 0), &p));
}

// Colour planes that are not 32-bit and alpha planes that are not 8-bit make
// the whole call draw nothing and fail: a source whose 16-bit coverage is all
// zero must not land opaquely.
TEST_P(BlitExamples, SixteenBitAlphaPlanesAreRefused) {
    Picture src(2, 1, 0x00445566);
    Picture dst(2, 1, 0x00EEEEEE);
    auto wideAlpha = MakeImage(2, 1, GFX_FMT_CH16);
    std::memset(wideAlpha->data, 0, wideAlpha->dataSize);
    auto source = Wrap(src.color.get(), wideAlpha.get());
    const C_Vector2D at(0.0f, 0.0f);
    EXPECT_FALSE(GetParam()(source.get(), dst.surface.get(), nullptr, nullptr, nullptr, &at, 0, nullptr));
    EXPECT_EQ(dst.At(0, 0), 0x00EEEEEEu);

    std::memset(wideAlpha->data, 0x11, wideAlpha->dataSize);
    auto target = Wrap(dst.color.get(), wideAlpha.get());
    EXPECT_FALSE(GetParam()(src.surface.get(), target.get(), nullptr, nullptr, nullptr, &at, 0, nullptr));
    EXPECT_EQ(dst.At(1, 0), 0x00EEEEEEu);
    EXPECT_EQ(wideAlpha->data[0], 0x11);
}

TEST_P(BlitExamples, ColourPlanesOtherThan32BitAreRefused) {
    Picture src(2, 1, 0x00445566);
    auto narrow = MakeImage(2, 1, GFX_FMT_RGB888);
    std::memset(narrow->data, 0xEE, narrow->dataSize);
    auto target = Wrap(narrow.get(), nullptr);
    const C_Vector2D at(0.0f, 0.0f);
    C_DrawParams p;
    for (const float angle : {0.0f, 30.0f}) {
        p.angle = angle;
        EXPECT_FALSE(GetParam()(src.surface.get(), target.get(), nullptr, nullptr, nullptr, &at, 0, &p));
        for (std::uint32_t i = 0; i < narrow->dataSize; ++i) EXPECT_EQ(narrow->data[i], 0xEE);
    }
    auto narrowSource = MakeImage(2, 1, GFX_FMT_RGB888);
    auto source = Wrap(narrowSource.get(), nullptr);
    Picture dst(2, 1, 0x00EEEEEE);
    EXPECT_FALSE(GetParam()(source.get(), dst.surface.get(), nullptr, nullptr, nullptr, &at, 0, nullptr));
    EXPECT_EQ(dst.At(0, 0), 0x00EEEEEEu);
}

INSTANTIATE_TEST_SUITE_P(BothSides, BlitExamples, ::testing::Values(&Gfx_Surface_BlitTransformed, &ReferenceBlit),
                         [](const ::testing::TestParamInfo<BlitFn>& info) {
                             return info.index == 0 ? std::string("Blit") : std::string("Reference");
                         });
