// Figures of the history store, each printed beside its target:
//  1. recording the first snapshot of the `bench` pool (100,000 statements)
//     against the load's own time in the same run: SQLite, and PostgreSQL when
//     a server is at hand (a throwaway cluster of Debian's binaries);
//  2. a generated store of DAYS days, a snapshot every 15 minutes with CHANGED
//     changed statements each: bytes per stored statement row in SQLite
//     (indexes included; texts and plans counted apart), the window of one
//     day's top 100, the comparison of two days, removing a day by retention;
//  3. PostgreSQL ingest with eight writers at once, rows per second.
// Times are medians of RUNS runs with their range, processor time beside wall
// time; the simulator's load is timed apart from the recording.
//
// Usage: bench_history [DAYS [CHANGED [RUNS [SCENARIO]]]]
//   DAYS 2 and CHANGED 10000 unless given (the full figure is DAYS 30);
//   RUNS 3; SCENARIO the simulator's `bench`.

#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "bench/BenchFigures.h"
#include "collection/CorvidDoc.h"
#include "history/HistoryRecorder.h"
#include "history/HistoryStore.h"
#include "history/HistoryWindow.h"
#include "history/StoredFigures.h"
#include "oracle/OracleConnection.h"
#include "platform/DynamicLibrary.h"
#include "platform/MemorySettingsStore.h"
#include "platform/RecordingPrompter.h"
#include "platform/Services.h"
#include "../tests/support/PostgresCluster.h"

using namespace corvid;
using corvid::bench::ProcessorSeconds;
using corvid::bench::SFigure;
using corvid::bench::Summarise;

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void Print(const char* what, const SFigure& wall, const SFigure& cpu, const char* target) {
    std::printf("  %-46s %9.3f s [%.3f..%.3f]  cpu %8.3f s   target: %s\n", what, wall.median, wall.low, wall.high,
                cpu.median, target);
}

struct STimed {
    std::vector<double> wall, cpu;
    template <typename F>
    void Run(F&& work) {
        const double c0 = ProcessorSeconds();
        const auto t0 = Clock::now();
        work();
        wall.push_back(SecondsSince(t0));
        cpu.push_back(ProcessorSeconds() - c0);
    }
};

SSnapshotHeader HeaderAt(std::int64_t seconds, std::int64_t dbid) {
    SSnapshotHeader header;
    header.database.dbid = dbid;
    header.database.name = "BENCH" + std::to_string(dbid);
    header.database.startupTime = "2026-01-01/00:00:00";
    header.serverTime = FormatServerTime(seconds);
    return header;
}

// A pool of `count` distinct statements shaped like a real one's.
CObjectArray SyntheticPool(int count) {
    CObjectArray pool;
    pool.SetSize(count);
    for (int i = 0; i < count; ++i) {
        CObjectEntry& e = pool[i];
        char address[24];
        std::snprintf(address, sizeof address, "%016X", 0x7F000000u + static_cast<unsigned>(i) * 64u);
        e.m_Address = address;
        e.m_FirstLoadTime = "2026-01-01/00:10:00";
        e.m_SqlText = "SELECT c1, c2 FROM table_" + std::to_string(i % 300) + " WHERE id = " + std::to_string(i);
        e.m_SqlId = "b" + std::to_string(1000000000000LL + i).substr(1);
        e.m_UserName = i % 7 == 0 ? "BATCH" : "APP";
        e.m_OptimizerMode = "ALL_ROWS";
        e.m_CommandType = 3;
        e.m_HasServerFigures = true;
        e.m_HashValue = 1000003.0 * i;
        e.m_PlanHashValue = 2000000 + i % 5000;
        e.m_SharableMem = 18000 + i % 900;
        e.m_VersionCount = 1;
        e.m_Loads = 1;
    }
    return pool;
}

// Moves `changed` statements of the pool (a rotating slice), as a busy server does.
void Advance(CObjectArray& pool, int changed, int step, std::int64_t now, CObjectArray& out) {
    out.RemoveAll();
    const int size = static_cast<int>(pool.GetSize());
    for (int k = 0; k < changed; ++k) {
        CObjectEntry& e = pool[(step * 7919 + k * 13) % size];
        const double runs = 1 + (k % 17);
        e.m_Executions += runs;
        e.m_BufferGets += runs * (4 + k % 50);
        e.m_DiskReads += k % 3;
        e.m_RowsProcessed += runs;
        e.m_ParseCalls += 1;
        e.m_ElapsedTime += runs * 350;
        e.m_CpuTime += runs * 200;
        e.m_LastActiveTime = FormatServerTime(now - k % 600);
        out.Add(e);
    }
}

