// Shared machinery of the image file readers: bounded, buffered reading from
// a stream, and the allocation of an image's buffers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <type_traits>

struct C_Stream;
class C_Image;

// Reads a stream through a small buffer, knowing from the start how many
// bytes the stream holds, so a reader can compare what a header promises with
// what is really there before it allocates. Positions count from where the
// stream stood when the source was made; the source can move backwards and
// forwards within the data, also on memory streams, which cannot seek
// themselves. When the source goes away the stream is left just after the
// last byte consumed.
class C_ByteSource {
public:
    explicit C_ByteSource(C_Stream* stream);
    ~C_ByteSource();
    C_ByteSource(const C_ByteSource&) = delete;
    C_ByteSource& operator=(const C_ByteSource&) = delete;

    std::uint64_t Position() const { return m_bufferPos + static_cast<std::uint64_t>(m_next - m_buffer); }
    std::uint64_t Size() const { return m_size; }
    std::uint64_t Left() const { return m_size - Position(); }

    // Each transfer is all or nothing from the caller's view: false when the
    // data ends first.
    bool ReadByte(std::uint8_t& value) {
        if (m_next == m_end && !Refill()) return false;
        value = *m_next++;
        return true;
    }
    bool Read(void* destination, std::size_t byteCount);
    template <typename T>
    bool ReadValue(T& value) {
        static_assert(std::is_trivially_copyable_v<T>);
        return Read(&value, sizeof(T));
    }
    bool Skip(std::uint64_t byteCount);
    bool SeekTo(std::uint64_t position);

private:
    bool Refill();
    bool PlaceStream(std::uint64_t absolute);

    static constexpr std::size_t kBufferSize = 4096;
    C_Stream* m_stream;
    std::uint64_t m_start = 0;      // stream position of Position() 0
    std::uint64_t m_size = 0;       // bytes from m_start to the end
    std::uint64_t m_streamPos = 0;  // where the stream itself stands, absolute
    std::uint64_t m_bufferPos = 0;  // Position() of m_buffer[0]
    std::uint8_t m_buffer[kBufferSize];
    const std::uint8_t* m_next = m_buffer;
    const std::uint8_t* m_end = m_buffer;
};

// Gives `image` a counted pixel buffer of `byteCount` bytes (zeroed when
// `zero`) and sets `dataSize`. False when the memory cannot be had; the image
// then has no buffer.
bool Gfx_Image_AllocPixels(C_Image& image, std::uint64_t byteCount, bool zero);
// The same for a zeroed palette of `byteCount` bytes.
bool Gfx_Image_AllocPalette(C_Image& image, std::uint32_t byteCount);
// Empties the image: buffers released, every field at its empty value.
void Gfx_Image_Reset(C_Image& image);

// A channel value of `bits` bits as 8 bits the way viewers show it: narrower
// values repeat their own bits below themselves (5-bit 16 gives 132, 1-bit 1
// gives 255), wider ones keep their top 8 bits. 0 bits give 0.
inline std::uint8_t Gfx_Widen8(std::uint32_t value, std::uint32_t bits) {
    if (bits == 0) return 0;
    if (bits >= 8) return static_cast<std::uint8_t>(value >> (bits - 8));
    std::uint32_t v = (value << (8 - bits)) & 0xFFu;
    for (std::uint32_t have = bits; have < 8; have *= 2) v |= v >> have;
    return static_cast<std::uint8_t>(v);
}

// The most pixels a reader takes: 2^28, 1 GiB in a 32-bit format. Larger
// headers are refused before anything is allocated.
inline constexpr std::uint64_t GFX_READER_MAX_PIXELS = std::uint64_t{1} << 28;

// A reader's refusal: empties the image, records `code` with `detail` and the
// summary line of `site`, then sets the plain-words reason (a printf format,
// without the file's name). Returns false.
bool Gfx_Image_Refuse(C_Image& image, std::int32_t code, const char* detail, const char* site, const char* reason, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 5, 6)))
#endif
    ;

/// The text after the last "." of the file name (not of a folder in its
/// path), in upper case; empty when there is none.
std::string Gfx_UpperExtension(const char* fileName);
