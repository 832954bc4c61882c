#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "error_case.h"
#include "image_test_support.h"
#include "quillory.h"
#include "test_support.h"

namespace {

// A damaged or forged file each reader must refuse.
struct Refusal {
    const char* what;
    Bytes file;
    const char* reason = nullptr;  // a word the reason must hold, where it names the variant
};

// Each refusal: false, bad data recorded under the reader's name with a
// reason, the old picture gone and no memory kept.
void ExpectRefused(Reader reader, const std::string& name, const std::vector<Refusal>& cases) {
    for (const Refusal& r : cases) {
        SCOPED_TRACE(r.what);
        C_Image image;
        ASSERT_TRUE(image.CreateEmpty(2, 2, GFX_FMT_INDEX8, GFX_FMT_RGB888));  // old content to lose
        const std::uint32_t before = Mem_GetUsage().memCurrent - image.dataSize - image.paletteSize;
        Gfx_ClearError();
        EXPECT_FALSE(LoadWith(image, reader, r.file));
        EXPECT_EQ(Gfx_GetErrorDetailCode(), GFX_ERR_BAD_DATA);
        EXPECT_EQ(std::string(Gfx_GetErrorDetail()).rfind("C_Image::Load" + name, 0), 0u) << Gfx_GetErrorDetail();
        EXPECT_EQ(std::string(Gfx_GetErrorMessage()), "C_Image::Load_" + name + GFX_FATAL_SUFFIX);
        EXPECT_STRNE(Gfx_GetErrorReason(), "");
        if (r.reason) {
            EXPECT_NE(std::string(Gfx_GetErrorReason()).find(r.reason), std::string::npos);
        }
        ExpectEmptied(image);
        EXPECT_EQ(Mem_GetUsage().memCurrent, before);
    }
}

// ---------------------------------------------------------------- BMP

// Two 3-pixel 24-bit rows padded with 0xEE to 12 bytes (file row 0 holds
// pixels 1..3, row 1 pixels 4..6; pixel n is n, n+10, n+20), and two 5-pixel
// 8-bit rows padded to 8 bytes (file row r holds 10r + x).
const Bytes kBmp24Rows = {1, 11, 21, 2, 12, 22, 3, 13, 23, 0xEE, 0xEE, 0xEE,
                          4, 14, 24, 5, 15, 25, 6, 16, 26, 0xEE, 0xEE, 0xEE};
const Bytes kBmp8Rows = {0, 1, 2, 3, 4, 0xEE, 0xEE, 0xEE, 10, 11, 12, 13, 14, 0xEE, 0xEE, 0xEE};

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

// A file a reader takes and the format it must give.
struct Variant {
    const char* name;
    Bytes file;
    std::int32_t format;
};

// Every variant's pixels (top row first) and palette, for one golden hash
// per reader: each was checked by hand once against the format's rules.
std::uint64_t LoadedHash(Reader reader, const std::vector<Variant>& variants) {
    Bytes all;
    for (const Variant& v : variants) {
        SCOPED_TRACE(v.name);
        C_Image image;
        EXPECT_TRUE(LoadWith(image, reader, v.file)) << Gfx_GetErrorReason();
        EXPECT_EQ(image.format, v.format);
        Append(all, AllBytes(image));
        if (image.m_palette) Append(all, Bytes(image.m_palette, image.m_palette + image.paletteSize));
    }
    return Fnv1a(all);
}

std::vector<Variant> BmpVariants() {
    Bmp os2 = MakeBmp(2, 1, 8, 0, {1, 0, 0, 0}, 2, 12);
    os2.paletteEntryBytes = 3;
    // The stated image size never matters; a negative height is top-down;
    // the last row may lack its padding; the palette holds biClrUsed entries
    // (256 when 0) after an information header of any size.
    Bmp bottomUp24 = MakeBmp(3, 2, 24, 0, kBmp24Rows);
    bottomUp24.sizeImage = 1000;
    Bytes unpadded = kBmp24Rows;
    unpadded.resize(unpadded.size() - 3);
    Bmp topDown8 = MakeBmp(5, -2, 8, 0, kBmp8Rows, 3);
    topDown8.clrUsed = 3;
    Bmp long8 = MakeBmp(5, 2, 8, 0, kBmp8Rows, 16, 124);
    long8.clrUsed = 16;
    const std::int32_t rgb = GFX_FMT_RGB888, argb = GFX_FMT_ARGB8888, index = GFX_FMT_INDEX8;
    return {
        {"24 bits bottom-up", bottomUp24.Build(), rgb},
        {"24 bits top-down, last row unpadded", MakeBmp(3, -2, 24, 0, unpadded).Build(), rgb},
        {"8 bits of 256 colours", MakeBmp(5, 2, 8, 0, kBmp8Rows, 256).Build(), index},
        {"8 bits of 3 colours, top-down", topDown8.Build(), index},
        {"8 bits after a long header", long8.Build(), index},
        {"1 bit", MakeBmp(10, 2, 1, 0, {0xAA, 0x80, 0, 0, 0xFF, 0xC0, 0, 0}, 2).Build(), index},
        {"2 bits", MakeBmp(5, 2, 2, 0, {0x1B, 0, 0, 0, 0xE4, 0xC0, 0, 0}, 4).Build(), index},
        {"4 bits top-down", MakeBmp(3, -2, 4, 0, {0x12, 0x30, 0, 0, 0xAB, 0xC0, 0, 0}, 16).Build(), index},
        {"16 bits 5-5-5", MakeBmp(2, 1, 16, 0, {0x10, 0x42, 0x01, 0x7C}).Build(), rgb},
        {"16 bits 5-6-5 masks", MakeBmp(2, 1, 16, 3, {0xE0, 0x07, 0x10, 0x80}, 0, 40, {0xF800, 0x07E0, 0x1F}).Build(),
         rgb},
        {"16 bits 4-4-4-4 V3",
         MakeBmp(2, 1, 16, 3, {0x21, 0x84, 0xFF, 0x0F}, 0, 56, {0x0F00, 0x00F0, 0x000F, 0xF000}).Build(), argb},
        {"32 bits plain", MakeBmp(2, 1, 32, 0, {1, 2, 3, 4, 5, 6, 7, 8}).Build(), rgb},
        {"32 bits V5 alpha",
         MakeBmp(2, 1, 32, 3, {1, 2, 3, 4, 5, 6, 7, 8}, 0, 124, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}).Build(), argb},
        {"32 bits alpha bit fields",
         MakeBmp(1, 1, 32, 6, {1, 2, 3, 4}, 0, 40, {0xFF000000, 0xFF0000, 0xFF00, 0xFF}).Build(), argb},
        {"32 bits 10-10-10 V4",
         MakeBmp(1, 1, 32, 3, {0x01, 0x00, 0xF8, 0x3F}, 0, 108, {0x3FF00000, 0xFFC00, 0x3FF, 0}).Build(), rgb},
        {"RLE8", MakeBmp(4, 2, 8, 1, {2, 5, 0, 0, 0, 3, 7, 8, 9, 0, 0, 1}, 16).Build(), index},
        {"RLE8 delta", MakeBmp(4, 2, 8, 1, {1, 6, 0, 2, 2, 1, 1, 9, 0, 1}, 16).Build(), index},
        {"RLE4", MakeBmp(6, 1, 4, 2, {3, 0x12, 0, 3, 0x34, 0x50, 0, 1}, 16).Build(), index},
        {"OS/2 1.x", os2.Build(), index},
        {"OS/2 2.x", MakeBmp(1, 1, 24, 0, {1, 2, 3, 0}, 0, 64).Build(), rgb},
    };
}

