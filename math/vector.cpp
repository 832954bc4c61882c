#include "math/vector.h"

#include <cmath>

#include "core/stream.h"
#include "math/internal/record.h"

#include "math/internal/exact_float.h"  // last: it changes how the code below compiles

namespace {

// Rotations convert degrees with pi in extended precision.
constexpr long double kPiL = 3.141592653589793L;

struct SinCos {
    long double s;
    long double c;
};

SinCos SinCosOf(long double radians) { return {std::sin(radians), std::cos(radians)}; }

// r = angle * pi / 180, the conversion of the axis rotations.
SinCos SinCosDegrees(float angle) { return SinCosOf(static_cast<long double>(angle) * kPiL / 180.0L); }

// a' = c a - s b, b' = c b + s a: the rotation of the plane spanned by a and
// b, turning a towards b.
void RotatePair(float& a, float& b, const SinCos& r) {
    const long double la = a;
    const long double lb = b;
    a = static_cast<float>(r.c * la - r.s * lb);
    b = static_cast<float>(r.c * lb + r.s * la);
}

// Products of two floats are exact in double, so sums of them round once and
// come out the same whether or not a multiply-add is fused.
double Square(float v) { return static_cast<double>(v) * v; }
double Product(float a, float b) { return static_cast<double>(a) * b; }

float AngleOf(float x, float y) {
    if (x != 0.0f) {
        float a = static_cast<float>(std::atan(static_cast<double>(y / x)));
        if (x < 0.0f) a += 3.1415927f;
        return a;
    }
    return y <= 0.0f ? -1.5707964f : 1.5707964f;
}

// Open intervals of half-width eps around a and b overlap.
bool NearAxis(float a, float b, float eps) { return a - eps < b + eps && b - eps < a + eps; }

void RotateAboutX(float& /*x*/, float& y, float& z, float angle) {
    if (angle != 0.0f) RotatePair(y, z, SinCosDegrees(angle));
}
void RotateAboutY(float& x, float& /*y*/, float& z, float angle) {
    if (angle != 0.0f) RotatePair(z, x, SinCosDegrees(angle));
}
void RotateAboutZ(float& x, float& y, float& /*z*/, float angle) {
    if (angle != 0.0f) RotatePair(x, y, SinCosDegrees(angle));
}

// v = M v with M the rotation by `angle` degrees about the unit axis.
void RotateAbout(float& x, float& y, float& z, float angle, C_Vector3D axis) {
    if (angle == 0.0f) return;
    axis.Normalize();
    // A zero axis has no direction; the matrix would merely scale by cos r.
    if (axis.x == 0.0f && axis.y == 0.0f && axis.z == 0.0f) return;
    const SinCos r = SinCosOf(static_cast<long double>(angle) / 180.0L * kPiL);
    const long double t = 1.0L - r.c;
    const long double ax = axis.x;
    const long double ay = axis.y;
    const long double az = axis.z;
    const long double vx = x;
    const long double vy = y;
    const long double vz = z;
    x = static_cast<float>((t * ax * ax + r.c) * vx + (t * ax * ay - r.s * az) * vy + (t * ax * az + r.s * ay) * vz);
    y = static_cast<float>((t * ax * ay + r.s * az) * vx + (t * ay * ay + r.c) * vy + (t * ay * az - r.s * ax) * vz);
    z = static_cast<float>((t * ax * az - r.s * ay) * vx + (t * ay * az + r.s * ax) * vy + (t * az * az + r.c) * vz);
}

// The float vectors' components, so the compound operators and the
// normalisation are written once over the component count.
template <typename V>
struct Axes;
template <>
struct Axes<C_Vector2D> {
    static constexpr float C_Vector2D::*kAll[] = {&C_Vector2D::x, &C_Vector2D::y};
};
template <>
struct Axes<C_Vector3D> {
    static constexpr float C_Vector3D::*kAll[] = {&C_Vector3D::x, &C_Vector3D::y, &C_Vector3D::z};
};
template <>
struct Axes<C_Vector4D> {
    static constexpr float C_Vector4D::*kAll[] = {&C_Vector4D::x, &C_Vector4D::y, &C_Vector4D::z, &C_Vector4D::w};
};

// f(component of v, the same component of o), axis by axis.
template <typename V, typename F>
V& EachAxis(V& v, const V& o, F f) {
    for (float V::*m : Axes<V>::kAll) f(v.*m, o.*m);
    return v;
}
// f(component of v, s), axis by axis.
template <typename V, typename F>
V& EachAxis(V& v, float s, F f) {
    for (float V::*m : Axes<V>::kAll) f(v.*m, s);
    return v;
}

constexpr auto kAddTo = [](float& a, float b) { a += b; };
constexpr auto kSubtractFrom = [](float& a, float b) { a -= b; };
constexpr auto kMultiply = [](float& a, float b) { a *= b; };
constexpr auto kDivide = [](float& a, float b) { a /= b; };
// Division that leaves a component as it is where the divisor is 0.
constexpr auto kDivideUnlessZero = [](float& a, float b) {
    if (b != 0.0f) a /= b;
};

// A copy of v changed by one of its in-place operations (rotations,
// normalisation), so each copying form is one line.
template <typename V, typename... Params, typename... Args>
V ChangedCopy(const V& v, void (V::*change)(Params...), const Args&... args) {
    V copy(v);
    (copy.*change)(args...);
    return copy;
}

constexpr const char* kVector2D = "C_Vector2D";
constexpr const char* kVector3D = "C_Vector3D";
constexpr const char* kVector4D = "C_Vector4D";

// The 2D record, the same for both component types: x, y, align.
template <typename V>
bool LoadVector2D(V& v, C_Stream* stream) {
    if (!Gfx_ReadClassTag(stream, GFX_CLASS_VECTOR2D, kVector2D)) return false;
    decltype(v.x) nx;
    decltype(v.y) ny;
    std::uint8_t nalign;
    if (!math_record::ReadFields(stream, nx, ny, nalign)) return math_record::FailTruncated(kVector2D);
    v.x = nx;
    v.y = ny;
    v.align = nalign;
    return true;
}

template <typename V>
bool SaveVector2D(const V& v, C_Stream* stream) {
    if (Gfx_WriteClassTag(stream, GFX_CLASS_VECTOR2D) && math_record::WriteFields(stream, v.x, v.y, v.align))
        return true;
    return math_record::FailSummary(kVector2D, "SaveToStream");
}

std::int32_t AddWrap(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}
std::int32_t SubWrap(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) - static_cast<std::uint32_t>(b));
}

}  // namespace

