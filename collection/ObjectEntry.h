#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "collection/PackedText.h"
#include "list/ListEntry.h"
#include "collection/IntervalFigures.h"
#include "collection/QArray.h"

namespace corvid {

class CTraceContext;

// One SQL statement of the server's shared pool with its statistics, its
// analysis results and the values derived from them. Held by value in the
// document's collection; a copy shares nothing it can change (only immutable
// texts), so it stays valid after the document is gone.
class CObjectEntry : public CListEntry {
public:
    CObjectEntry() = default;
    CObjectEntry(double percOfDiskReads, double percOfBufferGets, double diskReads, double bufferGets, double sorts,
                 double executions, double parseCalls, double rowsProcessed, double sharableMem, double persistentMem,
                 double runtimeMem, double loads, std::int32_t commandType, CSharedText optimizerMode,
                 std::int32_t parsingSchemaId, std::int32_t parsingUserId, CSharedText userName, CPackedText address,
                 std::string sqlText, CTimeText firstLoadTime);
    CObjectEntry(const CObjectEntry&) = default;
    CObjectEntry(CObjectEntry&&) noexcept = default;
    CObjectEntry& operator=(const CObjectEntry&) = default;
    CObjectEntry& operator=(CObjectEntry&&) noexcept = default;
    ~CObjectEntry() override = default;

    void SetPlanCost(std::int32_t cost) { m_PlanCost = cost; }
    void SetNoOfFullTableScans(std::int32_t count) { m_NoOfFullTableScans = count; }
    void SetStatus(std::int32_t status);
    void SetDistance(std::int32_t distance) { m_Distance = distance; }
    void SetSqlText(const std::string& text) { m_SqlText = text; }

    // The plan, the analysis's error message and the debug field: most entries
    // have none, and those that do keep them in a block of their own. The texts
    // are immutable and shared: a plan kept from the previous load is not copied.
    const CSharedText& SqlPlan() const;
    const CSharedText& ErrorMessage() const;
    const CSharedText& DebugField() const;
    void SetSqlPlan(CSharedText plan);
    void SetErrorMessage(CSharedText message);
    void SetDebugField(CSharedText text);
    // The figures against the previous load (not valid without one).
    const SIntervalFigures& Interval() const;
    void SetInterval(const SIntervalFigures& figures);
    SIntervalFigures& MutableInterval();

    // The statement type as text ("SELECT", "PL/SQL", ... "OTHERS").
    std::string GetCommandName() const;
    static const char* CommandName(std::int32_t commandType);

    std::string GetColumnText(StatementColumn code) const override;
    void AppendColumnText(StatementColumn code, std::string& out) const override;

    // Writes every field to the trace log, one "label=value" line each.
    virtual void Dump(CTraceContext& trace) const;
    // The text Dump writes (lines end with CR LF).
    std::string DumpText() const;

    // Members are grouped by size so that the entry carries no padding. The
    // figures of servers from 10g on (SQL ID, hash values, times in microseconds,
    // module, last active time, version count) are empty in the columns while
    // m_HasServerFigures is false (an older server).
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
    double m_ElapsedTime = 0;
    double m_CpuTime = 0;
    double m_UserIoWaitTime = 0;
    std::string m_SqlText;
    // User names, optimizer modes and modules repeat: a load shares one copy of
    // each among its statements.
    CSharedText m_UserName;
    CSharedText m_OptimizerMode;
    CSharedText m_Module;
    CTimeText m_FirstLoadTime;
    CTimeText m_LastActiveTime;
    std::int32_t m_CommandType = 0;
    std::int32_t m_ParsingSchemaId = 0;
    std::int32_t m_ParsingUserId = 0;
    std::int32_t m_PlanCost = 0;
    std::int32_t m_NoOfFullTableScans = 0;
    std::int32_t m_Distance = 0;
    CPackedText m_Address;
    CPackedText m_SqlId;
    CUnsigned32 m_HashValue;
    CUnsigned32 m_PlanHashValue;
    CUnsigned32 m_VersionCount;
    // kStatusAnalyzed, kStatusNotAnalyzed or kStatusError.
    std::int8_t m_Status = 0;
    // Where the plan came from: kPlanFromExplain or kPlanFromCursorCache.
    std::int8_t m_PlanSource = 0;
    bool m_HasServerFigures : 1 = false;
    // The analysis settled this entry's plan fields (explained, or kept from the
    // previous load), so a later load may keep them.
    bool m_Explained : 1 = false;

private:
    // Interval figures that are all zero (valid, not new: the statement did not
    // move) need no block: most statements of a reload after a short interval.
    // Beside the flags above, so that it takes no room of its own.
    bool m_UnmovedInterval : 1 = false;

    struct SExtras {
        CSharedText sqlPlan;
        CSharedText errorMessage;
        CSharedText debugField;
        SIntervalFigures interval;
    };
    // Owns the extras, or none; copies copy them.
    class CExtrasPtr {
    public:
        CExtrasPtr() noexcept = default;
        CExtrasPtr(const CExtrasPtr& other)
            : m_Extras(other.m_Extras ? std::make_unique<SExtras>(*other.m_Extras) : nullptr) {}
        CExtrasPtr(CExtrasPtr&&) noexcept = default;
        CExtrasPtr& operator=(const CExtrasPtr& other) {
            if (this != &other) m_Extras = other.m_Extras ? std::make_unique<SExtras>(*other.m_Extras) : nullptr;
            return *this;
        }
        CExtrasPtr& operator=(CExtrasPtr&&) noexcept = default;
        const SExtras* Get() const noexcept { return m_Extras.get(); }
        SExtras& Make() {
            if (!m_Extras) m_Extras = std::make_unique<SExtras>();
            return *m_Extras;
        }

    private:
        std::unique_ptr<SExtras> m_Extras;
    };

    void AppendPerExecution(double count, std::string& out) const;
    void AppendServerFigure(StatementColumn code, std::string& out) const;
    void AppendIntervalText(StatementColumn code, std::string& out) const;

    // Made for the first plan, error message, debug field or interval figures.
    CExtrasPtr m_Extras;
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
