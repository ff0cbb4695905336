#include "oracle/OracleConnectionImp8.h"

#include "platform/Secret.h"

#include "oracle/OciErrorGet.h"

namespace corvid {

using namespace oci;

COracleConnectionImp8::COracleConnectionImp8(IDynamicLibraryLoader& loader, void* library) {
    m_missing = m_oci.Bind(loader, library);
    // The results of the initialisation are not looked at: a failure shows at logon.
    if (m_oci.OCIInitialize) m_oci.OCIInitialize(OCI_DEFAULT, nullptr, nullptr, nullptr, nullptr);
    if (m_oci.OCIEnvInit) m_oci.OCIEnvInit(&m_env, OCI_DEFAULT, 0, nullptr);
    if (m_oci.OCIHandleAlloc && m_env) {
        m_oci.OCIHandleAlloc(m_env, reinterpret_cast<void**>(&m_error), OCI_HTYPE_ERROR, 0, nullptr);
    }
}

COracleConnectionImp8::~COracleConnectionImp8() {
    if (!m_oci.OCIHandleFree) return;
    if (m_error) m_oci.OCIHandleFree(m_error, OCI_HTYPE_ERROR);
    if (m_env) m_oci.OCIHandleFree(m_env, OCI_HTYPE_ENV);
}

int COracleConnectionImp8::GetErrorCode() {
    if (m_call.IsSet()) return 0;
    return OciErrorCode(m_oci, m_error);
}

std::string COracleConnectionImp8::GetErrorText() {
    if (m_call.IsSet()) return m_call.Text();
    return OciErrorText(m_oci, m_error);
}

int COracleConnectionImp8::AllocHandle(void** handle, ub4 type) {
    if (!m_call.Ready(m_oci.OCIHandleAlloc, "OCIHandleAlloc")) return OCI_ERROR;
    return m_oci.OCIHandleAlloc(m_env, handle, type, 0, nullptr);
}

int COracleConnectionImp8::SetAttr(void* handle, ub4 handleType, void* value, ub4 size, ub4 attribute) {
    if (!m_call.Ready(m_oci.OCIAttrSet, "OCIAttrSet")) return OCI_ERROR;
    return m_oci.OCIAttrSet(handle, handleType, value, size, attribute, m_error);
}

void COracleConnectionImp8::ReleaseEarlierAttempt() {
    // A refused logon keeps its handles (and its server attachment) until the
    // next attempt, so that its error can still be read; the session handle of
    // an ended session is released here as well.
    if (m_attached && m_oci.OCIServerDetach) m_oci.OCIServerDetach(m_server, m_error, OCI_DEFAULT);
    m_attached = false;
    if (m_oci.OCIHandleFree) {
        if (m_session) m_oci.OCIHandleFree(m_session, OCI_HTYPE_SESSION);
        if (m_server) m_oci.OCIHandleFree(m_server, OCI_HTYPE_SERVER);
        if (m_svcCtx) m_oci.OCIHandleFree(m_svcCtx, OCI_HTYPE_SVCCTX);
    }
    m_session = nullptr;
    m_server = nullptr;
    m_svcCtx = nullptr;
}

namespace {
// A call that succeeded with a warning has done its work. The one a logon meets
// in practice is the server's notice that the password is about to expire: the
// session is open and the logon goes on.
bool Failed(int rc) {
    return rc != OCI_SUCCESS && rc != OCI_SUCCESS_WITH_INFO;
}
}  // namespace

int COracleConnectionImp8::Logon(const std::string& user, const std::string& password, const std::string& server,
                                 EConnectMode authMode) {
    ReleaseEarlierAttempt();
    int rc = AllocHandle(reinterpret_cast<void**>(&m_server), OCI_HTYPE_SERVER);
    if (Failed(rc)) return rc;
    rc = AllocHandle(reinterpret_cast<void**>(&m_svcCtx), OCI_HTYPE_SVCCTX);
    if (Failed(rc)) return rc;

    if (!m_call.Ready(m_oci.OCIServerAttach, "OCIServerAttach")) return OCI_ERROR;
    rc = m_oci.OCIServerAttach(m_server, m_error, reinterpret_cast<const OraText*>(server.data()),
                               static_cast<sb4>(server.size()), OCI_DEFAULT);
    if (Failed(rc)) return rc;
    m_attached = true;
    rc = SetAttr(m_svcCtx, OCI_HTYPE_SVCCTX, m_server, 0, OCI_ATTR_SERVER);
    if (Failed(rc)) return rc;

    rc = AllocHandle(reinterpret_cast<void**>(&m_session), OCI_HTYPE_SESSION);
    if (Failed(rc)) return rc;
    std::string u = user, p = password;
    rc = SetAttr(m_session, OCI_HTYPE_SESSION, u.data(), static_cast<ub4>(u.size()), OCI_ATTR_USERNAME);
    if (Failed(rc)) return rc;
    rc = SetAttr(m_session, OCI_HTYPE_SESSION, p.data(), static_cast<ub4>(p.size()), OCI_ATTR_PASSWORD);
    WipeString(p);  // the session handle keeps its own copy
    if (Failed(rc)) return rc;

    ub4 mode = OCI_DEFAULT;
    if (authMode == EConnectMode::SysDba) mode = OCI_SYSDBA;
    if (authMode == EConnectMode::SysOper) mode = OCI_SYSOPER;
    if (!m_call.Ready(m_oci.OCISessionBegin, "OCISessionBegin")) return OCI_ERROR;
    rc = m_oci.OCISessionBegin(m_svcCtx, m_error, m_session, OCI_CRED_RDBMS, mode);
    if (Failed(rc)) return rc;
    rc = SetAttr(m_svcCtx, OCI_HTYPE_SVCCTX, m_session, 0, OCI_ATTR_SESSION);
    return Failed(rc) ? rc : OCI_SUCCESS;
}

int COracleConnectionImp8::Logoff() {
    // The results are not looked at; a missing function is skipped.
    m_call.Clear();
    if (m_oci.OCISessionEnd) m_oci.OCISessionEnd(m_svcCtx, m_error, m_session, OCI_DEFAULT);
    if (m_oci.OCIServerDetach) m_oci.OCIServerDetach(m_server, m_error, OCI_DEFAULT);
    if (m_oci.OCIHandleFree) {
        if (m_server) m_oci.OCIHandleFree(m_server, OCI_HTYPE_SERVER);
        if (m_svcCtx) m_oci.OCIHandleFree(m_svcCtx, OCI_HTYPE_SVCCTX);
    }
    m_server = nullptr;
    m_svcCtx = nullptr;
    m_attached = false;
    return OCI_SUCCESS;
}

int COracleConnectionImp8::Commit() {
    if (!m_call.Ready(m_oci.OCITransCommit, "OCITransCommit")) return OCI_ERROR;
    return m_oci.OCITransCommit(m_svcCtx, m_error, OCI_DEFAULT);
}

}  // namespace corvid
