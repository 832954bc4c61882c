// Runs the built quillory program on files made here.
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
C_Image Picture(std::int32_t format, std::uint8_t alpha = 0x80) {
    C_Image image;
    EXPECT_TRUE(image.CreateEmpty(5, 3, format, GFX_FMT_NONE));
    for (std::uint32_t i = 0; i < image.dataSize; ++i) image.data[i] = static_cast<std::uint8_t>(i * 11 + 3);
    if (format == GFX_FMT_ARGB8888)
        for (std::uint32_t i = 3; i < image.dataSize; i += 4) image.data[i] = alpha;
    return image;
}

std::string SavedPicture(const std::string& name, std::int32_t format, std::uint8_t alpha = 0x80) {
    const std::string path = Quillory_TempPath(name);
    C_Image image = Picture(format, alpha);
    EXPECT_TRUE(image.SaveToFile(path.c_str(), 0));
    return path;
}

Bytes Pixels(const C_Image& image) { return Bytes(image.data, image.data + image.dataSize); }

TEST(Tool, InfoDescribesPictures) {
    const ToolResult img = RunTool({"info", SavedPicture("a.img", GFX_FMT_ARGB8888)});
    EXPECT_EQ(img.code, 0) << img.err;
    EXPECT_TRUE(Contains(img.out, "image object file"));
    EXPECT_TRUE(Contains(img.out, "size:     5 x 3 pixels"));
    EXPECT_TRUE(Contains(img.out, "format:   24 ARGB8888, 32 bits per pixel"));
    EXPECT_TRUE(Contains(img.out, "palette:  none"));

    C_Image indexed;
    ASSERT_TRUE(indexed.CreateEmpty(4, 2, GFX_FMT_INDEX8, GFX_FMT_RGB888));
    // Named without an extension: recognised by its class tag.
    const std::string bare = Quillory_TempPath("indexed");
    ASSERT_TRUE(indexed.SaveToFile(bare.c_str(), 0));
    const ToolResult pal = RunTool({"info", bare});
    EXPECT_EQ(pal.code, 0) << pal.err;
    EXPECT_TRUE(Contains(pal.out, "format:   4 INDEX8"));
    EXPECT_TRUE(Contains(pal.out, "palette:  256 entries of 21 RGB888 (768 bytes)"));

    // A 2 x 1 TGA of 24-bit pixels.
    const std::string tga = Quillory_TempPath("a.tga");
    WriteText(tga, std::string("\0\0\2\0\0\0\0\0\0\0\0\0\2\0\1\0\x18\0"
                               "abcdef",
                               24));
    const ToolResult t = RunTool({"info", tga});
    EXPECT_EQ(t.code, 0) << t.err;
    EXPECT_TRUE(Contains(t.out, "TGA image"));
    EXPECT_TRUE(Contains(t.out, "size:     2 x 1 pixels"));
    EXPECT_TRUE(Contains(t.out, "format:   21 RGB888"));

    const std::string png = Quillory_TempPath("a.png");
    const C_Image grey = Picture(GFX_FMT_CH8);
    ASSERT_TRUE(Gfx_Image_SavePNG(&grey, png.c_str()));
    const ToolResult p = RunTool({"info", png});
    EXPECT_EQ(p.code, 0) << p.err;
    EXPECT_TRUE(Contains(p.out, "PNG image"));
    EXPECT_TRUE(Contains(p.out, "format:   6 CH8"));
    EXPECT_TRUE(Contains(p.out, "stored:   8-bit grey"));
}

// A known extension on a file of another type: the content decides, and info
// names the type and its variant.
TEST(Tool, MisnamedPicturesAreReadByContent) {
    const std::string misnamed = Quillory_TempPath("really-a-png.bmp");
    const C_Image grey = Picture(GFX_FMT_CH8);
    ASSERT_TRUE(Gfx_Image_SavePNG(&grey, misnamed.c_str()));
    const ToolResult info = RunTool({"info", misnamed});
    EXPECT_EQ(info.code, 0) << info.err;
    EXPECT_TRUE(Contains(info.out, "PNG image"));
    EXPECT_TRUE(Contains(info.out, "type:     PNG, 8-bit grey"));
    const std::string out = Quillory_TempPath("out.bmp");
    const ToolResult r = RunTool({"convert", misnamed, out});
    ASSERT_EQ(r.code, 0) << r.err;
    C_Image back;
    ASSERT_TRUE(Gfx_Image_LoadFile(&back, out.c_str(), GFX_FMT_NONE)) << Gfx_GetErrorReason();
    EXPECT_EQ(back.width, grey.width);
}

