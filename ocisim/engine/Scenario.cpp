#include "ocisim/engine/Scenario.h"

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

#include "ocisim/engine/Database.h"
#include "ocisim/engine/DateTime.h"
#include "ocisim/engine/Errors.h"
#include "ocisim/engine/Evaluator.h"
#include "ocisim/engine/Generator.h"
#include "ocisim/engine/Parser.h"
#include "ocisim/engine/TimeLine.h"

namespace ocisim {

const char* BundledScenarioText(const std::string& name);  // generated from ocisim/scenarios

namespace {

std::string Upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// One line of a scenario: the directive, its positional words and key=value options.
struct Line {
    int number = 0;
    std::string directive;
    std::vector<std::string> words;
    std::map<std::string, std::string> options;
    std::vector<std::string> flags;  // words without "=" after the positional ones
};

class Reader {
public:
    Reader(const std::string& text, std::string origin) : m_Origin(std::move(origin)) {
        std::string line;
        std::istringstream in(text);
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            m_Lines.push_back(line);
        }
    }

    [[noreturn]] void Fail(int line, const std::string& message) const {
        throw ScenarioError(m_Origin + ":" + std::to_string(line) + ": " + message);
    }
    [[noreturn]] void Fail(const std::string& message) const { throw ScenarioError(m_Origin + ": " + message); }

    bool NextLine(std::string& text, int& number) {
        if (m_Pos >= m_Lines.size()) return false;
        number = static_cast<int>(m_Pos) + 1;
        text = m_Lines[m_Pos++];
        return true;
    }

    // The lines of a text block up to a line holding a single ".".
    std::string Block(int start) {
        std::string text;
        bool first = true;
        for (;;) {
            if (m_Pos >= m_Lines.size()) Fail(start, "statement text not ended by a line with a single \".\"");
            std::string line = m_Lines[m_Pos++];
            if (line == ".") break;
            if (line == "..") line = ".";
            if (!first) text += '\n';
            text += line;
            first = false;
        }
        return text;
    }

    Line Split(const std::string& raw, int number) const {
        Line l;
        l.number = number;
        size_t i = 0;
        std::vector<std::string> tokens;
        while (i < raw.size()) {
            while (i < raw.size() && std::isspace(static_cast<unsigned char>(raw[i]))) ++i;
            if (i >= raw.size() || raw[i] == '#') break;
            std::string token;
            while (i < raw.size() && !std::isspace(static_cast<unsigned char>(raw[i]))) {
                if (raw[i] == '"') {
                    ++i;
                    bool closed = false;
                    while (i < raw.size()) {
                        char c = raw[i++];
                        if (c == '"') {
                            closed = true;
                            break;
                        }
                        if (c == '\\' && i < raw.size()) {
                            char e = raw[i++];
                            token += e == 'n' ? '\n' : e == 't' ? '\t' : e == 'r' ? '\r' : e;
                        } else {
                            token += c;
                        }
                    }
                    if (!closed) Fail(number, "missing closing double quote");
                } else {
                    token += raw[i++];
                }
            }
            tokens.push_back(token);
        }
        if (tokens.empty()) return l;
        l.directive = tokens[0];
        bool options = false;
        for (size_t t = 1; t < tokens.size(); ++t) {
            size_t eq = tokens[t].find('=');
            if (eq != std::string::npos && eq > 0) {
                options = true;
                std::string key = tokens[t].substr(0, eq);
                if (l.options.count(key)) Fail(number, "option " + key + " given twice");
                l.options[key] = tokens[t].substr(eq + 1);
            } else if (options) {
                l.flags.push_back(tokens[t]);
            } else {
                l.words.push_back(tokens[t]);
            }
        }
        return l;
    }

    const std::string& Origin() const { return m_Origin; }

private:
    std::string m_Origin;
    std::vector<std::string> m_Lines;
    size_t m_Pos = 0;
};

class Builder {
public:
    Builder(Reader& reader, long long statementCount, std::optional<std::int64_t> now)
        : m_R(reader), m_Count(statementCount), m_Now(now) {
        m_Db = std::make_unique<Database>();
        // A server in time starts from a fixed clock unless the scenario sets one.
        if (m_Now) m_Db->config.fixedClock = DefaultTimeOrigin();
    }

