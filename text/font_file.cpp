// The font records and the ".uft" font file: one C_Font record holding its
// name, its faces (each with its glyph records) and its glyph surfaces.
//
// Readers never trust a count: each is compared with the bytes the stream
// still holds before anything is allocated or looped over, and a record that
// fails to load stops the whole font, since the reader could not find its
// place in the stream again.
#include <cstring>
#include <utility>

#include "core/error.h"
#include "core/stream.h"
#include "image/internal/load_budget.h"
#include "surface/surface.h"
#include "text/font.h"

namespace {

constexpr std::size_t kGlyphBodyBytes = 24;          // a glyph record after its tag
constexpr std::uint64_t kGlyphRecordBytes = 26;      // with the tag
constexpr std::uint64_t kFaceRecordMinBytes = 10;    // tag, zero count, code
constexpr std::uint64_t kSurfaceRecordMinBytes = 3;  // tag and the no-list marker
constexpr std::size_t kFontTypeBodyBytes = 12;       // size, four flags, userValue

void Put16(std::uint8_t* out, std::int32_t value) {
    const auto v = static_cast<std::uint32_t>(value);
    out[0] = static_cast<std::uint8_t>(v);
    out[1] = static_cast<std::uint8_t>(v >> 8);
}

void Put32(std::uint8_t* out, std::uint32_t v) {
    out[0] = static_cast<std::uint8_t>(v);
    out[1] = static_cast<std::uint8_t>(v >> 8);
    out[2] = static_cast<std::uint8_t>(v >> 16);
    out[3] = static_cast<std::uint8_t>(v >> 24);
}

std::int32_t GetS16(const std::uint8_t* in) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(in[0] | in[1] << 8));
}

std::uint32_t Get32(const std::uint8_t* in) {
    return std::uint32_t{in[0]} | std::uint32_t{in[1]} << 8 | std::uint32_t{in[2]} << 16 | std::uint32_t{in[3]} << 24;
}

bool WriteU32(C_Stream* stream, std::uint32_t value) { return C_Stream::WriteValue(stream, value); }

// Elements of a list that are not null.
std::uint32_t CountPresent(const C_List* list) {
    std::uint32_t n = 0;
    for (std::uint32_t i = 0; list && i < list->Count(); ++i) n += list->GetAt(i) ? 1 : 0;
    return n;
}

}  // namespace

// ---------------------------------------------------------------- C_FontType

bool C_FontType::LoadFromStream(C_Stream* stream, std::uint32_t flags) {
    static constexpr const char* kSite = "C_FontType::LoadFromStream";
    if (!Gfx_ReadClassTag(stream, GFX_CLASS_FONTTYPE, "C_FontType")) return false;
    C_String loadedName;
    if (!loadedName.LoadFromStream(stream, flags)) return Gfx_FailSummary(kSite);
    std::uint8_t body[kFontTypeBodyBytes];
    if (C_Stream::ReadBytes(stream, body, sizeof body) != sizeof body)
        return Gfx_Fail(GFX_ERR_BAD_DATA, "C_FontType::LoadFromStream{size}", kSite);
    name = std::move(loadedName);
    std::memcpy(&size, body, sizeof size);
    bold = body[4];
    italic = body[5];
    underline = body[6];
    strikeout = body[7];
    userValue = Get32(body + 8);
    return true;
}

bool C_FontType::SaveToStream(C_Stream* stream, std::uint32_t flags) {
    static constexpr const char* kSite = "C_FontType::SaveToStream";
    if (!Gfx_WriteClassTag(stream, GFX_CLASS_FONTTYPE) || !name.SaveToStream(stream, flags))
        return Gfx_FailSummary(kSite);
    std::uint8_t body[kFontTypeBodyBytes];
    std::memcpy(body, &size, sizeof size);
    body[4] = bold;
    body[5] = italic;
    body[6] = underline;
    body[7] = strikeout;
    Put32(body + 8, userValue);
    if (C_Stream::WriteBytes(stream, body, sizeof body) != sizeof body) return Gfx_FailSummary(kSite);
    return true;
}

// ------------------------------------------------------------- C_BitmapGlyph

