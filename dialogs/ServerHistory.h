#pragma once

#include <string>
#include <vector>

namespace corvid {

class ISettingsStore;

// The databases the user has typed in the connect dialog, in the section
// "ServerList": "Items" holds the count and "Item1" ... "ItemN" the names in the
// order they were first used. Entries are never removed or reordered.
class CServerHistory {
public:
    explicit CServerHistory(ISettingsStore& store) : m_store(store) {}

    // Every stored name, a missing one as the empty text.
    std::vector<std::string> Load() const;
    // Appends the name unless an entry equals it exactly (case counts); true when
    // it was appended.
    bool Add(const std::string& name);

private:
    ISettingsStore& m_store;
};

inline constexpr const char* kServerListSection = "ServerList";

}  // namespace corvid
