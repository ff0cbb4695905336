#pragma once

#include <string>

namespace corvid {

// Remembers why the last client call of a connection or cursor could not be made:
// its entry point is missing from the library, or the operation does not exist in
// the interface generation in use. The implementation then returns OCI_ERROR
// without calling anything, and its error text names the function.
class CCallAvailability {
public:
    // True when the entry point is there (and forgets an earlier unavailable call);
    // false, remembering the name, when it is missing.
    template <class Fn>
    bool Ready(Fn entryPoint, const char* name) {
        if (entryPoint) {
            m_name = nullptr;
            return true;
        }
        m_name = name;
        m_notInGeneration = false;
        return false;
    }

    // Marks an operation that the interface generation does not offer.
    void NotInGeneration(const char* operation, const char* interfaceName) {
        m_name = operation;
        m_interface = interfaceName;
        m_notInGeneration = true;
    }

    void Clear() { m_name = nullptr; }
    bool IsSet() const { return m_name != nullptr; }
    std::string Text() const;

private:
    const char* m_name = nullptr;
    const char* m_interface = "";
    bool m_notInGeneration = false;
};

}  // namespace corvid
