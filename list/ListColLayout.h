#pragma once

#include <cstdint>
#include <string>

#include "list/StatementColumn.h"

namespace corvid {

// One column of a list layout: the statistic it shows, its title, width,
// alignment, value format and sort key. `sort` is 0 for a column that is not a
// sort key; otherwise its magnitude is the sort position (1 the primary key) and
// its sign the direction, positive ascending.
class CListColLayout {
public:
    CListColLayout() = default;
    CListColLayout(StatementColumn id, std::string title, std::int32_t width, std::int32_t alignment,
                   std::int32_t format, std::int32_t sortPosition, bool ascending);
    virtual ~CListColLayout() = default;
    CListColLayout(const CListColLayout&) = default;
    CListColLayout& operator=(const CListColLayout&) = default;

    bool IsEqual(const CListColLayout& other) const;

    std::int32_t GetSortPosition() const;
    bool IsAscending() const { return m_Sort >= 0; }
    // "Left", "Right", "Center", otherwise "?".
    std::string GetAlignmentName() const;
    // "Text", "Number", otherwise "?".
    std::string GetFormatName() const;
    // "asc", "dec" or empty for a column that is not sorted.
    std::string GetSortOrderName() const;

    StatementColumn m_Id = -1;
    std::string m_Title;
    std::int32_t m_Width = -1;
    std::int32_t m_Alignment = 0;
    std::int32_t m_Format = 1;
    std::int32_t m_Sort = 0;
};

}  // namespace corvid
