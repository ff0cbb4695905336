#include "diag/FileVersionInfo.h"

#include <climits>
#include <cstdio>
#include <cstdlib>

namespace corvid {

void CFileVersionInfo::Reset() {
    m_language = 0;
    m_codePage = 1252;
    m_data.clear();
    m_translationCount = 0;
    m_hasFixedInfo = false;
}

std::string LibraryVersionFromFileName(const std::string& fileName) {
    const std::size_t slash = fileName.find_last_of('/');
    const std::string base = slash == std::string::npos ? fileName : fileName.substr(slash + 1);
    const std::size_t so = base.rfind(".so.");
    if (so == std::string::npos) return {};
    const std::string suffix = base.substr(so + 4);
    // Whole numbers joined by single dots: "19", "19.1", "21.3.0".
    bool digitSeen = false;
    for (std::size_t i = 0; i < suffix.size(); ++i) {
        const char c = suffix[i];
        if (c >= '0' && c <= '9') {
            digitSeen = true;
        } else if (c == '.' && digitSeen && i + 1 < suffix.size()) {
            digitSeen = false;
        } else {
            return {};
        }
    }
    return digitSeen ? suffix : std::string();
}

bool CFileVersionInfo::Open(const std::string& fileName) {
    Reset();
    // Follow links: libclntsh.so is normally a link to the versioned file.
    char resolved[PATH_MAX];
    if (!realpath(fileName.c_str(), resolved)) return false;
    const std::string version = LibraryVersionFromFileName(resolved);
    if (version.empty()) return false;
    m_hasFixedInfo = true;
    // No translation list: strings live under language 0 and code page 1252.
    char path[64];
    std::snprintf(path, sizeof path, "\\StringFileInfo\\%04x%04x\\", m_language, m_codePage);
    m_data[std::string(path) + "FileVersion"] = version;
    return true;
}

std::string CFileVersionInfo::GetStringValue(const std::string& key) const {
    if (m_data.empty()) return {};
    char path[64];
    std::snprintf(path, sizeof path, "\\StringFileInfo\\%04x%04x\\", m_language, m_codePage);
    auto it = m_data.find(std::string(path) + key);
    return it == m_data.end() ? std::string() : it->second;
}

}  // namespace corvid
