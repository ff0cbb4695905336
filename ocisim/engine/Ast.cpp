#include "ocisim/engine/Ast.h"

#include <functional>

namespace ocisim {

namespace {

// A field added to a tree must be copied below too, or a kept statement loses it
// on its second execute, and a binding field cleared in UnbindExpr: these sizes
// change with every field (64-bit builds).
static_assert(sizeof(void*) != 8 || sizeof(Expr) == 240, "copy the new Expr field in CopyParsed");
static_assert(sizeof(void*) != 8 || sizeof(Select) == 192, "copy the new Select field in CloneSelect");
static_assert(sizeof(void*) != 8 || sizeof(TableRef) == 160, "copy the new TableRef field in CloneTableRef");
static_assert(sizeof(void*) != 8 || sizeof(Statement) == 592, "copy the new Statement field in CloneStatement");
static_assert(sizeof(void*) != 8 || sizeof(SelectItem) == 80, "copy the new SelectItem field in CloneSelect");
static_assert(sizeof(void*) != 8 || sizeof(OrderItem) == 16, "copy the new OrderItem field in CloneSelect");

// The parts of a tree that the parser fills; the binding fields stay unset, so a
// copy binds afresh.
void CopyParsed(const Expr& from, Expr& to) {
    to.kind = from.kind;
    to.pos = from.pos;
    to.literal = from.literal;
    to.names = from.names;
    to.op = from.op;
    to.negated = from.negated;
    to.distinct = from.distinct;
    to.star = from.star;
    to.hasParens = from.hasParens;
    to.hasSubject = from.hasSubject;
    to.hasElse = from.hasElse;
    to.args.reserve(from.args.size());
    for (const ExprPtr& a : from.args) to.args.push_back(a ? CloneExpr(*a) : nullptr);
    if (from.sub) to.sub = CloneSelect(*from.sub);
}

ExprPtr CloneIf(const ExprPtr& e) {
    return e ? CloneExpr(*e) : nullptr;
}

}  // namespace

ExprPtr CloneExpr(const Expr& e) {
    auto copy = std::make_unique<Expr>();
    CopyParsed(e, *copy);
    return copy;
}

TableRef CloneTableRef(const TableRef& t) {
    TableRef copy;
    copy.schema = t.schema;
    copy.name = t.name;
    copy.alias = t.alias;
    copy.pos = t.pos;
    if (t.subquery) copy.subquery = CloneSelect(*t.subquery);
    copy.join = t.join;
    copy.on = CloneIf(t.on);
    copy.dblink = t.dblink;
    return copy;
}

std::unique_ptr<Select> CloneSelect(const Select& s) {
    auto copy = std::make_unique<Select>();
    copy->pos = s.pos;
    copy->distinct = s.distinct;
    copy->items.reserve(s.items.size());
    for (const SelectItem& item : s.items) {
        SelectItem c;
        c.expr = CloneIf(item.expr);
        c.starQualifier = item.starQualifier;
        c.alias = item.alias;
        c.hasAlias = item.hasAlias;
        copy->items.push_back(std::move(c));
    }
    copy->from.reserve(s.from.size());
    for (const TableRef& t : s.from) copy->from.push_back(CloneTableRef(t));
    copy->where = CloneIf(s.where);
    copy->startWith = CloneIf(s.startWith);
    copy->connectBy = CloneIf(s.connectBy);
    copy->groupBy.reserve(s.groupBy.size());
    for (const ExprPtr& g : s.groupBy) copy->groupBy.push_back(CloneIf(g));
    copy->having = CloneIf(s.having);
    copy->orderBy.reserve(s.orderBy.size());
    for (const OrderItem& o : s.orderBy) {
        OrderItem c;
        c.expr = CloneIf(o.expr);
        c.descending = o.descending;
        c.nullsFirst = o.nullsFirst;
        copy->orderBy.push_back(std::move(c));
    }
    copy->forUpdate = s.forUpdate;
    copy->setOp = s.setOp;
    if (s.next) copy->next = CloneSelect(*s.next);
    return copy;
}

std::unique_ptr<Statement> CloneStatement(const Statement& st, bool withSelect) {
    auto copy = std::make_unique<Statement>();
    copy->kind = st.kind;
    if (st.select && withSelect) copy->select = CloneSelect(*st.select);
    copy->table = CloneTableRef(st.table);
    copy->columns = st.columns;
    copy->values.reserve(st.values.size());
    for (const ExprPtr& v : st.values) copy->values.push_back(CloneIf(v));
    copy->setColumns = st.setColumns;
    copy->where = CloneIf(st.where);
    copy->columnDefs = st.columnDefs;
    copy->owner = st.owner;
    copy->name = st.name;
    copy->option = st.option;
    copy->value = st.value;
    copy->unique = st.unique;
    copy->orReplace = st.orReplace;
    copy->isPublic = st.isPublic;
    copy->hasStatementId = st.hasStatementId;
    copy->statementId = st.statementId;
    copy->intoTable = st.intoTable;
    if (st.inner) copy->inner = CloneStatement(*st.inner);
    copy->innerText = st.innerText;
    copy->privileges = st.privileges;
    copy->grantees = st.grantees;
    copy->commandType = st.commandType;
    return copy;
}

namespace {

bool UnbindExpr(const Expr& parsed, Expr& bound);

bool UnbindIf(const ExprPtr& parsed, ExprPtr& bound) {
    if (!parsed || !bound) return !parsed && !bound;
    return UnbindExpr(*parsed, *bound);
}

bool UnbindExpr(const Expr& parsed, Expr& bound) {
    bound.kind = parsed.kind;  // a name bound as a function without parentheses
    bound.depth = -1;
    bound.source = -1;
    bound.column = -1;
    bound.variable = nullptr;
    bound.bindIndex = -1;
    bound.aggregateIndex = -1;
    bound.correlated = false;
    bound.inSet.reset();
    bound.scalarCache.reset();
    if (parsed.args.size() != bound.args.size()) return false;
    for (size_t i = 0; i < parsed.args.size(); ++i)
        if (!UnbindIf(parsed.args[i], bound.args[i])) return false;
    if (!parsed.sub || !bound.sub) return !parsed.sub && !bound.sub;
    return UnbindSelect(*parsed.sub, *bound.sub);
}

}  // namespace

bool HasStarItem(const Select& s) {
    std::function<bool(const Expr*)> inExpr = [&](const Expr* e) {
        if (!e) return false;
        for (const ExprPtr& a : e->args)
            if (inExpr(a.get())) return true;
        return e->sub && HasStarItem(*e->sub);
    };
    for (const SelectItem& item : s.items)
        if (!item.expr || inExpr(item.expr.get())) return true;
    for (const TableRef& t : s.from)
        if ((t.subquery && HasStarItem(*t.subquery)) || inExpr(t.on.get())) return true;
    if (inExpr(s.where.get()) || inExpr(s.startWith.get()) || inExpr(s.connectBy.get()) || inExpr(s.having.get()))
        return true;
    for (const ExprPtr& g : s.groupBy)
        if (inExpr(g.get())) return true;
    for (const OrderItem& o : s.orderBy)
        if (inExpr(o.expr.get())) return true;
    return s.next && HasStarItem(*s.next);
}

bool UnbindSelect(const Select& parsed, Select& bound) {
    if (parsed.items.size() != bound.items.size() || parsed.from.size() != bound.from.size() ||
        parsed.groupBy.size() != bound.groupBy.size() || parsed.orderBy.size() != bound.orderBy.size()) {
        return false;
    }
    for (size_t i = 0; i < parsed.items.size(); ++i)
        if (!UnbindIf(parsed.items[i].expr, bound.items[i].expr)) return false;
    for (size_t i = 0; i < parsed.from.size(); ++i) {
        const TableRef& p = parsed.from[i];
        TableRef& b = bound.from[i];
        if (!UnbindIf(p.on, b.on)) return false;
        if (!p.subquery || !b.subquery) {
            if (p.subquery || b.subquery) return false;
        } else if (!UnbindSelect(*p.subquery, *b.subquery)) {
            return false;
        }
    }
    if (!UnbindIf(parsed.where, bound.where) || !UnbindIf(parsed.startWith, bound.startWith) ||
        !UnbindIf(parsed.connectBy, bound.connectBy) || !UnbindIf(parsed.having, bound.having)) {
        return false;
    }
    for (size_t i = 0; i < parsed.groupBy.size(); ++i)
        if (!UnbindIf(parsed.groupBy[i], bound.groupBy[i])) return false;
    for (size_t i = 0; i < parsed.orderBy.size(); ++i)
        if (!UnbindIf(parsed.orderBy[i].expr, bound.orderBy[i].expr)) return false;
    if (!parsed.next || !bound.next) return !parsed.next && !bound.next;
    return UnbindSelect(*parsed.next, *bound.next);
}

}  // namespace ocisim
