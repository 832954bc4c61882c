#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "image/internal/file_replace.h"
#include "image_test_support.h"
#include "quillory.h"
#include "test_support.h"

namespace {

bool Exists(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f) std::fclose(f);
    return f != nullptr;
}

// ------------------------------------------------ PNG files made by libpng

// A 9 × 9 PNG to write. Sample c of pixel (x, y) is 7x + 13y + 29c cut to
// the depth (16-bit ones are multiples of 257, so their 8-bit value is
// exact); a palette has an entry for every index.
struct PngShape {
    int colorType;
    int bitDepth;
    bool interlace = false;
    bool colorKey = false;  // tRNS for grey / RGB: the first pixel's value
    std::vector<png_byte> paletteAlpha = {};
};
constexpr std::uint32_t kSide = 9;

std::uint16_t Sample(const PngShape& s, std::uint32_t x, std::uint32_t y, int c) {
    const std::uint32_t v = x * 7 + y * 13 + static_cast<std::uint32_t>(c) * 29;
    return static_cast<std::uint16_t>(s.bitDepth == 16 ? (v % 256) * 257 : v % (1u << s.bitDepth));
}

void AppendData(png_structp png, png_bytep data, png_size_t n) {
    auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + n);
}
void NoFlush(png_structp) {}

// Only plain data in this frame: libpng may longjmp into it.
bool RunEncode(png_structp png, png_infop info, const PngShape& s, const png_color* palette, png_bytep* rows,
               Bytes* out) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_write_fn(png, out, AppendData, NoFlush);
    const int interlace = s.interlace ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE;
    png_set_IHDR(png, info, kSide, kSide, s.bitDepth, s.colorType, interlace, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (s.colorType == PNG_COLOR_TYPE_PALETTE) png_set_PLTE(png, info, palette, 1 << s.bitDepth);
    if (!s.paletteAlpha.empty())
        png_set_tRNS(png, info, s.paletteAlpha.data(), static_cast<int>(s.paletteAlpha.size()), nullptr);
    if (s.colorKey) {
        png_color_16 key{};
        key.gray = key.red = Sample(s, 0, 0, 0);
        key.green = Sample(s, 0, 0, 1);
        key.blue = Sample(s, 0, 0, 2);
        png_set_tRNS(png, info, nullptr, 0, &key);
    }
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, info);
    return true;
}

Bytes EncodePng(const PngShape& s) {
    const int ch = s.colorType == PNG_COLOR_TYPE_RGB_ALPHA ? 4
                   : s.colorType == PNG_COLOR_TYPE_RGB     ? 3
                                                           : 1 + (s.colorType == PNG_COLOR_TYPE_GRAY_ALPHA);
    std::vector<Bytes> packed(kSide, Bytes((kSide * ch * s.bitDepth + 7) / 8, 0));
    std::vector<png_bytep> rows;
    for (std::uint32_t y = 0; y < kSide; ++y) {
        for (std::uint32_t i = 0; i < kSide * ch; ++i) {
            const std::uint16_t v = Sample(s, i / ch, y, static_cast<int>(i % ch));
            if (s.bitDepth == 16) {
                packed[y][2 * i] = static_cast<std::uint8_t>(v >> 8);
                packed[y][2 * i + 1] = static_cast<std::uint8_t>(v);
            } else {  // most significant bits first
                const std::uint32_t bit = i * s.bitDepth;
                packed[y][bit / 8] |= static_cast<std::uint8_t>(v << (8 - s.bitDepth - bit % 8));
            }
        }
        rows.push_back(packed[y].data());
    }
    std::vector<png_color> palette;
    for (int i = 0; i < 256; ++i)
        palette.push_back(
            {static_cast<png_byte>(i * 3), static_cast<png_byte>(255 - i), static_cast<png_byte>(i ^ 0x5A)});
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    const bool ok = RunEncode(png, info, s, palette.data(), rows.data(), &out);
    png_destroy_write_struct(&png, &info);
    EXPECT_TRUE(ok);
    return out;
}

bool LoadFromMemory(C_Image& image, const Bytes& bytes) {
    C_Stream s;
    s.OpenMemoryRead(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    return Gfx_Image_LoadPNG(&image, &s);
}

// CRC-32 of PNG chunks, to forge headers that pass the checksum.
std::uint32_t Crc32(const std::uint8_t* p, std::size_t n) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < n; ++i) {
        crc ^= p[i];
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void PutBE32(Bytes& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (24 - 8 * i));
}

// IHDR lies at bytes 8..32: length, "IHDR", 13 data bytes, CRC.
Bytes WithSize(Bytes png, std::uint32_t width, std::uint32_t height) {
    PutBE32(png, 16, width);
    PutBE32(png, 20, height);
    PutBE32(png, 29, Crc32(&png[12], 17));
    return png;
}

// An image whose pixel bytes follow a simple pattern.
void Fill(C_Image& image) {
    for (std::uint32_t y = 0; y < image.height; ++y)
        for (std::uint32_t i = 0; i < image.rowBytes; ++i)
            image.Row(y)[i] = static_cast<std::uint8_t>(y * 31 + i * 7 + 1);
}

