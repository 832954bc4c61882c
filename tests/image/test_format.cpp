#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <string>

#include "image_test_support.h"
#include "quillory.h"

namespace {

// The fields the format table defines, as text: shifts are not given for the
// two one-channel float formats, masks only for integer formats of at most
// 32 bits.
std::string Describe(const Gfx_FormatDesc& d) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%d:%u/%u/%u/%u/%u", d.format, d.bitsPerPixel, d.bytesPerPixel, d.isPalette, d.kind,
                  d.channels);
    std::string text = buf;
    const bool hasShifts = d.format != GFX_FMT_CH32F && d.format != GFX_FMT_CH64F;
    const bool hasMasks = d.kind <= GFX_KIND_UINT && d.bitsPerPixel <= 32;
    for (int c = 0; c < 4; ++c) {
        std::snprintf(buf, sizeof buf, " %u@%u#%x", d.bits[c], hasShifts ? d.shift[c] : 0u, hasMasks ? d.mask[c] : 0u);
        text += buf;
    }
    return text;
}

// The whole table against its golden hash: every field of every row.
TEST(FormatDesc, EveryFormatMatchesTheTable) {
    std::string all;
    for (std::int32_t f = 1; f <= 47; ++f) {
        Gfx_FormatDesc d;
        ASSERT_TRUE(Gfx_GetFormatDesc(f, &d)) << f;
        all += Describe(d) + "\n";
    }
    EXPECT_EQ(Fnv1a(all), 0x1da566fe49234326ull) << all;
}

// The pseudo formats describe no pixels; numbers outside the table are refused.
TEST(FormatDesc, PseudoFormatsAndNumbersOutsideTheTable) {
    for (std::int32_t f : {GFX_FMT_SAME, GFX_FMT_NONE}) {
        Gfx_FormatDesc d;
        d.bitsPerPixel = 99;
        ASSERT_TRUE(Gfx_GetFormatDesc(f, &d));
        EXPECT_EQ(std::make_pair(d.format, d.bitsPerPixel), std::make_pair(f, 0u));
    }
    for (std::int32_t f : {0, -3, 48, INT_MIN, INT_MAX}) {
        Gfx_FormatDesc d;
        EXPECT_FALSE(Gfx_GetFormatDesc(f, &d)) << f;
    }
}

TEST(FormatDesc, SingleChannelFormat) {
    // Formats 1..47 in order, then the two refusals.
    const std::int32_t expected[] = {1, 2, 3, 4, 5, 6, 7, 8,  9,  10, 11, 6, 6, 6, 6, 6, 17, 18, 19, 20, 6,  7,  6, 6,
                                     7, 7, 6, 6, 6, 6, 6, 32, 33, 34, 35, 6, 7, 6, 6, 7, 7,  10, 10, 10, 10, 10, 10};
    for (std::int32_t f = 1; f <= 47; ++f) EXPECT_EQ(Gfx_GetSingleChannelFormat(f), expected[f - 1]) << f;
    for (std::int32_t f : {0, 77}) {
        EXPECT_EQ(Gfx_GetSingleChannelFormat(f), 0);
        EXPECT_EQ(Gfx_GetErrorDetailCode(), GFX_ERR_FORMAT);
    }
}

TEST(FormatDesc, FormattedColor) {
    const C_Color magenta(1.0f, 0.0f, 1.0f, 0.0f), blue(0.0f, 0.0f, 1.0f, 0.0f);
    const C_Color alphaOnly(0.0f, 0.0f, 0.0f, 1.0f), half(0.5f, 0.5f, 0.5f, 0.5f);
    struct Case {
        std::int32_t format;
        const C_Color* color;
        std::uint32_t value;
    };
    // Full 32-bit precision, computed in double: 0.5 × 4294967295 truncates
    // to 0x7FFFFFFF, whose top byte is 0x7F.
    const Case cases[] = {{24, &magenta, 0xFF00FFu},   {14, &blue, 0x001Fu},      {6, &magenta, 0xFFu},
                          {23, &magenta, 0xFF00FF00u}, {21, &magenta, 0xFF00FFu}, {19, &alphaOnly, 0x8000u},
                          {9, &magenta, 0xFFFFFFFFu},  {24, &half, 0x7F7F7F7Fu},  {5, &half, 0u},
                          {GFX_FMT_NONE, &magenta, 0u}};
    for (const Case& c : cases) EXPECT_EQ(Gfx_GetFormattedColor_32bit(c.format, c.color), c.value) << c.format;

    Gfx_ClearError();
    EXPECT_EQ(Gfx_GetFormattedColor_32bit(GFX_FMT_RGB48, &magenta), 0u);  // no 32-bit value exists for 48 bits
    ExpectFailure(GFX_ERR_FORMAT, "Gfx_GetFormattedColor_32bit{pFormat}", "Gfx_GetFormattedColor_32bit");
    EXPECT_EQ(Gfx_GetFormattedColor_32bit(24, nullptr), 0u);
    EXPECT_EQ(Gfx_GetErrorDetailCode(), GFX_ERR_NULL_ARG);
}

}  // namespace
