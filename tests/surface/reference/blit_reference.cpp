#include "surface/reference/blit_reference.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "image/format.h"
#include "image/image.h"
#include "math/color.h"
#include "math/shapes.h"
#include "math/vector.h"
#include "surface/surface.h"
#include "surface/draw_params.h"

namespace blitref {
namespace {

// ---------------------------------------------------------------------------
// Small arithmetic rules.

// Float to integer conversions truncate toward zero.
std::int32_t Trunc(float v) { return static_cast<std::int32_t>(v); }

// 16.16 coordinates are 32-bit integers that the real loops step by adding;
// sums that would leave 32 bits wrap there as well.
std::int32_t Wrap32(std::int64_t v) { return static_cast<std::int32_t>(static_cast<std::uint32_t>(v)); }

// ">> 16" and ">> 8" of the rules are arithmetic shifts: they round towards
// minus infinity.
std::int32_t ShiftDown(std::int64_t v, int bits) {
    const std::int64_t unit = std::int64_t{1} << bits;
    return static_cast<std::int32_t>(v >= 0 ? v / unit : -((-v + unit - 1) / unit));
}

std::int32_t IntegerPart(std::int32_t fixed) { return ShiftDown(fixed, 16); }
std::int32_t FractionPart(std::int32_t fixed) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(fixed) & 0xFFFFu);
}

// Clamping into [lo, hi]. Should the interval be empty (a source rectangle
// narrower than one whole pixel), the low bound wins, which always names a
// pixel inside the image.
std::int32_t ClampLowWins(std::int32_t v, std::int32_t lo, std::int32_t hi) { return std::max(lo, std::min(v, hi)); }

// An integer rectangle, the second corner exclusive.
struct IRect {
    std::int32_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;
};

IRect Intersect(const IRect& a, const IRect& b) {
    return {std::max(a.x0, b.x0), std::max(a.y0, b.y0), std::min(a.x1, b.x1), std::min(a.y1, b.y1)};
}

bool IsEmpty(const IRect& r) { return r.x1 <= r.x0 || r.y1 <= r.y0; }

IRect WholeImage(const C_Image& img) {
    return {0, 0, static_cast<std::int32_t>(img.width), static_cast<std::int32_t>(img.height)};
}

IRect FromFrame(const C_Frame& f) { return {f.x0, f.y0, f.x1, f.y1}; }

// ---------------------------------------------------------------------------
// Pixel access. Every access is checked against the image; an access outside
// would be a fault of this model, so it is counted and not carried out.

int g_outOfBounds = 0;

bool Inside(const C_Image& img, std::int32_t col, std::int32_t row) {
    const bool inside = col >= 0 && row >= 0 && static_cast<std::uint32_t>(col) < img.width &&
                        static_cast<std::uint32_t>(row) < img.height;
    if (!inside) ++g_outOfBounds;
    return inside;
}

// Rows are found through C_Image::Row, which honours each image's bottomUp flag.
std::uint32_t ColorAt(const C_Image& img, std::int32_t col, std::int32_t row) {
    std::uint32_t v = 0;
    if (Inside(img, col, row)) std::memcpy(&v, img.Row(static_cast<std::uint32_t>(row)) + std::size_t(col) * 4, 4);
    return v;
}

void PutColor(C_Image& img, std::int32_t col, std::int32_t row, std::uint32_t v) {
    if (Inside(img, col, row)) std::memcpy(img.Row(static_cast<std::uint32_t>(row)) + std::size_t(col) * 4, &v, 4);
}

std::int32_t AlphaAt(const C_Image& img, std::int32_t col, std::int32_t row) {
    return Inside(img, col, row) ? img.Row(static_cast<std::uint32_t>(row))[col] : 0;
}

void PutAlpha(C_Image& img, std::int32_t col, std::int32_t row, std::int32_t v) {
    if (Inside(img, col, row)) img.Row(static_cast<std::uint32_t>(row))[col] = static_cast<std::uint8_t>(v);
}

// Channel c (0 red, 1 green, 2 blue) of a pixel.
std::int32_t Channel(std::uint32_t pixel, const Gfx_FormatDesc& d, int c) {
    return static_cast<std::int32_t>((pixel & d.mask[c]) >> d.shift[c]);
}

struct Rgb {
    std::int32_t c[3] = {0, 0, 0};
};

Rgb Unpack(std::uint32_t pixel, const Gfx_FormatDesc& d) {
    Rgb out;
    for (int c = 0; c < 3; ++c) out.c[c] = Channel(pixel, d, c);
    return out;
}

// A repacked pixel has every bit outside red, green and blue at 0.
std::uint32_t Repack(const Rgb& rgb, const Gfx_FormatDesc& d) {
    std::uint32_t v = 0;
    for (int c = 0; c < 3; ++c) v |= static_cast<std::uint32_t>(rgb.c[c]) << d.shift[c];
    return v;
}

// ---------------------------------------------------------------------------
// The state of one Blit_Fixed call, once set up.

enum class Path { Unscaled, Scaled, Rotated };
enum class Rule { Copy, Key, Fill, KeyFill, Blend, Adjust };

