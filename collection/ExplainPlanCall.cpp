#include "collection/ExplainPlanCall.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstring>

#include "collection/ExplainProcedure.h"
#include "collection/OutOfMemory.h"
#include "oracle/OracleConnection.h"
#include "oracle/OracleCursor.h"
#include "platform/AsciiText.h"
#include "oracle/OciTypes.h"

namespace corvid {

namespace {

constexpr int kSessionIdSize = 80;

std::string TextOf(const std::vector<char>& buffer, short indicator) {
    if (indicator == -1) return std::string();
    return std::string(buffer.data(), strnlen(buffer.data(), buffer.size()));
}

}  // namespace

std::string ReadSessionStatementId(COracleConnection& connection) {
    COracleCursor cursor(connection);
    char sessionId[kSessionIdSize] = {};
    short indicator = 0;
    cursor.Parse(kSessionIdStatement);
    cursor.Define(1, sessionId, sizeof sessionId, oci::SQLT_STR, &indicator);
    int rows = 0;
    cursor.ExecuteAndFetch(1, &rows);
    if (rows < 1 || indicator == -1) return SessionStatementId(std::string());
    return SessionStatementId(std::string(sessionId, strnlen(sessionId, sizeof sessionId)));
}

CExplainPlanCall::CExplainPlanCall(COracleConnection& connection) : m_statementId(ReadSessionStatementId(connection)) {
    try {
        m_idBuffer.assign(m_statementId.begin(), m_statementId.end());
        m_idBuffer.push_back('\0');
        m_sqlBuffer.assign(kExplainSqlSize, '\0');
        m_goalBuffer.assign(kExplainGoalSize, '\0');
        m_planBuffer.assign(kExplainPlanSize, '\0');
        m_errorBuffer.assign(kExplainErrorSize, '\0');
    } catch (const std::bad_alloc&) {
        OutOfMemory();
    }
    m_cursor = std::make_unique<COracleCursor>(connection);
    m_cursor->Parse(kExplainCallStatement);
    m_cursor->Bind(":i", m_idBuffer.data(), static_cast<int>(m_idBuffer.size()), oci::SQLT_STR);
    m_cursor->Bind(":s", m_sqlBuffer.data(), kExplainSqlSize, oci::SQLT_STR);
    m_cursor->Bind(":g", m_goalBuffer.data(), kExplainGoalSize, oci::SQLT_STR);
    m_cursor->Bind(":p", m_planBuffer.data(), kExplainPlanSize, oci::SQLT_STR, &m_planIndicator);
    m_cursor->Bind(":e", m_errorBuffer.data(), kExplainErrorSize, oci::SQLT_STR, &m_errorIndicator);
}

CExplainPlanCall::~CExplainPlanCall() = default;

CExplainPlanCall::SResult CExplainPlanCall::Explain(const std::string& sqlText, const std::string& optimizerGoal) {
    SResult result;
    m_errorBuffer[0] = '\0';
    if (sqlText.size() >= static_cast<std::size_t>(kExplainSqlSize)) {
        result.tooLong = true;
        return result;
    }
    const std::size_t goalLength = std::min(optimizerGoal.size(), static_cast<std::size_t>(kExplainGoalSize - 1));
    std::memcpy(m_goalBuffer.data(), optimizerGoal.data(), goalLength);
    m_goalBuffer[goalLength] = '\0';
    std::memcpy(m_sqlBuffer.data(), sqlText.c_str(), sqlText.size() + 1);
    m_planBuffer[0] = '\0';
    m_planIndicator = 0;
    m_errorIndicator = 0;

    result.called = m_cursor->Execute(1, COracleCursor::EOnError::Return);
    if (!result.called) {
        result.errorCode = m_cursor->GetErrorCode();
        result.errorText = m_cursor->GetErrorText();
        return result;
    }
    result.plan = TextOf(m_planBuffer, m_planIndicator);
    result.error = TextOf(m_errorBuffer, m_errorIndicator);
    return result;
}

bool IsSessionEndingError(int oracleError) {
    switch (oracleError) {
        case 28:
        case 1012:
        case 3113:
        case 3114:
        case 3135:
            return true;
        default:
            return false;
    }
}

std::string OptimizerGoalFor(const std::string& optimizerMode) {
    if (optimizerMode == "ALL_ROWS" || optimizerMode == "FIRST_ROWS") return optimizerMode;
    return "CHOOSE";
}

std::int32_t ParsePlanCost(const std::string& plan) {
    const std::string upper = AsciiUpperCase(plan);
    std::size_t pos = upper.find("COST = ");
    if (pos == std::string::npos) return 0;
    pos += 7;
    while (pos < upper.size() && upper[pos] == ' ')
        ++pos;
    bool negative = false;
    if (pos < upper.size() && (upper[pos] == '+' || upper[pos] == '-')) negative = upper[pos++] == '-';
    long long value = 0;
    for (; pos < upper.size() && std::isdigit(static_cast<unsigned char>(upper[pos])); ++pos) {
        value = std::min<long long>(value * 10 + (upper[pos] - '0'), static_cast<long long>(INT_MAX) + 1);
    }
    if (negative) value = -value;
    return static_cast<std::int32_t>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

std::int32_t CountFullTableScans(const std::string& plan) {
    const std::string upper = AsciiUpperCase(plan);
    std::int32_t count = 0;
    for (std::size_t pos = upper.find("TABLE ACCESS FULL"); pos != std::string::npos;
         pos = upper.find("TABLE ACCESS FULL", pos + 1)) {
        ++count;
    }
    return count;
}

}  // namespace corvid
