// The load job's first three phases: counting, the statements and their texts.

#include <cstdio>
#include <cstring>
#include <iterator>
#include <new>
#include <string_view>
#include <unordered_map>
#include <vector>

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
    std::string Text(ELoadColumn column, int row) const {
        return std::string(TextAt(m_values[column].data(), kLoadColumns[column].textSize, row,
                                  m_indicators[column].data()));
    }

private:
    bool IsNull(ELoadColumn column, int row) const { return m_indicators[column][row] == -1; }
    const char* Cell(ELoadColumn column, int row) const {
        return m_values[column].data() + static_cast<std::size_t>(row) * ElementSize(kLoadColumns[column]);
    }

    std::vector<char> m_values[kLoadColumnCount];
    std::vector<short> m_indicators[kLoadColumnCount];
};

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

void CCorvidDoc::LoadStatements() {
    ProgressNote("Computing execution totals...");
    double totalBufferGets = 0;
    double totalDiskReads = 0;
    ComputeTotals(totalBufferGets, totalDiskReads);
    m_TotalBufferGets = totalBufferGets;
    m_TotalDiskReads = totalDiskReads;
    ProgressNote("Loading sql statements from sga...");
    m_ObjectList.RemoveAll();
    m_familiesCurrent = false;
    m_FamilyFilter = -1;

    // The first user of each id gives the statement's user name.
    std::unordered_map<std::int32_t, const std::string*> userNames;
    userNames.reserve(static_cast<std::size_t>(m_UserList.GetSize()));
    for (const CUserEntry& user : m_UserList)
        userNames.emplace(user.GetUserId(), &user.GetUserName());

    const bool serverFigures = m_ServerFeatures.sqlAreaFigures;
    CStatementBuffers buffers;
    COracleCursor cursor(*m_connection);
    cursor.Parse(BuildLoadStatement());
    m_Filter.BindConditions(cursor, m_ServerFeatures.sqlAreaFigures);
    buffers.DefineAll(cursor, serverFigures);
    cursor.Execute(0);

    CTraceContext* trace = TraceAt(15);
    m_ObjectList.Reserve(m_ProgressTotal / 3);
    int delivered = 0;
    do {
        delivered = 0;
        cursor.Fetch(kFetchRows, &delivered);
        for (int r = 0; r < delivered; ++r) {
            if (!ProgressStep(
                    Format("Loading sql statement %ld from sga...", static_cast<long>(m_ObjectList.GetSize()) + 1))) {
                return;
            }
            const double diskReads = buffers.Number(kLoadDiskReads, r);
            const double bufferGets = buffers.Number(kLoadBufferGets, r);
            const std::int32_t userId = buffers.Integer(kLoadParsingUserId, r);
            const auto user = userNames.find(userId);
            CObjectEntry entry(
                totalDiskReads > 0 ? diskReads * 100 / totalDiskReads : 0,
                totalBufferGets > 0 ? bufferGets * 100 / totalBufferGets : 0, diskReads, bufferGets,
                buffers.Number(kLoadSorts, r), buffers.Number(kLoadExecutions, r), buffers.Number(kLoadParseCalls, r),
                buffers.Number(kLoadRowsProcessed, r), buffers.Number(kLoadSharableMem, r),
                buffers.Number(kLoadPersistentMem, r), buffers.Number(kLoadRuntimeMem, r),
                buffers.Number(kLoadLoads, r), buffers.Integer(kLoadCommandType, r),
                buffers.Text(kLoadOptimizerMode, r), buffers.Integer(kLoadParsingSchemaId, r), userId,
                user != userNames.end() ? *user->second : std::string(), buffers.Text(kLoadAddress, r),
                std::string(), buffers.Text(kLoadFirstLoadTime, r));
            if (serverFigures) {
                entry.m_HasServerFigures = true;
                entry.m_SqlId = buffers.Text(kLoadSqlId, r);
                entry.m_HashValue = buffers.Number(kLoadHashValue, r);
                entry.m_PlanHashValue = buffers.Number(kLoadPlanHashValue, r);
                entry.m_ElapsedTime = buffers.Number(kLoadElapsedTime, r);
                entry.m_CpuTime = buffers.Number(kLoadCpuTime, r);
                entry.m_UserIoWaitTime = buffers.Number(kLoadUserIoWaitTime, r);
                entry.m_Module = buffers.Text(kLoadModule, r);
                entry.m_LastActiveTime = buffers.Text(kLoadLastActiveTime, r);
                entry.m_VersionCount = buffers.Number(kLoadVersionCount, r);
            }
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

    if (trace != nullptr) {
        trace->WriteLine("");
        trace->WriteLine("CONTENTS OF THE COLLECTION OF SQL STATEMENTS:");
        DumpCollection(m_ObjectList, *trace);
    }
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
    if (m_PreviousIndex.empty()) return false;
    std::vector<const CObjectEntry*> known(static_cast<std::size_t>(m_ObjectList.GetSize()), nullptr);
    for (CObjectArray::Index i = 0; i < m_ObjectList.GetSize(); ++i) {
        const CObjectEntry& entry = m_ObjectList[i];
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
    std::unordered_map<std::string_view, std::size_t> byAddress;
    byAddress.reserve(texts.size());
    for (std::size_t i = 0; i < texts.size(); ++i)
        byAddress.emplace(texts[i].m_Address, i);
    // Each text moves into its statement; should two statements share an address,
    // the second copies it from the first.
    std::vector<const CObjectEntry*> takenBy(texts.size(), nullptr);
    for (CObjectEntry& entry : m_ObjectList) {
        const auto found = byAddress.find(entry.m_Address);
        if (found == byAddress.end()) continue;
        const CObjectEntry*& owner = takenBy[found->second];
        if (owner != nullptr) {
            entry.m_SqlText = owner->m_SqlText;
        } else {
            entry.m_SqlText = std::move(texts[found->second].m_SqlText);
            owner = &entry;
        }
    }
    return true;
}

}  // namespace corvid
