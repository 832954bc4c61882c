#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>

#include "record_helpers.h"

using namespace math_test;

namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();

bool Same2(const C_Vector2D& a, const C_Vector2D& b) {
    return Bits(a.x) == Bits(b.x) && Bits(a.y) == Bits(b.y) && a.align == b.align;
}
bool Same2i(const C_Vector2Di& a, const C_Vector2Di& b) { return a.x == b.x && a.y == b.y && a.align == b.align; }
bool Same3(const C_Vector3D& a, const C_Vector3D& b) {
    return Bits(a.x) == Bits(b.x) && Bits(a.y) == Bits(b.y) && Bits(a.z) == Bits(b.z);
}
bool Same4(const C_Vector4D& a, const C_Vector4D& b) {
    return Bits(a.x) == Bits(b.x) && Bits(a.y) == Bits(b.y) && Bits(a.z) == Bits(b.z) && Bits(a.w) == Bits(b.w);
}

void ExpectNear3(const C_Vector3D& v, float x, float y, float z) {
    EXPECT_NEAR(v.x, x, 1e-6f);
    EXPECT_NEAR(v.y, y, 1e-6f);
    EXPECT_NEAR(v.z, z, 1e-6f);
}

// ---- records ----

TEST(VectorRecord, BothTwoDVariantsWriteTag15AndElevenBytes) {
    C_Vector2D f(800.0f, -1.5f, 0x21);
    EXPECT_EQ(Save(f), Concat({{0x0F, 0x00}, LeFloat(800.0f), LeFloat(-1.5f), {0x21}}));
    C_Vector2Di i(800, -2, 0x12);
    EXPECT_EQ(Save(i), Concat({{0x0F, 0x00}, Le32(800), Le32(0xFFFFFFFEu), {0x12}}));

    // The tag does not say which variant wrote it: the reader decides.
    C_Vector2Di asInt;
    ASSERT_TRUE(Load(asInt, Save(f)));
    EXPECT_EQ(static_cast<std::uint32_t>(asInt.x), Bits(800.0f));
    EXPECT_EQ(asInt.align, 0x21);
}

TEST(VectorRecord, RoundTripsKeepEveryBit) {
    C_Vector2D f(0.1f, -0.0f, 0x10);
    C_Vector2D f2;
    ASSERT_TRUE(Load(f2, Save(f)));
    EXPECT_TRUE(Same2(f2, f));

    C_Vector2Di i(INT_MIN, INT_MAX, 2);
    C_Vector2Di i2;
    ASSERT_TRUE(Load(i2, Save(i)));
    EXPECT_TRUE(Same2i(i2, i));

    C_Vector3D v3(1.0f, std::nanf(""), kInf);
    const Bytes b3 = Save(v3);
    EXPECT_EQ(b3.size(), 14u);
    EXPECT_EQ(b3[0], 0x10);
    C_Vector3D v3b;
    ASSERT_TRUE(Load(v3b, b3));
    EXPECT_TRUE(Same3(v3b, v3));

    C_Vector4D v4(1.0f, 2.0f, 3.0f, 4.0f);
    const Bytes b4 = Save(v4);
    EXPECT_EQ(b4.size(), 18u);
    EXPECT_EQ(b4[0], 0x11);
    C_Vector4D v4b;
    ASSERT_TRUE(Load(v4b, b4));
    EXPECT_TRUE(Same4(v4b, v4));
}

TEST(VectorRecord, WrongTagsFailWithTheClassNameAndKeepTheVector) {
    C_Vector3D three(1.0f, 2.0f, 3.0f);
    C_Vector4D four(5.0f, 6.0f, 7.0f, 8.0f);
    const C_Vector4D before = four;
    Gfx_ClearError();
    EXPECT_FALSE(Load(four, Concat({Save(three), Bytes(4, 0)})));
    EXPECT_EQ(Gfx_GetErrorCode(), -1);
    EXPECT_STREQ(Gfx_GetErrorDetail(), "C_Vector4D::LoadFromStream{class_type}");
    EXPECT_STREQ(Gfx_GetErrorMessage(),
                 "C_Vector4D::LoadFromStream>>>A fatal error occurred, the entire process has been aborted");
    EXPECT_TRUE(Same4(four, before));

    C_Vector2Di i(3, 4, 5);
    EXPECT_FALSE(Load(i, Save(three)));
    EXPECT_STREQ(Gfx_GetErrorDetail(), "C_Vector2D::LoadFromStream{class_type}");
    EXPECT_TRUE(Same2i(i, C_Vector2Di(3, 4, 5)));
}

