// The behaviour every history store shares, run on SQLite and on a real
// PostgreSQL server.

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>
#include <thread>

#include "StoreFixture.h"
#include "collection/IntervalFigures.h"
#include "history/HistoryRecorder.h"
#include "history/HistoryWindow.h"

namespace corvid::testing {
namespace {

template <typename Stores>
class StoreBehaviour : public StoreTest<Stores> {
protected:
    // The window between two snapshots of the store's one database.
    SWindowFigures Window(std::int64_t fromId, std::int64_t toId) {
        const std::vector<SStoredSnapshot> snapshots = this->Snapshots(this->OnlyDatabase());
        std::size_t first = 0, last = 0;
        for (std::size_t i = 0; i < snapshots.size(); ++i) {
            if (snapshots[i].id == fromId) first = i;
            if (snapshots[i].id == toId) last = i;
        }
        SWindowFigures window;
        std::string error;
        EXPECT_TRUE(ComputeWindow(*this->m_store, snapshots, first, last, window, error)) << error;
        return window;
    }
    static const CObjectEntry* Find(const CObjectArray& statements, const std::string& text) {
        for (const CObjectEntry& e : statements)
            if (e.m_SqlText == text) return &e;
        return nullptr;
    }
};

TYPED_TEST_SUITE(StoreBehaviour, StoreKinds, StoreKindNames);

TYPED_TEST(StoreBehaviour, KeepsEveryFieldAndOnlyTheChangedStatementsOfEachSnapshot) {
    CObjectArray load;
    CObjectEntry planned = Statement("00000000AB000001", "2026-03-01/08:00:00", "SELECT a\tFROM t\nWHERE x = '\\'", 10,
                                     1000, 7);
    planned.m_Module = "payroll";
    planned.m_PlanHashValue = 4000000000.0;
    planned.m_HashValue = 123456789;
    planned.m_ElapsedTime = 1234567;
    planned.m_CpuTime = 234567;
    planned.m_LastActiveTime = "2026-03-01/09:59:00";
    planned.m_PlanSource = kPlanFromCursorCache;
    planned.SetPlanCost(42);
    planned.SetSqlPlan("SELECT STATEMENT\r\n  TABLE ACCESS FULL T");
    load.Add(planned);
    load.Add(Statement("00000000AB000002", "2026-03-01/08:00:00", "SELECT b FROM t", 3, 30));
    const std::int64_t first = this->Record(Header("2026-03-01/10:00:00"), load);

    CObjectArray changed;
    changed.Add(load[1]);
    changed[0].m_Executions = 5;
    const std::int64_t second = this->Record(Header("2026-03-01/10:15:00"), changed);
    ASSERT_GT(second, first);

    auto store = this->Reopen();
    ASSERT_TRUE(store);
    std::vector<SStoredDatabase> databases;
    std::string error;
    ASSERT_TRUE(store->ListDatabases(databases, error)) << error;
    ASSERT_EQ(databases.size(), 1u);
    EXPECT_EQ(databases[0].dbid, 1234567);
    EXPECT_EQ(databases[0].name, "ORCL");
    EXPECT_EQ(databases[0].snapshots, 2);
    std::vector<SStoredSnapshot> snapshots;
    ASSERT_TRUE(store->ListSnapshots(databases[0].id, snapshots, error)) << error;
    ASSERT_EQ(snapshots.size(), 2u);
    EXPECT_EQ(snapshots[0].recorded, 2);
    EXPECT_EQ(snapshots[1].recorded, 1);
    EXPECT_EQ(snapshots[1].serverTime, "2026-03-01/10:15:00");

    CObjectArray all;
    ASSERT_TRUE(store->ReadLatest(databases[0].id, 0, second, all, error)) << error;
    ASSERT_EQ(all.GetSize(), 2);
    const CObjectEntry* a = this->Find(all, planned.m_SqlText);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->m_Address, "00000000AB000001");
    EXPECT_EQ(a->m_FirstLoadTime, "2026-03-01/08:00:00");
    EXPECT_EQ(a->m_SqlId, planned.m_SqlId);
    EXPECT_EQ(a->m_Module, "payroll");
    EXPECT_EQ(a->m_UserName, "SCOTT");
    EXPECT_EQ(a->m_OptimizerMode, "ALL_ROWS");
    EXPECT_EQ(a->m_HashValue.Value(), 123456789u);
    EXPECT_EQ(a->m_PlanHashValue.Value(), 4000000000u);
    EXPECT_EQ(a->m_ElapsedTime, 1234567);
    EXPECT_EQ(a->m_LastActiveTime, "2026-03-01/09:59:00");
    EXPECT_EQ(a->SqlPlan(), planned.SqlPlan());
    EXPECT_EQ(a->m_PlanCost, 42);
    EXPECT_EQ(a->m_PlanSource, kPlanFromCursorCache);
    EXPECT_EQ(this->Find(all, "SELECT b FROM t")->m_Executions, 5);

