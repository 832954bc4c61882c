#include "surface/fill.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstring>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/error.h"
#include "core/internal/parallel.h"
#include "image/image.h"
#include "math/scalar.h"
#include "math/shapes.h"
#include "math/vector.h"
#include "surface/blit.h"
#include "surface/blit_kernel.h"
#include "surface/internal/blit_rows.h"
#include "surface/internal/mask_run.h"
#include "surface/surface.h"
#include "surface/draw_params.h"

namespace {

using std::int64_t;

// Tile sizes and counts stay below this, so every index product fits.
constexpr float kMaxTile = 2147483648.0f;  // 2^31

bool Finite(const C_Rect& r) {
    return std::isfinite(r.x0) && std::isfinite(r.y0) && std::isfinite(r.x1) && std::isfinite(r.y1);
}

bool Finite(const C_Vector2D& v) { return std::isfinite(v.x) && std::isfinite(v.y); }

// What both operations work from.
struct Fill {
    C_DrawParams p;          // the working copy of the record
    float W = 0, H = 0;      // the whole picture
    float sx0 = 0, sy0 = 0;  // the source rectangle, inside the picture
    float sx1 = 0, sy1 = 0;
    float x0 = 0, y0 = 0;  // destRect
    float x1 = 0, y1 = 0;
    float px = 0, py = 0;  // the pivot, resolved against destRect's size
    C_Vector2D pos;        // position, with its align byte
};

bool Prepare(C_Surface* src, const C_Rect* srcRect, const C_Rect* destRect, const C_Vector2D* position,
             const C_DrawParams* params, Fill& f) {
    f.p = params ? *params : C_DrawParams();
    const C_Image* picture = src ? src->GetPlane(GFX_PLANE_COLOR) : nullptr;
    if (!picture || picture->width == 0 || picture->height == 0 || !destRect) return false;
    if (!Finite(*destRect) || (srcRect && !Finite(*srcRect)) || (position && !Finite(*position))) return false;
    const C_DrawParams& p = f.p;
    if (!Finite(p.scale) || !Finite(p.pivot) || !Finite(p.tileOffset) || !std::isfinite(p.angle)) return false;

    f.W = static_cast<float>(picture->width);
    f.H = static_cast<float>(picture->height);
    f.sx1 = f.W;
    f.sy1 = f.H;
    if (srcRect) {
        f.sx0 = std::max(srcRect->x0, 0.0f);
        f.sy0 = std::max(srcRect->y0, 0.0f);
        f.sx1 = std::min(srcRect->x1, f.W);
        f.sy1 = std::min(srcRect->y1, f.H);
    }
    f.x0 = destRect->x0;
    f.y0 = destRect->y0;
    f.x1 = destRect->x1;
    f.y1 = destRect->y1;
    f.px = Gfx_AlignCoord(p.pivot.x, f.x1 - f.x0, Gfx_AlignCodeX(p.pivot.align));
    f.py = Gfx_AlignCoord(p.pivot.y, f.y1 - f.y0, Gfx_AlignCodeY(p.pivot.align));
    f.pos = position ? *position : C_Vector2D();
    return true;
}

// A tile's size in whole destination pixels; false unless it is at least
// one pixel and below 2^31.
bool TileSize(float sourceExtent, float scale, int64_t& size) {
    const float s = sourceExtent * scale;
    if (!(s >= 1.0f && s < kMaxTile)) return false;
    size = static_cast<int64_t>(s);
    return true;
}

// The tile offset along one axis: aligned inside the rectangle's extent
// (centring over a hair more than the extent), then wrapped into one tile.
// The float wrap can leave a huge offset outside the period; that one is
// wrapped exactly instead.
float TileOffset(float v, float extent, std::uint32_t code, int64_t size) {
    float o = v;
    if (code == 1) o = extent - v;
    if (code == 2) o = (extent + 0.01f) / 2.0f + v;
    const auto period = static_cast<float>(size);
    float w = Math_Wrap(o, period);
    if (!(w >= 0.0f && w <= period)) {
        w = std::fmod(o, period);
        if (w < 0.0f) w += period;
        if (!(w >= 0.0f && w <= period)) w = 0.0f;
    }
    return w;
}

// Whole tiles that fit between a first cell at `first` and `end`.
int64_t WholeTiles(float first, float end, int64_t size) {
    const float room = std::clamp(end - first, -kMaxTile, kMaxTile);
    return static_cast<int64_t>(room) / size;
}

// One axis of the tile grid. Cells are numbered -1 (the leading cell before
// the first whole one), 0 .. count - 1 (whole) and count (the cell that
// reaches past the rectangle's far edge).
struct Axis {
    float lo, hi;   // the rectangle's edges
    float offset;   // the wrapped tile offset
    int64_t size;   // tile size in pixels
    int64_t count;  // whole tiles
    float scale;
    float s0, s1;  // source edges

