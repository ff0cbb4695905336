#include "dialogs/ServerHistory.h"

#include "platform/SettingsStore.h"

namespace corvid {

namespace {

std::string ItemKey(int n) {
    return "Item" + std::to_string(n);
}

// No history a person types grows near this; a hand-edited or damaged "Items"
// beyond it must not make the dialog read a billion keys.
constexpr int kMaxItems = 10000;

int StoredCount(ISettingsStore& store) {
    const int count = store.GetProfileInt(kServerListSection, "Items", 0);
    return count < 0 ? 0 : count > kMaxItems ? kMaxItems : count;
}

}  // namespace

std::vector<std::string> CServerHistory::Load() const {
    std::vector<std::string> names;
    const int count = StoredCount(m_store);
    for (int n = 1; n <= count; ++n)
        names.push_back(m_store.GetProfileString(kServerListSection, ItemKey(n), ""));
    return names;
}

bool CServerHistory::Add(const std::string& name) {
    const int count = StoredCount(m_store);
    for (int n = 1; n <= count; ++n) {
        if (m_store.GetProfileString(kServerListSection, ItemKey(n), "") == name) return false;
    }
    const int next = count + 1;
    m_store.WriteProfileInt(kServerListSection, "Items", next);
    m_store.WriteProfileString(kServerListSection, ItemKey(next), name);
    return true;
}

}  // namespace corvid
