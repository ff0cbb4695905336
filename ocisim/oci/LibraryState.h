#pragma once

// What one client library holds for the whole process: the lock that serialises
// its entry points, the set of live handles and data areas (so that a stale or
// foreign pointer is refused instead of followed), and the message of each Oracle
// error the server reported, for oerhms.

#include <mutex>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "ocisim/engine/Engine.h"

namespace ocisim::oci {

class CLibraryState {
public:
    static CLibraryState& Get();

    std::recursive_mutex& Lock() { return m_Lock; }

    void Register(const void* object) { m_Live.insert(object); }
    void Unregister(const void* object) {
        m_Live.erase(object);
        m_Owned.erase(object);
    }
    // A live object that the caller never gave back must still be freed when the
    // library goes: `release` frees it (and whatever it owns) at unload.
    void FreeAtUnload(void* object, void (*release)(void*)) {
        m_Live.insert(object);
        m_Owned[object] = release;
    }
    bool IsLive(const void* object) const { return object != nullptr && m_Live.count(object) != 0; }

    // Keeps the text of an error the server reported.
    void Remember(const OraError& error);
    // "ORA-nnnnn: text" for an error number: the server's last text for it, else the
    // client's own.
    std::string MessageFor(int code) const;

    // Frees the objects still owned (FreeAtUnload) and gives back what the tables
    // hold (at unload); they start empty again.
    void Release();

private:
    std::recursive_mutex m_Lock;
    std::unordered_set<const void*> m_Live;
    std::unordered_map<const void*, void (*)(void*)> m_Owned;
    std::unordered_map<int, std::string> m_Messages;
};

}  // namespace ocisim::oci