struct Setup {
    const C_Image* srcColor = nullptr;  // null in mask mode
    const C_Image* srcAlpha = nullptr;
    const C_Image* srcImage = nullptr;  // sizes: the colour plane, else the alpha plane
    C_Image *dstColor = nullptr, *dstAlpha = nullptr;
    Gfx_FormatDesc srcDesc{}, dstDesc{};

    // The draw parameters in force: without a record, scale (1, 1), no
    // rotation, opaque, no effects and a black fill colour.
    C_DrawParams p;

    // Source rectangle as floats and truncated.
    float rx0 = 0, ry0 = 0, rx1 = 0, ry1 = 0;
    IRect srcI;
    float srcW = 0, srcH = 0;
    std::int32_t srcWI = 0, srcHI = 0;

    // clip (or the whole destination) with clip2, limited to the destination
    // image: rejection tests against it and pixels are written only here.
    IRect region;
    float x = 0, y = 0;  // anchored position
    std::int32_t X = 0, Y = 0;

    Path path = Path::Unscaled;
    Rule rule = Rule::Copy;
    bool bilinear = false, clamp = false;
    std::int32_t alpha256 = 256;
    std::uint32_t keyPixel = 0, fillPixel = 0;
    Rgb fill;
    std::int32_t bright[3] = {0, 0, 0};
    std::int32_t contr[3] = {0, 0, 0};
};

// ---------------------------------------------------------------------------
// Sampling the source.

// A source pixel position.
struct Texel {
    std::int32_t col = 0, row = 0;
};

// Nearest sampling of the scaled and rotated paths: the integer parts of u
// and v, clamped to the source rectangle.
Texel NearestTexel(const Setup& s, std::int32_t u, std::int32_t v) {
    return {ClampLowWins(IntegerPart(u), s.srcI.x0, s.srcI.x1 - 1),
            ClampLowWins(IntegerPart(v), s.srcI.y0, s.srcI.y1 - 1)};
}

// The two taps of bilinear sampling along one axis: below the rectangle both
// are its first pixel; past the pixel one beyond its end both are that
// pixel; taps outside the image wrap to its opposite edge.
void BilinearAxis(std::int32_t i0, std::int32_t lo, std::int32_t hi, std::int32_t size, std::int32_t& t0,
                  std::int32_t& t1) {
    if (i0 < lo) {
        t0 = t1 = lo;
    } else {
        t0 = i0;
        t1 = i0 + 1;
    }
    if (t1 > hi) t0 = t1 = hi;
    if (t1 >= size || t0 < 0) {
        t0 = (t0 + 8 * size) % size;
        t1 = (t1 + 8 * size) % size;
    }
}

struct Taps {
    Texel p00, p01, p10, p11;  // (row0, col0), (row0, col1), (row1, col0), (row1, col1)
    std::int32_t fx = 0, fy = 0;
};

Taps BilinearTaps(const Setup& s, std::int32_t u, std::int32_t v) {
    const std::int32_t w = static_cast<std::int32_t>(s.srcImage->width);
    const std::int32_t h = static_cast<std::int32_t>(s.srcImage->height);
    std::int32_t c0, c1, r0, r1;
    BilinearAxis(IntegerPart(u), s.srcI.x0, s.srcI.x1, w, c0, c1);
    BilinearAxis(IntegerPart(v), s.srcI.y0, s.srcI.y1, h, r0, r1);
    Taps t;
    t.p00 = {c0, r0};
    t.p01 = {c1, r0};
    t.p10 = {c0, r1};
    t.p11 = {c1, r1};
    t.fx = FractionPart(u);  // fractions of the unclamped coordinates
    t.fy = FractionPart(v);
    return t;
}

// Interpolation of one channel between four taps, in 16-bit fractions.
std::int32_t Interpolate(std::int32_t p00, std::int32_t p01, std::int32_t p10, std::int32_t p11, std::int32_t fx,
                         std::int32_t fy) {
    const std::int32_t top = p00 + ShiftDown(std::int64_t(p01 - p00) * fx, 16);
    const std::int32_t bottom = p10 + ShiftDown(std::int64_t(p11 - p10) * fx, 16);
    return top + ShiftDown(std::int64_t(bottom - top) * fy, 16);
}

Rgb BilinearColor(const Setup& s, const Taps& t) {
    const Rgb a = Unpack(ColorAt(*s.srcColor, t.p00.col, t.p00.row), s.srcDesc);
    const Rgb b = Unpack(ColorAt(*s.srcColor, t.p01.col, t.p01.row), s.srcDesc);
    const Rgb c = Unpack(ColorAt(*s.srcColor, t.p10.col, t.p10.row), s.srcDesc);
    const Rgb d = Unpack(ColorAt(*s.srcColor, t.p11.col, t.p11.row), s.srcDesc);
    Rgb out;
    for (int k = 0; k < 3; ++k) out.c[k] = Interpolate(a.c[k], b.c[k], c.c[k], d.c[k], t.fx, t.fy);
    return out;
}

std::int32_t BilinearAlpha(const Setup& s, const Taps& t) {
    const C_Image& a = *s.srcAlpha;
    return Interpolate(AlphaAt(a, t.p00.col, t.p00.row), AlphaAt(a, t.p01.col, t.p01.row),
                       AlphaAt(a, t.p10.col, t.p10.row), AlphaAt(a, t.p11.col, t.p11.row), t.fx, t.fy);
}

