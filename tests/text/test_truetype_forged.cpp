// The TrueType import on forged font files built in code.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "quillory.h"
#include "test_support.h"
#include "truetype_builder.h"

namespace {

#if defined(QUILLORY_HAVE_FREETYPE)

std::string WriteFont(const char* name, const std::vector<std::uint8_t>& bytes) {
    const std::string path = Quillory_TempPath(name);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    EXPECT_NE(f, nullptr);
    if (f) {
        EXPECT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
        std::fclose(f);
    }
    return path;
}

// Imports 'A' and 'B' at 12 points (16 pixels per em) in both render kinds.
void ImportBoth(const std::string& path, C_Font& font) {
    ASSERT_TRUE(font.AddFace('A'));
    ASSERT_TRUE(font.AddFace('B'));
    for (const std::uint8_t kind : {GFX_GLYPH_MONO, GFX_GLYPH_GRAY}) {
        ASSERT_TRUE(Gfx_Font_ImportTrueType(C_String(path.c_str()), C_BitmapGlyph(12, kind, GFX_STYLE_REGULAR), &font));
    }
}

TEST(TrueTypeForged, GlyphsFarBeyondTheirEmSquareAreSkipped) {
    // 64 units per em: 'A' is a normal triangle, the box of 'B' reaches 500 em
    // (8000 pixels square at this size, a gigabyte-class bitmap at larger ones).
    C_Font font;
    ImportBoth(WriteFont("huge-box.ttf", Quillory_TrueTypeFont(64, 32000, 32000)), font);
    EXPECT_EQ(font.GetFace('A')->GlyphCount(), 2u);
    EXPECT_EQ(font.GetFace('B')->GlyphCount(), 0u);
    EXPECT_EQ(font.ImageCount(), 2u);
}

TEST(TrueTypeForged, LargeButPlausibleGlyphsAreKept) {
    // A box of 7 em stays within the limit: 112 pixels at 16 pixels per em.
    C_Font font;
    ImportBoth(WriteFont("large-box.ttf", Quillory_TrueTypeFont(64, 7 * 64, 7 * 64)), font);
    ASSERT_EQ(font.GetFace('B')->GlyphCount(), 2u);
    for (std::uint32_t variant = 0; variant < 2; ++variant) {
        const C_BitmapGlyph& box = *font.GetFace('B')->GetGlyph(variant);
        EXPECT_GE(box.frame.x1, 100);
        EXPECT_LE(box.frame.x1, 114);
        EXPECT_GE(box.frame.y1, 110);
        EXPECT_LE(box.frame.y1, 114);
    }
}

#endif  // QUILLORY_HAVE_FREETYPE

}  // namespace
