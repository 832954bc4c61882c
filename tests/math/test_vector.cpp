// The value types: vectors, complex numbers, colours and boxes.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <limits>

#include "quillory.h"

namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();

template <std::size_t N>
bool SameBits(const float (&a)[N], const float (&b)[N]) {
    return std::memcmp(a, b, sizeof a) == 0;
}
bool Same2(const C_Vector2D& a, const C_Vector2D& b) {
    const float x[2] = {a.x, a.y}, y[2] = {b.x, b.y};
    return SameBits(x, y) && a.align == b.align;
}
bool Same3(const C_Vector3D& a, const C_Vector3D& b) {
    const float x[3] = {a.x, a.y, a.z}, y[3] = {b.x, b.y, b.z};
    return SameBits(x, y);
}
bool Same4(const C_Vector4D& a, const C_Vector4D& b) {
    const float x[4] = {a.x, a.y, a.z, a.w}, y[4] = {b.x, b.y, b.z, b.w};
    return SameBits(x, y);
}
::testing::AssertionResult Near3(const C_Vector3D& v, float x, float y, float z) {
    if (std::fabs(v.x - x) < 1e-6f && std::fabs(v.y - y) < 1e-6f && std::fabs(v.z - z) < 1e-6f)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << v.x << "," << v.y << "," << v.z;
}

bool SameBits(const C_Color& a, const C_Color& b) {
    const float x[4] = {a.r, a.g, a.b, a.a}, y[4] = {b.r, b.g, b.b, b.a};
    return SameBits(x, y);
}
// A byte call with a floating-point argument does not compile.
template <typename... T>
constexpr bool FromBytesCompiles(decltype(C_Color::FromBytes(T{}...))*) {
    return true;
}
template <typename... T>
constexpr bool FromBytesCompiles(...) {
    return false;
}
static_assert(FromBytesCompiles<int, int, int, int>(nullptr));
static_assert(!FromBytesCompiles<double, int, int, int>(nullptr));
static_assert(!FromBytesCompiles<int, int, int, float>(nullptr));

// Integers mean bytes, divided by 255 without clamping; anything with a
// floating-point argument means unit components.
TEST(Color, ConstructorsByArgumentTypes) {
    const float byte128 = 128.0f / 255.0f;
    const float parts[4] = {0.1f, 0.2f, 0.3f, 0.4f};
    const struct {
        const char* call;
        C_Color got;
        C_Color want;
    } cases[] = {
        {"C_Color(1.0, 0, 0, 1.0)", C_Color(1.0, 0, 0, 1.0), C_Color(1.0f, 0.0f, 0.0f, 1.0f)},
        {"C_Color(0, 0.25, 0u, 2)", C_Color(0, 0.25, 0u, 2), C_Color(0.0f, 0.25f, 0.0f, 2.0f)},
        {"C_Color(128, 0, 255, 0)", C_Color(128, 0, 255, 0), C_Color(byte128, 0.0f, 1.0f, 0.0f)},
        {"FromBytes(-128, 512, 0, 255)", C_Color::FromBytes(-128, 512, 0, 255),
         C_Color(-128.0f / 255.0f, 512.0f / 255.0f, 0.0f, 1.0f)},
        {"FromUnit(0.5, 2.0, -1.0, 0.1)", C_Color::FromUnit(0.5, 2.0, -1.0, 0.1), C_Color(0.5f, 2.0f, -1.0f, 0.1f)},
        {"C_Color(0x00FF8040u)", C_Color(0x00FF8040u), C_Color(64.0f / 255.0f, byte128, 1.0f, 0.0f)},
        {"C_Color(0x01000000u)", C_Color(0x01000000u), C_Color(0.0f, 0.0f, 256.0f / 255.0f, 0.0f)},  // bits above 23
        {"C_Color(parts)", C_Color(parts), C_Color(0.1f, 0.2f, 0.3f, 0.4f)},
        {"C_Color(nullptr)", C_Color(static_cast<const float*>(nullptr)), C_Color()},
    };
    for (const auto& c : cases) EXPECT_TRUE(SameBits(c.got, c.want)) << c.call;
}

