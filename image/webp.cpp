// WebP reading and writing on libwebp: still pictures, lossy or lossless,
// with or without alpha.
#include <webp/decode.h>
#include <webp/encode.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/error.h"
#include "image/format.h"
#include "image/image.h"
#include "image/internal/codecs.h"
#include "image/internal/reader_support.h"

namespace {

constexpr const char* kSite = "Gfx_Image_LoadWEBP";
constexpr const char* kSaveSite = "Gfx_Image_SaveWEBP";

const char* StatusText(VP8StatusCode status) {
    switch (status) {
    case VP8_STATUS_OUT_OF_MEMORY: return "out of memory";
    case VP8_STATUS_INVALID_PARAM: return "invalid parameter";
    case VP8_STATUS_BITSTREAM_ERROR: return "bitstream error";
    case VP8_STATUS_UNSUPPORTED_FEATURE: return "unsupported feature";
    case VP8_STATUS_SUSPENDED: return "suspended";
    case VP8_STATUS_USER_ABORT: return "aborted";
    case VP8_STATUS_NOT_ENOUGH_DATA: return "the file is cut short";
    default: return "unknown error";
    }
}

const char* CodingName(int format) {
    switch (format) {
    case 1: return "lossy";
    case 2: return "lossless";
    default: return "mixed";
    }
}

// Only RIFF containers are WebP files: libwebp would also take a bare VP8 or
// VP8L bitstream, which the loader never detects as a picture.
bool IsContainer(const std::uint8_t* data, std::size_t size) {
    return size >= 12 && std::memcmp(data, "RIFF", 4) == 0 && std::memcmp(data + 8, "WEBP", 4) == 0;
}

}  // namespace

bool Gfx_Webp_Decode(const std::uint8_t* data, std::size_t size, std::int32_t want, C_Image& image) {
    Gfx_Image_Reset(image);
    if (!IsContainer(data, size)) return Gfx_Codec_Fail(GFX_ERR_BAD_DATA, kSite, "not a WebP file");
    WebPBitstreamFeatures f{};
    const VP8StatusCode status = WebPGetFeatures(data, size, &f);
    if (status != VP8_STATUS_OK)
        return Gfx_Codec_Fail(GFX_ERR_BAD_DATA, kSite, "damaged WebP header (%s)", StatusText(status));
    if (f.has_animation)
        return Gfx_Codec_Fail(GFX_ERR_BAD_DATA, kSite,
                              "animated WebP files are not supported; save one frame as a still picture");
    // WebP's coding has no useful bound on pixels per byte; the overall limit
    // stands alone.
    if (f.width <= 0 || f.height <= 0 || !Gfx_Codec_SizeAllowed(f.width, f.height, size, 0))
        return Gfx_Codec_Fail(GFX_ERR_BAD_DATA, kSite, "the WebP claims %d x %d pixels, more than Quillory loads",
                              f.width, f.height);
    const bool argb = f.has_alpha || want == GFX_FMT_ARGB8888;
    const std::uint32_t bytesPerPixel = argb ? 4 : 3;
    const auto width = static_cast<std::uint32_t>(f.width);
    const auto height = static_cast<std::uint32_t>(f.height);
    const std::uint64_t rowBytes = std::uint64_t{width} * bytesPerPixel;
    if (!Gfx_Image_AllocPixels(image, rowBytes * height, false))
        return Gfx_Codec_Fail(GFX_ERR_NO_MEMORY, kSite, "no memory for %u x %u pixels", width, height);
    const auto stride = static_cast<int>(rowBytes);
    const std::uint8_t* done = argb ? WebPDecodeBGRAInto(data, size, image.data, image.dataSize, stride)
                                    : WebPDecodeBGRInto(data, size, image.data, image.dataSize, stride);
    if (!done) {
        Gfx_Image_Reset(image);
        return Gfx_Codec_Fail(GFX_ERR_BAD_DATA, kSite, "damaged or cut-short WebP picture data");
    }
    image.width = width;
    image.height = height;
    image.format = argb ? GFX_FMT_ARGB8888 : GFX_FMT_RGB888;
    image.bpp = bytesPerPixel * 8;
    image.pitch = image.rowBytes = static_cast<std::uint32_t>(rowBytes);
    return true;
}

bool Gfx_Webp_Describe(const std::uint8_t* data, std::size_t size, Gfx_ImageFileInfo& info) {
    if (!IsContainer(data, size)) return Gfx_Codec_Fail(GFX_ERR_BAD_DATA, kSite, "not a WebP file");
    WebPBitstreamFeatures f{};
    const VP8StatusCode status = WebPGetFeatures(data, size, &f);
    if (status != VP8_STATUS_OK)
        return Gfx_Codec_Fail(GFX_ERR_BAD_DATA, kSite, "damaged WebP header (%s)", StatusText(status));
    info.width = f.width > 0 ? static_cast<std::uint32_t>(f.width) : 0;
    info.height = f.height > 0 ? static_cast<std::uint32_t>(f.height) : 0;
    std::snprintf(info.variant, sizeof info.variant, "%s%s%s", f.has_animation ? "animated" : CodingName(f.format),
                  f.has_alpha ? ", with alpha" : "", f.has_animation ? " (not supported)" : "");
    return true;
}

bool Gfx_Webp_Encode(const C_Image& image, std::FILE* file, std::int32_t quality) {
    if (image.width > WEBP_MAX_DIMENSION || image.height > WEBP_MAX_DIMENSION)
        return Gfx_Codec_Fail(GFX_ERR_FORMAT, kSaveSite, "WebP files cannot be larger than %d x %d pixels",
                              WEBP_MAX_DIMENSION, WEBP_MAX_DIMENSION);
    WebPConfig config;
    WebPPicture picture;
    if (!WebPConfigInit(&config) || !WebPPictureInit(&picture))
        return Gfx_Codec_Fail(GFX_ERR_NO_MEMORY, kSaveSite, "the WebP encoder cannot be set up");
    const bool lossless = quality == GFX_QUALITY_LOSSLESS;
    config.lossless = lossless ? 1 : 0;
    config.quality = lossless ? 75.0f : static_cast<float>(quality);
    // Lossless means every byte: also the colours under fully transparent
    // pixels, which the encoder would otherwise drop.
    config.exact = lossless ? 1 : 0;
    picture.use_argb = lossless ? 1 : 0;
    picture.width = static_cast<int>(image.width);
    picture.height = static_cast<int>(image.height);
    WebPMemoryWriter writer;
    WebPMemoryWriterInit(&writer);
    picture.writer = WebPMemoryWrite;
    picture.custom_ptr = &writer;
    const auto stride = static_cast<int>(image.pitch);
    const bool imported = image.format == GFX_FMT_ARGB8888 ? WebPPictureImportBGRA(&picture, image.data, stride)
                                                           : WebPPictureImportBGR(&picture, image.data, stride);
    const bool encoded = imported && WebPEncode(&config, &picture);
    WebPPictureFree(&picture);
    bool ok = encoded && std::fwrite(writer.mem, 1, writer.size, file) == writer.size;
    WebPMemoryWriterClear(&writer);
    if (!encoded) return Gfx_Codec_Fail(GFX_ERR_NO_MEMORY, kSaveSite, "the WebP encoder failed");
    if (!ok) return Gfx_Codec_Fail(GFX_ERR_OPEN_WRITE, kSaveSite, "the file could not be written");
    return true;
}
