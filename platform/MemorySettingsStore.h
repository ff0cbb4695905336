#pragma once

#include <map>
#include <mutex>
#include <string>

#include "platform/SettingsStore.h"

namespace corvid {

// Settings held in memory: the store of the tests, and of the headless report when
// it runs without a user profile.
class CMemorySettingsStore : public ISettingsStore {
public:
    int GetProfileInt(const std::string& section, const std::string& key, int defaultValue) override;
    std::string GetProfileString(const std::string& section, const std::string& key,
                                 const std::string& defaultValue) override;
    bool WriteProfileInt(const std::string& section, const std::string& key, int value) override;
    bool WriteProfileString(const std::string& section, const std::string& key,
                            const std::string& value) override;
    bool HasKey(const std::string& section, const std::string& key) override;
    void RemoveSection(const std::string& section) override;

    // Number of writes so far (tests check that nothing was saved).
    int WriteCount() const { return m_writes; }
    const std::map<std::string, std::map<std::string, std::string>>& Sections() const { return m_sections; }

private:
    std::mutex m_mutex;
    std::map<std::string, std::map<std::string, std::string>> m_sections;
    int m_writes = 0;
};

}  // namespace corvid
