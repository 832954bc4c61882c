// The font and demo-assets subcommands, run as the built program.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "quillory.h"
#include "tool_test_support.h"

namespace {

const std::string kSerif = "/usr/share/fonts/truetype/liberation2/LiberationSerif-";

std::string FreshDir(const std::string& name) {
    const std::string dir = Quillory_TempPath(name);
    mkdir(dir.c_str(), 0755);
    return dir;
}

C_BitmapGlyph* FindVariant(const C_BitmapFace& face, std::uint16_t size, std::uint8_t kind, std::uint8_t style) {
    for (std::uint32_t i = 0; i < face.GlyphCount(); ++i) {
        C_BitmapGlyph* g = face.GetGlyph(i);
        if (g && g->size == size && g->format == kind && g->style == style) return g;
    }
    return nullptr;
}

TEST(ToolFont, RendersTheChosenSizesKindsStylesAndCharacters) {
    const std::string out = Quillory_TempPath("two.uft");
    const ToolResult r = RunTool({"font", kSerif + "Regular.ttf," + kSerif + "Bold.ttf", out, "--sizes", "12,20,12",
                                  "--kinds", "gray", "--styles", "regular,bold", "--chars", "0x41-0x43,97"});
    ASSERT_EQ(r.code, 0) << r.err;
    C_Font font;
    ASSERT_TRUE(font.LoadFromFile(out.c_str(), 0));
    EXPECT_STREQ(font.name.CStr(), "LiberationSerif-Regular");
    EXPECT_EQ(font.FaceCount(), 4u);  // A, B, C and a
    const C_BitmapFace* a = font.GetFace('a');
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->GlyphCount(), 4u);  // two sizes (12 listed once) in two styles
    const C_BitmapGlyph* bold20 = FindVariant(*a, 20, GFX_GLYPH_GRAY, GFX_STYLE_BOLD);
    ASSERT_NE(bold20, nullptr);
    EXPECT_GT(bold20->advance.x, 5);
    EXPECT_EQ(FindVariant(*a, 12, GFX_GLYPH_MONO, GFX_STYLE_REGULAR), nullptr);
    EXPECT_EQ(font.GetFace('D'), nullptr);
}

// The demo's files, made in a folder of this test's own.
class DemoAssets : public ::testing::Test {
protected:
    std::string dir;

    void SetUp() override {
        dir = FreshDir("assets");
        const ToolResult r = RunTool({"demo-assets", dir});
        ASSERT_EQ(r.code, 0) << r.err;
    }
    std::string File(const char* name) const { return dir + "/" + name; }
};

