#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "image/internal/pixel_convert.h"
#include "image_test_support.h"
#include "quillory.h"

namespace {

// The classic LCG, seeded per test so every run sees the same pixels.
struct Lcg {
    std::uint32_t state;
    explicit Lcg(std::uint32_t seed) : state(seed) {}
    std::uint8_t Byte() {
        state = state * 214013u + 2531011u;
        return static_cast<std::uint8_t>((state >> 16) & 0xFF);
    }
};

// A w × h image of `format` holding `bytes` (row after row, pitch = row length).
C_Image Make(std::int32_t format, std::uint32_t w, std::uint32_t h, const Bytes& bytes, std::int32_t pal = -1) {
    C_Image im;
    EXPECT_TRUE(im.CreateEmpty(w, h, format, pal));
    EXPECT_EQ(bytes.size(), im.dataSize);
    std::memcpy(im.data, bytes.data(), im.dataSize);
    return im;
}

C_Image Random(std::int32_t format, std::uint32_t w, std::uint32_t h, std::uint32_t seed, std::int32_t pal = -1) {
    C_Image im;
    EXPECT_TRUE(im.CreateEmpty(w, h, format, pal));
    Lcg rng(seed);
    for (std::uint32_t i = 0; i < im.dataSize; ++i) im.data[i] = rng.Byte();
    for (std::uint32_t i = 0; i < im.paletteSize; ++i) im.m_palette[i] = rng.Byte();
    return im;
}

std::uint32_t Pixel32(const C_Image& im, std::uint32_t x, std::uint32_t y) {
    std::uint32_t v;
    std::memcpy(&v, im.Row(y) + 4 * x, 4);
    return v;
}

// Converts `src` into a fresh image of `format` with Gfx_Image_Clone.
C_Image Converted(const C_Image& src, std::int32_t format) {
    C_Image out;
    EXPECT_TRUE(Gfx_Image_Clone(&src, &out, format, GFX_FMT_NONE, 0));
    return out;
}

// ------------------------------------------------------------ the Part's cases

TEST(ChangeFormat, SameFormatTouchesNothing) {
    C_Image im = Random(24, 3, 2, 1);
    const std::uint8_t* data = im.data;
    const Bytes before = AllBytes(im);
    EXPECT_TRUE(Gfx_Image_ChangeFormat(&im, 24, GFX_FMT_SAME, 0));
    EXPECT_TRUE(Gfx_Image_ChangeFormat(&im, GFX_FMT_SAME, 21, 0));
    EXPECT_EQ(im.data, data);
    EXPECT_EQ(im.format, 24);
    EXPECT_EQ(AllBytes(im), before);
}

TEST(ChangeFormat, Rgb888ToArgb8888AddsZeroAlpha) {
    C_Image im = Random(21, 5, 3, 2);
    const Bytes src = AllBytes(im);
    ASSERT_TRUE(Gfx_Image_ChangeFormat(&im, 24, GFX_FMT_SAME, 0));
    EXPECT_EQ(im.format, 24);
    EXPECT_EQ(im.bpp, 32u);
    EXPECT_EQ(im.pitch, 20u);
    EXPECT_EQ(im.rowBytes, 20u);
    EXPECT_EQ(im.dataSize, 60u);
    EXPECT_EQ(im.locked, 0);
    for (std::size_t i = 0; i < 15; ++i) {
        EXPECT_EQ(im.data[4 * i], src[3 * i]) << i;
        EXPECT_EQ(im.data[4 * i + 1], src[3 * i + 1]) << i;
        EXPECT_EQ(im.data[4 * i + 2], src[3 * i + 2]) << i;
        EXPECT_EQ(im.data[4 * i + 3], 0) << i;
    }
}

TEST(ChangeFormat, Argb8888ToRgba8888InPlace) {
    C_Image im = Make(24, 2, 1, {0x01, 0x02, 0x03, 0x04, 0xB0, 0xC0, 0xD0, 0xE0});
    const std::uint8_t* data = im.data;
    ASSERT_TRUE(Gfx_Image_ChangeFormat(&im, 23, GFX_FMT_SAME, 0));
    EXPECT_EQ(im.data, data);  // no new buffer
    EXPECT_EQ(im.format, 23);
    EXPECT_EQ(AllBytes(im), (Bytes{0x04, 0x01, 0x02, 0x03, 0xE0, 0xB0, 0xC0, 0xD0}));
}

TEST(ChangeFormat, WidthRuleExamples) {
    // 5-6-5: full white, and R 1, G 3, B 1.
    C_Image rgb565 = Make(14, 2, 1, LeBytes({0xFFFF, 0x0861}, 2));
    ASSERT_TRUE(Gfx_Image_ChangeFormat(&rgb565, 24, GFX_FMT_SAME, 0));
    EXPECT_EQ(Pixel32(rgb565, 0, 0), 0x00FFFFFFu);
    EXPECT_EQ(Pixel32(rgb565, 1, 0), 0x00090F09u);

    // 1-5-5-5 with the alpha bit set: alpha 129; 5-bit v becomes (v << 3) + (v & 7).
    const std::uint64_t argb1555 = 0x8000 | 16 << 10 | 31 << 5 | 1;
    C_Image a1555 = Make(19, 2, 1, LeBytes({argb1555, 0x7FFF}, 2));
    ASSERT_TRUE(Gfx_Image_ChangeFormat(&a1555, 24, GFX_FMT_SAME, 0));
    EXPECT_EQ(Pixel32(a1555, 0, 0), 0x8180FF09u);
    EXPECT_EQ(Pixel32(a1555, 1, 0), 0x00FFFFFFu);

    // One channel: v becomes red, the rest 0.
    C_Image ch8 = Make(6, 3, 1, {0x00, 0x7F, 0xFF});
    ASSERT_TRUE(Gfx_Image_ChangeFormat(&ch8, 24, GFX_FMT_SAME, 0));
    EXPECT_EQ(AllBytes(ch8), (Bytes{0, 0, 0x00, 0, 0, 0, 0x7F, 0, 0, 0, 0xFF, 0}));

    // 32-bit to 8-bit one channel keeps the red byte.
    C_Image argb = Make(24, 2, 1, {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88});
    ASSERT_TRUE(Gfx_Image_ChangeFormat(&argb, 6, GFX_FMT_SAME, 0));
    EXPECT_EQ(AllBytes(argb), (Bytes{0x33, 0x77}));

    // 8-bit 255 becomes 32-bit 0xFF0000FF; 4-bit v becomes 17 v.
    C_Image toWide = Make(6, 1, 1, {0xFF});
    ASSERT_TRUE(Gfx_Image_ChangeFormat(&toWide, 9, GFX_FMT_SAME, 0));
    EXPECT_EQ(Pixel32(toWide, 0, 0), 0xFF0000FFu);
    C_Image nibbles = Make(20, 1, 1, LeBytes({0xA5C3}, 2));  // A 10, R 5, G 12, B 3
    ASSERT_TRUE(Gfx_Image_ChangeFormat(&nibbles, 24, GFX_FMT_SAME, 0));
    EXPECT_EQ(Pixel32(nibbles, 0, 0), 0xAA55CC33u);
}

TEST(ChangeFormat, PaletteIndicesReadTheirEntries) {
    C_Image im = Make(4, 3, 1, {5, 0, 255}, 21);
    std::memset(im.m_palette, 0, im.paletteSize);
    im.m_palette[15] = 0x10;
    im.m_palette[16] = 0x20;
    im.m_palette[17] = 0x30;
    im.m_palette[765] = 0x01;
    im.m_palette[766] = 0x02;
    im.m_palette[767] = 0x03;
    ASSERT_TRUE(Gfx_Image_ChangeFormat(&im, 24, GFX_FMT_SAME, 0));
    EXPECT_EQ(Pixel32(im, 0, 0), 0x00302010u);
    EXPECT_EQ(Pixel32(im, 1, 0), 0u);
    EXPECT_EQ(Pixel32(im, 2, 0), 0x00030201u);
    // The palette format is kept, and so are its entries.
    EXPECT_EQ(im.palFormat, 21);
    ASSERT_NE(im.m_palette, nullptr);
    EXPECT_EQ(im.m_palette[15], 0x10);
}

TEST(ChangeFormat, PaletteEntriesAreThreeBytesWhateverTheFormat) {
    // A 4-byte palette format still reads entry i at 3 × i.
    C_Image im = Make(4, 1, 1, {2}, 24);
    for (std::uint32_t i = 0; i < im.paletteSize; ++i) im.m_palette[i] = static_cast<std::uint8_t>(i);
    ASSERT_TRUE(Gfx_Image_ChangeFormat(&im, 24, GFX_FMT_SAME, 0));
    EXPECT_EQ(Pixel32(im, 0, 0), 0x00080706u);
    // And narrower destinations shift each byte down to their widths.
    C_Image idx = Make(4, 1, 1, {1}, 21);
    idx.m_palette[3] = 0xFF;  // blue
    idx.m_palette[4] = 0x80;  // green
    idx.m_palette[5] = 0x08;  // red
    ASSERT_TRUE(Gfx_Image_ChangeFormat(&idx, 14, GFX_FMT_SAME, 0));
    EXPECT_EQ(AllBytes(idx), LeBytes({1u << 11 | 32u << 5 | 31u}, 2));
}

TEST(ChangeFormat, MissingOrShortPalettesReadAsZero) {
    std::uint8_t indices[4] = {0, 9, 10, 255};
    C_Image view;
    ASSERT_TRUE(view.CreateLocked(4, 1, 4, 4, -1, indices));  // no palette at all
    C_Image out;
    ASSERT_TRUE(Gfx_Image_Clone(&view, &out, 24, -1, 0));
    EXPECT_EQ(AllBytes(out), Bytes(16, 0));

    C_Image shortPal = Make(4, 4, 1, {0, 9, 10, 255}, 21);
    std::memset(shortPal.m_palette, 0xEE, shortPal.paletteSize);
    shortPal.paletteSize = 30;  // as a record might describe it: entries 0 to 9 only
    C_Image wide;
    const bool ok = Gfx_Image_Clone(&shortPal, &wide, 24, -1, 0);
    shortPal.paletteSize = 768;  // the buffer's real size, for its release
    ASSERT_TRUE(ok);
    EXPECT_EQ(Pixel32(wide, 0, 0), 0x00EEEEEEu);
    EXPECT_EQ(Pixel32(wide, 1, 0), 0x00EEEEEEu);
    EXPECT_EQ(Pixel32(wide, 2, 0), 0u);
    EXPECT_EQ(Pixel32(wide, 3, 0), 0u);
}

TEST(ChangeFormat, WideIntegerFormats) {
    // 8-bit v becomes the 16-bit word v × 257; format 25 lies in memory as A, B, G, R.
    C_Image im = Make(24, 1, 1, {0x03, 0x02, 0x01, 0x80});  // A 80, R 01, G 02, B 03
    ASSERT_TRUE(Gfx_Image_ChangeFormat(&im, 25, GFX_FMT_SAME, 0));
    EXPECT_EQ(AllBytes(im), LeBytes({0x8080, 0x0303, 0x0202, 0x0101}, 2));
    ASSERT_TRUE(Gfx_Image_ChangeFormat(&im, 40, GFX_FMT_SAME, 0));  // in place: A, R, G, B
    EXPECT_EQ(AllBytes(im), LeBytes({0x8080, 0x0101, 0x0202, 0x0303}, 2));
    ASSERT_TRUE(Gfx_Image_ChangeFormat(&im, 37, GFX_FMT_SAME, 0));  // R, G, B
    EXPECT_EQ(AllBytes(im), LeBytes({0x0101, 0x0202, 0x0303}, 2));
    ASSERT_TRUE(Gfx_Image_ChangeFormat(&im, 22, GFX_FMT_SAME, 0));  // in place: B, G, R
    EXPECT_EQ(AllBytes(im), LeBytes({0x0303, 0x0202, 0x0101}, 2));
    // 16-bit words narrow to their top bits.
    C_Image words = Make(22, 1, 1, LeBytes({0x00FF, 0x1234, 0xFEDC}, 2));
    ASSERT_TRUE(Gfx_Image_ChangeFormat(&words, 24, GFX_FMT_SAME, 0));
    EXPECT_EQ(Pixel32(words, 0, 0), 0x00FE1200u);
}

TEST(ChangeFormat, IntegersToFloats) {
    // 255 widens to 0xFF0000FF and becomes × 2^-32 as a float: 0x3F7F0001, not 1.0.
    C_Image im = Make(24, 2, 1, {0xFF, 0x00, 0x80, 0xFF, 0, 0, 0, 0});
    C_Image f = Converted(im, 44);  // memory B, G, R, A
    const Bytes first =
        LeBytes({0x3F7F0001, 0, FloatBits(static_cast<float>(0x80000080u / 4294967296.0)), 0x3F7F0001}, 4);
    EXPECT_EQ(StoredRow(f, 0, 16), first);
    EXPECT_EQ(StoredRow(f, 0, 32), [&] {
        Bytes b = first;
        b.resize(32, 0);
        return b;
    }());
    C_Image single = Converted(Make(6, 1, 1, {0xFF}), 10);
    EXPECT_EQ(AllBytes(single), LeBytes({0x3F7F0001}, 4));
}

TEST(ChangeFormat, FloatsToIntegersAndFloats) {
    const std::uint64_t one = FloatBits(1.0f), half = FloatBits(0.5f), quarter = FloatBits(0.25f);
    // Format 47 holds R, G, B, A in memory order.
    C_Image f = Make(47, 1, 1, LeBytes({one, half, quarter, one}, 4));
    // t(f × 255): 255, 127, 63, alpha 255.
    EXPECT_EQ(Pixel32(Converted(f, 24), 0, 0), 0xFFFF7F3Fu);
    // 16-bit channels use 65535.
    EXPECT_EQ(AllBytes(Converted(f, 26)), LeBytes({0x3FFF, 0x7FFF, 0xFFFF, 0xFFFF}, 2));
    // 32-bit channels: 1.0 is all ones, 0.5 truncates to 0x7FFFFFFF.
    C_Image red = Make(10, 2, 1, LeBytes({one, half}, 4));
    EXPECT_EQ(AllBytes(Converted(red, 9)), LeBytes({0xFFFFFFFF, 0x7FFFFFFF}, 4));
    // Float to float moves the values; a missing alpha is 0.0.
    C_Image bgr = Make(45, 1, 1, LeBytes({quarter, half, one}, 4));  // R, G, B
    EXPECT_EQ(AllBytes(Converted(bgr, 44)), LeBytes({one, half, quarter, 0}, 4));
    EXPECT_EQ(AllBytes(Converted(f, 10)), LeBytes({one}, 4));
    // Out-of-range and non-numbers do not trap: NaN gives 0.
    C_Image odd = Make(10, 2, 1, LeBytes({FloatBits(-1.0f), 0x7FC00000}, 4));
    EXPECT_EQ(AllBytes(Converted(odd, 7)), LeBytes({0x0001, 0}, 2));  // t(-65535) keeps its low bits
}

// ------------------------------------------------------------ channels and masks

TEST(Channels, GetChannel) {
    C_Image argb = Make(24, 2, 1, {0x01, 0x02, 0x03, 0xA0, 0x04, 0x05, 0x06, 0xB0});
    C_Image alpha;
    ASSERT_TRUE(Gfx_Image_GetChannel(&argb, &alpha, 3));
    EXPECT_EQ(alpha.format, 6);
    EXPECT_EQ(AllBytes(alpha), (Bytes{0xA0, 0xB0}));
    ASSERT_TRUE(Gfx_Image_GetChannel(&argb, &alpha, 0));
    EXPECT_EQ(AllBytes(alpha), (Bytes{0x03, 0x06}));

    C_Image rgb565 = Make(14, 3, 1, LeBytes({0xFFFF, 0x07E0, 0x0861}, 2));
    C_Image green;
    ASSERT_TRUE(Gfx_Image_GetChannel(&rgb565, &green, 1));
    EXPECT_EQ(green.format, 6);
    EXPECT_EQ(AllBytes(green), (Bytes{63, 63, 3}));  // not rescaled

    // Wider formats give their 16-bit words or float slots.
    C_Image words = Make(22, 1, 1, LeBytes({0x1111, 0x2222, 0x3333}, 2));
    C_Image word;
    ASSERT_TRUE(Gfx_Image_GetChannel(&words, &word, 0));
    EXPECT_EQ(word.format, 7);
    EXPECT_EQ(AllBytes(word), LeBytes({0x3333}, 2));
    C_Image floats = Make(43, 1, 1, LeBytes({1, 2, 3, 4}, 4));  // A, B, G, R
    C_Image slot;
    ASSERT_TRUE(Gfx_Image_GetChannel(&floats, &slot, 1));
    EXPECT_EQ(slot.format, 10);
    EXPECT_EQ(AllBytes(slot), LeBytes({3}, 4));

    // A channel the format lacks, or no channel at all, gives zeros.
    C_Image rgb = Random(21, 2, 2, 5);
    ASSERT_TRUE(Gfx_Image_GetChannel(&rgb, &alpha, 3));
    EXPECT_EQ(AllBytes(alpha), Bytes(4, 0));
    ASSERT_TRUE(Gfx_Image_GetChannel(&rgb, &alpha, 7));
    EXPECT_EQ(AllBytes(alpha), Bytes(4, 0));

    // Into itself.
    ASSERT_TRUE(Gfx_Image_GetChannel(&argb, &argb, 1));
    EXPECT_EQ(argb.format, 6);
    EXPECT_EQ(AllBytes(argb), (Bytes{0x02, 0x05}));
}

TEST(Channels, SetChannelKeepsTheOtherChannels) {
    C_Image argb = Make(24, 2, 2, Bytes(16, 0x55));
    C_Image plane = Make(6, 2, 1, {0x00, 0xFF});  // smaller than the destination
    ASSERT_TRUE(Gfx_Image_SetChannel(&plane, &argb, 3));
    EXPECT_EQ(Pixel32(argb, 0, 0), 0x00555555u);
    EXPECT_EQ(Pixel32(argb, 1, 0), 0xFF555555u);
    EXPECT_EQ(Pixel32(argb, 0, 1), 0x55555555u);

    // A value wider than the channel stays inside it.
    C_Image rgb565 = Make(14, 1, 1, LeBytes({0x0000}, 2));
    C_Image byte = Make(6, 1, 1, {0xFF});
    ASSERT_TRUE(Gfx_Image_SetChannel(&byte, &rgb565, 1));
    EXPECT_EQ(AllBytes(rgb565), LeBytes({0x07E0}, 2));

    // A GetChannel / SetChannel round trip restores the image.
    C_Image original = Random(20, 5, 3, 9);
    C_Image rebuilt = Make(20, 5, 3, Bytes(30, 0));
    for (std::uint32_t c = 0; c < 4; ++c) {
        C_Image channel;
        ASSERT_TRUE(Gfx_Image_GetChannel(&original, &channel, c));
        ASSERT_TRUE(Gfx_Image_SetChannel(&channel, &rebuilt, c));  // a 16-bit one-channel source
    }
    EXPECT_EQ(AllBytes(rebuilt), AllBytes(original));

    // Wide destinations take the value into their word.
    C_Image words = Make(26, 1, 1, Bytes(8, 0));
    C_Image word = Make(7, 1, 1, LeBytes({0xBEEF}, 2));
    ASSERT_TRUE(Gfx_Image_SetChannel(&word, &words, 3));
    EXPECT_EQ(AllBytes(words), LeBytes({0, 0, 0, 0xBEEF}, 2));
}

TEST(Channels, SetChannelRefusals) {
    C_Image rgb = Random(21, 2, 2, 3);
    C_Image dst = Random(24, 2, 2, 4);
    const Bytes before = AllBytes(dst);
    Gfx_ClearError();
    EXPECT_FALSE(Gfx_Image_SetChannel(&rgb, &dst, 0));  // not a one-channel source: no message
    EXPECT_EQ(Gfx_GetErrorDetailCode(), -1);
    EXPECT_FALSE(Gfx_Image_SetChannel(nullptr, &dst, 0));
    EXPECT_FALSE(Gfx_Image_SetChannel(&rgb, nullptr, 0));
    EXPECT_EQ(Gfx_GetErrorCode(), -1);
    EXPECT_EQ(Gfx_GetErrorDetailCode(), -1);

    C_Image big = Random(6, 3, 2, 5);
    EXPECT_FALSE(Gfx_Image_SetChannel(&big, &dst, 0));
    ExpectFailure(GFX_ERR_BAD_DATA, "Gfx_Image_SetChannel{pImageDst->size}", "Gfx_Image_SetChannel");
    EXPECT_EQ(AllBytes(dst), before);

    C_Image plane = Random(6, 2, 2, 6);
    plane.format = 0;
    EXPECT_FALSE(Gfx_Image_SetChannel(&plane, &dst, 0));
    ExpectFailure(GFX_ERR_FORMAT, "Gfx_Image_SetChannel{pImageSrc->format}", "Gfx_Image_SetChannel");
    plane.format = 6;
    dst.format = 99;
    EXPECT_FALSE(Gfx_Image_SetChannel(&plane, &dst, 0));
    ExpectFailure(GFX_ERR_FORMAT, "Gfx_Image_SetChannel{pImageDst->format}", "Gfx_Image_SetChannel");
    dst.format = 24;
    EXPECT_TRUE(Gfx_Image_SetChannel(&plane, &dst, 4));  // no such channel: nothing changes
    EXPECT_EQ(AllBytes(dst), before);
}

TEST(Channels, AlphaFromKeyColor) {
    const C_Color magenta(1.0f, 0.0f, 1.0f, 0.0f);
    // 32-bit sources mark the key pixels with 0xFF.
    C_Image argb = Make(24, 3, 1, LeBytes({0x00FF00FF, 0xFFFF00FF, 0x00FF00FE}, 4));
    C_Image mask;
    ASSERT_TRUE(Gfx_Image_GetAlpha_FromKeyColor(&argb, &mask, &magenta));
    EXPECT_EQ(mask.format, 6);
    EXPECT_EQ(AllBytes(mask), (Bytes{0xFF, 0x00, 0x00}));
    // Narrower sources mark the others.
    C_Image rgb = Make(21, 3, 1, {0xFF, 0x00, 0xFF, 0xFE, 0x00, 0xFF, 0x00, 0x00, 0x00});
    ASSERT_TRUE(Gfx_Image_GetAlpha_FromKeyColor(&rgb, &mask, &magenta));
    EXPECT_EQ(AllBytes(mask), (Bytes{0x00, 0xFF, 0xFF}));
    C_Image rgb565 = Make(14, 2, 1, LeBytes({0xF81F, 0xF800}, 2));
    ASSERT_TRUE(Gfx_Image_GetAlpha_FromKeyColor(&rgb565, &mask, &magenta));
    EXPECT_EQ(AllBytes(mask), (Bytes{0x00, 0xFF}));

    // Refusals: no key, formats without a 32-bit pixel value, null images.
    Gfx_ClearError();
    EXPECT_FALSE(Gfx_Image_GetAlpha_FromKeyColor(nullptr, &mask, &magenta));
    EXPECT_EQ(Gfx_GetErrorDetailCode(), -1);
    EXPECT_FALSE(Gfx_Image_GetAlpha_FromKeyColor(&rgb, &mask, nullptr));
    ExpectFailure(GFX_ERR_NULL_ARG, "Gfx_Image_GetAlpha_FromKeyColor{key}", "Gfx_Image_GetAlpha_FromKeyColor");
    for (std::int32_t f : {22, 43, 10, 5}) {
        C_Image other;
        ASSERT_TRUE(other.CreateEmpty(2, 1, f, -1));
        Gfx_ClearError();
        EXPECT_FALSE(Gfx_Image_GetAlpha_FromKeyColor(&other, &mask, &magenta)) << f;
        ExpectFailure(GFX_ERR_FORMAT, "Gfx_Image_GetAlpha_FromKeyColor{pImageSrc->format}",
                      "Gfx_Image_GetAlpha_FromKeyColor");
    }
}

// ------------------------------------------------------------ cloning

TEST(Clone, PaletteImageWithItsPalette) {
    C_Image src = Random(4, 7, 3, 11, 21);
    C_Image dst;
    ASSERT_TRUE(Gfx_Image_Clone(&src, &dst, GFX_FMT_SAME, GFX_FMT_SAME, 0));
    EXPECT_EQ(dst.format, 4);
    EXPECT_EQ(dst.palFormat, 21);
    ASSERT_EQ(dst.paletteSize, 768u);
    EXPECT_NE(dst.m_palette, src.m_palette);
    EXPECT_EQ(std::memcmp(dst.m_palette, src.m_palette, 768), 0);
    EXPECT_EQ(AllBytes(dst), AllBytes(src));
}

TEST(Clone, IntoItselfAndAcrossRowOrders) {
    C_Image im = Random(21, 4, 3, 12);
    const Bytes rgb = AllBytes(im);
    ASSERT_TRUE(Gfx_Image_Clone(&im, &im, 24, -1, 0));
    EXPECT_EQ(im.format, 24);
    for (std::size_t i = 0; i < 12; ++i)
        EXPECT_EQ(Pixel32(im, i % 4, static_cast<std::uint32_t>(i / 4)) & 0xFFFFFF,
                  std::uint32_t{rgb[3 * i]} | rgb[3 * i + 1] << 8 | rgb[3 * i + 2] << 16);

    // A bottom-up source keeps its picture in a top-down copy.
    C_Image up = Random(6, 3, 4, 13);
    up.bottomUp = 1;
    C_Image down;
    ASSERT_TRUE(Gfx_Image_Clone(&up, &down, 24, -1, 0));
    EXPECT_EQ(down.bottomUp, 0);
    for (std::uint32_t y = 0; y < 4; ++y)
        for (std::uint32_t x = 0; x < 3; ++x) EXPECT_EQ(Pixel32(down, x, y), std::uint32_t{up.Row(y)[x]} << 16);
}

TEST(Clone, Failures) {
    C_Image src = Random(24, 2, 2, 14);
    C_Image dst;
    Gfx_ClearError();
    EXPECT_FALSE(Gfx_Image_Clone(nullptr, &dst, -2, -2, 0));
    ExpectFailure(GFX_ERR_NULL_ARG, "Gfx_Image_Clone{pImageSrc}", "Gfx_Image_Clone");
    EXPECT_FALSE(Gfx_Image_Clone(&src, nullptr, -2, -2, 0));
    ExpectFailure(GFX_ERR_NULL_ARG, "Gfx_Image_Clone{pImageDst}", "Gfx_Image_Clone");
    EXPECT_FALSE(Gfx_Image_Clone(&src, &dst, 48, -2, 0));
    ExpectFailure(GFX_ERR_FORMAT, "Gfx_Image_Clone{newFormat}", "Gfx_Image_Clone");
    EXPECT_FALSE(Gfx_Image_Clone(&src, &dst, 21, 0, 0));
    ExpectFailure(GFX_ERR_PALETTE_FORMAT, "Gfx_Image_Clone{newPalFormat}", "Gfx_Image_Clone");
    EXPECT_FALSE(Gfx_Image_Clone(&src, &dst, 3, -1, 0));  // no rules for 4-bit pixels
    ExpectFailure(GFX_ERR_FORMAT, "Gfx_Image_Clone{newFormat}", "Gfx_Image_Clone");
    EXPECT_EQ(dst.format, -1);  // refused before the destination was touched
    src.format = -7;
    EXPECT_FALSE(Gfx_Image_Clone(&src, &dst, 21, -1, 0));
    ExpectFailure(GFX_ERR_FORMAT, "Gfx_Image_Clone{pImageSrc->format}", "Gfx_Image_Clone");
    src.format = 24;
}

// ------------------------------------------------------------ the converter's own rules

TEST(Copy24to32, DestinationMustHoldTheSource) {
    C_Image src = Random(21, 4, 3, 15);
    C_Image narrow = Random(24, 3, 3, 16);
    const Bytes before = AllBytes(narrow);
    Gfx_ClearError();
    EXPECT_FALSE(Gfx_Image_Copy_24to32(&src, &narrow, 0));
    ExpectFailure(GFX_ERR_BAD_DATA, "Gfx_Image_Copy_24to32{pImageDst->size}", "Gfx_Image_Copy_24to32");
    EXPECT_EQ(AllBytes(narrow), before);
    C_Image shallow = Random(21, 4, 2, 17);
    EXPECT_FALSE(Gfx_Image_Copy_24to32(&src, &shallow, 0));  // same format: no row copy past the end either

    // A larger destination gets the source in its top-left corner only.
    C_Image large = Make(24, 5, 4, Bytes(80, 0xEE));
    ASSERT_TRUE(Gfx_Image_Copy_24to32(&src, &large, 0));
    for (std::uint32_t y = 0; y < 4; ++y)
        for (std::uint32_t x = 0; x < 5; ++x) {
            const bool inside = x < 4 && y < 3;
            const std::uint8_t* s = src.Row(inside ? y : 0) + 3 * (inside ? x : 0);
            const std::uint32_t expected = inside ? (s[0] | s[1] << 8 | s[2] << 16) : 0xEEEEEEEEu;
            EXPECT_EQ(Pixel32(large, x, y), expected) << x << "," << y;
        }
    // Same format into a larger image copies the source's row length only.
    C_Image wider = Make(21, 6, 3, Bytes(54, 0xEE));
    ASSERT_TRUE(Gfx_Image_Copy_24to32(&src, &wider, 0));
    EXPECT_EQ(StoredRow(wider, 1, 18), [&] {
        Bytes b = StoredRow(src, 1, 12);
        b.resize(18, 0xEE);
        return b;
    }());
}

TEST(Copy24to32, NullsFormatsAndBuffers) {
    C_Image src = Random(21, 2, 2, 18);
    C_Image dst = Random(24, 2, 2, 19);
    Gfx_ClearError();
    EXPECT_FALSE(Gfx_Image_Copy_24to32(nullptr, &dst, 0));
    ExpectFailure(GFX_ERR_NULL_ARG, "Gfx_Image_Copy_24to32{pImageSrc}", "Gfx_Image_Copy_24to32");
    EXPECT_FALSE(Gfx_Image_Copy_24to32(&src, nullptr, 0));
    ExpectFailure(GFX_ERR_NULL_ARG, "Gfx_Image_Copy_24to32{pImageDst}", "Gfx_Image_Copy_24to32");
    src.format = 0;
    EXPECT_FALSE(Gfx_Image_Copy_24to32(&src, &dst, 0));
    ExpectFailure(GFX_ERR_FORMAT, "Gfx_Image_Copy_24to32{pImageSrc->format}", "Gfx_Image_Copy_24to32");
    src.format = 21;
    dst.format = 48;
    EXPECT_FALSE(Gfx_Image_Copy_24to32(&src, &dst, 0));
    ExpectFailure(GFX_ERR_FORMAT, "Gfx_Image_Copy_24to32{pImageDst->format}", "Gfx_Image_Copy_24to32");
    dst.format = 24;

    C_Image noPixels;
    ASSERT_TRUE(noPixels.CreateEmpty(2, 2, 21, -1));
    noPixels.Free();  // dimensions without a buffer
    EXPECT_FALSE(Gfx_Image_Copy_24to32(&noPixels, &dst, 0));
    ExpectFailure(GFX_ERR_NULL_ARG, "Gfx_Image_Copy_24to32{pImageSrc->data}", "Gfx_Image_Copy_24to32");
    EXPECT_FALSE(Gfx_Image_Copy_24to32(&src, &noPixels, 0));
    ExpectFailure(GFX_ERR_NULL_ARG, "Gfx_Image_Copy_24to32{pImageDst->data}", "Gfx_Image_Copy_24to32");
    C_Image lying = Random(24, 2, 2, 20);
    lying.height = 3;
    lying.dataSize = 16;  // three rows claimed, two held
    C_Image big = Random(24, 2, 3, 21);
    EXPECT_FALSE(Gfx_Image_Copy_24to32(&lying, &big, 0));
    ExpectFailure(GFX_ERR_BAD_DATA, "Gfx_Image_Copy_24to32{pImageSrc->dataSize}", "Gfx_Image_Copy_24to32");
    lying.height = 2;

    // Empty images convert trivially.
    C_Image empty, emptyCopy;
    EXPECT_TRUE(Gfx_Image_Clone(&empty, &emptyCopy, GFX_FMT_SAME, GFX_FMT_SAME, 0));
    EXPECT_EQ(emptyCopy.format, -1);
}

TEST(Copy24to32, UnconvertibleFormatsAreRefused) {
    for (std::int32_t f : {1, 2, 3, 5, 11}) {
        SCOPED_TRACE(f);
        C_Image odd;
        ASSERT_TRUE(odd.CreateEmpty(8, 2, f, -1, C_Color(1.0f, 1.0f, 1.0f, 1.0f)));
        C_Image argb = Random(24, 8, 2, 22);
        const Bytes before = AllBytes(argb);
        Gfx_ClearError();
        EXPECT_FALSE(Gfx_Image_Copy_24to32(&odd, &argb, 0));
        ExpectFailure(GFX_ERR_FORMAT, "Gfx_Image_Copy_24to32{pImageSrc->format}", "Gfx_Image_Copy_24to32");
        EXPECT_EQ(AllBytes(argb), before);
        const Bytes oddBefore = AllBytes(odd);
        EXPECT_FALSE(Gfx_Image_Copy_24to32(&argb, &odd, 0));
        ExpectFailure(GFX_ERR_FORMAT, "Gfx_Image_Copy_24to32{pImageDst->format}", "Gfx_Image_Copy_24to32");
        EXPECT_EQ(AllBytes(odd), oddBefore);

        EXPECT_FALSE(Gfx_Image_ChangeFormat(&odd, 24, GFX_FMT_SAME, 0));
        ExpectFailure(GFX_ERR_FORMAT, "Gfx_Image_ChangeFormat{pImage->format}", "Gfx_Image_ChangeFormat");
        EXPECT_EQ(odd.format, f);
        EXPECT_FALSE(Gfx_Image_ChangeFormat(&argb, f, GFX_FMT_SAME, 0));
        ExpectFailure(GFX_ERR_FORMAT, "Gfx_Image_ChangeFormat{newFormat}", "Gfx_Image_ChangeFormat");
        EXPECT_EQ(argb.format, 24);

        // Copies within the same format need no rules.
        C_Image twin;
        EXPECT_TRUE(Gfx_Image_Clone(&odd, &twin, GFX_FMT_SAME, -1, 0));
        EXPECT_EQ(AllBytes(twin), AllBytes(odd));
    }
    // Without pixels there is nothing to convert.
    C_Image empty;
    EXPECT_TRUE(Gfx_Image_ChangeFormat(&empty, 24, GFX_FMT_SAME, 0));
    EXPECT_EQ(empty.format, 24);
    C_Image noWidth;
    ASSERT_TRUE(noWidth.CreateEmpty(0, 4, 5, -1));
    EXPECT_TRUE(Gfx_Image_ChangeFormat(&noWidth, 6, GFX_FMT_SAME, 0));
    EXPECT_EQ(noWidth.format, 6);
    // Equal pixel sizes would convert in place: still refused, bytes kept.
    C_Image doubles = Random(11, 2, 2, 23);
    const Bytes before = AllBytes(doubles);
    EXPECT_FALSE(Gfx_Image_ChangeFormat(&doubles, 25, GFX_FMT_SAME, 0));
    EXPECT_EQ(AllBytes(doubles), before);
    EXPECT_EQ(doubles.format, 11);
}

TEST(ChangeFormatFailures, CodesAndImageUnchanged) {
    C_Image im = Random(21, 3, 3, 24);
    const Bytes before = AllBytes(im);
    Gfx_ClearError();
    EXPECT_FALSE(Gfx_Image_ChangeFormat(nullptr, 24, -2, 0));
    ExpectFailure(GFX_ERR_NULL_ARG, "Gfx_Image_ChangeFormat{pImageSrc->format}", "Gfx_Image_ChangeFormat");
    EXPECT_FALSE(Gfx_Image_ChangeFormat(&im, 0, -2, 0));
    ExpectFailure(GFX_ERR_FORMAT, "Gfx_Image_ChangeFormat{newFormat}", "Gfx_Image_ChangeFormat");
    EXPECT_FALSE(Gfx_Image_ChangeFormat(&im, 24, 99, 0));
    ExpectFailure(GFX_ERR_PALETTE_FORMAT, "Gfx_Image_ChangeFormat{newPalFormat}", "Gfx_Image_ChangeFormat");
    EXPECT_FALSE(Gfx_Image_ChangeFormat(&im, GFX_FMT_NONE, -2, 0));
    ExpectFailure(GFX_ERR_FORMAT, "Gfx_Image_ChangeFormat{newFormat}", "Gfx_Image_ChangeFormat");
    im.format = 50;
    EXPECT_FALSE(Gfx_Image_ChangeFormat(&im, 24, -2, 0));
    ExpectFailure(GFX_ERR_FORMAT, "Gfx_Image_ChangeFormat{pImage->format}", "Gfx_Image_ChangeFormat");
    im.format = 21;
    EXPECT_EQ(AllBytes(im), before);
    EXPECT_EQ(im.dataSize, 27u);
}

TEST(ChangeFormat, LockedAndBottomUpImages) {
    const std::uint32_t start = Mem_GetUsage().memCurrent;
    {
        std::uint8_t memory[2 * 8];
        for (int i = 0; i < 16; ++i) memory[i] = static_cast<std::uint8_t>(0x10 * (i / 8 + 1) + i % 8);
        C_Image view;
        ASSERT_TRUE(view.CreateLocked(2, 2, 8, 21, -1, memory));
        view.bottomUp = 1;
        ASSERT_TRUE(Gfx_Image_ChangeFormat(&view, 24, GFX_FMT_SAME, 0));
        EXPECT_EQ(view.locked, 0);  // it owns the new buffer
        EXPECT_EQ(view.bottomUp, 1);
        EXPECT_NE(view.data, memory);
        EXPECT_EQ(view.pitch, 8u);
        // Stored rows keep their order, so the flag shows the same picture.
        EXPECT_EQ(StoredRow(view, 0, 8), (Bytes{0x10, 0x11, 0x12, 0, 0x13, 0x14, 0x15, 0}));
        EXPECT_EQ(StoredRow(view, 1, 8), (Bytes{0x20, 0x21, 0x22, 0, 0x23, 0x24, 0x25, 0}));
        EXPECT_EQ(memory[0], 0x10);  // the borrowed bytes are left alone

        // A borrowed buffer converted in place stays borrowed.
        std::uint8_t pixels[8] = {1, 2, 3, 4, 5, 6, 7, 8};
        C_Image lent;
        ASSERT_TRUE(lent.CreateLocked(2, 1, 8, 24, -1, pixels));
        ASSERT_TRUE(Gfx_Image_ChangeFormat(&lent, 39, GFX_FMT_SAME, 0));
        EXPECT_EQ(lent.locked, 1);
        EXPECT_EQ(lent.data, pixels);
        EXPECT_EQ(Bytes(pixels, pixels + 8), (Bytes{3, 2, 1, 4, 7, 6, 5, 8}));
    }
    EXPECT_EQ(Mem_GetUsage().memCurrent, start);
}

// ------------------------------------------------------------ properties

// Formats whose channels all fit a 16-bit word convert to format 26 and back
// unchanged (the width rule widens by repeating bits and narrows by dropping
// them).
TEST(ConvertProperty, RoundTripThroughSixteenBitChannels) {
    for (std::int32_t f = 12; f <= 41; ++f) {
        SCOPED_TRACE(f);
        Gfx_FormatDesc d;
        ASSERT_TRUE(Gfx_GetFormatDesc(f, &d));
        C_Image im = Random(f, 9, 4, 100 + f);
        if (d.bitsPerPixel <= 32) {  // clear the bits no channel owns
            const std::uint32_t used = d.mask[0] | d.mask[1] | d.mask[2] | d.mask[3];
            for (std::uint32_t i = 0; i < im.dataSize; ++i)
                im.data[i] &= static_cast<std::uint8_t>(used >> (8 * (i % d.bytesPerPixel)));
        }
        const Bytes original = AllBytes(im);
        ASSERT_TRUE(Gfx_Image_ChangeFormat(&im, 26, GFX_FMT_SAME, 0));
        ASSERT_TRUE(Gfx_Image_ChangeFormat(&im, f, GFX_FMT_SAME, 0));
        EXPECT_EQ(AllBytes(im), original);
    }
}

TEST(ConvertProperty, RgbSurvives24To21To24) {
    C_Image im = Random(24, 13, 5, 200);
    for (std::uint32_t i = 3; i < im.dataSize; i += 4) im.data[i] = 0;
    const Bytes original = AllBytes(im);
    ASSERT_TRUE(Gfx_Image_ChangeFormat(&im, 21, GFX_FMT_SAME, 0));
    ASSERT_TRUE(Gfx_Image_ChangeFormat(&im, 24, GFX_FMT_SAME, 0));
    EXPECT_EQ(AllBytes(im), original);
}

// The dedicated rows must give the general path's bytes, pixel for pixel,
// including odd widths and destinations with padding between rows.
TEST(ConvertProperty, DedicatedRowsMatchTheGeneralPath) {
    const std::int32_t pairs[][2] = {{21, 24}, {24, 6},  {24, 23}, {14, 24}, {4, 24},
                                     {24, 14}, {24, 13}, {24, 21}, {23, 24}};
    for (const auto& pair : pairs) {
        SCOPED_TRACE(std::to_string(pair[0]) + " to " + std::to_string(pair[1]));
        ASSERT_TRUE(Gfx_HasFastRow(pair[0], pair[1]));
        for (std::uint32_t width : {1u, 7u, 300u}) {
            const C_Image src = Random(pair[0], width, 5, width * 31 + static_cast<std::uint32_t>(pair[0]), 21);
            Gfx_FormatDesc dd;
            ASSERT_TRUE(Gfx_GetFormatDesc(pair[1], &dd));
            const std::uint32_t pitch = width * dd.bytesPerPixel + 3;
            std::vector<std::uint8_t> fastMem(pitch * 5, 0xAB), generalMem(pitch * 5, 0xAB);
            C_Image fast, general;
            ASSERT_TRUE(fast.CreateLocked(width, 5, pitch, pair[1], -1, fastMem.data()));
            ASSERT_TRUE(general.CreateLocked(width, 5, pitch, pair[1], -1, generalMem.data()));
            ASSERT_TRUE(Gfx_Image_CopyPixels(&src, &fast, Gfx_RowPath::Fastest));
            ASSERT_TRUE(Gfx_Image_CopyPixels(&src, &general, Gfx_RowPath::General));
            EXPECT_EQ(fastMem, generalMem);
            EXPECT_EQ(fastMem[pitch - 1], 0xAB);  // padding untouched
        }
    }
    // In place (24 to 23 through ChangeFormat) as well.
    C_Image inPlace = Random(24, 33, 3, 300);
    const C_Image copy(inPlace);
    C_Image general;
    ASSERT_TRUE(general.CreateEmpty(33, 3, 23, -1));
    ASSERT_TRUE(Gfx_Image_CopyPixels(&copy, &general, Gfx_RowPath::General));
    ASSERT_TRUE(Gfx_Image_ChangeFormat(&inPlace, 23, GFX_FMT_SAME, 0));
    EXPECT_EQ(AllBytes(inPlace), AllBytes(general));
}

TEST(ConvertMemory, CounterReturnsToItsStartValue) {
    const std::uint32_t start = Mem_GetUsage().memCurrent;
    {
        C_Image a = Random(4, 30, 20, 400, 21);
        ASSERT_TRUE(Gfx_Image_ChangeFormat(&a, 24, GFX_FMT_SAME, 0));
        ASSERT_TRUE(Gfx_Image_ChangeFormat(&a, 23, GFX_FMT_SAME, 0));
        ASSERT_TRUE(Gfx_Image_ChangeFormat(&a, 6, GFX_FMT_NONE, 0));
        C_Image b, c;
        ASSERT_TRUE(Gfx_Image_Clone(&a, &b, 43, -1, 0));
        ASSERT_TRUE(Gfx_Image_GetChannel(&b, &c, 2));
        const C_Color black;
        ASSERT_TRUE(Gfx_Image_GetAlpha_FromKeyColor(&a, &c, &black));
    }
    EXPECT_EQ(Mem_GetUsage().memCurrent, start);
}

}  // namespace
