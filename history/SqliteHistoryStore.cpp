#include "history/SqliteHistoryStore.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <unordered_map>

#include "collection/IntervalFigures.h"
#include "history/StoredFigures.h"

namespace corvid {

namespace {

constexpr int kBusyTimeoutMs = 60000;

// The schema of version 1. Per snapshot and statement only the figures (whole
// numbers where they are whole); the rest once per statement, plan or name.
constexpr const char* kSchema1 = R"sql(
CREATE TABLE database_ (
    id INTEGER PRIMARY KEY,
    dbid INTEGER NOT NULL,
    name TEXT NOT NULL,
    instance_number INTEGER NOT NULL,
    instance_name TEXT NOT NULL,
    host TEXT NOT NULL,
    container TEXT NOT NULL,
    UNIQUE (dbid, instance_number, container));
CREATE TABLE snapshot (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    database_id INTEGER NOT NULL,
    server_time TEXT NOT NULL,
    server_seconds INTEGER NOT NULL,
    startup_time TEXT NOT NULL,
    banner TEXT NOT NULL,
    statement_count INTEGER NOT NULL,
    recorded INTEGER NOT NULL,
    total_buffer_gets REAL NOT NULL,
    total_disk_reads REAL NOT NULL);
CREATE INDEX snapshot_by_time ON snapshot (database_id, server_seconds);
CREATE TABLE name_ (
    id INTEGER PRIMARY KEY,
    text TEXT NOT NULL UNIQUE);
CREATE TABLE statement (
    id INTEGER PRIMARY KEY,
    database_id INTEGER NOT NULL,
    address TEXT NOT NULL,
    first_load_time TEXT NOT NULL,
    sql_id TEXT NOT NULL,
    hash_value INTEGER NOT NULL,
    command_type INTEGER NOT NULL,
    parsing_user_id INTEGER NOT NULL,
    parsing_schema_id INTEGER NOT NULL,
    user_name INTEGER NOT NULL,
    optimizer_mode INTEGER NOT NULL,
    module INTEGER NOT NULL,
    server_figures INTEGER NOT NULL,
    text TEXT NOT NULL,
    UNIQUE (database_id, address, first_load_time));
CREATE TABLE plan (
    statement_id INTEGER NOT NULL,
    plan_hash_value INTEGER NOT NULL,
    source INTEGER NOT NULL,
    cost INTEGER NOT NULL,
    full_scans INTEGER NOT NULL,
    text TEXT NOT NULL,
    PRIMARY KEY (statement_id, plan_hash_value)) WITHOUT ROWID;
CREATE TABLE figures (
    snapshot_id INTEGER NOT NULL,
    statement_id INTEGER NOT NULL,
    executions, buffer_gets, disk_reads, rows_processed, sorts, parse_calls,
    sharable_mem, persistent_mem, runtime_mem, loads, version_count,
    elapsed_time, cpu_time, user_io_wait, plan_hash_value, last_active,
    PRIMARY KEY (snapshot_id, statement_id)) WITHOUT ROWID;
CREATE INDEX figures_by_statement ON figures (statement_id, snapshot_id);
)sql";

// One prepared statement, finalized on the way out.
class CStatement {
public:
    CStatement(sqlite3* db, const char* sql) { m_rc = sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr); }
    ~CStatement() { sqlite3_finalize(m_stmt); }
    CStatement(const CStatement&) = delete;
    CStatement& operator=(const CStatement&) = delete;
    bool Ok() const { return m_rc == SQLITE_OK; }
    sqlite3_stmt* get() const { return m_stmt; }
    void Reset() {
        sqlite3_reset(m_stmt);
        sqlite3_clear_bindings(m_stmt);
    }
    void Bind(int i, std::int64_t v) { sqlite3_bind_int64(m_stmt, i, v); }
    void Bind(int i, const std::string& v) { sqlite3_bind_text(m_stmt, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT); }
    // A whole number as an integer (the smallest record), anything else as a real.
    void BindNumber(int i, double v) {
        if (std::isfinite(v) && v == std::floor(v) && std::fabs(v) < 9e15) {
            sqlite3_bind_int64(m_stmt, i, static_cast<std::int64_t>(v));
        } else {
            sqlite3_bind_double(m_stmt, i, std::isfinite(v) ? v : 0.0);
        }
    }
    int Step() { return sqlite3_step(m_stmt); }
    std::int64_t Int(int c) const { return sqlite3_column_int64(m_stmt, c); }
    double Double(int c) const { return sqlite3_column_double(m_stmt, c); }
    std::string Text(int c) const {
        const unsigned char* text = sqlite3_column_text(m_stmt, c);
        return text ? std::string(reinterpret_cast<const char*>(text), static_cast<std::size_t>(sqlite3_column_bytes(m_stmt, c))) : std::string();
    }

private:
    sqlite3_stmt* m_stmt = nullptr;
    int m_rc = SQLITE_ERROR;
};

