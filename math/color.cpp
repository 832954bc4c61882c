#include "math/color.h"

#include "core/error.h"
#include "core/stream.h"

#include "math/internal/exact_float.h"  // last: it changes how the code below compiles

namespace {

// The integer converted to float, then divided by 255 and rounded to float.
float FromByteScale(std::int32_t v) { return static_cast<float>(static_cast<double>(static_cast<float>(v)) / 255.0); }

float Clamp01(float v) {
    if (v > 1.0f) return 1.0f;
    if (!(v >= 0.0f)) return 0.0f;
    return v;
}

}  // namespace

C_Color::C_Color(std::int32_t red, std::int32_t green, std::int32_t blue, std::int32_t alpha)
    : r(FromByteScale(red)), g(FromByteScale(green)), b(FromByteScale(blue)), a(FromByteScale(alpha)) {}

C_Color::C_Color(std::uint32_t packed)
    : r(static_cast<float>((packed & 0xFF) / 255.0)),
      g(static_cast<float>(((packed >> 8) & 0xFF) / 255.0)),
      b(static_cast<float>((packed >> 16) / 255.0)),
      a(0.0f) {}

C_Color::C_Color(const float c[4]) {
    if (c) Set(c[0], c[1], c[2], c[3]);
}

void C_Color::Set(float red, float green, float blue, float alpha) {
    r = red;
    g = green;
    b = blue;
    a = alpha;
}

void C_Color::Clamp() {
    r = Clamp01(r);
    g = Clamp01(g);
    b = Clamp01(b);
    a = Clamp01(a);
}

C_Color C_Color::Lerp(const C_Color& o, float t) const {
    const float u = 1.0f - t;
    return {r * u + o.r * t, g * u + o.g * t, b * u + o.b * t, a * u + o.a * t};
}

C_Color C_Color::operator+(const C_Color& o) const { return {r + o.r, g + o.g, b + o.b, a + o.a}; }
C_Color C_Color::operator-(const C_Color& o) const { return {r - o.r, g - o.g, b - o.b, a - o.a}; }
C_Color C_Color::operator*(const C_Color& o) const { return {r * o.r, g * o.g, b * o.b, a * o.a}; }
C_Color C_Color::operator/(const C_Color& o) const { return {r / o.r, g / o.g, b / o.b, a / o.a}; }
C_Color C_Color::operator*(float s) const { return {r * s, g * s, b * s, a * s}; }
C_Color C_Color::operator/(float s) const { return {r / s, g / s, b / s, a / s}; }
C_Color C_Color::operator-() const { return {-r, -g, -b, -a}; }
C_Color C_Color::operator+=(const C_Color& o) { return *this = *this + o; }
C_Color C_Color::operator-=(const C_Color& o) { return *this = *this - o; }
C_Color C_Color::operator*=(const C_Color& o) { return *this = *this * o; }
C_Color C_Color::operator/=(const C_Color& o) { return *this = *this / o; }
C_Color C_Color::operator*=(float s) { return *this = *this * s; }
C_Color C_Color::operator/=(float s) { return *this = *this / s; }
C_Color operator*(float s, const C_Color& c) { return c * s; }

bool C_Color::operator==(const C_Color& o) const {
    const float mine[4] = {r, g, b, a};
    const float theirs[4] = {o.r, o.g, o.b, o.a};
    for (int i = 0; i < 4; ++i)
        if (mine[i] < theirs[i] || mine[i] > theirs[i]) return false;
    return true;
}

bool C_Color::LoadFromStream(C_Stream* stream, std::uint32_t) {
    if (!Gfx_ReadClassTag(stream, GFX_CLASS_COLOR, "C_Color")) return false;
    float c[4];
    if (C_Stream::ReadBytes(stream, c, sizeof c) != sizeof c)
        return Gfx_Fail(GFX_ERR_BAD_DATA, "C_Color::LoadFromStream{data}", "C_Color::LoadFromStream");
    Set(c[0], c[1], c[2], c[3]);
    return true;
}

bool C_Color::SaveToStream(C_Stream* stream, std::uint32_t) {
    const float c[4] = {r, g, b, a};
    if (Gfx_WriteClassTag(stream, GFX_CLASS_COLOR) && C_Stream::WriteBytes(stream, c, sizeof c) == sizeof c)
        return true;
    return Gfx_FailSummary("C_Color::SaveToStream");
}
