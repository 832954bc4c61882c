// Writes the seed corpus of the fuzz targets: small, valid inputs of every
// variant each reader knows, so fuzzing starts deep inside the decoders.
// Records come from the framework's own writers; BMP, PCX, TGA and TrueType
// files (the framework reads them but has no writer) from the small encoders
// below.
//
//   quillory-make-seeds fuzz/corpus
//
// Re-running it rewrites the same files byte for byte.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "quillory.h"
#include "tests/text/truetype_builder.h"
#if defined(QUILLORY_HAVE_GIF)
#include <gif_lib.h>
#endif

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

int g_failures = 0;

void Write(const fs::path& dir, const std::string& name, const Bytes& bytes) {
    std::error_code ec;
    fs::create_directories(dir, ec);
    const fs::path path = dir / name;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f || (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size())) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        ++g_failures;
    }
    if (f) std::fclose(f);
}

Bytes Saved(C_Object& object) {
    C_Stream stream;
    stream.OpenMemoryWrite();
    if (!object.SaveToStream(&stream, 0)) {
        std::fprintf(stderr, "a seed object did not save: %s\n", Gfx_GetErrorDetail());
        ++g_failures;
    }
    return Bytes(stream.Data(), stream.Data() + stream.Size());
}

void Put8(Bytes& b, std::uint32_t v) { b.push_back(static_cast<std::uint8_t>(v)); }
void Put16(Bytes& b, std::uint32_t v) {
    Put8(b, v);
    Put8(b, v >> 8);
}
void Put32(Bytes& b, std::uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}
void Append(Bytes& b, const Bytes& more) { b.insert(b.end(), more.begin(), more.end()); }

// A deterministic pattern: pixel bytes vary, with some runs for the encoders.
std::uint8_t Pattern(std::uint32_t i) { return static_cast<std::uint8_t>((i / 3) * 37 + (i % 3) * 101); }

void FillPattern(C_Image& image) {
    for (std::uint32_t i = 0; i < image.dataSize; ++i) image.data[i] = Pattern(i);
    for (std::uint32_t i = 0; i < image.paletteSize; ++i) image.m_palette[i] = static_cast<std::uint8_t>(255 - i);
}

C_Image* Picture(std::uint32_t w, std::uint32_t h, std::int32_t format, std::int32_t palFormat = GFX_FMT_NONE) {
    auto* image = new C_Image;
    if (!image->CreateEmpty(w, h, format, palFormat)) {
        std::fprintf(stderr, "cannot make a %ux%u picture of format %d\n", w, h, format);
        ++g_failures;
        return image;
    }
    FillPattern(*image);
    return image;
}

// ---------------------------------------------------------------- records

void ImageRecords(const fs::path& dir) {
    struct Seed {
        const char* name;
        std::uint32_t w, h;
        std::int32_t format, palFormat;
    };
    const Seed seeds[] = {
        {"index8-palette.img", 4, 3, GFX_FMT_INDEX8, GFX_FMT_RGB888},
        {"index4-palette.img", 5, 2, GFX_FMT_INDEX4, GFX_FMT_RGB888},
        {"index8-argb-palette.img", 2, 2, GFX_FMT_INDEX8, GFX_FMT_ARGB8888},
        {"rgb888.img", 5, 3, GFX_FMT_RGB888, GFX_FMT_NONE},
        {"argb8888.img", 3, 3, GFX_FMT_ARGB8888, GFX_FMT_NONE},
        {"rgba8888.img", 2, 2, GFX_FMT_RGBA8888, GFX_FMT_NONE},
        {"ch8.img", 7, 2, GFX_FMT_CH8, GFX_FMT_NONE},
        {"ch1.img", 9, 2, GFX_FMT_CH1, GFX_FMT_NONE},
        {"rgb565.img", 3, 2, GFX_FMT_RGB565, GFX_FMT_NONE},
        {"argb1555.img", 3, 2, GFX_FMT_ARGB1555, GFX_FMT_NONE},
        {"bgr233.img", 4, 2, GFX_FMT_BGR233, GFX_FMT_NONE},
        {"rgb48-header-only.img", 2, 2, GFX_FMT_RGB48, GFX_FMT_NONE},
        {"rgb96f.img", 2, 1, GFX_FMT_RGB96F, GFX_FMT_NONE},
        {"argb128f.img", 1, 2, GFX_FMT_ARGB128F, GFX_FMT_NONE},
        {"ch64f.img", 1, 2, GFX_FMT_CH64F, GFX_FMT_NONE},
    };
    for (const Seed& s : seeds) {
        C_Image* image = Picture(s.w, s.h, s.format, s.palFormat);
        Write(dir, s.name, Saved(*image));
        delete image;
    }
    // A view with a pitch wider than its rows keeps that pitch in the record.
    std::uint8_t pixels[3 * 8] = {};
    for (std::uint32_t i = 0; i < sizeof pixels; ++i) pixels[i] = Pattern(i);
    C_Image view;
    view.CreateLocked(2, 3, 8, GFX_FMT_RGB888, GFX_FMT_NONE, pixels);
    Write(dir, "wide-pitch.img", Saved(view));
    C_Image empty;
    Write(dir, "empty.img", Saved(empty));
}

