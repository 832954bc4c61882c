// Points, lines, rectangles and circles against step-by-step models of their
// walks, drawn into planes with guard bytes around them.
#include <array>
#include <cmath>
#include <limits>
#include <set>
#include <string>
#include <utility>

#include "surface_test.h"

namespace {

using Pixels = std::set<std::pair<int, int>>;  // (x, y)

const C_Color kWhite(1.0f, 1.0f, 1.0f, 1.0f);
const float kNan = std::numeric_limits<float>::quiet_NaN(), kInf = std::numeric_limits<float>::infinity();

// A plane of `format` viewing the middle of a larger buffer, with guard
// bytes around every row and above and below, so that a write outside shows.
class Guarded {
public:
    Guarded(std::uint32_t w, std::uint32_t h, std::int32_t format = GFX_FMT_ARGB8888, std::uint32_t extraPitch = 0) {
        Gfx_FormatDesc d;
        Gfx_GetFormatDesc(format, &d);
        bytes_ = d.bitsPerPixel / 8;
        rowBytes_ = w * bytes_;
        pitch_ = rowBytes_ + 16 + extraPitch;
        buffer_.assign(std::size_t{pitch_} * (h + 2), kGuard);
        auto* image = new C_Image();
        image->CreateLocked(w, h, pitch_, format, GFX_FMT_NONE, &buffer_[pitch_ + 8]);
        for (std::uint32_t y = 0; y < h; ++y) std::memset(image->Row(y), 0, w * bytes_);
        surface.AddPlane(image, GFX_PLANE_COLOR);
    }
    C_Image* Image() { return surface.GetPlane(GFX_PLANE_COLOR); }
    std::uint32_t At(std::uint32_t x, std::uint32_t y) {
        std::uint32_t v = 0;
        std::memcpy(&v, Image()->Row(y) + x * bytes_, bytes_);  // little-endian, as the pixels are stored
        return v;
    }
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
            const bool pixel = r >= 1 && r + 1 < rows && c >= 8 && c < 8 + rowBytes_;
            if (!pixel && buffer_[i] != kGuard) return false;
        }
        return true;
    }
    C_Surface surface{0, nullptr};

private:
    static constexpr std::uint8_t kGuard = 0xA5;
    std::uint32_t bytes_ = 4, rowBytes_ = 0, pitch_ = 0;
    std::vector<std::uint8_t> buffer_;
};

// The line walk step by step in 32-bit fixed point, exactly as the
// algorithm reads: increasing walks leave their end pixel out.
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
        if (f >= 0) f += (ddy += 2), --y;
        ++x;
        f += (ddx += 2) + 1;
        for (const int sx : {-1, 1})
            for (const int sy : {-1, 1}) out.insert({{cx + sx * x, cy + sy * y}, {cx + sx * y, cy + sy * x}});
    }
    return out;
}

Pixels Clipped(const Pixels& in, const C_Frame& r) {
    Pixels out;
    for (const auto& [x, y] : in)
        if (x >= r.x0 && x < r.x1 && y >= r.y0 && y < r.y1) out.insert({x, y});
    return out;
}

// The filled circle: each row from its outermost point to its outermost point.
Pixels FilledFrom(const Pixels& points, const C_Frame& r) {
    std::vector<int> lo(r.y1, 1 << 30), hi(r.y1, -(1 << 30));
    for (const auto& [x, y] : points)
        if (y >= r.y0 && y < r.y1) lo[y] = std::min(lo[y], x), hi[y] = std::max(hi[y], x);
    Pixels out;
    for (int y = r.y0; y < r.y1; ++y)
        for (int x = std::max(lo[y], r.x0); x <= std::min(hi[y], r.x1 - 1); ++x) out.insert({x, y});
    return out;
}

C_Frame Inside(const C_Frame& clip, C_Image* image) {
    return C_Frame(std::max(clip.x0, 0), std::max(clip.y0, 0), std::min<int>(clip.x1, image->width),
                   std::min<int>(clip.y1, image->height));
}

bool Line(Guarded& g, float sx, float sy, float ex, float ey, const C_Frame* clip = nullptr) {
    const C_Vector2D a(sx, sy), b(ex, ey);
    return Gfx_Surface_Blit(&g.surface, &a, &b, &kWhite, clip, nullptr);
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
    Guarded g(20, 20);
    const C_Frame clip(2, 3, 10, 12), clip2(5, 0, 30, 30), huge(-100, -100, 100, 100);
    // x0, y0 are inside, x1, y1 outside; (4, 5) and (2, 3) are cut by clip2,
    // and a clip larger than the image still writes nothing outside it.
    for (const auto& [x, y] : {std::pair{5, 3}, {9, 11}, {10, 5}, {6, 12}, {4, 5}, {2, 3}}) {
        const C_Vector2Di p(x, y);
        EXPECT_TRUE(Gfx_Surface_Blit(&g.surface, &p, &kWhite, &clip, &clip2));
    }
    for (const auto& [x, y] : {std::pair{-1, 0}, {20, 0}, {0, -1}, {0, 20}, {19, 19}}) {
        const C_Vector2Di p(x, y);
        EXPECT_TRUE(Gfx_Surface_Blit(&g.surface, &p, &kWhite, &huge, nullptr));
    }
    EXPECT_EQ(g.Drawn(), Pixels({{5, 3}, {9, 11}, {19, 19}}));
    EXPECT_TRUE(g.GuardsIntact());
}

