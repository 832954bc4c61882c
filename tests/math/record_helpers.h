// Helpers shared by the math tests: capture an object's record as bytes and
// read records back from bytes.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "quillory.h"

namespace math_test {

using Bytes = std::vector<std::uint8_t>;

inline Bytes Save(C_Object& object) {
    C_Stream stream;
    EXPECT_TRUE(stream.OpenMemoryWrite());
    EXPECT_TRUE(object.SaveToStream(&stream, 0));
    return Bytes(stream.Data(), stream.Data() + stream.Size());
}

inline bool Load(C_Object& object, const Bytes& bytes) {
    C_Stream stream;
    EXPECT_TRUE(stream.OpenMemoryRead(bytes.data(), static_cast<std::uint32_t>(bytes.size())));
    return object.LoadFromStream(&stream, 0);
}

inline std::uint32_t Bits(float v) {
    std::uint32_t b;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

// Little-endian bytes of a 32-bit value, as the records hold them.
inline Bytes Le32(std::uint32_t v) {
    return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v >> 16),
            static_cast<std::uint8_t>(v >> 24)};
}
inline Bytes LeFloat(float v) { return Le32(Bits(v)); }

inline Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

// Loading any proper prefix of `record` into a copy of `original` must fail
// with error 10 as the reason and leave the object as it was (compared with
// `same`).
template <typename T, typename Same>
void ExpectEveryPrefixFails(const T& original, const Bytes& record, Same same) {
    for (std::size_t n = 0; n < record.size(); ++n) {
        T object(original);
        Gfx_ClearError();
        const Bytes prefix(record.begin(), record.begin() + static_cast<std::ptrdiff_t>(n));
        EXPECT_FALSE(Load(object, prefix)) << "prefix of " << n << " bytes";
        EXPECT_EQ(Gfx_GetErrorCode(), -1) << "prefix of " << n << " bytes";
        EXPECT_EQ(Gfx_GetErrorDetailCode(), 10) << "prefix of " << n << " bytes";
        EXPECT_TRUE(same(object, original)) << "prefix of " << n << " bytes changed the object";
    }
}

}  // namespace math_test
