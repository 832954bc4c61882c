#include "core/list.h"

#include <new>

#include "core/error.h"
#include "core/memory.h"

namespace {

constexpr std::uint32_t kSlotBytes = sizeof(C_Object*);

// The capacity the doubling rule reaches for `needed` elements, starting from
// `capacity` (a missing array starts at one slot). 0 when it would overflow.
std::uint32_t DoubledCapacity(std::uint32_t capacity, std::uint64_t needed) {
    std::uint64_t grown = capacity ? capacity : 1;
    while (grown < needed) grown *= 2;
    return grown <= UINT32_MAX / kSlotBytes ? static_cast<std::uint32_t>(grown) : 0;
}

}  // namespace

void C_List::Init() {
    items = nullptr;
    capacity = 0;
    count = 0;
}

void C_List::Free() {
    if (items) {
        delete[] items;
        Mem_SubUsage(capacity * kSlotBytes);
    }
    Init();
}

bool C_List::Grow(std::uint32_t newCapacity, bool forTakeAll) {
    C_Object** bigger = newCapacity ? new (std::nothrow) C_Object*[newCapacity]() : nullptr;
    if (!bigger) {
        return forTakeAll ? Gfx_Fail(GFX_ERR_NO_MEMORY, "C_List::TakeAll{items}", "C_List::TakeAll")
                          : Gfx_Fail(GFX_ERR_NO_MEMORY, "C_List::Insert{items}", "C_List::Insert");
    }
    Mem_AddUsage(newCapacity * kSlotBytes);
    for (std::uint32_t i = 0; i < count; ++i) bigger[i] = items[i];
    const std::uint32_t kept = count;
    C_List::Free();
    items = bigger;
    capacity = newCapacity;
    count = kept;
    return true;
}

bool C_List::Insert(C_Object* element, std::uint32_t index) {
    if (!items || count + std::uint64_t{1} > capacity) {
        if (!Grow(DoubledCapacity(capacity, std::uint64_t{count} + 1), false)) return false;
    }
    if (index > count) index = count;
    for (std::uint32_t i = count; i > index; --i) items[i] = items[i - 1];
    items[index] = element;
    ++count;
    return true;
}

bool C_List::TakeAll(C_List* other) {
    if (!other || other == this) return false;
    const std::uint32_t moved = other->count;
    if (moved) {
        const std::uint64_t total = std::uint64_t{count} + moved;
        if (!items || total > capacity) {
            // Grow once to the size element-by-element insertion would reach,
            // so a failure leaves both lists untouched.
            if (!Grow(DoubledCapacity(capacity, total), true)) return false;
        }
        for (std::uint32_t i = count; i-- > 0;) items[i + moved] = items[i];
        for (std::uint32_t i = 0; i < moved; ++i) items[moved - 1 - i] = other->items[i];
        count += moved;
    }
    delete other;  // frees only its array
    return true;
}

C_Object* C_List::RemoveAt(std::uint32_t index) {
    if (!items || index >= count) return nullptr;
    C_Object* const element = items[index];
    if (count == 1) {
        Free();
        Init();
        return element;
    }
    for (std::uint32_t i = index; i + 1 < count; ++i) items[i] = items[i + 1];
    items[--count] = nullptr;
    return element;
}

C_Object* C_List::SetAt(C_Object* element, std::uint32_t index) {
    if (!items || index >= count) return nullptr;
    C_Object* const old = items[index];
    items[index] = element;
    return old;
}

bool C_List::MoveUp(std::uint32_t index) {
    if (!items || index == 0 || index >= count) return false;
    C_Object* const t = items[index - 1];
    items[index - 1] = items[index];
    items[index] = t;
    return true;
}

bool C_List::MoveDown(std::uint32_t index) {
    if (!items || std::uint64_t{index} + 1 >= count) return false;
    C_Object* const t = items[index + 1];
    items[index + 1] = items[index];
    items[index] = t;
    return true;
}

C_Object* C_List::GetAt(std::uint32_t index) const { return items && index < count ? items[index] : nullptr; }

std::uint32_t C_List::DeleteAll() {
    for (std::uint32_t i = 0; items && i < count; ++i) {
        C_Object* const element = items[i];
        if (!element) continue;
        // Null the slot first: a second DeleteAll, or a look-up from an
        // element's destructor, must not see a dangling pointer.
        items[i] = nullptr;
        element->Free();
        element->Init();
        delete element;
    }
    return count;
}

void C_List::Clear() {
    Free();
    Init();
}
