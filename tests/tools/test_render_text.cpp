// The render-text command and the font command's progress bar, run as the
// built program.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "quillory.h"
#include "tool_test_support.h"

namespace {

const std::string kSans = "/usr/share/fonts/truetype/liberation2/LiberationSans-";

// A font of the printable ASCII characters, anti-aliased, at each size, in
// the regular style only (bold text then has to be emboldened).
std::string SansFont(std::initializer_list<std::uint16_t> sizes) {
    C_Font font;
    font.name = "Sans";
    EXPECT_TRUE(font.AddFaces(32, 127));
    for (const std::uint16_t size : sizes)
        EXPECT_TRUE(Gfx_Font_ImportTrueType(C_String((kSans + "Regular.ttf").c_str()),
                                            C_BitmapGlyph(size, GFX_GLYPH_GRAY, GFX_STYLE_REGULAR), &font));
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

TEST(ToolRenderText, DrawsOnlyTheTextColourAndGrowsWithTheText) {
    const std::string font = SansFont({16, 24});
    const Picture small = Render({font, "Hello", "--size", "16", "--color", "#CC3300"}, Quillory_TempPath("a.png"));
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

    const Picture longer =
        Render({font, "Hello Hello", "--size", "16", "--color", "204,51,0"}, Quillory_TempPath("b.png"));
    EXPECT_GT(longer.image.width, small.image.width * 3 / 2);
    EXPECT_EQ(longer.image.height, small.image.height);
    const Picture larger = Render({font, "Hello"}, Quillory_TempPath("c.png"));  // the larger size
    EXPECT_GT(larger.image.width, small.image.width * 4 / 3);
    EXPECT_EQ(larger.image.height, 24u / 2 + 24 + 1);
    const Picture padded = Render({font, "Hello", "--size", "16", "--padding", "3"}, Quillory_TempPath("p.png"));
    EXPECT_EQ(padded.image.width, small.image.width + 6);
    EXPECT_EQ(padded.image.height, small.image.height + 6);
    EXPECT_EQ(padded.InkColumns(0, padded.image.height).first, 3);

    // A background makes an opaque picture, the text blended into it.
    const std::string opaque = Quillory_TempPath("d.png");
    const Picture onBlue =
        Render({font, "Hello", "--size", "16", "--background", "0000FF", "--color", "FF0000"}, opaque);
    Gfx_PngInfo info{};
    ASSERT_TRUE(Gfx_Image_ReadPNGInfo(opaque.c_str(), &info));
    EXPECT_EQ(info.colorType, GFX_PNG_RGB);
    EXPECT_EQ(onBlue.Rgb(0, onBlue.image.height - 1), 0x0000FFu);
    std::size_t red = 0;
    for (std::uint32_t y = 0; y < onBlue.image.height; ++y)
        for (std::uint32_t x = 0; x < onBlue.image.width; ++x) red += onBlue.Rgb(x, y) == 0xFF0000u;
    EXPECT_EQ(red, solid);

    // A font without bold glyphs is emboldened: one column wider.
    const std::string out = Quillory_TempPath("bold.png");
    const ToolResult r = RunTool({"render-text", font, "l", out, "--bold", "--size", "16"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(Contains(r.err, "no bold glyphs")) << r.err;
    Picture bold;
    ASSERT_TRUE(Gfx_Image_LoadPNG(&bold.image, out.c_str()));
    const Picture regular = Render({font, "l", "--size", "16"}, Quillory_TempPath("regular.png"));
    const auto [r0, r1] = regular.InkColumns(0, regular.image.height);
    const auto [b0, b1] = bold.InkColumns(0, bold.image.height);
    EXPECT_EQ(b1 - b0, r1 - r0 + 1);
}

TEST(ToolRenderText, AlignsEveryLineOfTheBlock) {
    const std::string font = SansFont({16});
    // The two characters "\n" break the line. The first line has no
    // descenders, so rows from 20 down hold only the second line's "x".
    std::uint32_t width = 0;
    for (const char* align : {"left", "center", "right"}) {
        const Picture p =
            Render({font, "WIDE LINE\\nx", "--align", align}, Quillory_TempPath(align + std::string(".png")));
        ASSERT_EQ(p.image.height, 50u);
        if (width == 0) width = p.image.width;
        EXPECT_EQ(p.image.width, width) << align;
        const auto [first, last] = p.InkColumns(0, 20);
        EXPECT_LE(first, 1) << align;
        EXPECT_GE(last, static_cast<int>(width) - 3) << align;
        const auto [x0, x1] = p.InkColumns(20, 50);
        ASSERT_GE(x0, 0) << align;
        EXPECT_LT(x1 - x0, 12) << align;
        const int middle = (x0 + x1) / 2;
        if (align == std::string("left")) {
            EXPECT_LT(x0, 3);
        } else if (align == std::string("right")) {
            EXPECT_GT(x1, static_cast<int>(width) - 4);
        } else {
            EXPECT_NEAR(middle, static_cast<int>(width) / 2, 2);
        }
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
    C_Font font;
    ASSERT_TRUE(font.AddFaces(32, 127));
    ASSERT_TRUE(font.AddFaces(0x410, 0x450));  // Cyrillic capitals and small letters
    ASSERT_TRUE(Gfx_Font_ImportTrueType(C_String((kSans + "Regular.ttf").c_str()),
                                        C_BitmapGlyph(16, GFX_GLYPH_GRAY, GFX_STYLE_REGULAR), &font));
    const std::string path = Quillory_TempPath("cyrillic.uft");
    ASSERT_TRUE(font.SaveToFile(path.c_str(), 0));
    const Picture p = Render({path, "\xD0\x96\xD0\x96"}, Quillory_TempPath("zhe.png"));
    EXPECT_GT(p.InkColumns(0, p.image.height).second - p.InkColumns(0, p.image.height).first, 15);

    const ToolResult r = RunTool({"render-text", path, "A\xE4\xB8\xAD", Quillory_TempPath("han.png")});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(Contains(r.err, "no glyphs for 1 of the text's characters (U+4E2D)")) << r.err;
}

// The font command's progress bar, as a terminal shows it: the program runs
// on the pseudo-terminal that script(1) gives it.
TEST(ToolFontProgress, ShowsABarOnTerminalsOnly) {
    const std::vector<std::string> args = {
        "font", kSans + "Regular.ttf", Quillory_TempPath("small.uft"), "--sizes", "10,12", "--kinds", "gray", "--chars",
        "65-70"};
    const ToolResult shown = RunCommand("script -qefc " + Quote(ToolCommand(args)) + " /dev/null");
    EXPECT_EQ(shown.code, 0) << shown.out;
    EXPECT_TRUE(Contains(shown.out, "\r[....................] 0/2 renders")) << shown.out;
    EXPECT_TRUE(Contains(shown.out, "\r[####################] 2/2 renders\r\n"))
        << shown.out;  // the terminal's newline

    const ToolResult piped = RunTool(args);
    EXPECT_EQ(piped.code, 0);
    EXPECT_EQ(piped.err, "");
}

}  // namespace
