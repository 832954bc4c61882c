/// @file
/// The error record. Every failing check writes it; operations then return
/// false or null and the program goes on. Each thread has its own record:
/// a thread reads what its own calls recorded, never another thread's.
#pragma once

#include <cstdint>

/// Error codes written by the framework's checks.
enum : std::int32_t {
    GFX_ERR_GIVE_UP = -1,         ///< the operation gives up (the summary line)
    GFX_ERR_NO_MEMORY = 3,        ///< a buffer could not be obtained
    GFX_ERR_COPY = 5,             ///< a copy failed
    GFX_ERR_BAD_DATA = 10,        ///< wrong class tag, or malformed file contents
    GFX_ERR_OPEN_READ = 11,       ///< a file could not be opened
    GFX_ERR_OPEN_WRITE = 12,      ///< a file could not be created for writing
    GFX_ERR_NULL_ARG = 14,        ///< a required pointer argument is null
    GFX_ERR_FORMAT = 15,          ///< an unsupported pixel format
    GFX_ERR_PALETTE_FORMAT = 16,  ///< an unsupported palette format
};

/// The record itself; all fields start at -1.
struct Gfx_ErrorRecord {
    std::int32_t code;
    std::int32_t aux1;
    std::int32_t aux2;
};

/// Records an error and returns `code`. `message` is a printf format; the text
/// is kept (truncated to a few hundred characters) so callers can show why an
/// operation failed.
std::int32_t Gfx_SetError(std::int32_t code, std::int32_t aux1, std::int32_t aux2, const char* message, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 4, 5)))
#endif
    ;

/// Records the specific failure `code` with `detail` and then the summary line
/// "<site>>>>A fatal error occurred, the entire process has been aborted".
/// Returns false so a failing check can `return Gfx_Fail(...)`.
bool Gfx_Fail(std::int32_t code, const char* detail, const char* site);

/// Records only the summary line for `site` (code -1).
bool Gfx_FailSummary(const char* site);

/// The record and its parts. Code -1 after a failure is the summary line;
/// Gfx_GetErrorDetail gives the reason.
const Gfx_ErrorRecord& Gfx_GetErrorRecord();
std::int32_t Gfx_GetErrorCode();
/// The message of the most recent Gfx_SetError call.
const char* Gfx_GetErrorMessage();
/// The most recent error other than the summary line (code != -1), with its
/// code: this is the reason a failed operation gave up. Empty text and -1 when
/// there was none.
const char* Gfx_GetErrorDetail();
std::int32_t Gfx_GetErrorDetailCode();
/// Puts the record back to its start state (all -1, no messages, no reason).
void Gfx_ClearError();

/// Sets the plain-words reason for the failure just recorded: one sentence a
/// person can act on (which file, what is wrong, what would work). Call it
/// after Gfx_SetError/Gfx_Fail; the next specific error clears it again.
void Gfx_SetErrorReason(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

/// One sentence in plain words for the last failure of the calling thread:
/// the reason set with Gfx_SetErrorReason, or else the specific message
/// (Gfx_GetErrorDetail). Empty text when nothing has failed.
const char* Gfx_GetErrorReason();

/// The text every summary line carries after the site.
inline constexpr const char* GFX_FATAL_SUFFIX = ">>>A fatal error occurred, the entire process has been aborted";
