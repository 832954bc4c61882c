#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "quillory.h"

namespace {

bool SameBits(const C_Color& a, const C_Color& b) {
    const float x[4] = {a.r, a.g, a.b, a.a}, y[4] = {b.r, b.g, b.b, b.a};
    return std::memcmp(x, y, sizeof x) == 0;
}

// Which calls mean bytes and which mean unit components, and that a byte call
// with a floating-point argument does not compile.
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

TEST(Color, BytesAndUnitsByArgumentTypes) {
    const float byte128 = 128.0f / 255.0f;
    const struct {
        const char* call;
        C_Color got;
        C_Color want;
    } cases[] = {
        {"C_Color(1.0, 0, 0, 1.0)", C_Color(1.0, 0, 0, 1.0), C_Color(1.0f, 0.0f, 0.0f, 1.0f)},
        {"C_Color(0.5f, 0, 0, 1)", C_Color(0.5f, 0, 0, 1), C_Color(0.5f, 0.0f, 0.0f, 1.0f)},
        {"C_Color(0, 0.25, 0u, 2)", C_Color(0, 0.25, 0u, 2), C_Color(0.0f, 0.25f, 0.0f, 2.0f)},
        {"C_Color(128, 0, 255, 0)", C_Color(128, 0, 255, 0), C_Color(byte128, 0.0f, 1.0f, 0.0f)},
        {"FromBytes(128, 0, 255, 255)", C_Color::FromBytes(128, 0, 255, 255), C_Color(byte128, 0.0f, 1.0f, 1.0f)},
        {"FromBytes(-128, 512, 0, 0)", C_Color::FromBytes(-128, 512, 0, 0), C_Color(-128, 512, 0, 0)},
        {"FromUnit(1, 0, 0, 1)", C_Color::FromUnit(1, 0, 0, 1), C_Color(1.0f, 0.0f, 0.0f, 1.0f)},
        {"FromUnit(0.5, 2.0, -1.0, 0.1)", C_Color::FromUnit(0.5, 2.0, -1.0, 0.1), C_Color(0.5f, 2.0f, -1.0f, 0.1f)},
    };
    for (const auto& c : cases) EXPECT_TRUE(SameBits(c.got, c.want)) << c.call;
}

TEST(Color, ConstructorsDivideBy255WithoutClamping) {
    EXPECT_TRUE(SameBits(C_Color(255, 0, 255, 0), C_Color(1.0f, 0.0f, 1.0f, 0.0f)));
    EXPECT_EQ(C_Color(128, 128, 128, 0).r, 128.0f / 255.0f);
    EXPECT_EQ(C_Color(-128, 0, 512, 0).r, -128.0f / 255.0f);
    EXPECT_EQ(C_Color(-128, 0, 512, 0).b, 512.0f / 255.0f);
    EXPECT_TRUE(SameBits(C_Color(0x00FF8040u), C_Color(64.0f / 255.0f, 128.0f / 255.0f, 1.0f, 0.0f)));
    EXPECT_EQ(C_Color(0x01000000u).b, 256.0f / 255.0f);  // bits above 23 reach blue
    const float parts[4] = {0.1f, 0.2f, 0.3f, 0.4f};
    EXPECT_TRUE(SameBits(C_Color(parts), C_Color(0.1f, 0.2f, 0.3f, 0.4f)));
    EXPECT_TRUE(SameBits(C_Color(static_cast<const float*>(nullptr)), C_Color()));
}

TEST(Color, ClampLerpAndArithmetic) {
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
}

TEST(Color, EqualityTreatsNaNAsMatchingAnything) {
    const C_Color a(0.1f, 0.2f, 0.3f, 0.4f);
    EXPECT_TRUE(a == C_Color(0.1f, 0.2f, 0.3f, 0.4f));
    EXPECT_TRUE(a != C_Color(0.1f, 0.2f, 0.3f, 0.5f));
    const C_Color withNaN(std::nanf(""), 0.2f, 0.3f, 0.4f);
    EXPECT_TRUE(withNaN == a);
    EXPECT_TRUE(a == withNaN);
    EXPECT_FALSE(withNaN != a);
}

}  // namespace
