// The similar-statement search over a shared pool of 50,000 generated statements of
// realistic shape: many near-copies that differ in their literals, a spread of
// lengths from a line to several kilobytes, the usual command types. First the time
// to the first screen (the 50 nearest) and to the whole sorted result for a statement
// of about a kilobyte, on the simulator's pool of the given scenario (as the program
// loads it) and on the generated pool.
//
// Then a giant chosen statement (about a megabyte of UNION ALL report queries, and a
// query with an IN list of 100,000 literals), each with two near-copies, among
// 10,000 generated statements: the time to the first screen, to the end, the
// progress reports (how many, and the longest gap between two), and how soon a
// cancellation stops the search (from the moment it is asked for until the search
// has returned, asked at several moments of the run).
//
// Usage: bench_sqltext_search [SCENARIO] [--giant-only]   (bench:50000 by default; "none" skips it)

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <ctime>
#include <random>
#include <string>
#include <vector>

#include "bench/BenchFigures.h"
#include "collection/CorvidDoc.h"
#include "collection/ObjectEntry.h"
#include "oracle/OracleConnection.h"
#include "platform/DynamicLibrary.h"
#include "platform/MemorySettingsStore.h"
#include "platform/RecordingPrompter.h"
#include "platform/Services.h"
#include "work/Progress.h"
#include "collection/FindSimilarStatements.h"

