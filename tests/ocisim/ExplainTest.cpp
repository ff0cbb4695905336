// The explain procedure: created in SCOTT's schema, called with its five binds,
// returning the plan text or the server's message, leaving plan_table empty.

#include <cstring>
#include <string>
#include <vector>

#include "SuiteFixture.h"
#include "tests/ocisim_engine/ExplainProcedure.h"

namespace {

using ocisim::test::ExplainCall;
using ocisim::test::ExplainProcedureText;

std::vector<std::string> Lines(const std::string& plan) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = plan.find("\r\n", start);
        lines.push_back(plan.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) return lines;
        start = end + 2;
    }
}

class ExplainTest : public ClientTest {
protected:
    void SetUp() override {
        ClientTest::SetUp();
        client = Scott();
        ASSERT_TRUE(client->Parse(ExplainProcedureText()));
        ASSERT_EQ(client->Execute(), Outcome::Ok) << client->ErrorText();
        m_Id = "$CORVID$_" + client->QueryText("/* $CORVID$ */ SELECT USERENV('SESSIONID') FROM dual");
    }
    void TearDown() override {
        if (client->Parse("DROP PROCEDURE CorvidExplainPlan")) client->Execute();
    }

    // Calls the procedure; true when the call itself succeeded.
    bool Explain(const std::string& sql, const std::string& goal) {
        std::vector<char> id(m_Id.begin(), m_Id.end());
        id.push_back('\0');
        std::strncpy(m_Sql.data(), sql.c_str(), m_Sql.size() - 1);
        std::strncpy(m_Goal, goal.c_str(), sizeof m_Goal - 1);
        m_PlanIndicator = 0;
        m_ErrorIndicator = 0;
        std::strcpy(m_Plan.data(), "stale plan");
        std::strcpy(m_Error, "stale error");
        if (!client->Parse(ExplainCall())) return false;
        client->Bind(":i", id.data(), static_cast<int>(id.size()), SQLT_STR);
        client->Bind(":s", m_Sql.data(), static_cast<int>(m_Sql.size()), SQLT_STR);
        client->Bind(":g", m_Goal, sizeof m_Goal, SQLT_STR);
        client->Bind(":p", m_Plan.data(), static_cast<int>(m_Plan.size()), SQLT_STR, &m_PlanIndicator);
        client->Bind(":e", m_Error, sizeof m_Error, SQLT_STR, &m_ErrorIndicator);
        return client->Execute() == Outcome::Ok;
    }
    std::string Plan() const { return m_PlanIndicator == -1 ? std::string("<null>") : m_Plan.data(); }
    std::string Error() const { return m_ErrorIndicator == -1 ? std::string("<null>") : m_Error; }
    long PlanRowsLeft() {
        return client->QueryNumber("SELECT COUNT(1) FROM plan_table WHERE statement_id = '" + m_Id + "'");
    }

    std::string m_Id;
    std::vector<char> m_Sql = std::vector<char>(60000, '\0');
    char m_Goal[30] = {};
    std::vector<char> m_Plan = std::vector<char>(60000, '\0');
    char m_Error[512] = {};
    sb2 m_PlanIndicator = 0;
    sb2 m_ErrorIndicator = 0;
};

TEST_P(ExplainTest, ProcedureIsCreatedValid) {
    EXPECT_EQ(client->QueryNumber("SELECT COUNT(1) FROM user_objects WHERE object_type = 'PROCEDURE' AND "
                                  "object_name = 'CORVIDEXPLAINPLAN' AND status = 'VALID'"),
              1);
    EXPECT_NE(m_Id, "$CORVID$_");
}

TEST_P(ExplainTest, RuleBasedPlanHasNoCost) {
    ASSERT_TRUE(Explain("SELECT * FROM emp", "CHOOSE")) << client->ErrorText();
    EXPECT_EQ(Error(), "<null>");
    const std::vector<std::string> lines = Lines(Plan());
    ASSERT_EQ(lines.size(), 2u) << Plan();
    EXPECT_EQ(lines[0], "SELECT STATEMENT   Cost = ");
    EXPECT_EQ(lines[1], "    TABLE ACCESS FULL EMP ");
    EXPECT_EQ(PlanRowsLeft(), 0);
}

TEST_P(ExplainTest, CostBasedPlanShowsTheCostOnTheRootLine) {
    ASSERT_TRUE(Explain("SELECT ename FROM emp WHERE empno = 7839", "ALL_ROWS")) << client->ErrorText();
    const std::vector<std::string> lines = Lines(Plan());
    ASSERT_GE(lines.size(), 2u) << Plan();
    const std::string root = "SELECT STATEMENT   Cost = ";
    ASSERT_EQ(lines[0].substr(0, root.size()), root);
    EXPECT_GT(lines[0].size(), root.size()) << "a cost follows";
    EXPECT_EQ(lines[0].find_first_not_of("0123456789", root.size()), std::string::npos) << lines[0];
    for (std::size_t i = 1; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].substr(0, 4), "    ") << "children are indented by four blanks a level";
        EXPECT_EQ(lines[i].back(), ' ') << "every line below the root ends in the blank before the cost";
    }
    EXPECT_EQ(PlanRowsLeft(), 0);
}

TEST_P(ExplainTest, MissingTableReturnsTheServersMessage) {
    ASSERT_TRUE(Explain("SELECT * FROM no_such_table", "CHOOSE")) << client->ErrorText();
    EXPECT_EQ(Plan(), "<null>");
    EXPECT_EQ(Error(), "ORA-00942: table or view does not exist");
    EXPECT_EQ(PlanRowsLeft(), 0);
}

TEST_P(ExplainTest, BrokenProcedureIsCreatedInvalidWithAWarning) {
    ASSERT_TRUE(client->Parse("CREATE OR REPLACE PROCEDURE Broken IS BEGIN"));
    EXPECT_EQ(client->Execute(), Outcome::Info);
    if (GetParam().release8) {
        EXPECT_EQ(client->ErrorText(), "ORA-24344: success with compilation error");
    }
    EXPECT_EQ(client->QueryNumber("SELECT COUNT(1) FROM user_objects WHERE object_name = 'BROKEN' AND status = "
                                  "'INVALID'"),
              1);
    ASSERT_TRUE(client->Parse("DROP PROCEDURE Broken"));
    EXPECT_EQ(client->Execute(), Outcome::Ok) << client->ErrorText();
    ASSERT_TRUE(client->Parse("DROP PROCEDURE Broken"));
    EXPECT_EQ(client->Execute(), Outcome::Error);
    EXPECT_EQ(client->ErrorCode(), 4043);
}

INSTANTIATE_TEST_SUITE_P(Generations, ExplainTest, ::testing::ValuesIn(AllClients()), ClientName);

}  // namespace
