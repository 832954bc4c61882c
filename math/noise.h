/// @file
/// Hash noise, value noise and the Mandelbrot iteration count. All integer
/// hashing is 32-bit wrapping arithmetic, so results are the same everywhere.
#pragma once

#include <cstdint>

/// A hash of n into [0, 1): n = (n << 13) ^ n, then
/// ((n * (n * n * 15731 + 789221) - 771171059) & 0x7FFFFFFF) / 2^31.
double Math_Noise(std::int32_t n);
/// Math_Noise(n), negated when n is odd: a value in (-1, 1).
double Math_NoiseSigned(std::int32_t n);
/// Math_Noise(Math_Wrap(x, period) + seed): repeats every `period` steps,
/// negative x included.
double Math_NoiseWrap(std::int32_t x, std::int32_t seed, std::int32_t period);
/// Math_Noise(x % period + seed), with the truncating remainder (0 when period
/// is 0), so negative x do not line up with positive ones.
double Math_NoiseMod(std::int32_t x, std::int32_t seed, std::int32_t period);
/// Math_Noise(y * width + x): a 2D lattice flattened row by row.
double Math_Noise2(std::int32_t x, std::int32_t y, std::int32_t width);

/// Value noise along a line: lattice values Math_NoiseWrap(i, seed, period) at
/// the whole numbers i, and f the fraction of x past its lattice point. The
/// lattice point of x is its truncation, or that of x - 1 for negative x.
/// The value at the lattice point (steps).
double Math_ValueNoise(float x, std::int32_t seed, std::int32_t period);
/// Linear between the lattice points on either side.
double Math_ValueNoiseLinear(float x, std::int32_t seed, std::int32_t period);
/// A quadratic B-spline through three lattice values p, q, r: with
/// m = (p + q) / 2 and n = (q + r) / 2, (1 - f)^2 m + 2 (1 - f) f q + f^2 n.
double Math_ValueNoiseQuadratic(float x, std::int32_t seed, std::int32_t period);

/// Iterates z = z^2 + c from z = 0 at most maxIter times and returns how many
/// iterations completed before |z|^2 reached 4 (0 when maxIter < 1). The
/// float form iterates in float, the double form in double.
std::int32_t Math_Mandelbrot(float cx, float cy, std::int32_t maxIter);
std::int32_t Math_Mandelbrot(double cx, double cy, std::int32_t maxIter);
