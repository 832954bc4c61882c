// The font records and the font file: byte layouts, the round trip with its
// glyph-order reversal, hostile files (each failure names the reader that
// gave up), the code index, sheet import and the format change.
#include <memory>
#include <string>

#include "font_builders.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// Faces only, so every byte of its file is needed to read it back.
void FillFaces(C_Font& font) {
    font.name = "Serif";
    for (const std::int32_t c : {'A', 'B'})
        if (!font.GetFace(c)) font.AddFace(c);
    for (std::uint16_t size : {1, 2, 3}) font.GetFace('A')->AddGlyph(new C_BitmapGlyph(size, 5, 7));
    font.GetFace('B')->AddGlyph(new C_BitmapGlyph(9, 5, 7));
}

C_Surface* TaggingAllocator(std::uint32_t context) {
    auto* surface = new C_Surface;
    surface->owner = reinterpret_cast<void*>(static_cast<std::uintptr_t>(context));
    return surface;
}

// The file layout is an interface: these bytes are what other programs read.
// A whole font round-trips; each load reverses every face's glyph list and
// makes its surfaces through the font's allocator.
TEST(FontFile, LayoutsRoundTripAndLoadsReverseEachFacesGlyphs) {
    C_FontType type(C_String("Ab"), 12.5f, 5, 1, 0, 1, 0, 0x01020304);
    C_BitmapGlyph glyph(269, 5, 8);  // a size above one byte
    glyph.imageIndex = 3;
    glyph.frame = C_Frame(1, 2, 3, 4);
    glyph.advance = C_Vector2Di(7, 0);
    glyph.bearing = C_Vector2Di(-2, 0x1000B);  // only the low 16 bits travel
    EXPECT_EQ(Quillory_Saved(type),
              (Bytes{2, 0, 11, 0, 3, 0, 0, 0, 'A', 'b', 0, 0x00, 0x00, 0x48, 0x41, 1, 0, 1, 0, 4, 3, 2, 1}));
    EXPECT_EQ(Quillory_Saved(glyph),
              (Bytes{3, 0, 13, 1, 5, 8, 3, 0, 0, 0, 1, 0, 2, 0, 3, 0, 4, 0, 7, 0, 0, 0, 0xFE, 0xFF, 11, 0}));
    C_FontType typeIn;
    C_BitmapGlyph glyphIn;
    for (const auto& [from, to] : {std::pair<C_Object*, C_Object*>{&type, &typeIn}, {&glyph, &glyphIn}}) {
        const Bytes bytes = Quillory_Saved(*from), fresh = Quillory_Saved(*to);
        EXPECT_FALSE(LoadFrom(*to, bytes, bytes.size() - 1));  // a record cut short changes nothing
        EXPECT_EQ(Quillory_Saved(*to), fresh);
        ASSERT_TRUE(LoadFrom(*to, bytes));
        EXPECT_EQ(Quillory_Saved(*to), bytes);
    }
    EXPECT_EQ(typeIn.format, 0);  // the render kind is not stored

    const std::uint32_t before = Mem_GetUsage().memCurrent;
    {
        C_Font font, loaded, again;
        font.AddFaces(0, 3000);
        FillFaces(font);
        AddVariant(font, {{'x', 6, 0, 5, 4, 5}}, 10);
        C_Image* picture = font.GetImage(0)->GetPlane(2);
        for (std::uint32_t i = 0; i < picture->dataSize; ++i) picture->data[i] = static_cast<std::uint8_t>(i * 7);
        loaded.imageAllocator = TaggingAllocator;
        loaded.allocatorContext = 77;
        ASSERT_TRUE(LoadFrom(loaded, Quillory_Saved(font)));
        EXPECT_EQ(loaded.GetFace('A')->GetGlyph(0)->size, 3);
        EXPECT_EQ(loaded.GetImage(0)->owner, reinterpret_cast<void*>(std::uintptr_t{77}));
        ASSERT_TRUE(LoadFrom(again, Quillory_Saved(loaded)));  // saving keeps list order: the next load flips back
        EXPECT_EQ(Quillory_Saved(again), Quillory_Saved(font));
        EXPECT_EQ(BytesOf(loaded.GetImage(0)->GetPlane(2)), BytesOf(picture));
    }
    EXPECT_EQ(Mem_GetUsage().memCurrent, before);
}

