#include "ocisim/oci/BindBuffers.h"

#include "ocisim/oci/ClientErrors.h"
#include "ocisim/oci/ExternalValue.h"
#include "ocisim/oci/StatementText.h"

namespace ocisim::oci {

namespace {

ElementBuffer ElementOf(const BindSpec& spec, unsigned iteration) {
    ElementBuffer element;
    const std::size_t stride = spec.size > 0 ? static_cast<std::size_t>(spec.size) : 0;
    element.value = spec.value ? static_cast<char*>(spec.value) + stride * iteration : nullptr;
    element.size = spec.size;
    element.dty = spec.dty;
    element.indicator = spec.indicator ? spec.indicator + iteration : nullptr;
    element.length = spec.length ? spec.length + iteration : nullptr;
    element.returnCode = spec.returnCode ? spec.returnCode + iteration : nullptr;
    return element;
}

}  // namespace

void CBindBuffers::Set(const BindSpec& spec) {
    if (BindSpec* existing = Find(spec.name)) {
        *existing = spec;
    } else {
        m_Binds.push_back(spec);
    }
}

BindSpec* CBindBuffers::Find(const std::string& name) {
    for (BindSpec& spec : m_Binds) {
        if (spec.name == name) return &spec;
    }
    return nullptr;
}

bool CBindBuffers::Read(unsigned iteration, std::vector<Bind>& binds, OraError& err) const {
    binds.clear();
    binds.reserve(m_Binds.size());
    for (const BindSpec& spec : m_Binds) {
        Bind bind;
        bind.name = spec.name;
        if (!GetValue(ElementOf(spec, iteration), bind.value, err)) return false;
        binds.push_back(std::move(bind));
    }
    return true;
}

bool CBindBuffers::Write(unsigned iteration, const std::vector<Bind>& binds, OraError& err) const {
    for (const Bind& bind : binds) {
        if (!bind.assigned) continue;
        const std::string name = NormalizePlaceholder(bind.name);
        for (const BindSpec& spec : m_Binds) {
            if (spec.name != name) continue;
            switch (PutValue(bind.value, ElementOf(spec, iteration), err)) {
                case PutStatus::Failed:
                    return false;
                case PutStatus::Truncated:
                    err = MakeClientError(kValueError);
                    return false;
                default:
                    break;
            }
        }
    }
    return true;
}

}  // namespace ocisim::oci
