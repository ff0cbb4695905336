// The process's simulated server: logons, sessions, and the execution of
// every statement a session sends.

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <map>
#include <mutex>

#include "ocisim/engine/Database.h"
#include "ocisim/engine/DateTime.h"
#include "ocisim/engine/Engine.h"
#include "ocisim/engine/Errors.h"
#include "ocisim/engine/Evaluator.h"
#include "ocisim/engine/ParseCache.h"
#include "ocisim/engine/Parser.h"
#include "ocisim/engine/Planner.h"
#include "ocisim/engine/PlSql.h"
#include "ocisim/engine/CursorPlans.h"
#include "ocisim/engine/PoolViews.h"
#include "ocisim/engine/Scenario.h"
#include "ocisim/engine/TimeLine.h"

namespace ocisim {

namespace {

std::string Upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// An identifier as the user typed it: upper case unless quoted.
std::string NormalizeName(const std::string& name) {
    if (name.size() >= 2 && name.front() == '"' && name.back() == '"') return name.substr(1, name.size() - 2);
    return Upper(name);
}

enum class Fixed { None, SqlArea, SqlText, SqlPlan, Version, DatabaseView, AllUsers, Dual, UserObjects, Instance };

Fixed FixedView(const std::string& name) {
    if (name == "V_$SQLAREA") return Fixed::SqlArea;
    if (name == "V_$SQLTEXT_WITH_NEWLINES") return Fixed::SqlText;
    if (name == "V_$SQL_PLAN") return Fixed::SqlPlan;
    if (name == "V_$VERSION") return Fixed::Version;
    if (name == "V_$DATABASE") return Fixed::DatabaseView;
    if (name == "ALL_USERS") return Fixed::AllUsers;
    if (name == "DUAL") return Fixed::Dual;
    if (name == "USER_OBJECTS") return Fixed::UserObjects;
    if (name == "V_$INSTANCE") return Fixed::Instance;
    return Fixed::None;
}

// The public synonyms every database has for the dictionary.
std::string PublicDictionarySynonym(const std::string& name) {
    if (name == "V$SQLAREA") return "V_$SQLAREA";
    if (name == "V$SQLTEXT_WITH_NEWLINES") return "V_$SQLTEXT_WITH_NEWLINES";
    if (name == "V$SQL_PLAN") return "V_$SQL_PLAN";
    if (name == "V$VERSION") return "V_$VERSION";
    if (name == "V$DATABASE") return "V_$DATABASE";
    if (name == "DUAL" || name == "ALL_USERS" || name == "USER_OBJECTS") return name;
    if (name == "V$INSTANCE") return "V_$INSTANCE";
    return {};
}

struct Resolved {
    std::shared_ptr<const TableData> data;
    TableInfo* table = nullptr;
    std::string owner, name;
    Fixed fixed = Fixed::None;
};

class ServerImpl;

// Rows of a query that a scenario makes fail after a number of rows.
class FaultyRows : public RowSource {
public:
    FaultyRows(std::unique_ptr<RowSource> inner, std::int64_t after, OraError error, bool fatal,
               std::shared_ptr<std::atomic<bool>> dead)
        : m_Inner(std::move(inner)), m_After(after), m_Error(std::move(error)), m_Fatal(fatal), m_Dead(std::move(dead)) {}
    bool Next(std::vector<Value>& row, OraError& err) override {
        if (m_Dead->load()) {
            err = Ora(3114);
            return false;
        }
        if (m_Delivered >= m_After) {
            err = m_Error;
            if (m_Fatal) m_Dead->store(true);
            return false;
        }
        if (!m_Inner->Next(row, err)) return false;
        ++m_Delivered;
        return true;
    }

private:
    std::unique_ptr<RowSource> m_Inner;
    std::int64_t m_After;
    OraError m_Error;
    bool m_Fatal;
    std::shared_ptr<std::atomic<bool>> m_Dead;
    std::int64_t m_Delivered = 0;
};

class SessionImpl;

class ServerImpl : public Server, public std::enable_shared_from_this<ServerImpl> {
public:
    ServerImpl(std::unique_ptr<Database> db, std::string failure) : m_Db(std::move(db)), m_Failure(std::move(failure)) {}

    OraError Attach(const std::string& alias) override {
        std::lock_guard<std::mutex> lock(m_Mutex);
        return CheckAlias(alias, "attach", "");
    }

    std::unique_ptr<Session> Logon(const std::string& alias, const std::string& user, const std::string& password,
                                   LogonMode mode, OraError& err) override;

    std::string VersionBanner() override {
        std::lock_guard<std::mutex> lock(m_Mutex);
        return m_Db->config.banners.empty() ? std::string() : m_Db->config.banners.front();
    }

    std::mutex m_Mutex;
    std::unique_ptr<Database> m_Db;
    std::string m_Failure;
    // Parsed statements, blocks and PL/SQL expressions; guarded by m_Mutex.
    ParseCache m_Parsed;

    OraError CheckAlias(const std::string& alias, const char* step, const std::string& user) {
        if (!m_Failure.empty()) {
            OraError e = Ora(1034);
            e.message += "\n" + m_Failure;
            return e;
        }
        std::string a = Upper(alias);
        if (!a.empty() && !m_Db->config.aliases.count(a)) return Ora(12154);
        return FireFault(step, user, "");
    }

    // The first fault of a step that applies now; counts the call.
    OraError FireFault(const std::string& step, const std::string& user, const std::string& sql,
                       Fault** fired = nullptr) {
        for (Fault& f : m_Db->faults) {
            if (f.step != step) continue;
            if (!f.user.empty() && f.user != user) continue;
            if (!f.match.empty() && !LikeMatch(sql, f.match)) continue;
            if (f.times == 0) continue;
            if (step == "fetch") {
                if (f.times > 0) --f.times;
                if (fired) *fired = &f;
                return {};
            }
            if (f.seen++ < f.after) continue;
            if (f.times > 0) --f.times;
            if (fired) *fired = &f;
            return f.message.empty() ? Ora(f.code) : OraError::Make(f.code, f.message);
        }
        return {};
    }
};

class SessionImpl : public Session, public PlSqlHost {
public:
    SessionImpl(std::shared_ptr<ServerImpl> server, const UserInfo& user, std::int64_t id, bool sysdba)
        : m_Server(std::move(server)), m_UserName(user.name), m_UserId(user.id), m_Id(id), m_SysDba(sysdba),
          m_Dead(std::make_shared<std::atomic<bool>>(false)) {
        m_Goal = m_Server->m_Db->config.optimizerMode;
        m_Schema = m_UserName;
        m_SchemaId = m_UserId;
    }
    ~SessionImpl() override {
        std::lock_guard<std::mutex> lock(m_Server->m_Mutex);
        RollbackLocked();
    }

