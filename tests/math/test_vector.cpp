// The value types: vectors, complex numbers, colours and shapes, and their
// records.
#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cmath>
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

#include "error_case.h"
#include "golden_hash.h"
#include "quillory.h"
#include "test_support.h"

namespace {

std::array<float, 2> Parts(const C_Vector2D& v) { return {v.x, v.y}; }
std::array<float, 3> Parts(const C_Vector3D& v) { return {v.x, v.y, v.z}; }
std::array<float, 4> Parts(const C_Vector4D& v) { return {v.x, v.y, v.z, v.w}; }
std::array<float, 4> Parts(const C_Color& c) { return {c.r, c.g, c.b, c.a}; }
std::array<float, 2> Parts(const C_Complex& c) { return {c.re, c.im}; }

// Bit for bit, so -0, NaN and infinities count.
template <typename V>
bool SameBits(const V& a, const V& b) {
    const auto x = Parts(a);
    const auto y = Parts(b);
    return std::memcmp(x.data(), y.data(), sizeof x) == 0;
}

template <typename V>
void AddParts(GoldenHash& h, const V& v) {
    for (const float f : Parts(v)) h.Add(f);
}

// The operators every float type shares, for all pairs of `values`, with the
// second's first component as the scalar.
template <typename V>
void AddSharedOps(GoldenHash& h, const std::vector<V>& values) {
    for (const V& a : values)
        for (const V& b : values) {
            const float s = Parts(b)[0];
            for (const V& r : {a + b, a - b, -a, a * s, s * a, a / s, V(a) += b, V(a) -= b, V(a) *= s, V(a) /= s})
                AddParts(h, r);
            h.Add(a == b, a != b);
        }
}

// The arithmetic, measures and comparisons of every value type over a grid
// of components (both signs, zeros, values that touch at the tolerance 0.5,
// infinities, NaN), pinned bit for bit. Among the rules so pinned: dividing
// a 2D or 4D vector by 0 gives 0 (and in place leaves it alone), a 3D one
// only skips the zero divisors in place; the zero vector normalises to
// itself; nearness and box overlap are open intervals; colour equality
// treats NaN as matching anything, and clamping sends it to 0.
TEST(Vector, GoldenResultsOverAGrid) {
    const float grid[] = {-INFINITY, -2.5f, -1.0f, -0.0f, 0.0f, 0.5f, 1.0f, 3.0f, 4.0f, NAN, 2.0f, 0.0f, -1.0f};
    const std::size_t n = std::size(grid) - 3;
    std::vector<C_Vector2D> v2;
    std::vector<C_Vector3D> v3;
    std::vector<C_Vector4D> v4;
    std::vector<C_Color> colours;
    for (std::size_t i = 0; i < n; ++i) {
        v2.emplace_back(grid[i], grid[i + 1], static_cast<std::uint8_t>(i + 1));
        v3.emplace_back(&grid[i]);  // the array constructors
        v4.emplace_back(&grid[i]);
        colours.emplace_back(&grid[i]);
    }
    GoldenHash h;
    AddSharedOps(h, v2);
    AddSharedOps(h, v3);
    AddSharedOps(h, v4);
    AddSharedOps(h, colours);
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t j = 0; j < n; ++j) {
            const C_Vector3D a = v3[i], b = v3[j];
            for (const C_Vector3D& r : {a * b, a / b, a + b.x, a - b.x, C_Vector3D(a) *= b, C_Vector3D(a) /= b,
                                        a.Cross(b), a.Normalized(), C_Vector4D(a.x, b.y, a.z, b.x).Project()})
                AddParts(h, r);
            h.Add(a.Dot(b), a.Length(), a.Distance(b), a.Near(b, 0.5f), v2[i].Near(v2[j], 0.5f));
            h.Add(v2[i].Dot(v2[j]), v2[i].Length(), v2[i].Distance(v2[j]), v4[i].Dot(v4[j]), v4[i].Length());
            AddParts(h, v2[i].Normalized());
            AddParts(h, C_Vector2D(&grid[j]));
            h.Add((v2[i] - v2[j]).align, (C_Vector2D(v2[i]) *= 2.0f).align);  // 0, and the left one's
            AddParts(h, v4[i].Normalized());
            const C_Color c = colours[i], d = colours[j];
            for (const C_Color& r : {c * d, c / d, C_Color(c) *= d, C_Color(c) /= d, c.Lerp(d, d.r)}) AddParts(h, r);
            C_Color clamped = c;
            clamped.Clamp();
            AddParts(h, clamped);
            const C_Complex p(grid[i], grid[i + 1]), q(grid[j], grid[j + 1]);
            for (const C_Complex& r : {p + q, p - q, p * q, p / q, p.Conjugated()}) AddParts(h, r);
            h.Add(p.Magnitude());
            // Boxes two units wide at corners of the grid, so some touch.
            C_Vector3D depth(7.0f, 8.0f, 9.0f);
            const C_Box box(a, a + 2.0f), other(b, b + 2.0f);
            h.Add(box.Intersect(other, &depth), box.Intersect(other, nullptr));
            AddParts(h, depth);
        }
    EXPECT_EQ(h.value, 0x954f47375587117full);
    const std::int32_t extremes[2] = {INT_MAX, INT_MIN};
    const C_Vector2Di m(extremes);  // the integer forms wrap
    EXPECT_TRUE(m + C_Vector2Di(1, 1) == C_Vector2Di(INT_MIN, INT_MIN + 1));
    EXPECT_TRUE(m - C_Vector2Di(-1, 1) == C_Vector2Di(INT_MIN, INT_MAX));
}

