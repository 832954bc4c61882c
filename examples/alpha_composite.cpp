// alpha_composite: lays a picture with an alpha plane (a soft-edged disc made
// in code) over a striped background, once opaque and once half transparent,
// and saves the result as a PNG.
//
//   alpha_composite [OUT.png]      (default: alpha_composite.png)
#include <cmath>
#include <cstdint>
#include <cstdio>

#include "quillory.h"

namespace {

int Fail(const char* what) {
    std::fprintf(stderr, "alpha_composite: %s failed: %s\n", what, Gfx_GetErrorDetail());
    return 1;
}

// Coverage of a disc of radius `r` whose edge fades over `soft` pixels:
// 255 inside, 0 outside, a linear ramp across the edge.
std::uint8_t DiscCoverage(float dx, float dy, float r, float soft) {
    const float outside = std::sqrt(dx * dx + dy * dy) - (r - soft);
    if (outside <= 0.0f) return 255;
    if (outside >= soft) return 0;
    return static_cast<std::uint8_t>(255.0f * (1.0f - outside / soft));
}

}  // namespace

int main(int argc, char** argv) {
    const char* outPath = argc > 1 ? argv[1] : "alpha_composite.png";

    // Background: 256 x 160, vertical stripes drawn as filled rectangles.
    C_Image background;
    if (!background.CreateEmpty(256, 160, GFX_FMT_ARGB8888, GFX_FMT_NONE, C_Color(30, 30, 60, 255)))
        return Fail("creating the background");
    C_Surface target(GFX_PLANES_BORROWED, &background);
    const C_Color stripe(240, 240, 240, 255);
    for (int x = 0; x < 256; x += 32) {
        const C_Rect bar(static_cast<float>(x), 0.0f, static_cast<float>(x + 15), 159.0f);
        if (!Gfx_Surface_Blit(&target, &bar, &stripe, nullptr, nullptr, 1)) return Fail("drawing a stripe");
    }

    // The overlay: an orange colour plane and an 8-bit alpha plane (one byte
    // per pixel, GFX_FMT_CH8) holding the disc's coverage. The blit weighs
    // each source pixel by its alpha value.
    const std::uint32_t size = 96;
    C_Image color, alpha;
    if (!color.CreateEmpty(size, size, GFX_FMT_ARGB8888, GFX_FMT_NONE, C_Color(255, 140, 0, 255)) ||
        !alpha.CreateEmpty(size, size, GFX_FMT_CH8, GFX_FMT_NONE, C_Color(0, 0, 0, 0)))
        return Fail("creating the overlay");
    const float half = size / 2.0f;
    for (std::uint32_t y = 0; y < size; ++y) {
        std::uint8_t* row = alpha.Row(y);  // honours the image's row order
        for (std::uint32_t x = 0; x < size; ++x)
            row[x] = DiscCoverage(x + 0.5f - half, y + 0.5f - half, half - 2.0f, 16.0f);
    }
    // Plane 1 colour, plane 2 alpha; borrowed (first argument 1), not owned.
    C_Surface overlay(GFX_PLANES_BORROWED, &color, &alpha);

    // Opaque composite, the disc's centre at (72, 80): the pivot is measured
    // from the overlay's centre.
    C_DrawParams params;
    params.pivot = C_Vector2D(0.0f, 0.0f, GFX_ALIGN_HCENTER | GFX_ALIGN_VMIDDLE);
    const C_Vector2D left(72.0f, 80.0f);
    if (!Gfx_Surface_BlitTransformed(&overlay, &target, nullptr, nullptr, nullptr, &left, 0, &params))
        return Fail("the opaque composite");

    // The same overlay at half opacity: the global opacity multiplies the
    // alpha plane's weights.
    params.opacity = 0.5f;
    const C_Vector2D right(184.0f, 80.0f);
    if (!Gfx_Surface_BlitTransformed(&overlay, &target, nullptr, nullptr, nullptr, &right, 0, &params))
        return Fail("the half-transparent composite");

    if (!Gfx_Image_SavePNG_Opaque(&background, outPath)) return Fail("saving the PNG");
    std::printf("alpha_composite: wrote %s\n", outPath);
    return 0;
}