    CObjectArray onlySecond;
    ASSERT_TRUE(store->ReadLatest(databases[0].id, first, second, onlySecond, error)) << error;
    ASSERT_EQ(onlySecond.GetSize(), 1);
    EXPECT_EQ(onlySecond[0].m_SqlText, "SELECT b FROM t");
}

// The window of stored loads against the changes between the same loads held in
// memory: new statements, counters that moved, a reload under the same key (its
// counters went down), a statement that came back with a new first load time,
// one that did not move and one that left.
TYPED_TEST(StoreBehaviour, WindowFiguresAreTheChangesBetweenTheSameLoads) {
    const std::string t0 = "2026-03-01/08:00:00";
    std::vector<CObjectArray> loads(3);
    loads[0].Add(Statement("A1", t0, "moving", 10, 1000, 10));
    loads[0].Add(Statement("A2", t0, "quiet", 5, 50));
    loads[0].Add(Statement("A3", t0, "reloaded in place", 100, 9000, 300));
    loads[0].Add(Statement("A4", t0, "aged out and back", 50, 500));
    loads[0].Add(Statement("A5", t0, "leaves", 1, 1));
    loads[1] = loads[0];
    loads[1][0].m_Executions = 15;
    loads[1][0].m_BufferGets = 1400;
    loads[1].Add(Statement("A6", "2026-03-01/10:05:00", "arrives", 2, 20, 2));
    loads[2] = loads[1];
    loads[2][0].m_Executions = 25;
    loads[2][0].m_BufferGets = 2600;
    loads[2][0].m_DiskReads = 40;
    loads[2][2].m_Executions = 3;  // loaded again under the same key: counts from zero
    loads[2][2].m_BufferGets = 90;
    loads[2][3] = Statement("A4", "2026-03-01/10:20:00", "aged out and back", 4, 40);
    loads[2].RemoveAt(4);
    const std::vector<std::string> times = {"2026-03-01/10:00:00", "2026-03-01/10:15:00", "2026-03-01/10:30:00"};

    CHistoryRecorder recorder(*this->m_store);
    std::vector<std::int64_t> ids;
    for (std::size_t i = 0; i < loads.size(); ++i) {
        std::int64_t id = 0;
        std::string error;
        ASSERT_TRUE(recorder.Record(Header(times[i]), loads[i], id, error)) << error;
        ids.push_back(id);
    }
    EXPECT_EQ(recorder.LastRecorded(), 3u);  // moving, reloaded, aged out and back

    for (const auto& [from, to] : std::vector<std::pair<std::size_t, std::size_t>>{{0, 1}, {1, 2}, {0, 2}}) {
        SCOPED_TRACE("loads " + std::to_string(from) + " to " + std::to_string(to));
        CObjectArray current = loads[to];
        const SIntervalSummary expected = ComputeIntervalFigures(loads[from], times[from], current, times[to]);
        std::vector<CObjectArray::Index> positions;
        const CObjectArray changed = ChangedStatements(current, positions);

        const SWindowFigures window = this->Window(ids[from], ids[to]);
        EXPECT_EQ(window.restarts, 0);
        EXPECT_EQ(window.summary.seconds, expected.seconds);
        EXPECT_EQ(window.summary.newCount, expected.newCount);
        EXPECT_EQ(window.summary.changedCount, expected.changedCount);
        EXPECT_EQ(window.summary.bufferGets, expected.bufferGets);
        EXPECT_EQ(window.summary.diskReads, expected.diskReads);
        ASSERT_EQ(window.statements.GetSize(), changed.GetSize());
        for (const CObjectEntry& want : changed) {
            const CObjectEntry* got = nullptr;
            for (const CObjectEntry& e : window.statements)
                if (StatementKey(e) == StatementKey(want)) got = &e;
            ASSERT_NE(got, nullptr) << want.m_SqlText;
            for (StatementColumn column : {kColExecutionsDelta, kColBufferGetsDelta, kColDiskReadsDelta, kColRowsDelta,
                                           kColExecutionsPerSecond, kColBufferGetsPerSecond,
                                           kColPercOfBufferGetsDelta, kColPercOfDiskReadsDelta}) {
                EXPECT_EQ(got->GetColumnText(column), want.GetColumnText(column))
                    << want.m_SqlText << ", column " << column;
            }
            EXPECT_EQ(got->Interval().isNew, want.Interval().isNew) << want.m_SqlText;
            EXPECT_EQ(got->m_Executions, want.m_Executions) << want.m_SqlText;
        }
    }
}

TYPED_TEST(StoreBehaviour, WindowAcrossARestartSumsThePiecesAndSaysSo) {
    const std::string before = "2026-03-01/00:00:00", after = "2026-03-01/12:00:00";
    auto load = [](const std::string& address, const std::string& firstLoad, double executions, double gets) {
        CObjectArray statements;
        statements.Add(Statement(address, firstLoad, "SELECT heavy FROM t", executions, gets));
        return statements;
    };
    const std::int64_t s1 = this->Record(Header("2026-03-01/10:00:00", before), load("B1", before, 10, 100));
    const std::int64_t s2 = this->Record(Header("2026-03-01/11:00:00", before), load("B1", before, 15, 150));
    // After the restart the statement is parsed again, its counters from zero.
    const std::int64_t s3 = this->Record(Header("2026-03-01/13:00:00", after), load("C9", after, 4, 40));
    const std::int64_t s4 = this->Record(Header("2026-03-01/14:00:00", after), load("C9", after, 9, 90));

    const SWindowFigures whole = this->Window(s1, s4);
    EXPECT_EQ(whole.restarts, 1);
    ASSERT_EQ(whole.statements.GetSize(), 1);
    EXPECT_EQ(whole.statements[0].Interval().executions, 5 + 9);
    EXPECT_EQ(whole.statements[0].Interval().bufferGets, 50 + 90);
    EXPECT_EQ(whole.statements[0].m_Executions, 9);  // the latest cumulative figures
    EXPECT_EQ(whole.summary.seconds, 4 * 3600);
    EXPECT_NE(whole.Describe().find("restarted 1 time"), std::string::npos) << whole.Describe();

    const SWindowFigures acrossOnly = this->Window(s2, s3);
    EXPECT_EQ(acrossOnly.restarts, 1);
    ASSERT_EQ(acrossOnly.statements.GetSize(), 1);
    EXPECT_EQ(acrossOnly.statements[0].Interval().executions, 4);

    const SWindowFigures afterOnly = this->Window(s3, s4);
    EXPECT_EQ(afterOnly.restarts, 0);
    EXPECT_EQ(afterOnly.Describe().find("restarted"), std::string::npos);
    ASSERT_EQ(afterOnly.statements.GetSize(), 1);
    EXPECT_EQ(afterOnly.statements[0].Interval().executions, 5);
}

TYPED_TEST(StoreBehaviour, RetentionKeepsWhatLaterSnapshotsNeedAndDropsTheRest) {
    const std::string boot = "2026-03-01/00:00:00";
    CObjectArray day1;
    day1.Add(Statement("D1", boot, "runs every day", 10, 100));
    day1.Add(Statement("D2", boot, "ran on day one only", 7, 70));
    day1[0].SetSqlPlan("old plan");
    day1[0].m_PlanHashValue = 111;
    CObjectArray otherStartup;
    otherStartup.Add(Statement("E1", "2026-02-01/00:00:00", "before a restart", 1, 1));
    this->Record(Header("2026-02-20/10:00:00", "2026-02-01/00:00:00"), otherStartup);
    CHistoryRecorder recorder(*this->m_store);
    std::int64_t s1 = 0, s2 = 0, s3 = 0;
    std::string error;
    ASSERT_TRUE(recorder.Record(Header("2026-03-01/10:00:00", boot), day1, s1, error)) << error;
    CObjectArray day2 = day1;
    day2[0].m_Executions = 20;
    day2[0].m_PlanHashValue = 222;
    day2[0].SetSqlPlan("new plan");
    ASSERT_TRUE(recorder.Record(Header("2026-03-02/10:00:00", boot), day2, s2, error)) << error;
    CObjectArray day3 = day2;
    day3[0].m_Executions = 35;
    day3[1].m_Executions = 9;
    ASSERT_TRUE(recorder.Record(Header("2026-03-03/10:00:00", boot), day3, s3, error)) << error;
    const SWindowFigures expected = this->Window(s2, s3);

    std::int64_t removed = 0;
    std::int64_t cutoff = 0;
    ASSERT_TRUE(ParseServerTime("2026-03-02/00:00:00", cutoff));
    ASSERT_TRUE(this->m_store->RemoveBefore(cutoff, removed, error)) << error;
    EXPECT_EQ(removed, 2);

    const std::int64_t database = this->OnlyDatabase();
    const std::vector<SStoredSnapshot> left = this->Snapshots(database);
    ASSERT_EQ(left.size(), 2u);
    EXPECT_EQ(left[0].id, s2);
    const SWindowFigures window = this->Window(s2, s3);
    ASSERT_EQ(window.statements.GetSize(), expected.statements.GetSize());
    for (CObjectArray::Index i = 0; i < window.statements.GetSize(); ++i) {
        EXPECT_EQ(window.statements[i].Interval().executions, expected.statements[i].Interval().executions);
        EXPECT_FALSE(window.statements[i].Interval().isNew) << window.statements[i].m_SqlText;
    }

    CObjectArray everything;
    ASSERT_TRUE(this->m_store->ReadLatest(database, 0, s3, everything, error)) << error;
    EXPECT_EQ(everything.GetSize(), 2);
    EXPECT_EQ(this->Find(everything, "before a restart"), nullptr);
    EXPECT_EQ(this->Find(everything, "runs every day")->SqlPlan(), "new plan");
    EXPECT_EQ(this->Find(everything, "ran on day one only")->m_Executions, 9);

    // Removing everything leaves an empty store that takes new snapshots.
    ASSERT_TRUE(this->m_store->RemoveBefore(cutoff + 30 * 86400, removed, error)) << error;
    EXPECT_EQ(removed, 2);
    ASSERT_TRUE(this->m_store->ReadLatest(database, 0, s3, everything, error)) << error;
    EXPECT_EQ(everything.GetSize(), 0);
    EXPECT_GT(this->Record(Header("2026-04-01/10:00:00", boot), day1), s3);
}

TYPED_TEST(StoreBehaviour, TwoWritersAtOnceBothLandWhole) {
    constexpr int kSnapshots = 8;
    constexpr int kStatements = 300;
    auto writer = [this](std::int64_t dbid, std::string* failure) {
        std::string error;
        auto store = OpenHistoryStore(this->m_location, error);
        if (!store) {
            *failure = error;
            return;
        }
        CHistoryRecorder recorder(*store);
        CObjectArray load;
        for (int i = 0; i < kStatements; ++i)
            load.Add(Statement("F" + std::to_string(i), "2026-03-01/08:00:00", "SELECT " + std::to_string(i), 1, 1));
        for (int s = 0; s < kSnapshots; ++s) {
            for (CObjectEntry& e : load) e.m_Executions += 1;
            std::int64_t id = 0;
            char time[32];
            std::snprintf(time, sizeof time, "2026-03-01/10:%02d:00", s);
            if (!recorder.Record(Header(time, "2026-03-01/00:00:00", dbid, "DB" + std::to_string(dbid)), load, id,
                                 error)) {
                *failure = error;
                return;
            }
        }
    };
    std::string failureA, failureB;
    std::thread a(writer, 1, &failureA), b(writer, 2, &failureB);
    a.join();
    b.join();
    EXPECT_EQ(failureA, "");
    EXPECT_EQ(failureB, "");

    std::vector<SStoredDatabase> databases;
    std::string error;
    ASSERT_TRUE(this->m_store->ListDatabases(databases, error)) << error;
    ASSERT_EQ(databases.size(), 2u);
    for (const SStoredDatabase& database : databases) {
        const std::vector<SStoredSnapshot> snapshots = this->Snapshots(database.id);
        ASSERT_EQ(snapshots.size(), static_cast<std::size_t>(kSnapshots));
        CObjectArray state;
        ASSERT_TRUE(this->m_store->ReadLatest(database.id, 0, snapshots.back().id, state, error)) << error;
        ASSERT_EQ(state.GetSize(), kStatements);
        for (const CObjectEntry& e : state) EXPECT_EQ(e.m_Executions, 1 + kSnapshots);
    }
}

TYPED_TEST(StoreBehaviour, AKilledOrStoppedWriterLeavesNoHalfSnapshot) {
    CObjectArray small;
    small.Add(Statement("K0", "2026-03-01/08:00:00", "kept", 1, 1));
    const std::int64_t kept = this->Record(Header("2026-03-01/10:00:00"), small);
    CObjectArray big;
    for (int i = 0; i < 5000; ++i)
        big.Add(Statement("K" + std::to_string(i + 1), "2026-03-01/08:00:00", "SELECT " + std::to_string(i), 2, 2));

    // Stopped from within: rolled back.
    std::int64_t id = 0;
    std::string error;
    EXPECT_FALSE(this->m_store->RecordSnapshot(Header("2026-03-01/10:10:00"), big, id, error,
                                               [](std::size_t written) { return written < 2000; }));
    EXPECT_NE(error.find("rolled back"), std::string::npos) << error;

    // Killed half-way through.
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(ready[0]);
        std::string childError;
        auto store = OpenHistoryStore(this->m_location, childError);
        if (!store) ::_exit(3);
        std::int64_t childId = 0;
        store->RecordSnapshot(Header("2026-03-01/10:20:00"), big, childId, childError, [&](std::size_t written) {
            if (written >= 3000) {
                const char byte = 1;
                [[maybe_unused]] auto ignored = ::write(ready[1], &byte, 1);
                for (;;) ::pause();
            }
            return true;
        });
        ::_exit(4);
    }
    ::close(ready[1]);
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    ::close(ready[0]);
    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));

    auto store = this->Reopen();
    ASSERT_TRUE(store);
    std::vector<SStoredDatabase> databases;
    ASSERT_TRUE(store->ListDatabases(databases, error)) << error;
    ASSERT_EQ(databases.size(), 1u);
    std::vector<SStoredSnapshot> snapshots;
    ASSERT_TRUE(store->ListSnapshots(databases[0].id, snapshots, error)) << error;
    ASSERT_EQ(snapshots.size(), 1u);
    EXPECT_EQ(snapshots[0].id, kept);
    CObjectArray state;
    ASSERT_TRUE(store->ReadLatest(databases[0].id, 0, 1 << 30, state, error)) << error;
    EXPECT_EQ(state.GetSize(), 1);
    // The store takes the next snapshot whole.
    ASSERT_TRUE(store->RecordSnapshot(Header("2026-03-01/10:30:00"), big, id, error)) << error;
    ASSERT_TRUE(store->ReadLatest(databases[0].id, 0, id, state, error)) << error;
    EXPECT_EQ(state.GetSize(), 5001);
}

TYPED_TEST(StoreBehaviour, RefusesAStatementListedTwiceAndANewerSchema) {
    CObjectArray twice;
    twice.Add(Statement("T1", "2026-03-01/08:00:00", "twice", 1, 1));
    twice.Add(twice[0]);
    std::int64_t id = 0;
    std::string error;
    EXPECT_FALSE(this->m_store->RecordSnapshot(Header("2026-03-01/10:00:00"), twice, id, error));
    EXPECT_NE(error.find("twice"), std::string::npos) << error;
    EXPECT_EQ(this->OnlyDatabase(), 0);  // nothing, not even the database, was kept

    EXPECT_FALSE(this->m_store->RecordSnapshot(Header("yesterday"), CObjectArray(), id, error));
    EXPECT_NE(error.find("no server time"), std::string::npos) << error;

    this->m_store.reset();
    this->m_stores.SetVersion(this->m_location, kHistorySchemaVersion + 1);
    auto store = OpenHistoryStore(this->m_location, error);
    EXPECT_FALSE(store);
    EXPECT_NE(error.find("newer than this program's"), std::string::npos) << error;
}

}  // namespace
}  // namespace corvid::testing
