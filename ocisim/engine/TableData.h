#pragma once

// The rows a query reads: a table of the schema, a view over the server's
// state, or an inline view's result. Queries hold a snapshot (a shared pointer
// to rows nobody changes any more), so they run without the server's lock.

#include <memory>
#include <string>
#include <vector>

#include "ocisim/engine/Engine.h"

namespace ocisim {

class TableData {
public:
    virtual ~TableData() = default;
    virtual const std::vector<ColumnDesc>& Columns() const = 0;
    virtual size_t RowCount() const = 0;
    virtual Value Cell(size_t row, size_t column) const = 0;

    // The index of a column by its (upper-case) name, or -1.
    int ColumnIndex(const std::string& name) const;
};

using Row = std::vector<Value>;
using Rows = std::vector<Row>;

// Rows held in memory. The rows and the column descriptions are shared: a copy
// of the table (a snapshot) costs two pointers until one side changes.
class RowTable : public TableData {
public:
    RowTable() : m_Columns(std::make_shared<std::vector<ColumnDesc>>()), m_Rows(std::make_shared<Rows>()) {}
    explicit RowTable(std::vector<ColumnDesc> columns)
        : m_Columns(std::make_shared<std::vector<ColumnDesc>>(std::move(columns))), m_Rows(std::make_shared<Rows>()) {}

    const std::vector<ColumnDesc>& Columns() const override { return *m_Columns; }
    size_t RowCount() const override { return m_Rows->size(); }
    Value Cell(size_t row, size_t column) const override { return (*m_Rows)[row][column]; }

    // The column descriptions for a change: copied first when a snapshot still shares them.
    std::vector<ColumnDesc>& MutableColumns();
    const Rows& GetRows() const { return *m_Rows; }
    // The rows for a change: copied first when a snapshot still shares them.
    Rows& MutableRows();
    // The current rows, shared: a copy for an undo that costs nothing until the table changes.
    std::shared_ptr<const Rows> SharedRows() const { return m_Rows; }
    // Replaces the rows. Rows given shared stay shared until one side changes them.
    void SetRows(std::shared_ptr<const Rows> rows);
    void SetRows(Rows rows) { m_Rows = std::make_shared<Rows>(std::move(rows)); }
    // A table with the same columns that shares the current rows.
    std::shared_ptr<const RowTable> Snapshot() const { return std::make_shared<RowTable>(*this); }

private:
    std::shared_ptr<std::vector<ColumnDesc>> m_Columns;
    std::shared_ptr<Rows> m_Rows;
};

ColumnDesc NumberColumn(const std::string& name, bool nullable = true);
ColumnDesc TextColumn(const std::string& name, int size, bool nullable = true);
ColumnDesc DateColumn(const std::string& name, bool nullable = true);

}  // namespace ocisim