void SurfaceRecords(const fs::path& dir) {
    C_Surface none;
    Write(dir, "no-list.srf", Saved(none));
    C_Surface emptyList(0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    Write(dir, "empty-list.srf", Saved(emptyList));
    C_Surface both(0, Picture(3, 2, GFX_FMT_RGB888), Picture(3, 2, GFX_FMT_CH8), nullptr, nullptr, nullptr, nullptr);
    Write(dir, "colour-alpha.srf", Saved(both));
    C_Surface argb(0, Picture(4, 3, GFX_FMT_ARGB8888), nullptr, nullptr, nullptr, nullptr, nullptr);
    Write(dir, "argb.srf", Saved(argb));
    C_Surface alphaOnly(0, nullptr, Picture(5, 2, GFX_FMT_CH8), nullptr, nullptr, nullptr, nullptr);
    Write(dir, "alpha-only.srf", Saved(alphaOnly));
    C_Surface indexed(0, Picture(2, 2, GFX_FMT_INDEX8, GFX_FMT_RGB888), Picture(2, 2, GFX_FMT_CH8), nullptr, nullptr,
                      nullptr, nullptr);
    Write(dir, "indexed-alpha.srf", Saved(indexed));
    C_Surface many(0, Picture(2, 1, GFX_FMT_RGB565), Picture(2, 1, GFX_FMT_CH8), Picture(1, 1, GFX_FMT_CH8),
                   Picture(1, 1, GFX_FMT_CH16), nullptr, Picture(1, 1, GFX_FMT_CH1));
    Write(dir, "planes-1-2-3-4-9.srf", Saved(many));
}

void StringRecords(const fs::path& dir) {
    C_String ab("ab");
    Write(dir, "ab.str", Saved(ab));
    C_String empty("");
    Write(dir, "empty.str", Saved(empty));
    C_String title("Quillory (Vellumark quality)    FPS:");
    Write(dir, "title.str", Saved(title));
    // The same bytes also run through the plain-text loader.
    const char text[] = "first line\r\nsecond line\r\n\r\nlast";
    Write(dir, "crlf.txt", Bytes(text, text + sizeof text - 1));
    Bytes earlyZero = {0x0B, 0x00, 0x05, 0x00, 0x00, 0x00, 'a', 'b', 0x00, 'c', 0x00};
    Write(dir, "early-zero.str", earlyZero);
}

// ---------------------------------------------------------------- BMP

// An uncompressed BMP of 24 or 8 bits (or another bit count, whose pixel
// bytes are just carried); rows are stored bottom-up unless `topDown`, each
// padded to whole 32-bit words.
Bytes Bmp(std::int32_t w, std::int32_t h, std::uint32_t bits, bool topDown, std::uint32_t infoSize = 40,
          std::uint32_t colorsUsed = 0) {
    const std::uint32_t stride = (static_cast<std::uint32_t>(w) * bits + 31) / 32 * 4;
    const std::uint32_t paletteEntries = bits <= 8 ? (colorsUsed ? colorsUsed : 1u << bits) : 0;
    const std::uint32_t offBits = 14 + infoSize + paletteEntries * 4;
    const std::uint32_t imageSize = stride * static_cast<std::uint32_t>(h);
    Bytes b;
    Put16(b, 0x4D42);
    Put32(b, offBits + imageSize);
    Put32(b, 0);
    Put32(b, offBits);
    Put32(b, infoSize);
    Put32(b, static_cast<std::uint32_t>(w));
    Put32(b, static_cast<std::uint32_t>(topDown ? -h : h));
    Put16(b, 1);
    Put16(b, bits);
    Put32(b, 0);  // no compression
    Put32(b, imageSize);
    Put32(b, 2835);
    Put32(b, 2835);
    Put32(b, colorsUsed);
    Put32(b, 0);
    b.resize(14 + infoSize, 0);  // the rest of a longer information header
    for (std::uint32_t i = 0; i < paletteEntries; ++i) {
        Put8(b, i * 7);
        Put8(b, 255 - i);
        Put8(b, i * 3);
        Put8(b, 0);
    }
    for (std::uint32_t i = 0; i < imageSize; ++i) Put8(b, Pattern(i));
    return b;
}

// A BMP of 16 or 32 bits with bit-field masks: inside the information
// header when it is long enough, else right after it.
Bytes BmpMasks(std::int32_t w, std::int32_t h, std::uint32_t bits, std::uint32_t compression, std::uint32_t infoSize,
               const std::vector<std::uint32_t>& masks) {
    Bytes b = Bmp(w, h, bits, false, infoSize);
    b[30] = static_cast<std::uint8_t>(compression);
    Bytes fields;
    for (const std::uint32_t m : masks) Put32(fields, m);
    if (infoSize >= 52) {
        std::copy(fields.begin(), fields.end(), b.begin() + 54);
    } else {
        b.insert(b.begin() + 54, fields.begin(), fields.end());
        b[10] = static_cast<std::uint8_t>(b[10] + fields.size());  // the pixels move along
    }
    return b;
}

// An OS/2 1.x BMP: 12-byte header, 8-bit indices, a 3-byte entry palette of
// 4 colours.
Bytes BmpCore(std::uint32_t w, std::uint32_t h) {
    const std::uint32_t stride = (w + 3) / 4 * 4;
    Bytes b;
    Put16(b, 0x4D42);
    Put32(b, 26 + 12 + stride * h);
    Put32(b, 0);
    Put32(b, 26 + 12);
    Put32(b, 12);
    Put16(b, w);
    Put16(b, h);
    Put16(b, 1);
    Put16(b, 8);
    for (std::uint32_t i = 0; i < 12; ++i) Put8(b, Pattern(i));
    for (std::uint32_t i = 0; i < stride * h; ++i) Put8(b, i % 4);
    return b;
}

// A 6 × 2 run-length BMP (RLE8 or RLE4) with 16 palette entries.
Bytes BmpRunLength(std::uint32_t bits, std::uint32_t compression, const Bytes& data) {
    Bytes b = Bmp(6, 2, bits, false, 40, 16);
    b.resize(14 + 40 + 16 * 4);
    b[30] = static_cast<std::uint8_t>(compression);
    Append(b, data);
    return b;
}

void BmpFiles(const fs::path& dir) {
    Write(dir, "rgb24-bottom-up.bmp", Bmp(3, 2, 24, false));
    Write(dir, "rgb24-top-down.bmp", Bmp(5, 3, 24, true));
    Write(dir, "index8.bmp", Bmp(6, 3, 8, false));
    Write(dir, "index8-16-colours.bmp", Bmp(3, 3, 8, true, 40, 16));
    Write(dir, "rgb24-v4-header.bmp", Bmp(2, 2, 24, false, 108));
    Write(dir, "index4.bmp", Bmp(4, 2, 4, false));
    Write(dir, "index1.bmp", Bmp(13, 2, 1, true));
    Write(dir, "index2.bmp", Bmp(7, 2, 2, false, 40, 3));
    Write(dir, "rgb555.bmp", Bmp(3, 2, 16, false));
    Write(dir, "rgb32-plain.bmp", Bmp(2, 2, 32, false));
    Write(dir, "rgb565-masks.bmp", BmpMasks(3, 2, 16, 3, 40, {0xF800, 0x07E0, 0x001F}));
    Write(dir, "argb4444-v3.bmp", BmpMasks(3, 2, 16, 3, 56, {0x0F00, 0x00F0, 0x000F, 0xF000}));
    Write(dir, "argb32-v5.bmp", BmpMasks(2, 3, 32, 3, 124, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}));
    Write(dir, "rgba32-alpha-bitfields.bmp", BmpMasks(2, 2, 32, 6, 40, {0xFF000000, 0xFF0000, 0xFF00, 0xFF}));
    Write(dir, "rgb30-v4.bmp", BmpMasks(2, 2, 32, 3, 108, {0x3FF00000, 0xFFC00, 0x3FF, 0}));
    Write(dir, "index8-os2-core.bmp", BmpCore(3, 2));
    Write(dir, "rgb24-os2-v2.bmp", Bmp(2, 2, 24, false, 64));
    // Run-length data: runs, an end of line, an absolute run with its
    // padding, a delta move and the end marker.
    Write(dir, "rle8.bmp", BmpRunLength(8, 1, {3, 7, 0, 0, 0, 3, 1, 2, 3, 0, 0, 2, 1, 0, 2, 9, 0, 1}));
    Write(dir, "rle4.bmp", BmpRunLength(4, 2, {5, 0x12, 0, 0, 0, 3, 0x45, 0x60, 0, 2, 1, 0, 1, 0x77, 0, 1}));
}

