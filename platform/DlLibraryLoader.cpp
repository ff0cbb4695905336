#include <dlfcn.h>
#include <link.h>

#include "platform/DynamicLibrary.h"

namespace corvid {

void* CDlLibraryLoader::Load(const std::string& name) {
    // RTLD_LOCAL keeps two client libraries exporting the same names apart.
    const int flags = RTLD_NOW | RTLD_LOCAL;
    if (m_folders.empty()) return dlopen(name.c_str(), flags);
    for (const auto& folder : m_folders) {
        std::string path = folder.empty() ? name : folder + "/" + name;
        if (void* handle = dlopen(path.c_str(), flags)) return handle;
    }
    return nullptr;
}

void* CDlLibraryLoader::Resolve(void* library, const std::string& symbol) {
    if (!library) return nullptr;
    dlerror();
    return dlsym(library, symbol.c_str());
}

std::string CDlLibraryLoader::GetPath(void* library) {
    if (!library) return {};
    struct link_map* map = nullptr;
    if (dlinfo(library, RTLD_DI_LINKMAP, &map) != 0 || !map || !map->l_name) return {};
    return map->l_name;
}

void CDlLibraryLoader::Unload(void* library) {
    if (library) dlclose(library);
}

}  // namespace corvid
