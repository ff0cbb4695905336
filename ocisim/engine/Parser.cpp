#include "ocisim/engine/Parser.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>
#include <iterator>
#include <string_view>

#include "ocisim/engine/Errors.h"

namespace ocisim {

namespace {

ExprPtr MakeExpr(Expr::Kind kind, size_t pos) {
    auto e = std::make_unique<Expr>();
    e->kind = kind;
    e->pos = pos;
    return e;
}

ExprPtr MakeBinary(Expr::Kind kind, const std::string& op, ExprPtr a, ExprPtr b, size_t pos) {
    auto e = MakeExpr(kind, pos);
    e->op = op;
    e->args.push_back(std::move(a));
    e->args.push_back(std::move(b));
    return e;
}

// True when `s` is exactly `word` (compared inline: most calls end at the
// length or the first byte).
bool SameWord(std::string_view s, std::string_view word) {
    if (s.size() != word.size()) return false;
    for (size_t i = 0; i < s.size(); ++i)
        if (s[i] != word[i]) return false;
    return true;
}

bool IsAggregateName(std::string_view name) {
    if (name.size() == 3)
        return SameWord(name, "SUM") || SameWord(name, "MIN") || SameWord(name, "MAX") || SameWord(name, "AVG");
    return SameWord(name, "COUNT");
}

}  // namespace

bool Parser::IsReserved(std::string_view w) {
    // Sorted, so that the words of one initial letter are together.
    static constexpr std::string_view kWords[] = {
        "ALL", "AND", "AS", "ASC", "BETWEEN", "BY", "CONNECT", "CREATE", "CROSS", "DELETE", "DESC",
        "DISTINCT", "DROP", "ELSE", "END", "ESCAPE", "EXISTS", "FOR", "FROM", "FULL", "GROUP", "HAVING",
        "IN", "INNER", "INSERT", "INTERSECT", "INTO", "IS", "JOIN", "LEFT", "LIKE", "MINUS", "NATURAL",
        "NOT", "NULL", "NULLS", "ON", "OR", "ORDER", "OUTER", "PRIOR", "RIGHT", "SELECT", "SET", "START",
        "THEN", "UNION", "UNIQUE", "UPDATE", "USING", "VALUES", "WHEN", "WHERE", "WITH"};
    // The words of each initial letter: [first, end) in kWords.
    struct Range {
        unsigned char first = 0, end = 0;
    };
    static constexpr auto kByInitial = [] {
        std::array<Range, 26> ranges{};
        for (size_t i = 0; i < std::size(kWords); ++i) {
            Range& r = ranges[static_cast<size_t>(kWords[i][0] - 'A')];
            if (r.end == 0) r.first = static_cast<unsigned char>(i);
            r.end = static_cast<unsigned char>(i + 1);
        }
        return ranges;
    }();
    if (w.size() < 2 || w.size() > 9 || w[0] < 'A' || w[0] > 'Z') return false;
    const Range r = kByInitial[static_cast<size_t>(w[0] - 'A')];
    for (size_t i = r.first; i < r.end; ++i)
        if (SameWord(w, kWords[i])) return true;
    return false;
}

Parser::Parser(const std::string& text) : m_Text(text) { m_Tokens = Lexer::Tokenize(m_Text); }

Parser::Parser(std::string text, std::vector<Token> tokens) : m_Text(std::move(text)), m_Tokens(std::move(tokens)) {}

Parser::~Parser() { Lexer::GiveBack(std::move(m_Tokens)); }

Parser::DepthGuard::DepthGuard(Parser& parser, bool query) : m_Parser(parser), m_Query(query) {
    if (query) {
        if (++m_Parser.m_QueryDepth > kMaxSubqueryDepth) {
            --m_Parser.m_QueryDepth;
            Raise(1778);
        }
    } else if (++m_Parser.m_ExpressionDepth > kMaxExpressionDepth) {
        --m_Parser.m_ExpressionDepth;
        Raise(3095, std::to_string(kMaxExpressionDepth));
    }
}

Parser::DepthGuard::~DepthGuard() {
    --(m_Query ? m_Parser.m_QueryDepth : m_Parser.m_ExpressionDepth);
}

const Token& Parser::Peek(size_t ahead) const {
    size_t i = m_Index + ahead;
    return i < m_Tokens.size() ? m_Tokens[i] : m_Tokens.back();
}

const Token& Parser::Take() {
    const Token& t = Peek();
    if (m_Index < m_Tokens.size() - 1) ++m_Index;
    return t;
}

bool Parser::AcceptWord(const char* word) {
    if (Peek().IsWord(word)) {
        Take();
        return true;
    }
    return false;
}

bool Parser::AcceptOp(const char* op) {
    if (Peek().IsOp(op)) {
        Take();
        return true;
    }
    return false;
}

void Parser::Unexpected(int code) const {
    if (AtEnd() && code != 933 && code != 911 && code != 903) Raise(921);
    Raise(code);
}

void Parser::ExpectWord(const char* word, int code) {
    if (!AcceptWord(word)) Unexpected(code);
}

void Parser::ExpectOp(const char* op, int code) {
    if (!AcceptOp(op)) Unexpected(code);
}

std::string Parser::TakeName(int code) {
    const Token& t = Peek();
    if (t.type == TokenType::QuotedIdent || (t.type == TokenType::Ident && !IsReserved(t.text))) return Take().text;
    Unexpected(code);
}

// ---------------------------------------------------------------- statements

std::unique_ptr<Statement> Parser::ParseStatement() {
    const Token& first = Peek();
    std::unique_ptr<Statement> st;
    if (first.type != TokenType::Ident && !first.IsOp("(")) Raise(900);
    if (first.IsWord("SELECT") || first.IsWord("WITH") || first.IsOp("(")) {
        st = std::make_unique<Statement>();
        st->kind = Statement::Kind::Select;
        st->commandType = 3;
        st->select = ParseQuery();
        if (AcceptWord("FOR")) {
            ExpectWord("UPDATE", 905);
            st->select->forUpdate = true;
            if (AcceptWord("OF")) {
                do TakeName(904);
                while (AcceptOp(",") || AcceptOp("."));
            }
            AcceptWord("NOWAIT");
        }
    } else if (first.IsWord("INSERT")) {
        st = ParseInsert();
    } else if (first.IsWord("UPDATE")) {
        st = ParseUpdate();
    } else if (first.IsWord("DELETE")) {
        st = ParseDelete();
    } else if (first.IsWord("EXPLAIN")) {
        st = ParseExplain();
    } else if (first.IsWord("ALTER")) {
        st = ParseAlter();
    } else if (first.IsWord("CREATE")) {
        st = ParseCreate();
        if (st->kind == Statement::Kind::CreateProcedure) return st;  // the PL/SQL compiler reads the rest
    } else if (first.IsWord("DROP")) {
        st = ParseDrop();
    } else if (first.IsWord("BEGIN") || first.IsWord("DECLARE")) {
        st = std::make_unique<Statement>();
        st->kind = Statement::Kind::PlSqlBlock;
        st->commandType = 47;
        return st;
    } else if (first.IsWord("COMMIT") || first.IsWord("ROLLBACK")) {
        st = std::make_unique<Statement>();
        bool commit = Take().text == "COMMIT";
        st->kind = commit ? Statement::Kind::Commit : Statement::Kind::Rollback;
        st->commandType = commit ? 44 : 45;
        AcceptWord("WORK");
    } else if (first.IsWord("ANALYZE")) {
        Take();
        st = std::make_unique<Statement>();
        st->kind = Statement::Kind::Analyze;
        st->commandType = 62;
        ExpectWord("TABLE", 905);
        ParseObjectName(st->table.schema, st->table.name);
        if (AcceptWord("COMPUTE")) {
            st->option = "COMPUTE";
            ExpectWord("STATISTICS", 905);
        } else if (AcceptWord("ESTIMATE")) {
            st->option = "COMPUTE";
            ExpectWord("STATISTICS", 905);
            if (AcceptWord("SAMPLE")) {
                if (Peek().type != TokenType::Number) Unexpected(905);
                Take();
                if (!AcceptWord("ROWS")) ExpectWord("PERCENT", 905);
            }
        } else if (AcceptWord("DELETE")) {
            st->option = "DELETE";
            ExpectWord("STATISTICS", 905);
        } else {
            Unexpected(905);
        }
    } else if (first.IsWord("TRUNCATE")) {
        Take();
        st = std::make_unique<Statement>();
        st->kind = Statement::Kind::Truncate;
        st->commandType = 85;
        ExpectWord("TABLE", 905);
        ParseObjectName(st->table.schema, st->table.name);
    } else if (first.IsWord("GRANT")) {
        Take();
        st = std::make_unique<Statement>();
        st->kind = Statement::Kind::Grant;
        st->commandType = 17;
        // Object privileges are reserved words (SELECT, UPDATE, ...) like any other.
        do {
            const Token& privilege = Peek();
            static const char* const kKnown[] = {"SELECT", "INSERT", "UPDATE", "DELETE", "INDEX", "ALTER", "ALL"};
            if (privilege.type != TokenType::Ident ||
                std::none_of(std::begin(kKnown), std::end(kKnown), [&](const char* k) { return privilege.text == k; }))
                Unexpected(990);
            st->privileges.push_back(Take().text);
            if (st->privileges.back() == "ALL" && Peek().IsWord("PRIVILEGES")) Take();
        } while (AcceptOp(","));
        ExpectWord("ON", 969);
        ParseObjectName(st->table.schema, st->table.name);
        ExpectWord("TO", 905);
        do st->grantees.push_back(TakeName(987));
        while (AcceptOp(","));
    } else {
        Raise(900);
    }
    if (AtEnd()) return st;
    if (Peek().IsOp(";")) Raise(911);
    Raise(933);
}

void Parser::ParseObjectName(std::string& owner, std::string& name) {
    name = TakeName(903);
    if (AcceptOp(".")) {
        owner = name;
        name = TakeName(903);
    }
}

std::unique_ptr<Statement> Parser::ParseInsert() {
    Take();
    auto st = std::make_unique<Statement>();
    st->kind = Statement::Kind::Insert;
    st->commandType = 2;
    ExpectWord("INTO", 925);
    st->table = ParseTableRef();
    if (Peek().IsOp("(") && !(Peek(1).IsWord("SELECT") || Peek(1).IsWord("WITH"))) {
        Take();
        do st->columns.push_back(TakeName(904));
        while (AcceptOp(","));
        ExpectOp(")", 907);
    }
    if (AcceptWord("VALUES")) {
        ExpectOp("(", 906);
        do st->values.push_back(ParseValue());
        while (AcceptOp(","));
        ExpectOp(")", 907);
    } else if (Peek().IsWord("SELECT") || Peek().IsWord("WITH") || Peek().IsOp("(")) {
        st->select = ParseQuery();
    } else {
        Unexpected(926);
    }
    return st;
}

std::unique_ptr<Statement> Parser::ParseUpdate() {
    Take();
    auto st = std::make_unique<Statement>();
    st->kind = Statement::Kind::Update;
    st->commandType = 6;
    st->table = ParseTableRef();
    ExpectWord("SET", 971);
    do {
        std::string column = TakeName(904);
        if (AcceptOp(".")) column = TakeName(904);  // alias.column
        ExpectOp("=", 927);
        st->setColumns.push_back(column);
        st->values.push_back(ParseValue());
    } while (AcceptOp(","));
    if (AcceptWord("WHERE")) st->where = ParseExpr();
    return st;
}

std::unique_ptr<Statement> Parser::ParseDelete() {
    Take();
    auto st = std::make_unique<Statement>();
    st->kind = Statement::Kind::Delete;
    st->commandType = 7;
    AcceptWord("FROM");
    st->table = ParseTableRef();
    if (AcceptWord("WHERE")) st->where = ParseExpr();
    return st;
}

std::unique_ptr<Statement> Parser::ParseExplain() {
    Take();
    auto st = std::make_unique<Statement>();
    st->kind = Statement::Kind::Explain;
    st->commandType = 50;
    ExpectWord("PLAN", 905);
    if (AcceptWord("SET")) {
        ExpectWord("STATEMENT_ID", 905);
        ExpectOp("=", 927);
        if (Peek().type != TokenType::String) Unexpected(1780);
        st->hasStatementId = true;
        st->statementId = Take().text;
    }
    if (AcceptWord("INTO")) {
        std::string owner, name;
        ParseObjectName(owner, name);
        st->intoTable = owner.empty() ? name : owner + "." + name;
    }
    ExpectWord("FOR", 905);
    const size_t offset = Peek().pos;
    // The explained statement is parsed on its own, from the tokens already read:
    // lexing its text again from a token's start gives the same tokens.
    // They move there: nothing after FOR is read again here.
    std::vector<Token> innerTokens = Lexer::TakeBuffer();
    innerTokens.reserve(m_Tokens.size() - m_Index);
    for (size_t i = m_Index; i < m_Tokens.size(); ++i) {
        Token& t = innerTokens.emplace_back(std::move(m_Tokens[i]));
        t.pos -= offset;
        t.end -= offset;
    }
    Parser inner(m_Text.substr(offset), std::move(innerTokens));
    st->inner = inner.ParseStatement();
    st->innerText = std::move(inner.m_Text);
    m_Index = m_Tokens.size() - 1;
    return st;
}

std::unique_ptr<Statement> Parser::ParseAlter() {
    Take();
    auto st = std::make_unique<Statement>();
    if (AcceptWord("SYSTEM")) {
        st->kind = Statement::Kind::AlterSystem;
        st->commandType = 49;
        if (AcceptWord("FLUSH")) {
            if (AcceptWord("SHARED_POOL"))
                st->option = "FLUSH SHARED_POOL";
            else if (AcceptWord("BUFFER_CACHE"))
                st->option = "FLUSH BUFFER_CACHE";
            else
                Unexpected(2000);
        } else if (AcceptWord("SET")) {
            st->option = "SET";
            st->name = TakeName(2065);
            ExpectOp("=", 2065);
            if (Peek().type == TokenType::End) Raise(922);
            st->value = Take().text;
            while (AcceptWord("SCOPE") || AcceptWord("SID")) {
                ExpectOp("=", 922);
                Take();
            }
        } else if (AcceptWord("CHECKPOINT") || AcceptWord("SWITCH")) {
            st->option = "CHECKPOINT";
            AcceptWord("LOGFILE");
        } else {
            Unexpected(2065);
        }
    } else if (AcceptWord("SESSION")) {
        st->kind = Statement::Kind::AlterSession;
        st->commandType = 42;
        ExpectWord("SET", 2248);
        st->name = TakeName(922);
        ExpectOp("=", 922);
        const Token& v = Peek();
        if (v.type == TokenType::End) Raise(922);
        if (v.type == TokenType::Op) Raise(922);
        st->value = Take().text;
    } else {
        Raise(940);
    }
    return st;
}

ColumnDesc Parser::ParseType() {
    ColumnDesc d;
    std::string t = TakeName(902);
    auto readSize = [&](int& n) {
        if (Peek().type != TokenType::Number) Unexpected(910);
        n = std::atoi(Take().text.c_str());
    };
    if (t == "VARCHAR2" || t == "VARCHAR" || t == "NVARCHAR2" || t == "CHAR" || t == "NCHAR" || t == "RAW") {
        d.type = t == "CHAR" || t == "NCHAR" ? ColumnType::Char : ColumnType::Varchar2;
        d.size = 1;
        if (AcceptOp("(")) {
            readSize(d.size);
            AcceptWord("BYTE") || AcceptWord("CHAR");
            ExpectOp(")", 907);
        } else if (t != "CHAR" && t != "NCHAR") {
            Unexpected(906);
        }
    } else if (t == "NUMBER" || t == "INTEGER" || t == "INT" || t == "FLOAT" || t == "DECIMAL" ||
               t == "SMALLINT") {
        d.type = ColumnType::Number;
        d.size = 22;
        if (t != "NUMBER" && t != "FLOAT" && t != "DECIMAL") d.precision = 38;
        if (AcceptOp("(")) {
            readSize(d.precision);
            if (AcceptOp(",")) readSize(d.scale);
            ExpectOp(")", 907);
        }
    } else if (t == "DATE") {
        d.type = ColumnType::Date;
        d.size = 7;
    } else if (t == "LONG" || t == "CLOB") {
        d.type = ColumnType::Long;
        d.size = 0;
    } else {
        Raise(902);
    }
    return d;
}

std::unique_ptr<Statement> Parser::ParseCreate() {
    Take();
    auto st = std::make_unique<Statement>();
    if (AcceptWord("OR")) {
        ExpectWord("REPLACE", 922);
        st->orReplace = true;
    }
    if (AcceptWord("PUBLIC")) st->isPublic = true;
    if (Peek().IsWord("PROCEDURE") || Peek().IsWord("FUNCTION") || Peek().IsWord("PACKAGE") ||
        Peek().IsWord("TRIGGER")) {
        st->kind = Statement::Kind::CreateProcedure;
        st->option = Take().text;
        st->commandType = st->option == "PROCEDURE" ? 24 : st->option == "FUNCTION" ? 91 : st->option == "PACKAGE" ? 94 : 59;
        ParseObjectName(st->owner, st->name);
        return st;
    }
    if (st->orReplace && !Peek().IsWord("VIEW") && !Peek().IsWord("SYNONYM")) Raise(922);
    if (AcceptWord("SYNONYM")) {
        st->kind = Statement::Kind::CreateSynonym;
        st->commandType = 19;
        ParseObjectName(st->owner, st->name);
        ExpectWord("FOR", 905);
        ParseObjectName(st->table.schema, st->table.name);
        return st;
    }
    if (st->isPublic) Raise(901);
    bool temporary = false;
    if (AcceptWord("GLOBAL")) {
        ExpectWord("TEMPORARY", 901);
        temporary = true;
    }
    if (AcceptWord("TABLE")) {
        st->kind = Statement::Kind::CreateTable;
        st->commandType = 1;
        ParseObjectName(st->owner, st->name);
        if (AcceptOp("(")) {
            do {
                if (Peek().IsWord("CONSTRAINT") || Peek().IsWord("PRIMARY")) {
                    // Table constraints are accepted and not kept.
                    int depth = 0;
                    while (!AtEnd() && !(depth == 0 && (Peek().IsOp(",") || Peek().IsOp(")")))) {
                        if (Peek().IsOp("(")) ++depth;
                        if (Peek().IsOp(")")) --depth;
                        Take();
                    }
                    continue;
                }
                ColumnDef c;
                c.name = TakeName(904);
                c.desc = ParseType();
                c.desc.name = c.name;
                for (;;) {
                    if (AcceptWord("NOT")) {
                        ExpectWord("NULL", 908);
                        c.desc.nullable = false;
                    } else if (AcceptWord("NULL")) {
                    } else if (AcceptWord("DEFAULT")) {
                        ParseValue();
                    } else if (AcceptWord("PRIMARY")) {
                        ExpectWord("KEY", 905);
                        c.desc.nullable = false;
                    } else if (AcceptWord("UNIQUE")) {
                    } else {
                        break;
                    }
                }
                for (const ColumnDef& other : st->columnDefs)
                    if (other.name == c.name) Raise(957);
                st->columnDefs.push_back(c);
            } while (AcceptOp(","));
            ExpectOp(")", 907);
        }
        if (temporary && AcceptWord("ON")) {
            ExpectWord("COMMIT", 905);
            if (!AcceptWord("DELETE")) ExpectWord("PRESERVE", 905);
            ExpectWord("ROWS", 905);
        }
        while (AcceptWord("TABLESPACE")) TakeName(2216);
        if (AcceptWord("AS")) st->select = ParseQuery();
        if (st->columnDefs.empty() && !st->select) Unexpected(906);
        return st;
    }
    if (AcceptWord("UNIQUE")) st->unique = true;
    if (AcceptWord("INDEX")) {
        st->kind = Statement::Kind::CreateIndex;
        st->commandType = 9;
        ParseObjectName(st->owner, st->name);
        ExpectWord("ON", 969);
        ParseObjectName(st->table.schema, st->table.name);
        ExpectOp("(", 906);
        do {
            st->columns.push_back(TakeName(904));
            AcceptWord("ASC") || AcceptWord("DESC");
        } while (AcceptOp(","));
        ExpectOp(")", 907);
        while (AcceptWord("TABLESPACE")) TakeName(2216);
        return st;
    }
    Raise(901);
}

std::unique_ptr<Statement> Parser::ParseDrop() {
    Take();
    auto st = std::make_unique<Statement>();
    if (AcceptWord("PUBLIC")) {
        st->isPublic = true;
        ExpectWord("SYNONYM", 950);
        st->kind = Statement::Kind::DropSynonym;
        st->commandType = 21;
        ParseObjectName(st->owner, st->name);
        return st;
    }
    if (AcceptWord("PROCEDURE") || AcceptWord("FUNCTION")) {
        st->kind = Statement::Kind::DropProcedure;
        st->commandType = 68;
    } else if (AcceptWord("TABLE")) {
        st->kind = Statement::Kind::DropTable;
        st->commandType = 12;
    } else if (AcceptWord("INDEX")) {
        st->kind = Statement::Kind::DropIndex;
        st->commandType = 10;
    } else if (AcceptWord("SYNONYM")) {
        st->kind = Statement::Kind::DropSynonym;
        st->commandType = 20;
    } else {
        Raise(950);
    }
    ParseObjectName(st->owner, st->name);
    if (st->kind == Statement::Kind::DropTable) {
        if (AcceptWord("CASCADE")) ExpectWord("CONSTRAINTS", 905);
        AcceptWord("PURGE");
    }
    return st;
}

// ---------------------------------------------------------------- queries

std::unique_ptr<Select> Parser::ParseQuery() {
    DepthGuard level(*this, true);
    std::unique_ptr<Select> first;
    if (Peek().IsOp("(")) {
        Take();
        first = ParseQuery();
        ExpectOp(")", 907);
    } else {
        first = ParseSelectBlock();
    }
    Select* last = first.get();
    for (;;) {
        std::string op;
        if (AcceptWord("UNION")) {
            op = AcceptWord("ALL") ? "UNION ALL" : "UNION";
        } else if (AcceptWord("MINUS")) {
            op = "MINUS";
        } else if (AcceptWord("INTERSECT")) {
            op = "INTERSECT";
        } else {
            break;
        }
        last->setOp = op;
        if (Peek().IsOp("(")) {
            Take();
            last->next = ParseQuery();
            ExpectOp(")", 907);
        } else {
            last->next = ParseSelectBlock();
        }
        last = last->next.get();
    }
    if (AcceptWord("ORDER")) {
        ExpectWord("BY", 924);
        do {
            OrderItem item;
            item.expr = ParseValue();
            if (AcceptWord("DESC"))
                item.descending = true;
            else
                AcceptWord("ASC");
            if (AcceptWord("NULLS")) {
                if (AcceptWord("FIRST"))
                    item.nullsFirst = 1;
                else {
                    ExpectWord("LAST", 905);
                    item.nullsFirst = 0;
                }
            }
            first->orderBy.push_back(std::move(item));
        } while (AcceptOp(","));
    }
    return first;
}

std::string Parser::ItemText(size_t begin, size_t end) const {
    // Oracle names an unaliased column after its expression: upper case, no blanks.
    std::string out;
    bool quoted = false;
    for (size_t i = begin; i < end && i < m_Text.size(); ++i) {
        char c = m_Text[i];
        if (c == '\'') quoted = !quoted;
        if (!quoted && std::isspace(static_cast<unsigned char>(c))) continue;
        if (!quoted && c == '"') continue;
        out += quoted ? c : static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return out;
}

std::unique_ptr<Select> Parser::ParseSelectBlock() {
    auto select = std::make_unique<Select>();
    select->pos = Peek().pos;
    if (Peek().IsWord("WITH")) Raise(900);
    ExpectWord("SELECT", 928);
    if (AcceptWord("DISTINCT") || AcceptWord("UNIQUE"))
        select->distinct = true;
    else
        AcceptWord("ALL");
    do {
        SelectItem item;
        if (Peek().IsOp("*")) {
            Take();
        } else if (Peek().IsName() && Peek(1).IsOp(".") && Peek(2).IsOp("*")) {
            item.starQualifier = Take().text;
            Take();
            Take();
        } else {
            size_t begin = Peek().pos;
            if (Peek().IsWord("FROM")) Raise(936);
            item.expr = ParseValue();
            size_t end = m_Tokens[m_Index - 1].end;
            if (AcceptWord("AS")) {
                item.alias = TakeName(923);
                item.hasAlias = true;
            } else if (Peek().type == TokenType::QuotedIdent ||
                       (Peek().type == TokenType::Ident && !IsReserved(Peek().text))) {
                item.alias = Take().text;
                item.hasAlias = true;
            } else {
                if (item.expr->kind == Expr::Kind::Name)
                    item.alias = item.expr->names.back();
                else
                    item.alias = ItemText(begin, end);
            }
        }
        select->items.push_back(std::move(item));
    } while (AcceptOp(","));
    if (!AcceptWord("FROM")) Unexpected(923);
    ParseFrom(*select);
    if (AcceptWord("WHERE")) select->where = ParseExpr();
    for (int i = 0; i < 2; ++i) {
        if (!select->startWith && AcceptWord("START")) {
            ExpectWord("WITH", 905);
            select->startWith = ParseExpr();
        } else if (!select->connectBy && AcceptWord("CONNECT")) {
            ExpectWord("BY", 924);
            AcceptWord("NOCYCLE");
            select->connectBy = ParseExpr();
        }
    }
    if (select->startWith && !select->connectBy) Raise(1788);
    if (AcceptWord("GROUP")) {
        ExpectWord("BY", 924);
        do select->groupBy.push_back(ParseValue());
        while (AcceptOp(","));
    }
    if (AcceptWord("HAVING")) select->having = ParseExpr();
    return select;
}

void Parser::ParseFrom(Select& select) {
    select.from.push_back(ParseTableRef());
    for (;;) {
        if (AcceptOp(",")) {
            select.from.push_back(ParseTableRef());
            continue;
        }
        JoinKind kind;
        if (AcceptWord("JOIN")) {
            kind = JoinKind::Inner;
        } else if (AcceptWord("INNER")) {
            ExpectWord("JOIN", 905);
            kind = JoinKind::Inner;
        } else if (AcceptWord("LEFT")) {
            AcceptWord("OUTER");
            ExpectWord("JOIN", 905);
            kind = JoinKind::Left;
        } else if (AcceptWord("CROSS")) {
            ExpectWord("JOIN", 905);
            TableRef ref = ParseTableRef();
            select.from.push_back(std::move(ref));
            continue;
        } else {
            break;
        }
        TableRef ref = ParseTableRef();
        ref.join = kind;
        ExpectWord("ON", 905);
        ref.on = ParseExpr();
        select.from.push_back(std::move(ref));
    }
}

TableRef Parser::ParseTableRef() {
    TableRef ref;
    ref.pos = Peek().pos;
    if (Peek().IsOp("(")) {
        Take();
        ref.subquery = ParseQuery();
        ExpectOp(")", 907);
    } else {
        ParseObjectName(ref.schema, ref.name);
        if (AcceptOp("@")) ref.dblink = TakeName(903);
    }
    if (Peek().type == TokenType::QuotedIdent || (Peek().type == TokenType::Ident && !IsReserved(Peek().text)))
        ref.alias = Take().text;
    return ref;
}

// ---------------------------------------------------------------- expressions

ExprPtr Parser::ParseExpr() { return ParseOr(); }

ExprPtr Parser::ParseOr() {
    ExprPtr left = ParseAnd();
    while (Peek().IsWord("OR")) {
        size_t pos = Take().pos;
        left = MakeBinary(Expr::Kind::Or, "OR", std::move(left), ParseAnd(), pos);
    }
    return left;
}

ExprPtr Parser::ParseAnd() {
    ExprPtr left = ParseNot();
    while (Peek().IsWord("AND")) {
        size_t pos = Take().pos;
        left = MakeBinary(Expr::Kind::And, "AND", std::move(left), ParseNot(), pos);
    }
    return left;
}

ExprPtr Parser::ParseNot() {
    if (Peek().IsWord("NOT")) {
        DepthGuard level(*this, false);
        size_t pos = Take().pos;
        auto e = MakeExpr(Expr::Kind::Not, pos);
        e->args.push_back(ParseNot());
        return e;
    }
    return ParseCondition();
}

ExprPtr Parser::ParseCondition() {
    if (Peek().IsWord("EXISTS")) {
        size_t pos = Take().pos;
        ExpectOp("(", 906);
        auto e = MakeExpr(Expr::Kind::Exists, pos);
        e->sub = ParseQuery();
        ExpectOp(")", 907);
        return e;
    }
    ExprPtr left = ParseSum();
    const Token& t = Peek();
    static const char* comparisons[] = {"=", "<>", "!=", "^=", "<", ">", "<=", ">="};
    for (const char* op : comparisons) {
        if (t.IsOp(op)) {
            size_t pos = Take().pos;
            std::string o = op;
            if (o == "!=" || o == "^=") o = "<>";
            return MakeBinary(Expr::Kind::Compare, o, std::move(left), ParseSum(), pos);
        }
    }
    size_t pos = t.pos;
    bool negated = false;
    if (t.IsWord("NOT") && (Peek(1).IsWord("LIKE") || Peek(1).IsWord("IN") || Peek(1).IsWord("BETWEEN"))) {
        Take();
        negated = true;
    }
    if (AcceptWord("IS")) {
        auto e = MakeExpr(Expr::Kind::IsNull, pos);
        e->negated = AcceptWord("NOT");
        ExpectWord("NULL", 908);
        e->args.push_back(std::move(left));
        return e;
    }
    if (AcceptWord("LIKE")) {
        auto e = MakeExpr(Expr::Kind::Like, pos);
        e->negated = negated;
        e->args.push_back(std::move(left));
        e->args.push_back(ParseSum());
        if (AcceptWord("ESCAPE")) e->args.push_back(ParseSum());
        return e;
    }
    if (AcceptWord("BETWEEN")) {
        auto e = MakeExpr(Expr::Kind::Between, pos);
        e->negated = negated;
        e->args.push_back(std::move(left));
        e->args.push_back(ParseSum());
        ExpectWord("AND", 905);
        e->args.push_back(ParseSum());
        return e;
    }
    if (AcceptWord("IN")) {
        ExpectOp("(", 906);
        if (Peek().IsWord("SELECT") || Peek().IsWord("WITH")) {
            auto e = MakeExpr(Expr::Kind::InSubquery, pos);
            e->negated = negated;
            e->args.push_back(std::move(left));
            e->sub = ParseQuery();
            ExpectOp(")", 907);
            return e;
        }
        auto e = MakeExpr(Expr::Kind::InList, pos);
        e->negated = negated;
        e->args.push_back(std::move(left));
        do e->args.push_back(ParseSum());
        while (AcceptOp(","));
        ExpectOp(")", 907);
        if (e->args.size() > 1001) Raise(1795);
        return e;
    }
    if (negated) Unexpected(920);
    return left;
}

ExprPtr Parser::ParseValue() { return ParseSum(); }

ExprPtr Parser::ParseSum() {
    ExprPtr left = ParseTerm();
    for (;;) {
        const Token& t = Peek();
        if (t.IsOp("+") || t.IsOp("-")) {
            const Token& op = Take();
            left = MakeBinary(Expr::Kind::Arith, op.text, std::move(left), ParseTerm(), op.pos);
        } else if (t.IsOp("||")) {
            size_t pos = Take().pos;
            left = MakeBinary(Expr::Kind::Concat, "||", std::move(left), ParseTerm(), pos);
        } else {
            return left;
        }
    }
}

ExprPtr Parser::ParseTerm() {
    ExprPtr left = ParseUnary();
    while (Peek().IsOp("*") || Peek().IsOp("/")) {
        const Token& op = Take();
        left = MakeBinary(Expr::Kind::Arith, op.text, std::move(left), ParseUnary(), op.pos);
    }
    return left;
}

ExprPtr Parser::ParseUnary() {
    DepthGuard level(*this, false);
    if (Peek().IsOp("-")) {
        size_t pos = Take().pos;
        auto e = MakeExpr(Expr::Kind::Negate, pos);
        e->args.push_back(ParseUnary());
        return e;
    }
    if (Peek().IsOp("+")) {
        Take();
        return ParseUnary();
    }
    if (Peek().IsWord("PRIOR")) {
        size_t pos = Take().pos;
        auto e = MakeExpr(Expr::Kind::Prior, pos);
        e->args.push_back(ParseUnary());
        return e;
    }
    return ParsePrimary();
}

ExprPtr Parser::ParseCase(size_t pos) {
    auto e = MakeExpr(Expr::Kind::Case, pos);
    if (!Peek().IsWord("WHEN")) {
        e->hasSubject = true;
        e->args.push_back(ParseValue());
    }
    if (!Peek().IsWord("WHEN")) Unexpected(905);
    while (AcceptWord("WHEN")) {
        e->args.push_back(e->hasSubject ? ParseValue() : ParseExpr());
        ExpectWord("THEN", 905);
        e->args.push_back(ParseValue());
    }
    if (AcceptWord("ELSE")) {
        e->hasElse = true;
        e->args.push_back(ParseValue());
    }
    ExpectWord("END", 905);
    return e;
}

ExprPtr Parser::ParseFunctionArgs(ExprPtr fn) {
    // The opening parenthesis has been read.
    fn->hasParens = true;
    if (AcceptOp(")")) return fn;
    do fn->args.push_back(ParseExpr());
    while (AcceptOp(","));
    ExpectOp(")", 907);
    return fn;
}

ExprPtr Parser::ParsePrimary() {
    const Token& t = Peek();
    switch (t.type) {
        case TokenType::Number: {
            const Token& n = Take();
            auto e = MakeExpr(Expr::Kind::Literal, n.pos);
            e->literal = Value::Num(std::strtod(n.text.c_str(), nullptr));
            return e;
        }
        case TokenType::String: {
            const Token& s = Take();
            auto e = MakeExpr(Expr::Kind::Literal, s.pos);
            e->literal = Value::Str(s.text);
            return e;
        }
        case TokenType::Bind: {
            const Token& b = Take();
            auto e = MakeExpr(Expr::Kind::Bind, b.pos);
            e->names.push_back(b.text);
            return e;
        }
        case TokenType::Op:
            if (t.IsOp("(")) {
                size_t pos = Take().pos;
                if (Peek().IsWord("SELECT") || Peek().IsWord("WITH")) {
                    auto e = MakeExpr(Expr::Kind::ScalarSubquery, pos);
                    e->sub = ParseQuery();
                    ExpectOp(")", 907);
                    return e;
                }
                ExprPtr inner = ParseExpr();
                ExpectOp(")", 907);
                return inner;
            }
            Unexpected(936);
        case TokenType::End: Raise(936);
        case TokenType::Ident:
        case TokenType::QuotedIdent: break;
    }
    const Token& first = Take();
    if (first.type == TokenType::Ident) {
        const std::string& w = first.text;
        if (SameWord(w, "NULL")) return MakeExpr(Expr::Kind::Literal, first.pos);
        if (SameWord(w, "ROWNUM")) return MakeExpr(Expr::Kind::RowNum, first.pos);
        if (SameWord(w, "LEVEL")) return MakeExpr(Expr::Kind::Level, first.pos);
        if (SameWord(w, "CASE")) return ParseCase(first.pos);
        if (SameWord(w, "DATE") && Peek().type == TokenType::String) {
            auto e = MakeExpr(Expr::Kind::Function, first.pos);
            e->names = {"TO_DATE"};
            e->hasParens = true;
            auto text = MakeExpr(Expr::Kind::Literal, Peek().pos);
            text->literal = Value::Str(Take().text);
            auto mask = MakeExpr(Expr::Kind::Literal, first.pos);
            mask->literal = Value::Str("YYYY-MM-DD");
            e->args.push_back(std::move(text));
            e->args.push_back(std::move(mask));
            return e;
        }
        if (IsReserved(w)) {
            m_Index--;
            Raise(936);
        }
    }
    auto e = MakeExpr(Expr::Kind::Name, first.pos);
    e->names.push_back(first.text);
    while (Peek().IsOp(".") && Peek(1).IsName()) {
        Take();
        e->names.push_back(Take().text);
    }
    if (AcceptOp("(")) {
        if (e->names.size() == 1 && IsAggregateName(e->names[0])) {
            e->kind = Expr::Kind::Aggregate;
            e->hasParens = true;
            if (e->names[0] == "COUNT" && AcceptOp("*")) {
                e->star = true;
            } else {
                if (AcceptWord("DISTINCT"))
                    e->distinct = true;
                else
                    AcceptWord("ALL");
                e->args.push_back(ParseValue());
            }
            ExpectOp(")", 907);
            return e;
        }
        e->kind = Expr::Kind::Function;
        return ParseFunctionArgs(std::move(e));
    }
    // A bare name: a column, a PL/SQL variable or a function without arguments
    // (SYSDATE, USER); the binder decides.
    return e;
}

}  // namespace ocisim
