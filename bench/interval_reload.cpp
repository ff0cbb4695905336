// Two loads of the large scenario with analysis on and a known workload between
// them (1 % of the statements new, about 10 % executed again): the first load
// explains every statement, the second keeps the plans of the statements that
// did not change and explains only the new ones. Prints both times and their
// ratio, and a third load that explains everything again for comparison.
//
// Usage: bench_interval_reload [STATEMENTS [DEMO_SCENARIO_FILE]]

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

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

double TimedLoad(CCorvidDoc& doc) {
    const Clock::time_point start = Clock::now();
    doc.LoadJob(nullptr);
    return SecondsSince(start);
}

}  // namespace

int main(int argc, char** argv) {
    const long statements = argc > 1 ? std::atol(argv[1]) : 100000;
    std::string demo = argc > 2 ? argv[2] : std::string(__FILE__);
    if (argc <= 2) demo = demo.substr(0, demo.rfind('/')) + "/../ocisim/scenarios/demo.scn";
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

    std::printf("Two loads with analysis, %ld statements, 1 %% new and about 10 %% executed again between\n",
                statements);
    const double first = TimedLoad(doc);
    connection.ExecuteStatement("/* $CORVID$ */ BEGIN DBMS_LOCK.SLEEP(900); END;");
    const double second = TimedLoad(doc);
    const SIntervalSummary& interval = doc.GetIntervalSummary();
    std::printf("  first load:  %8.3f s (%ld statements, every one explained)\n", first,
                static_cast<long>(doc.GetCollection().GetSize()));
    std::printf("  second load: %8.3f s (%d new, %d changed, %d gone; plans of the others kept)\n", second,
                interval.newCount, interval.changedCount, interval.goneCount);
    std::printf("  ratio second/first: %.3f (target at most 0.333)\n", second / first);

    doc.m_ExplainAll = 1;
    connection.ExecuteStatement("/* $CORVID$ */ BEGIN DBMS_LOCK.SLEEP(900); END;");
    const double again = TimedLoad(doc);
    std::printf("  third load explaining every statement again: %8.3f s; ratio to the first %.3f\n", again,
                again / first);
    session.Disconnect();
    return 0;
}
