#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "image_test_support.h"
#include "quillory.h"
#include "test_support.h"

namespace {

// Composes an image record byte by byte.
struct Record {
    Bytes bytes;
    Record& U16(std::uint16_t v) {
        Put16(bytes, v);
        return *this;
    }
    Record& U32(std::uint32_t v) {
        Put32(bytes, v);
        return *this;
    }
    Record& Fill(std::size_t n, std::uint8_t v) {
        bytes.insert(bytes.end(), n, v);
        return *this;
    }
    // Tag, dataSize, width, height, pitch, bpp, format.
    Record& Header(std::uint32_t dataSize, std::uint32_t w, std::uint32_t h, std::uint32_t pitch, std::uint32_t bpp,
                   std::int32_t format) {
        return U16(6).U32(dataSize).U32(w).U32(h).U32(pitch).U32(bpp).U32(static_cast<std::uint32_t>(format));
    }
};

bool Load(C_Image& image, const Bytes& bytes) {
    C_Stream s;
    s.OpenMemoryRead(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    return image.LoadFromStream(&s, 0);
}

// Fills every byte of the pixel buffer with a position-dependent pattern.
void Pattern(C_Image& image) {
    for (std::uint32_t i = 0; i < image.dataSize; ++i) image.data[i] = static_cast<std::uint8_t>(i * 7 + 3);
}

// Every format's record loads back as it was saved: rows of the stored
// formats travel (a view's gaps become zeros, never old memory), the
// header-only formats come back zeroed, palettes travel with the pixels, and
// the row order is memory order either way. The records themselves (tag,
// then dataSize, width, height, pitch, bpp, format and the palette's size,
// format and bits, all little-endian, then the rows) match a golden hash.
TEST(ImageFile, EveryFormatRoundTrips) {
    Bytes all;
    for (std::int32_t format = 1; format <= 47; ++format) {
        SCOPED_TRACE(format);
        const bool headerOnly = format == 1 || format == 5 || format == 22 || format == 25 || format == 26 ||
                                format == 37 || format == 40 || format == 41;
        std::uint8_t memory[4 * 48] = {};
        C_Image image;
        if (format == GFX_FMT_INDEX8) {  // a view has no palette of its own
            ASSERT_TRUE(image.CreateEmpty(3, 4, format, GFX_FMT_RGB888));
            for (std::uint32_t i = 0; i < image.paletteSize; ++i) image.m_palette[i] = static_cast<std::uint8_t>(~i);
        } else {
            ASSERT_TRUE(image.CreateLocked(3, 4, 48, format, -1, memory));
        }
        Pattern(image);
        image.bottomUp = format % 2 == 0;
        const Bytes bytes = Quillory_Saved(image);
        Append(all, bytes);
        C_Image back;
        ASSERT_TRUE(Load(back, bytes));
        EXPECT_EQ(back.format, format);
        EXPECT_EQ(back.bpp, image.bpp);
        EXPECT_EQ(std::make_tuple(back.width, back.height, back.pitch, back.rowBytes, back.dataSize),
                  std::make_tuple(3u, 4u, image.pitch, image.rowBytes, image.dataSize));
        EXPECT_EQ(back.locked, 0);
        EXPECT_EQ(back.bottomUp, 0);
        EXPECT_EQ(back.palFormat, image.palFormat);
        EXPECT_EQ(back.paletteSize, image.paletteSize);
        if (image.m_palette) {
            EXPECT_EQ(std::memcmp(back.m_palette, image.m_palette, image.paletteSize), 0);
        }
        for (std::uint32_t i = 0; i < back.dataSize; ++i) {
            const bool inRow = i % image.pitch < image.rowBytes;
            ASSERT_EQ(back.data[i], headerOnly || !inRow ? 0 : image.data[i]) << i;
        }
    }
    EXPECT_EQ(Fnv1a(all), 0x5d68a3975b70aa8dull) << std::hex << Fnv1a(all);
}

TEST(ImageFile, PalettesWithoutFormatAreReadInStep) {
    for (const std::int32_t palFormat : {-1, -2, 99}) {
        SCOPED_TRACE(palFormat);
        Record r;
        r.Header(2, 2, 1, 2, 8, GFX_FMT_CH8).U32(16).U32(static_cast<std::uint32_t>(palFormat)).U32(0);
        r.Fill(16, 0xAB).U16(0x0201);
        C_Image back;
        ASSERT_TRUE(Load(back, r.bytes));
        ASSERT_TRUE(Load(back, r.bytes));  // reloading releases the first load
        EXPECT_EQ(back.paletteSize, 16u);
        EXPECT_EQ(back.palFormat, palFormat);
        EXPECT_EQ(back.m_palette[15], 0xAB);
        EXPECT_EQ(back.data[0], 1);
        EXPECT_EQ(back.data[1], 2);
    }
}

struct BadRecord {
    const char* what;
    Bytes bytes;
    std::int32_t code;
};

std::vector<BadRecord> BadRecords() {
    std::vector<BadRecord> cases;
    auto add = [&](const char* what, const Record& r, std::int32_t code = GFX_ERR_BAD_DATA) {
        cases.push_back({what, r.bytes, code});
    };
    add("wrong tag", Record().U16(7).U32(0).U32(0));
    add("header cut short", Record().U16(6).U32(8).U32(2));
    add("unknown format", Record().Header(4, 2, 2, 1, 8, 48).U32(0).Fill(4, 0), GFX_ERR_FORMAT);
    add("bpp differs from the format's", Record().Header(8, 2, 2, 4, 16, GFX_FMT_CH8).U32(0).Fill(8, 0));
    add("pitch below the row length", Record().Header(12, 2, 2, 5, 24, GFX_FMT_RGB888).U32(0).Fill(12, 0));
    add("dataSize below the last row's end", Record().Header(11, 2, 2, 6, 24, GFX_FMT_RGB888).U32(0).Fill(12, 0));
    add("row length beyond 32 bits",
        Record().Header(0xFFFFFFFF, 0x40000001, 1, 0xFFFFFFFF, 32, GFX_FMT_ARGB8888).U32(0));
    add("pitch times height beyond 32 bits",
        Record().Header(0xFFFFFFFF, 1, 0x10001, 0x10000, 8, GFX_FMT_CH8).U32(0).Fill(0x10001, 0));
    add("pixel rows cut short", Record().Header(6, 3, 2, 3, 8, GFX_FMT_CH8).U32(0).Fill(5, 1));
    add("forged huge buffer behind a header-only format",
        Record().Header(0xFFFFFFF0, 1, 0x2AAAAAA, 6, 48, GFX_FMT_RGB48).U32(0));
    add("wide pitch beyond the unbacked limit",
        Record().Header(0x4000006, 2, 2, 0x4000004, 8, GFX_FMT_CH8).U32(0).Fill(4, 0));
    add("palette cut short", Record().Header(1, 1, 1, 1, 8, GFX_FMT_INDEX8).U32(768).U32(21).U32(24).Fill(700, 0));
    add("forged huge palette", Record().Header(1, 1, 1, 1, 8, GFX_FMT_INDEX8).U32(0x7FFFFFFF).U32(21).U32(24));
    add("palette too small for its format",
        Record().Header(1, 1, 1, 1, 8, GFX_FMT_INDEX8).U32(3).U32(21).U32(24).Fill(3, 0).Fill(1, 0xFF));
    add("palette bpp differs from its format's",
        Record().Header(1, 1, 1, 1, 8, GFX_FMT_INDEX8).U32(768).U32(21).U32(32).Fill(768, 0).Fill(1, 0));
    return cases;
}

TEST(ImageFile, MalformedRecordsAreRefusedAndLeaveTheImageEmpty) {
    for (const BadRecord& bad : BadRecords()) {
        SCOPED_TRACE(bad.what);
        C_Image image;
        ASSERT_TRUE(image.CreateEmpty(2, 2, GFX_FMT_INDEX8, GFX_FMT_RGB888));  // old content to lose
        Gfx_ClearError();
        const std::uint32_t before = Mem_GetUsage().memCurrent - image.dataSize - image.paletteSize;
        EXPECT_FALSE(Load(image, bad.bytes));
        EXPECT_EQ(Gfx_GetErrorDetailCode(), bad.code);
        EXPECT_EQ(std::string(Gfx_GetErrorDetail()).rfind("C_Image::LoadFromStream{", 0), 0u) << Gfx_GetErrorDetail();
        ExpectEmptied(image);
        EXPECT_EQ(Mem_GetUsage().memCurrent, before);
    }
}

TEST(ImageFile, UnbackedBytesWithinTheLoadBudget) {
    // A header-only format describes its whole buffer without carrying it; up
    // to the budget of it is made (zeroed) from the header alone, a row more
    // is refused with a reason.
    const auto rows = static_cast<std::uint32_t>(GFX_LOAD_UNBACKED_BUDGET / 6);
    for (const std::uint32_t h : {rows, rows + 1}) {
        Record r;
        r.Header(h * 6, 1, h, 6, 48, GFX_FMT_RGB48).U32(0);
        C_Image image;
        const bool ok = Load(image, r.bytes);
        EXPECT_EQ(ok, h == rows);
        if (ok) {
            EXPECT_EQ(image.data[image.dataSize - 1], 0);
        } else {
            EXPECT_EQ(Gfx_GetErrorDetailCode(), GFX_ERR_BAD_DATA);
            EXPECT_NE(std::string(Gfx_GetErrorReason()).find("MiB"), std::string::npos);
            ExpectEmptied(image);
        }
    }
}

}  // namespace
