// The math records: layout, bit-exact round trips, and refusal of every
// truncated record without touching the object.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

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
Bytes LeFloat(float v) {
    std::uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return Le32(bits);
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

TEST(Records, LayoutIsLittleEndianFieldsAndNestedRecords) {
    C_Frame frame(0, 0, 800, 600, 0x12, 0x33);
    EXPECT_EQ(Quillory_Saved(frame), Concat({{0x07, 0x00}, Le32(0), Le32(0), Le32(800), Le32(600), {0x12, 0x33}}));
    C_Rect rect(0.0f, -1.0f, 800.0f, 600.0f, 1, 2);
    EXPECT_EQ(Quillory_Saved(rect),
              Concat({{0x09, 0x00}, LeFloat(0.0f), LeFloat(-1.0f), LeFloat(800.0f), LeFloat(600.0f), {1, 2}}));
    C_Vector2Di ints(800, -2, 0x12);
    EXPECT_EQ(Quillory_Saved(ints), Concat({{0x0F, 0x00}, Le32(800), Le32(0xFFFFFFFEu), {0x12}}));
    C_Circle circle(C_Vector2D(1.0f, 2.0f, 0x22), 3.5f);
    EXPECT_EQ(Quillory_Saved(circle),
              Concat({{0x08, 0x00, 0x0F, 0x00}, LeFloat(1.0f), LeFloat(2.0f), {0x22}, LeFloat(3.5f)}));
    C_Box box(C_Vector3D(1.0f, 2.0f, 3.0f), C_Vector3D(4.0f, 5.0f, 6.0f));
    EXPECT_EQ(Quillory_Saved(box), Concat({{0x0A, 0x00, 0x10, 0x00},
                                           LeFloat(1.0f),
                                           LeFloat(2.0f),
                                           LeFloat(3.0f),
                                           {0x10, 0x00},
                                           LeFloat(4.0f),
                                           LeFloat(5.0f),
                                           LeFloat(6.0f)}));
    C_Color colour(0.25f, 0.5f, 1.0f, 0.0f);
    EXPECT_EQ(Quillory_Saved(colour),
              Concat({{0x01, 0x00}, LeFloat(0.25f), LeFloat(0.5f), LeFloat(1.0f), LeFloat(0.0f)}));
    C_Vector4D four(1.0f, 2.0f, 3.0f, 4.0f);
    EXPECT_EQ(Quillory_Saved(four), Concat({{0x11, 0x00}, LeFloat(1.0f), LeFloat(2.0f), LeFloat(3.0f), LeFloat(4.0f)}));

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

    const std::string path = Quillory_TempPath("box.bin");
    ASSERT_TRUE(box.SaveToFile(path.c_str(), 0));
    C_Box fromFile;
    ASSERT_TRUE(fromFile.LoadFromFile(path.c_str(), 0));
    EXPECT_EQ(Quillory_Saved(fromFile), Quillory_Saved(box));
}

}  // namespace
