// The decoders and encoders behind Gfx_Image_LoadFile and Gfx_Image_SaveFile
// that work on whole files in memory (the libjpeg-turbo, giflib and libwebp
// ones). Each lives in a file of its own, compiled only when its library was
// found: QUILLORY_HAVE_JPEG, QUILLORY_HAVE_GIF and QUILLORY_HAVE_WEBP say
// which are present.
//
// Decoders get an empty image and fill it in the format they give naturally,
// or straight in GFX_FMT_ARGB8888 (alpha 255 where the file has none) when
// `want` asks for it and that costs nothing extra. On failure they return
// false with the image empty and the error record set through
// Gfx_Codec_Fail, whose reason does not name the file: the loader adds it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "image/image_io.h"

class C_Image;

// Records `code` with "<site>(stream)", the site's summary line, and the
// reason made from `format`. Returns false.
bool Gfx_Codec_Fail(std::int32_t code, const char* site, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 3, 4)))
#endif
    ;

// Whether a picture of width × height may be decoded from `bytes` bytes of
// data when the format cannot put more than `pixelsPerByte` pixels in a byte
// (0: no such bound): at most GFX_IMAGE_MAX_PIXELS, and beyond a small
// allowance no more than the data can expand to.
bool Gfx_Codec_SizeAllowed(std::uint64_t width, std::uint64_t height, std::uint64_t bytes, std::uint64_t pixelsPerByte);

bool Gfx_Jpeg_Decode(const std::uint8_t* data, std::size_t size, std::int32_t want, C_Image& image);
bool Gfx_Jpeg_Describe(const std::uint8_t* data, std::size_t size, Gfx_ImageFileInfo& info);
// `image` is GFX_FMT_RGB888, GFX_FMT_ARGB8888 (alpha ignored) or GFX_FMT_CH8
// (a grey JPEG); quality 1-100.
bool Gfx_Jpeg_Encode(const C_Image& image, std::FILE* file, std::int32_t quality);

bool Gfx_Gif_Decode(const std::uint8_t* data, std::size_t size, std::int32_t want, C_Image& image);
bool Gfx_Gif_Describe(const std::uint8_t* data, std::size_t size, Gfx_ImageFileInfo& info);

bool Gfx_Webp_Decode(const std::uint8_t* data, std::size_t size, std::int32_t want, C_Image& image);
bool Gfx_Webp_Describe(const std::uint8_t* data, std::size_t size, Gfx_ImageFileInfo& info);
// `image` is GFX_FMT_RGB888 or GFX_FMT_ARGB8888 (alpha kept); quality 1-100,
// or GFX_QUALITY_LOSSLESS.
bool Gfx_Webp_Encode(const C_Image& image, std::FILE* file, std::int32_t quality);

// Makes `out` a top-down GFX_FMT_ARGB8888 copy of `in` as viewers show it:
// narrow channels widened by bit replication, alpha 255 where `in` has none,
// one-channel (grey) values into red, green and blue, palette indices looked
// up. False, with the reason set, when the format cannot be read or the
// memory cannot be had.
bool Gfx_Image_WidenToARGB(const C_Image& in, C_Image& out);
// Whether the picture carries alpha a viewer would honour: a format with an
// alpha channel (or a palette whose entries have one) where some pixel is not
// fully opaque.
bool Gfx_Image_HasVisibleAlpha(const C_Image& image);
// Moves `from`'s buffers and fields into `to` (whose own are released);
// `from` is left empty.
void Gfx_Image_Move(C_Image& to, C_Image& from);
