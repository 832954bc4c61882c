// A failure provoked through the public interface and the error record it
// must leave: shared by the error-path tests of every folder.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>

#include "core/error.h"

struct ErrorCase {
    const char* what;
    std::function<bool()> provoke;  // runs the failing operation, returns its result
    std::int32_t code;              // the specific code; -1 when only the summary line is recorded
    std::string detail;             // its message ("" with code -1)
    std::string site;               // the summary line's operation; "" when none is recorded
};

// The record after a failure of `c`'s kind.
inline void ExpectRecorded(const ErrorCase& c) {
    EXPECT_EQ(Gfx_GetErrorDetailCode(), c.code);
    EXPECT_EQ(std::string(Gfx_GetErrorDetail()), c.detail);
    if (c.site.empty()) {  // the specific record is the last one
        EXPECT_EQ(Gfx_GetErrorCode(), c.code);
        EXPECT_EQ(std::string(Gfx_GetErrorMessage()), c.detail);
    } else {
        EXPECT_EQ(Gfx_GetErrorCode(), -1);
        EXPECT_EQ(std::string(Gfx_GetErrorMessage()), c.site + GFX_FATAL_SUFFIX);
    }
}

// Provokes `c` on a clean record and checks what it left.
inline void ExpectReported(const ErrorCase& c) {
    SCOPED_TRACE(c.what);
    Gfx_ClearError();
    EXPECT_FALSE(c.provoke());
    ExpectRecorded(c);
}
