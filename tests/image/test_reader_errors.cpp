// The failures the other tests cannot reach by bad data alone: buffers that
// cannot be had, files that cannot be opened, unknown formats, nested records
// that break, read back from the error record.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "error_case.h"
#include "image_test_support.h"
#include "quillory.h"
#include "test_support.h"

// ---------------------------------------------------------------------------
// Allocation failure on demand. The plain build replaces malloc and calloc
// for this program with thin wrappers over the C library's own, so that a
// test can make every allocation of one chosen size fail while a reader runs.
// Under AddressSanitizer the sanitizer owns the allocator and these tests are
// skipped.
#if defined(__SANITIZE_ADDRESS__)
#define QUILLORY_TEST_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUILLORY_TEST_ASAN 1
#endif
#endif

namespace {
std::size_t g_failSize = 0;       // 0: every allocation is served
std::uint32_t g_failedCount = 0;  // allocations refused so far
}  // namespace

#if defined(__GLIBC__) && !defined(QUILLORY_TEST_ASAN)
constexpr bool kCanFailAllocations = true;

extern "C" void* __libc_malloc(std::size_t size);
extern "C" void* __libc_calloc(std::size_t count, std::size_t size);

extern "C" void* malloc(std::size_t size) noexcept {
    if (g_failSize != 0 && size == g_failSize) {
        ++g_failedCount;
        return nullptr;
    }
    return __libc_malloc(size);
}

extern "C" void* calloc(std::size_t count, std::size_t size) noexcept {
    std::size_t total = 0;
    if (g_failSize != 0 && !__builtin_mul_overflow(count, size, &total) && total == g_failSize) {
        ++g_failedCount;
        return nullptr;
    }
    return __libc_calloc(count, size);
}
#else
constexpr bool kCanFailAllocations = false;
#endif

