#include "surface/blit.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>

#include "core/error.h"
#include "image/image.h"
#include "math/shapes.h"
#include "math/vector.h"
#include "surface/blit_kernel.h"
#include "surface/surface.h"
#include "surface/draw_params.h"

namespace {

// A start-up setting, atomic so that every thread sees a change whole.
std::atomic<Gfx_BlitTransformedFn> g_override{nullptr};

// A 32-bit plane whose pixels or rows do not start on 4-byte boundaries: a
// legal view (CreateLocked) into a byte buffer. The kernels address 32-bit
// pixels as words, so such a plane is drawn through an aligned copy; the
// copy holds the same bits, so the pixels come out as they would in place.
bool Misaligned32(const C_Image* image) {
    return image && image->data && image->bpp == 32 &&
           (reinterpret_cast<std::uintptr_t>(image->data) % 4 != 0 || image->pitch % 4 != 0);
}

std::size_t RowBytes(const C_Image& image) { return std::size_t{image.width} * 4; }

// The rows of `image` as stored, in an aligned image of the same size,
// format and row order. False (nothing copied) when the buffer is shorter
// than its rows say or memory runs out.
bool AlignedCopy(const C_Image& image, C_Image& copy) {
    if (image.width == 0 || image.height == 0) return false;
    const std::uint64_t needed = std::uint64_t{image.height - 1} * image.pitch + RowBytes(image);
    if (image.pitch < RowBytes(image) || needed > image.dataSize) return false;
    if (!copy.CreateEmpty(image.width, image.height, image.format, GFX_FMT_NONE)) return false;
    copy.bottomUp = image.bottomUp;
    for (std::uint32_t y = 0; y < image.height; ++y)
        std::memcpy(copy.data + std::size_t{y} * copy.pitch, image.data + std::size_t{y} * image.pitch,
                    RowBytes(image));
    return true;
}

void CopyRowsBack(const C_Image& copy, C_Image& image) {
    for (std::uint32_t y = 0; y < image.height; ++y)
        std::memcpy(image.data + std::size_t{y} * image.pitch, copy.data + std::size_t{y} * copy.pitch,
                    RowBytes(image));
}

// The call drawn with aligned copies of the misaligned colour planes (the
// source's is not looked at when the kernel reads derived copies, which the
// library allocated itself); the destination's copy is written back.
bool BlitAligned(C_Surface* src, C_Surface* dst, const C_Rect* srcRect, const C_Frame* clip, const C_Frame* clip2,
                 const C_Vector2D* position, std::uint32_t mode, const C_DrawParams* params, bool& handled) {
    C_Image* srcColor = src && !Gfx_GetBlitKernel().useDerived ? src->GetPlane(GFX_PLANE_COLOR) : nullptr;
    C_Image* dstColor = dst ? dst->GetPlane(GFX_PLANE_COLOR) : nullptr;
    const bool srcOdd = Misaligned32(srcColor), dstOdd = Misaligned32(dstColor);
    handled = srcOdd || dstOdd;
    if (!handled) return true;

    C_Image srcCopy, dstCopy;
    if ((dstOdd && !AlignedCopy(*dstColor, dstCopy)) ||
        (srcOdd && srcColor != dstColor && !AlignedCopy(*srcColor, srcCopy))) {
        Gfx_Fail(GFX_ERR_NO_MEMORY, "C_Blit_Kernel::Blit_Fixed{aligned copy}", "C_Blit_Kernel::Blit_Fixed");
        Gfx_SetErrorReason(
            "a 32-bit plane not on 4-byte boundaries is drawn through an aligned copy, and the copy could not be "
            "made (its buffer is shorter than its rows, or memory ran out)");
        return false;
    }
    // A surface drawn onto itself reads and writes the one copy.
    C_Image* srcPlane = !srcOdd ? srcColor : srcColor == dstColor ? &dstCopy : &srcCopy;
    C_Surface alignedSrc(GFX_PLANES_BORROWED, srcPlane, src ? src->GetPlane(GFX_PLANE_ALPHA) : nullptr);
    C_Surface alignedDst(GFX_PLANES_BORROWED, dstOdd ? &dstCopy : dstColor, dst->GetPlane(GFX_PLANE_ALPHA));
    C_Surface* from = srcOdd ? &alignedSrc : src;
    const bool result = Gfx_Surface_BlitTransformedBuiltin(from, dstOdd ? &alignedDst : dst, srcRect, clip, clip2,
                                                           position, mode, params);
    if (dstOdd) CopyRowsBack(dstCopy, *dstColor);
    return result;
}

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
    bool aligned = false;
    const bool alignedResult = BlitAligned(src, dst, srcRect, clip, clip2, position, mode, params, aligned);
    if (aligned) return alignedResult;

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
        if (!dstColor) {
            Gfx_Fail(GFX_ERR_NULL_ARG, "Gfx_Surface_BlitTransformed{ImageDst}", "Gfx_Surface_BlitTransformed");
            Gfx_SetErrorReason("%s", "the destination surface has no colour plane (plane 1) to draw on");
            return false;
        }
        if (!srcColor && !srcAlpha) {
            Gfx_Fail(GFX_ERR_NULL_ARG, "Gfx_Surface_BlitTransformed{ImageSrc}", "Gfx_Surface_BlitTransformed");
            Gfx_SetErrorReason("%s", "the source surface has neither a colour plane (1) nor an alpha plane (2)");
            return false;
        }
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
    // A copy the kernel refuses (one that reaches a plane it cannot draw
    // on) makes the call fail; the others are still drawn.
    bool drawn = true;
    for (const auto& d : kCopies) {
        if ((d[0] != 0 && !wrapH) || (d[1] != 0 && !wrapV)) continue;
        const C_Vector2D copy(at.x + static_cast<float>(d[0]) * W, at.y + static_cast<float>(d[1]) * H, at.align);
        drawn = kernel.Blit_Fixed(src, dst, srcRect, clip, clip2, &copy, mode, params) && drawn;
    }
    return drawn;
}