TEST(VectorRecord, TruncatedRecordsFailAndKeepTheVector) {
    C_Vector2D f(1.0f, 2.0f, 3);
    ExpectEveryPrefixFails(C_Vector2D(7.0f, 8.0f, 9), Save(f), Same2);
    C_Vector2Di i(1, 2, 3);
    ExpectEveryPrefixFails(C_Vector2Di(7, 8, 9), Save(i), Same2i);
    C_Vector3D v3(1.0f, 2.0f, 3.0f);
    ExpectEveryPrefixFails(C_Vector3D(7.0f, 8.0f, 9.0f), Save(v3), Same3);
    C_Vector4D v4(1.0f, 2.0f, 3.0f, 4.0f);
    ExpectEveryPrefixFails(C_Vector4D(7.0f, 8.0f, 9.0f, 10.0f), Save(v4), Same4);
    EXPECT_STREQ(Gfx_GetErrorDetail(), "C_Vector4D::LoadFromStream{data}");
}

// ---- construction and arithmetic ----

TEST(Vector, ConstructorsFromArraysAndFromThreeD) {
    const float xy[2] = {1.0f, 2.0f};
    EXPECT_TRUE(Same2(C_Vector2D(xy), C_Vector2D(1.0f, 2.0f)));
    EXPECT_TRUE(Same2(C_Vector2D(static_cast<const float*>(nullptr)), C_Vector2D()));
    const std::int32_t ij[2] = {-3, 4};
    EXPECT_TRUE(Same2i(C_Vector2Di(ij), C_Vector2Di(-3, 4)));
    const float xyz[3] = {1.0f, 2.0f, 3.0f};
    EXPECT_TRUE(Same3(C_Vector3D(xyz), C_Vector3D(1.0f, 2.0f, 3.0f)));
    const float xyzw[4] = {1.0f, 2.0f, 3.0f, 4.0f};
    EXPECT_TRUE(Same4(C_Vector4D(xyzw), C_Vector4D(1.0f, 2.0f, 3.0f, 4.0f)));
    EXPECT_TRUE(Same4(C_Vector4D(C_Vector3D(1.0f, 2.0f, 3.0f)), C_Vector4D(1.0f, 2.0f, 3.0f, 1.0f)));
}

TEST(Vector, TwoDResultsHaveAlignZeroCompoundFormsKeepIt) {
    const C_Vector2D a(1.0f, 2.0f, 0x22);
    const C_Vector2D b(3.0f, 5.0f, 0x11);
    EXPECT_TRUE(Same2(a + b, C_Vector2D(4.0f, 7.0f)));
    EXPECT_TRUE(Same2(a - b, C_Vector2D(-2.0f, -3.0f)));
    EXPECT_TRUE(Same2(-a, C_Vector2D(-1.0f, -2.0f)));
    EXPECT_TRUE(Same2(a * 2.0f, C_Vector2D(2.0f, 4.0f)));
    EXPECT_TRUE(Same2(2.0f * a, C_Vector2D(2.0f, 4.0f)));
    EXPECT_TRUE(Same2(a / 2.0f, C_Vector2D(0.5f, 1.0f)));

    C_Vector2D c = a;
    c += b;
    EXPECT_TRUE(Same2(c, C_Vector2D(4.0f, 7.0f, 0x22)));
    c *= 0.5f;
    EXPECT_TRUE(Same2(c, C_Vector2D(2.0f, 3.5f, 0x22)));
    EXPECT_TRUE(a == C_Vector2D(1.0f, 2.0f, 0));  // align is not compared
    EXPECT_TRUE(a != b);
}

