#include "ocisim/engine/SharedPool.h"

#include <algorithm>
#include <array>
#include <functional>

#include "ocisim/engine/Md5.h"

namespace ocisim {

SharedPool::SharedPool(std::uint64_t seed) : m_Random(seed) {}

std::uint64_t SharedPool::TextKey(std::string_view text) {
    // The MD5 of the text with its terminating zero; the last 8 bytes as two
    // little-endian words, the first the high one.
    const std::array<std::uint8_t, 16> digest = Md5WithZero(text);
    auto word = [&](int at) {
        return static_cast<std::uint32_t>(digest[at]) | static_cast<std::uint32_t>(digest[at + 1]) << 8 |
               static_cast<std::uint32_t>(digest[at + 2]) << 16 | static_cast<std::uint32_t>(digest[at + 3]) << 24;
    };
    return static_cast<std::uint64_t>(word(8)) << 32 | word(12);
}

std::uint32_t SharedPool::HashText(std::string_view text) {
    return static_cast<std::uint32_t>(TextKey(text));
}

std::string SharedPool::SqlId(std::string_view text) {
    return SqlIdOfKey(TextKey(text));
}

std::string SharedPool::SqlIdOfKey(std::uint64_t key) {
    static const char alphabet[] = "0123456789abcdfghjkmnpqrstuvwxyz";
    std::string id(13, '0');
    for (int i = 12; i >= 0; --i) {
        id[static_cast<size_t>(i)] = alphabet[key & 31];
        key >>= 5;
    }
    return id;
}

namespace {

// Spreads a key over all bits, so that its low bits pick a slot.
std::uint64_t Mix(std::uint64_t x) {
    x ^= x >> 33;
    x *= 0xff51afd7ed558ccdull;
    x ^= x >> 33;
    return x;
}

// Removes slot `i` of a linear-probing table, moving later slots of the same
// run back so that every key stays reachable from its home slot.
template <typename Slot, typename IsFree, typename Home>
void EraseSlot(std::vector<Slot>& slots, std::size_t i, IsFree isFree, Home home) {
    const std::size_t mask = slots.size() - 1;
    for (std::size_t j = (i + 1) & mask; !isFree(slots[j]); j = (j + 1) & mask) {
        const std::size_t k = home(slots[j]) & mask;
        // Slot j stays when its home lies cyclically in (i, j].
        const bool stays = i <= j ? (i < k && k <= j) : (i < k || k <= j);
        if (stays) continue;
        slots[i] = slots[j];
        i = j;
    }
    slots[i] = Slot{};
}

}  // namespace

std::size_t SharedPool::HashOf(std::string_view text) { return std::hash<std::string_view>{}(text); }

std::size_t SharedPool::IndexOf(std::string_view text, std::size_t hash) const {
    if (m_TextSlots.empty()) return std::string::npos;
    const std::size_t mask = m_TextSlots.size() - 1;
    const std::vector<PoolEntry>& entries = *m_Entries;
    for (std::size_t i = Mix(hash) & mask;; i = (i + 1) & mask) {
        const TextSlot& slot = m_TextSlots[i];
        if (slot.indexPlusOne == 0) return std::string::npos;
        if (slot.hash == hash && *entries[slot.indexPlusOne - 1].text == text) return slot.indexPlusOne - 1;
    }
}

void SharedPool::IndexText(std::size_t hash, std::size_t index) {
    if (2 * (m_TextCount + 1) > m_TextSlots.size()) {
        std::vector<TextSlot> old(std::max<std::size_t>(64, 2 * m_TextSlots.size()));
        old.swap(m_TextSlots);
        const std::size_t mask = m_TextSlots.size() - 1;
        for (const TextSlot& slot : old) {
            if (slot.indexPlusOne == 0) continue;
            std::size_t i = Mix(slot.hash) & mask;
            while (m_TextSlots[i].indexPlusOne != 0) i = (i + 1) & mask;
            m_TextSlots[i] = slot;
        }
    }
    const std::size_t mask = m_TextSlots.size() - 1;
    std::size_t i = Mix(hash) & mask;
    while (m_TextSlots[i].indexPlusOne != 0) i = (i + 1) & mask;
    m_TextSlots[i] = TextSlot{hash, index + 1};
    ++m_TextCount;
}

void SharedPool::UnindexText(std::size_t hash, std::size_t index) {
    if (m_TextSlots.empty()) return;
    const std::size_t mask = m_TextSlots.size() - 1;
    for (std::size_t i = Mix(hash) & mask; m_TextSlots[i].indexPlusOne != 0; i = (i + 1) & mask) {
        if (m_TextSlots[i].indexPlusOne == index + 1) {
            EraseSlot(m_TextSlots, i, [](const TextSlot& s) { return s.indexPlusOne == 0; },
                      [](const TextSlot& s) { return Mix(s.hash); });
            --m_TextCount;
            return;
        }
    }
}

bool SharedPool::InsertAddress(std::uint64_t address) {
    if (2 * (m_AddressCount + 1) > m_AddressSlots.size()) {
        std::vector<std::uint64_t> old(std::max<std::size_t>(64, 2 * m_AddressSlots.size()));
        old.swap(m_AddressSlots);
        const std::size_t mask = m_AddressSlots.size() - 1;
        for (std::uint64_t a : old) {
            if (a == 0) continue;
            std::size_t i = Mix(a) & mask;
            while (m_AddressSlots[i] != 0) i = (i + 1) & mask;
            m_AddressSlots[i] = a;
        }
    }
    const std::size_t mask = m_AddressSlots.size() - 1;
    std::size_t i = Mix(address) & mask;
    for (; m_AddressSlots[i] != 0; i = (i + 1) & mask)
        if (m_AddressSlots[i] == address) return false;
    m_AddressSlots[i] = address;
    ++m_AddressCount;
    return true;
}

void SharedPool::EraseAddress(std::uint64_t address) {
    if (m_AddressSlots.empty()) return;
    const std::size_t mask = m_AddressSlots.size() - 1;
    for (std::size_t i = Mix(address) & mask; m_AddressSlots[i] != 0; i = (i + 1) & mask) {
        if (m_AddressSlots[i] == address) {
            EraseSlot(m_AddressSlots, i, [](std::uint64_t a) { return a == 0; }, [](std::uint64_t a) { return Mix(a); });
            --m_AddressCount;
            return;
        }
    }
}

std::uint64_t SharedPool::NewAddress() {
    // Cursor heaps sit 8-byte aligned in the SGA; the scenario decides how many
    // of the digits are shown.
    for (;;) {
        std::uint64_t a = 0x0000000060000000ull + ((m_Random() % 0x3FFFFFFull) << 3);
        if (InsertAddress(a)) return a;
    }
}

std::vector<PoolEntry>& SharedPool::Mutable() {
    // A snapshot still open keeps the entries it was given.
    if (m_Entries.use_count() > 1) m_Entries = std::make_shared<std::vector<PoolEntry>>(*m_Entries);
    return *m_Entries;
}

PoolEntry& SharedPool::Enter(const std::string& text, bool& created) {
    const std::size_t hash = HashOf(text);
    const std::size_t found = IndexOf(text, hash);
    std::vector<PoolEntry>& entries = Mutable();
    if (found != std::string::npos) {
        created = false;
        return entries[found];
    }
    created = true;
    std::shared_ptr<const std::string> shared = std::make_shared<const std::string>(text);
    const std::uint64_t address = NewAddress();
    // Built in place at the end of the entries.
    PoolEntry& e = entries.emplace_back();
    e.text = std::move(shared);
    e.address = address;
    e.textKey = TextKey(text);
    e.hashValue = static_cast<std::uint32_t>(e.textKey);
    e.sharableMem = 4000 + static_cast<double>(text.size()) * 6;
    e.persistentMem = 1200;
    e.runtimeMem = 900;
    try {
        IndexText(hash, entries.size() - 1);
    } catch (...) {
        entries.pop_back();
        EraseAddress(address);
        throw;
    }
    return e;
}

PoolEntry& SharedPool::Add(PoolEntry entry) {
    bool created;
    PoolEntry& e = Enter(*entry.text, created);
    std::uint64_t address = e.address;
    if (entry.address != 0 && entry.address != address) {
        EraseAddress(address);
        InsertAddress(entry.address);
        address = entry.address;
    }
    e = std::move(entry);
    e.address = address;
    e.textKey = TextKey(*e.text);
    e.hashValue = static_cast<std::uint32_t>(e.textKey);
    return e;
}

void SharedPool::Remove(size_t index) {
    if (index >= m_Entries->size()) return;
    std::vector<PoolEntry>& entries = Mutable();
    UnindexText(HashOf(*entries[index].text), index);
    EraseAddress(entries[index].address);
    entries.erase(entries.begin() + static_cast<long>(index));
    for (TextSlot& slot : m_TextSlots)
        if (slot.indexPlusOne > index + 1) --slot.indexPlusOne;
}

PoolEntry* SharedPool::Find(std::string_view text) {
    const std::size_t found = IndexOf(text, HashOf(text));
    return found == std::string::npos ? nullptr : &Mutable()[found];
}

void SharedPool::Flush() {
    m_Entries = std::make_shared<std::vector<PoolEntry>>();
    m_TextSlots.clear();
    m_TextCount = 0;
    m_AddressSlots.clear();
    m_AddressCount = 0;
}

}  // namespace ocisim