// ---------------------------------------------------------------- PCX

// Run-length encodes one scanline: runs of equal bytes and any byte that
// looks like a run marker (0xC0 and above) go out as a count and the byte.
void PcxEncode(Bytes& out, const std::uint8_t* line, std::size_t n) {
    for (std::size_t i = 0; i < n;) {
        std::size_t run = 1;
        while (i + run < n && run < 63 && line[i + run] == line[i]) ++run;
        if (run > 1 || line[i] >= 0xC0) {
            Put8(out, 0xC0 | static_cast<std::uint32_t>(run));
        }
        Put8(out, line[i]);
        i += run;
    }
}

Bytes PcxHeader(std::uint32_t planes, std::uint32_t w, std::uint32_t h, std::uint32_t bytesPerLine) {
    Bytes b(128, 0);
    b[0] = 0x0A;
    b[1] = 5;
    b[2] = 1;
    b[3] = 8;
    b[8] = static_cast<std::uint8_t>(w - 1);
    b[9] = static_cast<std::uint8_t>((w - 1) >> 8);
    b[10] = static_cast<std::uint8_t>(h - 1);
    b[11] = static_cast<std::uint8_t>((h - 1) >> 8);
    b[65] = static_cast<std::uint8_t>(planes);
    b[66] = static_cast<std::uint8_t>(bytesPerLine);
    b[67] = static_cast<std::uint8_t>(bytesPerLine >> 8);
    b[68] = 1;
    return b;
}