namespace {

using corvid::CObjectArray;
using corvid::CObjectEntry;

// Counts what a progress dialog would be shown.
struct CountingProgress : corvid::IProgress {
    void SetProgress(int percent, const std::string& text) override {
        ++calls;
        last = percent;
        bytes += text.size();
    }
    bool IsCancelled() override { return false; }
    long calls = 0;
    int last = 0;
    std::size_t bytes = 0;
};

const char* kTables[] = {"ORDERS",   "ORDER_LINES", "CUSTOMERS", "PRODUCTS", "INVOICES",    "SHIPMENTS",
                         "ACCOUNTS", "GL_JOURNAL",  "EMP",       "DEPT",     "AUDIT_TRAIL", "PRICE_LIST"};
const char* kColumns[] = {"ID",         "CUSTOMER_ID", "ORDER_DATE", "STATUS", "AMOUNT",   "QTY",
                          "PRODUCT_ID", "CREATED_BY",  "UPDATED_AT", "REGION", "CURRENCY", "NOTE"};

std::string Pick(std::mt19937& rng, const char* const* words, int count) {
    return words[rng() % count];
}

std::string ColumnList(std::mt19937& rng, int count) {
    std::string s;
    for (int k = 0; k < count; ++k)
        s += (k ? ", t." : "t.") + Pick(rng, kColumns, 12);
    return s;
}

std::string Conditions(std::mt19937& rng, int count) {
    std::string s;
    for (int k = 0; k < count; ++k) {
        s += k ? "\n   AND t." : " WHERE t.";
        s += Pick(rng, kColumns, 12);
        switch (rng() % 4) {
            case 0:
                s += " = " + std::to_string(rng() % 100000);
                break;
            case 1:
                s += " = '" + std::string(1 + rng() % 8, static_cast<char>('A' + rng() % 26)) + "'";
                break;
            case 2:
                s += " = :b" + std::to_string(1 + rng() % 9);
                break;
            default:
                s += " BETWEEN SYSDATE - " + std::to_string(rng() % 30) + " AND SYSDATE";
                break;
        }
    }
    return s;
}

CObjectEntry Statement(std::mt19937& rng) {
    CObjectEntry e;
    const int shape = static_cast<int>(rng() % 100);
    const std::string table = Pick(rng, kTables, 12);
    if (shape < 55) {
        e.m_CommandType = 3;
        e.m_SqlText =
            "SELECT " + ColumnList(rng, 2 + rng() % 8) + "\n  FROM " + table + " t" + Conditions(rng, 1 + rng() % 5);
        if (rng() % 3 == 0) e.m_SqlText += "\n ORDER BY t." + Pick(rng, kColumns, 12);
    } else if (shape < 70) {
        e.m_CommandType = 2;
        e.m_SqlText = "INSERT INTO " + table + " (" + ColumnList(rng, 3 + rng() % 6) + ") VALUES (:1, :2, :3, " +
                      std::to_string(rng() % 1000) + ")";
    } else if (shape < 85) {
        e.m_CommandType = 6;
        e.m_SqlText = "UPDATE " + table + " t SET t." + Pick(rng, kColumns, 12) + " = " + std::to_string(rng() % 1000) +
                      Conditions(rng, 1 + rng() % 3);
    } else if (shape < 90) {
        e.m_CommandType = 7;
        e.m_SqlText = "DELETE FROM " + table + " t" + Conditions(rng, 1 + rng() % 2);
    } else if (shape < 97) {
        // Reports: long joins with many conditions.
        e.m_CommandType = 3;
        e.m_SqlText = "SELECT /*+ ORDERED */ " + ColumnList(rng, 10 + rng() % 20) + "\n  FROM " + table + " t";
        const int joins = 2 + static_cast<int>(rng() % 10);
        for (int k = 0; k < joins; ++k)
            e.m_SqlText += ", " + Pick(rng, kTables, 12) + " j" + std::to_string(k);
        e.m_SqlText += Conditions(rng, 5 + rng() % 30);
    } else {
        // Generated PL/SQL blocks of several kilobytes.
        e.m_CommandType = 47;
        e.m_SqlText = "BEGIN\n";
        const int lines = 20 + static_cast<int>(rng() % 120);
        for (int k = 0; k < lines; ++k)
            e.m_SqlText += "  pkg_" + Pick(rng, kTables, 12) + ".process(" + std::to_string(rng() % 100000) + ", '" +
                           Pick(rng, kColumns, 12) + "');\n";
        e.m_SqlText += "END;";
    }
    e.m_UserName = rng() % 2 ? "APP" : "BATCH";
    e.m_Executions = rng() % 1000;
    return e;
}

double Run(const CObjectArray& collection, CObjectArray::Index chosen, bool allTypes, unsigned threads,
           std::size_t& results, long& reports, double& cpuSeconds) {
    corvid::SimilarityRun run;
    run.m_Collection = &collection;
    run.m_Chosen = collection[chosen];
    run.m_ChosenPosition = chosen;
    run.m_Options.m_AllCommandTypes = allTypes;
    run.m_MaxThreads = threads;
    CountingProgress progress;
    const std::clock_t cpuStart = std::clock();
    const auto start = std::chrono::steady_clock::now();
    corvid::FindSimilarStatements(run, &progress);
    corvid::SortSimilarResult(run);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    cpuSeconds = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    results = static_cast<std::size_t>(run.m_Result.GetSize());
    reports = progress.calls;
    return seconds;
}

// The first screen (the 50 nearest) and the whole search of one statement on two
// threads, as the desktop runs it: seconds until the first screen is handed over,
// and until the result is sorted.
void FirstScreenAndTotal(const CObjectArray& collection, CObjectArray::Index chosen, bool allTypes, int runs) {
    std::vector<double> firsts, totals, processor;
    for (int r = 0; r < runs; ++r) {
        corvid::SimilarityRun run;
        run.m_Collection = &collection;
        run.m_Chosen = collection[chosen];
        run.m_ChosenPosition = chosen;
        run.m_Options.m_AllCommandTypes = allTypes;
        run.m_MaxThreads = 2;
        const std::clock_t cpuStart = std::clock();
        const auto start = std::chrono::steady_clock::now();
        std::atomic<double> first{-1};
        std::size_t shown = 0;
        run.m_OnFirstScreen = [&](const CObjectArray& nearest, const std::vector<CObjectArray::Index>&, bool) {
            first = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            shown = static_cast<std::size_t>(nearest.GetSize());
        };
        CountingProgress progress;
        corvid::FindSimilarStatements(run, &progress);
        corvid::SortSimilarResult(run);
        totals.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        processor.push_back(static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC);
        firsts.push_back(first);
        if (shown != std::min<std::size_t>(50, static_cast<std::size_t>(run.m_Result.GetSize()))) {
            std::printf("first screen of %zu statements\n", shown);
        }
    }
    const corvid::bench::SFigure first = corvid::bench::Summarise(firsts);
    const corvid::bench::SFigure total = corvid::bench::Summarise(totals);
    const corvid::bench::SFigure cpu = corvid::bench::Summarise(processor);
    std::printf("  %zu-byte statement against %td (%s), 2 threads, medians of %d [range]: first screen (50 nearest) "
                "%.3f s [%.3f..%.3f], all %.3f s [%.3f..%.3f], processor time of all %.3f s [%.3f..%.3f]\n",
                collection[chosen].m_SqlText.size(), collection.GetSize(), allTypes ? "all types" : "same type", runs,
                first.median, first.low, first.high,
                total.median, total.low, total.high, cpu.median, cpu.low, cpu.high);
}

// The statements of the simulator's scenario as the program loads them, without
// analysis; empty when the logon fails.
CObjectArray LoadScenarioPool(const std::string& scenario) {
    setenv("CORVID_SIM_SCENARIO", scenario.c_str(), 1);
    corvid::COracleConnection connection(
        nullptr, 8, std::make_unique<corvid::CDlLibraryLoader>(std::vector<std::string>{CORVID_SIM_LIBDIR}));
    CObjectArray pool;
    if (!connection.Logon("SCOTT", "TIGER", "DEMO", corvid::EConnectMode::Normal)) {
        std::printf("logon to the simulator failed: %s\n", connection.GetErrorText().c_str());
        return pool;
    }
    corvid::CMemorySettingsStore store;
    corvid::CRecordingPrompter prompter;
    {
        corvid::CCorvidDoc doc(&connection, store, prompter, nullptr);
        doc.SetSaveOnDestroy(false);
        doc.m_Analyze = 0;
        doc.LoadJob(nullptr);
        pool = doc.GetCollection();
    }
    connection.Logoff();
    return pool;
}

// The statement whose text is nearest a kilobyte long, or -1.
CObjectArray::Index KilobyteStatement(const CObjectArray& pool) {
    CObjectArray::Index best = -1;
    std::size_t bestGap = 0;
    for (CObjectArray::Index i = 0; i < pool.GetSize(); ++i) {
        const std::size_t size = pool[i].m_SqlText.size();
        const std::size_t gap = size > 1024 ? size - 1024 : 1024 - size;
        if (best < 0 || gap < bestGap) {
            best = i;
            bestGap = gap;
        }
    }
    return best;
}


// What a progress dialog would show during a giant search, and a cancellation asked
// for at a given moment.
struct TimedProgress : corvid::IProgress {
    using Clock = std::chrono::steady_clock;
    explicit TimedProgress(Clock::time_point cancelAt) : cancelAt(cancelAt) {}
    void SetProgress(int, const std::string&) override {
        const auto now = Clock::now();
        if (calls > 0) longestGap = std::max(longestGap, std::chrono::duration<double>(now - last).count());
        last = now;
        ++calls;
    }
    bool IsCancelled() override { return Clock::now() >= cancelAt; }
    Clock::time_point cancelAt;
    Clock::time_point last{};
    long calls = 0;
    double longestGap = 0;
};

// The search for `chosen` among the pool on two threads, cancelled at `cancelAfter`
// seconds (never when negative). Returns the seconds to the end; `first` gets those
// to the first screen (-1 when it never came).
double GiantRun(const CObjectArray& pool, CObjectArray::Index chosen, double cancelAfter, double& first,
                double& cpu, long& reports, double& longestGap, bool& cancelled) {
    corvid::SimilarityRun run;
    run.m_Collection = &pool;
    run.m_Chosen = pool[chosen];
    run.m_ChosenPosition = chosen;
    run.m_MaxThreads = 2;
    run.m_Cancellable = cancelAfter >= 0;
    const auto start = std::chrono::steady_clock::now();
    first = -1;
    run.m_OnFirstScreen = [&](const CObjectArray&, const std::vector<CObjectArray::Index>&, bool) {
        first = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    TimedProgress progress(cancelAfter >= 0
                               ? start + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                             std::chrono::duration<double>(cancelAfter))
                               : std::chrono::steady_clock::time_point::max());
    const double cpuStart = corvid::bench::ProcessorSeconds();
    corvid::FindSimilarStatements(run, &progress);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    cpu = corvid::bench::ProcessorSeconds() - cpuStart;
    reports = progress.calls;
    longestGap = progress.longestGap;
    cancelled = run.m_Cancelled;
    return seconds;
}

// A copy of the giant text with `changes` of its digits changed, as an application
// generates the same statement with other values.
std::string ChangeDigits(std::mt19937& rng, std::string text, int changes) {
    for (int k = 0; k < changes; ++k) {
        std::size_t at = rng() % text.size();
        while (at < text.size() && (text[at] < '0' || text[at] > '9'))
            ++at;
        if (at < text.size()) text[at] = static_cast<char>('0' + (text[at] - '0' + 1) % 10);
    }
    return text;
}

void GiantStatement(const CObjectArray& generated, const char* name, const std::string& giant, int commandType) {
    std::mt19937 rng(99);
    CObjectArray pool = generated;
    CObjectEntry entry;
    entry.m_CommandType = commandType;
    entry.m_UserName = "APP";
    entry.m_SqlText = giant;
    const CObjectArray::Index chosen = pool.GetSize();
    pool.Add(entry);
    for (int k = 0; k < 2; ++k) {
        entry.m_SqlText = ChangeDigits(rng, giant, 20);
        pool.Add(entry);
    }
    std::printf("%s: %zu bytes, with 2 near-copies among %td statements, 2 threads\n", name, giant.size(),
                pool.GetSize() - 3);
    double first = 0, cpu = 0, gap = 0;
    long reports = 0;
    bool cancelled = false;
    const double total = GiantRun(pool, chosen, -1, first, cpu, reports, gap, cancelled);
    std::printf("  whole search: first screen (50 nearest) %.3f s, all %.3f s, processor time %.3f s; "
                "%ld progress reports, longest gap between two %.3f s\n",
                first, total, cpu, reports, gap);
    // Cancelled at moments spread over the run (before and after the first screen).
    std::vector<double> delays;
    for (double at : {0.1, 0.3, 1.0, 2.0, 4.0}) {
        if (at >= total) continue;
        const double seconds = GiantRun(pool, chosen, at, first, cpu, reports, gap, cancelled);
        if (cancelled) delays.push_back(seconds - at);
    }
    const corvid::bench::SFigure delay = corvid::bench::Summarise(delays);
    std::printf("  cancelled at 0.1, 0.3, 1, 2 and 4 s (those before the end): stopped %.3f s after "
                "the cancellation (median of %zu) [%.3f..%.3f]\n",
                delay.median, delays.size(), delay.low, delay.high);
}

// About a megabyte of report queries joined by UNION ALL.
std::string MegabyteStatement(std::mt19937& rng) {
    std::string text;
    while (text.size() < 1000000) {
        CObjectEntry e = Statement(rng);
        if (e.m_CommandType != 3) continue;
        if (!text.empty()) text += "\nUNION ALL\n";
        text += e.m_SqlText;
    }
    return text;
}

std::string InListStatement(std::mt19937& rng) {
    std::string text = "SELECT t.ID, t.STATUS, t.AMOUNT\n  FROM ORDERS t\n WHERE t.ID IN (";
    for (int k = 0; k < 100000; ++k) {
        if (k) text += ", ";
        text += std::to_string(rng() % 10000000);
    }
    return text + ")";
}

}  // namespace

