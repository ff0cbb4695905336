// Figures of the HTML report of a large pool: the size of the page and the time
// it takes beyond the load (building the report's model from the loaded
// statements, and saving the page through the atomic writer), each
// printed beside its target. The load of the simulated pool is timed apart, once,
// since its time is the simulator's as much as Corvid's.
//
// Usage: bench_report [SCENARIO [RUNS [TOP]]]   (RUNS: at least 3, 5 by default; TOP 20)

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <numeric>
#include <string>
#include <vector>

#include "bench/BenchFigures.h"
#include "collection/CorvidDoc.h"
#include "oracle/OracleConnection.h"
#include "platform/DynamicLibrary.h"
#include "platform/MemorySettingsStore.h"
#include "platform/RecordingPrompter.h"
#include "platform/Services.h"
#include "report/ReportWriter.h"
#include "report/StatementReport.h"

using namespace corvid;

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

struct STimed {
    std::vector<double> wall;
    std::vector<double> cpu;

    template <typename Work>
    void Run(Work work) {
        const double cpuStart = bench::ProcessorSeconds();
        const Clock::time_point start = Clock::now();
        work();
        wall.push_back(SecondsSince(start));
        cpu.push_back(bench::ProcessorSeconds() - cpuStart);
    }
};

void Print(const char* name, const STimed& timed, const char* target) {
    const bench::SFigure wall = bench::Summarise(timed.wall);
    const bench::SFigure cpu = bench::Summarise(timed.cpu);
    std::printf("  %-28s wall %7.4f s (range %.4f-%.4f)   processor %7.4f s (range %.4f-%.4f)%s\n", name, wall.median,
                wall.low, wall.high, cpu.median, cpu.low, cpu.high, target);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string scenario = argc > 1 ? argv[1] : "bench";
    const int runs = argc > 2 ? std::max(3, std::atoi(argv[2])) : 5;
    const int top = argc > 3 ? std::max(1, std::atoi(argv[3])) : 20;
    CRecordingPrompter quiet;
    SetPrompter(&quiet);
    setenv("CORVID_SIM_SCENARIO", scenario.c_str(), 1);

    COracleConnection connection(nullptr, 8,
                                 std::make_unique<CDlLibraryLoader>(std::vector<std::string>{CORVID_SIM_LIBDIR}));
    if (!connection.Logon("SCOTT", "TIGER", "DEMO", EConnectMode::Normal)) {
        std::fprintf(stderr, "logon failed: %s\n", connection.GetErrorText().c_str());
        return 1;
    }
    CMemorySettingsStore store;
    CCorvidDoc doc(&connection, store, quiet, nullptr);
    doc.SetSaveOnDestroy(false);
    doc.m_Analyze = 0;
    STimed load;
    load.Run([&] { doc.LoadJob(nullptr); });
    connection.Logoff();

    const CObjectArray& pool = doc.GetCollection();
    SStatementReportSource source;
    source.collection = &pool;
    source.positions.resize(static_cast<std::size_t>(pool.GetSize()));
    std::iota(source.positions.begin(), source.positions.end(), CObjectArray::Index{0});
    source.title = "SQL statements in the Oracle SGA";
    source.database = "DEMO";
    source.user = "SCOTT";
    source.poolBufferGets = doc.GetTotalBufferGets();
    source.poolDiskReads = doc.GetTotalDiskReads();
    source.topCount = top;

    char folder[] = "/tmp/corvid-bench-report-XXXXXX";
    if (::mkdtemp(folder) == nullptr) return 1;
    const std::string file = std::string(folder) + "/report.html";

    STimed build, write, save, total;
    std::size_t size = 0;
    for (int run = 0; run < runs; ++run) {
        SReportModel model;
        std::string page;
        // What corvid-report does: build the model and save the page.
        total.Run([&] {
            build.Run([&] { model = BuildStatementReport(source); });
            save.Run([&] {
                if (!CReportWriter(model).Save(file)) std::exit(1);
            });
        });
        write.Run([&] { page = CReportWriter(model).Page(); });
        size = page.size();
    }
    std::remove(file.c_str());
    ::rmdir(folder);

    std::printf("HTML report, scenario '%s': %d statements loaded (analysis off), top %d, median of %d runs\n",
                scenario.c_str(), static_cast<int>(pool.GetSize()), top, runs);
    Print("load (simulator and Corvid)", load, "   (once, not part of the report)");
    Print("build the report's model", build, "");
    Print("(the page alone, in memory)", write, "   (part of the save)");
    Print("save the page (atomic file)", save, "");
    const bench::SFigure wall = bench::Summarise(total.wall);
    Print("report beyond the load", total, wall.median < 1.0 ? "   target < 1 s: met" : "   target < 1 s: MISSED");
    std::printf("  %-28s %.2f MB (%zu bytes)%s\n", "page size", static_cast<double>(size) / 1e6, size,
                size < 5'000'000 ? "   target < 5 MB: met" : "   target < 5 MB: MISSED");
    return 0;
}