Bytes Pcx(std::uint32_t planes, std::uint32_t w, std::uint32_t h, std::uint32_t bytesPerLine) {
    Bytes b = PcxHeader(planes, w, h, bytesPerLine);
    Bytes line(std::size_t{bytesPerLine} * planes);
    for (std::uint32_t y = 0; y < h; ++y) {
        for (std::size_t i = 0; i < line.size(); ++i)
            line[i] =
                (i % 4 == 0) ? 0xC7 : static_cast<std::uint8_t>(y < 1 ? 9 : Pattern(static_cast<std::uint32_t>(i + y)));
        PcxEncode(b, line.data(), line.size());
    }
    if (planes == 1) {
        Put8(b, 12);
        for (std::uint32_t i = 0; i < 256; ++i) {
            Put8(b, i);
            Put8(b, 255 - i);
            Put8(b, i / 2);
        }
    }
    return b;
}

void PcxFiles(const fs::path& dir) {
    Write(dir, "index8.pcx", Pcx(1, 5, 3, 6));
    Write(dir, "rgb24.pcx", Pcx(3, 4, 2, 4));
    Write(dir, "rgb24-padded-lines.pcx", Pcx(3, 3, 3, 4));
    // A run crossing the end of a scanline: 6 bytes for two 3-byte lines.
    Bytes crossing = PcxHeader(1, 3, 2, 3);
    Append(crossing, {0xC6, 0x21});
    Put8(crossing, 12);
    crossing.resize(crossing.size() + 768, 0x40);
    Write(dir, "index8-run-across-lines.pcx", crossing);
    Bytes rgba = PcxHeader(4, 2, 2, 2);
    Append(rgba, Bytes(16, 1));
    Write(dir, "rgba32.pcx", rgba);
    // The small layouts: bits per pixel and planes, with the header palette.
    struct Small {
        const char* name;
        std::uint8_t bits, planes;
        std::uint32_t w, bytesPerLine;
    };
    for (const Small& s :
         {Small{"mono.pcx", 1, 1, 13, 2}, Small{"ega16-planar.pcx", 1, 4, 9, 2}, Small{"cga4.pcx", 2, 1, 7, 2},
          Small{"index4-packed.pcx", 4, 1, 5, 3}, Small{"ega8-planar.pcx", 1, 3, 8, 1}}) {
        Bytes b = PcxHeader(s.planes, s.w, 2, s.bytesPerLine);
        b[3] = s.bits;
        for (std::uint32_t i = 0; i < 48; ++i) b[16 + i] = Pattern(i);
        Bytes line(std::size_t{s.bytesPerLine} * s.planes);
        for (std::uint32_t y = 0; y < 2; ++y) {
            for (std::size_t i = 0; i < line.size(); ++i) line[i] = Pattern(static_cast<std::uint32_t>(i * 5 + y));
            PcxEncode(b, line.data(), line.size());
        }
        Write(dir, s.name, b);
    }
    Bytes grey = PcxHeader(1, 4, 2, 4);
    grey[68] = 2;
    Append(grey, {0xC4, 0x10, 1, 2, 3, 4});
    Write(dir, "grey8.pcx", grey);
}

