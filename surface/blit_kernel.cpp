#include "surface/blit_kernel.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>

#include "core/error.h"
#include "core/internal/parallel.h"
#include "image/format.h"
#include "image/image.h"
#include "math/shapes.h"
#include "math/vector.h"
#include "surface/blit.h"
#include "surface/internal/blit_rows.h"
#include "surface/internal/mask_run.h"
#include "surface/internal/span_kernels.h"
#include "surface/surface.h"
#include "surface/draw_params.h"

// How a call is set up, in brief: floats place the source (anchoring, scale,
// rotation), then everything becomes 16.16 fixed point and integers. The
// float set-up is where hostile values are stopped: every float is checked
// to be finite and of sane magnitude before it is converted, so no
// conversion is out of range. The fixed-point values are kept in 64 bits,
// and the drawing region always lies inside the destination planes, while
// every sample is clamped into the source planes.

namespace {

constexpr const char* kSite = "C_Blit_Kernel::Blit_Fixed";

// Planes larger than this on either side are not drawn: it keeps every row
// and column number, and every scanline-table byte count, far from overflow.
constexpr std::int64_t kMaxExtent = std::int64_t{1} << 28;
// Scale factors smaller than this in magnitude draw nothing: the picture is
// then below one pixel for any source, and 65536 / scale still fits 32 bits.
constexpr float kMinScale = 1.0f / 32768.0f;
// Start coordinates of the 16.16 walks must stay below this magnitude so
// that no per-row or per-pixel sum can leave 64 bits.
constexpr float kMaxStart = 4611686018427387904.0f;  // 2^62
constexpr float kPi = 3.14159265358979f;

// An integer rectangle, x1 and y1 exclusive.
struct Region {
    std::int64_t x0, y0, x1, y1;

    bool Empty() const { return x1 <= x0 || y1 <= y0; }
    void Intersect(const Region& o) {
        x0 = std::max(x0, o.x0);
        y0 = std::max(y0, o.y0);
        x1 = std::min(x1, o.x1);
        y1 = std::min(y1, o.y1);
    }
};

Region RegionOf(const C_Frame& f) { return {f.x0, f.y0, f.x1, f.y1}; }

Region ExtentOf(const C_Image& image) {
    return {0, 0, std::min<std::int64_t>(image.width, kMaxExtent), std::min<std::int64_t>(image.height, kMaxExtent)};
}

std::int32_t ToInt32(std::int64_t v) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, std::numeric_limits<std::int32_t>::min(),
                                                              std::numeric_limits<std::int32_t>::max()));
}

bool HasPixels(const C_Image* image) { return image && image->data && image->width != 0 && image->height != 0; }

// A call refused: recorded as `code` with `detail`, then the summary line,
// and the reason in plain words. Returns false.
bool Refuse(std::int32_t code, const char* detail, const char* reason) {
    Gfx_Fail(code, detail, kSite);
    Gfx_SetErrorReason("%s", reason);
    return false;
}

// A plane the kernels can address: pixels present, rows as long as the
// pitch says, the buffer as large as the rows need, and 32-bit pixels on
// 32-bit boundaries.
bool Addressable(const C_Image* image, std::uint32_t bytesPerPixel) {
    if (!image || !image->data || image->width == 0 || image->height == 0) return false;
    if (image->bpp != bytesPerPixel * 8) return false;
    if (image->width > kMaxExtent || image->height > kMaxExtent) return false;
    const std::uint64_t rowBytes = std::uint64_t{image->width} * bytesPerPixel;
    if (image->pitch < rowBytes) return false;
    if (std::uint64_t{image->height - 1} * image->pitch + rowBytes > image->dataSize) return false;
    if (bytesPerPixel == 4 && (reinterpret_cast<std::uintptr_t>(image->data) % 4 != 0 || image->pitch % 4 != 0))
        return false;
    return true;
}

// Row 0 of a plane and the signed distance from one row to the next, in
// bytes: bottom-up images start at their last stored row and step back.
struct PlaneView {
    std::uint8_t* row0;
    std::ptrdiff_t pitch;
};

PlaneView ViewOf(C_Image* image) {
    const auto pitch = static_cast<std::ptrdiff_t>(image->pitch);
    if (image->bottomUp) return {image->data + (image->height - 1) * static_cast<std::size_t>(pitch), -pitch};
    return {image->data, pitch};
}

// Truncation toward zero of a float known to be of sane magnitude.
std::int64_t Trunc(float v) { return static_cast<std::int64_t>(v); }

// Truncation of a float that may be anything; false when it is not finite
// or not below `limit` in magnitude.
bool TruncChecked(float v, float limit, std::int64_t& out) {
    if (!(std::fabs(v) < limit)) return false;
    out = static_cast<std::int64_t>(v);
    return true;
}

bool SaneScale(float v) { return std::fabs(v) >= kMinScale && std::isfinite(v); }

// Colour-effect factors * 256, kept where the channel arithmetic cannot
// overflow 32 bits; anything beyond saturates a channel anyway.
std::int32_t EffectFactor(float component) {
    const float v = component * 256.0f;
    if (std::isnan(v)) return 0;
    return static_cast<std::int32_t>(std::clamp(v, -16777215.0f, 16777215.0f));
}

// Floor and ceiling of n / d for d != 0.
std::int64_t FloorDiv(std::int64_t n, std::int64_t d) {
    std::int64_t q = n / d;
    if ((n % d != 0) && ((n < 0) != (d < 0))) --q;
    return q;
}
std::int64_t CeilDiv(std::int64_t n, std::int64_t d) { return -FloorDiv(-n, d); }

// ---------------------------------------------------------------------------
// Edge scan conversion into the scanline tables.
//
// An edge is walked in 16.16 steps of one pixel along its major axis; each
// step covers (row, column) = (y >> 16, x >> 16) and widens that row's span.
// Only rows of the region are recorded, and a column is first clamped to
// [x0 - 1, x1]: every later use clamps spans to the region, so this loses
// nothing, and it lets the parts of a long edge that lie left or right of
// the region be recorded per row instead of per step.

class EdgeScanner {
public:
    EdgeScanner(Gfx_ScanlineTables& t, const Region& r) : min_(t.Min()), max_(t.Max()), tables_(t), r_(r) {}

    void Edge(const C_Vector2D& p, const C_Vector2D& q) {
        const std::int64_t X0 = Trunc(p.x * 65536.0f), Y0 = Trunc(p.y * 65536.0f);
        const std::int64_t X1 = Trunc(q.x * 65536.0f), Y1 = Trunc(q.y * 65536.0f);
        const std::int64_t lo = std::min(Y0 >> 16, Y1 >> 16), hi = std::max(Y0 >> 16, Y1 >> 16);
        tables_.firstRow = ToInt32(std::max(std::min<std::int64_t>(tables_.firstRow, lo), r_.y0));
        tables_.lastRow = ToInt32(std::min(std::max<std::int64_t>(tables_.lastRow, hi), r_.y1 - 1));

        const std::int64_t ax = X1 > X0 ? X1 - X0 : X0 - X1;
        const std::int64_t ay = Y1 > Y0 ? Y1 - Y0 : Y0 - Y1;
        if (ax > ay) {
            XMajor(X0, Y0, X1, Slope(q.y - p.y, std::fabs(q.x - p.x)));
        } else if (ay > ax) {
            YMajor(X0, Y0, Y1, Slope(q.x - p.x, std::fabs(q.y - p.y)));
        } else if (ax != 0) {
            Diagonal(X0, Y0, X1, Y1);
        }
    }

private:
    // trunc(d / len * 65536). Only walks of two or more steps use the slope,
    // and for those it is near 1 in magnitude; the bound merely keeps the
    // conversion defined for a one-step walk of a sub-pixel edge.
    static std::int64_t Slope(float d, float len) {
        const float s = d / len * 65536.0f;
        if (std::isnan(s)) return 0;
        return static_cast<std::int64_t>(std::clamp(s, -1099511627776.0f, 1099511627776.0f));
    }

