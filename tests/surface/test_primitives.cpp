#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <set>
#include <utility>
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
        width_ = w;
        pitch_ = w * bytes_ + 2 * kMargin + extraPitch;
        buffer_.assign(std::size_t{pitch_} * (h + 2), kGuard);
        auto* image = new C_Image();
        image->CreateLocked(w, h, pitch_, format, GFX_FMT_NONE, buffer_.data() + pitch_ + kMargin);
        std::memset(buffer_.data() + pitch_, 0, std::size_t{pitch_} * h);  // pixels and row margins...
        for (std::uint32_t y = 0; y < h; ++y) {  // ...then the margins back to guard bytes
            std::uint8_t* row = buffer_.data() + std::size_t{pitch_} * (y + 1);
            std::memset(row, kGuard, kMargin);
            std::memset(row + kMargin + w * bytes_, kGuard, pitch_ - kMargin - w * bytes_);
        }
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
        const std::uint32_t w = width_;
        const std::size_t rows = buffer_.size() / pitch_;
        for (std::size_t r = 0; r < rows; ++r)
            for (std::uint32_t c = 0; c < pitch_; ++c) {
                const bool inside = r >= 1 && r + 1 < rows && c >= kMargin && c < kMargin + w * bytes_;
                if (!inside && buffer_[r * pitch_ + c] != kGuard) return false;
            }
        return true;
    }

    C_Surface surface{0, nullptr};

private:
    std::uint32_t bytes_ = 4;
    std::uint32_t width_ = 0;
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
    if (adx > ady) {
        const auto slope = std::int32_t((ey - sy) / std::fabs(ex - sx) * 65536.0f);
        std::int32_t y = Y0 + 0x8000;
        const std::int32_t step = X1 > X0 ? 0x10000 : -0x10000;
        for (std::int32_t x = X0 + 0x8000; X1 > X0 ? x <= X1 : x >= X1; x += step, y += slope)
            out.insert({x >> 16, y >> 16});
    } else if (ady > adx) {
        const auto slope = std::int32_t((ex - sx) / std::fabs(ey - sy) * 65536.0f);
        std::int32_t x = X0 + 0x8000;
        const std::int32_t step = Y1 > Y0 ? 0x10000 : -0x10000;
        for (std::int32_t y = Y0 + 0x8000; Y1 > Y0 ? y <= Y1 : y >= Y1; y += step, x += slope)
            out.insert({x >> 16, y >> 16});
    } else if (adx != 0) {
        const std::int32_t step = X1 > X0 ? 0x10000 : -0x10000, ystep = Y1 > Y0 ? 0x10000 : -0x10000;
        std::int32_t y = Y0 + 0x8000;
        for (std::int32_t x = X0 + 0x8000; X1 > X0 ? x <= X1 : x >= X1; x += step, y += ystep)
            out.insert({x >> 16, y >> 16});
    }
    return out;
}

// The incremental midpoint circle, every point it plots.
std::vector<std::pair<long long, long long>> ReferenceCircle(long long cx, long long cy, long long r) {
    std::vector<std::pair<long long, long long>> out = {{cx, cy + r}, {cx, cy - r}, {cx + r, cy}, {cx - r, cy}};
    long long x = 0, y = r, f = 1 - r, ddx = 0, ddy = -2 * r;
    while (x < y) {
        if (f >= 0) {
            --y;
            ddy += 2;
            f += ddy;
        }
        ++x;
        ddx += 2;
        f += ddx + 1;
        for (const auto& p : {std::pair{cx + x, cy + y}, {cx - x, cy + y}, {cx + x, cy - y}, {cx - x, cy - y},
                              {cx + y, cy + x}, {cx - y, cy + x}, {cx + y, cy - x}, {cx - y, cy - x}})
            out.push_back(p);
    }
    return out;
}

Pixels Inside(const std::vector<std::pair<long long, long long>>& points, const C_Frame& r) {
    Pixels out;
    for (const auto& [x, y] : points)
        if (x >= r.x0 && x < r.x1 && y >= r.y0 && y < r.y1) out.insert({int(x), int(y)});
    return out;
}