// What one destination pixel takes from the source: a texel, or for
// bilinear filtering the 16.16 coordinates.
struct Sample {
    Texel at;
    bool filtered = false;
    std::int32_t u = 0, v = 0;
};

// ---------------------------------------------------------------------------
// The pixel rules of the kernels.

// The weight of the source pixel in 1/256: the opacity, times the source
// alpha byte when there is a source alpha plane.
std::int32_t SourceWeight(const Setup& s, bool haveAlpha, std::int32_t sourceAlpha) {
    if (!haveAlpha) return s.alpha256;
    return ShiftDown(std::int64_t(sourceAlpha) * s.alpha256, 8);
}

std::int32_t Mix(std::int32_t d, std::int32_t src, std::int32_t weight) {
    return d + ShiftDown(std::int64_t(src - d) * weight, 8);
}

// Steps 4 to 7 of the blending rule: lays colour `src` with weight a (1..)
// over destination pixel (col, row). At a >= 255 the pixel becomes
// `opaquePixel` outright.
void Compose(const Setup& s, std::int32_t col, std::int32_t row, std::int32_t a, const Rgb& src,
             std::uint32_t opaquePixel) {
    if (a >= 255) {
        PutColor(*s.dstColor, col, row, opaquePixel);
        if (s.dstAlpha) PutAlpha(*s.dstAlpha, col, row, 255);
        return;
    }
    const Rgb d = Unpack(ColorAt(*s.dstColor, col, row), s.dstDesc);
    std::int32_t weight = a;
    if (s.dstAlpha) {
        const std::int32_t dA = AlphaAt(*s.dstAlpha, col, row);
        if (dA < 255) {
            const std::int32_t na = dA + ShiftDown(std::int64_t(256 - dA) * a, 8);
            PutAlpha(*s.dstAlpha, col, row, na);
            weight = (a * 256) / na;
        }
    }
    Rgb out;
    for (int c = 0; c < 3; ++c) out.c[c] = Mix(d.c[c], src.c[c], weight);
    PutColor(*s.dstColor, col, row, Repack(out, s.dstDesc));
}

// Copy: the destination takes the source word as it is.
void CopyPixel(const Setup& s, std::int32_t col, std::int32_t row, const Texel& t) {
    PutColor(*s.dstColor, col, row, ColorAt(*s.srcColor, t.col, t.row));
}

// Key: as copy, except that source words equal to the key stay undrawn.
void KeyPixel(const Setup& s, std::int32_t col, std::int32_t row, const Texel& t) {
    const std::uint32_t p = ColorAt(*s.srcColor, t.col, t.row);
    if (p != s.keyPixel) PutColor(*s.dstColor, col, row, p);
}

void FillPixel(const Setup& s, std::int32_t col, std::int32_t row) { PutColor(*s.dstColor, col, row, s.fillPixel); }

// Key and fill: the silhouette of the non-key source pixels in the fill colour.
void KeyFillPixel(const Setup& s, std::int32_t col, std::int32_t row, const Texel& t) {
    if (ColorAt(*s.srcColor, t.col, t.row) != s.keyPixel) PutColor(*s.dstColor, col, row, s.fillPixel);
}

// The blending rule (nearest source pixel).
void BlendPixel(const Setup& s, std::int32_t col, std::int32_t row, const Texel& t) {
    const bool haveAlpha = s.srcAlpha != nullptr;
    const std::int32_t a = SourceWeight(s, haveAlpha, haveAlpha ? AlphaAt(*s.srcAlpha, t.col, t.row) : 0);
    if (a == 0) return;
    if (s.p.useFillColor) {
        Compose(s, col, row, a, s.fill, s.fillPixel);
        return;
    }
    const std::uint32_t p = ColorAt(*s.srcColor, t.col, t.row);
    Compose(s, col, row, a, Unpack(p, s.srcDesc), p);
}

// Contrast, then brightness, then (when either is in use) clamping.
Rgb AdjustColor(const Setup& s, Rgb c) {
    for (int k = 0; k < 3; ++k) {
        if (s.p.useContrast) c.c[k] = ShiftDown(std::int64_t(c.c[k] - 128) * s.contr[k], 8) + 128;
        if (s.p.useBrightness) c.c[k] += s.bright[k];
        if (s.clamp) c.c[k] = std::max(0, std::min(c.c[k], 255));
    }
    return c;
}

// The adjusting rule, with nearest or bilinear sampling.
void AdjustPixel(const Setup& s, std::int32_t col, std::int32_t row, const Sample& smp) {
    const bool haveAlpha = s.srcAlpha != nullptr;
    Taps taps;
    if (smp.filtered) taps = BilinearTaps(s, smp.u, smp.v);
    std::int32_t sourceAlpha = 0;
    if (haveAlpha) sourceAlpha = smp.filtered ? BilinearAlpha(s, taps) : AlphaAt(*s.srcAlpha, smp.at.col, smp.at.row);
    const std::int32_t a = SourceWeight(s, haveAlpha, sourceAlpha);
    if (a == 0) return;
    Rgb color;
    if (s.p.useFillColor) {
        color = s.fill;  // the fill colour is drawn unadjusted
    } else {
        color = smp.filtered ? BilinearColor(s, taps) : Unpack(ColorAt(*s.srcColor, smp.at.col, smp.at.row), s.srcDesc);
        color = AdjustColor(s, color);
    }
    Compose(s, col, row, a, color, Repack(color, s.dstDesc));
}

