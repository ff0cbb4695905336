#include "ocisim/engine/PlSql.h"

#include <cmath>
#include <set>

#include "ocisim/engine/Database.h"
#include "ocisim/engine/Errors.h"
#include "ocisim/engine/Evaluator.h"
#include "ocisim/engine/Parser.h"

namespace ocisim {

namespace {

// A PL/SQL compilation error at an offset of the source.
struct PlError {
    size_t pos;
    std::string message;
};

std::string Upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// DBMS_LOCK.SLEEP and DBMS_SESSION.SLEEP, the two ways a session waits.
bool IsSleep(const std::vector<std::string>& names) {
    return names.size() == 2 && (names[0] == "DBMS_LOCK" || names[0] == "DBMS_SESSION") && names[1] == "SLEEP";
}

bool KnownType(const std::string& t) {
    static const std::set<std::string> types = {"VARCHAR2", "VARCHAR", "CHAR",    "NUMBER",      "INTEGER",
                                                "PLS_INTEGER", "BINARY_INTEGER", "DATE", "BOOLEAN", "LONG",
                                                "NATURAL", "POSITIVE", "CLOB", "FLOAT", "INT"};
    return types.count(t) != 0;
}

bool NumericType(const std::string& t) {
    return t == "NUMBER" || t == "INTEGER" || t == "PLS_INTEGER" || t == "BINARY_INTEGER" || t == "NATURAL" ||
           t == "POSITIVE" || t == "FLOAT" || t == "INT";
}

class PlParser {
public:
    explicit PlParser(const std::string& text) : m_P(text) {}

    [[noreturn]] void Fail(const char* expecting) {
        const Token& t = m_P.Peek();
        std::string symbol = t.type == TokenType::End ? "end-of-file" : t.type == TokenType::String ? "'" + t.text + "'" : t.text;
        throw PlError{t.pos, "PLS-00103: Encountered the symbol \"" + symbol +
                                 "\" when expecting one of the following:\n\n   " + expecting};
    }
    void Expect(const char* word, const char* expecting) {
        if (!m_P.AcceptWord(word)) Fail(expecting);
    }
    void ExpectOp(const char* op, const char* expecting) {
        if (!m_P.AcceptOp(op)) Fail(expecting);
    }
    std::string Name(const char* expecting) {
        const Token& t = m_P.Peek();
        if (!t.IsName() || (t.type == TokenType::Ident && IsKeyword(t.text))) Fail(expecting);
        return m_P.Take().text;
    }
    static bool IsKeyword(const std::string& w) {
        static const std::set<std::string> words = {"BEGIN", "END", "IS", "AS", "IF", "THEN", "ELSE", "ELSIF",
                                                    "LOOP", "FOR", "IN", "OUT", "CURSOR", "EXCEPTION", "WHEN",
                                                    "DECLARE", "NULL", "COMMIT", "ROLLBACK", "SELECT"};
        return words.count(w) != 0;
    }

    // An expression, kept as its source text.
    std::string ExprText(bool condition) {
        size_t start = m_P.Peek().pos;
        try {
            if (condition)
                m_P.ParseExpr();
            else
                m_P.ParseExpr();
        } catch (const OraException& error) {
            if (error.error.code == 3095 || error.error.code == 1778) {
                throw PlError{start, "PLS-00102: parser stack overflow because nesting is too deep"};
            }
            Fail("( - + case mod new not null <an identifier> <a double-quoted delimited-identifier> <a bind "
                 "variable> <a number> <a single-quoted SQL string>");
        }
        return m_P.Text().substr(start, m_P.LastEnd() - start);
    }

    std::string Type() {
        std::string t = Name("<an identifier>");
        if (m_P.AcceptOp(".")) {
            Name("<an identifier>");
            t = "%TYPE";
        }
        if (m_P.AcceptOp("%")) {
            Expect("TYPE", "TYPE ROWTYPE");
            return "VARCHAR2";
        }
        if (m_P.AcceptOp("(")) {
            if (m_P.Peek().type != TokenType::Number) Fail("<an integer>");
            m_P.Take();
            if (m_P.AcceptOp(",")) {
                if (m_P.Peek().type != TokenType::Number) Fail("<an integer>");
                m_P.Take();
            }
            ExpectOp(")", ") ,");
        }
        return t;
    }

