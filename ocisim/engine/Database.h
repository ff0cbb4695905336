#pragma once

// The state of one simulated database: its users with their privileges, the
// schema objects (tables with their statistics, indexes, synonyms, grants,
// stored procedures), the shared pool, the injected faults and the workload.
// The server guards it with one mutex.

#include <cstdint>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "ocisim/engine/SharedPool.h"
#include "ocisim/engine/TableData.h"

namespace ocisim {

struct PlSqlUnit;

struct UserInfo {
    std::string name;
    std::string password;
    int id = 0;
    std::int64_t created = 0;
    bool sysdba = false, sysoper = false, dba = false;
    bool catalog = false;          // the v$ views of the shared pool
    bool vdatabase = false;        // v$database
    bool alterSystem = false;
    bool createProcedure = false;
    bool createSession = true;
    bool locked = false;
    bool planTable = false;
    bool dropped = false;          // gone since: no logon, not in all_users; its statements stay in the pool
};

struct TableInfo {
    std::string owner, name;
    std::shared_ptr<RowTable> data;
    std::int64_t numRows = 0;   // the statistics' row count (or the real count without statistics)
    std::int64_t blocks = 0;
    int avgRowLen = 100;
    bool analyzed = false;
    int objectId = 0;
    std::int64_t created = 0;
};

struct IndexInfo {
    std::string owner, name, tableOwner, table;
    std::vector<std::string> columns;
    bool unique = false;
    int objectId = 0;
    std::int64_t created = 0;
};

struct SynonymInfo {
    std::string owner, name, targetOwner, targetName;  // owner "PUBLIC" for public synonyms
};

struct ProcedureInfo {
    std::string owner, name, type, text;
    bool valid = false;
    int objectId = 0;
    std::int64_t created = 0, lastDdl = 0;
    std::shared_ptr<PlSqlUnit> unit;  // the compiled unit when valid
};

// A step of the server that a scenario makes fail.
struct Fault {
    std::string step;        // logon, attach, execute, fetch, commit
    std::string user;        // only for this user (empty: any)
    std::string match;       // LIKE pattern on the statement text (empty: any)
    std::int64_t after = 0;  // fetch: rows delivered before the failure; others: successful calls first
    int code = 0;
    std::string message;     // replaces the standard text
    std::int64_t times = -1; // how often it fires (-1: always)
    bool fatal = false;      // the session is gone afterwards (ORA-03114 on every later call)
    std::int64_t seen = 0;
};

// How the simulated workload moves the shared pool between two queries on it.
struct Workload {
    int newStatements = 0;    // statements that enter the pool
    int touched = 0;          // statements that run again
    int removed = 0;          // statements that age out of the pool
    bool atSleep = false;     // runs once per sleep instead of after every query on the pool
};

// A scripted step of the workload, applied each time a session sleeps
// (DBMS_LOCK.SLEEP, DBMS_SESSION.SLEEP): every pool statement whose text matches
// runs again and its counters grow by the given amounts, or it ages out.
struct WorkloadRun {
    std::string match;  // LIKE pattern on the statement text
    bool ageOut = false;
    double executions = 0, bufferGets = 0, diskReads = 0, rowsProcessed = 0, sorts = 0, parseCalls = 0;
    // Memory the server takes back from an idle cursor: bytes of sharable memory
    // and child cursors freed, without an execution.
    double freedMemory = 0, freedVersions = 0;
};

struct ServerConfig {
    std::string database = "DEMO";
    std::set<std::string> aliases{"DEMO"};
    int wordSize = 64;
    std::vector<std::string> banners{
        "Oracle Database 19c Enterprise Edition Release 19.0.0.0.0 - Production",
        "PL/SQL Release 19.0.0.0.0 - Production", "CORE\t19.0.0.0.0\tProduction",
        "TNS for Linux: Version 19.0.0.0.0 - Production", "NLSRTL Version 19.0.0.0.0 - Production"};
    std::string optimizerMode = "CHOOSE";
    // A release before 10g: no SQL_ID, times or plan hash in the pool views, no V$SQL_PLAN.
    bool oldRelease = false;
    std::int64_t dbid = 1357924680;
    std::int64_t created = 0;
    std::int64_t fixedClock = 0;  // 0: the real local time
    std::int64_t startupTime = 0;  // v$instance.STARTUP_TIME
    std::uint64_t seed = 20240311;
};

// An object's key OWNER.NAME given as its two parts, to look a table up
// without joining them.
struct ObjectName {
    const std::string& owner;
    const std::string& name;
};

// Orders "OWNER.NAME" keys, and compares them with ObjectName as if joined.
struct ObjectKeyLess {
    using is_transparent = void;
    bool operator()(const std::string& a, const std::string& b) const { return a < b; }
    bool operator()(const std::string& key, const ObjectName& n) const { return Compare(key, n) < 0; }
    bool operator()(const ObjectName& n, const std::string& key) const { return Compare(key, n) > 0; }
    // The order of `key` against owner + "." + name.
    static int Compare(const std::string& key, const ObjectName& n);
};

class Database {
public:
    Database();

    ServerConfig config;
    std::map<std::string, UserInfo> users;  // by name
    std::map<std::string, TableInfo, ObjectKeyLess> tables;  // by OWNER.NAME
    std::map<std::string, IndexInfo> indexes;
    std::map<std::string, SynonymInfo> synonyms;  // by OWNER.NAME
    std::map<std::string, std::set<std::string>> grants;  // OWNER.NAME -> grantees (PUBLIC included)
    // The privileges beyond SELECT that GRANT gave: OWNER.NAME -> "GRANTEE PRIVILEGE"
    // (INSERT, UPDATE, DELETE, INDEX or ALL). A scenario's grant lines give SELECT alone.
    std::map<std::string, std::set<std::string>> changeGrants;
    std::map<std::string, ProcedureInfo> procedures;
    SharedPool pool;
    // The generator's templates' texts, and every statement it made with its
    // template (for tests).
    std::vector<std::string> generatorTemplates;
    std::vector<GeneratedStatement> generated;
    std::vector<Fault> faults;
    Workload workload;
    std::vector<WorkloadRun> workloadRuns;
    // Statements that enter the pool at the first sleep (scenario `statement ... after-sleep`).
    std::vector<PoolEntry> enterAtSleep;
    // Seconds the server's clock has moved on through sleeps.
    double clockOffset = 0;
    std::mt19937_64 random;
    int nextObjectId = 70000;
    std::int64_t nextSessionId = 180000;

    std::int64_t Now() const;
    const UserInfo* FindUser(const std::string& name) const;
    const UserInfo* FindUserById(int id) const;
    TableInfo* FindTable(const std::string& owner, const std::string& name);
    // A user's table with the columns of the plan table.
    TableInfo& CreatePlanTable(const std::string& owner);
    TableInfo& CreateTable(const std::string& owner, const std::string& name, std::vector<ColumnDesc> columns);
    // Oracle's object name conventions for lookups: OWNER.NAME.
    static std::string Key(const std::string& owner, const std::string& name) { return owner + "." + name; }
    // Runs the workload once (between two queries on the shared pool).
    void AdvanceWorkload();
    // A session sleeps: the clock moves on by that many seconds and the workload
    // of that span runs (the scripted steps, pending statements, and the random
    // workload when it runs at sleeps).
    void Sleep(double seconds);
};

// The columns of PLAN_TABLE as Oracle's utlxplan.sql creates it.
std::vector<ColumnDesc> PlanTableColumns();

}  // namespace ocisim
