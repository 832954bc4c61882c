// Failure reports of the image class and its converters that no other test
// reads back: the specific code and message, then the summary line where
// the operation records one.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "error_case.h"
#include "quillory.h"
#include "test_support.h"

#if defined(__linux__)
#include <sys/resource.h>
#include <unistd.h>
#endif

#if defined(__SANITIZE_ADDRESS__)
#define QUILLORY_ERRORS_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUILLORY_ERRORS_ASAN 1
#endif
#endif

namespace {

constexpr std::int32_t kNoSuchFormat = 99;

TEST(ErrorPaths, ImageOperationsReportUnknownFormatsAndImpossibleSizes) {
    C_Image grey;
    ASSERT_TRUE(grey.CreateEmpty(3, 2, GFX_FMT_CH8, GFX_FMT_NONE));
    C_Image out;
    // A grey view one byte wide per pixel whose 32-bit form would need rows
    // longer than any 32-bit size: converting it must fail while creating
    // the new buffer, before a single pixel of the (tiny) memory is read.
    std::uint8_t lent[4] = {};
    const std::uint32_t wide = 0x40000001u;
    C_Image view;
    ASSERT_TRUE(view.CreateLocked(wide, 1, wide, GFX_FMT_CH8, GFX_FMT_NONE, lent));
    const std::string unwritable = Quillory_TempPath("pixels.raw");
    std::remove(unwritable.c_str());

    // Each case runs on `grey` with its format changed for the call only.
    auto withFormat = [&grey](std::function<bool()> call) {
        return [&grey, call] {
            grey.format = kNoSuchFormat;
            const bool ok = call();
            grey.format = GFX_FMT_CH8;
            return ok;
        };
    };

    const std::vector<ErrorCase> cases = {
        {"channel of an unknown source format", withFormat([&] { return Gfx_Image_GetChannel(&grey, &out, 0); }),
         GFX_ERR_FORMAT, "Gfx_Image_GetChannel{pImageSrc->format}", "Gfx_Image_GetChannel"},
        {"raw dump of an unknown format", withFormat([&] { return grey.Save_RAW_ToFile(unwritable.c_str()); }),
         GFX_ERR_FORMAT, "C_Image::Save_RAW_ToFile{format}", "C_Image::Save_RAW_ToFile"},
        {"format change whose new buffer cannot exist",
         [&] { return Gfx_Image_ChangeFormat(&view, GFX_FMT_ARGB8888, GFX_FMT_SAME, 0); }, GFX_ERR_NO_MEMORY,
         "C_Image::CreateEmpty{data}", "Gfx_Image_ChangeFormat"},
        {"clone whose new buffer cannot exist",
         [&] { return Gfx_Image_Clone(&view, &out, GFX_FMT_ARGB8888, GFX_FMT_SAME, 0); }, GFX_ERR_NO_MEMORY,
         "C_Image::CreateEmpty{data}", "Gfx_Image_Clone"},
    };
    for (const ErrorCase& c : cases) ExpectReported(c);

    // Failed calls leave their images as they were.
    EXPECT_EQ(view.format, GFX_FMT_CH8);
    EXPECT_EQ(view.data, lent);
    EXPECT_EQ(out.data, nullptr);
    std::FILE* f = std::fopen(unwritable.c_str(), "rb");
    EXPECT_EQ(f, nullptr);  // nothing was created for the unknown format
    if (f) std::fclose(f);
}

// ---------------------------------------------------------------------------
// Buffers that cannot be had. The address space is capped just above what
// the process maps and every block of the chosen size the heap can still
// give is taken, so the operation's own allocation of that size fails.
// AddressSanitizer reserves its shadow memory up front and owns the
// allocator, so the cap cannot be used there.
#if defined(__linux__) && !defined(QUILLORY_ERRORS_ASAN)
constexpr bool kCanExhaustHeap = true;

// Grows the stack once so that calls made under the cap never need more of
// it (stack growth counts against the address-space limit).
__attribute__((noinline)) void TouchStack() {
    volatile std::uint8_t pad[256 * 1024];
    for (std::size_t i = 0; i < sizeof pad; i += 4096) pad[i] = 1;
}

std::size_t MappedBytes() {
    std::FILE* f = std::fopen("/proc/self/statm", "r");
    if (!f) return 0;
    unsigned long pages = 0;
    const bool ok = std::fscanf(f, "%lu", &pages) == 1;
    std::fclose(f);
    return ok ? pages * static_cast<std::size_t>(sysconf(_SC_PAGESIZE)) : 0;
}

class ExhaustedHeap {
public:
    explicit ExhaustedHeap(std::size_t blockSize) {
        held_.reserve(kMaxBlocks);  // before the cap: the list itself must not fail
        TouchStack();
        if (getrlimit(RLIMIT_AS, &saved_) != 0) return;
        rlimit cap = saved_;
        cap.rlim_cur = MappedBytes();
        if (cap.rlim_cur == 0 || (saved_.rlim_max != RLIM_INFINITY && cap.rlim_cur > saved_.rlim_max)) return;
        if (setrlimit(RLIMIT_AS, &cap) != 0) return;
        capped_ = true;
        while (held_.size() < kMaxBlocks) {
            void* block = std::malloc(blockSize);
            if (!block) {
                exhausted_ = true;
                break;
            }
            held_.push_back(block);
        }
    }
    ~ExhaustedHeap() {
        if (capped_) setrlimit(RLIMIT_AS, &saved_);
        for (void* block : held_) std::free(block);
    }
    ExhaustedHeap(const ExhaustedHeap&) = delete;
    ExhaustedHeap& operator=(const ExhaustedHeap&) = delete;