    std::unique_ptr<Database> Build() {
        std::string raw;
        int number;
        while (m_R.NextLine(raw, number)) {
            Line l = m_R.Split(raw, number);
            if (l.directive.empty()) continue;
            Directive(l);
        }
        // Every statement lives in memory: a count beyond what the simulator can
        // hold would grow it until the machine runs out.
        long long total = 0;
        for (const Pending& g : m_Generate) {
            total += m_Count >= 0 ? m_Count : g.count;
            if (total > kMaxGeneratedStatements)
                m_R.Fail(g.line, "generate: " + std::to_string(total) + " statements in all are more than the "
                                 "simulator holds (at most " + std::to_string(kMaxGeneratedStatements) + ")");
        }
        if (m_Generate.empty() && m_Count > kMaxGeneratedStatements)
            m_R.Fail("a statement count of " + std::to_string(m_Count) + " is more than the simulator holds (at most " +
                            std::to_string(kMaxGeneratedStatements) + ")");
        for (const Pending& g : m_Generate) {
            try {
                GenerateStatements(*m_Db, m_Templates, m_Count >= 0 ? m_Count : g.count, g.seed);
            } catch (const std::exception& e) {
                m_R.Fail(g.line, e.what());
            }
        }
        if (m_Generate.empty() && m_Count > 0 && !m_Templates.empty())
            GenerateStatements(*m_Db, m_Templates, m_Count, m_Db->config.seed);
        if (!m_Db->FindUser("SYS")) {
            UserInfo sys;
            sys.name = "SYS";
            sys.password = "CHANGE_ON_INSTALL";
            sys.sysdba = sys.sysoper = sys.dba = sys.catalog = sys.vdatabase = sys.alterSystem = true;
            sys.createProcedure = true;
            sys.created = m_Db->config.created;
            m_Db->users["SYS"] = sys;
        }
        if (m_Now) {
            try {
                MoveToTime(*m_Db, m_Time, m_Templates, *m_Now);
            } catch (const TimeLineError& e) {
                if (e.Line() > 0) m_R.Fail(e.Line(), e.what());
                m_R.Fail(e.what());
            }
        } else {
            SettleStartupTime(*m_Db);
        }
        return std::move(m_Db);
    }

private:
    struct Pending {
        int line;
        long long count;
        std::uint64_t seed;
    };

    [[noreturn]] void Fail(const Line& l, const std::string& message) { m_R.Fail(l.number, message); }

