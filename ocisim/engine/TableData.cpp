#include "ocisim/engine/TableData.h"

namespace ocisim {

int TableData::ColumnIndex(const std::string& name) const {
    const auto& columns = Columns();
    for (size_t i = 0; i < columns.size(); ++i)
        if (columns[i].name == name) return static_cast<int>(i);
    return -1;
}

std::vector<ColumnDesc>& RowTable::MutableColumns() {
    if (m_Columns.use_count() > 1) m_Columns = std::make_shared<std::vector<ColumnDesc>>(*m_Columns);
    return *m_Columns;
}

void RowTable::SetRows(std::shared_ptr<const Rows> rows) {
    // Every change goes through MutableRows, which copies rows that are still shared.
    m_Rows = std::const_pointer_cast<Rows>(std::move(rows));
}

Rows& RowTable::MutableRows() {
    if (m_Rows.use_count() > 1) m_Rows = std::make_shared<Rows>(*m_Rows);
    return *m_Rows;
}

ColumnDesc NumberColumn(const std::string& name, bool nullable) {
    ColumnDesc d;
    d.name = name;
    d.type = ColumnType::Number;
    d.size = 22;
    d.nullable = nullable;
    return d;
}

ColumnDesc TextColumn(const std::string& name, int size, bool nullable) {
    ColumnDesc d;
    d.name = name;
    d.type = ColumnType::Varchar2;
    d.size = size;
    d.nullable = nullable;
    return d;
}

ColumnDesc DateColumn(const std::string& name, bool nullable) {
    ColumnDesc d;
    d.name = name;
    d.type = ColumnType::Date;
    d.size = 7;
    d.nullable = nullable;
    return d;
}

}  // namespace ocisim
