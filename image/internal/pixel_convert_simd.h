// Vector rows of the pixel converter for the pairs the demo converts. A row
// converts the leading pixels of a row it can do whole vectors of and
// returns how many; the scalar row finishes the rest. Every vector row gives
// exactly the bytes of the scalar rows.
#pragma once

#include <cstdint>

enum Gfx_ConvertPair : std::uint32_t {
    GFX_CONVERT_21_TO_24,  // B, G, R to B, G, R, 0
    GFX_CONVERT_24_TO_6,   // the red byte
    GFX_CONVERT_24_TO_23,  // A R G B to R G B A (also in place)
    GFX_CONVERT_14_TO_24,  // 5-6-5 widened, alpha 0
    GFX_CONVERT_4_TO_24,   // palette look-up
    GFX_CONVERT_PAIR_COUNT
};

// `palette`: the 256 finished format-24 pixels of a palette source.
using Gfx_ConvertVectorFn = std::uint32_t (*)(const std::uint8_t* src, std::uint32_t count, std::uint8_t* dst,
                                              const std::uint32_t* palette);

// Null entries: the level has no vector row for the pair.
struct Gfx_ConvertRowTable {
    const char* name;
    Gfx_ConvertVectorFn row[GFX_CONVERT_PAIR_COUNT];
};

// x86-64 builds only; call only when the level is available.
const Gfx_ConvertRowTable& Gfx_ConvertRows_Sse2();
const Gfx_ConvertRowTable& Gfx_ConvertRows_Avx2();
