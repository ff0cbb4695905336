// Edit distance on SQL-like pairs from 20 bytes to 10,000 bytes, similar (5 % of the
// bytes edited: substituted, inserted or deleted) and unrelated. The methods are
// timed interleaved in one run (round by round, each method once per round in turn,
// so that a busy machine slows them alike): the prepared pattern (one text prepared
// beforehand and compared with 25 others, as the similarity search prepares the
// chosen statement and compares it with the pool), the one-shot EditDistance on the
// same pairs, and edlib (Myers' bit vectors with Ukkonen's band doubling)
// when bench/setup.sh has installed it. Figures are pairs per processor second
// (this thread's), medians of the rounds with their range, and pairs per elapsed
// second beside them. Before timing, every method's distance is compared with the
// plain two-row dynamic programme on CHECKS pairs of each length and kind (1,000
// unless given; at the longest lengths fewer, as the plain programme needs about a
// tenth of a second a pair there, unless --check-all).
//
// Usage: bench_sqltext_distance [ROUNDS] [--check-all]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "bench/BenchFigures.h"
#include "sqltext/EditDistance.h"
#include "sqltext/EditDistancePattern.h"

#ifdef CORVID_BENCH_EDLIB
#include <edlib.h>
#endif

namespace {

using Clock = std::chrono::steady_clock;
// Pairs that share their first text (one prepared pattern).
constexpr std::size_t kGroup = 25;
using corvid::bench::SFigure;
using corvid::bench::Summarise;

int PlainDistance(const std::string& a, const std::string& b) {
    std::vector<int> prev(b.size() + 1), cur(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j)
        prev[j] = static_cast<int>(j);
    for (std::size_t i = 1; i <= a.size(); ++i) {
        cur[0] = static_cast<int>(i);
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const int substitute = prev[j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1);
            cur[j] = std::min({prev[j] + 1, cur[j - 1] + 1, substitute});
        }
        std::swap(prev, cur);
    }
    return prev[b.size()];
}

#ifdef CORVID_BENCH_EDLIB
int EdlibDistance(const std::string& a, const std::string& b) {
    const EdlibAlignResult result = edlibAlign(a.data(), static_cast<int>(a.size()), b.data(),
                                               static_cast<int>(b.size()), edlibDefaultAlignConfig());
    const int distance = result.editDistance;
    edlibFreeAlignResult(result);
    return distance;
}
#endif

std::string SqlLikeText(std::mt19937& rng, std::size_t length) {
    static const char* words[] = {"SELECT",   "FROM",    "WHERE",  "AND", "ORDER BY", "customer_id", "o.order_date",
                                  "=",        ":b1",     "'OPEN'", "42",  "NVL(",     ")",           ",",
                                  "GROUP BY", "t.amount"};
    std::string s;
    while (s.size() < length) {
        s += words[std::uniform_int_distribution<int>(0, 15)(rng)];
        s += ' ';
    }
    s.resize(length);
    return s;
}

// Edits 5 % of the bytes at random places: substitutions, insertions, deletions.
std::string Edit(std::mt19937& rng, std::string s) {
    const std::size_t edits = s.size() / 20 + 1;
    for (std::size_t k = 0; k < edits; ++k) {
        const std::size_t pos = std::uniform_int_distribution<std::size_t>(0, s.size() - 1)(rng);
        const char c = static_cast<char>('a' + std::uniform_int_distribution<int>(0, 25)(rng));
        switch (k % 3) {
            case 0: s[pos] = c; break;
            case 1: s.insert(s.begin() + static_cast<std::ptrdiff_t>(pos), c); break;
            default: s.erase(pos, 1); break;
        }
    }
    return s;
}

double ThreadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

struct SPair {
    std::string a, b;
};

struct SMethod {
    const char* name;
    std::function<int(std::size_t)> distance;
    std::vector<double> perCpuSecond;
    std::vector<double> perSecond;
};

// One pass of a method over the pairs, repeated until it has taken 50 ms.
void TimeOnce(SMethod& method, std::size_t pairs, long& sink) {
    long done = 0;
    const double cpuStart = ThreadSeconds();
    const auto start = Clock::now();
    double elapsed = 0;
    do {
        for (std::size_t i = 0; i < pairs; ++i)
            sink += method.distance(i);
        done += static_cast<long>(pairs);
        elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    } while (elapsed < 0.05);
    const double cpu = std::max(ThreadSeconds() - cpuStart, 1e-9);
    method.perCpuSecond.push_back(static_cast<double>(done) / cpu);
    method.perSecond.push_back(static_cast<double>(done) / elapsed);
}

}  // namespace

