// Changes since the previous load: the interval figures computed from two
// collections, and two loads of the simulator with a known workload between
// them, with the plans the second load keeps.

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

#include "collection/IntervalFigures.h"
#include "collection/SimulatorFixture.h"
#include "list/StatementColumn.h"

namespace corvid {
namespace {

using testing::CSimulatorTest;
using testing::CountLines;

CObjectEntry Entry(const std::string& address, const std::string& firstLoad, double executions, double bufferGets,
                   double diskReads, double rows = 0, double sorts = 0, double parses = 0) {
    CObjectEntry e;
    e.m_Address = address;
    e.m_FirstLoadTime = firstLoad;
    e.m_Executions = executions;
    e.m_BufferGets = bufferGets;
    e.m_DiskReads = diskReads;
    e.m_RowsProcessed = rows;
    e.m_Sorts = sorts;
    e.m_ParseCalls = parses;
    return e;
}

TEST(IntervalFigures, ServerTimesAndLengths) {
    std::int64_t s = 0;
    ASSERT_TRUE(ParseServerTime("1970-01-01/00:00:00", s));
    EXPECT_EQ(s, 0);
    ASSERT_TRUE(ParseServerTime("2024-03-01/00:00:00", s));
    std::int64_t feb = 0;
    ASSERT_TRUE(ParseServerTime("2024-02-28/23:59:59", feb));
    EXPECT_EQ(s - feb, 86400 + 1);  // 2024 is a leap year
    for (const char* bad : {"", "2024-03-01 00:00:00", "2024-13-01/00:00:00", "2024-03-01/24:00:00", "2024-0a-01/00:00:00"})
        EXPECT_FALSE(ParseServerTime(bad, s)) << bad;
    EXPECT_EQ(FormatIntervalLength(45), "45 s");
    EXPECT_EQ(FormatIntervalLength(300), "5 min 0 s");
    EXPECT_EQ(FormatIntervalLength(7384), "2 h 3 min 4 s");
    EXPECT_EQ(FormatIntervalLength(-5), "0 s");
}

// Differences, rates and shares; new, reloaded, unchanged and gone statements.
TEST(IntervalFigures, DifferencesRatesSharesAndCounts) {
    CObjectArray before;
    before.Add(Entry("A1", "2024-03-11/09:00:00", 10, 1000, 50, 20, 2, 4));
    before.Add(Entry("B2", "2024-03-11/09:00:00", 5, 100, 0));
    before.Add(Entry("C3", "2024-03-11/09:00:00", 8, 80, 8));       // reloaded: counters go down
    before.Add(Entry("D4", "2024-03-11/08:00:00", 1, 1, 1));         // address reused: new first load time
    before.Add(Entry("E5", "2024-03-11/09:00:00", 3, 3, 3));         // gone
    CObjectArray now;
    now.Add(Entry("A1", "2024-03-11/09:00:00", 16, 1600, 58, 32, 5, 7));
    now.Add(Entry("B2", "2024-03-11/09:00:00", 5, 100, 0));
    now.Add(Entry("C3", "2024-03-11/09:00:00", 2, 200, 2));
    now.Add(Entry("D4", "2024-03-11/12:02:00", 1, 150, 0));
    now.Add(Entry("F6", "2024-03-11/12:03:00", 1, 50, 0));

    const SIntervalSummary summary =
        ComputeIntervalFigures(before, "2024-03-11/12:00:00", now, "2024-03-11/12:05:00");
    ASSERT_TRUE(summary.valid);
    EXPECT_EQ(summary.seconds, 300);
    EXPECT_EQ(summary.newCount, 3);  // C3 reloaded, D4 under a new first load time, F6
    EXPECT_EQ(summary.changedCount, 1);
    EXPECT_EQ(summary.unchangedCount, 1);
    EXPECT_EQ(summary.goneCount, 2);  // E5, and D4 of 08:00
    EXPECT_EQ(summary.bufferGets, 600 + 200 + 150 + 50);
    EXPECT_EQ(summary.diskReads, 8 + 2);
    EXPECT_EQ(summary.Describe(),
              "Interval 5 min 0 s (2024-03-11/12:00:00 to 2024-03-11/12:05:00): 3 new, 1 changed, 2 gone");

    const SIntervalFigures& a = now[0].Interval();
    EXPECT_FALSE(a.isNew);
    EXPECT_TRUE(a.Changed());
    EXPECT_EQ(a.executions, 6);
    EXPECT_EQ(a.bufferGets, 600);
    EXPECT_EQ(a.diskReads, 8);
    EXPECT_EQ(a.rowsProcessed, 12);
    EXPECT_EQ(a.sorts, 3);
    EXPECT_EQ(a.parseCalls, 3);
    EXPECT_DOUBLE_EQ(a.executionsPerSecond, 0.02);
    EXPECT_DOUBLE_EQ(a.bufferGetsPerSecond, 2.0);
    EXPECT_DOUBLE_EQ(a.percOfBufferGets, 60.0);
    EXPECT_DOUBLE_EQ(a.percOfDiskReads, 80.0);
    EXPECT_EQ(now[0].GetColumnText(kColExecutionsDelta), "6");
    EXPECT_EQ(now[0].GetColumnText(kColBufferGetsDelta), "600");
    EXPECT_EQ(now[0].GetColumnText(kColDiskReadsDelta), "8");
    EXPECT_EQ(now[0].GetColumnText(kColRowsDelta), "12");
    EXPECT_EQ(now[0].GetColumnText(kColExecutionsPerSecond), "0.02");
    EXPECT_EQ(now[0].GetColumnText(kColBufferGetsPerSecond), "2.00");
    EXPECT_EQ(now[0].GetColumnText(kColPercOfBufferGetsDelta), "60.00");
    EXPECT_EQ(now[0].GetColumnText(kColPercOfDiskReadsDelta), "80.00");

    EXPECT_FALSE(now[1].Interval().Changed());
    EXPECT_EQ(now[1].GetColumnText(kColBufferGetsDelta), "0");
    // A statement reloaded under the same key counts from zero.
    EXPECT_TRUE(now[2].Interval().isNew);
    EXPECT_EQ(now[2].Interval().executions, 2);
    EXPECT_EQ(now[2].Interval().bufferGets, 200);
    EXPECT_TRUE(now[3].Interval().isNew);
    EXPECT_EQ(now[3].Interval().bufferGets, 150);
    EXPECT_TRUE(now[4].Interval().isNew);

    // Without an interval the columns stay empty.
    EXPECT_EQ(before[0].GetColumnText(kColExecutionsDelta), "");
}

// Figures of a statement that did not move are kept without a block of their own;
// they read, copy, change and clear like any others.
TEST(IntervalFigures, UnmovedFiguresReadCopyChangeAndClearAsOthers) {
    CObjectEntry e = Entry("A1", "2024-03-11/09:00:00", 1, 10, 0);
    SIntervalFigures unmoved;
    unmoved.valid = true;
    e.SetInterval(unmoved);
    EXPECT_TRUE(e.Interval().valid);
    EXPECT_FALSE(e.Interval().Changed());
    EXPECT_EQ(e.GetColumnText(kColBufferGetsDelta), "0");
    EXPECT_EQ(e.GetColumnText(kColPercOfBufferGetsDelta), "0.00");
    CObjectEntry copy = e;
    EXPECT_TRUE(copy.Interval().valid);
    copy.MutableInterval().bufferGets = 5;  // becomes a moved statement's figures
    EXPECT_TRUE(copy.Interval().Changed());
    EXPECT_EQ(copy.GetColumnText(kColBufferGetsDelta), "5");
    EXPECT_FALSE(e.Interval().Changed());
    e.SetInterval(SIntervalFigures());
    EXPECT_FALSE(e.Interval().valid);
    EXPECT_EQ(e.GetColumnText(kColBufferGetsDelta), "");
    // With a plan the figures share its block, moved or not.
    e.SetSqlPlan(CSharedText("SELECT STATEMENT"));
    e.SetInterval(unmoved);
    EXPECT_TRUE(e.Interval().valid);
    e.SetInterval(SIntervalFigures());
    EXPECT_FALSE(e.Interval().valid);
    EXPECT_EQ(e.SqlPlan(), "SELECT STATEMENT");
}

TEST(IntervalFigures, ClockThatDidNotMoveGivesNoRatesAndNoDivisionByZero) {
    CObjectArray before;
    before.Add(Entry("A1", "t", 1, 10, 0));
    CObjectArray now;
    now.Add(Entry("A1", "t", 1, 10, 0));
    for (const char* time : {"2024-03-11/12:00:00", "2024-03-11/11:00:00", ""}) {
        const SIntervalSummary summary = ComputeIntervalFigures(before, "2024-03-11/12:00:00", now, time);
        EXPECT_EQ(summary.seconds, 0);
        EXPECT_EQ(now[0].Interval().bufferGetsPerSecond, 0);
        EXPECT_EQ(now[0].Interval().percOfBufferGets, 0);  // no buffer gets in the interval
        EXPECT_EQ(summary.unchangedCount, 1);
    }
}

// A small database whose scripted workload runs when a session sleeps.
std::string WorkloadScenario() {
    return "database DEMO\n"
           "clock 2024-03-11/12:00:00\n"
           "user SYS id=0 password=SYS privileges=sysdba,sysoper,dba plan-table\n"
           "user SCOTT id=54 password=TIGER privileges=catalog,v-database,alter-system,create-procedure plan-table\n"
           "table SCOTT.EMP columns=\"EMPNO NUMBER(4) NOT NULL, ENAME VARCHAR2(10), SAL NUMBER(7,2)\"\n"
           "statement user=SCOTT executions=10 buffer-gets=1000 disk-reads=40 rows=10 sorts=0 parse-calls=2 "
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
           "run match=\"SELECT sal FROM emp%\" executions=2 buffer-gets=200 disk-reads=0 rows=4 sorts=2 parse-calls=2\n"
           "age-out match=\"DELETE%\"\n";
}

class IntervalLoad : public CSimulatorTest {
protected:
    void SetUp() override {
        CSimulatorTest::SetUp();
        UseScenarioText(WorkloadScenario(), GetParam() == 8 ? "_8" : "_7");
    }
    void Sleep(int seconds) {
        m_connection->ExecuteStatement("/* $CORVID$ */ BEGIN DBMS_LOCK.SLEEP(" + std::to_string(seconds) + "); END;");
    }
    const CObjectEntry* Find(const std::string& text) {
        for (const CObjectEntry& e : m_doc->GetCollection())
            if (e.m_SqlText == text) return &e;
        return nullptr;
    }
};

TEST_P(IntervalLoad, KnownWorkloadGivesEveryIntervalFigure) {
    Connect();
    InstallExplainProcedure();
    CCorvidDoc& doc = MakeDoc(false);
    ASSERT_TRUE(doc.Reload());
    EXPECT_EQ(doc.GetServerTime(), "2024-03-11/12:00:00");
    EXPECT_FALSE(doc.HasInterval());
    Sleep(300);
    ASSERT_TRUE(doc.Reload());
    ASSERT_TRUE(doc.HasInterval());
    const SIntervalSummary& summary = doc.GetIntervalSummary();
    EXPECT_EQ(summary.fromTime, "2024-03-11/12:00:00");
    EXPECT_EQ(summary.toTime, "2024-03-11/12:05:00");
    EXPECT_EQ(summary.seconds, 300);
    EXPECT_EQ(summary.newCount, 1);
    EXPECT_EQ(summary.changedCount, 2);
    EXPECT_EQ(summary.unchangedCount, 1);
    EXPECT_EQ(summary.goneCount, 1);
    EXPECT_EQ(summary.bufferGets, 600 + 200 + 100);
    EXPECT_EQ(summary.diskReads, 30 + 10);

    const CObjectEntry* one = Find("SELECT ename FROM emp WHERE empno = 1");
    ASSERT_NE(one, nullptr);
    EXPECT_EQ(one->Interval().executions, 6);
    EXPECT_EQ(one->Interval().bufferGets, 600);
    EXPECT_EQ(one->Interval().diskReads, 30);
    EXPECT_EQ(one->Interval().rowsProcessed, 6);
    EXPECT_EQ(one->Interval().sorts, 0);
    EXPECT_EQ(one->Interval().parseCalls, 1);
    EXPECT_EQ(one->GetColumnText(kColExecutionsPerSecond), "0.02");
    EXPECT_EQ(one->GetColumnText(kColBufferGetsPerSecond), "2.00");
    EXPECT_EQ(one->GetColumnText(kColPercOfBufferGetsDelta), "66.67");
    EXPECT_EQ(one->GetColumnText(kColPercOfDiskReadsDelta), "75.00");

    const CObjectEntry* sorted = Find("SELECT sal FROM emp ORDER BY sal");
    ASSERT_NE(sorted, nullptr);
    EXPECT_EQ(sorted->Interval().executions, 2);
    EXPECT_EQ(sorted->Interval().bufferGets, 200);
    EXPECT_EQ(sorted->Interval().diskReads, 0);
    EXPECT_EQ(sorted->Interval().rowsProcessed, 4);
    EXPECT_EQ(sorted->Interval().sorts, 2);
    EXPECT_EQ(sorted->Interval().parseCalls, 2);
    EXPECT_EQ(sorted->GetColumnText(kColPercOfBufferGetsDelta), "22.22");

    const CObjectEntry* quiet = Find("SELECT empno FROM emp");
    ASSERT_NE(quiet, nullptr);
    EXPECT_FALSE(quiet->Interval().Changed());

    const CObjectEntry* fresh = Find("SELECT ename, sal FROM emp");
    ASSERT_NE(fresh, nullptr);
    EXPECT_TRUE(fresh->Interval().isNew);
    EXPECT_EQ(fresh->m_FirstLoadTime, "2024-03-11/12:05:00");
    EXPECT_EQ(fresh->Interval().executions, 2);
    EXPECT_EQ(fresh->Interval().bufferGets, 100);
    EXPECT_EQ(fresh->Interval().diskReads, 10);
    EXPECT_EQ(fresh->Interval().rowsProcessed, 2);
    EXPECT_EQ(fresh->Interval().parseCalls, 1);
    EXPECT_EQ(Find("DELETE FROM emp WHERE empno = 7"), nullptr);

    // A third load compares with the second.
    Sleep(60);
    ASSERT_TRUE(doc.Reload());
    EXPECT_EQ(doc.GetIntervalSummary().seconds, 60);
    EXPECT_EQ(doc.GetIntervalSummary().goneCount, 0);
    EXPECT_EQ(doc.GetIntervalSummary().newCount, 0);
    EXPECT_EQ(Find("SELECT ename FROM emp WHERE empno = 1")->Interval().bufferGets, 600);
    EXPECT_FALSE(Find("SELECT ename, sal FROM emp")->Interval().Changed());
}

TEST_P(IntervalLoad, AnotherFilterOrANewConnectionStartsAfresh) {
    Connect();
    CCorvidDoc& doc = MakeDoc(false);
    ASSERT_TRUE(doc.Reload());
    Sleep(30);
    doc.GetFilter().m_Delete = 0;
    ASSERT_TRUE(doc.Reload());
    EXPECT_FALSE(doc.HasInterval());
    Sleep(30);
    ASSERT_TRUE(doc.Reload());
    EXPECT_TRUE(doc.HasInterval());
    doc.RefreshSettings();  // what a connect does
    ASSERT_TRUE(doc.Reload());
    EXPECT_FALSE(doc.HasInterval());
}

TEST_P(IntervalLoad, CancelledLoadIsNeverThePreviousOne) {
    Connect();
    CCorvidDoc& doc = MakeDoc(false);
    ASSERT_TRUE(doc.Reload());
    Sleep(100);
    m_runner.progress.cancelAfter = "Loading sql text from sga...";
    EXPECT_FALSE(doc.Reload());
    EXPECT_FALSE(doc.HasInterval());
    m_runner.progress.cancelAfter.clear();
    m_runner.progress.cancelled = false;
    Sleep(100);
    ASSERT_TRUE(doc.Reload());
    ASSERT_TRUE(doc.HasInterval());
    // Measured from the first load: two sleeps of 100 seconds, and the workload twice.
    EXPECT_EQ(doc.GetIntervalSummary().seconds, 200);
    EXPECT_EQ(Find("SELECT ename FROM emp WHERE empno = 1")->Interval().executions, 12);
}

// The second load explains only what is new; the plans of the others are kept,
// unless the option asks for every statement to be explained again.
TEST_P(IntervalLoad, SecondLoadKeepsThePlansOfUnchangedStatements) {
    const std::string trace = OpenTrace(15);
    Connect();
    InstallExplainProcedure();
    CCorvidDoc& doc = MakeDoc(true);
    doc.m_CursorCachePlans = 0;  // every plan through the explain procedure
    ASSERT_TRUE(doc.Reload());
    std::map<std::string, std::pair<std::string, int>> firstPlans;
    for (const CObjectEntry& e : doc.GetCollection()) {
        EXPECT_TRUE(e.m_Explained) << e.m_SqlText;
        firstPlans[e.m_SqlText] = {e.SqlPlan(), e.m_Status};
    }
    EXPECT_EQ(CountLines(trace, "Cmd    = ["), 4);
    EXPECT_EQ(CountLines(trace, "Kept   = ["), 0);

    Sleep(10);
    ASSERT_TRUE(doc.Reload());
    EXPECT_EQ(CountLines(trace, "Cmd    = ["), 5);  // the new statement alone
    EXPECT_EQ(CountLines(trace, "Kept   = ["), 3);
    for (const CObjectEntry& e : doc.GetCollection()) {
        if (!firstPlans.count(e.m_SqlText)) {
            EXPECT_FALSE(e.SqlPlan().empty());
            continue;
        }
        EXPECT_EQ(e.SqlPlan(), firstPlans[e.m_SqlText].first);
        EXPECT_EQ(e.m_Status, firstPlans[e.m_SqlText].second);
        EXPECT_FALSE(e.SqlPlan().empty());
    }

    doc.m_ExplainAll = 1;
    ASSERT_TRUE(doc.Reload());
    EXPECT_EQ(CountLines(trace, "Cmd    = ["), 9);
    EXPECT_EQ(CountLines(trace, "Kept   = ["), 3);
}

// The texts and the cursor cache's plans of unchanged statements come from the
// previous load; the new statements' are read by their addresses, also where a new
// statement took the address of one that left the pool.
TEST_P(IntervalLoad, SecondLoadReadsTheTextsAndCursorPlansOfNewStatementsOnly) {
    UseScenarioText(WorkloadScenario() +
                        "statement user=SCOTT executions=1 buffer-gets=9 after-sleep address=00000000000A0004 "
                        "text=\"SELECT ename FROM emp WHERE sal > 3000 AND ename LIKE 'K%' ORDER BY ename\"\n",
                    GetParam() == 8 ? "_8r" : "_7r");
    const std::string trace = OpenTrace(15);
    Connect();
    InstallExplainProcedure();
    CCorvidDoc& doc = MakeDoc(true);
    ASSERT_TRUE(doc.Reload());
    std::map<std::string, std::string> firstPlans;
    for (const CObjectEntry& e : doc.GetCollection())
        firstPlans[e.m_SqlText] = e.SqlPlan();
    EXPECT_EQ(CountLines(trace, "Texts kept from the previous load"), 0);

    Sleep(10);
    ASSERT_TRUE(doc.Reload());
    ASSERT_TRUE(doc.HasInterval());
    // Three stayed; the DELETE left and its address came back with another text.
    EXPECT_EQ(CountLines(trace, "Texts kept from the previous load = [3], read = [2]"), 1);
    EXPECT_EQ(Find("DELETE FROM emp WHERE empno = 7"), nullptr);
    const CObjectEntry* reused = Find("SELECT ename FROM emp WHERE sal > 3000 AND ename LIKE 'K%' ORDER BY ename");
    ASSERT_NE(reused, nullptr);
    EXPECT_EQ(reused->m_Address, "00000000000A0004");
    EXPECT_TRUE(reused->Interval().isNew);
    ASSERT_NE(Find("SELECT ename, sal FROM emp"), nullptr);
    for (const CObjectEntry& e : doc.GetCollection()) {
        EXPECT_FALSE(e.m_SqlText.empty()) << e.m_Address;
        EXPECT_FALSE(e.SqlPlan().empty()) << e.m_SqlText;
        if (firstPlans.count(e.m_SqlText)) {
            EXPECT_EQ(e.SqlPlan(), firstPlans[e.m_SqlText]) << e.m_SqlText;
        }
    }
    ASSERT_TRUE(doc.GetServerFeatures().sqlPlan);  // the plans come from the cursor cache
    EXPECT_EQ(CountLines(trace, "Plans kept from the previous load = [3]"), 1);
    EXPECT_NE(reused->SqlPlan().view().find("SORT"), std::string::npos) << reused->SqlPlan();

    // Every text and plan is read again from the whole views when the option asks for it.
    doc.m_ExplainAll = 1;
    ASSERT_TRUE(doc.Reload());
    EXPECT_EQ(CountLines(trace, "Plans kept from the previous load"), 1);
    for (const CObjectEntry& e : doc.GetCollection())
        EXPECT_FALSE(e.m_SqlText.empty()) << e.m_Address;
}

TEST(IntervalFigures, AddressListsStayWithinTheServerLimitAndRefuseOtherTexts) {
    EXPECT_EQ(AddressListCondition("t.address", {}), "");
    EXPECT_EQ(AddressListCondition("t.address", {"0A1B", "ff00"}), "(t.address IN ('0A1B', 'ff00'))");
    EXPECT_EQ(AddressListCondition("t.address", {"0A1B", "1' OR '1'='1"}), "");
    EXPECT_EQ(AddressListCondition("t.address", {""}), "");
    std::vector<std::string> many(2001, "00AB");
    const std::string condition = AddressListCondition("p.address", many);
    std::size_t lists = 0;
    for (std::size_t at = condition.find(" IN ("); at != std::string::npos; at = condition.find(" IN (", at + 1))
        ++lists;
    EXPECT_EQ(lists, 3u);  // 1000, 1000 and 1
    EXPECT_EQ(condition.substr(0, 17), "(p.address IN ('0");
    EXPECT_NE(condition.find("'00AB') OR p.address IN ('00AB'"), std::string::npos);
    EXPECT_EQ(condition.substr(condition.size() - 9), "('00AB'))");
}

INSTANTIATE_TEST_SUITE_P(BothGenerations, IntervalLoad, ::testing::Values(8, 7),
                         [](const ::testing::TestParamInfo<int>& info) { return "OCI" + std::to_string(info.param); });

}  // namespace
}  // namespace corvid
