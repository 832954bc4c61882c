#include <gtest/gtest.h>
#include "test_support.h"

#include <string>

#include "record_helpers.h"

using namespace math_test;

namespace {

bool SameFrame(const C_Frame& a, const C_Frame& b) {
    return a.x0 == b.x0 && a.y0 == b.y0 && a.x1 == b.x1 && a.y1 == b.y1 && a.posAlign == b.posAlign &&
           a.sizeAlign == b.sizeAlign;
}
bool SameRect(const C_Rect& a, const C_Rect& b) {
    return Bits(a.x0) == Bits(b.x0) && Bits(a.y0) == Bits(b.y0) && Bits(a.x1) == Bits(b.x1) &&
           Bits(a.y1) == Bits(b.y1) && a.posAlign == b.posAlign && a.sizeAlign == b.sizeAlign;
}
bool SameVec3(const C_Vector3D& a, const C_Vector3D& b) {
    return Bits(a.x) == Bits(b.x) && Bits(a.y) == Bits(b.y) && Bits(a.z) == Bits(b.z);
}
bool SameCircle(const C_Circle& a, const C_Circle& b) {
    return Bits(a.centre.x) == Bits(b.centre.x) && Bits(a.centre.y) == Bits(b.centre.y) &&
           a.centre.align == b.centre.align && Bits(a.radius) == Bits(b.radius);
}
bool SameBox(const C_Box& a, const C_Box& b) { return SameVec3(a.min, b.min) && SameVec3(a.max, b.max); }

C_Box MakeBox(float x0, float y0, float z0, float x1, float y1, float z1) {
    return C_Box(C_Vector3D(x0, y0, z0), C_Vector3D(x1, y1, z1));
}

TEST(ShapeRecord, FrameOfTheWindowIsByteExact) {
    C_Frame f(0, 0, 800, 600, 0, 0);
    const Bytes expected = {0x07, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                            0x20, 0x03, 0x00, 0x00, 0x58, 0x02, 0x00, 0x00, 0x00, 0x00};
    EXPECT_EQ(Save(f), expected);
    C_Frame coded(-1, 2, 3, 4, 0x21, 0x12);
    C_Frame back;
    ASSERT_TRUE(Load(back, Save(coded)));
    EXPECT_TRUE(SameFrame(back, coded));
}

TEST(ShapeRecord, RectOfTheWindowIsByteExact) {
    C_Rect r(0.0f, 0.0f, 800.0f, 600.0f, 0, 0);
    const Bytes expected = Concat({{0x09, 0x00}, Le32(0), Le32(0), Le32(0x44480000u), Le32(0x44160000u), {0, 0}});
    EXPECT_EQ(Save(r), expected);
    C_Rect coded(-0.5f, 1.25f, 3.0f, 4.0f, 7, 8);
    C_Rect back;
    ASSERT_TRUE(Load(back, Save(coded)));
    EXPECT_TRUE(SameRect(back, coded));
}

TEST(ShapeRecord, CircleAndBoxNestTheirVectorRecords) {
    C_Circle c(C_Vector2D(1.0f, 2.0f, 0x22), 3.5f);
    const Bytes circle = Save(c);
    EXPECT_EQ(circle, Concat({{0x08, 0x00, 0x0F, 0x00}, LeFloat(1.0f), LeFloat(2.0f), {0x22}, LeFloat(3.5f)}));
    C_Circle c2;
    ASSERT_TRUE(Load(c2, circle));
    EXPECT_TRUE(SameCircle(c2, c));

    C_Box b = MakeBox(1.0f, 2.0f, 3.0f, 4.0f, 5.0f, 6.0f);
    const Bytes box = Save(b);
    EXPECT_EQ(box, Concat({{0x0A, 0x00, 0x10, 0x00},
                           LeFloat(1.0f),
                           LeFloat(2.0f),
                           LeFloat(3.0f),
                           {0x10, 0x00},
                           LeFloat(4.0f),
                           LeFloat(5.0f),
                           LeFloat(6.0f)}));
    C_Box b2;
    ASSERT_TRUE(Load(b2, box));
    EXPECT_TRUE(SameBox(b2, b));
}

TEST(ShapeRecord, ConstructorsFromArrays) {
    const std::int32_t corners[4] = {1, 2, 3, 4};
    EXPECT_TRUE(SameFrame(C_Frame(corners), C_Frame(1, 2, 3, 4, 0, 0)));
    const float fcorners[4] = {1.5f, 2.5f, 3.5f, 4.5f};
    EXPECT_TRUE(SameRect(C_Rect(fcorners), C_Rect(1.5f, 2.5f, 3.5f, 4.5f)));
    EXPECT_TRUE(SameRect(C_Rect(static_cast<const float*>(nullptr)), C_Rect()));
}

TEST(ShapeRecord, WrongTagsFailAndKeepTheObject) {
    const C_Frame original(1, 2, 3, 4, 5, 6);
    C_Frame f = original;
    C_Rect window(0.0f, 0.0f, 800.0f, 600.0f);
    Gfx_ClearError();
    EXPECT_FALSE(Load(f, Save(window)));
    EXPECT_EQ(Gfx_GetErrorCode(), -1);
    EXPECT_EQ(Gfx_GetErrorDetailCode(), 10);
    EXPECT_STREQ(Gfx_GetErrorDetail(), "C_Frame::LoadFromStream{class_type}");
    EXPECT_TRUE(SameFrame(f, original));

    C_Color colour(1.0f, 0.0f, 0.0f, 1.0f);
    EXPECT_FALSE(Load(f, Save(colour)));
    EXPECT_TRUE(SameFrame(f, original));
}

TEST(ShapeRecord, ABadNestedRecordFailsTheOuterLoadAsAWhole) {
    // A circle whose centre carries the 3D tag.
    const C_Circle circleBefore(C_Vector2D(9.0f, 9.0f, 9), 9.0f);
    C_Circle circle = circleBefore;
    Gfx_ClearError();
    EXPECT_FALSE(Load(circle, Concat({{0x08, 0x00, 0x10, 0x00}, Bytes(13, 0)})));
    EXPECT_STREQ(Gfx_GetErrorDetail(), "C_Vector2D::LoadFromStream{class_type}");
    EXPECT_STREQ(Gfx_GetErrorMessage(),
                 "C_Circle::LoadFromStream>>>A fatal error occurred, the entire process has been aborted");
    EXPECT_TRUE(SameCircle(circle, circleBefore));

    // A box whose min is fine but whose max is not: min must not change either.
    const C_Box boxBefore = MakeBox(9.0f, 9.0f, 9.0f, 9.0f, 9.0f, 9.0f);
    C_Box box = boxBefore;
    C_Vector3D good(1.0f, 2.0f, 3.0f);
    C_Vector4D wrong(4.0f, 5.0f, 6.0f, 7.0f);
    EXPECT_FALSE(Load(box, Concat({{0x0A, 0x00}, Save(good), Save(wrong)})));
    EXPECT_STREQ(Gfx_GetErrorMessage(),
                 "C_Box::LoadFromStream>>>A fatal error occurred, the entire process has been aborted");
    EXPECT_TRUE(SameBox(box, boxBefore));
}

TEST(ShapeRecord, TruncatedRecordsFailAndKeepTheObject) {
    C_Frame f(1, 2, 3, 4, 5, 6);
    ExpectEveryPrefixFails(C_Frame(9, 9, 9, 9, 9, 9), Save(f), SameFrame);
    C_Rect r(1.0f, 2.0f, 3.0f, 4.0f, 5, 6);
    ExpectEveryPrefixFails(C_Rect(9.0f, 9.0f, 9.0f, 9.0f, 9, 9), Save(r), SameRect);
    C_Circle c(C_Vector2D(1.0f, 2.0f, 3), 4.0f);
    ExpectEveryPrefixFails(C_Circle(C_Vector2D(9.0f, 9.0f, 9), 9.0f), Save(c), SameCircle);
    C_Box b = MakeBox(1.0f, 2.0f, 3.0f, 4.0f, 5.0f, 6.0f);
    ExpectEveryPrefixFails(MakeBox(9.0f, 9.0f, 9.0f, 9.0f, 9.0f, 9.0f), Save(b), SameBox);
}

TEST(ShapeRecord, FileRoundTrip) {
    const std::string path = Quillory_TempPath("box.bin");
    C_Box b = MakeBox(-1.0f, -2.0f, -3.0f, 1.0f, 2.0f, 3.0f);
    ASSERT_TRUE(b.SaveToFile(path.c_str(), 0));
    C_Box back;
    ASSERT_TRUE(back.LoadFromFile(path.c_str(), 0));
    EXPECT_TRUE(SameBox(back, b));
}

TEST(Box, OverlapReportsSignedDepthsWithTheYRule) {
    const C_Box a = MakeBox(0.0f, 0.0f, 0.0f, 2.0f, 2.0f, 2.0f);
    C_Vector3D out(7.0f, 7.0f, 7.0f);
    EXPECT_TRUE(a.Intersect(MakeBox(1.0f, 1.0f, 1.0f, 3.0f, 3.0f, 3.0f), &out));
    EXPECT_TRUE(SameVec3(out, C_Vector3D(-1.0f, 1.0f, -1.0f)));

    // Seen from the other box, the other's centre is smaller on every axis.
    EXPECT_TRUE(MakeBox(1.0f, 1.0f, 1.0f, 3.0f, 3.0f, 3.0f).Intersect(a, &out));
    EXPECT_TRUE(SameVec3(out, C_Vector3D(1.0f, 1.0f, 1.0f)));

    // Equal centres take the second branch.
    EXPECT_TRUE(a.Intersect(a, &out));
    EXPECT_TRUE(SameVec3(out, C_Vector3D(2.0f, 2.0f, 2.0f)));

    // Mixed: the other box is right on x, left on y, equal on z.
    EXPECT_TRUE(a.Intersect(MakeBox(1.5f, -1.0f, 0.0f, 2.5f, 0.5f, 2.0f), &out));
    EXPECT_TRUE(SameVec3(out, C_Vector3D(-0.5f, 0.5f, 2.0f)));

    EXPECT_TRUE(a.Intersect(MakeBox(1.0f, 1.0f, 1.0f, 3.0f, 3.0f, 3.0f), nullptr));
}

TEST(Box, TouchingOrSeparateBoxesDoNotOverlap) {
    const C_Box a = MakeBox(0.0f, 0.0f, 0.0f, 1.0f, 1.0f, 1.0f);
    C_Vector3D out(7.0f, 8.0f, 9.0f);
    EXPECT_FALSE(a.Intersect(MakeBox(1.0f, 0.0f, 0.0f, 2.0f, 1.0f, 1.0f), &out));
    EXPECT_FALSE(a.Intersect(MakeBox(0.0f, 0.0f, -1.0f, 1.0f, 1.0f, 0.0f), &out));
    EXPECT_FALSE(a.Intersect(MakeBox(0.5f, 5.0f, 0.5f, 0.7f, 6.0f, 0.7f), &out));
    EXPECT_TRUE(SameVec3(out, C_Vector3D(7.0f, 8.0f, 9.0f)));
}

}  // namespace