    long long Integer(const Line& l, const std::string& key, const std::string& text) {
        char* end = nullptr;
        long long v = std::strtoll(text.c_str(), &end, 10);
        if (text.empty() || *end) Fail(l, key + " must be a whole number, not \"" + text + "\"");
        return v;
    }
    double Number(const Line& l, const std::string& key, const std::string& text) {
        char* end = nullptr;
        double v = std::strtod(text.c_str(), &end);
        if (text.empty() || *end || v < 0) Fail(l, key + " must be a number of 0 or more, not \"" + text + "\"");
        return v;
    }
    Range RangeOf(const Line& l, const std::string& key, const std::string& text) {
        size_t dots = text.find("..");
        Range r;
        if (dots == std::string::npos) {
            r.low = r.high = Number(l, key, text);
        } else {
            r.low = Number(l, key, text.substr(0, dots));
            r.high = Number(l, key, text.substr(dots + 2));
            if (r.high < r.low) Fail(l, key + " range " + text + " runs backwards");
        }
        return r;
    }
    std::int64_t Timestamp(const Line& l, const std::string& text) {
        try {
            if (text.size() == 10) return ParseDate(text, "YYYY-MM-DD");
            return ParseDate(text, "YYYY-MM-DD/HH24:MI:SS");
        } catch (const OraException&) {
            Fail(l, "time \"" + text + "\" is not YYYY-MM-DD/HH24:MI:SS");
        }
    }
    void Words(const Line& l, size_t count, const char* usage) {
        if (l.words.size() != count) Fail(l, std::string("usage: ") + usage);
    }
    void Known(const Line& l, std::initializer_list<const char*> keys, std::initializer_list<const char*> flags = {}) {
        for (const auto& [key, value] : l.options) {
            bool ok = false;
            for (const char* k : keys) ok = ok || key == k;
            if (!ok) Fail(l, "unknown option " + key + " for " + l.directive);
        }
        for (const std::string& f : l.flags) {
            bool ok = false;
            for (const char* k : flags) ok = ok || f == k;
            if (!ok) Fail(l, "unknown word " + f + " for " + l.directive);
        }
    }
    bool HasFlag(const Line& l, const char* flag) {
        for (const std::string& f : l.flags)
            if (f == flag) return true;
        for (const std::string& w : l.words)
            if (w == flag) return true;
        return false;
    }
    void SplitName(const Line& l, const std::string& text, std::string& owner, std::string& name) {
        size_t dot = text.find('.');
        if (dot == std::string::npos || dot == 0 || dot + 1 == text.size()) Fail(l, "\"" + text + "\" is not OWNER.NAME");
        owner = Upper(text.substr(0, dot));
        name = Upper(text.substr(dot + 1));
    }
    const UserInfo& NeedUser(const Line& l, const std::string& name) {
        const UserInfo* u = m_Db->FindUser(Upper(name));
        if (!u) Fail(l, "unknown user " + name + " (declare it with a user line first)");
        return *u;
    }

