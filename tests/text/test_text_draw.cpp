// Text layout, checked on the blits it issues (through the blit override
// hook), and text drawn for real with imported fonts.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "font_builders.h"
#include "font_paths.h"
#include "quillory.h"

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

// A font of size 10 whose metrics make positions easy to follow:
// "A" advances 10 with a picture of 8 x 12 (pivot 4, 6) and bearing (1, 8).
struct TextLayout : ::testing::Test {
    C_Font font;
    C_FontType type{C_String(""), 10.0f, GFX_GLYPH_GRAY, 0, 0, 0, 0, 0};
    C_Image canvas;
    C_Surface dst;
    C_Color colour{0.0f, 0.0f, 0.5f, 0.0f};

    void SetUp() override {
        AddVariant(font,
                   {{'A', 10, 1, 8, 8, 12},
                    {' ', 10, 0, 0, 0, 0},
                    {'_', 5, 0, -1, 5, 1},
                    {'|', 3, 1, 9, 1, 12},
                    {0x416, 10, 1, 8, 8, 12},
                    {GFX_TEXT_REPLACEMENT, 10, 1, 8, 8, 12}},
                   10);
        canvas.CreateEmpty(100, 50, GFX_FMT_ARGB8888, GFX_FMT_NONE);
        dst.shared = 1;  // the canvas image is ours
        dst.AddPlane(&canvas, 1);
        g_calls.clear();
        Gfx_SetBlitOverride(Record);
    }
    void TearDown() override { Gfx_SetBlitOverride(nullptr); }

    bool Draw(const char* text, C_Vector2D position, std::uint8_t textAlign, const C_Frame* clip = nullptr) {
        return Gfx_Surface_DrawText(C_String(text), &font, type, &dst, colour, position, textAlign, 0, 0, clip, nullptr,
                                    0);
    }
    C_Surface* Surface(std::int32_t c) const { return font.GetImage(font.GetFace(c)->GetGlyph(0)->imageIndex); }
    std::vector<float> GlyphXs(std::int32_t c) const {
        std::vector<float> xs;
        for (const BlitCall& call : g_calls)
            if (call.src == Surface(c)) xs.push_back(call.position.x);
        return xs;
    }
};

TEST_F(TextLayout, ACentredCaptionIsCentredOnItsAnchor) {
    ASSERT_TRUE(Draw("AA", C_Vector2D(0.0f, 0.0f, 2), 2));
    ASSERT_EQ(g_calls.size(), 2u);
    // The block is 19 wide (one less than the pen advance), so it starts at
    // 50 - 9.5; each glyph lands at its bearing plus its pivot, truncated.
    EXPECT_EQ(GlyphXs('A'), (std::vector<float>{45.0f, 55.0f}));
    const BlitCall& first = g_calls[0];
    EXPECT_FLOAT_EQ(first.position.y, 0.0f - 8.0f + 10.0f + 6.0f);
    EXPECT_EQ(first.position.align, 68);
    EXPECT_FALSE(first.whole);
    EXPECT_FLOAT_EQ(first.rect.x1, 8.0f);
    EXPECT_FLOAT_EQ(first.rect.y1, 12.0f);
    EXPECT_FLOAT_EQ(first.params.pivot.x, 4.0f);
    EXPECT_FLOAT_EQ(first.params.pivot.y, 6.0f);
    EXPECT_FLOAT_EQ(first.params.scale.x, 1.0f);
    EXPECT_FLOAT_EQ(first.params.opacity, 1.0f);
    EXPECT_EQ(first.params.filter, 1u);
    EXPECT_EQ(first.params.useFillColor, 0);
    EXPECT_EQ(first.params.fillColor, colour);
}

TEST_F(TextLayout, ANewlineReturnsToTheAnchorNotToTheAlignedStart) {
    ASSERT_TRUE(Draw("AA\nA", C_Vector2D(0.0f, 0.0f, 2), 2));
    ASSERT_EQ(g_calls.size(), 3u);
    // The measuring pass also restarts at the anchor: the block is 59 wide.
    EXPECT_EQ(GlyphXs('A'), (std::vector<float>{25.0f, 35.0f, 55.0f}));
    EXPECT_FLOAT_EQ(g_calls[2].position.y - g_calls[0].position.y, 10.0f / 2 + 10.0f + 1.0f);
}

