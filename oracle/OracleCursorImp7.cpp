#include "oracle/OracleCursorImp7.h"

#include "oracle/OciHelpers.h"
#include "oracle/OracleConnectionImp7.h"

namespace corvid {

using namespace oci;

COracleCursorImp7::COracleCursorImp7(COracleConnectionImp7& connection) : m_connection(connection) {
    const auto& oci = m_connection.Oci();
    if (m_call.Ready(oci.oopen, "oopen")) oci.oopen(m_cda, m_connection.Lda(), nullptr, -1, -1, nullptr, -1);
}

COracleCursorImp7::~COracleCursorImp7() {
    const auto& oci = m_connection.Oci();
    if (oci.oclose) oci.oclose(m_cda);
}

int COracleCursorImp7::Parse(const std::string& statement) {
    const auto& oci = m_connection.Oci();
    if (!m_call.Ready(oci.oparse, "oparse")) return OCI_ERROR;
    auto* text = reinterpret_cast<OraText*>(const_cast<char*>(statement.c_str()));
    return oci.oparse(m_cda, text, static_cast<sb4>(statement.size()), 1, 1);
}

int COracleCursorImp7::Define(void** /*defineHandle*/, int position, void* buffer, int elementSize, int typeCode,
                              short* indicators, unsigned short* returnedLengths, unsigned short* returnCodes,
                              unsigned /*mode*/) {
    const auto& oci = m_connection.Oci();
    if (!m_call.Ready(oci.odefin, "odefin")) return OCI_ERROR;
    return oci.odefin(m_cda, position, static_cast<ub1*>(buffer), elementSize, typeCode, -1, indicators, nullptr, -1,
                      -1, returnedLengths, returnCodes);
}

int COracleCursorImp7::NotAvailable(const char* operation, int rc) {
    m_call.NotInGeneration(operation, "OCI7");
    return rc;
}

int COracleCursorImp7::DefineDynamic(int, int, unsigned short*, void*, OCICallbackDefine) {
    return NotAvailable("DefineDynamic", -1);
}

int COracleCursorImp7::Bind(const std::string& name, void* value, int size, int typeCode, short* indicator) {
    const auto& oci = m_connection.Oci();
    if (!m_call.Ready(oci.obndrv, "obndrv")) return OCI_ERROR;
    auto* placeholder = reinterpret_cast<OraText*>(const_cast<char*>(name.c_str()));
    return oci.obndrv(m_cda, placeholder, -1, static_cast<ub1*>(value), size, typeCode, -1, indicator, nullptr, -1, -1);
}

int COracleCursorImp7::Execute(int /*iterations*/, unsigned /*mode*/) {
    const auto& oci = m_connection.Oci();
    if (!m_call.Ready(oci.oexec, "oexec")) return OCI_ERROR;
    return oci.oexec(m_cda);
}

unsigned COracleCursorImp7::GetRowsProcessed() {
    return CdaRowsProcessed(m_cda);
}

int COracleCursorImp7::MapFetchResult(int rc) {
    if (rc == 0) return OCI_SUCCESS;
    return CdaReturnCode(m_cda) == ORA_NO_DATA_FOUND ? OCI_NO_DATA : OCI_ERROR;
}

int COracleCursorImp7::Fetch(int rows) {
    const auto& oci = m_connection.Oci();
    if (!m_call.Ready(oci.ofen, "ofen")) return OCI_ERROR;
    return MapFetchResult(oci.ofen(m_cda, rows));
}

int COracleCursorImp7::ExecuteAndFetch(int rows) {
    const auto& oci = m_connection.Oci();
    if (!m_call.Ready(oci.oexfet, "oexfet")) return OCI_ERROR;
    return MapFetchResult(oci.oexfet(m_cda, static_cast<ub4>(rows), 0, 1));
}

int COracleCursorImp7::AllocLob(void**) {
    return NotAvailable("AllocLob", -100);
}
int COracleCursorImp7::FreeLob(void*) {
    return NotAvailable("FreeLob", -100);
}
int COracleCursorImp7::GetLobLength(void*, unsigned*) {
    return NotAvailable("GetLobLength", -100);
}
int COracleCursorImp7::ReadLob(void*, void*, unsigned, unsigned) {
    return NotAvailable("ReadLob", -100);
}

int COracleCursorImp7::DescribeColumn(int position, CColumnDescription& column) {
    const auto& oci = m_connection.Oci();
    if (!m_call.Ready(oci.odescr, "odescr")) return OCI_ERROR;
    sb4 dbSize = 0, nameLength = 999, displaySize = 0;
    sb2 dbType = 0, precision = 0, scale = 0, nullOk = 0;
    sb1 name[1000] = {};
    const int rc =
        oci.odescr(m_cda, position, &dbSize, &dbType, name, &nameLength, &displaySize, &precision, &scale, &nullOk);
    if (rc != 0) return rc;  // 1007 marks the end of the select list
    if (nameLength < 0) nameLength = 0;
    if (nameLength > 999) nameLength = 999;
    column.m_DataSize = dbSize;
    column.m_DataType = dbType;
    column.m_Name.assign(reinterpret_cast<const char*>(name), static_cast<std::size_t>(nameLength));
    column.m_Precision = precision;
    column.m_Scale = scale;
    column.m_Nullable = nullOk != 0;
    return rc;
}

int COracleCursorImp7::GetErrorCode() {
    if (m_call.IsSet()) return 0;
    return CdaReturnCode(m_cda);
}

std::string COracleCursorImp7::GetErrorText() {
    if (m_call.IsSet()) return m_call.Text();
    return m_connection.MessageFor(CdaReturnCode(m_cda));
}

}  // namespace corvid
