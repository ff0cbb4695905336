// The first scanner of the family text, unchanged but for its namespace.
#include "sqltext/ReferenceSqlFamilyText.h"

#include <cstring>

#include "sqltext/SqlTextCase.h"

namespace corvid::reference {

namespace {

constexpr std::size_t npos = std::string_view::npos;

bool IsAsciiLetter(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsDigit(unsigned char c) {
    return c >= '0' && c <= '9';
}
bool IsBlank(unsigned char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}
// Bytes beyond ASCII belong to names, whether they are valid UTF-8 or not.
bool IsNameStart(unsigned char c) {
    return IsAsciiLetter(c) || c == '_' || c >= 0x80;
}
bool IsNameChar(unsigned char c) {
    return IsNameStart(c) || IsDigit(c) || c == '$' || c == '#';
}

// After these words a sign in front of a number belongs to the number.
bool IsSignContextWord(std::string_view word) {
    static constexpr const char* kWords[] = {"SELECT", "WHERE", "AND",    "OR",      "NOT",  "WHEN",
                                             "THEN",   "ELSE",  "RETURN", "BETWEEN", "LIKE", "HAVING"};
    for (const char* w : kWords)
        if (word == w) return true;
    return false;
}

// After these words a parenthesised list of literals becomes one placeholder list.
bool IsListContextWord(std::string_view word) {
    return word == "IN" || word == "VALUES" || word == "ANY" || word == "SOME" || word == "ALL";
}

class CFamilyScanner {
public:
    CFamilyScanner(std::string_view sql, std::string& out)
        : m_s(sql), m_n(sql.size()), m_out(out), m_start(out.size()) {}

    void Run();

private:
    enum class ELast { None, Word, Literal, Close, Punct, Bind };

    unsigned char At(std::size_t i) const { return i < m_n ? static_cast<unsigned char>(m_s[i]) : 0; }
    bool Has(std::size_t i) const { return i < m_n; }

    // Each returns the end of what starts at i, or npos when nothing of its kind starts there.
    std::size_t PlainStringEnd(std::size_t i) const;
    std::size_t QuotedStringEnd(std::size_t i) const;
    std::size_t StringLiteralEnd(std::size_t i) const;
    std::size_t NumberEnd(std::size_t i) const;
    std::size_t SignedNumberEnd(std::size_t i) const;
    std::size_t CommentEnd(std::size_t i) const;
    std::size_t LiteralListEnd(std::size_t i) const;
    std::size_t SkipBlanksAndComments(std::size_t i) const;

    void Separate();
    void Emit(std::string_view text, ELast kind);
    void EmitCollapsed(std::string_view text);
    void EmitName(std::string_view name);
    bool SignMayStartNumber() const;

    std::string_view m_s;
    std::size_t m_n;
    std::string& m_out;
    std::size_t m_start;
    bool m_pendingBlank = false;
    ELast m_last = ELast::None;
    std::size_t m_lastWordPos = 0;
    std::size_t m_lastWordLen = 0;
};

std::size_t CFamilyScanner::PlainStringEnd(std::size_t i) const {
    // i is at the opening quote; '' inside is a quote of the text.
    std::size_t j = i + 1;
    while (j < m_n) {
        const void* q = std::memchr(m_s.data() + j, '\'', m_n - j);
        if (!q) return m_n;
        j = static_cast<std::size_t>(static_cast<const char*>(q) - m_s.data());
        if (At(j + 1) == '\'') {
            j += 2;
            continue;
        }
        return j + 1;
    }
    return m_n;
}

std::size_t CFamilyScanner::QuotedStringEnd(std::size_t i) const {
    // i is at the quote after q: q'<open> ... <close>'
    if (!Has(i + 1)) return m_n;
    const unsigned char open = At(i + 1);
    unsigned char close = open;
    switch (open) {
        case '[':
            close = ']';
            break;
        case '{':
            close = '}';
            break;
        case '(':
            close = ')';
            break;
        case '<':
            close = '>';
            break;
        default:
            break;
    }
    for (std::size_t j = i + 2; j + 1 < m_n; ++j)
        if (At(j) == close && At(j + 1) == '\'') return j + 2;
    return m_n;
}

std::size_t CFamilyScanner::StringLiteralEnd(std::size_t i) const {
    const unsigned char c = At(i);
    if (c == '\'') return PlainStringEnd(i);
    std::size_t j = i;
    bool national = false;
    if (c == 'n' || c == 'N') {
        national = true;
        ++j;
    }
    if ((At(j) == 'q' || At(j) == 'Q') && At(j + 1) == '\'') return QuotedStringEnd(j + 1);
    if (national && At(j) == '\'') return PlainStringEnd(j);
    return npos;
}

std::size_t CFamilyScanner::NumberEnd(std::size_t i) const {
    std::size_t j = i;
    bool digits = false;
    while (IsDigit(At(j))) {
        ++j;
        digits = true;
    }
    // A second dot is PL/SQL's range operator (1..10), not a decimal point.
    if (At(j) == '.' && At(j + 1) != '.') {
        ++j;
        while (IsDigit(At(j))) {
            ++j;
            digits = true;
        }
    }
    if (!digits) return npos;
    if (At(j) == 'e' || At(j) == 'E') {
        std::size_t k = j + 1;
        if (At(k) == '+' || At(k) == '-') ++k;
        if (IsDigit(At(k))) {
            while (IsDigit(At(k)))
                ++k;
            j = k;
        }
    }
    // BINARY_FLOAT and BINARY_DOUBLE literals: 1.5f, 2d.
    const unsigned char suffix = At(j);
    if ((suffix == 'f' || suffix == 'F' || suffix == 'd' || suffix == 'D') && !IsNameChar(At(j + 1))) ++j;
    return j;
}

std::size_t CFamilyScanner::SignedNumberEnd(std::size_t i) const {
    if (At(i) == '+' || At(i) == '-') ++i;
    if (!IsDigit(At(i)) && !(At(i) == '.' && IsDigit(At(i + 1)))) return npos;
    return NumberEnd(i);
}

std::size_t CFamilyScanner::CommentEnd(std::size_t i) const {
    if (At(i) == '-' && At(i + 1) == '-') {
        std::size_t j = i + 2;
        while (j < m_n && At(j) != '\n' && At(j) != '\r')
            ++j;
        return j;
    }
    if (At(i) == '/' && At(i + 1) == '*') {
        if (i + 2 >= m_n) return m_n;
        const std::size_t close = m_s.find("*/", i + 2);
        return close == npos ? m_n : close + 2;
    }
    return npos;
}

std::size_t CFamilyScanner::SkipBlanksAndComments(std::size_t i) const {
    while (i < m_n) {
        if (IsBlank(At(i))) {
            ++i;
            continue;
        }
        const std::size_t end = CommentEnd(i);
        if (end == npos) break;
        i = end;
    }
    return i;
}

std::size_t CFamilyScanner::LiteralListEnd(std::size_t i) const {
    // i is at "(": literals separated by commas up to ")".
    std::size_t j = i + 1;
    for (;;) {
        j = SkipBlanksAndComments(j);
        if (j >= m_n) return npos;
        std::size_t end = SignedNumberEnd(j);
        if (end == npos && (At(j) == '\'' || IsNameStart(At(j)))) end = StringLiteralEnd(j);
        if (end == npos || end >= m_n) return npos;
        j = SkipBlanksAndComments(end);
        if (At(j) == ')' && j < m_n) return j + 1;
        if (At(j) != ',' || j >= m_n) return npos;
        ++j;
    }
}

void CFamilyScanner::Separate() {
    if (m_pendingBlank && m_out.size() > m_start) m_out += ' ';
    m_pendingBlank = false;
}

void CFamilyScanner::Emit(std::string_view text, ELast kind) {
    Separate();
    m_out.append(text);
    m_last = kind;
}

void CFamilyScanner::EmitCollapsed(std::string_view text) {
    Separate();
    bool blank = false;
    for (const char ch : text) {
        if (IsBlank(static_cast<unsigned char>(ch))) {
            blank = true;
            continue;
        }
        if (blank) m_out += ' ';
        blank = false;
        m_out += ch;
    }
    if (blank) m_pendingBlank = true;
}

void CFamilyScanner::EmitName(std::string_view name) {
    Separate();
    m_lastWordPos = m_out.size();
    bool ascii = true;
    for (const char ch : name)
        if (static_cast<unsigned char>(ch) >= 0x80) {
            ascii = false;
            break;
        }
    if (ascii) {
        for (const char ch : name)
            m_out += (ch >= 'a' && ch <= 'z') ? static_cast<char>(ch - 'a' + 'A') : ch;
    } else {
        m_out += corvid::UpperCaseSqlText(name);
    }
    m_lastWordLen = m_out.size() - m_lastWordPos;
    m_last = ELast::Word;
}

bool CFamilyScanner::SignMayStartNumber() const {
    switch (m_last) {
        case ELast::None:
        case ELast::Punct:
            return true;
        case ELast::Word:
            return IsSignContextWord(std::string_view(m_out).substr(m_lastWordPos, m_lastWordLen));
        default:
            return false;
    }
}

void CFamilyScanner::Run() {
    std::size_t i = 0;
    while (i < m_n) {
        const unsigned char c = At(i);
        if (IsBlank(c)) {
            m_pendingBlank = true;
            ++i;
            continue;
        }
        if (const std::size_t end = CommentEnd(i); end != npos) {
            if (At(i + 2) == '+' && i + 2 < m_n) {
                if (c == '/') {
                    EmitCollapsed(m_s.substr(i, end - i));
                } else {
                    // A line hint becomes a block hint, so that what follows it on
                    // the one line of the family text stays outside it.
                    std::string hint = "/*";
                    for (std::size_t k = i + 2; k < end; ++k) {
                        hint += m_s[k];
                        if (m_s[k] == '*' && k + 1 < end && m_s[k + 1] == '/') hint += ' ';
                    }
                    hint += " */";
                    EmitCollapsed(hint);
                }
            } else
                m_pendingBlank = true;
            i = end;
            continue;
        }
        if (c == '\'') {
            Emit("?", ELast::Literal);
            i = PlainStringEnd(i);
            continue;
        }
        if (c == '"') {
            const std::size_t close = m_s.find('"', i + 1);
            const std::size_t end = close == npos ? m_n : close + 1;
            Emit(m_s.substr(i, end - i), ELast::Word);
            m_lastWordLen = 0;
            i = end;
            continue;
        }
        if (c == ':' && (IsNameChar(At(i + 1)) || At(i + 1) == '"') && i + 1 < m_n) {
            std::size_t end;
            if (At(i + 1) == '"') {
                const std::size_t close = m_s.find('"', i + 2);
                end = close == npos ? m_n : close + 1;
            } else {
                end = i + 1;
                while (end < m_n && IsNameChar(At(end)))
                    ++end;
            }
            Emit(m_s.substr(i, end - i), ELast::Bind);
            i = end;
            continue;
        }
        if ((c == '-' || c == '+') && SignMayStartNumber()) {
            if (const std::size_t end = SignedNumberEnd(i); end != npos) {
                Emit("?", ELast::Literal);
                i = end;
                continue;
            }
        }
        if (c == '.' && At(i + 1) == '.' && i + 1 < m_n) {
            Emit("..", ELast::Punct);
            i += 2;
            continue;
        }
        if (IsDigit(c) || (c == '.' && IsDigit(At(i + 1)))) {
            Emit("?", ELast::Literal);
            i = NumberEnd(i);
            continue;
        }
        if (IsNameStart(c)) {
            if (const std::size_t end = StringLiteralEnd(i); end != npos) {
                Emit("?", ELast::Literal);
                i = end;
                continue;
            }
            std::size_t end = i + 1;
            while (end < m_n && IsNameChar(At(end)))
                ++end;
            EmitName(m_s.substr(i, end - i));
            i = end;
            continue;
        }
        if (c == '(' && m_last == ELast::Word &&
            IsListContextWord(std::string_view(m_out).substr(m_lastWordPos, m_lastWordLen))) {
            if (const std::size_t end = LiteralListEnd(i); end != npos) {
                Emit("(?+)", ELast::Close);
                i = end;
                continue;
            }
        }
        Emit(m_s.substr(i, 1), c == ')' ? ELast::Close : ELast::Punct);
        ++i;
    }
}

}  // namespace

void AppendSqlFamilyText(std::string_view sql, std::string& out) {
    CFamilyScanner(sql, out).Run();
}

}  // namespace corvid::reference