TEST_F(TextLayout, Utf8DecodingAndAlignedLines) {
    constexpr std::int32_t kBad = GFX_TEXT_REPLACEMENT;
    const struct {
        const char* text;
        std::uint8_t textAlign;
        std::vector<std::pair<std::int32_t, float>> glyphs;  // code and blit x
    } cases[] = {
        {"A\xD0\x96"
         "A",
         GFX_TEXT_UTF8,
         {{'A', 5.0f}, {0x416, 15.0f}, {'A', 25.0f}}},
        {"A\xD0\x96"
         "A",
         0,
         {{'A', 5.0f}, {'A', 15.0f}}},                            // bytes: 0xD0 and 0x96 have no face
        {"\xC3(A", GFX_TEXT_UTF8, {{kBad, 5.0f}, {'A', 15.0f}}},  // "(" has none either
        {"\xE2\x82"
         "A",
         GFX_TEXT_UTF8,
         {{kBad, 5.0f}, {'A', 15.0f}}},  // a cut sequence is one replacement
        // Anchored at x 50: centred lines of 19 and 9, right-aligned ones of 9 and 19.
        {"AA\nA", 2 | GFX_TEXT_ALIGN_LINES, {{'A', 45.0f}, {'A', 55.0f}, {'A', 50.0f}}},
        {"A\nAA", 1 | GFX_TEXT_ALIGN_LINES, {{'A', 46.0f}, {'A', 36.0f}, {'A', 46.0f}}},
    };
    for (const auto& c : cases) {
        g_calls.clear();
        const float x = (c.textAlign & GFX_TEXT_ALIGN_LINES) ? 50.0f : 0.0f;
        ASSERT_TRUE(Draw(c.text, C_Vector2D(x, 0.0f, 0), c.textAlign)) << c.text;
        std::vector<std::pair<std::int32_t, float>> got;
        for (const BlitCall& call : g_calls)
            for (const std::int32_t code : {std::int32_t{'A'}, std::int32_t{0x416}, kBad})
                if (call.src == Surface(code)) got.emplace_back(code, call.position.x);
        EXPECT_EQ(got, c.glyphs) << c.text;
    }
}

TEST_F(TextLayout, ATabAdvancesFortySevenPixelsAndIsUnderlined) {
    ASSERT_TRUE(Draw("A\tA", C_Vector2D(10.0f, 0.0f, 0), 0));
    EXPECT_EQ(GlyphXs('A'), (std::vector<float>{15.0f, 15.0f + 10.0f + 47.0f}));

    g_calls.clear();
    type.underline = 1;
    ASSERT_TRUE(Draw("\tA", C_Vector2D(10.0f, 0.0f, 0), 0));
    ASSERT_EQ(g_calls.size(), 3u);  // tab line, glyph, glyph line
    const BlitCall& line = g_calls[0];
    EXPECT_EQ(line.src, Surface('_'));
    EXPECT_TRUE(line.whole);
    EXPECT_FLOAT_EQ(line.params.scale.x, 47.0f / 5.0f);
    EXPECT_FLOAT_EQ(line.params.scale.y, 1.0f);
    EXPECT_FLOAT_EQ(line.position.x, 9.0f);
    EXPECT_FLOAT_EQ(line.params.pivot.y, -1.0f - 10.0f);
    EXPECT_FLOAT_EQ(g_calls[1].params.scale.x, 1.0f);  // restored after the line
}

TEST_F(TextLayout, ASpaceIsUnderlinedButDrawsNoPicture) {
    type.underline = 1;
    type.strikeout = 1;
    ASSERT_TRUE(Draw(" A", C_Vector2D(10.0f, 0.0f, 0), 0));
    EXPECT_TRUE(GlyphXs(' ').empty());
    // Space: underline and strike-out; "A": glyph, underline, strike-out.
    ASSERT_EQ(g_calls.size(), 5u);
    EXPECT_EQ(g_calls[0].src, Surface('_'));
    EXPECT_FLOAT_EQ(g_calls[0].position.x, 9.0f);
    EXPECT_FLOAT_EQ(g_calls[0].params.scale.x * 5.0f, 10.0f);  // spans the space's advance
    EXPECT_FLOAT_EQ(g_calls[0].params.pivot.y, -11.0f);
    EXPECT_FLOAT_EQ(g_calls[1].params.pivot.y, -6.0f);  // strike-out at half the size
    EXPECT_EQ(g_calls[2].src, Surface('A'));
}