    // The cell's corner, relative to the rectangle.
    float Corner(int64_t i) const { return i < 0 ? 0.0f : static_cast<float>(i * size) + offset; }

    // The source range the cell draws: the leading cell shows the end of
    // the source, cut cells stop where the rectangle ends.
    void Source(int64_t i, float& a, float& b) const {
        a = i < 0 ? std::max(s0, s1 - offset / scale) : s0;
        b = s1;
        if (i < 0 || i >= count) b = std::min(b, (hi - (lo + Corner(i))) / scale + a);
    }
};

// The cells worth issuing along one axis: whole and cut cells lo .. hi, and
// whether the leading cell is.
struct Span {
    int64_t lo, hi;
    bool leading;
};

// The cells whose corner lies in [c0, c1] (in rectangle coordinates).
Span CellsBetween(const Axis& a, double c0, double c1) {
    const double lo = std::ceil((c0 - a.offset) / double(a.size));
    const double hi = std::floor((c1 - a.offset) / double(a.size));
    const auto bounded = [&](double v) {
        return static_cast<int64_t>(std::clamp(v, -2.0, static_cast<double>(a.count) + 1.0));
    };
    return {bounded(lo), bounded(hi), c0 <= 0.0 && 0.0 <= c1};
}

// Skips tiles that cannot reach the destination. A tile placed at P draws
// within its size (rotated in any direction) of P's anchored point, and its
// wrap copies one target width or height away; the pixels that can be
// reached are turned back into the range of P, then into cell corners by
// undoing the rotation. Without a destination colour plane nothing is drawn
// at all. An installed override sees every tile: its geometry is unknown.
void Cull(const Fill& f, C_Surface* dst, const C_Frame* clip, const C_Frame* clip2, const Axis& ax, const Axis& ay,
          float originX, float originY, Span& sx, Span& sy) {
    sx = {-1, ax.count, true};
    sy = {-1, ay.count, true};
    if (Gfx_GetBlitOverride()) return;
    const C_Image* target = dst ? dst->GetPlane(GFX_PLANE_COLOR) : nullptr;
    if (!target) {
        sx = sy = {0, -1, false};
        return;
    }
    // The anchoring rectangle, and what of it can be drawn.
    double tx0 = 0, ty0 = 0, tx1 = target->width, ty1 = target->height;
    if (clip) tx0 = clip->x0, ty0 = clip->y0, tx1 = clip->x1, ty1 = clip->y1;
    double vx0 = std::max(tx0, 0.0), vy0 = std::max(ty0, 0.0);
    double vx1 = std::min<double>(tx1, target->width), vy1 = std::min<double>(ty1, target->height);
    double wx0 = tx0, wy0 = ty0, wx1 = tx1, wy1 = ty1;  // the wrap copies' distances
    if (clip2) {
        vx0 = std::max<double>(vx0, clip2->x0), vy0 = std::max<double>(vy0, clip2->y0);
        vx1 = std::min<double>(vx1, clip2->x1), vy1 = std::min<double>(vy1, clip2->y1);
        wx0 = std::max<double>(wx0, clip2->x0), wy0 = std::max<double>(wy0, clip2->y0);
        wx1 = std::min<double>(wx1, clip2->x1), wy1 = std::min<double>(wy1, clip2->y1);
    }
    if (vx1 <= vx0 || vy1 <= vy0) {
        sx = sy = {0, -1, false};
        return;
    }
    const C_DrawParams& p = f.p;
    const double reach = double(ax.size) + double(ay.size) + 4.0 + 0.002 * (double(p.scale.x) + double(p.scale.y));

    // Anchored coordinate -> position coordinate, per axis (the blit
    // measures from the left or right edge, or from the centre).
    const auto unanchor = [](double lo, double hi, double t0, double t1, std::uint32_t code, double& out0,
                             double& out1) {
        if (code == 1) {
            out0 = t1 - hi;
            out1 = t1 - lo;
        } else {
            const double base = code == 2 ? (t1 - t0) / 2.0 + t0 : t0;
            out0 = lo - base;
            out1 = hi - base;
        }
    };
    double p0x, p1x, p0y, p1y;
    unanchor(vx0 - reach, vx1 + reach, tx0, tx1, Gfx_AlignCodeX(f.pos.align), p0x, p1x);
    unanchor(vy0 - reach, vy1 + reach, ty0, ty1, Gfx_AlignCodeY(f.pos.align), p0y, p1y);
    if (p.wrapH == 1) p0x -= std::fabs(wx1 - wx0), p1x += std::fabs(wx1 - wx0);
    if (p.wrapV == 1) p0y -= std::fabs(wy1 - wy0), p1y += std::fabs(wy1 - wy0);

    // P = R(c - pivot) + pivot + origin, so c = R^-1(P - pivot - origin) + pivot.
    const double a = -double(p.angle) * 3.141592653589793 / 180.0;
    const double s = p.angle == 0.0f ? 0.0 : std::sin(a), c = p.angle == 0.0f ? 1.0 : std::cos(a);
    double c0x = std::numeric_limits<double>::max(), c1x = -c0x, c0y = c0x, c1y = -c0x;
    for (const double qx : {p0x, p1x})
        for (const double qy : {p0y, p1y}) {
            const double dx = qx - f.px - originX, dy = qy - f.py - originY;
            const double cx = c * dx - s * dy + f.px, cy = c * dy + s * dx + f.py;
            c0x = std::min(c0x, cx), c1x = std::max(c1x, cx);
            c0y = std::min(c0y, cy), c1y = std::max(c1y, cy);
        }
    if (!std::isfinite(c0x) || !std::isfinite(c1x) || !std::isfinite(c0y) || !std::isfinite(c1y)) return;
    sx = CellsBetween(ax, c0x - 2.0, c1x + 2.0);
    sy = CellsBetween(ay, c0y - 2.0, c1y + 2.0);
}

// The destination rows a fill can change: the colour plane's, within both
// clips. Empty when the fill must not be split: with an override installed
// (it draws whatever it likes, wherever) or when the source shares pixels
// with the destination (a band could read rows another band has written).
bool SplittableRows(C_Surface* src, C_Surface* dst, const C_Frame* clip, const C_Frame* clip2, int64_t& y0, int64_t& y1,
                    int64_t& width) {
    const C_Image* target = dst ? dst->GetPlane(GFX_PLANE_COLOR) : nullptr;
    if (!target || !src || src == dst || Gfx_GetBlitOverride()) return false;
    for (std::uint32_t plane : {GFX_PLANE_COLOR, GFX_PLANE_ALPHA}) {
        const C_Image* from = src->GetPlane(plane);
        if (!from || !from->data) continue;
        for (const C_Image* to : {target, static_cast<const C_Image*>(dst->GetPlane(GFX_PLANE_ALPHA))}) {
            if (!to || !to->data) continue;
            if (from->data < to->data + to->dataSize && to->data < from->data + from->dataSize) return false;
        }
    }
    int64_t x0 = 0, x1 = target->width;
    y0 = 0, y1 = target->height;
    for (const C_Frame* f : {clip, clip2}) {
        if (!f) continue;
        x0 = std::max<int64_t>(x0, f->x0), x1 = std::min<int64_t>(x1, f->x1);
        y0 = std::max<int64_t>(y0, f->y0), y1 = std::min<int64_t>(y1, f->y1);
    }
    width = x1 - x0;
    return width > 0 && y1 > y0;
}

// Runs `draw` (every blit of one fill, in order) once per band of
// destination rows, the bands split among threads when the fill is large:
// each band repeats the whole sequence limited to its rows, so every pixel
// sees the same blits in the same order as in one pass.
template <typename Draw>
void InRowBands(C_Surface* src, C_Surface* dst, const C_Frame* clip, const C_Frame* clip2, Draw& draw) {
    int64_t y0 = 0, y1 = 0, width = 0;
    if (!SplittableRows(src, dst, clip, clip2, y0, y1, width)) {
        draw();
        return;
    }
    // Worker threads draw from the same planes as the caller (the canvas
    // switches to derived copies per thread).
    const std::uint8_t derived = C_Blit_Kernel::useDerived;
    auto band = [&](std::int32_t first, std::int32_t end) {
        const std::uint8_t before = C_Blit_Kernel::useDerived;
        C_Blit_Kernel::useDerived = derived;
        {
            const C_BlitRowBand rows(y0 + first, y0 + end);
            draw();
        }
        C_Blit_Kernel::useDerived = before;
    };
    Gfx_ParallelRows(static_cast<std::int32_t>(y1 - y0), static_cast<std::uint64_t>((y1 - y0) * width), band);
}

// ---------------------------------------------------------------------------
// Opaque copies of tiles (Gfx_CopyRun), unscaled or stretched down the rows:
// the tiles' placements are
// gathered first, then the destination is written row after row, each row
// from every tile that covers it. Every tile overwrites its pixels with the
// source's, so a row comes out as the blits in their order would leave it,
// and each destination byte is written once, in memory order.

constexpr std::size_t kMaxCopies = 256;  // more tiles than this are blitted

using Copies = std::array<Gfx_CopyPlace, kMaxCopies>;

// The copies covering row y, in the order the blits were issued, and the
// first row after y where that set changes (at most `end`).
std::size_t CopiesAt(const Copies& all, std::size_t n, int64_t y, int64_t end, std::uint16_t* active, int64_t& next) {
    std::size_t k = 0;
    next = end;
    for (std::size_t i = 0; i < n; ++i) {
        const Gfx_CopyPlace& q = all[i];
        if (q.y <= y && y < q.y + q.h) {
            active[k++] = static_cast<std::uint16_t>(i);
            next = std::min(next, q.y + q.h);
        } else if (q.y > y) {
            next = std::min(next, q.y);
        }
    }
    // Copies apart from each other may go left to right instead.
    std::uint16_t sorted[kMaxCopies];
    std::copy(active, active + k, sorted);
    std::sort(sorted, sorted + k, [&](std::uint16_t a, std::uint16_t b) { return all[a].x < all[b].x; });
    for (std::size_t i = 1; i < k; ++i)
        if (all[sorted[i - 1]].x + all[sorted[i - 1]].w > all[sorted[i]].x) return k;
    std::copy(sorted, sorted + k, active);
    return k;
}

// Fills writing more than this go around the caches: the destination would
// not stay in them anyway, and streaming stores spare reading each line in
// before it is overwritten.
constexpr std::uint64_t kStreamBytes = std::uint64_t{1} << 22;

// Copies `bytes` (a multiple of 4) to 4-byte aligned `to`; with `stream`,
// the 16-byte aligned middle through streaming stores. The bytes are the same.
void CopyPixels(std::uint8_t* to, const std::uint8_t* from, std::size_t bytes, bool stream) {
#if defined(__SSE2__)
    if (stream) {
        for (; bytes >= 4 && reinterpret_cast<std::uintptr_t>(to) % 16 != 0; bytes -= 4, to += 4, from += 4)
            std::memcpy(to, from, 4);
        for (; bytes >= 64; bytes -= 64, to += 64, from += 64) {
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 16));
            const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 32));
            const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 48));
            _mm_stream_si128(reinterpret_cast<__m128i*>(to), a);
            _mm_stream_si128(reinterpret_cast<__m128i*>(to + 16), b);
            _mm_stream_si128(reinterpret_cast<__m128i*>(to + 32), c);
            _mm_stream_si128(reinterpret_cast<__m128i*>(to + 48), d);
        }
        for (; bytes >= 16; bytes -= 16, to += 16, from += 16)
            _mm_stream_si128(reinterpret_cast<__m128i*>(to), _mm_loadu_si128(reinterpret_cast<const __m128i*>(from)));
    }
