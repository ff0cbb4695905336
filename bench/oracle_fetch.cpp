// Array fetch through COracleCursor against the simulated client library: rows per
// second and time per 100-row fetch call, for both interface generations, with
// and without the row count that the statement loader asks for. The rows are
// the shared pool of the simulator's "bench" scenario (100,000 statements).
//
//   bench_oracle_fetch [rows]   (default 100000; the libraries come from
//                                CORVID_SIM_LIBDIR or the build's own folder)

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "oracle/OracleConnection.h"
#include "oracle/OracleCursor.h"
#include "platform/DynamicLibrary.h"

using namespace corvid;

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

}  // namespace

int main(int argc, char** argv) {
    const long limit = argc > 1 ? std::atol(argv[1]) : 100000;
    setenv("CORVID_SIM_SCENARIO", "bench", 0);
    const char* env = std::getenv("CORVID_SIM_LIBDIR");
    const std::string folder = env && *env ? env : CORVID_SIM_LIBDIR;
    std::printf("array fetch of %ld rows (NUMBER + VARCHAR2(19) of v$sqlarea), %d rows per call\n", limit, kArray);
    for (int version : {8, 7}) {
        auto loader = std::make_unique<CDlLibraryLoader>(std::vector<std::string>{folder});
        COracleConnection connection(nullptr, version, std::move(loader));
        if (!connection.Logon("SCOTT", "TIGER", "DEMO", EConnectMode::Normal)) {
            std::fprintf(stderr, "logon failed: %s\n", connection.GetErrorText().c_str());
            return 1;
        }
        for (bool countRows : {false, true}) {
            FetchAll(connection, kArray * 10, countRows);  // warm-up
            const SResult r = FetchAll(connection, limit, countRows);
            std::printf("%s %-16s %9ld rows %6ld calls %8.3f s %10.0f rows/s %8.2f us/call\n",
                        connection.GetInterfaceName().c_str(), countRows ? "with row count" : "without count",
                        r.rows, r.calls, r.seconds, r.rows / r.seconds, 1e6 * r.seconds / r.calls);
        }
        connection.Logoff();
    }
    return 0;
}
