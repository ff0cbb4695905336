#include <gtest/gtest.h>

#include "collection/ExplainPlanCall.h"

namespace corvid {
namespace {

TEST(PlanText, CostOfTheRootLine) {
    EXPECT_EQ(ParsePlanCost("SELECT STATEMENT   Cost = 3\r\n    TABLE ACCESS FULL EMP "), 3);
    EXPECT_EQ(ParsePlanCost("SELECT STATEMENT   cost =    42\r\n"), 42);
    EXPECT_EQ(ParsePlanCost("SELECT STATEMENT   Cost = -7"), -7);
    EXPECT_EQ(ParsePlanCost("SELECT STATEMENT   Cost = +8x"), 8);
    // A rule-based plan: nothing after the label, not even the next line's figures.
    EXPECT_EQ(ParsePlanCost("SELECT STATEMENT   Cost = \r\n    TABLE ACCESS FULL EMP "), 0);
    EXPECT_EQ(ParsePlanCost("SELECT STATEMENT   Cost = "), 0);
    EXPECT_EQ(ParsePlanCost("SELECT STATEMENT   Cost=5"), 0);
    EXPECT_EQ(ParsePlanCost(""), 0);
    // The first label counts; a cost too large for 32 bits stops at the largest.
    EXPECT_EQ(ParsePlanCost("Cost = 12 Cost = 13"), 12);
    EXPECT_EQ(ParsePlanCost("Cost = 99999999999999999999"), 2147483647);
}

TEST(PlanText, FullTableScans) {
    EXPECT_EQ(CountFullTableScans(""), 0);
    EXPECT_EQ(CountFullTableScans("SELECT STATEMENT   Cost = 9\r\n    HASH JOIN  \r\n        TABLE ACCESS FULL EMP "
                                  "\r\n        table access full DEPT "),
              2);
    EXPECT_EQ(CountFullTableScans("    TABLE ACCESS BY INDEX ROWID EMP \r\n        INDEX UNIQUE SCAN PK_EMP "), 0);
}

TEST(PlanText, OptimizerGoal) {
    EXPECT_EQ(OptimizerGoalFor("ALL_ROWS"), "ALL_ROWS");
    EXPECT_EQ(OptimizerGoalFor("FIRST_ROWS"), "FIRST_ROWS");
    EXPECT_EQ(OptimizerGoalFor("all_rows"), "CHOOSE");
    EXPECT_EQ(OptimizerGoalFor("RULE"), "CHOOSE");
    EXPECT_EQ(OptimizerGoalFor("FIRST_ROWS_10"), "CHOOSE");
    EXPECT_EQ(OptimizerGoalFor(""), "CHOOSE");
}

}  // namespace
}  // namespace corvid
