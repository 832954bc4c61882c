/// @file
/// Bitmap fonts: pre-rendered glyph pictures per character, with the metrics
/// to lay them out, and the ".uft" font file (one serialised C_Font).
///
/// A font keeps one C_BitmapFace per character code; a face lists every
/// rendered variant (C_BitmapGlyph) of its character, one per size, render
/// kind and style. The pictures live in surfaces owned by the font; a glyph
/// names its surface by index and its cell in it by a frame.
#pragma once

#include <cstdint>

#include "../core/buffer.h"
#include "../core/list.h"
#include "../core/object.h"
#include "../core/string.h"
#include "../math/shapes.h"
#include "../math/vector.h"

class C_Surface;

/// Render kinds of glyph pictures (the `format` of glyphs and font types).
enum : std::uint8_t {
    GFX_GLYPH_MONO = 4,   ///< one-bit rendering
    GFX_GLYPH_GRAY = 5,   ///< eight-bit anti-aliased rendering
    GFX_GLYPH_SHEET = 6,  ///< cut from a picture sheet
};

/// Glyph style codes.
enum : std::uint8_t {
    GFX_STYLE_REGULAR = 7,
    GFX_STYLE_BOLD = 8,
    GFX_STYLE_ITALIC = 9,
    GFX_STYLE_BOLD_ITALIC = 10,
};

/// The highest character code a font indexes: the end of the Unicode range.
inline constexpr std::int32_t GFX_FONT_MAX_CODE = 0x10FFFF;

/// The style code of a bold / italic combination.
constexpr std::uint8_t Gfx_FontStyleCode(bool bold, bool italic) {
    return static_cast<std::uint8_t>(GFX_STYLE_REGULAR + (bold ? 1 : 0) + (italic ? 2 : 0));
}

/// The font a caller asks for: face name, size, render kind and style.
class C_FontType : public C_Object {
public:
    C_String name;
    float size;           ///< in the unit of the glyphs' `size`
    std::uint8_t format;  ///< render kind wanted; not serialised
    std::uint8_t bold;
    std::uint8_t italic;
    std::uint8_t underline;
    std::uint8_t strikeout;
    std::uint32_t userValue;  ///< stored, never interpreted

    C_FontType();
    C_FontType(const C_String& faceName, float wantedSize, std::uint8_t renderKind, std::uint8_t isBold,
               std::uint8_t isItalic, std::uint8_t isUnderline, std::uint8_t isStrikeout, std::uint32_t value);

    /// Reads into locals first: a failed load leaves the font type unchanged.
    bool LoadFromStream(C_Stream* stream, std::uint32_t flags) override;
    bool SaveToStream(C_Stream* stream, std::uint32_t flags) override;
    std::uint32_t GetClassType() const override { return GFX_CLASS_FONTTYPE; }

    std::uint8_t StyleCode() const { return Gfx_FontStyleCode(bold != 0, italic != 0); }
};

/// One rendered variant of a character.
class C_BitmapGlyph : public C_Object {
public:
    std::uint16_t size = 0;        ///< the size it was rendered at
    std::uint8_t format = 0;       ///< render kind
    std::uint8_t style = 0;        ///< style code 7 to 10
    std::int32_t imageIndex = -1;  ///< index into the font's surfaces
    C_Frame frame;                 ///< the glyph's cell in that surface
    C_Vector2Di advance;           ///< pen advance at `size`, pixels
    C_Vector2Di bearing;           ///< picture's left offset and top above the baseline

    C_BitmapGlyph() = default;
    C_BitmapGlyph(std::uint16_t glyphSize, std::uint8_t renderKind, std::uint8_t styleCode);

    /// The record is 26 bytes; the metrics travel as 16-bit values (the low
    /// 16 bits written, sign-extended on reading). A short record fails and
    /// leaves the glyph unchanged.
    bool LoadFromStream(C_Stream* stream, std::uint32_t flags) override;
    bool SaveToStream(C_Stream* stream, std::uint32_t flags) override;
    std::uint32_t GetClassType() const override { return GFX_CLASS_BITMAPGLYPH; }
};

/// Every variant of one character.
class C_BitmapFace : public C_Object {
public:
    std::int32_t code;  ///< the character served; -1 when unset
    C_List* glyphs;     ///< owned C_BitmapGlyph; null until the first is added

    C_BitmapFace();
    explicit C_BitmapFace(std::int32_t characterCode);
    ~C_BitmapFace() override;
    C_BitmapFace(const C_BitmapFace&) = delete;
    C_BitmapFace& operator=(const C_BitmapFace&) = delete;

    /// Deletes the glyphs and the list; the face is then empty again.
    void Free() override;
    void Init() override;
    /// Loading lists the glyphs in reverse file order. A record that is cut
    /// short, or promises more glyphs than the stream holds, fails and leaves
    /// the face unchanged.
    bool LoadFromStream(C_Stream* stream, std::uint32_t flags) override;
    bool SaveToStream(C_Stream* stream, std::uint32_t flags) override;
    std::uint32_t GetClassType() const override { return GFX_CLASS_BITMAPFACE; }

