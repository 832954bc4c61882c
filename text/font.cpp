// Fonts in memory: faces, glyph variants, the code index, the sheet import
// and the format change of the glyph pictures. The font file is in
// font_file.cpp.
#include "text/font.h"

#include <cstring>
#include <limits>
#include <utility>

#include "core/error.h"
#include "image/image.h"
#include "surface/surface.h"

namespace {

constexpr std::uint32_t kIndexEntryBytes = sizeof(std::uint32_t);

bool ValidCode(std::int32_t code) { return code >= 0 && code <= GFX_FONT_MAX_CODE; }

// Deletes the elements of an owned list and the list itself.
void DeleteList(C_List*& list) {
    if (!list) return;
    list->DeleteAll();
    delete list;
    list = nullptr;
}

// Creates `list` when absent and appends `element`.
bool AppendOwned(C_List*& list, C_Object* element) {
    if (!list) list = new C_List;
    return list->Append(element);
}

// The size of a sheet: the colour plane's when it has one, else the alpha
// plane's (glyph sheets are often coverage only).
void SheetSize(C_Surface& sheet, std::uint32_t& width, std::uint32_t& height) {
    width = sheet.GetWidth();
    height = sheet.GetHeight();
    if (width != 0 && height != 0) return;
    const C_Image* alpha = sheet.GetPlane(2);
    width = alpha ? alpha->width : 0;
    height = alpha ? alpha->height : 0;
}

}  // namespace

// ---------------------------------------------------------------- C_FontType

C_FontType::C_FontType()
    : name("MS Sans Serif"), size(10.0f), format(0), bold(0), italic(0), underline(0), strikeout(0), userValue(0) {}

C_FontType::C_FontType(const C_String& faceName, float wantedSize, std::uint8_t renderKind, std::uint8_t isBold,
                       std::uint8_t isItalic, std::uint8_t isUnderline, std::uint8_t isStrikeout, std::uint32_t value)
    : name(faceName),
      size(wantedSize),
      format(renderKind),
      bold(isBold),
      italic(isItalic),
      underline(isUnderline),
      strikeout(isStrikeout),
      userValue(value) {}

// ------------------------------------------------------------- C_BitmapGlyph

C_BitmapGlyph::C_BitmapGlyph(std::uint16_t glyphSize, std::uint8_t renderKind, std::uint8_t styleCode)
    : size(glyphSize), format(renderKind), style(styleCode), imageIndex(0) {}

// -------------------------------------------------------------- C_BitmapFace

C_BitmapFace::C_BitmapFace() { C_BitmapFace::Init(); }

C_BitmapFace::C_BitmapFace(std::int32_t characterCode) {
    C_BitmapFace::Init();
    code = characterCode;
}

C_BitmapFace::~C_BitmapFace() { C_BitmapFace::Free(); }

void C_BitmapFace::Free() { DeleteList(glyphs); }

void C_BitmapFace::Init() {
    code = -1;
    glyphs = nullptr;
}

C_BitmapGlyph* C_BitmapFace::GetGlyph(std::uint32_t position) const {
    return glyphs ? static_cast<C_BitmapGlyph*>(glyphs->GetAt(position)) : nullptr;
}

bool C_BitmapFace::AddGlyph(C_BitmapGlyph* glyph) { return glyph && AppendOwned(glyphs, glyph); }

// --------------------------------------------------------------------- C_Font

C_Font::C_Font() : imageAllocator(nullptr), faces(nullptr), images(nullptr), allocatorContext(0) { C_Font::Init(); }

C_Font::~C_Font() { C_Font::Free(); }

void C_Font::Free() {
    DeleteList(faces);
    DeleteList(images);
    faceIndex.Free();
}

void C_Font::Init() {
    faces = nullptr;
    images = nullptr;
    faceIndex.Init();
}

bool C_Font::IndexFace(std::int32_t code, std::uint32_t position, const char* site) {
    const std::uint64_t needed = (std::uint64_t{static_cast<std::uint32_t>(code)} + 1) * kIndexEntryBytes;
    if (needed > faceIndex.size) {
        if (needed > faceIndex.capacity) {
            // Grow geometrically so adding faces in rising code order costs
            // amortised constant time; the whole code range bounds the table.
            std::uint64_t grown = std::uint64_t{faceIndex.capacity} * 2;
            const std::uint64_t limit = (std::uint64_t{GFX_FONT_MAX_CODE} + 1) * kIndexEntryBytes;
            if (grown < needed) grown = needed;
            if (grown > limit) grown = limit;
            if (!faceIndex.Resize(static_cast<std::uint32_t>(grown), true)) return Gfx_FailSummary(site);
        }
        // Bytes between the old and new size are zero: the block is zeroed
        // when obtained and the table never shrinks while in use.
        faceIndex.Resize(static_cast<std::uint32_t>(needed), true);
    }
    const std::uint32_t entry = position + 1;
    std::memcpy(faceIndex.data + std::size_t{static_cast<std::uint32_t>(code)} * kIndexEntryBytes, &entry,
                sizeof entry);
    return true;
}

bool C_Font::AppendFace(C_BitmapFace* face, const char* site) {
    const std::uint32_t position = FaceCount();
    if (!AppendOwned(faces, face)) {
        delete face;
        return Gfx_FailSummary(site);
    }
    return IndexFace(face->code, position, site);
}