namespace {

// While it lives, allocations of exactly `bytes` bytes fail.
class FailingAllocations {
public:
    explicit FailingAllocations(std::size_t bytes) {
        g_failedCount = 0;
        g_failSize = bytes;
    }
    ~FailingAllocations() { g_failSize = 0; }
    FailingAllocations(const FailingAllocations&) = delete;
    FailingAllocations& operator=(const FailingAllocations&) = delete;
    std::uint32_t Refused() const { return g_failedCount; }
};

// Files of zero pixels (BMP rows padded to 4 bytes, PCX scanlines stored as
// literal bytes 1), with a full palette wherever the format has one.
Bytes BmpFile(std::uint32_t w, std::uint32_t h, std::uint16_t bits) {
    Bmp bmp;
    bmp.width = static_cast<std::int32_t>(w);
    bmp.height = static_cast<std::int32_t>(h);
    bmp.bits = bits;
    bmp.paletteEntries = bits == 8 ? 256 : 0;
    bmp.pixels.assign(std::size_t{(w * bits + 31) / 32 * 4} * h, 0);
    return bmp.Build();
}

Bytes PcxFile(std::uint8_t planes, std::uint32_t w, std::uint32_t h, std::uint32_t bytesPerLine) {
    Bytes b = PcxHeader(planes, w, h, bytesPerLine);
    b.resize(b.size() + std::size_t{bytesPerLine} * planes * h, 1);
    if (planes == 1) {
        b.push_back(12);
        b.resize(b.size() + 768, 0);
    }
    return b;
}

Bytes TgaFile(std::uint8_t type, std::uint32_t w, std::uint32_t h, std::uint8_t depth) {
    Bytes b = TgaHeader(type, w, h, depth);
    b.resize(b.size() + (type == 1 ? 768 : 0) + std::size_t{w} * h * depth / 8, 7);
    return b;
}

bool LoadRecord(C_Image& image, const Bytes& bytes) {
    C_Stream stream;
    stream.OpenMemoryRead(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    return image.LoadFromStream(&stream, 0);
}

// A failure the public interface reports: provoked with allocations of
// `failSize` bytes refused (0: none), then the record checked, and `image`
// (when given) left empty with the memory counter back where it was.
struct Failure {
    ErrorCase error;
    std::size_t failSize;
    const C_Image* image;
};

void ExpectFailureCase(const Failure& f) {
    SCOPED_TRACE(f.error.what);
    const std::uint32_t before = Mem_GetUsage().memCurrent;
    Gfx_ClearError();
    bool result = true;
    {
        FailingAllocations failing(f.failSize);
        result = f.error.provoke();
        if (f.failSize != 0) {
            EXPECT_GE(failing.Refused(), 1u);
        }
    }
    EXPECT_FALSE(result);
    ExpectRecorded(f.error);
    if (f.image) {
        EXPECT_EQ(f.image->data, nullptr);
        EXPECT_EQ(f.image->m_palette, nullptr);
        EXPECT_EQ(Mem_GetUsage().memCurrent, before);
    }
}

TEST(ReaderErrors, BuffersThatCannotBeHad) {
    if (!kCanFailAllocations) GTEST_SKIP() << "allocation failures cannot be injected in this build";
    C_Image image;
    // Each reader's buffers, named as the detail names them, and the size of
    // the allocation refused.
    const Bytes bmp24 = BmpFile(7, 5, 24), bmp8 = BmpFile(9, 3, 8);
    const Bytes pcx8 = PcxFile(1, 5, 3, 6), pcx24 = PcxFile(3, 4, 2, 5);  // lines of 6; planes of 5
    const Bytes tga32 = TgaFile(2, 3, 5, 32), tga8 = TgaFile(1, 11, 2, 8);
    const struct {
        Reader reader;
        const Bytes* file;
        const char* buffer;
        std::size_t failSize;
    } readers[] = {
        {&C_Image::LoadBMP, &bmp24, "data", 7 * 3 * 5}, {&C_Image::LoadBMP, &bmp8, "data", 27},
        {&C_Image::LoadBMP, &bmp8, "m_palette", 768},   {&C_Image::LoadPCX, &pcx8, "data", 15},
        {&C_Image::LoadPCX, &pcx8, "pixelRow", 6},      {&C_Image::LoadPCX, &pcx8, "m_palette", 768},
        {&C_Image::LoadPCX, &pcx24, "pixelRow", 15},    {&C_Image::LoadPCX, &pcx24, "data", 24},
        {&C_Image::LoadTGA, &tga32, "data", 60},        {&C_Image::LoadTGA, &tga8, "data", 22},
        {&C_Image::LoadTGA, &tga8, "m_palette", 768},
    };
    std::vector<Failure> cases;
    for (const auto& r : readers) {
        const std::string name = r.reader == static_cast<Reader>(&C_Image::LoadBMP)   ? "BMP"
                                 : r.reader == static_cast<Reader>(&C_Image::LoadPCX) ? "PCX"
                                                                                      : "TGA";
        auto load = [&image, reader = r.reader, file = r.file] { return LoadWith(image, reader, *file); };
        cases.push_back({{"reader buffer", load, GFX_ERR_NO_MEMORY,
                          "C_Image::Load" + name + "{" + r.buffer + "}(stream)", "C_Image::Load_" + name},
                         r.failSize,
                         &image});
    }
    C_Image pixels, paletteOnly, record;
    ASSERT_TRUE(pixels.CreateEmpty(64, 64, GFX_FMT_CH8, GFX_FMT_NONE));          // 4096 bytes
    ASSERT_TRUE(paletteOnly.CreateEmpty(0, 0, GFX_FMT_INDEX8, GFX_FMT_RGB888));  // 768 bytes, no pixels
    ASSERT_TRUE(record.CreateEmpty(13, 3, GFX_FMT_INDEX8, GFX_FMT_RGB888));
    const Bytes saved = Quillory_Saved(record);
    const std::string rec = "C_Image::LoadFromStream", ce = "C_Image::CreateEmpty";
    auto copyOf = [&image](const C_Image& from) {
        return [&image, &from] {
            image = from;  // the assignments record no summary line
            return image.data != nullptr || image.m_palette != nullptr;
        };
    };
    const std::vector<Failure> others = {
        {{"record palette", [&] { return LoadRecord(image, saved); }, GFX_ERR_NO_MEMORY, rec + "{m_palette}", rec},
         768,
         &image},
        {{"record pixels", [&] { return LoadRecord(image, saved); }, GFX_ERR_NO_MEMORY, rec + "{data}", rec},
         39,
         &image},
        {{"palette of a new image", [&] { return image.CreateEmpty(0, 0, GFX_FMT_INDEX8, GFX_FMT_RGB888); }, 3,
          ce + "{m_palette}", ce},
         768,
         &image},
        {{"pixels of a copy", copyOf(pixels), GFX_ERR_NO_MEMORY, "C_Image::operator={data}", ""}, 4096, &image},
        {{"palette of a copy", copyOf(paletteOnly), GFX_ERR_NO_MEMORY, "C_Image::operator={m_palette}", ""},
         768,
         &image},
    };
    cases.insert(cases.end(), others.begin(), others.end());
    for (const Failure& f : cases) ExpectFailureCase(f);
}

TEST(ReaderErrors, UnknownFormatsMissingFilesAndImpossibleSizes) {
    C_Image image, grey;
    ASSERT_TRUE(grey.CreateEmpty(3, 2, GFX_FMT_CH8, GFX_FMT_NONE));
    // A grey view whose 32-bit form would need rows longer than any 32-bit
    // size: converting it must fail while creating the new buffer, before a
    // single pixel of the (tiny) memory is read.
    std::uint8_t lent[4] = {};
    C_Image view;
    ASSERT_TRUE(view.CreateLocked(0x40000001u, 1, 0x40000001u, GFX_FMT_CH8, GFX_FMT_NONE, lent));
    auto withFormat = [&grey](std::function<bool()> call) {
        return [&grey, call] {
            grey.format = 99;
            const bool ok = call();
            grey.format = GFX_FMT_CH8;
            return ok;
        };
    };
    C_Stream sink;
    sink.OpenMemoryWrite();
    const std::string raw = Quillory_TempPath("pixels.raw");
    std::remove(raw.c_str());
    auto missing = [&](bool (C_Image::*reader)(const char*), const char* name) {
        return [&, reader, name] { return (image.*reader)(Quillory_TempPath(name).c_str()); };
    };
    const std::vector<Failure> cases = {
        {{"channel of an unknown format", withFormat([&] { return Gfx_Image_GetChannel(&grey, &image, 0); }),
          GFX_ERR_FORMAT, "Gfx_Image_GetChannel{pImageSrc->format}", "Gfx_Image_GetChannel"},
         0,
         &image},
        {{"raw dump of an unknown format", withFormat([&] { return grey.Save_RAW_ToFile(raw.c_str()); }),
          GFX_ERR_FORMAT, "C_Image::Save_RAW_ToFile{format}", "C_Image::Save_RAW_ToFile"},
         0,
         nullptr},
        {{"record of an unknown format", withFormat([&] { return grey.SaveToStream(&sink, 0); }), GFX_ERR_FORMAT,
          "C_Image::SaveToStream{format}", "C_Image::SaveToStream"},
         0,
         nullptr},
        {{"format change whose new buffer cannot exist",
          [&] { return Gfx_Image_ChangeFormat(&view, GFX_FMT_ARGB8888, GFX_FMT_SAME, 0); }, GFX_ERR_NO_MEMORY,
          "C_Image::CreateEmpty{data}", "Gfx_Image_ChangeFormat"},
         0,
         nullptr},
        {{"clone whose new buffer cannot exist",
          [&] { return Gfx_Image_Clone(&view, &image, GFX_FMT_ARGB8888, GFX_FMT_SAME, 0); }, GFX_ERR_NO_MEMORY,
          "C_Image::CreateEmpty{data}", "Gfx_Image_Clone"},
         0,
         &image},
        {{"missing BMP", missing(&C_Image::LoadBMP, "missing.bmp"), GFX_ERR_OPEN_READ,
          "C_Image::LoadBMP(" + Quillory_TempPath("missing.bmp") + ")", "C_Image::Load_BMP"},
         0,
         &image},
    };
    for (const Failure& f : cases) ExpectFailureCase(f);
    // Failed calls leave their images and files as they were.
    EXPECT_EQ(view.format, GFX_FMT_CH8);
    EXPECT_EQ(view.data, lent);
    EXPECT_EQ(sink.Size(), 0u);
    EXPECT_TRUE(ReadFile(raw).empty());
}

}  // namespace