    std::int64_t SessionId() const override { return m_Id; }
    const std::string& UserName() const override { return m_UserName; }

    ExecResult Execute(const std::string& sql, std::vector<Bind>& binds, bool describeOnly) override {
        std::lock_guard<std::mutex> lock(m_Server->m_Mutex);
        ExecResult r;
        if (m_Dead->load()) {
            r.error = Ora(3114);
            return r;
        }
        Fault* fault = nullptr;
        OraError injected = m_Server->FireFault("execute", m_UserName, sql, &fault);
        if (injected.IsError()) {
            if (fault->fatal) m_Dead->store(true);
            r.error = injected;
            return r;
        }
        r = Run(sql, binds, describeOnly, nullptr);
        if (!r.error.IsError() && r.rows) {
            OraError none = m_Server->FireFault("fetch", m_UserName, sql, &fault);
            (void)none;
            if (fault) {
                OraError e = fault->message.empty() ? Ora(fault->code) : OraError::Make(fault->code, fault->message);
                r.rows = std::make_unique<FaultyRows>(std::move(r.rows), fault->after, e, fault->fatal, m_Dead);
            }
        }
        return r;
    }

    OraError Commit() override {
        std::lock_guard<std::mutex> lock(m_Server->m_Mutex);
        if (m_Dead->load()) return Ora(3114);
        OraError e = m_Server->FireFault("commit", m_UserName, "");
        if (e.IsError()) return e;
        m_Undo.clear();
        return {};
    }

    OraError Rollback() override {
        std::lock_guard<std::mutex> lock(m_Server->m_Mutex);
        if (m_Dead->load()) return Ora(3114);
        RollbackLocked();
        return {};
    }

    OraError Ping() override {
        std::lock_guard<std::mutex> lock(m_Server->m_Mutex);
        return m_Dead->load() ? Ora(3114) : OraError();
    }

    // PlSqlHost: recursive SQL runs with the lock already held.
    ExecResult RunSql(const std::string& sql, std::vector<Bind>& binds, VariableScope* variables) override {
        ExecResult r = Run(sql, binds, false, variables);
        if (r.error.IsError()) throw OraException(r.error);
        return r;
    }
    void CheckQuery(const std::string& sql, VariableScope* variables, const std::string& owner) override {
        (void)owner;
        Parser p(sql);
        std::unique_ptr<Select> q = p.ParseQuery();
        if (!p.AtEnd()) Raise(933);
        EvalEnv env = MakeEnv(nullptr, variables);
        env.bindsWithoutValues = true;
        Evaluator ev(env);
        ev.BindQuery(*q);
    }
    void CommitWork() override { m_Undo.clear(); }
    void RollbackWork() override { RollbackLocked(); }
    void RollbackLocked() {
        for (auto& [key, rows] : m_Undo) {
            TableInfo* t = nullptr;
            auto it = m_Server->m_Db->tables.find(key);
            if (it != m_Server->m_Db->tables.end()) t = &it->second;
            if (t) t->data->SetRows(rows);
        }
        m_Undo.clear();
    }
    const ProcedureInfo* FindProcedure(const std::vector<std::string>& names, const std::string& user) override {
        Database& db = *m_Server->m_Db;
        std::string owner = names.size() == 2 ? names[0] : user;
        std::string name = names.back();
        auto it = db.procedures.find(Database::Key(owner, name));
        if (it == db.procedures.end()) return nullptr;
        if (owner != m_UserName && !IsDba()) return nullptr;
        return &it->second;
    }
    std::string CurrentUser() const override { return m_UserName; }
    ExprPtr ParseExpression(const std::string& text, bool wholeText) override {
        return m_Server->m_Parsed.ParseExpression(text, wholeText);
    }
    std::unique_ptr<Statement> ParseSql(const std::string& sql) override {
        return m_Server->m_Parsed.CheckStatement(sql, m_UserName);
    }
    std::string SwitchCurrentSchema(const std::string& schema) override {
        std::string before = m_Schema;
        if (const UserInfo* u = m_Server->m_Db->FindUser(schema)) {
            m_Schema = u->name;
            m_SchemaId = u->id;
        }
        return before;
    }
    // The server's clock moves on while the session sleeps; the call itself returns at once.
    void Sleep(double seconds) override { m_Server->m_Db->Sleep(seconds); }

private:
    bool IsDba() const {
        const UserInfo* u = m_Server->m_Db->FindUser(m_UserName);
        return m_SysDba || (u && (u->dba || u->sysdba));
    }
    const UserInfo& User() const { return *m_Server->m_Db->FindUser(m_UserName); }

    EvalEnv MakeEnv(std::vector<Bind>* binds, VariableScope* variables) {
        EvalEnv env;
        env.binds = binds;
        env.variables = variables;
        env.sysdate = m_Server->m_Db->Now();
        env.sessionId = m_Id;
        env.user = m_UserName;
        env.userId = m_UserId;
        env.resolveTable = [this](const TableRef& ref) { return ResolveForQuery(ref); };
        return env;
    }

    std::shared_ptr<const TableData> ResolveForQuery(const TableRef& ref) {
        Resolved r = Resolve(ref.schema, ref.name);
        if (r.fixed == Fixed::SqlArea || r.fixed == Fixed::SqlText || r.fixed == Fixed::SqlPlan) m_ReadsPool = true;
        return r.data;
    }

    bool MayRead(Fixed f) const {
        const UserInfo& u = User();
        switch (f) {
            case Fixed::SqlArea:
            case Fixed::SqlText:
            case Fixed::SqlPlan: return IsDba() || u.catalog;
            case Fixed::DatabaseView:
            case Fixed::Instance: return IsDba() || u.catalog || u.vdatabase;
            default: return true;
        }
    }

