// The gallery of blit options: draws one sample picture with each option of
// the transformed blit and writes one small PNG per option. The pictures in
// docs/images/gallery/ come from here (./run.sh docs), and the guide shows
// them beside the code that made them.
//
//   quillory-gallery OUTDIR [FONT.ttf]
//
// Everything is made in code and drawn with integer arithmetic, so a re-run
// writes byte-identical files. The text picture needs a TrueType file
// (DejaVu Sans by default); without one it is left out.

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>

#include "quillory.h"

namespace {

constexpr std::uint32_t kCanvasW = 160;
constexpr std::uint32_t kCanvasH = 120;
constexpr std::uint32_t kCardW = 96;
constexpr std::uint32_t kCardH = 72;
constexpr const char* kDefaultFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

// The key colour of the gallery: the magenta bar of the test card.
const C_Color kMagenta(255, 0, 255, 0);

// --- The sample picture ------------------------------------------------------

void FillRect(C_Surface& s, float x0, float y0, float x1, float y1, const C_Color& c) {
    const C_Rect r(x0, y0, x1 - 1.0f, y1 - 1.0f);  // the primitive includes both ends
    Gfx_Surface_Blit(&s, &r, &c, nullptr, nullptr, 1);
}

void FillCircle(C_Surface& s, float cx, float cy, float radius, const C_Color& c) {
    const C_Circle circle(C_Vector2D(cx, cy), radius);
    Gfx_Surface_Blit(&s, &circle, &c, nullptr, nullptr, 1);
}

// A test card: colour bars (magenta among them, the key colour), a grey
// ramp, a ball and an "F" in the top-left corner so that every mirror and
// turn shows.
bool MakeCardColor(C_Image& color) {
    if (!color.CreateEmpty(kCardW, kCardH, GFX_FMT_ARGB8888, GFX_FMT_NONE, C_Color(0, 0, 0, 255))) return false;
    C_Surface s(1, &color);
    const C_Color bars[8] = {C_Color(235, 235, 235, 255),
                             C_Color(235, 220, 30, 255),
                             C_Color(30, 200, 230, 255),
                             C_Color(40, 190, 60, 255),
                             kMagenta,
                             C_Color(220, 40, 40, 255),
                             C_Color(40, 70, 220, 255),
                             C_Color(25, 25, 25, 255)};
    const float barW = static_cast<float>(kCardW) / 8.0f;
    for (int i = 0; i < 8; ++i)
        FillRect(s, barW * static_cast<float>(i), 0.0f, barW * static_cast<float>(i + 1), 48.0f, bars[i]);

    // The ramp, one column at a time, straight into the rows.
    for (std::uint32_t y = 48; y < kCardH; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(color.Row(y));
        for (std::uint32_t x = 0; x < kCardW; ++x) {
            const std::uint32_t v = x * 255 / (kCardW - 1);
            const std::uint32_t tint = y < 60 ? v : 255 - v;
            row[x] = 0xFF000000u | (v << 16) | (tint << 8) | (255 - v);
        }
    }

    FillCircle(s, 66.0f, 24.0f, 13.0f, C_Color(255, 160, 20, 255));
    FillCircle(s, 62.0f, 20.0f, 4.0f, C_Color(255, 240, 200, 255));

    // The "F": black plate, white strokes.
    FillRect(s, 4.0f, 4.0f, 26.0f, 30.0f, C_Color(10, 10, 10, 255));
    FillRect(s, 8.0f, 8.0f, 12.0f, 26.0f, C_Color(255, 255, 255, 255));
    FillRect(s, 12.0f, 8.0f, 22.0f, 12.0f, C_Color(255, 255, 255, 255));
    FillRect(s, 12.0f, 15.0f, 19.0f, 19.0f, C_Color(255, 255, 255, 255));
    return true;
}

// The card's alpha plane: a rounded rectangle with soft edges and a
// see-through porthole, 0 transparent to 255 opaque.
bool MakeCardAlpha(C_Image& alpha) {
    if (!alpha.CreateEmpty(kCardW, kCardH, GFX_FMT_CH8, GFX_FMT_NONE)) return false;
    const double radius = 12.0;
    for (std::uint32_t y = 0; y < kCardH; ++y) {
        std::uint8_t* row = alpha.Row(y);
        for (std::uint32_t x = 0; x < kCardW; ++x) {
            const double px = x + 0.5;
            const double py = y + 0.5;
            // Distance inside the rounded outline (negative outside).
            const double cx = std::fmin(std::fmax(px, radius), kCardW - radius);
            const double cy = std::fmin(std::fmax(py, radius), kCardH - radius);
            const double inside = radius - std::hypot(px - cx, py - cy);
            // Distance outside the porthole in the ramp.
            const double hole = std::hypot(px - 40.0, py - 60.0) - 7.0;
            const double edge = std::fmin(inside, hole);
            const double a = std::fmin(std::fmax(edge / 3.0, 0.0), 1.0);
            row[x] = static_cast<std::uint8_t>(a * 255.0 + 0.5);
        }
    }
    return true;
}

// --- The pictures ------------------------------------------------------------

// A light checkerboard, so that transparent parts show.
bool MakeCanvas(C_Image& canvas) {
    if (!canvas.CreateEmpty(kCanvasW, kCanvasH, GFX_FMT_ARGB8888, GFX_FMT_NONE)) return false;
    for (std::uint32_t y = 0; y < kCanvasH; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(canvas.Row(y));
        for (std::uint32_t x = 0; x < kCanvasW; ++x) row[x] = ((x / 8 + y / 8) % 2) ? 0xFFC8CCD2u : 0xFFE8EBEFu;
    }
    return true;
}

struct Gallery {
    std::string outDir;
    C_Image cardColor;
    C_Image cardAlpha;
    int written = 0;
    int failed = 0;

