// The explain procedure and EXPLAIN PLAN: creation and validity, the plan
// text, rule-based and cost-based plans, errors, and a clean plan table.

#include <gtest/gtest.h>

#include "ExplainProcedure.h"
#include "TestSupport.h"

using namespace ocisim;
using namespace ocisim::test;

namespace {

struct Explained {
    OraError callError;
    Value plan, exception;
};

class ExplainTest : public ::testing::Test {
protected:
    void SetUp() override {
        server = DemoServer();
        scott = Logon(*server, "SCOTT", "TIGER");
        ASSERT_TRUE(scott);
        Result created = RunSql(*scott, ExplainProcedureText());
        ASSERT_FALSE(created.error.IsError()) << created.error.message;
        ASSERT_FALSE(created.warning.IsError()) << created.warning.message;
    }
    void TearDown() override {
        if (scott) RunSql(*scott, "DROP PROCEDURE CorvidExplainPlan");
    }
    Explained Explain(Session& s, const std::string& sql, const std::string& goal) {
        std::vector<Bind> binds(5);
        const char* names[] = {"i", "s", "g", "p", "e"};
        for (int i = 0; i < 5; ++i) binds[i].name = names[i];
        binds[0].value = Value::Str("$CORVID$_" + std::to_string(s.SessionId()));
        binds[1].value = Value::Str(sql);
        binds[2].value = Value::Str(goal);
        ExecResult r = s.Execute(ExplainCall(), binds, false);
        Explained e;
        e.callError = r.error;
        e.plan = binds[3].value;
        e.exception = binds[4].value;
        EXPECT_TRUE(r.error.IsError() || (binds[3].assigned && binds[4].assigned));
        return e;
    }
    std::shared_ptr<Server> server;
    std::unique_ptr<Session> scott;
};

}  // namespace

TEST_F(ExplainTest, ProcedureIsValidInUserObjects) {
    Result r = RunSql(*scott, "SELECT COUNT(1) FROM user_objects WHERE object_type = :t AND object_name = :n AND status = 'VALID'",
                      {Bind{"t", Value::Str("PROCEDURE"), false}, Bind{"n", Value::Str("CORVIDEXPLAINPLAN"), false}});
    EXPECT_EQ(Texts(r), std::vector<std::string>{"1"});
}

TEST_F(ExplainTest, RuleBasedPlanHasNoCost) {
    // SCOTT's tables have no statistics: CHOOSE falls back to the rules.
    Explained e = Explain(*scott, "SELECT ename FROM emp WHERE deptno = 10", "CHOOSE");
    ASSERT_FALSE(e.callError.IsError()) << e.callError.message;
    EXPECT_TRUE(e.exception.IsNull()) << e.exception.text;
    EXPECT_EQ(e.plan.ToText(), "SELECT STATEMENT   Cost = \r\n    TABLE ACCESS FULL EMP ");
}

TEST_F(ExplainTest, IndexAccessAndCostUnderAllRows) {
    Explained e = Explain(*scott, "SELECT ename FROM emp WHERE empno = :b1", "ALL_ROWS");
    ASSERT_TRUE(e.exception.IsNull()) << e.exception.text;
    std::string plan = e.plan.ToText();
    EXPECT_EQ(plan.substr(0, 27), "SELECT STATEMENT   Cost = 2") << plan;
    EXPECT_NE(plan.find("\r\n    TABLE ACCESS BY INDEX ROWID EMP \r\n        INDEX UNIQUE SCAN PK_EMP "), std::string::npos)
        << plan;
}

TEST_F(ExplainTest, CostBasedJoinsOverAnalyzedTables) {
    Explained e = Explain(*scott,
                          "SELECT c.name, o.total_amount FROM customers c, orders o WHERE o.customer_id = c.customer_id "
                          "AND o.order_date > TO_DATE('2024-01-01', 'YYYY-MM-DD') ORDER BY 2",
                          "CHOOSE");
    ASSERT_TRUE(e.exception.IsNull()) << e.exception.text;
    std::string plan = e.plan.ToText();
    EXPECT_NE(plan.find("Cost = "), std::string::npos);
    EXPECT_NE(plan.find("SORT ORDER BY"), std::string::npos) << plan;
    EXPECT_NE(plan.find("HASH JOIN"), std::string::npos) << plan;
    EXPECT_GT(std::stoi(plan.substr(plan.find("Cost = ") + 7)), 10) << plan;
}

TEST_F(ExplainTest, DmlAndGroupingPlans) {
    Explained upd = Explain(*scott, "UPDATE orders SET status = 'PAID' WHERE order_id = 1000017", "ALL_ROWS");
    ASSERT_TRUE(upd.exception.IsNull()) << upd.exception.text;
    EXPECT_NE(upd.plan.ToText().find("\r\n    UPDATE  ORDERS \r\n        INDEX UNIQUE SCAN ORDERS_PK "), std::string::npos)
        << upd.plan.ToText();
    Explained grp = Explain(*scott, "SELECT deptno, COUNT(*) FROM emp GROUP BY deptno", "RULE");
    EXPECT_EQ(grp.plan.ToText(), "SELECT STATEMENT   Cost = \r\n    SORT GROUP BY  \r\n        TABLE ACCESS FULL EMP ");
}

TEST_F(ExplainTest, MissingTableGivesTheServerMessageAndLeavesNothing) {
    Explained e = Explain(*scott, "SELECT * FROM hr.employees", "CHOOSE");
    ASSERT_FALSE(e.callError.IsError());
    EXPECT_TRUE(e.plan.IsNull());
    EXPECT_EQ(e.exception.ToText(), "ORA-00942: table or view does not exist");
    Explained bad = Explain(*scott, "SELECT FROM WHERE", "CHOOSE");
    EXPECT_EQ(bad.exception.ToText(), "ORA-00936: missing expression");
    Explained good = Explain(*scott, "SELECT * FROM dept", "ALL_ROWS");
    EXPECT_TRUE(good.exception.IsNull());
    EXPECT_EQ(Texts(RunSql(*scott, "SELECT COUNT(*) FROM plan_table")), std::vector<std::string>{"0"});
}

