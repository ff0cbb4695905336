#pragma once

#include <map>
#include <string>

#include "platform/SettingsStore.h"

namespace corvid {

// The desktop program's settings file (the INI form its settings library writes),
// read once and kept in memory. The report only reads the user's settings: writes
// change the copy in memory, never the file.
class CIniSettingsStore : public ISettingsStore {
public:
    // The largest file Load accepts: far beyond any settings the desktop writes.
    static constexpr long kMaxFileSize = 8L << 20;

    // Reads the file; false when it cannot be read, is not a regular file or is
    // larger than kMaxFileSize (the store is then empty).
    bool Load(const std::string& path);
    // Parses the text of such a file.
    void Parse(const std::string& text);

    int GetProfileInt(const std::string& section, const std::string& key, int defaultValue) override;
    std::string GetProfileString(const std::string& section, const std::string& key,
                                 const std::string& defaultValue) override;
    bool WriteProfileInt(const std::string& section, const std::string& key, int value) override;
    bool WriteProfileString(const std::string& section, const std::string& key, const std::string& value) override;
    bool HasKey(const std::string& section, const std::string& key) override;
    void RemoveSection(const std::string& section) override;

    // "$XDG_CONFIG_HOME/Quarry Lane/Corvid.ini", else "$HOME/.config/Quarry Lane/Corvid.ini".
    static std::string DefaultPath();

    // The escaped forms of the file: "%20" and "%U00E9" in keys and section
    // names; quotes, backslash escapes and comma lists in values.
    static std::string UnescapeKey(const std::string& text);
    // False for a value that holds no text (an "@Invalid()" or another typed value).
    static bool UnescapeValue(const std::string& text, std::string& value);

    // Every section with its keys and values, as read.
    const std::map<std::string, std::map<std::string, std::string>>& GetSections() const { return m_sections; }

private:
    std::map<std::string, std::map<std::string, std::string>> m_sections;
};

}  // namespace corvid