// ---- C_Vector2D ----

C_Vector2D::C_Vector2D(const float c[2]) {
    if (c) Set(c[0], c[1]);
}

C_Vector2D C_Vector2D::operator+(const C_Vector2D& o) const { return {x + o.x, y + o.y}; }
C_Vector2D C_Vector2D::operator-(const C_Vector2D& o) const { return {x - o.x, y - o.y}; }
C_Vector2D C_Vector2D::operator-() const { return {-x, -y}; }
C_Vector2D C_Vector2D::operator*(float s) const { return {x * s, y * s}; }
C_Vector2D C_Vector2D::operator/(float s) const {
    if (s == 0.0f) return {};
    return {x / s, y / s};
}
C_Vector2D operator*(float s, const C_Vector2D& v) { return v * s; }

C_Vector2D& C_Vector2D::operator+=(const C_Vector2D& o) { return EachAxis(*this, o, kAddTo); }
C_Vector2D& C_Vector2D::operator-=(const C_Vector2D& o) { return EachAxis(*this, o, kSubtractFrom); }
C_Vector2D& C_Vector2D::operator*=(float s) { return EachAxis(*this, s, kMultiply); }
C_Vector2D& C_Vector2D::operator/=(float s) { return s != 0.0f ? EachAxis(*this, s, kDivide) : *this; }

float C_Vector2D::Dot(const C_Vector2D& o) const { return static_cast<float>(Product(x, o.x) + Product(y, o.y)); }
float C_Vector2D::Length() const { return static_cast<float>(std::sqrt(Square(x) + Square(y))); }
float C_Vector2D::Distance(const C_Vector2D& o) const { return (*this - o).Length(); }
float C_Vector2D::Angle() const { return AngleOf(x, y); }

