/// @file
/// Rectangle and tile fill: a picture drawn into a destination rectangle by
/// stretching it, tiling it, or one of each per axis. Every piece is drawn by
/// the transformed blit, so scale, rotation, flips and every colour effect of
/// the draw-parameter record apply to it.
///
/// Arguments (the same for both operations):
///   src, dst  surfaces; the picture is the source's colour plane
///   srcRect   part of the picture, clamped to it; null = the whole picture
///   clip, clip2, mode
///             passed unchanged to every blit (target rectangle, second clip,
///             mode word)
///   destRect  the area to fill; required
///   position  offset added to destRect's top-left corner; its align byte
///             travels with every blit. Null = (0, 0), align 0
///   params    the record; null = defaults (a plain stretch)
#pragma once

#include <cstdint>

class C_Surface;
class C_Rect;
class C_Frame;
class C_Vector2D;
struct C_DrawParams;

/// Fills destRect as params' fillModeH / fillModeV say (0 stretch, 1 tile):
///   (0, 0) one blit scaled to destRect's size (the scale taken from the whole
///          picture's size), the pivot placed at destRect's corner + position;
///   (0, 1) stretched across, tiled down; (1, 0) tiled across, stretched
///          down; (1, 1) tiled both ways, all through Gfx_Surface_DrawTiled;
///   any other pair draws nothing and returns false with a reason.
/// The pivot's align byte is applied once, against destRect's size; the
/// pivot handed on is already resolved.
/// False when the source has no colour plane (or an empty one), when
/// destRect is missing, when a rectangle, the position or a geometry field
/// of the record is not finite, or when destRect is empty along a stretched
/// axis (both axes in mode (0, 0)), and when a blit failed (the error
/// record says why; the other tiles are still drawn).
bool Gfx_Surface_DrawInRect(C_Surface* src, C_Surface* dst, const C_Rect* srcRect, const C_Frame* clip,
                            const C_Frame* clip2, const C_Rect* destRect, const C_Vector2D* position,
                            std::uint32_t mode, const C_DrawParams* params);

/// Fills destRect with tiles of the source rectangle, each scale times its
/// size (truncated to whole pixels), starting at destRect's corner moved by
/// the record's tileOffset (aligned with its align byte, then wrapped into one
/// tile). Whole tiles are drawn row by row with the cut tile that ends each
/// row, then the cut bottom row, then the leading tiles above and left of the
/// first whole one. Flipped tiles are mirrored inside their own cells; a
/// non-zero angle turns the whole pattern rigidly about destRect's corner +
/// pivot. Tiles with nothing of the source left are not drawn, and tiles that
/// cannot reach the destination are skipped (unless a blit override is
/// installed, which sees every tile).
/// False as for Gfx_Surface_DrawInRect, when destRect is empty, or when a
/// tile's scaled width or height truncates to less than one pixel (or
/// exceeds 2^31), or when a tile's blit failed (the other tiles are still
/// drawn; the error record says why).
bool Gfx_Surface_DrawTiled(C_Surface* src, C_Surface* dst, const C_Rect* srcRect, const C_Frame* clip,
                           const C_Frame* clip2, const C_Rect* destRect, const C_Vector2D* position, std::uint32_t mode,
                           const C_DrawParams* params);