    void Plot(std::int64_t row, std::int64_t col) {
        if (row < r_.y0 || row >= r_.y1) return;
        const auto c = static_cast<std::int32_t>(std::clamp(col, r_.x0 - 1, r_.x1));
        const auto i = static_cast<std::size_t>(row);
        if (c < min_[i]) min_[i] = c;
        if (c > max_[i]) max_[i] = c;
    }

    // x-major: x steps one pixel at a time, y by the slope; the column of
    // step k is c0 + dir * k.
    void XMajor(std::int64_t X0, std::int64_t Y0, std::int64_t X1, std::int64_t slope) {
        const std::int64_t dir = X1 > X0 ? 1 : -1;
        const std::int64_t steps = (dir > 0 ? X1 - X0 : X0 - X1) >> 16;  // last step index
        const std::int64_t c0 = (X0 + 0x8000) >> 16;
        const std::int64_t ys = Y0 + 0x8000;
        // Steps whose column lies in [x0 - 1, x1], recorded one by one.
        std::int64_t kIn0 = dir > 0 ? (r_.x0 - 1) - c0 : c0 - r_.x1;
        std::int64_t kIn1 = dir > 0 ? r_.x1 - c0 : c0 - (r_.x0 - 1);
        kIn0 = std::max<std::int64_t>(kIn0, 0);
        kIn1 = std::min(kIn1, steps);
        if (kIn0 > kIn1) {
            // No step inside: the whole walk lies on one side of the range.
            const std::int64_t cEnd = c0 + dir * steps;
            OutsideRun(ys, slope, 0, steps, std::min(c0, cEnd) > r_.x1 ? r_.x1 : r_.x0 - 1);
            return;
        }
        for (std::int64_t k = kIn0; k <= kIn1; ++k) Plot((ys + k * slope) >> 16, c0 + dir * k);
        // Steps before the range lie on the side the walk comes from.
        const std::int64_t before = dir > 0 ? r_.x0 - 1 : r_.x1;
        const std::int64_t after = dir > 0 ? r_.x1 : r_.x0 - 1;
        if (kIn0 > 0) OutsideRun(ys, slope, 0, kIn0 - 1, before);
        if (kIn1 < steps) OutsideRun(ys, slope, kIn1 + 1, steps, after);
    }

    // Steps ka..kb, all with the same clamped column: every region row that
    // one of them reaches is widened to that column.
    void OutsideRun(std::int64_t ys, std::int64_t slope, std::int64_t ka, std::int64_t kb, std::int64_t col) {
        const std::int64_t ra = (ys + ka * slope) >> 16, rb = (ys + kb * slope) >> 16;
        const std::int64_t r0 = std::max(std::min(ra, rb), r_.y0);
        const std::int64_t r1 = std::min(std::max(ra, rb), r_.y1 - 1);
        for (std::int64_t r = r0; r <= r1; ++r) {
            if (RowReached(ys, slope, ka, kb, r)) Plot(r, col);
        }
    }

    // Whether some step k in [ka, kb] has (ys + k * slope) >> 16 == row. The
    // slope can exceed one row per step by a hair, so rows may be skipped.
    static bool RowReached(std::int64_t ys, std::int64_t slope, std::int64_t ka, std::int64_t kb, std::int64_t row) {
        const std::int64_t lo = row * 65536 - ys, hi = row * 65536 + 65535 - ys;
        if (slope == 0) return lo <= 0 && 0 <= hi;
        std::int64_t k0 = 0, k1 = 0;
        if (slope > 0) {
            k0 = CeilDiv(lo, slope);
            k1 = FloorDiv(hi, slope);
        } else {
            k0 = CeilDiv(hi, slope);
            k1 = FloorDiv(lo, slope);
        }
        return std::max(k0, ka) <= std::min(k1, kb);
    }

    // y-major: y steps one row at a time, so only steps on region rows are
    // walked.
    void YMajor(std::int64_t X0, std::int64_t Y0, std::int64_t Y1, std::int64_t slope) {
        const std::int64_t dir = Y1 > Y0 ? 1 : -1;
        const std::int64_t steps = (dir > 0 ? Y1 - Y0 : Y0 - Y1) >> 16;
        const std::int64_t r0 = (Y0 + 0x8000) >> 16;
        const std::int64_t xs = X0 + 0x8000;
        std::int64_t k0 = dir > 0 ? r_.y0 - r0 : r0 - (r_.y1 - 1);
        std::int64_t k1 = dir > 0 ? (r_.y1 - 1) - r0 : r0 - r_.y0;
        k0 = std::max<std::int64_t>(k0, 0);
        k1 = std::min(k1, steps);
        for (std::int64_t k = k0; k <= k1; ++k) Plot(r0 + dir * k, (xs + k * slope) >> 16);
    }

    // Equal extents: both coordinates step one pixel.
    void Diagonal(std::int64_t X0, std::int64_t Y0, std::int64_t X1, std::int64_t Y1) {
        const std::int64_t dx = X1 > X0 ? 1 : -1, dy = Y1 > Y0 ? 1 : -1;
        const std::int64_t steps = (dx > 0 ? X1 - X0 : X0 - X1) >> 16;
        const std::int64_t c0 = (X0 + 0x8000) >> 16, r0 = (Y0 + 0x8000) >> 16;
        std::int64_t k0 = dy > 0 ? r_.y0 - r0 : r0 - (r_.y1 - 1);
        std::int64_t k1 = dy > 0 ? (r_.y1 - 1) - r0 : r0 - r_.y0;
        k0 = std::max<std::int64_t>(k0, 0);
        k1 = std::min(k1, steps);
        for (std::int64_t k = k0; k <= k1; ++k) Plot(r0 + dy * k, c0 + dx * k);
    }

    std::int32_t* min_;
    std::int32_t* max_;
    Gfx_ScanlineTables& tables_;
    Region r_;
};

// ---------------------------------------------------------------------------
// One call, set up.

struct Call {
    Gfx_SpanArgs args{};
    Gfx_SpanFn kernel = nullptr;
    Region region{};
    PlaneView dst{}, dstAlpha{};
    bool hasDstAlpha = false;
    PlaneView srcColor{}, srcAlpha{};
    bool hasSrcColor = false, hasSrcAlpha = false;
    // Placement.
    float x = 0.0f, y = 0.0f;                              // anchored position
    std::int64_t X = 0, Y = 0;                             // its integer form
    float fx0 = 0.0f, fy0 = 0.0f, fx1 = 0.0f, fy1 = 0.0f;  // source rectangle
    float srcW = 0.0f, srcH = 0.0f;
    std::int64_t srcWI = 0, srcHI = 0;
    float scaleX = 1.0f, scaleY = 1.0f, angle = 0.0f;
    bool flipH = false, flipV = false;
    bool repeatRows = false;     // scaled copy from a source apart from the destination
    bool bilinearScale = false;  // scaled and interpolated: rows may share a row cache

    std::uint32_t* DstPixel(std::int64_t row, std::int64_t col) const {
        return reinterpret_cast<std::uint32_t*>(dst.row0 + row * dst.pitch) + col;
    }
    std::uint8_t* DstAlpha(std::int64_t row, std::int64_t col) const {
        return hasDstAlpha ? dstAlpha.row0 + row * dstAlpha.pitch + col : nullptr;
    }
    void Span(std::uint32_t* d, std::uint8_t* da, std::int64_t count) {
        args.dst = d;
        args.dstAlpha = da;
        args.count = static_cast<std::int32_t>(count);
        kernel(args);
    }
};

