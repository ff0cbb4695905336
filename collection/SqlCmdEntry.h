#pragma once

#include <string>

namespace corvid {

// One statement address with the SQL text assembled from its pieces; lives only
// while the statement texts are being loaded.
class CSqlCmdEntry {
public:
    CSqlCmdEntry() = default;
    CSqlCmdEntry(std::string address, std::string sqlText)
        : m_Address(std::move(address)), m_SqlText(std::move(sqlText)) {}
    virtual ~CSqlCmdEntry() = default;
    CSqlCmdEntry(const CSqlCmdEntry&) = default;
    CSqlCmdEntry& operator=(const CSqlCmdEntry&) = default;

    const std::string& GetAddress() const { return m_Address; }
    const std::string& GetSqlText() const { return m_SqlText; }
    void AppendText(const std::string& piece) { m_SqlText += piece; }

    std::string m_Address;
    std::string m_SqlText;
};

}  // namespace corvid
