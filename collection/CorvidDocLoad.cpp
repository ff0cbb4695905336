// The load job's first three phases: counting, the statements and their texts.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <new>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "collection/AddressTable.h"
#include "collection/CorvidDoc.h"
#include "collection/OutOfMemory.h"
#include "collection/SqlCmdEntry.h"
#include "diag/TraceContext.h"
#include "oracle/OracleConnection.h"
#include "oracle/OciTypes.h"
#include "oracle/OracleCursor.h"

namespace corvid {

namespace {

// Rows per fetch call.
constexpr int kFetchRows = 100;
// An address of a 64-bit server has 16 hexadecimal characters, of a 32-bit one 8.
constexpr int kAddressSize = 17;
constexpr int kOptimizerModeSize = 26;
constexpr int kFirstLoadTimeSize = 20;
constexpr int kTextPieceSize = 65;
constexpr int kSqlIdSize = 14;
constexpr int kModuleSize = 193;  // 64 characters of up to three bytes
constexpr int kLastActiveTimeSize = 20;

constexpr const char* kCountBase =
    "/* $CORVID$ */ SELECT COUNT(1) FROM sys.v_$sqlarea s WHERE  s.sql_text NOT LIKE '%/* $CORVID$ */%'";
// The server's clock comes with the totals, so that two loads measure their
// interval in the server's time.
constexpr const char* kTotalsStatement =
    "/* $CORVID$ */ SELECT SUM(buffer_gets), SUM(disk_reads), TO_CHAR(SYSDATE, 'YYYY-MM-DD/HH24:MI:SS') FROM   "
    "sys.v_$sqlarea WHERE  sql_text NOT LIKE '%/* $CORVID$ */%' ";
constexpr int kServerTimeSize = 20;
constexpr const char* kLoadHead = "/* $CORVID$ */ SELECT ";
constexpr const char* kLoadTail = " FROM   sys.v_$sqlarea s WHERE  s.sql_text NOT LIKE '%/* $CORVID$ */%'";
// After a load, the keys of the statements the next load lists, with the figures
// that can move without an execution: parse calls, and the memory and child
// cursors the server frees from idle statements...
constexpr const char* kKeysStatement =
    "/* $CORVID$ */ SELECT s.address, s.first_load_time, s.parse_calls, s.sharable_mem, s.version_count FROM   "
    "sys.v_$sqlarea s WHERE  s.sql_text NOT LIKE '%/* $CORVID$ */%'";
// ...and the condition that picks the statements active since the previous load.
// The time is bound as a DATE: the server compares it without converting it for every row.
constexpr const char* kActiveSince = "s.last_active_time >= :since";
// The texts of the statements with the addresses that follow.
constexpr const char* kTextListed =
    "/* $CORVID$ */ SELECT t.address, t.sql_text FROM   sys.v_$sqltext_with_newlines t WHERE  ";
constexpr const char* kTextBase =
    "/* $CORVID$ */ SELECT t.address, t.sql_text FROM   sys.v_$sqltext_with_newlines t WHERE  t.address IN (       "
    "SELECT  s.address        FROM    sys.v_$sqlarea s        WHERE   s.sql_text NOT LIKE '%/* $CORVID$ */%' ";

std::string Format(const char* format, long value) {
    char text[96];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// A row's text from a fixed-size zero-terminated buffer; NULL is empty.
std::string_view TextAt(const char* buffers, int size, int row, const short* indicators) {
    if (indicators[row] == -1) return std::string_view();
    const char* text = buffers + static_cast<std::size_t>(row) * size;
    return std::string_view(text, strnlen(text, size));
}

template <typename T>
void Allocate(std::vector<T>& buffer, std::size_t count) {
    try {
        buffer.assign(count, T());
    } catch (const std::bad_alloc&) {
        OutOfMemory();
    }
}

// How a column of the statement load is fetched.
enum class EFetch { Number, Integer, Text };

// One column of the statement load: its select expression and fetch buffer.
// The define position is the column's place in kLoadColumns, counted from 1.
struct SLoadColumn {
    const char* expression;
    EFetch fetch;
    int textSize;       // Text only: buffer bytes per row, with the terminating zero
    bool serverFigure;  // read only from a server that has the figures of 10g on
};

// The columns of the statement load, in select order; ELoadColumn names each.
enum ELoadColumn {
    kLoadDiskReads,
    kLoadBufferGets,
    kLoadSorts,
    kLoadExecutions,
    kLoadParseCalls,
    kLoadRowsProcessed,
    kLoadSharableMem,
    kLoadPersistentMem,
    kLoadRuntimeMem,
    kLoadLoads,
    kLoadCommandType,
    kLoadOptimizerMode,
    kLoadParsingSchemaId,
    kLoadParsingUserId,
    kLoadAddress,
    kLoadFirstLoadTime,
    kLoadSqlId,
    kLoadHashValue,
    kLoadPlanHashValue,
    kLoadElapsedTime,
    kLoadCpuTime,
    kLoadUserIoWaitTime,
    kLoadModule,
    kLoadLastActiveTime,
    kLoadVersionCount,
    kLoadColumnCount
};

constexpr SLoadColumn kLoadColumns[] = {
    {"s.disk_reads", EFetch::Number, 0, false},
    {"s.buffer_gets", EFetch::Number, 0, false},
    {"s.sorts", EFetch::Number, 0, false},
    {"s.executions", EFetch::Number, 0, false},
    {"s.parse_calls", EFetch::Number, 0, false},
    {"s.rows_processed", EFetch::Number, 0, false},
    {"s.sharable_mem", EFetch::Number, 0, false},
    {"s.persistent_mem", EFetch::Number, 0, false},
    {"s.runtime_mem", EFetch::Number, 0, false},
    {"s.loads", EFetch::Number, 0, false},
    {"s.command_type", EFetch::Integer, 0, false},
    {"s.optimizer_mode", EFetch::Text, kOptimizerModeSize, false},
    {"s.parsing_schema_id", EFetch::Integer, 0, false},
    {"s.parsing_user_id", EFetch::Integer, 0, false},
    {"s.address", EFetch::Text, kAddressSize, false},
    {"s.first_load_time", EFetch::Text, kFirstLoadTimeSize, false},
    {"s.sql_id", EFetch::Text, kSqlIdSize, true},
    {"s.hash_value", EFetch::Number, 0, true},
    {"s.plan_hash_value", EFetch::Number, 0, true},
    {"s.elapsed_time", EFetch::Number, 0, true},
    {"s.cpu_time", EFetch::Number, 0, true},
    {"s.user_io_wait_time", EFetch::Number, 0, true},
    {"s.module", EFetch::Text, kModuleSize, true},
    {"TO_CHAR(s.last_active_time, 'YYYY-MM-DD/HH24:MI:SS')", EFetch::Text, kLastActiveTimeSize, true},
    {"s.version_count", EFetch::Number, 0, true},
};
static_assert(std::size(kLoadColumns) == kLoadColumnCount, "every load column is named once");

int ElementSize(const SLoadColumn& column) {
    switch (column.fetch) {
    case EFetch::Number:
        return sizeof(double);
    case EFetch::Integer:
        return sizeof(std::int32_t);
    case EFetch::Text:
        return column.textSize;
    }
    return 0;
}

int FetchType(EFetch fetch) {
    switch (fetch) {
    case EFetch::Number:
        return oci::SQLT_FLT;
    case EFetch::Integer:
        return oci::SQLT_INT;
    case EFetch::Text:
        return oci::SQLT_STR;
    }
    return oci::SQLT_STR;
}

// The fetch buffers of the statement load: 100 rows per column, with indicators.
class CStatementBuffers {
public:
    CStatementBuffers() {
        for (int c = 0; c < kLoadColumnCount; ++c) {
            Allocate(m_values[c], static_cast<std::size_t>(kFetchRows) * ElementSize(kLoadColumns[c]));
            Allocate(m_indicators[c], kFetchRows);
        }
    }

    // Defines the columns the statement selects, in select order.
    void DefineAll(COracleCursor& cursor, bool serverFigures) {
        int position = 0;
        for (int c = 0; c < kLoadColumnCount; ++c) {
            if (kLoadColumns[c].serverFigure && !serverFigures) continue;
            cursor.Define(++position, m_values[c].data(), ElementSize(kLoadColumns[c]),
                          FetchType(kLoadColumns[c].fetch), m_indicators[c].data());
        }
    }

    double Number(ELoadColumn column, int row) const {
        double value = 0;
        if (!IsNull(column, row)) std::memcpy(&value, Cell(column, row), sizeof value);
        return value;
    }
    std::int32_t Integer(ELoadColumn column, int row) const {
        std::int32_t value = 0;
        if (!IsNull(column, row)) std::memcpy(&value, Cell(column, row), sizeof value);
        return value;
    }
    // Valid until the next fetch.
    std::string_view Text(ELoadColumn column, int row) const {
        return TextAt(m_values[column].data(), kLoadColumns[column].textSize, row, m_indicators[column].data());
    }

private:
    bool IsNull(ELoadColumn column, int row) const { return m_indicators[column][row] == -1; }
    const char* Cell(ELoadColumn column, int row) const {
        return m_values[column].data() + static_cast<std::size_t>(row) * ElementSize(kLoadColumns[column]);
    }

    std::vector<char> m_values[kLoadColumnCount];
    std::vector<short> m_indicators[kLoadColumnCount];
};

// The texts a load's statements share: one copy of each user name, optimizer
// mode and module.
struct SSharedTexts {
    std::unordered_map<std::int32_t, CSharedText> userNames;
    CTextInterner labels;
};

// The first user of each id gives the statement's user name.
SSharedTexts SharedTextsOf(const CUserArray& users) {
    SSharedTexts shared;
    shared.userNames.reserve(static_cast<std::size_t>(users.GetSize()));
    for (const CUserEntry& user : users)
        shared.userNames.emplace(user.GetUserId(), user.GetUserName());
    return shared;
}

CSharedText UserNameOf(const SSharedTexts& shared, std::int32_t userId) {
    const auto user = shared.userNames.find(userId);
    return user != shared.userNames.end() ? user->second : CSharedText();
}

// A server time "YYYY-MM-DD/HH24:MI:SS" in Oracle's 7-byte DATE form.
bool OracleDate(const std::string& text, unsigned char out[7]) {
    std::int64_t seconds = 0;
    if (!ParseServerTime(text, seconds)) return false;
    const auto number = [&text](std::size_t at, std::size_t digits) {
        int value = 0;
        for (std::size_t i = at; i < at + digits; ++i)
            value = value * 10 + (text[i] - '0');
        return value;
    };
    const int year = number(0, 4);
    out[0] = static_cast<unsigned char>(year / 100 + 100);
    out[1] = static_cast<unsigned char>(year % 100 + 100);
    out[2] = static_cast<unsigned char>(number(5, 2));
    out[3] = static_cast<unsigned char>(number(8, 2));
    out[4] = static_cast<unsigned char>(number(11, 2) + 1);
    out[5] = static_cast<unsigned char>(number(14, 2) + 1);
    out[6] = static_cast<unsigned char>(number(17, 2) + 1);
    return true;
}

// Whether a statement of the previous load that has not run since still has the
// figures that move without a run.
bool Unmoved(const CObjectEntry& before, double parseCalls, double sharableMem, double versionCount) {
    return before.m_ParseCalls == parseCalls && before.m_SharableMem == sharableMem &&
           static_cast<double>(before.m_VersionCount) == versionCount;
}

double PercentOf(double value, double total) {
    return total > 0 ? value * 100 / total : 0;
}

// The statement of one fetched row, without its text.
CObjectEntry EntryOfRow(const CStatementBuffers& buffers, int r, double totalBufferGets, double totalDiskReads,
                        SSharedTexts& shared, bool serverFigures) {
    const double diskReads = buffers.Number(kLoadDiskReads, r);
    const double bufferGets = buffers.Number(kLoadBufferGets, r);
    const std::int32_t userId = buffers.Integer(kLoadParsingUserId, r);
    CObjectEntry entry(PercentOf(diskReads, totalDiskReads), PercentOf(bufferGets, totalBufferGets), diskReads,
                       bufferGets, buffers.Number(kLoadSorts, r), buffers.Number(kLoadExecutions, r),
                       buffers.Number(kLoadParseCalls, r), buffers.Number(kLoadRowsProcessed, r),
                       buffers.Number(kLoadSharableMem, r), buffers.Number(kLoadPersistentMem, r),
                       buffers.Number(kLoadRuntimeMem, r), buffers.Number(kLoadLoads, r),
                       buffers.Integer(kLoadCommandType, r), shared.labels.Intern(buffers.Text(kLoadOptimizerMode, r)),
                       buffers.Integer(kLoadParsingSchemaId, r), userId, UserNameOf(shared, userId),
                       buffers.Text(kLoadAddress, r), std::string(), buffers.Text(kLoadFirstLoadTime, r));
    if (serverFigures) {
        entry.m_HasServerFigures = true;
        entry.m_SqlId = buffers.Text(kLoadSqlId, r);
        entry.m_HashValue = buffers.Number(kLoadHashValue, r);
        entry.m_PlanHashValue = buffers.Number(kLoadPlanHashValue, r);
        entry.m_ElapsedTime = buffers.Number(kLoadElapsedTime, r);
        entry.m_CpuTime = buffers.Number(kLoadCpuTime, r);
        entry.m_UserIoWaitTime = buffers.Number(kLoadUserIoWaitTime, r);
        entry.m_Module = shared.labels.Intern(buffers.Text(kLoadModule, r));
        entry.m_LastActiveTime = buffers.Text(kLoadLastActiveTime, r);
        entry.m_VersionCount = buffers.Number(kLoadVersionCount, r);
    }
    return entry;
}

// A statement of the previous load that has not run since, as a load would read
// it now: its figures and text, the shares of today's totals, and its analysis
// only when the analysis would keep it anyway.
// With its analysis, the statement is taken from the previous load rather than
// copied: the previous entry keeps its key and figures for the interval, and gets
// the rest back should this load not complete.
CObjectEntry CarriedEntry(CObjectEntry& before, double totalBufferGets, double totalDiskReads,
                          const SSharedTexts& shared, bool keepAnalysis) {
    CObjectEntry entry = keepAnalysis ? CObjectEntry(std::move(before)) : CObjectEntry(before);
    if (keepAnalysis) {
        before.m_Address = entry.m_Address;
        before.m_FirstLoadTime = entry.m_FirstLoadTime;
    }
    entry.m_PercOfDiskReads = PercentOf(before.m_DiskReads, totalDiskReads);
    entry.m_PercOfBufferGets = PercentOf(before.m_BufferGets, totalBufferGets);
    entry.m_UserName = UserNameOf(shared, before.m_ParsingUserId);
    entry.SetInterval(SIntervalFigures());
    entry.m_Distance = 0;
    if (!keepAnalysis) {
        entry.SetSqlPlan(std::string());
        entry.SetPlanCost(0);
        entry.SetNoOfFullTableScans(0);
        entry.SetStatus(kStatusAnalyzed);
        entry.SetErrorMessage(std::string());
        entry.m_Explained = false;
        entry.m_PlanSource = kPlanFromExplain;
    }
    return entry;
}

}  // namespace

std::string CCorvidDoc::BuildCountStatement() const {
    return AppendFilterFragments(kCountBase, m_UserList, m_Filter, m_ServerFeatures.sqlAreaFigures);
}

std::string CCorvidDoc::BuildLoadStatement() const {
    std::string statement = kLoadHead;
    for (int c = 0; c < kLoadColumnCount; ++c) {
        if (kLoadColumns[c].serverFigure && !m_ServerFeatures.sqlAreaFigures) continue;
        if (c > 0) statement += ", ";
        statement += kLoadColumns[c].expression;
    }
    statement += kLoadTail;
    return AppendFilterFragments(statement, m_UserList, m_Filter, m_ServerFeatures.sqlAreaFigures);
}

std::string CCorvidDoc::BuildTextStatement() const {
    return AppendFilterFragments(kTextBase, m_UserList, m_Filter, m_ServerFeatures.sqlAreaFigures) + ") ORDER BY address, piece";
}

std::int32_t CCorvidDoc::CountStatements() {
    COracleCursor cursor(*m_connection);
    cursor.Parse(BuildCountStatement());
    m_Filter.BindConditions(cursor, m_ServerFeatures.sqlAreaFigures);
    std::int32_t count = 0;
    short indicator = 0;
    cursor.Define(1, &count, sizeof count, oci::SQLT_INT, &indicator);
    cursor.ExecuteAndFetch(1);
    return indicator == -1 ? 0 : count;
}

void CCorvidDoc::ComputeTotals(double& totalBufferGets, double& totalDiskReads) {
    COracleCursor cursor(*m_connection);
    cursor.Parse(kTotalsStatement);
    totalBufferGets = 0;
    totalDiskReads = 0;
    short indicators[3] = {0, 0, 0};
    char serverTime[kServerTimeSize] = {};
    cursor.Define(1, &totalBufferGets, sizeof totalBufferGets, oci::SQLT_FLT, &indicators[0]);
    cursor.Define(2, &totalDiskReads, sizeof totalDiskReads, oci::SQLT_FLT, &indicators[1]);
    cursor.Define(3, serverTime, kServerTimeSize, oci::SQLT_STR, &indicators[2]);
    cursor.ExecuteAndFetch(1);
    if (indicators[0] == -1) totalBufferGets = 0;
    if (indicators[1] == -1) totalDiskReads = 0;
    m_ServerTime = std::string(TextAt(serverTime, kServerTimeSize, 0, &indicators[2]));
}

void CCorvidDoc::LoadStatements(bool changesOnly) {
    ProgressNote("Computing execution totals...");
    double totalBufferGets = 0;
    double totalDiskReads = 0;
    ComputeTotals(totalBufferGets, totalDiskReads);
    m_TotalBufferGets = totalBufferGets;
    m_TotalDiskReads = totalDiskReads;
    ProgressNote("Loading sql statements from sga...");
    m_ObjectList.RemoveAll();
    m_KeptAnalysis.clear();
    m_familiesCurrent = false;
    m_FamilyFilter = -1;
    SSharedTexts shared = SharedTextsOf(m_UserList);

    CTraceContext* trace = TraceAt(15);
    if (!changesOnly || !LoadChangedStatements(totalBufferGets, totalDiskReads)) {
        if (changesOnly) {
            // The changes could not be told apart: the whole list is read.
            m_ObjectList.RemoveAll();
            m_KeptAnalysis.clear();
            m_ProgressCount = 0;
            m_ProgressTotal = static_cast<std::int32_t>(std::min<std::int64_t>(3LL * CountStatements(), INT32_MAX));
        }
        const bool serverFigures = m_ServerFeatures.sqlAreaFigures;
        CStatementBuffers buffers;
        COracleCursor cursor(*m_connection);
        cursor.Parse(BuildLoadStatement());
        m_Filter.BindConditions(cursor, m_ServerFeatures.sqlAreaFigures);
        buffers.DefineAll(cursor, serverFigures);
        cursor.Execute(0);

        m_ObjectList.Reserve(m_ProgressTotal / 3);
        int delivered = 0;
        do {
            delivered = 0;
            cursor.Fetch(kFetchRows, &delivered);
            for (int r = 0; r < delivered; ++r) {
                if (m_progress != nullptr &&
                    !ProgressStep(Format("Loading sql statement %ld from sga...",
                                         static_cast<long>(m_ObjectList.GetSize()) + 1))) {
                    return;
                }
                CObjectEntry entry = EntryOfRow(buffers, r, totalBufferGets, totalDiskReads, shared, serverFigures);
                if (trace != nullptr) {
                    trace->WriteLine("");
                    trace->WriteLine("INSERTING NEW OBJECT:");
                    trace->WriteLine("anActualArraySize = " + std::to_string(delivered));
                    trace->WriteLine("aRow = " + std::to_string(r));
                    entry.Dump(*trace);
                }
                m_ObjectList.Add(std::move(entry));
            }
        } while (delivered == kFetchRows);
    }

    if (trace != nullptr) {
        trace->WriteLine("");
        trace->WriteLine("CONTENTS OF THE COLLECTION OF SQL STATEMENTS:");
        DumpCollection(m_ObjectList, *trace);
    }
}

bool CCorvidDoc::LoadChangedStatements(double totalBufferGets, double totalDiskReads) {
    // A server clock that went back says nothing of what ran since.
    std::int64_t since = 0, now = 0;
    if (!ParseServerTime(m_PreviousServerTime, since) || !ParseServerTime(m_ServerTime, now) || now < since)
        return false;
    // The keys of every statement the list holds, in the order a whole load reads them.
    struct SKeyRow {
        std::uint32_t address, addressSize, firstLoadTime, firstLoadTimeSize;
        double parseCalls, sharableMem, versionCount;
    };
    std::vector<SKeyRow> keys;
    std::string keyText;
    {
        std::vector<char> addresses, firstLoadTimes;
        std::vector<double> parseCalls, sharableMem, versionCount;
        std::vector<short> indicators[5];
        Allocate(addresses, static_cast<std::size_t>(kFetchRows) * kAddressSize);
        Allocate(firstLoadTimes, static_cast<std::size_t>(kFetchRows) * kFirstLoadTimeSize);
        Allocate(parseCalls, kFetchRows);
        Allocate(sharableMem, kFetchRows);
        Allocate(versionCount, kFetchRows);
        for (std::vector<short>& column : indicators)
            Allocate(column, kFetchRows);
        COracleCursor cursor(*m_connection);
        cursor.Parse(AppendFilterFragments(kKeysStatement, m_UserList, m_Filter, m_ServerFeatures.sqlAreaFigures));
        m_Filter.BindConditions(cursor, m_ServerFeatures.sqlAreaFigures);
        cursor.Define(1, addresses.data(), kAddressSize, oci::SQLT_STR, indicators[0].data());
        cursor.Define(2, firstLoadTimes.data(), kFirstLoadTimeSize, oci::SQLT_STR, indicators[1].data());
        cursor.Define(3, parseCalls.data(), sizeof(double), oci::SQLT_FLT, indicators[2].data());
        cursor.Define(4, sharableMem.data(), sizeof(double), oci::SQLT_FLT, indicators[3].data());
        cursor.Define(5, versionCount.data(), sizeof(double), oci::SQLT_FLT, indicators[4].data());
        cursor.Execute(0);
        keys.reserve(static_cast<std::size_t>(m_PreviousList.GetSize()) + 1024);
        keyText.reserve(keys.capacity() * (kAddressSize + kFirstLoadTimeSize));
        int delivered = 0;
        do {
            delivered = 0;
            cursor.Fetch(kFetchRows, &delivered);
            if (!ProgressNote("Loading sql statements from sga...")) return true;
            for (int r = 0; r < delivered; ++r) {
                const std::string_view address = TextAt(addresses.data(), kAddressSize, r, indicators[0].data());
                const std::string_view firstLoadTime =
                    TextAt(firstLoadTimes.data(), kFirstLoadTimeSize, r, indicators[1].data());
                SKeyRow row{static_cast<std::uint32_t>(keyText.size()), static_cast<std::uint32_t>(address.size()), 0,
                            static_cast<std::uint32_t>(firstLoadTime.size()),
                            indicators[2][r] == -1 ? 0.0 : parseCalls[r],
                            indicators[3][r] == -1 ? 0.0 : sharableMem[r],
                            indicators[4][r] == -1 ? 0.0 : versionCount[r]};
                keyText.append(address);
                row.firstLoadTime = static_cast<std::uint32_t>(keyText.size());
                keyText.append(firstLoadTime);
                keys.push_back(row);
            }
        } while (delivered == kFetchRows);
    }
    m_ProgressTotal = static_cast<std::int32_t>(std::min<std::int64_t>(3LL * static_cast<std::int64_t>(keys.size()),
                                                                       INT32_MAX));
    const auto addressOf = [&](const SKeyRow& row) {
        return std::string_view(keyText).substr(row.address, row.addressSize);
    };
    const auto firstLoadTimeOf = [&](const SKeyRow& row) {
        return std::string_view(keyText).substr(row.firstLoadTime, row.firstLoadTimeSize);
    };

    // The statements that ran since the previous load, read whole.
    SSharedTexts shared = SharedTextsOf(m_UserList);
    const bool serverFigures = m_ServerFeatures.sqlAreaFigures;
    // Statements of the load's columns, by a query with the load's filter and, for
    // the active ones, the previous load's time; false when the user cancelled.
    const auto readRows = [&](const std::string& statement, unsigned char* since, CObjectArray& into) {
        CStatementBuffers buffers;
        COracleCursor cursor(*m_connection);
        cursor.Parse(statement);
        m_Filter.BindConditions(cursor, m_ServerFeatures.sqlAreaFigures);
        if (since != nullptr) cursor.Bind(":since", since, 7, oci::SQLT_DAT);
        buffers.DefineAll(cursor, serverFigures);
        cursor.Execute(0);
        int delivered = 0;
        do {
            delivered = 0;
            cursor.Fetch(kFetchRows, &delivered);
            if (!ProgressNote("Loading sql statements from sga...")) return false;
            for (int r = 0; r < delivered; ++r)
                into.Add(EntryOfRow(buffers, r, totalBufferGets, totalDiskReads, shared, serverFigures));
        } while (delivered == kFetchRows);
        return true;
    };
    CObjectArray active;
    {
        unsigned char since[7];
        if (!OracleDate(m_PreviousServerTime, since)) return false;
        std::string statement = BuildLoadStatement();
        AppendFragment(statement, kActiveSince);
        if (!readRows(statement, since, active)) return true;
    }

    // Each listed statement: read just now if it ran, else the previous load's if
    // its parse count stands, else to be read by its address.
    CStatementIndex activeIndex;
    activeIndex.Build(active);
    std::vector<char> taken(static_cast<std::size_t>(active.GetSize()), 0);
    std::vector<std::size_t> unresolved;
    // A cancelled load keeps what it has read, never a statement still to be read.
    const auto dropUnread = [&] {
        for (auto i = unresolved.rbegin(); i != unresolved.rend(); ++i) {
            if (*i >= static_cast<std::size_t>(m_ObjectList.GetSize())) continue;
            m_ObjectList.RemoveAt(static_cast<CObjectArray::Index>(*i));
            m_KeptAnalysis.erase(m_KeptAnalysis.begin() + static_cast<std::ptrdiff_t>(*i));
            m_TakenFrom.erase(m_TakenFrom.begin() + static_cast<std::ptrdiff_t>(*i));
        }
        m_KeptAnalysis.resize(static_cast<std::size_t>(m_ObjectList.GetSize()));
        m_TakenFrom.resize(static_cast<std::size_t>(m_ObjectList.GetSize()), CStatementIndex::kNone);
    };
    m_ObjectList.Reserve(static_cast<CObjectArray::Index>(keys.size() + 16));
    m_KeptAnalysis.assign(keys.size(), 0);
    m_TakenFrom.assign(keys.size(), CStatementIndex::kNone);
    long kept = 0;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (m_progress != nullptr &&
            !ProgressStep(Format("Loading sql statement %ld from sga...", static_cast<long>(i) + 1))) {
            dropUnread();
            return true;
        }
        // Packed once for both lookups, as the entries hold their keys.
        const CPackedText address(addressOf(keys[i]));
        const CTimeText firstLoadTime(firstLoadTimeOf(keys[i]));
        const CObjectArray::Index found = activeIndex.FindKey(address, firstLoadTime);
        if (found != CStatementIndex::kNone && taken[static_cast<std::size_t>(found)] == 0) {
            taken[static_cast<std::size_t>(found)] = 1;
            m_ObjectList.Add(std::move(active[found]));
            continue;
        }
        const CObjectArray::Index at = m_PreviousIndex.FindKey(address, firstLoadTime);
        if (at != CStatementIndex::kNone && Unmoved(m_PreviousList[at], keys[i].parseCalls, keys[i].sharableMem,
                                                    keys[i].versionCount)) {
            const bool keepAnalysis = AnalysisKeptFor(m_PreviousList[at]);
            m_KeptAnalysis[i] = keepAnalysis ? 1 : 0;
            if (keepAnalysis) m_TakenFrom[i] = at;
            m_ObjectList.Add(CarriedEntry(m_PreviousList[at], totalBufferGets, totalDiskReads, shared, keepAnalysis));
            ++kept;
            continue;
        }
        unresolved.push_back(i);
        m_ObjectList.Add(CObjectEntry());  // filled below
    }
    if (!unresolved.empty()) {
        std::vector<std::string> listed;
        listed.reserve(unresolved.size());
        for (std::size_t i : unresolved)
            listed.emplace_back(addressOf(keys[i]));
        const std::string condition = AddressListCondition("s.address", listed);
        if (unresolved.size() > kMaxListedStatements || condition.empty()) {
            ReturnTakenStatements();
            m_KeptAnalysis.clear();
            return false;
        }
        std::string statement = BuildLoadStatement();
        AppendFragment(statement, condition);
        CObjectArray read;
        if (!readRows(statement, nullptr, read)) {
            dropUnread();
            return true;
        }
        CStatementIndex readIndex;
        readIndex.Build(read);
        // A statement that left the pool meanwhile stays out.
        std::vector<char> gone(keys.size(), 0);
        bool anyGone = false;
        for (std::size_t i : unresolved) {
            const CObjectArray::Index found = readIndex.Find(addressOf(keys[i]), firstLoadTimeOf(keys[i]));
            if (found == CStatementIndex::kNone) {
                gone[i] = 1;
                anyGone = true;
                continue;
            }
            m_ObjectList[static_cast<CObjectArray::Index>(i)] = std::move(read[found]);
        }
        if (anyGone) {
            for (std::size_t i = keys.size(); i-- > 0;) {
                if (gone[i] == 0) continue;
                m_ObjectList.RemoveAt(static_cast<CObjectArray::Index>(i));
                m_KeptAnalysis.erase(m_KeptAnalysis.begin() + static_cast<std::ptrdiff_t>(i));
                m_TakenFrom.erase(m_TakenFrom.begin() + static_cast<std::ptrdiff_t>(i));
            }
        }
    }

