// Row bookkeeping shared by the image class and the converters.
#pragma once

#include <cstdint>

#include "image/image.h"

// Whether all `image.height` rows of `rowLength` bytes, `pitch` apart, lie
// inside the pixel buffer. Fields of an image are public, so code that walks
// rows checks this before it touches memory.
inline bool Gfx_RowsFitBuffer(const C_Image& image, std::uint64_t rowLength) {
    if (image.height == 0 || rowLength == 0) return true;
    if (!image.data) return false;
    return std::uint64_t{image.pitch} * (image.height - 1) + rowLength <= image.dataSize;
}