    void Directive(Line& l) {
        Database& db = *m_Db;
        const std::string& d = l.directive;
        if (d == "database") {
            Words(l, 1, "database NAME");
            Known(l, {});
            db.config.database = Upper(l.words[0]);
            db.config.aliases.erase("DEMO");
            db.config.aliases.insert(db.config.database);
        } else if (d == "alias") {
            if (l.words.empty()) Fail(l, "usage: alias NAME [NAME ...]");
            for (const std::string& a : l.words) db.config.aliases.insert(Upper(a));
        } else if (d == "word-size") {
            Words(l, 1, "word-size 32|64");
            if (l.words[0] != "32" && l.words[0] != "64") Fail(l, "word-size must be 32 or 64");
            db.config.wordSize = l.words[0] == "32" ? 32 : 64;
        } else if (d == "banner") {
            std::string text = l.options.count("text") ? l.options["text"] : "";
            if (text.empty()) Fail(l, "usage: banner text=\"...\"");
            if (!m_BannerSeen) db.config.banners.clear();
            m_BannerSeen = true;
            db.config.banners.push_back(text);
        } else if (d == "release") {
            Words(l, 1, "release 8i|19c");
            Known(l, {});
            const std::string r = Upper(l.words[0]);
            if (r != "8I" && r != "19C") Fail(l, "release must be 8i or 19c");
            db.config.oldRelease = r == "8I";
            if (!m_BannerSeen) {
                db.config.banners = db.config.oldRelease
                                        ? std::vector<std::string>{"Oracle8i Enterprise Edition Release 8.1.7.4.0 - Production",
                                                                   "PL/SQL Release 8.1.7.4.0 - Production",
                                                                   "CORE\t8.1.7.0.0\tProduction",
                                                                   "TNS for Linux: Version 8.1.7.4.0 - Production",
                                                                   "NLSRTL Version 3.4.1.0.0 - Production"}
                                        : ServerConfig().banners;
            }
        } else if (d == "optimizer-mode") {
            Words(l, 1, "optimizer-mode CHOOSE|RULE|ALL_ROWS|FIRST_ROWS");
            std::string m = Upper(l.words[0]);
            if (m != "CHOOSE" && m != "RULE" && m != "ALL_ROWS" && m != "FIRST_ROWS") Fail(l, "unknown optimizer mode " + m);
            db.config.optimizerMode = m;
        } else if (d == "clock") {
            Words(l, 1, "clock YYYY-MM-DD/HH24:MI:SS");
            db.config.fixedClock = Timestamp(l, l.words[0]);
        } else if (d == "seed") {
            Words(l, 1, "seed NUMBER");
            db.config.seed = static_cast<std::uint64_t>(Integer(l, "seed", l.words[0]));
            db.random.seed(db.config.seed);
            db.pool = SharedPool(db.config.seed);
        } else if (d == "user") {
            User(l);
        } else if (d == "table") {
            Table(l);
        } else if (d == "index") {
            Index(l);
        } else if (d == "synonym") {
            Words(l, 3, "synonym OWNER.NAME for OWNER.NAME (PUBLIC.NAME for a public synonym)");
            if (l.words[1] != "for") Fail(l, "usage: synonym OWNER.NAME for OWNER.NAME");
            SynonymInfo s;
            SplitName(l, l.words[0], s.owner, s.name);
            SplitName(l, l.words[2], s.targetOwner, s.targetName);
            db.synonyms[Database::Key(s.owner, s.name)] = s;
        } else if (d == "grant") {
            Words(l, 3, "grant OWNER.TABLE to USER[,USER...]");
            if (l.words[1] != "to") Fail(l, "usage: grant OWNER.TABLE to USER[,USER...]");
            std::string owner, name;
            SplitName(l, l.words[0], owner, name);
            if (!db.FindTable(owner, name)) Fail(l, "unknown table " + l.words[0]);
            std::stringstream list(l.words[2]);
            std::string grantee;
            while (std::getline(list, grantee, ',')) {
                grantee = Upper(grantee);
                if (grantee != "PUBLIC") NeedUser(l, grantee);
                db.grants[Database::Key(owner, name)].insert(grantee);
            }
        } else if (d == "row") {
            RowLine(l);
        } else if (d == "statement") {
            StatementLine(l);
        } else if (d == "template") {
            TemplateLine(l);
        } else if (d == "generate") {
            Known(l, {"count", "seed"});
            if (!l.options.count("count")) Fail(l, "usage: generate count=N [seed=N]");
            long long count = Integer(l, "count", l.options["count"]);
            if (count < 0) Fail(l, "count must not be negative");
            std::uint64_t seed = l.options.count("seed") ? static_cast<std::uint64_t>(Integer(l, "seed", l.options["seed"]))
                                                         : db.config.seed;
            m_Generate.push_back({l.number, count, seed});
        } else if (d == "workload") {
            Known(l, {"new", "touched", "removed", "at", "every"});
            if (l.options.count("at")) {
                const std::string& at = l.options["at"];
                if (at != "query" && at != "sleep" && at != "time")
                    Fail(l, "at must be query, sleep or time, not \"" + at + "\"");
                if (at == "time") {
                    TimeWorkload(l);
                    return;
                }
                db.workload.atSleep = at == "sleep";
            }
            if (l.options.count("every")) Fail(l, "every= belongs to a workload at=time");
            if (l.options.count("new")) db.workload.newStatements = static_cast<int>(Integer(l, "new", l.options["new"]));
            if (l.options.count("touched")) db.workload.touched = static_cast<int>(Integer(l, "touched", l.options["touched"]));
            if (l.options.count("removed")) db.workload.removed = static_cast<int>(Integer(l, "removed", l.options["removed"]));
        } else if (d == "run" || d == "age-out") {
            RunLine(l, d == "age-out");
        } else if (d == "fault") {
            FaultLine(l);
        } else if (d == "at") {
            try {
                m_Time.AddEvent(l.number, l.words, l.options, l.flags, db);
            } catch (const TimeLineError& e) {
                Fail(l, e.what());
            }
        } else {
            Fail(l, "unknown directive \"" + d + "\"");
        }
    }

