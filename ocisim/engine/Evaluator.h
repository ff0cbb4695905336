#pragma once

// Binds the names of a parsed query (innermost query block first, then the
// enclosing ones, then PL/SQL variables) and evaluates it with Oracle's NULL
// semantics. A query without sorting or grouping streams its rows; others are
// computed on the first fetch. Uncorrelated subqueries run once per execution
// (IN subqueries into a hash set).

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "ocisim/engine/Ast.h"
#include "ocisim/engine/Engine.h"
#include "ocisim/engine/TableData.h"

namespace ocisim {

// The PL/SQL side of name binding: variables, record fields, package
// constants and package functions (dbms_sql).
class VariableScope {
public:
    virtual ~VariableScope() = default;
    // A variable or record field by its (upper-case) name parts, or null.
    virtual Value* Lookup(const std::vector<std::string>& names) = 0;
    // True when `names` is a function this scope evaluates (called through CallFunction).
    virtual bool HasFunction(const std::vector<std::string>& names, size_t argCount) = 0;
    virtual Value CallFunction(const std::vector<std::string>& names, const std::vector<Value>& args) = 0;
};

// What a query needs from the server: its tables, bind values and context.
struct EvalEnv {
    // A table or view of the FROM clause; raises ORA-00942 when the session cannot see it.
    std::function<std::shared_ptr<const TableData>(const TableRef&)> resolveTable;
    std::vector<Bind>* binds = nullptr;
    std::int64_t sysdate = 0;
    std::int64_t sessionId = 0;
    std::string user;
    std::int64_t userId = 0;
    VariableScope* variables = nullptr;
    // EXPLAIN PLAN: bind variables need no values (they are never evaluated).
    bool bindsWithoutValues = false;
};

// A set of texts in two blocks, whatever its size: the characters one after the
// other, and an open-addressed table of their hashes and places. An IN subquery
// over a large view (every address of the shared pool) probes it once per row.
class TextSet {
public:
    void Insert(std::string_view text);
    bool Contains(std::string_view text) const;
    bool Empty() const { return m_Order.empty(); }
    std::size_t Size() const { return m_Order.size(); }
    // The texts in the order they were first inserted.
    template <class F>
    void ForEach(F&& f) const {
        for (const Place& p : m_Order) f(std::string_view(m_Chars.data() + p.offset, p.length));
    }

private:
    struct Place {
        std::size_t offset;
        std::size_t length;
    };
    struct Slot {
        std::uint32_t hash = 0;
        std::uint32_t place = kEmpty;  // index into m_Order
    };
    static constexpr std::uint32_t kEmpty = 0xFFFFFFFFu;
    static std::uint64_t HashOf(std::string_view text);
    std::string_view TextAt(std::uint32_t place) const {
        return std::string_view(m_Chars.data() + m_Order[place].offset, m_Order[place].length);
    }
    // The slot of the text: its own, or the empty one where it would go.
    std::size_t SlotOf(std::string_view text, std::uint64_t hash) const;
    void Grow();

    std::string m_Chars;
    std::vector<Place> m_Order;
    std::vector<Slot> m_Slots;  // a power of two, at most half full
};

// The values of an IN subquery, or of a long IN list of literals of one type.
struct InSet {
    TextSet texts;
    std::unordered_set<double> numbers;
    std::vector<std::int64_t> dates;
    bool hasNull = false;
    bool evaluated = false;
};

enum class Tri { False, True, Unknown };

// Comparison with Oracle's implicit conversions (text to number against a
// number, text to date against a date). Neither side may be NULL.
int CompareValues(const Value& a, const Value& b);
// LIKE with "%" and "_" and an optional escape character.
bool LikeMatch(const std::string& text, const std::string& pattern, char escape = 0);
std::string FormatNumber(double n);

class Evaluator {
public:
    explicit Evaluator(EvalEnv env);
    ~Evaluator();

    // Binds the names of a query; raises ORA-00904, ORA-00918, ORA-00942, ORA-01008...
    std::vector<ColumnDesc> BindQuery(Select& select);
    // Binds a lone expression (PL/SQL) against no table.
    void BindExpression(Expr& e);
    // Binds a statement's WHERE clause and SET values against one table (DML).
    void BindOnTable(Expr& e, std::shared_ptr<const TableData> table, const std::string& alias);

    // Runs a bound query; the row source owns `select` and this evaluator's state.
    // With `release`, the tree goes there once the rows are released, if no one
    // else holds the evaluator that bound it.
    using SelectRelease = std::function<void(std::unique_ptr<Select>)>;
    static std::unique_ptr<RowSource> Open(std::shared_ptr<Evaluator> self, std::unique_ptr<Select> select,
                                           SelectRelease release = {});

    Value EvaluateExpression(const Expr& e);
    Tri EvaluateCondition(const Expr& e);
    // The rows of a single table for which `where` holds (DML).
    std::vector<size_t> MatchingRows(const Expr* where);
    Value EvaluateOnRow(const Expr& e, size_t row);

    struct Frame;
    struct Scope;
    struct Block;

private:
    friend class QueryRowSource;
    void BindSelect(Select& select, Scope* outer, std::vector<ColumnDesc>* described);
    void BindExpr(Expr& e, Scope* scope, bool allowAggregates);
    void BindName(Expr& e, Scope* scope);
    ColumnDesc Describe(const Expr& e, Scope* scope) const;

    Value Eval(const Expr& e, const Frame& f);
    Tri Cond(const Expr& e, const Frame& f);
    Value EvalFunction(const Expr& e, const Frame& f);
    // Appends the text of every piece of a chain of || to `out`.
    void AppendConcat(const Expr& e, const Frame& f, std::string& out);
    Value Arith(const std::string& op, const Value& a, const Value& b);
    Tri InSubquery(const Expr& e, const Frame& f);
    Tri InList(const Expr& e, const Frame& f);
    void FillInSet(const Expr& e, const Frame* outer, InSet& set);
    std::vector<Row> RunBlock(Select& select, const Frame* outer, size_t limit);
    std::vector<Row> RunQuery(Select& select, const Frame* outer, size_t limit = SIZE_MAX);

    EvalEnv m_Env;
    std::vector<Bind> m_OwnedBinds;
    std::vector<std::unique_ptr<Block>> m_Blocks;
    std::unique_ptr<Block> m_SingleTable;
};

}  // namespace ocisim
