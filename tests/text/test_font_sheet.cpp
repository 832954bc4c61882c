// The sheet import, the format change of a font's pictures and the
// planes-changed notification.
#include <gtest/gtest.h>

#include <vector>

#include "font_builders.h"
#include "quillory.h"

namespace {

TEST(FontSheet, CellsAreCutRowMajorAndOverflowBelowTheGrid) {
    C_Font font;
    font.AddFaces('A', 'J' + 1);                                       // no face for 'K'
    AddVariant(font, {{'A', 3, 0, 3, 2, 2}}, 10);                      // the sheet is not the first surface
    C_Surface* sheet = CoverageSurface(CoveragePicture(43, 21, 255));  // 4 x 2 cells of 10 x 10
    ASSERT_TRUE(Gfx_Font_AddSheet(C_String("ABCDEFGHIJK"), 4, 2, 16, sheet, &font));
    ASSERT_EQ(font.ImageCount(), 2u);
    EXPECT_EQ(font.GetImage(1), sheet);

    const C_BitmapGlyph* a = font.GetFace('A')->GetGlyph(1);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->size, 16);
    EXPECT_EQ(a->format, GFX_GLYPH_SHEET);
    EXPECT_EQ(a->style, GFX_STYLE_REGULAR);
    EXPECT_EQ(a->imageIndex, 1);
    EXPECT_EQ(a->advance, C_Vector2Di(10, 10));
    EXPECT_EQ(a->bearing, C_Vector2Di(0, 0));
    EXPECT_EQ(a->frame.x0, 0);
    EXPECT_EQ(a->frame.x1, 9);

    const C_BitmapGlyph* f = font.GetFace('F')->GetGlyph(0);  // k = 5: column 1, row 1
    EXPECT_EQ(f->frame.x0, 10);
    EXPECT_EQ(f->frame.y0, 10);
    EXPECT_EQ(f->frame.x1, 19);
    EXPECT_EQ(f->frame.y1, 19);
    const C_BitmapGlyph* j = font.GetFace('J')->GetGlyph(0);  // k = 9: below the last row
    EXPECT_EQ(j->frame.x0, 10);
    EXPECT_EQ(j->frame.y0, 20);
    EXPECT_EQ(j->frame.y1, 29);
}

TEST(FontSheet, UnusableGridsAreRefusedAndTheSheetNotTaken) {
    C_Font font;
    font.AddFace('A');
    C_Surface sheet;
    sheet.AddPlane(CoveragePicture(3, 3, 0), 2);
    EXPECT_FALSE(Gfx_Font_AddSheet(C_String("A"), 0, 1, 8, &sheet, &font));
    EXPECT_FALSE(Gfx_Font_AddSheet(C_String("A"), 1, 0, 8, &sheet, &font));
    EXPECT_FALSE(Gfx_Font_AddSheet(C_String("A"), 4, 1, 8, &sheet, &font));  // narrower than its columns
    EXPECT_FALSE(Gfx_Font_AddSheet(C_String("A"), 1, 4, 8, &sheet, &font));  // lower than its rows
    EXPECT_FALSE(Gfx_Font_AddSheet(C_String("A"), 1, 1, 8, nullptr, &font));
    EXPECT_FALSE(Gfx_Font_AddSheet(C_String("A"), 1, 1, 8, &sheet, nullptr));
    EXPECT_EQ(font.ImageCount(), 0u);
    EXPECT_EQ(font.GetFace('A')->GlyphCount(), 0u);
}