TEST(ReadBmp, Variants) { EXPECT_EQ(LoadedHash(&C_Image::LoadBMP, BmpVariants()), 0x9be381fc1d2230f5ull); }

// The good 3 × 2 24-bit file with one change.
Bytes SpoiltBmp(const std::function<void(Bmp&)>& spoil) {
    Bmp bmp;
    bmp.pixels = kBmp24Rows;
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
        {"zero width", SpoiltBmp([](Bmp& m) { m.width = 0; })},
        {"negative width", SpoiltBmp([](Bmp& m) { m.width = -3; })},
        {"unnegatable height", SpoiltBmp([](Bmp& m) { m.height = INT32_MIN; })},
        {"forged huge size", SpoiltBmp([](Bmp& m) { m.width = m.height = 0x7FFFFFFF; })},
        {"impossible header size", SpoiltBmp([](Bmp& m) { m.infoSize = 8; })},
        {"not BM", SpoiltBmpBytes([](Bytes& b) { b[1] = 'N'; })},
        {"short header", SpoiltBmpBytes([](Bytes& b) { b.resize(40); })},
        {"pixels before the headers' end", SpoiltBmpBytes([](Bytes& b) { b[10] = 20; })},
        {"pixels beyond the end", SpoiltBmpBytes([](Bytes& b) { b[12] = 0x10; })},
        {"short data", SpoiltBmpBytes([](Bytes& b) { b.resize(b.size() - 4); })},
        {"two planes", SpoiltBmpBytes([](Bytes& b) { b[26] = 2; })},
        {"RLE8 flag on 24 bits", SpoiltBmp([](Bmp& m) { m.compression = 1; })},
        {"JPEG inside", MakeBmp(1, 1, 24, 4, Bytes(4, 0)).Build()},
        {"7 bits", MakeBmp(1, 1, 7, 0, Bytes(4, 0)).Build()},
        {"broken mask", MakeBmp(1, 1, 16, 3, Bytes(4, 0), 0, 40, {0x7C00, 0x03E0, 0x0015}).Build()},
        {"run-length data cut", MakeBmp(4, 2, 8, 1, {2, 5, 0, 0}).Build()},
        {"run-length bomb", MakeBmp(4096, 2048, 8, 1, {0, 1}).Build()},
    };
    ExpectRefused(&C_Image::LoadBMP, "BMP", cases);
}