bool Exec(sqlite3* db, const char* sql) {
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

// Rolls back unless committed.
class CTransaction {
public:
    explicit CTransaction(sqlite3* db) : m_db(db) {}
    ~CTransaction() {
        if (m_open) Exec(m_db, "ROLLBACK");
    }
    CTransaction(const CTransaction&) = delete;
    CTransaction& operator=(const CTransaction&) = delete;
    bool Begin() { return m_open = Exec(m_db, "BEGIN IMMEDIATE"); }
    bool Commit() {
        if (!Exec(m_db, "COMMIT")) return false;
        m_open = false;
        return true;
    }

private:
    sqlite3* m_db;
    bool m_open = false;
};

// What the first bytes of the file say: every SQLite database starts with the
// same 16. An empty file is a store not yet made.
enum class EFileKind { Empty, Sqlite, Other, Unreadable };
EFileKind KindOfFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return EFileKind::Unreadable;
    char header[16] = {};
    const ssize_t got = ::read(fd, header, sizeof header);
    ::close(fd);
    if (got == 0) return EFileKind::Empty;
    return got == 16 && std::memcmp(header, "SQLite format 3", 16) == 0 ? EFileKind::Sqlite : EFileKind::Other;
}

// Makes the folders of `path` that are missing, for the owner only.
void MakeParentFolders(const std::string& path) {
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
        ::mkdir(path.substr(0, slash).c_str(), 0700);
    }
}

}  // namespace

const char* CSqliteHistoryStore::UpgradeStep(int from) {
    switch (from) {
        case 0:
            return kSchema1;
        default:
            return nullptr;
    }
}

CSqliteHistoryStore::~CSqliteHistoryStore() {
    sqlite3_close_v2(m_db);
}

std::string CSqliteHistoryStore::Failure(const std::string& what) const {
    const int code = sqlite3_extended_errcode(m_db);
    std::string text = "history store " + m_path + ": " + what + ": ";
    if ((code & 0xff) == SQLITE_FULL) {
        text += "the disk is full";
    } else {
        text += sqlite3_errmsg(m_db);
    }
    return text;
}

std::unique_ptr<CSqliteHistoryStore> CSqliteHistoryStore::Open(const std::string& path, std::string& error) {
    if (path.empty()) {
        error = "no history store file named";
        return nullptr;
    }
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        if (errno != ENOENT) {
            error = "history store " + path + ": " + std::strerror(errno);
            return nullptr;
        }
        MakeParentFolders(path);
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0 && errno != EEXIST) {
            error = "cannot create the history store " + path + ": " + std::strerror(errno);
            return nullptr;
        }
        if (fd >= 0) ::close(fd);
    } else if (!S_ISREG(info.st_mode)) {
        error = "history store " + path + ": not a regular file";
        return nullptr;
    }
    switch (KindOfFile(path)) {
        case EFileKind::Unreadable:
            error = "cannot read the history store " + path + ": " + std::strerror(errno);
            return nullptr;
        case EFileKind::Other:
            error = "history store " + path + ": not an SQLite database; nothing written";
            return nullptr;
        case EFileKind::Empty:
        case EFileKind::Sqlite:
            break;
    }
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK) {
        error = "cannot open the history store " + path + ": " + (db ? sqlite3_errmsg(db) : "out of memory");
        sqlite3_close_v2(db);
        return nullptr;
    }
    std::unique_ptr<CSqliteHistoryStore> store(new CSqliteHistoryStore(path, db));
    if (!store->Prepare(error)) return nullptr;
    return store;
}

