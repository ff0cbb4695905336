#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "collection/ObjectEntry.h"

namespace corvid {

// Which server a snapshot was taken of. A database of the store is one instance
// of one database (DBID, instance number, container); the rest may change from
// one snapshot to the next (a restart changes the startup time).
struct SDatabaseIdentity {
    std::int64_t dbid = 0;
    std::string name;
    std::int32_t instanceNumber = 1;
    std::string instanceName;
    std::string host;
    std::string startupTime;  // YYYY-MM-DD/HH24:MI:SS; empty when the server does not say
    std::string banner;
    std::string container;  // empty without containers
};

// One load as recorded: the server, its time, the pool's figures.
struct SSnapshotHeader {
    SDatabaseIdentity database;
    std::string serverTime;  // YYYY-MM-DD/HH24:MI:SS
    std::int64_t statementCount = 0;
    double totalBufferGets = 0;
    double totalDiskReads = 0;
};

// A database of the store.
struct SStoredDatabase {
    std::int64_t id = 0;
    std::int64_t dbid = 0;
    std::string name;
    std::int32_t instanceNumber = 1;
    std::string instanceName;
    std::string host;
    std::string container;
    std::int64_t snapshots = 0;
};

// A snapshot of the store.
struct SStoredSnapshot {
    std::int64_t id = 0;
    std::int64_t databaseId = 0;
    std::string serverTime;
    std::int64_t serverSeconds = 0;  // since 1970-01-01, of serverTime
    std::string startupTime;
    std::string banner;
    std::int64_t statementCount = 0;  // in the pool at the load
    std::int64_t recorded = 0;        // statements recorded (changed since the snapshot before)
    double totalBufferGets = 0;
    double totalDiskReads = 0;
};

// Called while a snapshot is written with the statements written so far; false
// stops the snapshot, which is then rolled back.
using HistoryProgress = std::function<bool(std::size_t written)>;

// A store of snapshots. Every method returns false with a message for the user
// in `error` when it fails; a failed recording leaves the store as it was.
class IHistoryStore {
public:
    virtual ~IHistoryStore() = default;

    // Where the store is, as the user named it (a path or a connection string
    // without its password).
    virtual std::string Location() const = 0;

    // Records one snapshot in one transaction. `statements` are those that
    // changed since the previous snapshot of the same instance startup (or all,
    // for the first); a statement left out is unchanged there.
    virtual bool RecordSnapshot(const SSnapshotHeader& header, const CObjectArray& statements, std::int64_t& snapshotId,
                                std::string& error, const HistoryProgress& progress = {}) = 0;

    virtual bool ListDatabases(std::vector<SStoredDatabase>& databases, std::string& error) = 0;
    // Oldest first.
    virtual bool ListSnapshots(std::int64_t databaseId, std::vector<SStoredSnapshot>& snapshots,
                               std::string& error) = 0;

    // The last recorded figures of each statement of database `databaseId` in
    // its snapshots after `afterSnapshot` up to and including `upToSnapshot`,
    // texts (and plans) included. Entries come back with their interval unset.
    // With `movedAfter` and `movedUpTo` (both 0 for all), only the statements
    // that also have figures in the snapshots after `movedAfter` up to
    // `movedUpTo` (a window's baseline).
    virtual bool ReadLatest(std::int64_t databaseId, std::int64_t afterSnapshot, std::int64_t upToSnapshot,
                            CObjectArray& statements, std::string& error, std::int64_t movedAfter = 0,
                            std::int64_t movedUpTo = 0) = 0;

    // The database of the identity, 0 when the store has none yet.
    virtual bool FindDatabase(const SDatabaseIdentity& identity, std::int64_t& databaseId, std::string& error) = 0;

    // Removes the snapshots taken before `serverSeconds` (server time, seconds
    // since 1970) and the texts and plans no snapshot refers to any more. The
    // last figures of a statement that later snapshots of the same startup still
    // rely on move to the first snapshot kept.
    virtual bool RemoveBefore(std::int64_t serverSeconds, std::int64_t& removed, std::string& error) = 0;
};

// Opens (and creates on first use) the store at `location`: a PostgreSQL
// connection URI (postgresql:// or postgres://) or libpq keyword string
// ("host=... dbname=..."), else an SQLite file path. Null with the message when
// it cannot be used; nothing is written then.
std::unique_ptr<IHistoryStore> OpenHistoryStore(const std::string& location, std::string& error);

// Whether `location` names a PostgreSQL store.
bool IsPostgresLocation(const std::string& location);

// $XDG_DATA_HOME/corvid/history.sqlite, else ~/.local/share/corvid/history.sqlite;
// empty without a home.
std::string DefaultHistoryPath();

// The schema version this program writes.
inline constexpr int kHistorySchemaVersion = 1;

}  // namespace corvid
