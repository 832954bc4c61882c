// The demo's pixel conversions on an 800 × 600 picture, each beside the
// general row path for the same pair and a memcpy of the destination's bytes.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "image/internal/pixel_convert.h"
#include "quillory.h"

namespace {

constexpr std::uint32_t kWidth = 800;
constexpr std::uint32_t kHeight = 600;
constexpr double kMegapixels = kWidth * kHeight / 1e6;

void Fill(C_Image& im) {
    std::uint32_t state = 1;  // the classic LCG: the same picture every run
    for (std::uint32_t i = 0; i < im.dataSize; ++i) {
        state = state * 214013u + 2531011u;
        im.data[i] = static_cast<std::uint8_t>(state >> 16);
    }
    for (std::uint32_t i = 0; i < im.paletteSize; ++i) im.m_palette[i] = static_cast<std::uint8_t>(i * 7);
}

void SetRate(benchmark::State& state) {
    state.counters["Mpixel/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kMegapixels, benchmark::Counter::kIsRate);
}

// Converts into a second image: args (source format, destination format).
void Convert(benchmark::State& state, Gfx_RowPath path) {
    const auto srcFormat = static_cast<std::int32_t>(state.range(0));
    const auto dstFormat = static_cast<std::int32_t>(state.range(1));
    C_Image src, dst;
    src.CreateEmpty(kWidth, kHeight, srcFormat, srcFormat == GFX_FMT_INDEX8 ? GFX_FMT_RGB888 : GFX_FMT_NONE);
    dst.CreateEmpty(kWidth, kHeight, dstFormat, GFX_FMT_NONE);
    Fill(src);
    for (auto _ : state) {
        Gfx_Image_CopyPixels(&src, &dst, path);
        benchmark::DoNotOptimize(dst.data);
        benchmark::ClobberMemory();
    }
    SetRate(state);
}

void BM_Convert(benchmark::State& state) { Convert(state, Gfx_RowPath::Fastest); }
void BM_ConvertGeneral(benchmark::State& state) { Convert(state, Gfx_RowPath::General); }

// 24 → 23 in place, as the demo does it: no buffer is allocated.
void BM_ChangeFormatInPlace(benchmark::State& state) {
    C_Image im;
    im.CreateEmpty(kWidth, kHeight, GFX_FMT_ARGB8888, GFX_FMT_NONE);
    Fill(im);
    for (auto _ : state) {
        Gfx_Image_ChangeFormat(&im, GFX_FMT_RGBA8888, GFX_FMT_SAME, 0);
        im.format = GFX_FMT_ARGB8888;  // relabel, so the next round converts again
        benchmark::DoNotOptimize(im.data);
        benchmark::ClobberMemory();
    }
    SetRate(state);
}

// The floor: copying the destination's bytes (arg: destination bytes per pixel).
void BM_Memcpy(benchmark::State& state) {
    const std::size_t bytes = std::size_t{kWidth} * kHeight * static_cast<std::size_t>(state.range(0));
    std::vector<std::uint8_t> from(bytes, 0x5A), to(bytes);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    SetRate(state);
}

void DemoPairs(benchmark::internal::Benchmark* b) {
    b->ArgNames({"src", "dst"});
    b->Args({GFX_FMT_RGB888, GFX_FMT_ARGB8888});
    b->Args({GFX_FMT_ARGB8888, GFX_FMT_CH8});
    b->Args({GFX_FMT_ARGB8888, GFX_FMT_RGBA8888});
    b->Args({GFX_FMT_RGB565, GFX_FMT_ARGB8888});
    b->Args({GFX_FMT_INDEX8, GFX_FMT_ARGB8888});
}

}  // namespace

BENCHMARK(BM_Convert)->Apply(DemoPairs)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ConvertGeneral)->Apply(DemoPairs)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ChangeFormatInPlace)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Memcpy)->ArgName("bytesPerPixel")->Arg(4)->Arg(1)->Unit(benchmark::kMicrosecond);
