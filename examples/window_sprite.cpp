// window_sprite: opens a window, animates a sprite along a circle and writes
// a line of text every frame until the window is closed.
//
//   window_sprite [LAST_FRAME.png]
//
// With a display it runs until you close the window. Without one (or with
// QUILLORY_PLATFORM=headless) it runs on the headless platform, where
//   QUILLORY_FIXED_DT=0.02 QUILLORY_HEADLESS_CLOSE_AT=3
// gives a fixed 50 frames per second clock and closes the window after three
// seconds. The last frame is saved when a file name is given.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <thread>

#include "quillory.h"

namespace {

constexpr std::int32_t kWidth = 480;
constexpr std::int32_t kHeight = 320;
constexpr const char* kFontPath = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

// The window never closes by itself: closing it is the application's call.
void OnClose(C_Window* window) {
    window->Destroy();
    Win_Quit();  // Win_ProcessMessages returns false from now on
}

// A 32 x 32 sprite: a ring on a magenta ground that the blit keys out.
bool MakeSprite(C_Image& sprite) {
    if (!sprite.CreateEmpty(32, 32, GFX_FMT_ARGB8888, GFX_FMT_NONE, C_Color(255, 0, 255, 255))) return false;
    C_Surface surface(GFX_PLANES_BORROWED, &sprite);
    const C_Color outer(30, 144, 255, 255), inner(255, 255, 255, 255);
    const C_Circle disc(C_Vector2D(16.0f, 16.0f), 15.0f), hole(C_Vector2D(16.0f, 16.0f), 7.0f);
    const C_Rect mark(14.0f, 1.0f, 17.0f, 8.0f);  // shows the sprite's rotation
    return Gfx_Surface_Blit(&surface, &disc, &outer, nullptr, nullptr, 1) &&
           Gfx_Surface_Blit(&surface, &hole, &inner, nullptr, nullptr, 1) &&
           Gfx_Surface_Blit(&surface, &mark, &inner, nullptr, nullptr, 1);
}

// A bitmap font of the printable ASCII characters at 16 points, rendered
// from a TrueType file; false (and a message) when it cannot be built.
bool MakeFont(C_Font& font) {
    if (!font.AddFaces(32, 127) ||
        !Gfx_Font_ImportTrueType(C_String(kFontPath), C_BitmapGlyph(16, GFX_GLYPH_GRAY, GFX_STYLE_REGULAR), &font)) {
        std::fprintf(stderr, "window_sprite: no text (%s: %s)\n", kFontPath, Gfx_GetErrorDetail());
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    Win_InitTimer();

    // A 480 x 320 client area, centred on the screen.
    C_Window window;
    window.SetTitle("Quillory example: window_sprite");
    window.SetX(0, WIN_GEOM_FROM_CENTRE);
    window.SetY(0, WIN_GEOM_FROM_CENTRE);
    window.SetWidth(kWidth, WIN_GEOM_SIZE);
    window.SetHeight(kHeight, static_cast<std::uint8_t>(WIN_GEOM_SIZE << 4));  // height code: high nibble
    window.m_onClose = OnClose;
    if (!window.Create()) {
        std::fprintf(stderr, "window_sprite: no window: %s\n", Gfx_GetErrorDetail());
        return 1;
    }

    // The back buffer is bottom-up, the row order windows show pictures in.
    C_Image backBuffer, sprite;
    if (!backBuffer.CreateEmpty(kWidth, kHeight, GFX_FMT_ARGB8888, GFX_FMT_NONE) || !MakeSprite(sprite)) {
        std::fprintf(stderr, "window_sprite: %s\n", Gfx_GetErrorDetail());
        return 1;
    }
    backBuffer.bottomUp = 1;
    C_Surface target(GFX_PLANES_BORROWED, &backBuffer), spriteSurface(GFX_PLANES_BORROWED, &sprite);
    C_Font font;
    const bool haveText = MakeFont(font);
    const C_FontType textType(C_String(""), 16.0f, GFX_GLYPH_GRAY, 0, 0, 0, 0, 0);

    // The sprite turns about its centre, twice its size, magenta keyed out.
    C_DrawParams params;
    params.scale = C_Vector2D(2.0f, 2.0f);
    params.pivot = C_Vector2D(0.0f, 0.0f, GFX_ALIGN_HCENTER | GFX_ALIGN_VMIDDLE);
    params.keyColor = C_Color(255, 0, 255, 255);
    params.useKeyColor = 1;

    const double start = Win_GetTime();
    long frames = 0;
    // One frame per message: Win_ProcessMessages handles at most one and
    // never waits, so the loop draws continuously.
    while (Win_ProcessMessages()) {
        const float t = static_cast<float>(Win_GetTime() - start);
        backBuffer.Clear(C_Color(24, 32, 48, 255));

        // One turn of the circle every four seconds, measured from the
        // window's centre.
        const float turn = t * 6.2831853f / 4.0f;
        const C_Vector2D where(100.0f * std::cos(turn), 80.0f * std::sin(turn), GFX_ALIGN_HCENTER | GFX_ALIGN_VMIDDLE);
        params.angle = t * 90.0f;
        Gfx_Surface_BlitTransformed(&spriteSurface, &target, nullptr, nullptr, nullptr, &where, 0, &params);

        if (haveText) {
            char line[64];
            std::snprintf(line, sizeof line, "Quillory %s   t = %.2f s", Gfx_GetVersionString(), t);
            Gfx_Surface_DrawText(C_String(line), &font, textType, &target, C_Color(255, 230, 160, 255),
                                 C_Vector2D(10.0f, 10.0f), 0, 0, 0, nullptr, nullptr, 0);
        }
        window.Present(&backBuffer, C_Vector2Di(0, 0));
        ++frames;
        // About 100 frames a second at most: no need to keep a core busy.
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }

    std::printf("window_sprite: %ld frames\n", frames);
    if (argc > 1 && frames > 0) {
        if (!Gfx_Image_SavePNG_Opaque(&backBuffer, argv[1])) {
            std::fprintf(stderr, "window_sprite: cannot save %s: %s\n", argv[1], Gfx_GetErrorDetail());
            return 1;
        }
        std::printf("window_sprite: last frame written to %s\n", argv[1]);
    }
    return 0;
}
