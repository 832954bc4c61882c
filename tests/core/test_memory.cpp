#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "quillory.h"

namespace {

// The pattern fills against a byte-by-byte model: whole copies of the
// little-endian unit, then zeros for the 16- and 32-bit tails (the 24-bit
// fill leaves its tail alone), and nothing past byteCount.
TEST(Memory, FillsMatchTheByteModelForEveryLength) {
    using Fill = bool (*)(void*, std::size_t, std::uint32_t);
    struct Width {
        std::size_t unit;
        Fill fill;
        bool zeroTail;
    };
    const Width widths[] = {
        {2, [](void* d, std::size_t n, std::uint32_t v) { return Mem_Fill16(d, n, static_cast<std::uint16_t>(v)); },
         true},
        {3, Mem_Fill24, false},
        {4, Mem_Fill32, true},
    };
    const std::uint32_t value = 0xA4C3B2A1;  // the 24-bit fill ignores the top byte
    for (const Width& w : widths) {
        for (std::size_t n = 0; n <= 40; ++n) {
            std::vector<std::uint8_t> got(48, 0xEE), want(48, 0xEE);
            for (std::size_t i = 0; i < n; ++i)
                want[i] = i < n / w.unit * w.unit ? static_cast<std::uint8_t>(value >> (8 * (i % w.unit)))
                                                  : (w.zeroTail ? 0 : 0xEE);
            EXPECT_TRUE(w.fill(got.data(), n, value));
            EXPECT_EQ(got, want) << "unit " << w.unit << ", " << n << " bytes";
        }
    }
    EXPECT_TRUE(Mem_Fill16(nullptr, 0, 1));  // zero lengths touch nothing
    EXPECT_TRUE(Mem_Fill24(nullptr, 2, 1));  // no whole copy fits
    EXPECT_TRUE(Mem_Copy(nullptr, nullptr, 0));
    EXPECT_TRUE(Mem_Zero(nullptr, 0));
}

TEST(Memory, CopyIsAMoveAndCompareSeesTheLastByte) {
    std::uint8_t a[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    std::uint8_t b[9] = {};
    EXPECT_TRUE(Mem_Copy(a, b, 9));  // source first
    EXPECT_TRUE(Mem_Compare(a, b, 9));
    b[8] = 0;
    EXPECT_FALSE(Mem_Compare(a, b, 9));
    EXPECT_TRUE(Mem_Compare(a, b, 8));
    EXPECT_TRUE(Mem_Compare(nullptr, nullptr, 0));
    Mem_Copy(a, a + 1, 8);  // overlapping
    const std::uint8_t moved[9] = {1, 1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(std::memcmp(a, moved, 9), 0);
}

bool AllEqual(const std::uint8_t* p, std::uint32_t n, std::uint8_t v) {
    for (std::uint32_t i = 0; i < n; ++i)
        if (p[i] != v) return false;
    return true;
}

// Growth keeps (or drops) the old bytes, zeroes the rest and is counted;
// shrinking keeps the block.
TEST(Buffer, ResizeAndAllocateKeepZeroAndCount) {
    C_Buffer buf;
    const std::uint32_t before = Mem_GetUsage().memCurrent;
    ASSERT_TRUE(buf.Resize(10, true));
    Mem_Fill8(buf.data, 10, 0xAB);
    ASSERT_TRUE(buf.Resize(20, true));
    EXPECT_TRUE(AllEqual(buf.data, 10, 0xAB));
    EXPECT_TRUE(AllEqual(buf.data + 10, 10, 0));
    EXPECT_EQ(Mem_GetUsage().memCurrent - before, 20u);
    EXPECT_GE(Mem_GetUsage().memPeak, before + 30);  // both blocks lived at once
    std::uint8_t* const block = buf.data;
    ASSERT_TRUE(buf.Resize(5, true));
    ASSERT_TRUE(buf.Resize(20, false));
    EXPECT_EQ(buf.data, block);
    EXPECT_EQ(buf.capacity, 20u);
    ASSERT_TRUE(buf.Resize(30, false));
    EXPECT_TRUE(AllEqual(buf.data, 30, 0));

    ASSERT_TRUE(buf.Allocate(4, true, false));  // keep: exactly 4
    EXPECT_EQ(buf.capacity, 4u);
    EXPECT_EQ(buf.size, 4u);
    Mem_Fill8(buf.data, 4, 0x11);
    ASSERT_TRUE(buf.Allocate(8, true, false));
    EXPECT_TRUE(AllEqual(buf.data, 4, 0x11));
    EXPECT_TRUE(AllEqual(buf.data + 4, 4, 0));
    EXPECT_EQ(Mem_GetUsage().memCurrent - before, 8u);
    ASSERT_TRUE(buf.Allocate(0, false, false));
    EXPECT_EQ(buf.data, nullptr);
    EXPECT_EQ(Mem_GetUsage().memCurrent, before);
    buf.Free();  // harmless twice
}

}  // namespace
