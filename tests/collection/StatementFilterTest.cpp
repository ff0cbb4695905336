#include <gtest/gtest.h>

#include <sstream>

#include "collection/ExplainProcedure.h"
#include "collection/StatementFilter.h"

namespace corvid {
namespace {

CUserArray MakeUsers(int count, int selectedCount) {
    CUserArray users;
    for (int i = 0; i < count; ++i)
        users.Add(CUserEntry(i * 2, "USER" + std::to_string(i), i < selectedCount));
    return users;
}

TEST(StatementFilter, ClauseOfTheWorkedExample) {
    CUserArray users;
    users.Add(CUserEntry(0, "SYS", 0));
    users.Add(CUserEntry(5, "SYSTEM", 1));
    users.Add(CUserEntry(21, "SCOTT", 1));
    CStatementFilter filter;
    filter.m_Others = 0;
    filter.m_Insert = filter.m_Update = filter.m_Delete = 0;
    filter.m_FiltExecsC = kCompareGreater;
    filter.m_FiltExecsV = 10;
    EXPECT_EQ(AppendFilterFragments("BASE", users, filter, false),
              "BASE AND  parsing_user_id IN (5,21) AND s.command_type IN (3) AND NVL(executions, 0) > :exs");
}

TEST(StatementFilter, CommandTypeFragments) {
    CStatementFilter filter;
    EXPECT_EQ(filter.CommandTypeFragment(), "");
    filter.m_Select = 0;
    EXPECT_EQ(filter.CommandTypeFragment(), "s.command_type NOT IN (3)");
    filter.m_Insert = filter.m_Delete = 0;
    EXPECT_EQ(filter.CommandTypeFragment(), "s.command_type NOT IN (2,3,7)");
    filter.m_Others = 0;
    EXPECT_EQ(filter.CommandTypeFragment(), "s.command_type IN (6)");
    filter.m_Update = 0;
    EXPECT_EQ(filter.CommandTypeFragment(), "s.command_type = -1");
    filter.m_Select = filter.m_Insert = filter.m_Update = filter.m_Delete = 1;
    EXPECT_EQ(filter.CommandTypeFragment(), "s.command_type IN (2,3,6,7)");
}

TEST(StatementFilter, EachConditionHasItsOwnExpressionAndPlaceholder) {
    struct Case {
        std::int32_t CStatementFilter::*choice;
        const char* expected;
    };
    const Case cases[] = {
        {&CStatementFilter::m_FiltLoadTimeC,
         "ROUND((SYSDATE - TO_DATE(first_load_time, 'YYYY-MM-DD/HH24:MI:SS')) * 24 * 60, 0) < :flt"},
        {&CStatementFilter::m_FiltBufDskC,
         "DECODE(executions, 0, 0, NULL, 0, ROUND((buffer_gets+disk_reads)/executions)) < :bds"},
        {&CStatementFilter::m_FiltBufGetC, "DECODE(executions, 0, 0, NULL, 0, ROUND(buffer_gets/executions)) < :bfg"},
        {&CStatementFilter::m_FiltDskRdsC, "DECODE(executions, 0, 0, NULL, 0, ROUND(disk_reads/executions)) < :dkr"},
        {&CStatementFilter::m_FiltSortsC, "DECODE(executions, 0, 0, NULL, 0, ROUND(sorts/executions)) < :srt"},
        {&CStatementFilter::m_FiltRowsC, "DECODE(executions, 0, 0, NULL, 0, ROUND(rows_processed/executions)) < :rws"},
        {&CStatementFilter::m_FiltExecsC, "NVL(executions, 0) < :exs"},
        {&CStatementFilter::m_FiltElapsedC,
         "DECODE(executions, 0, 0, NULL, 0, ROUND(NVL(elapsed_time, 0)/executions/10)) < :ela"},
    };
    for (const Case& c : cases) {
        CStatementFilter filter;
        filter.*c.choice = kCompareLess;
        EXPECT_EQ(filter.ConditionFragment(true), c.expected);
    }
    CStatementFilter filter;
    filter.m_FiltExecsC = kCompareEqual;
    filter.m_FiltSortsC = kCompareGreater;
    filter.m_FiltRowsC = 4;  // not a comparison: off
    filter.m_FiltLoadTimeC = -1;
    EXPECT_EQ(filter.ConditionFragment(true),
              "DECODE(executions, 0, 0, NULL, 0, ROUND(sorts/executions)) > :srt AND NVL(executions, 0) = :exs");
}

TEST(StatementFilter, ElapsedConditionOnlyWhereTheServerReportsTheTimes) {
    CStatementFilter filter;
    EXPECT_FALSE(filter.HasServerFigureCondition());
    filter.m_FiltElapsedC = 4;  // not a comparison: off
    EXPECT_FALSE(filter.HasServerFigureCondition());
    filter.m_FiltElapsedC = kCompareGreater;
    filter.m_FiltExecsC = kCompareGreater;
    EXPECT_TRUE(filter.HasServerFigureCondition());
    EXPECT_EQ(filter.ConditionFragment(true),
              "NVL(executions, 0) > :exs AND "
              "DECODE(executions, 0, 0, NULL, 0, ROUND(NVL(elapsed_time, 0)/executions/10)) > :ela");
    // A server before 10g has no elapsed_time: the condition is not sent.
    EXPECT_EQ(filter.ConditionFragment(false), "NVL(executions, 0) > :exs");
    CUserArray users;
    EXPECT_EQ(AppendFilterFragments("BASE", users, filter, false), "BASE AND NVL(executions, 0) > :exs");
}

TEST(StatementFilter, TextConditionsByMatchKind) {
    CStatementFilter filter;
    filter.m_FiltTextInclC = kMatchIgnoreCase;
    filter.m_FiltTextExclC = kMatchIgnoreCase;
    EXPECT_EQ(filter.ConditionFragment(true), "UPPER(sql_text) LIKE UPPER(:tin) AND UPPER(sql_text) NOT LIKE UPPER(:tex)");
    filter.m_FiltTextInclC = kMatchCase;
    filter.m_FiltTextExclC = kMatchCase;
    filter.m_FiltExecsC = kCompareGreater;
    EXPECT_EQ(filter.ConditionFragment(true),
              "NVL(executions, 0) > :exs AND sql_text LIKE :tin AND sql_text NOT LIKE :tex");
    filter.m_FiltTextInclC = 3;
    filter.m_FiltTextExclC = 0;
    EXPECT_EQ(filter.ConditionFragment(true), "NVL(executions, 0) > :exs");
}

TEST(StatementFilter, UserFragmentOnlyForAPartialSelection) {
    EXPECT_EQ(UserFragment(MakeUsers(0, 0)), "");
    EXPECT_EQ(UserFragment(MakeUsers(4, 4)), "");
    EXPECT_EQ(UserFragment(MakeUsers(4, 0)), "");
    EXPECT_EQ(UserFragment(MakeUsers(4, 1)), " parsing_user_id IN (0)");
    CUserArray users = MakeUsers(4, 4);
    users[1].SetSelected(0);
    EXPECT_EQ(UserFragment(users), " parsing_user_id IN (0,4,6)");
}

TEST(StatementFilter, LongUserSelectionsAreSplitAtAThousandIds) {
    // Exactly 1,000 ids still fit one list.
    std::string single = UserFragment(MakeUsers(1001, 1000));
    EXPECT_EQ(single.rfind(" parsing_user_id IN (0,2,", 0), 0u);
    EXPECT_EQ(single.find(" OR "), std::string::npos);

    std::string split = UserFragment(MakeUsers(2600, 2500));
    ASSERT_EQ(split.rfind(" (parsing_user_id IN (0,2,", 0), 0u);
    EXPECT_EQ(split.back(), ')');
    // Three lists of 1,000, 1,000 and 500 ids, every selected id exactly once.
    std::vector<int> sizes;
    std::size_t pos = 0;
    int ids = 0;
    while ((pos = split.find("parsing_user_id IN (", pos)) != std::string::npos) {
        pos += 20;
        std::size_t close = split.find(')', pos);
        std::stringstream list(split.substr(pos, close - pos));
        int count = 0;
        for (std::string id; std::getline(list, id, ',');) {
            EXPECT_EQ(std::stoi(id), ids * 2);
            ++ids;
            ++count;
        }
        sizes.push_back(count);
    }
    EXPECT_EQ(sizes, std::vector<int>({1000, 1000, 500}));
    EXPECT_NE(split.find("1998) OR parsing_user_id IN (2000,"), std::string::npos);
    EXPECT_EQ(split.substr(split.size() - 7), ",4998))");
}

TEST(StatementFilter, AppendFragmentJoinsWithAnd) {
    std::string query;
    AppendFragment(query, "");
    EXPECT_EQ(query, "");
    AppendFragment(query, "a = 1");
    EXPECT_EQ(query, "a = 1");
    AppendFragment(query, "");
    AppendFragment(query, "b = 2");
    EXPECT_EQ(query, "a = 1 AND b = 2");
}

TEST(ExplainProcedure, CreationTextLinesAndCall) {
    const std::string& text = ExplainProcedureCreationText();
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        lines.push_back(text.substr(start, end - start));
    }
    lines.push_back(text.substr(start));
    ASSERT_EQ(lines.size(), 56u);
    EXPECT_EQ(text.find('\r'), std::string::npos);
    EXPECT_EQ(lines[0].rfind("/* $CORVID$ */ CREATE OR REPLACE PROCEDURE CorvidExplainPlan(theStatementID IN", 0), 0u);
    EXPECT_EQ(lines[3], "\taReturn\tINTEGER := NULL;");
    EXPECT_EQ(lines[9], "\t\tCONNECT BY PRIOR \tid = parent_id AND statement_id = cStatementID;");
    EXPECT_EQ(lines[14], "");
    EXPECT_EQ(lines[25],
              "   dbms_sql.parse(aCursor, '/* $CORVID$ */ EXPLAIN PLAN SET statement_id = ''' || theStatementID || "
              "''' FOR ' || theSqlStatement, dbms_sql.native);");
    EXPECT_EQ(lines[45], "");
    EXPECT_EQ(lines[50], "         theException     := SQLERRM;");
    EXPECT_EQ(lines[55], "END;");
    EXPECT_STREQ(kExplainCallStatement, "/* $CORVID$ */ BEGIN CorvidExplainPlan(:i, :s, :g, :p, :e); END;");
    EXPECT_EQ(SessionStatementId("4711"), "$CORVID$_4711");
    EXPECT_EQ(SessionStatementId(""), "$CORVID$_");
}

}  // namespace
}  // namespace corvid
