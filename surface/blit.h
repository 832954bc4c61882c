/// @file
/// The transformed blit: puts a source surface onto a destination surface
/// scaled, rotated about a pivot, mirrored, anchored to a target rectangle,
/// repeated as wrap-around copies, faded and recoloured. Floating point only
/// sets a call up; every pixel comes from 16.16 fixed-point coordinates and
/// 8-bit integer channels, so the same call gives the same pixels everywhere.
#pragma once

#include <cstdint>

class C_Surface;
class C_Rect;
class C_Frame;
class C_Vector2D;
struct C_DrawParams;

/// The signature shared by the public entry, its built-in implementation and
/// the override hook. Pointers the blit only reads are const; srcRect, clip,
/// clip2 and params may be null.
using Gfx_BlitTransformedFn = bool (*)(C_Surface* src, C_Surface* dst, const C_Rect* srcRect, const C_Frame* clip,
                                       const C_Frame* clip2, const C_Vector2D* position, std::uint32_t mode,
                                       const C_DrawParams* params);

/// Draws `src` onto `dst`: the one drawing operation behind sprites, text,
/// fills and the canvas. Each option of `params` is shown in the guide's
/// gallery.
/// @param src      plane 1 colour, plane 2 alpha; a source with only an alpha
///                 plane draws that plane as coverage of the fill colour
/// @param dst      must have a colour plane; an 8-bit alpha plane, when
///                 present, receives the drawn coverage
/// @param srcRect  part of the source to draw; null = the whole source
/// @param clip     target rectangle (x1, y1 exclusive): drawing is limited to
///                 it and `position` is anchored to it; null = the whole
///                 destination
/// @param clip2    second clip rectangle, intersected with `clip` after
///                 anchoring
/// @param position where the pivot of the source lands; its `align` byte says
///                 which edge of the target rectangle it is measured from
/// @param mode     passed through, not read
/// @param params   scale, angle, pivot, flips, wraps, opacity, filter and
///                 colour effects; null = a plain 1:1 copy
/// @return false when the destination has no colour plane, the source has no
///         plane at all, or a plane format is unknown (the error record says
///         which); true otherwise, also when nothing was visible.
///
/// Nothing outside the destination planes is ever written and nothing outside
/// the source planes is read, whatever the rectangles, positions or factors.
bool Gfx_Surface_BlitTransformed(C_Surface* src, C_Surface* dst, const C_Rect* srcRect, const C_Frame* clip,
                                 const C_Frame* clip2, const C_Vector2D* position, std::uint32_t mode,
                                 const C_DrawParams* params);

/// The built-in implementation, for an override that wants to fall back on it.
bool Gfx_Surface_BlitTransformedBuiltin(C_Surface* src, C_Surface* dst, const C_Rect* srcRect, const C_Frame* clip,
                                        const C_Frame* clip2, const C_Vector2D* position, std::uint32_t mode,
                                        const C_DrawParams* params);

/// A process-wide replacement for the whole blit; null (the default) runs the
/// built-in implementation. A start-up setting: install it before threads
/// draw (the change is atomic, but a blit already running keeps the hook it
/// started with).
void Gfx_SetBlitOverride(Gfx_BlitTransformedFn hook);
/// The override installed, or null.
Gfx_BlitTransformedFn Gfx_GetBlitOverride();

/// Chooses the implementation of the span kernels by instruction-set level
/// (GFX_SIMD_*, see core/simd.h). Every level draws the same
/// pixels; false, and the level unchanged, when the level is not available.
/// A process-wide start-up setting (atomic; calls already running keep the
/// kernels they started with).
bool Gfx_Blit_SetSimdLevel(std::int32_t level);
std::int32_t Gfx_Blit_GetSimdLevel();