// ---------------------------------------------------------------- PCX

// The trailing palette: marker 12 and entry i = R, G, B of i, 100+i, 200+i.
Bytes PcxPalette() {
    Bytes b = {12};
    for (std::uint32_t i = 0; i < 256; ++i) Append(b, {std::uint8_t(i), std::uint8_t(100 + i), std::uint8_t(200 + i)});
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

std::vector<Variant> PcxVariants() {
    const std::int32_t index = GFX_FMT_INDEX8, rgb = GFX_FMT_RGB888;
    return {
        {"runs of 63 that end where the palette begins", Pcx(8, 1, 126, 1, 126, {0xFF, 0x42, 0xFF, 0x42}, true), index},
        {"a spare byte per plane line, a run of three",
         Pcx(8, 3, 2, 2, 3, {1, 2, 0x55, 3, 4, 0x55, 5, 6, 0x55, 0xC3, 0x7F, 7, 8, 0x55, 9, 10, 0x55}), rgb},
        {"a run across scanlines, an empty run", Pcx(8, 3, 2, 2, 2, {0xC8, 0x11, 0xC0, 0x99, 0xC2, 0x22, 0x33, 0x44}),
         rgb},
        {"a last run cut at the last row", Pcx(8, 1, 2, 1, 2, {0xFF, 0x42}, true), index},
        {"0xC5 as a one-long run", Pcx(8, 1, 3, 2, 4, {0xC1, 0xC5, 7, 9, 0x55, 1, 0xC3, 2}, true), index},
        {"monochrome", Pcx(1, 1, 10, 1, 2, {0xAA, 0x80}), index},
        {"16 colours in 4 planes", Pcx(1, 4, 4, 1, 1, {0xA0, 0xC1, 0xC0, 0x00, 0x10}), index},
        {"2 bits", Pcx(2, 1, 4, 1, 1, {0x1B}), index},
        {"4 bits", Pcx(4, 1, 3, 1, 2, {0x12, 0x30}), index},
        {"grey", Pcx(8, 1, 2, 1, 2, {1, 2}), GFX_FMT_CH8},
        {"red, green, blue, alpha", Pcx(8, 4, 1, 1, 1, {1, 2, 3, 4}), GFX_FMT_ARGB8888},
    };
}

TEST(ReadPcx, Variants) { EXPECT_EQ(LoadedHash(&C_Image::LoadPCX, PcxVariants()), 0x7f09a8665533d7c6ull); }

TEST(ReadPcx, DamagedAndForgedFilesAreRefused) {
    const Bytes palette = PcxPalette(), header8 = PcxHeader(1, 2, 2, 2), data8 = {1, 2, 3, 4};
    auto spoilt = [&](std::size_t at, std::uint8_t value) {
        Bytes b = Joined(header8, data8, palette);
        b[at] = value;
        return b;
    };
    const std::vector<Refusal> cases = {
        {"short header", Bytes(100, 0x0A)},
        {"version 3", spoilt(1, 3)},
        {"Xmax below Xmin", spoilt(8, 0)},
        {"palette marker 11", spoilt(128 + 4, 11)},
        {"no palette at all", Joined(header8, data8)},
        {"palette cut short", Joined(header8, data8, Bytes(palette.begin(), palette.end() - 1))},
        {"11 of 12 bytes", Joined(PcxHeader(3, 2, 2, 2), {0xCB, 1})},
        {"lines narrower than the picture", Joined(PcxHeader(1, 4, 1, 3), {1, 2, 3}, palette)},
        {"planar lines too narrow", Joined(PcxHeader(3, 4, 1, 3), Bytes(9, 1))},
        {"beyond 4 GiB of pixels", Joined(PcxHeader(3, 65000, 65000, 65000), Bytes(64, 0xFF))},
        {"far more than 64 bytes encode", Joined(PcxHeader(1, 1000, 1000, 1000), Bytes(64, 0xFF), palette)},
        {"8 bits in 2 planes", Joined(PcxHeader(2, 2, 1, 2), data8)},
    };
    ExpectRefused(&C_Image::LoadPCX, "PCX", cases);
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
    const std::int32_t grey = GFX_FMT_CH8, index = GFX_FMT_INDEX8;
    return {
        {"image-ID field", Tga(2, 24, {{0, 2}}, {'i', 'd', 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}), GFX_FMT_RGB888},
        // Bottom row first; 32-bit B, G, R, A is kept as A, B, G, R.
        {"16 bits", Tga(2, 16, {}, {1, 2, 3, 4, 5, 6, 7, 8}), GFX_FMT_RGB555},
        {"24-bit run", Tga(10, 24, {}, {0x83, 1, 2, 3}), GFX_FMT_RGB888},
        {"32-bit run and literals", Tga(10, 32, {}, {0x81, 1, 2, 3, 4, 0x01, 5, 6, 7, 8, 9, 10, 11, 12}),
         GFX_FMT_RGBA8888},
        {"top-left origin", Tga(3, 8, topLeft, {1, 2, 3, 4}), grey},
        {"top-right origin", Tga(3, 8, {{17, 0x30}}, {1, 2, 3, 4}), grey},
        {"grey run-length", Tga(11, 8, {}, {0x81, 5, 0x01, 6, 7}), grey},
        {"grey with alpha", Tga(3, 16, topLeft, {1, 2, 3, 4, 5, 6, 7, 8}), GFX_FMT_ARGB8888},
        {"15 bits", Tga(2, 15, topLeft, {1, 2, 3, 4, 5, 6, 7, 8}), GFX_FMT_RGB555},
        // Entries from the map's first index on: 16-bit ones widened, 32-bit
        // ones kept with their alpha.
        {"colour map from 2, 16-bit entries",
         Tga(1, 8, {{1, 1}, {3, 2}, {5, 2}, {7, 16}, {17, 0x20}}, {0x00, 0x7C, 0x10, 0x42, 2, 3, 3, 2}), index},
        {"16-bit indices",
         Tga(1, 16, {{1, 1}, {3, 1}, {5, 2}, {7, 24}, {17, 0x20}}, {1, 2, 3, 4, 5, 6, 1, 0, 2, 0, 2, 0, 1, 0}),
         GFX_FMT_RGB888},
        // Bottom row first, plain and packed (a literal, a run of one, a run of two).
        {"colour-mapped", Tga(1, 8, map256, Joined(TgaColourMap(), {1, 2, 3, 4})), index},
        {"colour-mapped run-length", Tga(9, 8, map256, Joined(TgaColourMap(), {0x00, 1, 0x80, 2, 0x81, 4})), index},
        {"colour map of 32-bit entries", Tga(9, 8, {{1, 1}, {5, 1}, {7, 32}}, {1, 2, 3, 4, 0x83, 0}), index},
    };
}

TEST(ReadTga, Variants) { EXPECT_EQ(LoadedHash(&C_Image::LoadTGA, TgaVariants()), 0x5da993670bfe2e4ull); }

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
        {"short header", Bytes(good.begin(), good.begin() + 17)},
        {"an ID field the data cannot hold", spoilt(0, 1)},
        {"colour map type 2", spoilt(1, 2)},
        {"type 0", spoilt(2, 0)},
        {"zero width", TgaHeader(2, 0, 1, 24)},
        {"12-bit indices", Joined(TgaHeader(1, 1, 1, 12), TgaColourMap(), {0, 0})},
        {"short pixel data", Bytes(good.begin(), good.end() - 1)},
        {"three of four pixels", Joined(TgaHeader(10, 4, 1, 24), {0x82, 9, 9, 9})},
        {"three pixels for two", Joined(TgaHeader(10, 2, 1, 24), {0x82, 9, 9, 9})},
        {"a literal packet ending early", Joined(mapped4, TgaColourMap(), {0x03, 1, 2, 3})},
        {"forged huge size", Joined(TgaHeader(2, 65535, 65535, 32), Bytes(64, 0))},
        {"forged huge packed size", Joined(TgaHeader(10, 65535, 65535, 32), {0xFF, 1, 2, 3, 4})},
        {"index past the map", Joined(indexPast, {1, 2, 3, 4, 5, 6, 7, 8, 9, 5})},
        {"index below the map", Joined(indexBelow, {1, 2, 3, 4, 5, 6, 7, 8, 9, 0})},
        {"Huffman", Joined(TgaHeader(32, 1, 1, 8), Bytes(800, 0)), "Huffman"},
        {"8-bit true colour", Joined(TgaHeader(2, 1, 1, 8), {1})},
    };
    ExpectRefused(&C_Image::LoadTGA, "TGA", cases);
}

