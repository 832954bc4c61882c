// The TrueType import on a font file: every byte of the file reaches the font
// engine, and whatever bitmaps it gives back become glyph pictures.
#include <cstdio>

#include "fuzz_font_support.h"
#include "text/truetype.h"

namespace {

// Every imported glyph names an existing surface whose coverage plane holds
// at least the glyph's frame.
void CheckImported(const C_Font& font) {
    for (std::uint32_t i = 0; i < font.FaceCount(); ++i) {
        const auto* face = static_cast<const C_BitmapFace*>(font.faces->GetAt(i));
        for (std::uint32_t g = 0; g < face->GlyphCount(); ++g) {
            const C_BitmapGlyph* glyph = face->GetGlyph(g);
            const C_Surface* surface = font.GetImage(glyph->imageIndex);
            Fuzz_Check(surface != nullptr, "an imported glyph has its surface");
            const C_Image* picture = surface->GetPlane(GFX_PLANE_ALPHA);
            Fuzz_Check(picture != nullptr && picture->format == GFX_FMT_CH8, "the picture is 8-bit coverage");
            Fuzz_Check(glyph->frame.x0 == 0 && glyph->frame.y0 == 0 &&
                           static_cast<std::uint32_t>(glyph->frame.x1) <= picture->width &&
                           static_cast<std::uint32_t>(glyph->frame.y1) <= picture->height,
                       "the frame lies inside the picture");
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = Fuzz_ScratchPath("font.ttf");
    if (!Fuzz_WriteFile(path, data, size)) return 0;
    C_Font font;
    font.name = "fuzzed";
    font.AddFace(0);
    font.AddFaces(' ', 'C');
    font.AddFace(0x263A);
    const C_String fontPath(path.c_str());
    Gfx_Font_ImportTrueType(fontPath, C_BitmapGlyph(11, GFX_GLYPH_MONO, GFX_STYLE_REGULAR), &font);
    Gfx_Font_ImportTrueType(fontPath, C_BitmapGlyph(7, GFX_GLYPH_GRAY, GFX_STYLE_BOLD), &font);
    std::remove(path.c_str());
    CheckImported(font);
    Fuzz_CheckFont(font);
    Fuzz_DrawWithFont(font);
    return 0;
}
