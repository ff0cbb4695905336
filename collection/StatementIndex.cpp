#include "collection/StatementIndex.h"

#include <cstring>

namespace corvid {

namespace {

std::uint64_t Mix(std::uint64_t h, std::string_view bytes) {
    // FNV-1a over 8-byte words, each word then multiplied and folded: good spread
    // for short hexadecimal addresses and dates that differ in a few digits.
    constexpr std::uint64_t kPrime = 0x100000001b3ull;
    std::size_t i = 0;
    for (; i + 8 <= bytes.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, bytes.data() + i, 8);
        h = (h ^ word) * kPrime;
        h ^= h >> 29;
    }
    for (; i < bytes.size(); ++i)
        h = (h ^ static_cast<unsigned char>(bytes[i])) * kPrime;
    return h;
}

}  // namespace

std::uint64_t CStatementIndex::Hash(std::string_view address, std::string_view firstLoadTime) {
    std::uint64_t h = Mix(0xcbf29ce484222325ull, address);
    h = Mix(h ^ (address.size() << 1 | 1), firstLoadTime);
    h ^= h >> 32;
    h *= 0xd6e8feb86659fd93ull;
    h ^= h >> 32;
    return h;
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
        CPackedText::Buffer addressText;
        CTimeText::Buffer timeText;
        const std::string_view address = entry.m_Address.View(addressText);
        const std::string_view firstLoadTime = entry.m_FirstLoadTime.View(timeText);
        const std::uint64_t hash = Hash(address, firstLoadTime);
        const std::uint32_t tag = static_cast<std::uint32_t>(hash >> 32);
        std::size_t slot = hash & m_Mask;
        bool duplicate = false;
        while (m_Slots[slot] != 0) {
            if (m_Tags[slot] == tag) {
                const CObjectEntry& other = list[m_Slots[slot] - 1];
                if (other.m_Address == address && other.m_FirstLoadTime == firstLoadTime) {
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

CObjectArray::Index CStatementIndex::Find(std::string_view address, std::string_view firstLoadTime) const {
    if (m_Count == 0) return kNone;
    const std::uint64_t hash = Hash(address, firstLoadTime);
    const std::uint32_t tag = static_cast<std::uint32_t>(hash >> 32);
    for (std::size_t slot = hash & m_Mask; m_Slots[slot] != 0; slot = (slot + 1) & m_Mask) {
        if (m_Tags[slot] != tag) continue;
        const CObjectArray::Index at = m_Slots[slot] - 1;
        const CObjectEntry& entry = (*m_List)[at];
        if (entry.m_Address == address && entry.m_FirstLoadTime == firstLoadTime) return at;
    }
    return kNone;
}

CObjectArray::Index CStatementIndex::Find(const CObjectEntry& entry) const {
    CPackedText::Buffer address;
    CTimeText::Buffer firstLoadTime;
    return Find(entry.m_Address.View(address), entry.m_FirstLoadTime.View(firstLoadTime));
}

const CObjectEntry* CStatementIndex::FindEntry(const CObjectEntry& entry) const {
    const CObjectArray::Index at = Find(entry);
    return at == kNone ? nullptr : &(*m_List)[at];
}

}  // namespace corvid
