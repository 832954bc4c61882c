// The font, render-text and demo-assets commands, run as the built program.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "quillory.h"
#include "tool_test_support.h"

namespace {

const std::string kSans = "/usr/share/fonts/truetype/liberation2/LiberationSans-";
const std::string kSerif = "/usr/share/fonts/truetype/liberation2/LiberationSerif-";

// A font of the printable ASCII characters and the Cyrillic letters,
// anti-aliased, at size 16, in the regular style only (bold text then has to
// be emboldened).
std::string SansFont() {
    C_Font font;
    font.name = "Sans";
    EXPECT_TRUE(font.AddFaces(32, 127));
    EXPECT_TRUE(font.AddFaces(0x410, 0x450));  // Cyrillic capitals and small letters
    EXPECT_TRUE(Gfx_Font_ImportTrueType(C_String((kSans + "Regular.ttf").c_str()),
                                        C_BitmapGlyph(16, GFX_GLYPH_GRAY, GFX_STYLE_REGULAR), &font));
    const std::string path = Quillory_TempPath("sans.uft");
    EXPECT_TRUE(font.SaveToFile(path.c_str(), 0));
    return path;
}

// A rendered picture, read back as ARGB8888 (memory bytes B, G, R, A).
struct Picture {
    C_Image image;
    std::uint32_t Alpha(std::uint32_t x, std::uint32_t y) const { return image.Row(y)[x * 4 + 3]; }
    std::uint32_t Rgb(std::uint32_t x, std::uint32_t y) const {
        const std::uint8_t* p = image.Row(y) + x * 4;
        return std::uint32_t{p[2]} << 16 | std::uint32_t{p[1]} << 8 | p[0];
    }
    // Leftmost and rightmost column with any coverage in rows y0..y1-1; -1, -1 when none.
    std::pair<int, int> InkColumns(std::uint32_t y0, std::uint32_t y1) const {
        int lo = -1;
        int hi = -1;
        for (std::uint32_t y = y0; y < y1 && y < image.height; ++y)
            for (std::uint32_t x = 0; x < image.width; ++x)
                if (Alpha(x, y) != 0) {
                    if (lo < 0 || static_cast<int>(x) < lo) lo = static_cast<int>(x);
                    hi = std::max(hi, static_cast<int>(x));
                }
        return {lo, hi};
    }
};

Picture Render(const std::vector<std::string>& args, const std::string& out) {
    std::vector<std::string> all = {"render-text"};
    all.insert(all.end(), args.begin(), args.end());
    all.push_back(out);
    const ToolResult r = RunTool(all);
    Picture p;
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(Gfx_Image_LoadPNG(&p.image, out.c_str()));
    EXPECT_EQ(p.image.format, GFX_FMT_ARGB8888);
    return p;
}

TEST(ToolRenderText, DrawsOnlyTheTextColourInAPictureOfTheText) {
    const std::string font = SansFont();
    const Picture small = Render({font, "Hello", "--color", "#CC3300"}, Quillory_TempPath("a.png"));
    std::size_t inked = 0;
    std::size_t solid = 0;
    for (std::uint32_t y = 0; y < small.image.height; ++y)
        for (std::uint32_t x = 0; x < small.image.width; ++x) {
            if (small.Alpha(x, y) == 0) continue;
            ++inked;
            solid += small.Alpha(x, y) == 255;
            ASSERT_EQ(small.Rgb(x, y), 0xCC3300u) << x << "," << y;
        }
    EXPECT_GT(solid, 20u);
    EXPECT_GT(inked, solid);  // anti-aliased edges
    // The picture is the text: ink touches the left edge, one line of
    // 16 / 2 + 16 + 1 pixels high.
    EXPECT_EQ(small.InkColumns(0, small.image.height).first, 0);
    EXPECT_EQ(small.image.height, 25u);

    // Padding frames the same picture; "r,g,b" names the same colour.
    const Picture padded = Render({font, "Hello", "--padding", "3", "--color", "204,51,0"}, Quillory_TempPath("p.png"));
    ASSERT_EQ(padded.image.width, small.image.width + 6);
    ASSERT_EQ(padded.image.height, small.image.height + 6);
    for (std::uint32_t y = 0; y < small.image.height; ++y)
        ASSERT_EQ(std::memcmp(padded.image.Row(y + 3) + 12, small.image.Row(y), small.image.width * 4), 0) << y;

    // A background makes an opaque picture, the text blended into it.
    const std::string opaque = Quillory_TempPath("d.png");
    const Picture onBlue = Render({font, "Hello", "--background", "0000FF", "--color", "FF0000"}, opaque);
    Gfx_PngInfo info{};
    ASSERT_TRUE(Gfx_Image_ReadPNGInfo(opaque.c_str(), &info));
    EXPECT_EQ(info.colorType, GFX_PNG_RGB);
    EXPECT_EQ(onBlue.Rgb(0, onBlue.image.height - 1), 0x0000FFu);

    // A font without bold glyphs is emboldened: one column wider.
    const std::string out = Quillory_TempPath("bold.png");
    const ToolResult r = RunTool({"render-text", font, "l", out, "--bold"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(Contains(r.err, "no bold glyphs")) << r.err;
    Picture bold;
    ASSERT_TRUE(Gfx_Image_LoadPNG(&bold.image, out.c_str()));
    const Picture regular = Render({font, "l"}, Quillory_TempPath("regular.png"));
    const auto [r0, r1] = regular.InkColumns(0, regular.image.height);
    const auto [b0, b1] = bold.InkColumns(0, bold.image.height);
    EXPECT_EQ(b1 - b0, r1 - r0 + 1);
}

TEST(ToolRenderText, AlignsEveryLineOfTheBlock) {
    const std::string font = SansFont();
    // The two characters "\n" break the line. The first line has no
    // descenders, so rows from 20 down hold only the second line's "x".
    for (const char* align : {"left", "center", "right"}) {
        const Picture p =
            Render({font, "WIDE LINE\\nx", "--align", align}, Quillory_TempPath(align + std::string(".png")));
        ASSERT_EQ(p.image.height, 50u);
        const int width = static_cast<int>(p.image.width);
        const auto [x0, x1] = p.InkColumns(20, 50);
        ASSERT_TRUE(x0 >= 0 && x1 - x0 < 12) << align;
        const int half = (x1 - x0) / 2;
        const int middle = align[0] == 'l' ? half : align[0] == 'c' ? width / 2 : width - 1 - half;
        EXPECT_NEAR((x0 + x1) / 2, middle, 2) << align;
    }
    // A fixed width places the block inside it.
    const Picture wide =
        Render({font, "x", "--width", "100", "--align", "right", "--padding", "5"}, Quillory_TempPath("wide.png"));
    EXPECT_EQ(wide.image.width, 100u);
    EXPECT_GT(wide.InkColumns(0, wide.image.height).second, 90);
    EXPECT_LT(wide.InkColumns(0, wide.image.height).second, 95);
}

// Text is UTF-8 all the way to the drawer: codes above U+00FF that the font
// holds are drawn, and only those it lacks are noted as missing.
TEST(ToolRenderText, DrawsEveryCodeTheFontHolds) {
    const std::string font = SansFont();
    const Picture p = Render({font, "\xD0\x96\xD0\x96"}, Quillory_TempPath("zhe.png"));
    const auto [x0, x1] = p.InkColumns(0, p.image.height);
    EXPECT_GT(x1 - x0, 15);
    const ToolResult r = RunTool({"render-text", font, "A\xE4\xB8\xAD", Quillory_TempPath("han.png")});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(Contains(r.err, "no glyphs for 1 of the text's characters (U+4E2D)")) << r.err;
}

C_BitmapGlyph* FindVariant(const C_BitmapFace& face, std::uint16_t size, std::uint8_t kind, std::uint8_t style) {
    for (std::uint32_t i = 0; i < face.GlyphCount(); ++i) {
        C_BitmapGlyph* g = face.GetGlyph(i);
        if (g && g->size == size && g->format == kind && g->style == style) return g;
    }
    return nullptr;
}

// The font command renders the chosen sizes (each once), kinds, styles (one
// per source file) and characters. On a terminal (the pseudo-terminal that
// script(1) gives it) it shows a progress bar; piped, it is silent.
TEST(ToolFont, RendersTheChosenSizesKindsStylesAndCharacters) {
    const std::string out = Quillory_TempPath("two.uft");
    const std::string sources = kSerif + "Regular.ttf," + kSerif + "Bold.ttf";
    const std::vector<std::string> args = {"font",         sources,   out,           "--sizes",
                                           "12,20,12",     "--kinds", "gray",        "--styles",
                                           "regular,bold", "--chars", "0x41-0x43,97"};
    const ToolResult shown = RunCommand("script -qefc " + Quote(ToolCommand(args)) + " /dev/null");
    ASSERT_EQ(shown.code, 0) << shown.out;
    EXPECT_TRUE(Contains(shown.out, "\r[....................] 0/4 renders")) << shown.out;
    // Ended with the terminal's newline.
    EXPECT_TRUE(Contains(shown.out, "\r[####################] 4/4 renders\r\n")) << shown.out;
    const ToolResult piped = RunTool({"font", kSerif + "Regular.ttf", Quillory_TempPath("small.uft"), "--chars", "65"});
    EXPECT_EQ(piped.code, 0);
    EXPECT_EQ(piped.err, "");
    C_Font font;
    ASSERT_TRUE(font.LoadFromFile(out.c_str(), 0));
    EXPECT_STREQ(font.name.CStr(), "LiberationSerif-Regular");
    EXPECT_EQ(font.FaceCount(), 4u);  // A, B, C and a
    const C_BitmapFace* a = font.GetFace('a');
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->GlyphCount(), 4u);  // two sizes (12 listed once) in two styles
    EXPECT_NE(FindVariant(*a, 20, GFX_GLYPH_GRAY, GFX_STYLE_BOLD), nullptr);
    EXPECT_EQ(FindVariant(*a, 12, GFX_GLYPH_MONO, GFX_STYLE_REGULAR), nullptr);
}

// The demo's files: the pictures pinned by a golden hash of their pixels (the
// drawing is deterministic); a sheet of nine tiles, each with a clear margin
// so interpolation never reaches a neighbour; the caption's font in every
// size, kind and style.
TEST(DemoAssets, AreTheSameEveryTimeAndFitForTheDemo) {
    const std::string dir = Quillory_TempPath("assets");
    mkdir(dir.c_str(), 0755);
    const ToolResult r = RunTool({"demo-assets", dir});
    ASSERT_EQ(r.code, 0) << r.err;
    C_Image pictures[3];
    std::uint64_t hash = 14695981039346656037ull;
    for (int i = 0; i < 3; ++i) {
        C_Image& p = pictures[i];
        ASSERT_TRUE(p.LoadFromFile((dir + "/picture" + std::to_string(i + 1) + ".img").c_str(), 0));
        const std::uint32_t header[3] = {p.width, p.height, static_cast<std::uint32_t>(p.format)};
        hash = Fnv1a(hash, header, sizeof header);
        hash = Fnv1a(hash, p.data, p.dataSize);
    }
    EXPECT_EQ(hash, 0x1fe483882e7cfc30ull);

    const C_Image& alpha = pictures[2];
    ASSERT_EQ(alpha.format, GFX_FMT_CH8);
    ASSERT_EQ(alpha.width % 3, 0u);
    const std::uint32_t tile = alpha.width / 3;
    for (std::uint32_t y = 0; y < alpha.height; ++y)
        for (std::uint32_t x = 0; x < alpha.width; ++x) {
            const std::uint32_t u = x % tile, v = y % tile;
            if (u < 2 || v < 2 || u >= tile - 2 || v >= tile - 2) {
                ASSERT_EQ(alpha.Row(y)[x], 0) << x << "," << y;
            }
        }

    C_Font font;
    ASSERT_TRUE(font.LoadFromFile((dir + "/times.uft").c_str(), 0));
    EXPECT_EQ(font.FaceCount(), 95u);
    for (int code = 32; code <= 126; ++code) {
        const C_BitmapFace* face = font.GetFace(code);
        ASSERT_NE(face, nullptr) << code;
        EXPECT_EQ(face->GlyphCount(), 80u);  // 10 sizes, 2 kinds, 4 styles
    }
    for (std::uint8_t style = GFX_STYLE_REGULAR; style <= GFX_STYLE_BOLD_ITALIC; ++style)
        EXPECT_NE(FindVariant(*font.GetFace('W'), 13, GFX_GLYPH_MONO, style), nullptr);
    EXPECT_GT(Quillory_ReadFile(dir + "/prova.txt").size(), 20u);
}

}  // namespace
