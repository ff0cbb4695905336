#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "layer/FakeServer.h"

namespace fake {

namespace {

class CTableRows : public ocisim::RowSource {
public:
    explicit CTableRows(Table table) : m_Table(std::move(table)) {}
    bool Next(std::vector<ocisim::Value>& row, ocisim::OraError& err) override {
        if (m_Table.failAfter >= 0 && m_Next == static_cast<std::size_t>(m_Table.failAfter)) {
            err = m_Table.failure;
            return false;
        }
        if (m_Next >= m_Table.rows.size()) return false;
        row = m_Table.rows[m_Next++];
        return true;
    }

private:
    Table m_Table;
    std::size_t m_Next = 0;
};

class CFakeSession : public ocisim::Session {
public:
    explicit CFakeSession(std::string user) : m_User(std::move(user)) {}
    std::int64_t SessionId() const override { return 4711; }
    const std::string& UserName() const override { return m_User; }
    ocisim::ExecResult Execute(const std::string& sql, std::vector<ocisim::Bind>& binds, bool describeOnly) override {
        Script& script = TheScript();
        script.calls.push_back({sql, binds, describeOnly});
        ocisim::ExecResult result;
        auto query = script.queries.find(sql);
        if (query != script.queries.end()) {
            result.columns = query->second.columns;
            if (!describeOnly) result.rows = std::make_unique<CTableRows>(query->second);
            return result;
        }
        if (script.handler) {
            // A parse alone of a statement that is not a query runs nothing.
            if (describeOnly) return result;
            result = script.handler(sql, binds);
            script.calls.back().binds = binds;
            return result;
        }
        result.error = Error(942, "table or view does not exist");
        return result;
    }
    ocisim::OraError Commit() override {
        ++TheScript().commits;
        return {};
    }
    ocisim::OraError Rollback() override { return {}; }
    ocisim::OraError Ping() override { return {}; }

private:
    std::string m_User;
};

class CFakeServer : public ocisim::Server {
public:
    std::string VersionBanner() override { return "Oracle Database 19c Enterprise Edition Release 19.0.0.0.0"; }
    ocisim::OraError Attach(const std::string& alias) override {
        if (alias.empty() || alias == "DEMO") return {};
        return Error(12154, "TNS:could not resolve the connect identifier specified");
    }
    std::unique_ptr<ocisim::Session> Logon(const std::string& alias, const std::string& user,
                                           const std::string& password, ocisim::LogonMode mode,
                                           ocisim::OraError& err) override {
        if (!Attach(alias).code && user == "SCOTT" && password == "TIGER") {
            if (mode != ocisim::LogonMode::Normal) {
                err = Error(1031, "insufficient privileges");
                return nullptr;
            }
            return std::make_unique<CFakeSession>(user);
        }
        err = Error(1017, "invalid username/password; logon denied");
        return nullptr;
    }
};

}  // namespace

Script& TheScript() {
    static Script script;
    return script;
}

void Reset() { TheScript() = Script{}; }

ocisim::ColumnDesc Column(const std::string& name, ocisim::ColumnType type, int size) {
    ocisim::ColumnDesc column;
    column.name = name;
    column.type = type;
    column.size = size;
    return column;
}

ocisim::OraError Error(int code, const std::string& text) { return ocisim::OraError::Make(code, text); }

}  // namespace fake

// The parts of the engine's interface the client layer calls, answered by the script.
namespace ocisim {

OraError OraError::Make(int code, const std::string& text) {
    char head[16];
    std::snprintf(head, sizeof head, "ORA-%05d: ", code);
    return OraError{code, head + text};
}

Value Value::Str(std::string s) {
    if (s.empty()) return Null();
    Value v;
    v.type = Type::Text;
    v.text = std::move(s);
    return v;
}

std::string Value::ToText() const {
    char buffer[64];
    switch (type) {
        case Type::Null: return {};
        case Type::Text: return text;
        case Type::Date: return "01-JAN-70";
        case Type::Number:
            if (number == std::floor(number)) {
                std::snprintf(buffer, sizeof buffer, "%.0f", number);
                return buffer;
            }
            std::snprintf(buffer, sizeof buffer, "%g", number);
            if (buffer[0] == '0') return buffer + 1;  // "0.5" reads ".5"
            return buffer;
    }
    return {};
}

bool Value::ToNumber(double& out, OraError& err) const {
    if (type == Type::Number) {
        out = number;
        return true;
    }
    char* end = nullptr;
    out = std::strtod(text.c_str(), &end);
    if (type != Type::Text || end == text.c_str() || *end != '\0') {
        err = OraError::Make(1722, "invalid number");
        return false;
    }
    return true;
}

StatementType ClassifyStatement(const std::string& sql) {
    std::size_t i = 0;
    while (i < sql.size()) {
        if (std::isspace(static_cast<unsigned char>(sql[i]))) {
            ++i;
        } else if (sql.compare(i, 2, "/*") == 0) {
            const std::size_t end = sql.find("*/", i);
            i = end == std::string::npos ? sql.size() : end + 2;
        } else {
            break;
        }
    }
    std::string word;
    while (i < sql.size() && std::isalpha(static_cast<unsigned char>(sql[i]))) {
        word += static_cast<char>(std::toupper(static_cast<unsigned char>(sql[i++])));
    }
    if (word == "SELECT") return StatementType::Select;
    if (word == "UPDATE") return StatementType::Update;
    if (word == "DELETE") return StatementType::Delete;
    if (word == "INSERT") return StatementType::Insert;
    if (word == "CREATE") return StatementType::Create;
    if (word == "DROP") return StatementType::Drop;
    if (word == "ALTER") return StatementType::Alter;
    if (word == "BEGIN") return StatementType::Begin;
    if (word == "DECLARE") return StatementType::Declare;
    return StatementType::Unknown;
}

std::shared_ptr<Server> TheServer() {
    static std::shared_ptr<Server> server = std::make_shared<fake::CFakeServer>();
    return server;
}

void ResetServer() {}

}  // namespace ocisim
