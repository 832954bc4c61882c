// The failures of the file and record readers that the other tests cannot
// reach by bad data alone: buffers that cannot be had, files that cannot be
// opened, nested records that break, read back from the error record.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

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
std::size_t g_failSize = 0;      // 0: every allocation is served
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

using Bytes = std::vector<std::uint8_t>;

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

void Put16(Bytes& b, std::uint32_t v) {
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(Bytes& b, std::uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}

// A bottom-up BMP of 24 or 8 bits with zero pixels (rows padded to 4 bytes)
// and, for 8 bits, a full palette.
Bytes Bmp(std::uint32_t w, std::uint32_t h, std::uint32_t bits) {
    const std::uint32_t stride = (w * bits + 31) / 32 * 4;
    const std::uint32_t offBits = 54 + (bits == 8 ? 1024 : 0);
    Bytes b;
    Put16(b, 0x4D42);
    Put32(b, offBits + stride * h);
    Put32(b, 0);
    Put32(b, offBits);
    Put32(b, 40);
    Put32(b, w);
    Put32(b, h);
    Put16(b, 1);
    Put16(b, bits);
    for (int i = 0; i < 6; ++i) Put32(b, 0);
    b.resize(b.size() + (offBits - 54) + std::size_t{stride} * h, 0);
    return b;
}

// An uncompressed PCX: each scanline stored as literal bytes 1, then for
// 8 bits the palette trailer.
Bytes Pcx(std::uint8_t planes, std::uint32_t w, std::uint32_t h, std::uint32_t bytesPerLine) {
    Bytes b(128, 0);
    b[0] = 0x0A;
    b[1] = 0x05;
    b[2] = 1;
    b[3] = 8;
    b[8] = static_cast<std::uint8_t>(w - 1);
    b[10] = static_cast<std::uint8_t>(h - 1);
    b[65] = planes;
    b[66] = static_cast<std::uint8_t>(bytesPerLine);
    b.resize(b.size() + std::size_t{bytesPerLine} * planes * h, 1);
    if (planes == 1) {
        b.push_back(12);
        b.resize(b.size() + 768, 0);
    }
    return b;
}

// An uncompressed TGA of type 2 (true colour) or 1 (colour-mapped).
Bytes Tga(std::uint8_t type, std::uint32_t w, std::uint32_t h, std::uint8_t depth) {
    const bool mapped = type == 1;
    Bytes b = {0, static_cast<std::uint8_t>(mapped), type, 0, 0, 0, static_cast<std::uint8_t>(mapped),
               static_cast<std::uint8_t>(mapped ? 24 : 0), 0, 0, 0, 0};
    Put16(b, w);
    Put16(b, h);
    b.push_back(depth);
    b.push_back(0);
    b.resize(b.size() + (mapped ? 768 : 0) + std::size_t{w} * h * depth / 8, 7);
    return b;
}

using StreamReader = bool (C_Image::*)(C_Stream*);

// Runs `reader` over `bytes` with allocations of `failSize` bytes refused and
// checks the outcome: false, error 3 with `detail`, the reader's summary line,
// an empty image and the memory counter back where it was.
void ExpectAllocationFailure(StreamReader reader, const Bytes& bytes, std::size_t failSize, const char* detail,
                             const char* site) {
    C_Stream stream;
    ASSERT_TRUE(stream.OpenMemoryRead(bytes.data(), static_cast<std::uint32_t>(bytes.size())));
    C_Image image;
    const std::uint32_t before = Mem_GetUsage().memCurrent;
    Gfx_ClearError();
    bool loaded = true;
    {
        FailingAllocations failing(failSize);
        loaded = (image.*reader)(&stream);
        EXPECT_GE(failing.Refused(), 1u);
    }
    EXPECT_FALSE(loaded);
    ExpectFailure(GFX_ERR_NO_MEMORY, detail, site);
    EXPECT_EQ(image.data, nullptr);
    EXPECT_EQ(image.m_palette, nullptr);
    EXPECT_EQ(image.format, GFX_FMT_NONE);
    EXPECT_EQ(Mem_GetUsage().memCurrent, before);
}

// The file-name form of a reader on a missing file: false, error 11 naming
// the reader and the path, then the reader's summary line.
void ExpectMissingFile(bool (C_Image::*reader)(const char*), const char* name, const std::string& detailPrefix,
                       const char* site) {
    const std::string path = Quillory_TempPath(name);
    std::remove(path.c_str());
    C_Image image;
    Gfx_ClearError();
    EXPECT_FALSE((image.*reader)(path.c_str()));
    ExpectFailure(GFX_ERR_OPEN_READ, detailPrefix + "(" + path + ")", site);
}

constexpr const char* kNoInjection = "allocation failures cannot be injected in this build";

// ---------------------------------------------------------------- BMP

TEST(ReaderErrors, BmpBuffersThatCannotBeHad) {
    if (!kCanFailAllocations) GTEST_SKIP() << kNoInjection;
    ExpectAllocationFailure(&C_Image::LoadBMP, Bmp(7, 5, 24), 7 * 3 * 5, "C_Image::LoadBMP{data}(stream)",
                            "C_Image::Load_BMP");
    ExpectAllocationFailure(&C_Image::LoadBMP, Bmp(9, 3, 8), 9 * 3, "C_Image::LoadBMP{data}(stream)",
                            "C_Image::Load_BMP");
    ExpectAllocationFailure(&C_Image::LoadBMP, Bmp(9, 3, 8), 768, "C_Image::LoadBMP{m_palette}(stream)",
                            "C_Image::Load_BMP");
}

TEST(ReaderErrors, BmpMissingFile) {
    ExpectMissingFile(&C_Image::LoadBMP, "missing.bmp", "C_Image::LoadBMP", "C_Image::Load_BMP");
}

// ---------------------------------------------------------------- PCX

TEST(ReaderErrors, PcxBuffersThatCannotBeHad) {
    if (!kCanFailAllocations) GTEST_SKIP() << kNoInjection;
    const char* site = "C_Image::Load_PCX";
    // 8 bits, 5 x 3, lines of 6 bytes: pixels 15, scanline 6, palette 768.
    const Bytes indexed = Pcx(1, 5, 3, 6);
    ExpectAllocationFailure(&C_Image::LoadPCX, indexed, 15, "C_Image::LoadPCX{data}(stream)", site);
    ExpectAllocationFailure(&C_Image::LoadPCX, indexed, 6, "C_Image::LoadPCX{pixelRow}(stream)", site);
    ExpectAllocationFailure(&C_Image::LoadPCX, indexed, 768, "C_Image::LoadPCX{m_palette}(stream)", site);
    // 24 bits, 4 x 2, plane lines of 5 bytes: scanline 15, pixels 24.
    const Bytes planar = Pcx(3, 4, 2, 5);
    ExpectAllocationFailure(&C_Image::LoadPCX, planar, 15, "C_Image::LoadPCX{pixelRow}(stream)", site);
    ExpectAllocationFailure(&C_Image::LoadPCX, planar, 24, "C_Image::LoadPCX{data}(stream)", site);
}

TEST(ReaderErrors, PcxMissingFile) {
    ExpectMissingFile(&C_Image::LoadPCX, "missing.pcx", "C_Image::LoadPCX", "C_Image::Load_PCX");
}

// ---------------------------------------------------------------- TGA

TEST(ReaderErrors, TgaBuffersThatCannotBeHad) {
    if (!kCanFailAllocations) GTEST_SKIP() << kNoInjection;
    const char* site = "C_Image::Load_TGA";
    ExpectAllocationFailure(&C_Image::LoadTGA, Tga(2, 3, 5, 32), 3 * 5 * 4, "C_Image::LoadTGA{data}(stream)", site);
    ExpectAllocationFailure(&C_Image::LoadTGA, Tga(1, 11, 2, 8), 22, "C_Image::LoadTGA{data}(stream)", site);
    ExpectAllocationFailure(&C_Image::LoadTGA, Tga(1, 11, 2, 8), 768, "C_Image::LoadTGA{m_palette}(stream)", site);
}

TEST(ReaderErrors, TgaMissingFile) {
    ExpectMissingFile(&C_Image::LoadTGA, "missing.tga", "C_Image::LoadTGA", "C_Image::Load_TGA");
}

// ---------------------------------------------------------------- image record

Bytes SavedImage(C_Image& image) {
    C_Stream stream;
    stream.OpenMemoryWrite();
    EXPECT_TRUE(image.SaveToStream(&stream, 0));
    return Bytes(stream.Data(), stream.Data() + stream.Size());
}

bool LoadRecord(C_Image& image, const Bytes& bytes) {
    C_Stream stream;
    stream.OpenMemoryRead(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    return image.LoadFromStream(&stream, 0);
}

TEST(ReaderErrors, ImageRecordBuffersThatCannotBeHad) {
    if (!kCanFailAllocations) GTEST_SKIP() << kNoInjection;
    C_Image source;
    ASSERT_TRUE(source.CreateEmpty(13, 3, GFX_FMT_INDEX8, GFX_FMT_RGB888));
    const Bytes record = SavedImage(source);
    struct Case {
        std::size_t size;
        const char* detail;
    };
    for (const Case& c : {Case{768, "C_Image::LoadFromStream{m_palette}"}, Case{39, "C_Image::LoadFromStream{data}"}}) {
        SCOPED_TRACE(c.detail);
        C_Image image;
        const std::uint32_t before = Mem_GetUsage().memCurrent;
        Gfx_ClearError();
        bool loaded = true;
        {
            FailingAllocations failing(c.size);
            loaded = LoadRecord(image, record);
            EXPECT_EQ(failing.Refused(), 1u);
        }
        EXPECT_FALSE(loaded);
        ExpectFailure(GFX_ERR_NO_MEMORY, c.detail, "C_Image::LoadFromStream");
        EXPECT_EQ(image.data, nullptr);
        EXPECT_EQ(image.m_palette, nullptr);
        EXPECT_EQ(Mem_GetUsage().memCurrent, before);
    }
}

TEST(ReaderErrors, ImageRecordOfAnUnknownFormatIsNotWritten) {
    C_Image image;
    ASSERT_TRUE(image.CreateEmpty(2, 2, GFX_FMT_CH8, GFX_FMT_NONE));
    image.format = 48;  // no such format
    C_Stream stream;
    stream.OpenMemoryWrite();
    Gfx_ClearError();
    EXPECT_FALSE(image.SaveToStream(&stream, 0));
    ExpectFailure(GFX_ERR_FORMAT, "C_Image::SaveToStream{format}", "C_Image::SaveToStream");
    EXPECT_EQ(stream.Size(), 0u);
    EXPECT_NE(image.data, nullptr);  // the image itself is untouched
    image.format = GFX_FMT_CH8;
}

// ---------------------------------------------------------------- surface record

TEST(ReaderErrors, SurfaceRecordWithAWrongTag) {
    C_Surface surface;
    C_Stream stream;
    const Bytes bytes = {0x06, 0x00, 0x80};
    stream.OpenMemoryRead(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    Gfx_ClearError();
    EXPECT_FALSE(surface.LoadFromStream(&stream, 0));
    ExpectFailure(GFX_ERR_BAD_DATA, "C_Surface::LoadFromStream{class_type}", "C_Surface::LoadFromStream");
    EXPECT_EQ(surface.planes, nullptr);
}

TEST(ReaderErrors, SurfacePlaneThatFailsToLoadKeepsTheEarlierPlanes) {
    auto* color = new C_Image;
    ASSERT_TRUE(color->CreateEmpty(3, 2, GFX_FMT_RGB888, GFX_FMT_NONE));
    auto* alpha = new C_Image;
    ASSERT_TRUE(alpha->CreateEmpty(3, 2, GFX_FMT_CH8, GFX_FMT_NONE));
    C_Surface good(0, color, alpha, nullptr, nullptr, nullptr, nullptr);  // saved alpha first, then colour
    C_Stream out;
    out.OpenMemoryWrite();
    ASSERT_TRUE(good.SaveToStream(&out, 0));
    Bytes bytes(out.Data(), out.Data() + out.Size());
    // The second entry's image record gets an unknown format: the tag, list
    // marker, entry marker, plane number and the alpha image (30 + 6 bytes)
    // come first, then that entry's marker and number.
    const std::size_t secondImage = 2 + 1 + 1 + 4 + 36 + 1 + 4;
    ASSERT_EQ(bytes[secondImage], 0x06);
    bytes[secondImage + 22] = 48;

    C_Surface surface;
    C_Stream in;
    in.OpenMemoryRead(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    Gfx_ClearError();
    EXPECT_FALSE(surface.LoadFromStream(&in, 0));
    EXPECT_EQ(Gfx_GetErrorCode(), -1);
    EXPECT_EQ(std::string(Gfx_GetErrorMessage()), std::string("C_Surface::LoadFromStream") + GFX_FATAL_SUFFIX);
    EXPECT_EQ(Gfx_GetErrorDetailCode(), GFX_ERR_FORMAT);  // the nested image's own reason
    EXPECT_STREQ(Gfx_GetErrorDetail(), "C_Image::LoadFromStream{format}");
    ASSERT_NE(surface.GetPlane(GFX_PLANE_ALPHA), nullptr);
    EXPECT_EQ(surface.GetPlane(GFX_PLANE_ALPHA)->width, 3u);
    EXPECT_EQ(surface.GetPlane(GFX_PLANE_COLOR), nullptr);
}

// ---------------------------------------------------------------- string loader

TEST(ReaderErrors, TextFileThatCannotBeOpened) {
    const std::string path = Quillory_TempPath("missing.txt");
    std::remove(path.c_str());
    C_String text("old");
    Gfx_ClearError();
    EXPECT_FALSE(text.Load_TXT_FromFile(C_String(path.c_str())));
    ExpectFailure(GFX_ERR_OPEN_READ, "C_String::Load_TXT_FromFile(" + path + ")", "C_String::Load_TXT_FromFile");
    EXPECT_EQ(text.Length(), 0u);
}

}  // namespace
