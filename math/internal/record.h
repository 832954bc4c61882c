// Reading and writing the fixed records of the math classes: a class tag and
// a few fixed-width fields.
#pragma once

#include <cstdio>

#include "core/error.h"
#include "core/stream.h"

namespace math_record {

// Reads each field in turn; false as soon as one comes up short. Callers read
// into locals and assign only on success, so a truncated record never leaves
// a half-loaded object.
template <typename... T>
bool ReadFields(C_Stream* stream, T&... fields) {
    return (C_Stream::ReadValue(stream, fields) && ...);
}

template <typename... T>
bool WriteFields(C_Stream* stream, const T&... fields) {
    return (C_Stream::WriteValue(stream, fields) && ...);
}

// Records error 10 "<className>::LoadFromStream{data}" and the summary line
// for a record that ended early. Returns false.
inline bool FailTruncated(const char* className) {
    char detail[96];
    char site[96];
    std::snprintf(detail, sizeof detail, "%s::LoadFromStream{data}", className);
    std::snprintf(site, sizeof site, "%s::LoadFromStream", className);
    return Gfx_Fail(GFX_ERR_BAD_DATA, detail, site);
}

// Records the summary line of `className`'s `operation` ("LoadFromStream" or
// "SaveToStream"), for a nested object or a write that failed. Returns false.
inline bool FailSummary(const char* className, const char* operation) {
    char site[96];
    std::snprintf(site, sizeof site, "%s::%s", className, operation);
    return Gfx_FailSummary(site);
}

}  // namespace math_record
