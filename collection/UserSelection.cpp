#include "collection/UserSelection.h"

#include <cctype>
#include <charconv>
#include <climits>

namespace corvid {

std::string BuildUserListString(const CUserArray& users) {
    std::string text;
    for (const CUserEntry& user : users) {
        if (!user.IsSelected()) continue;
        if (!text.empty()) text += ';';
        text += std::to_string(user.GetUserId());
    }
    return text;
}

std::vector<std::int32_t> ParseUserListString(const std::string& text) {
    std::vector<std::int32_t> ids;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(';', start);
        if (end == std::string::npos) end = text.size();
        const char* first = text.data() + start;
        const char* last = text.data() + end;
        while (first < last && std::isspace(static_cast<unsigned char>(*first)))
            ++first;
        if (first < last && *first == '+') ++first;
        long long value = 0;
        auto [ptr, error] = std::from_chars(first, last, value);
        if (error == std::errc() && ptr != first && value >= INT_MIN && value <= INT_MAX && value != -1) {
            ids.push_back(static_cast<std::int32_t>(value));
        }
        start = end + 1;
    }
    return ids;
}

}  // namespace corvid