#else
    (void)stream;
#endif
    std::memcpy(to, from, bytes);
}

// Streaming stores are ordered before anything the band's end publishes.
void EndStreaming(bool stream) {
#if defined(__SSE2__)
    if (stream) _mm_sfence();
#else
    (void)stream;
#endif
}

// The source index the kernel reads for `v`: clamped to hi, then to lo.
int64_t Clamped(int64_t v, int64_t lo, int64_t hi) { return std::max(std::min(v, hi), lo); }

// Destination row y of copy q: the source row's columns, with the edge
// columns repeated where the copy reaches past them.
void CopyRow(const Gfx_CopyRun& run, const Gfx_CopyPlace& q, int64_t y, bool stream) {
    const int64_t sy = Clamped((q.v0 + y * q.dv) >> 16, q.ylo, q.yhi);
    const auto* from = reinterpret_cast<const std::uint32_t*>(run.srcRow0 + sy * run.srcPitch);
    auto* to = reinterpret_cast<std::uint32_t*>(run.dstRow0 + y * run.dstPitch);
    int64_t x = q.x;
    const int64_t end = q.x + q.w;
    const int64_t inside = std::max(std::min(end, q.xhi - q.colBase + 1), x);
    for (; x < end && (q.colBase + x < q.xlo || q.xhi < q.xlo); ++x) to[x] = from[Clamped(q.colBase + x, q.xlo, q.xhi)];
    if (x < inside) {
        CopyPixels(reinterpret_cast<std::uint8_t*>(to + x), reinterpret_cast<const std::uint8_t*>(from + q.colBase + x),
                   static_cast<std::size_t>(inside - x) * 4, stream);
        x = inside;
    }
    for (; x < end; ++x) to[x] = from[Clamped(q.colBase + x, q.xlo, q.xhi)];
}