    std::shared_ptr<const TableData> FixedData(Fixed f) {
        Database& db = *m_Server->m_Db;
        switch (f) {
            case Fixed::SqlArea:
                if (!db.config.oldRelease) BuildCursorPlans(db.pool, db);
                return MakeSqlAreaView(db.pool.Snapshot(), db.config.wordSize, db.config.oldRelease);
            case Fixed::SqlText: return MakeSqlTextView(db.pool.Snapshot(), db.config.wordSize, db.config.oldRelease);
            case Fixed::SqlPlan:
                BuildCursorPlans(db.pool, db);
                return MakeSqlPlanView(db.pool.Snapshot(), db.config.wordSize);
            case Fixed::Version: {
                auto t = std::make_shared<RowTable>(std::vector<ColumnDesc>{TextColumn("BANNER", 80), NumberColumn("CON_ID")});
                for (const std::string& b : db.config.banners) t->MutableRows().push_back({Value::Str(b), Value::Num(0)});
                return t;
            }
            case Fixed::DatabaseView: {
                auto t = std::make_shared<RowTable>(std::vector<ColumnDesc>{
                    NumberColumn("DBID"), TextColumn("NAME", 9), DateColumn("CREATED"), TextColumn("LOG_MODE", 12),
                    TextColumn("OPEN_MODE", 20), TextColumn("DATABASE_ROLE", 16), TextColumn("PLATFORM_NAME", 101)});
                t->MutableRows().push_back({Value::Num(static_cast<double>(db.config.dbid)), Value::Str(db.config.database),
                                            Value::DateAt(db.config.created), Value::Str("NOARCHIVELOG"),
                                            Value::Str("READ WRITE"), Value::Str("PRIMARY"),
                                            Value::Str(db.config.wordSize == 32 ? "Linux IA (32-bit)" : "Linux x86 64-bit")});
                return t;
            }
            case Fixed::AllUsers: {
                auto t = std::make_shared<RowTable>(std::vector<ColumnDesc>{
                    TextColumn("USERNAME", 30, false), NumberColumn("USER_ID", false), DateColumn("CREATED", false)});
                for (const auto& [name, u] : db.users) {
                    if (u.dropped) continue;
                    t->MutableRows().push_back({Value::Str(u.name), Value::Num(u.id), Value::DateAt(u.created)});
                }
                return t;
            }
            case Fixed::Dual: {
                auto t = std::make_shared<RowTable>(std::vector<ColumnDesc>{TextColumn("DUMMY", 1)});
                t->MutableRows().push_back({Value::Str("X")});
                return t;
            }
            case Fixed::UserObjects: {
                auto t = std::make_shared<RowTable>(std::vector<ColumnDesc>{
                    TextColumn("OBJECT_NAME", 128), TextColumn("SUBOBJECT_NAME", 128), NumberColumn("OBJECT_ID"),
                    NumberColumn("DATA_OBJECT_ID"), TextColumn("OBJECT_TYPE", 23), DateColumn("CREATED"),
                    DateColumn("LAST_DDL_TIME"), TextColumn("TIMESTAMP", 19), TextColumn("STATUS", 7),
                    TextColumn("TEMPORARY", 1), TextColumn("GENERATED", 1), TextColumn("SECONDARY", 1)});
                auto add = [&](const std::string& name, int id, const char* type, std::int64_t created,
                               std::int64_t ddl, bool valid, bool data) {
                    t->MutableRows().push_back({Value::Str(name), Value::Null(), Value::Num(id),
                                                data ? Value::Num(id) : Value::Null(), Value::Str(type),
                                                Value::DateAt(created), Value::DateAt(ddl),
                                                Value::Str(FormatDate(ddl, "YYYY-MM-DD:HH24:MI:SS")),
                                                Value::Str(valid ? "VALID" : "INVALID"), Value::Str("N"),
                                                Value::Str("N"), Value::Str("N")});
                };
                for (const auto& [k, tab] : db.tables)
                    if (tab.owner == m_UserName) add(tab.name, tab.objectId, "TABLE", tab.created, tab.created, true, true);
                for (const auto& [k, idx] : db.indexes)
                    if (idx.owner == m_UserName) add(idx.name, idx.objectId, "INDEX", idx.created, idx.created, true, true);
                for (const auto& [k, p] : db.procedures)
                    if (p.owner == m_UserName) add(p.name, p.objectId, "PROCEDURE", p.created, p.lastDdl, p.valid, false);
                return t;
            }
            case Fixed::Instance: return MakeInstanceView(db);
            case Fixed::None: break;
        }
        return nullptr;
    }

    Resolved Resolve(const std::string& schema, const std::string& name, int depth = 0) {
        Database& db = *m_Server->m_Db;
        Resolved r;
        if (depth > 8) Raise(942);
        if (!schema.empty()) {
            if (schema == "SYS") {
                Fixed f = FixedView(name);
                if (f == Fixed::SqlPlan && db.config.oldRelease) f = Fixed::None;
                if (f != Fixed::None) {
                    if (!MayRead(f)) Raise(942);
                    r.fixed = f;
                    r.owner = "SYS";
                    r.name = name;
                    r.data = FixedData(f);
                    return r;
                }
            }
            if (TableInfo* t = db.FindTable(schema, name)) {
                bool granted = schema == m_UserName || IsDba();
                if (!granted) {
                    auto g = db.grants.find(Database::Key(schema, name));
                    granted = g != db.grants.end() && (g->second.count(m_UserName) || g->second.count("PUBLIC"));
                }
                if (!granted) Raise(942);
                r.table = t;
                r.owner = schema;
                r.name = name;
                // Queries read a snapshot: another session may change the table meanwhile.
                r.data = t->data->Snapshot();
                return r;
            }
            auto syn = db.synonyms.find(Database::Key(schema, name));
            if (syn != db.synonyms.end() && (schema == m_UserName || IsDba()))
                return Resolve(syn->second.targetOwner, syn->second.targetName, depth + 1);
            Raise(942);
        }
        if (db.FindTable(m_Schema, name)) return Resolve(m_Schema, name, depth + 1);
        if (m_Schema == "SYS" && FixedView(name) != Fixed::None) return Resolve("SYS", name, depth + 1);
        auto own = db.synonyms.find(Database::Key(m_Schema, name));
        if (own != db.synonyms.end()) return Resolve(own->second.targetOwner, own->second.targetName, depth + 1);
        std::string dict = PublicDictionarySynonym(name);
        if (!dict.empty()) return Resolve("SYS", dict, depth + 1);
        auto pub = db.synonyms.find(Database::Key("PUBLIC", name));
        if (pub != db.synonyms.end()) return Resolve(pub->second.targetOwner, pub->second.targetName, depth + 1);
        Raise(942);
    }

