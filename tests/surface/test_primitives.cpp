// Points, lines, rectangles and circles in guarded planes: random shapes of
// each kind through clips against a golden hash per kind; the scan tables.
#include <cmath>
#include <limits>
#include <set>
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
        rowBytes_ = w * (d.bitsPerPixel / 8);
        pitch_ = rowBytes_ + 16 + extraPitch;
        buffer_.assign(std::size_t{pitch_} * (h + 2), kGuard);
        auto* image = new C_Image();
        image->CreateLocked(w, h, pitch_, format, GFX_FMT_NONE, &buffer_[pitch_ + 8]);
        for (std::uint32_t y = 0; y < h; ++y) std::memset(image->Row(y), 0, rowBytes_);
        surface.AddPlane(image, GFX_PLANE_COLOR);
    }
    C_Image* Image() { return surface.GetPlane(GFX_PLANE_COLOR); }
    Pixels Drawn() {  // of a 32-bit plane
        Pixels out;
        for (std::uint32_t y = 0; y < Image()->height; ++y)
            for (std::uint32_t x = 0; x < Image()->width; ++x)
                if (Px(Image(), x, y) != 0) out.insert({int(x), int(y)});
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
    std::uint32_t rowBytes_ = 0, pitch_ = 0;
    std::vector<std::uint8_t> buffer_;
};

// A coordinate: mostly whole (so that straight, diagonal and degenerate
// shapes come up often) or fractional, in the image or well off it; now and
// then too far for any precision. A shape's first one may be no number.
float Coordinate(Lcg& rng, int hi) {
    static const float kFar[] = {1e11f, -1e11f, 1e10f, -1e10f, 3e38f, -3e38f, kInf, -kInf};
    if (rng.Chance(4)) return rng.Pick(kFar);
    return rng.Chance(60) ? float(rng.Range(-4, hi + 4)) : rng.Uniform(-25.0f, hi + 25.0f);
}

// One random shape of a kind, through `clip` and now and then a second clip;
// returns the call's result.
bool RandomShape(int kind, Guarded& g, Lcg& rng, const C_Frame* clip, const C_Color& colour) {
    const C_Frame clip2(rng.Range(-5, 20), rng.Range(-5, 15), rng.Range(10, 50), rng.Range(8, 40));
    const C_Frame* second = rng.Chance(30) ? &clip2 : nullptr;
    const float x0 = rng.Chance(2) ? kNan : Coordinate(rng, 40), y0 = Coordinate(rng, 30), x1 = Coordinate(rng, 40),
                y1 = Coordinate(rng, 30);
    const auto mode = static_cast<std::uint8_t>(rng.Range(0, 2));  // only 1 means filled
    switch (kind) {
    case 0: {
        bool ok = true;
        for (int i = 0; i < 20; ++i) {
            const C_Vector2Di p(rng.Range(-2, 41), rng.Range(-2, 31));
            ok = Gfx_Surface_Blit(&g.surface, &p, &colour, clip, second) && ok;
        }
        return ok;
    }
    case 1: {
        const C_Vector2D a(x0, y0), b(x1, y1);
        return Gfx_Surface_Blit(&g.surface, &a, &b, &colour, clip, second);
    }
    case 2: {
        const C_Rect rect(x0, y0, x1, y1);
        return Gfx_Surface_Blit(&g.surface, &rect, &colour, clip, second, mode);
    }
    default: {
        // Radii up to 160, and now and then one of 50000 crossing the image
        // (drawn without walking the whole circle).
        const bool vast = rng.Chance(2);
        const float r = vast ? 50000.0f : rng.Chance(50) ? float(rng.Range(-1, 40)) : rng.Uniform(0, 160);
        const C_Circle circle(C_Vector2D(vast ? 50010.0f : x0, y0), rng.Chance(5) ? x1 : r);
        return Gfx_Surface_Blit(&g.surface, &circle, &colour, clip, second, mode);
    }
    }
}