bool C_BitmapGlyph::LoadFromStream(C_Stream* stream, std::uint32_t) {
    if (!Gfx_ReadClassTag(stream, GFX_CLASS_BITMAPGLYPH, "C_BitmapGlyph")) return false;
    std::uint8_t body[kGlyphBodyBytes];
    if (C_Stream::ReadBytes(stream, body, sizeof body) != sizeof body)
        return Gfx_Fail(GFX_ERR_BAD_DATA, "C_BitmapGlyph::LoadFromStream{record}", "C_BitmapGlyph::LoadFromStream");
    size = static_cast<std::uint16_t>(body[0] | body[1] << 8);
    format = body[2];
    style = body[3];
    imageIndex = static_cast<std::int32_t>(Get32(body + 4));
    frame.x0 = GetS16(body + 8);
    frame.y0 = GetS16(body + 10);
    frame.x1 = GetS16(body + 12);
    frame.y1 = GetS16(body + 14);
    advance.x = GetS16(body + 16);
    advance.y = GetS16(body + 18);
    bearing.x = GetS16(body + 20);
    bearing.y = GetS16(body + 22);
    return true;
}

bool C_BitmapGlyph::SaveToStream(C_Stream* stream, std::uint32_t) {
    std::uint8_t body[kGlyphBodyBytes];
    Put16(body, size);
    body[2] = format;
    body[3] = style;
    Put32(body + 4, static_cast<std::uint32_t>(imageIndex));
    Put16(body + 8, frame.x0);
    Put16(body + 10, frame.y0);
    Put16(body + 12, frame.x1);
    Put16(body + 14, frame.y1);
    Put16(body + 16, advance.x);
    Put16(body + 18, advance.y);
    Put16(body + 20, bearing.x);
    Put16(body + 22, bearing.y);
    if (!Gfx_WriteClassTag(stream, GFX_CLASS_BITMAPGLYPH) ||
        C_Stream::WriteBytes(stream, body, sizeof body) != sizeof body)
        return Gfx_FailSummary("C_BitmapGlyph::SaveToStream");
    return true;
}

// -------------------------------------------------------------- C_BitmapFace

bool C_BitmapFace::LoadFromStream(C_Stream* stream, std::uint32_t flags) {
    static constexpr const char* kSite = "C_BitmapFace::LoadFromStream";
    if (!Gfx_ReadClassTag(stream, GFX_CLASS_BITMAPFACE, "C_BitmapFace")) return false;
    std::uint32_t count = 0;
    if (!C_Stream::ReadValue(stream, count) ||
        count * kGlyphRecordBytes + sizeof(std::int32_t) > C_Stream::Remaining(stream))
        return Gfx_Fail(GFX_ERR_BAD_DATA, "C_BitmapFace::LoadFromStream{glyphCount}", kSite);

    // Built aside and swapped in, so a failure leaves the face as it was.
    C_BitmapFace loaded;
    if (count > 0) loaded.glyphs = new C_List;
    for (std::uint32_t i = 0; i < count; ++i) {
        auto* glyph = new C_BitmapGlyph;
        // Each glyph goes to the front: the list ends in reverse file order.
        if (!glyph->LoadFromStream(stream, flags) || !loaded.glyphs->Insert(glyph, 0)) {
            delete glyph;
            return Gfx_FailSummary(kSite);
        }
    }
    if (!C_Stream::ReadValue(stream, loaded.code))
        return Gfx_Fail(GFX_ERR_BAD_DATA, "C_BitmapFace::LoadFromStream{code}", kSite);

    Free();
    Init();
    std::swap(glyphs, loaded.glyphs);
    code = loaded.code;
    return true;
}

bool C_BitmapFace::SaveToStream(C_Stream* stream, std::uint32_t flags) {
    static constexpr const char* kSite = "C_BitmapFace::SaveToStream";
    if (!Gfx_WriteClassTag(stream, GFX_CLASS_BITMAPFACE) || !WriteU32(stream, GlyphCount()))
        return Gfx_FailSummary(kSite);
    for (std::uint32_t i = 0; i < GlyphCount(); ++i) {
        // A missing glyph is written as a default one so that every later
        // variant keeps its list position.
        C_BitmapGlyph placeholder;
        C_BitmapGlyph* glyph = GetGlyph(i);
        if (!(glyph ? glyph : &placeholder)->SaveToStream(stream, flags)) return Gfx_FailSummary(kSite);
    }
    if (!C_Stream::WriteValue(stream, code)) return Gfx_FailSummary(kSite);
    return true;
}

