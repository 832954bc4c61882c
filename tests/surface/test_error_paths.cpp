// Failure reports of the surface operations read back from the error record:
// the specific code and message, then the summary line of the operation.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "error_case.h"
#include "quillory.h"

namespace {

constexpr std::int32_t kNoSuchFormat = 99;

// Runs `call` with `image`'s format replaced by one that does not exist.
std::function<bool()> WithUnknownFormat(C_Image& image, std::function<bool()> call) {
    return [&image, call] {
        const std::int32_t kept = image.format;
        image.format = kNoSuchFormat;
        const bool ok = call();
        image.format = kept;
        return ok;
    };
}

TEST(ErrorPaths, SurfaceDrawingReportsUnknownFormatsAndMissingSurfaces) {
    C_Image srcColour, srcAlpha, dstColour;
    ASSERT_TRUE(srcColour.CreateEmpty(4, 4, GFX_FMT_ARGB8888, GFX_FMT_NONE, C_Color(1.0f, 0.0f, 0.0f, 1.0f)));
    ASSERT_TRUE(srcAlpha.CreateEmpty(4, 4, GFX_FMT_CH8, GFX_FMT_NONE, C_Color(1.0f, 1.0f, 1.0f, 1.0f)));
    ASSERT_TRUE(dstColour.CreateEmpty(8, 8, GFX_FMT_ARGB8888, GFX_FMT_NONE, C_Color(0.0f, 0.0f, 0.0f, 0.0f)));
    C_Surface picture(1, &srcColour, &srcAlpha);
    C_Surface mask(1, nullptr, &srcAlpha);  // alpha only: drawn as coverage of the fill colour
    C_Surface target(1, &dstColour);
    const C_Vector2D at(2.0f, 2.0f);
    const C_Vector2Di pixel(1, 1);
    const C_Color white(1.0f, 1.0f, 1.0f, 1.0f);
    auto blit = [&at, &target](C_Surface& src) {
        return [&at, &target, &src] {
            return Gfx_Surface_BlitTransformed(&src, &target, nullptr, nullptr, nullptr, &at, 0, nullptr);
        };
    };
    const std::string blitSite = "C_Blit_Kernel::Blit_Fixed";

    const std::vector<ErrorCase> cases = {
        {"format change of no surface", [] { return Gfx_Surface_ChangeFormat(nullptr, GFX_FMT_ARGB8888, -2, 0); },
         GFX_ERR_NULL_ARG, "Gfx_Surface_ChangeFormat{pSurface->format}", "Gfx_Surface_ChangeFormat"},
        {"point on an unknown destination format",
         WithUnknownFormat(dstColour, [&] { return Gfx_Surface_Blit(&target, &pixel, &white, nullptr, nullptr); }),
         GFX_ERR_FORMAT, "Gfx_Surface_Blit{ImageDst->format}", "Gfx_Surface_Blit"},
        {"blit from an unknown source format", WithUnknownFormat(srcColour, blit(picture)), GFX_ERR_FORMAT,
         blitSite + "{ImageSrc->format}", blitSite},
        // A mask takes its pixel layout from the destination, so the source
        // side is the one reported.
        {"mask onto an unknown destination format", WithUnknownFormat(dstColour, blit(mask)), GFX_ERR_FORMAT,
         blitSite + "{ImageSrc->format}", blitSite},
        {"blit onto an unknown destination format", WithUnknownFormat(dstColour, blit(picture)), GFX_ERR_FORMAT,
         blitSite + "{ImageDst->format}", blitSite},
    };
    for (const ErrorCase& c : cases) ExpectReported(c);

    // Nothing was drawn by the refused calls.
    for (std::uint32_t y = 0; y < dstColour.height; ++y)
        for (std::uint32_t i = 0; i < 4 * dstColour.width; ++i)
            ASSERT_EQ(dstColour.data[y * dstColour.pitch + i], 0u) << "row " << y << ", byte " << i;
}

}  // namespace
