// The load job's first three phases: counting, the statements and their texts.

#include <cstdio>
#include <cstring>
#include <new>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "collection/CorvidDoc.h"
#include "collection/OutOfMemory.h"
#include "collection/SqlCmdEntry.h"
#include "diag/TraceContext.h"
#include "oracle/OracleConnection.h"
#include "oracle/OracleCursor.h"

namespace corvid {

namespace {

constexpr int kTypeInteger = 3;
constexpr int kTypeFloat = 4;
constexpr int kTypeString = 5;

// Rows per fetch call.
constexpr int kFetchRows = 100;
// An address of a 64-bit server has 16 hexadecimal characters, of a 32-bit one 8.
constexpr int kAddressSize = 17;
constexpr int kOptimizerModeSize = 26;
constexpr int kFirstLoadTimeSize = 20;
constexpr int kTextPieceSize = 65;

constexpr const char* kCountBase =
    "/* $CORVID$ */ SELECT COUNT(1) FROM sys.v_$sqlarea s WHERE  s.sql_text NOT LIKE '%/* $CORVID$ */%'";
constexpr const char* kTotalsStatement =
    "/* $CORVID$ */ SELECT SUM(buffer_gets), SUM(disk_reads) FROM   sys.v_$sqlarea WHERE  sql_text NOT LIKE "
    "'%/* $CORVID$ */%' ";
constexpr const char* kLoadBase =
    "/* $CORVID$ */ SELECT s.disk_reads, s.buffer_gets, s.sorts, s.executions, s.parse_calls, s.rows_processed, "
    "s.sharable_mem, s.persistent_mem, s.runtime_mem, s.loads, s.command_type, s.optimizer_mode, "
    "s.parsing_schema_id, s.parsing_user_id, s.address, s.first_load_time FROM   sys.v_$sqlarea s WHERE  "
    "s.sql_text NOT LIKE '%/* $CORVID$ */%'";
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

// The fetch buffers of the statement load: 100 rows per column, with indicators.
struct SStatementBuffers {
    static constexpr int kNumbers = 10;
    std::vector<double> numbers[kNumbers];  // positions 1-10
    std::vector<std::int32_t> commandType, schemaId, userId;
    std::vector<char> optimizerMode, address, firstLoadTime;
    std::vector<short> indicators[16];

    SStatementBuffers() {
        for (auto& column : numbers)
            Allocate(column, kFetchRows);
        Allocate(commandType, kFetchRows);
        Allocate(schemaId, kFetchRows);
        Allocate(userId, kFetchRows);
        Allocate(optimizerMode, kFetchRows * kOptimizerModeSize);
        Allocate(address, kFetchRows * kAddressSize);
        Allocate(firstLoadTime, kFetchRows * kFirstLoadTimeSize);
        for (auto& column : indicators)
            Allocate(column, kFetchRows);
    }

