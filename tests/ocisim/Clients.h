#pragma once

// One client connection per generation behind the same small interface, so that
// the suite's cases run through both the release 8 handles and the release 7 data
// areas of a library.

#include <memory>
#include <string>

#include "ClientLibrary.h"

enum class Outcome { Ok, Info, NoData, Error };

struct FetchResult {
    Outcome outcome = Outcome::Error;
    unsigned rows = 0;  // rows this call delivered
};

struct ColumnInfo {
    std::string name;
    int type = 0;
    int size = 0;
    int precision = 0;
    int scale = 0;
    bool nullable = false;
};

class CClient {
public:
    virtual ~CClient() = default;
    virtual const char* Name() const = 0;
    // 0 or the Oracle error number.
    virtual int Logon(const std::string& user, const std::string& password, const std::string& alias) = 0;
    virtual void Logoff() = 0;
    virtual bool Parse(const std::string& sql) = 0;
    virtual bool Define(int position, void* buffer, int size, int type, sb2* indicators = nullptr,
                        ub2* lengths = nullptr, ub2* codes = nullptr) = 0;
    virtual bool Bind(const std::string& name, void* buffer, int size, int type, sb2* indicator = nullptr) = 0;
    // Runs the statement without fetching.
    virtual Outcome Execute() = 0;
    // Runs a query and fetches up to `rows` rows.
    virtual FetchResult ExecuteAndFetch(unsigned rows) = 0;
    virtual FetchResult Fetch(unsigned rows) = 0;
    // Describes one select-list position of the parsed query; false past the end.
    virtual bool Describe(int position, ColumnInfo& column) = 0;
    virtual bool Commit() = 0;
    // The last error's number and its "ORA-nnnnn: text" without the line end.
    virtual int ErrorCode() = 0;
    virtual std::string ErrorText() = 0;

    // Runs a query and returns its first column of its first row as text ("" for
    // none); fails the test on an error.
    std::string QueryText(const std::string& sql);
    long QueryNumber(const std::string& sql);
};

std::unique_ptr<CClient> MakeRelease8Client(const CClientLibrary& library, ub4 sessionMode = OCI_DEFAULT);
std::unique_ptr<CClient> MakeRelease7Client(const CClientLibrary& library);
