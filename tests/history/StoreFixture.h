#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>

#include "collection/ObjectEntry.h"
#include "history/HistoryStore.h"
#include "support/PostgresCluster.h"

namespace corvid::testing {

// A statement of a load as the document holds it.
inline CObjectEntry Statement(const std::string& address, const std::string& firstLoad, const std::string& text,
                              double executions, double bufferGets, double diskReads = 0) {
    CObjectEntry e;
    e.m_Address = address;
    e.m_FirstLoadTime = firstLoad;
    e.m_SqlText = text;
    e.m_SqlId = "sq" + std::to_string(std::hash<std::string>{}(text) % 100000000000ULL);
    e.m_UserName = "SCOTT";
    e.m_OptimizerMode = "ALL_ROWS";
    e.m_CommandType = 3;
    e.m_HasServerFigures = true;
    e.m_Executions = executions;
    e.m_BufferGets = bufferGets;
    e.m_DiskReads = diskReads;
    e.m_RowsProcessed = executions;
    e.m_ParseCalls = executions > 0 ? 1 : 0;
    e.m_SharableMem = 12345;
    e.m_VersionCount = 1;
    return e;
}

inline SSnapshotHeader Header(const std::string& time, const std::string& startup = "2026-01-01/00:00:00",
                              std::int64_t dbid = 1234567, const std::string& name = "ORCL") {
    SSnapshotHeader header;
    header.database.dbid = dbid;
    header.database.name = name;
    header.database.instanceName = name;
    header.database.host = "dbhost";
    header.database.startupTime = startup;
    header.database.banner = "Oracle Database 19c";
    header.serverTime = time;
    return header;
}

// SQLite stores: a file in a temporary folder per test.
struct SqliteStores {
    static constexpr const char* kName = "SQLite";
    std::string dir;
    SqliteStores() {
        char pattern[] = "/tmp/corvid-history-test-XXXXXX";
        if (::mkdtemp(pattern) != nullptr) dir = pattern;
    }
    ~SqliteStores() {
        if (!dir.empty()) std::filesystem::remove_all(dir);
    }
    bool Usable(std::string&) const { return !dir.empty(); }
    std::string NewLocation(const std::string& name = "history") const { return dir + "/" + name + ".sqlite"; }
    void SetVersion(const std::string& location, int version) const {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(location.c_str(), &db), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(db, ("PRAGMA user_version = " + std::to_string(version)).c_str(), nullptr, nullptr,
                               nullptr),
                  SQLITE_OK);
        sqlite3_close(db);
    }
};

// PostgreSQL stores: a new database of the test program's cluster per store.
struct PostgresStores {
    static constexpr const char* kName = "PostgreSQL";
    bool Usable(std::string& why) const {
        const CPostgresCluster& cluster = CPostgresCluster::Shared();
        why = cluster.Problem();
        return why.empty();
    }
    std::string NewLocation(const std::string& = "") const { return CPostgresCluster::Shared().NewDatabase(); }
    void SetVersion(const std::string& location, int version) const {
        const std::string database = location.substr(location.find("dbname=") + 7,
                                                     location.find(' ', location.find("dbname=")) -
                                                         location.find("dbname=") - 7);
        ASSERT_TRUE(CPostgresCluster::Shared().Psql("UPDATE corvid_schema SET version = " + std::to_string(version),
                                                    database));
    }
};

template <typename Stores>
class StoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string why;
        if (!m_stores.Usable(why)) {
            if constexpr (std::is_same_v<Stores, PostgresStores>) {
                if (CPostgresCluster::Shared().Absent()) GTEST_SKIP() << why;
            }
            FAIL() << why;
        }
        m_location = m_stores.NewLocation();
        std::string error;
        m_store = OpenHistoryStore(m_location, error);
        ASSERT_TRUE(m_store) << error;
    }

    std::unique_ptr<IHistoryStore> Reopen() {
        std::string error;
        auto store = OpenHistoryStore(m_location, error);
        EXPECT_TRUE(store) << error;
        return store;
    }

    std::int64_t Record(const SSnapshotHeader& header, const CObjectArray& statements) {
        std::int64_t id = 0;
        std::string error;
        EXPECT_TRUE(m_store->RecordSnapshot(header, statements, id, error)) << error;
        return id;
    }

    std::int64_t OnlyDatabase() {
        std::vector<SStoredDatabase> databases;
        std::string error;
        EXPECT_TRUE(m_store->ListDatabases(databases, error)) << error;
        return databases.size() == 1 ? databases[0].id : 0;
    }

    std::vector<SStoredSnapshot> Snapshots(std::int64_t database) {
        std::vector<SStoredSnapshot> snapshots;
        std::string error;
        EXPECT_TRUE(m_store->ListSnapshots(database, snapshots, error)) << error;
        return snapshots;
    }

    Stores m_stores;
    std::string m_location;
    std::unique_ptr<IHistoryStore> m_store;
};

using StoreKinds = ::testing::Types<SqliteStores, PostgresStores>;

struct StoreKindNames {
    template <typename T>
    static std::string GetName(int) {
        return T::kName;
    }
};

}  // namespace corvid::testing
