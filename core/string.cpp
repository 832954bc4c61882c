#include "core/string.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/error.h"
#include "core/stream.h"

namespace {

// The longest text a string can hold: its length and the terminator must
// both be counted in 32 bits.
constexpr std::uint32_t kMaxLength = UINT32_MAX - 1;

bool FailNoMemory(const char* site) {
    char detail[128];
    std::snprintf(detail, sizeof detail, "%s{text}", site);
    return Gfx_Fail(GFX_ERR_NO_MEMORY, detail, site);
}

bool FailTooLong(const char* site) {
    char detail[128];
    std::snprintf(detail, sizeof detail, "%s{length}", site);
    return Gfx_Fail(GFX_ERR_BAD_DATA, detail, site);
}

char* AllocateText(std::uint32_t length) { return static_cast<char*>(std::malloc(std::size_t{length} + 1)); }

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

const char* OrEmpty(const char* text) { return text ? text : ""; }

}  // namespace

// ---- construction and assignment ----

C_String::C_String() : text(nullptr), length(0) { Set("", 0, "C_String::C_String"); }

C_String::C_String(const char* source) : text(nullptr), length(0) { SetText(source, "C_String::C_String"); }

C_String::C_String(const C_String& other) : C_Object(other), text(nullptr), length(0) {
    Set(other.CStr(), other.length, "C_String::C_String");
}

C_String::C_String(C_String&& other) noexcept : C_Object(other), text(other.text), length(other.length) {
    other.text = nullptr;
    other.length = 0;
}

C_String::C_String(std::int8_t value) : text(nullptr), length(0) { SetNumber(std::int32_t{value}); }
C_String::C_String(std::uint8_t value) : text(nullptr), length(0) { SetNumber(std::int32_t{value}); }
C_String::C_String(std::int16_t value) : text(nullptr), length(0) { SetNumber(std::int32_t{value}); }
C_String::C_String(std::uint16_t value) : text(nullptr), length(0) { SetNumber(std::int32_t{value}); }
C_String::C_String(std::int32_t value) : text(nullptr), length(0) { SetNumber(value); }
// Unsigned values format with "%d" too, so 2^31 and above print negative:
// callers and stored texts rely on the one integer format.
C_String::C_String(std::uint32_t value) : text(nullptr), length(0) { SetNumber(static_cast<std::int32_t>(value)); }
C_String::C_String(float value) : text(nullptr), length(0) { SetNumber(double{value}); }
C_String::C_String(double value) : text(nullptr), length(0) { SetNumber(value); }

C_String::~C_String() { C_String::Free(); }

C_String& C_String::operator=(const C_String& other) {
    if (this != &other) Set(other.CStr(), other.length, "C_String::operator=");
    return *this;
}

C_String& C_String::operator=(C_String&& other) noexcept {
    if (this != &other) {
        std::free(text);
        text = other.text;
        length = other.length;
        other.text = nullptr;
        other.length = 0;
    }
    return *this;
}

C_String& C_String::operator=(const char* source) {
    SetText(source, "C_String::operator=");
    return *this;
}

C_String& C_String::operator=(std::int8_t value) {
    SetNumber(std::int32_t{value});
    return *this;
}
C_String& C_String::operator=(std::uint8_t value) {
    SetNumber(std::int32_t{value});
    return *this;
}
C_String& C_String::operator=(std::int16_t value) {
    SetNumber(std::int32_t{value});
    return *this;
}
C_String& C_String::operator=(std::uint16_t value) {
    SetNumber(std::int32_t{value});
    return *this;
}
C_String& C_String::operator=(std::int32_t value) {
    SetNumber(value);
    return *this;
}
C_String& C_String::operator=(std::uint32_t value) {
    SetNumber(static_cast<std::int32_t>(value));
    return *this;
}
C_String& C_String::operator=(float value) {
    SetNumber(double{value});
    return *this;
}
C_String& C_String::operator=(double value) {
    SetNumber(value);
    return *this;
}

void C_String::Free() {
    std::free(text);
    text = nullptr;
    length = 0;
}

void C_String::Adopt(char* block, std::uint32_t newLength) {
    std::free(text);
    text = block;
    length = newLength;
}

