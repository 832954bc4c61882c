/// @file
/// Surfaces from and to image files in one call: a picture's own alpha
/// becomes the surface's alpha plane, which is what the blit draws with.
///
/// In this framework alpha lives in an alpha plane (plane 2, GFX_FMT_CH8)
/// beside the colour plane (plane 1); the blit reads coverage from there, not
/// from the colour plane's top byte. These calls do the splitting and the
/// joining, so an RGBA file loads as something that draws with its
/// transparency, and a surface saves as an RGBA PNG.
#pragma once

#include "../image/image.h"
#include "surface.h"

/// Rebuilds `surface` from `image`: its planes are replaced by a colour plane
/// in GFX_FMT_ARGB8888 (narrow channels widened as viewers show them, alpha
/// 255 where the picture has none) and, only when some pixel of the picture
/// is not fully opaque, an alpha plane in GFX_FMT_CH8 holding the picture's
/// alpha. The surface owns both planes. False, with the reason set and the
/// surface left without planes, when the picture has no readable pixels.
bool Gfx_Surface_FromImage(C_Surface* surface, const C_Image* image);

/// Gfx_Image_LoadFile and Gfx_Surface_FromImage in one call: any picture file
/// the loader reads, its alpha (PNG, WebP, GIF transparency, 32-bit BMP and
/// TGA) in the alpha plane.
bool Gfx_Surface_LoadFile(C_Surface* surface, const char* path);

/// Writes the surface as a PNG: the colour plane's colours with the alpha
/// plane's values as alpha (RGBA), or an opaque RGB PNG when the surface has
/// no alpha plane. The colour plane's own top byte is not used: the alpha
/// plane is the surface's transparency. An alpha plane smaller than the
/// colour plane, or with more than one channel, is refused.
bool Gfx_Surface_SavePNG(const C_Surface* surface, const char* path);
