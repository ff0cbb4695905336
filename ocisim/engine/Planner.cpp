#include "ocisim/engine/Planner.h"

#include <algorithm>
#include <cmath>

#include "ocisim/engine/Database.h"
#include "ocisim/engine/Errors.h"

namespace ocisim {

namespace {

struct Node {
    std::string operation, options, owner, name, type;
    std::optional<double> cost, cardinality, bytes;
    bool analyzed = false;
    std::vector<Node> children;
};

struct Source {
    PlanObject object;
    std::string refName;  // alias or table name
    double rows = 1;      // estimated table rows
    double blocks = 1;
    int rowLen = 100;
    bool readsColumns = true;  // the query reads a column of this source (or all of them, *)
};

// How a table can be reached through one of its indexes.
struct IndexPath {
    const IndexInfo* index = nullptr;
    bool unique = false;      // every column of a unique index compared with =
    int equalColumns = 0;     // leading columns compared with =
    bool range = false;       // a leading column bounded by a range
};

class Planner {
public:
    Planner(const Database& db, const PlanResolver& resolve, bool costBased, bool firstRows)
        : m_Db(db), m_Resolve(resolve), m_Cbo(costBased), m_FirstRows(firstRows) {}

    Node PlanQuery(Select& s);
    Node PlanSelectBlock(Select& s);
    Node AccessPath(const Source& src, const std::vector<const Expr*>& conjuncts, const std::vector<Source>& sources,
                    size_t self, const std::vector<bool>& available, double& cardinality);

private:
    bool ColumnOf(const Expr& e, const std::vector<Source>& sources, size_t self, std::string& column) const;
    bool RefersTo(const Expr& e, const std::vector<Source>& sources, const std::vector<bool>& allowed) const;
    std::vector<const IndexInfo*> IndexesOf(const Source& src) const;
    Node TableAccess(const Source& src, const std::string& options) const;
    void Collect(Select& s, std::vector<Select*>& subqueries, Expr* e);

