#include <gtest/gtest.h>

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

TEST(List, GrowsByDoublingAndCountsItsArray) {
    C_Object e[5];
    C_List list;
    const std::uint32_t before = Mem_GetUsage().memCurrent;
    const std::uint32_t capacities[5] = {1, 2, 4, 4, 8};
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(list.Append(&e[i]));
        EXPECT_EQ(list.capacity, capacities[i]);
    }
    EXPECT_EQ(Mem_GetUsage().memCurrent - before, 8 * kSlot);
    EXPECT_EQ(Items(list), (std::vector<C_Object*>{&e[0], &e[1], &e[2], &e[3], &e[4]}));
    list.Clear();
    EXPECT_EQ(Mem_GetUsage().memCurrent, before);
    list.Free();  // a second release is harmless
}

TEST(List, InsertRemoveSetAndMove) {
    C_Object a, b, c, d;
    C_List list;
    ASSERT_TRUE(list.Insert(&a, 7));  // empty list: index ignored
    list.Insert(&b, 0);
    list.Insert(&c, 1);
    list.Insert(&d, 99);  // past the end appends
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
    EXPECT_EQ(list.capacity, 4u);  // removal keeps the array
    EXPECT_EQ(list.RemoveAt(1), &a);
    EXPECT_EQ(list.RemoveAt(0), &b);  // the last one releases it
    EXPECT_EQ(list.items, nullptr);
    EXPECT_EQ(list.capacity, 0u);
}

TEST(List, TakeAllPrependsInReverseAndDeletesTheDonor) {
    C_Object a, b, c, x;
    C_List list;
    list.Append(&x);
    auto* donor = new C_List;
    donor->Append(&a);
    donor->Append(&b);
    donor->Append(&c);
    const std::uint32_t before = Mem_GetUsage().memCurrent;
    ASSERT_TRUE(list.TakeAll(donor));
    EXPECT_EQ(Items(list), (std::vector<C_Object*>{&c, &b, &a, &x}));
    EXPECT_EQ(list.capacity, 4u);
    // +4 slots for the grown array, -1 for the old one, -4 for the donor's.
    EXPECT_EQ(Mem_GetUsage().memCurrent, before + 4 * kSlot - kSlot - 4 * kSlot);
    EXPECT_FALSE(list.TakeAll(nullptr));
    EXPECT_FALSE(list.TakeAll(&list));
    ASSERT_TRUE(list.TakeAll(new C_List));  // an empty donor is just deleted
    EXPECT_EQ(list.Count(), 4u);
}

TEST(List, DeleteAllReleasesEachElementOnce) {
    std::vector<char> log;
    C_List list;
    list.Append(new Tracked(&log));
    list.Append(nullptr);
    list.Append(new Tracked(&log));
    EXPECT_EQ(list.DeleteAll(), 3u);
    EXPECT_EQ(log, (std::vector<char>{'f', 'i', 'd', 'f', 'i', 'd'}));
    EXPECT_EQ(list.GetAt(0), nullptr);
    list.DeleteAll();
    EXPECT_EQ(log.size(), 6u);
}

}  // namespace
