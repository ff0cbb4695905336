// What only the SQLite file store does: the file itself, its mode and journal,
// what it refuses to touch, its schema steps and a full disk.

#include <sys/mount.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>

#include "StoreFixture.h"
#include "history/SqliteHistoryStore.h"

namespace corvid::testing {
namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::int64_t Scalar(const std::string& path, const std::string& sql) {
    sqlite3* db = nullptr;
    EXPECT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    sqlite3_stmt* stmt = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    std::int64_t value = -1;
    if (sqlite3_step(stmt) == SQLITE_ROW) value = sqlite3_column_int64(stmt, 0);
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return value;
}

void MakeSqlite(const std::string& path, const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
}

class SqliteStore : public ::testing::Test {
protected:
    SqliteStores m_stores;
};

TEST_F(SqliteStore, ANewFileIsTheOwnersOnlyInWalWithIncrementalVacuum) {
    const std::string path = m_stores.dir + "/deeper/still/history.sqlite";
    std::string error;
    auto store = OpenHistoryStore(path, error);
    ASSERT_TRUE(store) << error;
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    CObjectArray load;
    load.Add(Statement("01", "2026-03-01/08:00:00", "SELECT 1 FROM dual", 1, 1));
    std::int64_t id = 0;
    ASSERT_TRUE(store->RecordSnapshot(Header("2026-03-01/10:00:00"), load, id, error)) << error;
    ASSERT_EQ(::stat((path + "-wal").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    store.reset();
    EXPECT_EQ(Scalar(path, "PRAGMA auto_vacuum"), 2);  // incremental
    EXPECT_EQ(Scalar(path, "PRAGMA user_version"), kHistorySchemaVersion);
    EXPECT_EQ(Scalar(path, "SELECT COUNT(*) FROM pragma_journal_mode WHERE journal_mode = 'wal'"), 1);
}

// Every file the store must not take is left as it was, with a message saying why.
TEST_F(SqliteStore, LeavesFilesThatAreNotItsOwnUntouched) {
    struct SCase {
        const char* name;
        std::function<void(const std::string&)> make;
        const char* message;
    };
    const std::vector<SCase> cases = {
        {"text", [](const std::string& p) { std::ofstream(p) << "id,name\n1,not a database\n"; },
         "not an SQLite database"},
        {"short", [](const std::string& p) { std::ofstream(p) << "SQLite"; }, "not an SQLite database"},
        {"foreign", [](const std::string& p) { MakeSqlite(p, "CREATE TABLE accounts (id INTEGER); INSERT INTO accounts VALUES (7)"); },
         "another program"},
        {"newer",
         [](const std::string& p) {
             MakeSqlite(p, std::string(CSqliteHistoryStore::UpgradeStep(0)) + "PRAGMA user_version = 9;");
         },
         "newer than this program's"},
        {"folder", [](const std::string& p) { ::mkdir(p.c_str(), 0700); }, "not a regular file"},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = m_stores.NewLocation(c.name);
        c.make(path);
        const std::string before = ReadAll(path);
        std::string error;
        EXPECT_FALSE(OpenHistoryStore(path, error));
        EXPECT_NE(error.find(c.message), std::string::npos) << error;
        EXPECT_NE(error.find(path), std::string::npos) << error;
        EXPECT_EQ(ReadAll(path), before);
        EXPECT_NE(::access((path + "-wal").c_str(), F_OK), 0);
    }
}

// The schema steps from every version there was: an empty file (version 0, as a
// first start or another program's `touch` leaves it) and an empty database.
TEST_F(SqliteStore, UpgradesFromEveryEarlierVersion) {
    for (int from = 0; from < kHistorySchemaVersion; ++from) {
        SCOPED_TRACE("from version " + std::to_string(from));
        for (const bool emptyFile : {true, false}) {
            const std::string path = m_stores.NewLocation("v" + std::to_string(from) + (emptyFile ? "e" : "d"));
            if (emptyFile) {
                std::ofstream{path};
            } else {
                std::string steps;
                for (int v = 0; v < from; ++v) steps += CSqliteHistoryStore::UpgradeStep(v);
                MakeSqlite(path, "PRAGMA auto_vacuum = INCREMENTAL; CREATE TABLE IF NOT EXISTS x (y); DROP TABLE x;" +
                                     steps + "PRAGMA user_version = " + std::to_string(from) + ";");
            }
            std::string error;
            auto store = OpenHistoryStore(path, error);
            ASSERT_TRUE(store) << error;
            CObjectArray load;
            load.Add(Statement("01", "2026-03-01/08:00:00", "SELECT 1 FROM dual", 1, 1));
            std::int64_t id = 0;
            EXPECT_TRUE(store->RecordSnapshot(Header("2026-03-01/10:00:00"), load, id, error)) << error;
            store.reset();
            EXPECT_EQ(Scalar(path, "PRAGMA user_version"), kHistorySchemaVersion);
        }
    }
    EXPECT_EQ(CSqliteHistoryStore::UpgradeStep(kHistorySchemaVersion), nullptr);
}

TEST_F(SqliteStore, RetentionRemovesTextsAndPlansAndGivesTheSpaceBack) {
    const std::string path = m_stores.NewLocation();
    std::string error;
    auto store = OpenHistoryStore(path, error);
    ASSERT_TRUE(store) << error;
    const std::string padding(2000, 'x');
    std::int64_t id = 0;
    for (int day = 1; day <= 4; ++day) {
        CObjectArray load;
        for (int i = 0; i < 300; ++i) {
            CObjectEntry e = Statement("S" + std::to_string(day) + "_" + std::to_string(i), "2026-03-01/08:00:00",
                                       "SELECT '" + padding + "' FROM t" + std::to_string(i), day, day);
            e.m_PlanHashValue = 1000 + day;
            e.SetSqlPlan("plan of day " + std::to_string(day) + padding);
            load.Add(e);
        }
        char time[32];
        std::snprintf(time, sizeof time, "2026-03-%02d/10:00:00", day);
        // Each day another startup: nothing carries over.
        ASSERT_TRUE(store->RecordSnapshot(Header(time, std::string(time).substr(0, 10) + "/00:00:00"), load, id,
                                          error))
            << error;
    }
    store.reset();
    struct stat before {};
    ASSERT_EQ(::stat(path.c_str(), &before), 0);
    store = OpenHistoryStore(path, error);
    ASSERT_TRUE(store);
    std::int64_t removed = 0, cutoff = 0;
    ASSERT_TRUE(ParseServerTime("2026-03-04/00:00:00", cutoff));
    ASSERT_TRUE(store->RemoveBefore(cutoff, removed, error)) << error;
    EXPECT_EQ(removed, 3);
    store.reset();
    EXPECT_EQ(Scalar(path, "SELECT COUNT(*) FROM statement"), 300);
    EXPECT_EQ(Scalar(path, "SELECT COUNT(*) FROM plan"), 300);
    EXPECT_EQ(Scalar(path, "SELECT COUNT(*) FROM figures"), 300);
    EXPECT_EQ(Scalar(path, "SELECT COUNT(*) FROM plan WHERE text NOT LIKE 'plan of day 4%'"), 0);
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    sqlite3_exec(db, "PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    struct stat after {};
    ASSERT_EQ(::stat(path.c_str(), &after), 0);
    EXPECT_LT(after.st_size, before.st_size / 2) << before.st_size << " -> " << after.st_size;
}

// A store on a small file system that fills up: the snapshot that does not fit
// is refused with the reason, the earlier ones are all there.
TEST_F(SqliteStore, AFullDiskRefusesTheSnapshotAndKeepsTheEarlierOnes) {
    const std::string mountPoint = m_stores.dir + "/small";
    ASSERT_EQ(::mkdir(mountPoint.c_str(), 0700), 0);
    if (::mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, "size=640k") != 0) {
        GTEST_SKIP() << "cannot mount a small tmpfs here (" << std::strerror(errno) << "; needs root)";
    }
    struct SUnmount {
        std::string path;
        ~SUnmount() { ::umount2(path.c_str(), MNT_DETACH); }
    } unmount{mountPoint};
    const std::string path = mountPoint + "/history.sqlite";
    std::string error;
    auto store = OpenHistoryStore(path, error);
    ASSERT_TRUE(store) << error;
    CObjectArray first;
    first.Add(Statement("01", "2026-03-01/08:00:00", "SELECT 1 FROM dual", 1, 1));
    std::int64_t id = 0;
    ASSERT_TRUE(store->RecordSnapshot(Header("2026-03-01/10:00:00"), first, id, error)) << error;
    CObjectArray huge;
    for (int i = 0; i < 400; ++i)
        huge.Add(Statement("H" + std::to_string(i), "2026-03-01/08:00:00",
                           "SELECT '" + std::string(4000, 'a' + i % 26) + "' FROM t" + std::to_string(i), 1, 1));
    EXPECT_FALSE(store->RecordSnapshot(Header("2026-03-01/10:15:00"), huge, id, error));
    EXPECT_NE(error.find("the disk is full"), std::string::npos) << error;
    store.reset();
    store = OpenHistoryStore(path, error);
    ASSERT_TRUE(store) << error;
    std::vector<SStoredDatabase> databases;
    ASSERT_TRUE(store->ListDatabases(databases, error)) << error;
    ASSERT_EQ(databases.size(), 1u);
    std::vector<SStoredSnapshot> snapshots;
    ASSERT_TRUE(store->ListSnapshots(databases[0].id, snapshots, error)) << error;
    ASSERT_EQ(snapshots.size(), 1u);
    CObjectArray state;
    ASSERT_TRUE(store->ReadLatest(databases[0].id, 0, snapshots[0].id, state, error)) << error;
    ASSERT_EQ(state.GetSize(), 1);
    EXPECT_EQ(state[0].m_SqlText, "SELECT 1 FROM dual");
}

}  // namespace
}  // namespace corvid::testing
