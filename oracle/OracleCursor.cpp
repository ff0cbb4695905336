#include "oracle/OracleCursor.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "diag/TraceContext.h"
#include "oracle/OracleConnection.h"
#include "oracle/OracleConnectionImp7.h"
#include "oracle/OracleConnectionImp8.h"
#include "oracle/OracleCursorImp7.h"
#include "oracle/OracleCursorImp8.h"
#include "oracle/OracleErrorText.h"

namespace corvid {

using namespace oci;

namespace {
constexpr int kDescribeNothingToDescribe = 30732;  // the statement has no select list
constexpr unsigned kLobPieceSize = 1048576;
}  // namespace

COracleCursor::COracleCursor(COracleConnection* connection) : m_connection(connection) {
    COracleConnectionImp& imp = m_connection->GetImp();
    if (m_connection->GetInterfaceVersion() == 7) {
        m_imp = std::make_unique<COracleCursorImp7>(static_cast<COracleConnectionImp7&>(imp));
    } else {
        m_imp = std::make_unique<COracleCursorImp8>(static_cast<COracleConnectionImp8&>(imp));
    }
}

COracleCursor::~COracleCursor() = default;

void COracleCursor::Parse(const std::string& statement) {
    m_statement = statement;
    if (m_connection->GetTraceLevel() >= 15) {
        m_connection->GetTrace()->WriteLine("COracleCursor::Parse(" + m_statement + ")");
    }
    if (int rc = m_imp->Parse(m_statement); rc != 0) CheckError(-1);
}

void COracleCursor::Define(int position, void* buffer, int elementSize, int typeCode, short* indicators,
                           unsigned short* returnedLengths, unsigned short* returnCodes, unsigned mode) {
    if (m_imp->Define(nullptr, position, buffer, elementSize, typeCode, indicators, returnedLengths, returnCodes,
                      mode) != 0) {
        CheckError(-1);
    }
}

void COracleCursor::DefineDynamic(int position, int typeCode, unsigned short* returnedLength, void* context,
                                  OCICallbackDefine callback) {
    if (m_imp->DefineDynamic(position, typeCode, returnedLength, context, callback) != 0) CheckError(-1);
}

void COracleCursor::Bind(const std::string& name, void* value, int size, int typeCode, short* indicator) {
    if (m_imp->Bind(name, value, size, typeCode, indicator) != 0) CheckError(-1);
}

bool COracleCursor::Execute(int iterations, EOnError onError) {
    const int rc = m_imp->Execute(iterations, OCI_DEFAULT);
    if (rc == OCI_SUCCESS || rc == OCI_SUCCESS_WITH_INFO) return true;
    if (onError == EOnError::Report) CheckError(-1);
    return false;
}

bool COracleCursor::ExecuteAndFetch(int rows, int* rowCount) {
    // Executing starts the count again, so the rows of this call are the count
    // after it.
    const int rc = m_imp->ExecuteAndFetch(rows);
    if (rowCount) *rowCount = static_cast<int>(m_imp->GetRowsProcessed());
    if (rc == OCI_SUCCESS) return true;
    if (rc == OCI_NO_DATA) return false;
    CheckError(-1);
}

bool COracleCursor::Fetch(int rows, int* rowCount) {
    const unsigned before = rowCount ? m_imp->GetRowsProcessed() : 0;
    const int rc = m_imp->Fetch(rows);
    if (rowCount) *rowCount = static_cast<int>(m_imp->GetRowsProcessed() - before);
    if (rc == OCI_SUCCESS || rc == OCI_SUCCESS_WITH_INFO) return true;
    if (rc == OCI_NEED_DATA || rc == OCI_NO_DATA) return false;
    CheckError(-1);
}

int COracleCursor::GetErrorCode() {
    return m_imp->GetErrorCode();
}

std::string COracleCursor::GetErrorText() {
    return m_imp->GetErrorText();
}

void* COracleCursor::AllocLob() {
    void* locator = nullptr;
    if (m_imp->AllocLob(&locator) != 0) CheckError(-1);
    return locator;
}

void COracleCursor::FreeLob(void* locator) {
    if (m_imp->FreeLob(locator) != 0) CheckError(-1);
}

unsigned COracleCursor::GetLobLength(void* locator) {
    unsigned length = 0;
    if (m_imp->GetLobLength(locator, &length) != 0) CheckError(-1);
    return length;
}

int COracleCursor::ReadLob(void* locator, void* buffer, unsigned offset, unsigned size) {
    const int rc = m_imp->ReadLob(locator, buffer, offset + 1, size);
    if (rc != OCI_SUCCESS && rc != OCI_NEED_DATA) CheckError(-1);
    return rc;
}

bool COracleCursor::SaveLobToFile(void* locator, const std::string& fileName) {
    unsigned remaining = GetLobLength(locator);
    if (remaining == 0) return true;
    std::FILE* file = std::fopen(fileName.c_str(), "wb");
    if (!file) return false;

    std::vector<char> piece(kLobPieceSize);
    bool written = true;
    int rc = OCI_NEED_DATA;
    while (rc == OCI_NEED_DATA) {
        std::memset(piece.data(), 0, piece.size());
        rc = ReadLob(locator, piece.data(), 0, kLobPieceSize);
        const unsigned size = remaining < kLobPieceSize ? remaining : kLobPieceSize;
        if (written && size > 0) written = std::fwrite(piece.data(), 1, size, file) == size;
        remaining -= size;
    }
    const bool closed = std::fclose(file) == 0;
    return written && closed;
}

void COracleCursor::DescribeColumns(std::vector<CColumnDescription>& columns) {
    columns.clear();
    const int rc = m_imp->Execute(0, OCI_DESCRIBE_ONLY);
    if (rc != OCI_SUCCESS && rc != OCI_SUCCESS_WITH_INFO) {
        if (m_imp->GetErrorCode() == kDescribeNothingToDescribe) return;
        CheckError(-1);
    }
    for (int position = 1;; ++position) {
        CColumnDescription column;
        if (m_imp->DescribeColumn(position, column) != 0) break;
        columns.push_back(std::move(column));
    }
}

bool COracleCursor::TryDescribeColumns(std::vector<CColumnDescription>& columns) {
    columns.clear();
    const int rc = m_imp->Execute(0, OCI_DESCRIBE_ONLY);
    if (rc != OCI_SUCCESS && rc != OCI_SUCCESS_WITH_INFO) return m_imp->GetErrorCode() == kDescribeNothingToDescribe;
    for (int position = 1;; ++position) {
        CColumnDescription column;
        if (m_imp->DescribeColumn(position, column) != 0) break;
        columns.push_back(std::move(column));
    }
    return true;
}

void COracleCursor::CheckError(int returnCode) {
    m_connection->ReportError(FormatOracleError(returnCode, *m_imp) + "\n[" + m_statement + "]");
}

std::string COracleCursor::GetSqltTypeName(int typeCode) {
    static const struct {
        int code;
        const char* name;
    } kTypes[] = {
        {1, "SQLT_CHR"},      {2, "SQLT_NUM"},    {3, "SQLT_INT"},    {4, "SQLT_FLT"},    {5, "SQLT_STR"},
        {6, "SQLT_VNU"},      {7, "SQLT_PDN"},    {8, "SQLT_LNG"},    {9, "SQLT_VCS"},    {10, "SQLT_NON"},
        {11, "SQLT_RID"},     {12, "SQLT_DAT"},   {15, "SQLT_VBI"},   {23, "SQLT_BIN"},   {24, "SQLT_LBI"},
        {68, "SQLT_UIN"},     {91, "SQLT_SLS"},   {94, "SQLT_LVC"},   {95, "SQLT_LVB"},   {96, "SQLT_AFC"},
        {97, "SQLT_AVC"},     {102, "SQLT_CUR"},  {104, "SQLT_RDD"},  {105, "SQLT_LAB"},  {106, "SQLT_OSL"},
        {108, "SQLT_NTY"},    {110, "SQLT_REF"},  {112, "SQLT_CLOB"}, {113, "SQLT_BLOB"}, {114, "SQLT_BFILEE"},
        {115, "SQLT_CFILEE"}, {116, "SQLT_RSET"}, {122, "SQLT_NCO"},  {155, "SQLT_VST"},  {156, "SQLT_ODT"},
    };
    const char* name = "???";
    for (const auto& type : kTypes) {
        if (type.code == typeCode) {
            name = type.name;
            break;
        }
    }
    return std::string(name) + "(" + std::to_string(typeCode) + ")";
}

}  // namespace corvid
