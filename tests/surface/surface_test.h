// Helpers shared by the surface tests: deterministic randomness and small
// pictures whose pixels are easy to name.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "quillory.h"
#include "test_support.h"

// The framework's LCG, kept local so that the tests do not disturb the
// process-wide sequence.
class Lcg {
public:
    explicit Lcg(std::uint32_t seed) : state_(seed) {}
    std::uint32_t Next() {
        state_ = state_ * 214013u + 2531011u;
        return (state_ >> 16) & 0x7FFF;
    }
    std::uint32_t Bits30() { return Next() << 15 | Next(); }
    std::uint32_t Word() { return Bits30() << 2 ^ Next(); }
    std::uint32_t Below(std::uint32_t n) { return Bits30() % n; }
    // lo..hi inclusive.
    std::int32_t Range(std::int32_t lo, std::int32_t hi) {
        return lo + static_cast<std::int32_t>(Below(static_cast<std::uint32_t>(hi - lo + 1)));
    }
    bool Chance(int percent) { return Range(0, 99) < percent; }
    float Uniform(float lo, float hi) { return lo + (hi - lo) * static_cast<float>(Next()) / 32767.0f; }
    template <typename T, std::size_t N>
    T Pick(const T (&items)[N]) {
        return items[Below(N)];
    }

private:
    std::uint32_t state_;
};

// A recognisable pixel for (x, y): red x, green y, blue 0x40, opaque.
inline std::uint32_t P(std::uint32_t x, std::uint32_t y) { return 0xFF000040u | (x & 0xFF) << 16 | (y & 0xFF) << 8; }

inline std::uint32_t& Px(C_Image* image, std::uint32_t x, std::uint32_t y) {
    return reinterpret_cast<std::uint32_t*>(image->Row(y))[x];
}

// A plane of `format` filled with `byte`; for a surface to own or not.
inline C_Image* NewPlane(std::uint32_t w, std::uint32_t h, std::int32_t format, std::uint8_t byte = 0) {
    auto* image = new C_Image();
    image->CreateEmpty(w, h, format, GFX_FMT_NONE);
    if (image->data) std::memset(image->data, byte, image->dataSize);
    return image;
}

inline C_Image* NewArgb(std::uint32_t w, std::uint32_t h, std::uint32_t value) {
    C_Image* image = NewPlane(w, h, GFX_FMT_ARGB8888);
    std::fill_n(reinterpret_cast<std::uint32_t*>(image->data), image->dataSize / 4, value);
    return image;
}

// Every pixel names its own place, as P(x, y).
inline C_Image* NewPattern(std::uint32_t w, std::uint32_t h) {
    C_Image* image = NewPlane(w, h, GFX_FMT_ARGB8888);
    for (std::uint32_t y = 0; y < h; ++y)
        for (std::uint32_t x = 0; x < w; ++x) Px(image, x, y) = P(x, y);
    return image;
}

// A copy with the same bytes and row order; null for null.
inline std::unique_ptr<C_Image> CopyOf(const C_Image* from) {
    if (!from) return nullptr;
    auto image = std::make_unique<C_Image>();
    image->CreateEmpty(from->width, from->height, from->format, GFX_FMT_NONE);
    image->bottomUp = from->bottomUp;
    std::memcpy(image->data, from->data, from->dataSize);
    return image;
}

inline std::vector<std::uint8_t> BytesOf(const C_Image* image) {
    return image ? std::vector<std::uint8_t>(image->data, image->data + image->dataSize) : std::vector<std::uint8_t>();
}

// The instruction-set levels this build and processor offer, scalar first.
inline std::vector<std::int32_t> AvailableSimdLevels() {
    std::vector<std::int32_t> levels;
    for (std::int32_t l = GFX_SIMD_SCALAR; l < GFX_SIMD_LEVEL_COUNT; ++l)
        if (Gfx_SimdLevelAvailable(l)) levels.push_back(l);
    return levels;
}

// Restores the process's kernel level when it goes.
struct SimdLevelGuard {
    std::int32_t saved = Gfx_Blit_GetSimdLevel();
    ~SimdLevelGuard() { Gfx_Blit_SetSimdLevel(saved); }
};
