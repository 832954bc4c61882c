#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "quillory.h"

namespace {

TEST(Memory, FillsHandleOddLengths) {
    std::uint8_t b[12];

    std::memset(b, 0xEE, sizeof b);
    Mem_Fill32(b, 7, 0x44332211);
    const std::uint8_t fill32[8] = {0x11, 0x22, 0x33, 0x44, 0, 0, 0, 0xEE};
    EXPECT_EQ(std::memcmp(b, fill32, 8), 0);

    std::memset(b, 0xEE, sizeof b);
    Mem_Fill16(b, 7, 0xBBAA);
    const std::uint8_t fill16[8] = {0xAA, 0xBB, 0xAA, 0xBB, 0xAA, 0xBB, 0, 0xEE};
    EXPECT_EQ(std::memcmp(b, fill16, 8), 0);

    std::memset(b, 0xEE, sizeof b);
    Mem_Fill24(b, 10, 0xFF030201);  // the top byte is not part of the pattern
    const std::uint8_t fill24[11] = {1, 2, 3, 1, 2, 3, 1, 2, 3, 0xEE, 0xEE};
    EXPECT_EQ(std::memcmp(b, fill24, 11), 0);

    // 27 bytes: two whole blocks of four copies plus one copy.
    std::uint8_t big[30];
    std::memset(big, 0xEE, sizeof big);
    Mem_Fill24(big, 27, 0x0A0B0C);
    for (int i = 0; i < 27; ++i) EXPECT_EQ(big[i], (0x0A0B0C >> (8 * (i % 3))) & 0xFF) << i;
    EXPECT_EQ(big[27], 0xEE);
}

TEST(Memory, ZeroLengthTouchesNothing) {
    EXPECT_TRUE(Mem_Copy(nullptr, nullptr, 0));
    EXPECT_TRUE(Mem_Compare(nullptr, nullptr, 0));
    EXPECT_TRUE(Mem_Zero(nullptr, 0));
    EXPECT_TRUE(Mem_Fill16(nullptr, 0, 1));
    EXPECT_TRUE(Mem_Fill24(nullptr, 2, 1));  // no whole copy fits
    EXPECT_TRUE(Mem_Fill32(nullptr, 0, 1));
}

TEST(Memory, CopyCompareAndOverlap) {
    std::uint8_t a[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    std::uint8_t b[9] = {};
    EXPECT_TRUE(Mem_Copy(a, b, 9));  // source first
    EXPECT_TRUE(Mem_Compare(a, b, 9));
    b[8] = 0;
    EXPECT_FALSE(Mem_Compare(a, b, 9));  // a difference in the byte tail
    EXPECT_TRUE(Mem_Compare(a, b, 8));

    Mem_Copy(a, a + 1, 8);  // an overlapping copy behaves like a move
    const std::uint8_t moved[9] = {1, 1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(std::memcmp(a, moved, 9), 0);
}

TEST(Memory, UsageCounterTracksPeak) {
    const Mem_Usage before = Mem_GetUsage();
    Mem_AddUsage(100);
    Mem_SubUsage(100);
    const Mem_Usage after = Mem_GetUsage();
    EXPECT_EQ(after.memCurrent, before.memCurrent);
    EXPECT_GE(after.memPeak, before.memCurrent + 100);
}

}  // namespace