// Checks the version and brings the schema up to date, in one transaction that
// other programs opening the file at the same time wait for.
bool CSqliteHistoryStore::Prepare(std::string& error) {
    sqlite3_busy_timeout(m_db, kBusyTimeoutMs);
    // In WAL mode a commit then waits for no sync of its own: a crash of the
    // program or the system still leaves whole snapshots only (a power cut may
    // take the last ones back).
    Exec(m_db, "PRAGMA synchronous = NORMAL");
    auto readVersion = [this](int& version, int& objects) {
        CStatement v(m_db, "PRAGMA user_version");
        if (!v.Ok() || v.Step() != SQLITE_ROW) return false;
        version = static_cast<int>(v.Int(0));
        CStatement count(m_db, "SELECT COUNT(*) FROM sqlite_master");
        if (!count.Ok() || count.Step() != SQLITE_ROW) return false;
        objects = static_cast<int>(count.Int(0));
        return true;
    };
    auto check = [&](int version, int objects) {
        if (version > kHistorySchemaVersion) {
            error = "history store " + m_path + " has schema version " + std::to_string(version) +
                    ", newer than this program's (" + std::to_string(kHistorySchemaVersion) +
                    "): use a newer Corvid; nothing written";
            return false;
        }
        if (version == 0 && objects > 0) {
            error = "history store " + m_path + ": an SQLite database of another program; nothing written";
            return false;
        }
        return true;
    };
    int version = 0, objects = 0;
    if (!readVersion(version, objects)) {
        error = Failure("cannot read");
        return false;
    }
    if (!check(version, objects)) return false;
    if (version == 0) {
        // Must come before the first table; without effect on a file that has them.
        Exec(m_db, "PRAGMA auto_vacuum = INCREMENTAL");
    }
    {
        CStatement wal(m_db, "PRAGMA journal_mode = WAL");
        if (!wal.Ok() || wal.Step() != SQLITE_ROW) {
            error = Failure("cannot switch to WAL");
            return false;
        }
    }
    if (version == kHistorySchemaVersion) return true;

    CTransaction transaction(m_db);
    if (!transaction.Begin() || !readVersion(version, objects)) {
        error = Failure("cannot prepare");
        return false;
    }
    if (!check(version, objects)) return false;
    for (; version < kHistorySchemaVersion; ++version) {
        if (!Exec(m_db, UpgradeStep(version))) {
            error = Failure("cannot upgrade the schema from version " + std::to_string(version));
            return false;
        }
    }
    if (!Exec(m_db, ("PRAGMA user_version = " + std::to_string(kHistorySchemaVersion)).c_str()) ||
        !transaction.Commit()) {
        error = Failure("cannot write the schema");
        return false;
    }
    return true;
}