// Every depth and byte order, rows off word boundaries now and then (so that
// word-wide stores must start and stop exactly), and bottom-up rows.
TEST(Primitives, RandomShapesUnderClippingDrawTheGoldenPixels) {
    const std::int32_t formats[] = {GFX_FMT_CH8,    GFX_FMT_RGB565,   GFX_FMT_RGB888,
                                    GFX_FMT_BGR888, GFX_FMT_ARGB8888, GFX_FMT_ARGB8888};
    const C_Frame clips[] = {C_Frame(3, 2, 31, 23), C_Frame(-5, -5, 60, 60), C_Frame(10, 8, 12, 40)};
    const C_Color colour(0x12 / 255.0f, 0x34 / 255.0f, 0x56 / 255.0f, 1.0f);
    const struct {
        const char* kind;
        std::uint64_t golden;
    } kinds[] = {{"points", 0xE152E92A52F9E43C},
                 {"lines", 0x75D7966426A1CFBD},
                 {"rectangles", 0x768F6DA7D2108B5D},
                 {"circles", 0x04D09ADBD6070EEE}};
    for (int kind = 0; kind < 4; ++kind) {
        Lcg rng(7 + kind);
        std::uint64_t hash = kFnvStart;
        for (int i = 0; i < 800; ++i) {
            Guarded g(40, 30, rng.Pick(formats), rng.Chance(30) ? 1 : 0);
            g.Image()->bottomUp = static_cast<std::uint8_t>(rng.Chance(20));
            const C_Frame* clip = rng.Chance(25) ? nullptr : &clips[rng.Below(3)];
            const bool ok = RandomShape(kind, g, rng, clip, colour);
            ASSERT_TRUE(g.GuardsIntact()) << kinds[kind].kind << " " << i;
            hash = Fnv1a(hash, &ok, 1);
            for (std::uint32_t y = 0; y < 30; ++y) hash = Fnv1a(hash, g.Image()->Row(y), g.Image()->rowBytes);
        }
        EXPECT_EQ(hash, kinds[kind].golden) << kinds[kind].kind;
    }
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
    // A line with no number at any of its ends draws nothing, and that is no failure.
    for (int at = 0; at < 4; ++at) {
        float c[4] = {2.0f, 2.0f, 3.0f, 3.0f};
        c[at] = kNan;
        const C_Vector2D a(c[0], c[1]), b(c[2], c[3]);
        EXPECT_TRUE(Gfx_Surface_Blit(&g.surface, &a, &b, &kWhite, nullptr, nullptr)) << at;
    }
    EXPECT_TRUE(g.Drawn().empty());
    // 1-bit and 48-bit planes, and a plane whose buffer is shorter than its
    // rows promise: nothing drawn, and a failure of the right kind.
    for (const std::int32_t format : {GFX_FMT_INDEX1, GFX_FMT_RGB48, GFX_FMT_ARGB8888}) {
        C_Image* image = NewPlane(8, 4, format);
        C_Surface s(0, image);
        const std::vector<std::uint8_t> before = BytesOf(image);
        const bool cut = format == GFX_FMT_ARGB8888;
        image->height = cut ? 400 : 4;
        EXPECT_FALSE(cut ? Gfx_Surface_Blit(&s, &far, &kWhite, nullptr, nullptr)
                         : Gfx_Surface_Blit(&s, &row, &kWhite, nullptr, nullptr, 1));
        EXPECT_EQ(Gfx_GetErrorDetailCode(), cut ? GFX_ERR_BAD_DATA : GFX_ERR_FORMAT);
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
    // A rotated blit records spans for the rows of its region only (g has 6).
    ASSERT_TRUE(t.Reset(0, 40));
    C_Surface src(0, NewPattern(30, 30));
    C_DrawParams turned;
    turned.angle = 30.0f;
    EXPECT_TRUE(Gfx_Surface_BlitTransformed(&src, &g.surface, nullptr, nullptr, nullptr, &circle.centre, 0, &turned));
    EXPECT_GT(t.Min()[6], t.Max()[6]);
}

}  // namespace
