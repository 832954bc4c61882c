// The image object record: header, optional palette, then the pixel rows for
// the formats whose rows are stored.
#include <cstdlib>
#include <cstring>
#include <limits>

#include "core/error.h"
#include "core/memory.h"
#include "core/stream.h"
#include "image/image.h"
#include "image/internal/load_budget.h"

namespace {

constexpr const char* kLoadSite = "C_Image::LoadFromStream";
constexpr const char* kSaveSite = "C_Image::SaveToStream";

// The budget this thread's current load draws from; null outside a load.
thread_local void* t_openBudget = nullptr;

bool RowsStored(std::int32_t format) {
    switch (format) {
    case 2:
    case 3:
    case 4:
    case 6:
    case 12:
    case 27:
    case 7:
    case 13:
    case 14:
    case 15:
    case 16:
    case 17:
    case 18:
    case 19:
    case 20:
    case 28:
    case 29:
    case 30:
    case 31:
    case 32:
    case 33:
    case 34:
    case 35:
    case 8:
    case 21:
    case 36:
    case 9:
    case 10:
    case 23:
    case 24:
    case 38:
    case 39:
    case 11:
    case 42:
    case 43:
    case 44:
    case 45:
    case 46:
    case 47: return true;
    default: return false;
    }
}

struct Header {
    std::uint32_t dataSize, width, height, pitch, bpp;
    std::int32_t format;
    std::uint32_t paletteSize;
};

bool ReadHeader(C_Stream* stream, Header& h) {
    return C_Stream::ReadValue(stream, h.dataSize) && C_Stream::ReadValue(stream, h.width) &&
           C_Stream::ReadValue(stream, h.height) && C_Stream::ReadValue(stream, h.pitch) &&
           C_Stream::ReadValue(stream, h.bpp) && C_Stream::ReadValue(stream, h.format) &&
           C_Stream::ReadValue(stream, h.paletteSize);
}

// A palette in a real pixel format must hold all 256 entries of it, as every
// palette the framework makes does: pixel values index it unchecked. Palettes
// of no (or an unknown) format are kept as stored; nothing reads them as
// colours.
bool PaletteConsistent(std::int32_t palFormat, std::uint32_t palBpp, std::uint32_t paletteSize) {
    Gfx_FormatDesc pd{};
    if (palFormat <= 0 || !Gfx_GetFormatDesc(palFormat, &pd)) return true;
    return palBpp == pd.bitsPerPixel && paletteSize >= 256u * pd.bytesPerPixel;
}

// The checks that make the header safe to act on: the pixel buffer it
// describes holds every row it claims, and the stream holds what it promises.
bool HeaderConsistent(const Header& h, const Gfx_FormatDesc& d, std::uint64_t remaining, std::uint64_t& rowBytes,
                      std::uint64_t& unbacked) {
    if (h.bpp != d.bitsPerPixel) return false;
    rowBytes = Gfx_RowBytes(h.width, h.bpp);
    if (rowBytes > std::numeric_limits<std::uint32_t>::max()) return false;
    if (h.height > 0 && rowBytes > 0) {
        if (h.pitch < rowBytes) return false;
        const std::uint64_t needed = std::uint64_t{h.pitch} * (h.height - 1) + rowBytes;
        if (h.dataSize < needed) return false;
    }
    const std::uint64_t carried = RowsStored(h.format) ? rowBytes * h.height : 0;
    if (carried > remaining) return false;
    unbacked = h.dataSize > carried ? h.dataSize - carried : 0;
    return true;
}

}  // namespace

C_LoadBudget::C_LoadBudget() : m_own{GFX_LOAD_UNBACKED_BUDGET, false}, m_state(&m_own), m_outermost(!t_openBudget) {
    if (m_outermost)
        t_openBudget = &m_own;
    else
        m_state = static_cast<State*>(t_openBudget);
}

C_LoadBudget::~C_LoadBudget() {
    if (m_outermost) t_openBudget = nullptr;
}

bool C_LoadBudget::Take(std::uint64_t bytes) {
    if (bytes > m_state->left) {
        m_state->exceeded = true;
        return false;
    }
    m_state->left -= bytes;
    return true;
}

bool C_Image::SaveToStream(C_Stream* stream, std::uint32_t) {
    Gfx_FormatDesc d;
    if (!Gfx_GetFormatDesc(format, &d)) return Gfx_Fail(GFX_ERR_FORMAT, "C_Image::SaveToStream{format}", kSaveSite);
    bool ok = Gfx_WriteClassTag(stream, GFX_CLASS_IMAGE) && C_Stream::WriteValue(stream, dataSize) &&
              C_Stream::WriteValue(stream, width) && C_Stream::WriteValue(stream, height) &&
              C_Stream::WriteValue(stream, pitch) && C_Stream::WriteValue(stream, bpp) &&
              C_Stream::WriteValue(stream, format);
    if (ok && m_palette && paletteSize) {
        ok = C_Stream::WriteValue(stream, paletteSize) && C_Stream::WriteValue(stream, palFormat) &&
             C_Stream::WriteValue(stream, palBpp) &&
             C_Stream::WriteBytes(stream, m_palette, paletteSize) == paletteSize;
    } else if (ok) {
        ok = C_Stream::WriteValue(stream, std::uint32_t{0});
    }
    const std::size_t row = static_cast<std::size_t>(Gfx_RowBytes(width, bpp));
    // Rows of no bytes write nothing, however many a header claims.
    if (ok && RowsStored(format) && data && row) {
        for (std::uint32_t y = 0; ok && y < height; ++y)
            ok = C_Stream::WriteBytes(stream, data + std::size_t{y} * pitch, row) == row;
    }
    if (!ok) return Gfx_Fail(GFX_ERR_OPEN_WRITE, "C_Image::SaveToStream{stream}", kSaveSite);
    return true;
}