bool C_String::Set(const char* source, std::uint32_t byteCount, const char* site) {
    // Copy before releasing: `source` may point into the current text.
    char* const block = AllocateText(byteCount);
    if (!block) return FailNoMemory(site);
    if (byteCount) std::memcpy(block, source, byteCount);
    block[byteCount] = '\0';
    Adopt(block, byteCount);
    return true;
}

bool C_String::SetText(const char* source, const char* site) {
    const std::size_t n = std::strlen(OrEmpty(source));
    if (n > kMaxLength) return FailTooLong(site);
    return Set(OrEmpty(source), static_cast<std::uint32_t>(n), site);
}

bool C_String::SetNumber(std::int32_t value) {
    char digits[16];
    const int n = std::snprintf(digits, sizeof digits, "%d", value);
    return Set(digits, static_cast<std::uint32_t>(n), "C_String::C_String");
}

bool C_String::SetNumber(double value) {
    // "%f" never uses an exponent, so huge values run to ~320 characters:
    // measure first.
    const int n = std::snprintf(nullptr, 0, "%f", value);
    if (n < 0) return Set("", 0, "C_String::C_String");
    char* const block = AllocateText(static_cast<std::uint32_t>(n));
    if (!block) return FailNoMemory("C_String::C_String");
    std::snprintf(block, static_cast<std::size_t>(n) + 1, "%f", value);
    Adopt(block, static_cast<std::uint32_t>(n));
    return true;
}

C_String C_String::Slice(const char* source, std::uint32_t byteCount) {
    C_String result;
    result.Set(source, byteCount, "C_String::Slice");
    return result;
}

const char* C_String::CStr() const { return OrEmpty(text); }

// ---- joining ----

bool C_String::Append(const char* other) {
    const std::size_t extra = std::strlen(OrEmpty(other));
    if (extra > kMaxLength - length) return FailTooLong("C_String::Append");
    const auto total = static_cast<std::uint32_t>(length + extra);
    char* const block = AllocateText(total);
    if (!block) return FailNoMemory("C_String::Append");
    // Both copies come before the old text is released, so appending a
    // string to itself works.
    if (length) std::memcpy(block, text, length);
    if (extra) std::memcpy(block + length, other, extra);
    block[total] = '\0';
    Adopt(block, total);
    return true;
}

bool C_String::Append(const C_String& other) { return Append(other.CStr()); }

C_String C_String::Concat(const C_String& other) const {
    C_String result(*this);
    result.Append(other);
    return result;
}

C_String& C_String::operator+=(const C_String& other) {
    Append(other);
    return *this;
}

// ---- comparison ----

