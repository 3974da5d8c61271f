// The parent table through which a tree is rebuilt from a pre-order list of
// items with depths: slot k holds the item under which an item of depth k + 1
// goes. Window-free, so it is unit-tested natively.
#pragma once

#include <array>

#include "store/favorites_format.h"

template <class Handle>
class ParentTable {
public:
    static constexpr unsigned kSlots = favfmt::kMaxDepth;  // depths 1 to 101

    // Every depth starts under the parent of the whole sequence.
    void Reset(Handle parent) { m_slots.fill(parent); }

    // Depths beyond the table hang under its last slot, never outside it.
    // Depth 0 has no parent; callers refuse it before asking.
    Handle ParentFor(unsigned depth) const {
        const unsigned slot = depth == 0 ? 0 : (depth > kSlots ? kSlots : depth) - 1;
        return m_slots[slot];
    }

    // After an insertion at this depth, every deeper depth hangs under the
    // new item, so a jump of several levels lands under the latest item.
    void Inserted(unsigned depth, Handle item) {
        if (depth == 0 || depth >= kSlots) return;
        for (unsigned slot = depth; slot < kSlots; ++slot) m_slots[slot] = item;
    }

private:
    std::array<Handle, kSlots> m_slots{};
};