bool C_Image::LoadFromStream(C_Stream* stream, std::uint32_t) {
    Free();
    Init();
    if (!Gfx_ReadClassTag(stream, GFX_CLASS_IMAGE, "C_Image")) return false;
    C_LoadBudget budget;

    // Everything is read and checked into locals first; the image stays empty
    // until the whole record has proved good.
    Header h{};
    if (!ReadHeader(stream, h)) return Gfx_Fail(GFX_ERR_BAD_DATA, "C_Image::LoadFromStream{header}", kLoadSite);
    std::int32_t newPalFormat = GFX_FMT_NONE;
    std::uint32_t newPalBpp = 0;
    std::uint8_t* palette = nullptr;
    std::uint32_t newPaletteSize = 0;
    if (static_cast<std::int32_t>(h.paletteSize) > 0) {
        if (!C_Stream::ReadValue(stream, newPalFormat) || !C_Stream::ReadValue(stream, newPalBpp) ||
            !PaletteConsistent(newPalFormat, newPalBpp, h.paletteSize) || h.paletteSize > C_Stream::Remaining(stream))
            return Gfx_Fail(GFX_ERR_BAD_DATA, "C_Image::LoadFromStream{m_palette}", kLoadSite);
        palette = static_cast<std::uint8_t*>(std::malloc(h.paletteSize));
        if (!palette) return Gfx_Fail(GFX_ERR_NO_MEMORY, "C_Image::LoadFromStream{m_palette}", kLoadSite);
        if (C_Stream::ReadBytes(stream, palette, h.paletteSize) != h.paletteSize) {
            std::free(palette);
            return Gfx_Fail(GFX_ERR_BAD_DATA, "C_Image::LoadFromStream{m_palette}", kLoadSite);
        }
        newPaletteSize = h.paletteSize;
    }

    Gfx_FormatDesc d;
    if (!Gfx_GetFormatDesc(h.format, &d)) {
        std::free(palette);
        return Gfx_Fail(GFX_ERR_FORMAT, "C_Image::LoadFromStream{format}", kLoadSite);
    }
    std::uint64_t row = 0;
    std::uint64_t unbacked = 0;
    if (!HeaderConsistent(h, d, C_Stream::Remaining(stream), row, unbacked)) {
        std::free(palette);
        return Gfx_Fail(GFX_ERR_BAD_DATA, "C_Image::LoadFromStream{dataSize}", kLoadSite);
    }
    if (!budget.Take(unbacked)) {
        std::free(palette);
        Gfx_Fail(GFX_ERR_BAD_DATA, "C_Image::LoadFromStream{dataSize}", kLoadSite);
        Gfx_SetErrorReason("the file describes more than %llu MiB of pixel memory beyond the bytes it carries",
                           static_cast<unsigned long long>(GFX_LOAD_UNBACKED_BUDGET >> 20));
        return false;
    }
    std::uint8_t* pixels = nullptr;
    if (h.dataSize) {
        // Zeroed so bytes the record does not carry never expose old memory.
        pixels = static_cast<std::uint8_t*>(std::calloc(h.dataSize, 1));
        if (!pixels) {
            std::free(palette);
            return Gfx_Fail(GFX_ERR_NO_MEMORY, "C_Image::LoadFromStream{data}", kLoadSite);
        }
    }
    if (RowsStored(h.format)) {
        for (std::uint32_t y = 0; y < h.height && row; ++y) {
            if (C_Stream::ReadBytes(stream, pixels + std::size_t{y} * h.pitch, row) != row) {
                std::free(pixels);
                std::free(palette);
                return Gfx_Fail(GFX_ERR_BAD_DATA, "C_Image::LoadFromStream{data}", kLoadSite);
            }
        }
    }

    data = pixels;
    dataSize = h.dataSize;
    width = h.width;
    height = h.height;
    pitch = h.pitch;
    bpp = h.bpp;
    format = h.format;
    rowBytes = static_cast<std::uint32_t>(row);
    m_palette = palette;
    paletteSize = newPaletteSize;
    palFormat = newPalFormat;
    palBpp = newPalBpp;
    if (data) Mem_AddUsage(dataSize);
    if (m_palette) Mem_AddUsage(paletteSize);
    return true;
}
