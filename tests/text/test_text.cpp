// Text layout, checked on the blits it issues (through the blit override
// hook); UTF-8 decoding; measuring against drawing; and the TrueType import
// on real and forged font files.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "font_builders.h"
#include "truetype_builder.h"

namespace {

struct BlitCall {
    C_Surface* src;
    bool whole;  // no source rectangle
    C_Rect rect;
    C_Vector2D position;
    C_DrawParams params;
    const C_Frame* clip;
    const C_Frame* clip2;
};
std::vector<BlitCall> g_calls;

bool Record(C_Surface* src, C_Surface*, const C_Rect* srcRect, const C_Frame* clip, const C_Frame* clip2,
            const C_Vector2D* position, std::uint32_t, const C_DrawParams* params) {
    g_calls.push_back({src, srcRect == nullptr, srcRect ? *srcRect : C_Rect(), *position, *params, clip, clip2});
    return true;
}

constexpr std::int32_t kBad = GFX_TEXT_REPLACEMENT;
using Calls = std::vector<std::pair<std::int32_t, float>>;  // the glyph drawn and its x

// A font of size 10 whose metrics make positions easy to follow: "A"
// advances 10 with a picture of 8 x 12 (pivot 4, 6) and bearing (1, 8).
struct TextLayout : ::testing::Test {
    C_Font font;
    C_FontType type{C_String(""), 10.0f, GFX_GLYPH_GRAY, 0, 0, 0, 0, 0};
    C_Image canvas;
    C_Surface dst{GFX_PLANES_BORROWED};
    C_Color colour{0.0f, 0.0f, 0.5f, 0.0f};

    void SetUp() override {
        AddVariant(font,
                   {{'A', 10, 1, 8, 8, 12},
                    {' ', 10, 0, 0, 0, 0},
                    {'_', 5, 0, -1, 5, 1},
                    {'|', 3, 1, 9, 1, 12},
                    {0x416, 10, 1, 8, 8, 12},
                    {kBad, 10, 1, 8, 8, 12}},
                   10);
        canvas.CreateEmpty(100, 50, GFX_FMT_ARGB8888, GFX_FMT_NONE);
        dst.AddPlane(&canvas, 1);
        g_calls.clear();
        Gfx_SetBlitOverride(Record);
    }
    void TearDown() override { Gfx_SetBlitOverride(nullptr); }

