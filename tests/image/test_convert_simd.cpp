// The vector rows of the demo's conversions against the scalar rows: every
// available level must give the same bytes for every pair, row length and
// alignment, in place too.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "image/internal/pixel_convert.h"
#include "quillory.h"

namespace {

std::uint32_t g_seed = 1;

std::uint8_t RndByte() {
    g_seed = g_seed * 214013u + 2531011u;
    return static_cast<std::uint8_t>(g_seed >> 16);
}

struct Pair {
    std::int32_t src, dst;
};

constexpr Pair kPairs[] = {{GFX_FMT_RGB888, GFX_FMT_ARGB8888},
                           {GFX_FMT_ARGB8888, GFX_FMT_CH8},
                           {GFX_FMT_ARGB8888, GFX_FMT_RGBA8888},
                           {GFX_FMT_RGB565, GFX_FMT_ARGB8888},
                           {GFX_FMT_INDEX8, GFX_FMT_ARGB8888}};

// Restores the converter's level after a test.
struct LevelGuard {
    std::int32_t saved = Gfx_Convert_GetSimdLevel();
    ~LevelGuard() { Gfx_Convert_SetSimdLevel(saved); }
};

void Randomise(C_Image& image) {
    for (std::uint32_t i = 0; i < image.dataSize; ++i) image.data[i] = RndByte();
    for (std::uint32_t i = 0; i < image.paletteSize; ++i) image.m_palette[i] = RndByte();
}

std::vector<std::uint8_t> Bytes(const C_Image& image) { return {image.data, image.data + image.dataSize}; }

std::vector<std::uint8_t> Convert(const C_Image& src, std::int32_t dstFormat, Gfx_RowPath path) {
    C_Image dst;
    EXPECT_TRUE(dst.CreateEmpty(src.width, src.height, dstFormat, GFX_FMT_NONE));
    EXPECT_TRUE(Gfx_Image_CopyPixels(&src, &dst, path));
    return Bytes(dst);
}

TEST(ConvertSimd, EveryLevelGivesTheBytesOfTheScalarRows) {
    LevelGuard guard;
    g_seed = 4242;
    int compared = 0;
    for (const Pair& pair : kPairs) {
        ASSERT_TRUE(Gfx_HasFastRow(pair.src, pair.dst));
        // Every length from 1 to 80 meets every vector width with every
        // remainder, and every start offset of a 3-byte row.
        for (std::uint32_t width = 1; width <= 80; ++width) {
            C_Image src;
            ASSERT_TRUE(
                src.CreateEmpty(width, 3, pair.src, pair.src == GFX_FMT_INDEX8 ? GFX_FMT_RGB888 : GFX_FMT_NONE));
            Randomise(src);
            ASSERT_TRUE(Gfx_Convert_SetSimdLevel(GFX_SIMD_SCALAR));
            const std::vector<std::uint8_t> reference = Convert(src, pair.dst, Gfx_RowPath::Fastest);
            ASSERT_EQ(reference, Convert(src, pair.dst, Gfx_RowPath::General)) << pair.src << "->" << pair.dst;
            for (std::int32_t level = GFX_SIMD_SSE2; level < GFX_SIMD_LEVEL_COUNT; ++level) {
                if (!Gfx_Convert_SetSimdLevel(level)) continue;
                ASSERT_EQ(reference, Convert(src, pair.dst, Gfx_RowPath::Fastest))
                    << Gfx_SimdLevelName(level) << " " << pair.src << "->" << pair.dst << " width " << width;
                ++compared;
            }
        }
    }
    if (compared == 0) GTEST_SKIP() << "no SIMD level in this build or on this processor";
}

// 24 → 23 keeps the bits per pixel, so it converts in place.
TEST(ConvertSimd, InPlaceConversionMatchesAtEveryLevel) {
    LevelGuard guard;
    g_seed = 99;
    C_Image original;
    ASSERT_TRUE(original.CreateEmpty(77, 5, GFX_FMT_ARGB8888, GFX_FMT_NONE));
    Randomise(original);
    std::vector<std::uint8_t> reference;
    for (std::int32_t level = GFX_SIMD_SCALAR; level < GFX_SIMD_LEVEL_COUNT; ++level) {
        if (!Gfx_Convert_SetSimdLevel(level)) continue;
        C_Image image;
        ASSERT_TRUE(Gfx_Image_Clone(&original, &image, GFX_FMT_SAME, GFX_FMT_SAME, 0));
        const std::uint8_t* before = image.data;
        ASSERT_TRUE(Gfx_Image_ChangeFormat(&image, GFX_FMT_RGBA8888, GFX_FMT_SAME, 0));
        EXPECT_EQ(image.data, before);
        if (level == GFX_SIMD_SCALAR)
            reference = Bytes(image);
        else
            EXPECT_EQ(Bytes(image), reference) << Gfx_SimdLevelName(level);
    }
    // One pixel by hand: A R G B becomes R G B A.
    std::uint32_t first;
    std::memcpy(&first, reference.data(), 4);
    std::uint32_t was;
    std::memcpy(&was, original.data, 4);
    EXPECT_EQ(first, (was << 8) | (was >> 24));
}

TEST(ConvertSimd, LevelsThatAreMissingAreRefused) {
    LevelGuard guard;
    EXPECT_TRUE(Gfx_Convert_SetSimdLevel(GFX_SIMD_SCALAR));
    EXPECT_EQ(Gfx_Convert_GetSimdLevel(), GFX_SIMD_SCALAR);
    EXPECT_FALSE(Gfx_Convert_SetSimdLevel(GFX_SIMD_LEVEL_COUNT));
    EXPECT_FALSE(Gfx_Convert_SetSimdLevel(-1));
    EXPECT_EQ(Gfx_Convert_GetSimdLevel(), GFX_SIMD_SCALAR);
}

}  // namespace
