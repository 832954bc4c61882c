/// @file
/// The framework's own pseudo-random generator. Every random draw in the
/// framework and the demo comes from here rather than from the C library, so
/// a run draws the same sequence on every machine and C library. Each thread
/// has its own sequence, starting at state 1.
#pragma once

#include <cstdint>

/// The largest value Math_Rand returns.
inline constexpr std::int32_t MATH_RAND_MAX = 32767;

/// Restarts the calling thread's sequence. The state is 1 until the first call.
void Math_SRand(std::uint32_t seed);

/// The next value, 0..MATH_RAND_MAX: a 32-bit linear congruential step
/// (state * 214013 + 2531011, wrapping) whose bits 16..30 are the result.
std::int32_t Math_Rand();
