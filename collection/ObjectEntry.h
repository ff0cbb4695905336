#pragma once

#include <cstdint>
#include <string>

#include "collection/CompactText.h"
#include "list/ListEntry.h"
#include "collection/IntervalFigures.h"
#include "collection/QArray.h"

namespace corvid {

class CTraceContext;

// One SQL statement of the server's shared pool with its statistics, its
// analysis results and the values derived from them. Held by value in the
// document's collection; copies are deep.
class CObjectEntry : public CListEntry {
public:
    CObjectEntry() = default;
    CObjectEntry(double percOfDiskReads, double percOfBufferGets, double diskReads, double bufferGets, double sorts,
                 double executions, double parseCalls, double rowsProcessed, double sharableMem, double persistentMem,
                 double runtimeMem, double loads, std::int32_t commandType, std::string optimizerMode,
                 std::int32_t parsingSchemaId, std::int32_t parsingUserId, std::string userName, std::string address,
                 std::string sqlText, std::string firstLoadTime);
    CObjectEntry(const CObjectEntry&) = default;
    CObjectEntry(CObjectEntry&&) noexcept = default;
    CObjectEntry& operator=(const CObjectEntry& other);
    CObjectEntry& operator=(CObjectEntry&&) noexcept = default;
    ~CObjectEntry() override = default;

    void SetPlanCost(std::int32_t cost) { m_PlanCost = cost; }
    void SetNoOfFullTableScans(std::int32_t count) { m_NoOfFullTableScans = count; }
    void SetSqlPlan(const std::string& plan) { m_SqlPlan = plan; }
    void SetStatus(std::int32_t status) { m_Status = status; }
    void SetErrorMessage(const std::string& message) { itsErrorMessage = message; }
    void SetDistance(std::int32_t distance) { m_Distance = distance; }
    void SetSqlText(const std::string& text) { m_SqlText = text; }

    // The statement type as text ("SELECT", "PL/SQL", ... "OTHERS").
    std::string GetCommandName() const;
    static const char* CommandName(std::int32_t commandType);

    std::string GetColumnText(StatementColumn code) const override;
    void AppendColumnText(StatementColumn code, std::string& out) const override;

    // Writes every field to the trace log, one "label=value" line each.
    virtual void Dump(CTraceContext& trace) const;
    // The text Dump writes (lines end with CR LF).
    std::string DumpText() const;

    // Members are grouped by size so that the entry carries no padding.
    double m_PercOfDiskReads = 0;
    double m_PercOfBufferGets = 0;
    double m_DiskReads = 0;
    double m_BufferGets = 0;
    double m_Sorts = 0;
    double m_Executions = 0;
    double m_ParseCalls = 0;
    double m_RowsProcessed = 0;
    double m_SharableMem = 0;
    double m_PersistentMem = 0;
    double m_RuntimeMem = 0;
    double m_Loads = 0;
    std::int32_t m_CommandType = 0;
    std::int32_t m_ParsingSchemaId = 0;
    std::int32_t m_ParsingUserId = 0;
    std::int32_t m_PlanCost = 0;
    std::int32_t m_NoOfFullTableScans = 0;
    std::int32_t m_Distance = 0;
    std::int32_t m_Status = 0;
    // Where the plan came from: kPlanFromExplain or kPlanFromCursorCache.
    std::int32_t m_PlanSource = 0;
    CCompactText m_OptimizerMode;
    std::string m_UserName;
    CCompactText m_Address;
    std::string m_SqlText;
    CCompactText m_FirstLoadTime;
    std::string m_SqlPlan;
    std::string itsErrorMessage;
    CCompactText m_DebugField;
    // Against the previous load; set after a load that has one.
    SIntervalFigures m_Interval;

    // The figures of servers from 10g on; the columns showing them are empty
    // while m_HasServerFigures is false (an older server). Times in microseconds.
    CCompactText m_SqlId;
    double m_HashValue = 0;
    double m_PlanHashValue = 0;
    double m_ElapsedTime = 0;
    double m_CpuTime = 0;
    double m_UserIoWaitTime = 0;
    double m_VersionCount = 0;
    CCompactText m_Module;
    CCompactText m_LastActiveTime;
    bool m_HasServerFigures = false;
    // The analysis settled this entry's plan fields (explained, or kept from the
    // previous load), so a later load may keep them.
    bool m_Explained = false;

private:
    void AppendPerExecution(double count, std::string& out) const;
    void AppendServerFigure(StatementColumn code, std::string& out) const;
    void AppendIntervalText(StatementColumn code, std::string& out) const;
};

inline constexpr std::int32_t kPlanFromExplain = 0;
inline constexpr std::int32_t kPlanFromCursorCache = 1;

using CObjectArray = CQArray<CObjectEntry>;

// The position of the statement with that SQL ID (any case), or -1. Statements
// from a server without SQL IDs have none.
CObjectArray::Index FindStatementBySqlId(const CObjectArray& collection, const std::string& sqlId);

// A count as the list shows it (truncated toward zero, in decimal), and a
// percentage (two decimals, at least three characters), appended to `out`.
void AppendListCount(double value, std::string& out);
void AppendListPercent(double value, std::string& out);

// Writes the whole collection to the trace log: a count line, then each entry's
// dump under "CObjectEntry # i:", then flushes the log.
void DumpCollection(const CObjectArray& collection, CTraceContext& trace);
// The text DumpCollection writes.
std::string CollectionDumpText(const CObjectArray& collection);

}  // namespace corvid
