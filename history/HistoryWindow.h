#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "collection/IntervalFigures.h"
#include "collection/ObjectEntry.h"
#include "history/HistoryStore.h"

namespace corvid {

class CListCtrlEx;

// One end of a window as the user writes it: an ISO 8601 time
// (2026-03-11T02:00[:00], a space or '/' instead of the T, or a date alone), a
// snapshot id (a whole number), "now", or a time relative to now (-1d, -2h,
// -30m, -45s, -1w).
struct SWindowBound {
    enum class EKind { Time, Snapshot };
    EKind kind = EKind::Time;
    std::int64_t value = 0;  // seconds since 1970 (times), or the snapshot id
};

// "FROM..TO". Relative times and now are taken from `nowSeconds`. False with the
// message when the text is not a window.
bool ParseWindow(const std::string& text, std::int64_t nowSeconds, SWindowBound& from, SWindowBound& to,
                 std::string& error);

// The snapshots of the window: the first at or after FROM and the last at or
// before TO (a snapshot id stands for itself), as positions in `snapshots`
// (oldest first). False with the message when the window holds fewer than two.
bool ResolveWindow(const std::vector<SStoredSnapshot>& snapshots, const SWindowBound& from, const SWindowBound& to,
                   std::size_t& first, std::size_t& last, std::string& error);

// What one database did between two snapshots.
struct SWindowFigures {
    SStoredSnapshot from;
    SStoredSnapshot to;
    // The instance restarted inside the window: the figures are the sums of the
    // pieces on either side of each restart.
    int restarts = 0;
    SIntervalSummary summary;  // seconds, new and changed counts, totals of the window
    // The statements that moved in the window, with their interval figures; their
    // cumulative figures are those of the last snapshot that recorded them.
    CObjectArray statements;

    // "Window 1 h 0 min 0 s (snapshot 4, 2026-03-11/01:00:00 to snapshot 8, ...): 3 new, 12 changed",
    // with the restarts when there were any.
    std::string Describe() const;
};

// Computes the window from snapshots[first] to snapshots[last] of one database
// with the rules of the changes between two loads. A statement with a new first
// load time counts from zero; after a restart every statement does.
bool ComputeWindow(IHistoryStore& store, const std::vector<SStoredSnapshot>& snapshots, std::size_t first,
                   std::size_t last, SWindowFigures& window, std::string& error);

// The figure the comparison of two windows ranks by.
enum class ECompareMeasure { BufferGets, Executions, DiskReads, Rows, Sorts, ParseCalls };
// "buffer_gets" (or "gets"), "executions", "disk_reads" ("reads"), "rows", "sorts", "parse_calls".
bool ParseCompareMeasure(const std::string& name, ECompareMeasure& measure);
const char* CompareMeasureTitle(ECompareMeasure measure);

// One statement of a comparison of windows A and B. Statements are the same
// across windows when their SQL ID is (their text and user without one).
struct SCompareRow {
    bool inA = false;
    bool inB = false;
    CObjectEntry statement;  // the latest of the two
    double a = 0, b = 0;     // the measure in each window
    double executionsA = 0, executionsB = 0;
    double Change() const { return b - a; }
    double PerExecutionA() const { return executionsA > 0 ? a / executionsA : 0; }
    double PerExecutionB() const { return executionsB > 0 ? b / executionsB : 0; }
};

// The statements of both windows side by side, the largest change of the
// measure (either way) first.
std::vector<SCompareRow> CompareWindows(const SWindowFigures& a, const SWindowFigures& b, ECompareMeasure measure);

// Fills the list with the comparison: SQL ID, user, the measure in A and in B,
// the change, the per-execution figures and their change, where the statement
// is (both, new in B, gone in B) and the text.
void FillCompareList(CListCtrlEx& list, const std::vector<SCompareRow>& rows, ECompareMeasure measure);

}  // namespace corvid
