// Text layout, checked on the blits it issues (through the blit override
// hook); measuring against drawing; and the TrueType import on real and
// forged font files, drawn in gathered rows.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "font_builders.h"
#include "truetype_builder.h"

namespace {

const C_Frame kClip(10, 10, 110, 60);

// The calls of a drawing, folded into a hash as they come: which picture,
// cut where, placed and transformed how, through which clips.
std::uint64_t g_hash = kFnvStart;
bool Record(C_Surface* src, C_Surface*, const C_Rect* srcRect, const C_Frame* clip, const C_Frame* clip2,
            const C_Vector2D* at, std::uint32_t, const C_DrawParams* p) {
    const C_Image* picture = src->GetPlane(GFX_PLANE_ALPHA);
    const C_Rect r = srcRect ? *srcRect : C_Rect(-1.0f, -1.0f, -1.0f, -1.0f);
    const float cut[] = {float(picture->width), float(picture->height), r.x0, r.y0, r.x1, r.y1};
    const float place[] = {at->x, at->y, float(at->align), p->scale.x, p->scale.y, p->pivot.x, p->pivot.y};
    const float look[] = {p->opacity,     float(p->filter),      float(p->useFillColor),
                          p->fillColor.b, float(clip == &kClip), float(clip2 != nullptr)};
    g_hash = Fnv1a(Fnv1a(Fnv1a(g_hash, cut, sizeof cut), place, sizeof place), look, sizeof look);
    return true;
}

// The pixels a text changes (every glyph picture is solid coverage, on white),
// as a frame; empty when none.
C_Frame Ink(const C_Image& canvas) {
    C_Frame f(1 << 30, 1 << 30, -1, -1);
    for (std::int32_t y = 0; y < std::int32_t(canvas.height); ++y)
        for (std::int32_t x = 0; x < std::int32_t(canvas.width); ++x)
            if ((reinterpret_cast<const std::uint32_t*>(canvas.Row(y))[x] & 0xFFFFFF) != 0xFFFFFF)
                f = C_Frame(std::min(f.x0, x), std::min(f.y0, y), std::max(f.x1, x + 1), std::max(f.y1, y + 1));
    return f;
}

// A font of size 10 whose metrics make positions easy to follow ("A"
// advances 10 with a picture of 8 x 12 and bearing (1, 8)), and fonts for
// the variant choice and the sheet layouts.
struct TextLayout : ::testing::Test {
    C_Font font, tie12, tie14, flat, sheet, narrow;
    C_FontType type;
    C_Image canvas;
    C_Surface dst{GFX_PLANES_BORROWED};
    C_Color colour{0.0f, 0.0f, 0.5f, 0.0f};

    void SetUp() override {
        AddVariant(font,
                   {{'A', 10, 1, 8, 8, 12},
                    {' ', 10, 0, 0, 0, 0},
                    {'_', 5, 0, -1, 5, 1},
                    {'|', 3, 1, 9, 1, 12},
                    {0x416, 12, 0, 9, 11, 13},
                    {GFX_TEXT_REPLACEMENT, 10, 1, 8, 6, 12}},
                   10);
        // Characters of every UTF-8 length, told apart by their pictures.
        AddVariant(font, {{0xE9, 9, 0, 8, 2, 3}, {0x20AC, 9, 0, 8, 3, 2}, {0x1F600, 9, 0, 8, 4, 2}}, 10);
        AddVariant(font, {{0x800, 9, 0, 8, 2, 4}, {0xD7FF, 9, 0, 8, 4, 3}}, 10);
        // Sizes 12 and 14 in either order: a tie takes the first in the list.
        AddVariant(tie12, {{'A', 12, 0, 8, 8, 12}}, 12);
        AddVariant(tie12, {{'A', 14, 0, 8, 8, 11}}, 14);
        AddVariant(tie14, {{'A', 14, 0, 8, 8, 11}}, 14);
        AddVariant(tie14, {{'A', 12, 0, 8, 8, 12}}, 12);
        AddVariant(flat, {{'A', 10, 1, 8, 8, 12}, {'_', 0, 0, -1, 5, 1}}, 10);  // an underscore without advance
        sheet.AddFaces('A', 'Z' + 1);
        sheet.AddFace('_');
        EXPECT_TRUE(Gfx_Font_AddSheet(C_String("AB_"), 3, 1, 10, CoverageSurface(30, 10), &sheet));
        narrow.AddFace('A');
        EXPECT_TRUE(Gfx_Font_AddSheet(C_String("A"), 1, 1, 7, CoverageSurface(6, 8), &narrow));
        canvas.CreateEmpty(120, 60, GFX_FMT_ARGB8888, GFX_FMT_NONE);
        dst.AddPlane(&canvas, 1);
        Gfx_SetBlitOverride(Record);
    }
    void TearDown() override { Gfx_SetBlitOverride(nullptr); }
};

// One layout case: drawn at `at` (in `box` when there is one), in the
// style's type.
enum Style : std::uint8_t { kUnderline = 1, kStrikeout = 2, kBold = 4, kMono = 8, kSheet = 16 };
struct Layout {
    const char* text;
    C_Vector2D at;
    std::uint8_t align;
    std::uint8_t style = 0;
    float size = 10.0f;
    C_Font TextLayout::*from = &TextLayout::font;  // null: no font
    const C_Rect* box = nullptr;
    std::uint32_t caret = GFX_TEXT_NO_CARET;
    const C_Frame* clip = nullptr;