TEST(Png, LoadsEveryColourTypeAndDepth) {
    std::vector<PngShape> shapes;
    const std::pair<int, int> kinds[] = {
        {PNG_COLOR_TYPE_GRAY, 1},        {PNG_COLOR_TYPE_GRAY, 2},       {PNG_COLOR_TYPE_GRAY, 4},
        {PNG_COLOR_TYPE_GRAY, 8},        {PNG_COLOR_TYPE_GRAY, 16},      {PNG_COLOR_TYPE_GRAY_ALPHA, 8},
        {PNG_COLOR_TYPE_GRAY_ALPHA, 16}, {PNG_COLOR_TYPE_RGB, 8},        {PNG_COLOR_TYPE_RGB, 16},
        {PNG_COLOR_TYPE_RGB_ALPHA, 8},   {PNG_COLOR_TYPE_RGB_ALPHA, 16}, {PNG_COLOR_TYPE_PALETTE, 1},
        {PNG_COLOR_TYPE_PALETTE, 2},     {PNG_COLOR_TYPE_PALETTE, 4},    {PNG_COLOR_TYPE_PALETTE, 8},
    };
    for (const auto& [colorType, depth] : kinds)
        for (bool interlace : {false, true}) shapes.push_back({colorType, depth, interlace});
    // Transparency chunks become alpha (grey with a colour key needs it too);
    // palette entries beyond the chunk stay opaque.
    shapes.push_back({PNG_COLOR_TYPE_PALETTE, 4, false, false, {0, 128, 255, 7}});
    for (const auto& [colorType, depth] : {kinds[3], kinds[8]}) shapes.push_back({colorType, depth, false, true});
    // The decoded pixels of every shape against one golden hash: the samples
    // are 8-bit values widened by bit repetition (16-bit ones cut to their
    // top byte), palettes looked up, keys and tRNS entries made alpha.
    const std::string path = Quillory_TempPath("shape.png");
    Bytes all;
    for (const PngShape& shape : shapes) {
        SCOPED_TRACE("colour type " + std::to_string(shape.colorType) + ", depth " + std::to_string(shape.bitDepth) +
                     (shape.interlace ? ", interlaced" : "") + (shape.colorKey ? ", keyed" : ""));
        const Bytes file = EncodePng(shape);
        C_Image image;
        ASSERT_TRUE(LoadFromMemory(image, file));
        const bool grey = shape.colorType == PNG_COLOR_TYPE_GRAY && !shape.colorKey;
        EXPECT_EQ(image.format, grey ? GFX_FMT_CH8 : GFX_FMT_ARGB8888);
        EXPECT_EQ(std::make_tuple(image.width, image.height, image.pitch, image.bottomUp),
                  std::make_tuple(kSide, kSide, image.rowBytes, std::uint8_t{0}));
        Append(all, AllBytes(image));
        WriteFile(path, file);
        Gfx_PngInfo info{};
        ASSERT_TRUE(Gfx_Image_ReadPNGInfo(path.c_str(), &info));
        EXPECT_EQ(
            std::make_tuple(info.width, info.bitDepth, info.colorType, info.interlaced, info.loadFormat),
            std::make_tuple(kSide, static_cast<std::uint8_t>(shape.bitDepth),
                            static_cast<std::uint8_t>(shape.colorType), std::uint8_t{shape.interlace}, image.format));
    }
    EXPECT_EQ(Fnv1a(all), 0xfe5ae2a8a9b024e2ull) << std::hex << Fnv1a(all);
}

