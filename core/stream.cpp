#include "core/stream.h"

#include <cstdlib>
#include <cstring>
#include <limits>

C_Stream::~C_Stream() {
    CloseFile();
    std::free(buffer);
}

bool C_Stream::OpenFileRead(const char* path) {
    CloseFile();
    kind = GFX_STREAM_FILE_READ;
    eof = false;
    file = path ? std::fopen(path, "rb") : nullptr;
    return file != nullptr;
}

bool C_Stream::OpenFileWrite(const char* path) {
    CloseFile();
    kind = GFX_STREAM_FILE_WRITE;
    eof = false;
    file = path ? std::fopen(path, "wb") : nullptr;
    return file != nullptr;
}

bool C_Stream::OpenMemoryRead() {
    CloseFile();  // a file left open here would never be closed
    kind = GFX_STREAM_MEMORY_READ;
    offset = 0;
    eof = false;
    return true;
}

bool C_Stream::OpenMemoryRead(const void* data, std::uint32_t byteCount) {
    if (!data && byteCount) return false;
    std::uint8_t* copy = nullptr;
    if (byteCount) {
        copy = static_cast<std::uint8_t*>(std::malloc(byteCount));
        if (!copy) return false;
        std::memcpy(copy, data, byteCount);
    }
    std::free(buffer);
    buffer = copy;
    size = capacity = byteCount;
    return OpenMemoryRead();
}

bool C_Stream::OpenMemoryWrite() {
    CloseFile();
    kind = GFX_STREAM_MEMORY_WRITE;
    offset = 0;
    eof = false;
    return true;
}

bool C_Stream::CloseFile() {
    if (kind != GFX_STREAM_FILE_READ && kind != GFX_STREAM_FILE_WRITE) return false;
    const bool ok = file != nullptr && std::fclose(file) == 0;
    file = nullptr;
    kind = GFX_STREAM_CLOSED;
    return ok;
}

bool C_Stream::Close() {
    if ((kind == GFX_STREAM_MEMORY_READ || kind == GFX_STREAM_MEMORY_WRITE) && buffer) {
        std::free(buffer);
        buffer = nullptr;
        size = capacity = offset = 0;
        kind = GFX_STREAM_CLOSED;
    }
    return CloseFile();
}

std::size_t C_Stream::ReadBytes(C_Stream* stream, void* destination, std::size_t byteCount) {
    if (byteCount == 0) return 0;
    std::size_t got = 0;
    if (stream && stream->kind == GFX_STREAM_FILE_READ && stream->file) {
        got = std::fread(destination, 1, byteCount, stream->file);
    } else if (stream && stream->kind == GFX_STREAM_MEMORY_READ && stream->buffer) {
        const std::size_t left = stream->size > stream->offset ? stream->size - stream->offset : 0;
        got = byteCount < left ? byteCount : left;
        std::memcpy(destination, stream->buffer + stream->offset, got);
        stream->offset += static_cast<std::uint32_t>(got);
    }
    if (got < byteCount) {
        // Never hand out stale bytes: what could not be read reads as zero.
        std::memset(static_cast<std::uint8_t*>(destination) + got, 0, byteCount - got);
        if (stream) stream->eof = true;
    }
    return got;
}

std::size_t C_Stream::WriteBytes(C_Stream* stream, const void* source, std::size_t byteCount) {
    if (!stream || byteCount == 0) return 0;
    if (stream->kind == GFX_STREAM_FILE_WRITE && stream->file) return std::fwrite(source, 1, byteCount, stream->file);
    if (stream->kind != GFX_STREAM_MEMORY_WRITE) return 0;
    constexpr std::uint64_t kLimit = std::numeric_limits<std::uint32_t>::max();
    const std::uint64_t end = std::uint64_t{stream->offset} + byteCount;
    if (end > kLimit) return 0;
    if (!stream->buffer || end > stream->capacity) {
        // Grow to twice what is needed so many small writes cost amortised
        // constant time per byte.
        std::uint64_t grown = stream->buffer ? (std::uint64_t{stream->capacity} + byteCount) * 2 : byteCount;
        if (grown < end) grown = end;
        if (grown > kLimit) grown = kLimit;
        auto* bigger = static_cast<std::uint8_t*>(std::realloc(stream->buffer, grown));
        if (!bigger) return 0;
        stream->buffer = bigger;
        stream->capacity = static_cast<std::uint32_t>(grown);
    }
    std::memcpy(stream->buffer + stream->offset, source, byteCount);
    stream->offset = static_cast<std::uint32_t>(end);
    if (stream->offset > stream->size) stream->size = stream->offset;
    return byteCount;
}

std::uint32_t C_Stream::Read(void* destination, std::uint32_t elementSize, std::uint32_t count, C_Stream* stream) {
    const std::size_t bytes = std::size_t{elementSize} * count;
    if (!stream || bytes == 0) return 0;
    if (stream->kind == GFX_STREAM_FILE_READ) {
        return static_cast<std::uint32_t>(ReadBytes(stream, destination, bytes) / elementSize);
    }
    if (stream->kind == GFX_STREAM_MEMORY_READ) {
        if (!stream->buffer) return 0;
        return static_cast<std::uint32_t>(ReadBytes(stream, destination, bytes));
    }
    return 0;
}

std::uint32_t C_Stream::Write(const void* source, std::uint32_t elementSize, std::uint32_t count, C_Stream* stream) {
    const std::size_t bytes = std::size_t{elementSize} * count;
    if (!stream || bytes == 0) return 0;
    if (stream->kind == GFX_STREAM_FILE_WRITE) {
        return static_cast<std::uint32_t>(WriteBytes(stream, source, bytes) / elementSize);
    }
    if (stream->kind == GFX_STREAM_MEMORY_WRITE) return static_cast<std::uint32_t>(WriteBytes(stream, source, bytes));
    return 0;
}

int C_Stream::Seek(C_Stream* stream, long offset, int origin) {
    if (!stream || !stream->file) return 0;
    if (stream->kind != GFX_STREAM_FILE_READ && stream->kind != GFX_STREAM_FILE_WRITE) return 0;
    const int result = std::fseek(stream->file, offset, origin);
    if (result == 0) stream->eof = false;
    return result;
}

int C_Stream::IsEof(C_Stream* stream) {
    if (!stream) return 0;
    if (stream->kind == GFX_STREAM_FILE_READ || stream->kind == GFX_STREAM_FILE_WRITE)
        // The own flag as well: Remaining seeks, which clears the C library's.
        return stream->file ? ((stream->eof || std::feof(stream->file)) ? 1 : 0) : 0;
    if (stream->kind == GFX_STREAM_MEMORY_READ || stream->kind == GFX_STREAM_MEMORY_WRITE) return stream->eof ? 1 : 0;
    return 0;
}

std::uint8_t C_Stream::ReadByte(C_Stream* stream) {
    std::uint8_t value = 0;
    ReadBytes(stream, &value, 1);
    return value;
}

std::uint64_t C_Stream::Remaining(C_Stream* stream) {
    if (!stream) return 0;
    if (stream->kind == GFX_STREAM_MEMORY_READ)
        return stream->size > stream->offset ? stream->size - stream->offset : 0;
    if (stream->kind != GFX_STREAM_FILE_READ || !stream->file) return 0;
    const long here = std::ftell(stream->file);
    if (here < 0 || std::fseek(stream->file, 0, SEEK_END) != 0) return 0;
    const long end = std::ftell(stream->file);
    std::fseek(stream->file, here, SEEK_SET);
    return end > here ? static_cast<std::uint64_t>(end - here) : 0;
}
