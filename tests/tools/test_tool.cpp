// Runs the built quillory program on files made here: what info reports, what
// convert writes, and the command lines and files every command refuses.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "quillory.h"
#include "tool_test_support.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// A 5 x 3 picture with distinct bytes in every pixel.
std::string SavedPicture(const std::string& name, std::int32_t format, std::uint8_t alpha = 0x80) {
    C_Image image;
    EXPECT_TRUE(image.CreateEmpty(5, 3, format, GFX_FMT_NONE));
    for (std::uint32_t i = 0; i < image.dataSize; ++i) image.data[i] = static_cast<std::uint8_t>(i * 11 + 3);
    if (format == GFX_FMT_ARGB8888)
        for (std::uint32_t i = 3; i < image.dataSize; i += 4) image.data[i] = alpha;
    const std::string path = Quillory_TempPath(name);
    EXPECT_TRUE(image.SaveToFile(path.c_str(), 0));
    return path;
}

// Three glyphs cut from one two-plane sheet.
std::string SheetFont() {
    C_Font font;
    font.name = "Sheet Serif";
    EXPECT_TRUE(font.AddFaces('A', 'D'));
    auto* colour = new C_Image;
    auto* alpha = new C_Image;
    EXPECT_TRUE(colour->CreateEmpty(30, 10, GFX_FMT_ARGB8888, GFX_FMT_NONE));
    EXPECT_TRUE(alpha->CreateEmpty(30, 10, GFX_FMT_CH8, GFX_FMT_NONE));
    EXPECT_TRUE(Gfx_Font_AddSheet(C_String("ABC"), 3, 1, 12, new C_Surface(0, colour, alpha), &font));
    const std::string path = Quillory_TempPath("sheet.uft");
    EXPECT_TRUE(font.SaveToFile(path.c_str(), 0));
    return path;
}

// Each kind of file by its content, whatever its name says.
TEST(Tool, InfoDescribesPicturesAndFonts) {
    C_Image indexed;
    ASSERT_TRUE(indexed.CreateEmpty(4, 2, GFX_FMT_INDEX8, GFX_FMT_RGB888));
    const std::string bare = Quillory_TempPath("indexed");  // no extension: its class tag tells
    ASSERT_TRUE(indexed.SaveToFile(bare.c_str(), 0));
    const std::string tga = Quillory_TempPath("a.tga");  // 2 x 1, 24-bit pixels
    WriteText(tga, std::string("\0\0\2\0\0\0\0\0\0\0\0\0\2\0\1\0\x18\0abcdef", 24));
    const std::string png = Quillory_TempPath("really-a-png.bmp");  // named for another format
    ASSERT_TRUE(indexed.CreateEmpty(5, 3, GFX_FMT_CH8, GFX_FMT_NONE) && Gfx_Image_SavePNG(&indexed, png.c_str()));
    const struct {
        std::string path;
        std::vector<const char*> lines;
    } cases[] = {
        {SavedPicture("a.img", GFX_FMT_ARGB8888),
         {"image object file", "size:     5 x 3 pixels", "format:   24 ARGB8888, 32 bits per pixel", "palette:  none"}},
        {bare, {"format:   4 INDEX8", "palette:  256 entries of 21 RGB888 (768 bytes)"}},
        {tga, {"TGA image", "size:     2 x 1 pixels", "format:   21 RGB888"}},
        {png, {"PNG image", "format:   6 CH8", "stored:   8-bit grey"}},
        {SheetFont(),
         {"bitmap font file", "name:     Sheet Serif", "faces:    3 (codes 65 to 67)", "glyphs:   3, 1 per face",
          "variants: size 12 sheet regular", "surfaces: 1 with planes 1 (24 ARGB8888), 2 (6 CH8)"}},
    };
    for (const auto& c : cases) {
        const ToolResult r = RunTool({"info", c.path});
        EXPECT_EQ(r.code, 0) << r.err;
        for (const char* line : c.lines) EXPECT_TRUE(Contains(r.out, line)) << c.path << ": " << line;
    }
}

