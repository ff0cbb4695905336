#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace corvid {

// What one report shows, in plain data: whatever fills it (a load, an interval
// between two loads, a stored window, a comparison of two windows), the writer
// turns it into the same page. Optional parts that are empty or unset are left out
// of the page with their entries in the table of contents.

// A label and its text, as a summary or a statement's figures list them.
using SReportFact = std::pair<std::string, std::string>;

struct SReportSummary {
    std::string title;     // the page's title and first heading
    std::string database;  // the database's name; empty when unknown
    std::string server;    // the connect identifier; empty for the local database
    std::string banner;    // the server's version line
    std::string user;
    std::string period;    // "Loaded Mon Dec 07 13:05:09 2026", an interval, a window
    std::vector<SReportFact> facts;         // statements, totals, ...
    std::vector<std::string> concentration;  // "The top 5 statements do 51 % of the buffer gets"
};

// A statement with a detail block; rankings, families and regressions refer to
// it by its index in SReportModel::statements.
struct SReportStatement {
    std::string anchor;  // the block's id in the page: letters, digits and "-"
    std::string label;   // its text on one line, short
    std::string sqlId;
    std::string address;
    std::string user;
    std::string command;
    std::string sqlText;
    std::string plan;        // the plan, or what the plan page says instead
    std::string planSource;  // where the plan came from; empty without one
    std::vector<SReportFact> figures;  // every figure, under its long title
};

struct SRankedRow {
    std::size_t statement = 0;
    double value = 0;
    double sharePercent = 0;       // of the ranking's total
    std::optional<double> before;  // with a comparison: the figure in the earlier period
};

// "SQL ordered by ...": the statements with the largest figure, largest first.
struct SReportRanking {
    std::string id;      // "elapsed-time": the section's anchor is "by-" + id
    std::string title;   // "SQL ordered by Elapsed Time"
    std::string figure;  // the figure's column title, "Elapsed (s)"
    std::string note;    // a sentence under the heading; may be empty
    int decimals = 0;
    double total = 0;    // the 100 % of the shares
    std::vector<SRankedRow> rows;
};

// Two periods side by side: the rankings' rows then carry `before` as well.
struct SReportComparison {
    std::string beforeLabel;  // "Mon 09:00-10:00"
    std::string afterLabel;
};

// A statement family: statements that differ only in their literals.
struct SReportFamily {
    std::string familyText;
    std::string command;
    std::string users;
    double statements = 0;
    double sharableMem = 0;
    double wastedMem = 0;  // the memory of every copy but one
    double parseCalls = 0;
    double executions = 0;
    double percOfBufferGets = 0;
    std::vector<std::size_t> members;  // its statements that have a detail block
};

// A statement that got worse between two periods.
struct SReportRegression {
    std::size_t statement = 0;
    std::string figure;  // "Buffer gets per execution"
    double before = 0;
    double after = 0;
    std::string note;    // why it counts; may be empty
};

struct SReportBar {
    std::string label;   // on the axis
    std::string title;   // the bar's tooltip and accessible name
    double value = 0;
    std::optional<double> cumulativePercent;  // Pareto charts: the running share
    std::string link;    // an anchor in the page; empty for none
};

struct SReportChart {
    std::string id;
    std::string title;
    std::string figure;
    std::string summary;  // one sentence under the chart; may be empty
    bool pareto = false;  // bars with a line of their running share
    std::vector<SReportBar> bars;
};

struct SReportSeries {
    std::string name;
    std::vector<double> values;  // one per time of the timeline
};

// A figure over time, for a window of stored loads.
struct SReportTimeline {
    std::string title;
    std::string figure;
    std::vector<std::string> times;  // the labels of the points, oldest first
    std::vector<SReportSeries> series;
};

struct SReportModel {
    SReportSummary summary;
    std::vector<SReportRanking> rankings;
    std::optional<SReportComparison> comparison;
    std::optional<std::vector<SReportFamily>> families;
    std::optional<std::vector<SReportRegression>> regressions;
    std::vector<SReportChart> charts;
    std::optional<SReportTimeline> timeline;
    std::vector<SReportStatement> statements;
    std::string generated;       // "Automatically generated ... with:"
    std::string identification;  // the program's name, version and rights, lines split by "\n"
};

}  // namespace corvid