    std::vector<PlParam> Params() {
        std::vector<PlParam> params;
        if (!m_P.AcceptOp("(")) return params;
        do {
            PlParam p;
            p.name = Name("<an identifier>");
            if (m_P.AcceptWord("IN")) {
                p.in = true;
                if (m_P.AcceptWord("OUT")) p.out = true;
            } else if (m_P.AcceptWord("OUT")) {
                p.in = false;
                p.out = true;
            }
            m_P.AcceptWord("NOCOPY");
            p.type = Type();
            if (m_P.AcceptOp(":=") || m_P.AcceptWord("DEFAULT")) ExprText(false);
            for (const PlParam& other : params)
                if (other.name == p.name) throw PlError{m_P.Peek().pos, "PLS-00410: duplicate fields in RECORD,TABLE or argument list are not permitted"};
            params.push_back(p);
        } while (m_P.AcceptOp(","));
        ExpectOp(")", ") , default varying character large");
        return params;
    }

    void Declarations(PlSqlUnit& unit) {
        while (!m_P.Peek().IsWord("BEGIN")) {
            if (m_P.AtEnd()) Fail("begin function pragma procedure subtype type <an identifier>");
            if (m_P.AcceptWord("CURSOR")) {
                PlCursor c;
                c.name = Name("<an identifier>");
                c.params = Params();
                if (!m_P.AcceptWord("IS")) Expect("AS", "is return");
                size_t start = m_P.Peek().pos;
                std::unique_ptr<Select> q;
                try {
                    q = m_P.ParseQuery();
                } catch (const OraException& e) {
                    throw PlError{start, "PL/SQL: " + e.error.message};
                }
                c.sql = m_P.Text().substr(start, m_P.LastEnd() - start);
                for (const SelectItem& item : q->items) c.fields.push_back(item.alias);
                ExpectOp(";", ";");
                unit.cursors.push_back(c);
                continue;
            }
            PlVar v;
            v.pos = m_P.Peek().pos;
            v.name = Name("begin function pragma procedure subtype type <an identifier>");
            m_P.AcceptWord("CONSTANT");
            v.type = Type();
            if (m_P.AcceptWord("NOT")) Expect("NULL", "null");
            if (m_P.AcceptOp(":=") || m_P.AcceptWord("DEFAULT")) v.initText = ExprText(false);
            ExpectOp(";", "; := . ( @ % not null range default character");
            unit.vars.push_back(v);
        }
    }

    // Blocks, IF and LOOP nest through here: beyond kMaxNesting levels Oracle's
    // PLS-00102 ("parser stack overflow because nesting is too deep"), not a crash.
    static constexpr int kMaxNesting = 255;
    std::vector<PlStmt> Statements(std::initializer_list<const char*> enders) {
        if (m_Nesting >= kMaxNesting) {
            throw PlError{m_P.Peek().pos, "PLS-00102: parser stack overflow because nesting is too deep"};
        }
        ++m_Nesting;
        struct SLeave {
            int& nesting;
            ~SLeave() { --nesting; }
        } leave{m_Nesting};
        std::vector<PlStmt> out;
        for (;;) {
            for (const char* e : enders)
                if (m_P.Peek().IsWord(e)) {
                    if (out.empty()) Fail("begin case declare exit for goto if loop mod null pragma raise return select update while with <an identifier>");
                    return out;
                }
            if (m_P.AtEnd()) Fail("begin case declare end exception exit for goto if loop mod null pragma raise return select update while with");
            out.push_back(Statement());
        }
    }