int main(int argc, char** argv) {
    int rounds = 7;
    bool checkAll = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--check-all") == 0)
            checkAll = true;
        else
            rounds = std::max(1, std::atoi(argv[i]));
    }
    std::mt19937 rng(1);
    long sink = 0;
    std::printf("Edit distance, SQL-like pairs; pairs per processor second, medians of %d interleaved rounds "
                "[range]; pairs per elapsed second after them\n",
                rounds);
#ifndef CORVID_BENCH_EDLIB
    std::printf("  edlib is not installed (bench/setup.sh installs libedlib-dev; then reconfigure): "
                "its comparison is skipped\n");
#endif
    bool allEqual = true;
    for (std::size_t length : {20u, 64u, 100u, 200u, 500u, 1000u, 3000u, 10000u}) {
        for (bool similar : {true, false}) {
            // Pairs timed, and pairs checked against the plain programme.
            const std::size_t timed = length >= 10000 ? 50 : (length >= 3000 ? 200 : 1000);
            const std::size_t checked = checkAll || length <= 1000 ? 1000 : (length >= 10000 ? 20 : 100);
            const std::size_t count = std::max(timed, checked);
            // Pair i compares the text of group i / kGroup with an edited copy of it, or
            // with an unrelated text.
            std::vector<SPair> pairs;
            std::vector<corvid::CEditDistancePattern> patterns;
            for (std::size_t i = 0; i < count; ++i) {
                std::string a = i % kGroup == 0 ? SqlLikeText(rng, length) : pairs.back().a;
                std::string b = similar ? Edit(rng, a) : SqlLikeText(rng, length);
                if (i % kGroup == 0 && i < timed) patterns.emplace_back(a);
                pairs.push_back({std::move(a), std::move(b)});
            }

            std::size_t mismatches = 0;
            for (std::size_t i = 0; i < checked; ++i) {
                const int expected = PlainDistance(pairs[i].a, pairs[i].b);
                bool same = corvid::EditDistance(pairs[i].a, pairs[i].b) == expected;
                same = same && (i < timed ? patterns[i / kGroup] : corvid::CEditDistancePattern(pairs[i].a))
                                       .Distance(pairs[i].b) == expected;
#ifdef CORVID_BENCH_EDLIB
                same = same && EdlibDistance(pairs[i].a, pairs[i].b) == expected;
#endif
                if (!same) ++mismatches;
            }
            if (mismatches) allEqual = false;

            std::vector<SMethod> methods;
            methods.push_back({"prepared pattern", [&](std::size_t i) { return patterns[i / kGroup].Distance(pairs[i].b); }, {}, {}});
            methods.push_back(
                {"one-shot EditDistance", [&](std::size_t i) { return corvid::EditDistance(pairs[i].a, pairs[i].b); }, {}, {}});
#ifdef CORVID_BENCH_EDLIB
            methods.push_back({"edlib", [&](std::size_t i) { return EdlibDistance(pairs[i].a, pairs[i].b); }, {}, {}});
#endif
            for (int r = 0; r < rounds; ++r) {
                // Each round starts with another method, so none always runs first.
                for (std::size_t k = 0; k < methods.size(); ++k)
                    TimeOnce(methods[(k + static_cast<std::size_t>(r)) % methods.size()], timed, sink);
            }
            std::printf("  %zu bytes, %s: %zu pairs checked against the plain programme, %s\n", length,
                        similar ? "similar (5 % edited)" : "unrelated", checked,
                        mismatches ? "MISMATCHES" : "all equal");
            std::vector<SFigure> cpu;
            for (SMethod& method : methods) {
                cpu.push_back(Summarise(method.perCpuSecond));
                const SFigure wall = Summarise(method.perSecond);
                std::printf("    %-24s %12.0f pairs/cpu s [%.0f..%.0f]   %12.0f pairs/s\n", method.name,
                            cpu.back().median, cpu.back().low, cpu.back().high, wall.median);
            }
            std::printf("    prepared / one-shot: %.2f (median), %.2f (worst round: slowest prepared against fastest "
                        "one-shot)\n",
                        cpu[0].median / cpu[1].median, cpu[0].low / cpu[1].high);
#ifdef CORVID_BENCH_EDLIB
            std::printf("    prepared / edlib: %.2f\n", cpu[0].median / cpu[2].median);
#endif
        }
    }
    if (!allEqual) std::printf("SOME DISTANCES DIFFER FROM THE PLAIN PROGRAMME\n");
    return (sink == 42 ? 2 : 0) + (allEqual ? 0 : 1);
}