// The same files on every run; a sheet of nine keyed tiles with a soft alpha
// plane; a background that tiles seamlessly across; the caption's font and
// the text file.
TEST_F(DemoAssets, AreRepeatableAndFitForTheDemo) {
    {
        const std::string again = FreshDir("again");
        ASSERT_EQ(RunTool({"demo-assets", again}).code, 0);
        for (const char* name : {"times.uft", "picture1.img", "picture2.img", "picture3.img", "prova.txt"}) {
            const std::string bytes = Quillory_ReadFile(File(name));
            EXPECT_GT(bytes.size(), 100u) << name;
            EXPECT_TRUE(bytes == Quillory_ReadFile(again + "/" + name)) << name;
        }
    }
    {
        C_Image color;
        C_Image alpha;
        ASSERT_TRUE(color.LoadFromFile(File("picture1.img").c_str(), 0));
        ASSERT_TRUE(alpha.LoadFromFile(File("picture3.img").c_str(), 0));
        ASSERT_EQ(alpha.format, GFX_FMT_CH8);
        ASSERT_TRUE(Gfx_Image_ChangeFormat(&color, GFX_FMT_ARGB8888, GFX_FMT_SAME, 0));
        ASSERT_EQ(color.width, alpha.width);
        ASSERT_EQ(color.height, alpha.height);
        ASSERT_EQ(color.width % 3, 0u);
        const std::uint32_t tile = color.width / 3;
        const auto a = [&](std::int64_t x, std::int64_t y) {
            if (x < 0 || y < 0 || x >= color.width || y >= color.height) return 0;
            return static_cast<int>(alpha.Row(static_cast<std::uint32_t>(y))[x]);
        };
        for (std::uint32_t k = 0; k < 9; ++k) {
            const std::uint32_t x0 = k % 3 * tile;
            const std::uint32_t y0 = k / 3 * tile;
            int solid = 0;
            int soft = 0;
            for (std::uint32_t y = y0; y < y0 + tile; ++y)
                for (std::uint32_t x = x0; x < x0 + tile; ++x) {
                    const int v = a(x, y);
                    solid += v == 255;
                    soft += v > 0 && v < 255;
                    // A clear margin, so interpolation never reaches a neighbour.
                    if (x - x0 < 2 || y - y0 < 2 || x0 + tile - x <= 2 || y0 + tile - y <= 2) {
                        ASSERT_EQ(v, 0);
                    }
                }
            EXPECT_GT(solid + soft, static_cast<int>(tile * tile / 6)) << "tile " << k;
            EXPECT_GT(soft, static_cast<int>(tile)) << "tile " << k;
        }
        // Black wherever no drawn pixel is near; coloured wherever one is drawn.
        for (std::uint32_t y = 0; y < color.height; ++y)
            for (std::uint32_t x = 0; x < color.width; ++x) {
                const std::uint8_t* p = color.Row(y) + x * 4;
                const bool black = p[0] == 0 && p[1] == 0 && p[2] == 0;
                int near = 0;
                for (int dy = -2; dy <= 2; ++dy)
                    for (int dx = -2; dx <= 2; ++dx) near += a(std::int64_t{x} + dx, std::int64_t{y} + dy) > 0;
                if (near == 0) {
                    ASSERT_TRUE(black) << x << "," << y;
                }
                if (a(x, y) > 0) {
                    ASSERT_FALSE(black) << x << "," << y;
                }
            }
    }
    {
        C_Image picture;
        ASSERT_TRUE(picture.LoadFromFile(File("picture2.img").c_str(), 0));
        ASSERT_TRUE(Gfx_Image_ChangeFormat(&picture, GFX_FMT_ARGB8888, GFX_FMT_SAME, 0));
        ASSERT_GE(picture.width, 800u);
        ASSERT_EQ(picture.height, 600u);
        const auto columnStep = [&](std::uint32_t from, std::uint32_t to) {
            double sum = 0.0;
            for (std::uint32_t y = 0; y < picture.height; ++y)
                for (int c = 0; c < 3; ++c) sum += std::abs(picture.Row(y)[from * 4 + c] - picture.Row(y)[to * 4 + c]);
            return sum / picture.height;
        };
        double typical = 0.0;
        for (std::uint32_t x = 1; x < picture.width; ++x) typical += columnStep(x - 1, x);
        typical /= picture.width - 1;
        // The wrap from the last column to the first is an ordinary step.
        EXPECT_LT(columnStep(picture.width - 1, 0), 2.0 * typical);
        EXPECT_GT(columnStep(0, picture.width / 2), 4.0 * typical);  // and the picture is no flat fill
    }
    C_Font font;
    ASSERT_TRUE(font.LoadFromFile(File("times.uft").c_str(), 0));
    EXPECT_EQ(font.FaceCount(), 95u);
    for (int code = 32; code <= 126; ++code) {
        const C_BitmapFace* face = font.GetFace(code);
        ASSERT_NE(face, nullptr) << code;
        EXPECT_EQ(face->GlyphCount(), 80u);  // 10 sizes, 2 kinds, 4 styles
        ASSERT_NE(FindVariant(*face, 13, GFX_GLYPH_MONO, GFX_STYLE_BOLD), nullptr);
    }
    for (std::uint8_t style = GFX_STYLE_REGULAR; style <= GFX_STYLE_BOLD_ITALIC; ++style)
        for (std::uint16_t size : {10, 32})
            EXPECT_NE(FindVariant(*font.GetFace('W'), size, GFX_GLYPH_GRAY, style), nullptr);
    C_String text;
    ASSERT_TRUE(text.Load_TXT_FromFile(File("prova.txt").c_str()));
    EXPECT_GT(text.Length(), 20u);
}

}  // namespace