// ---------------------------------------------------------------- files

// The extension, in any case, chooses the reader; names without a known one
// are refused (JPEG names are recognised and nothing is recorded).
TEST(ImageFiles, ExtensionChoosesTheReader) {
    const std::string dir = Quillory_TempPath("");
    const std::pair<const char*, Bytes> files[] = {{"a.b.TGA", Joined(TgaHeader(2, 1, 1, 24), {1, 2, 3})},
                                                   {"photo.Bmp", MakeBmp(1, 1, 24, 0, {1, 2, 3, 0}).Build()},
                                                   {"photo.pcx", Joined(PcxHeader(3, 1, 1, 1), {3, 2, 1})}};
    for (const auto& [name, bytes] : files) {
        SCOPED_TRACE(name);
        WriteFile(dir + name, bytes);
        C_Image image((dir + name).c_str());
        EXPECT_EQ(StoredRow(image, 0, 3), Bytes({1, 2, 3}));
    }
    // A missing file is reported by the reader the name chose; string names
    // reach the same readers.
    const std::string missing = Quillory_TempPath("no-such-picture.tga");
    C_Image image;
    EXPECT_FALSE(image.Load_Format_FromFile(C_String(missing.c_str())));
    ExpectFailure(GFX_ERR_OPEN_READ, "C_Image::LoadTGA(" + missing + ")", "C_Image::Load_TGA");
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
    // A BMP (whose reader moves back and forth; its rows fit the read buffer
    // or are longer) and a TGA one after the other behind a prefix, in a
    // file and in memory.
    for (const std::uint32_t width : {4u, 10000u}) {
        SCOPED_TRACE(width);
        Bmp bmp;
        bmp.width = width;
        bmp.bits = 8;
        bmp.paletteEntries = 256;
        for (std::uint32_t i = 0; i < 2 * width; ++i)
            bmp.pixels.push_back(static_cast<std::uint8_t>(i % width + i / width));
        Bytes bytes = {0xAB, 0xCD, 0xEF};
        Append(bytes, bmp.Build());
        Append(bytes, Joined(TgaHeader(2, 1, 1, 24), {1, 2, 3}));
        const std::string path = Quillory_TempPath("two-pictures.bin");
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
            EXPECT_EQ(StoredRow(first, 1, width), Bytes(bmp.pixels.begin(), bmp.pixels.begin() + width));
            EXPECT_EQ(StoredRow(first, 0, width), Bytes(bmp.pixels.begin() + width, bmp.pixels.end()));
            C_Image second;
            ASSERT_TRUE(second.LoadTGA(s));
            EXPECT_EQ(StoredRow(second, 0, 3), Bytes({1, 2, 3}));
            EXPECT_EQ(C_Stream::Remaining(s), 0u);
        }
    }
}

