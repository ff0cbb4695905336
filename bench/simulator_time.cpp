// Figures of the simulated server that lives in time: what a server start costs
// at a given time of a 30-day scenario with 10,000 active statements (the
// hourly workload, 60 plan changes, a restart and a flood of 2,000 literal
// statements), against the start of the same scenario at its clock, without
// time. Only the simulator's own work is measured: no client call, no
// program of ours. Runs are interleaved (at the clock, day 1, day 15, day 30,
// then again), medians with their ranges, processor time beside wall time.
//
// Usage: bench_simulator_time [STATEMENTS [RUNS]]   (10000 and 5 unless given)

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "bench/BenchFigures.h"
#include "ocisim/engine/Database.h"
#include "ocisim/engine/Scenario.h"
#include "ocisim/engine/TimeLine.h"

using namespace corvid;

namespace {

using Clock = std::chrono::steady_clock;

std::string Scenario(long long statements) {
    std::string s =
        "clock 2024-06-01/00:00:00\nseed 11\n"
        "user SHOP id=61 password=SHOP\nuser WEBAPP id=72 password=WEBAPP\n"
        "table SHOP.ORDERS rows=1200000 analyzed columns=\"ORDER_ID NUMBER(12) NOT NULL, CUSTOMER_ID NUMBER(10), "
        "STATUS VARCHAR2(12), TOTAL NUMBER\"\n"
        "index SHOP.ORDERS_PK on SHOP.ORDERS(ORDER_ID) unique\n"
        "index SHOP.ORDERS_CUST_IX on SHOP.ORDERS(CUSTOMER_ID)\n"
        "template weight=5 users=SHOP,WEBAPP executions=1..400 buffer-gets=3..9 disk-reads=0..2 "
        "text=\"SELECT total FROM shop.orders WHERE order_id = {int:1:99999999}\"\n"
        "template weight=3 users=WEBAPP executions=1..200 buffer-gets=8..40 disk-reads=0..6 rows=1..12 "
        "text=\"SELECT order_id, total FROM shop.orders WHERE customer_id = {int:1:99999999} AND status = "
        "'{pick:OPEN|PAID|SHIPPED}'\"\n"
        "template weight=1 users=SHOP command=6 executions=1..20 buffer-gets=4..6 "
        "text=\"UPDATE shop.orders SET status = 'PAID' WHERE order_id = {int:1:99999999}\"\n"
        "generate count=" + std::to_string(statements) + "\n"
        "workload new=10 removed=8 at=time every=1h\n"
        "at +12d restart\n"
        "at +15d literal-flood template=\"SELECT status FROM shop.orders WHERE order_id = {int:1:99999999} AND 1 = 1\" "
        "count=2000 over=1d\n";
    for (int i = 0; i < 60; ++i)
        s += "at +" + std::to_string(1 + i % 28) + "d plan-change match=\"SELECT total FROM shop.orders WHERE order_id = " +
             std::to_string(i + 1) + "%\" factor=" + (i % 2 ? "3" : "1.5") + "\n";
    return s;
}

struct SRun {
    std::vector<double> wall, cpu;
    std::size_t statements = 0;
};

void Print(const char* what, const SRun& r) {
    const bench::SFigure w = bench::Summarise(r.wall), c = bench::Summarise(r.cpu);
    std::printf("  %-34s %.3f s [%.3f .. %.3f]; processor %.3f s [%.3f .. %.3f]; %zu statements in the pool\n", what,
                w.median, w.low, w.high, c.median, c.low, c.high, r.statements);
}

}  // namespace

int main(int argc, char** argv) {
    const long long statements = argc > 1 ? std::atoll(argv[1]) : 10000;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
    const std::string text = Scenario(statements);
    const std::int64_t clock = *ocisim::ParseTimePoint("2024-06-01T00:00:00");
    struct SPoint {
        const char* name;
        std::optional<std::int64_t> now;
        SRun run;
    } points[] = {{"start at the clock, no time", std::nullopt, {}},
                  {"start in time at day 1", clock + 86400, {}},
                  {"start in time at day 15", clock + 15 * 86400, {}},
                  {"start in time at day 30", clock + 30 * 86400, {}}};
    std::printf("Simulator start-up of a 30-day scenario, %lld generated statements, %d runs each\n", statements, runs);
    for (int r = 0; r < runs; ++r) {
        for (SPoint& p : points) {
            const double cpu0 = bench::ProcessorSeconds();
            const Clock::time_point t0 = Clock::now();
            std::unique_ptr<ocisim::Database> db = ocisim::LoadScenarioText(text, "bench.scn", -1, p.now);
            p.run.wall.push_back(std::chrono::duration<double>(Clock::now() - t0).count());
            p.run.cpu.push_back(bench::ProcessorSeconds() - cpu0);
            p.run.statements = db->pool.Size();
        }
    }
    for (const SPoint& p : points) Print(p.name, p.run);
    const double base = bench::Summarise(points[0].run.cpu).median;
    const double day30 = bench::Summarise(points[3].run.cpu).median;
    std::printf("  day 30 costs %.3f s of processor time beyond the start without time (%.1f times it); target: a "
                "start within a couple of seconds\n",
                day30 - base, base > 0 ? day30 / base : 0.0);
    return 0;
}
