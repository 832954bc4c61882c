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
    ExpectAllocationFailure(&C_Image::LoadBMP, BmpFile(7, 5, 24), 7 * 3 * 5, "C_Image::LoadBMP{data}(stream)",
                            "C_Image::Load_BMP");
    ExpectAllocationFailure(&C_Image::LoadBMP, BmpFile(9, 3, 8), 9 * 3, "C_Image::LoadBMP{data}(stream)",
                            "C_Image::Load_BMP");
    ExpectAllocationFailure(&C_Image::LoadBMP, BmpFile(9, 3, 8), 768, "C_Image::LoadBMP{m_palette}(stream)",
                            "C_Image::Load_BMP");
}

// ---------------------------------------------------------------- PCX

TEST(ReaderErrors, PcxBuffersThatCannotBeHad) {
    if (!kCanFailAllocations) GTEST_SKIP() << kNoInjection;
    const char* site = "C_Image::Load_PCX";
    // 8 bits, 5 x 3, lines of 6 bytes: pixels 15, scanline 6, palette 768.
    const Bytes indexed = PcxFile(1, 5, 3, 6);
    ExpectAllocationFailure(&C_Image::LoadPCX, indexed, 15, "C_Image::LoadPCX{data}(stream)", site);
    ExpectAllocationFailure(&C_Image::LoadPCX, indexed, 6, "C_Image::LoadPCX{pixelRow}(stream)", site);
    ExpectAllocationFailure(&C_Image::LoadPCX, indexed, 768, "C_Image::LoadPCX{m_palette}(stream)", site);
    // 24 bits, 4 x 2, plane lines of 5 bytes: scanline 15, pixels 24.
    const Bytes planar = PcxFile(3, 4, 2, 5);
    ExpectAllocationFailure(&C_Image::LoadPCX, planar, 15, "C_Image::LoadPCX{pixelRow}(stream)", site);
    ExpectAllocationFailure(&C_Image::LoadPCX, planar, 24, "C_Image::LoadPCX{data}(stream)", site);
}

// ---------------------------------------------------------------- TGA

TEST(ReaderErrors, TgaBuffersThatCannotBeHad) {
    if (!kCanFailAllocations) GTEST_SKIP() << kNoInjection;
    const char* site = "C_Image::Load_TGA";
    ExpectAllocationFailure(&C_Image::LoadTGA, TgaFile(2, 3, 5, 32), 3 * 5 * 4, "C_Image::LoadTGA{data}(stream)", site);
    ExpectAllocationFailure(&C_Image::LoadTGA, TgaFile(1, 11, 2, 8), 22, "C_Image::LoadTGA{data}(stream)", site);
    ExpectAllocationFailure(&C_Image::LoadTGA, TgaFile(1, 11, 2, 8), 768, "C_Image::LoadTGA{m_palette}(stream)", site);
}

TEST(ReaderErrors, MissingFiles) {
    ExpectMissingFile(&C_Image::LoadBMP, "missing.bmp", "C_Image::LoadBMP", "C_Image::Load_BMP");
    ExpectMissingFile(&C_Image::LoadPCX, "missing.pcx", "C_Image::LoadPCX", "C_Image::Load_PCX");
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
