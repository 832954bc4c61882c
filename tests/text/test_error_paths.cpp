// Failure reports of the font records read back from the error record: the
// specific code and message, then the summary line of the operation.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "error_case.h"
#include "quillory.h"
#include "test_support.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// Loads `bytes` into `object`.
std::function<bool()> LoadInto(C_Object& object, Bytes bytes) {
    return [&object, bytes] {
        C_Stream stream;
        stream.OpenMemoryRead(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
        return object.LoadFromStream(&stream, 0);
    };
}

Bytes WithTag(std::uint16_t tag, Bytes record) {
    record[0] = static_cast<std::uint8_t>(tag);
    record[1] = static_cast<std::uint8_t>(tag >> 8);
    return record;
}

std::string ClassType(const char* className) { return std::string(className) + "::LoadFromStream{class_type}"; }
std::string Load(const char* className) { return std::string(className) + "::LoadFromStream"; }

TEST(ErrorPaths, FontRecordsReportWrongTagsAndBrokenNames) {
    C_FontType type;
    type.name = "Serif";
    C_BitmapGlyph glyph;
    C_BitmapFace face(65);
    C_Font font;
    font.name = "Serif";
    const Bytes typeRecord = Quillory_Saved(type), glyphRecord = Quillory_Saved(glyph),
                faceRecord = Quillory_Saved(face), fontRecord = Quillory_Saved(font);
    // The font type's name is a string record right after the type's tag.
    Bytes badName = typeRecord;
    badName[2] = 0x09;

    C_FontType typeIn;
    C_BitmapGlyph glyphIn;
    C_BitmapFace faceIn;
    C_Font fontIn;
    const std::vector<ErrorCase> cases = {
        {"font type with a face's tag", LoadInto(typeIn, WithTag(4, typeRecord)), GFX_ERR_BAD_DATA,
         ClassType("C_FontType"), Load("C_FontType")},
        {"font type whose name is no string", LoadInto(typeIn, badName), GFX_ERR_BAD_DATA, ClassType("C_String"),
         Load("C_FontType")},
        {"glyph with a font type's tag", LoadInto(glyphIn, WithTag(2, glyphRecord)), GFX_ERR_BAD_DATA,
         ClassType("C_BitmapGlyph"), Load("C_BitmapGlyph")},
        {"face with a glyph's tag", LoadInto(faceIn, WithTag(3, faceRecord)), GFX_ERR_BAD_DATA,
         ClassType("C_BitmapFace"), Load("C_BitmapFace")},
        {"font with an image's tag", LoadInto(fontIn, WithTag(6, fontRecord)), GFX_ERR_BAD_DATA, ClassType("C_Font"),
         Load("C_Font")},
        {"font type written nowhere",
         [&type] {
             C_Stream never;  // not opened: no byte can be written
             return type.SaveToStream(&never, 0);
         },
         -1, "", "C_FontType::SaveToStream"},
    };
    for (const ErrorCase& c : cases) ExpectReported(c);
    // Failed loads left the objects as they were made.
    EXPECT_STREQ(typeIn.name.CStr(), C_FontType().name.CStr());
    EXPECT_EQ(fontIn.faces, nullptr);
}

}  // namespace
