// FNV-1a over the bytes of many results, to pin them all against one golden
// value. Every NaN hashes alike: its sign and payload bits differ between
// processors.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>
#include <type_traits>

#include "test_support.h"

struct GoldenHash {
    std::uint64_t value = kFnvStart;

    template <typename... T>
    void Add(T... values) {
        (AddOne(values), ...);
    }
    template <typename T>
    void AddOne(T v) {
        if constexpr (std::is_floating_point_v<T>) {
            if (std::isnan(v)) v = std::numeric_limits<T>::quiet_NaN();
        }
        value = Fnv1a(value, &v, sizeof v);
    }
};
