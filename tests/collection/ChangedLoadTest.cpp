// A load after a complete one reads whole only the statements that ran since and
// keeps the others' figures: the list it makes must be the one a whole load makes.

#include <gtest/gtest.h>

#include <fstream>

#include "collection/SimulatorFixture.h"
#include "collection/StatementIndex.h"
#include "list/StatementColumn.h"

namespace corvid {
namespace {

using testing::CSimulatorTest;
using testing::CountLines;

// Statements that run, that are only parsed, that lose memory to the server, that
// leave the pool, that come new (one at the address of one that left) and that stay
// quiet, while a session sleeps.
std::string ChangingScenario(const std::string& release) {
    return "database DEMO\n" + release +
           "clock 2024-03-11/12:00:00\n"
           "user SYS id=0 password=SYS privileges=sysdba,sysoper,dba plan-table\n"
           "user SCOTT id=54 password=TIGER privileges=catalog,v-database,alter-system,create-procedure plan-table\n"
           "table SCOTT.EMP columns=\"EMPNO NUMBER(4) NOT NULL, ENAME VARCHAR2(10), SAL NUMBER(7,2)\"\n"
           "statement user=SCOTT executions=10 buffer-gets=1000 disk-reads=40 rows=10 parse-calls=2 "
           "address=00000000000A0001 first-load=2024-03-11/09:00:00 text=\"SELECT ename FROM emp WHERE empno = 1\"\n"
           "statement user=SCOTT executions=4 buffer-gets=400 disk-reads=4 rows=8 sorts=4 parse-calls=4 "
           "address=00000000000A0002 first-load=2024-03-11/09:00:00 text=\"SELECT sal FROM emp ORDER BY sal\"\n"
           "statement user=SCOTT executions=3 buffer-gets=30 parse-calls=3 address=00000000000A0003 "
           "first-load=2024-03-11/09:00:00 text=\"SELECT empno FROM emp\"\n"
           "statement user=SCOTT command=7 executions=1 buffer-gets=5 address=00000000000A0004 "
           "first-load=2024-03-11/09:00:00 text=\"DELETE FROM emp WHERE empno = 7\"\n"
           "statement user=SCOTT executions=7 buffer-gets=70 rows=7 address=00000000000A0006 "
           "first-load=2024-03-11/08:00:00 last-active=2024-03-11/08:30:00 text=\"SELECT ename FROM emp\"\n"
           "statement user=SCOTT executions=1 buffer-gets=4 sharable-mem=5000 address=00000000000A0007 "
           "first-load=2024-03-11/08:00:00 last-active=2024-03-11/08:30:00 text=\"SELECT empno, sal FROM emp WHERE empno = 2\"\n"
           "statement user=SCOTT executions=2 buffer-gets=100 disk-reads=10 rows=2 parse-calls=1 after-sleep "
           "address=00000000000A0005 text=\"SELECT ename, sal FROM emp\"\n"
           "statement user=SCOTT executions=1 buffer-gets=9 after-sleep address=00000000000A0004 "
           "text=\"SELECT ename FROM emp WHERE sal > 3000 ORDER BY ename\"\n"
           "run match=\"SELECT ename FROM emp WHERE%\" executions=6 buffer-gets=600 disk-reads=30 rows=6 "
           "parse-calls=1\n"
           "run match=\"SELECT sal FROM emp%\" executions=2 buffer-gets=200 rows=4 sorts=2 parse-calls=2\n"
           "run match=\"SELECT empno FROM emp\" parse-calls=5\n"
           "run match=\"SELECT empno, sal FROM emp WHERE empno = 2\" freed-memory=1000\n"
           "age-out match=\"DELETE%\"\n";
}

// The lines of the trace that start so, one after the other.
std::string Lines(const std::string& path, const std::string& prefix) {
    std::ifstream in(path, std::ios::binary);
    std::string lines;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(prefix, 0) == 0) lines += line + "\n";
    }
    return lines;
}