    const Database& m_Db;
    const PlanResolver& m_Resolve;
    bool m_Cbo;
    bool m_FirstRows;
};

void SplitAnd(const Expr* e, std::vector<const Expr*>& out) {
    if (!e) return;
    if (e->kind == Expr::Kind::And) {
        SplitAnd(e->args[0].get(), out);
        SplitAnd(e->args[1].get(), out);
    } else {
        out.push_back(e);
    }
}

double Blevel(double rows) { return rows > 200000 ? 2 : rows > 400 ? 1 : 0; }

bool IsConstantLike(const Expr& e) {
    // LIKE 'abc%' can use an index; a leading wildcard cannot.
    if (e.args.size() < 2 || e.negated) return false;
    const Expr& p = *e.args[1];
    if (p.kind == Expr::Kind::Bind) return true;
    if (p.kind != Expr::Kind::Literal || p.literal.type != Value::Type::Text) return false;
    return !p.literal.text.empty() && p.literal.text[0] != '%' && p.literal.text[0] != '_';
}

bool ColumnExists(const Source& src, const std::string& column) {
    return src.object.data && src.object.data->ColumnIndex(column) >= 0;
}

bool ReadsColumnOf(const Select& s, const Source& src, bool inSubquery);

// A name of `e` (or of its subqueries) that reads a column of `src`. Inside a
// subquery only names qualified by the source's name count: an unqualified one
// belongs to the subquery's own tables first.
bool ExprReadsColumnOf(const Expr* e, const Source& src, bool inSubquery) {
    if (!e) return false;
    if (e->kind == Expr::Kind::Name) {
        if (e->names.size() == 1 && !inSubquery && ColumnExists(src, e->names[0])) return true;
        if (e->names.size() == 2 && e->names[0] == src.refName && ColumnExists(src, e->names[1])) return true;
    }
    if (e->sub && ReadsColumnOf(*e->sub, src, true)) return true;
    for (const ExprPtr& a : e->args)
        if (ExprReadsColumnOf(a.get(), src, inSubquery)) return true;
    return false;
}

bool ReadsColumnOf(const Select& s, const Source& src, bool inSubquery) {
    for (const SelectItem& item : s.items) {
        if (!item.expr && !inSubquery && (item.starQualifier.empty() || item.starQualifier == src.refName))
            return true;
        if (ExprReadsColumnOf(item.expr.get(), src, inSubquery)) return true;
    }
    for (const Expr* e : {s.where.get(), s.startWith.get(), s.connectBy.get(), s.having.get()})
        if (ExprReadsColumnOf(e, src, inSubquery)) return true;
    for (const ExprPtr& e : s.groupBy)
        if (ExprReadsColumnOf(e.get(), src, inSubquery)) return true;
    for (const OrderItem& o : s.orderBy)
        if (ExprReadsColumnOf(o.expr.get(), src, inSubquery)) return true;
    for (const TableRef& ref : s.from) {
        if (ExprReadsColumnOf(ref.on.get(), src, inSubquery)) return true;
        if (ref.subquery && ReadsColumnOf(*ref.subquery, src, true)) return true;
    }
    return false;
}

}  // namespace

bool Planner::ColumnOf(const Expr& e, const std::vector<Source>& sources, size_t self, std::string& column) const {
    if (e.kind != Expr::Kind::Name) return false;
    const Source& src = sources[self];
    if (e.names.size() == 1) {
        if (!ColumnExists(src, e.names[0])) return false;
        column = e.names[0];
        return true;
    }
    if (e.names.size() == 2 && e.names[0] == src.refName && ColumnExists(src, e.names[1])) {
        column = e.names[1];
        return true;
    }
    return false;
}

bool Planner::RefersTo(const Expr& e, const std::vector<Source>& sources, const std::vector<bool>& allowed) const {
    if (e.kind == Expr::Kind::Name) {
        for (size_t i = 0; i < sources.size(); ++i) {
            std::string c;
            if (ColumnOf(e, sources, i, c) && allowed[i]) return true;
        }
        return false;
    }
    for (const ExprPtr& a : e.args)
        if (RefersTo(*a, sources, allowed)) return true;
    return false;
}

std::vector<const IndexInfo*> Planner::IndexesOf(const Source& src) const {
    std::vector<const IndexInfo*> out;
    if (!src.object.table) return out;
    for (const auto& [key, idx] : m_Db.indexes)
        if (idx.tableOwner == src.object.table->owner && idx.table == src.object.table->name) out.push_back(&idx);
    return out;
}

Node Planner::TableAccess(const Source& src, const std::string& options) const {
    Node n;
    if (src.object.table) {
        n.operation = "TABLE ACCESS";
        n.options = options;
        n.owner = src.object.owner;
        n.name = src.object.name;
        n.type = "TABLE";
        n.analyzed = src.object.table->analyzed;
    } else if (src.object.name == "DUAL") {
        // A query that reads no column of DUAL is answered without touching the
        // table (under every goal; a rule-based plan still has no cost).
        if (!src.readsColumns) {
            n.operation = "FAST DUAL";
        } else {
            n.operation = "TABLE ACCESS";
            n.options = "FULL";
            n.owner = "SYS";
            n.name = "DUAL";
            n.type = "TABLE";
        }
    } else {
        n.operation = "FIXED TABLE";
        n.options = "FULL";
        n.owner = "SYS";
        n.name = src.object.name.find("SQLTEXT") != std::string::npos ? "X$KGLNA1" : "X$KGLCURSOR_CHILD";
        n.type = "TABLE (FIXED)";
    }
    return n;
}

Node Planner::AccessPath(const Source& src, const std::vector<const Expr*>& conjuncts,
                         const std::vector<Source>& sources, size_t self, const std::vector<bool>& available,
                         double& cardinality) {
    // Predicates on this table whose other side is known: constants, binds and
    // columns of the tables joined before it.
    std::vector<bool> others = available;
    others[self] = false;
    std::vector<bool> selfOnly(sources.size(), false);
    selfOnly[self] = true;
    std::map<std::string, std::string> bounds;  // column -> "=" or "range"
    double selectivity = 1;
    int filters = 0;
    for (const Expr* c : conjuncts) {
        std::vector<bool> notAvailable(sources.size());
        for (size_t i = 0; i < sources.size(); ++i) notAvailable[i] = !available[i] && i != self;
        if (RefersTo(*c, sources, notAvailable)) continue;  // needs a table not yet joined
        if (!RefersTo(*c, sources, selfOnly)) continue;
        std::string col;
        if (c->kind == Expr::Kind::Compare) {
            const Expr* a = c->args[0].get();
            const Expr* b = c->args[1].get();
            if (!ColumnOf(*a, sources, self, col)) {
                std::swap(a, b);
                if (!ColumnOf(*a, sources, self, col)) col.clear();
            }
            if (!col.empty() && !RefersTo(*b, sources, selfOnly)) {
                if (c->op == "=") {
                    bounds[col] = "=";
                    selectivity *= 0.01;
                } else if (c->op != "<>") {
                    if (!bounds.count(col)) bounds[col] = "range";
                    selectivity *= 0.05;
                } else {
                    selectivity *= 0.95;
                }
                ++filters;
                continue;
            }
        } else if ((c->kind == Expr::Kind::Between || (c->kind == Expr::Kind::Like && IsConstantLike(*c))) &&
                   !c->negated && ColumnOf(*c->args[0], sources, self, col)) {
            if (!bounds.count(col)) bounds[col] = "range";
            selectivity *= 0.05;
            ++filters;
            continue;
        } else if (c->kind == Expr::Kind::InList && !c->negated && ColumnOf(*c->args[0], sources, self, col)) {
            if (!bounds.count(col)) bounds[col] = "range";
            selectivity *= std::min(1.0, 0.01 * static_cast<double>(c->args.size() - 1));
            ++filters;
            continue;
        }
        selectivity *= 0.05;
        ++filters;
    }
    // The best index: unique equality first, then the most leading equalities, then a range.
    IndexPath best;
    for (const IndexInfo* idx : IndexesOf(src)) {
        IndexPath p;
        p.index = idx;
        for (const std::string& col : idx->columns) {
            auto it = bounds.find(col);
            if (it == bounds.end()) break;
            if (it->second == "=") {
                ++p.equalColumns;
                continue;
            }
            p.range = true;
            break;
        }
        p.unique = idx->unique && p.equalColumns == static_cast<int>(idx->columns.size());
        if (p.equalColumns == 0 && !p.range) continue;
        bool better = !best.index || (p.unique && !best.unique) ||
                      (p.unique == best.unique && p.equalColumns > best.equalColumns) ||
                      (p.unique == best.unique && p.equalColumns == best.equalColumns && p.range && !best.range);
        if (better) best = p;
    }
    double rows = std::max(1.0, src.rows);
    cardinality = std::max(1.0, std::round(rows * selectivity));
    double fullCost = std::max(2.0, std::ceil(src.blocks / 6.0) + 1);
    Node full = TableAccess(src, "FULL");
    if (!best.index) {
        if (m_Cbo) {
            full.cost = fullCost;
            full.cardinality = cardinality;
            // FAST DUAL reads no row, so it moves no bytes.
            if (full.operation != "FAST DUAL") full.bytes = cardinality * src.rowLen;
        }
        return full;
    }
    double bl = Blevel(rows);
    double indexRows = best.unique ? 1 : std::max(1.0, std::round(rows * (best.equalColumns ? std::pow(0.01, best.equalColumns) : 0.05)));
    double leafBlocks = std::max(1.0, rows / 250);
    double indexCost = best.unique ? bl + 1 : bl + std::ceil(leafBlocks * indexRows / rows) + 1;
    double tableCost = indexCost + (best.unique ? 1 : std::ceil(indexRows * 0.4));
    if (m_Cbo && !m_FirstRows && tableCost > fullCost) {
        full.cost = fullCost;
        full.cardinality = cardinality;
        full.bytes = cardinality * src.rowLen;
        return full;
    }
    Node access = TableAccess(src, "BY INDEX ROWID");
    Node index;
    index.operation = "INDEX";
    index.options = best.unique ? "UNIQUE SCAN" : "RANGE SCAN";
    index.owner = best.index->owner;
    index.name = best.index->name;
    index.type = best.index->unique ? "INDEX (UNIQUE)" : "INDEX";
    index.analyzed = access.analyzed;
    if (m_Cbo) {
        index.cost = indexCost;
        index.cardinality = indexRows;
        access.cost = tableCost;
        access.cardinality = cardinality;
        access.bytes = cardinality * src.rowLen;
    }
    access.children.push_back(std::move(index));
    return access;
}

void Planner::Collect(Select& s, std::vector<Select*>& subqueries, Expr* e) {
    if (!e) return;
    if (e->sub) subqueries.push_back(e->sub.get());
    for (ExprPtr& a : e->args) Collect(s, subqueries, a.get());
}

Node Planner::PlanSelectBlock(Select& s) {
    std::vector<Source> sources;
    for (TableRef& ref : s.from) {
        Source src;
        if (ref.subquery) {
            src.refName = ref.alias;
            sources.push_back(src);
            continue;
        }
        src.object = m_Resolve(ref);
        src.refName = ref.alias.empty() ? ref.name : ref.alias;
        src.readsColumns = ReadsColumnOf(s, src, false);
        if (src.object.table) {
            const TableInfo& t = *src.object.table;
            src.rows = static_cast<double>(t.analyzed ? t.numRows : std::max<std::int64_t>(t.numRows, 1));
            src.rowLen = t.avgRowLen;
            src.blocks = t.blocks > 0 ? static_cast<double>(t.blocks)
                                      : std::max(1.0, std::ceil(src.rows * src.rowLen / 8192.0 * 1.2));
        } else {
            src.rows = src.object.data ? static_cast<double>(std::max<size_t>(1, src.object.data->RowCount())) : 1;
            src.blocks = 1;
            if (src.object.name == "DUAL") src.rowLen = 2;
        }
        sources.push_back(src);
    }
    std::vector<const Expr*> conjuncts;
    SplitAnd(s.where.get(), conjuncts);
    for (TableRef& ref : s.from) SplitAnd(ref.on.get(), conjuncts);

    const size_t n = sources.size();
    std::vector<bool> placed(n, false);
    Node current;
    double currentCard = 0;
    for (size_t step = 0; step < n; ++step) {
        // The next table: the driving table first (the cheapest under the
        // cost-based optimizer, the last one in FROM under the rules), then
        // tables joined to those already placed.
        size_t pick = n;
        double pickCard = 0;
        Node pickNode;
        for (size_t k = 0; k < n; ++k) {
            size_t i = m_Cbo ? k : n - 1 - k;
            if (placed[i]) continue;
            if (s.from[i].subquery) {
                Node view;
                view.operation = "VIEW";
                view.children.push_back(PlanQuery(*s.from[i].subquery));
                if (m_Cbo) {
                    view.cost = view.children[0].cost;
                    view.cardinality = view.children[0].cardinality;
                }
                if (pick == n) {
                    pick = i;
                    pickNode = view;
                    pickCard = view.cardinality.value_or(100);
                }
                continue;
            }
            bool joined = step == 0;
            if (!joined) {
                std::vector<bool> selfOnly(n, false);
                selfOnly[i] = true;
                for (const Expr* c : conjuncts)
                    if (RefersTo(*c, sources, selfOnly) && RefersTo(*c, sources, placed)) joined = true;
            }
            std::vector<bool> available = placed;
            if (step == 0) std::fill(available.begin(), available.end(), false);
            available[i] = true;
            double card;
            Node node = AccessPath(sources[i], conjuncts, sources, i, available, card);
            bool better = pick == n || (joined && m_Cbo && card < pickCard);
            if (!m_Cbo && pick != n) better = false;
            if (joined && better) {
                pick = i;
                pickCard = card;
                pickNode = std::move(node);
            }
        }
        if (pick == n) {
            for (size_t i = 0; i < n; ++i)
                if (!placed[i]) {
                    pick = i;
                    break;
                }
            std::vector<bool> available(n, false);
            available[pick] = true;
            pickNode = AccessPath(sources[pick], conjuncts, sources, pick, available, pickCard);
            if (step > 0) {
                // No join condition: a Cartesian product.
                Node sort;
                sort.operation = "BUFFER";
                sort.options = "SORT";
                sort.children.push_back(std::move(pickNode));
                Node join;
                join.operation = "MERGE JOIN";
                join.options = "CARTESIAN";
                if (m_Cbo) {
                    join.cost = current.cost.value_or(0) + pickCard;
                    join.cardinality = currentCard * pickCard;
                }
                join.children.push_back(std::move(current));
                join.children.push_back(std::move(sort));
                current = std::move(join);
                currentCard *= pickCard;
                placed[pick] = true;
                continue;
            }
        }
        placed[pick] = true;
        if (step == 0) {
            current = std::move(pickNode);
            currentCard = pickCard;
            continue;
        }
        bool innerUsesIndex = !pickNode.children.empty() && pickNode.children[0].operation == "INDEX";
        Node join;
        if (innerUsesIndex && (!m_Cbo || m_FirstRows || currentCard < 1000)) {
            join.operation = "NESTED LOOPS";
            if (m_Cbo) {
                double probe = pickNode.cost.value_or(2);
                join.cost = current.cost.value_or(0) + std::ceil(currentCard * probe);
                join.cardinality = std::max(1.0, std::round(currentCard * std::max(1.0, pickCard / std::max(1.0, sources[pick].rows) * 10)));
            }
            join.children.push_back(std::move(current));
            join.children.push_back(std::move(pickNode));
        } else if (m_Cbo) {
            // The full-scan plan of the inner table, joined by hashing the smaller input.
            std::vector<bool> onlyInner(n, false);
            onlyInner[pick] = true;
            double innerCard;
            Node inner = AccessPath(sources[pick], conjuncts, sources, pick, onlyInner, innerCard);
            join.operation = "HASH JOIN";
            join.cost = current.cost.value_or(0) + inner.cost.value_or(0) + 1;
            join.cardinality = std::max(currentCard, innerCard);
            if (innerCard < currentCard) {
                join.children.push_back(std::move(inner));
                join.children.push_back(std::move(current));
            } else {
                join.children.push_back(std::move(current));
                join.children.push_back(std::move(inner));
            }
            pickCard = innerCard;
        } else {
            join.operation = "MERGE JOIN";
            Node left, right;
            left.operation = right.operation = "SORT";
            left.options = right.options = "JOIN";
            left.children.push_back(std::move(current));
            std::vector<bool> onlyInner(n, false);
            onlyInner[pick] = true;
            double innerCard;
            right.children.push_back(AccessPath(sources[pick], conjuncts, sources, pick, onlyInner, innerCard));
            join.children.push_back(std::move(left));
            join.children.push_back(std::move(right));
        }
        current = std::move(join);
        currentCard = current.cardinality.value_or(currentCard);
    }

    // Subqueries in the WHERE clause run as a FILTER over the rows.
    std::vector<Select*> subqueries;
    for (const Expr* c : conjuncts) Collect(s, subqueries, const_cast<Expr*>(c));
    if (!subqueries.empty()) {
        Node filter;
        filter.operation = "FILTER";
        filter.cost = current.cost;
        filter.cardinality = current.cardinality;
        filter.children.push_back(std::move(current));
        for (Select* sub : subqueries) filter.children.push_back(PlanQuery(*sub));
        if (m_Cbo)
            for (size_t i = 1; i < filter.children.size(); ++i)
                filter.cost = filter.cost.value_or(0) + filter.children[i].cost.value_or(0);
        current = std::move(filter);
    }

    bool aggregates = false;
    std::function<void(const Expr&)> findAggregate = [&](const Expr& e) {
        if (e.kind == Expr::Kind::Aggregate) aggregates = true;
        for (const ExprPtr& a : e.args) findAggregate(*a);
    };
    for (const SelectItem& item : s.items)
        if (item.expr) findAggregate(*item.expr);
    auto wrap = [&](const char* op, const char* options, double extra) {
        Node w;
        w.operation = op;
        w.options = options;
        if (m_Cbo) {
            w.cost = current.cost.value_or(0) + extra;
            w.cardinality = current.cardinality;
            w.bytes = current.bytes;
        }
        w.children.push_back(std::move(current));
        current = std::move(w);
    };
    if (!s.groupBy.empty()) {
        wrap("SORT", "GROUP BY", std::ceil(currentCard / 5000) + 1);
    } else if (aggregates) {
        wrap("SORT", "AGGREGATE", 0);
        current.cardinality = m_Cbo ? std::optional<double>(1) : std::nullopt;
    } else if (s.distinct) {
        wrap("SORT", "UNIQUE", std::ceil(currentCard / 5000) + 1);
    }
    if (s.connectBy) {
        Node c;
        c.operation = "CONNECT BY";
        c.options = "WITH FILTERING";
        c.cost = current.cost;
        c.children.push_back(std::move(current));
        current = std::move(c);
    }
    return current;
}

Node Planner::PlanQuery(Select& s) {
    Node first = PlanSelectBlock(s);
    if (s.next) {
        Node set;
        std::string op = s.setOp;
        set.operation = op == "UNION ALL" || op == "UNION" ? "UNION-ALL" : op;
        set.children.push_back(std::move(first));
        for (Select* n = s.next.get(); n; n = n->next.get()) {
            Select* saveNext = nullptr;
            (void)saveNext;
            Node part = PlanSelectBlock(*n);
            set.children.push_back(std::move(part));
            if (n->setOp != op) break;
        }
        if (m_Cbo) {
            double cost = 0;
            for (const Node& c : set.children) cost += c.cost.value_or(0);
            set.cost = cost;
        }
        first = std::move(set);
        if (op == "UNION") {
            Node u;
            u.operation = "SORT";
            u.options = "UNIQUE";
            u.cost = first.cost;
            u.children.push_back(std::move(first));
            first = std::move(u);
        }
    }
    if (!s.orderBy.empty() && !(first.operation == "SORT" && first.options == "GROUP BY")) {
        Node o;
        o.operation = "SORT";
        o.options = "ORDER BY";
        if (m_Cbo) {
            o.cost = first.cost.value_or(0) + std::ceil(first.cardinality.value_or(1) / 2000) + 1;
            o.cardinality = first.cardinality;
            o.bytes = first.bytes;
        }
        o.children.push_back(std::move(first));
        first = std::move(o);
    }
    return first;
}

namespace {

size_t CountNodes(const Node& n) {
    size_t count = 1;
    for (const Node& c : n.children) count += CountNodes(c);
    return count;
}

// Numbers the nodes depth first into plan rows; the node's texts move into the rows.
void Number(Node& n, int parent, int position, bool cbo, std::vector<PlanRow>& out) {
    const int id = static_cast<int>(out.size());
    PlanRow& r = out.emplace_back();
    r.id = id;
    r.parentId = parent;
    r.position = position;
    r.operation = std::move(n.operation);
    r.options = std::move(n.options);
    r.objectOwner = std::move(n.owner);
    r.objectName = std::move(n.name);
    r.objectType = std::move(n.type);
    if (cbo) {
        r.cost = n.cost;
        r.cardinality = n.cardinality;
        r.bytes = n.bytes;
        if (n.analyzed) r.optimizer = "ANALYZED";
    }
    int childPosition = 1;
    for (Node& c : n.children) Number(c, id, childPosition++, cbo, out);
}

}  // namespace

std::vector<PlanRow> BuildPlan(Statement& st, const std::string& goal, const Database& db,
                               const PlanResolver& resolve) {
    // Which optimizer runs: RULE never costs; CHOOSE costs only when a table
    // of the statement has statistics.
    bool anyAnalyzed = false;
    std::function<void(Select&)> scan = [&](Select& s) {
        for (TableRef& ref : s.from) {
            if (ref.subquery) {
                scan(*ref.subquery);
                continue;
            }
            PlanObject o = resolve(ref);
            if (o.table && o.table->analyzed) anyAnalyzed = true;
        }
        if (s.next) scan(*s.next);
    };
    if (st.select) scan(*st.select);
    if (st.kind == Statement::Kind::Update || st.kind == Statement::Kind::Delete ||
        st.kind == Statement::Kind::Insert) {
        PlanObject o = resolve(st.table);
        if (o.table && o.table->analyzed) anyAnalyzed = true;
    }
    bool cbo = goal == "ALL_ROWS" || goal == "FIRST_ROWS" || goal.compare(0, 11, "FIRST_ROWS_") == 0 ||
               (goal == "CHOOSE" && anyAnalyzed);
    bool firstRows = goal.compare(0, 10, "FIRST_ROWS") == 0;
    Planner planner(db, resolve, cbo, firstRows);
    Node root;
    switch (st.kind) {
        case Statement::Kind::Select:
            root.operation = "SELECT STATEMENT";
            root.children.push_back(planner.PlanQuery(*st.select));
            break;
        case Statement::Kind::Insert: {
            root.operation = "INSERT STATEMENT";
            PlanObject target = resolve(st.table);
            Node load;
            load.operation = "LOAD TABLE CONVENTIONAL";
            load.owner = target.owner;
            load.name = target.name;
            if (st.select) load.children.push_back(planner.PlanQuery(*st.select));
            if (cbo) load.cost = load.children.empty() ? 1 : load.children[0].cost.value_or(1);
            root.children.push_back(std::move(load));
            break;
        }
        case Statement::Kind::Update:
        case Statement::Kind::Delete: {
            bool update = st.kind == Statement::Kind::Update;
            root.operation = update ? "UPDATE STATEMENT" : "DELETE STATEMENT";
            Source src;
            src.object = resolve(st.table);
            src.refName = st.table.alias.empty() ? st.table.name : st.table.alias;
            if (src.object.table) {
                src.rows = static_cast<double>(std::max<std::int64_t>(1, src.object.table->numRows));
                src.rowLen = src.object.table->avgRowLen;
                src.blocks = src.object.table->blocks > 0
                                 ? static_cast<double>(src.object.table->blocks)
                                 : std::max(1.0, std::ceil(src.rows * src.rowLen / 8192.0 * 1.2));
            }
            std::vector<const Expr*> conjuncts;
            SplitAnd(st.where.get(), conjuncts);
            std::vector<Source> sources{src};
            double card;
            Node dml;
            dml.operation = update ? "UPDATE" : "DELETE";
            dml.owner = src.object.owner;
            dml.name = src.object.name;
            Node access = planner.AccessPath(src, conjuncts, sources, 0, {true}, card);
            // The row is changed through its rowid: the index alone finds it.
            if (access.options == "BY INDEX ROWID" && !access.children.empty()) {
                Node index = std::move(access.children[0]);
                access = std::move(index);
            }
            dml.children.push_back(std::move(access));
            if (cbo) dml.cost = dml.children[0].cost;
            root.children.push_back(std::move(dml));
            break;
        }
        default: Raise(900);
    }
    if (cbo) {
        root.cost = root.children[0].cost.value_or(1);
        root.cardinality = root.children[0].cardinality;
        root.bytes = root.children[0].bytes;
    }
    std::vector<PlanRow> rows;
    rows.reserve(CountNodes(root));
    Number(root, -1, 0, cbo, rows);
    rows[0].optimizer = cbo && goal == "CHOOSE" ? "CHOOSE" : cbo ? goal : goal == "CHOOSE" ? "CHOOSE" : goal;
    if (cbo) rows[0].position = static_cast<int>(root.cost.value_or(0));
    return rows;
}

}  // namespace ocisim
