// quillory info FILE: what a picture or font file holds.
#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <utility>

#include "core/error.h"
#include "core/list.h"
#include "image/format.h"
#include "image/image.h"
#include "image/image_io.h"
#include "image/png.h"
#include "surface/surface.h"
#include "text/font.h"
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
    Gfx_ImageFileInfo file{};
    const bool described = Gfx_Image_ReadFileInfo(path.c_str(), &file);
    C_Image image;
    if (!Tool_LoadImage(path, kind, image)) return Tool_Fail(path, "read");
    PrintImage(path, kind, image);
    if (described && file.variant[0])
        std::printf("  type:     %s, %s\n", Gfx_ImageFileTypeName(file.type), file.variant);
    if (kind == Tool_FileKind::Png)
        std::printf("  stored:   %u-bit %s%s%s\n", png.bitDepth, PngColourName(png.colorType),
                    png.interlaced ? ", interlaced" : "", png.transparency ? ", with transparency" : "");
    return TOOL_OK;
}

const char* RenderKindName(std::uint8_t kind) {
    switch (kind) {
    case GFX_GLYPH_MONO: return "1-bit";
    case GFX_GLYPH_GRAY: return "anti-aliased";
    case GFX_GLYPH_SHEET: return "sheet";
    default: return "unknown kind";
    }
}

const char* StyleName(std::uint8_t style) {
    switch (style) {
    case GFX_STYLE_REGULAR: return "regular";
    case GFX_STYLE_BOLD: return "bold";
    case GFX_STYLE_ITALIC: return "italic";
    case GFX_STYLE_BOLD_ITALIC: return "bold italic";
    default: return "unknown style";
    }
}

// "1 (24 ARGB8888), 2 (6 CH8)": a surface's planes in number order.
std::string PlanesOf(const C_Surface& surface) {
    std::vector<std::pair<std::uint32_t, std::int32_t>> planes;
    for (std::uint32_t i = 0; surface.planes && i < surface.planes->Count(); ++i) {
        const auto* entry = static_cast<const C_SurfacePlane*>(surface.planes->GetAt(i));
        if (entry) planes.emplace_back(entry->index, entry->image ? entry->image->format : GFX_FMT_NONE);
    }
    std::sort(planes.begin(), planes.end());
    std::string text;
    for (const auto& [index, format] : planes)
        text += (text.empty() ? "" : ", ") + std::to_string(index) + " (" + Tool_FormatLabel(format) + ")";
    return text.empty() ? "no planes" : "planes " + text;
}

// The variants a face lists, in list order: text drawing picks a variant by
// its position, the same for every face.
std::string VariantsOf(const C_BitmapFace& face) {
    std::string text;
    for (std::uint32_t i = 0; i < face.GlyphCount(); ++i) {
        const C_BitmapGlyph* glyph = face.GetGlyph(i);
        if (!glyph) continue;
        text += (text.empty() ? "" : "; ") + std::string("size ") + std::to_string(glyph->size) + " " +
                RenderKindName(glyph->format) + " " + StyleName(glyph->style);
    }
    return text;
}

int InfoFont(const std::string& path) {
    C_Font font;
    Gfx_ClearError();
    if (!font.LoadFromFile(path.c_str(), 0)) return Tool_Fail(path, "read");
    std::printf("%s: %s\n", path.c_str(), Tool_KindDescription(Tool_FileKind::Uft));
    std::printf("  name:     %s\n", font.name.CStr());

    std::uint64_t glyphs = 0;
    std::uint32_t fewest = 0, most = 0;
    std::int32_t lowest = 0, highest = 0;
    const C_BitmapFace* widest = nullptr;
    for (std::uint32_t i = 0; i < font.FaceCount(); ++i) {
        const auto* face = static_cast<const C_BitmapFace*>(font.faces->GetAt(i));
        if (!face) continue;
        const std::uint32_t n = face->GlyphCount();
        glyphs += n;
        const bool first = widest == nullptr;
        fewest = first ? n : std::min(fewest, n);
        lowest = first ? face->code : std::min(lowest, face->code);
        highest = first ? face->code : std::max(highest, face->code);
        if (first || n > most) {
            most = n;
            widest = face;
        }
    }
    if (widest)
        std::printf("  faces:    %u (codes %d to %d)\n", font.FaceCount(), lowest, highest);
    else
        std::printf("  faces:    none\n");
    std::printf("  glyphs:   %llu", static_cast<unsigned long long>(glyphs));
    if (widest && fewest == most)
        std::printf(", %u per face\n", most);
    else if (widest)
        std::printf(", %u to %u per face\n", fewest, most);
    else
        std::printf("\n");
    if (widest && most > 0) std::printf("  variants: %s\n", VariantsOf(*widest).c_str());

    // Glyph surfaces grouped by their planes' formats: an imported font may
    // hold hundreds of alike surfaces.
    std::map<std::string, std::uint32_t> kinds;
    std::uint64_t pixels = 0;
    for (std::uint32_t i = 0; i < font.ImageCount(); ++i) {
        const C_Surface* surface = font.GetImage(static_cast<std::int32_t>(i));
        if (!surface) continue;
        ++kinds[PlanesOf(*surface)];
        pixels += std::uint64_t{surface->GetWidth()} * surface->GetHeight();
    }
    if (kinds.empty()) std::printf("  surfaces: none\n");
    for (const auto& [planes, count] : kinds) std::printf("  surfaces: %u with %s\n", count, planes.c_str());
    if (!kinds.empty()) std::printf("  pixels:   %llu in all surfaces\n", static_cast<unsigned long long>(pixels));
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
    case Tool_FileKind::Uft: return InfoFont(path);
    case Tool_FileKind::Raw: return Tool_Refuse(path, "a raw pixel dump has no header to describe");
    case Tool_FileKind::Unknown: return Tool_Refuse(path, "not a file type the tool knows");
    default: return InfoImage(path, kind);
    }
}