    void User(Line& l) {
        Words(l, 1, "user NAME password=PW id=N [privileges=LIST] [plan-table] [locked] [dropped]");
        Known(l, {"password", "id", "privileges", "created"}, {"plan-table", "locked", "dropped"});
        UserInfo u;
        u.name = Upper(l.words[0]);
        if (!l.options.count("password") || !l.options.count("id")) Fail(l, "a user needs password= and id=");
        u.password = l.options["password"];
        u.id = static_cast<int>(Integer(l, "id", l.options["id"]));
        for (const auto& [name, other] : m_Db->users)
            if (other.id == u.id) Fail(l, "user id " + std::to_string(u.id) + " is already used by " + name);
        if (m_Db->users.count(u.name)) Fail(l, "user " + u.name + " is declared twice");
        u.created = l.options.count("created") ? Timestamp(l, l.options["created"]) : m_Db->config.created;
        if (l.options.count("privileges")) {
            std::stringstream list(l.options["privileges"]);
            std::string p;
            while (std::getline(list, p, ',')) {
                if (p == "sysdba") u.sysdba = true;
                else if (p == "sysoper") u.sysoper = true;
                else if (p == "dba") u.dba = u.catalog = u.vdatabase = u.alterSystem = u.createProcedure = true;
                else if (p == "catalog") u.catalog = true;
                else if (p == "v-database") u.vdatabase = true;
                else if (p == "alter-system") u.alterSystem = true;
                else if (p == "create-procedure") u.createProcedure = true;
                else if (p == "no-create-session") u.createSession = false;
                else if (!p.empty()) Fail(l, "unknown privilege " + p);
            }
        }
        u.locked = HasFlag(l, "locked");
        u.planTable = HasFlag(l, "plan-table");
        u.dropped = HasFlag(l, "dropped");
        if (u.dropped && u.planTable) Fail(l, "a dropped user has no plan table");
        m_Db->users[u.name] = u;
        if (u.planTable) m_Db->CreatePlanTable(u.name).created = u.created;
    }

    void Table(Line& l) {
        Words(l, 1, "table OWNER.NAME columns=\"COL TYPE, ...\" [rows=N] [blocks=N] [row-length=N] [analyzed]");
        Known(l, {"columns", "rows", "blocks", "row-length"}, {"analyzed"});
        std::string owner, name;
        SplitName(l, l.words[0], owner, name);
        NeedUser(l, owner);
        if (!l.options.count("columns")) Fail(l, "a table needs columns=\"NAME TYPE, ...\"");
        std::vector<ColumnDesc> cols;
        try {
            Parser p("CREATE TABLE x (" + l.options["columns"] + ")");
            auto st = p.ParseStatement();
            for (const ColumnDef& c : st->columnDefs) cols.push_back(c.desc);
        } catch (const OraException& e) {
            Fail(l, "columns: " + e.error.message);
        }
        if (m_Db->FindTable(owner, name)) Fail(l, "table " + owner + "." + name + " is declared twice");
        TableInfo& t = m_Db->CreateTable(owner, name, cols);
        t.created = m_Db->config.created;
        if (l.options.count("rows")) t.numRows = Integer(l, "rows", l.options["rows"]);
        if (l.options.count("blocks")) t.blocks = Integer(l, "blocks", l.options["blocks"]);
        if (l.options.count("row-length")) t.avgRowLen = static_cast<int>(Integer(l, "row-length", l.options["row-length"]));
        t.analyzed = HasFlag(l, "analyzed");
    }