// One destination pixel through the call's kernel.
void DrawPixel(const Setup& s, std::int32_t col, std::int32_t row, const Sample& smp) {
    switch (s.rule) {
    case Rule::Copy: CopyPixel(s, col, row, smp.at); break;
    case Rule::Key: KeyPixel(s, col, row, smp.at); break;
    case Rule::Fill: FillPixel(s, col, row); break;
    case Rule::KeyFill: KeyFillPixel(s, col, row, smp.at); break;
    case Rule::Blend: BlendPixel(s, col, row, smp.at); break;
    case Rule::Adjust: AdjustPixel(s, col, row, smp); break;
    }
}

// The sample of the scaled and rotated paths at (u, v).
Sample SampleAt(const Setup& s, std::int32_t u, std::int32_t v) {
    Sample smp;
    smp.at = NearestTexel(s, u, v);
    smp.filtered = s.bilinear;
    smp.u = u;
    smp.v = v;
    return smp;
}

// ---------------------------------------------------------------------------
// The three drawing paths.

// Unscaled: destination pixel (X + i, Y + j) shows source pixel (x0 + i,
// y0 + j) of the truncated source rectangle, counted from its far edge when
// mirrored. Clipping only removes pixels, it never shifts the others.
void DrawUnscaled(const Setup& s) {
    const IRect area = Intersect(s.region, {s.X, s.Y, s.X + s.srcWI, s.Y + s.srcHI});
    for (std::int32_t row = area.y0; row < area.y1; ++row) {
        const std::int32_t j = row - s.Y;
        const std::int32_t srcRow = s.p.flipV ? s.srcI.y1 - 1 - j : s.srcI.y0 + j;
        for (std::int32_t col = area.x0; col < area.x1; ++col) {
            const std::int32_t i = col - s.X;
            Sample smp;
            smp.at = {s.p.flipH ? s.srcI.x1 - 1 - i : s.srcI.x0 + i, srcRow};
            DrawPixel(s, col, row, smp);
        }
    }
}

// Scaled: columns trunc(x + 0.3) .. C1 inclusive and rows trunc(y + 0.3) ..
// R1 exclusive; u = uStart + column * du, v = vStart + row * dv.
void DrawScaled(const Setup& s) {
    std::int32_t firstCol = Trunc(s.x + 0.3f);
    std::int32_t lastCol = IntegerPart(Trunc((s.x + s.srcW * s.p.scale.x) * 65536.0f));
    std::int32_t firstRow = Trunc(s.y + 0.3f);
    std::int32_t endRow = IntegerPart(Trunc((s.y + s.srcH * s.p.scale.y + 0.3f) * 65536.0f));
    firstCol = std::max(firstCol, s.region.x0);
    firstRow = std::max(firstRow, s.region.y0);
    lastCol = std::min(lastCol, s.region.x1 - 1);
    endRow = std::min(endRow, s.region.y1);

    // Mirrored, the walk starts from the far edge and runs backwards.
    const std::int32_t du = (s.p.flipH ? -1 : 1) * Trunc(65536.0f / s.p.scale.x);
    const std::int32_t dv = (s.p.flipV ? -1 : 1) * Trunc(65536.0f / s.p.scale.y);
    const std::int32_t uStart =
        s.p.flipH ? Trunc((s.x / s.p.scale.x + s.rx1) * 65536.0f) : Trunc((s.rx0 - s.x / s.p.scale.x) * 65536.0f);
    const std::int32_t vStart =
        s.p.flipV ? Trunc((s.y / s.p.scale.y + s.ry1) * 65536.0f) : Trunc((s.ry0 - s.y / s.p.scale.y) * 65536.0f);

    for (std::int32_t row = firstRow; row < endRow; ++row) {
        const std::int32_t v = Wrap32(std::int64_t(vStart) + std::int64_t(row) * dv);
        for (std::int32_t col = firstCol; col <= lastCol; ++col) {
            const std::int32_t u = Wrap32(std::int64_t(uStart) + std::int64_t(col) * du);
            DrawPixel(s, col, row, SampleAt(s, u, v));
        }
    }
}

// The scanline tables of a rotated call, over the rows of the drawing region.
struct Spans {
    std::int32_t rowBase = 0, firstRow = 0, lastRow = 0;
    std::vector<std::int32_t> minCol, maxCol;
};

// Records a plotted point (16.16) when its row lies in the region.
void Plot(Spans& sp, const IRect& region, std::int32_t x, std::int32_t y) {
    const std::int32_t row = IntegerPart(y), col = IntegerPart(x);
    if (row < region.y0 || row >= region.y1) return;
    const std::size_t k = static_cast<std::size_t>(row - sp.rowBase);
    sp.minCol[k] = std::min(sp.minCol[k], col);
    sp.maxCol[k] = std::max(sp.maxCol[k], col);
}

