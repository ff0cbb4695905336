// The desktop's F5 beside the headless report's load: the same document reloads
// the same pool, once under the real "Please wait" dialog (Qt, offscreen) and once
// under the report's console display (quiet, as in a cron job). Analysis off on
// the large pool and on for a smaller one. Medians of RUNS alternating runs with
// their ranges.
//
// Usage: QT_QPA_PLATFORM=offscreen bench_desktop_reload [STATEMENTS [ANALYSED [RUNS]]]
//        (100000 statements without analysis, 20000 with it, 3 runs unless given)

#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "app/Session.h"
#include "collection/CorvidDoc.h"
#include "dialogs/qt/ProgressDlgRunner.h"
#include "oracle/OracleConnection.h"
#include "platform/DynamicLibrary.h"
#include "platform/MemorySettingsStore.h"
#include "platform/RecordingPrompter.h"
#include "platform/Services.h"
#include "work/ConsoleProgressDisplay.h"
#include "work/ProgressRunner.h"

using namespace corvid;

namespace {

using Clock = std::chrono::steady_clock;

struct SFigure {
    double median = 0, low = 0, high = 0;
};

SFigure Summarise(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return {values[values.size() / 2], values.front(), values.back()};
}

// One F5: a reload of the whole pool through the runner; its seconds.
double Reload(IProgressRunner& runner, bool analyse, long* statements) {
    auto connection = std::make_unique<COracleConnection>(
        nullptr, 8, std::make_unique<CDlLibraryLoader>(std::vector<std::string>{CORVID_SIM_LIBDIR}));
    if (!connection->Logon("SCOTT", "TIGER", "DEMO", EConnectMode::Normal)) {
        std::fprintf(stderr, "logon failed: %s\n", connection->GetErrorText().c_str());
        std::exit(1);
    }
    CSession session(*connection);
    if (analyse && (!session.CheckPlanTable() || !session.CreateExplainProcedure())) {
        std::fprintf(stderr, "cannot install the explain procedure\n");
        std::exit(1);
    }
    CMemorySettingsStore store;
    CRecordingPrompter quiet;
    CCorvidDoc doc(connection.get(), store, quiet, &runner);
    doc.SetSaveOnDestroy(false);
    doc.m_Analyze = analyse ? 1 : 0;
    const Clock::time_point start = Clock::now();
    if (!doc.Reload()) {
        std::fprintf(stderr, "the reload did not complete\n");
        std::exit(1);
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    *statements = static_cast<long>(doc.GetCollection().GetSize());
    session.Disconnect();
    return seconds;
}

void Measure(const char* what, const std::string& scenario, bool analyse, int runs) {
    setenv("CORVID_SIM_SCENARIO", scenario.c_str(), 1);
    CProgressDlgRunner desktop;
    CConsoleProgressDisplay console(stderr, false);
    CProgressRunner headless(console);
    long statements = 0;
    Reload(headless, analyse, &statements);  // builds the server and warms it up
    std::vector<double> dialog, report;
    for (int i = 0; i < runs; ++i) {
        dialog.push_back(Reload(desktop, analyse, &statements));
        report.push_back(Reload(headless, analyse, &statements));
    }
    const SFigure d = Summarise(dialog), r = Summarise(report);
    std::printf("%s, %ld statements:\n", what, statements);
    std::printf("  under the progress dialog %7.3f s [%.3f..%.3f]   headless %7.3f s [%.3f..%.3f]   ratio %.2f "
                "(target 1.15: %s)\n",
                d.median, d.low, d.high, r.median, r.low, r.high, d.median / r.median,
                d.median <= 1.15 * r.median ? "met" : "NOT MET");
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const long large = argc > 1 ? std::max(1L, std::atol(argv[1])) : 100000;
    const long analysed = argc > 2 ? std::max(1L, std::atol(argv[2])) : 20000;
    const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;
    CRecordingPrompter quiet;
    SetPrompter(&quiet);
    std::printf("F5 of the desktop beside the headless report's load; medians of %d runs [range]\n", runs);
    Measure("analysis off", "demo:" + std::to_string(large), false, runs);
    Measure("analysis on", "demo:" + std::to_string(analysed), true, runs);
    SetPrompter(nullptr);
    return 0;
}