    PlStmt Statement() {
        PlStmt s;
        s.pos = m_P.Peek().pos;
        if (m_P.AcceptWord("NULL")) {
            s.kind = PlStmt::Kind::Null;
        } else if (m_P.AcceptWord("COMMIT")) {
            m_P.AcceptWord("WORK");
            s.kind = PlStmt::Kind::Commit;
        } else if (m_P.AcceptWord("ROLLBACK")) {
            m_P.AcceptWord("WORK");
            s.kind = PlStmt::Kind::Rollback;
        } else if (m_P.AcceptWord("IF")) {
            s.kind = PlStmt::Kind::If;
            s.conditionTexts.push_back(ExprText(true));
            Expect("THEN", "then and or");
            s.branches.push_back(Statements({"ELSIF", "ELSE", "END"}));
            for (;;) {
                if (m_P.AcceptWord("ELSIF")) {
                    s.conditionTexts.push_back(ExprText(true));
                    Expect("THEN", "then and or");
                    s.branches.push_back(Statements({"ELSIF", "ELSE", "END"}));
                } else if (m_P.AcceptWord("ELSE")) {
                    s.branches.push_back(Statements({"END"}));
                } else {
                    break;
                }
            }
            Expect("END", "end");
            Expect("IF", "if");
        } else if (m_P.AcceptWord("FOR")) {
            s.kind = PlStmt::Kind::ForCursor;
            s.loopVar = Name("<an identifier>");
            Expect("IN", "in");
            s.cursor = Name("<an identifier>");
            if (m_P.AcceptOp("(")) {
                do s.argTexts.push_back(ExprText(false));
                while (m_P.AcceptOp(","));
                ExpectOp(")", ") ,");
            }
            Expect("LOOP", "loop");
            s.body = Statements({"END"});
            Expect("END", "end");
            Expect("LOOP", "loop");
        } else if (m_P.Peek().type == TokenType::Bind) {
            s.kind = PlStmt::Kind::Assign;
            s.targetIsBind = true;
            s.target.push_back(m_P.Take().text);
            ExpectOp(":=", ":=");
            s.exprText = ExprText(false);
        } else {
            s.target.push_back(Name("begin case declare end exception exit for goto if loop mod null pragma raise return select update while with <an identifier>"));
            while (m_P.AcceptOp(".")) s.target.push_back(Name("<an identifier>"));
            if (m_P.AcceptOp(":=")) {
                s.kind = PlStmt::Kind::Assign;
                s.exprText = ExprText(false);
            } else {
                s.kind = PlStmt::Kind::Call;
                if (m_P.AcceptOp("(")) {
                    if (!m_P.AcceptOp(")")) {
                        do s.argTexts.push_back(ExprText(false));
                        while (m_P.AcceptOp(","));
                        ExpectOp(")", ") , * & = - + < / > at in is mod remainder not rem");
                    }
                }
            }
        }
        ExpectOp(";", "; * & = - + < / > at in is mod remainder not rem <an exponent (**)> <> or != or ~= >= <= <> and or like");
        return s;
    }

    void Body(PlSqlUnit& unit) {
        Expect("BEGIN", "begin");
        unit.body = Statements({"EXCEPTION", "END"});
        if (m_P.AcceptWord("EXCEPTION")) {
            if (!m_P.Peek().IsWord("WHEN")) Fail("pragma when");
            while (m_P.AcceptWord("WHEN")) {
                bool others = false;
                do {
                    std::string h = Name("others <an identifier>");
                    if (h == "OTHERS") others = true;
                } while (m_P.AcceptWord("OR"));
                Expect("THEN", "then or");
                std::vector<PlStmt> handler = Statements({"WHEN", "END"});
                if (others) {
                    unit.hasHandler = true;
                    unit.handler = std::move(handler);
                }
            }
        }
        Expect("END", "end");
        if (!unit.name.empty() && m_P.Peek().IsName()) {
            std::string endName = m_P.Take().text;
            if (endName != unit.name)
                throw PlError{m_P.Peek().pos, "PLS-00113: END identifier '" + endName +
                                                   "' must match '" + unit.name + "' at line 1, column 1"};
        }
        ExpectOp(";", ";");
        m_P.AcceptOp("/");
        if (!m_P.AtEnd()) Fail("end-of-file");
    }

    std::shared_ptr<PlSqlUnit> Procedure() {
        auto unit = std::make_shared<PlSqlUnit>();
        unit->source = m_P.Text();
        Expect("CREATE", "create");
        if (m_P.AcceptWord("OR")) Expect("REPLACE", "replace");
        if (!m_P.Peek().IsWord("PROCEDURE")) throw PlError{m_P.Peek().pos, "PLS-00103: only procedures are supported"};
        m_P.Take();
        unit->name = Name("<an identifier>");
        if (m_P.AcceptOp(".")) {
            unit->owner = unit->name;
            unit->name = Name("<an identifier>");
        }
        unit->params = Params();
        if (!m_P.AcceptWord("IS")) Expect("AS", "( ; is with authid as cluster compress order using compiled wrapped external deterministic parallel_enable pipelined result_cache accessible");
        Declarations(*unit);
        Body(*unit);
        return unit;
    }

