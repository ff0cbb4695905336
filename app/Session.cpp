#include "app/Session.h"

#include "collection/ExplainProcedure.h"
#include "oracle/OciTypes.h"
#include "oracle/OracleConnection.h"
#include "oracle/OracleCursor.h"
#include "platform/Services.h"

namespace corvid {

namespace {

constexpr int kTableDoesNotExist = 942;
constexpr int kInsufficientPrivileges = 1031;

}  // namespace

std::string ComposeCaption(bool connected, const std::string& user, const std::string& server,
                           const std::string& databaseName, const std::string& banner) {
    std::string caption = "Corvid";
    if (!connected) return caption + " - Disconnected";
    caption += " - User " + user + " connected with ";
    caption += server.empty() ? std::string("local database") : server;
    caption += " (" + databaseName + ") - " + banner;
    return caption;
}

CSession::CSession(COracleConnection& connection) : m_connection(connection) {}

bool CSession::IsConnected() const {
    return m_connection.IsConnected();
}

bool CSession::Connect(const std::string& user, const std::string& password, const std::string& server, EConnectMode mode) {
    if (m_connection.IsConnected()) m_connection.Logoff();

    m_refusedLogon = SLogonPreset();
    if (!user.empty() && !m_connection.Logon(user, password, server, mode)) {
        // The server's own reason (ORA-01017, ORA-12154, ...) tells what to fix.
        const std::string reason = m_connection.GetErrorText();
        GetPrompter().Message(reason.empty() ? std::string(kCommandLineLogonFailedMessage)
                                             : std::string(kCommandLineLogonFailedMessage) + "\n\n" + reason);
        m_refusedLogon = SLogonPreset{user, server, mode};
    }
    if (!m_connection.IsConnected()) {
        const bool connected = m_connectDialog && m_connectDialog(m_connection);
        m_refusedLogon = SLogonPreset();
        if (!connected) GetPrompter().Message(kLoginAbortedMessage);
    }
    if (m_connection.IsConnected() && !CheckPlanTable()) {
        GetPrompter().Message(kNoPlanTableMessage);
        m_connection.Logoff();
    }
    if (m_connection.IsConnected() && !CreateExplainProcedure()) {
        GetPrompter().Message(kInvalidProcedureMessage);
        m_connection.Logoff();
    }
    // What the server offers decides what the loads read; learnt once per logon.
    if (m_connection.IsConnected()) m_connection.GetServerFeatures();
    UpdateTitle();
    if (m_connectionChanged) m_connectionChanged();
    return m_connection.IsConnected();
}

void CSession::Disconnect() {
    if (m_connection.IsConnected()) {
        DropExplainProcedure();
        m_connection.Logoff();
    }
    UpdateTitle();
}

bool CSession::EnsureConnected() {
    if (m_connection.IsConnected()) return true;
    GetPrompter().Message(kNotConnectedMessage);
    return false;
}

bool CSession::CheckPlanTable() {
    COracleCursor cursor(m_connection);
    int count = 0;
    cursor.Parse(kPlanTableCheckStatement);
    cursor.Define(1, &count, sizeof count, oci::SQLT_INT);
    if (cursor.Execute(1, COracleCursor::EOnError::Return)) return true;
    const int code = cursor.GetErrorCode();
    if (code != kTableDoesNotExist && code != -kTableDoesNotExist) cursor.CheckError(-1);
    return false;
}

bool CSession::CreateExplainProcedure() {
    {
        // A procedure that compiles with errors is still created; the check below
        // finds it invalid.
        COracleCursor cursor(m_connection);
        cursor.Parse(ExplainProcedureCreationText());
        cursor.Execute(1, COracleCursor::EOnError::Report);
    }
    return m_connection.IsValidObject("PROCEDURE", kExplainProcedureName);
}

void CSession::DropExplainProcedure() {
    COracleCursor cursor(m_connection);
    cursor.Parse(kDropExplainProcedureStatement);
    cursor.Execute(1, COracleCursor::EOnError::Return);
}

std::string CSession::FlushQuestion() const {
    std::string where = m_databaseName.empty() ? std::string("the connected database") : "database " + m_databaseName;
    if (!m_connection.GetServer().empty()) where += " (server " + m_connection.GetServer() + ")";
    return "Flush the shared pool of " + where +
           "?\nEvery cached statement of every user is removed and must be parsed again.";
}

CSession::EFlushResult CSession::FlushSharedPool() {
    if (!EnsureConnected()) return EFlushResult::NotConnected;
    if (!GetPrompter().Ask(FlushQuestion(), IPrompter::Buttons::YesNoDefaultNo)) return EFlushResult::Declined;
    COracleCursor cursor(m_connection);
    cursor.Parse(kFlushSharedPoolStatement);
    if (cursor.Execute(1, COracleCursor::EOnError::Return)) return EFlushResult::Flushed;
    const int code = cursor.GetErrorCode();
    if (code != kInsufficientPrivileges && code != -kInsufficientPrivileges) cursor.CheckError(-1);
    GetPrompter().Message(cursor.GetErrorText(), IPrompter::Kind::Error);
    return EFlushResult::Refused;
}

std::string CSession::ComposeTitle() {
    if (m_connection.IsConnected()) m_connection.GetServerInfo(m_serverBanner, m_databaseName);
    return ComposeCaption(m_connection.IsConnected(), m_connection.GetUser(), m_connection.GetServer(), m_databaseName,
                          m_serverBanner);
}

void CSession::UpdateTitle() {
    const std::string caption = ComposeTitle();
    if (m_titleHandler) m_titleHandler(caption);
}

}  // namespace corvid
