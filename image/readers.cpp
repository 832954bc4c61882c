// Choosing an image file reader by extension, the file-name forms of the
// readers, and the raw pixel writer.
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/error.h"
#include "core/memory.h"
#include "core/stream.h"
#include "core/string.h"
#include "image/image.h"
#include "image/internal/reader_support.h"

namespace {

constexpr const char* kRawSite = "C_Image::Save_RAW_ToFile";

// Opens `fileName` and runs the stream reader `load`; `reader` names it in
// messages ("LoadBMP") and `site` is its summary line's site.
bool LoadFile(C_Image& image, const char* fileName, bool (C_Image::*load)(C_Stream*), const char* reader,
              const char* site) {
    Gfx_Image_Reset(image);
    C_Stream stream;
    if (!fileName || !stream.OpenFileRead(fileName)) {
        Gfx_SetError(GFX_ERR_OPEN_READ, 0, 0, "C_Image::%s(%s)", reader, fileName ? fileName : "(null)");
        return Gfx_FailSummary(site);
    }
    const bool ok = (image.*load)(&stream);
    stream.CloseFile();
    stream.Close();
    return ok;
}

bool RawWritable(const Gfx_FormatDesc& d) {
    const std::uint32_t bits = d.bitsPerPixel;
    return d.format > 0 && d.kind == GFX_KIND_UINT && (bits == 8 || bits == 16 || bits == 24 || bits == 32);
}

bool WriteFailed(const char* fileName) {
    Gfx_SetError(GFX_ERR_OPEN_WRITE, 0, 0, "C_Image::Save_RAW_ToFile(%s)", fileName);
    return Gfx_FailSummary(kRawSite);
}

// Writes the rows of an image in a raw-writable format; 24-bit pixels go out
// with their bytes reversed (memory B, G, R is written R, G, B). Records its
// own failures.
bool WriteRawRows(const C_Image& image, std::uint32_t bytesPerPixel, C_Stream* stream, const char* fileName) {
    const std::size_t rowOut = std::size_t{image.width} * bytesPerPixel;
    if (!image.data || rowOut == 0) return true;
    if (bytesPerPixel != 3) {
        for (std::uint32_t y = 0; y < image.height; ++y)
            if (C_Stream::WriteBytes(stream, image.data + std::size_t{y} * image.pitch, rowOut) != rowOut)
                return WriteFailed(fileName);
        return true;
    }
    auto* row = static_cast<std::uint8_t*>(std::malloc(rowOut));
    if (!row) return Gfx_Fail(GFX_ERR_NO_MEMORY, "C_Image::Save_RAW_ToFile{row}", kRawSite);
    bool ok = true;
    for (std::uint32_t y = 0; ok && y < image.height; ++y) {
        const std::uint8_t* in = image.data + std::size_t{y} * image.pitch;
        for (std::size_t i = 0; i < rowOut; i += 3) {
            row[i] = in[i + 2];
            row[i + 1] = in[i + 1];
            row[i + 2] = in[i];
        }
        ok = C_Stream::WriteBytes(stream, row, rowOut) == rowOut;
    }
    std::free(row);
    return ok || WriteFailed(fileName);
}

}  // namespace

C_Image::C_Image(const char* fileName) {
    Init();
    Mem_AddUsage(sizeof(C_Image));
    Load_Format_FromFile(fileName);
}

C_Image::C_Image(const C_String& fileName) : C_Image(fileName.CStr()) {}

bool C_Image::Load_Format_FromFile(const char* fileName) {
    Gfx_Image_Reset(*this);
    if (!fileName)
        return Gfx_Fail(GFX_ERR_NULL_ARG, "C_Image::Load_Format_FromFile{fileName}", "C_Image::Load_Format_FromFile");
    const std::string ext = Gfx_UpperExtension(fileName);
    if (ext == "BMP") return LoadBMP(fileName);
    if (ext == "PCX") return LoadPCX(fileName);
    if (ext == "TGA") return LoadTGA(fileName);
    if (ext == "JPG" || ext == "JPEG") return false;  // recognised, but there is no decoder
    Gfx_SetError(GFX_ERR_GIVE_UP, 0, 0, "C_Image::Load_Format_FromFile>>>Unknown image file format");
    return false;
}

bool C_Image::LoadBMP(const char* fileName) {
    return LoadFile(*this, fileName, &C_Image::LoadBMP, "LoadBMP", "C_Image::Load_BMP");
}

bool C_Image::LoadPCX(const char* fileName) {
    return LoadFile(*this, fileName, &C_Image::LoadPCX, "LoadPCX", "C_Image::Load_PCX");
}

bool C_Image::LoadTGA(const char* fileName) {
    return LoadFile(*this, fileName, &C_Image::LoadTGA, "LoadTGA", "C_Image::Load_TGA");
}

bool C_Image::Save_RAW_ToFile(const char* fileName) const {
    Gfx_FormatDesc d{};
    if (!Gfx_GetFormatDesc(format, &d)) return Gfx_Fail(GFX_ERR_FORMAT, "C_Image::Save_RAW_ToFile{format}", kRawSite);
    C_Stream stream;
    if (!fileName) return WriteFailed("(null)");
    if (!stream.OpenFileWrite(fileName)) return WriteFailed(fileName);
    // Formats the raw dump does not cover leave the file empty.
    const bool ok = !RawWritable(d) || WriteRawRows(*this, d.bitsPerPixel / 8, &stream, fileName);
    const bool closed = stream.CloseFile();  // a failed flush is a failed write
    if (!ok) return false;
    return closed || WriteFailed(fileName);
}

bool C_Image::Load_Format_FromFile(const C_String& fileName) { return Load_Format_FromFile(fileName.CStr()); }
bool C_Image::LoadBMP(const C_String& fileName) { return LoadBMP(fileName.CStr()); }
bool C_Image::LoadPCX(const C_String& fileName) { return LoadPCX(fileName.CStr()); }
bool C_Image::LoadTGA(const C_String& fileName) { return LoadTGA(fileName.CStr()); }
bool C_Image::Save_RAW_ToFile(const C_String& fileName) const { return Save_RAW_ToFile(fileName.CStr()); }
