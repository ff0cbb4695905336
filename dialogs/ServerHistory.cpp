#include "dialogs/ServerHistory.h"

#include "platform/SettingsStore.h"

namespace corvid {

namespace {

std::string ItemKey(int n) {
    return "Item" + std::to_string(n);
}

}  // namespace

std::vector<std::string> CServerHistory::Load() const {
    std::vector<std::string> names;
    const int count = m_store.GetProfileInt(kServerListSection, "Items", 0);
    for (int n = 1; n <= count; ++n)
        names.push_back(m_store.GetProfileString(kServerListSection, ItemKey(n), ""));
    return names;
}

bool CServerHistory::Add(const std::string& name) {
    const int count = m_store.GetProfileInt(kServerListSection, "Items", 0);
    for (int n = 1; n <= count; ++n) {
        if (m_store.GetProfileString(kServerListSection, ItemKey(n), "") == name) return false;
    }
    const int next = count < 0 ? 1 : count + 1;
    m_store.WriteProfileInt(kServerListSection, "Items", next);
    m_store.WriteProfileString(kServerListSection, ItemKey(next), name);
    return true;
}

}  // namespace corvid
