// Load_Format_FromFile on a real file: the input is written once and read
// under each reader's extension, so every reader also runs over a file stream
// (which seeks, where memory streams cannot); last it is read as an image
// object file.
#include <cstdio>
#include <string>

#include "core/string.h"
#include "fuzz_support.h"

namespace {

void LoadAs(const std::string& path, bool viaString, bool objectFile) {
    C_Image image;
    bool ok = false;
    if (objectFile) {
        ok = image.LoadFromFile(path.c_str(), 0);
    } else {
        ok = viaString ? image.Load_Format_FromFile(C_String(path.c_str())) : image.Load_Format_FromFile(path.c_str());
    }
    if (ok) {
        Fuzz_UseImage(image);
    } else {
        Fuzz_Check(image.data == nullptr && image.m_palette == nullptr, "a refused file leaves no buffers");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const char* const kExtensions[] = {"bmp", "PCX", "tga", "img"};
    std::string path = Fuzz_ScratchPath("input.bmp");
    if (!Fuzz_WriteFile(path, data, size)) return 0;
    bool viaString = false;
    for (const char* ext : kExtensions) {
        const std::string named = Fuzz_ScratchPath("input.") + ext;
        if (named != path && std::rename(path.c_str(), named.c_str()) != 0) break;
        path = named;
        const bool objectFile = ext[0] == 'i';
        LoadAs(path, viaString, objectFile);
        viaString = !viaString;
    }
    std::remove(path.c_str());
    return 0;
}
