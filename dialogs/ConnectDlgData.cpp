#include "dialogs/ConnectDlgData.h"


#include "dialogs/ServerHistory.h"
#include "oracle/OracleConnection.h"
#include "platform/SettingsStore.h"
#include "platform/Utf8.h"

namespace corvid {

EConnectMode ConnectModeOfText(const std::string& text) {
    return ConnectModeFromName(text).value_or(EConnectMode::Normal);
}

std::string MaxCharsMessage(int limit) {
    return "Please enter no more than " + std::to_string(limit) + " characters.";
}

void CConnectDlgData::LoadRemembered(ISettingsStore& store) {
    m_User = store.GetProfileString(kConnectSection, "Usr", "");
    m_Database = store.GetProfileString(kConnectSection, "Srv", "");
    m_ConnectAs = store.GetProfileString(kConnectSection, "ConnectAs", "NORMAL");
    m_Password.clear();
}

CConnectDlgData::EField CConnectDlgData::Validate(std::string& message) const {
    struct SCheck {
        const std::string& text;
        int limit;
        EField field;
    };
    const SCheck checks[] = {{m_User, kUserLimit, EField::User},
                             {m_Password, kPasswordLimit, EField::Password},
                             {m_Database, kDatabaseLimit, EField::Database}};
    for (const SCheck& check : checks) {
        if (Utf8CharacterCount(check.text) > static_cast<std::size_t>(check.limit)) {
            message = MaxCharsMessage(check.limit);
            return check.field;
        }
    }
    message.clear();
    return EField::None;
}

bool CConnectDlgData::Connect(COracleConnection& connection, ISettingsStore& store, std::string& error,
                              bool* addedToHistory) const {
    const bool added = CServerHistory(store).Add(m_Database);
    if (addedToHistory) *addedToHistory = added;
    if (!connection.Logon(m_User, m_Password, m_Database, ConnectModeOfText(m_ConnectAs))) {
        error = connection.GetErrorText();
        return false;
    }
    store.WriteProfileString(kConnectSection, "Usr", m_User);
    store.WriteProfileString(kConnectSection, "Srv", m_Database);
    store.WriteProfileString(kConnectSection, "ConnectAs", m_ConnectAs);
    error.clear();
    return true;
}

}  // namespace corvid
