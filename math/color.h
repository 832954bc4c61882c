/// @file
/// Colours: four float components, nominally 0..1 but never clamped on their
/// own, so effect records can carry signed offsets and gains.
#pragma once

#include <cstdint>
#include <type_traits>

#include "../core/object.h"

/// True for four arithmetic arguments of which at least one is floating-point:
/// such a colour call means unit components (0 to 1), never 0-255 bytes.
template <typename... T>
inline constexpr bool Gfx_IsUnitColorCall = sizeof...(T) == 4 && (std::is_arithmetic_v<T> && ...) &&
                                            (std::is_floating_point_v<T> || ...);

/// A colour of four float components r, g, b, a, nominally 0 to 1.
///
/// Four integers mean bytes: C_Color(255, 128, 0, 255) divides each by 255.
/// As soon as one argument is floating-point the call means unit components,
/// stored as given: C_Color(1.0, 0, 0, 1.0) and C_Color(0.5f, 0, 0, 1) are
/// red at full and half intensity. FromBytes and FromUnit say which one a
/// call means in its name.
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
    /// Any mix of numbers with a floating-point one among them (doubles,
    /// float and int literals): unit components, each converted to float.
    template <typename R, typename G, typename B, typename A,
              std::enable_if_t<Gfx_IsUnitColorCall<R, G, B, A>, int> = 0>
    C_Color(R red, G green, B blue, A alpha)
        : r(static_cast<float>(red)),
          g(static_cast<float>(green)),
          b(static_cast<float>(blue)),
          a(static_cast<float>(alpha)) {}
    /// Packed 0x00BBGGRR; every bit above bit 15 goes to blue, alpha is 0.
    explicit C_Color(std::uint32_t packed);
    /// From {r, g, b, a}; a null array gives (0, 0, 0, 0).
    explicit C_Color(const float components[4]);
    C_Color(const C_Color&) = default;
    C_Color& operator=(const C_Color&) = default;

    /// 0-255 channel values, each divided by 255 (no clamping), as the
    /// integer constructor does. Floating-point arguments do not compile.
    static C_Color FromBytes(std::int32_t red, std::int32_t green, std::int32_t blue, std::int32_t alpha) {
        return C_Color(red, green, blue, alpha);
    }
    template <typename R, typename G, typename B, typename A,
              std::enable_if_t<Gfx_IsUnitColorCall<R, G, B, A>, int> = 0>
    static C_Color FromBytes(R, G, B, A) = delete;
    /// Unit components (nominally 0 to 1), stored as given; integers too, so
    /// FromUnit(1, 0, 0, 1) is opaque red.
    static C_Color FromUnit(float red, float green, float blue, float alpha) {
        return C_Color(red, green, blue, alpha);
    }

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
