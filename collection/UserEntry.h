#pragma once

#include <cstdint>
#include <string>

namespace corvid {

// One database user of the document's user list (sys.all_users), with the
// selection flag of the statement filter.
class CUserEntry {
public:
    CUserEntry() = default;
    CUserEntry(std::int32_t userId, std::string userName, std::int32_t selected = 1)
        : m_UserId(userId), m_UserName(std::move(userName)), m_Selected(selected) {}
    virtual ~CUserEntry() = default;
    CUserEntry(const CUserEntry&) = default;
    CUserEntry& operator=(const CUserEntry&) = default;

    std::int32_t GetUserId() const { return m_UserId; }
    const std::string& GetUserName() const { return m_UserName; }
    bool IsSelected() const { return m_Selected != 0; }
    std::int32_t GetSelected() const { return m_Selected; }
    void SetSelected(std::int32_t selected) { m_Selected = selected; }

    std::int32_t m_UserId = 0;
    std::string m_UserName;
    std::int32_t m_Selected = 1;
};

}  // namespace corvid