bool CSqliteHistoryStore::RecordSnapshot(const SSnapshotHeader& header, const CObjectArray& statements,
                                         std::int64_t& snapshotId, std::string& error,
                                         const HistoryProgress& progress) {
    std::int64_t serverSeconds = 0;
    if (!ParseServerTime(header.serverTime, serverSeconds)) {
        error = "the load has no server time ('" + header.serverTime + "'): not recorded";
        return false;
    }
    CTransaction transaction(m_db);
    if (!transaction.Begin()) {
        error = Failure("cannot begin the snapshot");
        return false;
    }
    const SDatabaseIdentity& id = header.database;
    CStatement database(m_db,
                        "INSERT INTO database_ (dbid, name, instance_number, instance_name, host, container) "
                        "VALUES (?1, ?2, ?3, ?4, ?5, ?6) ON CONFLICT (dbid, instance_number, container) DO UPDATE "
                        "SET name = excluded.name, instance_name = excluded.instance_name, host = excluded.host "
                        "RETURNING id");
    CStatement snapshot(m_db,
                        "INSERT INTO snapshot (database_id, server_time, server_seconds, startup_time, banner, "
                        "statement_count, recorded, total_buffer_gets, total_disk_reads) "
                        "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)");
    CStatement findName(m_db, "SELECT id FROM name_ WHERE text = ?1");
    CStatement addName(m_db, "INSERT INTO name_ (text) VALUES (?1)");
    CStatement findStatement(m_db, "SELECT id FROM statement WHERE database_id = ?1 AND address = ?2 AND "
                                   "first_load_time = ?3");
    CStatement addStatement(m_db,
                            "INSERT INTO statement (database_id, address, first_load_time, sql_id, hash_value, "
                            "command_type, parsing_user_id, parsing_schema_id, user_name, optimizer_mode, module, "
                            "server_figures, text) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13)");
    CStatement addPlan(m_db, "INSERT OR IGNORE INTO plan (statement_id, plan_hash_value, source, cost, full_scans, text) "
                             "VALUES (?1, ?2, ?3, ?4, ?5, ?6)");
    CStatement addFigures(m_db,
                          "INSERT INTO figures (snapshot_id, statement_id, executions, buffer_gets, disk_reads, "
                          "rows_processed, sorts, parse_calls, sharable_mem, persistent_mem, runtime_mem, loads, "
                          "version_count, elapsed_time, cpu_time, user_io_wait, plan_hash_value, last_active) "
                          "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, ?16, ?17, ?18)");
    if (!database.Ok() || !snapshot.Ok() || !findName.Ok() || !addName.Ok() || !findStatement.Ok() ||
        !addStatement.Ok() || !addPlan.Ok() || !addFigures.Ok()) {
        error = Failure("cannot prepare the snapshot");
        return false;
    }
    database.Bind(1, id.dbid);
    database.Bind(2, id.name);
    database.Bind(3, std::int64_t{id.instanceNumber});
    database.Bind(4, id.instanceName);
    database.Bind(5, id.host);
    database.Bind(6, id.container);
    if (database.Step() != SQLITE_ROW) {
        error = Failure("cannot record the database");
        return false;
    }
    const std::int64_t databaseId = database.Int(0);
    database.Reset();

    snapshot.Bind(1, databaseId);
    snapshot.Bind(2, header.serverTime);
    snapshot.Bind(3, serverSeconds);
    snapshot.Bind(4, id.startupTime);
    snapshot.Bind(5, id.banner);
    snapshot.Bind(6, header.statementCount);
    snapshot.Bind(7, static_cast<std::int64_t>(statements.GetSize()));
    snapshot.BindNumber(8, header.totalBufferGets);
    snapshot.BindNumber(9, header.totalDiskReads);
    if (snapshot.Step() != SQLITE_DONE) {
        error = Failure("cannot record the snapshot");
        return false;
    }
    snapshotId = sqlite3_last_insert_rowid(m_db);

    // Names repeat over the statements: one look-up each per snapshot.
    std::unordered_map<std::string, std::int64_t> names;
    auto nameId = [&](const std::string& text, std::int64_t& out) {
        if (auto found = names.find(text); found != names.end()) {
            out = found->second;
            return true;
        }
        findName.Reset();
        findName.Bind(1, text);
        const int rc = findName.Step();
        if (rc == SQLITE_ROW) {
            out = findName.Int(0);
        } else if (rc == SQLITE_DONE) {
            addName.Reset();
            addName.Bind(1, text);
            if (addName.Step() != SQLITE_DONE) return false;
            out = sqlite3_last_insert_rowid(m_db);
        } else {
            return false;
        }
        names.emplace(text, out);
        return true;
    };

    std::size_t written = 0;
    for (const CObjectEntry& entry : statements) {
        const std::string address = entry.m_Address.str();
        const std::string firstLoad = entry.m_FirstLoadTime.str();
        findStatement.Reset();
        findStatement.Bind(1, databaseId);
        findStatement.Bind(2, address);
        findStatement.Bind(3, firstLoad);
        std::int64_t statementId = 0;
        int rc = findStatement.Step();
        if (rc == SQLITE_ROW) {
            statementId = findStatement.Int(0);
        } else if (rc == SQLITE_DONE) {
            std::int64_t user = 0, mode = 0, module = 0;
            if (!nameId(entry.m_UserName.str(), user) || !nameId(entry.m_OptimizerMode.str(), mode) ||
                !nameId(entry.m_Module.str(), module)) {
                error = Failure("cannot record a name");
                return false;
            }
            addStatement.Reset();
            addStatement.Bind(1, databaseId);
            addStatement.Bind(2, address);
            addStatement.Bind(3, firstLoad);
            addStatement.Bind(4, entry.m_SqlId.str());
            addStatement.Bind(5, std::int64_t{entry.m_HashValue.Value()});
            addStatement.Bind(6, std::int64_t{entry.m_CommandType});
            addStatement.Bind(7, std::int64_t{entry.m_ParsingUserId});
            addStatement.Bind(8, std::int64_t{entry.m_ParsingSchemaId});
            addStatement.Bind(9, user);
            addStatement.Bind(10, mode);
            addStatement.Bind(11, module);
            addStatement.Bind(12, std::int64_t{entry.m_HasServerFigures ? 1 : 0});
            addStatement.Bind(13, entry.m_SqlText);
            if (addStatement.Step() != SQLITE_DONE) {
                error = Failure("cannot record a statement");
                return false;
            }
            statementId = sqlite3_last_insert_rowid(m_db);
        } else {
            error = Failure("cannot look up a statement");
            return false;
        }
        if (HasRecordedPlan(entry)) {
            addPlan.Reset();
            addPlan.Bind(1, statementId);
            addPlan.Bind(2, std::int64_t{entry.m_PlanHashValue.Value()});
            addPlan.Bind(3, std::int64_t{entry.m_PlanSource});
            addPlan.Bind(4, std::int64_t{entry.m_PlanCost});
            addPlan.Bind(5, std::int64_t{entry.m_NoOfFullTableScans});
            addPlan.Bind(6, entry.SqlPlan().str());
            if (addPlan.Step() != SQLITE_DONE) {
                error = Failure("cannot record a plan");
                return false;
            }
        }
        const StoredFigures figures = FiguresOf(entry);
        addFigures.Reset();
        addFigures.Bind(1, snapshotId);
        addFigures.Bind(2, statementId);
        for (std::size_t i = 0; i < figures.size(); ++i)
            addFigures.BindNumber(static_cast<int>(i) + 3, figures[i]);
        rc = addFigures.Step();
        if (rc != SQLITE_DONE) {
            error = rc == SQLITE_CONSTRAINT ? "history store " + m_path + ": the load lists statement " + address +
                                                  " (" + firstLoad + ") twice; not recorded"
                                            : Failure("cannot record the figures");
            return false;
        }
        ++written;
        if (progress && written % 1000 == 0 && !progress(written)) {
            error = "the snapshot was stopped and rolled back";
            return false;
        }
    }
    if (progress && !progress(written)) {
        error = "the snapshot was stopped and rolled back";
        return false;
    }
    if (!transaction.Commit()) {
        error = Failure("cannot commit the snapshot");
        return false;
    }
    return true;
}

