#pragma once

#include "oracle/CallAvailability.h"
#include "oracle/OracleCursorImp.h"

namespace corvid {

class COracleConnectionImp8;

// A cursor through the release-8 interface: a statement handle and an error
// handle of its own, allocated on the connection's environment.
class COracleCursorImp8 : public COracleCursorImp {
public:
    explicit COracleCursorImp8(COracleConnectionImp8& connection);
    ~COracleCursorImp8() override;
    COracleCursorImp8(const COracleCursorImp8&) = delete;
    COracleCursorImp8& operator=(const COracleCursorImp8&) = delete;

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
    int GetParamAttr(void* param, void* value, oci::ub4* size, oci::ub4 attribute);

    COracleConnectionImp8& m_connection;
    CCallAvailability m_call;
    oci::OCIStmt* m_statement = nullptr;
    oci::OCIError* m_error = nullptr;
};

}  // namespace corvid
