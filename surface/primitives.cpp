#include "surface/primitives.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <limits>

#include "core/error.h"
#include "image/format.h"
#include "image/image.h"
#include "math/color.h"
#include "math/shapes.h"
#include "math/vector.h"
#include "surface/blit_kernel.h"
#include "surface/surface.h"

// All coordinates become 64-bit integers before anything is compared or
// stepped, so no clip or walk can overflow; floats are checked to be finite
// and of bounded magnitude before they are converted. The region is always
// inside the plane, so every address computed from it is inside the buffer.

namespace {

constexpr const char* kBlitSite = "Gfx_Surface_Blit";
constexpr const char* kFillSite = "Gfx_Surface_FillSpans";

// Planes this wide or tall are not drawn: every row and column then fits a
// signed 32-bit integer, as the scanline tables need.
constexpr std::int64_t kMaxExtent = std::int64_t{1} << 31;

// Coordinates up to this magnitude are walked exactly; 16.16 values of them
// and every step sum stay far inside 64 bits.
constexpr float kExactCoord = 8589934592.0f;  // 2^33
// Line ends up to this magnitude are first cut to the region in double
// precision, still to a small fraction of a pixel; beyond it not even
// double precision places the line near the region, and it is not drawn.
constexpr float kFarCoord = 1099511627776.0f;  // 2^40

using std::int64_t;

struct Region {
    int64_t x0, y0, x1, y1;

