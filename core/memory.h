/// @file
/// Raw memory helpers and the process-wide memory-usage counter (atomic: it
/// counts the buffers of every thread).
#pragma once

#include <cstddef>
#include <cstdint>

/// The memory-usage counter: bytes held by images, lists and buffers.
struct Mem_Usage {
    std::uint32_t memCurrent;  ///< bytes held now by images, lists and buffers
    std::uint32_t memPeak;     ///< the highest memCurrent seen
};

/// Moves the counter; the owners of buffers call these.
void Mem_AddUsage(std::uint32_t bytes);
void Mem_SubUsage(std::uint32_t bytes);  ///< wraps; memPeak unchanged
/// The counter now.
Mem_Usage Mem_GetUsage();

/// Note the argument order: source first. Overlapping ranges are copied as if
/// through a temporary.
bool Mem_Copy(const void* source, void* destination, std::size_t byteCount);
/// True when the two ranges hold the same bytes.
bool Mem_Compare(const void* a, const void* b, std::size_t byteCount);
/// Fill helpers; false only for a null destination.
bool Mem_Zero(void* destination, std::size_t byteCount);
bool Mem_Fill8(void* destination, std::size_t byteCount, std::uint8_t value);
/// Whole 16-bit copies; an odd last byte is set to 0.
bool Mem_Fill16(void* destination, std::size_t byteCount, std::uint16_t value);
/// Whole 3-byte copies of the low three bytes (low byte first); a partial copy
/// at the end is left untouched.
bool Mem_Fill24(void* destination, std::size_t byteCount, std::uint32_t value);
/// Whole 32-bit copies; the 0 to 3 remaining bytes are set to 0.
bool Mem_Fill32(void* destination, std::size_t byteCount, std::uint32_t value);

/// 2 on a little-endian host, 3 on a big-endian one. `scratch` must point to
/// two writable bytes; they are restored.
std::int32_t Mem_GetByteOrder(void* scratch);
constexpr std::int32_t Mem_HostByteOrder() { return 2; }
