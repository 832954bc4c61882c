// BMP and TGA writers: what they store, checked by loading the files back.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "image/internal/codecs.h"
#include "image_test_support.h"
#include "quillory.h"
#include "test_support.h"

namespace {

using Loader = bool (C_Image::*)(const char*);
using Saver = bool (*)(const C_Image*, const char*);

// A w × h picture whose bytes all differ, with some runs for the encoder.
void Fill(C_Image& image, std::uint32_t w, std::uint32_t h, std::int32_t format, std::int32_t palFormat) {
    ASSERT_TRUE(image.CreateEmpty(w, h, format, palFormat));
    for (std::uint32_t i = 0; i < image.dataSize; ++i) image.data[i] = static_cast<std::uint8_t>(i < 8 ? 7 : i * 37);
    for (std::uint32_t i = 0; i < image.paletteSize; ++i) image.m_palette[i] = static_cast<std::uint8_t>(i * 11);
}

struct RoundTrip {
    const char* name;
    Saver save;
    Loader load;
    std::int32_t format;
    std::int32_t palFormat;
    std::int32_t loadedFormat;  // what the reader gives back
};

const RoundTrip kRoundTrips[] = {
    {"bmp24", Gfx_Image_SaveBMP, &C_Image::LoadBMP, GFX_FMT_RGB888, -1, GFX_FMT_RGB888},
    {"bmp8", Gfx_Image_SaveBMP, &C_Image::LoadBMP, GFX_FMT_INDEX8, GFX_FMT_RGB888, GFX_FMT_INDEX8},
    {"bmp32", Gfx_Image_SaveBMP, &C_Image::LoadBMP, GFX_FMT_ARGB8888, -1, GFX_FMT_ARGB8888},
    {"tga24", Gfx_Image_SaveTGA, &C_Image::LoadTGA, GFX_FMT_RGB888, -1, GFX_FMT_RGB888},
    {"tga32", Gfx_Image_SaveTGA, &C_Image::LoadTGA, GFX_FMT_ARGB8888, -1, GFX_FMT_RGBA8888},
    {"tga-grey", Gfx_Image_SaveTGA, &C_Image::LoadTGA, GFX_FMT_CH8, -1, GFX_FMT_CH8},
};

// Every file loads back as the picture saved; the files' bytes together
// match a golden hash, so nothing beyond the picture goes into them either.
TEST(Writers, RoundTripThroughTheReaders) {
    Bytes all;
    for (const RoundTrip& t : kRoundTrips) {
        SCOPED_TRACE(t.name);
        for (const std::uint32_t w : {1u, 5u, 130u}) {
            C_Image image;
            Fill(image, w, 3, t.format, t.palFormat);
            const std::string path = Quillory_TempPath(std::string("written.") + t.name);
            ASSERT_TRUE(t.save(&image, path.c_str())) << Gfx_GetErrorReason();
            const Bytes file = ReadFile(path);
            Append(all, file);
            if (t.save == Gfx_Image_SaveBMP) {  // the header states the file's size
                EXPECT_EQ(LeBytes({file.size()}, 4), Bytes(file.begin() + 2, file.begin() + 6));
            }
            C_Image back;
            ASSERT_TRUE((back.*t.load)(path.c_str())) << Gfx_GetErrorReason();
            ASSERT_EQ(back.format, t.loadedFormat);
            ASSERT_EQ(back.width, w);
            ASSERT_EQ(back.height, 3u);
            // 8-bit channels convert exactly between the byte orders.
            ASSERT_TRUE(Gfx_Image_ChangeFormat(&back, t.format, GFX_FMT_SAME, 0));
            EXPECT_EQ(AllBytes(back), AllBytes(image));
            if (image.m_palette) {
                EXPECT_EQ(Bytes(back.m_palette, back.m_palette + 768), Bytes(image.m_palette, image.m_palette + 768));
            }
        }
    }
    EXPECT_EQ(Fnv1a(all), 0x54dacfd891b84df9ull) << std::hex << Fnv1a(all);
}

// Packed 1-, 2- and 4-bit indices (most significant bits first) are written
// one index per byte.
TEST(Writers, PackedIndicesAreWrittenOnePerByte) {
    for (const std::int32_t format : {GFX_FMT_INDEX1, GFX_FMT_INDEX2, GFX_FMT_INDEX4}) {
        C_Image image;
        Fill(image, 13, 3, format, GFX_FMT_RGB888);
        const std::uint32_t bits = format == GFX_FMT_INDEX1 ? 1 : format == GFX_FMT_INDEX2 ? 2 : 4;
        const std::string path = Quillory_TempPath("packed.bmp");
        ASSERT_TRUE(Gfx_Image_SaveBMP(&image, path.c_str())) << Gfx_GetErrorReason();
        C_Image back;
        ASSERT_TRUE(back.LoadBMP(path.c_str())) << Gfx_GetErrorReason();
        ASSERT_EQ(back.format, GFX_FMT_INDEX8);
        for (std::uint32_t y = 0; y < 3; ++y)
            for (std::uint32_t x = 0; x < 13; ++x) {
                const std::uint32_t bit = x * bits;
                const std::uint32_t index = image.Row(y)[bit / 8] >> (8 - bits - bit % 8) & ((1u << bits) - 1);
                ASSERT_EQ(back.Row(y)[x], index) << bits << " bits at " << x << "," << y;
            }
    }
}

// Each writer refuses, leaving the file already there alone: an image
// without pixels, a format it cannot store, indices without a palette, and
// a path that cannot be created.
TEST(Writers, RefusalsNameTheProblem) {
    const std::string path = Quillory_TempPath("refused.bmp");
    WriteFile(path, {1, 2, 3});
    for (const Saver save : {Gfx_Image_SaveBMP, Gfx_Image_SaveTGA, Gfx_Image_SavePNG}) {
        C_Image empty, floats, noPalette, fine;
        ASSERT_TRUE(floats.CreateEmpty(2, 2, GFX_FMT_CH32F, -1));
        ASSERT_TRUE(noPalette.CreateEmpty(2, 2, GFX_FMT_INDEX8, -1));
        Fill(fine, 2, 2, GFX_FMT_RGB888, -1);
        const std::pair<const C_Image*, std::int32_t> cases[] = {
            {&empty, GFX_ERR_NULL_ARG}, {&floats, GFX_ERR_FORMAT}, {&noPalette, GFX_ERR_PALETTE_FORMAT}};
        for (const auto& [image, code] : cases) {
            EXPECT_FALSE(save(image, path.c_str()));
            EXPECT_EQ(Gfx_GetErrorDetailCode(), code);
            EXPECT_EQ(ReadFile(path), Bytes({1, 2, 3}));
        }
        EXPECT_FALSE(save(&fine, Quillory_TempPath("no-such-dir/x.bmp").c_str()));
        EXPECT_EQ(Gfx_GetErrorDetailCode(), GFX_ERR_OPEN_WRITE);
        EXPECT_STRNE(Gfx_GetErrorReason(), "");
    }
}

// Whether a picture shows alpha decides whether the one-call writers keep
// it: an alpha channel (wherever it lies) or a palette with alpha shows only
// where a pixel is not opaque.
TEST(Writers, VisibleAlphaIsAnyPixelNotOpaque) {
    const Bytes alphaPalette = {1, 2, 3, 0xFF, 4, 5, 6, 0};  // entry 1 clear
    const struct {
        const char* name;
        std::int32_t format, palFormat;
        Bytes pixels, palette;
        bool visible;
    } cases[] = {
        {"ARGB, one translucent", GFX_FMT_ARGB8888, -1, {1, 2, 3, 0xFF, 4, 5, 6, 0xFE}, {}, true},
        {"RGBA, one clear", GFX_FMT_RGBA8888, -1, {0xFF, 1, 2, 3, 0, 4, 5, 6}, {}, true},
        {"4-4-4-4, one translucent", GFX_FMT_ARGB4444, -1, LeBytes({0xF123, 0xE456}, 2), {}, true},
        {"no alpha channel", GFX_FMT_RGB565, -1, {0, 0, 0, 0}, {}, false},
        {"palette with alpha, opaque entries used", GFX_FMT_INDEX8, GFX_FMT_ARGB8888, {0, 0}, alphaPalette, false},
        {"palette with alpha, a clear entry used", GFX_FMT_INDEX8, GFX_FMT_ARGB8888, {0, 1}, alphaPalette, true},
        {"palette without alpha", GFX_FMT_INDEX8, GFX_FMT_RGB888, {0, 1}, {1, 2, 3, 4, 5, 6}, false},
    };
    for (const auto& c : cases) {
        C_Image image;
        ASSERT_TRUE(image.CreateEmpty(2, 1, c.format, c.palFormat));
        std::memcpy(image.data, c.pixels.data(), c.pixels.size());
        if (!c.palette.empty()) std::memcpy(image.m_palette, c.palette.data(), c.palette.size());
        EXPECT_EQ(Gfx_Image_HasVisibleAlpha(image), c.visible) << c.name;
    }
    EXPECT_FALSE(Gfx_Image_HasVisibleAlpha(C_Image()));
}

}  // namespace