TEST(FontFile, HostileFilesFailAndLeaveTheFontAsItWas) {
    C_Font source;
    FillFaces(source);
    const Bytes full = Quillory_Saved(source);
    // A font named "T" up to its face count, then what follows.
    const auto head = [](std::uint32_t faces, Bytes more) {
        Bytes b = {5, 0, 11, 0, 2, 0, 0, 0, 'T', 0};
        for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(faces >> (8 * i)));
        b.insert(b.end(), more.begin(), more.end());
        return b;
    };
    Bytes badGlyphTag = full, badTag = full, glyphs = head(1, {4, 0, 0xFF, 0xFF, 0xFF, 0x0F});
    badGlyphTag[2 + 12 + 4 + 2 + 4] = 9;  // font tag, name, face count, face tag, glyph count
    badTag[0] = 4;
    glyphs.resize(glyphs.size() + 20);  // enough for the one face promised
    const struct {
        Bytes bytes;
        const char* detail;
    } cases[] = {
        {head(0xFFFFFFFFu, {}), "C_Font::LoadFromStream{faceCount}"},
        {glyphs, "C_BitmapFace::LoadFromStream{glyphCount}"},
        {head(0, {0, 0, 0, 0x40, 13, 0, 0x80}), "C_Font::LoadFromStream{surfaceCount}"},
        {head(1, {4, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0}), "C_Font::LoadFromStream{code}"},
        {head(1, {4, 0, 0, 0, 0, 0, 0, 0, 0x11, 0, 0, 0, 0, 0}), "C_Font::LoadFromStream{code}"},  // past the range
        {badGlyphTag, "C_BitmapGlyph::LoadFromStream{class_type}"},
        {badTag, "C_Font::LoadFromStream{class_type}"},
    };
    C_Font font;
    font.name = "Kept";
    font.AddFace('k');
    const Bytes kept = Quillory_Saved(font);
    for (const auto& c : cases) {
        EXPECT_FALSE(LoadFrom(font, c.bytes)) << c.detail;
        EXPECT_STREQ(Gfx_GetErrorDetail(), c.detail);
        EXPECT_EQ(Quillory_Saved(font), kept) << c.detail;
    }
    for (std::size_t cut = 0; cut < full.size(); ++cut) EXPECT_FALSE(LoadFrom(font, full, cut)) << cut;
    EXPECT_EQ(Quillory_Saved(font), kept);

    // Each surface's plane carries only its header and describes a third of
    // the load budget: three load, four go over.
    C_Image big;
    ASSERT_TRUE(big.CreateEmpty(1, GFX_LOAD_UNBACKED_BUDGET / 6 / 3, GFX_FMT_RGB48, GFX_FMT_NONE));
    C_Font three, four;
    for (int i = 0; i < 4; ++i) {
        if (i < 3) three.AddImage(new C_Surface(1, &big));
        four.AddImage(new C_Surface(1, &big));
    }
    EXPECT_FALSE(LoadFrom(font, Quillory_Saved(four)));
    EXPECT_NE(std::string(Gfx_GetErrorReason()).find("MiB"), std::string::npos);
    EXPECT_EQ(Quillory_Saved(font), kept);
    EXPECT_TRUE(LoadFrom(font, Quillory_Saved(three)));
    EXPECT_EQ(font.ImageCount(), 3u);
}

// Codes outside 0..GFX_FONT_MAX_CODE are refused; a code without a face
// finds nothing.
TEST(FontIndex, FacesAreFoundByCodeWithinTheIndexOnly) {
    C_Font font;
    EXPECT_TRUE(font.AddFaces(32, 127));
    EXPECT_TRUE(font.AddFaces(10, 5));  // an empty range
    EXPECT_FALSE(font.AddFace(-1) || font.AddFace(GFX_FONT_MAX_CODE + 1));
    EXPECT_TRUE(font.AddFace(GFX_FONT_MAX_CODE));
    EXPECT_EQ(font.FaceCount(), 96u);
    for (const std::int32_t code : {31, 127, -5}) EXPECT_EQ(font.GetFace(code), nullptr) << code;
    for (const std::int32_t code : {32, std::int32_t{'A'}, 126, GFX_FONT_MAX_CODE})
        EXPECT_EQ(font.GetFace(code)->code, code);
}