void C_Vector2D::Normalize() {
    const float length = Length();
    if (length != 0.0f && length != 1.0f) EachAxis(*this, length, kDivide);
}

C_Vector2D C_Vector2D::Normalized() const { return ChangedCopy(*this, &C_Vector2D::Normalize); }

bool C_Vector2D::Near(const C_Vector2D& o, float eps) const { return NearAxis(x, o.x, eps) && NearAxis(y, o.y, eps); }

void C_Vector2D::Rotate(float angle) {
    if (angle != 0.0f) RotatePair(x, y, SinCosDegrees(angle));
}

C_Vector2D C_Vector2D::Rotated(float angle) const { return ChangedCopy(*this, &C_Vector2D::Rotate, angle); }

bool C_Vector2D::LoadFromStream(C_Stream* stream, std::uint32_t) { return LoadVector2D(*this, stream); }
bool C_Vector2D::SaveToStream(C_Stream* stream, std::uint32_t) { return SaveVector2D(*this, stream); }

// ---- C_Vector2Di ----

C_Vector2Di::C_Vector2Di(const std::int32_t c[2]) {
    if (c) Set(c[0], c[1]);
}

C_Vector2Di C_Vector2Di::operator+(const C_Vector2Di& o) const { return {AddWrap(x, o.x), AddWrap(y, o.y)}; }
C_Vector2Di C_Vector2Di::operator-(const C_Vector2Di& o) const { return {SubWrap(x, o.x), SubWrap(y, o.y)}; }

bool C_Vector2Di::LoadFromStream(C_Stream* stream, std::uint32_t) { return LoadVector2D(*this, stream); }
bool C_Vector2Di::SaveToStream(C_Stream* stream, std::uint32_t) { return SaveVector2D(*this, stream); }

// ---- C_Vector3D ----

C_Vector3D::C_Vector3D(const float c[3]) {
    if (c) Set(c[0], c[1], c[2]);
}

C_Vector3D C_Vector3D::operator+(const C_Vector3D& o) const { return {x + o.x, y + o.y, z + o.z}; }
C_Vector3D C_Vector3D::operator-(const C_Vector3D& o) const { return {x - o.x, y - o.y, z - o.z}; }
C_Vector3D C_Vector3D::operator-() const { return {-x, -y, -z}; }
C_Vector3D C_Vector3D::operator+(float s) const { return {x + s, y + s, z + s}; }
C_Vector3D C_Vector3D::operator-(float s) const { return {x - s, y - s, z - s}; }
C_Vector3D C_Vector3D::operator*(float s) const { return {x * s, y * s, z * s}; }
C_Vector3D C_Vector3D::operator/(float s) const { return {x / s, y / s, z / s}; }
C_Vector3D C_Vector3D::operator*(const C_Vector3D& o) const { return {x * o.x, y * o.y, z * o.z}; }
C_Vector3D C_Vector3D::operator/(const C_Vector3D& o) const { return {x / o.x, y / o.y, z / o.z}; }
C_Vector3D operator*(float s, const C_Vector3D& v) { return v * s; }

C_Vector3D& C_Vector3D::operator+=(const C_Vector3D& o) { return EachAxis(*this, o, kAddTo); }
C_Vector3D& C_Vector3D::operator-=(const C_Vector3D& o) { return EachAxis(*this, o, kSubtractFrom); }
C_Vector3D& C_Vector3D::operator*=(float s) { return EachAxis(*this, s, kMultiply); }
C_Vector3D& C_Vector3D::operator/=(float s) { return s != 0.0f ? EachAxis(*this, s, kDivide) : *this; }
C_Vector3D& C_Vector3D::operator*=(const C_Vector3D& o) { return EachAxis(*this, o, kMultiply); }
C_Vector3D& C_Vector3D::operator/=(const C_Vector3D& o) { return EachAxis(*this, o, kDivideUnlessZero); }

float C_Vector3D::Dot(const C_Vector3D& o) const {
    return static_cast<float>(Product(x, o.x) + Product(y, o.y) + Product(z, o.z));
}

