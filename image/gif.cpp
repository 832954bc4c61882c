// GIF reading on giflib: the first frame, placed on the logical screen.
//
// The result is an 8-bit index image with a palette of GFX_FMT_ARGB8888
// entries: the frame's colour table (local, else global, else a grey ramp),
// the transparent index (from the graphic control extension before the
// frame) with alpha 0 and every other entry opaque. Pixels outside the frame
// take the transparent index when there is one, else the background index;
// indices past the colour table show as opaque black. Only the first frame is
// decoded: what follows it is never read.
#include <gif_lib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/error.h"
#include "core/memory.h"
#include "image/format.h"
#include "image/image.h"
#include "image/internal/codecs.h"
#include "image/internal/reader_support.h"

namespace {

constexpr const char* kSite = "Gfx_Image_LoadGIF";

// LZW codes are at least 3 bits long and none stands for more than 4096
// pixels, so a byte of picture data yields at most 8 / 3 × 4096 pixels.
constexpr std::uint64_t kPixelsPerByte = 10923;

struct MemoryInput {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t at;
};

int ReadInput(GifFileType* gif, GifByteType* out, int count) {
    auto* in = static_cast<MemoryInput*>(gif->UserData);
    if (count <= 0) return 0;
    const std::size_t left = in->size - in->at;
    const std::size_t n = static_cast<std::size_t>(count) < left ? static_cast<std::size_t>(count) : left;
    std::memcpy(out, in->data + in->at, n);
    in->at += n;
    return static_cast<int>(n);
}

// Closes the decoder whatever state it is in.
struct GifCloser {
    GifFileType* gif = nullptr;
    ~GifCloser() {
        int ignored = 0;
        if (gif) DGifCloseFile(gif, &ignored);
    }
};

const char* GifReason(const GifFileType* gif) {
    const char* text = GifErrorString(gif->Error);
    return text ? text : "unknown error";
}

// Reads records up to the first frame's descriptor, keeping the transparent
// index of the graphic control extension on the way. False at the end of the
// file or on a damaged record.
bool FindFirstFrame(GifFileType* gif, int& transparent, bool& found) {
    found = false;
    transparent = NO_TRANSPARENT_COLOR;
    for (;;) {
        GifRecordType type = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif, &type) == GIF_ERROR) return false;
        if (type == IMAGE_DESC_RECORD_TYPE) {
            if (DGifGetImageDesc(gif) == GIF_ERROR) return false;
            found = true;
            return true;
        }
        if (type == TERMINATE_RECORD_TYPE) return true;
        if (type != EXTENSION_RECORD_TYPE) continue;
        int code = 0;
        GifByteType* block = nullptr;
        if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) return false;
        if (code == GRAPHICS_EXT_FUNC_CODE && block && block[0] >= 4) {
            GraphicsControlBlock gcb{};
            if (DGifExtensionToGCB(block[0], block + 1, &gcb) == GIF_OK) transparent = gcb.TransparentColor;
        }
        while (block) {
            if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) return false;
        }
    }
}

void BuildPalette(const GifFileType* gif, int transparent, std::uint8_t* palette) {
    const ColorMapObject* map = gif->Image.ColorMap ? gif->Image.ColorMap : gif->SColorMap;
    for (int i = 0; i < 256; ++i) {
        std::uint8_t* e = palette + 4 * i;
        if (!map) {
            e[0] = e[1] = e[2] = static_cast<std::uint8_t>(i);
        } else if (i < map->ColorCount && map->Colors) {
            e[0] = map->Colors[i].Blue;
            e[1] = map->Colors[i].Green;
            e[2] = map->Colors[i].Red;
        } else {
            e[0] = e[1] = e[2] = 0;
        }
        e[3] = i == transparent ? 0 : 0xFF;
    }
}

// Rows of an interlaced frame come in four passes: every 8th row from 0,
// every 8th from 4, every 4th from 2, every 2nd from 1.
std::uint32_t InterlacedRow(std::uint32_t n, std::uint32_t height) {
    static const std::uint32_t kStart[4] = {0, 4, 2, 1};
    static const std::uint32_t kStep[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass) {
        const std::uint32_t rows = height > kStart[pass] ? (height - kStart[pass] + kStep[pass] - 1) / kStep[pass] : 0;
        if (n < rows) return kStart[pass] + n * kStep[pass];
        n -= rows;
    }
    return height;  // not reached for n < height
}

bool Open(const std::uint8_t* data, std::size_t size, MemoryInput& input, GifCloser& closer) {
    input = {data, size, 0};
    int error = 0;
    closer.gif = DGifOpen(&input, ReadInput, &error);
    if (!closer.gif) {
        const char* text = GifErrorString(error);
        return Gfx_Codec_Fail(GFX_ERR_BAD_DATA, kSite, "damaged GIF header (%s)", text ? text : "unknown error");
    }
    return true;
}

}  // namespace