    void Index(Line& l) {
        // index OWNER.NAME on OWNER.TABLE(COL,COL) [unique]
        Known(l, {}, {"unique"});
        if (l.words.size() < 3 || l.words[1] != "on") Fail(l, "usage: index OWNER.NAME on OWNER.TABLE(COL,...) [unique]");
        std::string spec;
        for (size_t i = 2; i < l.words.size(); ++i)
            if (l.words[i] != "unique") spec += l.words[i];
        size_t open = spec.find('('), close = spec.rfind(')');
        if (open == std::string::npos || close == std::string::npos || close < open) Fail(l, "index columns must be in parentheses");
        IndexInfo idx;
        SplitName(l, l.words[0], idx.owner, idx.name);
        SplitName(l, spec.substr(0, open), idx.tableOwner, idx.table);
        TableInfo* t = m_Db->FindTable(idx.tableOwner, idx.table);
        if (!t) Fail(l, "unknown table " + spec.substr(0, open));
        std::stringstream list(spec.substr(open + 1, close - open - 1));
        std::string col;
        while (std::getline(list, col, ',')) {
            col = Upper(col);
            if (t->data->ColumnIndex(col) < 0) Fail(l, "table " + idx.table + " has no column " + col);
            idx.columns.push_back(col);
        }
        if (idx.columns.empty()) Fail(l, "an index needs at least one column");
        idx.unique = HasFlag(l, "unique");
        idx.objectId = m_Db->nextObjectId++;
        idx.created = m_Db->config.created;
        m_Db->indexes[Database::Key(idx.owner, idx.name)] = idx;
    }

    void RowLine(Line& l) {
        // row OWNER.TABLE values="1, 'KING', NULL"
        Words(l, 1, "row OWNER.TABLE values=\"SQL literals, ...\"");
        Known(l, {"values"});
        std::string owner, name;
        SplitName(l, l.words[0], owner, name);
        TableInfo* t = m_Db->FindTable(owner, name);
        if (!t) Fail(l, "unknown table " + l.words[0]);
        try {
            Parser p("INSERT INTO x VALUES (" + l.options["values"] + ")");
            auto st = p.ParseStatement();
            if (st->values.size() != t->data->Columns().size())
                Fail(l, "row has " + std::to_string(st->values.size()) + " values, the table " +
                            std::to_string(t->data->Columns().size()) + " columns");
            EvalEnv env;
            env.sysdate = m_Db->Now();
            Evaluator ev(env);
            Row row;
            for (ExprPtr& e : st->values) {
                ev.BindExpression(*e);
                row.push_back(ev.EvaluateExpression(*e));
            }
            t->data->MutableRows().push_back(row);
            if (!t->analyzed || t->numRows == 0) t->numRows = static_cast<std::int64_t>(t->data->RowCount());
        } catch (const OraException& e) {
            Fail(l, "values: " + e.error.message);
        }
    }

    void RunLine(Line& l, bool ageOut) {
        if (ageOut) {
            Known(l, {"match"});
        } else {
            Known(l, {"match", "executions", "buffer-gets", "disk-reads", "rows", "sorts", "parse-calls", "freed-memory",
                      "freed-versions"});
        }
        if (!l.options.count("match") || l.options["match"].empty())
            Fail(l, std::string("usage: ") + (ageOut ? "age-out" : "run") + " match=\"LIKE pattern\" ...");
        WorkloadRun run;
        run.match = l.options["match"];
        run.ageOut = ageOut;
        auto num = [&](const char* key) {
            if (!l.options.count(key)) return 0.0;
            const double value = Number(l, key, l.options[key]);
            if (value < 0) Fail(l, std::string(key) + " must not be negative (counters only grow)");
            return value;
        };
        run.executions = num("executions");
        run.bufferGets = num("buffer-gets");
        run.diskReads = num("disk-reads");
        run.rowsProcessed = num("rows");
        run.sorts = num("sorts");
        run.parseCalls = num("parse-calls");
        run.freedMemory = num("freed-memory");
        run.freedVersions = num("freed-versions");
        m_Db->workloadRuns.push_back(run);
    }