TEST(Tool, InfoDescribesFonts) {
    C_Font font;
    font.name = "Sheet Serif";
    ASSERT_TRUE(font.AddFaces('A', 'D'));
    auto* colour = new C_Image;
    auto* alpha = new C_Image;
    ASSERT_TRUE(colour->CreateEmpty(30, 10, GFX_FMT_ARGB8888, GFX_FMT_NONE));
    ASSERT_TRUE(alpha->CreateEmpty(30, 10, GFX_FMT_CH8, GFX_FMT_NONE));
    ASSERT_TRUE(Gfx_Font_AddSheet(C_String("ABC"), 3, 1, 12, new C_Surface(0, colour, alpha), &font));
    const std::string path = Quillory_TempPath("sheet.uft");
    ASSERT_TRUE(font.SaveToFile(path.c_str(), 0));
    const ToolResult r = RunTool({"info", path});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(Contains(r.out, "bitmap font file"));
    EXPECT_TRUE(Contains(r.out, "name:     Sheet Serif"));
    EXPECT_TRUE(Contains(r.out, "faces:    3 (codes 65 to 67)"));
    EXPECT_TRUE(Contains(r.out, "glyphs:   3, 1 per face"));
    EXPECT_TRUE(Contains(r.out, "variants: size 12 sheet regular"));
    EXPECT_TRUE(Contains(r.out, "surfaces: 1 with planes 1 (24 ARGB8888), 2 (6 CH8)"));
    EXPECT_EQ(RunTool({"convert", path, Quillory_TempPath("font.png")}).code, 1);  // not a picture
}

TEST(Tool, ConvertRoundTripsThroughPng) {
    const std::string img = SavedPicture("in.img", GFX_FMT_ARGB8888);
    const std::string png = Quillory_TempPath("mid.png");
    const std::string back = Quillory_TempPath("back.img");
    ToolResult r = RunTool({"convert", img, png});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(r.err.empty()) << r.err;
    r = RunTool({"convert", png, back});
    ASSERT_EQ(r.code, 0) << r.err;
    C_Image original, loaded;
    ASSERT_TRUE(original.LoadFromFile(img.c_str(), 0));
    ASSERT_TRUE(loaded.LoadFromFile(back.c_str(), 0));
    EXPECT_EQ(loaded.format, GFX_FMT_ARGB8888);
    EXPECT_EQ(loaded.width, 5u);
    EXPECT_EQ(Pixels(loaded), Pixels(original));
    EXPECT_EQ(FilesNamed("mid.png").size(), 1u);  // no temporary file left over
}