// Over a grid of angles, points and axes: a rotation keeps the length, the
// opposite angle undoes it, two rotations add up, and about a coordinate axis
// of any length it is that axis's own rotation, the same in 2D, 3D and 4D.
// The anchors fix the direction of turn. A 2D direction is measured in
// radians in (-pi/2, 3pi/2]; straight up or down when x is 0.
TEST(Vector, RotationsAndAngles) {
    const C_Vector3D points[] = {{1.0f, 2.0f, 3.0f}, {-4.0f, 0.5f, 0.0f}, {0.0f, 0.0f, -2.0f}};
    const C_Vector3D axes[] = {{0.3f, -1.2f, 0.7f}, {1.0f, 1.0f, 1.0f}, {-2.0f, 0.1f, 0.0f}};
    for (float angle = -170.0f; angle <= 180.0f; angle += 37.0f)
        for (const C_Vector3D& p : points) {
            SCOPED_TRACE(::testing::Message() << angle << " degrees, " << p.x << "," << p.y << "," << p.z);
            for (const C_Vector3D& axis : axes) {
                const C_Vector3D r = p.RotatedAxis(angle, axis);
                EXPECT_NEAR(r.Length(), p.Length(), 1e-5f);
                EXPECT_TRUE(r.RotatedAxis(-angle, axis).Near(p, 1e-5f));
                EXPECT_TRUE(r.RotatedAxis(25.0f, axis).Near(p.RotatedAxis(angle + 25.0f, axis), 1e-5f));
                EXPECT_TRUE(SameBits(C_Vector4D(p).RotatedAxis(angle, axis), C_Vector4D(r)));
            }
            EXPECT_TRUE(p.RotatedAxis(angle, C_Vector3D(3.0f, 0.0f, 0.0f)).Near(p.RotatedX(angle), 1e-5f));
            EXPECT_TRUE(p.RotatedAxis(angle, C_Vector3D(0.0f, 0.5f, 0.0f)).Near(p.RotatedY(angle), 1e-5f));
            EXPECT_TRUE(p.RotatedAxis(angle, C_Vector3D(0.0f, 0.0f, 5.0f)).Near(p.RotatedZ(angle), 1e-5f));
            const C_Vector3D z = p.RotatedZ(angle);
            const C_Vector2D turned = C_Vector2D(1.0f, 0.0f).Rotated(angle);
            EXPECT_NEAR(turned.Angle(), (angle < -90.0f ? angle + 360.0f : angle) * 3.14159265f / 180.0f, 1e-5f);
            EXPECT_EQ(C_Complex(turned.x, turned.y).Argument(), turned.Angle());
            EXPECT_TRUE(SameBits(C_Vector2D(p.x, p.y).Rotated(angle), C_Vector2D(z.x, z.y)));
        }
    const C_Vector3D x(1.0f, 0.0f, 0.0f), y(0.0f, 1.0f, 0.0f), z(0.0f, 0.0f, 1.0f);
    EXPECT_TRUE(y.RotatedX(90.0f).Near(z, 1e-6f) && x.RotatedY(90.0f).Near(-z, 1e-6f));
    EXPECT_TRUE(x.RotatedZ(90.0f).Near(y, 1e-6f));
    EXPECT_EQ(C_Vector2D(1.0f, 0.0f, 0x21).Rotated(90.0f).align, 0x21);
    EXPECT_EQ(C_Vector2D(0.0f, 2.0f).Angle(), 1.5707964f);
    EXPECT_EQ(C_Vector2D(0.0f, 0.0f).Angle(), -1.5707964f);
    // 3D angles: parallel and opposite vectors stay inside acos's domain
    // despite rounding; the zero vector has none.
    EXPECT_FLOAT_EQ(x.Angle(C_Vector3D(0.0f, 0.0f, 3.0f)), 1.5707964f);
    for (float k : {0.1f, 0.3f, 1.0f, 3.0f, 1e7f}) {
        EXPECT_NEAR(points[0].Angle(points[0] * k), 0.0f, 1e-3f) << k;
        EXPECT_NEAR(points[0].Angle(points[0] * -k), 3.1415927f, 1e-3f) << k;
    }
    EXPECT_TRUE(std::isnan(C_Vector3D().Angle(x)));
    // Exactly 0 degrees skips the arithmetic (which would turn inf into NaN);
    // an axis without direction leaves the vector alone.
    const C_Vector2D odd(-0.0f, INFINITY, 5);
    const C_Vector3D odd3(INFINITY, 1.0f, 2.0f);
    EXPECT_TRUE(SameBits(odd.Rotated(0.0f), odd));
    EXPECT_TRUE(SameBits(odd3.RotatedX(0.0f), odd3));
    EXPECT_TRUE(SameBits(odd3.RotatedAxis(0.0f, x), odd3));
    EXPECT_TRUE(SameBits(points[0].RotatedAxis(60.0f, C_Vector3D()), points[0]));
}

