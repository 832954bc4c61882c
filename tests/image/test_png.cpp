#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
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

// A PNG to write: samples row-major, `channels` per pixel, at `bitDepth`.
struct PngShape {
    std::uint32_t width = 9, height = 9;
    int bitDepth = 8;
    int colorType = PNG_COLOR_TYPE_RGB;
    bool interlace = false;
    std::vector<std::uint16_t> samples;
    std::vector<png_color> palette;
    std::vector<png_byte> paletteAlpha;
    bool colorKey = false;  // tRNS for grey / RGB: the first pixel's value
};

int Channels(int colorType) {
    switch (colorType) {
    case PNG_COLOR_TYPE_GRAY_ALPHA: return 2;
    case PNG_COLOR_TYPE_RGB: return 3;
    case PNG_COLOR_TYPE_RGB_ALPHA: return 4;
    default: return 1;
    }
}

// Deterministic samples; 16-bit ones are multiples of 257 so their 8-bit
// value is exact.
PngShape MakeShape(int colorType, int bitDepth, bool interlace = false) {
    PngShape s;
    s.colorType = colorType;
    s.bitDepth = bitDepth;
    s.interlace = interlace;
    const int ch = Channels(colorType);
    for (std::uint32_t y = 0; y < s.height; ++y)
        for (std::uint32_t x = 0; x < s.width; ++x)
            for (int c = 0; c < ch; ++c) {
                const std::uint32_t v = x * 7 + y * 13 + static_cast<std::uint32_t>(c) * 29;
                s.samples.push_back(
                    static_cast<std::uint16_t>(bitDepth == 16 ? (v % 256) * 257 : v % (1u << bitDepth)));
            }
    if (colorType == PNG_COLOR_TYPE_PALETTE)
        for (int i = 0; i < (1 << bitDepth); ++i)
            s.palette.push_back(
                {static_cast<png_byte>(i * 3), static_cast<png_byte>(255 - i), static_cast<png_byte>(i ^ 0x5A)});
    return s;
}

struct Encode {
    const PngShape* shape;
    png_bytep* rows;
    Bytes* out;
};

void AppendData(png_structp png, png_bytep data, png_size_t n) {
    auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + n);
}
void NoFlush(png_structp) {}