    std::shared_ptr<PlSqlUnit> Block() {
        auto unit = std::make_shared<PlSqlUnit>();
        unit->source = m_P.Text();
        if (m_P.AcceptWord("DECLARE")) Declarations(*unit);
        Body(*unit);
        return unit;
    }

private:
    Parser m_P;
    int m_Nesting = 0;
};

// ---------------------------------------------------------------- runtime

struct Signal {
    OraError error;
};

class Frame : public VariableScope {
public:
    Frame(const PlSqlUnit& unit, PlSqlHost& host, std::vector<Bind>* binds) : m_Unit(unit), m_Host(host), m_Binds(binds) {}

    Value* Lookup(const std::vector<std::string>& names) override {
        if (names.size() == 1) {
            auto it = m_Vars.find(names[0]);
            if (it != m_Vars.end()) return &it->second;
            if (names[0] == "SQLERRM") return &m_SqlErrm;
            if (names[0] == "SQLCODE") return &m_SqlCode;
            return nullptr;
        }
        if (names.size() == 2) {
            auto rec = m_Records.find(names[0]);
            if (rec != m_Records.end()) {
                auto f = rec->second.find(names[1]);
                if (f != rec->second.end()) return &f->second;
                return nullptr;
            }
            if (names[0] == "DBMS_SQL" && names[1] == "NATIVE") return &m_Native;
            if (names[0] == "DBMS_SQL" && names[1] == "V7") return &m_V7;
        }
        return nullptr;
    }

    bool HasFunction(const std::vector<std::string>& names, size_t argCount) override {
        if (names.size() != 2 || names[0] != "DBMS_SQL") return false;
        const std::string& f = names[1];
        return (f == "OPEN_CURSOR" && argCount == 0) || (f == "EXECUTE" && argCount == 1) ||
               (f == "IS_OPEN" && argCount == 1) || (f == "LAST_ROW_COUNT" && argCount == 0);
    }

    Value CallFunction(const std::vector<std::string>& names, const std::vector<Value>& args) override {
        if (m_CheckOnly) return Value::Num(1);
        const std::string& f = names[1];
        if (f == "OPEN_CURSOR") {
            int id = m_NextCursor++;
            m_Cursors[id] = DynCursor{};
            return Value::Num(id);
        }
        if (f == "LAST_ROW_COUNT") return Value::Num(static_cast<double>(m_LastRowCount));
        DynCursor* c = FindCursor(args[0], f != "IS_OPEN");
        if (f == "IS_OPEN") return Value::Num(c ? 1 : 0);
        // EXECUTE
        if (c->sql.empty()) Raise(1003);
        if (c->executedAtParse) return Value::Num(0);
        ExecResult r = m_Host.RunSql(c->sql, c->binds, nullptr);
        if (r.error.IsError()) throw OraException(r.error);
        m_LastRowCount = r.rowsProcessed;
        return Value::Num(static_cast<double>(r.rowsProcessed));
    }

    void Declare(bool checkOnly) {
        m_CheckOnly = checkOnly;
        for (const PlParam& p : m_Unit.params) {
            m_Vars[p.name] = Value::Null();
            m_Types[p.name] = p.type;
        }
        for (const PlVar& v : m_Unit.vars) {
            if (!KnownType(v.type) && v.type != "%TYPE") throw PlError{v.pos, "PLS-00201: identifier '" + v.type + "' must be declared"};
            m_Vars[v.name] = Value::Null();
            m_Types[v.name] = v.type;
            if (!v.initText.empty()) {
                Value init = Eval(v.initText, v.pos);
                Assign(m_Vars[v.name], v.name, init);
            }
        }
    }

    void SetParam(const std::string& name, const Value& v) { Assign(m_Vars[name], name, v); }
    Value GetParam(const std::string& name) { return m_Vars[name]; }

    void Run(const std::vector<PlStmt>& body) {
        for (const PlStmt& s : body) Exec(s);
    }

    // Runs the unit's body with its exception handler.
    void RunUnit() {
        try {
            Run(m_Unit.body);
        } catch (const OraException& e) {
            if (!m_Unit.hasHandler) throw;
            m_SqlErrm = Value::Str(e.error.message);
            m_SqlCode = Value::Num(-e.error.code);
            Run(m_Unit.handler);
        }
    }

    // Compile-time checks of every statement.
    void Check(const std::vector<PlStmt>& body) {
        for (const PlStmt& s : body) CheckStmt(s);
    }

