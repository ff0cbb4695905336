#pragma once

#include <string>
#include <vector>

namespace corvid {

// Loading a shared library and resolving its functions by name.
class IDynamicLibraryLoader {
public:
    virtual ~IDynamicLibraryLoader() = default;
    // Loads by name; nullptr when the library cannot be loaded.
    virtual void* Load(const std::string& name) = 0;
    // The exported symbol, or nullptr when the library lacks it.
    virtual void* Resolve(void* library, const std::string& symbol) = 0;
    // The full path of the loaded file; empty when the platform reports nothing.
    virtual std::string GetPath(void* library) = 0;
    virtual void Unload(void* library) = 0;
};

// dlopen/dlsym. With no search folders a name goes through the ordinary search
// (LD_LIBRARY_PATH, the cache, the default folders); with folders, only those
// folders are tried, in order.
class CDlLibraryLoader : public IDynamicLibraryLoader {
public:
    CDlLibraryLoader() = default;
    explicit CDlLibraryLoader(std::vector<std::string> searchFolders) : m_folders(std::move(searchFolders)) {}

    void* Load(const std::string& name) override;
    void* Resolve(void* library, const std::string& symbol) override;
    std::string GetPath(void* library) override;
    void Unload(void* library) override;

private:
    std::vector<std::string> m_folders;
};

}  // namespace corvid
