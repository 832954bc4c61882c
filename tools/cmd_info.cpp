// quillory info FILE: what a picture or font file holds.
#include <cstdio>
#include <string>

#include "image/format.h"
#include "image/image.h"
#include "image/png.h"
#include "tools/commands.h"
#include "tools/tool.h"

namespace {

const char* PngColourName(std::uint8_t colorType) {
    switch (colorType) {
        case GFX_PNG_GREY: return "grey";
        case GFX_PNG_RGB: return "RGB";
        case GFX_PNG_PALETTE: return "palette";
        case GFX_PNG_GREY_ALPHA: return "grey and alpha";
        case GFX_PNG_RGBA: return "RGBA";
        default: return "unknown colour type";
    }
}

void PrintPalette(const C_Image& image) {
    if (!image.m_palette || image.paletteSize == 0) {
        std::printf("  palette:  none\n");
        return;
    }
    Gfx_FormatDesc pd{};
    if (image.palFormat > 0 && Gfx_GetFormatDesc(image.palFormat, &pd) && pd.bytesPerPixel > 0)
        std::printf("  palette:  %u entries of %s (%u bytes)\n", image.paletteSize / pd.bytesPerPixel,
                    Tool_FormatLabel(image.palFormat).c_str(), image.paletteSize);
    else
        std::printf("  palette:  %u bytes, entries of format %d\n", image.paletteSize, image.palFormat);
}

void PrintImage(const std::string& path, Tool_FileKind kind, const C_Image& image) {
    std::printf("%s: %s\n", path.c_str(), Tool_KindDescription(kind));
    std::printf("  size:     %u x %u pixels\n", image.width, image.height);
    if (image.format == GFX_FMT_NONE) {
        std::printf("  format:   none (this variant's pixels are not decoded)\n");
    } else {
        std::printf("  format:   %s, %u bits per pixel\n", Tool_FormatLabel(image.format).c_str(), image.bpp);
        std::printf("  rows:     %u bytes apart, %u bytes of pixels\n", image.pitch, image.dataSize);
    }
    PrintPalette(image);
    std::printf("  planes:   1\n");
}

int InfoImage(const std::string& path, Tool_FileKind kind) {
    Gfx_PngInfo png{};
    if (kind == Tool_FileKind::Png && !Gfx_Image_ReadPNGInfo(path.c_str(), &png)) return Tool_Fail(path, "read");
    C_Image image;
    if (!Tool_LoadImage(path, kind, image)) return Tool_Fail(path, "read");
    PrintImage(path, kind, image);
    if (kind == Tool_FileKind::Png)
        std::printf("  stored:   %u-bit %s%s%s\n", png.bitDepth, PngColourName(png.colorType),
                    png.interlaced ? ", interlaced" : "", png.transparency ? ", with transparency" : "");
    return TOOL_OK;
}

}  // namespace

int Tool_Info(const Tool_Command& self, const std::vector<std::string>& args) {
    Tool_Args parsed;
    std::string problem;
    if (!Tool_ParseArgs(args, {}, {}, parsed, problem)) return Tool_Usage(self, problem);
    if (parsed.positional.size() != 1)
        return Tool_Usage(self, parsed.positional.empty() ? "missing FILE" : "one FILE at a time");
    const std::string& path = parsed.positional[0];
    Tool_FileKind kind = Tool_FileKind::Unknown;
    if (!Tool_KindOfFile(path, kind)) return Tool_CannotOpen(path);
    switch (kind) {
        case Tool_FileKind::Uft: return Tool_Refuse(path, "font files are not supported by this build");
        case Tool_FileKind::Raw: return Tool_Refuse(path, "a raw pixel dump has no header to describe");
        case Tool_FileKind::Unknown: return Tool_Refuse(path, "not a file type the tool knows");
        default: return InfoImage(path, kind);
    }
}
