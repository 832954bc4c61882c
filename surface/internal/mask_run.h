// Runs of unscaled, unrotated, unmirrored draws onto one destination whose
// set-up the transformed blit would repeat for every draw:
// - coverage pictures (a source surface with an alpha plane and no colour
//   plane) in one fill colour: the glyphs of a text;
// - plain copies of one source's colour plane: the tiles of a fill.
// The destination, clips, kernel and pixel arguments are set up once for the
// run; each draw then only places and clips its source rectangle, which
// gives exactly the pixels the transformed blit gives for the same draw.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "surface/internal/span_kernels.h"

class C_Surface;
class C_Rect;
class C_Frame;
class C_Vector2D;
struct C_DrawParams;

struct Gfx_MaskRun {
    Gfx_SpanArgs args{};
    Gfx_SpanFn kernel = nullptr;
    std::uint8_t* dstRow0 = nullptr;  // row 0 and the signed row step
    std::ptrdiff_t dstPitch = 0;
    std::uint8_t* dstAlphaRow0 = nullptr;  // null: no usable alpha plane
    std::ptrdiff_t dstAlphaPitch = 0;
    // The destination buffers, which no picture of the run may share.
    const std::uint8_t *dstLo = nullptr, *dstHi = nullptr;
    const std::uint8_t *dstAlphaLo = nullptr, *dstAlphaHi = nullptr;
    // The anchoring of every position, worked out once from the anchor
    // rectangle and codes: base + v, or base - v when the anchor is the far
    // edge.
    float baseX = 0.0f, baseY = 0.0f;
    bool fromFarX = false, fromFarY = false;
    std::int64_t region[4] = {};  // the pixels that may be written
};

// Where one draw lands, clipped: `w` x `h` pixels from source column `sx`,
// row `sy` of the plane whose row 0 is `row0` (rows `pitch` bytes apart,
// negative for bottom-up planes), onto destination column `x`, row `y`.
// Nothing is drawn when `w` or `h` is below 1.
struct Gfx_RunPlace {
    const std::uint8_t* row0 = nullptr;
    std::ptrdiff_t pitch = 0;
    std::int64_t sx = 0, sy = 0, x = 0, y = 0, w = 0, h = 0;
};

// Sets `run` up for draws with `params` (scale 1, angle 0, no mirroring, no
// wrap copies, no colour effects, no key colour) onto `dst` within `clip`
// and `clip2`, positions anchored by `align`. False when the run cannot take
// these draws (they must go through the transformed blit): the record asks
// for more, a blit override is installed, the calling thread reads derived
// planes, or the destination is not a drawable 32-bit colour plane (with an
// 8-bit alpha plane or none).
bool Gfx_MaskRun_Begin(Gfx_MaskRun& run, C_Surface* dst, const C_Frame* clip, const C_Frame* clip2,
                       const C_DrawParams& params, std::uint8_t align);

// The plane the run draws of `src`: its alpha plane when it has no colour
// plane and shares no buffer with the destination; null when its draws
// must go through the transformed blit.
C_Image* Gfx_MaskRun_Coverage(const Gfx_MaskRun& run, C_Surface* src);

// The source rectangle of draws of `coverage` (from Gfx_MaskRun_Coverage):
// the blit's `srcRect` limited to the plane, worked out once for every draw
// of it. False when the draws must go through the transformed blit (a
// corner that is not a finite number).
struct Gfx_MaskSource {
    const std::uint8_t* row0 = nullptr;  // the plane's row 0 and row step
    std::ptrdiff_t pitch = 0;
    std::int32_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    bool empty = true;  // nothing of the plane is drawn
};
bool Gfx_MaskRun_Source(const C_Image& coverage, const C_Rect& srcRect, Gfx_MaskSource& source);

// The blit's clipping of an unscaled draw along one axis: `pos` and
// `extent` limited to [lo, hi), the source span [s0, s1) moved along (from
// its far end when mirrored). Shared by the blit and its mask runs.
inline void Gfx_ClipUnscaledAxis(std::int64_t& pos, std::int64_t& extent, std::int64_t& s0, std::int64_t& s1, bool flip,
                                 std::int64_t lo, std::int64_t hi) {
    if (pos + extent > hi) extent = hi - pos;
    if (pos < lo) {
        const std::int64_t d = lo - pos;
        extent -= d;
        pos = lo;
        if (flip)
            s1 = std::max<std::int64_t>(s1 - d, 1);
        else
            s0 += d;
    }
}

