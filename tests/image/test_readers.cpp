#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "image_test_support.h"
#include "quillory.h"
#include "test_support.h"

namespace {

std::string TempPath(const std::string& name) { return Quillory_TempPath(name); }

Bytes Row(const C_Image& image, std::uint32_t y) {
    const std::uint8_t* p = image.data + std::size_t{y} * image.pitch;
    return Bytes(p, p + image.rowBytes);
}

// A refused file: false, the specific code and message, the reader's summary
// line, an empty image and no memory kept.
void ExpectRefused(Reader reader, const Bytes& bytes, const char* detail, const char* site) {
    C_Image image;
    ASSERT_TRUE(image.CreateEmpty(2, 2, GFX_FMT_INDEX8, GFX_FMT_RGB888));  // old content to lose
    const std::uint32_t before = Mem_GetUsage().memCurrent - image.dataSize - image.paletteSize;
    Gfx_ClearError();
    EXPECT_FALSE(LoadWith(image, reader, bytes));
    EXPECT_EQ(Gfx_GetErrorDetailCode(), GFX_ERR_BAD_DATA);
    EXPECT_STREQ(Gfx_GetErrorDetail(), detail);
    EXPECT_EQ(Gfx_GetErrorCode(), -1);
    EXPECT_EQ(std::string(Gfx_GetErrorMessage()), std::string(site) + GFX_FATAL_SUFFIX);
    EXPECT_EQ(image.data, nullptr);
    EXPECT_EQ(image.m_palette, nullptr);
    EXPECT_EQ(image.format, -1);
    EXPECT_EQ(image.width, 0u);
    EXPECT_EQ(image.height, 0u);
    EXPECT_EQ(Mem_GetUsage().memCurrent, before);
}

// ---------------------------------------------------------------- BMP

// Two 3-pixel 24-bit rows, each padded with 0xEE to 12 bytes: file row 0
// holds pixels 1..3, file row 1 pixels 4..6 (pixel n is n, n+10, n+20).
Bytes Bmp24Rows() {
    Bytes b;
    for (std::uint8_t row = 0; row < 2; ++row) {
        for (std::uint8_t x = 0; x < 3; ++x) {
            const std::uint8_t n = static_cast<std::uint8_t>(row * 3 + x + 1);
            Append(b, {n, static_cast<std::uint8_t>(n + 10), static_cast<std::uint8_t>(n + 20)});
        }
        Append(b, {0xEE, 0xEE, 0xEE});
    }
    return b;
}

// Palette entry i is B, G, R = i, i+1, i+2 in the builder.
void ExpectBmpPaletteEntries(const C_Image& image, std::uint32_t entries) {
    ASSERT_NE(image.m_palette, nullptr);
    EXPECT_EQ(image.paletteSize, 768u);
    EXPECT_EQ(image.palFormat, GFX_FMT_RGB888);
    EXPECT_EQ(image.palBpp, 24u);
    for (std::uint32_t i = 0; i < 256; ++i) {
        const std::uint8_t* e = image.m_palette + i * 3;
        if (i < entries) {
            ASSERT_EQ(e[0], static_cast<std::uint8_t>(i)) << i;
            ASSERT_EQ(e[1], static_cast<std::uint8_t>(i + 1)) << i;
            ASSERT_EQ(e[2], static_cast<std::uint8_t>(i + 2)) << i;
        } else {
            ASSERT_EQ(e[0] | e[1] | e[2], 0) << i;
        }
    }
}

// 8-bit rows of 5 pixels padded to 8 bytes: file row r holds r*10 + x.
Bytes Bmp8Rows() {
    Bytes b;
    for (std::uint8_t row = 0; row < 2; ++row) {
        for (std::uint8_t x = 0; x < 5; ++x) b.push_back(static_cast<std::uint8_t>(row * 10 + x));
        Append(b, {0xEE, 0xEE, 0xEE});
    }
    return b;
}

// One file of each kind the reader knows, and the image's bytes it gives
// (top row first).
struct BmpVariant {
    const char* name;
    Bmp bmp;
    std::int32_t format;
    Bytes pixels;
};

Bmp MakeBmp(std::int32_t w, std::int32_t h, std::uint16_t bits, std::uint32_t compression, const Bytes& pixels,
            std::uint32_t entries = 0, std::uint32_t infoSize = 40, std::vector<std::uint32_t> masks = {}) {
    Bmp b;
    b.width = w;
    b.height = h;
    b.bits = bits;
    b.compression = compression;
    b.pixels = pixels;
    b.paletteEntries = entries;
    b.infoSize = infoSize;
    b.masks = std::move(masks);
    return b;
}

std::vector<BmpVariant> BmpVariants() {
    Bmp os2 = MakeBmp(2, 1, 8, 0, {1, 0, 0, 0}, 2, 12);
    os2.paletteEntryBytes = 3;
    // The stated image size never matters; a negative height is top-down;
    // the last row may lack its padding; the palette holds biClrUsed entries
    // (256 when 0) after an information header of any size.
    Bmp bottomUp24 = MakeBmp(3, 2, 24, 0, Bmp24Rows());
    bottomUp24.sizeImage = 1000;
    Bytes unpadded = Bmp24Rows();
    unpadded.resize(unpadded.size() - 3);
    Bmp topDown8 = MakeBmp(5, -2, 8, 0, Bmp8Rows(), 3);
    topDown8.clrUsed = 3;
    Bmp long8 = MakeBmp(5, 2, 8, 0, Bmp8Rows(), 16, 124);
    long8.clrUsed = 16;
    const Bytes rows24 = {1, 11, 21, 2, 12, 22, 3, 13, 23, 4, 14, 24, 5, 15, 25, 6, 16, 26};
    const Bytes rows8 = {0, 1, 2, 3, 4, 10, 11, 12, 13, 14};
    return {
        {"24 bits bottom-up",
         bottomUp24,
         GFX_FMT_RGB888,
         {4, 14, 24, 5, 15, 25, 6, 16, 26, 1, 11, 21, 2, 12, 22, 3, 13, 23}},
        {"24 bits top-down, last row unpadded", MakeBmp(3, -2, 24, 0, unpadded), GFX_FMT_RGB888, rows24},
        {"8 bits of 256 colours",
         MakeBmp(5, 2, 8, 0, Bmp8Rows(), 256),
         GFX_FMT_INDEX8,
         {10, 11, 12, 13, 14, 0, 1, 2, 3, 4}},
        {"8 bits of 3 colours, top-down", topDown8, GFX_FMT_INDEX8, rows8},
        {"8 bits after a long header", long8, GFX_FMT_INDEX8, {10, 11, 12, 13, 14, 0, 1, 2, 3, 4}},
        {"1 bit", MakeBmp(10, 2, 1, 0, {0xAA, 0x80, 0, 0, 0xFF, 0xC0, 0, 0}, 2), GFX_FMT_INDEX8, {1, 1, 1, 1, 1, 1, 1,
                                                                                                  1, 1, 1, 1, 0, 1, 0,
                                                                                                  1, 0, 1, 0, 1, 0}},
        {"2 bits",
         MakeBmp(5, 2, 2, 0, {0x1B, 0, 0, 0, 0xE4, 0xC0, 0, 0}, 4),
         GFX_FMT_INDEX8,
         {3, 2, 1, 0, 3, 0, 1, 2, 3, 0}},
        {"4 bits top-down",
         MakeBmp(3, -2, 4, 0, {0x12, 0x30, 0, 0, 0xAB, 0xC0, 0, 0}, 16),
         GFX_FMT_INDEX8,
         {1, 2, 3, 10, 11, 12}},
        {"16 bits 5-5-5", MakeBmp(2, 1, 16, 0, {0x10, 0x42, 0x01, 0x7C}), GFX_FMT_RGB888, {132, 132, 132, 8, 0, 255}},
        {"16 bits 5-6-5 masks",
         MakeBmp(2, 1, 16, 3, {0xE0, 0x07, 0x10, 0x80}, 0, 40, {0xF800, 0x07E0, 0x001F}),
         GFX_FMT_RGB888,
         {0, 255, 0, 132, 0, 132}},
        {"16 bits 4-4-4-4 V3",
         MakeBmp(2, 1, 16, 3, {0x21, 0x84, 0xFF, 0x0F}, 0, 56, {0x0F00, 0x00F0, 0x000F, 0xF000}),
         GFX_FMT_ARGB8888,
         {0x11, 0x22, 0x44, 0x88, 0xFF, 0xFF, 0xFF, 0}},
        {"32 bits plain", MakeBmp(2, 1, 32, 0, {1, 2, 3, 4, 5, 6, 7, 8}), GFX_FMT_RGB888, {1, 2, 3, 5, 6, 7}},
        {"32 bits V5 alpha",
         MakeBmp(2, 1, 32, 3, {1, 2, 3, 4, 5, 6, 7, 8}, 0, 124, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}),
         GFX_FMT_ARGB8888,
         {1, 2, 3, 4, 5, 6, 7, 8}},
        {"32 bits alpha bit fields",
         MakeBmp(1, 1, 32, 6, {1, 2, 3, 4}, 0, 40, {0xFF000000, 0xFF0000, 0xFF00, 0xFF}),
         GFX_FMT_ARGB8888,
         {2, 3, 4, 1}},
        {"32 bits 10-10-10 V4",
         MakeBmp(1, 1, 32, 3, {0x01, 0x00, 0xF8, 0x3F}, 0, 108, {0x3FF00000, 0xFFC00, 0x3FF, 0}),
         GFX_FMT_RGB888,
         {0, 0x80, 0xFF}},
        {"RLE8",
         MakeBmp(4, 2, 8, 1, {2, 5, 0, 0, 0, 3, 7, 8, 9, 0, 0, 1}, 16),
         GFX_FMT_INDEX8,
         {7, 8, 9, 0, 5, 5, 0, 0}},
        {"RLE8 delta",
         MakeBmp(4, 2, 8, 1, {1, 6, 0, 2, 2, 1, 1, 9, 0, 1}, 16),
         GFX_FMT_INDEX8,
         {0, 0, 0, 9, 6, 0, 0, 0}},
        {"RLE4", MakeBmp(6, 1, 4, 2, {3, 0x12, 0, 3, 0x34, 0x50, 0, 1}, 16), GFX_FMT_INDEX8, {1, 2, 1, 3, 4, 5}},
        {"OS/2 1.x", os2, GFX_FMT_INDEX8, {1, 0}},
        {"OS/2 2.x", MakeBmp(1, 1, 24, 0, {1, 2, 3, 0}, 0, 64), GFX_FMT_RGB888, {1, 2, 3}},
    };
}

