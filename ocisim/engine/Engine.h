#pragma once

// The simulated Oracle server as the client libraries see it. This header is the
// contract between the server (ocisim/engine/) and the two client libraries
// (ocisim/oci/): the libraries turn Oracle's C calls into these calls and the
// results back into buffers, indicators and return codes.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace ocisim {

// A server error: Oracle's error number and the full message text, e.g.
// code 942, message "ORA-00942: table or view does not exist".
struct OraError {
    int code = 0;
    std::string message;
    bool IsError() const { return code != 0; }
    static OraError Make(int code, const std::string& text);  // formats "ORA-%05d: text"
};

// A value of the server's types. Numbers are held as double (every figure the
// views return is an integer below 2^53 or a small fraction).
struct Value {
    enum class Type { Null, Number, Text, Date };
    Type type = Type::Null;
    double number = 0;
    std::string text;        // Text
    std::int64_t date = 0;   // Date: seconds since 1970-01-01 00:00:00, no zone

    static Value Null() { return {}; }
    static Value Num(double n) { Value v; v.type = Type::Number; v.number = n; return v; }
    static Value Str(std::string s);  // Oracle: the empty string is NULL
    static Value DateAt(std::int64_t seconds) { Value v; v.type = Type::Date; v.date = seconds; return v; }
    bool IsNull() const { return type == Type::Null; }

    // The value as Oracle converts it to text implicitly (TO_CHAR with the
    // session's default formats: numbers like "12.5", "-3", ".5"; dates as
    // 'DD-MON-RR'). Null gives the empty text.
    std::string ToText() const;
    // The value as a number (implicit TO_NUMBER); ORA-01722 for text that is not one.
    bool ToNumber(double& out, OraError& err) const;
};

// Oracle's internal type codes as described columns report them.
enum class ColumnType : int { Varchar2 = 1, Number = 2, Long = 8, Date = 12, Char = 96 };
// Added for RAW columns (v$sqlarea.address): the described size is the byte
// length, and the value arrives as text with two hexadecimal digits per byte,
// as Oracle converts a RAW fetched into a character buffer.
constexpr ColumnType kColumnTypeRaw = static_cast<ColumnType>(23);

struct ColumnDesc {
    std::string name;      // upper-case unless it was quoted
    ColumnType type = ColumnType::Varchar2;
    int size = 0;          // maximum byte length (22 for NUMBER, 7 for DATE)
    int precision = 0;
    int scale = 0;
    bool nullable = true;
};

// A bind variable of one execute: its name as written in the statement, without
// the colon (":b1" binds as "b1"; names compare ignoring case), and its value.
// A PL/SQL call may assign OUT and IN OUT parameters; it then sets `value` and
// `assigned`.
struct Bind {
    std::string name;
    Value value;
    bool assigned = false;
};

// The rows of a query, produced one at a time (a scenario may make the n-th
// fetch fail, and the workload may move between fetches).
class RowSource {
public:
    virtual ~RowSource() = default;
    // True and the next row; false at the end (err empty) or on a failure (err set).
    virtual bool Next(std::vector<Value>& row, OraError& err) = 0;
};

// Oracle's statement types (OCI_ATTR_STMT_TYPE).
enum class StatementType : int {
    Unknown = 0, Select = 1, Update = 2, Delete = 3, Insert = 4, Create = 5, Drop = 6, Alter = 7,
    Begin = 8, Declare = 9
};

// The statement type from the first keyword, as the client computes it at prepare
// time without asking the server.
StatementType ClassifyStatement(const std::string& sql);

struct ExecResult {
    OraError error;               // set: the execute failed, nothing else is valid
    OraError warning;             // set on success with info (ORA-24344 after a compilation error)
    std::vector<ColumnDesc> columns;  // a query's select list
    std::unique_ptr<RowSource> rows;  // a query's rows (null for other statements)
    std::uint64_t rowsProcessed = 0;  // DML: rows inserted, updated or deleted
};

class Session {
public:
    virtual ~Session() = default;
    // The server's session id (USERENV('SESSIONID')), unique per logon.
    virtual std::int64_t SessionId() const = 0;
    virtual const std::string& UserName() const = 0;
    // Parses and runs one SQL statement or PL/SQL block. Every statement a session
    // parses enters the shared pool (sys.v_$sqlarea) with its text, parsing user
    // and command type. With `describeOnly` the statement is parsed and a query
    // described, but nothing runs.
    virtual ExecResult Execute(const std::string& sql, std::vector<Bind>& binds, bool describeOnly) = 0;
    virtual OraError Commit() = 0;
    virtual OraError Rollback() = 0;
    // A round trip that does nothing: ORA-03114 once the session has died.
    virtual OraError Ping() = 0;
};

// Connect modes of a logon.
enum class LogonMode { Normal = 0, SysDba = 1, SysOper = 2 };

class Server {
public:
    virtual ~Server() = default;
    // Checks a connect identifier: "" is the local database; an alias that the
    // scenario does not know gives ORA-12154.
    virtual OraError Attach(const std::string& alias) = 0;
    // A new session on the database of the alias. ORA-01017 for wrong credentials,
    // ORA-01031 for SYSDBA or SYSOPER without that privilege.
    virtual std::unique_ptr<Session> Logon(const std::string& alias, const std::string& user,
                                           const std::string& password, LogonMode mode, OraError& err) = 0;
    // The server's version line: the first row of v$version.
    virtual std::string VersionBanner() = 0;
};

// The process's server, built on first use from the scenario named by the
// environment variable CORVID_SIM_SCENARIO (a file path, or the name of a bundled
// scenario; the bundled demo when unset). When the variable's value differs from
// the scenario the server was built from, the next call builds a new server;
// sessions keep the server they came from alive.
std::shared_ptr<Server> TheServer();

// Rebuilds the server from the current scenario even when its name is unchanged.
void ResetServer();

// A statement that the scenario's generator made: its text, the template it came
// from (the position among the scenario's templates) and what each of the
// template's placeholders became, in the order of the template's text.
struct GeneratedStatement {
    std::string text;
    int templateIndex = 0;
    std::vector<std::string> values;
};

// What the generator made for the server's database, in the order it made them,
// and the texts of the templates it made them from. For tests only: no client
// call reaches them.
std::vector<GeneratedStatement> GeneratedStatements(Server& server);
std::vector<std::string> GeneratorTemplates(Server& server);

}  // namespace ocisim