// ---------------------------------------------------------------- TGA

Bytes TgaHeader(std::uint8_t type, std::uint32_t w, std::uint32_t h, std::uint8_t depth) {
    const bool mapped = type == 1 || type == 9;
    Bytes b = {0,
               static_cast<std::uint8_t>(mapped ? 1 : 0),
               type,
               0,
               0,
               0,
               static_cast<std::uint8_t>(mapped ? 1 : 0),
               static_cast<std::uint8_t>(mapped ? 24 : 0),
               0,
               0,
               0,
               0};
    Put16(b, w);
    Put16(b, h);
    Put8(b, depth);
    Put8(b, depth == 32 ? 8 : 0);
    if (mapped)
        for (std::uint32_t i = 0; i < 768; ++i) Put8(b, Pattern(i * 5));
    return b;
}

Bytes TgaPlain(std::uint8_t type, std::uint32_t w, std::uint32_t h, std::uint8_t depth) {
    Bytes b = TgaHeader(type, w, h, depth);
    for (std::uint32_t i = 0; i < w * h * ((depth + 7) / 8); ++i) Put8(b, Pattern(i));
    return b;
}

// Run-length packets: a run of 3 equal pixels, then literals, repeated.
Bytes TgaPacked(std::uint8_t type, std::uint32_t w, std::uint32_t h, std::uint8_t depth) {
    Bytes b = TgaHeader(type, w, h, depth);
    const std::uint32_t pixelBytes = depth / 8;
    std::uint32_t left = w * h;
    std::uint32_t seed = 0;
    for (bool run = true; left > 0; run = !run) {
        const std::uint32_t n = left < 3 ? left : 3;
        Put8(b, run ? 0x80 + (n - 1) : n - 1);
        for (std::uint32_t p = 0; p < (run ? 1 : n); ++p)
            for (std::uint32_t k = 0; k < pixelBytes; ++k) Put8(b, Pattern(seed++));
        left -= n;
    }
    return b;
}