    bool Draw(const char* text, C_Vector2D at, std::uint8_t align, const C_Frame* clip = nullptr) {
        return DrawIn(&font, type, text, at, align, clip);
    }
    bool DrawIn(C_Font* from, const C_FontType& t, const char* text, C_Vector2D at = C_Vector2D(),
                std::uint8_t align = 0, const C_Frame* clip = nullptr) {
        return Gfx_Surface_DrawText(C_String(text), from, t, &dst, colour, at, align, 0, 0, clip, nullptr, 0);
    }
    bool DrawBoxed(const char* text, float x0, float x1, const C_Vector2D& at, std::uint32_t caret) {
        return Gfx_Surface_DrawTextEx(C_String(text), &font, type, &dst, colour, C_Rect(x0, 0.0f, x1, 50.0f), 0, at,
                                      caret, nullptr, nullptr);
    }
    C_Surface* Surface(std::int32_t c) const { return font.GetImage(font.GetFace(c)->GetGlyph(0)->imageIndex); }
    Calls Drawn() const {
        Calls out;
        for (const BlitCall& call : g_calls)
            for (const std::int32_t c : {std::int32_t{'A'}, std::int32_t{'_'}, std::int32_t{'|'}, 0x416, kBad})
                if (call.src == Surface(c)) out.emplace_back(c, call.position.x);
        return out;
    }
};

TEST_F(TextLayout, GlyphsAndLinesLandWhereTheRulesPutThem) {
    const struct {
        const char* text;
        float x;
        std::uint8_t posAlign, textAlign;
        bool underline, strikeout;
        Calls want;
    } cases[] = {
        // The block is 19 wide (one less than the pen advance), so it starts
        // at 50 - 9.5; each glyph lands at its bearing plus its pivot, truncated.
        {"AA", 0, 2, 2, false, false, {{'A', 45}, {'A', 55}}},
        // The measuring pass also restarts at the anchor: the block is 59 wide.
        {"AA\nA", 0, 2, 2, false, false, {{'A', 25}, {'A', 35}, {'A', 55}}},
        {"A\320\226A", 0, 0, GFX_TEXT_UTF8, false, false, {{'A', 5}, {0x416, 15}, {'A', 25}}},
        {"A\320\226A", 0, 0, 0, false, false, {{'A', 5}, {'A', 15}}},           // bytes: 0xD0 and 0x96 have no face
        {"\xC3(A", 0, 0, GFX_TEXT_UTF8, false, false, {{kBad, 5}, {'A', 15}}},  // "(" has none either
        {"\xE2\x82\x41", 0, 0, GFX_TEXT_UTF8, false, false, {{kBad, 5}, {'A', 15}}},  // a cut sequence: one replacement
        // Centred lines of 19 and 9, right-aligned ones of 9 and 19, at 50.
        {"AA\nA", 50, 0, 2 | GFX_TEXT_ALIGN_LINES, false, false, {{'A', 45}, {'A', 55}, {'A', 50}}},
        {"A\nAA", 50, 0, 1 | GFX_TEXT_ALIGN_LINES, false, false, {{'A', 46}, {'A', 36}, {'A', 46}}},
        {"A\tA", 10, 0, 0, false, false, {{'A', 15}, {'A', 72}}},  // a tab advances 47
        {"\tA", 10, 0, 0, true, false, {{'_', 9}, {'A', 62}, {'_', 56}}},
        {" A", 10, 0, 0, true, true, {{'_', 9}, {'_', 9}, {'A', 25}, {'_', 19}, {'_', 19}}},  // a space: lines only
    };
    for (const auto& c : cases) {
        g_calls.clear();
        type.underline = c.underline;
        type.strikeout = c.strikeout;
        ASSERT_TRUE(Draw(c.text, C_Vector2D(c.x, 0.0f, c.posAlign), c.textAlign)) << c.text;
        EXPECT_EQ(Drawn(), c.want) << c.text;
    }
    // The lines span their character's advance, underline below the
    // baseline, strike-out at half the size; glyphs after them are unscaled.
    EXPECT_FLOAT_EQ(g_calls[0].params.scale.x * 5.0f, 10.0f);
    EXPECT_FLOAT_EQ(g_calls[0].params.pivot.y, -11.0f);
    EXPECT_FLOAT_EQ(g_calls[1].params.pivot.y, -6.0f);
    EXPECT_FLOAT_EQ(g_calls[2].params.scale.x, 1.0f);
    EXPECT_TRUE(g_calls[0].whole);
}

TEST_F(TextLayout, AGlyphCallCarriesItsCellPivotAndColour) {
    ASSERT_TRUE(Draw("A\nA", C_Vector2D(0.0f, 0.0f, 2), 2));
    ASSERT_EQ(g_calls.size(), 2u);
    const BlitCall& first = g_calls[0];
    EXPECT_FLOAT_EQ(first.position.y, 0.0f - 8.0f + 10.0f + 6.0f);
    EXPECT_FLOAT_EQ(g_calls[1].position.y - first.position.y, 10.0f / 2 + 10.0f + 1.0f);
    EXPECT_FALSE(first.whole);
    EXPECT_EQ(std::vector<float>({first.rect.x1, first.rect.y1, first.params.pivot.x, first.params.pivot.y,
                                  first.params.scale.x, first.params.opacity, float(first.params.filter),
                                  float(first.params.useFillColor), float(first.position.align)}),
              std::vector<float>({8, 12, 4, 6, 1, 1, 1, 0, 68}));
    EXPECT_EQ(first.params.fillColor, colour);

    // Vertically the two-line block measures 16 (to the top of its last
    // line): from the top, from the bottom of the 50 rows, or centred.
    for (const auto& [align, y] : {std::pair{0x00, 11.0f}, {0x10, 39.0f}, {0x20, 11.0f + 25.0f - 8.0f}}) {
        g_calls.clear();
        ASSERT_TRUE(Draw("A\nA", C_Vector2D(0.0f, 3.0f, std::uint8_t(align)), std::uint8_t(align)));
        EXPECT_FLOAT_EQ(g_calls.at(0).position.y, y) << align;
    }
    // The anchor is measured inside the clip box: (105, 55), where the block
    // (9 wide, one line of 16) ends.
    g_calls.clear();
    const C_Frame clip(10, 10, 110, 60);
    ASSERT_TRUE(Draw("A", C_Vector2D(5.0f, 5.0f, 0x11), 0x11, &clip));
    ASSERT_EQ(g_calls.size(), 1u);
    EXPECT_FLOAT_EQ(g_calls[0].position.x, 101.0f);
    EXPECT_FLOAT_EQ(g_calls[0].position.y, 39.0f - 8.0f + 10.0f + 6.0f);
    EXPECT_EQ(g_calls[0].clip, &clip);
    EXPECT_EQ(g_calls[0].clip2, nullptr);
}

TEST_F(TextLayout, BoxedTextPlacesTheCaretAndCullsPastTheBox) {
    ASSERT_TRUE(DrawBoxed("AA", 0, 100, C_Vector2D(10.0f, 0.0f), 1));         // the caret stands before its character
    EXPECT_EQ(Drawn(), (Calls{{'A', 15}, {'|', 19}, {'|', 20}, {'A', 25}}));  // two pixels wide
    EXPECT_FLOAT_EQ(g_calls[2].params.pivot.y, 9.0f - 10.0f);
    g_calls.clear();
    ASSERT_TRUE(DrawBoxed("AA", 0, 100, C_Vector2D(10.0f, 0.0f), 2));  // an index equal to the length is never reached
    EXPECT_EQ(g_calls.size(), 2u);
    // The second line's top lies 16 below the first line's, on the bottom of
    // a box of that height: a line whose top is the box's bottom is culled.
    for (const float y1 : {0.0f, 1.0f}) {
        g_calls.clear();
        ASSERT_TRUE(Gfx_Surface_DrawTextEx(C_String("A\nA"), &font, type, &dst, colour, C_Rect(0.0f, 0.0f, 100.0f, y1),
                                           0, C_Vector2D(), 0xFFFFFF, nullptr, nullptr));
        EXPECT_EQ(g_calls.size(), y1 > 0.0f ? 2u : 1u) << y1;
    }
    for (const float x0 : {0.0f, 20.0f}) {  // pens from the box's left edge, culled at its right
        g_calls.clear();
        ASSERT_TRUE(DrawBoxed("AAAAA", x0, x0 + 30.0f, C_Vector2D(), 0xFFFFFF));
        EXPECT_EQ(g_calls.size(), 3u) << x0;
    }
}

TEST_F(TextLayout, VariantsAreChosenByStyleKindAndNearestSize) {
    EXPECT_FALSE(Draw("", C_Vector2D(), 0));
    EXPECT_FALSE(Draw(" Z", C_Vector2D(), 0));  // the first printable character decides
    EXPECT_FALSE(Draw(" Z", C_Vector2D(), GFX_TEXT_UTF8));
    type.bold = 1;  // style 8, but the font has only style 7
    EXPECT_FALSE(Draw("A", C_Vector2D(), 0));
    type.bold = 0;
    type.format = GFX_GLYPH_MONO;  // nor does the render kind match
    EXPECT_FALSE(Draw("A", C_Vector2D(), 0));
    EXPECT_FALSE(DrawIn(nullptr, type, "A"));
    EXPECT_TRUE(g_calls.empty());
    type.format = GFX_GLYPH_GRAY;
    EXPECT_TRUE(Draw("\303A", C_Vector2D(), 0));  // bytes above 127 are passed over: "A" decides
    EXPECT_EQ(g_calls.size(), 1u);

    // A size tie takes the first variant in the face's list.
    type.size = 13.0f;
    for (const auto& [first, second] : {std::pair{12, 14}, {14, 12}}) {
        C_Font tie;
        AddVariant(tie, {{'A', first, 0, 8, 8, 12}}, static_cast<std::uint16_t>(first));
        AddVariant(tie, {{'A', second, 0, 8, 8, 12}}, static_cast<std::uint16_t>(second));
        g_calls.clear();
        ASSERT_TRUE(DrawIn(&tie, type, "A"));
        EXPECT_FLOAT_EQ(g_calls.at(0).params.scale.y, 13.0f / static_cast<float>(first));
    }
    // An underscore without advance draws no line.
    C_Font flat;
    AddVariant(flat, {{'A', 10, 1, 8, 8, 12}, {'_', 0, 0, -1, 5, 1}}, 10);
    type.size = 10.0f;
    type.underline = 1;
    g_calls.clear();
    ASSERT_TRUE(DrawIn(&flat, type, "A"));
    EXPECT_EQ(g_calls.size(), 1u);
}

TEST_F(TextLayout, SheetGlyphsDrawTheirCellAndKeepAPenThatRoundsToTheBox) {
    C_Font sheetFont;
    sheetFont.AddFaces('A', 'Z' + 1);
    sheetFont.AddFace('_');
    ASSERT_TRUE(Gfx_Font_AddSheet(C_String("AB_"), 3, 1, 10, CoverageSurface(30, 10), &sheetFont));
    type.format = GFX_GLYPH_SHEET;
    type.underline = 1;
    ASSERT_TRUE(DrawIn(&sheetFont, type, "A"));
    ASSERT_EQ(g_calls.size(), 2u);
    EXPECT_FALSE(g_calls[1].whole);  // the line is the '_' cell, not the sheet
    EXPECT_FLOAT_EQ(g_calls[1].rect.x0, 20.0f);

    // The wrap places the third glyph through a pen that rounds to the box
    // width; a result equal to the period is in range and must not fold to 0.
    C_Font narrow;
    narrow.AddFace('A');
    ASSERT_TRUE(Gfx_Font_AddSheet(C_String("A"), 1, 1, 7, CoverageSurface(6, 8), &narrow));
    const C_FontType sheetType{C_String(""), 8.5f, GFX_GLYPH_SHEET, 0, 0, 0, 0, 0};
    g_calls.clear();
    ASSERT_TRUE(Gfx_Surface_DrawTextEx(C_String("AAA"), &narrow, sheetType, &dst, colour,
                                       C_Rect(0.0f, 0.0f, 100.0f, 40.0f), 1, C_Vector2D(-1.0f, 0.0f, 0x01), 0xFFFFFFFF,
                                       nullptr, nullptr));
    std::vector<float> xs;
    for (const BlitCall& call : g_calls) xs.push_back(call.position.x);
    EXPECT_EQ(xs, (std::vector<float>{1.0f, 8.0f, 15.0f}));
}

TEST(TextUtf8, DecodesCharactersAndReplacesMalformedRuns) {
    const struct {
        const char* bytes;
        std::vector<std::int32_t> codes;
    } cases[] = {
        {"a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", {'a', 0xE9, 0x20AC, 0x1F600}},
        {"\xC0\x80", {kBad, kBad}},                      // overlong: no lead C0
        {"\xE0\x80\x80", {kBad, kBad, kBad}},            // overlong three-byte form
        {"\xE0\xA0\x80\xED\x9F\xBF", {0x800, 0xD7FF}},   // the first and last lead whose range is narrowed
        {"\xED\xA0\x80", {kBad, kBad, kBad}},            // a surrogate
        {"\xF4\x90\x80\x80", {kBad, kBad, kBad, kBad}},  // beyond U+10FFFF
        {"\xF0\x9F\x98", {kBad}},                        // cut short at the end
        {"\x80\xFFz", {kBad, kBad, 'z'}},
    };
    for (const auto& c : cases) {
        const std::size_t length = std::strlen(c.bytes);
        std::vector<std::int32_t> got;
        std::size_t i = 0;
        for (std::int32_t code; (code = Gfx_Text_DecodeUtf8(c.bytes, length, &i)) >= 0;) got.push_back(code);
        EXPECT_EQ(got, c.codes) << c.bytes;
        EXPECT_EQ(i, length);
    }
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

TEST(TextMeasure, TheMeasuredRectangleIsWhatDrawingChanges) {
    C_Font font;
    AddVariant(font, {{'A', 10, 1, 8, 8, 12}, {'_', 5, 0, -1, 5, 1}, {0x416, 12, 0, 9, 11, 13}}, 10);
    C_Font sheet;  // glyphs whose cells do not start at the sheet's edge
    sheet.AddFaces('A', 'C');
    ASSERT_TRUE(Gfx_Font_AddSheet(C_String("AB"), 2, 1, 10, CoverageSurface(20, 10), &sheet));
    C_Image canvas;
    canvas.CreateEmpty(120, 60, GFX_FMT_ARGB8888, GFX_FMT_NONE);
    C_Surface dst(GFX_PLANES_BORROWED, &canvas);
    const C_Frame left(0, 0, 60, 60);
    const struct {
        const char* text;
        float size;
        std::uint8_t align;  // of the position and of the text
        bool underline;
        const C_Frame* clip;
        C_Font* from;
    } cases[] = {
        {"AA", 10.0f, 2, false, nullptr, &font},
        {"A\nAAA", 10.0f, 2 | GFX_TEXT_ALIGN_LINES, false, nullptr, &font},
        {"AA", 13.0f, 0, true, nullptr, &font},  // scaled, and underlined
        {"AAAAAAAAAA", 10.0f, 2, false, &left, &font},
        {"A\xD0\x96", 15.0f, 0x22 | GFX_TEXT_UTF8, false, nullptr, &font},
        {"BAB", 13.0f, 0, false, nullptr, &sheet},
    };
    for (const auto& c : cases) {
        std::memset(canvas.data, 0xFF, canvas.dataSize);
        const C_FontType type(C_String(""), c.size, c.from == &sheet ? GFX_GLYPH_SHEET : GFX_GLYPH_GRAY, 0, 0,
                              c.underline ? 1 : 0, 0, 0);
        const C_Vector2D at(3.0f, 4.0f, static_cast<std::uint8_t>(c.align & 0x33));
        C_Frame measured(-1, -1, -1, -1);
        ASSERT_TRUE(Gfx_Font_MeasureText(C_String(c.text), c.from, type, &dst, C_Color(), at, c.align, 0, 0, c.clip,
                                         nullptr, 0, &measured));
        ASSERT_TRUE(Gfx_Surface_DrawText(C_String(c.text), c.from, type, &dst, C_Color(), at, c.align, 0, 0, c.clip,
                                         nullptr, 0));
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

// Each import adds the next variant of every face: one bit coverage pictures
// of exactly the glyph's frame, or anti-aliased ones with a clear margin.
TEST(TrueType, ImportsAddAVariantOfEveryFace) {
    C_Font font;
    ASSERT_TRUE(font.AddFaces(32, 127));
    ASSERT_TRUE(Gfx_Font_ImportTrueType(C_String(kLiberationSerifPath), C_BitmapGlyph(13, GFX_GLYPH_MONO, 7), &font));
    ASSERT_TRUE(Gfx_Font_ImportTrueType(C_String(kLiberationSerifPath), C_BitmapGlyph(14, GFX_GLYPH_GRAY, 8), &font));
    ASSERT_EQ(font.ImageCount(), 190u);
    bool partial = false;
    for (unsigned char c = 32; c < 127; ++c)
        for (std::uint32_t v = 0; v < 2; ++v) {
            const C_BitmapGlyph& g = GlyphOf(font, c, v);
            const C_Image& p = PictureOf(font, c, v);
            ASSERT_EQ(std::vector<int>({g.size, g.format, g.style, g.imageIndex, p.format, p.palFormat}),
                      std::vector<int>({13 + int(v), v ? GFX_GLYPH_GRAY : GFX_GLYPH_MONO, 7 + int(v),
                                        c - 32 + 95 * int(v), GFX_FMT_CH8, v ? GFX_FMT_SAME : GFX_FMT_NONE}));
            ASSERT_EQ(std::make_pair(p.width, p.height),
                      std::make_pair(std::uint32_t(g.frame.x1) + v, std::uint32_t(g.frame.y1) + v));
            for (std::uint32_t y = 0; y < p.height; ++y)
                for (std::uint32_t x = 0; x < p.width; ++x) {
                    const std::uint8_t a = p.Row(y)[x];
                    const bool margin = x + 1 == p.width || y + 1 == p.height;
                    ASSERT_TRUE(v == 0 ? a == 0 || a == 255 : !margin || a == 0) << c << " " << v;
                    partial = partial || (v == 1 && a > 0 && a < 255);
                }
        }
    EXPECT_TRUE(partial);
    // Liberation Serif at 13 points and 96 dpi is about 17.3 pixels per em:
    // "A" advances about 12.5 and stands about 11.5 high.
    const C_BitmapGlyph& a = GlyphOf(font, 'A');
    EXPECT_TRUE(a.advance.x >= 11 && a.advance.x <= 14 && a.advance.y == 0) << a.advance.x;
    EXPECT_TRUE(a.bearing.y >= 10 && a.bearing.y <= 13) << a.bearing.y;
    EXPECT_GT(GlyphOf(font, 'p').frame.y1, GlyphOf(font, 'p').bearing.y);  // the descender
}

TEST(TrueType, FailuresAddNothing) {
    C_Font font;
    font.AddFaces('a', 'c');
    const std::string missing = Quillory_TempPath("no-such-font.ttf"), text = Quillory_TempPath("not-a-font.ttf");
    ASSERT_TRUE(C_String("these bytes are no font").SaveToFile(text.c_str(), 0));
    for (const std::string& path : {missing, text}) {
        EXPECT_FALSE(Gfx_Font_ImportTrueType(C_String(path.c_str()), C_BitmapGlyph(13, GFX_GLYPH_GRAY, 7), &font));
        EXPECT_EQ(Gfx_GetErrorDetailCode(), GFX_ERR_OPEN_READ);
        // The reason names the file and says what is wrong with it.
        const std::string reason = Gfx_GetErrorReason();
        EXPECT_EQ(reason.rfind(path + ": ", 0), 0u) << reason;
        EXPECT_NE(reason.find(path == missing ? "cannot be opened" : "not a font file"), std::string::npos) << reason;
    }
    EXPECT_FALSE(Gfx_Font_ImportTrueType(C_String(kDejaVuSansPath), C_BitmapGlyph(13, GFX_GLYPH_GRAY, 7), nullptr));
    // Other render kinds add nothing, nor does a font without faces.
    EXPECT_TRUE(Gfx_Font_ImportTrueType(C_String(kDejaVuSansPath), C_BitmapGlyph(12, GFX_GLYPH_SHEET, 7), &font));
    C_Font empty;
    EXPECT_TRUE(Gfx_Font_ImportTrueType(C_String(kDejaVuSansPath), C_BitmapGlyph(12, GFX_GLYPH_GRAY, 7), &empty));
    EXPECT_EQ(font.ImageCount() + empty.ImageCount() + font.GetFace('a')->GlyphCount(), 0u);
}

// Forged fonts of 64 units per em, imported at 12 points (16 pixels per em,
// a unit a quarter pixel): a glyph may span 8 em and two pixels for rounding
// (130 pixels, a box 520 units wide from x = 5); one a unit wider, or one of
// 500 em (a gigabyte-class bitmap at larger sizes), is skipped.
TEST(TrueType, GlyphsFarBeyondTheirEmSquareAreSkipped) {
    const struct {
        std::int32_t right, top;
        bool kept;
    } boxes[] = {{7 * 64, 7 * 64, true}, {525, 448, true}, {526, 448, false}, {32000, 32000, false}};
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
        for (std::uint32_t v = 0; box.kept && v < 2; ++v) {
            const C_Frame& frame = GlyphOf(font, 'B', v).frame;
            EXPECT_NEAR(frame.x1, (box.right - 5) / 4, 3);
            EXPECT_NEAR(frame.y1, box.top / 4, 3);
            // A box: every row inside it is the same, solid in the middle.
            const C_Image& p = PictureOf(font, 'B', v);
            EXPECT_EQ(p.Row(frame.y1 / 2)[frame.x1 / 2], 255);
            for (std::int32_t y = 2; y + 2 < frame.y1; ++y)
                ASSERT_EQ(std::memcmp(p.Row(y), p.Row(frame.y1 / 2), p.width), 0) << y;
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
