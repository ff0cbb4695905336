#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace corvid {

// Reads a file's version resource. Linux libraries carry no version resource;
// there the version is what the resolved file name carries after ".so."
// (libclntsh.so resolving to libclntsh.so.19.1 gives "19.1"), published under the
// standard key "FileVersion" of the neutral translation. The lookup by translation
// and key is kept so that a platform with real version resources can fill the same
// table from them.
class CFileVersionInfo {
public:
    CFileVersionInfo() { Reset(); }

    bool Open(const std::string& fileName);
    // One string value of the current translation; empty when missing or nothing is open.
    std::string GetStringValue(const std::string& key) const;
    std::string GetFileVersion() const { return GetStringValue("FileVersion"); }

    std::uint16_t Language() const { return m_language; }
    std::uint16_t CodePage() const { return m_codePage; }

private:
    void Reset();

    std::uint16_t m_language = 0;
    std::uint16_t m_codePage = 1252;
    // The resource's string values by their full path
    // ("\StringFileInfo\000004e4\FileVersion"); empty when nothing is open.
    std::map<std::string, std::string> m_data;
    int m_translationCount = 0;
    bool m_hasFixedInfo = false;
};

// The numeric version suffix of a shared library's file name ("19.1" of
// "/x/libclntsh.so.19.1"); empty when the name has none.
std::string LibraryVersionFromFileName(const std::string& fileName);

}  // namespace corvid