    // A table this session may change with the given object privilege (null: the
    // owner's or a DBA's alone). A table of another user that the session sees
    // through a SELECT grant answers ORA-01031, as on Oracle.
    TableInfo& WritableTable(const TableRef& ref, const char* privilege) {
        Resolved r = Resolve(ref.schema, ref.name);
        if (!r.table) Raise(r.fixed == Fixed::None ? 942 : 2030);
        if (r.table->owner == m_UserName || IsDba()) return *r.table;
        if (privilege) {
            Database& db = *m_Server->m_Db;
            auto g = db.changeGrants.find(Database::Key(r.table->owner, r.table->name));
            if (g != db.changeGrants.end()) {
                for (const std::string& grantee : {m_UserName, std::string("PUBLIC")}) {
                    if (g->second.count(grantee + " " + privilege) || g->second.count(grantee + " ALL"))
                        return *r.table;
                }
            }
        }
        Raise(1031);
    }

    void SaveUndo(TableInfo& t) {
        std::string key = Database::Key(t.owner, t.name);
        if (!m_Undo.count(key)) m_Undo[key] = t.data->SharedRows();
    }

    // The shared pool entry of a statement the session runs.
    void EnterPool(const std::string& sql, int commandType, bool execute) {
        Database& db = *m_Server->m_Db;
        bool created;
        PoolEntry& e = db.pool.Enter(sql, created);
        if (created) {
            e.commandType = commandType;
            e.optimizerMode = m_Goal;
            e.parsingUserId = m_UserId;
            e.parsingSchemaId = m_SchemaId;
            e.firstLoadTime = db.Now();
        }
        e.parseCalls += 1;
        if (execute) {
            e.lastActiveTime = db.Now();
            e.executions += 1;
            e.bufferGets += 3;
            if (commandType == 3) e.fetches += 1;
        }
    }

    Value Coerce(const ColumnDesc& col, const TableInfo& t, const Value& v) {
        if (v.IsNull()) {
            if (!col.nullable) Raise(1400, "\"" + t.owner + "\".\"" + t.name + "\".\"" + col.name + "\"");
            return v;
        }
        switch (col.type) {
            case ColumnType::Number: {
                double d;
                OraError err;
                if (!v.ToNumber(d, err)) throw OraException(err);
                if (col.scale == 0 && col.precision > 0) d = std::round(d);
                return Value::Num(d);
            }
            case ColumnType::Date:
                if (v.type == Value::Type::Date) return v;
                if (v.type == Value::Type::Number) Raise(932, "DATE", "NUMBER");
                return Value::DateAt(ParseDate(v.text, DefaultDateMask()));
            default: {
                if (v.type == Value::Type::Text && (col.size <= 0 || static_cast<int>(v.text.size()) <= col.size))
                    return v;
                std::string s = v.ToText();
                if (col.size > 0 && static_cast<int>(s.size()) > col.size) {
                    OraError e = OraError::Make(12899, "value too large for column \"" + t.owner + "\".\"" + t.name +
                                                           "\".\"" + col.name + "\" (actual: " + std::to_string(s.size()) +
                                                           ", maximum: " + std::to_string(col.size) + ")");
                    throw OraException(e);
                }
                return Value::Str(s);
            }
        }
    }

    ExecResult Run(const std::string& sql, std::vector<Bind>& binds, bool describeOnly, VariableScope* variables) {
        ExecResult r;
        try {
            std::unique_ptr<Statement> st = m_Server->m_Parsed.ParseStatement(sql, m_UserName);
            RunStatement(sql, *st, binds, describeOnly, variables, r);
        } catch (const OraException& e) {
            r = ExecResult();
            r.error = e.error;
        }
        return r;
    }

