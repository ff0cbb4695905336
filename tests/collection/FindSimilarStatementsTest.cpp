#include <gtest/gtest.h>

#include <algorithm>
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

TEST(FindSimilarStatements, ReportsBelowHundredPercentWithoutPolling) {
    const CObjectArray c = SmallCollection();
    SimilarityRun run = MakeRun(c, 0);
    RecordingProgress progress;
    FindSimilarStatements(run, &progress);
    // One batch of the four compared statements; the text is one of them as compared.
    EXPECT_EQ(progress.percents, (std::vector<int>{75}));
    ASSERT_EQ(progress.texts.size(), 1u);
    EXPECT_TRUE(progress.texts[0] == "SELECT * FROM T WHERE ID = 1" || progress.texts[0] == "SELECT * FROM T WHERE ID = 2" ||
                progress.texts[0].empty());
    EXPECT_EQ(progress.cancelPolls, 0);
    EXPECT_EQ(run.m_Result.GetSize(), 4);
    EXPECT_FALSE(run.m_Cancelled);
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
        c.Add(Statement(static_cast<int>(rng() % 3) + 2, sql, std::string("U").append(std::to_string(i))));
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

// The display order computed the plain way: each compared statement's distance, then
// a stable sort by distance with the chosen statement first among equals.
std::vector<CObjectArray::Index> PlainOrder(const CObjectArray& c, CObjectArray::Index chosen, bool allTypes,
                                            std::vector<std::int32_t>& distances) {
    std::vector<CObjectArray::Index> order;
    const std::string pattern = UpperCaseSqlText(c[chosen].m_SqlText);
    std::vector<std::int32_t> all(static_cast<std::size_t>(c.GetSize()), -1);
    for (CObjectArray::Index i = 0; i < c.GetSize(); ++i) {
        if (!allTypes && c[i].m_CommandType != c[chosen].m_CommandType) continue;
        all[static_cast<std::size_t>(i)] = EditDistance(pattern, UpperCaseSqlText(c[i].m_SqlText));
        order.push_back(i);
    }
    std::stable_sort(order.begin(), order.end(), [&](CObjectArray::Index a, CObjectArray::Index b) {
        const std::int32_t da = all[static_cast<std::size_t>(a)];
        const std::int32_t db = all[static_cast<std::size_t>(b)];
        if (da != db) return da < db;
        return a == chosen && b != chosen;
    });
    distances.clear();
    for (CObjectArray::Index i : order)
        distances.push_back(all[static_cast<std::size_t>(i)]);
    return order;
}

// The first screen is handed over once, and is exactly the start of the final
// order, which is the plain stable sort; with many equal distances, on one thread
// and several, for first screens smaller and larger than the result.
TEST(FindSimilarStatements, FirstScreenIsTheStartOfTheFinalOrder) {
    const CObjectArray c = RandomCollection(1200, 11);
    for (CObjectArray::Index chosen : {CObjectArray::Index{3}, CObjectArray::Index{640}}) {
        for (bool allTypes : {false, true}) {
            std::vector<std::int32_t> distances;
            const std::vector<CObjectArray::Index> expected = PlainOrder(c, chosen, allTypes, distances);
            for (unsigned threads : {1u, 3u}) {
                for (std::size_t screen : {std::size_t{50}, std::size_t{1}, std::size_t{5000}}) {
                    SimilarityRun run = MakeRun(c, chosen, false, allTypes);
                    run.m_MaxThreads = threads;
                    run.m_FirstScreenSize = screen;
                    int calls = 0;
                    std::vector<CObjectArray::Index> first;
                    std::vector<std::int32_t> firstDistances;
                    run.m_OnFirstScreen = [&](const CObjectArray& nearest, const std::vector<CObjectArray::Index>& at,
                                              bool complete) {
                        EXPECT_TRUE(complete || screen < expected.size());
                        ++calls;
                        first = at;
                        for (CObjectArray::Index k = 0; k < nearest.GetSize(); ++k)
                            firstDistances.push_back(nearest[k].m_Distance);
                    };
                    FindSimilarStatements(run, nullptr);
                    SortSimilarResult(run);
                    ASSERT_EQ(run.m_ResultPositions, expected) << threads << " threads";
                    for (CObjectArray::Index k = 0; k < run.m_Result.GetSize(); ++k)
                        ASSERT_EQ(run.m_Result[k].m_Distance, distances[static_cast<std::size_t>(k)]);
                    ASSERT_EQ(calls, 1);
                    const std::size_t size = std::min(screen, expected.size());
                    ASSERT_EQ(first, std::vector<CObjectArray::Index>(expected.begin(), expected.begin() + size));
                    ASSERT_EQ(firstDistances, std::vector<std::int32_t>(distances.begin(), distances.begin() + size));
                }
            }
        }
    }
}

// A chosen statement much shorter than most: its nearest are known after a fraction
// of the comparisons, before the search ends.
CObjectArray SpreadLengths() {
    CObjectArray c;
    for (int i = 0; i < 2000; ++i)
        c.Add(Statement(3, "select " + std::string(static_cast<std::size_t>(20 + (i * 37) % 900), 'x') + " from t" +
                               std::to_string(i)));
    return c;
}

TEST(FindSimilarStatements, FirstScreenComesBeforeTheLastComparison) {
    const CObjectArray c = SpreadLengths();
    SimilarityRun run = MakeRun(c, 0);
    run.m_MaxThreads = 1;
    struct CountingProgress : IProgress {
        void SetProgress(int, const std::string&) override { ++reports; }
        bool IsCancelled() override { return false; }
        int reports = 0;
    } progress;
    int reportsAtFirstScreen = -1;
    run.m_OnFirstScreen = [&](const CObjectArray&, const std::vector<CObjectArray::Index>&, bool complete) {
        EXPECT_FALSE(complete);
        reportsAtFirstScreen = progress.reports;
    };
    FindSimilarStatements(run, &progress);
    EXPECT_GE(reportsAtFirstScreen, 0);
    EXPECT_LT(reportsAtFirstScreen * 4, progress.reports);
    EXPECT_EQ(run.m_Result.GetSize(), 2000);
}

// A cancelled search leaves the first screen when it was reached and nothing
// otherwise, never a part of the rest.
TEST(FindSimilarStatements, CancellingKeepsOnlyTheFirstScreen) {
    const CObjectArray c = SpreadLengths();
    std::vector<std::int32_t> distances;
    const std::vector<CObjectArray::Index> expected = PlainOrder(c, 0, true, distances);
    struct CancellingProgress : IProgress {
        explicit CancellingProgress(int after) : after(after) {}
        void SetProgress(int, const std::string&) override {}
        bool IsCancelled() override { return ++polls > after; }
        int after;
        int polls = 0;
    };
    // The preparation of 2,000 statements polls about 60 times, the comparisons after it.
    for (int after : {0, 1, 100}) {
        SimilarityRun run = MakeRun(c, 0, false, true);
        run.m_MaxThreads = 1;
        run.m_Cancellable = true;
        bool shown = false;
        run.m_OnFirstScreen = [&](const CObjectArray&, const std::vector<CObjectArray::Index>&, bool) {
            shown = true;
        };
        CancellingProgress progress(after);
        FindSimilarStatements(run, &progress);
        SortSimilarResult(run);
        EXPECT_TRUE(run.m_Cancelled);
        if (shown) {
            ASSERT_EQ(run.m_ResultPositions, std::vector<CObjectArray::Index>(expected.begin(), expected.begin() + 50));
        } else {
            EXPECT_TRUE(run.m_Result.IsEmpty());
        }
        if (after == 100) {
            EXPECT_TRUE(shown);
        }
    }
}

// Inputs that push the running bound to its edges: near-copies of a long chosen
// statement (compared in a narrow band under the bound), many distances equal to the
// bound, duplicates, empty texts and texts far longer or shorter than the chosen one.
CObjectArray AdversarialCollection(unsigned seed) {
    std::mt19937 rng(seed);
    auto text = [&](std::size_t length) {
        std::string s(length, 'a');
        for (char& ch : s)
            ch = "ab ,()=:1"[rng() % 9];
        return s;
    };
    const std::string base = text(3000);
    CObjectArray c;
    c.Add(Statement(3, base));
    for (int i = 0; i < 300; ++i) {
        std::string s = base;
        switch (i % 6) {
            case 0:  // one to forty substitutions
                for (int e = 0; e <= i % 40; ++e)
                    s[rng() % s.size()] = 'x';
                break;
            case 1:  // exactly i % 7 bytes appended: equal distances, equal to the bound
                s += std::string(static_cast<std::size_t>(i % 7), 'y');
                break;
            case 2:
                s = text(rng() % 60);  // short, or empty
                break;
            case 3:
                s = base + text(2000 + rng() % 4000);  // far longer
                break;
            case 4:
                s = base;  // duplicates of the chosen statement
                break;
            default:
                s = text(3000);  // unrelated, of the same length
                break;
        }
        c.Add(Statement(3, s));
    }
    return c;
}

TEST(FindSimilarStatements, BoundedFirstPassKeepsTheFullSortOnAdversarialInputs) {
    for (unsigned seed : {1u, 2u}) {
        const CObjectArray c = AdversarialCollection(seed);
        std::vector<std::int32_t> distances;
        const std::vector<CObjectArray::Index> expected = PlainOrder(c, 0, false, distances);
        for (unsigned threads : {1u, 2u}) {
            for (std::size_t screen : {std::size_t{1}, std::size_t{50}, std::size_t{120}}) {
                SimilarityRun run = MakeRun(c, 0);
                run.m_MaxThreads = threads;
                run.m_FirstScreenSize = screen;
                std::vector<CObjectArray::Index> first;
                run.m_OnFirstScreen = [&](const CObjectArray&, const std::vector<CObjectArray::Index>& at, bool) {
                    first = at;
                };
                FindSimilarStatements(run, nullptr);
                SortSimilarResult(run);
                ASSERT_EQ(run.m_ResultPositions, expected) << threads << " threads, screen " << screen;
                for (CObjectArray::Index k = 0; k < run.m_Result.GetSize(); ++k)
                    ASSERT_EQ(run.m_Result[k].m_Distance, distances[static_cast<std::size_t>(k)]) << k;
                ASSERT_EQ(first, std::vector<CObjectArray::Index>(expected.begin(), expected.begin() + screen));
            }
        }
    }
}

// A comparison of two long texts reports progress and polls for cancellation while
// it lasts: the run stops inside it, keeping the first screen. The progress below
// cancels only once it has been told twice that the long text is being compared,
// which happens only from inside that comparison.
TEST(FindSimilarStatements, CancelStopsInsideALongComparison) {
    std::mt19937 rng(3);
    auto text = [&](std::size_t length) {
        std::string s(length, 'a');
        for (char& ch : s)
            ch = static_cast<char>('a' + rng() % 20);
        return s;
    };
    CObjectArray c;
    c.Add(Statement(3, text(200000)));
    for (int i = 0; i < 40; ++i)
        c.Add(Statement(3, text(100)));
    const std::string longText = text(1000000);
    c.Add(Statement(3, longText));
    struct CancellingProgress : IProgress {
        explicit CancellingProgress(std::string watched) : watched(std::move(watched)) {}
        void SetProgress(int, const std::string& text) override {
            if (text == watched) ++seen;
        }
        bool IsCancelled() override { return seen >= 2; }
        std::string watched;
        int seen = 0;
    } progress(longText);
    SimilarityRun run = MakeRun(c, 0, true, false);
    run.m_MaxThreads = 1;
    run.m_Cancellable = true;
    run.m_FirstScreenSize = 1;
    std::vector<CObjectArray::Index> first;
    run.m_OnFirstScreen = [&](const CObjectArray&, const std::vector<CObjectArray::Index>& at, bool complete) {
        EXPECT_FALSE(complete);
        first = at;
    };
    FindSimilarStatements(run, &progress);
    EXPECT_TRUE(run.m_Cancelled);
    EXPECT_GE(progress.seen, 2);
    EXPECT_EQ(first, (std::vector<CObjectArray::Index>{0}));
    EXPECT_EQ(run.m_ResultPositions, first);
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
