// The TrueType import on real font files.
#include <gtest/gtest.h>

#include <string>

#include "font_builders.h"
#include "font_paths.h"
#include "quillory.h"

namespace {

#if defined(QUILLORY_HAVE_FREETYPE)

struct Imported : ::testing::Test {
    C_Font font;
    void SetUp() override { ASSERT_TRUE(font.AddFaces(32, 127)); }
    void Import(const char* path, std::uint16_t size, std::uint8_t kind, std::uint8_t style = GFX_STYLE_REGULAR) {
        ASSERT_TRUE(Gfx_Font_ImportTrueType(C_String(path), C_BitmapGlyph(size, kind, style), &font));
    }
    const C_BitmapGlyph& Glyph(unsigned char c, std::uint32_t variant = 0) const {
        return *font.GetFace(c)->GetGlyph(variant);
    }
    const C_Image& Picture(unsigned char c, std::uint32_t variant = 0) const {
        return *font.GetImage(Glyph(c, variant).imageIndex)->GetPlane(2);
    }
};

TEST_F(Imported, OneBitGlyphsAreExactCoveragePictures) {
    Import(kLiberationSerifPath, 13, GFX_GLYPH_MONO);
    ASSERT_EQ(font.ImageCount(), 95u);
    for (unsigned char c = 32; c < 127; ++c) {
        const C_BitmapGlyph& g = Glyph(c);
        const C_Image& p = Picture(c);
        EXPECT_EQ(g.size, 13);
        EXPECT_EQ(g.format, GFX_GLYPH_MONO);
        EXPECT_EQ(g.imageIndex, c - 32);  // one surface per glyph, in face order
        EXPECT_EQ(p.format, GFX_FMT_CH8);
        EXPECT_EQ(p.palFormat, GFX_FMT_NONE);
        EXPECT_EQ(g.frame.x1, static_cast<std::int32_t>(p.width));
        EXPECT_EQ(g.frame.y1, static_cast<std::int32_t>(p.height));
        for (std::uint32_t i = 0; i < p.dataSize; ++i) ASSERT_TRUE(p.data[i] == 0 || p.data[i] == 255);
    }
    // Liberation Serif at 13 points and 96 dpi is about 17.3 pixels per em:
    // "A" advances about 12.5 and stands about 11.5 high.
    EXPECT_GE(Glyph('A').advance.x, 11);
    EXPECT_LE(Glyph('A').advance.x, 14);
    EXPECT_EQ(Glyph('A').advance.y, 0);
    EXPECT_GE(Glyph('A').bearing.y, 10);
    EXPECT_LE(Glyph('A').bearing.y, 13);
    EXPECT_GT(Glyph('p').frame.y1, Glyph('p').bearing.y);  // the descender
    EXPECT_GE(Glyph(' ').advance.x, 3);
    EXPECT_LE(Glyph(' ').advance.x, 5);
}

TEST_F(Imported, EightBitGlyphsCarryAClearMargin) {
    Import(kLiberationSerifPath, 13, GFX_GLYPH_GRAY, GFX_STYLE_BOLD);
    bool partial = false;
    for (unsigned char c = 33; c < 127; ++c) {
        const C_BitmapGlyph& g = Glyph(c);
        const C_Image& p = Picture(c);
        EXPECT_EQ(g.style, GFX_STYLE_BOLD);
        EXPECT_EQ(p.palFormat, GFX_FMT_SAME);
        ASSERT_EQ(p.width, static_cast<std::uint32_t>(g.frame.x1) + 1);
        ASSERT_EQ(p.height, static_cast<std::uint32_t>(g.frame.y1) + 1);
        for (std::uint32_t y = 0; y < p.height; ++y) EXPECT_EQ(p.Row(y)[p.width - 1], 0) << c;
        for (std::uint32_t x = 0; x < p.width; ++x) EXPECT_EQ(p.Row(p.height - 1)[x], 0) << c;
        for (std::uint32_t i = 0; i < p.dataSize; ++i) partial = partial || (p.data[i] > 0 && p.data[i] < 255);
    }
    EXPECT_TRUE(partial);  // anti-aliased
    EXPECT_EQ(Picture(' ').width, 1u);
    EXPECT_GE(Glyph('A').advance.x, 11);
    EXPECT_LE(Glyph('A').advance.x, 14);
}

TEST_F(Imported, EachImportAddsTheNextVariantOfEveryFace) {
    Import(kDejaVuSansPath, 12, GFX_GLYPH_GRAY);
    Import(kDejaVuSansPath, 14, GFX_GLYPH_GRAY);
    for (unsigned char c = 32; c < 127; ++c) {
        ASSERT_EQ(font.GetFace(c)->GlyphCount(), 2u);
        EXPECT_EQ(Glyph(c, 0).size, 12);
        EXPECT_EQ(Glyph(c, 1).size, 14);
    }
    EXPECT_EQ(font.ImageCount(), 190u);
    EXPECT_GT(Glyph('M', 1).advance.x, Glyph('M', 0).advance.x);
    EXPECT_GE(Glyph('M', 1).frame.y1, Glyph('M', 0).frame.y1);
}

TEST_F(Imported, OtherRenderKindsAddNothing) {
    Import(kDejaVuSansPath, 12, GFX_GLYPH_SHEET);
    EXPECT_EQ(font.ImageCount(), 0u);
    EXPECT_EQ(font.GetFace('a')->GlyphCount(), 0u);

    C_Font empty;  // no faces: the file is opened and closed, nothing added
    EXPECT_TRUE(Gfx_Font_ImportTrueType(C_String(kDejaVuSansPath), C_BitmapGlyph(12, GFX_GLYPH_GRAY, 7), &empty));
    EXPECT_EQ(empty.ImageCount(), 0u);
}

TEST_F(Imported, AnImportedFontSurvivesItsFile) {
    Import(kLiberationSerifPath, 13, GFX_GLYPH_GRAY);
    const std::string path = std::string(QUILLORY_TEST_TMP_DIR) + "/imported.uft";
    ASSERT_TRUE(font.SaveToFile(path.c_str(), 0));
    C_Font loaded;
    ASSERT_TRUE(loaded.LoadFromFile(path.c_str(), 0));
    EXPECT_EQ(Saved(loaded), Saved(font));  // one variant per face: nothing to reverse
}

TEST(TrueTypeFailures, AFileThatCannotBeReadAddsNothing) {
    C_Font font;
    font.AddFaces('a', 'c');
    const std::string missing = std::string(QUILLORY_TEST_TMP_DIR) + "/no-such-font.ttf";
    EXPECT_FALSE(Gfx_Font_ImportTrueType(C_String(missing.c_str()), C_BitmapGlyph(13, GFX_GLYPH_MONO, 7), &font));
    EXPECT_EQ(Gfx_GetErrorCode(), -1);
    EXPECT_EQ(Gfx_GetErrorDetailCode(), GFX_ERR_OPEN_READ);
    EXPECT_NE(std::string(Gfx_GetErrorDetail()).find("Gfx_Font_ImportTrueType(" + missing), std::string::npos);

    // Not a font at all: a file of text.
    const std::string text = std::string(QUILLORY_TEST_TMP_DIR) + "/not-a-font.ttf";
    C_String words("these bytes are no font");
    ASSERT_TRUE(words.SaveToFile(text.c_str(), 0));
    EXPECT_FALSE(Gfx_Font_ImportTrueType(C_String(text.c_str()), C_BitmapGlyph(13, GFX_GLYPH_GRAY, 7), &font));
    EXPECT_EQ(Gfx_GetErrorDetailCode(), GFX_ERR_OPEN_READ);
    EXPECT_EQ(font.ImageCount(), 0u);
    EXPECT_EQ(font.GetFace('a')->GlyphCount(), 0u);

    EXPECT_FALSE(Gfx_Font_ImportTrueType(C_String(kDejaVuSansPath), C_BitmapGlyph(13, GFX_GLYPH_GRAY, 7), nullptr));
}

#else

TEST(TrueTypeFailures, WithoutFreeTypeTheImportReportsFailure) {
    C_Font font;
    font.AddFace('a');
    EXPECT_FALSE(Gfx_Font_ImportTrueType(C_String(kDejaVuSansPath), C_BitmapGlyph(13, GFX_GLYPH_GRAY, 7), &font));
    EXPECT_EQ(Gfx_GetErrorDetailCode(), GFX_ERR_OPEN_READ);
    EXPECT_EQ(font.ImageCount(), 0u);
}

#endif

}  // namespace
