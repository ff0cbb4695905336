// Array fetch through COracleCursor against the simulated client library: rows per
// second and time per 100-row fetch call, for both interface generations, with
// and without the row count that the statement loader asks for. The rows are
// the shared pool of the simulator's "bench" scenario (100,000 statements). Every
// figure is the median of RUNS fetches with its range; with SIZES, the fetch of
// whole pools of those sizes ("bench:N") and how its time grows with the pool.
//
//   bench_oracle_fetch [rows [RUNS [SIZES]]]   (rows 100000 and RUNS 3 unless given;
//       SIZES e.g. 100000,200000,300000; the libraries come from CORVID_SIM_LIBDIR or
//       the build's own folder)

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "bench/BenchFigures.h"
#include "oracle/OracleConnection.h"
#include "oracle/OracleCursor.h"
#include "platform/DynamicLibrary.h"

using namespace corvid;
using corvid::bench::SFigure;
using corvid::bench::Summarise;

namespace {

constexpr int kArray = 100;

struct SResult {
    long rows = 0;
    long calls = 0;
    double seconds = 0;
};

SResult FetchAll(COracleConnection& connection, long limit, bool countRows) {
    std::vector<double> ids(kArray);
    std::vector<char> names(kArray * 20);
    std::vector<short> idIndicators(kArray), nameIndicators(kArray);
    COracleCursor cursor(connection);
    cursor.Parse("SELECT executions, first_load_time FROM sys.v_$sqlarea WHERE ROWNUM <= " + std::to_string(limit));
    cursor.Define(1, ids.data(), sizeof(double), 4, idIndicators.data());
    cursor.Define(2, names.data(), 20, 5, nameIndicators.data());
    const auto start = std::chrono::steady_clock::now();
    cursor.Execute(0);
    SResult result;
    for (;;) {
        int delivered = kArray;
        const bool more = countRows ? cursor.Fetch(kArray, &delivered) : cursor.Fetch(kArray);
        ++result.calls;
        result.rows += more ? kArray : (countRows ? delivered : 0);
        if (!more) break;
    }
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return result;
}

std::vector<long> ParseSizes(const char* text) {
    std::vector<long> sizes;
    for (const char* p = text; p != nullptr && *p != '\0';) {
        char* end = nullptr;
        const long n = std::strtol(p, &end, 10);
        if (end == p) break;
        if (n > 0) sizes.push_back(n);
        p = *end == ',' ? end + 1 : end;
    }
    return sizes;
}

// `runs` fetches of `limit` rows; the last one's counts and the median time.
SResult Repeat(COracleConnection& connection, long limit, bool countRows, int runs, SFigure& seconds) {
    std::vector<double> times;
    SResult last;
    for (int i = 0; i < runs; ++i) {
        last = FetchAll(connection, limit, countRows);
        times.push_back(last.seconds);
    }
    seconds = Summarise(times);
    return last;
}

std::unique_ptr<COracleConnection> Connect(const std::string& folder, int version) {
    auto connection = std::make_unique<COracleConnection>(
        nullptr, version, std::make_unique<CDlLibraryLoader>(std::vector<std::string>{folder}));
    if (!connection->Logon("SCOTT", "TIGER", "DEMO", EConnectMode::Normal)) {
        std::fprintf(stderr, "logon failed: %s\n", connection->GetErrorText().c_str());
        std::exit(1);
    }
    return connection;
}

}  // namespace

int main(int argc, char** argv) {
    const long limit = argc > 1 ? std::atol(argv[1]) : 100000;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    const std::vector<long> sizes = ParseSizes(argc > 3 ? argv[3] : nullptr);
    setenv("CORVID_SIM_SCENARIO", "bench", 0);
    const char* env = std::getenv("CORVID_SIM_LIBDIR");
    const std::string folder = env && *env ? env : CORVID_SIM_LIBDIR;
    std::printf("array fetch of %ld rows (NUMBER + VARCHAR2(19) of v$sqlarea), %d rows per call; medians of %d runs "
                "[range]\n", limit, kArray, runs);
    for (int version : {8, 7}) {
        auto connection = Connect(folder, version);
        for (bool countRows : {false, true}) {
            FetchAll(*connection, kArray * 10, countRows);  // warm-up
            SFigure f;
            const SResult r = Repeat(*connection, limit, countRows, runs, f);
            std::printf("%s %-16s %9ld rows %6ld calls %8.3f s [%.3f .. %.3f] %10.0f rows/s %8.2f us/call\n",
                        connection->GetInterfaceName().c_str(), countRows ? "with row count" : "without count",
                        r.rows, r.calls, f.median, f.low, f.high, r.rows / f.median, 1e6 * f.median / r.calls);
        }
        connection->Logoff();
    }
    if (!sizes.empty()) {
        std::printf("whole pools ('bench:N'), OCI8 with row count:\n");
        double first = 0;
        long firstSize = 0;
        for (long size : sizes) {
            const std::string scenario = "bench:" + std::to_string(size);
            setenv("CORVID_SIM_SCENARIO", scenario.c_str(), 1);
            auto connection = Connect(folder, 8);
            FetchAll(*connection, kArray * 10, true);  // builds the server
            SFigure f;
            const SResult r = Repeat(*connection, size, true, runs, f);
            std::printf("  %7ld rows %8.3f s [%.3f .. %.3f]", r.rows, f.median, f.low, f.high);
            if (firstSize == 0) {
                firstSize = size;
                first = f.median;
                std::printf("\n");
            } else {
                std::printf("; against %ld: %.2f times the rows, %.2f times the time\n", firstSize,
                            double(size) / firstSize, f.median / first);
            }
            connection->Logoff();
        }
    }
    return 0;
}
