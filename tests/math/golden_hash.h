// FNV-1a over the bytes of many results, to pin them all against one golden
// value. Every NaN hashes alike: its sign and payload bits differ between
// processors.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <type_traits>

struct GoldenHash {
    std::uint64_t value = 14695981039346656037ull;

    template <typename... T>
    void Add(T... values) {
        (AddOne(values), ...);
    }
    template <typename T>
    void AddOne(T v) {
        if constexpr (std::is_floating_point_v<T>) {
            if (std::isnan(v)) v = std::numeric_limits<T>::quiet_NaN();
        }
        unsigned char bytes[sizeof v];
        std::memcpy(bytes, &v, sizeof v);
        for (const unsigned char b : bytes) value = (value ^ b) * 1099511628211ull;
    }
};