TEST(Vector, DivisionByZeroGuards) {
    const C_Vector2D a(3.0f, -4.0f, 1);
    EXPECT_TRUE(Same2(a / 0.0f, C_Vector2D(0.0f, 0.0f)));
    C_Vector2D a2 = a;
    a2 /= 0.0f;
    EXPECT_TRUE(Same2(a2, a));

    const C_Vector4D d(1.0f, 2.0f, 3.0f, 4.0f);
    EXPECT_TRUE(Same4(d / 0.0f, C_Vector4D()));
    C_Vector4D d2 = d;
    d2 /= 0.0f;
    EXPECT_TRUE(Same4(d2, d));

    // 3D: the operators are unguarded, the compound forms skip zeros.
    const C_Vector3D v(1.0f, -2.0f, 0.0f);
    const C_Vector3D q = v / 0.0f;
    EXPECT_EQ(q.x, kInf);
    EXPECT_EQ(q.y, -kInf);
    EXPECT_TRUE(std::isnan(q.z));
    C_Vector3D v2 = v;
    v2 /= 0.0f;
    EXPECT_TRUE(Same3(v2, v));
    C_Vector3D v3(8.0f, 9.0f, 10.0f);
    v3 /= C_Vector3D(2.0f, 0.0f, 5.0f);
    EXPECT_TRUE(Same3(v3, C_Vector3D(4.0f, 9.0f, 2.0f)));
    EXPECT_TRUE(Same3(C_Vector3D(1.0f, 2.0f, 3.0f) + 1.0f, C_Vector3D(2.0f, 3.0f, 4.0f)));
    EXPECT_TRUE(Same3(C_Vector3D(1.0f, 2.0f, 3.0f) * C_Vector3D(2.0f, 3.0f, 4.0f), C_Vector3D(2.0f, 6.0f, 12.0f)));
}

TEST(Vector, IntegerVectorAddsAndSubtractsWithWrapping) {
    const C_Vector2Di a(INT_MAX, INT_MIN, 7);
    const C_Vector2Di sum = a + C_Vector2Di(1, 1);
    EXPECT_EQ(sum.x, INT_MIN);
    EXPECT_EQ(sum.y, INT_MIN + 1);
    EXPECT_EQ(sum.align, 0);
    const C_Vector2Di diff = a - C_Vector2Di(-1, 1);
    EXPECT_EQ(diff.x, INT_MIN);
    EXPECT_EQ(diff.y, INT_MAX);
    C_Vector2Di s;
    s.Set(5, 6);
    EXPECT_TRUE(s == C_Vector2Di(5, 6, 3));
    EXPECT_TRUE(s != C_Vector2Di(5, 7));
}

// ---- geometry ----

TEST(Vector, LengthsDotsCrossAndDistance) {
    EXPECT_EQ(C_Vector2D(3.0f, 4.0f).Length(), 5.0f);
    EXPECT_EQ(C_Vector2D(1.0f, 2.0f).Dot(C_Vector2D(3.0f, 4.0f)), 11.0f);
    EXPECT_EQ(C_Vector2D(1.0f, 1.0f).Distance(C_Vector2D(4.0f, 5.0f)), 5.0f);
    EXPECT_EQ(C_Vector3D(2.0f, 3.0f, 6.0f).Length(), 7.0f);
    EXPECT_EQ(C_Vector4D(1.0f, 1.0f, 1.0f, 1.0f).Length(), 2.0f);
    EXPECT_TRUE(Same3(C_Vector3D(1.0f, 0.0f, 0.0f).Cross(C_Vector3D(0.0f, 1.0f, 0.0f)), C_Vector3D(0.0f, 0.0f, 1.0f)));
    EXPECT_TRUE(
        Same3(C_Vector3D(1.0f, 2.0f, 3.0f).Cross(C_Vector3D(4.0f, 5.0f, 6.0f)), C_Vector3D(-3.0f, 6.0f, -3.0f)));
}

TEST(Vector, NormalizeSkipsZeroAndUnitLengths) {
    C_Vector2D v(3.0f, 4.0f, 9);
    v.Normalize();
    EXPECT_TRUE(Same2(v, C_Vector2D(0.6f, 0.8f, 9)));
    C_Vector2D unit = v;
    unit.Normalize();
    EXPECT_TRUE(Same2(unit, v));
    C_Vector2D zero;
    zero.Normalize();
    EXPECT_TRUE(Same2(zero, C_Vector2D()));
    C_Vector3D z3;
    z3.Normalize();
    EXPECT_TRUE(Same3(z3, C_Vector3D()));
    EXPECT_FLOAT_EQ(C_Vector3D(0.0f, 3.0f, 4.0f).Normalized().z, 0.8f);
    EXPECT_FLOAT_EQ(C_Vector4D(2.0f, 0.0f, 0.0f, 0.0f).Normalized().x, 1.0f);
}

