#include "collection/SchemaExplain.h"

#include <cctype>
#include <cstring>
#include <vector>

#include "oracle/OracleConnection.h"
#include "oracle/OracleCursor.h"

namespace corvid {

namespace {

constexpr int kTypeString = 5;
constexpr int kFetchRows = 50;
constexpr int kLineSize = 512;
constexpr std::size_t kLongestText = 60000;

// The first line of the server's message ("ORA-00942: table or view does not exist").
std::string FirstLine(std::string text) {
    const std::size_t end = text.find_first_of("\r\n");
    if (end != std::string::npos) text.erase(end);
    return text;
}

std::string Quoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        quoted += c;
        if (c == '\'') quoted += '\'';
    }
    return quoted + "'";
}

}  // namespace

CSchemaExplain::CSchemaExplain(COracleConnection& connection, std::string user, std::string statementId)
    : m_connection(connection), m_user(std::move(user)), m_statementId(std::move(statementId)), m_current(m_user) {}

CSchemaExplain::~CSchemaExplain() {
    m_delete.reset();
    m_plan.reset();
    if (m_current != m_user && m_connection.IsConnected()) SetCurrentSchema(m_user);
}

bool CSchemaExplain::IsPlainName(const std::string& name) {
    if (name.empty() || name.size() > 128 || !std::isupper(static_cast<unsigned char>(name[0]))) return false;
    for (char c : name) {
        if (!std::isupper(static_cast<unsigned char>(c)) && !std::isdigit(static_cast<unsigned char>(c)) &&
            c != '_' && c != '$' && c != '#') {
            return false;
        }
    }
    return true;
}

bool CSchemaExplain::Run(const std::string& statement, std::string* error) {
    COracleCursor cursor(m_connection);
    cursor.Parse(statement);
    return Run(cursor, error);
}

bool CSchemaExplain::Run(COracleCursor& cursor, std::string* error) {
    if (cursor.Execute(1, COracleCursor::EOnError::Return)) return true;
    m_lastErrorCode = cursor.GetErrorCode();
    if (error != nullptr) *error = FirstLine(cursor.GetErrorText());
    return false;
}

bool CSchemaExplain::SetCurrentSchema(const std::string& schema) {
    if (!Run("/* $CORVID$ */ ALTER SESSION SET CURRENT_SCHEMA = " + schema, nullptr)) return false;
    m_current = schema;
    return true;
}

COracleCursor& CSchemaExplain::DeleteCursor() {
    if (!m_delete) {
        m_delete = std::make_unique<COracleCursor>(m_connection);
        m_delete->Parse("/* $CORVID$ */ DELETE " + m_user + ".plan_table WHERE statement_id = " +
                        Quoted(m_statementId));
    }
    return *m_delete;
}

COracleCursor& CSchemaExplain::PlanCursor() {
    if (!m_plan) {
        const std::string id = Quoted(m_statementId);
        m_lines.assign(static_cast<std::size_t>(kFetchRows) * kLineSize, '\0');
        m_indicators.assign(kFetchRows, 0);
        m_plan = std::make_unique<COracleCursor>(m_connection);
        m_plan->Parse("/* $CORVID$ */ SELECT LPAD(' ', 4 * (level - 1)) || operation || ' ' || options || ' ' || "
                      "object_name || ' ' || DECODE(id, 0, 'Cost = ' || position) line FROM " +
                      m_user + ".plan_table START WITH id = 0 AND statement_id = " + id +
                      " CONNECT BY PRIOR id = parent_id AND statement_id = " + id);
        m_plan->Define(1, m_lines.data(), kLineSize, kTypeString, m_indicators.data());
    }
    return *m_plan;
}

CExplainPlanCall::SResult CSchemaExplain::Explain(const std::string& schema, const std::string& sqlText,
                                                  const std::string& optimizerGoal) {
    CExplainPlanCall::SResult result;
    if (sqlText.size() >= kLongestText) {
        result.tooLong = true;
        return result;
    }
    result.called = true;
    if (schema != m_current && !SetCurrentSchema(schema)) {
        result.error = "ORA-01435: user does not exist";
        return result;
    }
    std::string error;
    m_lastErrorCode = 0;
    bool ok = true;
    if (optimizerGoal != m_goal) {
        ok = Run("/* $CORVID$ */ ALTER SESSION SET OPTIMIZER_GOAL = " + optimizerGoal, &error);
        m_goal = ok ? optimizerGoal : std::string();
    }
    ok = ok && (m_rowsDeleted || Run(DeleteCursor(), &error));
    m_rowsDeleted = false;
    if (m_explainText.empty()) {
        m_explainText = "/* $CORVID$ */ EXPLAIN PLAN SET statement_id = ";
        m_explainText += Quoted(m_statementId);
        m_explainText += " INTO ";
        m_explainText += m_user;
        m_explainText += ".plan_table FOR ";
        m_explainPrefix = m_explainText.size();
    }
    m_explainText.resize(m_explainPrefix);
    m_explainText += sqlText;
    ok = ok && Run(m_explainText, &error);
    if (!ok) {
        if (IsSessionEndingError(m_lastErrorCode)) {
            // Nothing more can run on this session: reported as a call that failed.
            result.called = false;
            result.errorCode = m_lastErrorCode;
            result.errorText = error;
            return result;
        }
        result.error = error.empty() ? "ORA-00900: invalid SQL statement" : error;
        m_rowsDeleted = Run(DeleteCursor(), nullptr);
        m_connection.Commit();
        return result;
    }

    // The plan's lines as the explain procedure writes them.
    COracleCursor& cursor = PlanCursor();
    cursor.Execute(0);
    int delivered = 0;
    do {
        delivered = 0;
        cursor.Fetch(kFetchRows, &delivered);
        for (int r = 0; r < delivered; ++r) {
            if (!result.plan.empty()) result.plan += "\r\n";
            if (m_indicators[r] == -1) continue;
            const char* line = m_lines.data() + static_cast<std::size_t>(r) * kLineSize;
            result.plan.append(line, strnlen(line, kLineSize));
        }
    } while (delivered == kFetchRows);
    m_rowsDeleted = Run(DeleteCursor(), nullptr);
    m_connection.Commit();
    return result;
}

}  // namespace corvid