// A byte call with a floating-point argument does not compile.
constexpr auto kFromBytes = [](auto... c) -> decltype(C_Color::FromBytes(c...)) { return C_Color::FromBytes(c...); };
static_assert(std::is_invocable_v<decltype(kFromBytes), int, int, int, int>);
static_assert(!std::is_invocable_v<decltype(kFromBytes), double, int, int, int>);
static_assert(!std::is_invocable_v<decltype(kFromBytes), int, int, int, float>);

// Integers mean bytes, divided by 255 without clamping; anything with a
// floating-point argument means unit components.
TEST(Color, ConstructorsByArgumentTypes) {
    const float byte128 = 128.0f / 255.0f;
    const struct {
        const char* call;
        C_Color got;
        C_Color want;
    } cases[] = {
        {"C_Color(0, 0.25, 0u, 2)", C_Color(0, 0.25, 0u, 2), C_Color(0.0f, 0.25f, 0.0f, 2.0f)},
        {"C_Color(128, 0, 255, 0)", C_Color(128, 0, 255, 0), C_Color(byte128, 0.0f, 1.0f, 0.0f)},
        {"FromBytes(-128, 512, 0, 255)", C_Color::FromBytes(-128, 512, 0, 255),
         C_Color(-128.0f / 255.0f, 512.0f / 255.0f, 0.0f, 1.0f)},
        {"FromUnit(0.5, 2.0, -1.0, 0.1)", C_Color::FromUnit(0.5, 2.0, -1.0, 0.1), C_Color(0.5f, 2.0f, -1.0f, 0.1f)},
        {"C_Color(0x00FF8040u)", C_Color(0x00FF8040u), C_Color(64.0f / 255.0f, byte128, 1.0f, 0.0f)},
        {"C_Color(nullptr)", C_Color(static_cast<const float*>(nullptr)), C_Color()},
    };
    for (const auto& c : cases) EXPECT_TRUE(SameBits(c.got, c.want)) << c.call;
}

using Bytes = std::vector<std::uint8_t>;

bool Load(C_Object& object, const Bytes& bytes) {
    C_Stream stream;
    stream.OpenMemoryRead(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    return object.LoadFromStream(&stream, 0);
}

// `value`'s record goes into `all`; loading it into a copy of `other` gives
// back every bit (saving again gives the same bytes). Every proper prefix is
// refused with error 10, and another tag is refused naming the class `name`;
// neither touches the copy.
template <typename T>
void ExpectRecord(Bytes& all, T value, T other, const std::string& name) {
    SCOPED_TRACE(name);
    const Bytes bytes = Quillory_Saved(value);
    all.insert(all.end(), bytes.begin(), bytes.end());
    T back(other);
    ASSERT_TRUE(Load(back, bytes));
    EXPECT_EQ(Quillory_Saved(back), bytes);
    const Bytes untouched = Quillory_Saved(other);
    for (std::size_t n = 0; n < bytes.size(); ++n) {
        T object(other);
        Gfx_ClearError();
        EXPECT_FALSE(Load(object, Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n)))) << n;
        EXPECT_EQ(Gfx_GetErrorDetailCode(), GFX_ERR_BAD_DATA) << n;
        EXPECT_EQ(Quillory_Saved(object), untouched) << "a prefix of " << n << " bytes changed the object";
    }
    Bytes retagged = bytes;
    retagged[0] ^= 0x40;
    T object(other);
    ExpectReported({"another tag", [&] { return Load(object, retagged); }, GFX_ERR_BAD_DATA,
                    name + "::LoadFromStream{class_type}", name + "::LoadFromStream"});
    EXPECT_EQ(Quillory_Saved(object), untouched);
}