bool CSqliteHistoryStore::ListDatabases(std::vector<SStoredDatabase>& databases, std::string& error) {
    databases.clear();
    CStatement query(m_db,
                     "SELECT d.id, d.dbid, d.name, d.instance_number, d.instance_name, d.host, d.container, "
                     "(SELECT COUNT(*) FROM snapshot s WHERE s.database_id = d.id) FROM database_ d ORDER BY d.id");
    if (!query.Ok()) {
        error = Failure("cannot list the databases");
        return false;
    }
    int rc;
    while ((rc = query.Step()) == SQLITE_ROW) {
        SStoredDatabase d;
        d.id = query.Int(0);
        d.dbid = query.Int(1);
        d.name = query.Text(2);
        d.instanceNumber = static_cast<std::int32_t>(query.Int(3));
        d.instanceName = query.Text(4);
        d.host = query.Text(5);
        d.container = query.Text(6);
        d.snapshots = query.Int(7);
        databases.push_back(std::move(d));
    }
    if (rc != SQLITE_DONE) {
        error = Failure("cannot list the databases");
        return false;
    }
    return true;
}

bool CSqliteHistoryStore::ListSnapshots(std::int64_t databaseId, std::vector<SStoredSnapshot>& snapshots,
                                        std::string& error) {
    snapshots.clear();
    CStatement query(m_db,
                     "SELECT id, database_id, server_time, server_seconds, startup_time, banner, statement_count, "
                     "recorded, total_buffer_gets, total_disk_reads FROM snapshot WHERE database_id = ?1 "
                     "ORDER BY server_seconds, id");
    if (!query.Ok()) {
        error = Failure("cannot list the snapshots");
        return false;
    }
    query.Bind(1, databaseId);
    int rc;
    while ((rc = query.Step()) == SQLITE_ROW) {
        SStoredSnapshot s;
        s.id = query.Int(0);
        s.databaseId = query.Int(1);
        s.serverTime = query.Text(2);
        s.serverSeconds = query.Int(3);
        s.startupTime = query.Text(4);
        s.banner = query.Text(5);
        s.statementCount = query.Int(6);
        s.recorded = query.Int(7);
        s.totalBufferGets = query.Double(8);
        s.totalDiskReads = query.Double(9);
        snapshots.push_back(std::move(s));
    }
    if (rc != SQLITE_DONE) {
        error = Failure("cannot list the snapshots");
        return false;
    }
    return true;
}