// Unscaled: source and destination walked in step, row by row.
void DrawUnscaled(Call& c) {
    std::int64_t w = c.srcWI, h = c.srcHI;
    std::int64_t sx0 = c.args.x0, sy0 = c.args.y0, sx1 = c.args.x1, sy1 = c.args.y1;
    std::int64_t X = c.X, Y = c.Y;
    const Region& r = c.region;
    Gfx_ClipUnscaledAxis(X, w, sx0, sx1, c.flipH, r.x0, r.x1);
    Gfx_ClipUnscaledAxis(Y, h, sy0, sy1, c.flipV, r.y0, r.y1);
    if (w <= 0 || h <= 0) return;

    const std::int64_t col = c.flipH ? sx1 - 1 : sx0;
    for (std::int64_t i = 0; i < h; ++i) {
        const std::int64_t srcRow = c.flipV ? sy1 - 1 - i : sy0 + i;
        if (c.hasSrcColor)
            c.args.src = reinterpret_cast<const std::uint32_t*>(c.srcColor.row0 + srcRow * c.srcColor.pitch) + col;
        if (c.hasSrcAlpha) c.args.srcAlpha = c.srcAlpha.row0 + srcRow * c.srcAlpha.pitch + col;
        c.Span(c.DstPixel(Y + i, X), c.DstAlpha(Y + i, X), w);
    }
}

// Rows firstRow..endRow-1 of a scaled draw, `count` columns from `col`.
void DrawScaledRows(Call& c, std::int64_t firstRow, std::int64_t endRow, std::int64_t col, std::int64_t count,
                    std::int64_t uStart, std::int64_t vStart, std::int64_t dv) {
    // Enlarging repeats each source row over several destination rows. A
    // plain copy draws such rows alike, so they are copied from the first.
    // The source row is the kernel's: clamped to [y0, y1 - 1], y0 winning
    // when a sub-pixel rectangle leaves that range empty.
    std::int64_t drawnFrom = 0;
    const std::uint32_t* drawn = nullptr;
    for (std::int64_t row = firstRow; row < endRow; ++row) {
        c.args.u = uStart + col * c.args.du;
        c.args.v = vStart + row * dv;
        std::uint32_t* to = c.DstPixel(row, col);
        if (c.repeatRows) {
            const std::int64_t from =
                std::max<std::int64_t>(std::min<std::int64_t>(c.args.v >> 16, c.args.y1 - 1), c.args.y0);
            if (drawn && from == drawnFrom) {
                std::memcpy(to, drawn, static_cast<std::size_t>(count) * 4);
                continue;
            }
            drawnFrom = from;
            drawn = to;
        }
        c.Span(to, c.DstAlpha(row, col), count);
    }
}

// Scaled, not rotated: one source row per destination row.
void DrawScaled(Call& c) {
    std::int64_t firstCol = Trunc(c.x + 0.3f);
    std::int64_t lastCol = Trunc((c.x + c.srcW * c.scaleX) * 65536.0f) >> 16;
    std::int64_t firstRow = Trunc(c.y + 0.3f);
    std::int64_t endRow = Trunc((c.y + c.srcH * c.scaleY + 0.3f) * 65536.0f) >> 16;
    std::int64_t du = Trunc(65536.0f / c.scaleX), dv = Trunc(65536.0f / c.scaleY);

    firstCol = std::max(firstCol, c.region.x0);
    firstRow = std::max(firstRow, c.region.y0);
    lastCol = std::min(lastCol, c.region.x1 - 1);
    endRow = std::min(endRow, c.region.y1);

    std::int64_t uStart = 0, vStart = 0;
    const float uf = c.flipH ? (c.x / c.scaleX + c.fx1) * 65536.0f : (c.fx0 - c.x / c.scaleX) * 65536.0f;
    const float vf = c.flipV ? (c.y / c.scaleY + c.fy1) * 65536.0f : (c.fy0 - c.y / c.scaleY) * 65536.0f;
    if (!TruncChecked(uf, kMaxStart, uStart) || !TruncChecked(vf, kMaxStart, vStart)) return;
    if (c.flipH) du = -du;
    if (c.flipV) dv = -dv;
    if (firstCol > lastCol) return;

    c.args.du = du;
    // Interpolating while enlarging down the rows: successive rows share
    // source rows, which the kernel keeps interpolated across in a cache,
    // one band of columns at a time.
    Gfx_SpanRowCache cache;
    const bool cached = c.bilinearScale && dv >= -65536 && dv <= 65536;
    c.args.rowCache = cached ? &cache : nullptr;
    // Nearest sampling reads the same columns on every row.
    Gfx_SpanColumnTable columns;
    c.args.columns = c.bilinearScale ? nullptr : &columns;
    const std::int64_t band = cached ? Gfx_SpanRowCache::kPixels : lastCol - firstCol + 1;
    for (std::int64_t col = firstCol; col <= lastCol; col += band) {
        cache.Clear();
        DrawScaledRows(c, firstRow, endRow, col, std::min(band, lastCol - col + 1), uStart, vStart, dv);
    }
    c.args.rowCache = nullptr;
    c.args.columns = nullptr;
}

// The rotated corners of the scaled source, moved to the anchored position:
// A top left, B top right, C bottom left, D bottom right.
struct Corners {
    C_Vector2D a, b, c, d;
};

Corners RotatedCorners(const Call& c) {
    const float w = c.srcW * c.scaleX, h = c.srcH * c.scaleY;
    Corners k{C_Vector2D(0.0f, 0.0f), C_Vector2D(w, 0.0f), C_Vector2D(0.0f, h), C_Vector2D(w, h)};
    for (C_Vector2D* v : {&k.a, &k.b, &k.c, &k.d}) {
        v->Rotate(c.angle);
        v->x = v->x + c.x;
        v->y = v->y + c.y;
    }
    return k;
}

// Rotated: edges scan-converted into per-row spans, each span walked with
// both source coordinates.
bool DrawRotated(Call& c, const Corners& k) {
    Gfx_ScanlineTables& t = Gfx_GetScanlineTables();
    const Region& r = c.region;
    if (!t.Reset(ToInt32(r.y0), ToInt32(r.y1))) return false;

    const float a = c.angle / 180.0f * kPi;
    const float s = static_cast<float>(std::sin(static_cast<double>(a)));
    const float co = static_cast<float>(std::cos(static_cast<double>(a)));
    std::int64_t su = Trunc(s * 65536.0f / c.scaleX), cu = Trunc(co * 65536.0f / c.scaleX);
    std::int64_t sv = Trunc(s * 65536.0f / c.scaleY), cv = Trunc(co * 65536.0f / c.scaleY);

    EdgeScanner scan(t, r);
    scan.Edge(k.a, k.b);
    scan.Edge(k.b, k.d);
    scan.Edge(k.d, k.c);
    scan.Edge(k.c, k.a);

    const float S = 65536.0f * s, K = 65536.0f * co;
    const float vf = c.flipV ? (K / c.scaleY) * c.y - (S / c.scaleY) * c.x + c.fy1 * 65536.0f
                             : (S / c.scaleY) * c.x - (K / c.scaleY) * c.y + c.fy0 * 65536.0f;
    const float uf = c.flipH ? (S / c.scaleX) * c.y + (K / c.scaleX) * c.x + c.fx1 * 65536.0f
                             : c.fx0 * 65536.0f - ((S / c.scaleX) * c.y + (K / c.scaleX) * c.x);
    std::int64_t uStart = 0, vStart = 0;
    if (!TruncChecked(uf, kMaxStart, uStart) || !TruncChecked(vf, kMaxStart, vStart)) return true;
    if (c.flipV) {
        sv = -sv;
        cv = -cv;
    }
    if (c.flipH) {
        su = -su;
        cu = -cu;
    }

    std::int32_t* spanMin = t.Min();
    std::int32_t* spanMax = t.Max();
    c.args.du = cu;
    c.args.dv = -sv;
    for (std::int64_t row = t.firstRow; row <= t.lastRow; ++row) {
        const auto i = static_cast<std::size_t>(row);
        // Clamped to the region: a row nothing reached ends up empty.
        std::int64_t lo = spanMin[i], hi = spanMax[i];
        if (lo < r.x0)
            lo = r.x0;
        else if (lo > r.x1 - 1)
            lo = r.x1;
        if (hi < r.x0)
            hi = r.x0 - 1;
        else if (hi > r.x1 - 1)
            hi = r.x1 - 1;
        spanMin[i] = ToInt32(lo);
        spanMax[i] = ToInt32(hi);
        if (lo > hi) continue;
        c.args.u = uStart + row * su + lo * cu;
        c.args.v = vStart + row * cv - lo * sv;
        c.Span(c.DstPixel(row, lo), c.DstAlpha(row, lo), hi - lo + 1);
    }
    return true;
}

