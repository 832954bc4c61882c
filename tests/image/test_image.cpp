#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "error_case.h"
#include "image_test_support.h"
#include "quillory.h"
#include "test_support.h"

namespace {

// Every field, so "unchanged" and "empty" are each one comparison.
auto Fields(const C_Image& i) {
    return std::make_tuple(static_cast<const void*>(i.data), static_cast<const void*>(i.m_palette), i.bpp, i.width,
                           i.height, i.pitch, i.dataSize, i.paletteSize, i.palBpp, i.rowBytes, i.format, i.palFormat,
                           i.locked, i.bottomUp);
}
const auto kEmpty = Fields(C_Image());

TEST(Image, CreateEmptyShapes) {
    struct Case {
        std::uint32_t w, h;
        std::int32_t format, pal;
        std::uint32_t bpp, pitch, dataSize, paletteSize, palBpp;
    };
    const Case cases[] = {
        {800, 600, 24, -1, 32, 3200, 1920000, 0, 0},
        {3, 2, 1, 24, 1, 1, 2, 1024, 32},
        {5, 1, 3, -1, 4, 3, 3, 0, 0},
        {4, 4, 4, 21, 8, 4, 16, 768, 24},
        {4, 4, 6, GFX_FMT_SAME, 8, 4, 16, 0, 0},
        {7, 3, GFX_FMT_NONE, -1, 0, 0, 0, 0, 0},  // no format: no pixel bytes
    };
    const std::uint32_t start = Mem_GetUsage().memCurrent;
    C_Image im;  // reused: each shape replaces the last, buffers and counter alike
    for (const Case& c : cases) {
        SCOPED_TRACE(c.format);
        ASSERT_TRUE(im.CreateEmpty(c.w, c.h, c.format, c.pal));
        EXPECT_EQ(std::make_tuple(im.bpp, im.pitch, im.rowBytes, im.dataSize, im.paletteSize, im.palBpp),
                  std::make_tuple(c.bpp, c.pitch, c.pitch, c.dataSize, c.paletteSize, c.palBpp));
        EXPECT_EQ(im.m_palette != nullptr, c.paletteSize != 0);
        EXPECT_EQ(im.data != nullptr, c.dataSize != 0);
        EXPECT_EQ(im.palFormat, c.pal);
        EXPECT_EQ(Mem_GetUsage().memCurrent, start + sizeof(C_Image) + c.dataSize + c.paletteSize);
    }
    im.Free();
    im.Free();  // a second release frees nothing twice
    EXPECT_EQ(Mem_GetUsage().memCurrent, start + sizeof(C_Image));
    // Over a locked view even a buffer of the same size is a new one: the
    // borrowed memory is never written.
    std::uint8_t borrowed[64];
    std::memset(borrowed, 0x5A, sizeof borrowed);
    ASSERT_TRUE(im.CreateLocked(4, 4, 16, 24, -1, borrowed));
    ASSERT_TRUE(im.CreateEmpty(4, 4, 24, -1, C_Color(0.0f, 0.0f, 0.0f, 0.0f)));
    EXPECT_NE(im.data, borrowed);
    EXPECT_EQ(im.locked, 0);
    EXPECT_EQ(Bytes(borrowed, borrowed + 64), Bytes(64, 0x5A));
}

TEST(Image, RefusalsLeaveTheImageAsItWas) {
    std::uint8_t memory[60] = {};
    C_Image im;
    ASSERT_TRUE(im.CreateEmpty(3, 3, 21, 24));
    const auto before = Fields(im);
    const std::string ce = "C_Image::CreateEmpty", cl = "C_Image::CreateLocked";
    const std::vector<ErrorCase> cases = {
        {"format 48", [&] { return im.CreateEmpty(9, 9, 48, -1); }, GFX_ERR_FORMAT, ce + "{newFormat}", ce},
        {"view of nothing", [&] { return im.CreateLocked(5, 3, 20, 21, -1, nullptr); }, GFX_ERR_NULL_ARG,
         cl + "{newData}", cl},
        {"view of format 0", [&] { return im.CreateLocked(5, 3, 20, 0, -1, memory); }, GFX_ERR_FORMAT,
         cl + "{newFormat}", cl},
        {"view rows of 24 bytes, 20 apart", [&] { return im.CreateLocked(8, 3, 20, 21, -1, memory); }, GFX_ERR_BAD_DATA,
         cl + "{newPitch}", cl},
    };
    for (const ErrorCase& c : cases) {
        ExpectReported(c);
        EXPECT_EQ(Fields(im), before) << c.what;
    }
    // A bad palette format fails after the pixel part is rebuilt.
    ExpectReported({"palette format 99", [&] { return im.CreateEmpty(2, 2, 4, 99); }, GFX_ERR_PALETTE_FORMAT,
                    ce + "{newPalFormat}", ce});
    EXPECT_EQ(std::make_tuple(im.format, im.dataSize), std::make_tuple(4, 4u));
    ExpectReported({"view with palette format 0", [&] { return im.CreateLocked(5, 3, 20, 4, 0, memory); },
                    GFX_ERR_PALETTE_FORMAT, cl + "{newPalFormat}", cl});
    EXPECT_EQ(im.data, memory);
    // A size no memory can hold fails without allocating and leaves it empty.
    C_Image fresh;
    ExpectReported({"huge", [&] { return fresh.CreateEmpty(0xFFFFFFFFu, 0xFFFFFFFFu, 47, -1); }, GFX_ERR_NO_MEMORY,
                    ce + "{data}", ce});
    EXPECT_EQ(Fields(fresh), kEmpty);
}

// Clear writes the colour in every format (below 8 bits and one-channel
// formats from red at 32-bit precision, 8-bit values shifted to each width,
// words, floats; 64-bit floats are left alone), against a golden hash of
// the buffers, first filled with 0xCC.
TEST(Image, ClearWritesTheColourInEveryFormat) {
    const float justAboveHalf = 0.50000006f;
    const C_Color wide(1.0f, 0.5f, 0.0f, 0.25f), floats(0.25f, 0.5f, 0.75f, 1.0f);
    auto cleared = [](std::int32_t format, const C_Color& color) {
        C_Image im;
        EXPECT_TRUE(im.CreateEmpty(10, 2, format, -1));
        if (im.data) std::memset(im.data, 0xCC, im.dataSize);
        EXPECT_TRUE(im.Clear(color));
        return AllBytes(im);
    };
    const C_Color colors[] = {C_Color(0.5f, 0, 0, 0),
                              C_Color(justAboveHalf, 0, 0, 0),
                              C_Color(0.75f, 0, 0, 0),
                              C_Color(0.5f, 1.0f, 1.0f, 1.0f),
                              C_Color(0, 2.0f, 0, 0),
                              C_Color(1.0f, 0, 1.0f, 0.2f),
                              wide,
                              floats};
    Bytes all;
    for (std::int32_t format = 1; format <= 47; ++format)
        for (const C_Color& c : colors) Append(all, cleared(format, c));
    EXPECT_EQ(Fnv1a(all), 0xaa393a70b8bc1d25ull) << std::hex << Fnv1a(all);
    // A view whose rows are 4 bytes apart but 3 long: the gap is not ours.
    std::uint8_t memory[12];
    std::memset(memory, 0xCC, sizeof memory);
    C_Image view;
    ASSERT_TRUE(view.CreateLocked(3, 3, 4, 6, -1, memory));
    ASSERT_TRUE(view.Clear(C_Color(1.0f, 0.0f, 0.0f, 0.0f)));
    EXPECT_EQ(Bytes(memory, memory + 12),
              (Bytes{0xFF, 0xFF, 0xFF, 0xCC, 0xFF, 0xFF, 0xFF, 0xCC, 0xFF, 0xFF, 0xFF, 0xCC}));

    C_Image broken;
    ASSERT_TRUE(broken.CreateEmpty(2, 2, 24, -1));
    auto clearAs = [&](std::int32_t format, std::uint32_t height) {
        return [&, format, height] {
            broken.format = format;
            broken.height = height;
            const bool ok = broken.Clear(C_Color());
            broken.format = 24;
            broken.height = 2;
            return ok;
        };
    };
    ExpectReported({"format 0", clearAs(0, 2), GFX_ERR_FORMAT, "C_Image::Clear{format}", "C_Image::Clear"});
    ExpectReported({"more rows than the buffer holds", clearAs(24, 3), GFX_ERR_BAD_DATA, "C_Image::Clear{data}",
                    "C_Image::Clear"});
}

TEST(Image, CopiesOwnTheirBuffersAndKeepThePicture) {
    const Mem_Usage start = Mem_GetUsage();
    {
        // A 2 × 2 window into the bottom-right corner of a 4 × 2 picture: its
        // last row ends where the picture ends, short of pitch × height.
        auto picture = std::make_unique<std::uint8_t[]>(8);
        for (int i = 0; i < 8; ++i) picture[i] = static_cast<std::uint8_t>(0x10 + i);
        C_Image view;
        ASSERT_TRUE(view.CreateLocked(2, 2, 4, 6, -1, picture.get() + 2));
        C_Image copy;
        copy = view;
        EXPECT_EQ(copy.locked, 0);
        EXPECT_EQ(std::make_tuple(copy.width, copy.height, copy.pitch, copy.rowBytes), std::make_tuple(2u, 2u, 4u, 2u));
        EXPECT_EQ(AllBytes(copy), (Bytes{0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x00, 0x00}));
        EXPECT_EQ(Mem_GetUsage().memCurrent, start.memCurrent + 2 * sizeof(C_Image) + 8);

        // A bottom-up source gives a top-down copy of the same picture, with
        // a palette of its own.
        C_Image src;
        ASSERT_TRUE(src.CreateEmpty(2, 3, 6, 24));
        src.bottomUp = 1;
        for (std::uint32_t y = 0; y < 3; ++y) std::memset(src.Row(y), static_cast<int>(10 * (y + 1)), 2);
        for (std::uint32_t i = 0; i < src.paletteSize; ++i) src.m_palette[i] = static_cast<std::uint8_t>(i * 3);
        copy = src;
        EXPECT_EQ(copy.bottomUp, 0);
        for (std::uint32_t y = 0; y < 3; ++y) EXPECT_EQ(copy.Row(y)[0], 10 * (y + 1)) << y;
        ASSERT_NE(copy.m_palette, src.m_palette);
        EXPECT_EQ(std::memcmp(copy.m_palette, src.m_palette, 1024), 0);
    }
    EXPECT_EQ(Mem_GetUsage().memCurrent, start.memCurrent);
}

TEST(Image, FlipSwapsRowsAndLeavesPadding) {
    for (std::uint32_t h : {1u, 2u, 3u, 4u}) {
        std::uint8_t memory[16];
        for (std::uint32_t i = 0; i < 16; ++i) memory[i] = static_cast<std::uint8_t>(i);
        C_Image view;
        ASSERT_TRUE(view.CreateLocked(3, h, 4, 6, -1, memory));
        ASSERT_TRUE(view.FlipVertical());
        for (std::uint32_t y = 0; y < h; ++y) {
            const auto from = static_cast<std::uint8_t>(4 * (h - 1 - y));
            EXPECT_EQ(StoredRow(view, y, 4),
                      (Bytes{from, std::uint8_t(from + 1), std::uint8_t(from + 2), std::uint8_t(4 * y + 3)}))
                << h << " " << y;
        }
    }
}

// ------------------------------------------------------------ image records

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
    // A record of an unknown format is refused and nothing is written.
    C_Image grey;
    ASSERT_TRUE(grey.CreateEmpty(3, 2, GFX_FMT_CH8, GFX_FMT_NONE));
    grey.format = 99;
    C_Stream sink;
    sink.OpenMemoryWrite();
    EXPECT_FALSE(grey.SaveToStream(&sink, 0));
    grey.format = GFX_FMT_CH8;
    ExpectFailure(GFX_ERR_FORMAT, "C_Image::SaveToStream{format}", "C_Image::SaveToStream");
    EXPECT_EQ(sink.Size(), 0u);
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

TEST(ImageFile, MalformedRecordsAreRefusedUnbackedBytesWithinTheBudget) {
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
