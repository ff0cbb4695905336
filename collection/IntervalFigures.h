#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "collection/QArray.h"

namespace corvid {

class CObjectEntry;
using CObjectArray = CQArray<CObjectEntry>;

// What one statement did between the previous load and this one. A statement is
// the same in both loads when its address and first load time are equal. A
// statement new in this load, or one whose counters went down (reloaded under
// the same key), counts from zero.
struct SIntervalFigures {
    bool valid = false;  // false: no previous load to compare with
    bool isNew = false;
    double executions = 0;
    double bufferGets = 0;
    double diskReads = 0;
    double rowsProcessed = 0;
    double sorts = 0;
    double parseCalls = 0;
    double executionsPerSecond = 0;
    double bufferGetsPerSecond = 0;
    // Shares of the interval's buffer gets and disk reads of the loaded statements, in percent.
    double percOfBufferGets = 0;
    double percOfDiskReads = 0;

    // New, or any counter moved.
    bool Changed() const {
        return valid && (isNew || executions != 0 || bufferGets != 0 || diskReads != 0 || rowsProcessed != 0 ||
                         sorts != 0 || parseCalls != 0);
    }
};

// The interval between two loads as a whole.
struct SIntervalSummary {
    bool valid = false;
    std::string fromTime;  // the server times of the two loads, YYYY-MM-DD/HH24:MI:SS
    std::string toTime;
    std::int64_t seconds = 0;
    int newCount = 0;
    int changedCount = 0;  // changed and not new
    int unchangedCount = 0;
    int goneCount = 0;     // in the previous load, not in this one
    double bufferGets = 0;  // the interval's totals over the loaded statements
    double diskReads = 0;

    // "Interval 5 min 0 s (2024-03-11/12:00:00 to 2024-03-11/12:05:00): 3 new, 12 changed, 1 gone".
    std::string Describe() const;
};

// The key of a statement across loads.
std::string StatementKey(const CObjectEntry& entry);

// The condition that `column` is one of the addresses: lists of at most 1000
// literals (the server's limit for one list) joined by OR, in parentheses. Empty
// when there is no address or one is not a hexadecimal text.
std::string AddressListCondition(const std::string& column, const std::vector<std::string>& addresses);

// Seconds since 1970-01-01 of a server time written YYYY-MM-DD/HH24:MI:SS; false
// for any other text.
bool ParseServerTime(const std::string& text, std::int64_t& seconds);

// "45 s", "5 min 0 s", "2 h 3 min 4 s"; negative lengths as 0 s.
std::string FormatIntervalLength(std::int64_t seconds);

// Sets every current entry's interval figures against the previous load and
// returns the summary. The rates are per second of the servers' clock between
// the two loads (0 when it did not move forward). An index of the previous load
// the caller already holds saves building one.
class CStatementIndex;
SIntervalSummary ComputeIntervalFigures(const CObjectArray& previous, const std::string& previousServerTime,
                                        CObjectArray& current, const std::string& currentServerTime,
                                        const CStatementIndex* previousIndex = nullptr);

// Sets the rates per second over the summary's seconds (0 when it has none) and
// each entry's shares of the entries' summed buffer gets and disk reads, from
// the entries' interval counts; the sums go to the summary. Entries whose
// interval is not valid are left out.
void SetIntervalRatesAndShares(CObjectArray& entries, SIntervalSummary& summary);

// The statements of the collection that changed in the interval (new, or any
// counter moved), in collection order, with their positions in the collection.
CObjectArray ChangedStatements(const CObjectArray& collection, std::vector<CObjectArray::Index>& positions);

}  // namespace corvid