    bool Empty() const { return x1 <= x0 || y1 <= y0; }
    bool Contains(int64_t x, int64_t y) const { return x >= x0 && x < x1 && y >= y0 && y < y1; }
    void Intersect(int64_t ox0, int64_t oy0, int64_t ox1, int64_t oy1) {
        x0 = std::max(x0, ox0);
        y0 = std::max(y0, oy0);
        x1 = std::min(x1, ox1);
        y1 = std::min(y1, oy1);
    }
};

// Arithmetic shift, i.e. floor division by 65536 (what every supported
// compiler does for a negative left operand).
int64_t PixelOf(int64_t fixed) { return fixed >> 16; }

std::int32_t ToInt32(int64_t v) {
    return static_cast<std::int32_t>(
        std::clamp<int64_t>(v, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

// ---------------------------------------------------------------------------
// Pixel stores, one class per depth so that the depth is chosen once per call.

struct Plane {
    std::uint8_t* row0;     // row 0, wherever bottomUp puts it
    std::ptrdiff_t pitch;   // signed step from one row to the next
    std::uint8_t bytes[4];  // the pixel, lowest byte first
    std::uint32_t word;     // 32 bits of repeated pixels, as they lie in memory
};

template <std::size_t B>
class Writer {
public:
    explicit Writer(const Plane& plane) : p_(plane) {}

    void Put(int64_t x, int64_t y) const { Store(At(x, y)); }

    void Row(int64_t x, int64_t y, int64_t n) const {
        std::uint8_t* q = At(x, y);
        if constexpr (B == 1 || B == 2) {
            // Single pixels up to a word boundary (when one can be reached),
            // then whole 32-bit words of repeated pixels, then the rest.
            std::size_t lead = (4 - (reinterpret_cast<std::uintptr_t>(q) & 3u)) & 3u;
            lead = lead % B == 0 ? std::min<std::size_t>(lead / B, static_cast<std::size_t>(n)) : 0;
            for (std::size_t i = 0; i < lead; ++i, q += B) Store(q);
            n -= static_cast<int64_t>(lead);
            constexpr int64_t kPerWord = 4 / B;
            for (; n >= kPerWord; n -= kPerWord, q += 4) std::memcpy(q, &p_.word, 4);
        }
        for (; n > 0; --n, q += B) Store(q);
    }

    void Column(int64_t x, int64_t y, int64_t n) const {
        std::uint8_t* q = At(x, y);
        for (; n > 0; --n, q += p_.pitch) Store(q);
    }

private:
    std::uint8_t* At(int64_t x, int64_t y) const {
        return p_.row0 + static_cast<std::ptrdiff_t>(y) * p_.pitch + static_cast<std::ptrdiff_t>(x) * B;
    }
    void Store(std::uint8_t* q) const { std::memcpy(q, p_.bytes, B); }

    const Plane& p_;
};

// Runs `draw` with the writer for `bytesPerPixel` (1 to 4).
template <typename Draw>
void WithWriter(const Plane& plane, std::uint32_t bytesPerPixel, Draw&& draw) {
    switch (bytesPerPixel) {
    case 1: draw(Writer<1>(plane)); break;
    case 2: draw(Writer<2>(plane)); break;
    case 3: draw(Writer<3>(plane)); break;
    case 4: draw(Writer<4>(plane)); break;
    default: break;
    }
}

// ---------------------------------------------------------------------------
// Common set-up.

enum class Setup { Fail, Nothing, Draw };

struct Target {
    Region region;
    Plane plane;
    std::uint32_t bytesPerPixel;
};

// A plane whose buffer holds every row its size and pitch promise.
bool Addressable(const C_Image& image, std::uint32_t bytesPerPixel) {
    if (!image.data || image.width == 0 || image.height == 0) return false;
    if (image.bpp != bytesPerPixel * 8) return false;
    if (image.width >= kMaxExtent || image.height >= kMaxExtent) return false;
    const std::uint64_t rowBytes = std::uint64_t{image.width} * bytesPerPixel;
    if (image.pitch < rowBytes) return false;
    return std::uint64_t{image.height - 1} * image.pitch + rowBytes <= image.dataSize;
}

Plane PlaneOf(C_Image& image, std::uint32_t value, std::uint32_t bytesPerPixel) {
    Plane p{};
    const auto pitch = static_cast<std::ptrdiff_t>(image.pitch);
    p.row0 = image.data;
    p.pitch = pitch;
    if (image.bottomUp) {
        p.row0 = image.data + static_cast<std::ptrdiff_t>(image.height - 1) * pitch;
        p.pitch = -pitch;
    }
    for (int i = 0; i < 4; ++i) p.bytes[i] = static_cast<std::uint8_t>(value >> (8 * i));
    std::uint8_t repeated[4];
    for (int i = 0; i < 4; ++i) repeated[i] = p.bytes[static_cast<std::uint32_t>(i) % bytesPerPixel];
    std::memcpy(&p.word, repeated, 4);
    return p;
}

// Looks up the colour plane, its format and the region; says whether there
// is anything to draw. Failures are recorded under `site`.
// A refusal: recorded as `code` with "<site>{<member>}", and the reason.
Setup Refuse(std::int32_t code, const char* site, const char* member) {
    char detail[96];
    std::snprintf(detail, sizeof detail, "%s{%s}", site, member);
    Gfx_Fail(code, detail, site);
    return Setup::Fail;
}

Setup Prepare(C_Surface* surface, const C_Color* color, const C_Frame* clip, const C_Frame* clip2, const char* site,
              const char* colorDetail, const char* formatDetail, Target& t) {
    C_Image* image = surface ? surface->GetPlane(GFX_PLANE_COLOR) : nullptr;
    if (!image) {
        Refuse(GFX_ERR_NULL_ARG, site, "ImageDst");
        Gfx_SetErrorReason("%s", "there is no surface, or it has no colour plane (plane 1) to draw on");
        return Setup::Fail;
    }
    if (!color) {
        Gfx_Fail(GFX_ERR_NULL_ARG, colorDetail, site);
        return Setup::Fail;
    }
    Gfx_FormatDesc desc;
    if (!Gfx_GetFormatDesc(image->format, &desc)) {
        Gfx_Fail(GFX_ERR_FORMAT, formatDetail, site);
        return Setup::Fail;
    }
    const std::uint32_t bits = desc.bitsPerPixel;
    if (bits != 8 && bits != 16 && bits != 24 && bits != 32) {
        Refuse(GFX_ERR_FORMAT, site, "ImageDst->bpp");
        Gfx_SetErrorReason(
            "points, lines, rectangles and circles are drawn on planes of 8, 16, 24 or 32 bits per "
            "pixel, not %u; convert the plane with Gfx_Image_ChangeFormat first",
            static_cast<unsigned>(bits));
        return Setup::Fail;
    }
    t.bytesPerPixel = bits / 8;
    if (!Addressable(*image, t.bytesPerPixel)) {
        Refuse(GFX_ERR_BAD_DATA, site, "ImageDst->data");
        Gfx_SetErrorReason("%s",
                           "the colour plane has no pixels, or its buffer is shorter than its width, height "
                           "and pitch say");
        return Setup::Fail;
    }

    t.region = clip ? Region{clip->x0, clip->y0, clip->x1, clip->y1} : Region{0, 0, image->width, image->height};
    if (clip2) t.region.Intersect(clip2->x0, clip2->y0, clip2->x1, clip2->y1);
    t.region.Intersect(0, 0, image->width, image->height);
    if (t.region.Empty()) return Setup::Nothing;

    t.plane = PlaneOf(*image, Gfx_GetFormattedColor_32bit(image->format, color), t.bytesPerPixel);
    return Setup::Draw;
}

// The result of a form whose set-up did not reach drawing.
bool ResultOf(Setup s) { return s != Setup::Fail; }

// ---------------------------------------------------------------------------
// Lines.

// One 16.16 walk along the major axis from m0 towards m1: the coordinate
// starts at the centre of the first pixel, moves one pixel per step and the
// walk stops once it has passed m1 itself. The minor coordinate starts at
// the centre of n0's pixel and moves by `slope` per step. Only the steps
// whose major pixel lies in [lo, hi) are visited: the others would be
// clipped, and skipping them keeps a long line's cost to the region's size.
template <typename Plot>
void Walk(int64_t m0, int64_t m1, int64_t n0, int64_t slope, int64_t lo, int64_t hi, Plot&& plot) {
    const int64_t start = m0 + 0x8000;
    const int64_t dir = m1 > m0 ? 1 : -1;
    const int64_t reach = dir > 0 ? m1 - start : start - m1;
    if (reach < 0) return;
    const int64_t steps = reach / 0x10000 + 1;
    const int64_t first = PixelOf(start);  // step k lands on first + dir * k
    const int64_t kLo = std::max<int64_t>(0, dir > 0 ? lo - first : first - (hi - 1));
    const int64_t kHi = std::min<int64_t>(steps - 1, dir > 0 ? hi - 1 - first : first - lo);
    for (int64_t k = kLo; k <= kHi; ++k) plot(first + dir * k, PixelOf(n0 + 0x8000 + k * slope));
}

// trunc(delta / extent * 65536) in single precision, as the walk defines its
// slope. Only a walk of at most one step can see a huge quotient (its
// extent is below a pixel), and it never uses it; the clamp only keeps the
// conversion defined.
int64_t SlopeOf(float delta, float extent) {
    float q = delta / extent * 65536.0f;
    constexpr float kLimit = 1099511627776.0f;  // 2^40
    if (!(std::fabs(q) < kLimit)) q = std::signbit(q) ? -kLimit : kLimit;
    return static_cast<int64_t>(q);
}

// Cuts the segment to the box (Liang-Barsky, in double precision); false
// when nothing of it is left. A cut end is put exactly on the box edge that
// cut it, so that rounding cannot leave it outside the box.
bool CutSegment(float& sx, float& sy, float& ex, float& ey, double bx0, double by0, double bx1, double by1) {
    const double x = sx, y = sy, dx = double{ex} - x, dy = double{ey} - y;
    double t0 = 0.0, t1 = 1.0;
    int edge0 = -1, edge1 = -1;  // which edge set t0, t1: 0 left, 1 right, 2 top, 3 bottom
    auto edge = [&](int id, double p, double q) {
        if (p == 0.0) return q >= 0.0;
        const double r = q / p;
        if (p < 0.0) {
            if (r > t1) return false;
            if (r > t0) t0 = r, edge0 = id;
        } else {
            if (r < t0) return false;
            if (r < t1) t1 = r, edge1 = id;
        }
        return true;
    };
    if (!edge(0, -dx, x - bx0) || !edge(1, dx, bx1 - x) || !edge(2, -dy, y - by0) || !edge(3, dy, by1 - y))
        return false;
    const double edgeAt[4] = {bx0, bx1, by0, by1};
    auto end = [&](double t, int id, float& ox, float& oy) {
        double px = x + t * dx, py = y + t * dy;
        if (id == 0 || id == 1) px = edgeAt[id];
        if (id == 2 || id == 3) py = edgeAt[id];
        ox = static_cast<float>(std::clamp(px, bx0, bx1));
        oy = static_cast<float>(std::clamp(py, by0, by1));
    };
    end(t0, edge0, sx, sy);
    end(t1, edge1, ex, ey);
    return true;
}

template <typename W>
void DrawLine(const W& w, const Region& r, float sx, float sy, float ex, float ey) {
    // Each end on its own: std::max over a list would pass a NaN that is
    // not first.
    float farthest = 0.0f;
    for (const float c : {sx, sy, ex, ey}) {
        if (!(std::fabs(c) <= kFarCoord)) return;  // also NaN
        farthest = std::max(farthest, std::fabs(c));
    }
    if (farthest > kExactCoord) {
        // Far-off ends: walk only the part near the region. The pixels of
        // such a line cannot follow the exact grid of its ends anyway.
        const auto margin = 2.0;
        if (!CutSegment(sx, sy, ex, ey, double(r.x0) - margin, double(r.y0) - margin, double(r.x1) + margin,
                        double(r.y1) + margin))
            return;
    }
    const auto x0 = static_cast<int64_t>(sx * 65536.0f), y0 = static_cast<int64_t>(sy * 65536.0f);
    const auto x1 = static_cast<int64_t>(ex * 65536.0f), y1 = static_cast<int64_t>(ey * 65536.0f);
    const int64_t adx = x1 > x0 ? x1 - x0 : x0 - x1;
    const int64_t ady = y1 > y0 ? y1 - y0 : y0 - y1;
    auto plotXY = [&](int64_t x, int64_t y) {
        if (r.Contains(x, y)) w.Put(x, y);
    };
    auto plotYX = [&](int64_t y, int64_t x) {
        if (r.Contains(x, y)) w.Put(x, y);
    };
    if (adx > ady) {
        Walk(x0, x1, y0, SlopeOf(ey - sy, std::fabs(ex - sx)), r.x0, r.x1, plotXY);
    } else if (ady > adx) {
        Walk(y0, y1, x0, SlopeOf(ex - sx, std::fabs(ey - sy)), r.y0, r.y1, plotYX);
    } else if (adx != 0) {
        Walk(x0, x1, y0, y1 > y0 ? 0x10000 : -0x10000, r.x0, r.x1, plotXY);
    }
}

// ---------------------------------------------------------------------------
// Rectangles.

bool NonFinite(const C_Rect& rect) {
    return !std::isfinite(rect.x0) || !std::isfinite(rect.y0) || !std::isfinite(rect.x1) || !std::isfinite(rect.y1);
}

// Truncation of a finite float; values beyond 2^33 are moved to 2^33, far
// outside any region, which changes no clipping result.
int64_t TruncBounded(float v) { return static_cast<int64_t>(std::clamp(v, -kExactCoord, kExactCoord)); }

// One axis of the clipping rule: the run starts at `lo` and covers
// `extent` + 1 pixels; the far end is pulled inside the region first, then
// the near end.
void ClipAxis(int64_t& start, int64_t& extent, int64_t regionLo, int64_t regionHi) {
    if (start + extent >= regionHi) extent = regionHi - start - 1;
    if (start < regionLo) {
        extent -= regionLo - start;
        start = regionLo;
    }
}

template <typename W>
void DrawRect(const W& w, const Region& r, const C_Rect& rect, bool filled) {
    const int64_t left = TruncBounded(std::min(rect.x0, rect.x1)), right = TruncBounded(std::max(rect.x0, rect.x1));
    const int64_t top = TruncBounded(std::min(rect.y0, rect.y1)), bottom = TruncBounded(std::max(rect.y0, rect.y1));
    int64_t x = left, wid = right - left, y = top, hgt = bottom - top;
    ClipAxis(x, wid, r.x0, r.x1);
    ClipAxis(y, hgt, r.y0, r.y1);
    if (filled) {
        if (wid < 0 || hgt < 0) return;
        for (int64_t row = y; row <= y + hgt; ++row) w.Row(x, row, wid + 1);
        return;
    }
    // An edge whose own line lies outside the region is not drawn at all.
    const bool leftIn = left >= r.x0 && left < r.x1, rightIn = right >= r.x0 && right < r.x1;
    const bool topIn = top >= r.y0 && top < r.y1, bottomIn = bottom >= r.y0 && bottom < r.y1;
    if (leftIn && hgt >= 0) w.Column(x, y, hgt + 1);
    if (topIn && wid >= 0) w.Row(x, y, wid + 1);
    if (rightIn && hgt >= 0) w.Column(x + wid, y, hgt + 1);
    if (bottomIn && wid >= 0) w.Row(x, y + hgt, wid + 1);
}

// ---------------------------------------------------------------------------
// Circles.

std::uint64_t ISqrt(std::uint64_t n) {
    auto t = static_cast<std::uint64_t>(std::sqrt(static_cast<double>(n)));
    t = std::min<std::uint64_t>(t, 0xFFFFFFFFu);
    while (t * t > n) --t;
    while (t < 0xFFFFFFFFu && (t + 1) * (t + 1) <= n) ++t;
    return t;
}

// The midpoint circle in closed form. The incremental algorithm
//   x = 0, y = r, f = 1 - r, ddx = 0, ddy = -2r;
//   while x < y: if f >= 0 { y -= 1; ddy += 2; f += ddy }  x += 1; ddx += 2; f += ddx + 1
// keeps f = (x + 1)^2 + y^2 - y + 1 - r^2, so it steps down exactly when the
// midpoint (x + 1, y - 1/2) lies outside the circle. Its y at column x is
// therefore g(x), the largest y with x^2 + (y - 1/2)^2 < r^2, except that y
// never drops by more than one per step; g drops by two only on the very
// last step, so y(x) = max(g(x), g(x - 1) - 1) for every plotted x. Knowing
// y for any x lets a circle much larger than the region be drawn in time
// proportional to the region.
class MidpointCircle {
public:
    explicit MidpointCircle(int64_t radius) : r_(radius), last_(FindLastX()) {}

    // The loop plots x = 1 .. LastX(), with y = Y(x).
    int64_t LastX() const { return last_; }
    int64_t Y(int64_t x) const { return std::max(G(x), G(x - 1) - 1); }

    // The largest plotted x whose y is v, or 0 when no plotted x has it.
    int64_t WidestXAt(int64_t v) const {
        if (last_ < 1 || Y(1) < v) return 0;
        int64_t lo = 1, hi = last_;  // Y(lo) >= v; y never grows with x
        while (lo < hi) {
            const int64_t mid = lo + (hi - lo + 1) / 2;
            if (Y(mid) >= v)
                lo = mid;
            else
                hi = mid - 1;
        }
        return Y(lo) == v ? lo : 0;
    }

private:
    // g(x) for 0 <= x; -1 where no y qualifies (x >= r).
    int64_t G(int64_t x) const {
        if (x >= r_) return -1;
        // (y - 1/2)^2 < r^2 - x^2  <=>  (2y - 1)^2 < 4 (r^2 - x^2) = d.
        const std::uint64_t d = 4 * (std::uint64_t(r_) * std::uint64_t(r_) - std::uint64_t(x) * std::uint64_t(x));
        const std::uint64_t t = ISqrt(d - 1);  // the largest t with t^2 < d
        return static_cast<int64_t>((t + 1) / 2);
    }

    // The loop runs while x < y, so it plots x = 1 .. 1 + (largest t with t < g(t)).
    int64_t FindLastX() const {
        if (r_ < 1) return 0;
        int64_t lo = 0, hi = r_;  // 0 < g(0) = r; r < g(r) fails
        while (hi - lo > 1) {
            const int64_t mid = lo + (hi - lo) / 2;
            if (mid < G(mid))
                lo = mid;
            else
                hi = mid;
        }
        return lo + 1;
    }

    int64_t r_;
    int64_t last_;
};

struct CircleInts {
    int64_t cx, cy, r;
};

// The integer centre and radius, or false when the circle is out of reach:
// non-finite values, a radius that truncates below 0, or a centre or radius
// of 2^31 pixels or more.
bool CircleOf(const C_Circle& circle, CircleInts& c) {
    constexpr float kLimit = 2147483648.0f;  // 2^31
    const float x = circle.centre.x, y = circle.centre.y, radius = circle.radius;
    if (!(std::fabs(x) < kLimit) || !(std::fabs(y) < kLimit) || !(radius < kLimit) || !(radius > -1.0f)) return false;
    c = {static_cast<int64_t>(x), static_cast<int64_t>(y), static_cast<int64_t>(radius)};
    return true;
}

// Calls visit(lo..hi) once for every value of [a0, a1] u [b0, b1] inside
// [lo, hi].
template <typename Visit>
void ForUnion(int64_t a0, int64_t a1, int64_t b0, int64_t b1, int64_t lo, int64_t hi, Visit&& visit) {
    a0 = std::max(a0, lo);
    a1 = std::min(a1, hi);
    b0 = std::max(b0, lo);
    b1 = std::min(b1, hi);
    for (int64_t v = a0; v <= a1; ++v) visit(v);
    for (int64_t v = b0; v <= b1; ++v)
        if (v < a0 || v > a1) visit(v);
}

template <typename W>
void DrawCircleOutline(const W& w, const Region& r, const CircleInts& c) {
    auto plot = [&](int64_t x, int64_t y) {
        if (r.Contains(x, y)) w.Put(x, y);
    };
    plot(c.cx, c.cy + c.r);
    plot(c.cx, c.cy - c.r);
    plot(c.cx + c.r, c.cy);
    plot(c.cx - c.r, c.cy);
    const MidpointCircle m(c.r);
    // (cx +- x, cy +- y) can only be inside when cx +- x is a region column,
    // (cx +- y, cy +- x) only when cy +- x is a region row.
    ForUnion(r.x0 - c.cx, r.x1 - 1 - c.cx, c.cx - r.x1 + 1, c.cx - r.x0, 1, m.LastX(), [&](int64_t x) {
        const int64_t y = m.Y(x);
        plot(c.cx + x, c.cy + y);
        plot(c.cx - x, c.cy + y);
        plot(c.cx + x, c.cy - y);
        plot(c.cx - x, c.cy - y);
    });
    ForUnion(r.y0 - c.cy, r.y1 - 1 - c.cy, c.cy - r.y1 + 1, c.cy - r.y0, 1, m.LastX(), [&](int64_t x) {
        const int64_t y = m.Y(x);
        plot(c.cx + y, c.cy + x);
        plot(c.cx - y, c.cy + x);
        plot(c.cx + y, c.cy - x);
        plot(c.cx - y, c.cy - x);
    });
}

// Rows of the tables, in entries, that both tables hold.
int64_t TableRows(const Gfx_ScanlineTables& t) {
    return std::min(t.spanMin.size, t.spanMax.size) / sizeof(std::int32_t);
}

}  // namespace

// ---------------------------------------------------------------------------

bool Gfx_Surface_Blit(C_Surface* surface, const C_Vector2Di* point, const C_Color* color, const C_Frame* clip,
                      const C_Frame* clip2, std::uint32_t /*extra*/) {
    if (!point) return Gfx_Fail(GFX_ERR_NULL_ARG, "Gfx_Surface_Blit{point}", kBlitSite);
    Target t;
    const Setup s = Prepare(surface, color, clip, clip2, kBlitSite, "Gfx_Surface_Blit{color}",
                            "Gfx_Surface_Blit{ImageDst->format}", t);
    if (s != Setup::Draw) return ResultOf(s);
    if (t.region.Contains(point->x, point->y))
        WithWriter(t.plane, t.bytesPerPixel, [&](const auto& w) { w.Put(point->x, point->y); });
    return true;
}

bool Gfx_Surface_Blit(C_Surface* surface, const C_Vector2D* start, const C_Vector2D* end, const C_Color* color,
                      const C_Frame* clip, const C_Frame* clip2) {
    if (!start || !end) return Gfx_Fail(GFX_ERR_NULL_ARG, "Gfx_Surface_Blit{line}", kBlitSite);
    Target t;
    const Setup s = Prepare(surface, color, clip, clip2, kBlitSite, "Gfx_Surface_Blit{color}",
                            "Gfx_Surface_Blit{ImageDst->format}", t);
    if (s != Setup::Draw) return ResultOf(s);
    WithWriter(t.plane, t.bytesPerPixel,
               [&](const auto& w) { DrawLine(w, t.region, start->x, start->y, end->x, end->y); });
    return true;
}

bool Gfx_Surface_Blit(C_Surface* surface, const C_Rect* rect, const C_Color* color, const C_Frame* clip,
                      const C_Frame* clip2, std::uint8_t filled, std::uint32_t /*extra1*/, std::uint32_t /*extra2*/) {
    if (!rect) return Gfx_Fail(GFX_ERR_NULL_ARG, "Gfx_Surface_Blit{rect}", kBlitSite);
    Target t;
    const Setup s = Prepare(surface, color, clip, clip2, kBlitSite, "Gfx_Surface_Blit{color}",
                            "Gfx_Surface_Blit{ImageDst->format}", t);
    if (s != Setup::Draw) return ResultOf(s);
    if (NonFinite(*rect)) {
        Gfx_Fail(GFX_ERR_BAD_DATA, "Gfx_Surface_Blit{rect}", kBlitSite);
        Gfx_SetErrorReason("%s", "a corner of the rectangle is not a finite number");
        return false;
    }
    WithWriter(t.plane, t.bytesPerPixel, [&](const auto& w) { DrawRect(w, t.region, *rect, filled != 0); });
    return true;
}

bool Gfx_Surface_Blit(C_Surface* surface, const C_Circle* circle, const C_Color* color, const C_Frame* clip,
                      const C_Frame* clip2, std::uint8_t filled, std::uint32_t extra1, std::uint32_t /*extra2*/) {
    if (!circle) return Gfx_Fail(GFX_ERR_NULL_ARG, "Gfx_Surface_Blit{circle}", kBlitSite);
    Target t;
    const Setup s = Prepare(surface, color, clip, clip2, kBlitSite, "Gfx_Surface_Blit{color}",
                            "Gfx_Surface_Blit{ImageDst->format}", t);
    if (s != Setup::Draw) return ResultOf(s);
    CircleInts c;
    if (!CircleOf(*circle, c)) return true;

    if (filled != 1) {
        WithWriter(t.plane, t.bytesPerPixel, [&](const auto& w) { DrawCircleOutline(w, t.region, c); });
        return true;
    }

    // Filled: the outline's extreme columns per row go through the scanline
    // tables, clamped to the region, then every row's span is filled. The
    // region lies inside the plane, so its corners fit 32 bits.
    const Region& r = t.region;
    Gfx_ScanlineTables& tables = Gfx_GetScanlineTables();
    if (!tables.Reset(ToInt32(r.y0), ToInt32(r.y1))) return Gfx_FailSummary(kBlitSite);
    const C_Frame frame(ToInt32(r.x0), ToInt32(r.y0), ToInt32(r.x1), ToInt32(r.y1));
    Gfx_ScanCircle(circle, &frame);
    std::int32_t* spanMin = tables.Min();
    std::int32_t* spanMax = tables.Max();
    for (std::int32_t row = tables.firstRow; row <= tables.lastRow; ++row) {
        spanMin[row] = static_cast<std::int32_t>(std::clamp<int64_t>(spanMin[row], r.x0, r.x1));
        spanMax[row] = static_cast<std::int32_t>(std::clamp<int64_t>(spanMax[row], r.x0 - 1, r.x1 - 1));
    }
    return Gfx_Surface_FillSpans(surface, color, clip, clip2, extra1);
}

bool Gfx_Surface_FillSpans(C_Surface* surface, const C_Color* color, const C_Frame* clip, const C_Frame* clip2,
                           std::uint32_t /*extra*/) {
    Target t;
    const Setup s = Prepare(surface, color, clip, clip2, kFillSite, "Gfx_Surface_FillSpans{color}",
                            "Gfx_Surface_FillSpans{ImageDst->format}", t);
    if (s != Setup::Draw) return ResultOf(s);
    Gfx_ScanlineTables& tables = Gfx_GetScanlineTables();
    const Region& r = t.region;
    const int64_t first = std::max<int64_t>(tables.firstRow, r.y0);
    const int64_t last = std::min<int64_t>({tables.lastRow, r.y1 - 1, TableRows(tables) - 1});
    const std::int32_t* spanMin = tables.Min();
    const std::int32_t* spanMax = tables.Max();
    WithWriter(t.plane, t.bytesPerPixel, [&](const auto& w) {
        for (int64_t row = first; row <= last; ++row) {
            const int64_t lo = std::max<int64_t>(spanMin[row], r.x0);
            const int64_t hi = std::min<int64_t>(spanMax[row], r.x1 - 1);
            if (lo <= hi) w.Row(lo, row, hi - lo + 1);
        }
    });
    return true;
}

bool Gfx_ScanCircle(const C_Circle* circle, const C_Frame* region) {
    if (!circle || !region) return false;
    Gfx_ScanlineTables& tables = Gfx_GetScanlineTables();
    const Region r{region->x0, region->y0, region->x1, region->y1};
    if (TableRows(tables) < r.y1) return false;
    CircleInts c;
    if (!CircleOf(*circle, c)) return true;

    tables.firstRow = ToInt32(std::max(std::min<int64_t>(tables.firstRow, c.cy - c.r), r.y0));
    tables.lastRow = ToInt32(std::min(std::max<int64_t>(tables.lastRow, c.cy + c.r), r.y1 - 1));

    // Every point of the outline on a region row widens that row's span.
    // Columns are kept to [x0 - 1, x1]: spans are clamped to the region
    // before use, so nothing further out can matter.
    std::int32_t* spanMin = tables.Min();
    std::int32_t* spanMax = tables.Max();
    auto widen = [&](int64_t column, int64_t row) {
        const std::int32_t v = ToInt32(std::clamp(column, r.x0 - 1, r.x1));
        spanMin[row] = std::min(spanMin[row], v);
        spanMax[row] = std::max(spanMax[row], v);
    };
    const MidpointCircle m(c.r);
    const int64_t rowLo = std::max({r.y0, c.cy - c.r, int64_t{0}});
    const int64_t rowHi = std::min(r.y1 - 1, c.cy + c.r);
    for (int64_t row = rowLo; row <= rowHi; ++row) {
        const int64_t d = row - c.cy;
        const int64_t v = d < 0 ? -d : d;
        if (v == c.r) widen(c.cx, row);  // (cx, cy +- r)
        if (d == 0) {                    // (cx +- r, cy)
            widen(c.cx - c.r, row);
            widen(c.cx + c.r, row);
        }
        if (v >= 1 && v <= m.LastX()) {  // (cx +- y, cy +- x) with x = |d|
            const int64_t y = m.Y(v);
            widen(c.cx - y, row);
            widen(c.cx + y, row);
        }
        if (const int64_t x = m.WidestXAt(v); x > 0) {  // (cx +- x, cy +- y) with y = |d|
            widen(c.cx - x, row);
            widen(c.cx + x, row);
        }
    }
    return true;
}
