#pragma once

// The recursive-descent parser for the engine's SQL. Syntax errors raise
// Oracle's errors (ORA-00900, ORA-00933, ORA-00936, ...). The PL/SQL parser
// drives the same object for the expressions and queries inside a block.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ocisim/engine/Ast.h"
#include "ocisim/engine/Lexer.h"

namespace ocisim {

class Parser {
public:
    explicit Parser(const std::string& text);
    ~Parser();
    Parser(Parser&&) = default;
    Parser& operator=(Parser&&) = default;

    // One whole SQL statement (no trailing semicolon, as Oracle's client sends it).
    std::unique_ptr<Statement> ParseStatement();

    // Pieces, for the PL/SQL parser.
    ExprPtr ParseExpr();        // a condition or a value
    ExprPtr ParseValue();       // an arithmetic value, no conditions
    std::unique_ptr<Select> ParseQuery();  // SELECT ... with set operations and ORDER BY

    const Token& Peek(size_t ahead = 0) const;
    // The current token (valid as long as the parser), and moves past it.
    const Token& Take();
    bool AcceptWord(const char* word);
    bool AcceptOp(const char* op);
    void ExpectWord(const char* word, int code);
    void ExpectOp(const char* op, int code);
    // An identifier or a quoted identifier; raises `code` otherwise.
    std::string TakeName(int code);
    size_t Index() const { return m_Index; }
    // The offset just past the last token taken.
    size_t LastEnd() const { return m_Index == 0 ? 0 : m_Tokens[m_Index - 1].end; }
    void SetIndex(size_t index) { m_Index = index; }
    const std::string& Text() const { return m_Text; }
    bool AtEnd() const { return Peek().type == TokenType::End; }
    // Raises the error for a token that cannot follow: ORA-00921 at the end of
    // the text, otherwise `code`.
    [[noreturn]] void Unexpected(int code) const;

    // Words that end an expression and cannot be aliases.
    static bool IsReserved(std::string_view word);

    // How deep a statement may nest. Oracle refuses more than 255 levels of
    // subqueries with ORA-01778 ("maximum subquery nesting level exceeded") and an
    // expression nested too deeply with ORA-03095 ("expression level is too deep,
    // maximum %s"); the parser stops there instead of running out of stack.
    static constexpr int kMaxSubqueryDepth = 255;
    static constexpr int kMaxExpressionDepth = 500;

private:
    // A parser over tokens already read from `text`.
    Parser(std::string text, std::vector<Token> tokens);
    std::unique_ptr<Select> ParseSelectBlock();
    void ParseFrom(Select& select);
    TableRef ParseTableRef();
    ExprPtr ParseOr();
    ExprPtr ParseAnd();
    ExprPtr ParseNot();
    ExprPtr ParseCondition();
    ExprPtr ParseSum();
    ExprPtr ParseTerm();
    ExprPtr ParseUnary();
    ExprPtr ParsePrimary();
    ExprPtr ParseCase(size_t pos);
    ExprPtr ParseFunctionArgs(ExprPtr fn);
    std::string ItemText(size_t begin, size_t end) const;
    void ParseObjectName(std::string& owner, std::string& name);
    ColumnDesc ParseType();

    std::unique_ptr<Statement> ParseInsert();
    std::unique_ptr<Statement> ParseUpdate();
    std::unique_ptr<Statement> ParseDelete();
    std::unique_ptr<Statement> ParseExplain();
    std::unique_ptr<Statement> ParseAlter();
    std::unique_ptr<Statement> ParseCreate();
    std::unique_ptr<Statement> ParseDrop();

    // One more level of expression (or, with `query`, of subquery) for as long
    // as it lives; raises the error of too deep a nesting beyond the limit.
    class DepthGuard {
    public:
        DepthGuard(Parser& parser, bool query);
        ~DepthGuard();
        DepthGuard(const DepthGuard&) = delete;
        DepthGuard& operator=(const DepthGuard&) = delete;

    private:
        Parser& m_Parser;
        bool m_Query;
    };

    std::string m_Text;
    std::vector<Token> m_Tokens;
    size_t m_Index = 0;
    int m_ExpressionDepth = 0;
    int m_QueryDepth = 0;
};

}  // namespace ocisim