bool Gfx_Gif_Decode(const std::uint8_t* data, std::size_t size, std::int32_t, C_Image& image) {
    Gfx_Image_Reset(image);
    MemoryInput input{};
    GifCloser closer;
    if (!Open(data, size, input, closer)) return false;
    GifFileType* gif = closer.gif;
    int transparent = NO_TRANSPARENT_COLOR;
    bool found = false;
    if (!FindFirstFrame(gif, transparent, found))
        return Gfx_Codec_Fail(GFX_ERR_BAD_DATA, kSite, "damaged GIF (%s)", GifReason(gif));
    if (!found) return Gfx_Codec_Fail(GFX_ERR_BAD_DATA, kSite, "the GIF holds no picture");

    const GifImageDesc& frame = gif->Image;
    if (frame.Left < 0 || frame.Top < 0 || frame.Width <= 0 || frame.Height <= 0)
        return Gfx_Codec_Fail(GFX_ERR_BAD_DATA, kSite, "the GIF's first frame has no size");
    // The picture is the logical screen, grown where the frame reaches past it.
    const std::uint64_t right = std::uint64_t(frame.Left) + std::uint64_t(frame.Width);
    const std::uint64_t bottom = std::uint64_t(frame.Top) + std::uint64_t(frame.Height);
    const std::uint64_t width = gif->SWidth > 0 && std::uint64_t(gif->SWidth) > right ? gif->SWidth : right;
    const std::uint64_t height = gif->SHeight > 0 && std::uint64_t(gif->SHeight) > bottom ? gif->SHeight : bottom;
    if (!Gfx_Codec_SizeAllowed(width, height, size, kPixelsPerByte))
        return Gfx_Codec_Fail(GFX_ERR_BAD_DATA, kSite,
                              "the GIF claims %llu x %llu pixels, more than its %zu bytes can hold or more than "
                              "Quillory loads",
                              static_cast<unsigned long long>(width), static_cast<unsigned long long>(height), size);

    const int fillIndex = transparent != NO_TRANSPARENT_COLOR ? transparent : gif->SBackGroundColor;
    if (!Gfx_Image_AllocPixels(image, width * height, false) || !Gfx_Image_AllocPalette(image, 256 * 4)) {
        Gfx_Image_Reset(image);
        return Gfx_Codec_Fail(GFX_ERR_NO_MEMORY, kSite, "no memory for %llu x %llu pixels",
                              static_cast<unsigned long long>(width), static_cast<unsigned long long>(height));
    }
    image.width = static_cast<std::uint32_t>(width);
    image.height = static_cast<std::uint32_t>(height);
    image.format = GFX_FMT_INDEX8;
    image.bpp = 8;
    image.pitch = image.rowBytes = image.width;
    image.palFormat = GFX_FMT_ARGB8888;
    image.palBpp = 32;
    std::memset(image.data, fillIndex & 0xFF, image.dataSize);
    BuildPalette(gif, transparent, image.m_palette);

    const auto frameHeight = static_cast<std::uint32_t>(frame.Height);
    for (std::uint32_t n = 0; n < frameHeight; ++n) {
        const std::uint32_t y = frame.Interlace ? InterlacedRow(n, frameHeight) : n;
        std::uint8_t* row = image.data + (std::size_t{y} + static_cast<std::size_t>(frame.Top)) * image.pitch +
                            static_cast<std::size_t>(frame.Left);
        if (DGifGetLine(gif, row, frame.Width) == GIF_ERROR) {
            const bool ok =
                Gfx_Codec_Fail(GFX_ERR_BAD_DATA, kSite, "damaged or cut-short GIF picture data (%s)", GifReason(gif));
            Gfx_Image_Reset(image);
            return ok;
        }
    }
    return true;
}

bool Gfx_Gif_Describe(const std::uint8_t* data, std::size_t size, Gfx_ImageFileInfo& info) {
    MemoryInput input{};
    GifCloser closer;
    if (!Open(data, size, input, closer)) return false;
    GifFileType* gif = closer.gif;
    info.width = gif->SWidth > 0 ? static_cast<std::uint32_t>(gif->SWidth) : 0;
    info.height = gif->SHeight > 0 ? static_cast<std::uint32_t>(gif->SHeight) : 0;
    int transparent = NO_TRANSPARENT_COLOR;
    bool found = false;
    const bool read = FindFirstFrame(gif, transparent, found);
    const char* version = size >= 6 && std::memcmp(data, "GIF87a", 6) == 0 ? "GIF87a" : "GIF89a";
    if (!read || !found) {
        std::snprintf(info.variant, sizeof info.variant, "%s, %s", version, read ? "no picture" : "damaged");
        return true;
    }
    std::snprintf(info.variant, sizeof info.variant, "%s, first frame %dx%d at %d,%d, %s colour table%s%s", version,
                  gif->Image.Width, gif->Image.Height, gif->Image.Left, gif->Image.Top,
                  gif->Image.ColorMap ? "local" : (gif->SColorMap ? "global" : "no"),
                  gif->Image.Interlace ? ", interlaced" : "",
                  transparent != NO_TRANSPARENT_COLOR ? ", transparent index" : "");
    return true;
}
