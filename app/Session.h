#pragma once

#include <functional>
#include <string>

#include "oracle/ConnectMode.h"

namespace corvid {

class COracleConnection;

// The program's session with the server, carried by the application object: the
// connect sequence (logon from the command line or the connect dialog, the
// plan_table check, creating and validating CorvidExplainPlan), disconnect with the
// drop of the procedure, the window caption, the ensure-connected check and the
// flush of the shared pool. Messages go through the process-wide prompter.
class CSession {
public:
    // Runs the connect dialog on the connection; true when it logged on.
    using ConnectDialog = std::function<bool(COracleConnection&)>;
    // Receives the caption after every change of the connection.
    using TitleHandler = std::function<void(const std::string&)>;
    // Called after every connect, once the document exists.
    using ConnectionChangedHandler = std::function<void()>;

    enum class EFlushResult { Flushed, NotConnected, Declined, Refused };

    // The user, server and connect mode of a command-line logon that the server
    // refused, for the connect dialog that follows it.
    struct SLogonPreset {
        std::string user;
        std::string server;
        EConnectMode mode = EConnectMode::Normal;
    };

    explicit CSession(COracleConnection& connection);

    void SetConnectDialog(ConnectDialog dialog) { m_connectDialog = std::move(dialog); }
    void SetTitleHandler(TitleHandler handler) { m_titleHandler = std::move(handler); }
    void SetConnectionChangedHandler(ConnectionChangedHandler handler) { m_connectionChanged = std::move(handler); }

    // Logs off when connected, logs on with the given user (when not empty), else
    // runs the connect dialog; then checks plan_table and installs the explain
    // procedure, logging off again when either fails; updates the title and tells
    // the document. True when connected at the end.
    bool Connect(const std::string& user, const std::string& password, const std::string& server, EConnectMode mode);
    // Drops the explain procedure and logs off when connected; updates the title.
    void Disconnect();

    bool IsConnected() const;
    // True when connected; otherwise shows the not-connected message.
    bool EnsureConnected();

    // False only when plan_table does not exist (ORA-00942); any other error is fatal.
    bool CheckPlanTable();
    // Creates (or replaces) CorvidExplainPlan and asks whether it is valid.
    bool CreateExplainProcedure();
    // Drops CorvidExplainPlan, ignoring any error.
    void DropExplainProcedure();

    // Asks first (Yes/No, No the default, naming the database), then flushes the
    // shared pool. A user without the ALTER SYSTEM privilege gets the server's
    // message and the program goes on; every other error is fatal.
    EFlushResult FlushSharedPool();
    // The question asked before a flush.
    std::string FlushQuestion() const;

    // While the connect dialog runs after a refused command-line logon: what the
    // command line gave; null at any other time.
    const SLogonPreset* GetRefusedLogon() const { return m_refusedLogon.user.empty() ? nullptr : &m_refusedLogon; }

    // The caption for the present state; while connected it first reads the banner
    // and the database name from the server.
    std::string ComposeTitle();
    // Composes the caption and hands it to the title handler.
    void UpdateTitle();

    const std::string& GetServerBanner() const { return m_serverBanner; }
    const std::string& GetDatabaseName() const { return m_databaseName; }
    COracleConnection& GetConnection() { return m_connection; }

private:
    COracleConnection& m_connection;
    ConnectDialog m_connectDialog;
    TitleHandler m_titleHandler;
    ConnectionChangedHandler m_connectionChanged;
    std::string m_serverBanner;
    std::string m_databaseName;
    SLogonPreset m_refusedLogon;
};

// The texts the session shows.
inline constexpr const char* kNotConnectedMessage =
    "You are currently not connected to a server!\nPlease use the appropriate menu option to connect to a server or "
    "use the Ctrl+L shortcut.";
inline constexpr const char* kCommandLineLogonFailedMessage =
    "Unable to login with the given command line arguments!\nPlease check the command line arguments.";
inline constexpr const char* kFlushedStatusText =
    "Shared pool flushed. The list shows the statements as they were before the flush until the next load (F5).";
inline constexpr const char* kLoginAbortedMessage = "Login dialog was aborted!\nPlease use the menu to login later.";
inline constexpr const char* kNoPlanTableMessage =
    "The table PLAN_TABLE seems not to exist or you have no rights on it!\nPlease create the PLAN_TABLE by using the "
    "UTLXPLAN.SQL script.\nYou will now automatically be disconnected.";
inline constexpr const char* kInvalidProcedureMessage =
    "Unable to create the procedure CorvidExplainPlan.\nPlease check your grants or contact the vendor.\nYou will "
    "now automatically be disconnected.";

inline constexpr const char* kPlanTableCheckStatement = "/* $CORVID$ */ SELECT COUNT(1) FROM plan_table";
inline constexpr const char* kFlushSharedPoolStatement = "/* $CORVID$ */ ALTER SYSTEM FLUSH SHARED_POOL";

// "Corvid - User U connected with S (D) - B", or "Corvid - Disconnected".
std::string ComposeCaption(bool connected, const std::string& user, const std::string& server,
                           const std::string& databaseName, const std::string& banner);

}  // namespace corvid
