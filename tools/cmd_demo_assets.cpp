// quillory demo-assets DIR: the painting demo's data files, made by the
// framework itself (the build runs this into the demo's working directory).
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/error.h"
#include "image/image.h"
#include "image/internal/file_replace.h"
#include "text/font.h"
#include "tools/commands.h"
#include "tools/demo_pictures.h"
#include "tools/font_build.h"
#include "tools/tool.h"

namespace {

// The one place the demo font's sources are named: Liberation Serif from the
// Debian package fonts-liberation2, one file per style.
constexpr const char* kSerifFolder = "/usr/share/fonts/truetype/liberation2/";
constexpr struct {
    const char* file;
    std::uint8_t style;
} kSerifFiles[] = {
    {"LiberationSerif-Regular.ttf", GFX_STYLE_REGULAR},
    {"LiberationSerif-Bold.ttf", GFX_STYLE_BOLD},
    {"LiberationSerif-Italic.ttf", GFX_STYLE_ITALIC},
    {"LiberationSerif-BoldItalic.ttf", GFX_STYLE_BOLD_ITALIC},
};

// The caption is drawn at size 13; the other sizes serve text of any size
// between 10 and 32 with little scaling.
const std::vector<std::uint16_t> kDemoSizes = {10, 12, 13, 14, 16, 18, 20, 24, 28, 32};

constexpr const char* kText =
    "Quillory painting demo\n"
    "\n"
    "Hold the left mouse button and move the mouse to paint: every few\n"
    "hundredths of a second the brush stamps a tile of picture1.img, shaped by\n"
    "its alpha plane picture3.img and tinted at random.\n"
    "Release the right mouse button to wipe the painting.\n"
    "\n"
    "Every pixel is computed on the processor in fixed point, so the same\n"
    "strokes give the same picture on every machine.\n";

std::string Join(const std::string& dir, const char* name) {
    if (dir.empty() || dir.back() == '/') return dir + name;
    return dir + "/" + name;
}

bool WriteText(const std::string& path, const char* text) {
    C_FileReplace out;
    if (!out.Begin(path.c_str())) return false;
    const std::size_t size = std::strlen(text);
    if (std::fwrite(text, 1, size, out.File()) != size) return false;
    return out.Commit();
}

int WriteFont(const std::string& path) {
    Tool_FontPlan plan;
    plan.name = "Liberation Serif";
    for (const auto& source : kSerifFiles)
        plan.sources.push_back({std::string(kSerifFolder) + source.file, source.style});
    plan.sizes = kDemoSizes;
    plan.kinds = {GFX_GLYPH_MONO, GFX_GLYPH_GRAY};
    plan.chars = {TOOL_FONT_ASCII};
    C_Font font;
    std::string failedPath;
    Tool_ProgressBar bar("renders");
    const bool built = Tool_BuildFont(plan, font, failedPath,
                                      [&bar](std::size_t done, std::size_t total) { bar.Update(done, total); });
    bar.Finish();
    if (!built) {
        if (failedPath.empty()) return Tool_Fail(path, "make the faces of");
        return Tool_Fail(failedPath, "read", " (the fonts-liberation2 package provides it)");
    }
    Gfx_ClearError();
    if (!Tool_SaveFont(font, path)) return Tool_Fail(path, "write");
    return TOOL_OK;
}

}  // namespace

int Tool_DemoAssets(const Tool_Command& self, const std::vector<std::string>& args) {
    Tool_Args parsed;
    std::string problem;
    if (!Tool_ParseArgs(args, {}, {}, parsed, problem)) return Tool_Usage(self, problem);
    if (parsed.positional.size() != 1)
        return Tool_Usage(self, parsed.positional.empty() ? "needs DIR" : "too many arguments");
    const std::string& dir = parsed.positional[0];

    C_Image sheet;
    C_Image sheetAlpha;
    C_Image background;
    Gfx_ClearError();
    if (!Tool_DrawBrushSheet(sheet, sheetAlpha)) return Tool_Fail(Join(dir, "picture1.img"), "draw");
    if (!Tool_DrawBackground(background)) return Tool_Fail(Join(dir, "picture2.img"), "draw");
    const struct {
        const char* name;
        C_Image* image;
    } pictures[] = {{"picture1.img", &sheet}, {"picture2.img", &background}, {"picture3.img", &sheetAlpha}};
    for (const auto& picture : pictures) {
        const std::string path = Join(dir, picture.name);
        if (!Tool_SaveImage(*picture.image, path, Tool_FileKind::Img, false)) return Tool_Fail(path, "write");
    }
    const std::string textPath = Join(dir, "prova.txt");
    if (!WriteText(textPath, kText)) return Tool_CannotOpen(textPath);
    return WriteFont(Join(dir, "times.uft"));
}