TEST_F(TextLayout, NothingIsDrawnWithoutAMatchingVariant) {
    EXPECT_FALSE(Draw("", C_Vector2D(), 0));
    EXPECT_FALSE(Draw(" Z", C_Vector2D(), 0));  // the first printable character decides
    type.bold = 1;                              // style 8, but the font has only style 7
    EXPECT_FALSE(Draw("A", C_Vector2D(), 0));
    type.bold = 0;
    type.format = GFX_GLYPH_MONO;  // nor does the render kind match
    EXPECT_FALSE(Draw("A", C_Vector2D(), 0));
    EXPECT_FALSE(
        Gfx_Surface_DrawText(C_String("A"), nullptr, type, &dst, colour, C_Vector2D(), 0, 0, 0, nullptr, nullptr, 0));
    EXPECT_TRUE(g_calls.empty());
    type.format = GFX_GLYPH_GRAY;
    EXPECT_TRUE(
        Draw("\xC3"
             "A",
             C_Vector2D(), 0));  // bytes above 127 are passed over: "A" decides
    EXPECT_EQ(g_calls.size(), 1u);
}

TEST_F(TextLayout, TheCaretStandsBeforeItsCharacter) {
    const C_Rect box(0.0f, 0.0f, 100.0f, 50.0f);
    const C_Vector2D start(10.0f, 0.0f, 0);
    ASSERT_TRUE(Gfx_Surface_DrawTextEx(C_String("AA"), &font, type, &dst, colour, box, 0, start, 1, nullptr, nullptr));
    ASSERT_EQ(g_calls.size(), 4u);
    EXPECT_EQ(g_calls[1].src, Surface('|'));
    EXPECT_FLOAT_EQ(g_calls[1].position.x, 19.0f);
    EXPECT_FLOAT_EQ(g_calls[2].position.x, 20.0f);
    EXPECT_FLOAT_EQ(g_calls[2].params.pivot.y, 9.0f - 10.0f);

    g_calls.clear();  // an index equal to the length is never reached
    ASSERT_TRUE(Gfx_Surface_DrawTextEx(C_String("AA"), &font, type, &dst, colour, box, 0, start, 2, nullptr, nullptr));
    EXPECT_EQ(g_calls.size(), 2u);
}

TEST_F(TextLayout, GlyphsPastTheBoxAreCulled) {
    const C_Rect box(0.0f, 0.0f, 30.0f, 50.0f);
    ASSERT_TRUE(Gfx_Surface_DrawTextEx(C_String("AAAAA"), &font, type, &dst, colour, box, 0, C_Vector2D(), 0xFFFFFF,
                                       nullptr, nullptr));
    EXPECT_EQ(g_calls.size(), 3u);
}

// The wrap places the third glyph through a pen that rounds to the box width;
// a result equal to the period is in range and must not fold back to 0.
TEST_F(TextLayout, WrapKeepsAPenThatRoundsToThePeriod) {
    C_Font sheetFont;
    sheetFont.AddFace('A');
    ASSERT_TRUE(Gfx_Font_AddSheet(C_String("A"), 1, 1, 7, CoverageSurface(CoveragePicture(6, 8, 255)), &sheetFont));
    const C_FontType sheetType{C_String(""), 8.5f, GFX_GLYPH_SHEET, 0, 0, 0, 0, 0};
    ASSERT_TRUE(Gfx_Surface_DrawTextEx(C_String("AAA"), &sheetFont, sheetType, &dst, colour,
                                       C_Rect(0.0f, 0.0f, 100.0f, 40.0f), 1, C_Vector2D(-1.0f, 0.0f, 0x01), 0xFFFFFFFF,
                                       nullptr, nullptr));
    std::vector<float> xs;
    for (const BlitCall& call : g_calls) xs.push_back(call.position.x);
    EXPECT_EQ(xs, (std::vector<float>{1.0f, 8.0f, 15.0f}));
}

TEST_F(TextLayout, TheAnchorIsMeasuredInsideTheClipBox) {
    const C_Frame clip(10, 10, 110, 60);
    ASSERT_TRUE(Draw("A", C_Vector2D(5.0f, 5.0f, 0x11), 0x11, &clip));
    ASSERT_EQ(g_calls.size(), 1u);
    // Anchor (105, 55); the block (9 wide, one line of 16) ends there.
    EXPECT_FLOAT_EQ(g_calls[0].position.x, 101.0f);
    EXPECT_FLOAT_EQ(g_calls[0].position.y, 39.0f - 8.0f + 10.0f + 6.0f);
    EXPECT_EQ(g_calls[0].clip, &clip);
    EXPECT_EQ(g_calls[0].clip2, nullptr);
}