// Channel layout of a 32-bit format for the kernels: shift and an 8-bit mask.
void ChannelLayout(const Gfx_FormatDesc& d, std::uint32_t shift[3], std::uint32_t mask[3]) {
    for (int ch = 0; ch < 3; ++ch) {
        shift[ch] = d.shift[ch] & 31u;
        mask[ch] = (d.mask[ch] >> shift[ch]) & 0xFFu;
    }
}

std::int32_t Channel(std::uint32_t pixel, const Gfx_FormatDesc& d, int ch) {
    return static_cast<std::int32_t>(((pixel & d.mask[ch]) >> (d.shift[ch] & 31u)) & 0xFFu);
}

enum class Path { Unscaled, Scaled, Rotated };

Gfx_SpanKernelId ChooseKernel(Path path, bool adjust, bool needBlend, bool key, bool fill, bool flipH) {
    static constexpr Gfx_SpanKernelId kIds[3][6] = {
        {GFX_SPAN_ROW_ADJUST, GFX_SPAN_ROW_BLEND, GFX_SPAN_ROW_COPY, GFX_SPAN_ROW_KEY, GFX_SPAN_ROW_FILL,
         GFX_SPAN_ROW_KEY_FILL},
        {GFX_SPAN_SCALE_ADJUST, GFX_SPAN_SCALE_BLEND, GFX_SPAN_SCALE_COPY, GFX_SPAN_SCALE_KEY, GFX_SPAN_SCALE_FILL,
         GFX_SPAN_SCALE_KEY_FILL},
        {GFX_SPAN_ROTATE_ADJUST, GFX_SPAN_ROTATE_BLEND, GFX_SPAN_ROTATE_COPY, GFX_SPAN_ROTATE_KEY, GFX_SPAN_ROTATE_FILL,
         GFX_SPAN_ROTATE_KEY_FILL},
    };
    const auto& ids = kIds[static_cast<int>(path)];
    if (adjust) return ids[0];
    if (needBlend) return ids[1];
    if (key && fill) return ids[5];
    if (fill) return ids[4];
    if (path == Path::Unscaled && flipH) return key ? GFX_SPAN_ROW_KEY_MIRROR : GFX_SPAN_ROW_COPY_MIRROR;
    return key ? ids[3] : ids[2];
}

// ---------------------------------------------------------------------------
// The steps of one call, in the order Blit_Fixed takes them.

// The planes a call reads and writes, and how it may use them.
struct Planes {
    C_Image* srcColor = nullptr;
    C_Image* srcAlpha = nullptr;
    C_Image* dstColor = nullptr;
    C_Image* dstAlpha = nullptr;
    // Without a colour plane the alpha plane is drawn as coverage of the
    // fill colour, in the destination's format.
    bool maskMode = false;
    bool srcAlphaUsable = false, dstAlphaUsable = false;

    const C_Image* SizeImage() const { return srcColor ? srcColor : srcAlpha; }
};

Planes PlanesOf(C_Surface* src, C_Surface* dst, bool useDerived) {
    Planes pl;
    if (src && useDerived) {
        const C_SurfacePlane* color = src->GetPlaneEntry(GFX_PLANE_COLOR);
        const C_SurfacePlane* alpha = src->GetPlaneEntry(GFX_PLANE_ALPHA);
        pl.srcColor = color ? color->derived : nullptr;
        pl.srcAlpha = alpha ? alpha->derived : nullptr;
    } else if (src) {
        pl.srcColor = src->GetPlane(GFX_PLANE_COLOR);
        pl.srcAlpha = src->GetPlane(GFX_PLANE_ALPHA);
    }
    pl.dstColor = dst ? dst->GetPlane(GFX_PLANE_COLOR) : nullptr;
    pl.dstAlpha = dst ? dst->GetPlane(GFX_PLANE_ALPHA) : nullptr;
    pl.maskMode = pl.srcColor == nullptr;
    pl.srcAlphaUsable = Addressable(pl.srcAlpha, 1);
    pl.dstAlphaUsable = Addressable(pl.dstAlpha, 1);
    return pl;
}

// The source extent: the planes drawn from must all hold every sample.
Region SourceExtent(const Planes& pl) {
    Region e = ExtentOf(*pl.SizeImage());
    if (!pl.maskMode && pl.srcAlphaUsable) e.Intersect(ExtentOf(*pl.srcAlpha));
    return e;
}

// The source rectangle, limited to the source; x1 and y1 get a hair more so
// that a rectangle from integer corners keeps its last column. False when
// it is empty (NaN corners included).
bool ClipSourceRect(Call& c, const C_Rect* srcRect, const Region& srcExtent) {
    const auto imgW = static_cast<float>(srcExtent.x1), imgH = static_cast<float>(srcExtent.y1);
    if (srcRect) {
        c.fx0 = srcRect->x0;
        c.fy0 = srcRect->y0;
        c.fx1 = srcRect->x1 + 0.001f;
        c.fy1 = srcRect->y1 + 0.001f;
        if (c.fx0 < 0.0f) c.fx0 = 0.0f;
        if (c.fy0 < 0.0f) c.fy0 = 0.0f;
        if (c.fx1 > imgW) c.fx1 = imgW;
        if (c.fy1 > imgH) c.fy1 = imgH;
    } else {
        c.fx1 = imgW;
        c.fy1 = imgH;
    }
    if (!(c.fx1 > c.fx0) || !(c.fy1 > c.fy0)) return false;
    c.args.x0 = static_cast<std::int32_t>(c.fx0);
    c.args.y0 = static_cast<std::int32_t>(c.fy0);
    c.args.x1 = static_cast<std::int32_t>(c.fx1);
    c.args.y1 = static_cast<std::int32_t>(c.fy1);
    return true;
}

// The position anchored in the first clip (or the destination). False when
// it lies beyond any image.
bool Anchor(Call& c, const C_Vector2D* position, const Region& anchorRegion) {
    const C_Vector2D pos = position ? *position : C_Vector2D();
    c.x = Gfx_AlignCoordIn(pos.x, ToInt32(anchorRegion.x0), ToInt32(anchorRegion.x1), Gfx_AlignCodeX(pos.align));
    c.y = Gfx_AlignCoordIn(pos.y, ToInt32(anchorRegion.y0), ToInt32(anchorRegion.y1), Gfx_AlignCodeY(pos.align));
    if (!Gfx_SaneCoord(c.x) || !Gfx_SaneCoord(c.y)) return false;
    c.X = Gfx_PixelOf(c.x);
    c.Y = Gfx_PixelOf(c.y);
    return true;
}

// The destination rows this thread may write (surface/internal/blit_rows.h).
Region BandRegion() {
    Region band{std::numeric_limits<std::int64_t>::min(), 0, std::numeric_limits<std::int64_t>::max(), 0};
    C_BlitRowBand::Current(band.y0, band.y1);
    return band;
}