C_Vector3D C_Vector3D::Cross(const C_Vector3D& o) const {
    return {static_cast<float>(Product(y, o.z) - Product(z, o.y)),
            static_cast<float>(Product(z, o.x) - Product(x, o.z)),
            static_cast<float>(Product(x, o.y) - Product(y, o.x))};
}

float C_Vector3D::Length() const { return static_cast<float>(std::sqrt(Square(x) + Square(y) + Square(z))); }
float C_Vector3D::Distance(const C_Vector3D& o) const { return (*this - o).Length(); }

float C_Vector3D::Angle(const C_Vector3D& o) const {
    const double dot = Product(x, o.x) + Product(y, o.y) + Product(z, o.z);
    const double lengths =
        std::sqrt(Square(x) + Square(y) + Square(z)) * std::sqrt(Square(o.x) + Square(o.y) + Square(o.z));
    double cosine = dot / lengths;
    // Rounding can push parallel vectors just past +-1, where acos is NaN.
    if (cosine > 1.0) cosine = 1.0;
    if (cosine < -1.0) cosine = -1.0;
    return static_cast<float>(std::acos(cosine));
}

void C_Vector3D::Normalize() {
    const float length = Length();
    if (length != 0.0f) EachAxis(*this, length, kDivide);
}

C_Vector3D C_Vector3D::Normalized() const { return ChangedCopy(*this, &C_Vector3D::Normalize); }

bool C_Vector3D::Near(const C_Vector3D& o, float eps) const {
    return NearAxis(x, o.x, eps) && NearAxis(y, o.y, eps) && NearAxis(z, o.z, eps);
}

void C_Vector3D::RotateX(float angle) { RotateAboutX(x, y, z, angle); }
void C_Vector3D::RotateY(float angle) { RotateAboutY(x, y, z, angle); }
void C_Vector3D::RotateZ(float angle) { RotateAboutZ(x, y, z, angle); }
void C_Vector3D::RotateAxis(float angle, C_Vector3D axis) { RotateAbout(x, y, z, angle, axis); }

C_Vector3D C_Vector3D::RotatedX(float angle) const { return ChangedCopy(*this, &C_Vector3D::RotateX, angle); }
C_Vector3D C_Vector3D::RotatedY(float angle) const { return ChangedCopy(*this, &C_Vector3D::RotateY, angle); }
C_Vector3D C_Vector3D::RotatedZ(float angle) const { return ChangedCopy(*this, &C_Vector3D::RotateZ, angle); }
C_Vector3D C_Vector3D::RotatedAxis(float angle, const C_Vector3D& axis) const {
    return ChangedCopy(*this, &C_Vector3D::RotateAxis, angle, axis);
}

bool C_Vector3D::LoadFromStream(C_Stream* stream, std::uint32_t) {
    if (!Gfx_ReadClassTag(stream, GFX_CLASS_VECTOR3D, kVector3D)) return false;
    float nx;
    float ny;
    float nz;
    if (!math_record::ReadFields(stream, nx, ny, nz)) return math_record::FailTruncated(kVector3D);
    Set(nx, ny, nz);
    return true;
}

bool C_Vector3D::SaveToStream(C_Stream* stream, std::uint32_t) {
    if (Gfx_WriteClassTag(stream, GFX_CLASS_VECTOR3D) && math_record::WriteFields(stream, x, y, z)) return true;
    return math_record::FailSummary(kVector3D, "SaveToStream");
}

// ---- C_Vector4D ----

C_Vector4D::C_Vector4D(const float c[4]) {
    if (c) Set(c[0], c[1], c[2], c[3]);
}

C_Vector4D C_Vector4D::operator+(const C_Vector4D& o) const { return {x + o.x, y + o.y, z + o.z, w + o.w}; }
C_Vector4D C_Vector4D::operator-(const C_Vector4D& o) const { return {x - o.x, y - o.y, z - o.z, w - o.w}; }
C_Vector4D C_Vector4D::operator-() const { return {-x, -y, -z, -w}; }
C_Vector4D C_Vector4D::operator*(float s) const { return {x * s, y * s, z * s, w * s}; }
C_Vector4D C_Vector4D::operator/(float s) const {
    if (s == 0.0f) return {};
    return {x / s, y / s, z / s, w / s};
}
C_Vector4D operator*(float s, const C_Vector4D& v) { return v * s; }