TEST(Primitives, LinesMatchTheStepByStepWalkUnderClipping) {
    // Every direction and slope: whole ends (so that horizontal, vertical
    // and diagonal lines and single points come up often) and fractional
    // ones, inside the image and far outside it.
    Lcg rng(7);
    for (int i = 0; i < 500; ++i) {
        float e[4];
        for (float& v : e) v = rng.Chance(60) ? float(rng.Range(-3, 18)) : rng.Uniform(-25.0f, 45.0f);
        for (const C_Frame& clip : {C_Frame(0, 0, 16, 16), C_Frame(3, 2, 11, 13), C_Frame(-5, -5, 40, 40)}) {
            Guarded g(16, 16);
            EXPECT_TRUE(Line(g, e[0], e[1], e[2], e[3], &clip));
            ASSERT_EQ(g.Drawn(), Clipped(ReferenceLine(e[0], e[1], e[2], e[3]), Inside(clip, g.Image())))
                << e[0] << "," << e[1] << " -> " << e[2] << "," << e[3] << " clip " << clip.x0;
            ASSERT_TRUE(g.GuardsIntact());
        }
    }
}

TEST(Primitives, FarOffOrNonFiniteCoordinatesAreSafe) {
    Guarded g(16, 8);
    EXPECT_TRUE(Line(g, -1e11f, 5.0f, 1e11f, 5.0f));
    EXPECT_TRUE(Line(g, 1, 1, 1e10f + 1, 1e10f + 1));  // a ray: cut near the image, same pixels
    Pixels want;
    for (int x = 0; x < 16; ++x) want.insert({x, 5});
    for (int i = 1; i < 8; ++i) want.insert({i, i});
    EXPECT_EQ(g.Drawn(), want);
    // Not finite, or too far for any precision: nothing, and still true.
    EXPECT_TRUE(Line(g, kNan, 1, 5, 1));
    EXPECT_TRUE(Line(g, 0, 2, kInf, 2));
    EXPECT_TRUE(Line(g, 3e38f, -3e38f, -3e38f, 3e38f));
    EXPECT_TRUE(Circle(g, 4, 4, 3e9f, 1));
    EXPECT_TRUE(Circle(g, kNan, 4, 3, 1));
    EXPECT_TRUE(Circle(g, 4, 4, kInf, 0));
    EXPECT_TRUE(Rect(g, -1e30f, -1e30f, 1e30f, 1e30f, 0));  // every edge outside: nothing
    EXPECT_FALSE(Rect(g, kNan, 0, 3, 3, 1));
    EXPECT_EQ(g.Drawn(), want);
    EXPECT_TRUE(Rect(g, -1e30f, 1, 1e30f, 2, 1));  // rows 1 and 2 across
    for (int x = 0; x < 16; ++x) want.insert({{x, 1}, {x, 2}});
    EXPECT_EQ(g.Drawn(), want);
    EXPECT_TRUE(g.GuardsIntact());
}

TEST(Primitives, RectanglesInEitherCornerOrderAndAcrossEveryClipEdge) {
    Guarded forward(8, 8), backward(8, 8);
    EXPECT_TRUE(Rect(forward, 2, 2, 4, 3, 1));
    EXPECT_TRUE(Rect(backward, 4.9f, 3.5f, 2.2f, 2.0f, 1));
    EXPECT_EQ(forward.Drawn(), Pixels({{2, 2}, {3, 2}, {4, 2}, {2, 3}, {3, 3}, {4, 3}}));
    EXPECT_EQ(backward.Drawn(), forward.Drawn());
    // A 5 x 5 rectangle shifted across a region 5..9 on both axes. Edges
    // whose own line is outside the region vanish; the others are clipped.
    const C_Frame clip(5, 5, 10, 10);
    for (int dx = -6; dx <= 6; dx += 3)
        for (int dy = -6; dy <= 6; dy += 3) {
            const int l = 5 + dx, t = 5 + dy, r = l + 4, b = t + 4;
            Guarded filled(16, 16), outline(16, 16);
            EXPECT_TRUE(Rect(filled, float(l), float(t), float(r), float(b), 1, &clip));
            EXPECT_TRUE(Rect(outline, float(l), float(t), float(r), float(b), 0, &clip));
            Pixels wantFilled, wantOutline;
            const auto in = [](int v) { return v >= 5 && v < 10; };
            for (int y = std::max(t, 5); y <= std::min(b, 9); ++y)
                for (int x = std::max(l, 5); x <= std::min(r, 9); ++x) {
                    wantFilled.insert({x, y});
                    if ((x == l && in(l)) || (x == r && in(r)) || (y == t && in(t)) || (y == b && in(b)))
                        wantOutline.insert({x, y});
                }
            EXPECT_EQ(filled.Drawn(), wantFilled) << dx << "," << dy;
            EXPECT_EQ(outline.Drawn(), wantOutline) << dx << "," << dy;
        }
}

