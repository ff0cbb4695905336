#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

#include "collection/ExplainPlanCall.h"
#include "collection/SimulatorFixture.h"
#include "list/StatementColumn.h"

namespace corvid {
namespace {

using testing::CSimulatorTest;

// A small database: SCOTT with two tables without statistics, and HR.
std::string BaseScenario(int wordSize = 64) {
    return "database DEMO\n"
           "word-size " +
           std::to_string(wordSize) +
           "\n"
           "user SYS id=0 password=SYS privileges=sysdba,sysoper,dba plan-table\n"
           "user HR id=43 password=HR privileges=catalog plan-table\n"
           "user SCOTT id=54 password=TIGER privileges=catalog,v-database,alter-system,create-procedure plan-table\n"
           "table SCOTT.EMP columns=\"EMPNO NUMBER(4) NOT NULL, ENAME VARCHAR2(10), SAL NUMBER(7,2), DEPTNO "
           "NUMBER(2)\"\n"
           "table SCOTT.DEPT columns=\"DEPTNO NUMBER(2) NOT NULL, DNAME VARCHAR2(14)\"\n";
}

std::string Quoted(const std::string& text) {
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') quoted += '\\';
        if (c == '\n') {
            quoted += "\\n";
            continue;
        }
        quoted += c;
    }
    return quoted + "\"";
}

std::string StatementLine(const std::string& text, const std::string& options = "user=SCOTT") {
    return "statement " + options + " text=" + Quoted(text) + "\n";
}

// n statements in server order; statement i runs i + 1 times.
std::string NumberedStatements(int n) {
    std::string lines;
    for (int i = 0; i < n; ++i) {
        lines += StatementLine("SELECT ename FROM emp WHERE empno = " + std::to_string(i),
                               "user=SCOTT executions=" + std::to_string(i + 1));
    }
    return lines;
}

std::vector<int> FetchSizes(const std::string& tracePath) {
    std::ifstream trace(tracePath, std::ios::binary);
    std::vector<int> sizes;
    int previousRow = -1;
    for (std::string line; std::getline(trace, line);) {
        if (line.rfind("anActualArraySize = ", 0) == 0) {
            const int size = std::atoi(line.c_str() + 20);
            std::getline(trace, line);
            const int row = std::atoi(line.c_str() + 7);  // "aRow = "
            if (row <= previousRow || sizes.empty()) sizes.push_back(size);
            previousRow = row;
        }
    }
    return sizes;
}

class ScenarioLoad : public CSimulatorTest {};

TEST_P(ScenarioLoad, StatementCountsFetchPatternAndServerOrder) {
    for (int n : {0, 1, 100, 250}) {
        SCOPED_TRACE(n);
        UseScenarioText(BaseScenario() + NumberedStatements(n), std::to_string(n));
        OpenTrace(15);
        Connect();
        CCorvidDoc& doc = MakeDoc(false);
        // The session's own statements without the marker (the server information
        // the logon trace reads) stay out.
        doc.GetFilter().m_FiltTextInclC = kMatchCase;
        doc.GetFilter().m_FiltTextInclV = "SELECT ename FROM emp%";
        m_runner.progress = {};
        ASSERT_TRUE(doc.Reload());
        const CObjectArray& pool = doc.GetCollection();
        ASSERT_EQ(pool.GetSize(), n);
        for (int i = 0; i < n; ++i) {
            EXPECT_EQ(pool[i].m_Executions, i + 1);
            EXPECT_EQ(pool[i].m_SqlText, "SELECT ename FROM emp WHERE empno = " + std::to_string(i));
            EXPECT_EQ(pool[i].m_UserName, "SCOTT");
        }
        const std::vector<int> sizes = FetchSizes(m_tracePath);
        const std::map<int, std::vector<int>> expected = {{0, {}}, {1, {1}}, {100, {100}}, {250, {100, 100, 50}}};
        EXPECT_EQ(sizes, expected.at(n));
        // n statement steps and n - 1 text steps of 3n: none for a single statement.
        const auto& progress = m_runner.progress;
        EXPECT_EQ(progress.CountStartingWith("Loading sql text ") - 1, n > 0 ? n - 1 : 0);
        EXPECT_EQ(progress.reports.back().percent, n == 0 ? 0 : (2 * n - 1) * 100 / (3 * n));
        std::ifstream trace(m_tracePath, std::ios::binary);
        std::stringstream text;
        text << trace.rdbuf();
        EXPECT_NE(text.str().find("CONTENTS OF THE COLLECTION OF SQL STATEMENTS:"), std::string::npos);
        EXPECT_NE(text.str().find("Dumping content of m_ObjectList with " + std::to_string(n) + " entries:"),
                  std::string::npos);
    }
}

TEST_P(ScenarioLoad, TextsJoinAcrossPiecesAndFetchBoundaries) {
    // 70 statements of 130 characters come as 210 pieces, so fetch boundaries fall
    // inside statements; some pieces end in blanks and some texts hold line breaks.
    std::vector<std::string> texts;
    std::string scenario = BaseScenario();
    for (int i = 0; i < 70; ++i) {
        std::string text = "SELECT ename, sal\nFROM emp\nWHERE empno = " + std::to_string(7000 + i) + " AND sal > 0";
        text.resize(62, ' ');
        text += "  AND deptno = 10";  // the first piece ends in two blanks
        text.resize(130, ' ');        // and the last ones in blanks
        texts.push_back(text);
        scenario += StatementLine(text);
    }
    UseScenarioText(scenario);
    Connect();
    CCorvidDoc& doc = MakeDoc(false);
    ASSERT_TRUE(doc.Reload());
    ASSERT_EQ(doc.GetCollection().GetSize(), 70);
    for (const CObjectEntry& entry : doc.GetCollection()) {
        EXPECT_EQ(entry.m_SqlText.size(), 130u);
        EXPECT_NE(std::find(texts.begin(), texts.end(), entry.m_SqlText), texts.end()) << "[" << entry.m_SqlText << "]";
    }
    EXPECT_EQ(m_runner.progress.CountStartingWith("Loading sql text ") - 1, 69);
}

TEST_P(ScenarioLoad, AddressesOfBothWordSizes) {
    for (int wordSize : {32, 64}) {
        UseScenarioText(BaseScenario(wordSize) + NumberedStatements(3), std::to_string(wordSize));
        Connect();
        CCorvidDoc& doc = MakeDoc(false);
        ASSERT_TRUE(doc.Reload());
        ASSERT_EQ(doc.GetCollection().GetSize(), 3);
        for (const CObjectEntry& entry : doc.GetCollection()) {
            EXPECT_EQ(entry.m_Address.size(), static_cast<std::size_t>(wordSize / 4)) << entry.m_Address;
            EXPECT_FALSE(entry.m_SqlText.empty());
        }
    }
}

TEST_P(ScenarioLoad, StatementsSharingAnAddressBothGetItsText) {
    // Texts move into their statements; a second statement at the same address
    // must still get the text rather than what is left of a moved one.
    UseScenarioText(BaseScenario() + StatementLine("SELECT dname FROM dept", "user=SCOTT address=6000A0B8") +
                    StatementLine("SELECT ename FROM emp WHERE deptno = 20 AND sal > 1000 ORDER BY ename, empno",
                                  "user=SCOTT address=6000C0D8") +
                    StatementLine("SELECT * FROM dept", "user=HR address=6000A0B8"));
    Connect();
    CCorvidDoc& doc = MakeDoc(false);
    ASSERT_TRUE(doc.Reload());
    ASSERT_EQ(doc.GetCollection().GetSize(), 3);
    std::map<std::string, std::vector<std::string>> byAddress;
    for (const CObjectEntry& entry : doc.GetCollection())
        byAddress[entry.m_Address].push_back(entry.m_SqlText);
    ASSERT_EQ(byAddress.size(), 2u);
    for (const auto& [address, texts] : byAddress) {
        for (const std::string& text : texts) {
            EXPECT_FALSE(text.empty()) << address;
            EXPECT_EQ(text, texts.front()) << address;
        }
    }
}

TEST_P(ScenarioLoad, StatementGoneBeforeItsTextIsRead) {
    // Every query on the pool lets three statements age out first.
    UseScenarioText(BaseScenario() + NumberedStatements(40) + "workload removed=3\n");
    Connect();
    CCorvidDoc& doc = MakeDoc(false);
    ASSERT_TRUE(doc.Reload());
    int withoutText = 0;
    for (const CObjectEntry& entry : doc.GetCollection()) {
        if (entry.m_SqlText.empty()) {
            ++withoutText;
        } else {
            EXPECT_EQ(entry.m_SqlText, "SELECT ename FROM emp WHERE empno = " +
                                           std::to_string(static_cast<int>(entry.m_Executions) - 1));
        }
    }
    EXPECT_GT(withoutText, 0);
    EXPECT_LT(doc.GetCollection().GetSize(), 40);
}

TEST_P(ScenarioLoad, AnalysisStatusesGoalsCostsAndScans) {
    std::string tooLong = "SELECT ename FROM emp WHERE ename IN ('X'";
    while (tooLong.size() < 60000)
        tooLong += ", 'X'";
    tooLong += ")";
    const std::string scenario =
        BaseScenario() +
        StatementLine("SELECT ename FROM emp WHERE sal > 1000", "user=SCOTT optimizer=ALL_ROWS executions=1") +
        StatementLine("SELECT ename FROM emp WHERE sal > 2000", "user=SCOTT optimizer=RULE executions=2") +
        StatementLine("SELECT e.ename, d.dname FROM emp e, dept d WHERE e.deptno = d.deptno",
                      "user=SCOTT optimizer=FIRST_ROWS executions=3") +
        StatementLine("SELECT * FROM bonus", "user=SCOTT executions=4") +
        StatementLine("UPDATE emp SET sal = sal * 1.1 WHERE empno = 7369", "user=SCOTT command=6 executions=5") +
        StatementLine("CREATE TABLE t (x NUMBER)", "user=SCOTT command=1 executions=6") +
        StatementLine("BEGIN NULL; END;", "user=SCOTT command=47 executions=7") +
        StatementLine(tooLong, "user=SCOTT executions=8");
    UseScenarioText(scenario);
    OpenTrace(15);
    Connect();
    InstallExplainProcedure();
    CCorvidDoc& doc = MakeDoc(true);
    doc.m_CursorCachePlans = 0;  // every statement through the explain procedure
    ASSERT_TRUE(doc.Reload());
    // The session's own statements without the marker are in the pool too; the
    // scenario's are known by their users and run counts.
    std::map<int, const CObjectEntry*> byExecutions;
    for (const CObjectEntry& entry : doc.GetCollection()) {
        if (entry.m_UserName == "SCOTT" && entry.m_SqlText.find("user_objects") == std::string::npos &&
            entry.m_SqlText.find("v$") == std::string::npos && entry.m_SqlText.find("DROP") == std::string::npos) {
            byExecutions[static_cast<int>(entry.m_Executions)] = &entry;
        }
    }
    ASSERT_EQ(byExecutions.size(), 8u);

    const CObjectEntry& allRows = *byExecutions[1];
    EXPECT_EQ(allRows.m_Status, kStatusAnalyzed) << allRows.ErrorMessage();
    EXPECT_GT(allRows.m_PlanCost, 0) << allRows.SqlPlan();
    EXPECT_EQ(allRows.m_NoOfFullTableScans, 1) << allRows.SqlPlan();

    // Explained under CHOOSE on tables without statistics: a rule-based plan without cost.
    const CObjectEntry& rule = *byExecutions[2];
    EXPECT_EQ(rule.m_Status, kStatusAnalyzed) << rule.ErrorMessage();
    EXPECT_EQ(rule.m_PlanCost, 0);
    EXPECT_NE(rule.SqlPlan().view().find("Cost = \r\n"), std::string::npos) << rule.SqlPlan();

    const CObjectEntry& join = *byExecutions[3];
    EXPECT_EQ(join.m_Status, kStatusAnalyzed) << join.ErrorMessage();
    EXPECT_EQ(join.m_NoOfFullTableScans, 2) << join.SqlPlan();
    EXPECT_EQ(join.m_PlanCost, ParsePlanCost(join.SqlPlan()));

    const CObjectEntry& missing = *byExecutions[4];
    EXPECT_EQ(missing.m_Status, kStatusError);
    EXPECT_EQ(missing.ErrorMessage(), "ORA-00942: table or view does not exist");
    EXPECT_TRUE(missing.SqlPlan().empty());

    EXPECT_EQ(byExecutions[5]->m_Status, kStatusAnalyzed) << byExecutions[5]->ErrorMessage();  // after the error
    EXPECT_EQ(byExecutions[6]->m_Status, kStatusNotAnalyzed);
    EXPECT_EQ(byExecutions[7]->m_Status, kStatusNotAnalyzed);
    EXPECT_TRUE(byExecutions[7]->SqlPlan().empty());

    const CObjectEntry& longOne = *byExecutions[8];
    EXPECT_EQ(longOne.m_SqlText, tooLong);
    EXPECT_EQ(longOne.m_Status, kStatusError);
    EXPECT_EQ(longOne.ErrorMessage(), "Statement too long to be analyzed");

    std::ifstream trace(m_tracePath, std::ios::binary);
    std::stringstream log;
    log << trace.rdbuf();
    EXPECT_NE(log.str().find("ANALYZING SQL STATEMENTS\r\n========================\r\n"), std::string::npos);
    EXPECT_NE(log.str().find("Opt    = [ALL_ROWS]\r\n"), std::string::npos);
    EXPECT_NE(log.str().find("Error  = [ORA-00942: table or view does not exist]\r\n"), std::string::npos);
}

TEST_P(ScenarioLoad, ManyUsersAndLongNames) {
    // 1,200 users, each parsing one statement; a user name of 40 characters.
    std::string scenario = BaseScenario();
    const std::string longName = "A_USER_WITH_A_NAME_OF_FORTY_CHARACTERS_X";
    scenario += "user " + longName + " id=99 password=X\n";
    for (int i = 0; i < 1200; ++i)
        scenario += "user U" + std::to_string(i) + " id=" + std::to_string(1000 + i) + " password=X\n";
    for (int i = 0; i < 1200; ++i) {
        scenario += StatementLine("SELECT " + std::to_string(i) + " FROM dual", "user=U" + std::to_string(i));
    }
    scenario += StatementLine("SELECT 'long' FROM dual", "user=" + longName);
    UseScenarioText(scenario);
    Connect();
    CCorvidDoc& doc = MakeDoc(false);
    CUserArray& users = doc.GetUserList();
    ASSERT_EQ(users.GetSize(), 1204);
    for (CUserArray::Index i = 1; i < users.GetSize(); ++i)
        EXPECT_LT(users[i - 1].GetUserId(), users[i].GetUserId());
    EXPECT_EQ(users[3].GetUserName(), longName);

    // All but every tenth of the numbered users: 1,080 ids, more than one IN list holds.
    for (CUserEntry& user : users) {
        const int id = user.GetUserId();
        user.SetSelected(id >= 1000 && (id - 1000) % 10 != 0 ? 1 : 0);
    }
    ASSERT_TRUE(doc.Reload());
    EXPECT_EQ(doc.GetCollection().GetSize(), 1080);
    for (const CObjectEntry& entry : doc.GetCollection()) {
        EXPECT_NE((entry.m_ParsingUserId - 1000) % 10, 0);
        EXPECT_EQ(entry.m_UserName, "U" + std::to_string(entry.m_ParsingUserId - 1000));
    }
    for (CUserEntry& user : users)
        user.SetSelected(1);
    ASSERT_TRUE(doc.Reload());
    EXPECT_EQ(doc.GetCollection().GetSize(), 1201);
    const auto longOnes = std::count_if(doc.GetCollection().begin(), doc.GetCollection().end(),
                                        [&](const CObjectEntry& e) { return e.m_UserName == longName; });
    EXPECT_EQ(longOnes, 1);
}

INSTANTIATE_TEST_SUITE_P(BothGenerations, ScenarioLoad, ::testing::Values(8, 7),
                         [](const ::testing::TestParamInfo<int>& info) { return "OCI" + std::to_string(info.param); });

}  // namespace
}  // namespace corvid
