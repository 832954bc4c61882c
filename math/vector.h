// Small vectors for positions, scales and glyph metrics, and a complex number.
//
// Components are 32-bit; arithmetic results are new vectors with align 0,
// while in-place operations (compound operators, Normalize, the rotations)
// keep the vector's align. Rotation angles are in degrees; Angle and Argument
// return radians. Rotations act on vectors in place; no matrices are stored.
//
// Both 2D variants serialise as the same 11-byte record (tag 15, x, y, align);
// the object read into decides whether x and y are floats or integers.
#pragma once

#include <cstdint>

#include "../core/object.h"

class C_Vector2D : public C_Object {
public:
    float x = 0.0f;
    float y = 0.0f;
    std::uint8_t align = 0;  // anchor: low nibble 0 left/1 right/2 centre, high 0 top/16 bottom/32 middle

    C_Vector2D() = default;
    C_Vector2D(float x0, float y0, std::uint8_t anchor = 0) : x(x0), y(y0), align(anchor) {}
    // From {x, y}; a null array gives (0, 0).
    explicit C_Vector2D(const float components[2]);
    C_Vector2D(const C_Vector2D&) = default;
    C_Vector2D& operator=(const C_Vector2D&) = default;

    void Set(float x0, float y0) {
        x = x0;
        y = y0;
    }

    C_Vector2D operator+(const C_Vector2D& o) const;
    C_Vector2D operator-(const C_Vector2D& o) const;
    C_Vector2D operator-() const;
    C_Vector2D operator*(float s) const;
    // (0, 0) when s is 0.
    C_Vector2D operator/(float s) const;
    C_Vector2D& operator+=(const C_Vector2D& o);
    C_Vector2D& operator-=(const C_Vector2D& o);
    C_Vector2D& operator*=(float s);
    // Leaves the vector unchanged when s is 0.
    C_Vector2D& operator/=(float s);
    // Exact comparison of x and y; align is not compared.
    bool operator==(const C_Vector2D& o) const { return x == o.x && y == o.y; }
    bool operator!=(const C_Vector2D& o) const { return !(*this == o); }

    float Dot(const C_Vector2D& o) const;
    float Length() const;
    float Distance(const C_Vector2D& o) const;
    // The direction in radians: atan(y / x), plus pi when x < 0; straight up
    // or down (+-pi/2) when x is 0, -pi/2 also for the zero vector.
    float Angle() const;
    // Divides by the length unless it is 0 or exactly 1 (then bit for bit unchanged).
    void Normalize();
    C_Vector2D Normalized() const;
    // True when, on each axis, the open intervals of half-width eps around
    // the two components overlap.
    bool Near(const C_Vector2D& o, float eps) const;
    // Rotates by `angle` degrees (x' = c x - s y, y' = c y + s x); an angle of
    // exactly 0 leaves the vector bit for bit.
    void Rotate(float angle);
    C_Vector2D Rotated(float angle) const;

    bool LoadFromStream(C_Stream* stream, std::uint32_t flags) override;
    bool SaveToStream(C_Stream* stream, std::uint32_t flags) override;
    std::uint32_t GetClassType() const override { return GFX_CLASS_VECTOR2D; }
};

C_Vector2D operator*(float s, const C_Vector2D& v);

// The integer 2D vector: a record of two integers with an anchor byte, with
// + and - (wrapping on overflow) for offsets.
class C_Vector2Di : public C_Object {
public:
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::uint8_t align = 0;

    C_Vector2Di() = default;
    C_Vector2Di(std::int32_t x0, std::int32_t y0, std::uint8_t anchor = 0) : x(x0), y(y0), align(anchor) {}
    // From {x, y}; a null array gives (0, 0).
    explicit C_Vector2Di(const std::int32_t components[2]);
    C_Vector2Di(const C_Vector2Di&) = default;
    C_Vector2Di& operator=(const C_Vector2Di&) = default;

    void Set(std::int32_t x0, std::int32_t y0) {
        x = x0;
        y = y0;
    }

    C_Vector2Di operator+(const C_Vector2Di& o) const;
    C_Vector2Di operator-(const C_Vector2Di& o) const;
    bool operator==(const C_Vector2Di& o) const { return x == o.x && y == o.y; }
    bool operator!=(const C_Vector2Di& o) const { return !(*this == o); }

    bool LoadFromStream(C_Stream* stream, std::uint32_t flags) override;
    bool SaveToStream(C_Stream* stream, std::uint32_t flags) override;
    std::uint32_t GetClassType() const override { return GFX_CLASS_VECTOR2D; }
};

class C_Vector3D : public C_Object {
public:
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;

    C_Vector3D() = default;
    C_Vector3D(float x0, float y0, float z0) : x(x0), y(y0), z(z0) {}
    // From {x, y, z}; a null array gives (0, 0, 0).
    explicit C_Vector3D(const float components[3]);
    C_Vector3D(const C_Vector3D&) = default;
    C_Vector3D& operator=(const C_Vector3D&) = default;

    void Set(float x0, float y0, float z0) {
        x = x0;
        y = y0;
        z = z0;
    }

    C_Vector3D operator+(const C_Vector3D& o) const;
    C_Vector3D operator-(const C_Vector3D& o) const;
    C_Vector3D operator-() const;
    // The scalar is added to or taken from every component.
    C_Vector3D operator+(float s) const;
    C_Vector3D operator-(float s) const;
    C_Vector3D operator*(float s) const;
    // Unguarded: division by 0 follows IEEE rules.
    C_Vector3D operator/(float s) const;
    // Component by component; the division is unguarded.
    C_Vector3D operator*(const C_Vector3D& o) const;
    C_Vector3D operator/(const C_Vector3D& o) const;
    C_Vector3D& operator+=(const C_Vector3D& o);
    C_Vector3D& operator-=(const C_Vector3D& o);
    C_Vector3D& operator*=(float s);
    // Leaves the vector unchanged when s is 0.
    C_Vector3D& operator/=(float s);
    C_Vector3D& operator*=(const C_Vector3D& o);
    // Each component is left unchanged where o's is 0.
    C_Vector3D& operator/=(const C_Vector3D& o);
    bool operator==(const C_Vector3D& o) const { return x == o.x && y == o.y && z == o.z; }
    bool operator!=(const C_Vector3D& o) const { return !(*this == o); }

