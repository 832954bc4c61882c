#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "error_case.h"
#include "image/internal/pixel_convert.h"
#include "image_test_support.h"
#include "quillory.h"

namespace {

// The classic LCG, seeded per image so every run sees the same pixels.
C_Image Random(std::int32_t format, std::uint32_t w, std::uint32_t h, std::uint32_t seed, std::int32_t pal = -1) {
    C_Image im;
    EXPECT_TRUE(im.CreateEmpty(w, h, format, pal));
    auto next = [&seed] { return static_cast<std::uint8_t>((seed = seed * 214013u + 2531011u) >> 16); };
    for (std::uint32_t i = 0; i < im.dataSize; ++i) im.data[i] = next();
    for (std::uint32_t i = 0; i < im.paletteSize; ++i) im.m_palette[i] = next();
    return im;
}

// A one-row image of `format` holding `bytes`; palette byte k is k mod 256.
C_Image Make(std::int32_t format, const Bytes& bytes, std::int32_t pal = -1) {
    Gfx_FormatDesc d;
    EXPECT_TRUE(Gfx_GetFormatDesc(format, &d));
    C_Image im;
    EXPECT_TRUE(im.CreateEmpty(static_cast<std::uint32_t>(bytes.size() * 8 / d.bitsPerPixel), 1, format, pal));
    EXPECT_EQ(bytes.size(), im.dataSize);
    std::memcpy(im.data, bytes.data(), im.dataSize);
    for (std::uint32_t i = 0; i < im.paletteSize; ++i) im.m_palette[i] = static_cast<std::uint8_t>(i);
    return im;
}

Bytes Le32(std::initializer_list<std::uint64_t> v) { return LeBytes(v, 4); }
Bytes Le16(std::initializer_list<std::uint64_t> v) { return LeBytes(v, 2); }

// Random pixels of a 7 × 2 image (index formats with a palette), floats
// kept in [-0.5, 1.5): out of range but no NaN, whose payload machines may
// treat differently, goes into a golden hash.
C_Image SaneRandom(std::int32_t format, std::uint32_t seed) {
    C_Image im = Random(format, 7, 2, seed, format <= 4 ? 21 : -1);
    Gfx_FormatDesc d;
    EXPECT_TRUE(Gfx_GetFormatDesc(format, &d));
    const std::size_t word = d.kind == GFX_KIND_FLOAT ? 4 : d.kind == GFX_KIND_DOUBLE ? 8 : 0;
    for (std::size_t i = 0; word != 0 && i < im.dataSize; i += word) {
        const double v = (seed = seed * 214013u + 2531011u) % 2000 / 1000.0 - 0.5;
        const float f = static_cast<float>(v);
        std::memcpy(im.data + i, word == 4 ? static_cast<const void*>(&f) : &v, word);
    }
    return im;
}

// Every conversion between two formats against one golden hash of its
// bytes (refusals marked): widening repeats bits, narrowing keeps the top
// ones, a missing alpha is 0, one channel is red, palette entries are three
// bytes, integers and floats meet at 32-bit precision. Both ways in, a new
// image and a change in place, give the same bytes and keep the palette.
TEST(Convert, EveryFormatPairMatchesTheGoldenHash) {
    Bytes all;
    for (std::int32_t from = 1; from <= 47; ++from)
        for (std::int32_t to = 1; to <= 47; ++to) {
            SCOPED_TRACE(std::to_string(from) + " to " + std::to_string(to));
            const C_Image src = SaneRandom(from, static_cast<std::uint32_t>(from * 47 + to));
            C_Image cloned, changed(src);
            const bool ok = Gfx_Image_Clone(&src, &cloned, to, GFX_FMT_NONE, 0);
            ASSERT_EQ(Gfx_Image_ChangeFormat(&changed, to, GFX_FMT_SAME, 0), ok);
            all.push_back(ok ? 1 : 0);
            if (!ok) {  // the refusal names the side without rules
                const std::string detail = Gfx_GetErrorDetail();
                all.insert(all.end(), detail.begin(), detail.end());
                continue;
            }
            EXPECT_EQ(AllBytes(changed), AllBytes(cloned));
            EXPECT_EQ(changed.palFormat, src.palFormat);
            Append(all, AllBytes(cloned));
        }
    EXPECT_EQ(Fnv1a(all), 0x4409594ecb718817ull) << std::hex << Fnv1a(all);
    // Out of range and NaN do not trap.
    C_Image floats = Make(10, Le32({0xBF800000, 0x7FC00000}));  // -1.0f and a NaN
    ASSERT_TRUE(Gfx_Image_ChangeFormat(&floats, 7, GFX_FMT_SAME, 0));
    EXPECT_EQ(AllBytes(floats), Le16({1, 0}));
}

TEST(Convert, FieldsBuffersAndRowOrder) {
    C_Image im = Random(24, 5, 3, 2);
    // Equal pixel sizes convert in place; the same format touches nothing.
    const std::uint8_t* data = im.data;
    ASSERT_TRUE(Gfx_Image_ChangeFormat(&im, 23, GFX_FMT_SAME, 0));
    const Bytes before = AllBytes(im);
    EXPECT_TRUE(Gfx_Image_ChangeFormat(&im, 23, GFX_FMT_SAME, 0));
    EXPECT_TRUE(Gfx_Image_ChangeFormat(&im, GFX_FMT_SAME, 21, 0));
    EXPECT_EQ(im.data, data);
    EXPECT_EQ(AllBytes(im), before);

    const std::uint32_t start = Mem_GetUsage().memCurrent;
    {
        // A borrowed bottom-up view: stored rows keep their order, the flag
        // too, and the borrowed bytes are left alone.
        std::uint8_t memory[16];
        for (int i = 0; i < 16; ++i) memory[i] = static_cast<std::uint8_t>(0x10 * (i / 8 + 1) + i % 8);
        C_Image view;
        ASSERT_TRUE(view.CreateLocked(2, 2, 8, 21, -1, memory));
        view.bottomUp = 1;
        ASSERT_TRUE(Gfx_Image_ChangeFormat(&view, 24, GFX_FMT_SAME, 0));
        EXPECT_EQ(view.locked, 0);
        EXPECT_EQ(view.bottomUp, 1);
        EXPECT_EQ(AllBytes(view),
                  (Bytes{0x10, 0x11, 0x12, 0, 0x13, 0x14, 0x15, 0, 0x20, 0x21, 0x22, 0, 0x23, 0x24, 0x25, 0}));
        EXPECT_EQ(memory[0], 0x10);
        // A borrowed buffer converted in place stays borrowed.
        std::uint8_t pixels[8] = {1, 2, 3, 4, 5, 6, 7, 8};
        ASSERT_TRUE(view.CreateLocked(2, 1, 8, 24, -1, pixels));
        ASSERT_TRUE(Gfx_Image_ChangeFormat(&view, 39, GFX_FMT_SAME, 0));
        EXPECT_EQ(view.locked, 1);
        EXPECT_EQ(Bytes(pixels, pixels + 8), (Bytes{3, 2, 1, 4, 7, 6, 5, 8}));
        // A bottom-up source gives a top-down clone of the same picture.
        C_Image up = Random(6, 3, 4, 13), down;
        up.bottomUp = 1;
        ASSERT_TRUE(Gfx_Image_Clone(&up, &down, 24, -1, 0));
        EXPECT_EQ(down.bottomUp, 0);
        for (std::uint32_t y = 0; y < 4; ++y)
            for (std::uint32_t x = 0; x < 3; ++x) EXPECT_EQ(down.Row(y)[4 * x + 2], up.Row(y)[x]);
    }
    EXPECT_EQ(Mem_GetUsage().memCurrent, start);
}

TEST(Convert, MissingOrShortPalettesReadAsZero) {
    std::uint8_t indices[4] = {0, 9, 10, 255};
    C_Image view, out;
    ASSERT_TRUE(view.CreateLocked(4, 1, 4, 4, -1, indices));  // no palette at all
    ASSERT_TRUE(Gfx_Image_Clone(&view, &out, 24, -1, 0));
    EXPECT_EQ(AllBytes(out), Bytes(16, 0));
    C_Image shortPal = Make(4, {0, 9, 10, 255}, 21);
    std::memset(shortPal.m_palette, 0xEE, shortPal.paletteSize);
    shortPal.paletteSize = 30;  // as a record might describe it: entries 0 to 9 only
    const bool ok = Gfx_Image_Clone(&shortPal, &out, 24, -1, 0);
    shortPal.paletteSize = 768;  // the buffer's real size, for its release
    ASSERT_TRUE(ok);
    EXPECT_EQ(AllBytes(out), Le32({0x00EEEEEE, 0x00EEEEEE, 0, 0}));
}

// Copy_24to32: a larger destination gets the source in its top-left corner.
TEST(Convert, CopyIntoALargerImage) {
    const C_Image src = Random(21, 4, 3, 15);
    C_Image large;
    ASSERT_TRUE(large.CreateEmpty(5, 4, 24, -1));
    std::memset(large.data, 0xEE, large.dataSize);
    ASSERT_TRUE(Gfx_Image_Copy_24to32(&src, &large, 0));
    for (std::uint32_t y = 0; y < 4; ++y)
        for (std::uint32_t x = 0; x < 5; ++x) {
            const std::uint8_t* s = src.Row(y < 3 ? y : 0) + 3 * (x < 4 ? x : 0);
            const Bytes expected = x < 4 && y < 3 ? Bytes{s[0], s[1], s[2], 0} : Bytes(4, 0xEE);
            EXPECT_EQ(Bytes(large.Row(y) + 4 * x, large.Row(y) + 4 * x + 4), expected) << x << "," << y;
        }
}

TEST(Convert, RefusalsLeaveTheImagesAlone) {
    C_Image src = Random(21, 4, 3, 14), dst = Random(24, 3, 3, 16), wide = Random(24, 4, 3, 17), none;
    const Bytes srcBefore = AllBytes(src), dstBefore = AllBytes(dst);
    C_Image noPixels;
    ASSERT_TRUE(noPixels.CreateEmpty(4, 3, 21, -1));
    noPixels.Free();  // dimensions without a buffer
    C_Image lying = Random(24, 2, 2, 20), big = Random(24, 2, 3, 21);
    // A grey view whose 32-bit form would need rows longer than any 32-bit
    // size: converting it must fail while creating the new buffer, before a
    // single pixel of the (tiny) memory is read.
    std::uint8_t lent[4] = {};
    C_Image view;
    ASSERT_TRUE(view.CreateLocked(0x40000001u, 1, 0x40000001u, GFX_FMT_CH8, GFX_FMT_NONE, lent));
    const std::string ce = "C_Image::CreateEmpty{data}";
    // Each refusal names the argument at fault in the detail (which formats
    // convert at all is part of the golden hash above).
    auto clone = [](const C_Image* from, C_Image* to, std::int32_t f, std::int32_t pf) {
        return [=] { return Gfx_Image_Clone(from, to, f, pf, 0); };
    };
    auto change = [](C_Image* im, std::int32_t f, std::int32_t pf) {
        return [=] { return Gfx_Image_ChangeFormat(im, f, pf, 0); };
    };
    auto copy = [](const C_Image* from, C_Image* to) { return [=] { return Gfx_Image_Copy_24to32(from, to, 0); }; };
    auto fault = [](const char* what, std::function<bool()> call, std::int32_t code, const std::string& site,
                    const char* field) {
        return ErrorCase{what, std::move(call), code, site + "{" + field + "}", site};
    };
    const std::string cl = "Gfx_Image_Clone", cf = "Gfx_Image_ChangeFormat", cp = "Gfx_Image_Copy_24to32";
    const std::vector<ErrorCase> cases = {
        fault("clone of nothing", clone(nullptr, &none, -2, -2), GFX_ERR_NULL_ARG, cl, "pImageSrc"),
        fault("clone to palette format 0", clone(&src, &none, 21, 0), GFX_ERR_PALETTE_FORMAT, cl, "newPalFormat"),
        fault("change of nothing", change(nullptr, 24, -2), GFX_ERR_NULL_ARG, cf, "pImageSrc->format"),
        fault("change to palette format 99", change(&src, 24, 99), GFX_ERR_PALETTE_FORMAT, cf, "newPalFormat"),
        {"change whose new buffer cannot exist", change(&view, 24, -2), GFX_ERR_NO_MEMORY, ce, cf},
        {"clone whose new buffer cannot exist", clone(&view, &none, 24, -2), GFX_ERR_NO_MEMORY, ce, cl},
        fault("copy to nowhere", copy(&src, nullptr), GFX_ERR_NULL_ARG, cp, "pImageDst"),
        fault("copy into a narrower image", copy(&src, &dst), GFX_ERR_BAD_DATA, cp, "pImageDst->size"),
        fault("copy without source pixels", copy(&noPixels, &wide), GFX_ERR_NULL_ARG, cp, "pImageSrc->data"),
        fault(
            "copy of a source claiming more rows than it holds",
            [&] {
                lying.height = 3;
                const bool ok = Gfx_Image_Copy_24to32(&lying, &big, 0);
                lying.height = 2;
                return ok;
            },
            GFX_ERR_BAD_DATA, cp, "pImageSrc->dataSize"),
    };
    for (const ErrorCase& c : cases) ExpectReported(c);
    EXPECT_EQ(AllBytes(src), srcBefore);
    EXPECT_EQ(AllBytes(dst), dstBefore);
    EXPECT_EQ(src.format, 21);
    EXPECT_EQ(none.format, -1);
    EXPECT_EQ(view.format, GFX_FMT_CH8);
    EXPECT_EQ(view.data, lent);
    // Equal pixel sizes would convert in place: still refused, bytes kept.
    C_Image doubles = Random(11, 2, 2, 23);
    const Bytes before = AllBytes(doubles);
    EXPECT_FALSE(Gfx_Image_ChangeFormat(&doubles, 25, GFX_FMT_SAME, 0));
    EXPECT_EQ(AllBytes(doubles), before);
    // Without pixels there is nothing to convert; formats without rules copy
    // within themselves.
    C_Image empty;
    EXPECT_TRUE(Gfx_Image_ChangeFormat(&empty, 24, GFX_FMT_SAME, 0));
    EXPECT_EQ(empty.format, 24);
    const C_Image bits = Random(5, 8, 2, 3);
    C_Image twin;
    EXPECT_TRUE(Gfx_Image_Clone(&bits, &twin, GFX_FMT_SAME, -1, 0));
    EXPECT_EQ(AllBytes(twin), AllBytes(bits));
}

// ------------------------------------------------------------ channels and masks

// Every channel of every format, and one beyond, against a golden hash:
// values are not rescaled, a channel the format lacks reads as 0, and
// taking a channel into its own image gives the same plane.
TEST(Channels, GetAndSet) {
    Bytes all;
    for (std::int32_t f = 1; f <= 47; ++f)
        for (std::uint32_t c = 0; c < 5; ++c) {
            SCOPED_TRACE(std::to_string(f) + " channel " + std::to_string(c));
            C_Image src = SaneRandom(f, static_cast<std::uint32_t>(f) * 5 + c), out;
            const bool ok = Gfx_Image_GetChannel(&src, &out, c);
            all.push_back(ok ? 1 : 0);
            if (!ok) continue;
            EXPECT_EQ(out.format, Gfx_GetSingleChannelFormat(f));
            Append(all, AllBytes(out));
            ASSERT_TRUE(Gfx_Image_GetChannel(&src, &src, c));
            EXPECT_EQ(AllBytes(src), AllBytes(out));
        }
    EXPECT_EQ(Fnv1a(all), 0xf11890c6b57e53baull) << std::hex << Fnv1a(all);
    // Set keeps the other channels; a value wider than the channel stays inside it.
    C_Image argb = Make(24, Bytes(8, 0x55)), plane = Make(6, {0xFF});  // a plane smaller than the image
    ASSERT_TRUE(Gfx_Image_SetChannel(&plane, &argb, 3));
    EXPECT_EQ(AllBytes(argb), Le32({0xFF555555, 0x55555555}));
    C_Image rgb565 = Make(14, Le16({0}));
    ASSERT_TRUE(Gfx_Image_SetChannel(&plane, &rgb565, 1));
    EXPECT_EQ(AllBytes(rgb565), Le16({0x07E0}));
    C_Image words = Make(26, Bytes(8, 0)), word = Make(7, Le16({0xBEEF}));
    ASSERT_TRUE(Gfx_Image_SetChannel(&word, &words, 3));
    EXPECT_TRUE(Gfx_Image_SetChannel(&word, &words, 4));  // no such channel: nothing changes
    EXPECT_EQ(AllBytes(words), Le16({0, 0, 0, 0xBEEF}));
    // Get and Set round trip.
    const C_Image original = Random(20, 5, 3, 9);
    C_Image rebuilt;
    ASSERT_TRUE(rebuilt.CreateEmpty(5, 3, 20, -1, C_Color()));
    for (std::uint32_t c = 0; c < 4; ++c) {
        C_Image channel;
        ASSERT_TRUE(Gfx_Image_GetChannel(&original, &channel, c));
        ASSERT_TRUE(Gfx_Image_SetChannel(&channel, &rebuilt, c));
    }
    EXPECT_EQ(AllBytes(rebuilt), AllBytes(original));
}

TEST(Channels, AlphaFromKeyColorAndRefusals) {
    const C_Color magenta(1.0f, 0.0f, 1.0f, 0.0f);
    // 32-bit sources mark the key pixels with 0xFF, narrower ones the others.
    const std::pair<C_Image, Bytes> keyed[] = {
        {Make(24, Le32({0x00FF00FF, 0xFFFF00FF, 0x00FF00FE})), {0xFF, 0, 0}},
        {Make(21, {0xFF, 0, 0xFF, 0xFE, 0, 0xFF, 0, 0, 0}), {0, 0xFF, 0xFF}},
        {Make(14, Le16({0xF81F, 0xF800})), {0, 0xFF}},
    };
    for (const auto& [src, expected] : keyed) {
        C_Image mask;
        ASSERT_TRUE(Gfx_Image_GetAlpha_FromKeyColor(&src, &mask, &magenta));
        EXPECT_EQ(mask.format, 6);
        EXPECT_EQ(AllBytes(mask), expected);
    }
    C_Image rgb = Random(21, 2, 2, 3), dst = Random(24, 2, 2, 4), big = Random(6, 3, 2, 5), plane = Random(6, 2, 2, 6);
    C_Image mask, words = Random(22, 2, 1, 7);
    const Bytes before = AllBytes(dst);
    const std::string sc = "Gfx_Image_SetChannel", ak = "Gfx_Image_GetAlpha_FromKeyColor";
    auto planeAs = [&](std::int32_t format, C_Image& target) {
        return [&, format] {
            plane.format = format;
            const bool ok = Gfx_Image_SetChannel(&plane, &target, 0);
            plane.format = 6;
            return ok;
        };
    };
    const std::vector<ErrorCase> cases = {
        {"set from a larger plane", [&] { return Gfx_Image_SetChannel(&big, &dst, 0); }, GFX_ERR_BAD_DATA,
         sc + "{pImageDst->size}", sc},
        {"set from an unknown format", planeAs(0, dst), GFX_ERR_FORMAT, sc + "{pImageSrc->format}", sc},
        {"no key", [&] { return Gfx_Image_GetAlpha_FromKeyColor(&rgb, &mask, nullptr); }, GFX_ERR_NULL_ARG,
         ak + "{key}", ak},
        {"key on words", [&] { return Gfx_Image_GetAlpha_FromKeyColor(&words, &mask, &magenta); }, GFX_ERR_FORMAT,
         ak + "{pImageSrc->format}", ak},
    };
    for (const ErrorCase& c : cases) ExpectReported(c);
    EXPECT_EQ(AllBytes(dst), before);
}

// ------------------------------------------------------------ properties

// Formats whose channels all fit a 16-bit word convert to format 26 and back
// unchanged (the width rule widens by repeating bits and narrows by dropping
// them); 24 → 21 → 24 keeps RGB and a zero alpha.
TEST(ConvertProperty, RoundTrips) {
    std::vector<std::pair<std::int32_t, std::int32_t>> trips = {{24, 21}};
    for (std::int32_t f = 12; f <= 41; ++f) trips.emplace_back(f, 26);
    for (const auto& [f, via] : trips) {
        SCOPED_TRACE(f);
        Gfx_FormatDesc d;
        ASSERT_TRUE(Gfx_GetFormatDesc(f, &d));
        C_Image im = Random(f, 9, 4, 100 + static_cast<std::uint32_t>(f));
        if (d.bitsPerPixel <= 32) {  // clear the bits no channel owns, and the alpha 24 → 21 loses
            const std::uint32_t used = d.mask[0] | d.mask[1] | d.mask[2] | (via == 21 ? 0 : d.mask[3]);
            for (std::uint32_t i = 0; i < im.dataSize; ++i)
                im.data[i] &= static_cast<std::uint8_t>(used >> (8 * (i % d.bytesPerPixel)));
        }
        const Bytes original = AllBytes(im);
        ASSERT_TRUE(Gfx_Image_ChangeFormat(&im, via, GFX_FMT_SAME, 0));
        ASSERT_TRUE(Gfx_Image_ChangeFormat(&im, f, GFX_FMT_SAME, 0));
        EXPECT_EQ(AllBytes(im), original);
    }
}

// Restores the converter's level after a test.
struct LevelGuard {
    std::int32_t saved = Gfx_Convert_GetSimdLevel();
    ~LevelGuard() { Gfx_Convert_SetSimdLevel(saved); }
};

// The dedicated rows at every available level give the general path's
// bytes, for every row length from 1 to 80 (every vector width with every
// remainder), into destinations with padding between rows, and in place.
TEST(ConvertProperty, DedicatedRowsAtEveryLevelMatchTheGeneralPath) {
    EXPECT_EQ(Gfx_Convert_GetSimdLevel(), Gfx_SimdDefaultLevel());  // until a level is chosen
    LevelGuard guard;
    EXPECT_TRUE(Gfx_Convert_SetSimdLevel(GFX_SIMD_SCALAR));  // always there, so the loop below compares something
    EXPECT_FALSE(Gfx_Convert_SetSimdLevel(GFX_SIMD_LEVEL_COUNT));
    const std::int32_t pairs[][2] = {{21, 24}, {24, 6},  {24, 23}, {14, 24}, {4, 24},
                                     {24, 14}, {24, 13}, {24, 21}, {23, 24}};
    for (std::int32_t level = GFX_SIMD_SCALAR; level < GFX_SIMD_LEVEL_COUNT; ++level) {
        if (!Gfx_Convert_SetSimdLevel(level)) continue;
        EXPECT_EQ(Gfx_Convert_GetSimdLevel(), level);
        SCOPED_TRACE(Gfx_SimdLevelName(level));
        for (const auto& pair : pairs) {
            ASSERT_TRUE(Gfx_HasFastRow(pair[0], pair[1]));
            Gfx_FormatDesc dd;
            ASSERT_TRUE(Gfx_GetFormatDesc(pair[1], &dd));
            for (std::uint32_t width = 1; width <= 80; ++width) {
                SCOPED_TRACE(std::to_string(pair[0]) + " to " + std::to_string(pair[1]) + ", width " +
                             std::to_string(width));
                const C_Image src = Random(pair[0], width, 3, width * 31 + static_cast<std::uint32_t>(pair[0]), 21);
                const std::uint32_t pitch = width * dd.bytesPerPixel + 3;
                std::vector<std::uint8_t> fastMem(pitch * 3, 0xAB), generalMem(pitch * 3, 0xAB);
                C_Image fast, general;
                ASSERT_TRUE(fast.CreateLocked(width, 3, pitch, pair[1], -1, fastMem.data()));
                ASSERT_TRUE(general.CreateLocked(width, 3, pitch, pair[1], -1, generalMem.data()));
                ASSERT_TRUE(Gfx_Image_CopyPixels(&src, &fast, Gfx_RowPath::Fastest));
                ASSERT_TRUE(Gfx_Image_CopyPixels(&src, &general, Gfx_RowPath::General));
                ASSERT_EQ(fastMem, generalMem);
                ASSERT_EQ(fastMem[pitch - 1], 0xAB);  // padding untouched
            }
        }
        C_Image inPlace = Random(24, 77, 3, 300), general;
        ASSERT_TRUE(general.CreateEmpty(77, 3, 23, -1));
        ASSERT_TRUE(Gfx_Image_CopyPixels(&inPlace, &general, Gfx_RowPath::General));
        ASSERT_TRUE(Gfx_Image_ChangeFormat(&inPlace, 23, GFX_FMT_SAME, 0));
        EXPECT_EQ(AllBytes(inPlace), AllBytes(general));
    }
}

// ------------------------------------------------------------ the format table

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

// Numbers outside the table are refused.
TEST(FormatDesc, UnknownFormatsAndSingleChannels) {
    for (std::int32_t f : {0, -3, 48, INT_MIN, INT_MAX}) {
        Gfx_FormatDesc d;
        EXPECT_FALSE(Gfx_GetFormatDesc(f, &d)) << f;
    }
    // The one-channel format of each format 1..47 in order, then two refusals.
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
