#pragma once

#include <memory>
#include <string>
#include <vector>

#include "oracle/ColumnDescription.h"
#include "oracle/OciTypes.h"

namespace corvid {

class COracleConnection;
class COracleCursorImp;

// Runs one SQL statement at a time on a connection: parse, bind by name, define
// output buffers by position, execute and fetch rows into caller-owned arrays.
// Every failure the caller has not chosen to handle ends the program through the
// connection's fatal report, with the statement attached. A cursor belongs to the
// thread that created it.
class COracleCursor {
public:
    explicit COracleCursor(COracleConnection* connection);
    explicit COracleCursor(COracleConnection& connection) : COracleCursor(&connection) {}
    virtual ~COracleCursor();
    COracleCursor(const COracleCursor&) = delete;
    COracleCursor& operator=(const COracleCursor&) = delete;

    void Parse(const std::string& statement);
    // Defines output column `position` (1-based) on an array of elements of
    // `elementSize` bytes; `typeCode` is an external type (3 integer, 4 double,
    // 5 zero-terminated text).
    void Define(int position, void* buffer, int elementSize, int typeCode, short* indicators = nullptr,
                unsigned short* returnedLengths = nullptr, unsigned short* returnCodes = nullptr, unsigned mode = 0);
    // Defines a column whose pieces the client asks for through the callback (OCI8 only).
    void DefineDynamic(int position, int typeCode, unsigned short* returnedLength, void* context,
                       oci::OCICallbackDefine callback);
    void Bind(const std::string& name, void* value, int size, int typeCode, short* indicator = nullptr);
    // What a failed execute does: the fatal report, or return false with the
    // error left for GetErrorCode (for errors the caller expects).
    enum class EOnError { Report, Return };
    // True on success; on failure as onError says.
    bool Execute(int iterations, EOnError onError = EOnError::Report);
    // Executes and fetches up to `rows` rows; true when all of them came. The
    // number delivered goes to *rowCount. Meant for queries of a known number of
    // rows: through OCI7 the fetch is exact (more rows than asked for is an
    // error) and the cursor's rows are done afterwards.
    bool ExecuteAndFetch(int rows, int* rowCount = nullptr);
    // Fetches up to `rows` rows into the defined arrays; false once the rows are
    // exhausted. The number delivered by this call goes to *rowCount.
    bool Fetch(int rows, int* rowCount = nullptr);

    int GetErrorCode();
    std::string GetErrorText();

    void* AllocLob();
    void FreeLob(void* locator);
    unsigned GetLobLength(void* locator);
    // Reads from the 0-based offset; returns OCI_NEED_DATA (99) while more follows,
    // else 0.
    int ReadLob(void* locator, void* buffer, unsigned offset, unsigned size);
    // Writes the large object into a new file; nothing for an empty object. False
    // when the file cannot be created or written.
    bool SaveLobToFile(void* locator, const std::string& fileName);

    // The select list of the parsed statement; empty when it has none.
    void DescribeColumns(std::vector<CColumnDescription>& columns);
    // As DescribeColumns, but a statement the server refuses gives false (the
    // error left for GetErrorCode) instead of the fatal report.
    bool TryDescribeColumns(std::vector<CColumnDescription>& columns);

    // The fatal report with the statement appended; does not return.
    [[noreturn]] void CheckError(int returnCode);

    const std::string& GetStatement() const { return m_statement; }
    // "SQLT_STR(5)"; "???(n)" for a code not known.
    static std::string GetSqltTypeName(int typeCode);

private:
    COracleConnection* m_connection;
    std::string m_statement;
    std::unique_ptr<COracleCursorImp> m_imp;
};

}  // namespace corvid