    void RunStatement(const std::string& sql, Statement& st, std::vector<Bind>& binds, bool describeOnly,
                      VariableScope* variables, ExecResult& r) {
        Database& db = *m_Server->m_Db;
        using K = Statement::Kind;
        if (describeOnly && st.kind != K::Select && st.kind != K::PlSqlBlock && st.kind != K::Call) {
            // A parse without execution: the statement is well formed and the
            // table a DML statement changes exists and may be changed.
            if (st.kind == K::Insert) WritableTable(st.table, "INSERT");
            if (st.kind == K::Update) WritableTable(st.table, "UPDATE");
            if (st.kind == K::Delete) WritableTable(st.table, "DELETE");
            return;
        }
        switch (st.kind) {
            case K::Select: {
                m_ReadsPool = false;
                // A describe needs no values: Oracle describes a query whose
                // placeholders are unbound, and ORA-01008 belongs to the execute.
                EvalEnv env = MakeEnv(&binds, variables);
                env.bindsWithoutValues = describeOnly;
                auto ev = std::make_shared<Evaluator>(env);
                r.columns = ev->BindQuery(*st.select);
                // The pool is read again below, once it holds this query: the first
                // binding lets go of it first, or entering the query copies the pool.
                if (m_ReadsPool && !describeOnly) ev.reset();
                EnterPool(sql, 3, !describeOnly);
                if (m_ReadsPool && !describeOnly) {
                    // A query on the shared pool sees itself, as on Oracle: bind
                    // again over the pool that now holds it.
                    std::unique_ptr<Statement> again = m_Server->m_Parsed.ParseStatement(sql, m_UserName);
                    st.select = std::move(again->select);
                    st.shelf = std::move(again->shelf);
                    ev = std::make_shared<Evaluator>(MakeEnv(&binds, variables));
                    ev->BindQuery(*st.select);
                }
                if (describeOnly) return;
                Evaluator::SelectRelease release;
                if (st.shelf)
                    release = [shelf = st.shelf](std::unique_ptr<Select> tree) { shelf->GiveBack(std::move(tree)); };
                r.rows = Evaluator::Open(ev, std::move(st.select), std::move(release));
                if (m_ReadsPool && !db.workload.atSleep &&
                    (db.workload.newStatements || db.workload.touched || db.workload.removed))
                    db.AdvanceWorkload();
                return;
            }
            case K::Insert: {
                TableInfo& t = WritableTable(st.table, "INSERT");
                const auto& cols = t.data->Columns();
                std::vector<int> targets;
                if (st.columns.empty()) {
                    for (size_t i = 0; i < cols.size(); ++i) targets.push_back(static_cast<int>(i));
                } else {
                    for (const std::string& c : st.columns) {
                        int i = t.data->ColumnIndex(c);
                        if (i < 0) Raise(904, c);
                        targets.push_back(i);
                    }
                }
                std::vector<Row> newRows;
                if (st.select) {
                    Evaluator ev(MakeEnv(&binds, variables));
                    auto described = ev.BindQuery(*st.select);
                    if (described.size() < targets.size()) Raise(947);
                    if (described.size() > targets.size()) Raise(913);
                    auto evp = std::make_shared<Evaluator>(MakeEnv(&binds, variables));
                    evp->BindQuery(*st.select);
                    auto rows = Evaluator::Open(evp, std::move(st.select));
                    std::vector<Value> row;
                    OraError err;
                    while (rows->Next(row, err)) newRows.push_back(row);
                    if (err.IsError()) throw OraException(err);
                } else {
                    if (st.values.size() < targets.size()) Raise(947);
                    if (st.values.size() > targets.size()) Raise(913);
                    Evaluator ev(MakeEnv(&binds, variables));
                    Row row;
                    for (ExprPtr& v : st.values) {
                        ev.BindExpression(*v);
                        row.push_back(ev.EvaluateExpression(*v));
                    }
                    newRows.push_back(row);
                }
                EnterPool(sql, 2, true);
                SaveUndo(t);
                for (const Row& values : newRows) {
                    Row full(cols.size());
                    for (size_t i = 0; i < targets.size(); ++i) full[static_cast<size_t>(targets[i])] = values[i];
                    for (size_t i = 0; i < cols.size(); ++i) full[i] = Coerce(cols[i], t, full[i]);
                    t.data->MutableRows().push_back(std::move(full));
                }
                r.rowsProcessed = newRows.size();
                if (!t.analyzed) t.numRows = static_cast<std::int64_t>(t.data->RowCount());
                return;
            }
            case K::Update:
            case K::Delete: {
                TableInfo& t = WritableTable(st.table, st.kind == K::Update ? "UPDATE" : "DELETE");
                std::vector<size_t> rows;
                std::vector<Row> updated;
                {
                    // The evaluator and its snapshot end before the change, so that
                    // the rows are changed in place rather than copied first.
                    Evaluator ev(MakeEnv(&binds, variables));
                    std::string alias = st.table.alias.empty() ? st.table.name : st.table.alias;
                    auto snapshot = t.data->Snapshot();
                    Expr dummy;
                    if (st.where)
                        ev.BindOnTable(*st.where, snapshot, alias);
                    else
                        ev.BindOnTable(dummy, snapshot, alias);
                    std::vector<int> setColumns;
                    for (size_t i = 0; i < st.setColumns.size(); ++i) {
                        int c = t.data->ColumnIndex(st.setColumns[i]);
                        if (c < 0) Raise(904, st.setColumns[i]);
                        setColumns.push_back(c);
                        ev.BindOnTable(*st.values[i], snapshot, alias);
                    }
                    rows = ev.MatchingRows(st.where.get());
                    // A DELETE needs only the rows' places; an UPDATE, the rows as changed.
                    if (st.kind == K::Update) {
                        updated.reserve(rows.size());
                        for (size_t row : rows) {
                            Row copy = snapshot->GetRows()[row];
                            for (size_t i = 0; i < setColumns.size(); ++i) {
                                size_t c = static_cast<size_t>(setColumns[i]);
                                copy[c] = Coerce(t.data->Columns()[c], t, ev.EvaluateOnRow(*st.values[i], row));
                            }
                            updated.push_back(std::move(copy));
                        }
                    }
                }
                EnterPool(sql, st.kind == K::Update ? 6 : 7, true);
                SaveUndo(t);
                if (st.kind == K::Update) {
                    Rows& target = t.data->MutableRows();
                    for (size_t i = 0; i < rows.size(); ++i) target[rows[i]] = std::move(updated[i]);
                } else if (!rows.empty()) {
                    // The rows that stay make the new table; the old rows stay with
                    // the undo (and any query still reading them), uncopied.
                    const Rows& before = t.data->GetRows();
                    Rows kept;
                    kept.reserve(before.size() - rows.size());
                    size_t next = 0;
                    for (size_t i = 0; i < before.size(); ++i) {
                        if (next < rows.size() && rows[next] == i)
                            ++next;
                        else
                            kept.push_back(before[i]);
                    }
                    t.data->SetRows(std::move(kept));
                }
                r.rowsProcessed = rows.size();
                if (!t.analyzed) t.numRows = static_cast<std::int64_t>(t.data->RowCount());
                return;
            }
            case K::Explain: RunExplain(sql, st, r); return;
            case K::AlterSession: {
                std::string name = st.name;
                if (name == "OPTIMIZER_GOAL" || name == "OPTIMIZER_MODE") {
                    std::string v = Upper(st.value);
                    static const char* modes[] = {"CHOOSE", "RULE", "ALL_ROWS", "FIRST_ROWS", "FIRST_ROWS_1",
                                                  "FIRST_ROWS_10", "FIRST_ROWS_100", "FIRST_ROWS_1000"};
                    bool ok = false;
                    for (const char* m : modes)
                        if (v == m) ok = true;
                    if (!ok)
                        Raise(96, st.value, "optimizer_mode",
                              "first_rows_1000, first_rows_100, first_rows_10, first_rows_1, first_rows, all_rows, "
                              "choose, rule");
                    m_Goal = v;
                } else if (name == "CURRENT_SCHEMA") {
                    const UserInfo* schema = m_Server->m_Db->FindUser(Upper(st.value));
                    if (!schema) Raise(1435);
                    m_Schema = schema->name;
                    m_SchemaId = schema->id;
                } else if (name.compare(0, 4, "NLS_") != 0 && name != "SQL_TRACE" && name != "CURRENT_SCHEMA" &&
                           name != "STATISTICS_LEVEL" && name != "EVENTS") {
                    Raise(2248);
                }
                EnterPool(sql, 42, true);
                return;
            }
            case K::AlterSystem: {
                const UserInfo& u = User();
                if (!(IsDba() || u.alterSystem)) Raise(1031);
                EnterPool(sql, 49, true);
                if (st.option == "FLUSH SHARED_POOL") {
                    db.pool.Flush();
                    m_Server->m_Parsed.Clear();
                }
                return;
            }
            case K::CreateProcedure: RunCreateProcedure(sql, st, r); return;
            case K::DropProcedure: {
                std::string owner = st.owner.empty() ? m_UserName : st.owner;
                auto it = db.procedures.find(Database::Key(owner, st.name));
                if (it == db.procedures.end()) Raise(4043, (st.owner.empty() ? "" : owner + ".") + st.name);
                if (owner != m_UserName && !IsDba()) Raise(1031);
                EnterPool(sql, 68, true);
                db.procedures.erase(it);
                m_Server->m_Parsed.Invalidate(st.name);
                return;
            }
            case K::CreateTable: {
                std::string owner = st.owner.empty() ? m_UserName : st.owner;
                if (owner != m_UserName && !IsDba()) Raise(1031);
                if (db.FindTable(owner, st.name) || db.procedures.count(Database::Key(owner, st.name))) Raise(955);
                std::vector<ColumnDesc> cols;
                for (const ColumnDef& c : st.columnDefs) cols.push_back(c.desc);
                std::vector<Row> rows;
                if (st.select) {
                    auto ev = std::make_shared<Evaluator>(MakeEnv(&binds, variables));
                    auto described = ev->BindQuery(*st.select);
                    if (cols.empty()) cols = described;
                    auto src = Evaluator::Open(ev, std::move(st.select));
                    std::vector<Value> row;
                    OraError err;
                    while (src->Next(row, err)) rows.push_back(row);
                    if (err.IsError()) throw OraException(err);
                }
                EnterPool(sql, 1, true);
                TableInfo& t = db.CreateTable(owner, st.name, cols);
                m_Server->m_Parsed.Invalidate(st.name);
                t.data->MutableRows() = rows;
                t.numRows = static_cast<std::int64_t>(rows.size());
                return;
            }
            case K::DropTable: {
                TableRef ref;
                ref.schema = st.owner.empty() ? m_UserName : st.owner;
                ref.name = st.name;
                if (!db.FindTable(ref.schema, ref.name)) Raise(942);
                if (ref.schema != m_UserName && !IsDba()) {
                    Resolve(ref.schema, ref.name);  // ORA-00942 for a table the user cannot see
                    Raise(1031);
                }
                EnterPool(sql, 12, true);
                std::string key = Database::Key(ref.schema, ref.name);
                db.tables.erase(key);
                db.grants.erase(key);
                db.changeGrants.erase(key);
                m_Undo.erase(key);
                m_Server->m_Parsed.Invalidate(ref.name);
                for (auto it = db.indexes.begin(); it != db.indexes.end();)
                    it = it->second.tableOwner == ref.schema && it->second.table == ref.name ? db.indexes.erase(it) : std::next(it);
                return;
            }
            case K::CreateIndex: {
                TableInfo& t = WritableTable(st.table, "INDEX");
                std::string owner = st.owner.empty() ? m_UserName : st.owner;
                if (db.indexes.count(Database::Key(owner, st.name))) Raise(955);
                for (const std::string& c : st.columns)
                    if (t.data->ColumnIndex(c) < 0) Raise(904, c);
                EnterPool(sql, 9, true);
                IndexInfo& idx = db.indexes[Database::Key(owner, st.name)];
                idx.owner = owner;
                idx.name = st.name;
                idx.tableOwner = t.owner;
                idx.table = t.name;
                idx.columns = st.columns;
                idx.unique = st.unique;
                idx.objectId = db.nextObjectId++;
                idx.created = db.Now();
                m_Server->m_Parsed.Invalidate(t.name);
                return;
            }
            case K::DropIndex: {
                std::string owner = st.owner.empty() ? m_UserName : st.owner;
                auto it = db.indexes.find(Database::Key(owner, st.name));
                if (it == db.indexes.end()) Raise(1418);
                EnterPool(sql, 10, true);
                m_Server->m_Parsed.Invalidate(it->second.table);
                db.indexes.erase(it);
                return;
            }
            case K::CreateSynonym:
            case K::DropSynonym: {
                std::string owner = st.isPublic ? "PUBLIC" : st.owner.empty() ? m_UserName : st.owner;
                if (st.isPublic && !IsDba()) Raise(1031);
                std::string key = Database::Key(owner, st.name);
                if (st.kind == K::DropSynonym) {
                    if (!db.synonyms.erase(key)) Raise(1434);
                    EnterPool(sql, st.commandType, true);
                    m_Server->m_Parsed.Invalidate(st.name);
                    return;
                }
                if (db.synonyms.count(key) && !st.orReplace) Raise(955);
                EnterPool(sql, 19, true);
                db.synonyms[key] = {owner, st.name, st.table.schema.empty() ? m_UserName : st.table.schema, st.table.name};
                m_Server->m_Parsed.Invalidate(st.name);
                return;
            }
            case K::Analyze: {
                TableInfo& t = WritableTable(st.table, nullptr);
                EnterPool(sql, 62, true);
                m_Server->m_Parsed.Invalidate(t.name);
                t.analyzed = st.option == "COMPUTE";
                if (t.analyzed && t.data->RowCount() > 0) t.numRows = static_cast<std::int64_t>(t.data->RowCount());
                return;
            }
            case K::Truncate: {
                TableInfo& t = WritableTable(st.table, nullptr);
                EnterPool(sql, 85, true);
                m_Server->m_Parsed.Invalidate(t.name);
                t.data->MutableRows().clear();
                m_Undo.erase(Database::Key(t.owner, t.name));
                return;
            }
            case K::Grant: {
                TableInfo& t = WritableTable(st.table, nullptr);
                EnterPool(sql, 17, true);
                m_Server->m_Parsed.Invalidate(t.name);
                const std::string key = Database::Key(t.owner, t.name);
                for (const std::string& g : st.grantees) {
                    db.grants[key].insert(g);
                    for (const std::string& privilege : st.privileges) {
                        if (privilege != "SELECT") db.changeGrants[key].insert(g + " " + privilege);
                    }
                }
                return;
            }
            case K::Commit:
                EnterPool(sql, 44, true);
                m_Undo.clear();
                return;
            case K::Rollback:
                EnterPool(sql, 45, true);
                RollbackLocked();
                return;
            case K::PlSqlBlock: {
                std::shared_ptr<PlSqlUnit> unit = m_Server->m_Parsed.ParseBlock(sql, m_UserName);
                EnterPool(sql, 47, true);
                if (describeOnly) return;
                RunBlock(*unit, binds, *this);
                r.rowsProcessed = 1;
                return;
            }
            case K::Call: Raise(900);
        }
    }

