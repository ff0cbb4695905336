#include "collection/StatementIndex.h"

#include <cstring>

namespace corvid {

namespace {

std::uint64_t Mix(std::uint64_t address, std::uint64_t firstLoadTime) {
    std::uint64_t h = address * 0x9e3779b97f4a7c15ull;
    h ^= (h >> 29) ^ firstLoadTime;
    h *= 0xd6e8feb86659fd93ull;
    h ^= h >> 32;
    h *= 0x9e3779b97f4a7c15ull;
    h ^= h >> 29;
    return h;
}

}  // namespace

std::uint64_t CStatementIndex::Hash(const CPackedText& address, const CTimeText& firstLoadTime) {
    return Mix(address.KeyBits(), firstLoadTime.KeyBits());
}

void CStatementIndex::Build(const CObjectArray& list) {
    Clear();
    m_List = &list;
    const std::size_t count = static_cast<std::size_t>(list.GetSize());
    if (count == 0) return;
    std::size_t capacity = 16;
    while (capacity < count * 2) capacity <<= 1;
    m_Slots.assign(capacity, 0);
    m_Tags.assign(capacity, 0);
    m_Mask = capacity - 1;
    for (std::size_t i = 0; i < count; ++i) {
        const CObjectEntry& entry = list[static_cast<CObjectArray::Index>(i)];
        const std::uint64_t hash = Hash(entry.m_Address, entry.m_FirstLoadTime);
        const std::uint32_t tag = static_cast<std::uint32_t>(hash >> 32);
        std::size_t slot = hash & m_Mask;
        bool duplicate = false;
        while (m_Slots[slot] != 0) {
            if (m_Tags[slot] == tag) {
                const CObjectEntry& other = list[m_Slots[slot] - 1];
                if (other.m_Address.SameText(entry.m_Address) && other.m_FirstLoadTime.SameText(entry.m_FirstLoadTime)) {
                    duplicate = true;
                    break;
                }
            }
            slot = (slot + 1) & m_Mask;
        }
        if (duplicate) continue;
        m_Slots[slot] = static_cast<std::uint32_t>(i + 1);
        m_Tags[slot] = tag;
        ++m_Count;
    }
}

void CStatementIndex::Clear() {
    m_List = nullptr;
    m_Slots = {};
    m_Tags = {};
    m_Mask = 0;
    m_Count = 0;
}

CObjectArray::Index CStatementIndex::FindKey(const CPackedText& address, const CTimeText& firstLoadTime) const {
    if (m_Count == 0) return kNone;
    const std::uint64_t hash = Hash(address, firstLoadTime);
    const std::uint32_t tag = static_cast<std::uint32_t>(hash >> 32);
    for (std::size_t slot = hash & m_Mask; m_Slots[slot] != 0; slot = (slot + 1) & m_Mask) {
        if (m_Tags[slot] != tag) continue;
        const CObjectArray::Index at = m_Slots[slot] - 1;
        const CObjectEntry& entry = (*m_List)[at];
        if (entry.m_Address.SameText(address) && entry.m_FirstLoadTime.SameText(firstLoadTime)) return at;
    }
    return kNone;
}

CObjectArray::Index CStatementIndex::Find(std::string_view address, std::string_view firstLoadTime) const {
    if (m_Count == 0) return kNone;
    return FindKey(CPackedText(address), CTimeText(firstLoadTime));
}

CObjectArray::Index CStatementIndex::Find(const CObjectEntry& entry) const {
    return FindKey(entry.m_Address, entry.m_FirstLoadTime);
}

const CObjectEntry* CStatementIndex::FindEntry(const CObjectEntry& entry) const {
    const CObjectArray::Index at = Find(entry);
    return at == kNone ? nullptr : &(*m_List)[at];
}

}  // namespace corvid