void CopyRows(const Gfx_CopyRun& run, const Copies& all, std::size_t n, int64_t y, int64_t end, bool stream) {
    std::uint16_t active[kMaxCopies];
    while (y < end) {
        int64_t next = end;
        const std::size_t k = CopiesAt(all, n, y, end, active, next);
        for (; y < next; ++y)
            for (std::size_t i = 0; i < k; ++i) CopyRow(run, all[active[i]], y, stream);
    }
    EndStreaming(stream);
}

// Gathers the placements of every tile `forEachTile` issues and draws them
// in row order, split among threads when large. False, with nothing drawn,
// when a tile cannot be placed this way or there are too many.
template <typename ForEach, typename Geometry>
bool CopyTiles(const Gfx_CopyRun& run, ForEach& forEachTile, Geometry& geometry) {
    Copies all;
    std::size_t n = 0;
    bool ok = true;
    forEachTile([&](int64_t i, int64_t j) {
        C_Rect piece;
        C_Vector2D at;
        Gfx_CopyPlace q;
        if (!ok || !geometry(i, j, piece, at)) return;
        if (!Gfx_CopyRun_Place(run, piece, at.x, at.y, q) || (q.w > 0 && q.h > 0 && n == kMaxCopies)) {
            ok = false;
            return;
        }
        if (q.w > 0 && q.h > 0) all[n++] = q;
    });
    if (!ok) return false;
    if (n == 0) return true;
    int64_t y0 = all[0].y, y1 = all[0].y + all[0].h;
    std::uint64_t pixels = 0;
    for (std::size_t i = 0; i < n; ++i) {
        y0 = std::min(y0, all[i].y);
        y1 = std::max(y1, all[i].y + all[i].h);
        pixels += static_cast<std::uint64_t>(all[i].w) * static_cast<std::uint64_t>(all[i].h);
    }
    const bool stream = pixels * 4 >= kStreamBytes;
    auto band = [&](std::int32_t first, std::int32_t end) { CopyRows(run, all, n, y0 + first, y0 + end, stream); };
    Gfx_ParallelRows(static_cast<std::int32_t>(y1 - y0), pixels, band);
    return true;
}

}  // namespace

