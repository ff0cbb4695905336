#include "ocisim/engine/Database.h"

#include <algorithm>
#include <cmath>
#include <string_view>

#include "ocisim/engine/DateTime.h"
#include "ocisim/engine/Evaluator.h"

namespace ocisim {

std::vector<ColumnDesc> PlanTableColumns() {
    // OTHER is a LONG, as utlxplan.sql creates it.
    ColumnDesc other = TextColumn("OTHER", 0);
    other.type = ColumnType::Long;
    return {TextColumn("STATEMENT_ID", 30), DateColumn("TIMESTAMP"),      TextColumn("REMARKS", 80),
            TextColumn("OPERATION", 30),    TextColumn("OPTIONS", 255),   TextColumn("OBJECT_NODE", 128),
            TextColumn("OBJECT_OWNER", 30), TextColumn("OBJECT_NAME", 30), NumberColumn("OBJECT_INSTANCE"),
            TextColumn("OBJECT_TYPE", 30),  TextColumn("OPTIMIZER", 255), NumberColumn("SEARCH_COLUMNS"),
            NumberColumn("ID"),             NumberColumn("PARENT_ID"),     NumberColumn("POSITION"),
            NumberColumn("COST"),           NumberColumn("CARDINALITY"),   NumberColumn("BYTES"),
            TextColumn("OTHER_TAG", 255),   TextColumn("PARTITION_START", 255), TextColumn("PARTITION_STOP", 255),
            NumberColumn("PARTITION_ID"),   other,                          TextColumn("DISTRIBUTION", 30),
            NumberColumn("CPU_COST"),       NumberColumn("IO_COST"),       NumberColumn("TEMP_SPACE"),
            TextColumn("ACCESS_PREDICATES", 4000), TextColumn("FILTER_PREDICATES", 4000)};
}

Database::Database() : random(20240311) {
    config.created = MakeDate(2023, 11, 6, 14, 2, 51);
}

std::int64_t Database::Now() const {
    const std::int64_t base = config.fixedClock ? config.fixedClock : LocalNowSeconds();
    return base + static_cast<std::int64_t>(std::floor(clockOffset));
}

const UserInfo* Database::FindUser(const std::string& name) const {
    auto it = users.find(name);
    return it == users.end() ? nullptr : &it->second;
}

const UserInfo* Database::FindUserById(int id) const {
    for (const auto& [name, u] : users)
        if (u.id == id) return &u;
    return nullptr;
}

int ObjectKeyLess::Compare(const std::string& key, const ObjectName& n) {
    // std::string compares bytes as unsigned char: so does this, part by part.
    const std::string_view k(key);
    const std::size_t ownerLength = n.owner.size();
    int c = k.substr(0, ownerLength).compare(n.owner);
    if (c != 0) return c;
    if (k.size() == ownerLength) return -1;  // a prefix of the joined name
    if (k[ownerLength] != '.')
        return static_cast<unsigned char>(k[ownerLength]) < static_cast<unsigned char>('.') ? -1 : 1;
    return k.substr(ownerLength + 1).compare(n.name);
}

TableInfo* Database::FindTable(const std::string& owner, const std::string& name) {
    auto it = tables.find(ObjectName{owner, name});
    return it == tables.end() ? nullptr : &it->second;
}

TableInfo& Database::CreateTable(const std::string& owner, const std::string& name, std::vector<ColumnDesc> columns) {
    TableInfo& t = tables[Key(owner, name)];
    t.owner = owner;
    t.name = name;
    t.data = std::make_shared<RowTable>(std::move(columns));
    t.objectId = nextObjectId++;
    t.created = Now();
    return t;
}

TableInfo& Database::CreatePlanTable(const std::string& owner) {
    return CreateTable(owner, "PLAN_TABLE", PlanTableColumns());
}

void Database::AdvanceWorkload() {
    auto& entries = pool.Entries();
    for (int i = 0; i < workload.touched && !entries.empty(); ++i) {
        PoolEntry& e = entries[random() % entries.size()];
        double runs = 1 + static_cast<double>(random() % 5);
        double perExec = e.executions > 0 ? e.bufferGets / e.executions : 10;
        double rowsPerExec = e.executions > 0 ? e.rowsProcessed / e.executions : 1;
        double sortsPerExec = e.executions > 0 ? e.sorts / e.executions : 0;
        e.executions += runs;
        e.parseCalls += 1;
        e.bufferGets += std::floor(perExec * runs);
        e.rowsProcessed += std::floor(rowsPerExec * runs);
        e.sorts += std::floor(sortsPerExec * runs);
        e.diskReads += static_cast<double>(random() % 3);
        e.lastActiveTime = Now();
    }
    for (int i = 0; i < workload.removed && !entries.empty(); ++i) {
        pool.Remove(static_cast<size_t>(random() % entries.size()));
    }
    for (int i = 0; i < workload.newStatements; ++i) {
        std::string text = "SELECT COUNT(*) FROM dual WHERE " + std::to_string(random() % 1000000) + " > 0";
        bool created;
        PoolEntry& e = pool.Enter(text, created);
        e.commandType = 3;
        e.optimizerMode = config.optimizerMode;
        e.executions += 1;
        e.parseCalls += 1;
        e.bufferGets += 3;
        e.rowsProcessed += 1;
        e.firstLoadTime = Now();
        e.lastActiveTime = e.firstLoadTime;
        const UserInfo* u = FindUser("SYSTEM");
        e.parsingUserId = e.parsingSchemaId = u ? u->id : 0;
    }
}

void Database::Sleep(double seconds) {
    if (seconds > 0) clockOffset += seconds;
    for (const WorkloadRun& run : workloadRuns) {
        auto& entries = pool.Entries();
        for (size_t i = entries.size(); i-- > 0;) {
            PoolEntry& e = entries[i];
            if (!LikeMatch(*e.text, run.match)) continue;
            if (run.ageOut) {
                pool.Remove(i);
                continue;
            }
            e.executions += run.executions;
            e.bufferGets += run.bufferGets;
            e.diskReads += run.diskReads;
            e.rowsProcessed += run.rowsProcessed;
            e.sorts += run.sorts;
            e.parseCalls += run.parseCalls;
            e.sharableMem = std::max(0.0, e.sharableMem - run.freedMemory);
            e.versionCount = std::max(1.0, e.versionCount - run.freedVersions);
            // Statistics that move with an execution say the statement ran now;
            // parse calls alone do not.
            if (run.executions > 0 || run.bufferGets > 0 || run.diskReads > 0 || run.rowsProcessed > 0 ||
                run.sorts > 0) {
                e.lastActiveTime = Now();
            }
        }
    }
    for (PoolEntry& e : enterAtSleep) {
        if (pool.Find(*e.text)) continue;
        e.firstLoadTime = Now();
        pool.Add(std::move(e));
    }
    enterAtSleep.clear();
    if (workload.atSleep) AdvanceWorkload();
}

}  // namespace ocisim