// The second clip, the rows of this thread's band, then the destination
// planes themselves: nothing outside them is ever written.
Region DrawRegion(Region region, const C_Frame* clip2, const Planes& pl) {
    if (clip2) region.Intersect(RegionOf(*clip2));
    region.Intersect(BandRegion());
    region.Intersect(ExtentOf(*pl.dstColor));
    if (pl.dstAlphaUsable) region.Intersect(ExtentOf(*pl.dstAlpha));
    return region;
}

void SetPlacement(Call& c, const C_DrawParams& p) {
    c.srcW = c.fx1 - c.fx0;
    c.srcH = c.fy1 - c.fy0;
    c.srcWI = c.args.x1 - c.args.x0;
    c.srcHI = c.args.y1 - c.args.y0;
    c.scaleX = p.scale.x;
    c.scaleY = p.scale.y;
    c.angle = p.angle;
    c.flipH = p.flipH != 0;
    c.flipV = p.flipV != 0;
}

// The drawing path, and trivial rejection: false when the placed source
// cannot reach the region (or its placement is not sane). The rotated path
// also gets its corners.
bool ChoosePath(const Call& c, Path& path, Corners& corners) {
    const Region& region = c.region;
    if (c.angle == 0.0f && c.scaleX == 1.0f && c.scaleY == 1.0f) {
        path = Path::Unscaled;
        return !(c.X + c.srcWI < region.x0 || c.Y + c.srcHI < region.y0 || c.X > region.x1 || c.Y > region.y1);
    }
    if (!SaneScale(c.scaleX) || !SaneScale(c.scaleY) || !std::isfinite(c.angle)) return false;
    if (c.angle == 0.0f) {
        path = Path::Scaled;
        const float right = c.x + c.srcW * c.scaleX, bottom = c.y + c.srcH * c.scaleY + 0.3f;
        if (!Gfx_SaneCoord(right) || !Gfx_SaneCoord(bottom)) return false;
        return !(c.X + Trunc(c.srcW * c.scaleX) < region.x0 || c.Y + Trunc(c.srcH * c.scaleY) < region.y0 ||
                 c.X > region.x1 || c.Y > region.y1);
    }
    path = Path::Rotated;
    corners = RotatedCorners(c);
    float minX = corners.a.x, maxX = corners.a.x, minY = corners.a.y, maxY = corners.a.y;
    for (const C_Vector2D* v : {&corners.b, &corners.c, &corners.d}) {
        if (!Gfx_SaneCoord(v->x) || !Gfx_SaneCoord(v->y)) return false;
        minX = std::min(minX, v->x);
        maxX = std::max(maxX, v->x);
        minY = std::min(minY, v->y);
        maxY = std::max(maxY, v->y);
    }
    return !(maxX < static_cast<float>(region.x0) || maxY < static_cast<float>(region.y0) ||
             minX > static_cast<float>(region.x1) || minY > static_cast<float>(region.y1));
}

// Only 32-bit colour planes and 8-bit alpha planes are drawn; anything else
// is refused with its reason (false) rather than skipped in silence. An
// alpha plane of another depth is drawn by no path either: drawing without
// the coverage it stands for would paint what should stay clear.
bool Drawable(const Planes& pl, const Gfx_FormatDesc& sd, const Gfx_FormatDesc& dd) {
    constexpr const char* kConvert =
        "convert it with Gfx_Surface_ChangeFormat(surface, GFX_FMT_ARGB8888, "
        "GFX_FMT_NONE, 0), which also makes its alpha plane 8-bit";
    const auto depth = [&](const char* detail, const char* what, std::uint32_t bits, std::uint32_t wanted) {
        Gfx_Fail(GFX_ERR_FORMAT, detail, kSite);
        Gfx_SetErrorReason("the blit draws %u-bit %s planes, and this one has %u bits per pixel; %s",
                           static_cast<unsigned>(wanted), what, static_cast<unsigned>(bits), kConvert);
        return false;
    };
    const auto unaddressable = [](const char* detail, const C_Image& image, std::uint32_t bytesPerPixel) {
        const bool offBoundary =
            bytesPerPixel == 4 && (reinterpret_cast<std::uintptr_t>(image.data) % 4 != 0 || image.pitch % 4 != 0);
        return Refuse(GFX_ERR_BAD_DATA, detail,
                      offBoundary ? "a 32-bit plane whose data or pitch is off a 4-byte boundary is drawn only "
                                    "through Gfx_Surface_BlitTransformed, which copies it"
                                  : "the plane has no pixels, or its buffer is shorter than its width, height and "
                                    "pitch say");
    };
    if (dd.bitsPerPixel != 32) return depth("C_Blit_Kernel::Blit_Fixed{ImageDst->bpp}", "colour", dd.bitsPerPixel, 32);
    if (!Addressable(pl.dstColor, 4))
        return unaddressable("C_Blit_Kernel::Blit_Fixed{ImageDst->data}", *pl.dstColor, 4);
    if (!pl.maskMode && sd.bitsPerPixel != 32)
        return depth("C_Blit_Kernel::Blit_Fixed{ImageSrc->bpp}", "colour", sd.bitsPerPixel, 32);
    if (!pl.maskMode && !Addressable(pl.srcColor, 4))
        return unaddressable("C_Blit_Kernel::Blit_Fixed{ImageSrc->data}", *pl.srcColor, 4);
    for (const C_Image* alpha : {pl.srcAlpha, pl.dstAlpha}) {
        // An empty alpha plane beside a colour plane counts as absent.
        if (!alpha || (!HasPixels(alpha) && !(pl.maskMode && alpha == pl.srcAlpha))) continue;
        if (alpha->bpp != 8) return depth("C_Blit_Kernel::Blit_Fixed{alpha->bpp}", "alpha", alpha->bpp, 8);
        if (!Addressable(alpha, 1)) return unaddressable("C_Blit_Kernel::Blit_Fixed{alpha->data}", *alpha, 1);
    }
    return true;
}

// The per-call pixel arguments: channel layouts, fill and key colours,
// colour effects, opacity.
void SetPixelArgs(Gfx_SpanArgs& a, const C_DrawParams& p, const Gfx_FormatDesc& sd, const Gfx_FormatDesc& dd,
                  bool useFill, std::int32_t alpha256) {
    ChannelLayout(sd, a.srcShift, a.srcMask);
    ChannelLayout(dd, a.dstShift, a.dstMask);
    if (useFill) {
        a.fillPixel = Gfx_GetFormattedColor_32bit(sd.format, &p.fillColor);
        a.fillR = Channel(a.fillPixel, sd, 0);
        a.fillG = Channel(a.fillPixel, sd, 1);
        a.fillB = Channel(a.fillPixel, sd, 2);
    }
    a.brightR = p.useBrightness ? EffectFactor(p.brightness.r) : 0;
    a.brightG = p.useBrightness ? EffectFactor(p.brightness.g) : 0;
    a.brightB = p.useBrightness ? EffectFactor(p.brightness.b) : 0;
    a.contR = p.useContrast ? EffectFactor(p.contrast.r) : 256;
    a.contG = p.useContrast ? EffectFactor(p.contrast.g) : 256;
    a.contB = p.useContrast ? EffectFactor(p.contrast.b) : 256;
    if (p.useKeyColor) a.keyPixel = Gfx_GetFormattedColor_32bit(sd.format, &p.keyColor);
    a.alpha256 = alpha256;
}

// The variant of a kernel for this call's options.
std::uint32_t KernelVariant(Path path, const Call& c, const C_DrawParams& p, const Planes& pl, bool useFill,
                            std::int32_t alpha256) {
    std::uint32_t variant = 0;
    if (useFill) variant |= GFX_SPAN_FILL;
    if (pl.srcAlphaUsable) variant |= GFX_SPAN_SRC_ALPHA;
    if (pl.dstAlphaUsable) variant |= GFX_SPAN_DST_ALPHA;
    if (alpha256 == 256) variant |= GFX_SPAN_FULL_OPACITY;
    if (path == Path::Unscaled ? c.flipH : p.filter != 0) variant |= GFX_SPAN_MIRROR;  // = GFX_SPAN_BILINEAR
    if (p.useBrightness || p.useContrast) variant |= GFX_SPAN_ADJUST_COLOR;
    return variant;
}

