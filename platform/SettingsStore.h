#pragma once

#include <string>

namespace corvid {

// Per-user settings: named sections of integer and string values, read with a
// default and written one at a time.
class ISettingsStore {
public:
    virtual ~ISettingsStore() = default;

    // The stored integer, or `defaultValue` when the key is missing or its text is
    // not a whole decimal number that fits in 32 bits.
    virtual int GetProfileInt(const std::string& section, const std::string& key, int defaultValue) = 0;
    virtual std::string GetProfileString(const std::string& section, const std::string& key,
                                         const std::string& defaultValue) = 0;
    virtual bool WriteProfileInt(const std::string& section, const std::string& key, int value) = 0;
    virtual bool WriteProfileString(const std::string& section, const std::string& key,
                                    const std::string& value) = 0;
    virtual bool HasKey(const std::string& section, const std::string& key) = 0;
    // Removes every key of the section.
    virtual void RemoveSection(const std::string& section) = 0;
};

// Parses a stored integer text: optional blanks, an optional sign and decimal
// digits filling the rest of the text, within the 32-bit range.
bool ParseProfileInt(const std::string& text, int& value);

}  // namespace corvid
