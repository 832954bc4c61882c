#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <set>
#include <utility>
#include <string>
#include <vector>

#include "quillory.h"

namespace {

using Pixels = std::set<std::pair<int, int>>;  // (x, y)

// An image of `format` viewing the middle of a larger buffer, with guard
// bytes around every row and above and below, so that a write outside the
// image shows.
class Guarded {
public:
    static constexpr std::uint8_t kGuard = 0xA5;
    static constexpr std::uint32_t kMargin = 8;

    Guarded(std::uint32_t w, std::uint32_t h, std::int32_t format, std::uint32_t extraPitch = 0) {
        Gfx_FormatDesc d;
        Gfx_GetFormatDesc(format, &d);
        bytes_ = d.bitsPerPixel / 8;
        rowBytes_ = w * bytes_;
        pitch_ = rowBytes_ + 2 * kMargin + extraPitch;
        buffer_.assign(std::size_t{pitch_} * (h + 2), kGuard);
        for (std::uint32_t y = 1; y <= h; ++y) std::memset(&buffer_[y * pitch_ + kMargin], 0, rowBytes_);
        auto* image = new C_Image();
        image->CreateLocked(w, h, pitch_, format, GFX_FMT_NONE, &buffer_[pitch_ + kMargin]);
        surface.AddPlane(image, GFX_PLANE_COLOR);
    }

    C_Image* Image() { return surface.GetPlane(GFX_PLANE_COLOR); }

    std::uint32_t At(std::uint32_t x, std::uint32_t y) {
        const std::uint8_t* p = Image()->Row(y) + x * bytes_;
        std::uint32_t v = 0;
        for (std::uint32_t i = 0; i < bytes_; ++i) v |= std::uint32_t{p[i]} << (8 * i);
        return v;
    }

    // Every non-zero pixel.
    Pixels Drawn() {
        Pixels out;
        for (std::uint32_t y = 0; y < Image()->height; ++y)
            for (std::uint32_t x = 0; x < Image()->width; ++x)
                if (At(x, y) != 0) out.insert({int(x), int(y)});
        return out;
    }

    bool GuardsIntact() const {
        const std::size_t rows = buffer_.size() / pitch_;
        for (std::size_t i = 0; i < buffer_.size(); ++i) {
            const std::size_t r = i / pitch_, c = i % pitch_;
            const bool pixel = r >= 1 && r + 1 < rows && c >= kMargin && c < kMargin + rowBytes_;
            if (!pixel && buffer_[i] != kGuard) return false;
        }
        return true;
    }