// The plane addresses the row driver and the kernels use.
void SetAddresses(Call& c, const Planes& pl, const Region& srcExtent) {
    Gfx_SpanArgs& a = c.args;
    c.dst = ViewOf(pl.dstColor);
    c.hasDstAlpha = pl.dstAlphaUsable;
    if (pl.dstAlphaUsable) c.dstAlpha = ViewOf(pl.dstAlpha);
    c.hasSrcColor = !pl.maskMode;
    c.hasSrcAlpha = pl.srcAlphaUsable;
    if (!pl.maskMode) {
        c.srcColor = ViewOf(pl.srcColor);
        a.srcBase = reinterpret_cast<const std::uint32_t*>(c.srcColor.row0);
        a.srcPitch = c.srcColor.pitch / 4;
    }
    if (pl.srcAlphaUsable) {
        c.srcAlpha = ViewOf(pl.srcAlpha);
        a.srcAlphaBase = c.srcAlpha.row0;
        a.srcAlphaPitch = c.srcAlpha.pitch;
    }
    a.imgW = static_cast<std::int32_t>(srcExtent.x1);
    a.imgH = static_cast<std::int32_t>(srcExtent.y1);
}

// A scaled copy from a source apart from the destination may copy repeated
// rows instead of drawing them again.
bool RepeatRows(Gfx_SpanKernelId id, const Planes& pl) {
    const C_Image* s = pl.srcColor;
    const C_Image* d = pl.dstColor;
    return id == GFX_SPAN_SCALE_COPY && (s->data + s->dataSize <= d->data || d->data + d->dataSize <= s->data);
}

bool Overlap(const C_Image* a, const C_Image* b) {
    return a && b && a->data && b->data && a->data < b->data + b->dataSize && b->data < a->data + a->dataSize;
}

// The row driver. A large call whose source shares no pixels with its
// destination splits the region's rows into bands among threads
// (core/parallel.h); each band draws with its own copy of the call, and
// every row is drawn exactly as in one pass, so the split never changes a
// pixel. False when the rotated path cannot get its tables.
bool DrawRows(const Call& call, Path path, const Corners& corners, const Planes& pl) {
    std::atomic<bool> ok{true};
    const Region r = call.region;
    auto band = [&](std::int32_t first, std::int32_t end) {
        Call c = call;
        c.region.y0 = r.y0 + first;
        c.region.y1 = r.y0 + end;
        switch (path) {
        case Path::Unscaled: DrawUnscaled(c); break;
        case Path::Scaled: DrawScaled(c); break;
        case Path::Rotated:
            if (!DrawRotated(c, corners)) ok.store(false);
            break;
        }
    };
    const auto rows = static_cast<std::int32_t>(r.y1 - r.y0);
    const bool apart = !Overlap(pl.srcColor, pl.dstColor) && !Overlap(pl.srcColor, pl.dstAlpha) &&
                       !Overlap(pl.srcAlpha, pl.dstColor) && !Overlap(pl.srcAlpha, pl.dstAlpha);
    if (!apart) {
        band(0, rows);
        return ok.load();
    }
    // Pixels the call may write: its region, or the picture's area when
    // that is smaller.
    const double picture = std::fabs(double(call.srcW) * call.scaleX * double(call.srcH) * call.scaleY);
    const double area = double(r.x1 - r.x0) * double(r.y1 - r.y0);
    Gfx_ParallelRows(rows, static_cast<std::uint64_t>(std::min(picture, area)), band);
    return ok.load();
}

}  // namespace

// ---------------------------------------------------------------------------

C_Blit_Kernel::C_Blit_Kernel() : table_(&Gfx_SpanKernels_Scalar()), level_(GFX_SIMD_SCALAR) {
    SetSimdLevel(Gfx_SimdDefaultLevel());
}

bool C_Blit_Kernel::SetSimdLevel(std::int32_t level) {
    const Gfx_SpanKernelTable* table = Gfx_SpanKernelsForLevel(level);
    if (!table) return false;
    table_.store(table, std::memory_order_relaxed);
    level_.store(level, std::memory_order_relaxed);
    return true;
}

C_Blit_Kernel& Gfx_GetBlitKernel() {
    static C_Blit_Kernel kernel;
    return kernel;
}

Gfx_ScanlineTables& Gfx_GetScanlineTables() {
    thread_local Gfx_ScanlineTables tables;
    return tables;
}

bool Gfx_ScanlineTables::Reset(std::int32_t y0, std::int32_t y1) {
    if (y1 < 0 || y0 > y1) return false;
    const std::uint64_t bytes = std::uint64_t(y1) * sizeof(std::int32_t);
    if (bytes > std::numeric_limits<std::uint32_t>::max()) return false;
    if (!spanMin.Resize(static_cast<std::uint32_t>(bytes), false) ||
        !spanMax.Resize(static_cast<std::uint32_t>(bytes), false))
        return false;
    for (std::int32_t row = std::max(y0, 0); row < y1; ++row) {
        Min()[row] = std::numeric_limits<std::int32_t>::max();
        Max()[row] = std::numeric_limits<std::int32_t>::min();
    }
    firstRow = y1;
    lastRow = y0;
    return true;
}

