#pragma once

// The syntax tree of the SQL the engine parses. The evaluator binds names in
// place (the resolved fields below), so each execution works on its own tree: a
// fresh parse, a copy of a tree kept unbound in the server's parse cache, or a
// query's tree an earlier execute handed back and UnbindSelect made unbound again.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ocisim/engine/Engine.h"

namespace ocisim {

class TableData;
struct Select;
struct InSet;
class SelectShelf;

struct Expr {
    enum class Kind {
        Literal,         // literal
        Name,            // names: [qualifier.]name, or a PL/SQL variable / record field
        Bind,            // names[0] = bind name
        Negate,          // -args[0]
        Arith,           // op in + - * /
        Concat,          // args[0] || args[1]
        Compare,         // op in = <> < > <= >=
        And,
        Or,
        Not,
        Like,            // args: value, pattern[, escape]; negated
        InList,          // args[0] IN (args[1..]); negated
        InSubquery,      // args[0] IN (sub); negated
        IsNull,          // negated: IS NOT NULL
        Between,         // args: value, low, high; negated
        Function,        // names: [package.]function; args
        Aggregate,       // names[0]: COUNT/SUM/MIN/MAX/AVG; args empty for COUNT(*); distinct
        Case,            // args: [subject] when1 then1 ... [else]; hasSubject, hasElse
        ScalarSubquery,  // sub
        Exists,          // sub
        RowNum,
        Level,
        Prior,           // PRIOR args[0]
    };
    Kind kind = Kind::Literal;
    size_t pos = 0;
    Value literal;
    std::vector<std::string> names;
    std::string op;
    bool negated = false;
    bool distinct = false;
    bool star = false;        // COUNT(*)
    bool hasParens = false;   // a function written with parentheses
    bool hasSubject = false;  // CASE x WHEN ...
    bool hasElse = false;
    std::vector<std::unique_ptr<Expr>> args;
    std::unique_ptr<Select> sub;

    // Set when the names are bound.
    int depth = -1;   // 0: the current query block, 1: the enclosing one, ...
    int source = -1;  // index of the FROM item
    int column = -1;  // column of that item
    Value* variable = nullptr;  // a PL/SQL variable
    int bindIndex = -1;
    int aggregateIndex = -1;
    bool correlated = false;  // a subquery that refers to an enclosing query
    std::shared_ptr<InSet> inSet;            // an uncorrelated IN subquery, evaluated once
    std::shared_ptr<std::vector<Value>> scalarCache;  // an uncorrelated scalar subquery
};

using ExprPtr = std::unique_ptr<Expr>;

enum class JoinKind { Comma, Inner, Left };

struct TableRef {
    std::string schema;  // empty when not qualified
    std::string name;
    std::string alias;
    size_t pos = 0;
    std::unique_ptr<Select> subquery;  // an inline view
    JoinKind join = JoinKind::Comma;
    ExprPtr on;
    std::string dblink;
};

struct SelectItem {
    ExprPtr expr;              // null for * and t.*
    std::string starQualifier; // t for t.*
    std::string alias;         // AS alias or the expression's text
    bool hasAlias = false;
};

struct OrderItem {
    ExprPtr expr;
    bool descending = false;
    int nullsFirst = -1;  // -1 default, 0 last, 1 first
};

struct Select {
    size_t pos = 0;
    bool distinct = false;
    std::vector<SelectItem> items;
    std::vector<TableRef> from;
    ExprPtr where;
    ExprPtr startWith;
    ExprPtr connectBy;
    std::vector<ExprPtr> groupBy;
    ExprPtr having;
    std::vector<OrderItem> orderBy;
    bool forUpdate = false;
    // A set operation: this block UNION [ALL] / MINUS / INTERSECT `next`.
    std::string setOp;
    std::unique_ptr<Select> next;
};

struct ColumnDef {
    std::string name;
    ColumnDesc desc;
};

struct Statement {
    enum class Kind {
        Select, Insert, Update, Delete, Explain, AlterSystem, AlterSession, CreateProcedure, DropProcedure,
        CreateTable, DropTable, CreateIndex, DropIndex, CreateSynonym, DropSynonym, Analyze, Truncate, Grant,
        Commit, Rollback, PlSqlBlock, Call
    };
    Kind kind = Kind::Select;
    std::unique_ptr<Select> select;  // Select; Insert ... SELECT
    TableRef table;                  // Insert, Update, Delete, DDL on a table, Analyze
    std::vector<std::string> columns;              // Insert column list; CreateIndex columns
    std::vector<ExprPtr> values;                   // Insert VALUES; Update SET values
    std::vector<std::string> setColumns;           // Update
    ExprPtr where;                                 // Update, Delete
    std::vector<ColumnDef> columnDefs;             // CreateTable
    std::string owner, name;                       // named objects
    std::string option, value;                     // ALTER SYSTEM / SESSION
    bool unique = false;                           // CREATE UNIQUE INDEX
    bool orReplace = false, isPublic = false;
    bool hasStatementId = false;                   // EXPLAIN PLAN SET STATEMENT_ID
    std::string statementId;
    std::string intoTable;                         // EXPLAIN PLAN INTO
    std::unique_ptr<Statement> inner;              // the explained statement
    std::string innerText;
    std::vector<std::string> privileges, grantees; // GRANT
    int commandType = 0;                           // Oracle's command type code
    // A query kept by the parse cache: where its tree goes back once its rows are
    // released, to be bound again by the next execute. Never copied with the tree.
    std::shared_ptr<SelectShelf> shelf;
};

// Deep copies of unbound trees: every field the parser sets, none of the binding.
ExprPtr CloneExpr(const Expr& e);
std::unique_ptr<Select> CloneSelect(const Select& s);
TableRef CloneTableRef(const TableRef& t);
std::unique_ptr<Statement> CloneStatement(const Statement& st, bool withSelect = true);

// True when a select list anywhere in the query holds * or t.*: binding expands
// those in place, so such a bound tree cannot be made unbound again.
bool HasStarItem(const Select& s);
// Turns a bound copy of `parsed` back into an unbound one, as CloneSelect would
// make it: every binding field cleared, the kinds binding changed put back. False
// (the copy then half reset, of no further use) when the two differ in shape.
bool UnbindSelect(const Select& parsed, Select& bound);

}  // namespace ocisim
