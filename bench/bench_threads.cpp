// One large call split among threads: each workload timed with one thread
// and with two (Gfx_SetThreadCount), rounds alternating so both counts see
// the same machine load. The 800 x 600 calls stay below the split threshold
// and must not get slower.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bench_table.h"
#include "core/parallel.h"
#include "image/internal/pixel_convert.h"
#include "quillory.h"

namespace {

using Clock = std::chrono::steady_clock;

std::unique_ptr<C_Image> Noise(std::uint32_t w, std::uint32_t h, std::int32_t format) {
    auto image = std::make_unique<C_Image>();
    image->CreateEmpty(w, h, format, GFX_FMT_NONE);
    std::uint32_t state = 1;  // the classic LCG: the same picture every run
    for (std::uint32_t i = 0; i < image->dataSize; ++i) {
        state = state * 214013u + 2531011u;
        image->data[i] = static_cast<std::uint8_t>(state >> 16);
    }
    return image;
}

// A source with colour and random alpha, and an opaque target.
struct Scene {
    std::unique_ptr<C_Image> color, alpha, target;
    std::unique_ptr<C_Surface> src, dst;
    Scene(std::uint32_t sw, std::uint32_t sh, std::uint32_t dw, std::uint32_t dh)
        : color(Noise(sw, sh, GFX_FMT_ARGB8888)),
          alpha(Noise(sw, sh, GFX_FMT_CH8)),
          target(Noise(dw, dh, GFX_FMT_ARGB8888)) {
        src = std::make_unique<C_Surface>(1, color.get(), alpha.get());
        dst = std::make_unique<C_Surface>(1, target.get());
    }
};

double SecondsPerCall(const std::function<void()>& fn, int calls) {
    const auto t0 = Clock::now();
    for (int i = 0; i < calls; ++i) fn();
    return std::chrono::duration<double>(Clock::now() - t0).count() / calls;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

struct Timing {
    std::string name;
    double one = 0, two = 0;
};

Timing Measure(const std::string& name, const std::function<void()>& fn) {
    constexpr int kRounds = 15;
    constexpr double kRoundSeconds = 0.05;
    Gfx_SetThreadCount(1);
    fn();
    const int calls = std::max(1, static_cast<int>(kRoundSeconds / std::max(SecondsPerCall(fn, 1), 1e-7)));
    std::vector<double> one, two;
    for (int r = 0; r < kRounds; ++r) {
        Gfx_SetThreadCount(1);
        one.push_back(SecondsPerCall(fn, calls));
        Gfx_SetThreadCount(2);
        two.push_back(SecondsPerCall(fn, calls));
    }
    Gfx_SetThreadCount(1);
    return {name, Median(one), Median(two)};
}

std::function<void()> BilinearScale(std::shared_ptr<Scene> s) {
    return [s] {
        C_DrawParams p;
        p.scale = C_Vector2D(static_cast<float>(s->target->width) / s->color->width,
                             static_cast<float>(s->target->height) / s->color->height);
        p.filter = 1;
        const C_Vector2D at(0.0f, 0.0f);
        Gfx_Surface_BlitTransformed(s->src.get(), s->dst.get(), nullptr, nullptr, nullptr, &at, 0, &p);
    };
}

std::function<void()> Tiled(std::shared_ptr<Scene> s) {
    return [s] {
        C_DrawParams p;
        const C_Rect whole(0.0f, 0.0f, static_cast<float>(s->target->width), static_cast<float>(s->target->height));
        const C_Vector2D at(0.0f, 0.0f);
        Gfx_Surface_DrawTiled(s->src.get(), s->dst.get(), nullptr, nullptr, nullptr, &whole, &at, 0, &p);
    };
}

std::function<void()> Convert(std::uint32_t w, std::uint32_t h) {
    std::shared_ptr<C_Image> from = Noise(w, h, GFX_FMT_ARGB8888), to = Noise(w, h, GFX_FMT_RGB565);
    return [from, to] { Gfx_Image_CopyPixels(from.get(), to.get(), Gfx_RowPath::Fastest); };
}

}  // namespace

// The table's rows: the large calls must reach a 1.7x speed-up; the small
// ones stay on one thread and must not get slower (a hair of noise aside).
std::vector<BenchRow> Bench_ThreadsRows(const std::string& only) {
    constexpr double kLarge = 1.0 / 1.7, kSmall = 1.05;
    const struct {
        const char* name;
        double target;
        std::function<std::function<void()>()> make;
    } workloads[] = {
        {"bilinear 1920x1080 -> 3840x2160, blended", kLarge,
         [] { return BilinearScale(std::make_shared<Scene>(1920, 1080, 3840, 2160)); }},
        {"DrawTiled 160x120 over 3840x2160, blended", kLarge,
         [] { return Tiled(std::make_shared<Scene>(160, 120, 3840, 2160)); }},
        {"ARGB8888 -> RGB565 3840x2160", kLarge, [] { return Convert(3840, 2160); }},
        {"bilinear 400x300 -> 800x600, blended", kSmall,
         [] { return BilinearScale(std::make_shared<Scene>(400, 300, 800, 600)); }},
        {"DrawTiled 160x120 over 800x600, blended", kSmall,
         [] { return Tiled(std::make_shared<Scene>(160, 120, 800, 600)); }},
        {"ARGB8888 -> RGB565 800x600", kSmall, [] { return Convert(800, 600); }},
    };
    std::vector<BenchRow> rows;
    for (const auto& w : workloads) {
        if (!only.empty() && std::string(w.name).find(only) == std::string::npos) continue;
        const Timing t = Measure(w.name, w.make());
        rows.push_back({t.name, "the same call on 1 thread", t.two, t.one, w.target});
    }
    return rows;
}
