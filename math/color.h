/// @file
/// Colours: four float components, nominally 0..1 but never clamped on their
/// own, so effect records can carry signed offsets and gains.
#pragma once

#include <cstdint>

#include "../core/object.h"

/// A colour of four float components r, g, b, a, nominally 0 to 1.
class C_Color : public C_Object {
public:
    float r = 0.0f;
    float g = 0.0f;
    float b = 0.0f;
    float a = 0.0f;

    C_Color() = default;
    C_Color(float red, float green, float blue, float alpha) : r(red), g(green), b(blue), a(alpha) {}
    /// 0-255 integers, each divided by 255 (no clamping).
    C_Color(std::int32_t red, std::int32_t green, std::int32_t blue, std::int32_t alpha);
    /// Packed 0x00BBGGRR; every bit above bit 15 goes to blue, alpha is 0.
    explicit C_Color(std::uint32_t packed);
    /// From {r, g, b, a}; a null array gives (0, 0, 0, 0).
    explicit C_Color(const float components[4]);
    C_Color(const C_Color&) = default;
    C_Color& operator=(const C_Color&) = default;

    void Set(float red, float green, float blue, float alpha);
    /// Components above 1 become 1; components that are not >= 0 (NaN too) become 0.
    void Clamp();
    C_Color Lerp(const C_Color& other, float t) const;

    C_Color operator+(const C_Color& o) const;
    C_Color operator-(const C_Color& o) const;
    C_Color operator*(const C_Color& o) const;
    C_Color operator/(const C_Color& o) const;
    C_Color operator*(float s) const;
    C_Color operator/(float s) const;
    C_Color operator-() const;
    C_Color operator+=(const C_Color& o);
    C_Color operator-=(const C_Color& o);
    C_Color operator*=(const C_Color& o);
    C_Color operator/=(const C_Color& o);
    C_Color operator*=(float s);
    C_Color operator/=(float s);
    /// Equal unless some component is less than or greater than the other's,
    /// so a NaN component matches anything.
    bool operator==(const C_Color& o) const;
    bool operator!=(const C_Color& o) const { return !(*this == o); }

    bool LoadFromStream(C_Stream* stream, std::uint32_t flags) override;
    bool SaveToStream(C_Stream* stream, std::uint32_t flags) override;
    std::uint32_t GetClassType() const override { return GFX_CLASS_COLOR; }
};

C_Color operator*(float s, const C_Color& c);