std::int64_t Scalar(sqlite3* db, const char* sql) {
    sqlite3_stmt* stmt = nullptr;
    std::int64_t value = -1;
    if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) == SQLITE_OK && sqlite3_step(stmt) == SQLITE_ROW)
        value = sqlite3_column_int64(stmt, 0);
    sqlite3_finalize(stmt);
    return value;
}

// 1: the first snapshot of the simulator's large pool.
void FirstSnapshot(const std::string& scenario, int runs, const std::string& dir, corvid::testing::CPostgresCluster* pg) {
    std::printf("First snapshot of the '%s' pool (runs: %d)\n", scenario.c_str(), runs);
    ::setenv("CORVID_SIM_SCENARIO", scenario.c_str(), 1);
    const char* libDir = std::getenv("CORVID_SIM_LIBDIR");
    CRecordingPrompter prompter;
    SetPrompter(&prompter);
    CMemorySettingsStore settings;
    COracleConnection connection(nullptr, 8,
                                 std::make_unique<CDlLibraryLoader>(std::vector<std::string>{
                                     libDir != nullptr ? libDir : CORVID_SIM_LIBDIR}));
    if (!connection.Logon("SCOTT", "TIGER", "DEMO", EConnectMode::Normal)) {
        std::printf("  cannot log on to the simulator: %s\n", connection.GetErrorText().c_str());
        return;
    }
    STimed load, sqlite, postgres;
    std::size_t statements = 0;
    for (int r = 0; r < runs; ++r) {
        CCorvidDoc doc(&connection, settings, prompter, nullptr);
        doc.SetSaveOnDestroy(false);
        doc.m_Analyze = 0;
        load.Run([&] { doc.Reload(); });
        statements = static_cast<std::size_t>(doc.GetCollection().GetSize());
        SSnapshotHeader header;
        ReadDatabaseIdentity(connection, header.database);
        header.serverTime = doc.GetServerTime();
        auto record = [&](const std::string& location, STimed& timed) {
            std::string error;
            auto store = OpenHistoryStore(location, error);
            if (!store) {
                std::printf("  %s\n", error.c_str());
                return;
            }
            CHistoryRecorder recorder(*store);
            std::int64_t id = 0;
            timed.Run([&] {
                if (!recorder.Record(header, doc.GetCollection(), id, error)) std::printf("  %s\n", error.c_str());
            });
        };
        const std::string file = dir + "/first" + std::to_string(r) + ".sqlite";
        record(file, sqlite);
        std::filesystem::remove(file);
        std::filesystem::remove(file + "-wal");
        std::filesystem::remove(file + "-shm");
        if (pg != nullptr) record(pg->NewDatabase(), postgres);
    }
    connection.Logoff();
    SetPrompter(nullptr);
    const SFigure loadWall = Summarise(load.wall);
    std::printf("  statements: %zu\n", statements);
    Print("load (simulator and Corvid)", loadWall, Summarise(load.cpu), "-");
    Print("record into SQLite", Summarise(sqlite.wall), Summarise(sqlite.cpu), "-");
    std::vector<double> ratios;
    for (std::size_t i = 0; i < sqlite.wall.size() && i < load.wall.size(); ++i)
        ratios.push_back(sqlite.wall[i] / load.wall[i]);
    SFigure ratio = Summarise(ratios);
    std::printf("  SQLite recording / load: %.3f [%.3f..%.3f]   target: at most 0.3\n", ratio.median, ratio.low,
                ratio.high);
    if (!postgres.wall.empty()) {
        Print("record into PostgreSQL (COPY)", Summarise(postgres.wall), Summarise(postgres.cpu), "-");
        ratios.clear();
        for (std::size_t i = 0; i < postgres.wall.size() && i < load.wall.size(); ++i)
            ratios.push_back(postgres.wall[i] / load.wall[i]);
        ratio = Summarise(ratios);
        std::printf("  PostgreSQL recording / load: %.3f [%.3f..%.3f]   target: at most 0.6\n", ratio.median,
                    ratio.low, ratio.high);
    } else {
        std::printf("  PostgreSQL: no server at hand, not measured\n");
    }
}

