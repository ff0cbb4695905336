#include <gtest/gtest.h>

#include "app/LoadSummary.h"
#include "list/StatementColumn.h"

namespace corvid {
namespace {

CObjectEntry Statement(const std::string& plan, int status) {
    CObjectEntry entry;
    entry.SetSqlPlan(plan);
    entry.SetStatus(status);
    return entry;
}

TEST(LoadSummary, CountsListedAnalysedAndFailedStatementsAndTheTime) {
    CObjectArray pool;
    pool.Add(Statement("SELECT STATEMENT Cost=2", kStatusAnalyzed));
    pool.Add(Statement("UPDATE STATEMENT Cost=1", kStatusAnalyzed));
    pool.Add(Statement("", kStatusError));
    pool.Add(Statement("", kStatusNotAnalyzed));
    EXPECT_EQ(FormatLoadSummary(pool, true, true, 2345), "4 statements listed, 2 analysed, 1 error; loaded in 2.3 s");
    // Without analysis no statement has a plan, and saying "0 analysed" would mislead.
    EXPECT_EQ(FormatLoadSummary(pool, false, true, 40), "4 statements listed, analysis off; loaded in 0.0 s");
    EXPECT_EQ(FormatLoadSummary(CObjectArray(), true, true, 0),
              "0 statements listed, 0 analysed, 0 errors; loaded in 0.0 s");
}

TEST(LoadSummary, ACancelledLoadSaysTheListIsPartial) {
    CObjectArray pool;
    pool.Add(Statement("", kStatusAnalyzed));
    EXPECT_EQ(FormatLoadSummary(pool, false, false, 61000),
              "Load cancelled, partial view: 1 statement listed, analysis off; loaded in 61.0 s");
}

}  // namespace
}  // namespace corvid