// Anchored positions and rotated corners beyond 2^30 pixels from the origin
// draw nothing; no image is that large. False for NaN too.
inline bool Gfx_SaneCoord(float v) { return std::fabs(v) < 1073741824.0f; }

// The blit's whole pixel of a position: rounded toward zero from above 0,
// else from one lower.
inline std::int64_t Gfx_PixelOf(float v) {
    return v >= 0.0f ? static_cast<std::int64_t>(v) : static_cast<std::int64_t>(v - 1.0f);
}

// Places one draw of `source` at (atX, atY), the position after the pivot
// offset. False when the draw must go through the transformed blit instead
// (a position that is not a sane number). Inline: a text places every glyph.
inline bool Gfx_MaskRun_Place(const Gfx_MaskRun& run, const Gfx_MaskSource& source, float atX, float atY,
                              Gfx_RunPlace& place) {
    place = Gfx_RunPlace();
    if (source.empty) return true;  // the blit stops before placing
    const float x = run.fromFarX ? run.baseX - atX : run.baseX + atX;
    const float y = run.fromFarY ? run.baseY - atY : run.baseY + atY;
    if (!Gfx_SaneCoord(x) || !Gfx_SaneCoord(y)) return false;
    std::int64_t X = Gfx_PixelOf(x), Y = Gfx_PixelOf(y);
    std::int64_t sx0 = source.x0, sy0 = source.y0, sx1 = source.x1, sy1 = source.y1;
    std::int64_t w = sx1 - sx0, h = sy1 - sy0;
    Gfx_ClipUnscaledAxis(X, w, sx0, sx1, false, run.region[0], run.region[2]);
    Gfx_ClipUnscaledAxis(Y, h, sy0, sy1, false, run.region[1], run.region[3]);
    if (w <= 0 || h <= 0) return true;
    place = {source.row0, source.pitch, sx0, sy0, X, Y, w, h};
    return true;
}

// Draws a placed draw, row by row through the blit's kernel. Since a zero
// coverage byte leaves its pixel alone, a place may also gather several
// draws whose non-zero bytes never meet: the pixels are those of drawing
// them one by one.
void Gfx_MaskRun_Rows(Gfx_MaskRun& run, const Gfx_RunPlace& place);

// A run of plain copies: the blit's nearest-sample copy, which moves the
// source's 32-bit pixels unchanged, unscaled or stretched down the rows.
// Rows of the planes are `pitch` bytes from their row 0 (negative for
// bottom-up planes).
struct Gfx_CopyRun {
    const std::uint8_t* srcRow0 = nullptr;
    std::ptrdiff_t srcPitch = 0;
    std::int64_t srcW = 0, srcH = 0;
    std::uint8_t* dstRow0 = nullptr;
    std::ptrdiff_t dstPitch = 0;
    std::int64_t anchor[4] = {};
    std::int64_t region[4] = {};
    std::uint8_t align = 0;
    float scaleY = 1.0f;
};

// Where one copy lands: the destination rectangle (nothing when `w` or `h`
// is below 1); destination column c reads source column colBase + c and row
// r reads source row (v0 + r * dv) >> 16 (16.16 fixed point), each clamped
// to [lo, hi] as the kernel clamps: to hi first, then to lo.
struct Gfx_CopyPlace {
    std::int64_t x = 0, y = 0, w = 0, h = 0;
    std::int64_t colBase = 0, xlo = 0, xhi = 0;
    std::int64_t v0 = 0, dv = 0, ylo = 0, yhi = 0;
};

// Sets `run` up for draws of `src` onto `dst` that the blit would draw as
// plain copies with `params`: horizontal scale 1, the vertical one positive
// (and then no interpolation), angle 0, no mirroring, no wrap copies, no
// effects, no key or fill colour, full opacity, pivot (0, 0); both surfaces
// with a 32-bit colour plane and no alpha plane, their pixels apart. False
// when the draws must go through the transformed blit (or a blit override
// is installed, or the thread reads derived planes).
bool Gfx_CopyRun_Begin(Gfx_CopyRun& run, C_Surface* src, C_Surface* dst, const C_Frame* clip, const C_Frame* clip2,
                       const C_DrawParams& params, std::uint8_t align);

// Places one copy: the blit's `srcRect` at (atX, atY). False when the draw
// must go through the transformed blit (a rectangle or position that is not
// a sane number).
bool Gfx_CopyRun_Place(const Gfx_CopyRun& run, const C_Rect& srcRect, float atX, float atY, Gfx_CopyPlace& place);
