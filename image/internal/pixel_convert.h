// The pixel converter's row machinery, shared by the conversion and channel
// functions and reachable by tests.
#pragma once

#include <cstdint>

#include "image/format.h"
#include "image/image.h"

// Which row loops a conversion may use. The dedicated loops for the pairs the
// demo converts must give exactly the bytes of the general loop.
enum class Gfx_RowPath { Fastest, General };

// Whether the converter has read and write rules for the format: every pixel
// format except the sub-byte ones (1, 2, 3, 5), the 64-bit float (11) and
// the two argument-only values (-1, -2).
bool Gfx_IsConvertibleFormat(const Gfx_FormatDesc& desc);

// The instruction-set level of the dedicated rows (GFX_SIMD_*, core/simd.h):
// the process's level until set. Every level gives the same bytes; false,
// and the level unchanged, when the level is not available.
bool Gfx_Convert_SetSimdLevel(std::int32_t level);
std::int32_t Gfx_Convert_GetSimdLevel();

// Whether a dedicated row loop exists for the pair.
bool Gfx_HasFastRow(std::int32_t srcFormat, std::int32_t dstFormat);

// Gfx_Image_Copy_24to32 with a choice of row loops (same checks, same errors).
bool Gfx_Image_CopyPixels(const C_Image* pImageSrc, C_Image* pImageDst, Gfx_RowPath path);
