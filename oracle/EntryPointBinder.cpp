#include "oracle/EntryPointBinder.h"

#include "platform/Services.h"

namespace corvid {

void* CEntryPointBinder::Resolve(const char* name) {
    void* address = m_loader.Resolve(m_library, name);
    if (!address) {
        ++m_missing;
        GetPrompter().Message(std::string("Unable to load procedure address for procedure '") + name + "'",
                              IPrompter::Kind::Error);
    }
    return address;
}

}  // namespace corvid
