/// @file
/// The one channel through which objects and files are read and written: a
/// file opened for reading or writing, or a memory buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <type_traits>

enum : std::int32_t {
    GFX_STREAM_CLOSED = 0,
    GFX_STREAM_FILE_READ = 1,
    GFX_STREAM_FILE_WRITE = 2,
    GFX_STREAM_MEMORY_READ = 3,
    GFX_STREAM_MEMORY_WRITE = 4,
};

/// A byte stream over a file or an owned memory buffer. Every transfer
/// is a static function that accepts a null stream.
struct C_Stream {
    std::uint32_t size = 0;          ///< memory streams: bytes in `buffer`
    std::uint32_t capacity = 0;      ///< memory streams: bytes allocated for `buffer`
    std::uint32_t offset = 0;        ///< memory streams: position of the next transfer
    std::uint8_t* buffer = nullptr;  ///< memory streams: the data, owned by the stream
    std::FILE* file = nullptr;       ///< file streams
    std::int32_t kind = GFX_STREAM_CLOSED;
    bool eof = false;  ///< a read asked for more than was left

    C_Stream() = default;
    C_Stream(const C_Stream&) = delete;
    C_Stream& operator=(const C_Stream&) = delete;
    ~C_Stream();

    bool OpenFileRead(const char* path);
    bool OpenFileWrite(const char* path);
    /// Reads from the bytes already in the buffer (for example those just
    /// written), from the start.
    bool OpenMemoryRead();
    /// Reads from a copy of `byteCount` bytes of `data`.
    bool OpenMemoryRead(const void* data, std::uint32_t byteCount);
    /// Appends to the buffer from offset 0 on.
    bool OpenMemoryWrite();
    bool CloseFile();
    bool Close();

    /// The bytes of a memory stream, for handing written data to a caller.
    const std::uint8_t* Data() const { return buffer; }
    std::uint32_t Size() const { return size; }

    /// The transfers. Each accepts a null stream and then does nothing.
    /// Read returns whole elements for files and bytes for memory; a short
    /// read fills the rest of `destination` with zeros.
    static std::uint32_t Read(void* destination, std::uint32_t elementSize, std::uint32_t count, C_Stream* stream);
    static std::uint32_t Write(const void* source, std::uint32_t elementSize, std::uint32_t count, C_Stream* stream);
    static int Seek(C_Stream* stream, long offset, int origin);
    static int IsEof(C_Stream* stream);
    /// The next byte; 0 when nothing is left (the stream then reports IsEof).
    static std::uint8_t ReadByte(C_Stream* stream);
    /// Bytes a reading stream still holds; 0 for every other kind. Readers
    /// compare a header's promises with this before they allocate.
    static std::uint64_t Remaining(C_Stream* stream);

    /// Exact-size helpers for readers and writers: true only when all bytes of
    /// the value moved. A failed read leaves `value` zero.
    template <typename T>
    static bool ReadValue(C_Stream* stream, T& value) {
        static_assert(std::is_trivially_copyable_v<T>);
        return ReadBytes(stream, &value, sizeof(T)) == sizeof(T);
    }
    template <typename T>
    static bool WriteValue(C_Stream* stream, const T& value) {
        static_assert(std::is_trivially_copyable_v<T>);
        return WriteBytes(stream, &value, sizeof(T)) == sizeof(T);
    }
    /// Byte counts, whatever the stream kind.
    static std::size_t ReadBytes(C_Stream* stream, void* destination, std::size_t byteCount);
    static std::size_t WriteBytes(C_Stream* stream, const void* source, std::size_t byteCount);
};
