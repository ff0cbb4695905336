// Loads of the simulated server recorded as the report and the desktop record
// them, read back as windows.

#include <fstream>

#include "StoreFixture.h"
#include "collection/SimulatorFixture.h"
#include "history/HistoryRecorder.h"
#include "history/HistoryWindow.h"

namespace corvid::testing {
namespace {

std::string MovingScenario() {
    return "database DEMO\n"
           "clock 2024-03-11/12:00:00\n"
           "user SCOTT id=54 password=TIGER privileges=catalog,v-database,alter-system,create-procedure plan-table\n"
           "table SCOTT.EMP columns=\"EMPNO NUMBER(4) NOT NULL, ENAME VARCHAR2(10), SAL NUMBER(7,2)\"\n"
           "statement user=SCOTT executions=10 buffer-gets=1000 disk-reads=40 rows=10 parse-calls=2 "
           "address=00000000000A0001 first-load=2024-03-11/09:00:00 text=\"SELECT ename FROM emp WHERE empno = 1\"\n"
           "statement user=SCOTT executions=4 buffer-gets=400 disk-reads=4 rows=8 sorts=4 parse-calls=4 "
           "address=00000000000A0002 first-load=2024-03-11/09:00:00 text=\"SELECT sal FROM emp ORDER BY sal\"\n"
           "statement user=SCOTT executions=3 buffer-gets=30 address=00000000000A0003 "
           "first-load=2024-03-11/09:00:00 text=\"SELECT empno FROM emp\"\n"
           "statement user=SCOTT command=7 executions=1 buffer-gets=5 address=00000000000A0004 "
           "first-load=2024-03-11/09:00:00 text=\"DELETE FROM emp WHERE empno = 7\"\n"
           "statement user=SCOTT executions=2 buffer-gets=100 disk-reads=10 rows=2 parse-calls=1 after-sleep "
           "address=00000000000A0005 text=\"SELECT ename, sal FROM emp\"\n"
           "run match=\"SELECT ename FROM emp%\" executions=6 buffer-gets=600 disk-reads=30 rows=6 parse-calls=1\n"
           "run match=\"SELECT sal FROM emp%\" executions=2 buffer-gets=200 disk-reads=0 rows=4 sorts=2 "
           "parse-calls=2\n"
           "age-out match=\"DELETE%\"\n";
}

class RecordedLoads : public CSimulatorTest {
protected:
    void SetUp() override {
        CSimulatorTest::SetUp();
        UseScenarioText(MovingScenario(), GetParam() == 8 ? "_8" : "_7");
    }
    void Sleep(int seconds) {
        m_connection->ExecuteStatement("/* $CORVID$ */ BEGIN DBMS_LOCK.SLEEP(" + std::to_string(seconds) + "); END;");
    }
    std::int64_t Record(CHistoryRecorder& recorder, const CCorvidDoc& doc) {
        SSnapshotHeader header;
        EXPECT_TRUE(ReadDatabaseIdentity(*m_connection, header.database));
        header.serverTime = doc.GetServerTime();
        header.statementCount = doc.GetCollection().GetSize();
        std::int64_t id = 0;
        std::string error;
        EXPECT_TRUE(recorder.Record(header, doc.GetCollection(), id, error)) << error;
        return id;
    }
    SqliteStores m_stores;
};

// The window between two recorded loads shows what the changes view showed for
// the same two loads, figure for figure.
TEST_P(RecordedLoads, WindowOfTwoLoadsIsTheChangesView) {
    std::string error;
    auto store = OpenHistoryStore(m_stores.NewLocation(), error);
    ASSERT_TRUE(store) << error;
    CHistoryRecorder recorder(*store);
    Connect();
    CCorvidDoc& doc = MakeDoc(false);
    ASSERT_TRUE(doc.Reload());
    const std::int64_t first = Record(recorder, doc);
    EXPECT_EQ(recorder.LastRecorded(), 4u);
    Sleep(300);
    ASSERT_TRUE(doc.Reload());
    ASSERT_TRUE(doc.HasInterval());
    const std::int64_t second = Record(recorder, doc);
    EXPECT_EQ(recorder.LastRecorded(), 3u);  // two that ran, one new

    SDatabaseIdentity identity;
    ASSERT_TRUE(ReadDatabaseIdentity(*m_connection, identity));
    EXPECT_EQ(identity.name, "DEMO");
    std::int64_t database = 0;
    ASSERT_TRUE(store->FindDatabase(identity, database, error)) << error;
    ASSERT_NE(database, 0);
    std::vector<SStoredSnapshot> snapshots;
    ASSERT_TRUE(store->ListSnapshots(database, snapshots, error)) << error;
    ASSERT_EQ(snapshots.size(), 2u);
    EXPECT_EQ(snapshots[0].id, first);
    EXPECT_EQ(snapshots[1].id, second);
    SWindowFigures window;
    ASSERT_TRUE(ComputeWindow(*store, snapshots, 0, 1, window, error)) << error;

    const SIntervalSummary& changes = doc.GetIntervalSummary();
    EXPECT_EQ(window.summary.seconds, changes.seconds);
    EXPECT_EQ(window.summary.newCount, changes.newCount);
    EXPECT_EQ(window.summary.changedCount, changes.changedCount);
    EXPECT_EQ(window.summary.bufferGets, changes.bufferGets);
    std::vector<CObjectArray::Index> positions;
    const CObjectArray shown = ChangedStatements(doc.GetCollection(), positions);
    ASSERT_EQ(window.statements.GetSize(), shown.GetSize());
    for (const CObjectEntry& want : shown) {
        const CObjectEntry* got = nullptr;
        for (const CObjectEntry& e : window.statements)
            if (StatementKey(e) == StatementKey(want)) got = &e;
        ASSERT_NE(got, nullptr) << want.m_SqlText;
        for (StatementColumn column : {kColExecutionsDelta, kColBufferGetsDelta, kColDiskReadsDelta, kColRowsDelta,
                                       kColExecutionsPerSecond, kColBufferGetsPerSecond, kColPercOfBufferGetsDelta,
                                       kColPercOfDiskReadsDelta, kColSqlText, kColUserName, kColFirstLoadTime,
                                       kColAddress}) {
            EXPECT_EQ(got->GetColumnText(column), want.GetColumnText(column)) << want.m_SqlText << ", " << column;
        }
    }
}

// The desktop's recording: off by default, and a store it cannot use leaves the
// load as it was with the reason for the status bar.
TEST_P(RecordedLoads, TheDesktopRecordsOnlyWhenAskedAndNeverLosesTheLoad) {
    Connect();
    CCorvidDoc& doc = MakeDoc(false);
    ASSERT_TRUE(doc.Reload());
    const std::string dump = CollectionDumpText(doc.GetCollection());
    CLoadRecorder recorder;
    SHistorySettings settings = SHistorySettings::Read(m_store);
    EXPECT_FALSE(settings.record);
    settings.location = m_stores.NewLocation("desk");
    EXPECT_EQ(recorder.Record(settings, *m_connection, doc), "");
    EXPECT_NE(::access(settings.location.c_str(), F_OK), 0);

    settings.record = true;
    const std::string notes = m_stores.dir + "/notes.txt";
    std::ofstream(notes) << "mine\n";
    settings.location = notes;
    const std::string message = recorder.Record(settings, *m_connection, doc);
    EXPECT_EQ(message.rfind("Not recorded in the history: ", 0), 0u) << message;
    EXPECT_NE(message.find("not an SQLite database"), std::string::npos) << message;
    EXPECT_EQ(CollectionDumpText(doc.GetCollection()), dump);

    settings.location = m_stores.NewLocation("desk");
    ASSERT_TRUE(settings.Write(m_store));
    EXPECT_EQ(SHistorySettings::Read(m_store), settings);
    EXPECT_EQ(recorder.Record(settings, *m_connection, doc), "");
    std::string error;
    auto store = OpenHistoryStore(settings.location, error);
    ASSERT_TRUE(store) << error;
    std::vector<SStoredDatabase> databases;
    ASSERT_TRUE(store->ListDatabases(databases, error)) << error;
    ASSERT_EQ(databases.size(), 1u);
    EXPECT_EQ(databases[0].snapshots, 1);
}

INSTANTIATE_TEST_SUITE_P(Oci, RecordedLoads, ::testing::Values(7, 8),
                         [](const ::testing::TestParamInfo<int>& info) { return "Oci" + std::to_string(info.param); });

}  // namespace
}  // namespace corvid::testing