    Value Eval(const std::string& text, size_t pos, bool condition = false) {
        EvalEnv env;
        env.variables = this;
        env.binds = m_Binds;
        env.user = m_Host.CurrentUser();
        ExprPtr e;
        try {
            e = m_Host.ParseExpression(text, true);
            Evaluator ev(env);
            ev.BindExpression(*e);
            if (m_CheckOnly) return Value::Null();
            if (condition) {
                Tri t = ev.EvaluateCondition(*e);
                return t == Tri::Unknown ? Value::Null() : Value::Num(t == Tri::True ? 1 : 0);
            }
            return ev.EvaluateExpression(*e);
        } catch (const OraException& ex) {
            if (!m_CheckOnly) throw;
            if (ex.error.code == 904) {
                std::string msg = ex.error.message;
                size_t q1 = msg.find('"'), q2 = msg.find('"', q1 + 1);
                std::string name = q1 != std::string::npos && q2 != std::string::npos ? msg.substr(q1 + 1, q2 - q1 - 1) : text;
                throw PlError{pos, "PLS-00201: identifier '" + name + "' must be declared"};
            }
            throw PlError{pos, "PL/SQL: " + ex.error.message};
        }
    }

    bool m_CheckOnly = false;

private:
    struct DynCursor {
        std::string sql;
        std::vector<Bind> binds;
        bool executedAtParse = false;
    };

    DynCursor* FindCursor(const Value& id, bool required) {
        double n = 0;
        OraError err;
        if (!id.IsNull() && id.ToNumber(n, err)) {
            auto it = m_Cursors.find(static_cast<int>(n));
            if (it != m_Cursors.end()) return &it->second;
        }
        if (required) Raise(29471);
        return nullptr;
    }

    void Assign(Value& slot, const std::string& name, const Value& v) {
        auto t = m_Types.find(name);
        if (t != m_Types.end() && NumericType(t->second) && v.type == Value::Type::Text) {
            double d;
            OraError err;
            if (!v.ToNumber(d, err)) Raise(6502, ": character to number conversion error");
            slot = Value::Num(t->second == "NUMBER" || t->second == "FLOAT" ? d : std::round(d));
            return;
        }
        if (t != m_Types.end() && !NumericType(t->second) && t->second != "DATE" && v.type == Value::Type::Number) {
            slot = Value::Str(v.ToText());
            return;
        }
        // A PL/SQL string holds at most 32767 bytes (a LONG 32760); the slot keeps
        // its old value when the new one does not fit.
        if (t != m_Types.end() && v.type == Value::Type::Text) {
            const std::string& type = t->second;
            const std::size_t limit = type == "LONG" ? 32760 : 32767;
            if ((type == "VARCHAR2" || type == "VARCHAR" || type == "CHAR" || type == "LONG") && v.text.size() > limit)
                Raise(6502, ": character string buffer too small");
        }
        slot = v;
    }

    Value* Target(const PlStmt& s) {
        if (s.targetIsBind) {
            if (m_Binds)
                for (Bind& b : *m_Binds) {
                    std::string n = Upper(b.name);
                    if (!n.empty() && n[0] == ':') n.erase(0, 1);
                    if (n == s.target[0]) {
                        b.assigned = true;
                        return &b.value;
                    }
                }
            throw PlError{s.pos, "ORA-01008: not all variables bound"};
        }
        Value* v = Lookup(s.target);
        if (!v || s.target[0] == "SQLERRM" || s.target[0] == "SQLCODE" || s.target[0] == "DBMS_SQL") {
            std::string joined;
            for (const std::string& n : s.target) joined += (joined.empty() ? "" : ".") + n;
            throw PlError{s.pos, "PLS-00201: identifier '" + joined + "' must be declared"};
        }
        for (const PlParam& p : m_Unit.params)
            if (s.target.size() == 1 && p.name == s.target[0] && !p.out)
                throw PlError{s.pos, "PLS-00363: expression '" + p.name + "' cannot be used as an assignment target"};
        return v;
    }

    const PlCursor* FindCursorDecl(const std::string& name) const {
        for (const PlCursor& c : m_Unit.cursors)
            if (c.name == name) return &c;
        return nullptr;
    }

