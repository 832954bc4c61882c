#include "core/memory.h"

#include <atomic>
#include <cstring>

namespace {

// Atomic: buffers are made and freed on any thread.
std::atomic<std::uint32_t> g_current{0};
std::atomic<std::uint32_t> g_peak{0};

// Stores `unit` (of `unitBytes` bytes, little-endian) `copies` times. The
// pattern is widened once and written with memcpy so the compiler can emit
// wide stores.
void FillPattern(std::uint8_t* dst, std::size_t copies, std::uint32_t unit, std::size_t unitBytes) {
    std::uint8_t pattern[12];
    for (std::size_t i = 0; i < sizeof pattern; ++i)
        pattern[i] = static_cast<std::uint8_t>(unit >> (8 * (i % unitBytes)));
    const std::size_t total = copies * unitBytes;
    const std::size_t block = unitBytes == 3 ? 12 : 4;
    std::size_t done = 0;
    for (; done + block <= total; done += block) std::memcpy(dst + done, pattern, block);
    if (done < total) std::memcpy(dst + done, pattern, total - done);
}

}  // namespace

void Mem_AddUsage(std::uint32_t bytes) {
    const std::uint32_t now = g_current.fetch_add(bytes, std::memory_order_relaxed) + bytes;
    std::uint32_t peak = g_peak.load(std::memory_order_relaxed);
    while (now > peak && !g_peak.compare_exchange_weak(peak, now, std::memory_order_relaxed)) {}
}

void Mem_SubUsage(std::uint32_t bytes) { g_current.fetch_sub(bytes, std::memory_order_relaxed); }

Mem_Usage Mem_GetUsage() { return {g_current.load(std::memory_order_relaxed), g_peak.load(std::memory_order_relaxed)}; }

bool Mem_Copy(const void* source, void* destination, std::size_t byteCount) {
    // memmove costs the same and turns an accidental overlap (scrolling an
    // image in place) into a defined copy instead of corruption.
    if (byteCount) std::memmove(destination, source, byteCount);
    return true;
}

bool Mem_Compare(const void* a, const void* b, std::size_t byteCount) {
    return byteCount == 0 || std::memcmp(a, b, byteCount) == 0;
}

bool Mem_Zero(void* destination, std::size_t byteCount) {
    if (byteCount) std::memset(destination, 0, byteCount);
    return true;
}

bool Mem_Fill8(void* destination, std::size_t byteCount, std::uint8_t value) {
    if (byteCount) std::memset(destination, value, byteCount);
    return true;
}

bool Mem_Fill16(void* destination, std::size_t byteCount, std::uint16_t value) {
    auto* dst = static_cast<std::uint8_t*>(destination);
    FillPattern(dst, byteCount / 2, value, 2);
    if (byteCount & 1) dst[byteCount - 1] = 0;
    return true;
}

bool Mem_Fill24(void* destination, std::size_t byteCount, std::uint32_t value) {
    FillPattern(static_cast<std::uint8_t*>(destination), byteCount / 3, value & 0xFFFFFF, 3);
    return true;
}

bool Mem_Fill32(void* destination, std::size_t byteCount, std::uint32_t value) {
    auto* dst = static_cast<std::uint8_t*>(destination);
    FillPattern(dst, byteCount / 4, value, 4);
    for (std::size_t i = byteCount & ~std::size_t{3}; i < byteCount; ++i) dst[i] = 0;
    return true;
}

std::int32_t Mem_GetByteOrder(void* scratch) {
    auto* bytes = static_cast<std::uint8_t*>(scratch);
    const std::uint8_t saved[2] = {bytes[0], bytes[1]};
    const std::uint16_t probe = 0x0A0B;
    std::memcpy(bytes, &probe, 2);
    const std::int32_t order = (bytes[0] == 0x0B && bytes[1] == 0x0A) ? 2 : 3;
    bytes[0] = saved[0];
    bytes[1] = saved[1];
    return order;
}
