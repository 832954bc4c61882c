#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <type_traits>
#include <vector>

#include "golden_hash.h"
#include "quillory.h"

namespace {

using i32 = std::int32_t;

// Arguments of both signs, zero, ties, periods under 1, values just past the
// 32-bit range, the type's extremes, infinities and NaN.
const std::vector<double> kReals = {-INFINITY, -1e12, -2147483648.5, -1e10,        -130.0, -83.5, -70.0,    -65.0,
                                    -10.5,     -3.7,  -0.52,         -0.5,         -1e-30, -0.0,  0.0,      0.05,
                                    0.12,      0.25,  0.49,          0.5,          1.0,    5.0,   7.5,      64.0,
                                    70.0,      83.25, 130.0,         2147483648.0, 1e10,   1e12,  INFINITY, NAN};
const std::vector<i32> kInts = {
    INT_MIN, -(1 << 30) - 1, -130,          -70,    -65, -64, -10, -7, -1, 0, 1, 2, 3, 5, 7, 8, 63, 64, 65, 70, 130,
    300,     1 << 30,        (1 << 30) + 1, INT_MAX};

// Every operation of one scalar type over all pairs of `values`, hashed.
template <typename T>
std::uint64_t ScalarOpsHash(const std::vector<T>& values, T lo, T hi) {
    GoldenHash h;
    for (const T a : values) {
        h.Add(Math_Abs(a), Math_Clamp(a, lo, hi), Math_ClampSwap(a, lo, hi));
        if constexpr (std::is_same_v<T, i32>) h.Add(Math_NextPow2(a));
        if constexpr (std::is_floating_point_v<T>)
            h.Add(Math_Trunc(a), Math_SmoothStep(a), Math_Sign(a), Math_Step(a), Math_Box(a));
        for (const T b : values) {
            h.Add(Math_Mod(a, b), Math_Div(a, b), Math_Wrap(a, b), Math_MirrorMod(a, b), Math_MirrorWrap(a, b));
            h.Add(Math_Min(a, b), Math_Max(a, b), Math_Compare(a, b));
            if constexpr (std::is_floating_point_v<T>) h.Add(Math_Lerp(a, b, T(0.25)), Math_SmoothLerp(a, b, T(0.25)));
        }
    }
    return h.value;
}

// The results bit for bit (the sign of zero included: Min and Max return b
// on ties and for NaN, Abs keeps -0.0) over the grid, for the types whose
// code differs: signed, unsigned, narrow, float and double.
TEST(Scalar, GoldenResultsOverAGrid) {
    EXPECT_EQ(ScalarOpsHash(kInts, 0, 255), 0x8a5652c763c8f8a8ull);
    EXPECT_EQ(ScalarOpsHash<std::uint32_t>({0, 1, 5, 63, 64, 70, 130, 0x80000000u, 0xFFFFFFFFu}, 5, 130),
              0x658ea4d2ad1ff9dfull);
    EXPECT_EQ(ScalarOpsHash<std::int8_t>({-128, -127, -65, -1, 0, 1, 7, 64, 127}, -1, 64), 0xfcd800d00910f289ull);
    EXPECT_EQ(ScalarOpsHash(std::vector<float>(kReals.begin(), kReals.end()), 0.0f, 1.0f), 0x698021846cb8c84eull);
    EXPECT_EQ(ScalarOpsHash(kReals, -0.5, 64.0), 0x4bdbed15f6cba6d4ull);
}

// The float Wrap lands a whole number of periods from its argument, inside
// [0, p] (p itself where the whole-step rule rounds there), for periods under
// 1 and just below multiples of -p too.
TEST(Scalar, FloatWrapStaysInsideThePeriod) {
    for (const double p : {64.0, 83.25, 0.05})
        for (int i = -2000; i < 2000; i += 3) {
            const double a = i * p / 61.0;
            const double r = Math_Wrap(a, p);
            const float rf = Math_Wrap(static_cast<float>(a), static_cast<float>(p));
            ASSERT_TRUE(r >= 0.0 && r <= p && rf >= 0.0f && rf <= static_cast<float>(p)) << a << " " << p;
            ASSERT_NEAR((a - r) / p, std::round((a - r) / p), 1e-6) << a << " " << p;
        }
}

TEST(Scalar, SortCurvesAndErf) {
    i32 ints[] = {5, -3, INT_MAX, 0, INT_MIN, 5};
    Math_Sort(ints, 6);
    const i32 sortedInts[] = {INT_MIN, -3, 0, 5, 5, INT_MAX};
    EXPECT_TRUE(std::equal(ints, ints + 6, sortedInts));
    Math_Sort(static_cast<i32*>(nullptr), 10);  // nothing to do, no crash
    Math_Sort(ints, 6, sizeof(i32), nullptr);

    // The curves built on the C library, to its accuracy.
    EXPECT_NEAR(Math_CosLerp(10.0, 20.0, 0.25), 11.464466094067262, 1e-12);  // 10 + 10 (1 - cos(pi / 4)) / 2
    EXPECT_EQ(Math_Sinc(0.0f), 1.0f);
    EXPECT_NEAR(Math_Sinc(0.5), 2.0 / 3.141592653589793, 1e-15);
    EXPECT_NEAR(Math_Exp(1.0), 2.718281828459045, 1e-15);
    double worst = 0.0;
    for (int i = -400; i <= 400; ++i) {
        const double t = i / 100.0;
        worst = std::fmax(worst, std::fabs(Math_Erf(t) - std::erf(t)));
        EXPECT_EQ(Math_Erf(-t), -Math_Erf(t));
        EXPECT_EQ(Math_Erfc(t), 1.0 - Math_Erf(t));
    }
    EXPECT_LT(worst, 4e-4);
}

// The hash and the noise built on it: in [0, 1), periodic in the period,
// the smooth forms continuous across lattice points (negative ones too),
// and every value pinned over a grid.
TEST(Noise, RangePeriodContinuityAndGoldenValues) {
    GoldenHash h;
    for (const i32 n : kInts) {
        const double v = Math_Noise(n);
        EXPECT_TRUE(v >= 0.0 && v < 1.0) << n;
        EXPECT_EQ(Math_NoiseSigned(n), (n & 1) ? -v : v) << n;
        for (const i32 m : {0, 1, 16, 1 << 30, INT_MAX})
            h.Add(Math_Noise2(n, m, 10), Math_NoiseWrap(n, m, 16), Math_NoiseMod(n, 5, m),
                  Math_NoiseWrap(m, n, 1 << 30));
    }
    for (const double x : kReals) {
        const float f = static_cast<float>(x);
        h.Add(Math_ValueNoise(f, 7, 32), Math_ValueNoiseLinear(f, 7, 32), Math_ValueNoiseQuadratic(f, 7, 32));
        for (const double y : kReals) h.Add(Math_Mandelbrot(f, static_cast<float>(y), 60), Math_Mandelbrot(x, y, 60));
    }
    EXPECT_EQ(h.value, 0x31f25bbd8f02ab3dull);
    for (i32 x = -40; x < 40; ++x) EXPECT_EQ(Math_NoiseWrap(x, 99, 16), Math_NoiseWrap(x + 16, 99, 16)) << x;
    for (float x : {-7.0f, -2.0f, 0.0f, 1.0f, 12.0f}) {
        EXPECT_EQ(Math_ValueNoise(x + 0.9f, 7, 32), Math_NoiseWrap(static_cast<i32>(x), 7, 32)) << x;
        EXPECT_NEAR(Math_ValueNoiseLinear(x - 1e-3f, 7, 32), Math_ValueNoiseLinear(x, 7, 32), 3e-3) << x;
        EXPECT_NEAR(Math_ValueNoiseQuadratic(x - 1e-3f, 7, 32), Math_ValueNoiseQuadratic(x, 7, 32), 3e-3) << x;
    }
}

// The curves rise from 0 (to 65536, 65535 and 256); the smooth step is
// symmetric: s(i) + s(65535 - i) is 65536 up to truncation. The hash pins
// every entry.
TEST(Tables, ShapeAndOneInstance) {
    const Math_Tables& t = Math_GetTables();
    EXPECT_EQ(&t, &Math_GetTables());
    GoldenHash h;
    for (std::size_t i = 1; i < Math_Tables::kWideSize; ++i) {
        ASSERT_LE(t.smoothStep16[i - 1], t.smoothStep16[i]) << i;
        const i32 sum = t.smoothStep16[i] + t.smoothStep16[65535 - i];
        ASSERT_TRUE(sum == 65535 || sum == 65536) << i;
        h.Add(t.smoothStep16[i], t.square16[i], t.smoothStep8[i % Math_Tables::kByteSize]);
    }
    EXPECT_EQ(h.value, 0xabe671dae002045cull);
}

// Literal values of two seeds, one far along its sequence: not the formula again.
TEST(Random, ClassicSequence) {
    Math_SRand(1);
    EXPECT_EQ(Math_Rand(), 41);
    EXPECT_EQ(Math_Rand(), 18467);
    Math_SRand(12345);
    for (int i = 0; i < 999; ++i) ASSERT_LE(Math_Rand(), MATH_RAND_MAX);
    EXPECT_EQ(Math_Rand(), 23642);
    Math_SRand(1);  // leave the generator as a fresh process has it
}

}  // namespace
