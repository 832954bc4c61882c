// Surfaces from pictures with and without alpha, and back to an RGBA PNG.
#include <gtest/gtest.h>

#include <string>

#include "quillory.h"
#include "test_support.h"

namespace {

TEST(SurfaceIO, AlphaPlaneOnlyWhenThePictureHasAlpha) {
    for (const bool translucent : {false, true}) {
        SCOPED_TRACE(translucent);
        C_Image picture;
        ASSERT_TRUE(picture.CreateEmpty(4, 3, GFX_FMT_ARGB8888, GFX_FMT_NONE));
        for (std::uint32_t i = 0; i < 12; ++i) {
            picture.data[4 * i] = static_cast<std::uint8_t>(i * 20);
            picture.data[4 * i + 1] = 7;
            picture.data[4 * i + 2] = static_cast<std::uint8_t>(255 - i);
            picture.data[4 * i + 3] = translucent ? static_cast<std::uint8_t>(i * 21) : 0xFF;
        }
        const std::string path = Quillory_TempPath("sprite.png");
        ASSERT_TRUE(Gfx_Image_SaveFile(&picture, path.c_str(), GFX_QUALITY_DEFAULT)) << Gfx_GetErrorReason();

        C_Surface surface;
        ASSERT_TRUE(Gfx_Surface_LoadFile(&surface, path.c_str())) << Gfx_GetErrorReason();
        const C_Image* color = surface.GetPlane(GFX_PLANE_COLOR);
        const C_Image* alpha = surface.GetPlane(GFX_PLANE_ALPHA);
        ASSERT_NE(color, nullptr);
        EXPECT_EQ(color->format, GFX_FMT_ARGB8888);
        EXPECT_EQ(surface.GetWidth(), 4u);
        ASSERT_EQ(alpha != nullptr, translucent);
        if (alpha) {
            EXPECT_EQ(alpha->format, GFX_FMT_CH8);
            for (std::uint32_t i = 0; i < 12; ++i) EXPECT_EQ(alpha->data[i], i * 21);
        }

        // Saved back, colour and alpha plane make the picture again.
        const std::string again = Quillory_TempPath("again.png");
        ASSERT_TRUE(Gfx_Surface_SavePNG(&surface, again.c_str())) << Gfx_GetErrorReason();
        C_Image reloaded;
        ASSERT_TRUE(Gfx_Image_LoadFile(&reloaded, again.c_str(), GFX_FMT_ARGB8888));
        ASSERT_EQ(reloaded.dataSize, picture.dataSize);
        for (std::uint32_t i = 0; i < picture.dataSize; ++i) EXPECT_EQ(reloaded.data[i], picture.data[i]) << i;
    }
}

TEST(SurfaceIO, FailedLoadLeavesNoPlanes) {
    C_Image picture;
    picture.CreateEmpty(2, 2, GFX_FMT_CH8, GFX_FMT_NONE);
    C_Surface surface;
    ASSERT_TRUE(Gfx_Surface_FromImage(&surface, &picture));
    EXPECT_FALSE(Gfx_Surface_LoadFile(&surface, Quillory_TempPath("none.png").c_str()));
    EXPECT_EQ(surface.GetPlane(GFX_PLANE_COLOR), nullptr);
    EXPECT_NE(std::string(Gfx_GetErrorReason()).find("none.png: cannot be opened"), std::string::npos);
}

}  // namespace
