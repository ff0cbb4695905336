#pragma once

#include <QDialog>
#include <functional>
#include <string>

#include "dialogs/ConnectDlgData.h"
#include "oracle/ConnectMode.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace corvid {

class COracleConnection;
class ISettingsStore;

// Values that replace the remembered ones when the dialog opens (the user, server
// and mode of a command line whose logon was refused).
struct SConnectPreset {
    std::string user;
    std::string server;
    EConnectMode mode = EConnectMode::Normal;
};

// "Connect to Oracle": user name, password, database (with the history of the
// databases typed) and connect mode. It logs the connection on itself and closes
// only on success or Cancel; a refused logon shows the server's message and the
// dialog stays open for another try.
class CConnectDlg : public QDialog {
    Q_OBJECT
public:
    CConnectDlg(COracleConnection& connection, ISettingsStore& store, QWidget* parent = nullptr);

    // The default button: validates, records the database, logs on.
    void OnConnect();

    // Shows these values instead of the remembered ones; the password stays empty.
    void Preset(const SConnectPreset& preset);

    // What the "&Help" button opens; nothing when unset.
    void SetHelpHandler(std::function<void()> handler) { m_help = std::move(handler); }

    QLineEdit* UserEdit() const { return m_user; }
    QLineEdit* PasswordEdit() const { return m_password; }
    QComboBox* DatabaseBox() const { return m_database; }
    QComboBox* ConnectAsBox() const { return m_connectAs; }
    QLabel* StatusLine1() const { return m_status1; }
    QLabel* StatusLine2() const { return m_status2; }
    QPushButton* ConnectButton() const { return m_connectButton; }

private:
    void ReadControls();
    void AddDatabaseItem(const QString& name);

    COracleConnection& m_connection;
    ISettingsStore& m_store;
    CConnectDlgData m_data;
    std::function<void()> m_help;

    QLineEdit* m_user;
    QLineEdit* m_password;
    QComboBox* m_database;
    QComboBox* m_connectAs;
    QLabel* m_status1;
    QLabel* m_status2;
    QPushButton* m_connectButton;
};

// Runs the connect dialog modally on the connection; true when it logged on.
bool RunConnectDialog(COracleConnection& connection, QWidget* parent = nullptr, std::function<void()> help = nullptr,
                      const SConnectPreset* preset = nullptr);

}  // namespace corvid