TEST(Tool, ConvertChangesFormatsAndAlpha) {
    // Alpha 0 everywhere: a note, and --opaque writes plain RGB.
    const std::string img = SavedPicture("clear.img", GFX_FMT_ARGB8888, 0);
    const std::string png = Quillory_TempPath("clear.png");
    ToolResult r = RunTool({"convert", img, png});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(Contains(r.err, "--opaque"));
    r = RunTool({"convert", img, png, "--opaque"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(r.err.empty()) << r.err;
    Gfx_PngInfo info{};
    ASSERT_TRUE(Gfx_Image_ReadPNGInfo(png.c_str(), &info));
    EXPECT_EQ(info.colorType, GFX_PNG_RGB);

    // An explicit format, by name, then by number into a raw dump.
    const std::string rgb = Quillory_TempPath("rgb.img");
    r = RunTool({"convert", img, rgb, "--format", "rgb888"});
    ASSERT_EQ(r.code, 0) << r.err;
    C_Image converted;
    ASSERT_TRUE(converted.LoadFromFile(rgb.c_str(), 0));
    EXPECT_EQ(converted.format, GFX_FMT_RGB888);
    const std::string raw = Quillory_TempPath("grey.raw");
    r = RunTool({"convert", img, raw, "--format=6"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(Quillory_ReadFile(raw).size(), 15u);

    // A format PNG cannot hold becomes the nearest one it can.
    const std::string wide = SavedPicture("wide.img", GFX_FMT_RGB565);
    r = RunTool({"convert", wide, png});
    ASSERT_EQ(r.code, 0) << r.err;
    ASSERT_TRUE(Gfx_Image_ReadPNGInfo(png.c_str(), &info));
    EXPECT_EQ(info.colorType, GFX_PNG_RGB);
}

TEST(Tool, BadArgumentsGiveUsage) {
    const std::string img = SavedPicture("in.img", GFX_FMT_RGB888);
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"frobnicate"},
        {"info"},
        {"info", img, img},
        {"convert", img},
        {"convert", img, Quillory_TempPath("out.gif")},
        {"convert", img, Quillory_TempPath("out.jpg"), "--quality", "0"},
        {"convert", img, Quillory_TempPath("out.png"), "--format", "RGB999"},
        {"convert", img, Quillory_TempPath("out.png"), "--format"},
        {"convert", img, Quillory_TempPath("out.png"), "--sideways"},
        {"convert", img, Quillory_TempPath("out.img"), "--opaque"},
    };
    for (const auto& args : cases) {
        const ToolResult r = RunTool(args);
        EXPECT_EQ(r.code, 2) << (args.empty() ? "" : args[0]) << " " << r.err;
        EXPECT_TRUE(Contains(r.err, "usage: quillory")) << r.err;
        EXPECT_TRUE(r.out.empty());
    }
    for (const char* name : {"out.bmp", "out.png", "out.img"}) EXPECT_TRUE(FilesNamed(name).empty());
    for (const char* command : {"info", "convert", "font", "render-text", "demo-assets"})
        EXPECT_EQ(RunTool({command, "--help"}).code, 0) << command;
    EXPECT_TRUE(Contains(RunTool({"--help"}).out, "render-text"));
    const ToolResult help = RunTool({"convert", "--help"});
    EXPECT_EQ(help.code, 0);
    EXPECT_TRUE(Contains(help.out, "usage: quillory convert IN OUT"));
}

TEST(Tool, FailedReadsNameTheFileAndLeaveNoOutput) {
    const std::string missing = Quillory_TempPath("missing.img");
    const std::string damaged = Quillory_TempPath("damaged.png");
    WriteText(damaged, "\x89PNG\r\n\x1a\nnot really");
    const std::string truncated = Quillory_TempPath("short.img");
    WriteText(truncated, std::string("\x06\x00\x10", 3));
    const std::string out = Quillory_TempPath("result.png");
    std::remove(out.c_str());  // from an earlier run
    for (const std::string& in : {missing, damaged, truncated}) {
        for (const char* command : {"info", "convert"}) {
            const ToolResult r = command == std::string("info") ? RunTool({command, in}) : RunTool({command, in, out});
            EXPECT_EQ(r.code, 1) << command << " " << in;
            EXPECT_TRUE(Contains(r.err, in)) << r.err;
            EXPECT_TRUE(r.out.empty());
        }
    }
    EXPECT_TRUE(FilesNamed("result.png").empty());

    // A failed conversion keeps what was at the output before.
    WriteText(out, "old");
    EXPECT_EQ(RunTool({"convert", damaged, out}).code, 1);
    EXPECT_EQ(Quillory_ReadFile(out), "old");
    EXPECT_EQ(FilesNamed("result.png").size(), 1u);

    // Failures on the output side name the output.
    const std::string floats = SavedPicture("floats.img", GFX_FMT_RGB96F);
    ToolResult r = RunTool({"convert", floats, Quillory_TempPath("floats.raw")});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(Contains(r.err, "floats.raw")) << r.err;
    EXPECT_TRUE(FilesNamed("floats.raw").empty());
    r = RunTool({"convert", SavedPicture("ok.img", GFX_FMT_RGB888), Quillory_TempPath("no-folder") + "/x.png"});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(Contains(r.err, "no-folder/x.png")) << r.err;
    EXPECT_TRUE(Contains(r.err, "No such file or directory")) << r.err;  // the OS's reason

    // A folder given as a picture is called one.
    for (const char* command : {"info", "convert"}) {
        r = command == std::string("info") ? RunTool({command, QUILLORY_TEST_TMP_DIR})
                                           : RunTool({command, QUILLORY_TEST_TMP_DIR, out});
        EXPECT_EQ(r.code, 1);
        EXPECT_TRUE(Contains(r.err, "is a directory")) << r.err;
    }
}

}  // namespace
