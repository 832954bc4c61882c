// Failure reports of the object core read back from the error record: the
// specific code and message, then the summary line of the operation.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "error_case.h"
#include "quillory.h"
#include "test_support.h"

namespace {

bool LoadBytes(C_Object& object, const std::vector<std::uint8_t>& bytes) {
    C_Stream stream;
    stream.OpenMemoryRead(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    return object.LoadFromStream(&stream, 0);
}

TEST(ErrorPaths, ObjectCoreFailuresNameTheirSite) {
    const std::string missing = Quillory_TempPath("missing.bin");
    std::remove(missing.c_str());
    const std::string unwritable = Quillory_TempPath("no-such-dir/out.bin");
    C_String text("keep");

    const std::vector<ErrorCase> cases = {
        {"string record with a rectangle's tag",
         [&] {
             return LoadBytes(text, {0x09, 0x00, 0x03, 0x00, 0x00, 0x00, 'a', 'b', 0x00});
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