TEST(ReadBmp, Variants) {
    for (const BmpVariant& v : BmpVariants()) {
        SCOPED_TRACE(v.name);
        C_Image image;
        ASSERT_TRUE(LoadWith(image, &C_Image::LoadBMP, v.bmp.Build())) << Gfx_GetErrorReason();
        EXPECT_EQ(image.format, v.format);
        EXPECT_EQ(image.width, static_cast<std::uint32_t>(v.bmp.width));
        EXPECT_EQ(AllBytes(image), v.pixels);
        if (v.format == GFX_FMT_INDEX8) ExpectBmpPaletteEntries(image, v.bmp.paletteEntries);
    }
}

TEST(ReadBmp, CorruptFilesAreRefused) {
    const char* detail = "C_Image::LoadBMP(stream)";
    const char* site = "C_Image::Load_BMP";
    Bmp good;
    good.pixels = Bmp24Rows();
    const Bytes file = good.Build();

    const std::vector<std::pair<const char*, std::function<void(Bmp&)>>> headerCases = {
        {"compressed", [](Bmp& m) { m.compression = 1; }},
        {"zero width", [](Bmp& m) { m.width = 0; }},
        {"negative width", [](Bmp& m) { m.width = -3; }},
        {"zero height", [](Bmp& m) { m.height = 0; }},
        {"unnegatable height", [](Bmp& m) { m.height = INT32_MIN; }},
        {"forged huge size", [](Bmp& m) { m.width = m.height = 0x7FFFFFFF; }},
        {"forged huge top-down size",
         [](Bmp& m) {
             m.width = 0x7FFFFFFF;
             m.height = -0x7FFFFFFF;
         }},
        {"impossible header size", [](Bmp& m) { m.infoSize = 8; }},
    };
    for (const auto& [what, spoil] : headerCases) {
        SCOPED_TRACE(what);
        Bmp bmp = good;
        spoil(bmp);
        ExpectRefused(&C_Image::LoadBMP, bmp.Build(), detail, site);
    }
    const std::vector<std::pair<const char*, std::function<void(Bytes&)>>> byteCases = {
        {"not BM", [](Bytes& b) { b[1] = 'N'; }},
        {"short header", [](Bytes& b) { b.resize(40); }},
        {"short data", [](Bytes& b) { b.resize(b.size() - 4); }},
        {"pixels before the headers' end", [](Bytes& b) { b[10] = 20; }},
        {"pixels beyond the end", [](Bytes& b) { b[12] = 0x10; }},
    };
    for (const auto& [what, spoil] : byteCases) {
        SCOPED_TRACE(what);
        Bytes bytes = file;
        spoil(bytes);
        ExpectRefused(&C_Image::LoadBMP, bytes, detail, site);
    }
}

