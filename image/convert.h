/// @file
/// Format conversion and single-channel operations on images.
///
/// A channel value of s bits becomes d bits by dropping its low bits
/// (d <= s) or by appending its own low d - s bits below it (d > s): 5-bit 31
/// becomes 8-bit 255, 1-bit 1 becomes 129, 8-bit 255 becomes 0xFF0000FF.
/// Integer channels become floats as value × 2^-32 after widening to 32 bits;
/// floats become integers as trunc(f × (2^d - 1)), unclamped. Channels a
/// source lacks read as 0. The sub-byte formats (1, 2, 3, 5) and the 64-bit
/// float format (11) have no conversion rules: such pairs are refused.
#pragma once

#include <cstdint>

class C_Color;
class C_Image;

/// Converts every pixel of pImageSrc into pImageDst, which keeps its format and
/// must be at least as wide and as high; pixel (x, y) goes to (x, y) in display
/// order. Same formats copy rows. `flags` is accepted and not used.
bool Gfx_Image_Copy_24to32(const C_Image* pImageSrc, C_Image* pImageDst, std::uint32_t flags);

/// Converts the image to newFormat (GFX_FMT_SAME keeps it). newPalFormat
/// GFX_FMT_SAME means the image's own palette format, GFX_FMT_NONE none; it
/// matters only when a new buffer is needed. Equal pixel sizes convert in
/// place; otherwise the image gets a new buffer it owns. On failure the image
/// is unchanged.
bool Gfx_Image_ChangeFormat(C_Image* pImage, std::int32_t newFormat, std::int32_t newPalFormat, std::uint32_t flags);

/// Makes pImageDst a converted copy of pImageSrc (GFX_FMT_SAME for either
/// format means the source's); a palette destination gets the source palette.
bool Gfx_Image_Clone(const C_Image* pImageSrc, C_Image* pImageDst, std::int32_t newFormat, std::int32_t newPalFormat,
                     std::uint32_t flags);

/// Extracts channel 0-3 (red, green, blue, alpha) into pImageDst, rebuilt in
/// Gfx_GetSingleChannelFormat of the source's format. Values keep their bits,
/// unscaled: a 6-bit green gives 0..63.
bool Gfx_Image_GetChannel(const C_Image* pImageSrc, C_Image* pImageDst, std::uint32_t channel);

/// Writes the values of a one-channel image into channel 0-3 of pImageDst,
/// unscaled; the destination's other channels keep their bits.
bool Gfx_Image_SetChannel(const C_Image* pImageSrc, C_Image* pImageDst, std::uint32_t channel);

/// Builds a mask of the source pixels equal to the key colour (as
/// Gfx_GetFormattedColor_32bit gives it). Sources of 8, 16 or 24 bits mark
/// key pixels 0x00 and others 0xFF; 32-bit sources the other way round.
bool Gfx_Image_GetAlpha_FromKeyColor(const C_Image* pImageSrc, C_Image* pImageDst, const C_Color* key);
