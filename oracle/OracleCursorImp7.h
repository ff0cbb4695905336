#pragma once

#include "oracle/CallAvailability.h"
#include "oracle/OracleCursorImp.h"

namespace corvid {

class COracleConnectionImp7;

// A cursor through the release-7 interface: a zero-filled cursor data area opened
// on the connection's logon data area. Dynamic defines and large objects do not
// exist in this interface.
class COracleCursorImp7 : public COracleCursorImp {
public:
    explicit COracleCursorImp7(COracleConnectionImp7& connection);
    ~COracleCursorImp7() override;
    COracleCursorImp7(const COracleCursorImp7&) = delete;
    COracleCursorImp7& operator=(const COracleCursorImp7&) = delete;

    int Parse(const std::string& statement) override;
    int Define(void** defineHandle, int position, void* buffer, int elementSize, int typeCode, short* indicators,
               unsigned short* returnedLengths, unsigned short* returnCodes, unsigned mode) override;
    int DefineDynamic(int position, int typeCode, unsigned short* returnedLength, void* context,
                      oci::OCICallbackDefine callback) override;
    int Bind(const std::string& name, void* value, int size, int typeCode, short* indicator) override;
    int Execute(int iterations, unsigned mode) override;
    unsigned GetRowsProcessed() override;
    int Fetch(int rows) override;
    int ExecuteAndFetch(int rows) override;
    int AllocLob(void** locator) override;
    int FreeLob(void* locator) override;
    int GetLobLength(void* locator, unsigned* length) override;
    int ReadLob(void* locator, void* buffer, unsigned offset, unsigned size) override;
    int DescribeColumn(int position, CColumnDescription& column) override;
    int GetErrorCode() override;
    std::string GetErrorText() override;

private:
    // 0 stays 0; the end of the rows (error 1403) becomes OCI_NO_DATA; any other
    // failure OCI_ERROR.
    int MapFetchResult(int rc);
    int NotAvailable(const char* operation, int rc);

    COracleConnectionImp7& m_connection;
    CCallAvailability m_call;
    alignas(8) unsigned char m_cda[oci::kCdaSize] = {};
};

}  // namespace corvid
