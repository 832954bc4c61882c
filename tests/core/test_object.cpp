// The object core: a class's record and its round trip through a file, and
// the error record that failures leave.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "error_case.h"
#include "quillory.h"
#include "test_support.h"

namespace {

// A small serialisable class with fields of three widths, written the way
// every framework class writes itself.
class Probe : public C_Object {
public:
    std::int32_t x = 0;
    std::uint16_t y = 0;
    std::uint8_t flag = 0;

    bool LoadFromStream(C_Stream* s, std::uint32_t) override {
        if (!Gfx_ReadClassTag(s, GFX_CLASS_FRAME, "C_Probe")) return false;
        return C_Stream::ReadValue(s, x) && C_Stream::ReadValue(s, y) && C_Stream::ReadValue(s, flag);
    }
    bool SaveToStream(C_Stream* s, std::uint32_t) override {
        return Gfx_WriteClassTag(s, GFX_CLASS_FRAME) && C_Stream::WriteValue(s, x) && C_Stream::WriteValue(s, y) &&
               C_Stream::WriteValue(s, flag);
    }
};

TEST(Object, RecordIsTagThenLittleEndianFieldsAndRoundTripsThroughAFile) {
    Probe p;
    p.x = -2;
    p.y = 0x0102;
    p.flag = 7;
    C_Stream s;
    s.OpenMemoryWrite();
    ASSERT_TRUE(p.SaveToStream(&s, 0));
    const std::uint8_t expected[9] = {7, 0, 0xFE, 0xFF, 0xFF, 0xFF, 0x02, 0x01, 7};
    ASSERT_EQ(s.Size(), sizeof expected);
    EXPECT_EQ(std::memcmp(s.Data(), expected, sizeof expected), 0);

    const std::string path = Quillory_TempPath("probe.obj");
    ASSERT_TRUE(p.SaveToFile(path.c_str(), 0));
    Probe q;
    ASSERT_TRUE(q.LoadFromFile(path.c_str(), 0));
    EXPECT_EQ(q.x, -2);
    EXPECT_EQ(q.y, 0x0102);
    EXPECT_EQ(q.flag, 7);
    EXPECT_FALSE(q.LoadFromFile(nullptr, 0));
    // A file holding another class: the load fails and the object keeps its fields.
    ASSERT_TRUE(C_String("x").SaveToFile(path.c_str(), 0));
    EXPECT_FALSE(q.LoadFromFile(path.c_str(), 0));
    EXPECT_EQ(q.x, -2);
    EXPECT_STREQ(Gfx_GetErrorDetail(), "C_Probe::LoadFromStream{class_type}");
}

TEST(Error, RecordKeepsCodesAndFormattedText) {
    Gfx_ClearError();
    EXPECT_EQ(Gfx_GetErrorRecord().code, -1);
    EXPECT_EQ(Gfx_GetErrorRecord().aux1, -1);
    EXPECT_STREQ(Gfx_GetErrorDetail(), "");
    EXPECT_EQ(Gfx_SetError(11, 0, 0, "C_Image::LoadBMP(%s)", "a.bmp"), 11);
    EXPECT_EQ(Gfx_GetErrorRecord().aux1, 0);
    EXPECT_STREQ(Gfx_GetErrorMessage(), "C_Image::LoadBMP(a.bmp)");
    // Quoting the record's own text is safe.
    Gfx_SetError(5, 0, 0, "again: %s", Gfx_GetErrorMessage());
    EXPECT_STREQ(Gfx_GetErrorMessage(), "again: C_Image::LoadBMP(a.bmp)");
    EXPECT_FALSE(Gfx_Fail(3, "Site{member}", "Site"));
    EXPECT_EQ(Gfx_GetErrorCode(), -1);
    EXPECT_STREQ(Gfx_GetErrorMessage(), "Site>>>A fatal error occurred, the entire process has been aborted");
    EXPECT_STREQ(Gfx_GetErrorDetail(), "Site{member}");
    EXPECT_EQ(Gfx_GetErrorDetailCode(), 3);
}

// The specific code and message, then the summary line of the operation.
TEST(ErrorPaths, ObjectCoreFailuresNameTheirSite) {
    const std::string missing = Quillory_TempPath("missing.bin");
    std::remove(missing.c_str());
    const std::string unwritable = Quillory_TempPath("no-such-dir/out.bin");
    C_String text("keep");
    const std::vector<std::uint8_t> rectangleTag = {0x09, 0x00, 0x03, 0x00, 0x00, 0x00, 'a', 'b', 0x00};
    C_Stream stream;
    const std::vector<ErrorCase> cases = {
        {"string record with a rectangle's tag",
         [&] {
             stream.OpenMemoryRead(rectangleTag.data(), static_cast<std::uint32_t>(rectangleTag.size()));
             return text.LoadFromStream(&stream, 0);
         },
         GFX_ERR_BAD_DATA, "C_String::LoadFromStream{class_type}", "C_String::LoadFromStream"},
        {"object file that cannot be opened", [&] { return text.LoadFromFile(missing.c_str(), 0); }, GFX_ERR_OPEN_READ,
         "C_Object::LoadFromFile(" + missing + ")", "C_Object::LoadFromFile"},
        {"object file that cannot be created", [&] { return text.SaveToFile(unwritable.c_str(), 0); },
         GFX_ERR_OPEN_WRITE, "C_Object::SaveToFile(" + unwritable + ")", "C_Object::SaveToFile"},
    };
    for (const ErrorCase& c : cases) ExpectReported(c);
    EXPECT_STREQ(text.CStr(), "keep");  // no failed load touched the string
}

}  // namespace