    double Number(int column, int row) const { return indicators[column][row] == -1 ? 0.0 : numbers[column][row]; }
    std::int32_t Integer(const std::vector<std::int32_t>& values, int column, int row) const {
        return indicators[column][row] == -1 ? 0 : values[row];
    }
};

}  // namespace

std::string CCorvidDoc::BuildCountStatement() const {
    return AppendFilterFragments(kCountBase, m_UserList, m_Filter);
}

std::string CCorvidDoc::BuildLoadStatement() const {
    return AppendFilterFragments(kLoadBase, m_UserList, m_Filter);
}

std::string CCorvidDoc::BuildTextStatement() const {
    return AppendFilterFragments(kTextBase, m_UserList, m_Filter) + ") ORDER BY address, piece";
}

std::int32_t CCorvidDoc::CountStatements() {
    COracleCursor cursor(*m_connection);
    cursor.Parse(BuildCountStatement());
    m_Filter.BindConditions(cursor);
    std::int32_t count = 0;
    short indicator = 0;
    cursor.Define(1, &count, sizeof count, kTypeInteger, &indicator);
    cursor.ExecuteAndFetch(1);
    return indicator == -1 ? 0 : count;
}

void CCorvidDoc::ComputeTotals(double& totalBufferGets, double& totalDiskReads) {
    COracleCursor cursor(*m_connection);
    cursor.Parse(kTotalsStatement);
    totalBufferGets = 0;
    totalDiskReads = 0;
    short indicators[2] = {0, 0};
    cursor.Define(1, &totalBufferGets, sizeof totalBufferGets, kTypeFloat, &indicators[0]);
    cursor.Define(2, &totalDiskReads, sizeof totalDiskReads, kTypeFloat, &indicators[1]);
    cursor.ExecuteAndFetch(1);
    if (indicators[0] == -1) totalBufferGets = 0;
    if (indicators[1] == -1) totalDiskReads = 0;
}

void CCorvidDoc::LoadStatements() {
    ProgressNote("Computing execution totals...");
    double totalBufferGets = 0;
    double totalDiskReads = 0;
    ComputeTotals(totalBufferGets, totalDiskReads);
    ProgressNote("Loading sql statements from sga...");
    m_ObjectList.RemoveAll();

    // The first user of each id gives the statement's user name.
    std::unordered_map<std::int32_t, const std::string*> userNames;
    userNames.reserve(static_cast<std::size_t>(m_UserList.GetSize()));
    for (const CUserEntry& user : m_UserList)
        userNames.emplace(user.GetUserId(), &user.GetUserName());

    SStatementBuffers buffers;
    COracleCursor cursor(*m_connection);
    cursor.Parse(BuildLoadStatement());
    m_Filter.BindConditions(cursor);
    for (int i = 0; i < SStatementBuffers::kNumbers; ++i) {
        cursor.Define(i + 1, buffers.numbers[i].data(), sizeof(double), kTypeFloat, buffers.indicators[i].data());
    }
    cursor.Define(11, buffers.commandType.data(), sizeof(std::int32_t), kTypeInteger, buffers.indicators[10].data());
    cursor.Define(12, buffers.optimizerMode.data(), kOptimizerModeSize, kTypeString, buffers.indicators[11].data());
    cursor.Define(13, buffers.schemaId.data(), sizeof(std::int32_t), kTypeInteger, buffers.indicators[12].data());
    cursor.Define(14, buffers.userId.data(), sizeof(std::int32_t), kTypeInteger, buffers.indicators[13].data());
    cursor.Define(15, buffers.address.data(), kAddressSize, kTypeString, buffers.indicators[14].data());
    cursor.Define(16, buffers.firstLoadTime.data(), kFirstLoadTimeSize, kTypeString, buffers.indicators[15].data());
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
            const double diskReads = buffers.Number(0, r);
            const double bufferGets = buffers.Number(1, r);
            const std::int32_t userId = buffers.Integer(buffers.userId, 13, r);
            const auto user = userNames.find(userId);
            CObjectEntry entry(
                totalDiskReads > 0 ? diskReads * 100 / totalDiskReads : 0,
                totalBufferGets > 0 ? bufferGets * 100 / totalBufferGets : 0, diskReads, bufferGets,
                buffers.Number(2, r), buffers.Number(3, r), buffers.Number(4, r), buffers.Number(5, r),
                buffers.Number(6, r), buffers.Number(7, r), buffers.Number(8, r), buffers.Number(9, r),
                buffers.Integer(buffers.commandType, 10, r),
                std::string(TextAt(buffers.optimizerMode.data(), kOptimizerModeSize, r, buffers.indicators[11].data())),
                buffers.Integer(buffers.schemaId, 12, r), userId,
                user != userNames.end() ? *user->second : std::string(),
                std::string(TextAt(buffers.address.data(), kAddressSize, r, buffers.indicators[14].data())),
                std::string(),
                std::string(
                    TextAt(buffers.firstLoadTime.data(), kFirstLoadTimeSize, r, buffers.indicators[15].data())));
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
    std::vector<char> addresses, pieces;
    std::vector<short> addressIndicators, pieceIndicators;
    Allocate(addresses, kFetchRows * kAddressSize);
    Allocate(pieces, kFetchRows * kTextPieceSize);
    Allocate(addressIndicators, kFetchRows);
    Allocate(pieceIndicators, kFetchRows);

    COracleCursor cursor(*m_connection);
    cursor.Parse(BuildTextStatement());
    m_Filter.BindConditions(cursor);
    cursor.Define(1, addresses.data(), kAddressSize, kTypeString, addressIndicators.data());
    cursor.Define(2, pieces.data(), kTextPieceSize, kTypeString, pieceIndicators.data());
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
                    return;
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
    for (CObjectEntry& entry : m_ObjectList) {
        const auto found = byAddress.find(entry.m_Address);
        if (found != byAddress.end()) entry.m_SqlText = texts[found->second].m_SqlText;
    }
}

}  // namespace corvid
