// The load job's analysis: every INSERT, SELECT, UPDATE and DELETE of the
// collection is explained through the explain procedure.

#include <cstdio>

#include "collection/CorvidDoc.h"
#include "collection/ExplainPlanCall.h"
#include "list/StatementColumn.h"
#include "diag/TraceContext.h"
#include "oracle/OracleConnection.h"

namespace corvid {

namespace {

constexpr const char* kTooLongMessage = "Statement too long to be analyzed";

bool IsExplainable(std::int32_t commandType) {
    return commandType == 2 || commandType == 3 || commandType == 6 || commandType == 7;
}

}  // namespace

void CCorvidDoc::AnalyzeStatements() {
    ProgressNote("Analyzing sql statements...");
    CTraceContext* trace = TraceAt(15);
    if (trace != nullptr) {
        trace->WriteLine("");
        trace->WriteLine("ANALYZING SQL STATEMENTS");
        trace->WriteLine("========================");
    }
    CExplainPlanCall call(*m_connection);
    m_lostSessionError.clear();

    long number = 0;
    for (CObjectEntry& entry : m_ObjectList) {
        char text[64];
        std::snprintf(text, sizeof text, "Analyzing sql statement %ld...", ++number);
        if (!ProgressStep(text)) return;
        if (entry.m_Status != kStatusAnalyzed) continue;
        if (!IsExplainable(entry.m_CommandType)) {
            entry.SetStatus(kStatusNotAnalyzed);
            continue;
        }
        const CExplainPlanCall::SResult result = call.Explain(entry.m_SqlText, OptimizerGoalFor(entry.m_OptimizerMode));
        if (result.tooLong) {
            entry.SetStatus(kStatusError);
            entry.SetErrorMessage(kTooLongMessage);
            continue;
        }
        if (trace != nullptr) {
            *trace << "Cmd    = [" << entry.m_SqlText << "]\r\n";
            *trace << "Opt    = [" << entry.m_OptimizerMode << "]\r\n";
            *trace << "Plan   = [" << result.plan << "]\r\n";
            *trace << "Return = [" << (result.called ? 1 : 0) << "]\r\n";
            *trace << "Stat   = [" << result.errorCode << "]\r\n";
            *trace << "Error  = [" << result.error << "]\r\n";
            trace->WriteLine("");
        }
        if (!result.called && m_stopAtLostSession && IsSessionEndingError(result.errorCode)) {
            // Every further explain would fail the same way: the load ends here.
            m_lostSessionError = result.errorText;
            entry.SetStatus(kStatusError);
            entry.SetErrorMessage(result.errorText);
            return;
        }
        if (!result.called || !result.error.empty()) {
            entry.SetStatus(kStatusError);
            entry.SetErrorMessage(result.error);
            continue;
        }
        entry.SetSqlPlan(result.plan);
        entry.SetPlanCost(ParsePlanCost(result.plan));
        entry.SetNoOfFullTableScans(CountFullTableScans(result.plan));
    }
}

}  // namespace corvid
