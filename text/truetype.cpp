// TrueType import: FreeType renders each face's character once, and the
// bitmap becomes an 8-bit coverage picture in a surface of the font's own.
// FreeType is visible in this file only.
#include "text/truetype.h"

#include <cstddef>

#include "core/error.h"
#include "image/image.h"
#include "surface/surface.h"

#if defined(QUILLORY_HAVE_FREETYPE)
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_GLYPH_H
#include FT_OUTLINE_H
#endif

namespace {

constexpr const char* kSite = "Gfx_Font_ImportTrueType";

#if defined(QUILLORY_HAVE_FREETYPE)

// Glyphs are rendered at this resolution, so the template's size reads as
// points on a typical screen.
constexpr FT_UInt kDotsPerInch = 96;
// A glyph whose box spans more ems than this is no character but a forged
// outline: its bitmap could take gigabytes and its copy minutes.
constexpr FT_Pos kMaxGlyphEms = 8;

// The library and face of one import; released in reverse order whatever
// path the import leaves by.
struct FreeTypeSession {
    FT_Library library = nullptr;
    FT_Face face = nullptr;

    FreeTypeSession() = default;
    FreeTypeSession(const FreeTypeSession&) = delete;
    FreeTypeSession& operator=(const FreeTypeSession&) = delete;
    ~FreeTypeSession() {
        if (face) FT_Done_Face(face);
        if (library) FT_Done_FreeType(library);
    }
};

// One glyph object; FT_Glyph_To_Bitmap replaces it in place.
struct GlyphHandle {
    FT_Glyph glyph = nullptr;

