// Figures of the statement families: the family text and the grouping of every
// statement of the large scenario's pool, in statements and megabytes a second,
// beside pt-fingerprint (Debian's percona-toolkit, installed by bench/setup.sh)
// on the same texts written to a file. Both run on one core.
//
// Usage: bench_families [SCENARIO]

#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "collection/CorvidDoc.h"
#include "collection/StatementFamilies.h"
#include "oracle/OracleConnection.h"
#include "platform/DynamicLibrary.h"
#include "platform/MemorySettingsStore.h"
#include "platform/RecordingPrompter.h"
#include "platform/Services.h"
#include "sqltext/SqlFamilyText.h"

using namespace corvid;

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The best of a few runs: the figure least disturbed by other work on the machine.
template <typename Work>
double BestSeconds(int runs, Work work) {
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        const Clock::time_point start = Clock::now();
        work();
        best = std::min(best, SecondsSince(start));
    }
    return best;
}

CObjectArray LoadPool() {
    COracleConnection connection(nullptr, 8,
                                 std::make_unique<CDlLibraryLoader>(std::vector<std::string>{CORVID_SIM_LIBDIR}));
    if (!connection.Logon("SCOTT", "TIGER", "DEMO", EConnectMode::Normal)) {
        std::fprintf(stderr, "logon failed: %s\n", connection.GetErrorText().c_str());
        std::exit(1);
    }
    CMemorySettingsStore store;
    CRecordingPrompter prompter;
    CObjectArray pool;
    {
        CCorvidDoc doc(&connection, store, prompter, nullptr);
        doc.SetSaveOnDestroy(false);
        doc.m_Analyze = 0;
        doc.LoadJob(nullptr);
        pool = doc.GetCollection();
    }
    connection.Logoff();
    return pool;
}

bool HavePtFingerprint() {
    return std::system("command -v pt-fingerprint >/dev/null 2>&1") == 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string scenario = argc > 1 ? argv[1] : "bench";
    CRecordingPrompter quiet;
    SetPrompter(&quiet);
    setenv("CORVID_SIM_SCENARIO", scenario.c_str(), 1);

    // One core for this process and what it starts.
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(sched_getcpu() >= 0 ? sched_getcpu() : 0, &one);
    sched_setaffinity(0, sizeof one, &one);

    const CObjectArray pool = LoadPool();
    std::size_t bytes = 0;
    for (const CObjectEntry& entry : pool)
        bytes += entry.m_SqlText.size();
    const double statements = static_cast<double>(pool.GetSize());
    const double megabytes = static_cast<double>(bytes) / 1e6;
    std::printf("Statement families, scenario '%s': %.0f statements, %.1f MB of text, one core\n", scenario.c_str(),
                statements, megabytes);

    std::size_t sink = 0;
    const double textSeconds = BestSeconds(3, [&] {
        std::string family;
        for (const CObjectEntry& entry : pool) {
            family.clear();
            AppendSqlFamilyText(entry.m_SqlText, family);
            sink += family.size();
        }
    });
    int families = 0;
    const double groupSeconds = BestSeconds(3, [&] { families = CStatementFamilies(pool).GetCount(); });
    std::printf("  family text only        %8.3f s  %10.0f statements/s  %7.1f MB/s\n", textSeconds,
                statements / textSeconds, megabytes / textSeconds);
    std::printf("  family text + grouping  %8.3f s  %10.0f statements/s  %7.1f MB/s  (%d families)\n", groupSeconds,
                statements / groupSeconds, megabytes / groupSeconds, families);

    if (!HavePtFingerprint()) {
        std::printf("  pt-fingerprint          not installed (bench/setup.sh installs percona-toolkit): skipped\n");
        return sink == 0 ? 1 : 0;
    }
    // pt-fingerprint reads statements separated by semicolons.
    char path[] = "/tmp/corvid-families-XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0) return 1;
    close(fd);
    {
        std::ofstream file(path, std::ios::binary);
        for (const CObjectEntry& entry : pool)
            file << entry.m_SqlText << ";\n";
    }
    const std::string command = std::string("pt-fingerprint ") + path + " >/dev/null";
    int status = 0;
    const double ptSeconds = BestSeconds(1, [&] { status = std::system(command.c_str()); });
    std::remove(path);
    if (status != 0) {
        std::printf("  pt-fingerprint          failed (status %d)\n", status);
        return 1;
    }
    std::printf("  pt-fingerprint          %8.3f s  %10.0f statements/s  %7.1f MB/s\n", ptSeconds,
                statements / ptSeconds, megabytes / ptSeconds);
    std::printf("  family text + grouping takes %.4f of pt-fingerprint's time (target: at most 0.1)\n",
                groupSeconds / ptSeconds);
    return sink == 0 ? 1 : 0;
}
