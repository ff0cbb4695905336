// Figures of the analysis with the plans of the cursor cache against the explain
// of every statement: the same pool loaded once per run without analysis, then
// analysed one way or the other on a fresh server, alternated so that a change of
// the machine's load touches both alike.
//
// Both the elapsed time and the processor time of the process (client and
// simulated server alike) are printed: on a machine shared with other work the
// processor time is the steadier measure of the two.
//
// Usage: bench_cursor_plans [STATEMENTS [RUNS]]   (the demo database with that many
// statements, 100000 unless given; 3 runs of each kind unless given)

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <time.h>

#include "bench/BenchFigures.h"
#include "app/Session.h"
#include "collection/CorvidDoc.h"
#include "oracle/OracleConnection.h"
#include "platform/DynamicLibrary.h"
#include "platform/MemorySettingsStore.h"
#include "platform/RecordingPrompter.h"
#include "platform/Services.h"

using namespace corvid;

namespace {

using Clock = std::chrono::steady_clock;

struct SRun {
    double seconds = 0, cpuSeconds = 0;
    long statements = 0, analyzed = 0, fromCache = 0, errors = 0, missingTable = 0;
};


SRun AnalyseOnce(long count, int run, bool cursorPlans) {
    // "demo:N" and "bench:N" name the same database; a changed name builds a new server.
    const std::string scenario = std::string(run % 2 == 0 ? "demo:" : "bench:") + std::to_string(count);
    setenv("CORVID_SIM_SCENARIO", scenario.c_str(), 1);
    auto connection = std::make_unique<COracleConnection>(
        nullptr, 8, std::make_unique<CDlLibraryLoader>(std::vector<std::string>{CORVID_SIM_LIBDIR}));
    if (!connection->Logon("SCOTT", "TIGER", "DEMO", EConnectMode::Normal)) {
        std::fprintf(stderr, "logon failed: %s\n", connection->GetErrorText().c_str());
        std::exit(1);
    }
    CSession session(*connection);
    if (!session.CheckPlanTable() || !session.CreateExplainProcedure()) {
        std::fprintf(stderr, "cannot install the explain procedure\n");
        std::exit(1);
    }
    CMemorySettingsStore store;
    CRecordingPrompter quiet;
    CCorvidDoc doc(connection.get(), store, quiet, nullptr);
    doc.SetSaveOnDestroy(false);
    doc.m_Analyze = 0;
    doc.LoadJob(nullptr);
    doc.m_CursorCachePlans = cursorPlans ? 1 : 0;
    const double cpuStart = bench::ProcessorSeconds();
    const Clock::time_point start = Clock::now();
    doc.AnalyzeStatements();
    SRun result;
    result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    result.cpuSeconds = bench::ProcessorSeconds() - cpuStart;
    for (const CObjectEntry& e : doc.GetCollection()) {
        ++result.statements;
        if (e.m_Status == kStatusAnalyzed) ++result.analyzed;
        if (e.m_Status == kStatusAnalyzed && e.m_PlanSource == kPlanFromCursorCache) ++result.fromCache;
        if (e.m_Status == kStatusError) ++result.errors;
        if (e.ErrorMessage().view().rfind("ORA-00942", 0) == 0) ++result.missingTable;
    }
    session.Disconnect();
    return result;
}

bench::SFigure Figure(const std::vector<SRun>& runs, double SRun::*value) {
    std::vector<double> values;
    for (const SRun& r : runs)
        values.push_back(r.*value);
    return bench::Summarise(values);
}

void Print(const char* label, const std::vector<SRun>& runs) {
    const bench::SFigure elapsed = Figure(runs, &SRun::seconds);
    const bench::SFigure cpu = Figure(runs, &SRun::cpuSeconds);
    const SRun& last = runs.back();
    std::printf("  %-28s %8.3f s [%.3f .. %.3f] elapsed, %8.3f s [%.3f .. %.3f] processor; %ld analyzed (%ld from "
                "the cursor cache), %ld errors, %ld of them ORA-00942\n",
                label, elapsed.median, elapsed.low, elapsed.high, cpu.median, cpu.low, cpu.high, last.analyzed,
                last.fromCache, last.errors, last.missingTable);
}

}  // namespace

int main(int argc, char** argv) {
    const long count = argc > 1 ? std::max(1L, std::atol(argv[1])) : 100000;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    CRecordingPrompter quiet;
    SetPrompter(&quiet);
    std::vector<SRun> cache, explain;
    for (int i = 0; i < runs; ++i) {
        explain.push_back(AnalyseOnce(count, 2 * i, false));
        cache.push_back(AnalyseOnce(count, 2 * i + 1, true));
    }
    std::printf("Analysis phase of the demo database with %ld statements (%ld loaded), median of %d runs [range]\n",
                count, cache.back().statements, runs);
    Print("explain of every statement:", explain);
    Print("plans from the cursor cache:", cache);
    std::printf("  cursor cache / explain: %.3f elapsed, %.3f processor (target at most 0.1)\n",
                Figure(cache, &SRun::seconds).median / Figure(explain, &SRun::seconds).median,
                Figure(cache, &SRun::cpuSeconds).median / Figure(explain, &SRun::cpuSeconds).median);
    return 0;
}
