#include <gtest/gtest.h>

#include "quillory.h"

namespace {

bool AllEqual(const std::uint8_t* p, std::uint32_t n, std::uint8_t v) {
    for (std::uint32_t i = 0; i < n; ++i)
        if (p[i] != v) return false;
    return true;
}

TEST(Buffer, ResizeKeepGrowsZeroedAndNeverShrinks) {
    C_Buffer buf;
    const std::uint32_t before = Mem_GetUsage().memCurrent;
    ASSERT_TRUE(buf.Resize(10, true));
    Mem_Fill8(buf.data, 10, 0xAB);
    ASSERT_TRUE(buf.Resize(20, true));
    EXPECT_EQ(buf.capacity, 20u);
    EXPECT_TRUE(AllEqual(buf.data, 10, 0xAB));
    EXPECT_TRUE(AllEqual(buf.data + 10, 10, 0));
    EXPECT_EQ(Mem_GetUsage().memCurrent - before, 20u);

    std::uint8_t* const block = buf.data;
    ASSERT_TRUE(buf.Resize(5, true));
    EXPECT_EQ(buf.data, block);
    EXPECT_EQ(buf.size, 5u);
    EXPECT_EQ(buf.capacity, 20u);
    ASSERT_TRUE(buf.Resize(20, false));  // fits: same block, nothing moved
    EXPECT_EQ(buf.data, block);

    ASSERT_TRUE(buf.Resize(30, false));  // grows without keeping
    EXPECT_EQ(buf.capacity, 30u);
    EXPECT_TRUE(AllEqual(buf.data, 30, 0));
    EXPECT_EQ(Mem_GetUsage().memCurrent - before, 30u);
    buf.Free();
    EXPECT_EQ(Mem_GetUsage().memCurrent, before);
    buf.Free();  // harmless twice
}

TEST(Buffer, AllocateKeepsOrReplaces) {
    C_Buffer buf;
    const std::uint32_t before = Mem_GetUsage().memCurrent;
    ASSERT_TRUE(buf.Allocate(6, false, true));
    EXPECT_TRUE(AllEqual(buf.data, 6, 0));
    Mem_Fill8(buf.data, 6, 0x11);
    ASSERT_TRUE(buf.Allocate(4, true, false));  // keep: shrinks to exactly 4
    EXPECT_EQ(buf.capacity, 4u);
    EXPECT_EQ(buf.size, 4u);
    EXPECT_TRUE(AllEqual(buf.data, 4, 0x11));
    ASSERT_TRUE(buf.Allocate(8, true, false));
    EXPECT_TRUE(AllEqual(buf.data, 4, 0x11));
    EXPECT_TRUE(AllEqual(buf.data + 4, 4, 0));  // never stale bytes
    EXPECT_EQ(Mem_GetUsage().memCurrent - before, 8u);
    ASSERT_TRUE(buf.Allocate(0, false, false));
    EXPECT_EQ(buf.data, nullptr);
    EXPECT_EQ(buf.size, 0u);
    EXPECT_EQ(Mem_GetUsage().memCurrent, before);
}

}  // namespace