C_Vector4D& C_Vector4D::operator+=(const C_Vector4D& o) { return EachAxis(*this, o, kAddTo); }
C_Vector4D& C_Vector4D::operator-=(const C_Vector4D& o) { return EachAxis(*this, o, kSubtractFrom); }
C_Vector4D& C_Vector4D::operator*=(float s) { return EachAxis(*this, s, kMultiply); }
C_Vector4D& C_Vector4D::operator/=(float s) { return s != 0.0f ? EachAxis(*this, s, kDivide) : *this; }

float C_Vector4D::Dot(const C_Vector4D& o) const {
    return static_cast<float>(Product(x, o.x) + Product(y, o.y) + Product(z, o.z) + Product(w, o.w));
}

float C_Vector4D::Length() const {
    return static_cast<float>(std::sqrt(Square(x) + Square(y) + Square(z) + Square(w)));
}

float C_Vector4D::Distance(const C_Vector4D& o) const { return (*this - o).Length(); }

void C_Vector4D::Normalize() {
    const float length = Length();
    if (length != 0.0f) EachAxis(*this, length, kDivide);
}

C_Vector4D C_Vector4D::Normalized() const { return ChangedCopy(*this, &C_Vector4D::Normalize); }

void C_Vector4D::RotateX(float angle) { RotateAboutX(x, y, z, angle); }
void C_Vector4D::RotateY(float angle) { RotateAboutY(x, y, z, angle); }
void C_Vector4D::RotateZ(float angle) { RotateAboutZ(x, y, z, angle); }
void C_Vector4D::RotateAxis(float angle, C_Vector3D axis) { RotateAbout(x, y, z, angle, axis); }

C_Vector4D C_Vector4D::RotatedX(float angle) const { return ChangedCopy(*this, &C_Vector4D::RotateX, angle); }
C_Vector4D C_Vector4D::RotatedY(float angle) const { return ChangedCopy(*this, &C_Vector4D::RotateY, angle); }
C_Vector4D C_Vector4D::RotatedZ(float angle) const { return ChangedCopy(*this, &C_Vector4D::RotateZ, angle); }
C_Vector4D C_Vector4D::RotatedAxis(float angle, const C_Vector3D& axis) const {
    return ChangedCopy(*this, &C_Vector4D::RotateAxis, angle, axis);
}

C_Vector3D C_Vector4D::Project() const {
    if (w == 0.0f || w == 1.0f) return {x, y, z};
    return {x / w, y / w, z / w};
}

bool C_Vector4D::LoadFromStream(C_Stream* stream, std::uint32_t) {
    if (!Gfx_ReadClassTag(stream, GFX_CLASS_VECTOR4D, kVector4D)) return false;
    float nx;
    float ny;
    float nz;
    float nw;
    if (!math_record::ReadFields(stream, nx, ny, nz, nw)) return math_record::FailTruncated(kVector4D);
    Set(nx, ny, nz, nw);
    return true;
}

bool C_Vector4D::SaveToStream(C_Stream* stream, std::uint32_t) {
    if (Gfx_WriteClassTag(stream, GFX_CLASS_VECTOR4D) && math_record::WriteFields(stream, x, y, z, w)) return true;
    return math_record::FailSummary(kVector4D, "SaveToStream");
}

// ---- C_Complex ----

C_Complex C_Complex::operator*(const C_Complex& o) const {
    return {static_cast<float>(Product(re, o.re) - Product(im, o.im)),
            static_cast<float>(Product(im, o.re) + Product(re, o.im))};
}

C_Complex C_Complex::operator/(const C_Complex& o) const {
    const double n = Square(o.re) + Square(o.im);
    return {static_cast<float>((Product(re, o.re) + Product(im, o.im)) / n),
            static_cast<float>((Product(im, o.re) - Product(re, o.im)) / n)};
}

float C_Complex::Magnitude() const { return static_cast<float>(std::sqrt(Square(re) + Square(im))); }
float C_Complex::Argument() const { return AngleOf(re, im); }
