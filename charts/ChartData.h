#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "collection/ObjectEntry.h"

namespace corvid {

class CListCtrlEx;

// One bar of a Pareto chart: a statement, its figure, its share of the figure's
// total over the listed statements, and the running share of it and every bar
// before it.
struct SParetoBar {
    std::int64_t itemData = 0;  // the list row's item data: the statement's position
    std::string address;
    std::string label;  // the start of the statement's text
    double value = 0;
    double sharePercent = 0;
    double cumulativePercent = 0;
};

// The statements with the largest figure, largest first, and the figure's total
// over every listed statement (the 100 % of the shares).
struct SParetoSeries {
    std::vector<SParetoBar> bars;
    double total = 0;
    int statementCount = 0;
};

// A figure summed over the statements of one user or one command type.
struct SGroupSum {
    std::string name;
    double value = 0;
    int statementCount = 0;
};

// What the chart panel draws, taken from the statements that the list shows.
struct SChartData {
    SParetoSeries bufferGets;
    SParetoSeries diskReads;
    std::vector<SGroupSum> bufferGetsByUser;     // largest first
    std::vector<SGroupSum> bufferGetsByCommand;  // largest first
};

// Which statements the list's rows show: each row's item data is a position in
// the collection; rows whose item data names no statement are left out.
std::vector<const CObjectEntry*> ListedStatements(const CListCtrlEx& list, const CObjectArray& collection,
                                                  std::vector<std::int64_t>* itemData = nullptr);

// A figure of a statement (its buffer gets, its gets in the interval, ...), and
// the group a statement is counted in (its user, its module, ...).
using StatementFigure = std::function<double(const CObjectEntry&)>;
using StatementGroup = std::function<std::string(const CObjectEntry&)>;

// The top `topCount` statements by a figure, largest first (ties keep the given
// order), with their shares of the figure's total over all the statements;
// itemData holds each statement's item data.
SParetoSeries ParetoSeriesOf(const std::vector<const CObjectEntry*>& statements,
                             const std::vector<std::int64_t>& itemData, const StatementFigure& figure, int topCount);
// A figure summed per group, largest first (equal sums in the groups' name order).
std::vector<SGroupSum> GroupSumsOf(const std::vector<const CObjectEntry*>& statements, const StatementGroup& group,
                                   const StatementFigure& figure);
// The group a statement's user makes: its name, "user #" and the parsing user
// id when the list does not know the name.
std::string UserGroupOf(const CObjectEntry& entry);

// The chart data of the statements the list shows: the top `topCount` statements
// by buffer gets and by disk reads (ties keep the list's order), and buffer gets
// by user and by command type. A user name the list does not know is shown as
// "user #" and the parsing user id.
SChartData ComputeChartData(const CListCtrlEx& list, const CObjectArray& collection, int topCount = 20);

// "The top 5 statements do 62 % of the buffer gets": how much of the total the
// first `count` bars carry (fewer when there are fewer bars). Empty without bars
// or without a total.
std::string ParetoSummary(const SParetoSeries& series, const std::string& figure, int count = 5);

// A statement's text on one line, blanks and line breaks collapsed, cut to `length`
// characters (UTF-8 kept whole) with "..." when longer.
std::string StatementLabel(const std::string& sqlText, std::size_t length = 40);

}  // namespace corvid
