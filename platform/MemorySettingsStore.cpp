#include "platform/MemorySettingsStore.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace corvid {

bool ParseProfileInt(const std::string& text, int& value) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    std::size_t end = text.size();
    while (end > i && (text[end - 1] == ' ' || text[end - 1] == '\t')) --end;
    std::string trimmed = text.substr(i, end - i);
    if (trimmed.empty()) return false;
    std::size_t digits = (trimmed[0] == '-' || trimmed[0] == '+') ? 1 : 0;
    if (digits == trimmed.size()) return false;
    for (std::size_t k = digits; k < trimmed.size(); ++k) {
        if (trimmed[k] < '0' || trimmed[k] > '9') return false;
    }
    errno = 0;
    long long parsed = std::strtoll(trimmed.c_str(), nullptr, 10);
    if (errno == ERANGE || parsed < INT_MIN || parsed > INT_MAX) return false;
    value = static_cast<int>(parsed);
    return true;
}

int CMemorySettingsStore::GetProfileInt(const std::string& section, const std::string& key, int defaultValue) {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto s = m_sections.find(section);
    if (s == m_sections.end()) return defaultValue;
    auto k = s->second.find(key);
    if (k == s->second.end()) return defaultValue;
    int value = 0;
    return ParseProfileInt(k->second, value) ? value : defaultValue;
}

std::string CMemorySettingsStore::GetProfileString(const std::string& section, const std::string& key,
                                                   const std::string& defaultValue) {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto s = m_sections.find(section);
    if (s == m_sections.end()) return defaultValue;
    auto k = s->second.find(key);
    return k == s->second.end() ? defaultValue : k->second;
}

bool CMemorySettingsStore::WriteProfileInt(const std::string& section, const std::string& key, int value) {
    return WriteProfileString(section, key, std::to_string(value));
}

bool CMemorySettingsStore::WriteProfileString(const std::string& section, const std::string& key,
                                              const std::string& value) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_sections[section][key] = value;
    ++m_writes;
    return true;
}

bool CMemorySettingsStore::HasKey(const std::string& section, const std::string& key) {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto s = m_sections.find(section);
    return s != m_sections.end() && s->second.count(key) != 0;
}

void CMemorySettingsStore::RemoveSection(const std::string& section) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_sections.erase(section);
    ++m_writes;
}

}  // namespace corvid
