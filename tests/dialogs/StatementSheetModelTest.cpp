#include "dialogs/StatementSheetModel.h"

#include <gtest/gtest.h>

#include "list/StatementColumn.h"
#include "platform/RecordingPrompter.h"
#include "platform/Services.h"
#include "platform/StringTable.h"
#include "sqltext/SqlStatementParser.h"

namespace corvid {
namespace {

CObjectEntry Statement() {
    CObjectEntry e(12.5, 3.25, 100, 2000, 4, 10, 11, 50, 1024, 512, 256, 1, 3, "RULE", 5, 5, "SCOTT", "0A1B2C3D",
                   "select * from emp", "2024-01-02/03:04:05");
    e.SetSqlPlan("SELECT STATEMENT   Cost = 3\r\n    TABLE ACCESS FULL EMP ");
    e.SetDistance(17);
    return e;
}

TEST(StatementSheetModelTest, ParameterRowsAreTheTwentyFiveColumnsInTheirOrderWithLongTitles) {
    const CObjectEntry e = Statement();
    const auto rows = ParameterRows(e);
    ASSERT_EQ(rows.size(), 25u);
    const std::vector<StatementColumn> order = {22, 9, 1, 4, 26, 27, 3, 6, 8, 12, 25, 18, 10,
                                                2,  5, 7, 11, 13, 14, 15, 19, 23, 29, 24, 28};
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].column, order[i]) << i;
        EXPECT_EQ(rows[i].value, e.GetColumnText(order[i])) << i;
    }
    EXPECT_EQ(rows[0].title, "Username");
    EXPECT_EQ(rows[0].value, "SCOTT");
    EXPECT_EQ(rows[2].title, "%  of total Disk Reads");
    EXPECT_EQ(rows[11].title, "Command type");
    EXPECT_EQ(rows[22].title, "Distance");
    EXPECT_EQ(rows[22].value, "17");
    EXPECT_EQ(rows[24].title, "Status");
}

TEST(StatementSheetModelTest, FiguresOfTodaysServersFollowWhenTheServerGaveThem) {
    CObjectEntry e = Statement();
    e.m_HasServerFigures = true;
    e.m_SqlId = "a5ks9fhw2v9s1";
    e.m_ElapsedTime = 25000;
    const auto rows = ParameterRows(e);
    ASSERT_EQ(rows.size(), 35u);
    EXPECT_EQ(rows[25].title, "SQL ID");
    EXPECT_EQ(rows[25].value, "a5ks9fhw2v9s1");
    EXPECT_EQ(rows[29].title, "Elapsed time / Execution (ms)");
    EXPECT_EQ(rows[29].value, "2.50");
    EXPECT_EQ(rows[34].title, "# of child cursors");
}

TEST(StatementSheetModelTest, ThePlanPageNamesWhereThePlanCameFrom) {
    CObjectEntry e = Statement();
    EXPECT_NE(SStatementSheetData::FromStatement(e).planSource.find("EXPLAIN PLAN"), std::string::npos);
    e.m_PlanSource = kPlanFromCursorCache;
    EXPECT_NE(SStatementSheetData::FromStatement(e).planSource.find("cursor cache"), std::string::npos);
    e.SetSqlPlan("");
    EXPECT_EQ(SStatementSheetData::FromStatement(e).planSource, "");
}

TEST(StatementSheetModelTest, AMissingTitleShowsItsStringId) {
    CMapStringTable table({{228, "Username"}});
    SetStringTable(&table);
    const auto rows = ParameterRows(Statement());
    SetStringTable(nullptr);
    EXPECT_EQ(rows[0].title, "Username");
    EXPECT_EQ(rows[1].title, "STR # 231");
}

TEST(StatementSheetModelTest, GoalSelectsTheFirstSortedItemItBegins) {
    EXPECT_EQ(OptimizerGoals(), (std::vector<std::string>{"ALL_ROWS", "CHOOSE", "FIRST_ROWS"}));
    EXPECT_EQ(OptimizerGoalIndex("CHOOSE"), 1);
    EXPECT_EQ(OptimizerGoalIndex("first_rows"), 2);
    EXPECT_EQ(OptimizerGoalIndex("ALL"), 0);
    EXPECT_EQ(OptimizerGoalIndex("RULE"), -1);
    EXPECT_EQ(OptimizerGoalIndex("FIRST_ROWS_10"), -1);
    EXPECT_EQ(OptimizerGoalIndex(""), -1);
}

TEST(StatementSheetModelTest, SheetDataRendersTheTextColouredAndThePlanPlain) {
    const SStatementSheetData data = SStatementSheetData::FromStatement(Statement());
    std::string sql = "select * from emp";
    CSqlStatementParser().HighlightToRtf(sql);
    EXPECT_EQ(data.sqlRtf, sql);
    EXPECT_NE(data.planRtf.find("SELECT STATEMENT   Cost = 3\\line     TABLE ACCESS FULL EMP "), std::string::npos);
    EXPECT_EQ(data.planRtf.find("\\cf"), std::string::npos);
    EXPECT_EQ(data.test.m_SqlText, "select * from emp");
    EXPECT_EQ(data.test.m_ReloadText, "select * from emp");
    // RULE is no goal of the list: the page opens on CHOOSE, the goal the load explained it with.
    EXPECT_EQ(data.test.m_Goal, "CHOOSE");
    EXPECT_EQ(data.statement.m_Distance, 17);
}

