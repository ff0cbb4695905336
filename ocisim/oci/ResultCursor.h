#pragma once

// The result of one execute of a query on a statement or cursor: its select list,
// its open rows and how far the caller has fetched them. Both generations fetch
// through it into their defines.

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "ocisim/engine/Engine.h"
#include "ocisim/oci/SessionLink.h"
#include "ocisim/oci/ocisim_oci.h"

namespace ocisim::oci {

// A define of one select-list position: an array of elements, `size` bytes apart,
// with optional indicator, returned-length and return-code arrays; or, for a
// dynamic define, the callback that hands out a buffer for each row.
struct DefineSpec {
    unsigned position = 0;
    void* value = nullptr;
    sb4 size = 0;
    ub2 dty = 0;
    sb2* indicator = nullptr;
    ub2* length = nullptr;
    ub2* returnCode = nullptr;
    bool dynamic = false;
    OCICallbackDefine callback = nullptr;
    void* context = nullptr;
    OCIDefine* handle = nullptr;
};

struct FetchOutcome {
    unsigned rows = 0;                  // rows delivered into the buffers by this call
    bool endOfData = false;             // the rows ran out before the request was met
    bool truncated = false;             // a value was cut to its buffer
    bool truncatedWithoutCode = false;  // ... in a define without a return-code array
    bool nullWithoutIndicator = false;  // a NULL came for a define without indicator
    OraError error;                     // a conversion or server failure ended the call
    sb4 callbackStatus = 0;             // a dynamic define's callback stopped the fetch
};

class CResultCursor {
public:
    // The select list of a statement described but not run.
    void Describe(std::vector<ColumnDesc> columns);
    // The open rows of an executed query.
    void Open(std::vector<ColumnDesc> columns, std::unique_ptr<RowSource> rows, std::shared_ptr<SessionLink> link);
    // Forgets everything (a new prepare or execute).
    void Reset();
    // Stops the fetch: later fetches are out of sequence.
    void Cancel();

    bool IsDescribed() const { return m_Described; }
    bool IsOpen() const { return m_Rows != nullptr || m_Exhausted; }
    bool IsCancelled() const { return m_Cancelled; }
    // The end of the rows was reported to the caller (no data / 1403).
    bool EndReported() const { return m_EndReported; }
    void MarkEndReported() { m_EndReported = true; }
    bool SessionAlive() const { return m_Link && m_Link->alive; }

    const std::vector<ColumnDesc>& Columns() const { return m_Columns; }
    // Rows delivered into the caller's buffers since the execute.
    std::uint64_t Total() const { return m_Total; }
    // Rows delivered by the last fetch call.
    unsigned LastFetched() const { return m_LastFetched; }

    // Fetches up to `rows` rows into elements 0.. of the defines.
    FetchOutcome Fetch(const std::vector<const DefineSpec*>& defines, unsigned rows);
    // True when another row is waiting (the row is kept for the next fetch).
    bool HasMoreRows(OraError& err);
    // The last row the last fetch delivered, kept only for a select list with a
    // LONG column (read piece by piece after the fetch); null when there is none.
    const std::vector<Value>* CurrentRow() const { return m_HasCurrentRow ? &m_CurrentRow : nullptr; }

private:
    bool NextRow(std::vector<Value>& row, OraError& err);
    void PutDynamic(const Value& value, const DefineSpec& define, unsigned iteration, FetchOutcome& outcome);

    std::vector<ColumnDesc> m_Columns;
    std::unique_ptr<RowSource> m_Rows;
    std::shared_ptr<SessionLink> m_Link;
    std::optional<std::vector<Value>> m_Pending;
    std::uint64_t m_Total = 0;
    unsigned m_LastFetched = 0;
    bool m_Described = false;
    bool m_Exhausted = false;
    bool m_EndReported = false;
    bool m_Cancelled = false;
    bool m_KeepsCurrentRow = false;
    bool m_HasCurrentRow = false;
    std::vector<Value> m_CurrentRow;
};

}  // namespace ocisim::oci
