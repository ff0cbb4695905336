#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "collection/ObjectEntry.h"
#include "report/ReportModel.h"

namespace corvid {

class CListCtrlEx;
struct SIntervalSummary;

// Where a report of loaded statements comes from and what it says about them.
struct SStatementReportSource {
    const CObjectArray* collection = nullptr;
    // The statements the report covers (what the list shows), as positions in
    // the collection, in the list's order.
    std::vector<CObjectArray::Index> positions;
    std::string title;
    std::string database;
    std::string server;
    std::string banner;
    std::string user;
    std::optional<std::tm> loadTime;  // local time at the start of the load
    std::string serverTime;           // the server's time of the load, when the local one is not known
    double poolBufferGets = 0;        // the shared pool's totals of the load
    double poolDiskReads = 0;
    // Set: the statements' figures between two loads rank them where there are
    // any (gets, reads, executions, parse calls), and the period is the interval.
    const SIntervalSummary* interval = nullptr;
    int topCount = 20;  // statements per ranking and per Pareto chart
};

// The positions of the statements a list shows, in its order (rows whose item
// data names no statement of the collection left out).
std::vector<CObjectArray::Index> ListedPositions(const CListCtrlEx& list, const CObjectArray& collection);

// The report of the statements: summary with the load's concentration, the
// charts, the eight rankings, the statement families by waste and a detail block
// for every statement a ranking lists.
SReportModel BuildStatementReport(const SStatementReportSource& source);

// The report of one statement: the summary and its detail block.
SReportModel BuildOneStatementReport(const CObjectEntry& statement, const SStatementReportSource& context);

// The detail block of a statement: its text, plan and every figure (with its
// interval figures when it has them).
SReportStatement ReportStatementOf(const CObjectEntry& statement, std::string anchor);

// The stamp and identification lines the report ends with.
void SetReportFooter(SReportModel& model);

}  // namespace corvid