TEST(Color, ClampLerpArithmeticAndEquality) {
    C_Color c(-0.5f, 2.0f, std::nanf(""), std::numeric_limits<float>::infinity());
    c.Clamp();
    EXPECT_TRUE(SameBits(c, C_Color(0.0f, 1.0f, 0.0f, 1.0f)));  // NaN goes to 0

    const C_Color black(0.0f, 0.0f, 0.0f, 0.0f), white(1.0f, 1.0f, 1.0f, 1.0f);
    EXPECT_TRUE(SameBits(black.Lerp(white, 0.25f), C_Color(0.25f, 0.25f, 0.25f, 0.25f)));
    EXPECT_TRUE(SameBits(white.Lerp(black, -1.0f), C_Color(2.0f, 2.0f, 2.0f, 2.0f)));  // extrapolates

    const C_Color a(1.0f, 2.0f, 3.0f, 4.0f), b(0.5f, 0.5f, 2.0f, 0.0f);
    EXPECT_TRUE(SameBits(a + b, C_Color(1.5f, 2.5f, 5.0f, 4.0f)));
    EXPECT_TRUE(SameBits(a - b, C_Color(0.5f, 1.5f, 1.0f, 4.0f)));
    EXPECT_TRUE(SameBits(a * b, C_Color(0.5f, 1.0f, 6.0f, 0.0f)));
    EXPECT_TRUE(SameBits(2.0f * a, C_Color(2.0f, 4.0f, 6.0f, 8.0f)));
    EXPECT_TRUE(SameBits(-a, C_Color(-1.0f, -2.0f, -3.0f, -4.0f)));
    EXPECT_TRUE(SameBits(a / b, C_Color(2.0f, 4.0f, 1.5f, std::numeric_limits<float>::infinity())));
    C_Color d = a;
    EXPECT_TRUE(SameBits(d += b, a + b));
    EXPECT_TRUE(SameBits(d /= 2.0f, (a + b) / 2.0f));

    // Equality treats NaN as matching anything.
    const C_Color e(0.1f, 0.2f, 0.3f, 0.4f), withNaN(std::nanf(""), 0.2f, 0.3f, 0.4f);
    EXPECT_TRUE(e == C_Color(0.1f, 0.2f, 0.3f, 0.4f));
    EXPECT_TRUE(e != C_Color(0.1f, 0.2f, 0.3f, 0.5f));
    EXPECT_TRUE(withNaN == e && e == withNaN);
    EXPECT_FALSE(withNaN != e);
}

C_Box MakeBox(float x0, float y0, float z0, float x1, float y1, float z1) {
    return C_Box(C_Vector3D(x0, y0, z0), C_Vector3D(x1, y1, z1));
}

// Overlap depths are signed by where the other box's centre lies: x and z
// negative when it is further along, y the other way round.
TEST(Box, OverlapDepthsAndTouchingBoxes) {
    const C_Box a = MakeBox(0.0f, 0.0f, 0.0f, 2.0f, 2.0f, 2.0f);
    const struct {
        C_Box other;
        bool overlap;
        C_Vector3D depth;
    } cases[] = {
        {MakeBox(1.0f, 1.0f, 1.0f, 3.0f, 3.0f, 3.0f), true, C_Vector3D(-1.0f, 1.0f, -1.0f)},
        {MakeBox(-1.0f, -1.0f, -1.0f, 1.0f, 1.0f, 1.0f), true, C_Vector3D(1.0f, 1.0f, 1.0f)},
        {a, true, C_Vector3D(2.0f, 2.0f, 2.0f)},  // equal centres take the second branch
        {MakeBox(1.5f, -1.0f, 0.0f, 2.5f, 0.5f, 2.0f), true, C_Vector3D(-0.5f, 0.5f, 2.0f)},
        // Touching on either side of each axis, or apart: no overlap.
        {MakeBox(2.0f, 0.0f, 0.0f, 3.0f, 2.0f, 2.0f), false, {}},
        {MakeBox(-1.0f, 0.0f, 0.0f, 0.0f, 2.0f, 2.0f), false, {}},
        {MakeBox(0.0f, 2.0f, 0.0f, 2.0f, 3.0f, 2.0f), false, {}},
        {MakeBox(0.0f, -1.0f, 0.0f, 2.0f, 0.0f, 2.0f), false, {}},
        {MakeBox(0.0f, 0.0f, 2.0f, 2.0f, 2.0f, 3.0f), false, {}},
        {MakeBox(0.0f, 0.0f, -1.0f, 2.0f, 2.0f, 0.0f), false, {}},
        {MakeBox(0.5f, 5.0f, 0.5f, 0.7f, 6.0f, 0.7f), false, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.other.min.x << "," << c.other.min.y << "," << c.other.min.z);
        C_Vector3D out(7.0f, 8.0f, 9.0f);
        EXPECT_EQ(a.Intersect(c.other, &out), c.overlap);
        EXPECT_EQ(a.Intersect(c.other, nullptr), c.overlap);
        const C_Vector3D want = c.overlap ? c.depth : C_Vector3D(7.0f, 8.0f, 9.0f);
        EXPECT_TRUE(out.x == want.x && out.y == want.y && out.z == want.z);
    }
}

