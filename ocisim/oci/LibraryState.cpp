#include "ocisim/oci/LibraryState.h"

#include <cstdlib>
#include <new>

#include "ocisim/oci/ClientErrors.h"

namespace ocisim::oci {

namespace {

// The state lives in the library's own static storage and is never destroyed,
// since entry points may still run while the process ends; what its tables hold
// on the heap is given back when the library is unloaded (or the process ends).
alignas(CLibraryState) unsigned char g_storage[sizeof(CLibraryState)];
CLibraryState* g_state = nullptr;
std::once_flag g_created;

__attribute__((destructor)) void ReleaseAtUnload() {
    if (g_state != nullptr) g_state->Release();
}

}  // namespace

CLibraryState& CLibraryState::Get() {
    std::call_once(g_created, [] { g_state = new (g_storage) CLibraryState; });
    return *g_state;
}

void CLibraryState::Release() {
    std::lock_guard<std::recursive_mutex> lock(m_Lock);
    // A release may unregister other objects (a logon its cursors), so the owners
    // are taken out of the table before any of them is freed.
    std::unordered_map<const void*, void (*)(void*)> owned;
    owned.swap(m_Owned);
    for (const auto& [object, release] : owned) release(const_cast<void*>(object));
    std::unordered_set<const void*>().swap(m_Live);
    std::unordered_map<int, std::string>().swap(m_Messages);
}

void CLibraryState::Remember(const OraError& error) {
    if (error.code != 0 && !error.message.empty()) m_Messages[std::abs(error.code)] = error.message;
}

std::string CLibraryState::MessageFor(int code) const {
    auto found = m_Messages.find(std::abs(code));
    if (found != m_Messages.end()) return found->second;
    return ClientMessage(code);
}

}  // namespace ocisim::oci
