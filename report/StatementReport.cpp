#include "report/StatementReport.h"

#include <algorithm>
#include <numeric>
#include <unordered_map>

#include "charts/ChartData.h"
#include "collection/IntervalFigures.h"
#include "collection/StatementFamilies.h"
#include "dialogs/StatementSheetModel.h"
#include "list/ListCtrlEx.h"
#include "list/ListExporter.h"
#include "list/StatementColumn.h"
#include "platform/Clock.h"
#include "platform/Services.h"
#include "report/HtmlText.h"

namespace corvid {

namespace {

constexpr std::size_t kGroupBars = 15;     // bars of the charts by user, module and command type
constexpr std::size_t kFamilyMembers = 5;  // member links per family

// One "SQL ordered by" ranking: the figure of a load, and the one of an interval
// where the interval has it (elapsed and CPU time, memory and versions it has not).
struct SRankingSpec {
    const char* id;
    const char* title;
    const char* figure;
    int decimals;
    double (*load)(const CObjectEntry&);
    double (*interval)(const CObjectEntry&);
    bool serverFigure;  // reported from 10g on only
};

const SRankingSpec kRankings[] = {
    {"elapsed-time", "SQL ordered by Elapsed Time", "Elapsed (s)", 2,
     [](const CObjectEntry& e) { return e.m_ElapsedTime / 1e6; }, nullptr, true},
    {"cpu-time", "SQL ordered by CPU Time", "CPU (s)", 2, [](const CObjectEntry& e) { return e.m_CpuTime / 1e6; },
     nullptr, true},
    {"gets", "SQL ordered by Gets", "Buffer gets", 0, [](const CObjectEntry& e) { return e.m_BufferGets; },
     [](const CObjectEntry& e) { return e.Interval().bufferGets; }, false},
    {"reads", "SQL ordered by Reads", "Disk reads", 0, [](const CObjectEntry& e) { return e.m_DiskReads; },
     [](const CObjectEntry& e) { return e.Interval().diskReads; }, false},
    {"executions", "SQL ordered by Executions", "Executions", 0, [](const CObjectEntry& e) { return e.m_Executions; },
     [](const CObjectEntry& e) { return e.Interval().executions; }, false},
    {"parse-calls", "SQL ordered by Parse Calls", "Parse calls", 0,
     [](const CObjectEntry& e) { return e.m_ParseCalls; }, [](const CObjectEntry& e) { return e.Interval().parseCalls; },
     false},
    {"sharable-memory", "SQL ordered by Sharable Memory", "Sharable memory (bytes)", 0,
     [](const CObjectEntry& e) { return e.m_SharableMem; }, nullptr, false},
    {"version-count", "SQL ordered by Version Count", "Versions", 0,
     [](const CObjectEntry& e) { return static_cast<double>(e.m_VersionCount); }, nullptr, true},
};

// Numbers the statements of the detail blocks in the order the report first lists them.
class CDetailIndex {
public:
    CDetailIndex(const CObjectArray& collection, SReportModel& model) : m_collection(collection), m_model(model) {}

