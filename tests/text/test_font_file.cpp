// The font records and the ".uft" file: byte layouts, round trips, the
// glyph-order reversal, the code index and hostile files.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "font_builders.h"
#include "quillory.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

std::vector<int> Sizes(const C_BitmapFace& face) {
    std::vector<int> sizes;
    for (std::uint32_t i = 0; i < face.GlyphCount(); ++i) sizes.push_back(face.GetGlyph(i)->size);
    return sizes;
}

// Faces only, so every byte of its file is needed to read it back.
void FillFaces(C_Font& font) {
    font.name = "Serif";
    font.AddFace('A');
    font.AddFace('B');
    for (std::uint16_t size : {1, 2, 3}) font.GetFace('A')->AddGlyph(new C_BitmapGlyph(size, 5, 7));
    font.GetFace('B')->AddGlyph(new C_BitmapGlyph(9, 5, 7));
}

TEST(FontRecords, FontTypeLayoutAndRoundTrip) {
    C_FontType type(C_String("Ab"), 12.5f, 5, 1, 0, 1, 0, 0x01020304);
    const Bytes expected = {2, 0, 11, 0, 3, 0, 0, 0, 'A', 'b', 0, 0x00, 0x00, 0x48, 0x41, 1, 0, 1, 0, 4, 3, 2, 1};
    EXPECT_EQ(Saved(type), expected);
    C_FontType loaded;
    EXPECT_EQ(loaded.name, "MS Sans Serif");
    EXPECT_FALSE(LoadFrom(loaded, expected, expected.size() - 1));
    EXPECT_EQ(loaded.name, "MS Sans Serif");  // a short record changes nothing
    ASSERT_TRUE(LoadFrom(loaded, expected));
    EXPECT_EQ(loaded.name, "Ab");
    EXPECT_FLOAT_EQ(loaded.size, 12.5f);
    EXPECT_EQ(loaded.format, 0);  // the render kind is not stored
    EXPECT_EQ(loaded.userValue, 0x01020304u);
    EXPECT_EQ(loaded.StyleCode(), GFX_STYLE_BOLD);
}