// Scan conversion of the edge from p to q: one point per whole step along
// the major axis, starting half a pixel in.
void ScanEdge(Spans& sp, const IRect& region, const C_Vector2D& p, const C_Vector2D& q) {
    const std::int32_t X0 = Trunc(p.x * 65536.0f), Y0 = Trunc(p.y * 65536.0f);
    const std::int32_t X1 = Trunc(q.x * 65536.0f), Y1 = Trunc(q.y * 65536.0f);

    sp.firstRow = std::min({sp.firstRow, IntegerPart(Y0), IntegerPart(Y1)});
    sp.lastRow = std::max({sp.lastRow, IntegerPart(Y0), IntegerPart(Y1)});
    sp.firstRow = std::max(sp.firstRow, region.y0);
    sp.lastRow = std::min(sp.lastRow, region.y1 - 1);

    const std::int64_t extentX = std::llabs(std::int64_t(X1) - X0);
    const std::int64_t extentY = std::llabs(std::int64_t(Y1) - Y0);
    if (extentX == 0 && extentY == 0) return;
    // Along the major axis (x for a diagonal); the minor coordinate moves by
    // the slope, a whole pixel on a diagonal.
    const bool xMajor = extentX >= extentY;
    const std::int64_t half = 0x8000, one = 0x10000;
    const std::int64_t from = xMajor ? X0 : Y0, to = xMajor ? X1 : Y1;
    const std::int64_t step = to > from ? one : -one;
    std::int64_t slope = (xMajor ? Y1 > Y0 : X1 > X0) ? one : -one;
    if (extentX != extentY)
        slope = xMajor ? Trunc((q.y - p.y) / std::fabs(q.x - p.x) * 65536.0f)
                       : Trunc((q.x - p.x) / std::fabs(q.y - p.y) * 65536.0f);
    std::int64_t minor = (xMajor ? Y0 : X0) + half;
    for (std::int64_t m = from + half; step > 0 ? m <= to + half : m >= to + half; m += step, minor += slope)
        Plot(sp, region, Wrap32(xMajor ? m : minor), Wrap32(xMajor ? minor : m));
}

// The four corners of the scaled source, rotated about the anchored
// position and moved there: A top left, B top right, C bottom left, D bottom
// right (before rotation).
struct Corners {
    C_Vector2D a, b, c, d;
};

Corners RotatedCorners(const Setup& s) {
    const float w = s.srcW * s.p.scale.x, h = s.srcH * s.p.scale.y;
    Corners k{C_Vector2D(0.0f, 0.0f), C_Vector2D(w, 0.0f), C_Vector2D(0.0f, h), C_Vector2D(w, h)};
    for (C_Vector2D* p : {&k.a, &k.b, &k.c, &k.d}) {
        p->Rotate(s.p.angle);
        p->x = p->x + s.x;
        p->y = p->y + s.y;
    }
    return k;
}

// Clamps a row's span to the region's columns; an empty result has its
// minimum past its maximum.
void ClampSpan(std::int32_t& lo, std::int32_t& hi, const IRect& region) {
    if (lo < region.x0) lo = region.x0;
    if (lo > region.x1 - 1) lo = region.x1;
    if (hi < region.x0) hi = region.x0 - 1;
    if (hi > region.x1 - 1) hi = region.x1 - 1;
}

// Rotated: the rows and columns that the scan conversion of the four edges
// covers; u and v follow the inverse rotation, stepped per row and column.
void DrawRotated(const Setup& s) {
    const IRect& region = s.region;
    Spans sp;
    sp.rowBase = region.y0;
    sp.minCol.assign(static_cast<std::size_t>(region.y1 - region.y0), 65535);
    sp.maxCol.assign(static_cast<std::size_t>(region.y1 - region.y0), -65535);
    sp.firstRow = region.y1;
    sp.lastRow = region.y0;

    const float a = s.p.angle / 180.0f * static_cast<float>(3.14159265358979323846);
    const float sn = static_cast<float>(std::sin(static_cast<double>(a)));
    const float cs = static_cast<float>(std::cos(static_cast<double>(a)));
    // Mirrored, the steps run backwards.
    const std::int32_t signU = s.p.flipH ? -1 : 1, signV = s.p.flipV ? -1 : 1;
    const std::int32_t su = signU * Trunc(sn * 65536.0f / s.p.scale.x);
    const std::int32_t cu = signU * Trunc(cs * 65536.0f / s.p.scale.x);
    const std::int32_t sv = signV * Trunc(sn * 65536.0f / s.p.scale.y);
    const std::int32_t cv = signV * Trunc(cs * 65536.0f / s.p.scale.y);

    const Corners k = RotatedCorners(s);
    ScanEdge(sp, region, k.a, k.b);
    ScanEdge(sp, region, k.b, k.d);
    ScanEdge(sp, region, k.d, k.c);
    ScanEdge(sp, region, k.c, k.a);

    const float S = 65536.0f * sn;
    const float K = 65536.0f * cs;
    const std::int32_t vStart = s.p.flipV ? Trunc((K / s.p.scale.y) * s.y - (S / s.p.scale.y) * s.x + s.ry1 * 65536.0f)
                                          : Trunc((S / s.p.scale.y) * s.x - (K / s.p.scale.y) * s.y + s.ry0 * 65536.0f);
    const std::int32_t uStart = s.p.flipH
                                    ? Trunc((S / s.p.scale.x) * s.y + (K / s.p.scale.x) * s.x + s.rx1 * 65536.0f)
                                    : Trunc(s.rx0 * 65536.0f - ((S / s.p.scale.x) * s.y + (K / s.p.scale.x) * s.x));

    for (std::int32_t row = sp.firstRow; row <= sp.lastRow; ++row) {
        const std::size_t r = static_cast<std::size_t>(row - sp.rowBase);
        std::int32_t lo = sp.minCol[r];
        std::int32_t hi = sp.maxCol[r];
        ClampSpan(lo, hi, region);
        for (std::int32_t col = lo; col <= hi; ++col) {
            const std::int32_t u = Wrap32(std::int64_t(uStart) + std::int64_t(row) * su + std::int64_t(col) * cu);
            const std::int32_t v = Wrap32(std::int64_t(vStart) + std::int64_t(row) * cv - std::int64_t(col) * sv);
            DrawPixel(s, col, row, SampleAt(s, u, v));
        }
    }
}