    std::size_t Of(CObjectArray::Index position) {
        const auto [it, added] = m_index.try_emplace(position, m_model.statements.size());
        if (added) m_model.statements.push_back(ReportStatementOf(m_collection[position], "stmt-" + std::to_string(it->second + 1)));
        return it->second;
    }
    // The anchor of a statement with a detail block; empty for one without.
    std::string AnchorOf(CObjectArray::Index position) const {
        const auto it = m_index.find(position);
        return it == m_index.end() ? std::string() : m_model.statements[it->second].anchor;
    }
    const std::size_t* Find(CObjectArray::Index position) const {
        const auto it = m_index.find(position);
        return it == m_index.end() ? nullptr : &it->second;
    }

private:
    const CObjectArray& m_collection;
    SReportModel& m_model;
    std::unordered_map<CObjectArray::Index, std::size_t> m_index;
};

SReportRanking Rank(const SRankingSpec& spec, const SStatementReportSource& source, CDetailIndex& details) {
    const CObjectArray& collection = *source.collection;
    SReportRanking ranking;
    ranking.id = spec.id;
    ranking.title = spec.title;
    ranking.figure = spec.figure;
    ranking.decimals = spec.decimals;
    const bool fromInterval = source.interval != nullptr && spec.interval != nullptr;
    double (*figure)(const CObjectEntry&) = fromInterval ? spec.interval : spec.load;
    std::vector<double> values(source.positions.size());
    bool anyServerFigures = false;
    for (std::size_t i = 0; i < source.positions.size(); ++i) {
        const CObjectEntry& entry = collection[source.positions[i]];
        values[i] = figure(entry);
        anyServerFigures = anyServerFigures || entry.m_HasServerFigures;
        ranking.total += values[i];
    }
    if (spec.serverFigure && !anyServerFigures) {
        ranking.note = "The server reports this figure from Oracle 10g on; this one does not.";
        return ranking;
    }
    if (source.interval != nullptr) {
        ranking.note = fromInterval ? "In the interval; shares of the interval's total over the listed statements."
                                    : "Since each statement was loaded into the shared pool (the interval does not "
                                      "separate this figure); shares of the listed statements' total.";
    } else {
        ranking.note = "Shares of the total over the listed statements.";
    }
    std::vector<std::size_t> order(values.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    const std::size_t count = std::min(order.size(), static_cast<std::size_t>(std::max(source.topCount, 0)));
    std::partial_sort(order.begin(), order.begin() + static_cast<std::ptrdiff_t>(count), order.end(),
                      [&](std::size_t a, std::size_t b) { return values[a] > values[b] || (values[a] == values[b] && a < b); });
    for (std::size_t k = 0; k < count && values[order[k]] > 0; ++k) {
        SRankedRow row;
        row.statement = details.Of(source.positions[order[k]]);
        row.value = values[order[k]];
        row.sharePercent = ranking.total > 0 ? row.value * 100 / ranking.total : 0;
        ranking.rows.push_back(row);
    }
    return ranking;
}

SReportChart ParetoChart(const std::string& id, const std::string& title, const std::string& figure,
                         const SParetoSeries& series, const CDetailIndex& details) {
    SReportChart chart;
    chart.id = id;
    chart.title = title;
    chart.figure = figure;
    chart.pareto = true;
    chart.summary = ParetoSummary(series, figure);
    for (std::size_t i = 0; i < series.bars.size(); ++i) {
        const SParetoBar& bar = series.bars[i];
        SReportBar out;
        out.label = bar.label;
        out.title = std::to_string(i + 1) + ". " + bar.label + ": " + FormatReportNumber(bar.value) + " " + figure +
                    " (" + FormatReportNumber(bar.sharePercent, 1) + " %, " +
                    FormatReportNumber(bar.cumulativePercent, 1) + " % with the ones before)";
        out.value = bar.value;
        out.cumulativePercent = bar.cumulativePercent;
        out.link = details.AnchorOf(bar.itemData);
        chart.bars.push_back(std::move(out));
    }
    return chart;
}

SReportChart GroupChart(const std::string& id, const std::string& title, const std::string& figure,
                        const std::vector<SGroupSum>& sums) {
    SReportChart chart;
    chart.id = id;
    chart.title = title;
    chart.figure = figure;
    for (std::size_t i = 0; i < sums.size() && i < kGroupBars; ++i) {
        SReportBar bar;
        bar.label = sums[i].name;
        bar.title = sums[i].name + ": " + FormatReportNumber(sums[i].value) + " " + figure + " in " +
                    std::to_string(sums[i].statementCount) + (sums[i].statementCount == 1 ? " statement" : " statements");
        bar.value = sums[i].value;
        chart.bars.push_back(std::move(bar));
    }
    if (sums.size() > kGroupBars) chart.summary = "The largest " + std::to_string(kGroupBars) + " of " +
                                                  std::to_string(sums.size()) + ".";
    return chart;
}

std::vector<SReportFamily> FamiliesByWaste(const SStatementReportSource& source, CDetailIndex& details) {
    const CObjectArray& collection = *source.collection;
    // The families of the listed statements: of the collection itself when the
    // list shows all of it in its order, else of a copy of the listed ones.
    bool whole = static_cast<std::size_t>(collection.GetSize()) == source.positions.size();
    for (std::size_t i = 0; whole && i < source.positions.size(); ++i)
        whole = source.positions[i] == static_cast<CObjectArray::Index>(i);
    CObjectArray listed;
    if (!whole) {
        for (CObjectArray::Index position : source.positions)
            listed.Add(collection[position]);
    }
    const CStatementFamilies families(whole ? collection : listed);
    std::vector<const CFamilyEntry*> shared;
    for (const CFamilyEntry& family : families.GetFamilies())
        if (family.m_Statements > 1) shared.push_back(&family);
    auto waste = [](const CFamilyEntry& f) { return f.m_SharableMem * (f.m_Statements - 1) / f.m_Statements; };
    const std::size_t count = std::min(shared.size(), static_cast<std::size_t>(std::max(source.topCount, 0)));
    std::partial_sort(shared.begin(), shared.begin() + static_cast<std::ptrdiff_t>(count), shared.end(),
                      [&](const CFamilyEntry* a, const CFamilyEntry* b) {
                          return waste(*a) > waste(*b) || (waste(*a) == waste(*b) && a->m_Statements > b->m_Statements);
                      });
    std::vector<SReportFamily> out;
    for (std::size_t i = 0; i < count; ++i) {
        const CFamilyEntry& family = *shared[i];
        SReportFamily row;
        row.familyText = family.m_FamilyText;
        row.command = CObjectEntry::CommandName(family.m_CommandType);
        row.users = family.GetUsersText();
        row.statements = family.m_Statements;
        row.sharableMem = family.m_SharableMem;
        row.wastedMem = waste(family);
        row.parseCalls = family.m_ParseCalls;
        row.executions = family.m_Executions;
        row.percOfBufferGets = family.m_PercOfBufferGets;
        for (CObjectArray::Index member : family.m_Members) {
            const CObjectArray::Index position = whole ? member : source.positions[static_cast<std::size_t>(member)];
            if (const std::size_t* statement = details.Find(position)) row.members.push_back(*statement);
            if (row.members.size() >= kFamilyMembers) break;
        }
        out.push_back(std::move(row));
    }
    return out;
}

std::string ModuleGroupOf(const CObjectEntry& entry) {
    return entry.m_Module.empty() ? "(no module)" : entry.m_Module.str();
}

void FillSummaryHead(const SStatementReportSource& source, SReportSummary& summary) {
    summary.title = source.title.empty() ? "Corvid report" : source.title;
    summary.database = source.database;
    summary.server = source.server;
    summary.banner = source.banner;
    summary.user = source.user;
    if (source.interval != nullptr && source.interval->valid) {
        summary.period = source.interval->Describe();
    } else if (source.loadTime) {
        summary.period = "Loaded " + CListExporter::Stamp(*source.loadTime);
    } else if (!source.serverTime.empty()) {
        summary.period = "Loaded at " + source.serverTime + " (server time)";
    }
}

}  // namespace

std::vector<CObjectArray::Index> ListedPositions(const CListCtrlEx& list, const CObjectArray& collection) {
    std::vector<std::int64_t> itemData;
    ListedStatements(list, collection, &itemData);
    return std::vector<CObjectArray::Index>(itemData.begin(), itemData.end());
}

SReportStatement ReportStatementOf(const CObjectEntry& statement, std::string anchor) {
    SReportStatement s;
    s.anchor = std::move(anchor);
    s.label = StatementLabel(statement.m_SqlText, 60);
    if (statement.m_HasServerFigures) s.sqlId = statement.m_SqlId.str();
    s.address = statement.m_Address.str();
    s.user = UserGroupOf(statement);
    s.command = statement.GetCommandName();
    s.sqlText = statement.m_SqlText;
    s.plan = PlanPageText(statement);
    if (!statement.SqlPlan().empty()) {
        s.planSource = statement.m_PlanSource == kPlanFromCursorCache
                           ? "Plan from the cursor cache: the plan the server uses for this statement."
                           : "Plan from EXPLAIN PLAN: what the optimizer would choose now.";
    }
    for (SParameterRow& row : ParameterRows(statement)) {
        if (row.column == kColSqlText || row.column == kColDistance) continue;
        s.figures.emplace_back(std::move(row.title), std::move(row.value));
    }
    const SIntervalFigures& interval = statement.Interval();
    if (interval.valid) {
        s.figures.emplace_back("In the interval", interval.isNew ? "new since the previous load" : "changed");
        s.figures.emplace_back("Executions in the interval", FormatReportNumber(interval.executions));
        s.figures.emplace_back("Buffer gets in the interval", FormatReportNumber(interval.bufferGets));
        s.figures.emplace_back("Disk reads in the interval", FormatReportNumber(interval.diskReads));
        s.figures.emplace_back("Parse calls in the interval", FormatReportNumber(interval.parseCalls));
        s.figures.emplace_back("Rows processed in the interval", FormatReportNumber(interval.rowsProcessed));
        s.figures.emplace_back("Executions per second", FormatReportNumber(interval.executionsPerSecond, 2));
        s.figures.emplace_back("Buffer gets per second", FormatReportNumber(interval.bufferGetsPerSecond, 2));
        s.figures.emplace_back("% of the interval's buffer gets", FormatReportNumber(interval.percOfBufferGets, 2));
        s.figures.emplace_back("% of the interval's disk reads", FormatReportNumber(interval.percOfDiskReads, 2));
    }
    return s;
}

void SetReportFooter(SReportModel& model) {
    model.generated = "Automatically generated " + CListExporter::Stamp(GetClock().LocalTime()) + " with:";
    model.identification = CListExporter::ProgramIdentification();
}

SReportModel BuildStatementReport(const SStatementReportSource& source) {
    SReportModel model;
    const CObjectArray& collection = *source.collection;
    FillSummaryHead(source, model.summary);
    CDetailIndex details(collection, model);
    for (const SRankingSpec& spec : kRankings)
        model.rankings.push_back(Rank(spec, source, details));

    // The charts of the desktop's panel, over the same statements and figures.
    std::vector<const CObjectEntry*> statements;
    statements.reserve(source.positions.size());
    for (CObjectArray::Index position : source.positions)
        statements.push_back(&collection[position]);
    const std::vector<std::int64_t> itemData(source.positions.begin(), source.positions.end());
    const bool interval = source.interval != nullptr;
    const StatementFigure gets = interval ? StatementFigure([](const CObjectEntry& e) { return e.Interval().bufferGets; })
                                          : StatementFigure([](const CObjectEntry& e) { return e.m_BufferGets; });
    const StatementFigure reads = interval ? StatementFigure([](const CObjectEntry& e) { return e.Interval().diskReads; })
                                           : StatementFigure([](const CObjectEntry& e) { return e.m_DiskReads; });
    const SParetoSeries getsSeries = ParetoSeriesOf(statements, itemData, gets, source.topCount);
    const SParetoSeries readsSeries = ParetoSeriesOf(statements, itemData, reads, source.topCount);
    const std::string of = interval ? " in the interval" : "";
    model.charts.push_back(ParetoChart("pareto-gets", "Top statements by buffer gets" + of, "buffer gets", getsSeries, details));
    model.charts.push_back(ParetoChart("pareto-reads", "Top statements by disk reads" + of, "disk reads", readsSeries, details));
    model.charts.push_back(GroupChart("gets-by-user", "Buffer gets by user" + of, "buffer gets",
                                      GroupSumsOf(statements, UserGroupOf, gets)));
    model.charts.push_back(GroupChart("gets-by-module", "Buffer gets by module" + of, "buffer gets",
                                      GroupSumsOf(statements, ModuleGroupOf, gets)));
    model.charts.push_back(GroupChart("gets-by-command", "Buffer gets by command type" + of, "buffer gets",
                                      GroupSumsOf(statements, [](const CObjectEntry& e) { return e.GetCommandName(); }, gets)));

    SReportSummary& summary = model.summary;
    summary.facts.emplace_back("Statements", FormatReportNumber(static_cast<double>(source.positions.size())));
    if (interval && source.interval->valid) {
        const SIntervalSummary& i = *source.interval;
        summary.facts.emplace_back("New, changed, unchanged, gone",
                                   std::to_string(i.newCount) + ", " + std::to_string(i.changedCount) + ", " +
                                       std::to_string(i.unchangedCount) + ", " + std::to_string(i.goneCount));
        summary.facts.emplace_back("Buffer gets in the interval", FormatReportNumber(i.bufferGets));
        summary.facts.emplace_back("Disk reads in the interval", FormatReportNumber(i.diskReads));
    }
    summary.facts.emplace_back("Buffer gets of the shared pool", FormatReportNumber(source.poolBufferGets));
    summary.facts.emplace_back("Disk reads of the shared pool", FormatReportNumber(source.poolDiskReads));
    for (const SReportRanking& ranking : model.rankings) {
        if (ranking.id == "elapsed-time" || ranking.id == "cpu-time" || ranking.id == "executions" ||
            ranking.id == "sharable-memory") {
            summary.facts.emplace_back(ranking.figure + " of the listed statements",
                                       FormatReportNumber(ranking.total, ranking.decimals));
        }
    }
    for (const std::string& line : {ParetoSummary(getsSeries, "buffer gets" + of), ParetoSummary(readsSeries, "disk reads" + of)})
        if (!line.empty()) summary.concentration.push_back(line);

    model.families = FamiliesByWaste(source, details);
    SetReportFooter(model);
    return model;
}

SReportModel BuildOneStatementReport(const CObjectEntry& statement, const SStatementReportSource& context) {
    SReportModel model;
    FillSummaryHead(context, model.summary);
    model.statements.push_back(ReportStatementOf(statement, "stmt-1"));
    if (context.title.empty()) {
        model.summary.title = statement.m_HasServerFigures ? "Statement " + statement.m_SqlId.str()
                                                           : "Statement at " + statement.m_Address.str();
    }
    model.summary.facts.emplace_back("Statement", StatementLabel(statement.m_SqlText, 80));
    SetReportFooter(model);
    return model;
}

}  // namespace corvid
