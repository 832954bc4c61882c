/// @file
/// Instruction-set levels of the pixel loops. Every level draws and converts
/// exactly the same pixels; only the speed differs. The level is chosen once
/// per process: the best the processor runs, unless the environment variable
/// QUILLORY_SIMD (scalar, sse2 or avx2) asks for another; a level that is not
/// available then falls back to the best available below it.
#pragma once

#include <cstdint>

enum : std::int32_t {
    GFX_SIMD_SCALAR = 0,  ///< portable C++, the reference
    GFX_SIMD_SSE2 = 1,    ///< the x86-64 baseline
    GFX_SIMD_AVX2 = 2,    ///< chosen when the processor has it
    GFX_SIMD_LEVEL_COUNT = 3
};

/// Whether this build has the level and this processor runs it.
bool Gfx_SimdLevelAvailable(std::int32_t level);

/// The highest available level not above `level` (scalar at worst).
std::int32_t Gfx_SimdFallback(std::int32_t level);

/// The level chosen for this process (see above).
std::int32_t Gfx_SimdDefaultLevel();

/// "scalar", "sse2", "avx2", or null for an unknown level.
const char* Gfx_SimdLevelName(std::int32_t level);

/// The level named by `name` (as Gfx_SimdLevelName spells it), or -1.
std::int32_t Gfx_SimdLevelFromName(const char* name);