    GlyphHandle() = default;
    GlyphHandle(const GlyphHandle&) = delete;
    GlyphHandle& operator=(const GlyphHandle&) = delete;
    ~GlyphHandle() {
        if (glyph) FT_Done_Glyph(glyph);
    }
};

// Row y of a bitmap, top row first, whichever way its rows flow.
const unsigned char* BitmapRow(const FT_Bitmap& bitmap, unsigned y) {
    const std::ptrdiff_t pitch = bitmap.pitch;
    const unsigned char* top =
        pitch >= 0 ? bitmap.buffer : bitmap.buffer + static_cast<std::ptrdiff_t>(bitmap.rows - 1) * -pitch;
    return top + static_cast<std::ptrdiff_t>(y) * pitch;
}

// True when the bitmap holds the rows its header promises, each at least
// `rowBytes` long.
bool BitmapUsable(const FT_Bitmap& bitmap, unsigned char pixelMode, std::size_t rowBytes) {
    if (bitmap.pixel_mode != pixelMode) return false;
    if (bitmap.width == 0 || bitmap.rows == 0) return true;
    const std::size_t stride = bitmap.pitch >= 0 ? static_cast<std::size_t>(bitmap.pitch)
                                                 : static_cast<std::size_t>(-static_cast<long>(bitmap.pitch));
    return bitmap.buffer != nullptr && stride >= rowBytes;
}

// One-bit rendering: a picture of exactly the bitmap's size, 255 where a bit
// is set and 0 elsewhere; bits past the width are ignored.
C_Image* MonoPicture(const FT_Bitmap& bitmap) {
    const unsigned width = bitmap.width;
    const unsigned rows = bitmap.rows;
    if (!BitmapUsable(bitmap, FT_PIXEL_MODE_MONO, (std::size_t{width} + 7) / 8)) return nullptr;
    auto* picture = new C_Image;
    if (!picture->CreateEmpty(width, rows, GFX_FMT_CH8, GFX_FMT_NONE)) {
        delete picture;
        return nullptr;
    }
    for (unsigned y = 0; y < rows; ++y) {
        const unsigned char* bits = BitmapRow(bitmap, y);
        std::uint8_t* out = picture->Row(y);
        for (unsigned x = 0; x < width; ++x) out[x] = (bits[x / 8] >> (7 - x % 8)) & 1 ? 255 : 0;
    }
    return picture;
}

// Eight-bit rendering: the coverage bytes with one clear column on the right
// and one clear row at the bottom, which keeps bilinear sampling at the
// glyph's edges from reaching into neighbouring memory.
C_Image* GrayPicture(const FT_Bitmap& bitmap) {
    const unsigned width = bitmap.width;
    const unsigned rows = bitmap.rows;
    if (!BitmapUsable(bitmap, FT_PIXEL_MODE_GRAY, width)) return nullptr;
    auto* picture = new C_Image;
    if (!picture->CreateEmpty(width + 1, rows + 1, GFX_FMT_CH8, GFX_FMT_SAME)) {
        delete picture;
        return nullptr;
    }
    for (unsigned y = 0; y < rows; ++y) {
        const unsigned char* src = BitmapRow(bitmap, y);
        std::uint8_t* out = picture->Row(y);
        for (unsigned x = 0; x < width; ++x) out[x] = src[x];
        out[width] = 0;
    }
    std::uint8_t* last = picture->Row(rows);
    for (unsigned x = 0; x <= width; ++x) last[x] = 0;
    return picture;
}

// What one rendering gives: the picture and the bitmap's size and place.
struct RenderedGlyph {
    C_Image* picture = nullptr;
    unsigned width = 0;
    unsigned rows = 0;
    FT_Int left = 0;
    FT_Int top = 0;
};

// Renders the loaded glyph of the face's slot in the template's render kind.
// No picture when FreeType cannot give a bitmap of the expected kind.
RenderedGlyph RenderSlot(FT_GlyphSlot slot, std::uint8_t renderKind) {
    RenderedGlyph out;
    GlyphHandle handle;
    if (FT_Get_Glyph(slot, &handle.glyph) != 0) return out;
    const FT_Render_Mode mode = renderKind == GFX_GLYPH_MONO ? FT_RENDER_MODE_MONO : FT_RENDER_MODE_NORMAL;
    if (FT_Glyph_To_Bitmap(&handle.glyph, mode, nullptr, 1) != 0) return out;
    if (handle.glyph->format != FT_GLYPH_FORMAT_BITMAP) return out;
    const auto* bitmapGlyph = reinterpret_cast<const FT_BitmapGlyphRec*>(handle.glyph);
    const FT_Bitmap& bitmap = bitmapGlyph->bitmap;
    out.picture = renderKind == GFX_GLYPH_MONO ? MonoPicture(bitmap) : GrayPicture(bitmap);
    out.width = bitmap.width;
    out.rows = bitmap.rows;
    out.left = bitmapGlyph->left;
    out.top = bitmapGlyph->top;
    return out;
}

// True when the glyph loaded into the face's slot fits kMaxGlyphEms ems at
// this size, so rendering it gives a bitmap of a sensible size. Checked before
// rendering: the bitmap would otherwise be allocated first.
bool GlyphSizeSensible(FT_Face face) {
    const FT_Size_Metrics& size = face->size->metrics;
    const FT_Pos em = size.x_ppem > size.y_ppem ? size.x_ppem : size.y_ppem;
    const FT_Pos limit = (kMaxGlyphEms * em + 2) * 64;  // 26.6, with room for rounding out
    const FT_GlyphSlot slot = face->glyph;
    FT_Pos width = slot->metrics.width;
    FT_Pos height = slot->metrics.height;
    if (slot->format == FT_GLYPH_FORMAT_OUTLINE) {
        // The box the renderer itself will use.
        FT_BBox box;
        FT_Outline_Get_CBox(&slot->outline, &box);
        width = box.xMax - box.xMin;
        height = box.yMax - box.yMin;
    }
    return width >= 0 && height >= 0 && width <= limit && height <= limit;
}

// Renders one face's character and gives the face a glyph and the font the
// glyph's surface. A character FreeType cannot render, or one far larger than
// its em square, is skipped.
void ImportFace(FT_Face ftFace, const C_BitmapGlyph& glyphTemplate, C_BitmapFace& face, C_Font& font) {
    // A code without a glyph maps to index 0, the font's missing-glyph shape,
    // which is added like any other.
    const FT_UInt index = FT_Get_Char_Index(ftFace, static_cast<FT_ULong>(face.code));
    if (FT_Load_Glyph(ftFace, index, FT_LOAD_NO_AUTOHINT) != 0 || !GlyphSizeSensible(ftFace)) return;
    const RenderedGlyph rendered = RenderSlot(ftFace->glyph, glyphTemplate.format);
    if (!rendered.picture) return;
    C_Surface* surface = font.NewSurface();
    if (!surface) {
        delete rendered.picture;
        return;
    }
    surface->AddPlane(rendered.picture, 2);

    auto* glyph = new C_BitmapGlyph(glyphTemplate.size, glyphTemplate.format, glyphTemplate.style);
    glyph->imageIndex = static_cast<std::int32_t>(font.ImageCount());
    // The frame spans the rendered bitmap; the gray picture's clear margin
    // lies outside it.
    glyph->frame.x0 = 0;
    glyph->frame.y0 = 0;
    glyph->frame.x1 = static_cast<std::int32_t>(rendered.width);
    glyph->frame.y1 = static_cast<std::int32_t>(rendered.rows);
    // 26.6 fixed point to whole pixels.
    glyph->advance.x = static_cast<std::int32_t>(ftFace->glyph->advance.x >> 6);
    glyph->advance.y = static_cast<std::int32_t>(ftFace->glyph->advance.y >> 6);
    glyph->bearing.x = rendered.left;
    glyph->bearing.y = rendered.top;

    if (!font.AddImage(surface)) {
        delete surface;
        delete glyph;
        return;
    }
    if (!face.AddGlyph(glyph)) delete glyph;
}

#endif  // QUILLORY_HAVE_FREETYPE

// The record names the call; the reason says, in words, what to do about it.
bool ImportFail(const C_String& path, const char* detail, const char* reason) {
    Gfx_SetError(GFX_ERR_OPEN_READ, 0, 0, "Gfx_Font_ImportTrueType(%s)%s", path.CStr(), detail);
    Gfx_FailSummary(kSite);
    Gfx_SetErrorReason("%s: %s", path.CStr(), reason);
    return false;
}

#if defined(QUILLORY_HAVE_FREETYPE)
const char* OpenFailure(FT_Error error) {
    switch (error) {
    case FT_Err_Cannot_Open_Resource: return "the font file cannot be opened (missing or unreadable)";
    case FT_Err_Unknown_File_Format: return "not a font file FreeType reads (TrueType, OpenType, Type 1 ...)";
    default: return "the font file is damaged: FreeType refused it";
    }
}
#endif

}  // namespace