TEST(StatementSheetModelTest, TheTestPageOpensOnAGoalItsListOffers) {
    for (const auto& [mode, goal] : std::vector<std::pair<std::string, std::string>>{
             {"ALL_ROWS", "ALL_ROWS"}, {"FIRST_ROWS", "FIRST_ROWS"}, {"CHOOSE", "CHOOSE"}, {"RULE", "CHOOSE"},
             {"", "CHOOSE"}, {"MULTIPLE CHILDREN PRESENT", "CHOOSE"}}) {
        CObjectEntry statement = Statement();
        statement.m_OptimizerMode = mode;
        const std::string opened = SStatementSheetData::FromStatement(statement).test.m_Goal;
        EXPECT_EQ(opened, goal) << mode;
        EXPECT_GE(OptimizerGoalIndex(opened), 0) << mode;
    }
}

TEST(StatementSheetModelTest, ThePlanPageOfAStatementWithoutPlanShowsItsStatusAndError) {
    CObjectEntry failed = Statement();
    failed.SetSqlPlan("");
    failed.SetStatus(kStatusError);
    failed.SetErrorMessage("ORA-00942: table or view does not exist");
    EXPECT_EQ(PlanPageText(failed),
              "Status: error. The statement could not be analyzed.\r\n\r\nORA-00942: table or view does not exist");
    const SStatementSheetData data = SStatementSheetData::FromStatement(failed);
    EXPECT_NE(data.planRtf.find("ORA-00942: table or view does not exist"), std::string::npos);
    EXPECT_EQ(data.test.m_Plan, "");  // the test page still starts without a plan

    CObjectEntry other = Statement();
    other.SetSqlPlan("");
    other.SetStatus(kStatusNotAnalyzed);
    EXPECT_EQ(PlanPageText(other).rfind("Status: not analyzed.", 0), 0u);
    // A plan, when there is one, is shown as it is.
    EXPECT_EQ(PlanPageText(Statement()), Statement().SqlPlan());
}

class SqlTestModelTest : public ::testing::Test {
protected:
    void SetUp() override { SetPrompter(&m_prompter); }
    void TearDown() override { SetPrompter(nullptr); }

    ExplainCall Fake(SExplainOutcome outcome) {
        return [this, outcome](const std::string& sql, const std::string& goal) {
            m_calls.emplace_back(sql, goal);
            return outcome;
        };
    }

    CRecordingPrompter m_prompter;
    std::vector<std::pair<std::string, std::string>> m_calls;
};

TEST_F(SqlTestModelTest, ExecuteShowsThePlanOfTheEditedText) {
    CSqlTestModel model = SStatementSheetData::FromStatement(Statement()).test;
    model.m_SqlText = "select ename from emp";
    model.m_Goal = "CHOOSE";
    model.Execute(Fake({true, "PLAN", ""}));
    ASSERT_EQ(m_calls.size(), 1u);
    EXPECT_EQ(m_calls[0], (std::pair<std::string, std::string>("select ename from emp", "CHOOSE")));
    EXPECT_EQ(model.m_Plan, "PLAN");
    EXPECT_TRUE(m_prompter.Prompts().empty());

    model.Reload(Fake({true, "OWN PLAN", ""}));
    EXPECT_EQ(m_calls[1].first, "select * from emp");
    EXPECT_EQ(model.m_SqlText, "select * from emp");
    EXPECT_EQ(model.m_Plan, "OWN PLAN");
}

TEST_F(SqlTestModelTest, AnErrorTextShowsTheParseErrorAndEmptiesThePlan) {
    CSqlTestModel model = SStatementSheetData::FromStatement(Statement()).test;
    model.Execute(Fake({true, "ignored", "ORA-00942: table or view does not exist"}));
    EXPECT_EQ(model.m_Plan, "");
    EXPECT_EQ(m_prompter.Messages(), std::vector<std::string>{"A parse error has occurred!\nThe statement was not "
                                                              "analyzed.\nORA-00942: table or view does not exist"});
}

TEST_F(SqlTestModelTest, AFailedCallEmptiesThePlanWithoutAMessage) {
    CSqlTestModel model = SStatementSheetData::FromStatement(Statement()).test;
    model.Execute(Fake({false, "", ""}));
    EXPECT_EQ(model.m_Plan, "");
    EXPECT_TRUE(m_prompter.Prompts().empty());
}

TEST_F(SqlTestModelTest, ACallNotMadeChangesNothing) {
    CSqlTestModel model = SStatementSheetData::FromStatement(Statement()).test;
    SExplainOutcome skipped;
    skipped.skipped = true;
    model.Execute(Fake(skipped));
    EXPECT_EQ(model.m_Plan, Statement().SqlPlan());
    EXPECT_TRUE(m_prompter.Prompts().empty());
}

TEST_F(SqlTestModelTest, ATextTooLongForTheCallIsRefusedAndNothingChanges) {
    CSqlTestModel model = SStatementSheetData::FromStatement(Statement()).test;
    model.m_SqlText.assign(60000, 'x');
    model.Execute(Fake({true, "PLAN", ""}));
    EXPECT_TRUE(m_calls.empty());
    EXPECT_EQ(model.m_Plan, Statement().SqlPlan());
    EXPECT_EQ(m_prompter.Messages().size(), 1u);
    model.m_SqlText.assign(59999, 'x');
    model.Execute(Fake({true, "PLAN", ""}));
    EXPECT_EQ(m_calls.size(), 1u);
}

}  // namespace
}  // namespace corvid
