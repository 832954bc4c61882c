// The math records: layout, bit-exact round trips, refusal of every
// truncated record without touching the object, and the reports of records
// of the wrong kind.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "error_case.h"
#include "quillory.h"
#include "test_support.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

bool Load(C_Object& object, const Bytes& bytes) {
    C_Stream stream;
    stream.OpenMemoryRead(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    return object.LoadFromStream(&stream, 0);
}

Bytes Le32(std::uint32_t v) {
    return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v >> 16),
            static_cast<std::uint8_t>(v >> 24)};
}
Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

// `value` saves as `size` bytes starting with `tag`; loading them into a copy
// of `other` gives back every bit (saving again gives the same bytes); every
// proper prefix is refused with error 10 and leaves the copy as it was.
template <typename T>
void ExpectRecord(T value, T other, std::uint8_t tag, std::size_t size) {
    SCOPED_TRACE(static_cast<int>(tag));
    const Bytes bytes = Quillory_Saved(value);
    ASSERT_EQ(bytes.size(), size);
    EXPECT_EQ(bytes[0], tag);
    EXPECT_EQ(bytes[1], 0);
    T back(other);
    ASSERT_TRUE(Load(back, bytes));
    EXPECT_EQ(Quillory_Saved(back), bytes);
    const Bytes untouched = Quillory_Saved(other);
    for (std::size_t n = 0; n < size; ++n) {
        T object(other);
        Gfx_ClearError();
        EXPECT_FALSE(Load(object, Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n)))) << n;
        EXPECT_EQ(Gfx_GetErrorDetailCode(), GFX_ERR_BAD_DATA) << n;
        EXPECT_EQ(Quillory_Saved(object), untouched) << "a prefix of " << n << " bytes changed the object";
    }
}

TEST(Records, EveryMathRecordRoundTripsAndRefusesTruncation) {
    const float nan = std::nanf(""), inf = std::numeric_limits<float>::infinity();
    ExpectRecord(C_Color(0.25f, -0.0f, nan, inf), C_Color(0.1f, 0.2f, 0.3f, 0.4f), 0x01, 18);
    ExpectRecord(C_Vector2D(0.1f, -0.0f, 0x21), C_Vector2D(7.0f, 8.0f, 9), 0x0F, 11);
    ExpectRecord(C_Vector2Di(INT_MIN, INT_MAX, 2), C_Vector2Di(7, 8, 9), 0x0F, 11);
    ExpectRecord(C_Vector3D(1.0f, nan, inf), C_Vector3D(7.0f, 8.0f, 9.0f), 0x10, 14);
    ExpectRecord(C_Vector4D(1.0f, 2.0f, 3.0f, 4.0f), C_Vector4D(7.0f, 8.0f, 9.0f, 10.0f), 0x11, 18);
    ExpectRecord(C_Frame(-1, 2, 3, 4, 0x21, 0x12), C_Frame(9, 9, 9, 9, 9, 9), 0x07, 20);
    ExpectRecord(C_Rect(-0.5f, 1.25f, 3.0f, 4.0f, 7, 8), C_Rect(9.0f, 9.0f, 9.0f, 9.0f, 9, 9), 0x09, 20);
    ExpectRecord(C_Circle(C_Vector2D(1.0f, 2.0f, 3), 4.0f), C_Circle(C_Vector2D(9.0f, 9.0f, 9), 9.0f), 0x08, 17);
    ExpectRecord(C_Box(C_Vector3D(1.0f, 2.0f, 3.0f), C_Vector3D(4.0f, 5.0f, 6.0f)),
                 C_Box(C_Vector3D(9.0f, 9.0f, 9.0f), C_Vector3D(9.0f, 9.0f, 9.0f)), 0x0A, 30);
}

std::uint64_t Fnv1a(const Bytes& bytes) {
    std::uint64_t h = 14695981039346656037ull;
    for (const std::uint8_t b : bytes) h = (h ^ b) * 1099511628211ull;
    return h;
}

