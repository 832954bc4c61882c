// Helpers shared by the image tests: error-record checks and byte access.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/error.h"
#include "core/stream.h"
#include "error_case.h"
#include "image/image.h"
#include "test_support.h"

using Bytes = std::vector<std::uint8_t>;

// Checks that the last failure recorded `code` with `detail` and then the
// summary line of `site`.
inline void ExpectFailure(std::int32_t code, const std::string& detail, const std::string& site) {
    ExpectRecorded({"", nullptr, code, detail, site});
}

// The bytes of stored row y (memory order, not display order).
inline std::vector<std::uint8_t> StoredRow(const C_Image& image, std::uint32_t y, std::size_t bytes) {
    const std::uint8_t* p = image.data + std::size_t{y} * image.pitch;
    return std::vector<std::uint8_t>(p, p + bytes);
}

// A refused load leaves no picture, no palette and no format behind.
inline void ExpectEmptied(const C_Image& image) {
    EXPECT_TRUE(image.data == nullptr && image.m_palette == nullptr && image.format == -1);
    EXPECT_EQ(image.width + image.height + image.dataSize + image.paletteSize, 0u);
}

inline std::vector<std::uint8_t> AllBytes(const C_Image& image) {
    return std::vector<std::uint8_t>(image.data, image.data + image.dataSize);
}

// FNV-1a of a byte sequence (a string or bytes): golden hashes of outputs
// whose bytes all follow from one rule.
template <typename Sequence>
std::uint64_t Fnv1a(const Sequence& bytes) {
    static_assert(sizeof(bytes[0]) == 1, "a sequence of bytes");
    return Fnv1a(kFnvStart, bytes.data(), bytes.size());
}

// `count` little-endian values of `bytes` bytes each, as raw bytes.
inline std::vector<std::uint8_t> LeBytes(std::initializer_list<std::uint64_t> values, std::size_t bytes) {
    std::vector<std::uint8_t> out;
    for (std::uint64_t v : values)
        for (std::size_t i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    return out;
}

inline void WriteFile(const std::string& path, const Bytes& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    if (!bytes.empty()) {
        ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
    }
    std::fclose(f);
}

inline Bytes ReadFile(const std::string& path) {
    const std::string text = Quillory_ReadFile(path);
    return Bytes(text.begin(), text.end());
}

inline void Append(Bytes& b, const Bytes& more) { b.insert(b.end(), more.begin(), more.end()); }
inline void Put16(Bytes& b, std::uint32_t v) { Append(b, LeBytes({v}, 2)); }
inline void Put32(Bytes& b, std::uint32_t v) { Append(b, LeBytes({v}, 4)); }

using Reader = bool (C_Image::*)(C_Stream*);

inline bool LoadWith(C_Image& image, Reader reader, const Bytes& bytes) {
    C_Stream s;
    s.OpenMemoryRead(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    return (image.*reader)(&s);
}

// A BMP file: the two headers, `paletteEntries` entries of
// `paletteEntryBytes` (entry i is B, G, R = i, i+1, i+2) and the pixel data as
// it lies in the file. `masks` go at byte 40 of the information header, or
// after it when the header is shorter; an information header of 12 bytes is
// the OS/2 1.x one with 16-bit sizes.
struct Bmp {
    std::int32_t width = 3;
    std::int32_t height = 2;
    std::uint16_t bits = 24;
    std::uint32_t compression = 0;
    std::uint32_t sizeImage = 0;
    std::uint32_t infoSize = 40;
    std::uint32_t clrUsed = 0;
    std::uint32_t paletteEntries = 0;
    std::uint32_t paletteEntryBytes = 4;
    std::vector<std::uint32_t> masks;
    Bytes pixels;

    Bytes Build() const {
        Bytes b;
        const std::uint32_t outsideMasks = infoSize < 52 ? static_cast<std::uint32_t>(masks.size()) * 4 : 0;
        const std::uint32_t offBits = 14 + infoSize + outsideMasks + paletteEntries * paletteEntryBytes;
        Put16(b, 0x4D42);
        Put32(b, offBits + static_cast<std::uint32_t>(pixels.size()));
        Put32(b, 0);
        Put32(b, offBits);
        Put32(b, infoSize);
        if (infoSize == 12) {
            Put16(b, static_cast<std::uint32_t>(width));
            Put16(b, static_cast<std::uint32_t>(height));
            Put16(b, 1);
            Put16(b, bits);
        } else {
            Put32(b, static_cast<std::uint32_t>(width));
            Put32(b, static_cast<std::uint32_t>(height));
            Put16(b, 1);
            Put16(b, bits);
            Put32(b, compression);
            Put32(b, sizeImage);
            Put32(b, 2835);
            Put32(b, 2835);
            Put32(b, clrUsed);
            Put32(b, 0);
            for (std::uint32_t m : masks) Put32(b, m);
        }
        b.resize(14 + infoSize + outsideMasks, 0x99);  // the rest of a larger information header
        for (std::uint32_t i = 0; i < paletteEntries; ++i) {
            Append(b,
                   {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i + 1), static_cast<std::uint8_t>(i + 2)});
            if (paletteEntryBytes == 4) b.push_back(0x77);
        }
        Append(b, pixels);
        return b;
    }
};

// A PCX header; the sizes are stored as differences from a non-zero origin.
inline Bytes PcxHeader(std::uint8_t planes, std::uint32_t w, std::uint32_t h, std::uint32_t bytesPerLine) {
    Bytes b = {0x0A, 0x05, 1, 8};
    const std::uint32_t xmin = 10, ymin = 20;
    for (const std::uint32_t v : {xmin, ymin, xmin + w - 1, ymin + h - 1}) Put16(b, v);
    b.resize(65, 0);
    b.push_back(planes);
    Put16(b, bytesPerLine);
    b.resize(128, 0);
    return b;
}

// A TGA header; types 1 and 9 announce a 256-entry 24-bit colour map.
inline Bytes TgaHeader(std::uint8_t type, std::uint32_t w, std::uint32_t h, std::uint8_t depth) {
    const std::uint8_t mapped = type == 1 || type == 9 ? 1 : 0;
    Bytes b(12, 0);
    b[1] = mapped;
    b[2] = type;
    b[6] = mapped;  // a map length of 256
    b[7] = mapped ? 24 : 0;
    Put16(b, w);
    Put16(b, h);
    Append(b, {depth, 0});
    return b;
}