TEST_F(TextLayout, ASizeTieTakesTheFirstVariant) {
    C_Font tie;
    AddVariant(tie, {{'A', 12, 0, 8, 8, 12}}, 12);
    AddVariant(tie, {{'A', 14, 0, 8, 8, 12}}, 14);
    type.size = 13.0f;
    ASSERT_TRUE(
        Gfx_Surface_DrawText(C_String("A"), &tie, type, &dst, colour, C_Vector2D(), 0, 0, 0, nullptr, nullptr, 0));
    ASSERT_EQ(g_calls.size(), 1u);
    EXPECT_FLOAT_EQ(g_calls[0].params.scale.x, 13.0f / 12.0f);

    C_Font reversed;
    AddVariant(reversed, {{'A', 14, 0, 8, 8, 12}}, 14);
    AddVariant(reversed, {{'A', 12, 0, 8, 8, 12}}, 12);
    g_calls.clear();
    ASSERT_TRUE(
        Gfx_Surface_DrawText(C_String("A"), &reversed, type, &dst, colour, C_Vector2D(), 0, 0, 0, nullptr, nullptr, 0));
    EXPECT_FLOAT_EQ(g_calls[0].params.scale.y, 13.0f / 14.0f);
}

TEST_F(TextLayout, SheetGlyphLinesDrawTheirCellNotTheSheet) {
    C_Font sheetFont;
    sheetFont.AddFaces('A', 'Z' + 1);
    sheetFont.AddFace('_');
    ASSERT_TRUE(
        Gfx_Font_AddSheet(C_String("AB_"), 3, 1, 10, CoverageSurface(CoveragePicture(30, 10, 255)), &sheetFont));
    type.format = GFX_GLYPH_SHEET;
    type.underline = 1;
    ASSERT_TRUE(Gfx_Surface_DrawText(C_String("A"), &sheetFont, type, &dst, colour, C_Vector2D(), 0, 0, 0, nullptr,
                                     nullptr, 0));
    ASSERT_EQ(g_calls.size(), 2u);
    EXPECT_FALSE(g_calls[1].whole);
    EXPECT_FLOAT_EQ(g_calls[1].rect.x0, 20.0f);
}