TEST(Primitives, CirclesMatchTheIncrementalAlgorithmUnderClipping) {
    // Radii up to 160 centred in, across and outside the region, and one of
    // 50000 crossing the image (drawn without walking the whole circle).
    const C_Frame clips[] = {C_Frame(0, 0, 40, 30), C_Frame(7, 3, 33, 21), C_Frame(-10, -10, 100, 100)};
    std::vector<std::array<int, 3>> circles = {{50010, 12, 50000}};
    for (int r = 0; r <= 160; r += (r < 40 ? 1 : 7))
        for (const auto& [cx, cy] : {std::pair{20, 15}, {-3, 8}, {45, 33}, {20, -40}}) circles.push_back({cx, cy, r});
    for (const auto& [cx, cy, r] : circles)
        for (const C_Frame& clip : clips) {
            Guarded outline(40, 30), filled(40, 30);
            EXPECT_TRUE(Circle(outline, float(cx), float(cy), float(r), 0, &clip));
            EXPECT_TRUE(Circle(filled, float(cx), float(cy), float(r), 1, &clip));
            const auto points = ReferenceCircle(cx, cy, r);
            ASSERT_EQ(outline.Drawn(), Clipped(points, Inside(clip, outline.Image())))
                << r << " at " << cx << "," << cy;
            ASSERT_EQ(filled.Drawn(), FilledFrom(points, Inside(clip, filled.Image())))
                << r << " at " << cx << "," << cy;
            EXPECT_TRUE(filled.GuardsIntact());
        }
    // Radii round to the nearest whole pixel from the centre's pixel; a
    // negative one draws nothing; only mode 1 means filled.
    for (const std::uint8_t mode : {0, 1, 2}) {
        Guarded z(24, 24);
        EXPECT_TRUE(Circle(z, 4, 5, 0.5f, mode));
        EXPECT_TRUE(Circle(z, 4, 5, -2, mode));
        EXPECT_EQ(z.Drawn(), Pixels({{4, 5}}));
        EXPECT_TRUE(Circle(z, 10.6f, 10.2f, 3.9f, mode));
        EXPECT_EQ(z.Drawn().size(), mode == 1 ? 1u + 37 : 1u + 16) << int(mode);
    }
}

TEST(Primitives, EveryDepthByteOrderRunLengthAndAlignment) {
    const C_Color c(0x12 / 255.0f, 0x34 / 255.0f, 0x56 / 255.0f, 1.0f);
    const struct {
        std::int32_t format;
        std::uint32_t expected;  // the pixel as a little-endian value
    } cases[] = {
        {GFX_FMT_CH8, Gfx_GetFormattedColor_32bit(GFX_FMT_CH8, &c)},
        {GFX_FMT_RGB565, Gfx_GetFormattedColor_32bit(GFX_FMT_RGB565, &c)},
        {GFX_FMT_RGB888, 0x123456},  // bytes 56 34 12: blue, green, red
        {GFX_FMT_BGR888, 0x563412},  // red in the low byte
        {GFX_FMT_ARGB8888, Gfx_GetFormattedColor_32bit(GFX_FMT_ARGB8888, &c)},
    };
    // Word-wide stores must start and stop exactly: every start column and
    // length, also with an odd pitch (no row on a word boundary).
    for (const auto& k : cases)
        for (const std::uint32_t extraPitch : {0u, 1u})
            for (int x0 = 0; x0 < 5; ++x0)
                for (int n = 1; n <= 11; ++n) {
                    Guarded g(20, 3, k.format, extraPitch);
                    const C_Rect r(float(x0), 1, float(x0 + n - 1), 1);
                    EXPECT_TRUE(Gfx_Surface_Blit(&g.surface, &r, &c, nullptr, nullptr, 1));
                    Pixels want;
                    for (int x = x0; x < x0 + n; ++x) want.insert({x, 1});
                    ASSERT_EQ(g.Drawn(), want) << k.format << " " << extraPitch << " " << x0 << " " << n;
                    ASSERT_EQ(g.At(x0, 1), k.expected) << k.format;
                    ASSERT_TRUE(g.GuardsIntact());
                }
    // Bottom-up rows are stored last first.
    C_Image* image = NewArgb(4, 3, 0);
    image->bottomUp = 1;
    C_Surface s(0, image);
    const C_Vector2Di p(1, 0);
    EXPECT_TRUE(Gfx_Surface_Blit(&s, &p, &kWhite, nullptr, nullptr));
    EXPECT_NE(reinterpret_cast<const std::uint32_t*>(image->data)[2 * 4 + 1], 0u);
}

