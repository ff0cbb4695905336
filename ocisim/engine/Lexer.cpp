#include "ocisim/engine/Lexer.h"

#include <cctype>

#include "ocisim/engine/Errors.h"

namespace ocisim {

namespace {

bool IsIdentStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; }
bool IsIdentChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$' || c == '#';
}

}  // namespace

void Lexer::SkipBlanksAndComments() {
    for (;;) {
        while (m_Pos < m_Text.size() && std::isspace(static_cast<unsigned char>(m_Text[m_Pos]))) ++m_Pos;
        if (m_Text.compare(m_Pos, 2, "--") == 0) {
            size_t nl = m_Text.find('\n', m_Pos);
            m_Pos = nl == std::string::npos ? m_Text.size() : nl + 1;
            continue;
        }
        if (m_Text.compare(m_Pos, 2, "/*") == 0) {
            size_t close = m_Text.find("*/", m_Pos + 2);
            m_Pos = close == std::string::npos ? m_Text.size() : close + 2;
            continue;
        }
        return;
    }
}

Token Lexer::Next() {
    SkipBlanksAndComments();
    Token t;
    t.pos = m_Pos;
    if (m_Pos >= m_Text.size()) {
        t.type = TokenType::End;
        t.end = m_Pos;
        return t;
    }
    char c = m_Text[m_Pos];
    if (IsIdentStart(c)) {
        size_t start = m_Pos;
        while (m_Pos < m_Text.size() && IsIdentChar(m_Text[m_Pos])) ++m_Pos;
        t.type = TokenType::Ident;
        t.text = m_Text.substr(start, m_Pos - start);
        for (char& ch : t.text) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    } else if (c == '"') {
        size_t close = m_Text.find('"', m_Pos + 1);
        if (close == std::string::npos) Raise(1740);
        t.type = TokenType::QuotedIdent;
        t.text = m_Text.substr(m_Pos + 1, close - m_Pos - 1);
        m_Pos = close + 1;
    } else if (std::isdigit(static_cast<unsigned char>(c)) ||
               (c == '.' && m_Pos + 1 < m_Text.size() && std::isdigit(static_cast<unsigned char>(m_Text[m_Pos + 1])))) {
        size_t start = m_Pos;
        while (m_Pos < m_Text.size() && std::isdigit(static_cast<unsigned char>(m_Text[m_Pos]))) ++m_Pos;
        if (m_Pos < m_Text.size() && m_Text[m_Pos] == '.' &&
            !(m_Pos + 1 < m_Text.size() && m_Text[m_Pos + 1] == '.')) {
            ++m_Pos;
            while (m_Pos < m_Text.size() && std::isdigit(static_cast<unsigned char>(m_Text[m_Pos]))) ++m_Pos;
        }
        if (m_Pos < m_Text.size() && (m_Text[m_Pos] == 'e' || m_Text[m_Pos] == 'E')) {
            size_t e = m_Pos + 1;
            if (e < m_Text.size() && (m_Text[e] == '+' || m_Text[e] == '-')) ++e;
            if (e < m_Text.size() && std::isdigit(static_cast<unsigned char>(m_Text[e]))) {
                while (e < m_Text.size() && std::isdigit(static_cast<unsigned char>(m_Text[e]))) ++e;
                m_Pos = e;
            }
        }
        t.type = TokenType::Number;
        t.text = m_Text.substr(start, m_Pos - start);
    } else if (c == '\'') {
        std::string value;
        size_t i = m_Pos + 1;
        for (;;) {
            if (i >= m_Text.size()) Raise(1756);
            if (m_Text[i] == '\'') {
                if (i + 1 < m_Text.size() && m_Text[i + 1] == '\'') {
                    value += '\'';
                    i += 2;
                    continue;
                }
                break;
            }
            value += m_Text[i++];
        }
        t.type = TokenType::String;
        t.text = value;
        m_Pos = i + 1;
    } else if (c == ':' && m_Pos + 1 < m_Text.size() &&
               (IsIdentChar(m_Text[m_Pos + 1]) || m_Text[m_Pos + 1] == '"')) {
        size_t start = ++m_Pos;
        if (m_Text[m_Pos] == '"') {
            size_t close = m_Text.find('"', m_Pos + 1);
            if (close == std::string::npos) Raise(1756);
            t.text = m_Text.substr(m_Pos + 1, close - m_Pos - 1);
            m_Pos = close + 1;
        } else {
            while (m_Pos < m_Text.size() && IsIdentChar(m_Text[m_Pos])) ++m_Pos;
            t.text = m_Text.substr(start, m_Pos - start);
            for (char& ch : t.text) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        }
        t.type = TokenType::Bind;
    } else {
        static const char* twoChar[] = {"||", "<>", "!=", "^=", "<=", ">=", ":=", "=>", "**", ".."};
        t.type = TokenType::Op;
        for (const char* op : twoChar) {
            if (m_Text.compare(m_Pos, 2, op) == 0) {
                t.text = op;
                m_Pos += 2;
                t.end = m_Pos;
                return t;
            }
        }
        t.text = std::string(1, c);
        ++m_Pos;
    }
    t.end = m_Pos;
    return t;
}

std::vector<Token> Lexer::Tokenize(const std::string& text) {
    Lexer lexer(text);
    std::vector<Token> tokens;
    tokens.reserve(text.size() / 6 + 2);  // about one token in six characters of SQL
    for (;;) {
        tokens.push_back(lexer.Next());
        if (tokens.back().type == TokenType::End) break;
    }
    return tokens;
}

void LineAndColumn(const std::string& text, size_t offset, int& line, int& column) {
    line = 1;
    column = 1;
    for (size_t i = 0; i < offset && i < text.size(); ++i) {
        if (text[i] == '\n') {
            ++line;
            column = 1;
        } else {
            ++column;
        }
    }
}

}  // namespace ocisim
