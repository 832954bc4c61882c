#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "image_test_support.h"
#include "quillory.h"

namespace {

struct Field {
    std::uint32_t shift;
    std::uint32_t bits;
};

// The pixel-format table, transcribed row by row: number, bits per pixel,
// channels, kind, palette mark, (position, width) of red, green, blue,
// alpha, and the masks.
struct Expected {
    std::int32_t format;
    std::uint32_t bitsPerPixel;
    std::uint8_t channels;
    std::uint8_t kind;
    std::uint8_t isPalette;
    Field field[4];
    std::uint32_t mask[4];
};

constexpr Expected kTable[] = {
    {1, 1, 1, 1, 1, {{0, 1}, {0, 0}, {0, 0}, {0, 0}}, {0xFF, 0, 0, 0}},
    {2, 2, 1, 2, 1, {{0, 2}, {0, 0}, {0, 0}, {0, 0}}, {0xFF, 0, 0, 0}},
    {3, 4, 1, 2, 1, {{0, 4}, {0, 0}, {0, 0}, {0, 0}}, {0xFF, 0, 0, 0}},
    {4, 8, 1, 2, 1, {{0, 8}, {0, 0}, {0, 0}, {0, 0}}, {0xFF, 0, 0, 0}},
    {5, 1, 1, 1, 0, {{0, 1}, {0, 0}, {0, 0}, {0, 0}}, {0xFF, 0, 0, 0}},
    {6, 8, 1, 2, 0, {{0, 8}, {0, 0}, {0, 0}, {0, 0}}, {0xFF, 0, 0, 0}},
    {7, 16, 1, 2, 0, {{0, 16}, {0, 0}, {0, 0}, {0, 0}}, {0xFFFF, 0, 0, 0}},
    {8, 24, 1, 2, 0, {{0, 24}, {0, 0}, {0, 0}, {0, 0}}, {0xFFFFFF, 0, 0, 0}},
    {9, 32, 1, 2, 0, {{0, 32}, {0, 0}, {0, 0}, {0, 0}}, {0xFFFFFFFF, 0, 0, 0}},
    {10, 32, 1, 3, 0, {{0, 32}, {0, 0}, {0, 0}, {0, 0}}, {0, 0, 0, 0}},
    {11, 64, 1, 4, 0, {{0, 64}, {0, 0}, {0, 0}, {0, 0}}, {0, 0, 0, 0}},
    {12, 8, 3, 2, 0, {{5, 3}, {2, 3}, {0, 2}, {0, 0}}, {0xE0, 0x1C, 0x3, 0}},
    {13, 16, 3, 2, 0, {{10, 5}, {5, 5}, {0, 5}, {0, 0}}, {0x7C00, 0x3E0, 0x1F, 0}},
    {14, 16, 3, 2, 0, {{11, 5}, {5, 6}, {0, 5}, {0, 0}}, {0xF800, 0x7E0, 0x1F, 0}},
    {15, 16, 3, 2, 0, {{10, 6}, {5, 5}, {0, 5}, {0, 0}}, {0xFC00, 0x3E0, 0x1F, 0}},
    {16, 16, 3, 2, 0, {{11, 5}, {6, 5}, {0, 6}, {0, 0}}, {0xF800, 0x7C0, 0x3F, 0}},
    {17, 16, 4, 2, 0, {{11, 5}, {6, 5}, {1, 5}, {0, 1}}, {0xF800, 0x7C0, 0x3E, 0x1}},
    {18, 16, 4, 2, 0, {{12, 4}, {8, 4}, {4, 4}, {0, 4}}, {0xF000, 0xF00, 0xF0, 0xF}},
    {19, 16, 4, 2, 0, {{10, 5}, {5, 5}, {0, 5}, {15, 1}}, {0x7C00, 0x3E0, 0x1F, 0x8000}},
    {20, 16, 4, 2, 0, {{8, 4}, {4, 4}, {0, 4}, {12, 4}}, {0xF00, 0xF0, 0xF, 0xF000}},
    {21, 24, 3, 2, 0, {{16, 8}, {8, 8}, {0, 8}, {0, 0}}, {0xFF0000, 0xFF00, 0xFF, 0}},
    {22, 48, 3, 2, 0, {{32, 16}, {16, 16}, {0, 16}, {0, 0}}, {0, 0, 0, 0}},
    {23, 32, 4, 2, 0, {{24, 8}, {16, 8}, {8, 8}, {0, 8}}, {0xFF000000, 0xFF0000, 0xFF00, 0xFF}},
    {24, 32, 4, 2, 0, {{16, 8}, {8, 8}, {0, 8}, {24, 8}}, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}},
    {25, 64, 4, 2, 0, {{48, 16}, {32, 16}, {16, 16}, {0, 16}}, {0, 0, 0, 0}},
    {26, 64, 4, 2, 0, {{32, 16}, {16, 16}, {0, 16}, {48, 16}}, {0, 0, 0, 0}},
    {27, 8, 3, 2, 0, {{0, 2}, {2, 3}, {5, 3}, {0, 0}}, {0x3, 0x1C, 0xE0, 0}},
    {28, 16, 3, 2, 0, {{0, 5}, {5, 5}, {10, 5}, {0, 0}}, {0x1F, 0x3E0, 0x7C00, 0}},
    {29, 16, 3, 2, 0, {{0, 5}, {5, 6}, {11, 5}, {0, 0}}, {0x1F, 0x7E0, 0xF800, 0}},
    {30, 16, 3, 2, 0, {{0, 5}, {5, 5}, {10, 6}, {0, 0}}, {0x1F, 0x3E0, 0xFC00, 0}},
    {31, 16, 3, 2, 0, {{0, 6}, {6, 5}, {11, 5}, {0, 0}}, {0x3F, 0x7C0, 0xF800, 0}},
    {32, 16, 4, 2, 0, {{1, 5}, {6, 5}, {11, 5}, {0, 1}}, {0x3E, 0x7C0, 0xF800, 0x1}},
    {33, 16, 4, 2, 0, {{4, 4}, {8, 4}, {12, 4}, {0, 4}}, {0xF0, 0xF00, 0xF000, 0xF}},
    {34, 16, 4, 2, 0, {{0, 5}, {5, 5}, {10, 5}, {15, 1}}, {0x1F, 0x3E0, 0x7C00, 0x8000}},
    {35, 16, 4, 2, 0, {{0, 4}, {4, 4}, {8, 4}, {12, 4}}, {0xF, 0xF0, 0xF00, 0xF000}},
    {36, 24, 3, 2, 0, {{0, 8}, {8, 8}, {16, 8}, {0, 0}}, {0xFF, 0xFF00, 0xFF0000, 0}},
    {37, 48, 3, 2, 0, {{0, 16}, {16, 16}, {32, 16}, {0, 0}}, {0, 0, 0, 0}},
    {38, 32, 4, 2, 0, {{8, 8}, {16, 8}, {24, 8}, {0, 8}}, {0xFF00, 0xFF0000, 0xFF000000, 0xFF}},
    {39, 32, 4, 2, 0, {{0, 8}, {8, 8}, {16, 8}, {24, 8}}, {0xFF, 0xFF00, 0xFF0000, 0xFF000000}},
    {40, 64, 4, 2, 0, {{16, 16}, {32, 16}, {48, 16}, {0, 16}}, {0, 0, 0, 0}},
    {41, 64, 4, 2, 0, {{0, 16}, {16, 16}, {32, 16}, {48, 16}}, {0, 0, 0, 0}},
    {42, 96, 3, 3, 0, {{64, 32}, {32, 32}, {0, 32}, {0, 0}}, {0, 0, 0, 0}},
    {43, 128, 4, 3, 0, {{96, 32}, {64, 32}, {32, 32}, {0, 32}}, {0, 0, 0, 0}},
    {44, 128, 4, 3, 0, {{64, 32}, {32, 32}, {0, 32}, {96, 32}}, {0, 0, 0, 0}},
    {45, 96, 3, 3, 0, {{0, 32}, {32, 32}, {64, 32}, {0, 0}}, {0, 0, 0, 0}},
    {46, 128, 4, 3, 0, {{32, 32}, {64, 32}, {96, 32}, {0, 32}}, {0, 0, 0, 0}},
    {47, 128, 4, 3, 0, {{0, 32}, {32, 32}, {64, 32}, {96, 32}}, {0, 0, 0, 0}},
};