bool C_Font::AddFace(std::int32_t code) {
    static constexpr const char* kSite = "C_Font::AddFace";
    if (!ValidCode(code)) return Gfx_Fail(GFX_ERR_BAD_DATA, "C_Font::AddFace{code}", kSite);
    return AppendFace(new C_BitmapFace(code), kSite);
}

bool C_Font::AddFaces(std::int32_t first, std::int32_t last) {
    for (std::int64_t code = first; code < last; ++code) {
        if (!AddFace(static_cast<std::int32_t>(code))) return false;
    }
    return true;
}

bool C_Font::NotifySurfaces() {
    for (std::uint32_t i = 0; i < ImageCount(); ++i) {
        if (C_Surface* surface = GetImage(static_cast<std::int32_t>(i))) surface->Notify1(GFX_NOTIFY_ALL_PLANES);
    }
    return true;
}

C_BitmapFace* C_Font::GetFace(std::int32_t code) const {
    if (code < 0 || !faceIndex.data) return nullptr;
    if (std::uint64_t{static_cast<std::uint32_t>(code)} >= faceIndex.size / kIndexEntryBytes) return nullptr;
    std::uint32_t entry = 0;
    std::memcpy(&entry, faceIndex.data + std::size_t{static_cast<std::uint32_t>(code)} * kIndexEntryBytes,
                sizeof entry);
    if (entry == 0 || !faces) return nullptr;
    return static_cast<C_BitmapFace*>(faces->GetAt(entry - 1));
}

C_Surface* C_Font::GetImage(std::int32_t index) const {
    if (index < 0 || !images) return nullptr;
    return static_cast<C_Surface*>(images->GetAt(static_cast<std::uint32_t>(index)));
}

C_Surface* C_Font::NewSurface() const { return imageAllocator ? imageAllocator(allocatorContext) : new C_Surface; }

bool C_Font::AddImage(C_Surface* surface) { return surface && AppendOwned(images, surface); }

void C_Font::TakeContents(C_Font& other) {
    Free();
    faces = other.faces;
    images = other.images;
    other.faces = nullptr;
    other.images = nullptr;
    name = std::move(other.name);
    faceIndex.data = other.faceIndex.data;
    faceIndex.capacity = other.faceIndex.capacity;
    faceIndex.size = other.faceIndex.size;
    other.faceIndex.Init();
}

// ---------------------------------------------------------------- free functions

bool Gfx_Font_AddSheet(const C_String& characters, std::uint32_t columns, std::uint32_t rows, std::uint16_t size,
                       C_Surface* sheet, C_Font* font) {
    static constexpr const char* kSite = "Gfx_Font_AddSheet";
    if (!font) return Gfx_Fail(GFX_ERR_NULL_ARG, "Gfx_Font_AddSheet{pFont}", kSite);
    if (!sheet) return Gfx_Fail(GFX_ERR_NULL_ARG, "Gfx_Font_AddSheet{pSheet}", kSite);
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    SheetSize(*sheet, width, height);
    // Without at least one pixel per cell no glyph would have a picture.
    if (columns == 0 || rows == 0 || width < columns || height < rows) return false;
    const std::int64_t cellW = width / columns;
    const std::int64_t cellH = height / rows;

    const auto sheetIndex = static_cast<std::int32_t>(font->ImageCount());
    if (!font->AddImage(sheet)) return Gfx_FailSummary(kSite);

    const char* text = characters.CStr();
    for (std::uint32_t k = 0; k < characters.Length(); ++k) {
        C_BitmapFace* face = font->GetFace(static_cast<unsigned char>(text[k]));
        if (!face) continue;
        // Characters beyond the grid land in cells below its last row, as
        // the frame is never compared with the sheet; only a frame that no
        // longer fits the integer range ends the import.
        const std::int64_t x0 = (k % columns) * cellW;
        const std::int64_t y0 = (k / columns) * cellH;
        if (y0 + cellH > std::numeric_limits<std::int32_t>::max()) break;
        auto* glyph = new C_BitmapGlyph(size, GFX_GLYPH_SHEET, GFX_STYLE_REGULAR);
        glyph->imageIndex = sheetIndex;
        glyph->frame.x0 = static_cast<std::int32_t>(x0);
        glyph->frame.y0 = static_cast<std::int32_t>(y0);
        glyph->frame.x1 = static_cast<std::int32_t>(x0 + cellW - 1);
        glyph->frame.y1 = static_cast<std::int32_t>(y0 + cellH - 1);
        glyph->advance.x = static_cast<std::int32_t>(cellW);
        glyph->advance.y = static_cast<std::int32_t>(cellH);
        glyph->bearing.x = 0;
        glyph->bearing.y = 0;
        if (!face->AddGlyph(glyph)) {
            delete glyph;
            return Gfx_FailSummary(kSite);
        }
    }
    return true;
}

bool Gfx_Font_ChangeFormat(C_Font* font, std::int32_t newFormat, std::int32_t newPalFormat, std::uint32_t flags) {
    if (!font) return Gfx_Fail(GFX_ERR_NULL_ARG, "Gfx_Font_ChangeFormat{pFont->format}", "Gfx_Font_ChangeFormat");
    if (font->ImageCount() == 0) return false;
    for (std::uint32_t i = 0; i < font->ImageCount(); ++i) {
        if (C_Surface* surface = font->GetImage(static_cast<std::int32_t>(i)))
            Gfx_Surface_ChangeFormat(surface, newFormat, newPalFormat, flags);
    }
    return true;
}