TEST(Vector, AnglesInRadians) {
    EXPECT_FLOAT_EQ(C_Vector2D(1.0f, 1.0f).Angle(), 0.78539819f);
    EXPECT_EQ(C_Vector2D(-1.0f, 0.0f).Angle(), 3.1415927f);
    EXPECT_FLOAT_EQ(C_Vector2D(-1.0f, -1.0f).Angle(), 3.9269909f);
    EXPECT_EQ(C_Vector2D(0.0f, 2.0f).Angle(), 1.5707964f);
    EXPECT_EQ(C_Vector2D(0.0f, 0.0f).Angle(), -1.5707964f);
    EXPECT_EQ(C_Vector2D(0.0f, -2.0f).Angle(), -1.5707964f);
    EXPECT_EQ(C_Complex(-1.0f, -1.0f).Argument(), C_Vector2D(-1.0f, -1.0f).Angle());

    EXPECT_FLOAT_EQ(C_Vector3D(1.0f, 0.0f, 0.0f).Angle(C_Vector3D(0.0f, 0.0f, 3.0f)), 1.5707964f);
    // Parallel and opposite vectors stay inside acos's domain despite rounding
    // (for this pair the cosine comes out one ulp above 1).
    const C_Vector3D p(0.1f, 2.8f, 1.3f);
    EXPECT_EQ(p.Angle(p * 2.0f), 0.0f);
    EXPECT_FLOAT_EQ(p.Angle(p * -2.0f), 3.1415927f);
    for (float k : {0.1f, 0.3f, 1.0f, 1.7f, 2.0f, 3.0f, 1e7f}) {
        const C_Vector3D a(0.1f, 0.7f, 1.3f);
        EXPECT_NEAR(a.Angle(a * k), 0.0f, 1e-3f) << k;
        EXPECT_NEAR(a.Angle(a * -k), 3.1415927f, 1e-3f) << k;
    }
    EXPECT_TRUE(std::isnan(C_Vector3D().Angle(C_Vector3D(1.0f, 0.0f, 0.0f))));
}

TEST(Vector, NearUsesOpenIntervals) {
    const C_Vector2D a(1.0f, 1.0f);
    EXPECT_TRUE(a.Near(C_Vector2D(1.25f, 0.75f), 0.25f));
    EXPECT_FALSE(a.Near(C_Vector2D(1.5f, 1.0f), 0.25f));  // intervals only touch
    EXPECT_FALSE(a.Near(C_Vector2D(1.0f, 0.5f), 0.25f));
    EXPECT_TRUE(C_Vector3D(0.0f, 0.0f, 0.0f).Near(C_Vector3D(0.4f, -0.4f, 0.4f), 0.25f));
    EXPECT_FALSE(C_Vector3D(0.0f, 0.0f, 0.0f).Near(C_Vector3D(0.0f, 0.0f, 0.5f), 0.25f));
}

TEST(Vector, TwoDRotationByDegrees) {
    C_Vector2D v(1.0f, 0.0f, 0x21);
    v.Rotate(90.0f);
    EXPECT_NEAR(v.x, 0.0f, 1e-7f);
    EXPECT_EQ(v.y, 1.0f);
    EXPECT_EQ(v.align, 0x21);
    const C_Vector2D r = C_Vector2D(1.0f, 2.0f).Rotated(180.0f);
    EXPECT_NEAR(r.x, -1.0f, 1e-6f);
    EXPECT_NEAR(r.y, -2.0f, 1e-6f);
    C_Vector2D back = C_Vector2D(3.0f, -7.0f).Rotated(33.0f);
    back.Rotate(-33.0f);
    EXPECT_NEAR(back.x, 3.0f, 1e-5f);
    EXPECT_NEAR(back.y, -7.0f, 1e-5f);

    // Exactly 0 degrees skips the arithmetic (which would turn inf into NaN).
    C_Vector2D odd(-0.0f, kInf, 5);
    odd.Rotate(0.0f);
    EXPECT_TRUE(Same2(odd, C_Vector2D(-0.0f, kInf, 5)));
    EXPECT_TRUE(Same2(odd.Rotated(-0.0f), odd));
}