bool Gfx_Surface_DrawTiled(C_Surface* src, C_Surface* dst, const C_Rect* srcRect, const C_Frame* clip,
                           const C_Frame* clip2, const C_Rect* destRect, const C_Vector2D* position, std::uint32_t mode,
                           const C_DrawParams* params) {
    Fill f;
    if (!Prepare(src, srcRect, destRect, position, params, f)) return false;
    if (!(f.x1 > f.x0) || !(f.y1 > f.y0)) return false;
    const C_DrawParams& p = f.p;
    const float originX = f.x0 - f.px + f.pos.x, originY = f.y0 - f.py + f.pos.y;

    Axis ax{f.x0, f.x1, 0, 0, 0, p.scale.x, f.sx0, f.sx1};
    Axis ay{f.y0, f.y1, 0, 0, 0, p.scale.y, f.sy0, f.sy1};
    if (!TileSize(f.sx1 - f.sx0, p.scale.x, ax.size) || !TileSize(f.sy1 - f.sy0, p.scale.y, ay.size)) return false;
    ax.offset = TileOffset(p.tileOffset.x, f.x1 - f.x0, Gfx_AlignCodeX(p.tileOffset.align), ax.size);
    ay.offset = TileOffset(p.tileOffset.y, f.y1 - f.y0, Gfx_AlignCodeY(p.tileOffset.align), ay.size);
    ax.count = WholeTiles(f.x0 + ax.offset, f.x1, ax.size);
    ay.count = WholeTiles(f.y0 + ay.offset, f.y1, ay.size);

    // Each tile is held at its corner; a flipped tile is held at the corner
    // that the flip moves there, so that it is mirrored inside its cell.
    C_DrawParams tileParams = p;
    tileParams.pivot = C_Vector2D(0.0f, 0.0f, static_cast<std::uint8_t>((p.flipV ? 0x10 : 0) | (p.flipH ? 0x01 : 0)));

    // Where tile (i, j) is drawn from and to; false when nothing of the
    // source is left for it.
    auto geometry = [&](int64_t i, int64_t j, C_Rect& piece, C_Vector2D& at) {
        float a, b, c, d;
        ax.Source(i, a, b);
        ay.Source(j, c, d);
        if (!(b > a) || !(d > c)) return false;
        at = C_Vector2D(ax.Corner(i) - f.px, ay.Corner(j) - f.py);
        at.Rotate(p.angle);
        at = C_Vector2D(at.x + f.px + originX, at.y + f.py + originY, f.pos.align);
        piece = C_Rect(a, c, b, d);
        return true;
    };

    Span sx, sy;
    Cull(f, dst, clip, clip2, ax, ay, originX, originY, sx, sy);
    const int64_t iFirst = std::max<int64_t>(sx.lo, 0), iLast = std::min(sx.hi, ax.count);
    const int64_t jFirst = std::max<int64_t>(sy.lo, 0), jLast = std::min(sy.hi, ay.count);
    auto forEachTile = [&](auto&& tile) {
        // Whole rows, each ended by its cut tile; then the cut bottom row.
        for (int64_t j = jFirst; j <= jLast; ++j)
            for (int64_t i = iFirst; i <= iLast; ++i) tile(i, j);
        // The leading row above the first whole cell, corner first; then the
        // leading column left of it, down to the bottom-left corner.
        if (sy.leading) {
            if (sx.leading) tile(-1, -1);
            for (int64_t i = iFirst; i <= iLast; ++i) tile(i, -1);
        }
        if (sx.leading)
            for (int64_t j = jFirst; j <= jLast; ++j) tile(-1, j);
    };

    Gfx_CopyRun run;
    if (Gfx_CopyRun_Begin(run, src, dst, clip, clip2, tileParams, f.pos.align) && CopyTiles(run, forEachTile, geometry))
        return true;

    // A tile the blit refuses (a destination it cannot draw on, say) does
    // not stop the others; the call reports it at the end.
    std::atomic<bool> failed{false};  // row bands may draw tiles on worker threads
    auto allTiles = [&] {
        forEachTile([&](int64_t i, int64_t j) {
            C_Rect piece;
            C_Vector2D at;
            if (!geometry(i, j, piece, at)) return;
            if (!Gfx_Surface_BlitTransformed(src, dst, &piece, clip, clip2, &at, mode, &tileParams)) failed = true;
        });
    };
    InRowBands(src, dst, clip, clip2, allTiles);
    return !failed;
}

