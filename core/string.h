/// @file
/// The framework's text: an owned, zero-terminated 8-bit string with its
/// length. File names, face names, window titles and captions are C_Strings.
#pragma once

#include <cstdint>

#include "object.h"

/// An owned 8-bit text with its length; never null through CStr().
class C_String : public C_Object {
public:
    /// Owned, zero-terminated, allocated to exactly length + 1 bytes. Null
    /// only after Free, a failed text-file load, a move or an allocation
    /// failure; every operation then treats the string as empty.
    char* text;
    std::uint32_t length;  ///< bytes before the terminating zero

    C_String();
    C_String(const char* source);  ///< null gives the empty text
    C_String(const C_String& other);
    C_String(C_String&& other) noexcept;
    /// Numbers format with the C library: integers with "%d" (so an unsigned
    /// value of 2^31 or more prints negative), floats with "%f".
    explicit C_String(std::int8_t value);
    explicit C_String(std::uint8_t value);
    explicit C_String(std::int16_t value);
    explicit C_String(std::uint16_t value);
    explicit C_String(std::int32_t value);
    explicit C_String(std::uint32_t value);
    explicit C_String(float value);
    explicit C_String(double value);
    ~C_String() override;

    C_String& operator=(const C_String& other);
    C_String& operator=(C_String&& other) noexcept;
    C_String& operator=(const char* source);
    C_String& operator=(std::int8_t value);
    C_String& operator=(std::uint8_t value);
    C_String& operator=(std::int16_t value);
    C_String& operator=(std::uint16_t value);
    C_String& operator=(std::int32_t value);
    C_String& operator=(std::uint32_t value);
    C_String& operator=(float value);
    C_String& operator=(double value);

    /// Releases the text: null text, length 0.
    void Free() override;
    bool LoadFromStream(C_Stream* stream, std::uint32_t flags) override;
    bool SaveToStream(C_Stream* stream, std::uint32_t flags) override;
    std::uint32_t GetClassType() const override { return GFX_CLASS_STRING; }

    /// Never null: the empty text when the string has none.
    const char* CStr() const;
    std::uint32_t Length() const { return length; }

    /// Joining. Append changes this string (false, and unchanged, when memory
    /// cannot be obtained); Concat returns this + other.
    bool Append(const C_String& other);
    bool Append(const char* other);
    C_String Concat(const C_String& other) const;
    C_String& operator+=(const C_String& other);
    C_String operator+(const C_String& other) const { return Concat(other); }

    /// Byte-wise comparison as unsigned values.
    bool operator==(const C_String& other) const;
    bool operator!=(const C_String& other) const { return !(*this == other); }
    bool operator==(const char* other) const;
    bool operator!=(const char* other) const;
    bool operator>(const char* other) const;
    bool operator<(const char* other) const;
    bool operator>=(const char* other) const;
    bool operator<=(const char* other) const;
    bool operator<(const C_String& other) const;
    /// -1, 0 or 1; a null text compares as empty.
    static std::int32_t Compare(const char* a, const char* b);
    static std::int32_t Compare(const C_String& a, const C_String& b);

    /// ASCII case conversion: the result does not depend on the C locale.
    void MakeUpper();
    void MakeLower();
    C_String Upper() const;
    C_String Lower() const;

    /// The leading number, as the C library parses it; 0 when there is none.
    /// Integers out of range give the nearest representable value.
    std::int32_t ToInt() const;
    std::int64_t ToLong() const;
    float ToFloat() const;
    double ToDouble() const;

    /// The first / last n characters (the whole string when n >= length).
    C_String Left(std::uint32_t n) const;
    C_String Right(std::uint32_t n) const;
    /// Up to `count` characters from `start`; empty when start >= length.
    C_String Mid(std::uint32_t start, std::uint32_t count) const;
    /// The characters after the last "."; empty when there is no dot.
    C_String GetExtension() const;

    /// First / last position where `pattern` occurs, or -1. caseSensitive
    /// false compares both sides lowered. The first argument is not used.
    std::int32_t Find(std::int32_t unused, const C_String& pattern, bool caseSensitive) const;
    std::int32_t Find(std::int32_t unused, const char* pattern, bool caseSensitive) const;
    std::int32_t FindLast(std::int32_t unused, const C_String& pattern, bool caseSensitive) const;
    std::int32_t FindLast(std::int32_t unused, const char* pattern, bool caseSensitive) const;

    /// Insert `c` before position `index` (index == length appends) / remove
    /// the character at `index`. Both return the new length; an index out of
    /// range, a zero character or a failed allocation changes nothing.
    std::uint32_t InsertChar(std::uint32_t index, char c);
    std::uint32_t RemoveChar(std::uint32_t index);

    /// Reads the stream from where it stands to its end, dropping carriage
    /// returns (13), so Windows line ends become single line feeds. The
    /// string changes only on success.
    bool LoadText(C_Stream* stream);
    /// LoadText over a file. When the file cannot be opened: error 11, the
    /// string freed (null text) and false.
    bool Load_TXT_FromFile(const C_String& path);
    bool Load_TXT_FromFile(const char* path);

private:
    /// Replaces the text by a copy of `byteCount` bytes of `source` (which
    /// may point into the current text) and a terminator. False, and
    /// unchanged, when memory cannot be obtained; `site` names the operation
    /// in the error record.
    bool Set(const char* source, std::uint32_t byteCount, const char* site);
    /// Set from a zero-terminated text (null gives the empty text).
    bool SetText(const char* source, const char* site);
    /// Replaces the text by the number formatted with "%d" / "%f".
    bool SetNumber(std::int32_t value);
    bool SetNumber(double value);
    /// A new string holding `byteCount` bytes of `source`.
    static C_String Slice(const char* source, std::uint32_t byteCount);
    /// Takes over a block of length + 1 bytes.
    void Adopt(char* block, std::uint32_t newLength);
    std::int32_t Search(const char* pattern, bool caseSensitive, bool fromEnd) const;
};
