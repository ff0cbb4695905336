#include "ocisim/engine/CursorPlans.h"

#include "ocisim/engine/Database.h"
#include "ocisim/engine/Errors.h"
#include "ocisim/engine/Parser.h"
#include "ocisim/engine/PoolViews.h"

namespace ocisim {

namespace {

bool IsDictionaryName(const std::string& name) {
    return name.compare(0, 3, "V_$") == 0 || name.compare(0, 2, "V$") == 0 || name == "DUAL" ||
           name == "ALL_USERS" || name == "USER_OBJECTS";
}

// Names as the parsing schema resolved them: its own tables and synonyms, then
// public synonyms and the dictionary. The statement parsed, so privileges are
// not checked again.
PlanResolver SchemaResolver(const Database& db, const std::string& schema) {
    return [&db, schema](const TableRef& ref) {
        std::string owner = ref.schema.empty() ? schema : ref.schema;
        std::string name = ref.name;
        for (int depth = 0; depth < 8; ++depth) {
            auto table = db.tables.find(Database::Key(owner, name));
            if (table != db.tables.end()) {
                PlanObject o;
                o.owner = owner;
                o.name = name;
                o.table = &table->second;
                o.data = table->second.data;
                return o;
            }
            if (IsDictionaryName(name) && (owner == "SYS" || ref.schema.empty())) {
                PlanObject o;
                o.owner = "SYS";
                o.name = name;
                return o;
            }
            auto synonym = db.synonyms.find(Database::Key(owner, name));
            if (synonym == db.synonyms.end() && ref.schema.empty())
                synonym = db.synonyms.find(Database::Key("PUBLIC", name));
            if (synonym == db.synonyms.end()) break;
            owner = synonym->second.targetOwner;
            name = synonym->second.targetName;
        }
        Raise(942);
    };
}

}  // namespace

std::vector<int> PlanDepths(const std::vector<PlanRow>& rows) {
    std::vector<int> depth(rows.size(), 0);
    for (std::size_t r = 0; r < rows.size(); ++r) {
        if (rows[r].parentId >= 0 && static_cast<std::size_t>(rows[r].parentId) < r)
            depth[r] = depth[static_cast<std::size_t>(rows[r].parentId)] + 1;
    }
    return depth;
}

std::shared_ptr<const CursorPlan> CursorPlanOf(const PoolEntry& entry, const Database& db) {
    using K = Statement::Kind;
    if (entry.commandType != 2 && entry.commandType != 3 && entry.commandType != 6 && entry.commandType != 7)
        return nullptr;
    const UserInfo* schema = db.FindUserById(entry.parsingSchemaId);
    if (!schema) return nullptr;
    try {
        Parser parser(*entry.text);
        std::unique_ptr<Statement> st = parser.ParseStatement();
        if (st->kind != K::Select && st->kind != K::Insert && st->kind != K::Update && st->kind != K::Delete)
            return nullptr;
        auto plan = std::make_shared<CursorPlan>();
        plan->rows = BuildPlan(*st, entry.optimizerMode, db, SchemaResolver(db, schema->name));
        plan->hashValue = PlanHashValue(plan->rows);
        plan->depths = PlanDepths(plan->rows);
        return plan;
    } catch (const OraException&) {
        return nullptr;
    }
}

namespace {

enum SqlPlanColumn {
    P_ADDRESS, P_HASH_VALUE, P_SQL_ID, P_PLAN_HASH_VALUE, P_CHILD_NUMBER, P_OPERATION, P_OPTIONS, P_OBJECT_OWNER,
    P_OBJECT_NAME, P_OPTIMIZER, P_ID, P_PARENT_ID, P_DEPTH, P_POSITION, P_COST, P_CARDINALITY, P_BYTES
};

class SqlPlanView : public TableData {
public:
    SqlPlanView(PoolSnapshot snapshot, int wordSize) : m_Pool(std::move(snapshot)), m_WordSize(wordSize) {
        ColumnDesc address;
        address.name = "ADDRESS";
        address.type = kColumnTypeRaw;
        address.size = wordSize / 8;
        m_Columns = {address,
                     NumberColumn("HASH_VALUE"),
                     TextColumn("SQL_ID", 13),
                     NumberColumn("PLAN_HASH_VALUE"),
                     NumberColumn("CHILD_NUMBER"),
                     TextColumn("OPERATION", 30),
                     TextColumn("OPTIONS", 30),
                     TextColumn("OBJECT_OWNER", 30),
                     TextColumn("OBJECT_NAME", 30),
                     TextColumn("OPTIMIZER", 20),
                     NumberColumn("ID"),
                     NumberColumn("PARENT_ID"),
                     NumberColumn("DEPTH"),
                     NumberColumn("POSITION"),
                     NumberColumn("COST"),
                     NumberColumn("CARDINALITY"),
                     NumberColumn("BYTES")};
        std::size_t plans = 0, lines = 0;
        for (const PoolEntry& entry : *m_Pool) {
            if (!entry.plan) continue;
            ++plans;
            lines += entry.plan->rows.size();
        }
        m_Addresses.reserve(plans);
        m_Lines.reserve(lines);
        for (std::uint32_t e = 0; e < m_Pool->size(); ++e) {
            const PoolEntry& entry = (*m_Pool)[e];
            if (!entry.plan) continue;
            // Formatted once for all the lines of the plan.
            m_Addresses.push_back(FormatAddress(entry.address, m_WordSize));
            const auto address = static_cast<std::uint32_t>(m_Addresses.size() - 1);
            for (std::uint32_t r = 0; r < entry.plan->rows.size(); ++r)
                m_Lines.push_back({e, r, address});
        }
    }
    const std::vector<ColumnDesc>& Columns() const override { return m_Columns; }
    size_t RowCount() const override { return m_Lines.size(); }
    Value Cell(size_t row, size_t column) const override {
        const Line& l = m_Lines[row];
        const PoolEntry& e = (*m_Pool)[l.entry];
        const PlanRow& p = e.plan->rows[l.row];
        auto opt = [](const std::optional<double>& d) { return d ? Value::Num(*d) : Value::Null(); };
        auto text = [](const std::string& s) { return s.empty() ? Value::Null() : Value::Str(s); };
        switch (column) {
            case P_ADDRESS: return Value::Str(m_Addresses[l.address]);
            case P_HASH_VALUE: return Value::Num(e.hashValue);
            case P_SQL_ID: return Value::Str(SharedPool::SqlIdOfKey(e.textKey));
            case P_PLAN_HASH_VALUE: return Value::Num(e.plan->hashValue);
            case P_CHILD_NUMBER: return Value::Num(0);
            case P_OPERATION: return Value::Str(p.operation);
            case P_OPTIONS: return text(p.options);
            case P_OBJECT_OWNER: return text(p.objectOwner);
            case P_OBJECT_NAME: return text(p.objectName);
            case P_OPTIMIZER: return text(p.optimizer);
            case P_ID: return Value::Num(p.id);
            case P_PARENT_ID: return p.parentId < 0 ? Value::Null() : Value::Num(p.parentId);
            case P_DEPTH: return Value::Num(e.plan->depths[l.row]);
            // The root's position holds the plan's cost, as in the plan table.
            case P_POSITION: return p.id == 0 ? opt(p.cost) : Value::Num(p.position);
            case P_COST: return opt(p.cost);
            case P_CARDINALITY: return opt(p.cardinality);
            case P_BYTES: return opt(p.bytes);
        }
        return Value::Null();
    }

private:
    struct Line {
        std::uint32_t entry, row, address;  // address: index into m_Addresses
    };
    PoolSnapshot m_Pool;
    int m_WordSize;
    std::vector<ColumnDesc> m_Columns;
    std::vector<std::string> m_Addresses;
    std::vector<Line> m_Lines;
};

}  // namespace

std::uint32_t PlanHashValue(const std::vector<PlanRow>& rows) {
    std::uint32_t h = 2166136261u;
    auto mix = [&h](const std::string& text) {
        for (unsigned char c : text) {
            h ^= c;
            h *= 16777619u;
        }
        h ^= 0xFF;
        h *= 16777619u;
    };
    for (const PlanRow& r : rows) {
        mix(r.operation);
        mix(r.options);
        mix(r.objectOwner);
        mix(r.objectName);
        mix(std::to_string(r.id) + "/" + std::to_string(r.parentId));
    }
    return h;
}

void BuildCursorPlans(SharedPool& pool, const Database& db) {
    // Read first: the entries are copied for a change only when a snapshot is open.
    const std::vector<PoolEntry>& current = pool.View();
    std::size_t first = 0;
    while (first < current.size() && (current[first].planBuilt || current[first].executions <= 0)) ++first;
    if (first == current.size()) return;
    std::vector<PoolEntry>& entries = pool.Entries();
    for (std::size_t i = first; i < entries.size(); ++i) {
        PoolEntry& entry = entries[i];
        if (entry.planBuilt || entry.executions <= 0) continue;
        entry.plan = CursorPlanOf(entry, db);
        entry.planBuilt = true;
    }
}

std::shared_ptr<const TableData> MakeSqlPlanView(PoolSnapshot snapshot, int wordSize) {
    return std::make_shared<SqlPlanView>(std::move(snapshot), wordSize);
}

}  // namespace ocisim
