// The one-call loader and saver: detection by content, round trips through
// every writer, the format asked for, and the reasons of refusals.
#include <gtest/gtest.h>
#if defined(QUILLORY_HAVE_GIF)
#include <gif_lib.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <string>
#include <tuple>
#include <vector>

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

void WriteBytes(const std::string& path, const Bytes& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
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
        ASSERT_EQ(argb.width, original.width);
        ASSERT_EQ(argb.height, original.height);
        EXPECT_EQ(natural.format, c.alpha ? GFX_FMT_ARGB8888 : GFX_FMT_RGB888);
        // The decoder's two output paths agree, and alpha is full without alpha.
        C_Image widened;
        Gfx_Image_Clone(&natural, &widened, GFX_FMT_ARGB8888, GFX_FMT_NONE, 0);
        for (std::uint32_t y = 0; y < argb.height; ++y)
            for (std::uint32_t x = 0; x < argb.width; ++x) {
                for (int k = 0; k < 3; ++k) ASSERT_EQ(argb.Row(y)[4 * x + k], widened.Row(y)[4 * x + k]);
                if (!c.alpha) {
                    ASSERT_EQ(argb.Row(y)[4 * x + 3], 0xFF);
                }
            }
        if (c.tolerance == 0)
            EXPECT_EQ(AllBytes(argb), AllBytes(original));
        else
            EXPECT_LT(MeanDifference(argb, original), c.tolerance);
        if (c.alpha && c.tolerance != 0) {
            for (std::uint32_t x = 0; x < argb.width; ++x)
                EXPECT_NEAR(argb.Row(5)[4 * x + 3], original.Row(5)[4 * x + 3], 2);
        }
    }
}

TEST(ImageIO, DetectsTypesByTheirBytes) {
    const std::string text = "hello, this is text\n";
    struct Case {
        Bytes bytes;
        std::int32_t type;
    } cases[] = {
        {{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}, GFX_FILE_PNG},
        {{0xFF, 0xD8, 0xFF, 0xE0}, GFX_FILE_JPEG},
        {{'G', 'I', 'F', '8', '9', 'a'}, GFX_FILE_GIF},
        {{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'E', 'B', 'P'}, GFX_FILE_WEBP},
        {{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'}, GFX_FILE_UNKNOWN},
        {Bytes(text.begin(), text.end()), GFX_FILE_UNKNOWN},
        // A plausible TGA header (grey, 8-bit, 2 × 2) and an implausible one.
        {{0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 2, 0, 8, 0x20}, GFX_FILE_TGA},
        {{0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 2, 0, 7, 0x20}, GFX_FILE_UNKNOWN},
    };
    for (const Case& c : cases) EXPECT_EQ(Gfx_Image_DetectType(c.bytes.data(), c.bytes.size()), c.type);
}

// What the headers say, read without decoding: sizes as stated (a top-down
// BMP's negative height too) and the variant in words.
TEST(ImageIO, HeaderInfo) {
    Bmp topDown;
    topDown.height = -2;
    topDown.pixels = Bytes(24, 0);
    struct Case {
        Bytes bytes;
        std::int32_t type;
        std::uint32_t width, height;
        const char* variant;
    } cases[] = {
        {topDown.Build(), GFX_FILE_BMP, 3, 2, "24-bit, uncompressed, BITMAPINFOHEADER, top-down"},
        {TgaHeader(10, 300, 7, 32), GFX_FILE_TGA, 300, 7, "32-bit"},
    };
    for (const Case& c : cases) {
        Gfx_ImageFileInfo info{};
        ASSERT_TRUE(Gfx_Image_ReadMemoryInfo(c.bytes.data(), c.bytes.size(), &info)) << Reason();
        EXPECT_EQ(std::make_tuple(info.type, info.width, info.height), std::make_tuple(c.type, c.width, c.height));
        EXPECT_NE(std::string(info.variant).find(c.variant), std::string::npos) << info.variant;
    }
}

// Narrow channels widen by bit replication, grey stays grey, alpha is full
// where the file has none.
TEST(ImageIO, RequestedFormatWidensAsViewersShow) {
    // A 2 × 1 uncompressed 16-bit TGA, top-left origin: red 16 (5 bits), then white.
    const Bytes tga = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 1, 0, 16, 0x20, 0x00, 0x40, 0xFF, 0x7F};
    C_Image image;
    ASSERT_TRUE(Gfx_Image_LoadMemory(&image, tga.data(), tga.size(), GFX_FMT_ARGB8888)) << Reason();
    EXPECT_EQ(StoredRow(image, 0, 8), (Bytes{0, 0, 132, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));

    C_Image grey;
    grey.CreateEmpty(2, 1, GFX_FMT_CH8, GFX_FMT_NONE);
    grey.data[0] = 7;
    grey.data[1] = 200;
    const std::string path = Quillory_TempPath("grey.img");
    ASSERT_TRUE(grey.SaveToFile(path.c_str(), 0));
    ASSERT_TRUE(Gfx_Image_LoadFile(&image, path.c_str(), GFX_FMT_ARGB8888)) << Reason();
    EXPECT_EQ(StoredRow(image, 0, 8), (Bytes{7, 7, 7, 0xFF, 200, 200, 200, 0xFF}));
    ASSERT_TRUE(Gfx_Image_LoadFile(&image, path.c_str(), GFX_FMT_NONE));
    EXPECT_EQ(image.format, GFX_FMT_CH8);
    // Indices without a palette read as a grey ramp.
    C_Image indices;
    indices.CreateEmpty(2, 1, GFX_FMT_INDEX8, GFX_FMT_NONE);
    indices.data[0] = 9;
    indices.data[1] = 250;
    ASSERT_TRUE(indices.SaveToFile(path.c_str(), 0));
    ASSERT_TRUE(Gfx_Image_LoadFile(&image, path.c_str(), GFX_FMT_ARGB8888)) << Reason();
    EXPECT_EQ(StoredRow(image, 0, 8), (Bytes{9, 9, 9, 0xFF, 250, 250, 250, 0xFF}));
    // Saved as PNG they become that grey too.
    const std::string png = Quillory_TempPath("indices.png");
    ASSERT_TRUE(Gfx_Image_SaveFile(&indices, png.c_str(), 0)) << Reason();
    ASSERT_TRUE(Gfx_Image_LoadFile(&image, png.c_str(), GFX_FMT_ARGB8888)) << Reason();
    EXPECT_EQ(StoredRow(image, 0, 8), (Bytes{9, 9, 9, 0xFF, 250, 250, 250, 0xFF}));
}

#if defined(QUILLORY_HAVE_GIF) && defined(QUILLORY_HAVE_JPEG)
int GifSink(GifFileType* gif, const GifByteType* data, int n) {
    auto* out = static_cast<Bytes*>(gif->UserData);
    out->insert(out->end(), data, data + n);
    return n;
}

// A GIF made with giflib: a 3 × 2 interlaced frame at (1, 1) on a 5 × 4
// screen, index 2 transparent.

Bytes MakeGif() {
    Bytes out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, GifSink, &error);
    GifColorType colours[4] = {{10, 20, 30}, {200, 100, 50}, {0, 0, 0}, {1, 2, 3}};
    ColorMapObject* map = GifMakeMapObject(4, colours);
    EGifSetGifVersion(gif, true);
    EGifPutScreenDesc(gif, 5, 4, 2, 3, map);
    GraphicsControlBlock gcb{};
    gcb.TransparentColor = 2;
    GifByteType ext[4];
    const size_t n = EGifGCBToExtension(&gcb, ext);
    EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(n), ext);
    EGifPutImageDesc(gif, 1, 1, 3, 2, true, nullptr);
    GifPixelType rows[2][3] = {{0, 1, 2}, {1, 0, 3}};
    EGifPutLine(gif, rows[0], 3);  // interlaced: row 0 comes first, row 1 last
    EGifPutLine(gif, rows[1], 3);
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    return out;
}