// Only plain data in this frame: libpng may longjmp into it.
bool RunEncode(png_structp png, png_infop info, const Encode* e) {
    if (setjmp(png_jmpbuf(png))) return false;
    const PngShape& s = *e->shape;
    png_set_write_fn(png, e->out, AppendData, NoFlush);
    png_set_IHDR(png, info, s.width, s.height, s.bitDepth, s.colorType,
                 s.interlace ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (!s.palette.empty()) png_set_PLTE(png, info, s.palette.data(), static_cast<int>(s.palette.size()));
    if (!s.paletteAlpha.empty())
        png_set_tRNS(png, info, s.paletteAlpha.data(), static_cast<int>(s.paletteAlpha.size()), nullptr);
    if (s.colorKey) {
        png_color_16 key{};
        key.gray = s.samples[0];
        key.red = s.samples[0];
        key.green = s.samples[1];
        key.blue = s.samples[2];
        png_set_tRNS(png, info, nullptr, 0, &key);
    }
    png_write_info(png, info);
    png_write_image(png, e->rows);
    png_write_end(png, info);
    return true;
}

Bytes EncodePng(const PngShape& s) {
    const int ch = Channels(s.colorType);
    const std::size_t rowBytes = (std::size_t{s.width} * ch * s.bitDepth + 7) / 8;
    std::vector<Bytes> packed(s.height, Bytes(rowBytes, 0));
    std::vector<png_bytep> rows;
    for (std::uint32_t y = 0; y < s.height; ++y) {
        for (std::size_t i = 0; i < std::size_t{s.width} * ch; ++i) {
            const std::uint16_t v = s.samples[y * s.width * ch + i];
            if (s.bitDepth == 16) {
                packed[y][2 * i] = static_cast<std::uint8_t>(v >> 8);
                packed[y][2 * i + 1] = static_cast<std::uint8_t>(v);
            } else {  // most significant bits first
                const std::size_t bit = i * s.bitDepth;
                packed[y][bit / 8] |= static_cast<std::uint8_t>(v << (8 - s.bitDepth - bit % 8));
            }
        }
        rows.push_back(packed[y].data());
    }
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    const Encode e{&s, rows.data(), &out};
    const bool ok = RunEncode(png, info, &e);
    png_destroy_write_struct(&png, &info);
    EXPECT_TRUE(ok);
    return out;
}

std::uint8_t To8(std::uint16_t v, int depth) {
    if (depth == 16) return static_cast<std::uint8_t>(v / 257);
    return static_cast<std::uint8_t>(v * 255 / ((1 << depth) - 1));
}

// The pixel bytes Gfx_Image_LoadPNG must give for that shape.
Bytes Expected(const PngShape& s) {
    Bytes out;
    const int ch = Channels(s.colorType);
    const bool grey = !(s.colorType & PNG_COLOR_MASK_COLOR);
    for (std::size_t p = 0; p < std::size_t{s.width} * s.height; ++p) {
        const std::uint16_t* v = &s.samples[p * ch];
        if (s.colorType == PNG_COLOR_TYPE_GRAY && !s.colorKey) {
            out.push_back(To8(v[0], s.bitDepth));
            continue;
        }
        std::uint8_t r, g, b, a = 255;
        if (s.colorType == PNG_COLOR_TYPE_PALETTE) {
            const png_color& e = s.palette[v[0]];
            r = e.red, g = e.green, b = e.blue;
            if (v[0] < s.paletteAlpha.size()) a = s.paletteAlpha[v[0]];
        } else if (grey) {
            r = g = b = To8(v[0], s.bitDepth);
            if (ch == 2) a = To8(v[1], s.bitDepth);
        } else {
            r = To8(v[0], s.bitDepth), g = To8(v[1], s.bitDepth), b = To8(v[2], s.bitDepth);
            if (ch == 4) a = To8(v[3], s.bitDepth);
        }
        if (s.colorKey && std::equal(v, v + ch, s.samples.begin())) a = 0;
        out.insert(out.end(), {b, g, r, a});
    }
    return out;
}

Bytes Pixels(const C_Image& image) {
    Bytes out;
    for (std::uint32_t y = 0; y < image.height; ++y) out.insert(out.end(), image.Row(y), image.Row(y) + image.rowBytes);
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

// A refused load: false, the codes and message, an emptied image, no memory
// kept.
void ExpectRefused(const Bytes& bytes, std::int32_t code = GFX_ERR_BAD_DATA) {
    C_Image image;
    ASSERT_TRUE(image.CreateEmpty(2, 2, GFX_FMT_ARGB8888, GFX_FMT_NONE));
    const std::uint32_t before = Mem_GetUsage().memCurrent - image.dataSize;
    Gfx_ClearError();
    EXPECT_FALSE(LoadFromMemory(image, bytes));
    EXPECT_EQ(Gfx_GetErrorDetailCode(), code);
    EXPECT_STREQ(Gfx_GetErrorDetail(),
                 code == GFX_ERR_NO_MEMORY ? "Gfx_Image_LoadPNG{data}(stream)" : "Gfx_Image_LoadPNG(stream)");
    EXPECT_EQ(Gfx_GetErrorCode(), -1);
    EXPECT_EQ(std::string(Gfx_GetErrorMessage()), std::string("Gfx_Image_LoadPNG") + GFX_FATAL_SUFFIX);
    EXPECT_EQ(image.data, nullptr);
    EXPECT_EQ(image.format, GFX_FMT_NONE);
    EXPECT_EQ(Mem_GetUsage().memCurrent, before);
}

// An image whose pixel bytes follow a simple pattern.
void Fill(C_Image& image) {
    for (std::uint32_t y = 0; y < image.height; ++y)
        for (std::uint32_t i = 0; i < image.rowBytes; ++i)
            image.Row(y)[i] = static_cast<std::uint8_t>(y * 31 + i * 7 + 1);
}

// ------------------------------------------------------------------ tests

TEST(Png, LoadsEveryColourTypeAndDepth) {
    struct Case {
        int colorType, bitDepth;
    };
    const Case cases[] = {
        {PNG_COLOR_TYPE_GRAY, 1},        {PNG_COLOR_TYPE_GRAY, 2},       {PNG_COLOR_TYPE_GRAY, 4},
        {PNG_COLOR_TYPE_GRAY, 8},        {PNG_COLOR_TYPE_GRAY, 16},      {PNG_COLOR_TYPE_GRAY_ALPHA, 8},
        {PNG_COLOR_TYPE_GRAY_ALPHA, 16}, {PNG_COLOR_TYPE_RGB, 8},        {PNG_COLOR_TYPE_RGB, 16},
        {PNG_COLOR_TYPE_RGB_ALPHA, 8},   {PNG_COLOR_TYPE_RGB_ALPHA, 16}, {PNG_COLOR_TYPE_PALETTE, 1},
        {PNG_COLOR_TYPE_PALETTE, 2},     {PNG_COLOR_TYPE_PALETTE, 4},    {PNG_COLOR_TYPE_PALETTE, 8},
    };
    for (const Case& c : cases)
        for (bool interlace : {false, true}) {
            SCOPED_TRACE("colour type " + std::to_string(c.colorType) + ", depth " + std::to_string(c.bitDepth) +
                         (interlace ? ", interlaced" : ""));
            const PngShape shape = MakeShape(c.colorType, c.bitDepth, interlace);
            C_Image image;
            ASSERT_TRUE(LoadFromMemory(image, EncodePng(shape)));
            const bool grey = c.colorType == PNG_COLOR_TYPE_GRAY;
            EXPECT_EQ(image.format, grey ? GFX_FMT_CH8 : GFX_FMT_ARGB8888);
            EXPECT_EQ(image.width, shape.width);
            EXPECT_EQ(image.height, shape.height);
            EXPECT_EQ(image.pitch, image.rowBytes);
            EXPECT_EQ(image.bottomUp, 0);
            EXPECT_EQ(image.m_palette, nullptr);
            EXPECT_EQ(Pixels(image), Expected(shape));
        }
}

TEST(Png, TransparencyChunksBecomeAlpha) {
    PngShape palette = MakeShape(PNG_COLOR_TYPE_PALETTE, 4);
    palette.paletteAlpha = {0, 128, 255, 7};  // entries beyond stay opaque
    PngShape grey = MakeShape(PNG_COLOR_TYPE_GRAY, 8);
    grey.colorKey = true;
    PngShape rgb = MakeShape(PNG_COLOR_TYPE_RGB, 16);
    rgb.colorKey = true;
    for (const PngShape* shape : {&palette, &grey, &rgb}) {
        C_Image image;
        ASSERT_TRUE(LoadFromMemory(image, EncodePng(*shape)));
        EXPECT_EQ(image.format, GFX_FMT_ARGB8888);  // grey with a colour key needs alpha
        EXPECT_EQ(Pixels(image), Expected(*shape));
    }
}

TEST(Png, SavedFormatsRoundTrip) {
    struct Case {
        std::int32_t format;
        int r, g, b, a;  // byte offsets in the saved pixel; a < 0: none
    };
    const Case cases[] = {
        {GFX_FMT_RGB888, 2, 1, 0, -1},  {GFX_FMT_BGR888, 0, 1, 2, -1},  {GFX_FMT_ARGB8888, 2, 1, 0, 3},
        {GFX_FMT_RGBA8888, 3, 2, 1, 0}, {GFX_FMT_BGRA8888, 1, 2, 3, 0}, {GFX_FMT_ABGR8888, 0, 1, 2, 3},
    };
    const std::string path = Quillory_TempPath("round.png");
    for (const Case& c : cases)
        for (bool opaque : {false, true}) {
            SCOPED_TRACE("format " + std::to_string(c.format) + (opaque ? " opaque" : ""));
            C_Image image;
            ASSERT_TRUE(image.CreateEmpty(5, 3, c.format, GFX_FMT_NONE));
            Fill(image);
            ASSERT_TRUE(opaque ? Gfx_Image_SavePNG_Opaque(&image, path.c_str())
                               : Gfx_Image_SavePNG(&image, path.c_str()));
            Gfx_PngInfo info{};
            ASSERT_TRUE(Gfx_Image_ReadPNGInfo(path.c_str(), &info));
            EXPECT_EQ(info.colorType, c.a >= 0 && !opaque ? GFX_PNG_RGBA : GFX_PNG_RGB);
            EXPECT_EQ(info.bitDepth, 8);
            C_Image back;
            ASSERT_TRUE(Gfx_Image_LoadPNG(&back, path.c_str()));
            ASSERT_EQ(back.format, GFX_FMT_ARGB8888);
            Bytes expected;
            const std::size_t n = image.bpp / 8;
            for (std::size_t i = 0; i < image.dataSize; i += n) {
                const std::uint8_t* p = image.data + i;
                const std::uint8_t alpha = c.a >= 0 && !opaque ? p[c.a] : 255;
                expected.insert(expected.end(), {p[c.b], p[c.g], p[c.r], alpha});
            }
            EXPECT_EQ(Pixels(back), expected);
        }
}

TEST(Png, GreyAndPaletteImagesRoundTrip) {
    const std::string path = Quillory_TempPath("round.png");
    C_Image grey;
    ASSERT_TRUE(grey.CreateEmpty(7, 4, GFX_FMT_CH8, GFX_FMT_NONE));
    Fill(grey);
    ASSERT_TRUE(Gfx_Image_SavePNG(&grey, path.c_str()));
    C_Image back;
    ASSERT_TRUE(Gfx_Image_LoadPNG(&back, path.c_str()));
    EXPECT_EQ(back.format, GFX_FMT_CH8);
    EXPECT_EQ(Pixels(back), Pixels(grey));

    // Palette entries in ARGB8888: their alpha becomes the file's
    // transparency unless the picture is saved opaque.
    C_Image indexed;
    ASSERT_TRUE(indexed.CreateEmpty(6, 2, GFX_FMT_INDEX8, GFX_FMT_ARGB8888));
    Fill(indexed);
    for (std::uint32_t i = 0; i < 1024; ++i) indexed.m_palette[i] = static_cast<std::uint8_t>(i * 5 + i / 4);
    for (bool opaque : {false, true}) {
        ASSERT_TRUE(opaque ? Gfx_Image_SavePNG_Opaque(&indexed, path.c_str())
                           : Gfx_Image_SavePNG(&indexed, path.c_str()));
        Gfx_PngInfo info{};
        ASSERT_TRUE(Gfx_Image_ReadPNGInfo(path.c_str(), &info));
        EXPECT_EQ(info.colorType, GFX_PNG_PALETTE);
        EXPECT_EQ(info.transparency, opaque ? 0 : 1);
        ASSERT_TRUE(Gfx_Image_LoadPNG(&back, path.c_str()));
        Bytes expected;
        for (std::uint32_t p = 0; p < indexed.dataSize; ++p) {
            const std::uint8_t* e = indexed.m_palette + 4 * indexed.data[p];
            expected.insert(expected.end(), {e[0], e[1], e[2], opaque ? std::uint8_t{255} : e[3]});
        }
        EXPECT_EQ(Pixels(back), expected);
    }
}

TEST(Png, SavesThePictureAsItLooks) {
    // A bottom-up view with padded rows: the file's first row is the image's
    // row 0, stored last.
    std::vector<std::uint8_t> memory(4 * 16, 0xEE);
    C_Image view;
    ASSERT_TRUE(view.CreateLocked(3, 4, 16, GFX_FMT_RGB888, GFX_FMT_NONE, memory.data()));
    view.bottomUp = 1;
    Fill(view);
    const std::string path = Quillory_TempPath("view.png");
    ASSERT_TRUE(Gfx_Image_SavePNG(&view, path.c_str()));
    C_Image back;
    ASSERT_TRUE(Gfx_Image_LoadPNG(&back, path.c_str()));
    ASSERT_EQ(back.height, 4u);
    for (std::uint32_t y = 0; y < 4; ++y) {
        const std::uint8_t* in = view.Row(y);
        const std::uint8_t* out = back.Row(y);
        for (int x = 0; x < 3; ++x) EXPECT_EQ(Bytes(out + 4 * x, out + 4 * x + 3), Bytes(in + 3 * x, in + 3 * x + 3));
    }
    EXPECT_EQ(back.Row(0)[0], view.data[3 * 16]);  // row 0 came from the last stored row
}

TEST(Png, RefusesDamagedFiles) {
    const Bytes good = EncodePng(MakeShape(PNG_COLOR_TYPE_RGB, 8));
    ExpectRefused(Bytes{'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    ExpectRefused(Bytes{});
    // Cut short: inside the signature, the header, the image data, and just
    // before the end chunk.
    for (std::size_t keep : {std::size_t{5}, std::size_t{20}, good.size() / 2, good.size() - 12, good.size() - 1}) {
        SCOPED_TRACE("kept " + std::to_string(keep) + " bytes");
        ExpectRefused(Bytes(good.begin(), good.begin() + static_cast<long>(keep)));
    }
    Bytes badHeaderCrc = good;
    badHeaderCrc[29] ^= 0x01;
    ExpectRefused(badHeaderCrc);
    Bytes badDataCrc = good;
    badDataCrc[good.size() - 20] ^= 0x40;  // inside the compressed data
    ExpectRefused(badDataCrc);
    ExpectRefused(WithSize(good, 0, 9));
}

TEST(Png, RefusesForgedSizesBeforeAllocating) {
    const Bytes small = EncodePng(MakeShape(PNG_COLOR_TYPE_RGB_ALPHA, 8));
    const Mem_Usage before = Mem_GetUsage();
    // 2^28 pixels would be 1 GiB; a file of a few hundred bytes cannot hold
    // them. One more row passes the absolute pixel limit.
    ExpectRefused(WithSize(small, 16384, 16384));
    ExpectRefused(WithSize(small, 16384, 16385));
    ExpectRefused(WithSize(small, 1000000, 1000000));
    const std::uint32_t bound = 64u << 20;
    EXPECT_LE(Mem_GetUsage().memPeak, std::max(before.memPeak, before.memCurrent + bound));
    // Small forged sizes are allocated and then found short of data.
    ExpectRefused(WithSize(small, 200, 200));
}

TEST(Png, ReportsFilesThatCannotBeOpenedOrWritten) {
    C_Image image;
    const std::string missing = Quillory_TempPath("missing.png");
    Gfx_ClearError();
    EXPECT_FALSE(Gfx_Image_LoadPNG(&image, missing.c_str()));
    EXPECT_EQ(Gfx_GetErrorDetailCode(), GFX_ERR_OPEN_READ);
    EXPECT_EQ(std::string(Gfx_GetErrorDetail()), "Gfx_Image_LoadPNG(" + missing + ")");

    ASSERT_TRUE(image.CreateEmpty(2, 2, GFX_FMT_ARGB8888, GFX_FMT_NONE));
    const std::string nowhere = Quillory_TempPath("no-such-folder") + "/out.png";
    EXPECT_FALSE(Gfx_Image_SavePNG(&image, nowhere.c_str()));
    EXPECT_EQ(Gfx_GetErrorDetailCode(), GFX_ERR_OPEN_WRITE);
    EXPECT_EQ(std::string(Gfx_GetErrorDetail()), "Gfx_Image_SavePNG(" + nowhere + ")");
    EXPECT_EQ(std::string(Gfx_GetErrorMessage()), std::string("Gfx_Image_SavePNG") + GFX_FATAL_SUFFIX);
}

TEST(Png, RefusesImagesItCannotWrite) {
    const std::string path = Quillory_TempPath("refused.png");
    WriteFile(path, Bytes{1, 2, 3});  // must survive every refusal
    C_Image image;
    auto expectRefusal = [&](std::int32_t code, const char* detail) {
        Gfx_ClearError();
        EXPECT_FALSE(Gfx_Image_SavePNG(&image, path.c_str()));
        EXPECT_EQ(Gfx_GetErrorDetailCode(), code);
        EXPECT_STREQ(Gfx_GetErrorDetail(), detail);
        EXPECT_EQ(ReadFile(path), (Bytes{1, 2, 3}));
    };
    expectRefusal(GFX_ERR_NULL_ARG, "Gfx_Image_SavePNG{pImage}");
    ASSERT_TRUE(image.CreateEmpty(2, 2, GFX_FMT_RGB565, GFX_FMT_NONE));
    expectRefusal(GFX_ERR_FORMAT, "Gfx_Image_SavePNG{format}");
    ASSERT_TRUE(image.CreateEmpty(2, 2, GFX_FMT_INDEX8, GFX_FMT_NONE));
    expectRefusal(GFX_ERR_PALETTE_FORMAT, "Gfx_Image_SavePNG{palFormat}");
    ASSERT_TRUE(image.CreateEmpty(2, 2, GFX_FMT_INDEX8, GFX_FMT_RGB48));
    expectRefusal(GFX_ERR_PALETTE_FORMAT, "Gfx_Image_SavePNG{palFormat}");
    EXPECT_FALSE(Gfx_Image_SavePNG_Opaque(nullptr, path.c_str()));
    EXPECT_STREQ(Gfx_GetErrorDetail(), "Gfx_Image_SavePNG_Opaque{pImage}");
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
