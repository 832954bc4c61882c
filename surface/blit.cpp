#include "surface/blit.h"

#include <algorithm>
#include <atomic>
#include <cstdint>

#include "image/image.h"
#include "math/shapes.h"
#include "math/vector.h"
#include "surface/blit_kernel.h"
#include "surface/surface.h"
#include "surface/draw_params.h"

namespace {

// A start-up setting, atomic so that every thread sees a change whole.
std::atomic<Gfx_BlitTransformedFn> g_override{nullptr};

}  // namespace

void Gfx_SetBlitOverride(Gfx_BlitTransformedFn hook) { g_override.store(hook); }

Gfx_BlitTransformedFn Gfx_GetBlitOverride() { return g_override.load(); }

bool Gfx_Blit_SetSimdLevel(std::int32_t level) { return Gfx_GetBlitKernel().SetSimdLevel(level); }

std::int32_t Gfx_Blit_GetSimdLevel() { return Gfx_GetBlitKernel().GetSimdLevel(); }

bool Gfx_Surface_BlitTransformed(C_Surface* src, C_Surface* dst, const C_Rect* srcRect, const C_Frame* clip,
                                 const C_Frame* clip2, const C_Vector2D* position, std::uint32_t mode,
                                 const C_DrawParams* params) {
    if (const Gfx_BlitTransformedFn hook = g_override.load())
        return hook(src, dst, srcRect, clip, clip2, position, mode, params);
    return Gfx_Surface_BlitTransformedBuiltin(src, dst, srcRect, clip, clip2, position, mode, params);
}

// Turns the pivot, the mirror flags and the wrap flags into one to nine
// placements of the kernel. The pivot is where the source is held: the
// offset from it to the source's top-left corner is scaled and rotated, then
// added to the position.
bool Gfx_Surface_BlitTransformedBuiltin(C_Surface* src, C_Surface* dst, const C_Rect* srcRect, const C_Frame* clip,
                                        const C_Frame* clip2, const C_Vector2D* position, std::uint32_t mode,
                                        const C_DrawParams* params) {
    C_Blit_Kernel& kernel = Gfx_GetBlitKernel();
    if (!params) return kernel.Blit_Fixed(src, dst, srcRect, clip, clip2, position, mode, nullptr);
    const C_DrawParams& p = *params;
    const C_Vector2D pos = position ? *position : C_Vector2D();

    const bool plain = !p.flipV && !p.flipH && p.pivot.align == 0 && !p.wrapH && !p.wrapV;
    C_Vector2D offset;
    float W = 0.0f, H = 0.0f;
    if (plain) {
        offset = C_Vector2D(-p.pivot.x * p.scale.x, -p.pivot.y * p.scale.y);
    } else {
        const C_Image* srcColor = src ? src->GetPlane(GFX_PLANE_COLOR) : nullptr;
        const C_Image* srcAlpha = src ? src->GetPlane(GFX_PLANE_ALPHA) : nullptr;
        const C_Image* dstColor = dst ? dst->GetPlane(GFX_PLANE_COLOR) : nullptr;
        if (!dstColor || (!srcColor && !srcAlpha)) return false;
        const C_Image& sizeImage = srcColor ? *srcColor : *srcAlpha;

        // The target rectangle, whose size the wrap copies are shifted by.
        std::int64_t tx0 = 0, ty0 = 0, tx1 = dstColor->width, ty1 = dstColor->height;
        if (clip) {
            tx0 = clip->x0;
            ty0 = clip->y0;
            tx1 = clip->x1;
            ty1 = clip->y1;
        }
        if (clip2) {
            tx0 = std::max<std::int64_t>(tx0, clip2->x0);
            ty0 = std::max<std::int64_t>(ty0, clip2->y0);
            tx1 = std::min<std::int64_t>(tx1, clip2->x1);
            ty1 = std::min<std::int64_t>(ty1, clip2->y1);
        }
        W = static_cast<float>(tx1 - tx0);
        H = static_cast<float>(ty1 - ty0);

        // The source rectangle, limited to the source image.
        float sx0 = 0.0f, sy0 = 0.0f;
        auto sx1 = static_cast<float>(sizeImage.width), sy1 = static_cast<float>(sizeImage.height);
        if (srcRect) {
            sx0 = std::max(srcRect->x0, 0.0f);
            sy0 = std::max(srcRect->y0, 0.0f);
            sx1 = std::min(srcRect->x1, sx1);
            sy1 = std::min(srcRect->y1, sy1);
        }

        // The pivot, resolved inside the source rectangle and mirrored with
        // the picture so that it stays on the same picture point.
        const float w = sx1 - sx0, h = sy1 - sy0;
        float px = Gfx_AlignCoord(p.pivot.x, w, Gfx_AlignCodeX(p.pivot.align));
        float py = Gfx_AlignCoord(p.pivot.y, h, Gfx_AlignCodeY(p.pivot.align));
        if (p.flipH) px = w - px;
        if (p.flipV) py = h - py;
        offset = C_Vector2D(-px * p.scale.x, -py * p.scale.y);
    }
    offset.Rotate(p.angle);

    // Measured from the right or the bottom, x or y runs the other way.
    if (Gfx_AlignCodeX(pos.align) == 1) offset.x = -offset.x;
    if (Gfx_AlignCodeY(pos.align) == 1) offset.y = -offset.y;

    const C_Vector2D at(pos.x + offset.x, pos.y + offset.y, pos.align);
    const bool result = kernel.Blit_Fixed(src, dst, srcRect, clip, clip2, &at, mode, params);
    if (plain || !result) return result;

    // Wrap-around copies, one target width or height away: left and right,
    // then the four corners, then above and below.
    const bool wrapH = p.wrapH == 1, wrapV = p.wrapV == 1;
    static constexpr int kCopies[8][2] = {{1, 0}, {-1, 0}, {1, 1}, {1, -1}, {-1, 1}, {-1, -1}, {0, 1}, {0, -1}};
    for (const auto& d : kCopies) {
        if ((d[0] != 0 && !wrapH) || (d[1] != 0 && !wrapV)) continue;
        const C_Vector2D copy(at.x + static_cast<float>(d[0]) * W, at.y + static_cast<float>(d[1]) * H, at.align);
        kernel.Blit_Fixed(src, dst, srcRect, clip, clip2, &copy, mode, params);
    }
    return true;
}
