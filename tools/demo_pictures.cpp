// The painting demo's pictures: nine brush shapes given by signed distance
// functions, and a layered landscape built from periodic value noise.
#include "tools/demo_pictures.h"

#include <cmath>
#include <cstddef>
#include <vector>

#include "image/convert.h"
#include "image/format.h"
#include "image/image.h"
#include "math/color.h"
#include "math/noise.h"
#include "math/scalar.h"

namespace {

// Colours in 0..255 units, kept as doubles until they are stored.
struct Rgb {
    double r;
    double g;
    double b;
};

constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kWhite{255, 255, 255};

double Clamp01(double v) { return v < 0.0 ? 0.0 : v > 1.0 ? 1.0 : v; }

// 0 below e0, 1 above e1, the smooth-step curve between (either order).
double Ramp(double e0, double e1, double x) { return Math_SmoothStep(Clamp01((x - e0) / (e1 - e0))); }

Rgb Mix(const Rgb& a, const Rgb& b, double t) {
    return {Math_Lerp(a.r, b.r, t), Math_Lerp(a.g, b.g, t), Math_Lerp(a.b, b.b, t)};
}

Rgb Scale(const Rgb& c, double s) { return {c.r * s, c.g * s, c.b * s}; }

double Len(double x, double y) { return std::sqrt(x * x + y * y); }

std::uint8_t ToByte(double v) {
    const double c = v < 0.0 ? 0.0 : v > 255.0 ? 255.0 : v;
    return static_cast<std::uint8_t>(c + 0.5);
}

// Stores a colour in an ARGB8888 row (memory bytes B, G, R, A).
void Put(std::uint8_t* row, std::uint32_t x, const Rgb& c) {
    std::uint8_t* p = row + std::size_t{x} * 4;
    p[0] = ToByte(c.b);
    p[1] = ToByte(c.g);
    p[2] = ToByte(c.r);
    p[3] = 0;
}

// ---------------------------------------------------------------------------
// Brush tiles. A tile shader sees tile coordinates u, v in -1..1 (v grows
// downwards; one pixel is 2 / TOOL_BRUSH_TILE) and returns the colour and the
// coverage there. The colour is asked for everywhere, so that it carries on
// a little past the shape's edge and interpolated sampling never pulls the
// black surround into a soft edge.

struct TileSample {
    Rgb color;
    double alpha;  // 0..1
};

constexpr double kPixel = 2.0 / TOOL_BRUSH_TILE;

// Coverage from a signed distance in tile units: an edge softened over about
// two pixels.
double EdgeAlpha(double distance) { return Ramp(kPixel, -kPixel, distance); }

// Unit directions every 36 degrees, starting straight up: the corners of
// stars and the places of petals. Written out so that no trigonometry runs.
constexpr double kDir36[10][2] = {
    {0.0, -1.0},
    {0.5877852523, -0.8090169944},
    {0.9510565163, -0.3090169944},
    {0.9510565163, 0.3090169944},
    {0.5877852523, 0.8090169944},
    {0.0, 1.0},
    {-0.5877852523, 0.8090169944},
    {-0.9510565163, 0.3090169944},
    {-0.9510565163, -0.3090169944},
    {-0.5877852523, -0.8090169944},
};

// Signed distance to a closed polygon (negative inside): the distance to the
// nearest edge, its sign flipped at every edge a rightward ray crosses.
double PolygonDistance(const double (*pts)[2], std::size_t count, double x, double y) {
    double best = 1e30;
    double sign = 1.0;
    for (std::size_t i = 0, j = count - 1; i < count; j = i++) {
        const double ex = pts[j][0] - pts[i][0];
        const double ey = pts[j][1] - pts[i][1];
        const double wx = x - pts[i][0];
        const double wy = y - pts[i][1];
        const double t = Clamp01((wx * ex + wy * ey) / (ex * ex + ey * ey));
        const double dx = wx - ex * t;
        const double dy = wy - ey * t;
        best = Math_Min(best, dx * dx + dy * dy);
        const bool a = y >= pts[i][1];
        const bool b = y < pts[j][1];
        const bool c = ex * wy > ey * wx;
        if ((a && b && c) || (!a && !b && !c)) sign = -sign;
    }
    return sign * std::sqrt(best);
}

// Distance to the segment a-b minus a radius: a rounded stroke.
double CapsuleDistance(double x, double y, double ax, double ay, double bx, double by, double radius) {
    const double px = x - ax;
    const double py = y - ay;
    const double ex = bx - ax;
    const double ey = by - ay;
    const double t = Clamp01((px * ex + py * ey) / (ex * ex + ey * ey));
    return Len(px - ex * t, py - ey * t) - radius;
}

// A rhombus with half-diagonals bx, by centred on the origin.
double RhombusDistance(double x, double y, double bx, double by) {
    x = std::fabs(x);
    y = std::fabs(y);
    const double h = Math_Clamp(((bx - 2.0 * x) * bx - (by - 2.0 * y) * by) / (bx * bx + by * by), -1.0, 1.0);
    const double d = Len(x - 0.5 * bx * (1.0 - h), y - 0.5 * by * (1.0 + h));
    return x * by + y * bx - bx * by < 0.0 ? -d : d;
}

// A glowing orb: warm white at the centre fading to orange, soft all over.
TileSample GlowTile(double u, double v) {
    const double r = Len(u, v) / 0.9;
    const double fall = Clamp01(1.0 - r * r);
    const Rgb inner = Mix(kWhite, Rgb{255, 228, 110}, Ramp(0.0, 0.45, r));
    return {Mix(inner, Rgb{255, 130, 40}, Ramp(0.4, 1.0, r)), fall * fall};
}

// A five-pointed golden star with a darker rim and a pale heart.
TileSample StarTile(double u, double v) {
    double pts[10][2];
    for (int k = 0; k < 10; ++k) {
        const double radius = k % 2 == 0 ? 0.94 : 0.39;
        pts[k][0] = kDir36[k][0] * radius;
        pts[k][1] = kDir36[k][1] * radius + 0.06;
    }
    const double d = PolygonDistance(pts, 10, u, v);
    const double depth = -d / kPixel;  // pixels inside the edge
    Rgb c = Mix(Rgb{230, 120, 20}, Rgb{255, 205, 45}, Ramp(0.0, 3.5, depth));
    c = Mix(c, Rgb{255, 246, 190}, Ramp(4.0, 10.0, depth));
    return {c, EdgeAlpha(d)};
}

// A green leaf turned 45 degrees, with a stem, a pale midrib and side veins.
TileSample LeafTile(double u, double v) {
    constexpr double kHalf = 0.7071067812;
    const double x = (u + v) * kHalf;  // across the leaf
    const double y = (v - u) * kHalf;  // along it, stem end at +y
    // Two circles of radius r whose centres sit d apart from the axis.
    constexpr double r = 1.207;
    constexpr double d = 0.857;
    const double b = std::sqrt(r * r - d * d);
    const double ax = std::fabs(x);
    const double ay = std::fabs(y);
    const double blade = (ay - b) * d > ax * b ? Len(ax, ay - b) : Len(ax + d, ay) - r;
    const double stem = CapsuleDistance(x, y, 0.0, 0.75, 0.0, 0.97, 0.035);
    const double shape = Math_Min(blade, stem);

    Rgb c = Mix(Rgb{140, 215, 80}, Rgb{60, 150, 55}, Ramp(0.0, 0.3, ax));
    const double chevron = y + ax * 0.9;
    const double vein = std::fabs(chevron * 5.0 - std::floor(chevron * 5.0 + 0.5));
    c = Mix(c, Rgb{185, 235, 130}, 0.55 * Ramp(0.09, 0.02, vein) * Ramp(0.3, 0.05, ax));
    c = Mix(c, Rgb{215, 245, 165}, Ramp(0.035, 0.012, ax) * Ramp(0.9, 0.6, y));
    return {c, EdgeAlpha(shape)};
}

// A glossy ring, cyan to violet, lit from the top left.
TileSample RingTile(double u, double v) {
    const double len = Len(u, v);
    const double across = (len - 0.6) / 0.21;  // -1..1 over the tube
    const double d = std::fabs(len - 0.6) - 0.21;
    const double tube = Clamp01(1.0 - across * across);
    const Rgb base = Mix(Rgb{40, 225, 235}, Rgb{175, 90, 245}, Clamp01((u - v + 1.4) / 2.8));
    const double facing = len > 0.0 ? Clamp01(-(u + v) / (len * 1.4142135624)) : 0.0;
    const double shine = tube * tube * tube * tube * facing;
    return {Mix(Scale(base, 0.65 + 0.35 * tube), kWhite, 0.6 * shine), EdgeAlpha(d)};
}

// A five-petalled pink flower with a golden centre.
TileSample FlowerTile(double u, double v) {
    double petals = 1e30;
    for (int k = 0; k < 10; k += 2)
        petals = Math_Min(petals, Len(u - kDir36[k][0] * 0.5, v - kDir36[k][1] * 0.5) - 0.38);
    const double centre = Len(u, v) - 0.22;
    const double r = Len(u, v);
    Rgb c = Mix(Rgb{255, 225, 240}, Rgb{245, 100, 165}, Ramp(0.2, 0.75, r));
    c = Mix(Rgb{205, 55, 125}, c, Ramp(0.0, 2.5, -petals / kPixel));
    if (centre < kPixel) {
        const double dots =
            Math_Noise2(static_cast<std::int32_t>((u + 1.0) * 20.0), static_cast<std::int32_t>((v + 1.0) * 20.0), 64);
        Rgb gold = Mix(Rgb{255, 225, 70}, Rgb{225, 150, 30}, Ramp(0.0, 0.22, r) * 0.8 + 0.2 * dots);
        c = Mix(gold, c, Ramp(-kPixel, kPixel, centre));
    }
    return {c, EdgeAlpha(Math_Min(petals, centre))};
}

// A red heart with a soft highlight on its left lobe.
TileSample HeartTile(double u, double v) {
    constexpr double kScale = 0.68;
    double x = std::fabs(u * kScale);
    const double y = -v * kScale + 0.55;
    double d;
    if (y + x > 1.0) {
        d = Len(x - 0.25, y - 0.75) - 0.3535533906;
    } else {
        const double m = 0.5 * Math_Max(x + y, 0.0);
        const double a = (x - 0.0) * (x - 0.0) + (y - 1.0) * (y - 1.0);
        const double b = (x - m) * (x - m) + (y - m) * (y - m);
        d = std::sqrt(Math_Min(a, b)) * (x - y < 0.0 ? -1.0 : 1.0);
    }
    d /= kScale;
    x = u * kScale;
    Rgb c = Mix(Rgb{170, 20, 55}, Rgb{238, 48, 88}, Ramp(0.0, 4.0, -d / kPixel));
    const double glint = Ramp(0.2, 0.02, Len(x + 0.26, y - 0.82));
    return {Mix(c, Rgb{255, 205, 215}, 0.85 * glint), EdgeAlpha(d)};
}

// A glassy blue ball: diffuse light from the top left and a sharp glint.
TileSample BallTile(double u, double v) {
    constexpr double kRadius = 0.82;
    const double nx = u / kRadius;
    const double ny = v / kRadius;
    const double nz = std::sqrt(Clamp01(1.0 - nx * nx - ny * ny));
    // Light direction (-0.5, -0.6, 0.62), normalised.
    constexpr double lx = -0.4868645;
    constexpr double ly = -0.5842374;
    constexpr double lz = 0.6037120;
    const double diffuse = Clamp01(nx * lx + ny * ly + nz * lz);
    // Reflection of the light towards a viewer straight ahead.
    const double reflect = Clamp01(2.0 * (nx * lx + ny * ly + nz * lz) * nz - lz);
    double shine = reflect;
    for (int i = 0; i < 5; ++i) shine *= shine;  // reflect^32
    const Rgb base = Mix(Rgb{25, 80, 170}, Rgb{70, 175, 245}, diffuse);
    return {Mix(base, kWhite, shine), 0.94 * EdgeAlpha(Len(u, v) - kRadius)};
}

// A four-pointed sparkle with four shorter diagonal rays and a cyan halo.
TileSample SparkleTile(double u, double v) {
    constexpr double kHalf = 0.7071067812;
    const double rays = Math_Min(RhombusDistance(u, v, 0.9, 0.15), RhombusDistance(u, v, 0.15, 0.9));
    const double diagonal = RhombusDistance((u + v) * kHalf, (v - u) * kHalf, 0.5, 0.1);
    const double star = Math_Min(rays, Math_Min(diagonal, RhombusDistance((u - v) * kHalf, (u + v) * kHalf, 0.5, 0.1)));
    const double r = Len(u, v);
    const double halo = 0.6 * Ramp(0.75, 0.0, r);
    const double core = EdgeAlpha(star);
    const Rgb glow{110, 215, 255};
    const Rgb ray = Mix(kWhite, Rgb{185, 240, 255}, Ramp(0.1, 0.9, r));
    return {Mix(glow, ray, core), Math_Max(core, halo * halo + 0.25 * halo)};
}

// A pale crescent moon with a few shallow craters.
TileSample MoonTile(double u, double v) {
    const double outer = Len(u, v) - 0.8;
    const double bite = Len(u - 0.4, v + 0.24) - 0.66;
    const double d = Math_Max(outer, -bite);
    Rgb c = Mix(Rgb{215, 175, 80}, Rgb{252, 238, 160}, Ramp(0.0, 5.0, -d / kPixel));
    constexpr double kCraters[3][3] = {{-0.45, -0.2, 0.1}, {-0.3, 0.35, 0.08}, {-0.62, 0.2, 0.06}};
    for (const auto& crater : kCraters) {
        const double inside = Ramp(kPixel, -kPixel, Len(u - crater[0], v - crater[1]) - crater[2]);
        c = Mix(c, Rgb{225, 200, 120}, 0.7 * inside);
    }
    return {c, EdgeAlpha(d)};
}

using TileShader = TileSample (*)(double u, double v);

// Row-major, as the demo picks column i and row j.
constexpr TileShader kTiles[9] = {
    GlowTile, StarTile, LeafTile, RingTile, FlowerTile, HeartTile, BallTile, SparkleTile, MoonTile,
};

// Pixels further than this from any covered pixel become black.
constexpr std::int32_t kBleed = 2;

void DrawTile(TileShader shader, C_Image& color, C_Image& alpha, std::uint32_t left, std::uint32_t top) {
    const std::uint32_t n = TOOL_BRUSH_TILE;
    std::vector<Rgb> colors(std::size_t{n} * n);
    std::vector<std::uint8_t> cover(std::size_t{n} * n);
    for (std::uint32_t y = 0; y < n; ++y) {
        for (std::uint32_t x = 0; x < n; ++x) {
            const TileSample s = shader((x + 0.5) * kPixel - 1.0, (y + 0.5) * kPixel - 1.0);
            colors[std::size_t{y} * n + x] = s.color;
            cover[std::size_t{y} * n + x] = ToByte(s.alpha * 255.0);
        }
    }
    const auto covered = [&](std::int32_t x, std::int32_t y) {
        for (std::int32_t dy = -kBleed; dy <= kBleed; ++dy)
            for (std::int32_t dx = -kBleed; dx <= kBleed; ++dx) {
                const std::int32_t sx = x + dx;
                const std::int32_t sy = y + dy;
                if (sx >= 0 && sy >= 0 && sx < static_cast<std::int32_t>(n) && sy < static_cast<std::int32_t>(n) &&
                    cover[static_cast<std::size_t>(sy) * n + static_cast<std::size_t>(sx)] != 0)
                    return true;
            }
        return false;
    };
    for (std::uint32_t y = 0; y < n; ++y) {
        std::uint8_t* crow = color.Row(top + y);
        std::uint8_t* arow = alpha.Row(top + y);
        for (std::uint32_t x = 0; x < n; ++x) {
            const bool keep = covered(static_cast<std::int32_t>(x), static_cast<std::int32_t>(y));
            Put(crow, left + x, keep ? colors[std::size_t{y} * n + x] : kBlack);
            arow[left + x] = cover[std::size_t{y} * n + x];
        }
    }
}

// ---------------------------------------------------------------------------
// Background. Every horizontal feature is periodic in the picture's width:
// the 1D noise repeats after `period` lattice steps and the 2D lattice wraps
// its x index, so the right edge runs on into the left.

constexpr std::int32_t kW = static_cast<std::int32_t>(TOOL_BACKGROUND_WIDTH);
constexpr std::int32_t kH = static_cast<std::int32_t>(TOOL_BACKGROUND_HEIGHT);

// Fractal 1D noise in 0..1 over x in pixels: octaves 128, 64, 32 and 16
// pixels apart, each repeating after the picture's width.
double Ridge(double x, std::int32_t seed) {
    constexpr double kWeights[4] = {0.52, 0.26, 0.14, 0.08};
    double sum = 0.0;
    double spacing = 128.0;
    for (int o = 0; o < 4; ++o) {
        const std::int32_t period = kW / static_cast<std::int32_t>(spacing);
        sum += kWeights[o] * Math_ValueNoiseQuadratic(static_cast<float>(x / spacing), seed + o * 101, period);
        spacing /= 2.0;
    }
    return sum;
}

// Value noise on a lattice whose x index wraps after `period` steps.
double Noise2(double x, double y, std::int32_t period, std::int32_t seed) {
    const double fx0 = std::floor(x);
    const double fy0 = std::floor(y);
    const std::int32_t ix = static_cast<std::int32_t>(fx0);
    const std::int32_t iy = static_cast<std::int32_t>(fy0);
    const double sx = Math_SmoothStep(x - fx0);
    const double sy = Math_SmoothStep(y - fy0);
    const auto at = [&](std::int32_t i, std::int32_t j) {
        return Math_Noise2(Math_Wrap(i, period), j + seed * 4096, period);
    };
    const double top = Math_Lerp(at(ix, iy), at(ix + 1, iy), sx);
    const double bottom = Math_Lerp(at(ix, iy + 1), at(ix + 1, iy + 1), sx);
    return Math_Lerp(top, bottom, sy);
}

double CloudDensity(double x, double y) {
    double sum = 0.0;
    double weight = 0.5;
    double spacing = 128.0;
    for (int o = 0; o < 4; ++o) {
        sum += weight * Noise2(x / spacing, y / (spacing * 0.45), kW / static_cast<std::int32_t>(spacing), 11 + o);
        weight *= 0.5;
        spacing /= 2.0;
    }
    return sum / 0.9375;
}

// Signed horizontal distance from a to b, wrapped into -W/2..W/2.
double WrapDx(double a, double b) {
    double d = a - b;
    while (d > kW / 2.0) d -= kW;
    while (d < -kW / 2.0) d += kW;
    return d;
}

// Coverage of a pixel row by ground whose top edge is at `edge`.
double Below(double y, double edge) { return Clamp01(y + 1.0 - edge); }

struct Tree {
    double x;
    double base;
    double radius;
};

struct Landscape {
    std::vector<double> far;  // ridge heights per column
    std::vector<double> mid;
    std::vector<double> near;
    std::vector<double> farLight;  // 0 in shadow .. 1 facing the light
    std::vector<double> midLight;
    std::vector<Tree> trees;
};

Landscape Plan() {
    Landscape land;
    for (std::int32_t x = 0; x < kW; ++x) {
        land.far.push_back(330.0 - 150.0 * Ridge(x, 3));
        land.mid.push_back(405.0 - 70.0 * Ridge(x, 41));
        land.near.push_back(478.0 - 34.0 * Ridge(x, 77));
    }
    // Slopes rising to the right face the light, which comes from the left.
    // The rise is taken over 24 pixels so that only broad faces show.
    const auto lightOf = [](const std::vector<double>& ridge, std::int32_t x, double gain) {
        const double rise = ridge[static_cast<std::size_t>(Math_Wrap(x - 12, kW))] -
                            ridge[static_cast<std::size_t>(Math_Wrap(x + 12, kW))];
        return Clamp01(0.5 + rise * gain);
    };
    for (std::int32_t x = 0; x < kW; ++x) {
        land.farLight.push_back(lightOf(land.far, x, 0.03));
        land.midLight.push_back(lightOf(land.mid, x, 0.04));
    }
    // At most one tree in each 48-pixel cell, on the middle hills.
    for (std::int32_t cell = 0; cell < kW / 48; ++cell) {
        if (Math_Noise(cell + 5000) > 0.6) continue;
        const double x = cell * 48 + 6 + 36 * Math_Noise(cell + 6000);
        const double radius = 8.0 + 7.0 * Math_Noise(cell + 7000);
        land.trees.push_back({x, land.mid[static_cast<std::size_t>(x)] + 5.0 + radius * 0.4, radius});
    }
    return land;
}

Rgb Sky(double x, double y) {
    Rgb c = Mix(Rgb{150, 196, 240}, Rgb{252, 232, 205}, Ramp(0.0, 380.0, y));
    // A low sun and its halo.
    const double dx = WrapDx(x, 770.0);
    const double dy = y - 205.0;
    const double dist2 = dx * dx + dy * dy;
    c = Mix(c, Rgb{255, 244, 210}, 0.55 * 2500.0 / (dist2 + 2500.0));
    c = Mix(c, Rgb{255, 252, 235}, Ramp(41.0, 38.0, std::sqrt(dist2)));
    // Clouds in a band across the upper sky.
    if (y < 290.0) {
        const double band = Ramp(25.0, 90.0, y) * Ramp(290.0, 190.0, y);
        const double density = CloudDensity(x, y);
        const double cover = Ramp(0.52, 0.7, density) * band;
        const Rgb cloud = Mix(Rgb{255, 255, 255}, Rgb{214, 220, 236}, Ramp(0.75, 0.55, density));
        c = Mix(c, cloud, 0.9 * cover);
    }
    return c;
}

Rgb Ground(const Landscape& land, std::int32_t x, double y, Rgb c) {
    const std::size_t col = static_cast<std::size_t>(x);
    // Far mountains, hazy blue, lit from the left, snow on the high parts.
    const double far = land.far[col];
    // The slope's light fades with depth below the ridge, and faint noise
    // breaks the flanks into folds.
    const double folds = Noise2(x / 32.0, y / 14.0, kW / 32, 29) - 0.5;
    const double light = Clamp01(Math_Lerp(0.45, land.farLight[col], Ramp(far + 80.0, far + 4.0, y)) + 0.35 * folds);
    Rgb rock = Mix(Rgb{92, 108, 156}, Rgb{156, 170, 208}, light);
    rock = Mix(rock, Rgb{244, 247, 252}, Ramp(262.0, 240.0, y) * (0.55 + 0.45 * light));
    rock = Mix(rock, Rgb{186, 196, 220}, Ramp(250.0, 400.0, y));
    c = Mix(c, rock, Below(y, far));
    // Middle hills, a little lighter where they face the light.
    const double mid = land.mid[col];
    const double hillLight = Math_Lerp(0.4, land.midLight[col], Ramp(mid + 50.0, mid + 2.0, y));
    const Rgb hill = Mix(Rgb{84, 140, 92}, Rgb{118, 170, 108}, hillLight);
    c = Mix(c, Mix(hill, Rgb{58, 112, 78}, Ramp(360.0, 480.0, y)), Below(y, mid));
    // Trees on the middle hills, each a round crown on a short trunk.
    for (const Tree& t : land.trees) {
        const double dx = WrapDx(x + 0.5, t.x);
        if (std::fabs(dx) > t.radius + 2.0) continue;
        const double trunk = Ramp(0.5, -0.5, CapsuleDistance(dx, y + 0.5, 0.0, t.base - t.radius, 0.0, t.base, 1.4));
        c = Mix(c, Rgb{92, 64, 42}, trunk);
        const double cy = t.base - t.radius * 1.55;
        const double crown = Ramp(0.6, -0.6, Len(dx, y + 0.5 - cy) - t.radius);
        const double lit = Clamp01(0.5 - 0.5 * (dx + (y + 0.5 - cy)) / (t.radius * 1.4));
        c = Mix(c, Mix(Rgb{34, 82, 50}, Rgb{76, 138, 72}, lit), crown);
    }
    // The near meadow, with grass texture and scattered flowers.
    const double near = land.near[col];
    const double grain = Noise2(x / 2.0, y / 1.5, kW / 2, 5) - 0.5;
    Rgb grass = Mix(Rgb{112, 178, 72}, Rgb{46, 104, 44}, Ramp(near, 600.0, y));
    grass = Scale(grass, 1.0 + 0.16 * grain);
    c = Mix(c, grass, Below(y, near));
    return c;
}

// Small flowers on the meadow: at most one per 16 x 12 cell.
Rgb Flowers(const Landscape& land, std::int32_t x, std::int32_t y, Rgb c) {
    constexpr std::int32_t kCellW = 16;
    constexpr std::int32_t kCellH = 12;
    constexpr std::int32_t kColumns = kW / kCellW;
    const Rgb kPetals[3] = {{255, 255, 250}, {255, 222, 80}, {250, 150, 200}};
    const std::int32_t cx = x / kCellW;
    const std::int32_t cy = y / kCellH;
    for (std::int32_t j = cy - 1; j <= cy + 1; ++j) {
        for (std::int32_t i = cx - 1; i <= cx + 1; ++i) {
            const std::int32_t cell = Math_Wrap(i, kColumns);
            const std::int32_t id = j * kColumns + cell;
            if (Math_Noise(id + 9000) > 0.35) continue;
            const double fx = cell * kCellW + 2 + 12 * Math_Noise(id + 9100);
            const double fy = j * kCellH + 2 + 8 * Math_Noise(id + 9200);
            if (fy < land.near[static_cast<std::size_t>(fx)] + 6.0) continue;
            const double d = Len(WrapDx(x + 0.5, fx), y + 0.5 - fy) - 1.7;
            const Rgb petal = kPetals[static_cast<int>(Math_Noise(id + 9300) * 3.0) % 3];
            c = Mix(c, petal, 0.9 * Ramp(0.6, -0.6, d));
        }
    }
    return c;
}

}  // namespace