TEST(TextUtf8, DecodesCharactersAndReplacesMalformedRuns) {
    constexpr std::int32_t kBad = GFX_TEXT_REPLACEMENT;
    const struct {
        const char* bytes;
        std::vector<std::int32_t> codes;
    } cases[] = {
        {"a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", {'a', 0xE9, 0x20AC, 0x1F600}},
        {"\xC0\x80", {kBad, kBad}},                      // overlong: no lead C0
        {"\xE0\x80\x80", {kBad, kBad, kBad}},            // overlong three-byte form
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

// The rectangle a text covers, measured, against the pixels it draws: every
// glyph picture is solid coverage, so every pixel a blit covers turns black.
TEST(TextMeasure, TheMeasuredRectangleIsWhatDrawingChanges) {
    C_Font font;
    AddVariant(font, {{'A', 10, 1, 8, 8, 12}, {'_', 5, 0, -1, 5, 1}, {0x416, 12, 0, 9, 11, 13}}, 10);
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
    } cases[] = {
        {"AA", 10.0f, 2, false, nullptr},       {"A\nAAA", 10.0f, 2 | GFX_TEXT_ALIGN_LINES, false, nullptr},
        {"AA", 13.0f, 0, true, nullptr},  // scaled, and underlined
        {"AAAAAAAAAA", 10.0f, 2, false, &left}, {"A\xD0\x96", 15.0f, 0x22 | GFX_TEXT_UTF8, false, nullptr},
    };
    for (const auto& c : cases) {
        std::memset(canvas.data, 0xFF, canvas.dataSize);
        const C_FontType type(C_String(""), c.size, GFX_GLYPH_GRAY, 0, 0, c.underline ? 1 : 0, 0, 0);
        const C_Vector2D at(3.0f, 4.0f, static_cast<std::uint8_t>(c.align & 0x33));
        C_Frame measured(-1, -1, -1, -1);
        ASSERT_TRUE(Gfx_Font_MeasureText(C_String(c.text), &font, type, &dst, C_Color(), at, c.align, 0, 0, c.clip,
                                         nullptr, 0, &measured))
            << c.text;
        ASSERT_TRUE(Gfx_Surface_DrawText(C_String(c.text), &font, type, &dst, C_Color(), at, c.align, 0, 0, c.clip,
                                         nullptr, 0));
        C_Frame drawn(0, 0, 0, 0);
        bool any = false;
        for (std::int32_t y = 0; y < 60; ++y)
            for (std::int32_t x = 0; x < 120; ++x) {
                if ((reinterpret_cast<const std::uint32_t*>(canvas.Row(y))[x] & 0xFFFFFF) == 0xFFFFFF) continue;
                drawn = any ? C_Frame(std::min(drawn.x0, x), std::min(drawn.y0, y), std::max(drawn.x1, x + 1),
                                      std::max(drawn.y1, y + 1))
                            : C_Frame(x, y, x + 1, y + 1);
                any = true;
            }
        EXPECT_TRUE(any) << c.text;
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

// Columns of `image` holding a pixel other than white; -1, -1 when none.
std::pair<int, int> InkColumns(const C_Image& image) {
    int lo = -1;
    int hi = -1;
    for (std::uint32_t y = 0; y < image.height; ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(image.Row(y));
        for (std::uint32_t x = 0; x < image.width; ++x) {
            if ((row[x] & 0xFFFFFF) == 0xFFFFFF) continue;
            lo = lo < 0 ? static_cast<int>(x) : std::min(lo, static_cast<int>(x));
            hi = std::max(hi, static_cast<int>(x));
        }
    }
    return {lo, hi};
}

TEST(TextPixels, ACaptionLandsCentredInTheTextColour) {
    C_Font font;
    font.AddFaces(32, 127);
    ASSERT_TRUE(Gfx_Font_ImportTrueType(C_String(kLiberationSerifPath), C_BitmapGlyph(13, GFX_GLYPH_MONO, 8), &font));
    C_Image canvas;
    canvas.CreateEmpty(200, 40, GFX_FMT_ARGB8888, GFX_FMT_NONE, C_Color(1.0f, 1.0f, 1.0f, 1.0f));
    C_Surface dst(1, &canvas, nullptr, nullptr, nullptr, nullptr, nullptr);
    const C_FontType type(C_String(""), 13.0f, GFX_GLYPH_MONO, 1, 0, 0, 0, 0);
    const C_Color navy(0, 0, 128, 0);
    ASSERT_TRUE(Gfx_Surface_DrawText(C_String("Quillory"), &font, type, &dst, navy, C_Vector2D(0.0f, 5.0f, 2), 2, 0, 0,
                                     nullptr, nullptr, 0));
    const auto [lo, hi] = InkColumns(canvas);
    ASSERT_GE(lo, 0);
    EXPECT_NEAR((lo + hi + 1) / 2.0, 100.0, 2.0);
    EXPECT_GT(hi - lo, 40);

    // Fully covered pixels take the text colour.
    bool solid = false;
    for (std::uint32_t y = 0; y < canvas.height && !solid; ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(canvas.Row(y));
        for (std::uint32_t x = 0; x < canvas.width; ++x) solid = solid || (row[x] & 0xFFFFFF) == 0x000080;
    }
    EXPECT_TRUE(solid);

    // Unscaled glyphs are drawn in gathered rows: the pixels of one blit per
    // glyph (forced through the override), clipped or not, over two lines,
    // also where half-covered glyphs overlap.
    C_Font tight;
    AddVariant(tight, {{'A', 5, 0, 8, 8, 12}}, 13);
    C_Image* half = tight.GetImage(0)->GetPlane(GFX_PLANE_ALPHA);
    std::memset(half->data, 128, half->dataSize);
    const C_FontType tightType(C_String(""), 13.0f, GFX_GLYPH_GRAY, 0, 0, 0, 0, 0);
    const C_Frame cut(7, 9, 150, 31);
    for (const C_Frame* clip2 : {static_cast<const C_Frame*>(nullptr), &cut})
        for (const bool overlapping : {false, true}) {
            C_Image images[2];
            for (int viaBlit = 0; viaBlit < 2; ++viaBlit) {
                images[viaBlit].CreateEmpty(200, 40, GFX_FMT_ARGB8888, GFX_FMT_NONE, C_Color(0.9f, 0.8f, 0.7f, 1.0f));
                C_Surface target(1, &images[viaBlit], nullptr, nullptr, nullptr, nullptr, nullptr);
                Gfx_SetBlitOverride(viaBlit ? &Gfx_Surface_BlitTransformedBuiltin : nullptr);
                ASSERT_TRUE(Gfx_Surface_DrawText(C_String(overlapping ? "AAA\nAA" : "fij Wavy,\nQuillory AV"),
                                                 overlapping ? &tight : &font, overlapping ? tightType : type, &target,
                                                 navy, C_Vector2D(-3.0f, 2.0f), 0, 0, 0, nullptr, clip2, 0));
                Gfx_SetBlitOverride(nullptr);
            }
            EXPECT_EQ(0, std::memcmp(images[0].data, images[1].data, images[0].dataSize));
        }
}

#endif

}  // namespace
