/// @file
/// An ordered, growable array of object pointers: the planes of a surface,
/// the faces of a font, the children of a window.
#pragma once

#include <cstdint>

#include "object.h"

/// The list holds pointers only; it deletes its elements just when told to
/// (DeleteAll). Its slot array is counted in the memory-usage counter.
class C_List : public C_Object {
public:
    C_Object** items;        ///< null while the list has no array
    std::uint32_t capacity;  ///< slots in `items`
    std::uint32_t count;     ///< elements in use

    C_List() { C_List::Init(); }
    ~C_List() override { C_List::Free(); }
    C_List(const C_List&) = delete;
    C_List& operator=(const C_List&) = delete;

    /// Releases the array (never the elements) and leaves the list empty, so a
    /// second Free or the destructor after it is harmless.
    void Free() override;
    void Init() override;
    /// Shares its id with the font: lists are never serialised.
    std::uint32_t GetClassType() const override { return 5; }

    /// Stores `element` at `index`, moving later elements up; an index past
    /// the end appends. The array doubles when full. False (list unchanged,
    /// error 3 recorded) when memory cannot be obtained.
    bool Insert(C_Object* element, std::uint32_t index);
    bool Append(C_Object* element) { return Insert(element, count); }
    /// Moves every element of `other` to the front of this list, in reverse
    /// order (A, B, C into X gives C, B, A, X), then deletes `other`, which
    /// must have been made with new. False, and nothing moved or deleted, when
    /// `other` is null or this list, or memory cannot be obtained.
    bool TakeAll(C_List* other);
    /// Takes the element out (not deleted); null when out of range. Removing
    /// the last element releases the array.
    C_Object* RemoveAt(std::uint32_t index);
    /// Replaces the element; returns the old one (not deleted), or null when
    /// out of range.
    C_Object* SetAt(C_Object* element, std::uint32_t index);
    /// Swap with the previous / next element; false at the ends.
    bool MoveUp(std::uint32_t index);
    bool MoveDown(std::uint32_t index);
    C_Object* GetAt(std::uint32_t index) const;
    std::uint32_t Count() const { return count; }
    /// Frees, resets and deletes every element and nulls its slot; `count` is
    /// left alone. Returns `count`.
    std::uint32_t DeleteAll();
    /// Back to the empty state (Free, then Init).
    void Clear();

private:
    /// Replaces the array by one of `newCapacity` slots holding the current
    /// elements. False (nothing changed) when memory cannot be obtained.
    bool Grow(std::uint32_t newCapacity, bool forTakeAll);
};
