/// @file
/// Plain geometry records: integer and float rectangles, a circle and an
/// axis-aligned box. Their users interpret the fields; the classes only hold
/// and serialise them.
#pragma once

#include <cstdint>

#include "../core/object.h"
#include "vector.h"

/// An integer rectangle: (x0, y0) the first corner, (x1, y1) the second,
/// exclusive for pixel rectangles (clip regions, glyph cells, window
/// geometry). posAlign holds the anchor code of x0 in its low and of y0 in its
/// high four bits, sizeAlign those of x1 and y1; only the window reads them.
class C_Frame : public C_Object {
public:
    std::int32_t x0 = 0;
    std::int32_t y0 = 0;
    std::int32_t x1 = 0;
    std::int32_t y1 = 0;
    std::uint8_t posAlign = 0;
    std::uint8_t sizeAlign = 0;

    C_Frame() = default;
    C_Frame(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom, std::uint8_t posCode = 0,
            std::uint8_t sizeCode = 0)
        : x0(left), y0(top), x1(right), y1(bottom), posAlign(posCode), sizeAlign(sizeCode) {}
    /// From {x0, y0, x1, y1}, codes 0; a null array gives the empty frame.
    explicit C_Frame(const std::int32_t corners[4]);
    C_Frame(const C_Frame&) = default;
    C_Frame& operator=(const C_Frame&) = default;

    bool LoadFromStream(C_Stream* stream, std::uint32_t flags) override;
    bool SaveToStream(C_Stream* stream, std::uint32_t flags) override;
    std::uint32_t GetClassType() const override { return GFX_CLASS_FRAME; }
};

/// A float rectangle: source and destination rectangles of the drawing code.
/// The fields mean what they mean in C_Frame.
class C_Rect : public C_Object {
public:
    float x0 = 0.0f;
    float y0 = 0.0f;
    float x1 = 0.0f;
    float y1 = 0.0f;
    std::uint8_t posAlign = 0;
    std::uint8_t sizeAlign = 0;

    C_Rect() = default;
    C_Rect(float left, float top, float right, float bottom, std::uint8_t posCode = 0, std::uint8_t sizeCode = 0)
        : x0(left), y0(top), x1(right), y1(bottom), posAlign(posCode), sizeAlign(sizeCode) {}
    /// From {x0, y0, x1, y1}, codes 0; a null array gives the empty rectangle.
    explicit C_Rect(const float corners[4]);
    C_Rect(const C_Rect&) = default;
    C_Rect& operator=(const C_Rect&) = default;

    bool LoadFromStream(C_Stream* stream, std::uint32_t flags) override;
    bool SaveToStream(C_Stream* stream, std::uint32_t flags) override;
    std::uint32_t GetClassType() const override { return GFX_CLASS_RECT; }
};

/// A circle: centre and radius in pixels.
class C_Circle : public C_Object {
public:
    C_Vector2D centre;
    float radius = 0.0f;

    C_Circle() = default;
    C_Circle(const C_Vector2D& c, float r) : centre(c), radius(r) {}
    C_Circle(const C_Circle&) = default;
    C_Circle& operator=(const C_Circle&) = default;

    bool LoadFromStream(C_Stream* stream, std::uint32_t flags) override;
    bool SaveToStream(C_Stream* stream, std::uint32_t flags) override;
    std::uint32_t GetClassType() const override { return GFX_CLASS_CIRCLE; }
};

/// An axis-aligned box from its low corner `min` to its high corner `max`.
class C_Box : public C_Object {
public:
    C_Vector3D min;
    C_Vector3D max;

    C_Box() = default;
    C_Box(const C_Vector3D& low, const C_Vector3D& high) : min(low), max(high) {}
    C_Box(const C_Box&) = default;
    C_Box& operator=(const C_Box&) = default;

    /// True when the boxes overlap on all three axes (boxes that only touch do
    /// not). Then, if `out` is not null, it receives per axis how far the
    /// boxes reach into each other, signed by where the other box's centre
    /// lies: on x and z, other.min - max when the other's centre is greater
    /// (a negative amount) and other.max - min otherwise; on y,
    /// max - other.min when the other's centre is greater and other.max - min
    /// otherwise, so both y branches give a positive amount. `out` is left
    /// unchanged when there is no overlap.
    bool Intersect(const C_Box& other, C_Vector3D* out) const;

    bool LoadFromStream(C_Stream* stream, std::uint32_t flags) override;
    bool SaveToStream(C_Stream* stream, std::uint32_t flags) override;
    std::uint32_t GetClassType() const override { return GFX_CLASS_BOX; }
};
