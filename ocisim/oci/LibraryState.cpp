#include "ocisim/oci/LibraryState.h"

#include <cstdlib>

#include "ocisim/oci/ClientErrors.h"

namespace ocisim::oci {

CLibraryState& CLibraryState::Get() {
    // Never destroyed: entry points may run while the process ends.
    static CLibraryState* state = new CLibraryState;
    return *state;
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
