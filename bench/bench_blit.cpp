// Throughput of the transformed blit's paths on an 800 x 600 destination,
// the demo's back-buffer size, in destination megapixels per second.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

#include "quillory.h"

namespace {

constexpr std::uint32_t kW = 800, kH = 600;
constexpr std::uint32_t kBackground = 0x12345678;

std::uint32_t* Pixels(C_Image* image) { return reinterpret_cast<std::uint32_t*>(image->data); }

// A picture with varied colours and a soft alpha ramp, from the framework's
// own generator so every run draws the same thing.
std::unique_ptr<C_Image> Picture(std::uint32_t w, std::uint32_t h) {
    auto image = std::make_unique<C_Image>();
    image->CreateEmpty(w, h, GFX_FMT_ARGB8888, GFX_FMT_NONE);
    Math_SRand(7);
    for (std::uint32_t i = 0; i < w * h; ++i)
        Pixels(image.get())[i] =
            0xFF000000u | (static_cast<std::uint32_t>(Math_Rand()) << 9 ^ static_cast<std::uint32_t>(Math_Rand()));
    return image;
}

std::unique_ptr<C_Image> AlphaRamp(std::uint32_t w, std::uint32_t h) {
    auto image = std::make_unique<C_Image>();
    image->CreateEmpty(w, h, GFX_FMT_CH8, GFX_FMT_NONE);
    for (std::uint32_t y = 0; y < h; ++y)
        for (std::uint32_t x = 0; x < w; ++x)
            image->data[y * w + x] = static_cast<std::uint8_t>((x + y) * 255 / (w + h));
    return image;
}

struct Scene {
    std::unique_ptr<C_Image> color, alpha, target;
    std::unique_ptr<C_Surface> src, dst;
    C_DrawParams params;
    C_Vector2D position;
    std::int64_t pixels = 0;  // destination pixels one call covers

    Scene(std::uint32_t w, std::uint32_t h, bool withAlpha) : color(Picture(w, h)) {
        if (withAlpha) alpha = AlphaRamp(w, h);
        target = std::make_unique<C_Image>();
        target->CreateEmpty(kW, kH, GFX_FMT_ARGB8888, GFX_FMT_NONE);
        src = std::make_unique<C_Surface>(1, color.get(), alpha.get());
        dst = std::make_unique<C_Surface>(1, target.get());
    }

    bool Draw() {
        return Gfx_Surface_BlitTransformed(src.get(), dst.get(), nullptr, nullptr, nullptr, &position, 0, &params);
    }

    // Counts the pixels one call covers, drawing once over a cleared target.
    void Measure() {
        std::uint32_t* p = Pixels(target.get());
        for (std::uint32_t i = 0; i < kW * kH; ++i) p[i] = kBackground;
        const std::uint32_t key = params.useKeyColor;
        params.useKeyColor = 0;  // keyed pixels still cost their test
        Draw();
        params.useKeyColor = static_cast<std::uint8_t>(key);
        pixels = 0;
        for (std::uint32_t i = 0; i < kW * kH; ++i) pixels += p[i] != kBackground;
    }
};

void Run(benchmark::State& state, Scene& scene) {
    scene.Measure();
    for (auto _ : state) {
        benchmark::DoNotOptimize(scene.Draw());
        benchmark::ClobberMemory();
    }
    state.counters["Mpixel/s"] = benchmark::Counter(
        static_cast<double>(scene.pixels) * static_cast<double>(state.iterations()) / 1e6, benchmark::Counter::kIsRate);
}

void BM_UnscaledCopy(benchmark::State& state) {
    Scene s(kW, kH, false);
    Run(state, s);
}

// The peer of the unscaled copy: the same rows moved with memcpy.
void BM_UnscaledCopy_MemcpyPeer(benchmark::State& state) {
    Scene s(kW, kH, false);
    for (auto _ : state) {
        for (std::uint32_t y = 0; y < kH; ++y)
            std::memcpy(s.target->data + y * s.target->pitch, s.color->data + y * s.color->pitch, kW * 4);
        benchmark::ClobberMemory();
    }
    state.counters["Mpixel/s"] =
        benchmark::Counter(static_cast<double>(kW) * kH * state.iterations() / 1e6, benchmark::Counter::kIsRate);
}

void BM_UnscaledKey(benchmark::State& state) {
    Scene s(kW, kH, false);
    s.params.useKeyColor = 1;
    s.params.keyColor = C_Color(0, 0, 0, 255);
    Run(state, s);
}

void BM_UnscaledBlendSourceAlpha(benchmark::State& state) {
    Scene s(kW, kH, true);
    Run(state, s);
}

void BM_ScaledNearest(benchmark::State& state) {
    Scene s(kW / 2, kH / 2, false);
    s.params.scale = C_Vector2D(2.0f, 2.0f);
    Run(state, s);
}

void BM_ScaledBilinearAdjust(benchmark::State& state) {
    Scene s(kW / 2, kH / 2, false);
    s.params.scale = C_Vector2D(2.0f, 2.0f);
    s.params.filter = 1;
    s.params.useBrightness = 1;
    s.params.brightness = C_Color(0.1f, 0.1f, 0.1f, 0.0f);
    Run(state, s);
}

// Rotated by 30 degrees about the picture's centre, at the target's centre,
// large enough to cover most of it.
void Rotated(Scene& s) {
    s.params.angle = 30.0f;
    s.params.scale = C_Vector2D(1.6f, 1.6f);
    s.params.pivot = C_Vector2D(0.0f, 0.0f, GFX_ALIGN_HCENTER | GFX_ALIGN_VMIDDLE);
    s.position = C_Vector2D(kW / 2.0f, kH / 2.0f);
}

void BM_RotatedBlend(benchmark::State& state) {
    Scene s(kW / 2, kH / 2, true);
    Rotated(s);
    Run(state, s);
}

void BM_RotatedBilinear(benchmark::State& state) {
    Scene s(kW / 2, kH / 2, false);
    Rotated(s);
    s.params.filter = 1;
    Run(state, s);
}

}  // namespace

BENCHMARK(BM_UnscaledCopy);
BENCHMARK(BM_UnscaledCopy_MemcpyPeer);
BENCHMARK(BM_UnscaledKey);
BENCHMARK(BM_UnscaledBlendSourceAlpha);
BENCHMARK(BM_ScaledNearest);
BENCHMARK(BM_ScaledBilinearAdjust);
BENCHMARK(BM_RotatedBlend);
BENCHMARK(BM_RotatedBilinear);
