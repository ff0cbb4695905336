// Figures of the statement families: the family text and the grouping of every
// statement of the large scenario's pool, in statements and megabytes a second,
// beside pt-fingerprint (Debian's percona-toolkit, installed by bench/setup.sh)
// on the same texts written to a file. Both run on one core, in turns, and each
// figure is the median of the runs with their range, so that other work on a
// shared machine weighs on both alike. Times are given by the clock on the wall
// and by the processor time used, which a loaded machine disturbs less.
//
// pt-fingerprint's time is that of the whole command: the shell that starts it,
// Perl's start-up and the compiling of the script, reading the file, making each
// fingerprint and writing them to /dev/null. Its start-up alone (the same command
// on an empty file) is printed beside it.
//
// Usage: bench_families [SCENARIO [RUNS]]   (RUNS: at least 3, 5 by default)

#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "bench/BenchFigures.h"
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

double CpuSeconds(int who) {
    rusage usage{};
    getrusage(who, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// A piece of work timed by the clock on the wall and by the processor time it
// used (user and system), which other work on the machine disturbs less. `who` is
// RUSAGE_SELF for work done here and RUSAGE_CHILDREN for a command it starts.
struct CTimed {
    std::vector<double> m_Wall;
    std::vector<double> m_Cpu;

    template <typename Work>
    void Run(int who, Work work) {
        const double cpu = CpuSeconds(who);
        const Clock::time_point start = Clock::now();
        work();
        m_Wall.push_back(SecondsSince(start));
        m_Cpu.push_back(CpuSeconds(who) - cpu);
    }
};

void PrintSeconds(const char* name, const std::vector<double>& runs) {
    const bench::SFigure figure = bench::Summarise(runs);
    std::printf("  %-23s %8.4f s (range %.4f-%.4f)\n", name, figure.median, figure.low, figure.high);
}

void PrintFigure(const char* name, const std::vector<double>& runs, double statements, double megabytes) {
    const bench::SFigure figure = bench::Summarise(runs);
    std::printf("  %-23s %8.4f s (range %.4f-%.4f)  %10.0f statements/s  %7.1f MB/s\n", name, figure.median,
                figure.low, figure.high, statements / figure.median, megabytes / figure.median);
}

double Median(const std::vector<double>& runs) {
    return bench::Summarise(runs).median;
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
    const int runs = argc > 2 ? std::max(3, std::atoi(argv[2])) : 5;
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
    // The family text alone is measured on the texts laid side by side, as a file
    // holds them: the scanner's own speed, without the fetching of entries and
    // texts from all over the heap that the grouping does.
    std::string allTexts;
    allTexts.reserve(bytes);
    for (const CObjectEntry& entry : pool)
        allTexts += entry.m_SqlText;
    std::vector<std::string_view> texts;
    texts.reserve(static_cast<std::size_t>(pool.GetSize()));
    std::size_t offset = 0;
    for (const CObjectEntry& entry : pool) {
        texts.emplace_back(allTexts.data() + offset, entry.m_SqlText.size());
        offset += entry.m_SqlText.size();
    }
    std::printf("Statement families, scenario '%s': %.0f statements, %.1f MB of text, one core, median of %d runs\n",
                scenario.c_str(), statements, megabytes, runs);

    // pt-fingerprint reads statements separated by semicolons.
    const bool havePt = HavePtFingerprint();
    char path[] = "/tmp/corvid-families-XXXXXX";
    char emptyPath[] = "/tmp/corvid-families-empty-XXXXXX";
    std::string command;
    std::string emptyCommand;
    if (havePt) {
        const int fd = mkstemp(path);
        const int emptyFd = mkstemp(emptyPath);
        if (fd < 0 || emptyFd < 0) return 1;
        close(fd);
        close(emptyFd);
        std::ofstream file(path, std::ios::binary);
        for (const CObjectEntry& entry : pool)
            file << entry.m_SqlText << ";\n";
        command = std::string("pt-fingerprint ") + path + " >/dev/null";
        emptyCommand = std::string("pt-fingerprint ") + emptyPath + " >/dev/null";
    }

    std::size_t sink = 0;
    int families = 0;
    int status = 0;
    CTimed text;
    CTimed grouping;
    CTimed pt;
    CTimed ptStartup;
    for (int run = 0; run < runs; ++run) {
        text.Run(RUSAGE_SELF, [&] {
            std::string family;
            for (const std::string_view sql : texts) {
                family.clear();
                AppendSqlFamilyText(sql, family);
                sink += family.size();
            }
        });
        grouping.Run(RUSAGE_SELF, [&] { families = CStatementFamilies(pool).GetCount(); });
        if (havePt && status == 0) {
            pt.Run(RUSAGE_CHILDREN, [&] { status = std::system(command.c_str()); });
            ptStartup.Run(RUSAGE_CHILDREN, [&] { status |= std::system(emptyCommand.c_str()); });
        }
    }
    if (havePt) {
        std::remove(path);
        std::remove(emptyPath);
    }
    for (const auto& [heading, figures] : {std::pair{"By the clock on the wall:", &CTimed::m_Wall},
                                           std::pair{"By processor time (user + system):", &CTimed::m_Cpu}}) {
        std::printf("%s\n", heading);
        PrintFigure("family text only (*)", text.*figures, statements, megabytes);
        PrintFigure("family text + grouping", grouping.*figures, statements, megabytes);
        if (havePt && status == 0) {
            PrintFigure("pt-fingerprint", pt.*figures, statements, megabytes);
            PrintSeconds("  of which start-up", ptStartup.*figures);
        }
    }
    std::printf("%d families; (*) on the texts side by side in one buffer\n", families);

    if (!havePt) {
        std::printf("pt-fingerprint not installed (bench/setup.sh installs percona-toolkit): skipped\n");
        return sink == 0 ? 1 : 0;
    }
    if (status != 0) {
        std::printf("pt-fingerprint failed (status %d)\n", status);
        return 1;
    }
    std::printf("Family text + grouping takes, of pt-fingerprint's time (median against median; target: at most 0.1):\n");
    std::printf("  by the clock on the wall  %.4f (%.4f without its start-up)\n",
                Median(grouping.m_Wall) / Median(pt.m_Wall),
                Median(grouping.m_Wall) / (Median(pt.m_Wall) - Median(ptStartup.m_Wall)));
    std::printf("  by processor time         %.4f (%.4f without its start-up)\n",
                Median(grouping.m_Cpu) / Median(pt.m_Cpu),
                Median(grouping.m_Cpu) / (Median(pt.m_Cpu) - Median(ptStartup.m_Cpu)));
    return sink == 0 ? 1 : 0;
}