TEST(Tool, ConvertRoundTripsAndChangesFormatsAndAlpha) {
    const std::string img = SavedPicture("in.img", GFX_FMT_ARGB8888);
    const std::string png = Quillory_TempPath("mid.png");
    const std::string back = Quillory_TempPath("back.img");
    ToolResult r = RunTool({"convert", img, png});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(r.err.empty()) << r.err;
    ASSERT_EQ(RunTool({"convert", png, back}).code, 0);
    C_Image original, loaded;
    ASSERT_TRUE(original.LoadFromFile(img.c_str(), 0));
    ASSERT_TRUE(loaded.LoadFromFile(back.c_str(), 0));
    EXPECT_EQ(loaded.format, GFX_FMT_ARGB8888);
    EXPECT_EQ(Bytes(loaded.data, loaded.data + loaded.dataSize),
              Bytes(original.data, original.data + original.dataSize));
    EXPECT_EQ(FilesNamed("mid.png").size(), 1u);  // no temporary file left over

    // Alpha 0 everywhere: a note, and --opaque writes plain RGB; so does a
    // format PNG cannot hold.
    const std::string clear = SavedPicture("clear.img", GFX_FMT_ARGB8888, 0);
    r = RunTool({"convert", clear, png});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(Contains(r.err, "--opaque"));
    for (const std::vector<std::string>& args : {std::vector<std::string>{"convert", clear, png, "--opaque"},
                                                 {"convert", SavedPicture("wide.img", GFX_FMT_RGB565), png}}) {
        r = RunTool(args);
        ASSERT_EQ(r.code, 0) << r.err;
        EXPECT_TRUE(r.err.empty()) << r.err;
        Gfx_PngInfo info{};
        ASSERT_TRUE(Gfx_Image_ReadPNGInfo(png.c_str(), &info));
        EXPECT_EQ(info.colorType, GFX_PNG_RGB);
    }

    // An explicit format, by name, then by number into a raw dump.
    const std::string rgb = Quillory_TempPath("rgb.img");
    ASSERT_EQ(RunTool({"convert", img, rgb, "--format", "rgb888"}).code, 0);
    ASSERT_TRUE(loaded.LoadFromFile(rgb.c_str(), 0));
    EXPECT_EQ(loaded.format, GFX_FMT_RGB888);
    const std::string raw = Quillory_TempPath("grey.raw");
    ASSERT_EQ(RunTool({"convert", img, raw, "--format=6"}).code, 0);
    EXPECT_EQ(Quillory_ReadFile(raw).size(), 15u);
}

