#pragma once

#include <string>

#include "oracle/ConnectMode.h"

namespace corvid {

class COracleConnection;
class ISettingsStore;

// What the connect dialog edits and does, without its window: the remembered
// user, database and connect mode of the section "Connect", the field limits, and
// the connect attempt that records the database in the history, logs on and, on
// success, remembers the values. The password is never stored.
class CConnectDlgData {
public:
    static constexpr int kUserLimit = 30;
    static constexpr int kPasswordLimit = 30;
    static constexpr int kDatabaseLimit = 128;

    // Which field a validation message is about.
    enum class EField { None, User, Password, Database };

    std::string m_User;
    std::string m_Password;
    std::string m_Database;
    std::string m_ConnectAs = "NORMAL";

    // Reads "Usr", "Srv" and "ConnectAs"; the password becomes empty.
    void LoadRemembered(ISettingsStore& store);

    // The first field longer than its limit, with the message to show for it;
    // EField::None when every field fits.
    EField Validate(std::string& message) const;

    // The two status lines while connecting ("Connecting to database", user@db)
    // and after success ("Connected with database", db).
    std::string ConnectingLine1() const { return "Connecting to database"; }
    std::string ConnectingLine2() const { return m_User + "@" + m_Database; }
    std::string ConnectedLine1() const { return "Connected with database"; }
    std::string ConnectedLine2() const { return m_Database; }

    // Adds the database to the history, logs on and, on success, writes "Usr",
    // "Srv" and "ConnectAs". On failure `error` gets the connection's error text.
    // `addedToHistory` tells whether the database was new to the history.
    bool Connect(COracleConnection& connection, ISettingsStore& store, std::string& error,
                 bool* addedToHistory = nullptr) const;
};

inline constexpr const char* kConnectSection = "Connect";

// "NORMAL" 0, "SYSDBA" 1, "SYSOPER" 2, compared ignoring case; any other text is
// a NORMAL logon.
EConnectMode ConnectModeOfText(const std::string& text);

// "Please enter no more than N characters."
std::string MaxCharsMessage(int limit);

}  // namespace corvid
