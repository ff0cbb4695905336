#include "ocisim/oci/StatementText.h"

#include <algorithm>
#include <cctype>

namespace ocisim::oci {

namespace {

bool IsNameChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$' || c == '#';
}

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// The statement's first words, upper-cased, after leading blanks and comments.
std::vector<std::string> LeadingWords(const std::string& sql, std::size_t count) {
    std::vector<std::string> words;
    std::size_t i = 0;
    const std::size_t n = sql.size();
    while (i < n && words.size() < count) {
        const char c = sql[i];
        if (std::isspace(static_cast<unsigned char>(c)) || c == '(') {
            ++i;
        } else if (c == '-' && i + 1 < n && sql[i + 1] == '-') {
            while (i < n && sql[i] != '\n') ++i;
        } else if (c == '/' && i + 1 < n && sql[i + 1] == '*') {
            const std::size_t end = sql.find("*/", i + 2);
            i = end == std::string::npos ? n : end + 2;
        } else if (IsNameChar(c)) {
            std::size_t start = i;
            while (i < n && IsNameChar(sql[i])) ++i;
            words.push_back(Upper(sql.substr(start, i - start)));
        } else {
            break;
        }
    }
    return words;
}

}  // namespace

namespace {

std::vector<std::string> ScanPlaceholders(const std::string& sql, bool distinct) {
    std::vector<std::string> names;
    const std::size_t n = sql.size();
    std::size_t i = 0;
    while (i < n) {
        const char c = sql[i];
        if (c == '\'' || c == '"') {
            const std::size_t end = sql.find(c, i + 1);
            i = end == std::string::npos ? n : end + 1;
        } else if (c == '-' && i + 1 < n && sql[i + 1] == '-') {
            while (i < n && sql[i] != '\n') ++i;
        } else if (c == '/' && i + 1 < n && sql[i + 1] == '*') {
            const std::size_t end = sql.find("*/", i + 2);
            i = end == std::string::npos ? n : end + 2;
        } else if (c == ':' && i + 1 < n && sql[i + 1] == '=') {
            i += 2;  // PL/SQL assignment
        } else if (c == ':' && i + 1 < n && IsNameChar(sql[i + 1])) {
            std::size_t start = ++i;
            while (i < n && IsNameChar(sql[i])) ++i;
            std::string name = Upper(sql.substr(start, i - start));
            if (!distinct || std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
        } else {
            ++i;
        }
    }
    return names;
}

}  // namespace

std::vector<std::string> FindPlaceholders(const std::string& sql) { return ScanPlaceholders(sql, true); }

std::string PlaceholderAtPosition(const std::string& sql, unsigned position) {
    // A PL/SQL block counts each name once; SQL counts every occurrence.
    const int code = SqlFunctionCode(sql);
    const std::vector<std::string> names = ScanPlaceholders(sql, code == kPlSqlFunctionCode);
    return position >= 1 && position <= names.size() ? names[position - 1] : std::string();
}

std::string NormalizePlaceholder(const std::string& name) {
    std::size_t start = !name.empty() && name[0] == ':' ? 1 : 0;
    if (start >= name.size()) return {};
    for (std::size_t i = start; i < name.size(); ++i) {
        if (!IsNameChar(name[i])) return {};
    }
    return Upper(name.substr(start));
}

int SqlFunctionCode(const std::string& sql) {
    const std::vector<std::string> words = LeadingWords(sql, 5);
    if (words.empty()) return 0;
    const std::string& first = words[0];
    if (first == "INSERT") return 3;
    if (first == "SELECT" || first == "WITH") return 4;
    if (first == "UPDATE") return 5;
    if (first == "DELETE") return 9;
    if (first == "BEGIN" || first == "DECLARE") return 34;
    if (first == "EXPLAIN") return 27;
    if (first == "GRANT") return 28;
    if (first == "REVOKE") return 29;
    if (first == "LOCK") return 35;
    if (first == "RENAME") return 37;
    if (first == "COMMENT") return 38;
    if (first == "COMMIT") return 54;
    if (first == "ROLLBACK") return 55;
    if (first == "SAVEPOINT") return 56;

    // CREATE [OR REPLACE] [PUBLIC] object, DROP [PUBLIC] object, ALTER object
    std::size_t at = 1;
    if (first == "CREATE" && words.size() > 2 && words[1] == "OR" && words[2] == "REPLACE") at = 3;
    if (at < words.size() && (words[at] == "PUBLIC" || words[at] == "UNIQUE")) ++at;
    const std::string object = at < words.size() ? words[at] : std::string();
    if (first == "CREATE") {
        if (object == "TABLE") return 1;
        if (object == "VIEW") return 10;
        if (object == "SEQUENCE") return 13;
        if (object == "USER") return 19;
        if (object == "INDEX") return 20;
        if (object == "PROCEDURE" || object == "FUNCTION" || object == "PACKAGE") return 24;
        if (object == "SYNONYM") return 30;
        if (object == "TRIGGER") return 59;
        return 0;
    }
    if (first == "DROP") {
        if (object == "VIEW") return 7;
        if (object == "TABLE") return 8;
        if (object == "USER") return 11;
        if (object == "SEQUENCE") return 16;
        if (object == "INDEX") return 21;
        if (object == "SYNONYM") return 31;
        if (object == "TRIGGER") return 61;
        if (object == "PROCEDURE" || object == "FUNCTION" || object == "PACKAGE") return 68;
        return 0;
    }
    if (first == "ALTER") {
        if (object == "SEQUENCE") return 14;
        if (object == "PROCEDURE") return 25;
        if (object == "TABLE") return 26;
        if (object == "INDEX") return 41;
        if (object == "DATABASE") return 45;
        if (object == "SESSION") return 52;
        if (object == "USER") return 53;
        return 0;
    }
    return 0;
}

bool IsDataDefinition(const std::string& sql) {
    const std::vector<std::string> words = LeadingWords(sql, 2);
    if (words.empty()) return false;
    const std::string& first = words[0];
    if (first == "ALTER") return words.size() > 1 && words[1] != "SESSION" && words[1] != "SYSTEM";
    return first == "CREATE" || first == "DROP" || first == "GRANT" || first == "REVOKE" || first == "RENAME" ||
           first == "TRUNCATE" || first == "COMMENT";
}

}  // namespace ocisim::oci