    void RunExplain(const std::string& sql, Statement& st, ExecResult& r) {
        Database& db = *m_Server->m_Db;
        // The plan table first: Oracle names it before looking at the statement.
        TableInfo* planTable = nullptr;
        try {
            TableRef ref;
            std::string into = st.intoTable.empty() ? "PLAN_TABLE" : st.intoTable;
            size_t dot = into.find('.');
            if (dot != std::string::npos) {
                ref.schema = into.substr(0, dot);
                ref.name = into.substr(dot + 1);
            } else {
                ref.name = into;
            }
            Resolved res = Resolve(ref.schema, ref.name);
            planTable = res.table;
        } catch (const OraException&) {
            planTable = nullptr;
        }
        if (!planTable) Raise(2402);
        using K = Statement::Kind;
        Statement& inner = *st.inner;
        if (inner.kind != K::Select && inner.kind != K::Insert && inner.kind != K::Update && inner.kind != K::Delete)
            Raise(900);
        PlanResolver resolver = [this](const TableRef& ref) {
            Resolved res = Resolve(ref.schema, ref.name);
            PlanObject o;
            o.owner = res.owner;
            o.name = res.name;
            o.table = res.table;
            o.data = res.data;
            return o;
        };
        // The plan is made from the tree as parsed, before the check binds it; a
        // failure to plan counts only when the check passes.
        std::vector<PlanRow> plan;
        std::exception_ptr planFailure;
        try {
            plan = BuildPlan(inner, m_Goal, db, resolver);
        } catch (...) {
            planFailure = std::current_exception();
        }
        // Check the statement as a parse would: tables, columns, grouping.
        std::vector<Bind> noBinds;
        EvalEnv env = MakeEnv(&noBinds, nullptr);
        env.bindsWithoutValues = true;
        {
            Evaluator ev(env);
            if (inner.select) ev.BindQuery(*inner.select);
            if (inner.kind == K::Update || inner.kind == K::Delete || inner.kind == K::Insert) {
                Resolved target = Resolve(inner.table.schema, inner.table.name);
                if (!target.table && target.fixed != Fixed::None) Raise(2030);
                std::string alias = inner.table.alias.empty() ? inner.table.name : inner.table.alias;
                Evaluator dml(env);
                if (inner.where) dml.BindOnTable(*inner.where, target.data, alias);
                for (const std::string& c : inner.setColumns)
                    if (target.data->ColumnIndex(c) < 0) Raise(904, c);
                for (ExprPtr& v : inner.values) {
                    if (inner.kind == K::Update)
                        dml.BindOnTable(*v, target.data, alias);
                    else
                        Evaluator(env).BindExpression(*v);
                }
                for (const std::string& c : inner.columns)
                    if (target.data->ColumnIndex(c) < 0) Raise(904, c);
            }
        }
        if (planFailure) std::rethrow_exception(planFailure);
        EnterPool(sql, 50, true);
        SaveUndo(*planTable);
        const auto& cols = planTable->data->Columns();
        // The plan table's columns, looked up once: a plan table may lack some or order them differently.
        enum { kStatementId, kTimestamp, kOperation, kOptions, kObjectOwner, kObjectName, kObjectType, kOptimizer,
               kId, kParentId, kPosition, kCost, kCardinality, kBytes, kIoCost, kCpuCost, kFields };
        static const char* const kNames[kFields] = {"STATEMENT_ID", "TIMESTAMP", "OPERATION", "OPTIONS",
                                                    "OBJECT_OWNER", "OBJECT_NAME", "OBJECT_TYPE", "OPTIMIZER",
                                                    "ID", "PARENT_ID", "POSITION", "COST", "CARDINALITY", "BYTES",
                                                    "IO_COST", "CPU_COST"};
        int column[kFields];
        for (int i = 0; i < kFields; ++i) column[i] = planTable->data->ColumnIndex(kNames[i]);
        std::int64_t now = db.Now();
        const Value statementId = st.hasStatementId ? Value::Str(st.statementId) : Value::Null();
        Rows added;
        added.reserve(plan.size());
        for (PlanRow& p : plan) {
            Row& row = added.emplace_back(cols.size());
            auto set = [&](int field, Value v) {
                int c = column[field];
                if (c >= 0) row[static_cast<size_t>(c)] = std::move(v);
            };
            auto opt = [](const std::optional<double>& d) { return d ? Value::Num(*d) : Value::Null(); };
            set(kStatementId, statementId);
            set(kTimestamp, Value::DateAt(now));
            set(kOperation, Value::Str(std::move(p.operation)));
            set(kOptions, Value::Str(std::move(p.options)));
            set(kObjectOwner, Value::Str(std::move(p.objectOwner)));
            set(kObjectName, Value::Str(std::move(p.objectName)));
            set(kObjectType, Value::Str(std::move(p.objectType)));
            set(kOptimizer, Value::Str(std::move(p.optimizer)));
            set(kId, Value::Num(p.id));
            set(kParentId, p.parentId < 0 ? Value::Null() : Value::Num(p.parentId));
            // The root's position holds the plan's cost; a rule-based plan has none.
            set(kPosition, p.id == 0 ? opt(p.cost) : Value::Num(p.position));
            set(kCost, opt(p.cost));
            set(kCardinality, opt(p.cardinality));
            set(kBytes, opt(p.bytes));
            if (p.cost) {
                set(kIoCost, opt(p.cost));
                set(kCpuCost, Value::Num(std::floor(*p.cost * 7521.0)));
            }
        }
        Rows& target = planTable->data->MutableRows();
        for (Row& row : added) target.push_back(std::move(row));
        r.rowsProcessed = 0;
    }