// ---------------------------------------------------------------------------
// Blit_Fixed: set-up, rejection, kernel choice, then one path.

// The image behind a plane number, from the entry's derived copy when asked.
C_Image* PlaneOf(C_Surface* surface, std::uint32_t index, bool derived) {
    if (!derived) return surface->GetPlane(index);
    C_SurfacePlane* entry = surface->GetPlaneEntry(index);
    return entry ? entry->derived : nullptr;
}

// The source rectangle: srcRect widened by 0.001 at its far corner and
// limited to the image, or the whole image. False when it is empty.
bool TakeSourceRect(Setup& s, const C_Rect* srcRect) {
    const float w = static_cast<float>(s.srcImage->width);
    const float h = static_cast<float>(s.srcImage->height);
    if (!srcRect) {
        s.rx0 = 0;
        s.ry0 = 0;
        s.rx1 = w;
        s.ry1 = h;
    } else {
        s.rx0 = std::max(srcRect->x0, 0.0f);
        s.ry0 = std::max(srcRect->y0, 0.0f);
        s.rx1 = std::min(srcRect->x1 + 0.001f, w);
        s.ry1 = std::min(srcRect->y1 + 0.001f, h);
    }
    s.srcI = {Trunc(s.rx0), Trunc(s.ry0), Trunc(s.rx1), Trunc(s.ry1)};
    if (s.rx1 <= s.rx0 || s.ry1 <= s.ry0) return false;
    s.srcW = s.rx1 - s.rx0;
    s.srcH = s.ry1 - s.ry0;
    s.srcWI = s.srcI.x1 - s.srcI.x0;
    s.srcHI = s.srcI.y1 - s.srcI.y0;
    return true;
}

// A coordinate measured from the near edge, the far edge or the middle of
// [lo, hi), by one nibble of an align byte. The extent is halved as a float,
// so the middle of an odd extent lies on a half pixel, as for the pivot.
float AnchorAxis(std::int32_t lo, std::int32_t hi, float v, int code) {
    if (code == 1) return static_cast<float>(hi) - v;
    if (code == 2) return static_cast<float>(hi - lo) / 2.0f + static_cast<float>(lo) + v;
    return static_cast<float>(lo) + v;
}

// The integer position: truncation, one lower for negative values (so -1.0
// gives -2).
std::int32_t IntegerPosition(float v) { return v >= 0.0f ? Trunc(v) : Trunc(v - 1.0f); }

// Trivial rejection against the region. True when the call is rejected.
bool Rejected(const Setup& s) {
    const IRect& r = s.region;
    switch (s.path) {
    case Path::Unscaled: return s.X + s.srcWI < r.x0 || s.Y + s.srcHI < r.y0 || s.X > r.x1 || s.Y > r.y1;
    case Path::Scaled:
        return s.X + Trunc(s.srcW * s.p.scale.x) < r.x0 || s.Y + Trunc(s.srcH * s.p.scale.y) < r.y0 || s.X > r.x1 ||
               s.Y > r.y1;
    case Path::Rotated: {
        const Corners k = RotatedCorners(s);
        const float minX = std::min({k.a.x, k.b.x, k.c.x, k.d.x});
        const float maxX = std::max({k.a.x, k.b.x, k.c.x, k.d.x});
        const float minY = std::min({k.a.y, k.b.y, k.c.y, k.d.y});
        const float maxY = std::max({k.a.y, k.b.y, k.c.y, k.d.y});
        return maxX < static_cast<float>(r.x0) || maxY < static_cast<float>(r.y0) || minX > static_cast<float>(r.x1) ||
               minY > static_cast<float>(r.y1);
    }
    }
    return false;
}

// Only 32-bit colour planes and 8-bit alpha planes are drawn; others are
// refused (the call returns false).
bool DepthsDrawable(const Setup& s) {
    if (s.dstColor->bpp != 32) return false;
    if (s.srcColor && s.srcColor->bpp != 32) return false;
    if (s.srcAlpha && s.srcAlpha->bpp != 8) return false;
    if (s.dstAlpha && s.dstAlpha->bpp != 8) return false;
    return true;
}