std::int32_t C_String::Compare(const char* a, const char* b) {
    // strcmp compares as unsigned char.
    const int r = std::strcmp(OrEmpty(a), OrEmpty(b));
    return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

std::int32_t C_String::Compare(const C_String& a, const C_String& b) { return Compare(a.CStr(), b.CStr()); }

bool C_String::operator==(const C_String& other) const {
    return length == other.length && std::memcmp(CStr(), other.CStr(), length) == 0;
}
bool C_String::operator==(const char* other) const { return Compare(CStr(), other) == 0; }
bool C_String::operator!=(const char* other) const { return Compare(CStr(), other) != 0; }
bool C_String::operator>(const char* other) const { return Compare(CStr(), other) > 0; }
bool C_String::operator<(const char* other) const { return Compare(CStr(), other) < 0; }
bool C_String::operator>=(const char* other) const { return Compare(CStr(), other) >= 0; }
bool C_String::operator<=(const char* other) const { return Compare(CStr(), other) <= 0; }
bool C_String::operator<(const C_String& other) const { return Compare(CStr(), other.CStr()) < 0; }

// ---- case ----

void C_String::MakeUpper() {
    for (std::uint32_t i = 0; i < length; ++i) text[i] = AsciiUpper(text[i]);
}

void C_String::MakeLower() {
    for (std::uint32_t i = 0; i < length; ++i) text[i] = AsciiLower(text[i]);
}

C_String C_String::Upper() const {
    C_String copy(*this);
    copy.MakeUpper();
    return copy;
}

C_String C_String::Lower() const {
    C_String copy(*this);
    copy.MakeLower();
    return copy;
}

// ---- numbers ----

std::int32_t C_String::ToInt() const {
    const long long v = ToLong();
    if (v > INT32_MAX) return INT32_MAX;
    if (v < INT32_MIN) return INT32_MIN;
    return static_cast<std::int32_t>(v);
}

std::int64_t C_String::ToLong() const {
    // strtoll saturates where atol would be undefined.
    const int savedErrno = errno;
    const long long v = std::strtoll(CStr(), nullptr, 10);
    errno = savedErrno;
    return v;
}

float C_String::ToFloat() const { return std::strtof(CStr(), nullptr); }

double C_String::ToDouble() const { return std::strtod(CStr(), nullptr); }

// ---- substrings ----

C_String C_String::Left(std::uint32_t n) const { return n >= length ? *this : Slice(text, n); }

C_String C_String::Right(std::uint32_t n) const { return n >= length ? *this : Slice(text + (length - n), n); }

C_String C_String::Mid(std::uint32_t start, std::uint32_t count) const {
    if (start >= length) return Slice("", 0);
    const std::uint32_t left = length - start;
    return Slice(text + start, count < left ? count : left);
}

C_String C_String::GetExtension() const {
    const std::int32_t dot = FindLast(0, ".", false);
    if (dot < 0) return Slice("", 0);
    const auto from = static_cast<std::uint32_t>(dot) + 1;
    return Slice(text + from, length - from);
}

// ---- search ----

std::int32_t C_String::Search(const char* pattern, bool caseSensitive, bool fromEnd) const {
    // Every position of the string is a candidate; one matches when the m
    // characters from it equal the pattern. An empty pattern therefore
    // matches at the first candidate tried.
    const std::uint32_t n = length;
    const std::size_t m = std::strlen(OrEmpty(pattern));
    if (n == 0 || m > n) return -1;
    const auto matchesAt = [&](std::uint32_t p) {
        for (std::size_t i = 0; i < m; ++i) {
            const char a = text[p + i];
            const char b = pattern[i];
            if (caseSensitive ? a != b : AsciiLower(a) != AsciiLower(b)) return false;
        }
        return true;
    };
    const auto last = static_cast<std::uint32_t>(m ? n - m : n - 1);  // candidates beyond cannot match
    if (fromEnd) {
        for (std::uint32_t p = last + 1; p-- > 0;)
            if (matchesAt(p)) return static_cast<std::int32_t>(p);
    } else {
        for (std::uint32_t p = 0; p <= last; ++p)
            if (matchesAt(p)) return static_cast<std::int32_t>(p);
    }
    return -1;
}

std::int32_t C_String::Find(std::int32_t, const char* pattern, bool caseSensitive) const {
    return Search(pattern, caseSensitive, false);
}
std::int32_t C_String::Find(std::int32_t, const C_String& pattern, bool caseSensitive) const {
    return Search(pattern.CStr(), caseSensitive, false);
}
std::int32_t C_String::FindLast(std::int32_t, const char* pattern, bool caseSensitive) const {
    return Search(pattern, caseSensitive, true);
}
std::int32_t C_String::FindLast(std::int32_t, const C_String& pattern, bool caseSensitive) const {
    return Search(pattern.CStr(), caseSensitive, true);
}

// ---- editing ----

std::uint32_t C_String::InsertChar(std::uint32_t index, char c) {
    if (index > length || c == '\0' || length >= kMaxLength) return length;
    char* const block = AllocateText(length + 1);
    if (!block) {
        FailNoMemory("C_String::InsertChar");
        return length;
    }
    if (index) std::memcpy(block, text, index);
    block[index] = c;
    std::memcpy(block + index + 1, CStr() + index, length - index + 1);
    Adopt(block, length + 1);
    return length;
}

std::uint32_t C_String::RemoveChar(std::uint32_t index) {
    if (index >= length) return length;
    char* const block = AllocateText(length - 1);
    if (!block) {
        FailNoMemory("C_String::RemoveChar");
        return length;
    }
    std::memcpy(block, text, index);
    std::memcpy(block + index, text + index + 1, length - index);
    Adopt(block, length - 1);
    return length;
}

// ---- files and streams ----

bool C_String::LoadText(C_Stream* stream) {
    if (!stream) return Gfx_Fail(GFX_ERR_NULL_ARG, "C_String::LoadText{stream}", "C_String::LoadText");
    // One pass in chunks: works for every stream kind, including those that
    // cannot seek back, and allocates only for bytes that really arrive.
    char* kept = nullptr;
    std::size_t count = 0;
    std::size_t room = 0;
    char chunk[4096];
    for (;;) {
        const std::size_t got = C_Stream::ReadBytes(stream, chunk, sizeof chunk);
        for (std::size_t i = 0; i < got; ++i) {
            if (chunk[i] == '\r') continue;
            if (count == room) {
                if (room >= kMaxLength) {
                    std::free(kept);
                    return FailTooLong("C_String::LoadText");
                }
                std::size_t grown = room ? room * 2 : sizeof chunk;
                if (grown > kMaxLength) grown = kMaxLength;
                char* const bigger = static_cast<char*>(std::realloc(kept, grown));
                if (!bigger) {
                    std::free(kept);
                    return FailNoMemory("C_String::LoadText");
                }
                kept = bigger;
                room = grown;
            }
            kept[count++] = chunk[i];
        }
        if (got < sizeof chunk) break;
    }
    // The text ends at its first zero, if the data holds one.
    const void* const zero = count ? std::memchr(kept, 0, count) : nullptr;
    if (zero) count = static_cast<std::size_t>(static_cast<const char*>(zero) - kept);
    const bool ok = Set(kept ? kept : "", static_cast<std::uint32_t>(count), "C_String::LoadText");
    std::free(kept);
    return ok;
}

bool C_String::Load_TXT_FromFile(const char* path) {
    C_Stream stream;
    if (!stream.OpenFileRead(path)) {
        Gfx_SetError(GFX_ERR_OPEN_READ, 0, 0, "C_String::Load_TXT_FromFile(%s)", OrEmpty(path));
        Gfx_FailSummary("C_String::Load_TXT_FromFile");
        Free();
        return false;
    }
    const bool ok = LoadText(&stream);
    stream.CloseFile();
    return ok || Gfx_FailSummary("C_String::Load_TXT_FromFile");
}

// `path` may be this very string: its text is used only before this string
// changes.
bool C_String::Load_TXT_FromFile(const C_String& path) { return Load_TXT_FromFile(path.CStr()); }

bool C_String::SaveToStream(C_Stream* stream, std::uint32_t) {
    const char* const t = CStr();
    const std::uint32_t count = static_cast<std::uint32_t>(std::strlen(t)) + 1;
    return Gfx_WriteClassTag(stream, GFX_CLASS_STRING) && C_Stream::WriteValue(stream, count) &&
           C_Stream::WriteBytes(stream, t, count) == count;
}

bool C_String::LoadFromStream(C_Stream* stream, std::uint32_t) {
    static constexpr const char* kSite = "C_String::LoadFromStream";
    if (!Gfx_ReadClassTag(stream, GFX_CLASS_STRING, "C_String")) return false;
    // The count is checked against the bytes actually present before any
    // allocation, so a forged record cannot ask for gigabytes.
    std::uint32_t count = 0;
    if (!C_Stream::ReadValue(stream, count) || count == 0 || count > C_Stream::Remaining(stream))
        return Gfx_Fail(GFX_ERR_BAD_DATA, "C_String::LoadFromStream{count}", kSite);
    char* const block = static_cast<char*>(std::malloc(count));
    if (!block) return FailNoMemory(kSite);
    if (C_Stream::ReadBytes(stream, block, count) != count) {
        std::free(block);
        return Gfx_Fail(GFX_ERR_BAD_DATA, "C_String::LoadFromStream{text}", kSite);
    }
    // The text ends at its first zero; a record without one is malformed.
    const void* const zero = std::memchr(block, 0, count);
    if (!zero) {
        std::free(block);
        return Gfx_Fail(GFX_ERR_BAD_DATA, "C_String::LoadFromStream{text}", kSite);
    }
    const auto newLength = static_cast<std::uint32_t>(static_cast<const char*>(zero) - block);
    if (newLength + 1 == count) {
        Adopt(block, newLength);
        return true;
    }
    // An early zero: keep only the text, allocated exactly.
    const bool ok = Set(block, newLength, kSite);
    std::free(block);
    return ok;
}
