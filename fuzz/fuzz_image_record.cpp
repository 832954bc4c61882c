// The image object record (".img" files and the planes inside surfaces and
// fonts).
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    C_Image image;
    if (Fuzz_LoadFromBytes(image, data, size)) {
        Fuzz_UseImage(image);
    } else {
        Fuzz_Check(image.data == nullptr && image.m_palette == nullptr, "a refused record leaves no buffers");
    }
    return 0;
}