bool Gfx_Font_ImportTrueType(const C_String& path, const C_BitmapGlyph& glyphTemplate, C_Font* font) {
    if (!font) return Gfx_Fail(GFX_ERR_NULL_ARG, "Gfx_Font_ImportTrueType{pFont}", kSite);
#if defined(QUILLORY_HAVE_FREETYPE)
    FreeTypeSession session;
    if (FT_Init_FreeType(&session.library) != 0) {
        session.library = nullptr;
        return ImportFail(path, "{FT_Init_FreeType}", "FreeType could not start (out of memory?)");
    }
    if (const FT_Error error = FT_New_Face(session.library, path.CStr(), 0, &session.face); error != 0) {
        session.face = nullptr;
        return ImportFail(path, "", OpenFailure(error));
    }
    const FT_F26Dot6 charSize = static_cast<FT_F26Dot6>(glyphTemplate.size) << 6;
    if (FT_Set_Char_Size(session.face, charSize, charSize, kDotsPerInch, kDotsPerInch) != 0) {
        return ImportFail(path, "{size}", "the font has no outline or bitmap at the requested size");
    }
    if (glyphTemplate.format != GFX_GLYPH_MONO && glyphTemplate.format != GFX_GLYPH_GRAY) return true;
    for (std::uint32_t i = 0; i < font->FaceCount(); ++i) {
        if (auto* face = static_cast<C_BitmapFace*>(font->faces->GetAt(i)))
            ImportFace(session.face, glyphTemplate, *face, *font);
    }
    return true;
#else
    (void)glyphTemplate;
    return ImportFail(path, "{built without FreeType}",
                      "this build of Quillory has no FreeType, so it imports no font files");
#endif
}
