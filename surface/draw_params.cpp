#include "surface/draw_params.h"

namespace {

std::uint32_t KnownCode(std::uint32_t nibble) { return nibble <= 2 ? nibble : 0; }

}  // namespace

std::uint32_t Gfx_AlignCodeX(std::uint8_t align) { return KnownCode(align & 0x0Fu); }

std::uint32_t Gfx_AlignCodeY(std::uint8_t align) { return KnownCode(static_cast<std::uint32_t>(align) >> 4); }

float Gfx_AlignCoord(float v, float w, std::uint32_t code) {
    switch (code) {
    case 1: return w - v;
    case 2: return w / 2.0f + v;
    default: return v;
    }
}

float Gfx_AlignBaseIn(std::int32_t lo, std::int32_t hi, std::uint32_t code, bool& fromFar) {
    fromFar = code == 1;
    switch (code) {
    case 1: return static_cast<float>(hi);
    case 2: return static_cast<float>(static_cast<std::int64_t>(hi) - lo) / 2.0f + static_cast<float>(lo);
    default: return static_cast<float>(lo);
    }
}

float Gfx_AlignCoordIn(float v, std::int32_t lo, std::int32_t hi, std::uint32_t code) {
    bool fromFar = false;
    const float base = Gfx_AlignBaseIn(lo, hi, code, fromFar);
    return fromFar ? base - v : base + v;
}

C_Vector2D Gfx_ResolveAnchor(const C_Vector2D& point, float w, float h) {
    return C_Vector2D(Gfx_AlignCoord(point.x, w, Gfx_AlignCodeX(point.align)),
                      Gfx_AlignCoord(point.y, h, Gfx_AlignCodeY(point.align)));
}
