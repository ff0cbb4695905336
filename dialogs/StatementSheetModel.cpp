#include "dialogs/StatementSheetModel.h"

#include <cctype>

#include "collection/ExplainPlanCall.h"
#include "collection/ExplainProcedure.h"
#include "list/StatementColumn.h"
#include "list/FamilyColumn.h"
#include "oracle/OracleConnection.h"
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
    {kColStatus, 256},            {kColSqlId, 370},            {kColPlanHash, 371},
    {kColElapsedTime, 372},       {kColCpuTime, 373},          {kColElapsedPerExec, 374},
    {kColCpuPerExec, 375},        {kColUserIoWait, 376},       {kColModule, 377},
    {kColLastActive, 378},        {kColVersions, 379},
};

bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
    if (prefix.size() > text.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(text[i])) != std::toupper(static_cast<unsigned char>(prefix[i]))) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::vector<SParameterRow> ParameterRows(const CObjectEntry& statement) {
    std::vector<SParameterRow> rows;
    rows.reserve(std::size(kParameterRows));
    for (const SParameterSpec& spec : kParameterRows) {
        // An older server has none of these figures: their rows would stay empty.
        if (spec.column >= kColSqlId && spec.column <= kColVersions && !statement.m_HasServerFigures) continue;
        rows.push_back({spec.column, GetStringTable().Load(spec.titleId), statement.GetColumnText(spec.column)});
    }
    return rows;
}

std::vector<SParameterRow> FamilyParameterRows(const std::string& familyText, long long statements) {
    if (statements <= 0) return {};
    return {{kColFamilyText, "Family", familyText},
            {kColFamilyStatements, "Statements in family", std::to_string(statements)}};
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

ExplainCall ExplainOnConnection(COracleConnection& connection) {
    return [&connection](const std::string& sqlText, const std::string& goal) {
        // The session id is read and the call prepared anew for every test.
        CExplainPlanCall call(connection);
        const CExplainPlanCall::SResult result = call.Explain(sqlText, goal);
        SExplainOutcome outcome;
        outcome.executed = result.called;
        outcome.plan = result.plan;
        outcome.error = result.error;
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
    if (outcome.skipped) return;
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
    data.planRtf = PlanPageText(statement);
    parser.TextToRtf(data.planRtf);
    if (!statement.SqlPlan().empty()) {
        data.planSource = statement.m_PlanSource == kPlanFromCursorCache
                              ? "Plan from the cursor cache: the plan the server uses for this statement."
                              : "Plan from EXPLAIN PLAN: what the optimizer would choose now.";
    }
    data.statement = statement;
    data.test.m_SqlText = statement.m_SqlText;
    data.test.m_ReloadText = statement.m_SqlText;
    data.test.m_Plan = statement.SqlPlan();
    // A mode the goal list does not offer (RULE, say) opens the page on the goal
    // the load explained the statement with, so that Execute SQL works at once.
    data.test.m_Goal = OptimizerGoalIndex(statement.m_OptimizerMode) >= 0 ? statement.m_OptimizerMode.str()
                                                                          : OptimizerGoalFor(statement.m_OptimizerMode);
    return data;
}

std::string PlanPageText(const CObjectEntry& statement) {
    if (!statement.SqlPlan().empty()) return statement.SqlPlan();
    if (statement.m_Status == kStatusError) {
        const std::string& error = statement.ErrorMessage();
        return std::string("Status: error. The statement could not be analyzed.") +
               (error.empty() ? std::string() : "\r\n\r\n" + error);
    }
    if (statement.m_Status == kStatusNotAnalyzed) {
        return "Status: not analyzed. Only INSERT, SELECT, UPDATE and DELETE statements are explained.";
    }
    return std::string();
}

}  // namespace corvid
