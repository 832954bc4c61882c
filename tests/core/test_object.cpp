// The object core: streams, a class's record and its round trip through a
// file, and the error record that failures leave.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "error_case.h"
#include "quillory.h"
#include "test_support.h"

namespace {

// An object file round trip; a file that cannot be opened or created, or
// that holds another class, is reported with its code and the operation's
// summary line, and the object keeps its contents.
TEST(Object, FilesRoundTripAndFailuresNameTheirSite) {
    const std::string path = Quillory_TempPath("text.obj"), other = Quillory_TempPath("rect.obj");
    const std::string missing = Quillory_TempPath("missing.bin"), unwritable = Quillory_TempPath("no-dir/out.bin");
    std::remove(missing.c_str());
    ASSERT_TRUE(C_String("ab").SaveToFile(path.c_str(), 0));
    C_String text;
    ASSERT_TRUE(text.LoadFromFile(path.c_str(), 0));
    C_Stream rect;  // a rectangle's tag where the string's belongs
    ASSERT_TRUE(rect.OpenFileWrite(other.c_str()) && C_Stream::WriteValue(&rect, std::uint16_t{GFX_CLASS_RECT}));
    ASSERT_TRUE(rect.CloseFile());
    const std::vector<ErrorCase> cases = {
        {"file that cannot be opened", [&] { return text.LoadFromFile(missing.c_str(), 0); }, GFX_ERR_OPEN_READ,
         "C_Object::LoadFromFile(" + missing + ")", "C_Object::LoadFromFile"},
        {"file that cannot be created", [&] { return text.SaveToFile(unwritable.c_str(), 0); }, GFX_ERR_OPEN_WRITE,
         "C_Object::SaveToFile(" + unwritable + ")", "C_Object::SaveToFile"},
        {"file of another class", [&] { return text.LoadFromFile(other.c_str(), 0); }, GFX_ERR_BAD_DATA,
         "C_String::LoadFromStream{class_type}", "C_String::LoadFromStream"},
    };
    for (const ErrorCase& c : cases) ExpectReported(c);
    EXPECT_STREQ(text.CStr(), "ab");

    // The record itself: formatted text, safe to quote itself.
    Gfx_ClearError();
    const Gfx_ErrorRecord& record = Gfx_GetErrorRecord();
    EXPECT_TRUE(record.code == -1 && record.aux1 == -1 && record.aux2 == -1);
    EXPECT_EQ(Gfx_SetError(11, 7, 8, "C_Image::LoadBMP(%s)", "a.bmp"), 11);
    EXPECT_TRUE(record.code == 11 && record.aux1 == 7 && record.aux2 == 8);
    Gfx_SetError(5, 0, 0, "again: %s", Gfx_GetErrorMessage());
    EXPECT_STREQ(Gfx_GetErrorMessage(), "again: C_Image::LoadBMP(a.bmp)");
    EXPECT_FALSE(Gfx_Fail(3, "Site{member}", "Site"));
    ExpectRecorded({"Gfx_Fail", nullptr, 3, "Site{member}", "Site"});
}

// The same script on a memory stream and on a file: what is written reads
// back little-endian; a short read copies what remains, zeroes the rest and
// sets the end flag, which asking what is left does not forget. Files count
// whole elements, memory counts bytes; only files seek.
TEST(Stream, MemoryAndFilesReadBackWhatWasWritten) {
    const std::string path = Quillory_TempPath("stream.bin");
    for (const bool file : {false, true}) {
        SCOPED_TRACE(file ? "file" : "memory");
        const std::uint32_t unit = file ? 1 : 4;
        C_Stream s;
        ASSERT_TRUE(file ? s.OpenFileWrite(path.c_str()) : s.OpenMemoryWrite());
        const std::uint32_t words[2] = {0x01020304, 5};
        const std::uint8_t tail[2] = {6, 7};
        EXPECT_EQ(C_Stream::Write(words, 4, 2, &s), 2 * unit);
        ASSERT_TRUE(C_Stream::WriteValue(&s, std::uint32_t{0xA1B2C3D4}));
        EXPECT_EQ(C_Stream::Write(tail, 1, 2, &s), 2u);
        ASSERT_TRUE(file ? s.CloseFile() && s.OpenFileRead(path.c_str()) : s.OpenMemoryRead());

        EXPECT_EQ(C_Stream::Remaining(&s), 14u);
        EXPECT_EQ(C_Stream::ReadByte(&s), 4);  // the low byte first
        std::uint8_t three[3];
        EXPECT_EQ(C_Stream::Read(three, 3, 1, &s), unit == 1 ? 1u : 3u);
        std::uint32_t value = 0;
        ASSERT_TRUE(C_Stream::ReadValue(&s, value) && value == 5);
        ASSERT_TRUE(C_Stream::ReadValue(&s, value) && value == 0xA1B2C3D4);
        EXPECT_EQ(C_Stream::IsEof(&s), 0);
        std::uint8_t rest[4] = {0xAA, 0xAA, 0xAA, 0xAA};
        EXPECT_EQ(C_Stream::Read(rest, 1, 4, &s), 2u);
        EXPECT_TRUE(rest[1] == 7 && rest[2] == 0 && rest[3] == 0);
        EXPECT_EQ(C_Stream::Remaining(&s), 0u);
        EXPECT_NE(C_Stream::IsEof(&s), 0);

        EXPECT_EQ(C_Stream::Seek(&s, 0, SEEK_SET), 0);
        EXPECT_EQ(C_Stream::IsEof(&s), file ? 0 : 1);
        EXPECT_EQ(C_Stream::ReadByte(&s), file ? 4 : 0);
    }

    // Memory grows to twice what a write needs; reopening closes a file rather
    // than leaking it; null and unopened streams transfer nothing.
    C_Stream s;
    ASSERT_TRUE(s.OpenMemoryWrite());
    const std::uint8_t one = 7;
    EXPECT_EQ(C_Stream::Write(&one, 1, 1, &s), 1u);
    EXPECT_EQ(C_Stream::Write(&one, 1, 1, &s), 1u);
    EXPECT_EQ(s.capacity, 4u);
    ASSERT_TRUE(s.OpenFileWrite(Quillory_TempPath("reopened.bin").c_str()));
    ASSERT_TRUE(s.OpenMemoryRead("xy", 2));
    EXPECT_EQ(s.file, nullptr);
    EXPECT_EQ(C_Stream::ReadByte(&s), 'x');
    EXPECT_FALSE(s.CloseFile());
    EXPECT_FALSE(s.OpenMemoryRead(nullptr, 5));

    C_Stream unopened;
    EXPECT_FALSE(unopened.OpenFileRead(Quillory_TempPath("does/not/exist").c_str()));
    for (C_Stream* none : {static_cast<C_Stream*>(nullptr), &unopened}) {
        std::uint8_t byte = 1;
        EXPECT_EQ(C_Stream::Read(&byte, 1, 1, none), 0u);
        EXPECT_EQ(C_Stream::Write(&byte, 1, 1, none), 0u);
        EXPECT_EQ(C_Stream::Seek(none, 0, SEEK_SET), 0);
        EXPECT_EQ(C_Stream::IsEof(none), 0);
    }
    EXPECT_FALSE(unopened.CloseFile());
}

}  // namespace
