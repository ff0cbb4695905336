#include "ocisim/engine/PoolViews.h"

#include <algorithm>
#include <cstdio>

#include "ocisim/engine/CursorPlans.h"
#include "ocisim/engine/DateTime.h"

namespace ocisim {

namespace {

ColumnDesc RawColumn(const std::string& name, int wordSize) {
    ColumnDesc d;
    d.name = name;
    d.type = kColumnTypeRaw;
    d.size = wordSize / 8;
    return d;
}

enum SqlAreaColumn {
    A_SQL_TEXT, A_SQL_ID, A_SHARABLE_MEM, A_PERSISTENT_MEM, A_RUNTIME_MEM, A_SORTS, A_VERSION_COUNT,
    A_LOADED_VERSIONS, A_OPEN_VERSIONS, A_USERS_OPENING, A_FETCHES, A_EXECUTIONS, A_END_OF_FETCH_COUNT,
    A_USERS_EXECUTING, A_LOADS, A_FIRST_LOAD_TIME, A_INVALIDATIONS, A_PARSE_CALLS, A_DISK_READS, A_BUFFER_GETS,
    A_USER_IO_WAIT_TIME, A_ROWS_PROCESSED, A_COMMAND_TYPE, A_OPTIMIZER_MODE, A_PARSING_USER_ID,
    A_PARSING_SCHEMA_ID, A_KEPT_VERSIONS, A_ADDRESS, A_HASH_VALUE, A_PLAN_HASH_VALUE, A_MODULE, A_ACTION,
    A_CPU_TIME, A_ELAPSED_TIME, A_LAST_ACTIVE_TIME
};

// The columns an old release lacks.
bool IsNewColumn(int column) {
    return column == A_SQL_ID || column == A_USER_IO_WAIT_TIME || column == A_PLAN_HASH_VALUE ||
           column == A_CPU_TIME || column == A_ELAPSED_TIME || column == A_LAST_ACTIVE_TIME;
}

double CpuTime(const PoolEntry& e) { return e.cpuTime >= 0 ? e.cpuTime : WorkCpuTime(e); }
double UserIoWaitTime(const PoolEntry& e) { return e.userIoWaitTime >= 0 ? e.userIoWaitTime : WorkUserIoWaitTime(e); }
double ElapsedTime(const PoolEntry& e) { return e.elapsedTime >= 0 ? e.elapsedTime : WorkElapsedTime(e); }

class SqlAreaView : public TableData {
public:
    SqlAreaView(PoolSnapshot snapshot, int wordSize, bool oldRelease) : m_Pool(std::move(snapshot)), m_WordSize(wordSize) {
        const std::vector<ColumnDesc> all = {
            TextColumn("SQL_TEXT", 1000),      TextColumn("SQL_ID", 13),         NumberColumn("SHARABLE_MEM"),
            NumberColumn("PERSISTENT_MEM"),    NumberColumn("RUNTIME_MEM"),      NumberColumn("SORTS"),
            NumberColumn("VERSION_COUNT"),     NumberColumn("LOADED_VERSIONS"),  NumberColumn("OPEN_VERSIONS"),
            NumberColumn("USERS_OPENING"),     NumberColumn("FETCHES"),          NumberColumn("EXECUTIONS"),
            NumberColumn("END_OF_FETCH_COUNT"), NumberColumn("USERS_EXECUTING"), NumberColumn("LOADS"),
            TextColumn("FIRST_LOAD_TIME", 19), NumberColumn("INVALIDATIONS"),    NumberColumn("PARSE_CALLS"),
            NumberColumn("DISK_READS"),        NumberColumn("BUFFER_GETS"),      NumberColumn("USER_IO_WAIT_TIME"),
            NumberColumn("ROWS_PROCESSED"),    NumberColumn("COMMAND_TYPE"),     TextColumn("OPTIMIZER_MODE", 25),
            NumberColumn("PARSING_USER_ID"),   NumberColumn("PARSING_SCHEMA_ID"), NumberColumn("KEPT_VERSIONS"),
            RawColumn("ADDRESS", wordSize),    NumberColumn("HASH_VALUE"),       NumberColumn("PLAN_HASH_VALUE"),
            TextColumn("MODULE", 64),          TextColumn("ACTION", 64),         NumberColumn("CPU_TIME"),
            NumberColumn("ELAPSED_TIME"),      DateColumn("LAST_ACTIVE_TIME")};
        for (int c = 0; c < static_cast<int>(all.size()); ++c) {
            if (oldRelease && IsNewColumn(c)) continue;
            m_Columns.push_back(all[static_cast<size_t>(c)]);
            m_Source.push_back(c);
        }
    }
    const std::vector<ColumnDesc>& Columns() const override { return m_Columns; }
    size_t RowCount() const override { return m_Pool->size(); }
    Value Cell(size_t row, size_t column) const override {
        const PoolEntry& e = (*m_Pool)[row];
        switch (m_Source[column]) {
            case A_SQL_TEXT: return Value::Str(e.text->substr(0, 1000));
            case A_SQL_ID: return Value::Str(SharedPool::SqlIdOfKey(e.textKey));
            case A_SHARABLE_MEM: return Value::Num(e.sharableMem);
            case A_PERSISTENT_MEM: return Value::Num(e.persistentMem);
            case A_RUNTIME_MEM: return Value::Num(e.runtimeMem);
            case A_SORTS: return Value::Num(e.sorts);
            case A_VERSION_COUNT:
            case A_LOADED_VERSIONS: return Value::Num(e.versionCount);
            case A_OPEN_VERSIONS:
            case A_USERS_OPENING:
            case A_USERS_EXECUTING:
            case A_KEPT_VERSIONS: return Value::Num(0);
            case A_FETCHES: return Value::Num(e.fetches);
            case A_EXECUTIONS: return Value::Num(e.executions);
            case A_END_OF_FETCH_COUNT: return Value::Num(e.commandType == 3 ? e.executions : 0);
            case A_LOADS: return Value::Num(e.loads);
            case A_FIRST_LOAD_TIME: return Value::Str(FormatDate(e.firstLoadTime, "YYYY-MM-DD/HH24:MI:SS"));
            case A_INVALIDATIONS: return Value::Num(e.invalidations);
            case A_PARSE_CALLS: return Value::Num(e.parseCalls);
            case A_DISK_READS: return Value::Num(e.diskReads);
            case A_BUFFER_GETS: return Value::Num(e.bufferGets);
            case A_USER_IO_WAIT_TIME: return Value::Num(UserIoWaitTime(e));
            case A_ROWS_PROCESSED: return Value::Num(e.rowsProcessed);
            case A_COMMAND_TYPE: return Value::Num(e.commandType);
            case A_OPTIMIZER_MODE: return Value::Str(e.optimizerMode);
            case A_PARSING_USER_ID: return Value::Num(e.parsingUserId);
            case A_PARSING_SCHEMA_ID: return Value::Num(e.parsingSchemaId);
            case A_ADDRESS: return Value::Str(FormatAddress(e.address, m_WordSize));
            case A_HASH_VALUE: return Value::Num(e.hashValue);
            case A_PLAN_HASH_VALUE: return Value::Num(e.plan ? e.plan->hashValue : 0);
            case A_MODULE: return e.module.empty() ? Value::Null() : Value::Str(e.module);
            case A_ACTION: return Value::Null();
            case A_CPU_TIME: return Value::Num(CpuTime(e));
            case A_ELAPSED_TIME: return Value::Num(ElapsedTime(e));
            case A_LAST_ACTIVE_TIME: return Value::DateAt(e.lastActiveTime != 0 ? e.lastActiveTime : e.firstLoadTime);
        }
        return Value::Null();
    }

private:
    PoolSnapshot m_Pool;
    int m_WordSize;
    std::vector<ColumnDesc> m_Columns;
    std::vector<int> m_Source;  // the SqlAreaColumn of each column shown
};

class SqlTextView : public TableData {
public:
    SqlTextView(PoolSnapshot snapshot, int wordSize, bool oldRelease)
        : m_Pool(std::move(snapshot)), m_WordSize(wordSize), m_OldRelease(oldRelease) {
        m_Columns = {RawColumn("ADDRESS", wordSize), NumberColumn("HASH_VALUE"), TextColumn("SQL_ID", 13),
                     NumberColumn("COMMAND_TYPE"),   NumberColumn("PIECE"),      TextColumn("SQL_TEXT", 64)};
        if (oldRelease) m_Columns.erase(m_Columns.begin() + 2);
        // The statements in the order of their addresses as shown, each with its
        // pieces in order: a query that sorts by address and piece finds its rows
        // sorted already. (Oracle promises no order for the view itself.)
        const std::uint64_t shown = wordSize == 32 ? 0xFFFFFFFFull : ~0ull;
        std::vector<std::pair<std::uint64_t, std::uint32_t>> byAddress;
        byAddress.reserve(m_Pool->size());
        size_t total = 0;
        for (size_t i = 0; i < m_Pool->size(); ++i) {
            const PoolEntry& e = (*m_Pool)[i];
            byAddress.emplace_back(e.address & shown, static_cast<std::uint32_t>(i));
            total += (e.text->size() + 63) / 64;
        }
        std::sort(byAddress.begin(), byAddress.end());
        m_Pieces.reserve(total);
        for (const auto& [address, i] : byAddress) {
            const std::string* text = (*m_Pool)[i].text.get();
            size_t n = (text->size() + 63) / 64;
            for (size_t p = 0; p < n; ++p) m_Pieces.push_back({text, address, i, static_cast<std::uint32_t>(p)});
        }
    }
    const std::vector<ColumnDesc>& Columns() const override { return m_Columns; }
    size_t RowCount() const override { return m_Pieces.size(); }
    Value Cell(size_t row, size_t column) const override {
        // Address, piece and text come from the piece itself: the pieces run in
        // address order, not in the pool's.
        const Piece& p = m_Pieces[row];
        if (m_OldRelease && column >= 2) ++column;
        switch (column) {
            case 0: return Value::Str(FormatAddress(p.address, m_WordSize));
            case 1: return Value::Num((*m_Pool)[p.entry].hashValue);
            case 2: return Value::Str(SharedPool::SqlIdOfKey((*m_Pool)[p.entry].textKey));
            case 3: return Value::Num((*m_Pool)[p.entry].commandType);
            case 4: return Value::Num(p.piece);
            case 5: return Value::Str(p.text->substr(static_cast<size_t>(p.piece) * 64, 64));
        }
        return Value::Null();
    }

private:
    struct Piece {
        const std::string* text;  // the entry's, kept alive by the snapshot
        std::uint64_t address;    // as shown
        std::uint32_t entry, piece;
    };
    PoolSnapshot m_Pool;
    int m_WordSize;
    bool m_OldRelease;
    std::vector<ColumnDesc> m_Columns;
    std::vector<Piece> m_Pieces;
};

}  // namespace

// CPU for every execution, parse and buffer get, waits for every disk read.
// Elapsed time is CPU and I/O wait and a little more, so it is never below either.
double WorkCpuTime(const PoolEntry& e) { return e.executions * 40 + e.parseCalls * 25 + e.bufferGets * 12 + e.diskReads * 40; }
double WorkUserIoWaitTime(const PoolEntry& e) { return e.diskReads * 5000; }
double WorkElapsedTime(const PoolEntry& e) { return WorkCpuTime(e) + WorkUserIoWaitTime(e) + e.bufferGets * 3; }

std::string FormatAddress(std::uint64_t address, int wordSize) {
    // Upper-case hexadecimal, 8 digits for a 32-bit server (the low word), 16 else.
    static const char hex[] = "0123456789ABCDEF";
    const int digits = wordSize == 32 ? 8 : 16;
    std::string text(static_cast<size_t>(digits), '0');
    for (int i = digits - 1; i >= 0; --i) {
        text[static_cast<size_t>(i)] = hex[address & 0xF];
        address >>= 4;
    }
    return text;
}

std::shared_ptr<const TableData> MakeSqlAreaView(PoolSnapshot snapshot, int wordSize, bool oldRelease) {
    return std::make_shared<SqlAreaView>(std::move(snapshot), wordSize, oldRelease);
}

std::shared_ptr<const TableData> MakeSqlTextView(PoolSnapshot snapshot, int wordSize, bool oldRelease) {
    return std::make_shared<SqlTextView>(std::move(snapshot), wordSize, oldRelease);
}

}  // namespace ocisim
