/// @file
/// The draw-parameter record: how a transformed or effect-laden drawing
/// operation scales, rotates, anchors, mirrors, wraps, fades and recolours a
/// source picture. A plain value: callers fill one on the stack and pass a
/// pointer; nothing keeps it.
#pragma once

#include <cstdint>

#include "../math/color.h"
#include "../math/vector.h"

/// Anchor codes of an `align` byte. The low nibble says from which horizontal
/// edge a coordinate is measured, the high nibble from which vertical edge;
/// other nibble values act as left / top.
enum : std::uint8_t {
    GFX_ALIGN_LEFT = 0x00,
    GFX_ALIGN_RIGHT = 0x01,
    GFX_ALIGN_HCENTER = 0x02,
    GFX_ALIGN_TOP = 0x00,
    GFX_ALIGN_BOTTOM = 0x10,
    GFX_ALIGN_VMIDDLE = 0x20,
};

/// How the blit draws a source: geometry (scale, angle, pivot, flips,
/// wraps), opacity and sampling, and the colour effects, each with its
/// switch. A default-constructed record is a plain 1:1 opaque copy.
///
///     C_DrawParams p;
///     p.scale = C_Vector2D(2.0f, 2.0f);
///     p.angle = 30.0f;  // degrees, about the pivot
///     p.pivot = C_Vector2D(0.0f, 0.0f, GFX_ALIGN_HCENTER | GFX_ALIGN_VMIDDLE);
///     p.filter = 1;     // bilinear
///     Gfx_Surface_BlitTransformed(&src, &dst, nullptr, nullptr, nullptr, &position, 0, &p);
struct C_DrawParams {
    C_Vector2D scale{1.0f, 1.0f};  ///< horizontal and vertical factors; align unused
    float angle = 0.0f;            ///< degrees, about the pivot
    C_Vector2D pivot;              ///< anchor point of the picture, in source pixels
    C_Vector2D tileOffset;         ///< offset of the tile pattern (tile fill only)
    std::uint8_t flipV = 0;        ///< mirror top to bottom
    std::uint8_t flipH = 0;        ///< mirror left to right
    std::uint8_t wrapH = 0;        ///< also draw copies one target width left and right
    std::uint8_t wrapV = 0;        ///< also draw copies one target height up and down
    std::uint8_t fillModeH = 0;    ///< rectangle fill: 0 stretch, 1 tile
    std::uint8_t fillModeV = 0;
    float opacity = 1.0f;           ///< 0 draws nothing, below 1 blends
    std::uint32_t filter = 0;       ///< non-zero: interpolated sampling when scaled or rotated
    C_Color keyColor;               ///< source pixels of this colour are not drawn...
    std::uint8_t useKeyColor = 0;   ///< ...when this is 1
    C_Color fillColor;              ///< every drawn pixel takes this colour...
    std::uint8_t useFillColor = 0;  ///< ...when this is 1
    C_Color brightness;             ///< per-channel offset, channel * 256 added...
    std::uint8_t useBrightness = 0;
    C_Color contrast;              ///< per-channel factor around 128, channel * 256 / 256...
    std::uint8_t useContrast = 0;  ///< ...applied before brightness
};

/// The anchor rule for a coordinate v inside an extent w: code 0 gives v
/// (from the left or top), 1 gives w - v (from the right or bottom), 2 gives
/// w / 2 + v (from the centre). `code` is one nibble of an align byte, as
/// given by Gfx_AlignCodeX and Gfx_AlignCodeY.
float Gfx_AlignCoord(float v, float w, std::uint32_t code);

/// The same rule against the edges lo and hi of a rectangle: lo + v, hi - v or
/// (hi - lo) / 2 + lo + v. The difference is taken in integers, then halved as
/// a float, so an odd extent has a half-pixel centre.
float Gfx_AlignCoordIn(float v, std::int32_t lo, std::int32_t hi, std::uint32_t code);
/// The part of Gfx_AlignCoordIn that every position shares: v lands at
/// base + v, or at base - v when `fromFar` is set (the anchor is hi).
float Gfx_AlignBaseIn(std::int32_t lo, std::int32_t hi, std::uint32_t code, bool& fromFar);

/// The horizontal and vertical anchor codes (0, 1 or 2) of an align byte;
/// unknown nibble values give 0.
std::uint32_t Gfx_AlignCodeX(std::uint8_t align);
std::uint32_t Gfx_AlignCodeY(std::uint8_t align);

/// A point resolved inside an extent (w, h) by its own align byte; the result
/// has align 0.
C_Vector2D Gfx_ResolveAnchor(const C_Vector2D& point, float w, float h);
