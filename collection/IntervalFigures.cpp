#include "collection/IntervalFigures.h"

#include <cctype>

#include <cstdio>
#include <unordered_map>

#include "collection/ObjectEntry.h"
#include "collection/StatementIndex.h"

namespace corvid {

namespace {

// Days since 1970-01-01 of a date of the proleptic Gregorian calendar.
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2 ? 1 : 0;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

bool Digits(const std::string& text, std::size_t at, std::size_t count, int& value) {
    value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

}  // namespace

std::string AddressListCondition(const std::string& column, const std::vector<std::string>& addresses) {
    constexpr std::size_t kListLimit = 1000;
    if (addresses.empty()) return std::string();
    std::string condition = "(";
    condition.reserve(addresses.size() * 24 + 32);
    for (std::size_t i = 0; i < addresses.size(); ++i) {
        const std::string& address = addresses[i];
        if (address.empty()) return std::string();
        for (char c : address) {
            if (!std::isxdigit(static_cast<unsigned char>(c))) return std::string();
        }
        if (i % kListLimit == 0) {
            if (i > 0) condition += ") OR ";
            condition += column + " IN (";
        } else {
            condition += ", ";
        }
        condition += '\'';
        condition += address;
        condition += '\'';
    }
    condition += "))";
    return condition;
}

std::string StatementKey(const CObjectEntry& entry) {
    std::string key;
    key.reserve(entry.m_Address.size() + 1 + entry.m_FirstLoadTime.size());
    key += entry.m_Address;
    key += '|';
    key += entry.m_FirstLoadTime;
    return key;
}

bool ParseServerTime(const std::string& text, std::int64_t& seconds) {
    // YYYY-MM-DD/HH24:MI:SS
    if (text.size() != 19 || text[4] != '-' || text[7] != '-' || text[10] != '/' || text[13] != ':' ||
        text[16] != ':') {
        return false;
    }
    int year, month, day, hour, minute, second;
    if (!Digits(text, 0, 4, year) || !Digits(text, 5, 2, month) || !Digits(text, 8, 2, day) ||
        !Digits(text, 11, 2, hour) || !Digits(text, 14, 2, minute) || !Digits(text, 17, 2, second)) {
        return false;
    }
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 59) return false;
    seconds = DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) * 86400 + hour * 3600 +
              minute * 60 + second;
    return true;
}

std::string FormatIntervalLength(std::int64_t seconds) {
    if (seconds < 0) seconds = 0;
    const long long h = seconds / 3600, m = seconds / 60 % 60, s = seconds % 60;
    char text[64];
    if (h > 0) {
        std::snprintf(text, sizeof text, "%lld h %lld min %lld s", h, m, s);
    } else if (m > 0) {
        std::snprintf(text, sizeof text, "%lld min %lld s", m, s);
    } else {
        std::snprintf(text, sizeof text, "%lld s", s);
    }
    return text;
}

std::string SIntervalSummary::Describe() const {
    if (!valid) return std::string();
    return "Interval " + FormatIntervalLength(seconds) + " (" + fromTime + " to " + toTime +
           "): " + std::to_string(newCount) + " new, " + std::to_string(changedCount) + " changed, " +
           std::to_string(goneCount) + " gone";
}

SIntervalSummary ComputeIntervalFigures(const CObjectArray& previous, const std::string& previousServerTime,
                                        CObjectArray& current, const std::string& currentServerTime,
                                        const CStatementIndex* previousIndex) {
    SIntervalSummary summary;
    summary.valid = true;
    summary.fromTime = previousServerTime;
    summary.toTime = currentServerTime;
    std::int64_t from = 0, to = 0;
    if (ParseServerTime(previousServerTime, from) && ParseServerTime(currentServerTime, to) && to > from) {
        summary.seconds = to - from;
    }

    CStatementIndex ownIndex;
    if (previousIndex == nullptr) {
        ownIndex.Build(previous);
        previousIndex = &ownIndex;
    }
    const CStatementIndex& byKey = *previousIndex;

    std::vector<bool> seen(static_cast<std::size_t>(previous.GetSize()), false);
    for (CObjectEntry& entry : current) {
        SIntervalFigures figures;
        figures.valid = true;
        const CObjectArray::Index found = byKey.Find(entry);
        const CObjectEntry* before = nullptr;
        if (found != CStatementIndex::kNone) {
            before = &previous[found];
            seen[static_cast<std::size_t>(found)] = true;
        }
        // A counter that went down means the statement was loaded again under the same key.
        if (before != nullptr &&
            (entry.m_Executions < before->m_Executions || entry.m_BufferGets < before->m_BufferGets ||
             entry.m_DiskReads < before->m_DiskReads || entry.m_RowsProcessed < before->m_RowsProcessed ||
             entry.m_Sorts < before->m_Sorts || entry.m_ParseCalls < before->m_ParseCalls)) {
            before = nullptr;
        }
        figures.isNew = before == nullptr;
        figures.executions = entry.m_Executions - (before ? before->m_Executions : 0);
        figures.bufferGets = entry.m_BufferGets - (before ? before->m_BufferGets : 0);
        figures.diskReads = entry.m_DiskReads - (before ? before->m_DiskReads : 0);
        figures.rowsProcessed = entry.m_RowsProcessed - (before ? before->m_RowsProcessed : 0);
        figures.sorts = entry.m_Sorts - (before ? before->m_Sorts : 0);
        figures.parseCalls = entry.m_ParseCalls - (before ? before->m_ParseCalls : 0);
        entry.SetInterval(figures);
        if (figures.isNew) {
            ++summary.newCount;
        } else if (figures.Changed()) {
            ++summary.changedCount;
        } else {
            ++summary.unchangedCount;
        }
    }
    for (bool wasSeen : seen)
        summary.goneCount += wasSeen ? 0 : 1;
    SetIntervalRatesAndShares(current, summary);
    return summary;
}

void SetIntervalRatesAndShares(CObjectArray& entries, SIntervalSummary& summary) {
    summary.bufferGets = 0;
    summary.diskReads = 0;
    for (const CObjectEntry& entry : entries) {
        if (!entry.Interval().valid) continue;
        summary.bufferGets += entry.Interval().bufferGets;
        summary.diskReads += entry.Interval().diskReads;
    }
    const double seconds = static_cast<double>(summary.seconds);
    for (CObjectEntry& entry : entries) {
        // A statement that did not move keeps its rates and shares at zero.
        const SIntervalFigures& interval = entry.Interval();
        if (!interval.valid || (interval.executions == 0 && interval.bufferGets == 0 && interval.diskReads == 0))
            continue;
        SIntervalFigures& figures = entry.MutableInterval();
        figures.executionsPerSecond = summary.seconds > 0 ? figures.executions / seconds : 0;
        figures.bufferGetsPerSecond = summary.seconds > 0 ? figures.bufferGets / seconds : 0;
        figures.percOfBufferGets = summary.bufferGets > 0 ? figures.bufferGets * 100 / summary.bufferGets : 0;
        figures.percOfDiskReads = summary.diskReads > 0 ? figures.diskReads * 100 / summary.diskReads : 0;
    }
}

CObjectArray ChangedStatements(const CObjectArray& collection, std::vector<CObjectArray::Index>& positions) {
    CObjectArray changed;
    positions.clear();
    for (CObjectArray::Index i = 0; i < collection.GetSize(); ++i) {
        if (!collection[i].Interval().Changed()) continue;
        changed.Add(collection[i]);
        positions.push_back(i);
    }
    return changed;
}

}  // namespace corvid