    void RunCreateProcedure(const std::string& sql, Statement& st, ExecResult& r) {
        Database& db = *m_Server->m_Db;
        if (st.option != "PROCEDURE") Raise(900);
        const UserInfo& u = User();
        std::string owner = st.owner.empty() ? m_UserName : st.owner;
        if (!(IsDba() || (u.createProcedure && owner == m_UserName))) Raise(1031);
        std::string key = Database::Key(owner, st.name);
        bool exists = db.procedures.count(key) != 0;
        if (exists && !st.orReplace) Raise(955);
        if (db.FindTable(owner, st.name)) Raise(955);
        EnterPool(sql, 24, true);
        m_Server->m_Parsed.Invalidate(st.name);
        ProcedureInfo& p = db.procedures[key];
        if (!exists) {
            p.objectId = db.nextObjectId++;
            p.created = db.Now();
        }
        p.owner = owner;
        p.name = st.name;
        p.type = "PROCEDURE";
        p.text = sql;
        p.lastDdl = db.Now();
        p.valid = false;
        p.unit.reset();
        try {
            std::shared_ptr<PlSqlUnit> unit = ParsePlSql(sql, true);
            unit->owner = owner;
            size_t pos = 0;
            std::string problem = CheckPlSql(*unit, *this, pos);
            if (problem.empty()) {
                p.valid = true;
                p.unit = unit;
            }
        } catch (const OraException&) {
            p.valid = false;
        }
        if (!p.valid) r.warning = Ora(24344);
    }

