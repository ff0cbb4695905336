#pragma once

#include <string>

#include "platform/DynamicLibrary.h"

namespace corvid {

// Resolves the client library's functions by name into typed pointers. A name the
// library does not export is reported at once in a message box and its slot stays
// empty; binding goes on with the next name.
class CEntryPointBinder {
public:
    CEntryPointBinder(IDynamicLibraryLoader& loader, void* library) : m_loader(loader), m_library(library) {}

    template <class Fn>
    void operator()(Fn& slot, const char* name) {
        slot = reinterpret_cast<Fn>(Resolve(name));
    }

    int MissingCount() const { return m_missing; }

private:
    void* Resolve(const char* name);

    IDynamicLibraryLoader& m_loader;
    void* m_library;
    int m_missing = 0;
};

}  // namespace corvid
