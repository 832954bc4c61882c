// quillory convert IN OUT: pictures between the image object file, the
// common image files and raw dumps.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/error.h"
#include "image/convert.h"
#include "image/format.h"
#include "image/image.h"
#include "image/image_io.h"
#include "image/png.h"
#include "tools/commands.h"
#include "tools/tool.h"

namespace {

bool Readable(Tool_FileKind kind) {
    switch (kind) {
    case Tool_FileKind::Img:
    case Tool_FileKind::Bmp:
    case Tool_FileKind::Pcx:
    case Tool_FileKind::Tga:
    case Tool_FileKind::Png:
    case Tool_FileKind::Jpeg:
    case Tool_FileKind::Gif:
    case Tool_FileKind::Webp: return true;
    default: return false;
    }
}

bool Writable(Tool_FileKind kind) {
    switch (kind) {
    case Tool_FileKind::Img:
    case Tool_FileKind::Png:
    case Tool_FileKind::Raw:
    case Tool_FileKind::Jpeg:
    case Tool_FileKind::Webp:
    case Tool_FileKind::Bmp:
    case Tool_FileKind::Tga: return true;
    default: return false;
    }
}

bool RawWritable(std::int32_t format) {
    Gfx_FormatDesc d{};
    if (format <= 0 || !Gfx_GetFormatDesc(format, &d) || d.kind != GFX_KIND_UINT) return false;
    return d.bitsPerPixel == 8 || d.bitsPerPixel == 16 || d.bitsPerPixel == 24 || d.bitsPerPixel == 32;
}

// The PNG-writable format closest to `format`: grey for one channel, RGB for
// three (an alpha-less source converted to ARGB8888 would get alpha 0, which
// PNG shows as transparent), ARGB8888 for four. GFX_FMT_NONE when none fits.
std::int32_t PngFormatFor(std::int32_t format) {
    Gfx_FormatDesc d{};
    if (format <= 0 || !Gfx_GetFormatDesc(format, &d) || d.isPalette) return GFX_FMT_NONE;
    switch (d.channels) {
    case 1: return GFX_FMT_CH8;
    case 3: return GFX_FMT_RGB888;
    case 4: return GFX_FMT_ARGB8888;
    default: return GFX_FMT_NONE;
    }
}

// True when the format has an 8-bit alpha channel and every pixel's alpha is
// 0: saved with that alpha, the picture shows as fully transparent.
bool AlphaAllZero(const C_Image& image) {
    Gfx_FormatDesc d{};
    if (!Gfx_GetFormatDesc(image.format, &d) || d.bitsPerPixel != 32 || d.bits[3] != 8 || d.kind != GFX_KIND_UINT)
        return false;
    const std::size_t at = d.shift[3] / 8;
    for (std::uint32_t y = 0; y < image.height; ++y) {
        const std::uint8_t* row = image.Row(y);
        for (std::uint32_t x = 0; x < image.width; ++x)
            if (row[std::size_t{x} * 4 + at] != 0) return false;
    }
    return true;
}

bool ChangeFormat(C_Image& image, std::int32_t format) {
    Gfx_ClearError();
    return Gfx_Image_ChangeFormat(&image, format, GFX_FMT_SAME, 0);
}

}  // namespace

int Tool_Convert(const Tool_Command& self, const std::vector<std::string>& args) {
    Tool_Args parsed;
    std::string problem;
    if (!Tool_ParseArgs(args, {"--format", "--quality"}, {"--opaque"}, parsed, problem))
        return Tool_Usage(self, problem);
    if (parsed.positional.size() != 2)
        return Tool_Usage(self, parsed.positional.size() < 2 ? "needs IN and OUT" : "too many arguments");
    const std::string& in = parsed.positional[0];
    const std::string& out = parsed.positional[1];
    std::int32_t format = GFX_FMT_SAME;
    if (const std::string* text = parsed.Value("--format"); text && !Tool_ParseFormat(*text, format))
        return Tool_Usage(self, "unknown pixel format '" + *text + "'");
    const bool opaque = parsed.Has("--opaque");
    std::int32_t quality = GFX_QUALITY_DEFAULT;
    if (const std::string* text = parsed.Value("--quality")) {
        char* end = nullptr;
        const long q = std::strtol(text->c_str(), &end, 10);
        const bool lossless = *text == "lossless";
        if (!lossless && (end == text->c_str() || *end || q < 1 || q > 100))
            return Tool_Usage(self, "--quality takes 1 to 100, or lossless");
        quality = lossless ? GFX_QUALITY_LOSSLESS : static_cast<std::int32_t>(q);
    }

    const Tool_FileKind outKind = Tool_KindOfName(out);
    if (!Writable(outKind)) return Tool_Usage(self, "OUT must end in .png, .jpg, .webp, .bmp, .tga, .img or .raw");
    if (opaque && outKind != Tool_FileKind::Png) return Tool_Usage(self, "--opaque applies to PNG output only");
    Tool_FileKind inKind = Tool_KindOfName(in);
    if (inKind == Tool_FileKind::Raw) return Tool_Usage(self, "raw dumps have no header and cannot be read");
    if (!Tool_KindOfFile(in, inKind)) return Tool_CannotOpen(in);
    if (!Readable(inKind))
        return Tool_Refuse(in, std::string("is not a picture the tool reads (") + Tool_KindDescription(inKind) + ")");

    C_Image image;
    if (!Tool_LoadImage(in, inKind, image)) return Tool_Fail(in, "read");
    if (image.IsEmpty() || image.format == GFX_FMT_NONE)
        return Tool_Refuse(in, "holds no pixels the reader decodes (an unsupported variant)");
    if (format != GFX_FMT_SAME && !ChangeFormat(image, format))
        return Tool_Fail(in, "convert", " to format " + Tool_FormatLabel(format));

    if (outKind == Tool_FileKind::Png && !Gfx_Image_IsPNGFormat(image.format)) {
        const std::int32_t fit = PngFormatFor(image.format);
        if (format != GFX_FMT_SAME || fit == GFX_FMT_NONE)
            return Tool_Refuse(out, "PNG files cannot hold format " + Tool_FormatLabel(image.format));
        if (!ChangeFormat(image, fit)) return Tool_Fail(in, "convert", " to format " + Tool_FormatLabel(fit));
    }
    if (outKind == Tool_FileKind::Raw && !RawWritable(image.format))
        return Tool_Refuse(
            out, "raw dumps hold only 8-, 16-, 24- and 32-bit integer formats, not " + Tool_FormatLabel(image.format));
    if (outKind == Tool_FileKind::Png && !opaque && AlphaAllZero(image))
        std::fprintf(stderr,
                     "quillory: note: every pixel of '%s' has alpha 0, so viewers show '%s' as fully "
                     "transparent; --opaque leaves the alpha out\n",
                     in.c_str(), out.c_str());
    if (!Tool_SaveImage(image, out, outKind, opaque, quality)) return Tool_Fail(out, "write");
    return TOOL_OK;
}
