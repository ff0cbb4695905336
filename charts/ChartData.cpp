#include "charts/ChartData.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <numeric>

#include "list/ListCtrlEx.h"
#include "platform/Utf8.h"

namespace corvid {

namespace {

std::vector<SGroupSum> LargestFirst(const std::map<std::string, SGroupSum>& groups) {
    std::vector<SGroupSum> sums;
    for (const auto& [name, sum] : groups)
        sums.push_back(sum);
    // Equal sums keep the names' order, so the chart does not shuffle between loads.
    std::stable_sort(sums.begin(), sums.end(),
                     [](const SGroupSum& a, const SGroupSum& b) { return a.value > b.value; });
    return sums;
}

void AddTo(std::map<std::string, SGroupSum>& groups, const std::string& name, double value) {
    SGroupSum& sum = groups[name];
    sum.name = name;
    sum.value += value;
    ++sum.statementCount;
}

}  // namespace

SParetoSeries ParetoSeriesOf(const std::vector<const CObjectEntry*>& statements,
                             const std::vector<std::int64_t>& itemData, const StatementFigure& figure, int topCount) {
    SParetoSeries series;
    series.statementCount = static_cast<int>(statements.size());
    std::vector<double> values(statements.size());
    for (std::size_t i = 0; i < statements.size(); ++i) {
        values[i] = figure(*statements[i]);
        series.total += values[i];
    }
    std::vector<std::size_t> order(statements.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    const std::size_t count = std::min(order.size(), static_cast<std::size_t>(std::max(topCount, 0)));
    // Only the top bars need their order; ties go to the earlier statement.
    std::partial_sort(order.begin(), order.begin() + static_cast<std::ptrdiff_t>(count), order.end(),
                      [&](std::size_t a, std::size_t b) { return values[a] > values[b] || (values[a] == values[b] && a < b); });
    double running = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const CObjectEntry& entry = *statements[order[i]];
        SParetoBar bar;
        bar.itemData = itemData[order[i]];
        bar.address = entry.m_Address;
        bar.label = StatementLabel(entry.m_SqlText);
        bar.value = values[order[i]];
        running += bar.value;
        bar.sharePercent = series.total > 0 ? bar.value * 100 / series.total : 0;
        bar.cumulativePercent = series.total > 0 ? running * 100 / series.total : 0;
        series.bars.push_back(std::move(bar));
    }
    return series;
}

std::vector<SGroupSum> GroupSumsOf(const std::vector<const CObjectEntry*>& statements, const StatementGroup& group,
                                   const StatementFigure& figure) {
    std::map<std::string, SGroupSum> groups;
    for (const CObjectEntry* entry : statements)
        AddTo(groups, group(*entry), figure(*entry));
    return LargestFirst(groups);
}

std::string UserGroupOf(const CObjectEntry& entry) {
    return entry.m_UserName.empty() ? "user #" + std::to_string(entry.m_ParsingUserId) : entry.m_UserName.str();
}

std::vector<const CObjectEntry*> ListedStatements(const CListCtrlEx& list, const CObjectArray& collection,
                                                  std::vector<std::int64_t>* itemData) {
    std::vector<const CObjectEntry*> statements;
    const int rows = list.GetItemCount();
    statements.reserve(static_cast<std::size_t>(rows));
    for (int row = 0; row < rows; ++row) {
        const CListCtrlEx::ItemData data = list.GetItemData(row);
        if (data < 0 || data >= collection.GetSize()) continue;
        statements.push_back(&collection[data]);
        if (itemData) itemData->push_back(data);
    }
    return statements;
}

SChartData ComputeChartData(const CListCtrlEx& list, const CObjectArray& collection, int topCount) {
    std::vector<std::int64_t> itemData;
    const std::vector<const CObjectEntry*> statements = ListedStatements(list, collection, &itemData);
    SChartData data;
    const StatementFigure gets = [](const CObjectEntry& entry) { return entry.m_BufferGets; };
    data.bufferGets = ParetoSeriesOf(statements, itemData, gets, topCount);
    data.diskReads = ParetoSeriesOf(statements, itemData, [](const CObjectEntry& entry) { return entry.m_DiskReads; },
                                    topCount);
    data.bufferGetsByUser = GroupSumsOf(statements, UserGroupOf, gets);
    data.bufferGetsByCommand =
        GroupSumsOf(statements, [](const CObjectEntry& entry) { return entry.GetCommandName(); }, gets);
    return data;
}

std::string ParetoSummary(const SParetoSeries& series, const std::string& figure, int count) {
    if (series.bars.empty() || series.total <= 0 || count <= 0) return std::string();
    const std::size_t n = std::min(series.bars.size(), static_cast<std::size_t>(count));
    char percent[32];
    std::snprintf(percent, sizeof percent, "%.0f", series.bars[n - 1].cumulativePercent);
    const std::string who = n == 1 ? "The top statement does " : "The top " + std::to_string(n) + " statements do ";
    return who + percent + " % of the " + figure;
}

std::string StatementLabel(const std::string& sqlText, std::size_t length) {
    std::string line;
    std::size_t characters = 0;
    bool blank = false;
    std::size_t i = 0;
    while (i < sqlText.size()) {
        const char c = sqlText[i];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            blank = !line.empty();
            ++i;
            continue;
        }
        if (characters + (blank ? 1 : 0) >= length) return line + "...";
        if (blank) {
            line += ' ';
            ++characters;
            blank = false;
        }
        std::size_t size = 1;
        if (static_cast<unsigned char>(c) >= 0x80) {
            char32_t code = 0;
            size = std::max<std::size_t>(DecodeUtf8(sqlText, i, code), 1);
        }
        line.append(sqlText, i, size);
        ++characters;
        i += size;
    }
    return line;
}

}  // namespace corvid