TEST(Vector, ConstructorsAndTwoDArithmetic) {
    const float xy[2] = {1.0f, 2.0f}, xyz[3] = {1.0f, 2.0f, 3.0f}, xyzw[4] = {1.0f, 2.0f, 3.0f, 4.0f};
    const std::int32_t ij[2] = {-3, 4};
    EXPECT_TRUE(Same2(C_Vector2D(xy), C_Vector2D(1.0f, 2.0f)));
    EXPECT_TRUE(Same2(C_Vector2D(static_cast<const float*>(nullptr)), C_Vector2D()));
    EXPECT_TRUE(C_Vector2Di(ij) == C_Vector2Di(-3, 4));
    EXPECT_TRUE(Same3(C_Vector3D(xyz), C_Vector3D(1.0f, 2.0f, 3.0f)));
    EXPECT_TRUE(Same4(C_Vector4D(xyzw), C_Vector4D(1.0f, 2.0f, 3.0f, 4.0f)));
    EXPECT_TRUE(Same4(C_Vector4D(C_Vector3D(1.0f, 2.0f, 3.0f)), C_Vector4D(1.0f, 2.0f, 3.0f, 1.0f)));
    const std::int32_t corners[4] = {1, 2, 3, 4};
    const C_Frame f(corners);
    EXPECT_TRUE(f.x0 == 1 && f.y0 == 2 && f.x1 == 3 && f.y1 == 4 && f.posAlign == 0 && f.sizeAlign == 0);
    const C_Rect r(xyzw), none(static_cast<const float*>(nullptr));
    EXPECT_TRUE(r.x0 == 1.0f && r.y0 == 2.0f && r.x1 == 3.0f && r.y1 == 4.0f && none.x0 == 0.0f && none.y1 == 0.0f);

    // Results have align 0; compound forms keep the left operand's.
    const C_Vector2D a(1.0f, 2.0f, 0x22), b(3.0f, 5.0f, 0x11);
    EXPECT_TRUE(Same2(a + b, C_Vector2D(4.0f, 7.0f)));
    EXPECT_TRUE(Same2(a - b, C_Vector2D(-2.0f, -3.0f)));
    EXPECT_TRUE(Same2(-a, C_Vector2D(-1.0f, -2.0f)));
    EXPECT_TRUE(Same2(2.0f * a, C_Vector2D(2.0f, 4.0f)));
    EXPECT_TRUE(Same2(a / 2.0f, C_Vector2D(0.5f, 1.0f)));
    C_Vector2D c = a;
    c += b;
    c *= 0.5f;
    EXPECT_TRUE(Same2(c, C_Vector2D(2.0f, 3.5f, 0x22)));
    EXPECT_TRUE(a == C_Vector2D(1.0f, 2.0f, 0));  // align is not compared
    EXPECT_TRUE(a != b);

    const C_Vector2Di m(INT_MAX, INT_MIN, 7);  // integer forms wrap
    EXPECT_TRUE(m + C_Vector2Di(1, 1) == C_Vector2Di(INT_MIN, INT_MIN + 1));
    EXPECT_EQ((m + C_Vector2Di(1, 1)).align, 0);
    EXPECT_TRUE(m - C_Vector2Di(-1, 1) == C_Vector2Di(INT_MIN, INT_MAX));
    EXPECT_TRUE(m != C_Vector2Di(INT_MAX, 0));
}