// --------------------------------------------------------------------- C_Font

bool C_Font::ReadBody(C_Stream* stream, std::uint32_t flags) {
    static constexpr const char* kSite = "C_Font::LoadFromStream";
    if (!name.LoadFromStream(stream, flags)) return Gfx_FailSummary(kSite);

    std::uint32_t faceCount = 0;
    if (!C_Stream::ReadValue(stream, faceCount) || faceCount * kFaceRecordMinBytes > C_Stream::Remaining(stream))
        return Gfx_Fail(GFX_ERR_BAD_DATA, "C_Font::LoadFromStream{faceCount}", kSite);
    for (std::uint32_t i = 0; i < faceCount; ++i) {
        auto* face = new C_BitmapFace;
        if (!face->LoadFromStream(stream, flags)) {
            delete face;
            return Gfx_FailSummary(kSite);
        }
        if (face->code < 0 || face->code > GFX_FONT_MAX_CODE) {
            delete face;
            return Gfx_Fail(GFX_ERR_BAD_DATA, "C_Font::LoadFromStream{code}", kSite);
        }
        if (!AppendFace(face, kSite)) return false;
    }

    std::uint32_t surfaceCount = 0;
    if (!C_Stream::ReadValue(stream, surfaceCount) ||
        surfaceCount * kSurfaceRecordMinBytes > C_Stream::Remaining(stream))
        return Gfx_Fail(GFX_ERR_BAD_DATA, "C_Font::LoadFromStream{surfaceCount}", kSite);
    for (std::uint32_t i = 0; i < surfaceCount; ++i) {
        C_Surface* surface = NewSurface();
        if (!surface) return Gfx_Fail(GFX_ERR_NO_MEMORY, "C_Font::LoadFromStream{images}", kSite);
        if (!surface->LoadFromStream(stream, flags) || !AddImage(surface)) {
            delete surface;
            return Gfx_FailSummary(kSite);
        }
    }
    return true;
}

bool C_Font::LoadFromStream(C_Stream* stream, std::uint32_t flags) {
    if (!Gfx_ReadClassTag(stream, GFX_CLASS_FONT, "C_Font")) return false;
    // Every surface of the file draws from this one budget.
    C_LoadBudget budget;
    // Read into a font of its own and take it over only when complete: a bad
    // file leaves this font as it was. The allocator makes the surfaces.
    C_Font loaded;
    loaded.imageAllocator = imageAllocator;
    loaded.allocatorContext = allocatorContext;
    if (!loaded.ReadBody(stream, flags)) return false;
    TakeContents(loaded);
    return true;
}

bool C_Font::SaveToStream(C_Stream* stream, std::uint32_t flags) {
    static constexpr const char* kSite = "C_Font::SaveToStream";
    if (!Gfx_WriteClassTag(stream, GFX_CLASS_FONT) || !name.SaveToStream(stream, flags) ||
        !WriteU32(stream, CountPresent(faces)))
        return Gfx_FailSummary(kSite);
    for (std::uint32_t i = 0; i < FaceCount(); ++i) {
        C_Object* face = faces->GetAt(i);
        if (face && !face->SaveToStream(stream, flags)) return Gfx_FailSummary(kSite);
    }
    if (!WriteU32(stream, ImageCount())) return Gfx_FailSummary(kSite);
    for (std::uint32_t i = 0; i < ImageCount(); ++i) {
        // A missing surface is written as an empty one so that the glyphs'
        // image indexes still point at the right records.
        C_Surface placeholder;
        C_Surface* surface = GetImage(static_cast<std::int32_t>(i));
        if (!(surface ? surface : &placeholder)->SaveToStream(stream, flags)) return Gfx_FailSummary(kSite);
    }
    return true;
}