bool CSqliteHistoryStore::ReadLatest(std::int64_t databaseId, std::int64_t afterSnapshot, std::int64_t upToSnapshot,
                                     CObjectArray& statements, std::string& error, std::int64_t movedAfter,
                                     std::int64_t movedUpTo) {
    statements.RemoveAll();
    // SQLite takes the other columns of an aggregate query with one MAX() from
    // the row that holds the maximum: each statement's last figures. For the
    // statements that moved in other snapshots, each one's last snapshot is
    // found through the index by statement instead of reading every snapshot.
    const bool moved = movedUpTo > 0;
    std::string sql = moved ? R"sql(
WITH wanted AS (
    SELECT DISTINCT statement_id FROM figures
    WHERE snapshot_id IN (SELECT id FROM snapshot WHERE database_id = ?1 AND id > ?4 AND id <= ?5)),
latest AS (
    SELECT w.statement_id, (SELECT MAX(f.snapshot_id) FROM figures f WHERE f.statement_id = w.statement_id
                              AND f.snapshot_id > ?2 AND f.snapshot_id <= ?3) AS snapshot_id
    FROM wanted w),
last AS (
    SELECT f.* FROM latest l JOIN figures f ON f.snapshot_id = l.snapshot_id AND f.statement_id = l.statement_id)
SELECT)sql"
                             : R"sql(
WITH last AS (
    SELECT MAX(snapshot_id) AS snapshot_id, statement_id, executions, buffer_gets, disk_reads, rows_processed,
           sorts, parse_calls, sharable_mem, persistent_mem, runtime_mem, loads, version_count, elapsed_time,
           cpu_time, user_io_wait, plan_hash_value, last_active
    FROM figures
    WHERE snapshot_id IN (SELECT id FROM snapshot WHERE database_id = ?1 AND id > ?2 AND id <= ?3)
    GROUP BY statement_id)
