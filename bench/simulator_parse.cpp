// Figures of the simulated server's front end on the texts an analysis sends: the
// EXPLAIN PLAN text of every statement of the demo database, tokenized, parsed
// and entered into a shared pool of its own, each step timed over all texts.
// The baseline beside each figure is one pass over the same texts that only
// hashes them (std::hash): the least any step that reads every byte costs.
//
// Usage: bench_simulator_parse [STATEMENTS [RUNS]]   (100000 and 5 unless given)

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "bench/BenchFigures.h"
#include "ocisim/engine/Database.h"
#include "ocisim/engine/Errors.h"
#include "ocisim/engine/Lexer.h"
#include "ocisim/engine/Parser.h"
#include "ocisim/engine/Scenario.h"
#include "ocisim/engine/SharedPool.h"

using namespace corvid;

namespace {

using Clock = std::chrono::steady_clock;

struct SPass {
    double seconds = 0, cpuSeconds = 0;
};

template <typename F>
SPass Time(F&& f) {
    const double cpu0 = bench::ProcessorSeconds();
    const Clock::time_point t0 = Clock::now();
    f();
    SPass p;
    p.seconds = std::chrono::duration<double>(Clock::now() - t0).count();
    p.cpuSeconds = bench::ProcessorSeconds() - cpu0;
    return p;
}

void Print(const char* what, const std::vector<SPass>& passes, const std::vector<SPass>& baseline) {
    std::vector<double> wall, cpu, base;
    for (const SPass& p : passes) {
        wall.push_back(p.seconds);
        cpu.push_back(p.cpuSeconds);
    }
    for (const SPass& p : baseline) base.push_back(p.cpuSeconds);
    const bench::SFigure w = bench::Summarise(wall), c = bench::Summarise(cpu), b = bench::Summarise(base);
    std::printf("  %-28s %.3f s [%.3f .. %.3f]; processor %.3f s [%.3f .. %.3f]; %.1f times the hashing baseline\n",
                what, w.median, w.low, w.high, c.median, c.low, c.high, b.median > 0 ? c.median / b.median : 0.0);
}

}  // namespace

int main(int argc, char** argv) {
    const long count = argc > 1 ? std::atol(argv[1]) : 100000;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
    std::unique_ptr<ocisim::Database> db = ocisim::LoadScenario("demo:" + std::to_string(count));
    std::vector<std::string> texts;
    size_t bytes = 0;
    for (const ocisim::PoolEntry& e : db->pool.View()) {
        texts.push_back("/* $CORVID$ */ EXPLAIN PLAN SET statement_id = 'CORVID' INTO SCOTT.plan_table FOR " + *e.text);
        bytes += texts.back().size();
    }
    db.reset();

    std::vector<SPass> hashing, tokenize, parse, enter;
    long tokens = 0, parsed = 0, failed = 0;
    std::size_t sink = 0;
    for (int run = 0; run < runs; ++run) {
        hashing.push_back(Time([&] {
            for (const std::string& t : texts) sink += std::hash<std::string_view>{}(t);
        }));
        tokenize.push_back(Time([&] {
            tokens = 0;
            for (const std::string& t : texts) {
                try {
                    // Handed back as a parser does, for the next text.
                    std::vector<ocisim::Token> read = ocisim::Lexer::Tokenize(t);
                    tokens += static_cast<long>(read.size());
                    ocisim::Lexer::GiveBack(std::move(read));
                } catch (const ocisim::OraException&) {
                }
            }
        }));
        parse.push_back(Time([&] {
            parsed = failed = 0;
            for (const std::string& t : texts) {
                try {
                    parsed += ocisim::Parser(t).ParseStatement() != nullptr;
                } catch (const ocisim::OraException&) {
                    ++failed;
                }
            }
        }));
        // A pool of the texts, then each entered again (as every later execute does).
        enter.push_back(Time([&] {
            ocisim::SharedPool pool;
            bool created;
            for (int pass = 0; pass < 2; ++pass)
                for (const std::string& t : texts) sink += pool.Enter(t, created).address;
        }));
    }
    std::printf("Simulator front end on the EXPLAIN PLAN texts of the demo database with %ld statements: %zu texts, "
                "%zu bytes, %ld tokens, %ld parsed, %ld rejected; median of %d runs [range]\n",
                count, texts.size(), bytes, tokens, parsed, failed, runs);
    Print("hashing (baseline)", hashing, hashing);
    Print("tokenize", tokenize, hashing);
    Print("tokenize and parse", parse, hashing);
    Print("enter twice into a pool", enter, hashing);
    return sink == 42 ? 1 : 0;
}