TEST(FontRecords, GlyphFaceAndFontLayouts) {
    C_BitmapGlyph glyph(13, 5, 8);
    glyph.imageIndex = 3;
    glyph.frame = C_Frame(1, 2, 3, 4);
    glyph.advance = C_Vector2Di(7, 0);
    glyph.bearing = C_Vector2Di(-2, 0x1000B);  // only the low 16 bits travel
    const Bytes expected = {3, 0, 13, 0, 5, 8, 3, 0, 0, 0, 1, 0, 2, 0, 3, 0, 4, 0, 7, 0, 0, 0, 0xFE, 0xFF, 11, 0};
    EXPECT_EQ(Saved(glyph), expected);
    C_BitmapGlyph loaded;
    EXPECT_FALSE(LoadFrom(loaded, expected, 25));
    EXPECT_EQ(loaded.imageIndex, -1);
    ASSERT_TRUE(LoadFrom(loaded, expected));
    EXPECT_EQ(loaded.imageIndex, 3);
    EXPECT_EQ(loaded.bearing, C_Vector2Di(-2, 11));

    C_BitmapFace face('A');
    EXPECT_EQ(Saved(face), (Bytes{4, 0, 0, 0, 0, 0, 0x41, 0, 0, 0}));
    C_Font font;
    font.name = "T";
    EXPECT_EQ(Saved(font), (Bytes{5, 0, 11, 0, 2, 0, 0, 0, 'T', 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(FontFile, LoadingReversesEachFacesGlyphs) {
    C_Font font;
    FillFaces(font);
    C_Font loaded;
    ASSERT_TRUE(LoadFrom(loaded, Saved(font)));
    EXPECT_EQ(loaded.name, "Serif");
    EXPECT_EQ(Sizes(*loaded.GetFace('A')), (std::vector<int>{3, 2, 1}));
    EXPECT_EQ(loaded.GetFace('B')->code, 'B');
    C_Font again;  // saving keeps list order, so the next load flips back
    ASSERT_TRUE(LoadFrom(again, Saved(loaded)));
    EXPECT_EQ(Sizes(*again.GetFace('A')), (std::vector<int>{1, 2, 3}));
}

TEST(FontFile, SurfacesRoundTripAndMemoryIsReturned) {
    const std::uint32_t before = Mem_GetUsage().memCurrent;
    {
        C_Font font;
        font.AddFaces(0, 3000);
        AddVariant(font, {{'x', 6, 0, 5, 4, 5}}, 10);
        C_Image* picture = font.GetImage(0)->GetPlane(2);
        for (std::uint32_t i = 0; i < picture->dataSize; ++i) picture->data[i] = static_cast<std::uint8_t>(i * 7);
        C_Font loaded;
        ASSERT_TRUE(LoadFrom(loaded, Saved(font)));
        ASSERT_EQ(loaded.ImageCount(), 1u);
        const C_Image* back = loaded.GetImage(0)->GetPlane(2);
        ASSERT_EQ(back->dataSize, picture->dataSize);
        EXPECT_TRUE(Mem_Compare(back->data, picture->data, back->dataSize));
    }
    EXPECT_EQ(Mem_GetUsage().memCurrent, before);
}

TEST(FontFile, AllSurfacesShareOneLoadBudget) {
    // Each surface's plane carries only its header and describes a third of
    // the budget: three load, four go over and the font stays as it was.
    C_Image big;
    ASSERT_TRUE(big.CreateEmpty(1, GFX_LOAD_UNBACKED_BUDGET / 6 / 3, GFX_FMT_RGB48, GFX_FMT_NONE));
    C_Font three, four;
    for (int i = 0; i < 4; ++i) {
        if (i < 3) three.AddImage(new C_Surface(1, &big));
        four.AddImage(new C_Surface(1, &big));
    }
    C_Font loaded;
    loaded.name = "kept";
    EXPECT_FALSE(LoadFrom(loaded, Saved(four)));
    EXPECT_EQ(Gfx_GetErrorDetailCode(), GFX_ERR_BAD_DATA);
    EXPECT_NE(std::string(Gfx_GetErrorReason()).find("MiB"), std::string::npos);
    EXPECT_STREQ(loaded.name.text, "kept");
    EXPECT_EQ(loaded.ImageCount(), 0u);
    EXPECT_TRUE(LoadFrom(loaded, Saved(three)));
    EXPECT_EQ(loaded.ImageCount(), 3u);
}

TEST(FontIndex, FacesAreFoundByCodeWithinTheIndexOnly) {
    C_Font font;
    EXPECT_EQ(font.GetFace(65), nullptr);
    EXPECT_TRUE(font.AddFaces(32, 127));
    EXPECT_EQ(font.FaceCount(), 95u);
    EXPECT_EQ(font.GetFace('A')->code, 'A');
    std::uint32_t entry = 0;
    std::memcpy(&entry, font.faceIndex.data + 4 * 'A', 4);
    EXPECT_EQ(entry, 'A' - 32 + 1u);  // position in the face list + 1
    EXPECT_EQ(font.GetFace(31), nullptr);
    EXPECT_EQ(font.GetFace(127), nullptr);  // past the end of the index
    EXPECT_EQ(font.GetFace(-5), nullptr);
    EXPECT_TRUE(font.AddFaces(10, 5));  // an empty range
    EXPECT_FALSE(font.AddFace(-1));
    EXPECT_FALSE(font.AddFace(GFX_FONT_MAX_CODE + 1));
    EXPECT_EQ(font.FaceCount(), 95u);
    EXPECT_TRUE(font.AddFace(GFX_FONT_MAX_CODE));
    EXPECT_EQ(font.GetFace(GFX_FONT_MAX_CODE)->code, GFX_FONT_MAX_CODE);
}

// Failed loads must leave the font as it was.
struct HostileFont : ::testing::Test {
    C_Font font;
    void SetUp() override {
        font.name = "Kept";
        font.AddFace('k');
    }
    void TearDown() override {
        EXPECT_EQ(font.name, "Kept");
        EXPECT_EQ(font.FaceCount(), 1u);
    }
    static void Append32(Bytes& b, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    }
    // A font named "T" up to its face count.
    static Bytes Head(std::uint32_t faceCount) {
        Bytes b = {5, 0, 11, 0, 2, 0, 0, 0, 'T', 0};
        Append32(b, faceCount);
        return b;
    }
};

TEST_F(HostileFont, AbsurdCountsFailBeforeAllocating) {
    EXPECT_FALSE(LoadFrom(font, Head(0xFFFFFFFFu)));
    EXPECT_STREQ(Gfx_GetErrorDetail(), "C_Font::LoadFromStream{faceCount}");
    Bytes glyphs = Head(1);
    glyphs.insert(glyphs.end(), {4, 0, 0xFF, 0xFF, 0xFF, 0x0F});
    glyphs.resize(glyphs.size() + 20);  // enough for the one face promised
    EXPECT_FALSE(LoadFrom(font, glyphs));
    EXPECT_STREQ(Gfx_GetErrorDetail(), "C_BitmapFace::LoadFromStream{glyphCount}");
    Bytes surfaces = Head(0);
    Append32(surfaces, 0x40000000u);
    surfaces.insert(surfaces.end(), {13, 0, 0x80});
    EXPECT_FALSE(LoadFrom(font, surfaces));
    EXPECT_STREQ(Gfx_GetErrorDetail(), "C_Font::LoadFromStream{surfaceCount}");
}

TEST_F(HostileFont, FaceCodesOutsideTheCodeRangeStopTheLoad) {
    for (std::int32_t code : {-1, GFX_FONT_MAX_CODE + 1, 0x7FFFFFFF}) {
        Bytes b = Head(1);
        b.insert(b.end(), {4, 0, 0, 0, 0, 0});
        Append32(b, static_cast<std::uint32_t>(code));
        Append32(b, 0);
        EXPECT_FALSE(LoadFrom(font, b)) << code;
        EXPECT_STREQ(Gfx_GetErrorDetail(), "C_Font::LoadFromStream{code}");
    }
}

TEST_F(HostileFont, ANestedRecordThatFailsFailsTheFont) {
    C_Font source;
    FillFaces(source);
    Bytes b = Saved(source);
    const std::size_t glyphTag = 2 + 12 + 4 + 2 + 4;  // font tag, name, face count, face tag, glyph count
    ASSERT_EQ(b[glyphTag], 3);
    b[glyphTag] = 9;
    EXPECT_FALSE(LoadFrom(font, b));
    EXPECT_STREQ(Gfx_GetErrorMessage(),
                 "C_Font::LoadFromStream>>>A fatal error occurred, the entire process has been aborted");
    b = Saved(source);
    b[0] = 4;
    EXPECT_FALSE(LoadFrom(font, b));
    EXPECT_STREQ(Gfx_GetErrorDetail(), "C_Font::LoadFromStream{class_type}");
}

TEST_F(HostileFont, EveryTruncationFails) {
    C_Font source;
    FillFaces(source);
    const Bytes full = Saved(source);
    for (std::size_t cut = 0; cut < full.size(); ++cut) EXPECT_FALSE(LoadFrom(font, full, cut)) << cut;
}

TEST(FontFileSurfaces, TruncatedPicturesNeverReadPastTheData) {
    C_Font source;
    AddVariant(source, {{'a', 5, 0, 5, 6, 7}, {'b', 5, 0, 5, 2, 3}}, 10);
    const Bytes full = Saved(source);
    // Reads stay inside the data (the sanitizer build checks), and a load
    // that succeeds has both pictures.
    for (std::size_t cut = 0; cut < full.size(); ++cut) {
        C_Font loaded;
        if (LoadFrom(loaded, full, cut)) {
            EXPECT_EQ(loaded.ImageCount(), 2u) << cut;
        }
    }
}

TEST(FontFileSurfaces, MangledFilesLoadOrFailCleanly) {
    C_Font source;
    FillFaces(source);
    AddVariant(source, {{'A', 5, 0, 5, 6, 7}, {'c', 5, -1, 4, 3, 2}}, 10);
    const Bytes full = Saved(source);
    C_Image canvas;
    canvas.CreateEmpty(40, 20, GFX_FMT_ARGB8888, GFX_FMT_NONE);
    C_Surface dst(1, &canvas);
    const C_FontType type(C_String(""), 10.0f, GFX_GLYPH_GRAY, 0, 0, 1, 1, 0);
    Math_SRand(7);
    for (int round = 0; round < 300; ++round) {
        Bytes b = full;
        for (int flips = 1 + Math_Rand() % 4; flips > 0; --flips)
            b[static_cast<std::size_t>(Math_Rand()) % b.size()] = static_cast<std::uint8_t>(Math_Rand());
        C_Font loaded;
        if (LoadFrom(loaded, b)) {
            // Whatever loaded can be saved again and drawn with, whatever
            // its metrics and picture indexes say.
            EXPECT_FALSE(Saved(loaded).empty());
            Gfx_Surface_DrawText(C_String("Ac\tA|"), &loaded, type, &dst, C_Color(), C_Vector2D(), 0, 0, 0, nullptr,
                                 nullptr, 0);
        }
    }
}

}  // namespace
