#include "oracle/CallAvailability.h"

namespace corvid {

std::string CCallAvailability::Text() const {
    if (!m_name) return {};
    if (m_notInGeneration) {
        return std::string("The operation '") + m_name + "' is not available with the " + m_interface + " interface.";
    }
    return std::string("Unable to call procedure '") + m_name + "': the OCI library does not export it.";
}

}  // namespace corvid