TEST(RawWriter, WritesBarePixels) {
    const std::string path = Quillory_TempPath("pixels.raw");
    C_Image rgb;
    ASSERT_TRUE(rgb.CreateEmpty(2, 1, GFX_FMT_RGB888, -1));
    std::memcpy(rgb.data, "\x01\x02\x03\x04\x05\x06", 6);
    ASSERT_TRUE(rgb.Save_RAW_ToFile(C_String(path.c_str())));
    EXPECT_EQ(ReadFile(path), Bytes({3, 2, 1, 6, 5, 4}));
    // Other widths go out as in memory, row by row, without a view's padding;
    // formats of no whole byte per pixel give an empty file.
    std::uint8_t view[2 * 6];
    for (std::size_t i = 0; i < sizeof view; ++i) view[i] = static_cast<std::uint8_t>(i);
    for (const std::int32_t format : {GFX_FMT_CH8, GFX_FMT_RGB565, GFX_FMT_ARGB8888, GFX_FMT_RGB48, GFX_FMT_INDEX4}) {
        SCOPED_TRACE(format);
        C_Image image;
        const std::uint32_t w = format == GFX_FMT_CH8 ? 4 : format == GFX_FMT_RGB565 ? 2 : 1;
        ASSERT_TRUE(image.CreateLocked(w, 2, 6, format, -1, view));
        WriteFile(path, {1, 2, 3});
        ASSERT_TRUE(image.Save_RAW_ToFile(path.c_str()));
        const bool bare = format != GFX_FMT_RGB48 && format != GFX_FMT_INDEX4;
        EXPECT_EQ(ReadFile(path), bare ? Bytes({0, 1, 2, 3, 6, 7, 8, 9}) : Bytes());
    }
    // Unknown formats and files that cannot be opened are refused.
    std::remove(path.c_str());
    rgb.format = 99;
    EXPECT_FALSE(rgb.Save_RAW_ToFile(path.c_str()));
    ExpectFailure(GFX_ERR_FORMAT, "C_Image::Save_RAW_ToFile{format}", "C_Image::Save_RAW_ToFile");
    EXPECT_TRUE(ReadFile(path).empty());
    rgb.format = GFX_FMT_RGB888;
    const std::string nowhere = Quillory_TempPath("no-such-dir/pixels.raw");
    EXPECT_FALSE(rgb.Save_RAW_ToFile(nowhere.c_str()));
    ExpectFailure(GFX_ERR_OPEN_WRITE, "C_Image::Save_RAW_ToFile(" + nowhere + ")", "C_Image::Save_RAW_ToFile");
}

}  // namespace