SELECT)sql";
    sql += R"sql( last.executions, last.buffer_gets, last.disk_reads, last.rows_processed, last.sorts, last.parse_calls,
       last.sharable_mem, last.persistent_mem, last.runtime_mem, last.loads, last.version_count,
       last.elapsed_time, last.cpu_time, last.user_io_wait, last.plan_hash_value, last.last_active,
       s.address, s.first_load_time, s.sql_id, s.hash_value, s.command_type, s.parsing_user_id,
       s.parsing_schema_id, u.text, o.text, m.text, s.server_figures, s.text,
       p.text, p.source, p.cost, p.full_scans
FROM last
JOIN statement s ON s.id = last.statement_id
LEFT JOIN name_ u ON u.id = s.user_name
LEFT JOIN name_ o ON o.id = s.optimizer_mode
LEFT JOIN name_ m ON m.id = s.module
LEFT JOIN plan p ON p.statement_id = last.statement_id AND p.plan_hash_value = last.plan_hash_value
ORDER BY last.statement_id)sql";
    CStatement query(m_db, sql.c_str());
    if (!query.Ok()) {
        error = Failure("cannot read the snapshots");
        return false;
    }
    query.Bind(1, databaseId);
    query.Bind(2, afterSnapshot);
    query.Bind(3, upToSnapshot);
    if (moved) {
        query.Bind(4, movedAfter);
        query.Bind(5, movedUpTo);
    }
    int rc;
    while ((rc = query.Step()) == SQLITE_ROW) {
        CObjectEntry entry;
        StoredFigures figures{};
        for (std::size_t i = 0; i < figures.size(); ++i)
            figures[i] = query.Double(static_cast<int>(i));
        SetFigures(entry, figures);
        constexpr int k = static_cast<int>(kStoredFigureCount);
        entry.m_Address = query.Text(k);
        entry.m_FirstLoadTime = query.Text(k + 1);
        entry.m_SqlId = query.Text(k + 2);
        entry.m_HashValue = static_cast<double>(query.Int(k + 3));
        entry.m_CommandType = static_cast<std::int32_t>(query.Int(k + 4));
        entry.m_ParsingUserId = static_cast<std::int32_t>(query.Int(k + 5));
        entry.m_ParsingSchemaId = static_cast<std::int32_t>(query.Int(k + 6));
        entry.m_UserName = query.Text(k + 7);
        entry.m_OptimizerMode = query.Text(k + 8);
        entry.m_Module = query.Text(k + 9);
        entry.m_HasServerFigures = query.Int(k + 10) != 0;
        entry.m_SqlText = query.Text(k + 11);
        if (sqlite3_column_type(query.get(), k + 12) != SQLITE_NULL) {
            entry.SetSqlPlan(query.Text(k + 12));
            entry.m_PlanSource = static_cast<std::int8_t>(query.Int(k + 13));
            entry.SetPlanCost(static_cast<std::int32_t>(query.Int(k + 14)));
            entry.SetNoOfFullTableScans(static_cast<std::int32_t>(query.Int(k + 15)));
            entry.m_Explained = true;
        }
        statements.Add(std::move(entry));
    }
    if (rc != SQLITE_DONE) {
        error = Failure("cannot read the snapshots");
        return false;
    }
    return true;
}

bool CSqliteHistoryStore::FindDatabase(const SDatabaseIdentity& identity, std::int64_t& databaseId,
                                       std::string& error) {
    databaseId = 0;
    CStatement query(m_db, "SELECT id FROM database_ WHERE dbid = ?1 AND instance_number = ?2 AND container = ?3");
    if (!query.Ok()) {
        error = Failure("cannot look up the database");
        return false;
    }
    query.Bind(1, identity.dbid);
    query.Bind(2, std::int64_t{identity.instanceNumber});
    query.Bind(3, identity.container);
    const int rc = query.Step();
    if (rc == SQLITE_ROW) databaseId = query.Int(0);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
        error = Failure("cannot look up the database");
        return false;
    }
    return true;
}