void TgaFiles(const fs::path& dir) {
    Write(dir, "rgb16.tga", TgaPlain(2, 3, 2, 16));
    Write(dir, "rgb24.tga", TgaPlain(2, 4, 3, 24));
    Write(dir, "rgba32.tga", TgaPlain(2, 2, 2, 32));
    Write(dir, "rle-rgb24.tga", TgaPacked(10, 5, 3, 24));
    Write(dir, "rle-rgba32.tga", TgaPacked(10, 4, 2, 32));
    Write(dir, "rle-rgb16.tga", TgaPacked(10, 3, 3, 16));
    Write(dir, "mapped.tga", TgaPlain(1, 3, 2, 8));
    Write(dir, "rle-mapped.tga", TgaPacked(9, 7, 2, 8));
    Write(dir, "rgb15.tga", TgaPlain(2, 2, 2, 15));
    Write(dir, "grey8.tga", TgaPlain(3, 3, 2, 8));
    Write(dir, "rle-grey8.tga", TgaPacked(11, 5, 2, 8));
    Write(dir, "grey-alpha16.tga", TgaPlain(3, 2, 2, 16));
    // An image-ID field and the top-left origin.
    Bytes id = TgaPlain(2, 2, 2, 24);
    id[0] = 3;
    id[17] = 0x20;
    id.insert(id.begin() + 18, {'s', 'e', 'e'});
    Write(dir, "id-field-top-left.tga", id);
    // A colour map from index 4 of 8 16-bit entries, indices 4 to 11, right
    // to left.
    Bytes map16 = {0, 1, 1, 4, 0, 8, 0, 16, 0, 0, 0, 0};
    Put16(map16, 3);
    Put16(map16, 2);
    Put8(map16, 8);
    Put8(map16, 0x10);
    for (std::uint32_t i = 0; i < 16; ++i) Put8(map16, Pattern(i));
    for (std::uint32_t i = 0; i < 6; ++i) Put8(map16, 4 + i);
    Write(dir, "mapped-from-4-rgb16-entries.tga", map16);
    // 32-bit colour map entries, run-length indices.
    Bytes map32 = {0, 1, 9, 0, 0, 4, 0, 32, 0, 0, 0, 0};
    Put16(map32, 4);
    Put16(map32, 2);
    Put8(map32, 8);
    Put8(map32, 0x28);
    for (std::uint32_t i = 0; i < 16; ++i) Put8(map32, Pattern(i));
    Append(map32, {0x83, 1, 0x03, 0, 1, 2, 3});
    Write(dir, "rle-mapped-argb-entries.tga", map32);
}

// ---------------------------------------------------------------- fonts

// A font whose faces ' ', 'A' and 'B' each hold `variants` rendered glyphs,
// every glyph with a coverage picture of its own, as the TrueType import
// builds them.
void AddRendered(C_Font& font, std::uint16_t size, std::uint8_t kind, std::uint8_t style) {
    for (const char c : {' ', 'A', 'B'}) {
        if (!font.GetFace(c)) font.AddFace(c);
        const std::uint32_t w = c == ' ' ? 0 : 3 + (c - 'A'), h = c == ' ' ? 0 : 4;
        auto* glyph = new C_BitmapGlyph(size, kind, style);
        glyph->imageIndex = static_cast<std::int32_t>(font.ImageCount());
        glyph->frame = C_Frame(0, 0, static_cast<std::int32_t>(w), static_cast<std::int32_t>(h));
        glyph->advance = C_Vector2Di(static_cast<std::int32_t>(w) + 1, 0);
        glyph->bearing = C_Vector2Di(0, 4);
        auto* surface = new C_Surface;
        surface->AddPlane(Picture(w + 1, h + 1, GFX_FMT_CH8), GFX_PLANE_ALPHA);
        font.AddImage(surface);
        font.GetFace(c)->AddGlyph(glyph);
    }
}

