#pragma once

// The caller's bind variables of one statement: reading them into the server's
// binds for an execute, and writing OUT values of a PL/SQL call back into them.

#include <string>
#include <vector>

#include "ocisim/engine/Engine.h"
#include "ocisim/oci/ocisim_oci.h"

namespace ocisim::oci {

struct BindSpec {
    std::string name;  // upper-case, without the colon
    void* value = nullptr;
    sb4 size = 0;      // element size; also the stride between elements of an array bind
    ub2 dty = 0;
    sb2* indicator = nullptr;
    ub2* length = nullptr;
    ub2* returnCode = nullptr;
};

class CBindBuffers {
public:
    // Adds a bind or replaces the one of the same name.
    void Set(const BindSpec& spec);
    void Clear() { m_Binds.clear(); }
    bool Empty() const { return m_Binds.empty(); }
    BindSpec* Find(const std::string& name);

    // The server binds of array element `iteration`.
    bool Read(unsigned iteration, std::vector<Bind>& binds, OraError& err) const;
    // Writes the values the server assigned into element `iteration`. A value that
    // does not fit its buffer fails with ORA-06502, as the server refuses to assign
    // more than the bind variable holds.
    bool Write(unsigned iteration, const std::vector<Bind>& binds, OraError& err) const;

private:
    std::vector<BindSpec> m_Binds;
};

}  // namespace ocisim::oci
