#pragma once

#include <string>

#include "oracle/ColumnDescription.h"
#include "oracle/OciTypes.h"

namespace corvid {

// One interface generation's side of a cursor. All operations but
// GetRowsProcessed, GetErrorCode and GetErrorText return the client's return code.
class COracleCursorImp {
public:
    virtual ~COracleCursorImp() = default;
    // The text must stay alive until the next Parse (release 7 may parse it late).
    virtual int Parse(const std::string& statement) = 0;
    virtual int Define(void** defineHandle, int position, void* buffer, int elementSize, int typeCode,
                       short* indicators, unsigned short* returnedLengths, unsigned short* returnCodes,
                       unsigned mode) = 0;
    virtual int DefineDynamic(int position, int typeCode, unsigned short* returnedLength, void* context,
                              oci::OCICallbackDefine callback) = 0;
    virtual int Bind(const std::string& name, void* value, int size, int typeCode, short* indicator) = 0;
    virtual int Execute(int iterations, unsigned mode) = 0;
    // The rows processed (fetched) since the statement was executed.
    virtual unsigned GetRowsProcessed() = 0;
    virtual int Fetch(int rows) = 0;
    virtual int ExecuteAndFetch(int rows) = 0;
    virtual int AllocLob(void** locator) = 0;
    virtual int FreeLob(void* locator) = 0;
    virtual int GetLobLength(void* locator, unsigned* length) = 0;
    virtual int ReadLob(void* locator, void* buffer, unsigned offset, unsigned size) = 0;
    virtual int DescribeColumn(int position, CColumnDescription& column) = 0;
    virtual int GetErrorCode() = 0;
    virtual std::string GetErrorText() = 0;
};

}  // namespace corvid