    void CheckStmt(const PlStmt& s) {
        switch (s.kind) {
            case PlStmt::Kind::Assign: {
                Value* target = Target(s);
                (void)target;
                Eval(s.exprText, s.pos);
                break;
            }
            case PlStmt::Kind::Call: CheckCall(s); break;
            case PlStmt::Kind::If:
                for (const std::string& c : s.conditionTexts) Eval(c, s.pos, true);
                for (const auto& b : s.branches) Check(b);
                break;
            case PlStmt::Kind::ForCursor: {
                const PlCursor* c = FindCursorDecl(s.cursor);
                if (!c) throw PlError{s.pos, "PLS-00201: identifier '" + s.cursor + "' must be declared"};
                if (c->params.size() != s.argTexts.size())
                    throw PlError{s.pos, "PLS-00306: wrong number or types of arguments in call to '" + s.cursor + "'"};
                for (const std::string& a : s.argTexts) Eval(a, s.pos);
                // The cursor's query, with its parameters in scope.
                std::map<std::string, Value> saved = m_Vars;
                for (const PlParam& p : c->params) m_Vars[p.name] = Value::Null();
                try {
                    m_Host.CheckQuery(c->sql, this, m_Unit.owner);
                } catch (const OraException& e) {
                    m_Vars = saved;
                    throw PlError{s.pos, "PL/SQL: " + e.error.message};
                }
                m_Vars = saved;
                auto& rec = m_Records[s.loopVar];
                for (const std::string& f : c->fields) rec[f] = Value::Null();
                Check(s.body);
                m_Records.erase(s.loopVar);
                break;
            }
            default: break;
        }
    }

    void CheckCall(const PlStmt& s) {
        const auto& n = s.target;
        for (const std::string& a : s.argTexts) Eval(a, s.pos);
        if (n.size() == 2 && n[0] == "DBMS_SQL") {
            static const std::map<std::string, std::pair<size_t, size_t>> procs = {
                {"PARSE", {3, 3}}, {"BIND_VARIABLE", {3, 4}}, {"CLOSE_CURSOR", {1, 1}}};
            auto it = procs.find(n[1]);
            if (it == procs.end())
                throw PlError{s.pos, "PLS-00302: component '" + n[1] + "' must be declared"};
            if (s.argTexts.size() < it->second.first || s.argTexts.size() > it->second.second)
                throw PlError{s.pos, "PLS-00306: wrong number or types of arguments in call to '" + n[1] + "'"};
            return;
        }
        if (n.size() == 2 && n[0] == "DBMS_OUTPUT" && n[1] == "PUT_LINE") return;
        if (IsSleep(n)) {
            if (s.argTexts.size() != 1)
                throw PlError{s.pos, "PLS-00306: wrong number or types of arguments in call to 'SLEEP'"};
            return;
        }
        const ProcedureInfo* p = m_Host.FindProcedure(n, m_Host.CurrentUser());
        std::string joined;
        for (const std::string& part : n) joined += (joined.empty() ? "" : ".") + part;
        if (!p) throw PlError{s.pos, "PLS-00201: identifier '" + joined + "' must be declared"};
        if (!p->valid || !p->unit)
            throw PlError{s.pos, "PLS-00905: object " + p->owner + "." + p->name + " is invalid"};
        if (p->unit->params.size() != s.argTexts.size())
            throw PlError{s.pos, "PLS-00306: wrong number or types of arguments in call to '" + p->name + "'"};
        for (size_t i = 0; i < s.argTexts.size(); ++i) {
            if (!p->unit->params[i].out) continue;
            ExprPtr e = m_Host.ParseExpression(s.argTexts[i], false);
            if (e->kind != Expr::Kind::Bind && e->kind != Expr::Kind::Name)
                throw PlError{s.pos, "PLS-00363: expression '" + s.argTexts[i] + "' cannot be used as an assignment target"};
        }
    }

