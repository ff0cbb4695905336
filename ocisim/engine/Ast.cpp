#include "ocisim/engine/Ast.h"

namespace ocisim {

namespace {

// A field added to a tree must be copied below too, or a kept statement loses it
// on its second execute: these sizes change with every field (64-bit builds).
static_assert(sizeof(void*) != 8 || sizeof(Expr) == 240, "copy the new Expr field in CopyParsed");
static_assert(sizeof(void*) != 8 || sizeof(Select) == 192, "copy the new Select field in CloneSelect");
static_assert(sizeof(void*) != 8 || sizeof(TableRef) == 160, "copy the new TableRef field in CloneTableRef");
static_assert(sizeof(void*) != 8 || sizeof(Statement) == 576, "copy the new Statement field in CloneStatement");
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

std::unique_ptr<Statement> CloneStatement(const Statement& st) {
    auto copy = std::make_unique<Statement>();
    copy->kind = st.kind;
    if (st.select) copy->select = CloneSelect(*st.select);
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

}  // namespace ocisim