    void StatementLine(Line& l) {
        Known(l, {"user", "command", "executions", "disk-reads", "buffer-gets", "sorts", "rows", "parse-calls",
                  "sharable-mem", "persistent-mem", "runtime-mem", "loads", "optimizer", "first-load", "address",
                  "text", "module", "last-active"},
              {"after-sleep"});
        PoolEntry e;
        std::string text = l.options.count("text") ? l.options["text"] : m_R.Block(l.number);
        if (text.empty()) Fail(l, "a statement needs a text");
        e.text = std::make_shared<const std::string>(text);
        const UserInfo& u = NeedUser(l, l.options.count("user") ? l.options["user"] : "SYS");
        e.parsingUserId = e.parsingSchemaId = u.id;
        e.commandType = l.options.count("command") ? static_cast<int>(Integer(l, "command", l.options["command"])) : 3;
        auto num = [&](const char* key, double fallback) {
            return l.options.count(key) ? Number(l, key, l.options[key]) : fallback;
        };
        e.executions = num("executions", 1);
        e.diskReads = num("disk-reads", 0);
        e.bufferGets = num("buffer-gets", 0);
        e.sorts = num("sorts", 0);
        e.rowsProcessed = num("rows", 0);
        e.parseCalls = num("parse-calls", 1);
        e.sharableMem = num("sharable-mem", 4000 + static_cast<double>(text.size()) * 6);
        e.persistentMem = num("persistent-mem", 1200);
        e.runtimeMem = num("runtime-mem", 900);
        e.loads = num("loads", 1);
        e.fetches = e.commandType == 3 ? e.executions : 0;
        e.optimizerMode = l.options.count("optimizer") ? Upper(l.options["optimizer"]) : m_Db->config.optimizerMode;
        e.firstLoadTime = l.options.count("first-load") ? Timestamp(l, l.options["first-load"]) : m_Db->Now() - 3600;
        e.lastActiveTime = l.options.count("last-active") ? Timestamp(l, l.options["last-active"]) : 0;
        if (l.options.count("module")) e.module = l.options["module"];
        if (l.options.count("address")) {
            const std::string& a = l.options["address"];
            char* end = nullptr;
            e.address = std::strtoull(a.c_str(), &end, 16);
            if (a.empty() || *end || e.address == 0) Fail(l, "address must be hexadecimal digits, not \"" + a + "\"");
        }
        if (m_Db->pool.Find(text)) Fail(l, "the same statement text is listed twice");
        if (HasFlag(l, "after-sleep")) {
            m_Db->enterAtSleep.push_back(std::move(e));
            return;
        }
        m_Db->pool.Add(std::move(e));
    }

    void TemplateLine(Line& l) {
        Known(l, {"text", "weight", "users", "command", "optimizer", "executions", "disk-reads", "buffer-gets", "rows",
                  "sorts", "count"});
        StatementTemplate t;
        if (!l.options.count("text") || l.options["text"].empty()) Fail(l, "a template needs text=\"...\"");
        t.text = l.options["text"];
        if (l.options.count("weight")) t.weight = static_cast<int>(Integer(l, "weight", l.options["weight"]));
        if (l.options.count("count")) {
            t.count = Integer(l, "count", l.options["count"]);
            if (t.count < 1) Fail(l, "count must be at least 1");
            if (l.options.count("weight")) Fail(l, "a template has either weight= or count=");
        }
        if (l.options.count("users")) {
            std::stringstream list(l.options["users"]);
            std::string name;
            while (std::getline(list, name, ',')) t.users.push_back(NeedUser(l, name).name);
        }
        if (l.options.count("command")) t.commandType = static_cast<int>(Integer(l, "command", l.options["command"]));
        if (l.options.count("optimizer")) t.optimizerMode = Upper(l.options["optimizer"]);
        if (l.options.count("executions")) t.executions = RangeOf(l, "executions", l.options["executions"]);
        if (l.options.count("disk-reads")) t.diskReadsPerExec = RangeOf(l, "disk-reads", l.options["disk-reads"]);
        if (l.options.count("buffer-gets")) t.bufferGetsPerExec = RangeOf(l, "buffer-gets", l.options["buffer-gets"]);
        if (l.options.count("rows")) t.rowsPerExec = RangeOf(l, "rows", l.options["rows"]);
        if (l.options.count("sorts")) t.sortsPerExec = RangeOf(l, "sorts", l.options["sorts"]);
        m_Templates.push_back(t);
    }

