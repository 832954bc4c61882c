#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "quillory.h"
#include "test_support.h"

namespace {

void WriteFile(const std::string& path, const void* bytes, std::size_t n) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    if (n) std::fwrite(bytes, 1, n, f);
    std::fclose(f);
}

// Expects `s` to hold exactly `expected` with a matching length.
void ExpectText(const C_String& s, const char* expected) {
    EXPECT_STREQ(s.CStr(), expected);
    EXPECT_EQ(s.Length(), std::strlen(expected));
}

TEST(String, BuildingJoiningAndNumbers) {
    ExpectText(C_String(59.94), "59.940000");
    ExpectText(C_String(std::uint32_t{2147483648u}), "-2147483648");
    ExpectText(C_String(1e300).Left(4), "1000");  // no exponent, however long
    C_String s("ab");
    s.Append(s);  // appending to itself
    ExpectText(s, "abab");
    s = s.CStr() + 1;  // assigning from its own text
    ExpectText(s, "bab");
    ExpectText(s.Concat(C_String(60)), "bab60");
    s = nullptr;
    ExpectText(s, "");
    s += "x";
    ExpectText(C_String(std::move(s)), "x");
    ExpectText(C_String("MiXeD 1\xC4").Upper(), "MIXED 1\xC4");
    ExpectText(C_String("MiXeD 1\xC4").Lower(), "mixed 1\xC4");
    EXPECT_EQ(C_String("  -42abc").ToInt(), -42);
    EXPECT_EQ(C_String("99999999999").ToInt(), INT32_MAX);
    EXPECT_EQ(C_String("-99999999999").ToInt(), INT32_MIN);
    EXPECT_EQ(C_String("99999999999").ToLong(), 99999999999LL);
    EXPECT_FLOAT_EQ(C_String("2.5e1").ToFloat(), 25.0f);
}

TEST(String, ComparisonsAreUnsignedBytewise) {
    const struct {
        const char *a, *b;
        int expected;
    } cases[] = {{"abc", "abc", 0}, {"abc", "abd", -1}, {"abc", "ab", 1}, {"a\xE9", "az", 1}, {nullptr, "", 0}};
    for (const auto& c : cases) {
        EXPECT_EQ(C_String::Compare(c.a, c.b), c.expected) << c.b;
        EXPECT_EQ(C_String::Compare(c.b, c.a), -c.expected) << c.b;
    }
    const C_String s("abc");
    EXPECT_TRUE(s == C_String("abc") && s < "abd" && s > "ab" && s <= "abc" && s >= "abc" && s != "ab");
}

