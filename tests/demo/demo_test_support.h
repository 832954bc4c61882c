// Shared helpers of the demo tests: a headless fixture on a fixed clock and
// pixel access to the demo's pictures.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "../test_support.h"
#include "demo/demo_app.h"
#include "image/image.h"
#include "math/random.h"
#include "platform/headless.h"
#include "platform/timing.h"
#include "platform/window.h"

// Every test starts as a fresh process would: headless, nothing scheduled,
// the framework's generator at its start state.
class DemoTest : public ::testing::Test {
protected:
    static constexpr double kStep = 1.0 / 60.0;

    void SetUp() override {
        ASSERT_TRUE(Win_SelectPlatform("headless"));  // a fresh start: nothing scheduled
        ASSERT_TRUE(Win_Headless_SetFixedStep(kStep));
        Math_SRand(1);
    }
};

// The colour of an ARGB8888 pixel as 0xRRGGBB, row y counted from the top.
inline std::uint32_t RgbAt(const C_Image& image, std::uint32_t x, std::uint32_t y) {
    const std::uint8_t* p = image.Row(y) + std::size_t{x} * 4;
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16;
}

// A checksum of the visible pixels, row by row from the top.
// Eight bytes a step: the scripted sessions hash every frame, and the
// sanitizer tree runs them unoptimised.
inline std::uint64_t Checksum(const C_Image& image, std::uint64_t h = 1469598103934665603ull) {
    for (std::uint32_t y = 0; y < image.height; ++y) {
        const std::uint8_t* row = image.Row(y);
        std::uint32_t i = 0;
        for (std::uint64_t word; i + 8 <= image.rowBytes; i += 8) {
            std::memcpy(&word, row + i, 8);
            h = (h ^ word) * 1099511628211ull;
        }
        h = Fnv1a(h, row + i, image.rowBytes - i);
    }
    return h;
}

inline void WriteFile(const std::string& path, const std::string& text) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
}