// ---------------------------------------------------------------- failures

// Allocation failure on demand. The plain build replaces malloc and calloc
// for this program with thin wrappers over the C library's own, so that a
// test can make every allocation of one chosen size fail while a reader runs.
// Under AddressSanitizer the sanitizer owns the allocator and these tests are
// skipped.
#if defined(__SANITIZE_ADDRESS__)
#define QUILLORY_TEST_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUILLORY_TEST_ASAN 1
#endif
#endif

namespace {
std::size_t g_failSize = 0;       // 0: every allocation is served
std::uint32_t g_failedCount = 0;  // allocations refused so far
}  // namespace

#if defined(__GLIBC__) && !defined(QUILLORY_TEST_ASAN)
constexpr bool kCanFailAllocations = true;

extern "C" void* __libc_malloc(std::size_t size);
extern "C" void* __libc_calloc(std::size_t count, std::size_t size);

extern "C" void* malloc(std::size_t size) noexcept {
    if (g_failSize != 0 && size == g_failSize) {
        ++g_failedCount;
        return nullptr;
    }
    return __libc_malloc(size);
}

extern "C" void* calloc(std::size_t count, std::size_t size) noexcept {
    std::size_t total = 0;
    if (g_failSize != 0 && !__builtin_mul_overflow(count, size, &total) && total == g_failSize) {
        ++g_failedCount;
        return nullptr;
    }
    return __libc_calloc(count, size);
}
#else
constexpr bool kCanFailAllocations = false;
#endif

