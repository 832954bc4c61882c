// The string record, and the same bytes as a plain text file.
#include <cstring>

#include "core/string.h"
#include "fuzz_support.h"

namespace {

void CheckString(const C_String& s) {
    Fuzz_Check(s.CStr() != nullptr, "a loaded string has a text");
    Fuzz_Check(std::strlen(s.CStr()) == s.Length(), "length is the text's length");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    C_String record("old text");
    if (Fuzz_LoadFromBytes(record, data, size)) {
        CheckString(record);
        C_String again1, again2;
        Fuzz_CheckRoundTrip(record, again1, again2, false);
    } else {
        Fuzz_Check(std::strcmp(record.CStr(), "old text") == 0, "a refused record leaves the string alone");
    }

    C_Stream stream;
    if (!stream.OpenMemoryRead(data, static_cast<std::uint32_t>(size))) return 0;
    C_String text;
    if (text.LoadText(&stream)) {
        CheckString(text);
        Fuzz_Check(std::strchr(text.CStr(), '\r') == nullptr, "carriage returns are dropped");
    }
    return 0;
}
