// Failure reports of the math records read back from the error record: the
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

Bytes Concat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Loads `bytes` into a fresh T.
template <typename T>
std::function<bool()> LoadAs(const Bytes& bytes) {
    return [bytes] {
        T object;
        C_Stream stream;
        stream.OpenMemoryRead(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
        return object.LoadFromStream(&stream, 0);
    };
}

// Saves a T into a stream that was never opened, so no byte can be written.
template <typename T>
std::function<bool()> SaveToClosedStream() {
    return [] {
        T object;
        C_Stream stream;
        return object.SaveToStream(&stream, 0);
    };
}

std::string ClassType(const char* className) { return std::string(className) + "::LoadFromStream{class_type}"; }
std::string Load(const char* className) { return std::string(className) + "::LoadFromStream"; }

TEST(ErrorPaths, MathRecordsReportWrongTagsNestedFailuresAndFailedWrites) {
    C_Color colour(0.25f, 0.5f, 0.75f, 1.0f);
    C_Vector2D two(1.0f, 2.0f, 0x12);
    C_Vector3D three(1.0f, 2.0f, 3.0f);
    C_Frame frame(1, 2, 3, 4, 5, 6);
    C_Rect rect(0.0f, 0.0f, 8.0f, 6.0f);
    C_Circle circle(two, 3.0f);
    const Bytes circleTag = {0x08, 0x00}, boxTag = {0x0A, 0x00};

    const std::vector<ErrorCase> cases = {
        {"2D vector from a 3D record", LoadAs<C_Vector2D>(Quillory_Saved(three)), GFX_ERR_BAD_DATA,
         ClassType("C_Vector2D"), Load("C_Vector2D")},
        {"integer 2D vector from a colour", LoadAs<C_Vector2Di>(Quillory_Saved(colour)), GFX_ERR_BAD_DATA,
         ClassType("C_Vector2D"), Load("C_Vector2D")},
        {"3D vector from a 2D record", LoadAs<C_Vector3D>(Concat(Quillory_Saved(two), Bytes(3, 0))), GFX_ERR_BAD_DATA,
         ClassType("C_Vector3D"), Load("C_Vector3D")},
        {"4D vector from a 3D record", LoadAs<C_Vector4D>(Concat(Quillory_Saved(three), Bytes(4, 0))), GFX_ERR_BAD_DATA,
         ClassType("C_Vector4D"), Load("C_Vector4D")},
        {"rectangle from a frame", LoadAs<C_Rect>(Quillory_Saved(frame)), GFX_ERR_BAD_DATA, ClassType("C_Rect"),
         Load("C_Rect")},
        {"circle from a rectangle", LoadAs<C_Circle>(Quillory_Saved(rect)), GFX_ERR_BAD_DATA, ClassType("C_Circle"),
         Load("C_Circle")},
        {"box from a circle", LoadAs<C_Box>(Quillory_Saved(circle)), GFX_ERR_BAD_DATA, ClassType("C_Box"),
         Load("C_Box")},
        // A nested vector of the wrong kind: its own reason, the outer summary.
        {"circle whose centre is a 3D vector", LoadAs<C_Circle>(Concat(circleTag, Quillory_Saved(three))),
         GFX_ERR_BAD_DATA, ClassType("C_Vector2D"), Load("C_Circle")},
        {"box whose corner is a 2D vector", LoadAs<C_Box>(Concat(Concat(boxTag, Quillory_Saved(two)), Bytes(14, 0))),
         GFX_ERR_BAD_DATA, ClassType("C_Vector3D"), Load("C_Box")},
        {"circle written nowhere", SaveToClosedStream<C_Circle>(), -1, "", "C_Circle::SaveToStream"},
        {"box written nowhere", SaveToClosedStream<C_Box>(), -1, "", "C_Box::SaveToStream"},
    };
    for (const ErrorCase& c : cases) ExpectReported(c);
}

}  // namespace
