#include "dialogs/StatementSheetModel.h"

#include <cctype>
#include <cstring>
#include <memory>

#include "collection/ExplainProcedure.h"
#include "oracle/OracleConnection.h"
#include "oracle/OracleCursor.h"
#include "platform/Services.h"
#include "platform/StringTable.h"
#include "sqltext/SqlStatementParser.h"

namespace corvid {

namespace {

struct SParameterSpec {
    StatementColumn column;
    int titleId;
};

// "Username" is the short title of its column; every other row uses the long one.
constexpr SParameterSpec kParameterRows[] = {
    {kColUserName, 228},          {kColExecutions, 231},       {kColPercOfDiskReads, 246},
    {kColPercOfBufferGets, 247},  {kColPlanCost, 254},         {kColFullTableScans, 255},
    {kColDiskReadsPerExec, 232},  {kColBufferGetsPerExec, 233}, {kColSortsPerExec, 234},
    {kColRowsPerExec, 235},       {kColFirstLoadTime, 237},    {kColCommandName, 230},
    {kColParseCalls, 248},        {kColDiskReads, 238},        {kColBufferGets, 239},
    {kColSorts, 240},             {kColRowsProcessed, 241},    {kColSharableMem, 242},
    {kColPersistentMem, 243},     {kColRuntimeMem, 244},       {kColOptimizerMode, 245},
    {kColAddress, 253},           {kColDistance, 257},         {kColSqlText, 236},
    {kColStatus, 256},
};

constexpr int kTextType = 5;  // zero-terminated text
constexpr int kSessionIdSize = 80;

bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
    if (prefix.size() > text.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(text[i])) != std::toupper(static_cast<unsigned char>(prefix[i]))) {
            return false;
        }
    }
    return true;
}

// Copies the text into the buffer, cut to fit with its terminator.
void CopyToBuffer(std::vector<char>& buffer, const std::string& text) {
    const std::size_t n = std::min(text.size(), buffer.size() - 1);
    std::memcpy(buffer.data(), text.data(), n);
    buffer[n] = '\0';
}

std::string FromBuffer(const std::vector<char>& buffer, short indicator) {
    if (indicator == -1) return {};
    return std::string(buffer.data(), strnlen(buffer.data(), buffer.size()));
}

}  // namespace

std::vector<SParameterRow> ParameterRows(const CObjectEntry& statement) {
    std::vector<SParameterRow> rows;
    rows.reserve(std::size(kParameterRows));
    for (const SParameterSpec& spec : kParameterRows) {
        rows.push_back({spec.column, GetStringTable().Load(spec.titleId), statement.GetColumnText(spec.column)});
    }
    return rows;
}

const std::vector<std::string>& OptimizerGoals() {
    static const std::vector<std::string> goals = {"ALL_ROWS", "CHOOSE", "FIRST_ROWS"};
    return goals;
}

int OptimizerGoalIndex(const std::string& goal) {
    if (goal.empty()) return -1;
    const std::vector<std::string>& goals = OptimizerGoals();
    for (std::size_t i = 0; i < goals.size(); ++i) {
        if (StartsWithNoCase(goals[i], goal)) return static_cast<int>(i);
    }
    return -1;
}

std::string ReadSessionStatementId(COracleConnection& connection) {
    char sessionId[kSessionIdSize] = {};
    short indicator = 0;
    COracleCursor cursor(connection);
    cursor.Parse(kSessionIdStatement);
    cursor.Define(1, sessionId, sizeof sessionId, kTextType, &indicator);
    int rows = 0;
    cursor.ExecuteAndFetch(1, &rows);
    if (rows < 1 || indicator == -1) return SessionStatementId("");
    return SessionStatementId(std::string(sessionId, strnlen(sessionId, sizeof sessionId)));
}

ExplainCall ExplainOnConnection(COracleConnection& connection) {
    return [&connection](const std::string& sqlText, const std::string& goal) {
        std::string id = ReadSessionStatementId(connection);
        std::vector<char> idBuffer(id.begin(), id.end());
        idBuffer.push_back('\0');
        std::vector<char> sqlBuffer(kExplainSqlSize);
        std::vector<char> goalBuffer(kExplainGoalSize);
        std::vector<char> planBuffer(kExplainPlanSize);
        std::vector<char> errorBuffer(kExplainErrorSize);
        short planIndicator = 0;
        short errorIndicator = 0;

        COracleCursor cursor(connection);
        cursor.Parse(kExplainCallStatement);
        cursor.Bind(":i", idBuffer.data(), static_cast<int>(idBuffer.size()), kTextType);
        cursor.Bind(":s", sqlBuffer.data(), kExplainSqlSize, kTextType);
        cursor.Bind(":g", goalBuffer.data(), kExplainGoalSize, kTextType);
        cursor.Bind(":p", planBuffer.data(), kExplainPlanSize, kTextType, &planIndicator);
        cursor.Bind(":e", errorBuffer.data(), kExplainErrorSize, kTextType, &errorIndicator);
        CopyToBuffer(goalBuffer, goal);
        CopyToBuffer(sqlBuffer, sqlText);

        SExplainOutcome outcome;
        outcome.executed = cursor.Execute(1, false);
        outcome.error = FromBuffer(errorBuffer, errorIndicator);
        if (outcome.executed) outcome.plan = FromBuffer(planBuffer, planIndicator);
        return outcome;
    };
}

void CSqlTestModel::Execute(const ExplainCall& explain) {
    // A longer text would be cut at the buffer's end and the server would explain
    // another statement than the one shown.
    if (m_SqlText.size() >= static_cast<std::size_t>(kExplainSqlSize)) {
        GetPrompter().Message(kSqlTextTooLongMessage);
        return;
    }
    const SExplainOutcome outcome = explain(m_SqlText, m_Goal);
    if (!outcome.error.empty()) GetPrompter().Message(kParseErrorMessage + outcome.error);
    if (!outcome.executed || !outcome.error.empty()) {
        m_Plan.clear();
    } else {
        m_Plan = outcome.plan;
    }
}

void CSqlTestModel::Reload(const ExplainCall& explain) {
    m_SqlText = m_ReloadText;
    Execute(explain);
}

SStatementSheetData SStatementSheetData::FromStatement(const CObjectEntry& statement) {
    SStatementSheetData data;
    const CSqlStatementParser parser;
    data.sqlRtf = statement.m_SqlText;
    parser.HighlightToRtf(data.sqlRtf);
    data.planRtf = statement.m_SqlPlan;
    parser.TextToRtf(data.planRtf);
    data.statement = statement;
    data.test.m_SqlText = statement.m_SqlText;
    data.test.m_ReloadText = statement.m_SqlText;
    data.test.m_Plan = statement.m_SqlPlan;
    data.test.m_Goal = statement.m_OptimizerMode;
    return data;
}

}  // namespace corvid