bool C_Blit_Kernel::Blit_Fixed(C_Surface* src, C_Surface* dst, const C_Rect* srcRect, const C_Frame* clip,
                               const C_Frame* clip2, const C_Vector2D* position, std::uint32_t /*mode*/,
                               const C_DrawParams* params) {
    const Planes pl = PlanesOf(src, dst, useDerived != 0);
    // The record; without one, a plain copy (and a black fill colour for
    // an alpha-only source).
    const C_DrawParams p = params ? *params : C_DrawParams();

    if (!pl.dstColor)
        return Refuse(GFX_ERR_NULL_ARG, "C_Blit_Kernel::Blit_Fixed{ImageDst}",
                      "the destination surface has no colour plane (plane 1) to draw on");
    if (!pl.SizeImage())
        return Refuse(GFX_ERR_NULL_ARG, "C_Blit_Kernel::Blit_Fixed{ImageSrc}",
                      useDerived ? "the source surface has no display copy of a colour or an alpha plane"
                                 : "the source surface has neither a colour plane (1) nor an alpha plane (2)");
    Gfx_FormatDesc sd;
    if (!Gfx_GetFormatDesc(pl.maskMode ? pl.dstColor->format : pl.srcColor->format, &sd))
        return Gfx_Fail(GFX_ERR_FORMAT, "C_Blit_Kernel::Blit_Fixed{ImageSrc->format}", kSite);
    const bool useFill = pl.maskMode || p.useFillColor != 0;
    const Region srcExtent = SourceExtent(pl);

    // Clipping and placement; each step may find nothing to draw, while a
    // coordinate or factor that is not a number is refused.
    Call c;
    const Region anchorRegion = clip ? RegionOf(*clip) : ExtentOf(*pl.dstColor);
    if (srcRect && !(std::isfinite(srcRect->x0) && std::isfinite(srcRect->y0) && std::isfinite(srcRect->x1) &&
                     std::isfinite(srcRect->y1)))
        return Refuse(GFX_ERR_BAD_DATA, "C_Blit_Kernel::Blit_Fixed{srcRect}",
                      "a corner of the source rectangle is not a finite number");
    if (!ClipSourceRect(c, srcRect, srcExtent)) return true;
    if (!Anchor(c, position, anchorRegion)) {
        if (std::isfinite(c.x) && std::isfinite(c.y)) return true;
        return Refuse(GFX_ERR_BAD_DATA, "C_Blit_Kernel::Blit_Fixed{position}", "the position is not a finite number");
    }
    c.region = DrawRegion(anchorRegion, clip2, pl);
    SetPlacement(c, p);
    if (c.region.Empty()) return true;
    if (!std::isfinite(c.scaleX) || !std::isfinite(c.scaleY) || !std::isfinite(c.angle))
        return Refuse(GFX_ERR_BAD_DATA, "C_Blit_Kernel::Blit_Fixed{params}",
                      "the scale or the angle of the draw parameters is not a finite number");
    Path path = Path::Rotated;
    Corners corners{};
    if (!ChoosePath(c, path, corners)) return true;

    Gfx_FormatDesc dd;
    if (!Gfx_GetFormatDesc(pl.dstColor->format, &dd))
        return Gfx_Fail(GFX_ERR_FORMAT, "C_Blit_Kernel::Blit_Fixed{ImageDst->format}", kSite);
    if (!Drawable(pl, sd, dd)) return false;

    // Opacity. Only 0 < opacity < 1 blends; anything else (1 and more,
    // negative, NaN) draws at full weight.
    if (p.opacity == 0.0f) return true;
    const bool blendFlag = p.opacity > 0.0f && p.opacity < 1.0f;
    const std::int32_t alpha256 = blendFlag ? static_cast<std::int32_t>(p.opacity * 256.0f) : 256;

    // The kernel and its arguments.
    const bool needBlend = blendFlag || pl.srcAlpha != nullptr || pl.dstAlpha != nullptr;
    const bool adjust = (p.filter != 0 && path != Path::Unscaled) || p.useBrightness || p.useContrast;
    SetPixelArgs(c.args, p, sd, dd, useFill, alpha256);
    const Gfx_SpanKernelId id = ChooseKernel(path, adjust, needBlend, p.useKeyColor != 0, useFill, c.flipH);
    c.kernel = table_.load(std::memory_order_relaxed)->fn[id][KernelVariant(path, c, p, pl, useFill, alpha256)];
    c.repeatRows = RepeatRows(id, pl);
    c.bilinearScale = id == GFX_SPAN_SCALE_ADJUST && p.filter != 0;
    SetAddresses(c, pl, srcExtent);

    if (!DrawRows(c, path, corners, pl)) return Gfx_FailSummary(kSite);
    return true;
}

// ---------------------------------------------------------------------------
// Runs of coverage draws (surface/internal/mask_run.h): the set-up of
// Blit_Fixed for a source without colour plane, done once for a run, and
// the unscaled row walk per draw. The kernel, its arguments, the regions
// and the row addresses are those Blit_Fixed would use, so the pixels are.

bool Gfx_MaskRun_Begin(Gfx_MaskRun& run, C_Surface* dst, const C_Frame* clip, const C_Frame* clip2,
                       const C_DrawParams& p, std::uint8_t align) {
    if (Gfx_GetBlitOverride() || C_Blit_Kernel::useDerived || !dst) return false;
    // Only what the plain, unscaled blend of the blit does; anything else
    // (and an opacity of 0, which draws nothing) goes the general way.
    if (p.scale.x != 1.0f || p.scale.y != 1.0f || p.angle != 0.0f || p.flipH || p.flipV || p.wrapH || p.wrapV ||
        p.pivot.align != 0 || p.useKeyColor || p.useBrightness || p.useContrast || p.opacity == 0.0f)
        return false;
    Planes pl;
    pl.dstColor = dst->GetPlane(GFX_PLANE_COLOR);
    pl.dstAlpha = dst->GetPlane(GFX_PLANE_ALPHA);
    pl.maskMode = true;
    pl.srcAlphaUsable = true;
    pl.dstAlphaUsable = Addressable(pl.dstAlpha, 1);
    Gfx_FormatDesc dd;
    if (!Addressable(pl.dstColor, 4) || !Gfx_GetFormatDesc(pl.dstColor->format, &dd) || dd.bitsPerPixel != 32)
        return false;
    if (HasPixels(pl.dstAlpha) && !pl.dstAlphaUsable) return false;  // refused by the blit, with its reason

    const bool blendFlag = p.opacity > 0.0f && p.opacity < 1.0f;
    const std::int32_t alpha256 = blendFlag ? static_cast<std::int32_t>(p.opacity * 256.0f) : 256;
    SetPixelArgs(run.args, p, dd, dd, true, alpha256);
    const Gfx_SpanKernelTable* table = Gfx_SpanKernelsForLevel(Gfx_GetBlitKernel().GetSimdLevel());
    if (!table) return false;
    std::uint32_t variant = GFX_SPAN_FILL | GFX_SPAN_SRC_ALPHA;
    if (pl.dstAlphaUsable) variant |= GFX_SPAN_DST_ALPHA;
    if (alpha256 == 256) variant |= GFX_SPAN_FULL_OPACITY;
    run.kernel = table->fn[GFX_SPAN_ROW_BLEND][variant];

    const Region anchor = clip ? RegionOf(*clip) : ExtentOf(*pl.dstColor);
    const Region region = DrawRegion(anchor, clip2, pl);
    run.baseX = Gfx_AlignBaseIn(ToInt32(anchor.x0), ToInt32(anchor.x1), Gfx_AlignCodeX(align), run.fromFarX);
    run.baseY = Gfx_AlignBaseIn(ToInt32(anchor.y0), ToInt32(anchor.y1), Gfx_AlignCodeY(align), run.fromFarY);
    run.region[0] = region.x0, run.region[1] = region.y0, run.region[2] = region.x1, run.region[3] = region.y1;
    const PlaneView view = ViewOf(pl.dstColor);
    run.dstRow0 = view.row0;
    run.dstPitch = view.pitch;
    run.dstLo = pl.dstColor->data;
    run.dstHi = pl.dstColor->data + pl.dstColor->dataSize;
    run.dstAlphaRow0 = nullptr;
    if (pl.dstAlphaUsable) {
        const PlaneView alphaView = ViewOf(pl.dstAlpha);
        run.dstAlphaRow0 = alphaView.row0;
        run.dstAlphaPitch = alphaView.pitch;
        run.dstAlphaLo = pl.dstAlpha->data;
        run.dstAlphaHi = pl.dstAlpha->data + pl.dstAlpha->dataSize;
    }
    return true;
}

C_Image* Gfx_MaskRun_Coverage(const Gfx_MaskRun& run, C_Surface* src) {
    C_Image* alpha = src && !src->GetPlane(GFX_PLANE_COLOR) ? src->GetPlane(GFX_PLANE_ALPHA) : nullptr;
    if (!Addressable(alpha, 1)) return nullptr;
    // A picture that is also drawn on would change under its own draw.
    const std::uint8_t* lo = alpha->data;
    const std::uint8_t* hi = alpha->data + alpha->dataSize;
    if ((lo < run.dstHi && run.dstLo < hi) || (run.dstAlphaRow0 && lo < run.dstAlphaHi && run.dstAlphaLo < hi))
        return nullptr;
    return alpha;
}

bool Gfx_MaskRun_Source(const C_Image& coverage, const C_Rect& srcRect, Gfx_MaskSource& source) {
    if (!(std::isfinite(srcRect.x0) && std::isfinite(srcRect.y0) && std::isfinite(srcRect.x1) &&
          std::isfinite(srcRect.y1)))
        return false;
    C_Image* alpha = const_cast<C_Image*>(&coverage);  // only read
    Call c;
    source.empty = !ClipSourceRect(c, &srcRect, ExtentOf(*alpha));
    source.x0 = c.args.x0;
    source.y0 = c.args.y0;
    source.x1 = c.args.x1;
    source.y1 = c.args.y1;
    const PlaneView from = ViewOf(alpha);
    source.row0 = from.row0;
    source.pitch = from.pitch;
    return true;
}

