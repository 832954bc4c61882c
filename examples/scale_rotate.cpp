// scale_rotate: draws a small picture onto a larger one, scaled, rotated and
// anchored at its centre, and saves the result as a PNG.
//
//   scale_rotate [OUT.png]      (default: scale_rotate.png)
#include <cstdio>

#include "quillory.h"

namespace {

// Failures never throw: a call returns false and the error record says why.
int Fail(const char* what) {
    std::fprintf(stderr, "scale_rotate: %s failed: %s\n", what, Gfx_GetErrorDetail());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    const char* outPath = argc > 1 ? argv[1] : "scale_rotate.png";

    // The source: a 64 x 40 picture with a frame, a diagonal and a dot, so
    // the rotation is easy to see. Pixels are 32-bit ARGB.
    C_Image picture;
    if (!picture.CreateEmpty(64, 40, GFX_FMT_ARGB8888, GFX_FMT_NONE, C_Color(250, 200, 60, 255)))
        return Fail("creating the picture");
    // A surface groups a colour plane (and optionally an alpha plane). The
    // first argument 1 means it only borrows the images: they stay ours.
    C_Surface source(GFX_PLANES_BORROWED, &picture);
    const C_Color dark(40, 40, 90, 255);
    const C_Rect border(0.0f, 0.0f, 63.0f, 39.0f);
    const C_Vector2D from(0.0f, 0.0f), to(63.0f, 39.0f);
    const C_Circle dot(C_Vector2D(48.0f, 12.0f), 6.0f);
    if (!Gfx_Surface_Blit(&source, &border, &dark, nullptr, nullptr, 0) ||
        !Gfx_Surface_Blit(&source, &from, &to, &dark, nullptr, nullptr) ||
        !Gfx_Surface_Blit(&source, &dot, &dark, nullptr, nullptr, 1))
        return Fail("drawing the picture");

    // The destination: 320 x 240, light grey.
    C_Image canvas;
    if (!canvas.CreateEmpty(320, 240, GFX_FMT_ARGB8888, GFX_FMT_NONE, C_Color(220, 220, 220, 255)))
        return Fail("creating the canvas");
    C_Surface target(GFX_PLANES_BORROWED, &canvas);

    // The draw parameters: three times as large, turned by 30 degrees,
    // smoothed by bilinear filtering. The pivot (0, 0) measured from the
    // centre (GFX_ALIGN_HCENTER | GFX_ALIGN_VMIDDLE) is the picture's middle:
    // the picture turns about it and it is the point that lands on `position`.
    C_DrawParams params;
    params.scale = C_Vector2D(3.0f, 3.0f);
    params.angle = 30.0f;
    params.pivot = C_Vector2D(0.0f, 0.0f, GFX_ALIGN_HCENTER | GFX_ALIGN_VMIDDLE);
    params.filter = 1;

    // The position is anchored the same way, to the target rectangle (here
    // the whole canvas, as the clip is null): the canvas's centre.
    const C_Vector2D centre(0.0f, 0.0f, GFX_ALIGN_HCENTER | GFX_ALIGN_VMIDDLE);
    if (!Gfx_Surface_BlitTransformed(&source, &target, nullptr, nullptr, nullptr, &centre, 0, &params))
        return Fail("the transformed blit");

    // A second, unrotated copy at half size in the top-left corner, for
    // comparison: a null source rectangle means the whole picture.
    C_DrawParams small;
    small.scale = C_Vector2D(0.5f, 0.5f);
    const C_Vector2D corner(8.0f, 8.0f);
    if (!Gfx_Surface_BlitTransformed(&source, &target, nullptr, nullptr, nullptr, &corner, 0, &small))
        return Fail("the small blit");

    // The canvas has no meaningful alpha; the opaque saver writes plain RGB.
    if (!Gfx_Image_SavePNG_Opaque(&canvas, outPath)) return Fail("saving the PNG");
    std::printf("scale_rotate: wrote %s\n", outPath);
    return 0;
}
