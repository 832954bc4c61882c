#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "quillory.h"
#include "test_support.h"

namespace {

// Expects `s` to hold exactly `expected` with a matching length.
void ExpectText(const C_String& s, const char* expected) {
    EXPECT_STREQ(s.CStr(), expected);
    EXPECT_EQ(s.Length(), std::strlen(expected));
}

// Numbers, case changes and slices, each against the text it must give.
TEST(String, BuildingSlicingAndEditing) {
    const C_String s("hello world");
    const std::pair<C_String, const char*> cases[] = {
        {C_String(59.94), "59.940000"},
        {C_String(std::uint32_t{2147483648u}), "-2147483648"},
        {C_String(1e300).Left(4), "1000"},  // no exponent, however long
        {C_String("bab").Concat(C_String(60)), "bab60"},
        {C_String("MiXeD 1\xC4").Upper(), "MIXED 1\xC4"},
        {C_String("MiXeD 1\xC4").Lower(), "mixed 1\xC4"},
        {s.Left(3), "hel"},
        {s.Right(5), "world"},
        {s.Mid(20, 2), ""},
        {s.Mid(6, 100), "world"},
        {C_String("a.tar.gz").GetExtension(), "gz"},
    };
    for (const auto& [got, want] : cases) ExpectText(got, want);
    EXPECT_EQ(C_String("  -42abc").ToInt(), -42);
    EXPECT_EQ(C_String("99999999999").ToInt(), INT32_MAX);
    EXPECT_EQ(C_String("-99999999999").ToInt(), INT32_MIN);
    EXPECT_EQ(C_String("99999999999").ToLong(), 99999999999LL);

    // A string fed its own text, edits in and out of range, and a freed string,
    // which behaves as an empty one.
    C_String self("ab");
    self.Append(self);
    ExpectText(self, "abab");
    self = self.CStr() + 1;
    ExpectText(self, "bab");
    self = nullptr;
    self += "x";
    ExpectText(C_String(std::move(self)), "x");

    C_String e("ac");
    EXPECT_EQ(e.InsertChar(1, 'b'), 3u);
    EXPECT_EQ(e.InsertChar(3, 'd'), 4u);
    EXPECT_EQ(e.InsertChar(9, 'x'), 4u);   // out of range: unchanged
    EXPECT_EQ(e.InsertChar(0, '\0'), 4u);  // would break the length
    ExpectText(e, "abcd");
    EXPECT_EQ(e.RemoveChar(0), 3u);
    EXPECT_EQ(e.RemoveChar(1), 2u);
    ExpectText(e, "bd");

    e.Free();
    ExpectText(e, "");
    EXPECT_EQ(e.RemoveChar(0), 0u);
    EXPECT_EQ(e.InsertChar(0, 'q'), 1u);
    ExpectText(e, "q");
}

TEST(String, ComparisonsAreUnsignedBytewiseAndSearchesFindFirstAndLast) {
    const struct {
        const char *a, *b;
        int expected;
    } order[] = {{"abc", "abc", 0}, {"abc", "abd", -1}, {"abc", "ab", 1}, {"a\xE9", "az", 1}, {nullptr, "", 0}};
    for (const auto& c : order) {
        EXPECT_EQ(C_String::Compare(c.a, c.b), c.expected) << c.b;
        EXPECT_EQ(C_String::Compare(c.b, c.a), -c.expected) << c.b;
    }
    const C_String s("abc");
    EXPECT_TRUE(s == C_String("abc") && s < "abd" && s > "ab" && s <= "abc" && s >= "abc" && s != "ab");

    const struct {
        const char *text, *pattern;
        bool caseSensitive;
        int first, last;
    } searches[] = {
        {"abcabc", "a", true, 0, 3}, {"abcabc", "bc", true, 1, 4}, {"abc", "B", false, 1, 1},
        {"abc", "B", true, -1, -1},  {"abc", "cd", true, -1, -1},  {"", "", true, -1, -1},
        {"abc", "", true, 0, 2},     {"abc", "abc", true, 0, 0},
    };
    for (const auto& c : searches) {
        EXPECT_EQ(C_String(c.text).Find(0, c.pattern, c.caseSensitive), c.first) << c.text << " " << c.pattern;
        EXPECT_EQ(C_String(c.text).FindLast(0, C_String(c.pattern), c.caseSensitive), c.last) << c.text;
    }
}

TEST(String, TextLoadsDropCarriageReturnsAndStopAtAZero) {
    const std::string path = Quillory_TempPath("text.txt");
    C_String s;
    // Longer than one read, with the line ends straddling chunk borders.
    std::string big;
    for (int i = 0; i < 3000; ++i) big += "xy\r\n";
    C_Stream file;
    ASSERT_TRUE(file.OpenFileWrite(path.c_str()) && C_Stream::WriteBytes(&file, big.data(), big.size()));
    ASSERT_TRUE(file.CloseFile());
    ASSERT_TRUE(s.Load_TXT_FromFile(C_String(path.c_str())));
    EXPECT_EQ(s.Length(), 9000u);
    EXPECT_EQ(s.Mid(0, 4), C_String("xy\nx"));

    const char bytes[] = {'o', 'k', '\r', 0, 'x'};
    C_Stream m;
    ASSERT_TRUE(m.OpenMemoryRead(bytes, sizeof bytes));
    ASSERT_TRUE(s.LoadText(&m));
    ExpectText(s, "ok");
    EXPECT_FALSE(s.LoadText(nullptr));
    EXPECT_FALSE(s.Load_TXT_FromFile(Quillory_TempPath("missing/none.txt").c_str()));
    EXPECT_EQ(s.text, nullptr);
}

// The record is the tag, the count and the text with its terminator; an early
// zero ends the text. Hostile records are refused as bad data and leave the
// string alone.
TEST(String, RecordRoundTripsAndHostileRecordsAreRefused) {
    C_String s("ab");
    EXPECT_EQ(Quillory_Saved(s), (std::vector<std::uint8_t>{0x0B, 0x00, 0x03, 0x00, 0x00, 0x00, 0x61, 0x62, 0x00}));
    const struct {
        std::vector<std::uint8_t> record;
        const char* text;  // what the string then holds: "keep" when refused
    } cases[] = {
        {{0x0B, 0, 3, 0, 0, 0, 'a', 'b', 0}, "ab"},
        {{0x0B, 0, 4, 0, 0, 0, 'a', 0, 'b', 0}, "a"},
        {{0x0B, 0, 2, 0, 0, 0, 'a', 0}, "a"},              // exactly the bytes present
        {{0x0B, 0, 0, 0, 0, 0}, "keep"},                   // count 0
        {{0x0B, 0, 0xFF, 0xFF, 0xFF, 0xFF, 'a'}, "keep"},  // far beyond the data
        {{0x0B, 0, 4, 0, 0, 0, 'a', 'b', 0}, "keep"},      // one byte short
        {{0x0B, 0, 4, 0}, "keep"},                         // the count itself truncated
        {{0x0B, 0, 2, 0, 0, 0, 'a', 'b'}, "keep"},         // no terminator
    };
    for (const auto& c : cases) {
        s = "keep";
        C_Stream m;
        m.OpenMemoryRead(c.record.data(), static_cast<std::uint32_t>(c.record.size()));
        Gfx_ClearError();
        EXPECT_EQ(s.LoadFromStream(&m, 0), std::strcmp(c.text, "keep") != 0) << c.text;
        ExpectText(s, c.text);
        EXPECT_EQ(Gfx_GetErrorDetailCode(), std::strcmp(c.text, "keep") ? -1 : GFX_ERR_BAD_DATA);
    }
}

}  // namespace
