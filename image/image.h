/// @file
/// The image: one raster of pixels in one pixel format, with an optional
/// 256-entry palette.
#pragma once

#include <cstddef>
#include <cstdint>

#include "../core/object.h"
#include "format.h"

class C_Color;
class C_String;
struct C_Stream;

/// The most pixel memory one load may take beyond the bytes its file carries
/// (64 MiB). Image records may describe buffers they do not fill (formats
/// whose rows are not stored, pitches wider than a row); the zeroed bytes of
/// every record nested in one surface or font load count against this one
/// figure together. A load that would go over it fails with error 10 and a
/// reason, and leaves the object as it was (an image record on its own is
/// left empty, as any failed image load).
inline constexpr std::uint64_t GFX_LOAD_UNBACKED_BUDGET = std::uint64_t{64} << 20;

/// One raster of pixels in one of the 47 formats (image/format.h), with an
/// optional 256-entry palette. Row y starts at Row(y): `pitch` bytes apart,
/// stored last row first when `bottomUp` is 1. The image owns its pixel
/// buffer unless `locked` (a view made by CreateLocked).
class C_Image : public C_Object {
public:
    std::uint8_t* data;  ///< pixel buffer
    std::uint32_t bpp;   ///< bits per pixel of `format`
    std::uint32_t width;
    std::uint32_t height;
    std::uint32_t pitch;        ///< bytes from one stored row to the next
    std::int32_t format;        ///< -1 when empty
    std::uint32_t dataSize;     ///< bytes in the pixel buffer
    std::uint8_t* m_palette;    ///< palette buffer or null
    std::uint32_t paletteSize;  ///< bytes in the palette buffer
    std::int32_t palFormat;     ///< format of each palette entry; -1 none
    std::uint32_t palBpp;
    std::uint8_t locked;     ///< 1: the pixel buffer belongs to someone else
    std::uint8_t bottomUp;   ///< 1: row 0 is stored last
    std::uint32_t rowBytes;  ///< bytes of one row's pixels

    C_Image();
    C_Image(const C_Image& other);
    /// An image loaded with Load_Format_FromFile; empty when loading fails.
    explicit C_Image(const char* fileName);
    explicit C_Image(const C_String& fileName);
    ~C_Image() override;

    void Free() override;  ///< releases the buffers, leaves the fields
    void Init() override;  ///< the empty state
    bool LoadFromStream(C_Stream* stream, std::uint32_t flags) override;
    bool SaveToStream(C_Stream* stream, std::uint32_t flags) override;
    std::uint32_t GetClassType() const override { return GFX_CLASS_IMAGE; }

    /// (Re)builds the image with uninitialised pixels (and palette when
    /// newPalFormat is not -1). A buffer of the same byte size is reused.
    bool CreateEmpty(std::uint32_t newWidth, std::uint32_t newHeight, std::int32_t newFormat,
                     std::int32_t newPalFormat);
    bool CreateEmpty(std::uint32_t newWidth, std::uint32_t newHeight, std::int32_t newFormat, std::int32_t newPalFormat,
                     const C_Color& color);
    /// Makes the image a view of memory it does not own: `newHeight` rows,
    /// `newPitch` bytes apart, each at least one row of pixels long.
    bool CreateLocked(std::uint32_t newWidth, std::uint32_t newHeight, std::uint32_t newPitch, std::int32_t newFormat,
                      std::int32_t newPalFormat, void* newData);
    bool Clear(const C_Color& color);
    /// Deep copy; the copy owns its buffers and is top-down (a bottom-up
    /// source's rows are stored in display order, so the picture is the same).
    C_Image& operator=(const C_Image& other);
    bool FlipVertical();

    /// Image files. Each reader empties the image first; a failed load leaves
    /// it empty. Load_Format_FromFile picks the reader by the name's extension
    /// (BMP, PCX, TGA, any case); the file's contents are not examined.
    bool Load_Format_FromFile(const char* fileName);
    bool Load_Format_FromFile(const C_String& fileName);
    bool LoadBMP(C_Stream* stream);
    bool LoadBMP(const char* fileName);
    bool LoadBMP(const C_String& fileName);
    bool LoadPCX(C_Stream* stream);
    bool LoadPCX(const char* fileName);
    bool LoadPCX(const C_String& fileName);
    bool LoadTGA(C_Stream* stream);
    bool LoadTGA(const char* fileName);
    bool LoadTGA(const C_String& fileName);
    /// Writes the rows as bare pixels, no header, for the integer formats of
    /// 8, 16, 24 and 32 bits (24-bit pixels with their bytes reversed); any
    /// other format gives an empty file.
    bool Save_RAW_ToFile(const char* fileName) const;
    bool Save_RAW_ToFile(const C_String& fileName) const;

    /// Start of row y in memory, honouring `bottomUp`. y must be < height.
    std::uint8_t* Row(std::uint32_t y) {
        const std::size_t stored = bottomUp ? height - 1 - y : y;
        return data + stored * pitch;
    }
    const std::uint8_t* Row(std::uint32_t y) const {
        const std::size_t stored = bottomUp ? height - 1 - y : y;
        return data + stored * pitch;
    }
    bool IsEmpty() const { return data == nullptr || width == 0 || height == 0; }
};
