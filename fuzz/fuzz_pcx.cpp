// The PCX (8-bit with palette, 24-bit planes) stream reader.
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    C_Image image;
    C_Stream stream;
    if (!stream.OpenMemoryRead(data, static_cast<std::uint32_t>(size))) return 0;
    if (image.LoadPCX(&stream)) {
        Fuzz_UseImage(image);
    } else {
        Fuzz_Check(image.data == nullptr && image.m_palette == nullptr && image.format == GFX_FMT_NONE,
                   "a refused file leaves the image empty");
    }
    return 0;
}