    std::shared_ptr<ServerImpl> m_Server;
    std::string m_UserName;
    int m_UserId;
    // The current schema (ALTER SESSION SET CURRENT_SCHEMA): where unqualified
    // names resolve and whose id a parsed statement carries as parsing schema.
    // Privileges stay the user's.
    std::string m_Schema;
    int m_SchemaId;
    std::int64_t m_Id;
    bool m_SysDba;
    std::shared_ptr<std::atomic<bool>> m_Dead;
    std::string m_Goal;
    bool m_ReadsPool = false;
    // The rows of each table this transaction changed, as they were before (shared
    // with the table until it changes).
    std::map<std::string, std::shared_ptr<const Rows>> m_Undo;
};

std::unique_ptr<Session> ServerImpl::Logon(const std::string& alias, const std::string& user,
                                           const std::string& password, LogonMode mode, OraError& err) {
    std::lock_guard<std::mutex> lock(m_Mutex);
    std::string name = NormalizeName(user);
    err = CheckAlias(alias, "logon", name);
    if (err.IsError()) return nullptr;
    const UserInfo* u = m_Db->FindUser(name);
    if (!u || u->dropped || Upper(u->password) != Upper(password) || name.empty()) {
        err = Ora(1017);
        return nullptr;
    }
    if (u->locked) {
        err = Ora(28000);
        return nullptr;
    }
    if ((mode == LogonMode::SysDba && !u->sysdba) || (mode == LogonMode::SysOper && !(u->sysoper || u->sysdba))) {
        err = Ora(1031);
        return nullptr;
    }
    if (!u->createSession) {
        err = Ora(1045, u->name);
        return nullptr;
    }
    // A SYSDBA logon works as SYS; SYSOPER as PUBLIC in Oracle, here as the user.
    const UserInfo* effective = u;
    if (mode == LogonMode::SysDba) {
        if (const UserInfo* sys = m_Db->FindUser("SYS")) effective = sys;
    }
    std::int64_t id = m_Db->nextSessionId++;
    return std::make_unique<SessionImpl>(shared_from_this(), *effective, id, mode == LogonMode::SysDba);
}

std::mutex g_ServerMutex;
std::shared_ptr<ServerImpl> g_Server;
std::string g_ServerScenario;

// The scenario's server; with CORVID_SIM_NOW (`now`, empty when unset) one that
// lives in time and stands at that time.
std::shared_ptr<ServerImpl> BuildServer(const std::string& scenario, const std::string& now) {
    try {
        std::optional<std::int64_t> at;
        if (!now.empty()) {
            at = ParseTimePoint(now);
            if (!at)
                throw ScenarioError("CORVID_SIM_NOW: \"" + now +
                                    "\" is not a time (YYYY-MM-DDTHH:MI:SS, YYYY-MM-DD/HH24:MI:SS or YYYY-MM-DD)");
        }
        auto server = std::make_shared<ServerImpl>(LoadScenario(scenario, at), std::string());
        // CORVID_SIM_PARSE_CACHE=0 parses every execute afresh (benchmarks compare the two).
        const char* cache = std::getenv("CORVID_SIM_PARSE_CACHE");
        if (cache && std::string(cache) == "0") server->m_Parsed.SetEnabled(false);
        return server;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "ocisim: %s\n", e.what());
        return std::make_shared<ServerImpl>(std::make_unique<Database>(), e.what());
    }
}

}  // namespace

namespace {

// The scenario and the time a server is built for, as one key.
std::string ServerKey(std::string& scenario, std::string& now) {
    const char* env = std::getenv("CORVID_SIM_SCENARIO");
    const char* time = std::getenv("CORVID_SIM_NOW");
    scenario = env ? env : "";
    now = time ? time : "";
    return now.empty() ? scenario : scenario + '\n' + now;
}

}  // namespace

std::shared_ptr<Server> TheServer() {
    std::lock_guard<std::mutex> lock(g_ServerMutex);
    std::string scenario, now;
    const std::string key = ServerKey(scenario, now);
    if (!g_Server || key != g_ServerScenario) {
        g_Server = BuildServer(scenario, now);
        g_ServerScenario = key;
    }
    return g_Server;
}

std::vector<GeneratedStatement> GeneratedStatements(Server& server) {
    auto* impl = dynamic_cast<ServerImpl*>(&server);
    if (!impl) return {};
    std::lock_guard<std::mutex> lock(impl->m_Mutex);
    return impl->m_Db->generated;
}

std::vector<std::string> GeneratorTemplates(Server& server) {
    auto* impl = dynamic_cast<ServerImpl*>(&server);
    if (!impl) return {};
    std::lock_guard<std::mutex> lock(impl->m_Mutex);
    return impl->m_Db->generatorTemplates;
}

void ResetServer() {
    std::lock_guard<std::mutex> lock(g_ServerMutex);
    std::string scenario, now;
    g_ServerScenario = ServerKey(scenario, now);
    g_Server = BuildServer(scenario, now);
}

}  // namespace ocisim
