// Small fonts built in code for the text tests, and the font files they
// read from the Debian packages fonts-liberation2 and fonts-dejavu-core
// (cmake/debian-packages.txt).
#pragma once

#include <algorithm>
#include <cstring>
#include <vector>

#include "quillory.h"
#include "test_support.h"

inline constexpr const char* kLiberationSerifPath = "/usr/share/fonts/truetype/liberation2/LiberationSerif-Regular.ttf";
inline constexpr const char* kDejaVuSansPath = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

// A surface owning an 8-bit coverage picture with every pixel `value`.
inline C_Surface* CoverageSurface(std::uint32_t width, std::uint32_t height, std::uint8_t value = 255) {
    auto* picture = new C_Image;
    picture->CreateEmpty(width, height, GFX_FMT_CH8, GFX_FMT_NONE);
    if (picture->data) std::memset(picture->data, value, picture->dataSize);
    auto* surface = new C_Surface;
    surface->AddPlane(picture, 2);
    return surface;
}

struct GlyphShape {
    std::int32_t c;
    int advance, bearingX, bearingY, width, height;
};

// Gives every character of `shapes` (adding its face when missing) one more
// variant of `size`, with a solid picture of its own.
inline void AddVariant(C_Font& font, const std::vector<GlyphShape>& shapes, std::uint16_t size) {
    for (const GlyphShape& shape : shapes) {
        if (!font.GetFace(shape.c)) font.AddFace(shape.c);
        auto* glyph = new C_BitmapGlyph(size, GFX_GLYPH_GRAY, GFX_STYLE_REGULAR);
        glyph->imageIndex = static_cast<std::int32_t>(font.ImageCount());
        glyph->frame = C_Frame(0, 0, shape.width, shape.height);
        glyph->advance = C_Vector2Di(shape.advance, 0);
        glyph->bearing = C_Vector2Di(shape.bearingX, shape.bearingY);
        font.AddImage(CoverageSurface(shape.width + 1, shape.height + 1));
        font.GetFace(shape.c)->AddGlyph(glyph);
    }
}

inline std::vector<std::uint8_t> BytesOf(const C_Image* image) {
    return std::vector<std::uint8_t>(image->data, image->data + image->dataSize);
}

// Loads `object` from the first `count` bytes of `bytes` (all by default).
inline bool LoadFrom(C_Object& object, const std::vector<std::uint8_t>& bytes, std::size_t count = ~std::size_t{0}) {
    C_Stream stream;
    stream.OpenMemoryRead(bytes.data(), static_cast<std::uint32_t>(std::min(count, bytes.size())));
    return object.LoadFromStream(&stream, 0);
}
