// Gfx_Image_LoadMemory: detection by content, every reader and decoder, the
// conversion to the format asked for, and the description of the header.
#include "fuzz_codec_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (Fuzz_ClaimsHugePicture(data, size)) return 0;
    Gfx_ImageFileInfo info{};
    Gfx_Image_ReadMemoryInfo(data, size, &info);
    Fuzz_Check(info.variant[sizeof info.variant - 1] == '\0', "the description ends inside its buffer");
    // The last byte picks the format asked for: natural, ARGB8888 or another.
    static const std::int32_t kFormats[] = {GFX_FMT_NONE, GFX_FMT_ARGB8888, GFX_FMT_RGB565, GFX_FMT_CH8};
    const std::int32_t want = size ? kFormats[data[size - 1] % 4] : GFX_FMT_NONE;
    C_Image image;
    if (Gfx_Image_LoadMemory(&image, data, size, want)) {
        Fuzz_Check(want == GFX_FMT_NONE || image.format == want, "the picture comes in the format asked for");
        Fuzz_Check(!image.bottomUp, "the picture is top-down");
        Fuzz_UseImage(image);
        C_Surface surface;
        if (Fuzz_SmallEnoughToDraw(&image) && Gfx_Surface_FromImage(&surface, &image)) Fuzz_DrawSurface(surface);
    } else {
        Fuzz_Check(image.data == nullptr && image.m_palette == nullptr && image.format == GFX_FMT_NONE,
                   "a refused file leaves the image empty");
        Fuzz_Check(Gfx_GetErrorReason()[0] != '\0', "a refusal gives a reason");
    }
    return 0;
}
