#include "collection/AddressTable.h"

#include <new>
#include <utility>

namespace corvid {

CAddressTable::CAddressTable(std::size_t expected) {
    std::size_t capacity = 16;
    while (capacity < expected * 2) capacity *= 2;
    m_Slots.resize(capacity);
}

std::size_t CAddressTable::SlotOf(const CPackedText& address) const {
    const std::size_t mask = m_Slots.size() - 1;
    std::uint64_t h = address.KeyBits() * 0x9E3779B97F4A7C15ull;
    h ^= h >> 29;
    for (std::size_t i = h & mask;; i = (i + 1) & mask) {
        const SSlot& slot = m_Slots[i];
        if (slot.place == 0 || slot.address.SameText(address)) return i;
    }
}

void CAddressTable::Grow() {
    std::vector<SSlot> old(m_Slots.size() * 2);
    old.swap(m_Slots);
    for (SSlot& slot : old)
        if (slot.place != 0) m_Slots[SlotOf(slot.address)] = std::move(slot);
}

std::size_t CAddressTable::Add(const CPackedText& address, std::size_t place) {
    if (place >= 0xFFFFFFFFu) throw std::bad_alloc();
    if ((m_Count + 1) * 2 > m_Slots.size()) Grow();
    SSlot& slot = m_Slots[SlotOf(address)];
    if (slot.place != 0) return slot.place - 1;
    slot.address = address;
    slot.place = static_cast<std::uint32_t>(place + 1);
    ++m_Count;
    return place;
}

std::size_t CAddressTable::Find(const CPackedText& address) const {
    const SSlot& slot = m_Slots[SlotOf(address)];
    return slot.place == 0 ? npos : slot.place - 1;
}

}  // namespace corvid
