#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "quillory.h"
#include "test_support.h"

namespace {

std::string TempPath(const std::string& name) { return Quillory_TempPath(name); }

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

TEST(String, NumbersFormatWithTheCLibrary) {
    ExpectText(C_String(59.94), "59.940000");
    ExpectText(C_String(std::uint32_t{2147483648u}), "-2147483648");
    ExpectText(C_String(1e300).Left(4), "1000");  // no exponent, however long
    C_String s("old");
    s = std::uint8_t{200};
    ExpectText(s, "200");
}

TEST(String, AssignmentCopiesAndJoins) {
    C_String title("Quillory (Vellumark quality)    FPS:");
    ExpectText(title.Concat(C_String(60)), "Quillory (Vellumark quality)    FPS:60");
    C_String s("ab");
    s.Append(s);  // appending to itself
    ExpectText(s, "abab");
    s = s.CStr() + 1;  // assigning from its own text
    ExpectText(s, "bab");
    s = nullptr;
    ExpectText(s, "");
    C_String t(s);
    t += "x";
    ExpectText(C_String(std::move(t)), "x");
}

TEST(String, ComparisonsAreUnsignedBytewise) {
    C_String s("abc");
    EXPECT_TRUE(s == C_String("abc"));
    EXPECT_TRUE(s < "abd");
    EXPECT_TRUE(s > "ab");
    EXPECT_EQ(C_String::Compare("a\xE9", "az"), 1);  // 0xE9 counts as 233, not negative
    EXPECT_EQ(C_String::Compare(nullptr, ""), 0);
}

TEST(String, CaseAndNumbers) {
    C_String s("MiXeD 1\xC4");
    ExpectText(s.Upper(), "MIXED 1\xC4");
    ExpectText(s.Lower(), "mixed 1\xC4");
    EXPECT_EQ(C_String("  -42abc").ToInt(), -42);
    EXPECT_EQ(C_String("99999999999").ToInt(), INT32_MAX);
    EXPECT_EQ(C_String("99999999999").ToLong(), 99999999999LL);
    EXPECT_FLOAT_EQ(C_String("2.5e1").ToFloat(), 25.0f);
}

TEST(String, Substrings) {
    const C_String s("hello world");
    ExpectText(s.Left(3), "hel");
    ExpectText(s.Right(5), "world");
    ExpectText(s.Right(11), "hello world");
    ExpectText(s.Mid(20, 2), "");
    ExpectText(s.Mid(6, 100), "world");
    ExpectText(C_String("picture1.img").GetExtension(), "img");
    ExpectText(C_String("a.tar.gz").GetExtension(), "gz");
    ExpectText(C_String("noext").GetExtension(), "");
}

TEST(String, SearchWithAndWithoutCase) {
    EXPECT_EQ(C_String("abcabc").FindLast(0, "a", true), 3);
    EXPECT_EQ(C_String("abc").FindLast(0, "a", true), 0);
    EXPECT_EQ(C_String("abcabc").FindLast(0, C_String("bc"), true), 4);
    EXPECT_EQ(C_String("abc").Find(0, "B", false), 1);
    EXPECT_EQ(C_String("abc").Find(0, "B", true), -1);
    EXPECT_EQ(C_String("abc").Find(0, "cd", true), -1);  // runs off the end
    EXPECT_EQ(C_String("").Find(0, "", true), -1);
    EXPECT_EQ(C_String("abc").Find(0, "", true), 0);
}

TEST(String, InsertAndRemoveCharacters) {
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
}

TEST(String, FreedStringBehavesAsEmpty) {
    C_String s("text");
    s.Free();
    EXPECT_EQ(s.text, nullptr);
    ExpectText(s, "");
    EXPECT_EQ(s.Find(0, "t", true), -1);
    ExpectText(s.Mid(0, 1), "");
    ExpectText(s.GetExtension(), "");
    EXPECT_EQ(s.RemoveChar(0), 0u);
    ExpectText(C_String(s), "");
    EXPECT_EQ(s.InsertChar(0, 'q'), 1u);
    ExpectText(s, "q");
    s.Free();
    s.Append("z");
    ExpectText(s, "z");
}

TEST(String, LoadsTextFilesDroppingCarriageReturns) {
    const std::string path = TempPath("text.txt");
    const char bytes[] = {'a', 'b', 13, 10, 'c', 'd'};
    WriteFile(path, bytes, sizeof bytes);
    C_String s;
    ASSERT_TRUE(s.Load_TXT_FromFile(C_String(path.c_str())));
    ExpectText(s, "ab\ncd");

    WriteFile(path, nullptr, 0);
    ASSERT_TRUE(s.Load_TXT_FromFile(path.c_str()));
    ExpectText(s, "");

    // Longer than one read, with the line ends straddling chunk borders.
    std::string big;
    for (int i = 0; i < 3000; ++i) big += "xy\r\n";
    WriteFile(path, big.data(), big.size());
    ASSERT_TRUE(s.Load_TXT_FromFile(path.c_str()));
    EXPECT_EQ(s.Length(), 9000u);
    EXPECT_EQ(s.Find(0, "\r", true), -1);

    Gfx_ClearError();
    EXPECT_FALSE(s.Load_TXT_FromFile(TempPath("missing/none.txt").c_str()));
    EXPECT_EQ(s.text, nullptr);
    EXPECT_EQ(Gfx_GetErrorCode(), -1);
    EXPECT_EQ(Gfx_GetErrorDetailCode(), 11);
    EXPECT_EQ(std::string(Gfx_GetErrorDetail()), "C_String::Load_TXT_FromFile(" + TempPath("missing/none.txt") + ")");
}

TEST(String, LoadTextFromMemoryStopsAtAZeroByte) {
    const char bytes[] = {'o', 'k', '\r', 0, 'x'};
    C_Stream m;
    ASSERT_TRUE(m.OpenMemoryRead(bytes, sizeof bytes));
    C_String s;
    ASSERT_TRUE(s.LoadText(&m));
    ExpectText(s, "ok");
    EXPECT_FALSE(s.LoadText(nullptr));
    ExpectText(s, "ok");
}

TEST(String, RecordIsCountThenTextWithTerminator) {
    C_Stream m;
    m.OpenMemoryWrite();
    ASSERT_TRUE(C_String("ab").SaveToStream(&m, 0));
    const std::uint8_t expected[9] = {0x0B, 0x00, 0x03, 0x00, 0x00, 0x00, 0x61, 0x62, 0x00};
    ASSERT_EQ(m.Size(), sizeof expected);
    EXPECT_EQ(std::memcmp(m.Data(), expected, sizeof expected), 0);
    m.OpenMemoryRead();
    C_String back;
    ASSERT_TRUE(back.LoadFromStream(&m, 0));
    ExpectText(back, "ab");

    const std::string path = TempPath("string.obj");
    ASSERT_TRUE(C_String("file name").SaveToFile(path.c_str(), 0));
    ASSERT_TRUE(back.LoadFromFile(path.c_str(), 0));
    ExpectText(back, "file name");
}

// Loads `bytes` into a string holding "keep" and returns the result.
bool LoadRecord(const std::vector<std::uint8_t>& bytes, C_String& s) {
    s = "keep";
    C_Stream m;
    m.OpenMemoryRead(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    Gfx_ClearError();
    return s.LoadFromStream(&m, 0);
}

TEST(String, HostileRecordsAreRejectedAndLeaveTheStringAlone) {
    C_String s;
    const char* const fatal = "C_String::LoadFromStream>>>A fatal error occurred, the entire process has been aborted";
    const std::vector<std::vector<std::uint8_t>> badCounts = {
        {0x0B, 0, 0, 0, 0, 0},                   // count 0
        {0x0B, 0, 0xFF, 0xFF, 0xFF, 0xFF, 'a'},  // count far beyond the data
        {0x0B, 0, 4, 0, 0, 0, 'a', 'b', 0},      // one byte short
        {0x0B, 0, 4, 0},                         // the count itself truncated
    };
    for (const auto& record : badCounts) {
        EXPECT_FALSE(LoadRecord(record, s));
        ExpectText(s, "keep");
        EXPECT_EQ(Gfx_GetErrorCode(), -1);
        EXPECT_STREQ(Gfx_GetErrorMessage(), fatal);
        EXPECT_EQ(Gfx_GetErrorDetailCode(), 10);
        EXPECT_STREQ(Gfx_GetErrorDetail(), "C_String::LoadFromStream{count}");
    }

    EXPECT_FALSE(LoadRecord({9, 0, 3, 0, 0, 0, 'a', 'b', 0}, s));  // a rectangle's tag
    ExpectText(s, "keep");
    EXPECT_STREQ(Gfx_GetErrorDetail(), "C_String::LoadFromStream{class_type}");
    EXPECT_STREQ(Gfx_GetErrorMessage(), fatal);

    EXPECT_FALSE(LoadRecord({0x0B, 0, 2, 0, 0, 0, 'a', 'b'}, s));  // no terminator
    ExpectText(s, "keep");

    ASSERT_TRUE(LoadRecord({0x0B, 0, 4, 0, 0, 0, 'a', 0, 'b', 0}, s));  // an early zero ends the text
    ExpectText(s, "a");
}

}  // namespace