TEST(FormatDesc, EveryFormatMatchesTheTable) {
    ASSERT_EQ(std::size(kTable), 47u);
    for (const Expected& e : kTable) {
        SCOPED_TRACE("format " + std::to_string(e.format));
        Gfx_FormatDesc d;
        ASSERT_TRUE(Gfx_GetFormatDesc(e.format, &d));
        EXPECT_EQ(d.format, e.format);
        EXPECT_EQ(d.bitsPerPixel, e.bitsPerPixel);
        EXPECT_EQ(d.bytesPerPixel, e.bitsPerPixel < 8 ? 1u : e.bitsPerPixel / 8);
        EXPECT_EQ(d.isPalette, e.isPalette);
        EXPECT_EQ(d.kind, e.kind);
        EXPECT_EQ(d.channels, e.channels);
        // Shifts are not given for the two one-channel float formats, masks
        // only for integer formats of at most 32 bits.
        const bool hasShifts = e.format != GFX_FMT_CH32F && e.format != GFX_FMT_CH64F;
        const bool hasMasks = e.kind <= GFX_KIND_UINT && e.bitsPerPixel <= 32;
        for (int c = 0; c < 4; ++c) {
            SCOPED_TRACE("channel " + std::to_string(c));
            EXPECT_EQ(d.bits[c], e.field[c].bits);
            if (hasShifts) {
                EXPECT_EQ(d.shift[c], e.field[c].shift);
            }
            if (hasMasks) {
                EXPECT_EQ(d.mask[c], e.mask[c]);
            }
        }
    }
}