    // The card with and without its alpha plane; both only borrow the images.
    C_Surface* card = nullptr;
    C_Surface* opaqueCard = nullptr;
};

bool Save(Gallery& g, const C_Image& canvas, const char* name) {
    const std::string path = g.outDir + "/" + name;
    // The blit leaves the destination's alpha bits alone or zero; a picture
    // is opaque.
    if (!Gfx_Image_SavePNG_Opaque(&canvas, path.c_str())) {
        std::fprintf(stderr, "quillory-gallery: %s: %s\n", path.c_str(), Gfx_GetErrorDetail());
        ++g.failed;
        return false;
    }
    ++g.written;
    return true;
}

// The centre of the canvas, and a pivot at the centre of the picture.
C_Vector2D Centre() { return C_Vector2D(0.0f, 0.0f, GFX_ALIGN_HCENTER | GFX_ALIGN_VMIDDLE); }
C_DrawParams Centred() {
    C_DrawParams p;
    p.pivot = C_Vector2D(0.0f, 0.0f, GFX_ALIGN_HCENTER | GFX_ALIGN_VMIDDLE);
    return p;
}

// Draws `params` once into a fresh canvas and saves it.
void One(Gallery& g, const char* name, C_Surface* src, const C_DrawParams& params,
         const C_Vector2D& position = Centre()) {
    C_Image canvas;
    if (!MakeCanvas(canvas)) return;
    C_Surface dst(1, &canvas);
    Gfx_Surface_BlitTransformed(src, &dst, nullptr, nullptr, nullptr, &position, 0, &params);
    Save(g, canvas, name);
}

// Draws the left half of the canvas with `left` and the right half with
// `right`: the same placement, two clip rectangles.
void Split(Gallery& g, const char* name, C_Surface* src, const C_Rect* srcRect, const C_DrawParams& left,
           const C_DrawParams& right) {
    C_Image canvas;
    if (!MakeCanvas(canvas)) return;
    C_Surface dst(1, &canvas);
    const C_Vector2D position = Centre();
    const C_Frame leftHalf(0, 0, kCanvasW / 2, kCanvasH);
    const C_Frame rightHalf(kCanvasW / 2, 0, kCanvasW, kCanvasH);
    // clip2 limits the drawing; the placement stays anchored to the whole canvas.
    Gfx_Surface_BlitTransformed(src, &dst, srcRect, nullptr, &leftHalf, &position, 0, &left);
    Gfx_Surface_BlitTransformed(src, &dst, srcRect, nullptr, &rightHalf, &position, 0, &right);
    const C_Rect seam(kCanvasW / 2.0f, 0.0f, kCanvasW / 2.0f, kCanvasH - 1.0f);
    const C_Color white(255, 255, 255, 255);
    Gfx_Surface_Blit(&dst, &seam, &white, nullptr, nullptr, 1);
    Save(g, canvas, name);
}

void Plain(Gallery& g) { One(g, "plain.png", g.opaqueCard, Centred()); }

void Scale(Gallery& g) {
    C_Image canvas;
    if (!MakeCanvas(canvas)) return;
    C_Surface dst(1, &canvas);
    C_DrawParams p;
    p.scale = C_Vector2D(1.5f, 1.2f);
    const C_Vector2D big(4.0f, 4.0f);
    Gfx_Surface_BlitTransformed(g.card, &dst, nullptr, nullptr, nullptr, &big, 0, &p);
    p.scale = C_Vector2D(0.5f, 0.5f);
    const C_Vector2D small(4.0f, 4.0f, GFX_ALIGN_RIGHT | GFX_ALIGN_BOTTOM);
    p.pivot = C_Vector2D(0.0f, 0.0f, GFX_ALIGN_RIGHT | GFX_ALIGN_BOTTOM);
    Gfx_Surface_BlitTransformed(g.card, &dst, nullptr, nullptr, nullptr, &small, 0, &p);
    Save(g, canvas, "scale.png");
}

void Rotate(Gallery& g) {
    C_DrawParams p = Centred();
    p.angle = 30.0f;
    One(g, "rotate.png", g.card, p);
}

void Mirror(Gallery& g) {
    C_Image canvas;
    if (!MakeCanvas(canvas)) return;
    C_Surface dst(1, &canvas);
    C_DrawParams p = Centred();
    p.scale = C_Vector2D(0.75f, 0.75f);
    p.flipH = 1;
    const C_Vector2D left(-40.0f, 0.0f, GFX_ALIGN_HCENTER | GFX_ALIGN_VMIDDLE);
    Gfx_Surface_BlitTransformed(g.card, &dst, nullptr, nullptr, nullptr, &left, 0, &p);
    p.flipH = 0;
    p.flipV = 1;
    const C_Vector2D right(40.0f, 0.0f, GFX_ALIGN_HCENTER | GFX_ALIGN_VMIDDLE);
    Gfx_Surface_BlitTransformed(g.card, &dst, nullptr, nullptr, nullptr, &right, 0, &p);
    Save(g, canvas, "mirror.png");
}

// Nine small copies, one per anchor: position and pivot share the align
// byte, so each copy sits 4 pixels inside its edge or centre.
void Anchor(Gallery& g) {
    C_Image canvas;
    if (!MakeCanvas(canvas)) return;
    C_Surface dst(1, &canvas);
    const std::uint8_t across[3] = {GFX_ALIGN_LEFT, GFX_ALIGN_HCENTER, GFX_ALIGN_RIGHT};
    const std::uint8_t down[3] = {GFX_ALIGN_TOP, GFX_ALIGN_VMIDDLE, GFX_ALIGN_BOTTOM};
    for (const std::uint8_t v : down) {
        for (const std::uint8_t h : across) {
            const std::uint8_t align = static_cast<std::uint8_t>(h | v);
            const float dx = h == GFX_ALIGN_HCENTER ? 0.0f : 4.0f;
            const float dy = v == GFX_ALIGN_VMIDDLE ? 0.0f : 4.0f;
            C_DrawParams p;
            p.scale = C_Vector2D(0.3f, 0.3f);
            p.pivot = C_Vector2D(0.0f, 0.0f, align);
            const C_Vector2D position(dx, dy, align);
            Gfx_Surface_BlitTransformed(g.card, &dst, nullptr, nullptr, nullptr, &position, 0, &p);
        }
    }
    Save(g, canvas, "anchor.png");
}

// Placed near the bottom-right corner, the card comes back in at the left
// and the top.
void Wrap(Gallery& g) {
    C_DrawParams p;
    p.wrapH = 1;
    p.wrapV = 1;
    One(g, "wrap.png", g.card, p, C_Vector2D(110.0f, 80.0f));
}

// The alpha plane shapes the card; the second copy is also faded to half.
void Alpha(Gallery& g) {
    C_Image canvas;
    if (!MakeCanvas(canvas)) return;
    C_Surface dst(1, &canvas);
    C_DrawParams p;
    const C_Vector2D first(6.0f, 6.0f);
    Gfx_Surface_BlitTransformed(g.card, &dst, nullptr, nullptr, nullptr, &first, 0, &p);
    p.opacity = 0.5f;
    const C_Vector2D second(6.0f, 6.0f, GFX_ALIGN_RIGHT | GFX_ALIGN_BOTTOM);
    p.pivot = C_Vector2D(0.0f, 0.0f, GFX_ALIGN_RIGHT | GFX_ALIGN_BOTTOM);
    Gfx_Surface_BlitTransformed(g.card, &dst, nullptr, nullptr, nullptr, &second, 0, &p);
    Save(g, canvas, "alpha.png");
}

// An RGBA file loaded with Gfx_Surface_LoadFile: its alpha becomes the
// surface's alpha plane. Left, the colour plane alone (the file's alpha
// unused); right, colour and alpha plane, drawn with the transparency.
void AlphaFile(Gallery& g) {
    constexpr std::uint32_t kSide = 64;
    C_Image sprite;
    if (!sprite.CreateEmpty(kSide, kSide, GFX_FMT_ARGB8888, GFX_FMT_NONE)) return;
    for (std::uint32_t y = 0; y < kSide; ++y) {
        std::uint8_t* row = sprite.Row(y);
        for (std::uint32_t x = 0; x < kSide; ++x) {
            // A disc fading out from its centre; integer arithmetic only.
            const int dx = 2 * static_cast<int>(x) - 63, dy = 2 * static_cast<int>(y) - 63;
            const int d2 = dx * dx + dy * dy, r2 = 64 * 64;
            row[4 * x + 0] = static_cast<std::uint8_t>(40 + x * 3);  // blue
            row[4 * x + 1] = static_cast<std::uint8_t>(60 + y * 2);  // green
            row[4 * x + 2] = 220;                                    // red
            row[4 * x + 3] = static_cast<std::uint8_t>(d2 >= r2 ? 0 : 255 - 255 * d2 / r2);
        }
    }
    // The file is a scratch copy; only the picture drawn from it stays.
    const std::string file = g.outDir + "/.sprite-rgba.png";
    C_Surface loaded;
    const bool ok =
        Gfx_Image_SaveFile(&sprite, file.c_str(), GFX_QUALITY_DEFAULT) && Gfx_Surface_LoadFile(&loaded, file.c_str());
    std::remove(file.c_str());
    if (!ok) {
        std::fprintf(stderr, "quillory-gallery: %s\n", Gfx_GetErrorReason());
        ++g.failed;
        return;
    }
    C_Image canvas;
    if (!MakeCanvas(canvas)) return;
    C_Surface dst(1, &canvas);
    C_Surface colourOnly(1, loaded.GetPlane(GFX_PLANE_COLOR));
    const C_Vector2D left(10.0f, 28.0f);
    Gfx_Surface_BlitTransformed(&colourOnly, &dst, nullptr, nullptr, nullptr, &left, 0, nullptr);
    const C_Vector2D right(10.0f, 28.0f, GFX_ALIGN_RIGHT);
    C_DrawParams p;
    p.pivot = C_Vector2D(0.0f, 0.0f, GFX_ALIGN_RIGHT);
    Gfx_Surface_BlitTransformed(&loaded, &dst, nullptr, nullptr, nullptr, &right, 0, &p);
    Save(g, canvas, "alpha_file.png");
}

void Key(Gallery& g) {
    C_DrawParams p = Centred();
    p.keyColor = kMagenta;
    p.useKeyColor = 1;
    One(g, "key.png", g.opaqueCard, p);
}

// A silhouette in the fill colour as a drop shadow, the card over it.
void Fill(Gallery& g) {
    C_Image canvas;
    if (!MakeCanvas(canvas)) return;
    C_Surface dst(1, &canvas);
    C_DrawParams p = Centred();
    p.fillColor = C_Color(60, 50, 110, 255);
    p.useFillColor = 1;
    const C_Vector2D shadow(8.0f, 8.0f, GFX_ALIGN_HCENTER | GFX_ALIGN_VMIDDLE);
    Gfx_Surface_BlitTransformed(g.card, &dst, nullptr, nullptr, nullptr, &shadow, 0, &p);
    p.useFillColor = 0;
    const C_Vector2D card(-4.0f, -4.0f, GFX_ALIGN_HCENTER | GFX_ALIGN_VMIDDLE);
    Gfx_Surface_BlitTransformed(g.card, &dst, nullptr, nullptr, nullptr, &card, 0, &p);
    Save(g, canvas, "fill.png");
}

// Left half darker, right half brighter, by 90/255 per channel.
void Brightness(Gallery& g) {
    C_DrawParams darker = Centred();
    darker.brightness = C_Color(-90, -90, -90, 0);
    darker.useBrightness = 1;
    C_DrawParams brighter = darker;
    brighter.brightness = C_Color(90, 90, 90, 0);
    Split(g, "brightness.png", g.card, nullptr, darker, brighter);
}

// Contrast factors around mid-grey: 0.4 on the left, 1.8 on the right.
void Contrast(Gallery& g) {
    C_DrawParams low = Centred();
    low.contrast = C_Color(0.4f, 0.4f, 0.4f, 0.0f);
    low.useContrast = 1;
    C_DrawParams high = low;
    high.contrast = C_Color(1.8f, 1.8f, 1.8f, 0.0f);
    Split(g, "contrast.png", g.card, nullptr, low, high);
}

// The ball, enlarged four times: nearest samples left, bilinear right.
void Bilinear(Gallery& g) {
    const C_Rect ball(50.0f, 8.0f, 82.0f, 40.0f);
    C_DrawParams nearest = Centred();
    nearest.scale = C_Vector2D(3.5f, 3.5f);
    C_DrawParams smooth = nearest;
    smooth.filter = 1;
    Split(g, "bilinear.png", g.opaqueCard, &ball, nearest, smooth);
}

// Bilinear sampling at a picture's edge, a 4 x 4 picture enlarged 16 times.
// Left: the whole picture; the taps past its last column and row wrap to the
// first ones, so its right edge fades to blue and its bottom to the top row.
// Right: the same picture inside a one-pixel border that repeats its edge
// pixels, drawn from the rectangle inside the border: clamped edges.
void Edges(Gallery& g) {
    const std::uint32_t blue = 0xFF2846DCu, white = 0xFFF0F0F0u, orange = 0xFFF08C14u, dark = 0xFF202020u;
    const std::uint32_t pattern[4][4] = {{blue, white, white, orange},
                                         {blue, white, white, orange},
                                         {blue, white, white, orange},
                                         {dark, dark, dark, dark}};
    C_Image tiny;
    C_Image bordered;
    if (!tiny.CreateEmpty(4, 4, GFX_FMT_ARGB8888, GFX_FMT_NONE) ||
        !bordered.CreateEmpty(6, 6, GFX_FMT_ARGB8888, GFX_FMT_NONE))
        return;
    for (std::uint32_t y = 0; y < 6; ++y)
        for (std::uint32_t x = 0; x < 6; ++x) {
            const std::uint32_t px = x == 0 ? 0 : x == 5 ? 3 : x - 1, py = y == 0 ? 0 : y == 5 ? 3 : y - 1;
            reinterpret_cast<std::uint32_t*>(bordered.Row(y))[x] = pattern[py][px];
            if (x < 4 && y < 4) reinterpret_cast<std::uint32_t*>(tiny.Row(y))[x] = pattern[y][x];
        }
    C_Image canvas;
    if (!MakeCanvas(canvas)) return;
    C_Surface dst(GFX_PLANES_BORROWED, &canvas);
    C_Surface wraps(GFX_PLANES_BORROWED, &tiny);
    C_Surface clamped(GFX_PLANES_BORROWED, &bordered);
    C_DrawParams p;
    p.scale = C_Vector2D(16.0f, 16.0f);
    p.filter = 1;
    const C_Vector2D left(8.0f, 28.0f), right(88.0f, 28.0f);
    const C_Rect inside(1.0f, 1.0f, 5.0f, 5.0f);
    Gfx_Surface_BlitTransformed(&wraps, &dst, nullptr, nullptr, nullptr, &left, 0, &p);
    Gfx_Surface_BlitTransformed(&clamped, &dst, &inside, nullptr, nullptr, &right, 0, &p);
    Save(g, canvas, "edge.png");
}

// A font built from the TrueType file at start-up: anti-aliased glyphs at
// two sizes and one-bit glyphs at a third, each drawn at its own size.
void Text(Gallery& g, const char* ttf) {
    C_Font font;
    font.AddFaces(32, 127);
    const C_String path(ttf);
    const C_BitmapGlyph variants[3] = {C_BitmapGlyph(24, GFX_GLYPH_GRAY, GFX_STYLE_REGULAR),
                                       C_BitmapGlyph(15, GFX_GLYPH_GRAY, GFX_STYLE_REGULAR),
                                       C_BitmapGlyph(12, GFX_GLYPH_MONO, GFX_STYLE_REGULAR)};
    for (const C_BitmapGlyph& variant : variants) {
        if (!Gfx_Font_ImportTrueType(path, variant, &font)) {
            std::fprintf(stderr, "quillory-gallery: no font (%s); text.png left out\n", Gfx_GetErrorDetail());
            return;
        }
    }
    C_Image canvas;
    if (!MakeCanvas(canvas)) return;
    C_Surface dst(1, &canvas);
    struct Line {
        const char* text;
        float size;
        std::uint8_t kind;
        float y;
        C_Color color;
    };
    const Line lines[3] = {{"Quillory", 24.0f, GFX_GLYPH_GRAY, 16.0f, C_Color(40, 70, 220, 255)},
                           {"exact pixels", 15.0f, GFX_GLYPH_GRAY, 56.0f, C_Color(220, 40, 40, 255)},
                           {"one-bit glyphs", 12.0f, GFX_GLYPH_MONO, 86.0f, C_Color(25, 25, 25, 255)}};
    for (const Line& line : lines) {
        const C_FontType type(C_String(""), line.size, line.kind, 0, 0, 0, 0, 0);
        Gfx_Surface_DrawText(C_String(line.text), &font, type, &dst, line.color,
                             C_Vector2D(0.0f, line.y, GFX_ALIGN_HCENTER), GFX_ALIGN_HCENTER, 0, 0, nullptr, nullptr, 0);
    }
    Save(g, canvas, "text.png");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: quillory-gallery OUTDIR [FONT.ttf]\n");
        return 2;
    }
    Gallery g;
    g.outDir = argv[1];
    const char* ttf = argc > 2 ? argv[2] : kDefaultFont;
    if (!MakeCardColor(g.cardColor) || !MakeCardAlpha(g.cardAlpha)) {
        std::fprintf(stderr, "quillory-gallery: %s\n", Gfx_GetErrorDetail());
        return 1;
    }
    C_Surface card(1, &g.cardColor, &g.cardAlpha);
    C_Surface opaqueCard(1, &g.cardColor);
    g.card = &card;
    g.opaqueCard = &opaqueCard;

    Plain(g);
    Scale(g);
    Rotate(g);
    Mirror(g);
    Anchor(g);
    Wrap(g);
    Alpha(g);
    AlphaFile(g);
    Key(g);
    Fill(g);
    Brightness(g);
    Contrast(g);
    Bilinear(g);
    Edges(g);
    Text(g, ttf);

    std::printf("quillory-gallery: %d pictures in %s\n", g.written, g.outDir.c_str());
    return g.failed == 0 ? 0 : 1;
}
