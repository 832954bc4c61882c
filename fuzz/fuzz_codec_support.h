// Shared by the fuzz targets of the whole-file decoders: decode the bytes,
// check the promise that a refusal leaves the image empty, and use what was
// decoded the way a program would.
#pragma once

#include "fuzz_support.h"
#include "image/image_io.h"
#include "image/internal/codecs.h"
#include "surface/surface_io.h"

// WebP's coding gives no bound on pixels per byte, so a few bytes may claim
// the largest picture the loader takes; decoding such claims only measures
// memset speed. Inputs that claim more than this are skipped.
inline constexpr std::uint64_t kFuzzMaxClaimedPixels = 1u << 22;

inline bool Fuzz_ClaimsHugePicture(const std::uint8_t* data, std::size_t size) {
    Gfx_ImageFileInfo info{};
    if (!Gfx_Image_ReadMemoryInfo(data, size, &info)) return false;
    return std::uint64_t{info.width} * info.height > kFuzzMaxClaimedPixels;
}

using Fuzz_Decoder = bool (*)(const std::uint8_t*, std::size_t, std::int32_t, C_Image&);

// Decodes in the natural format and, for small inputs, straight to ARGB8888.
inline void Fuzz_Decode(Fuzz_Decoder decode, const std::uint8_t* data, std::size_t size) {
    for (const std::int32_t want : {GFX_FMT_NONE, GFX_FMT_ARGB8888}) {
        C_Image image;
        if (decode(data, size, want, image)) {
            Fuzz_Check(image.format > 0 && image.data != nullptr, "a decoded picture has pixels");
            Fuzz_UseImage(image);
        } else {
            Fuzz_Check(image.data == nullptr && image.m_palette == nullptr && image.format == GFX_FMT_NONE,
                       "a refused file leaves the image empty");
        }
    }
}
