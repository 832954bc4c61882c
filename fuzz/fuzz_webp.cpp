// The WebP decoder behind Gfx_Image_LoadFile.
#include "fuzz_codec_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (Fuzz_ClaimsHugePicture(data, size)) return 0;
    Fuzz_Decode(Gfx_Webp_Decode, data, size);
    return 0;
}