// Which kernel draws the call.
void ChooseRule(Setup& s) {
    const bool blendFlag = s.p.opacity > 0.0f && s.p.opacity < 1.0f;
    const bool needBlend = blendFlag || s.srcAlpha || s.dstAlpha;
    const bool adjust = (s.p.filter && s.path != Path::Unscaled) || s.p.useBrightness || s.p.useContrast;
    if (adjust) {
        s.rule = Rule::Adjust;
    } else if (needBlend) {
        s.rule = Rule::Blend;
    } else if (s.p.useKeyColor && s.p.useFillColor) {
        s.rule = Rule::KeyFill;
    } else if (s.p.useFillColor) {
        s.rule = Rule::Fill;
    } else if (s.p.useKeyColor) {
        s.rule = Rule::Key;
    } else {
        s.rule = Rule::Copy;
    }
    s.bilinear = s.rule == Rule::Adjust && s.p.filter && s.path != Path::Unscaled;
}

// Key, fill, brightness and contrast turned into integers of the source format.
void PrepareColors(Setup& s) {
    const std::int32_t srcFormat = s.srcDesc.format;
    if (s.p.useFillColor) {
        s.fillPixel = Gfx_GetFormattedColor_32bit(srcFormat, &s.p.fillColor);
        s.fill = Unpack(s.fillPixel, s.srcDesc);
    }
    s.clamp = s.p.useBrightness || s.p.useContrast;
    const C_Color &b = s.p.brightness, &c = s.p.contrast;
    const float bright[3] = {b.r, b.g, b.b}, contr[3] = {c.r, c.g, c.b};
    for (int k = 0; k < 3; ++k) {
        if (s.p.useBrightness) s.bright[k] = Trunc(bright[k] * 256.0f);
        if (s.p.useContrast) s.contr[k] = Trunc(contr[k] * 256.0f);
    }
    if (s.p.useKeyColor) s.keyPixel = Gfx_GetFormattedColor_32bit(srcFormat, &s.p.keyColor);
}

// Opacity in 1/256. Values that draw as opaque (1 and above, negative, not
// a number) weigh as 1.
std::int32_t OpacityWeight(float opacity) {
    if (opacity > 0.0f && opacity < 1.0f) return Trunc(opacity * 256.0f);
    return 256;
}

bool BlitFixed(C_Surface* src, C_Surface* dst, const C_Rect* srcRect, const C_Frame* clip, const C_Frame* clip2,
               const C_Vector2D& position, const C_DrawParams* params, bool useDerived) {
    Setup s;
    s.srcColor = PlaneOf(src, 1, useDerived);
    s.srcAlpha = PlaneOf(src, 2, useDerived);
    s.dstColor = dst->GetPlane(1);
    s.dstAlpha = dst->GetPlane(2);
    if (params) s.p = *params;
    if (!s.dstColor) return false;

    if (s.srcColor) {
        if (!Gfx_GetFormatDesc(s.srcColor->format, &s.srcDesc)) return false;
        s.srcImage = s.srcColor;
    } else if (s.srcAlpha) {
        // Mask mode: the alpha plane is the coverage of the fill colour.
        s.p.useFillColor = 1;
        s.srcImage = s.srcAlpha;
        if (!Gfx_GetFormatDesc(s.dstColor->format, &s.srcDesc)) return false;
    } else {
        return false;
    }

    const IRect anchorRect = clip ? FromFrame(*clip) : WholeImage(*s.dstColor);
    // Corners, positions and factors that are not numbers are refused.
    if (srcRect && !(std::isfinite(srcRect->x0) && std::isfinite(srcRect->y0) && std::isfinite(srcRect->x1) &&
                     std::isfinite(srcRect->y1)))
        return false;
    if (!TakeSourceRect(s, srcRect)) return true;

    s.x = AnchorAxis(anchorRect.x0, anchorRect.x1, position.x, position.align & 0x0F);
    s.y = AnchorAxis(anchorRect.y0, anchorRect.y1, position.y, (position.align & 0xF0) >> 4);
    if (!std::isfinite(s.x) || !std::isfinite(s.y)) return false;
    s.X = IntegerPosition(s.x);
    s.Y = IntegerPosition(s.y);

    s.region = clip2 ? Intersect(anchorRect, FromFrame(*clip2)) : anchorRect;
    s.region = Intersect(s.region, WholeImage(*s.dstColor));
    if (IsEmpty(s.region)) return true;
    if (!std::isfinite(s.p.scale.x) || !std::isfinite(s.p.scale.y) || !std::isfinite(s.p.angle)) return false;

    if (s.p.angle != 0.0f) {
        s.path = Path::Rotated;
    } else if (s.p.scale.x == 1.0f && s.p.scale.y == 1.0f) {
        s.path = Path::Unscaled;
    } else {
        s.path = Path::Scaled;
    }
    if (Rejected(s)) return true;
    if (!Gfx_GetFormatDesc(s.dstColor->format, &s.dstDesc)) return false;
    if (!DepthsDrawable(s)) return false;

    if (s.p.opacity == 0.0f) return true;
    s.alpha256 = OpacityWeight(s.p.opacity);
    ChooseRule(s);
    PrepareColors(s);

    if (IsEmpty(s.region)) return true;
    switch (s.path) {
    case Path::Unscaled: DrawUnscaled(s); break;
    case Path::Scaled: DrawScaled(s); break;
    case Path::Rotated: DrawRotated(s); break;
    }
    return true;
}

