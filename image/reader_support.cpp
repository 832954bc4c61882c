#include "image/internal/reader_support.h"

#include <cctype>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "core/error.h"
#include "core/memory.h"
#include "core/stream.h"
#include "image/image.h"

namespace {

// The stream's own position, or 0 for kinds that cannot be read.
std::uint64_t StreamTell(C_Stream* stream) {
    if (!stream) return 0;
    if (stream->kind == GFX_STREAM_MEMORY_READ) return stream->offset;
    if (stream->kind == GFX_STREAM_FILE_READ && stream->file) {
        const long here = std::ftell(stream->file);
        return here > 0 ? static_cast<std::uint64_t>(here) : 0;
    }
    return 0;
}

}  // namespace

C_ByteSource::C_ByteSource(C_Stream* stream) : m_stream(stream) {
    m_start = StreamTell(stream);
    m_size = C_Stream::Remaining(stream);
    m_streamPos = m_start;
}

C_ByteSource::~C_ByteSource() { PlaceStream(m_start + Position()); }

bool C_ByteSource::PlaceStream(std::uint64_t absolute) {
    if (absolute == m_streamPos) return true;
    if (!m_stream) return false;
    if (m_stream->kind == GFX_STREAM_MEMORY_READ) {
        // Memory streams have no seek of their own; their offset is the
        // position.
        if (absolute > m_stream->size) return false;
        m_stream->offset = static_cast<std::uint32_t>(absolute);
        m_stream->eof = false;
    } else {
        if (absolute > static_cast<std::uint64_t>(LONG_MAX)) return false;
        if (C_Stream::Seek(m_stream, static_cast<long>(absolute), SEEK_SET) != 0) return false;
    }
    m_streamPos = absolute;
    return true;
}

bool C_ByteSource::Refill() {
    const std::uint64_t pos = Position();
    const std::uint64_t left = m_size - pos;
    if (left == 0 || !PlaceStream(m_start + pos)) return false;
    const std::size_t want = left < kBufferSize ? static_cast<std::size_t>(left) : kBufferSize;
    const std::size_t got = C_Stream::ReadBytes(m_stream, m_buffer, want);
    m_streamPos += got;
    m_bufferPos = pos;
    m_next = m_buffer;
    m_end = m_buffer + got;
    return got != 0;
}

bool C_ByteSource::Read(void* destination, std::size_t byteCount) {
    if (byteCount > Left()) return false;
    auto* out = static_cast<std::uint8_t*>(destination);
    const auto buffered = static_cast<std::size_t>(m_end - m_next);
    if (byteCount <= buffered) {
        std::memcpy(out, m_next, byteCount);
        m_next += byteCount;
        return true;
    }
    std::memcpy(out, m_next, buffered);
    m_next += buffered;
    out += buffered;
    byteCount -= buffered;
    if (byteCount >= kBufferSize) {
        // Large blocks (whole rows, palettes) go straight to the caller.
        const std::uint64_t pos = Position();
        if (!PlaceStream(m_start + pos)) return false;
        const std::size_t got = C_Stream::ReadBytes(m_stream, out, byteCount);
        m_streamPos += got;
        m_bufferPos = pos + got;
        m_next = m_end = m_buffer;
        return got == byteCount;
    }
    if (!Refill() || static_cast<std::size_t>(m_end - m_next) < byteCount) return false;
    std::memcpy(out, m_next, byteCount);
    m_next += byteCount;
    return true;
}

bool C_ByteSource::Skip(std::uint64_t byteCount) {
    if (byteCount > Left()) return false;
    return SeekTo(Position() + byteCount);
}

bool C_ByteSource::SeekTo(std::uint64_t position) {
    if (position > m_size) return false;
    const std::uint64_t bufferEnd = m_bufferPos + static_cast<std::uint64_t>(m_end - m_buffer);
    if (position >= m_bufferPos && position <= bufferEnd) {
        m_next = m_buffer + (position - m_bufferPos);
        return true;
    }
    // Outside the buffer: drop it; the next read places the stream.
    m_bufferPos = position;
    m_next = m_end = m_buffer;
    return true;
}

bool Gfx_Image_AllocPixels(C_Image& image, std::uint64_t byteCount, bool zero) {
    if (byteCount > std::numeric_limits<std::uint32_t>::max()) return false;
    if (byteCount == 0) return true;
    const auto bytes = static_cast<std::size_t>(byteCount);
    void* p = zero ? std::calloc(bytes, 1) : std::malloc(bytes);
    if (!p) return false;
    image.data = static_cast<std::uint8_t*>(p);
    image.dataSize = static_cast<std::uint32_t>(byteCount);
    image.locked = 0;
    Mem_AddUsage(image.dataSize);
    return true;
}

bool Gfx_Image_AllocPalette(C_Image& image, std::uint32_t byteCount) {
    if (byteCount == 0) return true;
    void* p = std::calloc(byteCount, 1);
    if (!p) return false;
    image.m_palette = static_cast<std::uint8_t*>(p);
    image.paletteSize = byteCount;
    Mem_AddUsage(byteCount);
    return true;
}

void Gfx_Image_Reset(C_Image& image) {
    image.Free();
    image.Init();
}

bool Gfx_Image_Refuse(C_Image& image, std::int32_t code, const char* detail, const char* site, const char* reason,
                      ...) {
    Gfx_Image_Reset(image);
    Gfx_Fail(code, detail, site);
    char text[256] = {};
    va_list args;
    va_start(args, reason);
    std::vsnprintf(text, sizeof text, reason, args);
    va_end(args);
    Gfx_SetErrorReason("%s", text);
    return false;
}

std::string Gfx_UpperExtension(const char* fileName) {
    const char* name = fileName;
    for (const char* p = fileName; *p; ++p)
        if (*p == '/' || *p == '\\') name = p + 1;
    const char* dot = std::strrchr(name, '.');
    std::string ext = dot ? dot + 1 : "";
    for (char& c : ext) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return ext;
}
