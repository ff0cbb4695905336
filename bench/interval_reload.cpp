// Two loads of the large scenario with analysis on and a known workload between
// them (1 % of the statements new, about 10 % executed again): the first load
// explains every statement, the second keeps the plans of the statements that
// did not change and explains only the new ones. The pair runs ROUNDS times in
// one process (each first load forgets the loads before it); prints the medians
// and ranges of both times and of their ratio, and one load that explains every
// statement again for comparison.
//
// PLANS is "cursor" (the default: plans from the server's cursor cache where it
// has them, explain for the rest) or "explain" (every plan by EXPLAIN PLAN, as
// against a server without the cursor cache's plan view).
//
// Usage: bench_interval_reload [STATEMENTS [ROUNDS [DEMO_SCENARIO_FILE [PLANS]]]]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "BenchFigures.h"
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

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The demo scenario beside this source, with the workload that runs while a session sleeps.
std::string WriteScenario(const std::string& demoPath, long statements) {
    std::ifstream in(demoPath, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", demoPath.c_str());
        std::exit(1);
    }
    std::stringstream text;
    text << in.rdbuf();
    text << "\nworkload new=" << statements / 100 << " touched=" << statements / 10 << " removed=0 at=sleep\n";
    const std::string path = "/tmp/corvid_bench_interval.scn";
    std::ofstream out(path, std::ios::binary);
    out << text.str();
    return path + ":" + std::to_string(statements);
}


// One load; its elapsed seconds, and its processor seconds in `cpu`.
double TimedLoad(CCorvidDoc& doc, double& cpu) {
    const double cpuStart = bench::ProcessorSeconds();
    const Clock::time_point start = Clock::now();
    doc.LoadJob(nullptr);
    cpu = bench::ProcessorSeconds() - cpuStart;
    return SecondsSince(start);
}

void PrintFigure(const char* label, const bench::SFigure& figure, const char* unit) {
    std::printf("  %-34s median %8.3f%s (range %.3f to %.3f)\n", label, figure.median, unit, figure.low, figure.high);
}

}  // namespace

int main(int argc, char** argv) {
    const long statements = argc > 1 ? std::atol(argv[1]) : 100000;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    const std::string demo =
        argc > 3 && argv[3][0] != '\0' ? std::string(argv[3])
                                        : std::string(CORVID_BENCH_SOURCE_DIR) + "/../ocisim/scenarios/demo.scn";
    const std::string plans = argc > 4 ? argv[4] : "cursor";
    if (plans != "cursor" && plans != "explain") {
        std::fprintf(stderr, "PLANS is cursor or explain, not %s\n", plans.c_str());
        return 2;
    }
    CRecordingPrompter quiet;
    SetPrompter(&quiet);
    setenv("CORVID_SIM_SCENARIO", WriteScenario(demo, statements).c_str(), 1);

    COracleConnection connection(nullptr, 8,
                                 std::make_unique<CDlLibraryLoader>(std::vector<std::string>{CORVID_SIM_LIBDIR}));
    if (!connection.Logon("SCOTT", "TIGER", "DEMO", EConnectMode::Normal)) {
        std::fprintf(stderr, "logon failed: %s\n", connection.GetErrorText().c_str());
        return 1;
    }
    CSession session(connection);
    if (!session.CheckPlanTable() || !session.CreateExplainProcedure()) {
        std::fprintf(stderr, "cannot install the explain procedure\n");
        return 1;
    }
    CMemorySettingsStore store;
    CCorvidDoc doc(&connection, store, quiet, nullptr);
    doc.SetSaveOnDestroy(false);
    doc.m_Analyze = 1;
    doc.m_CursorCachePlans = plans == "cursor" ? 1 : 0;
    const std::string sleep = "/* $CORVID$ */ BEGIN DBMS_LOCK.SLEEP(900); END;";

    std::printf("Two loads with analysis (plans: %s), %ld statements, 1 %% new and about 10 %% executed again "
                "between; %d rounds\n",
                plans == "cursor" ? "cursor cache, explain for the rest" : "explain only", statements, rounds);
    std::vector<double> firsts, seconds, ratios, firstCpus, secondCpus, cpuRatios;
    for (int round = 0; round < rounds; ++round) {
        doc.ForgetPreviousLoad();
        double firstCpu = 0, secondCpu = 0;
        const double first = TimedLoad(doc, firstCpu);
        const long firstCount = static_cast<long>(doc.GetCollection().GetSize());
        connection.ExecuteStatement(sleep);
        const double second = TimedLoad(doc, secondCpu);
        const SIntervalSummary& interval = doc.GetIntervalSummary();
        std::printf("  round %d: first %7.3f s (cpu %7.3f s, %ld statements), second %7.3f s (cpu %7.3f s; "
                    "%d new, %d changed, %d gone), ratio %.3f (cpu %.3f)\n",
                    round + 1, first, firstCpu, firstCount, second, secondCpu, interval.newCount,
                    interval.changedCount, interval.goneCount, second / first, secondCpu / firstCpu);
        if (!interval.valid) std::printf("  (the second load found no interval)\n");
        firsts.push_back(first);
        seconds.push_back(second);
        ratios.push_back(second / first);
        firstCpus.push_back(firstCpu);
        secondCpus.push_back(secondCpu);
        cpuRatios.push_back(secondCpu / firstCpu);
        std::fflush(stdout);
    }
    PrintFigure("first load:", bench::Summarise(firsts), " s");
    PrintFigure("second load:", bench::Summarise(seconds), " s");
    PrintFigure("ratio second/first:", bench::Summarise(ratios), "  ");
    PrintFigure("first load, processor time:", bench::Summarise(firstCpus), " s");
    PrintFigure("second load, processor time:", bench::Summarise(secondCpus), " s");
    PrintFigure("ratio of processor times:", bench::Summarise(cpuRatios), "  ");
    std::printf("  target: ratio at most 0.333\n");

    doc.m_ExplainAll = 1;
    connection.ExecuteStatement(sleep);
    double againCpu = 0;
    const double again = TimedLoad(doc, againCpu);
    std::printf("  a load explaining every statement again: %7.3f s (cpu %7.3f s); ratio to the median first load "
                "%.3f\n",
                again, againCpu, again / bench::Summarise(firsts).median);
    session.Disconnect();
    return 0;
}
