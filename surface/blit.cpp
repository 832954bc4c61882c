#include "surface/blit.h"

namespace {

Gfx_BlitTransformedFn g_override = nullptr;

}  // namespace

void Gfx_SetBlitOverride(Gfx_BlitTransformedFn hook) { g_override = hook; }

Gfx_BlitTransformedFn Gfx_GetBlitOverride() { return g_override; }

bool Gfx_Surface_BlitTransformed(C_Surface* src, C_Surface* dst, const C_Rect* srcRect, const C_Frame* clip,
                                 const C_Frame* clip2, const C_Vector2D* position, std::uint32_t mode,
                                 const C_DrawParams* params) {
    if (g_override) return g_override(src, dst, srcRect, clip, clip2, position, mode, params);
    return Gfx_Surface_BlitTransformedBuiltin(src, dst, srcRect, clip, clip2, position, mode, params);
}

bool Gfx_Surface_BlitTransformedBuiltin(C_Surface*, C_Surface*, const C_Rect*, const C_Frame*, const C_Frame*,
                                        const C_Vector2D*, std::uint32_t, const C_DrawParams*) {
    // Filled in as the surface and geometry classes land.
    return false;
}
