// Memory blocks, buffers and lists: what they hold and the memory they count.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "quillory.h"

namespace {

constexpr std::uint32_t kSlot = sizeof(C_Object*);

// An element that reports what the list did to it.
struct Tracked : C_Object {
    std::vector<char>* log;
    explicit Tracked(std::vector<char>* l) : log(l) {}
    ~Tracked() override { log->push_back('d'); }
    void Free() override { log->push_back('f'); }
    void Init() override { log->push_back('i'); }
};

std::vector<C_Object*> Items(const C_List& list) {
    std::vector<C_Object*> out;
    for (std::uint32_t i = 0; i < list.Count(); ++i) out.push_back(list.GetAt(i));
    return out;
}

// The array doubles as it fills, is counted while it lives, is kept while
// elements are removed and goes with the last one.
TEST(List, EditsKeepOrderAndTheArrayGrowsByDoubling) {
    C_Object a, b, c, d;
    C_List list;
    const std::uint32_t before = Mem_GetUsage().memCurrent;
    ASSERT_TRUE(list.Insert(&a, 7));  // empty list: index ignored
    list.Insert(&b, 0);
    list.Insert(&c, 1);
    list.Insert(&d, 99);           // past the end appends
    EXPECT_EQ(list.capacity, 4u);  // 1, 2, then 4
    EXPECT_EQ(Mem_GetUsage().memCurrent - before, 4 * kSlot);
    EXPECT_EQ(Items(list), (std::vector<C_Object*>{&b, &c, &a, &d}));
    EXPECT_EQ(list.RemoveAt(3), &d);

    EXPECT_FALSE(list.MoveUp(0));
    EXPECT_FALSE(list.MoveDown(2));
    EXPECT_TRUE(list.MoveUp(2));    // b a c
    EXPECT_TRUE(list.MoveDown(0));  // a b c
    EXPECT_EQ(Items(list), (std::vector<C_Object*>{&a, &b, &c}));
    EXPECT_EQ(list.SetAt(&a, 2), &c);
    EXPECT_EQ(list.SetAt(&b, 3), nullptr);
    EXPECT_EQ(list.RemoveAt(5), nullptr);
    EXPECT_EQ(list.RemoveAt(0), &a);
    EXPECT_EQ(list.capacity, 4u);
    EXPECT_EQ(list.RemoveAt(1), &a);
    EXPECT_EQ(list.RemoveAt(0), &b);  // the last one releases the array
    EXPECT_EQ(Mem_GetUsage().memCurrent, before);

    // Taking all of another list prepends its elements in reverse, grows the
    // array once and deletes the donor with its array.
    list.Append(&d);
    auto* donor = new C_List;
    donor->Append(&a);
    donor->Append(&b);
    donor->Append(&c);
    const std::uint32_t full = Mem_GetUsage().memCurrent;
    ASSERT_TRUE(list.TakeAll(donor));
    EXPECT_EQ(Items(list), (std::vector<C_Object*>{&c, &b, &a, &d}));
    // +4 slots for the grown array, -1 for the old one, -4 for the donor's.
    EXPECT_EQ(Mem_GetUsage().memCurrent, full + 4 * kSlot - kSlot - 4 * kSlot);
    EXPECT_FALSE(list.TakeAll(nullptr));
    EXPECT_FALSE(list.TakeAll(&list));
    ASSERT_TRUE(list.TakeAll(new C_List));  // an empty donor is just deleted
    EXPECT_EQ(list.Count(), 4u);
}

// Each element is released once, null slots skipped, even when the array is
// full; a second call finds nothing left.
TEST(List, DeleteAllReleasesEachElementOnce) {
    std::vector<char> log;
    C_List list;
    list.Append(new Tracked(&log));
    list.Append(nullptr);
    list.Append(new Tracked(&log));
    list.Append(new Tracked(&log));
    EXPECT_EQ(list.DeleteAll(), 4u);
    EXPECT_EQ(log, (std::vector<char>{'f', 'i', 'd', 'f', 'i', 'd', 'f', 'i', 'd'}));
    list.DeleteAll();
    EXPECT_EQ(log.size(), 9u);
}

// The pattern fills against a byte-by-byte model: whole copies of the
// little-endian unit, then zeros for the 16- and 32-bit tails (the 24-bit
// fill leaves its tail alone), and nothing past byteCount.
TEST(Memory, FillsCopiesAndCompares) {
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

    // A copy is a move (overlap is safe); a compare sees the last byte.
    std::uint8_t a[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    std::uint8_t b[9] = {};
    EXPECT_TRUE(Mem_Copy(a, b, 9));  // source first
    b[8] = 0;
    EXPECT_FALSE(Mem_Compare(a, b, 9));
    EXPECT_TRUE(Mem_Compare(a, b, 8));
    EXPECT_TRUE(Mem_Compare(nullptr, nullptr, 0));
    Mem_Copy(a, a + 1, 8);  // overlapping
    const std::uint8_t moved[9] = {1, 1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(std::memcmp(a, moved, 9), 0);
}

// Growth keeps (or drops) the old bytes, zeroes the rest and is counted, the
// peak seeing both blocks at once; shrinking keeps the block.
TEST(Buffer, ResizeAndAllocateKeepZeroAndCount) {
    using Bytes = std::vector<std::uint8_t>;
    C_Buffer buf;
    const auto held = [&buf] { return Bytes(buf.data, buf.data + buf.size); };
    const std::uint32_t before = Mem_GetUsage().memCurrent;
    ASSERT_TRUE(buf.Resize(2, true));
    Mem_Fill8(buf.data, 2, 0xAB);
    ASSERT_TRUE(buf.Resize(4, true));
    EXPECT_EQ(held(), (Bytes{0xAB, 0xAB, 0, 0}));
    EXPECT_EQ(Mem_GetUsage().memCurrent - before, 4u);
    EXPECT_GE(Mem_GetUsage().memPeak, before + 6);
    std::uint8_t* const block = buf.data;
    ASSERT_TRUE(buf.Resize(1, true));
    ASSERT_TRUE(buf.Resize(4, false));
    EXPECT_EQ(buf.data, block);
    ASSERT_TRUE(buf.Resize(5, false));
    EXPECT_EQ(held(), Bytes(5, 0));

    ASSERT_TRUE(buf.Allocate(3, true, false));  // keep: exactly 3
    EXPECT_EQ(buf.capacity, 3u);
    Mem_Fill8(buf.data, 3, 0x11);
    ASSERT_TRUE(buf.Allocate(4, true, false));
    EXPECT_EQ(held(), (Bytes{0x11, 0x11, 0x11, 0}));
    EXPECT_EQ(Mem_GetUsage().memCurrent - before, 4u);
    ASSERT_TRUE(buf.Allocate(0, false, false));
    EXPECT_EQ(buf.data, nullptr);
    EXPECT_EQ(Mem_GetUsage().memCurrent, before);
}

}  // namespace