TEST(Vector, DivisionByZeroGuards) {
    const C_Vector2D a(3.0f, -4.0f, 1);
    EXPECT_TRUE(Same2(a / 0.0f, C_Vector2D(0.0f, 0.0f)));
    C_Vector2D a2 = a;
    EXPECT_TRUE(Same2(a2 /= 0.0f, a));
    const C_Vector4D d(1.0f, 2.0f, 3.0f, 4.0f);
    EXPECT_TRUE(Same4(d / 0.0f, C_Vector4D()));
    C_Vector4D d2 = d;
    EXPECT_TRUE(Same4(d2 /= 0.0f, d));
    EXPECT_TRUE(Same4(d2 /= 2.0f, C_Vector4D(0.5f, 1.0f, 1.5f, 2.0f)));

    // 3D: the operators are unguarded, the compound forms skip zeros.
    const C_Vector3D q = C_Vector3D(1.0f, -2.0f, 0.0f) / 0.0f;
    EXPECT_TRUE(q.x == kInf && q.y == -kInf && std::isnan(q.z));
    C_Vector3D v(8.0f, 9.0f, 10.0f);
    v /= 0.0f;
    v /= C_Vector3D(2.0f, 0.0f, 5.0f);
    EXPECT_TRUE(Same3(v, C_Vector3D(4.0f, 9.0f, 2.0f)));
    EXPECT_TRUE(Same3(C_Vector3D(1.0f, 2.0f, 3.0f) + 1.0f, C_Vector3D(2.0f, 3.0f, 4.0f)));
    EXPECT_TRUE(Same3(C_Vector3D(1.0f, 2.0f, 3.0f) - 1.0f, C_Vector3D(0.0f, 1.0f, 2.0f)));
    EXPECT_TRUE(Same3(C_Vector3D(1.0f, 2.0f, 3.0f) * C_Vector3D(2.0f, 3.0f, 4.0f), C_Vector3D(2.0f, 6.0f, 12.0f)));
}

TEST(Vector, LengthsProductsNormalsAndNearness) {
    EXPECT_EQ(C_Vector2D(3.0f, 4.0f).Length(), 5.0f);
    EXPECT_EQ(C_Vector2D(1.0f, 2.0f).Dot(C_Vector2D(3.0f, 4.0f)), 11.0f);
    EXPECT_EQ(C_Vector2D(1.0f, 1.0f).Distance(C_Vector2D(4.0f, 5.0f)), 5.0f);
    EXPECT_EQ(C_Vector3D(2.0f, 3.0f, 6.0f).Length(), 7.0f);
    EXPECT_EQ(C_Vector4D(1.0f, 1.0f, 1.0f, 1.0f).Length(), 2.0f);
    EXPECT_TRUE(
        Same3(C_Vector3D(1.0f, 2.0f, 3.0f).Cross(C_Vector3D(4.0f, 5.0f, 6.0f)), C_Vector3D(-3.0f, 6.0f, -3.0f)));

    C_Vector2D v(3.0f, 4.0f, 9), zero;
    v.Normalize();
    zero.Normalize();  // skipped, not NaN
    EXPECT_TRUE(Same2(v, C_Vector2D(0.6f, 0.8f, 9)) && Same2(zero, C_Vector2D()));
    EXPECT_TRUE(Same3(C_Vector3D().Normalized(), C_Vector3D()));
    EXPECT_FLOAT_EQ(C_Vector3D(0.0f, 3.0f, 4.0f).Normalized().z, 0.8f);
    EXPECT_FLOAT_EQ(C_Vector4D(2.0f, 0.0f, 0.0f, 0.0f).Normalized().x, 1.0f);

    // Open intervals: touching is not near.
    EXPECT_TRUE(C_Vector2D(1.0f, 1.0f).Near(C_Vector2D(1.25f, 0.75f), 0.25f));
    EXPECT_FALSE(C_Vector2D(1.0f, 1.0f).Near(C_Vector2D(1.0f, 0.5f), 0.25f));
    EXPECT_TRUE(C_Vector3D().Near(C_Vector3D(0.4f, -0.4f, 0.4f), 0.25f));
    EXPECT_FALSE(C_Vector3D().Near(C_Vector3D(0.0f, 0.0f, 0.5f), 0.25f));

    EXPECT_TRUE(Same3(C_Vector4D(2.0f, 4.0f, 6.0f, 2.0f).Project(), C_Vector3D(1.0f, 2.0f, 3.0f)));
    EXPECT_TRUE(Same3(C_Vector4D(2.0f, 4.0f, 6.0f, 0.0f).Project(), C_Vector3D(2.0f, 4.0f, 6.0f)));
}

TEST(Vector, AnglesInRadians) {
    const struct {
        float x, y, angle;
    } angles[] = {{1.0f, 1.0f, 0.78539819f}, {-1.0f, 0.0f, 3.1415927f}, {-1.0f, -1.0f, 3.9269909f},
                  {0.0f, 2.0f, 1.5707964f},  {0.0f, 0.0f, -1.5707964f}, {0.0f, -2.0f, -1.5707964f}};
    for (const auto& a : angles) {
        EXPECT_FLOAT_EQ(C_Vector2D(a.x, a.y).Angle(), a.angle) << a.x << "," << a.y;
        EXPECT_FLOAT_EQ(C_Complex(a.x, a.y).Argument(), a.angle);
    }
    EXPECT_FLOAT_EQ(C_Vector3D(1.0f, 0.0f, 0.0f).Angle(C_Vector3D(0.0f, 0.0f, 3.0f)), 1.5707964f);
    // Parallel and opposite vectors stay inside acos's domain despite rounding.
    for (float k : {0.1f, 0.3f, 1.0f, 2.0f, 3.0f, 1e7f}) {
        const C_Vector3D a(0.1f, 2.8f, 1.3f);
        EXPECT_NEAR(a.Angle(a * k), 0.0f, 1e-3f) << k;
        EXPECT_NEAR(a.Angle(a * -k), 3.1415927f, 1e-3f) << k;
    }
    EXPECT_TRUE(std::isnan(C_Vector3D().Angle(C_Vector3D(1.0f, 0.0f, 0.0f))));
}

