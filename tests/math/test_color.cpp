#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "record_helpers.h"

using namespace math_test;

namespace {

bool SameBits(const C_Color& a, const C_Color& b) {
    return Bits(a.r) == Bits(b.r) && Bits(a.g) == Bits(b.g) && Bits(a.b) == Bits(b.b) && Bits(a.a) == Bits(b.a);
}

TEST(Color, IntegerConstructorDividesBy255WithoutClamping) {
    const C_Color magenta(255, 0, 255, 0);
    EXPECT_EQ(magenta.r, 1.0f);
    EXPECT_EQ(magenta.g, 0.0f);
    EXPECT_EQ(magenta.b, 1.0f);
    EXPECT_EQ(magenta.a, 0.0f);
    const C_Color grey(128, 128, 128, 0);
    EXPECT_EQ(grey.r, 128.0f / 255.0f);
    EXPECT_NEAR(C_Color(-128, -128, -128, 0).g, -0.50196f, 1e-5f);
    EXPECT_NEAR(C_Color(512, 512, 512, 0).b, 2.00784f, 1e-5f);
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

TEST(Color, PackedArrayAndNullArrayConstructors) {
    const C_Color packed(0x00FF8040u);
    EXPECT_EQ(packed.r, 64.0f / 255.0f);
    EXPECT_EQ(packed.g, 128.0f / 255.0f);
    EXPECT_EQ(packed.b, 1.0f);
    EXPECT_EQ(packed.a, 0.0f);
    EXPECT_EQ(C_Color(0x01000000u).b, 256.0f / 255.0f);  // bits above 23 reach blue

    const float parts[4] = {0.1f, 0.2f, 0.3f, 0.4f};
    EXPECT_TRUE(SameBits(C_Color(parts), C_Color(0.1f, 0.2f, 0.3f, 0.4f)));
    EXPECT_TRUE(SameBits(C_Color(static_cast<const float*>(nullptr)), C_Color()));
}

TEST(Color, ClampSendsNaNAndNegativesToZero) {
    C_Color c(-0.5f, 2.0f, 0.5f, 1.0f);
    c.Clamp();
    EXPECT_TRUE(SameBits(c, C_Color(0.0f, 1.0f, 0.5f, 1.0f)));
    C_Color odd(std::nanf(""), -0.0f, std::numeric_limits<float>::infinity(), 1.0f);
    odd.Clamp();
    EXPECT_EQ(odd.r, 0.0f);
    EXPECT_EQ(odd.b, 1.0f);
}

TEST(Color, LerpInterpolatesAndExtrapolates) {
    const C_Color black(0.0f, 0.0f, 0.0f, 0.0f);
    const C_Color white(1.0f, 1.0f, 1.0f, 1.0f);
    EXPECT_TRUE(SameBits(black.Lerp(white, 0.25f), C_Color(0.25f, 0.25f, 0.25f, 0.25f)));
    EXPECT_TRUE(SameBits(black.Lerp(white, 2.0f), C_Color(2.0f, 2.0f, 2.0f, 2.0f)));
    EXPECT_TRUE(SameBits(white.Lerp(black, -1.0f), C_Color(2.0f, 2.0f, 2.0f, 2.0f)));
}

TEST(Color, ArithmeticAndCompoundForms) {
    const C_Color a(1.0f, 2.0f, 3.0f, 4.0f);
    const C_Color b(0.5f, 0.5f, 2.0f, 0.0f);
    EXPECT_TRUE(SameBits(a + b, C_Color(1.5f, 2.5f, 5.0f, 4.0f)));
    EXPECT_TRUE(SameBits(a - b, C_Color(0.5f, 1.5f, 1.0f, 4.0f)));
    EXPECT_TRUE(SameBits(a * b, C_Color(0.5f, 1.0f, 6.0f, 0.0f)));
    EXPECT_TRUE(SameBits(2.0f * a, a * 2.0f));
    EXPECT_TRUE(SameBits(-a, C_Color(-1.0f, -2.0f, -3.0f, -4.0f)));
    const C_Color q = a / b;
    EXPECT_TRUE(std::isinf(q.a));  // IEEE division, unchecked

    C_Color c = a;
    const C_Color returned = (c += b);
    EXPECT_TRUE(SameBits(returned, c));
    EXPECT_TRUE(SameBits(c, a + b));
    c /= 2.0f;
    EXPECT_TRUE(SameBits(c, (a + b) / 2.0f));
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

TEST(Color, RecordIs18BytesTagThenChannels) {
    C_Color c(0.25f, 0.5f, 1.0f, 0.0f);
    const Bytes bytes = Save(c);
    const Bytes expected = Concat({{0x01, 0x00}, LeFloat(0.25f), LeFloat(0.5f), LeFloat(1.0f), LeFloat(0.0f)});
    EXPECT_EQ(bytes, expected);

    C_Color back;
    EXPECT_TRUE(Load(back, bytes));
    EXPECT_TRUE(SameBits(back, c));
}

TEST(Color, WrongTagAndTruncatedRecordsFailAndKeepTheColour) {
    const C_Color original(0.1f, 0.2f, 0.3f, 0.4f);
    C_Color c = original;
    Gfx_ClearError();
    EXPECT_FALSE(Load(c, Concat({{0x08, 0x00}, Bytes(16, 0)})));
    EXPECT_EQ(Gfx_GetErrorCode(), -1);
    EXPECT_EQ(Gfx_GetErrorDetailCode(), 10);
    EXPECT_STREQ(Gfx_GetErrorDetail(), "C_Color::LoadFromStream{class_type}");
    EXPECT_STREQ(Gfx_GetErrorMessage(),
                 "C_Color::LoadFromStream>>>A fatal error occurred, the entire process has been aborted");
    EXPECT_TRUE(SameBits(c, original));

    C_Color source(1.0f, 2.0f, 3.0f, 4.0f);
    ExpectEveryPrefixFails(original, Save(source), SameBits);
}

TEST(Color, SavingToANullStreamFails) {
    C_Color c;
    Gfx_ClearError();
    EXPECT_FALSE(c.SaveToStream(nullptr, 0));
    EXPECT_EQ(Gfx_GetErrorCode(), -1);
}

}  // namespace