// Saved pictures load back as they look (a golden hash of what comes back):
// every savable format (alpha dropped when saved opaque), grey, palettes in
// ARGB8888 (their alpha the file's transparency unless opaque), and a
// bottom-up view with padded rows.
TEST(Png, SavedPicturesRoundTrip) {
    const std::pair<std::int32_t, std::int32_t> formats[] = {
        {GFX_FMT_RGB888, -1},   {GFX_FMT_BGR888, -1},   {GFX_FMT_ARGB8888, -1}, {GFX_FMT_RGBA8888, -1},
        {GFX_FMT_BGRA8888, -1}, {GFX_FMT_ABGR8888, -1}, {GFX_FMT_CH8, -1},      {GFX_FMT_INDEX8, GFX_FMT_ARGB8888},
    };
    const std::string path = Quillory_TempPath("round.png");
    std::vector<std::uint8_t> memory(4 * 32, 0xEE);
    Bytes all;
    for (const auto& [format, palFormat] : formats)
        for (bool opaque : {false, true}) {
            SCOPED_TRACE("format " + std::to_string(format) + (opaque ? " opaque" : ""));
            C_Image image;
            if (format == GFX_FMT_RGB888) {
                ASSERT_TRUE(image.CreateLocked(5, 4, 32, format, GFX_FMT_NONE, memory.data()));
                image.bottomUp = 1;
            } else {
                ASSERT_TRUE(image.CreateEmpty(5, 4, format, palFormat));
            }
            Fill(image);
            for (std::uint32_t i = 0; i < image.paletteSize; ++i)
                image.m_palette[i] = static_cast<std::uint8_t>(i * 5 + i / 4);
            ASSERT_TRUE(opaque ? Gfx_Image_SavePNG_Opaque(&image, path.c_str())
                               : Gfx_Image_SavePNG(&image, path.c_str()));
            Gfx_PngInfo info{};
            ASSERT_TRUE(Gfx_Image_ReadPNGInfo(path.c_str(), &info));
            const bool alpha =
                !opaque &&
                (palFormat >= 0 || (format != GFX_FMT_RGB888 && format != GFX_FMT_BGR888 && format != GFX_FMT_CH8));
            EXPECT_EQ(info.colorType, palFormat >= 0          ? GFX_PNG_PALETTE
                                      : format == GFX_FMT_CH8 ? GFX_PNG_GREY
                                      : alpha                 ? GFX_PNG_RGBA
                                                              : GFX_PNG_RGB);
            EXPECT_EQ(info.bitDepth, 8);
            EXPECT_EQ(info.transparency, palFormat >= 0 && alpha ? 1 : 0);
            C_Image back;
            ASSERT_TRUE(Gfx_Image_LoadPNG(&back, path.c_str()));
            ASSERT_EQ(std::make_tuple(back.width, back.height), std::make_tuple(5u, 4u));
            Append(all, AllBytes(back));
        }
    EXPECT_EQ(Fnv1a(all), 0xb5e591f15c0cab29ull) << std::hex << Fnv1a(all);
}

// A refused load: false, the codes and message, an emptied image, no memory
// kept; forged sizes are refused before the buffer is made.
TEST(Png, RefusesDamagedAndForgedFiles) {
    const Bytes good = EncodePng({PNG_COLOR_TYPE_RGB, 8});
    Bytes badHeaderCrc = good, badDataCrc = good;
    badHeaderCrc[29] ^= 0x01;
    badDataCrc[good.size() - 20] ^= 0x40;  // inside the compressed data
    std::vector<Bytes> files = {
        Bytes{'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, Bytes{}, badHeaderCrc, badDataCrc, WithSize(good, 0, 9),
        // 2^28 pixels would be 1 GiB; a file of a few hundred bytes cannot
        // hold them. One more row passes the absolute pixel limit.
        WithSize(good, 16384, 16384), WithSize(good, 16384, 16385), WithSize(good, 1000000, 1000000),
        // Small forged sizes are allocated and then found short of data.
        WithSize(good, 200, 200)};
    // Cut short: inside the signature, the header, the image data, and just
    // before the end chunk.
    for (std::size_t keep : {std::size_t{5}, std::size_t{20}, good.size() / 2, good.size() - 12, good.size() - 1})
        files.emplace_back(good.begin(), good.begin() + static_cast<long>(keep));
    const Mem_Usage start = Mem_GetUsage();
    for (std::size_t i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(i);
        C_Image image;
        ASSERT_TRUE(image.CreateEmpty(2, 2, GFX_FMT_ARGB8888, GFX_FMT_NONE));
        const std::uint32_t before = Mem_GetUsage().memCurrent - image.dataSize;
        Gfx_ClearError();
        EXPECT_FALSE(LoadFromMemory(image, files[i]));
        ExpectFailure(GFX_ERR_BAD_DATA, "Gfx_Image_LoadPNG(stream)", "Gfx_Image_LoadPNG");
        ExpectEmptied(image);
        EXPECT_EQ(Mem_GetUsage().memCurrent, before);
    }
    EXPECT_LE(Mem_GetUsage().memPeak, std::max(start.memPeak, start.memCurrent + (64u << 20)));
    const std::string missing = Quillory_TempPath("missing.png");
    C_Image image;
    EXPECT_FALSE(Gfx_Image_LoadPNG(&image, missing.c_str()));
    ExpectFailure(GFX_ERR_OPEN_READ, "Gfx_Image_LoadPNG(" + missing + ")", "Gfx_Image_LoadPNG");
}

TEST(Png, ReplacementFilesAppearWholeOrNotAtAll) {
    const std::string path = Quillory_TempPath("replace.bin");
    WriteFile(path, Bytes{9, 9});
    {
        C_FileReplace out;
        ASSERT_TRUE(out.Begin(path.c_str()));
        std::fputs("partial", out.File());
        EXPECT_TRUE(Exists(out.TempPath()));
    }  // dropped without Commit
    EXPECT_EQ(ReadFile(path), (Bytes{9, 9}));
    C_FileReplace out;
    ASSERT_TRUE(out.Begin(path.c_str()));
    const std::string temp = out.TempPath();
    std::fputs("whole", out.File());
    ASSERT_TRUE(out.Commit());
    EXPECT_EQ(ReadFile(path), (Bytes{'w', 'h', 'o', 'l', 'e'}));
    EXPECT_FALSE(Exists(temp));
}

}  // namespace