void Gfx_MaskRun_Rows(Gfx_MaskRun& run, const Gfx_RunPlace& place) {
    if (place.w <= 0 || place.h <= 0) return;
    Gfx_SpanArgs& a = run.args;
    a.count = static_cast<std::int32_t>(place.w);
    a.dstAlpha = nullptr;
    for (std::int64_t i = 0; i < place.h; ++i) {
        a.srcAlpha = place.row0 + (place.sy + i) * place.pitch + place.sx;
        a.dst = reinterpret_cast<std::uint32_t*>(run.dstRow0 + (place.y + i) * run.dstPitch) + place.x;
        if (run.dstAlphaRow0) a.dstAlpha = run.dstAlphaRow0 + (place.y + i) * run.dstAlphaPitch + place.x;
        run.kernel(a);
    }
}

bool Gfx_CopyRun_Begin(Gfx_CopyRun& run, C_Surface* src, C_Surface* dst, const C_Frame* clip, const C_Frame* clip2,
                       const C_DrawParams& p, std::uint8_t align) {
    if (Gfx_GetBlitOverride() || C_Blit_Kernel::useDerived || !src || !dst) return false;
    // The plain record of ChooseKernel's row or scale copy, at full weight.
    const bool stretched = p.scale.y != 1.0f;
    if (p.scale.x != 1.0f || (stretched && (p.filter != 0 || !SaneScale(p.scale.y) || p.scale.y < 0.0f)) ||
        p.angle != 0.0f || p.flipH || p.flipV || p.wrapH || p.wrapV || p.pivot.align != 0 || p.pivot.x != 0.0f ||
        p.pivot.y != 0.0f || p.useKeyColor || p.useFillColor || p.useBrightness || p.useContrast || p.opacity == 0.0f ||
        (p.opacity > 0.0f && p.opacity < 1.0f))
        return false;
    Planes pl;
    pl.srcColor = src->GetPlane(GFX_PLANE_COLOR);
    pl.dstColor = dst->GetPlane(GFX_PLANE_COLOR);
    if (src->GetPlane(GFX_PLANE_ALPHA) || dst->GetPlane(GFX_PLANE_ALPHA)) return false;
    Gfx_FormatDesc sd, dd;
    if (!Addressable(pl.srcColor, 4) || !Addressable(pl.dstColor, 4) || !Gfx_GetFormatDesc(pl.srcColor->format, &sd) ||
        !Gfx_GetFormatDesc(pl.dstColor->format, &dd) || sd.bitsPerPixel != 32 || dd.bitsPerPixel != 32 ||
        Overlap(pl.srcColor, pl.dstColor))
        return false;

    const Region anchor = clip ? RegionOf(*clip) : ExtentOf(*pl.dstColor);
    const Region region = DrawRegion(anchor, clip2, pl);
    const Region extent = ExtentOf(*pl.srcColor);
    run.anchor[0] = anchor.x0, run.anchor[1] = anchor.y0, run.anchor[2] = anchor.x1, run.anchor[3] = anchor.y1;
    run.region[0] = region.x0, run.region[1] = region.y0, run.region[2] = region.x1, run.region[3] = region.y1;
    run.align = align;
    run.scaleY = p.scale.y;
    const PlaneView from = ViewOf(pl.srcColor), to = ViewOf(pl.dstColor);
    run.srcRow0 = from.row0;
    run.srcPitch = from.pitch;
    run.srcW = extent.x1;
    run.srcH = extent.y1;
    run.dstRow0 = to.row0;
    run.dstPitch = to.pitch;
    return true;
}

namespace {

// DrawUnscaled's clipping of a copy.
void PlaceUnscaled(const Gfx_CopyRun& run, const Call& c, Gfx_CopyPlace& place) {
    std::int64_t sx0 = c.args.x0, sy0 = c.args.y0, sx1 = c.args.x1, sy1 = c.args.y1;
    std::int64_t X = c.X, Y = c.Y;
    std::int64_t w = sx1 - sx0, h = sy1 - sy0;
    Gfx_ClipUnscaledAxis(X, w, sx0, sx1, false, run.region[0], run.region[2]);
    Gfx_ClipUnscaledAxis(Y, h, sy0, sy1, false, run.region[1], run.region[3]);
    if (w <= 0 || h <= 0) return;
    place = {X, Y, w, h, sx0 - X, sx0, sx0 + w - 1, (sy0 - Y) * 65536, 65536, sy0, sy0 + h - 1};
}

// ChoosePath's and DrawScaled's placement of a copy stretched down the rows
// (horizontal scale 1, so column steps are whole pixels).
void PlaceStretched(const Gfx_CopyRun& run, Call& c, Gfx_CopyPlace& place) {
    c.srcW = c.fx1 - c.fx0;
    c.srcH = c.fy1 - c.fy0;
    c.scaleX = 1.0f;
    c.scaleY = run.scaleY;
    const float right = c.x + c.srcW * c.scaleX, bottom = c.y + c.srcH * c.scaleY + 0.3f;
    if (!Gfx_SaneCoord(right) || !Gfx_SaneCoord(bottom)) return;
    const Region region{run.region[0], run.region[1], run.region[2], run.region[3]};
    if (c.X + Trunc(c.srcW * c.scaleX) < region.x0 || c.Y + Trunc(c.srcH * c.scaleY) < region.y0 || c.X > region.x1 ||
        c.Y > region.y1)
        return;
    std::int64_t firstCol = Trunc(c.x + 0.3f);
    std::int64_t lastCol = Trunc((c.x + c.srcW * c.scaleX) * 65536.0f) >> 16;
    std::int64_t firstRow = Trunc(c.y + 0.3f);
    std::int64_t endRow = Trunc((c.y + c.srcH * c.scaleY + 0.3f) * 65536.0f) >> 16;
    const std::int64_t dv = Trunc(65536.0f / c.scaleY);
    firstCol = std::max(firstCol, run.region[0]);
    firstRow = std::max(firstRow, run.region[1]);
    lastCol = std::min(lastCol, run.region[2] - 1);
    endRow = std::min(endRow, run.region[3]);
    std::int64_t uStart = 0, vStart = 0;
    const float uf = (c.fx0 - c.x / c.scaleX) * 65536.0f;
    const float vf = (c.fy0 - c.y / c.scaleY) * 65536.0f;
    if (!TruncChecked(uf, kMaxStart, uStart) || !TruncChecked(vf, kMaxStart, vStart)) return;
    if (firstCol > lastCol || firstRow >= endRow) return;
    place = {firstCol,     firstRow,  lastCol - firstCol + 1, endRow - firstRow,
             uStart >> 16, c.args.x0, c.args.x1 - 1,          vStart,
             dv,           c.args.y0, c.args.y1 - 1};
}

}  // namespace

bool Gfx_CopyRun_Place(const Gfx_CopyRun& run, const C_Rect& srcRect, float atX, float atY, Gfx_CopyPlace& place) {
    if (!(std::isfinite(srcRect.x0) && std::isfinite(srcRect.y0) && std::isfinite(srcRect.x1) &&
          std::isfinite(srcRect.y1)))
        return false;
    place = Gfx_CopyPlace();
    Call c;
    if (!ClipSourceRect(c, &srcRect, Region{0, 0, run.srcW, run.srcH})) return true;
    const Region anchor{run.anchor[0], run.anchor[1], run.anchor[2], run.anchor[3]};
    // The plain record's pivot offset is (-0, -0) scaled.
    const C_Vector2D at(atX + -0.0f, atY + -0.0f, run.align);
    if (!Anchor(c, &at, anchor)) return false;
    if (run.scaleY == 1.0f)
        PlaceUnscaled(run, c, place);
    else
        PlaceStretched(run, c, place);
    return true;
}