TEST_F(ExplainTest, AStatementThatDoesNotBindIsRefusedWhateverItsPlanWouldBe) {
    const std::pair<const char*, const char*> cases[] = {
        {"SELECT nosuch FROM emp WHERE deptno = 10", "ORA-00904: \"NOSUCH\": invalid identifier"},
        {"SELECT ename, COUNT(*) FROM emp GROUP BY deptno", "ORA-00979: not a GROUP BY expression"},
        {"SELECT ename FROM emp WHERE deptno IN (SELECT deptno FROM nosuch)",
         "ORA-00942: table or view does not exist"},
        {"SELECT e.ename FROM emp e, dept d WHERE e.deptno = d.nosuch", "ORA-00904: \"D\".\"NOSUCH\": invalid identifier"},
        {"UPDATE emp SET nosuch = 1 WHERE empno = 7369", "ORA-00904: \"NOSUCH\": invalid identifier"},
        {"DELETE emp WHERE nosuch = 1", "ORA-00904: \"NOSUCH\": invalid identifier"},
    };
    for (const auto& [sql, message] : cases) {
        Explained e = Explain(*scott, sql, "ALL_ROWS");
        EXPECT_TRUE(e.plan.IsNull()) << sql;
        EXPECT_EQ(e.exception.ToText(), message) << sql;
    }
    Explained good = Explain(*scott, "SELECT ename FROM emp WHERE deptno IN (SELECT deptno FROM dept)", "RULE");
    EXPECT_TRUE(good.exception.IsNull()) << good.exception.text;
    EXPECT_NE(good.plan.ToText().find("TABLE ACCESS FULL EMP"), std::string::npos) << good.plan.ToText();
    EXPECT_EQ(Texts(RunSql(*scott, "SELECT COUNT(*) FROM plan_table")), std::vector<std::string>{"0"});
}

TEST_F(ExplainTest, GoalStaysInEffectAndEmptyGoalFails) {
    Explain(*scott, "SELECT * FROM dept", "FIRST_ROWS");
    Result r = RunSql(*scott, "SELECT optimizer_mode FROM v$sqlarea WHERE sql_text = 'SELECT 42 FROM dual'");
    RunSql(*scott, "SELECT 42 FROM dual");
    EXPECT_EQ(Texts(RunSql(*scott, "SELECT optimizer_mode FROM v$sqlarea WHERE sql_text = 'SELECT 42 FROM dual'")),
              std::vector<std::string>{"FIRST_ROWS"});
    Explained e = Explain(*scott, "SELECT * FROM dept", "");
    EXPECT_EQ(e.exception.ToText(), "ORA-00922: missing or invalid option");
}

TEST_F(ExplainTest, InvalidOrMissingProcedureFailsTheCall) {
    Result broken = RunSql(*scott, "CREATE OR REPLACE PROCEDURE CorvidExplainPlan(a IN VARCHAR2) IS BEGIN nosuch := 1; END;");
    ASSERT_FALSE(broken.error.IsError());
    EXPECT_EQ(broken.warning.code, 24344);
    EXPECT_EQ(Texts(RunSql(*scott, "SELECT status FROM user_objects WHERE object_name = 'CORVIDEXPLAINPLAN'")),
              std::vector<std::string>{"INVALID"});
    Explained e = Explain(*scott, "SELECT * FROM dept", "CHOOSE");
    EXPECT_EQ(e.callError.code, 6550);
    EXPECT_NE(e.callError.message.find("PLS-00905: object SCOTT.CORVIDEXPLAINPLAN is invalid"), std::string::npos)
        << e.callError.message;
    // A valid procedure with the wrong parameters is not the explain procedure either.
    RunSql(*scott, "CREATE OR REPLACE PROCEDURE CorvidExplainPlan(a IN VARCHAR2) IS BEGIN NULL; END;");
    Explained wrong = Explain(*scott, "SELECT * FROM dept", "CHOOSE");
    EXPECT_NE(wrong.callError.message.find("PLS-00306: wrong number or types of arguments in call to 'CORVIDEXPLAINPLAN'"),
              std::string::npos)
        << wrong.callError.message;
    RunSql(*scott, "DROP PROCEDURE CorvidExplainPlan");
    Explained gone = Explain(*scott, "SELECT * FROM dept", "CHOOSE");
    EXPECT_NE(gone.callError.message.find("PLS-00201: identifier 'CORVIDEXPLAINPLAN' must be declared"),
              std::string::npos)
        << gone.callError.message;
    EXPECT_EQ(RunSql(*scott, "DROP PROCEDURE CorvidExplainPlan").error.message,
              "ORA-04043: object CORVIDEXPLAINPLAN does not exist");
}

TEST_F(ExplainTest, UserWithoutPlanTable) {
    std::unique_ptr<Session> reporter = Logon(*server, "REPORTER", "REPORTER");
    ASSERT_TRUE(reporter);
    EXPECT_EQ(RunSql(*reporter, "SELECT COUNT(1) FROM plan_table").error.code, 942);
    // Its static cursor reads plan_table, so the procedure compiles with errors.
    Result created = RunSql(*reporter, ExplainProcedureText());
    EXPECT_EQ(created.warning.code, 24344);
    EXPECT_EQ(RunSql(*reporter, "EXPLAIN PLAN FOR SELECT * FROM customers").error.message,
              "ORA-02402: PLAN_TABLE not found");
}
