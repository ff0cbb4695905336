#include "sqltext/SqlFamilyText.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "sqltext/SqlTextCase.h"

namespace corvid {

namespace {

constexpr std::size_t npos = std::string_view::npos;

// What a byte can be, looked up in one table.
enum : std::uint8_t {
    kBlank = 1,
    kDigit = 2,
    kNameStart = 4,  // letters, '_' and every byte beyond ASCII, whether valid UTF-8 or not
    kNameChar = 8,   // name starts, digits, '$' and '#'
};

struct CByteTables {
    std::uint8_t m_Class[256] = {};
    char m_Upper[256] = {};
};

constexpr CByteTables MakeByteTables() {
    CByteTables t;
    for (int c = 0; c < 256; ++c) {
        std::uint8_t cls = 0;
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        const bool digit = c >= '0' && c <= '9';
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v') cls |= kBlank;
        if (digit) cls |= kDigit;
        if (letter || c == '_' || c >= 0x80) cls |= kNameStart | kNameChar;
        if (digit || c == '$' || c == '#') cls |= kNameChar;
        t.m_Class[c] = cls;
        t.m_Upper[c] = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    }
    return t;
}

constexpr CByteTables kBytes = MakeByteTables();

inline bool Is(unsigned char c, std::uint8_t cls) {
    return (kBytes.m_Class[c] & cls) != 0;
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

// Keywords that a blank parts from a "(" after them ("IN (", "FROM ("), where a
// name of a table or function keeps it ("T(A, B)", "COUNT(*)"). Sorted.
bool IsKeywordBeforeParenthesis(std::string_view word) {
    static constexpr std::string_view kWords[] = {
        "ALL",  "AND",    "ANY",    "AS",        "BETWEEN", "BY",     "CASE",   "DISTINCT", "ELSE",  "EXCEPT",
        "EXISTS", "FROM", "HAVING", "IN",        "INTERSECT", "INTO", "IS",     "JOIN",     "LIKE",  "MINUS",
        "NOT",  "ON",     "OR",     "OVER",      "PRIOR",   "RETURN", "SELECT", "SET",      "SOME",  "THEN",
        "UNION", "USING", "VALUES", "WHEN",      "WHERE",   "WITH",   "WITHIN"};
    return std::binary_search(std::begin(kWords), std::end(kWords), word);
}

// Operators of two characters, written as one token.
bool IsTwoCharOperator(unsigned char a, unsigned char b) {
    switch (a) {
        case '<':
            return b == '>' || b == '=' || b == '<';
        case '>':
            return b == '=' || b == '>';
        case '!':
        case '^':
        case '~':
        case ':':
            return b == '=';
        case '|':
            return b == '|';
        case '=':
            return b == '>';
        case '*':
            return b == '*';
        default:
            return false;
    }
}

// One pass over the text, writing straight into the output string: it is sized
// once at twice the statement's length, which nearly every family text fits, and
// grown only when a token would not fit.
class CFamilyScanner {
public:
    CFamilyScanner(std::string_view sql, std::string& out)
        : m_s(sql), m_n(sql.size()), m_out(out), m_start(out.size()) {
        m_out.resize(m_start + 2 * m_n + 16);
        m_base = m_out.data();
        m_p = m_base + m_start;
        m_end = m_base + m_out.size();
    }

    void Run();

private:
    enum class ELast { None, Word, Literal, Close, Punct, Bind };
    // How a token takes the blank before it: like any token, never (")", ",",
    // "."), or as "(" does: not after a name that is no keyword.
    enum class EBefore { Normal, Tight, Open };
    // What the last token written leaves for the blank after it.
    enum class EAfter { Start, Name, Normal, Tight };

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

    std::size_t Used() const { return static_cast<std::size_t>(m_p - m_base); }
    // Room for `bytes` more bytes of output.
    void Room(std::size_t bytes) {
        if (static_cast<std::size_t>(m_end - m_p) < bytes) Grow(bytes);
    }
    void Grow(std::size_t bytes);
    // Writes the blank between the last token and the next, by their kinds alone:
    // how the statement spaced them does not matter.
    void Separate(EBefore before) {
        if (m_after == EAfter::Start || m_after == EAfter::Tight || before == EBefore::Tight) return;
        if (before == EBefore::Open && m_after == EAfter::Name && !IsKeywordBeforeParenthesis(LastWord())) return;
        *m_p++ = ' ';
    }
    void Emit(std::string_view text, ELast kind, EBefore before = EBefore::Normal, EAfter after = EAfter::Normal);
    void EmitPlaceholder();
    void EmitCollapsed(std::string_view text);
    // The name from i on; returns its end.
    std::size_t EmitName(std::size_t i);
    void EmitLineHint(std::size_t i, std::size_t end);
    std::string_view LastWord() const { return {m_base + m_lastWordPos, m_lastWordLen}; }
    bool SignMayStartNumber() const;

    std::string_view m_s;
    std::size_t m_n;
    std::string& m_out;
    std::size_t m_start;
    char* m_base = nullptr;
    char* m_p = nullptr;
    char* m_end = nullptr;
    ELast m_last = ELast::None;
    EAfter m_after = EAfter::Start;
    // The last name written, as a position in the output.
    std::size_t m_lastWordPos = 0;
    std::size_t m_lastWordLen = 0;
};

void CFamilyScanner::Grow(std::size_t bytes) {
    const std::size_t used = Used();
    m_out.resize(std::max(m_out.size() * 2, used + bytes + 16));
    m_base = m_out.data();
    m_p = m_base + used;
    m_end = m_base + m_out.size();
}

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
    while (j < m_n && Is(At(j), kDigit)) {
        ++j;
        digits = true;
    }
    // A second dot is PL/SQL's range operator (1..10), not a decimal point.
    if (At(j) == '.' && At(j + 1) != '.') {
        ++j;
        while (j < m_n && Is(At(j), kDigit)) {
            ++j;
            digits = true;
        }
    }
    if (!digits) return npos;
    if (At(j) == 'e' || At(j) == 'E') {
        std::size_t k = j + 1;
        if (At(k) == '+' || At(k) == '-') ++k;
        if (k < m_n && Is(At(k), kDigit)) {
            while (k < m_n && Is(At(k), kDigit))
                ++k;
            j = k;
        }
    }
    // BINARY_FLOAT and BINARY_DOUBLE literals: 1.5f, 2d.
    const unsigned char suffix = At(j);
    if ((suffix == 'f' || suffix == 'F' || suffix == 'd' || suffix == 'D') && !(j + 1 < m_n && Is(At(j + 1), kNameChar)))
        ++j;
    return j;
}

std::size_t CFamilyScanner::SignedNumberEnd(std::size_t i) const {
    if (At(i) == '+' || At(i) == '-') ++i;
    if (!(i < m_n && Is(At(i), kDigit)) && !(At(i) == '.' && i + 1 < m_n && Is(At(i + 1), kDigit))) return npos;
    return NumberEnd(i);
}

std::size_t CFamilyScanner::CommentEnd(std::size_t i) const {
    if (At(i) == '-' && At(i + 1) == '-') {
        const char* from = m_s.data() + i + 2;
        const char* const to = m_s.data() + m_n;
        while (from < to && *from != '\n' && *from != '\r')
            ++from;
        return static_cast<std::size_t>(from - m_s.data());
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
        if (Is(At(i), kBlank)) {
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
        if (end == npos && (At(j) == '\'' || Is(At(j), kNameStart))) end = StringLiteralEnd(j);
        if (end == npos || end >= m_n) return npos;
        j = SkipBlanksAndComments(end);
        if (At(j) == ')' && j < m_n) return j + 1;
        if (At(j) != ',' || j >= m_n) return npos;
        ++j;
    }
}

void CFamilyScanner::Emit(std::string_view text, ELast kind, EBefore before, EAfter after) {
    Room(text.size() + 1);
    Separate(before);
    std::memcpy(m_p, text.data(), text.size());
    m_p += text.size();
    m_last = kind;
    m_after = after;
}

void CFamilyScanner::EmitPlaceholder() {
    Room(2);
    Separate(EBefore::Normal);
    *m_p++ = '?';
    m_last = ELast::Literal;
    m_after = EAfter::Normal;
}

void CFamilyScanner::EmitCollapsed(std::string_view text) {
    Room(text.size() + 1);
    Separate(EBefore::Normal);
    bool blank = false;
    for (const char ch : text) {
        if (Is(static_cast<unsigned char>(ch), kBlank)) {
            blank = true;
            continue;
        }
        if (blank) *m_p++ = ' ';
        blank = false;
        *m_p++ = ch;
    }
    m_after = EAfter::Normal;
}

std::size_t CFamilyScanner::EmitName(std::size_t i) {
    // Upper-cased through the table while it is copied; a name with bytes beyond
    // ASCII is written again by the Unicode upper-casing.
    Room(m_n - i + 1);
    Separate(EBefore::Normal);
    m_lastWordPos = Used();
    const unsigned char* const text = reinterpret_cast<const unsigned char*>(m_s.data());
    std::size_t end = i;
    unsigned char high = 0;
    char* p = m_p;
    do {
        const unsigned char c = text[end];
        high |= c;
        *p++ = kBytes.m_Upper[c];
        ++end;
    } while (end < m_n && Is(text[end], kNameChar));
    m_p = p;
    if (high & 0x80) {
        const std::string upper = UpperCaseSqlText(m_s.substr(i, end - i));
        m_p = m_base + m_lastWordPos;
        Room(upper.size());
        std::memcpy(m_p, upper.data(), upper.size());
        m_p += upper.size();
    }
    m_lastWordLen = Used() - m_lastWordPos;
    m_last = ELast::Word;
    m_after = EAfter::Name;
    return end;
}

void CFamilyScanner::EmitLineHint(std::size_t i, std::size_t end) {
    // A line hint becomes a block hint, so that what follows it on the one line
    // of the family text stays outside it.
    std::string hint = "/*";
    for (std::size_t k = i + 2; k < end; ++k) {
        hint += m_s[k];
        if (m_s[k] == '*' && k + 1 < end && m_s[k + 1] == '/') hint += ' ';
    }
    hint += " */";
    EmitCollapsed(hint);
}

bool CFamilyScanner::SignMayStartNumber() const {
    switch (m_last) {
        case ELast::None:
        case ELast::Punct:
            return true;
        case ELast::Word:
            return IsSignContextWord(LastWord());
        default:
            return false;
    }
}

void CFamilyScanner::Run() {
    const unsigned char* const text = reinterpret_cast<const unsigned char*>(m_s.data());
    std::size_t i = 0;
    while (i < m_n) {
        const unsigned char c = text[i];
        const std::uint8_t cls = kBytes.m_Class[c];
        if (cls & kBlank) {
            do
                ++i;
            while (i < m_n && Is(text[i], kBlank));
            continue;
        }
        if (cls & kNameStart) {
            if ((c | 0x20) == 'n' || (c | 0x20) == 'q') {
                if (const std::size_t end = StringLiteralEnd(i); end != npos) {
                    EmitPlaceholder();
                    i = end;
                    continue;
                }
            }
            i = EmitName(i);
            continue;
        }
        if (cls & kDigit) {
            EmitPlaceholder();
            i = NumberEnd(i);
            continue;
        }
        switch (c) {
            case '-':
            case '/':
            case '+':
                if (const std::size_t end = CommentEnd(i); end != npos) {
                    if (At(i + 2) == '+' && i + 2 < m_n) {
                        if (c == '/')
                            EmitCollapsed(m_s.substr(i, end - i));
                        else
                            EmitLineHint(i, end);
                    }
                    i = end;
                    continue;
                }
                if (c != '/' && SignMayStartNumber()) {
                    if (const std::size_t end = SignedNumberEnd(i); end != npos) {
                        EmitPlaceholder();
                        i = end;
                        continue;
                    }
                }
                break;
            case '\'':
                EmitPlaceholder();
                i = PlainStringEnd(i);
                continue;
            case '"': {
                const std::size_t close = m_s.find('"', i + 1);
                const std::size_t end = close == npos ? m_n : close + 1;
                Emit(m_s.substr(i, end - i), ELast::Word, EBefore::Normal, EAfter::Name);
                m_lastWordLen = 0;
                i = end;
                continue;
            }
            case ':':
                if (i + 1 < m_n && (Is(text[i + 1], kNameChar) || text[i + 1] == '"')) {
                    std::size_t end;
                    if (text[i + 1] == '"') {
                        const std::size_t close = m_s.find('"', i + 2);
                        end = close == npos ? m_n : close + 1;
                    } else {
                        end = i + 1;
                        while (end < m_n && Is(text[end], kNameChar))
                            ++end;
                    }
                    Emit(m_s.substr(i, end - i), ELast::Bind);
                    i = end;
                    continue;
                }
                break;
            case '.':
                if (i + 1 < m_n && text[i + 1] == '.') {
                    Emit("..", ELast::Punct, EBefore::Tight, EAfter::Tight);
                    i += 2;
                    continue;
                }
                if (i + 1 < m_n && Is(text[i + 1], kDigit)) {
                    EmitPlaceholder();
                    i = NumberEnd(i);
                    continue;
                }
                [[fallthrough]];
            case '@':
            case '%':
                Emit(m_s.substr(i, 1), ELast::Punct, EBefore::Tight, EAfter::Tight);
                ++i;
                continue;
            case '(':
                if (m_last == ELast::Word && IsListContextWord(LastWord())) {
                    if (const std::size_t end = LiteralListEnd(i); end != npos) {
                        Emit("(?+)", ELast::Close, EBefore::Open);
                        i = end;
                        continue;
                    }
                }
                // A family text's own placeholder list stays one token.
                if (m_s.compare(i, 4, "(?+)") == 0) {
                    Emit("(?+)", ELast::Close, EBefore::Open);
                    i += 4;
                    continue;
                }
                Emit("(", ELast::Punct, EBefore::Open, EAfter::Tight);
                ++i;
                continue;
            case ')':
            case ',':
            case ';':
                Emit(m_s.substr(i, 1), c == ')' ? ELast::Close : ELast::Punct, EBefore::Tight);
                ++i;
                continue;
            default:
                break;
        }
        const std::size_t length = i + 1 < m_n && IsTwoCharOperator(c, text[i + 1]) ? 2 : 1;
        Emit(m_s.substr(i, length), ELast::Punct);
        i += length;
    }
    m_out.resize(Used());
}

}  // namespace

void AppendSqlFamilyText(std::string_view sql, std::string& out) {
    CFamilyScanner(sql, out).Run();
}

std::string SqlFamilyText(std::string_view sql) {
    std::string out;
    AppendSqlFamilyText(sql, out);
    return out;
}

}  // namespace corvid