bool Tool_DrawBrushSheet(C_Image& color, C_Image& alpha) {
    const std::uint32_t side = TOOL_BRUSH_TILE * 3;
    if (!color.CreateEmpty(side, side, GFX_FMT_ARGB8888, GFX_FMT_NONE, C_Color(0, 0, 0, 0)) ||
        !alpha.CreateEmpty(side, side, GFX_FMT_CH8, GFX_FMT_NONE, C_Color(0, 0, 0, 0)))
        return false;
    for (std::uint32_t k = 0; k < 9; ++k)
        DrawTile(kTiles[k], color, alpha, (k % 3) * TOOL_BRUSH_TILE, (k / 3) * TOOL_BRUSH_TILE);
    return Gfx_Image_ChangeFormat(&color, GFX_FMT_RGB888, GFX_FMT_SAME, 0);
}

bool Tool_DrawBackground(C_Image& picture) {
    if (!picture.CreateEmpty(TOOL_BACKGROUND_WIDTH, TOOL_BACKGROUND_HEIGHT, GFX_FMT_ARGB8888, GFX_FMT_NONE))
        return false;
    const Landscape land = Plan();
    for (std::int32_t y = 0; y < kH; ++y) {
        std::uint8_t* row = picture.Row(static_cast<std::uint32_t>(y));
        for (std::int32_t x = 0; x < kW; ++x) {
            Rgb c = Sky(x + 0.5, y + 0.5);
            c = Ground(land, x, y, c);
            if (y > 430) c = Flowers(land, x, y, c);
            Put(row, static_cast<std::uint32_t>(x), c);
        }
    }
    return Gfx_Image_ChangeFormat(&picture, GFX_FMT_RGB888, GFX_FMT_SAME, 0);
}