TEST(Vector, RotationsByDegrees) {
    C_Vector2D v(1.0f, 0.0f, 0x21);
    v.Rotate(90.0f);
    EXPECT_NEAR(v.x, 0.0f, 1e-7f);
    EXPECT_EQ(v.y, 1.0f);
    EXPECT_EQ(v.align, 0x21);
    C_Vector2D back = C_Vector2D(3.0f, -7.0f).Rotated(33.0f);
    back.Rotate(-33.0f);
    EXPECT_NEAR(back.x, 3.0f, 1e-5f);
    EXPECT_NEAR(back.y, -7.0f, 1e-5f);
    // Exactly 0 degrees skips the arithmetic (which would turn inf into NaN).
    const C_Vector2D odd(-0.0f, kInf, 5);
    EXPECT_TRUE(Same2(odd.Rotated(0.0f), odd));
    const C_Vector3D odd3(kInf, 1.0f, 2.0f);
    EXPECT_TRUE(Same3(odd3.RotatedX(0.0f), odd3));
    EXPECT_TRUE(Same3(odd3.RotatedAxis(0.0f, C_Vector3D(1.0f, 0.0f, 0.0f)), odd3));

    EXPECT_TRUE(Near3(C_Vector3D(0.0f, 1.0f, 0.0f).RotatedX(90.0f), 0.0f, 0.0f, 1.0f));
    EXPECT_TRUE(Near3(C_Vector3D(1.0f, 0.0f, 0.0f).RotatedY(90.0f), 0.0f, 0.0f, -1.0f));
    EXPECT_TRUE(Near3(C_Vector3D(1.0f, 0.0f, 0.0f).RotatedZ(90.0f), 0.0f, 1.0f, 0.0f));
    // About an axis of any length: a normalised copy is used.
    const C_Vector3D p(1.0f, 2.0f, 3.0f), direct = p.RotatedZ(37.0f);
    EXPECT_TRUE(Near3(p.RotatedAxis(37.0f, C_Vector3D(0.0f, 0.0f, 5.0f)), direct.x, direct.y, direct.z));
    EXPECT_TRUE(
        Near3(C_Vector3D(1.0f, 0.0f, 0.0f).RotatedAxis(120.0f, C_Vector3D(1.0f, 1.0f, 1.0f)), 0.0f, 1.0f, 0.0f));
    EXPECT_TRUE(Same3(p.RotatedAxis(60.0f, C_Vector3D()), p));  // no direction: stays put

    C_Vector4D h(0.0f, 1.0f, 0.0f, 7.0f);
    h.RotateX(90.0f);
    EXPECT_NEAR(h.z, 1.0f, 1e-6f);
    h.RotateAxis(120.0f, C_Vector3D(1.0f, 1.0f, 1.0f));  // z -> x
    EXPECT_NEAR(h.x, 1.0f, 1e-6f);
    EXPECT_EQ(h.w, 7.0f);
}

TEST(Complex, ArithmeticConjugateAndMagnitude) {
    const C_Complex a(1.0f, 2.0f), b(3.0f, 4.0f);
    EXPECT_EQ(a + b, C_Complex(4.0f, 6.0f));
    EXPECT_EQ(a - b, C_Complex(-2.0f, -2.0f));
    EXPECT_EQ(a * b, C_Complex(-5.0f, 10.0f));
    EXPECT_EQ(C_Complex(-5.0f, 10.0f) / b, a);
    EXPECT_EQ(b.Magnitude(), 5.0f);
    C_Complex c = a;
    c.Conjugate();
    EXPECT_EQ(c, C_Complex(1.0f, -2.0f));
    EXPECT_EQ(a.Conjugated(), c);
    EXPECT_FALSE(std::isfinite((a / C_Complex()).re));  // unguarded
}

}  // namespace
