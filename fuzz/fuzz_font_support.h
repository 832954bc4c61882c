// Font helpers for the fuzz targets: what a program does with a font it has
// just loaded or imported.
#pragma once

#include <cstdint>
#include <string>

#include "core/string.h"
#include "fuzz_support.h"
#include "math/color.h"
#include "text/font.h"
#include "text/text_draw.h"

// Checks the font's own bookkeeping and every glyph picture's buffers.
inline void Fuzz_CheckFont(const C_Font& font) {
    for (std::uint32_t i = 0; i < font.FaceCount(); ++i) {
        const auto* face = static_cast<const C_BitmapFace*>(font.faces->GetAt(i));
        Fuzz_Check(face != nullptr, "every face is present");
        Fuzz_Check(face->code >= 0 && face->code <= GFX_FONT_MAX_CODE, "face codes are in range");
        // A later face of the same code takes over the index entry.
        const C_BitmapFace* indexed = font.GetFace(face->code);
        Fuzz_Check(indexed != nullptr && indexed->code == face->code, "every face's code is indexed");
    }
    for (std::uint32_t i = 0; i < font.ImageCount(); ++i) {
        const C_Surface* surface = font.GetImage(static_cast<std::int32_t>(i));
        Fuzz_Check(surface != nullptr, "every glyph surface is present");
        if (!surface->planes) continue;
        for (std::uint32_t p = 0; p < surface->planes->Count(); ++p) {
            const auto* entry = static_cast<const C_SurfacePlane*>(surface->planes->GetAt(p));
            if (entry && entry->image) Fuzz_CheckImage(*entry->image);
        }
    }
}

// The glyph pictures are small enough to convert and draw.
inline bool Fuzz_FontDrawable(const C_Font& font) {
    for (std::uint32_t i = 0; i < font.ImageCount(); ++i) {
        const C_Surface* surface = font.GetImage(static_cast<std::int32_t>(i));
        if (!surface || !surface->planes) continue;
        for (std::uint32_t p = 0; p < surface->planes->Count(); ++p) {
            const auto* entry = static_cast<const C_SurfacePlane*>(surface->planes->GetAt(p));
            if (entry && entry->image && !Fuzz_SmallEnoughToDraw(entry->image)) return false;
        }
    }
    return true;
}

// Draws a line of text in the font's first variant (the one the faces list
// first), wrapped, underlined and with a caret, the way the demo draws its
// caption, then again after converting the glyph pictures to the display
// format.
inline void Fuzz_DrawWithFont(C_Font& font) {
    if (!Fuzz_FontDrawable(font)) return;
    std::uint16_t size = 12;
    std::uint8_t kind = GFX_GLYPH_GRAY;
    std::uint8_t style = GFX_STYLE_REGULAR;
    for (std::uint32_t i = 0; i < font.FaceCount(); ++i) {
        const auto* face = static_cast<const C_BitmapFace*>(font.faces->GetAt(i));
        if (const C_BitmapGlyph* glyph = face ? face->GetGlyph(0) : nullptr) {
            size = glyph->size;
            kind = glyph->format;
            style = glyph->style;
            break;
        }
    }
    const std::uint8_t styleBits =
        style >= GFX_STYLE_REGULAR ? static_cast<std::uint8_t>(style - GFX_STYLE_REGULAR) : 0;
    const C_FontType type(font.name, size * 1.5f, kind, styleBits & 1, (styleBits >> 1) & 1, 1, 1, 0);
    std::string chars = "Ag |_\t\nB";
    for (int c = 1; c < 256; c += 7) chars += static_cast<char>(c);
    const C_String text(chars.c_str());

    auto* target = new C_Image;
    if (!target->CreateEmpty(61, 29, GFX_FMT_ARGB8888, GFX_FMT_NONE)) {
        delete target;
        return;
    }
    C_Surface dst(0, target, nullptr, nullptr, nullptr, nullptr, nullptr);
    const C_Color ink(0.9f, 0.2f, 0.4f, 1.0f);
    const C_Vector2D anchor(2.0f, 3.0f, GFX_ALIGN_LEFT | GFX_ALIGN_TOP);
    Gfx_Surface_DrawText(text, &font, type, &dst, ink, anchor, 0, 1, 0, nullptr, nullptr, 0);
    const C_Rect box(1.0f, 1.0f, 50.0f, 25.0f);
    Gfx_Surface_DrawTextEx(text, &font, type, &dst, ink, box, 1, C_Vector2D(0.0f, -10.0f), 2, nullptr, nullptr);
    if (Gfx_Font_ChangeFormat(&font, GFX_FMT_ARGB8888, GFX_FMT_SAME, 0)) {
        Fuzz_CheckFont(font);
        Gfx_Surface_DrawText(text, &font, type, &dst, ink, anchor, 0x22, 0, 0, nullptr, nullptr, 0);
    }
}