    // Puts the case's type into the fixture; the font to draw with.
    C_Font* Prepare(TextLayout& t) const {
        const std::uint8_t kind = style & kSheet ? GFX_GLYPH_SHEET : style & kMono ? GFX_GLYPH_MONO : GFX_GLYPH_GRAY;
        t.type = C_FontType(C_String(""), size, kind, style & kBold ? 1 : 0, 0, style & kUnderline ? 1 : 0,
                            style & kStrikeout ? 1 : 0, 0);
        return from ? &(t.*from) : nullptr;
    }
};

const C_Rect kWide(0, 0, 100, 50), kNoHeight(0, 0, 100, 0), kOneRow(0, 0, 100, 1), kLeft(0, 0, 30, 50),
    kRight(20, 0, 50, 50), kSheetBox(0, 0, 100, 40);

// Every layout rule through the calls it issues, against one golden hash:
// anchors and text alignment, lines aligned one by one, bytes and UTF-8
// (each maximal malformed run draws one replacement), tabs, underline and
// strike-out (spaces draw lines only), boxes with a caret and culling, clips,
// the variant choice by style, kind and nearest size, and sheet glyphs.
TEST_F(TextLayout, CallsOfEveryLayoutMatchTheGoldenHash) {
    constexpr std::uint8_t kUtf8 = GFX_TEXT_UTF8;
    const Layout layouts[] = {
        {"AA", C_Vector2D(0, 0, 2), 2},
        {"AA\nA", C_Vector2D(0, 0, 2), 2},
        {"A\320\226A", C_Vector2D(), 0},
        {"A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\320\226", C_Vector2D(), kUtf8},
        {"\xC3(A\xE2\x82\x41", C_Vector2D(), kUtf8},         // cut sequences
        {"A\xC0\x80", C_Vector2D(), kUtf8},                  // overlong: no lead C0
        {"A\xE0\x80\x80", C_Vector2D(), kUtf8},              // overlong, three bytes
        {"A\xE0\xA0\x80\xED\x9F\xBF", C_Vector2D(), kUtf8},  // the first and last lead whose range is narrowed
        {"A\xED\xA0\x80", C_Vector2D(), kUtf8},              // a surrogate
        {"A\xF4\x90\x80\x80", C_Vector2D(), kUtf8},          // beyond U+10FFFF
        {"A\x80\xFFzA\xF0\x9F\x98", C_Vector2D(), kUtf8},
        {"\303A", C_Vector2D(), 0},  // bytes above 127 pass over
        {"AA\nA", C_Vector2D(50, 0), 2 | GFX_TEXT_ALIGN_LINES},
        {"A\nAA", C_Vector2D(50, 0), 1 | GFX_TEXT_ALIGN_LINES},
        {"A\tA", C_Vector2D(10, 0), 0},
        {"\tA", C_Vector2D(10, 0), 0, kUnderline},
        {" A", C_Vector2D(10, 0), 0, kUnderline | kStrikeout},
        {"A\nA", C_Vector2D(0, 3, 0x00), 0x00},
        {"A\nA", C_Vector2D(0, 3, 0x10), 0x10},
        {"A\nA", C_Vector2D(0, 3, 0x20), 0x20},
        {"A", C_Vector2D(5, 5, 0x11), 0x11, 0, 10.0f, &TextLayout::font, nullptr, 0, &kClip},
        {"AA", C_Vector2D(10, 0), 0, 0, 10.0f, &TextLayout::font, &kWide, 1},
        {"AA", C_Vector2D(10, 0), 0, 0, 10.0f, &TextLayout::font, &kWide, 2},
        {"A\nA", C_Vector2D(), 0, 0, 10.0f, &TextLayout::font, &kNoHeight},
        {"A\nA", C_Vector2D(), 0, 0, 10.0f, &TextLayout::font, &kOneRow},
        {"AAAAA", C_Vector2D(), 0, 0, 10.0f, &TextLayout::font, &kLeft},
        {"AAAAA", C_Vector2D(), 0, 0, 10.0f, &TextLayout::font, &kRight},
        {"", C_Vector2D(), 0},
        {" Z", C_Vector2D(), 0},  // the first printable character decides
        {"A", C_Vector2D(), 0, kBold},
        {"A", C_Vector2D(), 0, kMono},
        {"A", C_Vector2D(), 0, 0, 10.0f, nullptr},
        {"A", C_Vector2D(), 0, 0, 13.0f, &TextLayout::tie12},
        {"A", C_Vector2D(), 0, 0, 13.0f, &TextLayout::tie14},
        {"A", C_Vector2D(), 0, kUnderline, 10.0f, &TextLayout::flat},
        {"A", C_Vector2D(), 0, kSheet | kUnderline, 10.0f, &TextLayout::sheet},  // the line is the '_' cell
        // The pen wraps through a width that rounds to the box; a result
        // equal to the period is in range and must not fold to 0.
        {"AAA", C_Vector2D(-1, 0, 0x01), 1, kSheet, 8.5f, &TextLayout::narrow, &kSheetBox, ~0u},
    };
    g_hash = kFnvStart;
    for (const Layout& c : layouts) {
        C_Font* from = c.Prepare(*this);
        const bool ok = c.box ? Gfx_Surface_DrawTextEx(C_String(c.text), from, type, &dst, colour, *c.box, c.align,
                                                       c.at, c.caret, nullptr, nullptr)
                              : Gfx_Surface_DrawText(C_String(c.text), from, type, &dst, colour, c.at, c.align, 0, 0,
                                                     c.clip, nullptr, 0);
        g_hash = Fnv1a(g_hash, &ok, 1);
    }
    EXPECT_EQ(g_hash, 0xFFEBDC9AD452EE1Eull);
}

// Drawn for real, on white, with solid glyph pictures.
TEST_F(TextLayout, TheMeasuredRectangleIsWhatDrawingChanges) {
    Gfx_SetBlitOverride(nullptr);
    const C_Frame left(0, 0, 60, 60);
    const Layout cases[] = {
        {"AA", C_Vector2D(3, 4, 2), 2},
        {"A\nAAA", C_Vector2D(3, 4, 2), 2 | GFX_TEXT_ALIGN_LINES},
        {"AA", C_Vector2D(3, 4), 0, kUnderline, 13.0f},  // scaled, and underlined
        {"AAAAAAAAAA", C_Vector2D(3, 4, 2), 2, 0, 10.0f, &TextLayout::font, nullptr, GFX_TEXT_NO_CARET, &left},
        {"A\xD0\x96", C_Vector2D(3, 4, 0x22), 0x22 | GFX_TEXT_UTF8, 0, 15.0f},
        {"BAB", C_Vector2D(3, 4), 0, kSheet, 13.0f, &TextLayout::sheet},  // cells that do not start at the sheet's edge
    };
    for (const Layout& c : cases) {
        std::memset(canvas.data, 0xFF, canvas.dataSize);
        C_Font* from = c.Prepare(*this);
        C_Frame measured(-1, -1, -1, -1);
        ASSERT_TRUE(Gfx_Font_MeasureText(C_String(c.text), from, type, &dst, C_Color(), c.at, c.align, 0, 0, c.clip,
                                         nullptr, 0, &measured));
        ASSERT_TRUE(
            Gfx_Surface_DrawText(C_String(c.text), from, type, &dst, colour, c.at, c.align, 0, 0, c.clip, nullptr, 0));
        const C_Frame drawn = Ink(canvas);
        EXPECT_EQ(std::vector<int>({measured.x0, measured.y0, measured.x1, measured.y1}),
                  std::vector<int>({drawn.x0, drawn.y0, drawn.x1, drawn.y1}))
            << c.text;
    }
    C_Frame none(1, 1, 1, 1);
    EXPECT_FALSE(Gfx_Font_MeasureText(C_String("A"), nullptr, C_FontType(), &dst, C_Color(), C_Vector2D(), 0, 0, 0,
                                      nullptr, nullptr, 0, &none));
    EXPECT_EQ(none.x1, 0);
}

#if defined(QUILLORY_HAVE_FREETYPE)

const C_BitmapGlyph& GlyphOf(const C_Font& font, unsigned char c, std::uint32_t variant = 0) {
    return *font.GetFace(c)->GetGlyph(variant);
}
const C_Image& PictureOf(const C_Font& font, unsigned char c, std::uint32_t variant = 0) {
    return *font.GetImage(GlyphOf(font, c, variant).imageIndex)->GetPlane(2);
}

// Missing files and files that are no font fail, and the reason names the
// file; other render kinds, and fonts without faces, add nothing.
TEST(TrueType, FailuresAddNothing) {
    C_Font font, empty;
    font.AddFaces('a', 'c');
    const std::string missing = Quillory_TempPath("no-such-font.ttf"), text = Quillory_TempPath("not-a-font.ttf");
    ASSERT_TRUE(C_String("these bytes are no font").SaveToFile(text.c_str(), 0));
    for (const std::string& path : {missing, text}) {
        EXPECT_FALSE(Gfx_Font_ImportTrueType(C_String(path.c_str()), C_BitmapGlyph(13, GFX_GLYPH_GRAY, 7), &font));
        EXPECT_EQ(std::string(Gfx_GetErrorReason()).rfind(path + ": ", 0), 0u);
    }
    EXPECT_FALSE(Gfx_Font_ImportTrueType(C_String(kDejaVuSansPath), C_BitmapGlyph(13, GFX_GLYPH_GRAY, 7), nullptr));
    EXPECT_TRUE(Gfx_Font_ImportTrueType(C_String(kDejaVuSansPath), C_BitmapGlyph(12, GFX_GLYPH_SHEET, 7), &font));
    EXPECT_TRUE(Gfx_Font_ImportTrueType(C_String(kDejaVuSansPath), C_BitmapGlyph(12, GFX_GLYPH_GRAY, 7), &empty));
    EXPECT_EQ(font.ImageCount() + empty.ImageCount() + font.GetFace('a')->GlyphCount(), 0u);
}

// Forged fonts of 64 units per em, imported at 12 points (16 pixels per em,
// a unit a quarter pixel): a glyph may span 8 em and two pixels for rounding
// (130 pixels, a box 520 units wide from x = 5); one a unit wider, or one of
// 500 em (a gigabyte-class bitmap at larger sizes), is skipped. A box 64
// pixels wide has one-bit rows that fill their padded pitch exactly.
TEST(TrueType, GlyphsFarBeyondTheirEmSquareAreSkipped) {
    const struct {
        std::int32_t right, top;
        bool kept;
    } boxes[] = {{7 * 64, 7 * 64, true}, {260, 448, true}, {525, 448, true}, {526, 448, false}, {32000, 32000, false}};
    for (const auto& box : boxes) {
        SCOPED_TRACE(box.right);
        const std::string path = Quillory_TempPath("box" + std::to_string(box.right) + ".ttf");
        const std::vector<std::uint8_t> bytes = Quillory_TrueTypeFont(64, box.right, box.top);
        std::FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
        std::fclose(f);
        C_Font font;
        ASSERT_TRUE(font.AddFace('A') && font.AddFace('B'));
        for (const std::uint8_t kind : {GFX_GLYPH_MONO, GFX_GLYPH_GRAY})
            ASSERT_TRUE(Gfx_Font_ImportTrueType(C_String(path.c_str()), C_BitmapGlyph(12, kind, 7), &font));
        EXPECT_EQ(font.GetFace('A')->GlyphCount(), 2u);
        ASSERT_EQ(font.GetFace('B')->GlyphCount(), box.kept ? 2u : 0u);
        // Each import adds the next variant: a one-bit picture of exactly the
        // glyph's frame, then an anti-aliased one with a clear margin.
        for (std::uint32_t v = 0; box.kept && v < 2; ++v) {
            const C_BitmapGlyph& g = GlyphOf(font, 'B', v);
            const C_Frame& frame = g.frame;
            EXPECT_NEAR(frame.x1, (box.right - 5) / 4, 3);
            EXPECT_NEAR(frame.y1, box.top / 4, 3);
            const C_Image& p = PictureOf(font, 'B', v);
            ASSERT_EQ(std::vector<int>({g.format, g.imageIndex, int(p.width), int(p.height), p.format}),
                      std::vector<int>({v ? GFX_GLYPH_GRAY : GFX_GLYPH_MONO, int(2 * v + 1), frame.x1 + int(v),
                                        frame.y1 + int(v), GFX_FMT_CH8}));
            // A box: every row inside it is the same, solid in the middle.
            EXPECT_EQ(p.Row(frame.y1 / 2)[frame.x1 / 2], 255);
            for (std::int32_t y = 2; y + 2 < frame.y1; ++y)
                ASSERT_EQ(std::memcmp(p.Row(y), p.Row(frame.y1 / 2), p.width), 0) << y;
            for (std::uint32_t y = 0; v && y < p.height; ++y) EXPECT_EQ(p.Row(y)[p.width - 1], 0) << y;
        }
    }
}

// Unscaled glyphs are drawn in gathered rows: the pixels of one blit per
// glyph (forced through the override), clipped or not, over two lines, also
// where half-covered glyphs overlap, or where their cells overlap but their
// ink does not; fully covered pixels take the text colour.
TEST(TrueType, GatheredRowsDrawWhatOneBlitPerGlyphDraws) {
    C_Font font, tight;
    font.AddFaces(32, 127);
    ASSERT_TRUE(Gfx_Font_ImportTrueType(C_String(kLiberationSerifPath), C_BitmapGlyph(13, GFX_GLYPH_MONO, 8), &font));
    const C_FontType type(C_String(""), 13.0f, GFX_GLYPH_MONO, 1, 0, 0, 0, 0);
    AddVariant(tight, {{'A', 5, 0, 8, 8, 12}}, 13);
    C_Image* half = tight.GetImage(0)->GetPlane(GFX_PLANE_ALPHA);
    const C_FontType tightType(C_String(""), 13.0f, GFX_GLYPH_GRAY, 0, 0, 0, 0, 0);
    const C_Frame cut(7, 9, 150, 31);
    for (const C_Frame* clip2 : {static_cast<const C_Frame*>(nullptr), &cut})
        // -1: the serif font; else the tight 'A' inked from that column on:
        // from 0 the ink overlaps, from 5 only the cells do.
        for (const int inkFrom : {-1, 0, 5}) {
            const bool overlapping = inkFrom >= 0;
            for (std::uint32_t y = 0; y < half->height; ++y)
                for (std::uint32_t x = 0; x < half->width; ++x)
                    half->Row(y)[x] = static_cast<int>(x) >= inkFrom ? 128 : 0;
            C_Image images[2];
            for (int viaBlit = 0; viaBlit < 2; ++viaBlit) {
                images[viaBlit].CreateEmpty(200, 40, GFX_FMT_ARGB8888, GFX_FMT_NONE, C_Color(0.9f, 0.8f, 0.7f, 1.0f));
                C_Surface target(GFX_PLANES_BORROWED, &images[viaBlit]);
                Gfx_SetBlitOverride(viaBlit ? &Gfx_Surface_BlitTransformedBuiltin : nullptr);
                ASSERT_TRUE(Gfx_Surface_DrawText(C_String(overlapping ? "AAA\nAA" : "fij Wavy,\nQuillory AV"),
                                                 overlapping ? &tight : &font, overlapping ? tightType : type, &target,
                                                 C_Color(0, 0, 128, 0), C_Vector2D(-3.0f, 2.0f), 0, 0, 0, nullptr,
                                                 clip2, 0));
                Gfx_SetBlitOverride(nullptr);
            }
            EXPECT_EQ(0, std::memcmp(images[0].data, images[1].data, images[0].dataSize));
            if (overlapping) continue;  // half coverage: no pixel takes the whole text colour
            const auto* pixels = reinterpret_cast<const std::uint32_t*>(images[0].data);
            EXPECT_GT(std::count_if(pixels, pixels + images[0].dataSize / 4,
                                    [](std::uint32_t p) { return (p & 0xFFFFFF) == 0x000080; }),
                      100);
        }
}

#else

TEST(TrueType, WithoutFreeTypeTheImportReportsFailure) {
    C_Font font;
    font.AddFace('a');
    EXPECT_FALSE(Gfx_Font_ImportTrueType(C_String(kDejaVuSansPath), C_BitmapGlyph(13, GFX_GLYPH_GRAY, 7), &font));
    EXPECT_EQ(Gfx_GetErrorDetailCode(), GFX_ERR_OPEN_READ);
    EXPECT_EQ(font.ImageCount(), 0u);
}

#endif

}  // namespace
