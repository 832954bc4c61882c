// Format change and cloning, both built on the pixel converter.
#include "image/convert.h"

#include <cstring>
#include <utility>

#include "core/error.h"
#include "core/memory.h"
#include "image/image.h"
#include "image/internal/pixel_convert.h"

namespace {

// A conversion between two different formats needs rules for both, unless
// there are no pixels to convert.
bool PairConvertible(const C_Image& image, const Gfx_FormatDesc& from, const Gfx_FormatDesc& to) {
    return from.format == to.format || image.width == 0 || image.height == 0 ||
           (Gfx_IsConvertibleFormat(from) && Gfx_IsConvertibleFormat(to));
}

// Exchanges everything that describes the pixels and the palette; `locked`
// and `bottomUp` stay with each image.
void ExchangeContents(C_Image& a, C_Image& b) {
    std::swap(a.data, b.data);
    std::swap(a.bpp, b.bpp);
    std::swap(a.width, b.width);
    std::swap(a.height, b.height);
    std::swap(a.pitch, b.pitch);
    std::swap(a.format, b.format);
    std::swap(a.dataSize, b.dataSize);
    std::swap(a.m_palette, b.m_palette);
    std::swap(a.paletteSize, b.paletteSize);
    std::swap(a.palFormat, b.palFormat);
    std::swap(a.palBpp, b.palBpp);
    std::swap(a.rowBytes, b.rowBytes);
}

void CopyPalette(const C_Image& from, C_Image& to) {
    if (!from.m_palette || !to.m_palette) return;
    const std::uint32_t n = from.paletteSize < to.paletteSize ? from.paletteSize : to.paletteSize;
    Mem_Copy(from.m_palette, to.m_palette, n);
}

// Equal pixel sizes: the converter runs from the image into a second header
// over the same bytes, each pixel read before it is overwritten.
bool ChangeInPlace(C_Image& image, const Gfx_FormatDesc& next, std::uint32_t flags) {
    C_Image header;
    header.data = image.data;
    header.bpp = next.bitsPerPixel;
    header.width = image.width;
    header.height = image.height;
    header.pitch = image.pitch;
    header.format = next.format;
    header.dataSize = image.dataSize;
    header.rowBytes = image.rowBytes;
    header.bottomUp = image.bottomUp;
    header.locked = 1;  // the bytes stay the image's
    if (!Gfx_Image_Copy_24to32(&image, &header, flags)) return false;
    image.format = next.format;
    return true;
}

// Other sizes: convert into a new image, then hand its buffers over.
bool ChangeThroughNewImage(C_Image& image, const Gfx_FormatDesc& next, std::int32_t newPalFormat, std::uint32_t flags) {
    const std::int32_t palFormat = newPalFormat == GFX_FMT_SAME ? image.palFormat : newPalFormat;
    C_Image fresh;
    // The stored row order goes with the image, so the new rows are laid
    // out the way the image's flag will read them.
    fresh.bottomUp = image.bottomUp;
    if (!fresh.CreateEmpty(image.width, image.height, next.format, palFormat)) return false;
    // Nothing would fill the new palette: an unchanged palette format keeps
    // its entries, any other starts zeroed.
    if (fresh.palFormat == image.palFormat) CopyPalette(image, fresh);
    if (!Gfx_Image_Copy_24to32(&image, &fresh, flags)) return false;
    ExchangeContents(image, fresh);
    fresh.locked = image.locked;  // a borrowed old buffer is not freed with `fresh`
    image.locked = 0;
    return true;
}

}  // namespace

bool Gfx_Image_Copy_24to32(const C_Image* pImageSrc, C_Image* pImageDst, std::uint32_t /*flags*/) {
    return Gfx_Image_CopyPixels(pImageSrc, pImageDst, Gfx_RowPath::Fastest);
}

