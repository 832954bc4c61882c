#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <limits>
#include <type_traits>
#include <utility>

#include "quillory.h"

namespace {

using i8 = std::int8_t;
using i16 = std::int16_t;
using i32 = std::int32_t;
using u8 = std::uint8_t;
using u16 = std::uint16_t;
using u32 = std::uint32_t;

// Each call resolves to the overload of its argument type.
static_assert(std::is_same_v<decltype(Math_Abs(i16{})), i16>);
static_assert(std::is_same_v<decltype(Math_Div(u8{}, u8{})), u8>);
static_assert(std::is_same_v<decltype(Math_Mod(1.0f, 2.0f)), float>);
static_assert(std::is_same_v<decltype(Math_Wrap(1, 2)), i32>);
static_assert(std::is_same_v<decltype(Math_Min(u32{}, u32{})), u32>);
static_assert(std::is_same_v<decltype(Math_Lerp(0.0, 1.0, 0.5)), double>);

// The integer forms against their definitions over a grid of both signs,
// then the extremes where the plain expression would overflow or trap.
TEST(Scalar, IntegerModDivAndWrapFollowTheirDefinitions) {
    for (i32 a = -150; a <= 150; a += 7)
        for (const i32 b : {1, 3, 64}) {
            SCOPED_TRACE(::testing::Message() << a << " " << b);
            EXPECT_EQ(Math_Mod(a, b), a % b);
            EXPECT_EQ(Math_Div(a, b), a / b);
            const i32 w = Math_Wrap(a, b);
            EXPECT_TRUE(w >= 0 && w < b && (w - a) % b == 0) << w;
        }
    EXPECT_EQ(Math_Wrap(64, 64), 0);  // the integer modulo has no a <= b rule
    EXPECT_EQ(Math_Wrap(INT_MIN, 7), 5);
    EXPECT_EQ(Math_Wrap(u32{70}, u32{64}), 6u);
    EXPECT_EQ(Math_Div(5, 0), 0);
    EXPECT_EQ(Math_Div(INT_MIN, -1), INT_MIN);  // wraps instead of trapping
    EXPECT_EQ(Math_Mod(INT_MIN, -1), 0);
    EXPECT_EQ(Math_Mod(i8{-128}, i8{-1}), 0);
    EXPECT_EQ(Math_Mod(7, 0), 0);
}

TEST(Scalar, FloatModAndWrap) {
    EXPECT_EQ(Math_Div(5.0f, 0.0f), 0.0f);
    EXPECT_EQ(Math_Mod(5.0f, 3.0f), 2.0f);
    EXPECT_EQ(Math_Mod(5.0f, 5.0f), 5.0f);  // a <= b comes back unchanged
    EXPECT_EQ(Math_Mod(-7.0, 3.0), -7.0);
    EXPECT_EQ(Math_Mod(7.5, 0.0), 0.0);
    EXPECT_EQ(Math_Mod(1e12, 7.0), std::fmod(1e12, 7.0));  // quotient far beyond 32 bits

    EXPECT_EQ(Math_Wrap(-1.0f, 64.0f), 63.0f);
    EXPECT_EQ(Math_Wrap(64.0f, 64.0f), 64.0f);    // float Math_Mod keeps a <= b
    EXPECT_EQ(Math_Wrap(-1e-30f, 64.0f), 64.0f);  // the rule rounds to p, which is in range
    EXPECT_EQ(Math_Wrap(130.0f, 64.0f), 2.0f);
    EXPECT_NEAR(Math_Wrap(0.12f, 0.05f), 0.02f, 1e-6f);
    // Negative coordinates stay inside the period where the whole-step rule
    // would not: just below -p, and with periods under 1.
    EXPECT_EQ(Math_Wrap(-65.0f, 64.0f), 63.0f);
    EXPECT_NEAR(Math_Wrap(-83.5f, 83.25f), 83.0f, 1e-5f);
    EXPECT_NEAR(Math_Wrap(-0.52, 0.05), 0.03, 1e-12);
    for (int i = 1; i < 2000; ++i) {
        const float r = Math_Wrap(-0.013f * static_cast<float>(i), 0.05f);
        ASSERT_TRUE(r >= 0.0f && r < 0.05f) << i;
    }
}

TEST(Scalar, MirrorModIsATriangleWave) {
    EXPECT_EQ(Math_MirrorMod(70, 64), 58);
    EXPECT_EQ(Math_MirrorMod(130, 64), 2);
    EXPECT_EQ(Math_MirrorMod(u32{0xFFFFFFFFu}, u32{0x80000000u}), 1u);  // (q + 1) b overflows 32 bits
    EXPECT_EQ(Math_MirrorMod(-70, 64), -70);                            // odd negative quotient: unchanged
    EXPECT_EQ(Math_MirrorMod(-130, 64), -2);
    EXPECT_EQ(Math_MirrorMod(70.0f, 64.0f), 58.0f);
    EXPECT_EQ(Math_MirrorMod(130.0, 64.0), 2.0);
    EXPECT_EQ(Math_MirrorMod(-70.0, 64.0), -70.0);
    EXPECT_EQ(Math_MirrorMod(9, 0), 0);
    EXPECT_EQ(Math_MirrorMod(9.0f, 0.0f), 0.0f);
    EXPECT_EQ(Math_MirrorMod(INT_MAX, (1 << 30) + 1), 3);

    EXPECT_EQ(Math_MirrorWrap(70, 64), 58);
    EXPECT_EQ(Math_MirrorWrap(64, 64), 64);
    EXPECT_EQ(Math_MirrorWrap(-10, 64), 10);
    EXPECT_EQ(Math_MirrorWrap(-70, 64), 58);
    EXPECT_EQ(Math_MirrorWrap(-10.5f, 64.0f), 10.5f);
}

TEST(Scalar, TruncAbsClampsAndTies) {
    EXPECT_EQ(Math_Trunc(-3.7), -3.0);
    EXPECT_EQ(Math_Trunc(1e10f), 1e10f);                // beyond 32 bits: no garbage
    EXPECT_EQ(Math_Trunc(2147483648.0), 2147483648.0);  // just past the int range
    EXPECT_EQ(Math_Trunc(-2147483648.5), -2147483648.0);
    EXPECT_TRUE(std::isnan(Math_Trunc(std::nanf(""))));

    EXPECT_EQ(Math_Abs(-5), 5);
    EXPECT_EQ(Math_Abs(INT_MIN), INT_MIN);
    EXPECT_EQ(Math_Abs(u16{65535}), 65535);
    EXPECT_TRUE(std::signbit(Math_Abs(-0.0f)));  // -0.0 is not below 0

    EXPECT_EQ(Math_Clamp(300, 0, 255), 255);
    EXPECT_EQ(Math_Clamp(-5, 0, 255), 0);
    EXPECT_EQ(Math_ClampSwap(300, 0, 255), 0);
    EXPECT_EQ(Math_ClampSwap(-5, 0, 255), 255);
    EXPECT_EQ(Math_ClampSwap(0.5f, 0.0f, 1.0f), 0.5f);
    // Min and max return b on ties and for NaN.
    EXPECT_EQ(Math_Min(3, 4), 3);
    EXPECT_EQ(Math_Max(u16{3}, u16{4}), 4);
    EXPECT_TRUE(std::signbit(Math_Min(0.0f, -0.0f)));
    EXPECT_FALSE(std::signbit(Math_Max(-0.0, 0.0)));
    EXPECT_EQ(Math_Min(std::nanf(""), 1.0f), 1.0f);
    EXPECT_TRUE(std::isnan(Math_Max(1.0f, std::nanf(""))));
}

TEST(Scalar, NextPow2CompareAndSort) {
    const std::pair<i32, i32> pow2[] = {
        {1, 1},      {2, 2}, {5, 8}, {8, 8}, {0, 1}, {-7, 1}, {1 << 30, 1 << 30}, {(1 << 30) + 1, 0},
        {INT_MAX, 0}};  // no 32-bit signed power fits
    for (const auto& [a, want] : pow2) EXPECT_EQ(Math_NextPow2(a), want) << a;

    EXPECT_EQ(Math_Compare(1, 2), -1);
    EXPECT_EQ(Math_Compare(u8{2}, u8{2}), 0);
    EXPECT_EQ(Math_Compare(2.0, 1.0), 1);
    EXPECT_EQ(Math_Compare(std::nanf(""), 1.0f), -1);
    EXPECT_EQ(Math_Compare(1.0f, std::nanf("")), -1);

    i32 ints[] = {5, -3, INT_MAX, 0, INT_MIN, 5};
    Math_Sort(ints, 6);
    const i32 sortedInts[] = {INT_MIN, -3, 0, 5, 5, INT_MAX};
    EXPECT_TRUE(std::equal(ints, ints + 6, sortedInts));
    Math_Sort(static_cast<i32*>(nullptr), 10);  // nothing to do, no crash
    Math_Sort(ints, 6, sizeof(i32), nullptr);
}

TEST(Scalar, InterpolationCurves) {
    EXPECT_EQ(Math_Lerp(2.0f, 6.0f, 0.25f), 3.0f);
    EXPECT_EQ(Math_Lerp(2.0, 6.0, 1.5), 8.0);
    EXPECT_EQ(Math_SmoothStep(0.5f), 0.5f);
    EXPECT_EQ(Math_SmoothStep(1.0), 1.0);
    EXPECT_EQ(Math_SmoothStep(0.25), 0.15625);
    EXPECT_EQ(Math_SmoothLerp(10.0f, 20.0f, 0.5f), 15.0f);
    EXPECT_EQ(Math_CosWeight(0.0), 0.0);
    EXPECT_EQ(Math_CosWeight(1.0), 1.0);
    EXPECT_NEAR(Math_CosLerp(10.0, 20.0, 0.25), 11.464466094067262, 1e-12);  // 10 + 10 (1 - cos(pi / 4)) / 2
    EXPECT_EQ(Math_Sinc(0.0f), 1.0f);
    EXPECT_NEAR(Math_Sinc(0.5), 2.0 / 3.141592653589793, 1e-15);
    EXPECT_EQ(Math_Sign(0.0f), 1.0f);
    EXPECT_EQ(Math_Sign(-0.1), -1.0);
    EXPECT_EQ(Math_Step(0.0f), 1.0f);
    EXPECT_EQ(Math_Step(-1e-30), 0.0);
    EXPECT_EQ(Math_Box(0.49f), 1.0f);
    EXPECT_EQ(Math_Box(0.5f), 0.0f);
    EXPECT_EQ(Math_Box(-0.5), 0.0);
    EXPECT_NEAR(Math_Exp(1.0), 2.718281828459045, 1e-15);
}

TEST(Scalar, ErfApproximationStaysCloseAndOdd) {
    EXPECT_EQ(Math_Erf(0.0), 0.0);
    double worst = 0.0;
    for (int i = -400; i <= 400; ++i) {
        const double t = i / 100.0;
        worst = std::fmax(worst, std::fabs(Math_Erf(t) - std::erf(t)));
        EXPECT_EQ(Math_Erf(-t), -Math_Erf(t));
        EXPECT_EQ(Math_Erfc(t), 1.0 - Math_Erf(t));
    }
    EXPECT_LT(worst, 4e-4);
    EXPECT_NEAR(Math_Erf(0.5f), std::erf(0.5f), 4e-4f);
}

TEST(Noise, HashRangeWrappingAndGuards) {
    // n = 0 leaves only the constant: -771171059 masked to 31 bits.
    EXPECT_EQ(Math_Noise(0), 1376312589.0 / 2147483648.0);
    for (const i32 n : {INT_MIN, -1, 1, 12345, INT_MAX}) {
        const double v = Math_Noise(n);
        EXPECT_TRUE(v >= 0.0 && v < 1.0) << n;
    }
    EXPECT_EQ(Math_NoiseSigned(3), -Math_Noise(3));
    EXPECT_EQ(Math_NoiseSigned(-3), -Math_Noise(-3));
    EXPECT_EQ(Math_NoiseSigned(4), Math_Noise(4));
    EXPECT_EQ(Math_Noise2(3, 2, 10), Math_Noise(23));
    EXPECT_EQ(Math_Noise2(1, INT_MAX, 2), Math_Noise(-1));  // 32-bit wrapping
    for (i32 x = -40; x < 40; ++x) EXPECT_EQ(Math_NoiseWrap(x, 99, 16), Math_NoiseWrap(x + 16, 99, 16)) << x;
    EXPECT_EQ(Math_NoiseMod(21, 5, 16), Math_Noise(10));
    EXPECT_EQ(Math_NoiseMod(-21, 5, 16), Math_Noise(0));
    EXPECT_EQ(Math_NoiseMod(21, 5, 0), Math_Noise(5));                                 // no division by zero
    EXPECT_EQ(Math_NoiseWrap(INT_MAX, INT_MAX, 1 << 30), Math_Noise(-(1 << 30) - 2));  // the sum wraps
}

TEST(Noise, ValueNoiseInterpolatesBetweenLatticeValues) {
    const i32 seed = 7;
    const i32 period = 32;
    EXPECT_EQ(Math_ValueNoise(3.0f, seed, period), Math_NoiseWrap(3, seed, period));
    EXPECT_EQ(Math_ValueNoise(3.9f, seed, period), Math_NoiseWrap(3, seed, period));
    EXPECT_EQ(Math_ValueNoise(-0.5f, seed, period), Math_NoiseWrap(-1, seed, period));
    EXPECT_EQ(Math_ValueNoise(0.0f, seed, period), Math_NoiseWrap(0, seed, period));  // 0 is its own lattice point
    EXPECT_EQ(Math_ValueNoiseLinear(5.0f, seed, period), Math_NoiseWrap(5, seed, period));
    EXPECT_DOUBLE_EQ(Math_ValueNoiseLinear(5.5f, seed, period),
                     (Math_NoiseWrap(5, seed, period) + Math_NoiseWrap(6, seed, period)) / 2.0);
    // Both smooth forms are continuous across lattice points, negative ones too.
    for (float x : {-7.0f, -2.0f, 0.0f, 1.0f, 12.0f}) {
        EXPECT_NEAR(Math_ValueNoiseLinear(x - 1e-3f, seed, period), Math_ValueNoiseLinear(x, seed, period), 3e-3) << x;
        EXPECT_NEAR(Math_ValueNoiseQuadratic(x - 1e-3f, seed, period), Math_ValueNoiseQuadratic(x, seed, period), 3e-3)
            << x;
    }
    // At a lattice point the spline is the midpoint of the first two values.
    EXPECT_DOUBLE_EQ(Math_ValueNoiseQuadratic(4.0f, seed, period),
                     (Math_NoiseWrap(4, seed, period) + Math_NoiseWrap(5, seed, period)) / 2.0);
    EXPECT_EQ(Math_ValueNoise(std::nanf(""), seed, period), Math_NoiseWrap(0, seed, period));
    EXPECT_EQ(Math_ValueNoise(1e20f, seed, period), Math_NoiseWrap(INT_MAX, seed, period));
}

TEST(Noise, MandelbrotCountsCompletedIterations) {
    EXPECT_EQ(Math_Mandelbrot(0.0f, 0.0f, 100), 100);
    EXPECT_EQ(Math_Mandelbrot(2.0f, 2.0f, 100), 0);
    EXPECT_EQ(Math_Mandelbrot(0.0, 0.0, 0), 0);
    EXPECT_EQ(Math_Mandelbrot(0.0, 0.0, -5), 0);
    EXPECT_EQ(Math_Mandelbrot(-1.0f, 0.0f, 50), 50);  // a 2-cycle stays bounded
    EXPECT_EQ(Math_Mandelbrot(0.5, 0.0, 100), 4);     // 0.5, 0.75, 1.06, 1.63, then 3.15
}

TEST(Tables, EndpointsShapeAndOneInstance) {
    const Math_Tables& t = Math_GetTables();
    EXPECT_EQ(&t, &Math_GetTables());
    EXPECT_EQ(t.smoothStep16[65535], 65536);
    EXPECT_EQ(t.square16[65535], 65535);
    EXPECT_EQ(t.smoothStep8[255], 256);
    EXPECT_EQ(t.square16[32768], 16384);  // just over a quarter, truncated
    // Both curves rise from 0; the smooth step is symmetric: s(i) + s(65535 - i)
    // is 65536 up to truncation.
    EXPECT_EQ(t.smoothStep16[0] + t.square16[0] + t.smoothStep8[0], 0);
    for (std::size_t i = 1; i < Math_Tables::kWideSize; ++i) {
        ASSERT_LE(t.smoothStep16[i - 1], t.smoothStep16[i]) << i;
        ASSERT_LE(t.square16[i - 1], t.square16[i]) << i;
        const i32 sum = t.smoothStep16[i] + t.smoothStep16[65535 - i];
        ASSERT_TRUE(sum == 65535 || sum == 65536) << i;
    }
}

TEST(Random, ClassicSequence) {
    Math_SRand(1);
    EXPECT_EQ(Math_Rand(), 41);
    EXPECT_EQ(Math_Rand(), 18467);
    EXPECT_EQ(Math_Rand(), 6334);

    // Another seed, and far along its sequence: literal values, not the
    // formula again.
    Math_SRand(12345);
    EXPECT_EQ(Math_Rand(), 7584);
    EXPECT_EQ(Math_Rand(), 19164);
    for (int i = 2; i < 999; ++i) ASSERT_LE(Math_Rand(), MATH_RAND_MAX);
    EXPECT_EQ(Math_Rand(), 23642);
    Math_SRand(1);  // leave the generator as a fresh process has it
}

}  // namespace