TEST(FontSheet, CellsAreCutRowMajorAndUnusableGridsRefused) {
    C_Font font;
    font.AddFaces('A', 'J' + 1);                   // no face for 'K'
    AddVariant(font, {{'A', 3, 0, 3, 2, 2}}, 10);  // the sheet is not the first surface
    C_Surface* sheet = CoverageSurface(43, 21);    // 4 x 2 cells of 10 x 10
    ASSERT_TRUE(Gfx_Font_AddSheet(C_String("ABCDEFGHIJK"), 4, 2, 16, sheet, &font));
    ASSERT_EQ(font.ImageCount(), 2u);
    // 'A' is cell 0, 'F' cell 5 (column 1, row 1), 'J' cell 9 below the last row.
    const C_BitmapGlyph* glyphs[] = {font.GetFace('A')->GetGlyph(1), font.GetFace('F')->GetGlyph(0),
                                     font.GetFace('J')->GetGlyph(0)};
    const int frames[][4] = {{0, 0, 9, 9}, {10, 10, 19, 19}, {10, 20, 19, 29}};
    for (int i = 0; i < 3; ++i) {
        const C_BitmapGlyph& g = *glyphs[i];
        EXPECT_EQ(std::vector<int>({g.frame.x0, g.frame.y0, g.frame.x1, g.frame.y1, g.imageIndex, g.advance.x}),
                  std::vector<int>({frames[i][0], frames[i][1], frames[i][2], frames[i][3], 1, 10}));
    }

    // No columns, no rows, narrower or lower than its cells, nothing at all.
    C_Font other;
    other.AddFace('b');
    const std::unique_ptr<C_Surface> small(CoverageSurface(3, 3, 0));
    for (const auto& [columns, rows] : {std::pair{0, 1}, {1, 0}, {4, 1}, {1, 4}})
        EXPECT_FALSE(Gfx_Font_AddSheet(C_String("b"), columns, rows, 8, small.get(), &other)) << columns << rows;
    EXPECT_FALSE(Gfx_Font_AddSheet(C_String("b"), 1, 1, 8, nullptr, &other));
    EXPECT_FALSE(Gfx_Font_AddSheet(C_String("b"), 1, 1, 8, small.get(), nullptr));
    EXPECT_EQ(other.ImageCount() + other.GetFace('b')->GlyphCount(), 0u);

    // The colour plane gives the size; the format change reaches every surface.
    auto* colour = new C_Image;
    colour->CreateEmpty(20, 8, GFX_FMT_RGB888, GFX_FMT_NONE, C_Color(1.0f, 1.0f, 1.0f, 1.0f));
    C_Surface* coloured = CoverageSurface(4, 4);
    coloured->AddPlane(colour, 1);
    ASSERT_TRUE(Gfx_Font_AddSheet(C_String("ab"), 2, 1, 8, coloured, &other));
    EXPECT_EQ(other.GetFace('b')->GetGlyph(0)->frame.x0, 10);
    EXPECT_EQ(other.GetFace('b')->GetGlyph(0)->frame.y1, 7);
    ASSERT_TRUE(Gfx_Font_ChangeFormat(&other, GFX_FMT_ARGB8888, GFX_FMT_SAME, 0));
    EXPECT_EQ(coloured->GetPlane(1)->format, GFX_FMT_ARGB8888);
    // No font is an error; a font without surfaces has nothing to change,
    // which is none.
    EXPECT_FALSE(Gfx_Font_ChangeFormat(nullptr, GFX_FMT_ARGB8888, GFX_FMT_SAME, 0));
    EXPECT_STREQ(Gfx_GetErrorDetail(), "Gfx_Font_ChangeFormat{pFont->format}");
    C_Font none;
    Gfx_ClearError();
    EXPECT_FALSE(Gfx_Font_ChangeFormat(&none, GFX_FMT_ARGB8888, GFX_FMT_SAME, 0));
    EXPECT_STREQ(Gfx_GetErrorDetail(), "");
}

}  // namespace
