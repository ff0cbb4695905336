#pragma once

#include <QSettings>
#include <memory>

#include "platform/SettingsStore.h"

namespace corvid {

// The per-user settings store: QSettings in INI format under the organisation
// "Quarry Lane" and the application "Corvid" (~/.config/Quarry Lane/Corvid.ini).
class CQtSettingsStore : public ISettingsStore {
public:
    CQtSettingsStore();
    // A store on an explicit INI file (tests, and a user who wants a second profile).
    explicit CQtSettingsStore(const QString& iniPath);

    int GetProfileInt(const std::string& section, const std::string& key, int defaultValue) override;
    std::string GetProfileString(const std::string& section, const std::string& key,
                                 const std::string& defaultValue) override;
    bool WriteProfileInt(const std::string& section, const std::string& key, int value) override;
    bool WriteProfileString(const std::string& section, const std::string& key,
                            const std::string& value) override;
    bool HasKey(const std::string& section, const std::string& key) override;
    void RemoveSection(const std::string& section) override;

    QString FileName() const { return m_settings->fileName(); }
    // The file the default constructor uses, found without reading it.
    static QString UserFilePath();

private:
    static QString KeyOf(const std::string& section, const std::string& key);
    std::unique_ptr<QSettings> m_settings;
};

}  // namespace corvid
