// Helpers shared by the image tests: error-record checks and byte access.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "core/error.h"
#include "image/image.h"

// Checks that the last failure recorded `code` with `detail` and then the
// summary line of `site`.
inline void ExpectFailure(std::int32_t code, const std::string& detail, const std::string& site) {
    EXPECT_EQ(Gfx_GetErrorCode(), -1);
    EXPECT_EQ(Gfx_GetErrorDetailCode(), code);
    EXPECT_EQ(std::string(Gfx_GetErrorDetail()), detail);
    EXPECT_EQ(std::string(Gfx_GetErrorMessage()), site + GFX_FATAL_SUFFIX);
}

// The bytes of stored row y (memory order, not display order).
inline std::vector<std::uint8_t> StoredRow(const C_Image& image, std::uint32_t y, std::size_t bytes) {
    const std::uint8_t* p = image.data + std::size_t{y} * image.pitch;
    return std::vector<std::uint8_t>(p, p + bytes);
}

inline std::vector<std::uint8_t> AllBytes(const C_Image& image) {
    return std::vector<std::uint8_t>(image.data, image.data + image.dataSize);
}

inline std::uint32_t FloatBits(float f) {
    std::uint32_t u;
    std::memcpy(&u, &f, 4);
    return u;
}

inline float BitsFloat(std::uint32_t u) {
    float f;
    std::memcpy(&f, &u, 4);
    return f;
}

// `count` little-endian values of `bytes` bytes each, as raw bytes.
inline std::vector<std::uint8_t> LeBytes(std::initializer_list<std::uint64_t> values, std::size_t bytes) {
    std::vector<std::uint8_t> out;
    for (std::uint64_t v : values)
        for (std::size_t i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    return out;
}
