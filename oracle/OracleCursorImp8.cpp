#include "oracle/OracleCursorImp8.h"

#include "oracle/OciErrorGet.h"
#include "oracle/OracleConnectionImp8.h"

namespace corvid {

using namespace oci;

COracleCursorImp8::COracleCursorImp8(COracleConnectionImp8& connection) : m_connection(connection) {
    const auto& oci = m_connection.Oci();
    if (m_call.Ready(oci.OCIHandleAlloc, "OCIHandleAlloc")) {
        oci.OCIHandleAlloc(m_connection.Env(), reinterpret_cast<void**>(&m_statement), OCI_HTYPE_STMT, 0, nullptr);
        oci.OCIHandleAlloc(m_connection.Env(), reinterpret_cast<void**>(&m_error), OCI_HTYPE_ERROR, 0, nullptr);
    }
}

COracleCursorImp8::~COracleCursorImp8() {
    const auto& oci = m_connection.Oci();
    if (!oci.OCIHandleFree) return;
    if (m_statement) oci.OCIHandleFree(m_statement, OCI_HTYPE_STMT);
    if (m_error) oci.OCIHandleFree(m_error, OCI_HTYPE_ERROR);
}

int COracleCursorImp8::Parse(const std::string& statement) {
    const auto& oci = m_connection.Oci();
    if (!m_call.Ready(oci.OCIStmtPrepare, "OCIStmtPrepare")) return OCI_ERROR;
    return oci.OCIStmtPrepare(m_statement, m_error, reinterpret_cast<const OraText*>(statement.data()),
                              static_cast<ub4>(statement.size()), OCI_NTV_SYNTAX, OCI_DEFAULT);
}

int COracleCursorImp8::Define(void** defineHandle, int position, void* buffer, int elementSize, int typeCode,
                              short* indicators, unsigned short* returnedLengths, unsigned short* returnCodes,
                              unsigned mode) {
    const auto& oci = m_connection.Oci();
    if (!m_call.Ready(oci.OCIDefineByPos, "OCIDefineByPos")) return OCI_ERROR;
    OCIDefine* scratch = nullptr;
    OCIDefine** handle = defineHandle ? reinterpret_cast<OCIDefine**>(defineHandle) : &scratch;
    return oci.OCIDefineByPos(m_statement, handle, m_error, static_cast<ub4>(position), buffer, elementSize,
                              static_cast<ub2>(typeCode), indicators, returnedLengths, returnCodes, mode);
}

int COracleCursorImp8::DefineDynamic(int position, int typeCode, unsigned short* returnedLength, void* context,
                                     OCICallbackDefine callback) {
    const auto& oci = m_connection.Oci();
    if (!m_call.Ready(oci.OCIDefineByPos, "OCIDefineByPos")) return OCI_ERROR;
    // The name that the next call needs is checked before the define is made, so
    // that a missing function leaves no half-made define behind.
    if (!m_call.Ready(oci.OCIDefineDynamic, "OCIDefineDynamic")) return OCI_ERROR;
    OCIDefine* define = nullptr;
    int rc = oci.OCIDefineByPos(m_statement, &define, m_error, static_cast<ub4>(position), nullptr, 2147483647,
                                static_cast<ub2>(typeCode), nullptr, returnedLength, nullptr, OCI_DYNAMIC_FETCH);
    if (rc != OCI_SUCCESS) return rc;
    return oci.OCIDefineDynamic(define, m_error, context, callback);
}

int COracleCursorImp8::Bind(const std::string& name, void* value, int size, int typeCode, short* indicator) {
    const auto& oci = m_connection.Oci();
    if (!m_call.Ready(oci.OCIBindByName, "OCIBindByName")) return OCI_ERROR;
    OCIBind* bind = nullptr;
    return oci.OCIBindByName(m_statement, &bind, m_error, reinterpret_cast<const OraText*>(name.data()),
                             static_cast<sb4>(name.size()), value, size, static_cast<ub2>(typeCode), indicator, nullptr,
                             nullptr, 0, nullptr, OCI_DEFAULT);
}

int COracleCursorImp8::Execute(int iterations, unsigned mode) {
    const auto& oci = m_connection.Oci();
    if (!m_call.Ready(oci.OCIStmtExecute, "OCIStmtExecute")) return OCI_ERROR;
    return oci.OCIStmtExecute(m_connection.ServiceContext(), m_statement, m_error, static_cast<ub4>(iterations), 0,
                              nullptr, nullptr, mode);
}

unsigned COracleCursorImp8::GetRowsProcessed() {
    const auto& oci = m_connection.Oci();
    if (!oci.OCIAttrGet) return 0;
    ub4 rows = 0;
    oci.OCIAttrGet(m_statement, OCI_HTYPE_STMT, &rows, nullptr, OCI_ATTR_ROW_COUNT, m_error);
    return rows;
}

int COracleCursorImp8::Fetch(int rows) {
    const auto& oci = m_connection.Oci();
    if (!m_call.Ready(oci.OCIStmtFetch, "OCIStmtFetch")) return OCI_ERROR;
    // The rows a fetch delivered are counted through OCIAttrGet.
    if (!m_call.Ready(oci.OCIAttrGet, "OCIAttrGet")) return OCI_ERROR;
    return oci.OCIStmtFetch(m_statement, m_error, static_cast<ub4>(rows), OCI_FETCH_NEXT, OCI_DEFAULT);
}

int COracleCursorImp8::ExecuteAndFetch(int rows) {
    if (!m_call.Ready(m_connection.Oci().OCIAttrGet, "OCIAttrGet")) return OCI_ERROR;
    return Execute(rows, OCI_DEFAULT);
}

int COracleCursorImp8::AllocLob(void** locator) {
    const auto& oci = m_connection.Oci();
    if (!m_call.Ready(oci.OCIDescriptorAlloc, "OCIDescriptorAlloc")) return OCI_ERROR;
    return oci.OCIDescriptorAlloc(m_connection.Env(), locator, OCI_DTYPE_LOB, 0, nullptr);
}

int COracleCursorImp8::FreeLob(void* locator) {
    const auto& oci = m_connection.Oci();
    if (!m_call.Ready(oci.OCIDescriptorFree, "OCIDescriptorFree")) return OCI_ERROR;
    return oci.OCIDescriptorFree(locator, OCI_DTYPE_LOB);
}

int COracleCursorImp8::GetLobLength(void* locator, unsigned* length) {
    const auto& oci = m_connection.Oci();
    if (!m_call.Ready(oci.OCILobGetLength, "OCILobGetLength")) return OCI_ERROR;
    return oci.OCILobGetLength(m_connection.ServiceContext(), m_error, static_cast<OCILobLocator*>(locator), length);
}

int COracleCursorImp8::ReadLob(void* locator, void* buffer, unsigned offset, unsigned size) {
    const auto& oci = m_connection.Oci();
    if (!m_call.Ready(oci.OCILobRead, "OCILobRead")) return OCI_ERROR;
    ub4 amount = 0;
    return oci.OCILobRead(m_connection.ServiceContext(), m_error, static_cast<OCILobLocator*>(locator), &amount, offset,
                          buffer, size, nullptr, nullptr, 0, SQLCS_IMPLICIT);
}

int COracleCursorImp8::GetParamAttr(void* param, void* value, ub4* size, ub4 attribute) {
    return m_connection.Oci().OCIAttrGet(param, OCI_DTYPE_PARAM, value, size, attribute, m_error);
}

int COracleCursorImp8::DescribeColumn(int position, CColumnDescription& column) {
    const auto& oci = m_connection.Oci();
    if (!m_call.Ready(oci.OCIParamGet, "OCIParamGet")) return OCI_ERROR;
    if (!m_call.Ready(oci.OCIAttrGet, "OCIAttrGet")) return OCI_ERROR;
    void* param = nullptr;
    int rc = oci.OCIParamGet(m_statement, OCI_HTYPE_STMT, m_error, &param, static_cast<ub4>(position));
    if (rc != OCI_SUCCESS) return rc;

    ub2 dataType = 0, dataSize = 0;
    OraText* name = nullptr;
    ub4 nameLength = 0;
    ub1 isNull = 0;
    sb2 precision = 0;
    sb1 scale = 0;
    if ((rc = GetParamAttr(param, &dataType, nullptr, OCI_ATTR_DATA_TYPE)) != OCI_SUCCESS) return rc;
    if ((rc = GetParamAttr(param, &name, &nameLength, OCI_ATTR_NAME)) != OCI_SUCCESS) return rc;
    if ((rc = GetParamAttr(param, &isNull, nullptr, OCI_ATTR_IS_NULL)) != OCI_SUCCESS) return rc;
    if ((rc = GetParamAttr(param, &dataSize, nullptr, OCI_ATTR_DATA_SIZE)) != OCI_SUCCESS) return rc;
    if ((rc = GetParamAttr(param, &precision, nullptr, OCI_ATTR_PRECISION)) != OCI_SUCCESS) return rc;
    if ((rc = GetParamAttr(param, &scale, nullptr, OCI_ATTR_SCALE)) != OCI_SUCCESS) return rc;

    column.m_DataType = dataType;
    column.m_Name = name ? std::string(reinterpret_cast<const char*>(name), nameLength) : std::string();
    column.m_Nullable = isNull != 0;
    column.m_DataSize = dataSize;
    column.m_Precision = precision;
    column.m_Scale = scale;
    return OCI_SUCCESS;
}

int COracleCursorImp8::GetErrorCode() {
    if (m_call.IsSet()) return 0;
    return OciErrorCode(m_connection.Oci(), m_error);
}

std::string COracleCursorImp8::GetErrorText() {
    if (m_call.IsSet()) return m_call.Text();
    return OciErrorText(m_connection.Oci(), m_error);
}

}  // namespace corvid
