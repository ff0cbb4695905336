#include "oracle/OracleConnection.h"

#include "platform/Secret.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <mutex>

#include "diag/FileVersionInfo.h"
#include "diag/TraceContext.h"
#include "oracle/OracleConnectionImp7.h"
#include "oracle/OracleConnectionImp8.h"
#include "oracle/OracleCursor.h"
#include "oracle/OracleErrorText.h"
#include "platform/DynamicLibrary.h"
#include "platform/ProcessExit.h"
#include "platform/Services.h"
#include "platform/AsciiText.h"

namespace corvid {

namespace {

#ifdef _WIN32
constexpr const char* kOci8Library = "oci.dll";
constexpr const char* kOci7Library = "ociw32.dll";
#else
constexpr const char* kOci8Library = "libclntsh.so";
constexpr const char* kOci7Library = "libociw32.so";
#endif

constexpr const char* kConstructTitle = "CONSTRUCT ORACLE CONNECTION (COracleConnection::COracleConnection)";
constexpr const char* kDestructTitle = "DESTRUCT ORACLE CONNECTION (COracleConnection::~COracleConnection)";
constexpr const char* kLogonTitle = "OPEN ORACLE CONNECTION (COracleConnection::Logon)";
constexpr const char* kFeaturesTitle = "SERVER FEATURES (COracleConnection::GetServerFeatures)";
constexpr const char* kLogoffTitle = "CLOSE ORACLE CONNECTION (COracleConnection::Logoff)";

}  // namespace

COracleConnection::COracleConnection(CTraceContext* trace, int forcedVersion,
                                     std::unique_ptr<IDynamicLibraryLoader> loader)
    : m_trace(trace), m_loader(loader ? std::move(loader) : std::make_unique<CDlLibraryLoader>()) {
    Bind(forcedVersion);
}

void COracleConnection::Bind(int forcedVersion) {
    const bool tracing = GetTraceLevel() >= 1;
    if (tracing) m_trace->BeginSection(kConstructTitle);

    if ((m_library = m_loader->Load(kOci8Library)) != nullptr) {
        m_libraryName = kOci8Library;
        m_version = 8;
    } else if ((m_library = m_loader->Load(kOci7Library)) != nullptr) {
        m_libraryName = kOci7Library;
        m_version = 7;
    } else {
        if (tracing) m_trace->WriteLine("Unable to find any compatible OCI DLL (oci.dll, ociw32.dll!");
        ReportError("ERROR: Unable to find any compatible OCI DLL!\nPlease check your Oracle client installation.");
    }

    if (forcedVersion == 7 || forcedVersion == 8) {
        if (forcedVersion == 8 && m_version == 7) {
            if (tracing) m_trace->WriteLine("ERROR: Forced to use invalid oci interface version!");
            ReportError(
                "Unable to use Oci8 in conjunction with the available ociw32.dll!\nPlease check your Oracle client "
                "installation and make sure that Oracle 8.0.5 or higher is available.");
        }
        m_version = forcedVersion;
        if (tracing) *m_trace << "Forced to use a specific OCI interface = " << InterfaceName(m_version) << "\r\n";
    }

    m_libraryPath = m_loader->GetPath(m_library);
    if (m_libraryPath.empty()) m_libraryPath = m_libraryName;

    if (m_version == 7) {
        m_imp = std::make_unique<COracleConnectionImp7>(*m_loader, m_library);
    } else {
        m_imp = std::make_unique<COracleConnectionImp8>(*m_loader, m_library);
    }

    if (tracing) {
        *m_trace << "OCI interface version = [" << InterfaceName(m_version) << "]\r\n";
        *m_trace << "OCI DLL name = [" << m_libraryName << "]\r\n";
        *m_trace << "OCI DLL path = [" << m_libraryPath << "]\r\n";
        m_trace->EndSection(kConstructTitle);
    }
}

COracleConnection::~COracleConnection() {
    const bool tracing = GetTraceLevel() >= 1;
    if (tracing) m_trace->BeginSection(kDestructTitle);
    m_imp.reset();
    m_loader->Unload(m_library);
    m_library = nullptr;
    if (tracing) m_trace->EndSection(kDestructTitle);
}

int COracleConnection::GetTraceLevel() const {
    return m_trace ? m_trace->GetLevel() : 0;
}

std::string COracleConnection::InterfaceName(int version) {
    if (version == 7) return "OCI7";
    if (version == 8) return "OCI8";
    return {};
}

bool COracleConnection::Logon(const std::string& user, const std::string& password, const std::string& server,
                              EConnectMode mode) {
    const bool tracing = GetTraceLevel() >= 1;
    if (tracing) m_trace->BeginSection(kLogonTitle);

    m_user = user;
    m_password = password;
    m_server = server;
    m_authMode = mode;

    const int rc = m_imp->Logon(user, password, server, mode);
    m_connected = rc == 0;
    m_features.reset();

    if (tracing) {
        std::string version, sid;
        if (m_connected) GetServerInfo(version, sid);
        *m_trace << "Logon user = [" << m_user << "]\r\n";
        *m_trace << "Logon password = [" << MaskedPassword(m_password) << "]\r\n";
        *m_trace << "Logon server = [" << m_server << "]\r\n";
        *m_trace << "Logon authentication mode = [" << GetAuthModeName() << "]\r\n";
        *m_trace << "Logon error code = [" << rc << "]\r\n";
        *m_trace << "Server version = [" << version << "]\r\n";
        *m_trace << "Server SID = [" << sid << "]\r\n";
        m_trace->EndSection(kLogonTitle);
    }
    // Not kept past the logon: nothing needs it again.
    WipeString(m_password);
    return m_connected;
}

void COracleConnection::Logoff() {
    if (!m_connected) return;
    const bool tracing = GetTraceLevel() >= 1;
    if (tracing) m_trace->BeginSection(kLogoffTitle);
    if (m_imp->Logoff() != 0) CheckError(-1);
    if (tracing) m_trace->EndSection(kLogoffTitle);
    m_connected = false;
    m_features.reset();
}

const SServerFeatures& COracleConnection::GetServerFeatures() {
    if (!m_features) {
        m_features = DetectServerFeatures(*this);
        if (GetTraceLevel() >= 1) {
            m_trace->BeginSection(kFeaturesTitle);
            *m_trace << DescribeServerFeatures(*m_features);
            m_trace->EndSection(kFeaturesTitle);
        }
    }
    return *m_features;
}

void COracleConnection::Commit() {
    if (m_imp->Commit() != 0) CheckError(-1);
}

int COracleConnection::GetErrorCode() {
    return m_imp->GetErrorCode();
}

std::string COracleConnection::GetErrorText() {
    return m_imp->GetErrorText();
}

void COracleConnection::CheckError(int returnCode) {
    ReportError(FormatOracleError(returnCode, *m_imp));
}

void COracleConnection::TraceErrorBlock(const std::string& message) {
    if (GetTraceLevel() >= 1) {
        *m_trace << "=== ORACLE ERROR ===\r\n" << CTraceContext::Timestamp() << "\r\n" << message << "\r\n";
        m_trace->Flush();
    }
}

void COracleConnection::ReportError(const std::string& message) {
    if (m_errorsRecoverable.load()) {
        TraceErrorBlock(message);
        throw COracleFailure(message);
    }
    // One report per process: a second thread that fails meanwhile waits here
    // until the first report has ended the process.
    static std::mutex reporting;
    reporting.lock();

    TraceErrorBlock(message);

    std::string shown;
    shown.reserve(message.size() + 16);
    for (char c : message) {
        if (c == '\n') shown += '\r';
        shown += c;
    }
    GetPrompter().OracleError(shown);

    if (m_trace) m_trace->Flush();
    EndProcess(1);
}

void COracleConnection::ExecuteStatement(const std::string& statement) {
    COracleCursor cursor(this);
    cursor.Parse(statement);
    cursor.Execute(1, COracleCursor::EOnError::Report);
}

bool COracleConnection::IsValidObject(const std::string& objectType, const std::string& objectName) {
    std::string type = AsciiUpperCase(objectType);
    std::string name = AsciiUpperCase(objectName);
    int count = 0;
    COracleCursor cursor(this);
    cursor.Parse(
        "/* $CORVID$ */ SELECT COUNT(1) FROM user_objects WHERE object_type = :t "
        "AND object_name = :n AND status = 'VALID'");
    cursor.Bind(":t", type.data(), static_cast<int>(type.size() + 1), oci::SQLT_STR);
    cursor.Bind(":n", name.data(), static_cast<int>(name.size() + 1), oci::SQLT_STR);
    cursor.Define(1, &count, sizeof(count), oci::SQLT_INT);
    return cursor.ExecuteAndFetch(1) && count == 1;
}

int COracleConnection::CountRows(const std::string& tableName) {
    int count = 0;
    COracleCursor cursor(this);
    cursor.Parse("/* $CORVID$ */ SELECT count(1) FROM " + tableName);
    cursor.Define(1, &count, sizeof(count), oci::SQLT_INT);
    if (!cursor.ExecuteAndFetch(1)) return 0;
    return count;
}

bool COracleConnection::GetServerInfo(std::string& version, std::string& name) {
    version.clear();
    name.clear();
    if (!m_connected) return false;

    char buffer[100] = {};
    short indicator = 0;
    COracleCursor cursor(this);

    cursor.Parse("/* $CORVID$ */ SELECT banner FROM v$version WHERE ROWNUM = 1");
    cursor.Define(1, buffer, sizeof(buffer), oci::SQLT_STR, &indicator);
    cursor.ExecuteAndFetch(1);
    version = buffer;

    // The buffer is cleared so that a query that delivers no row cannot pass the
    // banner off as the database name.
    std::memset(buffer, 0, sizeof(buffer));
    cursor.Parse("/* $CORVID$ */ SELECT name FROM v$database WHERE ROWNUM = 1");
    cursor.Define(1, buffer, sizeof(buffer), oci::SQLT_STR, &indicator);
    if (cursor.Execute(1, COracleCursor::EOnError::Return)) {
        cursor.Fetch(1);
        name = buffer;
    }
    return true;
}

std::string COracleConnection::GetConnectionInfo() {
    const std::string notConnected = "[not connected]";
    std::string status = "You are not yet connected!";
    std::string tnsName = notConnected, user = notConnected, mode = notConnected;
    std::string serverVersion = notConnected, serverSid = notConnected;
    if (m_connected) {
        status = "You are successfully connected!";
        tnsName = m_server.empty() ? "[local]" : m_server;
        user = m_user;
        mode = GetAuthModeName();
        GetServerInfo(serverVersion, serverSid);
    }
    return status + "\n\nTNS Name: " + tnsName + "\nUser name: " + user + "\nConnected as: " + mode +
           "\nOCI Version: " + GetOciDllVersion() + "\nOCI DLL used: " + m_libraryName +
           "\nOCI DLL path: " + m_libraryPath + "\nOCI API Version: " + GetInterfaceName() +
           "\nServer Version: " + serverVersion + "\nServer SID: " + serverSid;
}

void COracleConnection::ShowConnectionInfo() {
    GetPrompter().Message(GetConnectionInfo(), IPrompter::Kind::Information);
}

std::string COracleConnection::GetOciDllVersion() const {
    CFileVersionInfo info;
    std::string version;
    if (info.Open(m_libraryPath)) version = info.GetFileVersion();
    return version.empty() ? "unable to retrieve" : version;
}

}  // namespace corvid
