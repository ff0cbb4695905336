// The value type of the engine's contract: Oracle's implicit conversions.

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ocisim/engine/DateTime.h"
#include "ocisim/engine/Engine.h"
#include "ocisim/engine/Errors.h"
#include "ocisim/engine/Lexer.h"

namespace ocisim {

Value Value::Str(std::string s) {
    Value v;
    if (s.empty()) return v;
    v.type = Type::Text;
    v.text = std::move(s);
    return v;
}

std::string FormatNumber(double n) {
    if (n == 0) return "0";
    char buf[64];
    if (std::fabs(n) < 1e15 && n == std::floor(n)) {
        std::snprintf(buf, sizeof buf, "%lld", static_cast<long long>(n));
        return buf;
    }
    std::snprintf(buf, sizeof buf, "%.15g", n);
    std::string s = buf;
    if (s.find('e') != std::string::npos) {
        // Oracle writes large and tiny numbers in full up to 40 digits; beyond
        // the double's precision the digits are zeros.
        std::snprintf(buf, sizeof buf, "%.0f", n);
        if (std::fabs(n) >= 1) return buf;
        std::snprintf(buf, sizeof buf, "%.40f", n);
        s = buf;
        while (!s.empty() && s.back() == '0') s.pop_back();
    }
    // "0.5" reads ".5" and "-0.5" reads "-.5" in Oracle's default format.
    if (s.compare(0, 2, "0.") == 0) s.erase(0, 1);
    if (s.compare(0, 3, "-0.") == 0) s.erase(1, 1);
    return s;
}

std::string Value::ToText() const {
    switch (type) {
        case Type::Null: return {};
        case Type::Text: return text;
        case Type::Number: return FormatNumber(number);
        case Type::Date: return FormatDate(date, DefaultDateMask());
    }
    return {};
}

bool Value::ToNumber(double& out, OraError& err) const {
    switch (type) {
        case Type::Null: out = 0; return true;
        case Type::Number: out = number; return true;
        case Type::Date: err = Ora(932, "NUMBER", "DATE"); return false;
        case Type::Text: break;
    }
    // Leading and trailing blanks are allowed around the number.
    const char* s = text.c_str();
    while (*s == ' ' || *s == '\t') ++s;
    const char* start = s;
    if (*s == '+' || *s == '-') ++s;
    bool digits = false;
    while (std::isdigit(static_cast<unsigned char>(*s))) { ++s; digits = true; }
    if (*s == '.') {
        ++s;
        while (std::isdigit(static_cast<unsigned char>(*s))) { ++s; digits = true; }
    }
    if (digits && (*s == 'e' || *s == 'E')) {
        const char* e = s + 1;
        if (*e == '+' || *e == '-') ++e;
        if (std::isdigit(static_cast<unsigned char>(*e))) {
            while (std::isdigit(static_cast<unsigned char>(*e))) ++e;
            s = e;
        }
    }
    const char* end = s;
    while (*s == ' ' || *s == '\t') ++s;
    if (!digits || *s != '\0') {
        err = Ora(1722);
        return false;
    }
    out = std::strtod(std::string(start, end).c_str(), nullptr);
    return true;
}

StatementType ClassifyStatement(const std::string& sql) {
    Lexer lexer(sql);
    Token t;
    try {
        t = lexer.Next();
        while (t.IsOp("(")) t = lexer.Next();
    } catch (const OraException&) {
        return StatementType::Unknown;
    }
    if (t.type != TokenType::Ident) return StatementType::Unknown;
    const std::string& w = t.text;
    if (w == "SELECT" || w == "WITH") return StatementType::Select;
    if (w == "UPDATE") return StatementType::Update;
    if (w == "DELETE") return StatementType::Delete;
    if (w == "INSERT") return StatementType::Insert;
    if (w == "CREATE") return StatementType::Create;
    if (w == "DROP") return StatementType::Drop;
    if (w == "ALTER") return StatementType::Alter;
    if (w == "BEGIN") return StatementType::Begin;
    if (w == "DECLARE") return StatementType::Declare;
    return StatementType::Unknown;
}

}  // namespace ocisim