// ---------------------------------------------------------------- PCX

// The trailing palette: marker 12 and entry i = R, G, B of i, 100+i, 200+i.
Bytes PcxPalette() {
    Bytes b = {12};
    for (std::uint32_t i = 0; i < 256; ++i)
        Append(b,
               {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(100 + i), static_cast<std::uint8_t>(200 + i)});
    return b;
}

TEST(ReadPcx, RunsPlanesAndPalettes) {
    // 2 x 2, BytesPerLine 3: each plane line carries one spare byte; row 1
    // opens with a run of three 0x7F.
    Bytes planes = PcxHeader(3, 2, 2, 3);
    Append(planes, {1, 2, 0x55, 3, 4, 0x55, 5, 6, 0x55, 0xC3, 0x7F, 7, 8, 0x55, 9, 10, 0x55});
    // A run of 8 spans the first scanline (6 bytes) into the second; a zero
    // run gives nothing.
    Bytes across = PcxHeader(3, 2, 2, 2);
    Append(across, {0xC8, 0x11, 0xC0, 0x99, 0xC2, 0x22, 0x33, 0x44});
    // A final run longer than the last row is cut there.
    Bytes cut = PcxHeader(1, 2, 1, 2);
    Append(cut, {0xFF, 0x42});
    Append(cut, PcxPalette());
    // 0xC5 as a one-long run, a spare byte per line.
    Bytes indexed = PcxHeader(1, 3, 2, 4);
    Append(indexed, {0xC1, 0xC5, 7, 9, 0x55, 1, 0xC3, 2});
    Append(indexed, PcxPalette());
    // Runs of 63 that end exactly where the palette begins.
    Bytes exact = PcxHeader(1, 126, 1, 126);
    Append(exact, {0xFF, 0x42, 0xFF, 0x42});
    Append(exact, PcxPalette());
    const std::pair<Bytes, Bytes> cases[] = {
        {exact, Bytes(126, 0x42)},
        {planes, {5, 3, 1, 6, 4, 2, 9, 7, 0x7F, 10, 8, 0x7F}},
        {across, {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x33, 0x22, 0x11, 0x44, 0x22, 0x11}},
        {cut, {0x42, 0x42}},
        {indexed, {0xC5, 7, 9, 1, 2, 2}},
    };
    for (const auto& [file, pixels] : cases) {
        C_Image image;
        ASSERT_TRUE(LoadWith(image, &C_Image::LoadPCX, file));
        EXPECT_EQ(image.format, file[65] == 3 ? GFX_FMT_RGB888 : GFX_FMT_INDEX8);
        EXPECT_EQ(AllBytes(image), pixels);
        if (file[65] == 1) {  // stored R, G, B; kept B, G, R
            ASSERT_EQ(image.paletteSize, 768u);
            EXPECT_EQ(image.palFormat, GFX_FMT_RGB888);
            EXPECT_EQ(Bytes(image.m_palette + 15, image.m_palette + 18), Bytes({205, 105, 5}));
        }
    }
}