    void Exec(const PlStmt& s) {
        switch (s.kind) {
            case PlStmt::Kind::Null: return;
            case PlStmt::Kind::Commit: m_Host.CommitWork(); return;
            case PlStmt::Kind::Rollback: m_Host.RollbackWork(); return;
            case PlStmt::Kind::Assign: {
                Value v = Eval(s.exprText, s.pos);
                Value* target = Target(s);
                std::string name = s.target.size() == 1 ? s.target[0] : std::string();
                Assign(*target, name, v);
                return;
            }
            case PlStmt::Kind::If:
                for (size_t i = 0; i < s.conditionTexts.size(); ++i) {
                    Value c = Eval(s.conditionTexts[i], s.pos, true);
                    if (!c.IsNull() && c.number != 0) {
                        Run(s.branches[i]);
                        return;
                    }
                }
                if (s.branches.size() > s.conditionTexts.size()) Run(s.branches.back());
                return;
            case PlStmt::Kind::ForCursor: {
                const PlCursor* c = FindCursorDecl(s.cursor);
                std::vector<Value> args;
                for (const std::string& a : s.argTexts) args.push_back(Eval(a, s.pos));
                std::map<std::string, Value> saved;
                for (size_t i = 0; i < c->params.size(); ++i) {
                    saved[c->params[i].name] = m_Vars[c->params[i].name];
                    m_Vars[c->params[i].name] = args[i];
                }
                std::vector<Bind> none;
                ExecResult r = m_Host.RunSql(c->sql, none, this);
                if (r.error.IsError()) throw OraException(r.error);
                std::vector<std::vector<Value>> rows;
                std::vector<Value> row;
                OraError err;
                while (r.rows->Next(row, err)) rows.push_back(row);
                for (auto& [name, value] : saved) m_Vars[name] = value;
                if (err.IsError()) throw OraException(err);
                for (const auto& fetched : rows) {
                    auto& rec = m_Records[s.loopVar];
                    for (size_t i = 0; i < c->fields.size() && i < fetched.size(); ++i) rec[c->fields[i]] = fetched[i];
                    Run(s.body);
                }
                m_Records.erase(s.loopVar);
                return;
            }
            case PlStmt::Kind::Call: ExecCall(s); return;
        }
    }

    void ExecCall(const PlStmt& s) {
        const auto& n = s.target;
        std::vector<Value> args;
        if (n.size() == 2 && n[0] == "DBMS_SQL") {
            for (const std::string& a : s.argTexts) args.push_back(Eval(a, s.pos));
            if (n[1] == "PARSE") {
                DynCursor* c = FindCursor(args[0], true);
                c->sql = args[1].ToText();
                c->binds.clear();
                c->executedAtParse = false;
                // DBMS_SQL checks the statement at parse time and runs DDL and
                // ALTER SESSION right away.
                std::unique_ptr<Statement> st = m_Host.ParseSql(c->sql);
                using K = Statement::Kind;
                bool ddl = st->kind == K::AlterSession || st->kind == K::AlterSystem || st->kind == K::CreateTable ||
                           st->kind == K::DropTable || st->kind == K::CreateIndex || st->kind == K::DropIndex ||
                           st->kind == K::CreateProcedure || st->kind == K::DropProcedure || st->kind == K::Truncate ||
                           st->kind == K::Grant || st->kind == K::Analyze || st->kind == K::CreateSynonym ||
                           st->kind == K::DropSynonym;
                if (ddl) {
                    std::vector<Bind> none;
                    ExecResult r = m_Host.RunSql(c->sql, none, nullptr);
                    if (r.error.IsError()) throw OraException(r.error);
                    c->executedAtParse = true;
                }
            } else if (n[1] == "BIND_VARIABLE") {
                DynCursor* c = FindCursor(args[0], true);
                std::string name = args[1].ToText();
                if (!name.empty() && name[0] == ':') name.erase(0, 1);
                Bind b;
                b.name = name;
                b.value = args[2];
                bool replaced = false;
                for (Bind& existing : c->binds)
                    if (Upper(existing.name) == Upper(name)) {
                        existing = b;
                        replaced = true;
                    }
                if (!replaced) c->binds.push_back(b);
            } else if (n[1] == "CLOSE_CURSOR") {
                DynCursor* c = FindCursor(args[0], true);
                (void)c;
                double id = 0;
                OraError err;
                args[0].ToNumber(id, err);
                m_Cursors.erase(static_cast<int>(id));
                // CLOSE_CURSOR sets its IN OUT argument to NULL.
                PlStmt assign;
                assign.target = {};
                ExprPtr e = m_Host.ParseExpression(s.argTexts[0], false);
                if (e->kind == Expr::Kind::Name) {
                    if (Value* v = Lookup(e->names)) *v = Value::Null();
                }
            }
            return;
        }
        if (n.size() == 2 && n[0] == "DBMS_OUTPUT") return;
        if (IsSleep(n)) {
            Value seconds = Eval(s.argTexts[0], s.pos);
            double value = 0;
            OraError err;
            if (seconds.IsNull() || !seconds.ToNumber(value, err)) Raise(6502);
            m_Host.Sleep(value);
            return;
        }
        const ProcedureInfo* p = m_Host.FindProcedure(n, m_Host.CurrentUser());
        std::shared_ptr<PlSqlUnit> callee = p ? p->unit : nullptr;
        if (!callee) Raise(6508);
        Frame inner(*callee, m_Host, nullptr);
        inner.Declare(false);
        for (size_t i = 0; i < callee->params.size(); ++i)
            if (callee->params[i].in) inner.SetParam(callee->params[i].name, Eval(s.argTexts[i], s.pos));
        {
            // A stored procedure runs with its owner's rights: its names resolve
            // in the owner's schema, whatever the session's current schema is.
            struct SchemaScope {
                PlSqlHost& host;
                std::string before;
                ~SchemaScope() { host.SwitchCurrentSchema(before); }
            } scope{m_Host, m_Host.SwitchCurrentSchema(p->owner)};
            inner.RunUnit();
        }
        for (size_t i = 0; i < callee->params.size(); ++i) {
            if (!callee->params[i].out) continue;
            ExprPtr e = m_Host.ParseExpression(s.argTexts[i], false);
            Value out = inner.GetParam(callee->params[i].name);
            if (e->kind == Expr::Kind::Bind && m_Binds) {
                for (Bind& b : *m_Binds) {
                    std::string bn = Upper(b.name);
                    if (!bn.empty() && bn[0] == ':') bn.erase(0, 1);
                    if (bn == e->names[0]) {
                        b.value = out;
                        b.assigned = true;
                    }
                }
            } else if (e->kind == Expr::Kind::Name) {
                if (Value* v = Lookup(e->names)) Assign(*v, e->names.size() == 1 ? e->names[0] : "", out);
            }
        }
    }

