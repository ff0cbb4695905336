#pragma once

#include <memory>
#include <string>

#include "history/HistoryStore.h"

struct pg_conn;

namespace corvid {

// The store in a PostgreSQL database, for a team or a fleet of databases: tables
// named corvid_*, the schema version in corvid_schema, the statements of a
// snapshot sent with COPY. The connection string is libpq's (a URI or keywords);
// the password comes from PGPASSWORD or ~/.pgpass as libpq finds it.
class CPgHistoryStore : public IHistoryStore {
public:
    ~CPgHistoryStore() override;
    CPgHistoryStore(const CPgHistoryStore&) = delete;
    CPgHistoryStore& operator=(const CPgHistoryStore&) = delete;

    // Null with the message when the server cannot be reached or its schema is
    // newer than this program's; nothing is written then.
    static std::unique_ptr<CPgHistoryStore> Open(const std::string& connection, std::string& error);

    std::string Location() const override { return m_location; }
    bool RecordSnapshot(const SSnapshotHeader& header, const CObjectArray& statements, std::int64_t& snapshotId,
                        std::string& error, const HistoryProgress& progress = {}) override;
    bool ListDatabases(std::vector<SStoredDatabase>& databases, std::string& error) override;
    bool ListSnapshots(std::int64_t databaseId, std::vector<SStoredSnapshot>& snapshots, std::string& error) override;
    bool ReadLatest(std::int64_t databaseId, std::int64_t afterSnapshot, std::int64_t upToSnapshot,
                    CObjectArray& statements, std::string& error, std::int64_t movedAfter = 0,
                    std::int64_t movedUpTo = 0) override;
    bool FindDatabase(const SDatabaseIdentity& identity, std::int64_t& databaseId, std::string& error) override;
    bool RemoveBefore(std::int64_t serverSeconds, std::int64_t& removed, std::string& error) override;

    // The statements that take a store of version `from` to `from + 1`.
    static const char* UpgradeStep(int from);

private:
    CPgHistoryStore(std::string location, pg_conn* connection)
        : m_location(std::move(location)), m_connection(connection) {}
    bool Prepare(std::string& error);
    std::string Failure(const std::string& what) const;

    std::string m_location;
    pg_conn* m_connection = nullptr;
};

// The connection string without its password, for messages.
std::string PostgresLocationForDisplay(const std::string& connection);

}  // namespace corvid
