// Measures the program's full load against the 100,000-statement scenario:
// the count, the totals, the statistics of every statement and every text
// piece, as the loader sends them. Prints the figures; never fails on time.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "ocisim/engine/Engine.h"

using namespace ocisim;

namespace {

double Seconds(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

size_t Drain(Session& s, const std::string& sql) {
    std::vector<Bind> binds;
    ExecResult r = s.Execute(sql, binds, false);
    if (r.error.IsError()) {
        std::fprintf(stderr, "%s\n%s\n", r.error.message.c_str(), sql.c_str());
        std::exit(1);
    }
    size_t n = 0;
    std::vector<Value> row;
    OraError err;
    while (r.rows->Next(row, err)) ++n;
    if (err.IsError()) {
        std::fprintf(stderr, "%s\n", err.message.c_str());
        std::exit(1);
    }
    return n;
}

}  // namespace

int main(int argc, char** argv) {
    std::string scenario = argc > 1 ? argv[1] : "bench";
    setenv("CORVID_SIM_SCENARIO", scenario.c_str(), 1);
    auto start = std::chrono::steady_clock::now();
    std::shared_ptr<Server> server = TheServer();
    OraError err;
    std::unique_ptr<Session> s = server->Logon("DEMO", "SCOTT", "TIGER", LogonMode::Normal, err);
    if (!s) {
        std::fprintf(stderr, "%s\n", err.message.c_str());
        return 1;
    }
    std::printf("scenario %s built in %.2f s\n", scenario.c_str(), Seconds(start));
    const std::string marker = "'%/* $CORVID$ */%'";
    start = std::chrono::steady_clock::now();
    Drain(*s, "/* $CORVID$ */ SELECT COUNT(1) FROM sys.v_$sqlarea s WHERE  s.sql_text NOT LIKE " + marker);
    std::printf("count: %.3f s\n", Seconds(start));
    start = std::chrono::steady_clock::now();
    Drain(*s, "/* $CORVID$ */ SELECT SUM(buffer_gets), SUM(disk_reads) FROM   sys.v_$sqlarea WHERE  sql_text NOT LIKE " + marker + " ");
    std::printf("totals: %.3f s\n", Seconds(start));
    start = std::chrono::steady_clock::now();
    size_t statements = Drain(*s, "/* $CORVID$ */ SELECT s.disk_reads, s.buffer_gets, s.sorts, s.executions, s.parse_calls, "
                                  "s.rows_processed, s.sharable_mem, s.persistent_mem, s.runtime_mem, s.loads, s.command_type, "
                                  "s.optimizer_mode, s.parsing_schema_id, s.parsing_user_id, s.address, s.first_load_time "
                                  "FROM   sys.v_$sqlarea s WHERE  s.sql_text NOT LIKE " + marker);
    std::printf("statistics: %zu rows in %.3f s\n", statements, Seconds(start));
    start = std::chrono::steady_clock::now();
    size_t pieces = Drain(*s, "/* $CORVID$ */ SELECT t.address, t.sql_text FROM   sys.v_$sqltext_with_newlines t WHERE  "
                              "t.address IN (       SELECT  s.address        FROM    sys.v_$sqlarea s        WHERE   "
                              "s.sql_text NOT LIKE " + marker + " ) ORDER BY address, piece");
    std::printf("texts: %zu pieces in %.3f s\n", pieces, Seconds(start));
    return 0;
}
