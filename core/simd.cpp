#include "core/simd.h"

#include <cstdlib>
#include <cstring>

namespace {

// The SIMD sources are only part of x86-64 builds; the build says so with
// QUILLORY_X86_SIMD.
bool ProcessorRuns(std::int32_t level) {
    if (level == GFX_SIMD_SCALAR) return true;
#if defined(QUILLORY_X86_SIMD)
    if (level == GFX_SIMD_SSE2) return true;  // part of every x86-64 processor
#if defined(__GNUC__)
    // Also checks that the system saves the wide registers. The explicit
    // initialisation makes the answer right even during static start-up.
    if (level == GFX_SIMD_AVX2) {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }
#endif
#endif
    return false;
}

constexpr const char* kNames[GFX_SIMD_LEVEL_COUNT] = {"scalar", "sse2", "avx2"};

std::int32_t ChooseLevel() {
    std::int32_t wanted = GFX_SIMD_LEVEL_COUNT - 1;
    if (const char* env = std::getenv("QUILLORY_SIMD")) {
        const std::int32_t named = Gfx_SimdLevelFromName(env);
        if (named >= 0) wanted = named;
    }
    return Gfx_SimdFallback(wanted);
}

}  // namespace

bool Gfx_SimdLevelAvailable(std::int32_t level) {
    if (level < 0 || level >= GFX_SIMD_LEVEL_COUNT) return false;
    static const bool available[GFX_SIMD_LEVEL_COUNT] = {ProcessorRuns(0), ProcessorRuns(1), ProcessorRuns(2)};
    return available[level];
}

std::int32_t Gfx_SimdFallback(std::int32_t level) {
    if (level >= GFX_SIMD_LEVEL_COUNT) level = GFX_SIMD_LEVEL_COUNT - 1;
    while (level > GFX_SIMD_SCALAR && !Gfx_SimdLevelAvailable(level)) --level;
    return level < GFX_SIMD_SCALAR ? GFX_SIMD_SCALAR : level;
}

std::int32_t Gfx_SimdDefaultLevel() {
    static const std::int32_t level = ChooseLevel();
    return level;
}

const char* Gfx_SimdLevelName(std::int32_t level) {
    return level >= 0 && level < GFX_SIMD_LEVEL_COUNT ? kNames[level] : nullptr;
}

std::int32_t Gfx_SimdLevelFromName(const char* name) {
    if (!name) return -1;
    for (std::int32_t i = 0; i < GFX_SIMD_LEVEL_COUNT; ++i)
        if (std::strcmp(name, kNames[i]) == 0) return i;
    return -1;
}
