// Shared by the fuzz targets: running a reader on raw bytes, and putting what
// it loaded to use the way a program would, so that a reader which accepts a
// file it cannot really describe shows up as a crash here rather than later
// in a blit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <unistd.h>

#include "core/error.h"
#include "core/list.h"
#include "core/object.h"
#include "core/stream.h"
#include "image/convert.h"
#include "image/format.h"
#include "image/image.h"
#include "math/shapes.h"
#include "math/vector.h"
#include "surface/blit.h"
#include "surface/surface.h"
#include "surface/draw_params.h"

using Fuzz_Bytes = std::vector<std::uint8_t>;

// Images with more pixels than this are loaded but not converted or drawn:
// one input must not cost seconds.
inline constexpr std::uint64_t kFuzzMaxUsedPixels = 1u << 18;
// The harness's own dimension cap for anything it draws.
inline constexpr std::uint32_t kFuzzMaxSide = 4096;

// A broken promise of the code under test: report it and stop, so the fuzzer
// keeps the input as a crash.
inline void Fuzz_Check(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

// Runs `object`'s LoadFromStream over a copy of the bytes.
inline bool Fuzz_LoadFromBytes(C_Object& object, const std::uint8_t* data, std::size_t size) {
    C_Stream stream;
    if (!stream.OpenMemoryRead(data, static_cast<std::uint32_t>(size))) return false;
    return object.LoadFromStream(&stream, 0);
}

inline bool Fuzz_SaveToBytes(C_Object& object, Fuzz_Bytes& out) {
    C_Stream stream;
    stream.OpenMemoryWrite();
    const bool ok = object.SaveToStream(&stream, 0);
    out.assign(stream.Data(), stream.Data() + stream.Size());
    return ok;
}

// Saving what was loaded and loading it again must give the same record, and
// a record the framework wrote must always load. With `flips` the record's
// lists reverse at every load (surface planes, a face's glyphs), so it is
// byte-identical again only after two rounds.
inline void Fuzz_CheckRoundTrip(C_Object& loaded, C_Object& scratch1, C_Object& scratch2, bool flips) {
    Fuzz_Bytes first;
    if (!Fuzz_SaveToBytes(loaded, first)) return;  // not every loaded state is writable (unknown formats)
    Fuzz_Check(Fuzz_LoadFromBytes(scratch1, first.data(), first.size()), "a saved record loads again");
    Fuzz_Bytes second;
    Fuzz_Check(Fuzz_SaveToBytes(scratch1, second), "a reloaded record saves again");
    Fuzz_Check(second.size() == first.size(), "a round trip keeps the record's size");
    if (!flips) {
        Fuzz_Check(second == first, "a round trip keeps the record's bytes");
        return;
    }
    Fuzz_Check(Fuzz_LoadFromBytes(scratch2, second.data(), second.size()), "a twice-saved record loads");
    Fuzz_Bytes third;
    Fuzz_Check(Fuzz_SaveToBytes(scratch2, third), "a twice-reloaded record saves");
    Fuzz_Check(third == first, "two round trips give the record back");
}

// Checks that a loaded image describes its buffers truthfully and reads every
// byte it claims as pixels or palette (AddressSanitizer catches a lie).
inline void Fuzz_CheckImage(const C_Image& image) {
    volatile std::uint32_t sink = 0;
    if (image.m_palette) {
        Fuzz_Check(image.paletteSize > 0, "a palette buffer has a size");
        std::uint32_t sum = 0;
        for (std::uint32_t i = 0; i < image.paletteSize; ++i) sum += image.m_palette[i];
        sink = sink + sum;
    }
    Gfx_FormatDesc pal{};
    if (image.m_palette && image.palFormat > 0 && Gfx_GetFormatDesc(image.palFormat, &pal))
        Fuzz_Check(image.paletteSize >= 256u * pal.bytesPerPixel, "a palette holds 256 entries of its format");
    if (!image.data) {
        Fuzz_Check(image.dataSize == 0 || image.locked, "no pixel buffer, no pixel bytes");
        return;
    }
    Gfx_FormatDesc d{};
    Fuzz_Check(Gfx_GetFormatDesc(image.format, &d), "pixels come with a known format");
    Fuzz_Check(image.bpp == d.bitsPerPixel, "bpp is the format's");
    Fuzz_Check(image.rowBytes == Gfx_RowBytes(image.width, image.bpp), "rowBytes follows width and bpp");
    if (image.height == 0 || image.rowBytes == 0) return;
    Fuzz_Check(image.pitch >= image.rowBytes, "rows do not overlap");
    const std::uint64_t end = std::uint64_t{image.pitch} * (image.height - 1) + image.rowBytes;
    Fuzz_Check(end <= image.dataSize, "every row lies inside the buffer");
    std::uint32_t sum = 0;
    for (std::uint32_t y = 0; y < image.height; ++y) {
        const std::uint8_t* row = image.data + std::size_t{y} * image.pitch;
        for (std::uint32_t x = 0; x < image.rowBytes; ++x) sum += row[x];
    }
    sink = sink + sum;
}

inline bool Fuzz_SmallEnoughToDraw(const C_Image* image) {
    return image && image->width <= kFuzzMaxSide && image->height <= kFuzzMaxSide &&
           std::uint64_t{image->width} * image->height <= kFuzzMaxUsedPixels;
}

// Draws `source` onto a small picture twice: a plain copy, and scaled,
// rotated, bilinear and half transparent. Whatever the source holds, nothing
// outside either buffer may be touched.
inline void Fuzz_DrawSurface(C_Surface& source) {
    const C_Image* color = source.GetPlane(GFX_PLANE_COLOR);
    const C_Image* alpha = source.GetPlane(GFX_PLANE_ALPHA);
    if (!color && !alpha) return;
    if ((color && !Fuzz_SmallEnoughToDraw(color)) || (alpha && !Fuzz_SmallEnoughToDraw(alpha))) return;
    auto* target = new C_Image;
    if (!target->CreateEmpty(37, 23, GFX_FMT_ARGB8888, GFX_FMT_NONE)) {
        delete target;
        return;
    }
    std::memset(target->data, 0x55, target->dataSize);
    C_Surface dst(0, target, nullptr, nullptr, nullptr, nullptr, nullptr);
    const C_Vector2D origin(3.0f, 2.0f);
    Gfx_Surface_BlitTransformed(&source, &dst, nullptr, nullptr, nullptr, &origin, 0, nullptr);
    C_DrawParams params;
    params.scale = C_Vector2D(1.7f, 0.6f);
    params.angle = 33.0f;
    params.pivot = C_Vector2D(0.5f, 0.5f, GFX_ALIGN_HCENTER | GFX_ALIGN_VMIDDLE);
    params.opacity = 0.5f;
    params.filter = 1;
    params.wrapH = 1;
    const C_Vector2D centre(0.0f, 0.0f, GFX_ALIGN_HCENTER | GFX_ALIGN_VMIDDLE);
    Gfx_Surface_BlitTransformed(&source, &dst, nullptr, nullptr, nullptr, &centre, 0, &params);
}

// Everything a program does with a freshly loaded picture: check it, save and
// reload it, convert a copy to the display format and draw it.
inline void Fuzz_UseImage(C_Image& image) {
    Fuzz_CheckImage(image);
    C_Image again1, again2;
    Fuzz_CheckRoundTrip(image, again1, again2, false);
    if (!image.data || !Fuzz_SmallEnoughToDraw(&image)) return;
    C_Image shown;
    if (Gfx_Image_Clone(&image, &shown, GFX_FMT_ARGB8888, GFX_FMT_NONE, 0)) Fuzz_CheckImage(shown);
    C_Surface borrowed(1, &image, nullptr, nullptr, nullptr, nullptr, nullptr);
    Fuzz_DrawSurface(borrowed);
}

// The pixel and palette bytes a loaded surface holds. A whole load may hold
// at most the bytes its input carried plus the load budget.
inline std::uint64_t Fuzz_SurfaceBytes(const C_Surface& surface) {
    std::uint64_t total = 0;
    for (std::uint32_t i = 0; surface.planes && i < surface.planes->Count(); ++i) {
        const auto* entry = static_cast<const C_SurfacePlane*>(surface.planes->GetAt(i));
        if (entry && entry->image) total += std::uint64_t{entry->image->dataSize} + entry->image->paletteSize;
    }
    return total;
}

// The same for a loaded surface: every plane, a double round trip (entries
// flip order at every load), drawing and a change to the display format.
inline void Fuzz_UseSurface(C_Surface& surface) {
    if (surface.planes) {
        for (std::uint32_t i = 0; i < surface.planes->Count(); ++i) {
            const auto* entry = static_cast<const C_SurfacePlane*>(surface.planes->GetAt(i));
            Fuzz_Check(entry && entry->image, "every loaded plane has an image");
            Fuzz_CheckImage(*entry->image);
        }
    }
    if (const C_Image* color = surface.GetPlane(GFX_PLANE_COLOR)) {
        Fuzz_Check(surface.width == color->width && surface.height == color->height,
                   "the surface's size is its colour plane's");
    }
    C_Surface again1, again2;
    Fuzz_CheckRoundTrip(surface, again1, again2, true);
    Fuzz_DrawSurface(surface);
    const C_Image* color = surface.GetPlane(GFX_PLANE_COLOR);
    const C_Image* alpha = surface.GetPlane(GFX_PLANE_ALPHA);
    if ((!color || Fuzz_SmallEnoughToDraw(color)) && (!alpha || Fuzz_SmallEnoughToDraw(alpha))) {
        Gfx_Surface_ChangeFormat(&surface, GFX_FMT_ARGB8888, GFX_FMT_SAME, 0);
        Fuzz_DrawSurface(surface);
    }
}

// A scratch file name private to this process: fuzzing jobs and replays may
// run side by side.
inline std::string Fuzz_ScratchPath(const char* name) {
    const char* dir = std::getenv("TMPDIR");
    std::string path = dir && *dir ? dir : "/tmp";
    return path + "/quillory-fuzz-" + std::to_string(static_cast<long>(getpid())) + "-" + name;
}

// Writes the bytes to `path`; false when the file cannot be written.
inline bool Fuzz_WriteFile(const std::string& path, const std::uint8_t* data, std::size_t size) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = (size == 0 || std::fwrite(data, 1, size, f) == size);
    return std::fclose(f) == 0 && ok;
}
