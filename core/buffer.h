/// @file
/// A resizable block of raw bytes: a font's index table, the blitters' work
/// memory. The block is counted in the memory-usage counter.
#pragma once

#include <cstdint>

#include "object.h"

/// A resizable byte block whose bytes always read as zero until written.
class C_Buffer : public C_Object {
public:
    std::uint8_t* data;      ///< owned; null while empty
    std::uint32_t capacity;  ///< bytes allocated
    std::uint32_t size;      ///< bytes in use
    std::uint32_t reserved;  ///< 0; kept for the owners of the block

    C_Buffer() { C_Buffer::Init(); }
    ~C_Buffer() override { C_Buffer::Free(); }
    C_Buffer(const C_Buffer&) = delete;
    C_Buffer& operator=(const C_Buffer&) = delete;

    /// Releases the block and leaves the buffer empty, so a second Free or
    /// the destructor after it is harmless. `reserved` is left alone.
    void Free() override;
    void Init() override;

    /// A block of exactly `byteCount` bytes (capacity = size = byteCount).
    /// keep: the first min(size, byteCount) bytes are carried over. Every
    /// newly obtained byte reads as zero whatever `zero` says, so contents
    /// never depend on the allocator. 0 bytes empties the buffer. False (the
    /// old block kept, error 3 recorded) when memory cannot be obtained.
    bool Allocate(std::uint32_t byteCount, bool keep, bool zero);
    /// Sets `size`; the block is replaced only when it must grow and never
    /// shrinks, so per-draw calls do not reallocate. keep: the old `size`
    /// bytes are carried over into a grown block. New bytes read as zero.
    /// The third argument is not used. False as for Allocate.
    bool Resize(std::uint32_t byteCount, bool keep, bool unused = false);

private:
    /// A zeroed block of `byteCount` bytes holding the first `kept` bytes of
    /// the old one, swapped in for it.
    bool Replace(std::uint32_t byteCount, std::uint32_t kept, const char* detail, const char* site);
};