namespace {

// While it lives, allocations of exactly `bytes` bytes fail.
class FailingAllocations {
public:
    explicit FailingAllocations(std::size_t bytes) {
        g_failedCount = 0;
        g_failSize = bytes;
    }
    ~FailingAllocations() { g_failSize = 0; }
    FailingAllocations(const FailingAllocations&) = delete;
    FailingAllocations& operator=(const FailingAllocations&) = delete;
    std::uint32_t Refused() const { return g_failedCount; }
};

// An operation starved of one allocation: it fails, names the buffer it
// could not have, and leaves `image` empty with no memory kept.
struct Starved {
    const char* what;
    std::function<bool()> provoke;
    std::size_t failSize;  // the refused allocation's size
    std::string detail;
};

TEST(ReaderErrors, BuffersThatCannotBeHad) {
    if (!kCanFailAllocations) GTEST_SKIP() << "allocation failures cannot be injected in this build";
    C_Image image;
    // Files of sizes no other allocation shares: BMP rows padded to 4 bytes,
    // PCX lines of 6 and planes of 5, a full palette wherever there is one.
    const Bytes bmp24 = MakeBmp(7, 5, 24, 0, Bytes(24 * 5, 0)).Build();
    const Bytes bmp8 = MakeBmp(9, 3, 8, 0, Bytes(12 * 3, 0), 256).Build();
    const Bytes pcx8 = Joined(PcxHeader(1, 5, 3, 6), Bytes(6 * 3, 1), PcxPalette());
    const Bytes pcx24 = Joined(PcxHeader(3, 4, 2, 5), Bytes(5 * 3 * 2, 1));
    const Bytes tga32 = Joined(TgaHeader(2, 3, 5, 32), Bytes(60, 7)),
                tga8 = Joined(TgaHeader(1, 11, 2, 8), Bytes(790, 7));
    auto load = [&image](Reader reader, const Bytes& file) {
        return [&image, reader, &file] { return LoadWith(image, reader, file); };
    };
    const Reader bmp = &C_Image::LoadBMP, pcx = &C_Image::LoadPCX, tga = &C_Image::LoadTGA;
    C_Image pixels, record;
    ASSERT_TRUE(pixels.CreateEmpty(64, 64, GFX_FMT_CH8, GFX_FMT_NONE));  // 4096 bytes
    ASSERT_TRUE(record.CreateEmpty(13, 3, GFX_FMT_INDEX8, GFX_FMT_RGB888));
    const Bytes saved = Quillory_Saved(record);
    auto loadRecord = [&] {
        C_Stream stream;
        stream.OpenMemoryRead(saved.data(), static_cast<std::uint32_t>(saved.size()));
        return image.LoadFromStream(&stream, 0);
    };
    auto copyOf = [&image](const C_Image& from) {
        return [&image, &from] {
            image = from;
            return image.data != nullptr || image.m_palette != nullptr;
        };
    };
    const Starved cases[] = {
        {"BMP pixels", load(bmp, bmp24), 7 * 3 * 5, "C_Image::LoadBMP{data}(stream)"},
        {"BMP palette", load(bmp, bmp8), 768, "C_Image::LoadBMP{m_palette}(stream)"},
        {"PCX scanline", load(pcx, pcx8), 6, "C_Image::LoadPCX{pixelRow}(stream)"},
        {"PCX pixels", load(pcx, pcx24), 24, "C_Image::LoadPCX{data}(stream)"},
        {"TGA pixels", load(tga, tga32), 60, "C_Image::LoadTGA{data}(stream)"},
        {"TGA palette", load(tga, tga8), 768, "C_Image::LoadTGA{m_palette}(stream)"},
        {"record pixels", loadRecord, 39, "C_Image::LoadFromStream{data}"},
        {"palette of a new image", [&] { return image.CreateEmpty(0, 0, GFX_FMT_INDEX8, GFX_FMT_RGB888); }, 768,
         "C_Image::CreateEmpty{m_palette}"},
        {"pixels of a copy", copyOf(pixels), 4096, "C_Image::operator={data}"},
    };
    for (const Starved& c : cases) {
        SCOPED_TRACE(c.what);
        const std::uint32_t before = Mem_GetUsage().memCurrent;
        Gfx_ClearError();
        {
            FailingAllocations failing(c.failSize);
            EXPECT_FALSE(c.provoke());
            EXPECT_GE(failing.Refused(), 1u);
        }
        EXPECT_EQ(Gfx_GetErrorDetailCode(), GFX_ERR_NO_MEMORY);
        EXPECT_EQ(std::string(Gfx_GetErrorDetail()), c.detail);
        EXPECT_TRUE(image.data == nullptr && image.m_palette == nullptr);
        EXPECT_EQ(Mem_GetUsage().memCurrent, before);
    }
}

// A loaded image is self-consistent; a refused one is empty. Touching every
// byte lets the sanitizers see any buffer smaller than its recorded size.
void ExpectSound(const C_Image& image, bool loaded) {
    if (!loaded) return ExpectEmptied(image);
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
    for (const Variant& v : BmpVariants()) files.emplace_back(static_cast<Reader>(&C_Image::LoadBMP), v.file);
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