// The layout (the tag, then little-endian fields in order, nested records
// whole) is pinned by a golden hash of all the records; the frame's bytes are
// written out as the readable example.
TEST(Records, EveryMathRecordRoundTripsAndRefusesBadRecords) {
    Bytes all;
    ExpectRecord(all, C_Color(0.25f, -0.0f, NAN, INFINITY), C_Color(0.1f, 0.2f, 0.3f, 0.4f), "C_Color");
    ExpectRecord(all, C_Vector2D(0.1f, -0.0f, 0x21), C_Vector2D(7.0f, 8.0f, 9), "C_Vector2D");
    ExpectRecord(all, C_Vector3D(1.0f, NAN, INFINITY), C_Vector3D(7.0f, 8.0f, 9.0f), "C_Vector3D");
    ExpectRecord(all, C_Vector4D(1.0f, 2.0f, 3.0f, 4.0f), C_Vector4D(7.0f, 8.0f, 9.0f, 1.0f), "C_Vector4D");
    const std::int32_t corners[4] = {0, -2, 800, 600};
    const float edges[4] = {-0.5f, 1.25f, 3.0f, 4.0f};
    ExpectRecord(all, C_Frame(corners), C_Frame(9, 9, 9, 9, 9, 9), "C_Frame");
    ExpectRecord(all, C_Rect(edges), C_Rect(9.0f, 9.0f, 9.0f, 9.0f, 9, 9), "C_Rect");
    ExpectRecord(all, C_Circle(C_Vector2D(1.0f, 2.0f, 3), 4.0f), C_Circle(C_Vector2D(9.0f, 9.0f, 9), 9.0f), "C_Circle");
    ExpectRecord(all, C_Box(C_Vector3D(1.0f, 2.0f, 3.0f), C_Vector3D(4.0f, 5.0f, 6.0f)),
                 C_Box(C_Vector3D(9.0f, 9.0f, 9.0f), C_Vector3D(9.0f, 9.0f, 9.0f)), "C_Box");
    GoldenHash h;
    for (const std::uint8_t b : all) h.Add(b);
    EXPECT_EQ(h.value, 0xad2b0dc3d3ce2d39ull);
    C_Frame frame(0, -2, 800, 600, 0x12, 0x33);
    EXPECT_EQ(Quillory_Saved(frame),
              (Bytes{0x07, 0, 0, 0, 0, 0, 0xFE, 0xFF, 0xFF, 0xFF, 0x20, 3, 0, 0, 0x58, 2, 0, 0, 0x12, 0x33}));

    // The 2D tag does not say which variant wrote it: the reader decides.
    C_Vector2D floats(-2147483648.0f, 1e9f, 0x21);
    C_Vector2Di asInt;
    ASSERT_TRUE(Load(asInt, Quillory_Saved(floats)));
    EXPECT_EQ(Quillory_Saved(asInt), Quillory_Saved(floats));
}

// A nested record of the wrong kind gives its own reason and the outer
// summary, and leaves the outer object alone; a failed write names the writer.
TEST(Records, NestedFailuresAndFailedWritesAreReported) {
    C_Vector3D three(1.0f, 2.0f, 3.0f);
    C_Circle circle(C_Vector2D(1.0f, 2.0f, 0x12), 3.0f);
    const Bytes before = Quillory_Saved(circle);
    Bytes centre3D = Quillory_Saved(three);
    centre3D.insert(centre3D.begin(), {0x08, 0x00});
    const auto load = [&] { return Load(circle, centre3D); };
    ExpectReported({"circle whose centre is 3D", load, GFX_ERR_BAD_DATA, "C_Vector2D::LoadFromStream{class_type}",
                    "C_Circle::LoadFromStream"});
    EXPECT_EQ(Quillory_Saved(circle), before);
    const auto save = [] {
        C_Box box;
        C_Stream unopened;
        return box.SaveToStream(&unopened, 0);
    };
    ExpectReported({"box written nowhere", save, -1, "", "C_Box::SaveToStream"});
}

}  // namespace