TEST(FontSheet, TheColourPlaneGivesTheSheetSize) {
    C_Font font;
    font.AddFace('b');
    auto* colour = new C_Image;
    colour->CreateEmpty(20, 8, GFX_FMT_RGB888, GFX_FMT_NONE, C_Color(1.0f, 1.0f, 1.0f, 1.0f));
    auto* sheet = new C_Surface;
    sheet->AddPlane(colour, 1);
    sheet->AddPlane(CoveragePicture(4, 4, 255), 2);
    ASSERT_TRUE(Gfx_Font_AddSheet(C_String("ab"), 2, 1, 8, sheet, &font));
    EXPECT_EQ(font.GetFace('b')->GetGlyph(0)->frame.x0, 10);
    EXPECT_EQ(font.GetFace('b')->GetGlyph(0)->frame.y1, 7);

    // The format change converts the colour plane and gives the alpha plane
    // the matching one-channel format.
    ASSERT_TRUE(Gfx_Font_ChangeFormat(&font, GFX_FMT_ARGB8888, GFX_FMT_SAME, 0));
    EXPECT_EQ(sheet->GetPlane(1)->format, GFX_FMT_ARGB8888);
    EXPECT_EQ(sheet->GetPlane(2)->format, GFX_FMT_CH8);
}

TEST(FontFormat, ChangeFormatNeedsAFontWithSurfaces) {
    Gfx_ClearError();
    C_Font empty;
    EXPECT_FALSE(Gfx_Font_ChangeFormat(&empty, GFX_FMT_ARGB8888, GFX_FMT_SAME, 0));
    EXPECT_EQ(Gfx_GetErrorRecord().code, -1);
    EXPECT_STREQ(Gfx_GetErrorDetail(), "");  // no error recorded

    EXPECT_FALSE(Gfx_Font_ChangeFormat(nullptr, GFX_FMT_ARGB8888, GFX_FMT_SAME, 0));
    EXPECT_EQ(Gfx_GetErrorDetailCode(), GFX_ERR_NULL_ARG);
    EXPECT_STREQ(Gfx_GetErrorDetail(), "Gfx_Font_ChangeFormat{pFont->format}");
    EXPECT_STREQ(Gfx_GetErrorMessage(),
                 "Gfx_Font_ChangeFormat>>>A fatal error occurred, the entire process has been aborted");
}

std::vector<std::pair<C_Surface*, std::int32_t>> g_notified;

bool RecordNotify(C_Surface* surface, std::int32_t code) {
    g_notified.emplace_back(surface, code);
    return true;
}

TEST(FontNotify, EverySurfaceHearsOfAllPlanesInListOrder) {
    C_Font font;
    EXPECT_TRUE(font.NotifySurfaces());  // nothing to tell
    AddVariant(font, {{'a', 5, 0, 5, 3, 3}, {'b', 5, 0, 5, 3, 3}}, 10);
    for (std::uint32_t i = 0; i < font.ImageCount(); ++i)
        font.GetImage(static_cast<std::int32_t>(i))->notify[0] = RecordNotify;
    g_notified.clear();
    EXPECT_TRUE(font.NotifySurfaces());
    ASSERT_EQ(g_notified.size(), 2u);
    EXPECT_EQ(g_notified[0], std::make_pair(font.GetImage(0), -3));
    EXPECT_EQ(g_notified[1], std::make_pair(font.GetImage(1), -3));
}

C_Surface* CountingAllocator(std::uint32_t context) {
    auto* surface = new C_Surface;
    surface->owner = reinterpret_cast<void*>(static_cast<std::uintptr_t>(context));
    return surface;
}

TEST(FontNotify, LoadingMakesSurfacesThroughTheAllocator) {
    C_Font source;
    AddVariant(source, {{'a', 5, 0, 5, 3, 3}}, 10);
    C_Font font;
    font.imageAllocator = CountingAllocator;
    font.allocatorContext = 77;
    ASSERT_TRUE(LoadFrom(font, Saved(source)));
    ASSERT_EQ(font.ImageCount(), 1u);
    EXPECT_EQ(font.GetImage(0)->owner, reinterpret_cast<void*>(std::uintptr_t{77}));
    EXPECT_EQ(font.imageAllocator, CountingAllocator);  // the load keeps it
}

}  // namespace
