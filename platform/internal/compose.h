// Software composition of a client area: both the headless framebuffer and
// the SDL window surface are 32-bit pixels 0xAARRGGBB, top row first, and
// receive pictures and fills through these functions.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/backend.h"

struct Win_Framebuffer {
    std::uint32_t* pixels = nullptr;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::size_t stride = 0;  // pixels from one row to the next
};

// True for the pixel formats the screen shows: 16, 24 or 32 bits per pixel.
bool Win_IsPresentableFormat(std::int32_t format);

// Draws `pixels` (first stored row at the bottom) with its top-left corner at
// (x, y), clipped to the framebuffer. Every channel is widened to 8 bits;
// single-channel formats show as grey; alpha is ignored, as a screen does.
void Win_ComposePixels(const Win_Framebuffer& target, const Win_PixelBlock& pixels, std::int32_t x, std::int32_t y);

// Fills [x0, x1) x [y0, y1) clipped to the framebuffer; an inverted rectangle
// fills nothing.
void Win_ComposeFill(const Win_Framebuffer& target, const Win_Rect& rect, std::uint32_t rgb);
