// The one-call loader and saver (detection by content, round trips through
// every writer, the format asked for, the reasons of refusals) and the BMP
// and TGA writers, checked by loading their files back.
#include <gtest/gtest.h>
#if defined(QUILLORY_HAVE_GIF)
#include <gif_lib.h>
#endif

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>
#if defined(QUILLORY_HAVE_JPEG)
#include <jpeglib.h>  // after <cstdio>: it needs FILE
#endif

#include "image/internal/codecs.h"
#include "image_test_support.h"
#include "quillory.h"
#include "test_support.h"

namespace {

// A 23 × 11 ARGB8888 picture with varied colours and alpha (opaque when asked).
C_Image Pattern(bool withAlpha) {
    C_Image image;
    image.CreateEmpty(23, 11, GFX_FMT_ARGB8888, GFX_FMT_NONE);
    for (std::uint32_t y = 0; y < image.height; ++y)
        for (std::uint32_t x = 0; x < image.width; ++x) {
            std::uint8_t* p = image.Row(y) + 4 * x;
            p[0] = static_cast<std::uint8_t>(x * 11);
            p[1] = static_cast<std::uint8_t>(y * 23);
            p[2] = static_cast<std::uint8_t>(200 - x * 3 - y * 5);
            p[3] = withAlpha ? static_cast<std::uint8_t>(x * 255 / 22) : 0xFF;
        }
    return image;
}

double MeanDifference(const C_Image& a, const C_Image& b) {
    double sum = 0;
    for (std::uint32_t y = 0; y < a.height; ++y)
        for (std::uint32_t i = 0; i < a.width * 4; ++i)
            if (i % 4 != 3) sum += std::abs(int(a.Row(y)[i]) - int(b.Row(y)[i]));
    return sum / (a.width * a.height * 3.0);
}

std::string Reason() { return Gfx_GetErrorReason(); }

TEST(ImageIO, SavedFilesLoadBackByContent) {
    struct Case {
        const char* name;
        std::int32_t quality;
        bool alpha;
        double tolerance;  // 0: exact
    } cases[] = {
        {"a.png", 0, true, 0},
#if defined(QUILLORY_HAVE_JPEG)
        {"c.jpg", 95, false, 6.0},
#endif
#if defined(QUILLORY_HAVE_WEBP)
        {"b.webp", GFX_QUALITY_LOSSLESS, true, 0},
        {"d.webp", 90, false, 6.0},
        {"e.webp", 90, true, 6.0},
#endif
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const C_Image original = Pattern(c.alpha);
        const std::string path = Quillory_TempPath(c.name);
        ASSERT_TRUE(Gfx_Image_SaveFile(&original, path.c_str(), c.quality)) << Reason();
        // A misleading extension changes nothing: the bytes decide.
        const std::string renamed = path + ".tga";
        ASSERT_EQ(std::rename(path.c_str(), renamed.c_str()), 0);
        C_Image argb, natural;
        ASSERT_TRUE(Gfx_Image_LoadFile(&argb, renamed.c_str(), GFX_FMT_ARGB8888)) << Reason();
        ASSERT_TRUE(Gfx_Image_LoadFile(&natural, renamed.c_str(), GFX_FMT_NONE)) << Reason();
        ASSERT_EQ(std::make_pair(argb.width, argb.height), std::make_pair(original.width, original.height));
        EXPECT_EQ(natural.format, c.alpha ? GFX_FMT_ARGB8888 : GFX_FMT_RGB888);
        // The decoder's two output paths agree, and alpha is full without alpha
        // (where widening RGB gives alpha 0).
        C_Image widened;
        ASSERT_TRUE(Gfx_Image_Clone(&natural, &widened, GFX_FMT_ARGB8888, GFX_FMT_NONE, 0));
        for (std::uint32_t i = 3; !c.alpha && i < widened.dataSize; i += 4) widened.data[i] = 0xFF;
        EXPECT_EQ(AllBytes(argb), AllBytes(widened));
        if (c.tolerance == 0)
            EXPECT_EQ(AllBytes(argb), AllBytes(original));
        else
            EXPECT_LT(MeanDifference(argb, original), c.tolerance);
    }
}

Bytes PcxBits(std::uint8_t bits) {
    Bytes header = PcxHeader(1, 2, 2, 1);
    header[3] = bits;
    return header;
}

TEST(ImageIO, DetectsTypesAndReadsHeadersByTheirBytes) {
    const std::string text = "hello, this is text\n";
    struct Case {
        Bytes bytes;
        std::int32_t type;
    } cases[] = {
        {{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}, GFX_FILE_PNG},
        {{0xFF, 0xD8, 0xFF, 0xE0}, GFX_FILE_JPEG},
        {{'G', 'I', 'F', '8', '9', 'a'}, GFX_FILE_GIF},
        {{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'E', 'B', 'P'}, GFX_FILE_WEBP},
        {Bytes(text.begin(), text.end()), GFX_FILE_UNKNOWN},
        // A plausible TGA header (grey, 8-bit, 2 × 2) and an implausible one.
        {{0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 2, 0, 8, 0x20}, GFX_FILE_TGA},
        {{0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 2, 0, 7, 0x20}, GFX_FILE_UNKNOWN},
        // PCX headers of 1 and 2 bits a pixel, and of 3.
        {PcxBits(1), GFX_FILE_PCX},
        {PcxBits(3), GFX_FILE_UNKNOWN},
    };
    for (const Case& c : cases) EXPECT_EQ(Gfx_Image_DetectType(c.bytes.data(), c.bytes.size()), c.type);

    // The reason for a file of no known type says when it is text: printable
    // bytes, tabs, line ends and bytes from 0x80 up, within the first 512.
    const std::string line = "x\tA\r\n\x80\xC3\xA9~ ";
    Bytes longText(600, 'a');
    longText[512] = 1;  // beyond what is looked at
    const std::pair<Bytes, bool> texts[] = {
        {Bytes(line.begin(), line.end()), true}, {longText, true}, {{'h', 'i', 0x7F, '\n'}, false}, {{'h', 1}, false}};
    for (const auto& [bytes, isText] : texts) {
        Gfx_ImageFileInfo info{};
        EXPECT_FALSE(Gfx_Image_ReadMemoryInfo(bytes.data(), bytes.size(), &info));
        EXPECT_EQ(Reason().find("not an image file Quillory reads"), 0u) << Reason();
        EXPECT_EQ(Reason().find("(it starts with text)") != std::string::npos, isText) << Reason();
    }
    // What the headers say, read without decoding: sizes as stated (a
    // top-down BMP's negative height too) and the variant in words.
    Bmp topDown;
    topDown.height = -2;
    topDown.pixels = Bytes(24, 0);
    const std::tuple<Bytes, std::int32_t, std::uint32_t, std::uint32_t, const char*> headers[] = {
        {topDown.Build(), GFX_FILE_BMP, 3, 2, "24-bit, uncompressed, BITMAPINFOHEADER, top-down"},
        {TgaHeader(10, 300, 7, 32), GFX_FILE_TGA, 300, 7, "32-bit"}};
    for (const auto& [bytes, type, width, height, variant] : headers) {
        Gfx_ImageFileInfo info{};
        ASSERT_TRUE(Gfx_Image_ReadMemoryInfo(bytes.data(), bytes.size(), &info)) << Reason();
        EXPECT_EQ(std::make_tuple(info.type, info.width, info.height), std::make_tuple(type, width, height));
        EXPECT_NE(std::string(info.variant).find(variant), std::string::npos) << info.variant;
    }
}

// A 2 × 1 picture of `format` holding `bytes`, with `palette` (3 bytes an
// entry) when given.
C_Image Picture(std::int32_t format, const Bytes& bytes, const Bytes& palette = {}) {
    C_Image image;
    image.CreateEmpty(2, 1, format, palette.empty() ? GFX_FMT_NONE : GFX_FMT_RGB888);
    std::memcpy(image.data, bytes.data(), image.dataSize);
    if (!palette.empty()) std::memcpy(image.m_palette, palette.data(), palette.size());
    return image;
}

// Narrow channels widen by bit replication, wide ones keep their top 8 bits,
// grey stays grey, alpha is full where the picture has none. Each picture
// travels as an image record, loaded by content in the format asked for.
TEST(ImageIO, RequestedFormatWidensAsViewersShow) {
    Bytes palette(768, 0);
    palette[3 * 9] = 1, palette[3 * 9 + 1] = 2, palette[3 * 9 + 2] = 3;
    const std::pair<C_Image, Bytes> cases[] = {
        {Picture(GFX_FMT_RGB555, LeBytes({0x4000, 0x7FFF}, 2)), {0, 0, 132, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
        {Picture(GFX_FMT_ARGB4444, LeBytes({0xA5C3, 0x0F00}, 2)), {0x33, 0xCC, 0x55, 0xAA, 0, 0, 0xFF, 0}},
        {Picture(GFX_FMT_CH16, LeBytes({0x1234, 0xFF00}, 2)), {0x12, 0x12, 0x12, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
        {Picture(GFX_FMT_INDEX8, {9, 250}), {9, 9, 9, 0xFF, 250, 250, 250, 0xFF}},  // no palette: a grey ramp
        {Picture(GFX_FMT_INDEX8, {9, 0}, palette), {1, 2, 3, 0xFF, 0, 0, 0, 0xFF}},
    };
    for (const auto& [picture, argb] : cases) {
        SCOPED_TRACE(picture.format);
        C_Image record = picture;
        const Bytes bytes = Quillory_Saved(record);
        C_Image image;
        ASSERT_TRUE(Gfx_Image_LoadMemory(&image, bytes.data(), bytes.size(), GFX_FMT_ARGB8888)) << Reason();
        EXPECT_EQ(StoredRow(image, 0, 8), argb);
        ASSERT_TRUE(Gfx_Image_LoadMemory(&image, bytes.data(), bytes.size(), GFX_FMT_NONE)) << Reason();
        EXPECT_EQ(image.format, picture.format);
    }
#if defined(QUILLORY_HAVE_WEBP)
    // WebP has no grey pictures: a grey one goes out as colour.
    C_Image image;
    const C_Image grey = Picture(GFX_FMT_CH8, {7, 200});
    const std::string webp = Quillory_TempPath("grey.webp");
    ASSERT_TRUE(Gfx_Image_SaveFile(&grey, webp.c_str(), GFX_QUALITY_LOSSLESS)) << Reason();
    ASSERT_TRUE(Gfx_Image_LoadFile(&image, webp.c_str(), GFX_FMT_ARGB8888)) << Reason();
    EXPECT_EQ(StoredRow(image, 0, 8), (Bytes{7, 7, 7, 0xFF, 200, 200, 200, 0xFF}));
#endif
}

#if defined(QUILLORY_HAVE_GIF) && defined(QUILLORY_HAVE_JPEG)
int GifSink(GifFileType* gif, const GifByteType* data, int n) {
    auto* out = static_cast<Bytes*>(gif->UserData);
    out->insert(out->end(), data, data + n);
    return n;
}

// A GIF made with giflib: one interlaced frame of `rows` at (left, top) on
// a w × h screen; colours 0 to 3 set, index 2 transparent.
Bytes MakeGif(int w, int h, int left, int top, const std::vector<std::vector<GifPixelType>>& rows) {
    Bytes out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, GifSink, &error);
    GifColorType colours[256] = {{10, 20, 30}, {200, 100, 50}, {0, 0, 0}, {1, 2, 3}};
    ColorMapObject* map = GifMakeMapObject(256, colours);
    EGifSetGifVersion(gif, true);
    EGifPutScreenDesc(gif, w, h, 8, 3, map);
    GraphicsControlBlock gcb{};
    gcb.TransparentColor = 2;
    GifByteType ext[4];
    const size_t n = EGifGCBToExtension(&gcb, ext);
    EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(n), ext);
    const int frameW = static_cast<int>(rows[0].size()), frameH = static_cast<int>(rows.size());
    EGifPutImageDesc(gif, left, top, frameW, frameH, true, nullptr);
    // The passes: every 8th row from 0, every 8th from 4, every 4th from 2,
    // every 2nd from 1.
    for (const auto& pass : {std::pair{0, 8}, std::pair{4, 8}, std::pair{2, 4}, std::pair{1, 2}})
        for (int y = pass.first; y < frameH; y += pass.second) {
            std::vector<GifPixelType> row = rows[static_cast<std::size_t>(y)];
            EGifPutLine(gif, row.data(), frameW);
        }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    return out;
}

Bytes MakeGif() { return MakeGif(5, 4, 1, 1, {{0, 1, 2}, {1, 0, 3}}); }

TEST(ImageIO, GifFirstFrameOnItsScreenInterlacedRowsInOrder) {
    const Bytes gif = MakeGif();
    C_Image image;
    ASSERT_TRUE(Gfx_Image_LoadMemory(&image, gif.data(), gif.size(), GFX_FMT_NONE)) << Reason();
    EXPECT_EQ(image.format, GFX_FMT_INDEX8);
    ASSERT_TRUE(Gfx_Image_LoadMemory(&image, gif.data(), gif.size(), GFX_FMT_ARGB8888)) << Reason();
    ASSERT_EQ(image.width, 5u);
    ASSERT_EQ(image.height, 4u);
    auto px = [&](std::uint32_t x, std::uint32_t y) { return Bytes(image.Row(y) + 4 * x, image.Row(y) + 4 * x + 4); };
    EXPECT_EQ(px(0, 0), (Bytes{0, 0, 0, 0}));  // outside the frame: transparent
    EXPECT_EQ(px(1, 1), (Bytes{30, 20, 10, 0xFF}));
    EXPECT_EQ(px(2, 1), (Bytes{50, 100, 200, 0xFF}));
    EXPECT_EQ(px(3, 1), (Bytes{0, 0, 0, 0}));
    EXPECT_EQ(px(3, 2), (Bytes{3, 2, 1, 0xFF}));
    // An interlaced frame taller than the first pass's step: row y holds index y.
    std::vector<std::vector<GifPixelType>> rows;
    for (int y = 0; y < 21; ++y) rows.push_back({static_cast<GifPixelType>(y), static_cast<GifPixelType>(y)});
    const Bytes tall = MakeGif(2, 21, 0, 0, rows);
    ASSERT_TRUE(Gfx_Image_LoadMemory(&image, tall.data(), tall.size(), GFX_FMT_NONE)) << Reason();
    ASSERT_EQ(image.height, 21u);
    for (std::uint32_t y = 0; y < 21; ++y) EXPECT_EQ(image.Row(y)[1], y);
}

#if defined(QUILLORY_HAVE_JPEG)
// A 16 x 8 CMYK JPEG made with libjpeg: no ink on the left, full yellow on
// the right. Most programs store inks as ink; Adobe's marker means the
// samples are inverted. Either way the picture reads as white and yellow.
Bytes CmykJpeg(bool adobe) {
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &out, &size);
    c.image_width = 16;
    c.image_height = 8;
    c.input_components = 4;
    c.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 100, TRUE);
    c.write_Adobe_marker = adobe ? TRUE : FALSE;
    jpeg_start_compress(&c, TRUE);
    const std::uint8_t none = adobe ? 255 : 0, full = adobe ? 0 : 255;
    Bytes row;
    for (int x = 0; x < 16; ++x) Append(row, {none, none, x < 8 ? none : full, none});
    for (JSAMPROW r = row.data(); c.next_scanline < c.image_height;) jpeg_write_scanlines(&c, &r, 1);
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    Bytes file(out, out + size);
    std::free(out);
    return file;
}

TEST(ImageIO, CmykJpegInksBecomeColours) {
    for (const bool adobe : {false, true}) {
        const Bytes file = CmykJpeg(adobe);
        C_Image image;
        ASSERT_TRUE(Gfx_Image_LoadMemory(&image, file.data(), file.size(), GFX_FMT_ARGB8888)) << Reason();
        const Bytes row = StoredRow(image, 4, 16 * 4);
        const Bytes white{255, 255, 255, 255}, yellow{0, 255, 255, 255};
        for (std::size_t x : {0, 3, 12, 15})
            for (std::size_t i = 0; i < 4; ++i)
                EXPECT_NEAR(row[4 * x + i], (x < 8 ? white : yellow)[i], 2) << adobe << " " << x;
    }
}
#endif

TEST(ImageIO, RefusalsNameTheFileAndTheProblem) {
    const std::string dir = QUILLORY_TEST_TMP_DIR;
    const std::string notes = Quillory_TempPath("notes.txt");
    WriteFile(notes, Bytes{'h', 'i', '\n'});
    const std::string empty = Quillory_TempPath("empty.png");
    WriteFile(empty, Bytes{});
    // A JPEG whose header ends after the start marker.
    const std::string cut = Quillory_TempPath("cut.jpg");
    WriteFile(cut, Bytes{0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F'});
    // A GIF whose screen claims 65535 × 65535 pixels in a few bytes.
    Bytes bomb = MakeGif();
    bomb[6] = bomb[7] = bomb[8] = bomb[9] = 0xFF;
    const std::string huge = Quillory_TempPath("bomb.gif");
    WriteFile(huge, bomb);
    Bytes flat = MakeGif();
    flat[6 + 7 + 768 + 8 + 5] = 0;  // the frame's width, after the screen, its colours and the control block
    const std::string flatGif = Quillory_TempPath("flat.gif");
    WriteFile(flatGif, flat);
    const std::pair<std::string, std::string> cases[] = {
        {notes, notes + ": not an image file Quillory reads (it starts with text)"},
        {empty, empty + ": the file is empty"},
        {dir, dir + ": is a directory, not an image file"},
        {cut, cut + ": damaged or unsupported JPEG"},
        {huge, huge + ": the GIF claims 65535 x 65535 pixels"},
        {flatGif, flatGif + ": the GIF's first frame has no size"},
        {Quillory_TempPath("missing.bmp"), Quillory_TempPath("missing.bmp") + ": cannot be opened"},
    };
    for (const auto& [path, reason] : cases) {
        C_Image image = Pattern(false);
        EXPECT_FALSE(Gfx_Image_LoadFile(&image, path.c_str(), GFX_FMT_ARGB8888));
        EXPECT_EQ(Reason().substr(0, reason.size()), reason);
        ExpectEmptied(image);
    }
    const C_Image picture = Pattern(false);
    EXPECT_FALSE(Gfx_Image_SaveFile(&picture, Quillory_TempPath("x.xyz").c_str(), 0));
    EXPECT_NE(Reason().find("x.xyz: cannot tell which file type"), std::string::npos);
    C_Image unknown = Pattern(false);
    unknown.format = 99;  // a picture whose pixels cannot be read
    EXPECT_FALSE(Gfx_Image_SaveFile(&unknown, Quillory_TempPath("x.jpg").c_str(), 90));
    unknown.format = GFX_FMT_ARGB8888;
    EXPECT_NE(Reason().find("no pixels in a readable format"), std::string::npos) << Reason();
}

#endif

// ------------------------------------------------------------ writers

using Loader = bool (C_Image::*)(const char*);
using Saver = bool (*)(const C_Image*, const char*);

// A w × h picture whose bytes all differ, with some runs for the encoder.
void Fill(C_Image& image, std::uint32_t w, std::uint32_t h, std::int32_t format, std::int32_t palFormat) {
    ASSERT_TRUE(image.CreateEmpty(w, h, format, palFormat));
    for (std::uint32_t i = 0; i < image.dataSize; ++i) image.data[i] = static_cast<std::uint8_t>(i < 8 ? 7 : i * 37);
    for (std::uint32_t i = 0; i < image.paletteSize; ++i) image.m_palette[i] = static_cast<std::uint8_t>(i * 11);
}

// Each writer with the formats it stores and what its reader gives back.
const std::tuple<Saver, std::int32_t, std::int32_t, std::int32_t> kRoundTrips[] = {
    {Gfx_Image_SaveBMP, GFX_FMT_RGB888, -1, GFX_FMT_RGB888},
    {Gfx_Image_SaveBMP, GFX_FMT_INDEX8, GFX_FMT_RGB888, GFX_FMT_INDEX8},
    {Gfx_Image_SaveBMP, GFX_FMT_ARGB8888, -1, GFX_FMT_ARGB8888},
    {Gfx_Image_SaveTGA, GFX_FMT_RGB888, -1, GFX_FMT_RGB888},
    {Gfx_Image_SaveTGA, GFX_FMT_ARGB8888, -1, GFX_FMT_RGBA8888},
    {Gfx_Image_SaveTGA, GFX_FMT_CH8, -1, GFX_FMT_CH8},
};

// Every file loads back as the picture saved; the files' bytes together
// match a golden hash, so nothing beyond the picture goes into them either.
TEST(Writers, RoundTripThroughTheReadersPackedIndicesOnePerByte) {
    Bytes all;
    for (const auto& [save, format, palFormat, loadedFormat] : kRoundTrips) {
        SCOPED_TRACE(format);
        Loader load = &C_Image::LoadTGA;
        if (save == Gfx_Image_SaveBMP) load = &C_Image::LoadBMP;
        for (const std::uint32_t w : {1u, 5u, 130u}) {
            C_Image image;
            Fill(image, w, 3, format, palFormat);
            const std::string path = Quillory_TempPath("written");
            ASSERT_TRUE(save(&image, path.c_str())) << Gfx_GetErrorReason();
            const Bytes file = ReadFile(path);
            Append(all, file);
            C_Image back;
            ASSERT_TRUE((back.*load)(path.c_str())) << Gfx_GetErrorReason();
            ASSERT_EQ(back.format, loadedFormat);
            ASSERT_EQ(back.width, w);
            ASSERT_EQ(back.height, 3u);
            // 8-bit channels convert exactly between the byte orders.
            ASSERT_TRUE(Gfx_Image_ChangeFormat(&back, format, GFX_FMT_SAME, 0));
            EXPECT_EQ(AllBytes(back), AllBytes(image));
            if (image.m_palette) {
                EXPECT_EQ(Bytes(back.m_palette, back.m_palette + 768), Bytes(image.m_palette, image.m_palette + 768));
            }
        }
    }
    EXPECT_EQ(Fnv1a(all), 0x54dacfd891b84df9ull) << std::hex << Fnv1a(all);
    // Packed 1-, 2- and 4-bit indices (most significant bits first) are
    // written one index per byte.
    for (const std::int32_t format : {GFX_FMT_INDEX1, GFX_FMT_INDEX2, GFX_FMT_INDEX4}) {
        C_Image image;
        Fill(image, 13, 3, format, GFX_FMT_RGB888);
        const std::uint32_t bits = format == GFX_FMT_INDEX1 ? 1 : format == GFX_FMT_INDEX2 ? 2 : 4;
        const std::string path = Quillory_TempPath("packed.bmp");
        ASSERT_TRUE(Gfx_Image_SaveBMP(&image, path.c_str())) << Gfx_GetErrorReason();
        C_Image back;
        ASSERT_TRUE(back.LoadBMP(path.c_str())) << Gfx_GetErrorReason();
        ASSERT_EQ(back.format, GFX_FMT_INDEX8);
        for (std::uint32_t y = 0; y < 3; ++y)
            for (std::uint32_t x = 0; x < 13; ++x) {
                const std::uint32_t bit = x * bits;
                const std::uint32_t index = image.Row(y)[bit / 8] >> (8 - bits - bit % 8) & ((1u << bits) - 1);
                ASSERT_EQ(back.Row(y)[x], index) << bits << " bits at " << x << "," << y;
            }
    }
}

// Each writer refuses, leaving the file already there alone: an image
// without pixels, a format it cannot store, indices without a palette, and
// a path that cannot be created.
TEST(Writers, RefusalsNameTheProblem) {
    const std::string path = Quillory_TempPath("refused.bmp");
    WriteFile(path, {1, 2, 3});
    for (const Saver save : {Gfx_Image_SaveBMP, Gfx_Image_SaveTGA, Gfx_Image_SavePNG}) {
        C_Image empty, floats, noPalette, fine;
        ASSERT_TRUE(floats.CreateEmpty(2, 2, GFX_FMT_CH32F, -1));
        ASSERT_TRUE(noPalette.CreateEmpty(2, 2, GFX_FMT_INDEX8, -1));
        Fill(fine, 2, 2, GFX_FMT_RGB888, -1);
        const std::pair<const C_Image*, std::int32_t> cases[] = {
            {&empty, GFX_ERR_NULL_ARG}, {&floats, GFX_ERR_FORMAT}, {&noPalette, GFX_ERR_PALETTE_FORMAT}};
        for (const auto& [image, code] : cases) {
            EXPECT_FALSE(save(image, path.c_str()));
            EXPECT_EQ(Gfx_GetErrorDetailCode(), code);
            EXPECT_EQ(ReadFile(path), Bytes({1, 2, 3}));
        }
        EXPECT_FALSE(save(&fine, Quillory_TempPath("no-such-dir/x.bmp").c_str()));
        EXPECT_EQ(Gfx_GetErrorDetailCode(), GFX_ERR_OPEN_WRITE);
    }
}

// Whether a picture shows alpha decides whether the one-call writers keep
// it: an alpha channel (wherever it lies) or a palette with alpha shows only
// where a pixel is not opaque.
TEST(Writers, VisibleAlphaIsAnyPixelNotOpaque) {
    const Bytes alphaPalette = {1, 2, 3, 0xFF, 4, 5, 6, 0};  // entry 1 clear
    const struct {
        const char* name;
        std::int32_t format, palFormat;
        Bytes pixels, palette;
        bool visible;
    } cases[] = {
        {"ARGB, one translucent", GFX_FMT_ARGB8888, -1, {1, 2, 3, 0xFF, 4, 5, 6, 0xFE}, {}, true},
        {"RGBA, opaque", GFX_FMT_RGBA8888, -1, {0xFF, 1, 2, 3, 0xFF, 4, 5, 6}, {}, false},
        {"RGBA, one clear", GFX_FMT_RGBA8888, -1, {0xFF, 1, 2, 3, 0, 4, 5, 6}, {}, true},
        {"4-4-4-4, one translucent", GFX_FMT_ARGB4444, -1, LeBytes({0xF123, 0xE456}, 2), {}, true},
        {"no alpha channel", GFX_FMT_RGB565, -1, {0, 0, 0, 0}, {}, false},
        {"palette with alpha, opaque entries used", GFX_FMT_INDEX8, GFX_FMT_ARGB8888, {0, 0}, alphaPalette, false},
        {"palette with alpha, a clear entry used", GFX_FMT_INDEX8, GFX_FMT_ARGB8888, {0, 1}, alphaPalette, true},
        {"palette without alpha", GFX_FMT_INDEX8, GFX_FMT_RGB888, {0, 1}, {1, 2, 3, 4, 5, 6}, false},
    };
    for (const auto& c : cases) {
        C_Image image;
        ASSERT_TRUE(image.CreateEmpty(2, 1, c.format, c.palFormat));
        std::memcpy(image.data, c.pixels.data(), c.pixels.size());
        if (!c.palette.empty()) std::memcpy(image.m_palette, c.palette.data(), c.palette.size());
        EXPECT_EQ(Gfx_Image_HasVisibleAlpha(image), c.visible) << c.name;
    }
}

}  // namespace