    // The workload of a server in time: every `every` (default an hour) `new`
    // statements arrive from the templates and `removed` ones age out.
    void TimeWorkload(Line& l) {
        if (l.options.count("touched"))
            Fail(l, "touched= has no meaning at=time: every statement runs at its own rate");
        auto count = [&](const char* key) {
            const long long n = l.options.count(key) ? Integer(l, key, l.options[key]) : 0;
            if (n < 0 || n > 100000) Fail(l, std::string(key) + " must be from 0 to 100000");
            return static_cast<int>(n);
        };
        m_Time.newPerStep = count("new");
        m_Time.removedPerStep = count("removed");
        m_Time.workloadLine = l.number;
        if (l.options.count("every")) {
            const std::optional<std::int64_t> every = ParseDuration(l.options["every"]);
            if (!every || *every < 60) Fail(l, "every must be a span of a minute or more, such as 1h or 30m");
            m_Time.every = *every;
        }
    }

    void FaultLine(Line& l) {
        Words(l, 1, "fault logon|attach|execute|fetch|commit error=N [after=N] [times=N] [user=NAME] [match=PATTERN] [message=TEXT] [fatal]");
        Known(l, {"error", "after", "times", "user", "match", "message"}, {"fatal"});
        Fault f;
        f.step = l.words[0];
        if (f.step != "logon" && f.step != "attach" && f.step != "execute" && f.step != "fetch" && f.step != "commit")
            Fail(l, "unknown fault step " + f.step + " (logon, attach, execute, fetch or commit)");
        if (!l.options.count("error")) Fail(l, "a fault needs error=N (the Oracle error number)");
        f.code = static_cast<int>(Integer(l, "error", l.options["error"]));
        if (f.code <= 0) Fail(l, "error must be a positive Oracle error number");
        if (l.options.count("after")) f.after = Integer(l, "after", l.options["after"]);
        if (l.options.count("times")) f.times = Integer(l, "times", l.options["times"]);
        if (l.options.count("user")) f.user = Upper(l.options["user"]);
        if (l.options.count("match")) f.match = l.options["match"];
        if (l.options.count("message")) f.message = l.options["message"];
        f.fatal = HasFlag(l, "fatal") || f.code == 3113;
        m_Db->faults.push_back(f);
    }

    Reader& m_R;
    long long m_Count;
    std::unique_ptr<Database> m_Db;
    std::vector<StatementTemplate> m_Templates;
    std::vector<Pending> m_Generate;
    bool m_BannerSeen = false;
    std::optional<std::int64_t> m_Now;
    TimeLineSpec m_Time;
};

}  // namespace

const char* BundledScenario(const std::string& name) { return BundledScenarioText(name); }

std::unique_ptr<Database> LoadScenarioText(const std::string& text, const std::string& origin, long long statementCount,
                                           std::optional<std::int64_t> now) {
    Reader reader(text, origin);
    Builder builder(reader, statementCount, now);
    return builder.Build();
}

std::unique_ptr<Database> LoadScenario(const std::string& nameIn, std::optional<std::int64_t> now) {
    std::string name = nameIn.empty() ? "demo" : nameIn;
    std::string base = name;
    long long count = -1;
    size_t colon = name.rfind(':');
    if (colon != std::string::npos && colon + 1 < name.size() &&
        name.find_first_not_of("0123456789", colon + 1) == std::string::npos) {
        base = name.substr(0, colon);
        count = std::strtoll(name.c_str() + colon + 1, nullptr, 10);
    }
    if (base == "bench") {
        if (count < 0) count = 100000;
        base = "demo";
    }
    if (const char* bundled = BundledScenario(base)) return LoadScenarioText(bundled, "scenario " + base, count, now);
    // A file is read under its own name; FILE:N sets the counts of its generate lines.
    std::ifstream in(name, std::ios::binary);
    if (!in && count >= 0) {
        in.open(base, std::ios::binary);
        name = base;
    } else {
        count = -1;
    }
    if (!in) throw ScenarioError("scenario \"" + name + "\": no bundled scenario of that name and no such file");
    std::stringstream buffer;
    buffer << in.rdbuf();
    return LoadScenarioText(buffer.str(), name, count, now);
}

}  // namespace ocisim
