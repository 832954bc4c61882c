#include "core/error.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

constexpr std::size_t kMessageCapacity = 512;

struct ErrorState {
    Gfx_ErrorRecord record{-1, -1, -1};
    char message[kMessageCapacity] = {};
    char detail[kMessageCapacity] = {};
    char reason[kMessageCapacity] = {};
    std::int32_t detailCode = -1;
};

// Formats into `out` (kMessageCapacity bytes); a null format gives empty text.
void FormatInto(char* out, const char* format, va_list args) {
    out[0] = '\0';
    if (format) std::vsnprintf(out, kMessageCapacity, format, args);
}

// One record per thread, so threads drawing independent pictures never see or
// overwrite each other's failures.
ErrorState& State() {
    thread_local ErrorState state;
    return state;
}

}  // namespace

std::int32_t Gfx_SetError(std::int32_t code, std::int32_t aux1, std::int32_t aux2, const char* message, ...) {
    ErrorState& s = State();
    // Format into a local first: an argument may be the record's own text
    // (re-reporting the previous message), and vsnprintf must not overlap.
    char text[kMessageCapacity] = {};
    va_list args;
    va_start(args, message);
    FormatInto(text, message, args);
    va_end(args);
    s.record = {code, aux1, aux2};
    std::memcpy(s.message, text, sizeof text);
    if (code != -1) {
        std::memcpy(s.detail, text, sizeof text);
        s.detailCode = code;
        s.reason[0] = '\0';
    }
    return code;
}

bool Gfx_Fail(std::int32_t code, const char* detail, const char* site) {
    Gfx_SetError(code, 0, 0, "%s", detail);
    return Gfx_FailSummary(site);
}

bool Gfx_FailSummary(const char* site) {
    Gfx_SetError(-1, 0, 0, "%s%s", site, GFX_FATAL_SUFFIX);
    return false;
}

const Gfx_ErrorRecord& Gfx_GetErrorRecord() { return State().record; }
std::int32_t Gfx_GetErrorCode() { return State().record.code; }
const char* Gfx_GetErrorMessage() { return State().message; }
const char* Gfx_GetErrorDetail() { return State().detail; }
std::int32_t Gfx_GetErrorDetailCode() { return State().detailCode; }

void Gfx_ClearError() {
    ErrorState& s = State();
    s.record = {-1, -1, -1};
    s.message[0] = '\0';
    s.detail[0] = '\0';
    s.reason[0] = '\0';
    s.detailCode = -1;
}

void Gfx_SetErrorReason(const char* format, ...) {
    char text[kMessageCapacity];  // an argument may be the reason itself (a prefixed reason)
    va_list args;
    va_start(args, format);
    FormatInto(text, format, args);
    va_end(args);
    std::memcpy(State().reason, text, sizeof text);
}

const char* Gfx_GetErrorReason() {
    const ErrorState& s = State();
    return s.reason[0] ? s.reason : s.detail;
}
