/// @file
/// The base of every framework data class and the binary object format.
///
/// A serialised object is its 16-bit class id followed by its fields in
/// declaration order, little-endian, with no lengths or padding; nested
/// objects carry their own tag.
#pragma once

#include <cstdint>

struct C_Stream;

/// Class ids: the value of GetClassType and of the tag in the object format.
enum : std::uint16_t {
    GFX_CLASS_COLOR = 1,
    GFX_CLASS_FONTTYPE = 2,
    GFX_CLASS_BITMAPGLYPH = 3,
    GFX_CLASS_BITMAPFACE = 4,
    GFX_CLASS_FONT = 5,
    GFX_CLASS_IMAGE = 6,
    GFX_CLASS_FRAME = 7,
    GFX_CLASS_CIRCLE = 8,
    GFX_CLASS_RECT = 9,
    GFX_CLASS_BOX = 10,
    GFX_CLASS_STRING = 11,
    GFX_CLASS_SURFACE = 13,
    GFX_CLASS_VECTOR2D = 15,
    GFX_CLASS_VECTOR3D = 16,
    GFX_CLASS_VECTOR4D = 17,
    GFX_CLASS_WINDOW = 18,
};

/// The base of every framework data class: life-cycle operations and the
/// object format. Failures return false; the error record says why.
class C_Object {
public:
    C_Object() = default;
    C_Object(const C_Object&) = default;
    C_Object& operator=(const C_Object&) = default;

    /// Slot order matters to nobody outside, but is kept as designed:
    /// destructor, Free, Init, Create, Destroy, LoadFromStream, SaveToStream,
    /// LoadFromFile, SaveToFile, GetClassType.
    virtual ~C_Object() = default;
    virtual void Free() {}
    virtual void Init() {}
    /// Native counterpart (the window); non-zero on success.
    virtual std::uintptr_t Create() { return 0; }
    virtual void Destroy() {}
    virtual bool LoadFromStream(C_Stream* stream, std::uint32_t flags);
    virtual bool SaveToStream(C_Stream* stream, std::uint32_t flags);
    /// Opens `path`, runs LoadFromStream / SaveToStream and reports the real
    /// outcome: false when the file cannot be opened or the stream operation
    /// fails.
    virtual bool LoadFromFile(const char* path, std::uint32_t flags);
    virtual bool SaveToFile(const char* path, std::uint32_t flags);
    virtual std::uint32_t GetClassType() const { return 4; }
};

// Helpers for the stream operations of derived classes.

/// Reads the 16-bit tag and compares it with `classId`. On a mismatch records
/// error 10 "<className>::LoadFromStream{class_type}" and the summary line, and
/// returns false.
bool Gfx_ReadClassTag(C_Stream* stream, std::uint16_t classId, const char* className);
/// Writes the 16-bit tag; false when the stream took fewer than two bytes.
bool Gfx_WriteClassTag(C_Stream* stream, std::uint16_t classId);
