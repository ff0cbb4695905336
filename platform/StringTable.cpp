#include "platform/StringTable.h"

#include <atomic>

#include "platform/ResourceStrings.h"

namespace corvid {

std::string IStringTable::Load(int id) const {
    std::string text = Find(id);
    return text.empty() ? "STR # " + std::to_string(id) : text;
}

std::string CResourceStringTable::Find(int id) const {
    for (const auto& entry : kResourceStrings) {
        if (entry.id == id) return entry.text;
    }
    return {};
}

std::string CMapStringTable::Find(int id) const {
    auto it = m_entries.find(id);
    return it == m_entries.end() ? std::string() : it->second;
}

namespace {
CResourceStringTable g_resources;
std::atomic<const IStringTable*> g_table{&g_resources};
}  // namespace

const IStringTable& GetStringTable() { return *g_table.load(); }

void SetStringTable(const IStringTable* table) { g_table.store(table ? table : &g_resources); }

}  // namespace corvid