void FontFiles(const fs::path& dir) {
    C_Font empty;
    empty.name = "Empty";
    Write(dir, "empty.uft", Saved(empty));
    C_Font facesOnly;
    facesOnly.name = "Faces";
    facesOnly.AddFaces('a', 'e');
    Write(dir, "faces-without-glyphs.uft", Saved(facesOnly));
    C_Font rendered;
    rendered.name = "Times New Roman";
    AddRendered(rendered, 12, GFX_GLYPH_GRAY, GFX_STYLE_REGULAR);
    AddRendered(rendered, 9, GFX_GLYPH_MONO, GFX_STYLE_BOLD);
    Write(dir, "rendered-two-variants.uft", Saved(rendered));
    // A sheet of 2 x 2 cells with a colour and an alpha plane.
    C_Font sheet;
    sheet.name = "Sheet";
    sheet.AddFaces('0', '4');
    auto* grid =
        new C_Surface(0, Picture(8, 6, GFX_FMT_RGB565), Picture(8, 6, GFX_FMT_CH8), nullptr, nullptr, nullptr, nullptr);
    Gfx_Font_AddSheet(C_String("0123"), 2, 2, 10, grid, &sheet);
    Write(dir, "sheet.uft", Saved(sheet));
}

void FontRecords(const fs::path& dir) {
    C_BitmapGlyph glyph(12, GFX_GLYPH_GRAY, GFX_STYLE_ITALIC);
    glyph.imageIndex = 3;
    glyph.frame = C_Frame(0, 0, 5, 7);
    glyph.advance = C_Vector2Di(6, 0);
    glyph.bearing = C_Vector2Di(-2, 7);
    Write(dir, "glyph.rec", Saved(glyph));
    C_BitmapFace face('Q');
    face.AddGlyph(new C_BitmapGlyph(glyph));
    face.AddGlyph(new C_BitmapGlyph(9, GFX_GLYPH_MONO, GFX_STYLE_REGULAR));
    Write(dir, "face-two-glyphs.rec", Saved(face));
    C_BitmapFace bare(0x263A);
    Write(dir, "face-no-glyphs.rec", Saved(bare));
    C_FontType type(C_String("Times New Roman"), 14.5f, GFX_GLYPH_GRAY, 1, 0, 1, 0, 77);
    Write(dir, "font-type.rec", Saved(type));
}
// ------------------------------------------- JPEG, GIF and WebP, and all

// Writes `image` with the library's own writer, straight into the corpus.
void Saved(const fs::path& dir, const std::string& name, const C_Image& image, std::int32_t quality) {
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (!Gfx_Image_SaveFile(&image, (dir / name).c_str(), quality)) {
        std::fprintf(stderr, "a seed did not save: %s\n", Gfx_GetErrorReason());
        ++g_failures;
    }
}

// A small ARGB8888 picture with some translucent pixels when `alpha`.
C_Image* Translucent(std::uint32_t w, std::uint32_t h, bool alpha) {
    C_Image* image = Picture(w, h, GFX_FMT_ARGB8888);
    for (std::uint32_t i = 0; i < w * h; ++i) image->data[4 * i + 3] = alpha ? static_cast<std::uint8_t>(i * 37) : 0xFF;
    return image;
}

void JpegFiles(const fs::path& dir) {
    C_Image* colour = Translucent(16, 8, false);
    Saved(dir, "colour-q90.jpg", *colour, 90);
    Saved(dir, "colour-q20.jpg", *colour, 20);
    C_Image* grey = Picture(9, 7, GFX_FMT_CH8);
    Saved(dir, "grey.jpg", *grey, 75);
    delete colour;
    delete grey;
}

