#include "ocisim/engine/SharedPool.h"

#include <array>

#include "ocisim/engine/Md5.h"

namespace ocisim {

SharedPool::SharedPool(std::uint64_t seed) : m_Random(seed) {}

std::uint64_t SharedPool::TextKey(const std::string& text) {
    // The MD5 of the text with its terminating zero; the last 8 bytes as two
    // little-endian words, the first the high one.
    std::string withZero = text;
    withZero.push_back('\0');
    const std::array<std::uint8_t, 16> digest = Md5(withZero);
    auto word = [&](int at) {
        return static_cast<std::uint32_t>(digest[at]) | static_cast<std::uint32_t>(digest[at + 1]) << 8 |
               static_cast<std::uint32_t>(digest[at + 2]) << 16 | static_cast<std::uint32_t>(digest[at + 3]) << 24;
    };
    return static_cast<std::uint64_t>(word(8)) << 32 | word(12);
}

std::uint32_t SharedPool::HashText(const std::string& text) {
    return static_cast<std::uint32_t>(TextKey(text));
}

std::string SharedPool::SqlId(const std::string& text) {
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

std::uint64_t SharedPool::NewAddress() {
    // Cursor heaps sit 8-byte aligned in the SGA; the scenario decides how many
    // of the digits are shown.
    for (;;) {
        std::uint64_t a = 0x0000000060000000ull + ((m_Random() % 0x3FFFFFFull) << 3);
        if (m_Addresses.emplace(a, true).second) return a;
    }
}

std::vector<PoolEntry>& SharedPool::Mutable() {
    // A snapshot still open keeps the entries it was given.
    if (m_Entries.use_count() > 1) m_Entries = std::make_shared<std::vector<PoolEntry>>(*m_Entries);
    return *m_Entries;
}

PoolEntry& SharedPool::Enter(const std::string& text, bool& created) {
    auto it = m_ByText.find(text);
    std::vector<PoolEntry>& entries = Mutable();
    if (it != m_ByText.end()) {
        created = false;
        return entries[it->second];
    }
    created = true;
    PoolEntry e;
    e.text = std::make_shared<const std::string>(text);
    e.address = NewAddress();
    e.textKey = TextKey(text);
    e.hashValue = static_cast<std::uint32_t>(e.textKey);
    e.sharableMem = 4000 + static_cast<double>(text.size()) * 6;
    e.persistentMem = 1200;
    e.runtimeMem = 900;
    m_ByText.emplace(text, entries.size());
    entries.push_back(std::move(e));
    return entries.back();
}

PoolEntry& SharedPool::Add(PoolEntry entry) {
    bool created;
    PoolEntry& e = Enter(*entry.text, created);
    std::uint64_t address = e.address;
    if (entry.address != 0 && entry.address != address) {
        m_Addresses.erase(address);
        m_Addresses.emplace(entry.address, true);
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
    m_ByText.erase(*entries[index].text);
    m_Addresses.erase(entries[index].address);
    entries.erase(entries.begin() + static_cast<long>(index));
    for (auto& [text, i] : m_ByText)
        if (i > index) --i;
}

PoolEntry* SharedPool::Find(const std::string& text) {
    auto it = m_ByText.find(text);
    return it == m_ByText.end() ? nullptr : &Mutable()[it->second];
}

void SharedPool::Flush() {
    m_Entries = std::make_shared<std::vector<PoolEntry>>();
    m_ByText.clear();
    m_Addresses.clear();
}

}  // namespace ocisim
