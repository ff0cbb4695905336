#pragma once

#include <memory>
#include <string>

#include "history/HistoryStore.h"

struct sqlite3;

namespace corvid {

// The store in one SQLite file: WAL, so that several programs may record into
// it at once (each waits for the others' transactions), the schema version in
// user_version, pages handed back by incremental vacuum after a removal. A new
// file is made readable by its owner only.
class CSqliteHistoryStore : public IHistoryStore {
public:
    ~CSqliteHistoryStore() override;
    CSqliteHistoryStore(const CSqliteHistoryStore&) = delete;
    CSqliteHistoryStore& operator=(const CSqliteHistoryStore&) = delete;

    // Null with the message when the file cannot be used: not an SQLite file,
    // another program's database, a schema newer than this program's. Nothing is
    // written then.
    static std::unique_ptr<CSqliteHistoryStore> Open(const std::string& path, std::string& error);

    std::string Location() const override { return m_path; }
    bool RecordSnapshot(const SSnapshotHeader& header, const CObjectArray& statements, std::int64_t& snapshotId,
                        std::string& error, const HistoryProgress& progress = {}) override;
    bool ListDatabases(std::vector<SStoredDatabase>& databases, std::string& error) override;
    bool ListSnapshots(std::int64_t databaseId, std::vector<SStoredSnapshot>& snapshots, std::string& error) override;
    bool ReadLatest(std::int64_t databaseId, std::int64_t afterSnapshot, std::int64_t upToSnapshot,
                    CObjectArray& statements, std::string& error, std::int64_t movedAfter = 0,
                    std::int64_t movedUpTo = 0) override;
    bool FindDatabase(const SDatabaseIdentity& identity, std::int64_t& databaseId, std::string& error) override;
    bool RemoveBefore(std::int64_t serverSeconds, std::int64_t& removed, std::string& error) override;

    // The schema steps, public for the upgrade tests: the statements that take a
    // store of version `from` to `from + 1`.
    static const char* UpgradeStep(int from);

private:
    CSqliteHistoryStore(std::string path, sqlite3* db) : m_path(std::move(path)), m_db(db) {}
    bool Prepare(std::string& error);
    std::string Failure(const std::string& what) const;

    std::string m_path;
    sqlite3* m_db = nullptr;
};

}  // namespace corvid