    C_Surface surface{0, nullptr};

private:
    std::uint32_t bytes_ = 4;
    std::uint32_t rowBytes_ = 0;
    std::uint32_t pitch_ = 0;
    std::vector<std::uint8_t> buffer_;
};

const C_Color kWhite(1.0f, 1.0f, 1.0f, 1.0f);

Pixels Set(std::initializer_list<std::pair<int, int>> list) { return Pixels(list); }

// The line walk step by step, in 32-bit fixed point, exactly as the
// algorithm reads: the reference the clipped walk must reproduce.
Pixels ReferenceLine(float sx, float sy, float ex, float ey) {
    Pixels out;
    const auto X0 = std::int32_t(sx * 65536.0f), Y0 = std::int32_t(sy * 65536.0f);
    const auto X1 = std::int32_t(ex * 65536.0f), Y1 = std::int32_t(ey * 65536.0f);
    const std::int32_t adx = std::abs(X1 - X0), ady = std::abs(Y1 - Y0);
    if (adx == 0 && ady == 0) return out;
    const bool xMajor = adx >= ady;
    const std::int32_t m0 = xMajor ? X0 : Y0, m1 = xMajor ? X1 : Y1, n0 = xMajor ? Y0 : X0, n1 = xMajor ? Y1 : X1;
    std::int32_t slope = n1 > n0 ? 0x10000 : -0x10000;
    if (adx != ady)
        slope = xMajor ? std::int32_t((ey - sy) / std::fabs(ex - sx) * 65536.0f)
                       : std::int32_t((ex - sx) / std::fabs(ey - sy) * 65536.0f);
    std::int32_t n = n0 + 0x8000;
    for (std::int32_t m = m0 + 0x8000; m1 > m0 ? m <= m1 : m >= m1; m += m1 > m0 ? 0x10000 : -0x10000, n += slope)
        out.insert(xMajor ? std::pair{m >> 16, n >> 16} : std::pair{n >> 16, m >> 16});
    return out;
}

// The incremental midpoint circle, every point it plots.
Pixels ReferenceCircle(int cx, int cy, int r) {
    Pixels out = {{cx, cy + r}, {cx, cy - r}, {cx + r, cy}, {cx - r, cy}};
    for (int x = 0, y = r, f = 1 - r, ddx = 0, ddy = -2 * r; x < y;) {
        if (f >= 0) {
            --y;
            ddy += 2;
            f += ddy;
        }
        ++x;
        ddx += 2;
        f += ddx + 1;
        out.insert({{cx + x, cy + y},
                    {cx - x, cy + y},
                    {cx + x, cy - y},
                    {cx - x, cy - y},
                    {cx + y, cy + x},
                    {cx - y, cy + x},
                    {cx + y, cy - x},
                    {cx - y, cy - x}});
    }
    return out;
}

Pixels Clipped(const Pixels& in, const C_Frame& r) {
    Pixels out;
    for (const auto& [x, y] : in)
        if (x >= r.x0 && x < r.x1 && y >= r.y0 && y < r.y1) out.insert({x, y});
    return out;
}

// The filled circle from the reference points: each row from its outermost
// point to its outermost point.
Pixels FilledFrom(const Pixels& points, const C_Frame& r) {
    std::vector<int> lo(r.y1, std::numeric_limits<int>::max()), hi(r.y1, std::numeric_limits<int>::min());
    for (const auto& [x, y] : points)
        if (y >= r.y0 && y < r.y1) lo[y] = std::min(lo[y], x), hi[y] = std::max(hi[y], x);
    Pixels out;
    for (int y = r.y0; y < r.y1; ++y)
        for (int x = std::max(lo[y], r.x0); x <= std::min(hi[y], r.x1 - 1); ++x) out.insert({x, y});
    return out;
}

bool Line(Guarded& g, float sx, float sy, float ex, float ey, const C_Frame* clip = nullptr,
          const C_Frame* clip2 = nullptr) {
    const C_Vector2D a(sx, sy), b(ex, ey);
    return Gfx_Surface_Blit(&g.surface, &a, &b, &kWhite, clip, clip2);
}

bool Rect(Guarded& g, float x0, float y0, float x1, float y1, std::uint8_t filled, const C_Frame* clip = nullptr) {
    const C_Rect rect(x0, y0, x1, y1);
    return Gfx_Surface_Blit(&g.surface, &rect, &kWhite, clip, nullptr, filled);
}

bool Circle(Guarded& g, float cx, float cy, float r, std::uint8_t filled, const C_Frame* clip = nullptr) {
    const C_Circle circle(C_Vector2D(cx, cy), r);
    return Gfx_Surface_Blit(&g.surface, &circle, &kWhite, clip, nullptr, filled);
}

TEST(Primitives, PointHonoursRegionEdgesAndBothClips) {
    Guarded g(20, 20, GFX_FMT_ARGB8888);
    const C_Frame clip(2, 3, 10, 12);
    const C_Frame clip2(5, 0, 30, 30);
    for (const auto& [x, y] : {std::pair{5, 3}, {9, 11}, {10, 5}, {6, 12}, {4, 5}, {2, 3}}) {
        const C_Vector2Di p(x, y);
        EXPECT_TRUE(Gfx_Surface_Blit(&g.surface, &p, &kWhite, &clip, &clip2));
    }
    // x0, y0 are inside, x1, y1 outside; (4, 5) and (2, 3) are cut by clip2.
    EXPECT_EQ(g.Drawn(), Set({{5, 3}, {9, 11}}));

    // A clip larger than the image still writes nothing outside it.
    const C_Frame huge(-100, -100, 100, 100);
    for (const auto& [x, y] : {std::pair{-1, 0}, {20, 0}, {0, -1}, {0, 20}, {19, 19}}) {
        const C_Vector2Di p(x, y);
        EXPECT_TRUE(Gfx_Surface_Blit(&g.surface, &p, &kWhite, &huge, nullptr));
    }
    EXPECT_EQ(g.Drawn().count({19, 19}), 1u);
    EXPECT_TRUE(g.GuardsIntact());
}

Pixels DrawnLine(float sx, float sy, float ex, float ey) {
    Guarded g(16, 16, GFX_FMT_ARGB8888);
    EXPECT_TRUE(Line(g, sx, sy, ex, ey));
    return g.Drawn();
}

Pixels Diagonal(int from, int to) {
    Pixels out;
    for (int i = std::min(from, to); i <= std::max(from, to); ++i) out.insert({i, i});
    return out;
}

TEST(Primitives, LineEndPixelRuleInBothDirections) {
    Pixels row9, row10, column;
    for (int x = 0; x <= 10; ++x) (x < 10 ? row9 : row10).insert({x, 0});
    row10.insert(row9.begin(), row9.end());
    for (int y = 2; y <= 9; ++y) column.insert({4, y});
    EXPECT_EQ(DrawnLine(0, 0, 10, 0), row9);   // increasing: the end pixel is left out
    EXPECT_EQ(DrawnLine(10, 0, 0, 0), row10);  // decreasing: it is kept
    EXPECT_EQ(DrawnLine(4, 9, 4, 2), column);
    EXPECT_EQ(DrawnLine(0, 0, 3, 3), Diagonal(0, 2));
    EXPECT_EQ(DrawnLine(3, 3, 0, 0), Diagonal(0, 3));
    EXPECT_TRUE(DrawnLine(7.25f, 7, 7.25f, 7).empty());  // no extent at all
}

TEST(Primitives, LineWalkMatchesTheStepByStepWalkWithClipping) {
    // Lines of every direction and slope, fractional ends, and ends outside
    // the image, against the unclipped step-by-step walk.
    const float ends[][4] = {
        {0, 0, 15, 4},       {15, 4, 0, 0},     {1.3f, 2.7f, 12.9f, 13.1f},  {12.9f, 13.1f, 1.3f, 2.7f},
        {3, 0.5f, 4.2f, 15}, {-20, -7, 40, 30}, {40, 30, -20, -7},           {8, -50, 9, 60},
        {-3.5f, 5, 30, 5},   {2, 14, 14, 2},    {-0.4f, -0.4f, 5.5f, 11.2f}, {15.99f, 0, 0, 15.99f},
    };
    const C_Frame clips[] = {C_Frame(0, 0, 16, 16), C_Frame(3, 2, 11, 13), C_Frame(-5, -5, 40, 40)};
    for (const auto& e : ends)
        for (const C_Frame& clip : clips) {
            Guarded g(16, 16, GFX_FMT_ARGB8888);
            EXPECT_TRUE(Line(g, e[0], e[1], e[2], e[3], &clip));
            C_Frame inside(std::max(clip.x0, 0), std::max(clip.y0, 0), std::min(clip.x1, 16), std::min(clip.y1, 16));
            EXPECT_EQ(g.Drawn(), Clipped(ReferenceLine(e[0], e[1], e[2], e[3]), inside))
                << e[0] << "," << e[1] << " -> " << e[2] << "," << e[3] << " clip " << clip.x0 << "," << clip.y0;
            EXPECT_TRUE(g.GuardsIntact());
        }
}

TEST(Primitives, LineFarOffOrNonFiniteEndsAreSafe) {
    Guarded g(16, 8, GFX_FMT_ARGB8888);
    EXPECT_TRUE(Line(g, -1e11f, 5.0f, 1e11f, 5.0f));
    Pixels want;
    for (int x = 0; x < 16; ++x) want.insert({x, 5});
    EXPECT_EQ(g.Drawn(), want);
    EXPECT_TRUE(Line(g, 1, 1, 1e10f + 1, 1e10f + 1));  // a ray: cut near the image, same pixels
    for (int i = 1; i < 8; ++i) want.insert({i, i});
    EXPECT_EQ(g.Drawn(), want);

    // Not finite, or too far for any precision: nothing, and still true.
    EXPECT_TRUE(Line(g, std::nanf(""), 1, 5, 1));
    EXPECT_TRUE(Line(g, 0, 2, std::numeric_limits<float>::infinity(), 2));
    EXPECT_TRUE(Line(g, 3e38f, -3e38f, -3e38f, 3e38f));
    EXPECT_EQ(g.Drawn(), want);
    EXPECT_TRUE(g.GuardsIntact());
}

TEST(Primitives, RectangleClippingAtEveryEdge) {
    // Corners (2, 2) and (4, 3) cover 3 x 2 pixels, in either order.
    Guarded forward(8, 8, GFX_FMT_ARGB8888), backward(8, 8, GFX_FMT_ARGB8888);
    EXPECT_TRUE(Rect(forward, 2, 2, 4, 3, 1));
    EXPECT_TRUE(Rect(backward, 4.9f, 3.5f, 2.2f, 2.0f, 1));
    EXPECT_EQ(forward.Drawn(), Set({{2, 2}, {3, 2}, {4, 2}, {2, 3}, {3, 3}, {4, 3}}));
    EXPECT_EQ(backward.Drawn(), forward.Drawn());

    // A 5 x 5 rectangle against a region 5..9 on both axes, shifted so that
    // it crosses each edge in turn (and lies inside, and outside).
    const C_Frame clip(5, 5, 10, 10);
    for (int dx = -6; dx <= 6; dx += 3)
        for (int dy = -6; dy <= 6; dy += 3) {
            const int l = 5 + dx, t = 5 + dy, r = l + 4, b = t + 4;
            Guarded filled(16, 16, GFX_FMT_ARGB8888), outline(16, 16, GFX_FMT_ARGB8888);
            EXPECT_TRUE(Rect(filled, float(l), float(t), float(r), float(b), 1, &clip));
            EXPECT_TRUE(Rect(outline, float(l), float(t), float(r), float(b), 0, &clip));
            Pixels wantFilled, wantOutline;
            for (int y = t; y <= b; ++y)
                for (int x = l; x <= r; ++x) {
                    if (x < 5 || x >= 10 || y < 5 || y >= 10) continue;
                    wantFilled.insert({x, y});
                    // Edges whose own line is outside the region vanish; the
                    // others are drawn clipped.
                    const bool edge = (x == l && l >= 5 && l < 10) || (x == r && r >= 5 && r < 10) ||
                                      (y == t && t >= 5 && t < 10) || (y == b && b >= 5 && b < 10);
                    if (edge) wantOutline.insert({x, y});
                }
            EXPECT_EQ(filled.Drawn(), wantFilled) << dx << "," << dy;
            EXPECT_EQ(outline.Drawn(), wantOutline) << dx << "," << dy;
        }
}

TEST(Primitives, RectangleWithHugeOrNonFiniteCorners) {
    Guarded g(6, 4, GFX_FMT_ARGB8888);
    EXPECT_TRUE(Rect(g, -1e30f, 1, 1e30f, 2, 1));
    EXPECT_EQ(g.Drawn().size(), 12u);                       // rows 1 and 2 across
    EXPECT_TRUE(Rect(g, -1e30f, -1e30f, 1e30f, 1e30f, 0));  // every edge outside: nothing
    EXPECT_FALSE(Rect(g, std::nanf(""), 0, 3, 3, 1));
    EXPECT_EQ(g.Drawn().size(), 12u);
    EXPECT_TRUE(g.GuardsIntact());
}

TEST(Primitives, CircleOfRadiusThreeAndRadiusZero) {
    Guarded g(24, 24, GFX_FMT_ARGB8888);
    EXPECT_TRUE(Circle(g, 10.6f, 10.2f, 3.9f, 0));
    Pixels want = Set({{10, 7}, {10, 13}, {7, 10}, {13, 10}});
    for (int sx : {-1, 1})
        for (int sy : {-1, 1}) {
            want.insert({10 + sx, 10 + 3 * sy});
            want.insert({10 + 3 * sx, 10 + sy});
            want.insert({10 + 2 * sx, 10 + 2 * sy});
        }
    EXPECT_EQ(want.size(), 16u);
    EXPECT_EQ(g.Drawn(), want);

    Guarded f(24, 24, GFX_FMT_ARGB8888);
    EXPECT_TRUE(Circle(f, 10, 10, 3, 1));
    const int halfWidth[] = {1, 2, 3, 3, 3, 2, 1};  // rows 7..13
    Pixels filled;
    for (int y = 7; y <= 13; ++y)
        for (int x = 10 - halfWidth[y - 7]; x <= 10 + halfWidth[y - 7]; ++x) filled.insert({x, y});
    EXPECT_EQ(f.Drawn(), filled);

    for (std::uint8_t mode : {0, 1}) {
        Guarded z(8, 8, GFX_FMT_ARGB8888);
        EXPECT_TRUE(Circle(z, 4, 5, 0.5f, mode));
        EXPECT_EQ(z.Drawn(), Set({{4, 5}}));
        EXPECT_TRUE(Circle(z, 4, 5, -2, mode));  // a negative radius draws nothing
        EXPECT_EQ(z.Drawn(), Set({{4, 5}}));
    }
    // Only exactly 1 means filled.
    Guarded o(24, 24, GFX_FMT_ARGB8888);
    EXPECT_TRUE(Circle(o, 10, 10, 3, 2));
    EXPECT_EQ(o.Drawn(), want);
}

TEST(Primitives, CirclesMatchTheIncrementalAlgorithmUnderClipping) {
    // Every radius up to 160, centred in, across and outside the region.
    const C_Frame clips[] = {C_Frame(0, 0, 40, 30), C_Frame(7, 3, 33, 21), C_Frame(-10, -10, 100, 100)};
    const int centres[][2] = {{20, 15}, {-3, 8}, {45, 33}, {20, -40}};
    for (int r = 0; r <= 160; r += (r < 40 ? 1 : 7))
        for (const auto& c : centres)
            for (const C_Frame& clip : clips) {
                const C_Frame inside(std::max(clip.x0, 0), std::max(clip.y0, 0), std::min(clip.x1, 40),
                                     std::min(clip.y1, 30));
                const auto points = ReferenceCircle(c[0], c[1], r);
                Guarded outline(40, 30, GFX_FMT_ARGB8888), filled(40, 30, GFX_FMT_ARGB8888);
                EXPECT_TRUE(Circle(outline, float(c[0]), float(c[1]), float(r), 0, &clip));
                EXPECT_TRUE(Circle(filled, float(c[0]), float(c[1]), float(r), 1, &clip));
                ASSERT_EQ(outline.Drawn(), Clipped(points, inside)) << "r " << r << " at " << c[0] << "," << c[1];
                ASSERT_EQ(filled.Drawn(), FilledFrom(points, inside)) << "r " << r << " at " << c[0] << "," << c[1];
                EXPECT_TRUE(filled.GuardsIntact());
            }
}

TEST(Primitives, HugeCircleCrossingASmallImage) {
    // Radius 50000 whose left side crosses a 40 x 30 image: drawn without
    // walking the whole circle, and exactly as the walk would.
    const int cx = 50010, cy = 12, r = 50000;
    const auto points = ReferenceCircle(cx, cy, r);
    const C_Frame all(0, 0, 40, 30);
    Guarded outline(40, 30, GFX_FMT_ARGB8888), filled(40, 30, GFX_FMT_ARGB8888);
    EXPECT_TRUE(Circle(outline, float(cx), float(cy), float(r), 0));
    EXPECT_TRUE(Circle(filled, float(cx), float(cy), float(r), 1));
    EXPECT_EQ(outline.Drawn(), Clipped(points, all));
    EXPECT_EQ(filled.Drawn(), FilledFrom(points, all));
    EXPECT_FALSE(outline.Drawn().empty());

    // Out of reach or not finite: nothing, and still true.
    Guarded g(8, 8, GFX_FMT_ARGB8888);
    EXPECT_TRUE(Circle(g, 4, 4, 3e9f, 1));
    EXPECT_TRUE(Circle(g, std::nanf(""), 4, 3, 1));
    EXPECT_TRUE(Circle(g, 4, 4, std::numeric_limits<float>::infinity(), 0));
    EXPECT_TRUE(g.Drawn().empty());
}

TEST(Primitives, EveryDepthAndByteOrder) {
    const C_Color c(0x12 / 255.0f, 0x34 / 255.0f, 0x56 / 255.0f, 1.0f);
    struct Case {
        std::int32_t format;
        std::uint32_t expected;  // the pixel as a little-endian value
    };
    const Case cases[] = {
        {GFX_FMT_CH8, Gfx_GetFormattedColor_32bit(GFX_FMT_CH8, &c)},
        {GFX_FMT_RGB565, Gfx_GetFormattedColor_32bit(GFX_FMT_RGB565, &c)},
        {GFX_FMT_RGB888, 0x123456},  // bytes 56 34 12: blue, green, red
        {GFX_FMT_BGR888, 0x563412},  // red in the low byte: bytes 12 34 56
        {GFX_FMT_ARGB8888, Gfx_GetFormattedColor_32bit(GFX_FMT_ARGB8888, &c)},
    };
    for (const Case& k : cases) {
        Guarded g(12, 4, k.format);
        const C_Vector2Di p(3, 1);
        EXPECT_TRUE(Gfx_Surface_Blit(&g.surface, &p, &c, nullptr, nullptr));
        EXPECT_EQ(g.At(3, 1), k.expected) << k.format;
        const C_Rect r(5, 2, 10, 3);
        EXPECT_TRUE(Gfx_Surface_Blit(&g.surface, &r, &c, nullptr, nullptr, 1));
        for (std::uint32_t y = 2; y <= 3; ++y)
            for (std::uint32_t x = 5; x <= 10; ++x) EXPECT_EQ(g.At(x, y), k.expected) << k.format;
        EXPECT_EQ(g.Drawn().size(), 13u) << k.format;
        EXPECT_TRUE(g.GuardsIntact()) << k.format;
    }
}

TEST(Primitives, RunsOfEveryLengthAndAlignment) {
    // Word-wide stores must start and stop exactly: every start column and
    // length, on 8- and 16-bit planes, also with an odd pitch (no row on a
    // word boundary for 16-bit pixels).
    for (std::int32_t format : {GFX_FMT_CH8, GFX_FMT_RGB565})
        for (std::uint32_t extraPitch : {0u, 1u})
            for (int x0 = 0; x0 < 5; ++x0)
                for (int n = 1; n <= 11; ++n) {
                    Guarded g(20, 3, format, extraPitch);
                    EXPECT_TRUE(Rect(g, float(x0), 1, float(x0 + n - 1), 1, 1));
                    Pixels want;
                    for (int x = x0; x < x0 + n; ++x) want.insert({x, 1});
                    ASSERT_EQ(g.Drawn(), want) << format << " " << extraPitch << " " << x0 << " " << n;
                    ASSERT_TRUE(g.GuardsIntact());
                }
}

TEST(Primitives, BottomUpRowsAreStoredLastFirst) {
    C_Image* image = new C_Image();
    image->CreateEmpty(4, 3, GFX_FMT_ARGB8888, GFX_FMT_NONE, C_Color(0, 0, 0, 0));
    image->bottomUp = 1;
    C_Surface s(0, image);
    const C_Vector2Di p(1, 0);
    EXPECT_TRUE(Gfx_Surface_Blit(&s, &p, &kWhite, nullptr, nullptr));
    const C_Vector2D a(0, 2), b(4, 2);
    EXPECT_TRUE(Gfx_Surface_Blit(&s, &a, &b, &kWhite, nullptr, nullptr));
    const auto* words = reinterpret_cast<const std::uint32_t*>(image->data);
    EXPECT_NE(words[2 * 4 + 1], 0u);                      // row 0 is the last in memory
    for (int x = 0; x < 4; ++x) EXPECT_NE(words[x], 0u);  // row 2 is the first
    EXPECT_EQ(words[4 + 1], 0u);
}

TEST(Primitives, FailuresAndDepthsThatDrawNothing) {
    const C_Vector2Di p(0, 0);
    C_Surface empty;
    EXPECT_FALSE(Gfx_Surface_Blit(&empty, &p, &kWhite, nullptr, nullptr));
    EXPECT_FALSE(Gfx_Surface_Blit(nullptr, &p, &kWhite, nullptr, nullptr));

    Guarded g(4, 4, GFX_FMT_ARGB8888);
    Gfx_ClearError();
    EXPECT_FALSE(Gfx_Surface_Blit(&g.surface, &p, nullptr, nullptr, nullptr));
    EXPECT_EQ(Gfx_GetErrorDetailCode(), GFX_ERR_NULL_ARG);
    EXPECT_FALSE(Gfx_Surface_Blit(&g.surface, static_cast<const C_Circle*>(nullptr), &kWhite, nullptr, nullptr, 1));

    g.Image()->format = 99;
    Gfx_ClearError();
    EXPECT_FALSE(Gfx_Surface_Blit(&g.surface, &p, &kWhite, nullptr, nullptr));
    EXPECT_STREQ(Gfx_GetErrorDetail(), "Gfx_Surface_Blit{ImageDst->format}");
    EXPECT_STREQ(Gfx_GetErrorMessage(),
                 "Gfx_Surface_Blit>>>A fatal error occurred, the entire process has been aborted");
    EXPECT_EQ(Gfx_GetErrorCode(), GFX_ERR_GIVE_UP);
    g.Image()->format = GFX_FMT_ARGB8888;

    // 1-bit and 48-bit planes: nothing drawn, and a failure that says why.
    for (std::int32_t format : {GFX_FMT_INDEX1, GFX_FMT_RGB48}) {
        C_Image* image = new C_Image();
        image->CreateEmpty(8, 2, format, GFX_FMT_NONE, C_Color(0, 0, 0, 0));
        C_Surface s(0, image);
        const std::vector<std::uint8_t> before(image->data, image->data + image->dataSize);
        const C_Rect r(0, 0, 7, 1);
        Gfx_ClearError();
        EXPECT_FALSE(Gfx_Surface_Blit(&s, &r, &kWhite, nullptr, nullptr, 1));
        EXPECT_EQ(Gfx_GetErrorDetailCode(), GFX_ERR_FORMAT);
        EXPECT_NE(std::string(Gfx_GetErrorReason()).find("8, 16, 24 or 32 bits"), std::string::npos);
        EXPECT_EQ(std::vector<std::uint8_t>(image->data, image->data + image->dataSize), before);
    }

    // A plane whose buffer is shorter than its rows promise is not touched.
    C_Image* shortImage = new C_Image();
    shortImage->CreateEmpty(4, 4, GFX_FMT_ARGB8888, GFX_FMT_NONE, C_Color(0, 0, 0, 0));
    shortImage->height = 400;
    C_Surface s(0, shortImage);
    const C_Vector2Di far(1, 300);
    EXPECT_FALSE(Gfx_Surface_Blit(&s, &far, &kWhite, nullptr, nullptr));
    EXPECT_EQ(Gfx_GetErrorDetailCode(), GFX_ERR_BAD_DATA);
    shortImage->height = 4;
}

TEST(Primitives, FillSpansAndScanCircleStayInsideTheTables) {
    Guarded g(10, 6, GFX_FMT_ARGB8888);
    Gfx_ScanlineTables& t = Gfx_GetScanlineTables();
    ASSERT_TRUE(t.Reset(0, 4));
    t.Min()[1] = -5;
    t.Max()[1] = 2;
    t.Min()[2] = 8;
    t.Max()[2] = 40;
    t.Min()[3] = 6;
    t.Max()[3] = 5;  // empty
    t.firstRow = 1;
    t.lastRow = 50;  // beyond the tables and the image: ignored
    EXPECT_TRUE(Gfx_Surface_FillSpans(&g.surface, &kWhite, nullptr, nullptr));
    EXPECT_EQ(g.Drawn(), Set({{0, 1}, {1, 1}, {2, 1}, {8, 2}, {9, 2}}));
    EXPECT_TRUE(g.GuardsIntact());

    // The tables must hold the region's rows before a circle is scanned.
    const C_Circle circle(C_Vector2D(5, 5), 2);
    const C_Frame region(0, 0, 10, 10);
    ASSERT_TRUE(t.Reset(0, 4));
    EXPECT_FALSE(Gfx_ScanCircle(&circle, &region));
    ASSERT_TRUE(t.Reset(0, 10));
    EXPECT_TRUE(Gfx_ScanCircle(&circle, &region));
    EXPECT_EQ(t.firstRow, 3);
    EXPECT_EQ(t.lastRow, 7);
    EXPECT_EQ(t.Min()[5], 3);
    EXPECT_EQ(t.Max()[5], 7);
    EXPECT_EQ(t.Min()[3], 4);
    EXPECT_EQ(t.Max()[3], 6);
    EXPECT_FALSE(Gfx_ScanCircle(nullptr, &region));
}

}  // namespace