TEST(ImageIO, GifFirstFrameOnItsScreen) {
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
}

// An interlaced frame taller than the first pass's step: row y holds index y.
TEST(ImageIO, GifInterlacedRowsLandInOrder) {
    Bytes out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, GifSink, &error);
    GifColorType colours[256] = {};
    ColorMapObject* map = GifMakeMapObject(256, colours);
    EGifSetGifVersion(gif, true);
    EGifPutScreenDesc(gif, 2, 21, 8, 0, map);
    EGifPutImageDesc(gif, 0, 0, 2, 21, true, nullptr);
    // The passes: every 8th row from 0, every 8th from 4, every 4th from 2,
    // every 2nd from 1.
    for (const auto& pass : {std::pair{0, 8}, std::pair{4, 8}, std::pair{2, 4}, std::pair{1, 2}})
        for (int y = pass.first; y < 21; y += pass.second) {
            GifPixelType row[2] = {static_cast<GifPixelType>(y), static_cast<GifPixelType>(y)};
            EGifPutLine(gif, row, 2);
        }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    C_Image image;
    ASSERT_TRUE(Gfx_Image_LoadMemory(&image, out.data(), out.size(), GFX_FMT_NONE)) << Reason();
    ASSERT_EQ(image.height, 21u);
    for (std::uint32_t y = 0; y < 21; ++y) EXPECT_EQ(image.Row(y)[1], y);
}

TEST(ImageIO, RefusalsNameTheFileAndTheProblem) {
    const std::string dir = QUILLORY_TEST_TMP_DIR;
    const std::string notes = Quillory_TempPath("notes.txt");
    WriteBytes(notes, Bytes{'h', 'i', '\n'});
    const std::string empty = Quillory_TempPath("empty.png");
    WriteBytes(empty, Bytes{});
    // A JPEG whose header ends after the start marker.
    const std::string cut = Quillory_TempPath("cut.jpg");
    WriteBytes(cut, Bytes{0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F'});
    // A GIF whose screen claims 65535 × 65535 pixels in a few bytes.
    Bytes bomb = MakeGif();
    bomb[6] = bomb[7] = bomb[8] = bomb[9] = 0xFF;
    const std::string huge = Quillory_TempPath("bomb.gif");
    WriteBytes(huge, bomb);
    struct Case {
        std::string path;
        std::string reason;
    } cases[] = {
        {notes, notes + ": not an image file Quillory reads (it starts with text)"},
        {empty, empty + ": the file is empty"},
        {dir, dir + ": is a directory, not an image file"},
        {cut, cut + ": damaged or unsupported JPEG"},
        {huge, huge + ": the GIF claims 65535 x 65535 pixels"},
        {Quillory_TempPath("missing.bmp"), Quillory_TempPath("missing.bmp") + ": cannot be opened"},
    };
    for (const Case& c : cases) {
        C_Image image = Pattern(false);
        EXPECT_FALSE(Gfx_Image_LoadFile(&image, c.path.c_str(), GFX_FMT_ARGB8888));
        EXPECT_EQ(Reason().substr(0, c.reason.size()), c.reason);
        EXPECT_TRUE(image.data == nullptr && image.m_palette == nullptr && image.format == GFX_FMT_NONE);
    }
    const C_Image picture = Pattern(false);
    EXPECT_FALSE(Gfx_Image_SaveFile(&picture, Quillory_TempPath("x.xyz").c_str(), 0));
    EXPECT_NE(Reason().find("x.xyz: cannot tell which file type"), std::string::npos);
}

#endif

}  // namespace
