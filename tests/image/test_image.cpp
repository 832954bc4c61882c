#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <tuple>
#include <vector>

#include "image_test_support.h"
#include "quillory.h"

namespace {

void ExpectEmptyState(const C_Image& im) {
    EXPECT_EQ(im.data, nullptr);
    EXPECT_EQ(im.m_palette, nullptr);
    EXPECT_EQ(im.bpp, 0u);
    EXPECT_EQ(im.width, 0u);
    EXPECT_EQ(im.height, 0u);
    EXPECT_EQ(im.pitch, 0u);
    EXPECT_EQ(im.dataSize, 0u);
    EXPECT_EQ(im.paletteSize, 0u);
    EXPECT_EQ(im.rowBytes, 0u);
    EXPECT_EQ(im.palBpp, 0u);
    EXPECT_EQ(im.format, -1);
    EXPECT_EQ(im.palFormat, -1);
    EXPECT_EQ(im.locked, 0);
    EXPECT_EQ(im.bottomUp, 0);
}

// Every field, so "unchanged" can be checked in one comparison.
struct Snapshot {
    const void* data;
    const void* palette;
    std::uint32_t bpp, width, height, pitch, dataSize, paletteSize, palBpp, rowBytes;
    std::int32_t format, palFormat;
    std::uint8_t locked, bottomUp;
    explicit Snapshot(const C_Image& i)
        : data(i.data),
          palette(i.m_palette),
          bpp(i.bpp),
          width(i.width),
          height(i.height),
          pitch(i.pitch),
          dataSize(i.dataSize),
          paletteSize(i.paletteSize),
          palBpp(i.palBpp),
          rowBytes(i.rowBytes),
          format(i.format),
          palFormat(i.palFormat),
          locked(i.locked),
          bottomUp(i.bottomUp) {}
    auto Tie() const {
        return std::tie(data, palette, bpp, width, height, pitch, dataSize, paletteSize, palBpp, rowBytes, format,
                        palFormat, locked, bottomUp);
    }
    bool operator==(const Snapshot& o) const { return Tie() == o.Tie(); }
};

TEST(Image, StartsEmpty) {
    C_Image im;
    ExpectEmptyState(im);
    EXPECT_EQ(im.GetClassType(), 6u);
}

TEST(ImageCreateEmpty, ShapesAndSizes) {
    C_Image im;
    ASSERT_TRUE(im.CreateEmpty(800, 600, 24, -1, C_Color(0.0f, 0.0f, 1.0f, 0.0f)));
    EXPECT_EQ(im.pitch, 3200u);
    EXPECT_EQ(im.rowBytes, 3200u);
    EXPECT_EQ(im.dataSize, 1920000u);
    EXPECT_EQ(im.bpp, 32u);
    EXPECT_EQ(im.format, 24);
    EXPECT_EQ(im.m_palette, nullptr);
    for (std::size_t i = 0; i < im.dataSize; i += 4) {
        ASSERT_EQ(im.data[i], 0xFF) << i;
        ASSERT_EQ(im.data[i + 1], 0x00) << i;
        ASSERT_EQ(im.data[i + 2], 0x00) << i;
        ASSERT_EQ(im.data[i + 3], 0x00) << i;
    }

    ASSERT_TRUE(im.CreateEmpty(3, 2, 1, 24));
    EXPECT_EQ(im.rowBytes, 1u);
    EXPECT_EQ(im.pitch, 1u);
    EXPECT_EQ(im.dataSize, 2u);
    EXPECT_EQ(im.paletteSize, 1024u);
    EXPECT_NE(im.m_palette, nullptr);
    EXPECT_EQ(im.palFormat, 24);
    EXPECT_EQ(im.palBpp, 32u);

    ASSERT_TRUE(im.CreateEmpty(5, 1, 3, -1));
    EXPECT_EQ(im.pitch, 3u);
    EXPECT_EQ(im.m_palette, nullptr);  // -1 frees the palette
    EXPECT_EQ(im.paletteSize, 0u);

    ASSERT_TRUE(im.CreateEmpty(4, 4, 4, 21));
    EXPECT_EQ(im.paletteSize, 768u);
    ASSERT_TRUE(im.CreateEmpty(4, 4, 6, GFX_FMT_SAME));  // no palette, the value is kept
    EXPECT_EQ(im.palFormat, GFX_FMT_SAME);
    EXPECT_EQ(im.m_palette, nullptr);

    ASSERT_TRUE(im.CreateEmpty(7, 3, GFX_FMT_NONE, -1));  // no format: no pixel bytes
    EXPECT_EQ(im.bpp, 0u);
    EXPECT_EQ(im.dataSize, 0u);
    EXPECT_EQ(im.data, nullptr);
}

TEST(ImageCreateEmpty, SameByteSizeKeepsTheBufferAndItsContents) {
    C_Image im;
    ASSERT_TRUE(im.CreateEmpty(4, 2, 24, -1));
    for (std::size_t i = 0; i < im.dataSize; ++i) im.data[i] = static_cast<std::uint8_t>(i * 7 + 1);
    const Bytes before = AllBytes(im);
    const std::uint8_t* buffer = im.data;

    ASSERT_TRUE(im.CreateEmpty(16, 2, 6, -1));  // 32 bytes again, another shape and format
    EXPECT_EQ(im.data, buffer);
    EXPECT_EQ(AllBytes(im), before);
    EXPECT_EQ(im.pitch, 16u);
    EXPECT_EQ(im.format, 6);

    ASSERT_TRUE(im.CreateEmpty(16, 3, 6, -1));  // another size: a new buffer
    EXPECT_EQ(im.dataSize, 48u);
}

TEST(ImageCreateEmpty, PaletteOfTheSameSizeIsKept) {
    C_Image im;
    ASSERT_TRUE(im.CreateEmpty(2, 2, 4, 21));
    for (std::uint32_t i = 0; i < im.paletteSize; ++i) im.m_palette[i] = static_cast<std::uint8_t>(i);
    const std::uint8_t* palette = im.m_palette;
    ASSERT_TRUE(im.CreateEmpty(2, 2, 4, 36));  // another 3-byte format: same 768 bytes
    EXPECT_EQ(im.m_palette, palette);
    EXPECT_EQ(im.m_palette[767], 767 & 0xFF);
    EXPECT_EQ(im.palFormat, 36);
}

TEST(ImageCreateEmpty, BadFormatsLeaveTheImageUnchanged) {
    C_Image im;
    ASSERT_TRUE(im.CreateEmpty(3, 3, 21, 24));
    const Snapshot before(im);
    for (std::int32_t bad : {0, 48, -3}) {
        Gfx_ClearError();
        EXPECT_FALSE(im.CreateEmpty(9, 9, bad, -1)) << bad;
        ExpectFailure(GFX_ERR_FORMAT, "C_Image::CreateEmpty{newFormat}", "C_Image::CreateEmpty");
        EXPECT_TRUE(Snapshot(im) == before) << bad;
        EXPECT_FALSE(im.CreateEmpty(9, 9, bad, -1, C_Color(1.0f, 1.0f, 1.0f, 1.0f))) << bad;
        EXPECT_TRUE(Snapshot(im) == before) << bad;
    }
}

TEST(ImageCreateEmpty, BadPaletteFormatIsError16) {
    C_Image im;
    Gfx_ClearError();
    EXPECT_FALSE(im.CreateEmpty(2, 2, 4, 99));
    ExpectFailure(GFX_ERR_PALETTE_FORMAT, "C_Image::CreateEmpty{newPalFormat}", "C_Image::CreateEmpty");
    EXPECT_EQ(im.format, 4);  // the pixel part is already rebuilt
    EXPECT_EQ(im.dataSize, 4u);
}

TEST(ImageCreateEmpty, HugeRequestsFailWithoutAllocating) {
    C_Image im;
    Gfx_ClearError();
    EXPECT_FALSE(im.CreateEmpty(0xFFFFFFFFu, 0xFFFFFFFFu, 47, -1));
    ExpectFailure(GFX_ERR_NO_MEMORY, "C_Image::CreateEmpty{data}", "C_Image::CreateEmpty");
    ExpectEmptyState(im);
}

TEST(ImageCreateEmpty, OverALockedViewDropsTheBorrowedBuffer) {
    std::uint8_t borrowed[64];
    std::memset(borrowed, 0x5A, sizeof borrowed);
    C_Image im;
    ASSERT_TRUE(im.CreateLocked(4, 4, 16, 24, -1, borrowed));
    ASSERT_TRUE(im.CreateEmpty(4, 4, 24, -1, C_Color(0.0f, 0.0f, 0.0f, 0.0f)));  // same byte size
    EXPECT_NE(im.data, borrowed);
    EXPECT_EQ(im.locked, 0);
    EXPECT_EQ(borrowed[0], 0x5A);  // the owner's bytes are untouched
    EXPECT_EQ(borrowed[63], 0x5A);
}

TEST(ImageCreateLocked, ViewFieldsAndFailures) {
    std::uint8_t memory[3 * 20] = {};
    C_Image im;
    ASSERT_TRUE(im.CreateEmpty(2, 2, 6, 21));
    ASSERT_TRUE(im.CreateLocked(5, 3, 20, 21, -1, memory));
    EXPECT_EQ(im.data, memory);
    EXPECT_EQ(im.width, 5u);
    EXPECT_EQ(im.height, 3u);
    EXPECT_EQ(im.pitch, 20u);
    EXPECT_EQ(im.rowBytes, 15u);
    EXPECT_EQ(im.dataSize, 60u);
    EXPECT_EQ(im.bpp, 24u);
    EXPECT_EQ(im.locked, 1);
    EXPECT_EQ(im.m_palette, nullptr);  // the old palette was released
    EXPECT_EQ(im.palFormat, -1);

    const Snapshot view(im);
    Gfx_ClearError();
    EXPECT_FALSE(im.CreateLocked(5, 3, 20, 21, -1, nullptr));
    ExpectFailure(GFX_ERR_NULL_ARG, "C_Image::CreateLocked{newData}", "C_Image::CreateLocked");
    EXPECT_TRUE(Snapshot(im) == view);
    Gfx_ClearError();
    EXPECT_FALSE(im.CreateLocked(5, 3, 20, 0, -1, memory));
    ExpectFailure(GFX_ERR_FORMAT, "C_Image::CreateLocked{newFormat}", "C_Image::CreateLocked");
    EXPECT_TRUE(Snapshot(im) == view);
    Gfx_ClearError();
    EXPECT_FALSE(im.CreateLocked(8, 3, 20, 21, -1, memory));  // rows of 24 bytes, 20 apart
    ExpectFailure(GFX_ERR_BAD_DATA, "C_Image::CreateLocked{newPitch}", "C_Image::CreateLocked");
    EXPECT_TRUE(Snapshot(im) == view);

    Gfx_ClearError();
    EXPECT_FALSE(im.CreateLocked(5, 3, 20, 4, 0, memory));
    ExpectFailure(GFX_ERR_PALETTE_FORMAT, "C_Image::CreateLocked{newPalFormat}", "C_Image::CreateLocked");
    EXPECT_EQ(im.data, memory);  // the view stays
    EXPECT_EQ(im.format, 4);

    ASSERT_TRUE(im.CreateLocked(5, 3, 20, 4, 21, memory));
    EXPECT_EQ(im.palBpp, 24u);
    EXPECT_EQ(im.m_palette, nullptr);
    // Destroying `im` must not free `memory` (a stack array: a free would be
    // caught by the sanitizer build).
}

// Clears a w × h image of `format` whose buffer was first filled with 0xCC
// and returns the buffer.
Bytes Cleared(std::int32_t format, std::uint32_t w, std::uint32_t h, const C_Color& color) {
    C_Image im;
    EXPECT_TRUE(im.CreateEmpty(w, h, format, -1));
    std::memset(im.data, 0xCC, im.dataSize);
    EXPECT_TRUE(im.Clear(color));
    return AllBytes(im);
}

Bytes Repeat(const Bytes& unit, std::size_t times) {
    Bytes out;
    for (std::size_t i = 0; i < times; ++i) out.insert(out.end(), unit.begin(), unit.end());
    return out;
}

TEST(ImageClear, SubByteFormats) {
    const float justAboveHalf = 0.50000006f;
    // 1 bit: the red component against one half, at full 32-bit precision.
    EXPECT_EQ(Cleared(5, 10, 2, C_Color(0.5f, 0.0f, 0.0f, 0.0f)), Bytes(4, 0x00));
    EXPECT_EQ(Cleared(5, 10, 2, C_Color(justAboveHalf, 0.0f, 0.0f, 0.0f)), Bytes(4, 0xFF));
    EXPECT_EQ(Cleared(1, 9, 1, C_Color(1.0f, 0.0f, 0.0f, 0.0f)), Bytes(2, 0xFF));
    // 2 bits: 0.5 gives 1, 0.75 gives 2, 1.0 gives 3, repeated four times a byte.
    EXPECT_EQ(Cleared(2, 5, 1, C_Color(0.5f, 0.0f, 0.0f, 0.0f)), Bytes(2, 0x55));
    EXPECT_EQ(Cleared(2, 5, 1, C_Color(0.75f, 0.0f, 0.0f, 0.0f)), Bytes(2, 0xAA));
    EXPECT_EQ(Cleared(2, 5, 1, C_Color(1.0f, 0.0f, 0.0f, 0.0f)), Bytes(2, 0xFF));
    // 4 bits.
    EXPECT_EQ(Cleared(3, 5, 1, C_Color(0.5f, 0.0f, 0.0f, 0.0f)), Bytes(3, 0x77));
    EXPECT_EQ(Cleared(3, 5, 1, C_Color(1.0f, 1.0f, 1.0f, 1.0f)), Bytes(3, 0xFF));
}

TEST(ImageClear, IntegerFormatsUpTo32Bits) {
    // 8 bits: one channel from red at 32-bit precision, several channels
    // from 8-bit values shifted down to each width.
    EXPECT_EQ(Cleared(6, 3, 3, C_Color(0.5f, 1.0f, 1.0f, 1.0f)), Bytes(9, 0x7F));
    EXPECT_EQ(Cleared(4, 3, 1, C_Color(1.0f, 0.0f, 0.0f, 0.0f)), Bytes(3, 0xFF));
    EXPECT_EQ(Cleared(12, 3, 1, C_Color(1.0f, 0.0f, 0.0f, 0.0f)), Bytes(3, 0xE0));
    EXPECT_EQ(Cleared(27, 3, 1, C_Color(1.0f, 0.0f, 1.0f, 0.0f)), Bytes(3, 0xE3));
    // 16 bits, including the green value that reaches into red.
    EXPECT_EQ(Cleared(14, 3, 2, C_Color(1.0f, 1.0f, 1.0f, 0.0f)), Bytes(12, 0xFF));
    EXPECT_EQ(Cleared(14, 3, 2, C_Color(0.0f, 2.0f, 0.0f, 0.0f)), Repeat({0xE0, 0x0F}, 6));
    EXPECT_EQ(Cleared(19, 3, 1, C_Color(0.0f, 0.0f, 0.0f, 1.0f)), Repeat({0x00, 0x80}, 3));
    EXPECT_EQ(Cleared(7, 3, 1, C_Color(0.5f, 0.0f, 0.0f, 0.0f)), Repeat({0xFF, 0x7F}, 3));
    // 24 bits: odd widths leave no partial unit behind.
    EXPECT_EQ(Cleared(21, 5, 3, C_Color(1.0f, 0.5f, 0.0f, 0.0f)), Repeat({0x00, 0x7F, 0xFF}, 15));
    EXPECT_EQ(Cleared(36, 5, 1, C_Color(1.0f, 0.5f, 0.0f, 0.0f)), Repeat({0xFF, 0x7F, 0x00}, 5));
    EXPECT_EQ(Cleared(8, 3, 1, C_Color(0.5f, 0.0f, 0.0f, 0.0f)), Repeat({0xFF, 0xFF, 0x7F}, 3));
    // 32 bits.
    EXPECT_EQ(Cleared(24, 3, 1, C_Color(0.0f, 0.0f, 1.0f, 0.0f)), Repeat({0xFF, 0x00, 0x00, 0x00}, 3));
    EXPECT_EQ(Cleared(23, 3, 1, C_Color(1.0f, 0.0f, 0.0f, 0.2f)), Repeat({0x33, 0x00, 0x00, 0xFF}, 3));
    EXPECT_EQ(Cleared(9, 3, 1, C_Color(0.5f, 0.0f, 0.0f, 0.0f)), Repeat({0xFF, 0xFF, 0xFF, 0x7F}, 3));
}

TEST(ImageClear, WideIntegerFormats) {
    const C_Color c(1.0f, 0.5f, 0.0f, 0.25f);                                          // words FFFF, 7FFF, 0000, 3FFF
    EXPECT_EQ(Cleared(22, 3, 2, c), Repeat(LeBytes({0x0000, 0x7FFF, 0xFFFF}, 2), 6));  // B, G, R
    EXPECT_EQ(Cleared(37, 3, 2, c), Repeat(LeBytes({0xFFFF, 0x7FFF, 0x0000}, 2), 6));  // R, G, B
    EXPECT_EQ(Cleared(25, 3, 1, c), Repeat(LeBytes({0x3FFF, 0x0000, 0x7FFF, 0xFFFF}, 2), 3));  // A, B, G, R
    EXPECT_EQ(Cleared(26, 3, 1, c), Repeat(LeBytes({0x0000, 0x7FFF, 0xFFFF, 0x3FFF}, 2), 3));  // B, G, R, A
    EXPECT_EQ(Cleared(40, 3, 1, c), Repeat(LeBytes({0x3FFF, 0xFFFF, 0x7FFF, 0x0000}, 2), 3));  // A, R, G, B
    EXPECT_EQ(Cleared(41, 3, 1, c), Repeat(LeBytes({0xFFFF, 0x7FFF, 0x0000, 0x3FFF}, 2), 3));  // R, G, B, A
}

TEST(ImageClear, FloatFormats) {
    const C_Color c(0.25f, 0.5f, 0.75f, 1.0f);
    const std::uint64_t r = FloatBits(0.25f), g = FloatBits(0.5f), b = FloatBits(0.75f), a = FloatBits(1.0f);
    EXPECT_EQ(Cleared(10, 3, 2, c), Repeat(LeBytes({r}, 4), 6));
    EXPECT_EQ(Cleared(42, 3, 1, c), Repeat(LeBytes({b, g, r}, 4), 3));
    EXPECT_EQ(Cleared(45, 3, 1, c), Repeat(LeBytes({r, g, b}, 4), 3));
    EXPECT_EQ(Cleared(43, 3, 1, c), Repeat(LeBytes({a, b, g, r}, 4), 3));
    EXPECT_EQ(Cleared(44, 3, 1, c), Repeat(LeBytes({b, g, r, a}, 4), 3));
    EXPECT_EQ(Cleared(46, 3, 1, c), Repeat(LeBytes({a, r, g, b}, 4), 3));
    EXPECT_EQ(Cleared(47, 3, 1, c), Repeat(LeBytes({r, g, b, a}, 4), 3));
    // 64-bit floats are not written.
    EXPECT_EQ(Cleared(11, 3, 1, c), Bytes(24, 0xCC));
}

TEST(ImageClear, ViewPaddingAndEdgeCases) {
    // A view whose rows are 4 bytes apart but 3 long: the gap is not ours.
    std::uint8_t memory[12];
    std::memset(memory, 0xCC, sizeof memory);
    C_Image view;
    ASSERT_TRUE(view.CreateLocked(3, 3, 4, 6, -1, memory));
    ASSERT_TRUE(view.Clear(C_Color(1.0f, 0.0f, 0.0f, 0.0f)));
    const Bytes expected = {0xFF, 0xFF, 0xFF, 0xCC, 0xFF, 0xFF, 0xFF, 0xCC, 0xFF, 0xFF, 0xFF, 0xCC};
    EXPECT_EQ(Bytes(memory, memory + 12), expected);

    C_Image empty;
    EXPECT_TRUE(empty.Clear(C_Color(1.0f, 1.0f, 1.0f, 1.0f)));  // nothing to set

    C_Image broken;
    ASSERT_TRUE(broken.CreateEmpty(2, 2, 24, -1));
    broken.format = 0;
    Gfx_ClearError();
    EXPECT_FALSE(broken.Clear(C_Color()));
    ExpectFailure(GFX_ERR_FORMAT, "C_Image::Clear{format}", "C_Image::Clear");
    broken.format = 24;
    broken.height = 3;  // claims more rows than its buffer holds
    Gfx_ClearError();
    EXPECT_FALSE(broken.Clear(C_Color()));
    ExpectFailure(GFX_ERR_BAD_DATA, "C_Image::Clear{data}", "C_Image::Clear");
    broken.height = 2;
}

TEST(ImageAssign, CopyOfALockedViewOwnsItsBuffer) {
    const Mem_Usage start = Mem_GetUsage();
    std::uint8_t memory[2 * 8];
    for (int i = 0; i < 16; ++i) memory[i] = static_cast<std::uint8_t>(i + 1);
    {
        C_Image view;
        ASSERT_TRUE(view.CreateLocked(2, 2, 8, 21, -1, memory));
        C_Image copy;
        copy = view;
        EXPECT_EQ(copy.locked, 0);
        EXPECT_NE(copy.data, memory);
        EXPECT_EQ(copy.width, 2u);
        EXPECT_EQ(copy.height, 2u);
        EXPECT_EQ(copy.pitch, 8u);
        EXPECT_EQ(copy.dataSize, 16u);
        EXPECT_EQ(copy.rowBytes, 6u);
        EXPECT_EQ(copy.format, 21);
        EXPECT_EQ(StoredRow(copy, 0, 6), Bytes(memory, memory + 6));
        EXPECT_EQ(StoredRow(copy, 1, 6), Bytes(memory + 8, memory + 14));
        EXPECT_EQ(Mem_GetUsage().memCurrent, start.memCurrent + 2 * sizeof(C_Image) + 16);
    }
    EXPECT_EQ(Mem_GetUsage().memCurrent, start.memCurrent);
    EXPECT_EQ(memory[0], 1);
}

TEST(ImageAssign, ViewEndingBeforePitchTimesHeightIsNotOverread) {
    // A 2 × 2 window into the bottom-right corner of a 4 × 2 picture: its
    // last row ends where the picture ends, short of pitch × height.
    auto picture = std::make_unique<std::uint8_t[]>(8);
    for (int i = 0; i < 8; ++i) picture[i] = static_cast<std::uint8_t>(0x10 + i);
    C_Image view;
    ASSERT_TRUE(view.CreateLocked(2, 2, 4, 6, -1, picture.get() + 2));
    C_Image copy(view);
    EXPECT_EQ(AllBytes(copy), (Bytes{0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x00, 0x00}));
}

TEST(ImageAssign, BottomUpSourceKeepsItsPicture) {
    C_Image src;
    ASSERT_TRUE(src.CreateEmpty(2, 3, 6, 24));
    src.bottomUp = 1;
    for (std::uint32_t y = 0; y < 3; ++y) std::memset(src.Row(y), static_cast<int>(10 * (y + 1)), 2);
    for (std::uint32_t i = 0; i < src.paletteSize; ++i) src.m_palette[i] = static_cast<std::uint8_t>(i * 3);

    C_Image copy;
    copy = src;
    EXPECT_EQ(copy.bottomUp, 0);
    for (std::uint32_t y = 0; y < 3; ++y) EXPECT_EQ(copy.Row(y)[0], 10 * (y + 1)) << y;
    ASSERT_NE(copy.m_palette, nullptr);
    EXPECT_NE(copy.m_palette, src.m_palette);
    EXPECT_EQ(copy.paletteSize, 1024u);
    EXPECT_EQ(copy.palFormat, 24);
    EXPECT_EQ(copy.palBpp, 32u);
    EXPECT_EQ(std::memcmp(copy.m_palette, src.m_palette, 1024), 0);

    copy = copy;  // self-assignment keeps everything
    EXPECT_EQ(copy.Row(2)[1], 30);
    C_Image empty;
    copy = empty;
    ExpectEmptyState(copy);
}

TEST(ImageFlip, SwapsRowsAndLeavesPaddingAlone) {
    for (std::uint32_t h : {1u, 2u, 3u, 4u}) {
        std::uint8_t memory[4 * 4];
        for (std::uint32_t i = 0; i < 16; ++i) memory[i] = static_cast<std::uint8_t>(i);
        C_Image view;
        ASSERT_TRUE(view.CreateLocked(3, h, 4, 6, -1, memory));
        ASSERT_TRUE(view.FlipVertical());
        for (std::uint32_t y = 0; y < h; ++y) {
            const std::uint32_t from = h - 1 - y;
            EXPECT_EQ(StoredRow(view, y, 3),
                      (Bytes{std::uint8_t(4 * from), std::uint8_t(4 * from + 1), std::uint8_t(4 * from + 2)}))
                << h << " " << y;
            EXPECT_EQ(memory[4 * y + 3], 4 * y + 3);  // padding byte of the row
        }
    }
}

TEST(ImageRows, BottomUpAddressing) {
    C_Image im;
    ASSERT_TRUE(im.CreateEmpty(5, 4, 21, -1));
    EXPECT_EQ(im.Row(0), im.data);
    EXPECT_EQ(im.Row(3), im.data + 45);
    im.bottomUp = 1;
    EXPECT_EQ(im.Row(0), im.data + 3 * 15);
    EXPECT_EQ(im.Row(1), im.data + 2 * 15);
    EXPECT_EQ(im.Row(3), im.data);
    const C_Image& constant = im;
    EXPECT_EQ(constant.Row(0), im.data + 45);
}

TEST(ImageMemory, CounterReturnsToItsStartValue) {
    const std::uint32_t start = Mem_GetUsage().memCurrent;
    {
        std::uint8_t memory[64] = {};
        C_Image a;
        EXPECT_EQ(Mem_GetUsage().memCurrent, start + sizeof(C_Image));
        ASSERT_TRUE(a.CreateEmpty(10, 10, 24, 21));
        EXPECT_EQ(Mem_GetUsage().memCurrent, start + sizeof(C_Image) + 400 + 768);
        ASSERT_TRUE(a.CreateEmpty(20, 10, 24, 24));  // both buffers change size
        ASSERT_TRUE(a.CreateEmpty(20, 10, 24, -1));
        ASSERT_TRUE(a.FlipVertical());
        auto b = std::make_unique<C_Image>(a);
        C_Image c;
        ASSERT_TRUE(c.CreateEmpty(3, 3, 4, 21));
        c = a;
        ASSERT_TRUE(c.CreateLocked(4, 4, 16, 24, -1, memory));
        ASSERT_TRUE(c.CreateEmpty(2, 2, 6, 24));
        a.Free();
        a.Free();  // a second release frees nothing twice
        EXPECT_EQ(a.data, nullptr);
        b.reset();
    }
    EXPECT_EQ(Mem_GetUsage().memCurrent, start);
}

}  // namespace