void WebpFiles(const fs::path& dir) {
    C_Image* opaque = Translucent(12, 6, false);
    C_Image* alpha = Translucent(12, 6, true);
    Saved(dir, "lossy.webp", *opaque, 80);
    Saved(dir, "lossy-alpha.webp", *alpha, 80);
    Saved(dir, "lossless.webp", *opaque, GFX_QUALITY_LOSSLESS);
    Saved(dir, "lossless-alpha.webp", *alpha, GFX_QUALITY_LOSSLESS);
    delete opaque;
    delete alpha;
}

#if defined(QUILLORY_HAVE_GIF)
int GifSink(GifFileType* gif, const GifByteType* data, int n) {
    auto* out = static_cast<Bytes*>(gif->UserData);
    out->insert(out->end(), data, data + n);
    return n;
}

// A `w` × `h` frame at (1, 1) on a screen two pixels larger, optionally
// interlaced and with a transparent index.
Bytes Gif(int w, int h, bool interlaced, bool transparent) {
    Bytes out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, GifSink, &error);
    GifColorType colours[4] = {{10, 20, 30}, {200, 100, 50}, {0, 0, 0}, {1, 2, 3}};
    ColorMapObject* map = GifMakeMapObject(4, colours);
    EGifSetGifVersion(gif, transparent);
    EGifPutScreenDesc(gif, w + 2, h + 2, 2, 3, map);
    if (transparent) {
        GraphicsControlBlock gcb{};
        gcb.TransparentColor = 2;
        GifByteType ext[4];
        EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(EGifGCBToExtension(&gcb, ext)), ext);
    }
    EGifPutImageDesc(gif, 1, 1, w, h, interlaced, nullptr);
    std::vector<GifPixelType> row(static_cast<std::size_t>(w));
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) row[static_cast<std::size_t>(x)] = static_cast<GifPixelType>((x + y) % 4);
        EGifPutLine(gif, row.data(), w);
    }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    return out;
}
#endif

void GifFiles(const fs::path& dir) {
#if defined(QUILLORY_HAVE_GIF)
    Write(dir, "plain.gif", Gif(5, 3, false, false));
    Write(dir, "interlaced-transparent.gif", Gif(6, 9, true, true));
#else
    (void)dir;
#endif
}

// Every type the loader detects, for Gfx_Image_LoadMemory.
void MemoryFiles(const fs::path& dir) {
    JpegFiles(dir);
    WebpFiles(dir);
    GifFiles(dir);
    C_Image* alpha = Translucent(5, 4, true);
    Saved(dir, "rgba.png", *alpha, 0);
    delete alpha;
    Write(dir, "rgb24.bmp", Bmp(3, 2, 24, false));
    Write(dir, "index8.pcx", Pcx(1, 5, 3, 6));
    Write(dir, "rle-rgba32.tga", TgaPacked(10, 4, 2, 32));
    C_Image* record = Picture(3, 2, GFX_FMT_RGB565);
    Write(dir, "rgb565.img", Saved(*record));
    delete record;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s CORPUS-FOLDER\n", argv[0]);
        return 2;
    }
    const fs::path root = argv[1];
    ImageRecords(root / "image_record");
    SurfaceRecords(root / "surface_record");
    StringRecords(root / "string_record");
    BmpFiles(root / "bmp");
    PcxFiles(root / "pcx");
    TgaFiles(root / "tga");
    FontFiles(root / "font_file");
    FontRecords(root / "font_records");
    Write(root / "truetype", "minimal.ttf", Quillory_TrueTypeFont());
    // The file target reads every format under every extension.
    BmpFiles(root / "image_file");
    PcxFiles(root / "image_file");
    TgaFiles(root / "image_file");
    C_Image* record = Picture(3, 2, GFX_FMT_INDEX8, GFX_FMT_RGB888);
    Write(root / "image_file", "index8-palette.img", Saved(*record));
    delete record;
    JpegFiles(root / "jpeg");
    GifFiles(root / "gif");
    WebpFiles(root / "webp");
    MemoryFiles(root / "image_memory");
    return g_failures == 0 ? 0 : 1;
}
