#include "list/ListColLayout.h"

#include <limits>

#include "list/ListCtrlEx.h"

namespace corvid {

CListColLayout::CListColLayout(StatementColumn id, std::string title, std::int32_t width, std::int32_t alignment,
                               std::int32_t format, std::int32_t sortPosition, bool ascending)
    : m_Id(id),
      m_Title(std::move(title)),
      m_Width(width),
      m_Alignment(alignment),
      m_Format(format),
      m_Sort(ascending || sortPosition == std::numeric_limits<std::int32_t>::min() ? sortPosition : -sortPosition) {}

bool CListColLayout::IsEqual(const CListColLayout& other) const {
    return m_Id == other.m_Id && m_Title == other.m_Title && m_Width == other.m_Width &&
           m_Alignment == other.m_Alignment && m_Format == other.m_Format && m_Sort == other.m_Sort;
}

std::int32_t CListColLayout::GetSortPosition() const {
    if (m_Sort == std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::max();
    return m_Sort < 0 ? -m_Sort : m_Sort;
}

std::string CListColLayout::GetAlignmentName() const {
    switch (m_Alignment) {
        case kAlignLeft:
            return "Left";
        case kAlignRight:
            return "Right";
        case kAlignCenter:
            return "Center";
        default:
            return "?";
    }
}

std::string CListColLayout::GetFormatName() const {
    switch (m_Format) {
        case kFormatText:
            return "Text";
        case kFormatNumber:
            return "Number";
        default:
            return "?";
    }
}

std::string CListColLayout::GetSortOrderName() const {
    if (m_Sort > 0) return "asc";
    if (m_Sort < 0) return "dec";
    return "";
}

}  // namespace corvid