bool CSqliteHistoryStore::RemoveBefore(std::int64_t serverSeconds, std::int64_t& removed, std::string& error) {
    removed = 0;
    CTransaction transaction(m_db);
    if (!transaction.Begin()) {
        error = Failure("cannot begin the removal");
        return false;
    }
    // The statements' last figures in the removed snapshots of a startup that
    // goes on move to its first snapshot kept, unless it has newer ones there.
    const char* steps[] = {
        "CREATE TEMP TABLE doomed AS SELECT id, database_id, startup_time FROM snapshot WHERE server_seconds < ?1",
        R"sql(CREATE TEMP TABLE heir AS
              SELECT d.startup_time AS startup_time, d.database_id AS database_id,
                     (SELECT MIN(k.id) FROM snapshot k WHERE k.database_id = d.database_id
                        AND k.startup_time = d.startup_time AND k.server_seconds >= ?1) AS id
              FROM (SELECT DISTINCT database_id, startup_time FROM doomed) d)sql",
        "DELETE FROM heir WHERE id IS NULL",
        R"sql(INSERT OR IGNORE INTO figures
              SELECT h.id, l.statement_id, l.executions, l.buffer_gets, l.disk_reads, l.rows_processed, l.sorts,
                     l.parse_calls, l.sharable_mem, l.persistent_mem, l.runtime_mem, l.loads, l.version_count,
                     l.elapsed_time, l.cpu_time, l.user_io_wait, l.plan_hash_value, l.last_active
              FROM heir h
              JOIN (SELECT MAX(f.snapshot_id) AS snapshot_id, d.database_id, d.startup_time, f.*
                    FROM figures f JOIN doomed d ON d.id = f.snapshot_id
                    GROUP BY d.database_id, d.startup_time, f.statement_id) l
                ON l.database_id = h.database_id AND l.startup_time = h.startup_time)sql",
        "DELETE FROM figures WHERE snapshot_id IN (SELECT id FROM doomed)",
        "DELETE FROM snapshot WHERE id IN (SELECT id FROM doomed)",
        R"sql(DELETE FROM plan WHERE NOT EXISTS (SELECT 1 FROM figures f WHERE f.statement_id = plan.statement_id
                                                  AND f.plan_hash_value = plan.plan_hash_value))sql",
        "DELETE FROM statement WHERE NOT EXISTS (SELECT 1 FROM figures f WHERE f.statement_id = statement.id)",
        R"sql(DELETE FROM name_ WHERE id NOT IN (SELECT user_name FROM statement UNION SELECT optimizer_mode
                                                 FROM statement UNION SELECT module FROM statement))sql",
    };
    for (const char* sql : steps) {
        CStatement step(m_db, sql);
        if (!step.Ok()) {
            error = Failure("cannot remove old snapshots");
            return false;
        }
        if (sqlite3_bind_parameter_count(step.get()) > 0) step.Bind(1, serverSeconds);
        if (step.Step() != SQLITE_DONE) {
            error = Failure("cannot remove old snapshots");
            return false;
        }
        if (std::strncmp(sql, "DELETE FROM snapshot", 20) == 0) removed = sqlite3_changes(m_db);
        if (sql == steps[0]) {
            // Nothing to remove: the rollback drops the temporary table.
            CStatement count(m_db, "SELECT COUNT(*) FROM doomed");
            if (count.Ok() && count.Step() == SQLITE_ROW && count.Int(0) == 0) return true;
        }
    }
    if (!Exec(m_db, "DROP TABLE temp.doomed; DROP TABLE temp.heir") || !transaction.Commit()) {
        error = Failure("cannot commit the removal");
        return false;
    }
    // Hands the freed pages back to the file system.
    Exec(m_db, "PRAGMA incremental_vacuum");
    return true;
}

}  // namespace corvid
