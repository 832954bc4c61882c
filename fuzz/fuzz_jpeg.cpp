// The JPEG decoder behind Gfx_Image_LoadFile.
#include "fuzz_codec_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Fuzz_Decode(Gfx_Jpeg_Decode, data, size);
    return 0;
}