// ---------------------------------------------------------------------------
// The entry: pivot, mirroring and anchoring, then the wrap copies.

// Offset from the pivot to the source's top-left corner, scaled and rotated.
C_Vector2D PivotOffset(float px, float py, const C_DrawParams& p) {
    C_Vector2D offset(-px * p.scale.x, -py * p.scale.y);
    offset.Rotate(p.angle);
    return offset;
}

// The target rectangle of the wrap copies and the source rectangle of the
// pivot; false when the surfaces lack the planes to draw.
bool EntryGeometry(C_Surface* src, C_Surface* dst, const C_Rect* srcRect, const C_Frame* clip, const C_Frame* clip2,
                   float& W, float& H, float& srcW, float& srcH) {
    const C_Image* dstColor = dst->GetPlane(1);
    const C_Image* srcColor = src->GetPlane(1);
    const C_Image* srcAlpha = src->GetPlane(2);
    if (!dstColor || (!srcColor && !srcAlpha)) return false;
    const C_Image* srcImage = srcColor ? srcColor : srcAlpha;

    IRect target = clip ? FromFrame(*clip) : WholeImage(*dstColor);
    if (clip2) target = Intersect(target, FromFrame(*clip2));
    W = static_cast<float>(target.x1 - target.x0);
    H = static_cast<float>(target.y1 - target.y0);

    const float iw = static_cast<float>(srcImage->width);
    const float ih = static_cast<float>(srcImage->height);
    float sx0 = 0, sy0 = 0, sx1 = iw, sy1 = ih;
    if (srcRect) {
        sx0 = std::max(srcRect->x0, 0.0f);
        sy0 = std::max(srcRect->y0, 0.0f);
        sx1 = std::min(srcRect->x1, iw);
        sy1 = std::min(srcRect->y1, ih);
    }
    srcW = sx1 - sx0;
    srcH = sy1 - sy0;
    return true;
}

// The pivot in source pixels: measured from the chosen edges, then mirrored.
void ResolvePivot(const C_DrawParams& p, float srcW, float srcH, float& px, float& py) {
    px = p.pivot.x;
    py = p.pivot.y;
    const int h = p.pivot.align & 0x0F;
    const int v = p.pivot.align & 0xF0;
    if (h == 1) px = srcW - px;
    if (h == 2) px = srcW / 2.0f + px;
    if (v == 0x10) py = srcH - py;
    if (v == 0x20) py = srcH / 2.0f + py;
    if (p.flipH) px = srcW - px;
    if (p.flipV) py = srcH - py;
}

}  // namespace

bool BlitTransformed(C_Surface* src, C_Surface* dst, const C_Rect* srcRect, const C_Frame* clip, const C_Frame* clip2,
                     const C_Vector2D* position, std::uint32_t /*mode*/, const C_DrawParams* params, bool useDerived) {
    if (!src || !dst || !position) return false;
    if (!params) return BlitFixed(src, dst, srcRect, clip, clip2, *position, nullptr, useDerived);

    const bool simple =
        !params->flipV && !params->flipH && params->pivot.align == 0 && !params->wrapH && !params->wrapV;
    C_Vector2D offset;
    float W = 0, H = 0;
    if (simple) {
        offset = PivotOffset(params->pivot.x, params->pivot.y, *params);
    } else {
        float srcW = 0, srcH = 0;
        if (!EntryGeometry(src, dst, srcRect, clip, clip2, W, H, srcW, srcH)) return false;
        float px = 0, py = 0;
        ResolvePivot(*params, srcW, srcH, px, py);
        offset = PivotOffset(px, py, *params);
    }
    if ((position->align & 0x0F) == 1) offset.x = -offset.x;
    if ((position->align & 0xF0) == 0x10) offset.y = -offset.y;
    const C_Vector2D P(position->x + offset.x, position->y + offset.y, position->align);

    // The copies in the order they are drawn; later ones land on top.
    std::vector<C_Vector2D> at{P};
    const bool wrapH = !simple && params->wrapH == 1;
    const bool wrapV = !simple && params->wrapV == 1;
    auto shifted = [&](float dx, float dy) { return C_Vector2D(P.x + dx, P.y + dy, P.align); };
    if (wrapH) {
        at.push_back(shifted(W, 0));
        at.push_back(shifted(-W, 0));
    }
    if (wrapH && wrapV) {
        at.push_back(shifted(W, H));
        at.push_back(shifted(W, -H));
        at.push_back(shifted(-W, H));
        at.push_back(shifted(-W, -H));
    }
    if (wrapV) {
        at.push_back(shifted(0, H));
        at.push_back(shifted(0, -H));
    }
    bool ok = true;
    for (const C_Vector2D& p : at) ok = BlitFixed(src, dst, srcRect, clip, clip2, p, params, useDerived) && ok;
    return ok;
}

int OutOfBoundsAccesses() { return g_outOfBounds; }

}  // namespace blitref
