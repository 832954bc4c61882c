// Helpers shared by the test programs.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdio>
#include <cstdint>
#include <string>
#include <vector>

#include "quillory.h"

// A scratch file name unique to the running test: ctest runs tests of one
// program in parallel processes, so a shared name would race.
inline std::string Quillory_TempPath(const std::string& name) {
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string prefix = info ? std::string(info->test_suite_name()) + "." + info->name() + "." : std::string();
    return std::string(QUILLORY_TEST_TMP_DIR) + "/" + prefix + name;
}

// The whole content of a file; empty when it cannot be read.
inline std::string Quillory_ReadFile(const std::string& path) {
    std::string text;
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        for (int c; (c = std::fgetc(f)) != EOF;) text.push_back(static_cast<char>(c));
        std::fclose(f);
    }
    return text;
}

// FNV-1a over `n` bytes, going on from `h`: the hash the golden values of
// the tests are taken with.
constexpr std::uint64_t kFnvStart = 0xCBF29CE484222325ull;
inline std::uint64_t Fnv1a(std::uint64_t h, const void* data, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) h = (h ^ static_cast<const std::uint8_t*>(data)[i]) * 0x100000001B3ull;
    return h;
}

// The same over the stored rows of `image`, top first.
inline std::uint64_t Fnv1aRows(std::uint64_t h, const C_Image& image) {
    for (std::uint32_t y = 0; y < image.height; ++y) h = Fnv1a(h, image.Row(y), image.rowBytes);
    return h;
}

// The record an object writes to a memory stream.
inline std::vector<std::uint8_t> Quillory_Saved(C_Object& object) {
    C_Stream stream;
    stream.OpenMemoryWrite();
    EXPECT_TRUE(object.SaveToStream(&stream, 0));
    return std::vector<std::uint8_t>(stream.Data(), stream.Data() + stream.Size());
}