    bool Exhausted() const { return exhausted_; }

private:
    static constexpr std::size_t kMaxBlocks = std::size_t{1} << 21;
    std::vector<void*> held_;
    rlimit saved_{};
    bool capped_ = false;
    bool exhausted_ = false;
};
#else
constexpr bool kCanExhaustHeap = false;
class ExhaustedHeap {
public:
    explicit ExhaustedHeap(std::size_t) {}
    bool Exhausted() const { return false; }
};
#endif

TEST(ErrorPaths, ImageBuffersThatCannotBeHad) {
    if (!kCanExhaustHeap) GTEST_SKIP() << "the heap cannot be exhausted safely in this build";
    constexpr std::size_t kPaletteBytes = 768;  // 256 entries of 3 bytes
    C_Image pixels;
    ASSERT_TRUE(pixels.CreateEmpty(64, 64, GFX_FMT_CH8, GFX_FMT_NONE));  // 4096 bytes
    C_Image paletteOnly;                                                 // no pixels, so only the palette is copied
    ASSERT_TRUE(paletteOnly.CreateEmpty(0, 0, GFX_FMT_INDEX8, GFX_FMT_RGB888));
    ASSERT_EQ(paletteOnly.paletteSize, kPaletteBytes);
    C_Image target;

    struct AllocationCase {
        ErrorCase error;
        std::size_t failingSize;
    };
    // The assignments record no summary line.
    const std::vector<AllocationCase> cases = {
        {{"palette of a new image", [&] { return target.CreateEmpty(0, 0, GFX_FMT_INDEX8, GFX_FMT_RGB888); },
          GFX_ERR_NO_MEMORY, "C_Image::CreateEmpty{m_palette}", "C_Image::CreateEmpty"},
         kPaletteBytes},
        {{"pixels of a copy",
          [&] {
              target = pixels;
              return target.data != nullptr;
          },
          GFX_ERR_NO_MEMORY, "C_Image::operator={data}", ""},
         4096},
        {{"palette of a copy",
          [&] {
              target = paletteOnly;
              return target.m_palette != nullptr;
          },
          GFX_ERR_NO_MEMORY, "C_Image::operator={m_palette}", ""},
         kPaletteBytes},
    };
    for (const AllocationCase& c : cases) {
        SCOPED_TRACE(c.error.what);
        bool result = true;
        Gfx_ClearError();
        {
            ExhaustedHeap heap(c.failingSize);
            ASSERT_TRUE(heap.Exhausted());
            result = c.error.provoke();
        }
        // Read back outside the cap (the checks themselves allocate).
        EXPECT_FALSE(result);
        ExpectRecorded(c.error);
        EXPECT_EQ(target.m_palette, nullptr);
        EXPECT_EQ(target.data, nullptr);
    }
}

}  // namespace
