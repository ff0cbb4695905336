#include "history/HistoryWindow.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <unordered_map>

#include "list/ListCtrlEx.h"

namespace corvid {

namespace {

bool ParseWhole(std::string_view text, std::int64_t& value) {
    if (text.empty()) return false;
    auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && ptr == text.data() + text.size();
}

// One end of the window; false when the text is none of the forms.
bool ParseBound(const std::string& text, std::int64_t nowSeconds, SWindowBound& bound) {
    if (text == "now") {
        bound = {SWindowBound::EKind::Time, nowSeconds};
        return true;
    }
    if (text.size() >= 3 && text[0] == '-') {
        std::int64_t count = 0;
        if (!ParseWhole(std::string_view(text).substr(1, text.size() - 2), count) || count < 0) return false;
        std::int64_t unit = 0;
        switch (text.back()) {
            case 's': unit = 1; break;
            case 'm': unit = 60; break;
            case 'h': unit = 3600; break;
            case 'd': unit = 86400; break;
            case 'w': unit = 7 * 86400; break;
            default: return false;
        }
        bound = {SWindowBound::EKind::Time, nowSeconds - count * unit};
        return true;
    }
    std::int64_t id = 0;
    if (ParseWhole(text, id)) {
        if (id <= 0) return false;
        bound = {SWindowBound::EKind::Snapshot, id};
        return true;
    }
    // YYYY-MM-DD, then optionally T (or a space or '/') and HH:MM[:SS].
    std::string normal;
    if (text.size() == 10) {
        normal = text + "/00:00:00";
    } else if (text.size() == 16 || text.size() == 19) {
        if (text[10] != 'T' && text[10] != ' ' && text[10] != '/') return false;
        normal = text.substr(0, 10) + "/" + text.substr(11) + (text.size() == 16 ? ":00" : "");
    } else {
        return false;
    }
    std::int64_t seconds = 0;
    if (!ParseServerTime(normal, seconds)) return false;
    bound = {SWindowBound::EKind::Time, seconds};
    return true;
}

// Statements are the same across restarts and windows when their SQL ID is;
// without one, when their text and user are.
std::string IdentityKey(const CObjectEntry& entry) {
    if (!entry.m_SqlId.empty()) return entry.m_SqlId.str();
    std::string key = entry.m_SqlText;
    key += '\x1f';
    key += entry.m_UserName.str();
    return key;
}

void AddCounts(SIntervalFigures& sum, const SIntervalFigures& piece) {
    sum.executions += piece.executions;
    sum.bufferGets += piece.bufferGets;
    sum.diskReads += piece.diskReads;
    sum.rowsProcessed += piece.rowsProcessed;
    sum.sorts += piece.sorts;
    sum.parseCalls += piece.parseCalls;
    sum.isNew = sum.isNew && piece.isNew;
}

double MeasureOf(const SIntervalFigures& figures, ECompareMeasure measure) {
    switch (measure) {
        case ECompareMeasure::BufferGets: return figures.bufferGets;
        case ECompareMeasure::Executions: return figures.executions;
        case ECompareMeasure::DiskReads: return figures.diskReads;
        case ECompareMeasure::Rows: return figures.rowsProcessed;
        case ECompareMeasure::Sorts: return figures.sorts;
        case ECompareMeasure::ParseCalls: return figures.parseCalls;
    }
    return 0;
}

std::string Count(double value) {
    std::string text;
    AppendListCount(value, text);
    return text;
}

std::string Decimal(double value) {
    std::string text;
    AppendListPercent(value, text);
    return text;
}

}  // namespace

bool ParseWindow(const std::string& text, std::int64_t nowSeconds, SWindowBound& from, SWindowBound& to,
                 std::string& error) {
    const std::size_t dots = text.find("..");
    if (dots == std::string::npos || !ParseBound(text.substr(0, dots), nowSeconds, from) ||
        !ParseBound(text.substr(dots + 2), nowSeconds, to)) {
        error = "a window is FROM..TO, each an ISO 8601 time (2026-03-11T02:00), a snapshot id, now or a time "
                "relative to now (-1d, -2h, -30m), not '" + text + "'";
        return false;
    }
    if (from.kind == to.kind && from.value >= to.value) {
        error = "the window '" + text + "' ends before it starts";
        return false;
    }
    return true;
}

bool ResolveWindow(const std::vector<SStoredSnapshot>& snapshots, const SWindowBound& from, const SWindowBound& to,
                   std::size_t& first, std::size_t& last, std::string& error) {
    constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    first = last = kNone;
    for (std::size_t i = 0; i < snapshots.size(); ++i) {
        const SStoredSnapshot& s = snapshots[i];
        const bool atOrAfterFrom = from.kind == SWindowBound::EKind::Snapshot ? s.id == from.value
                                                                               : s.serverSeconds >= from.value;
        if (first == kNone && atOrAfterFrom) first = i;
        const bool atOrBeforeTo = to.kind == SWindowBound::EKind::Snapshot ? s.id == to.value
                                                                          : s.serverSeconds <= to.value;
        if (to.kind == SWindowBound::EKind::Snapshot ? atOrBeforeTo : (atOrBeforeTo && first != kNone)) last = i;
    }
    for (const SWindowBound* bound : {&from, &to}) {
        if (bound->kind != SWindowBound::EKind::Snapshot) continue;
        if (std::none_of(snapshots.begin(), snapshots.end(),
                         [bound](const SStoredSnapshot& s) { return s.id == bound->value; })) {
            error = "no snapshot " + std::to_string(bound->value) + " of this database in the store";
            return false;
        }
    }
    if (first == kNone || last == kNone || last <= first) {
        error = "the window holds no two snapshots";
        if (!snapshots.empty()) {
            error += " (the store has " + std::to_string(snapshots.size()) + " of this database, from " +
                     snapshots.front().serverTime + " to " + snapshots.back().serverTime + ")";
        } else {
            error += " (the store has none of this database)";
        }
        return false;
    }
    return true;
}

std::string SWindowFigures::Describe() const {
    std::string text = "Window " + FormatIntervalLength(summary.seconds) + " (snapshot " + std::to_string(from.id) +
                       ", " + from.serverTime + " to snapshot " + std::to_string(to.id) + ", " + to.serverTime +
                       "): " + std::to_string(summary.newCount) + " new, " + std::to_string(summary.changedCount) +
                       " changed";
    if (restarts > 0) {
        text += "; the instance restarted " + std::to_string(restarts) + (restarts == 1 ? " time" : " times") +
                " in the window: the figures are the sums of the " + std::to_string(restarts + 1) +
                " pieces between the restarts";
    }
    return text;
}

bool ComputeWindow(IHistoryStore& store, const std::vector<SStoredSnapshot>& snapshots, std::size_t first,
                   std::size_t last, SWindowFigures& window, std::string& error) {
    window = SWindowFigures();
    if (first >= last || last >= snapshots.size()) {
        error = "the window holds no two snapshots";
        return false;
    }
    const std::int64_t databaseId = snapshots[first].databaseId;
    window.from = snapshots[first];
    window.to = snapshots[last];

    // The snapshot before the first of the startup that `first` belongs to.
    std::int64_t beforeStartup = 0;
    for (std::size_t i = first; i > 0; --i) {
        if (snapshots[i - 1].startupTime != snapshots[first].startupTime) {
            beforeStartup = snapshots[i - 1].id;
            break;
        }
    }

    // Pieces between restarts: the first starts from the state at `first`, each
    // later one from an instance that started again with its counters at zero.
    std::vector<CObjectArray> pieces;
    std::size_t start = first;
    for (std::size_t end = first + 1; end <= last + 1; ++end) {
        if (end <= last && snapshots[end].startupTime == snapshots[end - 1].startupTime) continue;
        CObjectArray baseline, current;
        std::string fromTime;
        const std::int64_t after = start == first ? snapshots[first].id : snapshots[start - 1].id;
        if (!store.ReadLatest(databaseId, after, snapshots[end - 1].id, current, error)) return false;
        if (start == first) {
            // Where the statements that moved stood at the start.
            if (current.GetSize() > 0 && !store.ReadLatest(databaseId, beforeStartup, snapshots[first].id, baseline, error,
                                                        after, snapshots[end - 1].id)) {
                return false;
            }
            fromTime = snapshots[first].serverTime;
        } else {
            fromTime = snapshots[start].startupTime;
        }
        ComputeIntervalFigures(baseline, fromTime, current, snapshots[end - 1].serverTime);
        std::vector<CObjectArray::Index> positions;
        pieces.push_back(ChangedStatements(current, positions));
        start = end;
    }
    window.restarts = static_cast<int>(pieces.size()) - 1;

    if (pieces.size() == 1) {
        window.statements = std::move(pieces.front());
    } else {
        std::unordered_map<std::string, CObjectArray::Index> byIdentity;
        for (CObjectArray& piece : pieces) {
            for (CObjectEntry& entry : piece) {
                const auto [found, added] = byIdentity.emplace(IdentityKey(entry), window.statements.GetSize());
                if (added) {
                    window.statements.Add(std::move(entry));
                    continue;
                }
                // The later piece's cumulative figures, the sum of the pieces' interval counts.
                SIntervalFigures sum = window.statements[found->second].Interval();
                AddCounts(sum, entry.Interval());
                window.statements[found->second] = std::move(entry);
                window.statements[found->second].SetInterval(sum);
            }
        }
    }
    SIntervalSummary& summary = window.summary;
    summary.valid = true;
    summary.fromTime = window.from.serverTime;
    summary.toTime = window.to.serverTime;
    summary.seconds = std::max<std::int64_t>(0, window.to.serverSeconds - window.from.serverSeconds);
    for (const CObjectEntry& entry : window.statements) {
        if (entry.Interval().isNew) {
            ++summary.newCount;
        } else {
            ++summary.changedCount;
        }
    }
    SetIntervalRatesAndShares(window.statements, summary);
    return true;
}

bool ParseCompareMeasure(const std::string& name, ECompareMeasure& measure) {
    static const std::pair<const char*, ECompareMeasure> kNames[] = {
        {"buffer_gets", ECompareMeasure::BufferGets}, {"gets", ECompareMeasure::BufferGets},
        {"executions", ECompareMeasure::Executions},  {"disk_reads", ECompareMeasure::DiskReads},
        {"reads", ECompareMeasure::DiskReads},        {"rows", ECompareMeasure::Rows},
        {"sorts", ECompareMeasure::Sorts},            {"parse_calls", ECompareMeasure::ParseCalls},
    };
    for (const auto& [text, value] : kNames) {
        if (name == text) {
            measure = value;
            return true;
        }
    }
    return false;
}

const char* CompareMeasureTitle(ECompareMeasure measure) {
    switch (measure) {
        case ECompareMeasure::BufferGets: return "Buffer Gets";
        case ECompareMeasure::Executions: return "Executions";
        case ECompareMeasure::DiskReads: return "Disk Reads";
        case ECompareMeasure::Rows: return "Rows";
        case ECompareMeasure::Sorts: return "Sorts";
        case ECompareMeasure::ParseCalls: return "Parse Calls";
    }
    return "";
}

std::vector<SCompareRow> CompareWindows(const SWindowFigures& a, const SWindowFigures& b, ECompareMeasure measure) {
    std::vector<SCompareRow> rows;
    std::unordered_map<std::string, std::size_t> byIdentity;
    auto add = [&](const CObjectArray& statements, bool inB) {
        for (const CObjectEntry& entry : statements) {
            const auto [found, added] = byIdentity.emplace(IdentityKey(entry), rows.size());
            if (added) rows.emplace_back();
            SCompareRow& row = rows[found->second];
            const double value = MeasureOf(entry.Interval(), measure);
            if (inB) {
                row.inB = true;
                row.b += value;
                row.executionsB += entry.Interval().executions;
            } else {
                row.inA = true;
                row.a += value;
                row.executionsA += entry.Interval().executions;
            }
            row.statement = entry;
        }
    };
    add(a.statements, false);
    add(b.statements, true);
    std::stable_sort(rows.begin(), rows.end(), [](const SCompareRow& x, const SCompareRow& y) {
        return std::fabs(x.Change()) > std::fabs(y.Change());
    });
    return rows;
}

void FillCompareList(CListCtrlEx& list, const std::vector<SCompareRow>& rows, ECompareMeasure measure) {
    const std::string title = CompareMeasureTitle(measure);
    list.DeleteAllItems();
    list.DeleteAllColumns();
    const std::pair<std::string, int> columns[] = {
        {"SQL ID", kAlignLeft},          {"User", kAlignLeft},
        {title + " in A", kAlignRight},  {title + " in B", kAlignRight},
        {"Change", kAlignRight},         {title + "/Exec in A", kAlignRight},
        {title + "/Exec in B", kAlignRight}, {"Change/Exec", kAlignRight},
        {"Where", kAlignLeft},           {"SQL Text", kAlignLeft},
    };
    int index = 0;
    for (const auto& [text, alignment] : columns)
        list.InsertColumn(index++, text, alignment);
    list.SetRedraw(false);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const SCompareRow& row = rows[i];
        const std::string cells[] = {
            row.statement.m_SqlId.str(),
            row.statement.m_UserName.str(),
            Count(row.a),
            Count(row.b),
            Count(row.Change()),
            Decimal(row.PerExecutionA()),
            Decimal(row.PerExecutionB()),
            Decimal(row.PerExecutionB() - row.PerExecutionA()),
            row.inA && row.inB ? "both" : (row.inB ? "new in B" : "gone in B"),
            row.statement.m_SqlText,
        };
        const int at = list.InsertItem(static_cast<int>(i), std::string_view(cells[0]));
        for (int c = 1; c < static_cast<int>(std::size(cells)); ++c)
            list.SetItemText(at, c, cells[c]);
        list.SetItemData(at, static_cast<CListCtrlEx::ItemData>(i));
    }
    list.SetRedraw(true);
}

}  // namespace corvid