// The layout (little-endian fields in order, nested records whole) against
// a golden hash of the records; the frame's bytes written out as the
// readable example.
TEST(Records, LayoutIsLittleEndianFieldsAndNestedRecords) {
    C_Frame frame(0, 0, 800, 600, 0x12, 0x33);
    EXPECT_EQ(Quillory_Saved(frame), Concat({{0x07, 0x00}, Le32(0), Le32(0), Le32(800), Le32(600), {0x12, 0x33}}));
    C_Rect rect(0.0f, -1.0f, 800.0f, 600.0f, 1, 2);
    C_Vector2Di ints(800, -2, 0x12);
    C_Circle circle(C_Vector2D(1.0f, 2.0f, 0x22), 3.5f);
    C_Box box(C_Vector3D(1.0f, 2.0f, 3.0f), C_Vector3D(4.0f, 5.0f, 6.0f));
    C_Color colour(0.25f, 0.5f, 1.0f, 0.0f);
    C_Vector4D four(1.0f, 2.0f, 3.0f, 4.0f);
    const Bytes all = Concat({Quillory_Saved(rect), Quillory_Saved(ints), Quillory_Saved(circle), Quillory_Saved(box),
                              Quillory_Saved(colour), Quillory_Saved(four)});
    EXPECT_EQ(all.size(), 20u + 11 + 17 + 30 + 18 + 18);
    EXPECT_EQ(Fnv1a(all), 0xed4e36ef8234623dull);

    // The 2D tag does not say which variant wrote it: the reader decides.
    C_Vector2D floats(800.0f, -1.5f, 0x21);
    C_Vector2Di asInt;
    ASSERT_TRUE(Load(asInt, Quillory_Saved(floats)));
    EXPECT_EQ(Quillory_Saved(asInt), Quillory_Saved(floats));

    // A box whose min loads but whose max does not keeps both.
    C_Box kept(C_Vector3D(9.0f, 9.0f, 9.0f), C_Vector3D(9.0f, 9.0f, 9.0f));
    const Bytes before = Quillory_Saved(kept);
    C_Vector3D good(1.0f, 2.0f, 3.0f);
    EXPECT_FALSE(Load(kept, Concat({{0x0A, 0x00}, Quillory_Saved(good), Quillory_Saved(four)})));
    EXPECT_EQ(Quillory_Saved(kept), before);
}

// Loading `bytes` into a fresh T must fail, the reason naming the class
// whose tag was wrong and the summary the class that was loading.
template <typename T>
ErrorCase WrongKind(const char* what, const Bytes& bytes, const std::string& tagOf, const std::string& site) {
    auto load = [bytes] {
        T object;
        return Load(object, bytes);
    };
    return {what, load, GFX_ERR_BAD_DATA, tagOf + "::LoadFromStream{class_type}", site + "::LoadFromStream"};
}

// Saves a T into a stream that was never opened, so no byte can be written.
template <typename T>
ErrorCase WrittenNowhere(const char* what, const std::string& site) {
    auto save = [] {
        T object;
        C_Stream stream;
        return object.SaveToStream(&stream, 0);
    };
    return {what, save, -1, "", site + "::SaveToStream"};
}

TEST(Records, WrongTagsNestedFailuresAndFailedWritesAreReported) {
    C_Color colour(0.25f, 0.5f, 0.75f, 1.0f);
    C_Vector2D two(1.0f, 2.0f, 0x12);
    C_Vector3D three(1.0f, 2.0f, 3.0f);
    C_Frame frame(1, 2, 3, 4, 5, 6);
    C_Rect rect(0.0f, 0.0f, 8.0f, 6.0f);
    C_Circle circle(two, 3.0f);
    const Bytes padded2 = Concat({Quillory_Saved(two), Bytes(3, 0)}),
                padded3 = Concat({Quillory_Saved(three), Bytes(4, 0)});
    const std::vector<ErrorCase> cases = {
        WrongKind<C_Vector2D>("2D vector from a 3D record", Quillory_Saved(three), "C_Vector2D", "C_Vector2D"),
        WrongKind<C_Vector2Di>("integer 2D vector from a colour", Quillory_Saved(colour), "C_Vector2D", "C_Vector2D"),
        WrongKind<C_Vector3D>("3D vector from a 2D record", padded2, "C_Vector3D", "C_Vector3D"),
        WrongKind<C_Vector4D>("4D vector from a 3D record", padded3, "C_Vector4D", "C_Vector4D"),
        WrongKind<C_Rect>("rectangle from a frame", Quillory_Saved(frame), "C_Rect", "C_Rect"),
        WrongKind<C_Circle>("circle from a rectangle", Quillory_Saved(rect), "C_Circle", "C_Circle"),
        WrongKind<C_Box>("box from a circle", Quillory_Saved(circle), "C_Box", "C_Box"),
        // A nested vector of the wrong kind: its own reason, the outer summary.
        WrongKind<C_Circle>("circle whose centre is 3D", Concat({{0x08, 0x00}, Quillory_Saved(three)}), "C_Vector2D",
                            "C_Circle"),
        WrongKind<C_Box>("box whose corner is 2D", Concat({{0x0A, 0x00}, padded2, Bytes(11, 0)}), "C_Vector3D",
                         "C_Box"),
        WrittenNowhere<C_Circle>("circle written nowhere", "C_Circle"),
        WrittenNowhere<C_Box>("box written nowhere", "C_Box"),
    };
    for (const ErrorCase& c : cases) ExpectReported(c);
}

}  // namespace