TEST(Vector, ThreeDRotationsAboutTheAxes) {
    ExpectNear3(C_Vector3D(0.0f, 1.0f, 0.0f).RotatedX(90.0f), 0.0f, 0.0f, 1.0f);
    ExpectNear3(C_Vector3D(1.0f, 0.0f, 0.0f).RotatedY(90.0f), 0.0f, 0.0f, -1.0f);
    ExpectNear3(C_Vector3D(0.0f, 0.0f, 1.0f).RotatedY(90.0f), 1.0f, 0.0f, 0.0f);
    ExpectNear3(C_Vector3D(1.0f, 0.0f, 0.0f).RotatedZ(90.0f), 0.0f, 1.0f, 0.0f);

    C_Vector4D p(0.0f, 1.0f, 0.0f, 7.0f);
    p.RotateX(90.0f);
    EXPECT_NEAR(p.z, 1.0f, 1e-6f);
    EXPECT_EQ(p.w, 7.0f);
    const C_Vector3D odd(kInf, 1.0f, 2.0f);
    EXPECT_TRUE(Same3(odd.RotatedX(0.0f), odd));
    EXPECT_TRUE(Same3(odd.RotatedAxis(0.0f, C_Vector3D(1.0f, 0.0f, 0.0f)), odd));
}

TEST(Vector, RotateAxisNormalisesACopyOfTheAxis) {
    const C_Vector3D axis(0.0f, 0.0f, 5.0f);
    const C_Vector3D v(1.0f, 2.0f, 3.0f);
    const C_Vector3D aboutZ = v.RotatedAxis(37.0f, axis);
    const C_Vector3D direct = v.RotatedZ(37.0f);
    ExpectNear3(aboutZ, direct.x, direct.y, direct.z);
    EXPECT_TRUE(Same3(axis, C_Vector3D(0.0f, 0.0f, 5.0f)));

    // 120 degrees about the diagonal cycles the axes.
    ExpectNear3(C_Vector3D(1.0f, 0.0f, 0.0f).RotatedAxis(120.0f, C_Vector3D(1.0f, 1.0f, 1.0f)), 0.0f, 1.0f, 0.0f);
    // A zero axis has no direction: the vector stays put instead of shrinking.
    EXPECT_TRUE(Same3(v.RotatedAxis(60.0f, C_Vector3D()), v));

    C_Vector4D p(1.0f, 0.0f, 0.0f, -2.0f);
    p.RotateAxis(120.0f, C_Vector3D(1.0f, 1.0f, 1.0f));
    EXPECT_NEAR(p.y, 1.0f, 1e-6f);
    EXPECT_EQ(p.w, -2.0f);
}

TEST(Vector, ProjectDividesByWUnlessZeroOrOne) {
    EXPECT_TRUE(Same3(C_Vector4D(2.0f, 4.0f, 6.0f, 2.0f).Project(), C_Vector3D(1.0f, 2.0f, 3.0f)));
    EXPECT_TRUE(Same3(C_Vector4D(2.0f, 4.0f, 6.0f, 1.0f).Project(), C_Vector3D(2.0f, 4.0f, 6.0f)));
    EXPECT_TRUE(Same3(C_Vector4D(2.0f, 4.0f, 6.0f, 0.0f).Project(), C_Vector3D(2.0f, 4.0f, 6.0f)));
}

TEST(Complex, ArithmeticConjugateAndMagnitude) {
    const C_Complex a(1.0f, 2.0f);
    const C_Complex b(3.0f, 4.0f);
    EXPECT_EQ(a + b, C_Complex(4.0f, 6.0f));
    EXPECT_EQ(a - b, C_Complex(-2.0f, -2.0f));
    EXPECT_EQ(a * b, C_Complex(-5.0f, 10.0f));
    EXPECT_EQ(C_Complex(-5.0f, 10.0f) / b, a);
    EXPECT_EQ(b.Magnitude(), 5.0f);
    EXPECT_EQ(a.Conjugated(), C_Complex(1.0f, -2.0f));
    C_Complex c = a;
    c.Conjugate();
    EXPECT_EQ(c, a.Conjugated());
    const C_Complex byZero = a / C_Complex();
    EXPECT_FALSE(std::isfinite(byZero.re));  // unguarded
}

}  // namespace
