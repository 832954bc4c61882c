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

Bytes Row(const C_Image& image, std::uint32_t y) { return StoredRow(image, y, image.rowBytes); }

// A refusal each reader must give for a damaged or forged file: the detail
// (null: the reader's plain one) and, where it names the problem, the reason.
struct Refusal {
    const char* what;
    Bytes file;
    const char* detail;
    const char* reason;
};

// A refused file: false, the specific code and message, a reason, the
// reader's summary line, an empty image and no memory kept.
void ExpectRefused(Reader reader, const Refusal& r, const char* plainDetail, const char* site) {
    SCOPED_TRACE(r.what);
    C_Image image;
    ASSERT_TRUE(image.CreateEmpty(2, 2, GFX_FMT_INDEX8, GFX_FMT_RGB888));  // old content to lose
    const std::uint32_t before = Mem_GetUsage().memCurrent - image.dataSize - image.paletteSize;
    Gfx_ClearError();
    EXPECT_FALSE(LoadWith(image, reader, r.file));
    ExpectFailure(GFX_ERR_BAD_DATA, r.detail ? r.detail : plainDetail, site);
    EXPECT_STRNE(Gfx_GetErrorReason(), "");
    if (r.reason) {
        EXPECT_STREQ(Gfx_GetErrorReason(), r.reason);
    }
    EXPECT_TRUE(image.data == nullptr && image.m_palette == nullptr && image.format == -1);
    EXPECT_EQ(image.width + image.height, 0u);
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

// Palette entry i is B, G, R = i, i+1, i+2 in the builder; the rest are 0.
void ExpectBmpPaletteEntries(const C_Image& image, std::uint32_t entries) {
    ASSERT_NE(image.m_palette, nullptr);
    EXPECT_EQ(std::make_tuple(image.paletteSize, image.palFormat, image.palBpp),
              std::make_tuple(768u, GFX_FMT_RGB888, 24u));
    Bytes expected(768, 0);
    for (std::uint32_t i = 0; i < entries; ++i)
        for (std::uint32_t k = 0; k < 3; ++k) expected[3 * i + k] = static_cast<std::uint8_t>(i + k);
    EXPECT_EQ(Bytes(image.m_palette, image.m_palette + 768), expected);
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

// The good 3 × 2 24-bit file with one change.
Bytes SpoiltBmp(const std::function<void(Bmp&)>& spoil) {
    Bmp bmp;
    bmp.pixels = Bmp24Rows();
    spoil(bmp);
    return bmp.Build();
}
Bytes SpoiltBmpBytes(const std::function<void(Bytes&)>& spoil) {
    Bytes bytes = SpoiltBmp([](Bmp&) {});
    spoil(bytes);
    return bytes;
}

TEST(ReadBmp, DamagedAndForgedFilesAreRefused) {
    const std::vector<Refusal> cases = {
        {"zero width", SpoiltBmp([](Bmp& m) { m.width = 0; }), nullptr, nullptr},
        {"negative width", SpoiltBmp([](Bmp& m) { m.width = -3; }), nullptr, nullptr},
        {"zero height", SpoiltBmp([](Bmp& m) { m.height = 0; }), nullptr, nullptr},
        {"unnegatable height", SpoiltBmp([](Bmp& m) { m.height = INT32_MIN; }), nullptr, nullptr},
        {"forged huge size", SpoiltBmp([](Bmp& m) { m.width = m.height = 0x7FFFFFFF; }), nullptr, nullptr},
        {"forged huge top-down size", SpoiltBmp([](Bmp& m) { m.width = 0x7FFFFFFF, m.height = -0x7FFFFFFF; }), nullptr,
         nullptr},
        {"impossible header size", SpoiltBmp([](Bmp& m) { m.infoSize = 8; }), nullptr, nullptr},
        {"not BM", SpoiltBmpBytes([](Bytes& b) { b[1] = 'N'; }), nullptr, nullptr},
        {"short header", SpoiltBmpBytes([](Bytes& b) { b.resize(40); }), nullptr, nullptr},
        {"pixels before the headers' end", SpoiltBmpBytes([](Bytes& b) { b[10] = 20; }), nullptr, nullptr},
        {"pixels beyond the end", SpoiltBmpBytes([](Bytes& b) { b[12] = 0x10; }), nullptr, nullptr},
        {"short data", SpoiltBmpBytes([](Bytes& b) { b.resize(b.size() - 4); }), nullptr,
         "BMP pixel data is cut short: 20 of 21 bytes"},
        {"two planes", SpoiltBmpBytes([](Bytes& b) { b[26] = 2; }), "C_Image::LoadBMP{biPlanes}(stream)",
         "BMP plane count is 2; it must be 1"},
        {"RLE8 flag on 24 bits", SpoiltBmp([](Bmp& m) { m.compression = 1; }), nullptr, nullptr},
        {"JPEG inside", MakeBmp(1, 1, 24, 4, Bytes(4, 0)).Build(), nullptr,
         "BMP compression 4 (JPEG inside BMP) is not supported"},
        {"7 bits", MakeBmp(1, 1, 7, 0, Bytes(4, 0)).Build(), "C_Image::LoadBMP{biBitCount}(stream)",
         "BMP bit count 7 is not supported"},
        {"broken mask", MakeBmp(1, 1, 16, 3, Bytes(4, 0), 0, 40, {0x7C00, 0x03E0, 0x0015}).Build(),
         "C_Image::LoadBMP{masks}(stream)", "BMP bit-field mask 0x00000015 is not one run of bits within the pixel"},
        {"run-length data cut", MakeBmp(4, 2, 8, 1, {2, 5, 0, 0}).Build(), "C_Image::LoadBMP{rle}(stream)",
         "BMP run-length data is cut short"},
        {"run-length bomb", MakeBmp(4096, 2048, 8, 1, {0, 1}).Build(), "C_Image::LoadBMP{rle}(stream)",
         "BMP run-length data of 2 bytes cannot fill a picture of 4096 × 2048 pixels"},
    };
    for (const Refusal& r : cases) ExpectRefused(&C_Image::LoadBMP, r, "C_Image::LoadBMP(stream)", "C_Image::Load_BMP");
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

Bytes Joined(const Bytes& head, const Bytes& data, const Bytes& tail = {}) {
    Bytes b = head;
    Append(b, data);
    Append(b, tail);
    return b;
}

// A file of `bits` bits in `planes` planes whose header says grey and holds
// the 16-entry palette 1, 2, 3, ...; `data` the encoded scanlines.
Bytes Pcx(std::uint8_t bits, std::uint8_t planes, std::uint32_t w, std::uint32_t h, std::uint32_t bytesPerLine,
          const Bytes& data, bool palette = false) {
    Bytes file = PcxHeader(planes, w, h, bytesPerLine);
    file[3] = bits;
    file[68] = 2;
    for (std::size_t i = 0; i < 48; ++i) file[16 + i] = static_cast<std::uint8_t>(i + 1);
    return Joined(file, data, palette ? PcxPalette() : Bytes{});
}

// A file each reader takes and the image's bytes it gives (top row first);
// for palette pictures, entry 1 as kept (B, G, R) when it is checked.
struct Variant {
    const char* name;
    Bytes file;
    std::int32_t format;
    Bytes pixels;
    Bytes entry1;
};

void ExpectVariant(Reader reader, const Variant& v) {
    SCOPED_TRACE(v.name);
    C_Image image;
    ASSERT_TRUE(LoadWith(image, reader, v.file)) << Gfx_GetErrorReason();
    EXPECT_EQ(image.format, v.format);
    EXPECT_EQ(AllBytes(image), v.pixels);
    if (v.entry1.empty()) return;
    ASSERT_EQ(image.paletteSize, 768u);
    EXPECT_EQ(image.palFormat, GFX_FMT_RGB888);
    EXPECT_EQ(Bytes(image.m_palette + 3, image.m_palette + 6), v.entry1);
}

std::vector<Variant> PcxVariants() {
    const Bytes trailing = {201, 101, 1}, ega = {6, 5, 4};
    return {
        {"runs of 63 that end where the palette begins", Pcx(8, 1, 126, 1, 126, {0xFF, 0x42, 0xFF, 0x42}, true),
         GFX_FMT_INDEX8, Bytes(126, 0x42), trailing},
        {"a spare byte per plane line, a run of three",
         Pcx(8, 3, 2, 2, 3, {1, 2, 0x55, 3, 4, 0x55, 5, 6, 0x55, 0xC3, 0x7F, 7, 8, 0x55, 9, 10, 0x55}),
         GFX_FMT_RGB888,
         {5, 3, 1, 6, 4, 2, 9, 7, 0x7F, 10, 8, 0x7F},
         {}},
        {"a run across scanlines, an empty run",
         Pcx(8, 3, 2, 2, 2, {0xC8, 0x11, 0xC0, 0x99, 0xC2, 0x22, 0x33, 0x44}),
         GFX_FMT_RGB888,
         {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x33, 0x22, 0x11, 0x44, 0x22, 0x11},
         {}},
        {"a last run cut at the last row",
         Pcx(8, 1, 2, 1, 2, {0xFF, 0x42}, true),
         GFX_FMT_INDEX8,
         {0x42, 0x42},
         trailing},
        {"0xC5 as a one-long run",
         Pcx(8, 1, 3, 2, 4, {0xC1, 0xC5, 7, 9, 0x55, 1, 0xC3, 2}, true),
         GFX_FMT_INDEX8,
         {0xC5, 7, 9, 1, 2, 2},
         trailing},
        {"monochrome",
         Pcx(1, 1, 10, 1, 2, {0xAA, 0x80}),
         GFX_FMT_INDEX8,
         {1, 0, 1, 0, 1, 0, 1, 0, 1, 0},
         {255, 255, 255}},
        {"16 colours in 4 planes",
         Pcx(1, 4, 4, 1, 1, {0xA0, 0xC1, 0xC0, 0x00, 0x10}),
         GFX_FMT_INDEX8,
         {3, 2, 1, 8},
         ega},
        {"2 bits", Pcx(2, 1, 4, 1, 1, {0x1B}), GFX_FMT_INDEX8, {0, 1, 2, 3}, ega},
        {"4 bits", Pcx(4, 1, 3, 1, 2, {0x12, 0x30}), GFX_FMT_INDEX8, {1, 2, 3}, ega},
        {"grey", Pcx(8, 1, 2, 1, 2, {1, 2}), GFX_FMT_CH8, {1, 2}, {}},
        {"red, green, blue, alpha", Pcx(8, 4, 1, 1, 1, {1, 2, 3, 4}), GFX_FMT_ARGB8888, {3, 2, 1, 4}, {}},
    };
}

TEST(ReadPcx, Variants) {
    for (const Variant& v : PcxVariants()) ExpectVariant(&C_Image::LoadPCX, v);
}

TEST(ReadPcx, DamagedAndForgedFilesAreRefused) {
    const Bytes palette = PcxPalette(), header8 = PcxHeader(1, 2, 2, 2), data8 = {1, 2, 3, 4};
    auto spoilt = [&](std::size_t at, std::uint8_t value) {
        Bytes b = Joined(header8, data8, palette);
        b[at] = value;
        return b;
    };
    const std::vector<Refusal> cases = {
        {"short header", Bytes(100, 0x0A), nullptr, "PCX header is cut short"},
        {"version 3", spoilt(1, 3), nullptr, nullptr},
        {"not 10 first", spoilt(0, 11), nullptr, nullptr},
        {"Xmax below Xmin", spoilt(8, 0), nullptr, nullptr},
        {"palette marker 11", spoilt(128 + 4, 11), nullptr, nullptr},
        {"no palette at all", Joined(header8, data8), nullptr, "PCX 256-colour palette is missing"},
        {"palette cut short", Joined(header8, data8, Bytes(palette.begin(), palette.end() - 1)), nullptr, nullptr},
        {"11 of 12 bytes", Joined(PcxHeader(3, 2, 2, 2), {0xCB, 1}), nullptr, "PCX pixel data is cut short"},
        {"lines narrower than the picture", Joined(PcxHeader(1, 4, 1, 3), {1, 2, 3}, palette), nullptr, nullptr},
        {"planar lines too narrow", Joined(PcxHeader(3, 4, 1, 3), Bytes(9, 1)), nullptr, nullptr},
        {"beyond 4 GiB of pixels", Joined(PcxHeader(3, 65000, 65000, 65000), Bytes(64, 0xFF)), nullptr, nullptr},
        {"far more than 64 bytes encode", Joined(PcxHeader(1, 1000, 1000, 1000), Bytes(64, 0xFF), palette), nullptr,
         nullptr},
        {"8 bits in 2 planes", Joined(PcxHeader(2, 2, 1, 2), data8), "C_Image::LoadPCX{NPlanes}(stream)",
         "PCX of 8 bits per pixel in 2 planes is not a layout Quillory reads"},
    };
    for (const Refusal& r : cases) ExpectRefused(&C_Image::LoadPCX, r, "C_Image::LoadPCX(stream)", "C_Image::Load_PCX");
}

// ---------------------------------------------------------------- TGA

Bytes TgaColourMap() {
    Bytes b;
    for (std::uint32_t i = 0; i < 768; ++i) b.push_back(static_cast<std::uint8_t>(i * 3));
    return b;
}

// A 2 × 2 file without a colour map unless `patch` (header offset, value)
// gives one; `body` follows the 18 header bytes.
Bytes Tga(std::uint8_t type, std::uint8_t depth, const std::vector<std::pair<std::size_t, std::uint8_t>>& patch,
          const Bytes& body) {
    Bytes file = TgaHeader(type, 2, 2, depth);
    file[1] = file[6] = file[7] = 0;
    for (const auto& [at, value] : patch) file[at] = value;
    return Joined(file, body);
}

std::vector<Variant> TgaVariants() {
    const std::vector<std::pair<std::size_t, std::uint8_t>> topLeft = {{17, 0x20}}, map256 = {{1, 1}, {6, 1}, {7, 24}};
    return {
        {"image-ID field",
         Tga(2, 24, {{0, 2}}, {'i', 'd', 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}),
         GFX_FMT_RGB888,
         {7, 8, 9, 10, 11, 12, 1, 2, 3, 4, 5, 6},
         {}},
        // Bottom row first; 32-bit B, G, R, A is kept as A, B, G, R.
        {"16 bits", Tga(2, 16, {}, {1, 2, 3, 4, 5, 6, 7, 8}), GFX_FMT_RGB555, {5, 6, 7, 8, 1, 2, 3, 4}, {}},
        {"24-bit run", Tga(10, 24, {}, {0x83, 1, 2, 3}), GFX_FMT_RGB888, {1, 2, 3, 1, 2, 3, 1, 2, 3, 1, 2, 3}, {}},
        {"32-bit run and literals",
         Tga(10, 32, {}, {0x81, 1, 2, 3, 4, 0x01, 5, 6, 7, 8, 9, 10, 11, 12}),
         GFX_FMT_RGBA8888,
         {8, 5, 6, 7, 12, 9, 10, 11, 4, 1, 2, 3, 4, 1, 2, 3},
         {}},
        {"top-left origin", Tga(3, 8, topLeft, {1, 2, 3, 4}), GFX_FMT_CH8, {1, 2, 3, 4}, {}},
        {"top-right origin", Tga(3, 8, {{17, 0x30}}, {1, 2, 3, 4}), GFX_FMT_CH8, {2, 1, 4, 3}, {}},
        {"grey run-length", Tga(11, 8, {}, {0x81, 5, 0x01, 6, 7}), GFX_FMT_CH8, {6, 7, 5, 5}, {}},
        {"grey with alpha",
         Tga(3, 16, topLeft, {1, 2, 3, 4, 5, 6, 7, 8}),
         GFX_FMT_ARGB8888,
         {1, 1, 1, 2, 3, 3, 3, 4, 5, 5, 5, 6, 7, 7, 7, 8},
         {}},
        {"15 bits", Tga(2, 15, topLeft, {1, 2, 3, 4, 5, 6, 7, 8}), GFX_FMT_RGB555, {1, 2, 3, 4, 5, 6, 7, 8}, {}},
        {"colour map from 2, 16-bit entries",
         Tga(1, 8, {{1, 1}, {3, 2}, {5, 2}, {7, 16}, {17, 0x20}}, {0x00, 0x7C, 0x10, 0x42, 2, 3, 3, 2}),
         GFX_FMT_INDEX8,
         {2, 3, 3, 2},
         {}},
        {"16-bit indices",
         Tga(1, 16, {{1, 1}, {3, 1}, {5, 2}, {7, 24}, {17, 0x20}}, {1, 2, 3, 4, 5, 6, 1, 0, 2, 0, 2, 0, 1, 0}),
         GFX_FMT_RGB888,
         {1, 2, 3, 4, 5, 6, 4, 5, 6, 1, 2, 3},
         {}},
        // Bottom row first, plain and packed (a literal, a run of one, a run of two).
        {"colour-mapped", Tga(1, 8, map256, Joined(TgaColourMap(), {1, 2, 3, 4})), GFX_FMT_INDEX8, {3, 4, 1, 2}, {}},
        {"colour-mapped run-length",
         Tga(9, 8, map256, Joined(TgaColourMap(), {0x00, 1, 0x80, 2, 0x81, 4})),
         GFX_FMT_INDEX8,
         {4, 4, 1, 2},
         {}},
        {"colour map of 32-bit entries",
         Tga(9, 8, {{1, 1}, {5, 1}, {7, 32}}, {1, 2, 3, 4, 0x83, 0}),
         GFX_FMT_INDEX8,
         {0, 0, 0, 0},
         {}},
    };
}

TEST(ReadTga, Variants) {
    for (const Variant& v : TgaVariants()) ExpectVariant(&C_Image::LoadTGA, v);
    // The palettes: 24-bit entries as stored; widened 5-bit colours at
    // entries 2 and 3; a 32-bit entry kept as stored, with its alpha.
    C_Image image;
    ASSERT_TRUE(LoadWith(image, &C_Image::LoadTGA, Joined(TgaHeader(1, 1, 1, 8), TgaColourMap(), {0})));
    EXPECT_EQ(std::make_tuple(image.paletteSize, image.palFormat, image.m_palette[100]),
              std::make_tuple(768u, GFX_FMT_RGB888, std::uint8_t{300 & 0xFF}));
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

TEST(ReadTga, DamagedAndForgedFilesAreRefused) {
    const Bytes good = Joined(TgaHeader(2, 2, 1, 24), Bytes(6, 1));
    auto spoilt = [&](std::size_t at, std::uint8_t value) {
        Bytes b = good;
        b[at] = value;
        return b;
    };
    Bytes indexPast = TgaHeader(1, 1, 1, 8);
    indexPast[6] = 0, indexPast[5] = 3;  // a 3-entry map
    Bytes indexBelow = indexPast;
    indexBelow[3] = 1;  // the map holds indices 1 to 3
    Bytes mapped4 = TgaHeader(9, 4, 1, 8);
    const std::vector<Refusal> cases = {
        {"short header", Bytes(good.begin(), good.begin() + 17), nullptr, "TGA header is cut short"},
        {"an ID field the data cannot hold", spoilt(0, 1), nullptr, nullptr},
        {"colour map type 2", spoilt(1, 2), nullptr, nullptr},
        {"image type 4", spoilt(2, 4), nullptr, nullptr},
        {"type 0", spoilt(2, 0), nullptr, "TGA type 0 holds no image"},
        {"zero width", TgaHeader(2, 0, 1, 24), nullptr, nullptr},
        {"12-bit indices", Joined(TgaHeader(1, 1, 1, 12), TgaColourMap(), {0, 0}), nullptr, nullptr},
        {"short pixel data", Bytes(good.begin(), good.end() - 1), nullptr, nullptr},
        {"three of four pixels", Joined(TgaHeader(10, 4, 1, 24), {0x82, 9, 9, 9}), nullptr, nullptr},
        {"three pixels for two", Joined(TgaHeader(10, 2, 1, 24), {0x82, 9, 9, 9}), nullptr, nullptr},
        {"a literal packet ending early", Joined(mapped4, TgaColourMap(), {0x03, 1, 2, 3}), nullptr, nullptr},
        {"forged huge size", Joined(TgaHeader(2, 65535, 65535, 32), Bytes(64, 0)), nullptr, nullptr},
        {"forged huge packed size", Joined(TgaHeader(10, 65535, 65535, 32), {0xFF, 1, 2, 3, 4}), nullptr, nullptr},
        {"index past the map", Joined(indexPast, {1, 2, 3, 4, 5, 6, 7, 8, 9, 5}), "C_Image::LoadTGA{index}(stream)",
         "TGA colour-map index 5 is past the 3-entry colour map"},
        {"index below the map", Joined(indexBelow, {1, 2, 3, 4, 5, 6, 7, 8, 9, 0}), "C_Image::LoadTGA{index}(stream)",
         nullptr},
        {"Huffman", Joined(TgaHeader(32, 1, 1, 8), Bytes(800, 0)), nullptr,
         "TGA type 32 (Huffman-compressed) is not supported"},
        {"8-bit true colour", Joined(TgaHeader(2, 1, 1, 8), {1}), "C_Image::LoadTGA{depth}(stream)",
         "TGA true-colour pixels of 8 bits are not supported"},
    };
    for (const Refusal& r : cases) ExpectRefused(&C_Image::LoadTGA, r, "C_Image::LoadTGA(stream)", "C_Image::Load_TGA");
}

// ---------------------------------------------------------------- files

Bytes SmallTga() {
    Bytes file = TgaHeader(2, 1, 1, 24);
    Append(file, {1, 2, 3});
    return file;
}

// The extension, in any case, chooses the reader; names without a known one
// are refused (JPEG names are recognised and nothing is recorded).
TEST(ImageFiles, ExtensionChoosesTheReader) {
    const std::string dir = TempPath("");
    const std::pair<const char*, Bytes> files[] = {{"photo.tga", SmallTga()},
                                                   {"a.b.TGA", SmallTga()},
                                                   {"photo.Bmp", MakeBmp(1, 1, 24, 0, {1, 2, 3, 0}).Build()},
                                                   {"photo.pcx", Joined(PcxHeader(3, 1, 1, 1), {3, 2, 1})}};
    for (const auto& [name, bytes] : files) {
        SCOPED_TRACE(name);
        WriteFile(dir + name, bytes);
        C_Image image((dir + name).c_str());
        EXPECT_EQ(StoredRow(image, 0, 3), Bytes({1, 2, 3}));
    }
    // String names reach the same readers.
    const C_String name((dir + "photo.tga").c_str());
    C_Image image;
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

    for (const char* unknown : {"photo", "photo.png", "dir.tga/photo", "photo.", "photo.jpg", "photo.JPEG"}) {
        SCOPED_TRACE(unknown);
        ASSERT_TRUE(image.CreateEmpty(2, 2, GFX_FMT_CH8, -1));
        Gfx_ClearError();
        EXPECT_FALSE(image.Load_Format_FromFile((dir + unknown).c_str()));
        EXPECT_EQ(Gfx_GetErrorDetailCode(), -1);
        const bool jpeg = std::strstr(unknown, "jpg") || std::strstr(unknown, "JPEG");
        EXPECT_STREQ(Gfx_GetErrorMessage(), jpeg ? "" : "C_Image::Load_Format_FromFile>>>Unknown image file format");
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
    // Every variant each reader takes, a planar PCX, a packed TGA of 16-bit
    // map entries behind an ID field and a packed 32-bit one.
    Bytes pcxPlanar = PcxHeader(4, 9, 2, 2);
    pcxPlanar[3] = 1;
    Append(pcxPlanar, {0xC8, 0x5A, 1, 2, 3, 4, 5, 6, 7, 8});
    Bytes tgaWide = TgaHeader(9, 3, 2, 16);
    tgaWide[3] = 1, tgaWide[5] = 2, tgaWide[6] = 0, tgaWide[7] = 16, tgaWide[0] = 1;
    Append(tgaWide, {'x', 1, 2, 3, 4, 0x82, 1, 0, 0x02, 2, 0, 1, 0, 2, 0});
    Bytes tga10 = TgaHeader(10, 4, 2, 32);
    Append(tga10, {0x83, 1, 2, 3, 4, 0x01, 5, 6, 7, 8, 9, 10, 11, 12, 0x81, 13, 14, 15, 16});
    std::vector<std::pair<Reader, Bytes>> files = {
        {&C_Image::LoadPCX, pcxPlanar}, {&C_Image::LoadTGA, tgaWide}, {&C_Image::LoadTGA, tga10}};
    for (const BmpVariant& v : BmpVariants()) files.emplace_back(static_cast<Reader>(&C_Image::LoadBMP), v.bmp.Build());
    for (const Variant& v : PcxVariants()) files.emplace_back(static_cast<Reader>(&C_Image::LoadPCX), v.file);
    for (const Variant& v : TgaVariants()) files.emplace_back(static_cast<Reader>(&C_Image::LoadTGA), v.file);
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