class ChangedLoad : public CSimulatorTest {
protected:
    void Sleep(int seconds) {
        m_connection->ExecuteStatement("/* $CORVID$ */ BEGIN DBMS_LOCK.SLEEP(" + std::to_string(seconds) + "); END;");
    }
    // A load by a document that has none before it: the whole list.
    CObjectArray WholeLoad(bool analyze) {
        CCorvidDoc whole(m_connection.get(), m_store, m_prompter, &m_runner);
        whole.SetSaveOnDestroy(false);
        whole.m_Analyze = analyze ? 1 : 0;
        whole.m_CursorCachePlans = m_doc->m_CursorCachePlans;
        EXPECT_TRUE(whole.Reload());
        return whole.GetCollection();
    }
    // Every figure, text and plan of both lists, in their order.
    static void ExpectSameLists(const CObjectArray& kept, const CObjectArray& whole) {
        ASSERT_EQ(kept.GetSize(), whole.GetSize());
        for (CObjectArray::Index i = 0; i < kept.GetSize(); ++i) {
            const CObjectEntry& a = kept[i];
            const CObjectEntry& b = whole[i];
            EXPECT_EQ(a.m_SqlText, b.m_SqlText) << i;
            for (StatementColumn code = 1; code <= 40; ++code)
                EXPECT_EQ(a.GetColumnText(code), b.GetColumnText(code)) << b.m_SqlText << ", column " << code;
            EXPECT_EQ(a.SqlPlan(), b.SqlPlan()) << b.m_SqlText;
            EXPECT_EQ(a.m_Status, b.m_Status) << b.m_SqlText;
            EXPECT_EQ(a.m_PlanSource, b.m_PlanSource) << b.m_SqlText;
            EXPECT_EQ(a.m_Explained, b.m_Explained) << b.m_SqlText;
            EXPECT_EQ(a.ErrorMessage(), b.ErrorMessage()) << b.m_SqlText;
            EXPECT_EQ(a.m_UserName, b.m_UserName) << b.m_SqlText;
        }
    }
    const CObjectEntry* Find(const std::string& text) {
        for (const CObjectEntry& e : m_doc->GetCollection())
            if (e.m_SqlText == text) return &e;
        return nullptr;
    }
};

TEST_P(ChangedLoad, KeepsTheQuietStatementsAndListsWhatAWholeLoadLists) {
    for (const bool analyze : {false, true}) {
        SCOPED_TRACE(analyze ? "with analysis" : "without analysis");
        UseScenarioText(ChangingScenario(""), std::to_string(GetParam()) + (analyze ? "a" : "n"));
        const std::string trace = OpenTrace(1);
        Connect();
        InstallExplainProcedure();
        CCorvidDoc& doc = MakeDoc(analyze);
        ASSERT_TRUE(doc.Reload());
        ExpectSameLists(doc.GetCollection(), WholeLoad(analyze));
        Sleep(60);
        ASSERT_TRUE(doc.Reload());
        // The two that ran and the new two are read; the one only parsed and the one
        // whose memory was freed are read by their addresses; the quiet one is kept.
        EXPECT_EQ(CountLines(trace, "Statements kept from the previous load = [1], read = [6]"), 1);
        ExpectSameLists(doc.GetCollection(), WholeLoad(analyze));
        ASSERT_NE(Find("SELECT empno FROM emp"), nullptr);
        EXPECT_EQ(Find("SELECT empno FROM emp")->m_ParseCalls, 3 + 5);
        EXPECT_EQ(Find("SELECT empno, sal FROM emp WHERE empno = 2")->m_SharableMem, 5000 - 1000);
        EXPECT_EQ(Find("SELECT ename FROM emp WHERE empno = 1")->Interval().bufferGets, 600);
        EXPECT_FALSE(Find("SELECT ename FROM emp")->Interval().Changed());
        EXPECT_EQ(Find("DELETE FROM emp WHERE empno = 7"), nullptr);
        ASSERT_NE(Find("SELECT ename FROM emp WHERE sal > 3000 ORDER BY ename"), nullptr);
        EXPECT_TRUE(Find("SELECT ename FROM emp WHERE sal > 3000 ORDER BY ename")->Interval().isNew);
        EXPECT_EQ(doc.GetIntervalSummary().goneCount, 1);
        // Nothing ran in between: the list is unchanged. The statements that ran in
        // the second of the previous load are read again (the server's times are
        // whole seconds), the others kept.
        ASSERT_TRUE(doc.Reload());
        EXPECT_EQ(CountLines(trace, "Statements kept from the previous load = [3], read = [4]"), 1)
            << Lines(trace, "Statements kept");
        ExpectSameLists(doc.GetCollection(), WholeLoad(analyze));
        EXPECT_EQ(doc.GetIntervalSummary().changedCount + doc.GetIntervalSummary().newCount, 0);
    }
}

TEST_P(ChangedLoad, ExplainedPlansOfKeptStatementsAreKept) {
    UseScenarioText(ChangingScenario(""), GetParam() == 8 ? "_8e" : "_7e");
    const std::string trace = OpenTrace(15);
    Connect();
    InstallExplainProcedure();
    CCorvidDoc& doc = MakeDoc(true);
    doc.m_CursorCachePlans = 0;
    ASSERT_TRUE(doc.Reload());
    Sleep(60);
    ASSERT_TRUE(doc.Reload());
    ExpectSameLists(doc.GetCollection(), WholeLoad(true));
    // Of the seven statements two are new: only they are explained again.
    EXPECT_EQ(CountLines(trace, "Kept   = ["), 5);
    // The option explains every statement of a load again, kept or read.
    doc.m_ExplainAll = 1;
    const int explained = CountLines(trace, "Cmd    = [");
    ASSERT_TRUE(doc.Reload());
    EXPECT_EQ(CountLines(trace, "Cmd    = [") - explained, 7);
}

