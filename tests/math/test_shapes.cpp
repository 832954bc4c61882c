#include <gtest/gtest.h>

#include "quillory.h"

namespace {

C_Box MakeBox(float x0, float y0, float z0, float x1, float y1, float z1) {
    return C_Box(C_Vector3D(x0, y0, z0), C_Vector3D(x1, y1, z1));
}

TEST(Shapes, ConstructorsFromArrays) {
    const std::int32_t corners[4] = {1, 2, 3, 4};
    const C_Frame f(corners);
    EXPECT_TRUE(f.x0 == 1 && f.y0 == 2 && f.x1 == 3 && f.y1 == 4 && f.posAlign == 0 && f.sizeAlign == 0);
    const float fcorners[4] = {1.5f, 2.5f, 3.5f, 4.5f};
    const C_Rect r(fcorners);
    EXPECT_TRUE(r.x0 == 1.5f && r.y0 == 2.5f && r.x1 == 3.5f && r.y1 == 4.5f);
    const C_Rect none(static_cast<const float*>(nullptr));
    EXPECT_TRUE(none.x0 == 0.0f && none.y1 == 0.0f);
}

// Overlap depths are signed by where the other box's centre lies: x and z
// negative when it is further along, y the other way round.
TEST(Box, OverlapDepthsAndTouchingBoxes) {
    const C_Box a = MakeBox(0.0f, 0.0f, 0.0f, 2.0f, 2.0f, 2.0f);
    const struct {
        C_Box other;
        bool overlap;
        C_Vector3D depth;
    } cases[] = {
        {MakeBox(1.0f, 1.0f, 1.0f, 3.0f, 3.0f, 3.0f), true, C_Vector3D(-1.0f, 1.0f, -1.0f)},
        {MakeBox(-1.0f, -1.0f, -1.0f, 1.0f, 1.0f, 1.0f), true, C_Vector3D(1.0f, 1.0f, 1.0f)},
        {a, true, C_Vector3D(2.0f, 2.0f, 2.0f)},  // equal centres take the second branch
        {MakeBox(1.5f, -1.0f, 0.0f, 2.5f, 0.5f, 2.0f), true, C_Vector3D(-0.5f, 0.5f, 2.0f)},
        // Touching on either side of each axis, or apart: no overlap.
        {MakeBox(2.0f, 0.0f, 0.0f, 3.0f, 2.0f, 2.0f), false, {}},
        {MakeBox(-1.0f, 0.0f, 0.0f, 0.0f, 2.0f, 2.0f), false, {}},
        {MakeBox(0.0f, 2.0f, 0.0f, 2.0f, 3.0f, 2.0f), false, {}},
        {MakeBox(0.0f, -1.0f, 0.0f, 2.0f, 0.0f, 2.0f), false, {}},
        {MakeBox(0.0f, 0.0f, 2.0f, 2.0f, 2.0f, 3.0f), false, {}},
        {MakeBox(0.0f, 0.0f, -1.0f, 2.0f, 2.0f, 0.0f), false, {}},
        {MakeBox(0.5f, 5.0f, 0.5f, 0.7f, 6.0f, 0.7f), false, {}},
    };
    for (const auto& c : cases) {
        C_Vector3D out(7.0f, 8.0f, 9.0f);
        EXPECT_EQ(a.Intersect(c.other, &out), c.overlap) << c.other.min.x << "," << c.other.min.y;
        EXPECT_EQ(a.Intersect(c.other, nullptr), c.overlap);
        const C_Vector3D want = c.overlap ? c.depth : C_Vector3D(7.0f, 8.0f, 9.0f);
        EXPECT_TRUE(out.x == want.x && out.y == want.y && out.z == want.z) << c.other.min.x << "," << c.other.min.y;
    }
}

}  // namespace
