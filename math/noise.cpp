#include "math/noise.h"

#include "math/scalar.h"

#include "math/internal/exact_float.h"  // last: it changes how the code below compiles

namespace {

// Wrapping 32-bit addition and multiplication without signed overflow.
std::int32_t AddWrap(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}
std::int32_t MulWrap(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) * static_cast<std::uint32_t>(b));
}

// Truncation toward zero that saturates instead of overflowing; NaN gives 0.
std::int32_t TruncToInt(float x) {
    if (!(x == x)) return 0;
    if (x >= 2147483648.0f) return INT32_MAX;
    if (x < -2147483648.0f) return INT32_MIN;
    return static_cast<std::int32_t>(x);
}

// The lattice point of x: its truncation, or that of x - 1 below zero.
std::int32_t LatticeOf(float x) { return x < 0.0f ? TruncToInt(x - 1.0f) : TruncToInt(x); }

// Where x lies past its lattice point.
float FractionOf(float x, std::int32_t lattice) { return x - static_cast<float>(lattice); }

template <typename T>
std::int32_t MandelbrotOf(T cx, T cy, std::int32_t maxIter) {
    T re = 0;
    T im = 0;
    std::int32_t done = 0;
    while (done < maxIter) {
        const T nextRe = re * re - im * im + cx;
        const T nextIm = T(2) * re * im + cy;
        re = nextRe;
        im = nextIm;
        if (re * re + im * im >= T(4)) break;
        ++done;
    }
    return done;
}

}  // namespace

double Math_Noise(std::int32_t n) {
    std::uint32_t u = static_cast<std::uint32_t>(n);
    u = (u << 13) ^ u;
    const std::uint32_t h = u * (u * u * 15731u + 789221u) - 771171059u;
    return static_cast<double>(h & 0x7FFFFFFFu) / 2147483648.0;
}

double Math_NoiseSigned(std::int32_t n) {
    const double v = Math_Noise(n);
    return (n & 1) ? -v : v;
}

double Math_NoiseWrap(std::int32_t x, std::int32_t seed, std::int32_t period) {
    return Math_Noise(AddWrap(Math_Wrap(x, period), seed));
}

double Math_NoiseMod(std::int32_t x, std::int32_t seed, std::int32_t period) {
    return Math_Noise(AddWrap(Math_Mod(x, period), seed));
}

double Math_Noise2(std::int32_t x, std::int32_t y, std::int32_t width) {
    return Math_Noise(AddWrap(MulWrap(y, width), x));
}

double Math_ValueNoise(float x, std::int32_t seed, std::int32_t period) {
    return Math_NoiseWrap(LatticeOf(x), seed, period);
}

double Math_ValueNoiseLinear(float x, std::int32_t seed, std::int32_t period) {
    const std::int32_t i = LatticeOf(x);
    const double p = Math_NoiseWrap(i, seed, period);
    const double q = Math_NoiseWrap(AddWrap(i, 1), seed, period);
    return Math_Lerp(p, q, static_cast<double>(FractionOf(x, i)));
}

double Math_ValueNoiseQuadratic(float x, std::int32_t seed, std::int32_t period) {
    const std::int32_t i = LatticeOf(x);
    const double p = Math_NoiseWrap(i, seed, period);
    const double q = Math_NoiseWrap(AddWrap(i, 1), seed, period);
    const double r = Math_NoiseWrap(AddWrap(i, 2), seed, period);
    const double m = (p + q) / 2.0;
    const double n = (q + r) / 2.0;
    const double f = FractionOf(x, i);
    const double g = 1.0 - f;
    return g * g * m + 2.0 * g * f * q + f * f * n;
}

std::int32_t Math_Mandelbrot(float cx, float cy, std::int32_t maxIter) { return MandelbrotOf(cx, cy, maxIter); }
std::int32_t Math_Mandelbrot(double cx, double cy, std::int32_t maxIter) { return MandelbrotOf(cx, cy, maxIter); }