// A load that does not complete leaves the previous one whole: the next load
// keeps from it again, plans included.
TEST_P(ChangedLoad, CancelledLoadLeavesThePreviousOneWhole) {
    for (const char* cancelAt : {"Loading sql text from sga...", "Analyzing sql statements...",
                                 "Loading sql statement 3 from sga..."}) {
        SCOPED_TRACE(cancelAt);
        UseScenarioText(ChangingScenario(""), std::to_string(GetParam()) + "c" + std::to_string(cancelAt[0] + cancelAt[20]));
        Connect();
        InstallExplainProcedure();
        CCorvidDoc& doc = MakeDoc(true);
        ASSERT_TRUE(doc.Reload());
        Sleep(60);
        m_runner.progress.cancelAfter = cancelAt;
        EXPECT_FALSE(doc.Reload());
        for (const CObjectEntry& e : doc.GetCollection())
            EXPECT_FALSE(e.m_SqlText.empty() && e.GetColumnText(kColExecutions).empty()) << "an unread statement listed";
        m_runner.progress.cancelAfter.clear();
        m_runner.progress.cancelled = false;
        ASSERT_TRUE(doc.Reload());
        ExpectSameLists(doc.GetCollection(), WholeLoad(true));
        for (const CObjectEntry& e : doc.GetCollection()) {
            if (e.m_CommandType == 3) {
                EXPECT_FALSE(e.SqlPlan().empty()) << e.m_SqlText;
            }
        }
        EXPECT_EQ(doc.GetIntervalSummary().seconds, 60);
        EXPECT_EQ(Find("SELECT ename FROM emp WHERE empno = 1")->Interval().bufferGets, 600);
    }
}

TEST_P(ChangedLoad, OldServerOtherFilterOrOptionOffReadEverything) {
    UseScenarioText(ChangingScenario("release 8i\n"), GetParam() == 8 ? "_8o" : "_7o");
    const std::string trace = OpenTrace(1);
    Connect();
    CCorvidDoc& doc = MakeDoc(false);
    ASSERT_TRUE(doc.Reload());
    Sleep(60);
    ASSERT_TRUE(doc.Reload());
    EXPECT_TRUE(doc.HasInterval());
    EXPECT_EQ(CountLines(trace, "Statements kept from the previous load"), 0);
    ExpectSameLists(doc.GetCollection(), WholeLoad(false));

    UseScenarioText(ChangingScenario(""), GetParam() == 8 ? "_8n" : "_7n");
    Connect();
    CCorvidDoc& recent = MakeDoc(false);
    ASSERT_TRUE(recent.Reload());
    recent.GetFilter().m_Delete = 0;
    ASSERT_TRUE(recent.Reload());
    EXPECT_EQ(CountLines(trace, "Statements kept from the previous load"), 0);
    recent.m_ReadChangesOnly = 0;
    ASSERT_TRUE(recent.Reload());
    EXPECT_EQ(CountLines(trace, "Statements kept from the previous load"), 0);
    recent.m_ReadChangesOnly = 1;
    recent.m_ExplainAll = 1;  // the option that takes nothing from the previous load
    ASSERT_TRUE(recent.Reload());
    EXPECT_EQ(CountLines(trace, "Statements kept from the previous load"), 0);
    recent.m_ExplainAll = 0;
    ASSERT_TRUE(recent.Reload());
    EXPECT_EQ(CountLines(trace, "Statements kept from the previous load"), 1);
}

TEST(StatementIndex, FindsEachKeyTheFirstOfDuplicatesAndNothingElse) {
    CObjectArray list;
    CStatementIndex index;
    index.Build(list);
    EXPECT_TRUE(index.IsEmpty());
    EXPECT_EQ(index.Find("00A1", "2024-03-11/09:00:00"), CStatementIndex::kNone);
    for (int i = 0; i < 20000; ++i) {
        CObjectEntry e;
        char address[20];
        std::snprintf(address, sizeof address, "%016X", i * 8);
        e.m_Address = address;
        e.m_FirstLoadTime = i % 3 == 0 ? "2024-03-11/09:00:00" : "2024-03-11/09:00:01";
        list.Add(e);
    }
    list.Add(list[7]);  // a second statement under the key of the eighth
    index.Build(list);
    for (CObjectArray::Index i = 0; i < 20000; ++i)
        ASSERT_EQ(index.Find(list[i]), i);
    EXPECT_EQ(index.Find(list[20000]), 7);
    EXPECT_EQ(index.FindEntry(list[5]), &list[5]);
    // The same address under another first load time is another statement.
    EXPECT_EQ(index.Find(list[3].m_Address.str(), "2024-03-11/09:00:01"), CStatementIndex::kNone);
    EXPECT_EQ(index.Find("", ""), CStatementIndex::kNone);
    EXPECT_EQ(index.Find(list[3].m_Address.str() + "0", list[3].m_FirstLoadTime.str()), CStatementIndex::kNone);
    index.Clear();
    EXPECT_EQ(index.Find(list[0]), CStatementIndex::kNone);
}

INSTANTIATE_TEST_SUITE_P(BothGenerations, ChangedLoad, ::testing::Values(8, 7),
                         [](const ::testing::TestParamInfo<int>& info) { return "OCI" + std::to_string(info.param); });

}  // namespace
}  // namespace corvid
