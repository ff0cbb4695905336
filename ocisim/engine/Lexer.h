#pragma once

// The SQL and PL/SQL tokenizer: identifiers (upper-cased unless quoted),
// numbers, string literals, bind variables and operators, with comments and
// white space skipped. Every token keeps its offset in the statement text.

#include <cstddef>
#include <string>
#include <vector>

namespace ocisim {

enum class TokenType { End, Ident, QuotedIdent, Number, String, Bind, Op };

struct Token {
    TokenType type = TokenType::End;
    std::string text;  // identifiers upper-cased; strings without quotes; binds without the colon
    size_t pos = 0;    // offset of the token's first character
    size_t end = 0;    // offset just past the token

    bool IsOp(const char* op) const { return type == TokenType::Op && Spells(op); }
    bool IsWord(const char* word) const { return type == TokenType::Ident && Spells(word); }
    bool IsName() const { return type == TokenType::Ident || type == TokenType::QuotedIdent; }

    // True when the text is exactly the C string `s` (inline: the parser asks
    // this of nearly every token, and most answers end at the first byte).
    bool Spells(const char* s) const {
        const char* d = text.data();
        const size_t n = text.size();
        for (size_t i = 0; i < n; ++i)
            if (s[i] == '\0' || d[i] != s[i]) return false;
        return s[n] == '\0';
    }
};

class Lexer {
public:
    explicit Lexer(const std::string& text) : m_Text(text) {}
    // The next token; raises ORA-01756 for an unterminated string.
    Token Next();
    // The whole text as tokens, ending with an End token.
    static std::vector<Token> Tokenize(const std::string& text);

    // Token buffers kept for reuse: a parse takes an empty one
    // (with the capacity an earlier parse gave it) and gives it back when done,
    // so that parsing statement after statement allocates no token arrays.
    static std::vector<Token> TakeBuffer();
    static void GiveBack(std::vector<Token>&& tokens);

private:
    void SkipBlanksAndComments();
    // Reads the next token into a token not used yet.
    void Read(Token& t);
    const std::string& m_Text;
    size_t m_Pos = 0;
};

// Line and column (both from 1) of an offset, as PL/SQL errors report them.
void LineAndColumn(const std::string& text, size_t offset, int& line, int& column);

}  // namespace ocisim