bool Gfx_Surface_DrawInRect(C_Surface* src, C_Surface* dst, const C_Rect* srcRect, const C_Frame* clip,
                            const C_Frame* clip2, const C_Rect* destRect, const C_Vector2D* position,
                            std::uint32_t mode, const C_DrawParams* params) {
    Fill f;
    if (!Prepare(src, srcRect, destRect, position, params, f)) return false;
    C_DrawParams& p = f.p;
    const std::uint8_t across = p.fillModeH, down = p.fillModeV;

    // The pivot is resolved against destRect here; what is handed on holds
    // the resolved value with its alignment cleared, so it is applied once.
    if (across == 0 && down == 0) {
        if (!(f.x1 > f.x0) || !(f.y1 > f.y0)) return false;
        p.scale = C_Vector2D((f.x1 - f.x0) / f.W, (f.y1 - f.y0) / f.H);
        p.pivot = C_Vector2D(f.px / p.scale.x, f.py / p.scale.y, 0);
        const C_Vector2D at(f.x0 + f.pos.x, f.y0 + f.pos.y, f.pos.align);
        return Gfx_Surface_BlitTransformed(src, dst, srcRect, clip, clip2, &at, mode, &p);
    }
    if (across == 0 && down == 1) {
        if (!(f.x1 > f.x0)) return false;
        p.scale.x = std::max((f.x1 - f.x0) / f.W, 1.0f / f.W);
        p.pivot.x = f.px;
        p.pivot.align &= 0xF0;
    } else if (across == 1 && down == 0) {
        if (!(f.y1 > f.y0)) return false;
        p.scale.y = std::max((f.y1 - f.y0) / f.H, 1.0f / f.H);
        p.pivot.y = f.py;
        p.pivot.align &= 0x0F;
    } else if (across != 1 || down != 1) {
        Gfx_Fail(GFX_ERR_BAD_DATA, "Gfx_Surface_DrawInRect{params->fillModeH}", "Gfx_Surface_DrawInRect");
        Gfx_SetErrorReason("fill modes are 0 (stretch) or 1 (tile) on each axis, not fillModeH %u and fillModeV %u",
                           static_cast<unsigned>(across), static_cast<unsigned>(down));
        return false;
    }
    // An empty rectangle along a tiled axis is nothing to draw, not a failure.
    const bool tiled = Gfx_Surface_DrawTiled(src, dst, srcRect, clip, clip2, destRect, position, mode, &p);
    return tiled || !(f.x1 > f.x0) || !(f.y1 > f.y0);
}
