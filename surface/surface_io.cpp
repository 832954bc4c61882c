#include "surface/surface_io.h"

#include <cstring>
#include <string>

#include "core/error.h"
#include "image/format.h"
#include "image/image.h"
#include "image/image_io.h"
#include "image/internal/codecs.h"
#include "image/png.h"
#include "surface/surface.h"

namespace {

constexpr const char* kFromSite = "Gfx_Surface_FromImage";
constexpr const char* kSaveSite = "Gfx_Surface_SavePNG";

bool Refuse(std::int32_t code, const char* site, const char* member, const std::string& reason) {
    Gfx_Fail(code, member, site);
    Gfx_SetErrorReason("%s", reason.c_str());
    return false;
}

// The alpha plane of an ARGB8888 picture, or false when every pixel is opaque.
bool SplitAlpha(const C_Image& argb, C_Image& alpha) {
    if (!Gfx_Image_HasVisibleAlpha(argb)) return false;
    if (!alpha.CreateEmpty(argb.width, argb.height, GFX_FMT_CH8, GFX_FMT_NONE)) return false;
    for (std::uint32_t y = 0; y < argb.height; ++y) {
        const std::uint8_t* in = argb.Row(y);
        std::uint8_t* out = alpha.Row(y);
        for (std::uint32_t x = 0; x < argb.width; ++x) out[x] = in[std::size_t{x} * 4 + 3];
    }
    return true;
}

}  // namespace

bool Gfx_Surface_FromImage(C_Surface* surface, const C_Image* image) {
    if (!surface || !image)
        return Refuse(GFX_ERR_NULL_ARG, kFromSite,
                      surface ? "Gfx_Surface_FromImage{image}" : "Gfx_Surface_FromImage{surface}",
                      "Gfx_Surface_FromImage needs a surface and a picture");
    surface->Free();
    surface->Init();
    auto* color = new C_Image;
    if (!Gfx_Image_WidenToARGB(*image, *color)) {
        delete color;
        return false;
    }
    auto* alpha = new C_Image;
    const bool hasAlpha = SplitAlpha(*color, *alpha);
    if (!hasAlpha) {
        delete alpha;
        alpha = nullptr;
    }
    surface->AddPlane(color, GFX_PLANE_COLOR);
    if (alpha) surface->AddPlane(alpha, GFX_PLANE_ALPHA);
    return true;
}

bool Gfx_Surface_LoadFile(C_Surface* surface, const char* path) {
    if (!surface)
        return Refuse(GFX_ERR_NULL_ARG, "Gfx_Surface_LoadFile", "Gfx_Surface_LoadFile{surface}",
                      "Gfx_Surface_LoadFile needs a surface");
    C_Image picture;
    if (!Gfx_Image_LoadFile(&picture, path, GFX_FMT_NONE)) {
        const std::string reason = Gfx_GetErrorReason();
        surface->Free();
        surface->Init();
        Gfx_SetErrorReason("%s", reason.c_str());
        return false;
    }
    return Gfx_Surface_FromImage(surface, &picture);
}

bool Gfx_Surface_SavePNG(const C_Surface* surface, const char* path) {
    const C_Image* color = surface ? surface->GetPlane(GFX_PLANE_COLOR) : nullptr;
    if (!color || !path)
        return Refuse(GFX_ERR_NULL_ARG, kSaveSite, "Gfx_Surface_SavePNG{surface}",
                      std::string(path ? path : "(no file name)") + ": the surface has no colour plane to write");
    C_Image rgba;
    if (!Gfx_Image_WidenToARGB(*color, rgba)) {
        const std::string reason = Gfx_GetErrorReason();
        return Refuse(GFX_ERR_FORMAT, kSaveSite, "Gfx_Surface_SavePNG{color}", std::string(path) + ": " + reason);
    }
    const C_Image* alpha = surface->GetPlane(GFX_PLANE_ALPHA);
    if (!alpha) {
        if (Gfx_Image_SavePNG_Opaque(&rgba, path)) return true;
        return Refuse(GFX_ERR_OPEN_WRITE, kSaveSite, "Gfx_Surface_SavePNG(path)",
                      std::string(path) + ": cannot be written (" + Gfx_GetErrorDetail() + ")");
    }
    Gfx_FormatDesc d{};
    C_Image coverage;
    if (!Gfx_GetFormatDesc(alpha->format, &d) || d.channels != 1 || d.isPalette || alpha->width < rgba.width ||
        alpha->height < rgba.height || !Gfx_Image_WidenToARGB(*alpha, coverage))
        return Refuse(GFX_ERR_FORMAT, kSaveSite, "Gfx_Surface_SavePNG{alpha}",
                      std::string(path) +
                          ": the alpha plane must be a one-channel picture at least as large as the colour plane");
    // Widened one-channel values sit in every colour byte; blue is as good.
    for (std::uint32_t y = 0; y < rgba.height; ++y) {
        std::uint8_t* out = rgba.Row(y);
        const std::uint8_t* in = coverage.Row(y);
        for (std::uint32_t x = 0; x < rgba.width; ++x) out[std::size_t{x} * 4 + 3] = in[std::size_t{x} * 4];
    }
    if (Gfx_Image_SavePNG(&rgba, path)) return true;
    return Refuse(GFX_ERR_OPEN_WRITE, kSaveSite, "Gfx_Surface_SavePNG(path)",
                  std::string(path) + ": cannot be written (" + Gfx_GetErrorDetail() + ")");
}