TEST(String, SubstringsAndSearch) {
    const C_String s("hello world");
    const std::pair<C_String, const char*> parts[] = {
        {s.Left(3), "hel"},
        {s.Right(5), "world"},
        {s.Right(11), "hello world"},
        {s.Mid(20, 2), ""},
        {s.Mid(6, 100), "world"},
        {s.Mid(1, 3), "ell"},
        {C_String("a.tar.gz").GetExtension(), "gz"},
        {C_String("noext").GetExtension(), ""},
    };
    for (const auto& [got, want] : parts) ExpectText(got, want);

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

TEST(String, InsertRemoveAndTheFreedString) {
    C_String s("ac");
    EXPECT_EQ(s.InsertChar(1, 'b'), 3u);
    EXPECT_EQ(s.InsertChar(3, 'd'), 4u);
    ExpectText(s, "abcd");
    EXPECT_EQ(s.InsertChar(9, 'x'), 4u);   // out of range: unchanged
    EXPECT_EQ(s.InsertChar(0, '\0'), 4u);  // would break the length
    EXPECT_EQ(s.RemoveChar(0), 3u);
    EXPECT_EQ(s.RemoveChar(2), 2u);
    EXPECT_EQ(s.RemoveChar(2), 2u);
    ExpectText(s, "bc");

    s.Free();
    EXPECT_EQ(s.text, nullptr);
    ExpectText(s, "");
    EXPECT_EQ(s.Find(0, "t", true), -1);
    ExpectText(s.Mid(0, 1), "");
    EXPECT_EQ(s.RemoveChar(0), 0u);
    EXPECT_EQ(s.InsertChar(0, 'q'), 1u);
    ExpectText(s, "q");
}

TEST(String, TextLoadsDropCarriageReturnsAndStopAtAZero) {
    const std::string path = Quillory_TempPath("text.txt");
    C_String s;
    // Longer than one read, with the line ends straddling chunk borders.
    std::string big;
    for (int i = 0; i < 3000; ++i) big += "xy\r\n";
    WriteFile(path, big.data(), big.size());
    ASSERT_TRUE(s.Load_TXT_FromFile(C_String(path.c_str())));
    EXPECT_EQ(s.Length(), 9000u);
    EXPECT_EQ(s.Find(0, "\r", true), -1);
    EXPECT_EQ(s.Mid(0, 4), C_String("xy\nx"));
    WriteFile(path, nullptr, 0);
    ASSERT_TRUE(s.Load_TXT_FromFile(path.c_str()));
    ExpectText(s, "");

    const char bytes[] = {'o', 'k', '\r', 0, 'x'};
    C_Stream m;
    ASSERT_TRUE(m.OpenMemoryRead(bytes, sizeof bytes));
    ASSERT_TRUE(s.LoadText(&m));
    ExpectText(s, "ok");
    EXPECT_FALSE(s.LoadText(nullptr));
    ExpectText(s, "ok");
    EXPECT_FALSE(s.Load_TXT_FromFile(Quillory_TempPath("missing/none.txt").c_str()));
    EXPECT_EQ(s.text, nullptr);
}

// Loads `bytes` into a string holding "keep" and returns the result.
bool LoadRecord(const std::vector<std::uint8_t>& bytes, C_String& s) {
    s = "keep";
    C_Stream m;
    m.OpenMemoryRead(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    Gfx_ClearError();
    return s.LoadFromStream(&m, 0);
}

// The record is the tag, the count and the text with its terminator;
// hostile records are rejected and leave the string alone.
TEST(String, RecordRoundTripsAndHostileRecordsAreRejected) {
    C_String s("ab");
    const std::vector<std::uint8_t> record = Quillory_Saved(s);
    EXPECT_EQ(record, (std::vector<std::uint8_t>{0x0B, 0x00, 0x03, 0x00, 0x00, 0x00, 0x61, 0x62, 0x00}));
    ASSERT_TRUE(LoadRecord(record, s));
    ExpectText(s, "ab");
    const std::vector<std::pair<std::vector<std::uint8_t>, const char*>> bad = {
        {{0x0B, 0, 0, 0, 0, 0}, "{count}"},                   // count 0
        {{0x0B, 0, 0xFF, 0xFF, 0xFF, 0xFF, 'a'}, "{count}"},  // far beyond the data
        {{0x0B, 0, 4, 0, 0, 0, 'a', 'b', 0}, "{count}"},      // one byte short
        {{0x0B, 0, 4, 0}, "{count}"},                         // the count itself truncated
        {{0x0B, 0, 2, 0, 0, 0, 'a', 'b'}, "{text}"},          // no terminator
    };
    for (const auto& [record, member] : bad) {
        EXPECT_FALSE(LoadRecord(record, s));
        ExpectText(s, "keep");
        EXPECT_EQ(Gfx_GetErrorDetailCode(), GFX_ERR_BAD_DATA);
        EXPECT_EQ(std::string(Gfx_GetErrorDetail()), std::string("C_String::LoadFromStream") + member);
    }
    ASSERT_TRUE(LoadRecord({0x0B, 0, 4, 0, 0, 0, 'a', 0, 'b', 0}, s));  // an early zero ends the text
    ExpectText(s, "a");
    ASSERT_TRUE(LoadRecord({0x0B, 0, 2, 0, 0, 0, 'a', 0}, s));  // exactly the bytes present
    ExpectText(s, "a");
}

}  // namespace
