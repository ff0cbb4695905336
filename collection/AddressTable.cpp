#include "collection/AddressTable.h"

#include <algorithm>
#include <functional>
#include <new>

namespace corvid {

CAddressTable::CAddressTable(std::size_t expected) {
    std::size_t capacity = 16;
    while (capacity < expected * 2) capacity *= 2;
    m_Slots.resize(capacity);
}

CAddressTable::SKey CAddressTable::KeyOf(std::string_view address) {
    SKey key;
    key.length = static_cast<std::uint16_t>(std::min<std::size_t>(address.size(), 0xFFFF));
    key.packed = !address.empty() && address.size() <= 16;
    for (std::size_t c = 0; key.packed && c < address.size(); ++c) {
        const char digit = address[c];
        if (digit >= '0' && digit <= '9')
            key.value = key.value << 4 | static_cast<std::uint64_t>(digit - '0');
        else if (digit >= 'A' && digit <= 'F')
            key.value = key.value << 4 | static_cast<std::uint64_t>(digit - 'A' + 10);
        else
            key.packed = false;
    }
    if (!key.packed) key.value = std::hash<std::string_view>{}(address);
    return key;
}

std::size_t CAddressTable::SlotOf(const SKey& key, std::string_view address) const {
    const std::size_t mask = m_Slots.size() - 1;
    std::uint64_t h = (key.value ^ key.length) * 0x9E3779B97F4A7C15ull;
    h ^= h >> 29;
    for (std::size_t i = h & mask;; i = (i + 1) & mask) {
        const SSlot& slot = m_Slots[i];
        if (slot.place == 0) return i;
        if (slot.key.value != key.value || slot.key.length != key.length || slot.key.packed != key.packed) continue;
        if (key.packed || m_Texts[slot.text] == address) return i;
    }
}

void CAddressTable::Grow() {
    std::vector<SSlot> old(m_Slots.size() * 2);
    old.swap(m_Slots);
    for (const SSlot& slot : old) {
        if (slot.place == 0) continue;
        const std::string_view address =
            slot.key.packed ? std::string_view() : std::string_view(m_Texts[slot.text]);
        m_Slots[SlotOf(slot.key, address)] = slot;
    }
}

std::size_t CAddressTable::Add(std::string_view address, std::size_t place) {
    if (place >= 0xFFFFFFFFu) throw std::bad_alloc();
    if ((m_Count + 1) * 2 > m_Slots.size()) Grow();
    const SKey key = KeyOf(address);
    SSlot& slot = m_Slots[SlotOf(key, address)];
    if (slot.place != 0) return slot.place - 1;
    slot.key = key;
    slot.place = static_cast<std::uint32_t>(place + 1);
    if (!key.packed) {
        slot.text = static_cast<std::uint32_t>(m_Texts.size());
        m_Texts.emplace_back(address);
    }
    ++m_Count;
    return place;
}

std::size_t CAddressTable::Find(std::string_view address) const {
    const SKey key = KeyOf(address);
    const SSlot& slot = m_Slots[SlotOf(key, address)];
    return slot.place == 0 ? npos : slot.place - 1;
}

}  // namespace corvid
