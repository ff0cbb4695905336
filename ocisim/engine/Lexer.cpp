#include "ocisim/engine/Lexer.h"

#include <array>
#include <cstring>
#include <mutex>

#include "ocisim/engine/Errors.h"

namespace ocisim {

namespace {

// Character classes of the bytes, as the "C" locale has them: every byte from
// 128 on is neither a letter, a digit nor a blank.
enum : unsigned char { kBlank = 1, kLetter = 2, kDigit = 4, kIdentMark = 8 };

constexpr std::array<unsigned char, 256> MakeClasses() {
    std::array<unsigned char, 256> c{};
    for (int i = 'a'; i <= 'z'; ++i) c[static_cast<size_t>(i)] = kLetter;
    for (int i = 'A'; i <= 'Z'; ++i) c[static_cast<size_t>(i)] = kLetter;
    for (int i = '0'; i <= '9'; ++i) c[static_cast<size_t>(i)] = kDigit;
    for (char b : {' ', '\t', '\n', '\v', '\f', '\r'}) c[static_cast<unsigned char>(b)] = kBlank;
    for (char m : {'_', '$', '#'}) c[static_cast<unsigned char>(m)] = kIdentMark;
    return c;
}

constexpr std::array<unsigned char, 256> kClasses = MakeClasses();

bool Is(char c, unsigned char classes) { return (kClasses[static_cast<unsigned char>(c)] & classes) != 0; }
bool IsIdentStart(char c) { return Is(c, kLetter); }
bool IsIdentChar(char c) { return Is(c, kLetter | kDigit | kIdentMark); }
bool IsDigit(char c) { return Is(c, kDigit); }

void UpperCase(std::string& s) {
    for (char& ch : s)
        if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
}

// The second character of the two-character operator that starts with `c`
// ("||", "<>", "<=", "!=", "^=", ">=", ":=", "=>", "**", ".."), for each one
// that may follow it.
bool IsTwoCharOp(char c, char next) {
    switch (c) {
        case '|': return next == '|';
        case '<': return next == '>' || next == '=';
        case '!':
        case '^':
        case '>':
        case ':': return next == '=';
        case '=': return next == '>';
        case '*': return next == '*';
        case '.': return next == '.';
        default: return false;
    }
}

}  // namespace

void Lexer::SkipBlanksAndComments() {
    const char* const text = m_Text.data();
    const size_t size = m_Text.size();
    size_t pos = m_Pos;
    for (;;) {
        while (pos < size && Is(text[pos], kBlank)) ++pos;
        if (pos + 1 < size && text[pos] == '-' && text[pos + 1] == '-') {
            const void* nl = std::memchr(text + pos + 2, '\n', size - pos - 2);
            pos = nl == nullptr ? size : static_cast<size_t>(static_cast<const char*>(nl) - text) + 1;
            continue;
        }
        if (pos + 1 < size && text[pos] == '/' && text[pos + 1] == '*') {
            size_t close = m_Text.find("*/", pos + 2);
            pos = close == std::string::npos ? size : close + 2;
            continue;
        }
        m_Pos = pos;
        return;
    }
}

Token Lexer::Next() {
    Token t;
    Read(t);
    return t;
}

void Lexer::Read(Token& t) {
    SkipBlanksAndComments();
    const char* const text = m_Text.data();
    const size_t size = m_Text.size();
    t.pos = m_Pos;
    if (m_Pos >= size) {
        t.type = TokenType::End;
        t.end = m_Pos;
        return;
    }
    const char c = text[m_Pos];
    if (IsIdentStart(c)) {
        size_t start = m_Pos;
        while (m_Pos < size && IsIdentChar(text[m_Pos])) ++m_Pos;
        t.type = TokenType::Ident;
        t.text.assign(text + start, m_Pos - start);
        UpperCase(t.text);
    } else if (c == '"') {
        size_t close = m_Text.find('"', m_Pos + 1);
        if (close == std::string::npos) Raise(1740);
        t.type = TokenType::QuotedIdent;
        t.text.assign(text + m_Pos + 1, close - m_Pos - 1);
        m_Pos = close + 1;
    } else if (IsDigit(c) || (c == '.' && m_Pos + 1 < size && IsDigit(text[m_Pos + 1]))) {
        size_t start = m_Pos;
        while (m_Pos < size && IsDigit(text[m_Pos])) ++m_Pos;
        if (m_Pos < size && text[m_Pos] == '.' && !(m_Pos + 1 < size && text[m_Pos + 1] == '.')) {
            ++m_Pos;
            while (m_Pos < size && IsDigit(text[m_Pos])) ++m_Pos;
        }
        if (m_Pos < size && (text[m_Pos] == 'e' || text[m_Pos] == 'E')) {
            size_t e = m_Pos + 1;
            if (e < size && (text[e] == '+' || text[e] == '-')) ++e;
            if (e < size && IsDigit(text[e])) {
                while (e < size && IsDigit(text[e])) ++e;
                m_Pos = e;
            }
        }
        t.type = TokenType::Number;
        t.text.assign(text + start, m_Pos - start);
    } else if (c == '\'') {
        // Copied a run at a time: a doubled quote stands for one.
        size_t i = m_Pos + 1;
        for (;;) {
            const void* quote = i < size ? std::memchr(text + i, '\'', size - i) : nullptr;
            if (quote == nullptr) Raise(1756);
            const size_t q = static_cast<size_t>(static_cast<const char*>(quote) - text);
            t.text.append(text + i, q - i);
            if (q + 1 < size && text[q + 1] == '\'') {
                t.text += '\'';
                i = q + 2;
                continue;
            }
            i = q;
            break;
        }
        t.type = TokenType::String;
        m_Pos = i + 1;
    } else if (c == ':' && m_Pos + 1 < size && (IsIdentChar(text[m_Pos + 1]) || text[m_Pos + 1] == '"')) {
        size_t start = ++m_Pos;
        if (text[m_Pos] == '"') {
            size_t close = m_Text.find('"', m_Pos + 1);
            if (close == std::string::npos) Raise(1756);
            t.text.assign(text + m_Pos + 1, close - m_Pos - 1);
            m_Pos = close + 1;
        } else {
            while (m_Pos < size && IsIdentChar(text[m_Pos])) ++m_Pos;
            t.text.assign(text + start, m_Pos - start);
            UpperCase(t.text);
        }
        t.type = TokenType::Bind;
    } else {
        t.type = TokenType::Op;
        const size_t length = m_Pos + 1 < size && IsTwoCharOp(c, text[m_Pos + 1]) ? 2 : 1;
        t.text.assign(text + m_Pos, length);
        m_Pos += length;
    }
    t.end = m_Pos;
}

namespace {

// The spare token buffers; a few, as parsers nest (an EXPLAIN PLAN parses its
// statement with a parser of its own) and sessions parse on threads of their
// own. Process-wide rather than per thread: a thread-local object with a
// destructor would keep this library loaded until its thread ends, and with it
// the server's state.
constexpr size_t kSpareBuffers = 8;
// A buffer larger than this is freed instead of kept.
constexpr size_t kLargestKeptBuffer = 1 << 14;

struct SpareBuffers {
    std::mutex mutex;
    std::vector<std::vector<Token>> buffers;
};

SpareBuffers& Spares() {
    static SpareBuffers spares;
    return spares;
}

}  // namespace

std::vector<Token> Lexer::TakeBuffer() {
    SpareBuffers& spares = Spares();
    std::lock_guard<std::mutex> lock(spares.mutex);
    if (spares.buffers.empty()) return {};
    std::vector<Token> tokens = std::move(spares.buffers.back());
    spares.buffers.pop_back();
    return tokens;
}

void Lexer::GiveBack(std::vector<Token>&& tokens) {
    if (tokens.capacity() == 0 || tokens.capacity() > kLargestKeptBuffer) return;
    tokens.clear();
    SpareBuffers& spares = Spares();
    std::lock_guard<std::mutex> lock(spares.mutex);
    if (spares.buffers.size() < kSpareBuffers) spares.buffers.push_back(std::move(tokens));
}

std::vector<Token> Lexer::Tokenize(const std::string& text) {
    Lexer lexer(text);
    std::vector<Token> tokens = TakeBuffer();
    tokens.reserve(text.size() / 6 + 2);  // about one token in six characters of SQL
    for (;;) {
        Token& t = tokens.emplace_back();
        lexer.Read(t);
        if (t.type == TokenType::End) break;
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
