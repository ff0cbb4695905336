#include "platform/qt/QtSettingsStore.h"

#include <QStandardPaths>

namespace corvid {

CQtSettingsStore::CQtSettingsStore()
    : m_settings(std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                             QStringLiteral("Quarry Lane"), QStringLiteral("Corvid"))) {}

CQtSettingsStore::CQtSettingsStore(const QString& iniPath)
    : m_settings(std::make_unique<QSettings>(iniPath, QSettings::IniFormat)) {}

QString CQtSettingsStore::UserFilePath() {
    // Where QSettings keeps an INI file of the user scope on this platform.
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Quarry Lane/Corvid.ini");
}

QString CQtSettingsStore::KeyOf(const std::string& section, const std::string& key) {
    return QString::fromStdString(section) + QLatin1Char('/') + QString::fromStdString(key);
}

int CQtSettingsStore::GetProfileInt(const std::string& section, const std::string& key, int defaultValue) {
    QVariant value = m_settings->value(KeyOf(section, key));
    if (!value.isValid()) return defaultValue;
    int parsed = 0;
    return ParseProfileInt(value.toString().toStdString(), parsed) ? parsed : defaultValue;
}

std::string CQtSettingsStore::GetProfileString(const std::string& section, const std::string& key,
                                               const std::string& defaultValue) {
    QVariant value = m_settings->value(KeyOf(section, key));
    if (!value.isValid()) return defaultValue;
    // A value with a comma is read back by QSettings as a list of strings.
    if (value.typeId() == QMetaType::QStringList) return value.toStringList().join(QLatin1Char(',')).toStdString();
    return value.toString().toStdString();
}

bool CQtSettingsStore::WriteProfileInt(const std::string& section, const std::string& key, int value) {
    m_settings->setValue(KeyOf(section, key), QString::number(value));
    m_settings->sync();
    return m_settings->status() == QSettings::NoError;
}

bool CQtSettingsStore::WriteProfileString(const std::string& section, const std::string& key,
                                          const std::string& value) {
    m_settings->setValue(KeyOf(section, key), QString::fromStdString(value));
    m_settings->sync();
    return m_settings->status() == QSettings::NoError;
}

bool CQtSettingsStore::HasKey(const std::string& section, const std::string& key) {
    return m_settings->contains(KeyOf(section, key));
}

void CQtSettingsStore::RemoveSection(const std::string& section) {
    m_settings->remove(QString::fromStdString(section));
    m_settings->sync();
}

}  // namespace corvid
