// The figures and plans of today's servers in the load: what the server offers,
// the new columns, the plans of the cursor cache and the explain of statements
// that another schema parsed. Against an old release everything stays as it was.

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "collection/SchemaExplain.h"
#include "collection/SimulatorFixture.h"
#include "oracle/OracleCursor.h"
#include "list/StatementColumn.h"

namespace corvid {
namespace {

using testing::CSimulatorTest;

std::string Scenario(const std::string& extra = "") {
    return "database DEMO\n"
           "clock 2024-03-11/12:00:00\n" +
           extra +
           "user SYS id=0 password=SYS privileges=sysdba,sysoper,dba plan-table\n"
           "user HR id=43 password=HR plan-table\n"
           "user SCOTT id=54 password=TIGER privileges=catalog,v-database,create-procedure plan-table\n"
           "table SCOTT.EMP columns=\"EMPNO NUMBER(4) NOT NULL, ENAME VARCHAR2(10), DEPTNO NUMBER(2)\" rows=5000 "
           "analyzed\n"
           "index SCOTT.EMP_PK on SCOTT.EMP(EMPNO) unique\n"
           "table HR.JOBS columns=\"JOB_ID NUMBER, TITLE VARCHAR2(30)\" rows=40 analyzed\n"
           "table HR.SALARIES columns=\"EMP_ID NUMBER, AMOUNT NUMBER\" rows=900 analyzed\n"
           "grant HR.JOBS to SCOTT\n"
           "statement user=SCOTT executions=10 disk-reads=20 buffer-gets=300 module=payroll "
           "last-active=2024-03-11/11:58:30 text=\"select * from dual\"\n"
           "statement user=SCOTT executions=4 buffer-gets=90 text=\"SELECT ename FROM emp WHERE empno = 7\"\n"
           "statement user=SCOTT executions=2 buffer-gets=900 text=\"SELECT ename FROM emp WHERE deptno = 10\"\n"
           "statement user=SCOTT executions=0 text=\"SELECT deptno FROM emp\"\n"
           "statement user=HR executions=3 text=\"SELECT title FROM jobs WHERE job_id = 1\"\n"
           "statement user=HR executions=5 text=\"SELECT amount FROM salaries\"\n";
}

const CObjectEntry* ByText(const CCorvidDoc& doc, const std::string& text) {
    for (const CObjectEntry& entry : doc.GetCollection()) {
        if (entry.m_SqlText == text) return &entry;
    }
    return nullptr;
}

std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

class ServerFigures : public CSimulatorTest {};

TEST_P(ServerFigures, TodaysServerGivesTheNewFiguresAndColumns) {
    UseScenarioText(Scenario());
    const std::string tracePath = OpenTrace(1);
    Connect();
    InstallExplainProcedure();
    CCorvidDoc& doc = MakeDoc(false);
    ASSERT_TRUE(doc.Reload());
    EXPECT_TRUE(doc.GetServerFeatures().sqlAreaFigures);
    EXPECT_TRUE(doc.GetServerFeatures().sqlPlan);
    EXPECT_EQ(doc.GetServerFeatures().release, 19);
    EXPECT_NE(doc.BuildLoadStatement().find("s.sql_id"), std::string::npos);

    const CObjectEntry* dual = ByText(doc, "select * from dual");
    ASSERT_NE(dual, nullptr);
    EXPECT_TRUE(dual->m_HasServerFigures);
    EXPECT_EQ(dual->GetColumnText(kColSqlId), "a5ks9fhw2v9s1");
    EXPECT_EQ(dual->m_HashValue, 942515969.0);
    EXPECT_EQ(dual->GetColumnText(kColModule), "payroll");
    EXPECT_EQ(dual->GetColumnText(kColLastActive), "2024-03-11/11:58:30");
    EXPECT_EQ(dual->GetColumnText(kColVersions), "1");
    // Times: elapsed at least CPU, per execution in milliseconds with two decimals.
    EXPECT_GE(dual->m_ElapsedTime, dual->m_CpuTime);
    EXPECT_GT(dual->m_UserIoWaitTime, 0);
    char perExecution[32];
    std::snprintf(perExecution, sizeof perExecution, "%.2f", dual->m_ElapsedTime / 10 / 1000);
    EXPECT_EQ(dual->GetColumnText(kColElapsedPerExec), perExecution);
    char cpuSeconds[32];
    std::snprintf(cpuSeconds, sizeof cpuSeconds, "%.2f", dual->m_CpuTime / 1e6);
    EXPECT_EQ(dual->GetColumnText(kColCpuTime), cpuSeconds);

    const std::string trace = ReadFile(tracePath);
    EXPECT_NE(trace.find("Server release = [19]"), std::string::npos);
    EXPECT_NE(trace.find("Server figures (SQL ID, times) = [yes]"), std::string::npos);
    EXPECT_NE(trace.find("Server cursor cache plans = [yes]"), std::string::npos);

    EXPECT_EQ(FindStatementBySqlId(doc.GetCollection(), " A5KS9FHW2V9S1 "),
              FindStatementBySqlId(doc.GetCollection(), "a5ks9fhw2v9s1"));
    EXPECT_GE(FindStatementBySqlId(doc.GetCollection(), "a5ks9fhw2v9s1"), 0);
    EXPECT_EQ(FindStatementBySqlId(doc.GetCollection(), "0000000000000"), -1);
}

TEST_P(ServerFigures, AnOldReleaseLoadsAndExplainsAsBefore) {
    UseScenarioText(Scenario("release 8i\n"));
    Connect();
    InstallExplainProcedure();
    CCorvidDoc& doc = MakeDoc(true);
    ASSERT_TRUE(doc.Reload());
    EXPECT_FALSE(doc.GetServerFeatures().sqlAreaFigures);
    EXPECT_FALSE(doc.GetServerFeatures().sqlPlan);
    EXPECT_EQ(doc.GetServerFeatures().release, 8);
    EXPECT_EQ(doc.BuildLoadStatement().find("sql_id"), std::string::npos);
    const CObjectEntry* query = ByText(doc, "SELECT ename FROM emp WHERE empno = 7");
    ASSERT_NE(query, nullptr);
    EXPECT_FALSE(query->m_HasServerFigures);
    for (StatementColumn column = kColSqlId; column <= kColVersions; ++column)
        EXPECT_EQ(query->GetColumnText(column), "") << column;
    EXPECT_EQ(query->m_Status, kStatusAnalyzed) << query->ErrorMessage();
    EXPECT_EQ(query->m_PlanSource, kPlanFromExplain);
    EXPECT_NE(query->SqlPlan().view().find("INDEX UNIQUE SCAN EMP_PK"), std::string::npos) << query->SqlPlan();
    EXPECT_EQ(FindStatementBySqlId(doc.GetCollection(), "a5ks9fhw2v9s1"), -1);
}

std::set<std::string> TextsOf(const CCorvidDoc& doc) {
    std::set<std::string> texts;
    for (const CObjectEntry& entry : doc.GetCollection())
        texts.insert(entry.m_SqlText);
    return texts;
}

// The texts whose "Elapsed/E (ms)" cell, read back as hundredths, passes `keep`.
template <typename Keep>
std::set<std::string> TextsByElapsedCell(const CCorvidDoc& doc, Keep keep) {
    std::set<std::string> texts;
    for (const CObjectEntry& entry : doc.GetCollection()) {
        if (keep(std::llround(std::stod(entry.GetColumnText(kColElapsedPerExec)) * 100))) texts.insert(entry.m_SqlText);
    }
    return texts;
}

TEST_P(ServerFigures, ElapsedPerExecutionFilterMatchesTheListColumn) {
    UseScenarioText(Scenario());
    Connect();
    CCorvidDoc& all = MakeDoc(false);
    ASSERT_TRUE(all.Reload());
    ASSERT_EQ(all.GetCollection().GetSize(), 6);
    const std::string dual = "select * from dual";
    const std::string slowDept = "SELECT ename FROM emp WHERE deptno = 10";
    const std::string neverRun = "SELECT deptno FROM emp";
    const auto greater = TextsByElapsedCell(all, [](long long v) { return v > 100; });
    const auto less = TextsByElapsedCell(all, [](long long v) { return v < 100; });
    const long long dualValue = std::llround(std::stod(ByText(all, dual)->GetColumnText(kColElapsedPerExec)) * 100);
    // The scenario's two statements with many gets and reads take more than a
    // millisecond per execution; the one never executed counts as 0.
    EXPECT_EQ(greater, (std::set<std::string>{dual, slowDept}));
    EXPECT_EQ(less.count(neverRun), 1u);

    CCorvidDoc& doc = MakeDoc(false);
    doc.GetFilter().m_FiltElapsedC = kCompareGreater;
    doc.GetFilter().m_FiltElapsedV = 100;  // 1 ms
    ASSERT_TRUE(doc.Reload());
    EXPECT_NE(doc.BuildLoadStatement().find("elapsed_time"), std::string::npos);
    EXPECT_EQ(TextsOf(doc), greater);

    doc.GetFilter().m_FiltElapsedC = kCompareLess;
    ASSERT_TRUE(doc.Reload());
    EXPECT_EQ(TextsOf(doc), less);

    // Equal compares at the list's precision: the value the cell shows finds it.
    doc.GetFilter().m_FiltElapsedC = kCompareEqual;
    doc.GetFilter().m_FiltElapsedV = static_cast<std::int32_t>(dualValue);
    ASSERT_TRUE(doc.Reload());
    EXPECT_EQ(TextsOf(doc), (std::set<std::string>{dual}));
}

TEST_P(ServerFigures, AnOldReleaseIgnoresTheElapsedConditionAndSaysSo) {
    UseScenarioText(Scenario("release 8i\n"));
    const std::string tracePath = OpenTrace(1);
    Connect();
    CCorvidDoc& doc = MakeDoc(false);
    doc.GetFilter().m_FiltElapsedC = kCompareGreater;
    doc.GetFilter().m_FiltElapsedV = 100;
    doc.GetFilter().m_FiltExecsC = kCompareGreater;
    doc.GetFilter().m_FiltExecsV = 3;
    ASSERT_TRUE(doc.Reload());
    // The other conditions still apply.
    EXPECT_EQ(TextsOf(doc), (std::set<std::string>{"select * from dual", "SELECT ename FROM emp WHERE empno = 7",
                                                   "SELECT amount FROM salaries"}));
    EXPECT_EQ(doc.BuildLoadStatement().find("elapsed_time"), std::string::npos);
    EXPECT_NE(ReadFile(tracePath).find("the condition on elapsed time per execution is ignored"), std::string::npos);
}

TEST_P(ServerFigures, CursorCachePlansReadAsTheExplainWritesThem) {
    UseScenarioText(Scenario());
    Connect();
    InstallExplainProcedure();
    CCorvidDoc& explained = MakeDoc(true);
    explained.m_CursorCachePlans = 0;
    ASSERT_TRUE(explained.Reload());
    CObjectArray byExplain = explained.GetCollection();

    CCorvidDoc& cached = MakeDoc(true);
    ASSERT_TRUE(cached.Reload());
    int fromCache = 0;
    for (const std::string text : {"SELECT ename FROM emp WHERE empno = 7", "SELECT ename FROM emp WHERE deptno = 10"}) {
        SCOPED_TRACE(text);
        const CObjectEntry* before = nullptr;
        for (const CObjectEntry& entry : byExplain) {
            if (entry.m_SqlText == text) before = &entry;
        }
        const CObjectEntry* now = ByText(cached, text);
        ASSERT_NE(before, nullptr);
        ASSERT_NE(now, nullptr);
        EXPECT_EQ(before->m_PlanSource, kPlanFromExplain);
        EXPECT_EQ(now->m_PlanSource, kPlanFromCursorCache);
        EXPECT_EQ(now->m_Status, kStatusAnalyzed);
        // The same optimizer and schema: the same text, cost and full scans.
        EXPECT_EQ(now->SqlPlan(), before->SqlPlan());
        EXPECT_EQ(now->m_PlanCost, before->m_PlanCost);
        EXPECT_EQ(now->m_NoOfFullTableScans, before->m_NoOfFullTableScans);
        fromCache += now->m_PlanSource == kPlanFromCursorCache;
    }
    EXPECT_EQ(fromCache, 2);
    EXPECT_EQ(ByText(cached, "SELECT ename FROM emp WHERE deptno = 10")->m_NoOfFullTableScans, 1);
    // Never executed: no plan in the cache, so the explain gives it.
    const CObjectEntry* neverRun = ByText(cached, "SELECT deptno FROM emp");
    ASSERT_NE(neverRun, nullptr);
    EXPECT_EQ(neverRun->m_PlanSource, kPlanFromExplain);
    EXPECT_EQ(neverRun->m_Status, kStatusAnalyzed) << neverRun->ErrorMessage();
    EXPECT_FALSE(neverRun->SqlPlan().empty());
    // The cache knows the plan of a table the connected user may not read.
    const CObjectEntry* salaries = ByText(cached, "SELECT amount FROM salaries");
    ASSERT_NE(salaries, nullptr);
    EXPECT_EQ(salaries->m_PlanSource, kPlanFromCursorCache);
    EXPECT_NE(salaries->SqlPlan().view().find("TABLE ACCESS FULL SALARIES"), std::string::npos) << salaries->SqlPlan();
}

TEST_P(ServerFigures, CursorCachePlansFindTheirStatementsAcrossGapsAndThroughAFilter) {
    // Twenty statements without a plan (never executed) between plans that the
    // cursor cache has, and a filter that makes the plan query join the list's.
    std::string extra;
    for (int i = 1; i <= 20; ++i)
        extra += "statement user=SCOTT executions=0 text=\"SELECT ename FROM emp WHERE empno = " + std::to_string(100 + i) +
                 "\"\n";
    extra += "statement user=SCOTT executions=6 buffer-gets=700 text=\"SELECT empno FROM emp WHERE deptno = 20\"\n";
    extra += "statement user=SCOTT executions=1 text=\"SELECT ename, deptno FROM emp WHERE empno = 7900\"\n";
    UseScenarioText(Scenario() + extra);
    Connect();
    InstallExplainProcedure();
    CCorvidDoc& explained = MakeDoc(true);
    explained.m_CursorCachePlans = 0;
    ASSERT_TRUE(explained.Reload());
    const CObjectArray byExplain = explained.GetCollection();
    auto explainedPlan = [&byExplain](const std::string& text) {
        for (const CObjectEntry& entry : byExplain) {
            if (entry.m_SqlText == text) return entry.SqlPlan().str();
        }
        return std::string("(missing)");
    };
    const std::vector<std::string> executed = {"SELECT ename FROM emp WHERE empno = 7",
                                               "SELECT ename FROM emp WHERE deptno = 10",
                                               "SELECT empno FROM emp WHERE deptno = 20",
                                               "SELECT ename, deptno FROM emp WHERE empno = 7900"};
    for (const bool filtered : {false, true}) {
        SCOPED_TRACE(filtered ? "filtered" : "unfiltered");
        CCorvidDoc& cached = MakeDoc(true);
        if (filtered) {
            cached.GetFilter().m_FiltExecsC = kCompareGreater;
            cached.GetFilter().m_FiltExecsV = 0;
        }
        ASSERT_TRUE(cached.Reload());
        EXPECT_EQ(cached.BuildCursorPlanStatement().find("v_$sqlarea") != std::string::npos, filtered);
        for (const std::string& text : executed) {
            const CObjectEntry* entry = ByText(cached, text);
            ASSERT_NE(entry, nullptr) << text;
            EXPECT_EQ(entry->m_PlanSource, kPlanFromCursorCache) << text;
            EXPECT_EQ(entry->SqlPlan(), explainedPlan(text)) << text;
        }
        const CObjectEntry* gap = ByText(cached, "SELECT ename FROM emp WHERE empno = 112");
        if (filtered) {
            EXPECT_EQ(gap, nullptr);
        } else {
            ASSERT_NE(gap, nullptr);
            EXPECT_EQ(gap->m_PlanSource, kPlanFromExplain);
            EXPECT_EQ(gap->SqlPlan(), explainedPlan(gap->m_SqlText));
        }
    }
}

TEST_P(ServerFigures, ExplainOfAnotherSchemaResolvesItsNames) {
    UseScenarioText(Scenario());
    Connect();
    InstallExplainProcedure();
    CCorvidDoc& doc = MakeDoc(true);
    doc.m_CursorCachePlans = 0;
    ASSERT_TRUE(doc.Reload());
    // HR's JOBS, which SCOTT may read, is explained as HR's; SALARIES keeps its error.
    const CObjectEntry* jobs = ByText(doc, "SELECT title FROM jobs WHERE job_id = 1");
    ASSERT_NE(jobs, nullptr);
    EXPECT_EQ(jobs->m_Status, kStatusAnalyzed) << jobs->ErrorMessage();
    EXPECT_NE(jobs->SqlPlan().view().find("TABLE ACCESS FULL JOBS"), std::string::npos) << jobs->SqlPlan();
    EXPECT_GT(jobs->m_PlanCost, 0);
    const CObjectEntry* salaries = ByText(doc, "SELECT amount FROM salaries");
    ASSERT_NE(salaries, nullptr);
    EXPECT_EQ(salaries->m_Status, kStatusError);
    EXPECT_EQ(salaries->ErrorMessage(), "ORA-00942: table or view does not exist");
    // SCOTT's own statements still resolve in SCOTT afterwards, through the procedure.
    const CObjectEntry* own = ByText(doc, "SELECT ename FROM emp WHERE empno = 7");
    ASSERT_NE(own, nullptr);
    EXPECT_EQ(own->m_Status, kStatusAnalyzed) << own->ErrorMessage();
    // The session is SCOTT's again: an unqualified name is SCOTT's.
    ASSERT_TRUE(doc.Reload());
    EXPECT_EQ(ByText(doc, "SELECT ename FROM emp WHERE deptno = 10")->m_Status, kStatusAnalyzed);
    // Nothing is left in SCOTT's plan table.
    EXPECT_EQ(m_connection->CountRows("plan_table"), 0);
}

TEST_P(ServerFigures, EachExplainOfAnotherSchemaRunsUnderItsStatementsGoal) {
    // REGIONS has no statistics: CHOOSE explains it by the rules (no cost), ALL_ROWS
    // costs it. SCOTT's own statement between goes through the procedure, which
    // sets the session's goal to its own.
    UseScenarioText(
        "database DEMO\n"
        "clock 2024-03-11/12:00:00\n"
        "user SYS id=0 password=SYS privileges=sysdba,sysoper,dba plan-table\n"
        "user HR id=43 password=HR plan-table\n"
        "user SCOTT id=54 password=TIGER privileges=catalog,v-database,create-procedure plan-table\n"
        "table SCOTT.EMP columns=\"EMPNO NUMBER(4) NOT NULL, DEPTNO NUMBER(2)\" rows=5000 analyzed\n"
        "table HR.REGIONS columns=\"ID NUMBER, NAME VARCHAR2(30)\" rows=10\n"
        "grant HR.REGIONS to SCOTT\n"
        "statement user=HR optimizer=ALL_ROWS text=\"SELECT name FROM regions WHERE id = 1\"\n"
        "statement user=HR optimizer=ALL_ROWS text=\"SELECT name FROM regions WHERE id = 2\"\n"
        "statement user=SCOTT optimizer=CHOOSE text=\"SELECT deptno FROM emp\"\n"
        "statement user=HR optimizer=ALL_ROWS text=\"SELECT name FROM regions WHERE id = 3\"\n"
        "statement user=HR optimizer=CHOOSE text=\"SELECT name FROM regions WHERE id = 4\"\n"
        "statement user=HR optimizer=CHOOSE text=\"SELECT name FROM regions WHERE id = 5\"\n"
        "statement user=HR optimizer=ALL_ROWS text=\"SELECT name FROM regions WHERE id = 6\"\n");
    Connect();
    InstallExplainProcedure();
    CCorvidDoc& doc = MakeDoc(true);
    doc.m_CursorCachePlans = 0;
    ASSERT_TRUE(doc.Reload());
    for (int id = 1; id <= 6; ++id) {
        const CObjectEntry* e = ByText(doc, "SELECT name FROM regions WHERE id = " + std::to_string(id));
        ASSERT_NE(e, nullptr) << id;
        ASSERT_EQ(e->m_Status, kStatusAnalyzed) << id << ": " << e->ErrorMessage();
        if (e->m_OptimizerMode == "ALL_ROWS")
            EXPECT_GT(e->m_PlanCost, 0) << id << ": " << e->SqlPlan();
        else
            EXPECT_EQ(e->m_PlanCost, 0) << id << ": " << e->SqlPlan();
    }
    const CObjectEntry* own = ByText(doc, "SELECT deptno FROM emp");
    ASSERT_NE(own, nullptr);
    EXPECT_EQ(own->m_Status, kStatusAnalyzed) << own->ErrorMessage();
    // Explained twice over, on a reload that keeps no plans, the plans are the same.
    std::vector<std::string> plans;
    for (const CObjectEntry& e : doc.GetCollection())
        plans.push_back(e.SqlPlan());
    doc.m_ExplainAll = 1;
    ASSERT_TRUE(doc.Reload());
    std::vector<std::string> again;
    for (const CObjectEntry& e : doc.GetCollection())
        again.push_back(e.SqlPlan());
    EXPECT_EQ(again, plans);
    EXPECT_EQ(m_connection->CountRows("plan_table"), 0);
}

// An explain in another schema deletes the session's plan rows before it
// writes its own only when it does not know them gone: on its first explain, and
// after something else used the session. Rows left there would join the plan.
TEST_P(ServerFigures, ExplainOfAnotherSchemaNeverReadsRowsLeftInThePlanTable) {
    UseScenarioText(Scenario());
    Connect();
    InstallExplainProcedure();
    const std::string statementId = ReadSessionStatementId(*m_connection);
    auto leaveRows = [&] {
        COracleCursor cursor(*m_connection);
        cursor.Parse("INSERT INTO SCOTT.plan_table (statement_id, id, parent_id, operation) VALUES ('" + statementId +
                     "', 1, 0, 'LEFT BEHIND')");
        ASSERT_TRUE(cursor.Execute(1, COracleCursor::EOnError::Return)) << cursor.GetErrorText();
    };
    leaveRows();
    CSchemaExplain explain(*m_connection, "SCOTT", statementId);
    const std::string text = "SELECT title FROM jobs WHERE job_id = 1";
    const CExplainPlanCall::SResult first = explain.Explain("HR", text, "ALL_ROWS");
    ASSERT_TRUE(first.called && first.error.empty()) << first.error;
    EXPECT_EQ(first.plan.find("LEFT BEHIND"), std::string::npos) << first.plan;
    EXPECT_NE(first.plan.find("TABLE ACCESS FULL JOBS"), std::string::npos) << first.plan;
    EXPECT_EQ(explain.Explain("HR", text, "ALL_ROWS").plan, first.plan);
    leaveRows();
    explain.ForgetSessionState();
    EXPECT_EQ(explain.Explain("HR", text, "ALL_ROWS").plan, first.plan);
    // A failed explain deletes what it may have left too. (The session's schema is
    // still HR's here: SCOTT's plan table is named with its owner.)
    EXPECT_FALSE(explain.Explain("HR", "SELECT nothing FROM nowhere", "ALL_ROWS").error.empty());
    EXPECT_EQ(explain.Explain("HR", text, "ALL_ROWS").plan, first.plan);
    EXPECT_EQ(m_connection->CountRows("SCOTT.plan_table"), 0);
}

INSTANTIATE_TEST_SUITE_P(BothGenerations, ServerFigures, ::testing::Values(8, 7),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return info.param == 8 ? "OCI8" : "OCI7";
                         });

}  // namespace
}  // namespace corvid
