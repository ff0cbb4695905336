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
    // Integers a double holds exactly come out digit for digit.
    if (std::fabs(n) < 9007199254740992.0 && n == std::floor(n)) {
        std::snprintf(buf, sizeof buf, "%lld", static_cast<long long>(n));
        return buf;
    }
    // Otherwise the 15 significant digits a double carries, laid out in plain
    // decimal as Oracle writes a NUMBER: no exponent, no leading zero before the
    // point ("0.5" reads ".5"), no trailing zeros after it. Digits a double
    // cannot carry (binary noise such as 1e-5's ...0818) are never shown.
    std::snprintf(buf, sizeof buf, "%.14e", std::fabs(n));
    std::string digits;
    const char* p = buf;
    for (; *p && *p != 'e'; ++p) {
        if (*p != '.') digits += *p;
    }
    const int exponent = *p == 'e' ? std::atoi(p + 1) : 0;
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
    std::string s = n < 0 ? "-" : "";
    if (exponent < 0) {
        s += '.';
        s.append(static_cast<std::size_t>(-exponent - 1), '0');
        s += digits;
    } else {
        const std::size_t whole = static_cast<std::size_t>(exponent) + 1;
        if (digits.size() <= whole) {
            s += digits;
            s.append(whole - digits.size(), '0');
        } else {
            s += digits.substr(0, whole);
            s += '.';
            s += digits.substr(whole);
        }
    }
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