TEST(Primitives, FailuresAndDepthsThatDrawNothing) {
    const C_Vector2Di p(0, 0), far(1, 300);
    const C_Rect row(0, 0, 7, 1);
    C_Surface empty;
    EXPECT_FALSE(Gfx_Surface_Blit(&empty, &p, &kWhite, nullptr, nullptr));
    EXPECT_FALSE(Gfx_Surface_Blit(nullptr, &p, &kWhite, nullptr, nullptr));
    Guarded g(4, 4);
    EXPECT_FALSE(Gfx_Surface_Blit(&g.surface, static_cast<const C_Circle*>(nullptr), &kWhite, nullptr, nullptr, 1));
    Gfx_ClearError();
    EXPECT_FALSE(Gfx_Surface_Blit(&g.surface, &p, nullptr, nullptr, nullptr));
    EXPECT_EQ(Gfx_GetErrorDetailCode(), GFX_ERR_NULL_ARG);
    // 1-bit and 48-bit planes, and a plane whose buffer is shorter than its
    // rows promise: nothing drawn, and a failure that says why.
    for (const std::int32_t format : {GFX_FMT_INDEX1, GFX_FMT_RGB48, GFX_FMT_ARGB8888}) {
        C_Image* image = NewPlane(8, 4, format);
        C_Surface s(0, image);
        const std::vector<std::uint8_t> before = BytesOf(image);
        const bool cut = format == GFX_FMT_ARGB8888;
        image->height = cut ? 400 : 4;
        EXPECT_FALSE(cut ? Gfx_Surface_Blit(&s, &far, &kWhite, nullptr, nullptr)
                         : Gfx_Surface_Blit(&s, &row, &kWhite, nullptr, nullptr, 1));
        EXPECT_EQ(Gfx_GetErrorDetailCode(), cut ? GFX_ERR_BAD_DATA : GFX_ERR_FORMAT);
        if (!cut) {
            EXPECT_NE(std::string(Gfx_GetErrorReason()).find("8, 16, 24 or 32 bits"), std::string::npos);
        }
        image->height = 4;
        EXPECT_EQ(BytesOf(image), before);
    }
}

TEST(Primitives, FillSpansAndScanCircleStayInsideTheTables) {
    Guarded g(10, 6);
    Gfx_ScanlineTables& t = Gfx_GetScanlineTables();
    ASSERT_TRUE(t.Reset(0, 4));
    EXPECT_GT(t.Min()[3], t.Max()[3]);  // reset rows are empty
    EXPECT_FALSE(t.Reset(5, 4));
    ASSERT_TRUE(t.Reset(0, 4));
    t.Min()[1] = -5, t.Max()[1] = 2;
    t.Min()[2] = 8, t.Max()[2] = 40;
    t.firstRow = 1;
    t.lastRow = 50;  // beyond the tables and the image: ignored
    EXPECT_TRUE(Gfx_Surface_FillSpans(&g.surface, &kWhite, nullptr, nullptr));
    EXPECT_EQ(g.Drawn(), Pixels({{0, 1}, {1, 1}, {2, 1}, {8, 2}, {9, 2}}));
    EXPECT_TRUE(g.GuardsIntact());
    // The tables must hold the region's rows before a circle is scanned.
    const C_Circle circle(C_Vector2D(5, 5), 2);
    const C_Frame region(0, 0, 10, 10);
    EXPECT_FALSE(Gfx_ScanCircle(&circle, &region));
    ASSERT_TRUE(t.Reset(0, 10));
    EXPECT_FALSE(Gfx_ScanCircle(nullptr, &region));
    const C_Circle none(C_Vector2D(5, 5), -2);  // no circle at all: nothing to record, and no failure
    EXPECT_TRUE(Gfx_ScanCircle(&none, &region));
    EXPECT_GT(t.Min()[5], t.Max()[5]);
    EXPECT_TRUE(Gfx_ScanCircle(&circle, &region));
    EXPECT_EQ(std::vector<int>({t.firstRow, t.lastRow, t.Min()[5], t.Max()[5], t.Min()[3], t.Max()[3]}),
              std::vector<int>({3, 7, 3, 7, 4, 6}));
}

}  // namespace