TEST(ReadPcx, Variants) {
    struct Case {
        const char* name;
        std::uint8_t bits, planes;
        std::uint32_t width, bytesPerLine;
        Bytes data;
        std::int32_t format;
        Bytes pixels;
    };
    const Case cases[] = {
        {"monochrome", 1, 1, 10, 2, {0xAA, 0x80}, GFX_FMT_INDEX8, {1, 0, 1, 0, 1, 0, 1, 0, 1, 0}},
        {"16 colours in 4 planes", 1, 4, 4, 1, {0xA0, 0xC1, 0xC0, 0x00, 0x10}, GFX_FMT_INDEX8, {3, 2, 1, 8}},
        {"2 bits", 2, 1, 4, 1, {0x1B}, GFX_FMT_INDEX8, {0, 1, 2, 3}},
        {"4 bits", 4, 1, 3, 2, {0x12, 0x30}, GFX_FMT_INDEX8, {1, 2, 3}},
        {"grey", 8, 1, 2, 2, {1, 2}, GFX_FMT_CH8, {1, 2}},
        {"red, green, blue, alpha", 8, 4, 1, 1, {1, 2, 3, 4}, GFX_FMT_ARGB8888, {3, 2, 1, 4}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes file = PcxHeader(c.planes, c.width, 1, c.bytesPerLine);
        file[3] = c.bits;
        file[68] = 2;  // grey, for the 8-bit file without a palette
        for (std::size_t i = 0; i < 48; ++i) file[16 + i] = static_cast<std::uint8_t>(i + 1);
        Append(file, c.data);
        C_Image image;
        ASSERT_TRUE(LoadWith(image, &C_Image::LoadPCX, file)) << Gfx_GetErrorReason();
        EXPECT_EQ(image.format, c.format);
        EXPECT_EQ(AllBytes(image), c.pixels);
        if (c.format != GFX_FMT_INDEX8) continue;
        ASSERT_NE(image.m_palette, nullptr);
        // Monochrome is black and white; the rest take the header's entries.
        const Bytes entry1(image.m_palette + 3, image.m_palette + 6);
        EXPECT_EQ(entry1, c.planes == 1 && c.bits == 1 ? Bytes({255, 255, 255}) : Bytes({6, 5, 4}));
    }
}

TEST(ReadPcx, CorruptFilesAreRefused) {
    const char* detail = "C_Image::LoadPCX(stream)";
    const char* site = "C_Image::Load_PCX";
    const Bytes palette = PcxPalette();
    auto eightBit = [&](const Bytes& header, const Bytes& data, const Bytes& tail) {
        Bytes b = header;
        Append(b, data);
        Append(b, tail);
        return b;
    };
    const Bytes header8 = PcxHeader(1, 2, 2, 2);
    const Bytes data8 = {1, 2, 3, 4};

    ExpectRefused(&C_Image::LoadPCX, Bytes(100, 0x0A), detail, site);  // short header
    Bytes wrongVersion = eightBit(header8, data8, palette);
    wrongVersion[1] = 3;
    ExpectRefused(&C_Image::LoadPCX, wrongVersion, detail, site);
    Bytes badMarker = eightBit(header8, data8, palette);
    badMarker[128 + 4] = 11;
    ExpectRefused(&C_Image::LoadPCX, badMarker, detail, site);
    ExpectRefused(&C_Image::LoadPCX, eightBit(header8, data8, {}), detail, site);  // no palette at all
    Bytes shortData = PcxHeader(3, 2, 2, 2);
    Append(shortData, {0xCB, 1});  // 11 of 12 bytes
    ExpectRefused(&C_Image::LoadPCX, shortData, detail, site);
    ExpectRefused(&C_Image::LoadPCX, eightBit(PcxHeader(1, 4, 1, 3), {1, 2, 3}, palette), detail,
                  site);  // narrow lines
    Bytes narrow24 = PcxHeader(3, 4, 1, 3);
    Append(narrow24, Bytes(9, 1));
    ExpectRefused(&C_Image::LoadPCX, narrow24, detail, site);
    Bytes huge = PcxHeader(3, 65000, 65000, 65000);  // beyond 4 GiB of pixels
    Append(huge, Bytes(64, 0xFF));
    ExpectRefused(&C_Image::LoadPCX, huge, detail, site);
    Bytes unbacked = PcxHeader(1, 1000, 1000, 1000);  // far more than 64 bytes can encode
    Append(unbacked, Bytes(64, 0xFF));
    Append(unbacked, palette);
    ExpectRefused(&C_Image::LoadPCX, unbacked, detail, site);
    Bytes inverted = eightBit(header8, data8, palette);
    inverted[8] = 0;  // Xmax below Xmin
    ExpectRefused(&C_Image::LoadPCX, inverted, detail, site);
}

// ---------------------------------------------------------------- TGA

// A depth-sized pixel whose bytes are n, n+1, ...
Bytes TgaPixel(std::uint8_t n, std::uint32_t depth) {
    Bytes p;
    for (std::uint32_t i = 0; i < depth / 8; ++i) p.push_back(static_cast<std::uint8_t>(n + i));
    return p;
}

// The pixel as the image keeps it: as read, except 32-bit B, G, R, A becomes
// A, B, G, R.
Bytes Kept(const Bytes& filePixel) {
    if (filePixel.size() != 4) return filePixel;
    return {filePixel[3], filePixel[0], filePixel[1], filePixel[2]};
}

std::int32_t TgaFormat(std::uint32_t depth) {
    return depth == 16 ? GFX_FMT_RGB555 : depth == 24 ? GFX_FMT_RGB888 : GFX_FMT_RGBA8888;
}

// Type 2 stores the bottom row first; type 10 packs a run of four copies
// (the bottom row) and four literal pixels (the top row).
TEST(ReadTga, TrueColourPlainAndRunLength) {
    for (const std::uint32_t depth : {16u, 24u, 32u})
        for (const std::uint8_t type : {2, 10}) {
            SCOPED_TRACE(std::to_string(depth) + " bits, type " + std::to_string(type));
            Bytes file = TgaHeader(type, 4, 2, static_cast<std::uint8_t>(depth));
            if (type == 2) {
                for (int i = 0; i < 4; ++i) Append(file, TgaPixel(50, depth));
            } else {
                file.push_back(0x83);
                Append(file, TgaPixel(50, depth));
                file.push_back(0x03);
            }
            for (std::uint8_t n : {1, 2, 3, 4}) Append(file, TgaPixel(n * 10, depth));
            C_Image image;
            ASSERT_TRUE(LoadWith(image, &C_Image::LoadTGA, file));
            EXPECT_EQ(image.format, TgaFormat(depth));
            EXPECT_EQ(image.pitch, 4 * depth / 8);
            Bytes expected;
            for (std::uint8_t n : {1, 2, 3, 4}) Append(expected, Kept(TgaPixel(n * 10, depth)));
            for (int i = 0; i < 4; ++i) Append(expected, Kept(TgaPixel(50, depth)));
            EXPECT_EQ(AllBytes(image), expected);
        }
}

Bytes TgaColourMap() {
    Bytes b;
    for (std::uint32_t i = 0; i < 768; ++i) b.push_back(static_cast<std::uint8_t>(i * 3));
    return b;
}

TEST(ReadTga, ColourMappedUncompressedAndRunLength) {
    Bytes plain = TgaHeader(1, 3, 2, 8);
    Append(plain, TgaColourMap());
    Append(plain, {1, 2, 3, 4, 5, 6});
    Bytes packed = TgaHeader(9, 3, 2, 8);
    Append(packed, TgaColourMap());
    Append(packed, {0x00, 1, 0x81, 2, 0x82, 4});  // one literal, a run of two, a run of three
    const std::vector<std::pair<Bytes, std::pair<Bytes, Bytes>>> cases = {
        {plain, {{4, 5, 6}, {1, 2, 3}}},
        {packed, {{4, 4, 4}, {1, 2, 2}}},
    };
    for (const auto& [file, rows] : cases) {
        C_Image image;
        ASSERT_TRUE(LoadWith(image, &C_Image::LoadTGA, file));
        EXPECT_EQ(image.format, GFX_FMT_INDEX8);
        EXPECT_EQ(image.palFormat, GFX_FMT_RGB888);
        EXPECT_EQ(image.palBpp, 24u);
        ASSERT_EQ(image.paletteSize, 768u);
        EXPECT_EQ(image.m_palette[100], static_cast<std::uint8_t>(300));  // as stored
        EXPECT_EQ(Row(image, 0), rows.first);
        EXPECT_EQ(Row(image, 1), rows.second);
    }
}

TEST(ReadTga, Variants) {
    // Each file is 2 × 2 unless its header says otherwise; `patch` sets
    // header bytes (offset, value).
    struct Case {
        const char* name;
        std::uint8_t type, depth;
        std::vector<std::pair<std::size_t, std::uint8_t>> patch;
        Bytes body;  // after the 18 header bytes
        std::int32_t format;
        Bytes pixels;
    };
    const Case cases[] = {
        {"image-ID field",
         2,
         8 * 3,
         {{0, 2}},
         {'i', 'd', 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12},
         GFX_FMT_RGB888,
         {7, 8, 9, 10, 11, 12, 1, 2, 3, 4, 5, 6}},
        {"top-left origin", 3, 8, {{17, 0x20}}, {1, 2, 3, 4}, GFX_FMT_CH8, {1, 2, 3, 4}},
        {"top-right origin", 3, 8, {{17, 0x30}}, {1, 2, 3, 4}, GFX_FMT_CH8, {2, 1, 4, 3}},
        {"grey run-length", 11, 8, {}, {0x81, 5, 0x01, 6, 7}, GFX_FMT_CH8, {6, 7, 5, 5}},
        {"grey with alpha",
         3,
         16,
         {{17, 0x20}},
         {1, 2, 3, 4, 5, 6, 7, 8},
         GFX_FMT_ARGB8888,
         {1, 1, 1, 2, 3, 3, 3, 4, 5, 5, 5, 6, 7, 7, 7, 8}},
        {"15 bits", 2, 15, {{17, 0x20}}, {1, 2, 3, 4, 5, 6, 7, 8}, GFX_FMT_RGB555, {1, 2, 3, 4, 5, 6, 7, 8}},
        {"colour map from 2, 16-bit entries",
         1,
         8,
         {{1, 1}, {3, 2}, {5, 2}, {7, 16}, {17, 0x20}},
         {0x00, 0x7C, 0x10, 0x42, 2, 3, 3, 2},
         GFX_FMT_INDEX8,
         {2, 3, 3, 2}},
        {"16-bit indices",
         1,
         16,
         {{1, 1}, {3, 1}, {5, 2}, {7, 24}, {17, 0x20}},
         {1, 2, 3, 4, 5, 6, 1, 0, 2, 0, 2, 0, 1, 0},
         GFX_FMT_RGB888,
         {1, 2, 3, 4, 5, 6, 4, 5, 6, 1, 2, 3}},
        {"colour map of 32-bit entries",
         9,
         8,
         {{1, 1}, {5, 1}, {7, 32}},
         {1, 2, 3, 4, 0x83, 0},
         GFX_FMT_INDEX8,
         {0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes file = TgaHeader(c.type, 2, 2, c.depth);
        file[1] = file[6] = file[7] = 0;
        for (const auto& [at, value] : c.patch) file[at] = value;
        Append(file, c.body);
        C_Image image;
        ASSERT_TRUE(LoadWith(image, &C_Image::LoadTGA, file)) << Gfx_GetErrorReason();
        EXPECT_EQ(image.format, c.format);
        EXPECT_EQ(AllBytes(image), c.pixels);
    }
    // The palettes of the two mapped files: widened 5-bit colours at entries 2
    // and 3; a 32-bit entry kept as stored, with its alpha.
    C_Image image;
    Bytes file = TgaHeader(1, 1, 1, 8);
    file[3] = 2, file[5] = 2, file[6] = 0, file[7] = 16;
    Append(file, {0x00, 0x7C, 0x10, 0x42, 3});
    ASSERT_TRUE(LoadWith(image, &C_Image::LoadTGA, file));
    EXPECT_EQ(Bytes(image.m_palette + 6, image.m_palette + 12), Bytes({0, 0, 255, 132, 132, 132}));
    file = TgaHeader(1, 1, 1, 8);
    file[5] = 1, file[6] = 0, file[7] = 32;
    Append(file, {1, 2, 3, 4, 0});
    ASSERT_TRUE(LoadWith(image, &C_Image::LoadTGA, file));
    EXPECT_EQ(image.palFormat, GFX_FMT_ARGB8888);
    EXPECT_EQ(Bytes(image.m_palette, image.m_palette + 8), Bytes({1, 2, 3, 4, 0, 0, 0, 0}));
}

TEST(ReadTga, CorruptFilesAreRefused) {
    const char* detail = "C_Image::LoadTGA(stream)";
    const char* site = "C_Image::Load_TGA";
    Bytes good = TgaHeader(2, 2, 1, 24);
    Append(good, Bytes(6, 1));

    ExpectRefused(&C_Image::LoadTGA, Bytes(good.begin(), good.begin() + 17), detail, site);  // short header
    for (const std::pair<std::size_t, std::uint8_t>& spoil :
         {std::pair<std::size_t, std::uint8_t>{0, 1}, {1, 2}, {2, 4}, {2, 0}}) {
        Bytes spoilt = good;  // an ID field the data cannot hold, unknown map and image types
        spoilt[spoil.first] = spoil.second;
        ExpectRefused(&C_Image::LoadTGA, spoilt, detail, site);
    }
    Bytes zeroWidth = TgaHeader(2, 0, 1, 24);
    ExpectRefused(&C_Image::LoadTGA, zeroWidth, detail, site);
    Bytes mappedDepth = TgaHeader(1, 1, 1, 12);
    Append(mappedDepth, TgaColourMap());
    Append(mappedDepth, {0, 0});
    ExpectRefused(&C_Image::LoadTGA, mappedDepth, detail, site);
    ExpectRefused(&C_Image::LoadTGA, Bytes(good.begin(), good.end() - 1), detail, site);  // short pixel data

    Bytes oneShort = TgaHeader(10, 4, 1, 24);
    Append(oneShort, {0x82, 9, 9, 9});  // three of four pixels
    ExpectRefused(&C_Image::LoadTGA, oneShort, detail, site);
    Bytes overlong = TgaHeader(10, 2, 1, 24);
    Append(overlong, {0x82, 9, 9, 9});  // three pixels for a two-pixel image
    ExpectRefused(&C_Image::LoadTGA, overlong, detail, site);
    Bytes literalCut = TgaHeader(9, 4, 1, 8);
    Append(literalCut, TgaColourMap());
    Append(literalCut, {0x03, 1, 2, 3});  // a packet whose pixels end early
    ExpectRefused(&C_Image::LoadTGA, literalCut, detail, site);

    Bytes huge = TgaHeader(2, 65535, 65535, 32);
    Append(huge, Bytes(64, 0));
    ExpectRefused(&C_Image::LoadTGA, huge, detail, site);
    Bytes hugePacked = TgaHeader(10, 65535, 65535, 32);
    Append(hugePacked, {0xFF, 1, 2, 3, 4});
    ExpectRefused(&C_Image::LoadTGA, hugePacked, detail, site);
}

// ---------------------------------------------------------------- reasons

TEST(ReaderRefusals, NameTheVariantOrTheDamage) {
    Bmp good;
    good.pixels = Bmp24Rows();
    Bytes planes = good.Build();
    planes[26] = 2;
    Bytes cut = good.Build();
    cut.resize(cut.size() - 4);
    Bytes indexPast = TgaHeader(1, 1, 1, 8);
    indexPast[6] = 0, indexPast[5] = 3;  // a 3-entry map
    Append(indexPast, {1, 2, 3, 4, 5, 6, 7, 8, 9, 5});
    Bytes huffman = TgaHeader(32, 1, 1, 8);
    Append(huffman, Bytes(800, 0));
    Bytes grey8 = TgaHeader(2, 1, 1, 8);
    Append(grey8, {1});
    Bytes twoPlanes = PcxHeader(2, 2, 1, 2);
    Append(twoPlanes, {1, 2, 3, 4});
    struct Case {
        Reader reader;
        Bytes file;
        const char* detail;
        const char* reason;
    };
    const Case cases[] = {
        {&C_Image::LoadBMP, MakeBmp(1, 1, 24, 4, Bytes(4, 0)).Build(), "C_Image::LoadBMP(stream)",
         "BMP compression 4 (JPEG inside BMP) is not supported"},
        {&C_Image::LoadBMP, MakeBmp(1, 1, 7, 0, Bytes(4, 0)).Build(), "C_Image::LoadBMP{biBitCount}(stream)",
         "BMP bit count 7 is not supported"},
        {&C_Image::LoadBMP, planes, "C_Image::LoadBMP{biPlanes}(stream)", "BMP plane count is 2; it must be 1"},
        {&C_Image::LoadBMP, MakeBmp(1, 1, 16, 3, Bytes(4, 0), 0, 40, {0x7C00, 0x03E0, 0x0015}).Build(),
         "C_Image::LoadBMP{masks}(stream)", "BMP bit-field mask 0x00000015 is not one run of bits within the pixel"},
        {&C_Image::LoadBMP, cut, "C_Image::LoadBMP(stream)", "BMP pixel data is cut short: 20 of 21 bytes"},
        {&C_Image::LoadBMP, MakeBmp(4, 2, 8, 1, {2, 5, 0, 0}).Build(), "C_Image::LoadBMP{rle}(stream)",
         "BMP run-length data is cut short"},
        {&C_Image::LoadBMP, MakeBmp(4096, 2048, 8, 1, {0, 1}).Build(), "C_Image::LoadBMP{rle}(stream)",
         "BMP run-length data of 2 bytes cannot fill a picture of 4096 × 2048 pixels"},
        {&C_Image::LoadTGA, indexPast, "C_Image::LoadTGA{index}(stream)",
         "TGA colour-map index 5 is past the 3-entry colour map"},
        {&C_Image::LoadTGA, huffman, "C_Image::LoadTGA(stream)", "TGA type 32 (Huffman-compressed) is not supported"},
        {&C_Image::LoadTGA, grey8, "C_Image::LoadTGA{depth}(stream)",
         "TGA true-colour pixels of 8 bits are not supported"},
        {&C_Image::LoadPCX, twoPlanes, "C_Image::LoadPCX{NPlanes}(stream)",
         "PCX of 8 bits per pixel in 2 planes is not a layout Quillory reads"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        const char* site = c.reader == static_cast<Reader>(&C_Image::LoadBMP)   ? "C_Image::Load_BMP"
                           : c.reader == static_cast<Reader>(&C_Image::LoadTGA) ? "C_Image::Load_TGA"
                                                                                : "C_Image::Load_PCX";
        ExpectRefused(c.reader, c.file, c.detail, site);
        EXPECT_STREQ(Gfx_GetErrorReason(), c.reason);
    }
}

// ---------------------------------------------------------------- files

Bytes SmallTga() {
    Bytes file = TgaHeader(2, 1, 1, 24);
    Append(file, {1, 2, 3});
    return file;
}

TEST(ImageFiles, ExtensionChoosesTheReader) {
    const std::string dir = TempPath("");
    for (const char* name : {"photo.tga", "PHOTO.TGA", "a.b.tga"}) {
        SCOPED_TRACE(name);
        WriteFile(dir + name, SmallTga());
        C_Image image;
        EXPECT_TRUE(image.Load_Format_FromFile((dir + name).c_str()));
        EXPECT_EQ(AllBytes(image), Bytes({1, 2, 3}));
    }
    Bmp bmp;
    bmp.pixels = Bmp24Rows();
    WriteFile(dir + "photo.Bmp", bmp.Build());
    C_Image fromBmp((dir + "photo.Bmp").c_str());
    EXPECT_EQ(Row(fromBmp, 1), Bytes({1, 11, 21, 2, 12, 22, 3, 13, 23}));
    Bytes pcx = PcxHeader(3, 1, 1, 1);
    Append(pcx, {1, 2, 3});
    WriteFile(dir + "photo.pcx", pcx);
    C_Image fromPcx((dir + "photo.pcx").c_str());
    EXPECT_EQ(Row(fromPcx, 0), Bytes({3, 2, 1}));
    // String names reach the same readers.
    const C_String name((dir + "photo.tga").c_str());
    C_Image image(name);
    EXPECT_EQ(Row(image, 0), Bytes({1, 2, 3}));
    EXPECT_TRUE(image.LoadTGA(name));
    EXPECT_TRUE(image.Load_Format_FromFile(name));
    EXPECT_FALSE(image.LoadBMP(name));  // a TGA is no BMP
    // A missing file is reported by the reader the name chose.
    const std::string missing = TempPath("no-such-picture.tga");
    C_Image none(missing.c_str());
    EXPECT_EQ(none.data, nullptr);
    ExpectFailure(GFX_ERR_OPEN_READ, "C_Image::LoadTGA(" + missing + ")", "C_Image::Load_TGA");
    EXPECT_FALSE(image.LoadPCX(C_String(TempPath("no-such.pcx").c_str())));
    EXPECT_EQ(image.data, nullptr);
}

TEST(ImageFiles, UnknownExtensionsAreRefused) {
    const std::string dir = TempPath("");
    for (const char* name : {"photo", "photo.png", "dir.tga/photo", "photo.", "photo.jpg", "photo.JPEG"}) {
        SCOPED_TRACE(name);
        C_Image image;
        ASSERT_TRUE(image.CreateEmpty(2, 2, GFX_FMT_CH8, -1));
        Gfx_ClearError();
        EXPECT_FALSE(image.Load_Format_FromFile((dir + name).c_str()));
        EXPECT_EQ(Gfx_GetErrorDetailCode(), -1);
        // JPEG names are recognised and nothing is recorded.
        EXPECT_STREQ(Gfx_GetErrorMessage(), std::string(name).find('J') != std::string::npos ||
                                                    std::string(name).find("jpg") != std::string::npos
                                                ? ""
                                                : "C_Image::Load_Format_FromFile>>>Unknown image file format");
    }
}

TEST(ImageFiles, ReaderStartsWhereTheStreamStandsAndLeavesItAfterTheImage) {
    // A BMP (whose reader moves back and forth, and whose rows are longer
    // than the read buffer) and a TGA one after the other behind a prefix, in
    // a file and in memory.
    Bmp bmp;
    bmp.width = 10000;
    bmp.bits = 8;
    bmp.paletteEntries = 256;
    for (std::uint32_t i = 0; i < 2 * 10000; ++i)
        bmp.pixels.push_back(static_cast<std::uint8_t>(i % 10000 + i / 10000));
    Bytes bytes = {0xAB, 0xCD, 0xEF};
    Append(bytes, bmp.Build());
    Append(bytes, SmallTga());
    const std::string path = TempPath("two-pictures.bin");
    WriteFile(path, bytes);
    C_Stream file;
    ASSERT_TRUE(file.OpenFileRead(path.c_str()));
    C_Stream memory;
    ASSERT_TRUE(memory.OpenMemoryRead(bytes.data(), static_cast<std::uint32_t>(bytes.size())));
    for (C_Stream* s : {&file, &memory}) {
        std::uint8_t prefix[3];
        ASSERT_EQ(C_Stream::ReadBytes(s, prefix, 3), 3u);
        C_Image first;
        ASSERT_TRUE(first.LoadBMP(s));
        EXPECT_EQ(Row(first, 1), Bytes(bmp.pixels.begin(), bmp.pixels.begin() + 10000));
        EXPECT_EQ(Row(first, 0), Bytes(bmp.pixels.begin() + 10000, bmp.pixels.end()));
        C_Image second;
        ASSERT_TRUE(second.LoadTGA(s));
        EXPECT_EQ(Row(second, 0), Bytes({1, 2, 3}));
        EXPECT_EQ(C_Stream::Remaining(s), 0u);
    }
}

TEST(RawWriter, WritesBarePixels) {
    const std::string path = TempPath("pixels.raw");
    C_Image rgb;
    ASSERT_TRUE(rgb.CreateEmpty(2, 1, GFX_FMT_RGB888, -1));
    std::memcpy(rgb.data, "\x01\x02\x03\x04\x05\x06", 6);
    ASSERT_TRUE(rgb.Save_RAW_ToFile(C_String(path.c_str())));
    EXPECT_EQ(ReadFile(path), Bytes({3, 2, 1, 6, 5, 4}));
    // Other widths go out as in memory, row by row, without a view's padding.
    std::uint8_t view[2 * 6];
    for (std::size_t i = 0; i < sizeof view; ++i) view[i] = static_cast<std::uint8_t>(i);
    for (const std::int32_t format : {GFX_FMT_CH8, GFX_FMT_RGB565, GFX_FMT_ARGB8888}) {
        SCOPED_TRACE(format);
        C_Image image;
        const std::uint32_t w = format == GFX_FMT_CH8 ? 4 : format == GFX_FMT_RGB565 ? 2 : 1;
        ASSERT_TRUE(image.CreateLocked(w, 2, 6, format, -1, view));
        ASSERT_TRUE(image.Save_RAW_ToFile(path.c_str()));
        EXPECT_EQ(ReadFile(path), Bytes({0, 1, 2, 3, 6, 7, 8, 9}));
    }
    // The rest give an empty file.
    for (const std::int32_t format : {GFX_FMT_RGB48, GFX_FMT_CH32F, GFX_FMT_INDEX4, GFX_FMT_NONE}) {
        SCOPED_TRACE(format);
        WriteFile(path, {1, 2, 3});
        C_Image image;
        ASSERT_TRUE(image.CreateEmpty(2, 2, format, -1));
        EXPECT_TRUE(image.Save_RAW_ToFile(path.c_str()));
        EXPECT_TRUE(ReadFile(path).empty());
    }
    // Files that cannot be opened or written.
    const std::string nowhere = TempPath("no-such-dir/pixels.raw");
    EXPECT_FALSE(rgb.Save_RAW_ToFile(nowhere.c_str()));
    ExpectFailure(GFX_ERR_OPEN_WRITE, "C_Image::Save_RAW_ToFile(" + nowhere + ")", "C_Image::Save_RAW_ToFile");
    ASSERT_TRUE(rgb.CreateEmpty(64, 64, GFX_FMT_CH8, -1));
    if (std::FILE* probe = std::fopen("/dev/full", "wb")) {
        std::fclose(probe);
        EXPECT_FALSE(rgb.Save_RAW_ToFile("/dev/full"));
        EXPECT_EQ(Gfx_GetErrorDetailCode(), GFX_ERR_OPEN_WRITE);
    }
}

}  // namespace

namespace {

// A loaded image is self-consistent; a refused one is empty. Touching every
// byte lets the sanitizers see any buffer smaller than its recorded size.
void ExpectSound(const C_Image& image, bool loaded) {
    if (!loaded) {
        ASSERT_EQ(image.data, nullptr);
        ASSERT_EQ(image.m_palette, nullptr);
        ASSERT_EQ(image.format, -1);
        return;
    }
    if (image.data) {
        ASSERT_EQ(image.rowBytes, (std::uint64_t{image.width} * image.bpp + 7) / 8);
        ASSERT_GE(image.dataSize, std::uint64_t{image.pitch} * (image.height - 1) + image.rowBytes);
    }
    unsigned sum = 0;
    for (std::uint32_t i = 0; i < image.dataSize; ++i) sum += image.data[i];
    for (std::uint32_t i = 0; i < image.paletteSize; ++i) sum += image.m_palette[i];
    (void)sum;
}

TEST(ReaderRobustness, EveryTruncationAndSingleByteDamageIsHandled) {
    Bmp bmp24;
    bmp24.pixels = Bmp24Rows();
    Bmp bmp8;
    bmp8.width = 5;
    bmp8.bits = 8;
    bmp8.clrUsed = 4;
    bmp8.paletteEntries = 4;
    bmp8.pixels = Bmp8Rows();
    Bytes pcx24 = PcxHeader(3, 2, 2, 2);
    Append(pcx24, {0xC8, 0x11, 0xC0, 0x99, 0xC2, 0x22, 0x33, 0x44});
    Bytes pcx8 = PcxHeader(1, 3, 2, 4);
    Append(pcx8, {0xC1, 0xC5, 7, 9, 0x55, 1, 0xC3, 2});
    Append(pcx8, PcxPalette());
    Bytes tga10 = TgaHeader(10, 4, 2, 32);
    Append(tga10, {0x83, 1, 2, 3, 4, 0x01, 5, 6, 7, 8, 9, 10, 11, 12, 0x81, 13, 14, 15, 16});
    Bytes tga9 = TgaHeader(9, 3, 2, 8);
    Append(tga9, TgaColourMap());
    Append(tga9, {0x00, 1, 0x81, 2, 0x82, 4});
    Bytes tga2 = TgaHeader(2, 2, 2, 16);
    Append(tga2, {1, 2, 3, 4, 5, 6, 7, 8});

    Bytes pcxPlanar = PcxHeader(4, 9, 2, 2);
    pcxPlanar[3] = 1;
    Append(pcxPlanar, {0xC8, 0x5A, 1, 2, 3, 4, 5, 6, 7, 8});
    Bytes tgaWide = TgaHeader(9, 3, 2, 16);
    tgaWide[3] = 1, tgaWide[5] = 2, tgaWide[6] = 0, tgaWide[7] = 16, tgaWide[0] = 1;
    Append(tgaWide, {'x', 1, 2, 3, 4, 0x82, 1, 0, 0x02, 2, 0, 1, 0, 2, 0});
    std::vector<std::pair<Reader, Bytes>> files = {
        {&C_Image::LoadBMP, bmp24.Build()}, {&C_Image::LoadBMP, bmp8.Build()}, {&C_Image::LoadPCX, pcx24},
        {&C_Image::LoadPCX, pcx8},          {&C_Image::LoadTGA, tga10},        {&C_Image::LoadTGA, tga9},
        {&C_Image::LoadTGA, tga2},          {&C_Image::LoadPCX, pcxPlanar},    {&C_Image::LoadTGA, tgaWide},
    };
    for (const BmpVariant& v : BmpVariants()) files.emplace_back(static_cast<Reader>(&C_Image::LoadBMP), v.bmp.Build());
    const std::uint32_t before = Mem_GetUsage().memCurrent;
    for (std::size_t f = 0; f < files.size(); ++f) {
        SCOPED_TRACE(f);
        const auto& [reader, good] = files[f];
        C_Image image;
        ASSERT_TRUE(LoadWith(image, reader, good));
        for (std::size_t n = 0; n < good.size(); ++n) {
            const bool loaded = LoadWith(image, reader, Bytes(good.begin(), good.begin() + n));
            ASSERT_NO_FATAL_FAILURE(ExpectSound(image, loaded)) << "cut at " << n;
        }
        for (std::size_t at = 0; at < good.size(); ++at) {
            const std::uint8_t b = good[at];
            for (const std::uint8_t v : {std::uint8_t{0}, std::uint8_t{0xFF}, static_cast<std::uint8_t>(b ^ 0x80),
                                         static_cast<std::uint8_t>(b + 1)}) {
                Bytes damaged = good;
                damaged[at] = v;
                const bool loaded = LoadWith(image, reader, damaged);
                ASSERT_NO_FATAL_FAILURE(ExpectSound(image, loaded)) << "byte " << at << " = " << int{v};
            }
        }
    }
    EXPECT_EQ(Mem_GetUsage().memCurrent, before);
}

}  // namespace
