#include "core/buffer.h"

#include <new>

#include "core/error.h"
#include "core/memory.h"

void C_Buffer::Init() {
    data = nullptr;
    capacity = 0;
    size = 0;
    reserved = 0;
}

void C_Buffer::Free() {
    if (data) {
        delete[] data;
        Mem_SubUsage(capacity);
    }
    data = nullptr;
    capacity = 0;
    size = 0;
}

bool C_Buffer::Replace(std::uint32_t byteCount, std::uint32_t kept, const char* detail, const char* site) {
    // Obtain the new block before letting go of the old one, so a failure
    // leaves the buffer as it was.
    std::uint8_t* const block = new (std::nothrow) std::uint8_t[byteCount]();
    if (!block) return Gfx_Fail(GFX_ERR_NO_MEMORY, detail, site);
    Mem_AddUsage(byteCount);
    if (data && kept) Mem_Copy(data, block, kept);
    C_Buffer::Free();
    data = block;
    capacity = byteCount;
    return true;
}

bool C_Buffer::Allocate(std::uint32_t byteCount, bool keep, bool /*zero*/) {
    if (byteCount == 0) {
        C_Buffer::Free();
        return true;
    }
    const std::uint32_t kept = keep ? (size < byteCount ? size : byteCount) : 0;
    if (!Replace(byteCount, kept, "C_Buffer::Allocate{data}", "C_Buffer::Allocate")) return false;
    size = byteCount;
    return true;
}

bool C_Buffer::Resize(std::uint32_t byteCount, bool keep, bool /*unused*/) {
    if (byteCount > capacity) {
        const std::uint32_t kept = keep ? size : 0;
        if (!Replace(byteCount, kept, "C_Buffer::Resize{data}", "C_Buffer::Resize")) return false;
    }
    size = byteCount;
    return true;
}
