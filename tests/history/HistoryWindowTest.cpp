// Windows as the user writes them, which snapshots they take, and the
// comparison of two windows.

#include <gtest/gtest.h>

#include "StoreFixture.h"
#include "history/HistoryWindow.h"
#include "list/ListCtrlEx.h"

namespace corvid::testing {
namespace {

std::int64_t At(const std::string& time) {
    std::int64_t seconds = 0;
    EXPECT_TRUE(ParseServerTime(time, seconds)) << time;
    return seconds;
}

TEST(HistoryWindow, ParsesEveryFormOfBound) {
    const std::int64_t now = At("2026-03-11/12:00:00");
    using K = SWindowBound::EKind;
    struct SCase {
        const char* text;
        K fromKind;
        std::int64_t from;
        K toKind;
        std::int64_t to;
    };
    const SCase cases[] = {
        {"2026-03-11T02:00..2026-03-11T03:30:15", K::Time, At("2026-03-11/02:00:00"), K::Time,
         At("2026-03-11/03:30:15")},
        {"2026-03-10..2026-03-11 06:00", K::Time, At("2026-03-10/00:00:00"), K::Time, At("2026-03-11/06:00:00")},
        {"2026-03-10/23:00:00..now", K::Time, At("2026-03-10/23:00:00"), K::Time, now},
        {"-1d..now", K::Time, now - 86400, K::Time, now},
        {"-2h..-1h", K::Time, now - 7200, K::Time, now - 3600},
        {"-1w..-30m", K::Time, now - 7 * 86400, K::Time, now - 1800},
        {"-90s..now", K::Time, now - 90, K::Time, now},
        {"12..20", K::Snapshot, 12, K::Snapshot, 20},
        {"12..now", K::Snapshot, 12, K::Time, now},
    };
    for (const SCase& c : cases) {
        SWindowBound from, to;
        std::string error;
        ASSERT_TRUE(ParseWindow(c.text, now, from, to, error)) << c.text << ": " << error;
        EXPECT_EQ(from.kind, c.fromKind) << c.text;
        EXPECT_EQ(from.value, c.from) << c.text;
        EXPECT_EQ(to.kind, c.toKind) << c.text;
        EXPECT_EQ(to.value, c.to) << c.text;
    }
    for (const char* bad : {"yesterday..now", "5", "-1x..now", "now..-1h", "20..12", "2026-13-01..now",
                            "2026-03-11T25:00..now", "..now", "0..3", "-..now", "2026-03-11+01:00..now"}) {
        SWindowBound from, to;
        std::string error;
        EXPECT_FALSE(ParseWindow(bad, now, from, to, error)) << bad;
        EXPECT_FALSE(error.empty());
    }
}

TEST(HistoryWindow, TakesTheNearestSnapshotsInside) {
    std::vector<SStoredSnapshot> snapshots;
    for (int i = 0; i < 4; ++i) {
        SStoredSnapshot s;
        s.id = 10 + i;
        s.serverTime = "2026-03-11/1" + std::to_string(i) + ":00:00";
        s.serverSeconds = At(s.serverTime);
        snapshots.push_back(s);
    }
    auto resolve = [&](SWindowBound from, SWindowBound to, std::size_t& first, std::size_t& last,
                       std::string& error) { return ResolveWindow(snapshots, from, to, first, last, error); };
    using K = SWindowBound::EKind;
    std::size_t first = 0, last = 0;
    std::string error;
    ASSERT_TRUE(resolve({K::Time, At("2026-03-11/10:30:00")}, {K::Time, At("2026-03-11/12:59:59")}, first, last,
                        error));
    EXPECT_EQ(first, 1u);
    EXPECT_EQ(last, 2u);
    ASSERT_TRUE(resolve({K::Snapshot, 10}, {K::Time, At("2026-03-12/00:00:00")}, first, last, error));
    EXPECT_EQ(first, 0u);
    EXPECT_EQ(last, 3u);
    ASSERT_TRUE(resolve({K::Snapshot, 11}, {K::Snapshot, 12}, first, last, error));
    EXPECT_EQ(first, 1u);
    EXPECT_EQ(last, 2u);

    EXPECT_FALSE(resolve({K::Time, At("2026-03-11/10:30:00")}, {K::Time, At("2026-03-11/11:30:00")}, first, last,
                         error));
    EXPECT_NE(error.find("no two snapshots"), std::string::npos) << error;
    EXPECT_NE(error.find("2026-03-11/10:00:00 to 2026-03-11/13:00:00"), std::string::npos) << error;
    EXPECT_FALSE(resolve({K::Snapshot, 99}, {K::Snapshot, 12}, first, last, error));
    EXPECT_NE(error.find("no snapshot 99"), std::string::npos) << error;
    EXPECT_FALSE(ResolveWindow({}, {K::Time, 0}, {K::Time, At("2030-01-01/00:00:00")}, first, last, error));
    EXPECT_NE(error.find("none of this database"), std::string::npos) << error;
}

CObjectEntry Moved(const std::string& text, double executions, double gets, bool isNew = false) {
    CObjectEntry e = Statement("A", "2026-03-01/08:00:00", text, 100, 1000);
    SIntervalFigures figures;
    figures.valid = true;
    figures.isNew = isNew;
    figures.executions = executions;
    figures.bufferGets = gets;
    e.SetInterval(figures);
    return e;
}

TEST(HistoryCompare, RanksByTheLargestChangeEitherWayWithNewAndGoneStatements) {
    SWindowFigures a, b;
    a.statements.Add(Moved("steady", 10, 100));
    a.statements.Add(Moved("slower", 10, 100));
    a.statements.Add(Moved("gone", 1, 50));
    b.statements.Add(Moved("steady", 10, 110));
    b.statements.Add(Moved("slower", 10, 900));
    b.statements.Add(Moved("fresh", 4, 300, true));
    const std::vector<SCompareRow> rows = CompareWindows(a, b, ECompareMeasure::BufferGets);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].statement.m_SqlText, "slower");
    EXPECT_EQ(rows[0].Change(), 800);
    EXPECT_EQ(rows[0].PerExecutionB() - rows[0].PerExecutionA(), 80);
    EXPECT_EQ(rows[1].statement.m_SqlText, "fresh");
    EXPECT_EQ(rows[2].statement.m_SqlText, "gone");
    EXPECT_EQ(rows[2].Change(), -50);
    EXPECT_EQ(rows[3].statement.m_SqlText, "steady");

    CListCtrlEx list;
    FillCompareList(list, rows, ECompareMeasure::BufferGets);
    ASSERT_EQ(list.GetItemCount(), 4);
    EXPECT_EQ(list.GetColumnTitle(2), "Buffer Gets in A");
    EXPECT_EQ(list.GetItemText(0, 4), "800");
    EXPECT_EQ(list.GetItemText(0, 7), "80.00");
    EXPECT_EQ(list.GetItemText(1, 8), "new in B");
    EXPECT_EQ(list.GetItemText(2, 8), "gone in B");
    EXPECT_EQ(list.GetItemText(2, 4), "-50");
    EXPECT_EQ(list.GetItemText(3, 8), "both");

    const std::vector<SCompareRow> byExecutions = CompareWindows(a, b, ECompareMeasure::Executions);
    EXPECT_EQ(byExecutions[0].statement.m_SqlText, "fresh");
    EXPECT_EQ(byExecutions[1].statement.m_SqlText, "gone");
}

}  // namespace
}  // namespace corvid::testing
