#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "work/Progress.h"
#include "sqltext/EditDistance.h"
#include "collection/FindSimilarStatements.h"
#include "sqltext/SqlTextCase.h"

namespace corvid {
namespace {

struct RecordingProgress : IProgress {
    void SetProgress(int percent, const std::string& text) override {
        percents.push_back(percent);
        texts.push_back(text);
    }
    bool IsCancelled() override {
        ++cancelPolls;
        return true;  // a search that polled would stop early and fail the tests
    }
    std::vector<int> percents;
    std::vector<std::string> texts;
    int cancelPolls = 0;
};

CObjectEntry Statement(int commandType, const std::string& sql, const std::string& user = "SCOTT") {
    CObjectEntry e;
    e.m_CommandType = commandType;
    e.m_SqlText = sql;
    e.m_UserName = user;
    e.m_Address = "0000ABCD";
    e.m_Executions = 17;
    e.m_Distance = 12345;
    return e;
}

SimilarityRun MakeRun(const CObjectArray& collection, CObjectArray::Index chosen, bool caseSensitive = false,
                      bool allTypes = false) {
    SimilarityRun run;
    run.m_Collection = &collection;
    run.m_Chosen = collection[chosen];
    run.m_ChosenPosition = chosen;
    run.m_Options.m_CaseSensitive = caseSensitive;
    run.m_Options.m_AllCommandTypes = allTypes;
    return run;
}

CObjectArray SmallCollection() {
    CObjectArray c;
    c.Add(Statement(3, "select * from t where id = 1", "A"));
    c.Add(Statement(2, "insert into t values (1)", "B"));
    c.Add(Statement(3, "SELECT * FROM T WHERE ID = 2", "C"));
    c.Add(Statement(6, "update t set x = 1", "D"));
    c.Add(Statement(3, "", "E"));
    c.Add(Statement(3, "select * from t where id = 1", "F"));
    return c;
}

TEST(FindSimilarStatements, ComparesOnlyTheChosenCommandTypeInCollectionOrder) {
    const CObjectArray c = SmallCollection();
    SimilarityRun run = MakeRun(c, 2);
    EXPECT_EQ(FindSimilarStatements(run, nullptr), 0);
    ASSERT_EQ(run.m_Result.GetSize(), 4);
    EXPECT_EQ(run.m_ResultPositions, (std::vector<CObjectArray::Index>{0, 2, 4, 5}));
    EXPECT_EQ(run.m_Result[0].m_Distance, 1);
    EXPECT_EQ(run.m_Result[1].m_Distance, 0);
    EXPECT_EQ(run.m_Result[2].m_Distance, 28);  // the empty text: the other's length
    EXPECT_EQ(run.m_Result[3].m_Distance, 1);
    // Apart from the distance the copies are the collection's entries.
    CObjectEntry expected = c[4];
    expected.m_Distance = 28;
    EXPECT_EQ(run.m_Result[2].DumpText(), expected.DumpText());
}

TEST(FindSimilarStatements, CaseSensitivityAndAllTypes) {
    const CObjectArray c = SmallCollection();
    SimilarityRun run = MakeRun(c, 0, true, true);
    FindSimilarStatements(run, nullptr);
    ASSERT_EQ(run.m_Result.GetSize(), c.GetSize());
    for (CObjectArray::Index i = 0; i < c.GetSize(); ++i) {
        EXPECT_EQ(run.m_ResultPositions[static_cast<std::size_t>(i)], i);
        EXPECT_EQ(run.m_Result[i].m_UserName, c[i].m_UserName);
        EXPECT_EQ(run.m_Result[i].m_Distance, EditDistance(c[0].m_SqlText, c[i].m_SqlText));
    }
    EXPECT_EQ(run.m_Result[2].m_Distance, 19);  // 18 letters differ in case, and 1 against 2
}

TEST(FindSimilarStatements, OneStatementAndNoCollection) {
    CObjectArray one;
    one.Add(Statement(47, "begin null; end;"));
    SimilarityRun run = MakeRun(one, 0);
    FindSimilarStatements(run, nullptr);
    ASSERT_EQ(run.m_Result.GetSize(), 1);
    EXPECT_EQ(run.m_Result[0].m_Distance, 0);

    SimilarityRun none;
    EXPECT_EQ(FindSimilarStatements(none, nullptr), 0);
    EXPECT_TRUE(none.m_Result.IsEmpty());
}

TEST(FindSimilarStatements, ReportsEveryStatementBelowHundredPercentWithoutPolling) {
    const CObjectArray c = SmallCollection();
    SimilarityRun run = MakeRun(c, 0);
    RecordingProgress progress;
    FindSimilarStatements(run, &progress);
    EXPECT_EQ(progress.percents, (std::vector<int>{0, 16, 33, 50, 66, 83}));
    ASSERT_EQ(progress.texts.size(), 6u);
    EXPECT_EQ(progress.texts[1], "INSERT INTO T VALUES (1)");  // not compared, still shown
    EXPECT_EQ(progress.texts[5], "SELECT * FROM T WHERE ID = 1");
    EXPECT_EQ(progress.cancelPolls, 0);
    EXPECT_EQ(run.m_Result.GetSize(), 4);
}

CObjectArray RandomCollection(std::size_t count, unsigned seed) {
    static const char* words[] = {"select", "FROM", "where", "t.a", "=", ":1", "'x'", "Größe", "\xff", "order by"};
    std::mt19937 rng(seed);
    CObjectArray c;
    for (std::size_t i = 0; i < count; ++i) {
        std::string sql;
        const int n = std::uniform_int_distribution<int>(0, 40)(rng);
        for (int w = 0; w < n; ++w)
            sql += std::string(words[rng() % 10]) + " ";
        c.Add(Statement(static_cast<int>(rng() % 3) + 2, sql, "U" + std::to_string(i)));
    }
    return c;
}

TEST(FindSimilarStatements, SharedRunGivesTheSequentialResult) {
    const CObjectArray c = RandomCollection(1500, 5);
    for (bool allTypes : {false, true}) {
        SimilarityRun sequential = MakeRun(c, 7, false, allTypes);
        sequential.m_MaxThreads = 1;
        FindSimilarStatements(sequential, nullptr);
        SimilarityRun shared = MakeRun(c, 7, false, allTypes);
        shared.m_MaxThreads = 3;
        RecordingProgress progress;
        FindSimilarStatements(shared, &progress);
        EXPECT_EQ(shared.m_ResultPositions, sequential.m_ResultPositions);
        ASSERT_EQ(shared.m_Result.GetSize(), sequential.m_Result.GetSize());
        for (CObjectArray::Index i = 0; i < shared.m_Result.GetSize(); ++i)
            ASSERT_EQ(shared.m_Result[i].DumpText(), sequential.m_Result[i].DumpText()) << i;
        for (std::size_t k = 0; k < progress.percents.size(); ++k) {
            EXPECT_LT(progress.percents[k], 100);
            if (k > 0) {
                EXPECT_GE(progress.percents[k], progress.percents[k - 1]);
            }
        }
    }
}

TEST(FindSimilarStatements, SortPutsTheChosenStatementFirst) {
    const CObjectArray c = SmallCollection();
    SimilarityRun run = MakeRun(c, 5);
    FindSimilarStatements(run, nullptr);
    SortSimilarResult(run);
    // Position 0 has the same text as the chosen position 5, but the chosen one leads.
    EXPECT_EQ(run.m_ResultPositions, (std::vector<CObjectArray::Index>{5, 0, 2, 4}));
    EXPECT_EQ(run.m_Result[0].m_UserName, "F");
    EXPECT_EQ(run.m_Result[1].m_UserName, "A");
    EXPECT_EQ(run.m_Result[3].m_Distance, 28);

    run.m_ChosenPosition = -1;  // unknown: ties keep their order
    SortSimilarResult(run);
    EXPECT_EQ(run.m_ResultPositions, (std::vector<CObjectArray::Index>{5, 0, 2, 4}));
}

TEST(SqlTextCase, UpperCasesAsciiAndValidUtf8Only) {
    EXPECT_EQ(UpperCaseSqlText("select x_1 from \"t\""), "SELECT X_1 FROM \"T\"");
    EXPECT_EQ(UpperCaseSqlText("größe é ñ"), "GRÖßE É Ñ");
    EXPECT_EQ(UpperCaseSqlText("δ и"), "Δ И");
    // Invalid bytes stay, and what follows them is still upper-cased.
    EXPECT_EQ(UpperCaseSqlText("a\xff"
                               "b\xc3"),
              "A\xff"
              "B\xc3");
    EXPECT_EQ(UpperCaseSqlText("\xc0\x80x\xed\xa0\x80y\xe9"), "\xc0\x80X\xed\xa0\x80Y\xe9");
    EXPECT_EQ(UpperCaseSqlText(std::string("a\0b", 3)), std::string("A\0B", 3));
    EXPECT_EQ(UpperCaseSqlText(""), "");
}

}  // namespace
}  // namespace corvid