    float Dot(const C_Vector3D& o) const;
    C_Vector3D Cross(const C_Vector3D& o) const;
    float Length() const;
    float Distance(const C_Vector3D& o) const;
    // The angle between the two vectors in radians, 0..pi; NaN when either is
    // the zero vector.
    float Angle(const C_Vector3D& o) const;
    // Divides by the length unless it is 0.
    void Normalize();
    C_Vector3D Normalized() const;
    bool Near(const C_Vector3D& o, float eps) const;
    // Rotations by degrees about the axes, and about any axis through the
    // origin (taken by value and normalised; a zero axis leaves the vector
    // unchanged). An angle of exactly 0 leaves the vector bit for bit.
    void RotateX(float angle);
    void RotateY(float angle);
    void RotateZ(float angle);
    void RotateAxis(float angle, C_Vector3D axis);
    C_Vector3D RotatedX(float angle) const;
    C_Vector3D RotatedY(float angle) const;
    C_Vector3D RotatedZ(float angle) const;
    C_Vector3D RotatedAxis(float angle, const C_Vector3D& axis) const;

    bool LoadFromStream(C_Stream* stream, std::uint32_t flags) override;
    bool SaveToStream(C_Stream* stream, std::uint32_t flags) override;
    std::uint32_t GetClassType() const override { return GFX_CLASS_VECTOR3D; }
};

C_Vector3D operator*(float s, const C_Vector3D& v);

class C_Vector4D : public C_Object {
public:
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
    float w = 0.0f;

    C_Vector4D() = default;
    C_Vector4D(float x0, float y0, float z0, float w0) : x(x0), y(y0), z(z0), w(w0) {}
    // A point: (v.x, v.y, v.z, 1).
    explicit C_Vector4D(const C_Vector3D& v) : x(v.x), y(v.y), z(v.z), w(1.0f) {}
    // From {x, y, z, w}; a null array gives (0, 0, 0, 0).
    explicit C_Vector4D(const float components[4]);
    C_Vector4D(const C_Vector4D&) = default;
    C_Vector4D& operator=(const C_Vector4D&) = default;

    void Set(float x0, float y0, float z0, float w0) {
        x = x0;
        y = y0;
        z = z0;
        w = w0;
    }

    C_Vector4D operator+(const C_Vector4D& o) const;
    C_Vector4D operator-(const C_Vector4D& o) const;
    C_Vector4D operator-() const;
    C_Vector4D operator*(float s) const;
    // (0, 0, 0, 0) when s is 0.
    C_Vector4D operator/(float s) const;
    C_Vector4D& operator+=(const C_Vector4D& o);
    C_Vector4D& operator-=(const C_Vector4D& o);
    C_Vector4D& operator*=(float s);
    // Leaves the vector unchanged when s is 0.
    C_Vector4D& operator/=(float s);
    bool operator==(const C_Vector4D& o) const { return x == o.x && y == o.y && z == o.z && w == o.w; }
    bool operator!=(const C_Vector4D& o) const { return !(*this == o); }

    float Dot(const C_Vector4D& o) const;
    float Length() const;
    float Distance(const C_Vector4D& o) const;
    // Divides by the length unless it is 0.
    void Normalize();
    C_Vector4D Normalized() const;
    // The 3D rotations applied to x, y, z; w is left as it is.
    void RotateX(float angle);
    void RotateY(float angle);
    void RotateZ(float angle);
    void RotateAxis(float angle, C_Vector3D axis);
    C_Vector4D RotatedX(float angle) const;
    C_Vector4D RotatedY(float angle) const;
    C_Vector4D RotatedZ(float angle) const;
    C_Vector4D RotatedAxis(float angle, const C_Vector3D& axis) const;
    // (x/w, y/w, z/w), or (x, y, z) when w is 0 or exactly 1.
    C_Vector3D Project() const;

    bool LoadFromStream(C_Stream* stream, std::uint32_t flags) override;
    bool SaveToStream(C_Stream* stream, std::uint32_t flags) override;
    std::uint32_t GetClassType() const override { return GFX_CLASS_VECTOR4D; }
};

C_Vector4D operator*(float s, const C_Vector4D& v);

// A complex number as a plain value (not serialised).
struct C_Complex {
    float re = 0.0f;
    float im = 0.0f;

    C_Complex() = default;
    C_Complex(float real, float imaginary) : re(real), im(imaginary) {}

    C_Complex operator+(const C_Complex& o) const { return {re + o.re, im + o.im}; }
    C_Complex operator-(const C_Complex& o) const { return {re - o.re, im - o.im}; }
    C_Complex operator*(const C_Complex& o) const;
    // Unguarded: dividing by 0 follows IEEE rules.
    C_Complex operator/(const C_Complex& o) const;
    bool operator==(const C_Complex& o) const { return re == o.re && im == o.im; }
    bool operator!=(const C_Complex& o) const { return !(*this == o); }

    void Conjugate() { im = -im; }
    C_Complex Conjugated() const { return {re, -im}; }
    float Magnitude() const;
    // As C_Vector2D::Angle with re for x and im for y.
    float Argument() const;
};