// 2: a generated store of many days.
void GeneratedStore(int days, int changed, int runs, const std::string& dir) {
    constexpr int kPerDay = 96;
    const int poolSize = std::max(changed * 4, 1000);
    std::printf("Generated store: %d days x %d snapshots x %d changed statements (pool of %d)\n", days, kPerDay,
                changed, poolSize);
    const std::string path = dir + "/generated.sqlite";
    std::string error;
    auto store = OpenHistoryStore(path, error);
    if (!store) {
        std::printf("  %s\n", error.c_str());
        return;
    }
    CObjectArray pool = SyntheticPool(poolSize), moved;
    std::int64_t start = 0;
    ParseServerTime("2026-02-01/00:00:00", start);
    const auto t0 = Clock::now();
    const double c0 = ProcessorSeconds();
    std::int64_t id = 0;
    // The first snapshot holds the whole pool, as a first recording does.
    if (!store->RecordSnapshot(HeaderAt(start, 1), pool, id, error)) std::printf("  %s\n", error.c_str());
    long long rows = poolSize;
    for (int s = 1; s < days * kPerDay; ++s) {
        const std::int64_t now = start + static_cast<std::int64_t>(s) * 900;
        Advance(pool, changed, s, now, moved);
        if (!store->RecordSnapshot(HeaderAt(now, 1), moved, id, error)) {
            std::printf("  %s\n", error.c_str());
            return;
        }
        rows += changed;
    }
    const double generateWall = SecondsSince(t0);
    std::printf("  generated %lld statement rows in %.1f s (cpu %.1f s): %.0f rows/s\n", rows, generateWall,
                ProcessorSeconds() - c0, static_cast<double>(rows) / generateWall);
    store.reset();

    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_exec(db, "PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr, nullptr);
    const std::int64_t pageSize = Scalar(db, "PRAGMA page_size");
    const std::int64_t pages = Scalar(db, "PRAGMA page_count");
    const std::int64_t freePages = Scalar(db, "PRAGMA freelist_count");
    const std::int64_t rowBytes =
        Scalar(db, "SELECT SUM(pgsize) FROM dbstat WHERE name IN ('figures', 'figures_by_statement')");
    const std::int64_t textBytes =
        Scalar(db, "SELECT SUM(pgsize) FROM dbstat WHERE name IN ('statement', 'plan', 'name_') "
                   "OR name LIKE 'sqlite_autoindex_statement%' OR name LIKE 'sqlite_autoindex_name_%'");
    sqlite3_close(db);
    std::printf("  file %.1f MB (%lld pages of %lld bytes, %lld free)\n",
                static_cast<double>(pages * pageSize) / 1e6, static_cast<long long>(pages),
                static_cast<long long>(pageSize), static_cast<long long>(freePages));
    if (rowBytes > 0) {
        std::printf("  bytes per stored statement row (figures and their index): %.1f   target: at most 40\n",
                    static_cast<double>(rowBytes) / static_cast<double>(rows));
        std::printf("  texts, plans and names apart: %.1f MB; everything per row: %.1f bytes\n",
                    static_cast<double>(textBytes) / 1e6,
                    static_cast<double>(pages * pageSize) / static_cast<double>(rows));
    } else {
        std::printf("  bytes per stored statement row (whole file, no dbstat): %.1f   target: at most 40\n",
                    static_cast<double>(pages * pageSize) / static_cast<double>(rows));
    }

    store = OpenHistoryStore(path, error);
    std::vector<SStoredDatabase> databases;
    store->ListDatabases(databases, error);
    std::vector<SStoredSnapshot> snapshots;
    store->ListSnapshots(databases.at(0).id, snapshots, error);
    STimed window, compare;
    std::size_t top = 0;
    for (int r = 0; r < runs; ++r) {
        const int day = days > 1 ? 1 + r % (days - 1) : 0;
        const std::size_t first = static_cast<std::size_t>(day * kPerDay);
        const std::size_t last = std::min(first + kPerDay - 1 + (days > 1 ? 1 : 0), snapshots.size() - 1);
        window.Run([&] {
            SWindowFigures figures;
            if (!ComputeWindow(*store, snapshots, first, last, figures, error)) std::printf("  %s\n", error.c_str());
            std::vector<const CObjectEntry*> order;
            for (const CObjectEntry& e : figures.statements) order.push_back(&e);
            const std::size_t n = std::min<std::size_t>(100, order.size());
            std::partial_sort(order.begin(), order.begin() + static_cast<std::ptrdiff_t>(n), order.end(),
                              [](const CObjectEntry* a, const CObjectEntry* b) {
                                  return a->Interval().bufferGets > b->Interval().bufferGets;
                              });
            top = n;
        });
        if (days >= 3) {
            const std::size_t other = first >= static_cast<std::size_t>(kPerDay) ? first - kPerDay : first + kPerDay;
            compare.Run([&] {
                SWindowFigures a, b;
                ComputeWindow(*store, snapshots, other, other + kPerDay, a, error);
                ComputeWindow(*store, snapshots, first, last, b, error);
                const std::vector<SCompareRow> compared = CompareWindows(a, b, ECompareMeasure::BufferGets);
                if (compared.empty()) std::printf("  empty comparison\n");
            });
        }
    }
    std::printf("  (top %zu of a day's window)\n", top);
    Print("window of one day, top 100", Summarise(window.wall), Summarise(window.cpu), "within 1 s");
    if (!compare.wall.empty()) {
        Print("comparison of two days", Summarise(compare.wall), Summarise(compare.cpu), "within 2 s");
    } else {
        std::printf("  comparison of two days: needs at least 3 days\n");
    }
    STimed retention;
    retention.Run([&] {
        std::int64_t removed = 0;
        if (!store->RemoveBefore(start + 86400, removed, error)) std::printf("  %s\n", error.c_str());
    });
    Print("removing a day by retention (once)", Summarise(retention.wall), Summarise(retention.cpu), "within 5 s");
}

// 3: eight writers into one PostgreSQL database, each its own database of the store.
void PostgresIngest(corvid::testing::CPostgresCluster& pg, int changed) {
    constexpr int kWriters = 8;
    constexpr int kSnapshots = 6;
    const std::string location = pg.NewDatabase();
    std::string error;
    { auto prepare = OpenHistoryStore(location, error); }
    std::printf("PostgreSQL ingest: %d writers x %d snapshots x %d statements\n", kWriters, kSnapshots, changed);
    std::vector<std::thread> writers;
    std::vector<long long> written(kWriters, 0);
    const auto t0 = Clock::now();
    for (int w = 0; w < kWriters; ++w) {
        writers.emplace_back([&, w] {
            std::string failure;
            auto store = OpenHistoryStore(location, failure);
            if (!store) return;
            CObjectArray pool = SyntheticPool(changed), moved;
            std::int64_t start = 0, id = 0;
            ParseServerTime("2026-02-01/00:00:00", start);
            for (int s = 0; s < kSnapshots; ++s) {
                Advance(pool, changed, s, start + s * 900, moved);
                if (!store->RecordSnapshot(HeaderAt(start + s * 900, 100 + w), s == 0 ? pool : moved, id, failure)) {
                    std::printf("  %s\n", failure.c_str());
                    return;
                }
                written[static_cast<std::size_t>(w)] += s == 0 ? pool.GetSize() : moved.GetSize();
            }
        });
    }
    for (std::thread& t : writers) t.join();
    const double seconds = SecondsSince(t0);
    long long rows = 0;
    for (long long n : written) rows += n;
    std::printf("  %lld rows in %.2f s: %.0f rows/s sustained   target: at least 100000\n", rows, seconds,
                static_cast<double>(rows) / seconds);
}

}  // namespace

int main(int argc, char** argv) {
    const int days = argc > 1 ? std::atoi(argv[1]) : 2;
    const int changed = argc > 2 ? std::atoi(argv[2]) : 10000;
    const int runs = argc > 3 ? std::atoi(argv[3]) : 3;
    const std::string scenario = argc > 4 ? argv[4] : "bench";
    char pattern[] = "/tmp/corvid-bench-history-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) return 1;
    const std::string dir = pattern;
    corvid::testing::CPostgresCluster& pg = corvid::testing::CPostgresCluster::Shared();
    if (!pg.Problem().empty()) std::printf("PostgreSQL: %s\n", pg.Problem().c_str());
    corvid::testing::CPostgresCluster* server = pg.Problem().empty() ? &pg : nullptr;
    FirstSnapshot(scenario, runs, dir, server);
    GeneratedStore(std::max(days, 1), changed, runs, dir);
    if (server != nullptr) PostgresIngest(*server, changed);
    std::filesystem::remove_all(dir);
    return 0;
}