TEST(FormatDesc, PseudoFormatsAndNumbersOutsideTheTable) {
    for (std::int32_t f : {GFX_FMT_SAME, GFX_FMT_NONE}) {
        Gfx_FormatDesc d;
        d.bitsPerPixel = 99;
        d.isPalette = 9;
        ASSERT_TRUE(Gfx_GetFormatDesc(f, &d));
        EXPECT_EQ(d.format, f);
        EXPECT_EQ(d.bitsPerPixel, 0u);
        EXPECT_EQ(d.isPalette, 0u);
    }
    for (std::int32_t f : {0, -3, 48, 1000, INT_MIN, INT_MAX}) {
        Gfx_FormatDesc d;
        EXPECT_FALSE(Gfx_GetFormatDesc(f, &d)) << f;
        EXPECT_FALSE(Gfx_GetFormatDesc(f, nullptr)) << f;
    }
    EXPECT_TRUE(Gfx_GetFormatDesc(GFX_FMT_ARGB8888, nullptr));
}

TEST(FormatDesc, SingleChannelFormat) {
    // The Part's examples, then one of each remaining class.
    EXPECT_EQ(Gfx_GetSingleChannelFormat(18), 18);
    EXPECT_EQ(Gfx_GetSingleChannelFormat(24), 6);
    EXPECT_EQ(Gfx_GetSingleChannelFormat(22), 7);
    EXPECT_EQ(Gfx_GetSingleChannelFormat(43), 10);
    EXPECT_EQ(Gfx_GetSingleChannelFormat(4), 4);
    for (std::int32_t f : {12, 14, 21, 27, 36}) EXPECT_EQ(Gfx_GetSingleChannelFormat(f), 6) << f;
    for (std::int32_t f : {23, 38, 39}) EXPECT_EQ(Gfx_GetSingleChannelFormat(f), 6) << f;
    for (std::int32_t f : {25, 26, 37, 40, 41}) EXPECT_EQ(Gfx_GetSingleChannelFormat(f), 7) << f;
    for (std::int32_t f : {42, 44, 45, 46, 47}) EXPECT_EQ(Gfx_GetSingleChannelFormat(f), 10) << f;
    for (std::int32_t f : {1, 2, 3, 5, 6, 7, 8, 9, 10, 11, 17, 19, 20, 32, 33, 34, 35})
        EXPECT_EQ(Gfx_GetSingleChannelFormat(f), f) << f;

    Gfx_ClearError();
    EXPECT_EQ(Gfx_GetSingleChannelFormat(0), 0);
    ExpectFailure(GFX_ERR_FORMAT, "Gfx_GetSingleChannelFormat{newFormat}", "Gfx_GetSingleChannelFormat");
    EXPECT_EQ(Gfx_GetSingleChannelFormat(77), 0);
}

