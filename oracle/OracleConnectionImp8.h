#pragma once

#include <string>

#include "oracle/ConnectMode.h"

#include "oracle/CallAvailability.h"
#include "oracle/Oci8EntryTable.h"
#include "oracle/OracleConnectionImp.h"

namespace corvid {

class IDynamicLibraryLoader;

// A connection through the release-8 interface. Holds the environment, service
// context, server, session and error handles; all but the environment and error
// handles stay null until the first logon.
class COracleConnectionImp8 : public COracleConnectionImp {
public:
    // Binds the release-8 table, initialises the client and creates the
    // environment and the connection's error handle.
    COracleConnectionImp8(IDynamicLibraryLoader& loader, void* library);
    ~COracleConnectionImp8() override;
    COracleConnectionImp8(const COracleConnectionImp8&) = delete;
    COracleConnectionImp8& operator=(const COracleConnectionImp8&) = delete;

    int GetErrorCode() override;
    std::string GetErrorText() override;
    int Logon(const std::string& user, const std::string& password, const std::string& server, EConnectMode mode) override;
    int Logoff() override;
    int Commit() override;

    const COci8EntryTable& Oci() const { return m_oci; }
    oci::OCIEnv* Env() const { return m_env; }
    oci::OCISvcCtx* ServiceContext() const { return m_svcCtx; }
    int MissingEntryPoints() const { return m_missing; }

private:
    int AllocHandle(void** handle, oci::ub4 type);
    void ReleaseEarlierAttempt();
    int SetAttr(void* handle, oci::ub4 handleType, void* value, oci::ub4 size, oci::ub4 attribute);

    COci8EntryTable m_oci;
    int m_missing = 0;
    CCallAvailability m_call;
    oci::OCIEnv* m_env = nullptr;
    oci::OCISvcCtx* m_svcCtx = nullptr;
    oci::OCIServer* m_server = nullptr;
    oci::OCISession* m_session = nullptr;
    oci::OCIError* m_error = nullptr;
    bool m_attached = false;  // the server handle is attached
};

}  // namespace corvid