// Bad command lines give the command's usage (status 2); files that cannot
// be read or written are named with the reason (status 1). Either way
// nothing is written.
TEST(Tool, RefusalsNameTheirReasonAndLeaveNoOutput) {
    const std::string img = SavedPicture("in.img", GFX_FMT_RGB888);
    const std::string damaged = Quillory_TempPath("damaged.png");
    WriteText(damaged, "\x89PNG\r\n\x1a\nnot really");
    const std::string truncated = Quillory_TempPath("short.img");
    WriteText(truncated, std::string("\x06\x00\x10", 3));
    const std::string font = SheetFont();
    const std::string cutFont = Quillory_TempPath("cut.uft");
    WriteText(cutFont, Quillory_ReadFile(font).substr(0, Quillory_ReadFile(font).size() / 2));
    const std::string notFont = Quillory_TempPath("notes.ttf");
    WriteText(notFont, "not a font");
    const std::string ttf = "/usr/share/fonts/truetype/liberation2/LiberationSerif-Regular.ttf";
    const std::string missing = Quillory_TempPath("missing.img");
    const std::string out = Quillory_TempPath("refused.png");
    std::remove(out.c_str());  // from an earlier run
    const std::string noFolder = Quillory_TempPath("no-folder") + "/refused.png";
    const std::string usage = "usage: quillory";
    const struct {
        std::vector<std::string> args;
        int code;
        std::string err;
    } cases[] = {
        {{}, 2, usage},
        {{"frobnicate"}, 2, usage},
        {{"info", img, img}, 2, usage},
        {{"convert", img}, 2, usage},
        {{"convert", img, Quillory_TempPath("refused.gif")}, 2, usage},
        {{"convert", img, Quillory_TempPath("refused.jpg"), "--quality", "0"}, 2, usage},
        {{"convert", img, out, "--format", "RGB999"}, 2, usage},
        {{"convert", img, out, "--format", "0"}, 2, usage},
        {{"convert", img, out, "--format"}, 2, usage},
        {{"convert", img, out, "--sideways"}, 2, usage},
        {{"font", ttf, Quillory_TempPath("refused.uft"), "--sizes", "0"}, 2, usage},
        {{"font", ttf, Quillory_TempPath("refused.uft"), "--kinds", "6"}, 2, usage},
        {{"font", ttf, Quillory_TempPath("refused.uft"), "--styles", "regular,bold"}, 2, usage},
        {{"font", ttf, Quillory_TempPath("refused.uft"), "--chars", "100-50"}, 2, usage},
        {{"render-text", font, "AB"}, 2, "usage: quillory render-text"},
        {{"render-text", font, "AB", Quillory_TempPath("refused.bmp")}, 2, "usage: quillory render-text"},
        {{"render-text", font, "", out}, 2, "usage: quillory render-text"},
        {{"render-text", font, "AB", out, "--color", "12345"}, 2, "usage: quillory render-text"},
        {{"render-text", font, "AB", out, "--align", "middle"}, 2, "usage: quillory render-text"},
        {{"info", missing}, 1, missing},
        {{"convert", damaged, out}, 1, damaged},
        {{"info", truncated}, 1, truncated},
        {{"convert", QUILLORY_TEST_TMP_DIR, out}, 1, "is a directory"},
        {{"convert", font, out}, 1, font},  // not a picture
        {{"convert", SavedPicture("floats.img", GFX_FMT_RGB96F), Quillory_TempPath("refused.raw")}, 1, "refused.raw"},
        {{"convert", img, noFolder}, 1, "No such file or directory"},  // the OS's reason
        {{"font", Quillory_TempPath("none.ttf"), Quillory_TempPath("refused.uft")}, 1, "none.ttf"},
        {{"font", notFont, Quillory_TempPath("refused.uft")}, 1, "is not a TrueType or OpenType font"},
        {{"render-text", cutFont, "AB", out}, 1, cutFont},
        {{"render-text", font, "AB", noFolder}, 1, noFolder},
        {{"render-text", font, "AB", out, "--italic"}, 1, font + "': has no italic glyphs"},  // italic is never made up
    };
    for (const auto& c : cases) {
        const ToolResult r = RunTool(c.args);
        const std::string what = c.args.empty() ? "no arguments" : c.args[0] + " " + c.args.back();
        EXPECT_EQ(r.code, c.code) << what << ": " << r.err;
        EXPECT_TRUE(Contains(r.err, c.err)) << what << ": " << r.err;
        EXPECT_TRUE(r.out.empty()) << what;
    }
    EXPECT_TRUE(FilesNamed("refused").empty());

    // A failed conversion keeps what was at the output before.
    WriteText(out, "old");
    EXPECT_EQ(RunTool({"convert", damaged, out}).code, 1);
    EXPECT_EQ(Quillory_ReadFile(out), "old");
    EXPECT_EQ(FilesNamed("refused.png").size(), 1u);

    for (const char* command : {"info", "convert", "font", "render-text", "demo-assets"})
        EXPECT_EQ(RunTool({command, "--help"}).code, 0) << command;
    EXPECT_TRUE(Contains(RunTool({"--help"}).out, "render-text"));
    EXPECT_EQ(RunTool({"demo-assets", Quillory_TempPath("no/such/dir")}).code, 1);
}

}  // namespace
