// Small fonts built in code for the text tests.
#pragma once

#include <cstring>
#include <vector>

#include "quillory.h"

// An 8-bit coverage picture with every pixel `value`.
inline C_Image* CoveragePicture(std::uint32_t width, std::uint32_t height, std::uint8_t value) {
    auto* picture = new C_Image;
    picture->CreateEmpty(width, height, GFX_FMT_CH8, GFX_FMT_NONE);
    if (picture->data) std::memset(picture->data, value, picture->dataSize);
    return picture;
}

// A surface that owns `picture` as its alpha plane.
inline C_Surface* CoverageSurface(C_Image* picture) {
    auto* surface = new C_Surface;
    surface->AddPlane(picture, 2);
    return surface;
}

struct GlyphShape {
    std::int32_t c;
    int advance;
    int bearingX;
    int bearingY;
    int width;
    int height;
};

// Gives every character of `shapes` (adding its face when missing) one more
// variant of `size`, with a picture of its own.
inline void AddVariant(C_Font& font, const std::vector<GlyphShape>& shapes, std::uint16_t size,
                       std::uint8_t style = GFX_STYLE_REGULAR, std::uint8_t format = GFX_GLYPH_GRAY) {
    for (const GlyphShape& shape : shapes) {
        if (!font.GetFace(shape.c)) font.AddFace(shape.c);
        auto* glyph = new C_BitmapGlyph(size, format, style);
        glyph->imageIndex = static_cast<std::int32_t>(font.ImageCount());
        glyph->frame = C_Frame(0, 0, shape.width, shape.height);
        glyph->advance = C_Vector2Di(shape.advance, 0);
        glyph->bearing = C_Vector2Di(shape.bearingX, shape.bearingY);
        font.AddImage(CoverageSurface(CoveragePicture(shape.width + 1, shape.height + 1, 255)));
        font.GetFace(shape.c)->AddGlyph(glyph);
    }
}

// Serialises any object into a byte vector.
inline std::vector<std::uint8_t> Saved(C_Object& object) {
    C_Stream stream;
    stream.OpenMemoryWrite();
    object.SaveToStream(&stream, 0);
    return std::vector<std::uint8_t>(stream.Data(), stream.Data() + stream.Size());
}

// Loads `object` from the first `count` bytes of `bytes`.
inline bool LoadFrom(C_Object& object, const std::vector<std::uint8_t>& bytes, std::size_t count) {
    C_Stream stream;
    stream.OpenMemoryRead(bytes.data(), static_cast<std::uint32_t>(count));
    return object.LoadFromStream(&stream, 0);
}

inline bool LoadFrom(C_Object& object, const std::vector<std::uint8_t>& bytes) {
    return LoadFrom(object, bytes, bytes.size());
}
