#pragma once

#include <atomic>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#include "oracle/ConnectMode.h"
#include "oracle/ServerFeatures.h"

namespace corvid {

class CTraceContext;
class IDynamicLibraryLoader;
class COracleConnectionImp;

// A failed client call while the connection's errors are recoverable: the
// message ReportError would have shown.
class COracleFailure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The program's one session with an Oracle server. Construction loads the client
// library and settles the interface generation (OCI7 or OCI8) for the rest of the
// run; the user logs on and off through it any number of times. Cursors are
// created on it. A failure of the client that the caller does not expect ends the
// program through ReportError.
class COracleConnection {
public:
    // Loads "libclntsh.so" (OCI8), else "libociw32.so" (OCI7); forcedVersion 7 or
    // 8 overrides the choice (0 chooses). The trace context is not owned and may
    // be null. Without a loader, libraries come from the ordinary search.
    COracleConnection(CTraceContext* trace, int forcedVersion, std::unique_ptr<IDynamicLibraryLoader> loader = nullptr);
    virtual ~COracleConnection();
    COracleConnection(const COracleConnection&) = delete;
    COracleConnection& operator=(const COracleConnection&) = delete;

    // Logs on; false (and the error for GetErrorCode/GetErrorText) when refused.
    bool Logon(const std::string& user, const std::string& password, const std::string& server, EConnectMode mode);
    void Logoff();
    void Commit();

    bool IsConnected() const { return m_connected; }
    const std::string& GetUser() const { return m_user; }
    const std::string& GetServer() const { return m_server; }
    std::string GetAuthModeName() const { return ConnectModeName(m_authMode); }
    EConnectMode GetAuthMode() const { return m_authMode; }

    int GetErrorCode();
    std::string GetErrorText();

    // The fatal report of a failed client call; does not return.
    [[noreturn]] void CheckError(int returnCode);
    // Writes the message to the trace, shows it in the "Oracle SQL Error" dialog
    // and ends the process with status 1; does not return.
    [[noreturn]] void ReportError(const std::string& message);
    // While set, ReportError writes the trace block and throws COracleFailure
    // instead of ending the process: for work that may fail without ending the
    // program (an automatic refresh). Read on any thread.
    void SetErrorsRecoverable(bool recoverable) { m_errorsRecoverable.store(recoverable); }
    bool AreErrorsRecoverable() const { return m_errorsRecoverable.load(); }

    // Runs a statement that returns no rows; a failure is fatal.
    void ExecuteStatement(const std::string& statement);
    // True when the user owns a valid object of that type and name.
    bool IsValidObject(const std::string& objectType, const std::string& objectName);
    int CountRows(const std::string& tableName);
    // The server's version banner and the database name; false when not connected.
    // A name the user may not read stays empty without a message.
    bool GetServerInfo(std::string& version, std::string& name);
    // What the server offers (its release, the figures and plans of today's
    // servers): asked once per logon, written to the trace at level 1.
    const SServerFeatures& GetServerFeatures();
    // Shows the connection information in a message box.
    void ShowConnectionInfo();
    std::string GetConnectionInfo();

    std::string GetInterfaceName() const { return InterfaceName(m_version); }
    std::string GetOciDllVersion() const;
    int GetInterfaceVersion() const { return m_version; }
    const std::string& GetLibraryName() const { return m_libraryName; }
    const std::string& GetLibraryPath() const { return m_libraryPath; }

    CTraceContext* GetTrace() const { return m_trace; }
    int GetTraceLevel() const;
    COracleConnectionImp& GetImp() { return *m_imp; }

    static std::string InterfaceName(int version);

private:
    void Bind(int forcedVersion);
    void TraceErrorBlock(const std::string& message);

    std::atomic<bool> m_errorsRecoverable{false};
    std::string m_user;
    std::string m_password;
    std::string m_server;
    EConnectMode m_authMode = EConnectMode::Normal;
    bool m_connected = false;
    std::optional<SServerFeatures> m_features;

    CTraceContext* m_trace;
    std::unique_ptr<IDynamicLibraryLoader> m_loader;
    void* m_library = nullptr;
    std::string m_libraryName;
    std::string m_libraryPath;
    int m_version = 0;
    std::unique_ptr<COracleConnectionImp> m_imp;
};

}  // namespace corvid
