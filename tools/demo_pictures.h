// The painting demo's pictures, drawn procedurally by the framework.
//
// Everything is computed with +, -, *, / and square roots on doubles and the
// framework's integer-hashed noise, never with the C library's sine or
// exponential, so the files come out byte for byte the same on every run and
// every machine.
#pragma once

#include <cstdint>

class C_Image;

// The brush sheet: 3 x 3 tiles of TOOL_BRUSH_TILE pixels, each a shape
// centred in its tile with a clear margin. `color` becomes GFX_FMT_RGB888,
// black (0, 0, 0) wherever the shape has no pixels within a few pixels;
// `alpha` becomes the matching GFX_FMT_CH8 coverage plane with soft edges.
inline constexpr std::uint32_t TOOL_BRUSH_TILE = 64;
bool Tool_DrawBrushSheet(C_Image& color, C_Image& alpha);

// The background: a landscape of TOOL_BACKGROUND_WIDTH x
// TOOL_BACKGROUND_HEIGHT in GFX_FMT_RGB888 whose right edge continues into
// its left edge, so that it tiles seamlessly across any width.
inline constexpr std::uint32_t TOOL_BACKGROUND_WIDTH = 1024;
inline constexpr std::uint32_t TOOL_BACKGROUND_HEIGHT = 600;
bool Tool_DrawBackground(C_Image& picture);
