#include "oracle/OracleConnectionImp7.h"

#include "platform/Secret.h"

#include <cstring>

#include "oracle/OciHelpers.h"

namespace corvid {

COracleConnectionImp7::COracleConnectionImp7(IDynamicLibraryLoader& loader, void* library) {
    m_missing = m_oci.Bind(loader, library);
    if (m_oci.opinit) m_oci.opinit(oci::OCI_EV_TSF);
}

int COracleConnectionImp7::GetErrorCode() {
    if (m_call.IsSet()) return 0;
    return CdaReturnCode(m_lda);
}

std::string COracleConnectionImp7::GetErrorText() {
    if (m_call.IsSet()) return m_call.Text();
    return MessageFor(CdaReturnCode(m_lda));
}

std::string COracleConnectionImp7::MessageFor(int errorNumber) {
    CCallAvailability lookup;
    if (!lookup.Ready(m_oci.oerhms, "oerhms")) return lookup.Text();
    char buffer[512] = {};
    m_oci.oerhms(m_lda, static_cast<oci::sb2>(errorNumber), reinterpret_cast<oci::OraText*>(buffer), sizeof(buffer));
    buffer[sizeof(buffer) - 1] = '\0';
    return TrimMessage(buffer);
}

int COracleConnectionImp7::Logon(const std::string& user, const std::string& password, const std::string& server,
                                 EConnectMode /*mode: release 7 knows only NORMAL*/) {
    if (!m_call.Ready(m_oci.olog, "olog")) return oci::OCI_ERROR;
    // The areas of an earlier session are not carried into a new one.
    std::memset(m_hda, 0, sizeof(m_hda));
    std::memset(m_lda, 0, sizeof(m_lda));
    std::string u = user, p = password, s = server;
    auto text = [](std::string& t) { return reinterpret_cast<oci::OraText*>(t.data()); };
    const int rc = m_oci.olog(m_lda, m_hda, text(u), -1, text(p), -1, text(s), -1, 0);
    WipeString(p);
    return rc;
}

int COracleConnectionImp7::Logoff() {
    if (!m_call.Ready(m_oci.ologof, "ologof")) return oci::OCI_ERROR;
    return m_oci.ologof(m_lda);
}

int COracleConnectionImp7::Commit() {
    if (!m_call.Ready(m_oci.ocom, "ocom")) return oci::OCI_ERROR;
    return m_oci.ocom(m_lda);
}

}  // namespace corvid