    std::uint32_t GlyphCount() const { return glyphs ? glyphs->Count() : 0; }
    /// The variant at list position `position`, or null.
    C_BitmapGlyph* GetGlyph(std::uint32_t position) const;
    /// Appends a glyph the face then owns, creating the list when absent.
    bool AddGlyph(C_BitmapGlyph* glyph);
};

/// Makes the surface objects of a font; `context` is the font's
/// allocatorContext. Returns a new, empty surface (deleted by the font).
using Gfx_FontSurfaceAllocator = C_Surface* (*)(std::uint32_t context);

/// A bitmap font: faces by character code, their glyph variants and the
/// surfaces holding the glyph pictures. Load one from a ".uft" file with
/// LoadFromFile, or build one: AddFaces for the characters, then
/// Gfx_Font_ImportTrueType once per size, render kind and style.
class C_Font : public C_Object {
public:
    Gfx_FontSurfaceAllocator imageAllocator;  ///< null: plain C_Surface objects
    C_List* faces;                            ///< owned C_BitmapFace in the order added; null when none
    C_List* images;                           ///< owned surfaces holding the glyph pictures; null when none
    C_String name;                            ///< the font's face name
    /// 32-bit entries indexed by character code: position in `faces` + 1, or
    /// 0 for no face. Rebuilt on load, never stored.
    C_Buffer faceIndex;
    std::uint32_t allocatorContext;

    C_Font();
    ~C_Font() override;
    C_Font(const C_Font&) = delete;
    C_Font& operator=(const C_Font&) = delete;

    /// Deletes faces, glyphs and surfaces and empties the index. The name,
    /// the allocator and its context stay.
    void Free() override;
    void Init() override;
    /// A font file is read whole or not at all: a wrong tag, a record cut
    /// short, a count larger than the stream could hold, a face code outside
    /// 0..GFX_FONT_MAX_CODE or a nested face, glyph, name or surface that
    /// fails makes the load return false with the font as it was.
    bool LoadFromStream(C_Stream* stream, std::uint32_t flags) override;
    bool SaveToStream(C_Stream* stream, std::uint32_t flags) override;
    std::uint32_t GetClassType() const override { return GFX_CLASS_FONT; }

    /// Appends an empty face for `code` and indexes it. False (nothing added)
    /// for a code outside 0..GFX_FONT_MAX_CODE.
    bool AddFace(std::int32_t code);
    /// AddFace for every code from `first` up to but not including `last`;
    /// stops with false at the first code AddFace refuses.
    bool AddFaces(std::int32_t first, std::int32_t last);
    /// Sends the planes-changed notification (-3, all planes) to every glyph
    /// surface, so display copies of the pictures can be refreshed.
    bool NotifySurfaces();

    /// The face serving `code`, or null (also for codes beyond the index).
    C_BitmapFace* GetFace(std::int32_t code) const;
    std::uint32_t FaceCount() const { return faces ? faces->Count() : 0; }
    /// The glyph surface at `index`, or null.
    C_Surface* GetImage(std::int32_t index) const;
    std::uint32_t ImageCount() const { return images ? images->Count() : 0; }

    /// A new surface from the allocator (or a plain C_Surface); null when none
    /// could be made.
    C_Surface* NewSurface() const;
    /// Appends a surface the font then owns, creating the list when absent;
    /// the new surface's index is the count before the call.
    bool AddImage(C_Surface* surface);

private:
    /// Appends `face` (owned from then on) and points its code's index entry
    /// at it.
    bool AppendFace(C_BitmapFace* face, const char* site);
    bool IndexFace(std::int32_t code, std::uint32_t position, const char* site);
    bool ReadBody(C_Stream* stream, std::uint32_t flags);
    void TakeContents(C_Font& other);
};

/// Imports a regular grid of glyph pictures: the sheet holds the k-th
/// character of `characters` in cell k, row-major, `columns` by `rows` cells.
/// Every character that has a face gains a variant of `size`, render kind
/// GFX_GLYPH_SHEET and the regular style. The font takes ownership of the
/// sheet. False (and the sheet not taken) without a font or a sheet, for 0
/// columns or rows, or a sheet smaller than one pixel per cell.
bool Gfx_Font_AddSheet(const C_String& characters, std::uint32_t columns, std::uint32_t rows, std::uint16_t size,
                       C_Surface* sheet, C_Font* font);

/// Converts every glyph surface with Gfx_Surface_ChangeFormat. False when the
/// font is null (error 14) or has no surfaces.
bool Gfx_Font_ChangeFormat(C_Font* font, std::int32_t newFormat, std::int32_t newPalFormat, std::uint32_t flags);