void GiantStatements() {
    std::mt19937 rng(2024);
    CObjectArray generated;
    for (int i = 0; i < 10000; ++i)
        generated.Add(Statement(rng));
    GiantStatement(generated, "a megabyte of UNION ALL", MegabyteStatement(rng), 3);
    GiantStatement(generated, "an IN list of 100,000 literals", InListStatement(rng), 3);
}

int main(int argc, char** argv) {
    const bool giantOnly = argc > 1 && std::strcmp(argv[argc - 1], "--giant-only") == 0;
    const std::string scenario = argc > 1 && !(giantOnly && argc == 2) ? argv[1] : "bench:50000";
    std::printf("(the machine may be shared: wall-clock seconds include waiting for a core)\n");
    if (giantOnly) {
        GiantStatements();
        return 0;
    }
    if (scenario != "none") {
        corvid::CRecordingPrompter quiet;
        corvid::SetPrompter(&quiet);
        CObjectArray pool = LoadScenarioPool(scenario);
        corvid::SetPrompter(nullptr);
        std::printf("scenario '%s': %td statements\n", scenario.c_str(), pool.GetSize());
        const CObjectArray::Index longest = KilobyteStatement(pool);
        if (longest >= 0 && pool[longest].m_SqlText.size() >= 900) {
            FirstScreenAndTotal(pool, longest, false, 3);
            FirstScreenAndTotal(pool, longest, true, 3);
        } else if (longest >= 0) {
            // The scenario's texts are shorter: a generated report query of about a
            // kilobyte is searched for among them, added to the pool.
            std::mt19937 rng(7);
            CObjectEntry report;
            while (report.m_SqlText.size() < 1000 || report.m_SqlText.size() > 1150 || report.m_CommandType != 3)
                report = Statement(rng);
            pool.Add(std::move(report));
            std::printf("  (its longest text has %zu bytes: a generated report query is the chosen statement)\n",
                        pool[longest].m_SqlText.size());
            FirstScreenAndTotal(pool, pool.GetSize() - 1, false, 3);
            FirstScreenAndTotal(pool, pool.GetSize() - 1, true, 3);
        }
    }

    std::mt19937 rng(2024);
    CObjectArray collection;
    std::size_t bytes = 0;
    for (int i = 0; i < 50000; ++i) {
        collection.Add(Statement(rng));
        bytes += collection[i].m_SqlText.size();
    }
    std::printf("collection: %td statements, %.1f MB of SQL text, %.0f bytes on average\n", collection.GetSize(),
                bytes / 1e6, static_cast<double>(bytes) / collection.GetSize());

    // A typical chosen statement, a long report query and a PL/SQL block.
    CObjectArray::Index typical = -1, report = -1, block = -1;
    for (CObjectArray::Index i = 0; i < collection.GetSize(); ++i) {
        const auto& e = collection[i];
        if (typical < 0 && e.m_CommandType == 3 && e.m_SqlText.size() > 150 && e.m_SqlText.size() < 300) typical = i;
        if (report < 0 && e.m_CommandType == 3 && e.m_SqlText.size() > 1200) report = i;
        if (block < 0 && e.m_CommandType == 47 && e.m_SqlText.size() > 4000) block = i;
    }
    // A statement of about a kilobyte, as the search is usually asked for.
    CObjectArray::Index kilobyte = -1;
    for (CObjectArray::Index i = 0; i < collection.GetSize() && kilobyte < 0; ++i) {
        const auto& e = collection[i];
        if (e.m_CommandType == 3 && e.m_SqlText.size() >= 1000 && e.m_SqlText.size() <= 1150) kilobyte = i;
    }
    std::printf("generated pool:\n");
    if (kilobyte >= 0) {
        FirstScreenAndTotal(collection, kilobyte, false, 3);
        FirstScreenAndTotal(collection, kilobyte, true, 3);
    }

    // Wall-clock seconds depend on what else the machine runs; CPU seconds (all
    // threads together) show the work itself.
    std::printf("%-32s %8s %8s %10s %10s %9s %9s\n", "chosen statement", "bytes", "types", "results", "threads",
                "seconds", "cpu s");
    for (auto [name, chosen] : {std::pair{"typical SELECT", typical}, std::pair{"long report SELECT", report},
                                std::pair{"PL/SQL block", block}}) {
        if (chosen < 0) continue;
        for (bool allTypes : {false, true}) {
            for (unsigned threads : {1u, 0u}) {
                std::size_t results = 0;
                long reports = 0;
                double cpu = 0;
                const double seconds = Run(collection, chosen, allTypes, threads, results, reports, cpu);
                std::printf("%-32s %8zu %8s %10zu %10s %9.3f %9.3f\n", name, collection[chosen].m_SqlText.size(),
                            allTypes ? "all" : "same", results, threads == 1 ? "1" : "auto", seconds, cpu);
            }
        }
    }
    GiantStatements();
    return 0;
}