TEST(FormatDesc, FormattedColor) {
    const C_Color magenta(1.0f, 0.0f, 1.0f, 0.0f);
    const C_Color blue(0.0f, 0.0f, 1.0f, 0.0f);
    EXPECT_EQ(Gfx_GetFormattedColor_32bit(24, &magenta), 0xFF00FFu);
    EXPECT_EQ(Gfx_GetFormattedColor_32bit(14, &blue), 0x001Fu);
    EXPECT_EQ(Gfx_GetFormattedColor_32bit(6, &magenta), 0xFFu);  // green, blue, alpha have no width there
    EXPECT_EQ(Gfx_GetFormattedColor_32bit(23, &magenta), 0xFF00FF00u);
    EXPECT_EQ(Gfx_GetFormattedColor_32bit(21, &magenta), 0xFF00FFu);
    const C_Color alphaOnly(0.0f, 0.0f, 0.0f, 1.0f);
    EXPECT_EQ(Gfx_GetFormattedColor_32bit(19, &alphaOnly), 0x8000u);
    EXPECT_EQ(Gfx_GetFormattedColor_32bit(9, &magenta), 0xFFFFFFFFu);
    // Full 32-bit precision, computed in double: 0.5 × 4294967295 truncates
    // to 0x7FFFFFFF, whose top byte is 0x7F.
    const C_Color half(0.5f, 0.5f, 0.5f, 0.5f);
    EXPECT_EQ(Gfx_GetFormattedColor_32bit(24, &half), 0x7F7F7F7Fu);
    EXPECT_EQ(Gfx_GetFormattedColor_32bit(5, &half), 0u);
    EXPECT_EQ(Gfx_GetFormattedColor_32bit(GFX_FMT_NONE, &magenta), 0u);

    Gfx_ClearError();
    EXPECT_EQ(Gfx_GetFormattedColor_32bit(0, &magenta), 0u);
    ExpectFailure(GFX_ERR_FORMAT, "Gfx_GetFormattedColor_32bit{pFormat}", "Gfx_GetFormattedColor_32bit");
    Gfx_ClearError();
    EXPECT_EQ(Gfx_GetFormattedColor_32bit(GFX_FMT_RGB48, &magenta), 0u);  // no 32-bit value exists
    ExpectFailure(GFX_ERR_FORMAT, "Gfx_GetFormattedColor_32bit{pFormat}", "Gfx_GetFormattedColor_32bit");
    Gfx_ClearError();
    EXPECT_EQ(Gfx_GetFormattedColor_32bit(24, nullptr), 0u);
    ExpectFailure(GFX_ERR_NULL_ARG, "Gfx_GetFormattedColor_32bit{pColor}", "Gfx_GetFormattedColor_32bit");
}

}  // namespace
