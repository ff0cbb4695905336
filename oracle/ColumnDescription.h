#pragma once

#include <string>

namespace corvid {

// One select-list column as the client describes it.
struct CColumnDescription {
    int m_DataSize = 0;
    int m_DataType = 0;  // Oracle's internal type code
    std::string m_Name;
    int m_Precision = 0;
    int m_Scale = 0;
    bool m_Nullable = false;
};

}  // namespace corvid