bool Gfx_Image_ChangeFormat(C_Image* pImage, std::int32_t newFormat, std::int32_t newPalFormat, std::uint32_t flags) {
    constexpr const char* kSite = "Gfx_Image_ChangeFormat";
    if (!pImage) return Gfx_Fail(GFX_ERR_NULL_ARG, "Gfx_Image_ChangeFormat{pImageSrc->format}", kSite);
    C_Image& image = *pImage;
    Gfx_FormatDesc current, next;
    if (!Gfx_GetFormatDesc(image.format, &current))
        return Gfx_Fail(GFX_ERR_FORMAT, "Gfx_Image_ChangeFormat{pImage->format}", kSite);
    if (!Gfx_GetFormatDesc(newFormat, &next))
        return Gfx_Fail(GFX_ERR_FORMAT, "Gfx_Image_ChangeFormat{newFormat}", kSite);
    if (!Gfx_GetFormatDesc(newPalFormat, nullptr))
        return Gfx_Fail(GFX_ERR_PALETTE_FORMAT, "Gfx_Image_ChangeFormat{newPalFormat}", kSite);
    if (newFormat == GFX_FMT_SAME || newFormat == image.format) return true;
    if (!PairConvertible(image, current, next)) {
        const bool imageSide = !Gfx_IsConvertibleFormat(current);
        return Gfx_Fail(GFX_ERR_FORMAT,
                        imageSide ? "Gfx_Image_ChangeFormat{pImage->format}" : "Gfx_Image_ChangeFormat{newFormat}",
                        kSite);
    }

    const bool ok = next.bitsPerPixel == current.bitsPerPixel ? ChangeInPlace(image, next, flags)
                                                              : ChangeThroughNewImage(image, next, newPalFormat, flags);
    return ok || Gfx_FailSummary(kSite);
}

bool Gfx_Image_Clone(const C_Image* pImageSrc, C_Image* pImageDst, std::int32_t newFormat, std::int32_t newPalFormat,
                     std::uint32_t flags) {
    constexpr const char* kSite = "Gfx_Image_Clone";
    if (!pImageSrc) return Gfx_Fail(GFX_ERR_NULL_ARG, "Gfx_Image_Clone{pImageSrc}", kSite);
    if (!pImageDst) return Gfx_Fail(GFX_ERR_NULL_ARG, "Gfx_Image_Clone{pImageDst}", kSite);
    if (newFormat == GFX_FMT_SAME) newFormat = pImageSrc->format;
    if (newPalFormat == GFX_FMT_SAME) newPalFormat = pImageSrc->palFormat;
    Gfx_FormatDesc from, to;
    if (!Gfx_GetFormatDesc(pImageSrc->format, &from))
        return Gfx_Fail(GFX_ERR_FORMAT, "Gfx_Image_Clone{pImageSrc->format}", kSite);
    if (!Gfx_GetFormatDesc(newFormat, &to)) return Gfx_Fail(GFX_ERR_FORMAT, "Gfx_Image_Clone{newFormat}", kSite);
    if (!Gfx_GetFormatDesc(newPalFormat, nullptr))
        return Gfx_Fail(GFX_ERR_PALETTE_FORMAT, "Gfx_Image_Clone{newPalFormat}", kSite);
    // Refused before the destination is touched.
    if (!PairConvertible(*pImageSrc, from, to)) {
        const bool sourceSide = !Gfx_IsConvertibleFormat(from);
        return Gfx_Fail(GFX_ERR_FORMAT,
                        sourceSide ? "Gfx_Image_Clone{pImageSrc->format}" : "Gfx_Image_Clone{newFormat}", kSite);
    }

    // Cloning an image into itself works from a private copy, since the
    // destination is rebuilt before the pixels are read.
    C_Image selfCopy;
    if (pImageSrc == pImageDst) {
        selfCopy = *pImageSrc;
        if (pImageSrc->data && !selfCopy.data) return Gfx_FailSummary(kSite);  // the copy could not be made
        pImageSrc = &selfCopy;
    }
    const C_Image& src = *pImageSrc;
    C_Image& dst = *pImageDst;
    if (!dst.CreateEmpty(src.width, src.height, newFormat, newPalFormat)) return Gfx_FailSummary(kSite);
    if (to.isPalette) CopyPalette(src, dst);
    if (!Gfx_Image_Copy_24to32(&src, &dst, flags)) return Gfx_FailSummary(kSite);
    return true;
}
