#include "ClientLibrary.h"

#include <dlfcn.h>

#include <cstdlib>

namespace {

std::string LibraryFolder(const std::string& folder) {
    const char* libdir = std::getenv("CORVID_SIM_LIBDIR");
#ifdef OCISIM_BUILT_LIBDIR
    if (libdir == nullptr || *libdir == '\0') libdir = OCISIM_BUILT_LIBDIR;
#endif
    std::string base = libdir ? libdir : "";
    while (!base.empty() && base.back() == '/') base.pop_back();
    if (folder == "lib") return base;
    const std::size_t slash = base.rfind('/');
    return (slash == std::string::npos ? std::string(".") : base.substr(0, slash)) + "/" + folder;
}

}  // namespace

CClientLibrary::CClientLibrary(const std::string& folder, const std::string& file)
    : m_Path(LibraryFolder(folder) + "/" + file) {
    m_Handle = dlopen(m_Path.c_str(), RTLD_NOW | RTLD_LOCAL);
}

void* CClientLibrary::Symbol(const char* name) const { return m_Handle ? dlsym(m_Handle, name) : nullptr; }

Release8Api CClientLibrary::Release8() const {
    Release8Api api;
#define OCISIM_RESOLVE(name) api.name = reinterpret_cast<decltype(api.name)>(Symbol(#name));
    OCISIM_RELEASE8_FUNCTIONS(OCISIM_RESOLVE)
#undef OCISIM_RESOLVE
    return api;
}

Release7Api CClientLibrary::Release7() const {
    Release7Api api;
#define OCISIM_RESOLVE(name) api.name = reinterpret_cast<decltype(api.name)>(Symbol(#name));
    OCISIM_RELEASE7_FUNCTIONS(OCISIM_RESOLVE)
#undef OCISIM_RESOLVE
    return api;
}

const CClientLibrary& CClientLibrary::Clntsh() {
    static const CClientLibrary library("lib", "libclntsh.so");
    return library;
}

const CClientLibrary& CClientLibrary::Ociw32() {
    static const CClientLibrary library("lib", "libociw32.so");
    return library;
}

void UseScenario(const std::string& name) { setenv("CORVID_SIM_SCENARIO", name.c_str(), 1); }