// The filled circle from the reference points: each row from the outermost
// point to the outermost point.
Pixels FilledFrom(const std::vector<std::pair<long long, long long>>& points, const C_Frame& r) {
    std::vector<long long> lo(r.y1, std::numeric_limits<long long>::max()), hi(r.y1, std::numeric_limits<long long>::min());
    for (const auto& [x, y] : points)
        if (y >= r.y0 && y < r.y1) {
            lo[y] = std::min(lo[y], x);
            hi[y] = std::max(hi[y], x);
        }
    Pixels out;
    for (int y = r.y0; y < r.y1; ++y)
        for (long long x = std::max<long long>(lo[y], r.x0); x <= std::min<long long>(hi[y], r.x1 - 1); ++x)
            out.insert({int(x), y});
    return out;
}

Pixels Clipped(const Pixels& in, const C_Frame& r) {
    Pixels out;
    for (const auto& [x, y] : in)
        if (x >= r.x0 && x < r.x1 && y >= r.y0 && y < r.y1) out.insert({x, y});
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

TEST(Primitives, LineEndPixelRuleInBothDirections) {
    {
        Guarded g(16, 16, GFX_FMT_ARGB8888);
        EXPECT_TRUE(Line(g, 0, 0, 10, 0));
        Pixels want;
        for (int x = 0; x <= 9; ++x) want.insert({x, 0});
        EXPECT_EQ(g.Drawn(), want);  // increasing: the end pixel is left out
    }
    {
        Guarded g(16, 16, GFX_FMT_ARGB8888);
        EXPECT_TRUE(Line(g, 10, 0, 0, 0));
        Pixels want;
        for (int x = 0; x <= 10; ++x) want.insert({x, 0});
        EXPECT_EQ(g.Drawn(), want);  // decreasing: it is kept
    }
    {
        Guarded g(16, 16, GFX_FMT_ARGB8888);
        EXPECT_TRUE(Line(g, 4, 9, 4, 2));
        Pixels want;
        for (int y = 2; y <= 9; ++y) want.insert({4, y});
        EXPECT_EQ(g.Drawn(), want);
    }
    {
        Guarded g(16, 16, GFX_FMT_ARGB8888);
        EXPECT_TRUE(Line(g, 0, 0, 3, 3));
        EXPECT_EQ(g.Drawn(), Set({{0, 0}, {1, 1}, {2, 2}}));
    }
    {
        Guarded g(16, 16, GFX_FMT_ARGB8888);
        EXPECT_TRUE(Line(g, 3, 3, 0, 0));
        EXPECT_EQ(g.Drawn(), Set({{3, 3}, {2, 2}, {1, 1}, {0, 0}}));
    }
    {
        Guarded g(16, 16, GFX_FMT_ARGB8888);
        EXPECT_TRUE(Line(g, 7.25f, 7, 7.25f, 7));  // no extent at all: nothing
        EXPECT_TRUE(g.Drawn().empty());
    }
}

TEST(Primitives, LineWalkMatchesTheStepByStepWalkWithClipping) {
    // Lines of every direction and slope, fractional ends, and ends outside
    // the image, against the unclipped step-by-step walk.
    const float ends[][4] = {
        {0, 0, 15, 4},      {15, 4, 0, 0},        {1.3f, 2.7f, 12.9f, 13.1f}, {12.9f, 13.1f, 1.3f, 2.7f},
        {3, 0.5f, 4.2f, 15}, {-20, -7, 40, 30},   {40, 30, -20, -7},          {8, -50, 9, 60},
        {-3.5f, 5, 30, 5},  {2, 14, 14, 2},       {-0.4f, -0.4f, 5.5f, 11.2f}, {15.99f, 0, 0, 15.99f},
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

TEST(Primitives, FilledRectangleCoversBothEndsInEitherCornerOrder) {
    Guarded a(8, 8, GFX_FMT_ARGB8888), b(8, 8, GFX_FMT_ARGB8888);
    EXPECT_TRUE(Rect(a, 2, 2, 4, 3, 1));
    EXPECT_TRUE(Rect(b, 4.9f, 3.5f, 2.2f, 2.0f, 1));
    const Pixels want = Set({{2, 2}, {3, 2}, {4, 2}, {2, 3}, {3, 3}, {4, 3}});
    EXPECT_EQ(a.Drawn(), want);
    EXPECT_EQ(b.Drawn(), want);
}

TEST(Primitives, RectangleClippingAtEveryEdge) {
    // A 10 x 10 rectangle (columns and rows 3..12) against a region 5..9 on
    // both axes, shifted so that it crosses each edge in turn.
    const C_Frame clip(5, 5, 10, 10);
    for (int dx = -6; dx <= 6; dx += 3)
        for (int dy = -6; dy <= 6; dy += 3) {
            const int l = 3 + dx, t = 3 + dy, r = l + 4, b = t + 4;  // a 5 x 5 rectangle
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

TEST(Primitives, OutlineWithRightEdgeBeyondTheRegion) {
    Guarded g(16, 16, GFX_FMT_ARGB8888);
    const C_Frame clip(0, 0, 8, 16);
    EXPECT_TRUE(Rect(g, 2, 3, 12, 6, 0, &clip));
    Pixels want;
    for (int x = 2; x <= 7; ++x) want.insert({x, 3}), want.insert({x, 6});
    for (int y = 3; y <= 6; ++y) want.insert({2, y});
    EXPECT_EQ(g.Drawn(), want);
}

TEST(Primitives, RectangleWithHugeOrNonFiniteCorners) {
    Guarded g(6, 4, GFX_FMT_ARGB8888);
    EXPECT_TRUE(Rect(g, -1e30f, 1, 1e30f, 2, 1));
    EXPECT_EQ(g.Drawn().size(), 12u);  // rows 1 and 2 across
    EXPECT_TRUE(Rect(g, -1e30f, -1e30f, 1e30f, 1e30f, 0));  // every edge outside: nothing
    EXPECT_TRUE(Rect(g, std::nanf(""), 0, 3, 3, 1));
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
                ASSERT_EQ(outline.Drawn(), Inside(points, inside)) << "r " << r << " at " << c[0] << "," << c[1];
                ASSERT_EQ(filled.Drawn(), FilledFrom(points, inside)) << "r " << r << " at " << c[0] << "," << c[1];
                EXPECT_TRUE(filled.GuardsIntact());
            }
}

TEST(Primitives, HugeCircleCrossingASmallImage) {
    // Radius 50000 whose left side crosses a 40 x 30 image: drawn without
    // walking the whole circle, and exactly as the walk would.
    const long long cx = 50010, cy = 12, r = 50000;
    const auto points = ReferenceCircle(cx, cy, r);
    const C_Frame all(0, 0, 40, 30);
    Guarded outline(40, 30, GFX_FMT_ARGB8888), filled(40, 30, GFX_FMT_ARGB8888);
    EXPECT_TRUE(Circle(outline, float(cx), float(cy), float(r), 0));
    EXPECT_TRUE(Circle(filled, float(cx), float(cy), float(r), 1));
    EXPECT_EQ(outline.Drawn(), Inside(points, all));
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
    const std::uint8_t* bgr = nullptr;
    Guarded rgb(2, 1, GFX_FMT_RGB888);
    const C_Vector2Di p(0, 0);
    Gfx_Surface_Blit(&rgb.surface, &p, &c, nullptr, nullptr);
    bgr = rgb.Image()->data;
    EXPECT_EQ(bgr[0], 0x56);
    EXPECT_EQ(bgr[1], 0x34);
    EXPECT_EQ(bgr[2], 0x12);
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
    EXPECT_NE(words[2 * 4 + 1], 0u);  // row 0 is the last in memory
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
    EXPECT_STREQ(Gfx_GetErrorMessage(), "Gfx_Surface_Blit>>>A fatal error occurred, the entire process has been aborted");
    EXPECT_EQ(Gfx_GetErrorCode(), GFX_ERR_GIVE_UP);
    g.Image()->format = GFX_FMT_ARGB8888;

    // 1-bit and 48-bit planes: nothing drawn, but not a failure.
    for (std::int32_t format : {GFX_FMT_INDEX1, GFX_FMT_RGB48}) {
        C_Image* image = new C_Image();
        image->CreateEmpty(8, 2, format, GFX_FMT_NONE, C_Color(0, 0, 0, 0));
        C_Surface s(0, image);
        const std::vector<std::uint8_t> before(image->data, image->data + image->dataSize);
        const C_Rect r(0, 0, 7, 1);
        EXPECT_TRUE(Gfx_Surface_Blit(&s, &r, &kWhite, nullptr, nullptr, 1));
        EXPECT_EQ(std::vector<std::uint8_t>(image->data, image->data + image->dataSize), before);
    }

    // A plane whose buffer is shorter than its rows promise is not touched.
    C_Image* shortImage = new C_Image();
    shortImage->CreateEmpty(4, 4, GFX_FMT_ARGB8888, GFX_FMT_NONE, C_Color(0, 0, 0, 0));
    shortImage->height = 400;
    C_Surface s(0, shortImage);
    const C_Vector2Di far(1, 300);
    EXPECT_TRUE(Gfx_Surface_Blit(&s, &far, &kWhite, nullptr, nullptr));
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