    CTraceContext* trace = TraceAt(15);
    // A statement that entered the pool between the two queries ran since the
    // previous load: it is listed after the others.
    for (CObjectArray::Index i = 0; i < active.GetSize(); ++i) {
        if (taken[static_cast<std::size_t>(i)] != 0) continue;
        m_ObjectList.Add(std::move(active[i]));
        m_KeptAnalysis.push_back(0);
        m_TakenFrom.push_back(CStatementIndex::kNone);
    }
    if (trace != nullptr) {
        for (const CObjectEntry& entry : m_ObjectList) {
            trace->WriteLine("");
            trace->WriteLine("INSERTING NEW OBJECT:");
            entry.Dump(*trace);
        }
    }
    if (CTraceContext* level1 = TraceAt(1)) {
        *level1 << "Statements kept from the previous load = [" << std::to_string(kept) << "], read = ["
                << std::to_string(m_ObjectList.GetSize() - kept) << "]\r\n";
    }
    return true;
}

void CCorvidDoc::LoadSqlText() {
    ProgressNote("Loading sql text from sga...");
    // A statement of the previous load (same address and first load time) has the
    // same text: only the others' are read, by their addresses.
    std::vector<std::string> missing;
    if (TakeKnownTexts(missing)) {
        if (CTraceContext* trace = TraceAt(1)) {
            *trace << "Texts kept from the previous load = ["
                   << std::to_string(m_ObjectList.GetSize() - static_cast<CObjectArray::Index>(missing.size()))
                   << "], read = [" << std::to_string(missing.size()) << "]\r\n";
        }
        if (missing.empty()) return;
        ReadTexts(std::string(kTextListed) + AddressListCondition("t.address", missing) + " ORDER BY address, piece",
                  false);
        return;
    }
    ReadTexts(BuildTextStatement(), true);
}

bool CCorvidDoc::TakeKnownTexts(std::vector<std::string>& missing) {
    missing.clear();
    if (m_PreviousIndex.IsEmpty()) return false;
    std::vector<const CObjectEntry*> known(static_cast<std::size_t>(m_ObjectList.GetSize()), nullptr);
    for (CObjectArray::Index i = 0; i < m_ObjectList.GetSize(); ++i) {
        const CObjectEntry& entry = m_ObjectList[i];
        if (!entry.m_SqlText.empty()) continue;  // carried over with its text
        const CObjectEntry* before = FindPrevious(entry);
        if (before != nullptr && !before->m_SqlText.empty()) {
            known[static_cast<std::size_t>(i)] = before;
        } else {
            missing.push_back(entry.m_Address);
        }
    }
    // Beyond this many the whole text view costs the server no more than the list.
    if (missing.size() > kMaxListedStatements ||
        (!missing.empty() && AddressListCondition("t.address", {missing.front()}).empty())) {
        missing.clear();
        return false;
    }
    for (std::size_t i = 0; i < known.size(); ++i) {
        if (known[i] != nullptr) m_ObjectList[static_cast<CObjectArray::Index>(i)].m_SqlText = known[i]->m_SqlText;
    }
    // The kept texts count as read for the progress.
    m_ProgressCount += static_cast<std::int32_t>(known.size() - missing.size());
    return true;
}

bool CCorvidDoc::ReadTexts(const std::string& statement, bool bindFilter) {
    std::vector<char> addresses, pieces;
    std::vector<short> addressIndicators, pieceIndicators;
    Allocate(addresses, kFetchRows * kAddressSize);
    Allocate(pieces, kFetchRows * kTextPieceSize);
    Allocate(addressIndicators, kFetchRows);
    Allocate(pieceIndicators, kFetchRows);

    COracleCursor cursor(*m_connection);
    cursor.Parse(statement);
    if (bindFilter) m_Filter.BindConditions(cursor, m_ServerFeatures.sqlAreaFigures);
    cursor.Define(1, addresses.data(), kAddressSize, oci::SQLT_STR, addressIndicators.data());
    cursor.Define(2, pieces.data(), kTextPieceSize, oci::SQLT_STR, pieceIndicators.data());
    cursor.Execute(0);

    std::vector<CSqlCmdEntry> texts;
    texts.reserve(static_cast<std::size_t>(m_ObjectList.GetSize()));
    CSqlCmdEntry current;
    bool haveCurrent = false;
    int delivered = 0;
    do {
        delivered = 0;
        cursor.Fetch(kFetchRows, &delivered);
        for (int r = 0; r < delivered; ++r) {
            const std::string_view address = TextAt(addresses.data(), kAddressSize, r, addressIndicators.data());
            const std::string_view piece = TextAt(pieces.data(), kTextPieceSize, r, pieceIndicators.data());
            if (!haveCurrent) {
                current = CSqlCmdEntry(std::string(address), std::string(piece));
                haveCurrent = true;
            } else if (address != current.m_Address) {
                if (!ProgressStep(Format("Loading sql text %ld from sga...", static_cast<long>(texts.size()) + 1))) {
                    return false;
                }
                texts.push_back(std::move(current));
                current = CSqlCmdEntry(std::string(address), std::string(piece));
            } else {
                current.m_SqlText.append(piece);
            }
        }
    } while (delivered == kFetchRows);
    if (haveCurrent) texts.push_back(std::move(current));

    ProgressNote("Processing sql statements from sga...");
    // The first text of an address counts.
    CAddressTable byAddress(texts.size());
    for (std::size_t i = 0; i < texts.size(); ++i) byAddress.Add(texts[i].m_Address, i);
    // Each text moves into its statement; should two statements share an address,
    // the second copies it from the first.
    std::vector<const CObjectEntry*> takenBy(texts.size(), nullptr);
    for (CObjectEntry& entry : m_ObjectList) {
        const std::size_t found = byAddress.Find(entry.m_Address);
        if (found == CAddressTable::npos) continue;
        const CObjectEntry*& owner = takenBy[found];
        if (owner != nullptr) {
            entry.m_SqlText = owner->m_SqlText;
        } else {
            entry.m_SqlText = std::move(texts[found].m_SqlText);
            owner = &entry;
        }
    }
    return true;
}

}  // namespace corvid
