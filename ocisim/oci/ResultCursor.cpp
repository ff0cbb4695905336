#include "ocisim/oci/ResultCursor.h"

#include <cstring>

#include "ocisim/oci/ClientErrors.h"
#include "ocisim/oci/ExternalValue.h"

namespace ocisim::oci {

void CResultCursor::Describe(std::vector<ColumnDesc> columns) {
    Reset();
    m_Columns = std::move(columns);
    m_Described = true;
}

void CResultCursor::Open(std::vector<ColumnDesc> columns, std::unique_ptr<RowSource> rows,
                         std::shared_ptr<SessionLink> link) {
    Reset();
    m_Columns = std::move(columns);
    m_Rows = std::move(rows);
    m_Link = std::move(link);
    m_Described = true;
    m_Exhausted = m_Rows == nullptr;
    for (const ColumnDesc& column : m_Columns) {
        if (column.type == ColumnType::Long) m_KeepsCurrentRow = true;
    }
}

void CResultCursor::Reset() {
    // The rows go before the session they may refer to.
    m_Rows.reset();
    m_Link.reset();
    m_Pending.reset();
    m_Columns.clear();
    m_Total = 0;
    m_LastFetched = 0;
    m_Described = false;
    m_Exhausted = false;
    m_EndReported = false;
    m_Cancelled = false;
    m_KeepsCurrentRow = false;
    m_HasCurrentRow = false;
    m_CurrentRow.clear();
}

void CResultCursor::Cancel() {
    m_HasCurrentRow = false;
    m_Rows.reset();
    m_Pending.reset();
    m_Cancelled = true;
}

bool CResultCursor::NextRow(std::vector<Value>& row, OraError& err) {
    if (m_Pending) {
        row = std::move(*m_Pending);
        m_Pending.reset();
        return true;
    }
    if (m_Exhausted || !m_Rows) return false;
    if (!m_Rows->Next(row, err)) {
        m_Exhausted = true;
        m_Rows.reset();
        return false;
    }
    return true;
}

bool CResultCursor::HasMoreRows(OraError& err) {
    if (m_Pending) return true;
    std::vector<Value> row;
    if (!NextRow(row, err)) return false;
    m_Pending = std::move(row);
    return true;
}

void CResultCursor::PutDynamic(const Value& value, const DefineSpec& define, unsigned iteration,
                               FetchOutcome& outcome) {
    std::string bytes;
    if (!value.IsNull() && !RenderValue(value, define.dty, bytes, outcome.error)) return;
    std::size_t offset = 0;
    ub1 piece = OCI_FIRST_PIECE;
    for (;;) {
        void* buffer = nullptr;
        ub4* length = nullptr;
        void* indicator = nullptr;
        ub2* returnCode = nullptr;
        const sb4 status =
            define.callback(define.context, define.handle, iteration, &buffer, &length, &piece, &indicator, &returnCode);
        if (status != OCI_CONTINUE) {
            outcome.callbackStatus = status;
            return;
        }
        if (value.IsNull()) {
            if (indicator) {
                const sb2 null = -1;
                std::memcpy(indicator, &null, sizeof null);
            } else {
                outcome.nullWithoutIndicator = true;
            }
            if (length) *length = 0;
            if (returnCode) *returnCode = kNullFetched;
            return;
        }
        const std::size_t capacity = length ? *length : 0;
        const std::size_t remaining = bytes.size() - offset;
        const std::size_t count = buffer ? (remaining < capacity ? remaining : capacity) : 0;
        if (count > 0) std::memcpy(buffer, bytes.data() + offset, count);
        if (length) *length = static_cast<ub4>(count);
        offset += count;
        if (indicator) {
            const sb2 ok = 0;
            std::memcpy(indicator, &ok, sizeof ok);
        }
        if (returnCode) *returnCode = 0;
        if (offset >= bytes.size()) return;
        if (count == 0) {
            // No room offered for the rest: it is lost, as with a short static buffer.
            outcome.truncated = true;
            if (!returnCode) outcome.truncatedWithoutCode = true;
            if (returnCode) *returnCode = kTruncated;
            return;
        }
        piece = OCI_NEXT_PIECE;
    }
}

FetchOutcome CResultCursor::Fetch(const std::vector<const DefineSpec*>& defines, unsigned rows) {
    FetchOutcome outcome;
    std::vector<Value> row;
    m_HasCurrentRow = false;
    for (unsigned i = 0; i < rows; ++i) {
        OraError err;
        if (!NextRow(row, err)) {
            if (err.IsError()) {
                outcome.error = err;
            } else {
                outcome.endOfData = true;
            }
            break;
        }
        for (const DefineSpec* define : defines) {
            if (define->position == 0 || define->position > row.size()) continue;
            const Value& value = row[define->position - 1];
            if (define->dynamic) {
                if (define->callback) PutDynamic(value, *define, i, outcome);
            } else {
                ElementBuffer element;
                const std::size_t stride = define->size > 0 ? static_cast<std::size_t>(define->size) : 0;
                element.value = define->value ? static_cast<char*>(define->value) + stride * i : nullptr;
                element.size = define->size;
                element.dty = define->dty;
                element.indicator = define->indicator ? define->indicator + i : nullptr;
                element.length = define->length ? define->length + i : nullptr;
                element.returnCode = define->returnCode ? define->returnCode + i : nullptr;
                if (element.value == nullptr && !value.IsNull()) {
                    // A define without a buffer receives nothing but its indicators.
                    element.size = 0;
                }
                switch (PutValue(value, element, outcome.error)) {
                    case PutStatus::Null:
                        if (!element.indicator) outcome.nullWithoutIndicator = true;
                        break;
                    case PutStatus::Truncated:
                        outcome.truncated = true;
                        if (!element.returnCode) outcome.truncatedWithoutCode = true;
                        break;
                    default:
                        break;
                }
            }
            if (outcome.error.IsError() || outcome.callbackStatus != 0) break;
        }
        if (outcome.error.IsError() || outcome.callbackStatus != 0) break;
        ++outcome.rows;
        if (m_KeepsCurrentRow) {
            m_CurrentRow = row;
            m_HasCurrentRow = true;
        }
    }
    m_Total += outcome.rows;
    m_LastFetched = outcome.rows;
    return outcome;
}

}  // namespace ocisim::oci