    const PlSqlUnit& m_Unit;
    PlSqlHost& m_Host;
    std::vector<Bind>* m_Binds;
    std::map<std::string, Value> m_Vars;
    std::map<std::string, std::string> m_Types;
    std::map<std::string, std::map<std::string, Value>> m_Records;
    Value m_SqlErrm = Value::Str("ORA-0000: normal, successful completion");
    Value m_SqlCode = Value::Num(0);
    Value m_Native = Value::Num(1);
    Value m_V7 = Value::Num(2);
    std::map<int, DynCursor> m_Cursors;
    int m_NextCursor = 1;
    std::uint64_t m_LastRowCount = 0;
};

}  // namespace

ExprPtr PlSqlHost::ParseExpression(const std::string& text, bool wholeText) {
    Parser p(text);
    ExprPtr e = p.ParseExpr();
    if (wholeText && !p.AtEnd()) Raise(933);
    return e;
}

std::unique_ptr<Statement> PlSqlHost::ParseSql(const std::string& sql) {
    return Parser(sql).ParseStatement();
}

std::shared_ptr<PlSqlUnit> ParsePlSql(const std::string& text, bool isProcedure) {
    try {
        PlParser p(text);
        return isProcedure ? p.Procedure() : p.Block();
    } catch (const PlError& e) {
        int line, column;
        LineAndColumn(text, e.pos, line, column);
        if (isProcedure) {
            OraError err;
            err.code = 24344;
            err.message = e.message;
            throw OraException(err);
        }
        throw OraException(Ora(6550, std::to_string(line), std::to_string(column), e.message));
    }
}

std::string CheckPlSql(PlSqlUnit& unit, PlSqlHost& host, size_t& errorPos) {
    try {
        Frame f(unit, host, nullptr);
        f.Declare(true);
        f.Check(unit.body);
        if (unit.hasHandler) f.Check(unit.handler);
    } catch (const PlError& e) {
        errorPos = e.pos;
        return e.message;
    }
    return {};
}

void RunBlock(const PlSqlUnit& block, std::vector<Bind>& binds, PlSqlHost& host) {
    // Compile the block first: unknown or invalid procedures, wrong arguments.
    {
        Frame check(block, host, &binds);
        try {
            check.Declare(true);
            check.Check(block.body);
            if (block.hasHandler) check.Check(block.handler);
        } catch (const PlError& e) {
            int line, column;
            LineAndColumn(block.source, e.pos, line, column);
            std::string l = std::to_string(line), c = std::to_string(column);
            OraError err = Ora(6550, l, c, e.message);
            err.message += "\n" + Ora(6550, l, c, "PL/SQL: Statement ignored").message;
            throw OraException(err);
        }
    }
    Frame f(block, host, &binds);
    f.Declare(false);
    f.RunUnit();
}

}  // namespace ocisim
